// CGkMDIFrameWnd: the MDI main frame of the toolkit. Its layout puts the control bars (command bars, status
// bar) along the edges first, then the docking panes' bands, and gives the MDI client what is left; Alt+F7
// moves between docking panes when the manager allows it, Alt with a mnemonic opens the menu bar's title, and
// F10 or Alt pressed and let go alone (Shift+F10 stays the context menu's) puts the menu bar in keyboard mode,
// which then has the frame's keys.
#pragma once

#include "afxwin.h"

class CGkCommandBars;
class CGkDockingPaneManager;

// Failures a test can ask of the next frame: InitCommandBars or GetCommandBars gives FALSE or null once.
enum class GkFrameFailure { InitCommandBars, GetCommandBars };
void GkFailNext(GkFrameFailure failure);

class CGkMDIFrameWnd : public CMDIFrameWnd {
    DECLARE_DYNCREATE(CGkMDIFrameWnd)
public:
    CGkMDIFrameWnd();
    ~CGkMDIFrameWnd() override;

    // The frame's command bars; FALSE when they cannot be made (or were made before).
    BOOL InitCommandBars();
    // Null before InitCommandBars.
    CGkCommandBars* GetCommandBars();

    void RecalcLayout(BOOL bNotify = TRUE) override;
    // The edges (CBRS_ALIGN_* bits) a dragged toolbar may dock at; every edge until this is called.
    void EnableDocking(DWORD dwDockStyle) { m_dwDockingEdges = dwDockStyle & CBRS_ALIGN_ANY; }
    DWORD GetDockingEdges() const { return m_dwDockingEdges; }
    BOOL PreTranslateMessage(MSG* pMsg) override;
    // With a menu bar the menu shows there, not as a native menu.
    void OnUpdateFrameMenu(HMENU hMenuAlt) override;

    // Set by CGkDockingPaneManager::InstallDockingPanes.
    void SetDockingPaneManager(CGkDockingPaneManager* pManager) { m_pDockingPaneManager = pManager; }
    CGkDockingPaneManager* GetDockingPaneManager() const { return m_pDockingPaneManager; }

protected:
    void OnShowWindow(BOOL bShow, UINT nStatus);
    void OnDestroy();
    BOOL OnEraseBkgnd(CDC* pDC);
    DECLARE_MESSAGE_MAP()

private:
    // The menu bar's keys: F10, Alt alone, and every key while the bar is in keyboard mode; TRUE when taken.
    BOOL PreTranslateMenuKey(MSG* pMsg);

    CGkDockingPaneManager* m_pDockingPaneManager = nullptr;
    BOOL m_bAltAlone = FALSE; // Alt is down and no other key or button came since
    CGkCommandBars* m_pCommandBars = nullptr;
    BOOL m_bBecomingVisible = FALSE;
    DWORD m_dwDockingEdges = CBRS_ALIGN_ANY;
};
