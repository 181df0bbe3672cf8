// CGkPropertyGrid: a window listing named values grouped in categories, with a help area that describes the
// selected item and a vertical scroll bar. The item tree works before (and without) the window: a program can
// build, fill, search and dump it in memory. The grid owns every item in it and frees them with itself.
//
// Layout of the window (client coordinates; R is the row height, the bar font's height plus 4):
// - rows from the top, R pixels each, the first one shown being the top index; below them, when the help
//   height is not 0, a 3-pixel splitter and the help area of that height at the bottom;
// - a row of level L has a gutter of (L + 1) * 14 pixels in the category colour, the expand glyph (a 9 x 9 box
//   with a minus or plus) centred in the gutter's last 14 pixels; a category row is one cell over the rest;
//   an item's caption cell runs to the split (at 45% of the width) and its value cell from there;
// - in-place buttons sit at the value cell's right edge, right to left in reverse order of addition (so the
//   first added is leftmost), each R - 2 high and its caption's width plus 10 (at least 16) wide.
// Pressing an in-place button sends the owner GKWM_PROPERTYGRID_NOTIFY with GK_PGN_INPLACEBUTTONDOWN in
// WPARAM and the button in LPARAM.
#pragma once

#include <memory>
#include <vector>

#include "afxwin.h"

#include "GkPropertyGridItem.h"
#include "GkPropertyGridItems.h"
#include "GkPropertyGridPaintManager.h"

#define GKWM_PROPERTYGRID_NOTIFY 0x2ADF
#define GK_PGN_INPLACEBUTTONDOWN 5

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

// Where a point of the grid's window lies.
enum GkPropertyGridHit { gkHitNowhere, gkHitGlyph, gkHitCaption, gkHitValue, gkHitButton, gkHitHelp };

class CGkPropertyGrid : public CWnd {
public:
    CGkPropertyGrid();
    ~CGkPropertyGrid() override;
    CGkPropertyGrid(const CGkPropertyGrid&) = delete;
    CGkPropertyGrid& operator=(const CGkPropertyGrid&) = delete;

    // The window (a vertical scroll bar is always added); FALSE when it cannot be made.
    using CWnd::Create;
    BOOL Create(const RECT& rect, CWnd* pParentWnd, UINT nID, DWORD dwStyle = WS_CHILD | WS_VISIBLE | WS_TABSTOP);

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
    // GetCategories()->FindItem; a program that names its categories in their order finds each without a
    // search.
    CGkPropertyGridItem* FindCategory(LPCTSTR lpszCaption) const;
    // The same for a caption of nLength characters.
    CGkPropertyGridItem* FindCategory(LPCTSTR lpchCaption, int nLength) const;
    // Removes and frees every item.
    void ResetContent();

    // Spare items: rows a program takes out of the grid to put back later rather than free them and make new
    // ones. No look-up, dump or view sees them; the grid frees them with itself.
    // Takes pItem out of the grid with every item below it, each kept spare with no children; nothing happens
    // when pItem is not an item of this grid.
    void KeepSpareItem(CGkPropertyGridItem* pItem);
    // A spare item of the kind (a category or an item), childless and in no grid, which the caller adds where
    // it wants it (the grid owning it again from then on); null when none is kept. It keeps what it was given
    // before (caption, value, buttons, state): the caller sets what it needs.
    CGkPropertyGridItem* TakeSpareItem(BOOL bCategory);
    int GetSpareItemCount() const { return static_cast<int>(m_spareItems.size() + m_spareCategories.size()); }

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

    // Presses an in-place button as a click would: the owner is told once. FALSE, and nothing sent, when the
    // button's item is not shown (it or an ancestor hidden, an ancestor collapsed), or there is no window.
    BOOL PressInplaceButton(CGkPropertyGridInplaceButton* pButton);

    // Geometry of the window (see the layout above).
    int GetRowHeight() const { return m_nRowHeight; }
    int GetTopIndex() const { return m_nTopIndex; }
    void SetTopIndex(int nTopIndex);
    // The rectangle of shown row nRow (an index into GetShownRows); empty when it is not on the page.
    CRect GetRowRect(int nRow) const;
    // The row of an item; -1 when it is not shown.
    int FindRow(const CGkPropertyGridItem* pItem) const;
    CRect GetHelpRect() const;
    int GetSplitterPos() const;
    // The rectangle of an in-place button; empty when it is not drawn (its row off the page, or its buttons
    // not shown on that row).
    CRect GetInplaceButtonRect(const CGkPropertyGridInplaceButton* pButton) const;
    // What lies at a client point: the part, and the row's item and the button where there is one.
    GkPropertyGridHit HitTest(CPoint point, CGkPropertyGridItem** ppItem = nullptr,
                              CGkPropertyGridInplaceButton** ppButton = nullptr) const;

protected:
    // Hooks the items call; the window repaints on them.
    virtual void OnItemChanged(CGkPropertyGridItem* pItem);
    virtual void OnLayoutChanged();
    virtual void OnSelectionChanged();

    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnDestroy();
    void OnPaint();
    BOOL OnEraseBkgnd(CDC* pDC);
    void OnSize(UINT nType, int cx, int cy);
    void OnLButtonDown(UINT nFlags, CPoint point);
    void OnLButtonDblClk(UINT nFlags, CPoint point);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt);

    DECLARE_MESSAGE_MAP()

private:
    friend class CGkPropertyGridItem;
    friend class CGkPropertyGridItems;

    // Painting (GkPropertyGridPaint.cpp).
    void DrawRows(CDC* pDC, const CRect& rcRows, const std::vector<GkPropertyGridRow>& rows);
    void DrawRow(CDC* pDC, const GkPropertyGridRow& row, const CRect& rcRow);
    void DrawInplaceButtons(CDC* pDC, const CGkPropertyGridItem* pItem, const CRect& rcRow);
    void DrawHelp(CDC* pDC, const CRect& rcHelp);

    int GetPageRows() const;
    CRect GetRowsRect() const;
    BOOL AreButtonsShown(const CGkPropertyGridItem* pItem) const;
    // The buttons' rectangles on a row, in the order of the item's buttons.
    std::vector<CRect> GetButtonRects(const CGkPropertyGridItem* pItem, const CRect& rcRow) const;
    void UpdateScrollBar();
    void EnsureVisible(int nRow);
    void SelectRow(int nRow);
    void ToggleExpanded(CGkPropertyGridItem* pItem);

    void OnItemAdded(CGkPropertyGridItem* pItem);
    void OnItemRemoving(CGkPropertyGridItem* pItem);
    void OnItemShownChanged(CGkPropertyGridItem* pItem);

    std::unique_ptr<CGkPropertyGridPaintManager> m_pPaintManager;
    CGkPropertyGridItems* m_pCategories;
    // The count of top-level changes (a category added, removed or renamed). At the count FindCategory last
    // saw: the categories' captions in their order, whether they were all different, and the index its next
    // guess tries.
    unsigned m_nCategoriesVersion = 1;
    struct CategoryCaption {
        CGkPropertyGridItem* pCategory;
        LPCTSTR pchText;
        int nLength;
    };
    mutable std::vector<CategoryCaption> m_categoryCaptions;
    mutable unsigned m_nCaptionsVersion = 0;
    mutable bool m_bDistinctCaptions = false;
    mutable int m_nNextCategory = 0;
    // Takes the categories' captions again, after a change of the top level.
    void KeepCategoryCaptions() const;
    std::vector<std::unique_ptr<CGkPropertyGridItem>> m_spareItems;
    std::vector<std::unique_ptr<CGkPropertyGridItem>> m_spareCategories;
    CGkPropertyGridItem* m_pSelected = nullptr;
    GkPropertyGridSortOrder m_sort = gkGridSortCategorized;
    BOOL m_bShowInplaceButtonsAlways = FALSE;
    BOOL m_bHighlightChangedItems = FALSE;
    int m_nHelpHeight = 58;

    int m_nRowHeight = 18;
    int m_nTopIndex = 0;
    CFont m_fontBold;
};
