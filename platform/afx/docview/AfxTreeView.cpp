// The tree view's framework view.
#include "AfxTreeView.h"

#include "AfxWndMsgMap.h"

IMPLEMENT_DYNCREATE(CTreeView, CView)

BEGIN_MESSAGE_MAP(CTreeView, CView)
ON_WM_PAINT()
END_MESSAGE_MAP()

CTreeView::~CTreeView() {
    m_tree.m_hWnd = nullptr;
}

CTreeCtrl& CTreeView::GetTreeCtrl() const {
    m_tree.m_hWnd = m_hWnd;
    return m_tree;
}

void CTreeView::OnDraw(CDC*) {}

BOOL CTreeView::PreCreateWindow(CREATESTRUCT& cs) {
    win32::RegisterTreeViewClass();
    cs.lpszClass = WC_TREEVIEW;
    return CView::PreCreateWindow(cs);
}

void CTreeView::OnPaint() {
    Default(); // the control's own painting
}
