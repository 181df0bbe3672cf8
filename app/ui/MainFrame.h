// CMainFrame: the program's main window, a multi-document frame loaded from resource 128. For now it has no
// bars or panes: the layout calls of start-up and of a capture are recorded (RecordedCalls) so that their
// order can be checked, and no pane is ever visible.
#pragma once

#include <vector>

#include "afxwin.h"

class CUSBLog;

class CMainFrame : public CMDIFrameWnd {
    DECLARE_DYNAMIC(CMainFrame)
public:
    // The device tree's docking pane.
    static constexpr UINT DeviceTreePaneId = 59523;

    CMainFrame() = default;
    ~CMainFrame() override = default;

    // The saved command-bar and pane layout; called once at start-up before the frame is shown.
    void LoadWorkspace();
    // The saved window placement, shown with nCmdShow (the start-up show command when nothing is saved).
    void RestoreWindowPos(int nCmdShow);
    // Hide the device tree and stack inspector panes at a capture start, show them again at its stop.
    void HideDevTreeAndStack();
    void RestoreDevTreeAndStack();
    // True when the docking pane exists and is not closed. Until the frame has panes, the ones SetPaneVisible
    // marked.
    BOOL IsPaneVisible(UINT nPaneId) const;
    void SetPaneVisible(UINT nPaneId, BOOL bVisible);
    // The capture document of the active child frame, or nullptr.
    CUSBLog* GetActiveLogDocument();

    // Posted on a device arrival or removal: the change log's blocks go to the live capture document.
    static constexpr UINT WM_REFRESH_DEVICE_TREE = WM_APP + 6;
    // The change log read into one buffer, a block at a time.
    static constexpr DWORD ChangeLogBufferSize = 66560;
    // Reads per refresh at most: the driver's change log holds fewer blocks; a driver that never runs dry
    // cannot hold the window here.
    static constexpr int MaxChangeLogReads = 31;
    LRESULT OnRefreshDeviceTree(WPARAM wParam, LPARAM lParam);
    // The live capture document, or nullptr.
    CUSBLog* GetLiveDocument() const;

    // The layout calls so far, by name ("LoadWorkspace", "RestoreWindowPos 1", ...), oldest first.
    const std::vector<CString>& RecordedCalls() const { return m_RecordedCalls; }

private:
    std::vector<CString> m_RecordedCalls;
    std::vector<UINT> m_VisiblePanes;

    DECLARE_MESSAGE_MAP()
};
