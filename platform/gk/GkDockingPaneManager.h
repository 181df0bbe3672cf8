// CGkDockingPaneManager: the docking panes of a site frame, laid out in bands inside what the frame's bars
// leave. A pane docked at an edge forms a band outside every band docked before it, spanning that side at its
// created width or height; a pane docked beside a neighbour splits the neighbour's rectangle, taking its
// created size; an attached pane becomes the last tab of the neighbour's group. When the bands do not fit
// they shrink in proportion. The frame's MDI client (or view) gets what the bands leave.
#pragma once

#include <memory>
#include <vector>

#include "afxwin.h"

#include "GkDockingPane.h"
#include "GkDockingPaneGroup.h"

class CGkDockingPaneLayout;
struct GkDockNode;
struct GkDockBand;
struct GkLayoutBand;

class CGkDockingPaneManager {
public:
    CGkDockingPaneManager();
    ~CGkDockingPaneManager();
    CGkDockingPaneManager(const CGkDockingPaneManager&) = delete;
    CGkDockingPaneManager& operator=(const CGkDockingPaneManager&) = delete;

    // The frame the panes live in; FALSE for a frame without a window or a second installation.
    BOOL InstallDockingPanes(CFrameWnd* pSite);
    CFrameWnd* GetSite() const { return m_pSite; }
    void SetTheme(int nTheme) { m_nTheme = nTheme; }
    int GetCurrentTheme() const { return m_nTheme; }
    // Alt+F7 (with any flag set) shows the next pane and puts the focus in it.
    void EnableKeyboardNavigate(DWORD dwFlags = 1) { m_dwKeyboardNavigate = dwFlags; }
    DWORD GetKeyboardNavigate() const { return m_dwKeyboardNavigate; }

    // A new pane of id nID, docked at an edge, or beside pNeighbour; its created size is rc's width and height.
    // Null before installation or for an id already in use.
    CGkDockingPane* CreatePane(UINT nID, CRect rc, GkDockingDirection direction, CGkDockingPane* pNeighbour = nullptr);
    // Moves pPane to an edge, or beside pNeighbour, as a group of its own.
    void DockPane(CGkDockingPane* pPane, GkDockingDirection direction, CGkDockingPane* pNeighbour = nullptr);
    // Moves pPane into pNeighbour's group as its last tab; the group's active tab stays.
    void AttachPane(CGkDockingPane* pPane, CGkDockingPane* pNeighbour);
    CGkDockingPane* FindPane(UINT nID) const;
    const std::vector<std::unique_ptr<CGkDockingPane>>& GetPanes() const { return m_panes; }
    // Opens a closed pane in its group and makes its tab the active one.
    CGkDockingPane* ShowPane(UINT nID);
    void ShowPane(CGkDockingPane* pPane);
    void ClosePane(CGkDockingPane* pPane);
    // Lays the frame out again (bars, bands, client).
    void RecalcFramesLayout();

    // The layout of the panes, and one applied; FALSE, and nothing changed, for a layout that holds nothing.
    CGkDockingPaneLayout* CreateLayout();
    void GetLayout(CGkDockingPaneLayout* pLayout) const;
    BOOL SetLayout(const CGkDockingPaneLayout* pLayout);

    // For the frame: places the bands in rcInside, leaves the rest in rcInside, then shows and hides the
    // panes' windows for a frame that is (or is becoming) visible.
    void LayoutInside(CRect& rcInside, BOOL bSiteVisible);
    // For the frame on Alt+F7.
    BOOL NavigateNext();
    // For a group: a splitter dragged by delta pixels.
    void MoveSplitter(void* pTarget, int nDelta);
    // For a group: a tab clicked or its close button pressed.
    void ActivateTab(CGkDockingPane* pPane);

private:
    friend class CGkDockingPane;
    CGkDockingPaneGroup* NewGroup();
    void DestroyGroup(CGkDockingPaneGroup* pGroup);
    void RemoveFromGroup(CGkDockingPane* pPane);
    void PlaceGroup(CGkDockingPaneGroup* pGroup, GkDockingDirection direction, CGkDockingPane* pNeighbour,
                    CSize szCreated);
    GkDockNode* FindLeaf(const CGkDockingPaneGroup* pGroup, GkDockBand** ppBand = nullptr) const;
    void RemoveLeaf(const CGkDockingPaneGroup* pGroup);
    void SyncVisibility(BOOL bSiteVisible);
    void Relayout();

    CFrameWnd* m_pSite = nullptr;
    int m_nTheme = 0;
    DWORD m_dwKeyboardNavigate = 0;
    BOOL m_bSiteVisible = FALSE;
    std::vector<std::unique_ptr<CGkDockingPane>> m_panes;
    std::vector<CGkDockingPaneGroup*> m_groups;
    std::vector<std::unique_ptr<GkDockBand>> m_bands; // outermost first
};
