// CDialog: a dialog from a template, modal (DoModal) or modeless (Create), with data exchange between its
// controls and the object's members (DoDataExchange with the DDX_ functions, run by UpdateData).
//
// The object attaches to its dialog window as the window is created, so every message, WM_INITDIALOG included,
// reaches its message map; what it leaves unhandled goes to the dialog manager. A modal dialog given no parent
// is owned by the application's main window, disabled meanwhile. IDOK runs OnOK (UpdateData(TRUE), then
// EndDialog(IDOK) when the data was good); IDCANCEL and a WM_CLOSE the class does not handle run OnCancel.
// After WM_INITDIALOG a top-level dialog that its initialisation neither moved nor showed, modal or modeless, is
// centred on its owner (CenterWindow), inside the work area.
#pragma once

#include "AfxString.h"
#include "AfxWnd.h"

class CDataExchange;

class CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)
public:
    CDialog();
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    explicit CDialog(LPCTSTR lpszTemplateName, CWnd* pParentWnd = nullptr);

    // -1 without a template or when the dialog cannot be made; otherwise EndDialog's code.
    virtual INT_PTR DoModal();
    // Modeless; a self-deleting class deletes itself in PostNcDestroy.
    virtual BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    virtual BOOL Create(LPCTSTR lpszTemplateName, CWnd* pParentWnd = nullptr);
    using CWnd::Create;
    void EndDialog(int nResult);

    // Controls to members (TRUE) or members to controls; FALSE when a control's value failed validation.
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    void SetDefID(UINT nID);
    DWORD GetDefID() const;
    void NextDlgCtrl() const;
    void PrevDlgCtrl() const;
    void GotoDlgCtrl(CWnd* pWndCtrl);

    virtual BOOL OnInitDialog();
    virtual void OnOK();
    virtual void OnCancel();

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    LPCTSTR m_lpszTemplateName = nullptr;
    UINT m_nIDHelp = 0;
    CWnd* m_pParentWnd = nullptr;

protected:
    virtual void DoDataExchange(CDataExchange* pDX);

private:
    void CenterAfterInit(const CRect& rcBefore);
    HWND CreateFromTemplate(LPCTSTR lpszTemplateName, HWND hWndParent, bool modal, INT_PTR* pResult);
    CString m_strTemplateName;
};

// The state of one UpdateData run.
class CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate) : m_bSaveAndValidate(bSaveAndValidate), m_pDlgWnd(pDlgWnd) {}

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    HWND m_hWndLastControl = nullptr;

    // The control of that id (the one a failure puts the focus back on); a missing one is a programming fault.
    HWND PrepareCtrl(int nIDC);
    HWND PrepareEditCtrl(int nIDC) { return PrepareCtrl(nIDC); }
    // Ends the exchange as failed: the focus goes back to the last control prepared.
    [[noreturn]] void Fail();
};

// Attaches rControl to the dialog's control of that id (once).
void AFXAPI DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
void AFXAPI DDX_Check(CDataExchange* pDX, int nIDC, int& value);
// The checked button of the radio group starting at nIDC (-1: none).
void AFXAPI DDX_Radio(CDataExchange* pDX, int nIDC, int& value);
void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, CString& value);
// A number that does not read as a whole number says so in a message box and fails the exchange.
void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, int& value);
void AFXAPI DDX_Text(CDataExchange* pDX, int nIDC, UINT& value);
