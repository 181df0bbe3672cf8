#include "NtIrql.h"

#include <sched.h>
#include <sys/rseq.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

namespace {

thread_local KIRQL t_irql = PASSIVE_LEVEL;
// The address of this thread-local is the thread's token in a held lock: non-zero and unique per live thread.
thread_local char t_lockOwnerToken;

ULONG_PTR OwnerToken() {
    return reinterpret_cast<ULONG_PTR>(&t_lockOwnerToken);
}

std::atomic_ref<ULONG_PTR> LockWord(PKSPIN_LOCK lock) {
    return std::atomic_ref<ULONG_PTR>(*lock);
}

// The checks' failures are out of line, so that the spin lock routines around them stay a handful of
// instructions: the capture road takes several locks per request.
[[noreturn, gnu::cold, gnu::noinline]] void AboveDispatch(const char* routine) {
    nt::BugCheck(IRQL_NOT_LESS_OR_EQUAL, std::string(routine) + " called above DISPATCH_LEVEL", 0, t_irql,
                 DISPATCH_LEVEL);
}

[[noreturn, gnu::cold, gnu::noinline]] void BelowDispatch(const char* routine) {
    nt::BugCheck(IRQL_NOT_GREATER_OR_EQUAL, std::string(routine) + " called below DISPATCH_LEVEL", 0, t_irql,
                 DISPATCH_LEVEL);
}

void RequireAtMostDispatch(const char* routine) {
    if (t_irql > DISPATCH_LEVEL) {
        AboveDispatch(routine);
    }
}

void RequireDispatch(const char* routine) {
    if (t_irql < DISPATCH_LEVEL) {
        BelowDispatch(routine);
    }
}

inline void CpuRelax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
}

bool TryTake(PKSPIN_LOCK lock) {
    ULONG_PTR expected = 0;
    return LockWord(lock).compare_exchange_strong(expected, OwnerToken(), std::memory_order_acquire,
                                                  std::memory_order_relaxed);
}

[[noreturn, gnu::cold, gnu::noinline]] void TakenTwice(PKSPIN_LOCK lock) {
    nt::BugCheck(SPIN_LOCK_ALREADY_OWNED, "spin lock acquired twice by the same thread",
                 reinterpret_cast<ULONG_PTR>(lock));
}

[[noreturn, gnu::cold, gnu::noinline]] void GivenUnheld(PKSPIN_LOCK lock, ULONG_PTR held) {
    nt::BugCheck(SPIN_LOCK_NOT_OWNED,
                 held == 0 ? "spin lock released while not held" : "spin lock released by a thread not holding it",
                 reinterpret_cast<ULONG_PTR>(lock), held);
}

// Waits for a lock another thread holds. Holders here are host threads that can be preempted, unlike a
// processor at DISPATCH_LEVEL: spin briefly, then give the processor away while waiting.
[[gnu::noinline]] void TakeContended(PKSPIN_LOCK lock) {
    auto word = LockWord(lock);
    for (unsigned spins = 0;; ++spins) {
        if (word.load(std::memory_order_relaxed) == 0 && TryTake(lock)) {
            return;
        }
        if (spins < 64) {
            CpuRelax();
        } else {
            std::this_thread::yield();
        }
    }
}

void Take(PKSPIN_LOCK lock) {
    const ULONG_PTR held = LockWord(lock).load(std::memory_order_relaxed);
    if (held == 0 && TryTake(lock)) {
        return;
    }
    if (held == OwnerToken()) {
        TakenTwice(lock);
    }
    TakeContended(lock);
}

void Give(PKSPIN_LOCK lock) {
    auto word = LockWord(lock);
    ULONG_PTR held = word.load(std::memory_order_relaxed);
    if (held != OwnerToken()) {
        GivenUnheld(lock, held);
    }
    word.store(0, std::memory_order_release);
}

} // namespace

KIRQL KeGetCurrentIrql() {
    return t_irql;
}

[[noreturn, gnu::cold, gnu::noinline]] static void RaisedDownward(KIRQL NewIrql) {
    nt::BugCheck(IRQL_NOT_GREATER_OR_EQUAL, "KeRaiseIrql to a lower IRQL", t_irql, NewIrql);
}

KIRQL KfRaiseIrql(KIRQL NewIrql) {
    KIRQL old = t_irql;
    if (NewIrql < old) {
        RaisedDownward(NewIrql);
    }
    t_irql = NewIrql;
    return old;
}

[[noreturn, gnu::cold, gnu::noinline]] static void LoweredUpward(KIRQL NewIrql) {
    nt::BugCheck(IRQL_NOT_LESS_OR_EQUAL, "KeLowerIrql to a higher IRQL", t_irql, NewIrql);
}

void KeLowerIrql(KIRQL NewIrql) {
    if (NewIrql > t_irql) {
        LoweredUpward(NewIrql);
    }
    t_irql = NewIrql;
}

KIRQL KeRaiseIrqlToDpcLevel() {
    return KfRaiseIrql(DISPATCH_LEVEL);
}

namespace nt {

void AssertIrqlAtMost(KIRQL maximum, const char* routine) {
    if (t_irql > maximum) {
        BugCheck(IRQL_NOT_LESS_OR_EQUAL,
                 std::string(routine) + " runs at IRQL " + std::to_string(t_irql) + ", above its maximum " +
                     std::to_string(maximum),
                 0, t_irql, maximum);
    }
}

} // namespace nt

void KeInitializeSpinLock(PKSPIN_LOCK SpinLock) {
    LockWord(SpinLock).store(0, std::memory_order_release);
}

KIRQL KeAcquireSpinLockRaiseToDpc(PKSPIN_LOCK SpinLock) {
    RequireAtMostDispatch("KeAcquireSpinLock");
    KIRQL old = KfRaiseIrql(DISPATCH_LEVEL);
    Take(SpinLock);
    return old;
}

void KeReleaseSpinLock(PKSPIN_LOCK SpinLock, KIRQL NewIrql) {
    Give(SpinLock);
    KeLowerIrql(NewIrql);
}

void KeAcquireSpinLockAtDpcLevel(PKSPIN_LOCK SpinLock) {
    RequireDispatch("KeAcquireSpinLockAtDpcLevel");
    Take(SpinLock);
}

void KeReleaseSpinLockFromDpcLevel(PKSPIN_LOCK SpinLock) {
    RequireDispatch("KeReleaseSpinLockFromDpcLevel");
    Give(SpinLock);
}

BOOLEAN KeTryToAcquireSpinLockAtDpcLevel(PKSPIN_LOCK SpinLock) {
    RequireDispatch("KeTryToAcquireSpinLockAtDpcLevel");
    if (LockWord(SpinLock).load(std::memory_order_relaxed) == OwnerToken()) {
        nt::BugCheck(SPIN_LOCK_ALREADY_OWNED, "spin lock acquired twice by the same thread",
                     reinterpret_cast<ULONG_PTR>(SpinLock));
    }
    return TryTake(SpinLock) ? TRUE : FALSE;
}

BOOLEAN KeTestSpinLock(PKSPIN_LOCK SpinLock) {
    return LockWord(SpinLock).load(std::memory_order_acquire) != 0 ? TRUE : FALSE;
}

void KeAcquireInStackQueuedSpinLock(PKSPIN_LOCK SpinLock, PKLOCK_QUEUE_HANDLE LockHandle) {
    LockHandle->LockQueue.Next = nullptr;
    LockHandle->LockQueue.Lock = SpinLock;
    LockHandle->OldIrql = KeAcquireSpinLockRaiseToDpc(SpinLock);
}

void KeReleaseInStackQueuedSpinLock(PKLOCK_QUEUE_HANDLE LockHandle) {
    KeReleaseSpinLock(LockHandle->LockQueue.Lock, LockHandle->OldIrql);
}

void KeAcquireInStackQueuedSpinLockAtDpcLevel(PKSPIN_LOCK SpinLock, PKLOCK_QUEUE_HANDLE LockHandle) {
    LockHandle->LockQueue.Next = nullptr;
    LockHandle->LockQueue.Lock = SpinLock;
    KeAcquireSpinLockAtDpcLevel(SpinLock);
}

void KeReleaseInStackQueuedSpinLockFromDpcLevel(PKLOCK_QUEUE_HANDLE LockHandle) {
    KeReleaseSpinLockFromDpcLevel(LockHandle->LockQueue.Lock);
}

ULONG KeQueryActiveProcessorCountEx(USHORT GroupNumber) {
    (void)GroupNumber; // one group
    static const ULONG count = [] {
        const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
        return online > 0 ? static_cast<ULONG>(online) : 1u;
    }();
    return count;
}

namespace {

// The host's number of the processor the thread runs on: the C library keeps it in the thread's restartable
// sequence area, a plain read; without one, the system is asked.
int HostProcessor() {
    if (__rseq_size != 0) {
        const auto* area = reinterpret_cast<const volatile struct rseq*>(
            static_cast<const char*>(__builtin_thread_pointer()) + __rseq_offset);
        const auto cpu = static_cast<int>(area->cpu_id);
        if (cpu >= 0) {
            return cpu;
        }
    }
    return ::sched_getcpu();
}

} // namespace

ULONG KeGetCurrentProcessorNumberEx(PPROCESSOR_NUMBER ProcNumber) {
    const int cpu = HostProcessor();
    ULONG number = cpu >= 0 ? static_cast<ULONG>(cpu) : 0;
    const ULONG count = KeQueryActiveProcessorCountEx(ALL_PROCESSOR_GROUPS);
    if (number >= count) {
        number %= count; // processors numbered beyond the online count (some taken offline)
    }
    if (ProcNumber != nullptr) {
        ProcNumber->Group = 0;
        ProcNumber->Number = static_cast<UCHAR>(number);
        ProcNumber->Reserved = 0;
    }
    return number;
}
