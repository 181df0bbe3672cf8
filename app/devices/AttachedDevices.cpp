#include "app/devices/AttachedDevices.h"

#include <utility>

#include "app/core/Trace.h"
#include "app/core/USBLog.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"
#include "app/devices/NodeText.h"
#include "app/devices/TempObject.h"

IMPLEMENT_SERIAL(CAttachedDevices, CObject, 1)

CAttachedDevices::CAttachedDevices() : m_list(DEVICE_NODE_SIZE, 0) {
    // The end entry: kind 0, length 4, in a slot of a device entry's size as the driver reads it.
    m_list[2] = static_cast<BYTE>(NODE_END_SIZE);
}

CAttachedDevices::CAttachedDevices(UINT nSchema) : CAttachedDevices() {
    m_nSchema = nSchema;
}

CAttachedDevices::~CAttachedDevices() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES, "CAttachedDevices dtor");
    while (m_DeviceObjects.GetSize() > 0) {
        CDeviceObject* pDevice = m_DeviceObjects[0];
        m_DeviceObjects.RemoveAt(0);
        TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICES, "--- delete CDeviceObject = 0x%p, PDEVICE_OBJECT=%I64x", pDevice,
                  pDevice->_NtDeviceObject);
        delete pDevice;
    }
}

BOOL CAttachedDevices::AddDeviceObject(const DEVICE_NODE& node, CDeviceObject*& rpDevice) {
    rpDevice = nullptr;
    CDeviceObject* pDevice = nullptr;
    try {
        pDevice = new CDeviceObject(node);
        m_DeviceObjects.Add(pDevice);
    } catch (CMemoryException* e) {
        e->Delete();
        delete pDevice;
        return FALSE;
    }
    if (!m_Hash.Insert(pDevice)) {
        m_DeviceObjects.RemoveAt(m_DeviceObjects.GetSize() - 1);
        delete pDevice;
        return FALSE;
    }
    TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICES, "** new CDeviceObject=0x%p", pDevice);
    TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICES, "** for PDEVICE_OBJECT=0x%p, Name=%s",
              reinterpret_cast<void*>(static_cast<uintptr_t>(pDevice->_NtDeviceObject)), pDevice->_DeviceName.GetString());
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
        if (!pDevice->IsSelectable())
            pDevice->m_nStateImage = CHECKSTATE_UNCHECKABLE;
    }
    return TRUE;
}

void CAttachedDevices::SetDevobjStack(CDeviceObject* pDevice, const DEVICE_NODE& node, CDeviceStack* pStack) {
    pDevice->_DevStack = pStack;
    pDevice->_StackID = node.StackID;
}

BOOL CAttachedDevices::RemoveDeviceObject(CDeviceObject* pDevice) {
    for (INT_PTR i = 0; i < m_DeviceObjects.GetSize(); ++i) {
        if (m_DeviceObjects[i] == pDevice) {
            m_DeviceObjects.RemoveAt(i);
            m_Hash.Remove(pDevice);
            return TRUE;
        }
    }
    return FALSE;
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

BOOL CAttachedDevices::CreateLogDevobjsList(BYTE*& rpBuffer, DWORD& rdwSize, bool /*bClearSelection*/) {
    rpBuffer = nullptr;
    rdwSize = 0;
    if (m_outcome == ListOutcome::Refused)
        return FALSE;
    if (m_outcome == ListOutcome::OutOfMemory)
        AfxThrowMemoryException();
    m_handedOut = m_list;
    rpBuffer = m_handedOut.data();
    rdwSize = static_cast<DWORD>(m_handedOut.size());
    return TRUE;
}

void CAttachedDevices::SetLogDevobjsList(std::vector<BYTE> list, ListOutcome outcome) {
    m_list = std::move(list);
    m_outcome = outcome;
}

void CAttachedDevices::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CAttachedDevices::Serialize (storing)");
        auto count = static_cast<DWORD>(m_DeviceObjects.GetSize());
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "numDevices = %d", static_cast<int>(count));
        ar << count;
        for (DWORD i = 0; i < count; ++i)
            m_DeviceObjects[i]->Serialize(ar);
        return;
    }
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CAttachedDevices::Serialize (loading)");
    DWORD count = 0;
    ar >> count;
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "numDevices = %d", static_cast<int>(count));
    for (DWORD i = 0; i < count; ++i) {
        auto* pDevice = new CDeviceObject(m_nSchema);
        try {
            pDevice->Serialize(ar);
            m_DeviceObjects.Add(pDevice);
        } catch (...) {
            delete pDevice;
            throw;
        }
        if (!m_Hash.Insert(pDevice)) {
            m_DeviceObjects.RemoveAt(m_DeviceObjects.GetSize() - 1);
            delete pDevice;
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
