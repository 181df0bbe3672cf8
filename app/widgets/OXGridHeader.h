// COXGridHeader: the grid list's header. It can refuse resizing (no tracking, no divider double-click, no
// sizing cursor), and draws the column the list is sorted by itself, with a triangle near its right edge, up
// for ascending; the other columns are the header's plain ones.
#pragma once

#include "afxwin.h"

class COXGridHeader : public CHeaderCtrl {
    DECLARE_DYNAMIC(COXGridHeader)
public:
    void SetResizable(BOOL bResizable) { m_bResizable = bResizable; }
    BOOL IsResizable() const { return m_bResizable; }
    // nOrder 1 ascending, -1 descending, 0 none; returns the former sort column, which goes back to plain
    // drawing.
    int SetSortColumn(int nColumn, int nOrder);
    int GetSortColumn() const { return m_nSortColumn; }
    int GetSortOrder() const { return m_nSortOrder; }

    // The sort column: its face, its text with an ellipsis in its alignment, and the triangle.
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;

protected:
    BOOL OnRefuseResize(NMHDR* pNMHDR, LRESULT* pResult);
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    DECLARE_MESSAGE_MAP()

private:
    // The column drawn by the header (nOwnerDrawn FALSE) or by DrawItem.
    void SetOwnerDrawn(int nColumn, BOOL bOwnerDrawn);
    void DrawTriangle(CDC* pDC, const CRect& item, int nSize);

    BOOL m_bResizable = TRUE;
    int m_nSortColumn = -1;
    int m_nSortOrder = 0;
};
