#include "app/core/document/USBLog.h"

#include <memory>
#include <new>

#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/capture/DriverThread.h"
#include "app/core/capture/KxTdloft.h"
#include "app/core/changelog/ChangeLogDissector.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/records/LogRecords.h"
#include "app/core/settings/AppSettings.h"
#include "app/core/system/FileVersionInfo.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/StackTree.h"
#include "app/devices/System.h"
#include "app/devices/SystemHostControllers.h"
#include "app/ui/PanePointers.h"
#include "common/ControlCodes.h"
#include "common/RecordFrame.h"
#include "common/RecordTags.h"

IMPLEMENT_SERIAL(CUSBLog, CDocument, VERSIONABLE_SCHEMA | CUSBLog::CurrentRecordSchema)

CString CUSBLog::ControlDeviceName() {
    CString strDevice;
    if (!AfxLoadString(IDS_TINDALOFT_DEVICE, strDevice))
        strDevice = "\\\\.\\Tindaloft";
    return strDevice;
}

namespace {

CTindaloftApp* TindaloftApp() {
    return dynamic_cast<CTindaloftApp*>(AfxGetApp());
}

// One change-log request on a device opened for it; nothing when the control device does not open.
template <class Send> void ChangeLogRequest(Send send) {
    CKxTdloft device;
    if (device.TryDeviceOpen()) {
        send(device);
        device.DeviceClose();
    }
}

} // namespace

CUSBLog::CUSBLog()
    : m_pLogRecords(nullptr), m_bBufferFilterOn(0), m_pBufferFilter(nullptr), m_nRecordSchema(CurrentRecordSchema),
      m_pSettings(nullptr), m_bLogging(false), m_bTriggerOn(0), m_nTriggerSeqNum(0), m_pTrigger(nullptr),
      m_nExpectedSeqNum(0), m_nSeqGapCount(0), m_pDriverThread(nullptr), m_pWorker(nullptr), m_hStartEvent(nullptr),
      m_pAttachedDevices(nullptr), m_pAttachedDrivers(nullptr), m_pStackTree(nullptr), m_pHostControllers(nullptr),
      m_bDeviceModelLoaded(0), m_HostSystem(nullptr), m_bDeviceTreeModified(FALSE), m_dwOSValue(0),
      m_procArchitecture(0xFFFF), m_pOwnedSettings(nullptr), m_llStartTime(0), m_nVersionMajor(0), m_nVersionMinor(0),
      m_nVersionThird(0), m_nVersionFourth(0), m_bCaptureFilterOn(0), m_pCaptureFilter(nullptr),
      m_pSaveProgress(nullptr), m_llFrequency(0) {
    // A document can index blocks and hold device stacks before any set-up; InitCaptureDocument makes the rest.
    m_pLogRecords = std::make_unique<LogRecords::CLogRecords>(this);
    m_pAttachedDevices = std::make_unique<CAttachedDevices>();
    const CString strDevice = ControlDeviceName();
    m_pAttachedDrivers = std::make_unique<CAttachedDrivers>(strDevice);
    m_pStackTree = std::make_unique<CStackTree>(strDevice);
    m_ConnectionTree.set_observer(&m_SubtreeObserver);
    m_DeviceFlags.SetSize(DeviceFlagCount);
    LARGE_INTEGER frequency{};
    if (::QueryPerformanceFrequency(&frequency))
        m_llFrequency = frequency.QuadPart;
}

CUSBLog::~CUSBLog() {
    CloseFindDialog();
    DisableLogging();
    CloseBackgroundProgress();
    DeleteContentsObjects();
    m_ConnectionTree.set_observer(nullptr);
}

void CUSBLog::DeleteDeviceModel() {
    // The tree's nodes report to the stacks, so they go first; the root points at the system, which the
    // document owns and deletes once.
    m_ConnectionTree.clear();
    m_ConnectionTree.get() = ::ConnectionElement{};
    m_HostSystem.reset();
    m_pHostControllers.reset();
    m_pStackTree.reset();
    m_pAttachedDevices.reset();
    m_pAttachedDrivers.reset();
}

void CUSBLog::DeleteOwnedSettings() {
    if (m_pSettings == m_pOwnedSettings.get())
        m_pSettings = nullptr;
    m_pOwnedSettings.reset();
}

void CUSBLog::DeleteContentsObjects() {
    DeleteOwnedSettings();
    m_pCaptureFilter.reset();
    m_pBufferFilter.reset();
    m_pTrigger.reset();
    DeleteDeviceModel();
    m_pLogRecords.reset();
}

BOOL CUSBLog::CreateContents() {
    const CString strDevice = ControlDeviceName();
    // What this call made goes again, newest first, when a later step runs out of memory.
    std::unique_ptr<CSystem> pSystem;
    std::unique_ptr<CSystemHostControllers> pHostControllers;
    std::unique_ptr<CAttachedDrivers> pDrivers;
    std::unique_ptr<CStackTree> pStackTree;
    std::unique_ptr<CAttachedDevices> pDevices;
    std::unique_ptr<LogRecords::CLogRecords> pRecords;
    try {
        if (m_HostSystem == nullptr) {
            CTindaloftApp* pApp = TindaloftApp();
            pSystem = std::make_unique<CSystem>(pApp != nullptr ? static_cast<LPCSTR>(pApp->m_strMachineName) : "");
        }
        if (m_pHostControllers == nullptr)
            pHostControllers = std::make_unique<CSystemHostControllers>();
        if (m_pAttachedDrivers == nullptr)
            pDrivers = std::make_unique<CAttachedDrivers>(strDevice);
        if (m_pStackTree == nullptr)
            pStackTree = std::make_unique<CStackTree>(strDevice);
        if (m_pAttachedDevices == nullptr)
            pDevices = std::make_unique<CAttachedDevices>();
        if (m_pLogRecords == nullptr)
            pRecords = std::make_unique<LogRecords::CLogRecords>(this, LogRecords::CLogRecords::CurrentSchema);
    } catch (CMemoryException* e) {
        e->Delete();
        return FALSE;
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
    if (pSystem != nullptr)
        m_HostSystem = std::move(pSystem);
    if (pHostControllers != nullptr)
        m_pHostControllers = std::move(pHostControllers);
    if (pDrivers != nullptr)
        m_pAttachedDrivers = std::move(pDrivers);
    if (pStackTree != nullptr)
        m_pStackTree = std::move(pStackTree);
    if (pDevices != nullptr)
        m_pAttachedDevices = std::move(pDevices);
    if (pRecords != nullptr)
        m_pLogRecords = std::move(pRecords);
    m_nExpectedSeqNum = 0;
    m_nSeqGapCount = 0;
    return TRUE;
}

BOOL CUSBLog::OnNewDocument() {
    if (!CDocument::OnNewDocument())
        return FALSE;
    // Only the live capture talks to the driver; any other document (a saved log's is filled by its file)
    // made new stays empty.
    if (!IsRealtimeDocument())
        return CreateContents();
    if (!InitCaptureDocument())
        return FALSE;
    // The driver has been capturing since the boot: the document takes that capture over as a start does
    // (panes locked, a start time, the list emptied in background logging), never by the thread alone.
    CTindaloftApp* pApp = TindaloftApp();
    if (pApp != nullptr && pApp->IsBootCaptureActive())
        OnUsbStarteventcapture();
    return TRUE;
}

BOOL CUSBLog::InitCaptureDocument() {
    if (!CreateContents())
        return FALSE;
    // A saved log is filled from its file.
    if (IsLogFileDocument())
        return FALSE;
    try {
        CTindaloftApp* pApp = TindaloftApp();
        if (pApp != nullptr) {
            m_procArchitecture = static_cast<WORD>(pApp->m_OSVersion.GetArchitecture());
            m_strOSDescription = pApp->m_OSVersion.GetDescription();
            m_dwOSValue = pApp->m_OSVersion.GetVersionInfo().dwBuildNumber;
            m_pSettings = &pApp->m_Settings;
        }
        InitVersionInfo();
        SetAllDeviceFlags();
        SetConnectionRoot();

        ChangeLogRequest([](CKxTdloft& device) { device.IoctlRefreshDeviceStacks(); });
        if (!m_pStackTree->QueryDriverStacks(m_pAttachedDevices.get()))
            return FALSE;
        if (!m_pHostControllers->EnumerateUsbTree(this) ||
            !m_pAttachedDrivers->QueryDriversAndDevices(m_pAttachedDevices.get(), true))
            return FALSE;

        const DWORD dwBankSize = m_pSettings != nullptr ? m_pSettings->MaxLogBuffer : CAppSettings::DefaultMaxLogBuffer;
        // Room behind the high-water mark for the largest block the driver hands over in one read.
        const DWORD dwReserve = pApp != nullptr ? pApp->m_DriverInfo.LogBlockSize : 0;
        if (!m_pLogRecords->CreateBuffer(dwBankSize, dwReserve))
            return FALSE;
        if (m_pSettings != nullptr && m_pSettings->ContinuousLogging)
            m_pLogRecords->SetCapturing();
        else
            m_pLogRecords->ClearCapturing();
        MarkDeviceModelLoaded();
        EnableChangeLogging();
        return TRUE;
    } catch (CMemoryException* e) {
        e->Delete();
    } catch (const std::bad_alloc&) {
    } catch (const char* lpszText) {
        // The device model's own string exceptions ("allocation failed") end the new document as memory does.
        TDL_TRACE(TRACE_ERROR, TRACE_AREA_DOCUMENT, "InitCaptureDocument: %s", lpszText);
    }
    return FALSE;
}

void CUSBLog::SetConnectionRoot() {
    // The topology below the root is rebuilt by its owners; the root stands for this machine.
    m_ConnectionTree.clear();
    // The machine itself is never captured or not: its element has no check box. Its kind is HostComputer,
    // never left unassigned, so that the tree's readers (and its records) know the machine by it.
    ::ConnectionElement root(FALSE, HostComputer, m_HostSystem.get());
    if (m_HostSystem != nullptr)
        root.m_LabelText = m_HostSystem->GetName();
    m_ConnectionTree.get() = root;
}

void CUSBLog::InitVersionInfo() {
    if (m_nVersionMajor != 0)
        return;
    CFileVersionInfo info(nullptr);
    int anNumbers[4] = {};
    SplitVersionNumbers(info.GetFileVersion(), anNumbers);
    m_nVersionMajor = static_cast<BYTE>(anNumbers[0]);
    m_nVersionMinor = static_cast<BYTE>(anNumbers[1]);
    m_nVersionThird = static_cast<WORD>(anNumbers[2]);
    m_nVersionFourth = static_cast<WORD>(anNumbers[3]);
}

void CUSBLog::RefreshDevices() {
    // Nothing changes until every new object exists: an allocation that fails leaves the old model.
    const CString strDevice = ControlDeviceName();
    auto pHostControllers = std::make_unique<CSystemHostControllers>();
    auto pDrivers = std::make_unique<CAttachedDrivers>(strDevice);
    auto pStackTree = std::make_unique<CStackTree>(strDevice);
    auto pDevices = std::make_unique<CAttachedDevices>();
    DisableChangeLogging();
    CPanePointers panes;
    panes.DeviceModelChanging(this);
    // The tree's nodes report to the stacks they name, so the topology goes before the stacks.
    m_ConnectionTree.clear();
    m_pHostControllers.reset();
    m_pStackTree.reset();
    m_pAttachedDevices.reset();
    m_pAttachedDrivers.reset();
    m_pHostControllers = std::move(pHostControllers);
    m_pAttachedDrivers = std::move(pDrivers);
    m_pStackTree = std::move(pStackTree);
    m_pAttachedDevices = std::move(pDevices);
    // A query that fails leaves its collection as far as it got; the model is still the best there is.
    m_pStackTree->QueryDriverStacks(m_pAttachedDevices.get());
    m_pHostControllers->EnumerateUsbTree(this);
    m_pAttachedDrivers->QueryDriversAndDevices(m_pAttachedDevices.get(), true);
    MarkDeviceModelLoaded();
    EnableChangeLogging();
}

void CUSBLog::MarkDeviceModelLoaded() {
    m_bDeviceModelLoaded = 1;
    m_bDeviceTreeModified = TRUE;
}

void CUSBLog::SetAllDeviceFlags() {
    for (INT_PTR i = 0; i < m_DeviceFlags.GetSize(); ++i)
        m_DeviceFlags[i] = 1;
}

void CUSBLog::SetDeviceFlag(INT_PTR nIndex, BYTE nValue) {
    if (nIndex < 0)
        throw new CInvalidArgException;
    m_DeviceFlags.SetAtGrow(nIndex, nValue);
}

BYTE CUSBLog::GetDeviceFlag(INT_PTR nIndex) const {
    if (nIndex < 0)
        throw new CInvalidArgException;
    // StackIDs are never reused, so a long-lived machine passes the array's end; such a stack reads as every
    // entry starts out.
    if (nIndex >= m_DeviceFlags.GetSize())
        return 1;
    return m_DeviceFlags[nIndex];
}

void CUSBLog::SetCaptureFilter(CFilterDefinition* pFilter) {
    if (pFilter != m_pCaptureFilter.get())
        m_pCaptureFilter.reset(pFilter);
}

void CUSBLog::SetBufferFilter(CFilterDefinition* pFilter) {
    if (pFilter != m_pBufferFilter.get())
        m_pBufferFilter.reset(pFilter);
}

void CUSBLog::SetTrigger(CFilterDefinition* pTrigger) {
    if (pTrigger != m_pTrigger.get())
        m_pTrigger.reset(pTrigger);
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
    LogRecords::CLogRecords* pRecords = m_pLogRecords.get();
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
    case CDriverThread::ErrorOpen: return "Failed to open analyzer driver.";
    case CDriverThread::ErrorClearRegistry: return "Failed to reset analyzer registry.";
    case CDriverThread::ErrorDeviceList: return "Error creating log device list. Session is ending.";
    case CDriverThread::ErrorSetDeviceList: return "Error setting log device list. Session is ending.";
    case CDriverThread::ErrorClearLog: return "Error clearing driver buffer. Session is ending.";
    case CDriverThread::ErrorEnableLog: return "Failed to enable capture. Session is ending.";
    default: return nullptr;
    }
}

void CUSBLog::EnableLogging() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DOCUMENT, "--CUSBLog::EnableLogging");
    // The thread reads into the record store's banks: no store, nothing to capture into.
    if (m_pDriverThread != nullptr || m_pLogRecords == nullptr)
        return;
    auto pThread = std::make_unique<CDriverThread>(ControlDeviceName(), this);
    HANDLE hStart = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HANDLE hStop = hStart != nullptr ? ::CreateEventA(nullptr, TRUE, FALSE, nullptr) : nullptr;
    std::unique_ptr<CWinThread> pWorker;
    if (hStop != nullptr) {
        pThread->SetStopEvent(hStop);
        pThread->SetStartEvent(hStart);
        CTindaloftApp* pApp = dynamic_cast<CTindaloftApp*>(AfxGetApp());
        const bool bAttach = pApp != nullptr && pApp->IsBootCaptureActive();
        if (bAttach)
            pApp->ClearBootCaptureFlags(); // one attachment only
        // Suspended, so that the object is kept after its thread ends: it is joined before it is deleted.
        pWorker.reset(AfxBeginThread(bAttach ? &CDriverThread::AttachThreadProc : &CDriverThread::ThreadProc,
                                     pThread.get(), THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED));
    }
    if (pWorker == nullptr) {
        // No thread or no event: nothing runs, so nothing is logging.
        if (hStart != nullptr)
            ::CloseHandle(hStart);
        pThread.reset(); // closes the stop event
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
        pWorker.reset();
        pThread.reset();
        ::CloseHandle(hStart);
        if (LPCSTR lpszMessage = StartFailureMessage(dwStatus))
            AfxMessageBox(lpszMessage, MB_ICONSTOP);
        return;
    }
    m_pDriverThread = std::move(pThread);
    m_pWorker = std::move(pWorker);
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
    m_pWorker.reset();
    m_pDriverThread.reset();
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
    // The thread writes into the banks deleted below, whatever kind of document started it.
    DisableLogging();
    if (IsRealtimeDocument()) {
        DisableChangeLogging();
        ClearChangeLog();
    }
    DeleteOwnedSettings();
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
    SetCaptureFilter(nullptr);
    SetBufferFilter(nullptr);
    SetTrigger(nullptr);
    m_nTriggerSeqNum = 0;
    m_nExpectedSeqNum = 0;
    // Panes drop their pointers into the device model before it goes.
    panes.DeviceModelChanging(this);
    DeleteDeviceModel();
    m_bDeviceModelLoaded = 0;
    m_pLogRecords.reset();
    CDocument::DeleteContents();
}
