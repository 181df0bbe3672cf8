// The record list's cell texts and colours: each fetches the row's record from the active view and hands a
// view of it to RecordFormat.
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecordDecode.h"
#include "app/core/records/LogRecords.h"
#include "app/core/records/RecordFormat.h"
#include "app/ui/loglist/LogListView.h"
#include "windows.h"

namespace {

// The frequency the document's time stamps count in: the one the document keeps for the machine that
// captured its records, or, for a document that keeps none, this machine's.
template <class Document> LONGLONG CounterFrequency(const Document& document) {
    if constexpr (requires { document.GetPerformanceFrequency(); }) {
        return document.GetPerformanceFrequency();
    } else {
        LARGE_INTEGER frequency{};
        return ::QueryPerformanceFrequency(&frequency) ? frequency.QuadPart : 0;
    }
}

} // namespace

namespace LogRecords {

_LOGHDR* CLogRecords::FindRecordAt(CUSBLog* pDocument, INT_PTR nIndex) const {
    return nIndex < 0 ? nullptr : GetRecordAt(pDocument, nIndex);
}

CLogRecordDecode CLogRecords::RowView(CUSBLog* pDocument, INT_PTR nIndex) const {
    return CLogRecordDecode(FindRecordAt(pDocument, nIndex), pDocument);
}

void CLogRecords::FormatCategory(CUSBLog* pDocument, INT_PTR nIndex, CString& strText, CString& strShortText) const {
    RecordFormat::Category(RowView(pDocument, nIndex), strText, strShortText);
}

ULONG CLogRecords::FormatSequence(CUSBLog* pDocument, INT_PTR nIndex, BOOL& bBankBoundary) const {
    const bool filtered = pDocument && pDocument->IsBufferFilterOn();
    const CRecordIndex& older = filtered ? GetFilteredIndex(m_nCurrentBank ^ 1) : GetBankIndex(m_nCurrentBank ^ 1);
    const CRecordIndex& current = filtered ? GetFilteredIndex(m_nCurrentBank) : GetBankIndex(m_nCurrentBank);
    bBankBoundary = older.GetSize() > 0 && current.GetSize() > 0 && nIndex == older.GetSize() - 1;
    return RowView(pDocument, nIndex).GetSequenceNumber();
}

void CLogRecords::FormatRequest(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const {
    RecordFormat::Request(RowView(pDocument, nIndex), strText);
}

void CLogRecords::FormatDirection(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const {
    RecordFormat::Direction(RowView(pDocument, nIndex), strText);
}

void CLogRecords::FormatElapsedTime(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const {
    const _LOGHDR* pRecord = FindRecordAt(pDocument, nIndex);
    const CLogListView* pView = pDocument ? dynamic_cast<const CLogListView*>(pDocument->GetFirstView()) : nullptr;
    const int nUnit = pView ? pView->GetTimeUnit() : CLogListView::TimeUnitSeconds;
    const int nMode = pView ? pView->GetTimeMode() : 0;
    LONGLONG llReference = m_llLatestStart;
    if (nMode == CLogListView::TimeModeSincePrevious) {
        // The first row, or one whose predecessor is gone, is timed from itself.
        const _LOGHDR* pPrevious = nIndex > 0 ? FindRecordAt(pDocument, nIndex - 1) : nullptr;
        llReference = CLogRecordDecode(pPrevious ? pPrevious : pRecord, pDocument).GetTimeStamp();
    }
    const LONGLONG llFrequency = pDocument ? CounterFrequency(*pDocument) : 0;
    RecordFormat::ElapsedTime(CLogRecordDecode(pRecord, pDocument), llReference, llFrequency, nUnit, strText);
}

void CLogRecords::FormatTargetDeviceObject(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const {
    RecordFormat::TargetDeviceObject(RowView(pDocument, nIndex), strText);
}

void CLogRecords::FormatTargetDevice(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const {
    RecordFormat::TargetDevice(RowView(pDocument, nIndex), strText);
}

void CLogRecords::FormatCfgIfcEp(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const {
    RecordFormat::CfgIfcEp(RowView(pDocument, nIndex), strText);
}

void CLogRecords::FormatIsoErrors(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const {
    RecordFormat::IsoErrors(RowView(pDocument, nIndex), strText);
}

void CLogRecords::FormatCbw(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const {
    RecordFormat::Cbw(RowView(pDocument, nIndex), strText);
}

void CLogRecords::FormatCsw(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const {
    RecordFormat::Csw(RowView(pDocument, nIndex), strText);
}

void CLogRecords::FormatIrpAddress(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const {
    RecordFormat::IrpAddress(RowView(pDocument, nIndex), strText);
}

void CLogRecords::FormatIrpStatus(CUSBLog* pDocument, INT_PTR nIndex, CString& strText) const {
    RecordFormat::IrpStatus(RowView(pDocument, nIndex), strText);
}

void CLogRecords::GetRecordColours(CUSBLog* pDocument, INT_PTR nIndex, COLORREF& crText, COLORREF& crBackground) const {
    const RecordFormat::CellColours colours = RecordFormat::KindColours(RowView(pDocument, nIndex));
    crText = colours.text;
    crBackground = colours.background;
}

void CLogRecords::GetRecordHighlight(CUSBLog* pDocument, INT_PTR nIndex, COLORREF& crText,
                                     COLORREF& crBackground) const {
    const ULONG trigger = pDocument ? pDocument->GetTriggerSequenceNumber() : 0;
    const RecordFormat::CellColours colours = RecordFormat::Highlight(RowView(pDocument, nIndex), trigger);
    crText = colours.text;
    crBackground = colours.background;
}

} // namespace LogRecords
