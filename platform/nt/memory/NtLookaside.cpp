#include "NtLookaside.h"

#include <algorithm>

#include "NtClock.h"
#include "NtIrql.h"
#include "NtList.h"

namespace {

void Count(ULONG& counter) {
    __atomic_add_fetch(&counter, 1, __ATOMIC_RELAXED);
}

PVOID AllocateBlock(PNPAGED_LOOKASIDE_LIST list) {
    GENERAL_LOOKASIDE& l = list->L;
    return l.Allocate != nullptr ? l.Allocate(l.Type, l.Size, l.Tag) : ExAllocatePoolWithTag(l.Type, l.Size, l.Tag);
}

void FreeBlock(PNPAGED_LOOKASIDE_LIST list, PVOID block) {
    GENERAL_LOOKASIDE& l = list->L;
    if (l.Free != nullptr) {
        l.Free(block);
    } else {
        ExFreePool(block);
    }
}

ULONG NowInSeconds() {
    return static_cast<ULONG>(nt::clock::Now() / nt::clock::kPerformanceFrequency);
}

// The balance step: one allocating thread per second of machine time retunes Depth from the last period's
// allocations and misses. Future[0] holds the second of the last retune.
void MaybeRetune(GENERAL_LOOKASIDE& l) {
    ULONG now = NowInSeconds();
    ULONG last = __atomic_load_n(&l.Future[0], __ATOMIC_RELAXED);
    if (now == last ||
        !__atomic_compare_exchange_n(&l.Future[0], &last, now, false, __ATOMIC_RELAXED, __ATOMIC_RELAXED)) {
        return;
    }
    ULONG total = __atomic_load_n(&l.TotalAllocates, __ATOMIC_RELAXED);
    ULONG misses = __atomic_load_n(&l.AllocateMisses, __ATOMIC_RELAXED);
    ULONG allocates = total - l.LastTotalAllocates;
    ULONG missed = misses - l.LastAllocateMisses;
    l.LastTotalAllocates = total;
    l.LastAllocateMisses = misses;
    int depth = __atomic_load_n(&l.Depth, __ATOMIC_RELAXED);
    if (allocates < 75) {
        depth -= 10;
    } else {
        ULONG ratio = static_cast<ULONG>(static_cast<ULONGLONG>(missed) * 1000 / allocates); // per mille
        if (ratio < 5) {
            depth -= 1;
        } else {
            depth += static_cast<int>(ratio * static_cast<ULONG>(l.MaximumDepth - depth) / 2000) + 5;
        }
    }
    depth = std::clamp(depth, LOOKASIDE_MINIMUM_DEPTH, static_cast<int>(l.MaximumDepth));
    __atomic_store_n(&l.Depth, static_cast<USHORT>(depth), __ATOMIC_RELAXED);
}

} // namespace

void ExInitializeNPagedLookasideList(PNPAGED_LOOKASIDE_LIST Lookaside, PALLOCATE_FUNCTION Allocate, PFREE_FUNCTION Free,
                                     ULONG Flags, SIZE_T Size, ULONG Tag, USHORT Depth) {
    (void)Flags;
    (void)Depth;
    GENERAL_LOOKASIDE& l = Lookaside->L;
    InitializeSListHead(&l.ListHead);
    l.Depth = LOOKASIDE_MINIMUM_DEPTH;
    l.MaximumDepth = LOOKASIDE_MAXIMUM_DEPTH;
    l.TotalAllocates = 0;
    l.AllocateMisses = 0;
    l.TotalFrees = 0;
    l.FreeMisses = 0;
    l.Type = NonPagedPoolNx;
    l.Tag = Tag;
    l.Size = static_cast<ULONG>(std::max<SIZE_T>(Size, sizeof(SLIST_ENTRY)));
    l.Allocate = Allocate;
    l.Free = Free;
    InitializeListHead(&l.ListEntry);
    l.LastTotalAllocates = 0;
    l.LastAllocateMisses = 0;
    l.Future[0] = NowInSeconds();
    l.Future[1] = 0;
}

void ExDeleteNPagedLookasideList(PNPAGED_LOOKASIDE_LIST Lookaside) {
    PSLIST_ENTRY entry = InterlockedFlushSList(&Lookaside->L.ListHead);
    while (entry != nullptr) {
        PSLIST_ENTRY next = entry->Next;
        FreeBlock(Lookaside, entry);
        entry = next;
    }
}

PVOID ExAllocateFromNPagedLookasideList(PNPAGED_LOOKASIDE_LIST Lookaside) {
    GENERAL_LOOKASIDE& l = Lookaside->L;
    MaybeRetune(l);
    Count(l.TotalAllocates);
    PSLIST_ENTRY entry = InterlockedPopEntrySList(&l.ListHead);
    if (entry != nullptr) {
        return entry;
    }
    Count(l.AllocateMisses);
    return AllocateBlock(Lookaside);
}

void ExFreeToNPagedLookasideList(PNPAGED_LOOKASIDE_LIST Lookaside, PVOID Entry) {
    GENERAL_LOOKASIDE& l = Lookaside->L;
    Count(l.TotalFrees);
    if (ExQueryDepthSList(&l.ListHead) >= __atomic_load_n(&l.Depth, __ATOMIC_RELAXED)) {
        Count(l.FreeMisses);
        FreeBlock(Lookaside, Entry);
        return;
    }
    InterlockedPushEntrySList(&l.ListHead, static_cast<PSLIST_ENTRY>(Entry));
}
