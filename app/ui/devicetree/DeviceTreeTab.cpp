#include "app/ui/devicetree/DeviceTreeTab.h"

#include "app/core/app/Resource.h"
#include "app/core/capture/KxTdloft.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/ui/devicetree/DeviceTreeIds.h"
#include "app/ui/frame/ActiveDocument.h"
#include "app/ui/frame/MainFrameIds.h"
#include "app/ui/panes/StackListMessages.h"

IMPLEMENT_DYNAMIC(CDeviceTreeTab, CWnd)

namespace {

constexpr char kClassName[] = "DeviceTreeTab";

// The redisplay a model change posts; registered (by the first tab made), so that it meets no other window's
// private message.
UINT s_nPostedRedisplay = 0;

struct TabInfo {
    const char* title;
    int nImage;
    UINT nHelpCommand;
    const char* help;
};
constexpr TabInfo kTabs[] = {
    {"Devices", DT_GENERIC_USB, ID_HELP_TOPIC_214, "Help on Devices"},
    {"Stacks", DT_STACK_NODE, ID_HELP_TOPIC_215, "Help on Stacks"},
    {"Drivers", DT_DRIVER_NODE, ID_HELP_TOPIC_217, "Help on Drivers"},
};

} // namespace

BEGIN_MESSAGE_MAP(CDeviceTreeTab, CWnd)
ON_WM_CREATE()
ON_WM_WINDOWPOSCHANGED()
ON_WM_CONTEXTMENU()
ON_REGISTERED_MESSAGE(s_nPostedRedisplay, &CDeviceTreeTab::OnPostedRedisplay)
END_MESSAGE_MAP()

CDeviceTreeTab::CDeviceTreeTab() : m_DevicesTab(*this), m_StacksTab(*this), m_DriversTab(*this) {
    if (s_nPostedRedisplay == 0)
        s_nPostedRedisplay = ::RegisterWindowMessageA("TindaloftDeviceTreeRedisplay");
}

CDeviceTreeTab::~CDeviceTreeTab() {
    if (m_hWnd != nullptr)
        DestroyWindow();
}

BOOL CDeviceTreeTab::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    WNDCLASSA wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ::DefWindowProcA;
    wc.hInstance = AfxGetInstanceHandle();
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kClassName;
    if (!AfxRegisterClass(&wc))
        return FALSE;
    dwStyle &= ~(WS_BORDER | WS_HSCROLL | WS_VSCROLL);
    if (!CreateEx(WS_EX_CLIENTEDGE, kClassName, nullptr, dwStyle | WS_CHILD, rect, pParentWnd, nID))
        return FALSE;
    // One edge is enough: the tab view draws it, the bar around it none.
    if (pParentWnd != nullptr)
        pParentWnd->ModifyStyleEx(WS_EX_CLIENTEDGE, 0, SWP_FRAMECHANGED);
    return TRUE;
}

int CDeviceTreeTab::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CWnd::OnCreate(lpCreateStruct) == -1)
        return -1;
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICE_TREE, "--CDeviceTreeTab::OnCreate");
    CRect client;
    GetClientRect(&client);
    if (!m_TabViewContainer.Create(WC_TABCONTROLA, nullptr, WS_CHILD | WS_VISIBLE | WS_TABSTOP, client, this,
                                   IDC_DEVICE_TREE_TABS))
        return -1;
    if (!m_ilImages.Create(IDB_DEVICE_TREE_IMAGES, kDeviceTreeImageWidth, 0, kDeviceTreeMask) ||
        !m_ilStates.Create(IDB_DEVICE_TREE_STATES, kDeviceTreeStateWidth, 0, kDeviceTreeMask))
        return -1;
    m_TabViewContainer.SetImageList(&m_ilImages);

    CUSBLog* pDoc = ActiveLogDocument();
    QuietNotices quiet(*this);
    if (!m_StacksTab.CreateTree(m_TabViewContainer, IDC_STACKS_TREE, m_ilImages, m_ilStates))
        return -1;
    m_StacksTab.Populate(pDoc);
    if (!m_DevicesTab.CreateTree(m_TabViewContainer, IDC_DEVICES_TREE, m_ilImages, m_ilStates))
        return -1;
    m_DevicesTab.DisplayConnectionTree(pDoc);
    if (!m_DriversTab.CreateTree(m_TabViewContainer, IDC_DRIVERS_TREE, m_ilImages, m_ilStates))
        return -1;
    // A driver's check goes to its device objects' items.
    m_DriversTab.GetTree().m_nCascade = 1;
    m_DriversTab.Fill(pDoc);
    m_pShownDoc = pDoc;
    if (pDoc != nullptr)
        pDoc->SetDeviceTreeModified(FALSE);

    const std::array<CDeviceTreePage*, 3> pages = Pages();
    for (int i = 0; i < 3; ++i) {
        if (!m_TabViewContainer.InsertPage(i, &pages[i]->GetTree(), kTabs[i].title, kTabs[i].nImage, 0, FALSE))
            return -1;
    }
    if (!m_TabViewContainer.SetActivePageIndex(DevicesTab))
        return -1;
    m_nActiveTab = DevicesTab;
    return 0;
}

void CDeviceTreeTab::FitContainer() {
    if (m_TabViewContainer.GetSafeHwnd() == nullptr)
        return;
    CRect client;
    GetClientRect(&client);
    m_TabViewContainer.MoveWindow(&client);
}

void CDeviceTreeTab::OnWindowPosChanged(WINDOWPOS* lpwndpos) {
    CWnd::OnWindowPosChanged(lpwndpos);
    FitContainer();
}

void CDeviceTreeTab::SetReadOnly() {
    for (CDeviceTreePage* pPage : Pages())
        pPage->SetWriteable(FALSE, m_bCheckable);
}

void CDeviceTreeTab::SetWriteable() {
    for (CDeviceTreePage* pPage : Pages())
        pPage->SetWriteable(TRUE, m_bCheckable);
}

void CDeviceTreeTab::ClearTrees() {
    QuietNotices quiet(*this);
    for (CDeviceTreePage* pPage : Pages())
        pPage->ClearTree();
    m_pShownDoc = nullptr;
}

void CDeviceTreeTab::Redisplay(CUSBLog* pDoc) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICE_TREE, "--CDeviceTreeTab::Redisplay");
    QuietNotices quiet(*this);
    for (CDeviceTreePage* pPage : Pages())
        pPage->SaveSelection(pPage->GetDocument());
    m_StacksTab.Populate(pDoc);
    m_DevicesTab.DisplayConnectionTree(pDoc);
    m_DriversTab.Fill(pDoc);
    m_pShownDoc = pDoc;
    if (pDoc != nullptr)
        pDoc->SetDeviceTreeModified(FALSE);
    for (CDeviceTreePage* pPage : Pages())
        pPage->RestoreSelection(pDoc);
}

void CDeviceTreeTab::RefreshTabViews(CUSBLog* pDoc, BOOL bCheckable) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICE_TREE, "--CDeviceTreeTab::RefreshTabViews");
    m_bCheckable = bCheckable ? TRUE : FALSE;
    for (CDeviceTreePage* pPage : Pages())
        pPage->SetWriteable(pPage->IsWriteable(), m_bCheckable);
    if (pDoc == nullptr) {
        ClearTrees();
        SendStackListMessage(WM_CLEAR_STACKLIST);
        return;
    }
    // Trees that show another document point into its model, whatever its flag says.
    if (!pDoc->IsDeviceTreeModified() && pDoc == m_pShownDoc)
        return;
    Redisplay(pDoc);
}

void CDeviceTreeTab::DoRefresh(BOOL bRebuild) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICE_TREE, "--CDeviceTreeTab::DoRefresh");
    CUSBLog* pDoc = ActiveLogDocument();
    if (pDoc == nullptr)
        return;
    // Only a live capture's model comes from the driver: a saved log's is the file's.
    if (bRebuild && pDoc->IsRealtimeDocument()) {
        // The refresh restarts the driver's capture sequence, which records already captured must keep.
        const LogRecords::CLogRecords* pRecords = pDoc->GetLogRecords();
        if ((pRecords == nullptr || pRecords->GetCount() == 0) && !pDoc->IsLogging()) {
            CKxTdloft device;
            if (device.TryDeviceOpen()) {
                device.IoctlRefreshDeviceStacks();
                device.DeviceClose();
            }
        }
        pDoc->RefreshDevices();
    }
    Redisplay(pDoc);
    SendStackListMessage(WM_CLEAR_STACKLIST);
}

void CDeviceTreeTab::ClearSelections() {
    QuietNotices quiet(*this);
    for (CDeviceTreePage* pPage : Pages()) {
        if (pPage->GetTree().GetSafeHwnd() != nullptr)
            pPage->GetTree().SelectItem(nullptr);
    }
}

void CDeviceTreeTab::UpdateTabViews(CDeviceStack* pStack) {
    if (pStack == nullptr)
        return;
    for (const auto& [position, pDevice] : pStack->DeviceObjectsByPosition()) {
        if (pDevice->IsLoggable())
            UpdateTabViews(pDevice);
    }
}

void CDeviceTreeTab::UpdateTabViews(CDeviceObject* pDevice) {
    if (pDevice == nullptr)
        return;
    // An object keeps an item only while a tree of this tab shows it: emptying a tree clears what it held.
    if (pDevice->m_htiSelf != nullptr)
        pDevice->RefreshDriversTabNode(m_DriversTab);
    CDeviceStack* pStack = pDevice->_DevStack;
    if (pStack == nullptr || pStack->Removed != 0)
        return;
    if (pStack->m_htiSelf != nullptr)
        pStack->RefreshStacksTabNode(m_StacksTab, pStack->m_htiSelf);
    m_DevicesTab.RefreshObjectState(pStack->GetAssociatedDevice(), pStack->GetCheckState());
}

void CDeviceTreeTab::DeviceModelChanging(CUSBLog* pDoc) {
    if (pDoc == nullptr)
        return;
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICE_TREE, "--CDeviceTreeTab::DeviceModelChanging");
    {
        QuietNotices quiet(*this);
        for (CDeviceTreePage* pPage : Pages()) {
            if (pPage->GetDocument() != pDoc)
                continue;
            pPage->HoldSelection(pDoc);
            pPage->ClearTree();
        }
    }
    if (m_pShownDoc == pDoc)
        m_pShownDoc = nullptr;
    pDoc->SetDeviceTreeModified(TRUE);
    if (!m_bRedisplayPosted && GetSafeHwnd() != nullptr)
        m_bRedisplayPosted = PostMessage(s_nPostedRedisplay);
}

LRESULT CDeviceTreeTab::OnPostedRedisplay(WPARAM, LPARAM) {
    m_bRedisplayPosted = FALSE;
    RefreshTabViews(ActiveLogDocument(), m_bCheckable);
    return 0;
}

void CDeviceTreeTab::SelectTab(int nTab) {
    CUSBLog* pDoc = m_pShownDoc;
    switch (nTab) {
    case DevicesTab: m_DevicesTab.SelectTab(pDoc); break;
    case StacksTab: m_StacksTab.SelectTab(pDoc); break;
    case DriversTab: m_DriversTab.SelectTab(pDoc); break;
    default: break;
    }
}

BOOL CDeviceTreeTab::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    auto* pNMHDR = reinterpret_cast<NMHDR*>(lParam);
    // The trees' notices, the check notice (wParam 0) among them, go by the sender's id to its page.
    for (CDeviceTreePage* pPage : Pages()) {
        if (pNMHDR->hwndFrom == nullptr || pNMHDR->hwndFrom != pPage->GetTree().GetSafeHwnd())
            continue;
        *pResult = 0;
        if (m_nQuiet != 0)
            return TRUE;
        // The trees show m_pShownDoc's model (or the Drivers page alone its own document's).
        switch (static_cast<UINT>(pNMHDR->idFrom)) {
        case IDC_DEVICES_TREE: m_DevicesTab.OnDevicesNotify(pNMHDR, pPage->GetDocument()); break;
        case IDC_STACKS_TREE: m_StacksTab.OnStacksNotify(pNMHDR, pPage->GetDocument()); break;
        case IDC_DRIVERS_TREE: m_DriversTab.OnDriversNotify(pNMHDR, pPage->GetDocument()); break;
        default: break;
        }
        return TRUE;
    }
    const BOOL bHandled = CWnd::OnNotify(wParam, lParam, pResult);
    if (pNMHDR->hwndFrom == m_TabViewContainer.GetSafeHwnd() && pNMHDR->code == TCN_SELCHANGE) {
        const int nActive = m_TabViewContainer.GetActivePageIndex();
        if (nActive >= 0 && nActive != m_nActiveTab) {
            m_nActiveTab = nActive;
            SelectTab(nActive);
        }
    }
    return bHandled;
}

void CDeviceTreeTab::OnContextMenu(CWnd* pWnd, CPoint point) {
    // Only a click in a tree: not the keyboard's menu (-1, -1), not the tab strip.
    if (point.x == -1 && point.y == -1)
        return;
    bool bInTree = false;
    for (CDeviceTreePage* pPage : Pages())
        bInTree = bInTree || (pWnd != nullptr && pWnd->GetSafeHwnd() == pPage->GetTree().GetSafeHwnd());
    CWnd* pMainWnd = AfxGetMainWnd();
    if (!bInTree || pMainWnd == nullptr)
        return;
    const TabInfo& tab = kTabs[m_nActiveTab >= 0 && m_nActiveTab < 3 ? m_nActiveTab : 0];
    CMenu menu;
    if (!menu.CreatePopupMenu())
        return;
    menu.AppendMenu(MF_STRING, ID_VIEW_REFRESH, "&Refresh");
    menu.AppendMenu(MF_STRING, ID_USB_CLEARDEVICES, "Clear monitored &devices");
    menu.AppendMenu(MF_STRING, ID_VIEW_DEVICETREE, "&Hide Device Tree");
    menu.AppendMenu(MF_STRING, ID_VIEW_STACKINSPECTOR, "&Hide Stack &Inspector");
    menu.AppendMenu(MF_STRING, tab.nHelpCommand, tab.help);
    menu.AppendMenu(MF_SEPARATOR, 0, nullptr);
    menu.AppendMenu(MF_STRING, IDCANCEL, "&Cancel");
    menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, pMainWnd);
}
