#include "app/devices/AttachedDevices.h"

#include <cstring>
#include <memory>

#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/devices/AllocateBuffer.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"
#include "app/devices/NodeText.h"
#include "app/devices/TempObject.h"

IMPLEMENT_SERIAL(CAttachedDevices, CObject, 1)

CAttachedDevices::CAttachedDevices() = default;

CAttachedDevices::CAttachedDevices(UINT nSchema) : m_nSchema(nSchema) {}

CAttachedDevices::~CAttachedDevices() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "CAttachedDevices dtor");
    for (INT_PTR i = 0; i < m_DeviceObjects.GetSize(); ++i)
        TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICES, "--- delete CDeviceObject = 0x%p, PDEVICE_OBJECT=%I64x",
                  m_DeviceObjects[i], m_DeviceObjects[i]->_NtDeviceObject);
    m_DeviceObjects.RemoveAll();
    FreeBuffer(m_pLogDevobjsList);
}

BOOL CAttachedDevices::AddDeviceObject(const DEVICE_NODE& node, CDeviceObject*& rpDevice) {
    rpDevice = nullptr;
    CDeviceObject* pDevice = nullptr;
    try {
        auto pNew = std::make_unique<CDeviceObject>(node);
        pDevice = pNew.get();
        m_DeviceObjects.Add(std::move(pNew));
    } catch (CMemoryException* e) {
        e->Delete();
        return FALSE;
    }
    if (!m_Hash.Insert(pDevice)) {
        m_DeviceObjects.RemoveAt(m_DeviceObjects.GetSize() - 1);
        return FALSE;
    }
    TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICES, "** new CDeviceObject=0x%p", pDevice);
    TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICES, "** for PDEVICE_OBJECT=0x%p, Name=%s",
              reinterpret_cast<void*>(static_cast<uintptr_t>(pDevice->_NtDeviceObject)),
              pDevice->_DeviceName.GetString());
    rpDevice = pDevice;
    return TRUE;
}

BOOL CAttachedDevices::UpdateDeviceObject(CDeviceObject* pDevice, const DEVICE_NODE& node) {
    CString name = NodeText(node.DeviceName);
    if (name.Compare(pDevice->_DeviceName) != 0) {
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_DEVICES, "device name has changed!");
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_DEVICES, " --- was %s, now %s ---", pDevice->_DeviceName.GetString(),
                  name.GetString());
    }
    if (node.StatusFlags != pDevice->_StatusFlags) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "StatusFlags change: were 0x%08x, now 0x%08x",
                  pDevice->_StatusFlags, node.StatusFlags);
        pDevice->_StatusFlags = node.StatusFlags;
        // An object that can no longer be selected loses its box; one that has just become selectable (its
        // driver hooked after it arrived) gets the box its flags give, else it would stay locked for good.
        // A box the user already has keeps its choice.
        if (!pDevice->IsSelectable() || pDevice->m_nStateImage == CHECKSTATE_UNCHECKABLE)
            pDevice->m_nStateImage = pDevice->SelectionStateImage();
    }
    return TRUE;
}

void CAttachedDevices::SetDevobjStack(CDeviceObject* pDevice, const DEVICE_NODE& node, CDeviceStack* pStack) {
    pDevice->_DevStack = pStack;
    pDevice->_StackID = node.StackID;
}

std::unique_ptr<CDeviceObject> CAttachedDevices::RemoveDeviceObject(CDeviceObject* pDevice) {
    const INT_PTR nIndex = m_DeviceObjects.Find(pDevice);
    if (nIndex < 0)
        return nullptr;
    std::unique_ptr<CDeviceObject> pRemoved = m_DeviceObjects.Detach(nIndex);
    m_Hash.Remove(pDevice);
    return pRemoved;
}

BOOL CAttachedDevices::GetPresentClassDeviceObject(ULONG64 ntDeviceObject, CDeviceObject*& rpDevice) const {
    rpDevice = m_Hash.GetPresentClassDeviceObject(ntDeviceObject);
    return rpDevice != nullptr;
}

BOOL CAttachedDevices::GetClassDeviceObjectAtTime(ULONG64 ntDeviceObject, LONGLONG time,
                                                  CDeviceObject*& rpDevice) const {
    rpDevice = m_Hash.GetClassDeviceObjectAtTime(ntDeviceObject, time);
    return rpDevice != nullptr;
}

BOOL CAttachedDevices::GetClassDeviceObjectWithStackID(ULONG64 ntDeviceObject, USHORT stackId,
                                                       CDeviceObject*& rpDevice) const {
    rpDevice = m_Hash.GetClassDeviceObjectWithStackID(ntDeviceObject, stackId);
    return rpDevice != nullptr;
}

BOOL CAttachedDevices::GetClassDeviceObject(ULONG64 ntDeviceObject, CTypedPtrList<CPtrList, _HASH_ENTRY*>& list,
                                            int& nCount) const {
    return m_Hash.GetClassDeviceObject(ntDeviceObject, list, nCount);
}

BOOL CAttachedDevices::CreateLogDevobjsList(BYTE*& rpBuffer, DWORD& rdwSize, bool bClearSelection) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "--CAttachedDevices::CreateLogDevobjsList");
    rpBuffer = nullptr;
    rdwSize = 0;
    FreeBuffer(m_pLogDevobjsList);
    m_pLogDevobjsList = nullptr;
    m_dwLogDevobjsListSize = 0;

    DWORD nLoggable = 0;
    for (INT_PTR i = 0; i < m_DeviceObjects.GetSize(); ++i)
        nLoggable += m_DeviceObjects[i]->IsLoggable() ? 1 : 0;
    const DWORD dwSize = (nLoggable + 1) * DEVICE_NODE_SIZE;
    m_pLogDevobjsList = AllocateBuffer(dwSize);
    if (m_pLogDevobjsList == nullptr)
        return FALSE;
    std::memset(m_pLogDevobjsList, 0, dwSize);
    m_dwLogDevobjsListSize = dwSize;

    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "========================");
    BYTE* pEntry = m_pLogDevobjsList;
    for (INT_PTR i = 0; i < m_DeviceObjects.GetSize(); ++i) {
        CDeviceObject* pDevice = m_DeviceObjects[i];
        if (!pDevice->IsLoggable())
            continue;
        if (bClearSelection) {
            pDevice->_StatusFlags |= DEVOBJ_CAPTURE_OFF;
            pDevice->m_nStateImage = CHECKSTATE_UNCHECKED;
        } else if (pDevice->m_nStateImage == CHECKSTATE_CHECKED) {
            pDevice->_StatusFlags &= ~DEVOBJ_CAPTURE_OFF;
        } else {
            pDevice->_StatusFlags |= DEVOBJ_CAPTURE_OFF;
        }
        DEVICE_NODE node{};
        node.Header = {NODE_KIND_DEVICE, DEVICE_NODE_SIZE};
        CopyNodeString(node.DeviceName, pDevice->_DeviceName.GetString(),
                       static_cast<size_t>(pDevice->_DeviceName.GetLength()));
        node.DeviceObject = pDevice->_NtDeviceObject;
        node.StatusFlags = pDevice->_StatusFlags;
        node.StackID = pDevice->_StackID;
        node.Position = pDevice->_StackPosition;
        node.DriverObject = pDevice->_NtDriverObject;
        node.StartTime = static_cast<ULONG64>(pDevice->_StartTime);
        node.RemovalTime = static_cast<ULONG64>(pDevice->_EndTime);
        std::memcpy(pEntry, &node, sizeof node);
        pEntry += DEVICE_NODE_SIZE;
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "Node: %s, Logging=%s, Removed=%s",
                  pDevice->_DeviceName.GetString(), (node.StatusFlags & DEVOBJ_CAPTURE_OFF) ? "FALSE" : "TRUE",
                  pDevice->IsRemoved() ? "TRUE" : "FALSE");
    }
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "========================");
    const NODE_HEADER end{NODE_KIND_END, NODE_END_SIZE};
    std::memcpy(pEntry, &end, sizeof end);
    rpBuffer = m_pLogDevobjsList;
    rdwSize = m_dwLogDevobjsListSize;
    return TRUE;
}

void CAttachedDevices::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CAttachedDevices::Serialize (storing)");
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "numDevices = %d",
                  static_cast<int>(m_DeviceObjects.GetSize()));
        m_DeviceObjects.Store(ar);
        return;
    }
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CAttachedDevices::Serialize (loading)");
    DWORD count = 0;
    ar >> count;
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "numDevices = %d", static_cast<int>(count));
    for (DWORD i = 0; i < count; ++i) {
        auto pNew = std::make_unique<CDeviceObject>(m_nSchema);
        pNew->Serialize(ar);
        CDeviceObject* pDevice = pNew.get();
        m_DeviceObjects.Add(std::move(pNew));
        // One the hash cannot take fails the load as memory does, and goes.
        if (!m_Hash.Insert(pDevice)) {
            m_DeviceObjects.RemoveAt(m_DeviceObjects.GetSize() - 1);
            AfxThrowMemoryException();
        }
    }
}

void CAttachedDevices::PostLoading(CUSBLog* pDocument) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "--CAttachedDevices::PostLoading");
    CAttachedDrivers* pDrivers = pDocument != nullptr ? pDocument->GetAttachedDrivers() : nullptr;
    for (INT_PTR i = 0; i < m_DeviceObjects.GetSize(); ++i) {
        CDeviceObject* pDevice = m_DeviceObjects[i];
        CDriverObject* pDriver = nullptr;
        if (pDrivers != nullptr && pDrivers->GetPresentClassDriverObject(pDevice->_NtDriverObject, pDriver)) {
            // Linking goes through the driver's list, so the driver can let go of the object when either
            // is deleted.
            if (!pDriver->AddDeviceObject(pDevice))
                AfxThrowMemoryException();
            continue;
        }
        // Without a present driver it stays with the driver whose list named it in the file (if any), so a
        // second save writes the same lists.
        if (pDevice->IsLoggable())
            TDL_TRACE(TRACE_WARNING, TRACE_AREA_SERIALIZE, "Failed to locate CDriverObject for PDRIVER_OBJECT=0x%p\n",
                      reinterpret_cast<void*>(static_cast<uintptr_t>(pDevice->_NtDriverObject)));
    }
}
