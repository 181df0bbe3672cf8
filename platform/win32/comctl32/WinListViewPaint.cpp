// The list view's painting: rows from the top row down to the client's bottom, each cell asked for only when
// it lies in the update area, with custom draw at the list, item and sub-item stages.
#include <algorithm>

#include "WinDialogs.h"
#include "WinGdi.h"
#include "WinImageList.h"
#include "WinPaint.h"
#include "WinRect.h"
#include "WinUserDraw.h"
#include "internal/ControlNotify.h"
#include "internal/ListViewState.h"

namespace win32::internal {

namespace {

constexpr int kTextInset = 6;

struct ColumnSpan {
    int left;
    int right;
};

COLORREF Resolve(COLORREF colour, COLORREF fallback) {
    return colour == CLR_NONE || colour == CLR_DEFAULT ? fallback : colour;
}

void Fill(HDC dc, const RECT& r, COLORREF colour) {
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    const COLORREF old = SetBkColor(dc, colour);
    ExtTextOutA(dc, r.left, r.top, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    SetBkColor(dc, old);
}

UINT AlignOf(const ListViewState& state, int column) {
    if (column == 0)
        return DT_LEFT; // the label always reads from the left, as on the platform
    const int fmt = state.columns[static_cast<size_t>(column)].fmt & LVCFMT_JUSTIFYMASK;
    return fmt == LVCFMT_RIGHT ? DT_RIGHT : fmt == LVCFMT_CENTER ? DT_CENTER : DT_LEFT;
}

LPARAM ParamOf(const ListViewState& state, int row) {
    return state.items.empty() ? 0 : state.items[static_cast<size_t>(row)].lParam;
}

void DrawImage(HIMAGELIST list, int index, HDC dc, const RECT& part) {
    if (!list || index < 0 || index >= ImageList_GetImageCount(list) || part.right <= part.left)
        return;
    int cx = 0, cy = 0;
    ImageList_GetIconSize(list, &cx, &cy);
    ImageList_Draw(list, index, dc, part.left, part.top + (part.bottom - part.top - cy) / 2, ILD_TRANSPARENT);
}

void OwnerDrawRow(HWND hwnd, HDC dc, const ListViewState& state, int row, const RECT& bounds) {
    DRAWITEMSTRUCT draw{};
    draw.CtlType = ODT_LISTVIEW;
    draw.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
    draw.itemID = static_cast<UINT>(row);
    draw.itemAction = ODA_DRAWENTIRE;
    const UINT st = ItemState(state, row, LVIS_SELECTED | LVIS_FOCUSED);
    draw.itemState =
        ((st & LVIS_SELECTED) ? ODS_SELECTED : 0) | ((st & LVIS_FOCUSED) && state.hasFocus ? ODS_FOCUS : 0);
    draw.hwndItem = hwnd;
    draw.hDC = dc;
    draw.rcItem = bounds;
    draw.itemData = static_cast<ULONG_PTR>(ParamOf(state, row));
    if (HWND parent = GetParent(hwnd))
        SendMessageA(parent, WM_DRAWITEM, draw.CtlID, reinterpret_cast<LPARAM>(&draw));
}

} // namespace

UINT ItemState(const ListViewState& state, int row, UINT mask) {
    UINT bits;
    if (state.items.empty())
        bits = (static_cast<size_t>(row) < state.ownerSelected.size() && state.ownerSelected[static_cast<size_t>(row)]
                    ? LVIS_SELECTED
                    : 0) |
               (state.focus == row ? LVIS_FOCUSED : 0);
    else
        bits = state.items[static_cast<size_t>(row)].state;
    return bits & mask;
}

const char* CellText(HWND hwnd, const ListViewState& state, int row, int column, char* buffer, int length) {
    if (!state.items.empty()) {
        const ListItem& item = state.items[static_cast<size_t>(row)];
        if (static_cast<size_t>(column) >= item.cells.size())
            return "";
        if (!item.cells[static_cast<size_t>(column)].callback)
            return item.cells[static_cast<size_t>(column)].text.c_str();
    }
    NMLVDISPINFOA info{};
    info.item.mask = LVIF_TEXT;
    info.item.iItem = row;
    info.item.iSubItem = column;
    info.item.pszText = buffer;
    info.item.cchTextMax = length;
    info.item.lParam = ParamOf(state, row);
    buffer[0] = '\0';
    SendNotify(hwnd, LVN_GETDISPINFOA, &info.hdr);
    if (!info.item.pszText || info.item.pszText == LPSTR_TEXTCALLBACKA)
        return "";
    // A parent that filled the whole buffer loses its last character rather than have it read past the end.
    buffer[length - 1] = '\0';
    return info.item.pszText;
}

void PaintListView(HWND hwnd, HDC dc, ListViewState& state) {
    RECT client{};
    GetClientRect(hwnd, &client);
    const COLORREF background = Resolve(state.background, GetSysColor(COLOR_WINDOW));
    RECT body{client.left, state.headerHeight, client.right, client.bottom};
    Fill(dc, body, background);
    HFONT font = ControlFont(state.font);
    HGDIOBJ oldFont = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);

    const int count = ItemCount(hwnd, state);
    if (state.items.empty() && state.rowHeight > 0) {
        // An owner-data parent may fetch the rows about to be painted in one go.
        NMLVCACHEHINT hint{};
        hint.iFrom = -1;
        for (int row = state.top; row < count; ++row) {
            const RECT line{client.left, state.headerHeight + (row - state.top) * state.rowHeight, client.right,
                            state.headerHeight + (row - state.top + 1) * state.rowHeight};
            if (line.top >= client.bottom)
                break;
            if (!RectVisible(dc, &line))
                continue;
            if (hint.iFrom < 0)
                hint.iFrom = row;
            hint.iTo = row;
        }
        if (hint.iFrom >= 0)
            SendNotify(hwnd, LVN_ODCACHEHINT, &hint.hdr);
    }

    NMLVCUSTOMDRAW cd{};
    cd.nmcd.hdc = dc;
    cd.nmcd.rc = client;
    cd.nmcd.dwDrawStage = CDDS_PREPAINT;
    const LRESULT listFlags = SendNotify(hwnd, NM_CUSTOMDRAW, &cd.nmcd.hdr);
    if (listFlags & CDRF_SKIPDEFAULT) {
        SelectObject(dc, oldFont);
        return;
    }

    const std::vector<int> order = ColumnOrder(state);
    std::vector<ColumnSpan> spans(state.columns.size());
    for (size_t c = 0; c < spans.size(); ++c) {
        RECT r{};
        SendMessageA(state.header, HDM_GETITEMRECT, c, reinterpret_cast<LPARAM>(&r));
        spans[c] = {static_cast<int>(r.left) - state.scrollX, static_cast<int>(r.right) - state.scrollX};
    }
    const int rowsRight =
        spans.empty()
            ? client.left
            : std::max_element(spans.begin(), spans.end(), [](auto a, auto b) { return a.right < b.right; })->right;
    const LONG style = GetWindowLongA(hwnd, GWL_STYLE);
    const bool fullRow = (state.exStyle & LVS_EX_FULLROWSELECT) != 0;
    const bool showSelection = state.hasFocus || (style & LVS_SHOWSELALWAYS);
    char buffer[kDispInfoBufferLength];

    for (int row = state.top; row < count; ++row) {
        RECT bounds{-state.scrollX, state.headerHeight + (row - state.top) * state.rowHeight, rowsRight,
                    state.headerHeight + (row - state.top + 1) * state.rowHeight};
        if (bounds.top >= client.bottom)
            break;
        RECT line{client.left, bounds.top, client.right, bounds.bottom};
        if (!RectVisible(dc, &line))
            continue; // outside the update area: its cells are not even asked for
        if (style & LVS_OWNERDRAWFIXED) {
            OwnerDrawRow(hwnd, dc, state, row, bounds);
            continue;
        }
        const UINT st = ItemState(state, row, ~0U);
        const bool selected = (st & LVIS_SELECTED) && showSelection;
        cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
        cd.nmcd.rc = bounds;
        cd.nmcd.dwItemSpec = static_cast<DWORD_PTR>(row);
        cd.nmcd.uItemState =
            ((st & LVIS_SELECTED) ? CDIS_SELECTED : 0) | ((st & LVIS_FOCUSED) && state.hasFocus ? CDIS_FOCUS : 0);
        cd.nmcd.lItemlParam = ParamOf(state, row);
        cd.clrText = Resolve(state.text, GetSysColor(COLOR_WINDOWTEXT));
        cd.clrTextBk = Resolve(state.textBackground, background);
        cd.iSubItem = 0;
        const LRESULT itemFlags = (listFlags & CDRF_NOTIFYITEMDRAW) ? SendNotify(hwnd, NM_CUSTOMDRAW, &cd.nmcd.hdr) : 0;
        if (itemFlags & CDRF_SKIPDEFAULT)
            continue;
        const COLORREF itemText = cd.clrText, itemBack = cd.clrTextBk;
        for (int column : order) {
            const ColumnSpan span = spans[static_cast<size_t>(column)];
            if (span.right <= client.left || span.left >= client.right || span.right <= span.left)
                continue;
            RECT cell{span.left, bounds.top, span.right, bounds.bottom};
            COLORREF text = itemText, back = itemBack;
            if (itemFlags & CDRF_NOTIFYSUBITEMDRAW) {
                cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
                cd.nmcd.rc = cell;
                cd.iSubItem = column;
                cd.clrText = itemText;
                cd.clrTextBk = itemBack;
                if (SendNotify(hwnd, NM_CUSTOMDRAW, &cd.nmcd.hdr) & CDRF_SKIPDEFAULT)
                    continue;
                text = Resolve(cd.clrText, itemText);
                back = Resolve(cd.clrTextBk, background);
            }
            RECT textPart = cell;
            if (column == 0) {
                const RECT stateIcon = StateIconRect(hwnd, state, row);
                const RECT icon = IconRect(hwnd, state, row);
                RECT images{cell.left, cell.top, icon.right, cell.bottom};
                Fill(dc, images, background);
                const int stateImage = static_cast<int>((st & LVIS_STATEIMAGEMASK) >> 12);
                if (stateImage > 0)
                    DrawImage(state.stateImages, stateImage - 1, dc, stateIcon);
                if (!state.items.empty())
                    DrawImage(state.smallImages, state.items[static_cast<size_t>(row)].image, dc, icon);
                textPart.left = icon.right;
            }
            const bool highlight = selected && (column == 0 || fullRow);
            if (highlight) {
                text = GetSysColor(state.hasFocus ? COLOR_HIGHLIGHTTEXT : COLOR_BTNTEXT);
                back = GetSysColor(state.hasFocus ? COLOR_HIGHLIGHT : COLOR_BTNFACE);
            }
            Fill(dc, textPart, back);
            const char* value = CellText(hwnd, state, row, column, buffer, kDispInfoBufferLength);
            RECT inset{textPart.left + kTextInset, textPart.top, textPart.right - kTextInset, textPart.bottom};
            if (*value && inset.right > inset.left) {
                SetTextColor(dc, text);
                DrawTextA(dc, value, -1, &inset,
                          AlignOf(state, column) | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
            }
        }
        if (itemFlags & CDRF_NEWFONT)
            SelectObject(dc, font);
        if ((st & LVIS_FOCUSED) && state.hasFocus) {
            RECT focus{};
            ItemRectFor(hwnd, state, row, LVIR_SELECTBOUNDS, &focus);
            DrawFocusRect(dc, &focus);
        }
        if (itemFlags & CDRF_NOTIFYPOSTPAINT) {
            cd.nmcd.dwDrawStage = CDDS_ITEMPOSTPAINT;
            cd.nmcd.rc = bounds;
            cd.iSubItem = 0;
            SendNotify(hwnd, NM_CUSTOMDRAW, &cd.nmcd.hdr);
        }
    }

    if (state.exStyle & LVS_EX_GRIDLINES) {
        HBRUSH grid = GetSysColorBrush(COLOR_BTNFACE);
        for (int y = state.headerHeight + state.rowHeight - 1; y < client.bottom; y += state.rowHeight) {
            RECT r{client.left, y, std::min<LONG>(client.right, rowsRight), y + 1};
            FillRect(dc, &r, grid);
        }
        for (const ColumnSpan& span : spans) {
            RECT r{span.right - 1, state.headerHeight, span.right, client.bottom};
            FillRect(dc, &r, grid);
        }
    }
    if (listFlags & CDRF_NOTIFYPOSTPAINT) {
        cd.nmcd.dwDrawStage = CDDS_POSTPAINT;
        cd.nmcd.rc = client;
        SendNotify(hwnd, NM_CUSTOMDRAW, &cd.nmcd.hdr);
    }
    SelectObject(dc, oldFont);
}

} // namespace win32::internal
