// CGkMenuBar: the command bar that shows a frame's menu as a row of titles, mnemonics underlined. It shows the
// frame's current menu (the one the framework switches with the active document), falling back to its own; the
// frame keeps no native menu bar beside it, so a menu the frame is given moves onto this bar.
// Pressing a title (or Alt and its underlined letter, which the frame passes on) opens its pop-up below it,
// owned by the frame: the frame's WM_INITMENUPOPUP handlers fill and update it, and the choice reaches the frame
// as WM_COMMAND.
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
    // Opens the pop-up of the title at nIndex (a plain command title sends its command); FALSE when there is no
    // such title.
    BOOL TrackPopup(int nIndex);
    // Opens the title whose underlined letter is ch, in either case; FALSE when none has it.
    BOOL TrackMnemonic(char ch);
    // The title whose pop-up is open now; -1 when none is.
    int GetTrackedIndex() const { return m_nTracked; }

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

    CFrameWnd* m_pFrame = nullptr;
    HMENU m_hFrameMenu = nullptr;
    HMENU m_hOwnMenu = nullptr;
    HMENU m_hShown = nullptr;
    int m_nTracked = -1;
};
