// COXGridHeader: the grid list's header. It can refuse resizing (no tracking, no divider double-click, no
// sizing cursor), and shows which column the list is sorted by with an arrow, up for ascending.
#pragma once

#include "afxwin.h"

class COXGridHeader : public CHeaderCtrl {
    DECLARE_DYNAMIC(COXGridHeader)
public:
    void SetResizable(BOOL bResizable) { m_bResizable = bResizable; }
    BOOL IsResizable() const { return m_bResizable; }
    // nOrder 1 ascending, -1 descending, 0 none; returns the former sort column. The former column loses its
    // arrow.
    int SetSortColumn(int nColumn, int nOrder);
    int GetSortColumn() const { return m_nSortColumn; }
    int GetSortOrder() const { return m_nSortOrder; }

protected:
    BOOL OnRefuseResize(NMHDR* pNMHDR, LRESULT* pResult);
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);
    DECLARE_MESSAGE_MAP()

private:
    void SetArrow(int nColumn, int nOrder);

    BOOL m_bResizable = TRUE;
    int m_nSortColumn = -1;
    int m_nSortOrder = 0;
};
