#include <atomic>
#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

#include "KernelTest.h"
#include "NtPoolControl.h"
#include "wdm.h"

namespace {

using PoolTest = KernelTest;

constexpr ULONG kTag = nt::pool::TagFromString("Test");
constexpr ULONG kOtherTag = nt::pool::TagFromString("Othr");

TEST_F(PoolTest, TagsAreReadInMemoryOrder) {
    ULONG tag = kTag;
    EXPECT_EQ(memcmp(&tag, "Test", 4), 0);
    EXPECT_EQ(nt::pool::TagFromString("KxTd"), 0x6454784Bu); // 'dTxK' as the platform writes it
}

TEST_F(PoolTest, AddressValidityFollowsLivePoolWithoutTouchingTheAddress) {
    auto* block = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPoolNx, 64, kTag));
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(MmIsAddressValid(block));
    EXPECT_TRUE(MmIsAddressValid(block + 63));
    EXPECT_FALSE(MmIsAddressValid(block + 64)) << "one past the end is not part of the allocation";
    // Addresses that would fault if read, checked while a block is live (the top address must not wrap into
    // it): a dereference here would crash the test.
    for (ULONG_PTR arbitrary :
         {ULONG_PTR{0}, ULONG_PTR{1}, ULONG_PTR{0xDEADBEEF000}, ~ULONG_PTR{0}, ULONG_PTR{0xFFFF800000001000}}) {
        EXPECT_FALSE(MmIsAddressValid(reinterpret_cast<PVOID>(arbitrary))) << std::hex << arbitrary;
    }
    ExFreePoolWithTag(block, kTag);
    EXPECT_FALSE(MmIsAddressValid(block));
    int onTheStack = 0;
    EXPECT_FALSE(MmIsAddressValid(&onTheStack)) << "memory the kernel was not told about is not valid";
}

TEST_F(PoolTest, ThePageAfterEveryBlockBelongsToNoBlock) {
    // However the host lays blocks out, a range checked at both ends of each page-sized piece cannot run from
    // one block into another.
    std::vector<PUCHAR> blocks;
    for (SIZE_T size : {SIZE_T{1}, SIZE_T{24}, SIZE_T{100}, SIZE_T{4096}, SIZE_T{70000}}) {
        for (int i = 0; i < 8; ++i) {
            blocks.push_back(static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPoolNx, size, kTag)));
            PUCHAR end = blocks.back() + size;
            for (SIZE_T offset : {SIZE_T{0}, SIZE_T{2048}, SIZE_T{4095}}) {
                EXPECT_FALSE(MmIsAddressValid(end + offset)) << size << " +" << offset;
            }
        }
    }
    for (PUCHAR block : blocks) {
        ExFreePoolWithTag(block, kTag);
    }
}

TEST_F(PoolTest, RegisteredRangesAreValidUntilEveryRegistrationIsRemoved) {
    std::vector<UCHAR> buffer(256);
    UCHAR* inner = buffer.data() + 100;
    nt::pool::RegisterRange(buffer.data(), buffer.size());
    nt::pool::RegisterRange(inner, 16);                    // a range inside another
    nt::pool::RegisterRange(buffer.data(), buffer.size()); // the same buffer twice
    EXPECT_TRUE(MmIsAddressValid(buffer.data() + 255));
    EXPECT_TRUE(nt::pool::IsRangeValid(buffer.data(), 256));
    EXPECT_FALSE(nt::pool::IsRangeValid(buffer.data(), 257));

    nt::pool::UnregisterRange(buffer.data(), buffer.size());
    EXPECT_TRUE(MmIsAddressValid(buffer.data() + 10)) << "still registered once";
    nt::pool::UnregisterRange(buffer.data(), buffer.size());
    EXPECT_FALSE(MmIsAddressValid(buffer.data() + 10));
    EXPECT_TRUE(MmIsAddressValid(inner + 15)) << "the inner range is found behind the removed outer one";
    EXPECT_FALSE(MmIsAddressValid(inner + 16));
    nt::pool::UnregisterRange(inner, 16);
    EXPECT_FALSE(MmIsAddressValid(inner));
}

TEST_F(PoolTest, RegistrationsBeyondAFewHundredAreEachKept) {
    // Far more ranges than a caller usually holds at once, each a piece of one buffer.
    constexpr size_t kRanges = 700;
    std::vector<UCHAR> buffer(kRanges * 8);
    for (size_t i = 0; i < kRanges; ++i) {
        nt::pool::RegisterRange(buffer.data() + 8 * i, 4);
    }
    for (size_t i = 0; i < kRanges; ++i) {
        ASSERT_TRUE(nt::pool::IsRangeValid(buffer.data() + 8 * i, 4)) << i;
        ASSERT_FALSE(MmIsAddressValid(buffer.data() + 8 * i + 4)) << i;
    }
    for (size_t i = 0; i < kRanges; i += 2) {
        nt::pool::UnregisterRange(buffer.data() + 8 * i, 4);
    }
    for (size_t i = 0; i < kRanges; ++i) {
        ASSERT_EQ(MmIsAddressValid(buffer.data() + 8 * i) != FALSE, i % 2 == 1) << i;
    }
    for (size_t i = 1; i < kRanges; i += 2) {
        nt::pool::UnregisterRange(buffer.data() + 8 * i, 4);
    }
    EXPECT_FALSE(MmIsAddressValid(buffer.data() + 8 * (kRanges - 1)));
}

TEST_F(PoolTest, AnswersHoldWhileOtherThreadsAllocateFreeAndRegister) {
    // What stays put is answered the same way throughout, however the pool and the registrations change
    // around it: a live block whole, a registered buffer whole, never a range that runs past either.
    auto* block = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPoolNx, 3 * PAGE_SIZE + 100, kTag));
    std::vector<UCHAR> user(5000);
    nt::pool::RegisterRange(user.data(), user.size());
    std::atomic<bool> stop{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int r = 0; r < 2; ++r) {
        threads.emplace_back([&] {
            while (!stop.load()) {
                const bool right = nt::pool::IsRangeValid(block, 3 * PAGE_SIZE + 100) &&
                                   !nt::pool::IsRangeValid(block + 1, 3 * PAGE_SIZE + 100) &&
                                   MmIsAddressValid(block + 2 * PAGE_SIZE) &&
                                   nt::pool::IsRangeValid(user.data(), user.size()) &&
                                   !nt::pool::IsRangeValid(user.data(), user.size() + 1);
                wrong += right ? 0 : 1;
            }
        });
    }
    for (int w = 0; w < 2; ++w) {
        threads.emplace_back([&, w] {
            std::vector<UCHAR> mine(64);
            for (int i = 0; i < 3000; ++i) {
                PVOID p = ExAllocatePoolWithTag(NonPagedPoolNx, 16 + (i % 7) * 700, kOtherTag);
                nt::pool::RegisterRange(mine.data() + w, 32);
                wrong += MmIsAddressValid(p) && nt::pool::IsRangeValid(mine.data() + w, 32) ? 0 : 1;
                nt::pool::UnregisterRange(mine.data() + w, 32);
                ExFreePoolWithTag(p, kOtherTag);
            }
        });
    }
    threads[2].join();
    threads[3].join();
    stop = true;
    threads[0].join();
    threads[1].join();
    EXPECT_EQ(wrong.load(), 0);
    EXPECT_EQ(nt::pool::Stats(kOtherTag).liveCount, 0u);
    EXPECT_EQ(nt::pool::Stats(kOtherTag).allocations, 6000u);
    nt::pool::UnregisterRange(user.data(), user.size());
    ExFreePoolWithTag(block, kTag);
}

TEST_F(PoolTest, AccountingFollowsBlocksFreedOnAnotherThread) {
    std::vector<PVOID> blocks;
    std::thread([&] {
        for (int i = 0; i < 5; ++i) {
            blocks.push_back(ExAllocatePoolWithTag(NonPagedPoolNx, 10, kTag));
        }
    }).join();
    EXPECT_EQ(nt::pool::Stats(kTag).liveCount, 5u);
    EXPECT_EQ(nt::pool::Stats(kTag).liveBytes, 50u);
    ExFreePoolWithTag(blocks[0], kTag);
    std::thread([&] {
        for (size_t i = 1; i < blocks.size(); ++i) {
            ExFreePoolWithTag(blocks[i], kTag);
        }
    }).join();
    const nt::pool::TagStats stats = nt::pool::Stats(kTag);
    EXPECT_EQ(stats.liveCount, 0u);
    EXPECT_EQ(stats.liveBytes, 0u);
    EXPECT_EQ(stats.allocations, 5u);
    EXPECT_EQ(stats.frees, 5u);
    EXPECT_TRUE(nt::pool::LiveAllocations(kTag).empty());
}

TEST_F(PoolTest, AccountingPerTagShowsWhatIsLiveAndALeak) {
    PVOID a = ExAllocatePoolWithTag(NonPagedPoolNx, 100, kTag);
    PVOID b = ExAllocatePoolWithTag(NonPagedPoolNx, 28, kTag);
    PVOID c = ExAllocatePoolWithTag(NonPagedPoolNx, 7, kOtherTag);
    auto stats = nt::pool::Stats(kTag);
    EXPECT_EQ(stats.liveCount, 2u);
    EXPECT_EQ(stats.liveBytes, 128u);
    EXPECT_EQ(stats.allocations, 2u);
    EXPECT_EQ(nt::pool::Stats(kOtherTag).liveBytes, 7u);

    ExFreePoolWithTag(a, kTag);
    ExFreePool(c);
    stats = nt::pool::Stats(kTag);
    EXPECT_EQ(stats.liveCount, 1u);
    EXPECT_EQ(stats.frees, 1u);
    // The leak is b: visible by tag, address and size.
    auto live = nt::pool::LiveAllocations(kTag);
    ASSERT_EQ(live.size(), 1u);
    EXPECT_EQ(live[0].address, b);
    EXPECT_EQ(live[0].size, 28u);
    ExFreePoolWithTag(b, kTag);
    EXPECT_EQ(nt::pool::Stats(kTag).liveCount, 0u);
}

TEST_F(PoolTest, FreshMemoryIsNotZeroed) {
    if (!nt::pool::FillsFreshMemory()) {
        GTEST_SKIP() << "only builds with the sanitizers mark fresh pool";
    }
    auto* p = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPoolNx, 16, kTag));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[0], 0xC5);
    EXPECT_EQ(p[15], 0xC5);
    ExFreePoolWithTag(p, kTag);
}

TEST_F(PoolTest, InjectedFailuresHitTheChosenAllocations) {
    struct Case {
        const char* what;
        nt::pool::FailurePlan plan;
        std::vector<ULONG> tags;    // allocations made, in order
        std::vector<bool> succeeds; // expected outcome of each
    };
    const Case cases[] = {
        {"every allocation of one tag", {kTag, 0, UINT64_MAX}, {kTag, kOtherTag, kTag}, {false, true, false}},
        {"skip two, then fail one", {kTag, 2, 1}, {kTag, kTag, kOtherTag, kTag, kTag}, {true, true, true, false, true}},
        {"any tag, second call only", {0, 1, 1}, {kOtherTag, kTag, kOtherTag}, {true, false, true}},
    };
    for (const Case& c : cases) {
        nt::pool::ClearInjectedFailures();
        nt::pool::InjectFailure(c.plan);
        for (size_t i = 0; i < c.tags.size(); ++i) {
            PVOID p = ExAllocatePoolWithTag(NonPagedPoolNx, 8, c.tags[i]);
            EXPECT_EQ(p != nullptr, c.succeeds[i]) << c.what << ", allocation " << i;
            if (p != nullptr) {
                ExFreePool(p);
            }
        }
    }
    nt::pool::ClearInjectedFailures();
    nt::pool::FailNthAllocation(3);
    std::vector<bool> outcome;
    for (int i = 0; i < 4; ++i) {
        PVOID p = ExAllocatePoolWithTag(NonPagedPoolNx, 8, i % 2 ? kTag : kOtherTag);
        outcome.push_back(p != nullptr);
        if (p != nullptr) {
            ExFreePool(p);
        }
    }
    EXPECT_EQ(outcome, (std::vector<bool>{true, true, false, true}));
    EXPECT_EQ(nt::pool::Stats(kOtherTag).failures, 1u);
}

TEST_F(PoolTest, FreeingWrongIsABugCheck) {
    PVOID p = ExAllocatePoolWithTag(NonPagedPoolNx, 8, kTag);
    EXPECT_THROW(ExFreePoolWithTag(p, kOtherTag), NtBugCheck);
    ExFreePoolWithTag(p, kTag);
    try {
        ExFreePoolWithTag(p, kTag);
        FAIL() << "double free went unnoticed";
    } catch (const NtBugCheck& stop) {
        EXPECT_EQ(stop.Code(), ULONG{BAD_POOL_CALLER});
    }
    EXPECT_THROW(ExFreePool(nullptr), NtBugCheck);
}

TEST_F(PoolTest, PagedPoolIsRefusedAtDispatchLevel) {
    EXPECT_THROW(AtIrql(DISPATCH_LEVEL, [] { ExAllocatePoolWithTag(PagedPool, 8, kTag); }), NtBugCheck);
    AtIrql(DISPATCH_LEVEL, [] {
        PVOID p = ExAllocatePoolWithTag(NonPagedPoolNx, 8, kTag);
        EXPECT_NE(p, nullptr);
        ExFreePoolWithTag(p, kTag);
    });
}

TEST_F(PoolTest, ProbesRaiseForInvalidOrMisalignedBuffers) {
    auto* block = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPoolNx, 64, kTag));
    struct Case {
        const char* what;
        PVOID address;
        SIZE_T length;
        ULONG alignment;
        NTSTATUS expected; // STATUS_SUCCESS: no exception
    };
    const Case cases[] = {
        {"whole block", block, 64, 4, STATUS_SUCCESS},
        {"zero length anywhere", reinterpret_cast<PVOID>(1), 0, 4, STATUS_SUCCESS},
        {"past the end", block + 8, 64, 1, STATUS_ACCESS_VIOLATION},
        {"arbitrary address", reinterpret_cast<PVOID>(0x1000), 4, 1, STATUS_ACCESS_VIOLATION},
        {"misaligned", block + 1, 4, 4, STATUS_DATATYPE_MISALIGNMENT},
    };
    for (const Case& c : cases) {
        for (bool write : {false, true}) {
            NTSTATUS raised = STATUS_SUCCESS;
            __try {
                if (write) {
                    ProbeForWrite(c.address, c.length, c.alignment);
                } else {
                    ProbeForRead(c.address, c.length, c.alignment);
                }
            } __except (EXCEPTION_EXECUTE_HANDLER) {
                raised = GetExceptionCode();
            }
            EXPECT_EQ(raised, c.expected) << c.what << (write ? " (write)" : " (read)");
        }
    }
    ExFreePoolWithTag(block, kTag);
}

} // namespace
