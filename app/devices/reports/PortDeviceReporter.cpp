#include "app/devices/reports/PortDeviceReporter.h"

#include "app/decoders/framework/OutputerImp.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/HubPort.h"

PortDeviceReporter::PortDeviceReporter(OutputerImp* pImp, CUSBLog* pContext, CHubPort* pPort)
    : DeviceReporter(pImp, pContext, pPort), m_pPort(pPort) {}

void PortDeviceReporter::Report(int mode) {
    BeginReport(mode);
    OutputPnpRegistryProperties(mode, m_pPort->GetDeviceClass(), true);
    OutputDeviceStackProperties(mode, m_pPort->m_devstk);
    OutputDeviceInterfaces(mode);
    OutputPortProperties(mode);
    OutputDeviceDescriptor(mode);
    OutputConfigurationDescriptor(mode);
    EndDevice(mode);
}

void PortDeviceReporter::OutputDeviceInterfaces(int mode) {
    OpenSection(mode, "Device&nbsp;Interfaces", "DeviceInterfaces");
    const CDeviceClass* pClass = m_pPort->GetDeviceClass();
    if (pClass != nullptr && pClass->m_SymbolicLinks.GetSize() > 0 && !pClass->m_SymbolicLinks[0].IsEmpty()) {
        const GUID* pGuid = pClass->m_InterfaceGuids[0];
        OutputInterface(mode, "GUID_DEVINTERFACE_USB_DEVICE", pGuid != nullptr ? FormatGuid(*pGuid) : CString(),
                        pClass->m_SymbolicLinks[0], pClass->m_DeviceNames[0]);
    }
    CloseSection();
}

void PortDeviceReporter::OutputPortProperties(int mode) {
    OpenSection(mode, "Port&nbsp;Device", "PortDevice");
    OutputPortFields(mode, *m_pPort);
    CloseSection();
}

void PortDeviceReporter::OutputDeviceDescriptor(int mode) {
    OutputPortDeviceDescriptor(mode, *m_pPort);
}

void PortDeviceReporter::OutputConfigurationDescriptor(int mode) {
    OutputPortConfiguration(mode, *m_pPort);
}
