// CAttachedDevices: the capture document's device objects (owned), indexed by kernel address. It answers
// which object an address meant at a time, for a stack or now, and builds the capture-selection list (the
// DEVICE_NODE list of loggable device objects) that is sent to the driver when a capture starts.
//
// Threads: the user-interface thread does everything but CreateLogDevobjsList at a capture start, which the
// capture thread calls while the user-interface thread waits for it; there is no lock.
#pragma once

#include <memory>

#include "afx.h"
#include "afxtempl.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/ObjectHash.h"
#include "app/devices/OwnedArray.h"
#include "common/NodeEntries.h"

class CDeviceStack;
class CUSBLog;

class CAttachedDevices : public CObject {
    DECLARE_SERIAL(CAttachedDevices)
public:
    CAttachedDevices();
    explicit CAttachedDevices(UINT nSchema);
    ~CAttachedDevices() override;

    // A new device object from the node (no stack, no driver), in the array and the hash; FALSE when it
    // cannot be made or entered, and then the collection is as it was.
    BOOL AddDeviceObject(const DEVICE_NODE& node, CDeviceObject*& rpDevice);
    // Takes the node's flags: state image 3 unless they make it selectable, and an object that had none gets
    // the image its flags give when they do; a changed name is traced and the old one kept. Stack, position,
    // driver and times stay.
    BOOL UpdateDeviceObject(CDeviceObject* pDevice, const DEVICE_NODE& node);
    // Links the object to the stack under the node's StackID.
    void SetDevobjStack(CDeviceObject* pDevice, const DEVICE_NODE& node, CDeviceStack* pStack);
    // Out of the array and the hash, and the caller's; null when it was not in the array.
    std::unique_ptr<CDeviceObject> RemoveDeviceObject(CDeviceObject* pDevice);

    BOOL GetPresentClassDeviceObject(ULONG64 ntDeviceObject, CDeviceObject*& rpDevice) const;
    BOOL GetClassDeviceObjectAtTime(ULONG64 ntDeviceObject, LONGLONG time, CDeviceObject*& rpDevice) const;
    BOOL GetClassDeviceObjectWithStackID(ULONG64 ntDeviceObject, USHORT stackId, CDeviceObject*& rpDevice) const;
    BOOL GetClassDeviceObject(ULONG64 ntDeviceObject, CTypedPtrList<CPtrList, _HASH_ENTRY*>& list, int& nCount) const;

    INT_PTR GetCount() const { return m_DeviceObjects.GetSize(); }
    CDeviceObject* GetAt(INT_PTR nIndex) const { return m_DeviceObjects.GetAt(nIndex); }
    const ObjectHash& GetHash() const { return m_Hash; }

    // The DEVICE_NODE list of every loggable device object (removed ones too) in array order, ended by the
    // end entry in a slot of an entry's size; the buffer is zeroed first, so no stale byte reaches the
    // driver. Each listed object's capture flag follows its selection first (with bClearSelection every
    // object is deselected). The buffer stays the collection's until the next call; FALSE when it cannot
    // be allocated.
    BOOL CreateLogDevobjsList(BYTE*& rpBuffer, DWORD& rdwSize, bool bClearSelection);

    void Serialize(CArchive& ar) override;
    // Links each device object to the present driver object of its driver address.
    void PostLoading(CUSBLog* pDocument);

private:
    COwnedArray<CDeviceObject> m_DeviceObjects;
    ObjectHash m_Hash;
    BYTE* m_pLogDevobjsList = nullptr;
    DWORD m_dwLogDevobjsListSize = 0;
    UINT m_nSchema = 12;
};
