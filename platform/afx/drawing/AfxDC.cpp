#include "AfxDC.h"

#include <memory>
#include <unordered_map>

namespace {

// Temporary wrappers, released at idle time; they never delete what they wrap.
struct TempGdi {
    std::unordered_map<HDC, std::unique_ptr<CDC>> dcs;
    std::unordered_map<HGDIOBJ, std::unique_ptr<CGdiObject>> objects;
    void Clear() {
        for (auto& entry : dcs)
            entry.second->m_hDC = entry.second->m_hAttribDC = nullptr;
        for (auto& entry : objects)
            entry.second->m_hObject = nullptr;
        dcs.clear();
        objects.clear();
    }
    ~TempGdi() { Clear(); }
};

thread_local TempGdi t_tempGdi;

// A wrapper of the object's own kind, so that the typed SelectObject results are what they claim to be.
CGdiObject* TempObject(HGDIOBJ hObject) {
    if (hObject == nullptr)
        return nullptr;
    auto& slot = t_tempGdi.objects[hObject];
    if (!slot) {
        switch (::GetObjectType(hObject)) {
        case OBJ_PEN: slot = std::make_unique<CPen>(); break;
        case OBJ_BRUSH: slot = std::make_unique<CBrush>(); break;
        case OBJ_FONT: slot = std::make_unique<CFont>(); break;
        case OBJ_BITMAP: slot = std::make_unique<CBitmap>(); break;
        default: slot = std::make_unique<CGdiObject>(); break;
        }
        slot->m_hObject = hObject;
    }
    return slot.get();
}

template <class T> T* TempTyped(HGDIOBJ hObject) {
    return dynamic_cast<T*>(TempObject(hObject));
}

} // namespace

void AFXAPI AfxDeleteTempGdiMaps() {
    t_tempGdi.Clear();
}

CDC::~CDC() {
    if (m_bOwnsDC)
        DeleteDC();
}

CDC* PASCAL CDC::FromHandle(HDC hDC) {
    if (hDC == nullptr)
        return nullptr;
    auto& slot = t_tempGdi.dcs[hDC];
    if (!slot) {
        slot = std::make_unique<CDC>();
        slot->m_hDC = slot->m_hAttribDC = hDC;
    }
    return slot.get();
}

BOOL CDC::Attach(HDC hDC) {
    if (hDC == nullptr || m_hDC != nullptr)
        return FALSE;
    m_hDC = m_hAttribDC = hDC;
    return TRUE;
}

HDC CDC::Detach() {
    HDC hDC = m_hDC;
    m_hDC = m_hAttribDC = nullptr;
    m_bOwnsDC = FALSE;
    return hDC;
}

BOOL CDC::CreateCompatibleDC(CDC* pDC) {
    if (!Attach(::CreateCompatibleDC(pDC != nullptr ? pDC->m_hDC : nullptr)))
        return FALSE;
    m_bOwnsDC = TRUE;
    return TRUE;
}

BOOL CDC::DeleteDC() {
    if (m_hDC == nullptr)
        return FALSE;
    return ::DeleteDC(Detach());
}

CPen* CDC::SelectObject(CPen* pPen) {
    return TempTyped<CPen>(::SelectObject(m_hDC, pPen->m_hObject));
}

CBrush* CDC::SelectObject(CBrush* pBrush) {
    return TempTyped<CBrush>(::SelectObject(m_hDC, pBrush->m_hObject));
}

CFont* CDC::SelectObject(CFont* pFont) {
    return TempTyped<CFont>(::SelectObject(m_hDC, pFont->m_hObject));
}

CBitmap* CDC::SelectObject(CBitmap* pBitmap) {
    return TempTyped<CBitmap>(::SelectObject(m_hDC, pBitmap->m_hObject));
}

CGdiObject* CDC::SelectObject(CGdiObject* pObject) {
    return TempObject(::SelectObject(m_hDC, pObject->m_hObject));
}

HGDIOBJ CDC::SelectObject(HGDIOBJ hObject) {
    return ::SelectObject(m_hDC, hObject);
}

CGdiObject* CDC::SelectStockObject(int nIndex) {
    return TempObject(::SelectObject(m_hDC, ::GetStockObject(nIndex)));
}

int CDC::SaveDC() {
    return ::SaveDC(m_hDC);
}

BOOL CDC::RestoreDC(int nSavedDC) {
    return ::RestoreDC(m_hDC, nSavedDC);
}

int CDC::GetDeviceCaps(int nIndex) const {
    return ::GetDeviceCaps(m_hAttribDC, nIndex);
}

COLORREF CDC::SetTextColor(COLORREF crColor) {
    return ::SetTextColor(m_hDC, crColor);
}

COLORREF CDC::SetBkColor(COLORREF crColor) {
    return ::SetBkColor(m_hDC, crColor);
}

int CDC::SetBkMode(int nBkMode) {
    return ::SetBkMode(m_hDC, nBkMode);
}

COLORREF CDC::GetPixel(int x, int y) const {
    return ::GetPixel(m_hDC, x, y);
}

COLORREF CDC::SetPixel(int x, int y, COLORREF crColor) {
    return ::SetPixel(m_hDC, x, y, crColor);
}

int CDC::IntersectClipRect(LPCRECT lpRect) {
    return ::IntersectClipRect(m_hDC, lpRect->left, lpRect->top, lpRect->right, lpRect->bottom);
}

int CDC::GetClipBox(LPRECT lpRect) const {
    return ::GetClipBox(m_hDC, lpRect);
}

CPoint CDC::MoveTo(int x, int y) {
    POINT previous{0, 0};
    ::MoveToEx(m_hDC, x, y, &previous);
    return CPoint(previous);
}

BOOL CDC::LineTo(int x, int y) {
    return ::LineTo(m_hDC, x, y);
}

BOOL CDC::Rectangle(LPCRECT lpRect) {
    return ::Rectangle(m_hDC, lpRect->left, lpRect->top, lpRect->right, lpRect->bottom);
}

void CDC::FillRect(LPCRECT lpRect, CBrush* pBrush) {
    ::FillRect(m_hDC, lpRect, static_cast<HBRUSH>(*pBrush));
}

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF clr) {
    // The background colour paints an opaque text-less rectangle, as the framework always did.
    ::SetBkColor(m_hDC, clr);
    ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, lpRect, nullptr, 0, nullptr);
}

void CDC::FrameRect(LPCRECT lpRect, CBrush* pBrush) {
    ::FrameRect(m_hDC, lpRect, static_cast<HBRUSH>(*pBrush));
}

void CDC::Draw3dRect(LPCRECT lpRect, COLORREF clrTopLeft, COLORREF clrBottomRight) {
    int x = lpRect->left;
    int y = lpRect->top;
    int cx = lpRect->right - lpRect->left;
    int cy = lpRect->bottom - lpRect->top;
    CRect top(x, y, x + cx - 1, y + 1);
    CRect left(x, y, x + 1, y + cy - 1);
    CRect right(x + cx - 1, y, x + cx, y + cy);
    CRect bottom(x, y + cy - 1, x + cx, y + cy);
    FillSolidRect(&top, clrTopLeft);
    FillSolidRect(&left, clrTopLeft);
    FillSolidRect(&right, clrBottomRight);
    FillSolidRect(&bottom, clrBottomRight);
}

void CDC::DrawFocusRect(LPCRECT lpRect) {
    ::DrawFocusRect(m_hDC, lpRect);
}

BOOL CDC::DrawEdge(LPRECT lpRect, UINT nEdge, UINT nFlags) {
    return ::DrawEdge(m_hDC, lpRect, nEdge, nFlags);
}

BOOL CDC::TextOut(int x, int y, const CString& str) {
    return ::TextOutA(m_hDC, x, y, str, str.GetLength());
}

BOOL CDC::ExtTextOut(int x, int y, UINT nOptions, LPCRECT lpRect, const CString& str, const INT* lpDxWidths) {
    return ::ExtTextOutA(m_hDC, x, y, nOptions, lpRect, str, static_cast<UINT>(str.GetLength()), lpDxWidths);
}

int CDC::DrawText(const CString& str, LPRECT lpRect, UINT nFormat) {
    return ::DrawTextA(m_hDC, str, str.GetLength(), lpRect, nFormat);
}

int CDC::DrawText(LPCTSTR lpszString, int nCount, LPRECT lpRect, UINT nFormat) {
    return ::DrawTextA(m_hDC, lpszString, nCount, lpRect, nFormat);
}

CSize CDC::GetTextExtent(const CString& str) const {
    SIZE size{0, 0};
    ::GetTextExtentPoint32A(m_hAttribDC, str, str.GetLength(), &size);
    return CSize(size);
}

BOOL CDC::GetTextMetrics(LPTEXTMETRICA lpMetrics) const {
    return ::GetTextMetricsA(m_hAttribDC, lpMetrics);
}

BOOL CDC::BitBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, DWORD dwRop) {
    return ::BitBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC != nullptr ? pSrcDC->m_hDC : nullptr, xSrc, ySrc, dwRop);
}

BOOL CDC::StretchBlt(int x, int y, int nWidth, int nHeight, CDC* pSrcDC, int xSrc, int ySrc, int nSrcWidth,
                     int nSrcHeight, DWORD dwRop) {
    return ::StretchBlt(m_hDC, x, y, nWidth, nHeight, pSrcDC->m_hDC, xSrc, ySrc, nSrcWidth, nSrcHeight, dwRop);
}

BOOL CDC::PatBlt(int x, int y, int nWidth, int nHeight, DWORD dwRop) {
    return ::PatBlt(m_hDC, x, y, nWidth, nHeight, dwRop);
}
