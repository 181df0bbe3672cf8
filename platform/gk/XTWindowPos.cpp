#include "XTWindowPos.h"

#include <algorithm>

#include "GkProfileValue.h"

namespace {

constexpr uint32_t kTag = 0x50574B47; // "GKWP"
constexpr uint32_t kVersion = 1;

bool IsShowState(uint32_t n) {
    return n == SW_SHOWNORMAL || n == SW_SHOWMAXIMIZED || n == SW_HIDE;
}

} // namespace

CXTWindowPos::CXTWindowPos() : WINDOWPLACEMENT{} {
    length = sizeof(WINDOWPLACEMENT);
    showCmd = SW_SHOWNORMAL;
    ptMinPosition = {-1, -1};
    ptMaxPosition = {-1, -1};
}

BOOL CXTWindowPos::LoadWindowPos(LPCTSTR lpszWndPos) {
    CGkProfileReader reader(lpszWndPos, kTag, kVersion);
    uint32_t nShow = 0;
    RECT rc{};
    if (!reader.ReadUInt(nShow) || !reader.ReadRect(rc) || !reader.AtEnd())
        return FALSE;
    if (!IsShowState(nShow) || rc.right <= rc.left || rc.bottom <= rc.top)
        return FALSE;
    showCmd = nShow;
    rcNormalPosition = rc;
    MoveOntoScreen();
    return TRUE;
}

BOOL CXTWindowPos::LoadWindowPos(CWnd* pWnd, LPCTSTR lpszWndPos) {
    if (pWnd == nullptr || pWnd->GetSafeHwnd() == nullptr || !LoadWindowPos(lpszWndPos))
        return FALSE;
    // Apply the rectangle while keeping the window's visibility: showing is the caller's, with showCmd.
    WINDOWPLACEMENT wp = *this;
    wp.length = sizeof(WINDOWPLACEMENT);
    BOOL bVisible = pWnd->IsWindowVisible();
    wp.showCmd = bVisible ? showCmd : SW_HIDE;
    ::SetWindowPlacement(pWnd->GetSafeHwnd(), &wp);
    return TRUE;
}

BOOL CXTWindowPos::SaveWindowPos(CWnd* pWnd, LPCTSTR lpszWndPos) {
    if (pWnd == nullptr || pWnd->GetSafeHwnd() == nullptr)
        return FALSE;
    WINDOWPLACEMENT wp{};
    wp.length = sizeof(WINDOWPLACEMENT);
    if (!::GetWindowPlacement(pWnd->GetSafeHwnd(), &wp))
        return FALSE;
    UINT nShow = wp.showCmd == SW_SHOWMAXIMIZED ? SW_SHOWMAXIMIZED : SW_SHOWNORMAL;
    CGkProfileWriter writer(kTag, kVersion);
    writer.WriteUInt(nShow);
    writer.WriteRect(wp.rcNormalPosition);
    if (!writer.Save(lpszWndPos))
        return FALSE;
    *static_cast<WINDOWPLACEMENT*>(this) = wp;
    showCmd = nShow;
    return TRUE;
}

void CXTWindowPos::MoveOntoScreen() {
    RECT screen{};
    if (!::SystemParametersInfo(SPI_GETWORKAREA, 0, &screen, 0))
        return;
    RECT& rc = rcNormalPosition;
    bool bOff =
        rc.right <= screen.left || rc.left >= screen.right || rc.bottom <= screen.top || rc.top >= screen.bottom;
    if (!bOff)
        return;
    LONG cx = std::min(rc.right - rc.left, screen.right - screen.left);
    LONG cy = std::min(rc.bottom - rc.top, screen.bottom - screen.top);
    LONG x = std::clamp(rc.left, screen.left, screen.right - cx);
    LONG y = std::clamp(rc.top, screen.top, screen.bottom - cy);
    rc = {x, y, x + cx, y + cy};
}
