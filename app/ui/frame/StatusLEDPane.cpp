#include "app/ui/frame/StatusLEDPane.h"

#include <algorithm>

#include "GkStatusBar.h"
#include "app/ui/frame/MainFrameIds.h"

namespace {

// The images' background, which the pane's own shows through.
constexpr COLORREF kLedTransparent = RGB(0, 128, 128);

} // namespace

BOOL CBmpInfo::Load(UINT nResourceId, UINT nPlacement, COLORREF clrTransparent) {
    m_nResourceId = nResourceId;
    m_nPlacement = nPlacement;
    m_clrTransparent = clrTransparent;
    m_pBitmap.reset();
    m_size = CSize(0, 0);
    HBITMAP hBitmap = ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nResourceId));
    if (hBitmap == nullptr)
        return FALSE;
    m_pBitmap = std::make_unique<CBitmap>();
    m_pBitmap->Attach(hBitmap);
    BITMAP bm{};
    m_pBitmap->GetBitmap(&bm);
    m_size = CSize(bm.bmWidth, bm.bmHeight);
    return TRUE;
}

void CBmpInfo::Draw(CDC* pDC, const CRect& rcPlace) const {
    if (m_pBitmap == nullptr || m_size.cx <= 0 || m_size.cy <= 0)
        return;
    // At its own size, centred where the place is larger (else from its top left, clipped).
    const int x = rcPlace.left + std::max(0, (rcPlace.Width() - m_size.cx) / 2);
    const int y = rcPlace.top + std::max(0, (rcPlace.Height() - m_size.cy) / 2);
    const int cx = std::min(m_size.cx, static_cast<LONG>(rcPlace.right - x));
    const int cy = std::min(m_size.cy, static_cast<LONG>(rcPlace.bottom - y));
    if (cx <= 0 || cy <= 0)
        return;

    CDC imageDC;
    CDC maskDC;
    if (!imageDC.CreateCompatibleDC(pDC) || !maskDC.CreateCompatibleDC(pDC))
        return;
    // The mask: white where the image has its transparent colour, black elsewhere.
    CBitmap mask;
    if (!mask.CreateBitmap(m_size.cx, m_size.cy, 1, 1, nullptr))
        return;
    CBitmap* pOldImage = imageDC.SelectObject(m_pBitmap.get());
    CBitmap* pOldMask = maskDC.SelectObject(&mask);
    imageDC.SetBkColor(m_clrTransparent);
    maskDC.BitBlt(0, 0, m_size.cx, m_size.cy, &imageDC, 0, 0, SRCCOPY);

    // A copy of the image, black where it is transparent, so that OR adds only its own pixels.
    CDC copyDC;
    CBitmap copy;
    if (copyDC.CreateCompatibleDC(pDC) && copy.CreateCompatibleBitmap(pDC, m_size.cx, m_size.cy)) {
        CBitmap* pOldCopy = copyDC.SelectObject(&copy);
        copyDC.BitBlt(0, 0, m_size.cx, m_size.cy, &imageDC, 0, 0, SRCCOPY);
        copyDC.SetBkColor(RGB(0, 0, 0));
        copyDC.SetTextColor(RGB(255, 255, 255));
        copyDC.BitBlt(0, 0, m_size.cx, m_size.cy, &maskDC, 0, 0, SRCAND);

        // The pane: its pixels kept where the mask is white, cleared under the image; then the image added.
        const COLORREF clrOldBk = pDC->SetBkColor(RGB(255, 255, 255));
        const COLORREF clrOldText = pDC->SetTextColor(RGB(0, 0, 0));
        pDC->StretchBlt(x, y, cx, cy, &maskDC, 0, 0, cx, cy, SRCAND);
        pDC->StretchBlt(x, y, cx, cy, &copyDC, 0, 0, cx, cy, SRCPAINT);
        pDC->SetBkColor(clrOldBk);
        pDC->SetTextColor(clrOldText);
        copyDC.SelectObject(pOldCopy);
    }
    maskDC.SelectObject(pOldMask);
    imageDC.SelectObject(pOldImage);
}

void CStatusLEDPane::InitLeds() {
    m_Off.Load(IDB_LED_OFF, CBmpInfo::PlaceCentred, kLedTransparent);
    m_OnA.Load(IDB_LED_ON_A, CBmpInfo::PlaceCentred, kLedTransparent);
    m_OnB.Load(IDB_LED_ON_B, CBmpInfo::PlaceCentred, kLedTransparent);
    m_pCurrent = &m_Off;
}

const CBmpInfo& CStatusLEDPane::GetInfo(UINT nResourceId) const {
    if (nResourceId == IDB_LED_ON_A)
        return m_OnA;
    if (nResourceId == IDB_LED_ON_B)
        return m_OnB;
    return m_Off;
}

BOOL CStatusLEDPane::SetCurrent(UINT nResourceId) {
    const CBmpInfo* pNext = &GetInfo(nResourceId);
    if (pNext == m_pCurrent)
        return FALSE;
    m_pCurrent = pNext;
    return TRUE;
}

void CStatusLEDPane::OnDraw(CDC* pDC, CRect rcItem) {
    DrawBorders(pDC, rcItem);
    if (m_pCurrent == nullptr)
        return;
    CGkStatusBar* pBar = GetStatusBar();
    const int nHorz = pBar != nullptr ? pBar->GetHorzBorder() : 0;
    const int nVert = pBar != nullptr ? pBar->GetVertBorder() + 1 : 1;
    CRect rcPlace = rcItem;
    rcPlace.DeflateRect(nHorz, nVert);
    m_pCurrent->Draw(pDC, rcPlace);
}
