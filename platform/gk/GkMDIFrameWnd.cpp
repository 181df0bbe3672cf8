#include "GkMDIFrameWnd.h"

#include <set>

#include "GkCommandBars.h"
#include "GkDockingPaneManager.h"
#include "GkMenuBar.h"
#include "GkToolBar.h"

namespace {

std::set<GkFrameFailure>& PendingFailures() {
    static std::set<GkFrameFailure> failures;
    return failures;
}

bool TakeFailure(GkFrameFailure failure) {
    return PendingFailures().erase(failure) != 0;
}

} // namespace

void GkFailNext(GkFrameFailure failure) {
    PendingFailures().insert(failure);
}

IMPLEMENT_DYNCREATE(CGkMDIFrameWnd, CMDIFrameWnd)

BEGIN_MESSAGE_MAP(CGkMDIFrameWnd, CMDIFrameWnd)
ON_WM_SHOWWINDOW()
ON_WM_DESTROY()
ON_WM_ERASEBKGND()
END_MESSAGE_MAP()

CGkMDIFrameWnd::CGkMDIFrameWnd() = default;

CGkMDIFrameWnd::~CGkMDIFrameWnd() {
    delete m_pCommandBars;
}

BOOL CGkMDIFrameWnd::InitCommandBars() {
    if (TakeFailure(GkFrameFailure::InitCommandBars) || m_pCommandBars != nullptr || m_hWnd == nullptr)
        return FALSE;
    m_pCommandBars = new CGkCommandBars(this);
    return TRUE;
}

CGkCommandBars* CGkMDIFrameWnd::GetCommandBars() {
    if (TakeFailure(GkFrameFailure::GetCommandBars))
        return nullptr;
    return m_pCommandBars;
}

void CGkMDIFrameWnd::RecalcLayout(BOOL bNotify) {
    if (m_pCommandBars == nullptr || m_hWnd == nullptr) {
        CMDIFrameWnd::RecalcLayout(bNotify);
    } else {
        // The command bars hold the outer rows, the other control bars (the status bar) come inside them.
        CRect client;
        GetClientRect(&client);
        m_pCommandBars->LayoutBars(client);
        PlaceControlBars(client);
        HWND hView = ::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST);
        if (hView != nullptr)
            ::MoveWindow(hView, client.left, client.top, std::max(0L, static_cast<long>(client.Width())),
                         std::max(0L, static_cast<long>(client.Height())), TRUE);
    }
    if (m_hWnd == nullptr || m_pDockingPaneManager == nullptr)
        return;
    // The bars have taken their edges and the client the rest; the bands come out of the client's share.
    HWND hClient = m_hWndMDIClient != nullptr ? m_hWndMDIClient : ::GetDlgItem(m_hWnd, AFX_IDW_PANE_FIRST);
    CRect inside;
    if (hClient != nullptr) {
        ::GetWindowRect(hClient, &inside);
        ScreenToClient(&inside);
    } else {
        GetClientRect(&inside);
    }
    BOOL bVisible = IsWindowVisible() || m_bBecomingVisible;
    m_pDockingPaneManager->LayoutInside(inside, bVisible);
    if (hClient != nullptr)
        ::MoveWindow(hClient, inside.left, inside.top, std::max(0L, static_cast<long>(inside.Width())),
                     std::max(0L, static_cast<long>(inside.Height())), TRUE);
}

BOOL CGkMDIFrameWnd::PreTranslateMenuKey(MSG* pMsg) {
    CGkMenuBar* pMenuBar = m_pCommandBars != nullptr ? m_pCommandBars->GetMenuBar() : nullptr;
    if (pMenuBar == nullptr || pMenuBar->GetSafeHwnd() == nullptr || pMsg->hwnd == nullptr ||
        ::GetAncestor(pMsg->hwnd, GA_ROOT) != m_hWnd)
        return FALSE;
    const bool bKeyboardMode = pMenuBar->GetKeyboardIndex() >= 0;
    auto toggle = [&] {
        if (bKeyboardMode)
            pMenuBar->LeaveKeyboardMode();
        else
            pMenuBar->EnterKeyboardMode(0);
        return TRUE;
    };
    switch (pMsg->message) {
    case WM_SYSKEYDOWN:
        if (pMsg->wParam == VK_MENU) {
            // Alt alone, let go before any other key: the menu bar's keyboard mode.
            if ((pMsg->lParam & (1L << 30)) == 0)
                m_bAltAlone = TRUE;
            return FALSE;
        }
        m_bAltAlone = FALSE;
        if (pMsg->wParam == VK_F10 && ::GetKeyState(VK_SHIFT) >= 0)
            return toggle();
        return bKeyboardMode && pMenuBar->OnKeyboardModeKey(static_cast<UINT>(pMsg->wParam));
    case WM_SYSKEYUP:
        if (pMsg->wParam != VK_MENU || !m_bAltAlone)
            return FALSE;
        m_bAltAlone = FALSE;
        return toggle();
    case WM_KEYDOWN:
        m_bAltAlone = FALSE;
        return bKeyboardMode && pMenuBar->OnKeyboardModeKey(static_cast<UINT>(pMsg->wParam));
    case WM_CHAR:
    case WM_SYSCHAR: return bKeyboardMode;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
    case WM_NCLBUTTONDOWN:
    case WM_NCRBUTTONDOWN:
        // A click anywhere ends the mode (on a title, that title's pop-up opens).
        m_bAltAlone = FALSE;
        pMenuBar->LeaveKeyboardMode();
        return FALSE;
    default: return FALSE;
    }
}

BOOL CGkMDIFrameWnd::PreTranslateMessage(MSG* pMsg) {
    if (PreTranslateMenuKey(pMsg))
        return TRUE;
    if (pMsg->message == WM_SYSKEYDOWN && pMsg->wParam == VK_F7 && m_pDockingPaneManager != nullptr &&
        m_pDockingPaneManager->NavigateNext())
        return TRUE;
    // Accelerators come first; then Alt and a letter opens the menu bar's title with that mnemonic, wherever
    // in the frame the focus is.
    if (CMDIFrameWnd::PreTranslateMessage(pMsg))
        return TRUE;
    return pMsg->message == WM_SYSKEYDOWN && m_pCommandBars != nullptr && m_pCommandBars->GetMenuBar() != nullptr &&
           ((pMsg->wParam >= 'A' && pMsg->wParam <= 'Z') || (pMsg->wParam >= '0' && pMsg->wParam <= '9')) &&
           m_pCommandBars->GetMenuBar()->TrackMnemonic(static_cast<char>(pMsg->wParam));
}

void CGkMDIFrameWnd::OnUpdateFrameMenu(HMENU hMenuAlt) {
    CGkMenuBar* pMenuBar = m_pCommandBars != nullptr ? m_pCommandBars->GetMenuBar() : nullptr;
    if (pMenuBar == nullptr) {
        CMDIFrameWnd::OnUpdateFrameMenu(hMenuAlt);
        return;
    }
    pMenuBar->SetFrameMenu(hMenuAlt != nullptr ? hMenuAlt : m_hMenuDefault);
}

void CGkMDIFrameWnd::OnShowWindow(BOOL bShow, UINT nStatus) {
    CMDIFrameWnd::OnShowWindow(bShow, nStatus);
    if (!bShow || m_pDockingPaneManager == nullptr)
        return;
    // The panes on show must be announced before the frame appears.
    m_bBecomingVisible = TRUE;
    RecalcLayout();
    m_bBecomingVisible = FALSE;
}

BOOL CGkMDIFrameWnd::OnEraseBkgnd(CDC* pDC) {
    // What shows of the frame itself is the bars' rows beyond their last bar, on the face, and the etched lines
    // after each row.
    CRect client;
    GetClientRect(&client);
    pDC->FillSolidRect(client, ::GetSysColor(COLOR_BTNFACE));
    if (m_pCommandBars != nullptr)
        m_pCommandBars->DrawRowEdges(pDC);
    return TRUE;
}

void CGkMDIFrameWnd::OnDestroy() {
    m_pDockingPaneManager = nullptr;
    CMDIFrameWnd::OnDestroy();
}
