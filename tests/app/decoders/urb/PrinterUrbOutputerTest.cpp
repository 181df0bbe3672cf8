// The printer decoder on built class-request records: the three printer class requests under their names
// in both record layouts, the port status bits, and the IEEE 1284 device ID split into keys, including IDs
// cut short and a control-ex whose count of carried bytes is larger than its payload. Records and data are
// exact-size, so AddressSanitizer catches a read past them.
#include "app/decoders/urb/PrinterUrbOutputer.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/reports/Markup.h"
#include "app/devices/reports/XmlOutput.h"
#include "tests/app/decoders/urb/ClassRequestRecords.h"
#include "tests/support/RecordingDataBar.h"

namespace {

using classtest::Build;
using classtest::Calls;
using classtest::ClassRecord;
using classtest::Has;
using classtest::Shown;

constexpr USHORT kPrinter = 4;

// A device ID as GET_DEVICE_ID returns it: the length field (most significant byte first), then the text.
std::vector<uint8_t> DeviceId(std::string_view text, USHORT idLength = 0) {
    const USHORT length = idLength ? idLength : static_cast<USHORT>(text.size() + 2);
    std::vector<uint8_t> data = {static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length)};
    data.insert(data.end(), text.begin(), text.end());
    return data;
}

class PrinterUrbOutputerTest : public classtest::ClassDecoderTest {
protected:
    static ClassRecord Request(USHORT function, BYTE bRequest, USHORT wIndex, std::vector<uint8_t> data = {}) {
        ClassRecord r;
        r.stack = kPrinter;
        r.function = function;
        r.transferFlags = 1;
        if (function == URB_FUNCTION_CONTROL_TRANSFER_EX)
            r.bmRequestType = 0xA1;
        r.bRequest = bRequest;
        r.wIndex = wIndex;
        r.data = std::move(data);
        return r;
    }

    // The rows OutputDeviceId writes for the data, in the grid form.
    static std::string IdRows(const std::vector<uint8_t>& data) {
        const auto record = Build(Request(URB_FUNCTION_CLASS_INTERFACE, 0, 0));
        tdl::test::RecordingOutputImp imp;
        PrinterUrbOutputer decoder(&imp, nullptr, classtest::Header(record));
        // An exact-size copy: the split must stop at the data's end.
        const std::unique_ptr<uint8_t[]> copy(new uint8_t[data.size()]);
        std::copy(data.begin(), data.end(), copy.get());
        decoder.OutputDeviceId(OUTPUT_MODE_GRID, static_cast<ULONG>(data.size()), copy.get());
        return imp.Text();
    }
};

// One row per "key:value;" pair; a last pair without its ";" still counts, text without a colon does not;
// a ":" inside a value belongs to it and a ";" before the first ":" to the key.
TEST_F(PrinterUrbOutputerTest, DeviceIdKeysOneRowPerPair) {
    const std::string open =
        "BeginValueGroup|Device ID|\nAddItem|IdLength|0x0011|-\nBeginValueGroup|1284 Device ID Keys|\n";
    const std::string close = "ExpandCurrent\nEndGroup\nExpandCurrent\nEndGroup\n";
    EXPECT_EQ(open + "AddItem|MFG|ABC|-\nAddItem|MDL|X1|-\n" + close, IdRows(DeviceId("MFG:ABC;MDL:X1;")));
    struct Case {
        const char* text;
        const char* rows;
    };
    const Case cases[] = {
        {"MFG:ABC;MDL:X1", "AddItem|MFG|ABC|-\nAddItem|MDL|X1|-\n"},
        {"MFG:ABC;MDL:", "AddItem|MFG|ABC|-\nAddItem|MDL||-\n"},
        {"MFG:ABC;XYZ", "AddItem|MFG|ABC|-\n"},
        {"A;B:C", "AddItem|A;B|C|-\n"},
        {" COMMAND SET : PCL, PJL ;URL:http://h/x;", "AddItem|COMMAND SET|PCL, PJL|-\nAddItem|URL|http://h/x|-\n"},
        {"", ""},
        {":X;MFG:A;", ""},
        {"MFG:A;;MDL:B", "AddItem|MFG|A|-\nAddItem|;MDL|B|-\n"},
    };
    for (const Case& c : cases) {
        const std::string rows = IdRows(DeviceId(c.text));
        const size_t begin = rows.find("Keys|\n");
        ASSERT_NE(std::string::npos, begin) << rows;
        EXPECT_EQ(std::string(c.rows) + close, rows.substr(begin + 6)) << '"' << c.text << '"';
    }
}

// The length field is only shown; one byte of it is too short, none shows nothing.
TEST_F(PrinterUrbOutputerTest, DeviceIdCutShort) {
    EXPECT_EQ("", IdRows({}));
    const std::string one = IdRows({0x00});
    EXPECT_TRUE(Has(one, "Truncated|1 of 2 bytes")) << one;
    EXPECT_FALSE(Has(one, "Device ID")) << one;
    const std::string lying = IdRows(DeviceId("MFG:A;", 0x0400));
    EXPECT_TRUE(Has(lying, "AddItem|IdLength|0x0400|-\nBeginValueGroup|1284 Device ID Keys|\nAddItem|MFG|A|-\n"))
        << lying;
}

TEST_F(PrinterUrbOutputerTest, RequestsUnderTheirNames) {
    struct Case {
        ClassRecord record;
        const char* grid;
        const char* section;
    };
    const Case cases[] = {
        {Request(URB_FUNCTION_CLASS_INTERFACE, 0, 0x0102),
         "Setup Packet = Printer Class request from interface\n  bmRequestType = 0xa1 (calculated)\n"
         "  Request = 0x00 (GET_DEVICE_ID)\n  Config.wValue = 0x0000\n  Interface.wIndexHi = 0x01\n"
         "  AlternateSetting.wIndexLo = 0x02\n  Length = 0x00000000\n",
         "BeginSection|PrinterGetDeviceId|Description|Printer Class request from interface\n"},
        {Request(URB_FUNCTION_CLASS_INTERFACE, 1, 0x0001),
         "  Request = 0x01 (GET_PORT_STATUS)\n  wValue = 0x0000\n  Interface.wIndex = 0x0001\n",
         "BeginSection|PrinterGetPortStatus|"},
        {Request(URB_FUNCTION_CLASS_OTHER, 2, 0x0001),
         "Setup Packet = Printer Class request from other\n  bmRequestType = 0xa3 (calculated)\n"
         "  Request = 0x02 (SOFT_RESET)\n  wValue = 0x0000\n  Interface.wIndex = 0x0001\n",
         "BeginSection|PrinterSoftReset|"},
        {Request(URB_FUNCTION_CLASS_INTERFACE, 7, 0x0001),
         "  Request = 0x07 (Unknown)\n  wValue = 0x0000\n  wIndex = 0x0001\n", "BeginSection|PrinterUnknown|"},
        {Request(URB_FUNCTION_CONTROL_TRANSFER_EX, 2, 0x0000),
         "TransferBufferLength = 0x00000000\nSetup Packet = Printer Class request from interface\n"
         "  bmRequestType = 0xa1\n  Request = 0x02 (SOFT_RESET)\n",
         "BeginSection|PrinterSoftReset|"},
    };
    for (const Case& c : cases) {
        const std::string grid = Grid(c.record);
        EXPECT_TRUE(Has(grid, c.grid)) << c.grid << "\n---\n" << grid;
        const std::string calls = Markup(c.record);
        EXPECT_TRUE(Has(calls, c.section)) << c.section << "\n---\n" << calls;
        EXPECT_TRUE(tdl::test::MarkupBalanced(calls)) << calls;
    }
    EXPECT_TRUE(Has(Markup(Request(URB_FUNCTION_CLASS_OTHER, 2, 0)), "BeginElement|URB-PrinterClassRequest\n"));
    EXPECT_TRUE(Has(Markup(Request(URB_FUNCTION_CLASS_INTERFACE, 2, 0)), "BeginElement|URB-PrinterClassInterface\n"));
}

// A control-ex is a printer request when its type is class or reserved and it goes to an interface or
// "other"; to the device or an endpoint (the printer class has no request for them) it is the plain
// decoder's, shown whole.
TEST_F(PrinterUrbOutputerTest, ControlExByTypeAndRecipient) {
    ClassRecord r = Request(URB_FUNCTION_CONTROL_TRANSFER_EX, 2, 0);
    r.wValue = 0x1234;
    for (BYTE type : {BYTE{0x61}, BYTE{0x23}}) {
        r.bmRequestType = type;
        EXPECT_TRUE(Has(Markup(r), "BeginElement|URB-PrinterClassInterface\n")) << +type;
    }
    for (BYTE type : {BYTE{0x41}, BYTE{0x20}, BYTE{0x22}, BYTE{0x60}}) {
        SCOPED_TRACE(type);
        r.bmRequestType = type;
        const std::string markup = Markup(r);
        EXPECT_TRUE(Has(markup, "BeginElement|URB-ControlTransferEx\n")) << markup;
        EXPECT_FALSE(Has(markup, "URB-PrinterClass")) << markup;
        const std::string grid = Grid(r);
        EXPECT_TRUE(Has(grid, "  Request = 0x02\n  Value = 0x1234\n")) << grid;
    }
}

// GET_DEVICE_ID's completion: the buffer inside the setup packet's group, then the device ID at the same
// level as that group. A request to "other" is not split into keys; a request side or a failure shows none.
TEST_F(PrinterUrbOutputerTest, DeviceIdAfterTheSetupPacket) {
    const std::vector<uint8_t> id = DeviceId("MFG:ACME;MDL:Laser 9;CMD:PCL;");
    tdl::test::RecordingDataBar bar;
    const std::string grid = Grid(Request(URB_FUNCTION_CLASS_INTERFACE, 0, 0, id));
    EXPECT_TRUE(Has(grid, "  Length = 0x0000001f\n  TransferBuffer (In) =\nDevice ID =\n  IdLength = 0x001f\n"
                          "  1284 Device ID Keys =\n    MFG = ACME\n    MDL = Laser 9\n    CMD = PCL\n"))
        << grid;
    EXPECT_TRUE(Has(bar.Title(), "  Class Device TransferBuffer (Input) - record #42")) << bar.Title();
    EXPECT_EQ(id, bar.Bytes());
    const std::string calls = Markup(Request(URB_FUNCTION_CLASS_INTERFACE, 0, 0, id));
    EXPECT_TRUE(Has(calls, "WriteValue|DeviceID|001f4d46473a")) << calls;
    EXPECT_TRUE(Has(calls, "EndElement\nEndGroup\nBeginElement|DeviceId\nWriteValue|IdLength|001f\n")) << calls;

    const std::string other = Grid(Request(URB_FUNCTION_CLASS_OTHER, 0, 0, id));
    EXPECT_TRUE(Has(other, "  TransferBuffer (In) =\n")) << other;
    EXPECT_FALSE(Has(other, "Device ID")) << other;

    ClassRecord request = Request(URB_FUNCTION_CLASS_INTERFACE, 0, 0, id);
    request.tag = LogTag::urbI;
    ClassRecord failed = Request(URB_FUNCTION_CLASS_INTERFACE, 0, 0, id);
    failed.status = 0xC0000004;
    for (const ClassRecord& r : {request, failed}) {
        const std::string shown = Grid(r);
        EXPECT_FALSE(Has(shown, "TransferBuffer")) << shown;
        EXPECT_FALSE(Has(shown, "Device ID")) << shown;
    }
}

// A control-ex's device ID ends at the smaller of its count of carried bytes and the bytes it holds.
TEST_F(PrinterUrbOutputerTest, ControlExDeviceIdEndsAtTheCapturedBytes) {
    ClassRecord r = Request(URB_FUNCTION_CONTROL_TRANSFER_EX, 0, 0, DeviceId("MFG:ABC;MDL:X1;"));
    r.captured = 0x10000;
    std::string grid = Grid(r);
    EXPECT_TRUE(Has(grid, "    MFG = ABC\n    MDL = X1\n")) << grid;
    r.captured = 10; // "MFG:ABC;" after the length field
    grid = Grid(r);
    EXPECT_TRUE(Has(grid, "    MFG = ABC\n")) << grid;
    EXPECT_FALSE(Has(grid, "MDL")) << grid;
    r.captured = 1;
    grid = Grid(r);
    EXPECT_TRUE(Has(grid, "Truncated = 1 of 2 bytes")) << grid;
    EXPECT_FALSE(Has(grid, "Device ID")) << grid;
    r.captured = 0;
    EXPECT_FALSE(Has(Grid(r), "Device ID"));
}

// The port status byte bit by bit, when exactly one byte came back.
TEST_F(PrinterUrbOutputerTest, PortStatusBits) {
    EXPECT_TRUE(Has(Grid(Request(URB_FUNCTION_CLASS_INTERFACE, 1, 0, {0x18})),
                    "  Length = 0x00000001\n  Data =\n    PortStatus = 0x18\n    Port Status Bits =\n"
                    "      Reserved.PortStatus.7-6 = 0x00\n      PaperEmpty.PortStatus.5 = 0\n"
                    "      Select.PortStatus.4 = 1\n      NotError.PortStatus.3 = 1\n"
                    "      Reserved.PortStatus.2-0 = 0x00\n"));
    EXPECT_TRUE(Has(Markup(Request(URB_FUNCTION_CONTROL_TRANSFER_EX, 1, 0, {0xE7})),
                    "WriteValue|PortStatus|e7\nBeginElement|PortStatusBits\nWriteValue|Reserved.PortStatus.7-6|03\n"
                    "WriteValue|PaperEmpty.PortStatus.5|1\nWriteValue|Select.PortStatus.4|0\n"
                    "WriteValue|NotError.PortStatus.3|0\nWriteValue|Reserved.PortStatus.2-0|07\n"));
    EXPECT_FALSE(Has(Grid(Request(URB_FUNCTION_CLASS_INTERFACE, 1, 0, {0x18, 0x00})), "PortStatus"));
}

// Keys are the printer's text: in a device report a key that is no element name is written as one, with its
// own text in a "Key" attribute, and the report stays well-formed XML with every key in it.
TEST_F(PrinterUrbOutputerTest, DeviceIdKeysKeepTheReportWellFormed) {
    const auto record =
        Build(Request(URB_FUNCTION_CLASS_INTERFACE, 0, 0, DeviceId("MFG:ACME;COMMAND SET:PCL;A<B:1;A;B:C;MDL:X & Y;")));
    CXmlOutput writer;
    ASSERT_TRUE(writer.BeginDocument("Records"));
    XmlOutputImp xml(&writer);
    std::unique_ptr<LogOutputer> decoder(LogOutputer::Create(&xml, m_document.Get(), classtest::Header(record)));
    ASSERT_NE(nullptr, decoder);
    decoder->OutputMarkupRecord(OUTPUT_MODE_XML);
    const CString document = writer.GetMarkup().GetDocument();
    CMarkup parsed;
    EXPECT_TRUE(parsed.SetDocument(document)) << document.GetString();
    EXPECT_EQ(writer.GetMarkup().GetPositionCount(), parsed.GetPositionCount());
    EXPECT_TRUE(Has(document.GetString(), "<MFG>ACME</MFG>")) << document.GetString();
    EXPECT_TRUE(Has(document.GetString(), "<MDL>X &amp; Y</MDL>")) << document.GetString();
    EXPECT_TRUE(Has(document.GetString(), "<COMMAND_SET Key=\"COMMAND SET\">PCL</COMMAND_SET>"))
        << document.GetString();
    EXPECT_TRUE(Has(document.GetString(), "<A_B Key=\"A&lt;B\">1</A_B>")) << document.GetString();
    EXPECT_TRUE(Has(document.GetString(), "<A_B Key=\"A;B\">C</A_B>")) << document.GetString();
    // A key that would begin with what no name may begin with is given a "_" in front.
    const std::string digits = Markup(Request(URB_FUNCTION_CLASS_INTERFACE, 0, 0, DeviceId("1284.ID:x;")));
    EXPECT_TRUE(Has(digits, "WriteValue|_1284.ID|x\nAddAttribute|Key|1284.ID\n")) << digits;
}

} // namespace
