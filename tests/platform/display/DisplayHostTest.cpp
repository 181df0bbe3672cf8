// The GTK host on a real X server (CTest starts these under xvfb-run): what the screen shows is the model's
// picture, the person's mouse and keyboard reach the model (and the input observer hears them), a worker's box is
// answered while its owner's thread is busy, and a file request is answered in the desktop's chooser.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "NtClock.h"
#include "WinClipboard.h"
#include "WinDialogs.h"
#include "WinDisplayDriver.h"
#include "WinEdit.h"
#include "WinFileDialogControl.h"
#include "WinListBox.h"
#include "WinPopupMenu.h"
#include "WinShellControl.h"
#include "commdlg.h"
#include "platform/display/DisplayHost.h"
#include "shellapi.h"
#include "tests/support/GuiThread.h"
#include "tests/support/Pictures.h"
#include "tests/support/XScreen.h"
#include "windows.h"

namespace {

using tdl::test::GuiThread;
using tdl::test::WaitUntil;
using tdl::test::XScreen;

constexpr int kButtonId = 10;
constexpr int kListId = 11;
constexpr int kEditId = 12;

// The model's top-level window as the screen should show it: the shown area, placed on the root.
struct Shown {
    RECT root{};
    std::vector<uint32_t> pixels;
};

class DisplayHostTest : public testing::Test {
protected:
    void SetUp() override {
        // No desktop session here: settings stay in memory, and no accessibility bus is looked for.
        setenv("GSETTINGS_BACKEND", "memory", 0);
        setenv("NO_AT_BRIDGE", "1", 0);
        nt::clock::UseRealClock();
        win32::ClearModalRequests();
        ASSERT_TRUE(m_screen.IsOpen()) << "no X display: the host's tests run under xvfb-run";
        ASSERT_TRUE(display::AttachDisplayHost());
    }
    void TearDown() override {
        m_gui.Call([this] {
            if (m_frame)
                DestroyWindow(m_frame);
        });
        display::DetachDisplayHost();
    }

    // A frame with a menu bar, a button, a list and an edit, shown at a place of its own.
    void MakeFrame(const char* title) {
        m_frame = m_gui.Call([title] {
            win32::RegisterDialogClasses();
            win32::RegisterListBoxClass();
            win32::RegisterEditClass();
            WNDCLASSA wc{};
            wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
                if (message == WM_COMMAND && LOWORD(wParam) == kButtonId && HIWORD(wParam) == BN_CLICKED)
                    SetWindowLongPtrA(hwnd, GWLP_USERDATA, GetWindowLongPtrA(hwnd, GWLP_USERDATA) + 1);
                return DefWindowProcA(hwnd, message, wParam, lParam);
            };
            wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
            wc.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
            wc.lpszClassName = "TdlHostFrame";
            RegisterClassA(&wc);
            HMENU bar = CreateMenu();
            AppendMenuA(bar, MF_STRING, 1, "&File");
            AppendMenuA(bar, MF_STRING, 2, "&Help");
            HWND frame = CreateWindowExA(0, "TdlHostFrame", title, WS_OVERLAPPEDWINDOW, 120, 90, 480, 340, nullptr, bar,
                                         nullptr, nullptr);
            CreateWindowExA(0, "BUTTON", "Press", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 90, 26, frame,
                            reinterpret_cast<HMENU>(kButtonId), nullptr, nullptr);
            HWND list = CreateWindowExA(WS_EX_CLIENTEDGE, "LISTBOX", "", WS_CHILD | WS_VISIBLE | LBS_NOTIFY, 10, 50,
                                        150, 120, frame, reinterpret_cast<HMENU>(kListId), nullptr, nullptr);
            for (const char* item : {"First", "Second", "Third"})
                SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
            CreateWindowExA(WS_EX_CLIENTEDGE, "EDIT", "", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 180, 50, 200, 24,
                            frame, reinterpret_cast<HMENU>(kEditId), nullptr, nullptr);
            ShowWindow(frame, SW_SHOWNORMAL);
            UpdateWindow(frame);
            return frame;
        });
        ASSERT_NE(m_frame, nullptr);
        for (int id : {kButtonId, kListId, kEditId})
            ASSERT_NE(GetDlgItem(m_frame, id), nullptr) << id;
        ASSERT_TRUE(WaitUntil([&] { return m_screen.FindWindow(title) != 0; })) << "the frame never mapped";
    }

    // The model's picture of a top-level window, painted up to date, over its shown area.
    Shown ModelPicture(HWND hwnd) {
        win32::TopLevelDescription d;
        EXPECT_TRUE(win32::DescribeTopLevel(hwnd, d));
        RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        Shown shown;
        shown.root = {d.window.left + d.shown.left, d.window.top + d.shown.top, d.window.left + d.shown.right,
                      d.window.top + d.shown.bottom};
        const int width = d.shown.right - d.shown.left;
        shown.pixels.resize(static_cast<size_t>(width) * (d.shown.bottom - d.shown.top));
        win32::CopyPicture(hwnd, d.shown, shown.pixels.data(), width * 4);
        return shown;
    }

    // A point of a window's client area on the root.
    static POINT OnRoot(HWND hwnd, POINT client) {
        ClientToScreen(hwnd, &client);
        return client;
    }
    POINT CentreOf(HWND hwnd) {
        RECT r;
        GetClientRect(hwnd, &r);
        return OnRoot(hwnd, {r.right / 2, r.bottom / 2});
    }

    XScreen m_screen;
    GuiThread m_gui;
    HWND m_frame = nullptr;
};

TEST_F(DisplayHostTest, TheScreenShowsTheClientAreaAndMenuBarPixelForPixelAtTheModelsPlace) {
    MakeFrame("Host picture");
    const RECT onScreen = m_screen.WindowRect(m_screen.FindWindow("Host picture"));
    Shown model;
    std::vector<uint32_t> screen;
    // The host draws what the window's thread painted, after it said so.
    const bool equal = WaitUntil([&] {
        model = ModelPicture(m_frame);
        screen = m_screen.Read(model.root);
        return screen == model.pixels;
    });
    const int width = model.root.right - model.root.left;
    XScreen::SavePng(screen, width, tdl::test::PicturePath("display_host_screen.png"));
    XScreen::SavePng(model.pixels, width, tdl::test::PicturePath("display_host_model.png"));
    EXPECT_TRUE(equal) << "the screen differs from the model's picture";
    EXPECT_EQ(onScreen.left, model.root.left);
    EXPECT_EQ(onScreen.top, model.root.top);
    EXPECT_EQ(onScreen.right, model.root.right);
    EXPECT_EQ(onScreen.bottom, model.root.bottom);
    RECT client;
    GetClientRect(m_frame, &client);
    EXPECT_EQ(model.root.bottom - model.root.top, client.bottom + GetSystemMetrics(SM_CYMENU)) << "menu bar shown";
    // The desktop's screen is the profile's.
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1920);
}

TEST_F(DisplayHostTest, TheDesktopMovingOrSizingAWindowMovesOrSizesTheModelsWindow) {
    MakeFrame("Host moved");
    const unsigned long window = m_screen.FindWindow("Host moved");
    ASSERT_TRUE(m_screen.Settled(window));
    RECT before, client;
    GetWindowRect(m_frame, &before);
    GetClientRect(m_frame, &client);
    const RECT shown = m_screen.WindowRect(window);
    // 40 right, 30 down, 100 wider and 50 taller.
    m_screen.MoveResize(window, {shown.left + 40, shown.top + 30, shown.right + 140, shown.bottom + 80});
    EXPECT_TRUE(WaitUntil([&] {
        RECT now;
        GetWindowRect(m_frame, &now);
        return now.left == before.left + 40 && now.top == before.top + 30 && now.right == before.right + 140 &&
               now.bottom == before.bottom + 80;
    })) << "the model's window did not follow";
    RECT after;
    GetClientRect(m_frame, &after);
    EXPECT_EQ(after.right, client.right + 100);
    EXPECT_EQ(after.bottom, client.bottom + 50);
    // What the model then paints at its new size is what the screen shows.
    EXPECT_TRUE(WaitUntil([&] {
        Shown model = ModelPicture(m_frame);
        return m_screen.Read(model.root) == model.pixels;
    }));
}

TEST_F(DisplayHostTest, ClicksAndKeysFromTheXServerReachButtonsListsEditsAndMenus) {
    MakeFrame("Host input");
    HWND button = GetDlgItem(m_frame, kButtonId), list = GetDlgItem(m_frame, kListId),
         edit = GetDlgItem(m_frame, kEditId);
    m_screen.Click(CentreOf(button));
    EXPECT_TRUE(WaitUntil([&] { return GetWindowLongPtrA(m_frame, GWLP_USERDATA) == 1; })) << "button not clicked";

    const LRESULT itemHeight = SendMessageA(list, LB_GETITEMHEIGHT, 0, 0);
    m_screen.Click(OnRoot(list, {20, static_cast<LONG>(itemHeight * 2 + itemHeight / 2)}));
    EXPECT_TRUE(WaitUntil([&] { return SendMessageA(list, LB_GETCURSEL, 0, 0) == 2; })) << "third item not chosen";

    m_screen.Click(CentreOf(edit));
    m_screen.Type("Abc1.x");
    char text[32] = {};
    EXPECT_TRUE(WaitUntil([&] {
        GetWindowTextA(edit, text, sizeof text);
        return std::string(text) == "Abc1.x";
    })) << "typed: "
        << text;

    // A pop-up menu: a click on its second item picks it; a click outside it dismisses it.
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 101, "Copy");
    AppendMenuA(menu, MF_STRING, 102, "Paste");
    const POINT at = OnRoot(m_frame, {200, 120});
    for (bool pick : {true, false}) {
        auto chosen = m_gui.Start([&] {
            return TrackPopupMenuEx(menu, TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN, at.x, at.y, m_frame, nullptr);
        });
        HWND popup = nullptr;
        ASSERT_TRUE(WaitUntil([&] { return (popup = FindWindowA(WC_MENUA, nullptr)) != nullptr; }));
        RECT r;
        GetWindowRect(popup, &r);
        // Undecorated and whole, where the model put it.
        EXPECT_TRUE(WaitUntil([&] { return m_screen.Read(r) == ModelPicture(popup).pixels; }));
        if (pick)
            m_screen.Click({r.left + 10, r.top + (r.bottom - r.top) * 3 / 4});
        else
            m_screen.Click(OnRoot(m_frame, {5, 250}));
        ASSERT_EQ(chosen.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        EXPECT_EQ(chosen.get(), pick ? 102 : 0);
    }
    DestroyMenu(menu);
}

TEST_F(DisplayHostTest, AWorkersBoxIsAnsweredWhileItsOwnersThreadIsBusyAndAfterAClickOnIt) {
    MakeFrame("Host busy");
    std::promise<void> release;
    auto busy = m_gui.Start([&] { release.get_future().wait(); });
    std::promise<int> answered;
    std::thread worker([&] { answered.set_value(MessageBoxA(m_frame, "The buffer is full.", "Busy box", MB_OK)); });
    ASSERT_TRUE(WaitUntil([&] { return m_screen.FindWindow("Busy box") != 0; })) << "the box never showed";
    m_screen.Click(CentreOf(m_frame)); // waits for nobody
    HWND box = FindWindowA(nullptr, "Busy box");
    ASSERT_NE(box, nullptr);
    auto answer = answered.get_future();
    m_screen.Click(CentreOf(GetDlgItem(box, IDOK)));
    ASSERT_EQ(answer.wait_for(std::chrono::seconds(20)), std::future_status::ready) << "the box was not answered";
    EXPECT_EQ(answer.get(), IDOK);
    worker.join();
    release.set_value();
    busy.get();
}

TEST_F(DisplayHostTest, ASaveIsAnsweredInTheDesktopsChooserAndACancelChoosesNothing) {
    MakeFrame("Host chooser");
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tdl-host-chooser";
    std::filesystem::create_directories(folder);
    for (bool save : {true, false}) {
        ASSERT_TRUE(WaitUntil([&] { return m_screen.FindWindow("Save Capture") == 0; })) << "the last one stays";
        auto result = m_gui.Start([&] {
            char name[MAX_PATH] = {};
            std::snprintf(name, sizeof name, "%s/capture", folder.c_str());
            OPENFILENAMEA ofn{};
            ofn.lStructSize = sizeof ofn;
            ofn.hwndOwner = m_frame;
            ofn.lpstrFile = name;
            ofn.nMaxFile = MAX_PATH;
            ofn.lpstrFilter = "Captures (*.zlg)\0*.zlg\0All files (*.*)\0*.*\0";
            ofn.lpstrDefExt = "zlg";
            ofn.lpstrTitle = "Save Capture";
            ofn.Flags = OFN_OVERWRITEPROMPT;
            return GetSaveFileNameA(&ofn) ? std::string(name) : std::string();
        });
        unsigned long chooser = 0;
        ASSERT_TRUE(WaitUntil([&] { return (chooser = m_screen.FindWindow("Save Capture")) != 0; }));
        ASSERT_TRUE(m_screen.ReadyForKeys(chooser));
        if (save) {
            m_screen.Type("mine");
            m_screen.Key(XK_Return);
        } else {
            m_screen.Key(XK_Escape);
        }
        ASSERT_EQ(result.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        EXPECT_EQ(result.get(), save ? (folder / "mine.zlg").string() : std::string());
    }
    std::filesystem::remove_all(folder);
}

TEST_F(DisplayHostTest, AFontIsChosenInTheDesktopsChooserAndPrintSetupSaysNoPrinterIsInstalled) {
    MakeFrame("Host font");
    auto chosen = m_gui.Start([&] {
        LOGFONTA font{};
        std::strcpy(font.lfFaceName, "DejaVu Sans");
        font.lfHeight = -16; // 12 points
        font.lfWeight = FW_BOLD;
        CHOOSEFONTA cf{};
        cf.lStructSize = sizeof cf;
        cf.hwndOwner = m_frame;
        cf.lpLogFont = &font;
        cf.Flags = CF_INITTOLOGFONTSTRUCT | CF_SCREENFONTS;
        return ChooseFontA(&cf) ? font : LOGFONTA{};
    });
    unsigned long dialog = 0;
    ASSERT_TRUE(WaitUntil([&] { return (dialog = m_screen.FindWindow("Font")) != 0; }));
    ASSERT_TRUE(m_screen.ReadyForKeys(dialog));
    m_screen.Key(XK_Return); // the font it was opened with
    ASSERT_EQ(chosen.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    const LOGFONTA font = chosen.get();
    EXPECT_STREQ(font.lfFaceName, "DejaVu Sans");
    EXPECT_EQ(font.lfHeight, -16);
    EXPECT_EQ(font.lfWeight, FW_BOLD);
    EXPECT_FALSE(font.lfItalic);

    auto printed = m_gui.Start([&] {
        PRINTDLGA pd{};
        pd.lStructSize = sizeof pd;
        pd.hwndOwner = m_frame;
        pd.Flags = PD_PRINTSETUP;
        return PrintDlgA(&pd);
    });
    unsigned long message = 0;
    ASSERT_TRUE(WaitUntil([&] { return (message = m_screen.FindWindow("Print Setup")) != 0; }));
    ASSERT_TRUE(m_screen.ReadyForKeys(message));
    m_screen.Key(XK_Return);
    ASSERT_EQ(printed.wait_for(std::chrono::seconds(20)), std::future_status::ready);
    EXPECT_FALSE(printed.get());
}

TEST_F(DisplayHostTest, WebAddressesOpenOnTheDesktopFilesStayWithTheShellAndCopiedTextIsOffered) {
    // A desktop whose opener notes what it was given.
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "tdl-host-opener";
    std::filesystem::create_directories(folder);
    const std::filesystem::path noted = folder / "opened.txt";
    {
        std::ofstream opener(folder / "xdg-open");
        opener << "#!/bin/sh\necho \"$1\" >> '" << noted.string() << "'\n";
    }
    std::filesystem::permissions(folder / "xdg-open", std::filesystem::perms::owner_all);
    const std::string path = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (folder.string() + ":" + path).c_str(), 1);
    const INT_PTR web = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", "https://example.invalid/update", nullptr, nullptr, SW_SHOWNORMAL));
    const INT_PTR missing = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", "/no/such/readme.txt", nullptr, nullptr, SW_SHOWNORMAL));
    setenv("PATH", path.c_str(), 1);
    EXPECT_GT(web, 32);
    EXPECT_LE(missing, 32);
    std::string line;
    EXPECT_TRUE(WaitUntil([&] {
        std::ifstream in(noted);
        return std::getline(in, line) && !line.empty();
    }));
    EXPECT_EQ(line, "https://example.invalid/update");
    // What the program copies is offered on the desktop's clipboard.
    win32::SetClipboardText("Copied record");
    EXPECT_TRUE(WaitUntil([&] { return m_screen.ClipboardOffered(); }));
    win32::SetClipboardText("");

    // A desktop with no opener at all: the shell's answer for what nothing opens, not a success.
    const std::filesystem::path empty = folder / "empty";
    std::filesystem::create_directories(empty);
    setenv("PATH", empty.c_str(), 1);
    SetLastError(ERROR_SUCCESS);
    const INT_PTR unopened = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", "https://example.invalid/update", nullptr, nullptr, SW_SHOWNORMAL));
    const DWORD error = GetLastError();
    setenv("PATH", path.c_str(), 1);
    EXPECT_EQ(unopened, SE_ERR_NOASSOC);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_NO_ASSOCIATION));
    ASSERT_FALSE(win32::ShellExecutions().empty());
    EXPECT_FALSE(win32::ShellExecutions().back().result);

    // Without a display the address is only recorded: the opener is not started.
    display::DetachDisplayHost();
    setenv("PATH", (folder.string() + ":" + path).c_str(), 1);
    const INT_PTR recorded = reinterpret_cast<INT_PTR>(
        ShellExecuteA(nullptr, "open", "https://example.invalid/headless", nullptr, nullptr, SW_SHOWNORMAL));
    setenv("PATH", path.c_str(), 1);
    EXPECT_GT(recorded, 32);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    std::ifstream in(noted);
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(all.find("headless"), std::string::npos) << all;
    win32::ResetShell();
    std::filesystem::remove_all(folder);
}

// The observer hears the person's input over the windows as the host passed it on: the pointer at its place on
// the screen, buttons and keys; once taken away it hears nothing more.
TEST_F(DisplayHostTest, TheInputObserverHearsThePointerButtonsAndKeysTheWindowsGot) {
    MakeFrame("Host observer");
    std::mutex lock;
    std::vector<display::InputEvent> heard;
    display::SetInputObserver([&](const display::InputEvent& event) {
        std::lock_guard guard(lock);
        heard.push_back(event);
    });
    const auto hears = [&](auto match) {
        return WaitUntil([&] {
            std::lock_guard guard(lock);
            return std::any_of(heard.begin(), heard.end(), match);
        });
    };
    using Kind = display::InputEvent::Kind;
    ASSERT_TRUE(m_screen.ReadyForKeys(m_screen.FindWindow("Host observer")));
    const POINT at = OnRoot(m_frame, {300, 200}); // the frame's own background
    m_screen.MoveTo(at);
    EXPECT_TRUE(hears([&](const auto& e) { return e.kind == Kind::PointerMoved && e.x == at.x && e.y == at.y; }));
    m_screen.Click(at, 3);
    for (Kind kind : {Kind::ButtonDown, Kind::ButtonUp})
        EXPECT_TRUE(hears([&](const auto& e) { return e.kind == kind && e.button == 3 && e.x == at.x && e.y == at.y; }))
            << static_cast<int>(kind);
    m_screen.Key(XK_a);
    for (Kind kind : {Kind::KeyDown, Kind::KeyUp})
        EXPECT_TRUE(hears([&](const auto& e) { return e.kind == kind && e.virtualKey == 'A'; }))
            << static_cast<int>(kind);

    display::SetInputObserver({});
    const size_t count = [&] {
        std::lock_guard guard(lock);
        return heard.size();
    }();
    m_screen.MoveTo({at.x + 20, at.y + 10});
    m_screen.Click(OnRoot(m_frame, {320, 210}), 3);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    std::lock_guard guard(lock);
    EXPECT_EQ(heard.size(), count);
}

} // namespace
