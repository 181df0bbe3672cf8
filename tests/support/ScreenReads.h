// What a user sees of the program's windows, read back as text: the record list's rows, a property grid's
// view, the data bar, the status bar's panes, and the boxes, dialogs and menus the modal
// service was asked for. Seeded workloads on the virtual clock make these golden texts.
#pragma once

#include <string>
#include <vector>

#include "WinUiControl.h"
#include "afxwin.h"

class CDataBar;
class CGkPropertyGrid;
class CGkStatusBar;
class CLogListView;
class CTreeCtrl;

namespace tdl::test {

// A row of the record list: the texts of its visible columns in their order, and its colours.
struct ShownRow {
    std::vector<std::string> cells;
    COLORREF text = 0;
    COLORREF background = 0;
};
// The rows from `first` (count -1: to the end of the list).
std::vector<ShownRow> RecordListRows(CLogListView& view, int first = 0, int count = -1);
// The visible columns' titles.
std::vector<std::string> RecordListColumns(CLogListView& view);

// A property grid's view as its dump gives it, one line per row.
std::string GridView(const CGkPropertyGrid& grid);

// The data bar's title line and the bytes it shows.
struct ShownData {
    std::string title;
    std::vector<BYTE> bytes;
};
ShownData DataBarShown(const CDataBar& bar);

// The texts of a tree's items from the top item's child down to the item (the top item, the machine, left out).
std::vector<std::string> TreePath(const CTreeCtrl& tree, HTREEITEM hItem);
// A tree item's state image: 1 unchecked, 2 checked, 3 no check box.
int TreeCheckState(const CTreeCtrl& tree, HTREEITEM hItem);

// The status bar's panes as its dump gives them.
std::string StatusPanes(const CGkStatusBar& bar);

// The modal requests made so far, "Kind: text" each (a dialog's text is its template's name, a menu's its items).
std::vector<std::string> ModalLog();

} // namespace tdl::test
