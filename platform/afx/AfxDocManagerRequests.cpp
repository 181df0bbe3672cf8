// CDocManager: what it asks of the user and shows.
#include "AfxDocManager.h"
#include "AfxDocument.h"
#include "AfxFrameWnd.h"
#include "AfxView.h"

BOOL CDocManager::DoPromptFileName(CString&, UINT, DWORD, BOOL, CDocTemplate*) {
    // The file request needs the platform's file dialogs, which are not offered yet: the user cancels.
    return FALSE;
}

void CDocManager::ActivateDocumentFrame(CDocument* pDocument) {
    POSITION pos = pDocument->GetFirstViewPosition();
    if (pos == nullptr)
        return;
    CView* pView = pDocument->GetNextView(pos);
    CFrameWnd* pFrame = pView->GetParentFrame();
    if (pFrame != nullptr)
        pFrame->ActivateFrame();
}
