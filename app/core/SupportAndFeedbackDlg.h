// CSupportAndFeedbackDlg: the support and feedback dialog (260). For now it shows its fixed texts only.
#pragma once

#include "afxwin.h"

class CSupportAndFeedbackDlg : public CDialog {
public:
    explicit CSupportAndFeedbackDlg(CWnd* pParent = nullptr);
};
