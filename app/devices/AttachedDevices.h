// CAttachedDevices: the capture document's device objects (owned), indexed by kernel address. It answers
// which object an address meant at a time, for a stack or now, and builds the capture-selection list (the
// DEVICE_NODE list of loggable device objects) that is sent to the driver when a capture starts.
//
// Threads: the user-interface thread does everything but CreateLogDevobjsList at a capture start, which the
// capture thread calls while the user-interface thread waits for it; there is no lock.
#pragma once

#include <vector>

#include "afx.h"
#include "afxtempl.h"
#include "app/devices/ObjectHash.h"
#include "common/NodeEntries.h"

class CDeviceObject;
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
    // Takes the node's flags (state image 3 unless they make it selectable); a changed name is traced and
    // the old one kept. Stack, position, driver and times stay.
    BOOL UpdateDeviceObject(CDeviceObject* pDevice, const DEVICE_NODE& node);
    // Links the object to the stack under the node's StackID.
    void SetDevobjStack(CDeviceObject* pDevice, const DEVICE_NODE& node, CDeviceStack* pStack);
    // Out of the array and the hash, not deleted; FALSE when it was not in the array.
    BOOL RemoveDeviceObject(CDeviceObject* pDevice);

    BOOL GetPresentClassDeviceObject(ULONG64 ntDeviceObject, CDeviceObject*& rpDevice) const;
    BOOL GetClassDeviceObjectAtTime(ULONG64 ntDeviceObject, LONGLONG time, CDeviceObject*& rpDevice) const;
    BOOL GetClassDeviceObjectWithStackID(ULONG64 ntDeviceObject, USHORT stackId, CDeviceObject*& rpDevice) const;
    BOOL GetClassDeviceObject(ULONG64 ntDeviceObject, CTypedPtrList<CPtrList, _HASH_ENTRY*>& list,
                              int& nCount) const;

    INT_PTR GetCount() const { return m_DeviceObjects.GetSize(); }
    CDeviceObject* GetAt(INT_PTR nIndex) const { return m_DeviceObjects.GetAt(nIndex); }
    const ObjectHash& GetHash() const { return m_Hash; }

    // The DEVICE_NODE list of the device objects selected for capture, ended by the end entry; the buffer
    // stays the collection's (valid until the next call). FALSE when it cannot be built.
    BOOL CreateLogDevobjsList(BYTE*& rpBuffer, DWORD& rdwSize, bool bClearSelection);

    // How the next CreateLogDevobjsList ends: with the list, refused, or with the memory exception an
    // allocation that fails throws.
    enum class ListOutcome { Built, Refused, OutOfMemory };
    void SetLogDevobjsList(std::vector<BYTE> list, ListOutcome outcome = ListOutcome::Built);

    void Serialize(CArchive& ar) override;
    // Links each device object to the present driver object of its driver address.
    void PostLoading(CUSBLog* pDocument);

private:
    CTypedPtrArray<CPtrArray, CDeviceObject*> m_DeviceObjects;
    ObjectHash m_Hash;
    std::vector<BYTE> m_list;
    std::vector<BYTE> m_handedOut;
    ListOutcome m_outcome = ListOutcome::Built;
    UINT m_nSchema = 12;
};
