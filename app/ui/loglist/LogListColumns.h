// CLogListColumns: the columns the record list has, in list order (index 0 is the leftmost by creation), and
// the fixed table of every column it can show. It builds the "Add column" menu and keeps the layout in the
// profile section "LogColumns": "Header%d_Show" (1 shown), "Header%d_Order" (display position, -1 when not
// shown) and "Header%d_Width" (pixels, 0 when not shown) for each column id.
//
// A column's id is its row in the table, and the text the list asks for a cell follows the id of the cell's
// column. The Type column is always there; the inactive Target and Data columns never are.
#pragma once

#include "afxtempl.h"
#include "afxwin.h"

class CLogListView;

// Column ids, in table order.
enum : ULONG {
    LVCOL_RECORD_CATEGORY = 0,
    LVCOL_SEQUENCE_NUMBER = 1,
    LVCOL_REQUEST_TYPE = 2,
    LVCOL_DATA_DIRECTION = 3,
    LVCOL_ELAPSED_TIME = 4,
    LVCOL_TARGET_DEVICEOBJECT = 5,
    LVCOL_TARGET_USB_DEVICE = 6,
    LVCOL_TARGET_CFG_IFC_EPA = 7,
    LVCOL_ISOPACKET_ERRORS = 8,
    LVCOL_STORBOT_CBW = 9,
    LVCOL_STORBOT_CSW = 10,
    LVCOL_DATA_FIRST_BYTES = 11,
    LVCOL_IRP_ADDRESS = 12,
    LVCOL_IRP_STATUS = 13,
};

// What the set keeps of a column beside its list-view description.
struct COLUMN_PROP {
    ULONG nColumnId;
    BOOL bWidthBySample; // measured by its sample text, else by its heading
    LPCTSTR lpszSample;
    ULONG nSavedWidth; // 0: none saved
};

class CLogListColumns {
public:
    static constexpr ULONG ColumnIdCount = 14;
    // Pixels a column's measured text gets on top of its width.
    static constexpr int TextMargin = 5;

    CLogListColumns() = default;
    ~CLogListColumns() = default;
    CLogListColumns(const CLogListColumns&) = delete;
    CLogListColumns& operator=(const CLogListColumns&) = delete;

    // The list whose control the columns go into.
    void SetView(CLogListView* pView) { m_pView = pView; }

    // Appends a column; its index, or -1 when memory ran out (the user is told; the set is as it was).
    int AddColumn(LPCTSTR lpszHeading, ULONG nColumnId, int nFormat, BOOL bWidthBySample, LPCTSTR lpszSample,
                  ULONG nSavedWidth);
    // The column of the table's row, with a saved width.
    int AddTypeColumn(ULONG nSavedWidth) { return AddTableColumn(LVCOL_RECORD_CATEGORY, nSavedWidth); }
    int AddSequenceColumn(ULONG nSavedWidth) { return AddTableColumn(LVCOL_SEQUENCE_NUMBER, nSavedWidth); }
    int AddRequestTypeColumn(ULONG nSavedWidth) { return AddTableColumn(LVCOL_REQUEST_TYPE, nSavedWidth); }
    int AddDataDirColumn(ULONG nSavedWidth) { return AddTableColumn(LVCOL_DATA_DIRECTION, nSavedWidth); }
    int AddElapsedTimeColumn(ULONG nSavedWidth) { return AddTableColumn(LVCOL_ELAPSED_TIME, nSavedWidth); }
    int AddTargetDOColumn(ULONG nSavedWidth) { return AddTableColumn(LVCOL_TARGET_DEVICEOBJECT, nSavedWidth); }
    int AddTargetDeviceColumn(ULONG nSavedWidth) { return AddTableColumn(LVCOL_TARGET_USB_DEVICE, nSavedWidth); }
    int AddConfigInterfaceEndptColumn(ULONG nSavedWidth) {
        return AddTableColumn(LVCOL_TARGET_CFG_IFC_EPA, nSavedWidth);
    }
    int AddIsoPacketErrorsColumn(ULONG nSavedWidth) { return AddTableColumn(LVCOL_ISOPACKET_ERRORS, nSavedWidth); }
    int AddStorageBotCBWColumn(ULONG nSavedWidth) { return AddTableColumn(LVCOL_STORBOT_CBW, nSavedWidth); }
    int AddStorageBotCSWColumn(ULONG nSavedWidth) { return AddTableColumn(LVCOL_STORBOT_CSW, nSavedWidth); }
    int AddDataFirstBytesColumn(ULONG nSavedWidth) { return AddTableColumn(LVCOL_DATA_FIRST_BYTES, nSavedWidth); }
    int AddIrpRequestColumn(ULONG nSavedWidth) { return AddTableColumn(LVCOL_IRP_ADDRESS, nSavedWidth); }
    int AddIrpStatusColumn(ULONG nSavedWidth) { return AddTableColumn(LVCOL_IRP_STATUS, nSavedWidth); }
    // The id's column with no saved width; -1 for an id past the table.
    int AddColumnById(ULONG nColumnId);

    // The stored description of column nIndex put into the list control at that index; the column out of the
    // control; the column out of the set.
    int InsertColumn(int nIndex);
    BOOL DeleteColumn(int nIndex);
    void RemoveColumn(int nIndex);
    // Every column into the list control, each 20 pixels wide (the header sets the widths after).
    void InsertAllColumns();

    int GetCount() const { return static_cast<int>(m_Columns.GetSize()); }
    // The index of the column with that id, or -1.
    int FindColumn(ULONG nColumnId) const;
    ULONG GetColumnId(int nIndex) const { return m_Props[nIndex].nColumnId; }
    LPCTSTR GetHeading(int nIndex) const { return m_Columns[nIndex].pszText; }
    int GetWidth(int nIndex) const { return m_Columns[nIndex].cx; }
    ULONG GetSavedWidth(int nIndex) const { return m_Props[nIndex].nSavedWidth; }
    LPCTSTR GetSampleText(int nIndex) const { return m_Props[nIndex].lpszSample; }
    BOOL IsWidthBySample(int nIndex) const { return m_Props[nIndex].bWidthBySample; }
    void SetColumnMask(int nIndex, UINT nMask) { m_Columns[nIndex].mask = nMask; }
    void SetColumnWidth(int nIndex, int nWidth) { m_Columns[nIndex].cx = nWidth; }

    // The fixed table, by id (FALSE / null past it).
    static BOOL IsInactive(ULONG nColumnId);
    static BOOL IsRemovable(ULONG nColumnId);
    static LPCTSTR GetMenuText(ULONG nColumnId);
    // A column a user may take away: removable and in the list, but never the first column.
    BOOL CanRemoveColumn(int nIndex) const;

    // The columns of the saved layout, in their display order (every active column, in table order, when
    // nothing is saved). Called once, on a set that is empty.
    void LoadLogColumns();
    // The list's layout into the profile, for every id.
    void SaveLogColumns() const;
    // One item per active removable column (command 600 + id); those the list has are checked and greyed.
    void FillAddColumnSubMenu(CMenu& menu) const;

private:
    int AddTableColumn(ULONG nColumnId, ULONG nSavedWidth);
    CListCtrl* ListCtrl() const;

    CArray<LVCOLUMN> m_Columns;
    CArray<COLUMN_PROP> m_Props;
    CLogListView* m_pView = nullptr;
};
