// CListView: a view that is a list view control ("SysListView32"). The control paints itself; the view's
// notifications come back to it reflected (ON_NOTIFY_REFLECT), and GetListCtrl gives the list helpers over
// the view's own window.
#pragma once

#include "AfxListCtrl.h"
#include "AfxView.h"

class CListView : public CView {
    DECLARE_DYNCREATE(CListView)
public:
    CListView() = default;
    ~CListView() override;

    CListCtrl& GetListCtrl() const;
    void OnDraw(CDC* pDC) override;

protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    void OnPaint();

private:
    mutable CListCtrl m_listHandle; // holds the view's handle only; never attached

    DECLARE_MESSAGE_MAP()
};
