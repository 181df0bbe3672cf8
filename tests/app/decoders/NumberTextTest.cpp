// SetHex and AppendDecimal give what the formatting engine gives for the same conversion: the fields it writes are
// compared byte for byte with the mark-up of captures made before it.
#include "app/decoders/framework/NumberText.h"

#include <gtest/gtest.h>

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

} // namespace
