#include "AfxListView.h"

#include "AfxWndMsgMap.h"

IMPLEMENT_DYNCREATE(CListView, CView)

BEGIN_MESSAGE_MAP(CListView, CView)
ON_WM_PAINT()
END_MESSAGE_MAP()

CListView::~CListView() {
    m_listHandle.m_hWnd = nullptr;
}

BOOL CListView::PreCreateWindow(CREATESTRUCT& cs) {
    win32::RegisterDialogClasses();
    if (cs.lpszClass == nullptr)
        cs.lpszClass = WC_LISTVIEWA;
    return CView::PreCreateWindow(cs);
}

CListCtrl& CListView::GetListCtrl() const {
    m_listHandle.m_hWnd = m_hWnd;
    return m_listHandle;
}

// The control draws itself.
void CListView::OnPaint() {
    Default();
}

void CListView::OnDraw(CDC*) {}
