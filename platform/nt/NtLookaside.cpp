#include "NtLookaside.h"

#include <algorithm>

#include "NtIrql.h"
#include "NtList.h"

namespace {

void Count(ULONG& counter) { __atomic_add_fetch(&counter, 1, __ATOMIC_RELAXED); }

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

} // namespace

void ExInitializeNPagedLookasideList(PNPAGED_LOOKASIDE_LIST Lookaside, PALLOCATE_FUNCTION Allocate,
                                     PFREE_FUNCTION Free, ULONG Flags, SIZE_T Size, ULONG Tag, USHORT Depth) {
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
    l.Future[0] = l.Future[1] = 0;
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
    Count(l.TotalAllocates);
    PSLIST_ENTRY entry = InterlockedPopEntrySList(&l.ListHead);
    if (entry != nullptr) {
        return entry;
    }
    Count(l.AllocateMisses);
    // Without a balance-set manager, a miss is the signal that the list keeps too few blocks.
    USHORT depth = __atomic_load_n(&l.Depth, __ATOMIC_RELAXED);
    if (depth < l.MaximumDepth) {
        __atomic_compare_exchange_n(&l.Depth, &depth, static_cast<USHORT>(depth + 1), false, __ATOMIC_RELAXED,
                                    __ATOMIC_RELAXED);
    }
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
