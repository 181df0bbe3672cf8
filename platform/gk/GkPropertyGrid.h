// CGkPropertyGrid: a list of named values grouped in categories, with a help area that describes the selected
// item. The item tree works before (and without) the grid's window: a program can build, fill, search and
// dump it in memory. The grid owns every item in it and frees them with itself.
#pragma once

#include <memory>
#include <vector>

#include "afx.h"

#include "GkPropertyGridItem.h"
#include "GkPropertyGridItems.h"
#include "GkPropertyGridPaintManager.h"

enum GkPropertyGridSortOrder {
    gkGridSortCategorized = 0, // categories in the order they were added, each with its items
    gkGridSortAlphabetical = 1 // the items of every category in one list, by caption
};

// Markers of the model dump: a caller leaves out what its expected text need not show.
enum GkPropertyGridDumpMarkers : DWORD {
    gkDumpCategory = 0x0001,
    gkDumpID = 0x0002,
    gkDumpDescription = 0x0004,
    gkDumpHidden = 0x0008,
    gkDumpReadOnly = 0x0010,
    gkDumpExpanded = 0x0020,
    gkDumpColors = 0x0040,
    gkDumpFlags = 0x0080,
    gkDumpButtons = 0x0100,
    gkDumpAll = 0x01FF
};

// One row of the grid as shown: an item and its indent.
struct GkPropertyGridRow {
    CGkPropertyGridItem* pItem;
    int nLevel;
};

class CGkPropertyGrid {
public:
    CGkPropertyGrid();
    virtual ~CGkPropertyGrid();
    CGkPropertyGrid(const CGkPropertyGrid&) = delete;
    CGkPropertyGrid& operator=(const CGkPropertyGrid&) = delete;

    // Look.
    void SetTheme(int nTheme);
    int GetCurrentTheme() const { return m_pPaintManager->GetTheme(); }
    const CGkPropertyGridPaintManager* GetPaintManager() const { return m_pPaintManager.get(); }
    void SetShowInplaceButtonsAlways(BOOL bShow);
    BOOL GetShowInplaceButtonsAlways() const { return m_bShowInplaceButtonsAlways; }
    void SetHelpHeight(int nHeight);
    int GetHelpHeight() const { return m_nHelpHeight; }
    // Values that differ from the ones their items were made with are drawn in bold.
    void HighlightChangedItems(BOOL bHighlight);
    BOOL IsHighlightChangedItems() const { return m_bHighlightChangedItems; }
    // Only the view changes; the items keep their order.
    void SetPropertySort(GkPropertyGridSortOrder sort);
    GkPropertyGridSortOrder GetPropertySort() const { return m_sort; }

    // Items.
    // Appends a category with this caption to the top level; the grid owns it.
    CGkPropertyGridItem* AddCategory(LPCTSTR lpszCaption);
    // Appends pCategory (any item) to the top level and takes ownership of it; null as AddChildItem.
    CGkPropertyGridItem* AddCategory(CGkPropertyGridItem* pCategory);
    CGkPropertyGridItems* GetCategories() const { return m_pCategories; }
    // Removes and frees every item.
    void ResetContent();

    // Selection: at most one item, always a shown one.
    CGkPropertyGridItem* GetSelectedItem() const { return m_pSelected; }
    // FALSE, and the selection unchanged, when pItem is not a shown item of this grid; null clears it.
    BOOL SetSelectedItem(CGkPropertyGridItem* pItem);

    // Whether pItem is a row of the current view.
    BOOL IsItemShown(const CGkPropertyGridItem* pItem) const;
    // Categories, and items with a child that is not hidden, carry the expand glyph.
    static BOOL HasExpandGlyph(const CGkPropertyGridItem* pItem);
    // The rows a user sees, top to bottom, in the current sort order.
    std::vector<GkPropertyGridRow> GetShownRows() const;

    // Text dumps for comparing against expected text; one line per item, two blanks of indent per level.
    // The model: every item in tree order, "caption = value" and the markers of dwMarkers that are set.
    CString DumpModel(DWORD dwMarkers = gkDumpAll) const;
    // The view: what a user sees in the current sort order.
    CString DumpView() const;
    // The model dump of some items (a category's children, say).
    static CString DumpItems(const CGkPropertyGridItems* pItems, DWORD dwMarkers = gkDumpAll, int nLevel = 0);

protected:
    // Hooks the items call; the window repaints on them.
    virtual void OnItemChanged(CGkPropertyGridItem* pItem);
    virtual void OnLayoutChanged();
    virtual void OnSelectionChanged();

private:
    friend class CGkPropertyGridItem;
    friend class CGkPropertyGridItems;

    void OnItemAdded(CGkPropertyGridItem* pItem);
    void OnItemRemoving(CGkPropertyGridItem* pItem);
    void OnItemShownChanged(CGkPropertyGridItem* pItem);

    std::unique_ptr<CGkPropertyGridPaintManager> m_pPaintManager;
    CGkPropertyGridItems* m_pCategories;
    CGkPropertyGridItem* m_pSelected = nullptr;
    GkPropertyGridSortOrder m_sort = gkGridSortCategorized;
    BOOL m_bShowInplaceButtonsAlways = FALSE;
    BOOL m_bHighlightChangedItems = FALSE;
    int m_nHelpHeight = 58;
};
