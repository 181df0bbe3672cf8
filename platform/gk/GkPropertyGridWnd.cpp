// The grid's window: creation, geometry, the scroll bar, mouse and keyboard, and in-place buttons.
#include "GkPropertyGrid.h"

#include <algorithm>

#include "GkTextMeasure.h"

namespace {

constexpr int kIndent = 14;        // gutter width per level, and the glyph's column
constexpr int kSplitterHeight = 3; // between the rows and the help area
constexpr int kSplitPercent = 50;  // the caption column's share of the width
constexpr int kButtonPadding = 10; // a button's width beyond its caption
constexpr int kMinButtonWidth = 16;
constexpr int kWheelRows = 3;

} // namespace

BEGIN_MESSAGE_MAP(CGkPropertyGrid, CWnd)
ON_WM_CREATE()
ON_WM_DESTROY()
ON_WM_PAINT()
ON_WM_ERASEBKGND()
ON_WM_SIZE()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONDBLCLK()
ON_WM_KEYDOWN()
ON_WM_VSCROLL()
ON_WM_MOUSEWHEEL()
END_MESSAGE_MAP()

BOOL CGkPropertyGrid::Create(const RECT& rect, CWnd* pParentWnd, UINT nID, DWORD dwStyle) {
    LPCTSTR lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursor(nullptr, IDC_ARROW));
    return CWnd::CreateEx(0, lpszClass, "", dwStyle | WS_VSCROLL, rect, pParentWnd, nID);
}

int CGkPropertyGrid::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CWnd::OnCreate(lpCreateStruct) == -1)
        return -1;
    LOGFONTA lf{};
    ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof(lf), &lf);
    lf.lfWeight = FW_BOLD;
    m_fontBold.CreateFontIndirect(&lf);
    int nTextHeight = CGkTextMeasure(::GetStockObject(DEFAULT_GUI_FONT)).GetTextHeight();
    if (nTextHeight > 0)
        m_nRowHeight = nTextHeight + 4;
    UpdateScrollBar();
    return 0;
}

void CGkPropertyGrid::OnDestroy() {
    m_fontBold.DeleteObject();
    CWnd::OnDestroy();
}

void CGkPropertyGrid::OnSize(UINT nType, int cx, int cy) {
    CWnd::OnSize(nType, cx, cy);
    UpdateScrollBar();
    Invalidate(FALSE);
}

CRect CGkPropertyGrid::GetRowsRect() const {
    CRect rc;
    if (m_hWnd)
        GetClientRect(&rc);
    if (m_nHelpHeight > 0)
        rc.bottom = std::max(rc.top, rc.bottom - m_nHelpHeight - kSplitterHeight);
    return rc;
}

CRect CGkPropertyGrid::GetHelpRect() const {
    CRect rc;
    if (!m_hWnd || m_nHelpHeight <= 0)
        return CRect();
    GetClientRect(&rc);
    rc.top = std::max(rc.top, rc.bottom - m_nHelpHeight);
    return rc;
}

int CGkPropertyGrid::GetSplitterPos() const {
    CRect rc;
    if (m_hWnd)
        GetClientRect(&rc);
    return rc.Width() * kSplitPercent / 100;
}

int CGkPropertyGrid::GetPageRows() const {
    return std::max(1, GetRowsRect().Height() / m_nRowHeight);
}

CRect CGkPropertyGrid::GetRowRect(int nRow) const {
    CRect rcRows = GetRowsRect();
    if (nRow < m_nTopIndex)
        return CRect();
    int nTop = rcRows.top + (nRow - m_nTopIndex) * m_nRowHeight;
    if (nTop >= rcRows.bottom)
        return CRect();
    return CRect(rcRows.left, nTop, rcRows.right, std::min(nTop + m_nRowHeight, static_cast<int>(rcRows.bottom)));
}

int CGkPropertyGrid::FindRow(const CGkPropertyGridItem* pItem) const {
    std::vector<GkPropertyGridRow> rows = GetShownRows();
    for (size_t i = 0; i < rows.size(); ++i)
        if (rows[i].pItem == pItem)
            return static_cast<int>(i);
    return -1;
}

BOOL CGkPropertyGrid::AreButtonsShown(const CGkPropertyGridItem* pItem) const {
    return m_bShowInplaceButtonsAlways || pItem == m_pSelected;
}

std::vector<CRect> CGkPropertyGrid::GetButtonRects(const CGkPropertyGridItem* pItem, const CRect& rcRow) const {
    const CGkPropertyGridInplaceButtons* pButtons = pItem->GetInplaceButtons();
    const size_t nButtons = static_cast<size_t>(pButtons->GetCount());
    std::vector<int> widths(nButtons);
    CGkTextMeasure measure(::GetStockObject(DEFAULT_GUI_FONT));
    int nTotal = 0;
    for (size_t i = 0; i < nButtons; ++i) {
        CString strCaption = pButtons->GetAt(static_cast<int>(i))->GetCaption();
        widths[i] = std::max(kMinButtonWidth, static_cast<int>(measure.GetTextExtent(strCaption).cx) + kButtonPadding);
        nTotal += widths[i];
    }
    // The buttons stay within the value cell: in a narrow one they share it in proportion, captions cut.
    const int nRoom = std::max(0, static_cast<int>(rcRow.right) - (GetSplitterPos() + 1));
    if (nTotal > nRoom && nTotal > 0) {
        int nLeft = nRoom;
        for (size_t i = 0; i < nButtons; ++i) {
            const int nShare = static_cast<int>(static_cast<long long>(widths[i]) * nRoom / nTotal);
            widths[i] = i + 1 < nButtons ? nShare : nLeft;
            nLeft -= widths[i];
        }
    }
    std::vector<CRect> rects(nButtons);
    int nRight = rcRow.right;
    for (size_t i = nButtons; i-- > 0;) {
        rects[i] = CRect(nRight - widths[i], rcRow.top + 1, nRight, rcRow.bottom - 1);
        nRight -= widths[i];
    }
    return rects;
}

CRect CGkPropertyGrid::GetInplaceButtonRect(const CGkPropertyGridInplaceButton* pButton) const {
    const CGkPropertyGridItem* pItem = pButton ? pButton->GetItem() : nullptr;
    if (!pItem || pItem->GetGrid() != this || !AreButtonsShown(pItem))
        return CRect();
    CRect rcRow = GetRowRect(FindRow(pItem));
    if (rcRow.IsRectEmpty())
        return CRect();
    std::vector<CRect> rects = GetButtonRects(pItem, rcRow);
    const CGkPropertyGridInplaceButtons* pButtons = pItem->GetInplaceButtons();
    for (int i = 0; i < pButtons->GetCount(); ++i)
        if (pButtons->GetAt(i) == pButton)
            return rects[static_cast<size_t>(i)];
    return CRect();
}

GkPropertyGridHit CGkPropertyGrid::HitTest(CPoint point, CGkPropertyGridItem** ppItem,
                                           CGkPropertyGridInplaceButton** ppButton) const {
    if (ppItem)
        *ppItem = nullptr;
    if (ppButton)
        *ppButton = nullptr;
    if (GetHelpRect().PtInRect(point))
        return gkHitHelp;
    CRect rcRows = GetRowsRect();
    if (!rcRows.PtInRect(point))
        return gkHitNowhere;
    std::vector<GkPropertyGridRow> rows = GetShownRows();
    int nRow = m_nTopIndex + (point.y - rcRows.top) / m_nRowHeight;
    if (nRow < 0 || nRow >= static_cast<int>(rows.size()))
        return gkHitNowhere;
    const GkPropertyGridRow& row = rows[static_cast<size_t>(nRow)];
    if (ppItem)
        *ppItem = row.pItem;
    int nGlyphLeft = row.nLevel * kIndent;
    if (point.x < nGlyphLeft + kIndent)
        return point.x >= nGlyphLeft && HasExpandGlyph(row.pItem) ? gkHitGlyph : gkHitCaption;
    if (row.pItem->IsCategory())
        return gkHitCaption;
    if (AreButtonsShown(row.pItem)) {
        std::vector<CRect> rects = GetButtonRects(row.pItem, GetRowRect(nRow));
        for (size_t i = 0; i < rects.size(); ++i) {
            if (rects[i].PtInRect(point)) {
                if (ppButton)
                    *ppButton = row.pItem->GetInplaceButtons()->GetAt(static_cast<int>(i));
                return gkHitButton;
            }
        }
    }
    return point.x < GetSplitterPos() ? gkHitCaption : gkHitValue;
}

void CGkPropertyGrid::UpdateScrollBar() {
    if (!m_hWnd)
        return;
    int nRows = static_cast<int>(GetShownRows().size());
    int nPage = GetPageRows();
    m_nTopIndex = std::max(0, std::min(m_nTopIndex, nRows - nPage));
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    // The bar shows only while rows lie beyond the page, as a list box's does: rows that fit get the width.
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMin = 0;
    si.nMax = std::max(0, nRows - 1);
    si.nPage = static_cast<UINT>(nPage);
    si.nPos = m_nTopIndex;
    ::SetScrollInfo(m_hWnd, SB_VERT, &si, TRUE);
}

void CGkPropertyGrid::SetTopIndex(int nTopIndex) {
    m_nTopIndex = std::max(0, nTopIndex);
    UpdateScrollBar();
    if (m_hWnd)
        Invalidate(FALSE);
}

void CGkPropertyGrid::EnsureVisible(int nRow) {
    if (nRow < 0)
        return;
    int nPage = GetPageRows();
    if (nRow < m_nTopIndex)
        SetTopIndex(nRow);
    else if (nRow >= m_nTopIndex + nPage)
        SetTopIndex(nRow - nPage + 1);
}

void CGkPropertyGrid::SelectRow(int nRow) {
    std::vector<GkPropertyGridRow> rows = GetShownRows();
    if (rows.empty())
        return;
    nRow = std::max(0, std::min(nRow, static_cast<int>(rows.size()) - 1));
    SetSelectedItem(rows[static_cast<size_t>(nRow)].pItem);
    EnsureVisible(nRow);
}

void CGkPropertyGrid::ToggleExpanded(CGkPropertyGridItem* pItem) {
    if (pItem->IsExpanded())
        pItem->Collapse();
    else
        pItem->Expand();
}

BOOL CGkPropertyGrid::PressInplaceButton(CGkPropertyGridInplaceButton* pButton) {
    CGkPropertyGridItem* pItem = pButton ? pButton->GetItem() : nullptr;
    if (!m_hWnd || !pItem || pItem->GetGrid() != this || !IsItemShown(pItem))
        return FALSE;
    CWnd* pOwner = GetOwner();
    if (!pOwner)
        return FALSE;
    pOwner->SendMessage(GKWM_PROPERTYGRID_NOTIFY, GK_PGN_INPLACEBUTTONDOWN, reinterpret_cast<LPARAM>(pButton));
    return TRUE;
}

void CGkPropertyGrid::OnLButtonDown(UINT, CPoint point) {
    SetFocus();
    CGkPropertyGridItem* pItem = nullptr;
    CGkPropertyGridInplaceButton* pButton = nullptr;
    switch (HitTest(point, &pItem, &pButton)) {
    case gkHitGlyph:
        SetSelectedItem(pItem);
        ToggleExpanded(pItem);
        break;
    case gkHitButton:
        SetSelectedItem(pItem);
        PressInplaceButton(pButton);
        break;
    case gkHitCaption:
    case gkHitValue: SetSelectedItem(pItem); break;
    default: break;
    }
}

void CGkPropertyGrid::OnLButtonDblClk(UINT, CPoint point) {
    CGkPropertyGridItem* pItem = nullptr;
    CGkPropertyGridInplaceButton* pButton = nullptr;
    GkPropertyGridHit hit = HitTest(point, &pItem, &pButton);
    // The second click of a double-click on a button is a press of its own; on the glyph it toggles back what
    // the first click toggled.
    if (hit == gkHitButton)
        PressInplaceButton(pButton);
    else if ((hit == gkHitCaption || hit == gkHitValue || hit == gkHitGlyph) && HasExpandGlyph(pItem))
        ToggleExpanded(pItem);
}

void CGkPropertyGrid::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    int nRow = m_pSelected ? FindRow(m_pSelected) : -1;
    switch (nChar) {
    case VK_UP: SelectRow(nRow < 0 ? 0 : nRow - 1); break;
    case VK_DOWN: SelectRow(nRow + 1); break;
    case VK_PRIOR: SelectRow(std::max(0, nRow) - GetPageRows()); break;
    case VK_NEXT: SelectRow(std::max(0, nRow) + GetPageRows()); break;
    case VK_HOME: SelectRow(0); break;
    case VK_END: SelectRow(static_cast<int>(GetShownRows().size()) - 1); break;
    case VK_ADD:
    case VK_RIGHT:
        if (m_pSelected && HasExpandGlyph(m_pSelected))
            m_pSelected->Expand();
        break;
    case VK_SUBTRACT:
    case VK_LEFT:
        if (m_pSelected && m_pSelected->IsExpanded())
            m_pSelected->Collapse();
        else if (nChar == VK_LEFT && m_pSelected && m_pSelected->GetParentItem())
            m_pSelected->GetParentItem()->Select();
        break;
    default: CWnd::OnKeyDown(nChar, nRepCnt, nFlags); break;
    }
}

void CGkPropertyGrid::OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar) {
    int nTop = m_nTopIndex;
    switch (nSBCode) {
    case SB_LINEUP: --nTop; break;
    case SB_LINEDOWN: ++nTop; break;
    case SB_PAGEUP: nTop -= GetPageRows(); break;
    case SB_PAGEDOWN: nTop += GetPageRows(); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: nTop = static_cast<int>(nPos); break;
    case SB_TOP: nTop = 0; break;
    case SB_BOTTOM: nTop = static_cast<int>(GetShownRows().size()); break;
    default: return;
    }
    SetTopIndex(nTop);
}

BOOL CGkPropertyGrid::OnMouseWheel(UINT, short zDelta, CPoint) {
    SetTopIndex(m_nTopIndex - zDelta / WHEEL_DELTA * kWheelRows);
    return TRUE;
}
