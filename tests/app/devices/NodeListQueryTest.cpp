// The stack and hooked-driver queries against the scripted fake control device: the size query and the
// fetch, lists that grow or come back short, and every failure with what the user is shown.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "AfxMemoryControl.h"
#include "NtControl.h"
#include "NtPnpControl.h"
#include "WinUiControl.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"
#include "app/devices/StackTree.h"
#include "common/ControlCodes.h"
#include "tests/app/devices/DeviceNodes.h"
#include "tests/support/FakeControlDevice.h"

namespace {

using devtest::DeviceNode;
using devtest::DriverNode;
using devtest::NodeList;
using devtest::StackNode;
using tdl::test::FakeControlDevice;

constexpr char kDevice[] = "\\\\.\\Tindaloft";

class NodeListQuery : public ::testing::Test {
protected:
    void SetUp() override {
        nt::ResetKernelState();
        win32::ClearModalRequests();
        m_fake = std::make_unique<FakeControlDevice>();
    }
    void TearDown() override {
        m_fake.reset();
        nt::pnp::Shutdown();
        win32::ClearModalRequests();
    }

    // The query's message box is expected (answered OK).
    static void ExpectMessage() { win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK); }

    // The texts of the message boxes shown so far, each checked for the query's caption, icon and owner.
    static std::vector<std::string> Messages() {
        std::vector<std::string> texts;
        for (const win32::ModalRequest& box : win32::ModalRequests()) {
            EXPECT_EQ(box.kind, win32::ModalKind::MessageBox);
            EXPECT_EQ(box.caption, "Tindaloft");
            EXPECT_EQ(box.style, static_cast<UINT>(MB_ICONHAND));
            EXPECT_EQ(box.owner, nullptr);
            texts.push_back(box.text);
        }
        return texts;
    }

    // The lengths of the list requests the fake saw.
    std::vector<ULONG> RequestLengths(ULONG code) const {
        std::vector<ULONG> lengths;
        for (const tdl::test::FakeRequest& request : m_fake->Requests())
            if (request.code == code)
                lengths.push_back(request.outputLength);
        return lengths;
    }

    std::unique_ptr<FakeControlDevice> m_fake;
};

// Two drivers, the first with two device objects and an entry that is skipped.
NodeList TwoDrivers() {
    NodeList list;
    list.Add(DriverNode(0xD100, "usbhub"))
        .Add(DeviceNode({.address = 0xA100, .stackId = 1, .driver = 0xD100, .name = "\\Device\\USBPDO-1"}))
        .Raw(CAttachedDrivers::NODE_KIND_SKIP, 0, DEVICE_NODE_SIZE - sizeof(NODE_HEADER))
        .Add(DeviceNode({.address = 0xA200, .stackId = 2, .driver = 0xD100}))
        .Add(DriverNode(0xD200, "usbehci"))
        .Add(DeviceNode({.address = 0xA300, .stackId = 3, .driver = 0xD200}));
    return list;
}

std::vector<ULONG64> DriverAddresses(const CAttachedDrivers& drivers) {
    std::vector<ULONG64> addresses;
    for (INT_PTR i = 0; i < drivers.GetCount(); ++i)
        addresses.push_back(drivers.GetAt(i)->m_NtDriverObject);
    return addresses;
}

TEST_F(NodeListQuery, StacksAreReadThroughTheSizeQueryIntoTheTreeAndTheDeviceIsClosed) {
    NodeList list;
    list.Add(StackNode(1, 0, "{key}\\0001"))
        .Add(DeviceNode({.address = 0xA100, .stackId = 1}))
        .Add(DeviceNode({.address = 0xA200, .stackId = 1}))
        .End();
    m_fake->Reply(IOCTL_TINDALOFT_DEVSTK_NODES, list.bytes);
    CStackTree stacks(kDevice);
    CAttachedDevices devices;
    EXPECT_TRUE(stacks.QueryDriverStacks(&devices));
    EXPECT_FALSE(stacks.IsOpen());
    ASSERT_NE(stacks.FindStackById(1), nullptr);
    EXPECT_EQ(stacks.FindStackById(1)->m_DevObjMap.GetCount(), 2);
    EXPECT_EQ(devices.GetCount(), 2);

    const std::vector<tdl::test::FakeRequest> requests = m_fake->Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].input, std::vector<uint8_t>(4, 0)) << "a zeroed size query";
    EXPECT_EQ(requests[1].outputLength, list.bytes.size());
    EXPECT_TRUE(Messages().empty());
}

TEST_F(NodeListQuery, StackQueryFailuresGiveFalseAndShowNothing) {
    CAttachedDevices devices;
    {
        SCOPED_TRACE("no list");
        m_fake->Reply(IOCTL_TINDALOFT_DEVSTK_NODES, {0, 0, 0, 0});
        CStackTree stacks(kDevice);
        EXPECT_FALSE(stacks.QueryDriverStacks(&devices));
        EXPECT_FALSE(stacks.IsOpen());
    }
    {
        SCOPED_TRACE("request error");
        m_fake->Fail(IOCTL_TINDALOFT_DEVSTK_NODES, STATUS_UNSUCCESSFUL);
        CStackTree stacks(kDevice);
        EXPECT_FALSE(stacks.QueryDriverStacks(&devices));
        EXPECT_FALSE(stacks.IsOpen());
    }
    {
        SCOPED_TRACE("no driver");
        m_fake.reset();
        CStackTree stacks(kDevice);
        EXPECT_FALSE(stacks.QueryDriverStacks(&devices));
        EXPECT_EQ(stacks.GetError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    }
    EXPECT_EQ(devices.GetCount(), 0);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(NodeListQuery, AStackEntryOfTheWrongLengthThrowsWithTheDeviceClosed) {
    NodeList list;
    list.Raw(NODE_KIND_DEVSTK, 360, 356).End();
    m_fake->Reply(IOCTL_TINDALOFT_DEVSTK_NODES, list.bytes);
    CStackTree stacks(kDevice);
    CAttachedDevices devices;
    try {
        stacks.QueryDriverStacks(&devices);
        ADD_FAILURE() << "no exception";
    } catch (CNotSupportedException* e) {
        e->Delete();
    }
    EXPECT_FALSE(stacks.IsOpen());
}

// A list that grew after its size was asked is asked for again and read; five fetches that all meet a grown
// list fail as a request that fails.
TEST_F(NodeListQuery, AListThatGrowsIsReadOnTheNextTryForBothCodes) {
    NodeList stackList;
    stackList.Add(StackNode(1)).Add(DeviceNode({.address = 0xA100, .stackId = 1})).End();
    m_fake->Reply(IOCTL_TINDALOFT_DEVSTK_NODES, stackList.bytes);
    m_fake->QueueSizeAnswer(IOCTL_TINDALOFT_DEVSTK_NODES, DEVSTK_NODE_SIZE + NODE_END_SIZE);
    CStackTree stacks(kDevice);
    CAttachedDevices devices;
    EXPECT_TRUE(stacks.QueryDriverStacks(&devices));
    EXPECT_EQ(devices.GetCount(), 1);
    const auto grown = static_cast<ULONG>(stackList.bytes.size());
    EXPECT_EQ(RequestLengths(IOCTL_TINDALOFT_DEVSTK_NODES),
              (std::vector<ULONG>{4, DEVSTK_NODE_SIZE + NODE_END_SIZE, 4, grown}));

    NodeList driverList = TwoDrivers();
    driverList.End();
    m_fake->Reply(IOCTL_TINDALOFT_DRVOBJ_NODES, driverList.bytes);
    m_fake->QueueSizeAnswer(IOCTL_TINDALOFT_DRVOBJ_NODES, 100);
    CAttachedDrivers drivers(kDevice);
    EXPECT_TRUE(drivers.QueryDriversAndDevices(&devices, true));
    EXPECT_EQ(DriverAddresses(drivers), (std::vector<ULONG64>{0xD100, 0xD200}));
    EXPECT_TRUE(Messages().empty());
}

TEST_F(NodeListQuery, FiveGrownListsInARowFail) {
    NodeList list = TwoDrivers();
    list.End();
    m_fake->Reply(IOCTL_TINDALOFT_DEVSTK_NODES, list.bytes);
    m_fake->Reply(IOCTL_TINDALOFT_DRVOBJ_NODES, list.bytes);
    for (int i = 0; i < 5; ++i) {
        m_fake->QueueSizeAnswer(IOCTL_TINDALOFT_DEVSTK_NODES, 52);
        m_fake->QueueSizeAnswer(IOCTL_TINDALOFT_DRVOBJ_NODES, 52);
    }
    CAttachedDevices devices;
    CStackTree stacks(kDevice);
    EXPECT_FALSE(stacks.QueryDriverStacks(&devices));
    EXPECT_EQ(RequestLengths(IOCTL_TINDALOFT_DEVSTK_NODES).size(), 10u);

    CAttachedDrivers drivers(kDevice);
    ExpectMessage();
    EXPECT_FALSE(drivers.QueryDriversAndDevices(&devices, true));
    EXPECT_EQ(RequestLengths(IOCTL_TINDALOFT_DRVOBJ_NODES).size(), 10u);
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed DeviceIoControl, error: 122"});
    EXPECT_EQ(drivers.GetCount(), 0);
    EXPECT_FALSE(drivers.IsOpen());
}

TEST_F(NodeListQuery, ASizeOfFourOrLessGivesFalseWithoutAMessage) {
    CAttachedDevices devices;
    CAttachedDrivers drivers(kDevice);
    m_fake->Reply(IOCTL_TINDALOFT_DRVOBJ_NODES, {0, 0, 0, 0});
    for (ULONG size : {0u, 3u, 4u}) {
        m_fake->QueueSizeAnswer(IOCTL_TINDALOFT_DRVOBJ_NODES, size);
        EXPECT_FALSE(drivers.QueryDriversAndDevices(&devices, true)) << size;
    }
    EXPECT_EQ(RequestLengths(IOCTL_TINDALOFT_DRVOBJ_NODES), (std::vector<ULONG>{4, 4, 4}));
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(drivers.IsOpen());
}

TEST_F(NodeListQuery, NoMemoryForTheListGivesFalseWithoutAMessageAndClosesTheDevice) {
    NodeList list = TwoDrivers();
    list.End();
    m_fake->Reply(IOCTL_TINDALOFT_DEVSTK_NODES, list.bytes);
    m_fake->Reply(IOCTL_TINDALOFT_DRVOBJ_NODES, list.bytes);
    afx::memory::InjectFailureOfSizeOnAnyThread(list.bytes.size(), {});
    CAttachedDevices devices;
    CStackTree stacks(kDevice);
    CAttachedDrivers drivers(kDevice);
    EXPECT_FALSE(stacks.QueryDriverStacks(&devices));
    EXPECT_FALSE(drivers.QueryDriversAndDevices(&devices, true));
    afx::memory::ClearInjectedFailures();
    EXPECT_FALSE(stacks.IsOpen());
    EXPECT_FALSE(drivers.IsOpen());
    EXPECT_EQ(drivers.GetCount(), 0);
    EXPECT_TRUE(Messages().empty());
}

TEST_F(NodeListQuery, AnOpenFailureShowsTheCreateFileError) {
    m_fake.reset();
    CAttachedDevices devices;
    CAttachedDrivers drivers(kDevice);
    ExpectMessage();
    EXPECT_FALSE(drivers.QueryDriversAndDevices(&devices, true));
    EXPECT_EQ(Messages(), std::vector<std::string>{"Failed CreateFile, error: 2"});
}

// Each failure shows its text, keeps the driver and device object merged before it, and in an update leaves
// the driver the list did not report (the sweep does not run).
TEST_F(NodeListQuery, StructuredFailuresShowTheirTextKeepTheMergedPrefixAndSkipTheSweep) {
    struct Case {
        const char* name;
        NodeList tail; // after one driver with one device object
        NTSTATUS failure;
        std::string message;
    };
    auto prefix = [] {
        NodeList list;
        list.Add(DriverNode(0xD100, "usbhub")).Add(DeviceNode({.address = 0xA100, .driver = 0xD100}));
        return list;
    };
    std::vector<Case> cases;
    cases.push_back({"driver truncated", prefix().Raw(NODE_KIND_DRIVER, 48, 40), 0, "DRIVER_NODE was truncated"});
    cases.push_back({"device truncated", prefix().Raw(NODE_KIND_DEVICE, 112, 100), 0, "DEVICE_NODE was truncated"});
    cases.push_back({"skip truncated", prefix().Raw(3, 112, 107), 0, "SKIP_DEVICE_NODE was truncated"});
    cases.push_back({"kind 7", prefix().Raw(7, 112, 108).End(), 0, "Invalid node type encountered: 0x0007"});
    // Last: the fake keeps failing the code from here on.
    cases.push_back({"request error", prefix().End(), STATUS_UNSUCCESSFUL, "Failed DeviceIoControl, error: 31"});

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        win32::ClearModalRequests();
        CAttachedDevices devices;
        CAttachedDrivers drivers(kDevice);
        NodeList before;
        before.Add(DriverNode(0xD900, "gone")).Add(DeviceNode({.address = 0xA900, .driver = 0xD900})).End();
        m_fake->Reply(IOCTL_TINDALOFT_DRVOBJ_NODES, before.bytes);
        ASSERT_TRUE(drivers.QueryDriversAndDevices(&devices, true));

        m_fake->Reply(IOCTL_TINDALOFT_DRVOBJ_NODES, c.tail.bytes);
        if (c.failure != 0)
            m_fake->Fail(IOCTL_TINDALOFT_DRVOBJ_NODES, c.failure);
        ExpectMessage();
        EXPECT_FALSE(drivers.QueryDriversAndDevices(&devices, false));
        EXPECT_EQ(Messages(), std::vector<std::string>{c.message});
        EXPECT_FALSE(drivers.IsOpen());
        const std::vector<ULONG64> expected =
            c.failure != 0 ? std::vector<ULONG64>{0xD900} : std::vector<ULONG64>{0xD900, 0xD100};
        EXPECT_EQ(DriverAddresses(drivers), expected);
        EXPECT_EQ(devices.GetCount(), c.failure != 0 ? 1 : 2);
        for (INT_PTR i = 0; i < devices.GetCount(); ++i)
            EXPECT_EQ(devices.GetAt(i)->_StatusFlags & CDriverObject::SeenMark, 0u) << "no mark is left behind";
        for (INT_PTR i = 0; c.failure == 0 && i < drivers.GetCount(); ++i)
            EXPECT_EQ(drivers.GetAt(i)->m_Flags & (CDriverObject::SeenMark | CDriverObject::SweptMark), 0u);
    }
}

// A reply shorter than the size asked for is read up to the bytes returned; one with no bytes at all (the
// driver's answer when its list grew while it was written) merges nothing and deletes nothing.
TEST_F(NodeListQuery, ShortRepliesAreReadUpToTheirCountAndAnEmptyOneDeletesNothing) {
    NodeList list = TwoDrivers();
    list.End();
    m_fake->Reply(IOCTL_TINDALOFT_DRVOBJ_NODES, list.bytes);
    m_fake->QueueSizeAnswer(IOCTL_TINDALOFT_DRVOBJ_NODES, static_cast<ULONG>(list.bytes.size()) + 500);
    CAttachedDevices devices;
    CAttachedDrivers drivers(kDevice);
    ASSERT_TRUE(drivers.QueryDriversAndDevices(&devices, true));
    EXPECT_EQ(DriverAddresses(drivers), (std::vector<ULONG64>{0xD100, 0xD200}));
    EXPECT_EQ(devices.GetCount(), 3);

    NodeList stackList;
    stackList.Add(StackNode(1)).Add(DeviceNode({.address = 0xA100, .stackId = 1})).End();
    m_fake->Reply(IOCTL_TINDALOFT_DEVSTK_NODES, stackList.bytes);
    m_fake->QueueSizeAnswer(IOCTL_TINDALOFT_DEVSTK_NODES, static_cast<ULONG>(stackList.bytes.size()) + 500);
    CStackTree stacks(kDevice);
    EXPECT_TRUE(stacks.QueryDriverStacks(&devices));
    EXPECT_EQ(stacks.GetCount(), 1);
    EXPECT_EQ(devices.GetCount(), 3) << "the stack's device object was known";

    m_fake->Reply(IOCTL_TINDALOFT_DRVOBJ_NODES, {});
    m_fake->QueueSizeAnswer(IOCTL_TINDALOFT_DRVOBJ_NODES, static_cast<ULONG>(list.bytes.size()));
    drivers.QueryDriversAndDevices(&devices, false);
    EXPECT_EQ(DriverAddresses(drivers), (std::vector<ULONG64>{0xD100, 0xD200}));
    EXPECT_EQ(devices.GetCount(), 3);
    EXPECT_EQ(drivers.GetAt(0)->m_DeviceObjects.GetSize(), 2);
    EXPECT_TRUE(Messages().empty());
}

TEST(NodeListQueryCodes, OnlyTheQueryCodesAreHandled) {
    CAttachedDrivers drivers;
    const struct {
        DWORD code;
        BOOL handled;
    } cases[] = {{0xA0000001, TRUE}, {0xA0000002, FALSE}, {0xA0000009, FALSE}, {0xA000000A, TRUE},
                 {0xA000000E, TRUE}, {0xA0000010, TRUE},  {0xA0000011, FALSE}, {0xC0000005, FALSE}};
    for (const auto& c : cases)
        EXPECT_EQ(drivers.IsAppExceptionCode(c.code), c.handled) << std::hex << c.code;
    drivers.IsAppExceptionCode(0xA000000F);
    EXPECT_EQ(drivers.GetAppExceptionMessage(), CString("CDriverObject instance has NULL pointer to vtable"));
    drivers.IsAppExceptionCode(0xA0000010);
    EXPECT_EQ(drivers.GetAppExceptionMessage(), CString("CDeviceObject instance has NULL pointer to vtable"));
}

} // namespace
