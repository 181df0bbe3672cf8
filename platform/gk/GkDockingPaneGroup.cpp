#include "GkDockingPaneGroup.h"

#include <algorithm>

#include "GkDockingPaneManager.h"
#include "GkTextMeasure.h"

namespace {

constexpr int kTabPadding = 8;
constexpr int kClientEdge = 2; // the sunken edge round the pane's window

bool HasFocusIn(HWND hwnd) {
    HWND hFocus = ::GetFocus();
    return hFocus != nullptr && (hFocus == hwnd || ::IsChild(hwnd, hFocus));
}

// The group a window lies in, if any.
CGkDockingPaneGroup* GroupOf(HWND hwnd) {
    for (; hwnd != nullptr; hwnd = ::GetParent(hwnd))
        if (auto* pGroup = dynamic_cast<CGkDockingPaneGroup*>(CWnd::FromHandlePermanent(hwnd)))
            return pGroup;
    return nullptr;
}

// The groups of a thread hear of every focus move through one training hook, so that a caption turns active
// when the focus enters its group and inactive when it leaves.
thread_local HHOOK t_hFocusHook = nullptr;
thread_local int t_nGroups = 0;

LRESULT CALLBACK FocusHook(int nCode, WPARAM wParam, LPARAM lParam) {
    if (nCode == HCBT_SETFOCUS) {
        CGkDockingPaneGroup* pGaining = GroupOf(reinterpret_cast<HWND>(wParam));
        CGkDockingPaneGroup* pLosing = GroupOf(reinterpret_cast<HWND>(lParam));
        if (pGaining != pLosing) {
            for (CGkDockingPaneGroup* pGroup : {pGaining, pLosing}) {
                if (pGroup == nullptr)
                    continue;
                CRect rc = pGroup->GetCaptionRect();
                ::InvalidateRect(pGroup->GetSafeHwnd(), &rc, FALSE);
            }
        }
    }
    return ::CallNextHookEx(nullptr, nCode, wParam, lParam);
}

// A splitter strip: the face between a lit line on its top (or left) and a shadow line on its bottom (right).
void DrawSplitter(CDC& dc, const CRect& rc, BOOL bHorz) {
    dc.FillSolidRect(rc, ::GetSysColor(COLOR_3DFACE));
    if (rc.IsRectEmpty())
        return;
    if (bHorz) {
        dc.FillSolidRect(CRect(rc.left, rc.top, rc.right, rc.top + 1), ::GetSysColor(COLOR_3DHILIGHT));
        dc.FillSolidRect(CRect(rc.left, rc.bottom - 1, rc.right, rc.bottom), ::GetSysColor(COLOR_3DSHADOW));
    } else {
        dc.FillSolidRect(CRect(rc.left, rc.top, rc.left + 1, rc.bottom), ::GetSysColor(COLOR_3DHILIGHT));
        dc.FillSolidRect(CRect(rc.right - 1, rc.top, rc.right, rc.bottom), ::GetSysColor(COLOR_3DSHADOW));
    }
}

// The caption's close mark: a cross of two-pixel strokes, seven pixels square, centred in the button.
void DrawCloseMark(CDC& dc, const CRect& rc, COLORREF clr) {
    constexpr int kRows = 6;
    const int x = rc.left + (rc.Width() - (kRows + 1)) / 2;
    const int y = rc.top + (rc.Height() - kRows) / 2;
    for (int i = 0; i < kRows; ++i) {
        dc.FillSolidRect(CRect(x + i, y + i, x + i + 2, y + i + 1), clr);
        dc.FillSolidRect(CRect(x + kRows - 1 - i, y + i, x + kRows + 1 - i, y + i + 1), clr);
    }
}

} // namespace

BEGIN_MESSAGE_MAP(CGkDockingPaneGroup, CWnd)
ON_WM_CREATE()
ON_WM_DESTROY()
ON_WM_PAINT()
ON_WM_ERASEBKGND()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_SIZE()
END_MESSAGE_MAP()

CGkDockingPaneGroup::CGkDockingPaneGroup(CGkDockingPaneManager* pManager) : m_pManager(pManager) {}

int CGkDockingPaneGroup::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CWnd::OnCreate(lpCreateStruct) == -1)
        return -1;
    if (t_nGroups++ == 0)
        t_hFocusHook = ::SetWindowsHookExA(WH_CBT, &FocusHook, nullptr, ::GetCurrentThreadId());
    return 0;
}

void CGkDockingPaneGroup::OnDestroy() {
    if (--t_nGroups == 0 && t_hFocusHook != nullptr) {
        ::UnhookWindowsHookEx(t_hFocusHook);
        t_hFocusHook = nullptr;
    }
    CWnd::OnDestroy();
}

BOOL CGkDockingPaneGroup::Create(CWnd* pSite) {
    LPCTSTR lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursor(nullptr, IDC_ARROW));
    return CWnd::Create(lpszClass, nullptr, WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, CRect(0, 0, 0, 0), pSite, 0);
}

std::vector<CGkDockingPane*> CGkDockingPaneGroup::OpenPanes() const {
    std::vector<CGkDockingPane*> open;
    for (CGkDockingPane* pPane : m_panes)
        if (!pPane->IsClosed())
            open.push_back(pPane);
    return open;
}

CRect CGkDockingPaneGroup::Inner() const {
    CRect rc;
    GetClientRect(&rc);
    for (const Splitter& s : m_splitters) {
        if (s.bHorz) {
            if (s.rc.top <= rc.top)
                rc.top = std::min(rc.bottom, s.rc.bottom);
            else
                rc.bottom = std::max(rc.top, s.rc.top);
        } else {
            if (s.rc.left <= rc.left)
                rc.left = std::min(rc.right, s.rc.right);
            else
                rc.right = std::max(rc.left, s.rc.left);
        }
    }
    return rc;
}

CRect CGkDockingPaneGroup::GetCaptionRect() const {
    CRect rc = Inner();
    rc.bottom = std::min(rc.bottom, rc.top + GK_DOCKING_CAPTION_HEIGHT);
    return rc;
}

CRect CGkDockingPaneGroup::GetCloseButtonRect() const {
    CRect rc = GetCaptionRect();
    int y = rc.top + (rc.Height() - GK_DOCKING_CLOSE_SIZE) / 2;
    return CRect(rc.right - GK_DOCKING_CLOSE_SIZE - 3, y, rc.right - 3, y + GK_DOCKING_CLOSE_SIZE);
}

int CGkDockingPaneGroup::TabWidth(const CGkDockingPane* pPane) const {
    CGkTextMeasure measure(::GetStockObject(DEFAULT_GUI_FONT));
    return measure.GetTextExtent(pPane->GetTitle()).cx + 2 * kTabPadding;
}

CRect CGkDockingPaneGroup::GetTabRect(int nTab) const {
    std::vector<CGkDockingPane*> open = OpenPanes();
    if (open.size() < 2 || nTab < 0 || nTab >= static_cast<int>(open.size()))
        return CRect(0, 0, 0, 0);
    CRect rc = Inner();
    int x = rc.left + 2;
    for (int i = 0; i < nTab; ++i)
        x += TabWidth(open[static_cast<size_t>(i)]);
    int top = std::max(rc.top, rc.bottom - GK_DOCKING_TAB_HEIGHT);
    return CRect(x, top, x + TabWidth(open[static_cast<size_t>(nTab)]), rc.bottom);
}

CRect CGkDockingPaneGroup::GetClientEdgeRect() const {
    CRect rc = Inner();
    rc.top = std::min(rc.bottom, rc.top + GK_DOCKING_CAPTION_HEIGHT);
    if (OpenPanes().size() > 1)
        rc.bottom = std::max(rc.top, rc.bottom - GK_DOCKING_TAB_HEIGHT);
    return rc;
}

CRect CGkDockingPaneGroup::GetPaneArea() const {
    CRect rc = GetClientEdgeRect();
    rc.DeflateRect(std::min(kClientEdge, rc.Width() / 2), std::min(kClientEdge, rc.Height() / 2));
    return rc;
}

BOOL CGkDockingPaneGroup::OnEraseBkgnd(CDC*) {
    return TRUE;
}

void CGkDockingPaneGroup::OnPaint() {
    CPaintDC dc(this);
    CRect client;
    GetClientRect(&client);
    dc.FillSolidRect(client, ::GetSysColor(COLOR_3DFACE));
    for (const Splitter& s : m_splitters)
        DrawSplitter(dc, s.rc, s.bHorz);

    HGDIOBJ hOldFont = ::SelectObject(dc.m_hDC, ::GetStockObject(DEFAULT_GUI_FONT));
    dc.SetBkMode(TRANSPARENT);
    CGkDockingPane* pActive = m_pActive != nullptr && !m_pActive->IsClosed() ? m_pActive : nullptr;
    // The caption: the active caption's colours while the focus is inside the group, otherwise the face inside
    // a shadow line with the button text's colour.
    const bool bFocus = HasFocusIn(m_hWnd);
    CRect caption = GetCaptionRect();
    COLORREF clrText;
    if (bFocus) {
        dc.FillSolidRect(caption, ::GetSysColor(COLOR_ACTIVECAPTION));
        clrText = ::GetSysColor(COLOR_CAPTIONTEXT);
    } else {
        CRect frame = caption;
        frame.DeflateRect(0, 1);
        dc.Draw3dRect(frame, ::GetSysColor(COLOR_3DSHADOW), ::GetSysColor(COLOR_3DSHADOW));
        clrText = ::GetSysColor(COLOR_BTNTEXT);
    }
    dc.SetTextColor(clrText);
    if (pActive != nullptr) {
        CRect text = caption;
        text.left += 4;
        text.right = GetCloseButtonRect().left - 2;
        CString title = pActive->GetTitle();
        dc.DrawText(title, text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
    DrawCloseMark(dc, GetCloseButtonRect(), clrText);

    // The pane's window sits in a sunken client edge.
    CRect edge = GetClientEdgeRect();
    if (!edge.IsRectEmpty())
        dc.DrawEdge(edge, EDGE_SUNKEN, BF_RECT);

    std::vector<CGkDockingPane*> open = OpenPanes();
    if (open.size() > 1) {
        // The tabs hang below the pane: the active one in the window colour joined to the pane, the others on
        // the face, apart by a shadow line.
        for (size_t i = 0; i < open.size(); ++i) {
            CRect tab = GetTabRect(static_cast<int>(i));
            tab.bottom -= 2;
            const bool bActive = open[i] == pActive;
            if (bActive) {
                dc.FillSolidRect(tab, ::GetSysColor(COLOR_WINDOW));
                dc.FillSolidRect(CRect(tab.left, tab.top, tab.left + 1, tab.bottom), ::GetSysColor(COLOR_3DHILIGHT));
                dc.FillSolidRect(CRect(tab.right - 1, tab.top, tab.right, tab.bottom), ::GetSysColor(COLOR_3DDKSHADOW));
                dc.FillSolidRect(CRect(tab.left, tab.bottom - 1, tab.right, tab.bottom),
                                 ::GetSysColor(COLOR_3DDKSHADOW));
            } else if (i + 1 < open.size() && open[i + 1] != pActive) {
                dc.FillSolidRect(CRect(tab.right - 1, tab.top + 3, tab.right, tab.bottom - 2),
                                 ::GetSysColor(COLOR_3DSHADOW));
            }
            dc.SetTextColor(::GetSysColor(bActive ? COLOR_WINDOWTEXT : COLOR_BTNTEXT));
            CString title = open[i]->GetTitle();
            dc.DrawText(title, tab, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
        }
    }
    ::SelectObject(dc.m_hDC, hOldFont);
}

void CGkDockingPaneGroup::OnLButtonDown(UINT, CPoint point) {
    for (size_t i = 0; i < m_splitters.size(); ++i) {
        if (m_splitters[i].rc.PtInRect(point)) {
            m_nDragSplitter = static_cast<int>(i);
            m_ptDragStart = point;
            ::SetCapture(m_hWnd);
            return;
        }
    }
    if (m_pActive != nullptr && GetCloseButtonRect().PtInRect(point)) {
        m_pManager->ClosePane(m_pActive);
        return;
    }
    std::vector<CGkDockingPane*> open = OpenPanes();
    for (size_t i = 0; i < open.size(); ++i) {
        if (GetTabRect(static_cast<int>(i)).PtInRect(point)) {
            m_pManager->ActivateTab(open[i]);
            return;
        }
    }
    SetFocus();
}

void CGkDockingPaneGroup::OnLButtonUp(UINT, CPoint point) {
    if (m_nDragSplitter < 0)
        return;
    Splitter s = m_splitters[static_cast<size_t>(m_nDragSplitter)];
    m_nDragSplitter = -1;
    ::ReleaseCapture();
    int nDelta = s.bHorz ? point.y - m_ptDragStart.y : point.x - m_ptDragStart.x;
    if (nDelta != 0)
        m_pManager->MoveSplitter(s.pTarget, nDelta);
}

void CGkDockingPaneGroup::OnSize(UINT nType, int cx, int cy) {
    CWnd::OnSize(nType, cx, cy);
    Invalidate();
}
