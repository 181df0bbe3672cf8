#include "TreeCtrlEx.h"

#include <cstring>

#include "MemDC.h"

IMPLEMENT_DYNAMIC(CTreeCtrlEx, CTreeCtrl)

BEGIN_MESSAGE_MAP(CTreeCtrlEx, CTreeCtrl)
ON_WM_LBUTTONDOWN()
ON_WM_KEYDOWN()
ON_WM_SETFOCUS()
ON_WM_KILLFOCUS()
ON_WM_PAINT()
ON_WM_ERASEBKGND()
ON_NOTIFY_REFLECT_EX(TVN_DELETEITEM, &CTreeCtrlEx::OnDeleteItem)
END_MESSAGE_MAP()

namespace {
constexpr UINT kStateImageMask = 0xF000;
constexpr int kLabelOffsetX = 2;
constexpr int kLabelOffsetY = 1;
} // namespace

CTreeCtrlEx::CTreeCtrlEx() {
    m_mapColorFont.InitHashTable(17, FALSE);
}

CTreeCtrlEx::~CTreeCtrlEx() = default;

int CTreeCtrlEx::GetCheckState(HTREEITEM hItem) const {
    if (!hItem)
        return TREE_CHECK_NOSTATE;
    return static_cast<int>((GetItemState(hItem, kStateImageMask) & kStateImageMask) >> 12);
}

void CTreeCtrlEx::SetCheckState(HTREEITEM hItem, int nState) {
    SetItemState(hItem, INDEXTOSTATEIMAGEMASK(nState), kStateImageMask);
}

void CTreeCtrlEx::NotifyCheck(HTREEITEM hItem, int nState) {
    struct {
        NMHDR hdr;
        TVITEMA item;
    } notice{};
    static_assert(sizeof notice == 80 && offsetof(decltype(notice), item) == 24);
    notice.hdr.hwndFrom = m_hWnd;
    notice.hdr.idFrom = static_cast<UINT_PTR>(static_cast<WORD>(GetDlgCtrlID()));
    notice.hdr.code = TVN_SETDISPINFOA;
    notice.item.mask = TVIF_STATE | TVIF_HANDLE;
    notice.item.hItem = hItem;
    notice.item.state = INDEXTOSTATEIMAGEMASK(nState);
    notice.item.stateMask = kStateImageMask;
    if (CWnd* parent = GetParent())
        parent->SendMessage(WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notice));
}

BOOL CTreeCtrlEx::SetCheck(HTREEITEM hItem, int nAction) {
    if (!hItem)
        return FALSE;
    const int before = GetCheckState(hItem);
    int after = before;
    switch (nAction) {
    case TREE_CHECK_ACTION_CHECK:
        if (before == TREE_CHECK_UNCHECKED)
            after = TREE_CHECK_CHECKED;
        break;
    case TREE_CHECK_ACTION_UNCHECK:
        if (before == TREE_CHECK_CHECKED)
            after = TREE_CHECK_UNCHECKED;
        break;
    case TREE_CHECK_ACTION_TOGGLE:
        if (before == TREE_CHECK_UNCHECKED)
            after = TREE_CHECK_CHECKED;
        else if (before == TREE_CHECK_CHECKED)
            after = TREE_CHECK_UNCHECKED;
        break;
    default: break;
    }
    // An unchanged check is no change: nothing cascades and nothing is reported.
    if (after == before)
        return TRUE;
    SetCheckState(hItem, after);
    if (m_nCascade == 1) {
        for (HTREEITEM child = GetChildItem(hItem); child; child = GetNextSiblingItem(child)) {
            const int state = GetCheckState(child);
            if (after == TREE_CHECK_UNCHECKED && state == TREE_CHECK_CHECKED)
                SetCheckState(child, TREE_CHECK_UNCHECKED);
            else if (after == TREE_CHECK_CHECKED && (state == TREE_CHECK_NOSTATE || state == TREE_CHECK_UNCHECKED))
                SetCheckState(child, TREE_CHECK_CHECKED);
        }
    }
    NotifyCheck(hItem, after);
    return TRUE;
}

HTREEITEM CTreeCtrlEx::GetNextItemInOrder(HTREEITEM hItem) const {
    if (!hItem)
        return nullptr;
    if (HTREEITEM child = GetChildItem(hItem))
        return child;
    for (HTREEITEM item = hItem; item; item = GetParentItem(item)) {
        if (HTREEITEM next = GetNextSiblingItem(item))
            return next;
    }
    return nullptr;
}

void CTreeCtrlEx::SetItemColor(HTREEITEM hItem, COLORREF color) {
    if (!hItem)
        return;
    m_mapColorFont[hItem].color = color;
    Invalidate();
}

COLORREF CTreeCtrlEx::GetItemColor(HTREEITEM hItem) const {
    Color_Font entry;
    return m_mapColorFont.Lookup(hItem, entry) ? entry.color : 0xFFFFFFFF;
}

void CTreeCtrlEx::SetItemFont(HTREEITEM hItem, const LOGFONTA& logfont) {
    if (!hItem)
        return;
    m_mapColorFont[hItem].logfont = logfont;
    Invalidate();
}

BOOL CTreeCtrlEx::GetItemFont(HTREEITEM hItem, LOGFONTA* pLogfont) const {
    Color_Font entry;
    if (!pLogfont || !m_mapColorFont.Lookup(hItem, entry))
        return FALSE;
    *pLogfont = entry.logfont;
    return TRUE;
}

void CTreeCtrlEx::SetItemBold(HTREEITEM hItem, BOOL bBold) {
    SetItemState(hItem, bBold ? TVIS_BOLD : 0, TVIS_BOLD);
}

void CTreeCtrlEx::OnLButtonDown(UINT nFlags, CPoint point) {
    if (m_bCheckEnabled) {
        UINT flags = 0;
        HTREEITEM hit = HitTest(point, &flags);
        if (hit && (flags & (TVHT_ONITEMSTATEICON | TVHT_ONITEMICON)))
            SetCheck(hit, TREE_CHECK_ACTION_TOGGLE);
    }
    CTreeCtrl::OnLButtonDown(nFlags, point);
}

void CTreeCtrlEx::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    if (nChar == VK_SPACE && m_bCheckEnabled) {
        if (HTREEITEM caret = GetSelectedItem())
            SetCheck(caret, TREE_CHECK_ACTION_TOGGLE);
    }
    CTreeCtrl::OnKeyDown(nChar, nRepCnt, nFlags);
}

void CTreeCtrlEx::OnSetFocus(CWnd* pOldWnd) {
    CTreeCtrl::OnSetFocus(pOldWnd);
    // Selected items are left to the tree's highlight, which changes with the focus.
    Invalidate();
}

void CTreeCtrlEx::OnKillFocus(CWnd* pNewWnd) {
    CTreeCtrl::OnKillFocus(pNewWnd);
    Invalidate();
}

BOOL CTreeCtrlEx::OnEraseBkgnd(CDC*) {
    // The paint fills the background off screen; erasing on screen first would flicker.
    return TRUE;
}

void CTreeCtrlEx::OnPaint() {
    CPaintDC dc(this);
    CMemDC memDC(&dc);
    DefWindowProc(WM_PAINT, reinterpret_cast<WPARAM>(memDC.m_hDC), 0);
    DrawColorFont(&memDC);
}

void CTreeCtrlEx::DrawColorFont(CDC* pDC) {
    if (m_mapColorFont.IsEmpty())
        return;
    const bool focused = ::GetFocus() == m_hWnd;
    const auto treeFont = reinterpret_cast<HFONT>(::SendMessageA(m_hWnd, WM_GETFONT, 0, 0));
    const UINT limit = GetVisibleCount() + 1;
    UINT drawn = 0;
    for (HTREEITEM item = GetFirstVisibleItem(); item && drawn < limit; item = GetNextVisibleItem(item), ++drawn) {
        if (focused && (GetItemState(item, TVIS_SELECTED | TVIS_DROPHILITED) & (TVIS_SELECTED | TVIS_DROPHILITED)))
            continue;
        Color_Font entry;
        if (!m_mapColorFont.Lookup(item, entry))
            continue;
        CRect label;
        if (!GetItemRect(item, &label, TRUE))
            continue;
        LOGFONTA logfont = entry.logfont;
        if (logfont.lfFaceName[0] == '\0') {
            logfont = LOGFONTA{};
            if (treeFont)
                ::GetObjectA(treeFont, sizeof logfont, &logfont);
            else
                ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof logfont, &logfont);
        }
        if (IsBold(item))
            logfont.lfWeight = FW_BOLD;
        CFont font;
        CFont* oldFont = nullptr;
        if ((logfont.lfFaceName[0] != '\0' || logfont.lfHeight != 0) && font.CreateFontIndirect(&logfont))
            oldFont = pDC->SelectObject(&font);
        pDC->SetTextColor(entry.color == 0xFFFFFFFF ? ::GetSysColor(COLOR_WINDOWTEXT) : entry.color);
        pDC->SetBkColor(::GetSysColor(COLOR_WINDOW));
        pDC->SetBkMode(OPAQUE);
        pDC->TextOut(label.left + kLabelOffsetX, label.top + kLabelOffsetY, GetItemText(item));
        if (oldFont)
            pDC->SelectObject(oldFont);
    }
}

BOOL CTreeCtrlEx::OnDeleteItem(NMHDR* pNMHDR, LRESULT* pResult) {
    const auto* tree = reinterpret_cast<const NMTREEVIEWA*>(pNMHDR);
    m_mapColorFont.RemoveKey(tree->itemOld.hItem);
    *pResult = 0;
    return FALSE; // the parent hears of the deletion too
}
