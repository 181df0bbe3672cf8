// The tree view control: its window, input and info tips (the items' messages are in WinTreeViewItems.cpp, the
// changes they make in WinTreeViewChanges.cpp, painting in WinTreeViewPaint.cpp). Locks: none; a tree's state
// lives in a property of its window, touched only on the window's thread. Every notification may change the
// tree (a handler may delete items or the window), so items are found again by handle after one.
#include <algorithm>
#include <cstring>
#include <strings.h>

#include "WinDialogs.h"
#include "WinInput.h"
#include "WinPaint.h"
#include "WinRect.h"
#include "WinToolTips.h"
#include "WinTreeView.h"
#include "WinUser.h"
#include "internal/ControlExtras.h"
#include "internal/ControlSupport.h"
#include "internal/TreeViewState.h"

using namespace win32::internal;

namespace {

const char kStateProp[] = "TdlTreeViewState";
constexpr int kWheelRows = 3;

LONG StyleOf(HWND hwnd) {
    return GetWindowLongA(hwnd, GWL_STYLE);
}

// ---- info tips

// The tree's own tooltip, made the first time the mouse moves over an item of a tree with TVS_INFOTIP.
HWND TipWindow(HWND hwnd, TreeState& state) {
    if (state.tooltip || !(StyleOf(hwnd) & TVS_INFOTIP) || (StyleOf(hwnd) & TVS_NOTOOLTIPS))
        return state.tooltip;
    win32::RegisterToolTipsClass();
    state.tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, "", WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0,
                                    0, 0, hwnd, nullptr, nullptr, nullptr);
    if (!state.tooltip)
        return nullptr;
    state.ownsTooltip = true;
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = hwnd;
    tool.uId = reinterpret_cast<UINT_PTR>(hwnd);
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    SendMessageA(state.tooltip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    return state.tooltip;
}

// The tip of the item under the mouse: the item's text unless the parent puts its own into the buffer.
LRESULT InfoTip(HWND hwnd, TreeState& state, NMTTDISPINFOA* info) {
    if (!state.tipItem)
        return 0;
    std::string buffer(INFOTIPSIZE, '\0');
    CopyTextTo(TreeItemText(hwnd, state.tipItem), buffer.data(), INFOTIPSIZE);
    if (!(state.tipItem = TreeRefind(hwnd, TreeModel::Handle(state.tipItem))))
        return 0;
    NMTVGETINFOTIPA tip{};
    tip.pszText = buffer.data();
    tip.cchTextMax = INFOTIPSIZE;
    tip.hItem = TreeModel::Handle(state.tipItem);
    tip.lParam = state.tipItem->param;
    SendNotify(hwnd, TVN_GETINFOTIPA, &tip.hdr);
    buffer[INFOTIPSIZE - 1] = '\0';
    CopyTextTo(buffer.c_str(), info->szText, sizeof info->szText);
    if (strlen(buffer.c_str()) < sizeof info->szText) {
        info->lpszText = info->szText;
    } else {
        // Longer than the notification's own buffer: the tooltip copies it before the next message.
        static thread_local std::string s_long;
        s_long = buffer.c_str();
        info->lpszText = s_long.data();
    }
    return 0;
}

void TrackTipItem(HWND hwnd, TreeState& state, const MSG& msg) {
    HWND tip = TipWindow(hwnd, state);
    if (!tip)
        return;
    if (msg.message == WM_MOUSEMOVE) {
        UINT flags = 0;
        POINT at{GET_X_LPARAM(msg.lParam), GET_Y_LPARAM(msg.lParam)};
        TreeNode* node = TreeHitTest(hwnd, state, at, &flags);
        if (!(flags & TVHT_ONITEM))
            node = nullptr;
        if (node != state.tipItem) {
            state.tipItem = node;
            SendMessageA(tip, TTM_POP, 0, 0);
        }
        // Only an item has a tip: elsewhere the tool is as good as absent.
        if (!node)
            return;
    }
    SendMessageA(tip, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&msg));
}

// ---- input

void OnKeyDown(HWND hwnd, WPARAM vk) {
    NMTVKEYDOWN key{};
    key.wVKey = static_cast<WORD>(vk);
    SendNotify(hwnd, TVN_KEYDOWN, &key.hdr);
    TreeState* state = TreeStateOf(hwnd);
    if (!state)
        return;
    const auto& visible = state->items.Visible();
    if (visible.empty() && vk != VK_TAB && vk != VK_ESCAPE && vk != VK_RETURN)
        return;
    TreeNode* caret = state->caret;
    const int row = caret ? state->items.VisibleIndex(caret) : -1;
    const int last = static_cast<int>(visible.size()) - 1;
    auto select = [&](int to) {
        to = std::clamp(to, 0, last);
        TreeSelectCaret(hwnd, visible[static_cast<size_t>(to)], TVC_BYKEYBOARD);
    };
    switch (vk) {
    case VK_UP: select(row < 0 ? 0 : row - 1); break;
    case VK_DOWN: select(row < 0 ? 0 : row + 1); break;
    case VK_HOME: select(0); break;
    case VK_END: select(last); break;
    case VK_PRIOR: select(std::max(row, 0) - (TreePageRows(hwnd, *state) - 1)); break;
    case VK_NEXT: select(std::max(row, 0) + TreePageRows(hwnd, *state) - 1); break;
    case VK_LEFT:
        if (caret && (caret->state & TVIS_EXPANDED) && TreeItemHasChildren(hwnd, caret))
            TreeExpand(hwnd, caret, TVE_COLLAPSE, true);
        else if (caret && state->items.ParentOf(caret))
            TreeSelectCaret(hwnd, state->items.ParentOf(caret), TVC_BYKEYBOARD);
        break;
    case VK_RIGHT:
        if (caret && !(caret->state & TVIS_EXPANDED))
            TreeExpand(hwnd, caret, TVE_EXPAND, true);
        else if (caret && caret->first)
            TreeSelectCaret(hwnd, caret->first, TVC_BYKEYBOARD);
        break;
    case VK_ADD: TreeExpand(hwnd, caret, TVE_EXPAND, true); break;
    case VK_SUBTRACT: TreeExpand(hwnd, caret, TVE_COLLAPSE, true); break;
    case VK_TAB:
    case VK_ESCAPE:
    case VK_RETURN:
        if (!win32::ForwardDialogKey(hwnd, vk) && vk == VK_RETURN)
            SendNotifyCode(hwnd, NM_RETURN);
        break;
    default: break;
    }
}

void OnLeftButton(HWND hwnd, TreeState& state, LPARAM lParam, bool twice) {
    if (GetFocus() != hwnd)
        SetFocus(hwnd);
    UINT flags = 0;
    TreeNode* node = TreeHitTest(hwnd, *TreeStateOf(hwnd), POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, &flags);
    const HTREEITEM handle = TreeModel::Handle(node);
    (void)state;
    if (flags & TVHT_ONITEMBUTTON) {
        TreeExpand(hwnd, node, TVE_TOGGLE, true);
        SendNotifyCode(hwnd, twice ? NM_DBLCLK : NM_CLICK);
        return;
    }
    const bool onItem = (flags & TVHT_ONITEM) ||
                        ((StyleOf(hwnd) & TVS_FULLROWSELECT) && (flags & (TVHT_ONITEMRIGHT | TVHT_ONITEMINDENT)));
    if (SendNotifyCode(hwnd, twice ? NM_DBLCLK : NM_CLICK) != 0 || !onItem || !(node = TreeRefind(hwnd, handle)))
        return;
    // A click on the state image selects like one on the label: changing the state is the owner's business.
    if (twice)
        TreeExpand(hwnd, node, TVE_TOGGLE, true);
    else
        TreeSelectCaret(hwnd, node, TVC_BYMOUSE);
}

LRESULT CALLBACK TreeViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    TreeState* state = ControlState<TreeState>(hwnd, message, kStateProp);
    if (!state)
        return DefWindowProcA(hwnd, message, wParam, lParam);
    if (message >= TV_FIRST && message < TV_FIRST + 0x100)
        return TreeItemMessage(hwnd, *state, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY:
        if (state->ownsTooltip && state->tooltip)
            DestroyWindow(state->tooltip);
        state->tooltip = nullptr;
        state->caret = nullptr;
        TreeDeleteItems(hwnd, nullptr, false);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_PAINT:
    case WM_PRINTCLIENT: return PaintControl(hwnd, wParam, [&](HWND, HDC dc) { PaintTree(hwnd, *state, dc); });
    case WM_ERASEBKGND: return TRUE;
    case WM_SIZE:
    case WM_STYLECHANGED:
        TreeUpdateScroll(hwnd, *state);
        InvalidateRect(hwnd, nullptr, FALSE);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_SETFONT:
        state->font = reinterpret_cast<HFONT>(wParam);
        if (state->boldFont)
            DeleteObject(state->boldFont);
        state->boldFont = nullptr;
        TreeStructureChanged(hwnd, *state);
        return 0;
    case WM_GETFONT: return reinterpret_cast<LRESULT>(state->font);
    case WM_SETREDRAW:
        state->redraw = wParam != 0;
        if (state->redraw) {
            TreeUpdateScroll(hwnd, *state);
            InvalidateRect(hwnd, nullptr, FALSE);
        }
        return 0;
    case WM_GETDLGCODE: return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        state->focused = message == WM_SETFOCUS;
        InvalidateRect(hwnd, nullptr, FALSE);
        SendNotifyCode(hwnd, message == WM_SETFOCUS ? NM_SETFOCUS : NM_KILLFOCUS);
        return 0;
    case WM_ENABLE: InvalidateRect(hwnd, nullptr, FALSE); return 0;
    case WM_KEYDOWN: OnKeyDown(hwnd, wParam); return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
        MSG msg{hwnd, message, wParam, lParam, 0, {}};
        TrackTipItem(hwnd, *state, msg);
        if (!(state = TreeStateOf(hwnd)))
            return 0;
        if (message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK)
            OnLeftButton(hwnd, *state, lParam, message == WM_LBUTTONDBLCLK);
        else if (message == WM_RBUTTONDOWN && GetFocus() != hwnd)
            SetFocus(hwnd);
        else if (message == WM_RBUTTONUP && SendNotifyCode(hwnd, NM_RCLICK) == 0)
            return DefWindowProcA(hwnd, message, wParam, lParam); // the context menu
        return 0;
    }
    case WM_MOUSEWHEEL: {
        const int rows = -GET_WHEEL_DELTA_WPARAM(wParam) * kWheelRows / WHEEL_DELTA;
        TreeScrollTo(hwnd, *state, std::max(0, state->top + rows));
        return 0;
    }
    case WM_VSCROLL: {
        const int page = TreePageRows(hwnd, *state);
        const int last = static_cast<int>(state->items.Visible().size()) - 1;
        int top = state->top;
        switch (LOWORD(wParam)) {
        case SB_LINEUP: top -= 1; break;
        case SB_LINEDOWN: top += 1; break;
        case SB_PAGEUP: top -= page; break;
        case SB_PAGEDOWN: top += page; break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: top = static_cast<short>(HIWORD(wParam)); break;
        case SB_TOP: top = 0; break;
        case SB_BOTTOM: top = last; break;
        default: break;
        }
        TreeScrollTo(hwnd, *state, std::max(0, top));
        return 0;
    }
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr && hdr->hwndFrom == state->tooltip && hdr->code == TTN_GETDISPINFOA)
            return InfoTip(hwnd, *state, reinterpret_cast<NMTTDISPINFOA*>(lParam));
        return 0;
    }
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

} // namespace

namespace win32::internal {

TreeState* TreeStateOf(HWND hwnd) {
    return static_cast<TreeState*>(GetPropA(hwnd, kStateProp));
}

} // namespace win32::internal

namespace win32 {

void RegisterTreeViewClass() {
    win32::internal::RegisterControlClass(WC_TREEVIEWA, TreeViewProc, 0, CS_DBLCLKS);
}

} // namespace win32
