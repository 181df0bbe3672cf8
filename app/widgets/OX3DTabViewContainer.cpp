#include "OX3DTabViewContainer.h"

#include <algorithm>
#include <cstring>
#include <memory>

IMPLEMENT_DYNAMIC(COX3DTabViewContainer, CTabCtrl)

BEGIN_MESSAGE_MAP(COX3DTabViewContainer, CTabCtrl)
ON_WM_SIZE()
ON_WM_ERASEBKGND()
ON_WM_NCPAINT()
ON_MESSAGE(WM_NCCALCSIZE, &COX3DTabViewContainer::OnNcCalcSize)
ON_WM_SETFOCUS()
ON_WM_DESTROY()
ON_NOTIFY_REFLECT(TCN_SELCHANGE, &COX3DTabViewContainer::OnSelChange)
END_MESSAGE_MAP()

namespace {
// A lone tab this close to the strip's width would be stretched across it; the filler tab prevents that.
constexpr int kFillerSlack = 50;
} // namespace

// ---- drop target

DROPEFFECT COX3DTabViewDropTarget::OnDragEnter(CWnd* pWnd, COleDataObject* pDataObject, DWORD dwKeyState,
                                               CPoint point) {
    return OnDragOver(pWnd, pDataObject, dwKeyState, point);
}

DROPEFFECT COX3DTabViewDropTarget::OnDragOver(CWnd* pWnd, COleDataObject*, DWORD, CPoint point) {
    auto* container = dynamic_cast<COX3DTabViewContainer*>(pWnd);
    if (!container)
        return DROPEFFECT_NONE;
    TCHITTESTINFO hit{};
    hit.pt = point;
    const int tab = container->HitTest(&hit);
    if (tab >= 0 && tab != m_nLastHoveredTab) {
        m_nLastHoveredTab = tab;
        container->SetActivePageIndex(tab);
    }
    return DROPEFFECT_NONE;
}

void COX3DTabViewDropTarget::OnDragLeave(CWnd*) {
    m_nLastHoveredTab = -1;
}

// ---- container

COX3DTabViewContainer::COX3DTabViewContainer() = default;

COX3DTabViewContainer::~COX3DTabViewContainer() = default;

BOOL COX3DTabViewContainer::Create(LPCTSTR lpszClassName, LPCTSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
                                   CWnd* pParentWnd, UINT nID, CCreateContext*) {
    if (lpszClassName && std::strcmp(lpszClassName, WC_TABCONTROLA) == 0) {
        if (!CTabCtrl::Create(dwStyle, rect, pParentWnd, nID))
            return FALSE;
        // Pages are reached with Tab like a dialog's controls.
        ::SetWindowLongPtrA(m_hWnd, GWL_EXSTYLE, ::GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(::GetStockObject(DEFAULT_GUI_FONT)), FALSE);
        m_dropTarget.Register(this);
        return TRUE;
    }
    if (!CreateTabCtrl(pParentWnd, rect, kDefaultStyle, nID))
        return FALSE;
    SetWindowText(lpszWindowName);
    return TRUE;
}

BOOL COX3DTabViewContainer::CreateTabCtrl(CWnd* pParentWnd, const RECT& rect, DWORD dwStyle, UINT nID) {
    return Create(WC_TABCONTROLA, nullptr, dwStyle, rect, pParentWnd, nID, nullptr);
}

int COX3DTabViewContainer::GetPageCount() const {
    const int tabs = GetItemCount();
    return m_nFillerIndex > 0 ? tabs - 1 : tabs;
}

LPARAM COX3DTabViewContainer::GetPageInfo(int nIndex) const {
    TCITEMA item{};
    item.mask = TCIF_PARAM;
    if (nIndex < 0 || nIndex >= GetItemCount() || !GetItem(nIndex, &item))
        return 0;
    return item.lParam;
}

CWnd* COX3DTabViewContainer::GetPage(int nIndex) const {
    if (nIndex < 0 || nIndex >= GetPageCount())
        return nullptr;
    return reinterpret_cast<CWnd*>(GetPageInfo(nIndex));
}

int COX3DTabViewContainer::FindPage(const CWnd* pWnd) const {
    for (int i = 0; pWnd && i < GetPageCount(); ++i)
        if (GetPage(i) == pWnd)
            return i;
    return -1;
}

UINT COX3DTabViewContainer::GetUniquePageId() {
    if (!m_returnedIds.empty()) {
        const UINT id = m_returnedIds.back();
        m_returnedIds.pop_back();
        return id;
    }
    return m_nNextFreshId++;
}

BOOL COX3DTabViewContainer::InsertPage(int nIndex, CWnd* pWnd, LPCTSTR lpszTitle, int nImage, DWORD dwExStyle,
                                       BOOL bActivate) {
    if (nIndex < 0 || nIndex > GetPageCount() || !pWnd || !::IsWindow(pWnd->m_hWnd))
        return FALSE;
    ::SetParent(pWnd->m_hWnd, m_hWnd);
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_IMAGE | TCIF_PARAM;
    item.pszText = const_cast<LPSTR>(lpszTitle ? lpszTitle : "");
    item.iImage = nImage;
    item.lParam = reinterpret_cast<LPARAM>(pWnd);
    if (InsertItem(nIndex, &item) != nIndex)
        return FALSE;
    if (m_nFillerIndex > 0 && nIndex <= m_nFillerIndex)
        ++m_nFillerIndex;
    ::SetWindowLongPtrA(pWnd->m_hWnd, GWL_EXSTYLE, ::GetWindowLongPtrA(pWnd->m_hWnd, GWL_EXSTYLE) | dwExStyle);
    pWnd->ModifyStyle(0, WS_TABSTOP);
    // The same page stays shown when a tab is inserted before it.
    if (m_nActivePageIndex >= nIndex)
        ++m_nActivePageIndex;
    UpdateFiller();
    if (bActivate) {
        SetActivePageIndex(nIndex);
    } else {
        pWnd->ShowWindow(SW_HIDE);
        if (m_nActivePageIndex >= 0)
            SetCurSel(m_nActivePageIndex);
    }
    return TRUE;
}

BOOL COX3DTabViewContainer::InsertViewPage(int nIndex, CRuntimeClass* pClass, CCreateContext* pContext,
                                           LPCTSTR lpszTitle, int nImage, DWORD dwExStyle, BOOL bActivate) {
    if (!pClass || nIndex < 0 || nIndex > GetPageCount())
        return FALSE;
    CCreateContext built;
    if (!pContext) {
        CFrameWnd* frame = GetParentFrame();
        CView* view = frame ? frame->GetActiveView() : nullptr;
        built.m_pNewViewClass = pClass;
        built.m_pCurrentFrame = frame;
        built.m_pLastView = view;
        built.m_pCurrentDoc = view ? view->GetDocument() : nullptr;
        built.m_pNewDocTemplate = built.m_pCurrentDoc ? built.m_pCurrentDoc->GetDocTemplate() : nullptr;
        pContext = &built;
    }
    std::unique_ptr<CObject> object(pClass->CreateObject());
    auto* page = dynamic_cast<CWnd*>(object.get());
    if (!page)
        return FALSE;
    // A view deletes itself with its window, also one that failed to be made; any other window is deleted
    // here when its window cannot be made, and is its page's once it is.
    if (page->IsKindOf(RUNTIME_CLASS(CView)))
        object.release();
    const UINT id = GetUniquePageId();
    if (!page->Create(nullptr, nullptr, WS_CHILD | WS_VISIBLE, CRect(0, 0, 0, 0), this, id, pContext)) {
        m_returnedIds.push_back(id);
        return FALSE;
    }
    object.release();
    if (!InsertPage(nIndex, page, lpszTitle, nImage, dwExStyle, bActivate)) {
        m_returnedIds.push_back(id);
        page->DestroyWindow(); // a view deletes itself with its window
        return FALSE;
    }
    if (page->IsKindOf(RUNTIME_CLASS(CView)))
        page->SendMessage(WM_INITIALUPDATE);
    return TRUE;
}

void COX3DTabViewContainer::HideActivePage() {
    if (CWnd* page = GetActivePage())
        page->ShowWindow(SW_HIDE);
}

BOOL COX3DTabViewContainer::DeletePage(int nIndex, BOOL bDestroy) {
    CWnd* page = GetPage(nIndex);
    if (!page)
        return FALSE;
    if (nIndex == m_nActivePageIndex) {
        const int count = GetPageCount();
        if (count == 1) {
            HideActivePage();
            m_nActivePageIndex = -1;
        } else {
            SetActivePageIndex(nIndex + 1 < count ? nIndex + 1 : 0);
        }
    }
    if (::IsWindow(page->m_hWnd)) {
        m_returnedIds.push_back(static_cast<UINT>(page->GetDlgCtrlID()));
        if (bDestroy)
            page->DestroyWindow();
        else
            page->ShowWindow(SW_HIDE);
    }
    DeleteItem(nIndex);
    if (m_nFillerIndex > nIndex)
        --m_nFillerIndex;
    if (m_nActivePageIndex > nIndex)
        --m_nActivePageIndex;
    UpdateFiller();
    if (m_nActivePageIndex >= 0)
        SetCurSel(m_nActivePageIndex);
    RecalcPageLayout();
    return TRUE;
}

BOOL COX3DTabViewContainer::DeletePageByWindow(CWnd* pWnd, BOOL bDestroy) {
    const int index = FindPage(pWnd);
    return index >= 0 && DeletePage(index, bDestroy);
}

BOOL COX3DTabViewContainer::SetActivePageIndex(int nIndex) {
    if (nIndex == m_nActivePageIndex && nIndex >= 0)
        return TRUE;
    CWnd* page = GetPage(nIndex);
    if (!page)
        return FALSE;
    const HWND focus = ::GetFocus();
    const bool focusInside = focus && (focus == m_hWnd || ::IsChild(m_hWnd, focus));
    CWnd* previous = GetActivePage();
    HideActivePage();
    m_nActivePageIndex = nIndex;
    SetCurSel(nIndex);
    RecalcPageLayout();
    page->ShowWindow(SW_SHOW);
    ::RedrawWindow(page->m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
    CWnd* parent = GetParent();
    if (auto* frame = dynamic_cast<CFrameWnd*>(parent)) {
        if (auto* view = dynamic_cast<CView*>(page))
            frame->SetActiveView(view);
        else if (dynamic_cast<CView*>(previous))
            frame->SetActiveView(nullptr);
    }
    if (focusInside)
        page->SetFocus();
    return TRUE;
}

void COX3DTabViewContainer::UpdateFiller() {
    if (!m_hWnd)
        return;
    const int pages = GetPageCount();
    bool wanted = false;
    if (pages == 1) {
        CRect tab, window;
        GetItemRect(0, &tab);
        GetWindowRect(&window);
        wanted = tab.Width() + kFillerSlack >= window.Width();
    }
    if (wanted && m_nFillerIndex == 0) {
        TCITEMA item{};
        item.mask = TCIF_TEXT | TCIF_PARAM;
        item.pszText = const_cast<LPSTR>("");
        if (InsertItem(pages, &item) == pages)
            m_nFillerIndex = pages;
    } else if (!wanted && m_nFillerIndex > 0) {
        const int filler = m_nFillerIndex;
        m_nFillerIndex = 0;
        DeleteItem(filler);
    }
    if (m_nActivePageIndex >= 0)
        SetCurSel(m_nActivePageIndex);
}

void COX3DTabViewContainer::RecalcPageLayout() {
    if (!m_hWnd)
        return;
    CRect area;
    GetClientRect(&area);
    AdjustRect(FALSE, &area);
    area.DeflateRect(m_nPageMargin, m_nPageMargin);
    m_rectPage = CRect(area.left + 1, area.top + 1, area.right - 1, area.bottom - 2);
    if (m_rectPage.right < m_rectPage.left)
        m_rectPage.right = m_rectPage.left;
    if (m_rectPage.bottom < m_rectPage.top)
        m_rectPage.bottom = m_rectPage.top;
    if (CWnd* page = GetActivePage())
        page->MoveWindow(&m_rectPage);
}

void COX3DTabViewContainer::OnSize(UINT nType, int cx, int cy) {
    CTabCtrl::OnSize(nType, cx, cy);
    if (nType != SIZE_MINIMIZED && cx > 0 && cy > 0) {
        UpdateFiller();
        RecalcPageLayout();
    }
}

BOOL COX3DTabViewContainer::OnEraseBkgnd(CDC* pDC) {
    CRect client;
    GetClientRect(&client);
    const int saved = ::SaveDC(pDC->m_hDC);
    if (GetActivePage())
        ::ExcludeClipRect(pDC->m_hDC, m_rectPage.left, m_rectPage.top, m_rectPage.right, m_rectPage.bottom);
    ::FillRect(pDC->m_hDC, &client, ::GetSysColorBrush(COLOR_BTNFACE));
    ::RestoreDC(pDC->m_hDC, saved);
    return TRUE;
}

LRESULT COX3DTabViewContainer::OnNcCalcSize(WPARAM wParam, LPARAM lParam) {
    const LRESULT result = Default();
    auto* rect = reinterpret_cast<RECT*>(lParam);
    if (rect && m_nBorderWidth > 0) {
        // wParam TRUE passes NCCALCSIZE_PARAMS, whose first rectangle is the one to shrink.
        RECT& r = wParam ? reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : *rect;
        if (r.right - r.left > 2 * m_nBorderWidth && r.bottom - r.top > 2 * m_nBorderWidth)
            ::InflateRect(&r, -m_nBorderWidth, -m_nBorderWidth);
    }
    return result;
}

void COX3DTabViewContainer::OnNcPaint() {
    Default();
    if (m_bPaintingNc || m_nBorderWidth <= 0)
        return;
    m_bPaintingNc = TRUE;
    HDC dc = ::GetWindowDC(m_hWnd);
    if (dc) {
        CRect window;
        GetWindowRect(&window);
        window.OffsetRect(-window.left, -window.top);
        CRect inner = window;
        inner.DeflateRect(m_nBorderWidth, m_nBorderWidth);
        const int saved = ::SaveDC(dc);
        ::ExcludeClipRect(dc, inner.left, inner.top, inner.right, inner.bottom);
        SendMessage(WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc));
        ::FillRect(dc, &window, ::GetSysColorBrush(COLOR_BTNFACE));
        if (::GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE) {
            RECT edges[4] = {{window.left, window.top, window.right, window.top + 1},
                             {window.left, window.top, window.left + 1, window.bottom},
                             {window.left, window.bottom - 1, window.right, window.bottom},
                             {window.right - 1, window.top, window.right, window.bottom}};
            for (int i = 0; i < 4; ++i)
                ::FillRect(dc, &edges[i], ::GetSysColorBrush(i < 2 ? COLOR_BTNSHADOW : COLOR_BTNHIGHLIGHT));
        }
        ::RestoreDC(dc, saved);
        ::ReleaseDC(m_hWnd, dc);
    }
    m_bPaintingNc = FALSE;
}

void COX3DTabViewContainer::OnSetFocus(CWnd* pOldWnd) {
    CTabCtrl::OnSetFocus(pOldWnd);
    if (CWnd* page = GetActivePage())
        page->SetFocus();
}

void COX3DTabViewContainer::OnDestroy() {
    HideActivePage();
    m_nActivePageIndex = -1;
    for (int i = GetPageCount() - 1; i >= 0; --i)
        DeletePage(i, TRUE);
    m_dropTarget.Revoke();
    CTabCtrl::OnDestroy();
}

void COX3DTabViewContainer::OnSelChange(NMHDR*, LRESULT* pResult) {
    const int selected = GetCurSel();
    // The filler has no page: its tab gives the selection back to the active page's.
    if (!SetActivePageIndex(selected) && m_nActivePageIndex >= 0)
        SetCurSel(m_nActivePageIndex);
    *pResult = 0;
}

BOOL COX3DTabViewContainer::OnCommand(WPARAM wParam, LPARAM lParam) {
    if (CTabCtrl::OnCommand(wParam, lParam))
        return TRUE;
    if (CWnd* parent = GetParent())
        parent->SendMessage(WM_COMMAND, wParam, lParam);
    return TRUE;
}

BOOL COX3DTabViewContainer::OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) {
    if (CTabCtrl::OnNotify(wParam, lParam, pResult))
        return TRUE;
    if (CWnd* parent = GetParent())
        *pResult = parent->SendMessage(WM_NOTIFY, wParam, lParam);
    return TRUE;
}
