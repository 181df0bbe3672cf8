#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>

#include "Win32TestSupport.h"
#include "WinFailureControl.h"
#include "WinMsiControl.h"
#include "WinOleControl.h"
#include "WinShellControl.h"
#include "ole2.h"
#include "shellapi.h"
#include "windows.h"

namespace {

namespace fs = std::filesystem;

class ShellTest : public testing::Test {
protected:
    void SetUp() override {
        win32::ResetShell();
        win32::ResetInstaller();
    }
    void TearDown() override { win32::ClearCallFailures(); }

    int Delete(const std::string& list) {
        SHFILEOPSTRUCTA op{};
        op.wFunc = FO_DELETE;
        op.pFrom = list.c_str(); // the string's own NUL ends the list with the one written in it
        op.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
        return SHFileOperationA(&op);
    }

    win32::test::TempFolder folder_;
};

TEST_F(ShellTest, DeletingRemovesTreesButNeverFollowsLinks) {
    fs::create_directories(folder_.HostPath("tree/a/b"));
    std::ofstream(folder_.HostPath("tree/a/b/file")) << "x";
    fs::create_directories(folder_.HostPath("kept"));
    std::ofstream(folder_.HostPath("kept/precious")) << "y";
    fs::create_directory_symlink(folder_.HostPath("kept"), folder_.HostPath("tree/link"));
    std::ofstream(folder_.HostPath("single")) << "z";

    EXPECT_EQ(Delete(folder_.WinPath("tree") + '\0' + folder_.WinPath("single") + '\0'), 0);
    EXPECT_FALSE(fs::exists(folder_.HostPath("tree")));
    EXPECT_FALSE(fs::exists(folder_.HostPath("single")));
    EXPECT_TRUE(fs::exists(folder_.HostPath("kept/precious"))) << "what a link points at stays";

    EXPECT_EQ(Delete(folder_.WinPath("missing") + '\0'), ERROR_FILE_NOT_FOUND);
    SHFILEOPSTRUCTA copy{};
    copy.wFunc = FO_COPY;
    copy.pFrom = "x\0";
    EXPECT_EQ(SHFileOperationA(&copy), ERROR_INVALID_PARAMETER);
    win32::FailCalls({.function = "SHFileOperationA", .error = ERROR_ACCESS_DENIED, .count = 1});
    EXPECT_EQ(Delete(folder_.WinPath("kept") + '\0'), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(fs::exists(folder_.HostPath("kept")));
}

SHELLEXECUTEINFOA OpenInfo(const std::string& file) {
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = "open";
    info.lpFile = file.c_str();
    info.nShow = 1; // SW_SHOWNORMAL
    return info;
}

TEST_F(ShellTest, OpeningAnInstallerPackageStartsTheInstaller) {
    const std::string package = folder_.WinPath("Product.MSI");
    std::ofstream(folder_.HostPath("Product.MSI")) << win32::MakeInstallerPackage({{9, "{code}"}});
    SHELLEXECUTEINFOA info = OpenInfo(package);
    ASSERT_TRUE(ShellExecuteExA(&info));
    EXPECT_GT(reinterpret_cast<INT_PTR>(info.hInstApp), 32);
    ASSERT_NE(info.hProcess, nullptr);
    EXPECT_EQ(WaitForInputIdle(info.hProcess, 15000), 0u);
    EXPECT_TRUE(CloseHandle(info.hProcess));

    const auto calls = win32::InstallerCalls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].Text(), "msiexec /i \"" + package + "\"");
    const auto executions = win32::ShellExecutions();
    ASSERT_EQ(executions.size(), 1u);
    EXPECT_EQ(executions[0].verb, "open");
    EXPECT_EQ(executions[0].file, package);
    EXPECT_EQ(executions[0].show, 1);
    EXPECT_TRUE(executions[0].result);
    EXPECT_EQ(win32::InputIdleWaits(), std::vector<DWORD>{15000});

    win32::SetInputIdleAnswer(WAIT_TIMEOUT);
    info = OpenInfo(package);
    ASSERT_TRUE(ShellExecuteExA(&info));
    EXPECT_EQ(WaitForInputIdle(info.hProcess, 10), static_cast<DWORD>(WAIT_TIMEOUT));
    CloseHandle(info.hProcess);
    EXPECT_EQ(WaitForInputIdle(info.hProcess, 10), WAIT_FAILED) << "a closed process";
}

TEST_F(ShellTest, StartsThatFailSayWhy) {
    const std::string missing = folder_.WinPath("missing.msi");
    SHELLEXECUTEINFOA info = OpenInfo(missing);
    EXPECT_FALSE(ShellExecuteExA(&info));
    EXPECT_EQ(reinterpret_cast<INT_PTR>(info.hInstApp), SE_ERR_FNF);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(info.hProcess, nullptr);
    ASSERT_EQ(win32::InstallerCalls().size(), 1u) << "the installer was asked and found nothing";

    std::ofstream(folder_.HostPath("x.msi")) << "x";
    const std::string present = folder_.WinPath("x.msi");
    info = OpenInfo(present);
    win32::FailCalls({.function = "ShellExecuteExA", .error = ERROR_ACCESS_DENIED, .count = 1});
    EXPECT_FALSE(ShellExecuteExA(&info));
    EXPECT_EQ(reinterpret_cast<INT_PTR>(info.hInstApp), SE_ERR_ACCESSDENIED);
    EXPECT_EQ(win32::ShellExecutions().size(), 2u);

    info = OpenInfo(present);
    ASSERT_TRUE(ShellExecuteExA(&info));
    win32::FailCalls({.function = "WaitForInputIdle", .error = ERROR_ACCESS_DENIED, .count = 1});
    EXPECT_EQ(WaitForInputIdle(info.hProcess, 15000), WAIT_FAILED);
    CloseHandle(info.hProcess);
    info.cbSize = 0;
    EXPECT_FALSE(ShellExecuteExA(&info));
}

// Addresses go to the program of their scheme: the machine has a browser and a mail program, nothing else.
TEST_F(ShellTest, AddressesOpenByTheirSchemesAssociation) {
    struct Case {
        const char* file;
        INT_PTR result;
        DWORD error;
    };
    for (const Case& c : {Case{"http://www.vellumcrest.com/tindaloft/download.html", 42, ERROR_SUCCESS},
                          Case{"HTTPS://www.vellumcrest.com/", 42, ERROR_SUCCESS},
                          Case{"mailto:support@vellumcrest.com?subject=Support%20and%20Feedback", 42, ERROR_SUCCESS},
                          Case{"gopher://old.example/", SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION},
                          Case{"C:\\missing\\file.txt", SE_ERR_FNF, ERROR_FILE_NOT_FOUND}}) {
        SCOPED_TRACE(c.file);
        const std::string file = c.file;
        SHELLEXECUTEINFOA info = OpenInfo(file);
        EXPECT_EQ(ShellExecuteExA(&info), c.result > 32);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(reinterpret_cast<INT_PTR>(info.hInstApp), c.result);
        EXPECT_EQ(info.hProcess, nullptr);
        EXPECT_EQ(reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", c.file, nullptr, nullptr, 1)), c.result);
    }
    EXPECT_EQ(win32::ShellExecutions().size(), 10u);
}

TEST_F(ShellTest, TheOlderCallAnswersAsTheExtendedOneOrWithTheResultATestChose) {
    std::ofstream(folder_.HostPath("help.chm")) << "x";
    const std::string present = folder_.WinPath("help.chm");
    const std::string missing = folder_.WinPath("missing.chm");
    struct Case {
        const char* file;
        INT_PTR chosen; // 0: none chosen
        INT_PTR result;
        bool started;
    };
    const Case cases[] = {
        {present.c_str(), 0, 42, true},
        {missing.c_str(), 0, SE_ERR_FNF, false},
        {missing.c_str(), 33, 33, true},
        {present.c_str(), 32, 32, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chosen);
        win32::ClearShellExecutions();
        win32::SetShellExecuteResult(c.chosen);
        const HINSTANCE result = ShellExecuteA(nullptr, "open", c.file, "", "", SW_SHOWNORMAL);
        EXPECT_EQ(reinterpret_cast<INT_PTR>(result), c.result);
        const std::vector<win32::ShellExecution> executions = win32::ShellExecutions();
        ASSERT_EQ(executions.size(), 1u);
        EXPECT_EQ(executions[0].verb, "open");
        EXPECT_EQ(executions[0].file, c.file);
        EXPECT_EQ(executions[0].show, SW_SHOWNORMAL);
        EXPECT_EQ(executions[0].result != FALSE, c.started);
    }
    win32::ResetShell();
    EXPECT_EQ(reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", missing.c_str(), nullptr, nullptr, 1)),
              SE_ERR_FNF);
}

TEST_F(ShellTest, OleStartsAndEndsAreCounted) {
    win32::ResetOleCounts();
    EXPECT_EQ(OleInitialize(nullptr), S_OK);
    EXPECT_EQ(OleInitialize(nullptr), S_FALSE) << "a second start on the thread";
    OleUninitialize();
    OleUninitialize();
    win32::FailCalls({.function = "OleInitialize", .error = 0, .count = 1});
    EXPECT_EQ(OleInitialize(nullptr), E_OUTOFMEMORY);
    const win32::OleCounts counts = win32::OleCallCounts();
    EXPECT_EQ(counts.initializations, 2);
    EXPECT_EQ(counts.uninitializations, 2);
}

} // namespace
