#include <cstring>
#include <gtest/gtest.h>

#include "NtClock.h"
#include "windows.h"

namespace {

ULONGLONG Ticks(const FILETIME& t) {
    return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
}

FILETIME FileTime(ULONGLONG ticks) {
    return FILETIME{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

TEST(Time, CalendarConversionsBothWays) {
    struct Case {
        ULONGLONG ticks;
        SYSTEMTIME time; // year, month, day of week, day, hour, minute, second, milliseconds
    };
    const Case cases[] = {
        {0, {1601, 1, 1, 1, 0, 0, 0, 0}},
        {116444736000000000ULL, {1970, 1, 4, 1, 0, 0, 0, 0}},
        {125963012967890000ULL, {2000, 2, 2, 29, 12, 34, 56, 789}},
        {130645440000000000ULL, {2015, 1, 4, 1, 0, 0, 0, 0}},
        {0x7FFFFFFFFFFFFFFFULL - 0x7FFFFFFFFFFFFFFFULL % 10000, {30828, 9, 4, 14, 2, 48, 5, 477}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.time.wYear);
        FILETIME in = FileTime(c.ticks);
        SYSTEMTIME out{};
        ASSERT_TRUE(FileTimeToSystemTime(&in, &out));
        EXPECT_EQ(0, std::memcmp(&out, &c.time, sizeof out));
        if (c.time.wYear <= 30827) {
            FILETIME back{};
            ASSERT_TRUE(SystemTimeToFileTime(&c.time, &back));
            EXPECT_EQ(c.ticks, Ticks(back));
        }
    }
}

TEST(Time, OutOfRangeValuesAreRefused) {
    FILETIME topBit = FileTime(0x8000000000000000ULL);
    SYSTEMTIME out;
    EXPECT_FALSE(FileTimeToSystemTime(&topBit, &out));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    const SYSTEMTIME bad[] = {
        {2023, 2, 0, 29, 0, 0, 0, 0}, {2024, 13, 0, 1, 0, 0, 0, 0},   {1600, 12, 0, 31, 0, 0, 0, 0},
        {2024, 1, 0, 1, 24, 0, 0, 0}, {2024, 1, 0, 1, 0, 0, 0, 1000}, {2024, 4, 0, 31, 0, 0, 0, 0},
    };
    for (const SYSTEMTIME& t : bad) {
        FILETIME ft;
        EXPECT_FALSE(SystemTimeToFileTime(&t, &ft)) << t.wYear << "-" << t.wMonth << "-" << t.wDay;
    }
    const SYSTEMTIME leap{2024, 2, 0, 29, 0, 0, 0, 0};
    FILETIME ft;
    EXPECT_TRUE(SystemTimeToFileTime(&leap, &ft));
}

TEST(Time, ClocksFollowTheMachineClock) {
    nt::clock::UseVirtualClock();
    nt::clock::SetSystemTime(125963012967890000LL); // 2000-02-29 12:34:56.789
    LARGE_INTEGER frequency{}, before{}, after{};
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(10000000, frequency.QuadPart);
    QueryPerformanceCounter(&before);
    const ULONGLONG ticksBefore = GetTickCount64();
    nt::clock::AdvanceMilliseconds(1500);
    QueryPerformanceCounter(&after);
    EXPECT_EQ(15000000, after.QuadPart - before.QuadPart);
    EXPECT_NEAR(1500.0, static_cast<double>(GetTickCount64() - ticksBefore), 16.0);

    SYSTEMTIME system{}, local{};
    GetSystemTime(&system);
    GetLocalTime(&local);
    EXPECT_EQ(2000, system.wYear);
    EXPECT_EQ(29, system.wDay);
    EXPECT_EQ(58, system.wSecond);
    EXPECT_EQ(289, system.wMilliseconds);
    EXPECT_EQ(0, std::memcmp(&system, &local, sizeof system)) << "the machine keeps UTC";
    FILETIME now{}, localNow{};
    GetSystemTimeAsFileTime(&now);
    EXPECT_EQ(125963012967890000ULL + 15000000ULL, Ticks(now));
    FileTimeToLocalFileTime(&now, &localNow);
    EXPECT_EQ(0, CompareFileTime(&now, &localNow));
    nt::clock::Reset();
}

} // namespace
