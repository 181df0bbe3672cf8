#include "app/core/diagnostics/EventTrace.h"

#include <cstring>

#include "app/core/diagnostics/Trace.h"

IMPLEMENT_DYNAMIC(CEventTrace, CObject)

std::atomic<ULONG> CEventTrace::s_Sequence{0};

namespace {

void SetField(MOF_FIELD& field, const void* data, ULONG length, ULONG type) {
    field.DataPtr = reinterpret_cast<ULONG64>(data);
    field.Length = length;
    field.DataType = type;
}

// The session's logger handle from an enable or disable request; on failure the debugger is told and `error`
// holds the code the callback returns.
TRACEHANDLE LoggerHandleOf(PVOID buffer, ULONG& error) {
    SetLastError(ERROR_SUCCESS);
    TRACEHANDLE session = GetTraceLoggerHandle(buffer);
    if (session == INVALID_PROCESSTRACE_HANDLE) {
        error = GetLastError();
        DebugPrintf("GetTraceLoggerHandle failed. Error code is %lu.\n", error);
    }
    return session;
}

// A session that ended without a disable request no longer answers for its handle.
bool SessionAlive(TRACEHANDLE session) {
    SetLastError(ERROR_SUCCESS);
    return GetTraceEnableLevel(session) != 0 || GetLastError() == ERROR_SUCCESS;
}

} // namespace

CEventTrace::CEventTrace() : m_hRegistration(0), m_hSession(0), m_EnableFlags(0), m_EnableLevel(0), m_bEnabled(0) {}

CEventTrace::~CEventTrace() {
    if (IsRegistered())
        Unregister();
}

BOOL CEventTrace::Register() {
    TRACE_GUID_REGISTRATION eventClass{&TINDALOFT_TRACE_EVENT_GUID, nullptr};
    TRACEHANDLE registration = 0;
    ULONG result = RegisterTraceGuids(&CEventTrace::ControlCallback, this, &TINDALOFT_TRACE_PROVIDER_GUID, 1,
                                      &eventClass, nullptr, nullptr, &registration);
    if (result != ERROR_SUCCESS)
        return FALSE;
    m_hRegistration = registration;
    return TRUE;
}

BOOL CEventTrace::Unregister() {
    ULONG result = UnregisterTraceGuids(m_hRegistration);
    m_hRegistration = 0;
    // No disable request follows an unregistration: an unregistered provider sends nothing.
    std::lock_guard guard(m_Lock);
    m_bEnabled.store(FALSE, std::memory_order_release);
    m_hSession.store(0, std::memory_order_release);
    return result == ERROR_SUCCESS;
}

BOOL CEventTrace::IsEnabled(UCHAR level, ULONG area) const {
    return m_bEnabled.load(std::memory_order_acquire) && level <= m_EnableLevel.load(std::memory_order_relaxed) &&
           (area & m_EnableFlags.load(std::memory_order_relaxed)) != 0;
}

BOOL CEventTrace::Trace(UCHAR level, ULONG area, LPCSTR sourceFile, int line, LPCSTR message) {
    ULONG sequence = NextSequence();
    if (!IsEnabled(level, area))
        return FALSE;
    TRACEHANDLE session = m_hSession.load(std::memory_order_acquire);
    if (!session)
        return FALSE;

    LPCSTR file = sourceFile ? sourceFile : "";
    LPCSTR text = message ? message : "";
    USHORT marker = 1;
    ULONG fileLength = static_cast<ULONG>(std::strlen(file) + 1);
    ULONG lineNumber = static_cast<ULONG>(line);
    ULONG textLength = static_cast<ULONG>(std::strlen(text) + 1);

    TINDALOFT_TRACE_EVENT event{};
    event.Header.Size = sizeof event;
    event.Header.Class.Type = 0;
    event.Header.Class.Level = m_EnableLevel.load(std::memory_order_relaxed);
    event.Header.Class.Version = 1;
    event.Header.Guid = TINDALOFT_TRACE_EVENT_GUID;
    event.Header.Flags = EventFlags;
    SetField(event.Fields[0], &marker, sizeof marker, MofUInt16);
    SetField(event.Fields[1], &sequence, sizeof sequence, MofUInt32);
    SetField(event.Fields[2], &fileLength, sizeof fileLength, MofUInt32);
    SetField(event.Fields[3], file, fileLength, MofString);
    SetField(event.Fields[4], &lineNumber, sizeof lineNumber, MofUInt32);
    SetField(event.Fields[5], &textLength, sizeof textLength, MofUInt32);
    SetField(event.Fields[6], text, textLength, MofString);

    ULONG result = TraceEvent(session, &event.Header);
    if (result == ERROR_SUCCESS)
        return TRUE;
    if (result == ERROR_INVALID_HANDLE)
        Release(session); // the session went away: wait for the next one to enable the provider
    return FALSE;
}

ULONG WINAPI CEventTrace::ControlCallback(WMIDPREQUESTCODE requestCode, PVOID context, ULONG*, PVOID buffer) {
    auto* self = static_cast<CEventTrace*>(context);
    if (!self)
        return ERROR_INVALID_PARAMETER;
    switch (requestCode) {
    case WMI_ENABLE_EVENTS: return self->OnEnable(buffer);
    case WMI_DISABLE_EVENTS: return self->OnDisable(buffer);
    default: return ERROR_INVALID_PARAMETER;
    }
}

ULONG CEventTrace::OnEnable(PVOID buffer) {
    DebugPrintf("Tindaloft Event Trace Provider - Enabled\n");
    ULONG error = ERROR_SUCCESS;
    TRACEHANDLE session = LoggerHandleOf(buffer, error);
    if (session == INVALID_PROCESSTRACE_HANDLE)
        return error;

    std::lock_guard guard(m_Lock);
    // One session at a time; one that ended without a disable request gives way, or tracing could never
    // resume.
    TRACEHANDLE kept = m_hSession.load(std::memory_order_relaxed);
    if (kept && kept != session && SessionAlive(kept))
        return ERROR_SUCCESS;

    // Level and flags are read before the session is kept, so a failure leaves no half-enabled session that
    // would turn every later session away.
    SetLastError(ERROR_SUCCESS);
    UCHAR level = GetTraceEnableLevel(session);
    if (level == 0 && (error = GetLastError()) != ERROR_SUCCESS) {
        DebugPrintf("GetTraceEnableLevel failed. Error code is %lu.\n", error);
        return error;
    }
    DebugPrintf("Tindaloft Event Trace Provider - Level = %u\n", level);
    SetLastError(ERROR_SUCCESS);
    ULONG flags = GetTraceEnableFlags(session);
    if (flags == 0 && (error = GetLastError()) != ERROR_SUCCESS) {
        DebugPrintf("GetTraceEnableFlags failed. Error code is %lu.\n", error);
        return error;
    }
    DebugPrintf("Tindaloft Event Trace Provider - EnableFlags = 0x%08x\n", flags);

    m_EnableLevel.store(level, std::memory_order_relaxed);
    m_EnableFlags.store(flags, std::memory_order_relaxed);
    m_hSession.store(session, std::memory_order_release);
    m_bEnabled.store(TRUE, std::memory_order_release);
    return ERROR_SUCCESS;
}

ULONG CEventTrace::OnDisable(PVOID buffer) {
    DebugPrintf("Tindaloft Event Trace Provider - Disabled\n");
    ULONG error = ERROR_SUCCESS;
    TRACEHANDLE session = LoggerHandleOf(buffer, error);
    if (session == INVALID_PROCESSTRACE_HANDLE)
        return error;
    Release(session); // a request from another session changes nothing
    return ERROR_SUCCESS;
}

void CEventTrace::Release(TRACEHANDLE session) {
    std::lock_guard guard(m_Lock);
    if (m_hSession.load(std::memory_order_relaxed) != session)
        return;
    m_bEnabled.store(FALSE, std::memory_order_release);
    m_hSession.store(0, std::memory_order_release);
}
