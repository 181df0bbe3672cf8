// GET_DEVSTK_INFO: the cached descriptors as bounded copies (256-258), and the live port queries sent to a
// hub's stack marked as the driver's own (259, 260).
#include <cstring>
#include <vector>

#include "common/ByteReader.h"
#include "common/ControlCodes.h"
#include "common/DevstkInfo.h"
#include "driver/nodes/DeviceNode.h"
#include "driver/stacktree/DescriptorCache.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "tests/driver/HookTestFixture.h"
#include "tests/driver/LogTestHelpers.h"
#include "usbioctl.h"

namespace drivertest {
namespace {

struct Reply {
    IoctlResult result;
    std::vector<uint8_t> bytes; // the whole buffer after the request
};

class StackInfo : public HookTest {
protected:
    void SetUp() override {
        HookTest::SetUp();
        m_hub = RoutineRootHub();
        AddDevice(m_hub.pdo);
        m_id = StackIdOf(m_hub.pdo);
        ASSERT_NE(m_id, 0);
        m_stack = StackOf(m_hub.pdo);
    }

    Reply Ask(USHORT selector, ULONG bufferSize, ULONG dataLength = 0, USHORT stackId = 0,
              const std::vector<uint8_t>& data = {}) {
        Reply reply;
        reply.bytes.assign(bufferSize, 0xEE);
        std::vector<uint8_t> head(DEVSTK_INFO_HEADER_SIZE);
        tdl::StoreLe<USHORT>(head.data(), stackId != 0 ? stackId : m_id);
        tdl::StoreLe<USHORT>(head.data() + 2, selector);
        tdl::StoreLe<ULONG>(head.data() + 4, dataLength);
        head.insert(head.end(), data.begin(), data.end());
        head.resize(std::min<size_t>(head.size(), bufferSize));
        std::memcpy(reply.bytes.data(), head.data(), head.size());
        reply.result =
            Ioctl(IOCTL_TINDALOFT_GET_DEVSTK_INFO, reply.bytes.data(), bufferSize, reply.bytes.data(), bufferSize);
        return reply;
    }

    // Caches `bytes` as the stack's device (or hub) descriptor, as a completed request would.
    void CacheDescriptor(DESCRIPTOR_CACHE_KIND kind, std::vector<uint8_t> bytes) {
        drvlog_test::UserBuffer buffer(bytes.size());
        std::memcpy(buffer.Data(), bytes.data(), bytes.size());
        if (kind == DescriptorCacheDevice) {
            DescriptorCacheDeviceCompleted(m_stack, buffer.Data(), nullptr, buffer.Size());
        } else {
            DescriptorCacheHubCompleted(m_stack, buffer.Data(), nullptr, buffer.Size());
        }
    }

    void CacheConfiguration(USHORT total) {
        ConfigurationBytes descriptor(total, 0x3C);
        StackSelectConfigurationCompleted(
            m_stack, SelectRequest::Configuration(descriptor.Descriptor(), 0xC0F, {}).AsConfiguration());
    }

    static std::vector<uint8_t> Pattern(size_t size, UCHAR first) {
        std::vector<uint8_t> bytes(size);
        for (size_t i = 0; i < size; ++i) {
            bytes[i] = static_cast<uint8_t>(i == 0 ? first : 0x40 + i);
        }
        return bytes;
    }

    BuiltStack m_hub;
    USHORT m_id = 0;
    PDEVICE_STACK m_stack = nullptr;
};

TEST_F(StackInfo, CachedDescriptorsAreBoundedCopies) {
    CacheDescriptor(DescriptorCacheDevice, Pattern(18, 18));
    CacheDescriptor(DescriptorCacheHub, Pattern(9, 0x40)); // bLength says more than is cached
    CacheConfiguration(32);

    struct Case {
        const char* what;
        USHORT selector;
        ULONG buffer;
        ULONG dataLength;
        ULONG returned;
    };
    const Case cases[] = {
        {"device descriptor", DEVSTK_DEVICE_DESCRIPTOR, 64, 0, 26},
        {"device descriptor, smallest buffer", DEVSTK_DEVICE_DESCRIPTOR, 26, 0, 26},
        {"configuration header only", DEVSTK_CONFIG_DESCRIPTOR, 64, 9, 17},
        {"configuration header, data length short of the total", DEVSTK_CONFIG_DESCRIPTOR, 64, 31, 17},
        {"whole configuration", DEVSTK_CONFIG_DESCRIPTOR, 64, 32, 40},
        {"whole configuration cut to the buffer", DEVSTK_CONFIG_DESCRIPTOR, 20, 1000, 20},
        {"hub descriptor cut to what is cached", DEVSTK_HUB_DESCRIPTOR, 79, 0, 17},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Reply reply = Ask(c.selector, c.buffer, c.dataLength);
        ASSERT_TRUE(reply.result.ok) << reply.result.error;
        EXPECT_EQ(reply.result.bytes, c.returned);
        std::vector<uint8_t> expected;
        if (c.selector == DEVSTK_DEVICE_DESCRIPTOR) {
            expected = Pattern(18, 18);
        } else if (c.selector == DEVSTK_HUB_DESCRIPTOR) {
            expected = Pattern(9, 0x40);
        } else {
            ConfigurationBytes descriptor(32, 0x3C);
            expected = descriptor.Bytes();
        }
        expected.resize(c.returned - DEVSTK_INFO_HEADER_SIZE);
        EXPECT_EQ(std::vector<uint8_t>(reply.bytes.begin() + 8, reply.bytes.begin() + c.returned), expected);
    }
}

TEST_F(StackInfo, RefusalsAndTheirStatuses) {
    const Reply nothingCached = Ask(DEVSTK_DEVICE_DESCRIPTOR, 64);
    EXPECT_EQ(nothingCached.result.error, ErrorOf(STATUS_UNSUCCESSFUL));
    CacheDescriptor(DescriptorCacheDevice, Pattern(18, 18));
    CacheDescriptor(DescriptorCacheHub, Pattern(9, 9));
    CacheConfiguration(32);

    struct Case {
        const char* what;
        USHORT selector;
        ULONG buffer;
        ULONG dataLength;
        USHORT stackId;
        NTSTATUS status;
    };
    const Case cases[] = {
        {"device descriptor, buffer 25", DEVSTK_DEVICE_DESCRIPTOR, 25, 0, 0, STATUS_UNSUCCESSFUL},
        {"configuration, buffer 16", DEVSTK_CONFIG_DESCRIPTOR, 16, 9, 0, STATUS_UNSUCCESSFUL},
        {"hub descriptor, buffer 78", DEVSTK_HUB_DESCRIPTOR, 78, 0, 0, STATUS_UNSUCCESSFUL},
        {"connection, buffer 42", DEVSTK_CONNECTION_INFORMATION, 42, 0, 0, STATUS_UNSUCCESSFUL},
        {"driver key, buffer 17", DEVSTK_DRIVERKEY_NAME, 17, 9, 0, STATUS_UNSUCCESSFUL},
        {"driver key, data length past the buffer", DEVSTK_DRIVERKEY_NAME, 40, 33, 0, STATUS_INVALID_PARAMETER},
        {"unknown stack", DEVSTK_DEVICE_DESCRIPTOR, 64, 0, 999, STATUS_UNSUCCESSFUL},
        {"unknown stack, live", DEVSTK_CONNECTION_INFORMATION, 64, 0, 999, STATUS_UNSUCCESSFUL},
        {"selector 300", 300, 64, 0, 0, STATUS_INVALID_PARAMETER},
        {"head only", DEVSTK_DEVICE_DESCRIPTOR, 7, 0, 0, STATUS_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Reply reply = Ask(c.selector, c.buffer, c.dataLength, c.stackId);
        EXPECT_FALSE(reply.result.ok);
        EXPECT_EQ(reply.result.error, ErrorOf(c.status));
        EXPECT_EQ(reply.result.bytes, 0u);
    }
    EXPECT_TRUE(Routines().calls.empty()); // nothing was sent down
}

TEST_F(StackInfo, ConnectionInformationIsAskedOfTheHubAsItsOwnRequest) {
    Routines().connectionBlock = Pattern(DEVSTK_CONNECTION_INFORMATION_SIZE, 0);
    for (bool pending : {false, true}) {
        SCOPED_TRACE(pending ? "answered later" : "answered at once");
        Routines().calls.clear();
        Routines().pendNext = pending;
        std::vector<uint8_t> port(4);
        tdl::StoreLe<ULONG>(port.data(), 3);
        const Reply reply = Ask(DEVSTK_CONNECTION_INFORMATION, 64, 0, 0, port);
        ASSERT_TRUE(reply.result.ok) << reply.result.error;
        EXPECT_EQ(reply.result.bytes, 43u);
        EXPECT_EQ(tdl::LoadLe<ULONG>(reply.bytes.data() + 8), 3u);
        EXPECT_EQ(std::vector<uint8_t>(reply.bytes.begin() + 12, reply.bytes.begin() + 43),
                  std::vector<uint8_t>(Routines().connectionBlock.begin() + 4, Routines().connectionBlock.end()));

        ASSERT_EQ(Routines().calls.size(), 1u);
        const RoutineCall& call = Routines().calls[0];
        EXPECT_EQ(call.device, m_hub.Top()); // the top-most present device object
        EXPECT_EQ(call.major, IRP_MJ_DEVICE_CONTROL);
        EXPECT_EQ(call.code, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION);
        EXPECT_TRUE(call.ownMark);
    }

    Routines().answer = STATUS_DEVICE_NOT_CONNECTED; // the hub's failure comes back as it is
    const Reply failed = Ask(DEVSTK_CONNECTION_INFORMATION, 64);
    EXPECT_EQ(failed.result.error, ErrorOf(STATUS_DEVICE_NOT_CONNECTED));
    EXPECT_EQ(failed.result.bytes, 0u);
}

TEST_F(StackInfo, DriverKeyNameTakesTheCallersDataLength) {
    const Reply reply = Ask(DEVSTK_DRIVERKEY_NAME, 64, 30);
    ASSERT_TRUE(reply.result.ok) << reply.result.error;
    EXPECT_EQ(reply.result.bytes, 38u);
    // ActualLength: what the whole name would need, as the hub reported it.
    EXPECT_EQ(tdl::LoadLe<ULONG>(reply.bytes.data() + 12),
              8u + sizeof(u"{36fc9e60-c465-11cf-8056-444553540000}\\0007"));
    EXPECT_EQ(tdl::LoadLe<USHORT>(reply.bytes.data() + 16), u'{');
    ASSERT_EQ(Routines().calls.size(), 1u);
    EXPECT_EQ(Routines().calls[0].code, IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME);
    EXPECT_TRUE(Routines().calls[0].ownMark);
}

TEST_F(StackInfo, LiveQueriesPickThePresentTopAndRefuseARemovedOrLeavingStack) {
    Routines().connectionBlock = Pattern(DEVSTK_CONNECTION_INFORMATION_SIZE, 0);
    PDEVOBJ_NODE top = FindDeviceNode(m_hub.Top(), TRUE);
    ASSERT_NE(top, nullptr);

    DeviceNodeSetFlags(top, DEVOBJ_REMOVING);
    EXPECT_EQ(Ask(DEVSTK_CONNECTION_INFORMATION, 64).result.error, ErrorOf(STATUS_UNSUCCESSFUL));
    EXPECT_TRUE(Ask(DEVSTK_DRIVERKEY_NAME, 64, 16).result.ok); // the driver-key query does not check it
    DeviceNodeClearFlags(top, DEVOBJ_REMOVING);

    DeviceNodeMarkRemoved(top); // the physical device object is the top-most present one now
    DeviceNodeRelease(top);
    Routines().calls.clear();
    ASSERT_TRUE(Ask(DEVSTK_CONNECTION_INFORMATION, 64).result.ok);
    ASSERT_EQ(Routines().calls.size(), 1u);
    EXPECT_EQ(Routines().calls[0].device, m_hub.pdo);

    RemoveStackTree(m_stack);
    EXPECT_EQ(Ask(DEVSTK_CONNECTION_INFORMATION, 64).result.error, ErrorOf(STATUS_UNSUCCESSFUL));
}

} // namespace
} // namespace drivertest
