// The counters per tag of the kernel pool (NtPoolInternal.h). Only the thread that owns a block of counters
// writes it (a free on another thread than the allocation counts there, so a thread's live figures may be
// negative); the sums go over every thread's. A thread's block outlives it: the next new thread takes it over,
// counts and all, so the sums stay right.
#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>

#include "NtBugCheck.h"
#include "NtPoolInternal.h"

namespace nt::pool::detail {
namespace {

struct TagCounters {
    std::atomic<uint64_t> key; // kKeyUsed | tag, 0 while the slot is free (tag 0 is a tag like any other)
    std::atomic<int64_t> liveBytes;
    std::atomic<int64_t> liveCount;
    std::atomic<uint64_t> allocations;
    std::atomic<uint64_t> frees;
    std::atomic<uint64_t> failures;
};
constexpr uint64_t kKeyUsed = uint64_t{1} << 32;
constexpr uint64_t KeyOf(ULONG tag) {
    return kKeyUsed | tag;
}
ULONG TagOf(const TagCounters& slot) {
    return static_cast<ULONG>(slot.key.load(std::memory_order_relaxed));
}
constexpr size_t kTagSlots = 256; // distinct tags one thread counts; more go to the shared overflow block

struct CounterBlock {
    std::array<TagCounters, kTagSlots> slots{};
    CounterBlock* next = nullptr; // in the list of every block
    CounterBlock* nextIdle = nullptr;
};

struct Accounting {
    std::mutex lock; // the block lists and the overflow block's counters
    CounterBlock* all = nullptr;
    CounterBlock* idle = nullptr; // blocks of threads that have ended
    CounterBlock overflow;
};

Accounting& TheAccounting() {
    static Accounting* accounting = new Accounting; // outlives every thread's exit
    return *accounting;
}

class ThreadCounters {
public:
    ~ThreadCounters() {
        if (m_block != nullptr) {
            Accounting& a = TheAccounting();
            std::lock_guard guard(a.lock);
            m_block->nextIdle = a.idle;
            a.idle = m_block;
        }
    }
    CounterBlock& Block() {
        if (m_block == nullptr) {
            Accounting& a = TheAccounting();
            std::lock_guard guard(a.lock);
            if (a.idle != nullptr) {
                m_block = a.idle;
                a.idle = m_block->nextIdle;
            } else {
                m_block = new CounterBlock;
                m_block->next = a.all;
                a.all = m_block;
            }
        }
        return *m_block;
    }

private:
    CounterBlock* m_block = nullptr;
};
thread_local ThreadCounters t_counters;

size_t TagSlotIndex(ULONG tag) {
    return (tag * 0x9E3779B1u) >> 24 & (kTagSlots - 1);
}

void Add(std::atomic<int64_t>& counter, int64_t value) {
    counter.store(counter.load(std::memory_order_relaxed) + value, std::memory_order_relaxed);
}
void Add(std::atomic<uint64_t>& counter, uint64_t value) {
    counter.store(counter.load(std::memory_order_relaxed) + value, std::memory_order_relaxed);
}

// Counts one event of a tag in this thread's block (or, when that is full, in the shared overflow block).
template <class Count> void CountTag(ULONG tag, Count count) {
    CounterBlock& block = t_counters.Block();
    for (size_t probe = 0, index = TagSlotIndex(tag); probe < kTagSlots; ++probe, index = (index + 1) % kTagSlots) {
        TagCounters& slot = block.slots[index];
        const uint64_t held = slot.key.load(std::memory_order_relaxed);
        if (held == KeyOf(tag)) {
            count(slot);
            return;
        }
        if (held == 0) {
            slot.key.store(KeyOf(tag), std::memory_order_release);
            count(slot);
            return;
        }
    }
    Accounting& a = TheAccounting();
    std::lock_guard guard(a.lock);
    for (TagCounters& slot : a.overflow.slots) {
        const uint64_t held = slot.key.load(std::memory_order_relaxed);
        if (held == KeyOf(tag) || held == 0) {
            slot.key.store(KeyOf(tag), std::memory_order_release);
            count(slot);
            return;
        }
    }
    nt::BugCheck(BAD_POOL_CALLER, "too many pool tags to count");
}

// Calls `visit` for every block of counters, the overflow block included (under the accounting lock).
template <class Visit> void ForEachCounter(Visit visit) {
    Accounting& a = TheAccounting();
    std::lock_guard guard(a.lock);
    for (CounterBlock* block = a.all; block != nullptr; block = block->next) {
        for (TagCounters& slot : block->slots) {
            if (slot.key.load(std::memory_order_acquire) != 0) {
                visit(slot);
            }
        }
    }
    for (TagCounters& slot : a.overflow.slots) {
        if (slot.key.load(std::memory_order_acquire) != 0) {
            visit(slot);
        }
    }
}

void AddTo(TagStats& sum, const TagCounters& slot) {
    sum.liveBytes += static_cast<SIZE_T>(slot.liveBytes.load(std::memory_order_relaxed));
    sum.liveCount += static_cast<SIZE_T>(slot.liveCount.load(std::memory_order_relaxed));
    sum.allocations += slot.allocations.load(std::memory_order_relaxed);
    sum.frees += slot.frees.load(std::memory_order_relaxed);
    sum.failures += slot.failures.load(std::memory_order_relaxed);
}

} // namespace

void CountAllocation(ULONG tag, SIZE_T size) {
    CountTag(tag, [size](TagCounters& c) {
        Add(c.liveBytes, static_cast<int64_t>(size));
        Add(c.liveCount, 1);
        Add(c.allocations, 1);
    });
}

void CountFree(ULONG tag, SIZE_T size) {
    CountTag(tag, [size](TagCounters& c) {
        Add(c.liveBytes, -static_cast<int64_t>(size));
        Add(c.liveCount, -1);
        Add(c.frees, 1);
    });
}

void CountFailure(ULONG tag) {
    CountTag(tag, [](TagCounters& c) { Add(c.failures, 1); });
}

TagStats SumOf(ULONG tag) {
    TagStats sum;
    sum.tag = tag;
    ForEachCounter([&](const TagCounters& slot) {
        if (TagOf(slot) == tag) {
            AddTo(sum, slot);
        }
    });
    return sum;
}

std::vector<TagStats> SumsOfAll() {
    std::vector<TagStats> all;
    ForEachCounter([&](const TagCounters& slot) {
        const ULONG tag = TagOf(slot);
        auto it = std::find_if(all.begin(), all.end(), [tag](const TagStats& s) { return s.tag == tag; });
        if (it == all.end()) {
            all.push_back({});
            it = all.end() - 1;
            it->tag = tag;
        }
        AddTo(*it, slot);
    });
    // A tag counts while something of it is live or it was used since the last reset.
    std::erase_if(all, [](const TagStats& s) {
        return s.liveCount == 0 && s.allocations == 0 && s.frees == 0 && s.failures == 0;
    });
    return all;
}

void ResetTotals() {
    ForEachCounter([](TagCounters& slot) {
        slot.allocations.store(0, std::memory_order_relaxed);
        slot.frees.store(0, std::memory_order_relaxed);
        slot.failures.store(0, std::memory_order_relaxed);
    });
}

} // namespace nt::pool::detail
