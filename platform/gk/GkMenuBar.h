// CGkMenuBar: the command bar that shows a frame's menu as a row of titles, mnemonics underlined. It shows the
// frame's current menu (the one the framework switches with the active document), falling back to its own.
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
    HMENU GetMenu() const;
    // Rebuilds the titles from the menu on show.
    void Refresh();

    CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
    void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) override;

protected:
    void DrawControl(CDC* pDC, const CGkControl& control, BOOL bHot) override;

private:
    CFrameWnd* m_pFrame = nullptr;
    HMENU m_hOwnMenu = nullptr;
    HMENU m_hShown = nullptr;
};
