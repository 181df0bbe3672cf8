#include <string>

#include "KernelTest.h"
#include "NtPoolControl.h"
#include "NtText.h"
#include "wdm.h"

namespace {

using RtlStringTest = KernelTest;

std::u16string Text(const UNICODE_STRING& u) {
    return std::u16string(nt::text::View(&u));
}

TEST_F(RtlStringTest, InitCountsBytesWithoutTheNul) {
    UNICODE_STRING u = U(u"\\Device\\KxTdloft");
    EXPECT_EQ(u.Length, 32);
    EXPECT_EQ(u.MaximumLength, 34);
    UNICODE_STRING constant = RTL_CONSTANT_STRING(u"\\Driver\\");
    EXPECT_EQ(constant.Length, 16);
    EXPECT_EQ(constant.MaximumLength, 18);
    UNICODE_STRING none = U(nullptr);
    EXPECT_EQ(none.Length, 0);
    EXPECT_EQ(none.Buffer, nullptr);
    ANSI_STRING a;
    RtlInitAnsiString(&a, "usbhub");
    EXPECT_EQ(a.Length, 6);
    EXPECT_EQ(a.MaximumLength, 7);
}

TEST_F(RtlStringTest, ComparesWithAndWithoutCase) {
    struct Case {
        const char16_t* a;
        const char16_t* b;
        bool caseInsensitive;
        int sign;    // of RtlCompareUnicodeString
        bool prefix; // a is a prefix of b
    };
    const Case cases[] = {
        {u"USBHUB", u"usbhub", true, 0, true},
        {u"USBHUB", u"usbhub", false, -1, false},
        {u"\\Driver\\", u"\\driver\\usbhub", true, -1, true},
        {u"\\Driver\\x", u"\\Driver\\", true, 1, false},
        {u"nusb3xhc", u"NUSB3XHC", true, 0, true},
        {u"\u00e9t\u00e9", u"\u00c9T\u00c9", true, 0, true}, // Latin-1 letters fold too
        {u"abc", u"abd", true, -1, false},
        {u"", u"anything", true, -1, true},
    };
    for (const Case& c : cases) {
        UNICODE_STRING a = U(c.a), b = U(c.b);
        LONG order = RtlCompareUnicodeString(&a, &b, c.caseInsensitive);
        EXPECT_EQ((order > 0) - (order < 0), c.sign) << std::string(a.Length / 2, '.') << " vs " << b.Length;
        EXPECT_EQ(RtlEqualUnicodeString(&a, &b, c.caseInsensitive) != 0, c.sign == 0);
        EXPECT_EQ(RtlPrefixUnicodeString(&a, &b, c.caseInsensitive) != 0, c.prefix);
    }
}

TEST_F(RtlStringTest, CopyAndAppendStayWithinTheDestination) {
    WCHAR buffer[8];
    UNICODE_STRING dest = {0, sizeof buffer, buffer};
    UNICODE_STRING src = U(u"HCD0");
    RtlCopyUnicodeString(&dest, &src);
    EXPECT_EQ(Text(dest), u"HCD0");
    EXPECT_EQ(buffer[4], 0) << "NUL added when there is room";

    EXPECT_EQ(RtlAppendUnicodeToString(&dest, u"-ab"), STATUS_SUCCESS);
    EXPECT_EQ(Text(dest), u"HCD0-ab");
    EXPECT_EQ(RtlAppendUnicodeToString(&dest, u"cd"), STATUS_BUFFER_TOO_SMALL);
    EXPECT_EQ(Text(dest), u"HCD0-ab") << "nothing appended when it does not fit";
    UNICODE_STRING one = U(u"z");
    EXPECT_EQ(RtlAppendUnicodeStringToString(&dest, &one), STATUS_SUCCESS);
    EXPECT_EQ(dest.Length, sizeof buffer) << "exactly full: no room for a NUL, and none written";

    UNICODE_STRING longer = U(u"0123456789");
    RtlCopyUnicodeString(&dest, &longer);
    EXPECT_EQ(Text(dest), u"01234567") << "copy truncates to the destination";
}

TEST_F(RtlStringTest, ConvertsBetweenUnicodeAndAnsi) {
    UNICODE_STRING u = U(u"Caf\u00e9 \u20ac \u4e2d");
    ANSI_STRING a{};
    ASSERT_EQ(RtlUnicodeStringToAnsiString(&a, &u, TRUE), STATUS_SUCCESS);
    EXPECT_EQ(std::string(a.Buffer, a.Length), "Caf\xe9 \x80 ?") << "Windows-1252, '?' for what it lacks";
    EXPECT_EQ(a.Buffer[a.Length], '\0');
    EXPECT_EQ(nt::pool::LiveCount(), 1u);
    UNICODE_STRING back{};
    ASSERT_EQ(RtlAnsiStringToUnicodeString(&back, &a, TRUE), STATUS_SUCCESS);
    EXPECT_EQ(Text(back), u"Caf\u00e9 \u20ac ?");
    RtlFreeAnsiString(&a);
    RtlFreeUnicodeString(&back);
    EXPECT_EQ(nt::pool::LiveCount(), 0u);
    EXPECT_EQ(a.Buffer, nullptr);

    // Into a caller's buffer: too small converts what fits and says so.
    char small[5];
    ANSI_STRING fixed = {0, sizeof small, small};
    UNICODE_STRING name = U(u"usbhub20");
    EXPECT_EQ(RtlUnicodeStringToAnsiString(&fixed, &name, FALSE), STATUS_BUFFER_OVERFLOW);
    EXPECT_EQ(std::string(fixed.Buffer), "usbh");
    WCHAR wide[4];
    UNICODE_STRING wideFixed = {0, sizeof wide, wide};
    ANSI_STRING source;
    RtlInitAnsiString(&source, "abcd");
    EXPECT_EQ(RtlAnsiStringToUnicodeString(&wideFixed, &source, FALSE), STATUS_BUFFER_OVERFLOW);

    nt::pool::InjectFailure({0, 0, UINT64_MAX});
    EXPECT_EQ(RtlUnicodeStringToAnsiString(&a, &u, TRUE), STATUS_NO_MEMORY);
}

TEST_F(RtlStringTest, GuidsRoundTripInRegistryForm) {
    const GUID usbClass = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
    UNICODE_STRING text{};
    ASSERT_EQ(RtlStringFromGUID(usbClass, &text), STATUS_SUCCESS);
    EXPECT_EQ(Text(text), u"{36FC9E60-C465-11CF-8056-444553540000}");
    EXPECT_EQ(text.Buffer[text.Length / 2], 0);
    GUID parsed{};
    UNICODE_STRING lower = U(u"{36fc9e60-c465-11cf-8056-444553540000}");
    ASSERT_EQ(RtlGUIDFromString(&lower, &parsed), STATUS_SUCCESS);
    EXPECT_TRUE(parsed == usbClass);
    RtlFreeUnicodeString(&text);

    for (const char16_t* bad :
         {u"36FC9E60-C465-11CF-8056-444553540000", u"{36FC9E60-C465-11CF-8056-44455354000}",
          u"{36FC9E60-C465-11CF-8056-44455354000G}", u"{36FC9E60+C465-11CF-8056-444553540000}", u""}) {
        UNICODE_STRING s = U(bad);
        EXPECT_EQ(RtlGUIDFromString(&s, &parsed), STATUS_INVALID_PARAMETER) << nt::text::Utf16ToUtf8(bad);
    }
}

TEST_F(RtlStringTest, IntegersToAndFromText) {
    WCHAR buffer[12];
    UNICODE_STRING s = {0, sizeof buffer, buffer};
    ASSERT_EQ(RtlIntegerToUnicodeString(0x2A, 16, &s), STATUS_SUCCESS);
    EXPECT_EQ(Text(s), u"2A");
    ULONG value = 0;
    UNICODE_STRING hex = U(u"0x1F");
    ASSERT_EQ(RtlUnicodeStringToInteger(&hex, 0, &value), STATUS_SUCCESS);
    EXPECT_EQ(value, 31u);
    UNICODE_STRING dec = U(u" -12x");
    ASSERT_EQ(RtlUnicodeStringToInteger(&dec, 10, &value), STATUS_SUCCESS);
    EXPECT_EQ(static_cast<LONG>(value), -12);
}

TEST_F(RtlStringTest, TextHelpersConvertUtf8AndKeepSurrogatePairs) {
    std::u16string text = u"a\u00e9\u20ac\U0001F600";
    EXPECT_EQ(nt::text::Utf16ToUtf8(text), "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80");
    EXPECT_EQ(nt::text::Utf8ToUtf16(nt::text::Utf16ToUtf8(text)), text);
    EXPECT_EQ(nt::text::Utf8ToUtf16("\xff"
                                    "a\xc3"),
              u"\ufffda\ufffd")
        << "malformed input becomes U+FFFD";
    EXPECT_EQ(nt::text::Utf16ToUtf8(std::u16string(1, u'\xd800')), "\xef\xbf\xbd");
    EXPECT_TRUE(nt::text::EqualsIgnoreCase(u"\u0436\u0401", u"\u0416\u0451")); // Cyrillic
}

} // namespace
