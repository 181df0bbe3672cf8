// Records whose decoding once went wrong, each shown as the Log Details pane shows it and written into an XML
// report that must parse back whole: a log's end after a failed request, power sequences that failed and
// succeeded, standard requests sent as CONTROL_TRANSFER_EX to a hub and to another device, a hub class
// packet to an interface, a class request whose buffer continues in further records, and a printer's device
// ID with a key that is no element name.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "RecordDecoderCases.h"
#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/reports/XmlOutput.h"
#include "tests/app/decoders/urb/ClassRequestRecords.h"
#include "tests/app/devices/MarkupRecords.h"
#include "tests/support/DecoderDocument.h"
#include "tests/support/LogDetailsPane.h"

namespace {

using classtest::ClassRecord;
using decoder_test::Request;
using decoder_test::Words;

constexpr USHORT kHub = 1;
constexpr USHORT kPrinter = 4;
constexpr USHORT kOtherClass = 5;

// A class-request record of the class decoders' tests, with "MORE" in its header when asked.
std::vector<uint8_t> Urb(const ClassRecord& r, bool more = false) {
    return tdl::test::RecordBuilder(r.tag)
        .Function(r.function)
        .Sequence(r.sequence)
        .StackId(r.stack)
        .More(more)
        .Part1(classtest::Payload(r))
        .Build();
}

ClassRecord ControlEx(USHORT stack, BYTE bmRequestType, BYTE bRequest, std::vector<uint8_t> data = {}) {
    ClassRecord r;
    r.stack = stack;
    r.bmRequestType = bmRequestType;
    r.bRequest = bRequest;
    r.wIndex = bmRequestType == 0xA3 ? 1 : 0;
    r.wLength = static_cast<USHORT>(data.size());
    r.data = std::move(data);
    return r;
}

// The record's mark-up form in an XML report, after the document has been parsed back and found to hold the
// very elements the edits made.
std::string Xml(const std::vector<uint8_t>& record, CUSBLog* document) {
    CXmlOutput writer;
    EXPECT_TRUE(writer.BeginDocument("Records"));
    XmlOutputImp xml(&writer);
    std::unique_ptr<LogOutputer> decoder(
        LogOutputer::Create(&xml, document, reinterpret_cast<const _LOGHDR*>(record.data())));
    decoder->OutputMarkupRecord(OUTPUT_MODE_XML);
    EXPECT_TRUE(markup_test::SameRecordsAsParsed(writer.GetMarkup()));
    return markup_test::Text(writer.GetMarkup());
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

TEST(DecoderCasesTest, EachCaseInTheGridAndInXml) {
    const tdl::test::DecoderDocument document;
    const std::vector<uint8_t> failedControl = Request(LogTag::ctlC, 0x222003, 0xC0000010).Build();
    const std::vector<uint8_t> deviceId = {0x00, 0x1C, 'M', 'F', 'G', ':', 'A', 'C', 'M', 'E', ';', 'C', 'O', 'M',
                                           'M',  'A',  'N', 'D', ' ', 'S', 'E', 'T', ':', 'P', 'C', 'L', ';'};
    ClassRecord getDeviceId = ControlEx(kPrinter, 0xA1, 0, deviceId);
    struct Case {
        const char* what;
        std::vector<uint8_t> record;
        const char* category;               // the grid's category that shows the case
        std::vector<std::string> grid;      // pieces of what the category shows
        std::vector<std::string> notInGrid; // and what it must not
        std::vector<std::string> xml;       // pieces of the XML report
        std::vector<std::string> notInXml;
    } cases[] = {
        {"the log's end after a failed request",
         Request(LogTag::dneL, 0, 0xC0000010).Build(),
         "Log Entry",
         {"Type = END"},
         {"Status"},
         {"Type=\" END\""},
         {"IrpStatus"}},
        {"a failed power sequence",
         Request(LogTag::powC, 1, 0xC0000001).Build(),
         "PWR",
         {"Power Request = IRP_MN_POWER_SEQUENCE\n"},
         {"Sequence", "Truncated"},
         {"Name=\"IRP_MN_POWER_SEQUENCE\""},
         {"Power-Sequence", "Truncated"}},
        {"a power sequence that succeeded",
         Request(LogTag::powC, 1, 0).Part1(Words({1, 2, 3})).Build(),
         "PWR",
         {"Power Sequence Parameters =\n  SequenceD1 = 0x00000001\n"},
         {"Truncated"},
         {"<SequenceD3>00000003</SequenceD3>"},
         {}},
        {"a power sequence that succeeded, cut short",
         Request(LogTag::powC, 1, 0).Part1(Words({1})).Build(),
         "PWR",
         {"Truncated = 4 of 12 payload bytes", "SequenceD2 = ???"},
         {},
         {"<SequenceD2>?\?\?</SequenceD2>"},
         {}},
        {"GET_STATUS by CONTROL_TRANSFER_EX to a hub",
         Urb(ControlEx(kHub, 0x80, 0, {0x01, 0x00})),
         "URB",
         {"URB Function = URB_FUNCTION_CONTROL_TRANSFER_EX (0x32)\n", "Request = Get_Status (0)"},
         {"Class", "HUB"},
         {"Name=\"URB_FUNCTION_CONTROL_TRANSFER_EX\"", "<URB-ControlTransferEx>"},
         {"ClassRequest"}},
        {"GET_STATUS by CONTROL_TRANSFER_EX to another device",
         Urb(ControlEx(kOtherClass, 0x80, 0, {0x01, 0x00})),
         "URB",
         {"URB Function = URB_FUNCTION_CONTROL_TRANSFER_EX (0x32)\n"},
         {"Class"},
         {"<URB-ControlTransferEx>"},
         {"ClassRequest"}},
        {"a hub class request keeps its title",
         Urb(ControlEx(kHub, 0xA3, 0, {0, 1, 0, 0})),
         "URB",
         {"Class = HUB\n", "Class Request = GetPortStatus (0x00)\n"},
         {},
         {"ClassRequest=\"GetPortStatus\""},
         {}},
        {"a hub class packet to an interface",
         Urb(ControlEx(kHub, 0x21, 3)),
         "URB",
         {"Setup Packet =\n  RequestTypeReservedBits = 0x21\n  Request = 0x03\n", "Pipe Information"},
         {"Hub Class"},
         {"<URB-ControlTransferEx>", "<PipeInformation>"},
         {"URB-HUBClassRequest"}},
        {"a hub class request whose buffer continues",
         Urb(ControlEx(kHub, 0xA3, 0, {0, 1, 0, 0}), true),
         "URB",
         {"Starting Offset = 0x00000000\n"},
         {},
         {"<StartingOffset>00000000</StartingOffset>"},
         {}},
        {"a printer's device ID",
         Urb(getDeviceId),
         "URB",
         {"MFG = ACME\n", "COMMAND SET = PCL\n"},
         {},
         {"<MFG>ACME</MFG>", "<COMMAND_SET Key=\"COMMAND SET\">PCL</COMMAND_SET>"},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        tdl::test::LogDetailsPane pane;
        // The record before it fills the pane's items first, as the list's selection moves on.
        ASSERT_TRUE(pane.ShowRecord(document.Get(), failedControl));
        ASSERT_TRUE(pane.ShowRecord(document.Get(), c.record));
        const std::string grid = pane.Shown(c.category);
        for (const std::string& piece : c.grid)
            EXPECT_TRUE(Has(grid, piece)) << piece << "\n---\n" << grid;
        for (const std::string& piece : c.notInGrid)
            EXPECT_FALSE(Has(grid, piece)) << piece << "\n---\n" << grid;
        const std::string xml = Xml(c.record, document.Get());
        for (const std::string& piece : c.xml)
            EXPECT_TRUE(Has(xml, piece)) << piece << "\n---\n" << xml;
        for (const std::string& piece : c.notInXml)
            EXPECT_FALSE(Has(xml, piece)) << piece << "\n---\n" << xml;
    }
}

} // namespace
