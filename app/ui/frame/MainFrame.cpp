// CMainFrame: creation of the bars and docking panes, the pane getters, and the layout calls of a capture.
#include "app/ui/frame/MainFrame.h"

#include "GkCommandBars.h"
#include "GkDockingPaneLayout.h"
#include "GkToolBar.h"
#include "app/core/app/Resource.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/ui/frame/ChildFrame.h"
#include "app/ui/frame/MainFrameIds.h"
#include "app/ui/frame/StatusLEDPane.h"

IMPLEMENT_DYNAMIC(CMainFrame, CGkMDIFrameWnd)

BEGIN_MESSAGE_MAP(CMainFrame, CGkMDIFrameWnd)
ON_WM_CREATE()
ON_WM_CLOSE()
ON_WM_DESTROY()
ON_WM_TIMER()
ON_WM_INITMENUPOPUP()
ON_WM_GETMINMAXINFO()
ON_WM_DEVICECHANGE()
ON_COMMAND_RANGE(ID_VIEW_DEVICETREE, ID_VIEW_SYSTEMPROPERTIES, &CMainFrame::OnViewDockingPane)
ON_UPDATE_COMMAND_UI_RANGE(ID_VIEW_DEVICETREE, ID_VIEW_SYSTEMPROPERTIES, &CMainFrame::OnUpdateViewDockingPane)
ON_COMMAND(ID_VIEW_REFRESH, &CMainFrame::OnViewRefresh)
ON_UPDATE_COMMAND_UI(ID_VIEW_REFRESH, &CMainFrame::OnUpdateViewRefresh)
ON_UPDATE_COMMAND_UI(ID_INDICATOR_WRAP, &CMainFrame::OnUpdateIndicatorWrap)
ON_UPDATE_COMMAND_UI(ID_INDICATOR_TRIG, &CMainFrame::OnUpdateIndicatorTrig)
ON_UPDATE_COMMAND_UI(ID_INDICATOR_FILT, &CMainFrame::OnUpdateIndicatorFilt)
ON_UPDATE_COMMAND_UI(ID_INDICATOR_CAPT, &CMainFrame::OnUpdateIndicatorCapt)
ON_UPDATE_COMMAND_UI(ID_INDICATOR_DIAG, &CMainFrame::OnUpdateIndicatorDiag)
ON_COMMAND(ID_HELP_STACKINSPECTOR, &CMainFrame::OnHelpStackInspector)
ON_MESSAGE(CMainFrame::WM_REFRESH_DEVICE_TREE, &CMainFrame::OnRefreshDeviceTree)
ON_COMMAND(ID_CAPTURE_BOOTLOGGING, &CMainFrame::OnBootLogging)
ON_UPDATE_COMMAND_UI(ID_CAPTURE_BOOTLOGGING, &CMainFrame::OnUpdateBootLogging)
ON_COMMAND(ID_CAPTURE_HOTPLUGS, &CMainFrame::OnCaptureHotPlugs)
ON_UPDATE_COMMAND_UI(ID_CAPTURE_HOTPLUGS, &CMainFrame::OnUpdateCaptureHotPlugs)
ON_MESSAGE(GKWM_DOCKINGPANE_NOTIFY, &CMainFrame::OnDockingPaneNotify)
ON_COMMAND_RANGE(ID_WINDOW_LIST_FIRST, ID_WINDOW_LIST_LAST, &CMainFrame::OnWindowListEntry)
ON_UPDATE_COMMAND_UI_RANGE(ID_WINDOW_LIST_FIRST, ID_WINDOW_LIST_LAST, &CMainFrame::OnUpdateWindowListEntry)
END_MESSAGE_MAP()

namespace {

// The status bar: its style (child, visible, along the bottom with a top border) and its panes after the
// message pane, which stand out (SBPS_POPOUT).
constexpr DWORD kStatusBarStyle = 0x50008200;
const UINT kIndicators[] = {ID_SEPARATOR,      ID_INDICATOR_WRAP, ID_INDICATOR_TRIG,
                            ID_INDICATOR_FILT, ID_INDICATOR_CAPT, ID_INDICATOR_DIAG};
constexpr UINT kIndicatorStyle = SBPS_POPOUT;
// The capture LED after them, without borders.
constexpr int kLedWidth = 15;

// Timer 1 blinks the LED and moves the background-logging bars on.
constexpr UINT_PTR kTimerId = 1;
constexpr UINT kTimerMilliseconds = 333;

// The toolbar "Standard": not closeable, no expand button, tooltips and fly-by (bar style bits 0x30),
// dockable at any edge and floating (toolkit docking flags 63).
constexpr DWORD kToolbarStyleAdd = 0x30;
constexpr DWORD kToolbarDocking = 63;

constexpr int kDockingTheme = 9;
constexpr int kPaintTheme = 4;
constexpr DWORD kKeyboardNavigate = 15;

// The panes in the order they are made, each docked at an edge at its created size.
struct PaneRow {
    UINT nID;
    UINT nTitle;
    int cx, cy;
    GkDockingDirection direction;
};
constexpr PaneRow kPanes[] = {
    {ID_VIEW_LOGDETAILS, IDS_LOG_DETAILS, 180, 140, gkPaneDockRight},
    {ID_VIEW_DEVICEPROPERTIES, IDS_DEVICE_PROPERTIES, 180, 140, gkPaneDockBottom},
    {ID_VIEW_SYSTEMPROPERTIES, IDS_SYSTEM_PROPERTIES, 180, 140, gkPaneDockBottom},
    {ID_VIEW_DATABAR, IDS_DATA, 400, 140, gkPaneDockBottom},
    {ID_VIEW_DEVICETREE, IDS_DEVICE_TREE, 300, 400, gkPaneDockLeft},
    {ID_VIEW_STACKINSPECTOR, IDS_STACK_INSPECTOR, 300, 140, gkPaneDockBottom},
};

CString LoadText(UINT nID) {
    CString text;
    AfxLoadString(nID, text);
    return text;
}

} // namespace

CMainFrame::CMainFrame() = default;

CMainFrame::~CMainFrame() = default;

void CMainFrame::AddStatusLED() {
    auto* pLED = new CStatusLEDPane;
    pLED->InitLeds();
    pLED->SetWidth(kLedWidth);
    m_pStatusLED = static_cast<CStatusLEDPane*>(m_wndStatusBar.AddIndicator(pLED, ID_INDICATOR_LED));
    if (m_pStatusLED != nullptr)
        m_pStatusLED->SetStyle(m_pStatusLED->GetStyle() | SBPS_NOBORDERS);
}

int CMainFrame::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CGkMDIFrameWnd::OnCreate(lpCreateStruct) == -1)
        return -1;
    if (!CreateStatusBar())
        return -1;
    if (!InitCommandBars()) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_MAIN_FRAME, "Failed to create CGkCommandBars object.");
        return -1;
    }
    CGkCommandBars* pCommandBars = GetCommandBars();
    if (pCommandBars == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_MAIN_FRAME, "Failed to retrieve CGkCommandBars object.");
        return -1;
    }
    pCommandBars->GetImageManager()->SetMaskColor(RGB(192, 192, 192));
    pCommandBars->GetImageManager()->SetIcons(IDR_MAINFRAME);
    if (pCommandBars->SetMenu("Menu Bar", IDR_MAINFRAME) == nullptr) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_MAIN_FRAME, "Failed to create menu bar.");
        return -1;
    }
    if (!CreateToolbar(pCommandBars)) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_MAIN_FRAME, "Failed to create tool bar.");
        return -1;
    }
    pCommandBars->LoadCommandBars("CommandBars");
    // The window list's entries have update handlers only; they must not be greyed for want of a command
    // handler elsewhere in the routing.
    m_bAutoMenuEnable = FALSE;
    CreateDockingPanes();
    CGkPaintManager::SetTheme(kPaintTheme);
    m_bCreated = TRUE;
    return 0;
}

void CMainFrame::PostNcDestroy() {
    if (m_bCreated)
        CGkMDIFrameWnd::PostNcDestroy();
}

BOOL CMainFrame::CreateStatusBar() {
    if (!m_wndStatusBar.Create(this, kStatusBarStyle, AFX_IDW_STATUS_BAR) ||
        !m_wndStatusBar.SetIndicators(kIndicators, static_cast<int>(std::size(kIndicators)))) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_MAIN_FRAME, "Failed to create status bar.");
        return FALSE;
    }
    for (int nPane = 1; nPane < static_cast<int>(std::size(kIndicators)); ++nPane)
        m_wndStatusBar.SetPaneStyle(nPane, kIndicatorStyle);
    AddStatusLED();
    if (SetTimer(kTimerId, kTimerMilliseconds, nullptr) == 0) {
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_MAIN_FRAME, "Failed to create timer");
        return FALSE;
    }
    return TRUE;
}

BOOL CMainFrame::CreateToolbar(CGkCommandBars* pCommandBars) {
    CGkToolBar* pToolBar = pCommandBars->Add("Standard", CBRS_ALIGN_TOP);
    if (pToolBar == nullptr || !pToolBar->LoadToolBar(IDR_MAINFRAME))
        return FALSE;
    pToolBar->SetIconSize(CSize(16, 16));
    pToolBar->SetCloseable(FALSE);
    pToolBar->ShowExpandButton(FALSE);
    pToolBar->ModifyBarStyle(0, kToolbarStyleAdd);
    pToolBar->EnableDocking(kToolbarDocking);
    return TRUE;
}

void CMainFrame::CreateDockingPanes() {
    m_paneManager.InstallDockingPanes(this);
    m_paneManager.SetTheme(kDockingTheme);
    for (const PaneRow& row : kPanes) {
        CGkDockingPane* pPane = m_paneManager.CreatePane(row.nID, CRect(0, 0, row.cx, row.cy), row.direction);
        if (pPane != nullptr)
            pPane->SetTitle(LoadText(row.nTitle));
    }
    CGkDockingPane* pDeviceTree = m_paneManager.FindPane(ID_VIEW_DEVICETREE);
    CGkDockingPane* pStack = m_paneManager.FindPane(ID_VIEW_STACKINSPECTOR);
    m_paneManager.AttachPane(m_paneManager.FindPane(ID_VIEW_SYSTEMPROPERTIES), m_paneManager.FindPane(ID_VIEW_DATABAR));
    m_paneManager.DockPane(pStack, gkPaneDockBottom, pDeviceTree);
    m_paneManager.AttachPane(m_paneManager.FindPane(ID_VIEW_DEVICEPROPERTIES), pStack);
    EnableDocking(CBRS_ALIGN_TOP | CBRS_ALIGN_LEFT | CBRS_ALIGN_BOTTOM);
    m_paneManager.EnableKeyboardNavigate(kKeyboardNavigate);
    CGkDockingPaneLayout layout(&m_paneManager);
    if (layout.Load("UserLayout"))
        m_paneManager.SetLayout(&layout);
}

CLogPropertiesWnd* CMainFrame::GetLogDetailsPane() {
    return m_wndLogProperties.GetSafeHwnd() != nullptr ? &m_wndLogProperties : nullptr;
}

CDevicePropertiesWnd* CMainFrame::GetDevicePropertiesPane() {
    return m_wndDeviceProperties.GetSafeHwnd() != nullptr ? &m_wndDeviceProperties : nullptr;
}

CSystemPropertiesWnd* CMainFrame::GetSystemPropertiesPane() {
    return m_wndSystemProperties.GetSafeHwnd() != nullptr ? &m_wndSystemProperties : nullptr;
}

CDataBar* CMainFrame::GetDataBar() {
    return m_wndDataBar.GetSafeHwnd() != nullptr && m_wndDataBar.GetDumpCtrl() != nullptr ? &m_wndDataBar : nullptr;
}

CDeviceTreeTab* CMainFrame::GetDeviceTreeTab() {
    CDeviceTreeTab& tab = m_wndDevTreeBar.GetTab();
    return m_wndDevTreeBar.GetSafeHwnd() != nullptr && tab.GetSafeHwnd() != nullptr ? &tab : nullptr;
}

CSpecialGridList* CMainFrame::GetStackInspectorList() {
    CSpecialGridList& list = m_wndStackInspectorBar.GetList();
    return m_wndStackInspectorBar.GetSafeHwnd() != nullptr && list.GetSafeHwnd() != nullptr ? &list : nullptr;
}

BOOL CMainFrame::IsPaneVisible(UINT nPaneId) const {
    const CGkDockingPane* pPane = m_paneManager.FindPane(nPaneId);
    return pPane != nullptr && !pPane->IsClosed();
}

void CMainFrame::HideDevTreeAndStack() {
    m_RecordedCalls.emplace_back("HideDevTreeAndStack");
    m_wndDevTreeBar.SetWasOpenBeforeLogging(FALSE);
    m_wndStackInspectorBar.SetWasOpenBeforeLogging(FALSE);
    CGkDockingPane* pDeviceTree = m_paneManager.FindPane(ID_VIEW_DEVICETREE);
    if (pDeviceTree != nullptr && !pDeviceTree->IsClosed()) {
        pDeviceTree->Close();
        m_wndDevTreeBar.SetWasOpenBeforeLogging(TRUE);
    }
    CGkDockingPane* pStack = m_paneManager.FindPane(ID_VIEW_STACKINSPECTOR);
    if (pStack != nullptr && !pStack->IsClosed()) {
        pStack->Close();
        m_wndStackInspectorBar.SetWasOpenBeforeLogging(TRUE);
    }
    m_paneManager.RecalcFramesLayout();
}

void CMainFrame::RestoreDevTreeAndStack() {
    m_RecordedCalls.emplace_back("RestoreDevTreeAndStack");
    if (m_wndDevTreeBar.WasOpenBeforeLogging())
        m_paneManager.ShowPane(ID_VIEW_DEVICETREE);
    if (m_wndStackInspectorBar.WasOpenBeforeLogging())
        m_paneManager.ShowPane(ID_VIEW_STACKINSPECTOR);
}

CUSBLog* CMainFrame::GetActiveLogDocument() {
    auto* pChild = dynamic_cast<CChildFrame*>(MDIGetActive());
    return pChild != nullptr ? dynamic_cast<CUSBLog*>(pChild->GetActiveDocument()) : nullptr;
}

CUSBLog* CMainFrame::GetLiveDocument() const {
    CWinApp* pApp = AfxGetApp();
    if (pApp == nullptr)
        return nullptr;
    for (POSITION pos = pApp->GetFirstDocTemplatePosition(); pos != nullptr;) {
        CDocTemplate* pTemplate = pApp->GetNextDocTemplate(pos);
        for (POSITION docPos = pTemplate->GetFirstDocPosition(); docPos != nullptr;) {
            auto* pDoc = dynamic_cast<CUSBLog*>(pTemplate->GetNextDoc(docPos));
            if (pDoc != nullptr && pDoc->IsRealtimeDocument())
                return pDoc;
        }
    }
    return nullptr;
}
