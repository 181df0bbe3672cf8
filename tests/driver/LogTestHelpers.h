// What the log and record tests share: a fresh log per test with a leak check, a reader's buffer the kernel
// accepts, a pattern filler whose records can be checked byte for byte, and a parser for what a read returns.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "NtControl.h"
#include "NtIrql.h"
#include "NtPoolControl.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"
#include "driver/log/Log.h"

namespace drvlog_test {

// A caller's buffer that the kernel treats as valid memory (as the I/O manager does for a request's
// buffers), so LogReadBlock's probe accepts it.
class UserBuffer {
public:
    explicit UserBuffer(size_t size) : m_bytes(size) { nt::pool::RegisterRange(m_bytes.data(), m_bytes.size()); }
    ~UserBuffer() { nt::pool::UnregisterRange(m_bytes.data(), m_bytes.size()); }
    UserBuffer(const UserBuffer&) = delete;
    UserBuffer& operator=(const UserBuffer&) = delete;

    uint8_t* Data() { return m_bytes.data(); }
    ULONG Size() const { return static_cast<ULONG>(m_bytes.size()); }
    std::span<const uint8_t> First(size_t n) const { return std::span<const uint8_t>(m_bytes).first(n); }

private:
    std::vector<uint8_t> m_bytes;
};

// One record as a reader sees it.
struct ReadRecord {
    ULONG sequence;
    ULONG tag;
    ULONG function;
    ULONG dataSize;
    ULONG continuation;
    std::vector<uint8_t> bytes; // the whole record
    std::span<const uint8_t> Payload() const { return std::span<const uint8_t>(bytes).subspan(LOGHDR_SIZE, dataSize); }
};

// Splits what one read returned into records; every record's frame must check and the bytes must end on
// a record boundary.
inline std::vector<ReadRecord> ParseRecords(std::span<const uint8_t> block) {
    std::vector<ReadRecord> records;
    RecordWalker walker(block);
    std::span<const uint8_t> record;
    while (walker.Next(record)) {
        const uint8_t* r = record.data();
        records.push_back({LogHdr::SequenceNumber(r), LogHdr::LogType(r), LogHdr::Function(r), LogHdr::DataSize(r),
                           LogHdr::Continuation(r), std::vector<uint8_t>(record.begin(), record.end())});
    }
    EXPECT_TRUE(walker.AtEnd()) << "damaged record at offset " << walker.Offset() << ": "
                                << RecordFrameErrorName(walker.Error());
    return records;
}

// A record whose function word says who wrote it and whose part 1 (when it has room) and part 2 repeat one
// byte value, so a reader can tell a torn or mixed record.
struct Pattern {
    ULONG function = 0;
    UCHAR fill = 0;
};

inline VOID FillPattern(PRECORD_DESCRIPTOR record, PVOID context, PIRP, PVOID, BOOLEAN) {
    auto pattern = static_cast<const Pattern*>(context);
    RECORD_HEADER_INFO info = {};
    info.Function = pattern->function;
    RecordSetHeader(record, &info);
    std::vector<uint8_t> part1(record->Part1Size, pattern->fill);
    RecordWritePart1(record, part1.data(), record->Part1Size);
    std::vector<uint8_t> part2(record->Part2Size, pattern->fill);
    RecordAppendPart2(record, part2.data(), record->Part2Size);
}

// Writes one pattern record with the given part sizes; false when the log took none.
inline bool WritePattern(PCAPTURE_LOG log, ULONG part1, ULONG part2, UCHAR fill = 0x5A, ULONG function = 0,
                         ULONG tag = LogTag::urbI) {
    RECORD_DESCRIPTOR record;
    RecordDescribe(&record, tag, part1, part2);
    Pattern pattern{function, fill};
    return LogWriteRecord(log, &record, FillPattern, &pattern, nullptr, nullptr) != FALSE;
}

// Payload size that makes a record of exactly `recordSize` bytes.
constexpr ULONG PayloadFor(ULONG recordSize) {
    return recordSize - RECORD_HEADER_PART_SIZE;
}

inline LOG_STATISTICS Statistics(PCAPTURE_LOG log) {
    LOG_STATISTICS statistics;
    LogQueryStatistics(log, &statistics);
    return statistics;
}

// Every test starts from a clean kernel with a fresh capture log and ends with no block of it left in pool.
class LogFixture : public ::testing::Test {
protected:
    void SetUp() override {
        nt::ResetKernelState();
        m_liveBlocksBefore = nt::pool::Stats(LOG_TAG_CAPTURE).liveCount;
        log = LogCreate(LOG_TAG_CAPTURE);
        ASSERT_NE(log, nullptr);
    }
    void TearDown() override {
        LogFree(log);
        EXPECT_EQ(nt::pool::Stats(LOG_TAG_CAPTURE).liveCount, m_liveBlocksBefore) << "log blocks leaked";
        EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);
        nt::ResetKernelState();
    }

    // Reads one block; the status and the records it returned.
    NTSTATUS Read(UserBuffer& buffer, std::vector<ReadRecord>& records) {
        ULONG bytes = 0xFFFFFFFF;
        NTSTATUS status = LogReadBlock(log, buffer.Data(), buffer.Size(), &bytes);
        EXPECT_LE(bytes, LOG_BLOCK_DATA_SIZE);
        records = ParseRecords(buffer.First(bytes));
        return status;
    }

    // Reads until the log is empty; every record, in order.
    std::vector<ReadRecord> ReadAll() {
        UserBuffer buffer(LOG_BLOCK_DATA_SIZE);
        std::vector<ReadRecord> all;
        for (;;) {
            std::vector<ReadRecord> records;
            EXPECT_EQ(Read(buffer, records), STATUS_SUCCESS);
            if (records.empty()) {
                return all;
            }
            all.insert(all.end(), records.begin(), records.end());
        }
    }

    ULONG LiveBlocks() const {
        return static_cast<ULONG>(nt::pool::Stats(LOG_TAG_CAPTURE).liveCount - m_liveBlocksBefore);
    }

    PCAPTURE_LOG log = nullptr;

private:
    size_t m_liveBlocksBefore = 0;
};

} // namespace drvlog_test
