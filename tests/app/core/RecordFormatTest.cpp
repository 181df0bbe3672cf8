// The record list's cell texts and colours, made from single records of every tag family: names and their
// fallbacks, directions, pipe addresses, counts, addresses and statuses, elapsed times, and records cut short.
#include "app/core/records/RecordFormat.h"

#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/NodeEntries.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "tests/support/RecordBuilder.h"
#include "windows.h"

namespace {

using tdl::test::BuildRecord;
using tdl::test::ContinuationPart1;
using tdl::test::RecordBuilder;
using tdl::test::UrbTransferPart1;
using Formatter = void (*)(const CLogRecordDecode&, CString&);

std::string Tag(ULONG tag) {
    return std::string(reinterpret_cast<const char*>(&tag), 4);
}

std::string Text(Formatter format, const std::vector<uint8_t>& record) {
    CString text = "left over";
    format(CLogRecordDecode(record.data(), record.size()), text);
    return text.GetString();
}

template <class T> std::vector<uint8_t> Bytes(const T& part) {
    std::vector<uint8_t> bytes(sizeof part);
    std::memcpy(bytes.data(), &part, sizeof part);
    return bytes;
}

std::vector<uint8_t> VendorClassPart1(UCHAR request, ULONG transferFlags) {
    URB_RECORD_VENDOR_CLASS_REQUEST part{};
    part.Request = request;
    part.TransferFlags = transferFlags;
    return Bytes(part);
}

std::vector<uint8_t> IsochPart1(ULONG errors, ULONG zeroLength) {
    URB_RECORD_ISOCH_TRANSFER part{};
    part.ErrorCount = errors;
    part.ZeroLengthPackets = zeroLength;
    return Bytes(part);
}

std::vector<uint8_t> PipePart1(ULONG function, UCHAR device, UCHAR interfaceNumber, UCHAR endpoint) {
    auto part1 = UrbTransferPart1(function, interfaceNumber, endpoint, 0);
    part1[URB_RECORD_PIPE_OFFSET] = device;
    part1[URB_RECORD_INTERFACE_OFFSET] = interfaceNumber; // pipe requests too, whose part 1 is shorter
    part1[URB_RECORD_ENDPOINT_OFFSET] = endpoint;
    return part1;
}

std::vector<uint8_t> Cut(std::vector<uint8_t> part1, size_t size) {
    part1.resize(size);
    return part1;
}

std::vector<uint8_t> Urb(ULONG tag, ULONG function, const std::vector<uint8_t>& part1) {
    return BuildRecord(tag, function, 0, part1);
}

TEST(RecordFormat, WithoutRecordEveryColumnShowsItsFallback) {
    const CLogRecordDecode none;
    CString type, disposition;
    RecordFormat::Category(none, type, disposition);
    EXPECT_STREQ(" ???", type);
    EXPECT_STREQ("none", disposition);
    const struct {
        Formatter format;
        const char* text;
    } rows[] = {
        {RecordFormat::Request, "*Unknown*"},
        {RecordFormat::Direction, "--"},
        {RecordFormat::TargetDeviceObject, "'Unknown'"},
        {RecordFormat::TargetDevice, "---"},
        {RecordFormat::CfgIfcEp, "---"},
        {RecordFormat::IsoErrors, "---"},
        {RecordFormat::Cbw, "---"},
        {RecordFormat::Csw, "---"},
        {RecordFormat::IrpAddress, "---"},
        {RecordFormat::IrpStatus, "---"},
    };
    for (const auto& r : rows) {
        CString text = "left over";
        r.format(none, text);
        EXPECT_STREQ(r.text, text);
    }
    CString elapsed;
    RecordFormat::ElapsedTime(none, 0, 10000000, RecordFormat::UnitSeconds, elapsed);
    EXPECT_STREQ("0.00", elapsed);
}

TEST(RecordFormat, RequestNamesAndTheirFallbacks) {
    const struct {
        ULONG tag;
        ULONG function;
        const char* text;
    } rows[] = {
        {LogTag::urbI, 9, "BULK_OR_INTERRUPT_TRANSFER"},
        {LogTag::urbC, 9 | URB_FUNCTION_WORD_SYNC_BIT, "BULK_OR_INTERRUPT_TRANSFER"}, // no "(sync)" here
        {LogTag::urbR, 0x1001, "CLOSE_ENDPOINT"},
        {LogTag::urbI, 99, "UNKNOWN"},
        {LogTag::iCnt, 8, "CONTROL_TRANSFER"},
        {LogTag::cCnt, 10, "ISOCH_TRANSFER"},
        {LogTag::uinI, 0x220007, "RESET_PORT"},
        {LogTag::uinC, 0x220003, "INTERN_USB_220003"},
        {LogTag::hubI, 0x220408, "GET_NODE_INFORMATION"},
        {LogTag::hubR, 0x123, "HUB_IOCTL_123"},
        {LogTag::hcdC, 0x220438, "USER_REQUEST"},
        {LogTag::hcdI, 0x2, "HCD_IOCTL_2"},
        {LogTag::hidI, 0xB0191, "SET_FEATURE"},
        {LogTag::hidC, 0xB0196, "HID_IOCTL_B0196"},
        {LogTag::ctlI, 0x2D1400, "IOCTL=0x2d1400"},
        {LogTag::intR, 0x220003, "INTERN=0x220003"},
        {LogTag::pnpI, 0, "START_DEVICE"},
        {LogTag::pnpC, 0x17, "PNP_17"},
        {LogTag::powI, 2, "SET_POWER"},
        {LogTag::powR, 7, "POWER_FUNC=0x7"},
        {LogTag::buhI, 18, "HubIsRoot"},
        {LogTag::buhC, 99, ""},
        {LogTag::khpI, 10, "SubmitTransfer"},
        {LogTag::khpC, 200, ""},
        {LogTag::vedA, 0, "DeviceObject Arrival"},
        {LogTag::vrdA, 0, "DriverObject Arrival"},
        {LogTag::ktsA, 0, "Stack Arrival"},
        {LogTag::vedR, 0, "DeviceObject Removal"},
        {LogTag::vrdR, 0, "DriverObject Removal"},
        {LogTag::ktsR, 0, "Stack Removal"},
        {LogTag::atsL, 0, "Logging Starts"},
        {LogTag::dneL, 0, "Logging Ends"},
        {FourCC("buhR"), 18, "*Unknown*"},
        {FourCC("zzzI"), 0, "*Unknown*"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.text, Text(RecordFormat::Request, BuildRecord(r.tag, r.function, 0))) << Tag(r.tag) << r.function;
}

TEST(RecordFormat, DirectionByFunctionAndPipe) {
    const struct {
        std::vector<uint8_t> record;
        const char* text;
        const char* what;
    } rows[] = {
        {Urb(LogTag::urbI, 9, UrbTransferPart1(9, 0, 0x81, 0)), "IN", "bulk, endpoint 0x81"},
        {Urb(LogTag::urbC, 9, UrbTransferPart1(9, 0, 0x02, 1)), "OUT", "bulk, endpoint 0x02 (flags ignored)"},
        {Urb(LogTag::urbI, 8, UrbTransferPart1(8, 0xFF, 0x00, 1)), "IN", "unknown pipe: transfer flags"},
        {Urb(LogTag::urbC, 10, UrbTransferPart1(10, 0xFF, 0x80, 0)), "OUT", "unknown pipe: endpoint ignored"},
        {Urb(LogTag::urbI, 50, UrbTransferPart1(50, 0, 0x80, 0)), "IN", "control transfer ex"},
        {Urb(LogTag::urbR, 9, {}), "--", "returned records carry no pipe"},
        {Urb(LogTag::urbI, 11, {}), "IN", "get descriptor"},
        {Urb(LogTag::urbC, 38, {}), "IN", "get configuration"},
        {Urb(LogTag::urbI, 12, {}), "OUT", "set descriptor"},
        {Urb(LogTag::urbC, 41, {}), "OUT", "set descriptor to interface"},
        {Urb(LogTag::urbI, 23, VendorClassPart1(1, 1)), "IN", "vendor device, IN flag"},
        {Urb(LogTag::urbI, 27, VendorClassPart1(1, 0)), "OUT", "class interface, OUT"},
        {Urb(LogTag::urbC, 31, VendorClassPart1(1, 3)), "IN", "class other"},
        {Urb(LogTag::urbC, 32, VendorClassPart1(1, 0)), "OUT", "vendor other"},
        {Urb(LogTag::urbI, 26, Cut(VendorClassPart1(1, 1), 22)), "--", "flags not in the record"},
        {Urb(LogTag::urbI, 9, Cut(UrbTransferPart1(9, 0, 0x81, 0), 17)), "--", "interface byte not in the record"},
        {Urb(LogTag::urbI, 9, Cut(UrbTransferPart1(9, 0, 0x81, 0), 18)), "--", "endpoint not in the record"},
        {Urb(LogTag::urbI, 8, Cut(UrbTransferPart1(8, 0xFF, 0, 1), 30)), "--", "flags not in the record"},
        {Urb(LogTag::urbI, 2, UrbTransferPart1(2, 0, 0x81, 0)), "--", "abort pipe"},
        {Urb(LogTag::iCnt, 9, ContinuationPart1(0xFF, 0, 1)), "IN", "continuation, unknown pipe"},
        {Urb(LogTag::cCnt, 9, ContinuationPart1(1, 0x81, 0)), "IN", "continuation, endpoint"},
        {Urb(LogTag::iCnt, 9, ContinuationPart1(1, 0x01, 1)), "OUT", "continuation, endpoint OUT"},
        // The driver records a control transfer's non-zero endpoint without its direction bit.
        {Urb(LogTag::cCnt, 50, ContinuationPart1(1, 0x02, 1)), "IN", "control continuation, endpoint 2: flags"},
        {Urb(LogTag::urbC, 8, UrbTransferPart1(8, 0, 0x02, 1)), "IN", "control transfer on endpoint 2: flags"},
        {Urb(LogTag::iCnt, 11, ContinuationPart1(0xFF, 0, 1)), "--", "continuation of no transfer"},
        {BuildRecord(LogTag::hidI, 0xB0191, 0), "--", "not a URB"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.text, Text(RecordFormat::Direction, r.record)) << r.what;
}

TEST(RecordFormat, ConfigurationInterfaceEndpoint) {
    auto continuation = ContinuationPart1(2, 0x83, 0);
    continuation[offsetof(URB_RECORD_CONTINUATION, DeviceByte)] = 0x0A;
    const struct {
        std::vector<uint8_t> record;
        const char* text;
        const char* what;
    } rows[] = {
        {Urb(LogTag::urbI, 9, PipePart1(9, 3, 1, 0x82)), "03 : 01 : 82", "bulk request"},
        {Urb(LogTag::urbC, 50, PipePart1(50, 1, 0, 0x80)), "01 : 00 : 80", "control transfer ex"},
        {Urb(LogTag::urbC, 10, PipePart1(10, 1, 0xFF, 0x80)), "?? : ?? : ??", "unknown pipe"},
        {Urb(LogTag::urbI, 30, PipePart1(30, 2, 0, 0x01)), "02 : 00 : 01", "reset pipe request"},
        {Urb(LogTag::urbC, 30, PipePart1(30, 2, 0, 0x01)), "---", "reset pipe completion"},
        {Urb(LogTag::cCnt, 9, continuation), "0a : 02 : 83", "continuation"},
        {Urb(LogTag::urbR, 9, {}), "---", "returned"},
        {Urb(LogTag::urbI, 11, PipePart1(11, 1, 1, 1)), "---", "no pipe"},
        {Urb(LogTag::urbI, 9, Cut(PipePart1(9, 3, 1, 0x82), 18)), "---", "endpoint cut off"},
        {Urb(LogTag::urbI, 9, Cut(PipePart1(9, 3, 0xFF, 0x82), 18)), "?? : ?? : ??", "unknown pipe, cut"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.text, Text(RecordFormat::CfgIfcEp, r.record)) << r.what;
}

TEST(RecordFormat, IsochronousPacketErrors) {
    const struct {
        std::vector<uint8_t> record;
        const char* text;
    } rows[] = {
        {Urb(LogTag::urbC, 10, IsochPart1(0, 0)), " 0/0 "},   {Urb(LogTag::urbC, 10, IsochPart1(2, 1)), "* 2/1 *"},
        {Urb(LogTag::urbC, 10, IsochPart1(0, 7)), "* 0/7 *"}, {Urb(LogTag::urbI, 10, IsochPart1(2, 1)), "---"},
        {Urb(LogTag::urbC, 9, IsochPart1(2, 1)), "---"},      {Urb(LogTag::urbC, 10, Cut(IsochPart1(0, 0), 57)), "---"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.text, Text(RecordFormat::IsoErrors, r.record));
}

TEST(RecordFormat, IrpAddressAndStatus) {
    const struct {
        ULONG tag;
        ULONG status;
        const char* address;
        const char* statusText;
    } rows[] = {
        {LogTag::urbI, 0, "0xffff80001234abcd", "---"},
        {LogTag::urbC, 0, "0xffff80001234abcd", "SUCCESS"},
        {LogTag::urbR, 0x103, "0xffff80001234abcd", "PENDING"},
        {LogTag::hidC, 0xC0000022, "0xffff80001234abcd", "0xc0000022"},
        {LogTag::pnpR, 0xC00000BB, "0xffff80001234abcd", "NOT_SUPPORTED"},
        {LogTag::iCnt, 0, "0xffff80001234abcd", "---"},
        {LogTag::cCnt, 0, "0xffff80001234abcd", "---"},
        {LogTag::buhI, 0, "---", "---"},
        {LogTag::buhC, 0xC0000001, "---", "UNSUCCESSFUL"},
        {LogTag::khpI, 0, "---", "---"},
        {LogTag::khpC, 0, "---", "---"},
        {LogTag::atsL, 0, "---", "---"},
        {LogTag::dneL, 0, "---", "---"},
        {LogTag::vedA, 0, "---", "---"},
        {LogTag::ktsR, 0, "---", "---"},
        {FourCC("zzzC"), 0, "0xffff80001234abcd", "---"},
    };
    for (const auto& r : rows) {
        const auto record = RecordBuilder(r.tag).Status(r.status).Irp(0xFFFF80001234ABCDULL).Build();
        EXPECT_EQ(r.address, Text(RecordFormat::IrpAddress, record)) << Tag(r.tag);
        EXPECT_EQ(r.statusText, Text(RecordFormat::IrpStatus, record)) << Tag(r.tag);
    }
}

TEST(RecordFormat, TargetDeviceObjectOfChangeLogAndLogRecords) {
    DRIVER_NODE driver{};
    std::memcpy(driver.DriverName, "usbhub", 6);
    DRIVER_NODE longName{};
    std::memcpy(longName.DriverName, "ABCDEFGHIJKLMNOP", 16); // fills the field: no NUL
    DEVSTK_NODE stack{};
    stack.StackID = 7;
    std::memcpy(stack.DeviceID, "USB\\VID_1234", 12);
    DEVSTK_NODE unnamed{};
    unnamed.StackID = 7;
    const struct {
        std::vector<uint8_t> record;
        const char* text;
    } rows[] = {
        {BuildRecord(LogTag::vrdA, 0, 0, Bytes(driver)), "usbhub"},
        {BuildRecord(LogTag::vrdR, 0, 0, Bytes(longName)), "ABCDEFGHIJKLMNOP"},
        {BuildRecord(LogTag::vrdA, 0, 0, Cut(Bytes(driver), 8)), "usbh"},
        {BuildRecord(LogTag::vrdA, 0, 0, {}), "'Unknown'"},
        {BuildRecord(LogTag::ktsA, 0, 0, Bytes(stack)), "USB\\VID_1234"},
        {BuildRecord(LogTag::ktsR, 0, 0, Bytes(unnamed)), "ID:0007"},
        {BuildRecord(LogTag::ktsA, 0, 0, Cut(Bytes(stack), 190)), "USB\\VI"},
        {RecordBuilder(LogTag::ktsR).StackId(12).Build(), "ID:0012"},
        {BuildRecord(LogTag::atsL, 0, 0), "'Tindaloft'"},
        {BuildRecord(LogTag::dneL, 0, 0), "'Tindaloft'"},
        {RecordBuilder(LogTag::urbI).DeviceObject(0xFFFF8000000AB000ULL).Build(), "0xffff8000000ab000"},
    };
    for (const auto& r : rows)
        EXPECT_EQ(r.text, Text(RecordFormat::TargetDeviceObject, r.record));
}

TEST(RecordFormat, ElapsedTimeInEachUnit) {
    constexpr LONGLONG kFrequency = 10000000; // 10 MHz
    constexpr LONGLONG kStart = 5000000000LL;
    const struct {
        LONGLONG delta;
        LONGLONG frequency;
        int unit;
        const char* text;
    } rows[] = {
        // In single precision this delta reads 1.23456788.
        {12345679, kFrequency, RecordFormat::UnitSeconds, "1.23456790"},
        {12345679, kFrequency, RecordFormat::UnitMilliseconds, " 1234.5679"},
        {12345679, kFrequency, RecordFormat::UnitMicroseconds, "     1234567.9"},
        {0, kFrequency, RecordFormat::UnitSeconds, "0.00000000"},
        {-12345679, kFrequency, RecordFormat::UnitSeconds, "-1.23456790"},
        {-15, kFrequency, RecordFormat::UnitMicroseconds, "          -1.5"},
        {12345679, 0, RecordFormat::UnitSeconds, "0.00"},
        {12345679, kFrequency, 3, "0.00"},
        {12345679, kFrequency, -1, "0.00"},
    };
    for (const auto& r : rows) {
        const auto record = RecordBuilder(LogTag::urbI).TimeStamp(kStart + r.delta).Build();
        CString text;
        RecordFormat::ElapsedTime(CLogRecordDecode(record.data(), record.size()), kStart, r.frequency, r.unit, text);
        EXPECT_STREQ(r.text, text) << r.delta << " unit " << r.unit;
    }
}

TEST(RecordFormat, BulkOnlyWrappersNeedTheWholeWrapperInTheRecord) {
    // A bulk transfer's part 1 and its captured data.
    const auto Bulk = [](ULONG tag, UCHAR endpoint, ULONG length, ULONG captured, const char* signature,
                         size_t dataBytes) {
        auto part1 = UrbTransferPart1(9, 0, endpoint, 0);
        std::memcpy(&part1[offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, TransferBufferLength)], &length, 4);
        std::memcpy(&part1[offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, CapturedLength)], &captured, 4);
        std::vector<uint8_t> data(dataBytes, 0x5A);
        std::memcpy(data.data(), signature, data.size() < 4 ? data.size() : 4);
        return RecordBuilder(tag).Function(9).Part1(part1).Part2(data).Build();
    };
    const struct {
        std::vector<uint8_t> record;
        bool cbw;
        bool csw;
        const char* what;
    } rows[] = {
        {Bulk(LogTag::urbI, 0x02, 31, 31, "USBC", 31), true, false, "command wrapper"},
        {Bulk(LogTag::urbC, 0x81, 13, 13, "USBS", 13), false, true, "status wrapper"},
        {Bulk(LogTag::urbI, 0x02, 31, 31, "USBC", 30), false, false, "data cut short"},
        {Bulk(LogTag::urbI, 0x02, 31, 30, "USBC", 31), false, false, "captured length short"},
        {Bulk(LogTag::urbI, 0x02, 32, 32, "USBC", 32), false, false, "not the wrapper's length"},
        {Bulk(LogTag::urbI, 0x82, 31, 31, "USBC", 31), false, false, "IN transfer"},
        {Bulk(LogTag::urbI, 0x02, 31, 31, "USBX", 31), false, false, "no signature"},
        {Bulk(LogTag::urbC, 0x02, 13, 13, "USBS", 13), false, false, "OUT transfer"},
        {Bulk(LogTag::cCnt, 0x81, 13, 13, "USBS", 13), false, false, "continuation of data"},
        {Bulk(LogTag::urbR, 0x81, 13, 13, "USBS", 13), false, false, "returned record"},
    };
    for (const auto& r : rows) {
        const CLogRecordDecode view(r.record.data(), r.record.size());
        EXPECT_EQ(r.cbw, view.FindCbw() != nullptr) << r.what;
        EXPECT_EQ(r.csw, view.FindCsw() != nullptr) << r.what;
        if (r.cbw)
            EXPECT_EQ(0, std::memcmp(view.FindCbw(), "USBC", 4));
    }
}

TEST(RecordFormat, KindColours) {
    constexpr COLORREF kWhite = 0xFFFFFF;
    const struct {
        ULONG tag;
        COLORREF text;
        COLORREF background;
    } rows[] = {
        {LogTag::urbI, kWhite, 0xCB441B},
        {LogTag::iCnt, kWhite, 0xCB441B},
        {LogTag::urbC, 0, 0xF7CBBB},
        {LogTag::cCnt, 0, 0xF7CBBB},
        {LogTag::urbR, 0, 0xF7CBBB},
        {LogTag::hubI, kWhite, 0xF0BA14},
        {LogTag::hubC, 0, 0xFBEBB1},
        {LogTag::hubR, 0, 0xFBEBB1},
        {LogTag::hcdI, kWhite, 0xE3397D},
        {LogTag::hcdC, 0, 0xF9CBDC},
        {LogTag::hcdR, 0, 0xF9CBDC},
        {LogTag::hidI, kWhite, 0x000080},
        {LogTag::hidC, 0, 0xB4B4FF},
        {LogTag::hidR, 0, 0xB4B4FF},
        {LogTag::uinI, kWhite, 0xC000C0},
        {LogTag::uinC, 0, 0xFAB8FA},
        {LogTag::uinR, 0, 0xFAB8FA},
        {LogTag::pnpI, kWhite, 0x05B705},
        {LogTag::pnpC, 0, 0xA5FDA7},
        {LogTag::pnpR, 0, 0xA5FDA7},
        {LogTag::powI, kWhite, 0x0196FF},
        {LogTag::powC, 0, 0x9BD3FF},
        {LogTag::powR, 0, 0x9BD3FF},
        {LogTag::buhI, kWhite, 0xAA965A},
        {LogTag::buhC, 0, 0xE4DFC8},
        {LogTag::khpI, kWhite, 0},
        {LogTag::khpC, 0, 0xC0C0C0},
        {LogTag::atsL, 0, 0xC0C0F6},
        {LogTag::dneL, 0, 0xC0C0F6},
        {LogTag::vedA, 0x0000FF, 0x00FFFF},
        {LogTag::vrdA, 0x0000FF, 0x00FFFF},
        {LogTag::ktsA, 0x0000FF, 0x00FFFF},
        {LogTag::vedR, 0xFF0000, 0xD1FFFF},
        {LogTag::vrdR, 0xFF0000, 0xD1FFFF},
        {LogTag::ktsR, 0xFF0000, 0xD1FFFF},
        // The system's window colours for the rest.
        {LogTag::ctlI, GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW)},
        {LogTag::intR, GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW)},
        {FourCC("zzzI"), GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW)},
    };
    for (const auto& r : rows) {
        const auto record = BuildRecord(r.tag, 0, 0);
        const auto colours = RecordFormat::KindColours(CLogRecordDecode(record.data(), record.size()));
        EXPECT_EQ(r.text, colours.text) << Tag(r.tag);
        EXPECT_EQ(r.background, colours.background) << Tag(r.tag);
    }
    const auto none = RecordFormat::KindColours(CLogRecordDecode());
    EXPECT_EQ(GetSysColor(COLOR_WINDOWTEXT), none.text);
    EXPECT_EQ(GetSysColor(COLOR_WINDOW), none.background);
}

TEST(RecordFormat, HighlightMarksGapsAndTheTriggerRecord) {
    auto gap = RecordBuilder(LogTag::urbI).Sequence(9).Build();
    std::memcpy(gap.data(), "****", 4);
    const auto plain = RecordBuilder(LogTag::urbI).Sequence(9).Build();
    const auto first = RecordBuilder(LogTag::urbI).Sequence(0).Build();
    const COLORREF windowText = GetSysColor(COLOR_WINDOWTEXT);
    const COLORREF window = GetSysColor(COLOR_WINDOW);
    const struct {
        const std::vector<uint8_t>* record;
        ULONG trigger;
        COLORREF text;
        COLORREF background;
        const char* what;
    } rows[] = {
        {&gap, 0, 0x0000FF, 0xFFFFFF, "after a gap"},
        {&gap, 9, 0x0000FF, 0xFFFFFF, "after a gap, also the trigger"},
        {&plain, 9, 0x000000, 0xC0C0F6, "the trigger record"},
        {&plain, 8, windowText, window, "another record"},
        {&first, 0, windowText, window, "no trigger fired"},
    };
    for (const auto& r : rows) {
        const auto colours = RecordFormat::Highlight(CLogRecordDecode(r.record->data(), r.record->size()), r.trigger);
        EXPECT_EQ(r.text, colours.text) << r.what;
        EXPECT_EQ(r.background, colours.background) << r.what;
    }
}

// Every tag's record, cut at each DataSize below its full part 1 and copied to a heap block of exactly the
// cut record's size, gives a text in every column without reading past it.
TEST(RecordFormat, RecordsCutShortStillFormat) {
    DRIVER_NODE driver{};
    std::memcpy(driver.DriverName, "usbhub", 6);
    DEVSTK_NODE stack{};
    std::memcpy(stack.DeviceID, "USB\\ROOT_HUB", 12);
    const struct {
        ULONG tag;
        ULONG function;
        std::vector<uint8_t> part1;
    } records[] = {
        {LogTag::urbI, 9, UrbTransferPart1(9, 0, 0x02, 0)},
        {LogTag::urbC, 10, IsochPart1(1, 1)},
        {LogTag::urbI, 50, UrbTransferPart1(50, 0, 0x80, 1, 0x21)},
        {LogTag::urbC, 27, VendorClassPart1(1, 1)},
        {LogTag::urbI, 8, UrbTransferPart1(8, 0xFF, 0, 1)},
        {LogTag::iCnt, 9, ContinuationPart1(0xFF, 0, 1)},
        {LogTag::cCnt, 50, ContinuationPart1(1, 0x81, 1)},
        {LogTag::vrdA, 0, Bytes(driver)},
        {LogTag::ktsA, 0, Bytes(stack)},
        {LogTag::hidC, 0xB0191, std::vector<uint8_t>(16, 0xEE)},
        {LogTag::pnpC, 0x17, std::vector<uint8_t>(8, 0xEE)},
        {LogTag::buhI, 1, std::vector<uint8_t>(8, 0xEE)},
    };
    const Formatter formatters[] = {
        RecordFormat::Request,      RecordFormat::Direction, RecordFormat::TargetDeviceObject,
        RecordFormat::TargetDevice, RecordFormat::CfgIfcEp,  RecordFormat::IsoErrors,
        RecordFormat::Cbw,          RecordFormat::Csw,       RecordFormat::IrpAddress,
        RecordFormat::IrpStatus};
    for (const auto& r : records) {
        for (size_t size = 0; size <= r.part1.size(); ++size) {
            const auto full = BuildRecord(r.tag, r.function, 0, Cut(r.part1, size));
            std::unique_ptr<uint8_t[]> copy(new uint8_t[full.size()]);
            std::memcpy(copy.get(), full.data(), full.size());
            const CLogRecordDecode view(reinterpret_cast<const _LOGHDR*>(copy.get()), nullptr);
            for (Formatter format : formatters) {
                CString text;
                format(view, text);
                EXPECT_FALSE(text.IsEmpty()) << Tag(r.tag) << " cut at " << size;
            }
            CString elapsed;
            RecordFormat::ElapsedTime(view, 0, 1, RecordFormat::UnitSeconds, elapsed);
            EXPECT_FALSE(elapsed.IsEmpty());
        }
    }
}

} // namespace
