// String descriptors: the language list, the operating-system string, text in the program's character set,
// and lengths that disagree with the bytes.
#include <gtest/gtest.h>

#include "DescTestSupport.h"
#include "app/decoders/descriptors/StringDescOutputer.h"
#include "app/decoders/descriptors/StringText.h"

namespace {

using namespace desc_test;

std::string String(int mode, UCHAR index, const Bytes& bytes) {
    return Emit(bytes, [&](OutputerImp* out, const BYTE* p, ULONG n) {
        StringDescOutputer(out, nullptr, p, index, n).Output(mode, "String", "STRING");
    });
}

// A string descriptor of UTF-16 units.
Bytes StringOf(std::u16string_view units) {
    Bytes bytes = {static_cast<BYTE>(2 + 2 * units.size()), 0x03};
    for (char16_t unit : units) {
        bytes.push_back(static_cast<BYTE>(unit));
        bytes.push_back(static_cast<BYTE>(unit >> 8));
    }
    return bytes;
}

TEST(StringDescOutputerTest, LanguageList) {
    const Bytes languages = {0x04, 0x03, 0x09, 0x04};
    EXPECT_EQ("BeginValueGroup|String|STRING\n"
              "AddItem|bLength|0x04|-\n"
              "AddItem|bDescriptorType|0x03 (STRING)|-\n"
              "AddItem|LANGID|0x0409|-\n"
              "ExpandCurrent\n"
              "EndGroup\n",
              String(OUTPUT_MODE_GRID, 0, languages));
    EXPECT_TRUE(HasLine(String(OUTPUT_MODE_XML, 0, languages), "WriteValue|LANGID|0409"));
    EXPECT_TRUE(HasLine(String(OUTPUT_MODE_HTML, 0, languages), "WriteValue|LANGID|0x0409"));
    // An odd bLength shows the word across its end; a bLength beyond the bytes shows only what is there.
    const std::string odd = String(OUTPUT_MODE_XML, 0, {0x05, 0x03, 0x09, 0x04, 0x07, 0x04});
    EXPECT_TRUE(HasLine(odd, "WriteValue|LANGID|0407")) << odd;
    const std::string cut = String(OUTPUT_MODE_XML, 0, {0x08, 0x03, 0x09, 0x04, 0x07});
    EXPECT_TRUE(HasLine(cut, "WriteValue|LANGID|0409"));
    EXPECT_EQ(std::string::npos, cut.find("LANGID|07"));
}

TEST(StringDescOutputerTest, OperatingSystemStringOnlyAtItsIndexAndLength) {
    Bytes os = StringOf(u"ABCD100");
    os.push_back(0x20);
    os.push_back(0x00);
    os[0] = 18;
    ASSERT_EQ(18u, os.size());
    EXPECT_EQ("BeginElement|String\n"
              "WriteValue|bLength|12\n"
              "WriteValueWithAttribute|bDescriptorType|03|Name|MS OS STRING\n"
              "WriteValue|MicrosoftString|ABCD100\n"
              "WriteValue|bVendorCode|20\n"
              "WriteValue|bFlags|00\n"
              "EndElement\n",
              String(OUTPUT_MODE_XML, 0xEE, os));
    // Another index, or the same index with another length, is an ordinary string.
    EXPECT_TRUE(HasLine(String(OUTPUT_MODE_GRID, 4, os), "AddItem|bDescriptorType|0x03 (STRING)|-"));
    const std::string shortOs = String(OUTPUT_MODE_HTML, 0xEE, StringOf(u"ABCD"));
    EXPECT_TRUE(HasLine(shortOs, "WriteValueMeaning|bDescriptorType|0x03|STRING")) << shortOs;
    EXPECT_TRUE(HasLine(shortOs, "WriteValue|Value|ABCD")) << shortOs;
}

TEST(StringDescOutputerTest, TextInTheNarrowCharacterSet) {
    struct Case {
        const char* name;
        std::u16string units;
        std::string text;
    } cases[] = {
        {"plain", u"Keyboard", "Keyboard"},
        {"Latin-1", u"caf\u00E9", "caf\xE9"},
        {"Windows-1252 only", u"\u20AC5",
         "\x80"
         "5"},
        {"surrogate pair", u"a\U0001F600b", "a?b"},
        {"unpaired high", std::u16string{u'a', char16_t(0xD800), u'b'}, "a?b"},
        {"unpaired low", std::u16string{u'a', char16_t(0xDC00), u'b'}, "a?b"},
        {"high then pair", std::u16string{char16_t(0xD800), char16_t(0xD83D), char16_t(0xDE00)}, "??"},
        {"outside the code page", u"\u4E00x", "?x"},
    };
    for (const Case& c : cases) {
        const std::string out = String(OUTPUT_MODE_XML, 2, StringOf(c.units));
        EXPECT_TRUE(HasLine(out, "WriteValue|Value|" + c.text)) << c.name << "\n" << out;
    }
}

TEST(StringDescOutputerTest, LengthsThatDisagreeWithTheBytes) {
    struct Case {
        const char* name;
        Bytes bytes;
        const char* value; // null: no Value row
    } cases[] = {
        {"odd bLength ignores the odd byte", {0x05, 0x03, 'A', 0, 'B'}, "A"},
        {"bLength beyond the bytes", {0x0A, 0x03, 'A', 0, 'B', 0, 'C'}, "AB"},
        {"bLength below 2", {0x01, 0x03, 'A', 0}, ""},
        {"bLength 0", {0x00, 0x03, 'A', 0}, ""},
        {"header alone", {0x02, 0x03}, nullptr},
    };
    for (const Case& c : cases) {
        const std::string out = String(OUTPUT_MODE_XML, 1, c.bytes);
        if (c.value != nullptr)
            EXPECT_TRUE(HasLine(out, std::string("WriteValue|Value|") + c.value)) << c.name << "\n" << out;
        else
            EXPECT_EQ(std::string::npos, out.find("Value|Value")) << c.name << "\n" << out;
    }
    EXPECT_EQ("BeginElement|String\nWriteValue|bLength|02\nWriteValue|bDescriptorType|???\nEndElement\n",
              String(OUTPUT_MODE_XML, 1, {0x02}));
}

TEST(StringTextTest, ConvertsWhatIsThere) {
    const BYTE bytes[] = {'H', 0, 0xE9, 0, 'x'};
    EXPECT_STREQ("H\xE9", Utf16LeToNarrow(bytes, sizeof bytes).GetString());
    EXPECT_STREQ("", Utf16LeToNarrow(bytes, 1).GetString());
    EXPECT_STREQ("", Utf16LeToNarrow(nullptr, 0).GetString());
}

} // namespace
