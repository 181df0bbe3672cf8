#include "OXGridEdit.h"

#include <algorithm>

IMPLEMENT_DYNAMIC(COXGridEdit, CEdit)

BEGIN_MESSAGE_MAP(COXGridEdit, CEdit)
ON_WM_KEYDOWN()
ON_WM_CHAR()
ON_WM_WINDOWPOSCHANGING()
ON_WM_SIZE()
END_MESSAGE_MAP()

void COXGridEdit::ClearPlacement() {
    m_bForcePosition = m_bForceHeight = m_bWidthFollowsText = FALSE;
    m_bNoLimit = TRUE;
}

void COXGridEdit::ApplyPlacement() {
    if (m_hWnd)
        SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void COXGridEdit::KeepText(const CString& text) {
    m_strSavedText = text;
    m_bRestoreText = TRUE;
    if (m_hWnd)
        SetWindowText(text);
}

void COXGridEdit::OnSize(UINT nType, int cx, int cy) {
    CEdit::OnSize(nType, cx, cy);
    if (!m_bRestoreText)
        return;
    m_bRestoreText = FALSE;
    int start = 0, end = 0;
    GetSel(start, end);
    SetWindowText(m_strSavedText);
    SetSel(start, end);
}

void COXGridEdit::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    if (nChar == VK_TAB || nChar == VK_UP || nChar == VK_DOWN || nChar == VK_INSERT) {
        m_nEndKey = nChar;
        m_bShift = ::GetKeyState(VK_SHIFT) < 0;
        m_bCtrl = ::GetKeyState(VK_CONTROL) < 0;
        if (CWnd* list = GetParent())
            list->SetFocus(); // losing the focus ends the label edit
        return;
    }
    CEdit::OnKeyDown(nChar, nRepCnt, nFlags);
    if (m_bWidthFollowsText && nChar == VK_DELETE)
        ApplyPlacement();
}

void COXGridEdit::OnChar(UINT nChar, UINT nRepCnt, UINT nFlags) {
    CEdit::OnChar(nChar, nRepCnt, nFlags);
    if (m_bWidthFollowsText)
        ApplyPlacement();
}

int COXGridEdit::TextWidth() {
    CString text;
    GetWindowText(text);
    CClientDC dc(this);
    HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT));
    HGDIOBJ old = font ? ::SelectObject(dc.GetSafeHdc(), font) : nullptr;
    const int width = dc.GetTextExtent(text).cx;
    if (old)
        ::SelectObject(dc.GetSafeHdc(), old);
    return width;
}

void COXGridEdit::OnWindowPosChanging(WINDOWPOS* lpwndpos) {
    CEdit::OnWindowPosChanging(lpwndpos);
    if (m_bForcePosition) {
        lpwndpos->x = m_forcedPosition.x;
        lpwndpos->y = m_forcedPosition.y;
        lpwndpos->flags &= ~SWP_NOMOVE;
    }
    if (m_bForceHeight) {
        lpwndpos->cy = m_nForcedHeight;
        lpwndpos->flags &= ~SWP_NOSIZE;
    }
    if (m_bWidthFollowsText) {
        lpwndpos->cx = TextWidth() + m_nWidthMargin;
        lpwndpos->flags &= ~SWP_NOSIZE;
    }
    if (!m_bNoLimit && lpwndpos->x + lpwndpos->cx > m_nRightLimit) {
        lpwndpos->cx = std::max(m_nRightLimit - lpwndpos->x, 0);
        lpwndpos->flags &= ~SWP_NOSIZE;
    }
}
