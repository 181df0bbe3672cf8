// CTreeView: a view whose window is a tree view control; the control paints itself, and GetTreeCtrl gives its
// typed helpers.
#pragma once

#include "AfxTreeCtrl.h"
#include "AfxView.h"

class CTreeView : public CView {
    DECLARE_DYNCREATE(CTreeView)
public:
    CTreeView() = default;
    ~CTreeView() override;

    // The helpers over this view's own window.
    CTreeCtrl& GetTreeCtrl() const;
    void OnDraw(CDC* pDC) override;

protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    void OnPaint();

private:
    // Not attached: it only carries the handle (and the image lists set through it) for the helpers.
    mutable CTreeCtrl m_tree;

    DECLARE_MESSAGE_MAP()
};
