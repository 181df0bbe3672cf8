// Device-object nodes: one per device object of a tracked device stack, holding what the driver knows of it
// (names, driver, classes, StatusFlags) and the completion contexts that request capture takes for it.
//
// Lifetime. A node is reference counted and freed only when the last reference goes:
// - the tree holds one while the node is on the driver-wide node list (g_Driver.DeviceNodeList); the
//   device-stack refresh and unload take it off and drop that reference;
// - the device-object table (DeviceNodeTable.h) holds one per entry;
// - every lookup (FindDeviceNode, FindStackByPdo, DeviceNodeFindAny) returns one, which the caller drops with
//   DeviceNodeRelease;
// - every completion context holds one until it is given back: its own, taken by DeviceNodeContextAllocate, or
//   the one its taker handed over with DeviceNodeContextAllocateWithReference;
// - the hooking code holds one per entry in a hooked driver's device-object list.
// A node holds a reference on its owning stack for its whole life, so the stack stays readable through it
// even after a refresh has taken the stack out of the tree (the node is then an orphan: StackID 0).
//
// Locks: StatusFlags, TreeState and the counts are changed with interlocked operations. Membership of a
// stack's device list changes only under the stack-list lock and that stack's device-list lock (DeviceStackTree.h);
// membership of the node list under g_Driver.DeviceNodeList.Lock, taken alone.
#pragma once

#include "ntddk.h"

#include "common/FourCC.h"
#include "common/NodeEntries.h"

struct _DEVICE_STACK;

// Tree-state bits of a node (TreeState).
constexpr LONG DEVOBJ_TREE_ON_STACK = 0x1;        // linked in its owning stack's device list
constexpr LONG DEVOBJ_TREE_ON_NODE_LIST = 0x2;    // linked in g_Driver.DeviceNodeList
constexpr LONG DEVOBJ_TREE_RETIRED = 0x4;         // taken off its stack by a refresh; leaves the node list next
constexpr LONG DEVOBJ_TREE_ORPHAN_LOGGED = 0x8;   // the system event log has had its entry for this orphan
constexpr LONG DEVOBJ_TREE_REPORT_PENDING = 0x10; // on a removal batch, waiting for its "vedR" (DeviceStackTree.cpp)

// Bytes of one completion context, and how many given-back contexts a node keeps ready before it frees them.
constexpr ULONG DEVOBJ_CONTEXT_SIZE = 128;
constexpr USHORT DEVOBJ_CONTEXT_CACHE_DEPTH = 16;

constexpr ULONG DEVOBJ_NODE_TAG = FourCC("dnod");
constexpr SIZE_T DEVOBJ_DRIVER_NAME_SIZE = 32; // at most 31 characters
constexpr SIZE_T DEVOBJ_DEVICE_NAME_SIZE = 64; // at most 63 characters

typedef struct _DEVOBJ_NODE {
    ULONG Tag;                   // "dnod"
    USHORT Position;             // in the stack, 0 for the physical device object
    struct _DEVICE_STACK* Stack; // owning stack (referenced); see DeviceNodeOwningStack
    LIST_ENTRY StackLinks;       // in Stack->Devices
    LIST_ENTRY NodeLinks;        // in g_Driver.DeviceNodeList
    LIST_ENTRY BatchLinks;       // on a removal batch, waiting for its "vedR" (DeviceStackTree.cpp)
    LIST_ENTRY GatherLinks;      // on a refresh's or unload's work list
    ULONG BottomClass;           // as classification gave it to this node; 0 when never classified
    ULONG UpperClass;
    PDEVICE_OBJECT DeviceObject;
    PDRIVER_OBJECT DriverObject;
    ULONG DeviceType;
    volatile LONG StatusFlags; // DEVOBJ_* of common/NodeEntries.h
    volatile LONG TreeState;   // DEVOBJ_TREE_*
    volatile LONG References;
    ULONG64 StartTime;                        // performance counter at creation
    volatile LONG64 RemovalTime;              // performance counter when marked removed, 0 while present
    CHAR DriverName[DEVOBJ_DRIVER_NAME_SIZE]; // without "\Driver\"
    CHAR DeviceName[DEVOBJ_DEVICE_NAME_SIZE]; // without "\Device\"; empty for an unnamed device object
    // Completion contexts: given-back ones wait on ContextCache (up to DEVOBJ_CONTEXT_CACHE_DEPTH), the rest
    // come from and go back to ContextLookaside. Only the trips to the lookaside list are counted: a context
    // taken from or given back to the cache costs no counter (DeviceNodeContextsOutstanding).
    SLIST_HEADER ContextCache;
    volatile LONG ContextsAllocated;
    volatile LONG ContextsFreed;
    PVOID Allocation; // the pool block the node lives in (aligned for the lookaside list)
    NPAGED_LOOKASIDE_LIST ContextLookaside;
} DEVOBJ_NODE, *PDEVOBJ_NODE;

// A new node for DeviceObject with one reference (the caller's), capture off (0x8), start time now, on no
// list and with no stack. Null without memory. Any IRQL up to DISPATCH_LEVEL.
PDEVOBJ_NODE DeviceNodeCreate(PDEVICE_OBJECT DeviceObject);
// Reads the node's driver object, device type, driver name and device name. PASSIVE_LEVEL.
VOID DeviceNodeQueryIdentity(PDEVOBJ_NODE Node);

inline VOID DeviceNodeReference(PDEVOBJ_NODE Node) {
    InterlockedIncrement(&Node->References);
}
// Drops a reference; the last one frees the node (its cached completion contexts and lookaside list) and
// drops its reference on its stack. Up to DISPATCH_LEVEL.
VOID DeviceNodeRelease(PDEVOBJ_NODE Node);

inline ULONG DeviceNodeFlags(const DEVOBJ_NODE* Node) {
    return static_cast<ULONG>(Node->StatusFlags);
}
inline VOID DeviceNodeSetFlags(PDEVOBJ_NODE Node, ULONG Flags) {
    InterlockedOr(&Node->StatusFlags, static_cast<LONG>(Flags));
}
inline VOID DeviceNodeClearFlags(PDEVOBJ_NODE Node, ULONG Flags) {
    InterlockedAnd(&Node->StatusFlags, ~static_cast<LONG>(Flags));
}
inline VOID DeviceNodeSetCaptureOff(PDEVOBJ_NODE Node, BOOLEAN Off) {
    if (Off) {
        DeviceNodeSetFlags(Node, DEVOBJ_CAPTURE_OFF);
    } else {
        DeviceNodeClearFlags(Node, DEVOBJ_CAPTURE_OFF);
    }
}
inline BOOLEAN DeviceNodeIsRemoved(const DEVOBJ_NODE* Node) {
    return (DeviceNodeFlags(Node) & DEVOBJ_REMOVED) != 0;
}
// Requests through this device object are recorded only when its driver is selected and hooked and its
// capture-off bit is clear (the capture log being active is the caller's test).
inline BOOLEAN DeviceNodeIsLoggable(const DEVOBJ_NODE* Node) {
    const ULONG flags = DeviceNodeFlags(Node);
    return DevobjLoggable(flags) && (flags & DEVOBJ_CAPTURE_OFF) == 0;
}

// The stack the node belongs to, or null when it has none any more (a refresh took the stack out of the tree
// first). The pointer stays valid while the caller holds a reference on the node.
inline struct _DEVICE_STACK* DeviceNodeOwningStack(const DEVOBJ_NODE* Node) {
    return (Node->TreeState & DEVOBJ_TREE_ON_STACK) != 0 ? Node->Stack : nullptr;
}

// TRUE when the node belongs to the vendor xHCI controller that request capture treats as an exception
// among host-controller stacks: upper class 102 and driver "nusb3xhc".
BOOLEAN IsNusb3Controller(const DEVOBJ_NODE* Node);

// Fills the 112-byte DEVICE_NODE entry. A node without an owning stack is written with StackID 0, and the
// first time that happens for the node an entry goes to the system event log (0x805003E9). Any IRQL up to
// DISPATCH_LEVEL; no lock of the tree is needed.
VOID FillDeviceNode(PDEVOBJ_NODE Node, PDEVICE_NODE Entry);

// Writes "vedA" or "vedR" for the node when the change log is active.
VOID DeviceNodeReport(PDEVOBJ_NODE Node, ULONG Tag);

// A 128-byte completion context for a request through this node's device object; it holds a reference on
// the node until DeviceNodeContextFree. Null without memory. Up to DISPATCH_LEVEL.
PVOID DeviceNodeContextAllocate(PDEVOBJ_NODE Node);
// The same, but the context holds a reference the caller has and hands over with it (kept by the caller when
// no context could be had); DeviceNodeContextFree drops it as it drops a context's own.
PVOID DeviceNodeContextAllocateWithReference(PDEVOBJ_NODE Node);
// Contexts taken and not given back: those allocated and not freed, less those waiting on the cache. Exact
// while no context is being taken or given back.
inline LONG DeviceNodeContextsOutstanding(PDEVOBJ_NODE Node) {
    return Node->ContextsAllocated - Node->ContextsFreed - static_cast<LONG>(ExQueryDepthSList(&Node->ContextCache));
}
VOID DeviceNodeContextFree(PDEVOBJ_NODE Node, PVOID Context);

// Any node for DeviceObject on the node list, preferring one not marked removed; referenced. Up to
// DISPATCH_LEVEL; takes the node-list lock.
PDEVOBJ_NODE DeviceNodeFindAny(PDEVICE_OBJECT DeviceObject);
