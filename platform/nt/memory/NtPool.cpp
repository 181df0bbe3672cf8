#include "NtPool.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#include <sanitizer/asan_interface.h>

#include "NtBugCheck.h"
#include "NtInterlocked.h"
#include "NtIrql.h"
#include "NtPoolControl.h"
#include "NtPoolInternal.h"

// The blocks of the kernel pool, its failure injection and the routines the rest of the platform calls.
// Which addresses are valid is NtPoolAddresses.cpp's (read without a lock), the counters per tag are
// NtPoolAccounting.cpp's.
namespace {

using namespace nt::pool::detail;

constexpr std::align_val_t kAlignment{MEMORY_ALLOCATION_ALIGNMENT};
// Every block is followed by a guard that belongs to no block, so two valid blocks are always at least a
// page apart. A driver that checks the first and the last byte of each page-sized piece it reads (the page
// is what the platform maps whole or not at all) can then never step over the end of one block into the
// next. The guard is poisoned for AddressSanitizer, so an overrun of a block is still caught.
constexpr SIZE_T kGuard = 0x1000; // one page
// Before every block: its size, tag and state, poisoned like the guard so that an underrun is caught too.
struct BlockHeader {
    std::atomic<ULONG> state;
    ULONG tag;
    SIZE_T size;
};
constexpr SIZE_T kHeader = MEMORY_ALLOCATION_ALIGNMENT;
static_assert(sizeof(BlockHeader) <= kHeader);
constexpr ULONG kLiveBlock = 0x4C6F6F50;  // "PooL"
constexpr ULONG kFreedBlock = 0x65657246; // "Free"
constexpr ULONG kDefaultTag = nt::pool::TagFromString("None");

// Windows' pool does not zero what it hands out. Under the sanitizers (the tests) fresh memory is filled
// with this byte so that code which forgets to initialise it shows; other builds leave it as it comes.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TDL_POOL_FILLS_FRESH 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define TDL_POOL_FILLS_FRESH 1
#endif
#ifdef TDL_POOL_FILLS_FRESH
constexpr bool kFillFresh = true;
#else
constexpr bool kFillFresh = false;
#endif
constexpr unsigned char kFreshFill = 0xC5;

// The header of the live block that starts at `address`, or null when no block starts there.
BlockHeader* LiveHeader(ULONG_PTR address) {
    return BlockStartsAt(address) ? reinterpret_cast<BlockHeader*>(address - kHeader) : nullptr;
}

bool RangeValid(ULONG_PTR start, ULONG_PTR end) {
    if (end <= start) {
        return false; // empty, or wrapped past the top of the address space
    }
    return InPool(start, end) || InRegistered(start, end);
}

// --- Failure injection ---

struct Plan {
    nt::pool::FailurePlan plan;
    uint64_t seen = 0; // matching calls so far
};

struct Injection {
    std::mutex lock;
    std::vector<Plan> plans;
    uint64_t callsSinceNth = 0;
    uint64_t failNth = 0;           // 0: none
    std::atomic<bool> armed{false}; // a plan or an n-th failure is set: allocations look
};

Injection& TheInjection() {
    static Injection* injection = new Injection; // allocations may come after static destruction has begun
    return *injection;
}

void Rearm(Injection& i) {
    i.armed.store(!i.plans.empty() || i.failNth != 0, std::memory_order_release);
}

// Whether this allocation is to fail.
bool ShouldFail(ULONG tag) {
    Injection& i = TheInjection();
    if (!i.armed.load(std::memory_order_acquire)) {
        return false;
    }
    std::lock_guard guard(i.lock);
    bool fail = false;
    if (i.failNth != 0 && ++i.callsSinceNth == i.failNth) {
        i.failNth = 0;
        fail = true;
    }
    for (Plan& p : i.plans) {
        if (p.plan.tag != 0 && p.plan.tag != tag) {
            continue;
        }
        uint64_t index = p.seen++;
        if (index >= p.plan.skip && index - p.plan.skip < p.plan.count) {
            fail = true;
        }
    }
    Rearm(i);
    return fail;
}

// --- Memory of large blocks ---

// Large blocks (a driver's log blocks, big buffers) come and go in a steady rhythm; handing their memory back
// to the host each time costs page faults and address-space shootdowns on every new one. Without the
// sanitizers the pool keeps a few freed ones of each size for the next allocation; with them every block
// goes back at once, so that a use after free is still caught.
constexpr SIZE_T kCachedFrom = 16 * 1024;        // whole allocations this large are kept
constexpr SIZE_T kCachedBytes = 8 * 1024 * 1024; // at most this much memory in all
constexpr size_t kCachedSizes = 8;               // distinct sizes kept

struct LargeCache {
    struct Size {
        SIZE_T bytes = 0;
        std::vector<void*> free;
    };
    std::mutex lock;
    std::array<Size, kCachedSizes> sizes;
    SIZE_T held = 0;
};

LargeCache& TheLargeCache() {
    static LargeCache* cache = new LargeCache; // frees may come after static destruction has begun
    return *cache;
}

void* TakeMemory(SIZE_T bytes) {
    if (!kFillFresh && bytes >= kCachedFrom) {
        LargeCache& c = TheLargeCache();
        std::lock_guard guard(c.lock);
        for (LargeCache::Size& size : c.sizes) {
            if (size.bytes == bytes && !size.free.empty()) {
                void* memory = size.free.back();
                size.free.pop_back();
                c.held -= bytes;
                return memory;
            }
        }
    }
    return ::operator new(bytes, kAlignment, std::nothrow);
}

void GiveMemory(void* memory, SIZE_T bytes) {
    if (!kFillFresh && bytes >= kCachedFrom) {
        LargeCache& c = TheLargeCache();
        std::lock_guard guard(c.lock);
        if (c.held + bytes <= kCachedBytes) {
            LargeCache::Size* slot = nullptr;
            for (LargeCache::Size& size : c.sizes) {
                if (size.bytes == bytes || (slot == nullptr && size.free.empty())) {
                    slot = &size;
                    if (size.bytes == bytes) {
                        break;
                    }
                }
            }
            if (slot != nullptr) {
                slot->bytes = bytes;
                slot->free.push_back(memory);
                c.held += bytes;
                return;
            }
        }
    }
    ::operator delete(memory, kAlignment);
}

// --- Blocks ---

BlockHeader* HeaderOfLive(PVOID p) {
    BlockHeader* header = LiveHeader(reinterpret_cast<ULONG_PTR>(p));
    if (header != nullptr) {
        ASAN_UNPOISON_MEMORY_REGION(header, kHeader);
    }
    return header;
}

void FreeChecked(PVOID p, const ULONG* expectedTag) {
    if (p == nullptr) {
        nt::BugCheck(BAD_POOL_CALLER, "freeing a null pool address", 0x46);
    }
    const auto key = reinterpret_cast<ULONG_PTR>(p);
    BlockHeader* header = HeaderOfLive(p);
    if (header == nullptr || header->state.load(std::memory_order_acquire) != kLiveBlock) {
        nt::BugCheck(BAD_POOL_CALLER, "freeing an address that is not a live pool allocation (double free?)", 0x7, 0,
                     key);
    }
    if (expectedTag != nullptr && *expectedTag != header->tag) {
        nt::BugCheck(BAD_POOL_CALLER, "freeing pool with another tag than it was allocated with", 0xA, key,
                     *expectedTag, header->tag);
    }
    // Of two threads freeing the same block, one gets it.
    ULONG live = kLiveBlock;
    if (!header->state.compare_exchange_strong(live, kFreedBlock, std::memory_order_acq_rel)) {
        nt::BugCheck(BAD_POOL_CALLER, "freeing an address that is not a live pool allocation (double free?)", 0x7, 0,
                     key);
    }
    const SIZE_T size = header->size;
    const ULONG tag = header->tag;
    MarkBlock(key, size, false);
    CountFree(tag, size);
    ASAN_UNPOISON_MEMORY_REGION(static_cast<char*>(p) + size, kGuard);
    GiveMemory(header, kHeader + size + kGuard);
}

} // namespace

PVOID ExAllocatePoolWithTag(POOL_TYPE PoolType, SIZE_T NumberOfBytes, ULONG Tag) {
    // Non-paged pool may be asked for up to DISPATCH_LEVEL, paged pool only below it.
    bool paged = (PoolType & 1) != 0 && PoolType != NonPagedPoolNx;
    nt::AssertIrqlAtMost(paged ? APC_LEVEL : DISPATCH_LEVEL, "ExAllocatePoolWithTag");
    if (ShouldFail(Tag)) {
        CountFailure(Tag);
        return nullptr;
    }
    SIZE_T size = NumberOfBytes == 0 ? 1 : NumberOfBytes;
    if (size > SIZE_MAX - kHeader - kGuard) {
        CountFailure(Tag);
        return nullptr;
    }
    auto* base = static_cast<char*>(TakeMemory(kHeader + size + kGuard));
    if (base == nullptr) {
        CountFailure(Tag);
        return nullptr;
    }
    auto* header = new (base) BlockHeader{{kLiveBlock}, Tag, size};
    (void)header;
    char* p = base + kHeader;
    if constexpr (kFillFresh) {
        std::memset(p, kFreshFill, size);
    }
    ASAN_POISON_MEMORY_REGION(base, kHeader);
    ASAN_POISON_MEMORY_REGION(p + size, kGuard);
    MarkBlock(reinterpret_cast<ULONG_PTR>(p), size, true);
    CountAllocation(Tag, size);
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
    return SumOf(tag);
}

std::vector<TagStats> AllStats() {
    return SumsOfAll();
}

SIZE_T LiveCount() {
    SIZE_T count = 0;
    for (const TagStats& stats : SumsOfAll()) {
        count += stats.liveCount;
    }
    return count;
}

SIZE_T LiveBytes() {
    SIZE_T bytes = 0;
    for (const TagStats& stats : SumsOfAll()) {
        bytes += stats.liveBytes;
    }
    return bytes;
}

std::vector<LiveAllocation> LiveAllocations(ULONG tag) {
    std::vector<LiveAllocation> all;
    ForEachBlockStart([&](ULONG_PTR address) {
        BlockHeader* header = HeaderOfLive(reinterpret_cast<PVOID>(address));
        if (header == nullptr) {
            return;
        }
        if (header->state.load(std::memory_order_acquire) == kLiveBlock && (tag == 0 || header->tag == tag)) {
            all.push_back({reinterpret_cast<PVOID>(address), header->size, header->tag});
        }
        ASAN_POISON_MEMORY_REGION(header, kHeader);
    });
    return all;
}

void InjectFailure(const FailurePlan& plan) {
    Injection& i = TheInjection();
    std::lock_guard guard(i.lock);
    i.plans.push_back({plan, 0});
    Rearm(i);
}

void FailNthAllocation(uint64_t n) {
    Injection& i = TheInjection();
    std::lock_guard guard(i.lock);
    i.failNth = n;
    i.callsSinceNth = 0;
    Rearm(i);
}

void ClearInjectedFailures() {
    Injection& i = TheInjection();
    std::lock_guard guard(i.lock);
    i.plans.clear();
    i.failNth = 0;
    Rearm(i);
}

void RegisterRange(const void* start, SIZE_T length) {
    if (length == 0) {
        return;
    }
    auto first = reinterpret_cast<ULONG_PTR>(start);
    AddRange(first, first + length);
}

void UnregisterRange(const void* start, SIZE_T length) {
    if (length == 0) {
        return;
    }
    auto first = reinterpret_cast<ULONG_PTR>(start);
    RemoveRange(first, first + length);
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

bool FillsFreshMemory() {
    return kFillFresh;
}

void Reset() {
    ClearInjectedFailures();
    {
        Injection& i = TheInjection();
        std::lock_guard guard(i.lock);
        i.callsSinceNth = 0;
    }
    ResetTotals();
}

} // namespace nt::pool
