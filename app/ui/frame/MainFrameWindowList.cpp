// CMainFrame: the Window menu's list of document windows. Each time the menu opens, the entries after Cascade
// and Tile are made anew from the MDI client's visible children, the active one first and checked; choosing an
// entry activates the window it names.
#include "app/ui/frame/MainFrame.h"
#include "app/ui/frame/MainFrameIds.h"

namespace {

// Cascade and Tile stay; the list follows them.
constexpr UINT kFixedItems = 2;

} // namespace

void CMainFrame::OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu) {
    if (!bSysMenu && pPopupMenu != nullptr && pPopupMenu->GetMenuItemCount() > 0 &&
        pPopupMenu->GetMenuItemID(0) == ID_WINDOW_CASCADE)
        BuildWindowList(pPopupMenu);
    CGkMDIFrameWnd::OnInitMenuPopup(pPopupMenu, nIndex, bSysMenu);
}

void CMainFrame::BuildWindowList(CMenu* pWindowMenu) {
    while (pWindowMenu->GetMenuItemCount() > static_cast<int>(kFixedItems))
        pWindowMenu->DeleteMenu(kFixedItems, MF_BYPOSITION);
    m_WindowList.clear();
    if (m_hWndMDIClient == nullptr)
        return;
    // From the top of the z-order: the active child first.
    for (HWND hChild = ::GetWindow(m_hWndMDIClient, GW_CHILD); hChild != nullptr;
         hChild = ::GetWindow(hChild, GW_HWNDNEXT)) {
        if (!::IsWindowVisible(hChild) || m_WindowList.size() > ID_WINDOW_LIST_LAST - ID_WINDOW_LIST_FIRST)
            continue;
        if (m_WindowList.empty())
            pWindowMenu->AppendMenu(MF_SEPARATOR);
        char szTitle[256] = {};
        ::GetWindowTextA(hChild, szTitle, sizeof szTitle);
        CString entry;
        entry.Format("&%d  %s", static_cast<int>(m_WindowList.size() + 1), szTitle);
        const UINT nID = ID_WINDOW_LIST_FIRST + static_cast<UINT>(m_WindowList.size());
        pWindowMenu->AppendMenu(MF_STRING | (m_WindowList.empty() ? MF_CHECKED : 0), nID, entry);
        m_WindowList.push_back(hChild);
    }
}

void CMainFrame::OnWindowListEntry(UINT nID) {
    const size_t nEntry = nID - ID_WINDOW_LIST_FIRST;
    if (nEntry >= m_WindowList.size() || m_hWndMDIClient == nullptr)
        return;
    // The window may have gone since the menu was made.
    const HWND hChild = m_WindowList[nEntry];
    // The chosen window itself is activated: WM_MDINEXT would switch away even when the active one is chosen.
    if (::IsWindow(hChild) && ::GetParent(hChild) == m_hWndMDIClient)
        ::SendMessageA(m_hWndMDIClient, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(hChild), 0);
}

void CMainFrame::OnUpdateWindowListEntry(CCmdUI* pCmdUI) {
    pCmdUI->Enable(TRUE);
    const size_t nEntry = pCmdUI->m_nID - ID_WINDOW_LIST_FIRST;
    const CMDIChildWnd* pActive = MDIGetActive();
    // The active window's entry is checked, not simply the first: the list may be older than the last activation.
    pCmdUI->SetCheck(
        nEntry < m_WindowList.size() && pActive != nullptr && m_WindowList[nEntry] == pActive->GetSafeHwnd() ? 1 : 0);
}
