// Painting windows into their images, and pictures of top-level windows.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <thread>

#include "Win32TestSupport.h"
#include "WinGdiControl.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::Filler;
using tdl::test::TestWindow;
using tdl::test::UiTest;

class PaintTest : public UiTest {};

constexpr COLORREF kRed = RGB(255, 0, 0);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr COLORREF kBlue = RGB(0, 0, 255);
constexpr COLORREF kYellow = RGB(255, 255, 0);

TEST_F(PaintTest, APictureHasChildrenOverTheirParentHiddenOnesAbsentAndOverhangingOnesClipped) {
    TestWindow top(WS_POPUP | WS_VISIBLE, nullptr, RECT{200, 200, 300, 300}, Filler(kRed));
    TestWindow over(WS_CHILD | WS_VISIBLE, top, RECT{10, 10, 40, 40}, Filler(kGreen));
    TestWindow hidden(WS_CHILD, top, RECT{50, 50, 80, 80}, Filler(kBlue));
    TestWindow box(WS_CHILD | WS_VISIBLE, top, RECT{0, 60, 60, 100}, Filler(kBlue));
    TestWindow overhanging(WS_CHILD | WS_VISIBLE, box, RECT{50, 10, 90, 30}, Filler(kYellow));
    struct Probe {
        int x, y;
        COLORREF color;
    };
    const Probe probes[] = {
        {5, 5, kRed},   {20, 20, kGreen},        {60, 60, kRed}, // the hidden child is not there
        {5, 65, kBlue}, {55, 75, kYellow},       {65, 75, kRed}, // the overhanging part is cut at its parent's edge
        {99, 99, kRed}, {100, 100, CLR_INVALID},
    };
    for (const Probe& p : probes)
        EXPECT_EQ(win32::PicturePixel(top, p.x, p.y), p.color) << p.x << "," << p.y;
    EXPECT_EQ(win32::ClientPixel(overhanging, 2, 2), kYellow);
    ShowWindow(hidden, SW_SHOW);
    EXPECT_EQ(win32::PicturePixel(top, 60, 60), kBlue);

    win32::test::TempFolder folder;
    std::string path = folder.HostPath("picture.png");
    ASSERT_TRUE(win32::SavePicturePng(top, path.c_str()));
    EXPECT_GT(std::filesystem::file_size(path), 0u);
    ASSERT_TRUE(win32::SaveWindowPng(over, folder.HostPath("child.png").c_str()));
}

TEST_F(PaintTest, PaintComesOnlyForWhatIsInvalidAndVisibleAndAResizeRepaintsWhole) {
    int paints = 0;
    TestWindow w(WS_POPUP, nullptr, RECT{0, 0, 50, 50}, Filler(kGreen, &paints));
    win32::PumpUiMessages();
    EXPECT_EQ(paints, 0); // hidden
    ShowWindow(w, SW_SHOWNA);
    win32::PumpUiMessages();
    EXPECT_EQ(paints, 1);
    win32::PumpUiMessages();
    EXPECT_EQ(paints, 1); // validated

    RECT part{5, 5, 10, 10};
    InvalidateRect(w, &part, FALSE);
    RECT update;
    ASSERT_TRUE(GetUpdateRect(w, &update, FALSE));
    EXPECT_TRUE(EqualRect(&update, &part));
    UpdateWindow(w); // at once, without the queue
    EXPECT_EQ(paints, 2);

    SendMessageA(w, WM_SETREDRAW, FALSE, 0);
    InvalidateRect(w, nullptr, TRUE);
    win32::PumpUiMessages();
    EXPECT_EQ(paints, 2);
    SendMessageA(w, WM_SETREDRAW, TRUE, 0);

    MoveWindow(w, 0, 0, 80, 60, TRUE);
    EXPECT_EQ(win32::PicturePixel(w, 79, 59), kGreen); // the new image is painted whole
    EXPECT_EQ(paints, 3);
}

TEST_F(PaintTest, TheDefaultBackgroundIsTheClassBrushAndTheFrameIsDrawn) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "PaintTestBackground";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_3DFACE + 1));
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(WS_EX_CLIENTEDGE, "PaintTestBackground", "Caption", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0,
                                0, 200, 150, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(hwnd);
    EXPECT_EQ(win32::ClientPixel(hwnd, 10, 10), GetSysColor(COLOR_3DFACE));
    // The caption of the active window, below the 4-pixel frame: the active colour at its left end, shading
    // into the gradient colour at its right end (under the buttons' two-pixel margin).
    EXPECT_EQ(win32::PicturePixel(hwnd, 4, 4 + 1), GetSysColor(COLOR_ACTIVECAPTION));
    EXPECT_EQ(win32::PicturePixel(hwnd, 200 - 4 - 1, 4 + 1), GetSysColor(COLOR_GRADIENTACTIVECAPTION));
    // The sunken client edge: its outer line is the shadow colour.
    POINT corner{0, 0};
    ClientToScreen(hwnd, &corner);
    RECT window;
    GetWindowRect(hwnd, &window);
    EXPECT_EQ(win32::PicturePixel(hwnd, corner.x - window.left + 20, corner.y - window.top - 2),
              GetSysColor(COLOR_3DSHADOW));
    DestroyWindow(hwnd);
    UnregisterClassA("PaintTestBackground", nullptr);
}

TEST_F(PaintTest, AWindowPaintingThroughAMemoryDc) {
    TestWindow w(WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 60, 40},
                 [](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
                     if (message != WM_PAINT)
                         return std::nullopt;
                     PAINTSTRUCT ps;
                     HDC dc = BeginPaint(hwnd, &ps);
                     HDC memory = CreateCompatibleDC(dc);
                     HBITMAP bitmap = CreateCompatibleBitmap(dc, 60, 40);
                     HGDIOBJ old = SelectObject(memory, bitmap);
                     RECT all{0, 0, 60, 40};
                     HBRUSH blue = CreateSolidBrush(kBlue);
                     FillRect(memory, &all, blue);
                     DeleteObject(blue);
                     BitBlt(dc, 0, 0, 60, 40, memory, 0, 0, SRCCOPY);
                     SelectObject(memory, old);
                     DeleteObject(bitmap);
                     DeleteDC(memory);
                     EndPaint(hwnd, &ps);
                     return 0;
                 });
    EXPECT_EQ(win32::ClientPixel(w, 30, 20), kBlue);
    win32::test::TempFolder folder;
    EXPECT_TRUE(win32::SaveWindowPng(w, folder.HostPath("memory.png").c_str()));
    EXPECT_FALSE(win32::SaveWindowPng(w, "/nonexistent-folder/x.png"));
}

TEST_F(PaintTest, ADisplayHostSeesTopLevelWindowsChange) {
    struct Observer : win32::WindowObserver {
        void Shown(HWND, bool visible) override { events.push_back(visible ? "shown" : "hidden"); }
        void Moved(HWND, const RECT& r) override { events.push_back("moved " + std::to_string(r.left)); }
        void Retitled(HWND, const std::string& title) override { events.push_back("title " + title); }
        void PictureChanged(HWND, const RECT& changed) override {
            ++pictures;
            changes.push_back(changed);
        }
        void Destroyed(HWND) override { events.push_back("destroyed"); }
        std::vector<std::string> events;
        int pictures = 0;
        std::vector<RECT> changes;
    } observer;
    win32::AddWindowObserver(&observer);
    RECT wholeFrame{}, wholeChild{};
    {
        TestWindow w(WS_OVERLAPPEDWINDOW, nullptr, RECT{10, 10, 110, 110}, Filler(kRed));
        TestWindow child(WS_CHILD | WS_VISIBLE, w, RECT{0, 0, 10, 10}, Filler(kGreen));
        ShowWindow(w, SW_SHOW);
        win32::PumpUiMessages();
        GetWindowRect(w, &wholeFrame);
        GetWindowRect(child, &wholeChild);
        OffsetRect(&wholeChild, -wholeFrame.left, -wholeFrame.top);
        OffsetRect(&wholeFrame, -wholeFrame.left, -wholeFrame.top);
        MoveWindow(w, 20, 10, 100, 100, TRUE);
        SetWindowTextA(w, "New");
        MoveWindow(child, 5, 5, 10, 10, TRUE); // a child's moves are not the host's business
    }
    win32::RemoveWindowObserver(&observer);
    EXPECT_EQ(observer.events, (std::vector<std::string>{"shown", "moved 20", "title New", "hidden", "destroyed"}));
    EXPECT_GE(observer.pictures, 2); // the window and its child painted
    // Each change names the painted window's rectangle within its top-level window: the window whole, and the
    // child's square in the client area.
    const auto has = [&](const RECT& expected) {
        return std::any_of(observer.changes.begin(), observer.changes.end(),
                           [&](const RECT& r) { return EqualRect(&r, &expected); });
    };
    EXPECT_TRUE(has(wholeFrame));
    EXPECT_TRUE(has(wholeChild));
    EXPECT_EQ(wholeChild.right - wholeChild.left, 10);
}

} // namespace

namespace {

TEST_F(PaintTest, ScrollingMovesTheImageAndInvalidatesWhatItUncovers) {
    bool split = true;
    TestWindow w(WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 40, 20},
                 [&](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
                     if (message != WM_PAINT)
                         return std::nullopt;
                     PAINTSTRUCT ps;
                     HDC dc = BeginPaint(hwnd, &ps);
                     RECT left{0, 0, 20, 20}, right{20, 0, 40, 20};
                     HBRUSH red = CreateSolidBrush(kRed), green = CreateSolidBrush(kGreen);
                     if (split) {
                         FillRect(dc, &left, red);
                         FillRect(dc, &right, green);
                     } else {
                         FillRect(dc, &ps.rcPaint, red);
                     }
                     DeleteObject(red);
                     DeleteObject(green);
                     EndPaint(hwnd, &ps);
                     return 0;
                 });
    EXPECT_EQ(win32::ClientPixel(w, 25, 5), kGreen);
    split = false;
    RECT uncovered;
    EXPECT_EQ(ScrollWindowEx(w, -10, 0, nullptr, nullptr, nullptr, &uncovered, SW_INVALIDATE), SIMPLEREGION);
    EXPECT_EQ(uncovered.left, 30);
    EXPECT_EQ(uncovered.right, 40);
    RECT update;
    ASSERT_TRUE(GetUpdateRect(w, &update, FALSE));
    EXPECT_TRUE(EqualRect(&update, &uncovered));
    EXPECT_EQ(win32::ClientPixel(w, 15, 5), kGreen); // moved left
    EXPECT_EQ(win32::ClientPixel(w, 35, 5), kRed);   // painted again
    EXPECT_EQ(win32::ClientPixel(w, 5, 5), kRed);
}

} // namespace

namespace {

struct GuiThread {
    COLORREF color;
    std::atomic<HWND> hwnd{nullptr};
    DWORD id = 0;
    HANDLE handle = nullptr;

    static DWORD WINAPI Run(LPVOID self) {
        auto* gui = static_cast<GuiThread*>(self);
        TestWindow w(WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 30, 30}, Filler(gui->color));
        gui->hwnd = w.hwnd();
        MSG msg;
        while (GetMessageA(&msg, nullptr, 0, 0) > 0)
            DispatchMessageA(&msg);
        return 0;
    }
};

TEST_F(PaintTest, WindowsOfOtherThreadsPaintOnTheirOwnThreadsWhenAPictureIsTaken) {
    GuiThread guis[2] = {{kBlue}, {kYellow}};
    for (GuiThread& gui : guis)
        gui.handle = CreateThread(nullptr, 0, GuiThread::Run, &gui, 0, &gui.id);
    for (GuiThread& gui : guis)
        while (!gui.hwnd)
            std::this_thread::yield();
    for (int round = 0; round < 3; ++round) {
        for (GuiThread& gui : guis) {
            InvalidateRect(gui.hwnd, nullptr, TRUE);
            EXPECT_EQ(win32::PicturePixel(gui.hwnd, 10, 10), gui.color);
        }
    }
    for (GuiThread& gui : guis) {
        PostThreadMessageA(gui.id, WM_QUIT, 0, 0);
        WaitForSingleObject(gui.handle, INFINITE);
        CloseHandle(gui.handle);
        EXPECT_FALSE(IsWindow(gui.hwnd));
    }
}

} // namespace

namespace {

TEST_F(PaintTest, TheMenuBarShowsItsItemsAndGoesWithItsWindow) {
    HMENU menu = CreateMenu();
    AppendMenuA(menu, MF_STRING, 1, "&File");
    AppendMenuA(menu, MF_STRING | MF_GRAYED, 2, "&View");
    TestWindow w(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 300, 200}, Filler(kGreen));
    ASSERT_TRUE(SetMenu(w, menu));
    EXPECT_EQ(GetMenu(w), menu);
    RECT client;
    GetClientRect(w, &client);
    EXPECT_EQ(client.bottom, 200 - 8 - GetSystemMetrics(SM_CYCAPTION) - GetSystemMetrics(SM_CYMENU));
    const int barTop = 4 + GetSystemMetrics(SM_CYCAPTION);
    EXPECT_EQ(win32::PicturePixel(w, 280, barTop + 2), GetSysColor(COLOR_MENU));
    int inked = 0; // along the middle of the bar, through the first item's text
    for (int x = 4; x < 40; ++x)
        inked += win32::PicturePixel(w, x, barTop + GetSystemMetrics(SM_CYMENU) / 2) != GetSysColor(COLOR_MENU);
    EXPECT_GT(inked, 3);
    DestroyWindow(w);
    EXPECT_FALSE(IsMenu(menu));
}

} // namespace
