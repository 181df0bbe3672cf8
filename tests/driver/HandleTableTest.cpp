// The device-handle and pipe tables: what a lookup finds, chains shared by several keys, entries shared by
// stacks, recycling of entries, and the device handles the tree hands over.
#include <atomic>
#include <thread>
#include <vector>

#include "NtPoolControl.h"
#include "driver/core/Pool.h"
#include "driver/nodes/ChainedTable.h"
#include "driver/nodes/HandleTables.h"
#include "driver/stacktree/DescriptorCache.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "tests/driver/HookTestFixture.h"

namespace drivertest {
namespace {

// Two different keys in the same bucket.
std::pair<ULONG64, ULONG64> SameBucketKeys() {
    const ULONG64 first = 0x1000;
    for (ULONG64 key = first + 8;; key += 8) {
        if (HandleTableBucket(key) == HandleTableBucket(first)) {
            return {first, key};
        }
    }
}

// An interface record of the test's own with one pipe.
struct OnePipeInterface {
    INTERFACE_RECORD record{};
    explicit OnePipeInterface(UCHAR number, ULONG64 pipeHandle, UCHAR endpoint) {
        record.PipeCount = 1;
        record.Info.InterfaceNumber = number;
        record.Info.NumberOfPipes = 1;
        record.Info.Pipes[0].EndpointAddress = endpoint;
        record.Info.Pipes[0].PipeHandle = reinterpret_cast<USBD_PIPE_HANDLE>(pipeHandle);
    }
};

class HandleTables : public HookTest {
protected:
    void SetUp() override {
        HookTest::SetUp();
        BuiltStack first = m_stacks.OnHubPort(u"hidusb");
        BuiltStack second = m_stacks.OnHubPort(u"usbstor");
        AddDevice(first.pdo);
        AddDevice(second.pdo);
        m_first = StackOf(first.pdo);
        m_second = StackOf(second.pdo);
        ASSERT_NE(m_first, nullptr);
        ASSERT_NE(m_second, nullptr);
    }

    PDEVICE_STACK m_first = nullptr;
    PDEVICE_STACK m_second = nullptr;
};

TEST_F(HandleTables, DeviceHandlesMapToTheirStacksAndHoldAReference) {
    const LONG references = m_first->References;
    ASSERT_TRUE(DeviceHandleTableInsert(0xD1, m_first));
    ASSERT_TRUE(DeviceHandleTableInsert(0xD2, m_second));
    ASSERT_TRUE(DeviceHandleTableInsert(0, m_first)); // never entered
    EXPECT_EQ(DeviceHandleTableCount(), 2u);
    EXPECT_EQ(m_first->References, references + 1);

    ULONG matches = 0;
    PDEVICE_STACK found = DeviceHandleTableLookup(0xD1, &matches);
    EXPECT_EQ(found, m_first);
    EXPECT_EQ(matches, 1u);
    StackRelease(found);
    EXPECT_EQ(DeviceHandleTableLookup(0xD3, &matches), nullptr);
    EXPECT_EQ(matches, 0u);

    DeviceHandleTableRemove(0xD1, m_first);
    EXPECT_EQ(DeviceHandleTableLookup(0xD1, nullptr), nullptr);
    EXPECT_EQ(m_first->References, references);
}

// A composite device's interface stacks carry their parent's handle: the first stack keeps the entry, and
// a stack that never had it cannot remove it.
TEST_F(HandleTables, SharedDeviceHandleIsEnteredOnceAndRemovedOnlyByItsStack) {
    ASSERT_TRUE(DeviceHandleTableInsert(0xD1, m_first));
    ASSERT_TRUE(DeviceHandleTableInsert(0xD1, m_second));
    ULONG matches = 0;
    PDEVICE_STACK found = DeviceHandleTableLookup(0xD1, &matches);
    EXPECT_EQ(found, m_first);
    EXPECT_EQ(matches, 1u);
    StackRelease(found);

    DeviceHandleTableRemove(0xD1, m_second);
    found = DeviceHandleTableLookup(0xD1, nullptr);
    EXPECT_EQ(found, m_first);
    StackRelease(found);
}

TEST_F(HandleTables, TreeHandsOverHandleChangesAndRemovals) {
    StackSetDeviceHandle(m_first, 0xA1);
    PDEVICE_STACK found = DeviceHandleTableLookup(0xA1, nullptr);
    EXPECT_EQ(found, m_first);
    StackRelease(found);

    StackSetDeviceHandle(m_first, 0xA2);
    EXPECT_EQ(DeviceHandleTableLookup(0xA1, nullptr), nullptr);
    found = DeviceHandleTableLookup(0xA2, nullptr);
    EXPECT_EQ(found, m_first);
    StackRelease(found);

    RemoveStackTree(m_first);
    EXPECT_EQ(DeviceHandleTableLookup(0xA2, nullptr), nullptr);
}

TEST_F(HandleTables, PipesSharingABucketAreToldApartAndTheNewestWins) {
    const auto [first, second] = SameBucketKeys();
    OnePipeInterface a(0, first, 0x81);
    OnePipeInterface b(1, second, 0x02);
    OnePipeInterface c(2, first, 0x83);
    ASSERT_TRUE(PipeTableInsert(first, &a.record, 0, m_first));
    ASSERT_TRUE(PipeTableInsert(second, &b.record, 0, m_second));

    PIPE_LOOKUP pipe{};
    ASSERT_TRUE(PipeTableLookup(second, &pipe));
    EXPECT_EQ(pipe.Pipe.EndpointAddress, 0x02);
    EXPECT_EQ(pipe.StackID, m_second->StackID);
    ASSERT_TRUE(PipeTableLookup(first, &pipe));
    EXPECT_EQ(pipe.Pipe.EndpointAddress, 0x81);

    ASSERT_TRUE(PipeTableInsert(first, &c.record, 0, m_first));
    ASSERT_TRUE(PipeTableLookup(first, &pipe));
    EXPECT_EQ(pipe.Pipe.EndpointAddress, 0x83);
    EXPECT_EQ(pipe.Matches, 2u);

    PipeTableRemoveInterface(&c.record);
    PipeTableRemoveInterface(&a.record);
    EXPECT_FALSE(PipeTableContains(first));
    EXPECT_TRUE(PipeTableLookup(second, &pipe));
    PipeTableRemoveInterface(&b.record);
    EXPECT_EQ(PipeTableCount(), 0u);
    EXPECT_FALSE(PipeTableLookup(0, &pipe));
}

TEST_F(HandleTables, RemovedEntriesAreReusedBeforeThePoolIsAsked) {
    OnePipeInterface a(0, 0x500, 0x81);
    ASSERT_TRUE(PipeTableInsert(0x500, &a.record, 0, m_first));
    PipeTableRemoveInterface(&a.record);
    const uint64_t allocations = nt::pool::Stats(KXTD_POOL_TAG).allocations;
    ASSERT_TRUE(PipeTableInsert(0x500, &a.record, 0, m_first));
    EXPECT_EQ(nt::pool::Stats(KXTD_POOL_TAG).allocations, allocations);

    nt::pool::InjectFailure({KXTD_POOL_TAG, 0, 1});
    EXPECT_FALSE(DeviceHandleTableInsert(0xD9, m_first)); // its free list is empty
    nt::pool::ClearInjectedFailures();
    PipeTableRemoveInterface(&a.record);
}

// An entry taken from the free list and given straight back (the handle was known) leaves the rest of the
// free list as it was.
TEST_F(HandleTables, RefusedDuplicateKeepsTheFreeListWhole) {
    for (ULONG64 handle : {0xD1, 0xD2, 0xD3}) {
        ASSERT_TRUE(DeviceHandleTableInsert(handle, m_first));
    }
    for (ULONG64 handle : {0xD1, 0xD2, 0xD3}) {
        DeviceHandleTableRemove(handle, m_first);
    }
    ASSERT_TRUE(DeviceHandleTableInsert(0xD1, m_first));
    ASSERT_TRUE(DeviceHandleTableInsert(0xD1, m_second)); // known: its entry goes back at once
    const uint64_t allocations = nt::pool::Stats(KXTD_POOL_TAG).allocations;
    ASSERT_TRUE(DeviceHandleTableInsert(0xD2, m_second));
    ASSERT_TRUE(DeviceHandleTableInsert(0xD3, m_second));
    EXPECT_EQ(nt::pool::Stats(KXTD_POOL_TAG).allocations, allocations);
    ASSERT_TRUE(DeviceHandleTableInsert(0xD4, m_second)); // the free list is used up: from the pool
    EXPECT_EQ(nt::pool::Stats(KXTD_POOL_TAG).allocations, allocations + 1);
    EXPECT_EQ(DeviceHandleTableCount(), 4u);
}

// Lookups take no lock: while another thread enters and removes two pipes whose entries share a chain and
// are recycled into each other, a lookup finds a pipe with all of its own values or not at all, never a mix
// of the two entries.
TEST_F(HandleTables, PipeLookupsRacingChangesSeeWholeEntries) {
    const auto keys = SameBucketKeys();
    const ULONG64 first = keys.first;
    const ULONG64 second = keys.second;
    OnePipeInterface a(1, first, 0x81);
    OnePipeInterface b(2, second, 0x02);
    a.record.Info.Class = 0x03;
    a.record.Info.Pipes[0] = {64, 0x81, 10, UsbdPipeTypeInterrupt, reinterpret_cast<USBD_PIPE_HANDLE>(first), 4096, 0};
    b.record.Info.Class = 0x08;
    b.record.Info.Pipes[0] = {512, 0x02, 0, UsbdPipeTypeBulk, reinterpret_cast<USBD_PIPE_HANDLE>(second), 65536, 1};

    std::atomic<bool> stop{false};
    std::thread writer([&] {
        while (!stop.load()) {
            PipeTableInsert(first, &a.record, 0, m_first);
            PipeTableInsert(second, &b.record, 0, m_second);
            PipeTableRemoveInterface(&a.record);
            PipeTableRemoveInterface(&b.record);
        }
    });
    struct Expected {
        ULONG64 handle;
        const OnePipeInterface& pipe;
        ULONG stackId;
    };
    const Expected expected[] = {{first, a, m_first->StackID}, {second, b, m_second->StackID}};
    ULONG found = 0;
    ULONG mixed = 0;
    for (int i = 0; i < 200000 || found == 0; ++i) {
        const Expected& want = expected[i & 1];
        PIPE_LOOKUP lookup{};
        if (!PipeTableLookup(want.handle, &lookup)) {
            continue;
        }
        ++found;
        const USBD_PIPE_INFORMATION& pipe = want.pipe.record.Info.Pipes[0];
        const bool whole =
            lookup.Matches == 1 && lookup.InterfaceNumber == want.pipe.record.Info.InterfaceNumber &&
            lookup.Class == want.pipe.record.Info.Class && lookup.StackID == want.stackId &&
            lookup.Pipe.EndpointAddress == pipe.EndpointAddress &&
            lookup.Pipe.MaximumPacketSize == pipe.MaximumPacketSize && lookup.Pipe.Interval == pipe.Interval &&
            lookup.Pipe.PipeType == pipe.PipeType && lookup.Pipe.PipeHandle == pipe.PipeHandle &&
            lookup.Pipe.MaximumTransferSize == pipe.MaximumTransferSize && lookup.Pipe.PipeFlags == pipe.PipeFlags;
        mixed += whole ? 0 : 1;
    }
    stop = true;
    writer.join();
    EXPECT_EQ(mixed, 0u) << "of " << found << " lookups that found a pipe";
    EXPECT_EQ(PipeTableCount(), 0u);
}

} // namespace
} // namespace drivertest
