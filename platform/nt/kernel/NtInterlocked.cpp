#include "NtInterlocked.h"

#include <atomic>
#include <thread>

#include "NtBugCheck.h"

// Writers of one list serialise on bit 0 of Region (the first entry's address, 16-byte aligned). Depth and
// sequence live in Alignment, which readers load without the lock.
namespace {

constexpr ULONGLONG kBusy = 1;

std::atomic_ref<ULONGLONG> RegionWord(PSLIST_HEADER head) {
    return std::atomic_ref<ULONGLONG>(head->s.Region);
}
std::atomic_ref<ULONGLONG> CountWord(PSLIST_HEADER head) {
    return std::atomic_ref<ULONGLONG>(head->s.Alignment);
}

// Takes the list's writer bit; returns the first entry.
PSLIST_ENTRY Lock(PSLIST_HEADER head) {
    auto region = RegionWord(head);
    for (unsigned spins = 0;; ++spins) {
        ULONGLONG value = region.load(std::memory_order_relaxed);
        if ((value & kBusy) == 0 &&
            region.compare_exchange_weak(value, value | kBusy, std::memory_order_acquire, std::memory_order_relaxed)) {
            return reinterpret_cast<PSLIST_ENTRY>(value);
        }
        if (spins >= 64) {
            std::this_thread::yield();
        }
    }
}

// Publishes the new first entry and depth, and gives the writer bit back.
void Unlock(PSLIST_HEADER head, PSLIST_ENTRY first, ULONGLONG depth) {
    auto count = CountWord(head);
    ULONGLONG sequence = (count.load(std::memory_order_relaxed) >> 16) + 1;
    count.store((sequence << 16) | (depth & 0xFFFF), std::memory_order_relaxed);
    RegionWord(head).store(reinterpret_cast<ULONGLONG>(first), std::memory_order_release);
}

ULONGLONG Depth(PSLIST_HEADER head) {
    return CountWord(head).load(std::memory_order_relaxed) & 0xFFFF;
}

} // namespace

void InitializeSListHead(PSLIST_HEADER SListHead) {
    if ((reinterpret_cast<ULONG_PTR>(SListHead) & 15) != 0) {
        nt::BugCheck(KERNEL_SECURITY_CHECK_FAILURE, "SLIST_HEADER not 16-byte aligned",
                     reinterpret_cast<ULONG_PTR>(SListHead));
    }
    SListHead->s.Alignment = 0;
    SListHead->s.Region = 0;
}

PSLIST_ENTRY InterlockedPushEntrySList(PSLIST_HEADER ListHead, PSLIST_ENTRY ListEntry) {
    if ((reinterpret_cast<ULONG_PTR>(ListEntry) & 15) != 0) {
        nt::BugCheck(KERNEL_SECURITY_CHECK_FAILURE, "SLIST_ENTRY not 16-byte aligned",
                     reinterpret_cast<ULONG_PTR>(ListEntry));
    }
    PSLIST_ENTRY first = Lock(ListHead);
    ListEntry->Next = first;
    Unlock(ListHead, ListEntry, Depth(ListHead) + 1);
    return first;
}

PSLIST_ENTRY InterlockedPopEntrySList(PSLIST_HEADER ListHead) {
    PSLIST_ENTRY first = Lock(ListHead);
    if (first == nullptr) {
        Unlock(ListHead, nullptr, 0);
        return nullptr;
    }
    Unlock(ListHead, first->Next, Depth(ListHead) - 1);
    return first;
}

PSLIST_ENTRY InterlockedFlushSList(PSLIST_HEADER ListHead) {
    PSLIST_ENTRY first = Lock(ListHead);
    Unlock(ListHead, nullptr, 0);
    return first;
}

USHORT ExQueryDepthSList(PSLIST_HEADER SListHead) {
    return static_cast<USHORT>(Depth(SListHead));
}

PSLIST_ENTRY FirstEntrySList(PSLIST_HEADER SListHead) {
    return reinterpret_cast<PSLIST_ENTRY>(RegionWord(SListHead).load(std::memory_order_acquire) & ~kBusy);
}
