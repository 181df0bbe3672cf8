#include "app/widgets/DumpText.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

// An exact-size heap copy, so that a read past the end is caught by the address sanitizer.
struct Buffer {
    explicit Buffer(std::vector<uint8_t> bytes)
        : size(bytes.size()), data(new uint8_t[bytes.size() ? bytes.size() : 1]) {
        std::copy(bytes.begin(), bytes.end(), data.get());
    }
    DumpBytes View(bool word = false, bool little = false) const { return {data.get(), size, word, little}; }
    size_t size;
    std::unique_ptr<uint8_t[]> data;
};

TEST(DumpText, ValueReadsFollowOrderWidthModeAndStopAtTheEnd) {
    const Buffer b({0x12, 0x34, 0x56, 0x78, 0x9A});
    struct Case {
        bool word, littleDefault;
        int64_t element;
        int order, width;
        uint32_t value;
        bool ok;
    } cases[] = {
        {false, false, 0, DUMP_ORDER_DEFAULT, 0, 0x12, true},
        {false, false, 1, DUMP_ORDER_DEFAULT, 2, 0x3456, true},
        {false, true, 1, DUMP_ORDER_DEFAULT, 2, 0x5634, true},
        {false, false, 1, DUMP_ORDER_LITTLE, 2, 0x5634, true},
        {false, true, 1, DUMP_ORDER_BIG, 2, 0x3456, true},
        {false, false, 0, DUMP_ORDER_BIG, 4, 0x12345678, true},
        {false, false, 0, DUMP_ORDER_LITTLE, 4, 0x78563412, true},
        {true, false, 1, DUMP_ORDER_DEFAULT, 0, 0x5678, true}, // word mode: byte position x 2, width 2
        {true, true, 0, DUMP_ORDER_DEFAULT, 0, 0x3412, true},
        {true, false, 2, DUMP_ORDER_DEFAULT, 0, 0x9A, true}, // the odd trailing byte alone
        {false, false, 3, DUMP_ORDER_BIG, 4, 0x789A, true},  // a width past the end uses what is there
        {false, false, 4, DUMP_ORDER_LITTLE, 4, 0x9A, true},
        {false, false, 5, DUMP_ORDER_DEFAULT, 0, 0, false},
        {false, false, -1, DUMP_ORDER_DEFAULT, 0, 0, false},
        {true, false, 3, DUMP_ORDER_DEFAULT, 0, 0, false},
    };
    for (const Case& c : cases) {
        bool ok = !c.ok;
        EXPECT_EQ(ReadDumpValue(b.View(c.word, c.littleDefault), c.element, c.order, c.width, &ok), c.value)
            << c.element << " order " << c.order << " width " << c.width << " word " << c.word;
        EXPECT_EQ(ok, c.ok) << c.element;
    }
}

TEST(DumpText, TooltipDirectives) {
    const Buffer b({0x41, 0x01, 0xFF, 0x10, 0x02});
    struct Case {
        const char* format;
        int64_t element;
        const char* tip;
    } cases[] = {
        {"", 0, ""},
        {"%H", 0, "41"},
        {"%D", 2, "255"},
        {"%B", 1, "00000001"},
        {"%2B", 0, "01000001-00000001"},
        {"%O", 2, "377"},
        {"%A", 0, "A"},
        {"%A", 1, "."},    // the replacement character
        {"%R", 3, "0003"}, // two bytes: half the four offset digits
        {"%3R", 3, "000003"},
        {"%2H", 0, "4101"},
        {"%-2H", 0, "0141"},
        {"%+2H", 0, "4101"},
        {"%+4H", 3, "00001002"}, // at the end only the bytes present are read
        {"%4H", 4, "00000002"},
        {"a%nb", 0, "a\r\nb"},
        {"%t|", 0, "    |"},
        {"ab%t|", 0, "ab  |"},
        {"abc%t|", 0, "abc |"},
        {"x%nabcd%t|", 0, "x\r\nabcd    |"},
        {"%%", 0, "%"},
        {"%Z!", 0, "Z!"},
        {"50%", 0, "50%"}, // cut off: copied as written
        {"v=%+2", 0, "v=%+2"},
    };
    for (const Case& c : cases) {
        DumpTipContext ctx;
        ctx.bytes = b.View();
        ctx.element = c.element;
        ctx.nonPrintable = '.';
        EXPECT_EQ(FormatDumpTip(c.format, ctx), c.tip) << c.format;
    }
}

TEST(DumpText, CharactersWithNothingToShowTakeTheReplacementOrABlank) {
    struct Case {
        uint32_t value;
        const char* replaced; // with '.' as the replacement
        const char* bare;     // with none
    } cases[] = {
        {0x41, "A", "A"},       {0x141, "A", "A"}, // the low byte
        {0x00, ".", " "},       {0x1F, ".", " "},       {0x7F, ".", " "},       {0x81, ".", " "},
        {0x8D, ".", " "},       {0x8F, ".", " "},       {0x90, ".", " "},       {0x9D, ".", " "},
        {0x80, "\x80", "\x80"}, {0x9F, "\x9F", "\x9F"}, {0xA0, "\xA0", "\xA0"}, {0xFF, "\xFF", "\xFF"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DumpCharText(c.value, '.'), c.replaced) << c.value;
        EXPECT_EQ(DumpCharText(c.value, 0), c.bare) << c.value;
    }
}

TEST(DumpText, EditorRangesLengthsAndTexts) {
    struct Case {
        int mode, width;
        uint32_t value;
        uint32_t minimum, maximum;
        const char* text;
        int maxChars;
    } cases[] = {
        {NUMEDIT_DEC, 1, 200, 0, 0, "200", 3},
        {NUMEDIT_HEX, 1, 0x0A, 0, 0, "0A", 2},
        {NUMEDIT_HEX, 2, 0x0A, 0, 0, "000A", 4},
        {NUMEDIT_BIN, 1, 5, 0, 0, "00000101", 8},
        {NUMEDIT_BIN, 2, 0x1FF, 0, 0, "00000001-11111111", 17},
        {NUMEDIT_OCT, 1, 8, 0, 0, "10", 3},
        {NUMEDIT_CHAR, 1, 'z', 0, 0, "z", 1},
        {NUMEDIT_CHAR, 1, 7, 0, 0, ".", 1},
        {NUMEDIT_HEX, 0, 0x1234, 0x2000, 0x1000, "1234", 4}, // the go-to: bounds swapped when reversed
    };
    for (const Case& c : cases) {
        const NumEditRange r = NumEditRangeFor(c.width, c.minimum, c.maximum);
        EXPECT_LE(r.minimum, r.maximum);
        EXPECT_EQ(NumEditText(c.mode, c.value, r.maximum), c.text) << c.mode << " " << c.value;
        EXPECT_EQ(NumEditMaxChars(c.mode, r.maximum), c.maxChars) << c.mode << " " << c.value;
    }
}

TEST(DumpText, EditorAcceptsOnlyItsModesDigits) {
    struct Case {
        int mode;
        const char* accepted;
        const char* refused;
    } cases[] = {
        {NUMEDIT_DEC, "0123456789\b", "aA-x"},
        {NUMEDIT_HEX, "09afAF\x01", "gG-x"},
        {NUMEDIT_BIN, "01\b", "2-a"},
        {NUMEDIT_OCT, "07", "89a"},
        {NUMEDIT_CHAR, "a~ 9", ""},
    };
    for (const Case& c : cases) {
        for (const char* p = c.accepted; *p; ++p)
            EXPECT_TRUE(NumEditAccepts(c.mode, *p)) << c.mode << " " << *p;
        for (const char* p = c.refused; *p; ++p)
            EXPECT_FALSE(NumEditAccepts(c.mode, *p)) << c.mode << " " << *p;
    }
}

TEST(DumpText, EditorParsesAsThe32BitStrtoul) {
    struct Case {
        int mode;
        const char* text;
        uint32_t value;
        bool overflow;
    } cases[] = {
        {NUMEDIT_DEC, "255", 255, false},
        {NUMEDIT_DEC, "", 0, false},
        {NUMEDIT_DEC, "12ab", 12, false},
        {NUMEDIT_DEC, "4294967295", 0xFFFFFFFF, false},
        {NUMEDIT_DEC, "4294967296", 0xFFFFFFFF, true}, // saturates; never wraps back to 0
        {NUMEDIT_DEC, "99999999999999999999255", 0xFFFFFFFF, true},
        {NUMEDIT_HEX, "1fF", 0x1FF, false},
        {NUMEDIT_HEX, "0x10", 0x10, false},
        {NUMEDIT_HEX, "100000000", 0xFFFFFFFF, true},
        {NUMEDIT_BIN, "00000001-00000000", 256, false},
        {NUMEDIT_BIN, "101", 5, false},
        {NUMEDIT_OCT, "777", 511, false},
        {NUMEDIT_CHAR, "A", 65, false},
        {NUMEDIT_CHAR, "", 0, false},
        {NUMEDIT_CHAR, "\xE9", 0xE9, false},
    };
    for (const Case& c : cases) {
        const NumEditParse p = ParseNumEditText(c.mode, c.text);
        EXPECT_EQ(p.value, c.value) << c.mode << " " << c.text;
        EXPECT_EQ(p.overflow, c.overflow) << c.mode << " " << c.text;
    }
}

} // namespace
