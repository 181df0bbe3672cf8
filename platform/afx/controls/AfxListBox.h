// CListBox: the framework object of a list box, with typed helpers over its messages and the owner-drawn
// items' virtual functions (the parent reflects WM_DRAWITEM to the object). CCheckListBox: an owner-drawn list
// whose items carry a check box each. The user toggles an item's box by a click on it or by Space on the focus
// item, and the parent hears CLBN_CHKCHANGE; a disabled item resists both, but the program may still SetCheck
// it.
//
// A check-list row: the box is 13 pixels square, 1 pixel in from the row's left and centred in its height;
// the text starts 4 pixels after it (OnGetCheckPosition reports the box).
#pragma once

#include <vector>

#include "AfxWnd.h"

class CListBox : public CWnd {
    DECLARE_DYNAMIC(CListBox)
public:
    // A window still attached is given back its own procedure before it is destroyed, so the control frees its
    // state.
    ~CListBox() override;
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    using CWnd::Create;

    int GetCount() const { return static_cast<int>(Send(LB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(Send(LB_GETCURSEL)); }
    int SetCurSel(int nSelect) { return static_cast<int>(Send(LB_SETCURSEL, static_cast<WPARAM>(nSelect))); }
    int GetSel(int nIndex) const { return static_cast<int>(Send(LB_GETSEL, static_cast<WPARAM>(nIndex))); }
    int SetSel(int nIndex, BOOL bSelect = TRUE) {
        return static_cast<int>(Send(LB_SETSEL, static_cast<WPARAM>(bSelect), nIndex));
    }
    int GetSelCount() const { return static_cast<int>(Send(LB_GETSELCOUNT)); }
    int GetSelItems(int nMaxItems, LPINT rgIndex) const {
        return static_cast<int>(
            Send(LB_GETSELITEMS, static_cast<WPARAM>(nMaxItems), reinterpret_cast<LPARAM>(rgIndex)));
    }
    int AddString(LPCTSTR lpszItem) {
        return static_cast<int>(Send(LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszItem)));
    }
    int InsertString(int nIndex, LPCTSTR lpszItem) {
        return static_cast<int>(Send(LB_INSERTSTRING, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(lpszItem)));
    }
    int DeleteString(UINT nIndex) { return static_cast<int>(Send(LB_DELETESTRING, nIndex)); }
    void ResetContent() { Send(LB_RESETCONTENT); }
    int GetText(int nIndex, LPTSTR lpszBuffer) const {
        return static_cast<int>(Send(LB_GETTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(lpszBuffer)));
    }
    void GetText(int nIndex, CString& rString) const;
    int GetTextLen(int nIndex) const { return static_cast<int>(Send(LB_GETTEXTLEN, static_cast<WPARAM>(nIndex))); }
    int FindString(int nStartAfter, LPCTSTR lpszItem) const {
        return static_cast<int>(
            Send(LB_FINDSTRING, static_cast<WPARAM>(nStartAfter), reinterpret_cast<LPARAM>(lpszItem)));
    }
    int FindStringExact(int nIndexStart, LPCTSTR lpszFind) const {
        return static_cast<int>(
            Send(LB_FINDSTRINGEXACT, static_cast<WPARAM>(nIndexStart), reinterpret_cast<LPARAM>(lpszFind)));
    }
    int SelectString(int nStartAfter, LPCTSTR lpszItem) {
        return static_cast<int>(
            Send(LB_SELECTSTRING, static_cast<WPARAM>(nStartAfter), reinterpret_cast<LPARAM>(lpszItem)));
    }
    DWORD_PTR GetItemData(int nIndex) const {
        return static_cast<DWORD_PTR>(Send(LB_GETITEMDATA, static_cast<WPARAM>(nIndex)));
    }
    int SetItemData(int nIndex, DWORD_PTR dwItemData) {
        return static_cast<int>(Send(LB_SETITEMDATA, static_cast<WPARAM>(nIndex), static_cast<LPARAM>(dwItemData)));
    }
    void* GetItemDataPtr(int nIndex) const { return reinterpret_cast<void*>(GetItemData(nIndex)); }
    int SetItemDataPtr(int nIndex, void* pData) { return SetItemData(nIndex, reinterpret_cast<DWORD_PTR>(pData)); }
    int GetTopIndex() const { return static_cast<int>(Send(LB_GETTOPINDEX)); }
    int SetTopIndex(int nIndex) { return static_cast<int>(Send(LB_SETTOPINDEX, static_cast<WPARAM>(nIndex))); }
    int GetItemRect(int nIndex, LPRECT lpRect) const {
        return static_cast<int>(Send(LB_GETITEMRECT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(lpRect)));
    }
    UINT ItemFromPoint(CPoint pt, BOOL& bOutside) const;
    int SetItemHeight(int nIndex, UINT cyItemHeight) {
        return static_cast<int>(Send(LB_SETITEMHEIGHT, static_cast<WPARAM>(nIndex), MAKELPARAM(cyItemHeight, 0)));
    }
    int GetItemHeight(int nIndex) const {
        return static_cast<int>(Send(LB_GETITEMHEIGHT, static_cast<WPARAM>(nIndex)));
    }
    int GetCaretIndex() const { return static_cast<int>(Send(LB_GETCARETINDEX)); }
    int SetCaretIndex(int nIndex, BOOL bScroll = TRUE) {
        return static_cast<int>(Send(LB_SETCARETINDEX, static_cast<WPARAM>(nIndex), bScroll));
    }

    // Owner-drawn lists: the parent reflects WM_DRAWITEM here.
    virtual void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct);

protected:
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
};

#define CLBN_CHKCHANGE 40

class CCheckListBox : public CListBox {
    DECLARE_DYNAMIC(CCheckListBox)
public:
    // The list is made owner-drawn with strings, whatever the style says.
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    using CWnd::Create;

    // BS_CHECKBOX, BS_AUTOCHECKBOX (the default), BS_3STATE or BS_AUTO3STATE.
    void SetCheckStyle(UINT nStyle);
    UINT GetCheckStyle() const { return m_nStyle; }
    void SetCheck(int nIndex, int nCheck);
    int GetCheck(int nIndex) const;
    void Enable(int nIndex, BOOL bEnabled = TRUE);
    BOOL IsEnabled(int nIndex) const;
    // The check box of a row (both in the list's client coordinates).
    virtual CRect OnGetCheckPosition(CRect rectItem, CRect rectCheckBox);

    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    struct ItemCheck {
        int check = BST_UNCHECKED;
        bool enabled = true;
    };
    void UserToggle(int nIndex);
    CRect CheckBoxOf(int nIndex);
    // Items the list had before the object met it get a state of their own, and rows room for the box.
    void Sync();
    UINT m_nStyle = BS_AUTOCHECKBOX;
    std::vector<ItemCheck> m_checks;
};
