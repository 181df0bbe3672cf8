#include "GkStatusBarPane.h"

#include "GkStatusBar.h"

int CGkStatusBarPane::GetIndex() const {
    if (!m_pStatusBar)
        return -1;
    for (int i = 0; i < m_pStatusBar->GetPaneCount(); ++i)
        if (m_pStatusBar->GetPane(i) == this)
            return i;
    return -1;
}

void CGkStatusBarPane::SetText(LPCTSTR lpszText) {
    CString strText = lpszText ? lpszText : "";
    if (strText == m_strText)
        return;
    m_strText = strText;
    Redraw();
}

void CGkStatusBarPane::SetWidth(int cxWidth) {
    m_cxWidth = cxWidth < 0 ? 0 : cxWidth;
    if (m_pStatusBar)
        m_pStatusBar->RepaintAll(); // the panes after it move
}

void CGkStatusBarPane::SetStyle(UINT nStyle) {
    if (nStyle == m_nStyle)
        return;
    const BOOL bLayout = ((nStyle ^ m_nStyle) & SBPS_STRETCH) != 0;
    m_nStyle = nStyle;
    if (bLayout && m_pStatusBar)
        m_pStatusBar->RepaintAll();
    else
        Redraw();
}

void CGkStatusBarPane::SetEnabled(BOOL bEnabled) {
    SetStyle(bEnabled ? (m_nStyle & ~SBPS_DISABLED) : (m_nStyle | SBPS_DISABLED));
}

void CGkStatusBarPane::SetTextColor(COLORREF clrText) {
    if (clrText == m_clrText)
        return;
    m_clrText = clrText;
    Redraw();
}

COLORREF CGkStatusBarPane::GetTextColor() const {
    return m_clrText == CLR_DEFAULT ? ::GetSysColor(COLOR_BTNTEXT) : m_clrText;
}

CRect CGkStatusBarPane::GetRect() const {
    CRect rc;
    int nIndex = GetIndex();
    if (nIndex >= 0)
        m_pStatusBar->GetItemRect(nIndex, &rc);
    return rc;
}

void CGkStatusBarPane::Redraw() const {
    int nIndex = GetIndex();
    if (nIndex >= 0)
        m_pStatusBar->RedrawPane(nIndex);
}

void CGkStatusBarPane::OnDraw(CDC* pDC, CRect rcItem) {
    DrawBorders(pDC, rcItem);
    if (IsEnabled())
        DrawPaneText(pDC, rcItem);
}

void CGkStatusBarPane::DrawBorders(CDC* pDC, const CRect& rcItem) const {
    if (m_nStyle & SBPS_NOBORDERS)
        return;
    pDC->Draw3dRect(&rcItem, ::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNHIGHLIGHT));
}

void CGkStatusBarPane::DrawPaneText(CDC* pDC, const CRect& rcItem) const {
    CRect rcText = rcItem;
    rcText.DeflateRect(GK_STATUSBAR_HORZBORDER, GK_STATUSBAR_VERTBORDER);
    pDC->SetBkMode(TRANSPARENT);
    pDC->SetTextColor(GetTextColor());
    pDC->DrawText(m_strText, &rcText, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
}
