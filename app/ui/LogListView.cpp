#include "app/ui/LogListView.h"

#include "app/core/LogRecords.h"
#include "app/core/Trace.h"
#include "app/core/USBLog.h"
#include "app/ui/MainFrame.h"
#include "common/RecordFrame.h"

UINT g_nLogListViewMessage = 0;

IMPLEMENT_DYNCREATE(CLogListView, CView)

BEGIN_MESSAGE_MAP(CLogListView, CView)
ON_WM_DESTROY()
ON_REGISTERED_MESSAGE(g_nLogListViewMessage, &CLogListView::OnLogListView)
END_MESSAGE_MAP()

CLogListView::CLogListView() {
    g_nLogListViewMessage = ::RegisterWindowMessageA("LogListView");
}

// The list control that draws the records comes with the view's columns.
void CLogListView::OnDraw(CDC*) {}

void CLogListView::OnUpdate(CView*, LPARAM, CObject*) {
    // The live capture's hot-plug handling lasts as long as its list: a saved log's list neither asks for the
    // notifications nor ends them.
    CUSBLog* pDoc = GetLogDocument();
    if (!m_bPnpRegistered && pDoc != nullptr && pDoc->IsRealtimeDocument()) {
        if (auto* pFrame = dynamic_cast<CMainFrame*>(GetTopLevelFrame())) {
            pFrame->RegisterForPnpNotifications();
            m_bPnpRegistered = TRUE;
        }
    }
    // In background logging the capture thread alone reads the store until the stop fills the list.
    if (pDoc == nullptr || pDoc->GetBackgroundProgress() == nullptr)
        RedrawRange();
}

void CLogListView::OnDestroy() {
    if (m_bPnpRegistered) {
        if (auto* pFrame = dynamic_cast<CMainFrame*>(GetTopLevelFrame()))
            pFrame->UnregisterForPnpNotifications();
        m_bPnpRegistered = FALSE;
    }
    CView::OnDestroy();
}

void CLogListView::SaveLogColumns() {}

CUSBLog* CLogListView::GetLogDocument() const {
    return dynamic_cast<CUSBLog*>(m_pDocument);
}

LRESULT CLogListView::OnLogListView(WPARAM wParam, LPARAM lParam) {
    CUSBLog* pDoc = GetLogDocument();
    if (pDoc == nullptr || pDoc->GetLogRecords() == nullptr)
        return 0;
    if (lParam == 0) {
        pDoc->GetLogRecords()->SetCurrentBank(pDoc);
        RedrawRange();
        return 0;
    }
    BOOL bTriggered = FALSE;
    m_nItemCount =
        pDoc->ProcessCaptureFragment(reinterpret_cast<BYTE*>(wParam), static_cast<DWORD>(lParam), bTriggered);
    if (bTriggered) {
        const int nItem = FindItemBySequence(pDoc->GetTriggerSequenceNumber());
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "Trigger seqnum=%u at item=%d",
                  pDoc->GetTriggerSequenceNumber(), nItem);
        m_nScrolledItem = nItem;
    } else if (m_bAutoScroll && m_nItemCount > 0) {
        m_nScrolledItem = static_cast<int>(m_nItemCount - 1);
    }
    return 0;
}

void CLogListView::Clear() {
    m_nItemCount = 0;
    m_nScrolledItem = -1;
}

void CLogListView::RedrawRange() {
    CUSBLog* pDoc = GetLogDocument();
    m_nItemCount =
        pDoc != nullptr && pDoc->GetLogRecords() != nullptr ? pDoc->GetLogRecords()->GetDisplayCount(pDoc) : 0;
    if (GetSafeHwnd() != nullptr)
        Invalidate();
}

int CLogListView::FindItemBySequence(UINT nSequence) const {
    CUSBLog* pDoc = GetLogDocument();
    if (pDoc == nullptr || pDoc->GetLogRecords() == nullptr)
        return -1;
    const LogRecords::CLogRecords* pRecords = pDoc->GetLogRecords();
    const INT_PTR nCount = pRecords->GetDisplayCount(pDoc);
    for (INT_PTR i = 0; i < nCount; ++i) {
        const _LOGHDR* pRecord = pRecords->GetRecordAt(pDoc, i);
        if (pRecord != nullptr && LogHdr::SequenceNumber(reinterpret_cast<const uint8_t*>(pRecord)) == nSequence)
            return static_cast<int>(i);
    }
    return -1;
}
