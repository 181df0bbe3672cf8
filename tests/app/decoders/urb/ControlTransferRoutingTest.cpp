// Control transfers routed by the setup packet they carry. The port driver completes every standard, class
// and vendor request URB as a CONTROL_TRANSFER, so a class request reaches the decoders in a control transfer
// as often as in its own function: it must decode as the class's decoder decodes it in a control-ex, data
// stage included. A standard request keeps the standard table's names; a vendor request, and a class request
// of a class with no decoder, show the request's number alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/app/decoders/urb/ClassRequestRecords.h"
#include "tests/support/RecordingDataBar.h"

namespace {

using classtest::ClassRecord;
using classtest::Has;

// StackIDs of the decoder document.
constexpr USHORT kHub = 1;
constexpr USHORT kHid = 2;
constexpr USHORT kStorage = 3;
constexpr USHORT kPrinter = 4;
constexpr USHORT kVendorClass = 5;

ClassRecord Control(USHORT function, USHORT stack, BYTE bmRequestType, BYTE bRequest, USHORT wValue, USHORT wIndex,
                    std::vector<uint8_t> data = {}, ULONG tag = LogTag::urbC) {
    ClassRecord r;
    r.tag = tag;
    r.function = function;
    r.stack = stack;
    r.bmRequestType = bmRequestType;
    r.bRequest = bRequest;
    r.wValue = wValue;
    r.wIndex = wIndex;
    r.wLength = static_cast<USHORT>(data.size());
    r.data = std::move(data);
    return r;
}

// The grid without the lines only one of the two functions has: the title's function and the control-ex's
// timeout.
std::string WithoutFunctionLines(const std::string& grid) {
    std::string kept;
    size_t start = 0;
    while (start < grid.size()) {
        const size_t end = grid.find('\n', start);
        const std::string line = grid.substr(start, end - start + 1);
        if (line.rfind("URB Function = ", 0) != 0 && line.rfind("Timeout (msec) = ", 0) != 0)
            kept += line;
        start = end == std::string::npos ? grid.size() : end + 1;
    }
    return kept;
}

class ControlTransferRoutingTest : public classtest::ClassDecoderTest {};

// Each class request in a function-8 record shows what the same request shows in a control-ex, with the
// class decoder's data stage: the report, the device ID's keys, the port status bits, the hub descriptor, the
// LUN count.
TEST_F(ControlTransferRoutingTest, ClassRequestsInAControlTransferDecodeAsTheirClass) {
    const std::vector<uint8_t> deviceId = {0x00, 0x10, 'M', 'F', 'G', ':', 'A', 'C', 'M',
                                           'E',  ';',  'M', 'D', 'L', ':', 'P', '9', ';'};
    const std::vector<uint8_t> hubDescriptor = {9, 0x29, 4, 0x00, 0x00, 0x32, 0x64, 0x00, 0xFF};
    struct Case {
        USHORT stack;
        BYTE bmRequestType;
        BYTE bRequest;
        USHORT wValue;
        USHORT wIndex;
        std::vector<uint8_t> data;
        ULONG tag;
        const char* title;   // the class items of the title
        const char* shows;   // what the class decoder makes of it
        const char* section; // the mark-up section
    };
    const Case cases[] = {
        {kHid,
         0x21,
         9,
         0x0200,
         0,
         {0x01},
         LogTag::urbC,
         "Class = HID\nClass Request = Set_Report (0x09)\n",
         "  Request = 0x09 (SET_REPORT)\n  ReportType.wValueHi = 0x02 (Output Report)\n",
         "BeginSection|HidSetReport|Description|HID Class request to interface\n"},
        {kHid,
         0x21,
         9,
         0x0200,
         0,
         {0x01},
         LogTag::urbI,
         "Class Request = Set_Report (0x09)\n",
         "  Data =\n    SET_REPORT =\n",
         "WriteValue|Report|01\n"},
        {kPrinter, 0xA1, 0, 0, 0, deviceId, LogTag::urbC, "Class = PRINTER\nClass Request = Get_Device_ID (0x00)\n",
         "  Request = 0x00 (GET_DEVICE_ID)\n", "BeginSection|PrinterGetDeviceId|"},
        {kPrinter, 0xA1, 0, 0, 0, deviceId, LogTag::urbC, "", "  1284 Device ID Keys =\n    MFG = ACME\n    MDL = P9\n",
         "WriteValue|MFG|ACME\n"},
        {kHub,
         0xA3,
         0,
         0,
         2,
         {0x03, 0x05, 0x00, 0x00},
         LogTag::urbC,
         "Class = HUB\n",
         "  Request = 0x00 (GET_STATUS)\n  wValue = 0x0000\n  PortNumber.wIndex = 0x0002\n",
         "BeginSection|GetPortStatus|"},
        {kHub,
         0xA3,
         0,
         0,
         2,
         {0x03, 0x05, 0x00, 0x00},
         LogTag::urbC,
         "",
         "    PORT_HIGH_SPEED.PortStatus.10 = 1\n",
         "BeginElement|PortStatusBits\n"},
        {kHub, 0xA0, 6, 0x2900, 0, hubDescriptor, LogTag::urbC, "Class = HUB\n",
         "  Request = 0x06 (GET_DESCRIPTOR)\n  DescriptorType.wValueHi = 0x29", "|HubDescriptor\n"},
        {kStorage,
         0xA1,
         0xFE,
         0,
         0,
         {0x00},
         LogTag::urbC,
         "Class = MSC-BOT\n",
         "    Max LUN = 0x00 (zero-based)\n",
         "BeginSection|GetMaxLUN|"},
    };
    for (const Case& c : cases) {
        tdl::test::RecordingDataBar bar;
        const ClassRecord control = Control(URB_FUNCTION_CONTROL_TRANSFER, c.stack, c.bmRequestType, c.bRequest,
                                            c.wValue, c.wIndex, c.data, c.tag);
        ClassRecord ex = control;
        ex.function = URB_FUNCTION_CONTROL_TRANSFER_EX;
        const std::string grid = Grid(control);
        EXPECT_TRUE(Has(grid, "URB Function = URB_FUNCTION_CONTROL_TRANSFER (0x8)\n")) << grid;
        EXPECT_TRUE(Has(grid, c.title)) << c.title << "\n---\n" << grid;
        EXPECT_TRUE(Has(grid, c.shows)) << c.shows << "\n---\n" << grid;
        EXPECT_FALSE(Has(grid, "Timeout")) << grid;
        EXPECT_EQ(WithoutFunctionLines(Grid(ex)), WithoutFunctionLines(grid));
        const std::string calls = Markup(control);
        EXPECT_TRUE(Has(calls, c.section)) << c.section << "\n---\n" << calls;
        EXPECT_TRUE(tdl::test::MarkupBalanced(calls)) << calls;
    }
}

// The setup rows of a control transfer name the request from the standard table only for the standard type.
TEST_F(ControlTransferRoutingTest, StandardNamesOnlyForStandardRequests) {
    struct Case {
        USHORT function;
        USHORT stack;
        BYTE bmRequestType;
        BYTE bRequest;
        USHORT wValue;
        const char* grid;
        const char* markup;
    };
    const Case cases[] = {
        {URB_FUNCTION_CONTROL_TRANSFER, kHid, 0x40, 1, 0x0300,
         "  RequestTypeReservedBits = 0x40\n  Request = 0x01\n  Value = 0x0300\n",
         "WriteValue|RequestTypeReservedBits|40\nWriteValue|Request|01\nWriteValue|Value|0300\n"},
        {URB_FUNCTION_CONTROL_TRANSFER_EX, kVendorClass, 0xC0, 6, 0x0300, "  Request = 0x06\n  Value = 0x0300\n",
         "WriteValue|Request|06\nWriteValue|Value|0300\n"},
        {URB_FUNCTION_CONTROL_TRANSFER, kVendorClass, 0x21, 1, 0x0100, "  Request = 0x01\n  Value = 0x0100\n",
         "WriteValue|Request|01\nWriteValue|Value|0100\n"},
        {URB_FUNCTION_CONTROL_TRANSFER, 0, 0xA1, 3, 0, "  Request = 0x03\n", "WriteValue|Request|03\n"},
        {URB_FUNCTION_CONTROL_TRANSFER, kHid, 0x00, 1, 0x0001, "  Request = Clear_Feature (1)\n  Value = 0x0001\n",
         "WriteValue|Request|01\nAddAttribute|Name|Clear_Feature\n"},
        {URB_FUNCTION_CONTROL_TRANSFER_EX, kVendorClass, 0x80, 6, 0x0300,
         "  Request = Get_Descriptor (6)\n  DescriptorType.wValueHi = 0x03 (STRING)\n",
         "AddAttribute|Name|Get_Descriptor\n"},
    };
    for (const Case& c : cases) {
        // The request side: no status row, whose name would be an attribute too.
        const ClassRecord r =
            Control(c.function, c.stack, c.bmRequestType, c.bRequest, c.wValue, 0x0409, {}, LogTag::urbI);
        const std::string grid = Grid(r);
        EXPECT_TRUE(Has(grid, c.grid)) << c.grid << "\n---\n" << grid;
        const std::string calls = Markup(r);
        EXPECT_TRUE(Has(calls, c.markup)) << c.markup << "\n---\n" << calls;
        if ((c.bmRequestType & 0x60) != 0) {
            EXPECT_FALSE(Has(grid, "Clear_Feature")) << grid;
            EXPECT_FALSE(Has(grid, "Class Request")) << grid;
            EXPECT_FALSE(Has(calls, "AddAttribute|Name|")) << calls;
        }
    }
}

} // namespace
