// CUSBLog: closing a capture document, with the panes handed to the document that stays.
#include "app/core/app/Resource.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/ui/PanePointers.h"
#include "app/ui/panes/StackListMessages.h"

namespace {

// The capture documents open in the application: the first live one, and the first saved log but `pExcept`.
void FindOpenDocuments(const CUSBLog* pExcept, CUSBLog*& rpLive, CUSBLog*& rpLogFile) {
    rpLive = nullptr;
    rpLogFile = nullptr;
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return;
    for (POSITION pos = pApp->GetFirstDocTemplatePosition(); pos != nullptr;) {
        CDocTemplate* pTemplate = pApp->GetNextDocTemplate(pos);
        for (POSITION docPos = pTemplate->GetFirstDocPosition(); docPos != nullptr;) {
            auto* pDoc = dynamic_cast<CUSBLog*>(pTemplate->GetNextDoc(docPos));
            if (pDoc == nullptr)
                continue;
            if (pDoc->IsRealtimeDocument() && rpLive == nullptr)
                rpLive = pDoc;
            else if (pDoc->IsLogFileDocument() && pDoc != pExcept && rpLogFile == nullptr)
                rpLogFile = pDoc;
        }
    }
}

} // namespace

void CUSBLog::OnCloseDocument() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DOCUMENT, "--CUSBLog::OnCloseDocument");
    CloseFindDialog();
    CloseBackgroundProgress();
    CUSBLog* pLive = nullptr;
    CUSBLog* pLogFile = nullptr;
    FindOpenDocuments(this, pLive, pLogFile);
    // The panes show the document that stays: the live capture when it is not this one, else a saved log.
    // With none left they show nothing; either way they must not keep this document's objects.
    CUSBLog* pNext = pLive != nullptr && pLive != this ? pLive : pLogFile;
    CPanePointers panes;
    const BOOL bWriteable = pNext != nullptr && pNext == pLive && !pLive->IsLogging();
    panes.RefreshDeviceTreeTabViews(pNext, bWriteable);
    SendStackListMessage(WM_CLEAR_STACKLIST);
    // The base may delete this document: nothing of it is used after.
    CDocument::OnCloseDocument();
    panes.DataBarClear(TRUE);
    panes.DevicePropertiesUpdate();
}
