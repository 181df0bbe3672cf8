// The HID decoder on built class-request records: each HID class request with its fields in the grid and
// mark-up forms, through the class-interface slot and the control-ex slot; the data stage (reports in the
// data bar, the idle rate, the protocol) and when it shows nothing.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/decoders/urb/HidUrbOutputer.h"
#include "tests/app/decoders/urb/ClassRequestRecords.h"
#include "tests/support/RecordingDataBar.h"

namespace {

using classtest::Build;
using classtest::Calls;
using classtest::ClassRecord;
using classtest::Has;
using classtest::Shown;

constexpr USHORT kHid = 2;

class HidUrbOutputerTest : public classtest::ClassDecoderTest {
protected:
    // A HID class request as a class-interface URB; IN by its transfer flags.
    static ClassRecord Request(BYTE bRequest, USHORT wValue, bool in, std::vector<uint8_t> data = {},
                               ULONG tag = LogTag::urbC) {
        ClassRecord r;
        r.tag = tag;
        r.stack = kHid;
        r.function = URB_FUNCTION_CLASS_INTERFACE;
        r.transferFlags = in ? 1 : 0;
        r.bRequest = bRequest;
        r.wValue = wValue;
        r.wIndex = 1;
        r.data = std::move(data);
        return r;
    }
};

TEST_F(HidUrbOutputerTest, RequestFieldsInTheGrid) {
    ExpectGrid({
        {Request(10, 0x0000, false), "Setup Packet = HID Class request to interface\n"
                                     "  bmRequestType = 0x21 (calculated)\n  Request = 0x0a (SET_IDLE)\n"
                                     "  IdleRate.wValueHi = 0x00 (infinite)\n  ReportID.wValueLo = 0x00 (all reports)\n"
                                     "  Interface.wIndex = 0x0001\n  Length = 0x00000000\n"},
        {Request(10, 0x7D01, false), "  IdleRate.wValueHi = 0x7d (500 ms)\n  ReportID.wValueLo = 0x01\n"},
        {Request(1, 0x0302, true), "Setup Packet = HID Class request from interface\n"
                                   "  bmRequestType = 0xa1 (calculated)\n  Request = 0x01 (GET_REPORT)\n"
                                   "  ReportType.wValueHi = 0x03 (Feature Report)\n  ReportID.wValueLo = 0x02\n"},
        {Request(9, 0x0200, false), "  Request = 0x09 (SET_REPORT)\n  ReportType.wValueHi = 0x02 (Output Report)\n"},
        {Request(1, 0x0400, true), "  ReportType.wValueHi = 0x04 ()\n"},
        {Request(2, 0x0005, true), "  Request = 0x02 (GET_IDLE)\n  Reserved.wValueHi = 0x00\n"
                                   "  ReportID.wValueLo = 0x05\n  Interface.wIndex"},
        {Request(3, 0x0000, true), "  Request = 0x03 (GET_PROTOCOL)\n  wValue = 0x0000\n  Interface.wIndex"},
        {Request(11, 0x0000, false), "  Request = 0x0b (SET_PROTOCOL)\n  Protocol.wValue = 0x0000 (Boot)\n"},
        {Request(11, 0x0001, false), "  Protocol.wValue = 0x0001 (Report)\n"},
        {Request(5, 0x1234, false), "  Request = 0x05 (Unknown)\n  wValue = 0x1234\n  wIndex = 0x0001\n"},
    });
}

TEST_F(HidUrbOutputerTest, EachRequestInMarkup) {
    ExpectMarkup({
        {Request(1, 0x0302, true), "BeginSection|HidGetReport|Description|HID Class request from interface\n"
                                   "WriteValue|bmRequestType|a1\nAddAttribute|Note|Calculated value\n"
                                   "WriteValue|Request|01\nAddAttribute|Name|GET_REPORT\n"
                                   "WriteValue|ReportType.wValueHi|03\nAddAttribute|Name|Feature Report\n"
                                   "WriteValue|ReportID.wValueLo|02\nWriteValue|Interface.wIndex|0001\n"
                                   "WriteValue|Length|00000000\n"},
        {Request(2, 0, true), "BeginSection|HidGetIdle|"},
        {Request(3, 0, true), "BeginSection|HidGetProtocol|"},
        {Request(9, 0x0200, false), "BeginSection|HidSetReport|Description|HID Class request to interface\n"},
        {Request(10, 0x7D00, false), "BeginSection|HidSetIdle|Description|HID Class request to interface\n"},
        {Request(10, 0x7D00, false), "WriteValue|IdleRate.wValueHi|7d\nAddAttribute|Duration|500 ms\n"
                                     "WriteValue|ReportID.wValueLo|00\nWriteValue|Interface.wIndex|0001\n"},
        {Request(11, 1, false), "BeginSection|HidSetProtocol|Description|HID Class request to interface\n"},
        {Request(11, 1, false), "WriteValue|Protocol.wValue|0001\nAddAttribute|Description|Report\n"},
        {Request(0, 7, false), "BeginSection|HidUnknown|Description|HID Class request to interface\n"},
        {Request(0, 7, false), "WriteValue|Request|00\nAddAttribute|Name|Unknown\nWriteValue|wValue|0007\n"
                               "WriteValue|wIndex|0001\n"},
    });
    for (BYTE request : {0, 1, 2, 3, 9, 10, 11})
        EXPECT_EQ(0u, Markup(Request(request, 0, false)).find("BeginElement|URB-HIDClassInterface\n")) << int(request);
}

// A report read is shown in the data bar on the completion, a report written on the request side; both
// stand in a "Data" group inside the setup packet's, and the decode ends at the level where it began.
TEST_F(HidUrbOutputerTest, ReportsGoToTheDataBar) {
    tdl::test::RecordingDataBar bar;
    const std::vector<uint8_t> report = {0x02, 0x11, 0x22};
    EXPECT_EQ("URB Function = URB_FUNCTION_CLASS_INTERFACE (0x1B)\nClass = HID\nClass Request = Get_Report (0x01)\n"
              "URB Length = 0x0088\nUSBDDeviceHandle = 0xffff800012345678\nURB Status = USBD_STATUS_SUCCESS\n"
              "RequestTypeReservedBits = 0x00 (OUT,STD,DEVICE)\n"
              "Setup Packet = HID Class request from interface\n  bmRequestType = 0xa1 (calculated)\n"
              "  Request = 0x01 (GET_REPORT)\n  ReportType.wValueHi = 0x03 (Feature Report)\n"
              "  ReportID.wValueLo = 0x02\n  Interface.wIndex = 0x0001\n  Length = 0x00000003\n"
              "  Data =\n    GET_REPORT =\n",
              Grid(Request(1, 0x0302, true, report)));
    EXPECT_EQ("  Get HID Report #42", bar.Title());
    EXPECT_EQ(report, bar.Bytes());
    EXPECT_TRUE(Has(Markup(Request(1, 0x0302, true, report)), "WriteValue|Report|021122\nEndElement\n"));

    const std::string set = Grid(Request(9, 0x0200, false, {0x01}, LogTag::urbI));
    EXPECT_TRUE(Has(set, "  Data =\n    SET_REPORT =\n")) << set;
    EXPECT_EQ("  Set HID Report #42", bar.Title());
    EXPECT_EQ(std::vector<uint8_t>{0x01}, bar.Bytes());
    EXPECT_EQ(2, bar.Buffers());
}

// No data stage: a failed read, a request-side record whose flags say IN, a completion of OUT data, and
// the HTML mode.
TEST_F(HidUrbOutputerTest, DataShownOnlyWhereItWasCaptured) {
    tdl::test::RecordingDataBar bar;
    ClassRecord failed = Request(1, 0x0100, true, {1, 2, 3});
    failed.status = 0xC0000004;
    ClassRecord noLength = Request(1, 0x0100, true, {1, 2, 3});
    noLength.length = 0;
    const ClassRecord cases[] = {
        failed,
        noLength,
        Request(9, 0x0200, true, {1, 2}, LogTag::urbI),
        Request(9, 0x0200, false, {1, 2}, LogTag::urbC),
        Request(1, 0x0100, true, {1, 2}, LogTag::urbI),
    };
    for (const ClassRecord& r : cases) {
        const std::string grid = Grid(r);
        EXPECT_FALSE(Has(grid, "Data =")) << grid;
        EXPECT_TRUE(Has(grid, "  Length = ")) << grid;
        EXPECT_FALSE(Has(Markup(r), "WriteValue|Report|")) << Markup(r);
    }
    EXPECT_EQ(
        std::string::npos,
        Calls(Build(Request(1, 0x0100, true, {1, 2})), OUTPUT_MODE_HTML, m_document.Get()).find("AddDataBufferItem"));
    EXPECT_EQ(0, bar.Buffers());
}

// The idle rate and protocol the device returned, when it returned exactly one byte.
TEST_F(HidUrbOutputerTest, IdleRateAndProtocolOfOneByte) {
    EXPECT_TRUE(Has(Grid(Request(2, 0, true, {0x7D})), "  Data =\n    Idle Rate = 0x7d (500 ms)\n"));
    EXPECT_TRUE(
        Has(Markup(Request(2, 0, true, {0x00})), "WriteValue|IdleRate|00\nAddAttribute|Description|infinite\n"));
    EXPECT_TRUE(Has(Grid(Request(3, 0, true, {0x00})), "  Data =\n    Protocol = 0x00 (Boot)\n"));
    EXPECT_TRUE(Has(Markup(Request(3, 0, true, {0x01})), "WriteValue|Protocol|01\nAddAttribute|Description|Report\n"));
    for (BYTE request : {BYTE(2), BYTE(3)}) {
        const std::string grid = Grid(Request(request, 0, true, {0x7D, 0x00}));
        EXPECT_FALSE(Has(grid, "Idle Rate")) << grid;
        EXPECT_FALSE(Has(grid, "Data =")) << grid;
    }
}

// The selection's HID decoder takes a control-ex of the class type through its own slot, with the header
// rows of a control-ex and the direction of its setup packet.
TEST_F(HidUrbOutputerTest, ControlExThroughTheHidSlot) {
    ClassRecord ex;
    ex.stack = kHid;
    ex.bmRequestType = 0xA1;
    ex.bRequest = 1;
    ex.wValue = 0x0101;
    ex.data = {0x00, 0x05, 0xFB};
    const auto record = Build(ex);
    tdl::test::RecordingOutputImp imp;
    std::unique_ptr<UrbOutputer> decoder(UrbOutputer::Create(&imp, m_document.Get(), classtest::Header(record)));
    ASSERT_NE(nullptr, dynamic_cast<HidUrbOutputer*>(decoder.get()));

    tdl::test::RecordingDataBar bar;
    const std::string grid = Grid(ex);
    EXPECT_TRUE(Has(grid, "Timeout (msec) = 0x00001388\nTransferBufferLength = 0x00000003\n"
                          "Setup Packet = HID Class request from interface\n  bmRequestType = 0xa1\n"
                          "  Request = 0x01 (GET_REPORT)\n  ReportType.wValueHi = 0x01 (Input Report)\n"))
        << grid;
    EXPECT_TRUE(Has(grid, "  Data =\n    GET_REPORT =\n")) << grid;
    EXPECT_FALSE(Has(grid, "Pipe Information")) << grid;
    EXPECT_EQ(ex.data, bar.Bytes());
    EXPECT_TRUE(Has(Markup(ex), "BeginElement|URB-HIDClassInterface\n")) << Markup(ex);

    ex.bmRequestType = 0x21;
    ex.bRequest = 9;
    ex.tag = LogTag::urbI;
    const std::string set = Grid(ex);
    EXPECT_TRUE(Has(set, "  Data =\n    SET_REPORT =\n")) << set;
}

} // namespace
