// Interrupt request levels, spin locks and processors.
//
// Each thread carries its own IRQL (PASSIVE_LEVEL when it starts). Raising and lowering follow the platform's
// rules and a broken rule is a bug check (NtBugCheck). A KSPIN_LOCK is a real lock held in its own ULONG_PTR:
// acquiring it raises the thread to DISPATCH_LEVEL, and a contending thread spins, then yields, until the holder
// releases it. Acquiring a lock the thread already holds, or releasing one it does not hold, is a bug check.
//
// Routines that need a low IRQL say so at their start: PAGED_CODE() for pageable code (at most APC_LEVEL),
// PASSIVE_CODE() for routines that run only at PASSIVE_LEVEL. Either one, called at a higher IRQL, stops with
// IRQL_NOT_LESS_OR_EQUAL naming the routine.
#pragma once

#include "NtBugCheck.h"
#include "ntdef.h"

typedef UCHAR KIRQL;
typedef KIRQL* PKIRQL;

#define PASSIVE_LEVEL 0
#define LOW_LEVEL 0
#define APC_LEVEL 1
#define DISPATCH_LEVEL 2
#define CMCI_LEVEL 5
#define CLOCK_LEVEL 13
#define IPI_LEVEL 14
#define POWER_LEVEL 14
#define PROFILE_LEVEL 15
#define HIGH_LEVEL 15

KIRQL KeGetCurrentIrql();
// Raises to NewIrql, which must not be below the current IRQL; returns the previous IRQL.
KIRQL KfRaiseIrql(KIRQL NewIrql);
// Lowers to NewIrql, which must not be above the current IRQL.
void KeLowerIrql(KIRQL NewIrql);
KIRQL KeRaiseIrqlToDpcLevel();
#define KeRaiseIrql(NewIrql, OldIrql) (*(OldIrql) = KfRaiseIrql(NewIrql))

namespace nt {
// Stops with IRQL_NOT_LESS_OR_EQUAL when the calling thread runs above `maximum`.
void AssertIrqlAtMost(KIRQL maximum, const char* routine);
} // namespace nt

#define PAGED_CODE() ::nt::AssertIrqlAtMost(APC_LEVEL, __func__)
#define PASSIVE_CODE() ::nt::AssertIrqlAtMost(PASSIVE_LEVEL, __func__)

// --- Spin locks ---

typedef ULONG_PTR KSPIN_LOCK;
typedef KSPIN_LOCK* PKSPIN_LOCK;

void KeInitializeSpinLock(PKSPIN_LOCK SpinLock);
// At most DISPATCH_LEVEL: raise to DISPATCH_LEVEL, take the lock, return the previous IRQL.
KIRQL KeAcquireSpinLockRaiseToDpc(PKSPIN_LOCK SpinLock);
#define KeAcquireSpinLock(SpinLock, OldIrql) (*(OldIrql) = KeAcquireSpinLockRaiseToDpc(SpinLock))
// Release the lock and lower to NewIrql (the value the acquire returned).
void KeReleaseSpinLock(PKSPIN_LOCK SpinLock, KIRQL NewIrql);
// For callers already at DISPATCH_LEVEL: take or release the lock without changing the IRQL.
void KeAcquireSpinLockAtDpcLevel(PKSPIN_LOCK SpinLock);
void KeReleaseSpinLockFromDpcLevel(PKSPIN_LOCK SpinLock);
BOOLEAN KeTryToAcquireSpinLockAtDpcLevel(PKSPIN_LOCK SpinLock);
// True while some thread holds the lock (a snapshot, for assertions).
BOOLEAN KeTestSpinLock(PKSPIN_LOCK SpinLock);

// In-stack queued spin locks: the same lock, with the old IRQL kept in the caller's handle.
typedef struct _KLOCK_QUEUE_HANDLE {
    struct {
        PVOID Next;
        PKSPIN_LOCK Lock;
    } LockQueue;
    KIRQL OldIrql;
} KLOCK_QUEUE_HANDLE, *PKLOCK_QUEUE_HANDLE;
static_assert(sizeof(KLOCK_QUEUE_HANDLE) == 24);

void KeAcquireInStackQueuedSpinLock(PKSPIN_LOCK SpinLock, PKLOCK_QUEUE_HANDLE LockHandle);
void KeReleaseInStackQueuedSpinLock(PKLOCK_QUEUE_HANDLE LockHandle);
void KeAcquireInStackQueuedSpinLockAtDpcLevel(PKSPIN_LOCK SpinLock, PKLOCK_QUEUE_HANDLE LockHandle);
void KeReleaseInStackQueuedSpinLockFromDpcLevel(PKLOCK_QUEUE_HANDLE LockHandle);

// --- Processors ---
//
// The machine's processors are the host's. The number of the one the calling thread runs on is a snapshot: a
// thread at PASSIVE_LEVEL may move to another processor right after asking (as a host thread may at any
// IRQL), so callers use it to spread work over per-processor data, never to own such data.
typedef struct _PROCESSOR_NUMBER {
    USHORT Group;
    UCHAR Number;
    UCHAR Reserved;
} PROCESSOR_NUMBER, *PPROCESSOR_NUMBER;
#define ALL_PROCESSOR_GROUPS 0xFFFF

// The system-wide number of the current processor (one group: the number within it); ProcNumber may be null.
ULONG KeGetCurrentProcessorNumberEx(PPROCESSOR_NUMBER ProcNumber);
ULONG KeQueryActiveProcessorCountEx(USHORT GroupNumber);
