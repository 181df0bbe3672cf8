#include <vector>

#include "KernelTest.h"
#include "NtClock.h"
#include "NtPoolControl.h"
#include "wdm.h"

namespace {

using LookasideTest = KernelTest;

constexpr ULONG kTag = nt::pool::TagFromString("Ctx ");

struct Counters {
    ULONG totalAllocates, allocateMisses, totalFrees, freeMisses;
    bool operator==(const Counters&) const = default;
};

Counters CountersOf(const NPAGED_LOOKASIDE_LIST& list) {
    return {list.L.TotalAllocates, list.L.AllocateMisses, list.L.TotalFrees, list.L.FreeMisses};
}

void PrintTo(const Counters& c, std::ostream* os) {
    *os << "{allocates " << c.totalAllocates << ", misses " << c.allocateMisses << ", frees " << c.totalFrees
        << ", free misses " << c.freeMisses << "}";
}

TEST_F(LookasideTest, CountersAndPoolAccountingMoveWithAllocationsAndFrees) {
    NPAGED_LOOKASIDE_LIST list;
    ExInitializeNPagedLookasideList(&list, nullptr, nullptr, 0, 128, kTag, 0);
    EXPECT_EQ(list.L.Depth, LOOKASIDE_MINIMUM_DEPTH);

    PVOID first = ExAllocateFromNPagedLookasideList(&list);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(CountersOf(list), (Counters{1, 1, 0, 0})) << "an empty list asks the pool";
    EXPECT_EQ(nt::pool::Stats(kTag).liveCount, 1u);
    EXPECT_EQ(nt::pool::Stats(kTag).liveBytes, 128u);

    ExFreeToNPagedLookasideList(&list, first);
    EXPECT_EQ(CountersOf(list), (Counters{1, 1, 1, 0})) << "the block is kept for the next allocation";
    EXPECT_EQ(nt::pool::Stats(kTag).liveCount, 1u);

    PVOID again = ExAllocateFromNPagedLookasideList(&list);
    EXPECT_EQ(again, first);
    EXPECT_EQ(CountersOf(list), (Counters{2, 1, 1, 0}));
    ExFreeToNPagedLookasideList(&list, again);

    ExDeleteNPagedLookasideList(&list);
    EXPECT_EQ(nt::pool::Stats(kTag).liveCount, 0u) << "deleting the list gives cached blocks back";
}

TEST_F(LookasideTest, FreesBeyondTheDepthGoBackToThePoolAndLeaksStayVisible) {
    nt::clock::UseVirtualClock(); // no retune while the test runs
    NPAGED_LOOKASIDE_LIST list;
    ExInitializeNPagedLookasideList(&list, nullptr, nullptr, 0, 40, kTag, 0);
    std::vector<PVOID> blocks;
    for (int i = 0; i < 10; ++i) {
        blocks.push_back(ExAllocateFromNPagedLookasideList(&list));
    }
    for (PVOID b : blocks) {
        ExFreeToNPagedLookasideList(&list, b);
    }
    EXPECT_EQ(CountersOf(list), (Counters{10, 10, 10, 6}));
    EXPECT_EQ(ExQueryDepthSList(&list.L.ListHead), LOOKASIDE_MINIMUM_DEPTH);
    EXPECT_EQ(nt::pool::Stats(kTag).liveCount, 4u) << "only the cached blocks stay allocated";

    PVOID leaked = ExAllocateFromNPagedLookasideList(&list);
    ExDeleteNPagedLookasideList(&list);
    auto live = nt::pool::LiveAllocations(kTag);
    ASSERT_EQ(live.size(), 1u) << "a block never given back is still live after the list is gone";
    EXPECT_EQ(live[0].address, leaked);
    ExFreePoolWithTag(leaked, kTag);
}

TEST_F(LookasideTest, DepthFollowsTheMissRateOncePerSecond) {
    nt::clock::UseVirtualClock();
    NPAGED_LOOKASIDE_LIST list;
    ExInitializeNPagedLookasideList(&list, nullptr, nullptr, 0, 40, kTag, 0);
    // A busy second in which every allocation missed: 100 blocks in flight.
    std::vector<PVOID> blocks;
    for (int i = 0; i < 100; ++i) {
        blocks.push_back(ExAllocateFromNPagedLookasideList(&list));
    }
    for (PVOID b : blocks) {
        ExFreeToNPagedLookasideList(&list, b);
    }
    EXPECT_EQ(list.L.Depth, LOOKASIDE_MINIMUM_DEPTH);
    nt::clock::AdvanceMilliseconds(1000);
    ExFreeToNPagedLookasideList(&list, ExAllocateFromNPagedLookasideList(&list));
    USHORT deepened = list.L.Depth;
    EXPECT_GT(deepened, 100) << "a miss rate of 100% deepens the list by most of the way to its maximum";
    EXPECT_LE(deepened, LOOKASIDE_MAXIMUM_DEPTH);
    // A quiet second shrinks it again.
    nt::clock::AdvanceMilliseconds(1000);
    ExFreeToNPagedLookasideList(&list, ExAllocateFromNPagedLookasideList(&list));
    EXPECT_EQ(list.L.Depth, deepened - 10);
    ExDeleteNPagedLookasideList(&list);
    EXPECT_EQ(nt::pool::Stats(kTag).liveCount, 0u);
}

TEST_F(LookasideTest, PoolFailuresReachTheCallerOnAMiss) {
    NPAGED_LOOKASIDE_LIST list;
    ExInitializeNPagedLookasideList(&list, nullptr, nullptr, 0, 64, kTag, 0);
    PVOID cached = ExAllocateFromNPagedLookasideList(&list);
    ExFreeToNPagedLookasideList(&list, cached);
    nt::pool::InjectFailure({kTag, 0, UINT64_MAX});
    PVOID hit = ExAllocateFromNPagedLookasideList(&list);
    EXPECT_EQ(hit, cached) << "a cached block needs no pool";
    EXPECT_EQ(ExAllocateFromNPagedLookasideList(&list), nullptr);
    EXPECT_EQ(list.L.AllocateMisses, 2u);
    nt::pool::ClearInjectedFailures();
    ExFreeToNPagedLookasideList(&list, hit);
    ExDeleteNPagedLookasideList(&list);
}

PVOID g_customAllocations[4];
int g_customCount = 0;
PVOID CustomAllocate(POOL_TYPE type, SIZE_T size, ULONG tag) {
    PVOID p = ExAllocatePoolWithTag(type, size, tag);
    g_customAllocations[g_customCount++ % 4] = p;
    return p;
}
int g_customFrees = 0;
void CustomFree(PVOID p) {
    ++g_customFrees;
    ExFreePool(p);
}

TEST_F(LookasideTest, CustomRoutinesAreUsedForMissesAndDeletion) {
    g_customCount = g_customFrees = 0;
    NPAGED_LOOKASIDE_LIST list;
    ExInitializeNPagedLookasideList(&list, CustomAllocate, CustomFree, 0, 32, kTag, 0);
    PVOID p = ExAllocateFromNPagedLookasideList(&list);
    EXPECT_EQ(g_customCount, 1);
    EXPECT_EQ(g_customAllocations[0], p);
    ExFreeToNPagedLookasideList(&list, p);
    ExDeleteNPagedLookasideList(&list);
    EXPECT_EQ(g_customFrees, 1);
}

} // namespace
