#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

#include "WinHandles.h"
#include "WinThreads.h"
#include "WinTraceControl.h"
#include "evntrace.h"
#include "internal/MachineTime.h"
#include "winerror.h"

// Lock order: the state's lock is never held while a provider's callback runs (callbacks call back in).
namespace win32 {
namespace {

struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
};

struct Logger {
    ULONG64 session;
    GUID provider;
    UCHAR level;
    ULONG flags;
};

struct Session {
    std::string name;
    bool alive = true;
    std::vector<TraceRecord> events;
    std::map<GUID, TRACEHANDLE, GuidLess> loggers; // by provider
    // The user's file session enables every provider at one level and mask.
    FILE* file = nullptr;
    UCHAR fileLevel = 0;
    ULONG fileFlags = 0;
};

struct Provider {
    GUID control;
    WMIDPREQUEST callback;
    PVOID context;
};

struct Call {
    WMIDPREQUEST callback;
    PVOID context;
    GUID control;
    TRACEHANDLE logger;
};

struct State {
    std::mutex lock;
    std::map<ULONG64, Session> sessions;
    std::map<TRACEHANDLE, Logger> loggers;
    std::map<TRACEHANDLE, Provider> providers;
    ULONG64 nextSession = 1;
    TRACEHANDLE nextHandle = 0x7D000;
    bool fileSessionChecked = false;
};

State& TheState() {
    static State state;
    return state;
}

TRACEHANDLE LoggerFor(State& s, ULONG64 sessionId, Session& session, const GUID& provider, UCHAR level, ULONG flags) {
    TRACEHANDLE& handle = session.loggers[provider];
    if (!handle)
        handle = s.nextHandle++;
    s.loggers[handle] = Logger{sessionId, provider, level, flags};
    return handle;
}

// What a logger handle enables, or nothing (last error ERROR_INVALID_HANDLE).
std::optional<Logger> LoggerOf(TRACEHANDLE handle) {
    State& s = TheState();
    std::lock_guard guard(s.lock);
    auto it = s.loggers.find(handle);
    if (it == s.loggers.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return std::nullopt;
    }
    return it->second;
}

std::vector<Call> CallsFor(State& s, const GUID& control, TRACEHANDLE logger) {
    std::vector<Call> calls;
    for (const auto& [handle, p] : s.providers)
        if (p.control == control)
            calls.push_back(Call{p.callback, p.context, p.control, logger});
    return calls;
}

void Run(const std::vector<Call>& calls, WMIDPREQUESTCODE code) {
    for (const Call& c : calls) {
        WNODE_HEADER wnode{};
        wnode.BufferSize = sizeof wnode;
        wnode.HistoricalContext = c.logger;
        wnode.Guid = c.control;
        wnode.Flags = WNODE_FLAG_TRACED_GUID;
        ULONG size = sizeof wnode;
        c.callback(code, c.context, &size, &wnode);
    }
}

void EndSession(State& s, Session& session) {
    session.alive = false;
    for (const auto& [provider, handle] : session.loggers)
        s.loggers.erase(handle);
    session.loggers.clear();
    if (session.file) {
        std::fclose(session.file);
        session.file = nullptr;
    }
}

// The user's session, from TINDALOFT_TRACE="<file>[;<level>[;<flags>]]", started once.
void StartFileSessionFromEnvironment(State& s) {
    if (s.fileSessionChecked)
        return;
    s.fileSessionChecked = true;
    const char* setting = std::getenv("TINDALOFT_TRACE");
    if (!setting || !*setting)
        return;
    std::string text = setting;
    std::string path = text.substr(0, text.find(';'));
    UCHAR level = 5;
    ULONG flags = 0xFFFFFFFF;
    if (size_t first = text.find(';'); first != std::string::npos) {
        level = static_cast<UCHAR>(std::strtoul(text.c_str() + first + 1, nullptr, 0));
        if (size_t second = text.find(';', first + 1); second != std::string::npos)
            flags = static_cast<ULONG>(std::strtoul(text.c_str() + second + 1, nullptr, 0));
    }
    FILE* file = std::fopen(path.c_str(), "a");
    if (!file) {
        std::fprintf(stderr, "TINDALOFT_TRACE: cannot open %s\n", path.c_str());
        return;
    }
    Session& session = s.sessions[s.nextSession++];
    session.name = "TINDALOFT_TRACE";
    session.file = file;
    session.fileLevel = level;
    session.fileFlags = flags;
}

std::string FieldText(const std::vector<BYTE>& bytes) {
    bool text = !bytes.empty() && bytes.back() == 0;
    for (size_t i = 0; text && i + 1 < bytes.size(); ++i)
        text = bytes[i] >= 0x20 || bytes[i] == '\t' || bytes[i] == '\n' || bytes[i] == '\r';
    char number[32];
    if (text)
        return "\"" + std::string(reinterpret_cast<const char*>(bytes.data())) + "\"";
    if (bytes.size() == 2 || bytes.size() == 4) {
        ULONG value = 0;
        std::memcpy(&value, bytes.data(), bytes.size());
        std::snprintf(number, sizeof number, "%u", value);
        return number;
    }
    std::string hex;
    for (BYTE b : bytes) {
        std::snprintf(number, sizeof number, "%02x", b);
        hex += number;
    }
    return hex;
}

void WriteLine(FILE* file, const TraceRecord& record) {
    SYSTEMTIME t{};
    internal::TicksToSystemTime(static_cast<ULONGLONG>(record.header.TimeStamp.QuadPart), t);
    const GUID& g = record.header.Guid;
    std::fprintf(file,
                 "%04u-%02u-%02u %02u:%02u:%02u.%03u tid=%u level=%u type=%u "
                 "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}:",
                 t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, record.header.ThreadId,
                 record.header.Class.Level, record.header.Class.Type, g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1],
                 g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    for (size_t i = 0; i < record.fields.size(); ++i)
        std::fprintf(file, "%s%s", i ? " | " : " ", FieldText(record.fields[i]).c_str());
    std::fputc('\n', file);
    std::fflush(file);
}

} // namespace

ULONG TraceRecord::Number(size_t i) const {
    ULONG value = 0;
    if (i < fields.size())
        std::memcpy(&value, fields[i].data(), std::min<size_t>(fields[i].size(), sizeof value));
    return value;
}

std::string TraceRecord::Text(size_t i) const {
    if (i >= fields.size())
        return {};
    const auto* bytes = reinterpret_cast<const char*>(fields[i].data());
    return std::string(bytes, strnlen(bytes, fields[i].size()));
}

TraceSession::TraceSession(const char* name) {
    State& s = TheState();
    std::lock_guard guard(s.lock);
    id_ = s.nextSession++;
    s.sessions[id_].name = name ? name : "";
}

TraceSession::~TraceSession() {
    Kill();
}

void TraceSession::Enable(const GUID& provider, UCHAR level, ULONG flags) {
    std::vector<Call> calls;
    {
        State& s = TheState();
        std::lock_guard guard(s.lock);
        Session& session = s.sessions[id_];
        if (!session.alive)
            return;
        calls = CallsFor(s, provider, LoggerFor(s, id_, session, provider, level, flags));
    }
    Run(calls, WMI_ENABLE_EVENTS);
}

void TraceSession::Disable(const GUID& provider) {
    std::vector<Call> calls;
    TRACEHANDLE logger = 0;
    State& s = TheState();
    {
        std::lock_guard guard(s.lock);
        Session& session = s.sessions[id_];
        auto it = session.loggers.find(provider);
        if (it == session.loggers.end())
            return;
        logger = it->second;
        calls = CallsFor(s, provider, logger);
    }
    Run(calls, WMI_DISABLE_EVENTS);
    std::lock_guard guard(s.lock);
    s.sessions[id_].loggers.erase(provider);
    s.loggers.erase(logger);
}

void TraceSession::Stop() {
    std::vector<GUID> enabled;
    {
        State& s = TheState();
        std::lock_guard guard(s.lock);
        for (const auto& [provider, handle] : s.sessions[id_].loggers)
            enabled.push_back(provider);
    }
    for (const GUID& provider : enabled)
        Disable(provider);
    Kill();
}

void TraceSession::Kill() {
    State& s = TheState();
    std::lock_guard guard(s.lock);
    EndSession(s, s.sessions[id_]);
}

std::vector<TraceRecord> TraceSession::Events() const {
    State& s = TheState();
    std::lock_guard guard(s.lock);
    return s.sessions[id_].events;
}

void TraceSession::ClearEvents() {
    State& s = TheState();
    std::lock_guard guard(s.lock);
    s.sessions[id_].events.clear();
}

TRACEHANDLE TraceSession::LoggerHandle(const GUID& provider) const {
    State& s = TheState();
    std::lock_guard guard(s.lock);
    const Session& session = s.sessions[id_];
    auto it = session.loggers.find(provider);
    return it == session.loggers.end() ? 0 : it->second;
}

void ResetTraceSessions() {
    State& s = TheState();
    std::lock_guard guard(s.lock);
    for (auto& [id, session] : s.sessions)
        EndSession(s, session);
    s.fileSessionChecked = false; // the next registration reads TINDALOFT_TRACE again
}

} // namespace win32

using win32::Call;
using win32::State;

ULONG RegisterTraceGuidsA(WMIDPREQUEST requestAddress, PVOID requestContext, LPCGUID controlGuid, ULONG guidCount,
                          PTRACE_GUID_REGISTRATION traceGuidReg, LPCSTR, LPCSTR, PTRACEHANDLE registrationHandle) {
    if (!requestAddress || !controlGuid || !registrationHandle || (guidCount && !traceGuidReg))
        return ERROR_INVALID_PARAMETER;
    std::vector<Call> calls;
    {
        State& s = win32::TheState();
        std::lock_guard guard(s.lock);
        win32::StartFileSessionFromEnvironment(s);
        TRACEHANDLE handle = s.nextHandle++;
        s.providers[handle] = win32::Provider{*controlGuid, requestAddress, requestContext};
        for (ULONG i = 0; i < guidCount; ++i)
            traceGuidReg[i].RegHandle = reinterpret_cast<HANDLE>(handle);
        *registrationHandle = handle;
        // Sessions that already enable this provider tell it so now.
        for (auto& [id, session] : s.sessions) {
            if (!session.alive)
                continue;
            if (session.file)
                win32::LoggerFor(s, id, session, *controlGuid, session.fileLevel, session.fileFlags);
            auto it = session.loggers.find(*controlGuid);
            if (it != session.loggers.end())
                calls.push_back(Call{requestAddress, requestContext, *controlGuid, it->second});
        }
    }
    win32::Run(calls, WMI_ENABLE_EVENTS);
    return ERROR_SUCCESS;
}

ULONG UnregisterTraceGuids(TRACEHANDLE registrationHandle) {
    State& s = win32::TheState();
    std::lock_guard guard(s.lock);
    return s.providers.erase(registrationHandle) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

TRACEHANDLE GetTraceLoggerHandle(PVOID buffer) {
    if (!buffer) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_PROCESSTRACE_HANDLE;
    }
    WNODE_HEADER wnode;
    std::memcpy(&wnode, buffer, sizeof wnode);
    State& s = win32::TheState();
    std::lock_guard guard(s.lock);
    if (!s.loggers.count(wnode.HistoricalContext)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return INVALID_PROCESSTRACE_HANDLE;
    }
    return wnode.HistoricalContext;
}

UCHAR GetTraceEnableLevel(TRACEHANDLE loggerHandle) {
    std::optional<win32::Logger> logger = win32::LoggerOf(loggerHandle);
    return logger ? logger->level : 0;
}

ULONG GetTraceEnableFlags(TRACEHANDLE loggerHandle) {
    std::optional<win32::Logger> logger = win32::LoggerOf(loggerHandle);
    return logger ? logger->flags : 0;
}

ULONG TraceEvent(TRACEHANDLE loggerHandle, PEVENT_TRACE_HEADER eventTrace) {
    if (!eventTrace)
        return ERROR_INVALID_PARAMETER;
    EVENT_TRACE_HEADER header;
    std::memcpy(&header, eventTrace, sizeof header);
    if (header.Size < sizeof header)
        return ERROR_INVALID_PARAMETER;
    if (!(header.Flags & WNODE_FLAG_TRACED_GUID))
        return ERROR_INVALID_FLAG_NUMBER;

    // Copy the caller's data before taking the lock.
    win32::TraceRecord record;
    const auto* base = reinterpret_cast<const BYTE*>(eventTrace);
    const size_t extra = header.Size - sizeof header;
    if (header.Flags & WNODE_FLAG_USE_MOF_PTR) {
        if (extra % sizeof(MOF_FIELD) != 0 || extra / sizeof(MOF_FIELD) > MAX_MOF_FIELDS)
            return ERROR_INVALID_PARAMETER;
        for (size_t i = 0; i < extra / sizeof(MOF_FIELD); ++i) {
            MOF_FIELD field;
            std::memcpy(&field, base + sizeof header + i * sizeof field, sizeof field);
            if (field.Length && !field.DataPtr)
                return ERROR_INVALID_PARAMETER;
            const auto* data = reinterpret_cast<const BYTE*>(field.DataPtr);
            record.fields.emplace_back(data, data + field.Length);
            record.fieldTypes.push_back(field.DataType);
        }
    } else if (extra) {
        record.fields.emplace_back(base + sizeof header, base + header.Size);
        record.fieldTypes.push_back(0);
    }
    if (header.Flags & WNODE_FLAG_USE_GUID_PTR) {
        GUID guid{};
        if (header.GuidPtr)
            std::memcpy(&guid, reinterpret_cast<const void*>(header.GuidPtr), sizeof guid);
        header.Guid = guid;
        header.Flags &= ~WNODE_FLAG_USE_GUID_PTR;
    }
    header.TimeStamp.QuadPart = win32::internal::SystemTimeNow();
    header.ThreadId = GetCurrentThreadId();
    header.ProcessId = GetCurrentProcessId();
    record.header = header;

    State& s = win32::TheState();
    std::lock_guard guard(s.lock);
    auto logger = s.loggers.find(loggerHandle);
    if (logger == s.loggers.end())
        return ERROR_INVALID_HANDLE;
    win32::Session& session = s.sessions[logger->second.session];
    if (!session.alive)
        return ERROR_INVALID_HANDLE;
    if (session.file)
        win32::WriteLine(session.file, record);
    else
        session.events.push_back(std::move(record));
    return ERROR_SUCCESS;
}
