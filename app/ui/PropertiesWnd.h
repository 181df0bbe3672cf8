// CPropertiesWnd: the base of the properties panes (Log Details, Device Properties, System Properties): a
// window with a small toolbar along its top and a property grid below it, both full width. The toolbar's
// "Categorized" and "Alphabetic" buttons switch the grid's order, and the active one is checked.
#pragma once

#include "GkPropertyGrid.h"
#include "GkToolBar.h"
#include "afxwin.h"

// The order commands of the panes' toolbars.
constexpr unsigned ID_PROPERTIES_ALPHABETIC = 32907;
constexpr unsigned ID_PROPERTIES_CATEGORIZED = 32909;

class CPropertiesWnd : public CWnd {
    DECLARE_DYNAMIC(CPropertiesWnd)
public:
    CPropertiesWnd() = default;
    ~CPropertiesWnd() override = default;
    CPropertiesWnd(const CPropertiesWnd&) = delete;
    CPropertiesWnd& operator=(const CPropertiesWnd&) = delete;

    CGkPropertyGrid& GetGrid() { return m_wndPropertyGrid; }
    CGkToolBar& GetToolBar() { return m_wndToolBar; }

protected:
    // The pane's toolbar (the toolbar resource, its images keyed on clrMask) and its grid, laid out; FALSE
    // when a window cannot be made.
    BOOL CreateToolBarAndGrid(UINT nToolBarResource, COLORREF clrMask);
    // The toolbar on top at its own height, the grid in the rest.
    void AdjustLayout();

    void OnSize(UINT nType, int cx, int cy);
    void OnSetFocus(CWnd* pOldWnd);
    void OnSortCategorized();
    void OnUpdateSortCategorized(CCmdUI* pCmdUI);
    void OnSortAlphabetic();
    void OnUpdateSortAlphabetic(CCmdUI* pCmdUI);
    DECLARE_MESSAGE_MAP()

    CGkPropertyGrid m_wndPropertyGrid;
    CGkToolBar m_wndToolBar;
};
