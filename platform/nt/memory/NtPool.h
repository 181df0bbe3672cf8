// Kernel pool and address validity.
//
// Every allocation is accounted per pool tag and recorded as a valid address range; MmIsAddressValid answers
// from those records (live pool, and ranges the platform registered, such as user buffers locked for a request)
// and never reads the address it is given. Freeing with the wrong tag, or freeing twice, is a bug check
// (BAD_POOL_CALLER). Tests read the accounting and inject allocation failures through NtPoolControl.h.
//
// Tags are ULONGs whose memory bytes are the four characters: the tag shown as "KxTd" is the value 'dTxK'.
#pragma once

#include "ntdef.h"

typedef enum _POOL_TYPE {
    NonPagedPool = 0,
    NonPagedPoolExecute = NonPagedPool,
    PagedPool = 1,
    NonPagedPoolMustSucceed = 2,
    DontUseThisType = 3,
    NonPagedPoolCacheAligned = 4,
    PagedPoolCacheAligned = 5,
    NonPagedPoolCacheAlignedMustS = 6,
    MaxPoolType = 7,
    NonPagedPoolNx = 512,
    NonPagedPoolNxCacheAligned = 516,
} POOL_TYPE;

// Returns null when the pool cannot satisfy the request (or a test made it fail). Memory is not zeroed: in
// builds with the sanitizers the stand-in fills it with 0xC5 so that code which forgets to initialise it
// shows; other builds leave it as it comes.
PVOID ExAllocatePoolWithTag(POOL_TYPE PoolType, SIZE_T NumberOfBytes, ULONG Tag);
PVOID ExAllocatePool(POOL_TYPE PoolType, SIZE_T NumberOfBytes); // tag "None"
void ExFreePoolWithTag(PVOID P, ULONG Tag);
void ExFreePool(PVOID P);

// TRUE when the address lies inside live pool or a registered range. Never dereferences it, and takes no lock.
BOOLEAN MmIsAddressValid(PVOID VirtualAddress);

// Memory helpers of the run-time library (guarded: user-mode headers name them too).
#ifndef RtlZeroMemory
#define RtlZeroMemory(Destination, Length) __builtin_memset((Destination), 0, (Length))
#define RtlFillMemory(Destination, Length, Fill) __builtin_memset((Destination), (Fill), (Length))
#define RtlCopyMemory(Destination, Source, Length) __builtin_memcpy((Destination), (Source), (Length))
#define RtlMoveMemory(Destination, Source, Length) __builtin_memmove((Destination), (Source), (Length))
#define RtlEqualMemory(Destination, Source, Length) (!__builtin_memcmp((Destination), (Source), (Length)))
#endif
SIZE_T RtlCompareMemory(const void* Source1, const void* Source2, SIZE_T Length);
