#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

#include "Win32TestSupport.h"
#include "WinMsiControl.h"
#include "msi.h"
#include "windows.h"

namespace {

class InstallerTest : public testing::Test {
protected:
    void SetUp() override { win32::ResetInstaller(); }
    void TearDown() override { win32::ResetInstaller(); }

    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(folder_.HostPath(name), std::ios::binary) << bytes;
        return folder_.WinPath(name);
    }

    win32::test::TempFolder folder_;
};

constexpr const char* kCode = "{8C1E5E0A-3B57-4E59-9A4D-2C4B0F6A1D11}";

TEST_F(InstallerTest, PackagesAreTheFilesWithTheSignature) {
    const std::string package = Write("p.msi", win32::MakeInstallerPackage({{9, kCode}}));
    const std::string unsigned_ = Write("plain.msi", "9={x}\n");
    EXPECT_EQ(MsiVerifyPackageA(package.c_str()), 0u);
    EXPECT_EQ(MsiVerifyPackageA(unsigned_.c_str()), static_cast<UINT>(ERROR_INSTALL_PACKAGE_INVALID));
    EXPECT_EQ(MsiVerifyPackageA(folder_.WinPath("none.msi").c_str()),
              static_cast<UINT>(ERROR_INSTALL_PACKAGE_OPEN_FAILED));
    EXPECT_EQ(MsiVerifyPackageA(folder_.WinPath("").c_str()), static_cast<UINT>(ERROR_INSTALL_PACKAGE_OPEN_FAILED))
        << "a folder";
    MSIHANDLE summary = 0;
    EXPECT_EQ(MsiGetSummaryInformationA(0, unsigned_.c_str(), 0, &summary),
              static_cast<UINT>(ERROR_INSTALL_PACKAGE_INVALID));
    EXPECT_EQ(summary, 0u);
    EXPECT_EQ(win32::OpenInstallerHandleCount(), 0u);
}

TEST_F(InstallerTest, SummaryPropertiesAreReadAsText) {
    const std::string package =
        Write("p.msi", win32::MakeInstallerPackage({{9, kCode}, {2, "Installation Database"}}) + "junk\n=x\n");
    MSIHANDLE summary = 0;
    ASSERT_EQ(MsiGetSummaryInformationA(0, package.c_str(), 0, &summary), 0u);
    EXPECT_EQ(win32::OpenInstallerHandleCount(), 1u);

    char code[39];
    std::memset(code, 'x', sizeof code);
    DWORD size = sizeof code;
    UINT type = 99;
    INT number = 7;
    FILETIME time{1, 1};
    EXPECT_EQ(MsiSummaryInfoGetPropertyA(summary, PID_REVNUMBER, &type, &number, &time, code, &size), 0u);
    EXPECT_STREQ(code, kCode);
    EXPECT_EQ(size, 38u);
    EXPECT_EQ(type, static_cast<UINT>(VT_LPSTR));

    // Too short: as much as fits, ended, and the length needed.
    size = 10;
    EXPECT_EQ(MsiSummaryInfoGetPropertyA(summary, PID_REVNUMBER, &type, nullptr, nullptr, code, &size),
              static_cast<UINT>(ERROR_MORE_DATA));
    EXPECT_STREQ(code, std::string(kCode, 9).c_str());
    EXPECT_EQ(size, 38u);

    size = sizeof code;
    EXPECT_EQ(MsiSummaryInfoGetPropertyA(summary, PID_AUTHOR, &type, &number, &time, code, &size), 0u);
    EXPECT_EQ(type, static_cast<UINT>(VT_EMPTY));
    EXPECT_EQ(number, 0);
    EXPECT_STREQ(code, "");
    EXPECT_EQ(size, 0u);

    EXPECT_EQ(MsiSummaryInfoGetPropertyA(summary + 100, 9, &type, nullptr, nullptr, code, &size),
              static_cast<UINT>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(MsiCloseHandle(summary), 0u);
    EXPECT_EQ(MsiCloseHandle(summary), static_cast<UINT>(ERROR_INVALID_HANDLE));
    EXPECT_EQ(win32::OpenInstallerHandleCount(), 0u);

    const auto calls = win32::InstallerCalls();
    ASSERT_EQ(calls.size(), 7u);
    EXPECT_EQ(calls[0].Text(), "MsiGetSummaryInformationA(0, " + package + ", 0) = 0");
    EXPECT_EQ(calls[1].Text(), "MsiSummaryInfoGetPropertyA(" + std::to_string(summary) + ", 9, 39) = 0");
    EXPECT_EQ(calls[2].Text(), "MsiSummaryInfoGetPropertyA(" + std::to_string(summary) + ", 9, 10) = 234");
}

TEST_F(InstallerTest, CallsFailWithTheCodeATestChose) {
    const std::string package = Write("p.msi", win32::MakeInstallerPackage({{9, kCode}}));
    win32::FailInstallerCall("MsiVerifyPackageA", 1603, 1);
    EXPECT_EQ(MsiVerifyPackageA(package.c_str()), 1603u);
    EXPECT_EQ(MsiVerifyPackageA(package.c_str()), 0u);
    win32::FailInstallerCall("MsiGetSummaryInformationA", 110, -1, 1);
    MSIHANDLE first = 0, second = 0;
    EXPECT_EQ(MsiGetSummaryInformationA(0, package.c_str(), 0, &first), 0u);
    EXPECT_EQ(MsiGetSummaryInformationA(0, package.c_str(), 0, &second), 110u);
    EXPECT_EQ(MsiGetSummaryInformationA(0, package.c_str(), 0, &second), 110u);
    EXPECT_EQ(second, 0u);
    EXPECT_EQ(win32::OpenInstallerHandleCount(), 1u);
    EXPECT_EQ(MsiCloseHandle(first), 0u);
    EXPECT_EQ(win32::InstallerCalls().back().result, 0u);
}

} // namespace
