#include "NtPool.h"

#include <cstring>
#include <map>
#include <mutex>
#include <new>
#include <shared_mutex>
#include <unordered_map>

#include <sanitizer/asan_interface.h>

#include "NtBugCheck.h"
#include "NtInterlocked.h"
#include "NtIrql.h"
#include "NtPoolControl.h"

// Live allocations and registered ranges are kept in ordered maps keyed by start address under one
// reader-writer lock: MmIsAddressValid (called for every buffer the capture road copies) takes the shared
// side only. Pool allocations never overlap; registered ranges may (the same user buffer locked twice, a
// buffer inside another), so their lookup also walks back over earlier starts, bounded by the longest
// registered range.
namespace {

constexpr std::align_val_t kAlignment{MEMORY_ALLOCATION_ALIGNMENT};
// Every block is followed by a guard that belongs to no block, so two valid blocks are always at least a
// page apart. A driver that checks the first and the last byte of each page-sized piece it reads (the page
// is what the platform maps whole or not at all) can then never step over the end of one block into the
// next. The guard is poisoned for AddressSanitizer, so an overrun of a block is still caught.
constexpr SIZE_T kGuard = 0x1000; // one page
constexpr unsigned char kFreshFill = 0xC5;
constexpr ULONG kDefaultTag = nt::pool::TagFromString("None");

struct Allocation {
    SIZE_T size;
    ULONG tag;
};

struct Registration {
    ULONG_PTR end;
    unsigned count;
};

struct Plan {
    nt::pool::FailurePlan plan;
    uint64_t seen = 0; // matching calls so far
};

struct PoolState {
    std::shared_mutex lock;
    std::map<ULONG_PTR, Allocation> live;
    std::map<std::pair<ULONG_PTR, ULONG_PTR>, unsigned> registered; // (start, end) -> registrations
    SIZE_T longestRegistration = 0;
    std::unordered_map<ULONG, nt::pool::TagStats> stats;
    std::vector<Plan> plans;
    uint64_t callsSinceNth = 0;
    uint64_t failNth = 0; // 0: none
};

PoolState& State() {
    static PoolState state;
    return state;
}

nt::pool::TagStats& StatsOf(PoolState& s, ULONG tag) {
    auto& st = s.stats[tag];
    st.tag = tag;
    return st;
}

// Under the exclusive lock: whether this allocation is to fail.
bool ShouldFail(PoolState& s, ULONG tag) {
    bool fail = false;
    if (s.failNth != 0 && ++s.callsSinceNth == s.failNth) {
        s.failNth = 0;
        fail = true;
    }
    for (Plan& p : s.plans) {
        if (p.plan.tag != 0 && p.plan.tag != tag) {
            continue;
        }
        uint64_t index = p.seen++;
        if (index >= p.plan.skip && index - p.plan.skip < p.plan.count) {
            fail = true;
        }
    }
    return fail;
}

bool InLive(const PoolState& s, ULONG_PTR start, ULONG_PTR end) {
    auto it = s.live.upper_bound(start);
    if (it == s.live.begin()) {
        return false;
    }
    --it;
    return end <= it->first + it->second.size;
}

bool InRegistered(const PoolState& s, ULONG_PTR start, ULONG_PTR end) {
    auto it = s.registered.upper_bound({start, ~ULONG_PTR{0}});
    while (it != s.registered.begin()) {
        --it;
        if (start - it->first.first > s.longestRegistration) {
            break;
        }
        if (end <= it->first.second) {
            return true;
        }
    }
    return false;
}

bool RangeValid(ULONG_PTR start, ULONG_PTR end) {
    if (end <= start) {
        return false; // empty, or wrapped past the top of the address space
    }
    PoolState& s = State();
    std::shared_lock guard(s.lock);
    return InLive(s, start, end) || InRegistered(s, start, end);
}

void FreeChecked(PVOID p, const ULONG* expectedTag) {
    if (p == nullptr) {
        nt::BugCheck(BAD_POOL_CALLER, "freeing a null pool address", 0x46);
    }
    PoolState& s = State();
    auto key = reinterpret_cast<ULONG_PTR>(p);
    {
        std::unique_lock guard(s.lock);
        auto it = s.live.find(key);
        if (it == s.live.end()) {
            guard.unlock();
            nt::BugCheck(BAD_POOL_CALLER, "freeing an address that is not a live pool allocation (double free?)",
                         0x7, 0, key);
        }
        if (expectedTag != nullptr && *expectedTag != it->second.tag) {
            ULONG actual = it->second.tag;
            guard.unlock();
            nt::BugCheck(BAD_POOL_CALLER, "freeing pool with another tag than it was allocated with", 0xA, key,
                         *expectedTag, actual);
        }
        auto& st = StatsOf(s, it->second.tag);
        st.liveBytes -= it->second.size;
        st.liveCount -= 1;
        st.frees += 1;
        ASAN_UNPOISON_MEMORY_REGION(static_cast<char*>(p) + it->second.size, kGuard);
        s.live.erase(it);
    }
    ::operator delete(p, kAlignment);
}

} // namespace

PVOID ExAllocatePoolWithTag(POOL_TYPE PoolType, SIZE_T NumberOfBytes, ULONG Tag) {
    // Non-paged pool may be asked for up to DISPATCH_LEVEL, paged pool only below it.
    bool paged = (PoolType & 1) != 0 && PoolType != NonPagedPoolNx;
    nt::AssertIrqlAtMost(paged ? APC_LEVEL : DISPATCH_LEVEL, "ExAllocatePoolWithTag");
    PoolState& s = State();
    {
        std::unique_lock guard(s.lock);
        if (ShouldFail(s, Tag)) {
            StatsOf(s, Tag).failures += 1;
            return nullptr;
        }
    }
    SIZE_T size = NumberOfBytes == 0 ? 1 : NumberOfBytes;
    void* p = ::operator new(size + kGuard, kAlignment, std::nothrow);
    if (p == nullptr) {
        std::unique_lock guard(s.lock);
        StatsOf(s, Tag).failures += 1;
        return nullptr;
    }
    std::memset(p, kFreshFill, size);
    ASAN_POISON_MEMORY_REGION(static_cast<char*>(p) + size, kGuard);
    std::unique_lock guard(s.lock);
    s.live.emplace(reinterpret_cast<ULONG_PTR>(p), Allocation{size, Tag});
    auto& st = StatsOf(s, Tag);
    st.liveBytes += size;
    st.liveCount += 1;
    st.allocations += 1;
    return p;
}

PVOID ExAllocatePool(POOL_TYPE PoolType, SIZE_T NumberOfBytes) {
    return ExAllocatePoolWithTag(PoolType, NumberOfBytes, kDefaultTag);
}

void ExFreePoolWithTag(PVOID P, ULONG Tag) {
    nt::AssertIrqlAtMost(DISPATCH_LEVEL, "ExFreePoolWithTag");
    FreeChecked(P, Tag == 0 ? nullptr : &Tag);
}

void ExFreePool(PVOID P) {
    nt::AssertIrqlAtMost(DISPATCH_LEVEL, "ExFreePool");
    FreeChecked(P, nullptr);
}

BOOLEAN MmIsAddressValid(PVOID VirtualAddress) {
    auto start = reinterpret_cast<ULONG_PTR>(VirtualAddress);
    return RangeValid(start, start + 1) ? TRUE : FALSE;
}

SIZE_T RtlCompareMemory(const void* Source1, const void* Source2, SIZE_T Length) {
    auto a = static_cast<const unsigned char*>(Source1);
    auto b = static_cast<const unsigned char*>(Source2);
    SIZE_T i = 0;
    while (i < Length && a[i] == b[i]) {
        ++i;
    }
    return i;
}

namespace nt::pool {

TagStats Stats(ULONG tag) {
    PoolState& s = State();
    std::shared_lock guard(s.lock);
    auto it = s.stats.find(tag);
    if (it == s.stats.end()) {
        TagStats none;
        none.tag = tag;
        return none;
    }
    return it->second;
}

std::vector<TagStats> AllStats() {
    PoolState& s = State();
    std::shared_lock guard(s.lock);
    std::vector<TagStats> all;
    for (const auto& [tag, st] : s.stats) {
        all.push_back(st);
    }
    return all;
}

SIZE_T LiveCount() {
    PoolState& s = State();
    std::shared_lock guard(s.lock);
    return s.live.size();
}

SIZE_T LiveBytes() {
    PoolState& s = State();
    std::shared_lock guard(s.lock);
    SIZE_T total = 0;
    for (const auto& [start, a] : s.live) {
        total += a.size;
    }
    return total;
}

std::vector<LiveAllocation> LiveAllocations(ULONG tag) {
    PoolState& s = State();
    std::shared_lock guard(s.lock);
    std::vector<LiveAllocation> all;
    for (const auto& [start, a] : s.live) {
        if (tag == 0 || a.tag == tag) {
            all.push_back({reinterpret_cast<PVOID>(start), a.size, a.tag});
        }
    }
    return all;
}

void InjectFailure(const FailurePlan& plan) {
    PoolState& s = State();
    std::unique_lock guard(s.lock);
    s.plans.push_back({plan, 0});
}

void FailNthAllocation(uint64_t n) {
    PoolState& s = State();
    std::unique_lock guard(s.lock);
    s.failNth = n;
    s.callsSinceNth = 0;
}

void ClearInjectedFailures() {
    PoolState& s = State();
    std::unique_lock guard(s.lock);
    s.plans.clear();
    s.failNth = 0;
}

void RegisterRange(const void* start, SIZE_T length) {
    if (length == 0) {
        return;
    }
    auto first = reinterpret_cast<ULONG_PTR>(start);
    PoolState& s = State();
    std::unique_lock guard(s.lock);
    s.registered[{first, first + length}] += 1;
    if (length > s.longestRegistration) {
        s.longestRegistration = length;
    }
}

void UnregisterRange(const void* start, SIZE_T length) {
    if (length == 0) {
        return;
    }
    auto first = reinterpret_cast<ULONG_PTR>(start);
    PoolState& s = State();
    std::unique_lock guard(s.lock);
    auto it = s.registered.find({first, first + length});
    if (it != s.registered.end() && --it->second == 0) {
        s.registered.erase(it);
    }
}

bool IsRangeValid(const void* start, SIZE_T length) {
    auto first = reinterpret_cast<ULONG_PTR>(start);
    if (length == 0) {
        length = 1;
    }
    if (first + length < first) {
        return false;
    }
    return RangeValid(first, first + length);
}

void Reset() {
    PoolState& s = State();
    std::unique_lock guard(s.lock);
    s.plans.clear();
    s.failNth = 0;
    s.callsSinceNth = 0;
    for (auto it = s.stats.begin(); it != s.stats.end();) {
        TagStats& st = it->second;
        st.allocations = st.frees = st.failures = 0;
        if (st.liveCount == 0) {
            it = s.stats.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace nt::pool
