#include "AfxListCtrl.h"

#include "AfxImageList.h"

IMPLEMENT_DYNAMIC(CListCtrl, CWnd)

CListCtrl::~CListCtrl() {
    m_headerHandle.m_hWnd = nullptr;
    m_editHandle.m_hWnd = nullptr;
    if (m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this)
        ::DestroyWindow(UnsubclassWindow());
}

BOOL CListCtrl::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    win32::RegisterDialogClasses();
    return CWnd::Create(WC_LISTVIEWA, "", dwStyle | WS_CHILD, rect, pParentWnd, nID);
}

int CListCtrl::InsertItem(int nItem, LPCTSTR lpszItem) {
    return InsertItem(nItem, lpszItem, I_IMAGENONE);
}

// I_IMAGENONE leaves the image out.
int CListCtrl::InsertItem(int nItem, LPCTSTR lpszItem, int nImage) {
    LVITEM item{};
    item.mask = LVIF_TEXT | (nImage == I_IMAGENONE ? 0U : LVIF_IMAGE);
    item.iItem = nItem;
    item.pszText = const_cast<LPSTR>(lpszItem);
    item.iImage = nImage;
    return InsertItem(&item);
}

int CListCtrl::GetItemText(int nItem, int nSubItem, LPTSTR lpszText, int nLen) const {
    LVITEM item{};
    item.iSubItem = nSubItem;
    item.pszText = lpszText;
    item.cchTextMax = nLen;
    return static_cast<int>(Send(LVM_GETITEMTEXTA, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item)));
}

CString CListCtrl::GetItemText(int nItem, int nSubItem) const {
    char buffer[1024] = {};
    GetItemText(nItem, nSubItem, buffer, static_cast<int>(sizeof buffer));
    return CString(buffer);
}

BOOL CListCtrl::SetItemText(int nItem, int nSubItem, LPCTSTR lpszText) {
    LVITEM item{};
    item.iSubItem = nSubItem;
    item.pszText = const_cast<LPSTR>(lpszText);
    return static_cast<BOOL>(Send(LVM_SETITEMTEXTA, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(&item)));
}

DWORD_PTR CListCtrl::GetItemData(int nItem) const {
    LVITEM item{};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    GetItem(&item);
    return static_cast<DWORD_PTR>(item.lParam);
}

BOOL CListCtrl::SetItemData(int nItem, DWORD_PTR dwData) {
    LVITEM item{};
    item.mask = LVIF_PARAM;
    item.iItem = nItem;
    item.lParam = static_cast<LPARAM>(dwData);
    return SetItem(&item);
}

BOOL CListCtrl::SetItemState(int nItem, UINT nState, UINT nMask) {
    LVITEM item{};
    item.state = nState;
    item.stateMask = nMask;
    return SetItemState(nItem, &item);
}

POSITION CListCtrl::GetFirstSelectedItemPosition() const {
    const int first = GetNextItem(-1, LVNI_SELECTED);
    return reinterpret_cast<POSITION>(static_cast<INT_PTR>(first + 1));
}

int CListCtrl::GetNextSelectedItem(POSITION& pos) const {
    const int item = static_cast<int>(reinterpret_cast<INT_PTR>(pos)) - 1;
    const int next = GetNextItem(item, LVNI_SELECTED);
    pos = reinterpret_cast<POSITION>(static_cast<INT_PTR>(next + 1));
    return item;
}

BOOL CListCtrl::GetItemRect(int nItem, LPRECT lpRect, UINT nCode) const {
    if (lpRect == nullptr)
        return FALSE;
    lpRect->left = static_cast<LONG>(nCode);
    return static_cast<BOOL>(Send(LVM_GETITEMRECT, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(lpRect)));
}

BOOL CListCtrl::GetSubItemRect(int iItem, int iSubItem, int nArea, CRect& ref) const {
    ref.top = iSubItem;
    ref.left = nArea;
    return static_cast<BOOL>(Send(LVM_GETSUBITEMRECT, static_cast<WPARAM>(iItem), reinterpret_cast<LPARAM>(&ref)));
}

int CListCtrl::HitTest(CPoint pt, UINT* pFlags) const {
    LVHITTESTINFO info{};
    info.pt = pt;
    const int item = HitTest(&info);
    if (pFlags != nullptr)
        *pFlags = info.flags;
    return item;
}

int CListCtrl::InsertColumn(int nCol, LPCTSTR lpszColumnHeading, int nFormat, int nWidth, int nSubItem) {
    LVCOLUMN column{};
    column.mask = LVCF_TEXT | LVCF_FMT;
    column.pszText = const_cast<LPSTR>(lpszColumnHeading);
    column.fmt = nFormat;
    if (nWidth != -1) {
        column.mask |= LVCF_WIDTH;
        column.cx = nWidth;
    }
    if (nSubItem != -1) {
        column.mask |= LVCF_SUBITEM;
        column.iSubItem = nSubItem;
    }
    return InsertColumn(nCol, &column);
}

BOOL CListCtrl::GetColumnOrderArray(LPINT piArray, int iCount) const {
    if (iCount < 0) {
        CHeaderCtrl* pHeader = GetHeaderCtrl();
        iCount = pHeader != nullptr ? pHeader->GetItemCount() : 0;
    }
    return static_cast<BOOL>(
        Send(LVM_GETCOLUMNORDERARRAY, static_cast<WPARAM>(iCount), reinterpret_cast<LPARAM>(piArray)));
}

CHeaderCtrl* CListCtrl::GetHeaderCtrl() const {
    HWND hHeader = reinterpret_cast<HWND>(Send(LVM_GETHEADER));
    if (hHeader == nullptr)
        return nullptr;
    if (auto* pOwn = dynamic_cast<CHeaderCtrl*>(FromHandlePermanent(hHeader)))
        return pOwn;
    m_headerHandle.m_hWnd = hHeader;
    return &m_headerHandle;
}

CEdit* CListCtrl::EditHandle(HWND hEdit) const {
    if (hEdit == nullptr)
        return nullptr;
    if (auto* pOwn = dynamic_cast<CEdit*>(FromHandlePermanent(hEdit)))
        return pOwn;
    m_editHandle.m_hWnd = hEdit;
    return &m_editHandle;
}

CEdit* CListCtrl::EditLabel(int nItem) {
    return EditHandle(reinterpret_cast<HWND>(Send(LVM_EDITLABELA, static_cast<WPARAM>(nItem), 0)));
}

CEdit* CListCtrl::GetEditControl() const {
    return EditHandle(reinterpret_cast<HWND>(Send(LVM_GETEDITCONTROL)));
}

HIMAGELIST CListCtrl::SetImageList(CImageList* pImageList, int nImageListType) {
    return reinterpret_cast<HIMAGELIST>(
        Send(LVM_SETIMAGELIST, static_cast<WPARAM>(nImageListType),
             reinterpret_cast<LPARAM>(pImageList != nullptr ? pImageList->GetSafeHandle() : nullptr)));
}

void CListCtrl::DrawItem(LPDRAWITEMSTRUCT) {}

BOOL CListCtrl::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message != WM_DRAWITEM)
        return CWnd::OnChildNotify(message, wParam, lParam, pResult);
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    *pResult = TRUE;
    return TRUE;
}
