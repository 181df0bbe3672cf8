#include "WinTime.h"

#include "NtClock.h"
#include "NtTime.h"
#include "WinHandles.h"
#include "internal/MachineTime.h"
#include "winerror.h"

namespace {

using win32::internal::FileTimeOf;
using win32::internal::TicksOf;

BOOL Invalid() {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

} // namespace

BOOL QueryPerformanceCounter(LARGE_INTEGER* performanceCount) {
    if (!performanceCount)
        return Invalid();
    *performanceCount = KeQueryPerformanceCounter(nullptr);
    return TRUE;
}

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency) {
    if (!frequency)
        return Invalid();
    KeQueryPerformanceCounter(frequency);
    return TRUE;
}

DWORD GetTickCount() {
    return static_cast<DWORD>(nt::clock::TickCountMilliseconds());
}

ULONGLONG GetTickCount64() {
    return nt::clock::TickCountMilliseconds();
}

void GetSystemTimeAsFileTime(LPFILETIME systemTimeAsFileTime) {
    if (systemTimeAsFileTime)
        *systemTimeAsFileTime = FileTimeOf(static_cast<ULONGLONG>(win32::internal::SystemTimeNow()));
}

void GetSystemTime(LPSYSTEMTIME systemTime) {
    if (systemTime)
        win32::internal::TicksToSystemTime(static_cast<ULONGLONG>(win32::internal::SystemTimeNow()), *systemTime);
}

void GetLocalTime(LPSYSTEMTIME systemTime) {
    FILETIME now, local;
    GetSystemTimeAsFileTime(&now);
    FileTimeToLocalFileTime(&now, &local);
    if (systemTime)
        win32::internal::TicksToSystemTime(TicksOf(local), *systemTime);
}

BOOL FileTimeToSystemTime(const FILETIME* fileTime, LPSYSTEMTIME systemTime) {
    if (!fileTime || !systemTime || !win32::internal::TicksToSystemTime(TicksOf(*fileTime), *systemTime))
        return Invalid();
    return TRUE;
}

BOOL SystemTimeToFileTime(const SYSTEMTIME* systemTime, LPFILETIME fileTime) {
    ULONGLONG ticks = 0;
    if (!systemTime || !fileTime || !win32::internal::SystemTimeToTicks(*systemTime, ticks))
        return Invalid();
    *fileTime = FileTimeOf(ticks);
    return TRUE;
}

BOOL FileTimeToLocalFileTime(const FILETIME* fileTime, LPFILETIME localFileTime) {
    if (!fileTime || !localFileTime)
        return Invalid();
    LARGE_INTEGER system, local;
    system.QuadPart = static_cast<LONGLONG>(TicksOf(*fileTime));
    ExSystemTimeToLocalTime(&system, &local);
    *localFileTime = FileTimeOf(static_cast<ULONGLONG>(local.QuadPart));
    return TRUE;
}

BOOL LocalFileTimeToFileTime(const FILETIME* localFileTime, LPFILETIME fileTime) {
    if (!fileTime || !localFileTime)
        return Invalid();
    LARGE_INTEGER system, local;
    local.QuadPart = static_cast<LONGLONG>(TicksOf(*localFileTime));
    ExLocalTimeToSystemTime(&local, &system);
    *fileTime = FileTimeOf(static_cast<ULONGLONG>(system.QuadPart));
    return TRUE;
}

LONG CompareFileTime(const FILETIME* fileTime1, const FILETIME* fileTime2) {
    ULONGLONG a = TicksOf(*fileTime1), b = TicksOf(*fileTime2);
    return a < b ? -1 : a > b ? 1 : 0;
}
