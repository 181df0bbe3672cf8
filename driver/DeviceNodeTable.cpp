// The device-object table (device object -> node).
//
// Locks: the table's spin lock alone. Node references are dropped after the lock is released, since the last
// one frees the node.
#include "driver/DeviceNodeTable.h"

#include "driver/DeviceNode.h"
#include "driver/Pool.h"

namespace {

ULONG BucketOf(PDEVICE_OBJECT key) {
    return HandleTableBucket(reinterpret_cast<ULONG_PTR>(key));
}

// Puts a chain of unlinked entries on the free list and drops their nodes' references.
VOID EntriesRecycle(PDEVICE_NODE_TABLE table, PDEVICE_NODE_TABLE_ENTRY chain) {
    PDEVICE_NODE_TABLE_ENTRY last = nullptr;
    for (PDEVICE_NODE_TABLE_ENTRY entry = chain; entry != nullptr; entry = entry->Next) {
        DeviceNodeRelease(entry->Node);
        entry->Node = nullptr;
        entry->Key = nullptr;
        last = entry;
    }
    if (last == nullptr) {
        return;
    }
    const KIRQL irql = KeAcquireSpinLockRaiseToDpc(&table->Lock);
    last->Next = table->FreeList;
    table->FreeList = chain;
    KeReleaseSpinLock(&table->Lock, irql);
}

} // namespace

VOID DeviceNodeTableInitialize(PDEVICE_NODE_TABLE Table) {
    RtlZeroMemory(Table, sizeof *Table);
    KeInitializeSpinLock(&Table->Lock);
}

PDEVOBJ_NODE DeviceNodeTableLookup(PDEVICE_NODE_TABLE Table, PDEVICE_OBJECT DeviceObject) {
    PDEVOBJ_NODE node = nullptr;
    const KIRQL irql = KeAcquireSpinLockRaiseToDpc(&Table->Lock);
    for (PDEVICE_NODE_TABLE_ENTRY entry = Table->Buckets[BucketOf(DeviceObject)]; entry != nullptr;
         entry = entry->Next) {
        if (entry->Key == DeviceObject) {
            node = entry->Node;
            DeviceNodeReference(node); // the entry's own reference keeps it alive meanwhile
            break;
        }
    }
    KeReleaseSpinLock(&Table->Lock, irql);
    return node;
}

BOOLEAN DeviceNodeTableInsert(PDEVICE_NODE_TABLE Table, PDEVICE_OBJECT DeviceObject, PDEVOBJ_NODE Node) {
    KIRQL irql = KeAcquireSpinLockRaiseToDpc(&Table->Lock);
    PDEVICE_NODE_TABLE_ENTRY entry = Table->FreeList;
    if (entry != nullptr) {
        Table->FreeList = entry->Next;
    }
    KeReleaseSpinLock(&Table->Lock, irql);
    if (entry == nullptr) {
        entry = static_cast<PDEVICE_NODE_TABLE_ENTRY>(DriverAllocate(sizeof *entry));
        if (entry == nullptr) {
            return FALSE;
        }
    }
    DeviceNodeReference(Node);
    entry->Key = DeviceObject;
    entry->Node = Node;

    const ULONG bucket = BucketOf(DeviceObject);
    irql = KeAcquireSpinLockRaiseToDpc(&Table->Lock);
    entry->Next = Table->Buckets[bucket];
    Table->Buckets[bucket] = entry;
    ++Table->Count;
    KeReleaseSpinLock(&Table->Lock, irql);
    return TRUE;
}

VOID DeviceNodeTableRemove(PDEVICE_NODE_TABLE Table, PDEVICE_OBJECT DeviceObject, PDEVOBJ_NODE Node) {
    PDEVICE_NODE_TABLE_ENTRY removed = nullptr;
    const KIRQL irql = KeAcquireSpinLockRaiseToDpc(&Table->Lock);
    PDEVICE_NODE_TABLE_ENTRY* link = &Table->Buckets[BucketOf(DeviceObject)];
    while (*link != nullptr) {
        PDEVICE_NODE_TABLE_ENTRY entry = *link;
        if (entry->Key == DeviceObject && entry->Node == Node) {
            *link = entry->Next;
            entry->Next = removed;
            removed = entry;
            --Table->Count;
        } else {
            link = &entry->Next;
        }
    }
    KeReleaseSpinLock(&Table->Lock, irql);
    EntriesRecycle(Table, removed);
}

VOID DeviceNodeTableFree(PDEVICE_NODE_TABLE Table) {
    PDEVICE_NODE_TABLE_ENTRY chain = nullptr;
    KIRQL irql = KeAcquireSpinLockRaiseToDpc(&Table->Lock);
    for (PDEVICE_NODE_TABLE_ENTRY& head : Table->Buckets) {
        while (head != nullptr) {
            PDEVICE_NODE_TABLE_ENTRY entry = head;
            head = entry->Next;
            entry->Next = chain;
            chain = entry;
        }
    }
    Table->Count = 0;
    KeReleaseSpinLock(&Table->Lock, irql);
    EntriesRecycle(Table, chain);

    irql = KeAcquireSpinLockRaiseToDpc(&Table->Lock);
    PDEVICE_NODE_TABLE_ENTRY freeList = Table->FreeList;
    Table->FreeList = nullptr;
    KeReleaseSpinLock(&Table->Lock, irql);
    while (freeList != nullptr) {
        PDEVICE_NODE_TABLE_ENTRY next = freeList->Next;
        DriverFree(freeList);
        freeList = next;
    }
}
