// Document templates: the frames and views of their documents.
#include "AfxDocTemplate.h"
#include "AfxDocument.h"
#include "AfxFrameWnd.h"
#include "AfxMessageBox.h"
#include "AfxMessages.h"
#include "AfxWaitCursor.h"
#include "AfxWinApp.h"

CFrameWnd* CDocTemplate::CreateNewFrame(CDocument* pDoc, CFrameWnd* pOther) {
    if (m_pFrameClass == nullptr)
        return nullptr;
    CCreateContext context;
    context.m_pCurrentFrame = pOther;
    context.m_pCurrentDoc = pDoc;
    context.m_pNewViewClass = m_pViewClass;
    context.m_pNewDocTemplate = this;
    CObject* pObject = m_pFrameClass->CreateObject();
    auto* pFrame = dynamic_cast<CFrameWnd*>(pObject);
    if (pFrame == nullptr) {
        delete pObject;
        return nullptr;
    }
    // A frame that fails to load has deleted itself (PostNcDestroy) once it had a window.
    CWinApp* pApp = AfxGetApp();
    CWnd* pParent = pApp != nullptr ? pApp->m_pMainWnd : nullptr;
    if (!pFrame->LoadFrame(m_nIDResource, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, pParent, &context))
        return nullptr;
    return pFrame;
}

void CDocTemplate::InitialUpdateFrame(CFrameWnd* pFrame, CDocument* pDoc, BOOL bMakeVisible) {
    pFrame->InitialUpdateFrame(pDoc, bMakeVisible);
}

void CMultiDocTemplate::LoadTemplate() {
    CDocTemplate::LoadTemplate();
    // The menu and accelerators every frame of the template's documents shares; a template may have none.
    if (m_hMenuShared == nullptr)
        m_hMenuShared = ::LoadMenuA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDResource));
    if (m_hAccelTable == nullptr)
        m_hAccelTable = ::LoadAcceleratorsA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDResource));
}

void CMultiDocTemplate::ReleaseSharedResources() {
    if (m_hMenuShared != nullptr && ::IsMenu(m_hMenuShared))
        ::DestroyMenu(m_hMenuShared);
    m_hMenuShared = nullptr;
    m_hAccelTable = nullptr; // loaded from resources: the module frees it
}

CDocument* CMultiDocTemplate::OpenDocumentFile(LPCTSTR lpszPathName, BOOL bMakeVisible) {
    CDocument* pDocument = CreateNewDocument();
    if (pDocument == nullptr) {
        AfxMessageBox(AFX_IDP_FAILED_TO_CREATE_DOC);
        return nullptr;
    }
    // Without a frame class the document lives without windows.
    CFrameWnd* pFrame = nullptr;
    if (m_pFrameClass != nullptr) {
        BOOL bAutoDelete = pDocument->m_bAutoDelete;
        pDocument->m_bAutoDelete = FALSE; // a failing frame must not take the document with it
        pFrame = CreateNewFrame(pDocument, nullptr);
        pDocument->m_bAutoDelete = bAutoDelete;
        if (pFrame == nullptr) {
            AfxMessageBox(AFX_IDP_FAILED_TO_CREATE_DOC);
            delete pDocument;
            return nullptr;
        }
    }
    // Undoing a failed start: the frame takes the document with it, or the document goes alone.
    auto abandon = [&]() {
        if (pFrame != nullptr)
            pFrame->DestroyWindow();
        else
            delete pDocument;
    };
    if (lpszPathName == nullptr) {
        SetDefaultTitle(pDocument);
        if (!bMakeVisible)
            pDocument->m_bEmbedded = TRUE;
        if (!pDocument->OnNewDocument()) {
            abandon();
            return nullptr;
        }
        ++m_nUntitledCount;
    } else {
        CWaitCursor wait;
        if (!pDocument->OnOpenDocument(lpszPathName)) {
            abandon();
            return nullptr;
        }
        pDocument->SetPathName(lpszPathName);
    }
    if (pFrame != nullptr)
        InitialUpdateFrame(pFrame, pDocument, bMakeVisible);
    return pDocument;
}
