// CFilterPromptDlg: asks for the name of a filter definition (dialog 220). An empty name counts as Cancel.
#pragma once

#include "afxwin.h"

class CFilterPromptDlg : public CDialog {
public:
    // The longest name the edit takes.
    static constexpr int MaxNameLength = 64;

    explicit CFilterPromptDlg(CWnd* pParent = nullptr);

    BOOL OnInitDialog() override;
    void OnOK() override;

    CString m_strName;
};
