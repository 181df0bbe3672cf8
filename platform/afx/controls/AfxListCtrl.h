// CListCtrl: the framework object of a list view, with typed helpers over its messages. GetHeaderCtrl gives
// the header child's own object when the program subclassed it, else a stand-in that only holds its handle.
// EditLabel likewise. Owner-drawn rows reach DrawItem through the parent's reflected WM_DRAWITEM.
#pragma once

#include "AfxEdit.h"
#include "AfxHeaderCtrl.h"
#include "AfxString.h"
#include "AfxWnd.h"

class CImageList;

class CListCtrl : public CWnd {
    DECLARE_DYNAMIC(CListCtrl)
public:
    // A window it made and still holds is given back its own procedure before it is destroyed, so the list
    // frees its state.
    ~CListCtrl() override;
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    using CWnd::Create;

    // Items.
    int GetItemCount() const { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }
    BOOL SetItemCount(int nItems) { return SetItemCountEx(nItems, 0); }
    BOOL SetItemCountEx(int iCount, DWORD dwFlags = LVSICF_NOINVALIDATEALL) {
        return static_cast<BOOL>(Send(LVM_SETITEMCOUNT, static_cast<WPARAM>(iCount), static_cast<LPARAM>(dwFlags)));
    }
    int InsertItem(const LVITEM* pItem) {
        return static_cast<int>(Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(pItem)));
    }
    int InsertItem(int nItem, LPCTSTR lpszItem);
    int InsertItem(int nItem, LPCTSTR lpszItem, int nImage);
    BOOL DeleteItem(int nItem) { return static_cast<BOOL>(Send(LVM_DELETEITEM, static_cast<WPARAM>(nItem))); }
    BOOL DeleteAllItems() { return static_cast<BOOL>(Send(LVM_DELETEALLITEMS)); }
    BOOL GetItem(LVITEM* pItem) const {
        return static_cast<BOOL>(Send(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(pItem)));
    }
    BOOL SetItem(const LVITEM* pItem) {
        return static_cast<BOOL>(Send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(pItem)));
    }
    int GetItemText(int nItem, int nSubItem, LPTSTR lpszText, int nLen) const;
    CString GetItemText(int nItem, int nSubItem) const;
    BOOL SetItemText(int nItem, int nSubItem, LPCTSTR lpszText);
    DWORD_PTR GetItemData(int nItem) const;
    BOOL SetItemData(int nItem, DWORD_PTR dwData);
    UINT GetItemState(int nItem, UINT nMask) const {
        return static_cast<UINT>(Send(LVM_GETITEMSTATE, static_cast<WPARAM>(nItem), static_cast<LPARAM>(nMask)));
    }
    // nItem -1: every item.
    BOOL SetItemState(int nItem, UINT nState, UINT nMask);
    BOOL SetItemState(int nItem, LVITEM* pItem) {
        return static_cast<BOOL>(Send(LVM_SETITEMSTATE, static_cast<WPARAM>(nItem), reinterpret_cast<LPARAM>(pItem)));
    }
    int GetNextItem(int nItem, int nFlags) const {
        return static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(nItem), static_cast<LPARAM>(nFlags)));
    }
    // Selected items: the position is the item's index plus one (null: none left).
    POSITION GetFirstSelectedItemPosition() const;
    int GetNextSelectedItem(POSITION& pos) const;
    UINT GetSelectedCount() const { return static_cast<UINT>(Send(LVM_GETSELECTEDCOUNT)); }
    int GetSelectionMark() const { return static_cast<int>(Send(LVM_GETSELECTIONMARK)); }
    int SetSelectionMark(int iIndex) { return static_cast<int>(Send(LVM_SETSELECTIONMARK, 0, iIndex)); }
    int FindItem(LVFINDINFO* pFindInfo, int nStart = -1) const {
        return static_cast<int>(Send(LVM_FINDITEMA, static_cast<WPARAM>(nStart), reinterpret_cast<LPARAM>(pFindInfo)));
    }
    BOOL SortItems(PFNLVCOMPARE pfnCompare, DWORD_PTR dwData) {
        return static_cast<BOOL>(
            Send(LVM_SORTITEMS, static_cast<WPARAM>(dwData), reinterpret_cast<LPARAM>(pfnCompare)));
    }
    BOOL SortItemsEx(PFNLVCOMPARE pfnCompare, DWORD_PTR dwData) {
        return static_cast<BOOL>(
            Send(LVM_SORTITEMSEX, static_cast<WPARAM>(dwData), reinterpret_cast<LPARAM>(pfnCompare)));
    }

    // Geometry and scrolling.
    BOOL GetItemRect(int nItem, LPRECT lpRect, UINT nCode) const;
    BOOL GetSubItemRect(int iItem, int iSubItem, int nArea, CRect& ref) const;
    int HitTest(LVHITTESTINFO* pHitTestInfo) const {
        return static_cast<int>(Send(LVM_HITTEST, 0, reinterpret_cast<LPARAM>(pHitTestInfo)));
    }
    int HitTest(CPoint pt, UINT* pFlags = nullptr) const;
    int SubItemHitTest(LVHITTESTINFO* pInfo) {
        return static_cast<int>(Send(LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(pInfo)));
    }
    BOOL EnsureVisible(int nItem, BOOL bPartialOK) {
        return static_cast<BOOL>(Send(LVM_ENSUREVISIBLE, static_cast<WPARAM>(nItem), bPartialOK));
    }
    BOOL Scroll(CSize size) { return static_cast<BOOL>(Send(LVM_SCROLL, static_cast<WPARAM>(size.cx), size.cy)); }
    BOOL RedrawItems(int nFirst, int nLast) {
        return static_cast<BOOL>(Send(LVM_REDRAWITEMS, static_cast<WPARAM>(nFirst), nLast));
    }
    BOOL Update(int nItem) { return static_cast<BOOL>(Send(LVM_UPDATE, static_cast<WPARAM>(nItem))); }
    int GetTopIndex() const { return static_cast<int>(Send(LVM_GETTOPINDEX)); }
    int GetCountPerPage() const { return static_cast<int>(Send(LVM_GETCOUNTPERPAGE)); }
    int GetStringWidth(LPCTSTR lpsz) const {
        return static_cast<int>(Send(LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(lpsz)));
    }

    // Columns.
    int InsertColumn(int nCol, const LVCOLUMN* pColumn) {
        return static_cast<int>(Send(LVM_INSERTCOLUMNA, static_cast<WPARAM>(nCol), reinterpret_cast<LPARAM>(pColumn)));
    }
    // nWidth -1 and nSubItem -1 leave them out.
    int InsertColumn(int nCol, LPCTSTR lpszColumnHeading, int nFormat = LVCFMT_LEFT, int nWidth = -1,
                     int nSubItem = -1);
    BOOL DeleteColumn(int nCol) { return static_cast<BOOL>(Send(LVM_DELETECOLUMN, static_cast<WPARAM>(nCol))); }
    BOOL GetColumn(int nCol, LVCOLUMN* pColumn) const {
        return static_cast<BOOL>(Send(LVM_GETCOLUMNA, static_cast<WPARAM>(nCol), reinterpret_cast<LPARAM>(pColumn)));
    }
    BOOL SetColumn(int nCol, const LVCOLUMN* pColumn) {
        return static_cast<BOOL>(Send(LVM_SETCOLUMNA, static_cast<WPARAM>(nCol), reinterpret_cast<LPARAM>(pColumn)));
    }
    int GetColumnWidth(int nCol) const { return static_cast<int>(Send(LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(nCol))); }
    // cx may be LVSCW_AUTOSIZE or LVSCW_AUTOSIZE_USEHEADER.
    BOOL SetColumnWidth(int nCol, int cx) {
        return static_cast<BOOL>(Send(LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(nCol), MAKELPARAM(cx, 0)));
    }
    BOOL GetColumnOrderArray(LPINT piArray, int iCount = -1) const;
    BOOL SetColumnOrderArray(int iCount, LPINT piArray) {
        return static_cast<BOOL>(
            Send(LVM_SETCOLUMNORDERARRAY, static_cast<WPARAM>(iCount), reinterpret_cast<LPARAM>(piArray)));
    }
    CHeaderCtrl* GetHeaderCtrl() const;

    // Label editing in the list's own edit control (null when the parent refused); the object only holds the
    // edit's handle.
    CEdit* EditLabel(int nItem);
    CEdit* GetEditControl() const;

    // Looks.
    DWORD SetExtendedStyle(DWORD dwNewStyle) {
        return static_cast<DWORD>(Send(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(dwNewStyle)));
    }
    DWORD GetExtendedStyle() const { return static_cast<DWORD>(Send(LVM_GETEXTENDEDLISTVIEWSTYLE)); }
    // The list takes the handle only; the CImageList stays the caller's. Returns the previous handle.
    HIMAGELIST SetImageList(CImageList* pImageList, int nImageListType);
    COLORREF GetBkColor() const { return static_cast<COLORREF>(Send(LVM_GETBKCOLOR)); }
    BOOL SetBkColor(COLORREF cr) { return static_cast<BOOL>(Send(LVM_SETBKCOLOR, 0, static_cast<LPARAM>(cr))); }
    COLORREF GetTextColor() const { return static_cast<COLORREF>(Send(LVM_GETTEXTCOLOR)); }
    BOOL SetTextColor(COLORREF cr) { return static_cast<BOOL>(Send(LVM_SETTEXTCOLOR, 0, static_cast<LPARAM>(cr))); }
    COLORREF GetTextBkColor() const { return static_cast<COLORREF>(Send(LVM_GETTEXTBKCOLOR)); }
    BOOL SetTextBkColor(COLORREF cr) { return static_cast<BOOL>(Send(LVM_SETTEXTBKCOLOR, 0, static_cast<LPARAM>(cr))); }

    // Owner-drawn rows (LVS_OWNERDRAWFIXED): the list's WM_DRAWITEM, reflected from its parent.
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);

protected:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

private:
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    CEdit* EditHandle(HWND hEdit) const;
    mutable CHeaderCtrl m_headerHandle; // holds the header's handle only; never attached
    mutable CEdit m_editHandle;         // the same for the label's edit
};
