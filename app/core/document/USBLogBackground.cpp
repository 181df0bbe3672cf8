// CUSBLog: the progress window of background logging, opened at a start and finished at the stop, and the
// record list reloaded once the capture thread has stopped filling the store.
#include <memory>

#include "app/core/app/Resource.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/core/settings/AppSettings.h"
#include "app/ui/PanePointers.h"
#include "app/ui/dialogs/LogProgress.h"
#include "app/ui/loglist/LogListView.h"

namespace {

constexpr char kBackgroundTitle[] = "Background Logging in Progress ...";

LPCSTR BufferSizeText(DWORD dwMaxLogBuffer) {
    switch (dwMaxLogBuffer) {
    case 262144: return " buffer size 256KB";
    case 1048576: return " buffer size 1MB";
    case 5242880: return " buffer size 5MB";
    case 10485760: return " buffer size 10MB";
    case 52428800: return " buffer size 50MB";
    case 104857600: return " buffer size 100MB";
    default: return " buffer size ?";
    }
}

} // namespace

CString CUSBLog::BackgroundLoggingText(const CAppSettings& settings) {
    CString text = settings.ContinuousLogging ? "Continuous logging, " : "Logging terminates when buffer is full, ";
    text += BufferSizeText(settings.MaxLogBuffer);
    return text;
}

void CUSBLog::OpenBackgroundProgress(const CAppSettings& settings) {
    // The capture thread fills the store from here on: nothing on this thread may read it until the stop.
    CPanePointers panes;
    panes.DataBarClear(TRUE);
    panes.DevicePropertiesUpdate();
    if (auto* pView = dynamic_cast<CLogListView*>(GetFirstView()))
        pView->Clear();
    CloseBackgroundProgress();
    auto pOwnedDialog = std::make_unique<CLogProgress>(kBackgroundTitle, GetMainWindow());
    pOwnedDialog->m_pDocument = this;
    if (!pOwnedDialog->Create(IDD_LOG_PROGRESS_BACKGROUND, GetMainWindow())) {
        pOwnedDialog->m_pDocument = nullptr;
        return;
    }
    // Its window has it from here: the object goes with the window.
    CLogProgress* pDialog = pOwnedDialog.release();
    pDialog->m_bAutoDelete = TRUE;
    pDialog->SetPos(0, 0);
    pDialog->SetPos(1, 0);
    pDialog->SetText(BackgroundLoggingText(settings));
    pDialog->ShowWindow(SW_SHOW);
    m_pBackgroundProgress = pDialog;
}

void CUSBLog::FinishBackgroundLogging() {
    CLogProgress* pDialog = m_pBackgroundProgress;
    if (pDialog != nullptr)
        pDialog->SetDoneText("Logging Stopped");
    const INT_PTR nCount = m_pLogRecords != nullptr ? m_pLogRecords->GetCount() : 0;
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DOCUMENT, "Number of unfiltered records: %u\n",
              static_cast<unsigned>(nCount));
    auto* pView = dynamic_cast<CLogListView*>(GetFirstView());
    if (pView != nullptr)
        pView->RedrawRange();
    // A cancelled window is closed by its Cancel, once this stop has returned to it.
    if (pDialog != nullptr && !pDialog->IsCancelled())
        CloseBackgroundProgress();
    if (pView != nullptr && IsTriggerOn() && m_nTriggerSeqNum != 0) {
        const int nItem = pView->FindItemBySequence(m_nTriggerSeqNum);
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DOCUMENT, "Trigger seqnum=%u at item=%d", m_nTriggerSeqNum, nItem);
        if (nItem >= 0) {
            // The trigger's row becomes the one selected, so that the panes show the record that stopped it.
            CListCtrl& list = pView->GetListCtrl();
            list.SetItemState(-1, 0, LVIS_SELECTED);
            list.SetItemState(nItem, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
            pView->EnsureVisible(nItem);
        }
    }
}

void CUSBLog::CloseBackgroundProgress() {
    CLogProgress* pDialog = m_pBackgroundProgress;
    m_pBackgroundProgress = nullptr;
    if (pDialog == nullptr)
        return;
    // Its window's end deletes the object; it no longer reports to this document.
    pDialog->m_pDocument = nullptr;
    if (::IsWindow(pDialog->GetSafeHwnd()))
        pDialog->DestroyWindow();
    else
        delete pDialog; // its window is gone already, and with it what would delete the object
}

void CUSBLog::BackgroundProgressDestroyed(CLogProgress* pDialog) {
    if (m_pBackgroundProgress == pDialog)
        m_pBackgroundProgress = nullptr;
}
