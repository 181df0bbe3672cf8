// The basic controls' framework objects.
#include "AfxControls.h"

IMPLEMENT_DYNAMIC(CButton, CWnd)
IMPLEMENT_DYNAMIC(CStatic, CWnd)
IMPLEMENT_DYNAMIC(CProgressCtrl, CWnd)

namespace {

BOOL CreateControl(CWnd& control, LPCTSTR lpszClass, LPCTSTR lpszText, DWORD dwStyle, const RECT& rect,
                   CWnd* pParentWnd, UINT nID) {
    win32::RegisterDialogClasses();
    return control.CWnd::Create(lpszClass, lpszText, dwStyle | WS_CHILD, rect, pParentWnd, nID);
}

} // namespace

BOOL CButton::Create(LPCTSTR lpszCaption, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateControl(*this, "BUTTON", lpszCaption, dwStyle, rect, pParentWnd, nID);
}

BOOL CStatic::Create(LPCTSTR lpszText, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateControl(*this, "STATIC", lpszText, dwStyle, rect, pParentWnd, nID);
}

BOOL CProgressCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateControl(*this, PROGRESS_CLASS, "", dwStyle, rect, pParentWnd, nID);
}

CProgressCtrl::~CProgressCtrl() {
    if (m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this)
        ::DestroyWindow(UnsubclassWindow());
}

void CProgressCtrl::GetRange(int& nLower, int& nUpper) const {
    PBRANGE range{};
    ::SendMessageA(m_hWnd, PBM_GETRANGE, TRUE, reinterpret_cast<LPARAM>(&range));
    nLower = range.iLow;
    nUpper = range.iHigh;
}
