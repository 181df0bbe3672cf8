// What the parts of the device-stack tree share among themselves (DeviceStackTree.cpp, StackTreeIdentity.cpp,
// StackTreeRefresh.cpp); nothing outside the tree uses this header.
//
// Removal batches: marking nodes and stacks removed happens under the stack-list lock, but what follows a
// marking ("vedR" and "ktsR" in the change log, device-object table and handle-table removals) takes locks
// that are taken alone. So the marking links the node or stack (with a reference) into a batch on the
// caller's stack frame, and the caller flushes the batch once it has released the tree's locks.
#pragma once

#include "driver/stacktree/DeviceStackTree.h"

typedef struct _REMOVAL_BATCH {
    LIST_ENTRY Nodes;  // DEVOBJ_NODE.BatchLinks
    LIST_ENTRY Stacks; // DEVICE_STACK.BatchLinks
} REMOVAL_BATCH, *PREMOVAL_BATCH;

inline VOID RemovalBatchInitialize(PREMOVAL_BATCH Batch) {
    InitializeListHead(&Batch->Nodes);
    InitializeListHead(&Batch->Stacks);
}

// Under the stack-list lock: marks the node removed (0x4, removal time). FALSE when it was already.
BOOLEAN NodeMarkRemovedLocked(PDEVOBJ_NODE Node, PREMOVAL_BATCH Batch);
// Under the stack-list lock: marks the stack removed (removal time the first time). FALSE when it was.
BOOLEAN StackMarkRemovedLocked(PDEVICE_STACK Stack, PREMOVAL_BATCH Batch);
// Under the stack-list lock: RemoveStackTree's marking.
VOID RemoveStackTreeLocked(PDEVICE_STACK Stack, PREMOVAL_BATCH Batch);
// With none of the tree's locks held: the table removals and change-log records of the batch.
VOID RemovalBatchFlush(PREMOVAL_BATCH Batch);

// Performance counter now.
ULONG64 TreeNow(VOID);

// The tree's optional events in the event ring are switched on.
inline BOOLEAN TreeTraced(VOID) {
    return MemlogWants(MEMLOG_FLAG_TREE);
}

// The Plug and Play properties of the stack's physical device object that are not held yet, then the
// complete flag. PASSIVE_LEVEL.
VOID StackFetchProperties(PDEVICE_STACK Stack);

// An ANSI copy of a UTF-16 text (up to its NUL or MaxChars characters) in a pool buffer of its own; null
// without memory.
PCHAR TreeAnsiCopy(PCWSTR Text, ULONG MaxChars);

// The stack's node for Device that is not marked removed, not referenced; null when none. The caller holds
// the stack-list lock or the stack's device-list lock.
PDEVOBJ_NODE StackPresentNodeLocked(const DEVICE_STACK* Stack, PDEVICE_OBJECT Device);

// Under the stack-list lock: whether the stack holds a node, not marked removed, for its physical device
// object (normally its first node; a refresh may have dropped that one while the stack stayed).
inline BOOLEAN StackPhysicalPresentLocked(const DEVICE_STACK* Stack) {
    return StackPresentNodeLocked(Stack, Stack->PhysicalDeviceObject) != nullptr;
}
