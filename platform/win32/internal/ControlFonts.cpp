#include "internal/ControlFonts.h"

#include "WinGdi.h"
#include "WinPaint.h"
#include "WinMessages.h"

namespace win32::internal {

HFONT ControlFont(HFONT font) {
    return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

int FontCharHeight(HFONT font) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, ControlFont(font));
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return static_cast<int>(metrics.tmHeight);
}

int TextWidth(HFONT font, const char* text, int length) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, ControlFont(font));
    SIZE extent{};
    GetTextExtentPoint32A(dc, text, length, &extent);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return static_cast<int>(extent.cx);
}

LRESULT NotifyParent(HWND control, UINT code, NMHDR* header) {
    HWND parent = GetParent(control);
    if (!parent)
        return 0;
    header->hwndFrom = control;
    header->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(control));
    header->code = code;
    return SendMessageA(parent, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

} // namespace win32::internal
