// CAboutDlg: the About box (dialog 100): the program's picture, its version and the capture driver's.
#pragma once

#include "afxwin.h"
#include "app/ui/dialogs/BigIcon.h"

class CAboutDlg : public CDialog {
public:
    explicit CAboutDlg(CWnd* pParent = nullptr);
    CAboutDlg(const CAboutDlg&) = delete;
    CAboutDlg& operator=(const CAboutDlg&) = delete;

    // The program's version from the application object, the driver's from the DRIVER_INFO it read at start.
    BOOL OnInitDialog() override;

private:
    CBigIcon m_BigIcon;
};
