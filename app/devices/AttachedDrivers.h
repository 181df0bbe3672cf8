// CAttachedDrivers: the capture document's driver objects, indexed by kernel address. Each array entry holds
// one reference; a driver object deletes itself with its last reference. Its control device (the CDevice
// base) serves the node-list query.
//
// Threads: every change of the array, the hash and the reference counts, and the referenced lookup, happen
// under m_Lock.
#pragma once

#include "afx.h"
#include "afxmt.h"
#include "afxtempl.h"
#include "app/core/Device.h"
#include "app/devices/DeviceViews.h"
#include "app/devices/ObjectHash.h"
#include "common/NodeEntries.h"

class CAttachedDevices;
class CDriverObject;

class CAttachedDrivers : public CDevice {
    DECLARE_SERIAL(CAttachedDrivers)
public:
    // Each throws the framework's memory exception when its critical section cannot be made.
    CAttachedDrivers();
    explicit CAttachedDrivers(UINT nSchema);
    explicit CAttachedDrivers(LPCSTR lpszDeviceName);
    ~CAttachedDrivers() override;

    // The driver objects and their device objects, from the driver; none yet, and the query succeeds.
    BOOL QueryDriversAndDevices(CAttachedDevices* pDevices);

    BOOL GetPresentClassDriverObject(ULONG64 ntDriverObject, CDriverObject*& rpDriver);
    // The present driver's name; rText stays as it was when there is none.
    void GetDriverName(ULONG64 ntDriverObject, CString& rText);
    // The present driver with one more reference, or null; each needs its ReleaseDriverObject.
    CDriverObject* GetReferencedDriverObject(ULONG64 ntDriverObject);
    // One reference less; the last one deletes the object.
    void ReleaseDriverObject(CDriverObject* pDriver);
    // Into the array and the hash with the array's reference; FALSE (nothing counted) when memory is short.
    BOOL AddDriverObject(CDriverObject* pDriver);
    // With a node: a new driver object from it; without: pExisting. Then AddDriverObject. rpDriver is null
    // when nothing was added.
    BOOL AddNewDriver(const DRIVER_NODE* pNode, CDriverObject* pExisting, BOOL bListed, CDriverObject*& rpDriver);
    // Takes the node's address, flags and times and marks the object listed; keeps a name it already has.
    void UpdateDriver(const DRIVER_NODE& node, CDriverObject* pDriver);
    BOOL AddOrUpdateDriver(const DRIVER_NODE& node, CDriverObject*& rpDriver);
    // Out of the array and the hash, with the array's reference released. An index outside the array throws
    // CInvalidArgException*.
    void RemoveDriver(INT_PTR nIndex);

    INT_PTR GetCount() const { return m_DriverObjects.GetSize(); }
    CDriverObject* GetAt(INT_PTR nIndex) const { return m_DriverObjects.GetAt(nIndex); }

    // The listed drivers under the root, each with its device objects.
    void FillDriversTab(IDriversTab& tab, HTREEITEM hRoot);

    void Serialize(CArchive& ar) override;

private:
    CTypedPtrArray<CPtrArray, CDriverObject*> m_DriverObjects;
    DrvobjHash m_Hash;
    CCriticalSection m_Lock;
    UINT m_nSchema = 12;
};
