#include "app/ui/dialogs/BigIcon.h"

#include "app/core/app/Resource.h"

namespace {

// The frame and the shadow take this many pixels beside the bitmap, each way.
constexpr int kBorder = 8;
constexpr int kShadow = 4;
constexpr int kBitmapOffset = 2;

} // namespace

CBigIcon::~CBigIcon() {
    if (m_hBitmap != nullptr) {
        ::DeleteObject(m_hBitmap);
    }
}

void CBigIcon::SizeToContent() {
    if (m_hBitmap == nullptr) {
        m_hBitmap = ::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDB_BIGICON));
    }
    BITMAP bm{};
    if (m_hBitmap == nullptr || ::GetObjectA(m_hBitmap, sizeof bm, &bm) == 0) {
        return;
    }
    m_sizeBitmap = {bm.bmWidth, bm.bmHeight};
    SetWindowPos(nullptr, 0, 0, bm.bmWidth + kBorder, bm.bmHeight + kBorder,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CBigIcon::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    HDC hDC = lpDrawItemStruct->hDC;
    RECT client{};
    GetClientRect(&client);
    const int w = client.right;
    const int h = client.bottom;

    const RECT frame{0, 0, w - kShadow, h - kShadow};
    ::FrameRect(hDC, &frame, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    const auto hShadow = static_cast<HBRUSH>(::GetStockObject(DKGRAY_BRUSH));
    const RECT right{w - kShadow, kShadow, w, h};
    const RECT bottom{kShadow, h - kShadow, w, h};
    ::FillRect(hDC, &right, hShadow);
    ::FillRect(hDC, &bottom, hShadow);

    if (m_hBitmap == nullptr) {
        return;
    }
    HDC hMemDC = ::CreateCompatibleDC(hDC);
    if (hMemDC == nullptr) {
        return;
    }
    HGDIOBJ hOld = ::SelectObject(hMemDC, m_hBitmap);
    ::BitBlt(hDC, kBitmapOffset, kBitmapOffset, m_sizeBitmap.cx, m_sizeBitmap.cy, hMemDC, 0, 0, SRCCOPY);
    ::SelectObject(hMemDC, hOld);
    ::DeleteDC(hMemDC);
}

BOOL CBigIcon::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message != WM_DRAWITEM) {
        return CButton::OnChildNotify(message, wParam, lParam, pResult);
    }
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    if (pResult != nullptr) {
        *pResult = TRUE;
    }
    return TRUE;
}
