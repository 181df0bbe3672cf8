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

// MmIsAddressValid is asked about every buffer the capture road copies, from many threads at once, so its
// answers take no lock:
// - Pool blocks are described by a page table (three levels of 4096 entries over 48-bit addresses) with one
//   word per page: the bytes [low, high) of the page that belong to a live block. A page never holds bytes of
//   two blocks, because every block is followed by a guard page that belongs to no block (below). Allocating
//   and freeing a block write the words of its pages; readers load them.
// - Registered ranges live in slots of (start, end), each guarded by its own sequence count; registering
//   claims a free slot, removing frees it, and readers scan the slots in use, skipping one that changes while
//   they read it (the registration it held is being made or removed at that very moment).
// The accounting per tag is kept in counters of each thread that allocates or frees, summed when asked for.
namespace {

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
constexpr ULONG kLiveBlock = 0x4C6F6F50; // "PooL"
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

// --- The page table of pool blocks ---

constexpr unsigned kPageShift = 12;
constexpr ULONG_PTR kPageBytes = ULONG_PTR{1} << kPageShift;
constexpr unsigned kLevelBits = 12;
constexpr size_t kLevelEntries = size_t{1} << kLevelBits;
constexpr unsigned kAddressBits = 48; // pool lies below 2^48; higher addresses are never pool
// A page's word: low in bits 0-12, high in bits 16-28, and bit 31 when a block starts in the page (at low).
constexpr ULONG kStartsHere = 0x80000000;

constexpr ULONG PageWord(ULONG_PTR low, ULONG_PTR high, bool startsHere) {
    return static_cast<ULONG>(low | (high << 16)) | (startsHere ? kStartsHere : 0);
}
constexpr ULONG_PTR WordLow(ULONG word) { return word & 0x1FFF; }
constexpr ULONG_PTR WordHigh(ULONG word) { return (word >> 16) & 0x1FFF; }

using Leaf = std::array<std::atomic<ULONG>, kLevelEntries>;
using Middle = std::array<std::atomic<Leaf*>, kLevelEntries>;
std::array<std::atomic<Middle*>, kLevelEntries> g_top{};

template <class Node> Node* NewNode() {
    auto* node = static_cast<Node*>(::operator new(sizeof(Node)));
    std::memset(static_cast<void*>(node), 0, sizeof(Node));
    return node;
}

// The node an entry points to, made when there is none yet (nodes stay for the process's life).
template <class Node> Node* NodeAt(std::atomic<Node*>& entry) {
    Node* node = entry.load(std::memory_order_acquire);
    if (node != nullptr) {
        return node;
    }
    Node* made = NewNode<Node>();
    if (entry.compare_exchange_strong(node, made, std::memory_order_acq_rel, std::memory_order_acquire)) {
        return made;
    }
    ::operator delete(made);
    return node;
}

// The word of the page holding `address`; 0 when no pool block has bytes there.
ULONG PageWordOf(ULONG_PTR address) {
    if ((address >> kAddressBits) != 0) {
        return 0;
    }
    const ULONG_PTR page = address >> kPageShift;
    const Middle* middle = g_top[page >> (2 * kLevelBits)].load(std::memory_order_acquire);
    if (middle == nullptr) {
        return 0;
    }
    const Leaf* leaf = (*middle)[(page >> kLevelBits) & (kLevelEntries - 1)].load(std::memory_order_acquire);
    if (leaf == nullptr) {
        return 0;
    }
    return (*leaf)[page & (kLevelEntries - 1)].load(std::memory_order_acquire);
}

std::atomic<ULONG>& PageWordSlot(ULONG_PTR page) {
    Middle* middle = NodeAt(g_top[page >> (2 * kLevelBits)]);
    Leaf* leaf = NodeAt((*middle)[(page >> kLevelBits) & (kLevelEntries - 1)]);
    return (*leaf)[page & (kLevelEntries - 1)];
}

// Writes the words of the pages [start, start + size) covers: the block's bytes, or none.
void MarkBlock(ULONG_PTR start, SIZE_T size, bool live) {
    const ULONG_PTR end = start + size;
    for (ULONG_PTR at = start; at < end;) {
        const ULONG_PTR page = at >> kPageShift;
        const ULONG_PTR low = at & (kPageBytes - 1);
        const ULONG_PTR pageEnd = (page + 1) << kPageShift;
        const ULONG_PTR high = end < pageEnd ? end & (kPageBytes - 1) : kPageBytes;
        PageWordSlot(page).store(live ? PageWord(low, high, at == start) : 0, std::memory_order_release);
        at = pageEnd;
    }
}

bool InPool(ULONG_PTR start, ULONG_PTR end) {
    // Whole pages between first and last: a run of valid bytes over a page boundary is always one block.
    for (ULONG_PTR at = start; at < end;) {
        const ULONG word = PageWordOf(at);
        const ULONG_PTR pageEnd = ((at >> kPageShift) + 1) << kPageShift;
        const ULONG_PTR stop = end < pageEnd ? end : pageEnd;
        if (word == 0 || WordLow(word) > (at & (kPageBytes - 1)) || WordHigh(word) < stop - (pageEnd - kPageBytes)) {
            return false;
        }
        at = stop;
    }
    return true;
}

// The header of the live block that starts at `address`, or null when no block starts there.
BlockHeader* LiveHeader(ULONG_PTR address) {
    const ULONG word = PageWordOf(address);
    if ((word & kStartsHere) == 0 || WordLow(word) != (address & (kPageBytes - 1))) {
        return nullptr;
    }
    return reinterpret_cast<BlockHeader*>(address - kHeader);
}

// --- Registered ranges ---

// One registration. Its writer holds the slot (state kClaimed) while it changes start and end, between two
// steps of the sequence count; readers skip a slot whose count is odd or moved while they read it.
struct RangeSlot {
    std::atomic<ULONG> state; // kFree, kClaimed, kInUse
    std::atomic<uint64_t> sequence;
    std::atomic<ULONG_PTR> start;
    std::atomic<ULONG_PTR> end;
};
constexpr ULONG kFree = 0;
constexpr ULONG kClaimed = 1;
constexpr ULONG kInUse = 2;
constexpr size_t kSlotsPerChunk = 256;
constexpr size_t kChunks = 256;
using SlotChunk = std::array<RangeSlot, kSlotsPerChunk>;
std::array<std::atomic<SlotChunk*>, kChunks> g_rangeChunks{};
std::atomic<size_t> g_rangeSlotsUsed{0}; // slots ever used: readers scan no further

RangeSlot& SlotAt(size_t index) {
    return (*NodeAt(g_rangeChunks[index / kSlotsPerChunk]))[index % kSlotsPerChunk];
}

void WriteSlot(RangeSlot& slot, ULONG_PTR start, ULONG_PTR end, ULONG state) {
    slot.sequence.fetch_add(1, std::memory_order_acq_rel);
    slot.start.store(start, std::memory_order_relaxed);
    slot.end.store(end, std::memory_order_relaxed);
    slot.sequence.fetch_add(1, std::memory_order_release);
    slot.state.store(state, std::memory_order_release);
}

void AddRange(ULONG_PTR start, ULONG_PTR end) {
    for (size_t index = 0; index < kChunks * kSlotsPerChunk; ++index) {
        RangeSlot& slot = SlotAt(index);
        ULONG expected = kFree;
        if (!slot.state.compare_exchange_strong(expected, kClaimed, std::memory_order_acquire)) {
            continue;
        }
        size_t used = g_rangeSlotsUsed.load(std::memory_order_relaxed);
        while (used < index + 1 &&
               !g_rangeSlotsUsed.compare_exchange_weak(used, index + 1, std::memory_order_release)) {
        }
        WriteSlot(slot, start, end, kInUse);
        return;
    }
    nt::BugCheck(DRIVER_VERIFIER_DETECTED_VIOLATION, "too many address ranges registered at once (are they ever removed?)");
}

void RemoveRange(ULONG_PTR start, ULONG_PTR end) {
    const size_t used = g_rangeSlotsUsed.load(std::memory_order_acquire);
    for (size_t index = 0; index < used; ++index) {
        RangeSlot& slot = SlotAt(index);
        if (slot.state.load(std::memory_order_acquire) != kInUse || slot.start.load(std::memory_order_relaxed) != start ||
            slot.end.load(std::memory_order_relaxed) != end) {
            continue;
        }
        ULONG expected = kInUse;
        if (slot.state.compare_exchange_strong(expected, kClaimed, std::memory_order_acquire)) {
            if (slot.start.load(std::memory_order_relaxed) == start && slot.end.load(std::memory_order_relaxed) == end) {
                WriteSlot(slot, 0, 0, kFree);
                return;
            }
            slot.state.store(kInUse, std::memory_order_release); // another registration took it meanwhile
        }
    }
}

bool InRegistered(ULONG_PTR start, ULONG_PTR end) {
    const size_t used = g_rangeSlotsUsed.load(std::memory_order_acquire);
    for (size_t index = 0; index < used; ++index) {
        const SlotChunk* chunk = g_rangeChunks[index / kSlotsPerChunk].load(std::memory_order_acquire);
        if (chunk == nullptr) {
            index += kSlotsPerChunk - 1;
            continue;
        }
        const RangeSlot& slot = (*chunk)[index % kSlotsPerChunk];
        const uint64_t before = slot.sequence.load(std::memory_order_acquire);
        if ((before & 1) != 0) {
            continue;
        }
        const ULONG_PTR first = slot.start.load(std::memory_order_relaxed);
        const ULONG_PTR last = slot.end.load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (slot.sequence.load(std::memory_order_relaxed) != before) {
            continue;
        }
        if (first != 0 && first <= start && end <= last) {
            return true;
        }
    }
    return false;
}

bool RangeValid(ULONG_PTR start, ULONG_PTR end) {
    if (end <= start) {
        return false; // empty, or wrapped past the top of the address space
    }
    return InPool(start, end) || InRegistered(start, end);
}

// --- Accounting ---

// The counters of the tags one thread has allocated or freed under. Only the owning thread writes them (a
// free on another thread than the allocation counts there, so a thread's live figures may be negative); the
// control routines sum every thread's. A thread's block outlives it: the next new thread takes it over,
// counts and all, so the sums stay right.
struct TagCounters {
    std::atomic<uint64_t> key; // kKeyUsed | tag, 0 while the slot is free (tag 0 is a tag like any other)
    std::atomic<int64_t> liveBytes;
    std::atomic<int64_t> liveCount;
    std::atomic<uint64_t> allocations;
    std::atomic<uint64_t> frees;
    std::atomic<uint64_t> failures;
};
constexpr uint64_t kKeyUsed = uint64_t{1} << 32;
constexpr uint64_t KeyOf(ULONG tag) { return kKeyUsed | tag; }
ULONG TagOf(const TagCounters& slot) { return static_cast<ULONG>(slot.key.load(std::memory_order_relaxed)); }
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

void AddTo(nt::pool::TagStats& sum, const TagCounters& slot) {
    sum.liveBytes += static_cast<SIZE_T>(slot.liveBytes.load(std::memory_order_relaxed));
    sum.liveCount += static_cast<SIZE_T>(slot.liveCount.load(std::memory_order_relaxed));
    sum.allocations += slot.allocations.load(std::memory_order_relaxed);
    sum.frees += slot.frees.load(std::memory_order_relaxed);
    sum.failures += slot.failures.load(std::memory_order_relaxed);
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
    uint64_t failNth = 0; // 0: none
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
constexpr SIZE_T kCachedFrom = 16 * 1024;         // whole allocations this large are kept
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

void CountFailure(ULONG tag) {
    CountTag(tag, [](TagCounters& c) { Add(c.failures, 1); });
}

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
    CountTag(tag, [size](TagCounters& c) {
        Add(c.liveBytes, -static_cast<int64_t>(size));
        Add(c.liveCount, -1);
        Add(c.frees, 1);
    });
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
    CountTag(Tag, [size](TagCounters& c) {
        Add(c.liveBytes, static_cast<int64_t>(size));
        Add(c.liveCount, 1);
        Add(c.allocations, 1);
    });
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
    const auto address = reinterpret_cast<ULONG_PTR>(VirtualAddress);
    const ULONG word = PageWordOf(address);
    const ULONG_PTR offset = address & (kPageBytes - 1);
    if (WordLow(word) <= offset && offset < WordHigh(word)) {
        return TRUE;
    }
    return address + 1 > address && InRegistered(address, address + 1) ? TRUE : FALSE;
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
    TagStats sum;
    sum.tag = tag;
    ForEachCounter([&](const TagCounters& slot) {
        if (TagOf(slot) == tag) {
            AddTo(sum, slot);
        }
    });
    return sum;
}

std::vector<TagStats> AllStats() {
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
    // A tag counts while something of it is live or it was used since the last Reset.
    std::erase_if(all, [](const TagStats& s) {
        return s.liveCount == 0 && s.allocations == 0 && s.frees == 0 && s.failures == 0;
    });
    return all;
}

SIZE_T LiveCount() {
    SIZE_T count = 0;
    ForEachCounter([&](const TagCounters& slot) {
        count += static_cast<SIZE_T>(slot.liveCount.load(std::memory_order_relaxed));
    });
    return count;
}

SIZE_T LiveBytes() {
    SIZE_T bytes = 0;
    ForEachCounter([&](const TagCounters& slot) {
        bytes += static_cast<SIZE_T>(slot.liveBytes.load(std::memory_order_relaxed));
    });
    return bytes;
}

std::vector<LiveAllocation> LiveAllocations(ULONG tag) {
    // The page table in address order: every page where a block starts.
    std::vector<LiveAllocation> all;
    for (size_t top = 0; top < kLevelEntries; ++top) {
        const Middle* middle = g_top[top].load(std::memory_order_acquire);
        for (size_t mid = 0; middle != nullptr && mid < kLevelEntries; ++mid) {
            const Leaf* leaf = (*middle)[mid].load(std::memory_order_acquire);
            for (size_t entry = 0; leaf != nullptr && entry < kLevelEntries; ++entry) {
                const ULONG word = (*leaf)[entry].load(std::memory_order_acquire);
                if ((word & kStartsHere) == 0) {
                    continue;
                }
                const ULONG_PTR page = (top << (2 * kLevelBits)) | (mid << kLevelBits) | entry;
                const ULONG_PTR address = (page << kPageShift) | WordLow(word);
                BlockHeader* header = HeaderOfLive(reinterpret_cast<PVOID>(address));
                if (header != nullptr && header->state.load(std::memory_order_acquire) == kLiveBlock &&
                    (tag == 0 || header->tag == tag)) {
                    all.push_back({reinterpret_cast<PVOID>(address), header->size, header->tag});
                }
                if (header != nullptr) {
                    ASAN_POISON_MEMORY_REGION(header, kHeader);
                }
            }
        }
    }
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
    ForEachCounter([](TagCounters& slot) {
        slot.allocations.store(0, std::memory_order_relaxed);
        slot.frees.store(0, std::memory_order_relaxed);
        slot.failures.store(0, std::memory_order_relaxed);
    });
}

} // namespace nt::pool
