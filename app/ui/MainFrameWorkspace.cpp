// CMainFrame: the layout kept in the profile: the window placement, the command bars ("CommandBars") and the
// docking panes ("UserLayout").
#include "XTWindowPos.h"
#include "app/ui/MainFrame.h"

void CMainFrame::LoadWorkspace() {
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
