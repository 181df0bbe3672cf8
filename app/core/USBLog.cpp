#include "app/core/USBLog.h"

#include "app/core/ChangeLogDissector.h"
#include "app/core/DriverThread.h"
#include "app/core/FilterDefinition.h"
#include "app/core/KxTdloft.h"
#include "app/core/LogRecords.h"
#include "app/core/Resource.h"
#include "app/core/TindaloftApp.h"
#include "app/core/Trace.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/StackTree.h"
#include "app/ui/PanePointers.h"
#include "common/ControlCodes.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"

IMPLEMENT_DYNCREATE(CUSBLog, CDocument)

CUSBLog::CUSBLog()
    : m_pLogRecords(nullptr), m_bBufferFilterOn(0), m_pBufferFilter(nullptr), m_nRecordSchema(CurrentRecordSchema),
      m_pSettings(nullptr), m_bLogging(false), m_bTriggerOn(0), m_nTriggerSeqNum(0), m_pTrigger(nullptr),
      m_nExpectedSeqNum(0), m_nSeqGapCount(0), m_pDriverThread(nullptr), m_pWorker(nullptr), m_hStartEvent(nullptr),
      m_pAttachedDevices(nullptr), m_pAttachedDrivers(nullptr), m_pStackTree(nullptr), m_bDeviceTreeModified(FALSE) {
    m_pLogRecords = new LogRecords::CLogRecords(this);
    m_pAttachedDevices = new CAttachedDevices;
    m_pAttachedDrivers = new CAttachedDrivers;
    m_pStackTree = new CStackTree;
}

CUSBLog::~CUSBLog() {
    DisableLogging();
    delete m_pStackTree;
    delete m_pAttachedDevices;
    delete m_pAttachedDrivers;
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

LPCSTR CUSBLog::StartFailureMessage(DWORD dwCode) {
    switch (dwCode) {
    case CDriverThread::ErrorOpen:
        return "Failed to open analyzer driver.";
    case CDriverThread::ErrorClearRegistry:
        return "Failed to reset analyzer registry.";
    case CDriverThread::ErrorDeviceList:
        return "Error creating log device list. Session is ending.";
    case CDriverThread::ErrorSetDeviceList:
        return "Error setting log device list. Session is ending.";
    case CDriverThread::ErrorClearLog:
        return "Error clearing driver buffer. Session is ending.";
    case CDriverThread::ErrorEnableLog:
        return "Failed to enable capture. Session is ending.";
    default:
        return nullptr;
    }
}

void CUSBLog::EnableLogging() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DOCUMENT, "--CUSBLog::EnableLogging");
    if (m_pDriverThread != nullptr)
        return;
    CString strDevice;
    if (!AfxLoadString(IDS_TINDALOFT_DEVICE, strDevice))
        strDevice = "\\\\.\\Tindaloft";
    auto* pThread = new CDriverThread(strDevice, this);
    HANDLE hStart = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE hStop = hStart != nullptr ? ::CreateEventA(nullptr, TRUE, FALSE, nullptr) : nullptr;
    CWinThread* pWorker = nullptr;
    if (hStop != nullptr) {
        pThread->SetStopEvent(hStop);
        pThread->SetStartEvent(hStart);
        CTindaloftApp* pApp = dynamic_cast<CTindaloftApp*>(AfxGetApp());
        const bool bAttach = pApp != nullptr && pApp->IsBootCaptureActive();
        if (bAttach)
            pApp->ClearBootCaptureFlags(); // one attachment only
        // Suspended, so that the object is kept after its thread ends: it is joined before it is deleted.
        pWorker = AfxBeginThread(bAttach ? &CDriverThread::AttachThreadProc : &CDriverThread::ThreadProc, pThread,
                                 THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    }
    if (pWorker == nullptr) {
        // No thread or no event: nothing runs, so nothing is logging.
        if (hStart != nullptr)
            ::CloseHandle(hStart);
        delete pThread; // closes the stop event
        AfxMessageBox(StartFailureMessage(CDriverThread::ErrorEnableLog), MB_ICONSTOP);
        return;
    }
    pWorker->m_bAutoDelete = FALSE;
    pWorker->ResumeThread();

    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DOCUMENT, "Waiting for thread to initialize");
    if (::WaitForSingleObject(hStart, INFINITE) != WAIT_OBJECT_0)
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DOCUMENT, "Thread start error");
    else
        TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DOCUMENT, "thread has finished initialization (0x%x)",
                  static_cast<unsigned>(pThread->GetLastErrorCode()));
    const DWORD dwStatus = pThread->GetStartStatus();
    if (dwStatus != 0) {
        ::WaitForSingleObject(pWorker->m_hThread, INFINITE);
        delete pWorker;
        delete pThread;
        ::CloseHandle(hStart);
        if (LPCSTR lpszMessage = StartFailureMessage(dwStatus))
            AfxMessageBox(lpszMessage, MB_ICONSTOP);
        return;
    }
    m_pDriverThread = pThread;
    m_pWorker = pWorker;
    m_hStartEvent = hStart;
    SetLogging(TRUE);
}

void CUSBLog::ServeSentMessages() {
    MSG msg;
    // PeekMessage runs the messages sent from other threads before it looks at the queue.
    ::PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
}

void CUSBLog::DisableLogging() {
    if (m_pDriverThread == nullptr)
        return;
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DOCUMENT, "--CUSBLog::DisableLogging");
    ::SetEvent(m_pDriverThread->GetStopEvent());
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DOCUMENT, "Waiting for thread to terminate");
    HANDLE hThread = m_pWorker->m_hThread;
    // The thread sends the view its last blocks while it drains; serve them, or it would never end.
    for (;;) {
        const DWORD dwResult = ::MsgWaitForMultipleObjects(1, &hThread, FALSE, INFINITE, QS_SENDMESSAGE);
        if (dwResult == WAIT_OBJECT_0 + 1) {
            ServeSentMessages();
            continue;
        }
        break;
    }
    ServeSentMessages();
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DOCUMENT, "Thread terminated");
    SetLogging(FALSE);
    delete m_pWorker;
    m_pWorker = nullptr;
    delete m_pDriverThread;
    m_pDriverThread = nullptr;
    ::CloseHandle(m_hStartEvent);
    m_hStartEvent = nullptr;
}

bool CUSBLog::IsRealtimeDocument() const {
    return GetDocTemplate() != nullptr && GetDocTemplate()->m_nIDResource == IDR_TDLOFT_REALTIME;
}

bool CUSBLog::IsLogFileDocument() const {
    return GetDocTemplate() != nullptr && GetDocTemplate()->m_nIDResource == IDR_TDLOFT_TYPE;
}

void CUSBLog::DissectChangeLogFragment(const BYTE* pBuffer, DWORD dwLength) {
    ChangeLog::Dissect(*this, pBuffer, dwLength);
}

void CUSBLog::ProcessDevobjArrival(const BYTE*) {}
void CUSBLog::ProcessDevobjRemoval(const BYTE*) {}
void CUSBLog::ProcessDrvobjArrival(const BYTE*) {}
void CUSBLog::ProcessDrvobjRemoval(const BYTE*) {}
void CUSBLog::ProcessDevstkArrival(const BYTE*) {}
void CUSBLog::ProcessDevstkRemoval(const BYTE*) {}

namespace {

// One change-log request on a device opened for it; nothing when the control device does not open.
template <class Send> void ChangeLogRequest(Send send) {
    CKxTdloft device;
    if (device.TryDeviceOpen()) {
        send(device);
        device.DeviceClose();
    }
}

} // namespace

void CUSBLog::EnableChangeLogging() {
    ChangeLogRequest([](CKxTdloft& device) { device.IoctlEnableChangeLogging(0); });
}

void CUSBLog::DisableChangeLogging() {
    ChangeLogRequest([](CKxTdloft& device) { device.IoctlDisableChangeLogging(); });
}

void CUSBLog::ClearChangeLog() {
    ChangeLogRequest([](CKxTdloft& device) { device.IoctlClearChangeLogBuffer(); });
}

void CUSBLog::DeleteContents() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DOCUMENT, "--CUSBLog::DeleteContents");
    const bool bLive = IsRealtimeDocument();
    if (bLive) {
        DisableLogging();
        DisableChangeLogging();
        ClearChangeLog();
    }
    CPanePointers panes;
    panes.LogDetailsShow();
    panes.DevicePropertiesUpdate();
    if (IsLogFileDocument())
        panes.SystemPropertiesShow();
    panes.DataBarClear(TRUE);
    if (IsBufferFilterOn()) {
        SetBufferFilterOn(FALSE);
        if (m_pLogRecords != nullptr)
            m_pLogRecords->ClearFiltered();
    }
    SetBufferFilter(nullptr);
    SetTrigger(nullptr);
    m_nTriggerSeqNum = 0;
    m_nExpectedSeqNum = 0;
    // Panes drop their pointers into the device model before it goes.
    panes.DeviceModelChanging(this);
    CDocument::DeleteContents();
}
