// The list view's model, shared by its message handling (WinListView.cpp), its geometry and scrolling
// (WinListViewLayout.cpp) and its painting (WinListViewPaint.cpp). Touched only on the window's thread.
#pragma once

#include <string>
#include <vector>

#include "WinListView.h"

namespace win32::internal {

struct ListCell {
    std::string text;
    bool callback = false; // LPSTR_TEXTCALLBACK: the parent gives the text when it is needed
};

struct ListItem {
    std::vector<ListCell> cells; // one per column index; column 0 is the item's label
    int image = 0;
    UINT state = 0; // LVIS_* bits, the state image in 0xF000 included
    LPARAM lParam = 0;
};

struct ListColumn {
    int fmt = LVCFMT_LEFT;
    int subItem = 0; // kept as given, whatever the display order
};

// The length of the buffer an owner-data or callback cell's text is asked into.
constexpr int kDispInfoBufferLength = 260;

struct ListViewState {
    HWND header = nullptr;
    std::vector<ListColumn> columns;
    std::vector<ListItem> items;     // a list with items
    int ownerCount = 0;              // an owner-data list: its rows,
    std::vector<bool> ownerSelected; // which are selected,
    int ownerSelectedCount = 0;      // and how many: a list of a million rows counts none of them again
    int focus = -1;
    int mark = -1; // the selection mark: where a Shift+click range starts
    int top = 0;   // the first row shown
    int scrollX = 0;
    HFONT font = nullptr;
    int rowHeight = 0;
    int headerHeight = 0;
    HIMAGELIST normalImages = nullptr;
    HIMAGELIST smallImages = nullptr;
    HIMAGELIST stateImages = nullptr;
    COLORREF background = 0;
    COLORREF text = 0;
    COLORREF textBackground = CLR_NONE; // none: the background
    DWORD exStyle = 0;
    bool redraw = true;
    bool updatingBars = false;
    bool hasFocus = false;
    HWND edit = nullptr; // the label being edited
    int editItem = -1;
    int editColumn = 0;
};

ListViewState* ListViewStateOf(HWND hwnd);
bool IsOwnerData(HWND hwnd);
int ItemCount(HWND hwnd, const ListViewState& state);

// ---- geometry (WinListViewLayout.cpp)

// Row height and header height from the font and the small image list; places the header and updates the
// scroll bars.
void LayoutListView(HWND hwnd, ListViewState& state);
void PlaceHeader(HWND hwnd, ListViewState& state);
int CountPerPage(HWND hwnd, const ListViewState& state);
int TotalColumnWidth(const ListViewState& state);
// The column's cell in client coordinates for a row (left and right from the header, moved by the scroll).
RECT CellRect(HWND hwnd, const ListViewState& state, int row, int column);
RECT RowBounds(HWND hwnd, const ListViewState& state, int row);
// The parts of the first column: state image, small image, label.
RECT StateIconRect(HWND hwnd, const ListViewState& state, int row);
RECT IconRect(HWND hwnd, const ListViewState& state, int row);
RECT LabelRect(HWND hwnd, const ListViewState& state, int row);
BOOL ItemRectFor(HWND hwnd, const ListViewState& state, int row, int code, RECT* rect);
BOOL SubItemRectFor(HWND hwnd, const ListViewState& state, int row, int column, int code, RECT* rect);
// Fills flags, iItem and iSubItem; returns the row or -1.
int HitTestList(HWND hwnd, const ListViewState& state, LVHITTESTINFO& info, bool subItems);
// Scrolling: the top row is kept within the rows; the scroll bars follow.
void SetTopRow(HWND hwnd, ListViewState& state, int top);
void SetScrollX(HWND hwnd, ListViewState& state, int x);
void UpdateScrollBars(HWND hwnd, ListViewState& state);
BOOL EnsureRowVisible(HWND hwnd, ListViewState& state, int row, bool partialOk);
void InvalidateRow(HWND hwnd, const ListViewState& state, int row);
// The column indexes in display order.
std::vector<int> ColumnOrder(const ListViewState& state);

// ---- painting (WinListViewPaint.cpp)

void PaintListView(HWND hwnd, HDC dc, ListViewState& state);
// The text of a cell: its own, or the parent's answer to LVN_GETDISPINFOA in `buffer`.
const char* CellText(HWND hwnd, const ListViewState& state, int row, int column, char* buffer, int length);
UINT ItemState(const ListViewState& state, int row, UINT mask);

// ---- label editing (WinListViewEdit.cpp)

// The edit control over the cell, or null when the parent refused or the cell does not exist.
HWND BeginLabelEdit(HWND hwnd, ListViewState& state, int row, int column);
// Ends an edit in progress: its text goes to the parent (none when cancelled).
void EndLabelEdit(HWND hwnd, ListViewState& state, bool cancel);

} // namespace win32::internal
