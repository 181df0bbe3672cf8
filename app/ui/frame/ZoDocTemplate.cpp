#include "app/ui/frame/ZoDocTemplate.h"

IMPLEMENT_DYNAMIC(CZoDocTemplate, CMultiDocTemplate)

CZoDocTemplate::CZoDocTemplate(UINT nIDResource, CRuntimeClass* pDocClass, CRuntimeClass* pFrameClass,
                               CRuntimeClass* pViewClass)
    : CMultiDocTemplate(nIDResource, pDocClass, pFrameClass, pViewClass) {}

CDocument* CZoDocTemplate::OpenDocumentFile(LPCTSTR lpszPathName, BOOL bMakeVisible) {
    CDocument* pDocument = nullptr;
    CFrameWnd* pFrame = nullptr;
    BOOL bCreated = FALSE;

    POSITION pos = GetFirstDocPosition();
    if (pos != nullptr) {
        pDocument = GetNextDoc(pos);
        if (!pDocument->SaveModified()) {
            return nullptr;
        }
        POSITION viewPos = pDocument->GetFirstViewPosition();
        CView* pView = viewPos != nullptr ? pDocument->GetNextView(viewPos) : nullptr;
        pFrame = pView != nullptr ? pView->GetParentFrame() : nullptr;
    } else {
        pDocument = CreateNewDocument();
        if (pDocument == nullptr) {
            AfxMessageBox(AFX_IDP_FAILED_TO_CREATE_DOC);
            return nullptr;
        }
        // A frame that fails to load must not take the document with it.
        const BOOL bAutoDelete = pDocument->m_bAutoDelete;
        pDocument->m_bAutoDelete = FALSE;
        pFrame = CreateNewFrame(pDocument, nullptr);
        pDocument->m_bAutoDelete = bAutoDelete;
        if (pFrame == nullptr) {
            AfxMessageBox(AFX_IDP_FAILED_TO_CREATE_DOC);
            delete pDocument; // no frame holds the new document, so it goes here
            return nullptr;
        }
        bCreated = TRUE;
    }

    if (lpszPathName == nullptr) {
        SetDefaultTitle(pDocument);
        if (!bMakeVisible) {
            pDocument->m_bEmbedded = TRUE;
        }
        if (!pDocument->OnNewDocument()) {
            // A new frame takes its document with it; a reused one stays with what it shows.
            if (bCreated) {
                pFrame->DestroyWindow();
            }
            return nullptr;
        }
    } else {
        CWaitCursor wait;
        const BOOL bModified = pDocument->IsModified();
        pDocument->SetModifiedFlag(FALSE);
        if (!pDocument->OnOpenDocument(lpszPathName)) {
            if (bCreated) {
                pFrame->DestroyWindow();
            } else if (pDocument->IsModified()) {
                // The load emptied the document before it failed (it is marked changed while it is read): it no
                // longer holds what its name and path say, and its views must not show what went.
                SetDefaultTitle(pDocument);
                pDocument->m_strPathName.Empty();
                pDocument->SetModifiedFlag(FALSE);
                pDocument->UpdateAllViews(nullptr);
            } else {
                pDocument->SetModifiedFlag(bModified);
            }
            return nullptr;
        }
        pDocument->SetPathName(lpszPathName);
    }

    if (pFrame != nullptr) {
        InitialUpdateFrame(pFrame, pDocument, bMakeVisible);
    }
    return pDocument;
}

void CZoDocTemplate::SetDefaultTitle(CDocument* pDocument) {
    CString title;
    if (!GetDocString(title, docName) || title.IsEmpty()) {
        title = AfxFrameworkString(AFX_IDS_UNTITLED);
    }
    pDocument->SetTitle(title);
}
