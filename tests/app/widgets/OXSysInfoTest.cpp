#include "app/widgets/OXSysInfo.h"

#include <gtest/gtest.h>

#include <string>

#include "WinMachineProfile.h"

namespace {

class OXSysInfoTest : public testing::Test {
protected:
    void TearDown() override { win32::ResetMachineProfile(); }
    void Use(const win32::MachineProfile& p) { win32::SetMachineProfile(p); }
    COXSysInfo m_info;
};

TEST_F(OXSysInfoTest, QueriesReturnTheProfilesValues) {
    win32::MachineProfile p;
    p.computerName = "BENCH-7";
    p.userName = "analyst";
    p.majorVersion = 6;
    p.minorVersion = 2;
    p.buildNumber = 0x00239200; // above 16 bits: kept whole on the NT platform
    p.servicePack = "Service Pack 2";
    p.numberOfProcessors = 12;
    p.totalPhysical = 32ULL << 30;
    p.availablePhysical = (5ULL << 30) + 17;
    p.totalVirtual = 1ULL << 43;
    p.availableVirtual = (1ULL << 42) + 3;
    Use(p);

    CString text;
    ASSERT_TRUE(m_info.GetComputerName(&text));
    EXPECT_STREQ("BENCH-7", text);
    ASSERT_TRUE(m_info.GetUserName(&text));
    EXPECT_STREQ("analyst", text);
    ASSERT_TRUE(m_info.GetServicePack(&text));
    EXPECT_STREQ("Service Pack 2", text);

    DWORD platform = 0, major = 0, minor = 0, build = 0, processors = 0;
    ASSERT_TRUE(m_info.GetWindowsVersion(&platform, &major, &minor));
    EXPECT_EQ(2u, platform);
    EXPECT_EQ(6u, major);
    EXPECT_EQ(2u, minor);
    ASSERT_TRUE(m_info.GetBuildNumber(&build));
    EXPECT_EQ(0x00239200u, build);
    ASSERT_TRUE(m_info.GetProcessorInfo(&processors));
    EXPECT_EQ(12u, processors);

    uint64_t bytes = 0;
    ASSERT_TRUE(m_info.GetTotalPhysicalMemory(&bytes));
    EXPECT_EQ(32ULL << 30, bytes);
    ASSERT_TRUE(m_info.GetFreePhysicalMemory(&bytes));
    EXPECT_EQ((5ULL << 30) + 17, bytes);
    ASSERT_TRUE(m_info.GetTotalVirtualMemory(&bytes));
    EXPECT_EQ(1ULL << 43, bytes);
    ASSERT_TRUE(m_info.GetFreeVirtualMemory(&bytes));
    EXPECT_EQ((1ULL << 42) + 3, bytes);
}

TEST_F(OXSysInfoTest, BuildKeepsOnlyTheLowWordOffTheNtPlatform) {
    win32::MachineProfile p;
    p.platformId = 1;
    p.buildNumber = 0x045A0BB8;
    Use(p);
    DWORD build = 0;
    ASSERT_TRUE(m_info.GetBuildNumber(&build));
    EXPECT_EQ(0x0BB8u, build);
}

TEST_F(OXSysInfoTest, FailedNamesLeaveTheStringAsItWas) {
    struct Case {
        std::string computer;
        std::string user;
    } cases[] = {
        {"", "User"},                  // empty computer name
        {"SIXTEEN-CHARS-XY", "User"},  // one past the 15 characters that fit
        {"PC", ""},                    // empty user name
        {"PC", std::string(257, 'u')}, // no room for the terminating NUL
    };
    for (const Case& c : cases) {
        win32::MachineProfile p;
        p.computerName = c.computer;
        p.userName = c.user;
        Use(p);
        CString computer("before"), user("before");
        const bool computerOk = m_info.GetComputerName(&computer);
        const bool userOk = m_info.GetUserName(&user);
        EXPECT_EQ(computerOk, !p.computerName.empty() && p.computerName.size() <= 15) << c.computer;
        EXPECT_EQ(userOk, !p.userName.empty() && p.userName.size() <= 256);
        if (!computerOk)
            EXPECT_STREQ("before", computer);
        if (!userOk)
            EXPECT_STREQ("before", user);
    }
}

TEST_F(OXSysInfoTest, FailingVersionLeavesEveryOutParameterAlone) {
    win32::MachineProfile p;
    p.refuseVersion = true;
    Use(p);
    DWORD platform = 7, major = 7, minor = 7, build = 7;
    CString pack("before");
    EXPECT_FALSE(m_info.GetWindowsVersion(&platform, &major, &minor));
    EXPECT_FALSE(m_info.GetBuildNumber(&build));
    EXPECT_FALSE(m_info.GetServicePack(&pack));
    EXPECT_EQ(7u, platform);
    EXPECT_EQ(7u, major);
    EXPECT_EQ(7u, minor);
    EXPECT_EQ(7u, build);
    EXPECT_STREQ("before", pack);
}

} // namespace
