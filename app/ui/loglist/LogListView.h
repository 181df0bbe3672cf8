// CLogListView: the record list, the first view of every capture document. An owner-data report list: it holds
// no item of its own, only the row count, and asks the record store for the text and colours of a cell when
// it paints it, so that a capture of any size costs the list nothing per record.
//
// It takes the blocks the capture thread reads (outside background logging) through the registered message
// "LogListView" and has the document index them on the user-interface thread, growing its rows without
// repainting or scrolling what it shows. It holds what the elapsed-time formatter reads (the unit and the mode
// of the Time column), offers the column, time, font, help and export commands in its context menus, and shows
// the selected record in the Log Details pane.
//
// A live capture's list asks the main frame for device notifications at its first update and lets them go
// when it goes; a saved log's list neither asks for them nor ends them.
#pragma once

#include <memory>

#include "afxwin.h"
#include "app/ui/loglist/LogListColumns.h"
#include "app/ui/loglist/LogListHeader.h"
#include "common/LogHeader.h"

class CUSBLog;

// The id of the registered message "LogListView"; 0 until the first view is made.
extern UINT g_nLogListViewMessage;

class CLogListView : public CListView {
    DECLARE_DYNCREATE(CLogListView)
public:
    // Units of the elapsed-time column.
    enum { TimeUnitSeconds = 0, TimeUnitMilliseconds = 1, TimeUnitMicroseconds = 2 };
    // Mode 1 times each record from the one before it; any other from the latest log start.
    static constexpr int TimeModeSincePrevious = 1;

    CLogListView();
    ~CLogListView() override;
    CLogListView(const CLogListView&) = delete;
    CLogListView& operator=(const CLogListView&) = delete;

    int GetTimeUnit() const { return m_nTimeUnit; }
    void SetTimeUnit(int nUnit) { m_nTimeUnit = nUnit; }
    int GetTimeMode() const { return m_nTimeMode; }
    void SetTimeMode(int nMode) { m_nTimeMode = nMode; }

    void OnInitialUpdate() override;
    void OnUpdate(CView* pSender, LPARAM lHint, CObject* pHint) override;
    void OnActivateView(BOOL bActivate, CView* pActivateView, CView* pDeactiveView) override;

    // wParam = a block in the current bank, lParam = its byte count: the document indexes it and the list
    // grows to the rows of the active view. A byte count of 0 is the capture thread's bank switch: the other
    // bank becomes current (its records go) and the list is reloaded; the thread flips the banks when this
    // returns. Returns 0.
    LRESULT OnLogListView(WPARAM wParam, LPARAM lParam);
    // The rows grown to the document's new count for a block the capture thread read, keeping what is shown;
    // then the trigger's row, or with auto-scroll the last row, brought into view.
    void OnUpdateListView(BYTE* pBuffer, DWORD dwLength);

    // No rows, the view's state reset.
    void Clear();
    // Row count = every record of the store; row count = the records of the active (maybe filtered) view.
    void SetItemCountAll();
    void SetItemCountDisplay();
    // The rows rebuilt from the document's count of shown records, and the rows on the page repainted.
    void RedrawRange();
    // The row of the record with that sequence number (looked for from the last row up), or -1.
    int FindItemBySequence(UINT nSequence) const;
    // The record of the row in the Log Details pane; the selected row's, or with none selected the System
    // Properties pane refreshed.
    void ShowRecordDetails(int nItem);
    void DisplaySelectionDetails();
    // Each column as wide as its widest shown cell or its heading (at least 10 pixels), the last one filling
    // what the client area leaves.
    void BestFitColumns();

    int GetItemCount() const;
    // Scrolls the row into view.
    void EnsureVisible(int nItem);
    BOOL IsAutoScroll() const { return m_bAutoScroll; }
    void SetAutoScroll(BOOL bOn) { m_bAutoScroll = bOn; }

    CLogListColumns& GetColumns() { return m_Columns; }
    const CLogListColumns& GetColumns() const { return m_Columns; }
    CLogListHeader& GetHeader() { return m_Header; }
    // The column layout into the profile (section "LogColumns"), on the main frame's close.
    void SaveLogColumns() const { m_Columns.SaveLogColumns(); }
    // Cells whose text the list asked for since the view was made (each one formatted from its record).
    ULONGLONG GetFormattedCellCount() const { return m_nFormattedCells; }

    // The help topic of a record kind: its group and code, and the menu text and command; group 0 when the
    // kind has none.
    struct HelpTopic {
        UINT nGroup = 0;
        ULONG nCode = 0;
        LPCTSTR lpszName = nullptr;
        UINT nCommand = 0;
    };
    static HelpTopic GetRecordHelpTopic(const _LOGHDR* pRecord);

protected:
    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnDestroy();
    void OnSetFocus(CWnd* pOldWnd);
    void OnContextMenu(CWnd* pWnd, CPoint point);
    void OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult);
    void OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult);
    void OnItemChanged(NMHDR* pNMHDR, LRESULT* pResult);

    void OnSetTimeOrigin();
    void OnTimeUnit(UINT nID);
    void OnToggleTimeMode();
    void OnViewLogFont();
    void OnArrangeColumns();
    void OnBestFitColumns();
    void OnExportXferBuffer();
    void OnAddColumn(UINT nID);
    void OnRemoveColumn();
    void OnAutoScroll();
    void OnUpdateAutoScroll(CCmdUI* pCmdUI);
    void OnHelpLogView();
    void OnHelpLogViewCustomization();
    void OnHelpOnRecord();

    DECLARE_MESSAGE_MAP()

private:
    CUSBLog* GetLogDocument() const;
    // The record of a row of the active view, or null outside it.
    const _LOGHDR* RecordAtRow(INT_PTR nItem) const;
    // A live capture's list asks the main frame for device notifications once, and lets them go when it goes.
    void RegisterDeviceNotifications();
    void UnregisterDeviceNotifications();
    // A view that goes stops being the last one activated.
    static void ForgetActivation(CLogListView* pView);
    // What the initial update, an update and an activation do for the document's kind: the device tree and
    // stack inspector locked or not, their check marks cleared and their views refreshed, the System
    // Properties pane refreshed, and for a live capture the device notifications asked for once.
    void ApplyDocumentKind(CUSBLog* pDoc);
    // The row menu, the list menu and the header menu, tracked with the list as their owner.
    void TrackRowMenu(CPoint point, int nItem);
    void TrackListMenu(CPoint point);
    void TrackHeaderMenu(CPoint point);
    void TrackMenu(CMenu& menu, CPoint point);
    // The rows on the page repainted (their texts asked for again).
    void RedrawVisibleRows();
    // The cell's text into the list's buffer (cut to its size).
    void FormatCell(CUSBLog* pDoc, INT_PTR nItem, ULONG nColumnId, LPSTR pszText, int cchTextMax);
    void MakeViewFont();

    std::unique_ptr<CFont> m_pViewFont;
    BOOL m_bAutoScroll = FALSE;
    CLogListHeader m_Header;
    CLogListColumns m_Columns;
    int m_nHeaderColumn = -1;
    HelpTopic m_MenuTopic;
    int m_nMenuItem = -1;
    int m_nTimeUnit = TimeUnitSeconds;
    int m_nTimeMode = 0;
    BOOL m_bPnpRegistered = FALSE;
    // Kept across cells, so that a cell's text allocates nothing once the buffer is as long as a text.
    CString m_strCell;
    CString m_strShortCell;
    // The colours of the row being painted: its kind's (first column) and its highlight (the others).
    COLORREF m_crKindText = 0;
    COLORREF m_crKindBack = 0;
    COLORREF m_crRowText = 0;
    COLORREF m_crRowBack = 0;
    ULONGLONG m_nFormattedCells = 0;
};
