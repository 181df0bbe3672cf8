// CMainFrame: the layout kept in the profile: the window placement, the command bars ("CommandBars"), the
// docking panes ("UserLayout") and the record list's columns ("LogColumns", by the active list view).
#include "GkCommandBars.h"
#include "GkDockingPaneLayout.h"
#include "XTWindowPos.h"
#include "app/core/document/USBLog.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/loglist/LogListView.h"

void CMainFrame::LoadWorkspace() {
    // Nothing to load again: OnCreate loaded the command bars and the pane layout once, as it made them.
    m_RecordedCalls.emplace_back("LoadWorkspace");
}

void CMainFrame::RestoreWindowPos(int nCmdShow) {
    CString call;
    call.Format("RestoreWindowPos %d", nCmdShow);
    m_RecordedCalls.push_back(call);
    CXTWindowPos wndPos;
    if (wndPos.LoadWindowPos(this))
        nCmdShow = static_cast<int>(wndPos.showCmd);
    ShowWindow(nCmdShow);
}

void CMainFrame::SaveWorkspace() {
    CXTWindowPos wndPos;
    wndPos.SaveWindowPos(this);
    if (CGkCommandBars* pCommandBars = GetCommandBars())
        pCommandBars->SaveCommandBars("CommandBars");
    CGkDockingPaneLayout layout(&m_paneManager);
    m_paneManager.GetLayout(&layout);
    layout.Save("UserLayout");
    if (CUSBLog* pDoc = GetActiveLogDocument())
        if (auto* pView = dynamic_cast<CLogListView*>(pDoc->GetFirstView()))
            pView->SaveLogColumns();
}

void CMainFrame::OnClose() {
    SaveWorkspace();
    CGkMDIFrameWnd::OnClose();
}
