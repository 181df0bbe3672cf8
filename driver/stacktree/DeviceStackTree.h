// The device-stack tree: the driver's picture of every USB device stack it has learnt of. One stack node per
// physical device object, with one device-object node (DeviceNode.h) per device object of the stack, the
// stack's identity from Plug and Play, its place under its parent stack, and per device object whether its
// driver is to be hooked and whether its requests are recorded.
//
// Who feeds it:
// - AddDevice: FindStackByPdo, then RewalkStack or CreateStack, then HookStackDrivers.
// - Request capture, from Plug and Play requests of hooked drivers: StackTreeBusRelations (new children of
//   hubs, controllers and composite parents), StackTreeDeviceStarted (START_DEVICE),
//   StackTreeSetDeviceId / StackTreeSetCompatibleIds (QUERY_ID),
//   StackTreeDeviceRemoved (REMOVE_DEVICE), StackLearnHubDeviceHandle (a hub's device arrived),
//   StackSetDeviceHandle (device handles seen in requests), RemoveStackTree and InvalidateChildStacks.
//   Everything that can reach PASSIVE_LEVEL-only work (names, properties, the registry) says so below;
//   capture calls it from its dispatch-return path or a work item, never from a completion routine.
// - The control requests: node lists (NodeList.h), SET_DEVOBJ_FLAGS, DEVSTK_REFRESH (RefreshStackTree).
// - Request capture finds nodes through FindDeviceNode and stacks through FindStackById; its gates read
//   DeviceNodeIsLoggable, the capture-off bit and the stack's classes.
//
// Lifetime. Stacks are reference counted: the stack list holds one while the stack is linked, each of its
// device-object nodes one, each lookup one (StackRelease). A refresh takes a removed stack out of the tree
// (Detached) and drops the list's reference; the memory goes with the last reference.
//
// Locks, in this order (all spin locks, KeAcquireSpinLockRaiseToDpc):
//   g_Driver.StackList.Lock  the stack list, every stack's links, parent/child links, flags, strings, the
//                            membership of every device list (so a node list is computed and written under it)
//     Stack->Children.Lock   one stack's child list (with the stack-list lock)
//     Stack->Devices.Lock    one stack's device-object list (with the stack-list lock to change it; alone to
//                            read it, as capture does)
//   g_Driver.DeviceNodeList.Lock, the device-object table's lock, the logs' locks: each taken alone.
// Change-log records and device-object table updates are therefore made after the tree's locks are released.
#pragma once

#include "ntddk.h"

#include "common/FourCC.h"
#include "common/NodeEntries.h"
#include "driver/core/Driver.h"
#include "driver/nodes/DeviceNode.h"
#include "driver/stacktree/Classify.h"

constexpr ULONG DEVICE_STACK_TAG = FourCC("dstk");

typedef struct _DEVICE_STACK {
    ULONG Tag;                       // "dstk"
    ULONG StackID;                   // from 1, counting; its low 16 bits (what leaves the driver) are never 0
                                     // and name no other stack in the tree
    struct _DEVICE_STACK* Parent;    // null for a stack AddDevice created
    volatile LONG64 UsbDeviceHandle; // all ones for a host controller; see StackSetDeviceHandle
    LIST_ENTRY Links;                // in g_Driver.StackList
    LOCKED_LIST Children;            // child stacks, through their ChildLinks
    LIST_ENTRY ChildLinks;           // in Parent->Children
    LOCKED_LIST Devices;             // DEVOBJ_NODE through StackLinks, bottom (position 0) first
    USHORT NextPosition;             // position of the next node added
    LIST_ENTRY BatchLinks;           // on a removal batch, waiting for its "ktsR"
    LIST_ENTRY GatherLinks;          // on a refresh's or unload's work list
    ULONG EnumeratorClass;           // ENUM_CLASS_*
    ULONG BottomClass;               // BOTTOM_CLASS_*
    ULONG UpperClass;                // UPPER_CLASS_*
    PDEVICE_OBJECT PhysicalDeviceObject;
    GUID ClassGuid;
    // ANSI strings in pool buffers of their own, null until known.
    PCHAR HardwareID; // the first hardware ID
    PCHAR ClassName;
    PCHAR EnumeratorName;
    PCHAR DriverKeyName; // "{class GUID}\0005"
    PCHAR DeviceDescription;
    PCHAR DeviceID;     // from QUERY_ID
    PCHAR CompatibleID; // the first compatible ID, from QUERY_ID
    USHORT DeviceClass; // 0 unknown, 1-255, DEVSTK_CLASS_FROM_INTERFACE, DEVSTK_CLASS_UNPARSED
    UCHAR DeviceSubClass;
    UCHAR DeviceProtocol;
    BOOLEAN Complete; // description, hardware ID, class name, enumerator, driver key and class GUID held
    BOOLEAN Removed;
    BOOLEAN Invalidated;  // the parent's last bus-relations report no longer named it
    BOOLEAN Linked;       // on the stack list (and, with a parent, in its child list)
    BOOLEAN ChildLinked;  // in a parent's child list
    BOOLEAN Detached;     // taken out of the tree by a refresh or unload; kept alive by references
    BOOLEAN Batched;      // on a removal batch, waiting for its "ktsR" and handle drop
    BOOLEAN Gathered;     // on a refresh's work list
    ULONG64 CreationTime; // performance counter
    ULONG64 RemovalTime;  // performance counter, 0 while present
    volatile LONG References;
    // Caches of what the USB traffic told (filled and dropped by the descriptor and handle-table code).
    PVOID DeviceDescriptor;
    PVOID HubDescriptor;
    PVOID ConfigDescriptor;
    volatile LONG ConfigurationValue; // ConfigDescriptor's bConfigurationValue, 0 without one
    PVOID ConfigurationHandle;
    LOCKED_LIST Interfaces;
    UCHAR BosDescriptorSeen;
} DEVICE_STACK, *PDEVICE_STACK;

// --- References ---

inline VOID StackReference(PDEVICE_STACK Stack) {
    InterlockedIncrement(&Stack->References);
}
// Drops a reference; the last one frees the stack with its strings and caches. Up to DISPATCH_LEVEL.
VOID StackRelease(PDEVICE_STACK Stack);

// --- Lookups (each result referenced) ---

// The first stack not marked removed holding a node, not marked removed, for DeviceObject (any device object
// of the stack, not only the physical one). TRUE with both referenced; the caller releases both.
BOOLEAN FindStackByPdo(PDEVICE_OBJECT DeviceObject, PDEVICE_STACK* Stack, PDEVOBJ_NODE* Node);
// The first stack with this StackID as the node lists give it (its low 16 bits), removed or not; null when
// none.
PDEVICE_STACK FindStackById(ULONG StackID);
// The node of DeviceObject through the device-object table; on a miss, with SearchTree, the present node of
// a present stack, which then enters the table. Null when there is none. Up to DISPATCH_LEVEL.
PDEVOBJ_NODE FindDeviceNode(PDEVICE_OBJECT DeviceObject, BOOLEAN SearchTree);

// --- Building the tree (PASSIVE_LEVEL) ---

// Creates the stack of PhysicalDeviceObject with a node for it and for every device object attached above
// it, classifies and marks them, links the stack (under Parent when given) and reports its arrival.
// FromAddDevice: the Plug and Play properties are fetched. Returns the stack referenced, or null without
// memory (nothing is tracked then).
PDEVICE_STACK CreateStack(PDEVICE_OBJECT PhysicalDeviceObject, BOOLEAN FromAddDevice, PDEVICE_STACK Parent);
// Walks the chain of PhysicalDeviceObject again: adds nodes for device objects new to the stack, classifies
// the known ones again (deciding on hooking those not yet marked), and marks removed the nodes whose device
// objects have left the chain.
VOID RewalkStack(PDEVICE_STACK Stack, PDEVICE_OBJECT PhysicalDeviceObject, BOOLEAN FromAddDevice);
// What AddDevice does with a new physical device object: re-walk its stack when one is known (and report
// the stack's arrival), else create one; host-controller stacks take the all-ones device handle; then the
// drivers of its marked device objects are hooked.
VOID StackTreeAddDevice(PDEVICE_OBJECT PhysicalDeviceObject);

// DeviceObject has started (Plug and Play START_DEVICE completed): its stack is walked again, so that device
// objects whose drivers sign their extensions only when they start are classified, decided on and hooked;
// host-controller and hub-port device handles are learnt. A stack still without its Plug and Play
// properties (one AddDevice never saw) reads them from its started physical device object, and reports its
// arrival once it has them all. The started device object's own arrival ("vedA") is reported again, known
// or not, with what the walk made of it.
VOID StackTreeDeviceStarted(PDEVICE_OBJECT DeviceObject);
// A bus-relations report of DeviceObject (a hub, controller or composite parent): each child physical
// device object gets its stack under DeviceObject's stack (created when unknown, linked when known); the
// parent's children not named are invalidated. Unknown parents change nothing.
VOID StackTreeBusRelations(PDEVICE_OBJECT DeviceObject, ULONG Count, const PDEVICE_OBJECT* Children);
// The device ID of the stack's device arrived (UTF-16): kept, root hubs recognised by it, the enumerator
// name and class taken from it, and a stack of the excluded device loses every hook mark.
VOID StackTreeSetDeviceId(PDEVICE_STACK Stack, PCWSTR DeviceId);
// The compatible IDs (a UTF-16 multi-string) arrived: the first is kept and parsed for the device class.
VOID StackTreeSetCompatibleIds(PDEVICE_STACK Stack, PCWSTR CompatibleIds);

// --- Hooking ---

// HookNodeDriver for every present node of the stack, the device-list lock released around each hook.
VOID HookStackDrivers(PDEVICE_STACK Stack);
// When the node is marked for hooking (0x10) and not hooked (0x1): hooks its driver and, when that
// succeeded, sets 0x1 and enters the node in the driver's device list.
VOID HookNodeDriver(PDEVOBJ_NODE Node);

// --- Device handles ---

// Gives the stack a USB device handle: 0 changes nothing; a different handle replaces the old one (which
// leaves the device-handle table); the handle-table code is told.
VOID StackSetDeviceHandle(PDEVICE_STACK Stack, ULONG64 Handle);
inline ULONG64 StackDeviceHandle(const DEVICE_STACK* Stack) {
    return static_cast<ULONG64>(Stack->UsbDeviceHandle);
}
// A stack of a device on a hub port without a handle reads it from the hub driver's extension of its
// physical device object.
VOID StackLearnHubDeviceHandle(PDEVICE_STACK Stack);

// --- Removal ---

// Marks the node removed (0x4, removal time, out of the device-object table, "vedR"). FALSE when it was
// already. Up to DISPATCH_LEVEL; takes the stack-list lock, so callers hold none of the tree's locks.
BOOLEAN DeviceNodeMarkRemoved(PDEVOBJ_NODE Node);
// REMOVE_DEVICE seen for DeviceObject: its present node is marked removed; when it is the physical device
// object of its stack, or no other present device object of the stack belongs to a hooked driver (the
// request passes on down unseen, as to a host controller's physical device object), the whole stack and the
// tree below it go (RemoveStackTree). Every device object marked removed so loses the selection saved for
// it under ActiveNodes. PASSIVE_LEVEL (registry).
VOID StackTreeDeviceRemoved(PDEVICE_OBJECT DeviceObject);
// Marks every node of the stack removed, the stack removed ("ktsR"), its device handle out of the handle
// table, and the same for every child not removed yet (invalidated ones included).
VOID RemoveStackTree(PDEVICE_STACK Stack);
// For every child neither removed nor invalidated: set its invalidated flag and do the same below it.
VOID InvalidateChildStacks(PDEVICE_STACK Stack);
// LinkChildStack: TRUE when Child was in no parent's child list and is now in Parent's.
BOOLEAN LinkChildStack(PDEVICE_STACK Parent, PDEVICE_STACK Child);

// --- Refresh and teardown ---

// The work of DEVSTK_REFRESH: stacks whose physical device object's node is removed (and everything below
// them) are marked removed ("ktsR" for each newly marked) and taken out of the tree, the hooking code purges
// its records, nodes marked removed are dropped, and the drivers now selected in present stacks are hooked.
VOID RefreshStackTree(VOID);
// Unload: every stack, node and device-object table entry freed.
VOID StackTreeFree(VOID);

// --- Reports ---

// Fills the 364-byte DEVSTK_NODE. The caller holds the stack-list lock.
VOID FillDevstkNode(const DEVICE_STACK* Stack, PDEVSTK_NODE Entry);
// "ktsA" (when the stack is complete) or "ktsR" for the stack, when the change log is active. The caller
// holds none of the tree's locks.
VOID StackReport(PDEVICE_STACK Stack, ULONG Tag);

// --- Checks for request capture and the control requests ---

// Stack-list lock helpers.
inline KIRQL StackListLock(VOID) {
    return KeAcquireSpinLockRaiseToDpc(&g_Driver.StackList.Lock);
}
inline VOID StackListUnlock(KIRQL Irql) {
    KeReleaseSpinLock(&g_Driver.StackList.Lock, Irql);
}

// The capture-off bit a node takes after classification: cleared when it is marked for hooking and
// AutoEnable is on; otherwise, during a boot capture (CaptureOnceOnBoot), the selection saved under
// ActiveNodes. PASSIVE_LEVEL (registry).
VOID DeviceNodeApplyCaptureState(PDEVOBJ_NODE Node);
// Writes the node's capture-off bit to ActiveNodes. FALSE when the stack lacks what the path needs.
// PASSIVE_LEVEL.
BOOLEAN DeviceNodeSaveCaptureState(PDEVOBJ_NODE Node);
// Deletes the node's saved value (its device object went). PASSIVE_LEVEL.
VOID DeviceNodeDeleteCaptureState(PDEVOBJ_NODE Node);
