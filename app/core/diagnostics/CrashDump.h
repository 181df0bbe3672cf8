// The crash handler: when an exception escapes every handler, a running capture is stopped (so that the
// driver does not go on filling its log for a dead reader), then the user is offered a minidump for support.
// The program's entry file holds the one instance, g_CrashDump, built before the application object runs.
#pragma once

#include "afx.h"
#include "windows.h"

class CCrashDump {
public:
    // How long the clean-up waits for the capture thread: a crashing program must not hang on it.
    static constexpr DWORD CleanupWaitMilliseconds = 5000;

    // Copies the program's name and installs CrashDumpFilter as the process's unhandled-exception filter.
    CCrashDump();
    // Gives the process back the filter it had.
    ~CCrashDump();
    CCrashDump(const CCrashDump&) = delete;
    CCrashDump& operator=(const CCrashDump&) = delete;

    // 1 (the handler ran: the process ends) when a dump was written, else 0 (the system's default handling).
    static LONG WINAPI CrashDumpFilter(PEXCEPTION_POINTERS pExceptionInfo);

    const CString& GetAppName() const { return m_strAppName; }

private:
    // Every message's caption and the dump file's fallback name.
    CString m_strAppName;
    LPTOP_LEVEL_EXCEPTION_FILTER m_pPreviousFilter;
};

extern CCrashDump g_CrashDump;

// Stops the live capture when one runs: the active document of the main window when it is the live capture,
// else the live capture template's first document. Gives the capture thread CleanupWaitMilliseconds; a
// thread still running then is left, and the driver is told directly to stop logging.
void TindaloftCleanup();
