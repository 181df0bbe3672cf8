#include "app/devices/reports/HostControllerReporter.h"

#include "app/decoders/framework/OutputerImp.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/HostController.h"

HostControllerReporter::HostControllerReporter(OutputerImp* pImp, CUSBLog* pContext, CHostController* pController)
    : DeviceReporter(pImp, pContext, pController), m_pController(pController) {}

void HostControllerReporter::Report(int mode) {
    BeginReport(mode);
    OutputPnpRegistryProperties(mode, m_pController->GetDeviceClass(), true);
    OutputDeviceStackProperties(mode, m_pController->m_devstk);
    OutputDeviceInterfaces(mode);
    OutputHostController(mode);
    EndDevice(mode);
}

void HostControllerReporter::OutputDeviceInterfaces(int mode) {
    OpenSection(mode, "Device&nbsp;Interfaces", "DeviceInterfaces");
    if (!m_pController->GetDeviceName().IsEmpty()) {
        FieldWriter fields(*this, mode);
        fields.OpenSubsection(FieldLabels("Interface", nullptr, "Public&nbsp;HCD&nbsp;Interface"), "Name", "", kHtml);
        fields.OpenSubsection("Interface", "Name", "HCD", kXml);
        // The legacy name has no interface class; XML keeps the element so every interface has one.
        fields.Open(FieldSection::Element, "GUID");
        fields.Close(FieldSection::Element);
        m_pImp->WriteValue("SymbolicLink", m_pController->GetQuotedHcdLink());
        m_pImp->WriteValue("TargetDevice", m_pController->m_TargetDevice);
        m_pImp->EndElement();
    }
    if (m_pController->m_pDeviceClass != nullptr)
        OutputKnownInterfaces(
            mode, *m_pController->m_pDeviceClass,
            {{&GUID_DEVINTERFACE_USB_HOST_CONTROLLER, "GUID_DEVINTERFACE_USB_HOST_CONTROLLER"},
             {&GUID_DEVINTERFACE_NEC_USB3_HOST_CONTROLLER, "GUID_DEVINTERFACE_NEC_USB3_HOST_CONTROLLER"}});
    CloseSection();
}

void HostControllerReporter::OutputHostController(int mode) {
    OpenSection(mode, "HostController", "HostController");
    m_pImp->WriteValue("Type", m_pController->m_strControllerType);
    CloseSection();
}
