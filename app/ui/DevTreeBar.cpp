#include "app/ui/DevTreeBar.h"

#include "app/ui/PaneWindow.h"

IMPLEMENT_DYNAMIC(CDevTreeBar, CWnd)

BOOL CDevTreeBar::Create(LPCTSTR lpszTitle, CWnd* pParentWnd, CSize size, UINT nID, DWORD dwStyle) {
    return CreatePaneWindow(*this, lpszTitle, pParentWnd, size, nID, dwStyle);
}
