// CLogListView: the context menus of the list, a row and the header, and the commands they and the frame's
// menus send: time display, font, column layout, auto-scroll, help and the CSV export of the data bar's bytes.
#include <algorithm>

#include "app/core/app/HelpContext.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecordDecode.h"
#include "app/core/records/LogRecords.h"
#include "app/decoders/framework/CSVOutput.h"
#include "app/ui/PanePointers.h"
#include "app/ui/loglist/LogListIds.h"
#include "app/ui/loglist/LogListView.h"
#include "common/RecordTags.h"
#include "htmlhelp.h"

namespace {

// The narrowest a column gets from best fit.
constexpr int kMinBestFitWidth = 10;

} // namespace

CLogListView::HelpTopic CLogListView::GetRecordHelpTopic(const _LOGHDR* pRecord) {
    HelpTopic topic;
    if (pRecord == nullptr)
        return topic;
    const CLogRecordDecode record(const_cast<_LOGHDR*>(pRecord), nullptr);
    const ULONG nWord = record.GetFunctionWord();
    switch (record.GetLogType()) {
    case LogTag::urbI:
    case LogTag::urbR:
    case LogTag::urbC:
    case LogTag::iCnt:
    case LogTag::cCnt: return {HELP_GROUP_URB, nWord & URB_FUNCTION_WORD_CODE_MASK, "URB", ID_HELP_ON_URB};
    case LogTag::uinI:
    case LogTag::uinR:
    case LogTag::uinC: return {HELP_GROUP_INTERNAL_IOCTL, nWord, "USBINT request", ID_HELP_ON_USBINT};
    case LogTag::buhI:
    case LogTag::buhC: return {HELP_GROUP_HUB_INTERFACE, nWord, "IHUB function", ID_HELP_ON_IHUB};
    case LogTag::khpI:
    case LogTag::khpC: return {HELP_GROUP_HOOK, nWord, "MPORT function", ID_HELP_ON_MPORT};
    default: return topic;
    }
}

// ---- context menus

void CLogListView::OnContextMenu(CWnd* pWnd, CPoint point) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "--CLogListView::OnContextMenu");
    if (pWnd != nullptr && pWnd->GetSafeHwnd() == m_Header.GetSafeHwnd()) {
        TrackHeaderMenu(point);
        return;
    }
    CListCtrl& list = GetListCtrl();
    int nItem = -1;
    if (point.x == -1 && point.y == -1) {
        // The context-menu key: the focused row, at its place.
        nItem = list.GetNextItem(-1, LVNI_FOCUSED);
        CRect rcRow;
        if (nItem >= 0 && list.GetItemRect(nItem, &rcRow, LVIR_BOUNDS))
            point = CPoint(rcRow.left, rcRow.bottom);
        else
            point = CPoint(0, 0);
        ClientToScreen(&point);
    } else {
        LVHITTESTINFO hit{};
        hit.pt = point;
        ScreenToClient(&hit.pt);
        nItem = list.HitTest(&hit);
    }
    if (nItem >= 0)
        TrackRowMenu(point, nItem);
    else
        TrackListMenu(point);
}

void CLogListView::TrackListMenu(CPoint point) {
    CMenu menu;
    if (!menu.CreatePopupMenu())
        return;
    menu.AppendMenu(MF_STRING, ID_VIEW_LOGFONT, "Set Log View &Font");
    menu.AppendMenu(MF_STRING, ID_ARRANGE_COLUMNS, "&Arrange Columns");
    menu.AppendMenu(MF_STRING, ID_BESTFIT_COLUMNS, "Resize Columns for &Best Fit");
    menu.AppendMenu(MF_STRING, ID_HELP_LOGVIEW, "Help on Log View");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING, IDCANCEL, "&Cancel");
    TrackMenu(menu, point);
}

void CLogListView::TrackRowMenu(CPoint point, int nItem) {
    m_nMenuItem = nItem;
    m_MenuTopic = GetRecordHelpTopic(RecordAtRow(nItem));
    CMenu menu;
    if (!menu.CreatePopupMenu())
        return;
    menu.AppendMenu(MF_STRING, ID_SET_TIME_ORIGIN, "Set &Time Origin");
    const struct {
        UINT nID;
        int nUnit;
        LPCTSTR lpszText;
    } units[] = {{ID_TIME_SECONDS, TimeUnitSeconds, "Show Seconds"},
                 {ID_TIME_MILLISECONDS, TimeUnitMilliseconds, "Show Milliseconds"},
                 {ID_TIME_MICROSECONDS, TimeUnitMicroseconds, "Show Microseconds"}};
    for (const auto& unit : units)
        menu.AppendMenu(MF_STRING | (unit.nUnit == m_nTimeUnit ? MF_CHECKED : MF_UNCHECKED), unit.nID, unit.lpszText);
    menu.AppendMenu(MF_STRING, ID_TOGGLE_TIMEMODE,
                    m_nTimeMode == TimeModeSincePrevious ? "Elapsed Timings" : "Delta Timings");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING, ID_VIEW_LOGFONT, "Set Log View &Font");
    menu.AppendMenu(MF_STRING, ID_ARRANGE_COLUMNS, "&Arrange Columns");
    menu.AppendMenu(MF_STRING, ID_BESTFIT_COLUMNS, "Resize Columns for &Best Fit");
    menu.AppendMenu(MF_STRING, ID_HELP_LOGVIEW, "Help on Log View");
    if (m_MenuTopic.nGroup != 0) {
        CString text;
        text.Format("&Help on %s", m_MenuTopic.lpszName);
        menu.AppendMenu(MF_STRING, m_MenuTopic.nCommand, text);
    }
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING, IDCANCEL, "&Cancel");
    TrackMenu(menu, point);
}

void CLogListView::TrackHeaderMenu(CPoint point) {
    // The header's own coordinates follow the columns as the list scrolls sideways.
    HDHITTESTINFO hit{};
    hit.pt = point;
    m_Header.ScreenToClient(&hit.pt);
    m_nHeaderColumn = m_Header.HitTest(&hit) >= 0 ? hit.iItem : -1;
    CMenu menu;
    CMenu addMenu;
    if (!menu.CreatePopupMenu() || !addMenu.CreatePopupMenu())
        return;
    m_Columns.FillAddColumnSubMenu(addMenu);
    menu.AppendMenu(MF_STRING, ID_VIEW_LOGFONT, "Set Log View &Font");
    menu.AppendMenu(MF_STRING, ID_ARRANGE_COLUMNS, "&Arrange Columns");
    menu.AppendMenu(MF_STRING | (m_Columns.CanRemoveColumn(m_nHeaderColumn) ? MF_ENABLED : MF_GRAYED), ID_REMOVE_COLUMN,
                    "Remove this &column");
    menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(addMenu.Detach()), "&Add column");
    menu.AppendMenu(MF_STRING, ID_HELP_LOGVIEW_CUSTOMIZATION, "Help on Log View Customization");
    menu.AppendMenu(MF_SEPARATOR);
    menu.AppendMenu(MF_STRING, IDCANCEL, "&Cancel");
    TrackMenu(menu, point);
}

void CLogListView::TrackMenu(CMenu& menu, CPoint point) {
    // The list owns the menu: no frame's update handlers run over it, so its marks stand as set here.
    menu.TrackPopupMenu(TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, this);
}

// ---- time display

void CLogListView::OnSetTimeOrigin() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "--CLogListView::OnSetTimeOrigin");
    CUSBLog* pDoc = GetLogDocument();
    const _LOGHDR* pRecord = RecordAtRow(m_nMenuItem);
    if (pRecord == nullptr)
        return;
    // Elapsed times count from the latest start: that is the origin the column reads.
    pDoc->GetLogRecords()->SetLatestStart(CLogRecordDecode(const_cast<_LOGHDR*>(pRecord), pDoc).GetTimeStamp());
    RedrawVisibleRows();
}

void CLogListView::OnTimeUnit(UINT nID) {
    m_nTimeUnit = static_cast<int>(nID - ID_TIME_SECONDS);
    RedrawVisibleRows();
}

void CLogListView::OnToggleTimeMode() {
    m_nTimeMode = m_nTimeMode == TimeModeSincePrevious ? 0 : TimeModeSincePrevious;
    RedrawVisibleRows();
}

// ---- font and columns

void CLogListView::MakeViewFont() {
    if (m_pViewFont != nullptr)
        return;
    HGDIOBJ hFont = reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT));
    LOGFONTA lf{};
    if (::GetObjectA(hFont != nullptr ? hFont : ::GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf) == 0)
        return;
    auto pFont = std::make_unique<CFont>();
    if (!pFont->CreateFontIndirect(&lf))
        return;
    m_pViewFont = std::move(pFont);
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(*m_pViewFont)), FALSE);
}

void CLogListView::OnViewLogFont() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "--CLogListView::OnViewLogFont");
    LOGFONTA lf{};
    HGDIOBJ hFont = reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT));
    ::GetObjectA(hFont != nullptr ? hFont : ::GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    CFontDialog dlg(&lf, CF_SCREENFONTS | CF_EFFECTS, nullptr, this);
    if (dlg.DoModal() != IDOK)
        return;
    auto pFont = std::make_unique<CFont>();
    if (!pFont->CreateFontIndirect(&dlg.m_lf))
        return;
    SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(static_cast<HFONT>(*pFont)), TRUE);
    m_pViewFont = std::move(pFont); // the list took the new font, so the old one may go
}

void CLogListView::OnArrangeColumns() {
    // The header measures the columns anew.
    SendMessageToDescendants(WM_COMMAND, ID_ARRANGE_COLUMNS);
}

void CLogListView::OnBestFitColumns() {
    BestFitColumns();
}

void CLogListView::BestFitColumns() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "--CLogListView::BestFitColumns");
    CListCtrl& list = GetListCtrl();
    const int nColumns = m_Header.GetItemCount();
    CRect rcClient;
    GetClientRect(&rcClient);
    list.SendMessage(WM_SETREDRAW, FALSE);
    int nUsed = 0;
    for (int nPosition = 0; nPosition < nColumns; ++nPosition) {
        const int nIndex = m_Header.OrderToIndex(nPosition);
        list.SetColumnWidth(nIndex, LVSCW_AUTOSIZE);
        int nWidth = list.GetColumnWidth(nIndex);
        int nHeadingWidth;
        if (nIndex != nColumns - 1) {
            list.SetColumnWidth(nIndex, LVSCW_AUTOSIZE_USEHEADER);
            nHeadingWidth = list.GetColumnWidth(nIndex);
        } else {
            // Sized to its heading, the last column would take the whole rest of the list.
            nHeadingWidth = m_Header.TextWidth(m_Columns.GetHeading(nIndex)) + CLogListColumns::TextMargin;
        }
        nWidth = std::max({nWidth, nHeadingWidth, kMinBestFitWidth});
        if (nPosition == nColumns - 1)
            nWidth = std::max(nWidth, static_cast<int>(rcClient.Width()) - nUsed);
        list.SetColumnWidth(nIndex, nWidth);
        nUsed += nWidth;
    }
    list.SendMessage(WM_SETREDRAW, TRUE);
    m_Header.Invalidate();
    Invalidate();
}

void CLogListView::OnAddColumn(UINT nID) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "--CLogListView::OnAddColumn");
    const ULONG nColumnId = nID - ID_ADD_COLUMN_FIRST;
    // Only what the menu offers: an active removable column the list does not have, once the list has its
    // columns.
    if (m_Columns.GetCount() == 0 || CLogListColumns::IsInactive(nColumnId) ||
        !CLogListColumns::IsRemovable(nColumnId) || m_Columns.FindColumn(nColumnId) >= 0)
        return;
    const int nIndex = m_Columns.AddColumnById(nColumnId);
    if (nIndex < 1)
        return;
    m_Columns.SetColumnMask(nIndex, LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM);
    m_Columns.InsertColumn(nIndex);
    SendMessageToDescendants(WM_COMMAND, ID_ARRANGE_COLUMNS);
}

void CLogListView::OnRemoveColumn() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "--CLogListView::OnRemoveColumn");
    const int nIndex = m_nHeaderColumn;
    m_nHeaderColumn = -1;
    if (!m_Columns.CanRemoveColumn(nIndex))
        return;
    m_Columns.DeleteColumn(nIndex);
    m_Columns.RemoveColumn(nIndex);
    SendMessageToDescendants(WM_COMMAND, ID_ARRANGE_COLUMNS);
}

// ---- auto-scroll

void CLogListView::OnAutoScroll() {
    m_bAutoScroll = !m_bAutoScroll;
    const int nCount = GetItemCount();
    if (m_bAutoScroll && nCount > 0)
        EnsureVisible(nCount - 1);
}

void CLogListView::OnUpdateAutoScroll(CCmdUI* pCmdUI) {
    CUSBLog* pDoc = GetLogDocument();
    pCmdUI->SetCheck(m_bAutoScroll ? 1 : 0);
    pCmdUI->Enable(pDoc != nullptr && pDoc->IsRealtimeDocument());
}

// ---- help

void CLogListView::OnHelpLogView() {
    if (CWnd* pMainWnd = AfxGetMainWnd())
        pMainWnd->HtmlHelp(IDH_LOG_VIEW, HH_HELP_CONTEXT);
}

void CLogListView::OnHelpLogViewCustomization() {
    if (CWnd* pMainWnd = AfxGetMainWnd())
        pMainWnd->HtmlHelp(IDH_LOG_VIEW_CUSTOMIZATION, HH_HELP_CONTEXT);
}

void CLogListView::OnHelpOnRecord() {
    if (auto* pApp = dynamic_cast<CTindaloftApp*>(AfxGetApp()); pApp != nullptr && m_MenuTopic.nGroup != 0)
        pApp->ShowHelpForCode(m_MenuTopic.nGroup, m_MenuTopic.nCode);
}

// ---- export

void CLogListView::OnExportXferBuffer() {
    if (GetLogDocument() == nullptr)
        return;
    const BYTE* pBuffer = nullptr;
    ULONG nLength = 0;
    CPanePointers panes;
    panes.DataBarGetDataBuffer(pBuffer, nLength);
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "CLogListView::OnExportXferBuffer - pBuffer = %p, length = %u\n",
              pBuffer, nLength);
    CCSVOutput output;
    // A cancelled dialog, or a file that would not open (already told), ends it quietly.
    if (!output.Open())
        return;
    AfxMessageBox(output.WriteBytes(pBuffer, nLength) ? "CSV transfer buffer exported successfully."
                                                      : "CSV transfer buffer export failure.");
    output.Close();
}
