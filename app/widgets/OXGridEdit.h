// COXGridEdit: the grid list's in-place editor of one cell. Tab (with Shift and Ctrl noted), Up, Down and
// Insert end the editing; the key is kept so the list can move on to the next cell.
#pragma once

#include "afxwin.h"

class COXGridEdit : public CEdit {
    DECLARE_DYNAMIC(COXGridEdit)
public:
    UINT GetEndKey() const { return m_nEndKey; }
    BOOL EndedWithShift() const { return m_bShift; }
    BOOL EndedWithCtrl() const { return m_bCtrl; }
    void ResetEndKey() { m_nEndKey = 0; m_bShift = m_bCtrl = FALSE; }

protected:
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    DECLARE_MESSAGE_MAP()

private:
    UINT m_nEndKey = 0;
    BOOL m_bShift = FALSE;
    BOOL m_bCtrl = FALSE;
};
