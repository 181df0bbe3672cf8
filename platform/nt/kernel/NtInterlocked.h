// Interlocked operations and interlocked singly linked lists (SLIST).
//
// The interlocked routines are full barriers, as on the platform. An SLIST_HEADER is the platform's 16 bytes;
// push, pop and flush are safe from any number of threads at any IRQL. Entries must be 16-byte aligned (pool
// memory is); a misaligned entry is a bug check, because on the platform it corrupts the list.
#pragma once

#include "ntdef.h"

#define MEMORY_ALLOCATION_ALIGNMENT 16

inline LONG InterlockedIncrement(LONG volatile* Addend) {
    return __atomic_add_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedDecrement(LONG volatile* Addend) {
    return __atomic_sub_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchange(LONG volatile* Target, LONG Value) {
    return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedExchangeAdd(LONG volatile* Addend, LONG Value) {
    return __atomic_fetch_add(Addend, Value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedAdd(LONG volatile* Addend, LONG Value) {
    return __atomic_add_fetch(Addend, Value, __ATOMIC_SEQ_CST);
}
// Stores Exchange when *Destination equals Comperand; returns the value *Destination had.
inline LONG InterlockedCompareExchange(LONG volatile* Destination, LONG Exchange, LONG Comperand) {
    __atomic_compare_exchange_n(Destination, &Comperand, Exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return Comperand;
}
inline LONG InterlockedAnd(LONG volatile* Destination, LONG Value) {
    return __atomic_fetch_and(Destination, Value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedOr(LONG volatile* Destination, LONG Value) {
    return __atomic_fetch_or(Destination, Value, __ATOMIC_SEQ_CST);
}
inline LONG InterlockedXor(LONG volatile* Destination, LONG Value) {
    return __atomic_fetch_xor(Destination, Value, __ATOMIC_SEQ_CST);
}

inline LONG64 InterlockedIncrement64(LONG64 volatile* Addend) {
    return __atomic_add_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}
inline LONG64 InterlockedDecrement64(LONG64 volatile* Addend) {
    return __atomic_sub_fetch(Addend, 1, __ATOMIC_SEQ_CST);
}
inline LONG64 InterlockedExchange64(LONG64 volatile* Target, LONG64 Value) {
    return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}
inline LONG64 InterlockedExchangeAdd64(LONG64 volatile* Addend, LONG64 Value) {
    return __atomic_fetch_add(Addend, Value, __ATOMIC_SEQ_CST);
}
inline LONG64 InterlockedAdd64(LONG64 volatile* Addend, LONG64 Value) {
    return __atomic_add_fetch(Addend, Value, __ATOMIC_SEQ_CST);
}
inline LONG64 InterlockedCompareExchange64(LONG64 volatile* Destination, LONG64 Exchange, LONG64 Comperand) {
    __atomic_compare_exchange_n(Destination, &Comperand, Exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return Comperand;
}

inline PVOID InterlockedExchangePointer(PVOID volatile* Target, PVOID Value) {
    return __atomic_exchange_n(Target, Value, __ATOMIC_SEQ_CST);
}
inline PVOID InterlockedCompareExchangePointer(PVOID volatile* Destination, PVOID Exchange, PVOID Comperand) {
    __atomic_compare_exchange_n(Destination, &Comperand, Exchange, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return Comperand;
}

inline void KeMemoryBarrier() {
    __atomic_thread_fence(__ATOMIC_SEQ_CST);
}
#define MemoryBarrier() KeMemoryBarrier()

// --- Interlocked singly linked lists ---

typedef struct alignas(16) _SLIST_ENTRY {
    struct _SLIST_ENTRY* Next;
} SLIST_ENTRY, *PSLIST_ENTRY;
static_assert(sizeof(SLIST_ENTRY) == 16 && alignof(SLIST_ENTRY) == 16);

// Alignment holds the depth (bits 0-15) and a sequence number (bits 16-63); Region holds the first entry. The
// stand-in serialises writers on bit 0 of Region (entries are 16-byte aligned, so the bit is free).
typedef union alignas(16) _SLIST_HEADER {
    struct {
        ULONGLONG Alignment;
        ULONGLONG Region;
    } s;
    struct {
        ULONGLONG Depth : 16;
        ULONGLONG Sequence : 48;
        ULONGLONG Reserved : 4;
        ULONGLONG NextEntry : 60;
    } HeaderX64;
} SLIST_HEADER, *PSLIST_HEADER;
static_assert(sizeof(SLIST_HEADER) == 16 && alignof(SLIST_HEADER) == 16);

void InitializeSListHead(PSLIST_HEADER SListHead);
// Returns the entry that was first before the push (null when the list was empty).
PSLIST_ENTRY InterlockedPushEntrySList(PSLIST_HEADER ListHead, PSLIST_ENTRY ListEntry);
// Returns the first entry, taken off the list, or null.
PSLIST_ENTRY InterlockedPopEntrySList(PSLIST_HEADER ListHead);
// Takes every entry off the list and returns the first of the chain (linked through Next).
PSLIST_ENTRY InterlockedFlushSList(PSLIST_HEADER ListHead);
USHORT ExQueryDepthSList(PSLIST_HEADER SListHead);
#define QueryDepthSList(Head) ExQueryDepthSList(Head)
PSLIST_ENTRY FirstEntrySList(PSLIST_HEADER SListHead);
#define ExInterlockedPushEntrySList(Head, Entry, Lock) InterlockedPushEntrySList(Head, Entry)
#define ExInterlockedPopEntrySList(Head, Lock) InterlockedPopEntrySList(Head)
#define ExInterlockedFlushSList(Head) InterlockedFlushSList(Head)
