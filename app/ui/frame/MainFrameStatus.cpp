// CMainFrame: the status bar's indicators, the capture LED and timer 1, which blinks the LED and moves the
// background-logging bars on.
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/core/settings/AppSettings.h"
#include "app/ui/dialogs/LogProgress.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/frame/MainFrameIds.h"
#include "app/ui/frame/StatusLEDPane.h"

namespace {

constexpr UINT_PTR kTimerId = 1;
// The trigger's indicator once the trigger has fired.
constexpr COLORREF kFiredColour = RGB(255, 0, 0);

const CAppSettings* AppSettings() {
    auto* pApp = dynamic_cast<CTindaloftApp*>(AfxGetApp());
    return pApp != nullptr ? &pApp->m_Settings : nullptr;
}

// A document's own settings (a saved log's), else the application's.
const CAppSettings* SettingsOf(const CUSBLog* pDoc) {
    return pDoc != nullptr && pDoc->GetSettings() != nullptr ? pDoc->GetSettings() : AppSettings();
}

} // namespace

void CMainFrame::OnTimer(UINT_PTR nIDEvent) {
    if (nIDEvent != kTimerId) {
        CGkMDIFrameWnd::OnTimer(nIDEvent);
        return;
    }
    BOOL bCapturing = FALSE;
    if (CUSBLog* pDoc = GetActiveLogDocument()) {
        bCapturing = pDoc->IsLogging();
        ShowBackgroundProgress(pDoc);
    }
    BlinkStatusLED(bCapturing);
}

void CMainFrame::BlinkStatusLED(BOOL bCapturing) {
    if (m_pStatusLED == nullptr)
        return;
    UINT nNext = IDB_LED_OFF;
    if (bCapturing)
        nNext = m_pStatusLED->GetCurrent() == IDB_LED_ON_A ? IDB_LED_ON_B : IDB_LED_ON_A;
    if (m_pStatusLED->SetCurrent(nNext))
        m_pStatusLED->Redraw();
}

void CMainFrame::ShowBackgroundProgress(CUSBLog* pDoc) {
    const CAppSettings* pSettings = SettingsOf(pDoc);
    CLogProgress* pProgress = pDoc->GetBackgroundProgress();
    if (pSettings == nullptr || !pSettings->BackgroundLogging || pProgress == nullptr || pProgress->IsCancelled() ||
        pDoc->GetLogRecords() == nullptr)
        return;
    int nBanks = 0, nPercent0 = 0, nPercent1 = 0;
    pDoc->GetLogRecords()->GetBufferFill(nBanks, nPercent0, nPercent1);
    pProgress->SetPos(0, nPercent0);
    if (nBanks == 2)
        pProgress->SetPos(1, nPercent1);
    // Cancel may stop the capture and close the window while the messages run; the document is not read
    // again here.
    pProgress->PumpMessages();
}

void CMainFrame::OnUpdateIndicatorWrap(CCmdUI* pCmdUI) {
    const CAppSettings* pSettings = SettingsOf(GetActiveLogDocument());
    pCmdUI->Enable(pSettings != nullptr && pSettings->ContinuousLogging);
}

void CMainFrame::OnUpdateIndicatorTrig(CCmdUI* pCmdUI) {
    const CUSBLog* pDoc = GetActiveLogDocument();
    pCmdUI->Enable(TRUE);
    pCmdUI->SetText(pDoc != nullptr && pDoc->IsTriggerOn() ? "TRIG" : "");
    const int nIndex = m_wndStatusBar.CommandToIndex(ID_INDICATOR_TRIG);
    if (CGkStatusBarPane* pPane = m_wndStatusBar.GetPane(nIndex)) {
        const BOOL bFired = pDoc != nullptr && pDoc->GetTriggerSequenceNumber() != 0;
        pPane->SetTextColor(bFired ? kFiredColour : ::GetSysColor(COLOR_BTNTEXT));
    }
}

void CMainFrame::OnUpdateIndicatorFilt(CCmdUI* pCmdUI) {
    const CUSBLog* pDoc = GetActiveLogDocument();
    pCmdUI->Enable(pDoc != nullptr && (pDoc->IsCaptureFilterOn() || pDoc->IsBufferFilterOn()));
}

void CMainFrame::OnUpdateIndicatorCapt(CCmdUI* pCmdUI) {
    const CUSBLog* pDoc = GetActiveLogDocument();
    pCmdUI->Enable(pDoc != nullptr && pDoc->IsLogging());
}

void CMainFrame::OnUpdateIndicatorDiag(CCmdUI* pCmdUI) {
    const CAppSettings* pSettings = AppSettings();
    pCmdUI->Enable(pSettings != nullptr && pSettings->MemlogFlags != 0);
}
