// The record decoders' mark-up form: slots 1 to 5 around the kind's body as an XML document and as HTML
// rows, from records whose every header field is set.
#include <functional>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "RecordDecoderCases.h"
#include "app/decoders/framework/HtmlOutputImp.h"
#include "app/decoders/framework/IrpOutputer.h"
#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/reports/HtmlOutput.h"
#include "app/devices/reports/XmlOutput.h"
#include "tests/app/devices/MarkupRecords.h"
#include "tests/app/devices/ReportFileFixture.h"

namespace {

using decoder_test::Request;
using decoder_test::Words;

const std::string kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n";

using MakeDecoder = std::function<std::unique_ptr<LogOutputer>(OutputerImp&, const _LOGHDR*)>;

std::unique_ptr<LogOutputer> FromFactory(OutputerImp& out, const _LOGHDR* record) {
    return std::unique_ptr<LogOutputer>(LogOutputer::Create(&out, nullptr, record));
}

std::string Xml(const std::vector<uint8_t>& record, const MakeDecoder& make = FromFactory) {
    CXmlOutput writer;
    EXPECT_TRUE(writer.BeginDocument("Records"));
    XmlOutputImp out(&writer);
    std::unique_ptr<LogOutputer> decoder = make(out, reinterpret_cast<const _LOGHDR*>(record.data()));
    decoder->OutputMarkupRecord(0);
    EXPECT_TRUE(markup_test::SameRecordsAsParsed(writer.GetMarkup()));
    std::string text = markup_test::Text(writer.GetMarkup());
    return text.compare(0, kDeclaration.size(), kDeclaration) == 0 ? text.substr(kDeclaration.size()) : text;
}

std::string Row(const char* name, const char* value) {
    return std::string("<tr>\r\n<th align=\"center\" width=\"10%\"><font class=\"sml_black\">") + name +
           "</font></th>\r\n<td align=\"center\"><font class=\"sml_black\">" + value + "</font></td>\r\n</tr>\r\n";
}

class RecordMarkupTest : public markup_test::ReportFileTest {
protected:
    std::string Html(const std::vector<uint8_t>& record, const MakeDecoder& make = FromFactory) {
        {
            CHtmlOutput writer;
            EXPECT_TRUE(writer.OpenByName(PathOf("record.htm").c_str()));
            HtmlOutputImp out(&writer);
            std::unique_ptr<LogOutputer> decoder = make(out, reinterpret_cast<const _LOGHDR*>(record.data()));
            decoder->OutputMarkupRecord(2);
        }
        return Contents("record.htm");
    }
};

// Lines of a document as the mark-up writer ends them.
std::string Lines(std::initializer_list<std::string> lines) {
    std::string text;
    for (const std::string& line : lines)
        text += line + "\r\n";
    return text;
}

// The XML of a record made by Request(): the header fields a case varies, the fixed ones, then its body.
std::string RequestXml(const std::string& recordTag, const std::string& function, const char* dataSize,
                       const std::string& irpStatus, const std::string& body = "") {
    return Lines({"<Records>", recordTag, "<PerfCounter High=\"00000001\" Low=\"23456789\"/>", function,
                  std::string("<DataSize>") + dataSize + "</DataSize>", "<StackID>0102</StackID>",
                  "<DeviceObject Name=\"???\">ffffa80012340000</DeviceObject>", "<IrpAddr>ffffa80056780000</IrpAddr>",
                  irpStatus}) +
           body + Lines({"</Record>", "</Records>"});
}

// The HTML rows of the same, body excluded (the record decoders' bodies are grid items in this mode).
std::string RequestRows(const char* function, const char* dataSize, const char* irpStatus) {
    return Row("Function", function) + Row("DataSize", dataSize) + Row("StackID", "0102") +
           Row("DeviceObject", "ffffa80012340000") + Row("IrpAddr", "ffffa80056780000") + Row("IrpStatus", irpStatus);
}

TEST_F(RecordMarkupTest, UrbRecordKeepsItsKindTextUntrimmed) {
    const std::vector<uint8_t> record = Request(LogTag::urbC, 9, 0xC0000001).Part1(Words({0x80, 0})).Build();
    // The URB decoder names the function and shows what the 8 payload bytes hold of the bulk transfer.
    EXPECT_EQ(
        RequestXml("<Record Number=\"7\" Disposition=\"comp\" Type=\" URB\">",
                   "<Function Name=\"URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER\">0009</Function>", "00000008",
                   "<IrpStatus Name=\"STATUS_UNSUCCESSFUL\">c0000001</IrpStatus>",
                   Lines({"<URB-BulkInterruptTransfer>", "<UrbSize>0080</UrbSize>",
                          "<Truncated>8 of 42 payload bytes</Truncated>", "<USBDDeviceHandle>??\?</USBDDeviceHandle>",
                          "<UrbStatus Name=\"USBD_STATUS_SUCCESS\">00000000</UrbStatus>",
                          "<TransferFlags>??\?</TransferFlags>", "<TransferBufferLength>??\?</TransferBufferLength>",
                          "<PipeInformation>", "<InterfaceNumber>??\?</InterfaceNumber>",
                          "<EndpointAddress>??\?</EndpointAddress>", "<PipeType>??\?</PipeType>",
                          "<MaxPacketSizeLo>??\?</MaxPacketSizeLo>", "<PipeHandle>??\?</PipeHandle>",
                          "</PipeInformation>", "</URB-BulkInterruptTransfer>"})),
        Xml(record));
    EXPECT_EQ(RequestRows("0009", "00000008", "c0000001") + Row("Truncated", "8 of 42 payload bytes"), Html(record));
}

TEST_F(RecordMarkupTest, PowerGroupsInMarkup) {
    const std::string initiated = "<Record Number=\"7\" Disposition=\"init\" Type=\" PWR\">";
    const std::string pending = "<IrpStatus Name=\"STATUS_PENDING\">00000103</IrpStatus>";
    struct Case {
        const char* what;
        std::vector<uint8_t> record;
        std::string xml;
        std::string html; // the header's rows alone: the parameters are grid items in the HTML mode too
    } cases[] = {
        {"set power", Request(LogTag::powI, 2, 0x103).Part1(Words({1, 4, 0})).Build(),
         RequestXml(initiated, "<Function Name=\"IRP_MN_SET_POWER\">02</Function>", "0000000c", pending,
                    Lines({"<Power-State>", "<PowerType>Device</PowerType>",
                           "<DevicePowerState Description=\"Device Sleeping (D3)\">00000004</DevicePowerState>",
                           "<PowerAction Description=\"None\">00000000</PowerAction>", "</Power-State>"})),
         RequestRows("02", "0000000c", "00000103")},
        {"query power", Request(LogTag::powI, 3, 0x103).Part1(Words({0, 5, 7})).Build(),
         RequestXml(initiated, "<Function Name=\"IRP_MN_QUERY_POWER\">03</Function>", "0000000c", pending,
                    Lines({"<Power-State>", "<PowerType>System</PowerType>",
                           "<SystemPowerState Description=\"System Hibernate (S4)\">00000005</SystemPowerState>",
                           "<PowerAction Description=\"WarmEject\">00000007</PowerAction>", "</Power-State>"})),
         RequestRows("03", "0000000c", "00000103")},
        {"wait wake", Request(LogTag::powI, 0, 0x103).Part1(Words({3})).Build(),
         RequestXml(initiated, "<Function Name=\"IRP_MN_WAIT_WAKE\">00</Function>", "00000004", pending,
                    Lines({"<Power-WaitWake>",
                           "<SystemWakePowerState Description=\"System Sleeping (S2)\">00000003</SystemWakePowerState>",
                           "</Power-WaitWake>"})),
         RequestRows("00", "00000004", "00000103")},
        {"power sequence", Request(LogTag::powC, 1, 0).Part1(Words({1, 2, 3})).Build(),
         RequestXml("<Record Number=\"7\" Disposition=\"comp\" Type=\" PWR\">",
                    "<Function Name=\"IRP_MN_POWER_SEQUENCE\">01</Function>", "0000000c",
                    "<IrpStatus Name=\"STATUS_SUCCESS\">00000000</IrpStatus>",
                    Lines({"<Power-Sequence>", "<SequenceD1>00000001</SequenceD1>", "<SequenceD2>00000002</SequenceD2>",
                           "<SequenceD3>00000003</SequenceD3>", "</Power-Sequence>"})),
         RequestRows("01", "0000000c", "00000000")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.xml, Xml(c.record)) << c.what;
        EXPECT_EQ(c.html, Html(c.record)) << c.what;
    }
}

TEST_F(RecordMarkupTest, PnpAndLogStartInMarkup) {
    auto counterBelow32Bits = Request(LogTag::pnpR, 0x14, 0x103);
    counterBelow32Bits.TimeStamp(0x89ABCDEF);
    EXPECT_EQ(
        Lines({"<Records>", "<Record Number=\"7\" Disposition=\" ret\" Type=\" PNP*\">",
               "<PerfCounter High=\"00000000\" Low=\"89abcdef\"/>", "<Function Name=\"IRP_MN_PNP_14\">14</Function>",
               "<DataSize>00000000</DataSize>", "<StackID>0102</StackID>",
               "<DeviceObject Name=\"???\">ffffa80012340000</DeviceObject>", "<IrpAddr>ffffa80056780000</IrpAddr>",
               "<IrpStatus Name=\"STATUS_PENDING\">00000103</IrpStatus>", "</Record>", "</Records>"}),
        Xml(counterBelow32Bits.Build()));
    // An IRP decoder on the log's start record: no size or stack to tell.
    const MakeDecoder irp = [](OutputerImp& out, const _LOGHDR* record) {
        return std::unique_ptr<LogOutputer>(new IrpOutputer(&out, nullptr, record));
    };
    const std::vector<uint8_t> start = Request(LogTag::atsL, 0).Build();
    EXPECT_EQ(
        Lines({"<Records>", "<Record Number=\"7\" Disposition=\"init\" Type=\" BEGIN\">",
               "<PerfCounter High=\"00000001\" Low=\"23456789\"/>", "<Function Name=\"???\">00000000</Function>",
               "<DeviceObject Name=\"???\">ffffa80012340000</DeviceObject>", "<IrpAddr>ffffa80056780000</IrpAddr>",
               "<IrpStatus Name=\"STATUS_SUCCESS\">00000000</IrpStatus>", "</Record>", "</Records>"}),
        Xml(start, irp));
    EXPECT_EQ(Row("Function", "00000000") + Row("DeviceObject", "ffffa80012340000") +
                  Row("IrpAddr", "ffffa80056780000") + Row("IrpStatus", "00000000"),
              Html(start, irp));
}

} // namespace
