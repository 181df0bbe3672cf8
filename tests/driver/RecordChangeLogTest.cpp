// Change-log records: header fields and node-entry payload of each kind, and the writers' gates.
#include "driver/record/RecordChangeLog.h"
#include "LogTestHelpers.h"

namespace drvlog_test {
namespace {

class RecordChangeLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        nt::ResetKernelState();
        log = LogCreate(LOG_TAG_CHANGE);
        ASSERT_NE(log, nullptr);
        LogSetActive(log, TRUE);
    }
    void TearDown() override {
        LogFree(log);
        EXPECT_EQ(nt::pool::Stats(LOG_TAG_CHANGE).liveCount, 0u);
    }

    std::vector<ReadRecord> ReadAll() {
        UserBuffer buffer(LOG_BLOCK_DATA_SIZE);
        ULONG bytes = 0;
        EXPECT_EQ(LogReadBlock(log, buffer.Data(), buffer.Size(), &bytes), STATUS_SUCCESS);
        return ParseRecords(buffer.First(bytes));
    }

    PCAPTURE_LOG log = nullptr;
};

template <class T> std::vector<uint8_t> BytesOf(const T& entry) {
    auto p = reinterpret_cast<const uint8_t*>(&entry);
    return std::vector<uint8_t>(p, p + sizeof entry);
}

// Header fields a change-log record sets beyond the frame.
struct ChangeHeader {
    ULONG tag;
    USHORT stackId;
    ULONG64 deviceObject;
    ULONG64 irp;
    ULONG status;
};

void ExpectChangeRecord(const ReadRecord& r, const ChangeHeader& want, const std::vector<uint8_t>& payload) {
    const uint8_t* h = r.bytes.data();
    EXPECT_EQ(r.tag, want.tag);
    EXPECT_EQ(r.function, 0u);
    EXPECT_EQ(h[offsetof(_LOGHDR, StackCount)], 0);
    EXPECT_EQ(h[offsetof(_LOGHDR, CurrentLocation)], 0);
    EXPECT_EQ(LogHdr::StackID(h), want.stackId);
    EXPECT_EQ(tdl::LoadLe<ULONG64>(h + offsetof(_LOGHDR, DeviceObject)), want.deviceObject);
    EXPECT_EQ(tdl::LoadLe<ULONG64>(h + offsetof(_LOGHDR, Irp)), want.irp);
    EXPECT_EQ(tdl::LoadLe<ULONG64>(h + offsetof(_LOGHDR, StackLocation)), 0u);
    EXPECT_EQ(LogHdr::Status(h), want.status);
    EXPECT_EQ(std::vector<uint8_t>(r.Payload().begin(), r.Payload().end()), payload);
}

TEST_F(RecordChangeLogTest, EachKindCarriesItsNodeEntryAndHeaderFields) {
    DEVICE_NODE device = {};
    device.Header = {NODE_KIND_DEVICE, DEVICE_NODE_SIZE};
    CopyNodeString(device.DeviceName, "USBPDO-3", 8);
    device.DeviceObject = 0xFFFFA00000001000;
    device.StatusFlags = DEVOBJ_HOOKED | DEVOBJ_SELECTED;
    device.StackID = 12;
    device.Position = 1;
    DEVSTK_NODE stack = {};
    stack.Header = {NODE_KIND_DEVSTK, DEVSTK_NODE_SIZE};
    stack.StackID = 12;
    stack.ParentStackID = 3;
    CopyNodeString(stack.DeviceDescription, "USB Composite Device", 20);
    const int deviceNode = 0, driverEntry = 0, stackNode = 0; // stand-ins for the driver's nodes
    const ULONG64 deviceNodeAddress = reinterpret_cast<ULONG_PTR>(&deviceNode);
    const ULONG64 driverEntryAddress = reinterpret_cast<ULONG_PTR>(&driverEntry);
    const ULONG64 stackNodeAddress = reinterpret_cast<ULONG_PTR>(&stackNode);
    const PVOID driverObject = reinterpret_cast<PVOID>(ULONG_PTR{0xFFFFA00000002000});

    ASSERT_TRUE(ChangeLogWriteDevice(log, LogTag::vedA, &device, &deviceNode));
    device.StatusFlags |= DEVOBJ_REMOVED;
    ASSERT_TRUE(ChangeLogWriteDevice(log, LogTag::vedR, &device, &deviceNode));
    ASSERT_TRUE(ChangeLogWriteDriver(log, LogTag::vrdA, "usbhub", driverObject, 0x3, &driverEntry));
    ASSERT_TRUE(ChangeLogWriteStack(log, LogTag::ktsA, &stack, 2, &stackNode));
    ASSERT_TRUE(ChangeLogWriteStack(log, LogTag::ktsR, &stack, 5, &stackNode));

    DRIVER_NODE driver = {};
    driver.Header = {NODE_KIND_DRIVER, DRIVER_NODE_SIZE};
    std::memcpy(driver.DriverName, "usbhub", 6);
    driver.DriverObject = 0xFFFFA00000002000;
    DEVICE_NODE arrived = device;
    arrived.StatusFlags &= ~DEVOBJ_REMOVED;

    const std::vector<ReadRecord> records = ReadAll();
    ASSERT_EQ(records.size(), 5u);
    ExpectChangeRecord(records[0], {LogTag::vedA, 12, device.DeviceObject, deviceNodeAddress, 0x11}, BytesOf(arrived));
    ExpectChangeRecord(records[1], {LogTag::vedR, 12, device.DeviceObject, deviceNodeAddress, 0x15}, BytesOf(device));
    ExpectChangeRecord(records[2], {LogTag::vrdA, 0, 0, driverEntryAddress, 0x3}, BytesOf(driver));
    ExpectChangeRecord(records[3], {LogTag::ktsA, 12, 0, stackNodeAddress, 2}, BytesOf(stack));
    ExpectChangeRecord(records[4], {LogTag::ktsR, 12, 0, stackNodeAddress, 5}, BytesOf(stack));
    for (ULONG i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].sequence, i);
    }
}

TEST_F(RecordChangeLogTest, DriverNameIsCutToFifteenCharactersAndTheRestIsZero) {
    ASSERT_TRUE(ChangeLogWriteDriver(log, LogTag::vrdR, "averyveryverylongdrivername", nullptr, 0, nullptr));
    const std::vector<ReadRecord> records = ReadAll();
    ASSERT_EQ(records.size(), 1u);
    DRIVER_NODE want = {};
    want.Header = {NODE_KIND_DRIVER, DRIVER_NODE_SIZE};
    std::memcpy(want.DriverName, "averyveryverylo", 15);
    EXPECT_EQ(std::vector<uint8_t>(records[0].Payload().begin(), records[0].Payload().end()), BytesOf(want));
}

TEST_F(RecordChangeLogTest, NothingIsWrittenWhileTheLogIsInactiveOrForAWrongTag) {
    DEVICE_NODE device = {};
    DEVSTK_NODE stack = {};
    EXPECT_FALSE(ChangeLogWriteDevice(log, LogTag::ktsA, &device, nullptr));
    EXPECT_FALSE(ChangeLogWriteDriver(log, LogTag::vedA, "x", nullptr, 0, nullptr));
    EXPECT_FALSE(ChangeLogWriteStack(log, LogTag::vrdR, &stack, 0, nullptr));
    LogSetActive(log, FALSE);
    EXPECT_FALSE(ChangeLogWriteDevice(log, LogTag::vedA, &device, nullptr));
    EXPECT_FALSE(ChangeLogWriteDriver(log, LogTag::vrdA, "x", nullptr, 0, nullptr));
    EXPECT_FALSE(ChangeLogWriteStack(log, LogTag::ktsA, &stack, 0, nullptr));
    EXPECT_TRUE(ReadAll().empty());
    EXPECT_EQ(Statistics(log).SequenceNumber, 0u);
}

} // namespace
} // namespace drvlog_test
