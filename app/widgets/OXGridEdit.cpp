#include "OXGridEdit.h"

IMPLEMENT_DYNAMIC(COXGridEdit, CEdit)

BEGIN_MESSAGE_MAP(COXGridEdit, CEdit)
ON_WM_KEYDOWN()
END_MESSAGE_MAP()

void COXGridEdit::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    if (nChar == VK_TAB || nChar == VK_UP || nChar == VK_DOWN || nChar == VK_INSERT) {
        m_nEndKey = nChar;
        m_bShift = ::GetKeyState(VK_SHIFT) < 0;
        m_bCtrl = ::GetKeyState(VK_CONTROL) < 0;
        if (CWnd* list = GetParent())
            list->SetFocus(); // losing the focus ends the label edit
        return;
    }
    CEdit::OnKeyDown(nChar, nRepCnt, nFlags);
}
