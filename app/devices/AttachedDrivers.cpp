#include "app/devices/AttachedDrivers.h"

#include <memory>

#include "app/core/diagnostics/Trace.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DriverObject.h"
#include "app/devices/NodeText.h"
#include "app/devices/TempObject.h"

IMPLEMENT_SERIAL(CAttachedDrivers, CDevice, 1)

CAttachedDrivers::CAttachedDrivers() = default;

CAttachedDrivers::CAttachedDrivers(UINT nSchema) : m_nSchema(nSchema) {}

CAttachedDrivers::CAttachedDrivers(LPCSTR lpszDeviceName) : CDevice(lpszDeviceName) {}

CAttachedDrivers::~CAttachedDrivers() {
    CSingleLock lock(&m_Lock, TRUE);
    while (m_DriverObjects.GetSize() > 0) {
        CDriverObject* pDriver = m_DriverObjects[0];
        m_DriverObjects.RemoveAt(0);
        delete pDriver; // the collection's end takes every driver, whatever references it still counts
    }
    m_Hash.RemoveAll();
}

BOOL CAttachedDrivers::GetPresentClassDriverObject(ULONG64 ntDriverObject, CDriverObject*& rpDriver) {
    CSingleLock lock(&m_Lock, TRUE);
    rpDriver = m_Hash.GetPresentClassDriverObject(ntDriverObject);
    return rpDriver != nullptr;
}

void CAttachedDrivers::GetDriverName(ULONG64 ntDriverObject, CString& rText) {
    CSingleLock lock(&m_Lock, TRUE);
    if (CDriverObject* pDriver = m_Hash.GetPresentClassDriverObject(ntDriverObject))
        rText = pDriver->m_DriverName;
}

CDriverObject* CAttachedDrivers::GetReferencedDriverObject(ULONG64 ntDriverObject) {
    CSingleLock lock(&m_Lock, TRUE);
    CDriverObject* pDriver = m_Hash.GetPresentClassDriverObject(ntDriverObject);
    if (pDriver != nullptr)
        ++pDriver->m_nRefCount;
    return pDriver;
}

void CAttachedDrivers::ReleaseDriverObject(CDriverObject* pDriver) {
    CSingleLock lock(&m_Lock, TRUE);
    // Drivers are counted, not owned by one holder: the last reference deletes.
    if (--pDriver->m_nRefCount <= 0)
        delete pDriver;
}

BOOL CAttachedDrivers::AddDriverObject(CDriverObject* pDriver) {
    CSingleLock lock(&m_Lock, TRUE);
    try {
        m_DriverObjects.Add(pDriver);
    } catch (CMemoryException* e) {
        e->Delete();
        return FALSE;
    }
    if (!m_Hash.Insert(pDriver)) {
        m_DriverObjects.RemoveAt(m_DriverObjects.GetSize() - 1);
        return FALSE;
    }
    ++pDriver->m_nRefCount;
    return TRUE;
}

BOOL CAttachedDrivers::AddNewDriver(const DRIVER_NODE* pNode, CDriverObject* pExisting, BOOL bListed,
                                    CDriverObject*& rpDriver) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS, "--CAttachedDrivers::AddNewDriver");
    rpDriver = nullptr;
    // A driver made here is this call's until the collection counts it.
    std::unique_ptr<CDriverObject> pMade;
    if (pNode != nullptr) {
        try {
            pMade = std::make_unique<CDriverObject>(*pNode, bListed);
        } catch (CMemoryException* e) {
            e->Delete();
            return FALSE;
        }
    }
    CDriverObject* pDriver = pMade != nullptr ? pMade.get() : pExisting;
    if (pDriver == nullptr)
        return FALSE;
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS, "CDriverObject* = %p, %s", pDriver,
              pDriver->m_DriverName.GetString());
    if (!AddDriverObject(pDriver))
        return FALSE;
    pMade.release();
    rpDriver = pDriver;
    return TRUE;
}

void CAttachedDrivers::UpdateDriver(const DRIVER_NODE& node, CDriverObject* pDriver) {
    CString name = NodeText(node.DriverName);
    CString current;
    GetDriverName(node.DriverObject, current);
    CSingleLock lock(&m_Lock, TRUE);
    pDriver->m_NtDriverObject = node.DriverObject;
    pDriver->m_Flags = node.DriverFlags | CDriverObject::SeenMark;
    pDriver->m_StartTime = node.HookTime;
    pDriver->m_UnloadTime = node.UnloadTime;
    pDriver->m_bListed = TRUE;
    if (pDriver->m_nStateImage == CHECKSTATE_UNCHECKABLE)
        pDriver->m_nStateImage = CHECKSTATE_UNCHECKED;
    if (current.IsEmpty()) {
        if (pDriver->m_DriverName.IsEmpty())
            pDriver->m_DriverName = name;
    } else if (current.CompareNoCase(name) != 0) {
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_DRIVERS,
                  "CAttachedDrivers::UpdateDriver: DriverObject name change: %s to %s.", current.GetString(),
                  name.GetString());
    }
}

BOOL CAttachedDrivers::AddOrUpdateDriver(const DRIVER_NODE& node, CDriverObject*& rpDriver) {
    if (CDriverObject* pFound = GetReferencedDriverObject(node.DriverObject)) {
        UpdateDriver(node, pFound);
        rpDriver = pFound;
        ReleaseDriverObject(pFound);
        return TRUE;
    }
    return AddNewDriver(&node, nullptr, TRUE, rpDriver);
}

void CAttachedDrivers::ProcessDrvobjArrival(const DRIVER_NODE& node) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_CHANGE_LOG, "--CAttachedDrivers::ProcessDrvobjArrival");
    const CString name = NodeText(node.DriverName);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_CHANGE_LOG, "Arriving PDRIVER_OBJECT=%p, DriverName='%s'",
              reinterpret_cast<void*>(static_cast<uintptr_t>(node.DriverObject)), name.GetString());
    CDriverObject* pDriver = nullptr;
    if (!AddOrUpdateDriver(node, pDriver))
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_CHANGE_LOG, "ERROR: failed to add CDriverObject for %s", name.GetString());
}

void CAttachedDrivers::ProcessDrvobjRemoval(const DRIVER_NODE& node) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_CHANGE_LOG, "--CAttachedDrivers::ProcessDrvobjRemoval");
    const CString name = NodeText(node.DriverName);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_CHANGE_LOG,
              "ProcessDrvobjRemoval: Removing PDRIVER_OBJECT=%I64x, DriverName='%s'", node.DriverObject,
              name.GetString());
    if (CDriverObject* pDriver = GetReferencedDriverObject(node.DriverObject)) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_CHANGE_LOG, "ProcessDrvobjRemoval - update CDriverObject for %s",
                  pDriver->m_DriverName.GetString());
        ReleaseDriverObject(pDriver);
    }
}

void CAttachedDrivers::RemoveDriver(INT_PTR nIndex) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS, "--CAttachedDrivers::RemoveDriver");
    CSingleLock lock(&m_Lock, TRUE);
    if (nIndex < 0 || nIndex >= m_DriverObjects.GetSize())
        AfxThrowInvalidArgException();
    CDriverObject* pDriver = m_DriverObjects[nIndex];
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS, "index=%u, CDriverObject* = %p", static_cast<UINT>(nIndex),
              pDriver);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS, "%I64x %s", pDriver->m_NtDriverObject,
              pDriver->m_DriverName.GetString());
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS,
              "NtDriverObject = %I64x found in DrvobjHash as CDriverObject* = %p", pDriver->m_NtDriverObject,
              m_Hash.GetPresentClassDriverObject(pDriver->m_NtDriverObject));
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS, "RemoveAt index=%u, CDriverObject(%p)", static_cast<UINT>(nIndex),
              pDriver);
    m_DriverObjects.RemoveAt(nIndex);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS, "Remove CDriverObject(%p) from DrvobjHash", pDriver);
    m_Hash.Remove(pDriver);
    ReleaseDriverObject(pDriver);
}

void CAttachedDrivers::FillDriversTab(IDriversTab& tab, HTREEITEM hRoot) {
    for (INT_PTR i = 0; i < m_DriverObjects.GetSize(); ++i) {
        CDriverObject* pDriver = m_DriverObjects[i];
        if (!pDriver->m_bListed)
            continue;
        CString text;
        text.Format("%s (0x%I64x)", pDriver->m_DriverName.GetString(), pDriver->m_NtDriverObject);
        pDriver->m_htiParent = hRoot;
        if (pDriver->IsRemoved()) {
            pDriver->m_htiSelf = tab.InsertItemImage10(text, hRoot, pDriver);
            tab.SetItemStateImage(pDriver->m_htiSelf, CHECKSTATE_UNCHECKABLE, text);
            continue;
        }
        pDriver->m_htiSelf = tab.InsertItemImage6(text, hRoot, pDriver);
        tab.SetItemStateImage(pDriver->m_htiSelf, pDriver->m_nStateImage, text);
        for (INT_PTR j = 0; j < pDriver->m_DeviceObjects.GetSize(); ++j) {
            CDeviceObject* pDevice = pDriver->m_DeviceObjects[j];
            CString name;
            pDevice->GetDisplayName(name, TRUE);
            pDevice->m_htiParent = pDriver->m_htiSelf;
            pDevice->m_htiSelf = pDevice->IsRemoved() ? tab.InsertItemImage9(name, pDriver->m_htiSelf, pDevice)
                                                      : tab.InsertItemImage7(name, pDriver->m_htiSelf, pDevice);
            UINT nState = !pDevice->IsRemoved() && pDevice->IsLoggable() ? pDevice->m_nStateImage
                                                                         : static_cast<UINT>(CHECKSTATE_UNCHECKABLE);
            tab.SetItemStateImage(pDevice->m_htiSelf, nState, name);
        }
        tab.ExpandItem(pDriver->m_htiSelf);
    }
    tab.ExpandItem(hRoot);
}

void CAttachedDrivers::Serialize(CArchive& ar) {
    if (ar.IsStoring()) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CAttachedDrivers::Serialize (storing)");
        auto count = static_cast<DWORD>(m_DriverObjects.GetSize());
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "numDrivers = %d", static_cast<int>(count));
        ar << count;
        for (DWORD i = 0; i < count; ++i)
            m_DriverObjects[i]->Serialize(ar);
        return;
    }
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "CAttachedDrivers::Serialize (loading)");
    DWORD count = 0;
    ar >> count;
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_SERIALIZE, "numDrivers = %d", static_cast<int>(count));
    for (DWORD i = 0; i < count; ++i) {
        auto pDriver = std::make_unique<CDriverObject>(m_nSchema);
        pDriver->Serialize(ar);
        CDriverObject* pAdded = nullptr;
        if (!AddNewDriver(nullptr, pDriver.get(), pDriver->m_bListed, pAdded))
            AfxThrowMemoryException();
        pDriver.release(); // counted by the collection from here
    }
}
