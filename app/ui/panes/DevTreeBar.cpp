#include "app/ui/panes/DevTreeBar.h"

#include "app/ui/frame/MainFrameIds.h"
#include "app/ui/panes/PaneWindow.h"

IMPLEMENT_DYNAMIC(CDevTreeBar, CWnd)

BEGIN_MESSAGE_MAP(CDevTreeBar, CWnd)
ON_WM_CREATE()
ON_WM_SIZE()
END_MESSAGE_MAP()

BOOL CDevTreeBar::Create(LPCTSTR lpszTitle, CWnd* pParentWnd, CSize size, UINT nID, DWORD dwStyle) {
    return CreatePaneWindow(*this, lpszTitle, pParentWnd, size, nID, dwStyle);
}

int CDevTreeBar::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CWnd::OnCreate(lpCreateStruct) == -1)
        return -1;
    CRect client;
    GetClientRect(&client);
    return m_DeviceTreeTab.Create(WS_CHILD | WS_VISIBLE, client, this, ID_VIEW_DEVICETREE) ? 0 : -1;
}

void CDevTreeBar::OnSize(UINT nType, int cx, int cy) {
    CWnd::OnSize(nType, cx, cy);
    if (m_DeviceTreeTab.GetSafeHwnd() != nullptr)
        m_DeviceTreeTab.MoveWindow(0, 0, cx, cy);
}
