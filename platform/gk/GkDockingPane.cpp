#include "GkDockingPane.h"

#include "GkDockingPaneManager.h"

CGkDockingPane::CGkDockingPane(CGkDockingPaneManager* pManager, UINT nID, CSize szCreated)
    : m_pManager(pManager), m_nID(nID), m_szCreated(szCreated) {}

void CGkDockingPane::SetTitle(LPCTSTR lpszTitle) {
    m_strTitle = lpszTitle != nullptr ? lpszTitle : "";
    if (m_pGroup != nullptr && m_pGroup->GetSafeHwnd() != nullptr)
        m_pGroup->Invalidate();
}

void CGkDockingPane::Attach(CWnd* pWnd) {
    if (m_pChild != nullptr && m_pChild != pWnd && m_pChild->GetSafeHwnd() != nullptr)
        m_pChild->ShowWindow(SW_HIDE);
    m_pChild = pWnd;
    if (pWnd == nullptr || pWnd->GetSafeHwnd() == nullptr || m_pGroup == nullptr)
        return;
    // The window lives in the group, so it stays a descendant of the frame whether shown or not.
    if (::GetParent(pWnd->GetSafeHwnd()) != m_pGroup->GetSafeHwnd())
        ::SetParent(pWnd->GetSafeHwnd(), m_pGroup->GetSafeHwnd());
    if (m_bShown) {
        pWnd->MoveWindow(m_pGroup->GetPaneArea());
        pWnd->ShowWindow(SW_SHOW);
    } else {
        pWnd->ShowWindow(SW_HIDE);
    }
}

void CGkDockingPane::Close() {
    if (m_pManager != nullptr)
        m_pManager->ClosePane(this);
}
