// The list view's messages: items and columns, item state with its notifications, the mouse and keys, and
// scrolling. Locks: none; a list's state lives in a property of its window, touched only on its thread.
#include "WinListView.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "WinDialogs.h"
#include "WinGdi.h"
#include "WinInput.h"
#include "WinPaint.h"
#include "WinRect.h"
#include "WinUserDraw.h"
#include "internal/ControlNotify.h"
#include "internal/ListViewState.h"

using namespace win32::internal;

namespace {

const char kStateProp[] = "TdlListViewState";
constexpr int kWheelRows = 3;
constexpr int kLineScroll = 8; // pixels a horizontal arrow moves
constexpr int kAutoSizeInset = 12;

void CopyText(const char* text, LPSTR target, int size) {
    if (!target || size <= 0)
        return;
    const size_t n = std::min(std::strlen(text), static_cast<size_t>(size) - 1);
    std::memcpy(target, text, n);
    target[n] = '\0';
}

LRESULT NotifyList(HWND hwnd, UINT code, int item, LPARAM lParam, UINT newState = 0, UINT oldState = 0,
                   UINT changed = 0, POINT action = {}, int subItem = 0) {
    NMLISTVIEW nm{};
    nm.iItem = item;
    nm.iSubItem = subItem;
    nm.uNewState = newState;
    nm.uOldState = oldState;
    nm.uChanged = changed;
    nm.ptAction = action;
    nm.lParam = lParam;
    return SendNotify(hwnd, code, &nm.hdr);
}

bool ValidRow(HWND hwnd, const ListViewState& state, int row) {
    return row >= 0 && row < ItemCount(hwnd, state);
}

LPARAM ParamOf(const ListViewState& state, int row) {
    return state.items.empty() ? 0 : state.items[static_cast<size_t>(row)].lParam;
}

// Changes the item's state bits under `mask`, asking the parent first; false when it refused. Gaining the focus
// takes it from the item that had it; under LVS_SINGLESEL gaining the selection takes it from the others.
bool ChangeItemState(HWND hwnd, ListViewState& state, int row, UINT bits, UINT mask, POINT action = {}) {
    if (!ValidRow(hwnd, state, row))
        return false;
    if (state.items.empty())
        mask &= LVIS_SELECTED | LVIS_FOCUSED; // all an owner-data list keeps
    const UINT old = ItemState(state, row, ~0U);
    const UINT next = (old & ~mask) | (bits & mask);
    if (next == old)
        return true;
    if (NotifyList(hwnd, LVN_ITEMCHANGING, row, ParamOf(state, row), next, old, LVIF_STATE, action))
        return false;
    if ((next & LVIS_FOCUSED) && !(old & LVIS_FOCUSED) && state.focus >= 0 && state.focus != row)
        ChangeItemState(hwnd, state, state.focus, 0, LVIS_FOCUSED);
    if ((next & LVIS_SELECTED) && !(old & LVIS_SELECTED) && (GetWindowLongA(hwnd, GWL_STYLE) & LVS_SINGLESEL)) {
        for (int other = 0; other < ItemCount(hwnd, state); ++other)
            if (other != row && ItemState(state, other, LVIS_SELECTED))
                ChangeItemState(hwnd, state, other, 0, LVIS_SELECTED);
    }
    if (!ValidRow(hwnd, state, row))
        return false; // the parent took the row away meanwhile
    if (state.items.empty()) {
        const bool selected = (next & LVIS_SELECTED) != 0;
        if (state.ownerSelected[static_cast<size_t>(row)] != selected)
            state.ownerSelectedCount += selected ? 1 : -1;
        state.ownerSelected[static_cast<size_t>(row)] = selected;
    } else
        state.items[static_cast<size_t>(row)].state = next;
    if (next & LVIS_FOCUSED)
        state.focus = row;
    else if (state.focus == row)
        state.focus = -1;
    NotifyList(hwnd, LVN_ITEMCHANGED, row, ParamOf(state, row), next, old, LVIF_STATE, action);
    InvalidateRow(hwnd, state, row);
    return true;
}

int SelectedCount(HWND hwnd, const ListViewState& state) {
    (void)hwnd;
    if (state.items.empty())
        return state.ownerSelectedCount;
    return static_cast<int>(std::count_if(state.items.begin(), state.items.end(),
                                          [](const ListItem& item) { return (item.state & LVIS_SELECTED) != 0; }));
}

// LVM_SETITEMSTATE on item -1: every item. An owner-data list changes its selection for all rows at once, with
// one notification for item -1.
BOOL ChangeAllStates(HWND hwnd, ListViewState& state, UINT bits, UINT mask) {
    if (!state.items.empty()) {
        bool all = true;
        for (int row = 0; row < ItemCount(hwnd, state); ++row)
            all = ChangeItemState(hwnd, state, row, bits, mask & ~LVIS_FOCUSED) && all;
        return all;
    }
    mask &= LVIS_SELECTED;
    if (!mask)
        return TRUE;
    const bool select = (bits & LVIS_SELECTED) != 0;
    const int selected = SelectedCount(hwnd, state);
    if (selected == (select ? state.ownerCount : 0))
        return TRUE;
    const UINT next = select ? LVIS_SELECTED : 0;
    if (NotifyList(hwnd, LVN_ITEMCHANGING, -1, 0, next, next ^ LVIS_SELECTED, LVIF_STATE))
        return FALSE;
    std::fill(state.ownerSelected.begin(), state.ownerSelected.end(), select);
    state.ownerSelectedCount = select ? state.ownerCount : 0;
    NotifyList(hwnd, LVN_ITEMCHANGED, -1, 0, next, next ^ LVIS_SELECTED, LVIF_STATE);
    if (state.redraw)
        InvalidateRect(hwnd, nullptr, FALSE);
    return TRUE;
}

// A plain click or arrow key: this row alone selected and focused.
void SelectOnly(HWND hwnd, ListViewState& state, int row, POINT action) {
    if (state.items.empty()) {
        const int selected = SelectedCount(hwnd, state);
        const bool rowSelected = ValidRow(hwnd, state, row) && ItemState(state, row, LVIS_SELECTED);
        if (selected - (rowSelected ? 1 : 0) > 1) {
            ChangeAllStates(hwnd, state, 0, LVIS_SELECTED);
        } else if (selected - (rowSelected ? 1 : 0) == 1) {
            // The one other selected row is most often the focused one; only otherwise is it looked for.
            int other = state.focus;
            if (other < 0 || other == row || !state.ownerSelected[static_cast<size_t>(other)])
                for (other = 0; other < state.ownerCount; ++other)
                    if (other != row && state.ownerSelected[static_cast<size_t>(other)])
                        break;
            if (other < state.ownerCount)
                ChangeItemState(hwnd, state, other, 0, LVIS_SELECTED, action);
        }
    } else {
        for (int other = 0; other < ItemCount(hwnd, state); ++other)
            if (other != row && ItemState(state, other, LVIS_SELECTED))
                ChangeItemState(hwnd, state, other, 0, LVIS_SELECTED, action);
    }
    if (ValidRow(hwnd, state, row) &&
        ChangeItemState(hwnd, state, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED, action))
        state.mark = row;
}

void SelectRange(HWND hwnd, ListViewState& state, int from, int to, POINT action) {
    const int low = std::min(from, to), high = std::max(from, to);
    for (int row = 0; row < ItemCount(hwnd, state); ++row) {
        const bool inside = row >= low && row <= high;
        if ((ItemState(state, row, LVIS_SELECTED) != 0) != inside)
            ChangeItemState(hwnd, state, row, inside ? LVIS_SELECTED : 0, LVIS_SELECTED, action);
    }
    ChangeItemState(hwnd, state, to, LVIS_FOCUSED, LVIS_FOCUSED, action);
}

void Activate(HWND hwnd, UINT code, int row, int column, POINT pt) {
    NMITEMACTIVATE nm{};
    nm.iItem = row;
    nm.iSubItem = column;
    nm.ptAction = pt;
    nm.uKeyFlags = (GetKeyState(VK_SHIFT) < 0 ? 0x0004U : 0U) | (GetKeyState(VK_CONTROL) < 0 ? 0x0001U : 0U);
    SendNotify(hwnd, code, &nm.hdr);
}

POINT PointOf(LPARAM lParam) {
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

void MouseDown(HWND hwnd, ListViewState& state, POINT pt, bool right, bool doubleClick) {
    if (GetFocus() != hwnd)
        SetFocus(hwnd);
    LVHITTESTINFO sub{pt, 0, -1, 0, 0};
    HitTestList(hwnd, state, sub, true);
    LVHITTESTINFO hit{pt, 0, -1, 0, 0};
    const int row = HitTestList(hwnd, state, hit, false);
    const bool single = (GetWindowLongA(hwnd, GWL_STYLE) & LVS_SINGLESEL) != 0;
    if (doubleClick) {
        // The second press selects as a first press would: quick presses at one point on two rows (the list
        // scrolled between them) are a double-click on the second row, which must not keep the first selected.
        if (row >= 0 && !right && hit.flags != LVHT_ONITEMSTATEICON && !ItemState(state, row, LVIS_SELECTED))
            SelectOnly(hwnd, state, row, pt);
        Activate(hwnd, right ? NM_RDBLCLK : NM_DBLCLK, row, sub.iSubItem, pt);
        if (row >= 0 && !right)
            Activate(hwnd, LVN_ITEMACTIVATE, row, sub.iSubItem, pt);
        return;
    }
    if (row >= 0 && !right && hit.flags == LVHT_ONITEMSTATEICON && (state.exStyle & LVS_EX_CHECKBOXES) &&
        !state.items.empty()) {
        // A click on the check box turns it over (state image 1 unchecked, 2 checked) and selects nothing.
        const UINT image = ItemState(state, row, LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2) ? 1 : 2;
        ChangeItemState(hwnd, state, row, INDEXTOSTATEIMAGEMASK(image), LVIS_STATEIMAGEMASK, pt);
    } else if (row < 0) {
        if (!right && !(GetKeyState(VK_CONTROL) < 0))
            ChangeAllStates(hwnd, state, 0, LVIS_SELECTED);
    } else if (right) {
        if (!ItemState(state, row, LVIS_SELECTED))
            SelectOnly(hwnd, state, row, pt);
    } else if (!single && GetKeyState(VK_CONTROL) < 0) {
        const UINT selected = ItemState(state, row, LVIS_SELECTED);
        if (ChangeItemState(hwnd, state, row, (selected ^ LVIS_SELECTED) | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED,
                            pt))
            state.mark = row;
    } else if (!single && GetKeyState(VK_SHIFT) < 0 && state.mark >= 0) {
        SelectRange(hwnd, state, state.mark, row, pt);
    } else {
        SelectOnly(hwnd, state, row, pt);
    }
    Activate(hwnd, right ? NM_RCLICK : NM_CLICK, row, sub.iSubItem, pt);
}

void KeyDown(HWND hwnd, ListViewState& state, WPARAM vk) {
    const int count = ItemCount(hwnd, state);
    if (count == 0)
        return;
    const int perPage = std::max(1, CountPerPage(hwnd, state));
    const int from = state.focus;
    int to;
    switch (vk) {
    case VK_UP: to = from - 1; break;
    case VK_DOWN: to = from + 1; break;
    case VK_PRIOR: to = from - perPage; break;
    case VK_NEXT: to = from + perPage; break;
    case VK_HOME: to = 0; break;
    case VK_END: to = count - 1; break;
    case VK_F2:
        if ((GetWindowLongA(hwnd, GWL_STYLE) & LVS_EDITLABELS) && from >= 0)
            BeginLabelEdit(hwnd, state, from, 0);
        return;
    case VK_SPACE:
        if (from >= 0)
            ChangeItemState(hwnd, state, from,
                            GetKeyState(VK_CONTROL) < 0 ? ItemState(state, from, LVIS_SELECTED) ^ LVIS_SELECTED
                                                        : LVIS_SELECTED,
                            LVIS_SELECTED);
        return;
    default: return;
    }
    if (from < 0)
        to = 0;
    to = std::clamp(to, 0, count - 1);
    if (GetKeyState(VK_SHIFT) < 0 && state.mark >= 0 && !(GetWindowLongA(hwnd, GWL_STYLE) & LVS_SINGLESEL))
        SelectRange(hwnd, state, state.mark, to, {});
    else
        SelectOnly(hwnd, state, to, {});
    EnsureRowVisible(hwnd, state, to, false);
}

void Scroll(HWND hwnd, ListViewState& state, int bar, WPARAM wParam) {
    SCROLLINFO info{sizeof(SCROLLINFO), SIF_ALL, 0, 0, 0, 0, 0};
    GetScrollInfo(hwnd, bar, &info);
    const int page = static_cast<int>(info.nPage);
    const int line = bar == SB_VERT ? 1 : kLineScroll;
    int pos = bar == SB_VERT ? state.top : state.scrollX;
    switch (LOWORD(wParam)) {
    case SB_LINEUP: pos -= line; break;
    case SB_LINEDOWN: pos += line; break;
    case SB_PAGEUP: pos -= std::max(1, page); break;
    case SB_PAGEDOWN: pos += std::max(1, page); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: pos = info.nTrackPos; break;
    case SB_TOP: pos = 0; break;
    case SB_BOTTOM: pos = info.nMax; break;
    default: return;
    }
    if (bar == SB_VERT)
        SetTopRow(hwnd, state, pos);
    else
        SetScrollX(hwnd, state, pos);
}

// ---- items

void InsertCells(ListItem& item, size_t columns) {
    item.cells.resize(std::max<size_t>(1, std::max(columns, item.cells.size())));
}

void SetCellText(ListCell& cell, LPCSTR text) {
    cell.callback = text == LPSTR_TEXTCALLBACKA;
    cell.text = cell.callback || !text ? std::string() : std::string(text);
}

LRESULT InsertItem(HWND hwnd, ListViewState& state, const LVITEMA* data) {
    if (!data || data->iSubItem != 0 || IsOwnerData(hwnd))
        return -1;
    const int index = std::clamp(data->iItem, 0, static_cast<int>(state.items.size()));
    ListItem item;
    InsertCells(item, state.columns.size());
    if (data->mask & LVIF_TEXT)
        SetCellText(item.cells[0], data->pszText);
    if (data->mask & LVIF_IMAGE)
        item.image = data->iImage;
    if (data->mask & LVIF_PARAM)
        item.lParam = data->lParam;
    if (data->mask & LVIF_STATE)
        item.state = data->state & data->stateMask & ~LVIS_FOCUSED;
    state.items.insert(state.items.begin() + index, std::move(item));
    if (state.focus >= index)
        ++state.focus;
    if (state.mark >= index)
        ++state.mark;
    NotifyList(hwnd, LVN_INSERTITEM, index, 0);
    if ((data->mask & LVIF_STATE) && (data->stateMask & data->state & LVIS_FOCUSED))
        ChangeItemState(hwnd, state, index, LVIS_FOCUSED, LVIS_FOCUSED);
    UpdateScrollBars(hwnd, state);
    if (state.redraw)
        InvalidateRect(hwnd, nullptr, FALSE);
    return index;
}

void ForgetRow(ListViewState& state, int row) {
    if (state.focus == row)
        state.focus = -1;
    else if (state.focus > row)
        --state.focus;
    if (state.mark == row)
        state.mark = -1;
    else if (state.mark > row)
        --state.mark;
}

BOOL DeleteItem(HWND hwnd, ListViewState& state, int row) {
    if (!ValidRow(hwnd, state, row))
        return FALSE;
    NotifyList(hwnd, LVN_DELETEITEM, row, ParamOf(state, row));
    if (!ValidRow(hwnd, state, row))
        return FALSE;
    if (state.items.empty()) {
        if (state.ownerSelected[static_cast<size_t>(row)])
            --state.ownerSelectedCount;
        state.ownerSelected.erase(state.ownerSelected.begin() + row);
        --state.ownerCount;
    } else {
        state.items.erase(state.items.begin() + row);
    }
    ForgetRow(state, row);
    UpdateScrollBars(hwnd, state);
    if (state.redraw)
        InvalidateRect(hwnd, nullptr, FALSE);
    return TRUE;
}

BOOL DeleteAllItems(HWND hwnd, ListViewState& state) {
    // A parent that answers TRUE wants no LVN_DELETEITEM per item.
    const bool each = NotifyList(hwnd, LVN_DELETEALLITEMS, -1, 0) == 0;
    if (each && !state.items.empty())
        for (size_t row = 0; row < state.items.size(); ++row)
            NotifyList(hwnd, LVN_DELETEITEM, static_cast<int>(row), state.items[row].lParam);
    state.items.clear();
    state.ownerCount = 0;
    state.ownerSelected.clear();
    state.ownerSelectedCount = 0;
    state.focus = state.mark = -1;
    state.top = 0;
    UpdateScrollBars(hwnd, state);
    if (state.redraw)
        InvalidateRect(hwnd, nullptr, FALSE);
    return TRUE;
}

BOOL GetItem(HWND hwnd, const ListViewState& state, LVITEMA* data) {
    if (!data || !ValidRow(hwnd, state, data->iItem) || data->iSubItem < 0)
        return FALSE;
    const int row = data->iItem;
    if (data->mask & LVIF_TEXT) {
        char buffer[kDispInfoBufferLength];
        CopyText(CellText(hwnd, state, row, data->iSubItem, buffer, kDispInfoBufferLength), data->pszText,
                 data->cchTextMax);
    }
    if (data->iSubItem != 0)
        return TRUE;
    if (data->mask & LVIF_STATE)
        data->state = ItemState(state, row, data->stateMask);
    if (!state.items.empty()) {
        const ListItem& item = state.items[static_cast<size_t>(row)];
        if (data->mask & LVIF_IMAGE)
            data->iImage = item.image;
        if (data->mask & LVIF_PARAM)
            data->lParam = item.lParam;
    }
    return TRUE;
}

// Text, image and lParam changes are asked about and reported as state changes are.
BOOL SetItem(HWND hwnd, ListViewState& state, const LVITEMA* data) {
    if (!data || !ValidRow(hwnd, state, data->iItem))
        return FALSE;
    const int row = data->iItem;
    if (state.items.empty())
        return (data->mask & LVIF_STATE) && data->iSubItem == 0
                   ? ChangeItemState(hwnd, state, row, data->state, data->stateMask)
                   : FALSE;
    ListItem& item = state.items[static_cast<size_t>(row)];
    if (data->iSubItem < 0 || static_cast<size_t>(data->iSubItem) >= std::max<size_t>(1, state.columns.size()))
        return FALSE;
    const UINT other = data->mask & (data->iSubItem == 0 ? LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM : LVIF_TEXT);
    if (other) {
        if (NotifyList(hwnd, LVN_ITEMCHANGING, row, item.lParam, 0, 0, other, {}, data->iSubItem))
            return FALSE;
        if (!ValidRow(hwnd, state, row))
            return FALSE;
        ListItem& now = state.items[static_cast<size_t>(row)];
        InsertCells(now, state.columns.size());
        if (other & LVIF_TEXT)
            SetCellText(now.cells[static_cast<size_t>(data->iSubItem)], data->pszText);
        if (other & LVIF_IMAGE)
            now.image = data->iImage;
        if (other & LVIF_PARAM)
            now.lParam = data->lParam;
        NotifyList(hwnd, LVN_ITEMCHANGED, row, now.lParam, 0, 0, other, {}, data->iSubItem);
        InvalidateRow(hwnd, state, row);
    }
    if ((data->mask & LVIF_STATE) && data->iSubItem == 0)
        return ChangeItemState(hwnd, state, row, data->state, data->stateMask);
    return TRUE;
}

LRESULT GetNextItem(HWND hwnd, const ListViewState& state, int start, UINT flags) {
    const int count = ItemCount(hwnd, state);
    if (flags & LVNI_ABOVE)
        return start > 0 ? start - 1 : -1;
    if (flags & LVNI_BELOW)
        return start + 1 < count ? start + 1 : -1;
    const UINT want = (flags & LVNI_SELECTED ? LVIS_SELECTED : 0) | (flags & LVNI_FOCUSED ? LVIS_FOCUSED : 0) |
                      (flags & LVNI_CUT ? LVIS_CUT : 0) | (flags & LVNI_DROPHILITED ? LVIS_DROPHILITED : 0);
    if (want == LVIS_FOCUSED)
        return state.focus > start ? state.focus : -1;
    for (int row = std::max(0, start + 1); row < count; ++row)
        if (ItemState(state, row, want) == want)
            return row;
    return -1;
}

LRESULT FindItem(HWND hwnd, const ListViewState& state, int start, const LVFINDINFOA* find) {
    if (!find)
        return -1;
    if (state.items.empty()) {
        NMLVFINDITEMA nm{};
        nm.iStart = start + 1;
        nm.lvfi = *find;
        return IsOwnerData(hwnd) ? SendNotify(hwnd, LVN_ODFINDITEMA, &nm.hdr) : -1;
    }
    const int count = static_cast<int>(state.items.size());
    const int first = std::max(0, start + 1);
    const int span = (find->flags & LVFI_WRAP) ? count : count - first;
    for (int i = 0; i < span; ++i) {
        const int row = (first + i) % count;
        const ListItem& item = state.items[static_cast<size_t>(row)];
        if (find->flags & LVFI_PARAM) {
            if (item.lParam == find->lParam)
                return row;
        } else if ((find->flags & (LVFI_STRING | LVFI_PARTIAL | LVFI_SUBSTRING)) && find->psz) {
            const std::string& text = item.cells[0].text;
            const size_t n = std::strlen(find->psz);
            const bool partial = (find->flags & (LVFI_PARTIAL | LVFI_SUBSTRING)) != 0;
            if ((partial ? text.size() >= n : text.size() == n) && strncasecmp(text.c_str(), find->psz, n) == 0)
                return row;
        }
    }
    return -1;
}

// Sorting keeps the focus and the selection mark on their items.
BOOL SortItems(HWND hwnd, ListViewState& state, PFNLVCOMPARE compare, LPARAM sortParam, bool byIndex) {
    if (!compare || state.items.empty())
        return compare != nullptr && !IsOwnerData(hwnd);
    std::vector<size_t> order(state.items.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
        const LPARAM first = byIndex ? static_cast<LPARAM>(a) : state.items[a].lParam;
        const LPARAM second = byIndex ? static_cast<LPARAM>(b) : state.items[b].lParam;
        return compare(first, second, sortParam) < 0;
    });
    std::vector<ListItem> sorted;
    sorted.reserve(order.size());
    int focus = -1, mark = -1;
    for (size_t i = 0; i < order.size(); ++i) {
        if (static_cast<int>(order[i]) == state.focus)
            focus = static_cast<int>(i);
        if (static_cast<int>(order[i]) == state.mark)
            mark = static_cast<int>(i);
        sorted.push_back(std::move(state.items[order[i]]));
    }
    state.items = std::move(sorted);
    state.focus = focus;
    state.mark = mark;
    if (state.redraw)
        InvalidateRect(hwnd, nullptr, FALSE);
    return TRUE;
}

// An owner-data list's new row count: the selection and focus past the end go; LVSICF_NOINVALIDATEALL repaints
// only the rows that changed, LVSICF_NOSCROLL keeps the view where it is (otherwise the focus stays in view).
BOOL SetItemCount(HWND hwnd, ListViewState& state, int count, DWORD flags) {
    if (!IsOwnerData(hwnd)) {
        state.items.reserve(static_cast<size_t>(std::max(0, count)));
        return TRUE;
    }
    count = std::max(0, count);
    const int previous = state.ownerCount;
    state.ownerCount = count;
    for (int row = count; row < previous; ++row)
        if (state.ownerSelected[static_cast<size_t>(row)])
            --state.ownerSelectedCount;
    state.ownerSelected.resize(static_cast<size_t>(count), false);
    if (state.focus >= count)
        state.focus = -1;
    if (state.mark >= count)
        state.mark = -1;
    const int top = state.top;
    UpdateScrollBars(hwnd, state);
    if (!(flags & LVSICF_NOSCROLL) && state.focus >= 0)
        EnsureRowVisible(hwnd, state, state.focus, false);
    if (!state.redraw)
        return TRUE;
    if ((flags & LVSICF_NOINVALIDATEALL) && state.top == top) {
        RECT client{};
        GetClientRect(hwnd, &client);
        const int firstChanged = std::min(previous, count);
        RECT changed{client.left, state.headerHeight + (firstChanged - state.top) * state.rowHeight, client.right,
                     client.bottom};
        changed.top = std::max<LONG>(changed.top, state.headerHeight);
        if (changed.top < changed.bottom)
            InvalidateRect(hwnd, &changed, FALSE);
    } else {
        InvalidateRect(hwnd, nullptr, FALSE);
    }
    return TRUE;
}

// ---- columns

HDITEMA HeaderItemOf(const LVCOLUMNA& column) {
    HDITEMA item{};
    if (column.mask & LVCF_WIDTH) {
        item.mask |= HDI_WIDTH;
        item.cxy = column.cx;
    }
    if (column.mask & LVCF_TEXT) {
        item.mask |= HDI_TEXT;
        item.pszText = column.pszText;
    }
    if (column.mask & LVCF_FMT) {
        item.mask |= HDI_FORMAT;
        item.fmt = (column.fmt & LVCFMT_JUSTIFYMASK) | HDF_STRING;
    }
    if (column.mask & LVCF_ORDER) {
        item.mask |= HDI_ORDER;
        item.iOrder = column.iOrder;
    }
    return item;
}

void ColumnsChanged(HWND hwnd, ListViewState& state) {
    LayoutListView(hwnd, state);
    if (state.redraw)
        InvalidateRect(hwnd, nullptr, FALSE);
}

LRESULT InsertColumn(HWND hwnd, ListViewState& state, int index, const LVCOLUMNA* column) {
    if (!column)
        return -1;
    index = std::clamp(index, 0, static_cast<int>(state.columns.size()));
    HDITEMA item = HeaderItemOf(*column);
    item.mask |= HDI_FORMAT | HDI_WIDTH;
    if (!(column->mask & LVCF_FMT))
        item.fmt = HDF_LEFT | HDF_STRING;
    if (!(column->mask & LVCF_WIDTH))
        item.cxy = 0;
    if (SendMessageA(state.header, HDM_INSERTITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)) < 0)
        return -1;
    ListColumn added;
    added.fmt = (column->mask & LVCF_FMT) ? column->fmt : LVCFMT_LEFT;
    added.subItem = (column->mask & LVCF_SUBITEM) ? column->iSubItem : index;
    state.columns.insert(state.columns.begin() + index, added);
    // The first column always holds the items' labels: a column put before it takes empty cells at its place.
    if (state.columns.size() > 1)
        for (ListItem& listItem : state.items)
            if (static_cast<size_t>(index) < listItem.cells.size() && index > 0)
                listItem.cells.insert(listItem.cells.begin() + index, ListCell{});
    ColumnsChanged(hwnd, state);
    return index;
}

BOOL DeleteColumn(HWND hwnd, ListViewState& state, int index) {
    if (index < 0 || static_cast<size_t>(index) >= state.columns.size())
        return FALSE;
    SendMessageA(state.header, HDM_DELETEITEM, static_cast<WPARAM>(index), 0);
    state.columns.erase(state.columns.begin() + index);
    for (ListItem& item : state.items)
        if (static_cast<size_t>(index) < item.cells.size() && item.cells.size() > 1)
            item.cells.erase(item.cells.begin() + index);
    ColumnsChanged(hwnd, state);
    return TRUE;
}

BOOL GetColumn(const ListViewState& state, int index, LVCOLUMNA* column) {
    if (!column || index < 0 || static_cast<size_t>(index) >= state.columns.size())
        return FALSE;
    HDITEMA item{};
    item.mask = HDI_WIDTH | HDI_ORDER | ((column->mask & LVCF_TEXT) ? HDI_TEXT : 0);
    item.pszText = column->pszText;
    item.cchTextMax = column->cchTextMax;
    SendMessageA(state.header, HDM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    if (column->mask & LVCF_FMT)
        column->fmt = state.columns[static_cast<size_t>(index)].fmt;
    if (column->mask & LVCF_WIDTH)
        column->cx = item.cxy;
    if (column->mask & LVCF_SUBITEM)
        column->iSubItem = state.columns[static_cast<size_t>(index)].subItem;
    if (column->mask & LVCF_ORDER)
        column->iOrder = item.iOrder;
    return TRUE;
}

BOOL SetColumn(HWND hwnd, ListViewState& state, int index, const LVCOLUMNA* column) {
    if (!column || index < 0 || static_cast<size_t>(index) >= state.columns.size())
        return FALSE;
    HDITEMA item = HeaderItemOf(*column);
    if (item.mask &&
        !SendMessageA(state.header, HDM_SETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)))
        return FALSE;
    if (column->mask & LVCF_FMT)
        state.columns[static_cast<size_t>(index)].fmt = column->fmt;
    if (column->mask & LVCF_SUBITEM)
        state.columns[static_cast<size_t>(index)].subItem = column->iSubItem;
    ColumnsChanged(hwnd, state);
    return TRUE;
}

int ColumnWidth(const ListViewState& state, int index) {
    HDITEMA item{};
    item.mask = HDI_WIDTH;
    SendMessageA(state.header, HDM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    return item.cxy;
}

// LVSCW_AUTOSIZE: the widest cell (an owner-data list measures the rows shown); LVSCW_AUTOSIZE_USEHEADER: the
// heading, and the last column in display order also fills what the client area leaves over.
int AutoWidth(HWND hwnd, const ListViewState& state, int index, int how) {
    int width = 0;
    if (how == LVSCW_AUTOSIZE) {
        const int count = ItemCount(hwnd, state);
        const int first = state.items.empty() ? state.top : 0;
        const int last = state.items.empty() ? std::min(count, state.top + CountPerPage(hwnd, state) + 1) : count;
        char buffer[kDispInfoBufferLength];
        for (int row = first; row < last; ++row) {
            const char* text = CellText(hwnd, state, row, index, buffer, kDispInfoBufferLength);
            width = std::max(width, TextWidth(state.font, text, static_cast<int>(std::strlen(text))));
        }
        if (index == 0 && count > 0) {
            const RECT cell = CellRect(hwnd, state, 0, 0);
            width += LabelRect(hwnd, state, 0).left - cell.left;
        }
    } else {
        char heading[kDispInfoBufferLength] = {};
        HDITEMA item{};
        item.mask = HDI_TEXT;
        item.pszText = heading;
        item.cchTextMax = kDispInfoBufferLength;
        SendMessageA(state.header, HDM_GETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
        width = TextWidth(state.font, heading, static_cast<int>(std::strlen(heading)));
    }
    width += kAutoSizeInset;
    const std::vector<int> order = ColumnOrder(state);
    if (how == LVSCW_AUTOSIZE_USEHEADER && !order.empty() && order.back() == index) {
        RECT client{};
        GetClientRect(hwnd, &client);
        int others = 0;
        for (int column : order)
            if (column != index)
                others += ColumnWidth(state, column);
        width = std::max(width, static_cast<int>(client.right) - others);
    }
    return width;
}

BOOL SetColumnWidth(HWND hwnd, ListViewState& state, int index, int width) {
    if (index < 0 || static_cast<size_t>(index) >= state.columns.size())
        return FALSE;
    if (width == LVSCW_AUTOSIZE || width == LVSCW_AUTOSIZE_USEHEADER)
        width = AutoWidth(hwnd, state, index, width);
    HDITEMA item{};
    item.mask = HDI_WIDTH;
    item.cxy = std::max(0, width);
    return static_cast<BOOL>(
        SendMessageA(state.header, HDM_SETITEMA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item)));
}

// Header notifications: a click becomes LVN_COLUMNCLICK; the rest go on to the list's parent, whose answer
// (a refused track, for one) is the header's answer. A double-click on a divider the parent leaves alone fits
// the column to its contents.
LRESULT HeaderNotify(HWND hwnd, ListViewState& state, NMHDR* nm) {
    if (nm->hwndFrom != state.header)
        return 0;
    auto* header = reinterpret_cast<NMHEADERA*>(nm);
    const UINT code = nm->code;
    if (code == HDN_ITEMCLICKA || code == HDN_ITEMCLICKW) {
        if (!(GetWindowLongA(hwnd, GWL_STYLE) & LVS_NOSORTHEADER))
            NotifyList(hwnd, LVN_COLUMNCLICK, -1, 0, 0, 0, 0, {}, header->iItem);
        return 0;
    }
    HWND parent = GetParent(hwnd);
    const LRESULT answer = parent ? SendMessageA(parent, WM_NOTIFY, nm->idFrom, reinterpret_cast<LPARAM>(nm)) : 0;
    if (code == HDN_ENDDRAG && !(state.exStyle & LVS_EX_HEADERDRAGDROP))
        return TRUE;
    if ((code == HDN_DIVIDERDBLCLICKA || code == HDN_DIVIDERDBLCLICKW) && !answer)
        SetColumnWidth(hwnd, state, header->iItem, LVSCW_AUTOSIZE);
    if (code == HDN_ITEMCHANGEDA || code == HDN_ITEMCHANGEDW || code == HDN_ENDDRAG)
        ColumnsChanged(hwnd, state);
    return answer;
}

COLORREF& ColourSlot(ListViewState& state, UINT message) {
    if (message == LVM_GETBKCOLOR || message == LVM_SETBKCOLOR)
        return state.background;
    return message == LVM_GETTEXTCOLOR || message == LVM_SETTEXTCOLOR ? state.text : state.textBackground;
}

void SetFont(HWND hwnd, ListViewState& state, HFONT font, bool redraw) {
    state.font = font;
    SendMessageA(state.header, WM_SETFONT, reinterpret_cast<WPARAM>(font), redraw);
    LayoutListView(hwnd, state);
    if (redraw)
        InvalidateRect(hwnd, nullptr, FALSE);
}

LRESULT OnCreate(HWND hwnd, ListViewState& state) {
    state.background = GetSysColor(COLOR_WINDOW);
    state.text = GetSysColor(COLOR_WINDOWTEXT);
    const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    const DWORD headerStyle = WS_CHILD | HDS_HORZ | HDS_FULLDRAG | (style & LVS_NOSORTHEADER ? 0 : HDS_BUTTONS) |
                              (style & LVS_NOCOLUMNHEADER ? HDS_HIDDEN : 0);
    RECT client{};
    GetClientRect(hwnd, &client);
    state.header = CreateWindowExA(0, WC_HEADERA, "", headerStyle, 0, 0, client.right, 0, hwnd, nullptr,
                                   reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd, GWLP_HINSTANCE)), nullptr);
    if (!state.header)
        return -1;
    LayoutListView(hwnd, state);
    return 0;
}

LRESULT HandleListMessage(HWND hwnd, ListViewState& state, UINT message, WPARAM wParam, LPARAM lParam);

LRESULT CALLBACK ListViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ListViewState* state = ControlState<ListViewState>(hwnd, message, kStateProp);
    return state ? HandleListMessage(hwnd, *state, message, wParam, lParam)
                 : DefWindowProcA(hwnd, message, wParam, lParam);
}

LRESULT HandleListMessage(HWND hwnd, ListViewState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE: return OnCreate(hwnd, state);
    case WM_SIZE: LayoutListView(hwnd, state); return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        // With redraw off only a DC given to paint into gets the rows.
        return PaintControl(hwnd, wParam, [&state, wParam](HWND h, HDC dc) {
            if (state.redraw || wParam)
                PaintListView(h, dc, state);
        });
    case WM_ERASEBKGND: return TRUE;
    case WM_SETFONT: SetFont(hwnd, state, reinterpret_cast<HFONT>(wParam), LOWORD(lParam) != 0); return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(state.font);
    case WM_SETREDRAW:
        state.redraw = wParam != 0;
        if (state.redraw) {
            UpdateScrollBars(hwnd, state);
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        state.hasFocus = message == WM_SETFOCUS;
        InvalidateRect(hwnd, nullptr, FALSE);
        NMHDR nm{};
        SendNotify(hwnd, state.hasFocus ? NM_SETFOCUS : NM_KILLFOCUS, &nm);
        return 0;
    }
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
        MouseDown(hwnd, state, PointOf(lParam), message == WM_RBUTTONDOWN || message == WM_RBUTTONDBLCLK,
                  message == WM_LBUTTONDBLCLK || message == WM_RBUTTONDBLCLK);
        return 0;
    case WM_KEYDOWN: {
        // The parent sees every key first (it may act on Delete, say); the list then moves as usual.
        NMLVKEYDOWN key{};
        key.wVKey = static_cast<WORD>(wParam);
        SendNotify(hwnd, LVN_KEYDOWN, &key.hdr);
        if (wParam == VK_RETURN) {
            NMHDR nm{};
            SendNotify(hwnd, NM_RETURN, &nm);
        }
        if (IsWindow(hwnd))
            KeyDown(hwnd, state, wParam);
        return 0;
    }
    case WM_VSCROLL:
    case WM_HSCROLL:
        if (state.edit)
            EndLabelEdit(hwnd, state, false);
        Scroll(hwnd, state, message == WM_VSCROLL ? SB_VERT : SB_HORZ, wParam);
        return 0;
    case WM_MOUSEWHEEL:
        SetTopRow(hwnd, state, state.top - static_cast<short>(HIWORD(wParam)) / WHEEL_DELTA * kWheelRows);
        return 0;
    case WM_DRAWITEM: {
        // The header's owner-drawn items are drawn by the list's parent.
        const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (draw && draw->hwndItem == state.header && GetParent(hwnd))
            return SendMessageA(GetParent(hwnd), WM_DRAWITEM, wParam, lParam);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    case WM_NOTIFY: return lParam ? HeaderNotify(hwnd, state, reinterpret_cast<NMHDR*>(lParam)) : 0;
    case WM_NOTIFYFORMAT:
        // The header's codes follow what the list's own parent reads.
        // (asked while the header is being made, before the list knows its handle).
        if (lParam == NF_QUERY && GetParent(reinterpret_cast<HWND>(wParam)) == hwnd && GetParent(hwnd))
            return SendMessageA(GetParent(hwnd), WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(hwnd), NF_QUERY) ==
                           NFR_UNICODE
                       ? NFR_UNICODE
                       : NFR_ANSI;
        return NFR_ANSI;

    case LVM_GETBKCOLOR:
    case LVM_GETTEXTCOLOR:
    case LVM_GETTEXTBKCOLOR: return ColourSlot(state, message);
    case LVM_SETBKCOLOR:
    case LVM_SETTEXTCOLOR:
    case LVM_SETTEXTBKCOLOR:
        ColourSlot(state, message) = static_cast<COLORREF>(lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    case LVM_GETIMAGELIST:
        return reinterpret_cast<LRESULT>(wParam == LVSIL_SMALL   ? state.smallImages
                                         : wParam == LVSIL_STATE ? state.stateImages
                                                                 : state.normalImages);
    case LVM_SETIMAGELIST: {
        HIMAGELIST& slot = wParam == LVSIL_SMALL   ? state.smallImages
                           : wParam == LVSIL_STATE ? state.stateImages
                                                   : state.normalImages;
        HIMAGELIST previous = slot;
        slot = reinterpret_cast<HIMAGELIST>(lParam);
        LayoutListView(hwnd, state);
        InvalidateRect(hwnd, nullptr, FALSE);
        return reinterpret_cast<LRESULT>(previous);
    }
    case LVM_GETITEMCOUNT: return ItemCount(hwnd, state);
    case LVM_GETITEMA: return GetItem(hwnd, state, reinterpret_cast<LVITEMA*>(lParam));
    case LVM_SETITEMA: return SetItem(hwnd, state, reinterpret_cast<const LVITEMA*>(lParam));
    case LVM_INSERTITEMA: return InsertItem(hwnd, state, reinterpret_cast<const LVITEMA*>(lParam));
    case LVM_DELETEITEM: return DeleteItem(hwnd, state, static_cast<int>(wParam));
    case LVM_DELETEALLITEMS: return DeleteAllItems(hwnd, state);
    case LVM_GETNEXTITEM: return GetNextItem(hwnd, state, static_cast<int>(wParam), static_cast<UINT>(LOWORD(lParam)));
    case LVM_FINDITEMA:
        return FindItem(hwnd, state, static_cast<int>(wParam), reinterpret_cast<const LVFINDINFOA*>(lParam));
    case LVM_GETITEMRECT: {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        return rect ? ItemRectFor(hwnd, state, static_cast<int>(wParam), rect->left, rect) : FALSE;
    }
    case LVM_GETSUBITEMRECT: {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        return rect ? SubItemRectFor(hwnd, state, static_cast<int>(wParam), rect->top, rect->left, rect) : FALSE;
    }
    case LVM_GETSTRINGWIDTHA: {
        const char* text = reinterpret_cast<const char*>(lParam);
        return text ? TextWidth(state.font, text, static_cast<int>(std::strlen(text))) : 0;
    }
    case LVM_HITTEST:
    case LVM_SUBITEMHITTEST: {
        auto* hit = reinterpret_cast<LVHITTESTINFO*>(lParam);
        return hit ? HitTestList(hwnd, state, *hit, message == LVM_SUBITEMHITTEST) : -1;
    }
    case LVM_ENSUREVISIBLE: return EnsureRowVisible(hwnd, state, static_cast<int>(wParam), lParam != 0);
    case LVM_SCROLL: {
        const int dx = static_cast<int>(wParam), dy = static_cast<int>(lParam);
        int rows = state.rowHeight > 0 ? dy / state.rowHeight : 0;
        if (dy != 0 && rows == 0)
            rows = dy > 0 ? 1 : -1;
        SetTopRow(hwnd, state, state.top + rows);
        SetScrollX(hwnd, state, state.scrollX + dx);
        return TRUE;
    }
    case LVM_REDRAWITEMS:
    case LVM_UPDATE: {
        const int first = static_cast<int>(wParam);
        const int last = message == LVM_UPDATE ? first : static_cast<int>(lParam);
        for (int row = std::max(first, state.top); row <= last && row <= state.top + CountPerPage(hwnd, state); ++row)
            InvalidateRow(hwnd, state, row);
        return TRUE;
    }
    case LVM_GETEDITCONTROL: return reinterpret_cast<LRESULT>(state.edit);
    case LVM_EDITLABELA:
        return reinterpret_cast<LRESULT>(
            static_cast<int>(wParam) < 0
                ? (EndLabelEdit(hwnd, state, true), nullptr)
                : BeginLabelEdit(hwnd, state, static_cast<int>(wParam), static_cast<int>(lParam)));
    case WM_DESTROY:
        // The edit goes with the list's children; it must not report to a list that is going.
        state.edit = nullptr;
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case LVM_GETCOLUMNA: return GetColumn(state, static_cast<int>(wParam), reinterpret_cast<LVCOLUMNA*>(lParam));
    case LVM_SETCOLUMNA:
        return SetColumn(hwnd, state, static_cast<int>(wParam), reinterpret_cast<const LVCOLUMNA*>(lParam));
    case LVM_INSERTCOLUMNA:
        return InsertColumn(hwnd, state, static_cast<int>(wParam), reinterpret_cast<const LVCOLUMNA*>(lParam));
    case LVM_DELETECOLUMN: return DeleteColumn(hwnd, state, static_cast<int>(wParam));
    case LVM_GETCOLUMNWIDTH: return wParam < state.columns.size() ? ColumnWidth(state, static_cast<int>(wParam)) : 0;
    case LVM_SETCOLUMNWIDTH:
        return SetColumnWidth(hwnd, state, static_cast<int>(wParam),
                              static_cast<int>(static_cast<short>(LOWORD(lParam))));
    case LVM_GETHEADER: return reinterpret_cast<LRESULT>(state.header);
    case LVM_GETVIEWRECT: {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        if (!rect)
            return FALSE;
        *rect = RECT{-state.scrollX, state.headerHeight - state.top * state.rowHeight,
                     TotalColumnWidth(state) - state.scrollX,
                     state.headerHeight + (ItemCount(hwnd, state) - state.top) * state.rowHeight};
        return TRUE;
    }
    case LVM_GETORIGIN: {
        auto* origin = reinterpret_cast<POINT*>(lParam);
        if (origin)
            *origin = POINT{state.scrollX, state.top * state.rowHeight};
        return TRUE;
    }
    case LVM_GETTOPINDEX: return state.top;
    case LVM_GETCOUNTPERPAGE: return CountPerPage(hwnd, state);
    case LVM_SETITEMSTATE: {
        const auto* item = reinterpret_cast<const LVITEMA*>(lParam);
        if (!item)
            return FALSE;
        const int row = static_cast<int>(wParam);
        return row == -1 ? ChangeAllStates(hwnd, state, item->state, item->stateMask)
                         : ChangeItemState(hwnd, state, row, item->state, item->stateMask);
    }
    case LVM_GETITEMSTATE:
        return ValidRow(hwnd, state, static_cast<int>(wParam))
                   ? ItemState(state, static_cast<int>(wParam), static_cast<UINT>(lParam))
                   : 0;
    case LVM_GETITEMTEXTA: {
        auto* item = reinterpret_cast<LVITEMA*>(lParam);
        if (!item || !ValidRow(hwnd, state, static_cast<int>(wParam)) || !item->pszText || item->cchTextMax <= 0)
            return 0;
        char buffer[kDispInfoBufferLength];
        CopyText(CellText(hwnd, state, static_cast<int>(wParam), item->iSubItem, buffer, kDispInfoBufferLength),
                 item->pszText, item->cchTextMax);
        return static_cast<LRESULT>(std::strlen(item->pszText));
    }
    case LVM_SETITEMTEXTA: {
        const auto* given = reinterpret_cast<const LVITEMA*>(lParam);
        if (!given)
            return FALSE;
        LVITEMA item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(wParam);
        item.iSubItem = given->iSubItem;
        item.pszText = given->pszText;
        return SetItem(hwnd, state, &item);
    }
    case LVM_SETITEMCOUNT: return SetItemCount(hwnd, state, static_cast<int>(wParam), static_cast<DWORD>(lParam));
    case LVM_SORTITEMS:
    case LVM_SORTITEMSEX:
        return SortItems(hwnd, state, reinterpret_cast<PFNLVCOMPARE>(lParam), static_cast<LPARAM>(wParam),
                         message == LVM_SORTITEMSEX);
    case LVM_GETSELECTEDCOUNT: return SelectedCount(hwnd, state);
    case LVM_SETEXTENDEDLISTVIEWSTYLE: {
        const DWORD previous = state.exStyle;
        const DWORD mask = wParam ? static_cast<DWORD>(wParam) : 0xFFFFFFFFU;
        state.exStyle = (state.exStyle & ~mask) | (static_cast<DWORD>(lParam) & mask);
        const LONG headerStyle = GetWindowLongA(state.header, GWL_STYLE);
        SetWindowLongA(state.header, GWL_STYLE,
                       (state.exStyle & LVS_EX_HEADERDRAGDROP) ? headerStyle | HDS_DRAGDROP
                                                               : headerStyle & ~HDS_DRAGDROP);
        InvalidateRect(hwnd, nullptr, FALSE);
        return previous;
    }
    case LVM_GETEXTENDEDLISTVIEWSTYLE: return state.exStyle;
    case LVM_SETCOLUMNORDERARRAY: {
        const LRESULT done = SendMessageA(state.header, HDM_SETORDERARRAY, wParam, lParam);
        ColumnsChanged(hwnd, state);
        return done;
    }
    case LVM_GETCOLUMNORDERARRAY: return SendMessageA(state.header, HDM_GETORDERARRAY, wParam, lParam);
    case LVM_GETSELECTIONMARK: return state.mark;
    case LVM_SETSELECTIONMARK: {
        const int previous = state.mark;
        state.mark = static_cast<int>(lParam);
        return previous;
    }
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

} // namespace

namespace win32::internal {

ListViewState* ListViewStateOf(HWND hwnd) {
    return static_cast<ListViewState*>(GetPropA(hwnd, kStateProp));
}

bool IsOwnerData(HWND hwnd) {
    return (GetWindowLongA(hwnd, GWL_STYLE) & LVS_OWNERDATA) != 0;
}

int ItemCount(HWND hwnd, const ListViewState& state) {
    return IsOwnerData(hwnd) ? state.ownerCount : static_cast<int>(state.items.size());
}

} // namespace win32::internal

namespace win32 {

void RegisterListViewClassOnly() {
    WNDCLASSA wc{};
    if (GetClassInfoA(nullptr, WC_LISTVIEWA, &wc))
        return;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = ListViewProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = WC_LISTVIEWA;
    RegisterClassA(&wc);
}

} // namespace win32
