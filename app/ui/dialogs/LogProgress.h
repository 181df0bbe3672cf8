// CLogProgress: the modeless progress window of a save and of background logging.
//
// A save ("Saving ...", dialog 252): the target path, a bar, a status line, the check box "Clear capture
// buffer after save" (shown; nothing acts on it), OK and Cancel. The writer drives it through
// ProgressDlgSetPos, ProgressDlgPumpMessages and ProgressDlgFinish. Cancel only marks the save as cancelled:
// the writer still uses the window, which stays until OK closes it. A window made for a save that outlives
// the save deletes its object when it is destroyed (m_bAutoDelete).
//
// Background logging (dialog 258, titled by its document): a bar for each capture bank (the second one only
// in continuous logging), the status text and Cancel. Cancel stops the document's capture and closes the
// window; the document closes it at a stop. Its object goes with its window and tells the document first.
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

    // Bar 0 or 1 (a save's window has only bar 0): position 0 to 100; other bars are ignored.
    void SetPos(int nBar, int nPos);
    // The status text (background logging).
    void SetText(LPCSTR lpszText);
    // The final status text; a cancelled window's Cancel is disabled with it.
    void SetDoneText(LPCSTR lpszText);
    // The window is the background-logging one (made from dialog 258).
    BOOL IsBackground() const;
    // Runs waiting messages; FALSE when the user cancelled (or the application is quitting, or a message ended
    // this window and object: the caller then uses neither again).
    BOOL PumpMessages();
    // The window exists and is visible: only such a window is driven.
    BOOL IsShown() const;
    BOOL IsCancelled() const { return m_bCancelled; }
    void SetCancelled() { m_bCancelled = TRUE; }

    // Registers both windows' templates (idempotent).
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
    static void RegisterBackgroundTemplate();
    HWND Bar(int nBar) const;
    UINT StatusId() const;

    BOOL m_bCancelled = FALSE;
    // While PumpMessages runs: its flag, set when this object is deleted under it.
    bool* m_pDeleted = nullptr;
};
