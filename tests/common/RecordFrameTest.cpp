#include "common/RecordFrame.h"

#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "common/LogBlock.h"
#include "common/RecordWriter.h"
#include "tests/support/RecordBuilder.h"

namespace {

using tdl::test::BuildRecord;
using tdl::test::RecordBuilder;

std::vector<uint8_t> Sample() {
    const uint8_t payload[] = {1, 2, 3, 4, 5};
    return BuildRecord(LogTag::urbC, 9, 0, payload);
}

TEST(RecordFrame, AcceptsAWholeRecordAndReportsItsSize) {
    auto record = Sample();
    record.resize(record.size() + 10, 0x2E); // bytes of the next record or the block's fill
    size_t size = 0;
    EXPECT_EQ(CheckRecordFrame(record, &size), RecordFrameError::None);
    EXPECT_EQ(size, 68u + 5u);
}

TEST(RecordFrame, RefusesDamagedRecords) {
    const auto good = Sample();
    auto withWord = [&](size_t offset, ULONG value) {
        auto r = good;
        tdl::StoreLe(r.data() + offset, value);
        return r;
    };
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        RecordFrameError expected;
    } cases[] = {
        {"short header", std::vector<uint8_t>(good.begin(), good.begin() + 63), RecordFrameError::ShortHeader},
        {"empty", {}, RecordFrameError::ShortHeader},
        {"wrong sync", withWord(0, FourCC("###!")), RecordFrameError::BadSync},
        {"gap mark not accepted by default", withWord(0, LogTag::GapSync), RecordFrameError::BadSync},
        {"bad continuation word", withWord(60, FourCC("DATB")), RecordFrameError::BadContinuation},
        {"short by the trailer's last byte", std::vector<uint8_t>(good.begin(), good.end() - 1),
         RecordFrameError::PastEnd},
        {"DataSize past the end", withWord(24, 6), RecordFrameError::PastEnd},
        {"DataSize near 4 GiB", withWord(24, 0xFFFFFFFF), RecordFrameError::PastEnd},
        {"DataSize short of the trailer", withWord(24, 4), RecordFrameError::BadTrailer},
        {"wrong trailer", withWord(good.size() - 4, FourCC("FINJ")), RecordFrameError::BadTrailer},
    };
    for (const auto& c : cases) {
        size_t size = 12345;
        EXPECT_EQ(CheckRecordFrame(c.bytes, &size), c.expected) << c.what;
        EXPECT_EQ(size, 12345u) << c.what;
        EXPECT_NE(RecordFrameErrorName(c.expected), nullptr);
    }
    EXPECT_EQ(CheckRecordFrame(withWord(0, LogTag::GapSync), nullptr, RECORD_FRAME_ACCEPT_GAP_SYNC),
              RecordFrameError::None);
    EXPECT_EQ(CheckRecordFrame(RecordBuilder(LogTag::urbI).More().Build()), RecordFrameError::None);
}

TEST(RecordWalker, WalksABlockAndStopsAtDamage) {
    std::vector<uint8_t> block;
    tdl::test::AppendRecord(block, BuildRecord(LogTag::atsL, 0, 0));
    tdl::test::AppendRecord(block, Sample());
    tdl::test::AppendRecord(block, RecordBuilder(LogTag::urbR).Function(9).Sequence(2).Build());

    RecordWalker walker(block);
    std::vector<ULONG> tags;
    std::span<const uint8_t> record;
    while (walker.Next(record))
        tags.push_back(LogHdr::LogType(record.data()));
    EXPECT_EQ(tags, (std::vector<ULONG>{LogTag::atsL, LogTag::urbC, LogTag::urbR}));
    EXPECT_TRUE(walker.AtEnd());
    EXPECT_EQ(walker.Error(), RecordFrameError::None);

    block[68 + 68 + 5 - 1] ^= 0xFF; // last byte of the second record's trailer
    RecordWalker damaged(block);
    int n = 0;
    while (damaged.Next(record))
        ++n;
    EXPECT_EQ(n, 1);
    EXPECT_EQ(damaged.Error(), RecordFrameError::BadTrailer);
    EXPECT_EQ(damaged.Offset(), 68u);
}

TEST(RecordWriter, LaysOutWholeAndCutRecords) {
    const struct {
        uint64_t part1, part2;
        size_t room;
        bool fits;
        ULONG expectPart1, expectPart2;
        bool cut;
    } cases[] = {
        {50, 100, 68 + 150, true, 50, 100, false},
        {50, 100, 1000, true, 50, 100, false},
        {50, 100, 68 + 120, true, 50, 70, true}, // part 2 cut first
        {50, 100, 68 + 20, true, 20, 0, true},   // then part 1
        {0, 0, 68, true, 0, 0, false},
        {10, 0, 67, false, 0, 0, false}, // not even the frame fits
        {66, 200000, LOG_BLOCK_DATA_SIZE, true, 66, LOG_BLOCK_DATA_SIZE - 68 - 66, true},
    };
    for (const auto& c : cases) {
        RecordLayout layout;
        ASSERT_EQ(LayoutRecord(c.part1, c.part2, c.room, layout), c.fits);
        if (!c.fits)
            continue;
        EXPECT_EQ(layout.Part1Size, c.expectPart1);
        EXPECT_EQ(layout.Part2Size, c.expectPart2);
        EXPECT_EQ(layout.Cut, c.cut);
        EXPECT_LE(layout.RecordSize(), c.room);
    }
}

TEST(RecordWriter, WritesAFrameThatChecksAndNeverSpills) {
    // A block area with guard bytes after the reserved room.
    std::vector<uint8_t> area(68 + 12 + 8, LOG_BLOCK_FILL);
    RecordLayout layout;
    ASSERT_TRUE(LayoutRecord(8, 100, 68 + 12, layout)); // part 2 cut to 4 bytes
    ASSERT_TRUE(layout.Cut);
    RecordFrameWriter writer(area.data(), layout);
    _LOGHDR header{};
    header.SequenceNumber = 41;
    header.LogType = LogTag::hubC;
    header.Continuation = LogTag::Data;
    header.DataSize = 999; // overwritten from the layout
    writer.WriteHeader(header);
    auto part1 = writer.Part1Writer();
    EXPECT_TRUE(part1.Write<uint64_t>(0x0807060504030201));
    EXPECT_FALSE(part1.Write<uint8_t>(9));
    auto part2 = writer.Part2Writer();
    const uint8_t data[100] = {0xA0, 0xA1, 0xA2, 0xA3, 0xA4};
    EXPECT_FALSE(part2.WriteBytes(data, sizeof data)); // refused whole
    EXPECT_TRUE(part2.WriteBytes(data, part2.Remaining()));
    writer.WriteTrailer();

    size_t size = 0;
    ASSERT_EQ(CheckRecordFrame(area, &size), RecordFrameError::None);
    EXPECT_EQ(size, 80u);
    EXPECT_EQ(LogHdr::DataSize(area.data()), 12u);
    EXPECT_EQ(LogHdr::SequenceNumber(area.data()), 41u);
    EXPECT_EQ(area[64], 0x01);
    EXPECT_EQ(area[72], 0xA0);
    EXPECT_EQ(area[75], 0xA3);
    for (size_t i = 80; i < area.size(); ++i)
        EXPECT_EQ(area[i], LOG_BLOCK_FILL) << "guard byte " << i;
}

} // namespace
