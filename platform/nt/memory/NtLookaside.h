// Non-paged lookaside lists: a cache of fixed-size blocks in front of the pool.
//
// An allocation takes a cached block when there is one, else asks the pool (the list's Allocate routine, or
// ExAllocatePoolWithTag with the list's tag), so pool accounting and injected failures apply to misses. A free
// caches the block while fewer than Depth blocks are cached, else gives it back to the pool. The counters move
// as on the platform: TotalAllocates and TotalFrees count every call, AllocateMisses the allocations that went
// to the pool, FreeMisses the frees that did.
//
// Depth starts at the platform's minimum of 4 and is retuned at most once a second of machine time, as the
// platform's balance-set manager does, here on the first allocation after the second has passed: a list
// used less than 75 times in the period shrinks by 10; otherwise a miss rate under 0.5% shrinks it by one and
// a higher one deepens it in proportion to the rate, up to MaximumDepth (256). With the virtual clock standing
// still, Depth stays where it is.
#pragma once

#include "NtInterlocked.h"
#include "NtPool.h"
#include "ntdef.h"

typedef PVOID (*PALLOCATE_FUNCTION)(POOL_TYPE PoolType, SIZE_T NumberOfBytes, ULONG Tag);
typedef void (*PFREE_FUNCTION)(PVOID Buffer);

typedef struct alignas(64) _GENERAL_LOOKASIDE {
    union {
        SLIST_HEADER ListHead;
        SINGLE_LIST_ENTRY SingleListHead;
    };
    USHORT Depth;
    USHORT MaximumDepth;
    ULONG TotalAllocates;
    union {
        ULONG AllocateMisses;
        ULONG AllocateHits;
    };
    ULONG TotalFrees;
    union {
        ULONG FreeMisses;
        ULONG FreeHits;
    };
    POOL_TYPE Type;
    ULONG Tag;
    ULONG Size;
    PALLOCATE_FUNCTION Allocate;
    PFREE_FUNCTION Free;
    LIST_ENTRY ListEntry;
    ULONG LastTotalAllocates;
    union {
        ULONG LastAllocateMisses;
        ULONG LastAllocateHits;
    };
    ULONG Future[2];
} GENERAL_LOOKASIDE, *PGENERAL_LOOKASIDE;
static_assert(offsetof(GENERAL_LOOKASIDE, Depth) == 16 && offsetof(GENERAL_LOOKASIDE, TotalAllocates) == 20 &&
              offsetof(GENERAL_LOOKASIDE, Type) == 36 && offsetof(GENERAL_LOOKASIDE, Allocate) == 48 &&
              offsetof(GENERAL_LOOKASIDE, ListEntry) == 64 && sizeof(GENERAL_LOOKASIDE) == 128);

typedef struct _NPAGED_LOOKASIDE_LIST {
    GENERAL_LOOKASIDE L;
} NPAGED_LOOKASIDE_LIST, *PNPAGED_LOOKASIDE_LIST;
static_assert(sizeof(NPAGED_LOOKASIDE_LIST) == 128);

#define LOOKASIDE_MINIMUM_DEPTH 4
#define LOOKASIDE_MAXIMUM_DEPTH 256

// Allocate and Free may be null (the pool is used). Flags and Depth are reserved, as on the platform. Size is
// rounded up to hold an SLIST_ENTRY.
void ExInitializeNPagedLookasideList(PNPAGED_LOOKASIDE_LIST Lookaside, PALLOCATE_FUNCTION Allocate, PFREE_FUNCTION Free,
                                     ULONG Flags, SIZE_T Size, ULONG Tag, USHORT Depth);
// Gives every cached block back to the pool. Blocks still allocated stay the caller's to free.
void ExDeleteNPagedLookasideList(PNPAGED_LOOKASIDE_LIST Lookaside);
PVOID ExAllocateFromNPagedLookasideList(PNPAGED_LOOKASIDE_LIST Lookaside);
void ExFreeToNPagedLookasideList(PNPAGED_LOOKASIDE_LIST Lookaside, PVOID Entry);
