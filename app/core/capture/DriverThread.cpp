#include "app/core/capture/DriverThread.h"

#include <exception>
#include <limits>

#include "app/core/app/Resource.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/core/settings/AppSettings.h"
#include "app/devices/AttachedDevices.h"
#include "common/ControlCodes.h"
#include "common/RecordFrame.h"
#include "windows.h"

namespace {

constexpr char kCaption[] = "Tindaloft";

// The thread's own messages: no owner window, so the user-interface thread is never blocked by them.
void ThreadMessage(LPCSTR lpszText, UINT nIcon) {
    ::MessageBoxA(nullptr, lpszText, kCaption, MB_OK | nIcon);
}

// The code a C++ exception carries when it crosses a structured-exception handler.
constexpr DWORD kCppExceptionCode = 0xE06D7363;

} // namespace

CDriverThread::CDriverThread(LPCSTR lpszDeviceName, CUSBLog* pDocument)
    : m_hDevice(nullptr), m_strDeviceName(lpszDeviceName), m_dwLastError(0), m_dwThreadError(0), m_bBackground(false),
      m_hStopEvent(nullptr), m_pDocument(pDocument), m_hNotifyWnd(nullptr), m_nNotifyMessage(0), m_hStartEvent(nullptr),
      m_dwStartStatus(0), m_bStartPublished(false) {
    CView* pView = pDocument != nullptr ? pDocument->GetFirstView() : nullptr;
    if (pView != nullptr && ::IsWindow(pView->GetSafeHwnd())) {
        m_hNotifyWnd = pView->GetSafeHwnd();
        m_nNotifyMessage = ::RegisterWindowMessageA("LogListView");
    }
}

CDriverThread::~CDriverThread() {
    if (m_hDevice != nullptr)
        ::CloseHandle(m_hDevice);
    if (m_hStopEvent != nullptr)
        ::CloseHandle(m_hStopEvent);
}

void CDriverThread::Raise(DWORD dwCode) {
    ::RaiseException(dwCode, EXCEPTION_NONCONTINUABLE, 0, nullptr);
    std::terminate(); // RaiseException never returns
}

BOOL CDriverThread::Request(DWORD dwCode, LPVOID lpIn, DWORD dwInLength, LPVOID lpOut, DWORD dwOutLength,
                            DWORD* pdwReturned) {
    DWORD dwReturned = 0;
    const BOOL bOk = ::DeviceIoControl(m_hDevice, dwCode, lpIn, dwInLength, lpOut, dwOutLength, &dwReturned, nullptr);
    m_dwLastError = bOk ? 0 : ::GetLastError();
    if (pdwReturned != nullptr)
        *pdwReturned = dwReturned;
    return bOk;
}

void CDriverThread::DeviceOpen() {
    HANDLE hDevice = ::CreateFileA(m_strDeviceName, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_EXISTING, 0, nullptr);
    if (hDevice == INVALID_HANDLE_VALUE || hDevice == nullptr) {
        m_hDevice = nullptr;
        m_dwLastError = ::GetLastError();
        Raise(ErrorOpen);
    }
    m_hDevice = hDevice;
    m_dwLastError = 0;
}

void CDriverThread::DeviceClose() {
    if (m_hDevice == nullptr)
        return;
    if (::CloseHandle(m_hDevice))
        m_hDevice = nullptr;
    else
        m_dwLastError = ::GetLastError();
}

void CDriverThread::IoctlEnableLogging(DWORD dwValue) {
    if (!Request(IOCTL_TINDALOFT_ENABLE_LOG, &dwValue, sizeof dwValue, nullptr, 0))
        Raise(ErrorEnableLog);
}

void CDriverThread::IoctlDisableLogging() {
    if (!Request(IOCTL_TINDALOFT_DISABLE_LOG, nullptr, 0, nullptr, 0))
        Raise(ErrorDisableLog);
}

void CDriverThread::IoctlClearLog() {
    if (!Request(IOCTL_TINDALOFT_CLEAR_LOG, nullptr, 0, nullptr, 0))
        Raise(ErrorClearLog);
}

void CDriverThread::IoctlClearRegistrySettings() {
    if (!Request(IOCTL_TINDALOFT_CLR_REGNODES, nullptr, 0, nullptr, 0) && m_dwLastError != ERROR_IO_PENDING)
        Raise(ErrorClearRegistry);
    m_dwLastError = 0;
}

void CDriverThread::IoctlSetDevobjFlags(BYTE* pList, DWORD dwLength) {
    if (!Request(IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS, pList, dwLength, nullptr, 0))
        Raise(ErrorSetDeviceList);
}

void CDriverThread::SwitchBanks() {
    LogRecords::CLogRecords* pRecords = m_pDocument->GetLogRecords();
    if (m_bBackground.load() || m_hNotifyWnd == nullptr) {
        pRecords->SwitchBanks(m_pDocument);
        return;
    }
    // Only the user-interface thread touches the index here: the view takes this after every earlier
    // fragment (sent messages keep their order), makes the other bank current and reloads its list. When it
    // has, the banks flip and the new one is reset; a view that is gone lets the thread switch itself.
    if (::IsWindow(m_hNotifyWnd)) {
        ::SendMessageA(m_hNotifyWnd, m_nNotifyMessage, 0, 0);
        if (::IsWindow(m_hNotifyWnd)) {
            pRecords->SwitchBanks(nullptr);
            return;
        }
    }
    pRecords->SwitchBanks(m_pDocument);
}

CDriverThread::ReadResult CDriverThread::ReadOnce(DWORD& rdwBytes) {
    rdwBytes = 0;
    LogRecords::CLogRecords* pRecords = m_pDocument->GetLogRecords();
    // A lock that fails has shown the bank's message; no read races a reset of the bank. The lock is released
    // on every way out of this scope, and before the switch of banks (which takes the bank's lock itself).
    LogRecords::CBufferLock lock(*pRecords, INFINITE);
    if (!lock.IsLocked())
        return ReadResult::Empty;
    BYTE* pWrite = nullptr;
    DWORD dwLeft = 0;
    if (!pRecords->GetWriteSpace(pWrite, dwLeft)) {
        lock.Unlock();
        SwitchBanks();
        if (!lock.Lock(INFINITE))
            return ReadResult::Empty;
        if (!pRecords->GetWriteSpace(pWrite, dwLeft))
            dwLeft = 0;
    }
    // The driver answers a zero length with an error of its own; no space is a full buffer, never a read.
    if (dwLeft == 0)
        return ReadResult::Full;
    const BOOL bOk = Request(IOCTL_TINDALOFT_READ_LOG, pWrite, dwLeft, pWrite, dwLeft, &rdwBytes);
    if (bOk && rdwBytes != 0)
        pRecords->AdvanceWrite(rdwBytes);
    lock.Unlock();
    if (!bOk) {
        rdwBytes = 0;
        return m_dwLastError == ERROR_INSUFFICIENT_BUFFER ? ReadResult::Full : ReadResult::Failed;
    }
    if (rdwBytes == 0)
        return ReadResult::Empty;
    m_llFirstRecordTime = rdwBytes >= LOGHDR_SIZE ? LogHdr::TimeStamp(pWrite) : std::numeric_limits<LONGLONG>::min();
    if (m_bBackground.load()) {
        BOOL bTriggered = FALSE;
        m_pDocument->ProcessCaptureFragment(pWrite, rdwBytes, bTriggered);
    } else if (m_hNotifyWnd != nullptr) {
        ::SendNotifyMessageA(m_hNotifyWnd, m_nNotifyMessage, reinterpret_cast<WPARAM>(pWrite),
                             static_cast<LPARAM>(rdwBytes));
    }
    return ReadResult::Read;
}

BOOL CDriverThread::IoctlReadLog(DWORD* pdwBytes) {
    DWORD dwBytes = 0;
    const ReadResult result = ReadOnce(dwBytes);
    if (pdwBytes != nullptr)
        *pdwBytes = dwBytes;
    switch (result) {
    case ReadResult::Full:
        if (!m_bBackground.load())
            ThreadMessage("USB event capture buffer is full. Session ending.", MB_ICONINFORMATION);
        PostStop();
        return FALSE;
    case ReadResult::Failed: Raise(ErrorReadLog);
    case ReadResult::Read:
    case ReadResult::Empty: break;
    }
    return TRUE;
}

void CDriverThread::Drain() {
    for (int i = 0; i < MaxDrainReads; ++i) {
        DWORD dwBytes = 0;
        if (ReadOnce(dwBytes) != ReadResult::Read)
            return;
    }
}

void CDriverThread::ReadLoop(DWORD dwWait) {
    CReadPace pace(dwWait);
    bool bFull = false;
    DWORD dwNextWait = dwWait;
    for (;;) {
        const DWORD dwResult = ::WaitForSingleObject(m_hStopEvent, dwNextWait);
        if (dwResult == WAIT_OBJECT_0)
            break;
        if (dwResult != WAIT_TIMEOUT) {
            m_dwLastError = ::GetLastError();
            Raise(ErrorWait);
        }
        DWORD dwBytes = 0;
        const LONGLONG llStart = Now();
        if (!IoctlReadLog(&dwBytes))
            bFull = true; // the session is ending: the loop only waits for the stop from here on
        if (bFull) {
            dwNextWait = FullBufferWait;
            continue;
        }
        const LONGLONG llWait = pace.Next(dwBytes, m_llFirstRecordTime, llStart, Now());
        dwNextWait = static_cast<DWORD>(llWait / CReadPace::CountsPerMillisecond);
        if (dwNextWait == 0 && llWait != 0)
            SpinFor(llWait);
    }
    // What the driver captured up to the stop is the session's too.
    Drain();
    IoctlDisableLogging();
}

LONGLONG CDriverThread::Now() {
    LARGE_INTEGER now;
    ::QueryPerformanceCounter(&now);
    return now.QuadPart;
}

void CDriverThread::SpinFor(LONGLONG llCounts) {
    // Less than the shortest wait on the stop event, while the log fills a block faster than that: the thread
    // keeps its processor (given up, a busy machine might not hand it back for longer than the log can hold),
    // for a bounded number of turns (a clock that stands still must not hold the thread here).
    const LONGLONG llUntil = Now() + llCounts;
    for (int i = 0; i < MaxSpins && Now() < llUntil; ++i)
        YieldProcessor();
}

void CDriverThread::PublishStart(DWORD dwStatus) {
    if (m_bStartPublished.exchange(true))
        return;
    m_dwStartStatus.store(dwStatus);
    if (m_hStartEvent != nullptr)
        ::SetEvent(m_hStartEvent);
}

void CDriverThread::PostStop() const {
    CWnd* pMainWnd = m_pDocument->GetMainWindow();
    if (pMainWnd != nullptr && pMainWnd->GetSafeHwnd() != nullptr)
        ::PostMessageA(pMainWnd->GetSafeHwnd(), WM_COMMAND, ID_USB_STOPEVENTCAPTURE, 0);
}

void CDriverThread::HandleThreadError(DWORD dwCode, bool bAttach) {
    m_dwThreadError.store(dwCode);
    switch (dwCode) {
    case ErrorOpen: PublishStart(dwCode); return;
    case ErrorClearRegistry:
    case ErrorSetDeviceList:
    case ErrorClearLog:
    case ErrorEnableLog:
        if (!bAttach) {
            DeviceClose();
            PublishStart(dwCode);
            return;
        }
        break;
    case ErrorDisableLog:
        if (!bAttach) {
            DeviceClose();
            ThreadMessage("Error when disabling capture.", MB_ICONSTOP);
            return;
        }
        break;
    case ErrorReadLog:
        DeviceClose();
        PostStop();
        if (!bAttach)
            ThreadMessage("Error while reading log. Session is ending.", MB_ICONSTOP);
        return;
    default: break;
    }
    DeviceClose();
    PublishStart(dwCode);
    PostStop();
    ThreadMessage("Unexpected error. Session is ending.", MB_ICONSTOP);
}

void CDriverThread::RunCapture(bool bAttach) {
    DeviceOpen();
    if (!bAttach) {
        IoctlClearRegistrySettings();
        BYTE* pList = nullptr;
        DWORD dwLength = 0;
        CAttachedDevices* pDevices = m_pDocument->GetAttachedDevices();
        if (pDevices == nullptr || !pDevices->CreateLogDevobjsList(pList, dwLength, false)) {
            DeviceClose();
            m_dwLastError = ErrorDeviceList;
            m_dwThreadError.store(ErrorDeviceList);
            PublishStart(ErrorDeviceList);
            return;
        }
        IoctlSetDevobjFlags(pList, dwLength);
        IoctlClearLog();
    }
    const CAppSettings* pSettings = m_pDocument->GetSettings();
    m_bBackground.store(pSettings != nullptr && pSettings->BackgroundLogging);
    if (!bAttach)
        IoctlEnableLogging(pSettings != nullptr && pSettings->AutoEnable ? 1 : 0);
    PublishStart(0);
    ReadLoop(m_bBackground.load() ? 0 : NotifyWait);
    DeviceClose();
}

UINT CDriverThread::Run(bool bAttach) {
    // Whatever way the thread leaves, the document's wait for the start ends.
    struct Guard {
        CDriverThread* pThread;
        ~Guard() { pThread->PublishStart(pThread->GetThreadError()); }
    } guard{this};
    try {
        RunCapture(bAttach);
    } catch (const nt::SehException& e) {
        HandleThreadError(static_cast<DWORD>(e.Code()), bAttach);
    } catch (CException* e) {
        e->Delete();
        HandleThreadError(kCppExceptionCode, bAttach);
    } catch (...) {
        // A fault of C++ (no memory, a broken invariant) ends the session like any unexpected exception.
        HandleThreadError(kCppExceptionCode, bAttach);
    }
    return 0;
}

UINT CDriverThread::ThreadProc(LPVOID pParam) {
    return static_cast<CDriverThread*>(pParam)->Run(false);
}

UINT CDriverThread::AttachThreadProc(LPVOID pParam) {
    return static_cast<CDriverThread*>(pParam)->Run(true);
}
