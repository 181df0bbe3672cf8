// What the control tests share: reading what a control paints into a DC it is given, and where to click it.
#pragma once

#include <optional>
#include <vector>

#include "WinUiControl.h"
#include "tests/support/UiFixture.h"
#include "windows.h"

namespace win32::test {

// The points of `area` (client coordinates) where a control paints a colour into a DC it is given (WM_PAINT's
// wParam).
inline std::vector<POINT> PaintedPoints(HWND control, COLORREF colour, RECT area) {
    RECT client{};
    GetClientRect(control, &client);
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(dc, bitmap);
    SendMessageA(control, WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
    std::vector<POINT> points;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (GetPixel(dc, x, y) == colour)
                points.push_back({x, y});
    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    return points;
}

inline int CountPainted(HWND control, COLORREF colour, RECT area) {
    return static_cast<int>(PaintedPoints(control, colour, area).size());
}

inline POINT CenterOf(HWND control) {
    RECT r{};
    GetClientRect(control, &r);
    return {r.right / 2, r.bottom / 2};
}

// Controls made as children of a visible top-level window that records what they tell it.
class ControlHostTest : public tdl::test::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        RegisterDialogClasses();
        parent_.emplace(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 400, 300});
    }
    void TearDown() override {
        parent_.reset();
        UiTest::TearDown();
    }
    HWND MakeControl(const char* className, DWORD style, RECT r, int id) {
        HWND hwnd = CreateWindowExA(0, className, "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | style, r.left, r.top,
                                    r.right - r.left, r.bottom - r.top, *parent_,
                                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id)), nullptr, nullptr);
        EXPECT_NE(hwnd, nullptr);
        return hwnd;
    }
    // The notification codes (WM_COMMAND) the parent got from control `id` (and, when given, that window), in
    // order, after pumping; forgets every message it had.
    std::vector<int> Notifications(int id, HWND from = nullptr) {
        PumpUiMessages();
        std::vector<int> codes;
        for (const MSG& m : parent_->Take({WM_COMMAND}))
            if (LOWORD(m.wParam) == id && (!from || reinterpret_cast<HWND>(m.lParam) == from))
                codes.push_back(HIWORD(m.wParam));
        return codes;
    }

    std::optional<tdl::test::TestWindow> parent_;
};

} // namespace win32::test
