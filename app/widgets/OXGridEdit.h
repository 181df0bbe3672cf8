// COXGridEdit: the grid list's in-place editor of one cell. Tab (with Shift and Ctrl noted), Up, Down and
// Insert end the editing; the key is kept so the list can move on to the next cell. The list decides where the
// editor stands: every move or resize keeps the forced position and height, a width that follows the text when
// asked, and a right edge that never passes the list's client area. The text the list fills it with survives
// the first resize.
#pragma once

#include "afxwin.h"

class COXGridEdit : public CEdit {
    DECLARE_DYNAMIC(COXGridEdit)
public:
    UINT GetEndKey() const { return m_nEndKey; }
    BOOL EndedWithShift() const { return m_bShift; }
    BOOL EndedWithCtrl() const { return m_bCtrl; }
    void ResetEndKey() {
        m_nEndKey = 0;
        m_bShift = m_bCtrl = FALSE;
    }

    // Placement kept through every later move or resize, until cleared.
    void SetForcedPosition(CPoint position) {
        m_forcedPosition = position;
        m_bForcePosition = TRUE;
    }
    void SetForcedHeight(int nHeight) {
        m_nForcedHeight = nHeight;
        m_bForceHeight = TRUE;
    }
    // The width becomes the text's width plus the margin, and follows the text as it is typed.
    void SetWidthFollowsText(int nMargin) {
        m_nWidthMargin = nMargin;
        m_bWidthFollowsText = TRUE;
    }
    // The right edge never passes nRight (parent client co-ordinates).
    void SetRightLimit(int nRight) {
        m_nRightLimit = nRight;
        m_bNoLimit = FALSE;
    }
    void ClearPlacement();
    // Moves the editor where the placement rules put it.
    void ApplyPlacement();
    // Fills the editor with the text and keeps it: the next resize puts it back once (the list's own placement
    // of its edit control may fill it with another text), with the caret where it was.
    void KeepText(const CString& text);

protected:
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnWindowPosChanging(WINDOWPOS* lpwndpos);
    void OnSize(UINT nType, int cx, int cy);
    DECLARE_MESSAGE_MAP()

private:
    int TextWidth();

    CPoint m_forcedPosition;
    BOOL m_bForcePosition = FALSE;
    int m_nForcedHeight = 0;
    BOOL m_bForceHeight = FALSE;
    int m_nWidthMargin = 0;
    BOOL m_bWidthFollowsText = FALSE;
    UINT m_nEndKey = 0;
    BOOL m_bShift = FALSE;
    BOOL m_bCtrl = FALSE;
    int m_nRightLimit = 0;
    BOOL m_bNoLimit = TRUE;
    CString m_strSavedText;
    BOOL m_bRestoreText = FALSE;
};
