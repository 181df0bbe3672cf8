// CPropertiesWnd: the base of the properties panes (Log Details, Device Properties, System Properties): a
// window with a small toolbar along its top and a property grid below it, both full width. The toolbar's
// "Categorized" and "Alphabetic" buttons switch the grid's order, and the active one is checked. The grid's
// "Toggle Databar" in-place button becomes the main window's command.
#pragma once

#include "GkPropertyGrid.h"
#include "GkToolBar.h"
#include "afxwin.h"

// The toolbar of the order commands alone: "Categorized" and "Alphabetic" (the Log Details and System
// Properties panes').
constexpr unsigned IDR_LOGDETAILS_TOOLBAR = 261;
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

    // The panes' grid look: theme 6, in-place buttons always shown, a help area of one line, changed values
    // highlighted. Works on a grid with or without a window.
    static void ApplyGridLook(CGkPropertyGrid& grid);

protected:
    // The pane's toolbar (the toolbar resource, its images keyed on clrMask) and its grid with the panes' look,
    // laid out; FALSE when a window cannot be made. A grid that exists already is kept.
    BOOL CreateToolBarAndGrid(UINT nToolBarResource, COLORREF clrMask);
    // The toolbar on top at its own height, the grid in the rest.
    void AdjustLayout();
    // A pane's category of that id among the grid's: made with the caption when there is none; found (null
    // when there is none); captioned again and emptied.
    CGkPropertyGridItem* MakeCategory(UINT nID, LPCSTR lpszCaption);
    CGkPropertyGridItem* FindCategory(UINT nID);
    void ResetCategory(UINT nID, LPCSTR lpszCaption);

    void OnSize(UINT nType, int cx, int cy);
    void OnSetFocus(CWnd* pOldWnd);
    void OnSortCategorized();
    void OnUpdateSortCategorized(CCmdUI* pCmdUI);
    void OnSortAlphabetic();
    void OnUpdateSortAlphabetic(CCmdUI* pCmdUI);
    // A pressed in-place button of the grid whose command goes to the main window.
    LRESULT OnGridNotify(WPARAM wParam, LPARAM lParam);
    virtual BOOL IsMainWindowButton(UINT nID) const;
    DECLARE_MESSAGE_MAP()

    CGkPropertyGrid m_wndPropertyGrid;
    CGkToolBar m_wndToolBar;
};
