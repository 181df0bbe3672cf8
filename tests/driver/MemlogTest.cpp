// The internal event ring as GET_MEMLOG hands it out: the control block, the slot rule, the wrap after
// 8,192 entries, concurrent writers, and the handler events that MemlogFlags 0x100 switches on.
#include <cstring>
#include <set>
#include <thread>
#include <vector>

#include "common/ControlCodes.h"
#include "common/Memlog.h"
#include "driver/core/Driver.h"
#include "tests/driver/DriverFixture.h"

namespace drivertest {
namespace {

class Memlog : public LoadedDriver {};

constexpr ULONG kTestTag = FourCC("test");

TEST_F(Memlog, ControlBlockDescribesTheRing) {
    const MemlogReply reply = FetchMemlog();
    EXPECT_NE(reply.control.LogBuffer, 0u);
    EXPECT_EQ(reply.control.IndexMask, 8191u);
    EXPECT_EQ(reply.control.LogAllocSize, 0x40000u);
    EXPECT_EQ(reply.control.LogEnabled, 1);
    // Four entry events so far, the first in the top slot and each next one below it.
    EXPECT_EQ(reply.control.CurIndex, 0u - 4u);
    EXPECT_EQ(reply.control.CurEntry, reply.control.LogBuffer + 8188 * sizeof(MEMLOG_ENTRY));
    ASSERT_EQ(reply.entries.size(), 4u);
    EXPECT_EQ(reply.entries.front().Tag, FourCC("===="));
    EXPECT_EQ(reply.entries.front().Value2, 627u);
    EXPECT_EQ(reply.entries.back().Tag, FourCC("----"));
    EXPECT_EQ(reply.entries.back().Value2, 0u); // the status of entry
}

TEST_F(Memlog, RingWrapsAfter8192EntriesAndKeepsTheNewest) {
    // With the driver's four entry events, entry 8,193 lands in the top slot again.
    const ULONG written = 8192 - 4 + 1;
    for (ULONG i = 0; i < written; ++i) {
        MemlogWrite3(kTestTag, i, 0, 0x5A);
    }
    const MemlogReply reply = FetchMemlog();
    EXPECT_EQ(reply.control.CurEntry, reply.control.LogBuffer + 8191 * sizeof(MEMLOG_ENTRY));
    ASSERT_EQ(reply.entries.size(), 8192u);
    // The start event is gone; the oldest left is "Safe", followed by the other events and the test entries
    // in order.
    std::vector<ULONG> tags;
    for (size_t i = 0; i < 3; ++i) {
        tags.push_back(static_cast<ULONG>(reply.entries[i].Tag));
    }
    EXPECT_EQ(tags, (std::vector<ULONG>{FourCC("win7"), FourCC("Safe"), FourCC("----")}));
    for (ULONG i = 0; i < written; ++i) {
        const MEMLOG_ENTRY& entry = reply.entries[3 + i];
        ASSERT_EQ(entry.Tag, kTestTag);
        ASSERT_EQ(entry.Value1, i);
        ASSERT_EQ(entry.Value3, 0x5Au);
    }
}

TEST_F(Memlog, ConcurrentWritersEachGetTheirOwnSlot) {
    constexpr ULONG kThreads = 8;
    constexpr ULONG kPerThread = 1000;
    std::vector<std::thread> threads;
    for (ULONG t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (ULONG i = 0; i < kPerThread; ++i) {
                MemlogWrite(kTestTag, t, i);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    std::set<std::pair<ULONG64, ULONG64>> seen;
    for (const MEMLOG_ENTRY& entry : FetchMemlog().entries) {
        if (entry.Tag == kTestTag) {
            EXPECT_TRUE(seen.insert({entry.Value1, entry.Value2}).second);
        }
    }
    EXPECT_EQ(seen.size(), kThreads * kPerThread);
}

// MemlogFlags 0x100, set through SET_BOOTFLAG, takes effect at once: each request then writes its
// handler's entry and exit events, the exit with the status and the bytes returned.
TEST_F(Memlog, HandlerEventsFollowMemlogFlags) {
    ULONG word = MakeBootflagWord(false, false, MEMLOG_FLAG_HANDLERS);
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_SET_BOOTFLAG, &word, sizeof word, nullptr, 0).ok);
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_NOP, &word, sizeof word, nullptr, 0).ok);
    UCHAR shortInfo[18];
    ASSERT_FALSE(Ioctl(IOCTL_TINDALOFT_INFO, nullptr, 0, shortInfo, sizeof shortInfo).ok);

    const std::vector<MEMLOG_ENTRY> entries = FetchMemlog().entries;
    ASSERT_GE(entries.size(), 7u);
    // The newest are GET_MEMLOG's own: the size query's pair and the data request's entry event (its exit
    // event follows the copy); before them INFO's and NOP's.
    const MEMLOG_ENTRY* last = &entries[entries.size() - 7];
    EXPECT_EQ(last[0].Tag, FourCC("Inop"));
    EXPECT_EQ(last[0].Value1, IOCTL_TINDALOFT_NOP);
    EXPECT_EQ(last[1].Tag, FourCC("inop"));
    EXPECT_EQ(last[1].Value1, 0u);
    EXPECT_EQ(last[2].Tag, FourCC("Iinf"));
    EXPECT_EQ(last[3].Tag, FourCC("iinf"));
    EXPECT_EQ(last[3].Value1, static_cast<ULONG>(STATUS_INVALID_PARAMETER));
    EXPECT_EQ(last[3].Value2, 0u);
    EXPECT_EQ(last[4].Tag, FourCC("Igml"));
    EXPECT_EQ(last[5].Tag, FourCC("igml"));
    EXPECT_EQ(last[5].Value2, 4u);
    EXPECT_EQ(last[6].Tag, FourCC("Igml"));
}

} // namespace
} // namespace drivertest
