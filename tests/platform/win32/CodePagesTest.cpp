// MultiByteToWideChar and WideCharToMultiByte: Windows-1252 as the ANSI code page, and UTF-8.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "windows.h"

namespace {

std::u16string ToWide(UINT codePage, DWORD flags, const std::string& text) {
    int needed = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::u16string out(static_cast<size_t>(needed), u'\0');
    if (needed > 0)
        EXPECT_EQ(needed,
                  MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), out.data(), needed));
    return out;
}

std::string ToNarrow(UINT codePage, const std::u16string& text, BOOL* usedDefault = nullptr) {
    int needed =
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, usedDefault);
    std::string out(static_cast<size_t>(needed), '\0');
    if (needed > 0)
        EXPECT_EQ(needed, WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                              needed, nullptr, usedDefault));
    return out;
}

TEST(CodePages, AnsiIsWindows1252BothWays) {
    EXPECT_EQ(u"\u20AC\u201A\u2019\u0178\u00A0\u00E9\u00FF\u0081A", ToWide(CP_ACP, MB_PRECOMPOSED,
                                                                           "\x80\x82\x92\x9F\xA0\xE9\xFF\x81"
                                                                           "A"));
    // Every byte comes back as itself.
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    BOOL usedDefault = TRUE;
    EXPECT_EQ(all, ToNarrow(CP_ACP, ToWide(CP_ACP, 0, all), &usedDefault));
    EXPECT_FALSE(usedDefault);

    // Characters the code page lacks become the default character, one per UTF-16 unit.
    EXPECT_EQ("a?b??", ToNarrow(CP_ACP, u"a\u0100b\U0001F600", &usedDefault));
    EXPECT_TRUE(usedDefault);
    char out[4] = {};
    const char star = '*';
    EXPECT_EQ(2, WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, u"\u4E00\u20AC", 2, out, 4, &star, nullptr));
    EXPECT_STREQ("*\x80", out);
}

TEST(CodePages, Utf8AndItsInvalidSequences) {
    EXPECT_EQ(u"caf\u00E9 \u20AC \U0001F600", ToWide(CP_UTF8, 0, "caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80"));
    EXPECT_EQ("caf\xC3\xA9 \xE2\x82\xAC \xF0\x9F\x98\x80", ToNarrow(CP_UTF8, u"caf\u00E9 \u20AC \U0001F600"));

    for (const char* bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "a\xFF", "\xE2\x82"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(u'\uFFFD', ToWide(CP_UTF8, 0, bad).back());
        WCHAR buffer[8];
        SetLastError(0);
        EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bad, -1, buffer, 8));
        EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, GetLastError());
        EXPECT_EQ(0, MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bad, -1, nullptr, 0));
        EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, GetLastError());
    }

    const char16_t lone[] = {u'a', 0xD800, u'b', 0};
    EXPECT_EQ("a\xEF\xBF\xBD"
              "b",
              ToNarrow(CP_UTF8, lone));
    char out[8];
    EXPECT_EQ(0, WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone, -1, out, 8, nullptr, nullptr));
    EXPECT_EQ(ERROR_NO_UNICODE_TRANSLATION, GetLastError());
}

TEST(CodePages, LengthsSizesAndRefusals) {
    // -1 converts the NUL too; a capacity of 0 asks for the size.
    EXPECT_EQ(4, MultiByteToWideChar(CP_ACP, 0, "abc", -1, nullptr, 0));
    WCHAR wide[4];
    EXPECT_EQ(4, MultiByteToWideChar(CP_ACP, 0, "abc", -1, wide, 4));
    EXPECT_EQ(u'\0', wide[3]);
    EXPECT_EQ(5, WideCharToMultiByte(CP_UTF8, 0, u"\u00E9\u00E9", -1, nullptr, 0, nullptr, nullptr));

    char narrow[2];
    BOOL used = FALSE;
    struct Case {
        const char* what;
        std::function<int()> call;
        DWORD error;
    };
    const Case cases[] = {
        {"short buffer", [&] { return MultiByteToWideChar(CP_ACP, 0, "abc", 3, wide, 2); }, ERROR_INSUFFICIENT_BUFFER},
        {"short narrow buffer",
         [&] { return WideCharToMultiByte(CP_UTF8, 0, u"\u00E9", 1, narrow, 1, nullptr, nullptr); },
         ERROR_INSUFFICIENT_BUFFER},
        {"unknown code page", [&] { return MultiByteToWideChar(437, 0, "a", 1, wide, 4); }, ERROR_INVALID_PARAMETER},
        {"empty input", [&] { return MultiByteToWideChar(CP_ACP, 0, "a", 0, wide, 4); }, ERROR_INVALID_PARAMETER},
        {"negative length", [&] { return MultiByteToWideChar(CP_ACP, 0, "a", -2, wide, 4); }, ERROR_INVALID_PARAMETER},
        {"null input", [&] { return MultiByteToWideChar(CP_ACP, 0, nullptr, 1, wide, 4); }, ERROR_INVALID_PARAMETER},
        {"null output", [&] { return MultiByteToWideChar(CP_ACP, 0, "a", 1, nullptr, 4); }, ERROR_INVALID_PARAMETER},
        {"flags on UTF-8", [&] { return MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "a", 1, wide, 4); },
         ERROR_INVALID_FLAGS},
        {"composite", [&] { return MultiByteToWideChar(CP_ACP, MB_COMPOSITE, "a", 1, wide, 4); }, ERROR_INVALID_FLAGS},
        {"default char on UTF-8", [&] { return WideCharToMultiByte(CP_UTF8, 0, u"a", 1, narrow, 2, "?", nullptr); },
         ERROR_INVALID_PARAMETER},
        {"used flag on UTF-8", [&] { return WideCharToMultiByte(CP_UTF8, 0, u"a", 1, narrow, 2, nullptr, &used); },
         ERROR_INVALID_PARAMETER},
        {"error flag on ANSI",
         [&] { return WideCharToMultiByte(CP_ACP, WC_ERR_INVALID_CHARS, u"a", 1, narrow, 2, nullptr, nullptr); },
         ERROR_INVALID_FLAGS},
        {"empty wide input", [&] { return WideCharToMultiByte(CP_ACP, 0, u"a", 0, narrow, 2, nullptr, nullptr); },
         ERROR_INVALID_PARAMETER},
    };
    for (const Case& c : cases) {
        SetLastError(0);
        EXPECT_EQ(0, c.call()) << c.what;
        EXPECT_EQ(c.error, GetLastError()) << c.what;
    }
    // What fits was written before the short buffer failed.
    EXPECT_EQ(u'a', wide[0]);
    EXPECT_EQ(u'b', wide[1]);
}

} // namespace
