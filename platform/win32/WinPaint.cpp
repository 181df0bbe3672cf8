// Device contexts of windows and the paint messages' defaults. (Drawing waits for the drawing context.)
#include "WinPaint.h"

#include "WinUser.h"
#include "internal/NonClient.h"
#include "internal/WindowManager.h"

using namespace win32::internal;

HDC BeginPaint(HWND hwnd, LPPAINTSTRUCT ps) {
    if (!ps)
        return nullptr;
    *ps = {};
    WindowPtr w = LookupWindow(hwnd);
    if (!w)
        return nullptr;
    {
        std::lock_guard guard(UserLock());
        ps->rcPaint = w->update;
        w->update = {};
        w->erase = w->frame = w->internalPaint = false;
    }
    return nullptr;
}

BOOL EndPaint(HWND, const PAINTSTRUCT*) { return TRUE; }

namespace win32::internal {
void PaintNonClient(HWND) {}
LRESULT EraseBackground(HWND, HDC) { return 0; }
LRESULT ControlColor(UINT, HDC) { return 0; }
} // namespace win32::internal
