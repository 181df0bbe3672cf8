#include "app/devices/HubPort.h"

#include <memory>
#include <string>

#include "WinCom.h"
#include "app/core/capture/KxTdloft.h"
#include "app/core/changelog/TopologyRemoval.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/devices/AllocateBuffer.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DevstkRequest.h"
#include "app/devices/StackTree.h"
#include "app/devices/TempObject.h"
#include "app/devices/UsbConfiguration.h"
#include "app/devices/UsbHub.h"

IMPLEMENT_SERIAL(CHubPort, CDevice, VERSIONABLE_SCHEMA | 12)

namespace {

// Offsets in the connection block (head, then USB_NODE_CONNECTION_INFORMATION).
constexpr size_t kConnectionIndex = 8;
constexpr size_t kDeviceClass = 16;
constexpr size_t kNumConfigurations = 29;
constexpr size_t kCurrentConfiguration = 30;
constexpr size_t kDeviceIsHub = 32;
constexpr size_t kConnectionStatus = 39;

// Driver-key request: ConnectionIndex, ActualLength, then the UTF-16 name.
constexpr size_t kActualLength = 12;
constexpr size_t kDriverKeyName = 16;
constexpr ULONG kDriverKeyProbeLength = DEVSTK_DRIVERKEY_NAME_MIN - DEVSTK_INFO_HEADER_SIZE;
// A driver key is a class GUID, a backslash and an instance number; anything far longer is not one, and
// the reply's length is never trusted beyond this.
constexpr ULONG kMaxDriverKeyLength = 4096;

// Configuration request: the head, then the 9-byte configuration descriptor.
constexpr ULONG kConfigHeaderLength = DEVSTK_CONFIG_DESCRIPTOR_MIN - DEVSTK_INFO_HEADER_SIZE;
constexpr size_t kTotalLength = 10;
constexpr size_t kConfigurationValue = 13;

constexpr ULONG kStatusNoDevice = 0;
constexpr ULONG kStatusConnected = 1;
constexpr ULONG kFirstProblemStatus = 2;
constexpr ULONG kLastProblemStatus = 6;

bool IsSuperSpeed(const CDeviceStack* pStack) {
    return pStack != nullptr && pStack->HasBosDescriptor != 0;
}

bool IsSuperSpeedHub(const CUsbHub* pHub) {
    return pHub != nullptr && pHub->IsSuperSpeed();
}

core::tree<ConnectionElement>* FindObjectNode(CUSBLog* pDocument, CObject* pObject) {
    if (pDocument == nullptr)
        return nullptr;
    const ConnectionElement key(FALSE, UnassignedType, pObject);
    return pDocument->GetConnectionTree().find_in_subtree(key).node();
}

CString HubLabel(const CUsbHub* pHub) {
    return pHub->m_pDeviceClass != nullptr ? pHub->m_pDeviceClass->m_DeviceDescription : CString();
}

} // namespace

CHubPort::CHubPort() = default;

CHubPort::CHubPort(ULONG nPortNumber) : m_PortNumber(nPortNumber) {}

std::unique_ptr<CHubPort> CHubPort::ForLoading(UINT nSchema) {
    auto pPort = std::make_unique<CHubPort>();
    pPort->m_nSchema = nSchema;
    return pPort;
}

CHubPort::~CHubPort() {
    m_pExternalHub.reset();
    m_pDeviceClass.reset();
    FreeConnectionInfo();
    ClearConfigurations();
}

void CHubPort::FreeConnectionInfo() {
    FreeBuffer(m_pConnectionInfo);
    m_pConnectionInfo = nullptr;
}

void CHubPort::ClearConfigurations() {
    m_Configurations.RemoveAll();
}

bool CHubPort::QueryConnectionInformation(CDeviceStack* pHubStack) {
    if (pHubStack == nullptr)
        return false;
    CKxTdloft driver;
    if (!driver.TryDeviceOpen(false))
        return false;
    FreeConnectionInfo();
    m_pConnectionInfo = AllocateZeroedBuffer(ConnectionBlockSize);
    if (m_pConnectionInfo != nullptr) {
        WriteDevstkHead(m_pConnectionInfo, pHubStack->StackID, DEVSTK_CONNECTION_INFORMATION,
                        DEVSTK_CONNECTION_INFORMATION_SIZE);
        tdl::StoreLe<ULONG>(m_pConnectionInfo + kConnectionIndex, m_PortNumber);
    } else {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "CHubPort::QueryConnectionInformation - out of memory, port %u",
                  m_PortNumber);
    }
    // A block that could not be had is a query that failed.
    if (m_pConnectionInfo == nullptr || !driver.IoctlGetDeviceStackInfo(m_pConnectionInfo, ConnectionBlockSize)) {
        FreeConnectionInfo();
        m_ConnectionStatus = 0;
        m_CurrentConfig = 0;
        m_PortDeviceIsHub = 0;
        return false;
    }
    // A device between configurations reports 0; the last one it had is still the one to show.
    if (m_pConnectionInfo[kCurrentConfiguration] != 0)
        m_CurrentConfig = m_pConnectionInfo[kCurrentConfiguration];
    m_ConnectionStatus = tdl::LoadLe<ULONG>(m_pConnectionInfo + kConnectionStatus);
    m_PortDeviceIsHub = m_pConnectionInfo[kDeviceIsHub] == 1 ? 1 : 0;
    driver.DeviceClose();
    return true;
}

bool CHubPort::QueryDriverKeyName(CDeviceStack* pHubStack) {
    if (pHubStack == nullptr)
        return false;
    CKxTdloft driver;
    if (!driver.TryDeviceOpen(false))
        return false;
    BYTE probe[DEVSTK_DRIVERKEY_NAME_MIN] = {};
    WriteDevstkHead(probe, pHubStack->StackID, DEVSTK_DRIVERKEY_NAME, kDriverKeyProbeLength);
    tdl::StoreLe<ULONG>(probe + kConnectionIndex, m_PortNumber);
    if (!driver.IoctlGetDeviceStackInfo(probe, sizeof probe))
        return false;
    const ULONG actualLength = tdl::LoadLe<ULONG>(probe + kActualLength);
    if (actualLength <= kDriverKeyProbeLength || actualLength > kMaxDriverKeyLength) {
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_DEVICES, "CHubPort::QueryDriverKeyName - ActualLength %u", actualLength);
        return false;
    }
    const ULONG requestLength = actualLength + DEVSTK_INFO_HEADER_SIZE;
    BYTE* pRequest = AllocateZeroedBuffer(requestLength);
    if (pRequest == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "CHubPort::QueryDriverKeyName - out of memory, port %u",
                  m_PortNumber);
        return false;
    }
    WriteDevstkHead(pRequest, pHubStack->StackID, DEVSTK_DRIVERKEY_NAME, actualLength);
    tdl::StoreLe<ULONG>(pRequest + kConnectionIndex, m_PortNumber);
    const BOOL sent = driver.IoctlGetDeviceStackInfo(pRequest, requestLength);
    driver.DeviceClose();
    std::u16string name;
    if (sent) {
        // The name fills the data area after ConnectionIndex and ActualLength, up to its first NUL.
        const size_t maxChars = (actualLength - (kDriverKeyName - DEVSTK_INFO_HEADER_SIZE)) / sizeof(char16_t);
        for (size_t i = 0; i < maxChars; ++i) {
            const auto c = tdl::LoadLe<char16_t>(pRequest + kDriverKeyName + i * sizeof(char16_t));
            if (c == u'\0')
                break;
            name += c;
        }
    }
    FreeBuffer(pRequest);
    if (!sent)
        return false;
    const size_t closing = name.find(u'}');
    if (closing == std::u16string::npos) {
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_DEVICES, "CHubPort::QueryDriverKeyName - no class GUID in the key");
        return false;
    }
    GUID classGuid{};
    const std::u16string guidText = name.substr(0, closing + 1);
    if (FAILED(CLSIDFromString(reinterpret_cast<LPCOLESTR>(guidText.c_str()), &classGuid)))
        return false;
    const CString driverKey(reinterpret_cast<LPCWSTR>(name.c_str()), static_cast<int>(name.size()));
    std::unique_ptr<CDeviceClass> pClass(CDeviceClass::Create(classGuid, driverKey));
    if (pClass == nullptr)
        return false;
    m_pDeviceClass = std::move(pClass);
    return true;
}

bool CHubPort::MapHubPortToDeviceStack(CStackTree* pStackTree) {
    if (m_ConnectionStatus == kStatusNoDevice || pStackTree == nullptr)
        return false;
    if (m_pDeviceClass == nullptr) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "m_pDeviceClass is NULL");
        return false;
    }
    CDeviceStack* pStack = pStackTree->FindStackByName(m_pDeviceClass->m_DriverKey);
    if (pStack == nullptr) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "failed to find DriverKey in m_DriverKeyToDevstk");
        return false;
    }
    m_devstk = pStack;
    if (pStack->Removed != 0) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "******* device stack has been removed *******");
        return false;
    }
    return true;
}

void CHubPort::RequestCurrentPortConfigDescriptor() {
    CKxTdloft driver;
    if (!driver.TryDeviceOpen(false))
        return;
    if (m_devstk == nullptr) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES,
                  ">CHubPort::RequestPortConfigDescriptor - CHubPort does not have CDeviceStack instance.");
        return;
    }
    BYTE head[DEVSTK_CONFIG_DESCRIPTOR_MIN] = {};
    WriteDevstkHead(head, m_devstk->StackID, DEVSTK_CONFIG_DESCRIPTOR, kConfigHeaderLength);
    if (!driver.IoctlGetDeviceStackInfo(head, sizeof head))
        return;
    const USHORT totalLength = tdl::LoadLe<USHORT>(head + kTotalLength);
    if (totalLength < kConfigHeaderLength) {
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_DEVICES, "wTotalLength %u is shorter than its own descriptor",
                  static_cast<UINT>(totalLength));
        return;
    }
    const UINT bufferLength = totalLength + DEVSTK_INFO_HEADER_SIZE;
    BYTE* pBuffer = AllocateZeroedBuffer(bufferLength);
    if (pBuffer == nullptr) {
        TraceConfigurationMemory();
        return;
    }
    WriteDevstkHead(pBuffer, m_devstk->StackID, DEVSTK_CONFIG_DESCRIPTOR, totalLength);
    if (!driver.IoctlGetDeviceStackInfo(pBuffer, bufferLength)) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "IoctlGetDeviceStackInfo() failed");
        FreeBuffer(pBuffer);
        return;
    }
    driver.DeviceClose();
    m_CurrentConfig = pBuffer[kConfigurationValue];
    // The configuration the port had stays until the new one is whole: built, split and listed.
    std::unique_ptr<CUsbConfiguration> pConfiguration;
    try {
        pConfiguration = std::make_unique<CUsbConfiguration>(pBuffer, DEVSTK_INFO_HEADER_SIZE, bufferLength);
    } catch (CMemoryException* e) {
        e->Delete();
        FreeBuffer(pBuffer);
        TraceConfigurationMemory();
        return;
    }
    if (!pConfiguration->ParseConfigurationDescriptor()) {
        TraceConfigurationMemory();
        return;
    }
    ClearConfigurations();
    try {
        m_Configurations.Add(std::move(pConfiguration));
    } catch (CMemoryException* e) {
        e->Delete();
        TraceConfigurationMemory();
    }
}

void CHubPort::TraceConfigurationMemory() const {
    TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "CHubPort::RequestCurrentPortConfigDescriptor - out of memory, port %u",
              m_PortNumber);
}

void CHubPort::LinkPortToDeviceStack() {
    if (m_devstk == nullptr)
        return;
    if (m_PortDeviceIsHub != 0)
        m_devstk->m_iDeviceType =
            IsSuperSpeed(m_devstk) || IsSuperSpeedHub(m_pExternalHub.get()) ? DT_SS_EXTERN_HUB : DT_EXTERN_HUB;
    else if (m_ConnectionStatus != kStatusConnected)
        m_devstk->m_iDeviceType = DT_NONE;
    else if (m_CurrentConfig != 0)
        m_devstk->m_iDeviceType = GetIconForDevice();
    m_devstk->m_deviceNode = this;
}

CUsbHub* CHubPort::CreateExternalHub(CDeviceStack* pDeviceStack) {
    if (pDeviceStack == nullptr)
        return nullptr;
    std::unique_ptr<CDeviceClass> pClass(CDeviceClass::Create(pDeviceStack->ClassGuid, pDeviceStack->DriverKey));
    if (pClass == nullptr)
        return nullptr;
    if (!pClass->AddInterfaceGuid(GUID_DEVINTERFACE_USB_HUB) ||
        !pClass->AddInterfaceGuid(GUID_DEVINTERFACE_NEC_USB3_HUB)) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "CHubPort::CreateExternalHub - out of memory, port %u",
                  m_PortNumber);
        return nullptr;
    }
    pClass->LocateDeviceInfo();
    try {
        // The hub owns its class from here.
        m_pExternalHub = std::make_unique<CUsbHub>(pDeviceStack, pClass.get());
        pClass.release();
    } catch (CMemoryException* e) {
        e->Delete();
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "CHubPort::CreateExternalHub - out of memory, port %u",
                  m_PortNumber);
        return nullptr;
    }
    CUsbHub* pHub = m_pExternalHub.get();
    pHub->m_HubKind = HubKindExternal;
    pHub->FetchHubDescriptor();
    pDeviceStack->m_iDeviceType = pHub->IsSuperSpeed() ? DT_SS_EXTERN_HUB : DT_EXTERN_HUB;
    pDeviceStack->m_deviceNode = this;
    return pHub;
}

bool CHubPort::InitHubPortInstance(CDeviceStack* pHubStack, CUSBLog* pDocument) {
    if (!QueryConnectionInformation(pHubStack))
        return false;
    if (m_ConnectionStatus != kStatusNoDevice && QueryDriverKeyName(pHubStack)) {
        // Without its interface class the device's record finds no interface; the port is kept all the same.
        if (m_pDeviceClass->AddInterfaceGuid(GUID_DEVINTERFACE_USB_DEVICE))
            m_pDeviceClass->LocateDeviceInfo();
        else
            TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "CHubPort::InitHubPortInstance - out of memory, port %u",
                      m_PortNumber);
        if (MapHubPortToDeviceStack(pDocument != nullptr ? pDocument->GetStackTree() : nullptr)) {
            if (m_ConnectionStatus == kStatusConnected)
                RequestCurrentPortConfigDescriptor();
            LinkPortToDeviceStack();
        }
    }
    if (m_ConnectionStatus != kStatusConnected || m_PortDeviceIsHub == 0 || m_devstk == nullptr)
        return true;
    if (m_pExternalHub == nullptr && CreateExternalHub(m_devstk) == nullptr)
        return false;
    core::tree<ConnectionElement>* pPortNode = FindObjectNode(pDocument, this);
    if (pPortNode == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES,
                  "CHubPort::InitHubPortInstance - port not found in m_ConnectionTree");
        return false;
    }
    if (pPortNode->size() == 0) {
        // The hub's own stack says what the hub is, as when the tree is rebuilt from a file.
        ConnectionElement element(TRUE, m_pExternalHub->IsSuperSpeed() ? SSExternalHub : ExternalHub,
                                  m_pExternalHub.get());
        element.m_LabelText = HubLabel(m_pExternalHub.get());
        core::tree_iterator<ConnectionElement> inserted = pPortNode->insert(element);
        if (inserted == g_ConnectionTreeEnd) {
            TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES,
                      "CHubPort::InitHubPortInstance - failed to add child hub to parent port");
            return false;
        }
        if (m_pExternalHub->m_devstk != nullptr)
            m_pExternalHub->m_devstk->m_pSubtree = inserted.node();
    } else {
        int hubs = 0;
        for (core::tree<ConnectionElement>* pChild = pPortNode->first_child(); pChild != nullptr;
             pChild = pChild->next_sibling()) {
            CObject* pObject = pChild->get().m_pElemObject;
            if (pObject == nullptr || !pObject->IsKindOf(RUNTIME_CLASS(CUsbHub)))
                TDL_TRACE(TRACE_WARNING, TRACE_AREA_DEVICES,
                          "CHubPort::InitHubPortInstance - unexpected ConnectionElement m_pElemObject");
            else if (++hubs == 2)
                TDL_TRACE(TRACE_WARNING, TRACE_AREA_DEVICES,
                          "CHubPort::InitHubPortInstance - more than 1 ConnectionElement on downstream port");
        }
    }
    m_pExternalHub->EnumerateHubPorts(pDocument);
    return true;
}

bool CHubPort::BuildConnectionTree(CDeviceStack* pHubStack, CUSBLog* pDocument) {
    if (m_ConnectionStatus != kStatusNoDevice && pHubStack != nullptr && !pHubStack->DriverKey.IsEmpty() &&
        MapHubPortToDeviceStack(pDocument != nullptr ? pDocument->GetStackTree() : nullptr))
        LinkPortToDeviceStack();
    if (m_ConnectionStatus != kStatusConnected || m_PortDeviceIsHub == 0 || m_devstk == nullptr ||
        m_pExternalHub == nullptr)
        return true;
    core::tree<ConnectionElement>* pPortNode = FindObjectNode(pDocument, this);
    if (pPortNode == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES,
                  "CHubPort::BuildConnectionTree - port not found in m_ConnectionTree");
        return true;
    }
    ConnectionElement element(TRUE, m_pExternalHub->IsSuperSpeed() ? SSExternalHub : ExternalHub, m_pExternalHub.get());
    element.m_LabelText = HubLabel(m_pExternalHub.get());
    core::tree_iterator<ConnectionElement> inserted = pPortNode->insert(element);
    if (inserted == g_ConnectionTreeEnd)
        return true;
    if (m_pExternalHub->m_devstk != nullptr)
        m_pExternalHub->m_devstk->m_pSubtree = inserted.node();
    m_pExternalHub->BuildConnectionTree(pDocument);
    return true;
}

void CHubPort::DeleteExternalHub(CUSBLog* pDocument) {
    if (m_pExternalHub == nullptr)
        return;
    DeleteTopologyObject(pDocument, m_pExternalHub.get());
    m_pExternalHub.reset();
}

bool CHubPort::ClearHubPortInstance(CUSBLog* pDocument) {
    if (m_devstk == nullptr) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "pDevStack = NULL");
        return false;
    }
    CStackTree* pStacks = pDocument != nullptr ? pDocument->GetStackTree() : nullptr;
    CDeviceStack* pParent = pStacks != nullptr ? pStacks->FindStackById(m_devstk->ParentStackID) : nullptr;
    if (pParent == nullptr)
        return false;
    if (!QueryConnectionInformation(pParent))
        return false;
    if (m_ConnectionStatus == kStatusNoDevice) {
        DeleteExternalHub(pDocument);
        m_pDeviceClass.reset();
        m_devstk->m_pSubtree = nullptr;
        m_devstk = nullptr;
        m_CurrentConfig = 0;
        ClearConfigurations();
    }
    return true;
}

void CHubPort::RemoveGenericUsb(CDeviceStack* pStack, CUSBLog* pDocument) {
    if (pStack == nullptr || pStack->m_pSubtree == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "ERROR: HubPort m_pSubtree == NULL");
        return;
    }
    core::tree<ConnectionElement>* pNode = pStack->m_pSubtree;
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "remove: [%s]", static_cast<LPCSTR>(pNode->get().m_LabelText));
    ClearHubPortInstance(pDocument);
    GetLabelText(pNode->get().m_LabelText);
}

void CHubPort::RemoveExternalHub(CDeviceStack* pStack, CUSBLog* pDocument) {
    if (pStack == nullptr || pStack->m_pSubtree == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "ERROR: HubPort m_pSubtree == NULL");
        return;
    }
    core::tree<ConnectionElement>* pPortNode = pStack->m_pSubtree->parent();
    if (pPortNode == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "ERROR: port position is empty");
        return;
    }
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "remove: [%s]", static_cast<LPCSTR>(pPortNode->get().m_LabelText));
    ClearHubPortInstance(pDocument);
    if (m_devstk == nullptr) {
        GetLabelText(pPortNode->get().m_LabelText);
        DeleteTopologyChildren(pDocument, pPortNode);
    }
}

CString& CHubPort::GetLabelText(CString& text) const {
    text.Format("Port %d: ", static_cast<int>(m_PortNumber));
    if (m_pConnectionInfo == nullptr)
        text += " IOCTL FAILED !";
    else if (m_ConnectionStatus == kStatusNoDevice)
        text += "No device connected ";
    else if (m_ConnectionStatus == kStatusConnected)
        text += m_pDeviceClass != nullptr ? static_cast<LPCSTR>(m_pDeviceClass->m_DeviceDescription) : "???";
    else if (m_ConnectionStatus >= kFirstProblemStatus && m_ConnectionStatus <= kLastProblemStatus)
        text += "Device Problem";
    return text;
}

int CHubPort::GetImageIndex() const {
    if (m_ConnectionStatus == kStatusNoDevice)
        return DT_HUB_PORT;
    if (m_ConnectionStatus != kStatusConnected)
        return DT_PROBLEM;
    if (m_PortDeviceIsHub == 0)
        return m_CurrentConfig == 0 ? DT_PROBLEM : GetIconForDevice();
    return IsSuperSpeedHub(m_pExternalHub.get()) ? DT_SS_EXTERN_HUB : DT_EXTERN_HUB;
}

int CHubPort::GetIconForDevice() const {
    if (m_CurrentConfig == 0)
        return DT_HUB_PORT;
    DeviceSummary summary{};
    GetDeviceTypeSummary(0, summary);
    if (summary.DeviceClass == 0 && summary.NumInterfaces == 0)
        return DT_HUB_PORT;
    return IsSuperSpeed(m_devstk) ? DT_SS_GENERIC_USB : DT_GENERIC_USB;
}

void CHubPort::GetDeviceTypeSummary(BYTE iConfig, DeviceSummary& summary) const {
    summary = DeviceSummary{};
    if (m_pConnectionInfo != nullptr) {
        summary.NumConfigurations = m_pConnectionInfo[kNumConfigurations];
        summary.DeviceClass = m_pConnectionInfo[kDeviceClass];
        summary.DeviceSubClass = m_pConnectionInfo[kDeviceClass + 1];
        summary.DeviceProtocol = m_pConnectionInfo[kDeviceClass + 2];
    }
    if (m_Configurations.GetSize() == 0) {
        TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICES, "NO Configurations defined!!");
        return;
    }
    if (iConfig >= m_Configurations.GetSize()) {
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_DEVICES, "iConfig out-of-range");
        return;
    }
    const CUsbConfiguration* pConfiguration = m_Configurations[iConfig];
    const INT_PTR count = pConfiguration->m_Interfaces.GetSize();
    summary.NumInterfaces = static_cast<BYTE>(count);
    if (count == 0)
        TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICES, "NO Interfaces defined!!");
    for (INT_PTR i = 0; i < count; ++i) {
        const UCHAR* pDesc = pConfiguration->m_Interfaces[i]->m_pInterfaceDesc;
        summary.InterfaceClass = pDesc[5];
        summary.InterfaceSubClass = pDesc[6];
        summary.InterfaceProtocol = pDesc[7];
    }
}

int CHubPort::GetCheckState() const {
    return m_devstk != nullptr ? m_devstk->GetCheckState() : CHECKSTATE_UNCHECKABLE;
}
