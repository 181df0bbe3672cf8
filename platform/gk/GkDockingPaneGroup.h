// CGkDockingPaneGroup: the window of one tab group of docking panes under the site frame. From the top: a
// caption with the active pane's title and a close button (the active caption's colours while the focus is
// inside the group, the face inside a shadow line otherwise), the active pane's window inside a sunken client
// edge, and, with several open panes, a tab strip along the bottom. Splitter strips the manager assigns lie
// along some of its edges, raised on the face; dragging one resizes the band or split behind it.
#pragma once

#include <vector>

#include "afxwin.h"

#include "GkDockingPane.h"

#define GK_DOCKING_CAPTION_HEIGHT 20
#define GK_DOCKING_TAB_HEIGHT 22
#define GK_DOCKING_SPLITTER 4
#define GK_DOCKING_CLOSE_SIZE 14

class CGkDockingPaneGroup : public CWnd {
public:
    // A strip of the group (client coordinates) that drags a splitter: bHorz strips move up and down.
    struct Splitter {
        CRect rc;
        BOOL bHorz;
        void* pTarget; // the manager's band or split
    };

    explicit CGkDockingPaneGroup(CGkDockingPaneManager* pManager);
    using CWnd::Create;
    BOOL Create(CWnd* pSite);

    std::vector<CGkDockingPane*>& Panes() { return m_panes; }
    const std::vector<CGkDockingPane*>& Panes() const { return m_panes; }
    // The open panes, in tab order.
    std::vector<CGkDockingPane*> OpenPanes() const;
    CGkDockingPane* GetActivePane() const { return m_pActive; }
    void SetActivePane(CGkDockingPane* pPane) { m_pActive = pPane; }
    BOOL HasOpenPane() const { return !OpenPanes().empty(); }

    void SetSplitters(std::vector<Splitter> splitters) { m_splitters = std::move(splitters); }
    // Client rectangles as drawn; empty when not shown.
    CRect GetCaptionRect() const;
    CRect GetCloseButtonRect() const;
    CRect GetTabRect(int nTab) const; // among the open panes
    CRect GetClientEdgeRect() const;  // the sunken edge round the pane's window
    CRect GetPaneArea() const;        // where the active pane's window goes: inside that edge
    const std::vector<Splitter>& GetSplitters() const { return m_splitters; }

protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnDestroy();
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonUp(UINT nFlags, CPoint point);
    void OnSize(UINT nType, int cx, int cy);
    DECLARE_MESSAGE_MAP()

private:
    CRect Inner() const; // the client less the splitter strips
    int TabWidth(const CGkDockingPane* pPane) const;

    CGkDockingPaneManager* m_pManager;
    std::vector<CGkDockingPane*> m_panes;
    CGkDockingPane* m_pActive = nullptr;
    std::vector<Splitter> m_splitters;
    int m_nDragSplitter = -1;
    CPoint m_ptDragStart;
};
