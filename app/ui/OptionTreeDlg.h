// COptionTreeDlg: the options dialog (dialog 203), modal, editing the capture settings it is given. It is told
// whether its document is the live capture and whether it is capturing, and reports after OK whether the
// user changed Continuous Logging (having agreed to clear the capture buffer) and whether the buffer size
// changed (never, since the bank size is fixed).
//
// For now the window holds only OK and Cancel: the option tree that edits the settings comes with the main
// window's widgets and changes no caller.
#pragma once

#include "afxwin.h"

class CAppSettings;

class COptionTreeDlg : public CDialog {
    DECLARE_DYNAMIC(COptionTreeDlg)
public:
    COptionTreeDlg(CAppSettings* pSettings, BOOL bLiveDocument, BOOL bLogging, CWnd* pParentWnd = nullptr);
    ~COptionTreeDlg() override = default;
    COptionTreeDlg(const COptionTreeDlg&) = delete;
    COptionTreeDlg& operator=(const COptionTreeDlg&) = delete;

    // Registers the dialog's template (idempotent); DoModal does it.
    static void RegisterTemplate();
    INT_PTR DoModal() override;

    CAppSettings* GetSettings() const { return m_pSettings; }
    BOOL IsLiveDocument() const { return m_bLiveDocument; }
    BOOL IsLogging() const { return m_bLogging; }

    // Set when the user changed Continuous Logging and agreed to clear the capture buffer.
    BOOL m_bContinuousLoggingChanged = FALSE;
    BOOL m_bBufferSizeChanged = FALSE;

private:
    CAppSettings* m_pSettings;
    BOOL m_bLiveDocument;
    BOOL m_bLogging;
};
