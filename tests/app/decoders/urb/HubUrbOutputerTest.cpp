// The hub decoder on built class-request records: each request to the hub and to a port under its own name
// with its wValue and wIndex fields, in both record layouts and in the grid and mark-up forms; the data stage
// with its buffer, hub and port status (in the layout of the hub's stack), link error count and hub
// descriptors; and what is not shown (request side, failed completion, data too short).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/devices/DeviceStack.h"
#include "app/devices/StackTree.h"
#include "tests/app/decoders/urb/ClassRequestRecords.h"
#include "tests/support/RecordingDataBar.h"

namespace {

using classtest::Build;
using classtest::Calls;
using classtest::ClassRecord;
using classtest::Has;
using classtest::Shown;

constexpr USHORT kHub = 1;
constexpr USHORT kClassDevice = URB_FUNCTION_CLASS_DEVICE;
constexpr USHORT kClassOther = URB_FUNCTION_CLASS_OTHER;

class HubUrbOutputerTest : public classtest::ClassDecoderTest {
protected:
    // A request to the hub's port 2, as a class-other URB (or a control-ex with bmRequestType 0x23 / 0xa3).
    static ClassRecord Port(BYTE bRequest, USHORT wValue = 0, USHORT wIndex = 2, bool in = false) {
        ClassRecord r;
        r.stack = kHub;
        r.function = kClassOther;
        r.transferFlags = in ? 1 : 0;
        r.bRequest = bRequest;
        r.wValue = wValue;
        r.wIndex = wIndex;
        return r;
    }
    static ClassRecord Hub(BYTE bRequest, USHORT wValue = 0, bool in = false) {
        ClassRecord r = Port(bRequest, wValue, 0, in);
        r.function = kClassDevice;
        return r;
    }
    static ClassRecord Ex(BYTE bmRequestType, BYTE bRequest, USHORT wValue = 0, USHORT wIndex = 0) {
        ClassRecord r;
        r.stack = kHub;
        r.bmRequestType = bmRequestType;
        r.bRequest = bRequest;
        r.wValue = wValue;
        r.wIndex = wIndex;
        return r;
    }
};

// Each request under its name, with the fields its wValue and wIndex carry; requests neither table lists
// keep them whole.
TEST_F(HubUrbOutputerTest, RequestsShowTheirOwnFields) {
    ExpectGrid({
        {Hub(4), "Setup Packet = Hub Class request to Hub\n  bmRequestType = 0x20 (calculated)\n"
                 "  Request = 0x04 (Unknown)\n  wValue = 0x0000\n  wIndex = 0x0000\n  Length = 0x00000000\n"},
        {Hub(1, 1), "  Request = 0x01 (CLEAR_FEATURE)\n  FeatureSelector.wValue = 0x0001 (C_HUB_OVER_CURRENT)\n"
                    "  wIndex = 0x0000\n"},
        {Hub(6, 0x2900, true), "Setup Packet = Hub Class request from Hub\n  bmRequestType = 0xa0 (calculated)\n"
                               "  Request = 0x06 (GET_DESCRIPTOR)\n  DescriptorType.wValueHi = 0x29"},
        {Hub(12, 3), "  Request = 0x0c (SET_HUB_DEPTH)\n  HubDepth.wValue = 0x0003\n  wIndex = 0x0000\n"},
        {Port(3, 21, 0x0403), "Setup Packet = Hub Class request to Port\n  bmRequestType = 0x23 (calculated)\n"
                              "  Request = 0x03 (SET_FEATURE)\n  FeatureSelector.wValue = 0x0015 (PORT_TEST)\n"
                              "  TestModeSelector.wIndexHi = 0x0004\n  PortNumber.wIndexLo = 0x0003\n"
                              "  Length = 0x00000000\n"},
        {Port(1, 4, 0x0403), "  Request = 0x01 (CLEAR_FEATURE)\n  FeatureSelector.wValue = 0x0004 (PORT_RESET)\n"
                             "  PortNumber.wIndex = 0x0403\n  Length"},
        {Port(8, 0x9A53, 1), "  Request = 0x08 (CLEAR_TT_BUFFER)\n  Direction.wValue.15 = 1 (IN)\n"
                             "  EndpointType.wValue.12-11 = 3\n  DeviceAddress.wValue.10-4 = 0x25\n"
                             "  EndpointNumber.wValue.3-0 = 0x03\n  TTPortNumber.wIndex = 0x0001\n"},
        {Port(8, 0x0000, 1), "  Direction.wValue.15 = 0 (OUT)\n  EndpointType.wValue.12-11 = 0\n"},
        {Port(10, 0x1234, 1), "  Request = 0x0a (GET_TT_STATE)\n  VendorTTFlags.wValueHi = 0x12\n"
                              "  ReservedTTFlags.wValueLo = 0x34\n  TTPortNumber.wIndex = 0x0001\n"},
        {Port(13), "  Request = 0x0d (GET_PORT_ERR_COUNT)\n  wValue = 0x0000\n  PortNumber.wIndex = 0x0002\n"},
        {Port(12, 5, 6), "  Request = 0x0c (Unknown)\n  wValue = 0x0005\n  wIndex = 0x0006\n"},
        {Ex(0xA3, 0, 0, 2), "Timeout (msec) = 0x00001388\nTransferBufferLength = 0x00000000\n"
                            "bmRequestType = 0xa3 (IN,CLASS,OTHER)\nSetup Packet = Hub Class request from Port\n"
                            "  bmRequestType = 0xa3\n  Request = 0x00 (GET_STATUS)\n"},
        {Ex(0x20, 3, 1), "Setup Packet = Hub Class request to Hub\n  bmRequestType = 0x20\n"
                         "  Request = 0x03 (SET_FEATURE)\n  FeatureSelector.wValue = 0x0001 (C_HUB_OVER_CURRENT)\n"},
    });
}

TEST_F(HubUrbOutputerTest, MarkupNamesEachRequestsSection) {
    ExpectMarkup({
        {Hub(0), "BeginElement|URB-HUBClassRequest\n"},
        {Hub(0), "BeginSection|GetHubStatus|Description|Hub Class request to Hub\n"
                 "WriteValue|bmRequestType|20\nAddAttribute|Note|Calculated value\n"
                 "WriteValue|Request|00\nAddAttribute|Name|GET_STATUS\n"},
        {Hub(4), "BeginSection|HubUnknown|Description|Hub Class request to Hub\n"},
        {Hub(7, 0x2A00), "BeginSection|SetHubDescriptor|"},
        {Port(3, 22, 0x0205), "BeginSection|SetPortFeature|Description|Hub Class request to Port\n"},
        {Port(3, 22, 0x0205), "WriteValue|FeatureSelector.wValue|0016\nAddAttribute|Name|PORT_INDICATOR\n"
                              "WriteValue|IndicatorSelector.wIndexHi|0002\nWriteValue|PortNumber.wIndexLo|0005\n"},
        {Port(8, 0x8000, 1), "WriteValue|Direction.wValue.15|1 (IN)\nWriteValue|EndpointType.wValue.12-11|0\n"},
        {Port(9), "BeginSection|ResetTT|"},
        {Port(11), "BeginSection|StopTT|"},
        {Port(2), "BeginSection|GetBusState|"},
        {Port(5), "BeginSection|PortUnknown|"},
        {Ex(0xA3, 0, 0, 2), "WriteValue|bmRequestType|a3\nAddAttribute|Description|(IN,CLASS,OTHER)\n"
                            "BeginSection|GetPortStatus|Description|Hub Class request from Port\n"
                            "WriteValue|bmRequestType|a3\n"},
    });
}

// A control-ex goes to the hub's decoder only as a class request to the hub or a port: a vendor request, and a
// class packet to an interface or an endpoint (the hub class has none), are the plain decoder's, shown whole.
TEST_F(HubUrbOutputerTest, ControlExByTypeAndRecipient) {
    for (BYTE type : {BYTE{0x40}, BYTE{0x21}, BYTE{0xA2}}) {
        SCOPED_TRACE(type);
        const std::string markup = Markup(Ex(type, 3, 0x1234, 0x0081));
        EXPECT_TRUE(Has(markup, "BeginElement|URB-ControlTransferEx\n")) << markup;
        EXPECT_FALSE(Has(markup, "URB-HUBClassRequest")) << markup;
        const std::string grid = Grid(Ex(type, 3, 0x1234, 0x0081));
        EXPECT_TRUE(Has(grid, "  Request = 0x03\n  Value = 0x1234\n  Index = 0x0081\n")) << grid;
        EXPECT_TRUE(Has(grid, "Pipe Information")) << grid;
    }
}

// "Length" is the transfer buffer's length, whatever the setup packet's wLength says.
TEST_F(HubUrbOutputerTest, LengthIsTheTransferBufferLength) {
    ClassRecord r = Ex(0xA0, 0);
    r.wLength = 0x40;
    r.length = 4;
    EXPECT_TRUE(Has(Grid(r), "  Length = 0x00000004\n"));
    EXPECT_TRUE(Has(Markup(r), "WriteValue|Length|00000004\n"));
}

// GET_STATUS to the hub: the request side is the setup packet alone; the completion shows the buffer (in the
// data bar, titled by the URB's kind) and the status sections inside the setup packet's group.
TEST_F(HubUrbOutputerTest, HubStatusOnTheCompletionOnly) {
    ClassRecord request = Hub(0, 0, true);
    request.tag = LogTag::urbI;
    request.length = 4;
    const std::string side = Grid(request);
    EXPECT_TRUE(Has(side, "  Length = 0x00000004\n")) << side;
    EXPECT_FALSE(Has(side, "TransferBuffer")) << side;
    EXPECT_FALSE(Has(side, "Hub Status")) << side;

    ClassRecord completion = Hub(0, 0, true);
    completion.data = {0x01, 0x00, 0x02, 0x00};
    tdl::test::RecordingDataBar bar;
    const std::string grid = Grid(completion);
    EXPECT_TRUE(Has(grid, "  Length = 0x00000004\n  TransferBuffer (In) =\n  Hub Status Bits =\n"
                          "    Reserved.HubStatus.15-2 = 0x0000\n    Over-current.HubStatus.1 = 0\n"
                          "    LocalPowerSource.HubStatus.0 = 1\n  Hub Status Change Bits =\n"
                          "    Reserved.HubChange.15-2 = 0x0000\n"
                          "    Over-currentChange.HubChange.1 = 1 (C_HUB_OVER_CURRENT)\n"))
        << grid;
    EXPECT_EQ("  Class Device TransferBuffer (Input) - record #42            (0x0 - 0x3 / 0x4)", bar.Title());
    EXPECT_EQ(completion.data, bar.Bytes());
    EXPECT_TRUE(Has(Markup(completion), "WriteValue|Length|00000004\nWriteValue|TransferBuffer|01000200\n"
                                        "BeginElement|HubStatus\n"));

    ClassRecord failed = completion;
    failed.status = 0xC0000004;
    const std::string stalled = Grid(failed);
    EXPECT_FALSE(Has(stalled, "TransferBuffer")) << stalled;
    EXPECT_FALSE(Has(stalled, "Hub Status")) << stalled;
}

// A port's status in the layout its hub's stack says (SuperSpeed when the hub's device returned a BOS
// descriptor); the link error count; and a status cut short.
TEST_F(HubUrbOutputerTest, PortStatusByTheHubsStack) {
    ClassRecord usb2 = Port(0, 0, 2, true);
    usb2.data = {0x03, 0x05, 0xE0, 0xFF};
    std::string grid = Grid(usb2);
    EXPECT_TRUE(Has(grid, "    PORT_HIGH_SPEED.PortStatus.10 = 1\n")) << grid;
    EXPECT_TRUE(Has(grid, "    PORT_CONNECTION.PortStatus.0 = 1\n  Port Status Change Bits =\n"
                          "    Reserved.PortChange.15-5 = 0x07ff\n"))
        << grid;

    CDeviceStack* hub = m_document.Get()->GetStackTree()->FindStackById(kHub);
    ASSERT_NE(nullptr, hub);
    hub->HasBosDescriptor = 1;
    for (auto [status, speed] :
         {std::pair{USHORT(0x0203), "0x00 (5Gbps)"}, std::pair{USHORT(0x1603), "0x05 (Reserved)"}}) {
        ClassRecord ss = Ex(0xA3, 0, 0, 2);
        ss.data = {static_cast<uint8_t>(status), static_cast<uint8_t>(status >> 8), 0, 0};
        grid = Grid(ss);
        EXPECT_TRUE(Has(grid, std::string("  SuperSpeed Port Status Bits =\n    Reserved.SSPortStatus.15-13 = 0x00\n"
                                          "    NegotiatedSpeed.SSPortStatus.12-10 = ") +
                                  speed +
                                  "\n"
                                  "    PORT_POWER.SSPortStatus.9 = 1\n"
                                  "    PORT_LINK_STATE.SSPortStatus.8-5 = 0x00 (Link in U0)\n"))
            << grid;
        EXPECT_FALSE(Has(grid, "  Port Status Bits")) << grid;
    }

    ClassRecord count = Port(13, 0, 2, true);
    count.data = {0x07, 0x00};
    EXPECT_TRUE(Has(Grid(count), "  Port Link Error Count =\n    Link Error Count = 0x0007\n"));

    ClassRecord cut = Port(0, 0, 2, true);
    cut.data = {0x03, 0x05, 0xE0};
    grid = Grid(cut);
    EXPECT_TRUE(Has(grid, "  TransferBuffer (In) =\n  Truncated = 3 of 4 bytes")) << grid;
    EXPECT_FALSE(Has(grid, "Port Status Bits")) << grid;
}

// Hub descriptors by their type byte: GET_DESCRIPTOR on the completion, SET_DESCRIPTOR on the request side;
// a type neither layout has shows the buffer alone.
TEST_F(HubUrbOutputerTest, HubDescriptorsByType) {
    const std::vector<uint8_t> usb2 = {9, 0x29, 4, 0x00, 0x00, 0x32, 0x64, 0x00, 0xFF};
    const std::vector<uint8_t> ss = {12, 0x2A, 4, 0x00, 0x00, 0x32, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00};
    struct Case {
        std::vector<uint8_t> data;
        const char* element; // null: no descriptor shown
    };
    const Case cases[] = {
        {usb2, "HubDescriptor"},
        {ss, "SuperSpeedHubDescriptor"},
        {{9, 0x00, 4, 0x00, 0x00, 0x32, 0x64, 0x00, 0xFF}, "HubDescriptor"},
        {{9, 0x05, 4, 0x00, 0x00, 0x32, 0x64, 0x00, 0xFF}, nullptr},
        {{9}, nullptr},
        {{9, 0x29, 4}, "HubDescriptor"},
    };
    for (const Case& c : cases) {
        ClassRecord get = Hub(6, 0x2900, true);
        get.data = c.data;
        const std::string grid = Grid(get);
        EXPECT_TRUE(Has(grid, "  TransferBuffer (In) =\n")) << grid;
        EXPECT_EQ(c.element != nullptr, Has(grid, "Hub Class Descriptor")) << grid;
        const std::string calls = Markup(get);
        if (c.element)
            EXPECT_TRUE(Has(calls, std::string("|") + c.element + "\n")) << calls;
        EXPECT_TRUE(tdl::test::MarkupBalanced(calls)) << calls;
    }

    ClassRecord set = Hub(7, 0x2900);
    set.tag = LogTag::urbI;
    set.data = usb2;
    tdl::test::RecordingDataBar bar;
    const std::string grid = Grid(set);
    EXPECT_TRUE(Has(grid, "  TransferBuffer (Out) =\n")) << grid;
    EXPECT_TRUE(Has(grid, "Hub Class Descriptor")) << grid;
    EXPECT_EQ(usb2, bar.Bytes());
    set.tag = LogTag::urbC;
    EXPECT_FALSE(Has(Grid(set), "Hub Class Descriptor"));
}

} // namespace
