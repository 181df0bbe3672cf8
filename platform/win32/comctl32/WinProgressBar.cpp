// The progress bar and the registration of the common controls. Locks: none; a bar's state lives in a
// property of its window, touched only on the window's thread.
#include <algorithm>

#include "WinCommonControls.h"
#include "WinDialogs.h"
#include "WinGdi.h"
#include "WinInput.h"
#include "WinPaint.h"
#include "WinRect.h"
#include "WinUserDraw.h"

namespace {

const char kStateProp[] = "TdlProgressState";

struct ProgressState {
    int low = 0;
    int high = 100;
    int pos = 0;
    int step = 10;
    COLORREF bar = CLR_DEFAULT;
    COLORREF background = CLR_DEFAULT;
};

ProgressState* StateOf(HWND hwnd) {
    return static_cast<ProgressState*>(GetPropA(hwnd, kStateProp));
}

// Sets the position, clamped to the range; returns the previous one.
int SetPosition(HWND hwnd, ProgressState& state, long long pos) {
    const int previous = state.pos;
    state.pos = static_cast<int>(std::clamp<long long>(pos, state.low, state.high));
    if (state.pos != previous)
        InvalidateRect(hwnd, nullptr, FALSE);
    return previous;
}

void Paint(HWND hwnd, HDC dc, const ProgressState& state) {
    RECT client{};
    GetClientRect(hwnd, &client);
    HBRUSH background = state.background == CLR_DEFAULT ? nullptr : CreateSolidBrush(state.background);
    FillRect(dc, &client, background ? background : GetSysColorBrush(COLOR_BTNFACE));
    if (background)
        DeleteObject(background);
    RECT inner = client;
    DrawEdge(dc, &inner, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    const long long span = static_cast<long long>(state.high) - state.low;
    if (span <= 0 || state.pos <= state.low)
        return;
    RECT filled = inner;
    const bool vertical = (GetWindowLongA(hwnd, GWL_STYLE) & PBS_VERTICAL) != 0;
    if (vertical)
        filled.top = inner.bottom - static_cast<LONG>((inner.bottom - inner.top) * (state.pos - state.low) / span);
    else
        filled.right = inner.left + static_cast<LONG>((inner.right - inner.left) * (state.pos - state.low) / span);
    HBRUSH bar = state.bar == CLR_DEFAULT ? nullptr : CreateSolidBrush(state.bar);
    FillRect(dc, &filled, bar ? bar : GetSysColorBrush(COLOR_HIGHLIGHT));
    if (bar)
        DeleteObject(bar);
}

LRESULT CALLBACK ProgressProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ProgressState* state = StateOf(hwnd);
    if (!state) {
        if (message != WM_NCCREATE)
            return DefWindowProcA(hwnd, message, wParam, lParam);
        state = new ProgressState;
        SetPropA(hwnd, kStateProp, state);
    }
    switch (message) {
    case WM_NCDESTROY:
        delete static_cast<ProgressState*>(RemovePropA(hwnd, kStateProp));
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_PAINT:
    case WM_PRINTCLIENT:
        if (wParam) {
            Paint(hwnd, reinterpret_cast<HDC>(wParam), *state);
        } else {
            PAINTSTRUCT ps{};
            HDC dc = BeginPaint(hwnd, &ps);
            Paint(hwnd, dc, *state);
            EndPaint(hwnd, &ps);
        }
        return 0;
    case WM_ERASEBKGND: return TRUE;
    case PBM_SETRANGE:
    case PBM_SETRANGE32: {
        const LRESULT previous = MAKELONG(state->low, state->high);
        if (message == PBM_SETRANGE) {
            state->low = LOWORD(lParam);
            state->high = HIWORD(lParam);
        } else {
            state->low = static_cast<int>(wParam);
            state->high = static_cast<int>(lParam);
        }
        if (state->high < state->low)
            std::swap(state->low, state->high);
        SetPosition(hwnd, *state, state->pos);
        InvalidateRect(hwnd, nullptr, FALSE);
        return previous;
    }
    case PBM_GETRANGE:
        if (auto* range = reinterpret_cast<PBRANGE*>(lParam))
            *range = {state->low, state->high};
        return wParam ? state->low : state->high;
    case PBM_SETPOS: return SetPosition(hwnd, *state, static_cast<int>(wParam));
    case PBM_DELTAPOS: return SetPosition(hwnd, *state, static_cast<long long>(state->pos) + static_cast<int>(wParam));
    case PBM_GETPOS: return state->pos;
    case PBM_SETSTEP: {
        const int previous = state->step;
        state->step = static_cast<int>(wParam);
        return previous;
    }
    case PBM_STEPIT: {
        // Stepping past the end starts again from the beginning, as the bar of a repeating task does.
        long long next = static_cast<long long>(state->pos) + state->step;
        if (next > state->high)
            next = state->low + (next - state->high);
        return SetPosition(hwnd, *state, next);
    }
    case PBM_SETBARCOLOR:
    case PBM_SETBKCOLOR: {
        COLORREF& colour = message == PBM_SETBARCOLOR ? state->bar : state->background;
        const COLORREF previous = colour;
        colour = static_cast<COLORREF>(lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return previous;
    }
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

} // namespace

namespace win32 {

void RegisterCommonControlClasses() {
    WNDCLASSA wc{};
    if (GetClassInfoA(nullptr, PROGRESS_CLASSA, &wc))
        return;
    wc.lpfnWndProc = ProgressProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = PROGRESS_CLASSA;
    RegisterClassA(&wc);
}

} // namespace win32

void InitCommonControls() {
    win32::RegisterDialogClasses();
}

BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX* init) {
    if (!init || init->dwSize != sizeof(INITCOMMONCONTROLSEX))
        return FALSE;
    win32::RegisterDialogClasses();
    return TRUE;
}
