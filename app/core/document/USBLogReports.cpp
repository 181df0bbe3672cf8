// The capture document's device-report exports (HTML and XML). Each report lives on the stack of its export:
// it asks for the file, writes the checked devices and is gone when the export returns.
#include "app/core/document/USBLog.h"
#include "app/devices/reports/HTMLDeviceReport.h"
#include "app/devices/reports/XMLDeviceReport.h"

namespace {

// The end of an export whose report ran through: the file is closed first, so that a failure to flush it
// counts, and the user hears of a write that failed instead of a success.
template <class Report> void FinishExport(Report& report, LPCSTR success) {
    const CString path = report.GetFileName();
    report.Close();
    if (report.HasWriteError()) {
        CString message;
        message.Format("Failed to write:\n%s", path.GetString());
        AfxMessageBox(message);
        return;
    }
    AfxMessageBox(success);
}

// A reporter's error (a damaged record in the device model) ends the export where it stood: the file keeps
// what was written, and the error is told as the framework tells a failed command.
void ReportExportError(CException* e) {
    e->ReportError();
    e->Delete();
}

} // namespace

void CUSBLog::ExportHtmlReport() {
    HTMLDeviceReport report;
    if (!report.OpenFile())
        return;
    CString version;
    CString build;
    HTMLDeviceReport::GetVersionStrings(version, build);
    CString title;
    title.Format("Tindaloft %s - Device Report", version.GetString());
    try {
        report.WriteHeader(title);
        report.WriteReport(this);
        report.WriteFooter();
    } catch (CException* e) {
        report.Close();
        ReportExportError(e);
        return;
    }
    FinishExport(report, "HTML Device Report exported successfully.");
}

void CUSBLog::ExportXmlReport() {
    XMLDeviceReport report;
    if (!report.Open())
        return;
    try {
        report.WriteHeader("Tindaloft-DeviceReport");
        report.WriteReport(this);
    } catch (CException* e) {
        report.Close();
        ReportExportError(e);
        return;
    }
    report.WriteDocument();
    FinishExport(report, "XML Device Report exported successfully.");
}
