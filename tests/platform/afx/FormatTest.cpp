// CString::Format against the Windows C runtime's conversions, which differ from the host's printf in
// size prefixes, %p, %S, rounding and exponents.
#include <cmath>

#include <gtest/gtest.h>

#include "afx.h"

namespace {

template <class... Args> CString Fmt(const char* format, Args... args) {
    CString s;
    s.Format(format, args...);
    return s;
}

struct Case {
    const char* expected;
    CString actual;
};

TEST(CStringFormat, IntegersFollowTheWindowsRuntime) {
    const ULONG above2to31 = 3000000000u;
    const Case cases[] = {
        {"42|   42|42   |00042", Fmt("%d|%5d|%-5d|%05d", 42, 42, 42, 42)},
        {"+5| 5|-5", Fmt("%+d|% d|% d", 5, 5, -5)},
        {"ff|FF|10|377", Fmt("%x|%X|%o|%o", 255, 255, 8, 255)},
        {"0xff|0XFF|010|0|0", Fmt("%#x|%#X|%#o|%#x|%#o", 255, 255, 8, 0, 0)},
        {"  007|-007", Fmt("%5.3d|%.3d", 7, -7)},
        {"123456789abcdef0|123456789ABCDEF0", Fmt("%I64x|%I64X", 0x123456789ABCDEF0ULL, 0x123456789ABCDEF0ULL)},
        {"18446744073709551615", Fmt("%I64u", 18446744073709551615ULL)},
        {"-9223372036854775808", Fmt("%I64d", static_cast<LONGLONG>(-9223372036854775807LL - 1))},
        {"-1|5|ffffffff", Fmt("%I32d|%Iu|%I32x", -1, static_cast<ULONG_PTR>(5), -1)},
        // LONG and ULONG are 32 bits: %ld reads a 32-bit value.
        {"-1294967296|3000000000|b2d05e00", Fmt("%ld|%lu|%lx", above2to31, above2to31, above2to31)},
        {"4464|4464|1170|-1", Fmt("%hd|%hu|%hx|%hd", 70000, 70000, 70000, 0xFFFF)},
        {"0000000000001234|00000000DEADBEEF",
         Fmt("%p|%p", reinterpret_cast<void*>(0x1234), reinterpret_cast<void*>(0xDEADBEEFULL))},
        {"    42|7   |", Fmt("%*d|%-*d|", 6, 42, 4, 7)},
        {"7   |", Fmt("%*d|", -4, 7)},
        {"100%", Fmt("%d%%", 100)},
        {"18446744073709551615|-1", Fmt("%llu|%lld", 18446744073709551615ULL, -1LL)},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.expected, c.actual);
}

TEST(CStringFormat, StringsAndCharacters) {
    const char16_t wide[] = u"wide";
    const char16_t outside[] = {u'a', u'b', 0x263A, u'c', 0};
    const Case cases[] = {
        {"narrow|wide|wide|wide|x", Fmt("%s|%S|%ls|%ws|%hs", "narrow", wide, wide, wide, "x")},
        {"abc|ab    |    ab|000ab", Fmt("%.3s|%-6s|%6s|%05s", "abcdef", "ab", "ab", "ab")},
        {"(null)|(nu", Fmt("%s|%.3s", static_cast<const char*>(nullptr), static_cast<const char*>(nullptr))},
        {"(null)", Fmt("%S", static_cast<const char16_t*>(nullptr))},
        {"ab|  a", Fmt("%c%C|%3c", 'a', u'b', 'a')},
        // A character outside the 8-bit code page ends a converted string and prints as nothing on its own.
        {"ab|[]", Fmt("%S|[%C]", outside, static_cast<char16_t>(0x263A))},
        {"  wide|wi", Fmt("%6S|%.2S", wide, wide)},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.expected, c.actual);
}

TEST(CStringFormat, FloatingPointFollowsTheWindowsRuntime) {
    const Case cases[] = {
        {"1.500000|3.14|3", Fmt("%f|%.2f|%.0f", 1.5, 3.14159, 3.0)},
        // Halves round away from zero on the decimal digits.
        {"1|3|0.13", Fmt("%.0f|%.0f|%.2f", 0.5, 2.5, 0.125)},
        // At most 17 significant digits; the rest print as zeros.
        {"0.10000000000000001000", Fmt("%.20f", 0.1)},
        {"1.234568e+004|0.000000E+000|1.0e+001", Fmt("%e|%E|%.1e", 12345.678, 0.0, 9.99)},
        {"1e-005|0.0001|123456|1.23457e+006|1E-010",
         Fmt("%g|%g|%g|%g|%G", 0.00001, 0.0001, 123456.0, 1234567.0, 1e-10)},
        {"0|100|1.5|2.", Fmt("%g|%g|%g|%#.1g", 0.0, 100.0, 1.5, 2.0)},
        {"  3.1|2.500   |-0001.50|+1.0e+001", Fmt("%5.1f|%-8.3f|%08.2f|%+.1e", 3.14159, 2.5, -1.5, 9.99)},
        {"-0.000000|0.001|0.000", Fmt("%f|%.3f|%.3f", -0.0, 0.0006, 0.0004)},
        {"1e+300", Fmt("%g", 1e300)},
        {"1.#INF00|-1.#INF00|1.#INF", Fmt("%f|%f|%g", INFINITY, -INFINITY, INFINITY)},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(c.expected, c.actual);
}

TEST(CStringFormat, AppendFormatAndSelfReference) {
    CString s("abc");
    s.AppendFormat("-%d", 7);
    EXPECT_STREQ("abc-7", s);
    // An argument may be the string being formatted.
    s.Format("[%s]", static_cast<LPCTSTR>(s));
    EXPECT_STREQ("[abc-7]", s);
    s.AppendFormat("%s", static_cast<LPCTSTR>(s));
    EXPECT_STREQ("[abc-7][abc-7]", s);
    // Long output goes past the formatter's staging buffer.
    CString big;
    big.Format("%2000d|%s", 1, "end");
    EXPECT_EQ(2004, big.GetLength());
    EXPECT_STREQ("1|end", big.Right(5));
}

TEST(CStringFormat, FormatFromTheStringTable) {
    AfxRegisterString(61001, "Record %u of %u");
    CString s;
    s.Format(61001u, 3u, 9u);
    EXPECT_STREQ("Record 3 of 9", s);
}

} // namespace
