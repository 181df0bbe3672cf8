// The list box. Locks: none; its state lives in a property of its window, touched only on the window's thread.
#include "WinListBox.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>
#include <strings.h>
#include <vector>

#include "WinGdi.h"
#include "WinInput.h"
#include "WinPaint.h"
#include "WinRect.h"
#include "WinUserDraw.h"
#include "internal/ComboList.h"
#include "internal/ControlSupport.h"

using namespace win32::internal;

namespace {

const char kStateProp[] = "TdlListBoxState";
constexpr int kTextInset = 2;

struct Item {
    std::string text;
    ULONG_PTR data = 0;
    bool selected = false;
};

struct ListState {
    std::vector<Item> items;
    int caret = 0;  // the focus row
    int anchor = 0; // where a shift-extended range starts
    int top = 0;
    int height = 0; // 0 until the font gives it
    HFONT font = nullptr;
    bool focused = false;
    HWND combo = nullptr;   // the combo box this list drops down for
    bool barHidden = false; // WS_VSCROLL was taken away while every row showed
};

LONG StyleOf(HWND hwnd) {
    return GetWindowLongA(hwnd, GWL_STYLE);
}

bool Multiple(HWND hwnd) {
    return (StyleOf(hwnd) & (LBS_MULTIPLESEL | LBS_EXTENDEDSEL)) != 0;
}

bool HasStrings(HWND hwnd) {
    const LONG style = StyleOf(hwnd);
    return !(style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) || (style & LBS_HASSTRINGS);
}

int Count(const ListState& state) {
    return static_cast<int>(state.items.size());
}

bool Valid(const ListState& state, WPARAM index) {
    return static_cast<int>(index) >= 0 && static_cast<int>(index) < Count(state);
}

int RowHeight(ListState& state) {
    if (!state.height)
        state.height = FontLineHeight(state.font);
    return state.height;
}

int VisibleRows(HWND hwnd, ListState& state) {
    RECT client{};
    GetClientRect(hwnd, &client);
    return std::max(1, static_cast<int>(client.bottom) / RowHeight(state));
}

// Where the list's notifications, colours and drawing go: its parent, or the combo it drops down for.
HWND Owner(HWND hwnd, const ListState& state) {
    return state.combo ? state.combo : GetParent(hwnd);
}

void Notify(HWND hwnd, const ListState& state, WORD code) {
    if (state.combo || !(StyleOf(hwnd) & LBS_NOTIFY))
        return;
    NotifyParent(hwnd, code);
}

void UpdateScrollBar(HWND hwnd, ListState& state) {
    const LONG style = StyleOf(hwnd);
    const bool needed = Count(state) > VisibleRows(hwnd, state);
    if (!(style & LBS_DISABLENOSCROLL) && (style & WS_VSCROLL) != 0 && !needed) {
        // A list whose rows all show has no scroll bar (it comes back when they no longer do).
        state.barHidden = true;
        ShowScrollBar(hwnd, SB_VERT, FALSE);
    } else if (state.barHidden && needed) {
        state.barHidden = false;
        ShowScrollBar(hwnd, SB_VERT, TRUE);
    }
    if (!(StyleOf(hwnd) & WS_VSCROLL))
        return;
    // LBS_DISABLENOSCROLL keeps the bar, greyed, while every row shows.
    const UINT keep = (style & LBS_DISABLENOSCROLL) ? SIF_DISABLENOSCROLL : 0;
    SCROLLINFO info{sizeof info,
                    SIF_RANGE | SIF_PAGE | SIF_POS | keep,
                    0,
                    std::max(0, Count(state) - 1),
                    static_cast<UINT>(VisibleRows(hwnd, state)),
                    state.top,
                    0};
    SetScrollInfo(hwnd, SB_VERT, &info, TRUE);
}

void SetTop(HWND hwnd, ListState& state, int top) {
    const int highest = std::max(0, Count(state) - VisibleRows(hwnd, state));
    top = std::clamp(top, 0, highest);
    if (top != state.top) {
        state.top = top;
        InvalidateRect(hwnd, nullptr, FALSE);
    }
    UpdateScrollBar(hwnd, state);
}

void ShowRow(HWND hwnd, ListState& state, int index) {
    const int rows = VisibleRows(hwnd, state);
    if (index < state.top)
        SetTop(hwnd, state, index);
    else if (index >= state.top + rows)
        SetTop(hwnd, state, index - rows + 1);
}

RECT RowRect(HWND hwnd, ListState& state, int index) {
    RECT client{};
    GetClientRect(hwnd, &client);
    const int h = RowHeight(state);
    return {0, (index - state.top) * h, client.right, (index - state.top + 1) * h};
}

// The row under a point: its index (clamped to the items) and whether the point lies outside every row.
std::pair<int, bool> RowAt(HWND hwnd, ListState& state, POINT at) {
    RECT client{};
    GetClientRect(hwnd, &client);
    const int row = at.y < 0 ? -1 : at.y / RowHeight(state);
    const int index = state.top + row;
    const bool outside = !PtInRect(&client, at) || index >= Count(state) || row < 0;
    return {std::clamp(index, 0, std::max(0, Count(state) - 1)), outside};
}

int CurrentSelection(const ListState& state) {
    for (int i = 0; i < Count(state); ++i)
        if (state.items[static_cast<size_t>(i)].selected)
            return i;
    return LB_ERR;
}

// Selects one row alone (or none with -1); true when anything changed.
bool SelectOnly(HWND hwnd, ListState& state, int index) {
    bool changed = false;
    for (int i = 0; i < Count(state); ++i) {
        Item& item = state.items[static_cast<size_t>(i)];
        if (item.selected != (i == index)) {
            item.selected = i == index;
            changed = true;
        }
    }
    if (index >= 0) {
        state.caret = state.anchor = index;
        ShowRow(hwnd, state, index);
    }
    if (changed)
        InvalidateRect(hwnd, nullptr, FALSE);
    return changed;
}

bool SelectRange(HWND hwnd, ListState& state, int from, int to, bool keepOthers) {
    bool changed = false;
    const int low = std::min(from, to), high = std::max(from, to);
    for (int i = 0; i < Count(state); ++i) {
        Item& item = state.items[static_cast<size_t>(i)];
        const bool on = (i >= low && i <= high) || (keepOthers && item.selected);
        changed |= item.selected != on;
        item.selected = on;
    }
    if (changed)
        InvalidateRect(hwnd, nullptr, FALSE);
    return changed;
}

int Find(const ListState& state, WPARAM start, LPCSTR text, bool exact) {
    if (!text || state.items.empty())
        return LB_ERR;
    const size_t length = std::strlen(text);
    const int n = Count(state);
    const int first = Valid(state, start) ? static_cast<int>(start) + 1 : 0;
    for (int k = 0; k < n; ++k) {
        const Item& item = state.items[static_cast<size_t>((first + k) % n)];
        const bool match = exact ? strcasecmp(item.text.c_str(), text) == 0
                                 : item.text.size() >= length && strncasecmp(item.text.c_str(), text, length) == 0;
        if (match)
            return (first + k) % n;
    }
    return LB_ERR;
}

int Insert(HWND hwnd, ListState& state, int at, LPARAM lParam, bool sorted) {
    Item item;
    if (HasStrings(hwnd))
        item.text = lParam ? reinterpret_cast<LPCSTR>(lParam) : "";
    else
        item.data = static_cast<ULONG_PTR>(lParam);
    if (sorted && HasStrings(hwnd)) {
        // After the last item that sorts at or before the new one, in any case.
        auto it = std::upper_bound(state.items.begin(), state.items.end(), item, [](const Item& a, const Item& b) {
            return strcasecmp(a.text.c_str(), b.text.c_str()) < 0;
        });
        at = static_cast<int>(it - state.items.begin());
    } else if (at < 0 || at > Count(state)) {
        at = Count(state);
    }
    state.items.insert(state.items.begin() + at, std::move(item));
    if (state.caret >= at && Count(state) > 1)
        ++state.caret;
    UpdateScrollBar(hwnd, state);
    InvalidateRect(hwnd, nullptr, FALSE);
    return at;
}

void Paint(HWND hwnd, HDC dc, ListState& state) {
    RECT client{};
    GetClientRect(hwnd, &client);
    HWND owner = Owner(hwnd, state);
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    SetBkColor(dc, GetSysColor(COLOR_WINDOW));
    auto brush = owner ? reinterpret_cast<HBRUSH>(SendMessageA(owner, WM_CTLCOLORLISTBOX, reinterpret_cast<WPARAM>(dc),
                                                               reinterpret_cast<LPARAM>(hwnd)))
                       : nullptr;
    FillRect(dc, &client, brush ? brush : GetSysColorBrush(COLOR_WINDOW));
    const COLORREF textColour = IsWindowEnabled(hwnd) ? GetTextColor(dc) : GetSysColor(COLOR_GRAYTEXT);
    HGDIOBJ oldFont = SelectObject(dc, ControlFont(state.font));
    SetBkMode(dc, TRANSPARENT);
    const LONG style = StyleOf(hwnd);
    const bool ownerDraw = (style & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0;
    for (int i = state.top; i < Count(state); ++i) {
        const RECT row = RowRect(hwnd, state, i);
        if (row.top >= client.bottom)
            break;
        const Item& item = state.items[static_cast<size_t>(i)];
        const bool focus = state.focused && i == state.caret && !state.combo;
        if (ownerDraw) {
            DRAWITEMSTRUCT draw{ODT_LISTBOX,
                                static_cast<UINT>(GetDlgCtrlID(hwnd)),
                                static_cast<UINT>(i),
                                ODA_DRAWENTIRE,
                                (item.selected ? ODS_SELECTED : 0u) | (focus ? ODS_FOCUS : 0u) |
                                    (IsWindowEnabled(hwnd) ? 0u : ODS_DISABLED),
                                hwnd,
                                dc,
                                row,
                                item.data};
            if (owner)
                SendMessageA(owner, WM_DRAWITEM, draw.CtlID, reinterpret_cast<LPARAM>(&draw));
            continue;
        }
        if (item.selected) {
            FillRect(dc, &row, GetSysColorBrush(COLOR_HIGHLIGHT));
            SetTextColor(dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        } else {
            SetTextColor(dc, textColour);
        }
        RECT text = row;
        text.left += kTextInset;
        DrawTextA(dc, item.text.c_str(), static_cast<int>(item.text.size()), &text,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | (style & LBS_USETABSTOPS ? DT_EXPANDTABS : 0));
        if (focus)
            DrawFocusRect(dc, &row);
    }
    SelectObject(dc, oldFont);
}

// A user's move of the focus row by key or click, with the selection following as the style has it.
void UserSelect(HWND hwnd, ListState& state, int index, bool shift, bool control, bool toggle) {
    if (state.items.empty() || (StyleOf(hwnd) & LBS_NOSEL))
        return;
    index = std::clamp(index, 0, Count(state) - 1);
    const LONG style = StyleOf(hwnd);
    bool changed;
    if (style & LBS_MULTIPLESEL) {
        changed = toggle;
        if (toggle) {
            Item& item = state.items[static_cast<size_t>(index)];
            item.selected = !item.selected;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        state.caret = index;
        ShowRow(hwnd, state, index);
        InvalidateRect(hwnd, nullptr, FALSE);
    } else if ((style & LBS_EXTENDEDSEL) && shift) {
        changed = SelectRange(hwnd, state, state.anchor, index, control);
        state.caret = index;
        ShowRow(hwnd, state, index);
    } else if ((style & LBS_EXTENDEDSEL) && control && toggle) {
        Item& item = state.items[static_cast<size_t>(index)];
        item.selected = !item.selected;
        changed = true;
        state.caret = state.anchor = index;
        InvalidateRect(hwnd, nullptr, FALSE);
    } else {
        changed = SelectOnly(hwnd, state, index);
    }
    if (changed)
        Notify(hwnd, state, LBN_SELCHANGE);
}

void KeyDown(HWND hwnd, ListState& state, WPARAM vk) {
    const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    const bool control = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    const int page = VisibleRows(hwnd, state);
    int to;
    switch (vk) {
    case VK_UP: to = state.caret - 1; break;
    case VK_DOWN: to = state.caret + 1; break;
    case VK_PRIOR: to = state.caret - page + 1; break;
    case VK_NEXT: to = state.caret + page - 1; break;
    case VK_HOME: to = 0; break;
    case VK_END: to = Count(state) - 1; break;
    case VK_SPACE:
        if (Multiple(hwnd))
            UserSelect(hwnd, state, state.caret, false, true, true);
        return;
    default: win32::ForwardDialogKey(hwnd, vk); return;
    }
    if (StyleOf(hwnd) & LBS_MULTIPLESEL) {
        UserSelect(hwnd, state, to, false, false, false);
        return;
    }
    UserSelect(hwnd, state, to, shift, control, false);
}

// A typed character moves to the next item that starts with it.
void TypeChar(HWND hwnd, ListState& state, char c) {
    if (static_cast<unsigned char>(c) < 0x20 || !HasStrings(hwnd))
        return;
    const char text[2] = {c, '\0'};
    const int found = Find(state, static_cast<WPARAM>(state.caret), text, false);
    if (found != LB_ERR)
        UserSelect(hwnd, state, found, false, false, false);
}

void MouseDown(HWND hwnd, ListState& state, WPARAM keys, LPARAM lParam, bool twice) {
    const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    const auto [index, outside] = RowAt(hwnd, state, at);
    if (state.combo) {
        if (outside) {
            ReleaseCapture();
            SendMessageA(state.combo, kComboListClicked, FALSE, 0);
        } else {
            SelectOnly(hwnd, state, index);
        }
        return;
    }
    SetFocus(hwnd);
    if (outside)
        return;
    UserSelect(hwnd, state, index, (keys & MK_SHIFT) != 0, (keys & MK_CONTROL) != 0, true);
    if (twice)
        Notify(hwnd, state, LBN_DBLCLK);
}

LRESULT ListMessage(HWND hwnd, ListState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case LB_ADDSTRING: return Insert(hwnd, state, -1, lParam, (StyleOf(hwnd) & LBS_SORT) != 0);
    case LB_INSERTSTRING: return Insert(hwnd, state, static_cast<int>(wParam), lParam, false);
    case LB_DELETESTRING: {
        if (!Valid(state, wParam))
            return LB_ERR;
        const int index = static_cast<int>(wParam);
        state.items.erase(state.items.begin() + index);
        if (state.caret > index || state.caret >= Count(state))
            state.caret = std::max(0, state.caret - 1);
        SetTop(hwnd, state, state.top);
        InvalidateRect(hwnd, nullptr, FALSE);
        return Count(state);
    }
    case LB_RESETCONTENT:
        state.items.clear();
        state.caret = state.anchor = state.top = 0;
        UpdateScrollBar(hwnd, state);
        InvalidateRect(hwnd, nullptr, FALSE);
        return LB_OKAY;
    case LB_GETCOUNT: return Count(state);
    case LB_GETTEXT:
        if (!Valid(state, wParam))
            return LB_ERR;
        if (!HasStrings(hwnd)) {
            if (lParam)
                std::memcpy(reinterpret_cast<void*>(lParam), &state.items[wParam].data, sizeof(ULONG_PTR));
            return sizeof(ULONG_PTR);
        }
        if (lParam)
            std::memcpy(reinterpret_cast<char*>(lParam), state.items[wParam].text.c_str(),
                        state.items[wParam].text.size() + 1);
        return static_cast<LRESULT>(state.items[wParam].text.size());
    case LB_GETTEXTLEN:
        if (!Valid(state, wParam))
            return LB_ERR;
        return HasStrings(hwnd) ? static_cast<LRESULT>(state.items[wParam].text.size()) : sizeof(ULONG_PTR);
    case LB_GETITEMDATA: return Valid(state, wParam) ? static_cast<LRESULT>(state.items[wParam].data) : LB_ERR;
    case LB_SETITEMDATA:
        if (!Valid(state, wParam))
            return LB_ERR;
        state.items[wParam].data = static_cast<ULONG_PTR>(lParam);
        return LB_OKAY;
    case LB_SETCURSEL:
        if (Multiple(hwnd))
            return LB_ERR;
        SelectOnly(hwnd, state, Valid(state, wParam) ? static_cast<int>(wParam) : -1);
        return Valid(state, wParam) ? static_cast<LRESULT>(wParam) : LB_ERR;
    case LB_GETCURSEL: return Multiple(hwnd) ? state.caret : CurrentSelection(state);
    case LB_SETSEL: {
        if (!Multiple(hwnd))
            return LB_ERR;
        const int index = static_cast<int>(lParam);
        if (index == -1) {
            for (Item& item : state.items)
                item.selected = wParam != 0;
        } else if (Valid(state, static_cast<WPARAM>(index))) {
            state.items[static_cast<size_t>(index)].selected = wParam != 0;
            state.caret = index;
        } else {
            return LB_ERR;
        }
        InvalidateRect(hwnd, nullptr, FALSE);
        return LB_OKAY;
    }
    case LB_GETSEL: return Valid(state, wParam) ? (state.items[wParam].selected ? 1 : 0) : LB_ERR;
    case LB_GETSELCOUNT:
        if (!Multiple(hwnd))
            return LB_ERR;
        return std::count_if(state.items.begin(), state.items.end(), [](const Item& i) { return i.selected; });
    case LB_GETSELITEMS: {
        if (!Multiple(hwnd))
            return LB_ERR;
        auto* out = reinterpret_cast<int*>(lParam);
        int n = 0;
        for (int i = 0; i < Count(state) && n < static_cast<int>(wParam); ++i)
            if (state.items[static_cast<size_t>(i)].selected) {
                if (out)
                    out[n] = i;
                ++n;
            }
        return n;
    }
    case LB_SELITEMRANGE:
    case LB_SELITEMRANGEEX: {
        if (!Multiple(hwnd) || state.items.empty())
            return LB_ERR;
        int from = message == LB_SELITEMRANGE ? LOWORD(lParam) : static_cast<int>(wParam);
        int to = message == LB_SELITEMRANGE ? HIWORD(lParam) : static_cast<int>(lParam);
        const bool on = message == LB_SELITEMRANGE ? wParam != 0 : from <= to;
        from = std::clamp(from, 0, Count(state) - 1);
        to = std::clamp(to, 0, Count(state) - 1);
        for (int i = std::min(from, to); i <= std::max(from, to); ++i)
            state.items[static_cast<size_t>(i)].selected = on;
        InvalidateRect(hwnd, nullptr, FALSE);
        return LB_OKAY;
    }
    case LB_SELECTSTRING: {
        const int found = Find(state, wParam, reinterpret_cast<LPCSTR>(lParam), false);
        if (found != LB_ERR && !Multiple(hwnd))
            SelectOnly(hwnd, state, found);
        return found;
    }
    case LB_FINDSTRING:
    case LB_FINDSTRINGEXACT:
        return Find(state, wParam, reinterpret_cast<LPCSTR>(lParam), message == LB_FINDSTRINGEXACT);
    case LB_GETTOPINDEX: return state.top;
    case LB_SETTOPINDEX:
        if (!Valid(state, wParam) && !(wParam == 0 && state.items.empty()))
            return LB_ERR;
        SetTop(hwnd, state, static_cast<int>(wParam));
        return LB_OKAY;
    case LB_GETITEMRECT:
        if (!Valid(state, wParam) || !lParam)
            return LB_ERR;
        *reinterpret_cast<RECT*>(lParam) = RowRect(hwnd, state, static_cast<int>(wParam));
        return LB_OKAY;
    case LB_ITEMFROMPOINT: {
        const auto [index, outside] =
            RowAt(hwnd, state, {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        return MAKELONG(index, outside ? 1 : 0);
    }
    case LB_SETITEMHEIGHT:
        if (LOWORD(lParam) == 0 || LOWORD(lParam) > 255)
            return LB_ERR;
        state.height = LOWORD(lParam);
        SetTop(hwnd, state, state.top);
        InvalidateRect(hwnd, nullptr, FALSE);
        return LB_OKAY;
    case LB_GETITEMHEIGHT: return RowHeight(state);
    case LB_SETCARETINDEX:
        if (!Valid(state, wParam))
            return LB_ERR;
        state.caret = static_cast<int>(wParam);
        ShowRow(hwnd, state, state.caret);
        InvalidateRect(hwnd, nullptr, FALSE);
        return LB_OKAY;
    case LB_GETCARETINDEX: return state.caret;
    case LB_SETANCHORINDEX:
        if (!Valid(state, wParam))
            return LB_ERR;
        state.anchor = static_cast<int>(wParam);
        return LB_OKAY;
    case LB_GETANCHORINDEX: return state.anchor;
    case kListSetCombo: state.combo = reinterpret_cast<HWND>(wParam); return 0;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK ListBoxProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    ListState* state = ControlState<ListState>(hwnd, message, kStateProp);
    if (!state)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_PAINT:
    case WM_PRINTCLIENT: return PaintControl(hwnd, wParam, [state](HWND h, HDC dc) { Paint(h, dc, *state); });
    case WM_ERASEBKGND: return TRUE;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFONT:
        state->font = reinterpret_cast<HFONT>(wParam);
        if (!(GetWindowLongA(hwnd, GWL_STYLE) & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)))
            state->height = 0;
        SetTop(hwnd, *state, state->top);
        if (LOWORD(lParam))
            InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(state->font);
    case WM_SIZE:
    case WM_ENABLE:
        SetTop(hwnd, *state, state->top);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        state->focused = message == WM_SETFOCUS;
        InvalidateRect(hwnd, nullptr, FALSE);
        Notify(hwnd, *state, message == WM_SETFOCUS ? LBN_SETFOCUS : LBN_KILLFOCUS);
        return 0;
    case WM_MOUSEACTIVATE:
        // A combo's drop-down leaves the focus with the combo.
        if (state->combo)
            return MA_NOACTIVATE;
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: MouseDown(hwnd, *state, wParam, lParam, message == WM_LBUTTONDBLCLK); return 0;
    case WM_LBUTTONUP:
        if (state->combo && GetCapture() == hwnd) {
            const auto [index, outside] =
                RowAt(hwnd, *state, {static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
            if (!outside) {
                ReleaseCapture();
                SendMessageA(state->combo, kComboListClicked, TRUE, 0);
            }
        }
        return 0;
    case WM_KEYDOWN: KeyDown(hwnd, *state, wParam); return 0;
    case WM_CHAR: TypeChar(hwnd, *state, static_cast<char>(wParam)); return 0;
    case WM_VSCROLL: {
        const int page = VisibleRows(hwnd, *state);
        switch (LOWORD(wParam)) {
        case SB_LINEUP: SetTop(hwnd, *state, state->top - 1); break;
        case SB_LINEDOWN: SetTop(hwnd, *state, state->top + 1); break;
        case SB_PAGEUP: SetTop(hwnd, *state, state->top - page); break;
        case SB_PAGEDOWN: SetTop(hwnd, *state, state->top + page); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: SetTop(hwnd, *state, static_cast<short>(HIWORD(wParam))); break;
        default: break;
        }
        return 0;
    }
    case WM_MOUSEWHEEL: SetTop(hwnd, *state, state->top - 3 * GET_WHEEL_DELTA_WPARAM(wParam) / WHEEL_DELTA); return 0;
    default: return ListMessage(hwnd, *state, message, wParam, lParam);
    }
}

} // namespace

namespace win32 {

void RegisterListBoxClass() {
    RegisterControlClass(WC_LISTBOXA, ListBoxProc, 0, CS_DBLCLKS | CS_PARENTDC);
}

} // namespace win32
