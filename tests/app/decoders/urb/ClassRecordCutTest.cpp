// Every class-request record the hub, HID and printer decoders show, cut at every shorter size in an
// exact-size heap copy, through the pane, the mark-up form and the HTML mode: AddressSanitizer catches a
// read past the bytes, every element opened is closed, and a record shows at most one "Truncated" row.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/ByteReader.h"
#include "common/RecordFrame.h"
#include "tests/app/decoders/urb/ClassRequestRecords.h"
#include "tests/support/DecoderDocument.h"
#include "tests/support/RecordingDataBar.h"

namespace {

using classtest::ClassRecord;

constexpr USHORT kHub = 1;
constexpr USHORT kHid = 2;
constexpr USHORT kPrinter = 4;

ClassRecord Record(USHORT stack, USHORT function, BYTE bmRequestType, BYTE bRequest, USHORT wValue,
                   std::vector<uint8_t> data, ULONG tag = LogTag::urbC) {
    ClassRecord r;
    r.tag = tag;
    r.stack = stack;
    r.function = function;
    r.bmRequestType = function == URB_FUNCTION_CONTROL_TRANSFER_EX ? bmRequestType : 0;
    r.transferFlags = (bmRequestType & 0x80) ? 1 : 0;
    r.bRequest = bRequest;
    r.wValue = wValue;
    r.wIndex = 1;
    r.data = std::move(data);
    return r;
}

std::vector<ClassRecord> Records() {
    constexpr USHORT ex = URB_FUNCTION_CONTROL_TRANSFER_EX;
    const std::vector<uint8_t> hubDescriptor = {9, 0x29, 4, 0x00, 0x00, 0x32, 0x64, 0x00, 0xFF};
    const std::vector<uint8_t> ssDescriptor = {12, 0x2A, 4, 0x00, 0x00, 0x32, 0x64, 0x00, 0x00, 0x00, 0x00, 0x00};
    const std::string idText = "MFG:ACME;MDL:Laser 9;CMD:PCL;";
    std::vector<uint8_t> id = {0x00, static_cast<uint8_t>(idText.size() + 2)};
    id.insert(id.end(), idText.begin(), idText.end());
    std::vector<ClassRecord> records = {
        Record(kHub, URB_FUNCTION_CLASS_DEVICE, 0x80, 0, 0, {0x01, 0x00, 0x02, 0x00}),
        Record(kHub, URB_FUNCTION_CLASS_DEVICE, 0x80, 6, 0x2900, hubDescriptor),
        Record(kHub, URB_FUNCTION_CLASS_DEVICE, 0x00, 7, 0x2A00, ssDescriptor, LogTag::urbI),
        Record(kHub, URB_FUNCTION_CLASS_OTHER, 0x80, 0, 0, {0x03, 0x05, 0xE0, 0xFF}),
        Record(kHub, URB_FUNCTION_CLASS_OTHER, 0x80, 13, 0, {0x07, 0x00}),
        Record(kHub, URB_FUNCTION_CLASS_OTHER, 0x00, 3, 21, {}),
        Record(kHub, ex, 0xA3, 0, 0, {0x03, 0x02, 0x41, 0x00}),
        Record(kHub, ex, 0xA0, 6, 0x2A00, ssDescriptor),
        Record(kHub, ex, 0x23, 8, 0x9A53, {}),
        Record(kHid, URB_FUNCTION_CLASS_INTERFACE, 0x80, 1, 0x0302, {0x02, 0x11, 0x22}),
        Record(kHid, URB_FUNCTION_CLASS_INTERFACE, 0x00, 9, 0x0200, {0x01, 0x02}, LogTag::urbI),
        Record(kHid, URB_FUNCTION_CLASS_INTERFACE, 0x80, 2, 0, {0x7D}),
        Record(kHid, ex, 0xA1, 3, 0, {0x01}),
        Record(kHid, ex, 0x21, 10, 0x7D01, {}),
        Record(kPrinter, URB_FUNCTION_CLASS_INTERFACE, 0x80, 0, 0, id),
        Record(kPrinter, URB_FUNCTION_CLASS_OTHER, 0x80, 0, 0, id),
        Record(kPrinter, URB_FUNCTION_CLASS_INTERFACE, 0x80, 1, 0, {0x18}),
        Record(kPrinter, ex, 0xA1, 0, 0, id),
        Record(kPrinter, ex, 0xE1, 2, 0, {}),
    };
    // A control-ex whose count of carried bytes is larger than what it carries.
    ClassRecord large = Record(kPrinter, ex, 0xA1, 0, 0, id);
    large.captured = 0x10000;
    records.push_back(large);
    return records;
}

TEST(ClassRecordCutTest, EveryCutStaysWithinItsBytes) {
    tdl::test::DecoderDocument document;
    tdl::test::RecordingDataBar bar;
    for (const ClassRecord& r : Records())
        classtest::CheckEveryCut(classtest::Build(r), document.Get());
}

// A class request whose payload stops inside its fixed part is shown as the plain decoder shows it: its
// fields "???" after one "Truncated" row.
TEST(ClassRecordCutTest, ShortFixedPartGoesToTheInheritedSlot) {
    tdl::test::DecoderDocument document;
    for (const ClassRecord& r : {Record(kHub, URB_FUNCTION_CLASS_OTHER, 0x80, 0, 0, {}),
                                 Record(kHid, URB_FUNCTION_CONTROL_TRANSFER_EX, 0xA1, 1, 0, {})}) {
        std::vector<uint8_t> record = classtest::Build(r);
        const ULONG full = LogHdr::DataSize(record.data());
        record.resize(LOGHDR_SIZE + full - 4);
        tdl::StoreLe<ULONG>(record.data() + offsetof(_LOGHDR, DataSize), full - 4);
        const std::string shown = classtest::Shown(record, document.Get());
        EXPECT_TRUE(classtest::Has(shown, "Truncated = ")) << shown;
        EXPECT_TRUE(classtest::Has(shown, "???")) << shown;
        EXPECT_FALSE(classtest::Has(shown, "Hub Class")) << shown;
        EXPECT_FALSE(classtest::Has(shown, "HID Class")) << shown;
    }
}

} // namespace
