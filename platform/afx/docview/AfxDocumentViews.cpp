// CDocument: its views and frames.
#include "AfxDocTemplate.h"
#include "AfxDocument.h"
#include "AfxFrameWnd.h"
#include "AfxView.h"

CView* CDocument::GetNextView(POSITION& rPosition) const {
    return static_cast<CView*>(m_viewList.GetNext(rPosition));
}

void CDocument::AddView(CView* pView) {
    if (m_viewList.Find(pView) != nullptr)
        return;
    m_viewList.AddTail(pView);
    pView->m_pDocument = this;
    OnChangedViewList();
}

void CDocument::RemoveView(CView* pView) {
    POSITION pos = m_viewList.Find(pView);
    if (pos == nullptr)
        return;
    m_viewList.RemoveAt(pos);
    pView->m_pDocument = nullptr;
    OnChangedViewList();
}

void CDocument::UpdateAllViews(CView* pSender, LPARAM lHint, CObject* pHint) {
    POSITION pos = GetFirstViewPosition();
    while (pos != nullptr) {
        CView* pView = GetNextView(pos);
        if (pView != pSender)
            pView->OnUpdate(pSender, lHint, pHint);
    }
}

void CDocument::OnChangedViewList() {
    // A document whose last view went is closed, unless it was made without windows.
    if (m_viewList.IsEmpty() && m_bAutoDelete && !m_bClosing) {
        OnCloseDocument();
        return;
    }
    UpdateFrameCounts();
}

void CDocument::UpdateFrameCounts() {
    // Number the frames when the document is shown in more than one ("title:1", "title:2").
    CPtrList frames;
    POSITION pos = GetFirstViewPosition();
    while (pos != nullptr) {
        CFrameWnd* pFrame = GetNextView(pos)->GetParentFrame();
        if (pFrame != nullptr && frames.Find(pFrame) == nullptr)
            frames.AddTail(pFrame);
    }
    int nFrame = frames.GetCount() > 1 ? 1 : 0;
    pos = frames.GetHeadPosition();
    while (pos != nullptr) {
        auto* pFrame = static_cast<CFrameWnd*>(frames.GetNext(pos));
        pFrame->m_nWindow = nFrame == 0 ? 0 : nFrame++;
        pFrame->OnUpdateFrameTitle(TRUE);
    }
}

void CDocument::SetTitle(LPCTSTR lpszTitle) {
    m_strTitle = lpszTitle;
    UpdateFrameCounts();
}

BOOL CDocument::CanCloseFrame(CFrameWnd* pFrameArg) {
    // Another frame of the document keeps it open: nothing to ask.
    POSITION pos = GetFirstViewPosition();
    while (pos != nullptr) {
        CFrameWnd* pFrame = GetNextView(pos)->GetParentFrame();
        if (pFrame != nullptr && pFrame != pFrameArg)
            return TRUE;
    }
    return SaveModified();
}

void CDocument::PreCloseFrame(CFrameWnd*) {}

void CDocument::OnCloseDocument() {
    if (m_bClosing)
        return;
    m_bClosing = TRUE;
    BOOL bAutoDelete = m_bAutoDelete;
    m_bAutoDelete = FALSE; // destroying the frames must not delete the document under us
    while (!m_viewList.IsEmpty()) {
        auto* pView = static_cast<CView*>(m_viewList.GetHead());
        CFrameWnd* pFrame = pView->GetParentFrame();
        if (pFrame != nullptr) {
            PreCloseFrame(pFrame);
            pFrame->DestroyWindow();
        } else {
            pView->DestroyWindow();
        }
        // A view that stayed (no window) leaves the list itself.
        if (!m_viewList.IsEmpty() && m_viewList.GetHead() == pView)
            RemoveView(pView);
    }
    m_bAutoDelete = bAutoDelete;
    DeleteContents();
    m_bClosing = FALSE;
    if (m_bAutoDelete)
        delete this;
}
