#include "app/ui/panes/PropertiesWnd.h"

#include "app/core/diagnostics/Trace.h"
#include "app/decoders/framework/GridOutputImp.h"

IMPLEMENT_DYNAMIC(CPropertiesWnd, CWnd)

BEGIN_MESSAGE_MAP(CPropertiesWnd, CWnd)
ON_WM_SIZE()
ON_WM_SETFOCUS()
ON_COMMAND(ID_PROPERTIES_CATEGORIZED, &CPropertiesWnd::OnSortCategorized)
ON_UPDATE_COMMAND_UI(ID_PROPERTIES_CATEGORIZED, &CPropertiesWnd::OnUpdateSortCategorized)
ON_COMMAND(ID_PROPERTIES_ALPHABETIC, &CPropertiesWnd::OnSortAlphabetic)
ON_UPDATE_COMMAND_UI(ID_PROPERTIES_ALPHABETIC, &CPropertiesWnd::OnUpdateSortAlphabetic)
ON_MESSAGE(GKWM_PROPERTYGRID_NOTIFY, &CPropertiesWnd::OnGridNotify)
END_MESSAGE_MAP()

namespace {

// The toolbar's control id inside the pane.
constexpr UINT kToolBarId = AFX_IDW_TOOLBAR;
// The grid's control id inside the pane.
constexpr UINT kGridId = 2;

// The grid's theme and the height of its help area, which shows one line of an item's description.
constexpr int kGridTheme = 6;
constexpr int kHelpHeight = 20;

} // namespace

void CPropertiesWnd::ApplyGridLook(CGkPropertyGrid& grid) {
    grid.SetTheme(kGridTheme);
    grid.SetShowInplaceButtonsAlways(TRUE);
    grid.SetHelpHeight(kHelpHeight);
    grid.HighlightChangedItems(TRUE);
}

BOOL CPropertiesWnd::CreateToolBarAndGrid(UINT nToolBarResource, COLORREF clrMask) {
    if (!m_wndToolBar.CreateToolBar(WS_TABSTOP | WS_VISIBLE | WS_CHILD, this, kToolBarId)) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_PANES, "Failed to create the properties toolbar");
        return FALSE;
    }
    // Each button names itself (its command string's caption) when the mouse rests on it.
    m_wndToolBar.ModifyBarStyle(0, GK_BARSTYLE_TOOLTIPS);
    m_wndToolBar.GetImageManager()->SetMaskColor(clrMask);
    if (!m_wndToolBar.LoadToolBar(nToolBarResource))
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_PANES, "Toolbar resource %u is missing", nToolBarResource);
    if (m_wndPropertyGrid.GetSafeHwnd() == nullptr) {
        if (!m_wndPropertyGrid.Create(CRect(0, 0, 0, 0), this, kGridId)) {
            TDL_TRACE(TRACE_ERROR, TRACE_AREA_PANES, "Failed to create the property grid");
            return FALSE;
        }
        ApplyGridLook(m_wndPropertyGrid);
    }
    AdjustLayout();
    return TRUE;
}

void CPropertiesWnd::AdjustLayout() {
    if (m_hWnd == nullptr || m_wndToolBar.GetSafeHwnd() == nullptr || m_wndPropertyGrid.GetSafeHwnd() == nullptr)
        return;
    CRect client;
    GetClientRect(&client);
    const int cyToolBar = m_wndToolBar.CalcDynamicLayout(-1, LM_HORZ | LM_COMMIT).cy;
    m_wndToolBar.SetWindowPos(nullptr, client.left, client.top, client.Width(), cyToolBar,
                              SWP_NOACTIVATE | SWP_NOZORDER);
    m_wndPropertyGrid.SetWindowPos(nullptr, client.left, client.top + cyToolBar, client.Width(),
                                   client.Height() - cyToolBar, SWP_NOACTIVATE | SWP_NOZORDER);
}

CGkPropertyGridItem* CPropertiesWnd::FindCategory(UINT nID) {
    return m_wndPropertyGrid.GetCategories()->FindItem(nID);
}

CGkPropertyGridItem* CPropertiesWnd::MakeCategory(UINT nID, LPCSTR lpszCaption) {
    CGkPropertyGridItem* pCategory = FindCategory(nID);
    if (pCategory == nullptr) {
        pCategory = m_wndPropertyGrid.AddCategory(lpszCaption);
        if (pCategory != nullptr)
            pCategory->SetID(nID);
    }
    return pCategory;
}

void CPropertiesWnd::ResetCategory(UINT nID, LPCSTR lpszCaption) {
    CGkPropertyGridItem* pCategory = FindCategory(nID);
    if (pCategory == nullptr)
        return;
    pCategory->SetCaption(lpszCaption);
    pCategory->GetChilds()->Clear();
}

void CPropertiesWnd::OnSize(UINT nType, int cx, int cy) {
    CWnd::OnSize(nType, cx, cy);
    AdjustLayout();
}

void CPropertiesWnd::OnSetFocus(CWnd* pOldWnd) {
    CWnd::OnSetFocus(pOldWnd);
    if (m_wndPropertyGrid.GetSafeHwnd() != nullptr)
        m_wndPropertyGrid.SetFocus();
}

void CPropertiesWnd::OnSortCategorized() {
    m_wndPropertyGrid.SetPropertySort(gkGridSortCategorized);
}

void CPropertiesWnd::OnUpdateSortCategorized(CCmdUI* pCmdUI) {
    pCmdUI->SetCheck(m_wndPropertyGrid.GetPropertySort() == gkGridSortCategorized);
}

void CPropertiesWnd::OnSortAlphabetic() {
    m_wndPropertyGrid.SetPropertySort(gkGridSortAlphabetical);
}

void CPropertiesWnd::OnUpdateSortAlphabetic(CCmdUI* pCmdUI) {
    pCmdUI->SetCheck(m_wndPropertyGrid.GetPropertySort() == gkGridSortAlphabetical);
}

BOOL CPropertiesWnd::IsMainWindowButton(UINT nID) const {
    return nID == GridOutputImp::kToggleDataBarId;
}

LRESULT CPropertiesWnd::OnGridNotify(WPARAM wParam, LPARAM lParam) {
    if (wParam != GK_PGN_INPLACEBUTTONDOWN)
        return FALSE;
    const auto* pButton = reinterpret_cast<const CGkPropertyGridInplaceButton*>(lParam);
    if (pButton == nullptr || !IsMainWindowButton(pButton->GetID()))
        return FALSE;
    CWnd* pMainWnd = AfxGetMainWnd();
    if (pMainWnd != nullptr)
        pMainWnd->SendMessage(WM_COMMAND, MAKEWPARAM(pButton->GetID(), 0), 0);
    return TRUE;
}
