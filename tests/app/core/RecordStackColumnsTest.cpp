// What the record list takes from the document's device model: the class and standard request names of
// URB records by the kind of their device stack, the bulk-only wrapper columns, and the target device
// object and device.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecordDecode.h"
#include "app/core/records/RecordFormat.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/StackKinds.h"

namespace {

using tdl::test::kBulkOnlyStack;
using tdl::test::kCbiStack;
using tdl::test::kHidStack;
using tdl::test::kHubStack;
using tdl::test::kNamedDeviceObject;
using tdl::test::kNoStack;
using tdl::test::kPrinterStack;
using tdl::test::kUnnamedDeviceObject;
using tdl::test::kVendorStack;
using tdl::test::RecordBuilder;

class StackColumns : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(tdl::test::AddStacksOfEveryKind(doc)); }

    CLogRecordDecode View(const std::vector<uint8_t>& record) {
        return CLogRecordDecode(record.data(), record.size(), &doc);
    }

    CUSBLog doc;
};

// Part 1 of a class request (functions 26, 27, 31).
std::vector<uint8_t> ClassRequest(UCHAR request) {
    URB_RECORD_VENDOR_CLASS_REQUEST part{};
    part.Request = request;
    std::vector<uint8_t> bytes(sizeof part);
    std::memcpy(bytes.data(), &part, sizeof part);
    return bytes;
}

// Part 1 of a control transfer with a setup packet (function 50, or 8); the pipe's interface byte is not the
// request.
std::vector<uint8_t> SetupPacket(UCHAR requestType, UCHAR request, ULONG function = 50) {
    auto part1 = tdl::test::UrbTransferPart1(function, 0xFF, 0, 0, requestType);
    part1[(function == 8 ? URB_RECORD_SETUP_OFFSET : URB_RECORD_SETUP_EX_OFFSET) + 1] = request;
    return part1;
}

TEST_F(StackColumns, FunctionTextNamesRequestsByTheStacksKind) {
    const struct {
        USHORT stack;
        ULONG tag;
        ULONG function;
        std::vector<uint8_t> part1;
        const char* name;
        const char* detail;
        int request;
        ULONG kind;
    } rows[] = {
        {kHubStack, LogTag::urbI, 26, ClassRequest(6), "CLASS_DEVICE", "GetHubDescriptor", 6, URB_CLASS_HUB},
        {kHidStack, LogTag::urbI, 26, ClassRequest(6), "CLASS_DEVICE", "", 6, URB_CLASS_HID},
        {kHidStack, LogTag::urbC, 27, ClassRequest(10), "CLASS_INTERFACE", "Set_Idle", 10, URB_CLASS_HID},
        {kBulkOnlyStack, LogTag::urbI, 27, ClassRequest(0xFE), "CLASS_INTERFACE", "Get_Max_LUN", 0xFE,
         URB_CLASS_MSC_BOT},
        {kPrinterStack, LogTag::urbI, 27, ClassRequest(0), "CLASS_INTERFACE", "Get_Device_ID", 0, URB_CLASS_PRINTER},
        {kCbiStack, LogTag::urbI, 27, ClassRequest(0xFE), "CLASS_INTERFACE", "", 0xFE, URB_CLASS_GENERIC},
        {kVendorStack, LogTag::urbI, 27, ClassRequest(1), "CLASS_INTERFACE", "", 1, URB_CLASS_GENERIC},
        {kHubStack, LogTag::urbI, 31, ClassRequest(3), "CLASS_OTHER", "SetPortFeature", 3, URB_CLASS_HUB},
        {kPrinterStack, LogTag::urbI, 31, ClassRequest(2), "CLASS_OTHER", "Soft_Reset", 2, URB_CLASS_PRINTER},
        {kPrinterStack, LogTag::urbI, 31, ClassRequest(1), "CLASS_OTHER", "", 1, URB_CLASS_PRINTER},
        {kHidStack, LogTag::urbI, 31, ClassRequest(3), "CLASS_OTHER", "", 3, URB_CLASS_HID},
        // "urbR" records carry the request in the function word.
        {kHidStack,
         LogTag::urbR,
         UrbReturnFunctionWord(27, 0, 1, 1),
         {},
         "CLASS_INTERFACE",
         "Get_Report",
         1,
         URB_CLASS_HID},
        // Control transfers: the setup packet's type picks the table, its bRequest (byte 47) the name.
        {kHubStack, LogTag::urbI, 50, SetupPacket(0x80, 6), "STD_DEVICE(32)", "Get_Descriptor", 6, URB_CLASS_HUB},
        {kHidStack, LogTag::urbI, 50, SetupPacket(0x01, 11), "STD_INTERFACE(32)", "Set_Interface", 11, URB_CLASS_HID},
        {kVendorStack, LogTag::urbC, 50, SetupPacket(0x02, 1), "STD_ENDPOINT(32)", "Clear_Feature", 1,
         URB_CLASS_GENERIC},
        {kVendorStack, LogTag::urbI, 50, SetupPacket(0x83, 0), "STD_OTHER(32)", "Get_Status", 0, URB_CLASS_GENERIC},
        {kHidStack, LogTag::urbI, 50, SetupPacket(0x21, 9), "CLASS_INTERFACE(32)", "Set_Report", 9, URB_CLASS_HID},
        {kHidStack,
         LogTag::urbR,
         UrbReturnFunctionWord(50, 0xA1, 1, 0),
         {},
         "CLASS_INTERFACE(32)",
         "Get_Report",
         1,
         URB_CLASS_HID},
        {kBulkOnlyStack, LogTag::urbI, 50, SetupPacket(0x21, 0xFF), "CLASS_INTERFACE(32)", "MSC_BOT_Reset", 0xFF,
         URB_CLASS_MSC_BOT},
        {kHubStack, LogTag::urbI, 50, SetupPacket(0xA0, 0), "CLASS_DEVICE(32)", "GetHubStatus", 0, URB_CLASS_HUB},
        {kHubStack, LogTag::urbI, 50, SetupPacket(0x23, 1), "CLASS_OTHER(32)", "ClearPortFeature", 1, URB_CLASS_HUB},
        {kPrinterStack, LogTag::urbI, 50, SetupPacket(0xA3, 1), "CLASS_OTHER(32)", "Get_Port_Status", 1,
         URB_CLASS_PRINTER},
        {kHidStack, LogTag::urbI, 50, SetupPacket(0x20, 1), "CONTROL_TRANSFER_EX", "", 1, URB_CLASS_HID},
        {kVendorStack, LogTag::urbI, 50, SetupPacket(0x21, 1), "CONTROL_TRANSFER_EX", "", 1, URB_CLASS_GENERIC},
        {kHubStack, LogTag::urbI, 50, SetupPacket(0x40, 1), "CONTROL_TRANSFER_EX", "", 1, URB_CLASS_HUB},
        // A control transfer (as the port driver completes every class request) names the class request its
        // setup packet carries, as the class functions do, and keeps its own name; a standard or vendor
        // request names nothing.
        {kHidStack, LogTag::urbC, 8, SetupPacket(0x21, 9, 8), "CONTROL_TRANSFER", "Set_Report", 9, URB_CLASS_HID},
        {kPrinterStack, LogTag::urbC, 8, SetupPacket(0xA1, 0, 8), "CONTROL_TRANSFER", "Get_Device_ID", 0,
         URB_CLASS_PRINTER},
        {kHubStack, LogTag::urbC, 8, SetupPacket(0xA3, 0, 8), "CONTROL_TRANSFER", "GetPortStatus", 0, URB_CLASS_HUB},
        {kHubStack,
         LogTag::urbR,
         UrbReturnFunctionWord(8, 0xA0, 6, 0),
         {},
         "CONTROL_TRANSFER",
         "GetHubDescriptor",
         6,
         URB_CLASS_HUB},
        {kHidStack, LogTag::urbC, 8, SetupPacket(0x80, 6, 8), "CONTROL_TRANSFER", "", 6, URB_CLASS_HID},
        {kHidStack, LogTag::urbC, 8, SetupPacket(0x41, 1, 8), "CONTROL_TRANSFER", "", 1, URB_CLASS_HID},
        {kVendorStack, LogTag::urbC, 8, SetupPacket(0x21, 1, 8), "CONTROL_TRANSFER", "", 1, URB_CLASS_GENERIC},
        // No stack: the plain name and request 255.
        {kNoStack, LogTag::urbI, 50, SetupPacket(0x80, 6), "CONTROL_TRANSFER_EX", "", 255, URB_CLASS_NONE},
        {kNoStack, LogTag::urbI, 27, ClassRequest(1), "CLASS_INTERFACE", "", 255, URB_CLASS_NONE},
        // A continuation holds transfer data where a setup packet would be.
        {kHidStack, LogTag::cCnt, 50, SetupPacket(0x21, 9), "CONTROL_TRANSFER_EX", "", 255, URB_CLASS_HID},
        // The request byte is not in the record.
        {kHidStack, LogTag::urbI, 27, std::vector<uint8_t>(17), "CLASS_INTERFACE", "", 255, URB_CLASS_HID},
    };
    for (const auto& r : rows) {
        const auto record = RecordBuilder(r.tag).Function(r.function).StackId(r.stack).Part1(r.part1).Build();
        CString nameText, plainName, detail = "left over";
        UCHAR request = 0;
        ULONG kind = 1;
        View(record).GetFunctionText(nameText, plainName, detail, request, kind);
        const std::string what = std::to_string(r.stack) + " function " + std::to_string(r.function & 0xFFFF);
        EXPECT_STREQ(r.name, plainName) << what;
        EXPECT_STREQ(r.name, nameText) << what;
        EXPECT_STREQ(r.detail, detail) << what;
        EXPECT_EQ(r.request, request) << what;
        EXPECT_EQ(r.kind, kind) << what;
    }
}

TEST_F(StackColumns, RequestColumnJoinsNameAndDetail) {
    const struct {
        std::vector<uint8_t> record;
        const char* text;
    } rows[] = {
        {RecordBuilder(LogTag::urbI)
             .Function(27 | URB_FUNCTION_WORD_SYNC_BIT)
             .StackId(kHidStack)
             .Part1(ClassRequest(10))
             .Build(),
         "CLASS_INTERFACE - Set_Idle"},
        {RecordBuilder(LogTag::urbI).Function(50).StackId(kHubStack).Part1(SetupPacket(0x80, 6)).Build(),
         "STD_DEVICE(32) - Get_Descriptor"},
        {RecordBuilder(LogTag::urbI).Function(27).StackId(kVendorStack).Part1(ClassRequest(10)).Build(),
         "CLASS_INTERFACE"},
        {RecordBuilder(LogTag::urbC).Function(8).StackId(kHidStack).Part1(SetupPacket(0xA1, 1, 8)).Build(),
         "CONTROL_TRANSFER - Get_Report"},
    };
    for (const auto& r : rows) {
        CString text;
        RecordFormat::Request(View(r.record), text);
        EXPECT_STREQ(r.text, text);
    }
    // The decoders' name text marks a synchronous request.
    CString nameText, plainName, detail;
    UCHAR request = 0;
    ULONG kind = 0;
    View(rows[0].record).GetFunctionText(nameText, plainName, detail, request, kind);
    EXPECT_STREQ("CLASS_INTERFACE(sync)", nameText);
    EXPECT_STREQ("CLASS_INTERFACE", plainName);
}

TEST_F(StackColumns, StackSubClassAndBulkOnlyTransport) {
    const struct {
        USHORT stack;
        BYTE subClass;
        BOOL bulkOnly;
    } rows[] = {{kBulkOnlyStack, 6, TRUE}, {kCbiStack, 4, FALSE}, {kHidStack, 1, FALSE}, {kNoStack, 0xFF, FALSE}};
    for (const auto& r : rows) {
        const auto record = RecordBuilder(LogTag::urbI).StackId(r.stack).Build();
        EXPECT_EQ(r.subClass, View(record).GetStackSubClass()) << r.stack;
        EXPECT_EQ(r.bulkOnly, View(record).IsMassStorageBot()) << r.stack;
    }
    EXPECT_EQ(0xFF, CLogRecordDecode().GetStackSubClass());
}

TEST_F(StackColumns, WrapperColumnsOnlyOnABulkOnlyStack) {
    const auto Bulk = [](ULONG tag, USHORT stack, UCHAR endpoint, std::vector<uint8_t> wrapper) {
        auto part1 = tdl::test::UrbTransferPart1(9, 0, endpoint, 0);
        const ULONG length = static_cast<ULONG>(wrapper.size());
        std::memcpy(&part1[offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, TransferBufferLength)], &length, 4);
        std::memcpy(&part1[offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, CapturedLength)], &length, 4);
        return RecordBuilder(tag).Function(9).StackId(stack).Part1(part1).Part2(wrapper).Build();
    };
    std::vector<uint8_t> cbw(31, 0);
    std::memcpy(cbw.data(), "USBC\x78\x56\x34\x12", 8); // tag 0x12345678
    cbw[15] = 0x28;                                     // READ(10)
    std::vector<uint8_t> csw(13, 0);
    std::memcpy(csw.data(), "USBS\x78\x56\x34\x12", 8);
    csw[12] = 0x01; // command failed
    const struct {
        std::vector<uint8_t> record;
        const char* cbwText;
        const char* cswText;
    } rows[] = {
        {Bulk(LogTag::urbI, kBulkOnlyStack, 0x02, cbw), "12345678(28)", "---"},
        {Bulk(LogTag::urbC, kBulkOnlyStack, 0x81, csw), "---", "12345678(01)"},
        {Bulk(LogTag::urbI, kCbiStack, 0x02, cbw), "---", "---"},
        {Bulk(LogTag::urbC, kVendorStack, 0x81, csw), "---", "---"},
        {Bulk(LogTag::cCnt, kBulkOnlyStack, 0x81, csw), "---", "---"},
        {Bulk(LogTag::urbI, kNoStack, 0x02, cbw), "---", "---"},
    };
    for (const auto& r : rows) {
        CString text;
        RecordFormat::Cbw(View(r.record), text);
        EXPECT_STREQ(r.cbwText, text);
        RecordFormat::Csw(View(r.record), text);
        EXPECT_STREQ(r.cswText, text);
    }
}

TEST_F(StackColumns, TargetDeviceObjectAndDevice) {
    const struct {
        ULONG tag;
        ULONG64 address;
        LONGLONG time;
        const char* object;
        const char* device;
    } rows[] = {
        {LogTag::urbI, kNamedDeviceObject, 150, "'\\Device\\USBPDO-3'", "USB Mass Storage"},
        {LogTag::hidC, kUnnamedDeviceObject, 150, "noname(0xb000)", "HID Keyboard Device"},
        {LogTag::urbI, kNamedDeviceObject, 50, "0xa000", "---"}, // before the object existed
        {LogTag::pnpI, 0xC000, 150, "0xc000", "---"},
        {LogTag::atsL, kNamedDeviceObject, 150, "'Tindaloft'", "---"},
        {LogTag::dneL, kNamedDeviceObject, 150, "'Tindaloft'", "---"},
    };
    for (const auto& r : rows) {
        const auto record = RecordBuilder(r.tag).DeviceObject(r.address).TimeStamp(r.time).Build();
        CString text;
        RecordFormat::TargetDeviceObject(View(record), text);
        EXPECT_STREQ(r.object, text);
        RecordFormat::TargetDevice(View(record), text);
        EXPECT_STREQ(r.device, text);
    }
}

} // namespace
