#include "app/core/CheckUpdateDlg.h"

#include "app/core/Resource.h"

CheckUpdateDlg::CheckUpdateDlg(CWnd* pParent) : CDialog(IDD_CHECK_UPDATE, pParent) {}

BOOL CheckUpdateDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    SetDlgItemTextA(m_hWnd, IDC_UPDATE_LATEST, "The latest version is: " + m_strLatestVersion);
    SetDlgItemTextA(m_hWnd, IDC_UPDATE_INSTALLED, "Your installed version is: " + m_strInstalledVersion);
    return TRUE;
}
