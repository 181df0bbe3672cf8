// COXGridList: an owner-drawn report-view list with optional dotted grid lines, check boxes in the items'
// state images (two or three states), sorting by a clicked column with an arrow in the header, and a context
// menu the parent may veto. A user's check toggle is an item state change of the list, so the parent's
// LVN_ITEMCHANGING can refuse it. Item data stay the caller's own 64-bit values: sorting goes by item index,
// so no item needs a distinct lParam.
#pragma once

#include <vector>

#include "afxwin.h"

#include "OXGridEdit.h"
#include "OXGridHeader.h"

// Sent to the parent (WM_NOTIFY) before the context menu shows; a non-zero reply suppresses the menu.
#define OXGRID_CONTEXTMENU 0x8089

struct NMGRIDMENU {
    NMHDR hdr;
    HMENU hMenu;
    POINT point; // screen co-ordinates
};
static_assert(sizeof(NMGRIDMENU) == 40 && offsetof(NMGRIDMENU, hMenu) == 24 && offsetof(NMGRIDMENU, point) == 32);

// The check images: three 13 x 11 images (unchecked, checked, indeterminate) on the mask colour 0xFF00FF.
#define IDB_OXGRID_CHECKS 26400

class COXGridList : public CListCtrl {
    DECLARE_DYNAMIC(COXGridList)
public:
    COXGridList();
    ~COXGridList() override;

    // Report view, owner-drawn, whatever else is asked.
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);

    // Virtual operations, in this order.
    void DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct) override;
    virtual BOOL InitGrid();
    virtual BOOL SortColumn(int nColumn);
    virtual int GetColumnCount() const;
    virtual void ResizeColumnsToFit();
    virtual void SetGridLines(BOOL bOn, COLORREF color = RGB(192, 192, 192), BOOL bRedraw = TRUE);
    virtual void GetGridLines(BOOL& bOn, COLORREF& color) const;
    virtual void SetGridLineOrientation(BOOL bHorizontal, BOOL bVertical);
    virtual void SetTextFont(CFont* pFont = nullptr, BOOL bRedraw = TRUE);
    virtual void SetShowSelAlways(BOOL bOn);
    virtual void SetMultipleSelection(BOOL bOn);
    virtual void SetEditable(BOOL bEditable = TRUE, int nColumn = -1);
    virtual BOOL SetCheckable(BOOL bOn = TRUE);
    virtual BOOL GetCheckable() const { return m_bCheckable; }
    virtual BOOL ToggleCheck(int nItem);
    virtual BOOL SetCheck(int nItem, int nState);
    virtual void SetTypeToEdit(BOOL bOn) { m_bTypeToEdit = bOn; }
    virtual BOOL IsLastItemVisible() const;
    virtual void OnLastItemVisible() {}
    virtual COXGridEdit* GetGridEdit() { return &m_gridEdit; }
    virtual BOOL CreateCheckImageList();
    virtual void DrawGridLines(CDC* pDC, const CRect& itemRect);
    virtual void DrawItemColumns(CDC* pDC, LPDRAWITEMSTRUCT lpDrawItemStruct, COLORREF text, COLORREF back);
    virtual void DrawCellText(CDC* pDC, const CString& text, CRect rect, int nFormat);
    // The item's small image (LVSIL_SMALL, its iImage) at the cell's left, vertically centred on the row's
    // background; returns where the cell's text starts. Nothing without a small image list.
    int DrawSmallImage(CDC* pDC, int nItem, const CRect& cell, COLORREF back);
    virtual int GetItemDataMode() const { return m_nItemDataMode; }
    virtual void SetItemDataMode(int nMode) { m_nItemDataMode = nMode; }

    // Check state: -1 no check box, 0 unchecked, 1 checked, 2 indeterminate; -1 while check boxes are off.
    int GetCheck(int nItem) const;
    // BS_CHECKBOX (2), BS_AUTOCHECKBOX (3), BS_3STATE (5), BS_AUTO3STATE (6).
    void SetCheckStyle(int nStyle) { m_nCheckStyle = nStyle; }
    int GetCheckStyle() const { return m_nCheckStyle; }
    void SetSortable(BOOL bOn);
    BOOL GetSortable() const { return m_bSortable; }
    BOOL IsSortAscending() const { return m_bSortAscending; }
    int GetSortColumn() const { return m_nSortColumn; }
    BOOL IsColumnEditable(int nColumn) const;
    // Scrolls the item into view, then sideways until the cell is in the client area.
    BOOL EnsureCellVisible(int nItem, int nColumn, BOOL bPartialOK = FALSE);
    void SetContextMenu(HMENU hMenu) { m_hContextMenu = hMenu; }
    COXGridHeader* GetGridHeader() { return &m_header; }

protected:
    void PreSubclassWindow() override;
    // Protected and virtual so that a derived list can run its own first.
    virtual int OnCreate(LPCREATESTRUCT lpCreateStruct);
    virtual void OnLButtonDown(UINT nFlags, CPoint point);
    virtual void OnLButtonDblClk(UINT nFlags, CPoint point);
    virtual void OnSize(UINT nType, int cx, int cy);
    void OnKeyDown(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnChar(UINT nChar, UINT nRepCnt, UINT nFlags);
    void OnVScroll(UINT nSBCode, UINT nPos, CScrollBar* pScrollBar);
    BOOL OnMouseWheel(UINT nFlags, short zDelta, CPoint pt);
    void OnSetFocus(CWnd* pOldWnd);
    void OnKillFocus(CWnd* pNewWnd);
    void OnDestroy();
    void OnContextMenu(CWnd* pWnd, CPoint pos);
    BOOL OnEraseBkgnd(CDC* pDC);
    BOOL OnColumnClick(NMHDR* pNMHDR, LRESULT* pResult);
    LRESULT OnInsertItem(WPARAM wParam, LPARAM lParam);
    LRESULT OnInsertColumn(WPARAM wParam, LPARAM lParam);
    LRESULT OnDeleteItem(WPARAM wParam, LPARAM lParam);
    LRESULT OnDeleteColumn(WPARAM wParam, LPARAM lParam);
    LRESULT OnEditLabel(WPARAM wParam, LPARAM lParam);
    BOOL OnBeginLabelEdit(NMHDR* pNMHDR, LRESULT* pResult);
    BOOL OnEndLabelEdit(NMHDR* pNMHDR, LRESULT* pResult);
    DECLARE_MESSAGE_MAP()

private:
    void SubclassHeader();
    // Calls the hook when the last item has just come into view (it was not in view before).
    void NoticeLastItem(BOOL bWasVisible);
    // The focused item, and the selection unless it is always shown, look different with and without focus.
    void RedrawFocusedItems();
    // The editor over the cell: at its top-left (never left of the client area), its height, within the client.
    void PlaceEditor(int nItem, int nColumn);
    // The editable column after (nStep 1) or before (-1) nColumn, wrapping; -1 when none is editable.
    int NextEditableColumn(int nColumn, int nStep) const;
    static int CALLBACK CompareItems(LPARAM lParam1, LPARAM lParam2, LPARAM lParamSort);

    BOOL m_bInitialised = FALSE;
    BOOL m_bSortable = FALSE;
    BOOL m_bCheckable = FALSE;
    int m_nCheckStyle = 3;
    BOOL m_bTypeToEdit = FALSE;
    BOOL m_bHighlight = TRUE;
    int m_nItemDataMode = 1;
    int m_nImageColumn = 0;
    CPen m_gridPen;
    COLORREF m_gridColor = RGB(192, 192, 192);
    BOOL m_bGridLines = FALSE;
    BOOL m_bHorizontalLines = TRUE;
    BOOL m_bVerticalLines = TRUE;
    CFont m_textFont;
    CImageList m_checkImages;
    COXGridEdit m_gridEdit;
    std::vector<WORD> m_editable;
    COXGridHeader m_header;
    BOOL m_bSortAscending = TRUE;
    int m_nSortColumn = -1;
    HMENU m_hContextMenu = nullptr;
};
