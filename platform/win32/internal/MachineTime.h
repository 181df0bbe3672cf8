// Internal to the user-mode stand-in: the machine's clocks as user mode reads them, and the calendar.
#pragma once

#include "windef.h"

namespace win32::internal {

// 100 ns units since 1601-01-01 UTC.
LONGLONG SystemTimeNow();

// A FILETIME holds the same 100 ns units in two halves.
inline ULONGLONG TicksOf(const FILETIME& time) {
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}
inline FILETIME FileTimeOf(ULONGLONG ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// The platform's calendar (proleptic Gregorian, UTC). TicksToSystemTime fails for times with the top bit set;
// SystemTimeToTicks for fields out of range (month 13, 30 February, year before 1601 or after 30827, ...).
// wDayOfWeek is computed (0 = Sunday) and ignored on input.
bool TicksToSystemTime(ULONGLONG ticks, SYSTEMTIME& time);
bool SystemTimeToTicks(const SYSTEMTIME& time, ULONGLONG& ticks);

} // namespace win32::internal
