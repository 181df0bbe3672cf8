#include "NtTime.h"

#include "NtClock.h"

LARGE_INTEGER KeQueryPerformanceCounter(PLARGE_INTEGER PerformanceFrequency) {
    if (PerformanceFrequency != nullptr) {
        PerformanceFrequency->QuadPart = nt::clock::kPerformanceFrequency;
    }
    LARGE_INTEGER now;
    now.QuadPart = nt::clock::Now(); // 100 ns units are 10 MHz counts
    return now;
}

void KeQuerySystemTime(PLARGE_INTEGER CurrentTime) {
    CurrentTime->QuadPart = nt::clock::SystemTime();
}

void KeQuerySystemTimePrecise(PLARGE_INTEGER CurrentTime) {
    CurrentTime->QuadPart = nt::clock::SystemTime();
}

void KeQueryTickCount(PLARGE_INTEGER CurrentCount) {
    CurrentCount->QuadPart = static_cast<LONGLONG>(nt::clock::TickCount());
}

ULONG KeQueryTimeIncrement() {
    return nt::clock::kTimeIncrement;
}

ULONGLONG KeQueryInterruptTime() {
    return static_cast<ULONGLONG>(nt::clock::Now());
}

void ExSystemTimeToLocalTime(PLARGE_INTEGER SystemTime, PLARGE_INTEGER LocalTime) {
    *LocalTime = *SystemTime;
}

void ExLocalTimeToSystemTime(PLARGE_INTEGER LocalTime, PLARGE_INTEGER SystemTime) {
    *SystemTime = *LocalTime;
}

namespace {

constexpr LONGLONG kUnitsPerSecond = 10'000'000;
constexpr LONGLONG kSecondsPerDay = 86'400;
constexpr LONGLONG kDaysFrom1601To1970 = 134'774;

// Days since 1970-01-01 of a proleptic Gregorian date, and back (the civil calendar algorithms).
LONGLONG DaysFromCivil(LONGLONG y, unsigned m, unsigned d) {
    y -= m <= 2;
    const LONGLONG era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<LONGLONG>(doe) - 719468;
}

void CivilFromDays(LONGLONG z, LONGLONG& y, unsigned& m, unsigned& d) {
    z += 719468;
    const LONGLONG era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<LONGLONG>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

} // namespace

void RtlTimeToTimeFields(PLARGE_INTEGER Time, PTIME_FIELDS TimeFields) {
    LONGLONG units = Time->QuadPart;
    LONGLONG seconds = units / kUnitsPerSecond;
    LONGLONG days = seconds / kSecondsPerDay;
    LONGLONG secondOfDay = seconds % kSecondsPerDay;
    LONGLONG year;
    unsigned month, day;
    CivilFromDays(days - kDaysFrom1601To1970, year, month, day);
    TimeFields->Year = static_cast<SHORT>(year);
    TimeFields->Month = static_cast<SHORT>(month);
    TimeFields->Day = static_cast<SHORT>(day);
    TimeFields->Hour = static_cast<SHORT>(secondOfDay / 3600);
    TimeFields->Minute = static_cast<SHORT>(secondOfDay / 60 % 60);
    TimeFields->Second = static_cast<SHORT>(secondOfDay % 60);
    TimeFields->Milliseconds = static_cast<SHORT>(units % kUnitsPerSecond / 10'000);
    TimeFields->Weekday = static_cast<SHORT>((days + 1) % 7); // 1 January 1601 was a Monday
}

BOOLEAN RtlTimeFieldsToTime(PTIME_FIELDS TimeFields, PLARGE_INTEGER Time) {
    const TIME_FIELDS& f = *TimeFields;
    static const int kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (f.Year < 1601 || f.Month < 1 || f.Month > 12 || f.Day < 1 || f.Hour < 0 || f.Hour > 23 || f.Minute < 0 ||
        f.Minute > 59 || f.Second < 0 || f.Second > 59 || f.Milliseconds < 0 || f.Milliseconds > 999) {
        return FALSE;
    }
    bool leap = (f.Year % 4 == 0 && f.Year % 100 != 0) || f.Year % 400 == 0;
    int monthDays = kDaysInMonth[f.Month - 1] + (f.Month == 2 && leap ? 1 : 0);
    if (f.Day > monthDays) {
        return FALSE;
    }
    LONGLONG days =
        DaysFromCivil(f.Year, static_cast<unsigned>(f.Month), static_cast<unsigned>(f.Day)) + kDaysFrom1601To1970;
    LONGLONG seconds = days * kSecondsPerDay + f.Hour * 3600LL + f.Minute * 60LL + f.Second;
    Time->QuadPart = seconds * kUnitsPerSecond + f.Milliseconds * 10'000LL;
    return TRUE;
}
