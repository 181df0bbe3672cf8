// The header control. Locks: none; a header's state lives in a property of its window, touched only on the
// window's thread.
#include "WinHeader.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "WinDialogs.h"
#include "WinGdi.h"
#include "WinImageList.h"
#include "WinInput.h"
#include "WinPaint.h"
#include "WinRect.h"
#include "WinUserDraw.h"
#include "internal/ControlNotify.h"

using win32::internal::ControlFont;
using win32::internal::SendNotify;

namespace {

const char kStateProp[] = "TdlHeaderState";
constexpr int kDividerSlop = 4; // a point this close to an item's right edge is on its divider
constexpr int kTextInset = 6;
constexpr int kDragThreshold = 4;

struct Item {
    std::string text;
    int width = 0;
    int fmt = HDF_LEFT | HDF_STRING;
    LPARAM lParam = 0;
    int image = 0;
};

enum class Mode { None, Track, Press, Drag };

struct HeaderState {
    std::vector<Item> items;
    std::vector<int> order; // display position -> item index
    HFONT font = nullptr;
    HIMAGELIST images = nullptr;
    bool unicodeCodes = false;
    Mode mode = Mode::None;
    int item = -1; // the item being tracked, pressed or dragged
    int startX = 0;
    int startWidth = 0;
};

int Height(const HeaderState& state, HWND hwnd) {
    if (GetWindowLongA(hwnd, GWL_STYLE) & HDS_HIDDEN)
        return 0;
    return win32::internal::FontLineHeight(state.font) + 8;
}

// The codes with a wide form move to it when the parent asked for wide notifications.
UINT CodeFor(const HeaderState& state, UINT code) {
    if (state.unicodeCodes && code <= HDN_ITEMCHANGINGA && code >= HDN_TRACKA)
        return code - 20;
    return code;
}

LRESULT Notify(HWND hwnd, const HeaderState& state, UINT code, int item, HDITEMA* data = nullptr, int button = 0) {
    NMHEADERA nm{};
    nm.iItem = item;
    nm.iButton = button;
    nm.pitem = data;
    return SendNotify(hwnd, CodeFor(state, code), &nm.hdr);
}

int PositionOf(const HeaderState& state, int item) {
    const auto at = std::find(state.order.begin(), state.order.end(), item);
    return at == state.order.end() ? -1 : static_cast<int>(at - state.order.begin());
}

RECT ItemRect(HWND hwnd, const HeaderState& state, int item) {
    RECT r{0, 0, 0, Height(state, hwnd)};
    for (int index : state.order) {
        r.right = r.left + state.items[static_cast<size_t>(index)].width;
        if (index == item)
            return r;
        r.left = r.right;
    }
    return RECT{};
}

void HitTest(HWND hwnd, const HeaderState& state, HDHITTESTINFO& info) {
    info.iItem = -1;
    info.flags = 0;
    RECT client{};
    GetClientRect(hwnd, &client);
    const POINT pt = info.pt;
    if (pt.y < 0)
        info.flags |= HHT_ABOVE;
    if (pt.y >= client.bottom)
        info.flags |= HHT_BELOW;
    if (pt.x < 0)
        info.flags |= HHT_TOLEFT;
    if (info.flags)
        return;
    int left = 0;
    // The divider of an item wins over the item to its right, so that a column can be narrowed to nothing
    // and still be grown again.
    for (int index : state.order) {
        const int right = left + state.items[static_cast<size_t>(index)].width;
        if (pt.x >= right - kDividerSlop && pt.x < right + kDividerSlop) {
            info.iItem = index;
            info.flags = HHT_ONDIVIDER;
            return;
        }
        left = right;
    }
    left = 0;
    for (int index : state.order) {
        const int right = left + state.items[static_cast<size_t>(index)].width;
        if (pt.x >= left && pt.x < right) {
            info.iItem = index;
            info.flags = HHT_ONHEADER;
            return;
        }
        left = right;
    }
    info.flags = pt.x >= left ? HHT_NOWHERE | HHT_TORIGHT : HHT_NOWHERE;
}

// Sets an item's fields the record names, asking the parent first; FALSE when it refused.
BOOL SetItem(HWND hwnd, HeaderState& state, int index, const HDITEMA& data) {
    if (index < 0 || static_cast<size_t>(index) >= state.items.size())
        return FALSE;
    HDITEMA copy = data;
    if (Notify(hwnd, state, HDN_ITEMCHANGINGA, index, &copy))
        return FALSE;
    Item& item = state.items[static_cast<size_t>(index)];
    if (data.mask & HDI_WIDTH)
        item.width = std::max(0, data.cxy);
    if ((data.mask & HDI_TEXT) && data.pszText)
        item.text = data.pszText;
    if (data.mask & HDI_FORMAT)
        item.fmt = data.fmt;
    if (data.mask & HDI_LPARAM)
        item.lParam = data.lParam;
    if (data.mask & HDI_IMAGE)
        item.image = data.iImage;
    if (data.mask & HDI_ORDER) {
        const int position = std::clamp(data.iOrder, 0, static_cast<int>(state.order.size()) - 1);
        state.order.erase(state.order.begin() + PositionOf(state, index));
        state.order.insert(state.order.begin() + position, index);
    }
    Notify(hwnd, state, HDN_ITEMCHANGEDA, index, &copy);
    InvalidateRect(hwnd, nullptr, FALSE);
    return TRUE;
}

LRESULT InsertItem(HWND hwnd, HeaderState& state, int index, const HDITEMA* data) {
    if (!data)
        return -1;
    const int count = static_cast<int>(state.items.size());
    index = std::clamp(index, 0, count);
    Item item;
    if (data->mask & HDI_WIDTH)
        item.width = std::max(0, data->cxy);
    if ((data->mask & HDI_TEXT) && data->pszText)
        item.text = data->pszText;
    if (data->mask & HDI_FORMAT)
        item.fmt = data->fmt;
    if (data->mask & HDI_LPARAM)
        item.lParam = data->lParam;
    if (data->mask & HDI_IMAGE)
        item.image = data->iImage;
    state.items.insert(state.items.begin() + index, item);
    for (int& entry : state.order)
        if (entry >= index)
            ++entry;
    // Without an order of its own the new item shows at the position of its index.
    const int position = std::clamp((data->mask & HDI_ORDER) ? data->iOrder : index, 0, count);
    state.order.insert(state.order.begin() + position, index);
    InvalidateRect(hwnd, nullptr, FALSE);
    return index;
}

BOOL DeleteItem(HWND hwnd, HeaderState& state, int index) {
    if (index < 0 || static_cast<size_t>(index) >= state.items.size())
        return FALSE;
    state.items.erase(state.items.begin() + index);
    state.order.erase(state.order.begin() + PositionOf(state, index));
    for (int& entry : state.order)
        if (entry > index)
            --entry;
    if (state.item == index)
        state.mode = Mode::None;
    InvalidateRect(hwnd, nullptr, FALSE);
    return TRUE;
}

BOOL GetItem(const HeaderState& state, int index, HDITEMA* data) {
    if (!data || index < 0 || static_cast<size_t>(index) >= state.items.size())
        return FALSE;
    const Item& item = state.items[static_cast<size_t>(index)];
    if (data->mask & HDI_WIDTH)
        data->cxy = item.width;
    if ((data->mask & HDI_TEXT) && data->pszText && data->cchTextMax > 0) {
        const size_t n = std::min(item.text.size(), static_cast<size_t>(data->cchTextMax) - 1);
        std::memcpy(data->pszText, item.text.data(), n);
        data->pszText[n] = '\0';
    }
    if (data->mask & HDI_FORMAT)
        data->fmt = item.fmt;
    if (data->mask & HDI_LPARAM)
        data->lParam = item.lParam;
    if (data->mask & HDI_IMAGE)
        data->iImage = item.image;
    if (data->mask & HDI_ORDER)
        data->iOrder = PositionOf(state, index);
    return TRUE;
}

BOOL SetOrder(HWND hwnd, HeaderState& state, size_t count, const int* order) {
    if (!order || count != state.items.size())
        return FALSE;
    std::vector<int> next(order, order + count);
    std::vector<int> sorted = next;
    std::sort(sorted.begin(), sorted.end());
    for (size_t i = 0; i < count; ++i)
        if (sorted[i] != static_cast<int>(i))
            return FALSE; // not a permutation of the items
    state.order = std::move(next);
    InvalidateRect(hwnd, nullptr, FALSE);
    return TRUE;
}

void Paint(HWND hwnd, HDC dc, const HeaderState& state) {
    RECT client{};
    GetClientRect(hwnd, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_BTNFACE));
    HGDIOBJ oldFont = SelectObject(dc, ControlFont(state.font));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
    for (int index : state.order) {
        const Item& item = state.items[static_cast<size_t>(index)];
        RECT r = ItemRect(hwnd, state, index);
        if (r.right <= client.left || r.left >= client.right || r.right == r.left)
            continue;
        if (item.fmt & HDF_OWNERDRAW) {
            DRAWITEMSTRUCT draw{};
            draw.CtlType = ODT_HEADER;
            draw.CtlID = static_cast<UINT>(GetDlgCtrlID(hwnd));
            draw.itemID = static_cast<UINT>(index);
            draw.itemAction = ODA_DRAWENTIRE;
            draw.itemState = state.mode == Mode::Press && state.item == index ? ODS_SELECTED : 0;
            draw.hwndItem = hwnd;
            draw.hDC = dc;
            draw.rcItem = r;
            draw.itemData = static_cast<ULONG_PTR>(item.lParam);
            if (HWND parent = GetParent(hwnd))
                SendMessageA(parent, WM_DRAWITEM, draw.CtlID, reinterpret_cast<LPARAM>(&draw));
            continue;
        }
        RECT edge = r;
        DrawEdge(dc, &edge, state.mode == Mode::Press && state.item == index ? EDGE_SUNKEN : EDGE_RAISED, BF_RECT);
        RECT text{r.left + kTextInset, r.top, r.right - kTextInset, r.bottom};
        if ((item.fmt & HDF_IMAGE) && state.images) {
            int cx = 0, cy = 0;
            ImageList_GetIconSize(state.images, &cx, &cy);
            ImageList_Draw(state.images, item.image, dc, text.left, r.top + (r.bottom - r.top - cy) / 2, ILD_NORMAL);
            text.left += cx + kTextInset;
        }
        const int justify = item.fmt & HDF_JUSTIFYMASK;
        const UINT align = justify == HDF_RIGHT ? DT_RIGHT : justify == HDF_CENTER ? DT_CENTER : DT_LEFT;
        if (text.right > text.left)
            DrawTextA(dc, item.text.c_str(), static_cast<int>(item.text.size()), &text,
                      align | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    }
    SelectObject(dc, oldFont);
}

void EndTrack(HWND hwnd, HeaderState& state, int x) {
    const int index = state.item;
    state.mode = Mode::None;
    ReleaseCapture();
    if (index < 0 || static_cast<size_t>(index) >= state.items.size())
        return;
    HDITEMA data{};
    data.mask = HDI_WIDTH;
    data.cxy = std::max(0, state.startWidth + x - state.startX);
    if (Notify(hwnd, state, HDN_ENDTRACKA, index, &data) == 0)
        SetItem(hwnd, state, index, data);
}

// The display position a dragged item lands on: the one whose rectangle holds x (the last beyond the end).
int DropPosition(HWND hwnd, const HeaderState& state, int x) {
    for (size_t position = 0; position < state.order.size(); ++position) {
        const RECT r = ItemRect(hwnd, state, state.order[position]);
        if (x < r.right)
            return static_cast<int>(position);
    }
    return static_cast<int>(state.order.size()) - 1;
}

void MouseDown(HWND hwnd, HeaderState& state, POINT pt, bool doubleClick) {
    HDHITTESTINFO hit{pt, 0, -1};
    HitTest(hwnd, state, hit);
    if (hit.iItem < 0)
        return;
    if (hit.flags & HHT_ONDIVIDER) {
        if (doubleClick) {
            Notify(hwnd, state, HDN_DIVIDERDBLCLICKA, hit.iItem);
            return;
        }
        HDITEMA data{};
        data.mask = HDI_WIDTH;
        data.cxy = state.items[static_cast<size_t>(hit.iItem)].width;
        if (Notify(hwnd, state, HDN_BEGINTRACKA, hit.iItem, &data))
            return; // the parent keeps the width as it is
        state.mode = Mode::Track;
        state.item = hit.iItem;
        state.startX = pt.x;
        state.startWidth = data.cxy;
        SetCapture(hwnd);
        return;
    }
    if (doubleClick) {
        Notify(hwnd, state, HDN_ITEMDBLCLICKA, hit.iItem);
        return;
    }
    state.mode = Mode::Press;
    state.item = hit.iItem;
    state.startX = pt.x;
    SetCapture(hwnd);
    InvalidateRect(hwnd, nullptr, FALSE);
}

void MouseMove(HWND hwnd, HeaderState& state, POINT pt) {
    if (state.mode == Mode::Track) {
        HDITEMA data{};
        data.mask = HDI_WIDTH;
        data.cxy = std::max(0, state.startWidth + pt.x - state.startX);
        if (Notify(hwnd, state, HDN_TRACKA, state.item, &data) == 0 && (GetWindowLongA(hwnd, GWL_STYLE) & HDS_FULLDRAG))
            SetItem(hwnd, state, state.item, data);
    } else if (state.mode == Mode::Press && (GetWindowLongA(hwnd, GWL_STYLE) & HDS_DRAGDROP) &&
               std::abs(pt.x - state.startX) >= kDragThreshold) {
        if (Notify(hwnd, state, HDN_BEGINDRAG, state.item) == 0)
            state.mode = Mode::Drag;
    }
}

void MouseUp(HWND hwnd, HeaderState& state, POINT pt) {
    const Mode mode = state.mode;
    const int index = state.item;
    if (mode == Mode::Track) {
        EndTrack(hwnd, state, pt.x);
        return;
    }
    state.mode = Mode::None;
    if (GetCapture() == hwnd)
        ReleaseCapture();
    InvalidateRect(hwnd, nullptr, FALSE);
    if (index < 0 || static_cast<size_t>(index) >= state.items.size())
        return;
    if (mode == Mode::Drag) {
        HDITEMA data{};
        data.mask = HDI_ORDER;
        data.iOrder = DropPosition(hwnd, state, pt.x);
        if (Notify(hwnd, state, HDN_ENDDRAG, index, &data) == 0 && data.iOrder != PositionOf(state, index)) {
            state.order.erase(state.order.begin() + PositionOf(state, index));
            state.order.insert(state.order.begin() + data.iOrder, index);
            InvalidateRect(hwnd, nullptr, FALSE);
            // The parent lays out its columns again in the new order.
            if (HWND parent = GetParent(hwnd))
                InvalidateRect(parent, nullptr, FALSE);
        }
    } else if (mode == Mode::Press) {
        const RECT r = ItemRect(hwnd, state, index);
        if (PtInRect(&r, pt))
            Notify(hwnd, state, HDN_ITEMCLICKA, index);
    }
}

POINT PointOf(LPARAM lParam) {
    return POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
}

LRESULT CALLBACK HeaderProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    HeaderState* state = win32::internal::ControlState<HeaderState>(hwnd, message, kStateProp);
    if (!state)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_CREATE:
        if (HWND parent = GetParent(hwnd))
            state->unicodeCodes =
                SendMessageA(parent, WM_NOTIFYFORMAT, reinterpret_cast<WPARAM>(hwnd), NF_QUERY) == NFR_UNICODE;
        return 0;
    case WM_PAINT:
    case WM_PRINTCLIENT:
        return win32::internal::PaintControl(hwnd, wParam, [state](HWND h, HDC dc) { Paint(h, dc, *state); });
    case WM_ERASEBKGND: return TRUE;
    case WM_SETFONT:
        state->font = reinterpret_cast<HFONT>(wParam);
        if (LOWORD(lParam))
            InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(state->font);
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: MouseDown(hwnd, *state, PointOf(lParam), message == WM_LBUTTONDBLCLK); return 0;
    case WM_MOUSEMOVE: MouseMove(hwnd, *state, PointOf(lParam)); return 0;
    case WM_LBUTTONUP: MouseUp(hwnd, *state, PointOf(lParam)); return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd && state->mode != Mode::None) {
            state->mode = Mode::None;
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case WM_SETCURSOR: {
        POINT pt{};
        GetCursorPos(&pt);
        ScreenToClient(hwnd, &pt);
        HDHITTESTINFO hit{pt, 0, -1};
        HitTest(hwnd, *state, hit);
        if (hit.flags & HHT_ONDIVIDER) {
            SetCursor(LoadCursorA(nullptr, IDC_SIZEWE));
            return TRUE;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
    case HDM_GETITEMCOUNT: return static_cast<LRESULT>(state->items.size());
    case HDM_INSERTITEMA:
        return InsertItem(hwnd, *state, static_cast<int>(wParam), reinterpret_cast<const HDITEMA*>(lParam));
    case HDM_DELETEITEM: return DeleteItem(hwnd, *state, static_cast<int>(wParam));
    case HDM_GETITEMA: return GetItem(*state, static_cast<int>(wParam), reinterpret_cast<HDITEMA*>(lParam));
    case HDM_SETITEMA:
        return lParam ? SetItem(hwnd, *state, static_cast<int>(wParam), *reinterpret_cast<const HDITEMA*>(lParam))
                      : FALSE;
    case HDM_LAYOUT: {
        auto* layout = reinterpret_cast<HDLAYOUT*>(lParam);
        if (!layout || !layout->prc || !layout->pwpos)
            return FALSE;
        const int height = Height(*state, hwnd);
        *layout->pwpos = WINDOWPOS{};
        layout->pwpos->x = layout->prc->left;
        layout->pwpos->y = layout->prc->top;
        layout->pwpos->cx = layout->prc->right - layout->prc->left;
        layout->pwpos->cy = height;
        layout->pwpos->flags = height ? SWP_NOZORDER : SWP_NOZORDER | SWP_HIDEWINDOW;
        layout->prc->top += height;
        return TRUE;
    }
    case HDM_HITTEST: {
        auto* hit = reinterpret_cast<HDHITTESTINFO*>(lParam);
        if (!hit)
            return -1;
        HitTest(hwnd, *state, *hit);
        return hit->iItem;
    }
    case HDM_GETITEMRECT: {
        const int index = static_cast<int>(wParam);
        auto* rect = reinterpret_cast<RECT*>(lParam);
        if (!rect || index < 0 || static_cast<size_t>(index) >= state->items.size())
            return FALSE;
        *rect = ItemRect(hwnd, *state, index);
        return TRUE;
    }
    case HDM_SETIMAGELIST: {
        HIMAGELIST previous = state->images;
        state->images = reinterpret_cast<HIMAGELIST>(lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return reinterpret_cast<LRESULT>(previous);
    }
    case HDM_GETIMAGELIST: return reinterpret_cast<LRESULT>(state->images);
    case HDM_ORDERTOINDEX: return wParam < state->order.size() ? state->order[wParam] : static_cast<LRESULT>(wParam);
    case HDM_GETORDERARRAY: {
        auto* order = reinterpret_cast<int*>(lParam);
        if (!order || wParam < state->order.size())
            return FALSE;
        std::copy(state->order.begin(), state->order.end(), order);
        return TRUE;
    }
    case HDM_SETORDERARRAY:
        return SetOrder(hwnd, *state, static_cast<size_t>(wParam), reinterpret_cast<const int*>(lParam));
    case HDM_SETHOTDIVIDER: return -1;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

} // namespace

namespace win32 {

void RegisterListViewClassOnly(); // WinListView.cpp

void RegisterListViewClasses() {
    WNDCLASSA wc{};
    if (!GetClassInfoA(nullptr, WC_HEADERA, &wc)) {
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = HeaderProc;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = WC_HEADERA;
        RegisterClassA(&wc);
    }
    RegisterListViewClassOnly();
}

} // namespace win32
