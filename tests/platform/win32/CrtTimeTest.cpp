// The runtime's 64-bit UTC break-down and its strftime in the "C" locale, whatever the host's own locale
// and time zone.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "WinCrtTime.h"
#include "WinFailureControl.h"

namespace {

class CrtTimeTest : public testing::Test {
protected:
    void TearDown() override { win32::ClearCallFailures(); }

    // The text of one format for a time; "<refused>" when the runtime refuses it.
    static std::string Format(const char* format, const struct tm& parts, size_t size = 128) {
        std::string buffer(size, 'x');
        errno = 0;
        const size_t length = _strftime_l(buffer.data(), size, format, &parts, nullptr);
        if (length == 0 && buffer[0] == '\0' && *format != '\0')
            return errno == ERANGE ? "<too long>" : "<refused>";
        return buffer.substr(0, length);
    }
    static struct tm Utc(__time64_t time) {
        struct tm parts;
        EXPECT_EQ(_gmtime64_s(&parts, &time), 0) << time;
        return parts;
    }
};

TEST_F(CrtTimeTest, Gmtime64TakesTheRuntimesRangeOnly) {
    struct tm parts = Utc(795139200); // 1995-03-14 00:00:00, a Tuesday
    EXPECT_EQ(parts.tm_year, 95);
    EXPECT_EQ(parts.tm_mon, 2);
    EXPECT_EQ(parts.tm_mday, 14);
    EXPECT_EQ(parts.tm_wday, 2);
    EXPECT_EQ(parts.tm_yday, 72);
    parts = Utc(_MAX__TIME64_T); // the runtime's last second
    EXPECT_EQ(parts.tm_year, 1100);
    EXPECT_EQ(parts.tm_mon, 11);
    EXPECT_EQ(parts.tm_mday, 31);
    EXPECT_EQ(parts.tm_sec, 59);
    EXPECT_EQ(parts.tm_isdst, 0);

    for (__time64_t refused : {__time64_t{-1}, _MAX__TIME64_T + 1}) {
        SCOPED_TRACE(refused);
        EXPECT_EQ(_gmtime64_s(&parts, &refused), EINVAL);
        EXPECT_EQ(parts.tm_year, -1) << "a refused time leaves every field -1";
        EXPECT_EQ(parts.tm_mday, -1);
    }
    __time64_t time = 0;
    EXPECT_EQ(_gmtime64_s(nullptr, &time), EINVAL);
    EXPECT_EQ(_gmtime64_s(&parts, nullptr), EINVAL);
    win32::FailCalls({.function = "_gmtime64_s", .error = 0, .count = 1});
    EXPECT_EQ(_gmtime64_s(&parts, &time), EINVAL);
    EXPECT_EQ(_gmtime64_s(&parts, &time), 0);
}

TEST_F(CrtTimeTest, StrftimeWritesTheCLocalesForms) {
    // The host's zone has no say.
    const char* hostZone = std::getenv("TZ");
    const std::string savedZone = hostZone != nullptr ? hostZone : "";
    setenv("TZ", "America/New_York", 1);
    tzset();
    const struct tm morning = Utc(795139200 + 9 * 3600 + 5 * 60 + 7); // Tue 1995-03-14 09:05:07
    const struct tm evening = Utc(946684800 - 1);                     // Fri 1999-12-31 23:59:59
    const struct tm epoch = Utc(0);                                   // Thu 1970-01-01 00:00:00
    struct Case {
        const char* format;
        const struct tm* parts;
        const char* text;
    };
    const Case cases[] = {
        {"%#x", &morning, "Tuesday, March 14, 1995"},
        {"%#x", &epoch, "Thursday, January 01, 1970"},
        {"%X UTC", &epoch, "00:00:00 UTC"},
        {"%X", &evening, "23:59:59"},
        {"%x", &morning, "03/14/95"},
        {"%c", &morning, "03/14/95 09:05:07"},
        {"%#c", &evening, "Friday, December 31, 1999 23:59:59"},
        {"%a %b %d %j %I%p %y %Y", &morning, "Tue Mar 14 073 09AM 95 1995"},
        {"%I %p %w %U %W", &evening, "11 PM 5 52 52"},
        {"%U %W", &epoch, "00 00"},
        // The flag drops leading zeros of numbers and leaves names alone.
        {"%#d/%#m/%#y %#H:%#M:%#S %#j %#A %#p", &epoch, "1/1/70 0:0:0 1 Thursday AM"},
        {"100%% %B", &evening, "100% December"},
        {"", &epoch, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        EXPECT_EQ(Format(c.format, *c.parts), c.text);
    }
    if (hostZone != nullptr)
        setenv("TZ", savedZone.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST_F(CrtTimeTest, StrftimeRefusesWhatTheRuntimeRefuses) {
    const struct tm epoch = Utc(0);
    // Directives the runtime does not know (the host's own extensions among them), and fields out of range.
    for (const char* format : {"%e", "%F", "%T", "%z", "%Z", "%", "%#"})
        EXPECT_EQ(Format(format, epoch), "<refused>") << format;
    struct tm bad = epoch;
    bad.tm_mon = 12;
    EXPECT_EQ(Format("%B", bad), "<refused>");
    EXPECT_EQ(Format("%H", bad), "00") << "a field the directive does not read is not checked";
    bad = epoch;
    bad.tm_wday = 7;
    EXPECT_EQ(Format("%#x", bad), "<refused>");
    bad = epoch;
    bad.tm_hour = -1;
    EXPECT_EQ(Format("%X", bad), "<refused>");

    // A text that does not fit, with its terminating zero, leaves an empty buffer.
    EXPECT_EQ(Format("%X", epoch, 9), "00:00:00");
    EXPECT_EQ(Format("%X", epoch, 8), "<too long>");
    char buffer[4] = "abc";
    EXPECT_EQ(_strftime_l(buffer, sizeof buffer, nullptr, &epoch, nullptr), 0u);
    EXPECT_EQ(buffer[0], '\0');
    EXPECT_EQ(_strftime_l(buffer, 0, "%X", &epoch, nullptr), 0u);
    EXPECT_EQ(_strftime_l(buffer, sizeof buffer, "%X", nullptr, nullptr), 0u);
}

TEST_F(CrtTimeTest, OnlyTheCLocaleIsThere) {
    _locale_t c = _create_locale(LC_ALL, "C");
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(_create_locale(LC_TIME, "German_Germany.1252"), nullptr);
    const struct tm epoch = Utc(0);
    char buffer[64];
    ASSERT_EQ(_strftime_l(buffer, sizeof buffer, "%#x", &epoch, c), 26u);
    EXPECT_STREQ(buffer, "Thursday, January 01, 1970");
    _free_locale(c);
}

} // namespace
