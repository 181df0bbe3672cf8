#include "app/devices/reports/XMLDeviceReport.h"

#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/reports/DeviceReportTexts.h"
#include "app/devices/reports/DeviceReporter.h"

XMLDeviceReport::~XMLDeviceReport() = default;

void XMLDeviceReport::WriteHeader(LPCSTR rootName) {
    BeginDocument(rootName);
    CString version;
    CString build;
    device_report::GetVersionStrings(version, build);
    CString schema;
    schema.Format("%d", device_report::kBinarySchema);
    if (m_Markup.AddElement("Tindaloft")) {
        const int element = m_Markup.GetCurrentIndex();
        m_Markup.SetAttribute(element, "Version", version);
        m_Markup.SetAttribute(element, "Build", build);
        m_Markup.SetAttribute(element, "BinarySchema", schema);
    }
    m_Markup.AddElement("SystemName", device_report::MachineName());
    m_Markup.AddElement("WindowsPlatform", device_report::WindowsPlatform());
    m_Markup.AddElement("TimeStamp", device_report::TimeStamp(true));
    m_Markup.LeaveElement();
}

void XMLDeviceReport::WriteReport(CUSBLog* pDocument) {
    XmlOutputImp imp(this);
    m_Markup.EnterElement();
    DeviceReporter::ReportCheckedDevices(&imp, pDocument, OUTPUT_MODE_XML);
    m_Markup.LeaveElement();
}
