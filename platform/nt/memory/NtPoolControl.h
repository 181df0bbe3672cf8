// Test and machine controls of the kernel pool (not part of the platform's interface).
//
// - Accounting: live bytes and live allocation count per tag, and totals since the last Reset, so a test can
//   see a leak (LiveCount(tag) after the code under test has released everything).
// - Failure injection: a plan makes chosen allocations return null: by tag (0 = any tag), after skipping a
//   number of matching calls, for a number of calls (or all further ones). FailNthAllocation(n) fails the n-th
//   allocation (1-based) from now on, whatever its tag.
// - Address ranges: the I/O manager registers memory the platform treats as valid without being pool (a
//   caller's buffer locked for a request, a simulated device's extension); MmIsAddressValid and the probes
//   accept addresses inside them. Registrations are counted: the same range may be registered more than once
//   and stays valid until each registration is removed.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "ntdef.h"

namespace nt::pool {

// The ULONG of a four-character tag written in memory byte order: TagFromString("KxTd").
constexpr ULONG TagFromString(std::string_view tag) {
    ULONG value = 0;
    for (size_t i = 0; i < 4 && i < tag.size(); ++i) {
        value |= static_cast<ULONG>(static_cast<unsigned char>(tag[i])) << (8 * i);
    }
    return value;
}

struct TagStats {
    ULONG tag = 0;
    SIZE_T liveBytes = 0;     // bytes now allocated under the tag
    SIZE_T liveCount = 0;     // allocations now live under the tag
    uint64_t allocations = 0; // successful allocations since Reset
    uint64_t frees = 0;       // frees since Reset
    uint64_t failures = 0;    // allocations that returned null since Reset
};

TagStats Stats(ULONG tag);
std::vector<TagStats> AllStats(); // every tag seen since Reset or still live
SIZE_T LiveCount();               // all tags
SIZE_T LiveBytes();

struct LiveAllocation {
    PVOID address;
    SIZE_T size;
    ULONG tag;
};
std::vector<LiveAllocation> LiveAllocations(ULONG tag = 0); // 0: every tag

struct FailurePlan {
    ULONG tag = 0;               // 0: any tag
    uint64_t skip = 0;           // matching allocations that still succeed first
    uint64_t count = UINT64_MAX; // matching allocations that then fail
};
void InjectFailure(const FailurePlan& plan);
void FailNthAllocation(uint64_t n);
void ClearInjectedFailures();

void RegisterRange(const void* start, SIZE_T length);
void UnregisterRange(const void* start, SIZE_T length);
// TRUE when every byte of [start, start + length) lies in one live allocation or one registered range.
bool IsRangeValid(const void* start, SIZE_T length);

// Whether fresh allocations are filled with 0xC5 (builds with the sanitizers, where tests run) or left as the
// host hands them out (other builds, where speed is measured).
bool FillsFreshMemory();

// Zeroes the totals and drops injected failures. Live allocations and registered ranges stay as they are
// (whoever holds them still owns them), so live counts keep telling the truth.
void Reset();

} // namespace nt::pool
