// CDeviceObject: the application's copy of one kernel device object that the capture driver reports (its
// DEVICE_NODE), with the links to its device stack and its driver object, which it does not own.
#pragma once

#include "afx.h"
#include "app/devices/DeviceViews.h"
#include "common/NodeEntries.h"

class CDeviceStack;
class CDriverObject;

class CDeviceObject : public CObject {
    DECLARE_SERIAL(CDeviceObject)
public:
    CDeviceObject() = default;
    explicit CDeviceObject(UINT nSchema) : m_nSchema(nSchema) {}
    // From a node: address, name, flags, position, driver address and times; no stack, no driver.
    explicit CDeviceObject(const DEVICE_NODE& node);
    ~CDeviceObject() override;

    void Serialize(CArchive& ar) override;

    BOOL IsLoggable() const { return DevobjLoggable(_StatusFlags); }
    BOOL IsRemoved() const { return (_StatusFlags & DEVOBJ_REMOVED) != 0; }
    // Loggable and not removed: only such an object can be selected for capture.
    BOOL IsSelectable() const { return IsLoggable() && !IsRemoved(); }
    // The state image the rule gives: 2 selected, 1 not selected for a selectable object, else 3.
    UINT SelectionStateImage() const;

    // The name, "noname" when it has none, with " (0x<address>)" when bWithAddress.
    void GetDisplayName(CString& rText, BOOL bWithAddress) const;
    // Shows the object's selection state on its drivers-tab item, when it has one.
    void RefreshDriversTabNode(IDriversTab& tab);

    ULONG64 _NtDeviceObject = 0;
    CString _DeviceName;
    ULONG _StatusFlags = 0;
    USHORT _StackID = 0;
    USHORT _StackPosition = 0;
    ULONG64 _NtDriverObject = 0;
    CDeviceStack* _DevStack = nullptr;
    CDriverObject* _Driver = nullptr;
    LONGLONG _StartTime = 0;
    LONGLONG _EndTime = 0;
    UINT m_nSchema = 12;
    HTREEITEM m_htiParent = nullptr;
    HTREEITEM m_htiSelf = nullptr;
    UINT m_nStateImage = 0;
};
