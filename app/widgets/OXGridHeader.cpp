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

void COXGridHeader::SetOwnerDrawn(int nColumn, BOOL bOwnerDrawn) {
    if (nColumn < 0 || !m_hWnd)
        return;
    HDITEM item{};
    item.mask = HDI_FORMAT;
    if (!GetItem(nColumn, &item))
        return;
    item.fmt &= ~(HDF_OWNERDRAW | HDF_STRING | HDF_SORTUP | HDF_SORTDOWN);
    item.fmt |= bOwnerDrawn ? HDF_OWNERDRAW : HDF_STRING;
    SetItem(nColumn, &item);
}

int COXGridHeader::SetSortColumn(int nColumn, int nOrder) {
    const int old = m_nSortColumn;
    if (old != nColumn)
        SetOwnerDrawn(old, FALSE);
    m_nSortColumn = nColumn;
    m_nSortOrder = nColumn < 0 ? 0 : nOrder;
    SetOwnerDrawn(nColumn, m_nSortOrder != 0);
    if (m_hWnd)
        Invalidate();
    return old;
}

void COXGridHeader::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    CDC* pDC = CDC::FromHandle(lpDrawItemStruct->hDC);
    const int column = static_cast<int>(lpDrawItemStruct->itemID);
    CRect rect(lpDrawItemStruct->rcItem);
    const int saved = pDC->SaveDC();
    pDC->IntersectClipRect(&rect);
    pDC->FillSolidRect(&rect, ::GetSysColor(COLOR_BTNFACE));
    CRect edge = rect;
    pDC->DrawEdge(&edge, (lpDrawItemStruct->itemState & ODS_SELECTED) ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
    // The header's own font, as its plain columns are drawn with.
    auto font = reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT));
    ::SelectObject(pDC->GetSafeHdc(), font != nullptr ? font : ::GetStockObject(DEFAULT_GUI_FONT));
    // The triangle's size follows the header's font: twice the width of a space.
    const int size = pDC->GetTextExtent(" ").cx * 2;
    char text[256] = {};
    HDITEM item{};
    item.mask = HDI_TEXT | HDI_FORMAT;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    GetItem(column, &item);
    UINT align = DT_LEFT;
    if ((item.fmt & HDF_JUSTIFYMASK) == HDF_RIGHT)
        align = DT_RIGHT;
    else if ((item.fmt & HDF_JUSTIFYMASK) == HDF_CENTER)
        align = DT_CENTER;
    CRect label(rect.left + size, rect.top, rect.right - 3 * size, rect.bottom);
    pDC->SetBkMode(TRANSPARENT);
    pDC->SetTextColor(::GetSysColor(COLOR_BTNTEXT));
    if (label.right > label.left)
        pDC->DrawText(text, -1, &label, align | DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER);
    DrawTriangle(pDC, rect, size);
    pDC->RestoreDC(saved);
}

void COXGridHeader::DrawTriangle(CDC* pDC, const CRect& item, int nSize) {
    if (m_nSortOrder == 0 || nSize < 2)
        return;
    // A triangle nSize wide and high, its right corner nSize from the item's right edge, lit from the top
    // left: the edges that face the light in highlight, the others in shadow.
    const int right = item.right - nSize;
    const int left = right - nSize;
    const int middle = (left + right) / 2;
    const int top = item.top + (item.Height() - nSize) / 2;
    const int bottom = top + nSize;
    CPen light(PS_SOLID, 1, ::GetSysColor(COLOR_BTNHIGHLIGHT));
    CPen shadow(PS_SOLID, 1, ::GetSysColor(COLOR_BTNSHADOW));
    CPen* old = pDC->SelectObject(&shadow);
    if (m_nSortOrder > 0) {
        // Up: the apex at the top.
        pDC->MoveTo(middle, top);
        pDC->LineTo(left, bottom);
        pDC->SelectObject(&light);
        pDC->LineTo(right, bottom);
        pDC->LineTo(middle, top);
    } else {
        // Down: the apex at the bottom.
        pDC->MoveTo(right, top);
        pDC->LineTo(left, top);
        pDC->LineTo(middle, bottom);
        pDC->SelectObject(&light);
        pDC->LineTo(right, top);
    }
    pDC->SelectObject(old);
}
