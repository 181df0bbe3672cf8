// CWnd: its menu.
#include "AfxMenu.h"
#include "AfxWnd.h"

CMenu* CWnd::GetMenu() const {
    return CMenu::FromHandle(::GetMenu(m_hWnd));
}

BOOL CWnd::SetMenu(CMenu* pMenu) {
    return ::SetMenu(m_hWnd, pMenu != nullptr ? pMenu->m_hMenu : nullptr);
}

void CWnd::DrawMenuBar() {
    ::DrawMenuBar(m_hWnd);
}
