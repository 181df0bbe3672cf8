// The tree view's items as its messages see them: inserting, reading and writing fields (asking the parent for
// callback fields), navigating, rectangles, selecting and sorting. Locks: none (the window's thread only).
#include <algorithm>
#include <cstring>
#include <strings.h>
#include <vector>

#include "WinPaint.h"
#include "WinUser.h"
#include "internal/ControlExtras.h"
#include "internal/ControlSupport.h"
#include "internal/TreeViewState.h"

namespace win32::internal {

namespace {

constexpr int kDispTextSize = 260;

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
    TreeStructureChanged(hwnd, state);
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
    SendNotify(hwnd, TVN_GETDISPINFOA, &info->hdr);
}

BOOL GetItem(HWND hwnd, TreeState& state, TVITEMA* item) {
    if (!item)
        return FALSE;
    TreeNode* node = state.items.Find(item->hItem);
    if (!node)
        return FALSE;
    if (item->mask & TVIF_TEXT)
        CopyTextTo(TreeItemText(hwnd, node), item->pszText, item->cchTextMax);
    if (!(node = TreeRefind(hwnd, item->hItem)))
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
    TreeStructureChanged(hwnd, state);
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
    case TVGN_NEXT: return TreeModel::Handle(node->next);
    case TVGN_PREVIOUS: return TreeModel::Handle(node->prev);
    case TVGN_PARENT: return TreeModel::Handle(state.items.ParentOf(node));
    case TVGN_CHILD: return TreeModel::Handle(node->first);
    case TVGN_NEXTVISIBLE:
    case TVGN_PREVIOUSVISIBLE: {
        const int row = state.items.VisibleIndex(node);
        const int other = row + (code == TVGN_NEXTVISIBLE ? 1 : -1);
        if (row < 0 || other < 0 || other >= static_cast<int>(visible.size()))
            return nullptr;
        return TreeModel::Handle(visible[static_cast<size_t>(other)]);
    }
    default: (void)hwnd; return nullptr;
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

BOOL SelectItem(HWND hwnd, TreeState& state, UINT code, HTREEITEM item) {
    TreeNode* node = state.items.Find(item);
    if (item && !node)
        return FALSE;
    switch (code) {
    case TVGN_CARET: return TreeSelectCaret(hwnd, node, TVC_UNKNOWN);
    case TVGN_DROPHILITE:
        if (state.dropHilite)
            state.dropHilite->state &= ~TVIS_DROPHILITED;
        state.dropHilite = node;
        if (node)
            node->state |= TVIS_DROPHILITED;
        InvalidateRect(hwnd, nullptr, FALSE);
        return TRUE;
    case TVGN_FIRSTVISIBLE: {
        const int row = node ? state.items.VisibleIndex(node) : -1;
        if (row < 0)
            return FALSE;
        TreeScrollTo(hwnd, state, row);
        return TRUE;
    }
    default: return FALSE;
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
    TreeStructureChanged(hwnd, state);
    return TRUE;
}

} // namespace

LRESULT TreeItemMessage(HWND hwnd, TreeState& state, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case TVM_INSERTITEMA:
        return lParam ? reinterpret_cast<LRESULT>(
                            TreeModel::Handle(InsertItem(hwnd, state, *reinterpret_cast<TVINSERTSTRUCTA*>(lParam))))
                      : 0;
    case TVM_DELETEITEM: {
        auto item = reinterpret_cast<HTREEITEM>(lParam);
        if (!item || item == TVI_ROOT)
            return TreeDeleteItems(hwnd, nullptr, true);
        TreeNode* node = state.items.Find(item);
        return node && TreeDeleteItems(hwnd, node, true);
    }
    case TVM_EXPAND: {
        TreeNode* node = state.items.Find(reinterpret_cast<HTREEITEM>(lParam));
        if (!node)
            return FALSE;
        if ((wParam & TVE_COLLAPSERESET) && (wParam & TVE_COLLAPSE)) {
            std::vector<HTREEITEM> children;
            for (TreeNode* child = node->first; child; child = child->next)
                children.push_back(TreeModel::Handle(child));
            TreeExpand(hwnd, node, TVE_COLLAPSE | TVE_COLLAPSERESET, false);
            for (HTREEITEM child : children)
                if (TreeNode* gone = TreeRefind(hwnd, child))
                    TreeDeleteItems(hwnd, gone, true);
            return TRUE;
        }
        return TreeExpand(hwnd, node, static_cast<UINT>(wParam), false);
    }
    case TVM_GETITEMRECT: return ItemRect(hwnd, state, static_cast<BOOL>(wParam), reinterpret_cast<RECT*>(lParam));
    case TVM_GETCOUNT: return static_cast<LRESULT>(state.items.Count());
    case TVM_GETINDENT: return MeasureTree(hwnd, state).indent;
    case TVM_SETINDENT:
        state.indent = static_cast<int>(wParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return 0;
    case TVM_GETIMAGELIST:
        return reinterpret_cast<LRESULT>(wParam == TVSIL_STATE    ? state.stateImages
                                         : wParam == TVSIL_NORMAL ? state.normal
                                                                  : nullptr);
    case TVM_SETIMAGELIST: {
        if (wParam != TVSIL_NORMAL && wParam != TVSIL_STATE)
            return 0;
        HIMAGELIST& slot = wParam == TVSIL_STATE ? state.stateImages : state.normal;
        HIMAGELIST previous = slot;
        slot = reinterpret_cast<HIMAGELIST>(lParam);
        TreeStructureChanged(hwnd, state);
        return reinterpret_cast<LRESULT>(previous);
    }
    case TVM_GETNEXTITEM:
        return reinterpret_cast<LRESULT>(
            NextItem(hwnd, state, static_cast<UINT>(wParam), reinterpret_cast<HTREEITEM>(lParam)));
    case TVM_SELECTITEM: return SelectItem(hwnd, state, static_cast<UINT>(wParam), reinterpret_cast<HTREEITEM>(lParam));
    case TVM_GETITEMA: return GetItem(hwnd, state, reinterpret_cast<TVITEMA*>(lParam));
    case TVM_SETITEMA: return SetItem(hwnd, state, reinterpret_cast<const TVITEMA*>(lParam));
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
    case TVM_ENSUREVISIBLE: return TreeEnsureVisible(hwnd, reinterpret_cast<HTREEITEM>(lParam));
    case TVM_SETTOOLTIPS: {
        HWND previous = state.tooltip;
        if (state.ownsTooltip && previous)
            state.ownsTooltip = false; // the caller takes the tree's own tooltip over, as on the platform
        state.tooltip = reinterpret_cast<HWND>(wParam);
        return reinterpret_cast<LRESULT>(previous);
    }
    case TVM_GETTOOLTIPS: return reinterpret_cast<LRESULT>(state.tooltip);
    case TVM_SETITEMHEIGHT: {
        const int previous = MeasureTree(hwnd, state).itemHeight;
        state.customHeight = static_cast<int>(static_cast<short>(LOWORD(wParam)));
        TreeStructureChanged(hwnd, state);
        return previous;
    }
    case TVM_GETITEMHEIGHT: return MeasureTree(hwnd, state).itemHeight;
    case TVM_SETBKCOLOR:
    case TVM_SETTEXTCOLOR:
    case TVM_SETLINECOLOR: {
        COLORREF& slot = message == TVM_SETBKCOLOR     ? state.background
                         : message == TVM_SETTEXTCOLOR ? state.text
                                                       : state.lines;
        const COLORREF previous = slot;
        slot = static_cast<COLORREF>(lParam);
        InvalidateRect(hwnd, nullptr, FALSE);
        return static_cast<LRESULT>(static_cast<LONG>(previous));
    }
    case TVM_GETBKCOLOR: return static_cast<LRESULT>(static_cast<LONG>(state.background));
    case TVM_GETTEXTCOLOR: return static_cast<LRESULT>(static_cast<LONG>(state.text));
    case TVM_GETLINECOLOR: return static_cast<LRESULT>(static_cast<LONG>(state.lines));
    case TVM_EDITLABELA:
    case TVM_GETEDITCONTROL:
    case TVM_ENDEDITLABELNOW: return 0;
    default: return DefWindowProcA(hwnd, message, wParam, lParam);
    }
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
