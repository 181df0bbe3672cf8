#include "GkStatusBar.h"

#include <algorithm>
#include <cstring>

#include "GkTextMeasure.h"

namespace {

// The bar styles live in the low word of a creation style, the window styles in the high word.
constexpr DWORD kBarStyleMask = 0x0000FFFF;

// An update of one pane through the command-update routing.
class CGkStatusCmdUI : public CCmdUI {
public:
    explicit CGkStatusCmdUI(CGkStatusBar* pBar) : m_pBar(pBar) { m_pOther = pBar; }

    void Enable(BOOL bOn) override {
        m_bEnableChanged = TRUE;
        Pane()->SetEnabled(bOn);
    }
    void SetCheck(int nCheck) override {
        UINT nStyle = Pane()->GetStyle();
        Pane()->SetStyle(nCheck ? (nStyle | SBPS_POPOUT) : (nStyle & ~SBPS_POPOUT));
    }
    void SetText(LPCTSTR lpszText) override { m_pBar->SetPaneText(static_cast<int>(m_nIndex), lpszText); }

private:
    CGkStatusBarPane* Pane() const { return m_pBar->GetPane(static_cast<int>(m_nIndex)); }
    CGkStatusBar* m_pBar;
};

HGDIOBJ BarFont() {
    return ::GetStockObject(DEFAULT_GUI_FONT);
}

} // namespace

IMPLEMENT_DYNAMIC(CGkStatusBar, CControlBar)

BEGIN_MESSAGE_MAP(CGkStatusBar, CControlBar)
ON_WM_PAINT()
ON_WM_ERASEBKGND()
ON_WM_SIZE()
ON_MESSAGE(WM_NCHITTEST, &CGkStatusBar::OnNcHitTest)
ON_MESSAGE(WM_SETTEXT, &CGkStatusBar::OnSetText)
ON_MESSAGE(WM_GETTEXT, &CGkStatusBar::OnGetText)
ON_MESSAGE(WM_GETTEXTLENGTH, &CGkStatusBar::OnGetTextLength)
END_MESSAGE_MAP()

CGkStatusBar::~CGkStatusBar() {
    // The window goes first, while the panes it paints still exist.
    if (m_hWnd)
        DestroyWindow();
    RemoveAllPanes();
}

BOOL CGkStatusBar::Create(CWnd* pParentWnd, DWORD dwStyle, UINT nID) {
    m_dwStyle = dwStyle & kBarStyleMask;
    LPCTSTR lpszClass = AfxRegisterWndClass(0, ::LoadCursor(nullptr, IDC_ARROW));
    CRect rect(0, 0, 0, GetBarHeight());
    return CWnd::CreateEx(0, lpszClass, "", dwStyle & ~kBarStyleMask, rect, pParentWnd, nID);
}

void CGkStatusBar::RemoveAllPanes() {
    std::vector<CGkStatusBarPane*> arrPanes;
    arrPanes.swap(m_arrPanes);
    for (CGkStatusBarPane* pPane : arrPanes)
        delete pPane;
}

BOOL CGkStatusBar::SetIndicators(const UINT* lpIDArray, int nIDCount) {
    if (nIDCount < 0 || (nIDCount > 0 && !lpIDArray))
        return FALSE;
    CGkTextMeasure measure(BarFont());
    std::vector<CGkStatusBarPane*> arrPanes;
    for (int i = 0; i < nIDCount; ++i) {
        auto* pPane = new CGkStatusBarPane;
        arrPanes.push_back(pPane);
        pPane->m_nID = lpIDArray[i];
        pPane->m_pStatusBar = this;
        if (pPane->m_nID == ID_SEPARATOR) {
            if (i == 0)
                pPane->m_nStyle = SBPS_NOBORDERS | SBPS_STRETCH;
            continue;
        }
        if (!AfxLoadString(pPane->m_nID, pPane->m_strText)) {
            for (CGkStatusBarPane* p : arrPanes)
                delete p;
            return FALSE;
        }
        pPane->m_cxWidth = measure.GetTextExtent(pPane->m_strText).cx;
    }
    RemoveAllPanes();
    m_arrPanes = std::move(arrPanes);
    RepaintAll();
    return TRUE;
}

CGkStatusBarPane* CGkStatusBar::AddIndicator(CGkStatusBarPane* pPane, UINT nID, int nIndex) {
    if (!pPane)
        return nullptr;
    if (nIndex < -1 || pPane->m_pStatusBar) {
        if (!pPane->m_pStatusBar)
            delete pPane;
        return nullptr;
    }
    if (nIndex == -1 || nIndex > GetPaneCount())
        nIndex = GetPaneCount();
    pPane->m_nID = nID;
    pPane->m_pStatusBar = this;
    m_arrPanes.insert(m_arrPanes.begin() + nIndex, pPane);
    RepaintAll();
    return pPane;
}

CGkStatusBarPane* CGkStatusBar::GetPane(int nIndex) const {
    if (nIndex < 0 || nIndex >= GetPaneCount())
        return nullptr;
    return m_arrPanes[static_cast<size_t>(nIndex)];
}

int CGkStatusBar::CommandToIndex(UINT nIDFind) const {
    for (int i = 0; i < GetPaneCount(); ++i)
        if (m_arrPanes[static_cast<size_t>(i)]->m_nID == nIDFind)
            return i;
    return -1;
}

UINT CGkStatusBar::GetItemID(int nIndex) const {
    CGkStatusBarPane* pPane = GetPane(nIndex);
    return pPane ? pPane->m_nID : 0;
}

CString CGkStatusBar::GetPaneText(int nIndex) const {
    CGkStatusBarPane* pPane = GetPane(nIndex);
    return pPane ? pPane->m_strText : CString();
}

BOOL CGkStatusBar::SetPaneText(int nIndex, LPCTSTR lpszNewText, BOOL bUpdate) {
    CGkStatusBarPane* pPane = GetPane(nIndex);
    if (!pPane)
        return FALSE;
    pPane->m_strText = lpszNewText ? lpszNewText : "";
    if (bUpdate)
        RedrawPane(nIndex);
    return TRUE;
}

void CGkStatusBar::SetPaneStyle(int nIndex, UINT nStyle) {
    if (CGkStatusBarPane* pPane = GetPane(nIndex))
        pPane->SetStyle(nStyle);
}

UINT CGkStatusBar::GetPaneStyle(int nIndex) const {
    CGkStatusBarPane* pPane = GetPane(nIndex);
    return pPane ? pPane->m_nStyle : 0;
}

void CGkStatusBar::SetPaneWidth(int nIndex, int cxWidth) {
    if (CGkStatusBarPane* pPane = GetPane(nIndex))
        pPane->SetWidth(cxWidth);
}

int CGkStatusBar::GetBarHeight() const {
    int nTextHeight = CGkTextMeasure(BarFont()).GetTextHeight();
    return GK_STATUSBAR_TOPGAP + nTextHeight + 2 * GK_STATUSBAR_VERTBORDER + 2 + GK_STATUSBAR_BOTTOMGAP;
}

CRect CGkStatusBar::GetSizeGripRect() const {
    if (!m_hWnd)
        return CRect(0, 0, 0, 0);
    // The frame the bar sits in: a sizable one that is not maximised can be sized from its corner.
    HWND hFrame = ::GetAncestor(m_hWnd, GA_ROOT);
    if (hFrame == nullptr || !(::GetWindowLongA(hFrame, GWL_STYLE) & WS_THICKFRAME) || ::IsZoomed(hFrame))
        return CRect(0, 0, 0, 0);
    CRect rc;
    GetClientRect(&rc);
    rc.left = std::max(rc.left, rc.right - GK_STATUSBAR_GRIP);
    return rc;
}

std::vector<CRect> CGkStatusBar::CalcPaneRects() const {
    CRect rcClient;
    if (m_hWnd)
        GetClientRect(&rcClient);
    const CRect rcGrip = GetSizeGripRect();
    if (!rcGrip.IsRectEmpty())
        rcClient.right = rcGrip.left;
    const int nTop = GK_STATUSBAR_TOPGAP;
    const int nBottom = std::max(nTop, static_cast<int>(rcClient.bottom) - GK_STATUSBAR_BOTTOMGAP);
    int nUsed = 0;
    int nStretch = 0;
    for (const CGkStatusBarPane* pPane : m_arrPanes) {
        nUsed += pPane->m_cxWidth + 2 * GK_STATUSBAR_HORZBORDER;
        if (pPane->m_nStyle & SBPS_STRETCH)
            ++nStretch;
    }
    if (!m_arrPanes.empty())
        nUsed += GK_STATUSBAR_PANEGAP * (GetPaneCount() - 1);
    int nExtra = std::max(0, static_cast<int>(rcClient.Width()) - nUsed);
    std::vector<CRect> rects;
    int x = 0;
    for (const CGkStatusBarPane* pPane : m_arrPanes) {
        int cx = pPane->m_cxWidth + 2 * GK_STATUSBAR_HORZBORDER;
        if ((pPane->m_nStyle & SBPS_STRETCH) && nStretch > 0) {
            int nShare = nExtra / nStretch;
            cx += nShare;
            nExtra -= nShare;
            --nStretch;
        }
        rects.emplace_back(x, nTop, x + cx, nBottom);
        x += cx + GK_STATUSBAR_PANEGAP;
    }
    return rects;
}

void CGkStatusBar::GetItemRect(int nIndex, LPRECT lpRect) const {
    if (!lpRect)
        return;
    *lpRect = RECT{0, 0, 0, 0};
    if (nIndex < 0 || nIndex >= GetPaneCount())
        return;
    *lpRect = CalcPaneRects()[static_cast<size_t>(nIndex)];
}

void CGkStatusBar::RedrawPane(int nIndex) {
    if (!m_hWnd)
        return;
    CRect rc;
    GetItemRect(nIndex, &rc);
    ::InvalidateRect(m_hWnd, &rc, FALSE);
}

void CGkStatusBar::RepaintAll() {
    if (m_hWnd)
        Invalidate(FALSE);
}

CSize CGkStatusBar::CalcFixedLayout(BOOL bStretch, BOOL bHorz) {
    CRect rc;
    if (m_hWnd)
        GetWindowRect(&rc);
    return CSize(bStretch ? 32767 : rc.Width(), GetBarHeight());
}

void CGkStatusBar::OnUpdateCmdUI(CFrameWnd* pTarget, BOOL) {
    CGkStatusCmdUI state(this);
    state.m_nIndexMax = static_cast<UINT>(GetPaneCount());
    for (int i = 0; i < GetPaneCount(); ++i) {
        state.m_nIndex = static_cast<UINT>(i);
        state.m_nID = GetItemID(i);
        if (state.m_nID == 0)
            continue;
        // A pane no handler updates keeps its state.
        state.DoUpdate(pTarget, FALSE);
    }
}

BOOL CGkStatusBar::OnEraseBkgnd(CDC*) {
    return TRUE; // OnPaint fills the background
}

void CGkStatusBar::OnSize(UINT nType, int cx, int cy) {
    CControlBar::OnSize(nType, cx, cy);
    RepaintAll();
}

LRESULT CGkStatusBar::OnNcHitTest(WPARAM, LPARAM lParam) {
    CPoint point(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
    ScreenToClient(&point);
    if (GetSizeGripRect().PtInRect(point))
        return HTBOTTOMRIGHT;
    return Default();
}

void CGkStatusBar::OnPaint() {
    CPaintDC dc(this);
    CRect rcPaint = dc.m_ps.rcPaint;
    dc.FillSolidRect(&rcPaint, ::GetSysColor(COLOR_BTNFACE));
    CRect rcGrip = GetSizeGripRect();
    if (!rcGrip.IsRectEmpty())
        ::DrawFrameControl(dc.m_hDC, &rcGrip, DFC_SCROLL, DFCS_SCROLLSIZEGRIP);
    HGDIOBJ hOldFont = dc.SelectObject(BarFont());
    dc.SetBkMode(TRANSPARENT);
    std::vector<CRect> rects = CalcPaneRects();
    for (size_t i = 0; i < rects.size(); ++i) {
        CRect rcTouched;
        if (!rcTouched.IntersectRect(&rects[i], &rcPaint))
            continue; // only the panes that need it are drawn
        int nSaved = dc.SaveDC();
        dc.IntersectClipRect(&rects[i]);
        m_arrPanes[i]->OnDraw(&dc, rects[i]);
        dc.RestoreDC(nSaved);
    }
    dc.SelectObject(hOldFont);
}

LRESULT CGkStatusBar::OnSetText(WPARAM, LPARAM lParam) {
    if (GetPaneCount() == 0)
        return FALSE;
    SetPaneText(0, reinterpret_cast<LPCTSTR>(lParam));
    return TRUE;
}

LRESULT CGkStatusBar::OnGetText(WPARAM wParam, LPARAM lParam) {
    auto* pszBuffer = reinterpret_cast<LPTSTR>(lParam);
    if (!pszBuffer || wParam == 0)
        return 0;
    CString strText = GetPaneText(0);
    size_t nCopy = std::min(static_cast<size_t>(strText.GetLength()), static_cast<size_t>(wParam) - 1);
    std::memcpy(pszBuffer, strText.GetString(), nCopy);
    pszBuffer[nCopy] = '\0';
    return static_cast<LRESULT>(nCopy);
}

LRESULT CGkStatusBar::OnGetTextLength(WPARAM, LPARAM) {
    return GetPaneText(0).GetLength();
}

CString CGkStatusBar::DumpPanes() const {
    CString str;
    for (int i = 0; i < GetPaneCount(); ++i) {
        const CGkStatusBarPane* pPane = m_arrPanes[static_cast<size_t>(i)];
        CString strColor = "default";
        if (!pPane->IsTextColorDefault())
            strColor.Format("0x%06X", static_cast<unsigned>(pPane->m_clrText));
        CString strLine;
        strLine.Format("%d id=%u style=0x%08X width=%d text=\"%s\" color=%s %s\n", i, pPane->m_nID, pPane->m_nStyle,
                       pPane->m_cxWidth, pPane->m_strText.GetString(), strColor.GetString(),
                       pPane->IsEnabled() ? "lit" : "dim");
        str += strLine;
    }
    return str;
}
