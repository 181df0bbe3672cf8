// CDeviceStack: one kernel device stack as the capture driver reports it (its DEVSTK_NODE), with its device
// objects by position in the stack (not owned; while a file is loaded, CTempObject holders of their
// addresses) and the links the topology code sets: the object that stands for the stack and its node in the
// connection tree, neither owned.
#pragma once

#include <memory>
#include <utility>
#include <vector>

#include "afx.h"
#include "afxtempl.h"
#include "app/devices/DeviceViews.h"
#include "common/NodeEntries.h"

class CDeviceObject;
class CUSBLog;
struct ConnectionElement;
namespace core {
template <class T> class tree;
}

// What a stack is in the USB topology.
enum DeviceStackType : int {
    DT_HOST_CONTROLLER = 1,
    DT_ROOT_HUB = 2,
    DT_HUB_PORT = 3,
    DT_EXTERN_HUB = 4,
    DT_GENERIC_USB = 5,
    DT_PROBLEM = 11,
    DT_SS_ROOT_HUB = 13,
    DT_SS_EXTERN_HUB = 14,
    DT_SS_GENERIC_USB = 15,
    DT_NONE = 100,
};

// The field groups UpdateStack copies.
enum DeviceStackUpdate : ULONG {
    DEVSTK_UPDATE_PARENT = 0x2,
    DEVSTK_UPDATE_CLASS = 0x4,
    DEVSTK_UPDATE_SUBCLASS = 0x8,
    DEVSTK_UPDATE_PROTOCOL = 0x10,
    DEVSTK_UPDATE_CHILDREN = 0x20,
    DEVSTK_UPDATE_DESCRIPTION = 0x40,
    DEVSTK_UPDATE_ENUMERATOR = 0x80,
    DEVSTK_UPDATE_CLASS_NAME = 0x100,
    DEVSTK_UPDATE_CLASS_GUID = 0x200,
    DEVSTK_UPDATE_HARDWARE_ID = 0x400,
    DEVSTK_UPDATE_DEVICE_ID = 0x800,
    DEVSTK_UPDATE_DRIVER_KEY = 0x1000,
    DEVSTK_UPDATE_HANDLE = 0x2000,
    DEVSTK_UPDATE_REMOVED = 0x4000,
    DEVSTK_UPDATE_BOS = 0x8000,
    DEVSTK_UPDATE_ARRIVAL = 0x10000,
    DEVSTK_UPDATE_REMOVAL_TIME = 0x20000,
    DEVSTK_UPDATE_ALL = 0x3FFFF,
    // What a removal changes: the removed mark and its time.
    DEVSTK_UPDATE_DEFAULT = 0x24001,
};

class CDeviceStack : public CObject {
    DECLARE_SERIAL(CDeviceStack)
public:
    static constexpr int MaxChildren = 8;

    CDeviceStack() = default;
    explicit CDeviceStack(UINT nSchema) : m_nSchema(nSchema) {}
    explicit CDeviceStack(const DEVSTK_NODE& node);
    // Deletes address holders a load left behind; the device objects are not the stack's.
    ~CDeviceStack() override { DeleteLoadingHolders(); }

    // A new stack from the node, or null when memory is short.
    static std::unique_ptr<CDeviceStack> NewDeviceStack(const DEVSTK_NODE& node);

    // Copies the field groups the flags name (StackID never); a removed stack then marks its device objects
    // removed.
    void UpdateStack(const DEVSTK_NODE& node, ULONG flags);
    void UpdateStackDefault(const DEVSTK_NODE& node) { UpdateStack(node, DEVSTK_UPDATE_DEFAULT); }
    // TRUE when the id is a child already or took a free slot; FALSE when all slots are taken.
    BOOL AddChildStackID(USHORT childId);
    CDeviceStack* GetParentStack(CUSBLog* pDocument) const;
    // The topology object for the device types that have one, else null.
    CObject* GetAssociatedDevice() const;

    // Capture selection over the stack's loggable device objects.
    int GetCheckState() const;
    void SetCheckState(int nState);

    // The device object at a position; null when the position is empty (or still holds a loading holder).
    CDeviceObject* GetDeviceObjectAt(USHORT position) const;
    // The device objects in increasing position.
    std::vector<std::pair<USHORT, CDeviceObject*>> DeviceObjectsByPosition() const;

    void FillStackGridList(IStackGridList& list);
    void RefreshStacksTabNode(IStacksTab& tab, HTREEITEM hItem);

    void Serialize(CArchive& ar) override;
    // Replaces each address holder by the document's device object of that address and this stack.
    void PostLoading(CUSBLog* pDocument);
    // Deletes the address holders of a load that did not reach PostLoading; their positions stay empty.
    void DeleteLoadingHolders();

    USHORT StackID = 0;
    USHORT ParentStackID = 0;
    USHORT UsbClass = 0;
    UCHAR UsbSubClass = 0;
    UCHAR UsbProtocol = 0;
    USHORT ChildStackIDs[MaxChildren] = {};
    CString Description;
    CString EnumName;
    CString ClassName;
    CString HardwareID;
    CString DeviceID;
    CString DriverKey;
    GUID ClassGuid = {};
    ULONG64 DeviceHandle = 0;
    ULONG Removed = 0;
    ULONG HasBosDescriptor = 0;
    ULONG64 ArrivalTime = 0;
    ULONG64 RemovalTime = 0;
    UINT m_nSchema = 12;
    CMap<USHORT, USHORT, CObject*, CObject*> m_DevObjMap;
    HTREEITEM m_htiParent = nullptr;
    HTREEITEM m_htiSelf = nullptr;
    int m_iDeviceType = DT_NONE;
    CObject* m_deviceNode = nullptr;
    // Set while m_DevObjMap holds address holders: between loading and PostLoading.
    bool m_bLoadingHolders = false;
    // Cleared by the connection tree when the node is destroyed; never followed by the stack itself.
    core::tree<ConnectionElement>* m_pSubtree = nullptr;
};
