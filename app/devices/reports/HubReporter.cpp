#include "app/devices/reports/HubReporter.h"

#include "app/decoders/descriptors/HubClassDescOutputer.h"
#include "app/decoders/framework/OutputerImp.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/HostController.h"
#include "app/devices/HubPort.h"
#include "app/devices/UsbHub.h"
#include "common/DevstkInfo.h"

namespace {

// The hub descriptor in the stored block, after the request head.
constexpr ULONG kHubDescriptorOffset = DEVSTK_INFO_HEADER_SIZE;
constexpr ULONG kHubDescriptorBytes = CUsbHub::HubDescriptorBlockSize - kHubDescriptorOffset;
constexpr ULONG kDescriptorTypeOffset = kHubDescriptorOffset + 1;

} // namespace

HubReporter::HubReporter(OutputerImp* pImp, CUSBLog* pContext, CUsbHub* pHub)
    : DeviceReporter(pImp, pContext, pHub), m_pHub(pHub) {}

void HubReporter::Report(int mode) {
    BeginReport(mode);
    OutputPnpRegistryProperties(mode, m_pHub->m_pDeviceClass.get(), m_pHub->m_HubKind == HubKindExternal);
    OutputDeviceStackProperties(mode, m_pHub->m_devstk);
    OutputDeviceInterfaces(mode);
    OutputHubProperties(mode);
    OutputDeviceDescriptor(mode);
    OutputHubDescriptor(mode);
    OutputConfigurationDescriptor(mode);
    EndDevice(mode);
}

void HubReporter::OutputDeviceInterfaces(int mode) {
    OpenSection(mode, "Device&nbsp;Interfaces", "DeviceInterfaces");
    if (m_pHub->m_pDeviceClass != nullptr)
        OutputKnownInterfaces(mode, *m_pHub->m_pDeviceClass,
                              {{&GUID_DEVINTERFACE_USB_HUB, "GUID_DEVINTERFACE_USB_HUB"},
                               {&GUID_DEVINTERFACE_NEC_USB3_HUB, "GUID_DEVINTERFACE_NEC_USB3_HUB"}});
    CloseSection();
}

void HubReporter::OutputHubDescriptor(int mode) {
    const BYTE* pDescriptor = m_pHub->m_HubDescriptorBlock + kHubDescriptorOffset;
    switch (m_pHub->m_HubDescriptorBlock[kDescriptorTypeOffset]) {
    case 0:
    case 0x29:
        HubClassDescUsb2Outputer(m_pImp, m_pContext, pDescriptor, kHubDescriptorBytes)
            .Output(mode, Labels("Hub&nbsp;Class&nbsp;Descriptor", "HubDescriptor").For(mode), "", false);
        break;
    case 0x2A:
        HubClassDescUsb3Outputer(m_pImp, m_pContext, pDescriptor, kHubDescriptorBytes)
            .Output(mode, Labels("SuperSpeed&nbsp;Hub&nbsp;Class&nbsp;Descriptor", "SuperSpeedHubDescriptor").For(mode),
                    "", false);
        break;
    default: break;
    }
}

RootHubReporter::RootHubReporter(OutputerImp* pImp, CUSBLog* pContext, CUsbHub* pHub)
    : HubReporter(pImp, pContext, pHub) {}

void RootHubReporter::OutputHubProperties(int mode) {
    OpenSection(mode, "RootHub", "RootHub");
    FieldWriter(*this, mode).NumberField("NumberOfPorts", FieldFormat::Hex2, m_pHub->GetNumberOfPorts());
    const CHostController* pController = m_pHub->GetHostController();
    LPCSTR speed = m_pHub->IsSuperSpeed()                             ? "5Gbps (max)"
                   : pController != nullptr && pController->m_bIsEhci ? "High (max)"
                                                                      : "Full (max)";
    m_pImp->WriteValue("Speed", speed);
    CloseSection();
}

ExternalHubReporter::ExternalHubReporter(OutputerImp* pImp, CUSBLog* pContext, CHubPort* pPort)
    : HubReporter(pImp, pContext, pPort->GetExternalHub()), m_pPort(pPort) {}

void ExternalHubReporter::OutputHubProperties(int mode) {
    OpenSection(mode, "External&nbsp;Hub&nbsp;Properties", "ExternalHub");
    OutputPortFields(mode, *m_pPort);
    FieldWriter(*this, mode)
        .NumberField(Labels("Number&nbsp;Of&nbsp;Hub&nbsp;Ports", "NumberOfPorts"), FieldFormat::Hex2,
                     m_pHub->GetNumberOfPorts());
    CloseSection();
}

void ExternalHubReporter::OutputDeviceDescriptor(int mode) {
    OutputPortDeviceDescriptor(mode, *m_pPort);
}

void ExternalHubReporter::OutputConfigurationDescriptor(int mode) {
    OutputPortConfiguration(mode, *m_pPort);
}
