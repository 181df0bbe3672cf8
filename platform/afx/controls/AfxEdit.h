// CEdit: the framework object of an edit control, with typed helpers over its messages.
#pragma once

#include "AfxWnd.h"

class CEdit : public CWnd {
    DECLARE_DYNAMIC(CEdit)
public:
    // A window still attached is given back its own procedure before it is destroyed, so the control frees its
    // state.
    ~CEdit() override;
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    using CWnd::Create;

    DWORD GetSel() const { return static_cast<DWORD>(::SendMessageA(m_hWnd, EM_GETSEL, 0, 0)); }
    void GetSel(int& nStartChar, int& nEndChar) const;
    void SetSel(int nStartChar, int nEndChar, BOOL bNoScroll = FALSE);
    void SetSel(DWORD dwSelection, BOOL bNoScroll = FALSE) {
        SetSel(static_cast<short>(LOWORD(dwSelection)), static_cast<short>(HIWORD(dwSelection)), bNoScroll);
    }
    void ReplaceSel(LPCTSTR lpszNewText, BOOL bCanUndo = FALSE) {
        ::SendMessageA(m_hWnd, EM_REPLACESEL, static_cast<WPARAM>(bCanUndo), reinterpret_cast<LPARAM>(lpszNewText));
    }
    void SetLimitText(UINT nMax) { ::SendMessageA(m_hWnd, EM_SETLIMITTEXT, nMax, 0); }
    void LimitText(int nChars = 0) { SetLimitText(static_cast<UINT>(nChars)); }
    UINT GetLimitText() const { return static_cast<UINT>(::SendMessageA(m_hWnd, EM_GETLIMITTEXT, 0, 0)); }
    BOOL SetReadOnly(BOOL bReadOnly = TRUE) {
        return static_cast<BOOL>(::SendMessageA(m_hWnd, EM_SETREADONLY, static_cast<WPARAM>(bReadOnly), 0));
    }
    BOOL GetModify() const { return static_cast<BOOL>(::SendMessageA(m_hWnd, EM_GETMODIFY, 0, 0)); }
    void SetModify(BOOL bModified = TRUE) { ::SendMessageA(m_hWnd, EM_SETMODIFY, static_cast<WPARAM>(bModified), 0); }
    int GetLineCount() const { return static_cast<int>(::SendMessageA(m_hWnd, EM_GETLINECOUNT, 0, 0)); }
    int LineIndex(int nLine = -1) const {
        return static_cast<int>(::SendMessageA(m_hWnd, EM_LINEINDEX, static_cast<WPARAM>(nLine), 0));
    }
    int LineFromChar(int nIndex = -1) const {
        return static_cast<int>(::SendMessageA(m_hWnd, EM_LINEFROMCHAR, static_cast<WPARAM>(nIndex), 0));
    }
    int LineLength(int nLine = -1) const {
        return static_cast<int>(::SendMessageA(m_hWnd, EM_LINELENGTH, static_cast<WPARAM>(nLine), 0));
    }
    // Copies line nIndex into lpszBuffer (at most nMaxLength characters, no NUL added); the count copied.
    int GetLine(int nIndex, LPTSTR lpszBuffer, int nMaxLength) const;
    int GetFirstVisibleLine() const { return static_cast<int>(::SendMessageA(m_hWnd, EM_GETFIRSTVISIBLELINE, 0, 0)); }
    CPoint PosFromChar(UINT nChar) const;
    int CharFromPos(CPoint pt) const {
        return static_cast<int>(::SendMessageA(m_hWnd, EM_CHARFROMPOS, 0, MAKELPARAM(pt.x, pt.y)));
    }
    void SetPasswordChar(TCHAR ch) { ::SendMessageA(m_hWnd, EM_SETPASSWORDCHAR, static_cast<unsigned char>(ch), 0); }
    BOOL CanUndo() const { return static_cast<BOOL>(::SendMessageA(m_hWnd, EM_CANUNDO, 0, 0)); }
    void Copy() { ::SendMessageA(m_hWnd, WM_COPY, 0, 0); }
    void Cut() { ::SendMessageA(m_hWnd, WM_CUT, 0, 0); }
    void Paste() { ::SendMessageA(m_hWnd, WM_PASTE, 0, 0); }
    void Clear() { ::SendMessageA(m_hWnd, WM_CLEAR, 0, 0); }
};
