// CheckUpdateDlg: the update check's result (dialog 271): the server's latest version and the installed one.
// The caller sets both texts before it shows the dialog. "Website" opens the download page in the default
// browser and ends the dialog like OK; "Close" ends it like Cancel.
#pragma once

#include "afxwin.h"

class CheckUpdateDlg : public CDialog {
public:
    explicit CheckUpdateDlg(CWnd* pParent = nullptr);

    BOOL OnInitDialog() override;
    void OnOK() override;

    CString m_strLatestVersion;
    CString m_strInstalledVersion;
};
