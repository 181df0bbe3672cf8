#include "GkToolBar.h"

#include <algorithm>

#include "GkCommandBars.h"
#include "GkTextMeasure.h"
#include "WinResourceTable.h"

IMPLEMENT_DYNAMIC(CGkToolBar, CControlBar)

namespace {

constexpr DWORD kBarStyleMask = 0xFFFF;

class CGkToolCmdUI : public CCmdUI {
public:
    CGkToolCmdUI(CGkToolBar* pBar, CGkControl* pControl) : m_pControl(pControl) { m_pOther = pBar; }
    void Enable(BOOL bOn) override {
        m_bEnableChanged = TRUE;
        m_pControl->SetEnabled(bOn);
    }
    void SetCheck(int nCheck) override { m_pControl->SetChecked(nCheck != 0); }
    void SetRadio(BOOL bOn) override { m_pControl->SetChecked(bOn); }
    void SetText(LPCTSTR lpszText) override { m_pControl->SetCaption(lpszText); }

private:
    CGkControl* m_pControl;
};

} // namespace

void CGkControl::SetEnabled(BOOL bEnabled) {
    if (m_bEnabled == bEnabled)
        return;
    m_bEnabled = bEnabled;
    if (m_pParent->GetSafeHwnd() != nullptr)
        ::InvalidateRect(m_pParent->GetSafeHwnd(), &m_rc, TRUE);
}

void CGkControl::SetChecked(BOOL bChecked) {
    if (m_bChecked == bChecked)
        return;
    m_bChecked = bChecked;
    if (m_pParent->GetSafeHwnd() != nullptr)
        ::InvalidateRect(m_pParent->GetSafeHwnd(), &m_rc, TRUE);
}

void CGkControl::SetCaption(LPCTSTR lpszCaption) {
    m_strCaption = lpszCaption != nullptr ? lpszCaption : "";
}

CGkControl::~CGkControl() {
    if (m_hMenu != nullptr)
        ::DestroyMenu(m_hMenu);
}

CRect CGkControl::GetArrowRect() const {
    if (m_type != gkControlSplitButtonPopup)
        return CRect();
    return CRect(m_rc.right - GK_TOOLBAR_SPLIT_ARROW, m_rc.top, m_rc.right, m_rc.bottom);
}

CString CGkControl::GetTooltipText() const {
    return m_strTooltip.IsEmpty() ? CGkToolBar::CaptionOf(m_nID) : m_strTooltip;
}

BEGIN_MESSAGE_MAP(CGkToolBar, CControlBar)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_MOUSEMOVE()
ON_MESSAGE(WM_MOUSELEAVE, &CGkToolBar::OnMouseLeave)
ON_MESSAGE(WM_IDLEUPDATECMDUI, &CGkToolBar::OnIdleUpdate)
END_MESSAGE_MAP()

LRESULT CGkToolBar::OnIdleUpdate(WPARAM wParam, LPARAM) {
    // A bar inside a window is updated through that window even where no frame is above it.
    if (!IsWindowVisible())
        return 0;
    CFrameWnd* pTarget = m_pDockSite != nullptr ? m_pDockSite : GetParentFrame();
    if (pTarget != nullptr || dynamic_cast<CFrameWnd*>(GetCommandOwner()) == nullptr)
        OnUpdateCmdUI(pTarget, static_cast<BOOL>(wParam));
    return 0;
}

CGkToolBar::~CGkToolBar() = default;

BOOL CGkToolBar::Create(CWnd* pParentWnd, DWORD dwStyle, UINT nID) {
    m_dwStyle = dwStyle & kBarStyleMask;
    m_pOwnerWnd = pParentWnd;
    LPCTSTR lpszClass = AfxRegisterWndClass(0, ::LoadCursor(nullptr, IDC_ARROW));
    CRect rect(0, 0, 0, CalcFixedLayout(FALSE, TRUE).cy);
    if (!CWnd::CreateEx(0, lpszClass, "", (dwStyle & ~kBarStyleMask) | WS_CHILD, rect, pParentWnd, nID))
        return FALSE;
    SyncTooltips();
    return TRUE;
}

BOOL CGkToolBar::LoadToolBar(UINT nIDResource) {
    win32::ToolbarResource resource;
    if (!win32::GetToolbarResource(AfxGetResourceHandle(), MAKEINTRESOURCEA(nIDResource), resource))
        return FALSE;
    m_controls.clear();
    m_pPressed = m_pHot = nullptr;
    for (UINT nID : resource.items)
        m_controls.push_back(std::make_unique<CGkControl>(this, nID));
    m_nBarID = nIDResource;
    if (m_pCommandBars == nullptr) {
        m_images.RemoveAll();
        m_images.SetIcons(nIDResource);
    }
    AskOwnerForControls();
    Layout();
    if (m_hWnd != nullptr)
        Invalidate();
    return TRUE;
}

void CGkToolBar::AskOwnerForControls() {
    CWnd* pOwner = GetCommandOwner();
    if (pOwner == nullptr || pOwner->GetSafeHwnd() == nullptr)
        return;
    for (size_t i = 0; i < m_controls.size(); ++i) {
        CGkControl& control = *m_controls[i];
        if (control.IsSeparator())
            continue;
        GKCREATECONTROL request{this, control.GetID(), static_cast<int>(i), gkControlButton, nullptr};
        LRESULT answered = pOwner->SendMessage(WM_GK_CREATECONTROL, 0, reinterpret_cast<LPARAM>(&request));
        if (answered == 0 || request.controlType != gkControlSplitButtonPopup || request.hMenu == nullptr ||
            !::IsMenu(request.hMenu))
            continue; // an answer without a menu leaves a plain button
        control.m_type = gkControlSplitButtonPopup;
        control.m_hMenu = request.hMenu;
    }
}

void CGkToolBar::TrackSplitMenu(CGkControl* pControl) {
    CWnd* pOwner = GetCommandOwner();
    HMENU hMenu = pControl->GetMenu();
    if (pOwner == nullptr || hMenu == nullptr)
        return;
    // The items' enabled state and marks come from the owner's update handlers, as the buttons' do.
    CMenu* pMenu = CMenu::FromHandle(hMenu);
    int nCount = ::GetMenuItemCount(hMenu);
    for (int i = 0; i < nCount; ++i) {
        UINT nID = ::GetMenuItemID(hMenu, i);
        if (nID == 0 || nID == static_cast<UINT>(-1))
            continue;
        CCmdUI state;
        state.m_pMenu = pMenu;
        state.m_nID = nID;
        state.m_nIndex = static_cast<UINT>(i);
        state.m_nIndexMax = static_cast<UINT>(nCount);
        state.DoUpdate(pOwner, FALSE);
    }
    CRect rc = pControl->m_rc;
    ClientToScreen(&rc);
    TPMPARAMS params{sizeof(TPMPARAMS), rc};
    ::TrackPopupMenuEx(hMenu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_LEFTBUTTON | TPM_NONOTIFY, rc.left, rc.bottom,
                       pOwner->GetSafeHwnd(), &params);
}

void CGkToolBar::SetIconSize(CSize size) {
    m_szIcon = size;
    Layout();
}

CGkControl* CGkToolBar::GetControl(int nIndex) const {
    if (nIndex < 0 || nIndex >= GetControlCount())
        return nullptr;
    return m_controls[static_cast<size_t>(nIndex)].get();
}

CGkControl* CGkToolBar::FindControl(UINT nID) const {
    for (auto& control : m_controls)
        if (!control->IsSeparator() && control->GetID() == nID)
            return control.get();
    return nullptr;
}

void CGkToolBar::ShowTextBelowIcons(BOOL bShow) {
    m_bTextBelow = bShow;
    Layout();
}

CString CGkToolBar::CaptionOf(UINT nID) {
    // The command's string holds its prompt, then "\n" and the short caption.
    CString text;
    if (!AfxLoadString(nID, text))
        return CString();
    int nBreak = text.Find('\n');
    return nBreak >= 0 ? text.Mid(nBreak + 1) : CString();
}

void CGkToolBar::ModifyBarStyle(DWORD dwRemove, DWORD dwAdd) {
    m_dwGkStyle = (m_dwGkStyle & ~dwRemove) | dwAdd;
    SyncTooltips();
}

void CGkToolBar::SyncTooltips() {
    if ((m_dwGkStyle & GK_BARSTYLE_TOOLTIPS) == 0 || m_hWnd == nullptr) {
        m_pTooltip.reset();
        return;
    }
    if (m_pTooltip == nullptr) {
        auto pTooltip = std::make_unique<CToolTipCtrl>();
        if (!pTooltip->Create(this))
            return; // no tips then; the buttons still work
        m_pTooltip = std::move(pTooltip);
    }
    while (m_pTooltip->GetToolCount() > 0) {
        TOOLINFOA info{};
        info.cbSize = sizeof(info);
        if (!m_pTooltip->SendMessage(TTM_ENUMTOOLSA, 0, reinterpret_cast<LPARAM>(&info)))
            break;
        m_pTooltip->DelTool(this, info.uId);
    }
    for (size_t i = 0; i < m_controls.size(); ++i) {
        if (m_controls[i]->IsSeparator())
            continue;
        CRect rc = m_controls[i]->m_rc;
        m_pTooltip->AddTool(this, LPSTR_TEXTCALLBACK, &rc, i + 1);
    }
}

void CGkToolBar::RelayToTooltip(UINT message, CPoint point) {
    if (m_pTooltip == nullptr)
        return;
    MSG msg{m_hWnd, message, 0, MAKELPARAM(point.x, point.y), 0, {0, 0}};
    m_pTooltip->RelayEvent(&msg);
}

BOOL CGkToolBar::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    auto* pHeader = reinterpret_cast<NMHDR*>(lParam);
    if (m_pTooltip != nullptr && pHeader != nullptr && pHeader->hwndFrom == m_pTooltip->GetSafeHwnd() &&
        pHeader->code == TTN_GETDISPINFOA) {
        auto* pInfo = reinterpret_cast<NMTTDISPINFOA*>(lParam);
        CGkControl* pControl = GetControl(static_cast<int>(pHeader->idFrom) - 1);
        m_strTipText = pControl != nullptr ? pControl->GetTooltipText() : CString();
        pInfo->lpszText = const_cast<LPSTR>(static_cast<LPCSTR>(m_strTipText));
        if (pResult != nullptr)
            *pResult = 0;
        return TRUE;
    }
    return CControlBar::OnNotify(wParam, lParam, pResult);
}

int CGkToolBar::ButtonHeight() const {
    int cy = m_szIcon.cy + 2 * GK_TOOLBAR_BUTTON_PAD;
    if (m_bTextBelow) {
        CGkTextMeasure measure(::GetStockObject(DEFAULT_GUI_FONT));
        cy += measure.GetTextHeight() + 2;
    }
    return cy;
}

BOOL CGkToolBar::IsVertical() const {
    return (GetDockEdge() & (CBRS_ALIGN_LEFT | CBRS_ALIGN_RIGHT)) != 0;
}

void CGkToolBar::Layout() {
    // A row after the gripper along the top or bottom edge, a column below it along the sides.
    BOOL bVertical = IsVertical();
    int pos = GK_TOOLBAR_GRIPPER;
    int cy = ButtonHeight();
    CGkTextMeasure measure(::GetStockObject(DEFAULT_GUI_FONT));
    for (auto& control : m_controls) {
        int cx = control->IsSeparator() ? GK_TOOLBAR_SEPARATOR : m_szIcon.cx + 2 * GK_TOOLBAR_BUTTON_PAD;
        if (m_bTextBelow && !control->IsSeparator()) {
            if (control->m_strCaption.IsEmpty())
                control->m_strCaption = CaptionOf(control->GetID());
            cx = std::max(cx, static_cast<int>(measure.GetTextExtent(control->m_strCaption).cx) +
                                  2 * GK_TOOLBAR_BUTTON_PAD);
        }
        if (control->GetType() == gkControlSplitButtonPopup)
            cx += GK_TOOLBAR_SPLIT_ARROW;
        if (bVertical) {
            int extent = control->IsSeparator() ? GK_TOOLBAR_SEPARATOR : cy;
            control->m_rc = CRect(GK_TOOLBAR_BORDER, pos, GK_TOOLBAR_BORDER + cx, pos + extent);
            pos += extent;
        } else {
            control->m_rc = CRect(pos, GK_TOOLBAR_BORDER, pos + cx, GK_TOOLBAR_BORDER + cy);
            pos += cx;
        }
    }
    if (bVertical) // separators span the column
        for (auto& control : m_controls)
            if (control->IsSeparator())
                control->m_rc.right = GK_TOOLBAR_BORDER + m_szIcon.cx + 2 * GK_TOOLBAR_BUTTON_PAD;
    if (m_pTooltip != nullptr)
        SyncTooltips();
}

CSize CGkToolBar::CalcFixedLayout(BOOL, BOOL) {
    int length = GK_TOOLBAR_GRIPPER + GK_TOOLBAR_BORDER;
    int thickness = ButtonHeight();
    if (!IsVertical()) {
        for (auto& control : m_controls)
            length += control->m_rc.Width();
        return CSize(length, thickness + 2 * GK_TOOLBAR_BORDER);
    }
    thickness = m_szIcon.cx + 2 * GK_TOOLBAR_BUTTON_PAD;
    for (auto& control : m_controls) {
        length += control->m_rc.Height();
        thickness = std::max(thickness, static_cast<int>(control->m_rc.Width()));
    }
    return CSize(thickness + 2 * GK_TOOLBAR_BORDER, length);
}

void CGkToolBar::SetDockPosition(DWORD dwEdge, int nRow, int nOffset) {
    m_dwStyle = (m_dwStyle & ~CBRS_ALIGN_ANY) | (dwEdge & CBRS_ALIGN_ANY);
    m_nDockRow = std::max(0, nRow);
    m_nDockOffset = std::max(0, nOffset);
    Layout();
    if (m_hWnd != nullptr)
        Invalidate();
}

CRect CGkToolBar::GetGripperRect() const {
    CRect client;
    if (m_hWnd != nullptr)
        GetClientRect(&client);
    if (IsVertical())
        return CRect(client.left, client.top, client.right, client.top + GK_TOOLBAR_GRIPPER);
    return CRect(client.left, client.top, client.left + GK_TOOLBAR_GRIPPER, client.bottom);
}

CSize CGkToolBar::CalcDynamicLayout(int, DWORD dwMode) {
    return CalcFixedLayout(FALSE, (dwMode & LM_HORZ) != 0 || dwMode == 0);
}

CWnd* CGkToolBar::GetCommandOwner() const {
    return m_pOwnerWnd != nullptr ? m_pOwnerWnd : GetParent();
}

void CGkToolBar::OnUpdateCmdUI(CFrameWnd* pTarget, BOOL bDisableIfNoHndler) {
    // A bar inside a window asks that window alone; a frame's bar goes through the frame's routing.
    CCmdTarget* pRoute = pTarget;
    CWnd* pOwner = GetCommandOwner();
    if (pOwner != nullptr && dynamic_cast<CFrameWnd*>(pOwner) == nullptr) {
        pRoute = pOwner;
        bDisableIfNoHndler = FALSE;
    }
    if (pRoute == nullptr)
        return;
    UINT nIndex = 0;
    for (auto& control : m_controls) {
        if (control->IsSeparator()) {
            ++nIndex;
            continue;
        }
        CGkToolCmdUI state(this, control.get());
        state.m_nID = control->GetID();
        state.m_nIndex = nIndex++;
        state.m_nIndexMax = static_cast<UINT>(m_controls.size());
        state.DoUpdate(pRoute, bDisableIfNoHndler);
    }
}

CGkControl* CGkToolBar::HitTest(CPoint point) const {
    for (auto& control : m_controls)
        if (!control->IsSeparator() && control->m_rc.PtInRect(point))
            return control.get();
    return nullptr;
}

void CGkToolBar::OnLButtonDown(UINT, CPoint point) {
    RelayToTooltip(WM_LBUTTONDOWN, point);
    if (m_pCommandBars != nullptr && GetGripperRect().PtInRect(point)) {
        m_bDragging = TRUE;
        ::SetCapture(m_hWnd);
        return;
    }
    CGkControl* pControl = HitTest(point);
    if (pControl == nullptr || !pControl->GetEnabled())
        return;
    if (pControl->GetArrowRect().PtInRect(point)) {
        TrackSplitMenu(pControl);
        return;
    }
    m_pPressed = pControl;
    ::SetCapture(m_hWnd);
    ::InvalidateRect(m_hWnd, &pControl->m_rc, TRUE);
}

void CGkToolBar::OnLButtonUp(UINT, CPoint point) {
    if (m_bDragging) {
        m_bDragging = FALSE;
        ::ReleaseCapture();
        // Where the gripper was let go, in the frame's client coordinates.
        CWnd* pFrame = GetParent();
        if (m_pCommandBars != nullptr && pFrame != nullptr) {
            ::MapWindowPoints(m_hWnd, pFrame->GetSafeHwnd(), &point, 1);
            m_pCommandBars->DropBar(this, point);
        }
        return;
    }
    CGkControl* pPressed = m_pPressed;
    m_pPressed = nullptr;
    if (pPressed == nullptr)
        return;
    ::ReleaseCapture();
    ::InvalidateRect(m_hWnd, &pPressed->m_rc, TRUE);
    if (HitTest(point) != pPressed || !pPressed->GetEnabled())
        return;
    CWnd* pOwner = GetCommandOwner();
    if (pOwner != nullptr)
        pOwner->SendMessage(WM_COMMAND, MAKEWPARAM(pPressed->GetID(), 0), reinterpret_cast<LPARAM>(m_hWnd));
}

void CGkToolBar::OnMouseMove(UINT, CPoint point) {
    RelayToTooltip(WM_MOUSEMOVE, point);
    CGkControl* pHot = HitTest(point);
    if (pHot == m_pHot)
        return;
    SetHotControl(pHot);
    if (m_pHot != nullptr) {
        // The button stands out until the mouse leaves the bar (or goes to another window's capture).
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, m_hWnd, 0};
        ::TrackMouseEvent(&track);
    }
}

LRESULT CGkToolBar::OnMouseLeave(WPARAM, LPARAM) {
    RelayToTooltip(WM_MOUSELEAVE, CPoint(0, 0));
    SetHotControl(nullptr);
    return 0;
}

void CGkToolBar::SetHotControl(CGkControl* pHot) {
    if (pHot == m_pHot)
        return;
    if (m_pHot != nullptr && m_hWnd != nullptr)
        ::InvalidateRect(m_hWnd, &m_pHot->m_rc, TRUE);
    m_pHot = pHot;
    if (m_pHot != nullptr && m_hWnd != nullptr)
        ::InvalidateRect(m_hWnd, &m_pHot->m_rc, TRUE);
}

BOOL CGkToolBar::OnEraseBkgnd(CDC*) {
    return TRUE;
}

void CGkToolBar::OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(client, ::GetSysColor(COLOR_BTNFACE));
    // The gripper: a raised bar three pixels thick across the bar's start.
    CRect gripper =
        IsVertical() ? CRect(client.left + 2, 2, client.right - 2, 5) : CRect(2, client.top + 2, 5, client.bottom - 2);
    if (!gripper.IsRectEmpty())
        dc.DrawEdge(gripper, BDR_RAISEDINNER, BF_RECT);
    for (auto& control : m_controls)
        DrawControl(&dc, *control, control.get() == m_pHot);
}

void CGkToolBar::DrawControl(CDC* pDC, const CGkControl& control, BOOL bHot) {
    CRect rc = control.m_rc;
    if (control.IsSeparator()) {
        int x = rc.CenterPoint().x;
        pDC->FillSolidRect(CRect(x - 1, rc.top + 2, x, rc.bottom - 2), ::GetSysColor(COLOR_3DSHADOW));
        pDC->FillSolidRect(CRect(x, rc.top + 2, x + 1, rc.bottom - 2), ::GetSysColor(COLOR_3DHILIGHT));
        return;
    }
    const bool bPressed = &control == m_pPressed;
    const bool bChecked = control.GetChecked() != FALSE;
    const bool bEnabled = control.GetEnabled() != FALSE;
    CRect arrow = control.GetArrowRect();
    if (!arrow.IsRectEmpty()) {
        // The arrow: a small dark triangle right of the face, in an edge of its own while the button is hot.
        COLORREF clrArrow = ::GetSysColor(bEnabled ? COLOR_BTNTEXT : COLOR_GRAYTEXT);
        CPoint c = arrow.CenterPoint();
        for (int row = 0; row < 3; ++row)
            pDC->FillSolidRect(CRect(c.x - 3 + row, c.y - 1 + row, c.x + 4 - row, c.y + row), clrArrow);
        if (bEnabled && bHot && !bPressed) {
            CRect edge(arrow.left, rc.top, arrow.right, rc.bottom);
            pDC->DrawEdge(edge, BDR_RAISEDINNER, BF_RECT);
        }
        rc.right = arrow.left;
    }
    if (bEnabled && (bChecked || bPressed)) {
        // Sunk: a checked button rests on a face lightened halfway to the highlight.
        if (bChecked && !bPressed) {
            const COLORREF face = ::GetSysColor(COLOR_BTNFACE), light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
            pDC->FillSolidRect(rc,
                               RGB((GetRValue(face) + GetRValue(light)) / 2, (GetGValue(face) + GetGValue(light)) / 2,
                                   (GetBValue(face) + GetBValue(light)) / 2));
        }
        pDC->DrawEdge(rc, BDR_SUNKENOUTER, BF_RECT);
    } else if (bEnabled && bHot) {
        pDC->DrawEdge(rc, BDR_RAISEDINNER, BF_RECT);
    }
    if (bPressed)
        rc.OffsetRect(1, 1); // the face's contents move with it
    if (!m_bTextBelow) {
        CPoint pt(rc.left + (rc.Width() - m_szIcon.cx) / 2, rc.top + (rc.Height() - m_szIcon.cy) / 2);
        DrawImage(pDC, control, pt);
        return;
    }
    CPoint pt(rc.left + (rc.Width() - m_szIcon.cx) / 2, rc.top + GK_TOOLBAR_BUTTON_PAD);
    DrawImage(pDC, control, pt);
    CRect text(rc.left, pt.y + m_szIcon.cy + 1, rc.right, rc.bottom - GK_TOOLBAR_BUTTON_PAD + 2);
    HGDIOBJ hOld = ::SelectObject(pDC->m_hDC, ::GetStockObject(DEFAULT_GUI_FONT));
    pDC->SetBkMode(TRANSPARENT);
    pDC->SetTextColor(::GetSysColor(control.GetEnabled() ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    CString caption = control.m_strCaption;
    pDC->DrawText(caption, text, DT_CENTER | DT_TOP | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(pDC->m_hDC, hOld);
}

CGkImageManager* CGkToolBar::GetImageManager() {
    return m_pCommandBars != nullptr ? m_pCommandBars->GetImageManager() : &m_images;
}

void CGkToolBar::DrawImage(CDC* pDC, const CGkControl& control, CPoint pt) {
    GetImageManager()->Draw(pDC, control.GetID(), pt, control.GetEnabled());
}
