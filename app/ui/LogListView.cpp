#include "app/ui/LogListView.h"

IMPLEMENT_DYNCREATE(CLogListView, CView)

// The list control that draws the records comes with the view's columns.
void CLogListView::OnDraw(CDC*) {}
