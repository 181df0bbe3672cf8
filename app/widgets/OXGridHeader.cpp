#include "OXGridHeader.h"

IMPLEMENT_DYNAMIC(COXGridHeader, CHeaderCtrl)

BEGIN_MESSAGE_MAP(COXGridHeader, CHeaderCtrl)
ON_NOTIFY_REFLECT_EX(HDN_BEGINTRACKA, &COXGridHeader::OnRefuseResize)
ON_NOTIFY_REFLECT_EX(HDN_BEGINTRACKW, &COXGridHeader::OnRefuseResize)
ON_NOTIFY_REFLECT_EX(HDN_DIVIDERDBLCLICKA, &COXGridHeader::OnRefuseResize)
ON_NOTIFY_REFLECT_EX(HDN_DIVIDERDBLCLICKW, &COXGridHeader::OnRefuseResize)
ON_WM_SETCURSOR()
END_MESSAGE_MAP()

BOOL COXGridHeader::OnRefuseResize(NMHDR*, LRESULT* pResult) {
    if (m_bResizable)
        return FALSE; // the list's parent decides
    *pResult = TRUE;
    return TRUE;
}

BOOL COXGridHeader::OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message) {
    if (!m_bResizable) {
        // No sizing cursor over the dividers of a header that cannot be sized.
        ::SetCursor(::LoadCursor(nullptr, IDC_ARROW));
        return TRUE;
    }
    return CHeaderCtrl::OnSetCursor(pWnd, nHitTest, message);
}

void COXGridHeader::SetArrow(int nColumn, int nOrder) {
    if (nColumn < 0 || !m_hWnd)
        return;
    HDITEM item{};
    item.mask = HDI_FORMAT;
    if (!GetItem(nColumn, &item))
        return;
    item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
    if (nOrder > 0)
        item.fmt |= HDF_SORTUP;
    else if (nOrder < 0)
        item.fmt |= HDF_SORTDOWN;
    SetItem(nColumn, &item);
}

int COXGridHeader::SetSortColumn(int nColumn, int nOrder) {
    const int old = m_nSortColumn;
    if (old != nColumn)
        SetArrow(old, 0);
    m_nSortColumn = nColumn;
    m_nSortOrder = nColumn < 0 ? 0 : nOrder;
    SetArrow(nColumn, m_nSortOrder);
    return old;
}
