#include "AfxHeaderCtrl.h"

#include "AfxImageList.h"

IMPLEMENT_DYNAMIC(CHeaderCtrl, CWnd)

CHeaderCtrl::~CHeaderCtrl() {
    if (m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this)
        ::DestroyWindow(UnsubclassWindow());
}

BOOL CHeaderCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    win32::RegisterDialogClasses();
    return CWnd::Create(WC_HEADERA, "", dwStyle | WS_CHILD, rect, pParentWnd, nID);
}

BOOL CHeaderCtrl::GetOrderArray(LPINT piArray, int iCount) const {
    if (iCount < 0)
        iCount = GetItemCount();
    return static_cast<BOOL>(
        ::SendMessageA(m_hWnd, HDM_GETORDERARRAY, static_cast<WPARAM>(iCount), reinterpret_cast<LPARAM>(piArray)));
}

HIMAGELIST CHeaderCtrl::SetImageList(CImageList* pImageList) {
    return reinterpret_cast<HIMAGELIST>(::SendMessageA(
        m_hWnd, HDM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(pImageList ? pImageList->GetSafeHandle() : nullptr)));
}

void CHeaderCtrl::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CHeaderCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message != WM_DRAWITEM)
        return CWnd::OnChildNotify(message, wParam, lParam, pResult);
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    *pResult = TRUE;
    return TRUE;
}
