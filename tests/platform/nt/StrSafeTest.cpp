#include <string>

#include "KernelTest.h"
#include "NtDebugControl.h"
#include "ntstrsafe.h"
#include "wdm.h"

namespace {

using StrSafeTest = KernelTest;

std::string FormatA(const char* format, auto... args) {
    char buffer[256];
    EXPECT_EQ(RtlStringCbPrintfA(buffer, sizeof buffer, format, args...), STATUS_SUCCESS) << format;
    return buffer;
}

std::u16string FormatW(const char16_t* format, auto... args) {
    WCHAR buffer[256];
    EXPECT_EQ(RtlStringCbPrintfW(buffer, sizeof buffer, format, args...), STATUS_SUCCESS);
    return buffer;
}

// The conversions themselves are tested with the engine (FormatTest.cpp); these rows show that the safe routines
// format with the kernel's run-time conventions.
TEST_F(StrSafeTest, NarrowFormatsFollowTheKernelRunTime) {
    UNICODE_STRING name = RTL_CONSTANT_STRING(u"\\Driver\\usbhub");
    ANSI_STRING ansi;
    RtlInitAnsiString(&ansi, "usbccgp");
    LONG minusOne = -1;
    ULONG big = 0xFFFFFFFFu;
    struct Case {
        std::string got;
        std::string expected;
    };
    const Case cases[] = {
        {FormatA("%ld|%lu|%lx", minusOne, big, big), "-1|4294967295|ffffffff"},
        {FormatA("%p", reinterpret_cast<void*>(0xABCDEF)), "0000000000ABCDEF"},
        {FormatA("%wZ|%Z", &name, &ansi), "\\Driver\\usbhub|usbccgp"},
        {FormatA("%.3f|%5.1e", 3.14159, 12345.0), "3.142|1.2e+04"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.got, c.expected);
    }
}

TEST_F(StrSafeTest, WideFormatsSwapTheMeaningOfSAndCapitalS) {
    UNICODE_STRING name = RTL_CONSTANT_STRING(u"KxTdloft");
    EXPECT_EQ(FormatW(u"%s|%S|%hs|%ws", u"wide", "narrow\xe9", "h", u"w"), u"wide|narrow\u00e9|h|w");
    EXPECT_EQ(FormatW(u"\\Device\\%wZ %lu", &name, ULONG{7}), u"\\Device\\KxTdloft 7");
    EXPECT_EQ(FormatW(u"HCD%d", 0), u"HCD0");
}

TEST_F(StrSafeTest, TruncationAndBadSizesAreReported) {
    char small[6];
    EXPECT_EQ(RtlStringCbPrintfA(small, sizeof small, "%s", "truncated"), STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(std::string(small), "trunc");
    EXPECT_EQ(RtlStringCbCopyA(small, sizeof small, "abcdefgh"), STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(std::string(small), "abcde");
    EXPECT_EQ(RtlStringCbCopyA(small, sizeof small, "ab"), STATUS_SUCCESS);
    EXPECT_EQ(RtlStringCbCatA(small, sizeof small, "cdef"), STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(std::string(small), "abcde");
    EXPECT_EQ(RtlStringCbPrintfA(small, 0, "x"), STATUS_INVALID_PARAMETER);

    WCHAR wide[4];
    EXPECT_EQ(RtlStringCbCopyW(wide, sizeof wide, u"abcd"), STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(std::u16string(wide), u"abc");
    EXPECT_EQ(RtlStringCchCopyNW(wide, 4, u"xyz", 2), STATUS_SUCCESS);
    EXPECT_EQ(std::u16string(wide), u"xy");
    EXPECT_EQ(RtlStringCbCopyNA(small, sizeof small, "hello world", 4), STATUS_SUCCESS);
    EXPECT_EQ(std::string(small), "hell");
}

TEST_F(StrSafeTest, LengthNeedsANulWithinTheMaximum) {
    size_t length = 99;
    EXPECT_EQ(RtlStringCchLengthW(u"abc", 4, &length), STATUS_SUCCESS);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(RtlStringCbLengthW(u"abc", 8, &length), STATUS_SUCCESS);
    EXPECT_EQ(length, 6u);
    EXPECT_EQ(RtlStringCchLengthW(u"abc", 3, &length), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(RtlStringCchLengthA(nullptr, 3, &length), STATUS_INVALID_PARAMETER);
}

TEST_F(StrSafeTest, CountedStringPrintfFillsUpToMaximumLength) {
    WCHAR buffer[6];
    UNICODE_STRING s = {0, sizeof buffer, buffer};
    EXPECT_EQ(RtlUnicodeStringPrintf(&s, u"HCD%d", 12), STATUS_SUCCESS);
    EXPECT_EQ(s.Length, 10);
    EXPECT_EQ(RtlUnicodeStringPrintf(&s, u"HCD%d", 1234), STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(s.Length, sizeof buffer);
}

TEST_F(StrSafeTest, DbgPrintGoesToTheDebugSink) {
    DbgPrint("KxTdloft: %s %lx\n", "start", ULONG{0xC0000001});
    KdPrint(("second %d\n", 2));
    auto lines = nt::debug::Output();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "KxTdloft: start c0000001");
    EXPECT_EQ(lines[1], "second 2");
}

} // namespace
