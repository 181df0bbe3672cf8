// CString::Format, FormatV and AppendFormat: the program's run-time conventions, growing past the formatter's
// staging buffer, self-reference and formats from the string table.
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

// The conversions themselves are tested with the engine (tests/platform/nt/FormatTest.cpp); these rows show that
// CString formats with the program's run-time conventions, not the kernel's.
TEST(CStringFormat, FollowsTheProgramsRuntime) {
    const ULONG above2to31 = 3000000000u;
    const char16_t outside[] = {u'a', u'b', 0x263A, u'c', 0};
    const Case cases[] = {
        {"-1294967296|3000000000|b2d05e00", Fmt("%ld|%lu|%lx", above2to31, above2to31, above2to31)},
        {"0000000000001234|00000000DEADBEEF",
         Fmt("%p|%p", reinterpret_cast<void*>(0x1234), reinterpret_cast<void*>(0xDEADBEEFULL))},
        {"abc|ab    |    ab|000ab", Fmt("%.3s|%-6s|%6s|%05s", "abcdef", "ab", "ab", "ab")},
        // A character outside the 8-bit code page ends a converted string and prints as nothing on its own.
        {"ab|[]", Fmt("%S|[%C]", outside, static_cast<char16_t>(0x263A))},
        {"1.234568e+004|0.000000E+000|1.0e+001", Fmt("%e|%E|%.1e", 12345.678, 0.0, 9.99)},
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
