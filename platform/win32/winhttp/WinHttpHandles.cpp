// The WinHTTP stand-in's handles (session, connection, request), the module's registration and its control.
// Locks: the module state's one lock, held only to read or change the tables, never across a network wait.
#include <arpa/inet.h>
#include <cctype>

#include "NtText.h"
#include "WinHandles.h"
#include "WinModulesControl.h"
#include "internal/WinHttpModule.h"
#include "winerror.h"

namespace win32::internal::winhttp {
namespace {

void RecordEvent(ModuleState& s, WinHttpHandleKind kind, bool opened) {
    s.events.push_back(WinHttpHandleEvent{kind, opened});
}

std::string Utf8(LPCWSTR text) {
    return text != nullptr ? nt::text::Utf16ToUtf8(nt::text::View(text)) : std::string();
}

// The request target as it goes on the wire: bytes that may not appear in it are percent-escaped.
std::string EscapeTarget(const std::string& target) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    for (const char c : target) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F) {
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0xF];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

ModuleState& State() {
    static ModuleState state;
    return state;
}

std::string HostKey(std::string_view host) {
    std::string key(host);
    for (char& c : key) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return key;
}

HINTERNET InsertObject(std::shared_ptr<HttpObject> object) {
    ModuleState& s = State();
    std::lock_guard guard(s.lock);
    const uintptr_t id = s.nextHandle;
    s.nextHandle += 8;
    RecordEvent(s, object->kind, true);
    s.handles.emplace(id, std::move(object));
    return reinterpret_cast<HINTERNET>(id);
}

std::shared_ptr<HttpObject> LookupObject(HINTERNET handle, WinHttpHandleKind kind) {
    ModuleState& s = State();
    std::lock_guard guard(s.lock);
    auto it = s.handles.find(reinterpret_cast<uintptr_t>(handle));
    if (it == s.handles.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (it->second->kind != kind) {
        SetLastError(ERROR_WINHTTP_INCORRECT_HANDLE_TYPE);
        return nullptr;
    }
    return it->second;
}

HINTERNET WINAPI Open(LPCWSTR agent, DWORD, LPCWSTR, LPCWSTR, DWORD flags) {
    // Requests are answered on the caller's thread only; proxies are moot where only loopback is reached.
    if (flags & WINHTTP_FLAG_ASYNC) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    auto session = std::make_shared<Session>();
    session->userAgent = Utf8(agent);
    {
        ModuleState& s = State();
        std::lock_guard guard(s.lock);
        session->timeouts = s.timeouts;
    }
    SetLastError(ERROR_SUCCESS);
    return InsertObject(std::move(session));
}

HINTERNET WINAPI Connect(HINTERNET sessionHandle, LPCWSTR serverName, INTERNET_PORT serverPort, DWORD) {
    auto session = Lookup<Session>(sessionHandle, WinHttpHandleKind::Session);
    if (session == nullptr) {
        return nullptr;
    }
    if (serverName == nullptr || *serverName == u'\0') {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto connection = std::make_shared<Connection>();
    connection->session = std::move(session);
    connection->server = Utf8(serverName);
    connection->port = serverPort;
    SetLastError(ERROR_SUCCESS);
    return InsertObject(std::move(connection));
}

HINTERNET WINAPI OpenRequest(HINTERNET connectionHandle, LPCWSTR verb, LPCWSTR objectName, LPCWSTR version,
                             LPCWSTR referrer, LPCWSTR* acceptTypes, DWORD flags) {
    auto connection = Lookup<Connection>(connectionHandle, WinHttpHandleKind::Connection);
    if (connection == nullptr) {
        return nullptr;
    }
    auto request = std::make_shared<Request>();
    request->connection = std::move(connection);
    request->verb = verb != nullptr && *verb != u'\0' ? Utf8(verb) : "GET";
    request->object = objectName != nullptr && *objectName != u'\0' ? EscapeTarget(Utf8(objectName)) : "/";
    request->version = version != nullptr && *version != u'\0' ? Utf8(version) : "HTTP/1.1";
    if (referrer != nullptr && *referrer != u'\0') {
        request->headers += "Referer: " + Utf8(referrer) + "\r\n";
    }
    if (acceptTypes != nullptr && acceptTypes[0] != nullptr) {
        std::string accept;
        for (LPCWSTR* type = acceptTypes; *type != nullptr; ++type) {
            accept += (accept.empty() ? "" : ", ") + Utf8(*type);
        }
        request->headers += "Accept: " + accept + "\r\n";
    }
    request->secure = (flags & WINHTTP_FLAG_SECURE) != 0;
    SetLastError(ERROR_SUCCESS);
    return InsertObject(std::move(request));
}

BOOL WINAPI CloseHandle(HINTERNET handle) {
    std::shared_ptr<HttpObject> object; // let go of outside the lock: a request closes its socket
    ModuleState& s = State();
    {
        std::lock_guard guard(s.lock);
        auto it = s.handles.find(reinterpret_cast<uintptr_t>(handle));
        if (it == s.handles.end()) {
            SetLastError(ERROR_INVALID_HANDLE);
            return FALSE;
        }
        object = std::move(it->second);
        s.handles.erase(it);
        RecordEvent(s, object->kind, false);
    }
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

} // namespace win32::internal::winhttp

namespace win32 {

using namespace internal::winhttp;

void RegisterWinHttpModule(const char* missingExport) {
    const ModuleExport all[] = {
        Export("WinHttpOpen", &Open),
        Export("WinHttpCrackUrl", &CrackUrl),
        Export("WinHttpConnect", &Connect),
        Export("WinHttpOpenRequest", &OpenRequest),
        Export("WinHttpSendRequest", &SendRequest),
        Export("WinHttpReceiveResponse", &ReceiveResponse),
        Export("WinHttpQueryHeaders", &QueryHeaders),
        Export("WinHttpQueryDataAvailable", &QueryDataAvailable),
        Export("WinHttpReadData", &ReadData),
        Export("WinHttpCloseHandle", &internal::winhttp::CloseHandle),
    };
    std::vector<ModuleExport> exports;
    for (const ModuleExport& e : all) {
        if (missingExport == nullptr || std::string(e.name) != missingExport) {
            exports.push_back(e);
        }
    }
    RegisterModule("winhttp", exports);
}

bool MapWinHttpHost(const std::string& host, INTERNET_PORT port, const std::string& address,
                    INTERNET_PORT addressPort) {
    in_addr parsed{};
    if (::inet_pton(AF_INET, address.c_str(), &parsed) != 1 || (ntohl(parsed.s_addr) >> 24) != 127) {
        return false; // only loopback addresses are ever reached
    }
    ModuleState& s = State();
    std::lock_guard guard(s.lock);
    s.hosts[{HostKey(host), port}] = Endpoint{ntohl(parsed.s_addr), addressPort};
    return true;
}

void SetWinHttpTimeouts(const WinHttpTimeouts& timeouts) {
    ModuleState& s = State();
    std::lock_guard guard(s.lock);
    s.timeouts = timeouts;
}

std::vector<WinHttpHandleEvent> WinHttpHandleEvents() {
    ModuleState& s = State();
    std::lock_guard guard(s.lock);
    return s.events;
}

size_t WinHttpOpenHandleCount() {
    ModuleState& s = State();
    std::lock_guard guard(s.lock);
    return s.handles.size();
}

int WinHttpConnectionAttempts() {
    ModuleState& s = State();
    std::lock_guard guard(s.lock);
    return s.connectionAttempts;
}

void ResetWinHttp() {
    ModuleState& s = State();
    std::lock_guard guard(s.lock);
    s.hosts.clear();
    s.timeouts = WinHttpTimeouts{};
    s.events.clear();
    s.connectionAttempts = 0;
}

} // namespace win32
