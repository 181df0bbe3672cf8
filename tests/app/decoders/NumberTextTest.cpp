// SetHex and AppendDecimal give what the formatting engine gives for the same conversion: the fields it writes are
// compared byte for byte with the mark-up of captures made before it.
#include "app/decoders/framework/NumberText.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(NumberText, HexMatchesTheFormatterForEveryWidthAndCase) {
    const ULONG64 values[] = {
        0, 1, 0xF, 0x10, 0xAB, 0x100, 0xFFFFFF80u, 0x80000000u, 0xFFFFFFFFu, 0x123456789ABCDEF0ull, ~0ull};
    for (ULONG64 value : values) {
        const ULONG low = static_cast<ULONG>(value);
        CString text("left over from before");
        CString expected;
        SetHex(text, value, 1, "0x");
        expected.Format("0x%I64x", value);
        EXPECT_EQ(expected, text) << expected;
        SetHex(text, low, 2, "0x");
        expected.Format("0x%02x", low);
        EXPECT_EQ(expected, text) << expected;
        SetHex(text, low, 1, "0x", true);
        expected.Format("0x%X", low);
        EXPECT_EQ(expected, text) << expected;
        SetHex(text, low, 8);
        expected.Format("%08x", low);
        EXPECT_EQ(expected, text) << expected;
        SetHex(text, value, 16);
        expected.Format("%016I64x", value);
        EXPECT_EQ(expected, text) << expected;
    }
}

TEST(NumberText, DecimalMatchesTheFormatterForEverySign) {
    const LONG64 values[] = {0,
                             1,
                             9,
                             10,
                             -1,
                             -10,
                             2147483647,
                             -2147483647 - 1,
                             4294967295ll,
                             9223372036854775807ll,
                             -9223372036854775807ll - 1};
    for (LONG64 value : values) {
        CString text("(");
        CString expected;
        AppendDecimal(text, value);
        expected.Format("(%I64d", value);
        EXPECT_EQ(expected, text) << expected;
    }
}

// A prefix longer than the room kept beside the digits still comes whole, and a null one is none.
TEST(NumberText, HexTakesAnyPrefix) {
    const CString prefix(' ', 60);
    CString text;
    SetHex(text, 0xAB, 4, prefix);
    EXPECT_EQ(prefix + "00ab", text);
    SetHex(text, 0xAB, 1, nullptr);
    EXPECT_EQ(CString("ab"), text);
}

// A short text reads as the same parts appended to a string, and stops at its capacity.
TEST(NumberText, ShortTextJoinsPartsAsAppendingDoes) {
    ShortText text;
    text.Add("0x").AddHex(0x81, 2).Add(" (").Add("IN").Add(',').AddDecimal(-12).Add(')');
    EXPECT_STREQ("0x81 (IN,-12)", text.Text());
    EXPECT_EQ(13, text.Length());

    ShortText full;
    for (int i = 0; i < ShortText::kMost + 10; ++i)
        full.Add('x');
    full.AddDecimal(1234);
    EXPECT_EQ(ShortText::kMost, full.Length());
    EXPECT_EQ(std::string(ShortText::kMost, 'x'), full.Text());
}

} // namespace
