#include "app/ui/panes/LogPropertiesWnd.h"

#include <iterator>

#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/ui/panes/LogDetailsGrid.h"

IMPLEMENT_DYNAMIC(CLogPropertiesWnd, CPropertiesWnd)

BEGIN_MESSAGE_MAP(CLogPropertiesWnd, CPropertiesWnd)
ON_WM_CREATE()
END_MESSAGE_MAP()

namespace {

// The key colour of the toolbar's images.
constexpr COLORREF kToolBarMask = RGB(0, 255, 0);

// The "Log Entry" items a record fills, emptied when none is shown.
constexpr const char* kRecordItems[] = {"Type", "State", "Record", "Status"};

} // namespace

int CLogPropertiesWnd::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CPropertiesWnd::OnCreate(lpCreateStruct) == -1)
        return -1;
    if (!CreateToolBarAndGrid(IDR_LOGDETAILS_TOOLBAR, kToolBarMask))
        return -1;
    BuildLogDetailsGrid(m_wndPropertyGrid);
    // The item was just made: its value colour still reads as the theme's.
    CGkPropertyGridItem* pLogEntry = m_wndPropertyGrid.GetCategories()->FindItem(kLogDetailsCategories[0]);
    CGkPropertyGridItem* pRecord = pLogEntry != nullptr ? pLogEntry->GetChilds()->FindItem("Record") : nullptr;
    if (pRecord != nullptr)
        m_clrNormalValue = pRecord->GetValueMetrics()->m_clrFore;
    return 0;
}

const _LOGHDR* CLogPropertiesWnd::GetRecordAt(CUSBLog* pDocument, INT_PTR nRow) {
    LogRecords::CLogRecords* pRecords = pDocument != nullptr ? pDocument->GetLogRecords() : nullptr;
    if (pRecords == nullptr)
        return nullptr;
    try {
        return pRecords->GetRecordAt(pDocument, nRow);
    } catch (CInvalidArgException* pException) {
        pException->Delete();
        return nullptr;
    }
}

void CLogPropertiesWnd::ShowRecord(CUSBLog* pDocument, INT_PTR nRow) {
    const _LOGHDR* pRecord = GetRecordAt(pDocument, nRow);
    if (pRecord == nullptr)
        return;
    GridOutputImp backEnd(this);
    if (!DecodeLogRecord(backEnd, pDocument, pRecord))
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_PANES, "No decoder for row %I64d", static_cast<LONGLONG>(nRow));
}

void CLogPropertiesWnd::ClearRecord() {
    CGkPropertyGridItems* pCategories = m_wndPropertyGrid.GetCategories();
    CGkPropertyGridItem* pLogEntry = pCategories->FindItem(kLogDetailsCategories[0]);
    if (pLogEntry != nullptr) {
        for (const char* caption : kRecordItems) {
            CGkPropertyGridItem* pItem = pLogEntry->GetChilds()->FindItem(caption);
            if (pItem != nullptr)
                pItem->SetValue("");
        }
    }
    for (size_t i = 1; i < std::size(kLogDetailsCategories); ++i) {
        CGkPropertyGridItem* pCategory = pCategories->FindItem(kLogDetailsCategories[i]);
        if (pCategory == nullptr)
            continue;
        if (static_cast<int>(i) >= kLogDetailsFirstKindCategory)
            pCategory->GetChilds()->Clear();
        pCategory->SetHidden(TRUE);
    }
}

BOOL CLogPropertiesWnd::IsMainWindowButton(UINT nID) const {
    return nID == GridOutputImp::kExportCsvId || CPropertiesWnd::IsMainWindowButton(nID);
}
