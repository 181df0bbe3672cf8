// The capture document's side of device arrival and removal: the change-log handlers that keep the device
// objects, drivers and stacks current, and the connection tree's upkeep.
#include <cstring>

#include "app/core/Trace.h"
#include "app/core/USBLog.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"
#include "app/devices/HostController.h"
#include "app/devices/HubPort.h"
#include "app/devices/NodeText.h"
#include "app/devices/StackTree.h"
#include "app/devices/SystemHostControllers.h"
#include "app/devices/UsbHub.h"

namespace {

constexpr ULONG kDevobjArea = TRACE_AREA_ARRIVAL_PROCESSING;
constexpr ULONG kDevstkArea = TRACE_AREA_ARRIVAL;

// A node copied out of the record: the payload has no alignment of its own.
template <class Node> Node CopyNode(const BYTE* pNode) {
    Node node;
    std::memcpy(&node, pNode, sizeof node);
    return node;
}

void* AsPointer(ULONG64 address) {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(address));
}

LPCSTR DeviceTypeName(int type) {
    switch (type) {
    case DT_HOST_CONTROLLER:
        return "DT_HOST_CONTROLLER";
    case DT_ROOT_HUB:
        return "DT_ROOT_HUB";
    case DT_HUB_PORT:
        return "DT_HUB_PORT";
    case DT_EXTERN_HUB:
        return "DT_EXTERN_HUB";
    case DT_GENERIC_USB:
        return "DT_GENERIC_USB";
    case DT_SS_ROOT_HUB:
        return "DT_SS_ROOT_HUB";
    case DT_SS_EXTERN_HUB:
        return "DT_SS_EXTERN_HUB";
    case DT_SS_GENERIC_USB:
        return "DT_SS_GENERIC_USB";
    case DT_NONE:
        return "DT_NONE";
    default:
        return "Other";
    }
}

bool IsHubType(int type) {
    return type == DT_HOST_CONTROLLER || type == DT_ROOT_HUB || type == DT_SS_ROOT_HUB || type == DT_EXTERN_HUB ||
           type == DT_SS_EXTERN_HUB;
}

// The stack's model object when it is of that class: a stack's type and its object may disagree.
template <class T> T* ModelAs(CObject* pObject) {
    return dynamic_cast<T*>(pObject);
}

// A blank stack node that carries only the id: what an update from a removal or a device object starts from.
DEVSTK_NODE BlankStackNode(USHORT stackId) {
    DEVSTK_NODE node{};
    node.Header = {NODE_KIND_DEVSTK, DEVSTK_NODE_SIZE};
    node.StackID = stackId;
    return node;
}

// The hub's port nodes re-read from the driver and relabelled; a plain device's stack learns its port's node.
// FALSE when a port has no node below the hub's.
bool RefreshHubPorts(CUSBLog* pDocument, CUsbHub* pHub, CDeviceStack* pHubStack, core::tree<ConnectionElement>* pHubNode,
                     UINT portType) {
    const UINT nPorts = pHub->GetNumberOfPorts();
    for (UINT p = 1; p <= nPorts; ++p) {
        CHubPort* pPort = pHub->GetPort(p);
        core::tree<ConnectionElement>* pPortNode =
            pPort != nullptr ? pHubNode->find(ConnectionElement(FALSE, portType, pPort)).node() : nullptr;
        if (pPortNode == nullptr) {
            TDL_TRACE(TRACE_ERROR, kDevstkArea,
                      portType == RootHubPort ? "AddDevstk - Port of RootHub not found in RH subtree"
                                              : "AddDevstk - ExternHub Port not found from parentPos");
            return false;
        }
        if (pPortNode->get().m_ElementType != portType) {
            TDL_TRACE(TRACE_ERROR, kDevstkArea,
                      portType == RootHubPort ? "AddDevstk - iterator is not for a RootHubPort"
                                              : "AddDevstk - iterator is not for ExternalHubPort");
            if (portType != RootHubPort)
                return false;
        }
        pPort->InitHubPortInstance(pHubStack, pDocument);
        pPort->GetLabelText(pPortNode->get().m_LabelText);
        if (pPort->m_PortDeviceIsHub == 0 && pPort->GetDeviceStack() != nullptr)
            pPort->GetDeviceStack()->m_pSubtree = pPortNode;
    }
    return true;
}

} // namespace

BOOL CUSBLog::RemoveSubtree(CObject* pObject) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_ARRIVAL, "--CUSBLog::RemoveSubtree");
    const ::ConnectionElement key(FALSE, UnassignedType, pObject);
    core::tree_iterator<::ConnectionElement> found = m_ConnectionTree.find_in_subtree(key);
    if (found == g_ConnectionTreeEnd)
        return FALSE;
    found.node()->clear();
    return TRUE;
}

void CUSBLog::SubtreeObserver::node_destroyed(core::tree<::ConnectionElement>* pNode) {
    if (CStackTree* pStacks = m_pDocument->GetStackTree())
        pStacks->ForgetSubtree(pNode);
}

void CUSBLog::ProcessDevobjArrival(const BYTE* pNode) {
    const DEVICE_NODE node = CopyNode<DEVICE_NODE>(pNode);
    const CString name = NodeText(node.DeviceName);
    TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "--CUSBLog::ProcessDevobjArrival");
    TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "PDEVICE_OBJECT=%p", AsPointer(node.DeviceObject));
    TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "DevName='%s'", name.GetString());
    TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "StackID=%04d", static_cast<int>(node.StackID));
    TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "StatusFlags=0x%08x", node.StatusFlags);

    CDeviceObject* pDevice = nullptr;
    if (m_pAttachedDevices != nullptr) {
        if (m_pAttachedDevices->GetPresentClassDeviceObject(node.DeviceObject, pDevice)) {
            TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "UPDATE CAttachedDevices: PDEVICE_OBJECT=%I64x\n",
                      node.DeviceObject);
            m_pAttachedDevices->UpdateDeviceObject(pDevice, node);
        } else {
            TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "ADD to CAttachedDevices: PDEVICE_OBJECT=%p\n",
                      AsPointer(node.DeviceObject));
            if (!m_pAttachedDevices->AddDeviceObject(node, pDevice))
                TDL_TRACE(TRACE_ERROR, kDevobjArea, "ERROR: failed to allocate CDeviceObject");
        }
        if (pDevice != nullptr && pDevice->IsSelectable())
            pDevice->m_nStateImage = pDevice->SelectionStateImage();
    }

    // StackID 0 is the driver's "no stack": there is no stack of that id to enter the object in.
    if (m_pStackTree != nullptr && pDevice != nullptr && node.StackID != 0) {
        CDeviceStack* pStack = m_pStackTree->FindStackById(node.StackID);
        if (pStack == nullptr) {
            TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "ADD to CStackTree StackID=%04u: PDEVICE_OBJECT=%p",
                      static_cast<UINT>(node.StackID), AsPointer(node.DeviceObject));
            pStack = CDeviceStack::NewDeviceStack(BlankStackNode(node.StackID));
            if (pStack == nullptr) {
                TDL_TRACE(TRACE_ERROR, kDevobjArea, "failed to allocate CDeviceStack");
            } else {
                // Only the id map: its driver key is not known until the stack itself arrives.
                CSingleLock lock(&m_pStackTree->m_Lock, TRUE);
                try {
                    m_pStackTree->m_StackMap.SetAt(node.StackID, pStack);
                } catch (CMemoryException* e) {
                    e->Delete();
                    delete pStack;
                    pStack = nullptr;
                }
            }
        }
        if (pStack != nullptr) {
            TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "UPDATE CStackTree StackID=%04u: PDEVICE_OBJECT=%I64x",
                      static_cast<UINT>(node.StackID), node.DeviceObject);
            bool bStored = true;
            try {
                pStack->m_DevObjMap.SetAt(node.Position, pDevice);
            } catch (CMemoryException* e) {
                e->Delete();
                bStored = false;
            }
            if (bStored) {
                TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "ASSIGN CStackTree StackID=%04d to PDEVICE_OBJECT=%I64x",
                          static_cast<int>(node.StackID), node.DeviceObject);
                m_pAttachedDevices->SetDevobjStack(pDevice, node, pStack);
                pDevice->_StackPosition = node.Position;
            }
        }
    }

    if (m_pAttachedDrivers != nullptr && (node.StatusFlags & DEVOBJ_HOOKED) != 0) {
        CDriverObject* pDriver = nullptr;
        if (m_pAttachedDrivers->GetPresentClassDriverObject(node.DriverObject, pDriver)) {
            TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "existing CDriverObject for Device %s, PDRIVER_OBJECT=%I64x",
                      name.GetString(), node.DriverObject);
        } else {
            // A driver not reported yet: an unlisted placeholder until its own arrival names it.
            DRIVER_NODE placeholder{};
            placeholder.Header = {NODE_KIND_DRIVER, DRIVER_NODE_SIZE};
            placeholder.DriverObject = node.DriverObject;
            m_pAttachedDrivers->AddNewDriver(&placeholder, nullptr, FALSE, pDriver);
            TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "new CDriverObject for Device %s, PDRIVER_OBJECT=%I64x",
                      name.GetString(), node.DriverObject);
        }
        // One list at most: an object another driver listed moves here, one already here stays once.
        if (pDriver != nullptr && pDevice != nullptr && !pDriver->AddDeviceObject(pDevice))
            TDL_TRACE(TRACE_ERROR, kDevobjArea, "ERROR: failed to add the device object to its driver");
    }
}

void CUSBLog::ProcessDevobjRemoval(const BYTE* pNode) {
    const DEVICE_NODE node = CopyNode<DEVICE_NODE>(pNode);
    const CString name = NodeText(node.DeviceName);
    TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "--CUSBLog::ProcessDevobjRemoval");
    TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "PDEVICE_OBJECT=%p", AsPointer(node.DeviceObject));
    TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "DevName='%s'", name.GetString());
    TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "StatusFlags=0x%08x", node.StatusFlags);

    CDeviceObject* pDevice = nullptr;
    if (m_pAttachedDevices != nullptr && m_pAttachedDevices->GetPresentClassDeviceObject(node.DeviceObject, pDevice)) {
        TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "CDeviceObject already exists: %s", pDevice->_DeviceName.GetString());
        m_pAttachedDevices->UpdateDeviceObject(pDevice, node);
        // The object's lifetime ends here, so a later object at the same address is told apart by time.
        if (pDevice->_EndTime == 0 && node.RemovalTime != 0)
            pDevice->_EndTime = static_cast<LONGLONG>(node.RemovalTime);
    }

    CDeviceStack* pStack = m_pStackTree != nullptr ? m_pStackTree->FindStackById(node.StackID) : nullptr;
    if (pStack != nullptr) {
        TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "StackID=%04u, %s", static_cast<UINT>(pStack->StackID),
                  pStack->Description.GetString());
        if (pStack->m_iDeviceType == DT_HOST_CONTROLLER) {
            TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "m_iDeviceType = DT_HOST_CONTROLLER");
            auto* pController = ModelAs<CHostController>(pStack->m_deviceNode);
            if (pController != nullptr && pController->m_pRootHub == nullptr && m_pHostControllers != nullptr &&
                m_pHostControllers->DeleteHostController(pController, this)) {
                TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "Host Controller Removed");
                pStack->m_iDeviceType = DT_NONE;
                pStack->m_deviceNode = nullptr;
                DEVSTK_NODE removed = BlankStackNode(pStack->StackID);
                removed.Removed = 1;
                pStack->UpdateStack(removed, DEVSTK_UPDATE_REMOVED | DEVSTK_UPDATE_CHILDREN | 0x1);
            }
        }
    }

    CDriverObject* pDriver = nullptr;
    if (m_pAttachedDrivers != nullptr && m_pAttachedDrivers->GetPresentClassDriverObject(node.DriverObject, pDriver))
        TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "existing CDriverObject PDRIVER_OBJECT=%I64x for Device %s",
                  node.DriverObject, name.GetString());
}

void CUSBLog::ProcessDrvobjArrival(const BYTE* pNode) {
    if (m_pAttachedDrivers != nullptr)
        m_pAttachedDrivers->ProcessDrvobjArrival(CopyNode<DRIVER_NODE>(pNode));
}

void CUSBLog::ProcessDrvobjRemoval(const BYTE* pNode) {
    if (m_pAttachedDrivers != nullptr)
        m_pAttachedDrivers->ProcessDrvobjRemoval(CopyNode<DRIVER_NODE>(pNode));
}

namespace {

void TraceStackIdentity(const DEVSTK_NODE& node) {
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "StackID=%04u, %s", static_cast<UINT>(node.StackID),
              NodeText(node.DeviceDescription).GetString());
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "ParentStackID=%04u, Enumerator=%s, Class=%s",
              static_cast<UINT>(node.ParentStackID), NodeText(node.EnumeratorName).GetString(),
              NodeText(node.ClassName).GetString());
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "DriverKey=%s", NodeText(node.DriverKeyName).GetString());
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "UsbClass 0x%02x, UsbSubClass 0x%02x, UsbProtocol 0x%02x",
              static_cast<UINT>(node.DeviceClass), static_cast<UINT>(node.DeviceSubClass),
              static_cast<UINT>(node.DeviceProtocol));
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "HardwareID=%s", NodeText(node.HardwareID).GetString());
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "DeviceID=%s", NodeText(node.DeviceID).GetString());
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "DeviceHandle=%I64x", node.UsbDeviceHandle);
}

} // namespace

void CUSBLog::ProcessDevstkArrival(const BYTE* pNode) {
    const DEVSTK_NODE node = CopyNode<DEVSTK_NODE>(pNode);
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "--CUSBLog::ProcessDevstkArrival");
    TraceStackIdentity(node);
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "HasBosDescriptor=%s", node.BosDescriptorSeen != 0 ? "TRUE" : "FALSE");
    if (m_pStackTree == nullptr)
        return;
    CDeviceStack* pStack = m_pStackTree->FindStackById(node.StackID);
    if (pStack != nullptr) {
        pStack->UpdateStack(node, DEVSTK_UPDATE_ALL);
        if (!pStack->DriverKey.IsEmpty()) {
            CSingleLock lock(&m_pStackTree->m_Lock, TRUE);
            try {
                m_pStackTree->m_DriverKeyToDevstk.SetAt(pStack->DriverKey, pStack);
            } catch (CMemoryException* e) {
                e->Delete();
            }
        }
    } else {
        pStack = CDeviceStack::NewDeviceStack(node);
        if (pStack == nullptr)
            return;
        CSingleLock lock(&m_pStackTree->m_Lock, TRUE);
        try {
            m_pStackTree->m_StackMap.SetAt(node.StackID, pStack);
        } catch (CMemoryException* e) {
            e->Delete();
            delete pStack;
            return;
        }
        try {
            m_pStackTree->m_DriverKeyToDevstk.SetAt(pStack->DriverKey, pStack);
        } catch (CMemoryException* e) {
            e->Delete();
        }
    }
    AddDevstk(pStack);
}

void CUSBLog::AddDevstk(CDeviceStack* pStack) {
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "--CUSBLog::AddDevstk");
    if (pStack == nullptr || m_pStackTree == nullptr)
        return;
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "Enumerator=%s, Class=%s, ParentStackID=%04u, %s",
              pStack->EnumName.GetString(), pStack->ClassName.GetString(), static_cast<UINT>(pStack->ParentStackID),
              pStack->Description.GetString());
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "this m_iDeviceType = %d, m_deviceNode = 0x%p", pStack->m_iDeviceType,
              static_cast<void*>(pStack->m_deviceNode));
    if (pStack->m_iDeviceType != DT_NONE && pStack->m_deviceNode != nullptr)
        return;
    if (pStack->EnumName.CompareNoCase("PCI") == 0) {
        AddHostControllerStack(pStack);
        return;
    }
    CDeviceStack* pParent = pStack->ParentStackID != 0 ? m_pStackTree->FindStackById(pStack->ParentStackID) : nullptr;
    if (pParent == nullptr)
        return;
    // The parent's list is what a removal walks to mark the descendants; the driver reports it only with the
    // parent's own arrival, before any child existed.
    pParent->AddChildStackID(pStack->StackID);
    // Vendor stacks that enumerate their own hubs and devices below a controller or a hub are placed as USB's.
    const bool bBelowHub = pStack->EnumName.CompareNoCase("USB") == 0 || IsHubType(pParent->m_iDeviceType);
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "parent m_iDeviceType = %s", DeviceTypeName(pParent->m_iDeviceType));
    if (bBelowHub) {
        switch (pParent->m_iDeviceType) {
        case DT_HOST_CONTROLLER:
            AddRootHubStack(pStack, pParent);
            break;
        case DT_ROOT_HUB:
        case DT_SS_ROOT_HUB:
            AddRootHubPortDevice(pStack, pParent);
            break;
        case DT_EXTERN_HUB:
        case DT_SS_EXTERN_HUB:
            AddExternalHubPortDevice(pStack, pParent);
            break;
        default:
            break;
        }
    }
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "m_deviceNode = 0x%p", static_cast<void*>(pParent->m_deviceNode));
}

void CUSBLog::AddHostControllerStack(CDeviceStack* pStack) {
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "StackID %04u, host controller arrives", static_cast<UINT>(pStack->StackID));
    if (pStack->m_iDeviceType != DT_NONE || pStack->m_deviceNode != nullptr || m_pHostControllers == nullptr)
        return;
    CHostController* pController = m_pHostControllers->AddHostController(pStack);
    if (pController == nullptr) {
        TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "Host Controller, StackID=%04u, driver key unknown",
                  static_cast<UINT>(pStack->StackID));
        return;
    }
    // Its legacy name, as enumeration gives it, so its label is the one a refresh shows.
    m_pHostControllers->GetHCDSymbolicLinks(this);
    ::ConnectionElement element(TRUE, HostController, pController);
    pController->GetLabelText(element.m_LabelText);
    core::tree<::ConnectionElement>* pNode = m_ConnectionTree.insert(element).node();
    if (pNode == nullptr) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - failed to add HC to ConnectionTree");
        return;
    }
    pStack->m_pSubtree = pNode;
    SetDeviceFlag(pStack->StackID, 2);
}

void CUSBLog::AddRootHubStack(CDeviceStack* pStack, CDeviceStack* pParent) {
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "StackID %04u, root hub arrives", static_cast<UINT>(pStack->StackID));
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "StackID %04u, Devh= %I64x", static_cast<UINT>(pStack->StackID),
              pStack->DeviceHandle);
    auto* pController = ModelAs<CHostController>(pParent->m_deviceNode);
    if (pStack->DeviceHandle == 0 || pStack->m_iDeviceType != DT_NONE || pStack->m_deviceNode != nullptr ||
        pController == nullptr)
        return;
    CUsbHub* pHub = pController->CreateRootUsbHub(this);
    if (pHub == nullptr || pHub->m_devstk == nullptr)
        return;
    const ::ConnectionElement key(FALSE, UnassignedType, pController);
    core::tree<::ConnectionElement>* pControllerNode = m_ConnectionTree.find_in_subtree(key).node();
    if (pControllerNode == nullptr) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - failed to find HC in ConnectionTree");
        return;
    }
    const bool bSuperSpeed = pHub->IsSuperSpeed();
    ::ConnectionElement element(TRUE, bSuperSpeed ? SSRootHub : RootHub, pHub);
    element.m_LabelText = bSuperSpeed ? "SuperSpeed RootHub" : "RootHub";
    core::tree<::ConnectionElement>* pHubNode = pControllerNode->insert(element).node();
    if (pHubNode == nullptr) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - failed to add RH to ConnectionTree");
        return;
    }
    pHub->m_devstk->m_pSubtree = pHubNode;
    SetDeviceFlag(pHub->m_devstk->StackID, 2);
    pHub->EnumerateHubPorts(this);
}

void CUSBLog::AddRootHubPortDevice(CDeviceStack* pStack, CDeviceStack* pParent) {
    auto* pHub = ModelAs<CUsbHub>(pParent->m_deviceNode);
    if (pHub == nullptr) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - parentStack->m_deviceNode is not CUsbHub");
        return;
    }
    if (pHub->m_HubKind != HubKindRoot) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - CUsbHub is not a RootHub");
        return;
    }
    core::tree<::ConnectionElement>* pHubNode = pHub->FindNode(this);
    if (pHubNode == nullptr) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - RootHub not found in m_ConnectionTree");
        return;
    }
    if (pHubNode->get().m_ElementType != RootHub && pHubNode->get().m_ElementType != SSRootHub) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - iterator is not for RootHub");
        return;
    }
    SetDeviceFlag(pStack->StackID, 2);
    RefreshHubPorts(this, pHub, pParent, pHubNode, RootHubPort);
}

void CUSBLog::AddExternalHubPortDevice(CDeviceStack* pStack, CDeviceStack* pParent) {
    auto* pPort = ModelAs<CHubPort>(pParent->m_deviceNode);
    if (pPort == nullptr) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - parentStack->m_deviceNode is not CHubPort");
        return;
    }
    if (pPort->m_PortDeviceIsHub == 0) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - CHubPort device is not an External Hub");
        return;
    }
    core::tree<::ConnectionElement>* pHubNode = pParent->m_pSubtree;
    if (pHubNode == nullptr) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - parentStack has m_pSubtree==NULL");
        return;
    }
    if (pHubNode->get().m_ElementType != ExternalHub && pHubNode->get().m_ElementType != SSExternalHub) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - iterator is not for ExternalHub");
        return;
    }
    SetDeviceFlag(pStack->StackID, 2);
    CUsbHub* pHub = pPort->GetExternalHub();
    if (pHub == nullptr) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - HubPort has m_pExternHub==NULL");
        return;
    }
    UINT nPortNodes = 0;
    for (const core::tree<::ConnectionElement>* pChild = pHubNode->first_child(); pChild != nullptr;
         pChild = pChild->next_sibling())
        nPortNodes += ModelAs<CHubPort>(pChild->get().m_pElemObject) != nullptr ? 1 : 0;
    if (nPortNodes < pHub->GetNumberOfPorts())
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - Hub has fewer child ConnectionElements than ports");
    else if (nPortNodes > pHub->GetNumberOfPorts())
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "AddDevstk - Hub has more child ConnectionElements than ports");
    RefreshHubPorts(this, pHub, pParent, pHubNode, ExternalHubPort);
}

void CUSBLog::ProcessDevstkRemoval(const BYTE* pNode) {
    const DEVSTK_NODE node = CopyNode<DEVSTK_NODE>(pNode);
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "--CUSBLog::ProcessDevstkRemoval");
    if (m_pStackTree == nullptr || node.Header.Kind != NODE_KIND_DEVSTK)
        return;
    TraceStackIdentity(node);
    CDeviceStack* pStack = m_pStackTree->FindStackById(node.StackID);
    if (pStack == nullptr) {
        TDL_TRACE(TRACE_ERROR, kDevstkArea, "ERROR: no CDeviceStack for StackID");
        return;
    }
    if (node.Removed != 0) {
        TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "StackID=%04u, %s removed", static_cast<UINT>(pStack->StackID),
                  pStack->Description.GetString());
        if (pStack->m_deviceNode == nullptr) {
            TDL_TRACE(TRACE_ERROR, kDevstkArea, "ERROR: m_deviceNode == NULL");
            // A device the hub's port never linked to its stack (the driver knew too little of it) still
            // leaves its port: the hub's ports are read again, so the tree stops showing it.
            RefreshPortsAbove(pStack);
        } else {
            RemoveStackObject(pStack, node);
        }
    }
    pStack->UpdateStack(node, DEVSTK_UPDATE_DEFAULT);
}

void CUSBLog::RefreshPortsAbove(CDeviceStack* pStack) {
    CDeviceStack* pParent = pStack->ParentStackID != 0 ? m_pStackTree->FindStackById(pStack->ParentStackID) : nullptr;
    if (pParent == nullptr)
        return;
    if (pParent->m_iDeviceType == DT_ROOT_HUB || pParent->m_iDeviceType == DT_SS_ROOT_HUB) {
        CUsbHub* pHub = ModelAs<CUsbHub>(pParent->m_deviceNode);
        core::tree<::ConnectionElement>* pHubNode = pHub != nullptr ? pHub->FindNode(this) : nullptr;
        if (pHubNode != nullptr)
            RefreshHubPorts(this, pHub, pParent, pHubNode, RootHubPort);
    } else if (pParent->m_iDeviceType == DT_EXTERN_HUB || pParent->m_iDeviceType == DT_SS_EXTERN_HUB) {
        CHubPort* pPort = ModelAs<CHubPort>(pParent->m_deviceNode);
        CUsbHub* pHub = pPort != nullptr ? pPort->GetExternalHub() : nullptr;
        if (pHub != nullptr && pParent->m_pSubtree != nullptr)
            RefreshHubPorts(this, pHub, pParent, pParent->m_pSubtree, ExternalHubPort);
    }
}

void CUSBLog::RemoveStackObject(CDeviceStack* pStack, const DEVSTK_NODE& node) {
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "remove m_deviceNode = 0x%p", static_cast<void*>(pStack->m_deviceNode));
    const int type = pStack->m_iDeviceType;
    TDL_TRACE(TRACE_INFORMATION, kDevstkArea, "remove m_iDeviceType = %s", DeviceTypeName(type));
    switch (type) {
    case DT_HOST_CONTROLLER:
        if (auto* pController = ModelAs<CHostController>(pStack->m_deviceNode)) {
            pController->RemoveHostController(pStack, this);
            // Nothing of it is left to show: the controller goes with its root hub, whatever order the
            // removals of its device objects and of the stacks below it come in.
            if (m_pHostControllers != nullptr)
                m_pHostControllers->DeleteHostController(pController, this);
        } else {
            TDL_TRACE(TRACE_ERROR, kDevstkArea, "ERROR: expected CHostController* pointer");
        }
        break;
    case DT_ROOT_HUB:
    case DT_SS_ROOT_HUB:
        if (auto* pHub = ModelAs<CUsbHub>(pStack->m_deviceNode)) {
            pHub->RemoveRootHub(pStack, this);
            m_pStackTree->UpdateStacksFromList(pStack, node.RemovalTime);
        } else {
            TDL_TRACE(TRACE_ERROR, kDevstkArea, "ERROR: expected CUsbHub* pointer");
        }
        break;
    case DT_HUB_PORT:
    case DT_EXTERN_HUB:
    case DT_SS_EXTERN_HUB:
    case DT_GENERIC_USB:
    case DT_SS_GENERIC_USB:
        if (auto* pPort = ModelAs<CHubPort>(pStack->m_deviceNode)) {
            if (type == DT_HUB_PORT) {
                // A device whose configuration was never read: its port is cleared and, like any other
                // device's, relabelled, or the tree would go on showing what was unplugged.
                pPort->RemoveGenericUsb(pStack, this);
            } else if (type == DT_EXTERN_HUB || type == DT_SS_EXTERN_HUB) {
                pPort->RemoveExternalHub(pStack, this);
            } else {
                pPort->RemoveGenericUsb(pStack, this);
                m_pStackTree->UpdateStacksFromList(pStack, node.RemovalTime);
            }
        } else {
            TDL_TRACE(TRACE_ERROR, kDevstkArea, "ERROR: expected CHubPort* pointer");
        }
        break;
    default:
        break;
    }
}
