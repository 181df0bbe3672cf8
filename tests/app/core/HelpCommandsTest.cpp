// Help by context: the topic of a captured request, and the Help menu's contents, index and search through
// the main window's HTML Help, or the help file opened through the shell.
#include <gtest/gtest.h>

#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "WinModulesControl.h"
#include "WinShellControl.h"
#include "app/core/app/HelpContext.h"
#include "app/core/system/ProgramFolder.h"
#include "htmlhelp.h"
#include "tests/app/core/HelpMenuFixture.h"

namespace {

TEST(HelpContext, EachGroupMapsItsCodesAndSendsTheRestToItsCatchAll) {
    struct Case {
        UINT group;
        ULONG code;
        DWORD context;
    };
    const Case cases[] = {
        {HELP_GROUP_URB, 0, 1000},
        {HELP_GROUP_URB, 52, 1052},
        {HELP_GROUP_URB, 53, 1199},
        {HELP_GROUP_URB, 0x1000, 1100},
        {HELP_GROUP_URB, 0x1001, 1101},
        {HELP_GROUP_URB, 0x1002, 1102},
        {HELP_GROUP_URB, 0x1003, 1199},
        {HELP_GROUP_URB, 0xFFFFFFFF, 1199},
        {HELP_GROUP_INTERNAL_IOCTL, 0x220007, 1401},
        {HELP_GROUP_INTERNAL_IOCTL, 0x22002B, 1409},
        {HELP_GROUP_INTERNAL_IOCTL, 0x220420, 1410},
        {HELP_GROUP_INTERNAL_IOCTL, 0x22044F, 1421},
        {HELP_GROUP_INTERNAL_IOCTL, 0x220003, 1499},
        {HELP_GROUP_INTERNAL_IOCTL, 0, 1499},
        {HELP_GROUP_HUB_INTERFACE, 0, 1800},
        {HELP_GROUP_HUB_INTERFACE, 35, 1835},
        {HELP_GROUP_HUB_INTERFACE, 36, 1898},
        {HELP_GROUP_HOOK, 0, 1900},
        {HELP_GROUP_HOOK, 79, 1979},
        {HELP_GROUP_HOOK, 80, 1999},
        {1500, 1, 0},
        {0, 0, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HelpContextForCode(c.group, c.code), c.context) << c.group << " " << std::hex << c.code;
    }
}

// A help module that keeps what each call asked, with a copy of a search query (the caller's lives on its
// stack only during the call).
struct HelpRequest {
    HWND caller;
    std::string file;
    UINT command;
    DWORD_PTR data;
    std::vector<unsigned char> query;
};

std::mutex g_helpLock;
std::vector<HelpRequest> g_helpRequests;

HWND WINAPI KeepingHtmlHelpA(HWND hwndCaller, LPCSTR pszFile, UINT uCommand, DWORD_PTR dwData) {
    HelpRequest request{hwndCaller, pszFile != nullptr ? pszFile : "", uCommand, dwData, {}};
    if (uCommand == HH_DISPLAY_SEARCH && dwData != 0) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(dwData);
        request.query.assign(bytes, bytes + sizeof(HH_FTS_QUERY));
    }
    std::lock_guard guard(g_helpLock);
    g_helpRequests.push_back(request);
    return nullptr;
}

std::vector<HelpRequest> TakeHelpRequests() {
    std::lock_guard guard(g_helpLock);
    return std::exchange(g_helpRequests, {});
}

class HelpCommandsTest : public apptest::HelpMenuTest {
protected:
    void SetUp() override {
        HelpMenuTest::SetUp();
        win32::RegisterModule("hhctrl", {win32::Export("HtmlHelpA", &KeepingHtmlHelpA)},
                              "\\Windows\\System32\\hhctrl.ocx");
        TakeHelpRequests();
        win32::ResetShell();
    }
    void TearDown() override {
        win32::UnregisterModule("hhctrl");
        win32::ResetShell();
        HelpMenuTest::TearDown();
    }
};

TEST_F(HelpCommandsTest, ContentsIndexAndSearchAskTheMainWindowsHelpForTheProgramsHelpFile) {
    CTindaloftApp& app = Start();
    TakeHelpRequests();
    Command(ID_HELP_CONTENTS);
    Command(ID_HELP_INDEX);
    Command(ID_HELP_SEARCH);

    const std::vector<HelpRequest> requests = TakeHelpRequests();
    ASSERT_EQ(requests.size(), 3u);
    const UINT commands[] = {HH_DISPLAY_TOC, HH_DISPLAY_INDEX, HH_DISPLAY_SEARCH};
    for (size_t i = 0; i < requests.size(); ++i) {
        EXPECT_EQ(requests[i].command, commands[i]);
        EXPECT_EQ(requests[i].caller, MainWindow());
        EXPECT_EQ(requests[i].file, std::string(app.m_pszHelpFilePath));
    }
    EXPECT_EQ(requests[0].data, 0u);
    EXPECT_EQ(requests[1].data, 0u);
    // The search query: zeroed but for its size.
    HH_FTS_QUERY expected;
    std::memset(&expected, 0, sizeof expected);
    expected.cbStruct = sizeof(HH_FTS_QUERY);
    ASSERT_EQ(requests[2].query.size(), sizeof expected);
    EXPECT_EQ(std::memcmp(requests[2].query.data(), &expected, sizeof expected), 0);
    EXPECT_EQ(expected.cbStruct, 40);
    EXPECT_TRUE(win32::ShellExecutions().empty());
}

TEST_F(HelpCommandsTest, ARequestsTopicOpensByContextAndAGroupWithoutTopicsOpensNothing) {
    CTindaloftApp& app = Start();
    TakeHelpRequests();
    app.ShowHelpForCode(HELP_GROUP_INTERNAL_IOCTL, 0x22044F);
    app.ShowHelpForCode(1500, 3);
    app.ShowHelpForCode(HELP_GROUP_URB, 53);

    const std::vector<HelpRequest> requests = TakeHelpRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].command, static_cast<UINT>(HH_HELP_CONTEXT));
    EXPECT_EQ(requests[0].data, 1421u);
    EXPECT_EQ(requests[0].caller, MainWindow());
    EXPECT_EQ(requests[1].data, 1199u);
}

TEST_F(HelpCommandsTest, IndependentHelpOpensTheFileBesideTheProgramAndSaysSoWhenTheShellFails) {
    CTindaloftApp& app = Start();
    app.m_Settings.IndependentHtmlHelp = true;
    const std::string path = std::string(GetProgramFolder().GetString()) + "Tindaloft.chm";
    ASSERT_NE(path, "Tindaloft.chm"); // the program's folder is known

    struct Case {
        INT_PTR result;
        bool told;
    };
    for (const Case c : {Case{32, true}, Case{2, true}, Case{33, false}}) {
        SCOPED_TRACE(c.result);
        win32::ResetShell();
        win32::SetShellExecuteResult(c.result);
        if (c.told) {
            win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
        }
        Command(ID_HELP_CONTENTS);
        const std::vector<win32::ShellExecution> executions = win32::ShellExecutions();
        ASSERT_EQ(executions.size(), 1u);
        EXPECT_EQ(executions[0].verb, "open");
        EXPECT_EQ(executions[0].file, path);
        EXPECT_EQ(executions[0].parameters, "");
        EXPECT_EQ(executions[0].directory, "");
        EXPECT_EQ(executions[0].show, SW_SHOWNORMAL);
        const std::vector<win32::ModalRequest> boxes = apptest::AppStarter::TakeBoxes();
        if (c.told) {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, "Could not find help file (Tindaloft.chm)");
            EXPECT_EQ(boxes[0].style, static_cast<UINT>(MB_OK));
            EXPECT_EQ(boxes[0].caption, "Tindaloft");
        } else {
            EXPECT_TRUE(boxes.empty());
        }
    }
    EXPECT_TRUE(TakeHelpRequests().empty());
}

TEST_F(HelpCommandsTest, SupportAndFeedbackOpensItsDialog) {
    Start();
    win32::QueueModalAnswer(win32::ModalKind::Dialog, IDCANCEL, "260");
    Command(ID_HELP_SUPPORT);
    EXPECT_EQ(win32::PendingModalScripts(), 0u);
    EXPECT_TRUE(win32::UnexpectedModalRequests().empty());
}

// Without a file of that name the shell's own answer counts: the file is not found.
TEST_F(HelpCommandsTest, IndependentHelpWithoutAHelpFileTellsTheUser) {
    CTindaloftApp& app = Start();
    app.m_Settings.IndependentHtmlHelp = true;
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
    Command(ID_HELP_CONTENTS);
    ASSERT_EQ(win32::ShellExecutions().size(), 1u);
    EXPECT_FALSE(win32::ShellExecutions()[0].result);
    EXPECT_EQ(apptest::AppStarter::TakeBoxTexts(),
              std::vector<std::string>{"Could not find help file (Tindaloft.chm)"});
}

} // namespace
