// What the common controls share. Locks: none.
#include "ControlSupport.h"

#include <algorithm>
#include <cstring>

#include "../WinInput.h"
#include "../WinUser.h"

namespace win32::internal {

LRESULT NotifyParent(HWND control, UINT code, NMHDR* hdr) {
    hdr->hwndFrom = control;
    hdr->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(control));
    hdr->code = code;
    HWND parent = GetParent(control);
    return parent ? SendMessageA(parent, WM_NOTIFY, hdr->idFrom, reinterpret_cast<LPARAM>(hdr)) : 0;
}

LRESULT NotifyParentPlain(HWND control, UINT code) {
    NMHDR hdr{};
    return NotifyParent(control, code, &hdr);
}

void RegisterControlClass(const char* name, WNDPROC proc, UINT style) {
    WNDCLASSA wc{};
    if (GetClassInfoA(nullptr, name, &wc))
        return;
    wc.style = style;
    wc.lpfnWndProc = proc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = name;
    RegisterClassA(&wc);
}

void CopyTextTo(const std::string& text, LPSTR target, int size) {
    if (!target || size <= 0)
        return;
    const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    memcpy(target, text.data(), n);
    target[n] = '\0';
}

} // namespace win32::internal
