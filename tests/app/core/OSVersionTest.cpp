#include "app/core/system/OSVersion.h"

#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "NtRegistryStore.h"
#include "WinMachineProfile.h"

namespace {

using Flag = BOOL COSVersion::*;

const Flag kFlags[] = {
    &COSVersion::m_bWinNTBefore4, &COSVersion::m_bWinNT4,  &COSVersion::m_bWin2000, &COSVersion::m_bWinXP,
    &COSVersion::m_bWin2003,      &COSVersion::m_bVista,   &COSVersion::m_bWin7,    &COSVersion::m_bWin8,
    &COSVersion::m_bWin98,        &COSVersion::m_bWin98SE, &COSVersion::m_bWin95,   &COSVersion::m_bWin95OSR2,
    &COSVersion::m_bWinMe,        &COSVersion::m_bWin32s,
};

constexpr DWORD kNT = VER_PLATFORM_WIN32_NT, k9x = VER_PLATFORM_WIN32_WINDOWS;
constexpr BYTE kWorkstation = 1, kServer = 3;

struct Machine {
    DWORD platform, major, minor, build;
    const char* servicePack;
    BYTE productType;
    WORD suite;
    WORD architecture = PROCESSOR_ARCHITECTURE_AMD64;
    int serverR2 = 0, mediaCenter = 0;
    bool refuseExtended = false;
};

win32::MachineProfile ProfileOf(const Machine& m) {
    win32::MachineProfile p;
    p.platformId = m.platform;
    p.majorVersion = m.major;
    p.minorVersion = m.minor;
    p.buildNumber = m.build;
    p.servicePack = m.servicePack;
    p.productType = m.productType;
    p.suiteMask = m.suite;
    p.processorArchitecture = m.architecture;
    p.serverR2 = m.serverR2;
    p.mediaCenter = m.mediaCenter;
    p.refuseExtendedVersion = m.refuseExtended;
    return p;
}

class OSVersion : public testing::Test {
protected:
    void SetUp() override { nt::registry::Reset(); }
    void TearDown() override {
        win32::ResetMachineProfile();
        nt::registry::Reset();
    }
    static void SetKey(const char* path, const char* valueName = nullptr, const char* value = nullptr) {
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS,
                  RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
        if (valueName)
            RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                           static_cast<DWORD>(std::strlen(value) + 1));
        RegCloseKey(key);
    }
    static void SetProductType(const char* type) {
        SetKey("SYSTEM\\CurrentControlSet\\Control\\ProductOptions", "ProductType", type);
    }
};

TEST_F(OSVersion, DescribesEachRelease) {
    struct Case {
        const char* name;
        Machine machine;
        const char* description;
        Flag flag; // the one release flag set (none for a release without one)
        void (*registry)() = nullptr;
    };
    const Case cases[] = {
        {"7 SP1 x64",
         {kNT, 6, 1, 7601, "Service Pack 1", kWorkstation, 0x100},
         "Microsoft Windows 7 Service Pack 1 (Build 7601)",
         &COSVersion::m_bWin7},
        {"Vista",
         {kNT, 6, 0, 6002, "Service Pack 2", kWorkstation, 0x100},
         "Microsoft Windows Vista Service Pack 2 (Build 6002)",
         &COSVersion::m_bVista},
        {"XP Home SP3",
         {kNT, 5, 1, 2600, "Service Pack 3", kWorkstation, 0x300, PROCESSOR_ARCHITECTURE_INTEL},
         "Microsoft Windows XP Home Edition Professional Service Pack 3 (Build 2600)",
         &COSVersion::m_bWinXP},
        {"XP Media Center",
         {kNT, 5, 1, 2600, "Service Pack 2", kWorkstation, 0x100, 0, 0, 1},
         "Microsoft Windows XP Microsoft Windows XP Media Center Edition Service Pack 2 (Build 2600)",
         &COSVersion::m_bWinXP},
        {"XP x64",
         {kNT, 5, 2, 3790, "Service Pack 2", kWorkstation, 0x100},
         "Microsoft Windows XP Professional x64 Edition Service Pack 2 (Build 3790)",
         &COSVersion::m_bWin2003},
        {"2000 Professional",
         {kNT, 5, 0, 2195, "Service Pack 4", kWorkstation, 0, PROCESSOR_ARCHITECTURE_INTEL},
         "Microsoft Windows 2000 Professional Service Pack 4 (Build 2195)",
         &COSVersion::m_bWin2000},
        {"2000 Advanced Server",
         {kNT, 5, 0, 2195, "Service Pack 4", kServer, 0x2, PROCESSOR_ARCHITECTURE_INTEL},
         "Microsoft Windows 2000 Advanced Server Service Pack 4 (Build 2195)",
         &COSVersion::m_bWin2000},
        {"Server 2003",
         {kNT, 5, 2, 3790, "Service Pack 2", kServer, 0x10, PROCESSOR_ARCHITECTURE_INTEL, 0},
         "Microsoft Windows Server 2003 , Standard Edition Service Pack 2 (Build 3790)",
         &COSVersion::m_bWin2003},
        {"Server 2003 R2",
         {kNT, 5, 2, 3790, "Service Pack 2", kServer, 0x2, PROCESSOR_ARCHITECTURE_INTEL, 1},
         "Microsoft Windows Server 2003 R2 , Enterprise Edition Service Pack 2 (Build 3790)",
         &COSVersion::m_bWin2003},
        {"Home Server",
         {kNT, 5, 2, 3790, "Service Pack 2", kServer, 0x8000, PROCESSOR_ARCHITECTURE_INTEL},
         "Microsoft Windows Server 2003 Microsoft Windows Home Server , Standard Edition Service Pack 2 (Build 3790)",
         &COSVersion::m_bWin2003},
        {"Server 2008 R2 Datacenter",
         {kNT, 6, 1, 7601, "Service Pack 1", kServer, 0x80},
         "Microsoft Windows Server 2008 R2  Datacenter Service Pack 1 (Build 7601)",
         &COSVersion::m_bWin7},
        {"6.2 Enterprise server",
         {kNT, 6, 2, 9200, "Service Pack 1", kServer, 0x2},
         "Microsoft Windows 8 Server Server 4.0, Enterprise Edition Service Pack 1 (Build 9200)",
         &COSVersion::m_bWin8},
        {"NT 4 SP6 with Q246009",
         {kNT, 4, 0, 1381, "Service Pack 6", kWorkstation, 0, PROCESSOR_ARCHITECTURE_INTEL},
         "Microsoft Windows NT Workstation 4.0 Service Pack 6a (Build 1381)",
         &COSVersion::m_bWinNT4,
         [] { SetKey("SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Hotfix\\Q246009"); }},
        {"NT 4 SP6",
         {kNT, 4, 0, 1381, "Service Pack 6", kWorkstation, 0, PROCESSOR_ARCHITECTURE_INTEL},
         "Microsoft Windows NT Workstation 4.0 Service Pack 6 (Build 1381)",
         &COSVersion::m_bWinNT4},
        {"NT 4 basic record WINNT",
         {kNT, 4, 0, 1381, "Service Pack 5", 0, 0, PROCESSOR_ARCHITECTURE_INTEL, 0, 0, true},
         "Microsoft Windows NT Workstation Service Pack 5 (Build 1381)",
         &COSVersion::m_bWinNT4,
         [] { SetProductType("WINNT"); }},
        {"NT 4 basic record LANMANNT",
         {kNT, 4, 0, 1381, "Service Pack 5", 0, 0, PROCESSOR_ARCHITECTURE_INTEL, 0, 0, true},
         "Microsoft Windows NT Server Service Pack 5 (Build 1381)",
         &COSVersion::m_bWinNT4,
         [] { SetProductType("lanmannt"); }},
        {"NT 4 basic record SERVERNT",
         {kNT, 4, 0, 1381, "Service Pack 5", 0, 0, PROCESSOR_ARCHITECTURE_INTEL, 0, 0, true},
         "Microsoft Windows NT Advanced Server Service Pack 5 (Build 1381)",
         &COSVersion::m_bWinNT4,
         [] { SetProductType("ServerNT"); }},
        {"NT 3.51 basic record, no product type",
         {kNT, 3, 51, 1057, "Service Pack 5", 0, 0, PROCESSOR_ARCHITECTURE_INTEL, 0, 0, true},
         "Microsoft Windows NT Service Pack 5 (Build 1057)",
         &COSVersion::m_bWinNTBefore4},
        {"98 SE",
         {k9x, 4, 10, 2222, " A", 0, 0, PROCESSOR_ARCHITECTURE_INTEL},
         "Microsoft Windows 98 SE ",
         &COSVersion::m_bWin98SE},
        {"98",
         {k9x, 4, 10, 1998, "", 0, 0, PROCESSOR_ARCHITECTURE_INTEL},
         "Microsoft Windows 98 ",
         &COSVersion::m_bWin98},
        {"Me",
         {k9x, 4, 90, 3000, "", 0, 0, PROCESSOR_ARCHITECTURE_INTEL},
         "Microsoft Windows Millennium Edition",
         &COSVersion::m_bWinMe},
        {"Win32s", {0, 1, 30, 0, "", 0, 0, PROCESSOR_ARCHITECTURE_INTEL}, "Microsoft Win32s", &COSVersion::m_bWin32s},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        nt::registry::Reset();
        if (c.registry)
            c.registry();
        win32::SetMachineProfile(ProfileOf(c.machine));
        COSVersion os;
        ASSERT_TRUE(os.IsValid());
        EXPECT_EQ(!c.machine.refuseExtended, os.HasExtendedRecord() != FALSE);
        EXPECT_STREQ(c.description, os.GetDescription());
        for (size_t i = 0; i < std::size(kFlags); ++i)
            EXPECT_EQ(kFlags[i] == c.flag, os.*kFlags[i] != FALSE) << "flag " << i;
    }
}

TEST_F(OSVersion, ProductTextIsTheDescriptionWithoutServicePackAndBuild) {
    COSVersion os;
    EXPECT_STREQ("Microsoft Windows 7 ", os.GetProduct());
    EXPECT_EQ(9u, os.GetArchitecture());
    EXPECT_EQ(7601u, os.GetVersionInfo().dwBuildNumber);

    win32::SetMachineProfile(ProfileOf({k9x, 4, 0, 950, " C", 0, 0, PROCESSOR_ARCHITECTURE_INTEL}));
    os.Describe();
    EXPECT_STREQ("Microsoft Windows 95 OSR2 ", os.GetDescription());
    EXPECT_STREQ("Microsoft Windows 95 OSR2 ", os.GetProduct());
    EXPECT_TRUE(os.m_bWin95 && os.m_bWin95OSR2);
    EXPECT_FALSE(os.m_bWin7) << "Describe starts afresh";
}

TEST_F(OSVersion, ArchitectureCodes) {
    const std::pair<WORD, DWORD> cases[] = {{PROCESSOR_ARCHITECTURE_INTEL, 0},
                                            {PROCESSOR_ARCHITECTURE_IA64, 6},
                                            {PROCESSOR_ARCHITECTURE_AMD64, 9},
                                            {12 /* ARM64 */, 65535},
                                            {PROCESSOR_ARCHITECTURE_UNKNOWN, 65535}};
    for (auto [processor, code] : cases) {
        win32::MachineProfile profile;
        profile.processorArchitecture = processor;
        win32::SetMachineProfile(profile);
        EXPECT_EQ(code, COSVersion().GetArchitecture()) << processor;
    }
}

TEST_F(OSVersion, Predicates) {
    struct Case {
        DWORD major, minor;
        bool atLeast51, atLeast60, atLeast61, hubInterfaceWithdrawn, newUsbStack;
    };
    const Case cases[] = {
        {5, 0, false, false, false, true, false}, {5, 1, true, false, false, false, false},
        {5, 2, true, false, false, false, false}, {6, 0, true, true, false, false, false},
        {6, 1, true, true, true, false, false},   {6, 2, true, true, true, false, true},
        {6, 3, true, true, true, false, true},    {10, 0, true, true, true, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor);
        win32::SetMachineProfile(ProfileOf({kNT, c.major, c.minor, 1000, "", kWorkstation, 0}));
        COSVersion os;
        EXPECT_EQ(c.atLeast51, os.IsAtLeast51() != FALSE);
        EXPECT_EQ(c.atLeast60, os.IsAtLeast60() != FALSE);
        EXPECT_EQ(c.atLeast61, os.IsAtLeast61() != FALSE);
        EXPECT_EQ(c.hubInterfaceWithdrawn, os.IsHubInterfaceLoggingWithdrawn() != FALSE);
        EXPECT_EQ(c.newUsbStack, os.HasNewUsbStack() != FALSE);
    }
}

// A product type longer than the 80 bytes read is no known type and is not read past.
TEST_F(OSVersion, OverlongProductTypeIsIgnored) {
    SetProductType(std::string(200, 'W').c_str());
    win32::SetMachineProfile(
        ProfileOf({kNT, 4, 0, 1381, "Service Pack 5", 0, 0, PROCESSOR_ARCHITECTURE_INTEL, 0, 0, true}));
    EXPECT_STREQ("Microsoft Windows NT Service Pack 5 (Build 1381)", COSVersion().GetDescription());
}

} // namespace
