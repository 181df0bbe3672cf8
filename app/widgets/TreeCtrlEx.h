// CTreeCtrlEx: a tree whose items carry check boxes in their state images, with an optional cascade of a
// check to the direct children, a check-change notification to the parent, and a per-item text colour and
// font drawn over the tree's own painting. Item data is the caller's and never read here.
#pragma once

#include "afxwin.h"

// Check states: the item's state-image index (state bits 0xF000 >> 12).
enum {
    TREE_CHECK_NOSTATE = 0,
    TREE_CHECK_UNCHECKED = 1,
    TREE_CHECK_CHECKED = 2,
    TREE_CHECK_UNCHECKABLE = 3,
};

// SetCheck actions.
enum { TREE_CHECK_ACTION_CHECK = 0, TREE_CHECK_ACTION_UNCHECK = 1, TREE_CHECK_ACTION_TOGGLE = 2 };

class CTreeCtrlEx : public CTreeCtrl {
    DECLARE_DYNAMIC(CTreeCtrlEx)
public:
    struct Color_Font {
        COLORREF color = 0xFFFFFFFF; // default: COLOR_WINDOWTEXT
        LOGFONTA logfont{};          // empty face name: the tree's own font
    };

    CTreeCtrlEx();
    ~CTreeCtrlEx() override;

    // Owner settings, written directly: 1 makes a check or uncheck follow to the direct children; 0 in
    // m_bCheckEnabled makes clicks and Space leave the checks alone.
    int m_nCascade = 0;
    int m_bCheckEnabled = 1;

    // Check: the state index stays 0 or 3; otherwise the new index is written and, with the cascade, the
    // direct children follow; a result of 1 or 2 is reported to the parent (WM_NOTIFY, wParam 0,
    // TVN_SETDISPINFOA with a TVITEMA: mask TVIF_STATE | TVIF_HANDLE, state 0x1000 or 0x2000, mask 0xF000).
    // Parents tell trees apart by the header's idFrom. FALSE only for a null item.
    BOOL SetCheck(HTREEITEM hItem, int nAction = TREE_CHECK_ACTION_CHECK);
    int GetCheckState(HTREEITEM hItem) const;
    BOOL IsChecked(HTREEITEM hItem) const { return GetCheckState(hItem) == TREE_CHECK_CHECKED; }
    BOOL IsUnchecked(HTREEITEM hItem) const { return GetCheckState(hItem) == TREE_CHECK_UNCHECKED; }
    BOOL IsBold(HTREEITEM hItem) const { return (GetItemState(hItem, TVIS_BOLD) & TVIS_BOLD) != 0; }

    // Depth first: the first child, else the next sibling, else the next sibling of the nearest ancestor with
    // one; null after the last item.
    HTREEITEM GetNextItemInOrder(HTREEITEM hItem) const;

    // Per-item colour and font drawn over the label; an item without an entry paints as the tree paints it.
    void SetItemColor(HTREEITEM hItem, COLORREF color);
    COLORREF GetItemColor(HTREEITEM hItem) const;
    void SetItemFont(HTREEITEM hItem, const LOGFONTA& logfont);
    BOOL GetItemFont(HTREEITEM hItem, LOGFONTA* pLogfont) const;
    void SetItemBold(HTREEITEM hItem, BOOL bBold);

protected:
    // Protected, not private, so that a derived tree can act on a click, key or focus change first.
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnSetFocus(CWnd* pOldWnd);
    void OnKillFocus(CWnd* pNewWnd);
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    BOOL OnDeleteItem(NMHDR* pNMHDR, LRESULT* pResult);
    DECLARE_MESSAGE_MAP()

    // The colour and font overdraw of the visible items, into a DC that already holds the tree's painting.
    virtual void DrawColorFont(CDC* pDC);

private:
    void SetCheckState(HTREEITEM hItem, int nState);
    void NotifyCheck(HTREEITEM hItem, int nState);

    CMap<HTREEITEM, HTREEITEM, Color_Font, const Color_Font&> m_mapColorFont;
};
