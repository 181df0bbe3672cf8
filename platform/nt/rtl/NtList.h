// Doubly linked lists (LIST_ENTRY) and singly linked lists (SINGLE_LIST_ENTRY), as the platform's inline
// helpers. Removal checks the neighbours' links first, as the platform does, and a broken list is a bug check
// (KERNEL_SECURITY_CHECK_FAILURE) rather than silent corruption.
#pragma once

#include "NtIrql.h"
#include "ntdef.h"

namespace nt {
[[noreturn]] void FatalListEntryError(PVOID p1, PVOID p2, PVOID p3);
} // namespace nt

inline void InitializeListHead(PLIST_ENTRY ListHead) {
    ListHead->Flink = ListHead->Blink = ListHead;
}

inline BOOLEAN IsListEmpty(const LIST_ENTRY* ListHead) {
    return (BOOLEAN)(ListHead->Flink == ListHead);
}

// Unlinks Entry; returns TRUE when the list is empty afterwards.
inline BOOLEAN RemoveEntryList(PLIST_ENTRY Entry) {
    PLIST_ENTRY next = Entry->Flink;
    PLIST_ENTRY prev = Entry->Blink;
    if (next->Blink != Entry || prev->Flink != Entry) {
        nt::FatalListEntryError(prev, Entry, next);
    }
    prev->Flink = next;
    next->Blink = prev;
    return (BOOLEAN)(prev == next);
}

// Unlinks and returns the first entry (the head itself when the list is empty).
inline PLIST_ENTRY RemoveHeadList(PLIST_ENTRY ListHead) {
    PLIST_ENTRY entry = ListHead->Flink;
    PLIST_ENTRY next = entry->Flink;
    if (entry->Blink != ListHead || next->Blink != entry) {
        nt::FatalListEntryError(ListHead, entry, next);
    }
    ListHead->Flink = next;
    next->Blink = ListHead;
    return entry;
}

inline PLIST_ENTRY RemoveTailList(PLIST_ENTRY ListHead) {
    PLIST_ENTRY entry = ListHead->Blink;
    PLIST_ENTRY prev = entry->Blink;
    if (entry->Flink != ListHead || prev->Flink != entry) {
        nt::FatalListEntryError(prev, entry, ListHead);
    }
    ListHead->Blink = prev;
    prev->Flink = ListHead;
    return entry;
}

inline void InsertTailList(PLIST_ENTRY ListHead, PLIST_ENTRY Entry) {
    PLIST_ENTRY prev = ListHead->Blink;
    if (prev->Flink != ListHead) {
        nt::FatalListEntryError(prev, ListHead, prev->Flink);
    }
    Entry->Flink = ListHead;
    Entry->Blink = prev;
    prev->Flink = Entry;
    ListHead->Blink = Entry;
}

inline void InsertHeadList(PLIST_ENTRY ListHead, PLIST_ENTRY Entry) {
    PLIST_ENTRY next = ListHead->Flink;
    if (next->Blink != ListHead) {
        nt::FatalListEntryError(ListHead, next, next->Blink);
    }
    Entry->Flink = next;
    Entry->Blink = ListHead;
    next->Blink = Entry;
    ListHead->Flink = Entry;
}

// Appends the list whose first entry is ListToAppend (a headless ring) to the end of ListHead.
inline void AppendTailList(PLIST_ENTRY ListHead, PLIST_ENTRY ListToAppend) {
    PLIST_ENTRY listEnd = ListHead->Blink;
    ListHead->Blink->Flink = ListToAppend;
    ListHead->Blink = ListToAppend->Blink;
    ListToAppend->Blink->Flink = ListHead;
    ListToAppend->Blink = listEnd;
}

inline PSINGLE_LIST_ENTRY PopEntryList(PSINGLE_LIST_ENTRY ListHead) {
    PSINGLE_LIST_ENTRY first = ListHead->Next;
    if (first != nullptr) {
        ListHead->Next = first->Next;
    }
    return first;
}

inline void PushEntryList(PSINGLE_LIST_ENTRY ListHead, PSINGLE_LIST_ENTRY Entry) {
    Entry->Next = ListHead->Next;
    ListHead->Next = Entry;
}

// The same operations under a spin lock the caller owns (taken and released inside, at DISPATCH_LEVEL).
PLIST_ENTRY ExInterlockedInsertHeadList(PLIST_ENTRY ListHead, PLIST_ENTRY ListEntry, PKSPIN_LOCK Lock);
PLIST_ENTRY ExInterlockedInsertTailList(PLIST_ENTRY ListHead, PLIST_ENTRY ListEntry, PKSPIN_LOCK Lock);
PLIST_ENTRY ExInterlockedRemoveHeadList(PLIST_ENTRY ListHead, PKSPIN_LOCK Lock);
PSINGLE_LIST_ENTRY ExInterlockedPopEntryList(PSINGLE_LIST_ENTRY ListHead, PKSPIN_LOCK Lock);
PSINGLE_LIST_ENTRY ExInterlockedPushEntryList(PSINGLE_LIST_ENTRY ListHead, PSINGLE_LIST_ENTRY ListEntry,
                                              PKSPIN_LOCK Lock);
