// CDriverObject: the application's copy of one kernel driver object the capture driver hooked (its
// DRIVER_NODE), or a placeholder for the driver of a device object whose driver was not reported. It is
// reference-counted by its holders and lists its device objects, which it does not own.
#pragma once

#include "afx.h"
#include "afxtempl.h"
#include "app/devices/DeviceViews.h"
#include "common/NodeEntries.h"

class CAttachedDevices;
class CDeviceObject;

class CDriverObject : public CObject {
    DECLARE_SERIAL(CDriverObject)
public:
    // DRIVER_NODE flags the application adds while a node list is merged.
    static constexpr ULONG SeenMark = 0x80000000;
    static constexpr ULONG SweptMark = 0x40000000;

    CDriverObject() = default;
    explicit CDriverObject(UINT nSchema) : m_nSchema(nSchema) {}
    // From a node: address, name, flags (with the seen mark) and times; state image 1 when listed, else 3.
    CDriverObject(const DRIVER_NODE& node, BOOL bListed);
    ~CDriverObject() override;

    void Serialize(CArchive& ar) override;

    BOOL IsRemoved() const { return (m_Flags & DRIVER_NODE_UNLOADED) != 0; }

    // Appends the device object to the list and makes this its driver; FALSE when the list cannot grow.
    // A device object that named another driver leaves that driver's list first.
    BOOL AddDeviceObject(CDeviceObject* pDevice);
    // Takes the device object out of the list and clears its driver; nothing when it is not listed.
    void RemoveDeviceObject(CDeviceObject* pDevice);
    // Deletes every listed device object a merge did not see (SeenMark clear): out of its stack's position
    // map, this list and pDevices first. Then clears the mark of those left.
    void RemoveUnmarkedDOs(CAttachedDevices* pDevices);

    ULONG64 m_NtDriverObject = 0;
    CString m_DriverName;
    BOOL m_bListed = FALSE;
    ULONG m_Flags = 0;
    ULONG64 m_StartTime = 0;
    ULONG64 m_UnloadTime = 0;
    LONG m_nRefCount = 0;
    UINT m_nSchema = 12;
    CTypedPtrArray<CPtrArray, CDeviceObject*> m_DeviceObjects;
    HTREEITEM m_htiParent = nullptr;
    HTREEITEM m_htiSelf = nullptr;
    UINT m_nStateImage = 0;
};
