// CGkStatusBar: the status bar along the bottom of a frame: a row of panes (CGkStatusBarPane) that show
// texts, indicators lit or dimmed by their update handlers, or whatever a pane draws itself. The bar owns its
// panes. The text of its message pane (index 0) is also the bar's window text (WM_SETTEXT, WM_GETTEXT).
//
// Layout (client coordinates; H is the bar font's height):
// - the bar is GK_STATUSBAR_TOPGAP + H + 2 * GK_STATUSBAR_VERTBORDER + 2 + GK_STATUSBAR_BOTTOMGAP pixels high;
// - panes sit in a row from x = 0, GK_STATUSBAR_PANEGAP apart, from y = GK_STATUSBAR_TOPGAP to the bottom
//   less GK_STATUSBAR_BOTTOMGAP;
// - a pane is its width plus 2 * GK_STATUSBAR_HORZBORDER wide (its sunken edge and a margin each side); a pane
//   of style SBPS_STRETCH also takes what the others leave of the bar's width;
// - its text is drawn inside the horizontal border (left) and the vertical border (top and bottom);
// - while the frame the bar belongs to is sizable and not maximised, a size grip GK_STATUSBAR_GRIP wide takes
//   the bar's right end (its hit test is HTBOTTOMRIGHT) and the panes end before it.
#pragma once

#include <vector>

#include "afxwin.h"

#include "GkStatusBarPane.h"

#define GK_STATUSBAR_TOPGAP 2
#define GK_STATUSBAR_BOTTOMGAP 1
#define GK_STATUSBAR_PANEGAP 2
#define GK_STATUSBAR_HORZBORDER 3
#define GK_STATUSBAR_VERTBORDER 1
#define GK_STATUSBAR_GRIP 16

class CGkStatusBar : public CControlBar {
    DECLARE_DYNAMIC(CGkStatusBar)
public:
    CGkStatusBar() = default;
    ~CGkStatusBar() override;

    // The bar's window; the low word of dwStyle holds the bar styles (CBRS_*), the high word the window
    // styles. FALSE when the window cannot be made.
    using CWnd::Create;
    virtual BOOL Create(CWnd* pParentWnd, DWORD dwStyle = WS_CHILD | WS_VISIBLE | CBRS_BOTTOM,
                        UINT nID = AFX_IDW_STATUS_BAR);

    // One pane per id, replacing the panes there were; each pane's text is the string of its id and its width
    // that text's width in the bar's font. A separator (ID_SEPARATOR) first is the message pane: it stretches
    // and has no borders. FALSE, and the panes unchanged, when an id other than a separator has no string.
    BOOL SetIndicators(const UINT* lpIDArray, int nIDCount);
    // Inserts pPane with id nID before index nIndex (at the end for -1 or an index past the end) and owns it;
    // returns it. The pane's text and width stay as the pane has them. Null for a null pane, for a pane that
    // already belongs to a bar (left to that bar), and for an index below -1 (the pane is freed).
    CGkStatusBarPane* AddIndicator(CGkStatusBarPane* pPane, UINT nID, int nIndex = -1);

    int GetPaneCount() const { return static_cast<int>(m_arrPanes.size()); }
    // Null for an index outside the bar.
    CGkStatusBarPane* GetPane(int nIndex) const;
    // The index of the first pane with that id; -1 when there is none.
    int CommandToIndex(UINT nIDFind) const;
    UINT GetItemID(int nIndex) const;
    void GetItemRect(int nIndex, LPRECT lpRect) const;
    CString GetPaneText(int nIndex) const;
    // FALSE for an index outside the bar; with bUpdate the pane is repainted.
    BOOL SetPaneText(int nIndex, LPCTSTR lpszNewText, BOOL bUpdate = TRUE);
    void SetPaneStyle(int nIndex, UINT nStyle);
    UINT GetPaneStyle(int nIndex) const;
    void SetPaneWidth(int nIndex, int cxWidth);

    // The borders inside every pane.
    int GetHorzBorder() const { return GK_STATUSBAR_HORZBORDER; }
    int GetVertBorder() const { return GK_STATUSBAR_VERTBORDER; }
    int GetBarHeight() const;
    // The size grip's rectangle (client coordinates); empty while the frame shows none.
    CRect GetSizeGripRect() const;

    CSize CalcFixedLayout(BOOL bStretch, BOOL bHorz) override;
    // Every pane with an id other than 0 runs its update handlers: Enable lights or dims it, SetText sets its
    // text, SetCheck pops it out; a pane no handler touches keeps its state.
    void OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) override;

    // One line per pane: index, id, style, width, text, text colour and whether it is lit.
    CString DumpPanes() const;

protected:
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnSize(UINT nType, int cx, int cy);
    LRESULT OnNcHitTest(WPARAM wParam, LPARAM lParam);
    LRESULT OnSetText(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetText(WPARAM wParam, LPARAM lParam);
    LRESULT OnGetTextLength(WPARAM wParam, LPARAM lParam);

    DECLARE_MESSAGE_MAP()

private:
    friend class CGkStatusBarPane;

    void RemoveAllPanes();
    void RedrawPane(int nIndex);
    void RepaintAll();
    std::vector<CRect> CalcPaneRects() const;

    std::vector<CGkStatusBarPane*> m_arrPanes;
};
