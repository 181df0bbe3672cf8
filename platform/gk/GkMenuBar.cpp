#include "GkMenuBar.h"

#include "GkTextMeasure.h"

#include <cctype>

IMPLEMENT_DYNAMIC(CGkMenuBar, CGkToolBar)

namespace {

constexpr int kTitlePadding = 6;

// The letter after a single '&' ("&&" is a literal ampersand); 0 when the caption has none.
char MnemonicOf(const CString& caption) {
    for (int i = 0; i + 1 < caption.GetLength(); ++i) {
        if (caption[i] != '&')
            continue;
        if (caption[i + 1] != '&')
            return caption[i + 1];
        ++i;
    }
    return 0;
}

// Whether the title at nIndex opens a pop-up.
bool HasPopup(HMENU hMenu, int nIndex) {
    return hMenu != nullptr && nIndex >= 0 && ::GetSubMenu(hMenu, nIndex) != nullptr;
}

// Whether the highlighted item of an open menu (MFS_HILITE) opens a sub-menu.
bool HighlightOpensSubMenu(HMENU hMenu) {
    const int nCount = hMenu != nullptr ? ::GetMenuItemCount(hMenu) : 0;
    for (int i = 0; i < nCount; ++i) {
        const UINT nState = ::GetMenuState(hMenu, static_cast<UINT>(i), MF_BYPOSITION);
        if (nState & MF_HILITE)
            return (nState & MF_POPUP) != 0 && (nState & (MF_GRAYED | MF_DISABLED)) == 0;
    }
    return false;
}

// The bar whose pop-up is open on this thread, and its message filter, for the filter's procedure.
thread_local CGkMenuBar* t_pTracking = nullptr;
thread_local HHOOK t_hFilter = nullptr;

} // namespace

BEGIN_MESSAGE_MAP(CGkMenuBar, CGkToolBar)
ON_WM_LBUTTONDOWN()
END_MESSAGE_MAP()

CGkMenuBar::~CGkMenuBar() {
    if (m_hOwnMenu != nullptr)
        ::DestroyMenu(m_hOwnMenu);
}

BOOL CGkMenuBar::CreateMenuBar(CFrameWnd* pFrame, UINT nIDMenu) {
    m_hOwnMenu = ::LoadMenu(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDMenu));
    if (m_hOwnMenu == nullptr || pFrame == nullptr)
        return FALSE;
    m_pFrame = pFrame;
    SetBarID(nIDMenu);
    if (!Create(pFrame, WS_CHILD | WS_VISIBLE | CBRS_TOP, 0))
        return FALSE;
    AdoptNativeMenu();
    Refresh();
    return TRUE;
}

void CGkMenuBar::SetFrameMenu(HMENU hMenu) {
    m_hFrameMenu = hMenu;
    AdoptNativeMenu();
    if (GetMenu() != m_hShown)
        Refresh();
}

void CGkMenuBar::AdoptNativeMenu() {
    HWND hFrame = m_pFrame != nullptr ? m_pFrame->GetSafeHwnd() : nullptr;
    HMENU hNative = hFrame != nullptr ? ::GetMenu(hFrame) : nullptr;
    if (hNative == nullptr)
        return;
    // The native bar goes (the menu stays its owner's to destroy) and the frame's client grows by its height.
    m_hFrameMenu = hNative;
    ::SetMenu(hFrame, nullptr);
    m_pFrame->RecalcLayout();
}

void CGkMenuBar::Refresh() {
    HMENU hMenu = GetMenu();
    m_hShown = hMenu;
    m_controls.clear();
    CGkTextMeasure measure(::GetStockObject(DEFAULT_GUI_FONT));
    int x = GK_TOOLBAR_GRIPPER;
    int cy = GetIconSize().cy + 2 * GK_TOOLBAR_BUTTON_PAD;
    int nCount = hMenu != nullptr ? ::GetMenuItemCount(hMenu) : 0;
    for (int i = 0; i < nCount; ++i) {
        char text[256] = {};
        ::GetMenuStringA(hMenu, static_cast<UINT>(i), text, sizeof(text), MF_BYPOSITION);
        UINT nID = ::GetMenuItemID(hMenu, i);
        auto control = std::make_unique<CGkControl>(this, nID == static_cast<UINT>(-1) ? 0xFFFF : nID);
        control->SetCaption(text);
        CString plain = text;
        plain.Remove('&');
        int cx = measure.GetTextExtent(plain).cx + 2 * kTitlePadding;
        control->SetRect(CRect(x, GK_TOOLBAR_BORDER, x + cx, GK_TOOLBAR_BORDER + cy));
        x += cx;
        m_controls.push_back(std::move(control));
    }
    if (m_hWnd != nullptr)
        Invalidate();
}

BOOL CGkMenuBar::TrackPopup(int nIndex, BOOL bByKey) {
    AdoptNativeMenu();
    if (GetMenu() != m_hShown)
        Refresh();
    CGkControl* pControl = GetControl(nIndex);
    if (pControl == nullptr || m_pFrame == nullptr || m_pFrame->GetSafeHwnd() == nullptr || m_nTracked >= 0)
        return FALSE;
    LeaveKeyboardMode();
    if (!HasPopup(m_hShown, nIndex)) {
        m_pFrame->SendMessage(WM_COMMAND, MAKEWPARAM(pControl->GetID(), 0), 0);
        return TRUE;
    }
    // The user may walk from pop-up to pop-up: each closes before the next opens.
    for (int nOpen = nIndex; nOpen >= 0 && m_hWnd != nullptr;) {
        m_nNext = -1;
        m_bEscaped = FALSE;
        if (!TrackOne(nOpen, bByKey))
            break;
        const int nClosed = nOpen;
        nOpen = m_nNext;
        bByKey = m_bNextByKey;
        if (nOpen < 0 && m_bEscaped)
            EnterKeyboardMode(nClosed);
    }
    // The title the mouse pressed no longer stands out; the mouse's next move over the bar decides anew.
    if (m_hWnd != nullptr)
        SetHotControl(nullptr);
    return TRUE;
}

BOOL CGkMenuBar::TrackOne(int nIndex, BOOL bByKey) {
    CGkControl* pControl = GetControl(nIndex);
    HMENU hPopup = ::GetSubMenu(m_hShown, nIndex);
    if (pControl == nullptr || hPopup == nullptr)
        return FALSE;
    m_nTracked = nIndex;
    SetHotControl(nullptr);
    InvalidateTitle(nIndex);
    CRect rc = pControl->GetRect();
    ClientToScreen(&rc);
    TPMPARAMS params{sizeof(TPMPARAMS), rc};
    // A pop-up opened from the keyboard highlights its first item: the menu takes the thread's keys, this one
    // first.
    if (bByKey)
        ::PostMessageA(m_hWnd, WM_KEYDOWN, VK_DOWN, 0);
    CGkMenuBar* pOuter = t_pTracking;
    HHOOK hOuter = t_hFilter;
    t_pTracking = this;
    t_hFilter = ::SetWindowsHookExA(WH_MSGFILTER, &CGkMenuBar::MenuFilter, nullptr, ::GetCurrentThreadId());
    // The frame owns the pop-up, so its WM_INITMENUPOPUP handlers run and the choice is posted to it.
    ::TrackPopupMenuEx(hPopup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, rc.left, rc.bottom,
                       m_pFrame->GetSafeHwnd(), &params);
    if (t_hFilter != nullptr)
        ::UnhookWindowsHookEx(t_hFilter);
    t_pTracking = pOuter;
    t_hFilter = hOuter;
    if (m_hWnd == nullptr)
        return TRUE;
    // A Down key the menu never took (an answer closed it at once) is no key of the bar's.
    MSG msg;
    while (::PeekMessageA(&msg, m_hWnd, WM_KEYDOWN, WM_KEYDOWN, PM_REMOVE)) {
    }
    m_nTracked = -1;
    InvalidateTitle(nIndex);
    return TRUE;
}

LRESULT CALLBACK CGkMenuBar::MenuFilter(int nCode, WPARAM wParam, LPARAM lParam) {
    if (nCode == MSGF_MENU && t_pTracking != nullptr && lParam != 0 &&
        t_pTracking->OnMenuInput(*reinterpret_cast<const MSG*>(lParam)))
        return TRUE;
    return ::CallNextHookEx(t_hFilter, nCode, wParam, lParam);
}

BOOL CGkMenuBar::OnMenuInput(const MSG& msg) {
    if (m_nTracked < 0 || m_hWnd == nullptr)
        return FALSE;
    switch (msg.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN: {
        // The menu that has the keyboard: the deepest open one.
        auto hMenu = reinterpret_cast<HMENU>(::SendMessageA(msg.hwnd, MN_GETHMENU, 0, 0));
        const bool bTop = hMenu != nullptr && hMenu == ::GetSubMenu(m_hShown, m_nTracked);
        switch (msg.wParam) {
        case VK_LEFT:
            if (!bTop)
                return FALSE; // closes the sub-menu
            WalkTo(NeighbourOf(m_nTracked, -1), TRUE);
            return TRUE;
        case VK_RIGHT:
            if (HighlightOpensSubMenu(hMenu))
                return FALSE;
            WalkTo(NeighbourOf(m_nTracked, +1), TRUE);
            return TRUE;
        case VK_ESCAPE: m_bEscaped = bTop; return FALSE;
        case VK_MENU:
        case VK_F10:
            // Alt or F10 leaves the menus altogether.
            ::EndMenu();
            return TRUE;
        default: return FALSE;
        }
    }
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN: {
        if (::WindowFromPoint(msg.pt) != m_hWnd)
            return FALSE;
        CPoint point = msg.pt;
        ScreenToClient(&point);
        const int nTitle = TitleAt(point);
        if (nTitle < 0 || !HasPopup(m_hShown, nTitle))
            return FALSE;
        if (nTitle != m_nTracked) {
            WalkTo(nTitle, FALSE); // onto another title: its pop-up opens instead
            return TRUE;
        }
        if (msg.message == WM_MOUSEMOVE)
            return FALSE;
        ::EndMenu(); // a click on the open title closes it
        return TRUE;
    }
    default: return FALSE;
    }
}

void CGkMenuBar::WalkTo(int nIndex, BOOL bByKey) {
    m_nNext = nIndex;
    m_bNextByKey = bByKey;
    ::EndMenu();
}

int CGkMenuBar::NeighbourOf(int nIndex, int nStep) const {
    const int nCount = GetControlCount();
    for (int i = 1; i <= nCount; ++i) {
        const int nAt = ((nIndex + nStep * i) % nCount + nCount) % nCount;
        if (HasPopup(m_hShown, nAt))
            return nAt;
    }
    return nIndex;
}

int CGkMenuBar::TitleAt(CPoint point) const {
    for (int i = 0; i < GetControlCount(); ++i)
        if (GetControl(i)->GetRect().PtInRect(point))
            return i;
    return -1;
}

void CGkMenuBar::EnterKeyboardMode(int nIndex) {
    if (nIndex < 0 || nIndex >= GetControlCount() || m_hWnd == nullptr)
        return;
    InvalidateTitle(m_nKeyboard);
    m_nKeyboard = nIndex;
    SetHotControl(nullptr);
    InvalidateTitle(m_nKeyboard);
}

void CGkMenuBar::LeaveKeyboardMode() {
    const int nWas = m_nKeyboard;
    m_nKeyboard = -1;
    InvalidateTitle(nWas);
}

BOOL CGkMenuBar::OnKeyboardModeKey(UINT nVirtKey) {
    const int nCount = GetControlCount();
    if (m_nKeyboard >= nCount)
        LeaveKeyboardMode(); // the menu changed under the mode
    if (m_nKeyboard < 0)
        return FALSE;
    switch (nVirtKey) {
    case VK_LEFT:
    case VK_RIGHT:
        EnterKeyboardMode(((m_nKeyboard + (nVirtKey == VK_RIGHT ? 1 : -1)) % nCount + nCount) % nCount);
        break;
    case VK_DOWN:
    case VK_UP:
    case VK_RETURN: TrackPopup(m_nKeyboard, TRUE); break;
    case VK_ESCAPE: LeaveKeyboardMode(); break;
    default:
        // A title's letter opens it; any other key is no key of the bar's, and nothing else has the keyboard.
        if (((nVirtKey >= 'A' && nVirtKey <= 'Z') || (nVirtKey >= '0' && nVirtKey <= '9')) &&
            !TrackMnemonic(static_cast<char>(nVirtKey)))
            ::MessageBeep(0);
        break;
    }
    return TRUE;
}

BOOL CGkMenuBar::TrackMnemonic(char ch) {
    if (GetMenu() != m_hShown)
        Refresh();
    char wanted = static_cast<char>(::tolower(static_cast<unsigned char>(ch)));
    for (int i = 0; i < GetControlCount(); ++i) {
        char mnemonic = MnemonicOf(GetControl(i)->GetCaption());
        if (mnemonic != 0 && ::tolower(static_cast<unsigned char>(mnemonic)) == wanted)
            return TrackPopup(i, TRUE);
    }
    return FALSE;
}

void CGkMenuBar::OnLButtonDown(UINT, CPoint point) {
    const int nTitle = TitleAt(point);
    if (nTitle >= 0)
        TrackPopup(nTitle);
    else
        LeaveKeyboardMode();
}

void CGkMenuBar::InvalidateTitle(int nIndex) {
    CGkControl* pControl = GetControl(nIndex);
    if (pControl != nullptr && m_hWnd != nullptr) {
        CRect rc = pControl->GetRect();
        ::InvalidateRect(m_hWnd, &rc, TRUE);
    }
}

CSize CGkMenuBar::CalcFixedLayout(BOOL bStretch, BOOL bHorz) {
    if (m_hWnd != nullptr && GetMenu() != m_hShown)
        Refresh();
    CSize size = CGkToolBar::CalcFixedLayout(bStretch, bHorz);
    if (m_pFrame != nullptr && m_pFrame->GetSafeHwnd() != nullptr) {
        CRect rc;
        m_pFrame->GetClientRect(&rc);
        size.cx = rc.Width(); // the menu bar spans its row
    }
    return size;
}

void CGkMenuBar::OnUpdateCmdUI(CFrameWnd*, BOOL) {
    // The framework switches the frame's menu with the active document; follow it.
    AdoptNativeMenu();
    if (GetMenu() != m_hShown)
        Refresh();
}

void CGkMenuBar::DrawControl(CDC* pDC, const CGkControl& control, BOOL bHot) {
    CRect rc = control.GetRect();
    if (bHot || &control == GetControl(m_nTracked) || &control == GetControl(m_nKeyboard)) {
        pDC->FillSolidRect(rc, ::GetSysColor(COLOR_HIGHLIGHT));
        pDC->SetTextColor(::GetSysColor(COLOR_HIGHLIGHTTEXT));
    } else {
        pDC->SetTextColor(::GetSysColor(COLOR_MENUTEXT));
    }
    pDC->SetBkMode(TRANSPARENT);
    HGDIOBJ hOld = ::SelectObject(pDC->m_hDC, ::GetStockObject(DEFAULT_GUI_FONT));
    CString caption = control.GetCaption();
    pDC->DrawText(caption, rc, DT_CENTER | DT_VCENTER | DT_SINGLELINE); // '&' underlines the mnemonic
    ::SelectObject(pDC->m_hDC, hOld);
}
