// The log control codes from user mode, through DeviceIoControl on "\\.\Tindaloft": enable, disable, clear and
// read of the capture log and the change log.
#include "common/ControlCodes.h"
#include "driver/core/Driver.h"
#include "driver/record/RecordChangeLog.h"
#include "tests/driver/DriverFixture.h"
#include "tests/driver/LogTestHelpers.h"

namespace drivertest {
namespace {

using drvlog_test::ParseRecords;
using drvlog_test::PayloadFor;
using drvlog_test::ReadRecord;
using drvlog_test::WritePattern;

class ControlLog : public LoadedDriver {
protected:
    IoctlResult Send(DWORD code, ULONG word = 0) { return Ioctl(code, &word, sizeof word, nullptr, 0); }
    IoctlResult SendNoBuffer(DWORD code) { return Ioctl(code, nullptr, 0, nullptr, 0); }

    // One read request with a buffer of `size` bytes; the records it returned.
    std::vector<ReadRecord> Read(DWORD code, DWORD size, IoctlResult* result = nullptr) {
        std::vector<uint8_t> buffer(size);
        const IoctlResult r = Ioctl(code, nullptr, 0, buffer.data(), size);
        if (result != nullptr) {
            *result = r;
        } else {
            EXPECT_TRUE(r.ok) << r.error;
        }
        EXPECT_LE(r.bytes, LOG_BLOCK_DATA_SIZE);
        return ParseRecords(std::span<const uint8_t>(buffer).first(r.ok ? r.bytes : 0));
    }
    std::vector<ReadRecord> ReadAll(DWORD code) {
        std::vector<ReadRecord> all;
        for (;;) {
            std::vector<ReadRecord> records = Read(code, LOG_BLOCK_SIZE);
            if (records.empty()) {
                return all;
            }
            all.insert(all.end(), records.begin(), records.end());
        }
    }

    static size_t LiveBlocks(ULONG tag) { return nt::pool::Stats(tag).liveCount; }
};

TEST_F(ControlLog, EnableStartsTheCaptureLogWithAStartRecordAndKeepsAutoEnable) {
    EXPECT_FALSE(LogIsActive(g_Driver.CaptureLog));
    ASSERT_TRUE(Send(IOCTL_TINDALOFT_ENABLE_LOG, 0xFFFFFFFF).ok);
    EXPECT_TRUE(LogIsActive(g_Driver.CaptureLog));
    EXPECT_TRUE(g_Driver.AutoEnable);

    const std::vector<ReadRecord> records = ReadAll(IOCTL_TINDALOFT_READ_LOG);
    ASSERT_EQ(records.size(), 1u);
    const uint8_t* h = records[0].bytes.data();
    EXPECT_EQ(records[0].tag, LogTag::atsL);
    EXPECT_EQ(records[0].dataSize, 0u);
    EXPECT_EQ(records[0].function, 0u);
    EXPECT_EQ(tdl::LoadLe<ULONG64>(h + offsetof(_LOGHDR, DeviceObject)),
              reinterpret_cast<ULONG_PTR>(g_Driver.ControlDevice));
    EXPECT_NE(tdl::LoadLe<ULONG64>(h + offsetof(_LOGHDR, Irp)), 0u);
    EXPECT_NE(tdl::LoadLe<ULONG64>(h + offsetof(_LOGHDR, StackLocation)), 0u);

    ASSERT_TRUE(Send(IOCTL_TINDALOFT_ENABLE_LOG, 2).ok);
    EXPECT_FALSE(g_Driver.AutoEnable) << "only bit 0 switches AutoEnable";
}

TEST_F(ControlLog, EnableWithAShortWordChangesNothing) {
    const USHORT word = 1;
    const IoctlResult r = Ioctl(IOCTL_TINDALOFT_ENABLE_LOG, &word, sizeof word, nullptr, 0);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, ErrorOf(STATUS_INVALID_PARAMETER));
    EXPECT_FALSE(LogIsActive(g_Driver.CaptureLog));
    EXPECT_EQ(LiveBlocks(LOG_TAG_CAPTURE), 0u);
}

TEST_F(ControlLog, ReadReturnsWholeRecordsOneBlockAtATime) {
    IoctlResult result;
    EXPECT_TRUE(Read(IOCTL_TINDALOFT_READ_LOG, 100, &result).empty());
    EXPECT_TRUE(result.ok) << "an empty log reads as success";
    EXPECT_EQ(result.bytes, 0u);

    // What request capture would write: records of assorted sizes over several blocks.
    ULONG written = 0;
    for (ULONG i = 0; i < 400; ++i) {
        ASSERT_TRUE(WritePattern(g_Driver.CaptureLog, 16, (i * 997) % 2000, static_cast<UCHAR>(i)));
        ++written;
    }
    ASSERT_TRUE(WritePattern(g_Driver.CaptureLog, 0, PayloadFor(LOG_BLOCK_DATA_SIZE)));
    ++written;
    ULONG next = 0;
    for (;;) {
        const std::vector<ReadRecord> records = Read(IOCTL_TINDALOFT_READ_LOG, LOG_BLOCK_SIZE, &result);
        ASSERT_TRUE(result.ok) << result.error;
        if (records.empty()) {
            break;
        }
        for (const ReadRecord& r : records) {
            ASSERT_EQ(r.sequence, next++);
        }
    }
    EXPECT_EQ(next, written);
}

TEST_F(ControlLog, ABufferOneByteShortFailsAndTheSameBlockComesWholeNextTime) {
    ASSERT_TRUE(WritePattern(g_Driver.CaptureLog, 0, 500));
    ASSERT_TRUE(WritePattern(g_Driver.CaptureLog, 8, 0));
    const DWORD used = 2 * 68 + 508;

    IoctlResult result;
    EXPECT_TRUE(Read(IOCTL_TINDALOFT_READ_LOG, used - 1, &result).empty());
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.error, ErrorOf(STATUS_BUFFER_TOO_SMALL));
    EXPECT_EQ(result.error, 122u);

    const std::vector<ReadRecord> records = Read(IOCTL_TINDALOFT_READ_LOG, used, &result);
    ASSERT_TRUE(result.ok);
    EXPECT_EQ(result.bytes, used);
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].sequence, 0u);
    EXPECT_EQ(records[1].sequence, 1u);
}

TEST_F(ControlLog, ClearKeepsOneEmptyBlockAndDisableFreesAll) {
    ASSERT_TRUE(Send(IOCTL_TINDALOFT_ENABLE_LOG).ok);
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(WritePattern(g_Driver.CaptureLog, 0, PayloadFor(33000)));
    }
    ASSERT_EQ(LiveBlocks(LOG_TAG_CAPTURE), 3u);

    ASSERT_TRUE(SendNoBuffer(IOCTL_TINDALOFT_CLEAR_LOG).ok);
    EXPECT_EQ(LiveBlocks(LOG_TAG_CAPTURE), 1u);
    EXPECT_TRUE(ReadAll(IOCTL_TINDALOFT_READ_LOG).empty());
    EXPECT_TRUE(LogIsActive(g_Driver.CaptureLog)) << "clearing does not stop the capture";

    ASSERT_TRUE(WritePattern(g_Driver.CaptureLog, 0, 10));
    ASSERT_TRUE(SendNoBuffer(IOCTL_TINDALOFT_DISABLE_LOG).ok);
    EXPECT_EQ(LiveBlocks(LOG_TAG_CAPTURE), 0u);
    EXPECT_FALSE(LogIsActive(g_Driver.CaptureLog));
    EXPECT_TRUE(ReadAll(IOCTL_TINDALOFT_READ_LOG).empty());
}

TEST_F(ControlLog, EnableClogRestartsTheChangeLogSequence) {
    DEVICE_NODE device = {};
    device.Header = {NODE_KIND_DEVICE, DEVICE_NODE_SIZE};
    EXPECT_FALSE(ChangeLogWriteDevice(g_Driver.ChangeLog, LogTag::vedA, &device, nullptr)) << "not active yet";

    ASSERT_TRUE(Send(IOCTL_TINDALOFT_ENABLE_CLOG, 0x1234).ok);
    ASSERT_TRUE(ChangeLogWriteDevice(g_Driver.ChangeLog, LogTag::vedA, &device, nullptr));
    ASSERT_TRUE(ChangeLogWriteDevice(g_Driver.ChangeLog, LogTag::vedR, &device, nullptr));
    ASSERT_TRUE(Send(IOCTL_TINDALOFT_ENABLE_CLOG).ok);

    const std::vector<ReadRecord> records = ReadAll(IOCTL_TINDALOFT_READ_CLOG);
    ASSERT_EQ(records.size(), 4u);
    const std::pair<ULONG, ULONG> want[] = {{LogTag::atsL, 0}, {LogTag::vedA, 1}, {LogTag::vedR, 2}, {LogTag::atsL, 0}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(records[i].tag, want[i].first) << i;
        EXPECT_EQ(records[i].sequence, want[i].second) << i;
    }
    EXPECT_TRUE(ReadAll(IOCTL_TINDALOFT_READ_LOG).empty()) << "the capture log is a log of its own";
}

TEST_F(ControlLog, DisableClogFreesTheChangeLogOnlyWhenItIsActive) {
    ASSERT_TRUE(SendNoBuffer(IOCTL_TINDALOFT_DISABLE_CLOG).ok);
    LOG_STATISTICS statistics;
    LogQueryStatistics(g_Driver.ChangeLog, &statistics);
    EXPECT_EQ(statistics.SequenceNumber, 0u) << "an inactive change log gets no end record";

    ASSERT_TRUE(Send(IOCTL_TINDALOFT_ENABLE_CLOG).ok);
    for (int i = 0; i < 3; ++i) {
        ASSERT_TRUE(WritePattern(g_Driver.ChangeLog, 0, PayloadFor(33000), 0, 0, LogTag::ktsA));
    }
    ASSERT_TRUE(SendNoBuffer(IOCTL_TINDALOFT_CLEAR_CLOG).ok);
    EXPECT_EQ(LiveBlocks(LOG_TAG_CHANGE), 1u);
    EXPECT_TRUE(ReadAll(IOCTL_TINDALOFT_READ_CLOG).empty());

    ASSERT_TRUE(SendNoBuffer(IOCTL_TINDALOFT_DISABLE_CLOG).ok);
    EXPECT_FALSE(LogIsActive(g_Driver.ChangeLog));
    EXPECT_EQ(LiveBlocks(LOG_TAG_CHANGE), 0u);
}

} // namespace
} // namespace drivertest
