#include "MachineTime.h"

#include "NtClock.h"
#include "NtTime.h"

namespace win32::internal {

LONGLONG SystemTimeNow() {
    return nt::clock::SystemTime();
}

// User mode reads the kernel's calendar; only its limits differ (no negative times, no year after 30827).
bool TicksToSystemTime(ULONGLONG ticks, SYSTEMTIME& time) {
    if (ticks >> 63)
        return false;
    LARGE_INTEGER t;
    t.QuadPart = static_cast<LONGLONG>(ticks);
    TIME_FIELDS f;
    RtlTimeToTimeFields(&t, &f);
    time.wYear = static_cast<WORD>(f.Year);
    time.wMonth = static_cast<WORD>(f.Month);
    time.wDayOfWeek = static_cast<WORD>(f.Weekday);
    time.wDay = static_cast<WORD>(f.Day);
    time.wHour = static_cast<WORD>(f.Hour);
    time.wMinute = static_cast<WORD>(f.Minute);
    time.wSecond = static_cast<WORD>(f.Second);
    time.wMilliseconds = static_cast<WORD>(f.Milliseconds);
    return true;
}

bool SystemTimeToTicks(const SYSTEMTIME& time, ULONGLONG& ticks) {
    if (time.wYear > 30827 || time.wMonth > 12 || time.wDay > 31 || time.wHour > 23 || time.wMinute > 59 ||
        time.wSecond > 59 || time.wMilliseconds > 999)
        return false;
    TIME_FIELDS f{};
    f.Year = static_cast<SHORT>(time.wYear);
    f.Month = static_cast<SHORT>(time.wMonth);
    f.Day = static_cast<SHORT>(time.wDay);
    f.Hour = static_cast<SHORT>(time.wHour);
    f.Minute = static_cast<SHORT>(time.wMinute);
    f.Second = static_cast<SHORT>(time.wSecond);
    f.Milliseconds = static_cast<SHORT>(time.wMilliseconds);
    LARGE_INTEGER t;
    if (!RtlTimeFieldsToTime(&f, &t))
        return false;
    ticks = static_cast<ULONGLONG>(t.QuadPart);
    return true;
}

} // namespace win32::internal
