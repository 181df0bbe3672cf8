// The device-handle table and the pipe table (HandleTables.h).
//
// Locks: each table's spin lock, taken alone. Stack references held by device-handle entries are dropped
// after the lock is released, since the last one frees the stack.
//
// The pipe table is read on every URB that is recorded and written only when a configuration or interface
// is selected or dropped, so a lookup takes no lock: every change to its chains is made between two steps of
// a sequence count, and a lookup that saw the count move (or odd) while it walked does the walk again under
// the lock. What a lookup copies out lives in the entry itself, copied from the interface record when the
// entry is made, so that a walk that loses a race reads nothing but entries; and entries are only ever
// recycled onto the free list while the driver runs (the pool gets them back at unload, when no request is
// inside the driver), so an entry a walk still holds is never freed memory.
#include "driver/nodes/HandleTables.h"

#include <cstring>

#include "driver/nodes/ChainedTable.h"
#include "driver/stacktree/DescriptorCache.h"
#include "driver/stacktree/DeviceStackTree.h"

namespace {

typedef struct _HANDLE_ENTRY {
    struct _HANDLE_ENTRY* Next;
    ULONG64 Key;
    PDEVICE_STACK Stack; // referenced
} HANDLE_ENTRY, *PHANDLE_ENTRY;

typedef CHAINED_TABLE<HANDLE_ENTRY> HANDLE_TABLE, *PHANDLE_TABLE;

// What a pipe lookup returns of an entry (its Matches aside), kept as words so that a lock-free walk copies it
// word by word.
constexpr ULONG PIPE_VALUE_WORDS = (sizeof(PIPE_LOOKUP) + sizeof(ULONG64) - 1) / sizeof(ULONG64);

typedef struct _PIPE_ENTRY {
    struct _PIPE_ENTRY* Next;
    ULONG64 Key;
    const struct _INTERFACE_RECORD* Interface; // compared on removal only, never read through
    ULONG64 Values[PIPE_VALUE_WORDS];          // a PIPE_LOOKUP
} PIPE_ENTRY, *PPIPE_ENTRY;

typedef CHAINED_TABLE<PIPE_ENTRY> PIPE_TABLE, *PPIPE_TABLE;

// Zero is a valid empty table (the spin lock free); HandleTablesFree returns both to that state.
HANDLE_TABLE g_DeviceHandleTable;
PIPE_TABLE g_PipeTable;
// Odd while the pipe table's chains change (under its lock); every change moves it on by two.
volatile LONG g_PipeTableSequence;

// A lookup walks no further than this without the lock (a chain this long, or one a writer keeps relinking
// under it, is walked under the lock instead).
constexpr ULONG PIPE_WALK_LIMIT = 64;

VOID PipeTableChangeBegin(VOID) {
    __atomic_store_n(&g_PipeTableSequence, g_PipeTableSequence + 1, __ATOMIC_RELAXED);
    __atomic_thread_fence(__ATOMIC_RELEASE);
}
VOID PipeTableChangeEnd(VOID) {
    __atomic_store_n(&g_PipeTableSequence, g_PipeTableSequence + 1, __ATOMIC_RELEASE);
}

template <class Entry> Entry* LoadNext(const Entry* entry) {
    return __atomic_load_n(&entry->Next, __ATOMIC_RELAXED);
}

// The walk of PipeTableLookup: the newest entry's values into *values and the number of entries with the key.
// Without the lock, FALSE when the walk went past PIPE_WALK_LIMIT entries (what it found is then no answer).
template <bool Locked> bool PipeWalk(ULONG64 key, PPIPE_LOOKUP values, ULONG* matches) {
    ULONG64 words[PIPE_VALUE_WORDS];
    ULONG count = 0;
    ULONG steps = 0;
    for (PPIPE_ENTRY e = __atomic_load_n(ChainedTableBucket(&g_PipeTable, key), __ATOMIC_RELAXED); e != nullptr;
         e = LoadNext(e)) {
        if (!Locked && ++steps > PIPE_WALK_LIMIT) {
            return false;
        }
        if (__atomic_load_n(&e->Key, __ATOMIC_RELAXED) != key) {
            continue;
        }
        if (count++ == 0) {
            for (ULONG i = 0; i < PIPE_VALUE_WORDS; ++i) {
                words[i] = __atomic_load_n(&e->Values[i], __ATOMIC_RELAXED);
            }
        }
    }
    if (count != 0) {
        std::memcpy(values, words, sizeof *values);
    }
    *matches = count;
    return true;
}

// Empties the table and frees every entry, dropping the stack references of a device-handle table's entries.
VOID TableFree(PHANDLE_TABLE table) {
    PHANDLE_ENTRY entries;
    PHANDLE_ENTRY freeList;
    const KIRQL irql = ChainedTableLock(table);
    ChainedTableEmptyLocked(table, &entries, &freeList);
    ChainedTableUnlock(table, irql);
    for (PHANDLE_ENTRY entry = entries; entry != nullptr; entry = entry->Next) {
        StackRelease(entry->Stack);
    }
    ChainedTableFree(entries);
    ChainedTableFree(freeList);
}

VOID PipeTableFree(VOID) {
    PPIPE_ENTRY entries;
    PPIPE_ENTRY freeList;
    const KIRQL irql = ChainedTableLock(&g_PipeTable);
    PipeTableChangeBegin();
    ChainedTableEmptyLocked(&g_PipeTable, &entries, &freeList);
    PipeTableChangeEnd();
    ChainedTableUnlock(&g_PipeTable, irql);
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
    PPIPE_TABLE table = &g_PipeTable;
    PPIPE_ENTRY entry = ChainedTableTake(table);
    if (entry == nullptr) {
        return FALSE;
    }
    const USBD_INTERFACE_INFORMATION* info = &Interface->Info;
    PIPE_LOOKUP values = {};
    values.Pipe = info->Pipes[Index];
    values.InterfaceNumber = info->InterfaceNumber;
    values.AlternateSetting = info->AlternateSetting;
    values.Class = info->Class;
    values.SubClass = info->SubClass;
    values.Protocol = info->Protocol;
    values.StackID = Stack->StackID;
    ULONG64 words[PIPE_VALUE_WORDS] = {};
    std::memcpy(words, &values, sizeof values);
    entry->Key = PipeHandle;
    entry->Interface = Interface;
    // A walk that lost a race may still be reading an entry taken from the free list.
    for (ULONG i = 0; i < PIPE_VALUE_WORDS; ++i) {
        __atomic_store_n(&entry->Values[i], words[i], __ATOMIC_RELAXED);
    }
    const KIRQL irql = ChainedTableLock(table);
    PipeTableChangeBegin();
    ChainedTableLinkLocked(table, entry);
    PipeTableChangeEnd();
    ChainedTableUnlock(table, irql);
    return TRUE;
}

BOOLEAN PipeTableLookup(ULONG64 PipeHandle, PPIPE_LOOKUP Result) {
    if (PipeHandle == 0) {
        return FALSE;
    }
    PIPE_LOOKUP found;
    ULONG matches = 0;
    const LONG before = __atomic_load_n(&g_PipeTableSequence, __ATOMIC_ACQUIRE);
    bool answered = (before & 1) == 0 && PipeWalk<false>(PipeHandle, &found, &matches);
    __atomic_thread_fence(__ATOMIC_ACQUIRE);
    answered = answered && __atomic_load_n(&g_PipeTableSequence, __ATOMIC_RELAXED) == before;
    if (!answered) {
        const KIRQL irql = ChainedTableLock(&g_PipeTable);
        PipeWalk<true>(PipeHandle, &found, &matches);
        ChainedTableUnlock(&g_PipeTable, irql);
    }
    if (matches != 0) {
        *Result = found;
    }
    Result->Matches = matches;
    return matches != 0;
}

BOOLEAN PipeTableContains(ULONG64 PipeHandle) {
    PPIPE_TABLE table = &g_PipeTable;
    const KIRQL irql = ChainedTableLock(table);
    const BOOLEAN found = ChainedTableFindLocked(table, PipeHandle, nullptr) != nullptr;
    ChainedTableUnlock(table, irql);
    return found;
}

VOID PipeTableRemoveInterface(const INTERFACE_RECORD* Interface) {
    PPIPE_TABLE table = &g_PipeTable;
    for (ULONG i = 0; i < Interface->PipeCount; ++i) {
        const ULONG64 key = reinterpret_cast<ULONG_PTR>(Interface->Info.Pipes[i].PipeHandle);
        if (key == 0) {
            continue;
        }
        const KIRQL irql = ChainedTableLock(table);
        PipeTableChangeBegin();
        PPIPE_ENTRY removed =
            ChainedTableUnlinkLocked(table, key, [&](PPIPE_ENTRY e) { return e->Interface == Interface; });
        ChainedTableRecycleLocked(table, removed);
        PipeTableChangeEnd();
        ChainedTableUnlock(table, irql);
    }
}

ULONG PipeTableCount(VOID) {
    return static_cast<ULONG>(g_PipeTable.Count);
}

// --- Teardown ---

VOID HandleTablesFree(VOID) {
    TableFree(&g_DeviceHandleTable);
    PipeTableFree();
}
