// What the common controls share: notifying the parent, copying a text into a caller's buffer, and painting
// into the DC given in WM_PAINT's wParam or, without one, the window's own.
#pragma once

#include <string>

#include "../WinCommonControls.h"
#include "../WinPaint.h"

namespace win32::internal {

// WM_NOTIFY to the control's parent with the header filled in (sender, control id, code); 0 without a parent.
LRESULT NotifyParent(HWND control, UINT code, NMHDR* hdr);
LRESULT NotifyParentPlain(HWND control, UINT code);
// Registers a control class once (the arrow cursor, no class or window extra bytes); later calls do nothing.
void RegisterControlClass(const char* name, WNDPROC proc, UINT style);
// At most size - 1 characters and a terminating zero; nothing for a null or empty buffer.
void CopyTextTo(const std::string& text, LPSTR target, int size);

template <typename Painter> LRESULT PaintControl(HWND hwnd, WPARAM wParam, Painter paint) {
    if (wParam) {
        paint(reinterpret_cast<HDC>(wParam));
        return 0;
    }
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(hwnd, &ps);
    paint(dc);
    EndPaint(hwnd, &ps);
    return 0;
}

} // namespace win32::internal
