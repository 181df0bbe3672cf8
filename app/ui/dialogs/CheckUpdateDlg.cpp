#include "app/ui/dialogs/CheckUpdateDlg.h"

#include "app/core/app/Resource.h"
#include "app/core/update/UpdateServer.h"
#include "shellapi.h"

CheckUpdateDlg::CheckUpdateDlg(CWnd* pParent) : CDialog(IDD_CHECK_UPDATE, pParent) {}

BOOL CheckUpdateDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetDlgItemTextA(m_hWnd, IDC_UPDATE_LATEST, "The latest version is: " + m_strLatestVersion);
    SetDlgItemTextA(m_hWnd, IDC_UPDATE_INSTALLED, "Your installed version is: " + m_strInstalledVersion);
    return TRUE;
}

void CheckUpdateDlg::OnOK() {
    // The browser says for itself when the page cannot be shown.
    ::ShellExecuteA(m_hWnd, "open", kDownloadPage, nullptr, nullptr, SW_SHOWNORMAL);
    CDialog::OnOK();
}
