// Windows and classes: creation and destruction, handles, the tree, longs, texts and positions.
#include <gtest/gtest.h>

#include "tests/support/UiFixture.h"

namespace {

using tdl::test::TestWindow;
using tdl::test::UiTest;

class WindowsTest : public UiTest {};

LRESULT CALLBACK PlainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(WindowsTest, ClassNamesAreOneNameSpaceWithoutCase) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = "WindowsTestClass";
    ATOM atom = RegisterClassA(&wc);
    ASSERT_GE(atom, 0xC000);
    wc.lpszClassName = "windowstestCLASS";
    EXPECT_EQ(RegisterClassA(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_ALREADY_EXISTS));

    HWND hwnd =
        CreateWindowExA(0, MAKEINTATOM(atom), "by atom", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_TRUE(hwnd);
    char name[64];
    EXPECT_EQ(GetClassNameA(hwnd, name, sizeof(name)), 16);
    EXPECT_STREQ(name, "WindowsTestClass");
    EXPECT_FALSE(UnregisterClassA("WindowsTestClass", nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CLASS_HAS_WINDOWS));
    DestroyWindow(hwnd);
    EXPECT_TRUE(UnregisterClassA("WINDOWSTESTCLASS", nullptr));
    EXPECT_FALSE(CreateWindowExA(0, "WindowsTestClass", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_CANNOT_FIND_WND_CLASS));
}

TEST_F(WindowsTest, TheSystemClassesExistBeforeAnyProgramRegistersOne) {
    // Run alone, no dialog or control has been made in this process yet.
    for (const char* name : {"STATIC", "Button", "SysTreeView32"}) {
        SCOPED_TRACE(name);
        HWND hwnd = CreateWindowExA(0, name, "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
        ASSERT_TRUE(hwnd);
        char cls[64];
        EXPECT_GT(GetClassNameA(hwnd, cls, sizeof(cls)), 0);
        DestroyWindow(hwnd);
    }
}

TEST_F(WindowsTest, CreationSendsItsMessagesInOrderAndDestructionReachesOwnedAndChildWindows) {
    std::vector<std::pair<HWND, UINT>> log;
    auto record = [&](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message == WM_CREATE || message == WM_DESTROY || message == WM_NCDESTROY || message == WM_NCCREATE)
            log.emplace_back(hwnd, message);
        return std::nullopt;
    };
    auto top = std::make_unique<TestWindow>(WS_OVERLAPPEDWINDOW, nullptr, RECT{0, 0, 300, 200}, record);
    auto ids = top->TakeIds();
    std::vector<UINT> expected{WM_GETMINMAXINFO, WM_NCCREATE, WM_NCCALCSIZE, WM_CREATE, WM_SIZE, WM_MOVE};
    EXPECT_EQ(ids, expected);

    auto child = std::make_unique<TestWindow>(WS_CHILD | WS_VISIBLE, top->hwnd(), RECT{5, 5, 50, 50}, record);
    auto grandchild = std::make_unique<TestWindow>(WS_CHILD, child->hwnd(), RECT{1, 1, 5, 5}, record);
    auto owned = std::make_unique<TestWindow>(WS_POPUP, top->hwnd(), RECT{0, 0, 10, 10}, record);
    EXPECT_EQ(GetWindow(owned->hwnd(), GW_OWNER), top->hwnd());
    EXPECT_EQ(GetParent(owned->hwnd()), top->hwnd()); // a pop-up's parent is its owner
    EXPECT_EQ(GetParent(grandchild->hwnd()), child->hwnd());
    EXPECT_EQ(top->TakeIds({WM_PARENTNOTIFY}).size(), 1u);
    log.clear();

    ASSERT_TRUE(DestroyWindow(top->hwnd()));
    std::vector<std::pair<HWND, UINT>> order{{owned->hwnd(), WM_DESTROY},      {owned->hwnd(), WM_NCDESTROY},
                                             {top->hwnd(), WM_DESTROY},        {child->hwnd(), WM_DESTROY},
                                             {grandchild->hwnd(), WM_DESTROY}, {grandchild->hwnd(), WM_NCDESTROY},
                                             {child->hwnd(), WM_NCDESTROY},    {top->hwnd(), WM_NCDESTROY}};
    EXPECT_EQ(log, order);
    for (HWND hwnd : {top->hwnd(), child->hwnd(), grandchild->hwnd(), owned->hwnd()})
        EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(WindowsTest, CreateReturningMinusOneFailsTheCreationAndDestroysTheWindow) {
    TestWindow refused(WS_POPUP, nullptr, RECT{0, 0, 10, 10}, [](HWND, UINT message, WPARAM, LPARAM) {
        return message == WM_CREATE ? std::optional<LRESULT>(-1) : std::nullopt;
    });
    EXPECT_EQ(refused.hwnd(), nullptr);
    auto ids = refused.TakeIds({WM_CREATE, WM_DESTROY, WM_NCDESTROY});
    std::vector<UINT> expected{WM_CREATE, WM_DESTROY, WM_NCDESTROY};
    EXPECT_EQ(ids, expected);
}

TEST_F(WindowsTest, AStaleHandleNamesNoWindowEvenWhenItsSlotIsUsedAgain) {
    HWND first;
    {
        TestWindow w(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
        first = w.hwnd();
    }
    TestWindow next(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
    ASSERT_NE(first, next.hwnd());
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrA(first, GWL_STYLE), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    SetLastError(0);
    EXPECT_EQ(SendMessageA(first, WM_USER, 0, 0), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(PostMessageA(first, WM_USER, 0, 0));
    EXPECT_FALSE(DestroyWindow(first));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_WINDOW_HANDLE));
}

TEST_F(WindowsTest, ChildrenKeepCreationOrderAndZOrderChangesWithSetWindowPos) {
    TestWindow parent(WS_POPUP, nullptr, RECT{0, 0, 100, 100});
    TestWindow a(WS_CHILD, parent, RECT{0, 0, 10, 10});
    TestWindow b(WS_CHILD, parent, RECT{0, 0, 10, 10});
    TestWindow c(WS_CHILD, parent, RECT{0, 0, 10, 10});
    EXPECT_EQ(GetWindow(parent, GW_CHILD), a.hwnd());
    EXPECT_EQ(GetWindow(a, GW_HWNDNEXT), b.hwnd());
    EXPECT_EQ(GetWindow(c, GW_HWNDPREV), b.hwnd());
    SetWindowPos(c, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetWindow(parent, GW_CHILD), c.hwnd());
    SetWindowPos(c, b, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    EXPECT_EQ(GetWindow(a, GW_HWNDLAST), c.hwnd());
    EXPECT_TRUE(IsChild(parent, c));

    TestWindow other(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
    EXPECT_EQ(SetParent(c, other), parent.hwnd());
    EXPECT_EQ(GetParent(c), other.hwnd());
    EXPECT_FALSE(IsChild(parent, c));
    EXPECT_EQ(GetDlgCtrlID(a), 0);
}

TEST_F(WindowsTest, SubclassingUserDataExtraBytesAndStyles) {
    TestWindow w(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
    static WNDPROC s_old = nullptr;
    static int s_seen = 0;
    WNDPROC sub = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_USER + 1) {
            ++s_seen;
            return 42;
        }
        return CallWindowProcA(s_old, hwnd, message, wParam, lParam);
    };
    s_old = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(w, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(sub)));
    ASSERT_TRUE(s_old);
    EXPECT_EQ(SendMessageA(w, WM_USER + 1, 0, 0), 42);
    EXPECT_EQ(s_seen, 1);
    SendMessageA(w, WM_USER + 2, 0, 0);
    EXPECT_EQ(w.TakeIds({WM_USER + 1, WM_USER + 2}), std::vector<UINT>{WM_USER + 2});

    EXPECT_EQ(SetWindowLongPtrA(w, GWLP_USERDATA, 0x1122334455667788), 0);
    EXPECT_EQ(GetWindowLongPtrA(w, GWLP_USERDATA), 0x1122334455667788);
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrA(w, 0), 0); // the class has no extra bytes
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_INDEX));

    SetWindowLongPtrA(w, GWL_STYLE, WS_POPUP | WS_BORDER);
    EXPECT_EQ(w.TakeIds({WM_STYLECHANGING, WM_STYLECHANGED}), (std::vector<UINT>{WM_STYLECHANGING, WM_STYLECHANGED}));
    EXPECT_EQ(GetWindowLongPtrA(w, GWL_STYLE), WS_POPUP | WS_BORDER);
}

TEST_F(WindowsTest, TextsGoThroughTheirMessages) {
    TestWindow w(WS_OVERLAPPEDWINDOW, nullptr, RECT{0, 0, 200, 100}, {}, 0, false, "Start");
    char text[8];
    EXPECT_EQ(GetWindowTextA(w, text, sizeof(text)), 5);
    EXPECT_STREQ(text, "Start");
    EXPECT_TRUE(SetWindowTextA(w, "A longer title"));
    EXPECT_EQ(GetWindowTextLengthA(w), 14);
    EXPECT_EQ(GetWindowTextA(w, text, sizeof(text)), 7); // cut to the buffer, terminated
    EXPECT_STREQ(text, "A longe");
    EXPECT_EQ(FindWindowA("TdlTestWindow", "A longer title"), w.hwnd());
}

TEST_F(WindowsTest, SetWindowPosSendsItsMessagesAndTheHandlerCanChangeThePosition) {
    TestWindow w(WS_OVERLAPPEDWINDOW, nullptr, RECT{10, 10, 310, 210},
                 [](HWND, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
                     if (message == WM_WINDOWPOSCHANGING)
                         reinterpret_cast<WINDOWPOS*>(lParam)->x = 50; // kept at 50 across
                     if (message == WM_GETMINMAXINFO)
                         reinterpret_cast<MINMAXINFO*>(lParam)->ptMinTrackSize = {200, 150};
                     return std::nullopt;
                 });
    w.Take();
    ASSERT_TRUE(SetWindowPos(w, nullptr, 20, 30, 100, 100, SWP_NOZORDER | SWP_NOACTIVATE));
    auto ids =
        w.TakeIds({WM_WINDOWPOSCHANGING, WM_GETMINMAXINFO, WM_NCCALCSIZE, WM_WINDOWPOSCHANGED, WM_MOVE, WM_SIZE});
    std::vector<UINT> expected{WM_WINDOWPOSCHANGING, WM_GETMINMAXINFO, WM_NCCALCSIZE,
                               WM_WINDOWPOSCHANGED,  WM_MOVE,          WM_SIZE};
    EXPECT_EQ(ids, expected);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.top, 30);
    EXPECT_EQ(r.right - r.left, 200); // the minimum tracking size
    EXPECT_EQ(r.bottom - r.top, 150);
    // Client area: frame 4 on each side, caption 18 on top.
    GetClientRect(w, &r);
    EXPECT_EQ(r.right, 200 - 8);
    EXPECT_EQ(r.bottom, 150 - 8 - 18);
    POINT p{0, 0};
    ClientToScreen(w, &p);
    EXPECT_EQ(p.x, 54);
    EXPECT_EQ(p.y, 30 + 4 + 18);
    RECT adjusted{0, 0, 192, 124};
    AdjustWindowRectEx(&adjusted, WS_OVERLAPPEDWINDOW, FALSE, 0);
    EXPECT_EQ(adjusted.right - adjusted.left, 200);
    EXPECT_EQ(adjusted.bottom - adjusted.top, 150);
}

TEST_F(WindowsTest, ShowStateMinimizeMaximizeRestore) {
    TestWindow w(WS_OVERLAPPEDWINDOW, nullptr, RECT{10, 10, 310, 210});
    EXPECT_FALSE(IsWindowVisible(w));
    EXPECT_FALSE(ShowWindow(w, SW_SHOW));
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(GetActiveWindow(), w.hwnd());
    EXPECT_EQ(GetFocus(), w.hwnd());
    w.Take();
    ShowWindow(w, SW_MAXIMIZE);
    EXPECT_TRUE(IsZoomed(w));
    auto sizes = w.Take({WM_SIZE});
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.back().wParam, static_cast<WPARAM>(SIZE_MAXIMIZED));
    ShowWindow(w, SW_RESTORE);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.right, 310);
    EXPECT_TRUE(ShowWindow(w, SW_HIDE));
    EXPECT_FALSE(IsWindowVisible(w));
    TestWindow child(WS_CHILD | WS_VISIBLE, w, RECT{0, 0, 10, 10});
    EXPECT_FALSE(IsWindowVisible(child)); // its parent is hidden
}

TEST_F(WindowsTest, InjectedFailuresOfCreationAndRegistration) {
    win32::FailUiCalls(win32::UiFailure::CreateWindow, 1, 1);
    TestWindow first(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
    TestWindow second(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
    TestWindow third(WS_POPUP, nullptr, RECT{0, 0, 10, 10});
    EXPECT_TRUE(first.hwnd());
    EXPECT_FALSE(second.hwnd());
    EXPECT_TRUE(second.Take().empty()); // failed before any message
    EXPECT_TRUE(third.hwnd());

    win32::FailUiCalls(win32::UiFailure::RegisterClass, 1);
    WNDCLASSA wc{};
    wc.lpfnWndProc = PlainProc;
    wc.lpszClassName = "WindowsTestFailing";
    EXPECT_EQ(RegisterClassA(&wc), 0);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_NE(RegisterClassA(&wc), 0);
    UnregisterClassA("WindowsTestFailing", nullptr);
}

// A window that deletes the object behind it while it handles its own destruction.
class SelfDeleting {
public:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<SelfDeleting*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (message == WM_LBUTTONDOWN && self) {
            DestroyWindow(hwnd);
            return 0;
        }
        if (message == WM_NCDESTROY && self) {
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            delete self;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    std::vector<int> payload = std::vector<int>(100, 1);
};

TEST_F(WindowsTest, AWindowDestroyingItselfAndItsObjectInItsOwnHandler) {
    WNDCLASSA wc{};
    wc.lpfnWndProc = SelfDeleting::Proc;
    wc.lpszClassName = "WindowsTestSelfDeleting";
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(0, "WindowsTestSelfDeleting", "", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                nullptr, nullptr);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(new SelfDeleting));
    PostMessageA(hwnd, WM_LBUTTONDOWN, 0, 0);
    PostMessageA(hwnd, WM_USER, 0, 0); // dropped with the window
    win32::PumpUiMessages();
    EXPECT_FALSE(IsWindow(hwnd));
    MSG msg;
    EXPECT_FALSE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    UnregisterClassA("WindowsTestSelfDeleting", nullptr);
}

struct Leftovers {
    std::unique_ptr<TestWindow> top;
    std::unique_ptr<TestWindow> child;
};

DWORD WINAPI LeaveWindowsOpen(LPVOID parameter) {
    auto* left = static_cast<Leftovers*>(parameter);
    left->top = std::make_unique<TestWindow>(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 100, 100});
    left->child = std::make_unique<TestWindow>(WS_CHILD | WS_VISIBLE, left->top->hwnd(), RECT{0, 0, 10, 10});
    SetTimer(left->top->hwnd(), 1, 100, nullptr);
    return 0; // the thread ends with its windows open
}

TEST_F(WindowsTest, AThreadEndingWithWindowsOpenTakesThemAlong) {
    size_t before = win32::LiveWindowCount();
    Leftovers left;
    HANDLE thread = CreateThread(nullptr, 0, LeaveWindowsOpen, &left, 0, nullptr);
    ASSERT_EQ(WaitForSingleObject(thread, INFINITE), WAIT_OBJECT_0);
    CloseHandle(thread);
    EXPECT_EQ(win32::LiveWindowCount(), before);
    EXPECT_FALSE(IsWindow(left.top->hwnd()));
}

// The set-up program's pattern: a hidden pop-up, a loop that only peeks, WM_CLOSE ending it with WM_QUIT.
TEST_F(WindowsTest, HiddenPopupWithAPeekLoopEndsOnCloseThroughQuit) {
    TestWindow w(WS_POPUP, nullptr, RECT{CW_USEDEFAULT, CW_USEDEFAULT, 400, 400},
                 [](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
                     if (message == WM_CREATE) {
                         MoveWindow(hwnd, 10, 10, 40, 40, FALSE);
                         return 0;
                     }
                     if (message == WM_NCHITTEST)
                         return HTCAPTION;
                     if (message == WM_DESTROY) {
                         PostQuitMessage(0);
                         return 0;
                     }
                     return std::nullopt;
                 });
    ASSERT_TRUE(w.hwnd());
    SetWindowLongPtrA(w, GWLP_USERDATA, 0);
    ShowWindow(w, SW_HIDE);
    InvalidateRect(w, nullptr, TRUE);
    PostMessageA(w, WM_CLOSE, 0, 0);
    bool cancelled = false;
    MSG msg;
    for (int round = 0; round < 3 && !cancelled; ++round) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                cancelled = true;
                break;
            }
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    EXPECT_TRUE(cancelled);
    EXPECT_FALSE(IsWindow(w));
}

} // namespace

namespace {

TEST_F(WindowsTest, PlacementDeferredPositionsAndProperties) {
    TestWindow w(WS_OVERLAPPEDWINDOW, nullptr, RECT{10, 20, 310, 220});
    TestWindow a(WS_CHILD, w, RECT{0, 0, 10, 10});
    TestWindow b(WS_CHILD, w, RECT{0, 0, 10, 10});
    WINDOWPLACEMENT placement{};
    placement.length = sizeof(placement);
    ASSERT_TRUE(GetWindowPlacement(w, &placement));
    EXPECT_EQ(placement.showCmd, static_cast<UINT>(SW_HIDE));
    placement.showCmd = SW_SHOWMAXIMIZED;
    placement.rcNormalPosition = {50, 60, 250, 260};
    ASSERT_TRUE(SetWindowPlacement(w, &placement));
    EXPECT_TRUE(IsZoomed(w));
    ShowWindow(w, SW_RESTORE);
    RECT r;
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 50);
    EXPECT_EQ(r.bottom, 260);

    HDWP defer = BeginDeferWindowPos(2);
    defer = DeferWindowPos(defer, a, nullptr, 5, 5, 20, 20, SWP_NOZORDER);
    defer = DeferWindowPos(defer, b, nullptr, 30, 5, 20, 20, SWP_NOZORDER);
    ASSERT_TRUE(EndDeferWindowPos(defer));
    GetWindowRect(b, &r);
    MapWindowPoints(nullptr, w, reinterpret_cast<LPPOINT>(&r), 2);
    EXPECT_EQ(r.left, 30);
    EXPECT_EQ(r.right, 50);

    int value = 0;
    EXPECT_TRUE(SetPropA(w, "Owner", &value));
    EXPECT_EQ(GetPropA(w, "Owner"), &value);
    EXPECT_EQ(RemovePropA(w, "Owner"), &value);
    EXPECT_EQ(GetPropA(w, "Owner"), nullptr);
    MONITORINFO info{sizeof(info), {}, {}, 0};
    ASSERT_TRUE(GetMonitorInfoA(MonitorFromWindow(w, MONITOR_DEFAULTTONEAREST), &info));
    EXPECT_EQ(info.rcMonitor.right, GetSystemMetrics(SM_CXSCREEN));
}

} // namespace

namespace {

// How a framework attaches its object to a window before the window's first message.
thread_local HHOOK t_hook = nullptr;
thread_local std::vector<UINT>* t_firstSeen = nullptr;
thread_local std::vector<std::pair<HWND, HWND>>* t_focusMoves = nullptr;
thread_local HWND t_keepFocusFrom = nullptr;

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        auto* cbt = reinterpret_cast<CBT_CREATEWNDA*>(lParam);
        if (cbt->lpcs->lpszName && std::string(cbt->lpcs->lpszName) == "refuse")
            return 1;
        SetWindowLongPtrA(reinterpret_cast<HWND>(wParam), GWLP_USERDATA, 0x5EED);
        t_firstSeen->push_back(static_cast<UINT>(GetWindowTextLengthA(reinterpret_cast<HWND>(wParam)) >= 0));
    }
    if (code == HCBT_SETFOCUS && t_focusMoves) {
        t_focusMoves->emplace_back(reinterpret_cast<HWND>(wParam), reinterpret_cast<HWND>(lParam));
        if (reinterpret_cast<HWND>(lParam) == t_keepFocusFrom && t_keepFocusFrom)
            return 1;
    }
    return CallNextHookEx(t_hook, code, wParam, lParam);
}

TEST_F(WindowsTest, ACbtHookSeesTheWindowBeforeItsFirstMessageAndFocusMovesAndMayRefuseThem) {
    std::vector<UINT> seen;
    t_firstSeen = &seen;
    t_hook = SetWindowsHookExA(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
    ASSERT_TRUE(t_hook);
    LONG_PTR dataAtNcCreate = 0;
    TestWindow w(WS_OVERLAPPEDWINDOW, nullptr, RECT{0, 0, 100, 100},
                 [&](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
                     if (message == WM_GETMINMAXINFO && !dataAtNcCreate)
                         dataAtNcCreate = GetWindowLongPtrA(hwnd, GWLP_USERDATA);
                     return std::nullopt;
                 });
    EXPECT_EQ(dataAtNcCreate, 0x5EED);
    TestWindow refused(WS_POPUP, nullptr, RECT{0, 0, 10, 10}, {}, 0, false, "refuse");
    EXPECT_EQ(refused.hwnd(), nullptr);
    EXPECT_TRUE(refused.Take().empty());

    // It hears of every focus move before it happens (the window gaining it, the one losing it), and may keep
    // the focus where it is.
    std::vector<std::pair<HWND, HWND>> moves;
    t_focusMoves = &moves;
    TestWindow a(WS_CHILD | WS_VISIBLE, w, RECT{0, 0, 10, 10}), b(WS_CHILD | WS_VISIBLE, w, RECT{10, 0, 20, 10});
    SetFocus(a);
    moves.clear();
    SetFocus(b);
    EXPECT_EQ(moves, (std::vector<std::pair<HWND, HWND>>{{b, a}}));
    t_keepFocusFrom = b;
    EXPECT_EQ(SetFocus(a), nullptr);
    EXPECT_EQ(GetFocus(), b.hwnd());
    t_keepFocusFrom = nullptr;
    t_focusMoves = nullptr;
    EXPECT_TRUE(UnhookWindowsHookEx(t_hook));
    EXPECT_FALSE(UnhookWindowsHookEx(t_hook));
    t_firstSeen = nullptr;
}

} // namespace

namespace {

TEST_F(WindowsTest, AMaximizedWindowTakesTheScreenOrWhatItsMinMaxInfoSays) {
    TestWindow plain(WS_OVERLAPPEDWINDOW, nullptr, RECT{10, 10, 110, 110});
    ShowWindow(plain, SW_SHOWMAXIMIZED);
    RECT r;
    GetWindowRect(plain, &r);
    EXPECT_EQ(r.left, -4); // the sizing frame lies outside the screen
    EXPECT_EQ(r.right - r.left, GetSystemMetrics(SM_CXSCREEN) + 8);
    TestWindow limited(WS_OVERLAPPEDWINDOW, nullptr, RECT{10, 10, 110, 110},
                       [](HWND, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
                           if (message == WM_GETMINMAXINFO) {
                               auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
                               info->ptMaxSize = {640, 480};
                               info->ptMaxPosition = {100, 50};
                           }
                           return std::nullopt;
                       });
    ShowWindow(limited, SW_SHOWMAXIMIZED);
    GetWindowRect(limited, &r);
    EXPECT_EQ(r.left, 100);
    EXPECT_EQ(r.bottom, 530);
}

} // namespace
