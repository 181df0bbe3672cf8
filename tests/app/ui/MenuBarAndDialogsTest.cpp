// The main window as a Windows user meets it within minutes, headless: the program's dialogs appear centred on
// the main window and its boxes on the work area, wholly on the screen; the menu bar walks from menu to menu
// with Left and Right, answers F10 and Alt, leaves no title highlighted once the menus are left, and a click
// that closes a menu still reaches the record list under it. Pictures of a dialog over the main window and of
// the menu bar's states are saved.
// The kernel's headers come first: the framework's ASSERT yields to the kernel's.
#include "tests/support/AppOnMachine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "GkCommandBars.h"
#include "GkMenuBar.h"
#include "WinHtmlHelpControl.h"
#include "WinModulesControl.h"
#include "app/core/app/Resource.h"
#include "app/core/document/USBLog.h"
#include "app/ui/dialogs/CheckUpdateDlg.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/loglist/LogListView.h"
#include "tests/support/Pictures.h"
#include "tests/support/WorkArea.h"

namespace {

using tdl::test::CentredInside;
using tdl::test::ExpectPlacedInsideWorkArea;
using tdl::test::WorkArea;

namespace fs = std::filesystem;

class MenuBarAndDialogsTest : public tdl::test::AppOnMachineTest {
protected:
    // The program with a live capture of the mouse that has rows, its main window away from the screen's
    // corner, so that its centre is not the work area's.
    void StartWithRows() {
        ASSERT_NE(Start(true), nullptr);
        TakeStartBoxes();
        Frame()->MoveWindow(200, 120, 1280, 860);
        win32::PumpUiMessages();
        ASSERT_TRUE(CheckDevice("mouse"));
        Command(ID_USB_STARTEVENTCAPTURE);
        ASSERT_TRUE(Live()->IsLogging());
        Play({{sim::WorkloadKind::MouseMoving, {.count = 5}}});
        Command(ID_USB_STOPEVENTCAPTURE);
        ASSERT_GT(RecordList()->GetListCtrl().GetItemCount(), 3);
        Idle();
        win32::PumpUiMessages();
    }
    CGkMenuBar& MenuBar() const { return *Frame()->GetCommandBars()->GetMenuBar(); }
    int TitleIndex(const char* caption) const {
        for (int i = 0; i < MenuBar().GetControlCount(); ++i)
            if (MenuBar().GetControl(i)->GetCaption() == caption)
                return i;
        return -1;
    }
    // Whether a title shows highlighted: the colour just inside its corner.
    bool Lit(int nTitle) const {
        HWND hBar = MenuBar().GetSafeHwnd();
        ::UpdateWindow(hBar);
        const CRect rc = MenuBar().GetControl(nTitle)->GetRect();
        return win32::ClientPixel(hBar, rc.left + 1, rc.top + 1) == ::GetSysColor(COLOR_HIGHLIGHT);
    }
    int LitCount() const {
        int nLit = 0;
        for (int i = 0; i < MenuBar().GetControlCount(); ++i)
            nLit += Lit(i) ? 1 : 0;
        return nLit;
    }
    // The next pop-up menus that open: the title each belongs to is noted, then `act` runs while it is up.
    void WhenMenusOpen(std::vector<std::function<void(HWND)>> acts) {
        for (auto& act : acts)
            win32::QueueModalSteps(win32::ModalKind::PopupMenu, [this, act](const win32::ModalRequest&, HWND window) {
                win32::PumpUiMessages(); // a pop-up opened from the keyboard highlights its first item first
                m_opened.push_back(MenuBar().GetControl(MenuBar().GetTrackedIndex())->GetCaption().GetString());
                act(window);
                return INT_PTR{0};
            });
    }
    static std::function<void(HWND)> Press(BYTE vk) {
        return [vk](HWND window) {
            win32::PressKey(window, vk);
            win32::PumpUiMessages();
        };
    }
    // The screen around the main window, as a picture.
    void SaveScreen(const std::string& fileName) {
        CRect frame;
        Frame()->GetWindowRect(&frame);
        frame.InflateRect(20, 20);
        EXPECT_TRUE(tdl::test::SaveScreenPicture(frame, fileName));
    }

    std::vector<std::string> m_opened;
};

TEST_F(MenuBarAndDialogsTest, TheProgramsDialogsAppearCentredOnTheMainWindowAndItsBoxesOnTheWorkArea) {
    StartWithRows();
    if (HasFatalFailure())
        return;
    CRect frame;
    Frame()->GetWindowRect(&frame);
    const RECT work = WorkArea();
    auto expectPlaced = [&](const char* name, const RECT& seen, bool onWorkArea = false) {
        SCOPED_TRACE(name);
        const SIZE size{seen.right - seen.left, seen.bottom - seen.top};
        ASSERT_GT(size.cx, 0);
        ExpectPlacedInsideWorkArea(seen, CentredInside(onWorkArea ? work : static_cast<const RECT&>(frame), size));
    };
    // The modal dialogs, each read while it is up and cancelled; Options is also pictured over the window.
    struct Modal {
        const char* name;
        UINT nTemplate;
        std::function<void()> open;
    };
    const Modal modals[] = {
        {"Options", IDD_OPTIONS, [&] { Command(ID_OPTIONS_CONFIGURATION); }},
        {"Define Filter", IDD_FILTER_DEFINITION, [&] { Command(ID_EDIT_FILTER); }},
        {"About", IDD_ABOUTBOX, [&] { Command(ID_APP_ABOUT); }},
        {"Support", IDD_SUPPORT_FEEDBACK, [&] { Command(ID_HELP_SUPPORT); }},
        {"Check for Update", IDD_CHECK_UPDATE,
         [&] {
             CheckUpdateDlg dlg;
             dlg.m_strLatestVersion = "9.9.9.9";
             dlg.m_strInstalledVersion = "1.0.0.1";
             dlg.DoModal();
         }},
    };
    for (const Modal& m : modals) {
        RECT seen{};
        win32::QueueModalSteps(
            win32::ModalKind::Dialog,
            [&](const win32::ModalRequest&, HWND dialog) {
                ::GetWindowRect(dialog, &seen);
                if (m.nTemplate == IDD_OPTIONS)
                    SaveScreen("dialog_options_over_main_window.png");
                return IDCANCEL;
            },
            std::to_string(m.nTemplate));
        m.open();
        EXPECT_EQ(win32::PendingModalScripts(), 0u) << m.name;
        expectPlaced(m.name, seen);
    }

    // Find, modeless: centred as it opens, and closed again.
    Command(ID_EDIT_FIND_REQUEST);
    HWND hFind = ::FindWindowA(nullptr, "Find");
    ASSERT_NE(hFind, nullptr);
    RECT find{};
    ::GetWindowRect(hFind, &find);
    expectPlaced("Find", find);
    ::SendMessageA(hFind, WM_CLOSE, 0, 0);
    win32::PumpUiMessages();

    // The Saving box, modeless while the capture is written and left up with its result.
    const fs::path folder = fs::temp_directory_path() / ("tdl-placement-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    AnswerFile((folder / "mouse.tdloft").string());
    Command(ID_FILE_SAVE_AS);
    HWND hSaving = ::FindWindowA(nullptr, "Saving ...");
    ASSERT_NE(hSaving, nullptr);
    RECT saving{};
    ::GetWindowRect(hSaving, &saving);
    expectPlaced("Saving", saving);
    ::SendMessageA(::GetDlgItem(hSaving, IDOK), BM_CLICK, 0, 0);
    win32::PumpUiMessages();
    fs::remove_all(folder);

    // A message box: centred on the work area, not on the window.
    win32::RegisterAnsweringHtmlHelpModule();
    RECT box{};
    win32::QueueModalSteps(
        win32::ModalKind::MessageBox,
        [&](const win32::ModalRequest&, HWND window) {
            ::GetWindowRect(window, &box);
            return IDOK;
        },
        "Cannot open the file");
    Command(ID_HELP_CONTENTS);
    win32::UnregisterModule("hhctrl");
    expectPlaced("message box", box, true);
}

TEST_F(MenuBarAndDialogsTest, LeftAndRightWalkTheMenuBarAndEscF10AndAltWorkAsOnWindows) {
    StartWithRows();
    if (HasFatalFailure())
        return;
    const int nFile = TitleIndex("&File"), nCapture = TitleIndex("&Capture"), nHelp = TitleIndex("&Help");
    ASSERT_EQ(nFile, 0);
    ASSERT_EQ(nCapture, 3);
    ASSERT_EQ(nHelp, MenuBar().GetControlCount() - 1);
    HWND hBar = MenuBar().GetSafeHwnd();
    const CRect fileTitle = MenuBar().GetControl(nFile)->GetRect();

    // File opened by the mouse, Right three times: Edit, View, Capture; Esc there closes Capture into keyboard
    // mode on its title, and Esc again leaves nothing highlighted.
    WhenMenusOpen({Press(VK_RIGHT), Press(VK_RIGHT), Press(VK_RIGHT), [&](HWND) {
                       SaveScreen("menu_bar_capture_open.png");
                       EXPECT_TRUE(Lit(nCapture));
                       EXPECT_EQ(LitCount(), 1);
                       Press(VK_ESCAPE)(nullptr);
                   }});
    ClickIn(hBar, fileTitle);
    EXPECT_EQ(m_opened, (std::vector<std::string>{"&File", "&Edit", "&View", "&Capture"}));
    EXPECT_EQ(MenuBar().GetTrackedIndex(), -1);
    EXPECT_EQ(MenuBar().GetKeyboardIndex(), nCapture);
    SaveScreen("menu_bar_keyboard_mode.png");
    EXPECT_TRUE(Lit(nCapture));
    Keys({VK_ESCAPE});
    EXPECT_EQ(MenuBar().GetKeyboardIndex(), -1);
    EXPECT_EQ(LitCount(), 0);
    SaveScreen("menu_bar_left.png");

    // Left from File opens Help, wrapping round; a click elsewhere closes it with nothing left highlighted.
    m_opened.clear();
    WhenMenusOpen({Press(VK_LEFT), [&](HWND) {
                       CRect rc;
                       Frame()->GetClientRect(&rc);
                       win32::Click(Frame()->GetSafeHwnd(), CPoint(rc.right - 5, rc.bottom - 5));
                       win32::PumpUiMessages();
                   }});
    ClickIn(hBar, fileTitle);
    EXPECT_EQ(m_opened, (std::vector<std::string>{"&File", "&Help"}));
    EXPECT_EQ(MenuBar().GetKeyboardIndex(), -1);
    EXPECT_EQ(LitCount(), 0);

    // F10, then Enter, opens File; Alt alone, then Down, too; Alt+C still opens Capture.
    m_opened.clear();
    WhenMenusOpen({Press(VK_ESCAPE)});
    Keys({VK_F10});
    EXPECT_EQ(MenuBar().GetKeyboardIndex(), 0);
    EXPECT_TRUE(Lit(0));
    Keys({VK_RETURN});
    WhenMenusOpen({Press(VK_ESCAPE)});
    Keys({VK_ESCAPE}); // the first Esc left File's title ready for the keyboard
    Keys({VK_MENU});
    EXPECT_EQ(MenuBar().GetKeyboardIndex(), 0);
    Keys({VK_DOWN});
    Keys({VK_ESCAPE});
    WhenMenusOpen({Press(VK_ESCAPE)});
    Keys({VK_MENU, 'C'});
    Keys({VK_ESCAPE});
    EXPECT_EQ(m_opened, (std::vector<std::string>{"&File", "&File", "&Capture"}));
    EXPECT_EQ(MenuBar().GetKeyboardIndex(), -1);
    EXPECT_EQ(LitCount(), 0);
    EXPECT_EQ(win32::PendingModalScripts(), 0u);
}

TEST_F(MenuBarAndDialogsTest, AClickThatClosesAMenuSelectsTheRowUnderIt) {
    StartWithRows();
    if (HasFatalFailure())
        return;
    CListCtrl& list = RecordList()->GetListCtrl();
    list.SetItemState(-1, 0, LVIS_SELECTED);
    CRect row;
    ASSERT_TRUE(list.GetItemRect(2, &row, LVIR_BOUNDS));
    WhenMenusOpen({[&](HWND) {
        win32::Click(list.GetSafeHwnd(), row.CenterPoint());
        win32::PumpUiMessages();
    }});
    ClickIn(MenuBar().GetSafeHwnd(), MenuBar().GetControl(TitleIndex("&Edit"))->GetRect());
    ServeAsTheProgram();
    EXPECT_EQ(m_opened, std::vector<std::string>{"&Edit"});
    EXPECT_EQ(list.GetNextItem(-1, LVNI_SELECTED), 2);
    EXPECT_EQ(LitCount(), 0);
}

} // namespace
