// The control codes of the device-stack tree through the control device: the node lists' size query,
// sizes, order and short buffers; SET_DEVOBJ_FLAGS's validation and what it changes; DEVSTK_REFRESH and the
// capture log's sequence counter.
#include <cstring>
#include <vector>

#include "common/ControlCodes.h"
#include "driver/log/Log.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "tests/driver/StackTreeFixture.h"

namespace drivertest {
namespace {

constexpr DWORD kListCodes[] = {IOCTL_TINDALOFT_DEVSTK_NODES, IOCTL_TINDALOFT_DEVSTK_NODES_EX};

ULONG ListSize(ULONG stacks, ULONG devices) {
    return 4 + stacks * DEVSTK_NODE_SIZE + devices * DEVICE_NODE_SIZE;
}

// A SET_DEVOBJ_FLAGS request: entries at the fixed stride, then the end entry.
std::vector<uint8_t> FlagsRequest(const std::vector<std::pair<PDEVICE_OBJECT, ULONG>>& entries, USHORT kind = 2) {
    std::vector<uint8_t> bytes(entries.size() * sizeof(DEVICE_NODE) + sizeof(NODE_HEADER), 0);
    for (size_t i = 0; i < entries.size(); ++i) {
        DEVICE_NODE node{};
        node.Header = {kind, 0}; // the length field is not read
        node.DeviceObject = reinterpret_cast<ULONG_PTR>(entries[i].first);
        node.StatusFlags = entries[i].second;
        std::memcpy(bytes.data() + i * sizeof node, &node, sizeof node);
    }
    return bytes;
}

class ControlNodes : public StackTreeTest {
protected:
    IoctlResult SetFlags(const std::vector<uint8_t>& request) {
        return Ioctl(IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS, request.data(), static_cast<DWORD>(request.size()), nullptr, 0);
    }
    ULONG FlagsOf(PDEVICE_OBJECT device) {
        for (const ListedStack& stack : FetchNodes().stacks) {
            for (const DEVICE_NODE& node : stack.devices) {
                if (node.DeviceObject == reinterpret_cast<ULONG_PTR>(device)) {
                    return node.StatusFlags;
                }
            }
        }
        return ~0u;
    }
    ULONG CaptureSequence() {
        LOG_STATISTICS statistics;
        LogQueryStatistics(g_Driver.CaptureLog, &statistics);
        return statistics.SequenceNumber;
    }
};

TEST_F(ControlNodes, EmptyTreeListsOnlyTheEndEntry) {
    for (DWORD code : kListCodes) {
        ULONG size = 0;
        IoctlResult query = Ioctl(code, nullptr, 0, &size, sizeof size);
        ASSERT_TRUE(query.ok);
        EXPECT_EQ(query.bytes, 4u);
        EXPECT_EQ(size, 4u);
        std::vector<uint8_t> reply(16, 0xEE);
        IoctlResult data = Ioctl(code, nullptr, 0, reply.data(), static_cast<DWORD>(reply.size()));
        ASSERT_TRUE(data.ok);
        EXPECT_EQ(data.bytes, 4u);
        EXPECT_EQ(std::vector<uint8_t>(reply.begin(), reply.begin() + 4), std::vector<uint8_t>(4, 0));
    }
}

TEST_F(ControlNodes, SizesOrderAndShortBuffers) {
    const BuiltStack root = m_stacks.RootHub();
    const BuiltStack mouse = m_stacks.Plain({u"usbhub", u"hidusb", u"mouhid"});
    AddDevice(root.pdo);
    AddDevice(mouse.pdo);
    const ULONG size = ListSize(2, 5);
    for (DWORD code : kListCodes) {
        SCOPED_TRACE(code);
        ULONG queried = 0;
        ASSERT_TRUE(Ioctl(code, nullptr, 0, &queried, sizeof queried).ok);
        EXPECT_EQ(queried, size);

        for (DWORD shortLength : {5u, size - 1}) {
            std::vector<uint8_t> reply(shortLength, 0xEE);
            const IoctlResult result = Ioctl(code, nullptr, 0, reply.data(), shortLength);
            EXPECT_FALSE(result.ok);
            EXPECT_EQ(result.error, ErrorOf(STATUS_BUFFER_TOO_SMALL));
            EXPECT_EQ(result.bytes, 0u);
        }
        for (DWORD length : {size, size + 100}) {
            std::vector<uint8_t> reply(length, 0xEE);
            const IoctlResult result = Ioctl(code, nullptr, 0, reply.data(), length);
            ASSERT_TRUE(result.ok);
            EXPECT_EQ(result.bytes, size);
            reply.resize(size);
            const NodeList list = ParseDevstkNodes(reply);
            EXPECT_TRUE(list.wellFormed);
            ASSERT_EQ(list.stacks.size(), 2u);
            EXPECT_EQ(+list.stacks[0].stack.Header.Length, DEVSTK_NODE_SIZE);
            EXPECT_EQ(+list.stacks[0].devices[0].Header.Length, DEVICE_NODE_SIZE);
            EXPECT_EQ(list.stacks[1].devices.size(), 3u);
            EXPECT_EQ(+list.stacks[1].devices[2].Position, 2u);
        }
    }
}

TEST_F(ControlNodes, PresentFormSkipsRemovedStacksAndDeviceObjects) {
    const BuiltStack root = m_stacks.RootHub();
    const BuiltStack mouse = m_stacks.Plain({u"usbhub", u"hidusb", u"mouhid"});
    AddDevice(root.pdo);
    AddDevice(mouse.pdo);
    PDEVOBJ_NODE node = FindDeviceNode(mouse.above[0], TRUE);
    ASSERT_NE(node, nullptr);
    DeviceNodeMarkRemoved(node);
    DeviceNodeRelease(node);

    ULONG all = 0;
    ULONG present = 0;
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_DEVSTK_NODES, nullptr, 0, &all, sizeof all).ok);
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_DEVSTK_NODES_EX, nullptr, 0, &present, sizeof present).ok);
    EXPECT_EQ(all, ListSize(2, 5));
    EXPECT_EQ(present, ListSize(2, 4));
    EXPECT_EQ(FetchNodes(true).stacks[1].devices.size(), 2u);

    StackTreeDeviceRemoved(root.pdo);
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_DEVSTK_NODES, nullptr, 0, &all, sizeof all).ok);
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_DEVSTK_NODES_EX, nullptr, 0, &present, sizeof present).ok);
    EXPECT_EQ(all, ListSize(2, 5));
    EXPECT_EQ(present, ListSize(1, 2));
}

TEST_F(ControlNodes, SetDevobjFlagsRejectsMalformedRequestsWhole) {
    const BuiltStack mouse = m_stacks.OnHubPort(u"hidusb");
    AddDevice(mouse.pdo);
    const ULONG before = FlagsOf(mouse.pdo);
    ASSERT_TRUE(before & DEVOBJ_CAPTURE_OFF);

    std::vector<uint8_t> wrongKind = FlagsRequest({{mouse.pdo, 0}, {mouse.Top(), 0}});
    wrongKind[sizeof(DEVICE_NODE)] = 1; // the second entry is a driver entry
    std::vector<uint8_t> noEnd = FlagsRequest({{mouse.pdo, 0}});
    noEnd.resize(sizeof(DEVICE_NODE));
    std::vector<uint8_t> shortEnd = FlagsRequest({{mouse.pdo, 0}});
    shortEnd.resize(sizeof(DEVICE_NODE) + 2);
    std::vector<uint8_t> shortEntry = FlagsRequest({{mouse.pdo, 0}});
    shortEntry.resize(100);
    for (const auto* request : {&wrongKind, &noEnd, &shortEnd, &shortEntry}) {
        const IoctlResult result = SetFlags(*request);
        EXPECT_FALSE(result.ok) << request->size();
        EXPECT_EQ(result.error, ErrorOf(STATUS_UNSUCCESSFUL));
    }
    EXPECT_EQ(FlagsOf(mouse.pdo), before);

    const IoctlResult empty = SetFlags(FlagsRequest({}));
    EXPECT_TRUE(empty.ok);
    EXPECT_EQ(FlagsOf(mouse.pdo), before);
}

TEST_F(ControlNodes, SetDevobjFlagsSetsAndClearsCaptureOff) {
    const BuiltStack mouse = m_stacks.OnHubPort(u"hidusb");
    AddDevice(mouse.pdo);
    PDEVICE_OBJECT unknown = m_built.Device(u"stranger");
    // Only the capture-off bit is taken from the entry.
    ASSERT_TRUE(
        SetFlags(FlagsRequest({{mouse.pdo, DEVOBJ_HOOKED}, {unknown, 0}, {mouse.Top(), DEVOBJ_CAPTURE_OFF}})).ok);
    EXPECT_EQ(FlagsOf(mouse.pdo), DEVOBJ_SELECTED | DEVOBJ_HOOKED);
    EXPECT_EQ(FlagsOf(mouse.Top()), DEVOBJ_CAPTURE_OFF);
    ASSERT_TRUE(SetFlags(FlagsRequest({{mouse.pdo, DEVOBJ_CAPTURE_OFF}})).ok);
    EXPECT_EQ(FlagsOf(mouse.pdo), DEVOBJ_SELECTED | DEVOBJ_HOOKED | DEVOBJ_CAPTURE_OFF);
}

TEST_F(ControlNodes, RefreshResetsTheCaptureSequenceUnlessCapturingSinceBoot) {
    const ULONG word = 0;
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_ENABLE_LOG, &word, sizeof word, nullptr, 0).ok);
    EXPECT_EQ(CaptureSequence(), 1u); // the log-start record took 0
    ASSERT_TRUE(Refresh().ok);
    EXPECT_EQ(CaptureSequence(), 0u);

    Unload();
    RegistrySetDword(kParametersKey, u"CaptureOnBoot", 1);
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    ASSERT_TRUE(Open());
    ASSERT_TRUE(g_Driver.BootCapture);
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_ENABLE_LOG, &word, sizeof word, nullptr, 0).ok);
    ASSERT_TRUE(Refresh().ok);
    EXPECT_EQ(CaptureSequence(), 1u);
    EXPECT_FALSE(g_Driver.BootCapture);
    ASSERT_TRUE(Refresh().ok);
    EXPECT_EQ(CaptureSequence(), 0u);
}

TEST_F(ControlNodes, ChangingCodesNeedWriteAccess) {
    ASSERT_TRUE(Open(GENERIC_READ));
    ULONG size = 0;
    EXPECT_TRUE(Ioctl(IOCTL_TINDALOFT_DEVSTK_NODES, nullptr, 0, &size, sizeof size).ok);
    EXPECT_TRUE(Ioctl(IOCTL_TINDALOFT_DEVSTK_NODES_EX, nullptr, 0, &size, sizeof size).ok);
    EXPECT_FALSE(Refresh().ok);
    EXPECT_FALSE(SetFlags(FlagsRequest({})).ok);
}

} // namespace
} // namespace drivertest
