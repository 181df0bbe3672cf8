// The HID class IOCTL decoder: what the Log Details pane shows per code and side, what goes to the data bar,
// and the XML report's form.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "IoctlTestRecords.h"
#include "tests/support/DecoderRuns.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordingDataBar.h"

namespace {

using namespace ioctl_test;
using LogTag::hidC;
using LogTag::hidI;

constexpr ULONG64 kAddress = 0xFFFFA80011110000;
constexpr ULONG kFailed = 0xC0000001;

struct GridCase {
    const char* what;
    std::vector<uint8_t> record;
    const char* shown; // the "HID" category below its "HID Ioctl" row
};

std::string ShownBody(const std::vector<uint8_t>& record) {
    return ioctl_test::ShownBody(record, "HID");
}

TEST(HidIoctlOutputerTest, ValueAndEmptyCodesPerSide) {
    const GridCase cases[] = {
        {"get driver config, request", Record(hidI, 0xB0190, 0x103, {}), "Get HID_DRIVER_CONFIG\n"},
        {"get driver config", Record(hidC, 0xB0190, 0, Words({8, 32})),
         "Get HID_DRIVER_CONFIG\n  Size = 0x00000008\n  RingBufferSize (in reports) = 0x00000020\n"},
        {"get driver config, failed", Record(hidC, 0xB0190, 0xC0000010, {}), "Get HID_DRIVER_CONFIG\n"},
        {"set driver config", Record(hidI, 0xB0194, 0x103, Words({8, 64})),
         "Set HID_DRIVER_CONFIG\n  Size = 0x00000008\n  RingBufferSize (in reports) = 0x00000040\n"},
        {"set driver config, completion", Record(hidC, 0xB0194, 0, {}), "Set HID_DRIVER_CONFIG\n"},
        {"get poll frequency", Record(hidC, 0xB0198, 0, Words({10})),
         "Get Polling Frequency\n  PollingFrequency (ms.) = 0x0000000a\n"},
        {"set poll frequency", Record(hidI, 0xB019C, 0x103, Words({0})),
         "Set Polling Frequency\n  PollingFrequency (ms.) = 0x00000000\n"},
        {"set poll frequency, completion", Record(hidC, 0xB019C, 0, {}), "Set Polling Frequency\n"},
        {"get input buffers", Record(hidC, 0xB01A0, 0, Words({32})),
         "Get Number of Input Buffers\n  Number Input Buffers = 0x00000020\n"},
        {"set input buffers, request", Record(hidI, 0xB01A4, 0x103, Words({64})),
         "Set Number of Input Buffers\n  Number Input Buffers = 0x00000040\n"},
        {"get input buffers, request", Record(hidI, 0xB01A0, 0x103, {}), "Get Number of Input Buffers\n"},
        {"flush queue", Record(hidI, 0xB0197, 0x103, {}), "Flush Queue\n"},
        {"genre descriptor", Record(hidC, 0xB01E6, 0, {}), "Get MS Genre Descriptor\n"},
        {"enable secure read", Record(hidI, 0xB020B, 0x103, {}), "Enable Secure Read\n"},
        {"disable secure read", Record(hidC, 0xB020F, 0, {}), "Disable Secure Read\n"},
    };
    for (const GridCase& c : cases)
        EXPECT_EQ(c.shown, ShownBody(c.record)) << c.what;
}

TEST(HidIoctlOutputerTest, BlockCodesPerSide) {
    const std::vector<uint8_t> feature = {0x05, 0x01, 0x02};
    const GridCase cases[] = {
        {"hardware ID, request", Record(hidI, 0xB019E, 0x103, Block(256, 0, kAddress)),
         "Get Hardware ID\n  Input Parameters =\n    OutputBufferLength = 0x00000100\n"
         "    MdlAddress = 0xffffa80011110000\n"},
        {"hardware ID, failed: the block alone", Record(hidC, 0xB019E, kFailed, Block(256, 0, kAddress)),
         "Get Hardware ID\n  Output Parameters =\n    OutputBufferLength = 0x00000100\n"
         "    IoStatus.Information = 0x00000000\n    MdlAddress = 0xffffa80011110000\n"},
        {"product string", Record(hidC, 0xB01BE, 0, Join({Block(256, 10, kAddress), Wide("Keyb")})),
         "Get Product String\n  Output Parameters =\n    OutputBufferLength = 0x00000100\n"
         "    IoStatus.Information = 0x0000000a\n    MdlAddress = 0xffffa80011110000\n"
         "  Product String =\n    BufferLength = 0x0000000a\n    stringBuffer =\n"},
        {"feature report ID 0x05", Record(hidI, 0xB0192, 0x103, Join({Block(3, 5, kAddress), feature})),
         "Get Feature Report\n  Input Parameters =\n    OutputBufferLength = 0x00000003\n"
         "    MdlAddress = 0xffffa80011110000\n    reportId = 0x05\n"
         "  HID Feature Report =\n    BufferLength = 0x00000003\n    reportBuffer =\n"},
        {"feature, 16 bytes", Record(hidC, 0xB0192, 0, Block(3, 5, kAddress)),
         "Get Feature Report\n  Output Parameters =\n    OutputBufferLength = 0x00000003\n"
         "    MdlAddress = 0xffffa80011110000\n    reportId = 0x05\n"
         "  HID Feature Report =\n    BufferLength = 0x00000000\n"},
        {"input report ID 0x1234", Record(hidI, 0xB01A2, 0x103, Block(8, 0x1234, kAddress)),
         "Get Input Report\n  Input Parameters =\n    OutputBufferLength = 0x00000008\n"
         "    MdlAddress = 0xffffa80011110000\n    reportId = 0x1234\n"},
        {"input report", Record(hidC, 0xB01A2, 0, Join({Block(2, 1, kAddress), {0x01, 0x7F}})),
         "Get Input Report\n  Output Parameters =\n    OutputBufferLength = 0x00000002\n"
         "    MdlAddress = 0xffffa80011110000\n    reportId = 0x01\n"
         "  HID Input Report =\n    BufferLength = 0x00000002\n    reportBuffer =\n"},
        {"set feature", Record(hidI, 0xB0191, 0x103, Join({Block(3, 5, kAddress), feature})),
         "Set Feature Report\n  Input Parameters =\n    InputBufferLength = 0x00000003\n"
         "    SystemBuffer = 0xffffa80011110000\n    reportId = 0x05\n"
         "  HID Feature Report =\n    BufferLength = 0x00000003\n    reportBuffer =\n"},
        {"set feature, completion", Record(hidC, 0xB0191, 0, {}), "Set Feature Report\n"},
        {"set output report", Record(hidI, 0xB0195, 0x103, Join({Block(2, 0, kAddress), {0x00, 0x02}})),
         "Set Output Report\n  Input Parameters =\n    InputBufferLength = 0x00000002\n"
         "    SystemBuffer = 0xffffa80011110000\n    reportId = 0x00\n"
         "  HID Output Report =\n    BufferLength = 0x00000002\n    reportBuffer =\n"},
        {"collection information, 20 bytes", Record(hidC, 0xB01A8, 0, Join({Block(12, 4, kAddress), Words({0x2A})})),
         "Get Collection Information\n  Output Parameters =\n    OutputBufferLength = 0x0000000c\n"
         "    IoStatus.Information = 0x00000004\n    SystemBufferAddress = 0xffffa80011110000\n"
         "  HID_COLLECTION_INFORMATION =\n"},
        {"collection information",
         Record(hidC, 0xB01A8, 0, Join({Block(12, 12, kAddress), Words({0x2A8, 0x046D0001, 0x0110C31C})})),
         "Get Collection Information\n  Output Parameters =\n    OutputBufferLength = 0x0000000c\n"
         "    IoStatus.Information = 0x0000000c\n    SystemBufferAddress = 0xffffa80011110000\n"
         "  HID_COLLECTION_INFORMATION =\n    DescriptorSize = 0x000002a8 \"bytes of preparsed data\"\n"
         "    Polled = TRUE\n    Reserved1 = 0x00\n    VendorID = 0x046d\n    ProductID = 0xc31c\n"
         "    VersionNumber = 0x0110\n"},
        {"collection descriptor", Record(hidC, 0xB0193, 0, Join({Block(4, 4, kAddress), Words({0x12345678})})),
         "Get Collection Descriptor\n  Output Parameters =\n    OutputBufferLength = 0x00000004\n"
         "    IoStatus.Information = 0x00000004\n    UserBufferAddress = 0xffffa80011110000\n"
         "  HIDP_PREPARSED_DATA =\n    PreparsedDataAddress = 0xffffa80011110000\n    BufferLength = 0x00000004\n"
         "    UserBuffer =\n"},
        {"collection descriptor, request", Record(hidI, 0xB0193, 0x103, Block(4, 0, kAddress)),
         "Get Collection Descriptor\n  Input Parameters =\n    OutputBufferLength = 0x00000004\n"
         "    UserBufferAddress = 0xffffa80011110000\n"},
        {"physical descriptor", Record(hidC, 0xB019A, 0, Join({Block(2, 2, kAddress), {0x01, 0x02}})),
         "Get Physical Descriptor\n  Output Parameters =\n    OutputBufferLength = 0x00000002\n"
         "    IoStatus.Information = 0x00000002\n    MdlAddress = 0xffffa80011110000\n"
         "  HID Physical Descriptor =\n    BufferLength = 0x00000002\n    Descriptor =\n"},
        {"empty payload: the category alone", Record(hidC, 0xB01BA, 0, {}), "Get Manufacturer String\n"},
    };
    for (const GridCase& c : cases)
        EXPECT_EQ(c.shown, ShownBody(c.record)) << c.what;
}

TEST(HidIoctlOutputerTest, IndexedStrings) {
    constexpr ULONG64 kMdl = 0xFFFFA80022220000;
    const char* kOutputBlock = "Get Indexed String\n  Output Parameters =\n    InputBufferLength = 0x00000004\n"
                               "    SystemBuffer (input) = 0xffffa80011110000\n    OutputBufferLength = 0x00000040\n"
                               "    MdlAddress (output) = 0xffffa80022220000\n";
    const GridCase cases[] = {
        {"string 1", Record(hidC, 0xB01E2, 0, Join({IndexedBlock(64, 4, kMdl, kAddress, 1), Wide("Ab")})),
         "    index = 0x00000001\n  Indexed String =\n    BufferLength = 0x00000006\n    stringBuffer =\n"},
        {"language IDs",
         Record(hidC, 0xB01E2, 0, Join({IndexedBlock(64, 4, kMdl, kAddress, 0), Words({0x04070409, 0})})),
         "    index = 0x00000000\n  Indexed String =\n    BufferLength = 0x00000008\n    LANGID.1 = 0x0409\n"
         "    LANGID.2 = 0x0407\n"},
        {"no language ID", Record(hidC, 0xB01E2, 0, IndexedBlock(64, 4, kMdl, kAddress, 0)),
         "    index = 0x00000000\n  Indexed String =\n    BufferLength = 0x00000000\n"},
        {"a first ID of zero, and half of one",
         Record(hidC, 0xB01E2, 0, Join({IndexedBlock(64, 4, kMdl, kAddress, 0), {0, 0, 9}})),
         "    index = 0x00000000\n  Indexed String =\n    BufferLength = 0x00000003\n    LANGID.1 = 0x0000\n"},
        {"failed", Record(hidC, 0xB01E2, kFailed, IndexedBlock(64, 4, kMdl, kAddress, 1)), "    index = 0x00000001\n"},
    };
    for (const GridCase& c : cases)
        EXPECT_EQ(kOutputBlock + std::string(c.shown), ShownBody(c.record)) << c.what;
}

TEST(HidIoctlOutputerTest, DataSectionsReachTheDataBar) {
    const std::vector<uint8_t> report = {0x05, 0x01, 0x02};
    const std::vector<uint8_t> text = Wide("Keyb");
    const struct {
        std::vector<uint8_t> record;
        const char* caption;
        std::vector<uint8_t> bytes;
    } cases[] = {
        {Record(hidI, 0xB0192, 0x103, Join({Block(3, 5, kAddress), report})), "HID Feature Report (Input)", report},
        {Record(hidC, 0xB0192, 0, Join({Block(3, 5, kAddress), report})), "HID Feature Report (Output)", report},
        {Record(hidI, 0xB0191, 0x103, Join({Block(3, 5, kAddress), report})), "HID Feature Report (Input)", report},
        {Record(hidC, 0xB01A2, 0, Join({Block(3, 5, kAddress), report})), "HID Input Report (Output)", report},
        {Record(hidI, 0xB0195, 0x103, Join({Block(3, 5, kAddress), report})), "HID Output Report (Input)", report},
        {Record(hidC, 0xB0193, 0, Join({Block(3, 3, kAddress), report})), "HID Preparsed Data (Output)", report},
        {Record(hidC, 0xB019A, 0, Join({Block(3, 3, kAddress), report})), "HID Physical Descriptor (Output)", report},
        {Record(hidC, 0xB019E, 0, Join({Block(10, 10, kAddress), text})), "HardwareID (Output)", text},
        {Record(hidC, 0xB01BA, 0, Join({Block(10, 10, kAddress), text})), "Manufacturer (Output)", text},
        {Record(hidC, 0xB01BE, 0, Join({Block(10, 10, kAddress), text})), "Product (Output)", text},
        {Record(hidC, 0xB01C2, 0, Join({Block(10, 10, kAddress), text})), "SerialNumber (Output)", text},
        {Record(hidC, 0xB01E2, 0, Join({IndexedBlock(64, 4, 0, kAddress, 3), text})), "String_3 (Output)", text},
    };
    for (const auto& c : cases) {
        {
            tdl::test::RecordingDataBar bar;
            tdl::test::LogDetailsPane pane;
            ASSERT_TRUE(pane.ShowRecord(nullptr, c.record));
            EXPECT_EQ(1, bar.Buffers()) << c.caption;
            const std::string count = std::to_string(c.bytes.size());
            EXPECT_EQ("  " + std::string(c.caption) + " - record #7                   (" + count + " of " + count +
                          " bytes)",
                      bar.Title());
            EXPECT_EQ(c.bytes, bar.Bytes()) << c.caption;
        }
        for (int mode : {OUTPUT_MODE_XML, OUTPUT_MODE_HTML}) {
            tdl::test::RecordingDataBar bar;
            tdl::test::BodyCalls(nullptr, c.record, mode);
            EXPECT_EQ(0, bar.Buffers()) << c.caption << " mode " << mode;
        }
    }
    // Nothing behind the block, or a language-ID list: nothing for the data bar.
    for (const auto& record : {Record(hidC, 0xB0192, 0, Block(3, 5, kAddress)),
                               Record(hidC, 0xB01E2, 0, Join({IndexedBlock(64, 4, 0, kAddress, 0), Words({0x0409})})),
                               Record(hidC, 0xB01E2, 0, IndexedBlock(64, 4, 0, kAddress, 2))}) {
        tdl::test::RecordingDataBar bar;
        tdl::test::LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(nullptr, record));
        EXPECT_EQ(0, bar.Buffers());
    }
}

TEST(HidIoctlOutputerTest, MarkupForm) {
    const struct {
        std::vector<uint8_t> record;
        const char* body;
    } cases[] = {
        {Record(hidC, 0xB0192, 0, Join({Block(3, 5, kAddress), {0x05, 0x01, 0x02}})),
         "<HIDIoctl-OutputParameters><OutputBufferLength>00000003</OutputBufferLength>"
         "<MdlAddress>ffffa80011110000</MdlAddress><reportId>05</reportId></HIDIoctl-OutputParameters>"
         "<HIDIoctl-GetReport><Report Type=\"Feature\">050102</Report></HIDIoctl-GetReport>"},
        {Record(hidI, 0xB0195, 0x103, Join({Block(2, 0, kAddress), {0x00, 0x02}})),
         "<HIDIoctl-InputParameters><InputBufferLength>00000002</InputBufferLength>"
         "<SystemBuffer>ffffa80011110000</SystemBuffer><reportId>00</reportId></HIDIoctl-InputParameters>"
         "<HIDIoctl-SetReport><BufferLength>00000002</BufferLength><Report Type=\"Output\">0002</Report>"
         "</HIDIoctl-SetReport>"},
        {Record(hidI, 0xB0194, 0x103, Words({8, 64})),
         "<HIDIoctl-DriverConfig><StructSize>00000008</StructSize>"
         "<RingBufferSize Units=\"reports\">00000040</RingBufferSize></HIDIoctl-DriverConfig>"},
        {Record(hidC, 0xB0194, 0, {}), ""},
        {Record(hidC, 0xB0197, 0, {}), ""},
        {Record(hidC, 0xB0198, 0, Words({10})),
         "<HIDIoctl-PollingFreq><PollingFrequency Units=\"ms.\">0000000a</PollingFrequency></HIDIoctl-PollingFreq>"},
        {Record(hidC, 0xB01A8, 0, Join({Block(12, 12, kAddress), Words({0x2A8, 0x046D0001, 0x0110C31C})})),
         "<HIDIoctl-OutputParameters><OutputBufferLength>0000000c</OutputBufferLength>"
         "<IoStatus.Information>0000000c</IoStatus.Information><SystemBufferAddress>ffffa80011110000"
         "</SystemBufferAddress></HIDIoctl-OutputParameters><HIDIoctl-CollectionInfo>"
         "<DescriptorSize Units=\"bytes of preparsed data\">000002a8</DescriptorSize><Polled>TRUE</Polled>"
         "<Reserved1>00</Reserved1><VendorID>046d</VendorID><ProductID>c31c</ProductID>"
         "<VersionNumber>0110</VersionNumber></HIDIoctl-CollectionInfo>"},
        {Record(hidC, 0xB0193, 0, Join({Block(2, 2, kAddress), {0xAB, 0xCD}})),
         "<HIDIoctl-OutputParameters><OutputBufferLength>00000002</OutputBufferLength>"
         "<IoStatus.Information>00000002</IoStatus.Information><UserBufferAddress>ffffa80011110000"
         "</UserBufferAddress></HIDIoctl-OutputParameters><HIDP_PREPARSED_DATA><PreparsedDataAddress>"
         "ffffa80011110000</PreparsedDataAddress><PreparsedData>abcd</PreparsedData></HIDP_PREPARSED_DATA>"},
        {Record(hidC, 0xB01BE, 0, Join({Block(10, 10, kAddress), Wide("Keyb")})),
         "<HIDIoctl-OutputParameters><OutputBufferLength>0000000a</OutputBufferLength>"
         "<IoStatus.Information>0000000a</IoStatus.Information><MdlAddress>ffffa80011110000</MdlAddress>"
         "</HIDIoctl-OutputParameters><HIDIoctl-String><String Name=\"Product\">Keyb</String></HIDIoctl-String>"},
        {Record(hidC, 0xB01E2, 0, Join({IndexedBlock(64, 4, 0, kAddress, 1), Wide("Ab")})),
         "<HIDIoctl-OutputParameters><InputBufferLength>00000004</InputBufferLength>"
         "<SystemBuffer Direction=\"input\">ffffa80011110000</SystemBuffer><OutputBufferLength>00000040"
         "</OutputBufferLength><MdlAddress Direction=\"output\">0</MdlAddress><index>00000001</index>"
         "</HIDIoctl-OutputParameters><String_1>Ab</String_1>"},
        {Record(hidC, 0xB01E2, 0, Join({IndexedBlock(64, 4, 0, kAddress, 0), Words({0x0409})})),
         "<HIDIoctl-OutputParameters><InputBufferLength>00000004</InputBufferLength>"
         "<SystemBuffer Direction=\"input\">ffffa80011110000</SystemBuffer><OutputBufferLength>00000040"
         "</OutputBufferLength><MdlAddress Direction=\"output\">0</MdlAddress><index>00000000</index>"
         "</HIDIoctl-OutputParameters><LANGID.1>0409</LANGID.1>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.body, MarkupBody(tdl::test::MarkupText(nullptr, c.record)));
        // The HTML report shows no row of the body.
        const std::string calls = tdl::test::BodyCalls(nullptr, c.record, OUTPUT_MODE_HTML);
        EXPECT_EQ(std::string::npos, calls.find("WriteValue")) << calls;
    }
}

} // namespace
