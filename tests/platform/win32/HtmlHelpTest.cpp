// The machine's answering "hhctrl": bound at run time like the real module, it tells the user in the viewer's
// own box that a help file cannot be opened, hands back no window, and reports the failure without a
// description afterwards.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "Win32TestSupport.h"
#include "WinHtmlHelpControl.h"
#include "WinModulesControl.h"
#include "htmlhelp.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::TestWindow;

class HtmlHelpTest : public tdl::test::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        win32::RegisterAnsweringHtmlHelpModule();
        m_module = LoadLibraryA("hhctrl.ocx");
        ASSERT_NE(m_module, nullptr);
        m_help = reinterpret_cast<PFN_HTMLHELPA>(reinterpret_cast<void (*)()>(GetProcAddress(m_module, "HtmlHelpA")));
        ASSERT_NE(m_help, nullptr);
    }
    void TearDown() override {
        FreeLibrary(m_module);
        win32::UnregisterModule("hhctrl");
        UiTest::TearDown();
    }
    HH_LAST_ERROR LastError() const {
        HH_LAST_ERROR error{};
        error.cbStruct = sizeof error;
        error.hr = S_OK;
        error.description = u"untouched";
        EXPECT_EQ(m_help(nullptr, nullptr, HH_GET_LAST_ERROR, reinterpret_cast<DWORD_PTR>(&error)), nullptr);
        return error;
    }

    HMODULE m_module = nullptr;
    PFN_HTMLHELPA m_help = nullptr;
};

TEST_F(HtmlHelpTest, EachDisplayCommandOnAMissingFileShowsOneBoxNamingItAndReportsNoDescription) {
    TestWindow owner(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{50, 50, 650, 450});
    TestWindow child(WS_CHILD | WS_VISIBLE, owner, RECT{10, 10, 110, 60});
    const std::string file = "C:\\Program Files\\Tindaloft\\Tindaloft.chm";
    HH_FTS_QUERY query{};
    query.cbStruct = sizeof query;
    struct Case {
        UINT command;
        DWORD_PTR data;
    };
    const Case cases[] = {
        {HH_DISPLAY_TOPIC, 0},   {HH_DISPLAY_TOC, 0},
        {HH_DISPLAY_INDEX, 0},   {HH_DISPLAY_SEARCH, reinterpret_cast<DWORD_PTR>(&query)},
        {HH_HELP_CONTEXT, 1421},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        win32::ClearModalRequests();
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Cannot open the file");
        EXPECT_EQ(m_help(child, file.c_str(), c.command, c.data), nullptr);
        const std::vector<win32::ModalRequest> requests = win32::ModalRequests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].kind, win32::ModalKind::MessageBox);
        EXPECT_EQ(requests[0].text, "Cannot open the file: " + file + ".");
        EXPECT_EQ(requests[0].caption, "HTML Help");
        EXPECT_EQ(requests[0].style, static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION));
        EXPECT_EQ(requests[0].owner, child.hwnd()); // the caller's window
        const HH_LAST_ERROR error = LastError();
        EXPECT_EQ(error.hr, HH_E_FILENOTFOUND);
        EXPECT_TRUE(FAILED(error.hr));
        EXPECT_EQ(error.description, nullptr);
        EXPECT_EQ(win32::ModalRequests().size(), 1u) << "the last error shows nothing";
    }
}

TEST_F(HtmlHelpTest, TheBoxNamesTheFileNotTheTopicAndAFileThatIsThereOpensNoBetter) {
    win32::test::TempFolder folder;
    {
        std::ofstream out(folder.HostPath("Present.chm"));
        out << "not a compiled help file";
    }
    struct Case {
        std::string asked;
        std::string named;
        HRESULT hr;
    };
    const Case cases[] = {
        {"C:\\Help\\Missing.chm::/urb.htm>main", "C:\\Help\\Missing.chm", HH_E_FILENOTFOUND},
        {folder.WinPath("Present.chm"), folder.WinPath("Present.chm"), HH_E_INVALIDHELPFILE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.asked);
        win32::ClearModalRequests();
        win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Cannot open the file");
        EXPECT_EQ(m_help(nullptr, c.asked.c_str(), HH_DISPLAY_TOC, 0), nullptr);
        const std::vector<win32::ModalRequest> requests = win32::ModalRequests();
        ASSERT_EQ(requests.size(), 1u);
        EXPECT_EQ(requests[0].text, "Cannot open the file: " + c.named + ".");
        EXPECT_EQ(LastError().hr, c.hr);
    }
}

TEST_F(HtmlHelpTest, WithoutAFileOrForOtherCommandsNothingShows) {
    EXPECT_EQ(m_help(nullptr, nullptr, HH_DISPLAY_TOC, 0), nullptr);
    EXPECT_EQ(LastError().hr, E_INVALIDARG);
    EXPECT_EQ(m_help(nullptr, "", HH_HELP_CONTEXT, 12), nullptr);
    EXPECT_EQ(LastError().hr, E_INVALIDARG);
    EXPECT_EQ(m_help(nullptr, nullptr, HH_CLOSE_ALL, 0), nullptr);
    const HH_LAST_ERROR error = LastError();
    EXPECT_EQ(error.hr, S_OK);
    EXPECT_EQ(error.description, nullptr);
    // A structure too small for the answer is left alone.
    HH_LAST_ERROR small{};
    small.cbStruct = 8;
    small.hr = E_FAIL;
    m_help(nullptr, nullptr, HH_GET_LAST_ERROR, reinterpret_cast<DWORD_PTR>(&small));
    EXPECT_EQ(small.hr, E_FAIL);
    EXPECT_TRUE(win32::ModalRequests().empty());
}

} // namespace
