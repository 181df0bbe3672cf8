// The form of the driver's three lookup tables (device object -> node in DeviceNodeTable.h; device handle ->
// stack and pipe handle -> pipe in HandleTables.h): 256 buckets of singly linked chains, chosen by the low 8
// bits of a 64-bit integer hash of the key; new entries at the head of their chain, so a lookup finds the
// entry entered last; and a free list of recycled entries that a new entry is taken from before the pool is
// asked. An entry type has a `Next` link and a `Key` (an integer or a pointer); what else it holds, and the
// references it keeps, are its table's business.
//
// Locks: the table's spin lock. The routines named ...Locked expect the caller to hold it; ChainedTableTake
// takes it briefly itself. Up to DISPATCH_LEVEL.
#pragma once

#include "ntddk.h"

#include "driver/core/Pool.h"

constexpr ULONG CHAINED_TABLE_BUCKETS = 256;

// Bucket of a key: the low 8 bits of the 64-bit integer hash (shift-add-xor mix, shifts logical).
constexpr ULONG HandleTableBucket(ULONG64 key) {
    key += ~(key << 32);
    key ^= key >> 22;
    key += ~(key << 13);
    key ^= key >> 8;
    key += key << 3;
    key ^= key >> 15;
    key += ~(key << 27);
    key ^= key >> 31;
    return static_cast<ULONG>(key & 0xFF);
}

template <class Entry> struct CHAINED_TABLE {
    Entry* Buckets[CHAINED_TABLE_BUCKETS];
    Entry* FreeList; // recycled entries, zeroed
    KSPIN_LOCK Lock;
    LONG Count; // entries in the buckets
};

inline ULONG64 ChainedTableKey(ULONG64 key) {
    return key;
}
inline ULONG64 ChainedTableKey(const VOID* key) {
    return reinterpret_cast<ULONG_PTR>(key);
}

template <class Entry> Entry** ChainedTableBucket(CHAINED_TABLE<Entry>* table, decltype(Entry::Key) key) {
    return &table->Buckets[HandleTableBucket(ChainedTableKey(key))];
}

template <class Entry> KIRQL ChainedTableLock(CHAINED_TABLE<Entry>* table) {
    return KeAcquireSpinLockRaiseToDpc(&table->Lock);
}
template <class Entry> VOID ChainedTableUnlock(CHAINED_TABLE<Entry>* table, KIRQL irql) {
    KeReleaseSpinLock(&table->Lock, irql);
}

// A zeroed entry: one from the free list, else one from the pool; null without memory.
template <class Entry> Entry* ChainedTableTake(CHAINED_TABLE<Entry>* table) {
    const KIRQL irql = ChainedTableLock(table);
    Entry* entry = table->FreeList;
    if (entry != nullptr) {
        table->FreeList = entry->Next;
        entry->Next = nullptr;
    }
    ChainedTableUnlock(table, irql);
    return entry != nullptr ? entry : static_cast<Entry*>(DriverAllocate(sizeof(Entry)));
}

// Links a filled entry at the head of its key's chain.
template <class Entry> VOID ChainedTableLinkLocked(CHAINED_TABLE<Entry>* table, Entry* entry) {
    Entry** bucket = ChainedTableBucket(table, entry->Key);
    entry->Next = *bucket;
    *bucket = entry;
    ++table->Count;
}

// The entry for `key` entered last, or null; *matches (when given) receives the number of entries with the key.
template <class Entry>
Entry* ChainedTableFindLocked(CHAINED_TABLE<Entry>* table, decltype(Entry::Key) key, PULONG matches) {
    Entry* first = nullptr;
    ULONG count = 0;
    for (Entry* entry = *ChainedTableBucket(table, key); entry != nullptr; entry = entry->Next) {
        if (entry->Key != key) {
            continue;
        }
        if (first == nullptr) {
            first = entry;
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

// Unlinks the entries of `key`'s chain that `match` accepts and returns them as a chain.
template <class Entry, class Match>
Entry* ChainedTableUnlinkLocked(CHAINED_TABLE<Entry>* table, decltype(Entry::Key) key, Match match) {
    Entry* removed = nullptr;
    for (Entry** link = ChainedTableBucket(table, key); *link != nullptr;) {
        Entry* entry = *link;
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

// Empties the table: every entry of its chains and of its free list is returned, as two chains.
template <class Entry> VOID ChainedTableEmptyLocked(CHAINED_TABLE<Entry>* table, Entry** entries, Entry** freeList) {
    Entry* chain = nullptr;
    for (Entry*& bucket : table->Buckets) {
        while (bucket != nullptr) {
            Entry* entry = bucket;
            bucket = entry->Next;
            entry->Next = chain;
            chain = entry;
        }
    }
    table->Count = 0;
    *entries = chain;
    *freeList = table->FreeList;
    table->FreeList = nullptr;
}

// Zeroes a chain of unlinked entries and puts them on the free list.
template <class Entry> VOID ChainedTableRecycleLocked(CHAINED_TABLE<Entry>* table, Entry* chain) {
    while (chain != nullptr) {
        Entry* next = chain->Next;
        RtlZeroMemory(chain, sizeof *chain);
        chain->Next = table->FreeList;
        table->FreeList = chain;
        chain = next;
    }
}

// Gives a chain of unlinked entries back to the pool.
template <class Entry> VOID ChainedTableFree(Entry* chain) {
    while (chain != nullptr) {
        Entry* next = chain->Next;
        DriverFree(chain);
        chain = next;
    }
}
