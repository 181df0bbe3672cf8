// The log's block chain through its own API: reserve and fill, read of the oldest block, the 31-block limit,
// clear, free-all and running out of pool.
#include <numeric>

#include "LogTestHelpers.h"

namespace drvlog_test {
namespace {

using LogTest = LogFixture;

// Two of these fill a block; a third does not fit.
constexpr ULONG kHalfBlockRecord = 33000;

std::vector<ULONG> Sequences(const std::vector<ReadRecord>& records) {
    std::vector<ULONG> sequences;
    for (const ReadRecord& r : records) {
        sequences.push_back(r.sequence);
    }
    return sequences;
}

std::vector<ULONG> Range(ULONG first, ULONG count) {
    std::vector<ULONG> v(count);
    std::iota(v.begin(), v.end(), first);
    return v;
}

TEST_F(LogTest, EmptyLogReadsAsSuccessWithNoBytes) {
    UserBuffer buffer(100);
    std::vector<ReadRecord> records;
    EXPECT_EQ(Read(buffer, records), STATUS_SUCCESS);
    EXPECT_TRUE(records.empty());
    EXPECT_EQ(LiveBlocks(), 0u);

    // Once everything has been read, the log reads as empty again.
    ASSERT_TRUE(WritePattern(log, 4, 10));
    EXPECT_EQ(ReadAll().size(), 1u);
    EXPECT_EQ(Read(buffer, records), STATUS_SUCCESS);
    EXPECT_TRUE(records.empty());
}

TEST_F(LogTest, ReadHandsOverTheCurrentBlockAndWritersMoveToAFreshOne) {
    for (UCHAR i = 0; i < 3; ++i) {
        ASSERT_TRUE(WritePattern(log, 8, 100u * i, 0x10 + i, 0xF00 + i));
    }
    UserBuffer buffer(LOG_BLOCK_DATA_SIZE);
    std::vector<ReadRecord> records;
    ASSERT_EQ(Read(buffer, records), STATUS_SUCCESS);
    ASSERT_EQ(Sequences(records), Range(0, 3));
    for (UCHAR i = 0; i < 3; ++i) {
        EXPECT_EQ(records[i].function, 0xF00u + i);
        EXPECT_EQ(records[i].dataSize, 8u + 100u * i);
        EXPECT_EQ(records[i].continuation, LogTag::Data);
        for (uint8_t b : records[i].Payload()) {
            ASSERT_EQ(b, 0x10 + i);
        }
    }
    EXPECT_EQ(LiveBlocks(), 1u) << "the block read is freed and a fresh one is current";

    ASSERT_TRUE(WritePattern(log, 0, 0));
    ASSERT_EQ(Read(buffer, records), STATUS_SUCCESS);
    EXPECT_EQ(Sequences(records), std::vector<ULONG>{3});
}

// Every byte of a new block is a record's or '.': in a block a writer made for its record and in the one the
// reader made for the writers when it took the current block.
TEST_F(LogTest, ANewBlockReadsAsDotsPastItsRecords) {
    auto current = [&] { return CONTAINING_RECORD(log->BlockList.Flink, LOG_BLOCK, Links); };
    auto dotsFrom = [&](ULONG from) {
        const PLOG_BLOCK block = current();
        for (ULONG i = from; i < LOG_BLOCK_DATA_SIZE; ++i) {
            if (block->Data[i] != LOG_BLOCK_FILL) {
                return testing::AssertionFailure() << "byte " << i << " of the block is not '.'";
            }
        }
        return testing::AssertionSuccess();
    };
    // A record whose part 2 no filler writes comes out whole all the same, zeros where nothing was put.
    RECORD_DESCRIPTOR record;
    RecordDescribe(&record, LogTag::urbI, 8, 300);
    ASSERT_TRUE(LogWriteRecord(log, &record, nullptr, nullptr, nullptr, nullptr));
    ASSERT_EQ(current()->Used, RecordSize(&record));
    EXPECT_TRUE(dotsFrom(current()->Used));
    UserBuffer buffer(LOG_BLOCK_DATA_SIZE);
    std::vector<ReadRecord> records;
    ASSERT_EQ(Read(buffer, records), STATUS_SUCCESS);
    ASSERT_EQ(records.size(), 1u);
    for (uint8_t b : records[0].Payload()) {
        ASSERT_EQ(b, 0);
    }

    ASSERT_EQ(current()->Used, 0u);
    EXPECT_TRUE(dotsFrom(0)) << "the reader's block for the writers";
    ASSERT_TRUE(WritePattern(log, 4, 10));
    EXPECT_TRUE(dotsFrom(current()->Used));
}

TEST_F(LogTest, BufferOneByteShortKeepsTheBlockForTheNextRead) {
    ASSERT_TRUE(WritePattern(log, 10, 1000));
    ASSERT_TRUE(WritePattern(log, 10, 2000));
    const ULONG used = 2 * RECORD_HEADER_PART_SIZE + 3020;

    UserBuffer shortBuffer(used - 1);
    ULONG bytes = 0xFFFF;
    EXPECT_EQ(LogReadBlock(log, shortBuffer.Data(), shortBuffer.Size(), &bytes), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(bytes, 0u);

    UserBuffer exact(used);
    std::vector<ReadRecord> records;
    ASSERT_EQ(Read(exact, records), STATUS_SUCCESS);
    EXPECT_EQ(Sequences(records), Range(0, 2)) << "the same block, whole";
}

TEST_F(LogTest, UnwritableBufferFailsAndKeepsTheRecords) {
    ASSERT_TRUE(WritePattern(log, 0, 16));
    uint8_t notRegistered[256];
    ULONG bytes = 0xFFFF;
    EXPECT_EQ(LogReadBlock(log, notRegistered, sizeof notRegistered, &bytes), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(bytes, 0u);
    EXPECT_EQ(Sequences(ReadAll()), Range(0, 1));
}

TEST_F(LogTest, RecordsFillABlockToTheByteAndOverflowIntoANewOne) {
    // A record of exactly the data area fits an empty block.
    ASSERT_TRUE(WritePattern(log, 0, PayloadFor(LOG_BLOCK_DATA_SIZE)));
    // A small one starts the next block; then one that no longer fits behind it starts a third.
    ASSERT_TRUE(WritePattern(log, 0, 100));
    ASSERT_TRUE(WritePattern(log, 0, PayloadFor(LOG_BLOCK_DATA_SIZE - 100)));
    EXPECT_EQ(LiveBlocks(), 3u);

    UserBuffer buffer(LOG_BLOCK_DATA_SIZE);
    std::vector<ReadRecord> records;
    ASSERT_EQ(Read(buffer, records), STATUS_SUCCESS);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].bytes.size(), LOG_BLOCK_DATA_SIZE);
    ASSERT_EQ(Read(buffer, records), STATUS_SUCCESS);
    EXPECT_EQ(Sequences(records), std::vector<ULONG>{1});
    ASSERT_EQ(Read(buffer, records), STATUS_SUCCESS);
    EXPECT_EQ(Sequences(records), std::vector<ULONG>{2});
}

TEST_F(LogTest, AtTheBlockLimitTheNewestBlockIsRecycledAndOlderBlocksStayIntact) {
    // 31 full blocks: records 0..61, two per block.
    for (ULONG i = 0; i < 2 * LOG_BLOCK_LIMIT; ++i) {
        ASSERT_TRUE(WritePattern(log, 0, PayloadFor(kHalfBlockRecord), static_cast<UCHAR>(i)));
    }
    EXPECT_EQ(LiveBlocks(), LOG_BLOCK_LIMIT);
    // Five more: 62 recycles the newest block (losing 60, 61), 64 recycles it again (losing 62, 63), 66 again.
    for (ULONG i = 62; i < 67; ++i) {
        ASSERT_TRUE(WritePattern(log, 0, PayloadFor(kHalfBlockRecord), static_cast<UCHAR>(i)));
    }
    EXPECT_EQ(LiveBlocks(), LOG_BLOCK_LIMIT) << "the chain never grows past its limit";

    const LOG_STATISTICS statistics = Statistics(log);
    EXPECT_EQ(statistics.RecordsWritten, 67u);
    EXPECT_EQ(statistics.RecordsLost, 6u);
    EXPECT_EQ(statistics.BlocksRecycled, 3u);

    const std::vector<ReadRecord> records = ReadAll();
    std::vector<ULONG> expected = Range(0, 60);
    expected.push_back(66);
    EXPECT_EQ(Sequences(records), expected) << "30 older blocks whole, then the gap, then the newest record";
    for (const ReadRecord& r : records) {
        for (uint8_t b : r.Payload()) {
            ASSERT_EQ(b, static_cast<uint8_t>(r.sequence)) << "record " << r.sequence;
        }
    }
    EXPECT_EQ(records.size() + statistics.RecordsLost, statistics.RecordsWritten);
}

TEST_F(LogTest, ARecycledBlockShowsNothingOfItsEarlierRecords) {
    for (ULONG i = 0; i < 2 * LOG_BLOCK_LIMIT; ++i) {
        ASSERT_TRUE(WritePattern(log, 0, PayloadFor(kHalfBlockRecord), 0xEE));
    }
    // The newest block is recycled for this record, which lands where 0xEE bytes and old headers lay. Its
    // filler writes nothing: every field and payload byte must read 0, not what was there.
    RECORD_DESCRIPTOR record;
    RecordDescribe(&record, LogTag::hidC, 30, PayloadFor(kHalfBlockRecord + 70) - 30);
    ASSERT_TRUE(LogWriteRecord(log, &record, nullptr, nullptr, nullptr, nullptr));

    const std::vector<ReadRecord> records = ReadAll();
    const ReadRecord& last = records.back();
    ASSERT_EQ(last.tag, LogTag::hidC);
    ASSERT_EQ(last.bytes.size(), kHalfBlockRecord + 70);
    const uint8_t* r = last.bytes.data();
    EXPECT_EQ(LogHdr::Function(r), 0u);
    EXPECT_EQ(LogHdr::StackID(r), 0u);
    EXPECT_EQ(LogHdr::Status(r), 0u);
    for (size_t i = offsetof(_LOGHDR, StackCount); i < offsetof(_LOGHDR, Continuation); ++i) {
        ASSERT_EQ(r[i], 0) << "header byte " << i;
    }
    for (uint8_t b : last.Payload()) {
        ASSERT_EQ(b, 0);
    }
}

TEST_F(LogTest, ClearKeepsOneEmptyBlockAndSequenceNumbersGoOn) {
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(WritePattern(log, 0, PayloadFor(kHalfBlockRecord)));
    }
    ASSERT_EQ(LiveBlocks(), 3u);
    LogClear(log);
    EXPECT_EQ(LiveBlocks(), 1u);
    EXPECT_TRUE(ReadAll().empty());
    EXPECT_EQ(LiveBlocks(), 1u) << "reading an empty current block keeps it";

    ASSERT_TRUE(WritePattern(log, 0, 0));
    EXPECT_EQ(Sequences(ReadAll()), std::vector<ULONG>{5});
}

TEST_F(LogTest, FreeAllLeavesNoBlockAndTheLogStartsOver) {
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(WritePattern(log, 0, PayloadFor(kHalfBlockRecord)));
    }
    LogFreeAll(log);
    EXPECT_EQ(LiveBlocks(), 0u);
    EXPECT_TRUE(ReadAll().empty());

    ASSERT_TRUE(WritePattern(log, 0, 0));
    EXPECT_EQ(LiveBlocks(), 1u);
    LogResetSequence(log);
    ASSERT_TRUE(WritePattern(log, 0, 0));
    EXPECT_EQ(Sequences(ReadAll()), (std::vector<ULONG>{5, 0}));
}

TEST_F(LogTest, WithoutPoolARecordIsDroppedWithoutUsingASequenceNumber) {
    nt::pool::InjectFailure({LOG_TAG_CAPTURE, 0, 1});
    EXPECT_FALSE(WritePattern(log, 0, 10));
    EXPECT_EQ(Statistics(log).RecordsDropped, 1u);

    ASSERT_TRUE(WritePattern(log, 0, 10));
    EXPECT_EQ(Sequences(ReadAll()), std::vector<ULONG>{0});
}

TEST_F(LogTest, WithoutPoolTheCurrentBlockIsRecycled) {
    ASSERT_TRUE(WritePattern(log, 0, PayloadFor(kHalfBlockRecord)));
    ASSERT_TRUE(WritePattern(log, 0, PayloadFor(kHalfBlockRecord)));
    nt::pool::InjectFailure({LOG_TAG_CAPTURE, 0, 1});
    ASSERT_TRUE(WritePattern(log, 0, PayloadFor(kHalfBlockRecord)));
    EXPECT_EQ(LiveBlocks(), 1u);
    EXPECT_EQ(Statistics(log).RecordsLost, 2u);
    EXPECT_EQ(Sequences(ReadAll()), std::vector<ULONG>{2});
}

TEST_F(LogTest, AnEmptyBlockThatIsNoLongerCurrentIsSkippedByTheReader) {
    for (int i = 0; i < 6; ++i) {
        ASSERT_TRUE(WritePattern(log, 0, PayloadFor(kHalfBlockRecord)));
    }
    // Empty the oldest of the three blocks as if its records had gone: the reader must free it and hand
    // over the next block rather than report an empty log or an error.
    CONTAINING_RECORD(log->BlockList.Blink, LOG_BLOCK, Links)->Used = 0;
    UserBuffer buffer(LOG_BLOCK_DATA_SIZE);
    std::vector<ReadRecord> records;
    ASSERT_EQ(Read(buffer, records), STATUS_SUCCESS);
    EXPECT_EQ(Sequences(records), Range(2, 2));
    EXPECT_EQ(LiveBlocks(), 1u);
}

TEST_F(LogTest, AnUnwantedRecordIsNotWritten) {
    RECORD_DESCRIPTOR record;
    RecordDescribe(&record, LogTag::urbI, 0, 10);
    record.Wanted = FALSE;
    EXPECT_FALSE(LogWriteRecord(log, &record, FillPattern, nullptr, nullptr, nullptr));
    EXPECT_FALSE(RecordIsReserved(&record));
    EXPECT_EQ(LiveBlocks(), 0u);
    EXPECT_EQ(Statistics(log).SequenceNumber, 0u);
}

} // namespace
} // namespace drvlog_test
