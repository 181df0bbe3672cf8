// XMLDeviceReport: the device report as an XML document: the program, the machine and the time, then one
// "Device" element per checked device, built in memory and written in one piece.
#pragma once

#include "app/devices/reports/XmlOutput.h"

class CUSBLog;

class XMLDeviceReport : public CXmlOutput {
public:
    XMLDeviceReport() = default;
    ~XMLDeviceReport() override;

    // The declaration, the root element, and in it "Tindaloft", "SystemName", "WindowsPlatform" and
    // "TimeStamp".
    void WriteHeader(LPCSTR rootName);
    // One "Device" element per checked device, after "TimeStamp" inside the root.
    void WriteReport(CUSBLog* pDocument);
};
