// Locks: none; every call acts on the calling thread's own windows.
#include "ControlSupport.h"

#include <algorithm>

#include "WinGdi.h"
#include "WinInput.h"
#include "WinUserDraw.h"

namespace win32::internal {

std::string ControlText(HWND hwnd) {
    std::string text(static_cast<size_t>(GetWindowTextLengthA(hwnd)) + 1, '\0');
    text.resize(static_cast<size_t>(GetWindowTextA(hwnd, text.data(), static_cast<int>(text.size()))));
    return text;
}

void NotifyParent(HWND hwnd, WORD code) {
    if (HWND parent = GetParent(hwnd))
        SendMessageA(parent, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(hwnd), code), reinterpret_cast<LPARAM>(hwnd));
}

HBRUSH ParentColourBrush(HWND hwnd, HDC dc, UINT message, int textColour, int backColour, int fallback) {
    SetTextColor(dc, GetSysColor(textColour));
    SetBkColor(dc, GetSysColor(backColour));
    HWND parent = GetParent(hwnd);
    auto brush = parent ? reinterpret_cast<HBRUSH>(SendMessageA(parent, message, reinterpret_cast<WPARAM>(dc),
                                                                reinterpret_cast<LPARAM>(hwnd)))
                        : nullptr;
    return brush ? brush : GetSysColorBrush(fallback);
}

HFONT ControlFont(HFONT chosen) {
    return chosen ? chosen : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

int FontLineHeight(HFONT font) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, ControlFont(font));
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return std::max<int>(1, metrics.tmHeight);
}

void RegisterControlClass(const char* name, WNDPROC proc, int extra, UINT style, LPCSTR cursor) {
    WNDCLASSA wc{};
    if (GetClassInfoA(nullptr, name, &wc))
        return;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.cbWndExtra = extra;
    wc.hCursor = LoadCursorA(nullptr, cursor);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
}

} // namespace win32::internal
