// CMainFrame: the program's main window, the toolkit's multi-document frame loaded from resource 128. It owns
// the command bars (the menu bar and the toolbar "Standard"), the status bar with its indicators and the
// capture LED, the docking panes and their windows (made the first time each pane shows), a 333 ms timer,
// the registrations for device notifications and the handling of device changes, and the saving of its
// layout in the profile. Documents, views and decoders reach the panes through CPanePointers, which asks the
// frame's getters.
//
// The layout calls of start-up and of a capture are also recorded (RecordedCalls), so that their order can
// be checked.
#pragma once

#include <vector>

#include "GkDockingPaneManager.h"
#include "GkMDIFrameWnd.h"
#include "GkStatusBar.h"
#include "afxwin.h"
#include "app/ui/DataBar.h"
#include "app/ui/DevTreeBar.h"
#include "app/ui/DevicePropertiesWnd.h"
#include "app/ui/LogPropertiesWnd.h"
#include "app/ui/StackInspectorBar.h"
#include "app/ui/SystemPropertiesWnd.h"

class CDeviceTreeTab;
class CSpecialGridList;
class CUSBLog;

class CMainFrame : public CGkMDIFrameWnd {
    DECLARE_DYNAMIC(CMainFrame)
public:
    // The device tree's docking pane.
    static constexpr UINT DeviceTreePaneId = 59523;

    CMainFrame();
    ~CMainFrame() override;
    CMainFrame(const CMainFrame&) = delete;
    CMainFrame& operator=(const CMainFrame&) = delete;

    // Called once at start-up before the frame is shown; the bars and panes loaded their saved layout when
    // the frame was made.
    void LoadWorkspace();
    // The saved window placement, shown with its saved state (nCmdShow when nothing is saved).
    void RestoreWindowPos(int nCmdShow);
    // Hide the device tree and stack inspector panes at a capture start (each remembers it was open), show
    // again those that were at its stop.
    void HideDevTreeAndStack();
    void RestoreDevTreeAndStack();
    // True when the docking pane exists and is not closed.
    BOOL IsPaneVisible(UINT nPaneId) const;
    // The capture document of the active child frame (a CChildFrame), or nullptr.
    CUSBLog* GetActiveLogDocument();
    // The live capture document, or nullptr.
    CUSBLog* GetLiveDocument() const;

    // The panes for CPanePointers: the three properties panes only once their windows exist, the data bar
    // once its hex-dump control does, the two bars always, the tab view and the stack list once both the bar's
    // window and theirs exist.
    CLogPropertiesWnd* GetLogDetailsPane();
    CDevicePropertiesWnd* GetDevicePropertiesPane();
    CSystemPropertiesWnd* GetSystemPropertiesPane();
    CDataBar* GetDataBar();
    CDevTreeBar* GetDevTreeBar() { return &m_wndDevTreeBar; }
    CStackInspectorBar* GetStackInspectorBar() { return &m_wndStackInspectorBar; }
    CDeviceTreeTab* GetDeviceTreeTab();
    CSpecialGridList* GetStackInspectorList();

    CGkDockingPaneManager& GetPaneManager() { return m_paneManager; }
    CGkStatusBar& GetStatusBar() { return m_wndStatusBar; }

    // Posted on a device arrival or removal: the change log is read and given to the live capture document.
    static constexpr UINT WM_REFRESH_DEVICE_TREE = WM_APP + 6;
    // The change log read into one buffer, a block at a time.
    static constexpr DWORD ChangeLogBufferSize = 66560;
    // Reads per refresh at most: the driver's change log holds fewer blocks; a driver that never runs dry
    // cannot hold the window here.
    static constexpr int MaxChangeLogReads = 31;
    LRESULT OnRefreshDeviceTree(WPARAM wParam, LPARAM lParam);

    // The layout calls so far, by name ("LoadWorkspace", "RestoreWindowPos 1", ...), oldest first.
    const std::vector<CString>& RecordedCalls() const { return m_RecordedCalls; }

protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    LRESULT OnDockingPaneNotify(WPARAM wParam, LPARAM lParam);
    void OnViewDockingPane(UINT nID);
    void OnUpdateViewDockingPane(CCmdUI* pCmdUI);

    DECLARE_MESSAGE_MAP()

private:
    BOOL CreateStatusBar();
    BOOL CreateToolbar(CGkCommandBars* pCommandBars);
    void CreateDockingPanes();
    // The window of a pane shown for the first time; FALSE when it cannot be made (traced).
    BOOL CreatePaneWindow(UINT nPaneId);
    BOOL CreateDeviceTreeBar();
    BOOL CreateStackInspectorBar();
    BOOL CreateDataBar();
    // The current docking theme's border on a new pane window.
    void ApplyPaneBorder(CWnd& wnd) const;

    CGkStatusBar m_wndStatusBar;
    CGkDockingPaneManager m_paneManager;
    CLogPropertiesWnd m_wndLogProperties;
    CDevicePropertiesWnd m_wndDeviceProperties;
    CSystemPropertiesWnd m_wndSystemProperties;
    CDevTreeBar m_wndDevTreeBar;
    CStackInspectorBar m_wndStackInspectorBar;
    CDataBar m_wndDataBar;

    std::vector<CString> m_RecordedCalls;
};
