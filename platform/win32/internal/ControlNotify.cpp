#include "internal/ControlNotify.h"

#include "WinGdi.h"
#include "WinMessages.h"
#include "WinPaint.h"

namespace win32::internal {

int TextWidth(HFONT font, const char* text, int length) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, ControlFont(font));
    SIZE extent{};
    GetTextExtentPoint32A(dc, text, length, &extent);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return static_cast<int>(extent.cx);
}

LRESULT SendNotify(HWND control, UINT code, NMHDR* header) {
    HWND parent = GetParent(control);
    if (!parent)
        return 0;
    header->hwndFrom = control;
    header->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(control));
    header->code = code;
    return SendMessageA(parent, WM_NOTIFY, header->idFrom, reinterpret_cast<LPARAM>(header));
}

} // namespace win32::internal
