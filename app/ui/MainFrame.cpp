#include "app/ui/MainFrame.h"

#include <algorithm>
#include <vector>

#include "app/core/KxTdloft.h"
#include "app/core/Trace.h"
#include "app/core/USBLog.h"

IMPLEMENT_DYNAMIC(CMainFrame, CMDIFrameWnd)

BEGIN_MESSAGE_MAP(CMainFrame, CMDIFrameWnd)
ON_MESSAGE(CMainFrame::WM_REFRESH_DEVICE_TREE, &CMainFrame::OnRefreshDeviceTree)
END_MESSAGE_MAP()

CUSBLog* CMainFrame::GetLiveDocument() const {
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return nullptr;
    for (POSITION pos = pApp->GetFirstDocTemplatePosition(); pos != nullptr;) {
        CDocTemplate* pTemplate = pApp->GetNextDocTemplate(pos);
        for (POSITION docPos = pTemplate->GetFirstDocPosition(); docPos != nullptr;) {
            auto* pDoc = dynamic_cast<CUSBLog*>(pTemplate->GetNextDoc(docPos));
            if (pDoc != nullptr && pDoc->IsRealtimeDocument())
                return pDoc;
        }
    }
    return nullptr;
}

LRESULT CMainFrame::OnRefreshDeviceTree(WPARAM, LPARAM) {
    CUSBLog* pDoc = GetLiveDocument();
    if (pDoc == nullptr)
        return 0;
    CKxTdloft device;
    if (!device.TryDeviceOpen())
        return 0;
    std::vector<BYTE> buffer(ChangeLogBufferSize);
    for (int i = 0; i < MaxChangeLogReads; ++i) {
        DWORD dwLength = ChangeLogBufferSize;
        if (!device.IoctlReadChangeLog(buffer.data(), dwLength) || dwLength == 0)
            break;
        pDoc->DissectChangeLogFragment(buffer.data(), dwLength);
    }
    device.DeviceClose();
    return 0;
}

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

BOOL CMainFrame::IsPaneVisible(UINT nPaneId) const {
    return std::find(m_VisiblePanes.begin(), m_VisiblePanes.end(), nPaneId) != m_VisiblePanes.end();
}

void CMainFrame::SetPaneVisible(UINT nPaneId, BOOL bVisible) {
    std::erase(m_VisiblePanes, nPaneId);
    if (bVisible)
        m_VisiblePanes.push_back(nPaneId);
}

CUSBLog* CMainFrame::GetActiveLogDocument() {
    CMDIChildWnd* pChild = MDIGetActive();
    if (pChild == nullptr) {
        return nullptr;
    }
    return dynamic_cast<CUSBLog*>(pChild->GetActiveDocument());
}
