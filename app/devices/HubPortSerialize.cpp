// CHubPort in capture files: the port record, with its device class, configurations and external hub.
#include <memory>

#include "app/core/diagnostics/Trace.h"
#include "app/devices/AllocateBuffer.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HubPort.h"
#include "app/devices/TopologyArchive.h"
#include "app/devices/UsbConfiguration.h"
#include "app/devices/UsbHub.h"

namespace {

// Files before schema 12 carried the connection bytes without a flag.
constexpr UINT kSchemaConnectionFlag = 12;
constexpr UINT kConnectionBytes = CHubPort::ConnectionBlockSize - 8;

} // namespace

void CHubPort::Serialize(CArchive& ar) {
    if (ar.IsStoring())
        StoreRecord(ar);
    else
        LoadRecord(ar);
}

void CHubPort::StoreRecord(CArchive& ar) const {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CHubPort::Serialize (storing)");
    ar << static_cast<DWORD>(m_PortNumber) << static_cast<DWORD>(m_ConnectionStatus) << m_CurrentConfig;
    // The class goes with the port even without a stack: a device the capture driver does not sit on (a HID
    // device's own node) is still labelled by it, and a loaded log must show the same label.
    const bool bClass = m_pDeviceClass != nullptr;
    ar << static_cast<DWORD>(bClass ? 1 : 0);
    if (bClass)
        m_pDeviceClass->Serialize(ar);
    ar << m_PortDeviceIsHub;
    ar << static_cast<WORD>(m_devstk != nullptr ? m_devstk->StackID : 0);
    ar << static_cast<DWORD>(m_pConnectionInfo != nullptr ? 1 : 0);
    if (m_pConnectionInfo != nullptr)
        ar.Write(m_pConnectionInfo + 8, kConnectionBytes);
    m_Configurations.Store(ar);
    if (m_PortDeviceIsHub != 0) {
        // The flag says a hub record follows; a hub whose model could not be built is stored empty.
        if (m_pExternalHub != nullptr) {
            m_pExternalHub->Serialize(ar);
        } else {
            CUsbHub empty;
            empty.m_HubKind = HubKindExternal;
            empty.Serialize(ar);
        }
    }
    ar << static_cast<DWORD>(m_Words.GetSize());
    for (INT_PTR i = 0; i < m_Words.GetSize(); ++i)
        ar << m_Words[i];
    ar << static_cast<DWORD>(m_Strings.GetSize());
    for (INT_PTR i = 0; i < m_Strings.GetSize(); ++i)
        ar << m_Strings[i];
}

void CHubPort::LoadRecord(CArchive& ar) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CHubPort::Serialize (loading)");
    DWORD portNumber = 0;
    DWORD status = 0;
    DWORD classFlag = 0;
    ar >> portNumber >> status >> m_CurrentConfig >> classFlag;
    m_PortNumber = portNumber;
    m_ConnectionStatus = status;
    if (classFlag == 1) {
        m_pDeviceClass.reset();
        auto pClass = std::make_unique<CDeviceClass>(m_nSchema);
        pClass->Serialize(ar);
        m_pDeviceClass = std::move(pClass);
    }
    WORD stackId = 0;
    ar >> m_PortDeviceIsHub >> stackId;
    m_devstk = ArchiveStack(ar, stackId);
    if (stackId != 0 && m_devstk == nullptr)
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_SERIALIZE, "m_devstk is NULL!");
    if (stackId == 0 && m_ConnectionStatus == 1)
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_SERIALIZE, "StackID is 0!");
    DWORD connectionFlag = 1;
    if (m_nSchema >= kSchemaConnectionFlag)
        ar >> connectionFlag;
    FreeConnectionInfo();
    if (connectionFlag == 1) {
        m_pConnectionInfo = AllocateZeroedBuffer(ConnectionBlockSize);
        if (m_pConnectionInfo == nullptr)
            AfxThrowMemoryException();
        ar.EnsureRead(m_pConnectionInfo + 8, kConnectionBytes);
    }
    ClearConfigurations();
    // A loaded configuration is parsed before the port takes it; one that cannot be is a memory failure.
    m_Configurations.Load(
        ar, [] { return std::make_unique<CUsbConfiguration>(); },
        [](CUsbConfiguration& configuration) {
            if (!configuration.ParseConfigurationDescriptor())
                AfxThrowMemoryException();
        });
    if (m_PortDeviceIsHub != 0) {
        m_pExternalHub.reset();
        m_pExternalHub = CUsbHub::ForLoading(m_nSchema);
        m_pExternalHub->Serialize(ar);
    }
    DWORD count = 0;
    ar >> count;
    m_Words.RemoveAll();
    for (DWORD i = 0; i < count; ++i) {
        WORD word = 0;
        ar >> word;
        m_Words.Add(word);
    }
    ar >> count;
    m_Strings.RemoveAll();
    for (DWORD i = 0; i < count; ++i) {
        CString text;
        ar >> text;
        m_Strings.Add(text);
    }
}
