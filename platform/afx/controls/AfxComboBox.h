// CComboBox: the framework object of a combo box, with typed helpers over its messages.
#pragma once

#include "AfxWnd.h"

class CComboBox : public CWnd {
    DECLARE_DYNAMIC(CComboBox)
public:
    // A window still attached is given back its own procedure before it is destroyed, so the control frees its
    // state and its drop-down list.
    ~CComboBox() override;
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    using CWnd::Create;

    int GetCount() const { return static_cast<int>(Send(CB_GETCOUNT)); }
    int GetCurSel() const { return static_cast<int>(Send(CB_GETCURSEL)); }
    int SetCurSel(int nSelect) { return static_cast<int>(Send(CB_SETCURSEL, static_cast<WPARAM>(nSelect))); }
    int AddString(LPCTSTR lpszString) {
        return static_cast<int>(Send(CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(lpszString)));
    }
    int InsertString(int nIndex, LPCTSTR lpszString) {
        return static_cast<int>(
            Send(CB_INSERTSTRING, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(lpszString)));
    }
    int DeleteString(UINT nIndex) { return static_cast<int>(Send(CB_DELETESTRING, nIndex)); }
    void ResetContent() { Send(CB_RESETCONTENT); }
    int GetLBText(int nIndex, LPTSTR lpszText) const {
        return static_cast<int>(Send(CB_GETLBTEXT, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(lpszText)));
    }
    void GetLBText(int nIndex, CString& rString) const;
    int GetLBTextLen(int nIndex) const { return static_cast<int>(Send(CB_GETLBTEXTLEN, static_cast<WPARAM>(nIndex))); }
    int FindString(int nStartAfter, LPCTSTR lpszString) const {
        return static_cast<int>(
            Send(CB_FINDSTRING, static_cast<WPARAM>(nStartAfter), reinterpret_cast<LPARAM>(lpszString)));
    }
    int FindStringExact(int nIndexStart, LPCTSTR lpszFind) const {
        return static_cast<int>(
            Send(CB_FINDSTRINGEXACT, static_cast<WPARAM>(nIndexStart), reinterpret_cast<LPARAM>(lpszFind)));
    }
    int SelectString(int nStartAfter, LPCTSTR lpszString) {
        return static_cast<int>(
            Send(CB_SELECTSTRING, static_cast<WPARAM>(nStartAfter), reinterpret_cast<LPARAM>(lpszString)));
    }
    DWORD_PTR GetItemData(int nIndex) const {
        return static_cast<DWORD_PTR>(Send(CB_GETITEMDATA, static_cast<WPARAM>(nIndex)));
    }
    int SetItemData(int nIndex, DWORD_PTR dwItemData) {
        return static_cast<int>(Send(CB_SETITEMDATA, static_cast<WPARAM>(nIndex), static_cast<LPARAM>(dwItemData)));
    }
    void ShowDropDown(BOOL bShowIt = TRUE) { Send(CB_SHOWDROPDOWN, static_cast<WPARAM>(bShowIt)); }
    BOOL GetDroppedState() const { return static_cast<BOOL>(Send(CB_GETDROPPEDSTATE)); }
    void GetDroppedControlRect(LPRECT lprect) const {
        Send(CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(lprect));
    }
    BOOL LimitText(int nMaxChars) { return static_cast<BOOL>(Send(CB_LIMITTEXT, static_cast<WPARAM>(nMaxChars))); }
    DWORD GetEditSel() const { return static_cast<DWORD>(Send(CB_GETEDITSEL)); }
    BOOL SetEditSel(int nStartChar, int nEndChar) {
        return static_cast<BOOL>(Send(CB_SETEDITSEL, 0, MAKELPARAM(nStartChar, nEndChar)));
    }
    int GetItemHeight(int nIndex) const {
        return static_cast<int>(Send(CB_GETITEMHEIGHT, static_cast<WPARAM>(nIndex)));
    }
    int GetTopIndex() const { return static_cast<int>(Send(CB_GETTOPINDEX)); }
    int SetTopIndex(int nIndex) { return static_cast<int>(Send(CB_SETTOPINDEX, static_cast<WPARAM>(nIndex))); }

private:
    LRESULT Send(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
};
