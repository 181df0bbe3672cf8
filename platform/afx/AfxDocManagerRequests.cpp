// CDocManager: what it asks of the user and shows.
#include "AfxDocManager.h"
#include "AfxDocument.h"

BOOL CDocManager::DoPromptFileName(CString&, UINT, DWORD, BOOL, CDocTemplate*) {
    return FALSE;
}

void CDocManager::ActivateDocumentFrame(CDocument*) {}
