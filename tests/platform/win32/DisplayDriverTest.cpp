// The display-driver interface: pictures read without paint, input from a thread that owns no window, the
// modal loop a driver runs requests in, and what a driver hears of cursor, clipboard and shell.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

#include "WinClipboard.h"
#include "WinDisplayDriver.h"
#include "WinFileDialogControl.h"
#include "WinMenus.h"
#include "WinPopupMenu.h"
#include "commdlg.h"
#include "shellapi.h"
#include "tests/support/Pictures.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::Filler;
using tdl::test::TestWindow;
using tdl::test::UiTest;

class DisplayDriverTest : public UiTest {
protected:
    void TearDown() override {
        win32::SetDisplayDriver(nullptr);
        UiTest::TearDown();
    }
};

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);

// Runs `calls` on a thread that owns no window while the calling thread, which owns the windows, is busy (it
// neither pumps nor waits for messages). True when they all returned without it.
bool RunFromAWindowlessThread(std::function<void()> calls) {
    auto done = std::async(std::launch::async, std::move(calls));
    const bool returned = done.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
    while (done.wait_for(std::chrono::milliseconds(1)) != std::future_status::ready)
        win32::PumpUiMessages(); // let a call that did wait finish, so the test can end
    return returned;
}

TEST_F(DisplayDriverTest, APictureCopyTakesTheImagesAsTheyStandWithoutAskingForPaint) {
    TestWindow top(WS_POPUP | WS_VISIBLE, nullptr, RECT{200, 200, 240, 230}, Filler(kRed));
    TestWindow child(WS_CHILD | WS_VISIBLE, top, RECT{10, 10, 20, 20}, Filler(kGreen));
    // The buffer reaches two pixels past the window on every side; those stay as they were.
    constexpr int kWidth = 44, kHeight = 34;
    const RECT area{-2, -2, 42, 32};
    std::vector<uint32_t> pixels(kWidth * kHeight, 0xDEADBEEF);
    auto at = [&](int x, int y) { return pixels[static_cast<size_t>((y + 2) * kWidth + x + 2)]; };

    ASSERT_TRUE(win32::CopyPicture(top, area, pixels.data(), kWidth * 4));
    EXPECT_EQ(at(5, 5), 0x00FFFFFFu) << "nothing was painted yet";
    win32::PumpUiMessages();
    ASSERT_TRUE(win32::CopyPicture(top, area, pixels.data(), kWidth * 4));
    EXPECT_EQ(at(5, 5), 0x00FF0000u);
    EXPECT_EQ(at(15, 15), 0x0000FF00u);
    EXPECT_EQ(at(39, 29), 0x00FF0000u);
    EXPECT_EQ(at(-1, -1), 0xDEADBEEFu);
    EXPECT_EQ(at(40, 30), 0xDEADBEEFu);

    EXPECT_FALSE(win32::CopyPicture(child, area, pixels.data(), kWidth * 4)) << "a child is no top-level window";
    HWND gone = top.hwnd();
    DestroyWindow(top);
    EXPECT_FALSE(win32::CopyPicture(gone, area, pixels.data(), kWidth * 4));
}

// Siblings overlapping in z-order, children reaching past their parents' client areas and grandchildren: the
// copy shows each pixel as the composed picture does.
TEST_F(DisplayDriverTest, APictureCopyShowsOverlappingAndNestedWindowsAsTheComposedPictureDoes) {
    TestWindow top(WS_POPUP | WS_VISIBLE, nullptr, RECT{300, 200, 420, 300}, Filler(RGB(255, 0, 0)));
    TestWindow under(WS_CHILD | WS_VISIBLE, top, RECT{10, 10, 70, 60}, Filler(RGB(0, 255, 0)));
    TestWindow over(WS_CHILD | WS_VISIBLE, top, RECT{40, 30, 130, 80}, Filler(RGB(0, 0, 255)));
    TestWindow inner(WS_CHILD | WS_VISIBLE, over, RECT{-5, 10, 30, 70}, Filler(RGB(255, 255, 0)));
    TestWindow deepest(WS_CHILD | WS_VISIBLE, inner, RECT{5, 5, 15, 15}, Filler(RGB(0, 255, 255)));
    TestWindow hidden(WS_CHILD, top, RECT{0, 0, 120, 100}, Filler(RGB(255, 0, 255)));
    SetWindowPos(over, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    win32::PumpUiMessages();
    constexpr int kWidth = 120, kHeight = 100;
    std::vector<uint32_t> pixels(kWidth * kHeight, 0xDEADBEEF);
    ASSERT_TRUE(win32::CopyPicture(top, RECT{0, 0, kWidth, kHeight}, pixels.data(), kWidth * 4));
    const tdl::test::Picture composed(top, "picture_copy_nested_windows.png"); // a pop-up: client is window
    ASSERT_TRUE(composed.IsValid());
    int differing = 0;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            const COLORREF colour = composed.Client(x, y);
            const uint32_t expected = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
            differing += pixels[static_cast<size_t>(y) * kWidth + x] != expected;
        }
    }
    EXPECT_EQ(differing, 0);
    // Each window shows somewhere.
    for (COLORREF colour : {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 0), RGB(0, 255, 255)}) {
        const uint32_t pixel = (GetRValue(colour) << 16) | (GetGValue(colour) << 8) | GetBValue(colour);
        EXPECT_NE(std::find(pixels.begin(), pixels.end(), pixel), pixels.end()) << std::hex << pixel;
    }
}

TEST_F(DisplayDriverTest, InputFromAWindowlessThreadIsQueuedAndHitTestedOnTheWindowsThreadInOrder) {
    const DWORD guiThread = GetCurrentThreadId();
    std::vector<DWORD> hitTestThreads;
    TestWindow window(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{100, 100, 400, 300},
                      [&](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
                          if (message == WM_NCHITTEST)
                              hitTestThreads.push_back(GetCurrentThreadId());
                          if (message == WM_LBUTTONDOWN)
                              SetCapture(hwnd); // the move after it must find the capture
                          if (message == WM_LBUTTONUP)
                              ReleaseCapture();
                          return std::nullopt;
                      });
    TestWindow other(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{500, 100, 700, 300});
    ASSERT_EQ(GetActiveWindow(), other.hwnd());
    window.Take();
    const HWND hwnd = window.hwnd();

    ASSERT_TRUE(RunFromAWindowlessThread([hwnd] {
        win32::ActivateTopLevel(hwnd);
        win32::MouseDown(hwnd, {10, 10});
        win32::MouseMove(hwnd, {-50, 500}); // far outside: only the capture brings it here
        win32::MouseUp(hwnd, {-50, 500});
        win32::PressKey(hwnd, 'A');
        win32::EnterCharacter(hwnd, 0xE9); // e acute: no key of a US keyboard makes it
        win32::RequestWindowRect(hwnd, RECT{120, 110, 520, 410});
    })) << "an entry waited for the busy window thread";
    EXPECT_TRUE(hitTestThreads.empty()) << "hit-tested before the window's thread took the input";

    win32::PumpUiMessages();
    EXPECT_EQ(GetActiveWindow(), hwnd);
    ASSERT_FALSE(hitTestThreads.empty());
    EXPECT_EQ(hitTestThreads.front(), guiThread);
    std::vector<MSG> got = window.Take({WM_LBUTTONDOWN, WM_MOUSEMOVE, WM_LBUTTONUP, WM_KEYDOWN, WM_CHAR});
    ASSERT_EQ(got.size(), 6u);
    EXPECT_EQ(got[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(got[0].lParam, MAKELPARAM(10, 10));
    EXPECT_EQ(got[1].message, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_EQ(got[1].lParam, MAKELPARAM(-50, 500));
    EXPECT_EQ(got[2].message, static_cast<UINT>(WM_LBUTTONUP));
    EXPECT_EQ(got[3].message, static_cast<UINT>(WM_KEYDOWN));
    EXPECT_EQ(got[4].message, static_cast<UINT>(WM_CHAR));
    EXPECT_EQ(got[4].wParam, static_cast<WPARAM>('a'));
    EXPECT_EQ(got[5].wParam, static_cast<WPARAM>(0xE9));
    RECT rect;
    GetWindowRect(hwnd, &rect);
    EXPECT_EQ(rect.left, 120);
    EXPECT_EQ(rect.bottom, 410);
}

// A pop-up gone before the press the desktop gave it arrives (a menu closed while it held the pointer): the
// press and its release reach the window under their point.
TEST_F(DisplayDriverTest, APressForAWindowThatWentMeanwhileReachesTheWindowUnderIt) {
    TestWindow under(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{100, 100, 500, 400});
    HWND popup = CreateWindowExA(WS_EX_TOPMOST, "TdlTestWindow", "", WS_POPUP | WS_VISIBLE, 200, 200, 100, 80, under,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(popup, nullptr);
    win32::PumpUiMessages();
    under.Take();
    ASSERT_TRUE(RunFromAWindowlessThread([popup] {
        win32::MouseDown(popup, {30, 20});
        win32::MouseUp(popup, {30, 20});
    }));
    DestroyWindow(popup);
    win32::PumpUiMessages();
    const std::vector<MSG> got = under.Take({WM_LBUTTONDOWN, WM_LBUTTONUP});
    ASSERT_EQ(got.size(), 2u);
    POINT at{GET_X_LPARAM(got[0].lParam), GET_Y_LPARAM(got[0].lParam)};
    ClientToScreen(under, &at);
    EXPECT_EQ(at.x, 230);
    EXPECT_EQ(at.y, 220);
    EXPECT_EQ(got[1].message, static_cast<UINT>(WM_LBUTTONUP));
}

TEST_F(DisplayDriverTest, ADisabledWindowIsNotActivatedFromTheDesktop) {
    TestWindow owner(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{100, 100, 400, 300});
    TestWindow other(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{500, 100, 700, 300});
    EnableWindow(owner, FALSE);
    win32::ActivateTopLevel(owner);
    EXPECT_EQ(GetActiveWindow(), other.hwnd());
}

// A driver that answers modal requests with `answer`, run on the requesting thread.
struct ModalDriver : win32::DisplayDriver {
    std::function<INT_PTR(const win32::ModalRequest&, HWND, win32::ModalLoop&)> answer;
    bool AnswersModalRequests() const override { return true; }
    INT_PTR Run(const win32::ModalRequest& request, HWND window, win32::ModalLoop& loop) override {
        return answer(request, window, loop);
    }
};

TEST_F(DisplayDriverTest, BoxesAndMenusRunInTheDriversLoopUntilTheirOwnInputEndsThem) {
    ModalDriver driver;
    std::thread person;
    // The person answers from the desktop's thread, which owns no window.
    driver.answer = [&](const win32::ModalRequest& request, HWND window, win32::ModalLoop& loop) {
        EXPECT_NE(window, nullptr);
        if (request.kind == win32::ModalKind::MessageBox) {
            HWND no = GetDlgItem(window, IDNO);
            person = std::thread([no] { win32::Click(no, {3, 3}); });
        } else {
            person = std::thread([] {
                win32::PressKey(nullptr, VK_DOWN); // onto the first item
                win32::PressKey(nullptr, VK_DOWN);
                win32::PressKey(nullptr, VK_RETURN);
            });
        }
        return loop.Run();
    };
    win32::SetDisplayDriver(&driver);

    EXPECT_EQ(MessageBoxA(nullptr, "Keep it?", "Question", MB_YESNO), IDNO);
    person.join();

    TestWindow owner(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{100, 100, 400, 300});
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, 101, "First");
    AppendMenuA(menu, MF_STRING, 102, "Second");
    EXPECT_EQ(TrackPopupMenuEx(menu, TPM_RETURNCMD, 150, 150, owner, nullptr), 102);
    person.join();
    DestroyMenu(menu);
    EXPECT_EQ(win32::ModalRequests().size(), 2u);
}

TEST_F(DisplayDriverTest, AFileRequestWithoutAWindowGetsItsDetailsAndKeepsItsThreadPumping) {
    win32::FileDialogRequest asked;
    bool handledMeanwhile = false;
    ModalDriver driver; // outlives the windows, which it hears of to their end
    TestWindow owner(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{100, 100, 400, 300},
                     [&](HWND, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
                         if (message == WM_APP)
                             handledMeanwhile = true;
                         return std::nullopt;
                     });
    std::thread chooser;
    driver.answer = [&](const win32::ModalRequest& request, HWND window, win32::ModalLoop& loop) -> INT_PTR {
        EXPECT_EQ(window, nullptr);
        if (const win32::FileDialogRequest* file = win32::CurrentFileDialogRequest())
            asked = *file;
        // The chooser's answer comes from another thread, after a message its owner must handle meanwhile.
        const HWND target = owner.hwnd();
        chooser = std::thread([target, &loop] {
            SendMessageA(target, WM_APP, 0, 0);
            loop.End(IDOK);
        });
        const INT_PTR answer = loop.Run();
        chooser.join();
        win32::ChooseFileName("/tmp/chosen");
        return answer;
    };
    win32::SetDisplayDriver(&driver);

    char name[MAX_PATH] = "capture";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFile = name;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrFilter = "Captures (*.zlg)\0*.zlg\0";
    ofn.lpstrDefExt = "zlg";
    ASSERT_TRUE(GetSaveFileNameA(&ofn));
    EXPECT_STREQ(name, "/tmp/chosen.zlg");
    EXPECT_TRUE(handledMeanwhile);
    EXPECT_TRUE(asked.save);
    EXPECT_EQ(asked.initialName, "capture");
    EXPECT_EQ(asked.defaultExtension, "zlg");
    EXPECT_EQ(asked.filter, "Captures (*.zlg)|*.zlg");
    EXPECT_EQ(win32::CurrentFileDialogRequest(), nullptr);
}

TEST_F(DisplayDriverTest, AQuitMessageEndsTheLoopWithTheDefaultAnswerAndStaysQueued) {
    ModalDriver driver;
    driver.answer = [](const win32::ModalRequest&, HWND, win32::ModalLoop& loop) {
        PostQuitMessage(3);
        return loop.Run();
    };
    win32::SetDisplayDriver(&driver);
    EXPECT_EQ(MessageBoxA(nullptr, "Go on?", "Question", MB_YESNO | MB_DEFBUTTON2), IDNO);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(DisplayDriverTest, TheDriverHearsCursorAndClipboardChangesAndMayTakeAnExecution) {
    struct Driver : win32::DisplayDriver {
        void CursorChanged(const std::string& name) override { heard.push_back("cursor " + name); }
        void ClipboardChanged(const std::string& text) override { heard.push_back("clipboard " + text); }
        win32::DesktopExecution Execute(const win32::ShellExecution& execution) override {
            heard.push_back("open " + execution.file);
            if (execution.file.rfind("https:", 0) == 0)
                return win32::DesktopExecution::Started;
            return execution.file.rfind("mailto:", 0) == 0 ? win32::DesktopExecution::NoHandler
                                                           : win32::DesktopExecution::LeftToShell;
        }
        std::vector<std::string> heard;
    } driver;
    SetCursor(nullptr);
    win32::SetDisplayDriver(&driver);
    SetCursor(LoadCursorA(nullptr, IDC_IBEAM));
    SetCursor(LoadCursorA(nullptr, IDC_IBEAM)); // no change, nothing to hear
    SetCursor(nullptr);
    ASSERT_TRUE(OpenClipboard(nullptr));
    CloseClipboard(); // opened and closed, nothing changed
    ASSERT_TRUE(OpenClipboard(nullptr));
    EmptyClipboard();
    HGLOBAL text = GlobalAlloc(GMEM_MOVEABLE, 4);
    memcpy(GlobalLock(text), "abc", 4);
    GlobalUnlock(text);
    SetClipboardData(CF_TEXT, text);
    CloseClipboard();
    win32::SetClipboardText("xyz");
    EXPECT_EQ(reinterpret_cast<INT_PTR>(
                  ShellExecuteA(nullptr, "open", "https://example.invalid/", nullptr, nullptr, SW_SHOWNORMAL)),
              42);
    EXPECT_LE(
        reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", "/no/such/file.txt", nullptr, nullptr, SW_SHOWNORMAL)),
        32);
    // The driver's own, with nothing to start it: the shell's answer for what no program opens.
    SetLastError(ERROR_SUCCESS);
    EXPECT_EQ(reinterpret_cast<INT_PTR>(
                  ShellExecuteA(nullptr, "open", "mailto:someone@example.invalid", nullptr, nullptr, SW_SHOWNORMAL)),
              SE_ERR_NOASSOC);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NO_ASSOCIATION));
    win32::SetDisplayDriver(nullptr);
    EXPECT_EQ(driver.heard, (std::vector<std::string>{"cursor ibeam", "cursor ", "clipboard abc", "clipboard xyz",
                                                      "open https://example.invalid/", "open /no/such/file.txt",
                                                      "open mailto:someone@example.invalid"}));
    auto executions = win32::ShellExecutions();
    ASSERT_GE(executions.size(), 3u);
    EXPECT_TRUE(executions[executions.size() - 3].result);
    EXPECT_FALSE(executions[executions.size() - 2].result);
    EXPECT_FALSE(executions.back().result);
    win32::ResetShell();
    win32::SetClipboardText("");
}

TEST_F(DisplayDriverTest, ADescriptionShowsAFramedWindowsClientAreaWithItsMenuBarAndAPopUpWhole) {
    TestWindow framed(WS_OVERLAPPEDWINDOW, nullptr, RECT{10, 20, 310, 220}, {}, 0, false, "Framed");
    HMENU bar = CreateMenu();
    AppendMenuA(bar, MF_STRING, 1, "&File");
    SetMenu(framed, bar);
    TestWindow popup(WS_POPUP | WS_BORDER, framed, RECT{50, 60, 250, 210});
    TestWindow child(WS_CHILD, framed, RECT{0, 0, 10, 10});

    win32::TopLevelDescription d;
    ASSERT_TRUE(win32::DescribeTopLevel(framed, d));
    EXPECT_TRUE(d.framed);
    EXPECT_EQ(d.title, "Framed");
    RECT client;
    GetClientRect(framed, &client);
    POINT origin{0, 0};
    ClientToScreen(framed, &origin);
    EXPECT_EQ(d.shown.bottom - d.shown.top, client.bottom + GetSystemMetrics(SM_CYMENU));
    EXPECT_EQ(d.shown.bottom, origin.y - 20 + client.bottom);
    EXPECT_EQ(d.shown.left, origin.x - 10);

    ASSERT_TRUE(win32::DescribeTopLevel(popup, d));
    EXPECT_FALSE(d.framed);
    EXPECT_EQ(d.owner, framed.hwnd());
    EXPECT_EQ(d.shown.right, 200);
    EXPECT_EQ(d.shown.bottom, 150);
    EXPECT_FALSE(win32::DescribeTopLevel(child, d));
}

} // namespace
