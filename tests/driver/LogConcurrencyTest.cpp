// Eight writers at DISPATCH_LEVEL and one reader on one log: every record comes out whole, in sequence
// order, and every record written is either read or counted lost with a recycled block.
#include <array>
#include <atomic>
#include <thread>

#include "LogTestHelpers.h"

namespace drvlog_test {
namespace {

using LogConcurrencyTest = LogFixture;

constexpr ULONG kWriters = 8;
constexpr ULONG kRecordsPerWriter = 4000;

// Part 1 names the writer and its record; part 2 repeats a byte derived from both, with a length that
// varies from record to record.
struct Stamp {
    ULONG writer;
    ULONG counter;
};

constexpr ULONG Part2Length(ULONG counter) {
    return (counter * 37) % 700;
}
constexpr UCHAR Part2Byte(ULONG writer, ULONG counter) {
    return static_cast<UCHAR>(writer * 16 + counter);
}

struct WriterContext {
    Stamp stamp;
    std::array<UCHAR, 700> part2;
};

VOID FillStamped(PRECORD_DESCRIPTOR record, PVOID context, PIRP, PVOID, BOOLEAN) {
    auto writer = static_cast<const WriterContext*>(context);
    RECORD_HEADER_INFO info = {};
    info.Function = writer->stamp.writer << 24 | writer->stamp.counter;
    RecordSetHeader(record, &info);
    RecordWritePart1(record, &writer->stamp, sizeof writer->stamp);
    RecordAppendPart2(record, writer->part2.data(), record->Part2Size);
}

void Writer(PCAPTURE_LOG log, ULONG writer) {
    const KIRQL old = KeRaiseIrqlToDpcLevel();
    WriterContext context;
    for (ULONG counter = 0; counter < kRecordsPerWriter; ++counter) {
        context.stamp = {writer, counter};
        context.part2.fill(Part2Byte(writer, counter));
        RECORD_DESCRIPTOR record;
        RecordDescribe(&record, LogTag::urbC, sizeof(Stamp), Part2Length(counter));
        if (!LogWriteRecord(log, &record, FillStamped, &context, nullptr, nullptr)) {
            ADD_FAILURE() << "record not reserved";
        }
    }
    KeLowerIrql(old);
}

// Checks one record against what its writer put in; false (with a failure) when it does not match.
bool CheckStamped(const ReadRecord& r, std::array<LONG, kWriters>& lastCounter) {
    if (r.tag != LogTag::urbC || r.continuation != LogTag::Data || r.dataSize < sizeof(Stamp)) {
        ADD_FAILURE() << "record " << r.sequence << ": wrong tag, marker or size";
        return false;
    }
    Stamp stamp;
    std::memcpy(&stamp, r.Payload().data(), sizeof stamp);
    if (stamp.writer >= kWriters || r.function != (stamp.writer << 24 | stamp.counter) ||
        r.dataSize != sizeof(Stamp) + Part2Length(stamp.counter)) {
        ADD_FAILURE() << "record " << r.sequence << ": part 1 does not match its header";
        return false;
    }
    for (uint8_t b : r.Payload().subspan(sizeof(Stamp))) {
        if (b != Part2Byte(stamp.writer, stamp.counter)) {
            ADD_FAILURE() << "record " << r.sequence << ": part 2 mixed with another record";
            return false;
        }
    }
    if (static_cast<LONG>(stamp.counter) <= lastCounter[stamp.writer]) {
        ADD_FAILURE() << "writer " << stamp.writer << " out of order";
        return false;
    }
    lastCounter[stamp.writer] = static_cast<LONG>(stamp.counter);
    return true;
}

TEST_F(LogConcurrencyTest, EveryRecordIsReadWholeInOrderOrCountedLost) {
    std::atomic<ULONG> writersDone{0};
    std::vector<std::thread> writers;
    for (ULONG w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            Writer(log, w);
            writersDone++;
        });
    }

    // The reader starts once the chain has overflowed, so both the read and the recycle paths run while
    // writers are busy.
    while (Statistics(log).BlocksRecycled == 0 && writersDone < kWriters) {
        std::this_thread::yield();
    }
    UserBuffer buffer(LOG_BLOCK_DATA_SIZE);
    std::array<LONG, kWriters> lastCounter;
    lastCounter.fill(-1);
    uint64_t read = 0;
    LONG64 lastSequence = -1;
    bool ok = true;
    for (;;) {
        const bool finished = writersDone == kWriters; // sampled before the read: an empty read then ends it
        std::vector<ReadRecord> records;
        ASSERT_EQ(Read(buffer, records), STATUS_SUCCESS);
        for (const ReadRecord& r : records) {
            if (static_cast<LONG64>(r.sequence) <= lastSequence) {
                ADD_FAILURE() << "sequence " << r.sequence << " after " << lastSequence;
                ok = false;
            }
            lastSequence = r.sequence;
            ok = CheckStamped(r, lastCounter) && ok;
            ++read;
        }
        if (!ok) {
            break;
        }
        if (records.empty() && finished) {
            break;
        }
    }
    for (std::thread& t : writers) {
        t.join();
    }
    ASSERT_TRUE(ok);

    const LOG_STATISTICS statistics = Statistics(log);
    EXPECT_EQ(statistics.RecordsWritten, uint64_t{kWriters} * kRecordsPerWriter);
    EXPECT_EQ(statistics.RecordsDropped, 0u);
    EXPECT_GT(statistics.RecordsLost, 0u);
    EXPECT_EQ(read + statistics.RecordsLost, statistics.RecordsWritten);
    EXPECT_LE(statistics.BlockCount, LOG_BLOCK_LIMIT);
}

} // namespace
} // namespace drvlog_test
