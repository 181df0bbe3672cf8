// CGkDockingPane: one docking pane of a frame: an id, a title, the window it shows, and whether the user closed
// it. Panes are made and owned by their manager (CGkDockingPaneManager) and live in one tab group each.
#pragma once

#include "afxwin.h"

class CGkDockingPaneManager;
class CGkDockingPaneGroup;

// The notification the site frame gets about its panes: wParam GKPN_SHOWWINDOW, lParam the pane, before a
// pane becomes visible; the frame may attach the pane's window then.
#define GKWM_DOCKINGPANE_NOTIFY 0x2AAD
#define GKPN_SHOWWINDOW 1

enum GkDockingDirection { gkPaneDockLeft = 0, gkPaneDockRight = 1, gkPaneDockTop = 2, gkPaneDockBottom = 3 };

class CGkDockingPane {
public:
    CGkDockingPane(CGkDockingPaneManager* pManager, UINT nID, CSize szCreated);
    CGkDockingPane(const CGkDockingPane&) = delete;
    CGkDockingPane& operator=(const CGkDockingPane&) = delete;

    UINT GetID() const { return m_nID; }
    void SetTitle(LPCTSTR lpszTitle);
    CString GetTitle() const { return m_strTitle; }
    // The window the pane shows; it is hidden until the pane is visible and positioned inside the pane's area.
    void Attach(CWnd* pWnd);
    CWnd* GetChild() const { return m_pChild; }
    BOOL IsClosed() const { return m_bClosed; }
    // Closes the pane: its tab leaves the strip (the next tab becomes active) and its window is hidden, but it
    // stays in its group for a later ShowPane.
    void Close();
    // TRUE while the pane still belongs to its manager.
    BOOL IsValid() const { return m_pManager != nullptr; }
    // Whether the pane's window is on show now.
    BOOL IsShown() const { return m_bShown; }
    CSize GetCreatedSize() const { return m_szCreated; }
    CGkDockingPaneGroup* GetGroup() const { return m_pGroup; }

private:
    friend class CGkDockingPaneManager;
    friend class CGkDockingPaneGroup;

    CGkDockingPaneManager* m_pManager;
    UINT m_nID;
    CSize m_szCreated;
    CString m_strTitle;
    CWnd* m_pChild = nullptr;
    BOOL m_bClosed = FALSE;
    BOOL m_bShown = FALSE;
    CGkDockingPaneGroup* m_pGroup = nullptr;
};
