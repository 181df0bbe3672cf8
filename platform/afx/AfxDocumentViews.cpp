// CDocument: its views and frames.
#include "AfxDocTemplate.h"
#include "AfxDocument.h"

CView* CDocument::GetNextView(POSITION& rPosition) const {
    return static_cast<CView*>(m_viewList.GetNext(rPosition));
}

void CDocument::AddView(CView* pView) {
    m_viewList.AddTail(pView);
    OnChangedViewList();
}

void CDocument::RemoveView(CView* pView) {
    POSITION pos = m_viewList.Find(pView);
    if (pos != nullptr)
        m_viewList.RemoveAt(pos);
    OnChangedViewList();
}

void CDocument::UpdateAllViews(CView*, LPARAM, CObject*) {}

void CDocument::OnChangedViewList() {}

void CDocument::UpdateFrameCounts() {}

void CDocument::SetTitle(LPCTSTR lpszTitle) {
    m_strTitle = lpszTitle;
    UpdateFrameCounts();
}

BOOL CDocument::CanCloseFrame(CFrameWnd*) {
    return SaveModified();
}

void CDocument::PreCloseFrame(CFrameWnd*) {}

void CDocument::OnCloseDocument() {
    BOOL bAutoDelete = m_bAutoDelete;
    m_bAutoDelete = FALSE; // closing the frames must not delete the document under us
    DeleteContents();
    m_bAutoDelete = bAutoDelete;
    if (m_bAutoDelete)
        delete this;
}
