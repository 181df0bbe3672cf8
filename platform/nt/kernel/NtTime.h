// Time of the machine: the performance counter, system time, interrupt time and the tick count. All of them
// read the one machine clock (NtClock.h), which user mode shares (QueryPerformanceCounter, GetTickCount).
#pragma once

#include "ntdef.h"

// The counter runs at 10 MHz (one count per 100 ns); its frequency is stored when PerformanceFrequency is
// not null.
LARGE_INTEGER KeQueryPerformanceCounter(PLARGE_INTEGER PerformanceFrequency);
// 100 ns units since 1 January 1601 (UTC).
void KeQuerySystemTime(PLARGE_INTEGER CurrentTime);
void KeQuerySystemTimePrecise(PLARGE_INTEGER CurrentTime);
// Clock ticks since the machine started; a tick is KeQueryTimeIncrement() 100-ns units (15.625 ms).
void KeQueryTickCount(PLARGE_INTEGER CurrentCount);
ULONG KeQueryTimeIncrement();
// 100 ns units since the machine started.
ULONGLONG KeQueryInterruptTime();
void ExSystemTimeToLocalTime(PLARGE_INTEGER SystemTime, PLARGE_INTEGER LocalTime); // the machine keeps UTC
void ExLocalTimeToSystemTime(PLARGE_INTEGER LocalTime, PLARGE_INTEGER SystemTime);

typedef struct _TIME_FIELDS {
    SHORT Year;
    SHORT Month;
    SHORT Day;
    SHORT Hour;
    SHORT Minute;
    SHORT Second;
    SHORT Milliseconds;
    SHORT Weekday; // 0 = Sunday
} TIME_FIELDS, *PTIME_FIELDS;
void RtlTimeToTimeFields(PLARGE_INTEGER Time, PTIME_FIELDS TimeFields);
BOOLEAN RtlTimeFieldsToTime(PTIME_FIELDS TimeFields, PLARGE_INTEGER Time);
