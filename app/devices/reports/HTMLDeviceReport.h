// HTMLDeviceReport: the device report as an XHTML page: the page title, the system table, the "Devices"
// banner and one block per checked device, written line by line as the reporters run.
#pragma once

#include "app/devices/reports/HtmlOutput.h"

class CUSBLog;

class HTMLDeviceReport : public CHtmlOutput {
public:
    HTMLDeviceReport() = default;
    ~HTMLDeviceReport() override;

    // "System Information": version, binary schema, the capture's system name, Windows and the time stamp.
    void WriteSystemTable(CUSBLog* pDocument);
    // Everything between the head and the footer.
    void WriteReport(CUSBLog* pDocument);
    static void GetVersionStrings(CString& version, CString& build);

private:
    // A system row whose value is escaped: a capture file's system name is not mark-up.
    void WriteSystemValue(LPCSTR label, const CString& value);
};
