// What the control tests share: reading what a control paints into a DC it is given, and where to click it.
#pragma once

#include <vector>

#include "WinUiControl.h"
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

} // namespace win32::test
