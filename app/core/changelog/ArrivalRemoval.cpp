// The capture document's side of device arrival and removal: the change-log handlers that keep the device
// objects, drivers and stacks current, and the connection tree's upkeep.
#include <cstring>

#include "app/core/changelog/ArrivalSupport.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
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

using arrival::DeviceTypeName;
using arrival::kDevstkArea;
using arrival::ModelAs;

namespace {

constexpr ULONG kDevobjArea = TRACE_AREA_ARRIVAL_PROCESSING;

// A node copied out of the record: the payload has no alignment of its own.
template <class Node> Node CopyNode(const BYTE* pNode) {
    Node node;
    std::memcpy(&node, pNode, sizeof node);
    return node;
}

void* AsPointer(ULONG64 address) {
    return reinterpret_cast<void*>(static_cast<uintptr_t>(address));
}

// The handler's name and the node's identity; the stack only where the handler uses it.
void TraceDeviceNode(LPCSTR lpszHandler, const DEVICE_NODE& node, const CString& name, bool bStackId) {
    TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "%s", lpszHandler);
    TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "PDEVICE_OBJECT=%p", AsPointer(node.DeviceObject));
    TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "DevName='%s'", name.GetString());
    if (bStackId)
        TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "StackID=%04d", static_cast<int>(node.StackID));
    TDL_TRACE(TRACE_INFORMATION, kDevobjArea, "StatusFlags=0x%08x", node.StatusFlags);
}

// A blank stack node that carries only the id: what a removal by a device object updates a stack from.
DEVSTK_NODE BlankStackNode(USHORT stackId) {
    DEVSTK_NODE node{};
    node.Header = {NODE_KIND_DEVSTK, DEVSTK_NODE_SIZE};
    node.StackID = stackId;
    return node;
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
    TraceDeviceNode("--CUSBLog::ProcessDevobjArrival", node, name, true);

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
            // Only the id map: its driver key is not known until the stack itself arrives.
            pStack = m_pStackTree->EnterStack(CDeviceStack::NewDeviceStack(BlankStackNode(node.StackID)), false);
            if (pStack == nullptr) {
                TDL_TRACE(TRACE_ERROR, kDevobjArea, "failed to allocate CDeviceStack");
                pStack = nullptr;
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
    TraceDeviceNode("--CUSBLog::ProcessDevobjRemoval", node, name, false);

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
                pStack->UpdateStack(removed, DEVSTK_UPDATE_REMOVED | DEVSTK_UPDATE_CHILDREN);
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
        pStack = m_pStackTree->EnterStack(CDeviceStack::NewDeviceStack(node));
        if (pStack == nullptr)
            return;
    }
    AddDevstk(pStack);
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
    default: break;
    }
}
