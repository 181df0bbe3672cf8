// CWnd: message dispatch, command and notification routing with reflection, and the default handlers.
#include <cstring>

#include "AfxCmdUI.h"
#include "AfxHtmlHelp.h"
#include "AfxWinApp.h"
#include "AfxWnd.h"

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

namespace {

// Collects what an item's update handler decides, to learn whether a command is enabled.
class CTestCmdUI : public CCmdUI {
public:
    void Enable(BOOL bOn) override {
        m_bEnableChanged = TRUE;
        m_bEnabled = bOn;
    }
    void SetCheck(int) override {}
    void SetRadio(BOOL) override {}
    void SetText(LPCTSTR) override {}
    BOOL m_bEnabled = TRUE;
};

bool IsCtlColor(UINT message) {
    return message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC;
}

// The control a WM_DRAWITEM is about: DRAWITEMSTRUCT's hwndItem, at offset 24 on x64.
HWND DrawItemWindow(LPARAM lParam) {
    HWND hWnd = nullptr;
    if (lParam != 0)
        std::memcpy(&hWnd, reinterpret_cast<const BYTE*>(lParam) + 24, sizeof hWnd);
    return hWnd;
}

} // namespace

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT lResult = 0;
    if (!OnWndMsg(message, wParam, lParam, &lResult))
        lResult = DefWindowProc(message, wParam, lParam);
    return lResult;
}

BOOL CWnd::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    LRESULT lResult = 0;
    if (message == WM_COMMAND) {
        if (!OnCommand(wParam, lParam))
            return FALSE;
        *pResult = 1;
        return TRUE;
    }
    if (message == WM_NOTIFY) {
        auto* pNMHDR = reinterpret_cast<NMHDR*>(lParam);
        if (pNMHDR == nullptr || !OnNotify(wParam, lParam, &lResult))
            return FALSE;
        *pResult = lResult;
        return TRUE;
    }
    // A control's drawing and colours are offered to the control's own object first.
    HWND hWndChild = nullptr;
    if (message == WM_DRAWITEM)
        hWndChild = DrawItemWindow(lParam);
    else if (IsCtlColor(message) || ((message == WM_HSCROLL || message == WM_VSCROLL) && lParam != 0))
        hWndChild = reinterpret_cast<HWND>(lParam);
    if (hWndChild != nullptr && hWndChild != m_hWnd && ReflectLastMsg(hWndChild, &lResult)) {
        *pResult = lResult;
        return TRUE;
    }
    AFX_MSGCALL call{message, wParam, lParam, 0, nullptr, 0};
    if (!DispatchMsgMap(message, 0, 0, call, nullptr))
        return FALSE;
    *pResult = call.lResult;
    return TRUE;
}

LRESULT CWnd::DefWindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper != nullptr)
        return ::CallWindowProcA(m_pfnSuper, m_hWnd, message, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, message, wParam, lParam);
}

LRESULT CWnd::Default() {
    const MSG* pMsg = AfxGetCurrentMessage();
    return DefWindowProc(pMsg->message, pMsg->wParam, pMsg->lParam);
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    UINT nID = LOWORD(wParam);
    auto hWndCtrl = reinterpret_cast<HWND>(lParam);
    int nCode = HIWORD(wParam);
    if (hWndCtrl == nullptr) {
        // A menu item, an accelerator or a posted command: one its update handler disables is not carried out,
        // whatever state the menu or the sender saw.
        CTestCmdUI state;
        state.m_nID = nID;
        OnCmdMsg(nID, static_cast<int>(CN_UPDATE_COMMAND_UI), &state, nullptr);
        if (!state.m_bEnabled)
            return TRUE;
        nCode = CN_COMMAND;
    } else {
        if (ReflectLastMsg(hWndCtrl))
            return TRUE; // the control took its own notification
    }
    return OnCmdMsg(nID, nCode, nullptr, nullptr);
}

BOOL CWnd::OnNotify(WPARAM, LPARAM lParam, LRESULT* pResult) {
    auto* pNMHDR = reinterpret_cast<NMHDR*>(lParam);
    HWND hWndCtrl = pNMHDR->hwndFrom;
    if (hWndCtrl != nullptr && ReflectLastMsg(hWndCtrl, pResult))
        return TRUE;
    AFX_NOTIFY notify{pResult, pNMHDR};
    return OnCmdMsg(static_cast<UINT>(pNMHDR->idFrom), MAKELONG(pNMHDR->code, WM_NOTIFY), &notify, nullptr);
}

BOOL PASCAL CWnd::ReflectLastMsg(HWND hWndChild, LRESULT* pResult) {
    CWnd* pWnd = FromHandlePermanent(hWndChild);
    if (pWnd == nullptr)
        return FALSE;
    const MSG* pMsg = AfxGetCurrentMessage();
    LRESULT ignored = 0;
    return pWnd->OnChildNotify(pMsg->message, pMsg->wParam, pMsg->lParam, pResult != nullptr ? pResult : &ignored);
}

BOOL CWnd::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    return ReflectChildNotify(message, wParam, lParam, pResult);
}

BOOL CWnd::ReflectChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (message == WM_COMMAND) {
        AFX_MSGCALL call{WM_COMMAND + WM_REFLECT_BASE, wParam, lParam, 0, nullptr, 0};
        return DispatchMsgMap(WM_COMMAND + WM_REFLECT_BASE, HIWORD(wParam), 0, call, nullptr);
    }
    if (message == WM_NOTIFY) {
        auto* pNMHDR = reinterpret_cast<NMHDR*>(lParam);
        AFX_NOTIFY notify{pResult, pNMHDR};
        AFX_MSGCALL call{WM_NOTIFY + WM_REFLECT_BASE, wParam, lParam, 0, &notify, 0};
        return DispatchMsgMap(WM_NOTIFY + WM_REFLECT_BASE, LOWORD(pNMHDR->code), 0, call, nullptr);
    }
    AFX_MSGCALL call{message + WM_REFLECT_BASE, wParam, lParam, 0, nullptr, 0};
    if (!DispatchMsgMap(message + WM_REFLECT_BASE, 0, 0, call, nullptr))
        return FALSE;
    *pResult = call.lResult;
    return TRUE;
}

BOOL CWnd::PreTranslateMessage(MSG*) {
    return FALSE;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::SendMessageA(m_hWnd, message, wParam, lParam);
}

BOOL CWnd::PostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return ::PostMessageA(m_hWnd, message, wParam, lParam);
}

namespace {

void SendToDescendants(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeep, BOOL bOnlyPerm) {
    for (HWND hWndChild = ::GetTopWindow(hWnd); hWndChild != nullptr;) {
        // The next sibling first: the message may destroy this child.
        HWND hWndNext = ::GetWindow(hWndChild, GW_HWNDNEXT);
        if (!bOnlyPerm || CWnd::FromHandlePermanent(hWndChild) != nullptr)
            ::SendMessageA(hWndChild, message, wParam, lParam);
        if (bDeep && ::IsWindow(hWndChild))
            SendToDescendants(hWndChild, message, wParam, lParam, bDeep, bOnlyPerm);
        hWndChild = hWndNext;
    }
}

} // namespace

void CWnd::SendMessageToDescendants(UINT message, WPARAM wParam, LPARAM lParam, BOOL bDeep, BOOL bOnlyPerm) {
    SendToDescendants(m_hWnd, message, wParam, lParam, bDeep, bOnlyPerm);
}

void CWnd::HtmlHelp(DWORD_PTR dwData, UINT nCmd) {
    CWinApp* pApp = AfxGetApp();
    AfxHtmlHelp(m_hWnd, pApp != nullptr ? pApp->m_pszHelpFilePath : nullptr, nCmd, dwData);
}

BOOL CWnd::EnableToolTips(BOOL bEnable) {
    BOOL bPrevious = m_bToolTipsEnabled;
    m_bToolTipsEnabled = bEnable;
    return bPrevious || bEnable;
}

// Default handlers: the window's default processing of the message being handled.
int CWnd::OnCreate(LPCREATESTRUCT) {
    return static_cast<int>(Default());
}
void CWnd::OnDestroy() {
    Default();
}
void CWnd::OnNcDestroy() {
    Default();
}
void CWnd::OnSize(UINT, int, int) {
    Default();
}
void CWnd::OnMove(int, int) {
    Default();
}
void CWnd::OnPaint() {
    Default();
}
BOOL CWnd::OnEraseBkgnd(CDC*) {
    return static_cast<BOOL>(Default());
}
void CWnd::OnTimer(UINT_PTR) {
    Default();
}
void CWnd::OnClose() {
    Default();
}
void CWnd::OnSetFocus(CWnd*) {
    Default();
}
void CWnd::OnKillFocus(CWnd*) {
    Default();
}
void CWnd::OnContextMenu(CWnd*, CPoint) {
    Default();
}
void CWnd::OnLButtonDown(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonUp(UINT, CPoint) {
    Default();
}
void CWnd::OnLButtonDblClk(UINT, CPoint) {
    Default();
}
void CWnd::OnRButtonDown(UINT, CPoint) {
    Default();
}
void CWnd::OnRButtonUp(UINT, CPoint) {
    Default();
}
void CWnd::OnMouseMove(UINT, CPoint) {
    Default();
}
BOOL CWnd::OnMouseWheel(UINT, short, CPoint) {
    return static_cast<BOOL>(Default());
}
void CWnd::OnKeyDown(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnKeyUp(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnChar(UINT, UINT, UINT) {
    Default();
}
void CWnd::OnVScroll(UINT, UINT, CScrollBar*) {
    Default();
}
void CWnd::OnHScroll(UINT, UINT, CScrollBar*) {
    Default();
}
void CWnd::OnShowWindow(BOOL, UINT) {
    Default();
}
void CWnd::OnGetMinMaxInfo(MINMAXINFO*) {
    Default();
}
void CWnd::OnWindowPosChanging(WINDOWPOS*) {
    Default();
}
void CWnd::OnWindowPosChanged(WINDOWPOS*) {
    Default();
}
BOOL CWnd::OnSetCursor(CWnd*, UINT, UINT) {
    return static_cast<BOOL>(Default());
}
BOOL CWnd::OnDeviceChange(UINT, DWORD_PTR) {
    return static_cast<BOOL>(Default());
}
void CWnd::OnSettingChange(UINT, LPCTSTR) {
    Default();
}
void CWnd::OnEnable(BOOL) {
    Default();
}
void CWnd::OnActivate(UINT, CWnd*, BOOL) {
    Default();
}
void CWnd::OnNcPaint() {
    Default();
}
void CWnd::OnInitMenuPopup(CMenu*, UINT, BOOL) {
    Default();
}
HBRUSH CWnd::OnCtlColor(CDC*, CWnd*, UINT) {
    return reinterpret_cast<HBRUSH>(Default());
}
