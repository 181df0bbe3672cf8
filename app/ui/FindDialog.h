// CFindDialog: the modeless Find dialog (dialog 221) over one capture document. It is made on the heap,
// given its document and created with the main window as parent; it deletes itself when its window goes and
// tells the document first, so that the document never keeps a pointer to a deleted dialog.
//
// For now the window holds only its Close button: the search itself comes with the Find dialog proper,
// which keeps this interface.
#pragma once

#include "afxwin.h"

class CUSBLog;

class CFindDialog : public CDialog {
    DECLARE_DYNAMIC(CFindDialog)
public:
    CFindDialog();
    ~CFindDialog() override = default;
    CFindDialog(const CFindDialog&) = delete;
    CFindDialog& operator=(const CFindDialog&) = delete;

    void SetDocument(CUSBLog* pDocument) { m_pDocument = pDocument; }
    CUSBLog* GetDocument() const { return m_pDocument; }

    // Modeless, from template 221, registered on first use; FALSE when the window cannot be made.
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr) override;
    using CDialog::Create;

    // Until the Find dialog proper exists: the next creations fail while set (tests reach the failure path).
    static void SetCreateFailure(BOOL bFail) { s_bFailCreate = bFail; }

protected:
    void OnOK() override;
    void OnCancel() override;
    void PostNcDestroy() override;

private:
    CUSBLog* m_pDocument = nullptr;
    static inline BOOL s_bFailCreate = FALSE;
};
