// CLogListView: the list itself: its window, the rows as blocks arrive, each cell's text and colours as the
// list paints it, the selection shown in the Log Details pane.
#include "app/ui/loglist/LogListView.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecordDecode.h"
#include "app/core/records/LogRecords.h"
#include "app/ui/PanePointers.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/loglist/LogListIds.h"
#include "app/ui/panes/LogPropertiesWnd.h"
#include "common/RecordFrame.h"

UINT g_nLogListViewMessage = 0;

namespace {

// A cell's text into the list's buffer, cut to its size.
void CopyCellText(LPSTR pszText, int cchTextMax, LPCTSTR lpszValue) {
    const size_t nLength = std::min(strlen(lpszValue), static_cast<size_t>(cchTextMax) - 1);
    memcpy(pszText, lpszValue, nLength);
    pszText[nLength] = '\0';
}

} // namespace

IMPLEMENT_DYNCREATE(CLogListView, CListView)

BEGIN_MESSAGE_MAP(CLogListView, CListView)
ON_WM_CREATE()
ON_WM_DESTROY()
ON_WM_SETFOCUS()
ON_WM_CONTEXTMENU()
ON_REGISTERED_MESSAGE(g_nLogListViewMessage, &CLogListView::OnLogListView)
ON_NOTIFY_REFLECT(LVN_GETDISPINFOA, &CLogListView::OnGetDispInfo)
ON_NOTIFY_REFLECT(NM_CUSTOMDRAW, &CLogListView::OnCustomDraw)
ON_NOTIFY_REFLECT(LVN_ITEMCHANGED, &CLogListView::OnItemChanged)
ON_COMMAND(ID_SET_TIME_ORIGIN, &CLogListView::OnSetTimeOrigin)
ON_COMMAND_RANGE(ID_TIME_SECONDS, ID_TIME_MICROSECONDS, &CLogListView::OnTimeUnit)
ON_COMMAND(ID_TOGGLE_TIMEMODE, &CLogListView::OnToggleTimeMode)
ON_COMMAND(ID_VIEW_LOGFONT, &CLogListView::OnViewLogFont)
ON_COMMAND(ID_ARRANGE_COLUMNS, &CLogListView::OnArrangeColumns)
ON_COMMAND(ID_BESTFIT_COLUMNS, &CLogListView::OnBestFitColumns)
ON_COMMAND(ID_EXPORT_XFERBUFFER, &CLogListView::OnExportXferBuffer)
ON_COMMAND_RANGE(ID_ADD_COLUMN_FIRST, ID_ADD_COLUMN_LAST, &CLogListView::OnAddColumn)
ON_COMMAND(ID_REMOVE_COLUMN, &CLogListView::OnRemoveColumn)
ON_COMMAND(ID_OPTIONS_AUTOSCROLL, &CLogListView::OnAutoScroll)
ON_UPDATE_COMMAND_UI(ID_OPTIONS_AUTOSCROLL, &CLogListView::OnUpdateAutoScroll)
ON_COMMAND(ID_HELP_LOGVIEW, &CLogListView::OnHelpLogView)
ON_COMMAND(ID_HELP_LOGVIEW_CUSTOMIZATION, &CLogListView::OnHelpLogViewCustomization)
ON_COMMAND(ID_HELP_ON_URB, &CLogListView::OnHelpOnRecord)
ON_COMMAND(ID_HELP_ON_USBINT, &CLogListView::OnHelpOnRecord)
ON_COMMAND(ID_HELP_ON_IHUB, &CLogListView::OnHelpOnRecord)
ON_COMMAND(ID_HELP_ON_MPORT, &CLogListView::OnHelpOnRecord)
END_MESSAGE_MAP()

CLogListView::CLogListView() {
    g_nLogListViewMessage = ::RegisterWindowMessageA("LogListView");
}

CLogListView::~CLogListView() {
    ForgetActivation(this);
}

BOOL CLogListView::PreCreateWindow(CREATESTRUCT& cs) {
    cs.style |= LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS;
    return CListView::PreCreateWindow(cs);
}

int CLogListView::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "--CLogListView::OnCreate");
    if (CListView::OnCreate(lpCreateStruct) == -1)
        return -1;
    m_Header.SubclassHeader(this);
    m_Columns.SetView(this);
    if (auto* pChild = dynamic_cast<CMDIChildWnd*>(GetParentFrame()))
        pChild->MDIMaximize();
    return 0;
}

void CLogListView::OnDestroy() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "--CLogListView::OnDestroy");
    ForgetActivation(this);
    UnregisterDeviceNotifications();
    CListView::OnDestroy();
}

CUSBLog* CLogListView::GetLogDocument() const {
    return dynamic_cast<CUSBLog*>(m_pDocument);
}

const _LOGHDR* CLogListView::RecordAtRow(INT_PTR nItem) const {
    CUSBLog* pDoc = GetLogDocument();
    const LogRecords::CLogRecords* pRecords = pDoc != nullptr ? pDoc->GetLogRecords() : nullptr;
    if (pRecords == nullptr || nItem < 0 || nItem >= pRecords->GetDisplayCount(pDoc))
        return nullptr;
    return pRecords->GetRecordAt(pDoc, nItem);
}

// ---- rows

int CLogListView::GetItemCount() const {
    return GetSafeHwnd() != nullptr ? GetListCtrl().GetItemCount() : 0;
}

void CLogListView::EnsureVisible(int nItem) {
    if (GetSafeHwnd() != nullptr)
        GetListCtrl().EnsureVisible(nItem, FALSE);
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
    OnUpdateListView(reinterpret_cast<BYTE*>(wParam), static_cast<DWORD>(lParam));
    return 0;
}

void CLogListView::OnUpdateListView(BYTE* pBuffer, DWORD dwLength) {
    CUSBLog* pDoc = GetLogDocument();
    if (pDoc == nullptr || GetSafeHwnd() == nullptr)
        return;
    BOOL bTriggered = FALSE;
    const INT_PTR nCount = pDoc->ProcessCaptureFragment(pBuffer, dwLength, bTriggered);
    // Rows that come into view are asked for when they are painted; nothing shown moves.
    GetListCtrl().SetItemCountEx(static_cast<int>(nCount), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    if (bTriggered) {
        const int nItem = FindItemBySequence(pDoc->GetTriggerSequenceNumber());
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "Trigger seqnum=%u at item=%d",
                  pDoc->GetTriggerSequenceNumber(), nItem);
        if (nItem >= 0) {
            EnsureVisible(nItem);
            return;
        }
    }
    if (m_bAutoScroll && nCount > 0)
        EnsureVisible(static_cast<int>(nCount - 1));
}

void CLogListView::Clear() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "--CLogListView::Clear");
    m_nMenuItem = -1;
    if (GetSafeHwnd() == nullptr)
        return;
    CListCtrl& list = GetListCtrl();
    list.SetItemCount(0);
    list.DeleteAllItems();
    Invalidate();
}

void CLogListView::SetItemCountAll() {
    CUSBLog* pDoc = GetLogDocument();
    const INT_PTR nCount = pDoc != nullptr && pDoc->GetLogRecords() != nullptr ? pDoc->GetLogRecords()->GetCount() : 0;
    if (GetSafeHwnd() != nullptr)
        GetListCtrl().SetItemCount(static_cast<int>(nCount));
}

void CLogListView::SetItemCountDisplay() {
    CUSBLog* pDoc = GetLogDocument();
    const INT_PTR nCount =
        pDoc != nullptr && pDoc->GetLogRecords() != nullptr ? pDoc->GetLogRecords()->GetDisplayCount(pDoc) : 0;
    if (GetSafeHwnd() != nullptr)
        GetListCtrl().SetItemCount(static_cast<int>(nCount));
}

void CLogListView::RedrawRange() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "--CLogListView::RedrawRange");
    if (GetSafeHwnd() == nullptr)
        return;
    CUSBLog* pDoc = GetLogDocument();
    const INT_PTR nCount =
        pDoc != nullptr && pDoc->GetLogRecords() != nullptr ? pDoc->GetLogRecords()->GetDisplayCount(pDoc) : 0;
    CListCtrl& list = GetListCtrl();
    list.SendMessage(WM_SETREDRAW, FALSE);
    list.SetItemCountEx(static_cast<int>(nCount), LVSICF_NOINVALIDATEALL | LVSICF_NOSCROLL);
    list.SendMessage(WM_SETREDRAW, TRUE);
    RedrawVisibleRows();
}

void CLogListView::RedrawVisibleRows() {
    if (GetSafeHwnd() == nullptr)
        return;
    CListCtrl& list = GetListCtrl();
    const int nTop = list.GetTopIndex();
    list.RedrawItems(nTop, nTop + list.GetCountPerPage());
}

int CLogListView::FindItemBySequence(UINT nSequence) const {
    CUSBLog* pDoc = GetLogDocument();
    if (pDoc == nullptr || pDoc->GetLogRecords() == nullptr)
        return -1;
    const LogRecords::CLogRecords* pRecords = pDoc->GetLogRecords();
    const INT_PTR nRows = std::min<INT_PTR>(GetItemCount(), pRecords->GetDisplayCount(pDoc));
    // A trigger's record is among the last to arrive.
    for (INT_PTR i = nRows - 1; i >= 0; --i) {
        const _LOGHDR* pRecord = pRecords->GetRecordAt(pDoc, i);
        if (pRecord != nullptr && LogHdr::SequenceNumber(reinterpret_cast<const uint8_t*>(pRecord)) == nSequence)
            return static_cast<int>(i);
    }
    return -1;
}

// ---- cells

void CLogListView::OnGetDispInfo(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    LVITEM& item = reinterpret_cast<NMLVDISPINFO*>(pNMHDR)->item;
    if (!(item.mask & LVIF_TEXT) || item.pszText == nullptr || item.cchTextMax <= 0)
        return;
    // A sub-item the set does not have gets nothing.
    if (item.iSubItem < 0 || item.iSubItem >= m_Columns.GetCount())
        return;
    CUSBLog* pDoc = GetLogDocument();
    if (pDoc == nullptr || pDoc->GetLogRecords() == nullptr)
        return;
    ++m_nFormattedCells;
    FormatCell(pDoc, item.iItem, m_Columns.GetColumnId(item.iSubItem), item.pszText, item.cchTextMax);
}

void CLogListView::FormatCell(CUSBLog* pDoc, INT_PTR nItem, ULONG nColumnId, LPSTR pszText, int cchTextMax) {
    const LogRecords::CLogRecords& records = *pDoc->GetLogRecords();
    switch (nColumnId) {
    case LVCOL_RECORD_CATEGORY: records.FormatCategory(pDoc, nItem, m_strCell, m_strShortCell); break;
    case LVCOL_SEQUENCE_NUMBER: {
        // The last record of the older bank is starred while both banks hold records.
        BOOL bBankBoundary = FALSE;
        const ULONG nSequence = records.FormatSequence(pDoc, nItem, bBankBoundary);
        snprintf(pszText, static_cast<size_t>(cchTextMax), bBankBoundary ? "*%u" : "%u", nSequence);
        return;
    }
    case LVCOL_REQUEST_TYPE: records.FormatRequest(pDoc, nItem, m_strCell); break;
    case LVCOL_DATA_DIRECTION: records.FormatDirection(pDoc, nItem, m_strCell); break;
    case LVCOL_ELAPSED_TIME: records.FormatElapsedTime(pDoc, nItem, m_strCell); break;
    case LVCOL_TARGET_DEVICEOBJECT: records.FormatTargetDeviceObject(pDoc, nItem, m_strCell); break;
    case LVCOL_TARGET_USB_DEVICE: records.FormatTargetDevice(pDoc, nItem, m_strCell); break;
    case LVCOL_TARGET_CFG_IFC_EPA: records.FormatCfgIfcEp(pDoc, nItem, m_strCell); break;
    case LVCOL_ISOPACKET_ERRORS: records.FormatIsoErrors(pDoc, nItem, m_strCell); break;
    case LVCOL_STORBOT_CBW: records.FormatCbw(pDoc, nItem, m_strCell); break;
    case LVCOL_STORBOT_CSW: records.FormatCsw(pDoc, nItem, m_strCell); break;
    case LVCOL_IRP_ADDRESS: records.FormatIrpAddress(pDoc, nItem, m_strCell); break;
    case LVCOL_IRP_STATUS: records.FormatIrpStatus(pDoc, nItem, m_strCell); break;
    default:
        // The first bytes of a transfer are the data bar's to show.
        CopyCellText(pszText, cchTextMax, "---");
        return;
    }
    CopyCellText(pszText, cchTextMax, m_strCell);
}

void CLogListView::OnCustomDraw(NMHDR* pNMHDR, LRESULT* pResult) {
    auto* pDraw = reinterpret_cast<NMLVCUSTOMDRAW*>(pNMHDR);
    CUSBLog* pDoc = GetLogDocument();
    const LogRecords::CLogRecords* pRecords = pDoc != nullptr ? pDoc->GetLogRecords() : nullptr;
    switch (pDraw->nmcd.dwDrawStage) {
    case CDDS_PREPAINT: *pResult = CDRF_NOTIFYITEMDRAW; return;
    case CDDS_ITEMPREPAINT: {
        // Both colour pairs of the row, once for all its cells.
        const auto nItem = static_cast<INT_PTR>(pDraw->nmcd.dwItemSpec);
        if (pRecords != nullptr) {
            pRecords->GetRecordColours(pDoc, nItem, m_crKindText, m_crKindBack);
            pRecords->GetRecordHighlight(pDoc, nItem, m_crRowText, m_crRowBack);
        } else {
            m_crKindText = m_crRowText = ::GetSysColor(COLOR_WINDOWTEXT);
            m_crKindBack = m_crRowBack = ::GetSysColor(COLOR_WINDOW);
        }
        *pResult = CDRF_NOTIFYSUBITEMDRAW;
        return;
    }
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
        pDraw->clrText = pDraw->iSubItem == 0 ? m_crKindText : m_crRowText;
        pDraw->clrTextBk = pDraw->iSubItem == 0 ? m_crKindBack : m_crRowBack;
        *pResult = CDRF_DODEFAULT;
        return;
    default: *pResult = CDRF_DODEFAULT; return;
    }
}

// ---- selection

void CLogListView::OnItemChanged(NMHDR* pNMHDR, LRESULT* pResult) {
    *pResult = 0;
    const auto* pChange = reinterpret_cast<NMLISTVIEW*>(pNMHDR);
    const bool bSelected = (pChange->uChanged & LVIF_STATE) && (pChange->uNewState & LVIS_SELECTED) &&
                           !(pChange->uOldState & LVIS_SELECTED);
    if (pChange->iItem < 0 || !bSelected)
        return;
    CPanePointers panes;
    panes.DataBarClear(TRUE);
    ShowRecordDetails(pChange->iItem);
}

void CLogListView::OnSetFocus(CWnd*) {
    Default();
    DisplaySelectionDetails();
}

void CLogListView::ShowRecordDetails(int nItem) {
    CUSBLog* pDoc = GetLogDocument();
    auto* pFrame = dynamic_cast<CMainFrame*>(AfxGetMainWnd());
    CLogPropertiesWnd* pPane = pFrame != nullptr ? pFrame->GetLogDetailsPane() : nullptr;
    if (pDoc != nullptr && pPane != nullptr)
        pPane->ShowRecord(pDoc, nItem);
}

void CLogListView::DisplaySelectionDetails() {
    const int nItem = GetSafeHwnd() != nullptr ? GetListCtrl().GetNextItem(-1, LVNI_SELECTED) : -1;
    if (nItem >= 0) {
        ShowRecordDetails(nItem);
        return;
    }
    CPanePointers panes;
    panes.SystemPropertiesUpdate();
}

// ---- device notifications

// The live capture's hot-plug handling lasts as long as its list: a saved log's list neither asks for the
// notifications nor ends them.
void CLogListView::RegisterDeviceNotifications() {
    if (m_bPnpRegistered)
        return;
    if (auto* pFrame = dynamic_cast<CMainFrame*>(GetTopLevelFrame())) {
        pFrame->RegisterForPnpNotifications();
        m_bPnpRegistered = TRUE;
    }
}

void CLogListView::UnregisterDeviceNotifications() {
    if (!m_bPnpRegistered)
        return;
    if (auto* pFrame = dynamic_cast<CMainFrame*>(GetTopLevelFrame()))
        pFrame->UnregisterForPnpNotifications();
    m_bPnpRegistered = FALSE;
}
