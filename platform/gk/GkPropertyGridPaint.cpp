// The grid's painting: rows, glyphs, in-place buttons and the help area, in the theme's colours where an
// item's metrics are at "default".
#include "GkPropertyGrid.h"

#include <algorithm>

namespace {

constexpr int kIndent = 14;
constexpr int kGlyphSize = 9;
constexpr int kTextMargin = 3;

void DrawGlyph(CDC* pDC, int nLeft, const CRect& rcRow, BOOL bExpanded, COLORREF clrLine, COLORREF clrBack) {
    int x = nLeft + (kIndent - kGlyphSize) / 2;
    int y = rcRow.top + (rcRow.Height() - kGlyphSize) / 2;
    CRect rcBox(x, y, x + kGlyphSize, y + kGlyphSize);
    pDC->FillSolidRect(&rcBox, clrBack);
    CBrush brush;
    brush.CreateSolidBrush(clrLine);
    pDC->FrameRect(&rcBox, &brush);
    int yMid = y + kGlyphSize / 2;
    int xMid = x + kGlyphSize / 2;
    pDC->FillSolidRect(CRect(x + 2, yMid, x + kGlyphSize - 2, yMid + 1), clrLine);
    if (!bExpanded)
        pDC->FillSolidRect(CRect(xMid, y + 2, xMid + 1, y + kGlyphSize - 2), clrLine);
}

} // namespace

BOOL CGkPropertyGrid::OnEraseBkgnd(CDC*) {
    return TRUE; // every pixel is painted in OnPaint
}

void CGkPropertyGrid::OnPaint() {
    CPaintDC dc(this);
    const GkPropertyGridColors& c = m_pPaintManager->GetColors();
    CRect rcClient;
    GetClientRect(&rcClient);
    HGDIOBJ hOldFont = dc.SelectObject(::GetStockObject(DEFAULT_GUI_FONT));
    dc.SetBkMode(TRANSPARENT);

    CRect rcRows = GetRowsRect();
    dc.FillSolidRect(&rcRows, c.clrWindow);
    DrawRows(&dc, rcRows, GetShownRows());
    if (m_nHelpHeight > 0) {
        CRect rcSplitter(rcClient.left, rcRows.bottom, rcClient.right, GetHelpRect().top);
        dc.FillSolidRect(&rcSplitter, c.clrCategoryBack);
        DrawHelp(&dc, GetHelpRect());
    }
    dc.SelectObject(hOldFont);
}

void CGkPropertyGrid::DrawRows(CDC* pDC, const CRect& rcRows, const std::vector<GkPropertyGridRow>& rows) {
    // A row cut by the help area is drawn whole and clipped, so its text keeps its place.
    int nSaved = pDC->SaveDC();
    pDC->IntersectClipRect(&rcRows);
    for (int nRow = m_nTopIndex; nRow < static_cast<int>(rows.size()); ++nRow) {
        CRect rcRow = GetRowRect(nRow);
        if (rcRow.IsRectEmpty())
            break;
        rcRow.bottom = rcRow.top + m_nRowHeight;
        DrawRow(pDC, rows[static_cast<size_t>(nRow)], rcRow);
    }
    pDC->RestoreDC(nSaved);
}

void CGkPropertyGrid::DrawRow(CDC* pDC, const GkPropertyGridRow& row, const CRect& rcRow) {
    const GkPropertyGridColors& c = m_pPaintManager->GetColors();
    const CGkPropertyGridItem* pItem = row.pItem;
    const CGkPropertyGridItemMetrics* pCaption = pItem->GetCaptionMetrics();
    const CGkPropertyGridItemMetrics* pValue = pItem->GetValueMetrics();
    const BOOL bSelected = pItem == m_pSelected;
    const int nGlyphLeft = row.nLevel * kIndent;
    const int nCellLeft = nGlyphLeft + kIndent;

    CRect rcGutter(rcRow.left, rcRow.top, nCellLeft, rcRow.bottom);
    pDC->FillSolidRect(&rcGutter, c.clrCategoryBack);
    if (HasExpandGlyph(pItem))
        DrawGlyph(pDC, nGlyphLeft, rcRow, pItem->IsExpanded(), c.clrText, c.clrWindow);

    if (pItem->IsCategory()) {
        CRect rcCell(nCellLeft, rcRow.top, rcRow.right, rcRow.bottom);
        pDC->FillSolidRect(&rcCell, bSelected ? c.clrHighlight : static_cast<COLORREF>(pCaption->m_clrBack));
        pDC->SetTextColor(bSelected ? c.clrHighlightText : static_cast<COLORREF>(pCaption->m_clrFore));
        CFont* pOld = pDC->SelectObject(&m_fontBold);
        CRect rcText(rcCell.left + kTextMargin, rcCell.top, rcCell.right, rcCell.bottom);
        pDC->DrawText(pItem->GetCaption(), &rcText, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
        pDC->SelectObject(pOld);
        return;
    }

    const int nSplit = std::max(GetSplitterPos(), nCellLeft + 1);
    CRect rcCaption(nCellLeft, rcRow.top, nSplit, rcRow.bottom - 1);
    pDC->FillSolidRect(&rcCaption, bSelected ? c.clrHighlight : static_cast<COLORREF>(pCaption->m_clrBack));
    pDC->SetTextColor(bSelected ? c.clrHighlightText : static_cast<COLORREF>(pCaption->m_clrFore));
    CRect rcText(rcCaption.left + kTextMargin, rcCaption.top, rcCaption.right - kTextMargin, rcCaption.bottom);
    pDC->DrawText(pItem->GetCaption(), &rcText, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);

    CRect rcValue(nSplit + 1, rcRow.top, rcRow.right, rcRow.bottom - 1);
    pDC->FillSolidRect(&rcValue, pValue->m_clrBack);
    // A value may run up to a pixel from the grid's edge; only the caption needs room before the line.
    CRect rcValueText(rcValue.left + kTextMargin, rcValue.top, rcValue.right - 1, rcValue.bottom);
    if (AreButtonsShown(pItem) && pItem->GetInplaceButtons()->GetCount() > 0) {
        std::vector<CRect> rects = GetButtonRects(pItem, rcRow);
        rcValueText.right = std::min(rcValueText.right, rects.front().left - kTextMargin);
    }
    pDC->SetTextColor(pValue->m_clrFore);
    const BOOL bBold = m_bHighlightChangedItems && pItem->IsValueChanged();
    CFont* pOld = bBold ? pDC->SelectObject(&m_fontBold) : nullptr;
    pDC->DrawText(pItem->GetValue(), &rcValueText, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    if (pOld)
        pDC->SelectObject(pOld);

    // Grid lines: under the row and between the cells.
    pDC->FillSolidRect(CRect(nCellLeft, rcRow.bottom - 1, rcRow.right, rcRow.bottom), c.clrLine);
    pDC->FillSolidRect(CRect(nSplit, rcRow.top, nSplit + 1, rcRow.bottom), c.clrLine);

    if (AreButtonsShown(pItem))
        DrawInplaceButtons(pDC, pItem, rcRow);
}

void CGkPropertyGrid::DrawInplaceButtons(CDC* pDC, const CGkPropertyGridItem* pItem, const CRect& rcRow) {
    const GkPropertyGridColors& c = m_pPaintManager->GetColors();
    const CGkPropertyGridInplaceButtons* pButtons = pItem->GetInplaceButtons();
    std::vector<CRect> rects = GetButtonRects(pItem, rcRow);
    for (int i = 0; i < pButtons->GetCount(); ++i) {
        CRect rcButton = rects[static_cast<size_t>(i)];
        pDC->FillSolidRect(&rcButton, c.clrButtonFace);
        pDC->DrawEdge(&rcButton, EDGE_RAISED, BF_RECT);
        pDC->SetTextColor(c.clrButtonText);
        CString strCaption = pButtons->GetAt(i)->GetCaption();
        CRect rcText(rcButton);
        rcText.DeflateRect(2, 0);
        pDC->DrawText(strCaption.IsEmpty() ? CString("...") : strCaption, &rcText,
                      DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
}

void CGkPropertyGrid::DrawHelp(CDC* pDC, const CRect& rcHelp) {
    const GkPropertyGridColors& c = m_pPaintManager->GetColors();
    pDC->FillSolidRect(&rcHelp, c.clrHelpBack);
    if (!m_pSelected)
        return;
    pDC->SetTextColor(c.clrHelpText);
    CRect rcText(rcHelp.left + kTextMargin + 1, rcHelp.top + 2, rcHelp.right - kTextMargin, rcHelp.bottom - 2);
    CFont* pOld = pDC->SelectObject(&m_fontBold);
    int nHeight = pDC->DrawText(m_pSelected->GetCaption(), &rcText, DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
    pDC->SelectObject(pOld);
    rcText.top += nHeight + 1;
    if (rcText.top < rcText.bottom)
        pDC->DrawText(m_pSelected->GetDescription(), &rcText, DT_WORDBREAK | DT_NOPREFIX | DT_END_ELLIPSIS);
}
