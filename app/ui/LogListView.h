// CLogListView: the record list, the first view of every capture document. It takes the blocks the capture
// thread reads (outside background logging) through the registered message "LogListView" and has the
// document index them on the user-interface thread; it holds what the formatters read: the unit and the mode
// of the elapsed-time column. A live capture's list asks the main frame for device notifications at its first
// update and lets them go when it goes.
#pragma once

#include "afxwin.h"

class CUSBLog;

// The id of the registered message "LogListView"; 0 until the first view is made.
extern UINT g_nLogListViewMessage;

class CLogListView : public CView {
    DECLARE_DYNCREATE(CLogListView)
public:
    // Units of the elapsed-time column.
    enum { TimeUnitSeconds = 0, TimeUnitMilliseconds = 1, TimeUnitMicroseconds = 2 };
    // Mode 1 times each record from the one before it; any other from the latest log start.
    static constexpr int TimeModeSincePrevious = 1;

    CLogListView();
    ~CLogListView() override = default;

    int GetTimeUnit() const { return m_nTimeUnit; }
    void SetTimeUnit(int nUnit) { m_nTimeUnit = nUnit; }
    int GetTimeMode() const { return m_nTimeMode; }
    void SetTimeMode(int nMode) { m_nTimeMode = nMode; }

    void OnDraw(CDC* pDC) override;
    // The rows follow the document (a document emptied by a failed load shows none).
    void OnUpdate(CView* pSender, LPARAM lHint, CObject* pHint) override;

    // wParam = a block in the current bank, lParam = its byte count: the document indexes it and the list
    // grows to the rows of the active view. A byte count of 0 is the capture thread's bank switch: the other
    // bank becomes current (its records go) and the list is reloaded; the thread flips the banks when this
    // returns. Returns 0.
    LRESULT OnLogListView(WPARAM wParam, LPARAM lParam);

    // No rows, the view's state reset.
    void Clear();
    // The rows rebuilt from the document's count of shown records.
    void RedrawRange();
    // The row of the record with that sequence number, or -1.
    int FindItemBySequence(UINT nSequence) const;
    // The column layout into the profile (section "LogColumns"), on the main frame's close. The columns come
    // with the record list proper; until then there is nothing to keep.
    void SaveLogColumns();

    INT_PTR GetItemCount() const { return m_nItemCount; }
    // Scrolls the row into view.
    void EnsureVisible(int nItem) { m_nScrolledItem = nItem; }
    // The row last scrolled into view; -1 when none.
    int GetScrolledItem() const { return m_nScrolledItem; }
    BOOL IsAutoScroll() const { return m_bAutoScroll; }
    void SetAutoScroll(BOOL bOn) { m_bAutoScroll = bOn; }

private:
    CUSBLog* GetLogDocument() const;
    void OnDestroy();

    int m_nTimeUnit = TimeUnitSeconds;
    int m_nTimeMode = 0;
    INT_PTR m_nItemCount = 0;
    int m_nScrolledItem = -1;
    BOOL m_bAutoScroll = TRUE;
    BOOL m_bPnpRegistered = FALSE;

    DECLARE_MESSAGE_MAP()
};
