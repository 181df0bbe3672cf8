// The tree view's changes: scrolling, expansion, selection and deletion, each with its notifications. Locks: none
// (the window's thread only). A notification may change the tree (a handler may delete items or the window),
// so items are found again by handle after one.
#include <algorithm>

#include "WinPaint.h"
#include "WinToolTips.h"
#include "WinUser.h"
#include "internal/ControlExtras.h"
#include "internal/ControlSupport.h"
#include "internal/TreeViewState.h"

namespace win32::internal {

namespace {

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

// Scrolls a visible item into view; true when it scrolled.
bool ScrollIntoView(HWND hwnd, TreeState& state, TreeNode* node) {
    const int row = state.items.VisibleIndex(node);
    if (row < 0)
        return false;
    const int page = TreePageRows(hwnd, state);
    const int before = state.top;
    if (row < state.top)
        TreeScrollTo(hwnd, state, row);
    else if (row >= state.top + page)
        TreeScrollTo(hwnd, state, row - page + 1);
    return state.top != before;
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
        expanded |= TreeExpand(hwnd, TreeRefind(hwnd, *it), TVE_EXPAND, true);
    return expanded;
}

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
    SendNotify(hwnd, TVN_DELETEITEMA, &nm.hdr);
}

} // namespace

// The item of a handle, or null once the window or the item is gone.
TreeNode* TreeRefind(HWND hwnd, HTREEITEM item) {
    TreeState* state = TreeStateOf(hwnd);
    return state ? state->items.Find(item) : nullptr;
}

int TreePageRows(HWND hwnd, TreeState& state) {
    RECT client{};
    GetClientRect(hwnd, &client);
    return std::max(1, static_cast<int>(client.bottom) / MeasureTree(hwnd, state).itemHeight);
}

// Keeps the first row in range and the scroll bar in step with the rows.
void TreeUpdateScroll(HWND hwnd, TreeState& state) {
    if (state.settingScroll || !state.redraw)
        return;
    state.settingScroll = true;
    const int rows = static_cast<int>(state.items.Visible().size());
    const bool scrolls = !(GetWindowLongA(hwnd, GWL_STYLE) & TVS_NOSCROLL);
    ShowScrollBar(hwnd, SB_VERT, scrolls && rows > TreePageRows(hwnd, state));
    const int page = TreePageRows(hwnd, state);
    state.top = std::clamp(state.top, 0, std::max(0, rows - page));
    if (scrolls) {
        SCROLLINFO info{sizeof info,
                        SIF_RANGE | SIF_PAGE | SIF_POS,
                        0,
                        std::max(0, rows - 1),
                        static_cast<UINT>(page),
                        state.top,
                        0};
        SetScrollInfo(hwnd, SB_VERT, &info, TRUE);
    }
    state.settingScroll = false;
}

void TreeScrollTo(HWND hwnd, TreeState& state, int top) {
    if (top == state.top)
        return;
    state.top = top;
    TreeUpdateScroll(hwnd, state);
    InvalidateRect(hwnd, nullptr, FALSE);
    // The item the tip was for has moved from under the mouse: its tip goes, and the next move finds the item
    // there now.
    if (state.tooltip) {
        state.tipItem = nullptr;
        SendMessageA(state.tooltip, TTM_POP, 0, 0);
    }
}

void TreeStructureChanged(HWND hwnd, TreeState& state) {
    state.items.Changed();
    TreeUpdateScroll(hwnd, state);
    InvalidateRect(hwnd, nullptr, FALSE);
}

// Expands or collapses; a user's change (notify) can be vetoed by TVN_ITEMEXPANDING. True when it happened.
bool TreeExpand(HWND hwnd, TreeNode* node, UINT code, bool notify) {
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
        if (SendNotify(hwnd, TVN_ITEMEXPANDINGA, &nm.hdr) != 0)
            return false;
        node = TreeRefind(hwnd, handle);
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
    TreeStructureChanged(hwnd, *state);
    // A collapse hides what it held: a caret among it moves to the collapsed item.
    if (!expand && state->items.IsAncestor(node, state->caret))
        TreeSelectCaret(hwnd, node, TVC_UNKNOWN);
    if (notify && (node = TreeRefind(hwnd, handle)) != nullptr) {
        NMTREEVIEWA nm{};
        nm.action = expand ? TVE_EXPAND : TVE_COLLAPSE;
        nm.itemNew = Describe(node);
        SendNotify(hwnd, TVN_ITEMEXPANDEDA, &nm.hdr);
    }
    return true;
}

bool TreeSelectCaret(HWND hwnd, TreeNode* node, UINT action) {
    TreeState* state = TreeStateOf(hwnd);
    if (node == state->caret)
        return true;
    const HTREEITEM handle = TreeModel::Handle(node);
    if (node && state->items.VisibleIndex(node) < 0) {
        ExpandAncestors(hwnd, node);
        if (!(node = TreeRefind(hwnd, handle)))
            return false;
        state = TreeStateOf(hwnd);
    }
    NMTREEVIEWA nm{};
    nm.action = action;
    nm.itemOld = Describe(state->caret);
    nm.itemNew = Describe(node);
    if (SendNotify(hwnd, TVN_SELCHANGINGA, &nm.hdr) != 0)
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
    InvalidateRect(hwnd, nullptr, FALSE);
    nm.itemOld.state &= ~TVIS_SELECTED;
    nm.itemNew = Describe(node);
    SendNotify(hwnd, TVN_SELCHANGEDA, &nm.hdr);
    return true;
}

// Deletes an item and its subtree (null: every item); false for an unknown item.
bool TreeDeleteItems(HWND hwnd, TreeNode* node, bool moveCaret) {
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
    TreeStructureChanged(hwnd, *state);
    if (oldCaret && moveCaret) {
        NMTREEVIEWA nm{};
        nm.action = TVC_UNKNOWN;
        nm.itemOld = Describe(oldCaret);
        nm.itemNew = Describe(newCaret);
        SendNotify(hwnd, TVN_SELCHANGEDA, &nm.hdr);
    }
    for (TreeNode* top : tops)
        for (TreeNode* gone : TreeModel::PostOrder(top)) {
            NotifyDeleted(hwnd, gone);
            if (TreeState* now = TreeStateOf(hwnd))
                now->items.Forget(gone);
        }
    return true;
}

// Puts an item in view as TVM_ENSUREVISIBLE does: expands its ancestors, then scrolls. Non-zero when it
// scrolled and expanded nothing.
BOOL TreeEnsureVisible(HWND hwnd, HTREEITEM item) {
    TreeNode* node = TreeRefind(hwnd, item);
    if (!node)
        return FALSE;
    const bool expanded = ExpandAncestors(hwnd, node);
    TreeState* state = TreeStateOf(hwnd);
    if (!state || !(node = state->items.Find(item)))
        return FALSE;
    const bool scrolled = ScrollIntoView(hwnd, *state, node);
    return scrolled && !expanded;
}

} // namespace win32::internal
