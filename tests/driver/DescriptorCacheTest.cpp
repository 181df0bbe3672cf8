// What a stack learns from completed requests: the configuration, its handle and interface records with
// their pipe handles from select requests, and the device, hub and BOS descriptors from descriptor requests.
#include <cstring>
#include <vector>

#include "NtMdlControl.h"
#include "NtPoolControl.h"
#include "common/FourCC.h"
#include "driver/core/Pool.h"
#include "driver/nodes/HandleTables.h"
#include "driver/stacktree/DescriptorCache.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "tests/driver/HookTestFixture.h"
#include "tests/driver/LogTestHelpers.h"

namespace drivertest {
namespace {

constexpr ULONG kTestTag = FourCC("Test");
constexpr ULONG_PTR kConfig = 0xC0F1000;
constexpr ULONG_PTR kOtherConfig = 0xC0F2000;

// Interface 0 with two pipes, interface 1 with one.
std::vector<InterfaceSpec> TwoInterfaces(ULONG_PTR base = 0x1000) {
    return {{0, 0, base + 0x10, {{0x81, base + 0x11, 8}, {0x02, base + 0x12, 64}}},
            {1, 0, base + 0x20, {{0x83, base + 0x21, 16}}}};
}

std::vector<uint8_t> Cached(PDEVICE_STACK stack, DESCRIPTOR_CACHE_KIND kind, bool* present = nullptr) {
    std::vector<uint8_t> bytes(512);
    BOOLEAN cached = FALSE;
    bytes.resize(DescriptorCacheCopy(stack, kind, bytes.data(), static_cast<ULONG>(bytes.size()), &cached));
    if (present != nullptr) {
        *present = cached != FALSE;
    }
    return bytes;
}

class DescriptorCache : public HookTest {
protected:
    void SetUp() override {
        HookTest::SetUp();
        BuiltStack hub = m_stacks.RootHub();
        AddDevice(hub.pdo);
        m_stack = StackOf(hub.pdo);
        ASSERT_NE(m_stack, nullptr);
    }

    PDEVICE_STACK m_stack = nullptr;
};

TEST_F(DescriptorCache, SelectConfigurationFillsTheCacheTheHandleAndThePipeTable) {
    ConfigurationBytes descriptor(34);
    const SelectRequest request = SelectRequest::Configuration(descriptor.Descriptor(), kConfig, TwoInterfaces());
    StackSelectConfigurationCompleted(m_stack, request.AsConfiguration());

    EXPECT_EQ(Cached(m_stack, DescriptorCacheConfiguration), descriptor.Bytes());
    EXPECT_EQ(StackConfigurationHandle(m_stack), reinterpret_cast<PVOID>(kConfig));
    EXPECT_EQ(StackInterfaceCount(m_stack), 2u);
    EXPECT_EQ(PipeTableCount(), 3u);

    PIPE_LOOKUP pipe{};
    ASSERT_TRUE(PipeTableLookup(0x1021, &pipe));
    EXPECT_EQ(pipe.Pipe.EndpointAddress, 0x83);
    EXPECT_EQ(pipe.Pipe.MaximumPacketSize, 16);
    EXPECT_EQ(pipe.InterfaceNumber, 1);
    EXPECT_EQ(pipe.StackID, m_stack->StackID);
    EXPECT_EQ(pipe.Matches, 1u);
    EXPECT_FALSE(PipeTableLookup(0x1099, &pipe));
}

TEST_F(DescriptorCache, SameConfigurationHandleKeepsTheFirstCopyAnotherReplacesIt) {
    ConfigurationBytes first(34, 0x11);
    ConfigurationBytes second(40, 0x22);
    StackSelectConfigurationCompleted(
        m_stack, SelectRequest::Configuration(first.Descriptor(), kConfig, TwoInterfaces()).AsConfiguration());
    const PVOID copy = m_stack->ConfigDescriptor;

    StackSelectConfigurationCompleted(
        m_stack, SelectRequest::Configuration(second.Descriptor(), kConfig, TwoInterfaces(0x5000)).AsConfiguration());
    EXPECT_EQ(m_stack->ConfigDescriptor, copy);
    EXPECT_EQ(Cached(m_stack, DescriptorCacheConfiguration), first.Bytes());
    PIPE_LOOKUP pipe{};
    EXPECT_TRUE(PipeTableLookup(0x1011, &pipe));
    EXPECT_FALSE(PipeTableLookup(0x5011, &pipe));

    StackSelectConfigurationCompleted(
        m_stack,
        SelectRequest::Configuration(second.Descriptor(), kOtherConfig, TwoInterfaces(0x5000)).AsConfiguration());
    EXPECT_EQ(Cached(m_stack, DescriptorCacheConfiguration), second.Bytes());
    EXPECT_EQ(StackConfigurationHandle(m_stack), reinterpret_cast<PVOID>(kOtherConfig));
    EXPECT_EQ(StackInterfaceCount(m_stack), 2u);
    EXPECT_FALSE(PipeTableLookup(0x1011, &pipe));
    EXPECT_TRUE(PipeTableLookup(0x5011, &pipe));
    EXPECT_EQ(PipeTableCount(), 3u);
}

TEST_F(DescriptorCache, UnconfigureClearsDescriptorHandleInterfacesAndPipes) {
    ConfigurationBytes descriptor(34);
    StackSelectConfigurationCompleted(
        m_stack, SelectRequest::Configuration(descriptor.Descriptor(), kConfig, TwoInterfaces()).AsConfiguration());
    StackSelectConfigurationCompleted(m_stack, SelectRequest::Configuration(nullptr, 0, {}).AsConfiguration());

    bool present = true;
    EXPECT_TRUE(Cached(m_stack, DescriptorCacheConfiguration, &present).empty());
    EXPECT_FALSE(present);
    EXPECT_EQ(StackConfigurationHandle(m_stack), nullptr);
    EXPECT_EQ(StackInterfaceCount(m_stack), 0u);
    EXPECT_EQ(PipeTableCount(), 0u);
}

TEST_F(DescriptorCache, SelectInterfaceRecordsOnlyNewInterfaceHandles) {
    ConfigurationBytes descriptor(34);
    StackSelectConfigurationCompleted(
        m_stack, SelectRequest::Configuration(descriptor.Descriptor(), kConfig, TwoInterfaces()).AsConfiguration());

    const InterfaceSpec known = TwoInterfaces()[1];
    StackSelectInterfaceCompleted(m_stack, SelectRequest::Interface(kConfig, known).AsInterface());
    StackSelectInterfaceCompleted(m_stack,
                                  SelectRequest::Interface(kConfig, {1, 1, 0, {{0x84, 0x3001}}}).AsInterface());
    EXPECT_EQ(StackInterfaceCount(m_stack), 2u);
    EXPECT_EQ(PipeTableCount(), 3u);

    StackSelectInterfaceCompleted(m_stack,
                                  SelectRequest::Interface(kConfig, {1, 1, 0x2020, {{0x84, 0x3001}}}).AsInterface());
    EXPECT_EQ(StackInterfaceCount(m_stack), 3u);
    PIPE_LOOKUP pipe{};
    ASSERT_TRUE(PipeTableLookup(0x3001, &pipe));
    EXPECT_EQ(pipe.AlternateSetting, 1);
    EXPECT_EQ(pipe.Pipe.EndpointAddress, 0x84);
}

// Damaged runs of interface records: the walk keeps the whole records before the damage and reads nothing
// past the request, whatever its Length says.
TEST_F(DescriptorCache, DamagedRecordRunsStopTheWalk) {
    struct Case {
        const char* what;
        int damagedRecord; // 0 or 1
        USHORT length;     // written into its Length field (0xFFFF: leave it)
        ULONG pipes;       // written into NumberOfPipes (~0u: leave it)
        USHORT urbLength;  // 0: leave Hdr.Length
        ULONG records;     // recorded afterwards
        ULONG pipeHandles; // entered afterwards
    };
    const Case cases[] = {
        {"first length 0", 0, 0, ~0u, 0, 0, 0},
        {"second longer than the rest", 1, 200, ~0u, 0, 1, 2},
        {"first shorter than its head", 0, 20, ~0u, 0, 0, 0},
        {"more pipes than the length holds", 1, 0xFFFF, 40, 0, 2, 3},
        {"request ends inside the first", 0, 0xFFFF, ~0u, 64, 0, 0},
        {"request ends before the records", 0, 0xFFFF, ~0u, 10, 0, 0},
        {"request claims more than its memory holds", 1, 200, ~0u, 0xFFF0, 1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ConfigurationBytes descriptor(34);
        SelectRequest request = SelectRequest::Configuration(descriptor.Descriptor(), kConfig, TwoInterfaces());
        uint8_t* record = request.Records();
        if (c.damagedRecord == 1) {
            USHORT firstLength;
            std::memcpy(&firstLength, record, sizeof firstLength);
            record += firstLength;
        }
        if (c.length != 0xFFFF) {
            std::memcpy(record, &c.length, sizeof c.length);
        }
        if (c.pipes != ~0u) {
            std::memcpy(record + offsetof(USBD_INTERFACE_INFORMATION, NumberOfPipes), &c.pipes, sizeof c.pipes);
        }
        if (c.urbLength != 0) {
            request.SetUrbLength(c.urbLength);
        }
        StackSelectConfigurationCompleted(m_stack, request.AsConfiguration());
        EXPECT_EQ(StackInterfaceCount(m_stack), c.records);
        EXPECT_EQ(PipeTableCount(), c.pipeHandles);
        StackSelectConfigurationCompleted(m_stack, SelectRequest::Configuration(nullptr, 0, {}).AsConfiguration());
    }
}

TEST_F(DescriptorCache, ConfigurationDescriptorOutsideValidMemoryIsNotCopied) {
    std::vector<uint8_t> unregistered(34, 0);
    unregistered[2] = 34;
    auto* descriptor = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(unregistered.data());
    StackSelectConfigurationCompleted(
        m_stack, SelectRequest::Configuration(descriptor, kConfig, TwoInterfaces()).AsConfiguration());
    bool present = true;
    Cached(m_stack, DescriptorCacheConfiguration, &present);
    EXPECT_FALSE(present);
    EXPECT_EQ(StackInterfaceCount(m_stack), 2u); // the handles are still learnt
}

TEST_F(DescriptorCache, DeviceDescriptorFromTheBufferOrTheMdlAndLengthZeroDropsIt) {
    drvlog_test::UserBuffer buffer(18);
    for (ULONG i = 0; i < 18; ++i) {
        buffer.Data()[i] = static_cast<uint8_t>(i + 1);
    }
    DescriptorCacheDeviceCompleted(m_stack, buffer.Data(), nullptr, 18);
    EXPECT_EQ(Cached(m_stack, DescriptorCacheDevice), std::vector<uint8_t>(buffer.Data(), buffer.Data() + 18));

    DescriptorCacheDeviceCompleted(m_stack, buffer.Data(), nullptr, 0);
    bool present = true;
    Cached(m_stack, DescriptorCacheDevice, &present);
    EXPECT_FALSE(present);

    // A buffer the system does not know as memory: the MDL's mapping is read instead.
    auto* pool = static_cast<uint8_t*>(ExAllocatePoolWithTag(NonPagedPool, 18, kTestTag));
    std::memset(pool, 0x77, 18);
    PMDL mdl = IoAllocateMdl(pool, 18, FALSE, FALSE, nullptr);
    ASSERT_NE(mdl, nullptr);
    MmBuildMdlForNonPagedPool(mdl);
    DescriptorCacheHubCompleted(m_stack, reinterpret_cast<PVOID>(0x10), mdl, 9);
    EXPECT_EQ(Cached(m_stack, DescriptorCacheHub), std::vector<uint8_t>(9, 0x77));

    // Neither readable: nothing cached.
    DescriptorCacheHubCompleted(m_stack, reinterpret_cast<PVOID>(0x10), nullptr, 9);
    Cached(m_stack, DescriptorCacheHub, &present);
    EXPECT_FALSE(present);
    IoFreeMdl(mdl);
    ExFreePoolWithTag(pool, kTestTag);
}

TEST_F(DescriptorCache, MdlThatCannotBeMappedCachesNothing) {
    drvlog_test::UserBuffer buffer(18);
    std::memset(buffer.Data(), 0x12, 18);
    PMDL mdl = IoAllocateMdl(buffer.Data(), 18, FALSE, FALSE, nullptr);
    ASSERT_NE(mdl, nullptr);
    MmProbeAndLockPages(mdl, KernelMode, IoWriteAccess);
    nt::mdl::FailMappings(1);
    DescriptorCacheDeviceCompleted(m_stack, nullptr, mdl, 18);
    bool present = true;
    Cached(m_stack, DescriptorCacheDevice, &present);
    EXPECT_FALSE(present);

    DescriptorCacheDeviceCompleted(m_stack, nullptr, mdl, 40); // longer than the MDL: its 18 bytes
    EXPECT_EQ(Cached(m_stack, DescriptorCacheDevice).size(), 18u);
    MmUnlockPages(mdl);
    IoFreeMdl(mdl);

    // An MDL whose pages nothing locked, and one at an address that is no memory: neither is mapped.
    PMDL unlocked = IoAllocateMdl(buffer.Data(), 18, FALSE, FALSE, nullptr);
    ASSERT_NE(unlocked, nullptr);
    for (PMDL unusable : {unlocked, reinterpret_cast<PMDL>(ULONG_PTR{0x10})}) {
        DescriptorCacheDeviceCompleted(m_stack, reinterpret_cast<PVOID>(ULONG_PTR{0x10}), unusable, 18);
        present = true;
        Cached(m_stack, DescriptorCacheDevice, &present);
        EXPECT_FALSE(present);
    }
    IoFreeMdl(unlocked);
}

TEST_F(DescriptorCache, BosSeenOnlyForABosDescriptor) {
    drvlog_test::UserBuffer buffer(5);
    std::memcpy(buffer.Data(), "\x05\x0F\x16\x00\x02", 5);
    buffer.Data()[1] = USB_DEVICE_DESCRIPTOR_TYPE;
    DescriptorCacheBosCompleted(m_stack, buffer.Data(), nullptr, 5);
    EXPECT_EQ(m_stack->BosDescriptorSeen, 0);
    buffer.Data()[1] = USB_BOS_DESCRIPTOR_TYPE;
    DescriptorCacheBosCompleted(m_stack, buffer.Data(), nullptr, 0);
    EXPECT_EQ(m_stack->BosDescriptorSeen, 0);
    DescriptorCacheBosCompleted(m_stack, buffer.Data(), nullptr, 5);
    EXPECT_EQ(m_stack->BosDescriptorSeen, 1);
}

// A refresh that frees the stack takes its pipe handles out of the table and frees every cached copy (the
// fixture checks the pool at the end).
TEST_F(DescriptorCache, FreedStackLeavesNoPipesBehind) {
    ConfigurationBytes descriptor(34);
    StackSelectConfigurationCompleted(
        m_stack, SelectRequest::Configuration(descriptor.Descriptor(), kConfig, TwoInterfaces()).AsConfiguration());
    drvlog_test::UserBuffer device(18);
    DescriptorCacheDeviceCompleted(m_stack, device.Data(), nullptr, 18);
    RemoveStackTree(m_stack);
    ASSERT_TRUE(Refresh().ok);
    EXPECT_EQ(PipeTableCount(), 0u);
}

} // namespace
} // namespace drivertest
