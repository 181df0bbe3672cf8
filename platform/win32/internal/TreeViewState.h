// What a tree view window keeps besides its items, and the layout both its painting and its hit tests follow
// (the rule is in WinTreeView.h).
#pragma once

#include <string>

#include "TreeViewModel.h"
#include "WinGdi.h"

namespace win32::internal {

struct TreeState {
    TreeState() = default;
    ~TreeState() {
        if (boldFont)
            DeleteObject(boldFont);
    }
    TreeState(const TreeState&) = delete;
    TreeState& operator=(const TreeState&) = delete;

    TreeModel items;
    HIMAGELIST normal = nullptr;
    HIMAGELIST stateImages = nullptr;
    HFONT font = nullptr;           // null: DEFAULT_GUI_FONT
    HFONT boldFont = nullptr;       // made from the font for TVIS_BOLD items
    COLORREF background = CLR_NONE; // CLR_NONE: the system's window colour
    COLORREF text = CLR_NONE;
    COLORREF lines = CLR_DEFAULT;
    int indent = 0;        // 0: the default
    int customHeight = -1; // TVM_SETITEMHEIGHT, -1: from the metrics
    int top = 0;           // the row shown first
    TreeNode* caret = nullptr;
    TreeNode* dropHilite = nullptr;
    bool focused = false;
    HWND tooltip = nullptr;
    bool ownsTooltip = false;
    TreeNode* tipItem = nullptr; // the item under the mouse the tip is for
    bool settingScroll = false;
    // WM_SETREDRAW FALSE: the scroll bar (which needs every visible row) waits until redraw is back on, so that a
    // fill of many items does not lay the rows out once per item.
    bool redraw = true;
};

// Where the parts of one visible item lie, in client coordinates.
struct TreeItemGeometry {
    RECT row{};    // the whole row
    int lineX = 0; // the left edge of the item's own indent column
    int itemX = 0; // where the state image (or the image, or the label) starts
    RECT stateIcon{};
    RECT icon{};
    RECT label{};
    bool button = false; // an expand button in the indent column
};

struct TreeMetrics {
    int itemHeight = 0;
    int indent = 0;
    int imageWidth = 0, imageHeight = 0; // 0 without a normal image list
    int stateWidth = 0, stateHeight = 0; // 0 without a state image list
    int textHeight = 0;
};

TreeState* TreeStateOf(HWND hwnd);
// The item of a handle, or null once the window or the item is gone.
TreeNode* TreeRefind(HWND hwnd, HTREEITEM item);
// The TVM_* messages.
LRESULT TreeItemMessage(HWND hwnd, TreeState& state, UINT message, WPARAM wParam, LPARAM lParam);

// Changes (WinTreeViewChanges.cpp), each with its notifications.
int TreePageRows(HWND hwnd, TreeState& state);
// Keeps the first row in range and the scroll bar in step with the rows.
void TreeUpdateScroll(HWND hwnd, TreeState& state);
void TreeScrollTo(HWND hwnd, TreeState& state, int top);
void TreeStructureChanged(HWND hwnd, TreeState& state);
// A user's change (notify) can be vetoed by TVN_ITEMEXPANDING; true when it happened.
bool TreeExpand(HWND hwnd, TreeNode* node, UINT code, bool notify);
bool TreeSelectCaret(HWND hwnd, TreeNode* node, UINT action);
// An item and its subtree (null: every item); false for an item already being deleted.
bool TreeDeleteItems(HWND hwnd, TreeNode* node, bool moveCaret);
BOOL TreeEnsureVisible(HWND hwnd, HTREEITEM item);

TreeMetrics MeasureTree(HWND hwnd, TreeState& state);
// The font an item's text is drawn (and measured) with.
HFONT TreeItemFont(TreeState& state, const TreeNode* node);
// The item's text, asked for with TVN_GETDISPINFO when it is a callback.
std::string TreeItemText(HWND hwnd, TreeNode* node);
bool TreeItemHasChildren(HWND hwnd, TreeNode* node);
// Geometry of a visible item; false when it is not visible (an ancestor collapsed).
bool TreeItemLayout(HWND hwnd, TreeState& state, const TreeMetrics& metrics, TreeNode* node, TreeItemGeometry* out);
// TVHT_* flags and the item at a client point.
TreeNode* TreeHitTest(HWND hwnd, TreeState& state, POINT point, UINT* flags);
void PaintTree(HWND hwnd, TreeState& state, HDC dc);

} // namespace win32::internal
