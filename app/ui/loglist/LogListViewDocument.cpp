// CLogListView: the view and its document: its first showing (columns loaded, extended styles, font), each
// update, and each activation, which bring the device tree, the stack inspector and the properties panes in
// line with the document's kind (a live capture, idle or capturing, or a saved log).
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/ui/PanePointers.h"
#include "app/ui/loglist/LogListView.h"

namespace {

// The view whose activation came last; a change of it is a change of the active document.
CLogListView*& LastActivatedView() {
    static CLogListView* s_pView = nullptr;
    return s_pView;
}

} // namespace

void CLogListView::ForgetActivation(CLogListView* pView) {
    if (LastActivatedView() == pView)
        LastActivatedView() = nullptr;
}

void CLogListView::ApplyDocumentKind(CUSBLog* pDoc) {
    CPanePointers panes;
    if (pDoc->IsRealtimeDocument()) {
        const BOOL bCapturing = pDoc->IsLogging();
        if (bCapturing) {
            panes.SetStackInspectorReadOnly();
        } else {
            panes.SetStackInspectorWriteable();
            panes.SetDeviceTreeWriteable();
        }
        panes.ClearDeviceTreeSelections();
        // Rebuilt (checks enabled) only while no capture runs.
        panes.RefreshDeviceTreeTabViews(pDoc, !bCapturing);
        panes.SystemPropertiesUpdate();
        RegisterDeviceNotifications();
    } else {
        panes.SetStackInspectorReadOnly();
        panes.SetDeviceTreeReadOnly();
        panes.ClearDeviceTreeSelections();
        panes.RefreshDeviceTreeTabViews(pDoc, FALSE);
        panes.SystemPropertiesUpdate();
    }
}

void CLogListView::OnInitialUpdate() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "--CLogListView::OnInitialUpdate");
    CListCtrl& list = GetListCtrl();
    list.DeleteAllItems();
    list.SetExtendedStyle(LVS_EX_GRIDLINES | LVS_EX_FULLROWSELECT | LVS_EX_HEADERDRAGDROP);
    EnableToolTips(TRUE);
    MakeViewFont();
    if (m_Columns.GetCount() == 0) {
        m_Columns.LoadLogColumns();
        m_Columns.InsertAllColumns();
    }
    if (CUSBLog* pDoc = GetLogDocument()) {
        ApplyDocumentKind(pDoc);
        if (pDoc->IsRealtimeDocument())
            list.SetItemCount(0);
        else
            SetItemCountAll();
    }
    if (m_Columns.GetCount() > 0 && m_Columns.GetSavedWidth(0) != 0)
        m_Header.RestoreColumnWidths();
    else
        m_Header.ResetColumnWidths();
}

void CLogListView::OnUpdate(CView*, LPARAM, CObject*) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "--CLogListView::OnUpdate");
    CListCtrl& list = GetListCtrl();
    list.DeleteAllItems();
    CUSBLog* pDoc = GetLogDocument();
    if (pDoc == nullptr)
        return;
    ApplyDocumentKind(pDoc);
    // In background logging the capture thread alone reads the store until the stop fills the list.
    if (pDoc->GetBackgroundProgress() == nullptr)
        SetItemCountDisplay();
}

void CLogListView::OnActivateView(BOOL bActivate, CView* pActivateView, CView* pDeactiveView) {
    CUSBLog* pDoc = GetLogDocument();
    if (bActivate && pActivateView == this && pDoc != nullptr) {
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "--CLogListView::OnActivateView");
        ApplyDocumentKind(pDoc);
        if (LastActivatedView() != this) {
            LastActivatedView() = this;
            // The tree was just refreshed for this document: a change the frame marked while another one was
            // shown has been taken in.
            pDoc->SetDeviceTreeModified(FALSE);
            CPanePointers panes;
            panes.ClearDeviceTreeSelections();
            panes.DataBarClear(TRUE);
            panes.SystemPropertiesUpdate();
            if (pDoc->IsRealtimeDocument())
                DisplaySelectionDetails();
        }
    }
    CListView::OnActivateView(bActivate, pActivateView, pDeactiveView);
}
