// The edit control's framework object.
#include "AfxEdit.h"

#include <algorithm>
#include <cstring>
#include <vector>

IMPLEMENT_DYNAMIC(CEdit, CWnd)

CEdit::~CEdit() {
    if (m_hWnd != nullptr && FromHandlePermanent(m_hWnd) == this)
        ::DestroyWindow(UnsubclassWindow());
}

BOOL CEdit::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    win32::RegisterDialogClasses();
    return CWnd::Create(WC_EDIT, "", dwStyle | WS_CHILD, rect, pParentWnd, nID);
}

void CEdit::GetSel(int& nStartChar, int& nEndChar) const {
    DWORD start = 0, end = 0;
    ::SendMessageA(m_hWnd, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    nStartChar = static_cast<int>(start);
    nEndChar = static_cast<int>(end);
}

void CEdit::SetSel(int nStartChar, int nEndChar, BOOL bNoScroll) {
    ::SendMessageA(m_hWnd, EM_SETSEL, static_cast<WPARAM>(nStartChar), nEndChar);
    if (!bNoScroll)
        ::SendMessageA(m_hWnd, EM_SCROLLCARET, 0, 0);
}

int CEdit::GetLine(int nIndex, LPTSTR lpszBuffer, int nMaxLength) const {
    if (!lpszBuffer || nMaxLength <= 0)
        return 0;
    // The control reads the room from the buffer's first WORD, which needs two bytes; a smaller buffer gets a
    // copy through a larger one.
    std::vector<char> room(std::max<size_t>(static_cast<size_t>(nMaxLength), sizeof(WORD)));
    const WORD size = static_cast<WORD>(std::min(nMaxLength, 0xFFFF));
    std::memcpy(room.data(), &size, sizeof size);
    const int count = static_cast<int>(
        ::SendMessageA(m_hWnd, EM_GETLINE, static_cast<WPARAM>(nIndex), reinterpret_cast<LPARAM>(room.data())));
    std::memcpy(lpszBuffer, room.data(), static_cast<size_t>(count));
    return count;
}

CPoint CEdit::PosFromChar(UINT nChar) const {
    const LRESULT at = ::SendMessageA(m_hWnd, EM_POSFROMCHAR, nChar, 0);
    return CPoint(static_cast<short>(LOWORD(at)), static_cast<short>(HIWORD(at)));
}
