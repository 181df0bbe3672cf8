// CLogProgress: the modeless progress window of a save ("Saving ...", dialog 252): the target path, a bar, a
// status line, the check box "Clear capture buffer after save" (shown; nothing acts on it), OK and Cancel.
// The writer drives it through ProgressDlgSetPos, ProgressDlgPumpMessages and ProgressDlgFinish.
//
// Cancel only marks the save as cancelled: the writer still uses the window, which stays until OK closes it.
// A window made for a save that outlives the save deletes its object when it is destroyed (m_bAutoDelete).
#pragma once

#include "afxwin.h"

class CUSBLog;

class CLogProgress : public CDialog {
    DECLARE_DYNAMIC(CLogProgress)
public:
    explicit CLogProgress(LPCSTR lpszTitle = nullptr, CWnd* pParentWnd = nullptr);
    ~CLogProgress() override;
    CLogProgress(const CLogProgress&) = delete;
    CLogProgress& operator=(const CLogProgress&) = delete;

    // Modeless, from its template; the template is registered on first use.
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr) override;
    using CDialog::Create;

    // Bar 0 (the only one of this window): position 0 to 100.
    void SetPos(int nBar, int nPos);
    // The final status text; a cancelled window's Cancel is disabled with it.
    void SetDoneText(LPCSTR lpszText);
    // Runs waiting messages; FALSE when the user cancelled (or the application is quitting).
    BOOL PumpMessages();
    // The window exists and is visible: only such a window is driven.
    BOOL IsShown() const;
    BOOL IsCancelled() const { return m_bCancelled; }
    void SetCancelled() { m_bCancelled = TRUE; }

    // Registers the save window's template (idempotent).
    static void RegisterTemplate();

    CUSBLog* m_pDocument = nullptr;
    // The path the save writes to, shown on the "Saving to:" line.
    CString m_strText;
    CString m_strTitle;
    BOOL m_bKeepOpen = FALSE;
    BOOL m_bAutoDelete = FALSE;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void PostNcDestroy() override;

private:
    BOOL m_bCancelled = FALSE;
};
