// CFrameWnd: the menu, accelerators and icon of its resource id, and the update of its menus' pop-ups.
#include "AfxCmdUI.h"
#include "AfxFrameWnd.h"
#include "AfxMenu.h"
#include "AfxWinApp.h"

void CFrameWnd::LoadFrameResources(UINT nIDResource) {
    HINSTANCE hInstance = AfxGetResourceHandle();
    // The window takes its menu at creation; a resource id may have no menu, accelerators or icon.
    if (m_hMenuDefault == nullptr)
        m_hMenuDefault = ::LoadMenuA(hInstance, MAKEINTRESOURCEA(nIDResource));
    if (m_hAccelTable == nullptr)
        m_hAccelTable = ::LoadAcceleratorsA(hInstance, MAKEINTRESOURCEA(nIDResource));
    m_hIcon = ::LoadIconA(hInstance, MAKEINTRESOURCEA(nIDResource));
}

BOOL CFrameWnd::TranslateFrameAccelerator(MSG* pMsg) {
    return m_hAccelTable != nullptr && ::TranslateAcceleratorA(m_hWnd, m_hAccelTable, pMsg);
}

void CFrameWnd::OnInitMenuPopup(CMenu* pPopupMenu, UINT, BOOL bSysMenu) {
    if (bSysMenu || pPopupMenu == nullptr)
        return;
    CCmdUI state;
    state.m_pMenu = pPopupMenu;
    state.m_nIndexMax = static_cast<UINT>(pPopupMenu->GetMenuItemCount());
    for (state.m_nIndex = 0; state.m_nIndex < state.m_nIndexMax; ++state.m_nIndex) {
        state.m_nID = pPopupMenu->GetMenuItemID(static_cast<int>(state.m_nIndex));
        if (state.m_nID == 0)
            continue; // separator
        state.m_pSubMenu = nullptr;
        BOOL bAutoMenuEnable = m_bAutoMenuEnable;
        if (state.m_nID == static_cast<UINT>(-1)) {
            // A nested pop-up answers for its first item, and is never greyed for want of a handler.
            state.m_pSubMenu = pPopupMenu->GetSubMenu(static_cast<int>(state.m_nIndex));
            if (state.m_pSubMenu == nullptr)
                continue;
            state.m_nID = state.m_pSubMenu->GetMenuItemID(0);
            if (state.m_nID == 0 || state.m_nID == static_cast<UINT>(-1))
                continue;
            bAutoMenuEnable = FALSE;
        }
        // System commands (0xF000 and up) are the window's own.
        state.DoUpdate(this, bAutoMenuEnable && state.m_nID < 0xF000);
        // A handler that added or removed items (the recent files) moves the walk along with them.
        UINT nCount = static_cast<UINT>(pPopupMenu->GetMenuItemCount());
        if (nCount < state.m_nIndexMax) {
            state.m_nIndex -= state.m_nIndexMax - nCount;
            while (state.m_nIndex < nCount &&
                   pPopupMenu->GetMenuItemID(static_cast<int>(state.m_nIndex)) == state.m_nID)
                ++state.m_nIndex;
        }
        state.m_nIndexMax = nCount;
    }
}
