#include "OXGridList.h"

#include <algorithm>

#include "MemDC.h"

namespace {

constexpr int kCheckWidth = 13;
constexpr int kCheckHeight = 11;
constexpr COLORREF kMask = RGB(255, 0, 255);

int StateOf(UINT state) {
    return static_cast<int>((state & LVIS_STATEIMAGEMASK) >> 12) - 1;
}

struct SortContext {
    COXGridList* list;
    int column;
    bool ascending;
};

} // namespace

IMPLEMENT_DYNAMIC(COXGridList, CListCtrl)

BEGIN_MESSAGE_MAP(COXGridList, CListCtrl)
ON_WM_CREATE()
ON_WM_LBUTTONDOWN()
ON_WM_LBUTTONDBLCLK()
ON_WM_SIZE()
ON_WM_KEYDOWN()
ON_WM_CHAR()
ON_WM_VSCROLL()
ON_WM_MOUSEWHEEL()
ON_WM_SETFOCUS()
ON_WM_KILLFOCUS()
ON_WM_DESTROY()
ON_WM_CONTEXTMENU()
ON_WM_ERASEBKGND()
ON_NOTIFY_REFLECT_EX(LVN_COLUMNCLICK, &COXGridList::OnColumnClick)
ON_MESSAGE(LVM_INSERTITEMA, &COXGridList::OnInsertItem)
ON_MESSAGE(LVM_INSERTCOLUMNA, &COXGridList::OnInsertColumn)
ON_MESSAGE(LVM_DELETECOLUMN, &COXGridList::OnDeleteColumn)
ON_MESSAGE(LVM_DELETEITEM, &COXGridList::OnDeleteItem)
ON_MESSAGE(LVM_EDITLABELA, &COXGridList::OnEditLabel)
ON_NOTIFY_REFLECT_EX(LVN_BEGINLABELEDITA, &COXGridList::OnBeginLabelEdit)
ON_NOTIFY_REFLECT_EX(LVN_ENDLABELEDITA, &COXGridList::OnEndLabelEdit)
END_MESSAGE_MAP()

COXGridList::COXGridList() = default;

COXGridList::~COXGridList() {
    if (m_header.m_hWnd)
        m_header.UnsubclassWindow();
    if (m_hWnd)
        DestroyWindow();
}

BOOL COXGridList::Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID) {
    dwStyle = (dwStyle & ~LVS_TYPEMASK) | LVS_REPORT | LVS_OWNERDRAWFIXED;
    return CListCtrl::Create(dwStyle, rect, pParentWnd, nID);
}

int COXGridList::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CListCtrl::OnCreate(lpCreateStruct) == -1)
        return -1;
    return InitGrid() ? 0 : -1;
}

void COXGridList::PreSubclassWindow() {
    CListCtrl::PreSubclassWindow();
    // A list a dialog made is set up as one this class creates.
    if (!m_bInitialised)
        InitGrid();
}

BOOL COXGridList::InitGrid() {
    SetBkColor(::GetSysColor(COLOR_WINDOW));
    SetTextBkColor(::GetSysColor(COLOR_WINDOW));
    SetTextColor(::GetSysColor(COLOR_WINDOWTEXT));
    m_bHighlight = TRUE;
    m_editable.assign(static_cast<size_t>(std::max(GetColumnCount(), 0)), 0);
    SubclassHeader();
    m_bInitialised = TRUE;
    return TRUE;
}

void COXGridList::SubclassHeader() {
    if (m_header.m_hWnd)
        return;
    if (HWND header = ::GetDlgItem(m_hWnd, 0))
        m_header.SubclassWindow(header);
}

int COXGridList::GetColumnCount() const {
    const CHeaderCtrl* header = GetHeaderCtrl();
    return header ? header->GetItemCount() : 0;
}

void COXGridList::ResizeColumnsToFit() {
    const int columns = GetColumnCount();
    if (columns <= 0)
        return;
    CRect client;
    GetClientRect(&client);
    const int each = client.Width() / columns;
    for (int c = 0; c < columns; ++c)
        SetColumnWidth(c, c == columns - 1 ? each + client.Width() % columns : each);
}

void COXGridList::SetGridLines(BOOL bOn, COLORREF color, BOOL bRedraw) {
    m_bGridLines = bOn;
    m_gridColor = color;
    if (m_gridPen.GetSafeHandle())
        m_gridPen.DeleteObject();
    // Dotted, one pixel on and one off; a plain line where the dotted pen cannot be made.
    LOGBRUSH brush{BS_SOLID, color, 0};
    if (HPEN pen = ::ExtCreatePen(PS_COSMETIC | PS_ALTERNATE, 1, &brush, 0, nullptr))
        m_gridPen.Attach(pen);
    else
        m_gridPen.CreatePen(PS_SOLID, 1, color);
    if (bRedraw && m_hWnd)
        Invalidate();
}

void COXGridList::GetGridLines(BOOL& bOn, COLORREF& color) const {
    bOn = m_bGridLines;
    color = m_gridColor;
}

void COXGridList::SetGridLineOrientation(BOOL bHorizontal, BOOL bVertical) {
    m_bHorizontalLines = bHorizontal;
    m_bVerticalLines = bVertical;
    if (m_hWnd)
        Invalidate();
}

void COXGridList::SetTextFont(CFont* pFont, BOOL bRedraw) {
    if (m_textFont.GetSafeHandle())
        m_textFont.DeleteObject();
    LOGFONTA lf{};
    if (pFont && pFont->GetLogFont(&lf))
        m_textFont.CreateFontIndirect(&lf);
    if (m_hWnd)
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(m_textFont.GetSafeHandle()), bRedraw);
}

void COXGridList::SetShowSelAlways(BOOL bOn) {
    ModifyStyle(bOn ? 0 : LVS_SHOWSELALWAYS, bOn ? LVS_SHOWSELALWAYS : 0);
}

void COXGridList::SetMultipleSelection(BOOL bOn) {
    if (bOn) {
        ModifyStyle(LVS_SINGLESEL, 0);
        return;
    }
    // Only the first selected item stays selected.
    const int first = GetNextItem(-1, LVNI_SELECTED);
    for (int item = GetNextItem(first, LVNI_SELECTED); first >= 0 && item >= 0; item = GetNextItem(item, LVNI_SELECTED))
        SetItemState(item, 0, LVIS_SELECTED);
    ModifyStyle(0, LVS_SINGLESEL);
}

void COXGridList::SetEditable(BOOL bEditable, int nColumn) {
    const int columns = GetColumnCount();
    m_editable.resize(static_cast<size_t>(std::max(columns, 0)), 0);
    for (int c = 0; c < columns; ++c)
        if (nColumn < 0 || c == nColumn)
            m_editable[static_cast<size_t>(c)] = bEditable ? 1 : 0;
    if (bEditable)
        ModifyStyle(0, LVS_EDITLABELS);
}

BOOL COXGridList::IsColumnEditable(int nColumn) const {
    return nColumn >= 0 && static_cast<size_t>(nColumn) < m_editable.size() && m_editable[nColumn] != 0;
}

// The editable flags follow their columns: a column inserted or deleted moves the flags of those after it.
LRESULT COXGridList::OnInsertColumn(WPARAM, LPARAM) {
    const LRESULT at = Default();
    if (at >= 0) {
        m_editable.resize(static_cast<size_t>(std::max(GetColumnCount() - 1, 0)), 0);
        const size_t index = std::min(static_cast<size_t>(at), m_editable.size());
        m_editable.insert(m_editable.begin() + static_cast<std::ptrdiff_t>(index), 0);
    }
    return at;
}

LRESULT COXGridList::OnDeleteColumn(WPARAM wParam, LPARAM) {
    const LRESULT deleted = Default();
    const size_t index = static_cast<size_t>(static_cast<int>(wParam));
    if (deleted && static_cast<int>(wParam) >= 0 && index < m_editable.size())
        m_editable.erase(m_editable.begin() + static_cast<std::ptrdiff_t>(index));
    return deleted;
}

BOOL COXGridList::CreateCheckImageList() {
    if (m_checkImages.GetSafeHandle())
        return TRUE;
    // The three boxes drawn anew: unchecked, checked (a tick) and indeterminate (grey inside), on the mask.
    CClientDC screen(this);
    CDC dc;
    CBitmap bitmap;
    if (!dc.CreateCompatibleDC(&screen) || !bitmap.CreateCompatibleBitmap(&screen, 3 * kCheckWidth, kCheckHeight))
        return FALSE;
    CBitmap* old = dc.SelectObject(&bitmap);
    CRect all(0, 0, 3 * kCheckWidth, kCheckHeight);
    dc.FillSolidRect(&all, kMask);
    for (int i = 0; i < 3; ++i) {
        CRect box(i * kCheckWidth, 0, i * kCheckWidth + kCheckHeight, kCheckHeight);
        dc.FillSolidRect(&box, i == 2 ? RGB(192, 192, 192) : RGB(255, 255, 255));
        dc.Draw3dRect(&box, RGB(128, 128, 128), RGB(128, 128, 128));
        if (i >= 1) {
            const COLORREF ink = i == 1 ? RGB(0, 0, 0) : RGB(128, 128, 128);
            const int x = box.left + 2, y = box.top + 4;
            for (int d = 0; d < 3; ++d) {
                dc.SetPixel(x + d, y + d, ink);
                dc.SetPixel(x + d, y + d + 1, ink);
            }
            for (int d = 0; d < 4; ++d) {
                dc.SetPixel(x + 3 + d, y + 1 - d, ink);
                dc.SetPixel(x + 3 + d, y + 2 - d, ink);
            }
        }
    }
    dc.SelectObject(old);
    if (!m_checkImages.Create(kCheckWidth, kCheckHeight, ILC_COLOR24 | ILC_MASK, 3, 0))
        return FALSE;
    m_checkImages.Add(&bitmap, kMask);
    return TRUE;
}

BOOL COXGridList::SetCheckable(BOOL bOn) {
    if (bOn) {
        if (!SendMessage(LVM_GETIMAGELIST, LVSIL_STATE, 0)) {
            if (!CreateCheckImageList())
                return FALSE;
            SetImageList(&m_checkImages, LVSIL_STATE);
        }
        m_bCheckable = TRUE;
        for (int i = 0; i < GetItemCount(); ++i)
            SetItemState(i, INDEXTOSTATEIMAGEMASK(1), LVIS_STATEIMAGEMASK);
        return TRUE;
    }
    for (int i = 0; i < GetItemCount(); ++i)
        SetItemState(i, 0, LVIS_STATEIMAGEMASK);
    m_bCheckable = FALSE;
    return TRUE;
}

int COXGridList::GetCheck(int nItem) const {
    if (!m_bCheckable)
        return -1;
    return StateOf(GetItemState(nItem, LVIS_STATEIMAGEMASK));
}

BOOL COXGridList::SetCheck(int nItem, int nState) {
    if (!m_bCheckable || nState < -1 || nState > 2)
        return FALSE;
    if (nState == 2 && (m_nCheckStyle == 2 || m_nCheckStyle == 3))
        return FALSE; // two-state styles have no indeterminate state
    return SetItemState(nItem, INDEXTOSTATEIMAGEMASK(static_cast<UINT>(nState + 1)), LVIS_STATEIMAGEMASK);
}

BOOL COXGridList::ToggleCheck(int nItem) {
    if (!m_bCheckable || (m_nCheckStyle != 3 && m_nCheckStyle != 6) || nItem < 0 || nItem >= GetItemCount())
        return FALSE;
    const int state = GetCheck(nItem);
    const int next = (std::max(state, 0) + 1) % (m_nCheckStyle == 3 ? 2 : 3);
    // A state change of the list: the parent's LVN_ITEMCHANGING may refuse it, and then nothing changes.
    if (!SetItemState(nItem, INDEXTOSTATEIMAGEMASK(static_cast<UINT>(next + 1)), LVIS_STATEIMAGEMASK) ||
        GetCheck(nItem) != next)
        return FALSE;
    if (GetItemState(nItem, LVIS_SELECTED) & LVIS_SELECTED)
        for (int item = GetNextItem(-1, LVNI_SELECTED); item >= 0; item = GetNextItem(item, LVNI_SELECTED))
            if (item != nItem && GetCheck(item) != next)
                SetItemState(item, INDEXTOSTATEIMAGEMASK(static_cast<UINT>(next + 1)), LVIS_STATEIMAGEMASK);
    return TRUE;
}

BOOL COXGridList::IsLastItemVisible() const {
    const int count = GetItemCount();
    return count == 0 || GetTopIndex() + GetCountPerPage() >= count;
}

LRESULT COXGridList::OnInsertItem(WPARAM, LPARAM lParam) {
    const auto* item = reinterpret_cast<const LVITEMA*>(lParam);
    if (!m_bCheckable || !item ||
        ((item->mask & LVIF_STATE) && (item->stateMask & LVIS_STATEIMAGEMASK) && (item->state & LVIS_STATEIMAGEMASK)))
        return Default();
    // An item inserted with no check box gets an unchecked one.
    LVITEMA copy = *item;
    copy.mask |= LVIF_STATE;
    copy.stateMask |= LVIS_STATEIMAGEMASK;
    copy.state = (copy.state & ~LVIS_STATEIMAGEMASK) | INDEXTOSTATEIMAGEMASK(1);
    return DefWindowProc(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&copy));
}

// ---- sorting

void COXGridList::SetSortable(BOOL bOn) {
    m_bSortable = bOn;
    m_nItemDataMode = bOn ? 3 : 1;
    if (!bOn) {
        m_nSortColumn = -1;
        m_header.SetSortColumn(-1, 0);
    }
}

int CALLBACK COXGridList::CompareItems(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort) {
    const auto* ctx = reinterpret_cast<const SortContext*>(lParamSort);
    const CString a = ctx->list->GetItemText(static_cast<int>(lParam1), ctx->column);
    const CString b = ctx->list->GetItemText(static_cast<int>(lParam2), ctx->column);
    const int result = a.CompareNoCase(b);
    return ctx->ascending ? result : -result;
}

BOOL COXGridList::SortColumn(int nColumn) {
    if (nColumn < 0 || nColumn >= GetColumnCount())
        return FALSE;
    SortContext ctx{this, nColumn, m_bSortAscending != FALSE};
    // By index, so that the caller's item data need not tell items apart.
    const BOOL sorted = SortItemsEx(&COXGridList::CompareItems, reinterpret_cast<DWORD_PTR>(&ctx));
    m_nSortColumn = nColumn;
    m_header.SetSortColumn(nColumn, m_bSortAscending ? 1 : -1);
    return sorted;
}

BOOL COXGridList::OnColumnClick(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    if (!m_bSortable)
        return FALSE;
    const int column = reinterpret_cast<NMLISTVIEW*>(pNMHDR)->iSubItem;
    CWaitCursor wait;
    m_bSortAscending = column == m_nSortColumn ? !m_bSortAscending : TRUE;
    SortColumn(column);
    return FALSE; // the parent hears of the click too
}

// ---- input

void COXGridList::OnLButtonDown(UINT nFlags, CPoint point) {
    UINT flags = 0;
    const int item = HitTest(point, &flags);
    if (item >= 0 && m_bCheckable && (flags & LVHT_ONITEMSTATEICON)) {
        // A click on the box toggles it and neither selects the item nor gets the default handling.
        ToggleCheck(item);
        return;
    }
    CListCtrl::OnLButtonDown(nFlags, point);
}

void COXGridList::OnLButtonDblClk(UINT nFlags, CPoint point) {
    const int item = HitTest(point, nullptr);
    if (item >= 0 && m_bCheckable)
        ToggleCheck(item);
    CListCtrl::OnLButtonDblClk(nFlags, point);
}

void COXGridList::NoticeLastItem(BOOL bWasVisible) {
    if (!bWasVisible && IsLastItemVisible())
        OnLastItemVisible();
}

void COXGridList::OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar) {
    const BOOL wasVisible = IsLastItemVisible();
    CListCtrl::OnVScroll(nSBCode, nPos, pScrollBar);
    NoticeLastItem(wasVisible);
}

BOOL COXGridList::OnMouseWheel(UINT nFlags, short zDelta, CPoint pt) {
    const BOOL wasVisible = IsLastItemVisible();
    const BOOL handled = CListCtrl::OnMouseWheel(nFlags, zDelta, pt);
    NoticeLastItem(wasVisible);
    return handled;
}

void COXGridList::RedrawFocusedItems() {
    const int focused = GetNextItem(-1, LVNI_FOCUSED);
    if (focused >= 0)
        RedrawItems(focused, focused);
    if (!(GetStyle() & LVS_SHOWSELALWAYS))
        for (int item = GetNextItem(-1, LVNI_SELECTED); item >= 0; item = GetNextItem(item, LVNI_SELECTED))
            RedrawItems(item, item);
}

void COXGridList::OnSetFocus(CWnd* pOldWnd) {
    CListCtrl::OnSetFocus(pOldWnd);
    RedrawFocusedItems();
}

void COXGridList::OnKillFocus(CWnd* pNewWnd) {
    CListCtrl::OnKillFocus(pNewWnd);
    RedrawFocusedItems();
}

LRESULT COXGridList::OnDeleteItem(WPARAM wParam, LPARAM) {
    const int item = static_cast<int>(wParam);
    if (item < 0 || item >= GetItemCount())
        return Default(); // the list refuses it: nothing moves
    // At the end of the list the rows below the deleted one move up and would leave a blank row at the
    // bottom: one row up first keeps the list full.
    if (GetTopIndex() > 0 && IsLastItemVisible()) {
        CRect row;
        if (GetItemRect(GetTopIndex(), &row, LVIR_BOUNDS) && row.Height() > 0)
            Scroll(CSize(0, -row.Height()));
    }
    return Default();
}

void COXGridList::OnDestroy() {
    // A list made again on the same object starts as a new one would.
    if (m_gridEdit.m_hWnd)
        m_gridEdit.UnsubclassWindow();
    if (m_header.m_hWnd) {
        m_header.SetSortColumn(-1, 0);
        m_header.UnsubclassWindow();
    }
    m_nItemDataMode = 1;
    m_bSortable = FALSE;
    m_bCheckable = FALSE;
    m_nCheckStyle = 3;
    m_bTypeToEdit = FALSE;
    m_bGridLines = FALSE;
    m_bHorizontalLines = TRUE;
    m_bVerticalLines = TRUE;
    m_editable.clear();
    m_nSortColumn = -1;
    m_bSortAscending = TRUE;
    m_bInitialised = FALSE;
    CListCtrl::OnDestroy();
}

void COXGridList::OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags) {
    const BOOL wasVisible = IsLastItemVisible();
    if (nChar == VK_INSERT) {
        const int focused = GetNextItem(-1, LVNI_FOCUSED);
        const int column = NextEditableColumn(-1, 1);
        if (focused >= 0 && column >= 0) {
            SendMessage(LVM_EDITLABELA, static_cast<WPARAM>(focused), column);
            return;
        }
    }
    if (nChar == VK_SPACE && m_bCheckable) {
        const int focused = GetNextItem(-1, LVNI_FOCUSED);
        if (focused >= 0) {
            ToggleCheck(focused);
            return;
        }
    }
    CListCtrl::OnKeyDown(nChar, nRepCnt, nFlags);
    NoticeLastItem(wasVisible);
}

void COXGridList::OnChar(UINT nChar, UINT nRepCnt, UINT nFlags) {
    if (!m_bTypeToEdit || nChar == VK_ESCAPE || nChar == VK_RETURN || nChar == VK_BACK) {
        CListCtrl::OnChar(nChar, nRepCnt, nFlags);
        return;
    }
    const int focused = GetNextItem(-1, LVNI_FOCUSED);
    const int column = NextEditableColumn(-1, 1);
    if (focused < 0 || column < 0) {
        ::MessageBeep(MB_OK); // nothing here can take the typing
        return;
    }
    if (!SendMessage(LVM_EDITLABELA, static_cast<WPARAM>(focused), column))
        return;
    // The key typed is the editor's first character, the caret after it, so typing goes on naturally.
    if (m_gridEdit.m_hWnd) {
        const char first[2] = {static_cast<char>(nChar), '\0'};
        m_gridEdit.KeepText(first);
        m_gridEdit.SetSel(1, 1);
        m_gridEdit.ApplyPlacement();
    }
}

void COXGridList::OnSize(UINT nType, int cx, int cy) {
    CListCtrl::OnSize(nType, cx, cy);
}

void COXGridList::OnContextMenu(CWnd* pWnd, CPoint pos) {
    if (!m_hContextMenu) {
        CListCtrl::OnContextMenu(pWnd, pos);
        return;
    }
    if (CWnd* parent = GetParent()) {
        NMGRIDMENU record{};
        record.hdr.hwndFrom = m_hWnd;
        record.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID());
        record.hdr.code = OXGRID_CONTEXTMENU;
        record.hMenu = m_hContextMenu;
        record.point = pos;
        if (parent->SendMessage(WM_NOTIFY, record.hdr.idFrom, reinterpret_cast<LPARAM>(&record)) != 0)
            return;
    }
    HMENU popup = ::GetSubMenu(m_hContextMenu, 0);
    ::TrackPopupMenu(popup ? popup : m_hContextMenu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, pos.x, pos.y, 0,
                     GetParent() ? GetParent()->m_hWnd : m_hWnd, nullptr);
}

BOOL COXGridList::OnEraseBkgnd(CDC* pDC) {
    // Items paint themselves whole; only what lies below the last one is erased.
    CRect client;
    GetClientRect(&client);
    const int count = GetItemCount();
    if (count > 0) {
        CRect last;
        GetItemRect(count - 1, &last, LVIR_BOUNDS);
        client.top = std::max<LONG>(client.top, last.bottom);
    }
    if (client.bottom > client.top)
        pDC->FillSolidRect(&client, GetBkColor());
    return TRUE;
}

// ---- drawing

void COXGridList::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) {
    if (!(lpDrawItemStruct->itemAction & (ODA_DRAWENTIRE | ODA_SELECT)))
        return;
    CDC* pDC = CDC::FromHandle(lpDrawItemStruct->hDC);
    const int item = static_cast<int>(lpDrawItemStruct->itemID);
    const bool focus = ::GetFocus() == m_hWnd;
    const bool selected = (GetItemState(item, LVIS_SELECTED) & LVIS_SELECTED) != 0 &&
                          (focus || (GetStyle() & LVS_SHOWSELALWAYS)) && m_bHighlight;
    COLORREF text = GetTextColor();
    COLORREF back = GetTextBkColor();
    if (selected) {
        text = ::GetSysColor(COLOR_HIGHLIGHTTEXT);
        back = ::GetSysColor(COLOR_HIGHLIGHT);
    } else if (!IsWindowEnabled()) {
        back = ::GetSysColor(COLOR_INACTIVEBORDER);
    }
    DrawItemColumns(pDC, lpDrawItemStruct, text, back);
    if (focus && (GetItemState(item, LVIS_FOCUSED) & LVIS_FOCUSED)) {
        CRect bounds;
        GetItemRect(item, &bounds, LVIR_BOUNDS);
        pDC->DrawFocusRect(&bounds);
    }
    if (m_bGridLines)
        DrawGridLines(pDC, CRect(lpDrawItemStruct->rcItem));
}

void COXGridList::DrawItemColumns(CDC* pDC, LPDRAWITEMSTRUCT lpDrawItemStruct, COLORREF text, COLORREF back) {
    const int item = static_cast<int>(lpDrawItemStruct->itemID);
    CRect client;
    GetClientRect(&client);
    pDC->SetTextColor(text);
    for (int column = 0; column < GetColumnCount(); ++column) {
        CRect cell;
        if (!GetSubItemRect(item, column, LVIR_BOUNDS, cell))
            continue;
        if (column == 0) {
            // The first column's bounds are the whole item's: it ends where the second column starts.
            cell.right = cell.left + GetColumnWidth(0);
        }
        CRect visible;
        if (!visible.IntersectRect(&cell, &client))
            continue;
        pDC->FillSolidRect(&cell, back);
        if (column == m_nImageColumn && m_bCheckable) {
            const int state = GetCheck(item);
            if (state >= 0) {
                const int y = cell.top + (cell.Height() - kCheckHeight) / 2;
                m_checkImages.SetBkColor(back);
                m_checkImages.Draw(pDC, state, CPoint(cell.left + 2, y), ILD_TRANSPARENT);
                m_checkImages.SetBkColor(CLR_NONE);
            }
            cell.left += kCheckWidth + 4;
        }
        if (column == m_nImageColumn)
            cell.left = DrawSmallImage(pDC, item, cell, back);
        LVCOLUMNA col{};
        col.mask = LVCF_FMT;
        GetColumn(column, &col);
        DrawCellText(pDC, GetItemText(item, column), cell, col.fmt);
    }
}

int COXGridList::DrawSmallImage(CDC* pDC, int nItem, const CRect& cell, COLORREF back) {
    auto images = reinterpret_cast<HIMAGELIST>(SendMessage(LVM_GETIMAGELIST, LVSIL_SMALL));
    int cx = 0, cy = 0;
    if (images == nullptr || !::ImageList_GetIconSize(images, &cx, &cy))
        return cell.left;
    LVITEMA lv{};
    lv.mask = LVIF_IMAGE;
    lv.iItem = nItem;
    if (GetItem(&lv) && lv.iImage >= 0) {
        // The image's transparent parts take the row's colour, selected or not.
        const COLORREF was = ::ImageList_SetBkColor(images, back);
        ::ImageList_Draw(images, lv.iImage, pDC->GetSafeHdc(), cell.left, cell.top + (cell.Height() - cy) / 2,
                         ILD_NORMAL);
        ::ImageList_SetBkColor(images, was);
    }
    // Every row keeps the image's room, so that the texts of a column line up.
    return cell.left + cx + 2;
}

void COXGridList::DrawCellText(CDC* pDC, const CString& text, CRect rect, int nFormat) {
    UINT format = DT_END_ELLIPSIS | DT_NOPREFIX | DT_SINGLELINE | DT_VCENTER;
    if ((nFormat & LVCFMT_JUSTIFYMASK) == LVCFMT_RIGHT)
        format |= DT_RIGHT;
    else if ((nFormat & LVCFMT_JUSTIFYMASK) == LVCFMT_CENTER)
        format |= DT_CENTER;
    rect.left += 2;
    rect.right -= 2;
    rect.top += 1;
    pDC->SetBkMode(TRANSPARENT);
    pDC->DrawText(text, &rect, format);
}

void COXGridList::DrawGridLines(CDC* pDC, const CRect& itemRect) {
    CPen* old = pDC->SelectObject(&m_gridPen);
    if (m_bVerticalLines) {
        int x = itemRect.left;
        for (int column = 0; column < GetColumnCount(); ++column) {
            x += GetColumnWidth(column);
            pDC->MoveTo(x - 1, itemRect.top);
            pDC->LineTo(x - 1, itemRect.bottom);
        }
    }
    if (m_bHorizontalLines) {
        pDC->MoveTo(itemRect.left, itemRect.bottom - 1);
        pDC->LineTo(itemRect.right, itemRect.bottom - 1);
    }
    pDC->SelectObject(old);
}

// ---- in-place editing

int COXGridList::NextEditableColumn(int nColumn, int nStep) const {
    const int columns = GetColumnCount();
    for (int i = 1; i <= columns; ++i) {
        const int column = ((nColumn + nStep * i) % columns + columns) % columns;
        if (IsColumnEditable(column))
            return column;
    }
    return -1;
}

BOOL COXGridList::EnsureCellVisible(int nItem, int nColumn, BOOL bPartialOK) {
    if (nItem < 0 || nItem >= GetItemCount() || nColumn < 0 || nColumn >= GetColumnCount())
        return FALSE;
    EnsureVisible(nItem, bPartialOK);
    CRect cell, client;
    if (!GetSubItemRect(nItem, nColumn, LVIR_BOUNDS, cell))
        return FALSE;
    if (nColumn == 0)
        cell.right = cell.left + GetColumnWidth(0); // the first column's bounds are the whole item's
    GetClientRect(&client);
    int dx = 0;
    if (cell.left < client.left)
        dx = cell.left - client.left;
    else if (cell.right > client.right)
        dx = std::min(cell.right - client.right, cell.left - client.left); // its left edge stays in view
    if (dx != 0)
        Scroll(CSize(dx, 0));
    return TRUE;
}

LRESULT COXGridList::OnEditLabel(WPARAM wParam, LPARAM lParam) {
    const LRESULT edit = Default();
    // Set up once the edit has begun, not at LVN_BEGINLABELEDIT: the parent may still refuse it after the list.
    if (edit) {
        if (m_gridEdit.m_hWnd)
            m_gridEdit.UnsubclassWindow();
        m_gridEdit.ResetEndKey();
        m_gridEdit.SubclassWindow(reinterpret_cast<HWND>(edit));
        // The cell's own text, whichever column it is, kept through the editor's placement.
        m_gridEdit.KeepText(GetItemText(static_cast<int>(wParam), static_cast<int>(lParam)));
        m_gridEdit.SetSel(0, -1);
        PlaceEditor(static_cast<int>(wParam), static_cast<int>(lParam));
    }
    return edit;
}

void COXGridList::PlaceEditor(int nItem, int nColumn) {
    m_gridEdit.ClearPlacement();
    CRect cell, client;
    if (!GetSubItemRect(nItem, nColumn, LVIR_LABEL, cell))
        return;
    GetClientRect(&client);
    // A cell scrolled partly off the left still gets its editor wholly in view, sized to what is typed.
    m_gridEdit.SetForcedPosition(CPoint(std::max<LONG>(cell.left, 0), cell.top));
    m_gridEdit.SetForcedHeight(cell.Height());
    if (cell.left < client.left)
        m_gridEdit.SetWidthFollowsText(15);
    m_gridEdit.SetRightLimit(client.right);
    m_gridEdit.ApplyPlacement();
}

BOOL COXGridList::OnBeginLabelEdit(NMHDR* pNMHDR, LRESULT* pResult) {
    const auto* info = reinterpret_cast<const NMLVDISPINFOA*>(pNMHDR);
    if (!IsColumnEditable(info->item.iSubItem)) {
        *pResult = TRUE; // refused: the column is not editable
        return TRUE;
    }
    for (int item = GetNextItem(-1, LVNI_SELECTED); item >= 0; item = GetNextItem(item, LVNI_SELECTED))
        if (item != info->item.iItem)
            SetItemState(item, 0, LVIS_SELECTED);
    *pResult = FALSE;
    return FALSE; // the parent may still refuse
}

BOOL COXGridList::OnEndLabelEdit(NMHDR* pNMHDR, LRESULT* pResult) {
    const auto* info = reinterpret_cast<const NMLVDISPINFOA*>(pNMHDR);
    // Keeping the text sets the cell, which the parent hears of as an item change it can refuse.
    *pResult = info->item.pszText != nullptr;
    const UINT key = m_gridEdit.GetEndKey();
    if (!info->item.pszText || !key)
        return TRUE;
    const int count = GetItemCount();
    int item = info->item.iItem;
    int column = info->item.iSubItem;
    switch (key) {
    case VK_TAB: column = NextEditableColumn(column, m_gridEdit.EndedWithShift() ? -1 : 1); break;
    case VK_INSERT: column = (column + 1) % std::max(GetColumnCount(), 1); break;
    case VK_UP: item = item == 0 ? count - 1 : item - 1; break;
    case VK_DOWN: item = item + 1 >= count ? 0 : item + 1; break;
    default: return TRUE;
    }
    if (item < 0 || column < 0)
        return TRUE;
    EnsureCellVisible(item, column, FALSE);
    // Restarted once this editing has wound up.
    PostMessage(LVM_EDITLABELA, static_cast<WPARAM>(item), column);
    return TRUE;
}
