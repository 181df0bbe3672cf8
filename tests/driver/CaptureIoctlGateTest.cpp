// Which IOCTLs are recorded: the driver's own requests never are; HID requests only at the bottom of a HID
// collection's stack while its parent is captured; the switches and the filter block decide each phase of
// each family; device-control requests of no family leave a header-only "ctlC" while no filter is in force.
#include "common/RecordTags.h"
#include "hidclass.h"
#include "tests/driver/CaptureIoctlFixture.h"
#include "usbioctl.h"

namespace capturetest {
namespace {

using IoctlGates = IoctlCaptureFixture;

constexpr NTSTATUS kFailed = STATUS_UNSUCCESSFUL;

// A request of each family, answered successfully.
IoctlRequest ConnectionInformation(NTSTATUS status = STATUS_SUCCESS) {
    return {.code = IOCTL_USB_GET_NODE_CONNECTION_INFORMATION,
            .input = {1, 0, 0, 0},
            .outputLength = 35,
            .answer = Counting(35),
            .information = 35,
            .status = status};
}
IoctlRequest HidPollFrequency() {
    return {.code = IOCTL_HID_GET_POLL_FREQUENCY_MSEC, .outputLength = 4, .answer = {10, 0, 0, 0}, .information = 4};
}

TEST_F(IoctlGates, TheDriversOwnRequestsAreNeverRecorded) {
    struct Case {
        const char* name;
        StackKind stack;
        IoctlRequest request;
        const char* tags; // without the own mark
    } cases[] = {
        {"hub: connection information", StackKind::Hub, ConnectionInformation(), "hubI hubC hubR"},
        {"hub: connection driver key",
         StackKind::Hub,
         {.code = IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, .input = {1, 0, 0, 0}, .outputLength = 16},
         "hubI hubC hubR"},
        {"host controller",
         StackKind::HostController,
         {.code = IOCTL_GET_HCD_DRIVERKEY_NAME, .outputLength = 16},
         "hcdI hcdC hcdR"},
        {"HID", StackKind::Plain, HidPollFrequency(), "hidI hidC hidR"},
        {"internal", StackKind::Plain, {.code = IOCTL_INTERNAL_USB_GET_HUB_COUNT, .internal = true}, "uinI uinC uinR"},
        {"internal: root hub PDO",
         StackKind::Plain,
         {.code = IOCTL_INTERNAL_USB_GET_ROOTHUB_PDO, .internal = true},
         "uinI uinC uinR"},
        {"other device control", StackKind::Plain, {.code = 0x220034}, "ctlC"},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        MakeStack(c.stack);
        c.request.own = true;
        const int calls = Target().calls;
        EXPECT_EQ(Tags(Send(c.request).records), "");
        EXPECT_EQ(Target().calls, calls + 1); // passed on all the same
        c.request.own = false;
        EXPECT_EQ(Tags(Send(c.request).records), c.tags);
    }
}

TEST_F(IoctlGates, HidRequestsAreRecordedAtTheCollectionsBottomWhileItsParentCaptures) {
    // The collection's own node needs neither a selected driver nor capture of its own: its parent decides.
    DeviceNodeClearFlags(TargetNode(), DEVOBJ_SELECTED);
    DeviceNodeSetFlags(TargetNode(), DEVOBJ_CAPTURE_OFF);
    EXPECT_EQ(Tags(Send(HidPollFrequency()).records), "hidI hidC hidR");

    PDEVICE_STACK parent = TargetStack()->Parent;
    struct Case {
        const char* name;
        std::function<void()> change, undo;
    } cases[] = {
        {"the parent's capture off", [&] { DeviceNodeSetFlags(ParentNode(), DEVOBJ_CAPTURE_OFF); },
         [&] { DeviceNodeClearFlags(ParentNode(), DEVOBJ_CAPTURE_OFF); }},
        {"the parent's device object removed", [&] { DeviceNodeSetFlags(ParentNode(), DEVOBJ_REMOVED); },
         [&] { DeviceNodeClearFlags(ParentNode(), DEVOBJ_REMOVED); }},
        {"no parent", [&] { TargetStack()->Parent = nullptr; }, [&] { TargetStack()->Parent = parent; }},
        {"above the bottom of its stack", [&] { TargetNode()->Position = 1; }, [&] { TargetNode()->Position = 0; }},
        {"the capture log off", [&] { DisableLog(); }, [&] { EnableLog(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.change();
        EXPECT_EQ(Tags(Send(HidPollFrequency()).records), "");
        c.undo();
    }

    // The completion asks again: a parent that stopped capturing meanwhile gets no C record.
    Target().pend = true;
    const IoctlSent pending = Send(HidPollFrequency());
    EXPECT_EQ(Tags(pending.records), "hidI hidR");
    DeviceNodeSetFlags(ParentNode(), DEVOBJ_CAPTURE_OFF);
    CompleteQueued(STATUS_SUCCESS);
    EXPECT_EQ(pending.sent->Wait(), STATUS_SUCCESS);
    EXPECT_EQ(Tags(ReadLog()), "");
}

TEST_F(IoctlGates, SwitchesAndTheFilterBlockDecideEachPhase) {
    struct Case {
        const char* name;
        StackKind stack;
        IoctlRequest request;
        std::vector<size_t> filter; // empty: no filter block, the switches decide
        const char* tags;
    } cases[] = {
        {"hub, switch on", StackKind::Hub, ConnectionInformation(), {}, "hubI hubC hubR"},
        {"hub, request phase", StackKind::Hub, ConnectionInformation(), {224, 227, 294}, "hubI hubR"},
        {"hub, completion phase", StackKind::Hub, ConnectionInformation(), {225, 227, 294}, "hubC"},
        {"hub, its code not ticked", StackKind::Hub, ConnectionInformation(), {224, 225, 226, 294}, ""},
        {"host controller",
         StackKind::HostController,
         {.code = IOCTL_USB_HCD_GET_STATS_1, .outputLength = 44},
         {206, 207, 208, 294},
         "hcdI hcdC hcdR"},
        {"host controller, completion only",
         StackKind::HostController,
         {.code = IOCTL_USB_HCD_GET_STATS_1, .outputLength = 44},
         {207, 208, 294},
         "hcdC"},
        {"HID, buffered group", StackKind::Plain, HidPollFrequency(), {245, 246, 249, 294}, "hidI hidC hidR"},
        {"HID, out-direct group",
         StackKind::Plain,
         {.code = IOCTL_HID_GET_FEATURE, .outputLength = 4},
         {245, 260, 294},
         "hidI hidR"},
        {"HID, neither group",
         StackKind::Plain,
         {.code = IOCTL_HID_GET_COLLECTION_DESCRIPTOR, .outputLength = 4},
         {246, 254, 294},
         "hidC"},
        {"internal, low group",
         StackKind::Plain,
         {.code = IOCTL_INTERNAL_USB_GET_HUB_COUNT, .internal = true},
         {181, 182, 189, 294},
         "uinI uinC uinR"},
        {"internal, high group",
         StackKind::Plain,
         {.code = IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE, .internal = true},
         {182, 198, 294},
         "uinC"},
        {"errors only: a success", StackKind::Hub, ConnectionInformation(), {224, 225, 227, 293}, ""},
        {"errors only: a failure", StackKind::Hub, ConnectionInformation(kFailed), {224, 225, 227, 293}, "hubC"},
        {"a warning is neither",
         StackKind::Hub,
         ConnectionInformation(STATUS_BUFFER_OVERFLOW),
         {224, 225, 227, 293, 294},
         "hubI hubR"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MakeStack(c.stack);
        if (c.filter.empty()) {
            SetOptions([](LOGGING_OPTIONS& options) { options.FilterPresent = 0; });
        } else {
            SetOptions([&](LOGGING_OPTIONS& options) {
                options.FilterPresent = 1;
                InitLoggingOptions(options.Filter);
                for (size_t byte : c.filter) {
                    options.Filter.Bytes[byte] = 1;
                }
            });
        }
        EXPECT_EQ(Tags(Send(c.request).records), c.tags);
    }

    // With no filter block in force, a family whose switch is off is left to the block the driver keeps: a
    // default one selects nothing.
    SetFilter({});
    SetOptions([](LOGGING_OPTIONS& options) {
        options.FilterPresent = 0;
        options.CaptureHubIoctl = 0;
    });
    MakeStack(StackKind::Hub);
    EXPECT_EQ(Tags(Send(ConnectionInformation()).records), "");
}

TEST_F(IoctlGates, OtherDeviceControlRequestsLeaveAHeaderOnlyCompletionWithoutAFilter) {
    // A device-type 0x22 code sent to a stack that is neither a hub nor a host controller, and another
    // device type altogether.
    for (ULONG code : {0x220034u, 0x2D1400u}) {
        SCOPED_TRACE(code);
        const IoctlSent sent =
            Send({.code = code, .input = Counting(8), .outputLength = 16, .answer = Counting(16), .information = 16});
        ASSERT_EQ(Tags(sent.records), "ctlC");
        EXPECT_EQ(sent.records[0].function, code);
        EXPECT_EQ(sent.records[0].dataSize, 0u);
        EXPECT_EQ(HeaderStatus(sent.records[0]), ULONG{STATUS_SUCCESS});
    }
    // No byte of a filter block selects them.
    SetFilter({224, 225, 245, 246, 293, 294});
    EXPECT_EQ(Tags(Send({.code = 0x220034}).records), "");
}

} // namespace
} // namespace capturetest
