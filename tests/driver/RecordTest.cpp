// The record as a filler builds it: sizing that keeps every record within one block, the header, the
// buffer-copy rule, and transfers that go on in continuation records.
#include "LogTestHelpers.h"
#include "NtClock.h"
#include "common/RecordPayloads.h"
#include "driver/record/RecordContinuation.h"

namespace drvlog_test {
namespace {

using RecordTest = LogFixture;

constexpr ULONG kTestTag = FourCC("Test");

// Memory from pool (a valid address for the kernel), filled with a pattern.
class PoolBytes {
public:
    explicit PoolBytes(ULONG size) {
        m_bytes = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPoolNx, size, kTestTag));
        for (ULONG i = 0; i < size; ++i) {
            m_bytes[i] = static_cast<UCHAR>(i * 7 + i / 251);
        }
    }
    ~PoolBytes() { ExFreePoolWithTag(m_bytes, kTestTag); }
    PoolBytes(const PoolBytes&) = delete;
    PoolBytes& operator=(const PoolBytes&) = delete;

    PUCHAR Data() const { return m_bytes; }
    std::vector<uint8_t> Slice(ULONG offset, ULONG length) const {
        return std::vector<uint8_t>(m_bytes + offset, m_bytes + offset + length);
    }

private:
    PUCHAR m_bytes;
};

struct CopySource {
    PVOID buffer;
    PMDL mdl;
    ULONG length;
};

VOID FillCopy(PRECORD_DESCRIPTOR record, PVOID context, PIRP, PVOID, BOOLEAN) {
    auto source = static_cast<const CopySource*>(context);
    RecordCopyBuffer(record, source->buffer, source->mdl, source->length);
}

// Part 2 of a record whose filler copied `length` bytes of a request's buffer by the copy rule.
std::vector<uint8_t> CopyThroughLog(PCAPTURE_LOG log, PVOID buffer, PMDL mdl, ULONG length) {
    RECORD_DESCRIPTOR record;
    RecordDescribe(&record, LogTag::hubC, 0, length);
    CopySource source{buffer, mdl, length};
    EXPECT_TRUE(LogWriteRecord(log, &record, FillCopy, &source, nullptr, nullptr));
    UserBuffer out(LOG_BLOCK_DATA_SIZE);
    ULONG bytes = 0;
    EXPECT_EQ(LogReadBlock(log, out.Data(), out.Size(), &bytes), STATUS_SUCCESS);
    std::vector<ReadRecord> records = ParseRecords(out.First(bytes));
    if (records.size() != 1) {
        ADD_FAILURE() << "expected one record";
        return {};
    }
    auto payload = records[0].Payload();
    return std::vector<uint8_t>(payload.begin(), payload.end());
}

// An address that faults when read: a test that dereferences it crashes.
PVOID const kFaultingAddress = reinterpret_cast<PVOID>(ULONG_PTR{0xFFFF800000001000});

TEST(RecordSizing, PartsAreBoundedSoTheRecordFitsAnEmptyBlock) {
    constexpr ULONG maxData = LOG_BLOCK_DATA_SIZE - 68;
    struct Case {
        ULONG part1, part2;
        ULONG wantPart1, wantPart2;
        bool cut;
    } cases[] = {
        {16, 100, 16, 100, false},          {0, maxData, 0, maxData, false},
        {0, maxData + 1, 0, maxData, true}, {10, 0xFFFFFFFF, 10, maxData - 10, true},
        {70000, 5, maxData, 0, true},
    };
    for (const Case& c : cases) {
        RECORD_DESCRIPTOR record;
        RecordDescribe(&record, LogTag::hidC, c.part1, c.part2);
        EXPECT_EQ(record.Part1Size, c.wantPart1) << c.part1 << "/" << c.part2;
        EXPECT_EQ(record.Part2Size, c.wantPart2) << c.part1 << "/" << c.part2;
        EXPECT_EQ(record.Cut != FALSE, c.cut) << c.part1 << "/" << c.part2;
        EXPECT_LE(RecordSize(&record), LOG_BLOCK_DATA_SIZE);
        EXPECT_TRUE(record.Wanted);
        EXPECT_FALSE(RecordIsReserved(&record));
    }
}

TEST_F(RecordTest, ABoundedRecordIsWrittenWholeWithTheDataSizeItCarries) {
    ASSERT_TRUE(WritePattern(log, 20, 1'000'000, 0x33));
    const std::vector<ReadRecord> records = ReadAll();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].dataSize, LOG_BLOCK_DATA_SIZE - 68);
    EXPECT_EQ(records[0].bytes.size(), LOG_BLOCK_DATA_SIZE);
}

TEST_F(RecordTest, HeaderCarriesFrameSequenceTimeAndTheRequestFields) {
    nt::clock::UseVirtualClock();
    const LONGLONG t0 = KeQueryPerformanceCounter(nullptr).QuadPart;
    RECORD_HEADER_INFO info = {};
    info.Function = 0x220003;
    info.StackCount = 7;
    info.CurrentLocation = 3;
    info.StackID = 0x1234;
    info.DeviceObject = 0xFFFFA00011112222;
    info.Irp = 0xFFFFA00033334444;
    info.StackLocation = 0xFFFFA00055556666;
    info.Status = STATUS_PENDING;
    auto fill = [](PRECORD_DESCRIPTOR record, PVOID context, PIRP, PVOID, BOOLEAN) {
        RecordSetHeader(record, static_cast<const RECORD_HEADER_INFO*>(context));
    };
    RECORD_DESCRIPTOR record;
    RecordDescribe(&record, LogTag::urbI, 4, 6);
    ASSERT_TRUE(LogWriteRecord(log, &record, fill, &info, nullptr, nullptr));
    nt::clock::Advance(1000);
    RecordDescribe(&record, LogTag::urbC, 0, 0);
    record.More = TRUE;
    ASSERT_TRUE(LogWriteRecord(log, &record, fill, &info, nullptr, nullptr));

    const std::vector<ReadRecord> records = ReadAll();
    ASSERT_EQ(records.size(), 2u);
    const uint8_t* r = records[0].bytes.data();
    _LOGHDR header;
    std::memcpy(&header, r, sizeof header);
    EXPECT_EQ(header.Sync, LogTag::Sync);
    EXPECT_EQ(header.SequenceNumber, 0u);
    EXPECT_EQ(header.TimeStamp, t0);
    EXPECT_EQ(header.LogType, LogTag::urbI);
    EXPECT_EQ(header.Function, 0x220003u);
    EXPECT_EQ(header.DataSize, 10u);
    EXPECT_EQ(header.StackCount, 7);
    EXPECT_EQ(header.CurrentLocation, 3);
    EXPECT_EQ(header.StackID, 0x1234);
    EXPECT_EQ(header.DeviceObject, 0xFFFFA00011112222u);
    EXPECT_EQ(header.Irp, 0xFFFFA00033334444u);
    EXPECT_EQ(header.StackLocation, 0xFFFFA00055556666u);
    EXPECT_EQ(header.Status, static_cast<ULONG>(STATUS_PENDING));
    EXPECT_EQ(header.Continuation, LogTag::Data);
    EXPECT_EQ(tdl::LoadLe<ULONG>(r + 64 + 10), LogTag::Fini);
    for (uint8_t b : records[0].Payload()) {
        EXPECT_EQ(b, 0) << "parts the filler left are zero";
    }

    EXPECT_EQ(records[1].sequence, 1u);
    EXPECT_EQ(LogHdr::TimeStamp(records[1].bytes.data()), t0 + 1000);
    EXPECT_EQ(records[1].continuation, LogTag::More);
}

TEST_F(RecordTest, BufferCopyTakesTheBufferOrItsMdlAndNeverReadsAnInvalidAddress) {
    constexpr ULONG n = 300;
    PoolBytes data(n);
    PMDL lockedMdl = IoAllocateMdl(data.Data(), n, FALSE, FALSE, nullptr);
    ASSERT_NE(lockedMdl, nullptr);
    MmBuildMdlForNonPagedPool(lockedMdl);
    PMDL unlockedMdl = IoAllocateMdl(data.Data(), n, FALSE, FALSE, nullptr);
    ASSERT_NE(unlockedMdl, nullptr);

    const std::vector<uint8_t> original = data.Slice(0, n);
    const std::vector<uint8_t> bangs(n, '!');
    const std::vector<uint8_t> zeros(n, 0);
    struct Case {
        const char* what;
        PVOID buffer;
        PMDL mdl;
        const std::vector<uint8_t>& want;
    } cases[] = {
        {"valid buffer", data.Data(), nullptr, original},
        {"valid buffer, its MDL beside it", data.Data(), lockedMdl, original},
        {"no buffer, MDL of non-paged pool", nullptr, lockedMdl, original},
        {"invalid buffer, valid MDL", kFaultingAddress, lockedMdl, original},
        {"invalid buffer, no MDL", kFaultingAddress, nullptr, bangs},
        {"invalid buffer, MDL at an invalid address", kFaultingAddress, static_cast<PMDL>(kFaultingAddress), bangs},
        {"no buffer, MDL whose pages are not locked", nullptr, unlockedMdl, bangs},
        {"neither buffer nor MDL", nullptr, nullptr, zeros},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CopyThroughLog(log, c.buffer, c.mdl, n), c.want) << c.what;
    }
    IoFreeMdl(lockedMdl);
    IoFreeMdl(unlockedMdl);
}

TEST_F(RecordTest, BufferCopyStopsReadingWhereTheBufferEnds) {
    // The request claims more bytes than its buffer holds: what lies past the allocation is never read
    // (the sanitizer would report it) and is recorded as '!'; what lies before it is copied.
    PoolBytes data(100);
    const std::vector<uint8_t> copied = CopyThroughLog(log, data.Data(), nullptr, 5000);
    ASSERT_EQ(copied.size(), 5000u);
    for (ULONG i = 0; i < 100; ++i) {
        EXPECT_TRUE(copied[i] == data.Data()[i] || copied[i] == '!') << i;
    }
    EXPECT_EQ(std::vector<uint8_t>(copied.begin(), copied.begin() + 100), data.Slice(0, 100))
        << "the page piece is copied up to where the buffer ends";
    for (ULONG i = 100; i < 5000; ++i) {
        ASSERT_EQ(copied[i], '!') << i;
    }
}

TEST_F(RecordTest, ChecksAndPlainAppendsShareThePartInOrder) {
    PoolBytes data(16);
    auto fill = [](PRECORD_DESCRIPTOR record, PVOID context, PIRP, PVOID, BOOLEAN) {
        const USHORT zero = 0;
        RecordAppendChecked(record, context, 16);
        RecordAppendPart2(record, &zero, sizeof zero);
        RecordAppendChecked(record, kFaultingAddress, 4);
        RecordAppendChecked(record, nullptr, 3);
        EXPECT_EQ(RecordAppendPart2(record, &zero, sizeof zero), 0u) << "no room past the part";
    };
    RECORD_DESCRIPTOR record;
    RecordDescribe(&record, LogTag::urbI, 0, 25);
    ASSERT_TRUE(LogWriteRecord(log, &record, fill, data.Data(), nullptr, nullptr));
    std::vector<uint8_t> want = data.Slice(0, 16);
    want.insert(want.end(), {0, 0, '!', '!', '!', '!', 0, 0, 0});
    const std::vector<ReadRecord> records = ReadAll();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(std::vector<uint8_t>(records[0].Payload().begin(), records[0].Payload().end()), want);
}

// A bulk IN transfer of 200,000 bytes, all of them to be captured: the completion record carries the first
// 64 KiB with "MORE", three continuations carry the rest.
TEST_F(RecordTest, TransferDataBeyondOnePieceGoesOnInContinuationRecords) {
    constexpr ULONG total = 200'000;
    PoolBytes data(total);
    CONTINUATION_SOURCE source = {};
    source.Header.Function = 9;
    source.Header.StackID = 5;
    source.Header.DeviceObject = 0xFFFFA000000D0000;
    source.Header.Irp = 0xFFFFA000000E0000;
    source.TransferBufferLength = total;
    source.TransferFlags = URB_RECORD_TRANSFER_DIRECTION_IN;
    source.DeviceByte = 2;
    source.InterfaceNumber = 1;
    source.EndpointAddress = 0x81;
    source.Buffer = data.Data();

    auto fillUrb = [](PRECORD_DESCRIPTOR record, PVOID context, PIRP, PVOID, BOOLEAN) {
        auto s = static_cast<const CONTINUATION_SOURCE*>(context);
        RecordSetHeader(record, &s->Header);
        URB_RECORD_BULK_OR_INTERRUPT_TRANSFER part1 = {};
        part1.TransferBufferLength = s->TransferBufferLength;
        part1.CapturedLength = record->Part2Size;
        RecordWritePart1(record, &part1, sizeof part1);
        RecordCopyBuffer(record, s->Buffer, s->Mdl, record->Part2Size);
    };
    RECORD_DESCRIPTOR record;
    RecordDescribe(&record, LogTag::urbC, sizeof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER), 0);
    RecordSetTransfer(&record, total);
    ASSERT_TRUE(LogWriteRecord(log, &record, fillUrb, &source, nullptr, nullptr));
    EXPECT_EQ(LogWriteContinuations(log, &record, LogTag::cCnt, &source), 3u);

    const std::vector<ReadRecord> records = ReadAll();
    ASSERT_EQ(records.size(), 4u);
    EXPECT_EQ(records[0].tag, LogTag::urbC);
    EXPECT_EQ(records[0].continuation, LogTag::More);
    EXPECT_EQ(records[0].dataSize, 42u + 65536u);
    EXPECT_EQ(std::vector<uint8_t>(records[0].Payload().begin() + 42, records[0].Payload().end()),
              data.Slice(0, 65536));

    struct Piece {
        ULONG offset, length, marker;
    } pieces[] = {{65536, 65536, LogTag::More}, {131072, 65536, LogTag::More}, {196608, 3392, LogTag::Data}};
    for (int i = 0; i < 3; ++i) {
        const ReadRecord& r = records[i + 1];
        const uint8_t* h = r.bytes.data();
        EXPECT_EQ(r.tag, LogTag::cCnt);
        EXPECT_EQ(r.sequence, static_cast<ULONG>(i + 1));
        EXPECT_EQ(r.continuation, pieces[i].marker);
        EXPECT_EQ(r.function, 9u);
        EXPECT_EQ(LogHdr::StackID(h), 5);
        EXPECT_EQ(tdl::LoadLe<ULONG64>(h + offsetof(_LOGHDR, DeviceObject)), 0xFFFFA000000D0000u);
        EXPECT_EQ(tdl::LoadLe<ULONG64>(h + offsetof(_LOGHDR, Irp)), 0xFFFFA000000E0000u);
        URB_RECORD_CONTINUATION part1;
        std::memcpy(&part1, r.Payload().data(), sizeof part1);
        EXPECT_EQ(part1.TransferBufferLength, total);
        EXPECT_EQ(part1.TransferFlags, URB_RECORD_TRANSFER_DIRECTION_IN);
        EXPECT_EQ(part1.Offset, pieces[i].offset);
        EXPECT_EQ(part1.PieceLength, pieces[i].length);
        EXPECT_EQ(part1.DeviceByte, 2);
        EXPECT_EQ(part1.InterfaceNumber, 1);
        EXPECT_EQ(part1.EndpointAddress, 0x81);
        EXPECT_EQ(r.dataSize, 20u + pieces[i].length);
        EXPECT_EQ(std::vector<uint8_t>(r.Payload().begin() + 20, r.Payload().end()),
                  data.Slice(pieces[i].offset, pieces[i].length));
    }
}

TEST_F(RecordTest, APieceThatFindsNoRoomDoesNotShiftTheOnesAfterIt) {
    constexpr ULONG total = 3 * 65536;
    PoolBytes data(total);
    CONTINUATION_SOURCE source = {};
    source.Buffer = data.Data();
    RECORD_DESCRIPTOR record;
    RecordDescribe(&record, LogTag::urbI, 42, 0);
    RecordSetTransfer(&record, total);
    EXPECT_EQ(record.Part2Size, 65536u);
    EXPECT_TRUE(record.More);
    // The first record and the first continuation are dropped for want of pool.
    nt::pool::InjectFailure({LOG_TAG_CAPTURE, 0, 2});
    EXPECT_FALSE(LogWriteRecord(log, &record, nullptr, nullptr, nullptr, nullptr));
    ASSERT_TRUE(RecordNextContinuation(&record, LogTag::iCnt));
    EXPECT_FALSE(LogWriteRecord(log, &record, RecordFillContinuation, &source, nullptr, nullptr));
    EXPECT_EQ(LogWriteContinuations(log, &record, LogTag::iCnt, &source), 1u);

    const std::vector<ReadRecord> records = ReadAll();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].sequence, 0u) << "dropped records used no number";
    EXPECT_EQ(records[0].continuation, LogTag::Data);
    URB_RECORD_CONTINUATION part1;
    std::memcpy(&part1, records[0].Payload().data(), sizeof part1);
    EXPECT_EQ(part1.Offset, 131072u);
    EXPECT_EQ(std::vector<uint8_t>(records[0].Payload().begin() + 20, records[0].Payload().end()),
              data.Slice(131072, 65536));
}

TEST_F(RecordTest, ATransferOfOnePieceHasNoContinuation) {
    RECORD_DESCRIPTOR record;
    RecordDescribe(&record, LogTag::urbC, 42, 0);
    RecordSetTransfer(&record, 65536);
    EXPECT_EQ(record.Part2Size, 65536u);
    EXPECT_FALSE(record.More);
    EXPECT_FALSE(RecordNextContinuation(&record, LogTag::cCnt));
}

} // namespace
} // namespace drvlog_test
