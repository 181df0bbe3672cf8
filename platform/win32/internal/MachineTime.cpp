#include "MachineTime.h"

#include "NtClock.h"

namespace win32::internal {
namespace {

constexpr LONGLONG kTicksPerSecond = 10'000'000;
constexpr LONGLONG kTicksPerDay = kTicksPerSecond * 86400;
// Days from 1601-01-01 to 1970-01-01.
constexpr LONGLONG kDaysFrom1601To1970 = 134774;

// Days since 1970-01-01 of a civil date, and back (Howard Hinnant's algorithms).
LONGLONG DaysFromCivil(LONGLONG y, unsigned m, unsigned d) {
    y -= m <= 2;
    const LONGLONG era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<LONGLONG>(doe) - 719468;
}

void CivilFromDays(LONGLONG z, LONGLONG& y, unsigned& m, unsigned& d) {
    z += 719468;
    const LONGLONG era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = static_cast<LONGLONG>(yoe) + era * 400 + (m <= 2);
}

bool IsLeap(LONGLONG y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned DaysInMonth(LONGLONG y, unsigned m) {
    static const unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

} // namespace

LONGLONG SystemTimeNow() { return nt::clock::SystemTime(); }

bool TicksToSystemTime(ULONGLONG ticks, SYSTEMTIME& time) {
    if (ticks >> 63)
        return false;
    const auto t = static_cast<LONGLONG>(ticks);
    const LONGLONG days = t / kTicksPerDay;
    LONGLONG rest = t % kTicksPerDay;
    LONGLONG year;
    unsigned month, day;
    CivilFromDays(days - kDaysFrom1601To1970, year, month, day);
    time.wYear = static_cast<WORD>(year);
    time.wMonth = static_cast<WORD>(month);
    time.wDay = static_cast<WORD>(day);
    time.wDayOfWeek = static_cast<WORD>((days + 1) % 7); // 1601-01-01 was a Monday
    time.wHour = static_cast<WORD>(rest / (3600 * kTicksPerSecond));
    rest %= 3600 * kTicksPerSecond;
    time.wMinute = static_cast<WORD>(rest / (60 * kTicksPerSecond));
    rest %= 60 * kTicksPerSecond;
    time.wSecond = static_cast<WORD>(rest / kTicksPerSecond);
    time.wMilliseconds = static_cast<WORD>(rest % kTicksPerSecond / 10000);
    return true;
}

bool SystemTimeToTicks(const SYSTEMTIME& time, ULONGLONG& ticks) {
    if (time.wYear < 1601 || time.wYear > 30827 || time.wMonth < 1 || time.wMonth > 12 || time.wDay < 1 ||
        time.wDay > DaysInMonth(time.wYear, time.wMonth) || time.wHour > 23 || time.wMinute > 59 ||
        time.wSecond > 59 || time.wMilliseconds > 999)
        return false;
    const LONGLONG days = DaysFromCivil(time.wYear, time.wMonth, time.wDay) + kDaysFrom1601To1970;
    ticks = static_cast<ULONGLONG>(days * kTicksPerDay +
                                   ((time.wHour * 60LL + time.wMinute) * 60 + time.wSecond) * kTicksPerSecond +
                                   time.wMilliseconds * 10000LL);
    return true;
}

} // namespace win32::internal
