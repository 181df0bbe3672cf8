#include "app/devices/UsbHub.h"

#include <cstring>
#include <memory>

#include "GkPropertyGridItem.h"
#include "app/core/capture/KxTdloft.h"
#include "app/core/changelog/TopologyRemoval.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DevstkRequest.h"
#include "app/devices/HostController.h"
#include "app/devices/HubPort.h"
#include "app/devices/HubPropertyItems.h"
#include "app/devices/TempObject.h"
#include "app/devices/TopologyArchive.h"

IMPLEMENT_SERIAL(CUsbHub, CDevice, VERSIONABLE_SCHEMA | 12)

namespace {

constexpr size_t kDescriptorType = 9;
constexpr size_t kNumberOfPorts = 10;
constexpr BYTE kUsb20HubDescriptor = 0x29;
constexpr BYTE kSuperSpeedHubDescriptor = 0x2A;
constexpr ULONG kHubDescriptorLength = CUsbHub::HubDescriptorBlockSize - DEVSTK_INFO_HEADER_SIZE;

UINT PortElementType(const core::tree<ConnectionElement>* pHubNode) {
    const UINT hubType = pHubNode->get().m_ElementType;
    return hubType == RootHub || hubType == SSRootHub ? RootHubPort : ExternalHubPort;
}

// A plain device's stack points at its port's node; a hub's stack points at the hub's own node.
void LinkPortNode(CHubPort* pPort, core::tree<ConnectionElement>* pNode) {
    if (pPort->m_PortDeviceIsHub == 0 && pPort->GetDeviceStack() != nullptr)
        pPort->GetDeviceStack()->m_pSubtree = pNode;
}

} // namespace

CUsbHub::CUsbHub() = default;

CUsbHub::CUsbHub(CHostController* pHostController, CDeviceStack* pStack, CDeviceClass* pDeviceClass)
    : m_pHostController(pHostController), m_devstk(pStack), m_pDeviceClass(pDeviceClass) {}

CUsbHub::CUsbHub(CDeviceStack* pStack, CDeviceClass* pDeviceClass) : m_devstk(pStack), m_pDeviceClass(pDeviceClass) {}

std::unique_ptr<CUsbHub> CUsbHub::ForLoading(UINT nSchema) {
    auto pHub = std::make_unique<CUsbHub>();
    pHub->m_nSchema = nSchema;
    return pHub;
}

CUsbHub::~CUsbHub() {
    m_pDeviceClass.reset();
    m_Ports.RemoveAll();
}

BOOL CUsbHub::FetchHubDescriptor() {
    std::memset(m_HubDescriptorBlock, 0, sizeof m_HubDescriptorBlock);
    if (m_devstk == nullptr)
        return FALSE;
    CKxTdloft driver;
    if (!driver.TryDeviceOpen(false))
        return FALSE;
    WriteDevstkHead(m_HubDescriptorBlock, m_devstk->StackID, DEVSTK_HUB_DESCRIPTOR, kHubDescriptorLength);
    const BOOL result = driver.IoctlGetDeviceStackInfo(m_HubDescriptorBlock, sizeof m_HubDescriptorBlock);
    driver.DeviceClose();
    if (!result)
        std::memset(m_HubDescriptorBlock, 0, sizeof m_HubDescriptorBlock); // no descriptor: no ports
    return result;
}

BYTE CUsbHub::GetNumberOfPorts() const {
    const BYTE type = m_HubDescriptorBlock[kDescriptorType];
    if (type == kUsb20HubDescriptor || type == kSuperSpeedHubDescriptor || type == 0)
        return m_HubDescriptorBlock[kNumberOfPorts];
    return 0;
}

CHubPort* CUsbHub::GetPort(UINT nPort) const {
    if (nPort < 1 || nPort > static_cast<UINT>(m_Ports.GetSize()))
        return nullptr;
    return m_Ports[nPort - 1];
}

int CUsbHub::GetCheckState() const {
    return m_devstk != nullptr ? m_devstk->GetCheckState() : CHECKSTATE_UNCHECKABLE;
}

bool CUsbHub::IsSuperSpeed() const {
    // The stack learns of the BOS descriptor only with a later refresh when the hub has just arrived; its own
    // hub descriptor already says it.
    return (m_devstk != nullptr && m_devstk->HasBosDescriptor != 0) ||
           m_HubDescriptorBlock[kDescriptorType] == kSuperSpeedHubDescriptor;
}

core::tree<ConnectionElement>* CUsbHub::FindNode(CUSBLog* pDocument) const {
    if (pDocument == nullptr)
        return nullptr;
    const ConnectionElement key(FALSE, UnassignedType, const_cast<CUsbHub*>(this));
    return pDocument->GetConnectionTree().find_in_subtree(key).node();
}

void CUsbHub::DeletePorts(CUSBLog* pDocument) {
    // Every port's nodes and links go before any port does, so no node is left naming a deleted port.
    for (INT_PTR i = 0; i < m_Ports.GetSize(); ++i)
        DeleteTopologyObject(pDocument, m_Ports[i]);
    m_Ports.RemoveAll();
    // Nodes of objects that were never ports of this hub go as well: the hub's node holds ports only.
    DeleteTopologyChildren(pDocument, FindNode(pDocument));
}

void CUsbHub::RemoveRootHub(CDeviceStack* pStack, CUSBLog* pDocument) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICE_TREE, "--CUsbHub::RemoveRootHub");
    if (pStack == nullptr || pStack->m_pSubtree == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICE_TREE, "ERROR: RootHub m_pSubtree == NULL");
        return;
    }
    // A node that holds no object stands for nothing the stack could have named.
    if (pStack->m_pSubtree->get().m_pElemObject == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICE_TREE, "ERROR: roothub m_pSubtree is empty");
        return;
    }
    core::tree<ConnectionElement>* pNode = FindNode(pDocument);
    if (pNode == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICE_TREE, "ERROR: failed to find 'this' RootHub in ConnectionTree");
        return;
    }
    // The ports and everything below them leave the tree, and no stack goes on naming them.
    DeleteTopologyChildren(pDocument, pNode);
    CHostController* pController = GetHostController();
    if (pController == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICE_TREE, "ERROR: GetHostController() == NULL");
        return;
    }
    if (pController->m_devstk == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICE_TREE, "ERROR: HostController CDeviceStack* == NULL");
        return;
    }
    core::tree<ConnectionElement>* pControllerNode = pController->m_devstk->m_pSubtree;
    if (pControllerNode == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICE_TREE, "ERROR: HostController m_pSubtree == NULL");
        return;
    }
    if (pNode->parent() != pControllerNode || pController->GetRootHub() != this) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICE_TREE, "ERROR: failed to remove the RootHub node");
        return;
    }
    // The hub goes with its node instead of staying with its controller: the controller's own removal
    // waits for its root hub to be gone, and a hub left behind would keep ports no tree shows.
    pController->DeleteRootHub(pDocument);
}

BOOL CUsbHub::EnumerateHubPorts(CUSBLog* pDocument) {
    const BYTE nPorts = GetNumberOfPorts();
    BOOL bResult = TRUE;
    core::tree<ConnectionElement>* pHubNode = FindNode(pDocument);
    if (pHubNode == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "CUsbHub::EnumerateHubPorts - hub not found in m_ConnectionTree");
        return FALSE;
    }
    const UINT portType = PortElementType(pHubNode);
    const bool bReuse = pHubNode->size() == nPorts;
    if (!bReuse)
        DeletePorts(pDocument);
    for (UINT p = 1; p <= nPorts; ++p) {
        CHubPort* pPort = nullptr;
        core::tree<ConnectionElement>* pPortNode = nullptr;
        if (bReuse) {
            pPort = GetPort(p);
            if (pPort == nullptr)
                return FALSE;
            pPortNode = pHubNode->find(ConnectionElement(FALSE, portType, pPort)).node();
            if (pPortNode == nullptr)
                return FALSE;
        } else {
            pPortNode = AddPort(pHubNode, portType, p);
            if (pPortNode == nullptr)
                return FALSE;
            pPort = m_Ports[m_Ports.GetSize() - 1];
        }
        if (pPort->InitHubPortInstance(m_devstk, pDocument)) {
            pPort->GetLabelText(pPortNode->get().m_LabelText);
            LinkPortNode(pPort, pPortNode);
        } else {
            pPortNode->get().m_LabelText.Format("Port %d - disabled", static_cast<int>(p));
            bResult = FALSE;
        }
    }
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, ">CUsbHub::EnumerateHubPorts - bResult=%d", bResult);
    return bResult;
}

core::tree<ConnectionElement>* CUsbHub::AddPort(core::tree<ConnectionElement>* pHubNode, UINT portType, UINT nPort) {
    std::unique_ptr<CHubPort> pPort;
    try {
        pPort = std::make_unique<CHubPort>(nPort);
    } catch (CMemoryException* e) {
        e->Delete();
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "CUsbHub::EnumerateHubPorts - out of memory for port %u", nPort);
        return nullptr;
    }
    TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICES, "..new CHubPort = %p", static_cast<void*>(pPort.get()));
    core::tree<ConnectionElement>* pPortNode = pHubNode->insert(ConnectionElement(FALSE, portType, pPort.get())).node();
    bool bListed = false;
    if (pPortNode != nullptr) {
        try {
            m_Ports.Add(std::move(pPort));
            bListed = true;
        } catch (CMemoryException* e) {
            e->Delete();
        }
    }
    if (!bListed) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DEVICES, "CUsbHub::EnumerateHubPorts - out of memory for port %u", nPort);
        // The node goes while the port it names is still there; the port goes on the way out.
        delete pPortNode;
        return nullptr;
    }
    return pPortNode;
}

BOOL CUsbHub::BuildConnectionTree(CUSBLog* pDocument) {
    const BYTE nPorts = GetNumberOfPorts();
    core::tree<ConnectionElement>* pHubNode = FindNode(pDocument);
    if (nPorts == 0 || pHubNode == nullptr)
        return FALSE;
    const UINT portType = PortElementType(pHubNode);
    for (UINT p = 1; p <= nPorts; ++p) {
        CHubPort* pPort = GetPort(p);
        if (pPort == nullptr)
            return FALSE;
        core::tree<ConnectionElement>* pPortNode = pHubNode->insert(ConnectionElement(FALSE, portType, pPort)).node();
        if (pPortNode == nullptr)
            return FALSE;
        pPort->BuildConnectionTree(m_devstk, pDocument);
        pPort->GetLabelText(pPortNode->get().m_LabelText);
        LinkPortNode(pPort, pPortNode);
    }
    return TRUE;
}

void CUsbHub::GeneratePropertiesPage(CGkPropertyGridItem* pCategory) {
    if (pCategory == nullptr)
        return;
    pCategory->SetCaption(IsSuperSpeed() ? "SuperSpeed RootHub Properties" : "RootHub Properties");
    if (m_devstk != nullptr)
        AddStackPropertyItems(*m_devstk, pCategory);
    if (m_pDeviceClass != nullptr)
        AddHubInterfaceCategories(*m_pDeviceClass, pCategory);
    pCategory->Expand();
}

void CUsbHub::AddDeviceInterfaceItems(INT_PTR i, LPCSTR lpszName, LPCSTR lpszGuidText, CGkPropertyGridItem* pCategory) {
    if (m_pDeviceClass != nullptr)
        AddDeviceInterfaceCategory(*m_pDeviceClass, i, lpszName, lpszGuidText, pCategory);
}

void CUsbHub::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CUsbHub::Serialize (storing)");
        ar << static_cast<DWORD>(m_HubKind);
        WORD stackId = 0;
        if (m_devstk == nullptr)
            TDL_TRACE(TRACE_WARNING, TRACE_AREA_SERIALIZE, "m_devstk is NULL");
        else if ((stackId = m_devstk->StackID) == 0)
            TDL_TRACE(TRACE_WARNING, TRACE_AREA_SERIALIZE, "StackID is 0!");
        ar << stackId;
        ar << static_cast<DWORD>(m_pDeviceClass != nullptr ? 1 : 0);
        if (m_pDeviceClass != nullptr)
            m_pDeviceClass->Serialize(ar);
        // Always written: loading reads the block whatever the file's schema.
        ar.Write(m_HubDescriptorBlock, sizeof m_HubDescriptorBlock);
        m_Ports.Store(ar);
        return;
    }

    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CUsbHub::Serialize (loading)");
    DWORD kind = 0;
    WORD stackId = 0;
    DWORD classFlag = 0;
    ar >> kind >> stackId >> classFlag;
    m_HubKind = kind;
    m_devstk = ArchiveStack(ar, stackId);
    if (m_devstk == nullptr)
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_SERIALIZE, "m_devstk is NULL");
    if (classFlag == 1) {
        m_pDeviceClass.reset();
        m_pDeviceClass = std::make_unique<CDeviceClass>(m_nSchema);
        m_pDeviceClass->Serialize(ar);
    }
    ar.EnsureRead(m_HubDescriptorBlock, sizeof m_HubDescriptorBlock);
    m_Ports.Load(ar, [this] { return CHubPort::ForLoading(m_nSchema); });
}
