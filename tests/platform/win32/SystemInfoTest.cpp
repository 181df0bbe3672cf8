#include <cstring>
#include <gtest/gtest.h>
#include <string>

#include "NtVersionControl.h"
#include "WinMachineProfile.h"
#include "WinModulesControl.h"
#include "WinVersionControl.h"
#include "windows.h"

namespace {

class SystemInfo : public testing::Test {
protected:
    void TearDown() override { win32::ResetMachineProfile(); }
};

TEST_F(SystemInfo, DefaultsToWindows7Sp1X64Workstation) {
    OSVERSIONINFOEXA ex{};
    ex.dwOSVersionInfoSize = sizeof ex;
    ASSERT_TRUE(GetVersionEx(reinterpret_cast<OSVERSIONINFO*>(&ex)));
    EXPECT_EQ(6u, ex.dwMajorVersion);
    EXPECT_EQ(1u, ex.dwMinorVersion);
    EXPECT_EQ(7601u, ex.dwBuildNumber);
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), ex.dwPlatformId);
    EXPECT_STREQ("Service Pack 1", ex.szCSDVersion);
    EXPECT_EQ(1, ex.wServicePackMajor);
    EXPECT_EQ(VER_NT_WORKSTATION, ex.wProductType);

    SYSTEM_INFO native{};
    GetNativeSystemInfo(&native);
    EXPECT_EQ(PROCESSOR_ARCHITECTURE_AMD64, native.wProcessorArchitecture);
    EXPECT_EQ(0x10000u, native.dwAllocationGranularity);
    EXPECT_EQ(0, GetSystemMetrics(SM_SERVERR2));
    EXPECT_EQ(0, GetSystemMetrics(SM_MEDIACENTER));
}

TEST_F(SystemInfo, DefaultVersionFollowsTheKernelsRelease) {
    nt::version::SelectRelease(nt::version::Release::WindowsXP);
    OSVERSIONINFOEXA ex{};
    ex.dwOSVersionInfoSize = sizeof ex;
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex)));
    nt::version::Reset();
    EXPECT_EQ(5u, ex.dwMajorVersion);
    EXPECT_EQ(1u, ex.dwMinorVersion);
    EXPECT_EQ(2600u, ex.dwBuildNumber);
    EXPECT_STREQ("Service Pack 2", ex.szCSDVersion);
}

TEST_F(SystemInfo, VersionRecordSizeSelectsTheForm) {
    OSVERSIONINFOEXA ex;
    std::memset(&ex, 0xCC, sizeof ex);
    ex.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    ASSERT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex)));
    EXPECT_EQ(0xCCCC, ex.wServicePackMajor) << "the basic form must not write past its 148 bytes";

    ex.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA) + 1;
    EXPECT_FALSE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());

    win32::MachineProfile old = win32::GetMachineProfile();
    old.refuseExtendedVersion = true;
    win32::SetMachineProfile(old);
    ex.dwOSVersionInfoSize = sizeof ex;
    EXPECT_FALSE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex)));
    ex.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    EXPECT_TRUE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex)));

    OSVERSIONINFOEXW wide{};
    wide.dwOSVersionInfoSize = sizeof wide;
    win32::ResetMachineProfile();
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&wide)));
    EXPECT_EQ(u'S', wide.szCSDVersion[0]);
    EXPECT_EQ(VER_NT_WORKSTATION, wide.wProductType);
}

TEST_F(SystemInfo, ProfileDrivesMetricsAndNames) {
    win32::MachineProfile server;
    server.majorVersion = 5;
    server.minorVersion = 2;
    server.productType = VER_NT_SERVER;
    server.serverR2 = 1;
    server.mediaCenter = 1;
    server.computerName = "BUILDBOX";
    server.userName = "admin";
    win32::SetMachineProfile(server);
    EXPECT_EQ(1, GetSystemMetrics(SM_SERVERR2));
    EXPECT_EQ(1, GetSystemMetrics(SM_MEDIACENTER));

    char name[16];
    DWORD size = sizeof name;
    ASSERT_TRUE(GetComputerNameA(name, &size));
    EXPECT_STREQ("BUILDBOX", name);
    EXPECT_EQ(8u, size); // without the NUL
    size = 4;
    EXPECT_FALSE(GetComputerNameA(name, &size));
    EXPECT_EQ(static_cast<DWORD>(ERROR_BUFFER_OVERFLOW), GetLastError());
    EXPECT_EQ(9u, size);

    char user[256];
    size = sizeof user;
    ASSERT_TRUE(GetUserNameA(user, &size));
    EXPECT_STREQ("admin", user);
    EXPECT_EQ(6u, size); // with the NUL
    size = 2;
    EXPECT_FALSE(GetUserNameA(user, &size));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(6u, size);

    server.computerName.clear();
    win32::SetMachineProfile(server);
    size = sizeof name;
    EXPECT_FALSE(GetComputerNameA(name, &size));
}

int StandInExport(int x) {
    return x * 3;
}

class Modules : public testing::Test {
protected:
    void TearDown() override { win32::ResetModules(); }
};

TEST_F(Modules, RegisteredModulesLoadByAnyFormOfTheirName) {
    win32::RegisterModule("dbghelp", {win32::Export("MiniDumpWriteDump", &StandInExport)});
    EXPECT_EQ(nullptr, LoadLibraryA("winhttp"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());

    HMODULE fromFolder = LoadLibraryA("\\Program Files\\Tindaloft\\DbgHelp.DLL");
    HMODULE byName = LoadLibraryA("dbghelp");
    ASSERT_NE(nullptr, fromFolder);
    EXPECT_EQ(fromFolder, byName);
    EXPECT_EQ(2, win32::ModuleLoadCount("dbghelp.dll"));
    EXPECT_EQ(fromFolder, GetModuleHandleA("DBGHELP.dll"));

    auto function =
        reinterpret_cast<int (*)(int)>(reinterpret_cast<void (*)()>(GetProcAddress(fromFolder, "MiniDumpWriteDump")));
    ASSERT_NE(nullptr, function);
    EXPECT_EQ(21, function(7));
    EXPECT_EQ(nullptr, GetProcAddress(fromFolder, "MiniDumpReadDumpStream"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    EXPECT_EQ(nullptr, GetProcAddress(fromFolder, reinterpret_cast<LPCSTR>(1)));

    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(fromFolder, path, MAX_PATH), 0u);
    EXPECT_STREQ("\\Windows\\System32\\dbghelp.dll", path);

    EXPECT_TRUE(FreeLibrary(fromFolder));
    EXPECT_TRUE(FreeLibrary(byName));
    EXPECT_EQ(0, win32::ModuleLoadCount("dbghelp"));
    EXPECT_FALSE(FreeLibrary(byName));
    EXPECT_EQ(nullptr, GetModuleHandleA("dbghelp"));
    EXPECT_NE(nullptr, GetModuleHandleA(nullptr));
}

TEST_F(Modules, ALoadedModuleOutlivesItsRegistration) {
    win32::RegisterModule("winhttp", {win32::Export("WinHttpOpen", &StandInExport)});
    HMODULE module = LoadLibraryA("winhttp.dll");
    win32::UnregisterModule("winhttp");
    EXPECT_EQ(nullptr, LoadLibraryA("winhttp.dll"));
    EXPECT_NE(nullptr, GetProcAddress(module, "WinHttpOpen"));
    EXPECT_TRUE(FreeLibrary(module));
}

TEST(VersionResources, ProgramResourceIsReadThroughItsModulePath) {
    win32::RegisterVersionResource(
        nullptr, win32::MakeFixedFileInfo(3, 41, 0, 627),
        {{"040904b0", "FileVersion", "3, 41, 0, 627"}, {"040904b0", "ProductName", "Tindaloft"}});
    char path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(GetModuleHandleA(nullptr), path, MAX_PATH), 0u);
    DWORD handle = 7;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    ASSERT_GT(size, 0u);
    EXPECT_EQ(0u, handle);
    std::string block(size, '\0');
    EXPECT_FALSE(GetFileVersionInfoA(path, 0, size - 1, block.data()));
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, block.data()));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<LPVOID*>(&fixed), &length));
    EXPECT_EQ(sizeof(VS_FIXEDFILEINFO), length);
    EXPECT_EQ(VS_FFI_SIGNATURE, fixed->dwSignature);
    EXPECT_EQ(0x00030029u, fixed->dwFileVersionMS);
    EXPECT_EQ(0x00000273u, fixed->dwFileVersionLS);

    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\fileversion",
                               reinterpret_cast<LPVOID*>(&text), &length));
    EXPECT_STREQ("3, 41, 0, 627", text);
    EXPECT_EQ(14u, length);
    DWORD* translation = nullptr;
    ASSERT_TRUE(
        VerQueryValueA(block.data(), "\\VarFileInfo\\Translation", reinterpret_cast<LPVOID*>(&translation), &length));
    EXPECT_EQ(4u, length);
    EXPECT_EQ(0x04B00409u, *translation);
    EXPECT_FALSE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904b0\\Comments", reinterpret_cast<LPVOID*>(&text),
                                &length));

    win32::UnregisterVersionResource(nullptr);
    EXPECT_EQ(0u, GetFileVersionInfoSizeA(path, &handle));
    EXPECT_EQ(static_cast<DWORD>(ERROR_RESOURCE_TYPE_NOT_FOUND), GetLastError());
    EXPECT_EQ(0u, GetFileVersionInfoSizeA("\\no\\such\\file.dll", &handle));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

} // namespace

namespace {

TEST_F(SystemInfo, MemoryStatusReportsTheProfilesSizesAboveFourGiB) {
    win32::MachineProfile p;
    p.totalPhysical = 24ULL << 30;
    p.availablePhysical = 6ULL << 30;
    p.totalVirtual = 1ULL << 43;
    p.availableVirtual = (1ULL << 43) - (1ULL << 32);
    win32::SetMachineProfile(p);
    MEMORYSTATUS status{};
    GlobalMemoryStatus(&status);
    EXPECT_EQ(sizeof(MEMORYSTATUS), status.dwLength);
    EXPECT_EQ(24ULL << 30, status.dwTotalPhys);
    EXPECT_EQ(6ULL << 30, status.dwAvailPhys);
    EXPECT_EQ(1ULL << 43, status.dwTotalVirtual);
    EXPECT_EQ((1ULL << 43) - (1ULL << 32), status.dwAvailVirtual);
    EXPECT_EQ(75u, status.dwMemoryLoad);
}

TEST_F(SystemInfo, RefusedVersionFailsForEveryRecordAndLeavesItAlone) {
    win32::MachineProfile p;
    p.refuseVersion = true;
    win32::SetMachineProfile(p);
    OSVERSIONINFOA basic{};
    basic.dwOSVersionInfoSize = sizeof basic;
    basic.dwMajorVersion = 99;
    EXPECT_FALSE(GetVersionExA(&basic));
    EXPECT_EQ(99u, basic.dwMajorVersion);
    OSVERSIONINFOEXA ex{};
    ex.dwOSVersionInfoSize = sizeof ex;
    EXPECT_FALSE(GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&ex)));
}

} // namespace
