#include "app/ui/panes/PaneWindow.h"

BOOL CreatePaneWindow(CWnd& wnd, LPCTSTR lpszTitle, CWnd* pParentWnd, CSize size, UINT nID, DWORD dwStyle) {
    LPCTSTR lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursor(nullptr, IDC_ARROW),
                                            reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)));
    return wnd.Create(lpszClass, lpszTitle, dwStyle | WS_CHILD, CRect(CPoint(0, 0), size), pParentWnd, nID);
}
