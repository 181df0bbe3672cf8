#include "app/ui/loglist/LogListHeader.h"

#include "app/core/diagnostics/Trace.h"
#include "app/ui/loglist/LogListIds.h"
#include "app/ui/loglist/LogListView.h"

IMPLEMENT_DYNAMIC(CLogListHeader, CHeaderCtrl)

BEGIN_MESSAGE_MAP(CLogListHeader, CHeaderCtrl)
ON_COMMAND(ID_ARRANGE_COLUMNS, &CLogListHeader::OnArrangeColumns)
ON_NOTIFY_REFLECT(HDN_BEGINTRACKA, &CLogListHeader::OnHdnBegintrack)
ON_NOTIFY_REFLECT(HDN_BEGINTRACKW, &CLogListHeader::OnHdnBegintrack)
ON_NOTIFY_REFLECT(HDN_ENDTRACKA, &CLogListHeader::OnHdnEndtrack)
ON_NOTIFY_REFLECT(HDN_ENDTRACKW, &CLogListHeader::OnHdnEndtrack)
END_MESSAGE_MAP()

BOOL CLogListHeader::SubclassHeader(CLogListView* pListView) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "--CLogListHeader::SubclassHeader");
    m_pListView = pListView;
    HWND hHeader = pListView->GetListCtrl().GetHeaderCtrl()->GetSafeHwnd();
    if (hHeader == nullptr || !SubclassWindow(hHeader))
        return FALSE;
    ModifyStyle(0, HDS_HOTTRACK);
    return TRUE;
}

int CLogListHeader::TextWidth(LPCTSTR lpszText) {
    HDC hdc = ::GetDC(m_hWnd);
    if (hdc == nullptr)
        return 0;
    HGDIOBJ hFont = reinterpret_cast<HGDIOBJ>(SendMessage(WM_GETFONT));
    HGDIOBJ hOld = ::SelectObject(hdc, hFont != nullptr ? hFont : ::GetStockObject(DEFAULT_GUI_FONT));
    SIZE size{};
    ::GetTextExtentPoint32A(hdc, lpszText, static_cast<int>(strlen(lpszText)), &size);
    ::SelectObject(hdc, hOld);
    ::ReleaseDC(m_hWnd, hdc);
    return size.cx;
}

void CLogListHeader::ResetColumnWidths() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "--CLogListHeader::ResetColumnWidths");
    if (m_pListView == nullptr)
        return;
    const CLogListColumns& columns = m_pListView->GetColumns();
    SetWidths([&](int nIndex) {
        LPCTSTR lpszText = columns.IsWidthBySample(nIndex) ? columns.GetSampleText(nIndex) : columns.GetHeading(nIndex);
        return TextWidth(lpszText) + CLogListColumns::TextMargin;
    });
}

void CLogListHeader::RestoreColumnWidths() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_LOG_LIST, "--CLogListHeader::RestoreColumnWidths");
    if (m_pListView == nullptr)
        return;
    const CLogListColumns& columns = m_pListView->GetColumns();
    SetWidths([&](int nIndex) { return static_cast<int>(columns.GetSavedWidth(nIndex)); });
}

void CLogListHeader::SetWidths(const std::function<int(int nIndex)>& widthOf) {
    const int nColumns = m_pListView->GetColumns().GetCount();
    CListCtrl& list = m_pListView->GetListCtrl();
    list.SendMessage(WM_SETREDRAW, FALSE);
    SendMessage(WM_SETREDRAW, FALSE);
    for (int nPosition = 0; nPosition < GetItemCount(); ++nPosition) {
        const int nIndex = OrderToIndex(nPosition);
        if (nIndex >= 0 && nIndex < nColumns)
            list.SetColumnWidth(nIndex, widthOf(nIndex));
    }
    RedrawAll();
}

void CLogListHeader::RedrawAll() {
    CListCtrl& list = m_pListView->GetListCtrl();
    SendMessage(WM_SETREDRAW, TRUE);
    list.SendMessage(WM_SETREDRAW, TRUE);
    Invalidate();
    list.Invalidate();
}

void CLogListHeader::OnArrangeColumns() {
    ResetColumnWidths();
}

void CLogListHeader::OnHdnBegintrack(NMHDR* pNMHDR, LRESULT* pResult) {
    // The first column keeps its width.
    *pResult = reinterpret_cast<NMHEADER*>(pNMHDR)->iItem == 0 ? TRUE : FALSE;
}

void CLogListHeader::OnHdnEndtrack(NMHDR*, LRESULT* pResult) {
    *pResult = 0;
    if (m_pListView != nullptr)
        RedrawAll();
}
