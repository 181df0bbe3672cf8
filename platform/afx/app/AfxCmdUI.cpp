#include "AfxCmdUI.h"

#include "AfxCmdTarget.h"
#include "AfxMenu.h"
#include "AfxWnd.h"

// A menu item's state flags other than the ones a call changes, for ModifyMenu.
namespace {

UINT KeptMenuState(CMenu* pMenu, UINT nIndex) {
    UINT state = pMenu->GetMenuState(nIndex, MF_BYPOSITION);
    return state == static_cast<UINT>(-1) ? 0 : state & (MF_GRAYED | MF_DISABLED | MF_CHECKED);
}

} // namespace

void CCmdUI::Enable(BOOL bOn) {
    if (m_pMenu != nullptr) {
        // A pop-up's own item is left alone: its items decide.
        if (m_pSubMenu == nullptr)
            m_pMenu->EnableMenuItem(m_nIndex, MF_BYPOSITION | (bOn ? MF_ENABLED : (MF_DISABLED | MF_GRAYED)));
    } else if (m_pOther != nullptr && m_pOther->m_hWnd != nullptr) {
        m_pOther->EnableWindow(bOn);
    }
    m_bEnableChanged = TRUE;
}

void CCmdUI::SetCheck(int nCheck) {
    if (m_pMenu != nullptr && m_pSubMenu == nullptr)
        m_pMenu->CheckMenuItem(m_nIndex, MF_BYPOSITION | (nCheck != 0 ? MF_CHECKED : MF_UNCHECKED));
}

void CCmdUI::SetRadio(BOOL bOn) {
    if (m_pMenu == nullptr || m_pSubMenu != nullptr)
        return;
    if (bOn)
        m_pMenu->CheckMenuRadioItem(m_nIndex, m_nIndex, m_nIndex, MF_BYPOSITION);
    else
        m_pMenu->CheckMenuItem(m_nIndex, MF_BYPOSITION | MF_UNCHECKED);
}

void CCmdUI::SetText(LPCTSTR lpszText) {
    if (m_pMenu != nullptr) {
        if (m_pSubMenu == nullptr)
            m_pMenu->ModifyMenu(m_nIndex, MF_BYPOSITION | MF_STRING | KeptMenuState(m_pMenu, m_nIndex), m_nID,
                                lpszText);
    } else if (m_pOther != nullptr && m_pOther->m_hWnd != nullptr) {
        m_pOther->SetWindowText(lpszText);
    }
}

BOOL CCmdUI::DoUpdate(CCmdTarget* pTarget, BOOL bDisableIfNoHndler) {
    if (m_nID == 0 || pTarget == nullptr)
        return TRUE; // separators and unrouted items have nothing to update
    m_bEnableChanged = FALSE;
    BOOL bResult = pTarget->OnCmdMsg(m_nID, static_cast<int>(CN_UPDATE_COMMAND_UI), this, nullptr);
    if (bDisableIfNoHndler && !m_bEnableChanged) {
        AFX_CMDHANDLERINFO info{nullptr, nullptr};
        if (!pTarget->OnCmdMsg(m_nID, CN_COMMAND, this, &info))
            Enable(FALSE);
    }
    return bResult;
}

BOOL AFXAPI AfxCmdUIContinueRouting(CCmdUI* pCmdUI) {
    return pCmdUI->m_bContinueRouting;
}

void AFXAPI AfxCmdUIContinueRouting(CCmdUI* pCmdUI, BOOL bContinue) {
    pCmdUI->m_bContinueRouting = bContinue;
}
