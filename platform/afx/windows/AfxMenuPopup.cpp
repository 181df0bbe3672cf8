// CMenu as a pop-up menu.
#include "AfxMenu.h"
#include "AfxWnd.h"

BOOL CMenu::TrackPopupMenu(UINT nFlags, int x, int y, CWnd* pWnd, LPCRECT lpRect) {
    return ::TrackPopupMenu(m_hMenu, nFlags, x, y, 0, pWnd ? pWnd->GetSafeHwnd() : nullptr, lpRect);
}

BOOL CMenu::TrackPopupMenuEx(UINT nFlags, int x, int y, CWnd* pWnd, LPTPMPARAMS lptpm) {
    return ::TrackPopupMenuEx(m_hMenu, nFlags, x, y, pWnd ? pWnd->GetSafeHwnd() : nullptr, lptpm);
}
