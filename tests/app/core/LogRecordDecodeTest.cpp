#include "app/core/records/LogRecordDecode.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "tests/support/RecordBuilder.h"

namespace {

using tdl::test::BuildRecord;
using tdl::test::ContinuationPart1;
using tdl::test::RecordBuilder;
using tdl::test::UrbTransferPart1;

CLogRecordDecode View(const std::vector<uint8_t>& record) {
    return CLogRecordDecode(record.data(), record.size());
}

TEST(LogRecordDecode, PhasePredicatesAndTextsByTag) {
    const struct {
        ULONG tag; // 0: no record
        bool input, output, transfer;
        const char* type;
        const char* disposition;
    } rows[] = {
        {0, true, true, true, " ???", "none"},
        {LogTag::urbI, true, false, false, " URB", "init"},
        {LogTag::urbR, false, false, true, " URB*", " ret"},
        {LogTag::urbC, false, true, false, " URB", "comp"},
        {LogTag::iCnt, false, false, false, " XFR", "init"},
        {LogTag::cCnt, false, true, false, " XFR", "comp"},
        {LogTag::hubR, false, false, true, " HUB*", " ret"},
        {LogTag::hidC, false, true, false, " HID", "comp"},
        {LogTag::hcdI, true, false, false, " HCD", "init"},
        {LogTag::uinR, false, false, true, " USBINT*", " ret"},
        {LogTag::ctlC, false, true, false, " IOCTL", "comp"},
        {LogTag::intR, false, false, true, " INTRN*", " ret"},
        {LogTag::pnpI, true, false, false, " PNP", "init"},
        {LogTag::powR, false, false, true, " PWR*", " ret"},
        {LogTag::buhC, false, true, false, " IHUB", "comp"},
        {LogTag::khpI, true, false, false, " MPORT", "init"},
        {LogTag::atsL, true, true, true, " BEGIN", "init"},
        {LogTag::dneL, true, true, true, " END", "comp"},
        {LogTag::vedA, true, true, true, " DEV", "arrive"},
        {LogTag::vrdR, true, true, true, " DRV", "remove"},
        {LogTag::ktsA, true, true, true, " STK", "arrive"},
        // Tags the view does not know answer true to every phase.
        {FourCC("buhR"), true, true, true, " ???", "none"},
        {FourCC("zzzI"), true, true, true, " ???", "none"},
    };
    for (const auto& r : rows) {
        const auto bytes = BuildRecord(r.tag, 0, 0);
        const CLogRecordDecode view = r.tag ? View(bytes) : CLogRecordDecode();
        const std::string name = r.tag ? std::string(reinterpret_cast<const char*>(&r.tag), 4) : "no record";
        EXPECT_EQ(bool(view.HasInputData()), r.input) << name;
        EXPECT_EQ(bool(view.HasOutputData()), r.output) << name;
        EXPECT_EQ(bool(view.HasTransferData()), r.transfer) << name;
        LPCSTR type = nullptr;
        LPCSTR disposition = nullptr;
        view.GetTypeAndDisposition(type, disposition);
        EXPECT_STREQ(type, r.type) << name;
        EXPECT_STREQ(disposition, r.disposition) << name;
        CString typeText, dispositionText;
        view.GetTypeAndDisposition(typeText, dispositionText);
        EXPECT_STREQ(typeText, r.type) << name;
        EXPECT_STREQ(dispositionText, r.disposition) << name;
    }
}

TEST(LogRecordDecode, FunctionWordAccessors) {
    // A "urbR" of a synchronous CLASS_INTERFACE request: IN, bRequest 1.
    const auto record = BuildRecord(LogTag::urbR, 0x01A1201B, 0);
    const CLogRecordDecode view = View(record);
    EXPECT_EQ(view.GetFunctionCode(), 27u);
    EXPECT_TRUE(view.IsSynchronous());
    EXPECT_EQ(view.GetFunctionRequestType(), static_cast<signed char>(0xA1));
    EXPECT_EQ(view.GetFunctionRequest(), 1);
    EXPECT_TRUE(view.IsUrbRecord());
    EXPECT_FALSE(View(BuildRecord(LogTag::hubC, 0x220408, 0)).IsUrbRecord());
    EXPECT_FALSE(CLogRecordDecode().IsUrbRecord());
    EXPECT_EQ(CLogRecordDecode().GetFunctionCode(), 0u);
}

TEST(LogRecordDecode, DirectionOfUrbAndContinuationRecords) {
    const struct {
        const char* what;
        std::vector<uint8_t> record;
        bool carried, in;
    } rows[] = {
        {"endpoint 0x81", RecordBuilder(LogTag::urbC).Function(9).Part1(UrbTransferPart1(9, 0, 0x81, 0)).Build(), true,
         true},
        {"endpoint 0x02, IN flag ignored",
         RecordBuilder(LogTag::urbI).Function(9).Part1(UrbTransferPart1(9, 1, 0x02, 1)).Build(), true, false},
        {"unknown pipe, IN flag",
         RecordBuilder(LogTag::urbC).Function(10).Part1(UrbTransferPart1(10, 0xFF, 0, 1)).Build(), true, true},
        {"unknown pipe, no IN flag",
         RecordBuilder(LogTag::urbC).Function(8).Part1(UrbTransferPart1(8, 0xFF, 0x80, 0)).Build(), true, false},
        {"cCnt, unknown pipe, IN flag",
         RecordBuilder(LogTag::cCnt).Function(9).Part1(ContinuationPart1(0xFF, 0xFF, 1)).Build(), true, true},
        {"cCnt, unknown pipe, no flag",
         RecordBuilder(LogTag::cCnt).Function(9).Part1(ContinuationPart1(0xFF, 0xFF, 0)).Build(), true, false},
        {"iCnt, endpoint 0x83", RecordBuilder(LogTag::iCnt).Function(9).Part1(ContinuationPart1(0, 0x83, 0)).Build(),
         true, true},
        // A control transfer on a non-zero endpoint is recorded without the direction bit: the flags decide.
        {"control on endpoint 2, IN flag",
         RecordBuilder(LogTag::urbC).Function(8).Part1(UrbTransferPart1(8, 0, 0x02, 1)).Build(), true, true},
        {"control-ex on endpoint 0x82, no IN flag",
         RecordBuilder(LogTag::urbI).Function(50).Part1(UrbTransferPart1(50, 0, 0x82, 0)).Build(), true, false},
        {"control on endpoint 0, IN flag ignored",
         RecordBuilder(LogTag::urbC).Function(8).Part1(UrbTransferPart1(8, 0, 0x00, 1)).Build(), true, false},
        {"cCnt of a control transfer on endpoint 2, IN flag",
         RecordBuilder(LogTag::cCnt).Function(8).Part1(ContinuationPart1(0, 0x02, 1)).Build(), true, true},
        {"urbR is header only", BuildRecord(LogTag::urbR, 0x00800008, 0), false, false},
        {"not a URB record", BuildRecord(LogTag::hidC, 0xB0190, 0, UrbTransferPart1(9, 0, 0x81, 0)), false, false},
        {"payload too short", BuildRecord(LogTag::urbC, 9, 0, std::vector<uint8_t>(17)), false, false},
    };
    for (const auto& r : rows) {
        const CLogRecordDecode view = View(r.record);
        bool in = !r.in;
        EXPECT_EQ(view.TryGetDirectionIn(in), r.carried) << r.what;
        if (r.carried) {
            EXPECT_EQ(in, r.in) << r.what;
        }
        EXPECT_EQ(bool(view.IsDirectionIn()), r.carried && r.in) << r.what;
        EXPECT_EQ(bool(view.IsDirectionInForSchema(9)), bool(view.IsDirectionIn())) << r.what;
    }
}

TEST(LogRecordDecode, ReadsStopAtDataSize) {
    // The bytes after a short DataSize (here the pipe block) belong to the next record: not to be read.
    auto record = RecordBuilder(LogTag::urbC).Function(9).Part1(UrbTransferPart1(9, 0, 0x81, 0)).Build();
    tdl::StoreLe<ULONG>(record.data() + offsetof(_LOGHDR, DataSize), 17);
    const CLogRecordDecode view = View(record);
    EXPECT_EQ(view.GetPayload().size(), 17u);
    bool in = false;
    EXPECT_FALSE(view.TryGetDirectionIn(in));
    UCHAR byte = 0;
    EXPECT_TRUE(view.ReadPayload(16, byte));
    EXPECT_FALSE(view.ReadPayload(17, byte));

    // The header-trusting constructor spans exactly 64 + DataSize bytes.
    const CLogRecordDecode whole(reinterpret_cast<const _LOGHDR*>(record.data()), nullptr);
    EXPECT_EQ(whole.GetPayload().size(), 17u);
    EXPECT_FALSE(CLogRecordDecode(static_cast<const _LOGHDR*>(nullptr), nullptr).HasRecord());
}

// Every accessor over every prefix of a record, each in an exact-size heap copy: AddressSanitizer reports
// any read past the bytes given.
TEST(LogRecordDecode, TruncatedRecordsAreNeverReadPast) {
    const std::vector<std::vector<uint8_t>> records = {
        RecordBuilder(LogTag::urbC).Function(50).Part1(UrbTransferPart1(50, 0xFF, 0x80, 1, 0x80)).Build(),
        RecordBuilder(LogTag::cCnt).Function(9).Part1(ContinuationPart1(0xFF, 0xFF, 1)).Build(),
        RecordBuilder(LogTag::urbI).Function(10).Part1(UrbTransferPart1(10, 2, 0x03, 0)).Build(),
    };
    for (const auto& record : records) {
        for (size_t length = 0; length <= record.size(); ++length) {
            std::unique_ptr<uint8_t[]> copy(new uint8_t[length ? length : 1]);
            std::memcpy(copy.get(), record.data(), length);
            const CLogRecordDecode view(copy.get(), length);
            EXPECT_EQ(view.HasRecord(), length >= 64);
            EXPECT_LE(view.GetPayload().size(), length > 64 ? length - 64 : 0);
            bool in = false;
            (void)view.TryGetDirectionIn(in);
            (void)view.IsDirectionIn();
            (void)view.HasInputData();
            (void)view.HasOutputData();
            (void)view.HasTransferData();
            (void)view.GetFunctionCode();
            (void)view.IsUrbRecord();
            LPCSTR type, disposition;
            view.GetTypeAndDisposition(type, disposition);
        }
    }
}

TEST(LogRecordDecode, HeaderFieldsAtTheirOffsets) {
    RecordBuilder builder(LogTag::urbC);
    builder.TimeStamp(-0x0102030405060708LL).DeviceObject(0xFFFF800012345678ULL).Irp(0xFFFF8000ABCDEF00ULL);
    builder.Header().StackCount = 7;
    builder.Header().CurrentLocation = 0xFF; // an IRP past its last stack location
    builder.Header().StackLocation = 0x1122334455667788ULL;
    const auto bytes = builder.Build();
    const CLogRecordDecode view = View(bytes);
    EXPECT_EQ(-0x0102030405060708LL, view.GetTimeStamp());
    EXPECT_EQ(0xFFFF800012345678ULL, view.GetDeviceObject());
    EXPECT_EQ(0xFFFF8000ABCDEF00ULL, view.GetIrp());
    EXPECT_EQ(0x1122334455667788ULL, view.GetStackLocation());
    EXPECT_EQ(7, view.GetStackCount());
    EXPECT_EQ(-1, view.GetCurrentLocation());

    const CLogRecordDecode none;
    EXPECT_EQ(0, none.GetTimeStamp());
    EXPECT_EQ(0u, none.GetDeviceObject());
    EXPECT_EQ(0u, none.GetIrp());
}

} // namespace
