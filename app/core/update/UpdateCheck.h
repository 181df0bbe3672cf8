// The update check's block and its worker. The application object and the worker share the block: the
// worker may outlive a check the user gave up on, and even the application object, so the block goes with
// whichever lets go of it last.
//
// Threads: the worker writes the answer (m_szUpdateResponse, then m_bUpdateResponseReceived) and clears
// m_bUpdateCheckRunning last, with release order; the main thread reads the answer only after it saw
// m_bUpdateCheckRunning clear (acquire), so what it reads is complete. m_bUpdateResultShown and the query
// belong to the main thread (the query is written before the worker starts).
#pragma once

#include <atomic>
#include <memory>

#include "afxwin.h"

struct CUpdateBlock {
    static constexpr size_t QueryLength = 512;
    static constexpr size_t ResponseLength = 256;

    BOOL m_bUpdateResultShown = FALSE;
    std::atomic<BOOL> m_bUpdateCheckRunning{FALSE};
    std::atomic<BOOL> m_bUpdateResponseReceived{FALSE};
    char16_t m_szUpdateQuery[QueryLength]{};
    char16_t m_szUpdateResponse[ResponseLength]{};

    BOOL IsRunning() const { return m_bUpdateCheckRunning.load(std::memory_order_acquire); }
};

// The worker. pParam is a `new std::shared_ptr<CUpdateBlock>` whose ownership passes to the worker. It sends
// "GET /tdloft_ver.txt" to the update server (kUpdateServerHost) with the query as its user agent; an answer
// is copied (at most 255 characters and a NUL) and marked received; "running" is cleared last, once the HTTP
// client and its library are gone. Returns 0.
UINT AFX_CDECL UpdateCheckThreadProc(LPVOID pParam);
