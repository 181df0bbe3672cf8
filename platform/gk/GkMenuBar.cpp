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

BOOL CGkMenuBar::TrackPopup(int nIndex) {
    AdoptNativeMenu();
    if (GetMenu() != m_hShown)
        Refresh();
    CGkControl* pControl = GetControl(nIndex);
    if (pControl == nullptr || m_pFrame == nullptr || m_pFrame->GetSafeHwnd() == nullptr || m_nTracked >= 0)
        return FALSE;
    HMENU hPopup = ::GetSubMenu(m_hShown, nIndex);
    if (hPopup == nullptr) {
        m_pFrame->SendMessage(WM_COMMAND, MAKEWPARAM(pControl->GetID(), 0), 0);
        return TRUE;
    }
    CRect rc = pControl->GetRect();
    m_nTracked = nIndex;
    ::InvalidateRect(m_hWnd, &rc, TRUE);
    ClientToScreen(&rc);
    TPMPARAMS params{sizeof(TPMPARAMS), rc};
    // The frame owns the pop-up, so its WM_INITMENUPOPUP handlers run and the choice is posted to it.
    ::TrackPopupMenuEx(hPopup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON, rc.left, rc.bottom,
                       m_pFrame->GetSafeHwnd(), &params);
    m_nTracked = -1;
    if (m_hWnd != nullptr)
        Invalidate();
    return TRUE;
}

BOOL CGkMenuBar::TrackMnemonic(char ch) {
    if (GetMenu() != m_hShown)
        Refresh();
    char wanted = static_cast<char>(::tolower(static_cast<unsigned char>(ch)));
    for (int i = 0; i < GetControlCount(); ++i) {
        char mnemonic = MnemonicOf(GetControl(i)->GetCaption());
        if (mnemonic != 0 && ::tolower(static_cast<unsigned char>(mnemonic)) == wanted)
            return TrackPopup(i);
    }
    return FALSE;
}

void CGkMenuBar::OnLButtonDown(UINT, CPoint point) {
    for (int i = 0; i < GetControlCount(); ++i)
        if (GetControl(i)->GetRect().PtInRect(point)) {
            TrackPopup(i);
            return;
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
    if (bHot || (m_nTracked >= 0 && GetControl(m_nTracked) == &control)) {
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
