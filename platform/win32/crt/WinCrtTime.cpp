#include "WinCrtTime.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>

#include "WinFailureControl.h"

struct localeinfo_struct {
    const char* name;
};

namespace {

// The runtime's answer to a refused time: every field -1.
void FillRefused(struct tm* result) {
    if (!result)
        return;
    *result = tm{};
    for (int* field : {&result->tm_sec, &result->tm_min, &result->tm_hour, &result->tm_mday, &result->tm_mon,
                       &result->tm_year, &result->tm_wday, &result->tm_yday, &result->tm_isdst})
        *field = -1;
}

errno_t BreakDownUtc(struct tm* result, int64_t time) {
    const time_t wide = static_cast<time_t>(time);
    return gmtime_r(&wide, result) ? 0 : EINVAL;
}

localeinfo_struct g_cLocale{"C"};

// The "C" locale's names and forms.
constexpr const char* kDayNames[] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
constexpr const char* kMonthNames[] = {"January", "February", "March",     "April",   "May",      "June",
                                       "July",    "August",   "September", "October", "November", "December"};
constexpr const char kShortDate[] = "%m/%d/%y";
constexpr const char kLongDate[] = "%A, %B %d, %Y";
constexpr const char kTime[] = "%H:%M:%S";

bool InRange(int value, int low, int high) {
    return value >= low && value <= high;
}

// Writes a format into a text; false for a directive or field the runtime refuses.
class TimeWriter {
public:
    explicit TimeWriter(const struct tm& time) : m_time(time) {}

    bool Write(const char* format) {
        for (const char* p = format; *p != '\0'; ++p) {
            if (*p != '%') {
                m_text += *p;
                continue;
            }
            ++p;
            bool alternate = false;
            if (*p == '#') {
                alternate = true;
                ++p;
            }
            if (!Directive(*p, alternate))
                return false;
        }
        return true;
    }

    const std::string& Text() const { return m_text; }

private:
    bool Number(int value, int digits, bool alternate) {
        char digitsText[16];
        if (alternate)
            std::snprintf(digitsText, sizeof digitsText, "%d", value);
        else
            std::snprintf(digitsText, sizeof digitsText, "%0*d", digits, value);
        m_text += digitsText;
        return true;
    }

    bool Directive(char directive, bool alternate) {
        const struct tm& t = m_time;
        switch (directive) {
        case 'a':
        case 'A':
            if (!InRange(t.tm_wday, 0, 6))
                return false;
            m_text += directive == 'A' ? kDayNames[t.tm_wday] : std::string(kDayNames[t.tm_wday], 3);
            return true;
        case 'b':
        case 'B':
            if (!InRange(t.tm_mon, 0, 11))
                return false;
            m_text += directive == 'B' ? kMonthNames[t.tm_mon] : std::string(kMonthNames[t.tm_mon], 3);
            return true;
        case 'c':
            // The locale's date and time; the flag takes the long date.
            return Write(alternate ? kLongDate : kShortDate) && Write(" ") && Write(kTime);
        case 'x': return Write(alternate ? kLongDate : kShortDate);
        case 'X': return Write(kTime);
        case 'd': return InRange(t.tm_mday, 1, 31) && Number(t.tm_mday, 2, alternate);
        case 'H': return InRange(t.tm_hour, 0, 23) && Number(t.tm_hour, 2, alternate);
        case 'I': return InRange(t.tm_hour, 0, 23) && Number(t.tm_hour % 12 == 0 ? 12 : t.tm_hour % 12, 2, alternate);
        case 'j': return InRange(t.tm_yday, 0, 365) && Number(t.tm_yday + 1, 3, alternate);
        case 'm': return InRange(t.tm_mon, 0, 11) && Number(t.tm_mon + 1, 2, alternate);
        case 'M': return InRange(t.tm_min, 0, 59) && Number(t.tm_min, 2, alternate);
        case 'p':
            if (!InRange(t.tm_hour, 0, 23))
                return false;
            m_text += t.tm_hour < 12 ? "AM" : "PM";
            return true;
        case 'S': return InRange(t.tm_sec, 0, 59) && Number(t.tm_sec, 2, alternate);
        case 'U': // weeks that begin on Sunday; days before the first Sunday are week 0
            return InRange(t.tm_yday, 0, 365) && InRange(t.tm_wday, 0, 6) &&
                   Number((t.tm_yday + 7 - t.tm_wday) / 7, 2, alternate);
        case 'W': // weeks that begin on Monday
            return InRange(t.tm_yday, 0, 365) && InRange(t.tm_wday, 0, 6) &&
                   Number((t.tm_yday + 7 - (t.tm_wday + 6) % 7) / 7, 2, alternate);
        case 'w': return InRange(t.tm_wday, 0, 6) && Number(t.tm_wday, 1, alternate);
        case 'y': return t.tm_year >= 0 && Number(t.tm_year % 100, 2, alternate);
        case 'Y': return InRange(t.tm_year, -1900, 8099) && Number(t.tm_year + 1900, 4, alternate);
        case '%': m_text += '%'; return true;
        default: return false;
        }
    }

    const struct tm& m_time;
    std::string m_text;
};

} // namespace

errno_t _gmtime32_s(struct tm* result, const __time32_t* time) {
    FillRefused(result);
    if (win32::internal::CallFailsNow("_gmtime32_s"))
        return EINVAL;
    if (!result || !time || *time < 0)
        return EINVAL;
    return BreakDownUtc(result, *time);
}

errno_t _gmtime64_s(struct tm* result, const __time64_t* time) {
    FillRefused(result);
    if (win32::internal::CallFailsNow("_gmtime64_s"))
        return EINVAL;
    if (!result || !time || *time < 0 || *time > _MAX__TIME64_T)
        return EINVAL;
    return BreakDownUtc(result, *time);
}

_locale_t _create_locale(int, const char* locale) {
    return locale != nullptr && std::strcmp(locale, "C") == 0 ? &g_cLocale : nullptr;
}

void _free_locale(_locale_t) {}

size_t _strftime_l(char* buffer, size_t size, const char* format, const struct tm* time, _locale_t) {
    if (!buffer || size == 0) {
        errno = EINVAL;
        return 0;
    }
    *buffer = '\0';
    if (!format || !time) {
        errno = EINVAL;
        return 0;
    }
    TimeWriter writer(*time);
    if (!writer.Write(format)) {
        errno = EINVAL;
        return 0;
    }
    const std::string& text = writer.Text();
    if (text.size() >= size) {
        errno = ERANGE;
        return 0;
    }
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return text.size();
}
