#include "app/ui/MainFrame.h"

#include "app/core/USBLog.h"

IMPLEMENT_DYNAMIC(CMainFrame, CMDIFrameWnd)

void CMainFrame::LoadWorkspace() {
    m_RecordedCalls.emplace_back("LoadWorkspace");
}

void CMainFrame::RestoreWindowPos(int nCmdShow) {
    CString call;
    call.Format("RestoreWindowPos %d", nCmdShow);
    m_RecordedCalls.push_back(call);
    // Nothing saved yet: the start-up show command.
    ShowWindow(nCmdShow);
}

void CMainFrame::HideDevTreeAndStack() {
    m_RecordedCalls.emplace_back("HideDevTreeAndStack");
}

void CMainFrame::RestoreDevTreeAndStack() {
    m_RecordedCalls.emplace_back("RestoreDevTreeAndStack");
}

BOOL CMainFrame::IsPaneVisible(UINT) const {
    return FALSE;
}

CUSBLog* CMainFrame::GetActiveLogDocument() {
    CMDIChildWnd* pChild = MDIGetActive();
    if (pChild == nullptr) {
        return nullptr;
    }
    return dynamic_cast<CUSBLog*>(pChild->GetActiveDocument());
}
