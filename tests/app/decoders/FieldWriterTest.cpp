// The field writer of the record decoders: value texts by format and mode, fields and sections in each
// medium, the short-record rule and the data bar.
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/decoders/framework/FieldWriter.h"
#include "common/RecordTags.h"
#include "tests/support/RecordBuilder.h"
#include "tests/support/RecordCopy.h"
#include "tests/support/RecordingDataBar.h"
#include "tests/support/RecordingOutputImp.h"

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) {
    std::vector<uint8_t> bytes;
    for (int v : values)
        bytes.push_back(static_cast<uint8_t>(v));
    return bytes;
}

// A decoder over a "hidC" record with the payload, writing into a recording back-end.
class KitRun {
public:
    explicit KitRun(const std::vector<uint8_t>& payload, bool oddAddress = false)
        : m_record(tdl::test::RecordBuilder(LogTag::hidC).Sequence(42).Part1(payload).Build()),
          m_copy(m_record, static_cast<ULONG>(payload.size()), oddAddress),
          m_decoder(&m_calls, nullptr, m_copy.Header()) {}

    LogOutputer& Decoder() { return m_decoder; }
    std::string Calls() const { return m_calls.Text(); }

private:
    std::vector<uint8_t> m_record;
    tdl::test::RecordCopy m_copy;
    tdl::test::RecordingOutputImp m_calls;
    LogOutputer m_decoder;
};

TEST(FieldWriterTest, ValueTextsByWidthAndMode) {
    struct Case {
        FieldFormat width;
        ULONG64 value;
        const char* grid;
        const char* markup;
    } cases[] = {
        {FieldFormat::Hex2, 0x5, "0x05", "05"},
        {FieldFormat::Hex2, 0x1234, "0x1234", "1234"}, // a wider value keeps its digits
        {FieldFormat::Hex4, 0x409, "0x0409", "0409"},
        {FieldFormat::Hex8, 0x1, "0x00000001", "00000001"},
        {FieldFormat::Short, 0x1, "0x1", "00000001"},
        {FieldFormat::Short, 0xC0000010, "0xc0000010", "c0000010"},
        {FieldFormat::Hex64, 0xFFFFA80012340000, "0xffffa80012340000", "ffffa80012340000"},
        {FieldFormat::Hex64, 0, "0x0", "0"},
    };
    KitRun run(Bytes({}));
    const auto text = [&](int mode, FieldFormat format, ULONG64 value) {
        return std::string(FieldWriter(run.Decoder(), mode).Number(format, value));
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.grid, text(OUTPUT_MODE_GRID, c.width, c.value)) << c.grid;
        EXPECT_EQ(c.markup, text(OUTPUT_MODE_XML, c.width, c.value)) << c.grid;
        EXPECT_EQ(c.markup, text(OUTPUT_MODE_HTML, c.width, c.value)) << c.grid;
    }
    EXPECT_EQ("TRUE", std::string(FieldBoolText(true)));
    EXPECT_EQ("FALSE", std::string(FieldBoolText(false)));
    const BYTE bytes[] = {0x00, 0xAB, 0x0F};
    EXPECT_EQ("00ab0f", std::string(FieldHexText(bytes, 3)));
    EXPECT_EQ("", std::string(FieldHexText(bytes, 0)));
}

TEST(FieldWriterTest, WideTextEndsAtItsZeroOrAtTheBytesEnd) {
    struct Case {
        std::vector<uint8_t> bytes;
        const char* text;
    } cases[] = {
        {Bytes({'H', 0, 'I', 0, 0, 0, 'X', 0}), "HI"},
        {Bytes({'H', 0, 'I', 0}), "HI"},
        {Bytes({'H', 0, 'I', 0, 'D'}), "HI"}, // an odd last byte is no character
        {Bytes({0, 0, 'X', 0}), ""},
        {Bytes({'A'}), ""},
        {Bytes({}), ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.text, std::string(FieldWideText(c.bytes.data(), c.bytes.size()))) << c.text;
}

TEST(FieldWriterTest, FieldsInEachMedium) {
    const char* expected[] = {
        // mode 0: mark-up values
        "WriteValue|Size|00000008\n"
        "WriteValueWithAttribute|PollingFrequency|00000008|Units|ms.\n"
        "WriteValue|Address|???\n"
        "WriteValueWithAttribute|UserRequest|00000001|Name|USBUSER_GET_CONTROLLER_INFO_0\n"
        "WriteValue|Flavor|???\n",
        // mode 1: grid items, "0x" on numbers
        "AddItem|Size|0x00000008|-\n"
        "AddItem|PollingFrequency (ms.)|0x00000008|\n"
        "AddItem|Address|???|-\n"
        "AddItem|UserRequest|USBUSER_GET_CONTROLLER_INFO_0 (0x1)|-\n"
        "AddItem|Flavor|???|-\n",
        // mode 2: grid items the HTML back-end ignores; the named code not even that
        "AddItem|Size|00000008|-\n"
        "AddItem|PollingFrequency (ms.)|00000008|\n"
        "AddItem|Address|???|-\n"
        "AddItem|Flavor|???|-\n",
    };
    for (int mode = 0; mode <= 2; ++mode) {
        KitRun run(Bytes({8, 0, 0, 0}));
        FieldWriter fields(run.Decoder(), mode);
        EXPECT_TRUE(fields.ValueField("Size", FieldFormat::Hex8, 0));
        fields.AttributedField({"PollingFrequency", "PollingFrequency (ms.)"}, fields.Text(FieldFormat::Hex8, 8),
                               "Units", "ms.", "");
        // Past the needed bytes (none here): "???" and no defect.
        EXPECT_FALSE(fields.ValueField("Address", FieldFormat::Hex64, 4));
        fields.CodeField("UserRequest", 1, "USBUSER_GET_CONTROLLER_INFO_0");
        fields.CodeField("Flavor", 0, "", false);
        EXPECT_EQ(expected[mode], run.Calls()) << mode;
    }
}

TEST(FieldWriterTest, SectionsInEachMedium) {
    const char* expected[] = {
        "BeginElement|HIDIoctl-OutputParameters\n"
        "WriteValue|OutputBufferLength|00000002\n"
        "EndElement\n"
        "BeginElement|HIDIoctl-GetReport\n"
        "EndElement\n"
        "EndGroup\n"
        "EndGroup\n",
        "BeginCategory|Get Feature Report\n"
        "BeginValueGroup|Output Parameters|\n"
        "AddItem|OutputBufferLength|0x00000002|-\n"
        "ExpandCurrent\n"
        "EndGroup\n"
        "BeginValueGroup|HID Feature Report|\n"
        "ExpandCurrent\n"
        "EndGroup\n"
        "ExpandCurrent\n"
        "EndGroup\n"
        "BeginCategory|Flush Queue\n"
        "ExpandCurrent\n"
        "EndGroup\n",
        "BeginCategory|Get Feature Report\n"
        "AddItem|OutputBufferLength|00000002|-\n"
        "BeginValueGroup|HID Feature Report|\n"
        "ExpandCurrent\n"
        "EndGroup\n"
        "ExpandCurrent\n"
        "EndGroup\n",
    };
    for (int mode = 0; mode <= 2; ++mode) {
        KitRun run(Bytes({2, 0, 0, 0}));
        FieldWriter fields(run.Decoder(), mode);
        fields.Open(FieldSection::Category, {"HIDIoctl-OutputParameters", "Get Feature Report"});
        fields.Open(FieldSection::GridGroup, "Output Parameters");
        fields.ValueField("OutputBufferLength", FieldFormat::Hex8, 0);
        fields.Close(FieldSection::GridGroup);
        fields.EndSectionMarkup();
        fields.Open(FieldSection::Block, {"HIDIoctl-GetReport", "HID Feature Report"});
        fields.Close(FieldSection::Block);
        fields.Close(FieldSection::Category);
        fields.EmptyCategory("Flush Queue");
        EXPECT_EQ(expected[mode], run.Calls()) << mode;
    }
}

TEST(FieldWriterTest, CutRecordShowsOneTruncationAtItsFirstMissingField) {
    // Ten bytes of a 16-byte block, at an odd address: the u64 at +8 is cut.
    const std::vector<uint8_t> payload = Bytes({0x10, 0, 0, 0, 0x05, 0, 0, 0, 0xAA, 0xBB});
    KitRun run(payload, true);
    FieldWriter fields(run.Decoder(), OUTPUT_MODE_GRID, 16);
    fields.ValueField("OutputBufferLength", FieldFormat::Hex8, 0);
    fields.ValueField("MdlAddress", FieldFormat::Hex64, 8);
    fields.ValueField("reportId", FieldFormat::Hex2, 4);
    fields.ValueField("Again", FieldFormat::Hex64, 8);
    fields.EndOfBlock();
    EXPECT_EQ("AddItem|OutputBufferLength|0x00000010|-\n"
              "AddReadOnlyItem|Truncated|10 of 16 payload bytes\n"
              "AddItem|MdlAddress|???|-\n"
              "AddItem|reportId|0x05|-\n"
              "AddItem|Again|???|-\n",
              run.Calls());
}

TEST(FieldWriterTest, BlockEndingShortWithEveryFieldThereStillSaysSo) {
    KitRun run(Bytes({1, 0, 0, 0, 2, 0}));
    FieldWriter fields(run.Decoder(), OUTPUT_MODE_XML, 8);
    fields.ValueField("Size", FieldFormat::Hex8, 0);
    fields.ValueField("Count", FieldFormat::Hex4, 4);
    fields.EndOfBlock();
    fields.EndOfBlock();
    EXPECT_EQ("WriteValue|Size|00000001\n"
              "WriteValue|Count|0002\n"
              "WriteValue|Truncated|6 of 8 payload bytes\n",
              run.Calls());
}

TEST(FieldWriterTest, CountsReachingPastThePayloadAreBoundedAndCut) {
    KitRun run(Bytes({1, 2, 3, 4, 5, 6, 7}));
    FieldWriter fields(run.Decoder(), OUTPUT_MODE_GRID);
    EXPECT_EQ(2u, fields.CountWithin(2, 2, 2));
    EXPECT_EQ("", run.Calls());
    EXPECT_EQ(2u, fields.CountWithin(2, 5, 2));
    EXPECT_EQ(0u, fields.CountWithin(9, 1, 4));
    EXPECT_EQ("AddReadOnlyItem|Truncated|7 of 12 payload bytes\n", run.Calls());
    EXPECT_EQ(0u, fields.BytesFrom(7));
    EXPECT_EQ(nullptr, fields.DataAt(7));
    EXPECT_EQ(3u, fields.BytesFrom(4));
}

TEST(FieldWriterTest, BufferReachesTheDataBarWhenItsGroupCloses) {
    const std::vector<uint8_t> payload = Bytes({0x11, 0x22, 0x33});
    for (int mode = 0; mode <= 2; ++mode) {
        tdl::test::RecordingDataBar bar;
        KitRun run(payload);
        FieldWriter fields(run.Decoder(), mode);
        fields.Open(FieldSection::Block, {"HIDIoctl-GetReport", "HID Input Report"});
        fields.BufferItem("reportBuffer", fields.DataAt(0), fields.BytesFrom(0), "HID Input Report (Output)");
        EXPECT_EQ(0, bar.Buffers());
        fields.Close(FieldSection::Block);
        if (mode != OUTPUT_MODE_GRID) {
            EXPECT_EQ(0, bar.Buffers()) << mode;
            continue;
        }
        EXPECT_EQ(1, bar.Buffers());
        EXPECT_EQ("  HID Input Report (Output) - record #42                   (3 of 3 bytes)", bar.Title());
        EXPECT_EQ(payload, bar.Bytes());
        EXPECT_EQ("BeginValueGroup|HID Input Report|\n"
                  "AddDataBufferItem|reportBuffer\n"
                  "ExpandCurrent\n"
                  "EndGroup\n",
                  run.Calls());
    }
    // No bytes: the item alone.
    tdl::test::RecordingDataBar bar;
    KitRun run(Bytes({}));
    FieldWriter fields(run.Decoder(), OUTPUT_MODE_GRID);
    fields.Open(FieldSection::GridGroup, "Indexed String");
    fields.BufferItem("stringBuffer", fields.DataAt(0), 0, "String_1 (Output)");
    fields.Close(FieldSection::GridGroup);
    EXPECT_EQ(0, bar.Buffers());
}

} // namespace
