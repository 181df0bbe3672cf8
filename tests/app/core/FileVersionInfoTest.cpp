#include "app/core/system/FileVersionInfo.h"

#include <gtest/gtest.h>

#include "WinModulesControl.h"
#include "WinVersionControl.h"
#include "app/core/system/ProgramVersion.h"
#include "common/DriverInfo.h"

namespace {

class FileVersionInfo : public testing::Test {
protected:
    void SetUp() override {
        win32::RegisterModule("widget", {}, "C:\\Program Files\\Widget\\widget.dll");
        module = LoadLibraryA("widget");
        ASSERT_NE(nullptr, module);
    }
    void TearDown() override {
        FreeLibrary(module);
        win32::UnregisterVersionResource("widget");
        win32::UnregisterVersionResource(nullptr);
        win32::ResetModules();
    }
    HMODULE module = nullptr;
};

TEST_F(FileVersionInfo, TheProgramReadsTheVersionItRegistered) {
    RegisterProgramVersionResource();
    const PROGRAM_VERSION v = GetProgramVersion();
    EXPECT_EQ(TINDALOFT_DRIVER_MAJOR, v.Major);
    EXPECT_EQ(TINDALOFT_DRIVER_MINOR, v.Minor);
    CString expected;
    expected.Format("%u,%u,%u,%u", v.Major, v.Minor, v.Revision, v.Build);

    CFileVersionInfo program(nullptr);
    EXPECT_STREQ(expected, program.GetFileVersion());
    EXPECT_STREQ(expected, program.GetProductVersion());
    EXPECT_TRUE(program.GetValue().IsEmpty()) << "no string was asked for";
    EXPECT_STREQ("Tindaloft", CFileVersionInfo(nullptr, "040904b0", "ProductName").GetValue());
}

TEST_F(FileVersionInfo, VersionTextsTakeEachWordInOrder) {
    VS_FIXEDFILEINFO fixed = win32::MakeFixedFileInfo(1, 2, 3, 65535);
    fixed.dwProductVersionMS = 0x00070008;
    fixed.dwProductVersionLS = 0xFFFE0000;
    win32::RegisterVersionResource("widget", fixed, {{"040904b0", "CompanyName", "Widget Works"}});

    CFileVersionInfo info(module, "040904b0", "CompanyName");
    EXPECT_STREQ("1,2,3,65535", info.GetFileVersion());
    EXPECT_STREQ("7,8,65534,0", info.GetProductVersion());
    EXPECT_STREQ("Widget Works", info.GetValue());
}

TEST_F(FileVersionInfo, WhatCannotBeReadStaysEmpty) {
    // No version resource at all.
    CFileVersionInfo none(module, "040904b0", "CompanyName");
    EXPECT_TRUE(none.GetFileVersion().IsEmpty());
    EXPECT_TRUE(none.GetProductVersion().IsEmpty());
    EXPECT_TRUE(none.GetValue().IsEmpty());

    // A resource without the string asked for (or with only half of its name) keeps its version texts.
    win32::RegisterVersionResource("widget", win32::MakeFixedFileInfo(1, 0, 0, 1),
                                   {{"040904b0", "CompanyName", "Widget Works"}});
    for (auto [language, name] : {std::pair<LPCSTR, LPCSTR>{"040904b0", "ProductName"},
                                  {"040704b0", "CompanyName"},
                                  {nullptr, "CompanyName"},
                                  {"040904b0", nullptr}}) {
        CFileVersionInfo info(module, language, name);
        EXPECT_STREQ("1,0,0,1", info.GetFileVersion());
        EXPECT_TRUE(info.GetValue().IsEmpty()) << (language ? language : "-") << " " << (name ? name : "-");
    }

    // A module handle that names no module.
    CFileVersionInfo unknown(reinterpret_cast<HMODULE>(0x1234));
    EXPECT_TRUE(unknown.GetFileVersion().IsEmpty());
}

} // namespace
