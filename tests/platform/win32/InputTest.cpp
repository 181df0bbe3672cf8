// Mouse and keyboard input into the queues: where it goes and what it says.
#include <gtest/gtest.h>

#include "tests/support/UiFixture.h"

namespace {

using tdl::test::TestWindow;
using tdl::test::UiTest;

class InputTest : public UiTest {
protected:
    static std::optional<LRESULT> Default(HWND, UINT, WPARAM, LPARAM) { return std::nullopt; }
};

struct Hit {
    POINT at;       // in the parent's client area
    int window;     // 0 parent, 1 a, 2 b
    POINT expected; // in that window's client area
};

TEST_F(InputTest, TheMouseReachesTheTopmostVisibleEnabledWindowUnderIt) {
    TestWindow parent(WS_POPUP | WS_VISIBLE, nullptr, RECT{100, 100, 300, 300});
    TestWindow a(WS_CHILD | WS_VISIBLE, parent, RECT{10, 10, 110, 110});
    TestWindow b(WS_CHILD | WS_VISIBLE | WS_BORDER, parent, RECT{50, 50, 150, 150}); // below a: created later
    TestWindow hidden(WS_CHILD, parent, RECT{0, 0, 30, 30});
    TestWindow disabled(WS_CHILD | WS_VISIBLE | WS_DISABLED, parent, RECT{160, 160, 190, 190});
    TestWindow* windows[] = {&parent, &a, &b};
    const Hit hits[] = {
        {{60, 60}, 1, {50, 50}},     // a overlaps b and is above it
        {{120, 120}, 2, {69, 69}},   // only b; its client area starts inside its 1-pixel border
        {{5, 5}, 0, {5, 5}},         // the hidden child is not there
        {{170, 170}, 0, {170, 170}}, // nor the disabled one
    };
    win32::PumpUiMessages();
    for (TestWindow* w : windows)
        w->Take();
    for (const Hit& hit : hits) {
        win32::Click(parent, hit.at);
        win32::PumpUiMessages();
        for (int i = 0; i < 3; ++i) {
            auto downs = windows[i]->Take({WM_LBUTTONDOWN});
            if (i != hit.window) {
                EXPECT_TRUE(downs.empty()) << "window " << i << " at " << hit.at.x << "," << hit.at.y;
                continue;
            }
            ASSERT_EQ(downs.size(), 1u) << hit.at.x << "," << hit.at.y;
            EXPECT_EQ(GET_X_LPARAM(downs[0].lParam), hit.expected.x);
            EXPECT_EQ(GET_Y_LPARAM(downs[0].lParam), hit.expected.y);
        }
    }
    SetWindowPos(b, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    win32::Click(parent, {60, 60});
    win32::PumpUiMessages();
    EXPECT_EQ(b.Take({WM_LBUTTONDOWN}).size(), 1u);
    EXPECT_TRUE(a.Take({WM_LBUTTONDOWN}).empty());
}

TEST_F(InputTest, DoubleClicksOnlyForClassesThatAskAndOnlyWhenSoonEnough) {
    TestWindow plain(WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 50, 50});
    TestWindow doubles(WS_POPUP | WS_VISIBLE, nullptr, RECT{100, 0, 150, 50}, {}, 0, true);
    win32::DoubleClick(plain, {5, 5});
    win32::DoubleClick(doubles, {5, 5});
    win32::PumpUiMessages();
    const std::vector<UINT> clicks{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK};
    EXPECT_EQ(plain.TakeIds(clicks), (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDOWN, WM_LBUTTONUP}));
    EXPECT_EQ(doubles.TakeIds(clicks),
              (std::vector<UINT>{WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}));
    win32::Click(doubles, {5, 5});
    win32::AdvanceUiClock(600); // too late for a double-click
    win32::Click(doubles, {5, 5});
    win32::PumpUiMessages();
    EXPECT_EQ(doubles.TakeIds({WM_LBUTTONDBLCLK}).size(), 0u);
}

TEST_F(InputTest, CaptureTakesEveryMouseMessage) {
    TestWindow parent(WS_POPUP | WS_VISIBLE, nullptr, RECT{0, 0, 200, 200});
    TestWindow a(WS_CHILD | WS_VISIBLE, parent, RECT{0, 0, 50, 50});
    TestWindow b(WS_CHILD | WS_VISIBLE, parent, RECT{100, 100, 150, 150});
    SetCapture(a);
    win32::MouseMove(parent, {120, 130});
    win32::Click(parent, {120, 130});
    win32::PumpUiMessages();
    EXPECT_TRUE(b.Take({WM_MOUSEMOVE, WM_LBUTTONDOWN}).empty());
    auto got = a.Take({WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP});
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(GET_X_LPARAM(got[1].lParam), 120); // outside a, in a's coordinates
    EXPECT_EQ(GET_Y_LPARAM(got[1].lParam), 130);
    EXPECT_EQ(GetCapture(), a.hwnd());
    ReleaseCapture();
    EXPECT_EQ(a.TakeIds({WM_CAPTURECHANGED}).size(), 1u);
    win32::Click(parent, {120, 130});
    win32::PumpUiMessages();
    EXPECT_EQ(b.Take({WM_LBUTTONDOWN}).size(), 1u);
}

TEST_F(InputTest, KeysReachTheFocusWindowAndKeyStateFollowsThem) {
    TestWindow top(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 200, 200});
    std::vector<SHORT> shiftDuringChar;
    TestWindow edit(WS_CHILD | WS_VISIBLE, top, RECT{0, 0, 100, 20}, [&](HWND, UINT message, WPARAM, LPARAM) {
        if (message == WM_CHAR)
            shiftDuringChar.push_back(GetKeyState(VK_SHIFT));
        return std::optional<LRESULT>();
    });
    SetFocus(edit);
    EXPECT_EQ(GetFocus(), edit.hwnd());
    EXPECT_EQ(top.TakeIds({WM_KILLFOCUS}).size(), 1u);
    win32::TypeText(top, "aB1!");
    win32::PumpUiMessages();
    std::string typed;
    for (const MSG& msg : edit.Take({WM_CHAR}))
        typed += static_cast<char>(msg.wParam);
    EXPECT_EQ(typed, "aB1!");
    ASSERT_EQ(shiftDuringChar.size(), 4u);
    EXPECT_FALSE(shiftDuringChar[0] & 0x8000);
    EXPECT_TRUE(shiftDuringChar[1] & 0x8000);
    EXPECT_TRUE(top.Take({WM_KEYDOWN, WM_CHAR}).empty());

    win32::KeyDown(top, VK_CONTROL);
    win32::PumpUiMessages();
    EXPECT_TRUE(GetKeyState(VK_CONTROL) & 0x8000);
    win32::KeyUp(top, VK_CONTROL);
    win32::PumpUiMessages();
    EXPECT_FALSE(GetKeyState(VK_CONTROL) & 0x8000);
    EnableWindow(edit, FALSE); // a disabled window loses the focus
    EXPECT_EQ(GetFocus(), nullptr);
}

TEST_F(InputTest, AKeyOrButtonWhosePressClosedTheWindowIsReleasedAllTheSame) {
    TestWindow top(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 200, 200});
    for (bool byMouse : {false, true}) {
        SCOPED_TRACE(byMouse ? "mouse" : "key");
        const UINT closing = byMouse ? WM_LBUTTONDOWN : WM_KEYDOWN;
        TestWindow editor(WS_CHILD | WS_VISIBLE, top, RECT{0, 0, 100, 20},
                          [&](HWND hwnd, UINT message, WPARAM, LPARAM) {
                              if (message == closing)
                                  DestroyWindow(hwnd);
                              return std::optional<LRESULT>();
                          });
        SetFocus(editor);
        if (byMouse)
            win32::Click(top, {10, 10});
        else
            win32::PressKey(top, VK_ESCAPE);
        win32::PumpUiMessages();
        EXPECT_FALSE(IsWindow(editor));
        EXPECT_FALSE(GetKeyState(byMouse ? VK_LBUTTON : VK_ESCAPE) & 0x8000);
    }
}

TEST_F(InputTest, ContextMenusOfChildrenGoToTheirParentNamingTheChild) {
    TestWindow top(WS_POPUP | WS_VISIBLE, nullptr, RECT{100, 100, 300, 300});
    TestWindow child(WS_CHILD | WS_VISIBLE, top, RECT{10, 10, 60, 60});
    win32::Click(top, {20, 30}, win32::MouseButton::Right);
    win32::PumpUiMessages();
    auto menus = top.Take({WM_CONTEXTMENU});
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].wParam, reinterpret_cast<WPARAM>(child.hwnd()));
    EXPECT_EQ(GET_X_LPARAM(menus[0].lParam), 120); // screen coordinates
    EXPECT_EQ(GET_Y_LPARAM(menus[0].lParam), 130);
    SetFocus(child);
    win32::ContextMenuKey(top);
    win32::PumpUiMessages();
    menus = top.Take({WM_CONTEXTMENU});
    ASSERT_EQ(menus.size(), 1u);
    EXPECT_EQ(menus[0].lParam, MAKELPARAM(-1, -1));
    EXPECT_EQ(menus[0].wParam, reinterpret_cast<WPARAM>(child.hwnd()));
}

TEST_F(InputTest, LeaveTrackingWheelAndCursors) {
    TestWindow top(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 300, 300});
    TestWindow a(WS_CHILD | WS_VISIBLE, top, RECT{0, 0, 50, 50});
    win32::MouseMove(a, {5, 5});
    TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, a, 0};
    EXPECT_TRUE(TrackMouseEvent(&track));
    win32::MouseMove(top, {100, 100});
    win32::MouseMove(top, {110, 100});
    win32::PumpUiMessages();
    EXPECT_EQ(a.TakeIds({WM_MOUSELEAVE}).size(), 1u); // once: the tracking ends with it
    EXPECT_EQ(win32::CurrentCursorName(), "arrow");   // the class cursor

    RECT frame;
    GetWindowRect(top, &frame);
    POINT border{frame.left + 1, frame.top + 100};
    ScreenToClient(top, &border);
    win32::MouseMove(top, border);
    EXPECT_EQ(win32::CurrentCursorName(), "sizewe");
    SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    EXPECT_EQ(win32::CurrentCursorName(), "wait");

    SetFocus(a);
    win32::MouseWheel(top, {100, 100}, -WHEEL_DELTA);
    win32::PumpUiMessages();
    EXPECT_EQ(a.TakeIds({WM_MOUSEWHEEL}).size(), 1u);
    auto wheels = top.Take({WM_MOUSEWHEEL}); // a left it to its parent
    ASSERT_EQ(wheels.size(), 1u);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(wheels[0].wParam), -WHEEL_DELTA);
}

TEST_F(InputTest, ClicksOnAScrollBarSendScrollRequests) {
    TestWindow w(WS_POPUP | WS_VISIBLE | WS_VSCROLL, nullptr, RECT{0, 0, 200, 200});
    SCROLLINFO info{sizeof(info), SIF_ALL, 0, 99, 10, 0, 0};
    SetScrollInfo(w, SB_VERT, &info, TRUE);
    RECT client;
    GetClientRect(w, &client);
    EXPECT_EQ(client.right, 200 - GetSystemMetrics(SM_CXVSCROLL));
    const POINT bar{client.right + 5, 0};
    const std::pair<POINT, WORD> clicks[] = {
        {{bar.x, 5}, SB_LINEUP}, {{bar.x, 195}, SB_LINEDOWN}, {{bar.x, 150}, SB_PAGEDOWN}};
    for (const auto& [at, code] : clicks) {
        win32::Click(w, at);
        win32::PumpUiMessages();
        auto scrolls = w.Take({WM_VSCROLL});
        ASSERT_EQ(scrolls.size(), 2u);
        EXPECT_EQ(LOWORD(scrolls[0].wParam), code);
        EXPECT_EQ(LOWORD(scrolls[1].wParam), SB_ENDSCROLL);
    }
    info.fMask = SIF_POS;
    info.nPos = 500;
    EXPECT_EQ(SetScrollInfo(w, SB_VERT, &info, TRUE), 90); // the last page
}

} // namespace

namespace {

TEST_F(InputTest, AcceleratorsTurnKeysIntoCommands) {
    TestWindow frame(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 100, 100});
    ACCEL entries[] = {{FVIRTKEY, VK_F5, 197}, {FVIRTKEY | FCONTROL, 'O', 57601}, {0, 'x', 300}};
    HACCEL table = CreateAcceleratorTableA(entries, 3);
    ASSERT_TRUE(table);
    auto pump = [&] {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            if (!TranslateAcceleratorA(frame, table, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
    };
    win32::PressKey(frame, VK_F5);
    win32::PressKey(frame, 'O'); // without Ctrl: no command
    win32::KeyDown(frame, VK_CONTROL);
    win32::PressKey(frame, 'O');
    win32::KeyUp(frame, VK_CONTROL);
    win32::TypeText(frame, "x");
    pump();
    std::vector<WORD> commands;
    for (const MSG& msg : frame.Take({WM_COMMAND})) {
        EXPECT_EQ(HIWORD(msg.wParam), 1);
        commands.push_back(LOWORD(msg.wParam));
    }
    EXPECT_EQ(commands, (std::vector<WORD>{197, 57601, 300}));
    DestroyAcceleratorTable(table);
}

} // namespace
