// The analyzer's main window on a real X server (CTest starts these under xvfb-run), driven as a person drives
// it: the program started on the default simulated machine with the capture driver, on a window thread of its
// own, while the test reads the screen and clicks through XTest. What the screen shows is the headless
// start-up's picture; a capture shows its rows and blinks the LED; the record list's menu and the Devices tab's
// check boxes work with the mouse; the capture thread's full-buffer box is answered while the window thread is
// busy stopping the session. The kernel's headers come first: the framework's ASSERT yields to the kernel's.
#include "tests/support/MachineFixture.h"

#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "GkCommandBars.h"
#include "GkMenuBar.h"
#include "WinDisplayDriver.h"
#include "WinPopupMenu.h"
#include "WinUiControl.h"
#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/core/settings/AppSettings.h"
#include "app/core/update/UpdateServer.h"
#include "app/devices/HubPort.h"
#include "app/ui/devicetree/DevicesTab.h"
#include "app/ui/devicetree/TabTree.h"
#include "app/ui/dialogs/CheckUpdateDlg.h"
#include "app/ui/dialogs/OptionTreeDlg.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/frame/MainFrameIds.h"
#include "app/ui/loglist/LogListColumns.h"
#include "app/ui/loglist/LogListIds.h"
#include "app/ui/loglist/LogListView.h"
#include "platform/display/DisplayHost.h"
#include "tests/support/AppStarter.h"
#include "tests/support/GuiThread.h"
#include "tests/support/Pictures.h"
#include "tests/support/XScreen.h"
#include "tools/capture-session/CaptureSession.h"

// The capture driver's entry point (driver/core/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace {

using tdl::test::GuiThread;
using tdl::test::WaitUntil;
using tdl::test::XScreen;

constexpr char kBufferFull[] = "USB event capture buffer is full. Session ending.";

// A window's picture on the root: what the model painted over `root` (screen coordinates), 0x00RRGGBB.
struct Shown {
    RECT root{};
    std::vector<uint32_t> pixels;
    int Width() const { return root.right - root.left; }
};

// What the model shows of a top-level window's part `root` (screen coordinates), as it stands.
Shown ModelPicture(HWND topLevel, const RECT& root) {
    Shown shown{root, {}};
    win32::TopLevelDescription d;
    if (!win32::DescribeTopLevel(topLevel, d))
        return shown;
    const RECT part{root.left - d.window.left, root.top - d.window.top, root.right - d.window.left,
                    root.bottom - d.window.top};
    shown.pixels.resize(static_cast<size_t>(shown.Width()) * (root.bottom - root.top));
    win32::CopyPicture(topLevel, part, shown.pixels.data(), shown.Width() * 4);
    return shown;
}

// The shown area of a top-level window (its client area under its menu bar) on the root.
RECT ShownRect(HWND topLevel) {
    win32::TopLevelDescription d;
    if (!win32::DescribeTopLevel(topLevel, d))
        return {};
    return {d.window.left + d.shown.left, d.window.top + d.shown.top, d.window.left + d.shown.right,
            d.window.top + d.shown.bottom};
}

CGkMenuBar* MenuBarOf(CMainFrame* pFrame) {
    return pFrame->GetCommandBars()->GetMenuBar();
}

// A window's rectangle on the root.
RECT RootRect(HWND hwnd) {
    RECT r{};
    ::GetWindowRect(hwnd, &r);
    return r;
}

POINT Centre(const RECT& r) {
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

class MainWindowOnScreenTest : public tdl::test::MachineTest {
protected:
    void SetUp() override {
        // No desktop session here: settings stay in memory, and no accessibility bus is looked for.
        setenv("GSETTINGS_BACKEND", "memory", 0);
        setenv("NO_AT_BRIDGE", "1", 0);
        ASSERT_TRUE(m_screen.IsOpen()) << "no X display: these tests run under xvfb-run";
        BootDefault(nt::version::Release::Windows7, DriverEntry, tdl::test::BusTime::Off);
    }
    void TearDown() override {
        m_gui.Call([this] { End(); });
        display::DetachDisplayHost();
        MachineTest::TearDown();
    }

    // Window thread: the program started on the machine as an embedded start (no splash window) with a fresh
    // profile, a live capture opened as File New opens it; `settings` changes the options first.
    CMainFrame* Start(const std::function<void(CAppSettings&)>& settings = {}) {
        m_starter = std::make_unique<apptest::AppStarter>();
        CTindaloftApp& app = m_starter->Make("/Embedding");
        if (!m_starter->Start())
            return nullptr;
        if (settings) {
            settings(app.m_Settings);
            app.SetDriverLoggingOptions(nullptr);
        }
        tdl::session::SendCommand(ID_FILE_NEW);
        win32::PumpUiMessages();
        return m_starter->MainFrame();
    }
    // Window thread: the session stopped and the program gone, with its documents.
    void End() {
        if (m_starter == nullptr)
            return;
        if (CUSBLog* pLog = Live(); pLog != nullptr && pLog->IsLogging())
            tdl::session::SendCommand(ID_USB_STOPEVENTCAPTURE);
        m_starter.reset();
    }

    CMainFrame* Frame() const { return m_starter != nullptr ? m_starter->MainFrame() : nullptr; }
    CUSBLog* Live() const { return Frame() != nullptr ? Frame()->GetLiveDocument() : nullptr; }
    CLogListView* List() const {
        CUSBLog* pLog = Live();
        return pLog != nullptr ? dynamic_cast<CLogListView*>(pLog->GetFirstView()) : nullptr;
    }

    // On the GUI thread: the program started, the mouse checked on the Devices tab and a capture started; the
    // main frame's window (null when a step failed).
    HWND StartCapturingTheMouse() {
        CMainFrame* pFrame = Start();
        if (pFrame == nullptr || Live() == nullptr ||
            !tdl::session::CheckOnDevicesTab(m_machine->Device("mouse")->PhysicalDeviceObject()))
            return nullptr;
        tdl::session::SendCommand(ID_USB_STARTEVENTCAPTURE);
        return Live()->IsLogging() ? pFrame->GetSafeHwnd() : nullptr;
    }

    // The main window mapped on the screen (0: it never did).
    unsigned long MainWindowShown() {
        unsigned long window = 0;
        WaitUntil([&] { return (window = m_screen.FindWindow(" - Tindaloft")) != 0; }, std::chrono::seconds(30));
        return window;
    }
    // Whether the screen comes to show what the model painted over a part of a top-level window.
    bool ScreenShows(HWND topLevel, const RECT& root) {
        return WaitUntil([&] { return m_screen.Read(root) == ModelPicture(topLevel, root).pixels; });
    }

    XScreen m_screen;
    GuiThread m_gui;
    std::unique_ptr<apptest::AppStarter> m_starter;
};

TEST_F(MainWindowOnScreenTest, TheScreenShowsTheHeadlessStartUpsPicturePixelForPixelAtItsPlace) {
    // The start-up without a display: the main window's picture as the model paints it.
    const Shown headless = m_gui.Call([this] {
        Shown shown;
        if (CMainFrame* pFrame = Start()) {
            ::RedrawWindow(pFrame->GetSafeHwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
            shown = ModelPicture(pFrame->GetSafeHwnd(), ShownRect(pFrame->GetSafeHwnd()));
        }
        End();
        return shown;
    });
    ASSERT_FALSE(headless.pixels.empty()) << "the program did not start";
    XScreen::SavePng(headless.pixels, headless.Width(), tdl::test::PicturePath("main_window_headless.png"));

    // The same start-up, on a machine booted afresh, with the host attached.
    MachineTest::TearDown();
    BootDefault(nt::version::Release::Windows7, DriverEntry, tdl::test::BusTime::Off);
    ASSERT_TRUE(display::AttachDisplayHost());
    ASSERT_NE(m_gui.Call([this] { return Start(); }), nullptr);
    const unsigned long window = MainWindowShown();
    ASSERT_NE(window, 0u) << "the main window did not map";
    ASSERT_TRUE(m_screen.Settled(window));
    std::vector<uint32_t> screen;
    const bool equal = WaitUntil([&] { return (screen = m_screen.Read(headless.root)) == headless.pixels; });
    XScreen::SavePng(screen, headless.Width(), tdl::test::PicturePath("main_window_screen.png"));
    EXPECT_TRUE(equal) << "the screen differs from the headless picture";
    const RECT onScreen = m_screen.WindowRect(window);
    EXPECT_EQ(onScreen.left, headless.root.left);
    EXPECT_EQ(onScreen.top, headless.root.top);
    EXPECT_EQ(onScreen.right, headless.root.right);
    EXPECT_EQ(onScreen.bottom, headless.root.bottom);
}

// A capture of the mouse on the real clock: its rows reach the screen and the LED blinks between its two lit
// images there. Stopped, the record list's menu opens on a right click, a click on an item runs its command,
// and a click outside dismisses it.
TEST_F(MainWindowOnScreenTest, ACaptureShowsItsRowsAndBlinksTheLedAndTheListsMenuTakesTheMouse) {
    ASSERT_TRUE(display::AttachDisplayHost());
    const HWND frame = m_gui.Call([this] { return StartCapturingTheMouse(); });
    ASSERT_NE(frame, nullptr) << "no capture of the mouse";
    ASSERT_NE(MainWindowShown(), 0u);
    const HWND list = m_gui.Call([this] { return List()->GetListCtrl().GetSafeHwnd(); });
    const RECT led = m_gui.Call([this] {
        CGkStatusBar& bar = Frame()->GetStatusBar();
        RECT r{};
        bar.GetItemRect(bar.CommandToIndex(ID_INDICATOR_LED), &r);
        ::MapWindowPoints(bar.GetSafeHwnd(), nullptr, reinterpret_cast<POINT*>(&r), 2);
        return r;
    });

    Play(sim::WorkloadKind::MouseMoving, 40);
    EXPECT_TRUE(WaitUntil([&] { return m_gui.Call([this] { return List()->GetItemCount(); }) > 10; }))
        << "no rows came in";
    EXPECT_TRUE(ScreenShows(frame, RootRect(list))) << "the screen does not show the list's rows";
    // The LED's two lit images, as the status bar draws them, each seen on the screen within a few blinks.
    const uint32_t kOnA = 0xE81818, kOnB = 0xA00000;
    bool seenA = false, seenB = false;
    WaitUntil(
        [&] {
            for (uint32_t pixel : m_screen.Read(led)) {
                seenA = seenA || pixel == kOnA;
                seenB = seenB || pixel == kOnB;
            }
            return seenA && seenB;
        },
        std::chrono::seconds(5));
    EXPECT_TRUE(seenA && seenB) << "the LED did not blink on the screen";
    m_gui.Call([] { tdl::session::SendCommand(ID_USB_STOPEVENTCAPTURE); });

    // The Time column's text of the second row, and where that row lies on the root.
    const auto time = [&] {
        return m_gui.Call([this] {
            const int nColumn = List()->GetColumns().FindColumn(LVCOL_ELAPSED_TIME);
            return std::string(List()->GetListCtrl().GetItemText(1, nColumn));
        });
    };
    const POINT row = m_gui.Call([this] {
        CRect r;
        List()->GetListCtrl().GetItemRect(1, &r, LVIR_BOUNDS);
        CPoint at(r.left + 30, r.CenterPoint().y);
        List()->GetListCtrl().ClientToScreen(&at);
        return POINT{at.x, at.y};
    });
    const std::string seconds = time();
    ASSERT_EQ(seconds.size() - seconds.find('.') - 1, 8u) << seconds; // seconds to eight places
    for (bool pick : {true, false}) {
        SCOPED_TRACE(pick ? "an item picked" : "dismissed");
        m_screen.Click(row, 3);
        HWND menu = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (menu = ::FindWindowA(WC_MENUA, nullptr)) != nullptr; }))
            << "no menu opened";
        EXPECT_TRUE(ScreenShows(menu, RootRect(menu))) << "the screen does not show the menu";
        if (pick) {
            // "Show Milliseconds", where the open menu lays it out (asked on the thread the menu holds).
            const RECT item = m_gui.Send([menu] {
                RECT r{};
                ::GetMenuItemRect(nullptr, reinterpret_cast<HMENU>(::SendMessageA(menu, MN_GETHMENU, 0, 0)), 2, &r);
                return r;
            });
            ASSERT_GT(item.bottom, item.top);
            m_screen.Click(Centre(item));
        } else {
            m_screen.Click({RootRect(frame).left + 40, RootRect(frame).bottom - 40});
        }
        const RECT where = RootRect(menu);
        EXPECT_TRUE(WaitUntil([&] { return ::FindWindowA(WC_MENUA, nullptr) == nullptr; })) << "the menu stays";
        // Gone from the screen too (and its hold on the pointer with it) before the person clicks again.
        EXPECT_TRUE(ScreenShows(frame, where));
        const std::string now = time();
        EXPECT_EQ(now.size() - now.find('.') - 1, 4u) << now; // milliseconds to four places
    }
    EXPECT_TRUE(ScreenShows(frame, RootRect(list)));
}

// The capture thread meets a full bank and says so in a box of its own while the window thread, busy stopping
// the session, waits for that thread. A click on the busy main window holds nobody up; the box is answered
// with the mouse, and the session ends.
TEST_F(MainWindowOnScreenTest, TheFullBufferBoxIsAnsweredWhileTheWindowThreadStopsTheSession) {
    ASSERT_TRUE(display::AttachDisplayHost());
    const HWND frame = m_gui.Call([this]() -> HWND {
        CMainFrame* pFrame = Start([](CAppSettings& settings) {
            settings.ContinuousLogging = false;
            settings.BackgroundLogging = false;
            settings.CaptureBulk = true;
            settings.BulkMaxSize = SizeCodeOfBytes(65536);
        });
        if (pFrame == nullptr || Live() == nullptr ||
            !tdl::session::CheckOnDevicesTab(m_machine->Device("stick")->PhysicalDeviceObject()))
            return nullptr;
        tdl::session::SendCommand(ID_USB_STARTEVENTCAPTURE);
        return Live()->IsLogging() ? pFrame->GetSafeHwnd() : nullptr;
    });
    ASSERT_NE(frame, nullptr) << "no capture of the stick";
    ASSERT_NE(MainWindowShown(), 0u);

    // Far more than a bank of data.
    sim::WorkloadOptions files;
    files.fileBytes = files.transferBytes = 65536;
    Play(sim::WorkloadKind::CopyToStick, 8, files);
    HWND box = nullptr;
    ASSERT_TRUE(WaitUntil([&] { return (box = ::FindWindowA(nullptr, "Tindaloft")) != nullptr; }))
        << "the full-buffer box did not show";
    EXPECT_TRUE(ScreenShows(box, ShownRect(box))) << "the screen does not show the box";

    auto stopped = m_gui.Start([] { tdl::session::SendCommand(ID_USB_STOPEVENTCAPTURE); });
    m_screen.Click(Centre(ShownRect(frame))); // the window thread is busy: the click waits for nobody
    EXPECT_EQ(stopped.wait_for(std::chrono::milliseconds(300)), std::future_status::timeout)
        << "the stop did not wait for the capture thread";
    m_screen.Click(Centre(RootRect(::GetDlgItem(box, IDOK))));
    ASSERT_EQ(stopped.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "the stop never returned";
    stopped.get();
    EXPECT_FALSE(m_gui.Call([this] { return Live()->IsLogging(); })) << "the session goes on";
    std::vector<std::string> answered;
    for (const win32::ModalRequest& request : win32::ModalRequests())
        if (request.kind == win32::ModalKind::MessageBox)
            answered.push_back(request.text + (request.answer == IDOK ? " (OK)" : " (?)"));
    EXPECT_EQ(answered, std::vector<std::string>{std::string(kBufferFull) + " (OK)"});
}

// A click on the check box of the stick's port on the Devices tab checks the port in the model and shows the
// check on the screen; a second click takes both back.
TEST_F(MainWindowOnScreenTest, AClickOnADevicesTabCheckBoxTogglesTheCheckInTheModelAndOnTheScreen) {
    ASSERT_TRUE(display::AttachDisplayHost());
    struct Item {
        HWND frame = nullptr, tree = nullptr;
        HTREEITEM item = nullptr;
        POINT box{-1, -1}; // the check box's middle on the root
    };
    const Item at = m_gui.Call([this] {
        Item at;
        CMainFrame* pFrame = Start();
        if (pFrame == nullptr)
            return at;
        CTabTree* pTree = nullptr;
        at.item = tdl::session::ShowOnDevicesTab(m_machine->Device("stick")->PhysicalDeviceObject(), pTree);
        if (at.item == nullptr)
            return at;
        at.frame = pFrame->GetSafeHwnd();
        at.tree = pTree->GetSafeHwnd();
        at.box = tdl::session::CheckBoxPoint(*pTree, at.item);
        pTree->ClientToScreen(&at.box);
        return at;
    });
    ASSERT_NE(at.item, nullptr) << "no Devices tab item for the stick";
    ASSERT_NE(at.box.x, -1) << "the stick's item shows no check box";
    ASSERT_TRUE(m_screen.Settled(MainWindowShown()));
    // The port's check as the model holds it, and as the tree shows it (its state image: 1 clear, 2 checked).
    const auto checks = [&] {
        return m_gui.Call([&] {
            auto* pTree = static_cast<CTabTree*>(CWnd::FromHandle(at.tree));
            const auto* pNode = CDevicesTab::NodeOf(pTree->GetItemData(at.item));
            const auto* pPort = dynamic_cast<CHubPort*>(pNode->get().m_pElemObject);
            const int shown = static_cast<int>((pTree->GetItemState(at.item, TVIS_STATEIMAGEMASK) >> 12) & 0xF);
            return std::pair{pPort != nullptr ? pPort->GetCheckState() : -1, shown};
        });
    };
    // The tree as it stands, painted (a copy of the model's picture asks for no paint).
    const auto painted = [&] {
        m_gui.Call([&] { ::RedrawWindow(at.tree, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN); });
        return ScreenShows(at.frame, RootRect(at.tree));
    };
    const RECT box{at.box.x - 4, at.box.y - 4, at.box.x + 5, at.box.y + 5};
    ASSERT_EQ(checks(), std::pair(1, 1)) << "the stick starts unchecked";
    ASSERT_TRUE(painted()) << "the screen does not show the tree";
    auto clicked = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    for (int expected : {2, 1}) {
        SCOPED_TRACE(expected == 2 ? "checked" : "cleared");
        // Two clicks, not a double-click: the second press comes after the double-click time, as a person's does.
        std::this_thread::sleep_until(clicked + std::chrono::milliseconds(::GetDoubleClickTime() + 100));
        const std::vector<uint32_t> before = m_screen.Read(box);
        m_screen.Click(at.box);
        clicked = std::chrono::steady_clock::now();
        EXPECT_TRUE(WaitUntil([&] { return checks() == std::pair(expected, expected); }))
            << "the model holds " << checks().first << ", the tree shows " << checks().second;
        EXPECT_TRUE(painted()) << "the screen does not show the tree";
        EXPECT_NE(m_screen.Read(box), before) << "the check box looks the same on the screen";
    }
}

// The Options dialog over the main window takes the person's keyboard: Enter closes it as OK, Escape as Cancel.
TEST_F(MainWindowOnScreenTest, EnterAndEscapeCloseTheOptionsDialogAsOkAndCancel) {
    ASSERT_TRUE(display::AttachDisplayHost());
    ASSERT_NE(m_gui.Call([this] { return Start(); }), nullptr);
    ASSERT_NE(MainWindowShown(), 0u);
    const struct {
        unsigned long key;
        INT_PTR result;
    } cases[] = {{XK_Return, IDOK}, {XK_Escape, IDCANCEL}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.result == IDOK ? "Enter" : "Escape");
        auto closed = m_gui.Start([this] {
            COptionTreeDlg dialog(&m_starter->App().m_Settings, TRUE, FALSE, Frame());
            return dialog.DoModal();
        });
        HWND dialog = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (dialog = ::FindWindowA("#32770", nullptr)) != nullptr; }))
            << "the dialog did not open";
        unsigned long shown = 0;
        char title[128] = {};
        ::GetWindowTextA(dialog, title, sizeof title);
        ASSERT_STRNE(title, "");
        ASSERT_TRUE(WaitUntil([&] { return (shown = m_screen.FindWindow(title)) != 0; })) << title;
        ASSERT_TRUE(m_screen.ReadyForKeys(shown));
        m_screen.Key(c.key);
        ASSERT_EQ(closed.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "the dialog stays";
        EXPECT_EQ(closed.get(), c.result);
        EXPECT_TRUE(WaitUntil([&] { return m_screen.FindWindow(title) == 0; })) << "gone from the screen";
    }
}

// The menu bar taken by the person's keyboard and mouse: File opened by a click, Right three times opens Capture,
// Esc twice leaves no menu open and no title highlighted on the screen; F10 and Enter open File, Alt+C Capture;
// and a click on the record list just as a menu closes selects the row it lands on.
TEST_F(MainWindowOnScreenTest, TheMenuBarWalksWithTheKeyboardAndTheClickThatClosesAMenuSelectsARow) {
    ASSERT_TRUE(display::AttachDisplayHost());
    const HWND frame = m_gui.Call([this] { return StartCapturingTheMouse(); });
    ASSERT_NE(frame, nullptr) << "no capture of the mouse";
    // As the program's loop does: its frames see the keys first (the menu bar's F10 and Alt among them).
    m_gui.PreTranslateWith([](MSG* msg) {
        CWinApp* pApp = AfxGetApp();
        return pApp != nullptr && pApp->PreTranslateMessage(msg);
    });
    const unsigned long window = MainWindowShown();
    ASSERT_NE(window, 0u);
    Play(sim::WorkloadKind::MouseMoving, 10);
    ASSERT_TRUE(WaitUntil([&] { return m_gui.Call([this] { return List()->GetItemCount(); }) > 4; }));
    m_gui.Call([] { tdl::session::SendCommand(ID_USB_STOPEVENTCAPTURE); });
    // The capture's last rows have come in (each would scroll the list).
    for (int rows = -1;;) {
        const int now = m_gui.Call([this] { return List()->GetItemCount(); });
        if (now == rows)
            break;
        rows = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    }
    ASSERT_TRUE(m_screen.ReadyForKeys(window));

    struct Bar {
        HWND hwnd = nullptr;
        RECT root{};              // the bar on the root
        std::vector<RECT> titles; // each title on the root
    };
    const Bar bar = m_gui.Call([this] {
        Bar b;
        CGkMenuBar* pBar = Frame()->GetCommandBars()->GetMenuBar();
        b.hwnd = pBar->GetSafeHwnd();
        b.root = RootRect(b.hwnd);
        for (int i = 0; i < pBar->GetControlCount(); ++i) {
            RECT r = pBar->GetControl(i)->GetRect();
            ::MapWindowPoints(b.hwnd, nullptr, reinterpret_cast<POINT*>(&r), 2);
            b.titles.push_back(r);
        }
        return b;
    });
    ASSERT_EQ(bar.titles.size(), 7u) << "File, Edit, View, Capture, Options, Window, Help";
    // The menu bar's state, asked on its thread (it answers inside a menu's loop too).
    const auto tracked = [&] { return m_gui.Send([this] { return MenuBarOf(Frame())->GetTrackedIndex(); }); };
    const auto keyboard = [&] { return m_gui.Send([this] { return MenuBarOf(Frame())->GetKeyboardIndex(); }); };
    const auto menuOpen = [] { return ::FindWindowA(WC_MENUA, nullptr) != nullptr; };
    // No title highlighted: the screen shows the bar as the model paints it, with no highlight in it.
    const auto plainBar = [&] {
        m_gui.Send([&] { ::RedrawWindow(bar.hwnd, nullptr, nullptr, RDW_UPDATENOW); });
        if (!ScreenShows(frame, bar.root))
            return false;
        const std::vector<uint32_t> shown = m_screen.Read(bar.root);
        const COLORREF c = ::GetSysColor(COLOR_HIGHLIGHT);
        const uint32_t highlight = (GetRValue(c) << 16) | (GetGValue(c) << 8) | GetBValue(c);
        return std::find(shown.begin(), shown.end(), highlight) == shown.end();
    };

    m_screen.Click(Centre(bar.titles[0]));
    ASSERT_TRUE(WaitUntil(menuOpen)) << "File did not open";
    EXPECT_EQ(tracked(), 0);
    for (int expected : {1, 2, 3}) {
        m_screen.Key(XK_Right);
        EXPECT_TRUE(WaitUntil([&] { return tracked() == expected && menuOpen(); })) << "title " << expected;
    }
    // The titles on the screen (the open pop-up lies just below them).
    const RECT titles{bar.titles.front().left, bar.titles.front().top, bar.titles.back().right,
                      bar.titles.front().bottom};
    m_gui.Send([&] { ::RedrawWindow(bar.hwnd, nullptr, nullptr, RDW_UPDATENOW); });
    EXPECT_TRUE(ScreenShows(frame, titles)) << "the screen does not show the titles";
    XScreen::SavePng(m_screen.Read(titles), titles.right - titles.left,
                     tdl::test::PicturePath("menu_bar_capture_screen.png"));
    m_screen.Key(XK_Escape);
    EXPECT_TRUE(WaitUntil([&] { return !menuOpen() && keyboard() == 3; })) << "Esc closes into the bar";
    m_screen.Key(XK_Escape);
    EXPECT_TRUE(WaitUntil([&] { return keyboard() == -1 && tracked() == -1; }));
    EXPECT_TRUE(WaitUntil(plainBar)) << "a title stays highlighted";

    m_screen.Key(XK_F10);
    EXPECT_TRUE(WaitUntil([&] { return keyboard() == 0; })) << "F10";
    m_screen.Key(XK_Return);
    EXPECT_TRUE(WaitUntil([&] { return tracked() == 0 && menuOpen(); })) << "Enter opens File";
    m_screen.Key(XK_Escape);
    m_screen.Key(XK_Escape);
    EXPECT_TRUE(WaitUntil([&] { return !menuOpen() && keyboard() == -1; }));
    m_screen.KeyWith(XK_Alt_L, XK_c);
    EXPECT_TRUE(WaitUntil([&] { return tracked() == 3 && menuOpen(); })) << "Alt+C opens Capture";
    m_screen.Key(XK_Escape);
    m_screen.Key(XK_Escape);
    EXPECT_TRUE(WaitUntil([&] { return !menuOpen() && keyboard() == -1; }));
    EXPECT_TRUE(WaitUntil(plainBar)) << "a title stays highlighted";

    // Edit opened by a click; a click on the third row closes it and selects that row.
    const POINT row = m_gui.Call([this] {
        CListCtrl& list = List()->GetListCtrl();
        list.SetItemState(-1, 0, LVIS_SELECTED);
        CRect r;
        list.GetItemRect(2, &r, LVIR_BOUNDS);
        CPoint at(r.left + 30, r.CenterPoint().y);
        list.ClientToScreen(&at);
        return POINT{at.x, at.y};
    });
    m_screen.Click(Centre(bar.titles[1]));
    ASSERT_TRUE(WaitUntil(menuOpen)) << "Edit did not open";
    m_screen.Click(row);
    const bool closed = WaitUntil([&] { return !menuOpen(); });
    EXPECT_TRUE(closed) << "the click did not close the menu";
    int selected = -1;
    EXPECT_TRUE(WaitUntil([&] {
        selected = m_gui.Send([this] { return List()->GetListCtrl().GetNextItem(-1, LVNI_SELECTED); });
        return selected == 2;
    })) << "the click did not reach the list's third row: row "
        << selected << " is selected";
    if (!closed)
        m_screen.Key(XK_Escape);
    EXPECT_TRUE(WaitUntil(plainBar));
}

// "Website" in the update dialog and "Launch Email Client" in the support dialog, pressed by the person, start
// the desktop's opener with their addresses.
TEST_F(MainWindowOnScreenTest, WebsiteAndLaunchEmailClientOpenTheirAddressesOnTheDesktop) {
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tdl-app-opener";
    std::filesystem::create_directories(folder);
    const std::filesystem::path noted = folder / "opened.txt";
    std::filesystem::remove(noted);
    {
        std::ofstream opener(folder / "xdg-open");
        opener << "#!/bin/sh\necho \"$1\" >> '" << noted.string() << "'\n";
    }
    std::filesystem::permissions(folder / "xdg-open", std::filesystem::perms::owner_all);
    const std::string path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (folder.string() + ":" + path).c_str(), 1);
    ASSERT_TRUE(display::AttachDisplayHost());
    ASSERT_NE(m_gui.Call([this] { return Start(); }), nullptr);
    ASSERT_NE(MainWindowShown(), 0u);
    const auto lines = [&] {
        std::vector<std::string> read;
        std::ifstream in(noted);
        for (std::string line; std::getline(in, line);)
            read.push_back(line);
        return read;
    };
    const struct {
        const char* title;
        std::function<void()> open;
        std::string address; // how the address begins
    } cases[] = {
        {"Check for Update",
         [] {
             CheckUpdateDlg dlg;
             dlg.m_strLatestVersion = "9.9.9.9";
             dlg.m_strInstalledVersion = "1.0.0.1";
             dlg.DoModal();
         },
         kDownloadPage},
        {"Support", [] { tdl::session::SendCommand(ID_HELP_SUPPORT); }, "mailto:"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.title);
        const size_t before = lines().size();
        auto closed = m_gui.Start(c.open);
        HWND dialog = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (dialog = ::FindWindowA("#32770", nullptr)) != nullptr; }));
        char title[128] = {};
        ::GetWindowTextA(dialog, title, sizeof title);
        unsigned long shown = 0;
        ASSERT_TRUE(WaitUntil([&] { return (shown = m_screen.FindWindow(title)) != 0; })) << title;
        ASSERT_TRUE(m_screen.Settled(shown));
        m_screen.Click(Centre(RootRect(::GetDlgItem(dialog, IDOK))));
        EXPECT_TRUE(WaitUntil([&] { return lines().size() > before; })) << "the opener was not started";
        const std::vector<std::string> now = lines();
        ASSERT_GT(now.size(), before);
        EXPECT_EQ(now.back().rfind(c.address, 0), 0u) << now.back();
        if (closed.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
            // The support dialog stays for the person to copy its facts: closed as Cancel.
            m_gui.Send([dialog] { ::SendMessageA(dialog, WM_COMMAND, IDCANCEL, 0); });
        }
        ASSERT_EQ(closed.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    }
    setenv("PATH", path.c_str(), 1);
    std::filesystem::remove_all(folder);
}

} // namespace
