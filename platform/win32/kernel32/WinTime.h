// Time as user mode reads it, all from the machine clock (NtClock.h): the performance counter is the kernel's
// (KeQueryPerformanceCounter), the tick count is milliseconds since the machine started, and the machine keeps
// UTC, so local time equals system time.
#pragma once

#include "windef.h"

BOOL QueryPerformanceCounter(LARGE_INTEGER* performanceCount);
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
DWORD GetTickCount();
ULONGLONG GetTickCount64();

void GetSystemTime(LPSYSTEMTIME systemTime);
void GetLocalTime(LPSYSTEMTIME systemTime);
void GetSystemTimeAsFileTime(LPFILETIME systemTimeAsFileTime);

// FILETIME values with the top bit set and SYSTEMTIME fields out of range fail with ERROR_INVALID_PARAMETER.
BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime);
BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, LPFILETIME fileTime);
BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, LPFILETIME localFileTime);
BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, LPFILETIME fileTime);
// -1, 0 or 1.
LONG CompareFileTime(const FILETIME* fileTime1, const FILETIME* fileTime2);
