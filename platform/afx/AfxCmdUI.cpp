#include "AfxCmdUI.h"

#include "AfxCmdTarget.h"

void CCmdUI::Enable(BOOL) {
    m_bEnableChanged = TRUE;
}

void CCmdUI::SetCheck(int) {}

void CCmdUI::SetRadio(BOOL) {}

void CCmdUI::SetText(LPCTSTR) {}

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
