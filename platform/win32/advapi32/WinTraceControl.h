// Simulation control of event tracing: trace sessions that enable providers and collect what they send.
//
// Tests:
//     win32::TraceSession session;                  // a live session, ended (killed) by its destructor
//     session.Enable(providerGuid, 3, 0x2);          // the provider's callback gets WMI_ENABLE_EVENTS
//     ... code that traces ...
//     for (const win32::TraceRecord& e : session.Events()) e.Text(6);
//     session.Disable(providerGuid);                 // WMI_DISABLE_EVENTS
//     session.Kill();                                // ends without telling providers: TraceEvent answers 6
//
// Users: set TINDALOFT_TRACE before starting the program to have a session write every event of every provider
// to a text file:
//     TINDALOFT_TRACE="<file>[;<level>[;<flags>]]"     e.g. TINDALOFT_TRACE="/tmp/trace.txt;5;0xFFFFFFFF"
// level defaults to 5 (verbose), flags to 0xFFFFFFFF (decimal or 0x-prefixed hexadecimal). One line per event:
//     <UTC time> tid=<thread> level=<level> type=<type> {<event GUID>}: <field> | <field> | ...
// Fields that hold NUL-terminated text print as "text", 2- and 4-byte fields as decimal numbers, others as hex.
#pragma once

#include <string>
#include <vector>

#include "evntrace.h"

namespace win32 {

// One event as the session received it: the header with time stamp, thread and process filled in, and a copy of
// each MOF field's bytes (an event without MOF pointers has one field: the data after its header).
struct TraceRecord {
    EVENT_TRACE_HEADER header{};
    std::vector<std::vector<BYTE>> fields;
    std::vector<ULONG> fieldTypes;

    // Field i (0-based) read as a number of its size, or as NUL-terminated text.
    ULONG Number(size_t i) const;
    std::string Text(size_t i) const;
};

class TraceSession {
public:
    explicit TraceSession(const char* name = "TestSession");
    ~TraceSession(); // kills the session when still alive
    TraceSession(const TraceSession&) = delete;
    TraceSession& operator=(const TraceSession&) = delete;

    // Enables (or re-enables with other level and flags) a control GUID: registered providers are called now,
    // later ones when they register.
    void Enable(const GUID& provider, UCHAR level, ULONG flags);
    void Disable(const GUID& provider);
    // Disables every provider it enabled, then ends.
    void Stop();
    // Ends at once; providers are not told and their next TraceEvent fails with ERROR_INVALID_HANDLE.
    void Kill();

    std::vector<TraceRecord> Events() const;
    void ClearEvents();
    // The logger handle the session hands a provider's callback for `provider` (0 when not enabled).
    TRACEHANDLE LoggerHandle(const GUID& provider) const;

private:
    ULONG64 id_;
};

// Kills every session (the user's file session too) without telling providers. Registrations stay; the next
// registration reads TINDALOFT_TRACE again.
void ResetTraceSessions();

} // namespace win32
