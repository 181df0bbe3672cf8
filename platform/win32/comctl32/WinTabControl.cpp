// The tab control. Locks: none; a tab control's state lives in a property of its window, touched only on the
// window's thread. The layout (WinTabControl.h) is worked out afresh for every question, from the font's
// metrics and the client area, so painting, hit tests and the reported rectangles always agree.
#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "WinDialogs.h"
#include "WinGdi.h"
#include "WinInput.h"
#include "WinPaint.h"
#include "WinRect.h"
#include "WinTabControl.h"
#include "WinUser.h"
#include "WinUserDraw.h"
#include "internal/ControlExtras.h"
#include "internal/ControlSupport.h"

using namespace win32::internal;

namespace {

const char kStateProp[] = "TdlTabControlState";
constexpr int kPadX = 6;
constexpr int kPadY = 3;
constexpr int kMargin = 2;   // between the control's edge and the tabs, and the frame's width
constexpr int kImageGap = 3; // between a tab's image and its text
constexpr int kRaise = 2;    // how much larger the selected tab is drawn

struct TabItem {
    std::string text;
    int image = -1;
    LPARAM param = 0;
    DWORD state = 0;
};

struct TabState {
    std::vector<TabItem> items;
    int selected = -1;
    int focus = -1;
    HIMAGELIST images = nullptr;
    HFONT font = nullptr;
    HWND tooltip = nullptr;
    int fixedWidth = 0, fixedHeight = 0; // TCM_SETITEMSIZE; 0: from the metrics
    int minWidth = -1;
    int padX = kPadX, padY = kPadY;
    DWORD extendedStyle = 0;
};

struct TabLayout {
    std::vector<RECT> tabs; // per item
    std::vector<int> rowOf; // per item: the row's place, 0 next to the display area
    int rows = 0;
    int rowHeight = 0;
    RECT frame{};
};

TabState* StateOf(HWND hwnd) {
    return static_cast<TabState*>(GetPropA(hwnd, kStateProp));
}

LONG StyleOf(HWND hwnd) {
    return GetWindowLongA(hwnd, GWL_STYLE);
}

SIZE ImageSize(const TabState& state) {
    int cx = 0, cy = 0;
    if (state.images)
        ImageList_GetIconSize(state.images, &cx, &cy);
    return {cx, cy};
}

bool HasImage(const TabState& state, const TabItem& item) {
    return state.images && item.image >= 0;
}

// Lays the tabs out for a control `width` wide and `height` high.
TabLayout Layout(HWND hwnd, const TabState& state, int width, int height) {
    TabLayout layout;
    HDC dc = GetDC(hwnd);
    HGDIOBJ old = SelectObject(dc, ControlFont(state.font));
    const SIZE image = ImageSize(state);
    layout.rowHeight = state.fixedHeight > 0
                           ? state.fixedHeight
                           : std::max(FontLineHeight(state.font), static_cast<int>(image.cy)) + 2 * state.padY + 1;
    const LONG style = StyleOf(hwnd);
    const bool multi = (style & TCS_MULTILINE) != 0;
    std::vector<int> widths;
    for (const TabItem& item : state.items) {
        SIZE text{};
        GetTextExtentPoint32A(dc, item.text.c_str(), static_cast<int>(item.text.size()), &text);
        int w = (style & TCS_FIXEDWIDTH) && state.fixedWidth > 0
                    ? state.fixedWidth
                    : text.cx + 2 * state.padX + (HasImage(state, item) ? image.cx + kImageGap : 0);
        widths.push_back(std::max(w, state.minWidth));
    }
    SelectObject(dc, old);
    ReleaseDC(hwnd, dc);
    // Rows in the order they fill: each item's fill row and place along it.
    std::vector<int> fillRow(state.items.size(), 0);
    std::vector<int> left(state.items.size(), kMargin);
    int row = 0, x = kMargin;
    for (size_t i = 0; i < state.items.size(); ++i) {
        if (multi && x > kMargin && x + widths[i] > width - kMargin) {
            ++row;
            x = kMargin;
        }
        fillRow[i] = row;
        left[i] = x;
        x += widths[i];
    }
    layout.rows = state.items.empty() ? 0 : row + 1;
    // The selected tab's row goes next to the display area; the others keep their order behind it.
    const int selectedRow = state.selected >= 0 ? fillRow[static_cast<size_t>(state.selected)] : 0;
    auto placeOf = [&](int r) {
        if (r == selectedRow)
            return 0;
        return layout.rows - 1 - (r < selectedRow ? r : r - 1);
    };
    const bool bottom = (style & TCS_BOTTOM) != 0;
    const int band = layout.rows * layout.rowHeight;
    for (size_t i = 0; i < state.items.size(); ++i) {
        const int place = placeOf(fillRow[i]);
        layout.rowOf.push_back(place);
        const int top = bottom ? height - kMargin - band + place * layout.rowHeight
                               : kMargin + (layout.rows - 1 - place) * layout.rowHeight;
        layout.tabs.push_back(RECT{left[i], top, left[i] + widths[i], top + layout.rowHeight});
    }
    layout.frame = bottom ? RECT{0, 0, width, height - kMargin - band} : RECT{0, kMargin + band, width, height};
    return layout;
}

TabLayout ClientLayout(HWND hwnd, const TabState& state) {
    RECT client{};
    GetClientRect(hwnd, &client);
    return Layout(hwnd, state, client.right, client.bottom);
}

// A user's change of tab: the parent may refuse it.
void SelectByUser(HWND hwnd, int index) {
    TabState* state = StateOf(hwnd);
    if (!state || index < 0 || index >= static_cast<int>(state->items.size()) || index == state->selected)
        return;
    if (SendNotifyCode(hwnd, TCN_SELCHANGING) != 0 || !(state = StateOf(hwnd)))
        return;
    if (index >= static_cast<int>(state->items.size()))
        return;
    state->selected = state->focus = index;
    InvalidateRect(hwnd, nullptr, FALSE);
    SendNotifyCode(hwnd, TCN_SELCHANGE);
}

int HitTest(HWND hwnd, const TabState& state, POINT point, UINT* flags) {
    const TabLayout layout = ClientLayout(hwnd, state);
    for (size_t i = 0; i < layout.tabs.size(); ++i) {
        if (!PtInRect(&layout.tabs[i], point))
            continue;
        const bool icon =
            HasImage(state, state.items[i]) && point.x < layout.tabs[i].left + state.padX + ImageSize(state).cx;
        if (flags)
            *flags = icon ? TCHT_ONITEMICON : TCHT_ONITEMLABEL;
        return static_cast<int>(i);
    }
    if (flags)
        *flags = TCHT_NOWHERE;
    return -1;
}

void Paint(HWND hwnd, TabState& state, HDC dc) {
    RECT client{};
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    const TabLayout layout = Layout(hwnd, state, client.right, client.bottom);
    const bool bottom = (StyleOf(hwnd) & TCS_BOTTOM) != 0;
    RECT frame = layout.frame;
    DrawEdge(dc, &frame, EDGE_RAISED, BF_RECT);
    HGDIOBJ oldFont = SelectObject(dc, ControlFont(state.font));
    SetBkMode(dc, TRANSPARENT);
    const SIZE image = ImageSize(state);
    auto drawTab = [&](size_t i) {
        const bool selected = static_cast<int>(i) == state.selected;
        RECT tab = layout.tabs[i];
        if (selected) {
            InflateRect(&tab, kRaise, 0);
            (bottom ? tab.bottom : tab.top) += bottom ? kRaise : -kRaise;
            // The selected tab joins the panel: it covers the frame's edge along its width.
            (bottom ? tab.top : tab.bottom) += bottom ? -kMargin : kMargin;
        }
        FillRect(dc, &tab, GetSysColorBrush(COLOR_BTNFACE));
        RECT edge = tab;
        DrawEdge(dc, &edge, EDGE_RAISED, bottom ? BF_LEFT | BF_RIGHT | BF_BOTTOM : BF_LEFT | BF_RIGHT | BF_TOP);
        const TabItem& item = state.items[i];
        RECT inner = layout.tabs[i];
        inner.left += state.padX;
        inner.right -= state.padX;
        if (HasImage(state, item)) {
            if (item.image < ImageList_GetImageCount(state.images))
                ImageList_Draw(state.images, item.image, dc, inner.left,
                               (inner.top + inner.bottom - static_cast<int>(image.cy)) / 2, ILD_TRANSPARENT);
            inner.left += image.cx + kImageGap;
        }
        SetTextColor(dc, GetSysColor(IsWindowEnabled(hwnd) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
        DrawTextA(dc, item.text.c_str(), static_cast<int>(item.text.size()), &inner,
                  DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        if (selected && GetFocus() == hwnd) {
            RECT focus = layout.tabs[i];
            InflateRect(&focus, -3, -3);
            DrawFocusRect(dc, &focus);
        }
    };
    for (size_t i = 0; i < layout.tabs.size(); ++i)
        if (static_cast<int>(i) != state.selected)
            drawTab(i);
    if (state.selected >= 0 && static_cast<size_t>(state.selected) < layout.tabs.size())
        drawTab(static_cast<size_t>(state.selected)); // last, over its neighbours
    SelectObject(dc, oldFont);
}

BOOL AdjustRect(HWND hwnd, const TabState& state, BOOL larger, RECT* rect) {
    if (!rect)
        return FALSE;
    const TabLayout layout = ClientLayout(hwnd, state);
    const int band = layout.rows * layout.rowHeight + kMargin;
    const bool bottom = (StyleOf(hwnd) & TCS_BOTTOM) != 0;
    const int sign = larger ? -1 : 1;
    rect->left += sign * kMargin;
    rect->right -= sign * kMargin;
    if (bottom) {
        rect->top += sign * kMargin;
        rect->bottom -= sign * (band + kMargin);
    } else {
        rect->top += sign * (band + kMargin);
        rect->bottom -= sign * kMargin;
    }
    return TRUE;
}

void Apply(TabItem& item, const TCITEMA& from) {
    if (from.mask & TCIF_TEXT)
        item.text = from.pszText ? from.pszText : "";
    if (from.mask & TCIF_IMAGE)
        item.image = from.iImage;
    if (from.mask & TCIF_PARAM)
        item.param = from.lParam;
    if (from.mask & TCIF_STATE)
        item.state = (item.state & ~from.dwStateMask) | (from.dwState & from.dwStateMask);
}

bool ValidIndex(const TabState& state, WPARAM index) {
    return index < state.items.size();
}

LRESULT TabMessage(HWND hwnd, TabState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case TCM_GETIMAGELIST: return reinterpret_cast<LRESULT>(state.images);
    case TCM_SETIMAGELIST: {
        HIMAGELIST previous = state.images;
        state.images = reinterpret_cast<HIMAGELIST>(lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return reinterpret_cast<LRESULT>(previous);
    }
    case TCM_GETITEMCOUNT: return static_cast<LRESULT>(state.items.size());
    case TCM_GETITEMA: {
        auto* item = reinterpret_cast<TCITEMA*>(lParam);
        if (!item || !ValidIndex(state, wParam))
            return FALSE;
        const TabItem& tab = state.items[wParam];
        if (item->mask & TCIF_TEXT)
            CopyTextTo(tab.text, item->pszText, item->cchTextMax);
        if (item->mask & TCIF_IMAGE)
            item->iImage = tab.image;
        if (item->mask & TCIF_PARAM)
            item->lParam = tab.param;
        if (item->mask & TCIF_STATE)
            item->dwState = tab.state & item->dwStateMask;
        return TRUE;
    }
    case TCM_SETITEMA:
        if (!lParam || !ValidIndex(state, wParam))
            return FALSE;
        Apply(state.items[wParam], *reinterpret_cast<const TCITEMA*>(lParam));
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    case TCM_INSERTITEMA: {
        if (!lParam || static_cast<int>(wParam) < 0)
            return -1;
        TabItem item;
        Apply(item, *reinterpret_cast<const TCITEMA*>(lParam));
        const size_t at = std::min(static_cast<size_t>(wParam), state.items.size());
        state.items.insert(state.items.begin() + static_cast<std::ptrdiff_t>(at), item);
        // The first tab is selected as it arrives; later ones keep the selected tab selected.
        if (state.selected < 0 && state.items.size() == 1)
            state.selected = state.focus = 0;
        else if (state.selected >= static_cast<int>(at))
            ++state.selected;
        if (state.focus >= static_cast<int>(at) && state.items.size() > 1)
            ++state.focus;
        InvalidateRect(hwnd, nullptr, FALSE);
        return static_cast<LRESULT>(at);
    }
    case TCM_DELETEITEM: {
        if (!ValidIndex(state, wParam))
            return FALSE;
        const int index = static_cast<int>(wParam);
        state.items.erase(state.items.begin() + index);
        for (int* at : {&state.selected, &state.focus})
            if (*at == index)
                *at = -1;
            else if (*at > index)
                --*at;
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    }
    case TCM_DELETEALLITEMS:
        state.items.clear();
        state.selected = state.focus = -1;
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    case TCM_GETITEMRECT: {
        auto* rect = reinterpret_cast<RECT*>(lParam);
        if (!rect || !ValidIndex(state, wParam))
            return FALSE;
        *rect = ClientLayout(hwnd, state).tabs[wParam];
        return TRUE;
    }
    case TCM_GETCURSEL: return state.selected;
    case TCM_SETCURSEL: {
        const int previous = state.selected;
        if (!ValidIndex(state, wParam))
            return -1;
        state.selected = state.focus = static_cast<int>(wParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return previous;
    }
    case TCM_HITTEST: {
        auto* info = reinterpret_cast<TCHITTESTINFO*>(lParam);
        return info ? HitTest(hwnd, state, info->pt, &info->flags) : -1;
    }
    case TCM_SETITEMEXTRA:
        // Only the standard item data (an LPARAM) is kept.
        return wParam == sizeof(LPARAM) && state.items.empty();
    case TCM_ADJUSTRECT: return AdjustRect(hwnd, state, static_cast<BOOL>(wParam), reinterpret_cast<RECT*>(lParam));
    case TCM_SETITEMSIZE: {
        const TabLayout layout = ClientLayout(hwnd, state);
        const int oldWidth = layout.tabs.empty() ? 0 : layout.tabs[0].right - layout.tabs[0].left;
        state.fixedWidth = LOWORD(lParam);
        state.fixedHeight = HIWORD(lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return MAKELONG(oldWidth, layout.rowHeight);
    }
    case TCM_REMOVEIMAGE: {
        const int removed = static_cast<int>(wParam);
        ImageList_Remove(state.images, removed);
        for (TabItem& item : state.items)
            if (item.image == removed)
                item.image = -1;
            else if (item.image > removed)
                --item.image;
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    }
    case TCM_SETPADDING:
        state.padX = LOWORD(lParam);
        state.padY = HIWORD(lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case TCM_GETROWCOUNT: return ClientLayout(hwnd, state).rows;
    case TCM_GETTOOLTIPS: return reinterpret_cast<LRESULT>(state.tooltip);
    case TCM_SETTOOLTIPS: state.tooltip = reinterpret_cast<HWND>(wParam); return 0;
    case TCM_GETCURFOCUS: return state.focus;
    case TCM_SETCURFOCUS:
        if (ValidIndex(state, wParam))
            state.focus = static_cast<int>(wParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case TCM_SETMINTABWIDTH: {
        const int previous = state.minWidth;
        state.minWidth = static_cast<int>(lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return previous;
    }
    case TCM_DESELECTALL:
        for (TabItem& item : state.items)
            item.state &= ~TCIS_BUTTONPRESSED;
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case TCM_HIGHLIGHTITEM:
        if (!ValidIndex(state, wParam))
            return FALSE;
        if (LOWORD(lParam))
            state.items[wParam].state |= TCIS_HIGHLIGHTED;
        else
            state.items[wParam].state &= ~TCIS_HIGHLIGHTED;
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    case TCM_SETEXTENDEDSTYLE: {
        const DWORD previous = state.extendedStyle;
        const DWORD mask = wParam ? static_cast<DWORD>(wParam) : 0xFFFFFFFF;
        state.extendedStyle = (state.extendedStyle & ~mask) | (static_cast<DWORD>(lParam) & mask);
        return previous;
    }
    case TCM_GETEXTENDEDSTYLE: return state.extendedStyle;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

void OnKeyDown(HWND hwnd, WPARAM vk) {
    NMTCKEYDOWN key{};
    key.wVKey = static_cast<WORD>(vk);
    SendNotify(hwnd, TCN_KEYDOWN, &key.hdr);
    TabState* state = StateOf(hwnd);
    if (!state)
        return;
    const int count = static_cast<int>(state->items.size());
    switch (vk) {
    case VK_LEFT:
    case VK_UP:
        if (state->selected > 0)
            SelectByUser(hwnd, state->selected - 1);
        break;
    case VK_RIGHT:
    case VK_DOWN:
        if (state->selected + 1 < count)
            SelectByUser(hwnd, state->selected + 1);
        break;
    case VK_HOME: SelectByUser(hwnd, 0); break;
    case VK_END: SelectByUser(hwnd, count - 1); break;
    default: win32::ForwardDialogKey(hwnd, vk); break;
    }
}

LRESULT CALLBACK TabControlProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    TabState* state = ControlState<TabState>(hwnd, message, kStateProp);
    if (!state)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message >= TCM_FIRST && message < TCM_FIRST + 0x100)
        return TabMessage(hwnd, *state, message, wParam, lParam);
    switch (message) {
    case WM_PAINT:
    case WM_PRINTCLIENT: return PaintControl(hwnd, wParam, [&](HWND, HDC dc) { Paint(hwnd, *state, dc); });
    case WM_ERASEBKGND: return TRUE;
    case WM_SIZE:
    case WM_ENABLE:
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(hwnd, nullptr, FALSE); return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_SETFONT:
        state->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam))
            InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(state->font);
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_LBUTTONDOWN: {
        const int index = HitTest(hwnd, *state, POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, nullptr);
        if (!(StyleOf(hwnd) & TCS_FOCUSNEVER) && GetFocus() != hwnd)
            SetFocus(hwnd);
        SelectByUser(hwnd, index);
        if (IsWindow(hwnd))
            SendNotifyCode(hwnd, NM_CLICK);
        return 0;
    }
    case WM_RBUTTONUP:
        if (SendNotifyCode(hwnd, NM_RCLICK) == 0)
            return DefWindowProcA(hwnd, message, wParam, lParam);
        return 0;
    case WM_KEYDOWN: OnKeyDown(hwnd, wParam); return 0;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

} // namespace

namespace win32 {

void RegisterTabControlClass() {
    win32::internal::RegisterControlClass(WC_TABCONTROLA, TabControlProc, 0, CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW);
}

} // namespace win32
