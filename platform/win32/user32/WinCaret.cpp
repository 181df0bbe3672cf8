// Carets: one per thread, with its window, size, position and visible count. Nothing is drawn: edit controls
// draw their own insertion mark, and tests read where the caret is.
#include "WinHandles.h"
#include "WinPaint.h"
#include "WinUser.h"
#include "winerror.h"

namespace {

struct Caret {
    HWND hwnd = nullptr;
    SIZE size{};
    POINT pos{};
    int hidden = 1; // a new caret is hidden until ShowCaret
};

thread_local Caret t_caret;

} // namespace

BOOL CreateCaret(HWND hwnd, HBITMAP, int width, int height) {
    if (!IsWindow(hwnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    t_caret = Caret{hwnd, {width, height}, {}, 1};
    return TRUE;
}

BOOL DestroyCaret() {
    if (!t_caret.hwnd)
        return FALSE;
    t_caret = Caret{};
    return TRUE;
}

BOOL ShowCaret(HWND hwnd) {
    if (!t_caret.hwnd || (hwnd && hwnd != t_caret.hwnd))
        return FALSE;
    if (t_caret.hidden > 0)
        --t_caret.hidden;
    return TRUE;
}

BOOL HideCaret(HWND hwnd) {
    if (!t_caret.hwnd || (hwnd && hwnd != t_caret.hwnd))
        return FALSE;
    ++t_caret.hidden;
    return TRUE;
}

BOOL SetCaretPos(int x, int y) {
    if (!t_caret.hwnd)
        return FALSE;
    t_caret.pos = {x, y};
    return TRUE;
}

BOOL GetCaretPos(LPPOINT point) {
    if (!point)
        return FALSE;
    *point = t_caret.pos;
    return TRUE;
}
