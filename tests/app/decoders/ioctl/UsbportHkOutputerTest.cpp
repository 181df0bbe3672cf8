// The port-driver hook decoder: titles, the size gates of every call, the transfer parameter block, the
// values with meanings, the event descriptor, the target and the mark-up form, on request ("khpI") and
// result ("khpC") records built by hand.
#include <algorithm>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "app/core/document/USBLog.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"
#include "tests/support/CallRecords.h"
#include "tests/support/DecoderDocument.h"
#include "tests/support/DecoderRuns.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/RecordCopy.h"
#include "tests/support/RecordingOutputImp.h"

namespace {

using tdl::test::ArgBlock;
using tdl::test::kCallBusContext;
using tdl::test::kCallDriverObject;

std::vector<uint8_t> Hook(ULONG tag, ULONG code, const std::vector<uint8_t>& args = {}, ULONG returned = 0x77) {
    return tdl::test::CallRecord(tag, code, kCallBusContext, kCallDriverObject, returned, args);
}

std::string Shown(const std::vector<uint8_t>& record, CUSBLog* document = nullptr) {
    tdl::test::LogDetailsPane pane;
    EXPECT_TRUE(pane.ShowRecord(document, record));
    return pane.Shown("MPORT");
}

// Words counting up from 0x11111111, the device context first.
std::vector<uint8_t> Words(int count) {
    ArgBlock block;
    for (int i = 1; i <= count; ++i)
        block.U32(0x11111111u * static_cast<ULONG>(i));
    return block;
}

// The transfer parameter block: device handle, IRP, URB function, a word not shown, the setup packet.
ArgBlock& TransferParameters(ArgBlock& block, ULONG irp, ULONG urbFunction) {
    return block.U32(0xAAAA0001).U32(irp).U32(urbFunction).U32(0xBBBB0002).Bytes({0x80, 6, 0, 1, 0, 0, 18, 0});
}

TEST(UsbportHkOutputerTest, TitleTellsWhoCallsWhom) {
    struct Case {
        ULONG code;
        const char* title;
    } cases[] = {
        {46, "Miniport Function = PassThru\n"},
        {47, "Usbport Function = USBPORTSVC_DbgPrint\n"},
        {62, "Usbport Function = USBPORTSVC_NotifyDoubleBuffer\n"},
        {63, "Miniport Function = RebalanceEndpoint\n"},
        {73, "Usbport Function = USBPORTSVC_RequestAsyncCallbackEx\n"},
        {74, "Usbport Function = USBPORTSVC_CancelAsyncCallback\n"},
        {78, "Miniport Function = USBPORTSVC_EtwWrite\n"},
        {80, "Miniport Function =\n"},
        {0x80000000, "Miniport Function =\n"},
        // A named call without a decoder.
        {3, "Miniport Function = CloseEndpoint\n"},
    };
    for (const Case& c : cases) {
        // The blocks are of no call's size, so the title stands alone.
        EXPECT_EQ(c.title, Shown(Hook(LogTag::khpC, c.code, Words(15)))) << c.code;
        EXPECT_EQ("", tdl::test::BodyCalls(nullptr, Hook(LogTag::khpC, c.code, Words(15)), OUTPUT_MODE_XML));
    }
    EXPECT_EQ("Miniport Function = CloseEndpoint\n", Shown(Hook(LogTag::khpI, 3, Words(2))));
}

// Each call at the size of its block shows its inputs; one byte more or less shows the title alone, except
// for the calls whose results come from the header.
TEST(UsbportHkOutputerTest, EveryCallAtItsSizeAndOneByteOff) {
    static constexpr ULONG kNoDecoder[] = {3,  8,  9,  13, 15, 21, 26, 29, 42, 43, 46,
                                           48, 49, 51, 52, 55, 61, 62, 65, 70, 77};
    static constexpr ULONG kResultFromHeader[] = {7, 17, 68};
    for (bool completion : {false, true}) {
        const ULONG tag = completion ? LogTag::khpC : LogTag::khpI;
        for (ULONG code = 0; code <= 79; ++code) {
            const ULONG size = tdl::test::HookBlockSize(code, completion);
            const bool decoded = std::find(std::begin(kNoDecoder), std::end(kNoDecoder), code) == std::end(kNoDecoder);
            const bool fromHeader = std::find(std::begin(kResultFromHeader), std::end(kResultFromHeader), code) !=
                                    std::end(kResultFromHeader);
            const std::vector<uint8_t> whole(size + 1, 0x5A);
            const std::string atSize = Shown(Hook(tag, code, {whole.begin(), whole.begin() + size}));
            EXPECT_EQ(decoded, atSize.find("\nInputs =\n") != std::string::npos) << code << " " << completion;
            for (ULONG off : {size - 1, size + 1}) {
                const std::string shown = Shown(Hook(tag, code, {whole.begin(), whole.begin() + off}));
                EXPECT_EQ(std::string::npos, shown.find("Inputs =")) << code << " at " << off;
                EXPECT_EQ(fromHeader && completion, shown.find("\nOutputs =\n") != std::string::npos)
                    << code << " at " << off;
            }
        }
    }
}

TEST(UsbportHkOutputerTest, EndpointRequirementsBySide) {
    EXPECT_EQ("Miniport Function = QueryEndpointRequirements\n"
              "Inputs =\n"
              "  MiniportDeviceContext = 0x11111111\n"
              "  HcEndpointAttribs = 0x22222222\n",
              Shown(Hook(LogTag::khpI, 2, Words(3))));
    EXPECT_EQ("Miniport Function = QueryEndpointRequirements\n"
              "Inputs =\n"
              "  MiniportDeviceContext = 0x11111111\n"
              "  HcEndpointAttribs = 0x22222222\n"
              "  EP Requirement1 = 0x33333333\n"
              "  EP Requirement2 = 0x44444444\n"
              "Outputs =\n"
              "  Return Value = 0x00000077\n",
              Shown(Hook(LogTag::khpC, 2, Words(4))));
    // Each side's size on the other side is no call of its.
    EXPECT_EQ("Miniport Function = QueryEndpointRequirements\n", Shown(Hook(LogTag::khpI, 2, Words(4))));
    EXPECT_EQ("Miniport Function = QueryEndpointRequirements\n", Shown(Hook(LogTag::khpC, 2, Words(3))));
}

TEST(UsbportHkOutputerTest, SubmitTransferWithItsParameters) {
    ArgBlock bulk;
    bulk.U32(0x11111111).U32(0x22222222).U32(0x33333333).U32(0x44444444).U32(0x55555555);
    TransferParameters(bulk, 0, 9);
    // The return value shows on the request record as well.
    EXPECT_EQ("Miniport Function = SubmitTransfer\n"
              "Inputs =\n"
              "  MiniportDeviceContext = 0x11111111\n"
              "  MiniportEndptContext = 0x22222222\n"
              "  TxParameters = 0x33333333\n"
              "  Transfer Parameters =\n"
              "    UsbdDeviceHandle = 0xaaaa0001\n"
              "    Irp = None\n"
              "    UrbFunction = BULK_OR_INTERRUPT_TRANSFER (0x0009)\n"
              "  MiniportTxContext = 0x44444444\n"
              "  Unknown = 0x55555555\n"
              "Outputs =\n"
              "  Return Value = 0x00000077\n",
              Shown(Hook(LogTag::khpI, 10, bulk)));
    for (ULONG function : {8u, 50u}) {
        ArgBlock control;
        control.U32(1).U32(2).U32(3).U32(4).U32(5);
        TransferParameters(control, 0x12345678, function);
        const std::string shown = Shown(Hook(LogTag::khpC, 11, control));
        EXPECT_NE(std::string::npos, shown.find("    Irp = 0x12345678\n")) << function;
        EXPECT_NE(std::string::npos, shown.find("    Setup Packet =\n")) << function;
    }
    EXPECT_EQ("BeginElement|MPORT-SubmitTransfer\n"
              "WriteValue|MiniportDeviceContext|11111111\n"
              "AddAttribute|ArgDirection|in\n"
              "WriteValue|MiniportEndptContext|22222222\n"
              "AddAttribute|ArgDirection|in\n"
              "WriteValue|TxParameters|33333333\n"
              "BeginElement|TXPARMS\n"
              "WriteValue|UsbdDeviceHandle|aaaa0001\n"
              "WriteValue|Irp|None\n"
              "WriteValue|UrbFunction|0009\n"
              "AddAttribute|Name|BULK_OR_INTERRUPT_TRANSFER\n"
              "EndElement\n"
              "EndGroup\n"
              "WriteValue|MiniportTxContext|44444444\n"
              "WriteValue|Unknown|55555555\n"
              "WriteValue|ReturnValue|00000077\n"
              "AddAttribute|ArgDirection|out\n"
              "EndElement\n",
              tdl::test::BodyCalls(nullptr, Hook(LogTag::khpI, 10, bulk), OUTPUT_MODE_XML));
}

TEST(UsbportHkOutputerTest, CompleteTransferShowsTheUsbdStatusAndNoReturnValue) {
    ArgBlock block;
    block.U32(1).U32(2).U32(3).U32(0xC0000004).U32(512);
    TransferParameters(block, 0x10, 9);
    EXPECT_EQ("Usbport Function = USBPORTSVC_CompleteTransfer\n"
              "Inputs =\n"
              "  MiniportDeviceContext = 0x00000001\n"
              "  MiniportEndptContext = 0x00000002\n"
              "  TxParameters = 0x00000003\n"
              "  Transfer Parameters =\n"
              "    UsbdDeviceHandle = 0xaaaa0001\n"
              "    Irp = 0x00000010\n"
              "    UrbFunction = BULK_OR_INTERRUPT_TRANSFER (0x0009)\n"
              "Outputs =\n"
              "  USBD_STATUS = USBD_STATUS_STALL_PID\n"
              "  Bytes Transferred = 0x00000200\n",
              Shown(Hook(LogTag::khpI, 53, block)));
}

TEST(UsbportHkOutputerTest, ValuesWithMeaningsAndNamesByCode) {
    struct Case {
        ULONG code;
        std::vector<uint8_t> args;
        const char* row;
    } cases[] = {
        {60, ArgBlock().U32(1).U32(1), "  Type = 0x00000001 (Reset)\n"},
        {60, ArgBlock().U32(1).U32(2), "  Type = 0x00000002 (Surprise Removal)\n"},
        {60, ArgBlock().U32(1).U32(7), "  Type = 0x00000007 (Unknown)\n"},
        {58, ArgBlock().U32(1).U32(2).U32(3).U32(4).U32(5), "  ZeroFill = true\n"},
        {58, ArgBlock().U32(1).U32(0).U32(3).U32(4).U32(5), "  ZeroFill = false\n"},
        {14, ArgBlock().U32(1).U32(2).U32(3), "  New Endpoint State = 0x00000003\n"},
        {22, ArgBlock().U32(1).U32(2).U32(3), "  Data Toggle = 0x00000003\n"},
        {24, ArgBlock().U32(1).U32(2).U32(3), "  New Endpoint Status = 0x00000003\n"},
        {30, ArgBlock().U32(1).U32(0x00050002), "  Port Number = 0x0002\n"},
        {41, ArgBlock().U32(1).U32(0x00050002), "  Port Number = 0x0002\n"},
    };
    for (const Case& c : cases) {
        const std::string shown = Shown(Hook(LogTag::khpI, c.code, c.args));
        EXPECT_NE(std::string::npos, shown.find(c.row)) << c.code << "\n" << shown;
    }
    EXPECT_EQ("BeginElement|MPORT-USBPORTSVC_InvalidateController\n"
              "WriteValue|MiniportDeviceContext|00000001\n"
              "AddAttribute|ArgDirection|in\n"
              "WriteValue|Type|00000002\n"
              "AddAttribute|ArgDirection|in\n"
              "AddAttribute|Name|Surprise Removal\n"
              "EndElement\n",
              tdl::test::BodyCalls(nullptr, Hook(LogTag::khpI, 60, ArgBlock().U32(1).U32(2)), OUTPUT_MODE_XML));
    EXPECT_EQ("BeginElement|MPORT-USBPORTSVC_Wait\n"
              "WriteValue|MiniportDeviceContext|00000001\n"
              "AddAttribute|ArgDirection|in\n"
              "WriteValue|DelayTime|0000000a\n"
              "AddAttribute|ArgDirection|in\n"
              "AddAttribute|Units|ms.\n"
              "EndElement\n",
              tdl::test::BodyCalls(nullptr, Hook(LogTag::khpC, 59, ArgBlock().U32(1).U32(10)), OUTPUT_MODE_XML));
    const std::string callback = tdl::test::BodyCalls(
        nullptr, Hook(LogTag::khpI, 57, ArgBlock().U32(1).U32(10).U32(3).U32(4).U32(5)), OUTPUT_MODE_XML);
    EXPECT_NE(std::string::npos, callback.find("WriteValue|DelayToRun|0000000a\nAddAttribute|Units|ms.\nWriteValue"));
}

TEST(UsbportHkOutputerTest, NumberedArgumentsUpToEachCallsLast) {
    struct Case {
        ULONG code;
        int words;
        const char* last;
        const char* next;
    } cases[] = {
        {44, 8, "  Argument7 = 0x88888888\n", "Argument8"}, {47, 9, "  Argument8 = 0x99999999\n", "Argument9"},
        {50, 6, "  Argument5 = 0x66666666\n", "Argument6"}, {73, 7, "  Argument6 = 0x77777777\n", "Argument7"},
        {74, 3, "  Argument2 = 0x33333333\n", "Argument3"},
    };
    for (const Case& c : cases) {
        // Results on both sides, from the header.
        const std::string shown = Shown(Hook(LogTag::khpI, c.code, Words(c.words)));
        EXPECT_NE(std::string::npos, shown.find(std::string(c.last) + "Outputs =\n  Return Value = 0x00000077\n"))
            << c.code << "\n"
            << shown;
        EXPECT_EQ(std::string::npos, shown.find(c.next)) << c.code;
    }
}

TEST(UsbportHkOutputerTest, ResultsGatedByTheRecordsSide) {
    const std::vector<uint8_t> args = ArgBlock().U32(1).U32(2);
    EXPECT_EQ("Miniport Function = GetEndpointStatus\n"
              "Inputs =\n"
              "  MiniportDeviceContext = 0x00000001\n"
              "  MiniportEndptContext = 0x00000002\n",
              Shown(Hook(LogTag::khpI, 23, args)));
    EXPECT_EQ("Miniport Function = GetEndpointStatus\n"
              "Inputs =\n"
              "  MiniportDeviceContext = 0x00000001\n"
              "  MiniportEndptContext = 0x00000002\n"
              "Outputs =\n"
              "  Endpoint Status = 0x00000077\n",
              Shown(Hook(LogTag::khpC, 23, args)));
    // The frame number comes from the header: a result record without arguments still shows it.
    EXPECT_EQ("Miniport Function = Get32BitFrameNumber\n"
              "Outputs =\n"
              "  Frame Number = 0x00000077\n",
              Shown(Hook(LogTag::khpC, 17)));
    EXPECT_EQ("WriteValue|FrameNumber|00000077\nAddAttribute|ArgDirection|out\n",
              tdl::test::BodyCalls(nullptr, Hook(LogTag::khpC, 17), OUTPUT_MODE_XML));
    EXPECT_EQ("BeginElement|MPORT-ResumeController\n"
              "WriteValue|MiniportDeviceContext|00000001\n"
              "AddAttribute|ArgDirection|in\n"
              "WriteValue|ReturnValue|00000077\n"
              "AddAttribute|ArgDirection|out\n"
              "EndElement\n",
              tdl::test::BodyCalls(nullptr, Hook(LogTag::khpC, 7, ArgBlock().U32(1)), OUTPUT_MODE_XML));
}

TEST(UsbportHkOutputerTest, EventWriteWithAndWithoutItsDescriptor) {
    ArgBlock words;
    words.U32(1).U32(0x2000).U32(0x3000).U32(2).U32(0x4000);
    const std::string head = "Miniport Function = USBPORTSVC_EtwWrite\n"
                             "Inputs =\n"
                             "  MiniportDeviceContext = 0x00000001\n"
                             "  EventDescriptor = 0x00002000\n";
    const std::string tail = "  ActivityId = 0x00003000\n"
                             "  UserDataCount = 0x00000002\n"
                             "  UserData = 0x00004000\n"
                             "Outputs =\n"
                             "  Return Value = 0x00000077\n";
    EXPECT_EQ(head + tail, Shown(Hook(LogTag::khpC, 78, words)));
    ArgBlock withDescriptor = words;
    withDescriptor.U16(0x0102).U8(3).U8(4).U8(5).U8(6).U16(0x0708).U64(0x8000000000000010);
    EXPECT_EQ(head +
                  "  EventDescriptor = EVENT_DESCRIPTOR\n"
                  "    Id = 0x0102\n"
                  "    Version = 0x03\n"
                  "    Channel = 0x04\n"
                  "    Level = 0x05\n"
                  "    Opcode = 0x06\n"
                  "    Task = 0x0708\n"
                  "    Keyword = 0x8000000000000010\n" +
                  tail,
              Shown(Hook(LogTag::khpC, 78, withDescriptor)));
}

TEST(UsbportHkOutputerTest, NoHookValueIsColoured) {
    for (const std::vector<uint8_t>& record : tdl::test::AllCallRecords()) {
        if (LogHdr::LogType(record.data()) != LogTag::khpI && LogHdr::LogType(record.data()) != LogTag::khpC)
            continue;
        // Error-looking words everywhere.
        std::vector<uint8_t> failing = record;
        for (size_t i = LOGHDR_SIZE; i + 4 <= failing.size() - 4; i += 4)
            tdl::StoreLe<ULONG>(failing.data() + i, 0xC0000001);
        tdl::test::LogDetailsPane pane;
        ASSERT_TRUE(pane.ShowRecord(nullptr, failing));
        EXPECT_EQ(std::string::npos, pane.Shown("MPORT").find("{0x")) << LogHdr::Function(record.data());
        EXPECT_EQ(std::string::npos, pane.Shown("Log Entry").find("Status"));
    }
}

// The decoder document knows the hook records' device object and miniport driver.
class HookTargetTest : public ::testing::Test {
protected:
    tdl::test::DecoderDocument m_document;
};

TEST_F(HookTargetTest, TargetIsTheDeviceObjectAndTheMiniportsDriver) {
    const std::vector<uint8_t> record = Hook(LogTag::khpI, 0, Words(3));
    tdl::test::LogDetailsPane pane;
    ASSERT_TRUE(pane.ShowRecord(m_document.Get(), record));
    EXPECT_EQ("DeviceObject = \\Device\\USBPDO-1\n"
              "NtDeviceObject = 0xffffa80000001000\n"
              "DriverObject = \\Driver\\usbehci\n"
              "NtDriverObject = 0xffffa80033330000\n",
              pane.Shown("Target"));
    tdl::test::LogDetailsPane alone;
    ASSERT_TRUE(alone.ShowRecord(nullptr, record));
    EXPECT_EQ("DeviceObject = ?\?\?\n"
              "NtDeviceObject = 0xffffa80000001000\n"
              "DriverObject = ?\?\?\n"
              "NtDriverObject = 0xffffa80033330000\n",
              alone.Shown("Target"));
}

TEST_F(HookTargetTest, MarkupNamesTheFunctionAndBothObjectsBeforeTheCall) {
    std::string markup = tdl::test::MarkupText(m_document.Get(), Hook(LogTag::khpC, 0, Words(3)));
    for (size_t at; (at = markup.find("\r\n")) != std::string::npos;)
        markup.erase(at, 2);
    EXPECT_EQ("<Record Number=\"21\" Disposition=\"comp\" Type=\" MPORT\">"
              "<PerfCounter High=\"00000000\" Low=\"000003e8\"/>"
              "<UsbportHookFunction Name=\"OpenEndpoint\"/>"
              "<DriverObject Name=\"\\Driver\\usbehci\" ArgDirection=\"in\">ffffa80033330000</DriverObject>"
              "<DeviceObject Name=\"\\Device\\USBPDO-1\" ArgDirection=\"in\">ffffa80000001000</DeviceObject>"
              "<MPORT-OpenEndpoint>"
              "<MiniportDeviceContext ArgDirection=\"in\">11111111</MiniportDeviceContext>"
              "<HcEndpointAttribs>22222222</HcEndpointAttribs>"
              "<MiniportEndptContext ArgDirection=\"in\">33333333</MiniportEndptContext>"
              "<ReturnValue ArgDirection=\"out\">00000077</ReturnValue>"
              "</MPORT-OpenEndpoint>"
              "</Record>",
              markup);
}

} // namespace
