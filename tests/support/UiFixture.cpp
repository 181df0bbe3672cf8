#include "UiFixture.h"

#include <algorithm>
#include <map>

#include "NtClock.h"
#include "WinGdiControl.h"

namespace tdl::test {

namespace {

std::mutex g_windowsLock;
std::map<HWND, TestWindow*> g_windows;
thread_local TestWindow* t_creating = nullptr;

void RegisterOnce(const char* name, UINT style, WNDPROC proc) {
    WNDCLASSA wc{};
    if (GetClassInfoA(nullptr, name, &wc))
        return;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.lpszClassName = name;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    RegisterClassA(&wc);
}

} // namespace

void UiTest::SetUp() {
    nt::clock::UseVirtualClock();
    m_checks.Begin();
}

void UiTest::TearDown() {
    m_checks.End();
    nt::clock::UseRealClock();
}

void UiChecks::Begin() {
    win32::ClearUiFailures();
    win32::ClearModalRequests();
    win32::SetModalStrict(true);
    win32::SetModalFailureHandler([](const win32::ModalRequest& request) {
        ADD_FAILURE() << "unexpected " << win32::ModalKindName(request.kind) << " \"" << request.text << "\" (\""
                      << request.caption << "\")";
    });
    m_windowsAtStart = win32::LiveWindowCount();
    m_gdiObjectsAtStart = win32::GdiObjectCount();
}

void UiChecks::End() {
    win32::PumpUiMessages();
    auto left = win32::ThreadWindows(GetCurrentThreadId());
    EXPECT_EQ(win32::LiveWindowCount(), m_windowsAtStart) << "windows left open";
    for (HWND hwnd : left)
        if (IsWindow(hwnd) && GetAncestor(hwnd, GA_ROOT) == hwnd)
            DestroyWindow(hwnd);
    EXPECT_EQ(win32::GdiObjectCount(), m_gdiObjectsAtStart) << "GDI objects leaked";
    EXPECT_EQ(win32::PendingModalScripts(), 0u) << "modal answers queued but never asked for";
    win32::SetModalFailureHandler({});
    win32::SetModalStrict(false);
    win32::ClearModalRequests();
    win32::ClearUiFailures();
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
}

TestWindow::TestWindow(DWORD style, HWND parent, RECT rect, Handler handler, DWORD exStyle, bool doubleClicks,
                       const char* text)
    : m_handler(std::move(handler)) {
    const char* cls = doubleClicks ? "TdlTestWindowDbl" : "TdlTestWindow";
    RegisterOnce(cls, doubleClicks ? CS_DBLCLKS : 0, Procedure);
    t_creating = this;
    const bool defaultPlace = rect.left == CW_USEDEFAULT;
    const int width = defaultPlace ? rect.right : rect.right - rect.left;
    const int height = defaultPlace ? rect.bottom : rect.bottom - rect.top;
    m_hwnd = CreateWindowExA(exStyle, cls, text, style, rect.left, rect.top, width, height, parent, nullptr, nullptr,
                             nullptr);
    t_creating = nullptr;
}

TestWindow::~TestWindow() {
    if (IsWindow(m_hwnd))
        DestroyWindow(m_hwnd);
    std::lock_guard guard(g_windowsLock);
    for (auto it = g_windows.begin(); it != g_windows.end();)
        it = it->second == this ? g_windows.erase(it) : std::next(it);
}

std::vector<MSG> TestWindow::Take(std::vector<UINT> filter) {
    std::lock_guard guard(m_lock);
    std::vector<MSG> taken;
    for (const MSG& msg : m_messages)
        if (filter.empty() || std::find(filter.begin(), filter.end(), msg.message) != filter.end())
            taken.push_back(msg);
    m_messages.clear();
    return taken;
}

std::vector<UINT> TestWindow::TakeIds(std::vector<UINT> filter) {
    std::vector<UINT> ids;
    for (const MSG& msg : Take(std::move(filter)))
        ids.push_back(msg.message);
    return ids;
}

void TestWindow::SetHandler(Handler handler) {
    std::lock_guard guard(m_lock);
    m_handler = std::move(handler);
}

LRESULT CALLBACK TestWindow::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    TestWindow* self = nullptr;
    {
        std::lock_guard guard(g_windowsLock);
        auto it = g_windows.find(hwnd);
        if (it != g_windows.end()) {
            self = it->second;
        } else if (t_creating) {
            self = t_creating;
            g_windows[hwnd] = self;
        }
        if (self && message == WM_NCDESTROY)
            g_windows.erase(hwnd);
    }
    if (!self)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    Handler handler;
    {
        std::lock_guard guard(self->m_lock);
        self->m_messages.push_back({hwnd, message, wParam, lParam, 0, {}});
        handler = self->m_handler;
    }
    if (handler)
        if (auto result = handler(hwnd, message, wParam, lParam))
            return *result;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TestWindow::Handler Filler(COLORREF color, int* paints) {
    return [color, paints](HWND hwnd, UINT message, WPARAM, LPARAM) -> std::optional<LRESULT> {
        if (message != WM_PAINT)
            return std::nullopt;
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd, &ps);
        RECT client;
        GetClientRect(hwnd, &client);
        HBRUSH brush = CreateSolidBrush(color);
        FillRect(dc, &client, brush);
        DeleteObject(brush);
        EndPaint(hwnd, &ps);
        if (paints)
            ++*paints;
        return 0;
    };
}

} // namespace tdl::test
