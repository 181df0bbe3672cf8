#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

#include "Win32TestSupport.h"
#include "windows.h"

namespace {

using win32::test::TempFolder;

// The host's protection of the page that holds `address` ("r--p", "rw-s", ...).
std::string PageProtection(const void* address) {
    std::ifstream maps("/proc/self/maps");
    const auto target = reinterpret_cast<uintptr_t>(address);
    for (std::string line; std::getline(maps, line);) {
        uintptr_t start = 0, end = 0;
        char dash = 0;
        std::string permissions;
        std::istringstream fields(line);
        fields >> std::hex >> start >> dash >> end >> permissions;
        if (target >= start && target < end)
            return permissions;
    }
    return {};
}

HANDLE OpenForMapping(const std::string& path, DWORD access) {
    return CreateFileA(path.c_str(), access, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
}

TEST(Sections, NamedPageFileSectionIsSharedByName) {
    HANDLE first = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8192, "SectionsTestBank");
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), GetLastError());
    auto* a = static_cast<char*>(MapViewOfFile(first, FILE_MAP_WRITE, 0, 0, 0));
    ASSERT_NE(nullptr, a);
    std::strcpy(a + 4096, "shared bytes");

    HANDLE second = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8192, "SectionsTestBank");
    ASSERT_NE(nullptr, second);
    EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
    HANDLE opened = OpenFileMappingA(FILE_MAP_READ, FALSE, "SectionsTestBank");
    ASSERT_NE(nullptr, opened);
    auto* b = static_cast<char*>(MapViewOfFile(second, FILE_MAP_WRITE, 0, 0, 0));
    auto* c = static_cast<const char*>(MapViewOfFile(opened, FILE_MAP_READ, 0, 0, 8192));
    ASSERT_NE(nullptr, b);
    ASSERT_NE(nullptr, c);
    EXPECT_STREQ("shared bytes", b + 4096);
    b[0] = 'Z';
    EXPECT_EQ('Z', a[0]);
    EXPECT_EQ('Z', c[0]);

    // A handle opened for reading gives no writable view.
    EXPECT_EQ(nullptr, MapViewOfFile(opened, FILE_MAP_WRITE, 0, 0, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());

    // A view keeps the section and its name alive after the handles are closed.
    CloseHandle(first);
    CloseHandle(second);
    CloseHandle(opened);
    EXPECT_TRUE(UnmapViewOfFile(b));
    EXPECT_TRUE(UnmapViewOfFile(c));
    HANDLE again = OpenFileMappingA(FILE_MAP_READ, FALSE, "SectionsTestBank");
    ASSERT_NE(nullptr, again);
    CloseHandle(again);
    EXPECT_TRUE(UnmapViewOfFile(a));
    EXPECT_FALSE(UnmapViewOfFile(a));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_ADDRESS), GetLastError());
    EXPECT_EQ(nullptr, OpenFileMappingA(FILE_MAP_READ, FALSE, "SectionsTestBank"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST(Sections, PageFileSectionsNeedASize) {
    EXPECT_EQ(nullptr, CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
}

TEST(Sections, ReadOnlyFileMappingIsSizedToTheFile) {
    TempFolder folder;
    std::string content(3 * 65536 + 100, '\0');
    for (size_t i = 0; i < content.size(); ++i)
        content[i] = static_cast<char>(i * 7);
    std::ofstream(folder.HostPath("log.tdloft"), std::ios::binary) << content;

    HANDLE file = OpenForMapping(folder.WinPath("log.tdloft"), GENERIC_READ);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READONLY, 0, 0, nullptr);
    ASSERT_NE(nullptr, mapping);
    CloseHandle(file); // the section keeps the file

    auto* whole = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, 0));
    ASSERT_NE(nullptr, whole);
    EXPECT_EQ(0, std::memcmp(whole, content.data(), content.size()));
    EXPECT_EQ('r', PageProtection(whole)[0]);
    EXPECT_EQ('-', PageProtection(whole)[1]) << "a read-only mapping must not be writable";

    // Views start at the allocation granularity and stay within the file.
    auto* tail = static_cast<const char*>(MapViewOfFile(mapping, FILE_MAP_READ, 0, 2 * 65536, 0));
    ASSERT_NE(nullptr, tail);
    EXPECT_EQ(0, std::memcmp(tail, content.data() + 2 * 65536, content.size() - 2 * 65536));
    struct Refused {
        DWORD access, offset;
        SIZE_T bytes;
        DWORD error;
    };
    for (const Refused& r :
         {Refused{FILE_MAP_WRITE, 0, 0, ERROR_ACCESS_DENIED}, Refused{FILE_MAP_READ, 4096, 0, ERROR_MAPPED_ALIGNMENT},
          Refused{FILE_MAP_READ, 0, content.size() + 1, ERROR_ACCESS_DENIED},
          Refused{FILE_MAP_READ, 4 * 65536, 0, ERROR_ACCESS_DENIED}}) {
        SCOPED_TRACE(testing::Message() << "offset " << r.offset << " bytes " << r.bytes);
        EXPECT_EQ(nullptr, MapViewOfFile(mapping, r.access, 0, r.offset, r.bytes));
        EXPECT_EQ(r.error, GetLastError());
    }
    UnmapViewOfFile(whole);
    UnmapViewOfFile(tail);
    CloseHandle(mapping);
}

TEST(Sections, FileMappingsRefuseWhatTheFileCannotBack) {
    TempFolder folder;
    std::ofstream(folder.HostPath("empty.bin"), std::ios::binary);
    std::ofstream(folder.HostPath("small.bin"), std::ios::binary) << "abc";

    HANDLE empty = OpenForMapping(folder.WinPath("empty.bin"), GENERIC_READ);
    EXPECT_EQ(nullptr, CreateFileMappingA(empty, nullptr, PAGE_READONLY, 0, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_INVALID), GetLastError());
    CloseHandle(empty);

    HANDLE small = OpenForMapping(folder.WinPath("small.bin"), GENERIC_READ);
    EXPECT_EQ(nullptr, CreateFileMappingA(small, nullptr, PAGE_READONLY, 0, 5, nullptr));
    EXPECT_EQ(nullptr, CreateFileMappingA(small, nullptr, PAGE_READWRITE, 0, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    CloseHandle(small);
    EXPECT_EQ(nullptr, CreateFileMappingA(small, nullptr, PAGE_READONLY, 0, 0, nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
}

TEST(Sections, WritableFileViewFlushesToTheFileAndGrowsIt) {
    TempFolder folder;
    HANDLE file = CreateFileA(folder.WinPath("w.bin").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD done;
    WriteFile(file, "1234", 4, &done, nullptr);
    // Two bytes beyond the content, zeroed, as a reader's terminator.
    HANDLE mapping = CreateFileMappingA(file, nullptr, PAGE_READWRITE, 0, 6, nullptr);
    ASSERT_NE(nullptr, mapping);
    auto* view = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0));
    ASSERT_NE(nullptr, view);
    EXPECT_EQ(6u, GetFileSize(file, nullptr));
    EXPECT_EQ('\0', view[5]);
    view[1] = 'X';
    EXPECT_TRUE(FlushViewOfFile(view + 1, 1));
    EXPECT_FALSE(FlushViewOfFile(&done, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_ADDRESS), GetLastError());
    UnmapViewOfFile(view);
    CloseHandle(mapping);
    CloseHandle(file);
    std::ifstream in(folder.HostPath("w.bin"), std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    EXPECT_EQ(std::string("1X34\0\0", 6), bytes);
}

} // namespace
