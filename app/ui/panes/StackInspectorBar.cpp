#include "app/ui/panes/StackInspectorBar.h"

#include "app/core/app/Resource.h"
#include "app/core/diagnostics/Trace.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/TempObject.h"
#include "app/ui/PanePointers.h"
#include "app/ui/devicetree/DeviceTreeIds.h"
#include "app/ui/frame/MainFrameIds.h"
#include "app/ui/panes/PaneWindow.h"

IMPLEMENT_DYNAMIC(CStackInspectorBar, CWnd)

BEGIN_MESSAGE_MAP(CStackInspectorBar, CWnd)
ON_WM_CREATE()
ON_WM_SIZE()
END_MESSAGE_MAP()

namespace {

constexpr DWORD kListStyle = WS_CHILD | WS_VISIBLE | LVS_REPORT | LVS_SHOWSELALWAYS;

UINT StateImageOf(UINT nState) {
    return (nState & LVIS_STATEIMAGEMASK) >> 12;
}

} // namespace

BOOL CStackInspectorBar::Create(LPCTSTR lpszTitle, CWnd* pParentWnd, CSize size, UINT nID, DWORD dwStyle) {
    return CreatePaneWindow(*this, lpszTitle, pParentWnd, size, nID, dwStyle);
}

int CStackInspectorBar::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CWnd::OnCreate(lpCreateStruct) == -1)
        return -1;
    CRect client;
    GetClientRect(&client);
    if (!m_List.Create(kListStyle, client, this, IDC_STACK_LIST))
        return -1;
    m_List.SetWriteable(!IsReadOnly());
    if (m_Menu.CreatePopupMenu()) {
        m_Menu.AppendMenu(MF_STRING, ID_USB_CLEARDEVICES, "Clear monitored &devices");
        m_Menu.AppendMenu(MF_STRING, ID_VIEW_DEVICETREE, "&Hide Device Tree");
        m_Menu.AppendMenu(MF_STRING, ID_VIEW_STACKINSPECTOR, "&Hide Stack &Inspector");
        m_Menu.AppendMenu(MF_STRING, ID_HELP_STACKINSPECTOR, "&Help on Stack Inspector");
        m_Menu.AppendMenu(MF_SEPARATOR, 0, nullptr);
        m_Menu.AppendMenu(MF_STRING, IDCANCEL, "&Cancel");
        // The list asks the bar before its menu shows; the bar shows it.
        m_List.SetContextMenu(m_Menu.GetSafeHmenu());
    }
    return 0;
}

void CStackInspectorBar::OnSize(UINT nType, int cx, int cy) {
    CWnd::OnSize(nType, cx, cy);
    if (m_List.GetSafeHwnd() != nullptr)
        m_List.MoveWindow(0, 0, cx, cy);
}

BOOL CStackInspectorBar::AllowStateChange(const NMLISTVIEW& change) const {
    if ((change.uChanged & LVIF_STATE) == 0)
        return TRUE;
    const UINT nOld = StateImageOf(change.uOldState);
    const UINT nNew = StateImageOf(change.uNewState);
    if (nOld == nNew)
        return TRUE;
    // An uncheckable row stays so; while a capture runs only the list's own check-all goes through.
    if (nOld == CHECKSTATE_UNCHECKABLE)
        return FALSE;
    return m_List.IsWriteable() || m_List.IsProgramChange();
}

void CStackInspectorBar::OnStateChanged(const NMLISTVIEW& change) {
    if ((change.uChanged & LVIF_STATE) == 0)
        return;
    const UINT nOld = StateImageOf(change.uOldState);
    const UINT nNew = StateImageOf(change.uNewState);
    if (nOld == nNew || (nOld == 0 && nNew == 0))
        return;
    auto* pDevice = reinterpret_cast<CDeviceObject*>(change.lParam);
    if (pDevice == nullptr || !pDevice->IsSelectable())
        return;
    pDevice->m_nStateImage = nNew == CHECKSTATE_CHECKED ? CHECKSTATE_CHECKED : CHECKSTATE_UNCHECKED;
    CPanePointers().UpdateTabViewsForDevice(pDevice);
}

void CStackInspectorBar::ShowContextMenu(CPoint point) {
    if (point.x == -1 && point.y == -1)
        return;
    CRect list;
    m_List.GetWindowRect(&list);
    CWnd* pMainWnd = AfxGetMainWnd();
    if (!list.PtInRect(point) || pMainWnd == nullptr || m_Menu.GetSafeHmenu() == nullptr)
        return;
    m_Menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, pMainWnd);
}

BOOL CStackInspectorBar::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    auto* pNMHDR = reinterpret_cast<NMHDR*>(lParam);
    if (pNMHDR->hwndFrom != m_List.GetSafeHwnd())
        return CWnd::OnNotify(wParam, lParam, pResult);
    switch (pNMHDR->code) {
    case LVN_ITEMCHANGING: *pResult = AllowStateChange(*reinterpret_cast<NMLISTVIEW*>(pNMHDR)) ? 0 : 1; return TRUE;
    case LVN_ITEMCHANGED:
        OnStateChanged(*reinterpret_cast<NMLISTVIEW*>(pNMHDR));
        *pResult = 0;
        return TRUE;
    case OXGRID_CONTEXTMENU:
        // Answered in every case, so that the list never shows the menu itself.
        ShowContextMenu(CPoint(reinterpret_cast<NMGRIDMENU*>(pNMHDR)->point));
        *pResult = 1;
        return TRUE;
    default: return CWnd::OnNotify(wParam, lParam, pResult);
    }
}
