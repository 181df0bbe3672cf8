// Window-system tests: a fixture with the virtual clock and a strict modal service, and a window whose messages
// a test records and answers.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "WinUiControl.h"
#include "windows.h"

namespace tdl::test {

// What a window-system test holds to from Begin to End: a strict modal service (an unexpected request fails the
// test, and so does a script left unused at the end) and no injected failures; at the end no window is left
// open (any left is reported and destroyed) and the count of GDI objects is back where it was. For fixtures
// on another base than UiTest.
class UiChecks {
public:
    void Begin();
    void End();

private:
    size_t m_windowsAtStart = 0;
    size_t m_gdiObjectsAtStart = 0;
};

// The virtual clock and UiChecks.
class UiTest : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    UiChecks m_checks;
};

// A window whose messages are recorded in order; `handler` answers the ones it wants (std::nullopt: the
// default procedure answers). Make and destroy it on one thread: only that thread may destroy its window.
class TestWindow {
public:
    using Handler = std::function<std::optional<LRESULT>(HWND, UINT, WPARAM, LPARAM)>;

    // The class "TdlTestWindow" (CS_DBLCLKS when asked: class "TdlTestWindowDbl"). A rectangle whose left is
    // CW_USEDEFAULT gives the default place, with its right and bottom as the size.
    TestWindow(DWORD style, HWND parent, RECT rect, Handler handler = {}, DWORD exStyle = 0, bool doubleClicks = false,
               const char* text = "");
    ~TestWindow();
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND hwnd() const { return m_hwnd; }
    operator HWND() const { return m_hwnd; }
    // The messages received so far (all, or only those in `filter`), and forgets them.
    std::vector<MSG> Take(std::vector<UINT> filter = {});
    std::vector<UINT> TakeIds(std::vector<UINT> filter = {});
    void SetHandler(Handler handler);

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hwnd = nullptr;
    std::mutex m_lock;
    std::vector<MSG> m_messages;
    Handler m_handler;
};

// A handler that paints the whole client area in one colour, counting its WM_PAINT in `paints` when given.
TestWindow::Handler Filler(COLORREF color, int* paints = nullptr);

} // namespace tdl::test
