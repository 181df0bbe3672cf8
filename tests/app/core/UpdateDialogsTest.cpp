// The update check's result dialog and the support and feedback dialog, driven as a user drives them: what
// they show (and their pictures), the shell starts behind their buttons, and how each ends or stays open.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "NtClock.h"
#include "WinShellControl.h"
#include "WinUiControl.h"
#include "WinVersionControl.h"
#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/system/OSVersion.h"
#include "app/core/system/ProgramVersion.h"
#include "app/core/update/UpdateServer.h"
#include "app/ui/dialogs/CheckUpdateDlg.h"
#include "app/ui/dialogs/SupportAndFeedbackDlg.h"
#include "shellapi.h"
#include "tests/support/AppStarter.h"
#include "tests/support/Pictures.h"

namespace {

std::string ItemText(HWND dialog, int id) {
    char text[512] = {};
    ::GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

// A click on the dialog's button as the mouse gives it, then the clock moves on so that the next click on it
// is no double click.
void ClickButton(HWND dialog, int id) {
    HWND button = ::GetDlgItem(dialog, id);
    ASSERT_NE(button, nullptr) << id;
    RECT r{};
    ::GetClientRect(button, &r);
    win32::Click(button, POINT{r.right / 2, r.bottom / 2});
    win32::PumpUiMessages();
    win32::AdvanceUiClock(1000);
}

// The dialog's controls in their template's order.
std::vector<HWND> Controls(HWND dialog) {
    std::vector<HWND> controls;
    for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT)) {
        controls.push_back(child);
    }
    return controls;
}

// The control's rectangle in the dialog's client coordinates.
RECT ClientRectIn(HWND dialog, HWND control) {
    RECT r{};
    ::GetWindowRect(control, &r);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

class DialogTest : public testing::Test {
protected:
    void SetUp() override {
        nt::clock::UseVirtualClock();
        win32::ResetShell();
    }
    void TearDown() override {
        win32::ResetShell();
        RegisterProgramVersionResource();
        nt::clock::Reset();
    }

    apptest::AppStarter m_starter;
};

using CheckUpdateDlgTest = DialogTest;

TEST_F(CheckUpdateDlgTest, ShowsTheIconTheNewsAndBothVersions) {
    m_starter.Make();
    CheckUpdateDlg dlg;
    dlg.m_strLatestVersion = "2.21.0 Build 4";
    dlg.m_strInstalledVersion = "2.20.0 Build 1";
    win32::QueueModalSteps(
        win32::ModalKind::Dialog,
        [](const win32::ModalRequest& request, HWND dialog) {
            EXPECT_EQ(request.caption, "Tindaloft - Check for Update");
            EXPECT_EQ(ItemText(dialog, IDC_UPDATE_LATEST), "The latest version is: 2.21.0 Build 4");
            EXPECT_EQ(ItemText(dialog, IDC_UPDATE_INSTALLED), "Your installed version is: 2.20.0 Build 1");
            const std::vector<HWND> controls = Controls(dialog);
            EXPECT_EQ(::GetWindowLongA(controls.at(0), GWL_STYLE) & SS_TYPEMASK, SS_ICON);
            EXPECT_EQ(::GetDlgCtrlID(controls.at(2)), static_cast<int>(IDC_UPDATE_LATEST));

            // The picture: the icon's colours, and text on each of the three lines.
            const tdl::test::Picture picture(dialog, "check_update.png");
            EXPECT_TRUE(picture.IsValid());
            const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
            const int iconPixels = picture.Count(ClientRectIn(dialog, controls[0]),
                                                 [face](COLORREF c) { return c != face && !tdl::test::IsDark(c); });
            EXPECT_GT(iconPixels, 100) << "the icon";
            for (size_t line = 1; line <= 3; ++line) {
                EXPECT_GT(picture.Count(ClientRectIn(dialog, controls[line]), tdl::test::IsDark), 40) << line;
            }
            return IDCANCEL;
        },
        "271");
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(win32::PendingModalScripts(), 0u);
}

TEST_F(CheckUpdateDlgTest, WebsiteOpensTheDownloadPageAndEndsLikeOkCloseEndsLikeCancel) {
    m_starter.Make();
    struct Case {
        int button;
        INT_PTR result;
        size_t starts;
    };
    for (const Case c : {Case{IDOK, IDOK, 1}, Case{IDCANCEL, IDCANCEL, 0}}) {
        SCOPED_TRACE(c.button);
        win32::ResetShell();
        CheckUpdateDlg dlg;
        HWND shown = nullptr;
        win32::QueueModalSteps(
            win32::ModalKind::Dialog,
            [&](const win32::ModalRequest&, HWND dialog) {
                shown = dialog;
                ClickButton(dialog, c.button);
                return INT_PTR{-5}; // not the answer: the button ended the dialog
            },
            "271");
        EXPECT_EQ(dlg.DoModal(), c.result);
        const std::vector<win32::ShellExecution> starts = win32::ShellExecutions();
        ASSERT_EQ(starts.size(), c.starts);
        if (c.starts == 1) {
            EXPECT_EQ(starts[0].verb, "open");
            EXPECT_EQ(starts[0].file, kDownloadPage);
            EXPECT_EQ(starts[0].show, SW_SHOWNORMAL);
            EXPECT_EQ(starts[0].owner, shown);
            EXPECT_TRUE(starts[0].result) << "the browser has the page";
        }
    }
}

using SupportAndFeedbackDlgTest = DialogTest;

TEST_F(SupportAndFeedbackDlgTest, TheFactsAreTheProgramsFileVersionTheDriversAndWindows) {
    DRIVER_INFO driver{};
    driver.MajorVersion = 3;
    driver.MinorVersion = 41;
    driver.Revision = 2;
    driver.Build = 627;
    const CString windows = "Windows 7 Professional Service Pack 1 (Build 7601)";
    struct Case {
        const char* fileVersion;
        const char* firstLine;
        int numbers[4];
    };
    for (const Case& c : {Case{"2,20,0,1", "Tindaloft Version 2.20.0 Build 1", {2, 20, 0, 1}},
                          Case{"2,20", "Tindaloft Version 2.20.0 Build 0", {2, 20, 0, 0}},
                          Case{"", "Tindaloft Version 0.0.0 Build 0", {0, 0, 0, 0}}}) {
        SCOPED_TRACE(c.fileVersion);
        int numbers[4] = {7, 7, 7, 7};
        EXPECT_EQ(SupportFacts(c.fileVersion, driver, windows, numbers),
                  CString(c.firstLine) + "\r\nKxTdloft Version 3.41.2 Build 627\r\n" + windows);
        EXPECT_TRUE(std::equal(std::begin(numbers), std::end(numbers), std::begin(c.numbers)));
    }
    const int version[4] = {2, 20, 0, 1};
    EXPECT_EQ(SupportMailAddress(version),
              "mailto:support@vellumcrest.com?subject=Tindaloft%202.20.0%20Build%201%20Support%20and%20Feedback");

    // The dialog reads the program file's version and the application's driver block and Windows text.
    CTindaloftApp& app = m_starter.Make();
    app.m_DriverInfo = driver;
    for (const bool versioned : {true, false}) {
        SCOPED_TRACE(versioned ? "a version resource" : "none");
        if (versioned) {
            win32::RegisterVersionResource(nullptr, win32::MakeFixedFileInfo(2, 20, 0, 1), {});
        } else {
            win32::UnregisterVersionResource(nullptr);
        }
        const std::string expected =
            std::string(versioned ? "Tindaloft Version 2.20.0 Build 1" : "Tindaloft Version 0.0.0 Build 0") +
            "\r\nKxTdloft Version 3.41.2 Build 627\r\n" + app.m_OSVersion.GetDescription().GetString();
        win32::QueueModalSteps(
            win32::ModalKind::Dialog,
            [&](const win32::ModalRequest& request, HWND dialog) {
                EXPECT_EQ(request.caption, "Support and Feedback");
                EXPECT_EQ(ItemText(dialog, IDC_SUPPORT_FACTS), expected);
                const LONG style = ::GetWindowLongA(::GetDlgItem(dialog, IDC_SUPPORT_FACTS), GWL_STYLE);
                EXPECT_EQ(style & (ES_MULTILINE | ES_READONLY), ES_MULTILINE | ES_READONLY);
                if (versioned) {
                    const tdl::test::Picture picture(dialog, "support_and_feedback.png");
                    EXPECT_TRUE(picture.IsValid());
                    const RECT facts = ClientRectIn(dialog, ::GetDlgItem(dialog, IDC_SUPPORT_FACTS));
                    // Three lines of text in the box.
                    const int third = (facts.bottom - facts.top) / 3;
                    EXPECT_GT(
                        picture.Count({facts.left + 4, facts.top + 2, facts.right - 20, facts.top + third / 2 + 6},
                                      tdl::test::IsDark),
                        40);
                }
                ClickButton(dialog, IDCANCEL);
                return INT_PTR{-5};
            },
            "260");
        CSupportAndFeedbackDlg dlg;
        EXPECT_EQ(dlg.DoModal(), IDCANCEL);
        EXPECT_EQ(win32::PendingModalScripts(), 0u);
    }
}

TEST_F(SupportAndFeedbackDlgTest, LaunchingTheMailProgramSaysWhyItFailedAndTheDialogStaysOpen) {
    m_starter.Make();
    win32::RegisterVersionResource(nullptr, win32::MakeFixedFileInfo(2, 20, 0, 1), {});
    struct Case {
        INT_PTR shellResult; // 0: the shell's own answer
        const char* message; // nullptr: none
    };
    const Case cases[] = {
        {5, "Failed to launch email client - access denied"},
        {31, "Failed to launch email client - no file association"},
        {2, "Failed to launch email client - error(2)"},
        {32, "Failed to launch email client - error(32)"},
        {42, nullptr},
        {0, nullptr},
    };
    std::vector<std::string> messages;
    std::vector<UINT> styles;
    win32::QueueModalSteps(
        win32::ModalKind::Dialog,
        [&](const win32::ModalRequest&, HWND dialog) {
            for (const Case& c : cases) {
                SCOPED_TRACE(c.shellResult);
                win32::SetShellExecuteResult(c.shellResult);
                if (c.message != nullptr) {
                    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
                }
                ClickButton(dialog, IDOK);
                EXPECT_TRUE(::IsWindowVisible(dialog)) << "the dialog stays open";
                EXPECT_EQ(win32::PendingModalScripts(), 0u);
            }
            for (const win32::ModalRequest& box : win32::ModalRequests()) {
                if (box.kind == win32::ModalKind::MessageBox) {
                    messages.push_back(box.text);
                    styles.push_back(box.style);
                }
            }
            ClickButton(dialog, IDCANCEL);
            return INT_PTR{-5};
        },
        "260");
    CSupportAndFeedbackDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);

    std::vector<std::string> expected;
    for (const Case& c : cases) {
        if (c.message != nullptr) {
            expected.push_back(c.message);
        }
    }
    EXPECT_EQ(messages, expected);
    for (const UINT style : styles) {
        EXPECT_EQ(style & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
    }
    const std::vector<win32::ShellExecution> starts = win32::ShellExecutions();
    ASSERT_EQ(starts.size(), std::size(cases));
    for (const win32::ShellExecution& start : starts) {
        EXPECT_EQ(start.verb, "open");
        EXPECT_EQ(start.file,
                  "mailto:support@vellumcrest.com?subject=Tindaloft%202.20.0%20Build%201%20Support%20and%20Feedback");
        EXPECT_EQ(start.show, SW_SHOWNORMAL);
    }
    EXPECT_TRUE(starts.back().result) << "the machine's mail program takes the address";
}

} // namespace
