// The device-stack tree: lookups, creation and re-walk of stacks, classification and marks of their nodes,
// child links, device handles, removal, and the stack's entry and change-log reports.
//
// Locks: the stack-list lock, then a stack's child-list or device-list lock (DeviceStackTree.h). Work that needs
// PASSIVE_LEVEL (names, properties, the registry, hooking) runs with no lock held; change-log records and
// table updates are made after the tree's locks are released (removal batches, StackTreeInternal.h).
#include "driver/stacktree/DeviceStackTree.h"

#include "common/RecordTags.h"
#include "driver/core/Pool.h"
#include "driver/log/Log.h"
#include "driver/nodes/ActiveNodes.h"
#include "driver/record/RecordChangeLog.h"
#include "driver/stacktree/StackTreeHooks.h"
#include "driver/stacktree/StackTreeInternal.h"

namespace {

constexpr ULONG64 HOST_CONTROLLER_DEVICE_HANDLE = ~0ull;
// Longest chain of device objects above a physical device object that a re-walk follows.
constexpr ULONG MAX_CHAIN = 64;
// Room for a stack's driver key name ("{class GUID}\0005") when it is copied out of the tree.
constexpr SIZE_T DRIVER_KEY_COPY_SIZE = 256;

ULONG_PTR AddressOf(const VOID* p) {
    return reinterpret_cast<ULONG_PTR>(p);
}

// StackIDs leave the driver as 16 bits (node lists, record headers, GET_DEVSTK_INFO). Once the counter has
// passed 65,535 its low 16 bits repeat, so a value is taken only when they are not 0 (the "none" of parent
// and owner fields) and name no stack in the tree; the first 65,535 are taken as they come.
ULONG StackIdTake() {
    constexpr ULONG SHOWN_IDS = 0x10000;
    ULONG id = 0;
    for (ULONG tries = 0; tries < SHOWN_IDS; ++tries) {
        id = static_cast<ULONG>(InterlockedIncrement(&g_Driver.LastStackID));
        if (id != 0 && id < SHOWN_IDS) {
            return id;
        }
        const USHORT shown = static_cast<USHORT>(id);
        if (shown == 0) {
            continue;
        }
        BOOLEAN used = FALSE;
        const KIRQL irql = StackListLock();
        for (PLIST_ENTRY link = g_Driver.StackList.Head.Flink; link != &g_Driver.StackList.Head && !used;
             link = link->Flink) {
            used = static_cast<USHORT>(CONTAINING_RECORD(link, DEVICE_STACK, Links)->StackID) == shown;
        }
        StackListUnlock(irql);
        if (!used) {
            return id;
        }
    }
    return id;
}

PDEVICE_STACK StackAllocate() {
    auto* stack = static_cast<PDEVICE_STACK>(DriverAllocate(sizeof(DEVICE_STACK)));
    if (stack == nullptr) {
        return nullptr;
    }
    stack->Tag = DEVICE_STACK_TAG;
    stack->StackID = StackIdTake();
    stack->References = 1;
    InitializeListHead(&stack->Links);
    InitializeListHead(&stack->ChildLinks);
    InitializeListHead(&stack->BatchLinks);
    InitializeListHead(&stack->GatherLinks);
    LockedListInitialize(&stack->Children);
    LockedListInitialize(&stack->Devices);
    LockedListInitialize(&stack->Interfaces);
    stack->EnumeratorClass = ENUM_CLASS_NONE;
    stack->BottomClass = BOTTOM_CLASS_NONE;
    stack->UpperClass = UPPER_CLASS_NONE;
    stack->CreationTime = TreeNow();
    return stack;
}

VOID StackFree(PDEVICE_STACK stack) {
    if (TreeTraced()) {
        MemlogWrite(FourCC("~stk"), AddressOf(stack), stack->StackID);
    }
    StackTreeStackCachesFree(stack);
    PCHAR strings[] = {stack->HardwareID,        stack->ClassName, stack->EnumeratorName, stack->DriverKeyName,
                       stack->DeviceDescription, stack->DeviceID,  stack->CompatibleID};
    for (PCHAR text : strings) {
        DriverFree(text);
    }
    DriverFree(stack);
}

// Puts a new node on the driver-wide node list; the node's creation reference becomes the tree's.
VOID NodeJoinNodeList(PDEVOBJ_NODE node) {
    const KIRQL irql = KeAcquireSpinLockRaiseToDpc(&g_Driver.DeviceNodeList.Lock);
    InsertTailList(&g_Driver.DeviceNodeList.Head, &node->NodeLinks);
    InterlockedOr(&node->TreeState, DEVOBJ_TREE_ON_NODE_LIST);
    InterlockedIncrement(&g_Driver.DeviceNodeList.Count);
    KeReleaseSpinLock(&g_Driver.DeviceNodeList.Lock, irql);
}

// Gives the node its owning stack and the stack's next position.
VOID NodeAttach(PDEVICE_STACK stack, PDEVOBJ_NODE node) {
    StackReference(stack);
    node->Stack = stack;
    const KIRQL irql = StackListLock();
    node->Position = stack->NextPosition++;
    StackListUnlock(irql);
}

// Appends the node to its stack's device list.
VOID NodeAppend(PDEVICE_STACK stack, PDEVOBJ_NODE node) {
    const KIRQL irql = StackListLock();
    KeAcquireSpinLockAtDpcLevel(&stack->Devices.Lock);
    InsertTailList(&stack->Devices.Head, &node->StackLinks);
    InterlockedOr(&node->TreeState, DEVOBJ_TREE_ON_STACK);
    InterlockedIncrement(&stack->Devices.Count);
    KeReleaseSpinLockFromDpcLevel(&stack->Devices.Lock);
    StackListUnlock(irql);
}

VOID NodeTraceCreated(PDEVOBJ_NODE node) {
    if (TreeTraced()) {
        MemlogWrite3(FourCC("+Dev"), AddressOf(node), AddressOf(node->DeviceObject),
                     static_cast<ULONG64>(node->Position) << 32 | node->BottomClass << 16 | node->UpperClass);
    }
}

VOID StackClassifyBottom(PDEVICE_STACK stack, PDEVOBJ_NODE node) {
    const ULONG bottom = ClassifyBottom(node->DeviceObject, node->DriverName, &g_Driver.Release);
    if (bottom != 0) {
        node->BottomClass = bottom;
        stack->BottomClass = bottom;
    }
}

VOID StackClassifyUpper(PDEVICE_STACK stack, PDEVOBJ_NODE node) {
    const ULONG upper = ClassifyUpper(node->DeviceObject, node->DriverName, &g_Driver.Release);
    if (upper != 0) {
        node->UpperClass = upper;
        stack->UpperClass = upper;
    }
}

BOOLEAN StackIsExcluded(const DEVICE_STACK* stack) {
    const KIRQL irql = StackListLock();
    const BOOLEAN excluded = IsExcludedDeviceId(stack->DeviceID);
    StackListUnlock(irql);
    return excluded;
}

// Marks the node for hooking when its place in the stack asks for it; the excluded device is never marked.
VOID NodeHookDecision(PDEVICE_STACK stack, PDEVOBJ_NODE node) {
    if (DeviceNodeFlags(node) & DEVOBJ_SELECTED) {
        return;
    }
    const BOOLEAN physical = node->DeviceObject == stack->PhysicalDeviceObject;
    const BOOLEAN wanted = ClassifyHookWanted(physical, stack->BottomClass, stack->UpperClass);
    if (StackIsExcluded(stack)) {
        DeviceNodeClearFlags(node, DEVOBJ_SELECTED);
    } else if (wanted) {
        DeviceNodeSetFlags(node, DEVOBJ_SELECTED);
    }
}

// Sets up a node for a device object above the physical one (it has its stack and position already).
VOID NodeSetUpAbove(PDEVICE_STACK stack, PDEVOBJ_NODE node) {
    DeviceNodeQueryIdentity(node);
    StackClassifyUpper(stack, node);
    NodeHookDecision(stack, node);
    NodeAppend(stack, node);
    HookNodeDriver(node);
    StackTreeRegisterHookedDevice(node);
    DeviceNodeApplyCaptureState(node);
    NodeTraceCreated(node);
    DeviceNodeReport(node, LogTag::vedA);
}

// Creates, attaches and sets up a node for a device object above the physical one. FALSE without memory.
BOOLEAN StackAddNodeAbove(PDEVICE_STACK stack, PDEVICE_OBJECT device) {
    PDEVOBJ_NODE node = DeviceNodeCreate(device);
    if (node == nullptr) {
        if (TreeTraced()) {
            MemlogWrite(FourCC("!Dev"), AddressOf(stack), AddressOf(device));
        }
        return FALSE;
    }
    NodeJoinNodeList(node);
    NodeAttach(stack, node);
    NodeSetUpAbove(stack, node);
    return TRUE;
}

// Under the stack-list lock: links Child into Parent's child list.
BOOLEAN LinkChildStackLocked(PDEVICE_STACK parent, PDEVICE_STACK child) {
    if (parent == child || child->ChildLinked || parent->Detached || child->Detached) {
        return FALSE;
    }
    KeAcquireSpinLockAtDpcLevel(&parent->Children.Lock);
    InsertTailList(&parent->Children.Head, &child->ChildLinks);
    InterlockedIncrement(&parent->Children.Count);
    KeReleaseSpinLockFromDpcLevel(&parent->Children.Lock);
    child->ChildLinked = TRUE;
    child->Parent = parent;
    return TRUE;
}

// The stack's node for `device` that is not marked removed, referenced; null when none.
PDEVOBJ_NODE StackFindPresentNode(PDEVICE_STACK stack, PDEVICE_OBJECT device) {
    const KIRQL irql = KeAcquireSpinLockRaiseToDpc(&stack->Devices.Lock);
    PDEVOBJ_NODE found = StackPresentNodeLocked(stack, device);
    if (found != nullptr) {
        DeviceNodeReference(found);
    }
    KeReleaseSpinLock(&stack->Devices.Lock, irql);
    return found;
}

// The stack's present node with the lowest position at or above `position`, referenced; null when none.
PDEVOBJ_NODE StackNextPresentNode(PDEVICE_STACK stack, ULONG position) {
    PDEVOBJ_NODE found = nullptr;
    const KIRQL irql = KeAcquireSpinLockRaiseToDpc(&stack->Devices.Lock);
    for (PLIST_ENTRY link = stack->Devices.Head.Flink; link != &stack->Devices.Head; link = link->Flink) {
        PDEVOBJ_NODE node = CONTAINING_RECORD(link, DEVOBJ_NODE, StackLinks);
        if (node->Position >= position && !DeviceNodeIsRemoved(node) &&
            (found == nullptr || node->Position < found->Position)) {
            found = node;
        }
    }
    if (found != nullptr) {
        DeviceNodeReference(found);
    }
    KeReleaseSpinLock(&stack->Devices.Lock, irql);
    return found;
}

// The path of the node's value under ActiveNodes, copied out of the tree.
struct ActivePathCopy {
    GUID classGuid;
    CHAR driverKey[DRIVER_KEY_COPY_SIZE];
    ACTIVE_NODE_PATH path;
};

BOOLEAN NodeActivePath(const DEVOBJ_NODE* node, ActivePathCopy* copy) {
    const PDEVICE_STACK stack = DeviceNodeOwningStack(node);
    if (stack == nullptr) {
        return FALSE;
    }
    BOOLEAN ok = FALSE;
    const KIRQL irql = StackListLock();
    if (stack->DriverKeyName != nullptr) {
        const SIZE_T length = NodeStringLength(stack->DriverKeyName, DRIVER_KEY_COPY_SIZE);
        if (length < DRIVER_KEY_COPY_SIZE) {
            RtlCopyMemory(copy->driverKey, stack->DriverKeyName, length + 1);
            copy->classGuid = stack->ClassGuid;
            ok = TRUE;
        }
    }
    StackListUnlock(irql);
    copy->path.ClassGuid = &copy->classGuid;
    copy->path.DriverKeyName = copy->driverKey;
    copy->path.Position = node->Position;
    return ok;
}

// During a boot capture: the capture-off bit saved for the node under ActiveNodes, when there is one.
VOID NodeApplySavedSelection(PDEVOBJ_NODE node) {
    if (!g_Driver.Boot.CaptureOnceOnBoot) {
        return;
    }
    ActivePathCopy copy;
    ULONG value = 0;
    if (NodeActivePath(node, &copy) && ReadActiveNode(&copy.path, &value)) {
        DeviceNodeSetCaptureOff(node, (value & DEVOBJ_CAPTURE_OFF) != 0);
    }
}

// Marks removed the stack's present nodes whose device objects are not in `chain`.
VOID StackMarkLeftChain(PDEVICE_STACK stack, const PDEVICE_OBJECT* chain, ULONG count) {
    REMOVAL_BATCH batch;
    RemovalBatchInitialize(&batch);
    const KIRQL irql = StackListLock();
    for (PLIST_ENTRY link = stack->Devices.Head.Flink; link != &stack->Devices.Head; link = link->Flink) {
        PDEVOBJ_NODE node = CONTAINING_RECORD(link, DEVOBJ_NODE, StackLinks);
        BOOLEAN inChain = FALSE;
        for (ULONG i = 0; i < count && !inChain; ++i) {
            inChain = chain[i] == node->DeviceObject;
        }
        if (!inChain) {
            NodeMarkRemovedLocked(node, &batch);
        }
    }
    StackListUnlock(irql);
    RemovalBatchFlush(&batch);
}

ULONG StackPresentNodeCount(PDEVICE_STACK stack) {
    ULONG count = 0;
    const KIRQL irql = KeAcquireSpinLockRaiseToDpc(&stack->Devices.Lock);
    for (PLIST_ENTRY link = stack->Devices.Head.Flink; link != &stack->Devices.Head; link = link->Flink) {
        if (!DeviceNodeIsRemoved(CONTAINING_RECORD(link, DEVOBJ_NODE, StackLinks))) {
            ++count;
        }
    }
    KeReleaseSpinLock(&stack->Devices.Lock, irql);
    return count;
}

VOID InvalidateChildStacksLocked(PDEVICE_STACK stack);

// Under the stack-list lock: a stack neither removed nor invalidated yet is invalidated, with everything
// below it.
VOID InvalidateStackLocked(PDEVICE_STACK stack) {
    if (!stack->Removed && !stack->Invalidated) {
        stack->Invalidated = TRUE;
        InvalidateChildStacksLocked(stack);
    }
}

VOID InvalidateChildStacksLocked(PDEVICE_STACK stack) {
    for (PLIST_ENTRY link = stack->Children.Head.Flink; link != &stack->Children.Head; link = link->Flink) {
        InvalidateStackLocked(CONTAINING_RECORD(link, DEVICE_STACK, ChildLinks));
    }
}

BOOLEAN StackIsComplete(PDEVICE_STACK stack) {
    const KIRQL irql = StackListLock();
    const BOOLEAN complete = stack->Complete;
    StackListUnlock(irql);
    return complete;
}

} // namespace

// --- Shared with the other parts of the tree ---

ULONG64 TreeNow(VOID) {
    return static_cast<ULONG64>(KeQueryPerformanceCounter(nullptr).QuadPart);
}

PDEVOBJ_NODE StackPresentNodeLocked(const DEVICE_STACK* Stack, PDEVICE_OBJECT Device) {
    for (PLIST_ENTRY link = Stack->Devices.Head.Flink; link != &Stack->Devices.Head; link = link->Flink) {
        PDEVOBJ_NODE node = CONTAINING_RECORD(link, DEVOBJ_NODE, StackLinks);
        if (node->DeviceObject == Device && !DeviceNodeIsRemoved(node)) {
            return node;
        }
    }
    return nullptr;
}

BOOLEAN NodeMarkRemovedLocked(PDEVOBJ_NODE Node, PREMOVAL_BATCH Batch) {
    if (InterlockedOr(&Node->StatusFlags, DEVOBJ_REMOVED) & DEVOBJ_REMOVED) {
        return FALSE;
    }
    InterlockedExchange64(&Node->RemovalTime, static_cast<LONG64>(TreeNow()));
    if ((InterlockedOr(&Node->TreeState, DEVOBJ_TREE_REPORT_PENDING) & DEVOBJ_TREE_REPORT_PENDING) == 0) {
        DeviceNodeReference(Node);
        InsertTailList(&Batch->Nodes, &Node->BatchLinks);
    }
    return TRUE;
}

BOOLEAN StackMarkRemovedLocked(PDEVICE_STACK Stack, PREMOVAL_BATCH Batch) {
    if (Stack->Removed) {
        return FALSE;
    }
    Stack->Removed = TRUE;
    if (Stack->RemovalTime == 0) {
        Stack->RemovalTime = TreeNow();
    }
    if (!Stack->Batched) {
        Stack->Batched = TRUE;
        StackReference(Stack);
        InsertTailList(&Batch->Stacks, &Stack->BatchLinks);
    }
    return TRUE;
}

VOID RemoveStackTreeLocked(PDEVICE_STACK Stack, PREMOVAL_BATCH Batch) {
    KeAcquireSpinLockAtDpcLevel(&Stack->Devices.Lock);
    for (PLIST_ENTRY link = Stack->Devices.Head.Flink; link != &Stack->Devices.Head; link = link->Flink) {
        NodeMarkRemovedLocked(CONTAINING_RECORD(link, DEVOBJ_NODE, StackLinks), Batch);
    }
    KeReleaseSpinLockFromDpcLevel(&Stack->Devices.Lock);
    StackMarkRemovedLocked(Stack, Batch);
    // Child lists change only under the stack-list lock, which is held: no child-list lock is needed to
    // walk them, and none is held while the walk goes down. A child its parent's last report no longer named
    // goes as well: it cannot outlive its parent, and one whose own drivers are not hooked is never seen
    // going by itself.
    for (PLIST_ENTRY link = Stack->Children.Head.Flink; link != &Stack->Children.Head; link = link->Flink) {
        PDEVICE_STACK child = CONTAINING_RECORD(link, DEVICE_STACK, ChildLinks);
        if (!child->Removed) {
            RemoveStackTreeLocked(child, Batch);
        }
    }
}

VOID RemovalBatchFlush(PREMOVAL_BATCH Batch) {
    while (!IsListEmpty(&Batch->Nodes)) {
        PDEVOBJ_NODE node = CONTAINING_RECORD(RemoveHeadList(&Batch->Nodes), DEVOBJ_NODE, BatchLinks);
        InterlockedAnd(&node->TreeState, ~DEVOBJ_TREE_REPORT_PENDING);
        if (TreeTraced()) {
            MemlogWrite(FourCC("-dev"), AddressOf(node), AddressOf(node->DeviceObject));
        }
        DeviceNodeTableRemove(&g_Driver.DeviceNodeTable, node->DeviceObject, node);
        DeviceNodeReport(node, LogTag::vedR);
        DeviceNodeRelease(node);
    }
    while (!IsListEmpty(&Batch->Stacks)) {
        PDEVICE_STACK stack = CONTAINING_RECORD(RemoveHeadList(&Batch->Stacks), DEVICE_STACK, BatchLinks);
        KIRQL irql = StackListLock();
        stack->Batched = FALSE;
        StackListUnlock(irql);
        if (TreeTraced()) {
            MemlogWrite(FourCC("-stk"), AddressOf(stack), stack->StackID);
        }
        StackTreeDeviceHandleDropped(stack);
        StackReport(stack, LogTag::ktsR);
        StackRelease(stack);
    }
}

// --- References and lookups ---

VOID StackRelease(PDEVICE_STACK Stack) {
    if (InterlockedDecrement(&Stack->References) == 0) {
        StackFree(Stack);
    }
}

BOOLEAN FindStackByPdo(PDEVICE_OBJECT DeviceObject, PDEVICE_STACK* Stack, PDEVOBJ_NODE* Node) {
    *Stack = nullptr;
    *Node = nullptr;
    const KIRQL irql = StackListLock();
    for (PLIST_ENTRY link = g_Driver.StackList.Head.Flink; link != &g_Driver.StackList.Head && *Node == nullptr;
         link = link->Flink) {
        PDEVICE_STACK stack = CONTAINING_RECORD(link, DEVICE_STACK, Links);
        if (stack->Removed) {
            continue;
        }
        KeAcquireSpinLockAtDpcLevel(&stack->Devices.Lock);
        if (PDEVOBJ_NODE node = StackPresentNodeLocked(stack, DeviceObject)) {
            DeviceNodeReference(node);
            StackReference(stack);
            *Node = node;
            *Stack = stack;
        }
        KeReleaseSpinLockFromDpcLevel(&stack->Devices.Lock);
    }
    StackListUnlock(irql);
    return *Node != nullptr;
}

PDEVICE_STACK FindStackById(ULONG StackID) {
    PDEVICE_STACK found = nullptr;
    const KIRQL irql = StackListLock();
    for (PLIST_ENTRY link = g_Driver.StackList.Head.Flink; link != &g_Driver.StackList.Head; link = link->Flink) {
        PDEVICE_STACK stack = CONTAINING_RECORD(link, DEVICE_STACK, Links);
        if (static_cast<USHORT>(stack->StackID) == static_cast<USHORT>(StackID)) {
            found = stack;
            StackReference(found);
            break;
        }
    }
    StackListUnlock(irql);
    return found;
}

PDEVOBJ_NODE FindDeviceNode(PDEVICE_OBJECT DeviceObject, BOOLEAN SearchTree) {
    PDEVOBJ_NODE node = DeviceNodeTableLookup(&g_Driver.DeviceNodeTable, DeviceObject);
    if (node != nullptr || !SearchTree) {
        return node;
    }
    PDEVICE_STACK stack;
    if (!FindStackByPdo(DeviceObject, &stack, &node)) {
        if (TreeTraced()) {
            MemlogWrite(FourCC("?Nod"), AddressOf(DeviceObject), 0);
        }
        return nullptr;
    }
    StackRelease(stack);
    DeviceNodeTableInsert(&g_Driver.DeviceNodeTable, DeviceObject, node);
    // A removal that ran between the search and the insertion has already emptied the table of this node.
    if (DeviceNodeIsRemoved(node)) {
        DeviceNodeTableRemove(&g_Driver.DeviceNodeTable, DeviceObject, node);
    }
    return node;
}

// --- Building the tree ---

PDEVICE_STACK CreateStack(PDEVICE_OBJECT PhysicalDeviceObject, BOOLEAN FromAddDevice, PDEVICE_STACK Parent) {
    PASSIVE_CODE();
    PDEVICE_STACK stack = StackAllocate();
    PDEVOBJ_NODE node = stack != nullptr ? DeviceNodeCreate(PhysicalDeviceObject) : nullptr;
    if (node == nullptr) {
        if (stack != nullptr) {
            StackRelease(stack);
        }
        if (TreeTraced()) {
            MemlogWrite(FourCC("!Stk"), AddressOf(PhysicalDeviceObject), 0);
        }
        return nullptr;
    }
    NodeJoinNodeList(node);
    NodeAttach(stack, node);

    // The physical device object.
    DeviceNodeQueryIdentity(node);
    StackTreeRegisterHookedDevice(node);
    NodeAppend(stack, node);
    stack->PhysicalDeviceObject = PhysicalDeviceObject;
    StackClassifyBottom(stack, node);
    if (FromAddDevice) {
        StackFetchProperties(stack);
    }
    NodeHookDecision(stack, node);
    DeviceNodeApplyCaptureState(node);
    NodeTraceCreated(node);
    DeviceNodeReport(node, LogTag::vedA);

    // An interface of a composite device is addressed with its parent's device handle.
    if (node->BottomClass == BOTTOM_CLASS_INTERFACE && Parent != nullptr) {
        StackSetDeviceHandle(stack, StackDeviceHandle(Parent));
    }

    for (PDEVICE_OBJECT device = PhysicalDeviceObject->AttachedDevice; device != nullptr;
         device = device->AttachedDevice) {
        if (!StackAddNodeAbove(stack, device)) {
            break;
        }
    }

    const KIRQL irql = StackListLock();
    InsertTailList(&g_Driver.StackList.Head, &stack->Links);
    InterlockedIncrement(&g_Driver.StackList.Count);
    StackReference(stack); // the list's
    stack->Linked = TRUE;
    if (Parent != nullptr) {
        LinkChildStackLocked(Parent, stack);
    }
    StackListUnlock(irql);

    if (TreeTraced()) {
        MemlogWrite3(FourCC("+Stk"), AddressOf(stack), stack->StackID,
                     static_cast<ULONG64>(stack->BottomClass) << 32 | stack->UpperClass);
    }
    StackReport(stack, LogTag::ktsA);
    return stack;
}

VOID RewalkStack(PDEVICE_STACK Stack, PDEVICE_OBJECT PhysicalDeviceObject, BOOLEAN FromAddDevice) {
    PASSIVE_CODE();
    PDEVICE_OBJECT chain[MAX_CHAIN];
    ULONG walked = 0;
    for (PDEVICE_OBJECT device = PhysicalDeviceObject; device != nullptr && walked < MAX_CHAIN;
         device = device->AttachedDevice) {
        chain[walked++] = device;
        PDEVOBJ_NODE node = StackFindPresentNode(Stack, device);
        if (node == nullptr) {
            StackAddNodeAbove(Stack, device);
            continue;
        }
        if (device == PhysicalDeviceObject) {
            if (FromAddDevice && Stack->Complete) {
                NodeApplySavedSelection(node);
                DeviceNodeRelease(node);
                continue;
            }
            StackClassifyBottom(Stack, node);
            if (FromAddDevice) {
                StackFetchProperties(Stack);
            }
            NodeHookDecision(Stack, node);
        } else {
            // A device object classified only now (its driver signed its extension late) is decided on now.
            StackClassifyUpper(Stack, node);
            NodeHookDecision(Stack, node);
        }
        DeviceNodeApplyCaptureState(node);
        DeviceNodeRelease(node);
    }
    // A device object has left the chain: its node goes, the others stay as they are.
    if (walked < StackPresentNodeCount(Stack)) {
        StackMarkLeftChain(Stack, chain, walked);
    }
}

// A host-controller stack is addressed with the all-ones device handle.
VOID StackLearnHostControllerHandle(PDEVICE_STACK stack) {
    if (stack->BottomClass == BOTTOM_CLASS_PCI &&
        (stack->UpperClass == UPPER_CLASS_HOST_CONTROLLER || stack->UpperClass == UPPER_CLASS_VENDOR_XHCI)) {
        StackSetDeviceHandle(stack, HOST_CONTROLLER_DEVICE_HANDLE);
    }
}

VOID StackTreeAddDevice(PDEVICE_OBJECT PhysicalDeviceObject) {
    PASSIVE_CODE();
    PDEVICE_STACK stack;
    PDEVOBJ_NODE node;
    if (FindStackByPdo(PhysicalDeviceObject, &stack, &node)) {
        DeviceNodeRelease(node);
        RewalkStack(stack, PhysicalDeviceObject, TRUE);
        StackReport(stack, LogTag::ktsA);
    } else {
        stack = CreateStack(PhysicalDeviceObject, TRUE, nullptr);
        if (stack == nullptr) {
            return;
        }
    }
    StackLearnHostControllerHandle(stack);
    HookStackDrivers(stack);
    StackRelease(stack);
}

VOID StackTreeDeviceStarted(PDEVICE_OBJECT DeviceObject) {
    PASSIVE_CODE();
    PDEVICE_STACK stack;
    PDEVOBJ_NODE node;
    if (!FindStackByPdo(DeviceObject, &stack, &node)) {
        return;
    }
    // A stack outside the USB setup class (a HID device's) never sees AddDevice, which reads the Plug and Play
    // properties: its device node has them by the time it starts, and its arrival is reported once it is whole.
    const BOOLEAN wasComplete = StackIsComplete(stack);
    if (!wasComplete && stack->PhysicalDeviceObject == DeviceObject) {
        StackFetchProperties(stack);
    }
    RewalkStack(stack, stack->PhysicalDeviceObject, FALSE);
    // The started object is told again with what the walk made of it; a reader takes a known object's
    // arrival as its update.
    if (!DeviceNodeIsRemoved(node)) {
        DeviceNodeReport(node, LogTag::vedA);
    }
    DeviceNodeRelease(node);
    if (!wasComplete && StackIsComplete(stack)) {
        StackReport(stack, LogTag::ktsA);
    }
    StackLearnHostControllerHandle(stack);
    StackLearnHubDeviceHandle(stack);
    HookStackDrivers(stack);
    StackRelease(stack);
}

VOID StackTreeBusRelations(PDEVICE_OBJECT DeviceObject, ULONG Count, const PDEVICE_OBJECT* Children) {
    PASSIVE_CODE();
    PDEVICE_STACK parent;
    PDEVOBJ_NODE parentNode;
    if (!FindStackByPdo(DeviceObject, &parent, &parentNode)) {
        return;
    }
    DeviceNodeRelease(parentNode);
    for (ULONG i = 0; i < Count; ++i) {
        PDEVICE_STACK child;
        PDEVOBJ_NODE childNode;
        if (FindStackByPdo(Children[i], &child, &childNode)) {
            DeviceNodeRelease(childNode);
            const KIRQL irql = StackListLock();
            LinkChildStackLocked(parent, child);
            child->Invalidated = FALSE;
            StackListUnlock(irql);
            if (child->BottomClass == BOTTOM_CLASS_INTERFACE && child->Parent == parent &&
                StackDeviceHandle(child) == 0) {
                StackSetDeviceHandle(child, StackDeviceHandle(parent));
            }
        } else {
            child = CreateStack(Children[i], FALSE, parent);
        }
        if (child != nullptr) {
            StackLearnHubDeviceHandle(child);
            // A child outside the USB class never sees AddDevice: its drivers are hooked from here.
            HookStackDrivers(child);
            StackRelease(child);
        }
    }
    // Children the report no longer names are on their way out.
    const KIRQL irql = StackListLock();
    for (PLIST_ENTRY link = parent->Children.Head.Flink; link != &parent->Children.Head; link = link->Flink) {
        PDEVICE_STACK child = CONTAINING_RECORD(link, DEVICE_STACK, ChildLinks);
        BOOLEAN named = FALSE;
        for (ULONG i = 0; i < Count && !named; ++i) {
            named = Children[i] == child->PhysicalDeviceObject;
        }
        if (!named) {
            InvalidateStackLocked(child);
        }
    }
    StackListUnlock(irql);
    StackRelease(parent);
}

BOOLEAN LinkChildStack(PDEVICE_STACK Parent, PDEVICE_STACK Child) {
    const KIRQL irql = StackListLock();
    const BOOLEAN linked = LinkChildStackLocked(Parent, Child);
    StackListUnlock(irql);
    return linked;
}

// --- Hooking ---

VOID HookStackDrivers(PDEVICE_STACK Stack) {
    PASSIVE_CODE();
    ULONG position = 0;
    while (PDEVOBJ_NODE node = StackNextPresentNode(Stack, position)) {
        HookNodeDriver(node);
        StackTreeRegisterHookedDevice(node);
        position = static_cast<ULONG>(node->Position) + 1;
        DeviceNodeRelease(node);
    }
}

VOID HookNodeDriver(PDEVOBJ_NODE Node) {
    const ULONG flags = DeviceNodeFlags(Node);
    if ((flags & DEVOBJ_SELECTED) == 0 || (flags & DEVOBJ_HOOKED) != 0) {
        return;
    }
    if (StackTreeHookDriver(Node)) {
        DeviceNodeSetFlags(Node, DEVOBJ_HOOKED);
    }
}

// --- Device handles ---

VOID StackSetDeviceHandle(PDEVICE_STACK Stack, ULONG64 Handle) {
    if (Handle == 0) {
        return;
    }
    const ULONG64 old =
        static_cast<ULONG64>(InterlockedExchange64(&Stack->UsbDeviceHandle, static_cast<LONG64>(Handle)));
    if (old != Handle) {
        StackTreeDeviceHandleChanged(Stack, old, Handle);
    }
}

VOID StackLearnHubDeviceHandle(PDEVICE_STACK Stack) {
    if (Stack->BottomClass != BOTTOM_CLASS_HUB_PORT || StackDeviceHandle(Stack) != 0) {
        return;
    }
    PDEVOBJ_NODE node = StackFindPresentNode(Stack, Stack->PhysicalDeviceObject);
    if (node == nullptr) {
        return;
    }
    StackSetDeviceHandle(Stack, ClassifyHubPortDeviceHandle(node->DeviceObject, node->DriverName, &g_Driver.Release));
    DeviceNodeRelease(node);
}

// --- Removal ---

BOOLEAN DeviceNodeMarkRemoved(PDEVOBJ_NODE Node) {
    REMOVAL_BATCH batch;
    RemovalBatchInitialize(&batch);
    const KIRQL irql = StackListLock();
    const BOOLEAN marked = NodeMarkRemovedLocked(Node, &batch);
    StackListUnlock(irql);
    RemovalBatchFlush(&batch);
    return marked;
}

namespace {

// Under the stack-list lock: whether a device object of the stack not yet marked removed belongs to a hooked
// driver. REMOVE_DEVICE passes down the whole stack to its physical device object, so the stack goes with the
// last of its device objects that this driver sees the request at. A host controller's physical device
// object belongs to the PCI driver, which is never hooked: its stack would otherwise stay present with a node
// for a device object that is gone, and a new device object at the same address would be taken for it.
BOOLEAN StackRemovalStillToBeSeenLocked(PDEVICE_STACK Stack) {
    BOOLEAN seen = FALSE;
    KeAcquireSpinLockAtDpcLevel(&Stack->Devices.Lock);
    for (PLIST_ENTRY link = Stack->Devices.Head.Flink; link != &Stack->Devices.Head && !seen; link = link->Flink) {
        const DEVOBJ_NODE* node = CONTAINING_RECORD(link, DEVOBJ_NODE, StackLinks);
        seen = !DeviceNodeIsRemoved(node) && StackTreeDriverHooked(node);
    }
    KeReleaseSpinLockFromDpcLevel(&Stack->Devices.Lock);
    return seen;
}

} // namespace

VOID StackTreeDeviceRemoved(PDEVICE_OBJECT DeviceObject) {
    PASSIVE_CODE();
    PDEVICE_STACK stack;
    PDEVOBJ_NODE node;
    if (!FindStackByPdo(DeviceObject, &stack, &node)) {
        return;
    }
    REMOVAL_BATCH batch;
    RemovalBatchInitialize(&batch);
    const KIRQL irql = StackListLock();
    NodeMarkRemovedLocked(node, &batch);
    if (DeviceObject == stack->PhysicalDeviceObject || !StackRemovalStillToBeSeenLocked(stack)) {
        RemoveStackTreeLocked(stack, &batch);
    }
    StackListUnlock(irql);
    // A boot capture's choice goes with its device object. The batch's nodes still name their stacks and
    // positions, which the values' paths are made of; the next refresh takes that away.
    for (PLIST_ENTRY link = batch.Nodes.Flink; link != &batch.Nodes; link = link->Flink) {
        DeviceNodeDeleteCaptureState(CONTAINING_RECORD(link, DEVOBJ_NODE, BatchLinks));
    }
    RemovalBatchFlush(&batch);
    DeviceNodeRelease(node);
    StackRelease(stack);
}

VOID RemoveStackTree(PDEVICE_STACK Stack) {
    REMOVAL_BATCH batch;
    RemovalBatchInitialize(&batch);
    const KIRQL irql = StackListLock();
    RemoveStackTreeLocked(Stack, &batch);
    StackListUnlock(irql);
    RemovalBatchFlush(&batch);
}

VOID InvalidateChildStacks(PDEVICE_STACK Stack) {
    const KIRQL irql = StackListLock();
    InvalidateChildStacksLocked(Stack);
    StackListUnlock(irql);
}

// --- Reports ---

VOID FillDevstkNode(const DEVICE_STACK* Stack, PDEVSTK_NODE Entry) {
    constexpr SIZE_T WHOLE = ~static_cast<SIZE_T>(0);
    DEVSTK_NODE entry;
    RtlZeroMemory(&entry, sizeof entry);
    entry.Header.Kind = NODE_KIND_DEVSTK;
    entry.Header.Length = DEVSTK_NODE_SIZE;
    entry.StackID = static_cast<USHORT>(Stack->StackID);
    entry.ParentStackID = Stack->Parent != nullptr ? static_cast<USHORT>(Stack->Parent->StackID) : 0;
    ULONG child = 0;
    for (PLIST_ENTRY link = Stack->Children.Head.Flink; link != &Stack->Children.Head && child < 8;
         link = link->Flink) {
        entry.ChildStackIDs[child++] = static_cast<USHORT>(CONTAINING_RECORD(link, DEVICE_STACK, ChildLinks)->StackID);
    }
    CopyNodeString(entry.DeviceDescription, Stack->DeviceDescription, WHOLE);
    CopyNodeString(entry.EnumeratorName, Stack->EnumeratorName, WHOLE);
    CopyNodeString(entry.ClassName, Stack->ClassName, WHOLE);
    CopyNodeString(entry.HardwareID, Stack->HardwareID, WHOLE);
    CopyNodeString(entry.DeviceID, Stack->DeviceID, WHOLE);
    CopyNodeString(entry.DriverKeyName, Stack->DriverKeyName, WHOLE);
    entry.ClassGuid = Stack->ClassGuid;
    entry.Removed = Stack->Removed ? 1 : 0;
    entry.CreationTime = Stack->CreationTime;
    entry.RemovalTime = Stack->RemovalTime;
    entry.DeviceClass = Stack->DeviceClass;
    entry.DeviceSubClass = Stack->DeviceSubClass;
    entry.DeviceProtocol = Stack->DeviceProtocol;
    entry.UsbDeviceHandle = StackDeviceHandle(Stack);
    entry.BosDescriptorSeen = Stack->BosDescriptorSeen ? 1 : 0;
    RtlCopyMemory(Entry, &entry, sizeof entry);
}

VOID StackReport(PDEVICE_STACK Stack, ULONG Tag) {
    if (g_Driver.ChangeLog == nullptr || !LogIsActive(g_Driver.ChangeLog)) {
        return;
    }
    DEVSTK_NODE entry;
    const KIRQL irql = StackListLock();
    const BOOLEAN wanted = Tag != LogTag::ktsA || Stack->Complete;
    const UCHAR state = Tag == LogTag::ktsA ? Stack->Complete : Stack->Removed;
    if (wanted) {
        FillDevstkNode(Stack, &entry);
    }
    StackListUnlock(irql);
    if (wanted) {
        ChangeLogWriteStack(g_Driver.ChangeLog, Tag, &entry, state, Stack);
    }
}

// --- Capture state ---

VOID DeviceNodeApplyCaptureState(PDEVOBJ_NODE Node) {
    PASSIVE_CODE();
    if ((DeviceNodeFlags(Node) & DEVOBJ_SELECTED) && g_Driver.AutoEnable) {
        DeviceNodeClearFlags(Node, DEVOBJ_CAPTURE_OFF);
        return;
    }
    NodeApplySavedSelection(Node);
}

BOOLEAN DeviceNodeSaveCaptureState(PDEVOBJ_NODE Node) {
    PASSIVE_CODE();
    ActivePathCopy copy;
    if (!NodeActivePath(Node, &copy)) {
        return FALSE;
    }
    return WriteActiveNode(&copy.path, DeviceNodeFlags(Node) & DEVOBJ_CAPTURE_OFF);
}

VOID DeviceNodeDeleteCaptureState(PDEVOBJ_NODE Node) {
    PASSIVE_CODE();
    ActivePathCopy copy;
    if (NodeActivePath(Node, &copy)) {
        DeleteActiveNode(&copy.path);
    }
}
