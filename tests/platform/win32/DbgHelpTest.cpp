// The "dbghelp" stand-in: bound at run time like the real module, its MiniDumpWriteDump writes the stand-in
// dump into the file it is given, and fails on a handle that is no file.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "Win32TestSupport.h"
#include "WinDbgHelpControl.h"
#include "WinModulesControl.h"
#include "dbghelp.h"
#include "windows.h"

namespace {

TEST(DbgHelp, TheDumpWriterWritesItsRecordIntoTheGivenFile) {
    win32::RegisterDbgHelpModule();
    HMODULE module = LoadLibraryA("C:\\Program Files\\Tindaloft\\DbgHelp.dll");
    ASSERT_NE(module, nullptr);
    auto write =
        reinterpret_cast<MINIDUMPWRITEDUMP>(reinterpret_cast<void (*)()>(GetProcAddress(module, "MiniDumpWriteDump")));
    ASSERT_NE(write, nullptr);

    win32::test::TempFolder folder;
    const std::string path = folder.WinPath("crash.dmp");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    EXCEPTION_RECORD record{};
    record.ExceptionCode = static_cast<NTSTATUS>(0xC0000005);
    CONTEXT context{};
    EXCEPTION_POINTERS pointers{&record, &context};
    const MINIDUMP_EXCEPTION_INFORMATION info{1234, &pointers, FALSE};
    EXPECT_TRUE(write(GetCurrentProcess(), GetCurrentProcessId(), file, MiniDumpNormal, &info, nullptr, nullptr));
    CloseHandle(file);

    win32::StubMinidump dump{};
    std::ifstream in(folder.HostPath("crash.dmp"), std::ios::binary);
    in.read(reinterpret_cast<char*>(&dump), sizeof dump);
    EXPECT_EQ(in.gcount(), static_cast<std::streamsize>(sizeof dump));
    EXPECT_EQ(std::string(dump.signature, 4), "MDMP");
    EXPECT_EQ(dump.processId, GetCurrentProcessId());
    EXPECT_EQ(dump.threadId, 1234u);
    EXPECT_EQ(dump.exceptionCode, 0xC0000005u);

    EXPECT_FALSE(write(GetCurrentProcess(), GetCurrentProcessId(), INVALID_HANDLE_VALUE, MiniDumpNormal, nullptr,
                       nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    FreeLibrary(module);
    win32::UnregisterModule("dbghelp");
    EXPECT_EQ(LoadLibraryA("dbghelp.dll"), nullptr);
}

} // namespace
