// The tooltip control's framework object.
#include "AfxToolTipCtrl.h"

#include "AfxCommonControl.h"

IMPLEMENT_DYNAMIC(CToolTipCtrl, CWnd)

CToolTipCtrl::~CToolTipCtrl() {
    AfxDestroyCommonControl(*this);
}

BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle) {
    return CreateEx(pParentWnd, dwStyle, 0);
}

BOOL CToolTipCtrl::CreateEx(CWnd* pParentWnd, DWORD dwStyle, DWORD dwStyleEx) {
    win32::RegisterToolTipsClass();
    return CWnd::CreateEx(dwStyleEx | WS_EX_TOPMOST, TOOLTIPS_CLASS, nullptr, WS_POPUP | dwStyle, 0, 0, 0, 0,
                          pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr, nullptr);
}

TOOLINFOA CToolTipCtrl::ToolOf(CWnd* pWnd, UINT_PTR nIDTool) {
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    if (nIDTool == 0) {
        HWND parent = pWnd ? ::GetParent(pWnd->m_hWnd) : nullptr;
        tool.hwnd = parent ? parent : pWnd ? pWnd->m_hWnd : nullptr;
        tool.uId = reinterpret_cast<UINT_PTR>(pWnd ? pWnd->m_hWnd : nullptr);
        tool.uFlags = TTF_IDISHWND;
    } else {
        tool.hwnd = pWnd ? pWnd->m_hWnd : nullptr;
        tool.uId = nIDTool;
    }
    return tool;
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, LPCTSTR lpszText, LPCRECT lpRectTool, UINT_PTR nIDTool) {
    if (!pWnd)
        return FALSE;
    TOOLINFOA tool = ToolOf(pWnd, nIDTool);
    if (nIDTool != 0) {
        if (lpRectTool)
            tool.rect = *lpRectTool;
        else
            ::GetClientRect(pWnd->m_hWnd, &tool.rect);
    }
    tool.lpszText = const_cast<LPSTR>(lpszText);
    return AfxSendAs<BOOL>(m_hWnd, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

BOOL CToolTipCtrl::AddTool(CWnd* pWnd, UINT nIDText, LPCRECT lpRectTool, UINT_PTR nIDTool) {
    CString text;
    text.LoadString(nIDText);
    return AddTool(pWnd, text, lpRectTool, nIDTool);
}

void CToolTipCtrl::DelTool(CWnd* pWnd, UINT_PTR nIDTool) {
    TOOLINFOA tool = ToolOf(pWnd, nIDTool);
    AfxSendAs(m_hWnd, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

BOOL CToolTipCtrl::GetToolInfo(TOOLINFOA& toolInfo, CWnd* pWnd, UINT_PTR nIDTool) const {
    toolInfo = ToolOf(pWnd, nIDTool);
    return AfxSendAs<BOOL>(m_hWnd, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&toolInfo));
}

void CToolTipCtrl::SetToolInfo(LPTOOLINFOA lpToolInfo) {
    AfxSendAs(m_hWnd, TTM_SETTOOLINFOA, 0, reinterpret_cast<LPARAM>(lpToolInfo));
}

void CToolTipCtrl::SetToolRect(CWnd* pWnd, UINT_PTR nIDTool, LPCRECT lpRect) {
    TOOLINFOA tool = ToolOf(pWnd, nIDTool);
    if (lpRect)
        tool.rect = *lpRect;
    AfxSendAs(m_hWnd, TTM_NEWTOOLRECTA, 0, reinterpret_cast<LPARAM>(&tool));
}

void CToolTipCtrl::GetText(CString& str, CWnd* pWnd, UINT_PTR nIDTool) const {
    // A tip longer than this is not read back whole; no tip of the program comes near it.
    char buffer[1024] = {};
    TOOLINFOA tool = ToolOf(pWnd, nIDTool);
    tool.lpszText = buffer;
    AfxSendAs(m_hWnd, TTM_GETTEXTA, sizeof buffer, reinterpret_cast<LPARAM>(&tool));
    str = buffer;
}

void CToolTipCtrl::UpdateTipText(LPCTSTR lpszText, CWnd* pWnd, UINT_PTR nIDTool) {
    TOOLINFOA tool = ToolOf(pWnd, nIDTool);
    tool.lpszText = const_cast<LPSTR>(lpszText);
    AfxSendAs(m_hWnd, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
}

void CToolTipCtrl::UpdateTipText(UINT nIDText, CWnd* pWnd, UINT_PTR nIDTool) {
    CString text;
    text.LoadString(nIDText);
    UpdateTipText(text, pWnd, nIDTool);
}

int CToolTipCtrl::GetToolCount() const {
    return AfxSendAs<int>(m_hWnd, TTM_GETTOOLCOUNT);
}

BOOL CToolTipCtrl::HitTest(CWnd* pWnd, CPoint pt, LPTOOLINFOA lpToolInfo) const {
    TTHITTESTINFOA hit{};
    hit.hwnd = pWnd ? pWnd->m_hWnd : nullptr;
    hit.pt = pt;
    hit.ti.cbSize = sizeof hit.ti;
    if (!AfxSendAs<BOOL>(m_hWnd, TTM_HITTESTA, 0, reinterpret_cast<LPARAM>(&hit)))
        return FALSE;
    if (lpToolInfo)
        *lpToolInfo = hit.ti;
    return TRUE;
}

void CToolTipCtrl::Activate(BOOL bActivate) {
    AfxSendAs(m_hWnd, TTM_ACTIVATE, static_cast<WPARAM>(bActivate));
}

void CToolTipCtrl::RelayEvent(LPMSG lpMsg) {
    AfxSendAs(m_hWnd, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(lpMsg));
}

void CToolTipCtrl::Pop() {
    AfxSendAs(m_hWnd, TTM_POP);
}

void CToolTipCtrl::Popup() {
    AfxSendAs(m_hWnd, TTM_POPUP);
}

void CToolTipCtrl::Update() {
    AfxSendAs(m_hWnd, TTM_UPDATE);
}

void CToolTipCtrl::SetDelayTime(UINT nDelay) {
    AfxSendAs(m_hWnd, TTM_SETDELAYTIME, TTDT_AUTOMATIC, static_cast<LPARAM>(nDelay));
}

void CToolTipCtrl::SetDelayTime(DWORD dwDuration, int iTime) {
    AfxSendAs(m_hWnd, TTM_SETDELAYTIME, dwDuration, MAKELPARAM(iTime, 0));
}

int CToolTipCtrl::GetDelayTime(DWORD dwDuration) const {
    return AfxSendAs<int>(m_hWnd, TTM_GETDELAYTIME, dwDuration);
}

int CToolTipCtrl::SetMaxTipWidth(int iWidth) {
    return AfxSendAs<int>(m_hWnd, TTM_SETMAXTIPWIDTH, 0, iWidth);
}

int CToolTipCtrl::GetMaxTipWidth() const {
    return AfxSendAs<int>(m_hWnd, TTM_GETMAXTIPWIDTH);
}

void CToolTipCtrl::SetTipBkColor(COLORREF clr) {
    AfxSendAs(m_hWnd, TTM_SETTIPBKCOLOR, clr);
}

void CToolTipCtrl::SetTipTextColor(COLORREF clr) {
    AfxSendAs(m_hWnd, TTM_SETTIPTEXTCOLOR, clr);
}

COLORREF CToolTipCtrl::GetTipBkColor() const {
    return AfxSendAs<COLORREF>(m_hWnd, TTM_GETTIPBKCOLOR);
}

COLORREF CToolTipCtrl::GetTipTextColor() const {
    return AfxSendAs<COLORREF>(m_hWnd, TTM_GETTIPTEXTCOLOR);
}

void CToolTipCtrl::SetMargin(LPRECT lprc) {
    AfxSendAs(m_hWnd, TTM_SETMARGIN, 0, reinterpret_cast<LPARAM>(lprc));
}

void CToolTipCtrl::GetMargin(LPRECT lprc) const {
    AfxSendAs(m_hWnd, TTM_GETMARGIN, 0, reinterpret_cast<LPARAM>(lprc));
}
