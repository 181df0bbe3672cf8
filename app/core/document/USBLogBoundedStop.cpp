// CUSBLog: a capture stop that gives up waiting, for a program that is going down and must not hang on a
// capture thread that no longer answers.
#include "app/core/capture/DriverThread.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"

BOOL CUSBLog::DisableLoggingWithin(DWORD dwMilliseconds) {
    if (m_pDriverThread == nullptr) {
        return TRUE;
    }
    ::SetEvent(m_pDriverThread->GetStopEvent());
    HANDLE hThread = m_pWorker->m_hThread;
    const ULONGLONG start = ::GetTickCount64();
    for (;;) {
        const ULONGLONG elapsed = ::GetTickCount64() - start;
        if (elapsed >= dwMilliseconds) {
            break;
        }
        const DWORD dwLeft = static_cast<DWORD>(dwMilliseconds - elapsed);
        // The thread sends the view its last blocks while it drains; serve them, or it would never end.
        const DWORD dwResult = ::MsgWaitForMultipleObjects(1, &hThread, FALSE, dwLeft, QS_SENDMESSAGE);
        if (dwResult == WAIT_OBJECT_0 + 1) {
            ServeSentMessages();
            continue;
        }
        if (dwResult == WAIT_OBJECT_0) {
            // Ended: the usual stop finds it gone and releases what it held.
            DisableLogging();
            return TRUE;
        }
        break;
    }
    TDL_TRACE(TRACE_ERROR, TRACE_AREA_DOCUMENT, "Capture thread still running after %u ms", dwMilliseconds);
    return FALSE;
}
