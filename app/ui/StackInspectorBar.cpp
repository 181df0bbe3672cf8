#include "app/ui/StackInspectorBar.h"

#include "app/ui/PaneWindow.h"

IMPLEMENT_DYNAMIC(CStackInspectorBar, CWnd)

BOOL CStackInspectorBar::Create(LPCTSTR lpszTitle, CWnd* pParentWnd, CSize size, UINT nID, DWORD dwStyle) {
    return CreatePaneWindow(*this, lpszTitle, pParentWnd, size, nID, dwStyle);
}
