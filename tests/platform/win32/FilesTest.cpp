#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>

#include "Win32TestSupport.h"
#include "windows.h"

namespace {

using win32::test::TempFolder;

std::string ReadHost(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteHost(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

struct DispositionCase {
    DWORD disposition;
    bool existsBefore;
    bool opens;
    DWORD error;
    std::string contentAfter;
};

TEST(Files, CreationDispositionsFollowThePlatform) {
    const DispositionCase cases[] = {
        {CREATE_NEW, false, true, ERROR_SUCCESS, ""},
        {CREATE_NEW, true, false, ERROR_FILE_EXISTS, "12345"},
        {CREATE_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {CREATE_ALWAYS, true, true, ERROR_ALREADY_EXISTS, ""},
        {OPEN_EXISTING, false, false, ERROR_FILE_NOT_FOUND, ""},
        {OPEN_EXISTING, true, true, ERROR_SUCCESS, "12345"},
        {OPEN_ALWAYS, false, true, ERROR_SUCCESS, ""},
        {OPEN_ALWAYS, true, true, ERROR_ALREADY_EXISTS, "12345"},
        {TRUNCATE_EXISTING, false, false, ERROR_FILE_NOT_FOUND, ""},
        {TRUNCATE_EXISTING, true, true, ERROR_SUCCESS, ""},
    };
    for (const DispositionCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "disposition " << c.disposition << " exists " << c.existsBefore);
        TempFolder folder;
        if (c.existsBefore)
            WriteHost(folder.HostPath("f.bin"), "12345");
        SetLastError(0xDEAD);
        HANDLE h = CreateFileA(folder.WinPath("f.bin").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, c.disposition,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        EXPECT_EQ(c.error, GetLastError());
        ASSERT_EQ(c.opens, h != INVALID_HANDLE_VALUE);
        if (h != INVALID_HANDLE_VALUE) {
            EXPECT_TRUE(CloseHandle(h));
        }
        if (c.opens || c.existsBefore) {
            EXPECT_EQ(c.contentAfter, ReadHost(folder.HostPath("f.bin")));
        }
    }
}

// A host device has no length to cut: creating over it opens it, and its writes fail as the device says.
TEST(Files, CreateAlwaysOnAHostDeviceOpensIt) {
    HANDLE h = CreateFileA("/dev/full", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD written = 1;
    EXPECT_FALSE(WriteFile(h, "x", 1, &written, nullptr));
    EXPECT_EQ(ERROR_DISK_FULL, GetLastError());
    EXPECT_EQ(0u, written);
    EXPECT_TRUE(CloseHandle(h));
}

TEST(Files, OpenFailuresMapToPlatformErrors) {
    TempFolder folder;
    auto open = [](const std::string& path, DWORD access, DWORD disposition) {
        HANDLE h = CreateFileA(path.c_str(), access, 0, nullptr, disposition, 0, nullptr);
        DWORD error = GetLastError();
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        return h == INVALID_HANDLE_VALUE ? error : ERROR_SUCCESS;
    };
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, open(folder.WinPath("missing\\f.bin"), GENERIC_WRITE, CREATE_ALWAYS));
    EXPECT_EQ(ERROR_ACCESS_DENIED, open(folder.WinPath(""), GENERIC_READ, OPEN_EXISTING));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, open(folder.WinPath("f.bin"), GENERIC_READ, TRUNCATE_EXISTING));
    EXPECT_EQ(ERROR_PATH_NOT_FOUND, open("", GENERIC_READ, OPEN_EXISTING));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, open("\\\\.\\NoSuchDevice", GENERIC_READ, OPEN_EXISTING));
}

TEST(Files, ReadWriteAndTheFilePointer) {
    TempFolder folder;
    HANDLE h = CreateFileA(folder.WinPath("data.bin").c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                           CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD done = 0;
    ASSERT_TRUE(WriteFile(h, "hello world", 11, &done, nullptr));
    EXPECT_EQ(11u, done);
    EXPECT_EQ(11u, GetFileSize(h, nullptr));

    EXPECT_EQ(6u, SetFilePointer(h, 6, nullptr, FILE_BEGIN));
    char buffer[16] = {};
    ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(5u, done);
    EXPECT_STREQ("world", buffer);
    // At the end a read succeeds with nothing.
    ASSERT_TRUE(ReadFile(h, buffer, sizeof buffer, &done, nullptr));
    EXPECT_EQ(0u, done);

    EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(h, -20, nullptr, FILE_CURRENT));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NEGATIVE_SEEK), GetLastError());
    EXPECT_EQ(6u, SetFilePointer(h, -5, nullptr, FILE_END));

    // Positions past 4 GiB go through the high part.
    LONG high = 1;
    EXPECT_EQ(16u, SetFilePointer(h, 16, &high, FILE_BEGIN));
    EXPECT_EQ(1, high);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
    LARGE_INTEGER position{}, move{};
    move.QuadPart = 3;
    ASSERT_TRUE(SetFilePointerEx(h, move, &position, FILE_BEGIN));
    EXPECT_EQ(3, position.QuadPart);

    ASSERT_TRUE(SetEndOfFile(h));
    LARGE_INTEGER size{};
    ASSERT_TRUE(GetFileSizeEx(h, &size));
    EXPECT_EQ(3, size.QuadPart);
    EXPECT_TRUE(FlushFileBuffers(h));

    // An OVERLAPPED block names the offset; the transfer completes at once.
    OVERLAPPED at{};
    at.Offset = 1;
    ASSERT_TRUE(ReadFile(h, buffer, 2, &done, &at));
    EXPECT_EQ(0, std::memcmp(buffer, "el", 2));
    EXPECT_EQ(2u, at.InternalHigh);
    CloseHandle(h);
    EXPECT_EQ("hel", ReadHost(folder.HostPath("data.bin")));
}

TEST(Files, AccessRightsAndHandlesAreChecked) {
    TempFolder folder;
    WriteHost(folder.HostPath("r.bin"), "abc");
    HANDLE h =
        CreateFileA(folder.WinPath("r.bin").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    DWORD done = 7;
    EXPECT_FALSE(WriteFile(h, "x", 1, &done, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_EQ(0u, done);
    EXPECT_FALSE(SetEndOfFile(h));
    CloseHandle(h);

    char byte;
    EXPECT_FALSE(ReadFile(h, &byte, 1, &done, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    EXPECT_EQ(INVALID_FILE_SIZE, GetFileSize(h, nullptr));
}

// A file's handle answers the file-system codes: marking it sparse needs the right to change the file, and
// codes no file system knows fail as the platform's file systems fail them.
TEST(Files, FileSystemControlOnFileHandles) {
    TempFolder folder;
    WriteHost(folder.HostPath("s.bin"), "abc");
    FILE_SET_SPARSE_BUFFER clear{FALSE};
    struct Case {
        DWORD access;
        DWORD code;
        void* input;
        DWORD inputSize;
        bool succeeds;
        DWORD error;
    } cases[] = {
        {GENERIC_READ | GENERIC_WRITE, FSCTL_SET_SPARSE, nullptr, 0, true, ERROR_SUCCESS},
        {GENERIC_WRITE, FSCTL_SET_SPARSE, &clear, sizeof clear, true, ERROR_SUCCESS},
        {GENERIC_READ, FSCTL_SET_SPARSE, nullptr, 0, false, ERROR_ACCESS_DENIED},
        {GENERIC_READ | GENERIC_WRITE, CTL_CODE(FILE_DEVICE_FILE_SYSTEM, 50, METHOD_BUFFERED, FILE_ANY_ACCESS), nullptr,
         0, false, ERROR_INVALID_FUNCTION},
        {GENERIC_READ | GENERIC_WRITE, CTL_CODE(FILE_DEVICE_UNKNOWN, 0x800, METHOD_BUFFERED, FILE_ANY_ACCESS), nullptr,
         0, false, ERROR_INVALID_FUNCTION},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.code << " access " << c.access);
        HANDLE h = CreateFileA(folder.WinPath("s.bin").c_str(), c.access, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        DWORD returned = 99;
        EXPECT_EQ(c.succeeds, !!DeviceIoControl(h, c.code, c.input, c.inputSize, nullptr, 0, &returned, nullptr));
        if (!c.succeeds)
            EXPECT_EQ(c.error, GetLastError());
        EXPECT_EQ(0u, returned);
        CloseHandle(h);
        // The contents stay as they were, and a closed handle is no file any more.
        EXPECT_EQ("abc", ReadHost(folder.HostPath("s.bin")));
        EXPECT_FALSE(DeviceIoControl(h, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    }
}

TEST(Files, DeleteOnCloseRemovesTheFileWithTheLastHandle) {
    TempFolder folder;
    HANDLE h = CreateFileA(folder.WinPath("t.tmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    HANDLE copy = nullptr;
    ASSERT_TRUE(DuplicateHandle(GetCurrentProcess(), h, GetCurrentProcess(), &copy, 0, FALSE, 0));
    CloseHandle(h);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.WinPath("t.tmp").c_str()));
    CloseHandle(copy);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(folder.WinPath("t.tmp").c_str()));
}

TEST(Files, NamespaceOperations) {
    TempFolder folder;
    WriteHost(folder.HostPath("a.txt"), "A");
    WriteHost(folder.HostPath("b.txt"), "B");
    const std::string a = folder.WinPath("a.txt"), b = folder.WinPath("b.txt"), c = folder.WinPath("c.txt");

    EXPECT_FALSE(MoveFileExA(a.c_str(), b.c_str(), 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_TRUE(MoveFileExA(a.c_str(), b.c_str(), MOVEFILE_REPLACE_EXISTING));
    EXPECT_EQ("A", ReadHost(folder.HostPath("b.txt")));
    EXPECT_FALSE(MoveFileExA(a.c_str(), c.c_str(), 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());

    EXPECT_FALSE(CopyFileA(b.c_str(), b.c_str(), TRUE));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), GetLastError());
    EXPECT_TRUE(CopyFileA(b.c_str(), c.c_str(), TRUE));
    EXPECT_EQ("A", ReadHost(folder.HostPath("c.txt")));

    const std::string sub = folder.WinPath("sub");
    EXPECT_TRUE(CreateDirectoryA(sub.c_str(), nullptr));
    EXPECT_FALSE(CreateDirectoryA(sub.c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    EXPECT_FALSE(CreateDirectoryA(folder.WinPath("x\\y").c_str(), nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    EXPECT_EQ(FILE_ATTRIBUTE_DIRECTORY, GetFileAttributesA(sub.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_EQ(0u, GetFileAttributesA(c.c_str()) & FILE_ATTRIBUTE_DIRECTORY);

    EXPECT_FALSE(DeleteFileA(sub.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    EXPECT_TRUE(DeleteFileA(c.c_str()));
    EXPECT_FALSE(DeleteFileA(c.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(c.c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST(Files, TemporaryFileNames) {
    char path[MAX_PATH];
    DWORD length = GetTempPathA(MAX_PATH, path);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(std::strlen(path), length);
    EXPECT_EQ('\\', path[length - 1]);
    char tiny[2];
    EXPECT_EQ(length + 1, GetTempPathA(sizeof tiny, tiny));

    TempFolder folder;
    const std::string winFolder = folder.WinPath("");
    char first[MAX_PATH], second[MAX_PATH];
    UINT n1 = GetTempFileNameA(winFolder.c_str(), "xrdump", 0, first);
    UINT n2 = GetTempFileNameA(winFolder.c_str(), "xrdump", 0, second);
    ASSERT_NE(0u, n1);
    ASSERT_NE(0u, n2);
    EXPECT_STRNE(first, second);
    std::string name = first;
    EXPECT_EQ(0u, name.find(winFolder + "xrd")) << name; // the prefix keeps three characters
    EXPECT_EQ(".tmp", name.substr(name.size() - 4));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(first)); // the name is reserved by a file

    // With a number of its own, only the name is made.
    char named[MAX_PATH];
    EXPECT_EQ(0x2Au, GetTempFileNameA(winFolder.c_str(), "ab", 0x2A, named));
    EXPECT_EQ(winFolder + "ab2A.tmp", std::string(named));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(named));

    EXPECT_EQ(0u, GetTempFileNameA(folder.WinPath("missing").c_str(), "x", 0, named));
    EXPECT_EQ(static_cast<DWORD>(ERROR_DIRECTORY), GetLastError());
}

TEST(Files, ProgramPathsUsePlatformSeparators) {
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    ASSERT_GT(length, 0u);
    EXPECT_EQ(nullptr, std::strchr(path, '/'));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(path)); // the stand-in maps it back to the host

    char shortBuffer[4];
    EXPECT_EQ(4u, GetModuleFileNameA(nullptr, shortBuffer, sizeof shortBuffer));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ('\0', shortBuffer[3]);

    char full[MAX_PATH];
    char* part = nullptr;
    ASSERT_GT(GetFullPathNameA("\\a\\b\\..\\c.txt", MAX_PATH, full, &part), 0u);
    EXPECT_STREQ("\\a\\c.txt", full);
    EXPECT_STREQ("c.txt", part);
}

} // namespace
