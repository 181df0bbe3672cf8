// The tree view control: its messages, notifications, selection, expansion, deletion and input. Locks: none; a
// tree's state lives in a property of its window, touched only on the window's thread. Every notification may
// change the tree (a handler may delete items or the window), so items are found again by handle after one.
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
#include "internal/TreeViewState.h"

using namespace win32::internal;

namespace {

const char kStateProp[] = "TdlTreeViewState";
constexpr int kDispTextSize = 260;
constexpr int kWheelRows = 3;

LONG StyleOf(HWND hwnd) {
    return GetWindowLongA(hwnd, GWL_STYLE);
}

LRESULT Notify(HWND hwnd, UINT code, NMHDR* hdr) {
    hdr->hwndFrom = hwnd;
    hdr->idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(hwnd));
    hdr->code = code;
    HWND parent = GetParent(hwnd);
    return parent ? SendMessageA(parent, WM_NOTIFY, hdr->idFrom, reinterpret_cast<LPARAM>(hdr)) : 0;
}

LRESULT NotifyPlain(HWND hwnd, UINT code) {
    NMHDR hdr{};
    return Notify(hwnd, code, &hdr);
}

// The fields a notification reports of an item.
TVITEMA Describe(const TreeNode* node) {
    TVITEMA item{};
    if (!node)
        return item;
    item.mask = TVIF_HANDLE | TVIF_STATE | TVIF_PARAM;
    item.hItem = TreeModel::Handle(node);
    item.state = node->state;
    item.stateMask = 0xFFFF;
    item.lParam = node->param;
    return item;
}

// The item of a handle, or null once the window or the item is gone.
TreeNode* Refind(HWND hwnd, HTREEITEM item) {
    TreeState* state = TreeStateOf(hwnd);
    return state ? state->items.Find(item) : nullptr;
}

void Invalidate(HWND hwnd) {
    InvalidateRect(hwnd, nullptr, FALSE);
}

int PageRows(HWND hwnd, TreeState& state) {
    RECT client{};
    GetClientRect(hwnd, &client);
    return std::max(1, static_cast<int>(client.bottom) / MeasureTree(hwnd, state).itemHeight);
}

// Keeps the first row in range and the scroll bar in step with the rows.
void UpdateScroll(HWND hwnd, TreeState& state) {
    if (state.settingScroll)
        return;
    state.settingScroll = true;
    const int rows = static_cast<int>(state.items.Visible().size());
    const bool scrolls = !(StyleOf(hwnd) & TVS_NOSCROLL);
    ShowScrollBar(hwnd, SB_VERT, scrolls && rows > PageRows(hwnd, state));
    const int page = PageRows(hwnd, state);
    state.top = std::clamp(state.top, 0, std::max(0, rows - page));
    if (scrolls) {
        SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS, 0, std::max(0, rows - 1),
                        static_cast<UINT>(page), state.top, 0};
        SetScrollInfo(hwnd, SB_VERT, &info, TRUE);
    }
    state.settingScroll = false;
}

void ScrollTo(HWND hwnd, TreeState& state, int top) {
    if (top == state.top)
        return;
    state.top = top;
    UpdateScroll(hwnd, state);
    Invalidate(hwnd);
}

// Scrolls a visible item into view; true when it scrolled.
bool ScrollIntoView(HWND hwnd, TreeState& state, TreeNode* node) {
    const int row = state.items.VisibleIndex(node);
    if (row < 0)
        return false;
    const int page = PageRows(hwnd, state);
    const int before = state.top;
    if (row < state.top)
        ScrollTo(hwnd, state, row);
    else if (row >= state.top + page)
        ScrollTo(hwnd, state, row - page + 1);
    return state.top != before;
}

void StructureChanged(HWND hwnd, TreeState& state) {
    state.items.Changed();
    UpdateScroll(hwnd, state);
    Invalidate(hwnd);
}

// ---- selection

bool SelectCaret(HWND hwnd, TreeNode* node, UINT action);

// Expands or collapses; a user's change (notify) can be vetoed by TVN_ITEMEXPANDING. True when it happened.
bool Expand(HWND hwnd, TreeNode* node, UINT code, bool notify) {
    TreeState* state = TreeStateOf(hwnd);
    if (!state || !node)
        return false;
    const UINT what = code & TVE_TOGGLE;
    const bool expanded = (node->state & TVIS_EXPANDED) != 0;
    const bool expand = what == TVE_TOGGLE ? !expanded : what == TVE_EXPAND;
    if (what == 0 || (expand && !TreeItemHasChildren(hwnd, node)))
        return false;
    if (expand == expanded && !(code & TVE_COLLAPSERESET))
        return !notify;
    const HTREEITEM handle = TreeModel::Handle(node);
    if (notify) {
        NMTREEVIEWA nm{};
        nm.action = expand ? TVE_EXPAND : TVE_COLLAPSE;
        nm.itemNew = Describe(node);
        if (Notify(hwnd, TVN_ITEMEXPANDINGA, &nm.hdr) != 0)
            return false;
        node = Refind(hwnd, handle);
        state = TreeStateOf(hwnd);
        if (!node)
            return false;
    }
    if (expand) {
        node->state |= TVIS_EXPANDED | TVIS_EXPANDEDONCE;
    } else {
        node->state &= ~TVIS_EXPANDED;
        if (code & TVE_COLLAPSERESET)
            node->state &= ~TVIS_EXPANDEDONCE;
    }
    StructureChanged(hwnd, *state);
    // A collapse hides what it held: a caret among it moves to the collapsed item.
    if (!expand && state->items.IsAncestor(node, state->caret))
        SelectCaret(hwnd, node, TVC_UNKNOWN);
    if (notify && (node = Refind(hwnd, handle)) != nullptr) {
        NMTREEVIEWA nm{};
        nm.action = expand ? TVE_EXPAND : TVE_COLLAPSE;
        nm.itemNew = Describe(node);
        Notify(hwnd, TVN_ITEMEXPANDEDA, &nm.hdr);
    }
    return true;
}

// Expands every collapsed ancestor as a user would (each may be vetoed); true when one was expanded.
bool ExpandAncestors(HWND hwnd, TreeNode* node) {
    TreeState* state = TreeStateOf(hwnd);
    std::vector<HTREEITEM> ancestors;
    for (TreeNode* at = state->items.ParentOf(node); at; at = state->items.ParentOf(at))
        if (!(at->state & TVIS_EXPANDED))
            ancestors.push_back(TreeModel::Handle(at));
    bool expanded = false;
    for (auto it = ancestors.rbegin(); it != ancestors.rend(); ++it)
        expanded |= Expand(hwnd, Refind(hwnd, *it), TVE_EXPAND, true);
    return expanded;
}

bool SelectCaret(HWND hwnd, TreeNode* node, UINT action) {
    TreeState* state = TreeStateOf(hwnd);
    if (node == state->caret)
        return true;
    const HTREEITEM handle = TreeModel::Handle(node);
    if (node && state->items.VisibleIndex(node) < 0) {
        ExpandAncestors(hwnd, node);
        if (!(node = Refind(hwnd, handle)))
            return false;
        state = TreeStateOf(hwnd);
    }
    NMTREEVIEWA nm{};
    nm.action = action;
    nm.itemOld = Describe(state->caret);
    nm.itemNew = Describe(node);
    if (Notify(hwnd, TVN_SELCHANGINGA, &nm.hdr) != 0)
        return false;
    state = TreeStateOf(hwnd);
    if (!state || (handle && !(node = state->items.Find(handle))))
        return false;
    if (state->caret)
        state->caret->state &= ~TVIS_SELECTED;
    state->caret = node;
    if (node) {
        node->state |= TVIS_SELECTED;
        ScrollIntoView(hwnd, *state, node);
    }
    Invalidate(hwnd);
    nm.itemOld.state &= ~TVIS_SELECTED;
    nm.itemNew = Describe(node);
    Notify(hwnd, TVN_SELCHANGEDA, &nm.hdr);
    return true;
}

// ---- deletion

// Where the caret goes when the subtree of `gone` is deleted.
TreeNode* CaretAfterDeleting(TreeState& state, TreeNode* gone) {
    if (gone->next)
        return gone->next;
    if (gone->prev)
        return gone->prev;
    return state.items.ParentOf(gone);
}

void NotifyDeleted(HWND hwnd, TreeNode* node) {
    NMTREEVIEWA nm{};
    nm.itemOld.mask = TVIF_HANDLE | TVIF_PARAM;
    nm.itemOld.hItem = TreeModel::Handle(node);
    nm.itemOld.lParam = node->param;
    Notify(hwnd, TVN_DELETEITEMA, &nm.hdr);
}

// Deletes an item and its subtree (null: every item); false for an unknown item.
bool DeleteItems(HWND hwnd, TreeNode* node, bool moveCaret) {
    TreeState* state = TreeStateOf(hwnd);
    std::vector<TreeNode*> tops;
    if (node) {
        if (node->deleting)
            return false;
        tops.push_back(node);
    } else {
        for (TreeNode* at = state->items.Root()->first; at; at = at->next)
            tops.push_back(at);
    }
    auto inDeleted = [&](TreeNode* at) {
        return at && std::any_of(tops.begin(), tops.end(),
                                 [&](TreeNode* top) { return at == top || state->items.IsAncestor(top, at); });
    };
    if (inDeleted(state->dropHilite))
        state->dropHilite = nullptr;
    if (state->tipItem && inDeleted(state->tipItem))
        state->tipItem = nullptr;
    TreeNode* oldCaret = inDeleted(state->caret) ? state->caret : nullptr;
    TreeNode* newCaret = oldCaret && node ? CaretAfterDeleting(*state, node) : nullptr;
    for (TreeNode* top : tops)
        state->items.Unlink(top);
    if (oldCaret) {
        oldCaret->state &= ~TVIS_SELECTED;
        state->caret = newCaret;
        if (newCaret)
            newCaret->state |= TVIS_SELECTED;
    }
    StructureChanged(hwnd, *state);
    if (oldCaret && moveCaret) {
        NMTREEVIEWA nm{};
        nm.action = TVC_UNKNOWN;
        nm.itemOld = Describe(oldCaret);
        nm.itemNew = Describe(newCaret);
        Notify(hwnd, TVN_SELCHANGEDA, &nm.hdr);
    }
    for (TreeNode* top : tops)
        for (TreeNode* gone : TreeModel::PostOrder(top)) {
            NotifyDeleted(hwnd, gone);
            if (TreeState* now = TreeStateOf(hwnd))
                now->items.Forget(gone);
        }
    return true;
}

// ---- items

TreeNode* InsertItem(HWND hwnd, TreeState& state, const TVINSERTSTRUCTA& insert) {
    TreeNode* parent = state.items.Root();
    if (insert.hParent && insert.hParent != TVI_ROOT) {
        parent = state.items.Find(insert.hParent);
        if (!parent || parent->deleting)
            return nullptr;
    }
    const TVITEMA& item = insert.item;
    const bool callback = (item.mask & TVIF_TEXT) && item.pszText == LPSTR_TEXTCALLBACKA;
    std::string text = (item.mask & TVIF_TEXT) && item.pszText && !callback ? std::string(item.pszText) : std::string();
    TreeNode* node = state.items.Insert(parent, insert.hInsertAfter, std::move(text));
    node->textCallback = callback;
    if (item.mask & TVIF_IMAGE)
        node->image = item.iImage;
    if (item.mask & TVIF_SELECTEDIMAGE)
        node->selectedImage = item.iSelectedImage;
    if (item.mask & TVIF_STATE)
        node->state = (item.state & item.stateMask) & ~TVIS_SELECTED;
    if (item.mask & TVIF_CHILDREN)
        node->children = item.cChildren;
    if (item.mask & TVIF_PARAM)
        node->param = item.lParam;
    StructureChanged(hwnd, state);
    return node;
}

// Asks the parent for what a callback item leaves to it.
void AskDisplayInfo(HWND hwnd, TreeNode* node, UINT mask, NMTVDISPINFOA* info, char* buffer) {
    info->item.mask = mask;
    info->item.hItem = TreeModel::Handle(node);
    info->item.state = node->state;
    info->item.lParam = node->param;
    info->item.pszText = buffer;
    info->item.cchTextMax = kDispTextSize;
    buffer[0] = '\0';
    Notify(hwnd, TVN_GETDISPINFOA, &info->hdr);
}

void CopyText(const std::string& text, LPSTR target, int size) {
    if (!target || size <= 0)
        return;
    const size_t n = std::min(text.size(), static_cast<size_t>(size - 1));
    memcpy(target, text.data(), n);
    target[n] = '\0';
}

BOOL GetItem(HWND hwnd, TreeState& state, TVITEMA* item) {
    if (!item)
        return FALSE;
    TreeNode* node = state.items.Find(item->hItem);
    if (!node)
        return FALSE;
    if (item->mask & TVIF_TEXT)
        CopyText(TreeItemText(hwnd, node), item->pszText, item->cchTextMax);
    if (!(node = Refind(hwnd, item->hItem)))
        return FALSE;
    if (item->mask & TVIF_IMAGE)
        item->iImage = node->image;
    if (item->mask & TVIF_SELECTEDIMAGE)
        item->iSelectedImage = node->selectedImage;
    if (item->mask & TVIF_STATE)
        item->state = node->state & item->stateMask;
    if (item->mask & TVIF_PARAM)
        item->lParam = node->param;
    if (item->mask & TVIF_CHILDREN)
        item->cChildren = node->children == TreeNode::kChildrenByItems ? (node->first ? 1 : 0) : node->children;
    return TRUE;
}

BOOL SetItem(HWND hwnd, TreeState& state, const TVITEMA* item) {
    TreeNode* node = item ? state.items.Find(item->hItem) : nullptr;
    if (!node)
        return FALSE;
    if (item->mask & TVIF_TEXT) {
        node->textCallback = item->pszText == LPSTR_TEXTCALLBACKA;
        node->text = item->pszText && !node->textCallback ? item->pszText : "";
    }
    if (item->mask & TVIF_IMAGE)
        node->image = item->iImage;
    if (item->mask & TVIF_SELECTEDIMAGE)
        node->selectedImage = item->iSelectedImage;
    if (item->mask & TVIF_STATE) {
        const UINT before = node->state;
        node->state = (node->state & ~item->stateMask) | (item->state & item->stateMask);
        if ((before ^ node->state) & TVIS_EXPANDED)
            state.items.Changed();
    }
    if (item->mask & TVIF_CHILDREN)
        node->children = item->cChildren;
    if (item->mask & TVIF_PARAM)
        node->param = item->lParam;
    StructureChanged(hwnd, state);
    return TRUE;
}

HTREEITEM NextItem(HWND hwnd, TreeState& state, UINT code, HTREEITEM item) {
    if (code == TVGN_ROOT)
        return TreeModel::Handle(state.items.Root()->first);
    if (code == TVGN_CARET)
        return TreeModel::Handle(state.caret);
    if (code == TVGN_DROPHILITE)
        return TreeModel::Handle(state.dropHilite);
    const auto& visible = state.items.Visible();
    if (code == TVGN_FIRSTVISIBLE)
        return state.top < static_cast<int>(visible.size()) ? TreeModel::Handle(visible[state.top]) : nullptr;
    if (code == TVGN_LASTVISIBLE)
        return visible.empty() ? nullptr : TreeModel::Handle(visible.back());
    if (code == TVGN_CHILD && (!item || item == TVI_ROOT))
        return TreeModel::Handle(state.items.Root()->first);
    TreeNode* node = state.items.Find(item);
    if (!node || node->deleting)
        return nullptr;
    switch (code) {
    case TVGN_NEXT:
        return TreeModel::Handle(node->next);
    case TVGN_PREVIOUS:
        return TreeModel::Handle(node->prev);
    case TVGN_PARENT:
        return TreeModel::Handle(state.items.ParentOf(node));
    case TVGN_CHILD:
        return TreeModel::Handle(node->first);
    case TVGN_NEXTVISIBLE:
    case TVGN_PREVIOUSVISIBLE: {
        const int row = state.items.VisibleIndex(node);
        const int other = row + (code == TVGN_NEXTVISIBLE ? 1 : -1);
        if (row < 0 || other < 0 || other >= static_cast<int>(visible.size()))
            return nullptr;
        return TreeModel::Handle(visible[static_cast<size_t>(other)]);
    }
    default:
        (void)hwnd;
        return nullptr;
    }
}

BOOL ItemRect(HWND hwnd, TreeState& state, BOOL textOnly, RECT* rect) {
    if (!rect)
        return FALSE;
    HTREEITEM item{};
    memcpy(&item, rect, sizeof item);
    TreeNode* node = state.items.Find(item);
    TreeItemGeometry g;
    if (!node || !TreeItemLayout(hwnd, state, MeasureTree(hwnd, state), node, &g))
        return FALSE;
    *rect = textOnly ? g.label : g.row;
    return TRUE;
}

// Puts an item in view as TVM_ENSUREVISIBLE does: expands its ancestors, then scrolls. Non-zero when it
// scrolled and expanded nothing.
BOOL EnsureVisible(HWND hwnd, HTREEITEM item) {
    TreeNode* node = Refind(hwnd, item);
    if (!node)
        return FALSE;
    const bool expanded = ExpandAncestors(hwnd, node);
    TreeState* state = TreeStateOf(hwnd);
    if (!state || !(node = state->items.Find(item)))
        return FALSE;
    const bool scrolled = ScrollIntoView(hwnd, *state, node);
    return scrolled && !expanded;
}

BOOL SelectItem(HWND hwnd, TreeState& state, UINT code, HTREEITEM item) {
    TreeNode* node = state.items.Find(item);
    if (item && !node)
        return FALSE;
    switch (code) {
    case TVGN_CARET:
        return SelectCaret(hwnd, node, TVC_UNKNOWN);
    case TVGN_DROPHILITE:
        if (state.dropHilite)
            state.dropHilite->state &= ~TVIS_DROPHILITED;
        state.dropHilite = node;
        if (node)
            node->state |= TVIS_DROPHILITED;
        Invalidate(hwnd);
        return TRUE;
    case TVGN_FIRSTVISIBLE: {
        const int row = node ? state.items.VisibleIndex(node) : -1;
        if (row < 0)
            return FALSE;
        ScrollTo(hwnd, state, row);
        return TRUE;
    }
    default:
        return FALSE;
    }
}

BOOL SortChildren(HWND hwnd, TreeState& state, HTREEITEM parentItem, bool recurse, PFNTVCOMPARE compare,
                  LPARAM sortParam) {
    TreeNode* parent = !parentItem || parentItem == TVI_ROOT ? state.items.Root() : state.items.Find(parentItem);
    if (!parent)
        return FALSE;
    if (compare)
        state.items.SortChildren(parent, recurse, [&](const TreeNode* a, const TreeNode* b) {
            return compare(a->param, b->param, sortParam) < 0;
        });
    else
        state.items.SortChildren(parent, recurse, [&](TreeNode* a, TreeNode* b) {
            return strcasecmp(TreeItemText(hwnd, a).c_str(), TreeItemText(hwnd, b).c_str()) < 0;
        });
    StructureChanged(hwnd, state);
    return TRUE;
}

// ---- info tips

// The tree's own tooltip, made the first time the mouse moves over an item of a tree with TVS_INFOTIP.
HWND TipWindow(HWND hwnd, TreeState& state) {
    if (state.tooltip || !(StyleOf(hwnd) & TVS_INFOTIP) || (StyleOf(hwnd) & TVS_NOTOOLTIPS))
        return state.tooltip;
    win32::RegisterToolTipsClass();
    state.tooltip = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, "", WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                    0, 0, 0, 0, hwnd, nullptr, nullptr, nullptr);
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
    CopyText(TreeItemText(hwnd, state.tipItem), buffer.data(), INFOTIPSIZE);
    if (!(state.tipItem = Refind(hwnd, TreeModel::Handle(state.tipItem))))
        return 0;
    NMTVGETINFOTIPA tip{};
    tip.pszText = buffer.data();
    tip.cchTextMax = INFOTIPSIZE;
    tip.hItem = TreeModel::Handle(state.tipItem);
    tip.lParam = state.tipItem->param;
    Notify(hwnd, TVN_GETINFOTIPA, &tip.hdr);
    buffer[INFOTIPSIZE - 1] = '\0';
    CopyText(buffer.c_str(), info->szText, sizeof info->szText);
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
    Notify(hwnd, TVN_KEYDOWN, &key.hdr);
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
        SelectCaret(hwnd, visible[static_cast<size_t>(to)], TVC_BYKEYBOARD);
    };
    switch (vk) {
    case VK_UP:
        select(row < 0 ? 0 : row - 1);
        break;
    case VK_DOWN:
        select(row < 0 ? 0 : row + 1);
        break;
    case VK_HOME:
        select(0);
        break;
    case VK_END:
        select(last);
        break;
    case VK_PRIOR:
        select(std::max(row, 0) - (PageRows(hwnd, *state) - 1));
        break;
    case VK_NEXT:
        select(std::max(row, 0) + PageRows(hwnd, *state) - 1);
        break;
    case VK_LEFT:
        if (caret && (caret->state & TVIS_EXPANDED) && TreeItemHasChildren(hwnd, caret))
            Expand(hwnd, caret, TVE_COLLAPSE, true);
        else if (caret && state->items.ParentOf(caret))
            SelectCaret(hwnd, state->items.ParentOf(caret), TVC_BYKEYBOARD);
        break;
    case VK_RIGHT:
        if (caret && !(caret->state & TVIS_EXPANDED))
            Expand(hwnd, caret, TVE_EXPAND, true);
        else if (caret && caret->first)
            SelectCaret(hwnd, caret->first, TVC_BYKEYBOARD);
        break;
    case VK_ADD:
        Expand(hwnd, caret, TVE_EXPAND, true);
        break;
    case VK_SUBTRACT:
        Expand(hwnd, caret, TVE_COLLAPSE, true);
        break;
    case VK_TAB:
    case VK_ESCAPE:
    case VK_RETURN:
        if (!win32::ForwardDialogKey(hwnd, vk) && vk == VK_RETURN)
            NotifyPlain(hwnd, NM_RETURN);
        break;
    default:
        break;
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
        Expand(hwnd, node, TVE_TOGGLE, true);
        NotifyPlain(hwnd, twice ? NM_DBLCLK : NM_CLICK);
        return;
    }
    const bool onItem = (flags & TVHT_ONITEM) ||
                        ((StyleOf(hwnd) & TVS_FULLROWSELECT) && (flags & (TVHT_ONITEMRIGHT | TVHT_ONITEMINDENT)));
    if (NotifyPlain(hwnd, twice ? NM_DBLCLK : NM_CLICK) != 0 || !onItem || !(node = Refind(hwnd, handle)))
        return;
    // A click on the state image selects like one on the label: changing the state is the owner's business.
    if (twice)
        Expand(hwnd, node, TVE_TOGGLE, true);
    else
        SelectCaret(hwnd, node, TVC_BYMOUSE);
}

LRESULT OnPaintMessage(HWND hwnd, TreeState& state, WPARAM wParam) {
    if (wParam) {
        PaintTree(hwnd, state, reinterpret_cast<HDC>(wParam));
        return 0;
    }
    PAINTSTRUCT ps{};
    HDC dc = BeginPaint(hwnd, &ps);
    PaintTree(hwnd, state, dc);
    EndPaint(hwnd, &ps);
    return 0;
}

void DestroyState(HWND hwnd) {
    auto* state = static_cast<TreeState*>(RemovePropA(hwnd, kStateProp));
    if (!state)
        return;
    if (state->boldFont)
        DeleteObject(state->boldFont);
    delete state;
}

LRESULT TreeMessage(HWND hwnd, TreeState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case TVM_INSERTITEMA:
        return lParam ? reinterpret_cast<LRESULT>(
                            TreeModel::Handle(InsertItem(hwnd, state, *reinterpret_cast<TVINSERTSTRUCTA*>(lParam))))
                      : 0;
    case TVM_DELETEITEM: {
        auto item = reinterpret_cast<HTREEITEM>(lParam);
        if (!item || item == TVI_ROOT)
            return DeleteItems(hwnd, nullptr, true);
        TreeNode* node = state.items.Find(item);
        return node && DeleteItems(hwnd, node, true);
    }
    case TVM_EXPAND: {
        TreeNode* node = state.items.Find(reinterpret_cast<HTREEITEM>(lParam));
        if (!node)
            return FALSE;
        if ((wParam & TVE_COLLAPSERESET) && (wParam & TVE_COLLAPSE)) {
            std::vector<HTREEITEM> children;
            for (TreeNode* child = node->first; child; child = child->next)
                children.push_back(TreeModel::Handle(child));
            Expand(hwnd, node, TVE_COLLAPSE | TVE_COLLAPSERESET, false);
            for (HTREEITEM child : children)
                if (TreeNode* gone = Refind(hwnd, child))
                    DeleteItems(hwnd, gone, true);
            return TRUE;
        }
        return Expand(hwnd, node, static_cast<UINT>(wParam), false);
    }
    case TVM_GETITEMRECT:
        return ItemRect(hwnd, state, static_cast<BOOL>(wParam), reinterpret_cast<RECT*>(lParam));
    case TVM_GETCOUNT:
        return static_cast<LRESULT>(state.items.Count());
    case TVM_GETINDENT:
        return MeasureTree(hwnd, state).indent;
    case TVM_SETINDENT:
        state.indent = static_cast<int>(wParam);
        Invalidate(hwnd);
        return 0;
    case TVM_GETIMAGELIST:
        return reinterpret_cast<LRESULT>(wParam == TVSIL_STATE ? state.stateImages
                                         : wParam == TVSIL_NORMAL ? state.normal
                                                                  : nullptr);
    case TVM_SETIMAGELIST: {
        if (wParam != TVSIL_NORMAL && wParam != TVSIL_STATE)
            return 0;
        HIMAGELIST& slot = wParam == TVSIL_STATE ? state.stateImages : state.normal;
        HIMAGELIST previous = slot;
        slot = reinterpret_cast<HIMAGELIST>(lParam);
        StructureChanged(hwnd, state);
        return reinterpret_cast<LRESULT>(previous);
    }
    case TVM_GETNEXTITEM:
        return reinterpret_cast<LRESULT>(
            NextItem(hwnd, state, static_cast<UINT>(wParam), reinterpret_cast<HTREEITEM>(lParam)));
    case TVM_SELECTITEM:
        return SelectItem(hwnd, state, static_cast<UINT>(wParam), reinterpret_cast<HTREEITEM>(lParam));
    case TVM_GETITEMA:
        return GetItem(hwnd, state, reinterpret_cast<TVITEMA*>(lParam));
    case TVM_SETITEMA:
        return SetItem(hwnd, state, reinterpret_cast<const TVITEMA*>(lParam));
    case TVM_GETITEMSTATE: {
        TreeNode* node = state.items.Find(reinterpret_cast<HTREEITEM>(wParam));
        return node ? static_cast<LRESULT>(node->state & static_cast<UINT>(lParam)) : 0;
    }
    case TVM_GETVISIBLECOUNT: {
        RECT client{};
        GetClientRect(hwnd, &client);
        return client.bottom / MeasureTree(hwnd, state).itemHeight;
    }
    case TVM_HITTEST: {
        auto* info = reinterpret_cast<TVHITTESTINFO*>(lParam);
        if (!info)
            return 0;
        info->hItem = TreeModel::Handle(TreeHitTest(hwnd, state, info->pt, &info->flags));
        return reinterpret_cast<LRESULT>(info->hItem);
    }
    case TVM_SORTCHILDREN:
        return SortChildren(hwnd, state, reinterpret_cast<HTREEITEM>(lParam), wParam != 0, nullptr, 0);
    case TVM_SORTCHILDRENCB: {
        auto* sort = reinterpret_cast<TVSORTCB*>(lParam);
        return sort && sort->lpfnCompare &&
               SortChildren(hwnd, state, sort->hParent, wParam != 0, sort->lpfnCompare, sort->lParam);
    }
    case TVM_ENSUREVISIBLE:
        return EnsureVisible(hwnd, reinterpret_cast<HTREEITEM>(lParam));
    case TVM_SETTOOLTIPS: {
        HWND previous = state.tooltip;
        if (state.ownsTooltip && previous)
            state.ownsTooltip = false; // the caller takes the tree's own tooltip over, as on the platform
        state.tooltip = reinterpret_cast<HWND>(wParam);
        return reinterpret_cast<LRESULT>(previous);
    }
    case TVM_GETTOOLTIPS:
        return reinterpret_cast<LRESULT>(state.tooltip);
    case TVM_SETITEMHEIGHT: {
        const int previous = MeasureTree(hwnd, state).itemHeight;
        state.customHeight = static_cast<int>(static_cast<short>(LOWORD(wParam)));
        StructureChanged(hwnd, state);
        return previous;
    }
    case TVM_GETITEMHEIGHT:
        return MeasureTree(hwnd, state).itemHeight;
    case TVM_SETBKCOLOR:
    case TVM_SETTEXTCOLOR:
    case TVM_SETLINECOLOR: {
        COLORREF& slot = message == TVM_SETBKCOLOR ? state.background
                         : message == TVM_SETTEXTCOLOR ? state.text
                                                        : state.lines;
        const COLORREF previous = slot;
        slot = static_cast<COLORREF>(lParam);
        Invalidate(hwnd);
        return static_cast<LRESULT>(static_cast<LONG>(previous));
    }
    case TVM_GETBKCOLOR:
        return static_cast<LRESULT>(static_cast<LONG>(state.background));
    case TVM_GETTEXTCOLOR:
        return static_cast<LRESULT>(static_cast<LONG>(state.text));
    case TVM_GETLINECOLOR:
        return static_cast<LRESULT>(static_cast<LONG>(state.lines));
    case TVM_EDITLABELA:
    case TVM_GETEDITCONTROL:
    case TVM_ENDEDITLABELNOW:
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK TreeViewProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    TreeState* state = TreeStateOf(hwnd);
    if (!state) {
        if (message != WM_NCCREATE)
            return DefWindowProcA(hwnd, message, wParam, lParam);
        state = new TreeState;
        SetPropA(hwnd, kStateProp, state);
    }
    if (message >= TV_FIRST && message < TV_FIRST + 0x100)
        return TreeMessage(hwnd, *state, message, wParam, lParam);
    switch (message) {
    case WM_DESTROY:
        if (state->ownsTooltip && state->tooltip)
            DestroyWindow(state->tooltip);
        state->tooltip = nullptr;
        state->caret = nullptr;
        DeleteItems(hwnd, nullptr, false);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_NCDESTROY:
        DestroyState(hwnd);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_PAINT:
    case WM_PRINTCLIENT:
        return OnPaintMessage(hwnd, *state, wParam);
    case WM_ERASEBKGND:
        return TRUE;
    case WM_SIZE:
    case WM_STYLECHANGED:
        UpdateScroll(hwnd, *state);
        Invalidate(hwnd);
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case WM_SETFONT:
        state->font = reinterpret_cast<HFONT>(wParam);
        if (state->boldFont)
            DeleteObject(state->boldFont);
        state->boldFont = nullptr;
        StructureChanged(hwnd, *state);
        return 0;
    case WM_GETFONT:
        return reinterpret_cast<LRESULT>(state->font);
    case WM_GETDLGCODE:
        return DLGC_WANTARROWS | DLGC_WANTCHARS;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        state->focused = message == WM_SETFOCUS;
        Invalidate(hwnd);
        NotifyPlain(hwnd, message == WM_SETFOCUS ? NM_SETFOCUS : NM_KILLFOCUS);
        return 0;
    case WM_ENABLE:
        Invalidate(hwnd);
        return 0;
    case WM_KEYDOWN:
        OnKeyDown(hwnd, wParam);
        return 0;
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
        else if (message == WM_RBUTTONUP && NotifyPlain(hwnd, NM_RCLICK) == 0)
            return DefWindowProcA(hwnd, message, wParam, lParam); // the context menu
        return 0;
    }
    case WM_MOUSEWHEEL: {
        const int rows = -GET_WHEEL_DELTA_WPARAM(wParam) * kWheelRows / WHEEL_DELTA;
        ScrollTo(hwnd, *state, std::max(0, state->top + rows));
        return 0;
    }
    case WM_VSCROLL: {
        const int page = PageRows(hwnd, *state);
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
        ScrollTo(hwnd, *state, std::max(0, top));
        return 0;
    }
    case WM_NOTIFY: {
        auto* hdr = reinterpret_cast<NMHDR*>(lParam);
        if (hdr && hdr->hwndFrom == state->tooltip && hdr->code == TTN_GETDISPINFOA)
            return InfoTip(hwnd, *state, reinterpret_cast<NMTTDISPINFOA*>(lParam));
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

} // namespace

namespace win32::internal {

TreeState* TreeStateOf(HWND hwnd) {
    return static_cast<TreeState*>(GetPropA(hwnd, kStateProp));
}

std::string TreeItemText(HWND hwnd, TreeNode* node) {
    if (!node->textCallback)
        return node->text;
    NMTVDISPINFOA info{};
    char buffer[kDispTextSize];
    AskDisplayInfo(hwnd, node, TVIF_TEXT, &info, buffer);
    buffer[kDispTextSize - 1] = '\0';
    return info.item.pszText && info.item.pszText != LPSTR_TEXTCALLBACKA ? std::string(info.item.pszText)
                                                                          : std::string();
}

bool TreeItemHasChildren(HWND hwnd, TreeNode* node) {
    if (node->children == TreeNode::kChildrenByItems)
        return node->first != nullptr;
    if (node->children != I_CHILDRENCALLBACK)
        return node->children != 0 || node->first != nullptr;
    NMTVDISPINFOA info{};
    char buffer[kDispTextSize];
    AskDisplayInfo(hwnd, node, TVIF_CHILDREN, &info, buffer);
    return info.item.cChildren != 0 || node->first != nullptr;
}

} // namespace win32::internal

namespace win32 {

void RegisterTreeViewClass() {
    WNDCLASSA wc{};
    if (GetClassInfoA(nullptr, WC_TREEVIEWA, &wc))
        return;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = TreeViewProc;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = WC_TREEVIEWA;
    RegisterClassA(&wc);
}

} // namespace win32
