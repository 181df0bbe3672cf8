// CMainFrame: the docking panes' windows, made the first time each pane shows, and the View commands that
// open and close the panes.
#include "GkDockingPane.h"
#include "app/core/diagnostics/Trace.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/frame/MainFrameIds.h"

namespace {

// The properties panes' windows: plain children of the frame, visible, clipping siblings and children.
constexpr DWORD kPropertiesStyle = 0x56000000;

// The bars as they are made; the docking pane then sizes them to its own area.
const CSize kDeviceTreeSize(300, 400);
const CSize kStackInspectorSize(300, 200);
const CSize kDataBarSize(400, 90);

// The docking themes that keep each kind of border on a pane's window.
constexpr int kThemeBorder = 0;
constexpr int kThemeStaticEdge = 1;
constexpr int kThemeClientEdge = 4;

// The View commands' texts while the pane is open (hide) and closed (show).
struct PaneCommandText {
    UINT nID;
    const char* hide;
    const char* show;
};
constexpr PaneCommandText kPaneCommandTexts[] = {
    {ID_VIEW_DEVICETREE, "Hide &Device Tree", "Show &Device Tree"},
    {ID_VIEW_STACKINSPECTOR, "Hide Stack &Inspector", "Show Stack &Inspector"},
    {ID_VIEW_LOGDETAILS, "Hide Log &Details", "Show Log &Details"},
    {ID_VIEW_DEVICEPROPERTIES, "Hide Device &Properties", "Show Device &Properties"},
    {ID_VIEW_SYSTEMPROPERTIES, "Hide System &Properties", "Show System &Properties"},
    {ID_VIEW_DATABAR, "Hide &Data Bar", "Show &Data Bar"},
};

CString LoadText(UINT nID) {
    CString text;
    AfxLoadString(nID, text);
    return text;
}

} // namespace

LRESULT CMainFrame::OnDockingPaneNotify(WPARAM wParam, LPARAM lParam) {
    if (wParam != GKPN_SHOWWINDOW)
        return FALSE;
    auto* pPane = reinterpret_cast<CGkDockingPane*>(lParam);
    if (pPane == nullptr || !pPane->IsValid() || pPane->GetID() < ID_VIEW_DEVICETREE ||
        pPane->GetID() > ID_VIEW_SYSTEMPROPERTIES)
        return FALSE;
    if (pPane->GetChild() == nullptr && CreatePaneWindow(pPane->GetID())) {
        switch (pPane->GetID()) {
        case ID_VIEW_DEVICETREE: pPane->Attach(&m_wndDevTreeBar); break;
        case ID_VIEW_STACKINSPECTOR: pPane->Attach(&m_wndStackInspectorBar); break;
        case ID_VIEW_DATABAR: pPane->Attach(&m_wndDataBar); break;
        case ID_VIEW_LOGDETAILS: pPane->Attach(&m_wndLogProperties); break;
        case ID_VIEW_DEVICEPROPERTIES: pPane->Attach(&m_wndDeviceProperties); break;
        case ID_VIEW_SYSTEMPROPERTIES: pPane->Attach(&m_wndSystemProperties); break;
        default: break;
        }
    }
    return TRUE;
}

BOOL CMainFrame::CreatePaneWindow(UINT nPaneId) {
    CWnd* pWnd = nullptr;
    switch (nPaneId) {
    case ID_VIEW_DEVICETREE:
        if (!CreateDeviceTreeBar()) {
            TDL_TRACE(TRACE_ERROR, TRACE_AREA_MAIN_FRAME, "Failed to create DevTree Pane");
            return FALSE;
        }
        pWnd = &m_wndDevTreeBar;
        break;
    case ID_VIEW_STACKINSPECTOR:
        if (!CreateStackInspectorBar()) {
            TDL_TRACE(TRACE_ERROR, TRACE_AREA_MAIN_FRAME, "Failed to create StackInspector Pane");
            return FALSE;
        }
        pWnd = &m_wndStackInspectorBar;
        break;
    case ID_VIEW_DATABAR:
        if (!CreateDataBar()) {
            TDL_TRACE(TRACE_ERROR, TRACE_AREA_MAIN_FRAME, "Failed to create Data Pane");
            return FALSE;
        }
        pWnd = &m_wndDataBar;
        break;
    case ID_VIEW_LOGDETAILS: pWnd = &m_wndLogProperties; break;
    case ID_VIEW_DEVICEPROPERTIES: pWnd = &m_wndDeviceProperties; break;
    case ID_VIEW_SYSTEMPROPERTIES: pWnd = &m_wndSystemProperties; break;
    default: return FALSE;
    }
    if (pWnd->GetSafeHwnd() == nullptr &&
        !pWnd->Create("STATIC", nullptr, kPropertiesStyle, CRect(0, 0, 0, 0), this, nPaneId)) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_MAIN_FRAME, "Failed to create pane %u", nPaneId);
        return FALSE;
    }
    ApplyPaneBorder(*pWnd);
    return TRUE;
}

BOOL CMainFrame::CreateDeviceTreeBar() {
    if (!m_wndDevTreeBar.Create(LoadText(IDS_DEVICE_TREE), this, kDeviceTreeSize, ID_VIEW_DEVICETREE))
        return FALSE;
    // A capture that began before the pane first showed has already locked the tree.
    CDeviceTreeTab* pTab = GetDeviceTreeTab();
    if (pTab != nullptr) {
        if (m_wndDevTreeBar.IsReadOnly()) {
            pTab->SetReadOnly();
            pTab->RefreshTabViews(GetActiveLogDocument(), FALSE);
        } else {
            pTab->SetWriteable();
            pTab->RefreshTabViews(GetActiveLogDocument(), TRUE);
        }
    }
    return TRUE;
}

BOOL CMainFrame::CreateStackInspectorBar() {
    if (!m_wndStackInspectorBar.Create(LoadText(IDS_STACK_INSPECTOR), this, kStackInspectorSize,
                                       ID_VIEW_STACKINSPECTOR))
        return FALSE;
    m_wndStackInspectorBar.GetList().SetWriteable(!m_wndStackInspectorBar.IsReadOnly());
    return TRUE;
}

BOOL CMainFrame::CreateDataBar() {
    return m_wndDataBar.Create(LoadText(IDS_DATA), this, kDataBarSize, ID_VIEW_DATABAR);
}

void CMainFrame::ApplyPaneBorder(CWnd& wnd) const {
    const int nTheme = m_paneManager.GetCurrentTheme();
    wnd.ModifyStyle(nTheme == kThemeBorder ? 0 : WS_BORDER, nTheme == kThemeBorder ? WS_BORDER : 0);
    wnd.ModifyStyleEx(nTheme == kThemeStaticEdge ? 0 : WS_EX_STATICEDGE,
                      nTheme == kThemeStaticEdge ? WS_EX_STATICEDGE : 0);
    wnd.ModifyStyleEx(nTheme == kThemeClientEdge ? 0 : WS_EX_CLIENTEDGE,
                      nTheme == kThemeClientEdge ? WS_EX_CLIENTEDGE : 0);
    wnd.SetWindowPos(nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

void CMainFrame::OnViewDockingPane(UINT nID) {
    CGkDockingPane* pPane = m_paneManager.FindPane(nID);
    if (pPane == nullptr)
        return;
    if (pPane->IsClosed())
        m_paneManager.ShowPane(pPane);
    else
        pPane->Close();
    m_paneManager.RecalcFramesLayout();
}

void CMainFrame::OnUpdateViewDockingPane(CCmdUI* pCmdUI) {
    for (const PaneCommandText& text : kPaneCommandTexts) {
        if (text.nID != pCmdUI->m_nID)
            continue;
        const BOOL bOpen = IsPaneVisible(text.nID);
        pCmdUI->SetCheck(bOpen ? 1 : 0);
        pCmdUI->SetText(bOpen ? text.hide : text.show);
        return;
    }
    // 59524 names no pane.
    pCmdUI->Enable(FALSE);
}
