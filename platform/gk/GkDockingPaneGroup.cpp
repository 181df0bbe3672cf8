#include "GkDockingPaneGroup.h"

#include <algorithm>

#include "GkDockingPaneManager.h"
#include "GkTextMeasure.h"

namespace {

constexpr int kTabPadding = 8;

bool HasFocusIn(HWND hwnd) {
    HWND hFocus = ::GetFocus();
    return hFocus != nullptr && (hFocus == hwnd || ::IsChild(hwnd, hFocus));
}

} // namespace

BEGIN_MESSAGE_MAP(CGkDockingPaneGroup, CWnd)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONUP()
ON_WM_SIZE()
END_MESSAGE_MAP()

CGkDockingPaneGroup::CGkDockingPaneGroup(CGkDockingPaneManager* pManager) : m_pManager(pManager) {}

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

CRect CGkDockingPaneGroup::GetPaneArea() const {
    CRect rc = Inner();
    rc.top = std::min(rc.bottom, rc.top + GK_DOCKING_CAPTION_HEIGHT);
    if (OpenPanes().size() > 1)
        rc.bottom = std::max(rc.top, rc.bottom - GK_DOCKING_TAB_HEIGHT);
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
        dc.FillSolidRect(s.rc, ::GetSysColor(COLOR_3DSHADOW));

    HGDIOBJ hOldFont = ::SelectObject(dc.m_hDC, ::GetStockObject(DEFAULT_GUI_FONT));
    dc.SetBkMode(TRANSPARENT);
    CGkDockingPane* pActive = m_pActive != nullptr && !m_pActive->IsClosed() ? m_pActive : nullptr;
    bool bFocus = HasFocusIn(m_hWnd);
    CRect caption = GetCaptionRect();
    dc.FillSolidRect(caption, ::GetSysColor(bFocus ? COLOR_ACTIVECAPTION : COLOR_INACTIVECAPTION));
    COLORREF clrText = ::GetSysColor(bFocus ? COLOR_CAPTIONTEXT : COLOR_INACTIVECAPTIONTEXT);
    dc.SetTextColor(clrText);
    if (pActive != nullptr) {
        CRect text = caption;
        text.left += 4;
        text.right = GetCloseButtonRect().left - 2;
        CString title = pActive->GetTitle();
        dc.DrawText(title, text, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    }
    // The close button: a cross.
    CRect close = GetCloseButtonRect();
    CPen pen(PS_SOLID, 2, clrText);
    CPen* pOldPen = dc.SelectObject(&pen);
    dc.MoveTo(close.left + 3, close.top + 3);
    dc.LineTo(close.right - 3, close.bottom - 3);
    dc.MoveTo(close.right - 3, close.top + 3);
    dc.LineTo(close.left + 3, close.bottom - 3);
    dc.SelectObject(pOldPen);

    std::vector<CGkDockingPane*> open = OpenPanes();
    if (open.size() > 1) {
        CRect inner = Inner();
        CRect strip(inner.left, std::max(inner.top, inner.bottom - GK_DOCKING_TAB_HEIGHT), inner.right, inner.bottom);
        dc.FillSolidRect(strip, ::GetSysColor(COLOR_3DSHADOW));
        for (size_t i = 0; i < open.size(); ++i) {
            CRect tab = GetTabRect(static_cast<int>(i));
            bool bActive = open[i] == pActive;
            CRect face = tab;
            face.left += 1;
            face.right -= 1;
            face.top += bActive ? 0 : 2;
            face.bottom -= 2;
            dc.FillSolidRect(face, bActive ? ::GetSysColor(COLOR_WINDOW) : ::GetSysColor(COLOR_3DFACE));
            dc.SetTextColor(::GetSysColor(bActive ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
            CString title = open[i]->GetTitle();
            dc.DrawText(title, face, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
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
