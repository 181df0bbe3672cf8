// CGkMDIFrameWnd: the MDI main frame of the toolkit. Its layout puts the control bars (command bars, status
// bar) along the edges first, then the docking panes' bands, and gives the MDI client what is left; Alt+F7
// moves between docking panes when the manager allows it.
#pragma once

#include "afxwin.h"

class CGkDockingPaneManager;

class CGkMDIFrameWnd : public CMDIFrameWnd {
    DECLARE_DYNCREATE(CGkMDIFrameWnd)
public:
    CGkMDIFrameWnd() = default;

    void RecalcLayout(BOOL bNotify = TRUE) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // Set by CGkDockingPaneManager::InstallDockingPanes.
    void SetDockingPaneManager(CGkDockingPaneManager* pManager) { m_pDockingPaneManager = pManager; }
    CGkDockingPaneManager* GetDockingPaneManager() const { return m_pDockingPaneManager; }

protected:
    void OnShowWindow(BOOL bShow, UINT nStatus);
    void OnDestroy();
    DECLARE_MESSAGE_MAP()

private:
    CGkDockingPaneManager* m_pDockingPaneManager = nullptr;
    BOOL m_bBecomingVisible = FALSE;
};
