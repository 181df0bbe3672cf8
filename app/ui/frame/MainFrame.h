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
#include "app/ui/panes/DataBar.h"
#include "app/ui/panes/DevTreeBar.h"
#include "app/ui/panes/DevicePropertiesWnd.h"
#include "app/ui/panes/LogPropertiesWnd.h"
#include "app/ui/panes/StackInspectorBar.h"
#include "app/ui/panes/SystemPropertiesWnd.h"
#include "dbt.h"

class CDeviceTreeTab;
class CGkCommandBars;
class CSpecialGridList;
class CStatusLEDPane;
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
    // On close: the window placement, the command bars, the docking layout and the active document's record
    // list columns, into the profile.
    void SaveWorkspace();
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
    // The capture LED; null when it could not be added.
    CStatusLEDPane* GetStatusLED() const { return m_pStatusLED; }

    // Device-interface notifications of the seven interface classes the device tree follows (USB host
    // controllers, devices and hubs, HID, mice, keyboards, printers), each registered once; the live capture's
    // record list asks for them and lets them go when it goes, and so does the frame.
    void RegisterForPnpNotifications();
    void UnregisterForPnpNotifications();
    static constexpr int PnpNotificationCount = 7;
    HDEVNOTIFY GetPnpNotification(int nIndex) const { return m_hDevNotify[nIndex]; }

    // The tooltip of a button of the toolbar "Standard", from the string table.
    void SetToolbarTooltip(UINT nCommand, UINT nStringId);
    // The background-logging window of the document: its bars set to the capture banks' fill, then its
    // messages run (which may close the document, so nothing of it is read after).
    void ShowBackgroundProgress(CUSBLog* pDoc);
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
    // A frame goes with its window, once it was made; one whose creation failed stays its creator's.
    void PostNcDestroy() override;
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnClose();
    void OnDestroy();
    void OnTimer(UINT_PTR nIDEvent);
    void OnGetMinMaxInfo(MINMAXINFO* lpMMI);
    BOOL OnDeviceChange(UINT nEventType, DWORD_PTR dwData);
    void OnInitMenuPopup(CMenu* pPopupMenu, UINT nIndex, BOOL bSysMenu);
    LRESULT OnDockingPaneNotify(WPARAM wParam, LPARAM lParam);
    void OnViewDockingPane(UINT nID);
    void OnUpdateViewDockingPane(CCmdUI* pCmdUI);
    void OnViewRefresh();
    void OnUpdateViewRefresh(CCmdUI* pCmdUI);
    void OnHelpStackInspector();
    void OnBootLogging();
    void OnUpdateBootLogging(CCmdUI* pCmdUI);
    void OnCaptureHotPlugs();
    void OnUpdateCaptureHotPlugs(CCmdUI* pCmdUI);
    void OnWindowListEntry(UINT nID);
    void OnUpdateWindowListEntry(CCmdUI* pCmdUI);
    void OnUpdateIndicatorWrap(CCmdUI* pCmdUI);
    void OnUpdateIndicatorTrig(CCmdUI* pCmdUI);
    void OnUpdateIndicatorFilt(CCmdUI* pCmdUI);
    void OnUpdateIndicatorCapt(CCmdUI* pCmdUI);
    void OnUpdateIndicatorDiag(CCmdUI* pCmdUI);

    DECLARE_MESSAGE_MAP()

private:
    BOOL CreateStatusBar();
    void AddStatusLED();
    BOOL CreateToolbar(CGkCommandBars* pCommandBars);
    void CreateDockingPanes();
    // The window of a pane shown for the first time; FALSE when it cannot be made (traced).
    BOOL CreatePaneWindow(UINT nPaneId);
    BOOL CreateDeviceTreeBar();
    BOOL CreateStackInspectorBar();
    BOOL CreateDataBar();
    // The current docking theme's border on a new pane window.
    void ApplyPaneBorder(CWnd& wnd) const;
    // The LED's next image: off when not capturing, else the other lit one.
    void BlinkStatusLED(BOOL bCapturing);
    // The live capture that is the active document, or nullptr.
    CUSBLog* GetActiveLiveDocument();
    // The Window menu's list of document windows after Cascade and Tile, rebuilt.
    void BuildWindowList(CMenu* pWindowMenu);

    CGkStatusBar m_wndStatusBar;
    CGkDockingPaneManager m_paneManager;
    CLogPropertiesWnd m_wndLogProperties;
    CDevicePropertiesWnd m_wndDeviceProperties;
    CSystemPropertiesWnd m_wndSystemProperties;
    CDevTreeBar m_wndDevTreeBar;
    CStackInspectorBar m_wndStackInspectorBar;
    CDataBar m_wndDataBar;
    HDEVNOTIFY m_hDevNotify[PnpNotificationCount] = {};
    CStatusLEDPane* m_pStatusLED = nullptr; // owned by the status bar
    // The windows the Window menu's list names, in its order.
    std::vector<HWND> m_WindowList;
    BOOL m_bCreated = FALSE;

    std::vector<CString> m_RecordedCalls;
};
