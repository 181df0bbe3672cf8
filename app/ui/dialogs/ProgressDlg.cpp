#include "app/ui/dialogs/ProgressDlg.h"

#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/core/settings/AppSettings.h"
#include "app/ui/dialogs/LogProgress.h"

namespace {

// The document's settings (the application's for a live capture), else the application's.
const CAppSettings* ProgressSettings(const CLogProgress* pDlg) {
    if (pDlg->m_pDocument != nullptr && pDlg->m_pDocument->GetSettings() != nullptr)
        return pDlg->m_pDocument->GetSettings();
    const auto* pApp = dynamic_cast<const CTindaloftApp*>(AfxGetApp());
    return pApp != nullptr ? &pApp->m_Settings : nullptr;
}

} // namespace

void ProgressDlgSetPos(CLogProgress* pDlg, int nPos) {
    if (pDlg != nullptr)
        pDlg->SetPos(0, nPos);
}

BOOL ProgressDlgPumpMessages(CLogProgress* pDlg) {
    return pDlg != nullptr ? pDlg->PumpMessages() : TRUE;
}

void ProgressDlgFinish(CLogProgress* pDlg, LPCSTR lpszStatus) {
    if (pDlg == nullptr || !::IsWindow(pDlg->GetSafeHwnd()))
        return;
    pDlg->SetDoneText(lpszStatus);
    const BOOL bCancelled = pDlg->IsCancelled();
    if (bCancelled) {
        CString strTitle;
        pDlg->GetWindowText(strTitle);
        pDlg->SetWindowText(strTitle + " Canceled!");
    } else {
        pDlg->SetPos(0, 100);
    }
    HWND hDlg = pDlg->GetSafeHwnd();
    ::EnableWindow(::GetDlgItem(hDlg, IDCANCEL), FALSE);
    HWND hOk = ::GetDlgItem(hDlg, IDOK);
    ::EnableWindow(hOk, TRUE);
    ::SetFocus(hOk);
    const CAppSettings* pSettings = ProgressSettings(pDlg);
    if (!bCancelled && !pDlg->m_bKeepOpen && pSettings != nullptr && pSettings->AutoCloseProgress)
        ::SendMessageA(hDlg, WM_COMMAND, IDOK, 0);
}
