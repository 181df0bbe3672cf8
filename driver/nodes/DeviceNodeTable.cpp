// The device-object table (device object -> node).
//
// Locks: the table's spin lock alone. Node references are dropped after the lock is released, since the last
// one frees the node.
#include "driver/nodes/DeviceNodeTable.h"

#include "driver/nodes/DeviceNode.h"

namespace {

// Drops the node references of a chain of unlinked entries.
VOID EntriesRelease(PDEVICE_NODE_TABLE_ENTRY chain) {
    for (PDEVICE_NODE_TABLE_ENTRY entry = chain; entry != nullptr; entry = entry->Next) {
        DeviceNodeRelease(entry->Node);
    }
}

} // namespace

PDEVOBJ_NODE DeviceNodeTableLookup(PDEVICE_NODE_TABLE Table, PDEVICE_OBJECT DeviceObject) {
    PDEVOBJ_NODE node = nullptr;
    const KIRQL irql = ChainedTableLock(Table);
    if (PDEVICE_NODE_TABLE_ENTRY entry = ChainedTableFindLocked(Table, DeviceObject, nullptr)) {
        node = entry->Node;
        DeviceNodeReference(node); // the entry's own reference keeps it alive meanwhile
    }
    ChainedTableUnlock(Table, irql);
    return node;
}

BOOLEAN DeviceNodeTableInsert(PDEVICE_NODE_TABLE Table, PDEVICE_OBJECT DeviceObject, PDEVOBJ_NODE Node) {
    PDEVICE_NODE_TABLE_ENTRY entry = ChainedTableTake(Table);
    if (entry == nullptr) {
        return FALSE;
    }
    DeviceNodeReference(Node);
    entry->Key = DeviceObject;
    entry->Node = Node;
    const KIRQL irql = ChainedTableLock(Table);
    ChainedTableLinkLocked(Table, entry);
    ChainedTableUnlock(Table, irql);
    return TRUE;
}

VOID DeviceNodeTableRemove(PDEVICE_NODE_TABLE Table, PDEVICE_OBJECT DeviceObject, PDEVOBJ_NODE Node) {
    KIRQL irql = ChainedTableLock(Table);
    PDEVICE_NODE_TABLE_ENTRY removed = ChainedTableUnlinkLocked(
        Table, DeviceObject, [&](PDEVICE_NODE_TABLE_ENTRY e) { return e->Key == DeviceObject && e->Node == Node; });
    ChainedTableUnlock(Table, irql);
    if (removed == nullptr) {
        return;
    }
    EntriesRelease(removed);
    irql = ChainedTableLock(Table);
    ChainedTableRecycleLocked(Table, removed);
    ChainedTableUnlock(Table, irql);
}

VOID DeviceNodeTableFree(PDEVICE_NODE_TABLE Table) {
    PDEVICE_NODE_TABLE_ENTRY entries;
    PDEVICE_NODE_TABLE_ENTRY freeList;
    const KIRQL irql = ChainedTableLock(Table);
    ChainedTableEmptyLocked(Table, &entries, &freeList);
    ChainedTableUnlock(Table, irql);
    EntriesRelease(entries);
    ChainedTableFree(entries);
    ChainedTableFree(freeList);
}
