// CUSBLog: the Find command, with at most one Find dialog per document.
#include <memory>

#include "app/core/app/Resource.h"
#include "app/core/document/USBLog.h"
#include "app/ui/find/FindDialog.h"

void CUSBLog::OnEditFindRequest() {
    // A second Find brings the open dialog forward instead of making another over the same records.
    if (m_pFindDialog != nullptr && ::IsWindow(m_pFindDialog->GetSafeHwnd())) {
        m_pFindDialog->ShowWindow(SW_SHOW);
        ::SetActiveWindow(m_pFindDialog->GetSafeHwnd());
        return;
    }
    auto pDialog = std::make_unique<CFindDialog>();
    pDialog->SetDocument(this);
    if (!pDialog->Create(IDD_FIND, GetMainWindow())) {
        // No window was made, so the object goes here.
        pDialog->SetDocument(nullptr);
        pDialog.reset();
        AfxMessageBox("Error creating Dialog");
        return;
    }
    pDialog->ShowWindow(SW_SHOW);
    // The window has the object from here: it deletes itself as its window goes.
    m_pFindDialog = pDialog.release();
}

void CUSBLog::FindDialogDestroyed(CFindDialog* pDialog) {
    if (m_pFindDialog == pDialog)
        m_pFindDialog = nullptr;
}

void CUSBLog::CloseFindDialog() {
    // The dialog deletes itself with its window, and clears the pointer on its way.
    if (m_pFindDialog != nullptr && ::IsWindow(m_pFindDialog->GetSafeHwnd()))
        m_pFindDialog->DestroyWindow();
    m_pFindDialog = nullptr;
}
