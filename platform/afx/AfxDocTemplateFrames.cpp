// Document templates: the frames and views of their documents.
#include "AfxDocTemplate.h"
#include "AfxDocument.h"
#include "AfxMessageBox.h"
#include "AfxMessages.h"

CFrameWnd* CDocTemplate::CreateNewFrame(CDocument*, CFrameWnd*) {
    return nullptr;
}

void CDocTemplate::InitialUpdateFrame(CFrameWnd*, CDocument*, BOOL) {}

void CMultiDocTemplate::LoadTemplate() {
    CDocTemplate::LoadTemplate();
}

CDocument* CMultiDocTemplate::OpenDocumentFile(LPCTSTR lpszPathName, BOOL bMakeVisible) {
    CDocument* pDocument = CreateNewDocument();
    if (pDocument == nullptr) {
        AfxMessageBox(AFX_IDP_FAILED_TO_CREATE_DOC);
        return nullptr;
    }
    if (lpszPathName == nullptr) {
        SetDefaultTitle(pDocument);
        if (!bMakeVisible)
            pDocument->m_bEmbedded = TRUE;
        if (!pDocument->OnNewDocument()) {
            delete pDocument;
            return nullptr;
        }
        ++m_nUntitledCount;
    } else {
        if (!pDocument->OnOpenDocument(lpszPathName)) {
            delete pDocument;
            return nullptr;
        }
        pDocument->SetPathName(lpszPathName);
    }
    return pDocument;
}
