#include <cerrno>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>

#include "Win32TestSupport.h"
#include "WinCrtTime.h"
#include "WinFailureControl.h"
#include "WinMachineProfile.h"
#include "windows.h"

namespace {

class FileStampsTest : public testing::Test {
protected:
    void TearDown() override { win32::ClearCallFailures(); }
    win32::test::TempFolder folder_;
};

int64_t UnixTimeOf(const FILETIME& time) {
    return static_cast<int64_t>(((uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime) / 10000000) - 11644473600;
}

TEST_F(FileStampsTest, DosDatesConvertOnlyWhenEveryFieldIsInRange) {
    struct Case {
        WORD date, time;
        int64_t unix; // -1: refused
    };
    const Case cases[] = {
        {(40 << 9) | (5 << 5) | 17, (12 << 11) | (30 << 5) | 29, 1589718658}, // 2020-05-17 12:30:58
        {(0 << 9) | (1 << 5) | 1, 0, 315532800},                              // 1980-01-01, the first DOS day
        {(44 << 9) | (2 << 5) | 29, 0, 1709164800},                           // 29 February 2024
        {(43 << 9) | (2 << 5) | 29, 0, -1},                                   // 29 February 2023
        {(40 << 9) | (0 << 5) | 1, 0, -1},                                    // month 0
        {(40 << 9) | (13 << 5) | 1, 0, -1},                                   // month 13
        {(40 << 9) | (4 << 5) | 31, 0, -1},                                   // 31 April
        {(40 << 9) | (5 << 5) | 0, 0, -1},                                    // day 0
        {(40 << 9) | (5 << 5) | 1, 24 << 11, -1},                             // hour 24
        {(40 << 9) | (5 << 5) | 1, 60 << 5, -1},                              // minute 60
        {(40 << 9) | (5 << 5) | 1, 30, -1},                                   // second 60
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.date << " " << c.time);
        FILETIME time{1, 1};
        SetLastError(0);
        const BOOL ok = DosDateTimeToFileTime(c.date, c.time, &time);
        EXPECT_EQ(ok, c.unix >= 0);
        if (c.unix >= 0)
            EXPECT_EQ(UnixTimeOf(time), c.unix);
        else
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    }
}

TEST_F(FileStampsTest, GmtimeBreaksDownNonNegativeTimesOnly) {
    struct tm parts;
    __time32_t time = 1589718658;
    ASSERT_EQ(_gmtime32_s(&parts, &time), 0);
    EXPECT_EQ(parts.tm_year, 120);
    EXPECT_EQ(parts.tm_mon, 4);
    EXPECT_EQ(parts.tm_mday, 17);
    EXPECT_EQ(parts.tm_hour, 12);
    EXPECT_EQ(parts.tm_sec, 58);
    time = INT32_MAX; // 2038-01-19 03:14:07, the last second there is
    ASSERT_EQ(_gmtime32_s(&parts, &time), 0);
    EXPECT_EQ(parts.tm_year, 138);
    time = -1;
    EXPECT_EQ(_gmtime32_s(&parts, &time), EINVAL);
    EXPECT_EQ(parts.tm_year, -1) << "a refused time leaves every field -1";
    EXPECT_EQ(_gmtime32_s(nullptr, &time), EINVAL);
    EXPECT_EQ(_gmtime32_s(&parts, nullptr), EINVAL);
    time = 0;
    win32::FailCalls({.function = "_gmtime32_s", .error = 0, .count = 1});
    EXPECT_EQ(_gmtime32_s(&parts, &time), EINVAL);
    EXPECT_EQ(_gmtime32_s(&parts, &time), 0);
}

TEST_F(FileStampsTest, FileTimesAndTypeGoToTheFileBehindTheHandle) {
    const std::string path = folder_.WinPath("stamped.bin");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetFileType(file), static_cast<DWORD>(FILE_TYPE_DISK));

    FILETIME written, accessed;
    ASSERT_TRUE(DosDateTimeToFileTime((40 << 9) | (5 << 5) | 17, 12 << 11, &written));
    ASSERT_TRUE(DosDateTimeToFileTime((20 << 9) | (1 << 5) | 2, 0, &accessed));
    EXPECT_TRUE(SetFileTime(file, &written, &accessed, &written));
    struct stat st;
    ASSERT_EQ(stat(folder_.HostPath("stamped.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, UnixTimeOf(written));
    EXPECT_EQ(st.st_atim.tv_sec, UnixTimeOf(accessed));
    // Null times stay as they are.
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &accessed));
    ASSERT_EQ(stat(folder_.HostPath("stamped.bin").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, UnixTimeOf(accessed));
    EXPECT_EQ(st.st_atim.tv_sec, UnixTimeOf(accessed));

    const FILETIME topBit{0, 0x80000000u};
    EXPECT_FALSE(SetFileTime(file, nullptr, nullptr, &topBit));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    win32::FailCalls({.function = "SetFileTime", .error = ERROR_ACCESS_DENIED, .skip = 1, .count = 1});
    EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &written));
    EXPECT_FALSE(SetFileTime(file, nullptr, nullptr, &written));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    win32::FailCalls({.function = "GetFileType", .error = ERROR_INVALID_FUNCTION});
    EXPECT_EQ(GetFileType(file), static_cast<DWORD>(FILE_TYPE_UNKNOWN));
    win32::ClearCallFailures();
    CloseHandle(file);

    HANDLE reader = CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(SetFileTime(reader, nullptr, nullptr, &written));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    CloseHandle(reader);
    EXPECT_EQ(GetFileType(reader), static_cast<DWORD>(FILE_TYPE_UNKNOWN));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(SetFileTime(reader, nullptr, nullptr, &written));
}

TEST_F(FileStampsTest, TheWindowsFolderLivesInTheMachineStateFolder) {
    const std::string previous = win32::StateFolder();
    win32::SetStateFolder(folder_.HostPath("state"));
    char buffer[MAX_PATH];
    const UINT length = GetWindowsDirectoryA(buffer, MAX_PATH);
    const std::string expected = folder_.WinPath("state/Windows");
    EXPECT_EQ(std::string(buffer), expected);
    EXPECT_EQ(length, expected.size());
    EXPECT_TRUE(std::filesystem::is_directory(folder_.HostPath("state/Windows"))) << "made when missing";
    EXPECT_EQ(GetWindowsDirectoryA(buffer, static_cast<UINT>(expected.size())), expected.size() + 1)
        << "a short buffer gets the size needed";

    win32::FailCalls({.function = "GetWindowsDirectoryA", .error = ERROR_PATH_NOT_FOUND, .count = 1});
    EXPECT_EQ(GetWindowsDirectoryA(buffer, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));

    // A file where the folder should be cannot become the folder.
    std::filesystem::create_directories(folder_.HostPath("blocked"));
    std::ofstream(folder_.HostPath("blocked/Windows")) << "x";
    win32::SetStateFolder(folder_.HostPath("blocked"));
    EXPECT_EQ(GetWindowsDirectoryA(buffer, MAX_PATH), 0u);
    win32::SetStateFolder(previous);
}

} // namespace
