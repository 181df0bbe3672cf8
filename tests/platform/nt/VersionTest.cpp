#include "KernelTest.h"
#include "NtVersionControl.h"
#include "wdm.h"

namespace {

using VersionTest = KernelTest;
using nt::version::Release;

// Tests the running release against major, minor and, when spMajor >= 0, service pack major, each VER_EQUAL,
// through the routines resolved at run time as a driver does.
bool RunningIs(ULONG major, ULONG minor, int spMajor = -1) {
    UNICODE_STRING verifyName = RTL_CONSTANT_STRING(u"RtlVerifyVersionInfo");
    UNICODE_STRING maskName = RTL_CONSTANT_STRING(u"VerSetConditionMask");
    auto verify = reinterpret_cast<decltype(&RtlVerifyVersionInfo)>(MmGetSystemRoutineAddress(&verifyName));
    auto setMask = reinterpret_cast<decltype(&VerSetConditionMask)>(MmGetSystemRoutineAddress(&maskName));
    RTL_OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof info;
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    ULONG typeMask = VER_MAJORVERSION | VER_MINORVERSION;
    ULONGLONG conditions = setMask(0, VER_MAJORVERSION, VER_EQUAL);
    conditions = setMask(conditions, VER_MINORVERSION, VER_EQUAL);
    if (spMajor >= 0) {
        info.wServicePackMajor = static_cast<USHORT>(spMajor);
        typeMask |= VER_SERVICEPACKMAJOR;
        conditions = setMask(conditions, VER_SERVICEPACKMAJOR, VER_EQUAL);
    }
    NTSTATUS status = verify(&info, typeMask, conditions);
    EXPECT_TRUE(status == STATUS_SUCCESS || status == STATUS_REVISION_MISMATCH) << std::hex << status;
    return status == STATUS_SUCCESS;
}

TEST_F(VersionTest, TheReleaseSelectorDrivesGetVersionAndVerifyVersionInfo) {
    struct Case {
        Release release;
        ULONG major, minor, build;
        USHORT spMajor;
    };
    const Case cases[] = {
        {Release::Windows2000, 5, 0, 2195, 4},  {Release::WindowsXP, 5, 1, 2600, 2},
        {Release::WindowsXPSP3, 5, 1, 2600, 3}, {Release::Server2003, 5, 2, 3790, 2},
        {Release::VistaSP0, 6, 0, 6000, 0},     {Release::VistaSP1, 6, 0, 6001, 1},
        {Release::VistaSP2, 6, 0, 6002, 2},     {Release::Windows7, 6, 1, 7601, 1},
        {Release::Windows8, 6, 2, 9200, 0},     {Release::Windows10, 10, 0, 19045, 0},
    };
    for (const Case& c : cases) {
        nt::version::SelectRelease(c.release);
        RTL_OSVERSIONINFOEXW info{};
        info.dwOSVersionInfoSize = sizeof info;
        ASSERT_EQ(RtlGetVersion(reinterpret_cast<PRTL_OSVERSIONINFOW>(&info)), STATUS_SUCCESS);
        EXPECT_EQ(info.dwMajorVersion, c.major);
        EXPECT_EQ(info.dwMinorVersion, c.minor);
        EXPECT_EQ(info.dwBuildNumber, c.build);
        EXPECT_EQ(info.wServicePackMajor, c.spMajor);
        EXPECT_EQ(info.dwPlatformId, ULONG{VER_PLATFORM_WIN32_NT});

        EXPECT_TRUE(RunningIs(c.major, c.minor)) << c.major << "." << c.minor;
        EXPECT_TRUE(RunningIs(c.major, c.minor, c.spMajor));
        EXPECT_FALSE(RunningIs(c.major, c.minor, c.spMajor + 1)) << "service pack is compared";
        EXPECT_FALSE(RunningIs(c.major, c.minor + 1)) << "minor is compared";
        EXPECT_FALSE(RunningIs(c.major + 1, c.minor)) << "major is compared";
    }
}

TEST_F(VersionTest, UnresolvableReleaseHidesOnlyTheVersionRoutines) {
    UNICODE_STRING names[] = {RTL_CONSTANT_STRING(u"RtlGetVersion"), RTL_CONSTANT_STRING(u"RtlVerifyVersionInfo"),
                              RTL_CONSTANT_STRING(u"VerSetConditionMask")};
    for (UNICODE_STRING& name : names) {
        EXPECT_NE(MmGetSystemRoutineAddress(&name), nullptr);
    }
    nt::version::SelectRelease(Release::VersionRoutinesUnresolvable);
    for (UNICODE_STRING& name : names) {
        EXPECT_EQ(MmGetSystemRoutineAddress(&name), nullptr);
    }
    UNICODE_STRING other = RTL_CONSTANT_STRING(u"PsGetVersion");
    EXPECT_NE(MmGetSystemRoutineAddress(&other), nullptr);
    UNICODE_STRING unknown = RTL_CONSTANT_STRING(u"NoSuchRoutine");
    EXPECT_EQ(MmGetSystemRoutineAddress(&unknown), nullptr);
    UNICODE_STRING wrongCase = RTL_CONSTANT_STRING(u"rtlgetversion");
    nt::version::SelectRelease(Release::Windows7);
    EXPECT_EQ(MmGetSystemRoutineAddress(&wrongCase), nullptr) << "exported names are exact";

    nt::version::RegisterSystemRoutine(u"IoExtraRoutine", reinterpret_cast<PVOID>(&PsGetVersion));
    UNICODE_STRING extra = RTL_CONSTANT_STRING(u"IoExtraRoutine");
    EXPECT_EQ(MmGetSystemRoutineAddress(&extra), reinterpret_cast<PVOID>(&PsGetVersion));
}

TEST_F(VersionTest, VersionPartsCompareAsOneNumber) {
    nt::version::SelectRelease(Release::Windows7); // 6.1 SP1
    RTL_OSVERSIONINFOEXW want{};
    want.dwOSVersionInfoSize = sizeof want;
    want.dwMajorVersion = 5;
    want.dwMinorVersion = 2;
    ULONGLONG atLeast = VerSetConditionMask(VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL),
                                            VER_MINORVERSION, VER_GREATER_EQUAL);
    EXPECT_EQ(RtlVerifyVersionInfo(&want, VER_MAJORVERSION | VER_MINORVERSION, atLeast), STATUS_SUCCESS)
        << "6.1 >= 5.2 although 1 < 2";
    want.dwMajorVersion = 6;
    want.dwMinorVersion = 2;
    EXPECT_EQ(RtlVerifyVersionInfo(&want, VER_MAJORVERSION | VER_MINORVERSION, atLeast), STATUS_REVISION_MISMATCH);
    EXPECT_EQ(RtlVerifyVersionInfo(&want, 0, atLeast), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(VerSetConditionMask(0, VER_MINORVERSION | VER_SERVICEPACKMAJOR, VER_LESS),
              (ULONGLONG{VER_LESS} << 0) | (ULONGLONG{VER_LESS} << 15));
}

TEST_F(VersionTest, SafeModeAndShortStructures) {
    EXPECT_EQ(*InitSafeBootMode, 0u);
    nt::version::SetSafeBootMode(SAFEBOOT_MINIMAL);
    EXPECT_EQ(*InitSafeBootMode, ULONG{SAFEBOOT_MINIMAL});

    RTL_OSVERSIONINFOW plain{};
    plain.dwOSVersionInfoSize = sizeof plain;
    EXPECT_EQ(RtlGetVersion(&plain), STATUS_SUCCESS);
    EXPECT_EQ(std::u16string(plain.szCSDVersion), u"Service Pack 1");
    plain.dwOSVersionInfoSize = 100;
    EXPECT_EQ(RtlGetVersion(&plain), STATUS_INVALID_PARAMETER);
}

} // namespace
