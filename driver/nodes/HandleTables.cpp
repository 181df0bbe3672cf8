// The device-handle table and the pipe table (HandleTables.h).
//
// Locks: each table's spin lock, taken alone. Stack references held by device-handle entries are dropped
// after the lock is released, since the last one frees the stack.
#include "driver/nodes/HandleTables.h"

#include "driver/nodes/ChainedTable.h"
#include "driver/stacktree/DescriptorCache.h"
#include "driver/stacktree/DeviceStackTree.h"

namespace {

typedef struct _HANDLE_ENTRY {
    struct _HANDLE_ENTRY* Next;
    ULONG64 Key;
    PDEVICE_STACK Stack;         // device-handle table: referenced; pipe table: not referenced
    PINTERFACE_RECORD Interface; // pipe table only
    ULONG PipeIndex;             // pipe table only
} HANDLE_ENTRY, *PHANDLE_ENTRY;

typedef CHAINED_TABLE<HANDLE_ENTRY> HANDLE_TABLE, *PHANDLE_TABLE;

// Zero is a valid empty table (the spin lock free); HandleTablesFree returns both to that state.
HANDLE_TABLE g_DeviceHandleTable;
HANDLE_TABLE g_PipeTable;

// Empties the table and frees every entry, dropping the stack references of a device-handle table's entries.
VOID TableFree(PHANDLE_TABLE table, BOOLEAN releaseStacks) {
    PHANDLE_ENTRY entries;
    PHANDLE_ENTRY freeList;
    const KIRQL irql = ChainedTableLock(table);
    ChainedTableEmptyLocked(table, &entries, &freeList);
    ChainedTableUnlock(table, irql);
    for (PHANDLE_ENTRY entry = entries; releaseStacks && entry != nullptr; entry = entry->Next) {
        StackRelease(entry->Stack);
    }
    ChainedTableFree(entries);
    ChainedTableFree(freeList);
}

} // namespace

// --- Device-handle table ---

BOOLEAN DeviceHandleTableInsert(ULONG64 Handle, PDEVICE_STACK Stack) {
    if (Handle == 0) {
        return TRUE;
    }
    PHANDLE_TABLE table = &g_DeviceHandleTable;
    PHANDLE_ENTRY entry = ChainedTableTake(table);
    if (entry == nullptr) {
        return FALSE;
    }
    entry->Key = Handle;
    entry->Stack = Stack;
    StackReference(Stack);

    const KIRQL irql = ChainedTableLock(table);
    const bool known = ChainedTableFindLocked(table, Handle, nullptr) != nullptr;
    if (known) {
        ChainedTableRecycleLocked(table, entry);
    } else {
        ChainedTableLinkLocked(table, entry);
    }
    ChainedTableUnlock(table, irql);
    if (known) {
        StackRelease(Stack);
    }
    return TRUE;
}

PDEVICE_STACK DeviceHandleTableLookup(ULONG64 Handle, PULONG Matches) {
    PHANDLE_TABLE table = &g_DeviceHandleTable;
    PDEVICE_STACK stack = nullptr;
    ULONG matches = 0;
    const KIRQL irql = ChainedTableLock(table);
    if (PHANDLE_ENTRY entry = ChainedTableFindLocked(table, Handle, &matches)) {
        stack = entry->Stack;
        StackReference(stack); // the entry's own reference keeps it alive meanwhile
    }
    ChainedTableUnlock(table, irql);
    if (Matches != nullptr) {
        *Matches = matches;
    }
    return stack;
}

VOID DeviceHandleTableRemove(ULONG64 Handle, PDEVICE_STACK Stack) {
    PHANDLE_TABLE table = &g_DeviceHandleTable;
    ULONG count = 0;
    const KIRQL irql = ChainedTableLock(table);
    PHANDLE_ENTRY removed =
        ChainedTableUnlinkLocked(table, Handle, [&](PHANDLE_ENTRY e) { return e->Key == Handle && e->Stack == Stack; });
    for (PHANDLE_ENTRY e = removed; e != nullptr; e = e->Next) {
        ++count;
    }
    ChainedTableRecycleLocked(table, removed);
    ChainedTableUnlock(table, irql);
    // Every removed entry held one reference on Stack.
    while (count-- > 0) {
        StackRelease(Stack);
    }
}

ULONG DeviceHandleTableCount(VOID) {
    return static_cast<ULONG>(g_DeviceHandleTable.Count);
}

// --- Pipe table ---

BOOLEAN PipeTableInsert(ULONG64 PipeHandle, PINTERFACE_RECORD Interface, ULONG Index, PDEVICE_STACK Stack) {
    PHANDLE_TABLE table = &g_PipeTable;
    PHANDLE_ENTRY entry = ChainedTableTake(table);
    if (entry == nullptr) {
        return FALSE;
    }
    entry->Key = PipeHandle;
    entry->Stack = Stack;
    entry->Interface = Interface;
    entry->PipeIndex = Index;
    const KIRQL irql = ChainedTableLock(table);
    ChainedTableLinkLocked(table, entry);
    ChainedTableUnlock(table, irql);
    return TRUE;
}

BOOLEAN PipeTableLookup(ULONG64 PipeHandle, PPIPE_LOOKUP Result) {
    if (PipeHandle == 0) {
        return FALSE;
    }
    PHANDLE_TABLE table = &g_PipeTable;
    ULONG matches = 0;
    const KIRQL irql = ChainedTableLock(table);
    if (PHANDLE_ENTRY e = ChainedTableFindLocked(table, PipeHandle, &matches)) {
        const USBD_INTERFACE_INFORMATION* info = &e->Interface->Info;
        Result->Pipe = info->Pipes[e->PipeIndex];
        Result->InterfaceNumber = info->InterfaceNumber;
        Result->AlternateSetting = info->AlternateSetting;
        Result->Class = info->Class;
        Result->SubClass = info->SubClass;
        Result->Protocol = info->Protocol;
        Result->StackID = e->Stack->StackID;
    }
    ChainedTableUnlock(table, irql);
    Result->Matches = matches;
    return matches != 0;
}

BOOLEAN PipeTableContains(ULONG64 PipeHandle) {
    PHANDLE_TABLE table = &g_PipeTable;
    const KIRQL irql = ChainedTableLock(table);
    const BOOLEAN found = ChainedTableFindLocked(table, PipeHandle, nullptr) != nullptr;
    ChainedTableUnlock(table, irql);
    return found;
}

VOID PipeTableRemoveInterface(const INTERFACE_RECORD* Interface) {
    PHANDLE_TABLE table = &g_PipeTable;
    for (ULONG i = 0; i < Interface->PipeCount; ++i) {
        const ULONG64 key = reinterpret_cast<ULONG_PTR>(Interface->Info.Pipes[i].PipeHandle);
        if (key == 0) {
            continue;
        }
        const KIRQL irql = ChainedTableLock(table);
        PHANDLE_ENTRY removed =
            ChainedTableUnlinkLocked(table, key, [&](PHANDLE_ENTRY e) { return e->Interface == Interface; });
        ChainedTableRecycleLocked(table, removed);
        ChainedTableUnlock(table, irql);
    }
}

ULONG PipeTableCount(VOID) {
    return static_cast<ULONG>(g_PipeTable.Count);
}

// --- Teardown ---

VOID HandleTablesFree(VOID) {
    TableFree(&g_DeviceHandleTable, TRUE);
    TableFree(&g_PipeTable, FALSE);
}
