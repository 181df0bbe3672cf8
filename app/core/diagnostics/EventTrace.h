// CEventTrace: the analyzer's classic (MOF-based) event trace provider. A trace session enables it with a level
// and a mask of areas (Trace.h); until one does, a trace call costs one counter increment and a test.
//
// Threads: Trace runs on the user-interface and capture threads at once while the control callback, on a
// system thread, writes the session fields. Those fields are atomics, written in the order level and flags,
// then enabled, under a lock that only the callback and a failed send take; a trace racing an enable or
// disable may send one event more or one fewer.
// The sequence counter is one process-wide atomic shared by every provider object.
#pragma once

#include <atomic>
#include <mutex>

#include "afx.h"
#include "windows.h"

// The control GUID sessions enable, and the class GUID every event carries.
inline constexpr GUID TINDALOFT_TRACE_PROVIDER_GUID = {
    0x3D603475, 0xDD48, 0x4F0B, {0x9F, 0x47, 0xDA, 0xB3, 0x79, 0x79, 0xD2, 0x41}};
inline constexpr GUID TINDALOFT_TRACE_EVENT_GUID = {
    0x869AEBEA, 0x1F48, 0x4937, {0x98, 0xF6, 0x62, 0x64, 0x23, 0xC6, 0xFA, 0xFD}};

// One event: the header and seven MOF fields (marker, sequence, file length, file, line, text length, text).
struct TINDALOFT_TRACE_EVENT {
    EVENT_TRACE_HEADER Header;
    MOF_FIELD Fields[7];
};
static_assert(sizeof(TINDALOFT_TRACE_EVENT) == 160 && offsetof(TINDALOFT_TRACE_EVENT, Fields) == 48);

class CEventTrace : public CObject {
    DECLARE_DYNAMIC(CEventTrace)

public:
    // Flags of every event: traced GUID, data behind MOF pointers.
    static constexpr ULONG EventFlags = WNODE_FLAG_TRACED_GUID | WNODE_FLAG_USE_MOF_PTR;
    // MOF data types of the fields: 16-bit and 32-bit unsigned numbers, NUL-terminated text.
    static constexpr ULONG MofUInt16 = 5;
    static constexpr ULONG MofUInt32 = 7;
    static constexpr ULONG MofString = 103;

    CEventTrace();
    // A provider still registered unregisters, so no session calls back into a destroyed object.
    ~CEventTrace() override;

    // Registers the provider GUID with ControlCallback and this object as its context; a session that already
    // enables the provider calls back before this returns.
    BOOL Register();
    // Forgets the session too: no disable request follows an unregistration.
    BOOL Unregister();
    BOOL IsRegistered() const { return m_hRegistration != 0; }

    // Sends one event when a session enabled the provider at `level` or above for one of the `area` bits.
    // TRUE when the event was sent. Every call takes a sequence number, sent or not, so gaps in a session's
    // numbers show suppressed events. Null texts are sent as empty ones.
    BOOL Trace(UCHAR level, ULONG area, LPCSTR sourceFile, int line, LPCSTR message);
    // Whether a call of this level and area would be sent now (callers test it before building text).
    BOOL IsEnabled(UCHAR level, ULONG area) const;

    static ULONG WINAPI ControlCallback(WMIDPREQUESTCODE requestCode, PVOID context, ULONG* reserved, PVOID buffer);

    // Takes the next sequence number, for a call that is decided before it reaches Trace.
    static ULONG NextSequence() { return s_Sequence.fetch_add(1, std::memory_order_relaxed); }
    // The number the next call will take.
    static ULONG PeekSequence() { return s_Sequence.load(std::memory_order_relaxed); }

    TRACEHANDLE GetSessionHandle() const { return m_hSession.load(std::memory_order_acquire); }
    UCHAR GetEnableLevel() const { return m_EnableLevel.load(std::memory_order_relaxed); }
    ULONG GetEnableFlags() const { return m_EnableFlags.load(std::memory_order_relaxed); }

private:
    ULONG OnEnable(PVOID buffer);
    ULONG OnDisable(PVOID buffer);
    // Forgets `session` when it is still the kept one: tracing stops until a session enables the provider.
    void Release(TRACEHANDLE session);

    static std::atomic<ULONG> s_Sequence;

    // Serialises the callback's requests and the release after a failed send; Trace takes no lock.
    std::mutex m_Lock;
    TRACEHANDLE m_hRegistration;
    std::atomic<TRACEHANDLE> m_hSession;
    std::atomic<ULONG> m_EnableFlags;
    std::atomic<UCHAR> m_EnableLevel;
    std::atomic<BOOL> m_bEnabled;
};
