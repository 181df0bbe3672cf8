#include "app/ui/filterdialog/FilterPromptDlg.h"

#include "app/core/app/Resource.h"

CFilterPromptDlg::CFilterPromptDlg(CWnd* pParent) : CDialog(IDD_FILTER_PROMPT, pParent) {}

BOOL CFilterPromptDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    ::SendDlgItemMessageA(m_hWnd, IDC_FILTER_NAME, EM_LIMITTEXT, MaxNameLength, 0);
    return TRUE;
}

void CFilterPromptDlg::OnOK() {
    char name[MaxNameLength + 1] = {};
    ::GetDlgItemTextA(m_hWnd, IDC_FILTER_NAME, name, sizeof name);
    m_strName = name;
    EndDialog(m_strName.IsEmpty() ? IDCANCEL : IDOK);
}
