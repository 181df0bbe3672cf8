// The list view's geometry and scrolling: one rule, from the font metrics, for what it paints, what its
// rectangle messages report and where its hit tests find items (see WinListView.h).
#include <algorithm>
#include <cstdlib>

#include "WinImageList.h"
#include "WinPaint.h"
#include "WinRect.h"
#include "internal/ControlNotify.h"
#include "internal/ListViewState.h"

namespace win32::internal {

namespace {

int ImageWidth(HIMAGELIST list) {
    int cx = 0, cy = 0;
    if (list)
        ImageList_GetIconSize(list, &cx, &cy);
    return cx;
}

int ImageHeight(HIMAGELIST list) {
    int cx = 0, cy = 0;
    if (list)
        ImageList_GetIconSize(list, &cx, &cy);
    return cy;
}

RECT ClientOf(HWND hwnd) {
    RECT client{};
    GetClientRect(hwnd, &client);
    return client;
}

// The scroll bars repaint with the frame alone: the rows under them keep their pixels, so a change of the row
// count asks the parent for no cell it does not show anew.
void RedrawBars(HWND hwnd, const ListViewState& state) {
    const RECT none{};
    if (state.redraw)
        RedrawWindow(hwnd, &none, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_NOCHILDREN);
}

int RowTop(const ListViewState& state, int row) {
    return state.headerHeight + (row - state.top) * state.rowHeight;
}

} // namespace

std::vector<int> ColumnOrder(const ListViewState& state) {
    std::vector<int> order(state.columns.size());
    if (!order.empty() &&
        !SendMessageA(state.header, HDM_GETORDERARRAY, order.size(), reinterpret_cast<LPARAM>(order.data())))
        for (size_t i = 0; i < order.size(); ++i)
            order[i] = static_cast<int>(i);
    return order;
}

// The header lies along the top, moved left by the horizontal scroll, so its items stay over their columns.
void PlaceHeader(HWND hwnd, ListViewState& state) {
    if (!state.header)
        return;
    const RECT client = ClientOf(hwnd);
    const bool hidden = (GetWindowLongA(hwnd, GWL_STYLE) & LVS_NOCOLUMNHEADER) != 0;
    RECT area{client.left - state.scrollX, client.top, client.right, client.bottom};
    WINDOWPOS pos{};
    HDLAYOUT layout{&area, &pos};
    SendMessageA(state.header, HDM_LAYOUT, 0, reinterpret_cast<LPARAM>(&layout));
    state.headerHeight = hidden ? 0 : pos.cy;
    SetWindowPos(state.header, nullptr, pos.x, pos.y, pos.cx, pos.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE | (hidden || pos.cy == 0 ? SWP_HIDEWINDOW : SWP_SHOWWINDOW));
}

void LayoutListView(HWND hwnd, ListViewState& state) {
    const int charHeight = FontLineHeight(state.font);
    state.rowHeight = std::max(charHeight + 4, ImageHeight(state.smallImages) + 1);
    state.rowHeight = std::max(state.rowHeight, ImageHeight(state.stateImages) + 1);
    PlaceHeader(hwnd, state);
    const int scrolled = state.scrollX;
    UpdateScrollBars(hwnd, state);
    if (state.scrollX != scrolled)
        PlaceHeader(hwnd, state); // narrower columns brought the horizontal scroll back
}

int CountPerPage(HWND hwnd, const ListViewState& state) {
    const RECT client = ClientOf(hwnd);
    if (state.rowHeight <= 0)
        return 0;
    return std::max(0, static_cast<int>(client.bottom - state.headerHeight) / state.rowHeight);
}

int TotalColumnWidth(const ListViewState& state) {
    int total = 0;
    for (size_t i = 0; i < state.columns.size(); ++i) {
        RECT r{};
        SendMessageA(state.header, HDM_GETITEMRECT, i, reinterpret_cast<LPARAM>(&r));
        total = std::max(total, static_cast<int>(r.right));
    }
    return total;
}

RECT CellRect(HWND, const ListViewState& state, int row, int column) {
    RECT r{};
    SendMessageA(state.header, HDM_GETITEMRECT, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&r));
    const int top = RowTop(state, row);
    return RECT{r.left - state.scrollX, top, r.right - state.scrollX, top + state.rowHeight};
}

RECT RowBounds(HWND, const ListViewState& state, int row) {
    const int top = RowTop(state, row);
    return RECT{-state.scrollX, top, TotalColumnWidth(state) - state.scrollX, top + state.rowHeight};
}

RECT StateIconRect(HWND hwnd, const ListViewState& state, int row) {
    RECT cell = CellRect(hwnd, state, row, 0);
    cell.right = std::min<LONG>(cell.right, cell.left + ImageWidth(state.stateImages));
    return cell;
}

RECT IconRect(HWND hwnd, const ListViewState& state, int row) {
    const RECT column = CellRect(hwnd, state, row, 0);
    RECT icon = column;
    icon.left = StateIconRect(hwnd, state, row).right;
    icon.right = std::min<LONG>(column.right, icon.left + ImageWidth(state.smallImages));
    return icon;
}

RECT LabelRect(HWND hwnd, const ListViewState& state, int row) {
    RECT label = CellRect(hwnd, state, row, 0);
    label.left = IconRect(hwnd, state, row).right;
    label.right = std::max(label.left, label.right);
    return label;
}

BOOL ItemRectFor(HWND hwnd, const ListViewState& state, int row, int code, RECT* rect) {
    if (!rect || row < 0 || row >= ItemCount(hwnd, state))
        return FALSE;
    switch (code) {
    case LVIR_BOUNDS: *rect = RowBounds(hwnd, state, row); return TRUE;
    case LVIR_ICON: *rect = IconRect(hwnd, state, row); return TRUE;
    case LVIR_LABEL: *rect = LabelRect(hwnd, state, row); return TRUE;
    case LVIR_SELECTBOUNDS:
        if (state.exStyle & LVS_EX_FULLROWSELECT) {
            *rect = RowBounds(hwnd, state, row);
        } else {
            *rect = CellRect(hwnd, state, row, 0);
            rect->left = IconRect(hwnd, state, row).left;
        }
        return TRUE;
    default: return FALSE;
    }
}

// Sub-item 0 stands for the whole row in LVIR_BOUNDS, as the platform's list reports it; its other parts and
// every other column are the column's own cell.
BOOL SubItemRectFor(HWND hwnd, const ListViewState& state, int row, int column, int code, RECT* rect) {
    if (!rect || row < 0 || row >= ItemCount(hwnd, state) || column < 0 ||
        static_cast<size_t>(column) >= std::max<size_t>(state.columns.size(), 1))
        return FALSE;
    if (column == 0)
        return ItemRectFor(hwnd, state, row, code, rect);
    if (code != LVIR_BOUNDS && code != LVIR_LABEL && code != LVIR_ICON)
        return FALSE;
    *rect = CellRect(hwnd, state, row, column);
    if (code == LVIR_ICON)
        rect->right = rect->left; // sub-items show no image
    return TRUE;
}

int HitTestList(HWND hwnd, const ListViewState& state, LVHITTESTINFO& info, bool subItems) {
    const RECT client = ClientOf(hwnd);
    const POINT pt = info.pt;
    info.flags = 0;
    info.iItem = -1;
    info.iSubItem = 0;
    if (pt.y < state.headerHeight)
        info.flags |= LVHT_ABOVE;
    if (pt.y >= client.bottom)
        info.flags |= LVHT_BELOW;
    if (pt.x < 0)
        info.flags |= LVHT_TOLEFT;
    if (pt.x >= client.right)
        info.flags |= LVHT_TORIGHT;
    if (info.flags)
        return -1;
    const int row = state.rowHeight > 0 ? state.top + (pt.y - state.headerHeight) / state.rowHeight : -1;
    if (row < 0 || row >= ItemCount(hwnd, state)) {
        info.flags = LVHT_NOWHERE;
        return -1;
    }
    int column = -1;
    for (size_t c = 0; c < state.columns.size(); ++c) {
        const RECT cell = CellRect(hwnd, state, row, static_cast<int>(c));
        if (pt.x >= cell.left && pt.x < cell.right)
            column = static_cast<int>(c);
    }
    if (column < 0) {
        info.flags = LVHT_NOWHERE;
        return -1;
    }
    if (column == 0) {
        const RECT stateIcon = StateIconRect(hwnd, state, row);
        const RECT icon = IconRect(hwnd, state, row);
        info.flags = pt.x < stateIcon.right ? LVHT_ONITEMSTATEICON
                     : pt.x < icon.right    ? LVHT_ONITEMICON
                                            : LVHT_ONITEMLABEL;
    } else if (subItems || (state.exStyle & LVS_EX_FULLROWSELECT)) {
        info.flags = LVHT_ONITEMLABEL;
    } else {
        // Without full-row selection only the first column's parts are the item.
        info.flags = LVHT_NOWHERE;
        if (!subItems)
            return -1;
    }
    info.iItem = row;
    info.iSubItem = subItems ? column : 0;
    return row;
}

void UpdateScrollBars(HWND hwnd, ListViewState& state) {
    if (state.updatingBars)
        return;
    state.updatingBars = true;
    const bool noScroll = (GetWindowLongA(hwnd, GWL_STYLE) & LVS_NOSCROLL) != 0;
    // Showing one bar narrows the client area, which may call for the other: settle in a few rounds.
    for (int round = 0; round < 3 && !noScroll; ++round) {
        const RECT client = ClientOf(hwnd);
        const bool needV = ItemCount(hwnd, state) > CountPerPage(hwnd, state);
        const bool needH = TotalColumnWidth(state) > client.right;
        const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
        const bool hasV = (style & WS_VSCROLL) != 0, hasH = (style & WS_HSCROLL) != 0;
        if (needV == hasV && needH == hasH)
            break;
        if (needV != hasV)
            ShowScrollBar(hwnd, SB_VERT, needV);
        if (needH != hasH)
            ShowScrollBar(hwnd, SB_HORZ, needH);
    }
    const RECT client = ClientOf(hwnd);
    const int count = ItemCount(hwnd, state);
    const int perPage = CountPerPage(hwnd, state);
    state.top = std::clamp(state.top, 0, std::max(0, count - perPage));
    state.scrollX = std::clamp(state.scrollX, 0, std::max(0, TotalColumnWidth(state) - static_cast<int>(client.right)));
    SCROLLINFO v{sizeof(SCROLLINFO), SIF_ALL, 0, std::max(0, count - 1), static_cast<UINT>(perPage), state.top, 0};
    SetScrollInfo(hwnd, SB_VERT, &v, FALSE);
    SCROLLINFO h{
        sizeof(SCROLLINFO), SIF_ALL, 0, std::max(0, TotalColumnWidth(state) - 1), static_cast<UINT>(client.right),
        state.scrollX,      0};
    SetScrollInfo(hwnd, SB_HORZ, &h, FALSE);
    RedrawBars(hwnd, state);
    state.updatingBars = false;
}

void SetTopRow(HWND hwnd, ListViewState& state, int top) {
    const int limit = std::max(0, ItemCount(hwnd, state) - CountPerPage(hwnd, state));
    top = std::clamp(top, 0, limit);
    if (top == state.top)
        return;
    const int rows = state.top - top;
    state.top = top;
    SetScrollPos(hwnd, SB_VERT, top, FALSE);
    RedrawBars(hwnd, state);
    if (!state.redraw)
        return;
    // Rows still shown keep their pixels and move; only the rows uncovered are painted (and asked for) anew.
    // With a repaint already pending the image is not current, so all of it is painted.
    const RECT client = ClientOf(hwnd);
    const RECT body{client.left, state.headerHeight, client.right, client.bottom};
    RECT pending{};
    if (std::abs(rows) < CountPerPage(hwnd, state) && !GetUpdateRect(hwnd, &pending, FALSE))
        ScrollWindowEx(hwnd, 0, rows * state.rowHeight, &body, &body, nullptr, nullptr, SW_INVALIDATE);
    else
        InvalidateRect(hwnd, nullptr, FALSE);
}

void SetScrollX(HWND hwnd, ListViewState& state, int x) {
    const RECT client = ClientOf(hwnd);
    x = std::clamp(x, 0, std::max(0, TotalColumnWidth(state) - static_cast<int>(client.right)));
    if (x == state.scrollX)
        return;
    state.scrollX = x;
    SetScrollPos(hwnd, SB_HORZ, x, FALSE);
    // The header moves with the columns.
    LayoutListView(hwnd, state);
    if (state.redraw)
        InvalidateRect(hwnd, nullptr, FALSE);
}

BOOL EnsureRowVisible(HWND hwnd, ListViewState& state, int row, bool partialOk) {
    if (row < 0 || row >= ItemCount(hwnd, state))
        return FALSE;
    const RECT client = ClientOf(hwnd);
    const int perPage = CountPerPage(hwnd, state);
    if (row < state.top) {
        SetTopRow(hwnd, state, row);
        return TRUE;
    }
    const int rowTop = RowTop(state, row);
    const int rowBottom = rowTop + state.rowHeight;
    if (rowBottom <= client.bottom)
        return TRUE; // wholly shown
    if (partialOk && rowTop < client.bottom)
        return TRUE;
    SetTopRow(hwnd, state, row - std::max(perPage, 1) + 1);
    return TRUE;
}

void InvalidateRow(HWND hwnd, const ListViewState& state, int row) {
    if (!state.redraw || row < state.top)
        return;
    RECT r = RowBounds(hwnd, state, row);
    const RECT client = ClientOf(hwnd);
    if (r.top >= client.bottom)
        return;
    r.left = client.left;
    r.right = client.right;
    InvalidateRect(hwnd, &r, FALSE);
}

} // namespace win32::internal
