// CScrollBar: the framework object of a scroll bar control, with typed helpers over its calls.
#pragma once

#include "AfxWnd.h"

class CScrollBar : public CWnd {
    DECLARE_DYNAMIC(CScrollBar)
public:
    // A window still attached is given back its own procedure before it is destroyed, so the control frees its
    // state.
    ~CScrollBar() override;
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    using CWnd::Create;

    int GetScrollPos() const { return ::GetScrollPos(m_hWnd, SB_CTL); }
    int SetScrollPos(int nPos, BOOL bRedraw = TRUE) { return ::SetScrollPos(m_hWnd, SB_CTL, nPos, bRedraw); }
    void GetScrollRange(LPINT lpMinPos, LPINT lpMaxPos) const { ::GetScrollRange(m_hWnd, SB_CTL, lpMinPos, lpMaxPos); }
    void SetScrollRange(int nMinPos, int nMaxPos, BOOL bRedraw = TRUE) {
        ::SetScrollRange(m_hWnd, SB_CTL, nMinPos, nMaxPos, bRedraw);
    }
    BOOL SetScrollInfo(LPSCROLLINFO lpScrollInfo, BOOL bRedraw = TRUE);
    BOOL GetScrollInfo(LPSCROLLINFO lpScrollInfo, UINT nMask = SIF_ALL) const;
    // The highest position the page leaves.
    int GetScrollLimit() const;
    BOOL EnableScrollBar(UINT nArrowFlags = ESB_ENABLE_BOTH) {
        return static_cast<BOOL>(::SendMessageA(m_hWnd, SBM_ENABLE_ARROWS, nArrowFlags, 0));
    }
    void ShowScrollBar(BOOL bShow = TRUE) { ShowWindow(bShow ? SW_SHOW : SW_HIDE); }
};
