#include "app/core/USBLog.h"

#include "app/core/FilterDefinition.h"
#include "app/core/LogRecords.h"
#include "app/core/Resource.h"
#include "app/core/Trace.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"

IMPLEMENT_DYNCREATE(CUSBLog, CDocument)

CUSBLog::CUSBLog()
    : m_pLogRecords(nullptr), m_bBufferFilterOn(0), m_pBufferFilter(nullptr), m_nRecordSchema(CurrentRecordSchema),
      m_pSettings(nullptr), m_bLogging(false), m_bTriggerOn(0), m_nTriggerSeqNum(0), m_pTrigger(nullptr),
      m_nExpectedSeqNum(0), m_nSeqGapCount(0) {
    m_pLogRecords = new LogRecords::CLogRecords(this);
}

CUSBLog::~CUSBLog() {
    delete m_pLogRecords;
    delete m_pBufferFilter;
    delete m_pTrigger;
}

void CUSBLog::SetBufferFilter(CFilterDefinition* pFilter) {
    if (pFilter == m_pBufferFilter)
        return;
    delete m_pBufferFilter;
    m_pBufferFilter = pFilter;
}

void CUSBLog::SetTrigger(CFilterDefinition* pTrigger) {
    if (pTrigger == m_pTrigger)
        return;
    delete m_pTrigger;
    m_pTrigger = pTrigger;
}

CView* CUSBLog::GetFirstView() const {
    POSITION pos = GetFirstViewPosition();
    return pos != nullptr ? GetNextView(pos) : nullptr;
}

CWnd* CUSBLog::GetMainWindow() const {
    return AfxGetMainWnd();
}

void CUSBLog::PostStopCommand() const {
    CWnd* pMainWnd = GetMainWindow();
    if (pMainWnd != nullptr && pMainWnd->GetSafeHwnd() != nullptr)
        ::PostMessage(pMainWnd->GetSafeHwnd(), WM_COMMAND, ID_USB_STOPEVENTCAPTURE, 0);
}

INT_PTR CUSBLog::ProcessCaptureFragment(BYTE* pBuffer, DWORD dwLength, BOOL& bTriggered) {
    bTriggered = FALSE;
    LogRecords::CLogRecords* pRecords = m_pLogRecords;
    if (pRecords == nullptr)
        return 0;
    const bool bTest = IsLogging() && IsTriggerOn() && m_pTrigger != nullptr;
    const bool bFilter = IsBufferFilterOn() && m_pBufferFilter != nullptr;
    size_t offset = 0;
    while (offset < dwLength) {
        BYTE* pRecord = pBuffer + offset;
        const size_t left = dwLength - offset;
        // The driver hands out whole records; a record cut by the block's end is damage, never indexed (its
        // bytes may be the next read's, and its header may not even be here).
        if (left < RECORD_FRAME_SIZE || RecordSizeFor(LogHdr::DataSize(pRecord)) > left) {
            TDL_TRACE(TRACE_WARNING, TRACE_AREA_DOCUMENT, "Record cut at offset %u of a %u-byte fragment; not indexed",
                      static_cast<unsigned>(offset), static_cast<unsigned>(dwLength));
            break;
        }
        const size_t size = static_cast<size_t>(RecordSizeFor(LogHdr::DataSize(pRecord)));
        const ULONG nSequence = LogHdr::SequenceNumber(pRecord);
        if (m_nExpectedSeqNum == 0) {
            m_nExpectedSeqNum = nSequence;
        } else if (nSequence != m_nExpectedSeqNum) {
            // The mark lives in the bank, so it survives in a saved log with no side table.
            tdl::StoreLe<ULONG>(pRecord + offsetof(_LOGHDR, Sync), LogTag::GapSync);
            ++m_nSeqGapCount;
            m_nExpectedSeqNum = nSequence;
        }
        ++m_nExpectedSeqNum;

        auto* pHeader = reinterpret_cast<_LOGHDR*>(pRecord);
        const ULONG nType = LogHdr::LogType(pRecord);
        pRecords->Add(pHeader);
        if (nType == LogTag::atsL) {
            const LONGLONG llTimeStamp = LogHdr::TimeStamp(pRecord);
            pRecords->SetTimeOrigin(llTimeStamp);
            pRecords->SetLatestStart(llTimeStamp);
        } else if (nType != LogTag::dneL) {
            if (bTest && m_pTrigger->Match(pRecord, size, m_nRecordSchema)) {
                m_nTriggerSeqNum = nSequence;
                // Posted, never run here: the stop serves pending fragments inside this walk, and in background
                // logging it would wait for this very thread. One stop per fragment is enough.
                if (!bTriggered)
                    PostStopCommand();
                bTriggered = TRUE;
            }
            if (bFilter)
                pRecords->AddFiltered(this, pHeader);
        }
        offset += size;
    }
    return pRecords->GetDisplayCount(this);
}
