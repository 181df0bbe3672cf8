#include "app/devices/reports/HTMLDeviceReport.h"

#include "app/core/document/USBLog.h"
#include "app/decoders/framework/HtmlOutputImp.h"
#include "app/devices/System.h"
#include "app/devices/reports/CleanHtml.h"
#include "app/devices/reports/DeviceReportTexts.h"
#include "app/devices/reports/DeviceReporter.h"

namespace {

// The label column's share of the system table.
constexpr char kLabelWidth[] = "40%";

} // namespace

HTMLDeviceReport::~HTMLDeviceReport() = default;

void HTMLDeviceReport::GetVersionStrings(CString& version, CString& build) {
    device_report::GetVersionStrings(version, build);
}

void HTMLDeviceReport::WriteSystemValue(LPCSTR label, const CString& value) {
    CString escaped;
    CleanHtml().Escape(escaped, value, true);
    WriteSystemRow(label, escaped, kLabelWidth);
}

void HTMLDeviceReport::WriteSystemTable(CUSBLog* pDocument) {
    WriteBanner("System Information");
    BeginPlainTable();
    CString version;
    CString build;
    GetVersionStrings(version, build);
    WriteSystemValue("Tindaloft Version", version + " Build " + build);
    CString schema;
    schema.Format("%d", device_report::kBinarySchema);
    WriteSystemValue("Binary Schema", schema);
    const CSystem* pSystem = pDocument != nullptr ? pDocument->GetHostSystem() : nullptr;
    WriteSystemValue("System Name", pSystem != nullptr ? pSystem->GetName() : CString());
    WriteSystemValue("Windows Platform", device_report::WindowsPlatform());
    WriteSystemValue("TimeStamp", device_report::TimeStamp(false));
    EndBorderedTable();
}

void HTMLDeviceReport::WriteReport(CUSBLog* pDocument) {
    WritePageTitle("Tindaloft Device Report");
    WriteSystemTable(pDocument);
    WriteBanner("Devices");
    HtmlOutputImp imp(this);
    DeviceReporter::ReportCheckedDevices(&imp, pDocument, OUTPUT_MODE_HTML);
}
