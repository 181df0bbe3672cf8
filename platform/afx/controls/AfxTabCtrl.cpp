// The tab control's framework object.
#include "AfxTabCtrl.h"

#include "AfxCommonControl.h"
#include "AfxToolTipCtrl.h"

IMPLEMENT_DYNAMIC(CTabCtrl, CWnd)

CTabCtrl::~CTabCtrl() {
    AfxDestroyCommonControl(*this);
}

BOOL CTabCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateEx(0, dwStyle, rect, pParentWnd, nID);
}

BOOL CTabCtrl::CreateEx(DWORD dwExStyle, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return AfxCreateCommonControl(*this, dwExStyle, WC_TABCONTROL, dwStyle, rect, pParentWnd, nID);
}

LONG CTabCtrl::InsertItem(int nItem, TCITEM* pTabCtrlItem) {
    return AfxSendAs<LONG>(m_hWnd, TCM_INSERTITEMA, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(pTabCtrlItem));
}

LONG CTabCtrl::InsertItem(int nItem, LPCTSTR lpszItem) {
    return InsertItem(TCIF_TEXT, nItem, lpszItem, 0, 0);
}

LONG CTabCtrl::InsertItem(int nItem, LPCTSTR lpszItem, int nImage) {
    return InsertItem(TCIF_TEXT | TCIF_IMAGE, nItem, lpszItem, nImage, 0);
}

LONG CTabCtrl::InsertItem(UINT nMask, int nItem, LPCTSTR lpszItem, int nImage, LPARAM lParam) {
    TCITEMA item{};
    item.mask = nMask;
    item.pszText = const_cast<LPSTR>(lpszItem);
    item.iImage = nImage;
    item.lParam = lParam;
    return InsertItem(nItem, &item);
}

BOOL CTabCtrl::DeleteItem(int nItem) {
    return AfxSendAs<BOOL>(m_hWnd, TCM_DELETEITEM, static_cast<WPARAM>(nItem));
}

BOOL CTabCtrl::DeleteAllItems() {
    return AfxSendAs<BOOL>(m_hWnd, TCM_DELETEALLITEMS);
}

int CTabCtrl::GetItemCount() const {
    return AfxSendAs<int>(m_hWnd, TCM_GETITEMCOUNT);
}

BOOL CTabCtrl::GetItem(int nItem, TCITEM* pTabCtrlItem) const {
    return AfxSendAs<BOOL>(m_hWnd, TCM_GETITEMA, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(pTabCtrlItem));
}

BOOL CTabCtrl::SetItem(int nItem, TCITEM* pTabCtrlItem) {
    return AfxSendAs<BOOL>(m_hWnd, TCM_SETITEMA, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(pTabCtrlItem));
}

BOOL CTabCtrl::GetItemRect(int nItem, LPRECT lpRect) const {
    return AfxSendAs<BOOL>(m_hWnd, TCM_GETITEMRECT, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(lpRect));
}

BOOL CTabCtrl::HighlightItem(int idItem, BOOL fHighlight) {
    return AfxSendAs<BOOL>(m_hWnd, TCM_HIGHLIGHTITEM, static_cast<WPARAM>(idItem), MAKELPARAM(fHighlight, 0));
}

void CTabCtrl::DeselectAll(BOOL fExcludeFocus) {
    AfxSendAs(m_hWnd, TCM_DESELECTALL, static_cast<WPARAM>(fExcludeFocus));
}

int CTabCtrl::GetCurSel() const {
    return AfxSendAs<int>(m_hWnd, TCM_GETCURSEL);
}

int CTabCtrl::SetCurSel(int nItem) {
    return AfxSendAs<int>(m_hWnd, TCM_SETCURSEL, static_cast<WPARAM>(nItem));
}

int CTabCtrl::GetCurFocus() const {
    return AfxSendAs<int>(m_hWnd, TCM_GETCURFOCUS);
}

void CTabCtrl::SetCurFocus(int nItem) {
    AfxSendAs(m_hWnd, TCM_SETCURFOCUS, static_cast<WPARAM>(nItem));
}

int CTabCtrl::HitTest(TCHITTESTINFO* pHitTestInfo) const {
    return AfxSendAs<int>(m_hWnd, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(pHitTestInfo));
}

void CTabCtrl::AdjustRect(BOOL bLarger, LPRECT lpRect) {
    AfxSendAs(m_hWnd, TCM_ADJUSTRECT, static_cast<WPARAM>(bLarger), reinterpret_cast<LPARAM>(lpRect));
}

int CTabCtrl::GetRowCount() const {
    return AfxSendAs<int>(m_hWnd, TCM_GETROWCOUNT);
}

CSize CTabCtrl::SetItemSize(CSize size) {
    const DWORD previous = AfxSendAs<DWORD>(m_hWnd, TCM_SETITEMSIZE, 0, MAKELPARAM(size.cx, size.cy));
    return CSize(LOWORD(previous), HIWORD(previous));
}

void CTabCtrl::SetPadding(CSize size) {
    AfxSendAs(m_hWnd, TCM_SETPADDING, 0, MAKELPARAM(size.cx, size.cy));
}

int CTabCtrl::SetMinTabWidth(int cx) {
    return AfxSendAs<int>(m_hWnd, TCM_SETMINTABWIDTH, 0, cx);
}

DWORD CTabCtrl::GetExtendedStyle() const {
    return AfxSendAs<DWORD>(m_hWnd, TCM_GETEXTENDEDSTYLE);
}

DWORD CTabCtrl::SetExtendedStyle(DWORD dwNewStyle, DWORD dwExMask) {
    return AfxSendAs<DWORD>(m_hWnd, TCM_SETEXTENDEDSTYLE, dwExMask, static_cast<LPARAM>(dwNewStyle));
}

CImageList* CTabCtrl::GetImageList() const {
    HIMAGELIST held = AfxSendAs<HIMAGELIST>(m_hWnd, TCM_GETIMAGELIST);
    return m_pImageList && m_pImageList->GetSafeHandle() == held ? m_pImageList : nullptr;
}

CImageList* CTabCtrl::SetImageList(CImageList* pImageList) {
    CImageList* previous = GetImageList();
    AfxSendAs(m_hWnd, TCM_SETIMAGELIST, 0,
              reinterpret_cast<LPARAM>(pImageList ? pImageList->GetSafeHandle() : nullptr));
    m_pImageList = pImageList;
    return previous;
}

void CTabCtrl::RemoveImage(int nImage) {
    AfxSendAs(m_hWnd, TCM_REMOVEIMAGE, static_cast<WPARAM>(nImage));
}

CToolTipCtrl* CTabCtrl::GetToolTips() const {
    return dynamic_cast<CToolTipCtrl*>(FromHandlePermanent(AfxSendAs<HWND>(m_hWnd, TCM_GETTOOLTIPS)));
}

void CTabCtrl::SetToolTips(CToolTipCtrl* pWndTip) {
    AfxSendAs(m_hWnd, TCM_SETTOOLTIPS, reinterpret_cast<WPARAM>(pWndTip ? pWndTip->m_hWnd : nullptr));
}
