#include "app/ui/dialogs/AboutDlg.h"

#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"

CAboutDlg::CAboutDlg(CWnd* pParent) : CDialog(IDD_ABOUTBOX, pParent) {}

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    if (m_BigIcon.SubclassDlgItem(IDC_BIGICON, this)) {
        m_BigIcon.SizeToContent();
    }
    const auto* pApp = dynamic_cast<CTindaloftApp*>(AfxGetApp());
    if (pApp == nullptr) {
        return TRUE;
    }
    CString text;
    text.Format("Tindaloft Version %d.%d.%d Build %d", pApp->m_nVersionMajor, pApp->m_nVersionMinor,
                pApp->m_nVersionRevision, pApp->m_nVersionBuild);
    SetDlgItemTextA(m_hWnd, IDC_ABOUT_VERSION, text);
    const DRIVER_INFO& info = pApp->m_DriverInfo;
    text.Format("KxTdloft Version %d.%d.%d Build %d", info.MajorVersion, info.MinorVersion, info.Revision, info.Build);
    SetDlgItemTextA(m_hWnd, IDC_ABOUT_DRIVER_VERSION, text);
    return TRUE;
}
