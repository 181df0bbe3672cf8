// Which addresses are valid (NtPoolInternal.h). MmIsAddressValid is asked about every buffer the capture road
// copies, from many threads at once, so nothing here takes a lock:
// - Pool blocks are described by a page table (three levels of 4096 entries over 48-bit addresses) with one
//   word per page: the bytes [low, high) of the page that belong to a live block. A page never holds bytes of
//   two blocks, because every block is followed by a guard page that belongs to no block (NtPool.cpp).
//   Allocating and freeing a block write the words of its pages; readers load them.
// - Registered ranges live in slots of (start, end), each guarded by its own sequence count; registering
//   claims a free slot, removing frees it, and readers scan the slots in use, skipping one that changes while
//   they read it (the registration it held is being made or removed at that very moment).
#include <array>
#include <atomic>
#include <cstring>

#include "NtBugCheck.h"
#include "NtPool.h"
#include "NtPoolInternal.h"

namespace nt::pool::detail {
namespace {

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
constexpr ULONG_PTR WordLow(ULONG word) {
    return word & 0x1FFF;
}
constexpr ULONG_PTR WordHigh(ULONG word) {
    return (word >> 16) & 0x1FFF;
}

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

// The leaf a thread walked to last, with the pages it covers (their number without the leaf's bits). A
// thread's checks mostly fall on the same few blocks, so this spares the walk down the upper two levels; a
// leaf, once made, stays for the process's life, so a remembered one never goes stale.
struct LeafMemo {
    ULONG_PTR leafNumber = ~ULONG_PTR{0};
    const Leaf* leaf = nullptr;
};
thread_local LeafMemo t_leafMemo;

// The word of the page holding `address`; 0 when no pool block has bytes there.
ULONG PageWordOf(ULONG_PTR address) {
    if ((address >> kAddressBits) != 0) {
        return 0;
    }
    const ULONG_PTR page = address >> kPageShift;
    LeafMemo& memo = t_leafMemo;
    if (memo.leafNumber == page >> kLevelBits) {
        return (*memo.leaf)[page & (kLevelEntries - 1)].load(std::memory_order_acquire);
    }
    const Middle* middle = g_top[page >> (2 * kLevelBits)].load(std::memory_order_acquire);
    if (middle == nullptr) {
        return 0;
    }
    const Leaf* leaf = (*middle)[(page >> kLevelBits) & (kLevelEntries - 1)].load(std::memory_order_acquire);
    if (leaf == nullptr) {
        return 0;
    }
    memo = {page >> kLevelBits, leaf};
    return (*leaf)[page & (kLevelEntries - 1)].load(std::memory_order_acquire);
}

std::atomic<ULONG>& PageWordSlot(ULONG_PTR page) {
    Middle* middle = NodeAt(g_top[page >> (2 * kLevelBits)]);
    Leaf* leaf = NodeAt((*middle)[(page >> kLevelBits) & (kLevelEntries - 1)]);
    return (*leaf)[page & (kLevelEntries - 1)];
}

// Writes the words of the pages [start, start + size) covers: the block's bytes, or none.
} // namespace

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

// --- Registered ranges ---

namespace {

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

} // namespace

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
    nt::BugCheck(DRIVER_VERIFIER_DETECTED_VIOLATION,
                 "too many address ranges registered at once (are they ever removed?)");
}

void RemoveRange(ULONG_PTR start, ULONG_PTR end) {
    const size_t used = g_rangeSlotsUsed.load(std::memory_order_acquire);
    for (size_t index = 0; index < used; ++index) {
        RangeSlot& slot = SlotAt(index);
        if (slot.state.load(std::memory_order_acquire) != kInUse ||
            slot.start.load(std::memory_order_relaxed) != start || slot.end.load(std::memory_order_relaxed) != end) {
            continue;
        }
        ULONG expected = kInUse;
        if (slot.state.compare_exchange_strong(expected, kClaimed, std::memory_order_acquire)) {
            if (slot.start.load(std::memory_order_relaxed) == start &&
                slot.end.load(std::memory_order_relaxed) == end) {
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

bool BlockByteValid(ULONG_PTR address) {
    const ULONG word = PageWordOf(address);
    const ULONG_PTR offset = address & (kPageBytes - 1);
    return WordLow(word) <= offset && offset < WordHigh(word);
}

bool BlockStartsAt(ULONG_PTR address) {
    const ULONG word = PageWordOf(address);
    return (word & kStartsHere) != 0 && WordLow(word) == (address & (kPageBytes - 1));
}

void ForEachBlockStart(const std::function<void(ULONG_PTR)>& visit) {
    for (size_t top = 0; top < kLevelEntries; ++top) {
        const Middle* middle = g_top[top].load(std::memory_order_acquire);
        for (size_t mid = 0; middle != nullptr && mid < kLevelEntries; ++mid) {
            const Leaf* leaf = (*middle)[mid].load(std::memory_order_acquire);
            for (size_t entry = 0; leaf != nullptr && entry < kLevelEntries; ++entry) {
                const ULONG word = (*leaf)[entry].load(std::memory_order_acquire);
                if ((word & kStartsHere) != 0) {
                    const ULONG_PTR page = (top << (2 * kLevelBits)) | (mid << kLevelBits) | entry;
                    visit((page << kPageShift) | WordLow(word));
                }
            }
        }
    }
}

} // namespace nt::pool::detail

// Here rather than beside the pool's other routines: the page-table lookup inlines into it, and the capture
// road asks it about a handful of bytes of every request.
namespace {

// Out of line, so that the pool's answer needs no registers saved for the scan of the registered ranges.
[[gnu::noinline]] bool RegisteredByteValid(ULONG_PTR address) {
    return address + 1 > address && nt::pool::detail::InRegistered(address, address + 1);
}

} // namespace

BOOLEAN MmIsAddressValid(PVOID VirtualAddress) {
    const auto address = reinterpret_cast<ULONG_PTR>(VirtualAddress);
    return nt::pool::detail::BlockByteValid(address) || RegisteredByteValid(address) ? TRUE : FALSE;
}
