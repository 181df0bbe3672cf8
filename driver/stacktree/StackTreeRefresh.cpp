// DEVSTK_REFRESH's work on the tree, and the tree's teardown at unload.
//
// A refresh runs in four holds of the tree's locks, so that the change-log records, table updates and frees
// in between are made with none held: (1) mark removed the stacks whose physical device object's node is
// removed, and everything below them, and mark present again the others; (2) take every removed stack out
// of the tree; (3) take removed nodes off their stacks; (4) take them, and removed orphans, off the node list.
//
// Locks: the stack-list lock with a stack's child-list and device-list locks under it; the node-list lock
// alone.
#include "common/RecordTags.h"
#include "driver/core/Pool.h"
#include "driver/stacktree/StackTreeHooks.h"
#include "driver/stacktree/StackTreeInternal.h"

namespace {

#define FOR_EACH_STACK(stack)                                                                                          \
    for (PLIST_ENTRY stack##Link = g_Driver.StackList.Head.Flink; stack##Link != &g_Driver.StackList.Head;             \
         stack##Link = stack##Link->Flink)                                                                             \
        if (PDEVICE_STACK stack = CONTAINING_RECORD(stack##Link, DEVICE_STACK, Links); true)

// Under the stack-list lock: marks the stack's descendants gathered and removed.
VOID GatherSubtreeLocked(PDEVICE_STACK stack, PREMOVAL_BATCH batch) {
    for (PLIST_ENTRY link = stack->Children.Head.Flink; link != &stack->Children.Head; link = link->Flink) {
        PDEVICE_STACK child = CONTAINING_RECORD(link, DEVICE_STACK, ChildLinks);
        if (!child->Gathered) {
            child->Gathered = TRUE;
            StackMarkRemovedLocked(child, batch);
            GatherSubtreeLocked(child, batch);
        }
    }
}

// Under the stack-list lock: the stacks already Gathered, everything below them (by child lists and by
// parent links) gathered and marked removed too.
VOID GatherClosureLocked(PREMOVAL_BATCH batch) {
    FOR_EACH_STACK(stack) {
        if (stack->Gathered) {
            GatherSubtreeLocked(stack, batch);
        }
    }
    for (BOOLEAN changed = TRUE; changed;) {
        changed = FALSE;
        FOR_EACH_STACK(stack) {
            if (!stack->Gathered && stack->Parent != nullptr && stack->Parent->Gathered) {
                stack->Gathered = TRUE;
                StackMarkRemovedLocked(stack, batch);
                GatherSubtreeLocked(stack, batch);
                changed = TRUE;
            }
        }
    }
}

// Hold 1: which stacks are removed now.
VOID MarkRemovedStacks(PREMOVAL_BATCH batch) {
    const KIRQL irql = StackListLock();
    FOR_EACH_STACK(stack) {
        stack->Gathered = !StackPhysicalPresentLocked(stack);
        if (stack->Gathered) {
            StackMarkRemovedLocked(stack, batch);
        }
    }
    GatherClosureLocked(batch);
    FOR_EACH_STACK(stack) {
        if (!stack->Gathered && stack->Removed) {
            // Its physical device object is back before the stack was freed.
            stack->Removed = FALSE;
            stack->RemovalTime = 0;
        }
        stack->Gathered = FALSE;
    }
    StackListUnlock(irql);
}

// Under the stack-list lock: takes the stack out of the tree (parent's child list, stack list), leaving its
// nodes without a stack.
VOID StackDetachLocked(PDEVICE_STACK stack) {
    if (stack->ChildLinked && stack->Parent != nullptr) {
        PDEVICE_STACK parent = stack->Parent;
        KeAcquireSpinLockAtDpcLevel(&parent->Children.Lock);
        RemoveEntryList(&stack->ChildLinks);
        InterlockedDecrement(&parent->Children.Count);
        KeReleaseSpinLockFromDpcLevel(&parent->Children.Lock);
    }
    stack->ChildLinked = FALSE;
    stack->Parent = nullptr;
    // Children still linked are being detached with it; their links to this stack go.
    KeAcquireSpinLockAtDpcLevel(&stack->Children.Lock);
    while (!IsListEmpty(&stack->Children.Head)) {
        PDEVICE_STACK child = CONTAINING_RECORD(RemoveHeadList(&stack->Children.Head), DEVICE_STACK, ChildLinks);
        child->ChildLinked = FALSE;
        child->Parent = nullptr;
    }
    stack->Children.Count = 0;
    KeReleaseSpinLockFromDpcLevel(&stack->Children.Lock);

    RemoveEntryList(&stack->Links);
    InterlockedDecrement(&g_Driver.StackList.Count);
    stack->Linked = FALSE;
    stack->Detached = TRUE;

    KeAcquireSpinLockAtDpcLevel(&stack->Devices.Lock);
    while (!IsListEmpty(&stack->Devices.Head)) {
        PDEVOBJ_NODE node = CONTAINING_RECORD(RemoveHeadList(&stack->Devices.Head), DEVOBJ_NODE, StackLinks);
        InterlockedAnd(&node->TreeState, ~DEVOBJ_TREE_ON_STACK);
    }
    stack->Devices.Count = 0;
    KeReleaseSpinLockFromDpcLevel(&stack->Devices.Lock);
}

// Drops the tree's hold on detached stacks.
VOID StacksRelease(PLIST_ENTRY work) {
    while (!IsListEmpty(work)) {
        PDEVICE_STACK stack = CONTAINING_RECORD(RemoveHeadList(work), DEVICE_STACK, GatherLinks);
        StackTreeStackDetached(stack);
        StackRelease(stack); // the list's
    }
}

// Hold 2: removed stacks (and anything still below them) out of the tree.
VOID DetachRemovedStacks(PREMOVAL_BATCH batch, PLIST_ENTRY work) {
    const KIRQL irql = StackListLock();
    FOR_EACH_STACK(stack) {
        stack->Gathered = stack->Removed;
    }
    GatherClosureLocked(batch);
    for (PLIST_ENTRY link = g_Driver.StackList.Head.Flink; link != &g_Driver.StackList.Head;) {
        PDEVICE_STACK stack = CONTAINING_RECORD(link, DEVICE_STACK, Links);
        link = link->Flink;
        if (stack->Gathered) {
            stack->Gathered = FALSE;
            StackDetachLocked(stack);
            InsertTailList(work, &stack->GatherLinks);
        }
    }
    StackListUnlock(irql);
}

// Hold 3: removed nodes off the device lists of the stacks that stay.
VOID RetireRemovedNodes() {
    const KIRQL irql = StackListLock();
    FOR_EACH_STACK(stack) {
        KeAcquireSpinLockAtDpcLevel(&stack->Devices.Lock);
        for (PLIST_ENTRY link = stack->Devices.Head.Flink; link != &stack->Devices.Head;) {
            PDEVOBJ_NODE node = CONTAINING_RECORD(link, DEVOBJ_NODE, StackLinks);
            link = link->Flink;
            if (DeviceNodeIsRemoved(node)) {
                RemoveEntryList(&node->StackLinks);
                InterlockedDecrement(&stack->Devices.Count);
                InterlockedAnd(&node->TreeState, ~DEVOBJ_TREE_ON_STACK);
                InterlockedOr(&node->TreeState, DEVOBJ_TREE_RETIRED);
            }
        }
        KeReleaseSpinLockFromDpcLevel(&stack->Devices.Lock);
    }
    StackListUnlock(irql);
}

// Hold 4: nodes off the node list, each giving up the tree's reference. With `all`, every node (unload);
// otherwise the retired ones and removed ones without a stack.
VOID DropNodes(BOOLEAN all) {
    LIST_ENTRY work;
    InitializeListHead(&work);
    const KIRQL irql = KeAcquireSpinLockRaiseToDpc(&g_Driver.DeviceNodeList.Lock);
    for (PLIST_ENTRY link = g_Driver.DeviceNodeList.Head.Flink; link != &g_Driver.DeviceNodeList.Head;) {
        PDEVOBJ_NODE node = CONTAINING_RECORD(link, DEVOBJ_NODE, NodeLinks);
        link = link->Flink;
        const LONG state = node->TreeState;
        const BOOLEAN drop = all || (state & DEVOBJ_TREE_RETIRED) != 0 ||
                             (DeviceNodeIsRemoved(node) && (state & DEVOBJ_TREE_ON_STACK) == 0);
        if (drop) {
            RemoveEntryList(&node->NodeLinks);
            InterlockedDecrement(&g_Driver.DeviceNodeList.Count);
            InterlockedAnd(&node->TreeState, ~DEVOBJ_TREE_ON_NODE_LIST);
            InsertTailList(&work, &node->GatherLinks);
        }
    }
    KeReleaseSpinLock(&g_Driver.DeviceNodeList.Lock, irql);
    while (!IsListEmpty(&work)) {
        PDEVOBJ_NODE node = CONTAINING_RECORD(RemoveHeadList(&work), DEVOBJ_NODE, GatherLinks);
        DeviceNodeRelease(node);
    }
}

// The present stack with the lowest StackID above `after`, referenced; null when none.
PDEVICE_STACK NextPresentStack(ULONG after) {
    PDEVICE_STACK found = nullptr;
    const KIRQL irql = StackListLock();
    FOR_EACH_STACK(stack) {
        if (!stack->Removed && stack->StackID > after && (found == nullptr || stack->StackID < found->StackID)) {
            found = stack;
        }
    }
    if (found != nullptr) {
        StackReference(found);
    }
    StackListUnlock(irql);
    return found;
}

} // namespace

VOID RefreshStackTree(VOID) {
    PASSIVE_CODE();
    if (TreeTraced()) {
        MemlogWrite(FourCC(">Ref"), static_cast<ULONG>(g_Driver.StackList.Count),
                    static_cast<ULONG>(g_Driver.DeviceNodeList.Count));
    }
    REMOVAL_BATCH batch;
    RemovalBatchInitialize(&batch);
    MarkRemovedStacks(&batch);
    RemovalBatchFlush(&batch); // "ktsR" while the stacks are still whole

    LIST_ENTRY work;
    InitializeListHead(&work);
    DetachRemovedStacks(&batch, &work);
    RemovalBatchFlush(&batch);
    StacksRelease(&work);

    StackTreePurgeHookedDrivers();
    RetireRemovedNodes();
    DropNodes(FALSE);

    // The drivers the present stacks now select.
    for (PDEVICE_STACK stack = NextPresentStack(0); stack != nullptr;) {
        HookStackDrivers(stack);
        const ULONG last = stack->StackID;
        StackRelease(stack);
        stack = NextPresentStack(last);
    }
    if (TreeTraced()) {
        MemlogWrite(FourCC("<Ref"), static_cast<ULONG>(g_Driver.StackList.Count),
                    static_cast<ULONG>(g_Driver.DeviceNodeList.Count));
    }
}

VOID StackTreeFree(VOID) {
    LIST_ENTRY work;
    InitializeListHead(&work);
    KIRQL irql = StackListLock();
    while (!IsListEmpty(&g_Driver.StackList.Head)) {
        PDEVICE_STACK stack = CONTAINING_RECORD(g_Driver.StackList.Head.Flink, DEVICE_STACK, Links);
        StackDetachLocked(stack);
        InsertTailList(&work, &stack->GatherLinks);
    }
    StackListUnlock(irql);
    StacksRelease(&work);
    DeviceNodeTableFree(&g_Driver.DeviceNodeTable);
    DropNodes(TRUE);
}
