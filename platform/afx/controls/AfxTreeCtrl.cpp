// The tree control's framework object.
#include "AfxTreeCtrl.h"

#include <cstring>

#include "AfxCommonControl.h"
#include "AfxToolTipCtrl.h"

IMPLEMENT_DYNAMIC(CTreeCtrl, CWnd)

namespace {

template <typename T = LRESULT> T Send(const CTreeCtrl* tree, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return AfxSendAs<T>(tree->m_hWnd, message, wParam, lParam);
}

} // namespace

CTreeCtrl::~CTreeCtrl() {
    AfxDestroyCommonControl(*this);
}

BOOL CTreeCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return CreateEx(0, dwStyle, rect, pParentWnd, nID);
}

BOOL CTreeCtrl::CreateEx(DWORD dwExStyle, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    return AfxCreateCommonControl(*this, dwExStyle, WC_TREEVIEW, dwStyle, rect, pParentWnd, nID);
}

HTREEITEM CTreeCtrl::InsertItem(LPTVINSERTSTRUCT lpInsertStruct) {
    return Send<HTREEITEM>(this, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(lpInsertStruct));
}

HTREEITEM CTreeCtrl::InsertItem(UINT nMask, LPCTSTR lpszItem, int nImage, int nSelectedImage, UINT nState,
                                UINT nStateMask, LPARAM lParam, HTREEITEM hParent, HTREEITEM hInsertAfter) {
    TVINSERTSTRUCTA insert{};
    insert.hParent = hParent;
    insert.hInsertAfter = hInsertAfter;
    insert.item.mask = nMask;
    insert.item.pszText = const_cast<LPSTR>(lpszItem);
    insert.item.iImage = nImage;
    insert.item.iSelectedImage = nSelectedImage;
    insert.item.state = nState;
    insert.item.stateMask = nStateMask;
    insert.item.lParam = lParam;
    return InsertItem(&insert);
}

HTREEITEM CTreeCtrl::InsertItem(LPCTSTR lpszItem, HTREEITEM hParent, HTREEITEM hInsertAfter) {
    return InsertItem(TVIF_TEXT, lpszItem, 0, 0, 0, 0, 0, hParent, hInsertAfter);
}

HTREEITEM CTreeCtrl::InsertItem(LPCTSTR lpszItem, int nImage, int nSelectedImage, HTREEITEM hParent,
                                HTREEITEM hInsertAfter) {
    return InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE, lpszItem, nImage, nSelectedImage, 0, 0, 0, hParent,
                      hInsertAfter);
}

BOOL CTreeCtrl::DeleteItem(HTREEITEM hItem) {
    return Send<BOOL>(this, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(hItem));
}

BOOL CTreeCtrl::DeleteAllItems() {
    return DeleteItem(TVI_ROOT);
}

BOOL CTreeCtrl::Expand(HTREEITEM hItem, UINT nCode) {
    return Send<BOOL>(this, TVM_EXPAND, nCode, reinterpret_cast<LPARAM>(hItem));
}

UINT CTreeCtrl::GetCount() const {
    return Send<UINT>(this, TVM_GETCOUNT);
}

BOOL CTreeCtrl::GetItem(TVITEM* pItem) const {
    return Send<BOOL>(this, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(pItem));
}

BOOL CTreeCtrl::SetItem(TVITEM* pItem) {
    return Send<BOOL>(this, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(pItem));
}

BOOL CTreeCtrl::SetItem(HTREEITEM hItem, UINT nMask, LPCTSTR lpszItem, int nImage, int nSelectedImage, UINT nState,
                        UINT nStateMask, LPARAM lParam) {
    TVITEMA item{};
    item.hItem = hItem;
    item.mask = nMask;
    item.pszText = const_cast<LPSTR>(lpszItem);
    item.iImage = nImage;
    item.iSelectedImage = nSelectedImage;
    item.state = nState;
    item.stateMask = nStateMask;
    item.lParam = lParam;
    return SetItem(&item);
}

CString CTreeCtrl::GetItemText(HTREEITEM hItem) const {
    // Texts longer than this are cut, as a label this long is not shown whole anyway.
    char buffer[1024] = {};
    TVITEMA item{};
    item.hItem = hItem;
    item.mask = TVIF_TEXT;
    item.pszText = buffer;
    item.cchTextMax = sizeof buffer;
    return GetItem(&item) ? CString(buffer) : CString();
}

BOOL CTreeCtrl::SetItemText(HTREEITEM hItem, LPCTSTR lpszItem) {
    return SetItem(hItem, TVIF_TEXT, lpszItem, 0, 0, 0, 0, 0);
}

BOOL CTreeCtrl::GetItemImage(HTREEITEM hItem, int& nImage, int& nSelectedImage) const {
    TVITEMA item{};
    item.hItem = hItem;
    item.mask = TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    if (!GetItem(&item))
        return FALSE;
    nImage = item.iImage;
    nSelectedImage = item.iSelectedImage;
    return TRUE;
}

BOOL CTreeCtrl::SetItemImage(HTREEITEM hItem, int nImage, int nSelectedImage) {
    return SetItem(hItem, TVIF_IMAGE | TVIF_SELECTEDIMAGE, nullptr, nImage, nSelectedImage, 0, 0, 0);
}

UINT CTreeCtrl::GetItemState(HTREEITEM hItem, UINT nStateMask) const {
    return Send<UINT>(this, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(hItem), nStateMask);
}

BOOL CTreeCtrl::SetItemState(HTREEITEM hItem, UINT nState, UINT nStateMask) {
    return SetItem(hItem, TVIF_STATE, nullptr, 0, 0, nState, nStateMask, 0);
}

DWORD_PTR CTreeCtrl::GetItemData(HTREEITEM hItem) const {
    TVITEMA item{};
    item.hItem = hItem;
    item.mask = TVIF_PARAM;
    return GetItem(&item) ? static_cast<DWORD_PTR>(item.lParam) : 0;
}

BOOL CTreeCtrl::SetItemData(HTREEITEM hItem, DWORD_PTR dwData) {
    return SetItem(hItem, TVIF_PARAM, nullptr, 0, 0, 0, 0, static_cast<LPARAM>(dwData));
}

BOOL CTreeCtrl::ItemHasChildren(HTREEITEM hItem) const {
    TVITEMA item{};
    item.hItem = hItem;
    item.mask = TVIF_CHILDREN;
    return GetItem(&item) && item.cChildren != 0;
}

BOOL CTreeCtrl::GetCheck(HTREEITEM hItem) const {
    return (GetItemState(hItem, TVIS_STATEIMAGEMASK) >> 12) == 2;
}

BOOL CTreeCtrl::SetCheck(HTREEITEM hItem, BOOL fCheck) {
    return SetItemState(hItem, INDEXTOSTATEIMAGEMASK(fCheck ? 2 : 1), TVIS_STATEIMAGEMASK);
}

HTREEITEM CTreeCtrl::GetNextItem(HTREEITEM hItem, UINT nCode) const {
    return Send<HTREEITEM>(this, TVM_GETNEXTITEM, nCode, reinterpret_cast<LPARAM>(hItem));
}

BOOL CTreeCtrl::Select(HTREEITEM hItem, UINT nCode) {
    return Send<BOOL>(this, TVM_SELECTITEM, nCode, reinterpret_cast<LPARAM>(hItem));
}

BOOL CTreeCtrl::EnsureVisible(HTREEITEM hItem) {
    return Send<BOOL>(this, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(hItem));
}

BOOL CTreeCtrl::GetItemRect(HTREEITEM hItem, LPRECT lpRect, BOOL bTextOnly) const {
    if (!lpRect)
        return FALSE;
    memcpy(lpRect, &hItem, sizeof hItem);
    return Send<BOOL>(this, TVM_GETITEMRECT, bTextOnly, reinterpret_cast<LPARAM>(lpRect));
}

HTREEITEM CTreeCtrl::HitTest(CPoint pt, UINT* pFlags) const {
    TVHITTESTINFO info{};
    info.pt = pt;
    HTREEITEM item = HitTest(&info);
    if (pFlags)
        *pFlags = info.flags;
    return item;
}

HTREEITEM CTreeCtrl::HitTest(TVHITTESTINFO* pHitTestInfo) const {
    return Send<HTREEITEM>(this, TVM_HITTEST, 0, reinterpret_cast<LPARAM>(pHitTestInfo));
}

UINT CTreeCtrl::GetVisibleCount() const {
    return Send<UINT>(this, TVM_GETVISIBLECOUNT);
}

BOOL CTreeCtrl::SortChildren(HTREEITEM hItem) {
    return Send<BOOL>(this, TVM_SORTCHILDREN, 0, reinterpret_cast<LPARAM>(hItem));
}

BOOL CTreeCtrl::SortChildrenCB(LPTVSORTCB pSort) {
    return Send<BOOL>(this, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(pSort));
}

UINT CTreeCtrl::GetIndent() const {
    return Send<UINT>(this, TVM_GETINDENT);
}

void CTreeCtrl::SetIndent(UINT nIndent) {
    Send(this, TVM_SETINDENT, nIndent);
}

SHORT CTreeCtrl::GetItemHeight() const {
    return Send<SHORT>(this, TVM_GETITEMHEIGHT);
}

SHORT CTreeCtrl::SetItemHeight(SHORT cyHeight) {
    return Send<SHORT>(this, TVM_SETITEMHEIGHT, static_cast<WPARAM>(static_cast<WORD>(cyHeight)));
}

COLORREF CTreeCtrl::GetBkColor() const {
    return Send<COLORREF>(this, TVM_GETBKCOLOR);
}

COLORREF CTreeCtrl::SetBkColor(COLORREF clr) {
    return Send<COLORREF>(this, TVM_SETBKCOLOR, 0, static_cast<LPARAM>(clr));
}

COLORREF CTreeCtrl::GetTextColor() const {
    return Send<COLORREF>(this, TVM_GETTEXTCOLOR);
}

COLORREF CTreeCtrl::SetTextColor(COLORREF clr) {
    return Send<COLORREF>(this, TVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(clr));
}

COLORREF CTreeCtrl::GetLineColor() const {
    return Send<COLORREF>(this, TVM_GETLINECOLOR);
}

COLORREF CTreeCtrl::SetLineColor(COLORREF clrNew) {
    return Send<COLORREF>(this, TVM_SETLINECOLOR, 0, static_cast<LPARAM>(clrNew));
}

CImageList* CTreeCtrl::GetImageList(int nImageList) const {
    if (nImageList != TVSIL_NORMAL && nImageList != TVSIL_STATE)
        return nullptr;
    CImageList* list = m_pImageLists[nImageList];
    HIMAGELIST held = Send<HIMAGELIST>(this, TVM_GETIMAGELIST, static_cast<WPARAM>(nImageList));
    return list && list->GetSafeHandle() == held ? list : nullptr;
}

CImageList* CTreeCtrl::SetImageList(CImageList* pImageList, int nImageListType) {
    if (nImageListType != TVSIL_NORMAL && nImageListType != TVSIL_STATE)
        return nullptr;
    CImageList* previous = GetImageList(nImageListType);
    Send(this, TVM_SETIMAGELIST, static_cast<WPARAM>(nImageListType),
         reinterpret_cast<LPARAM>(pImageList ? pImageList->GetSafeHandle() : nullptr));
    m_pImageLists[nImageListType] = pImageList;
    return previous;
}

CToolTipCtrl* CTreeCtrl::GetToolTips() const {
    return dynamic_cast<CToolTipCtrl*>(FromHandlePermanent(Send<HWND>(this, TVM_GETTOOLTIPS)));
}

CToolTipCtrl* CTreeCtrl::SetToolTips(CToolTipCtrl* pWndTip) {
    HWND previous = Send<HWND>(this, TVM_SETTOOLTIPS, reinterpret_cast<WPARAM>(pWndTip ? pWndTip->m_hWnd : nullptr));
    return dynamic_cast<CToolTipCtrl*>(FromHandlePermanent(previous));
}
