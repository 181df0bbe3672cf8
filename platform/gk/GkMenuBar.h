// CGkMenuBar: the command bar that shows a frame's menu as a row of titles, mnemonics underlined. It shows the
// frame's current menu (the one the framework switches with the active document), falling back to its own; the
// frame keeps no native menu bar beside it, so a menu the frame is given moves onto this bar.
// Pressing a title (or Alt and its underlined letter, which the frame passes on) opens its pop-up below it,
// owned by the frame: the frame's WM_INITMENUPOPUP handlers fill and update it, and the choice reaches the frame
// as WM_COMMAND.
//
// It walks as a Windows menu bar does. While a pop-up is open (the bar hears its input through a message filter,
// MSGF_MENU), Left in the top pop-up and Right on an item without a sub-menu close it and open the neighbouring
// title's, wrapping round; the mouse moving onto another title opens that one; a click on the open title closes
// it. F10 or Alt pressed and let go alone (which the frame passes on) puts the bar in keyboard mode: the first
// title is highlighted, Left and Right move along the titles, Down, Up or Enter open the highlighted one, a
// letter opens its title, and Esc, F10, Alt or a click leaves the mode. Esc in a top pop-up closes it into
// keyboard mode on its title. A pop-up opened from the keyboard shows its first item highlighted. When a pop-up
// closes any other way (a choice, a click elsewhere) nothing on the bar stays highlighted.
#pragma once

#include "GkToolBar.h"

class CGkMenuBar : public CGkToolBar {
    DECLARE_DYNAMIC(CGkMenuBar)
public:
    CGkMenuBar() = default;
    ~CGkMenuBar() override;

    // The bar along the top of pFrame for menu resource nIDMenu; FALSE when the menu or the window cannot be
    // had.
    BOOL CreateMenuBar(CFrameWnd* pFrame, UINT nIDMenu);
    // The menu on show: the frame's current one, else the bar's own.
    HMENU GetMenu() const { return m_hFrameMenu != nullptr ? m_hFrameMenu : m_hOwnMenu; }
    // The frame's menu changed (the framework switched it with the active document); null: the bar's own.
    void SetFrameMenu(HMENU hMenu);
    // Rebuilds the titles from the menu on show.
    void Refresh();
    // Opens the pop-up of the title at nIndex (a plain command title sends its command), and then the titles the
    // user walks to from it; FALSE when there is no such title. bByKey highlights the pop-up's first item.
    BOOL TrackPopup(int nIndex, BOOL bByKey = FALSE);
    // Opens the title whose underlined letter is ch, in either case, from the keyboard; FALSE when none has it.
    BOOL TrackMnemonic(char ch);
    // The title whose pop-up is open now; -1 when none is.
    int GetTrackedIndex() const { return m_nTracked; }

    // Keyboard mode: the title highlighted for the keyboard, -1 when the bar is not in the mode.
    int GetKeyboardIndex() const { return m_nKeyboard; }
    void EnterKeyboardMode(int nIndex = 0);
    void LeaveKeyboardMode();
    // A key for the bar in keyboard mode (from the frame's pre-translation): TRUE when the bar took it.
    BOOL OnKeyboardModeKey(UINT nVirtKey);
    // The title under a point of the bar's client area; -1 when none.
    int TitleAt(CPoint point) const;

    CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
    void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) override;

protected:
    void OnLButtonDown(UINT nFlags, CPoint point);
    DECLARE_MESSAGE_MAP()
    void DrawControl(CDC* pDC, const CGkControl& control, BOOL bHot) override;
    void Layout() override { Refresh(); } // titles, not buttons

private:
    // A menu the frame shows natively comes onto the bar instead.
    void AdoptNativeMenu();
    // Opens one title's pop-up and waits for it to close; FALSE when it is no pop-up title.
    BOOL TrackOne(int nIndex, BOOL bByKey);
    // The open pop-up's input, through the thread's message filter: TRUE keeps it from the menu.
    BOOL OnMenuInput(const MSG& msg);
    // Closes the open pop-up and opens title nIndex next.
    void WalkTo(int nIndex, BOOL bByKey);
    // The next title with a pop-up from nIndex, nStep +1 rightwards or -1 leftwards, wrapping round.
    int NeighbourOf(int nIndex, int nStep) const;
    static LRESULT CALLBACK MenuFilter(int nCode, WPARAM wParam, LPARAM lParam);
    void InvalidateTitle(int nIndex);

    CFrameWnd* m_pFrame = nullptr;
    HMENU m_hFrameMenu = nullptr;
    HMENU m_hOwnMenu = nullptr;
    HMENU m_hShown = nullptr;
    int m_nTracked = -1;
    int m_nKeyboard = -1;
    int m_nNext = -1;          // the title to open once the pop-up open now has closed
    BOOL m_bNextByKey = FALSE; // and whether the keyboard opens it
    BOOL m_bEscaped = FALSE;   // the open pop-up closed by Esc at its top
};
