#include "Setup.h"
#include "WinDialogs.h"
#include "ole2.h"

std::atomic<bool> SetupCancelled{false};

namespace {

constexpr int kBoxSize = 40;

} // namespace

LRESULT CALLBACK PlainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: {
        // A small box centred across the screen, a little above its middle.
        const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
        const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
        MoveWindow(hwnd, (screenWidth - kBoxSize) / 2, screenHeight * 5 / 12 - kBoxSize / 2, kBoxSize, kBoxSize, FALSE);
        return 0;
    }
    case WM_ERASEBKGND: return 1;
    case WM_NCHITTEST: {
        // Dragging anywhere moves it.
        const LRESULT hit = DefWindowProcA(hwnd, message, wParam, lParam);
        return hit == HTCLIENT ? HTCAPTION : hit;
    }
    case WM_CLOSE: DestroyWindow(hwnd); return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

void PumpMessages() {
    MSG msg;
    while (!SetupCancelled && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            SetupCancelled = true;
            break;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

INT_PTR CALLBACK WelcomeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        return FALSE;
    default: return FALSE;
    }
}

void ShowSetupError(HWND owner, const char* text) {
    MessageBoxA(owner, text, "Error", MB_OK);
}
