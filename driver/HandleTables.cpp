// The device-handle table and the pipe table (HandleTables.h).
//
// Locks: each table's spin lock, taken alone. Stack references held by device-handle entries are dropped
// after the lock is released, since the last one frees the stack.
#include "driver/HandleTables.h"

#include <initializer_list>

#include "driver/DescriptorCache.h"
#include "driver/DeviceNodeTable.h"
#include "driver/Pool.h"
#include "driver/StackTree.h"

namespace {

typedef struct _HANDLE_ENTRY {
    struct _HANDLE_ENTRY* Next;
    ULONG64 Key;
    PDEVICE_STACK Stack;         // device-handle table: referenced; pipe table: not referenced
    PINTERFACE_RECORD Interface; // pipe table only
    ULONG PipeIndex;             // pipe table only
} HANDLE_ENTRY, *PHANDLE_ENTRY;

typedef struct _HANDLE_TABLE {
    PHANDLE_ENTRY Buckets[256];
    PHANDLE_ENTRY FreeList;
    KSPIN_LOCK Lock;
    ULONG Count;
} HANDLE_TABLE, *PHANDLE_TABLE;
static_assert(sizeof(HANDLE_TABLE{}.Buckets) / sizeof(PHANDLE_ENTRY) == DEVICE_NODE_TABLE_BUCKETS);

// Zero is a valid empty table (the spin lock free); HandleTablesFree returns both to that state.
HANDLE_TABLE g_DeviceHandleTable;
HANDLE_TABLE g_PipeTable;

KIRQL TableLock(PHANDLE_TABLE table) {
    return KeAcquireSpinLockRaiseToDpc(&table->Lock);
}
VOID TableUnlock(PHANDLE_TABLE table, KIRQL irql) {
    KeReleaseSpinLock(&table->Lock, irql);
}

// An entry from the free list, else from the pool; null without memory. Takes the table's lock briefly.
PHANDLE_ENTRY EntryTake(PHANDLE_TABLE table) {
    const KIRQL irql = TableLock(table);
    PHANDLE_ENTRY entry = table->FreeList;
    if (entry != nullptr) {
        table->FreeList = entry->Next;
    }
    TableUnlock(table, irql);
    if (entry == nullptr) {
        entry = static_cast<PHANDLE_ENTRY>(DriverAllocate(sizeof *entry));
    } else {
        entry->Next = nullptr; // it still pointed into the free list
    }
    return entry;
}

// The entry for `key` entered last, or null; *matches (when given) receives the number of entries with that
// key. The caller holds the lock.
PHANDLE_ENTRY FirstMatchLocked(PHANDLE_TABLE table, ULONG64 key, PULONG matches) {
    PHANDLE_ENTRY first = nullptr;
    ULONG count = 0;
    for (PHANDLE_ENTRY e = table->Buckets[HandleTableBucket(key)]; e != nullptr; e = e->Next) {
        if (e->Key != key) {
            continue;
        }
        if (first == nullptr) {
            first = e;
            if (matches == nullptr) {
                break;
            }
        }
        ++count;
    }
    if (matches != nullptr) {
        *matches = count;
    }
    return first;
}

// Links a filled entry at the head of its chain. The caller holds the lock.
VOID EntryLink(PHANDLE_TABLE table, PHANDLE_ENTRY entry) {
    PHANDLE_ENTRY* bucket = &table->Buckets[HandleTableBucket(entry->Key)];
    entry->Next = *bucket;
    *bucket = entry;
    ++table->Count;
}

// Moves a chain of unlinked entries to the free list. The caller holds the lock.
VOID EntriesRecycleLocked(PHANDLE_TABLE table, PHANDLE_ENTRY chain) {
    while (chain != nullptr) {
        PHANDLE_ENTRY next = chain->Next;
        chain->Key = 0;
        chain->Stack = nullptr;
        chain->Interface = nullptr;
        chain->Next = table->FreeList;
        table->FreeList = chain;
        chain = next;
    }
}

// Unlinks every entry `match` accepts and returns them as a chain. The caller holds the lock.
template <typename Match> PHANDLE_ENTRY EntriesUnlinkLocked(PHANDLE_TABLE table, PHANDLE_ENTRY* bucket, Match match) {
    PHANDLE_ENTRY removed = nullptr;
    for (PHANDLE_ENTRY* link = bucket; *link != nullptr;) {
        PHANDLE_ENTRY entry = *link;
        if (match(entry)) {
            *link = entry->Next;
            entry->Next = removed;
            removed = entry;
            --table->Count;
        } else {
            link = &entry->Next;
        }
    }
    return removed;
}

// Empties the table and frees every entry, dropping the stack references of a device-handle table's entries.
VOID TableFree(PHANDLE_TABLE table, BOOLEAN releaseStacks) {
    PHANDLE_ENTRY chain = nullptr;
    const KIRQL irql = TableLock(table);
    for (PHANDLE_ENTRY& bucket : table->Buckets) {
        while (bucket != nullptr) {
            PHANDLE_ENTRY entry = bucket;
            bucket = entry->Next;
            entry->Next = chain;
            chain = entry;
        }
    }
    table->Count = 0;
    PHANDLE_ENTRY freeList = table->FreeList;
    table->FreeList = nullptr;
    TableUnlock(table, irql);
    for (PHANDLE_ENTRY list : {chain, freeList}) {
        while (list != nullptr) {
            PHANDLE_ENTRY next = list->Next;
            if (releaseStacks && list->Stack != nullptr) {
                StackRelease(list->Stack);
            }
            DriverFree(list);
            list = next;
        }
    }
}

} // namespace

// --- Device-handle table ---

BOOLEAN DeviceHandleTableInsert(ULONG64 Handle, PDEVICE_STACK Stack) {
    if (Handle == 0) {
        return TRUE;
    }
    PHANDLE_TABLE table = &g_DeviceHandleTable;
    PHANDLE_ENTRY entry = EntryTake(table);
    if (entry == nullptr) {
        return FALSE;
    }
    entry->Key = Handle;
    entry->Stack = Stack;
    entry->Interface = nullptr;
    entry->PipeIndex = 0;
    StackReference(Stack);

    const KIRQL irql = TableLock(table);
    const bool known = FirstMatchLocked(table, Handle, nullptr) != nullptr;
    if (known) {
        EntriesRecycleLocked(table, entry);
    } else {
        EntryLink(table, entry);
    }
    TableUnlock(table, irql);
    if (known) {
        StackRelease(Stack);
    }
    return TRUE;
}

PDEVICE_STACK DeviceHandleTableLookup(ULONG64 Handle, PULONG Matches) {
    PHANDLE_TABLE table = &g_DeviceHandleTable;
    PDEVICE_STACK stack = nullptr;
    ULONG matches = 0;
    const KIRQL irql = TableLock(table);
    if (PHANDLE_ENTRY entry = FirstMatchLocked(table, Handle, &matches)) {
        stack = entry->Stack;
        StackReference(stack); // the entry's own reference keeps it alive meanwhile
    }
    TableUnlock(table, irql);
    if (Matches != nullptr) {
        *Matches = matches;
    }
    return stack;
}

VOID DeviceHandleTableRemove(ULONG64 Handle, PDEVICE_STACK Stack) {
    PHANDLE_TABLE table = &g_DeviceHandleTable;
    ULONG count = 0;
    const KIRQL irql = TableLock(table);
    PHANDLE_ENTRY removed = EntriesUnlinkLocked(table, &table->Buckets[HandleTableBucket(Handle)],
                                                [&](PHANDLE_ENTRY e) { return e->Key == Handle && e->Stack == Stack; });
    for (PHANDLE_ENTRY e = removed; e != nullptr; e = e->Next) {
        ++count;
    }
    EntriesRecycleLocked(table, removed);
    TableUnlock(table, irql);
    // Every removed entry held one reference on Stack.
    while (count-- > 0) {
        StackRelease(Stack);
    }
}

ULONG DeviceHandleTableCount(VOID) {
    return g_DeviceHandleTable.Count;
}

// --- Pipe table ---

BOOLEAN PipeTableInsert(ULONG64 PipeHandle, PINTERFACE_RECORD Interface, ULONG Index, PDEVICE_STACK Stack) {
    PHANDLE_TABLE table = &g_PipeTable;
    PHANDLE_ENTRY entry = EntryTake(table);
    if (entry == nullptr) {
        return FALSE;
    }
    entry->Key = PipeHandle;
    entry->Stack = Stack;
    entry->Interface = Interface;
    entry->PipeIndex = Index;
    const KIRQL irql = TableLock(table);
    EntryLink(table, entry);
    TableUnlock(table, irql);
    return TRUE;
}

BOOLEAN PipeTableLookup(ULONG64 PipeHandle, PPIPE_LOOKUP Result) {
    if (PipeHandle == 0) {
        return FALSE;
    }
    PHANDLE_TABLE table = &g_PipeTable;
    ULONG matches = 0;
    const KIRQL irql = TableLock(table);
    if (PHANDLE_ENTRY e = FirstMatchLocked(table, PipeHandle, &matches)) {
        const USBD_INTERFACE_INFORMATION* info = &e->Interface->Info;
        Result->Pipe = info->Pipes[e->PipeIndex];
        Result->InterfaceNumber = info->InterfaceNumber;
        Result->AlternateSetting = info->AlternateSetting;
        Result->Class = info->Class;
        Result->SubClass = info->SubClass;
        Result->Protocol = info->Protocol;
        Result->StackID = e->Stack->StackID;
    }
    TableUnlock(table, irql);
    Result->Matches = matches;
    return matches != 0;
}

BOOLEAN PipeTableContains(ULONG64 PipeHandle) {
    PHANDLE_TABLE table = &g_PipeTable;
    const KIRQL irql = TableLock(table);
    const BOOLEAN found = FirstMatchLocked(table, PipeHandle, nullptr) != nullptr;
    TableUnlock(table, irql);
    return found;
}

VOID PipeTableRemoveInterface(const INTERFACE_RECORD* Interface) {
    PHANDLE_TABLE table = &g_PipeTable;
    for (ULONG i = 0; i < Interface->PipeCount; ++i) {
        const ULONG64 key = reinterpret_cast<ULONG_PTR>(Interface->Info.Pipes[i].PipeHandle);
        if (key == 0) {
            continue;
        }
        const KIRQL irql = TableLock(table);
        PHANDLE_ENTRY removed = EntriesUnlinkLocked(table, &table->Buckets[HandleTableBucket(key)],
                                                    [&](PHANDLE_ENTRY e) { return e->Interface == Interface; });
        EntriesRecycleLocked(table, removed);
        TableUnlock(table, irql);
    }
}

ULONG PipeTableCount(VOID) {
    return g_PipeTable.Count;
}

// --- Teardown ---

VOID HandleTablesFree(VOID) {
    TableFree(&g_DeviceHandleTable, TRUE);
    TableFree(&g_PipeTable, FALSE);
}
