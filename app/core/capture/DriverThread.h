// CDriverThread: one live capture's worker. It opens its own handle to the control device, tells the driver
// which device objects to capture, clears and enables the capture log, reports its start to the document,
// then drains the capture log into the current capture bank until the document sets its stop event. In
// background logging it indexes each block itself; otherwise it hands each block to the record list view,
// which indexes it on the user-interface thread.
//
// Threads: the start status is written once, before the document's start event is set, and never changed by
// the running capture. The stop event is set only by the document. The bank's lock is held only around a read
// and the advance of the write pointer.
#pragma once

#include <atomic>

#include "afxwin.h"

#include "app/core/capture/ReadPace.h"

class CUSBLog;

class CDriverThread : public CObject {
public:
    // Own exception codes of the capture thread.
    static constexpr DWORD ErrorOpen = 0xA0000001;
    static constexpr DWORD ErrorClearRegistry = 0xA0000002;
    static constexpr DWORD ErrorDeviceList = 0xA0000003;
    static constexpr DWORD ErrorSetDeviceList = 0xA0000004;
    static constexpr DWORD ErrorClearLog = 0xA0000005;
    static constexpr DWORD ErrorEnableLog = 0xA0000006;
    static constexpr DWORD ErrorWait = 0xA0000007;
    static constexpr DWORD ErrorDisableLog = 0xA0000008;
    static constexpr DWORD ErrorReadLog = 0xA0000009;

    // Reads at stop, at most: enough for every block the driver can hold queued, never without end.
    static constexpr int MaxDrainReads = 64;
    // The pause between rounds once the buffer is full.
    static constexpr DWORD FullBufferWait = 5000;
    // The pause between reads outside background logging while the log is quiet.
    static constexpr DWORD NotifyWait = 250;
    // In background logging, the pause after a read that found the driver's log empty (it doubles while the
    // log stays empty, up to CReadPace::QuietWait): an idle log is not polled in a loop that takes a processor
    // from the threads writing the records. Between reads that bring records the pace is CReadPace's.
    static constexpr DWORD IdleBackgroundWait = CReadPace::FirstIdleWait;

    CDriverThread(LPCSTR lpszDeviceName, CUSBLog* pDocument);
    // Closes the stop event, and the device when still open.
    ~CDriverThread() override;
    CDriverThread(const CDriverThread&) = delete;
    CDriverThread& operator=(const CDriverThread&) = delete;

    void DeviceOpen();
    void DeviceClose();
    void IoctlEnableLogging(DWORD dwValue);
    void IoctlDisableLogging();
    void IoctlClearLog();
    void IoctlClearRegistrySettings();
    void IoctlSetDevobjFlags(BYTE* pList, DWORD dwLength);
    // One read into the current bank: FALSE when the buffer is full (the session is told to end).
    // *pdwBytes, when given, receives the bytes the driver handed over (0: it had nothing).
    BOOL IoctlReadLog(DWORD* pdwBytes = nullptr);
    void ReadLoop(DWORD dwWait);

    static UINT ThreadProc(LPVOID pThread);
    static UINT AttachThreadProc(LPVOID pThread);

    // The stop event is the object's from here on.
    void SetStopEvent(HANDLE hEvent) { m_hStopEvent = hEvent; }
    HANDLE GetStopEvent() const { return m_hStopEvent; }
    // The document's start event, set by the thread once its start status is written.
    void SetStartEvent(HANDLE hEvent) { m_hStartEvent = hEvent; }

    DWORD GetLastErrorCode() const { return m_dwLastError; }
    DWORD GetThreadError() const { return m_dwThreadError.load(); }
    // 0 for a good start, else the code that ended it. Valid once the start event is set.
    DWORD GetStartStatus() const { return m_dwStartStatus.load(); }
    HANDLE GetDeviceHandle() const { return m_hDevice; }

private:
    enum class ReadResult { Read, Empty, Full, Failed };

    // Sends a request on the thread's handle; keeps the error (0 after a success).
    BOOL Request(DWORD dwCode, LPVOID lpIn, DWORD dwInLength, LPVOID lpOut, DWORD dwOutLength,
                 DWORD* pdwReturned = nullptr);
    [[noreturn]] void Raise(DWORD dwCode);
    // One read: the bytes land at the bank's write pointer and reach the document. No exception.
    ReadResult ReadOnce(DWORD& rdwBytes);
    // A bank past its high-water mark gives way to the other one.
    void SwitchBanks();
    // Reads what the driver still holds, until it has nothing left.
    void Drain();
    static LONGLONG Now();
    // Waits until llCounts of the performance counter have passed (less than a millisecond).
    static void SpinFor(LONGLONG llCounts);
    static constexpr int MaxSpins = 100000;
    void PublishStart(DWORD dwStatus);
    void PostStop() const;
    void HandleThreadError(DWORD dwCode, bool bAttach);
    void RunCapture(bool bAttach);
    // A thread function's body: every exception caught, the start event set on every way out.
    UINT Run(bool bAttach);

    HANDLE m_hDevice;
    CString m_strDeviceName;
    DWORD m_dwLastError;
    std::atomic<DWORD> m_dwThreadError;
    std::atomic<bool> m_bBackground;
    HANDLE m_hStopEvent;
    CUSBLog* m_pDocument;
    HWND m_hNotifyWnd;
    UINT m_nNotifyMessage;
    HANDLE m_hStartEvent;
    std::atomic<DWORD> m_dwStartStatus;
    std::atomic<bool> m_bStartPublished;
    // The driver's time stamp of the first record the last read brought (the lowest value when it brought
    // less than a record).
    LONGLONG m_llFirstRecordTime = 0;
};
