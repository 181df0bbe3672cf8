// Internal to the WinHTTP stand-in: its handle objects, its state (handle table, host table, time-outs and
// what tests read back) and its entry points, which the module exports by name.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "WinHttpControl.h"
#include "internal/HttpWire.h"
#include "winhttp.h"

namespace win32::internal::winhttp {

struct HttpObject {
    explicit HttpObject(WinHttpHandleKind k) : kind(k) {}
    virtual ~HttpObject() = default;
    const WinHttpHandleKind kind;
};

struct Session : HttpObject {
    Session() : HttpObject(WinHttpHandleKind::Session) {}
    std::string userAgent; // UTF-8
    WinHttpTimeouts timeouts;
};

struct Connection : HttpObject {
    Connection() : HttpObject(WinHttpHandleKind::Connection) {}
    std::shared_ptr<Session> session;
    std::string server; // UTF-8
    INTERNET_PORT port = INTERNET_DEFAULT_PORT;
};

struct Request : HttpObject {
    Request() : HttpObject(WinHttpHandleKind::Request) {}
    std::shared_ptr<Connection> connection;
    std::string verb;
    std::string object;
    std::string version;
    std::string headers; // lines the request carries from its opening (referrer, accept types), CRLF each
    bool secure = false;
    // One exchange at a time: the socket and the response of the last send. A request handle is used by one
    // thread at a time, as on the platform.
    std::unique_ptr<HttpConnection> socket;
    std::unique_ptr<HttpResponse> response;
    bool sent = false;
};

// Where a host name and port go: a loopback IPv4 address and port, both in host byte order.
struct Endpoint {
    uint32_t address = 0;
    uint16_t port = 0;
};

struct ModuleState {
    std::mutex lock;
    std::map<uintptr_t, std::shared_ptr<HttpObject>> handles;
    uintptr_t nextHandle = 0x10000;
    std::map<std::pair<std::string, INTERNET_PORT>, Endpoint> hosts; // by lower-case host name
    WinHttpTimeouts timeouts;
    std::vector<WinHttpHandleEvent> events;
    int connectionAttempts = 0;
};
ModuleState& State();
// The host table's key of a host name: the name in lower case.
std::string HostKey(std::string_view host);

// Adds the object to the handle table (an event is recorded); nullptr never.
HINTERNET InsertObject(std::shared_ptr<HttpObject> object);
// The object of a handle of that kind; null with ERROR_INVALID_HANDLE (unknown handle) or
// ERROR_WINHTTP_INCORRECT_HANDLE_TYPE (another kind) set.
std::shared_ptr<HttpObject> LookupObject(HINTERNET handle, WinHttpHandleKind kind);
template <class T> std::shared_ptr<T> Lookup(HINTERNET handle, WinHttpHandleKind kind) {
    return std::static_pointer_cast<T>(LookupObject(handle, kind));
}

HINTERNET WINAPI Open(LPCWSTR agent, DWORD accessType, LPCWSTR proxy, LPCWSTR proxyBypass, DWORD flags);
BOOL WINAPI CrackUrl(LPCWSTR url, DWORD urlLength, DWORD flags, LPURL_COMPONENTS components);
HINTERNET WINAPI Connect(HINTERNET session, LPCWSTR serverName, INTERNET_PORT serverPort, DWORD reserved);
HINTERNET WINAPI OpenRequest(HINTERNET connection, LPCWSTR verb, LPCWSTR objectName, LPCWSTR version, LPCWSTR referrer,
                             LPCWSTR* acceptTypes, DWORD flags);
BOOL WINAPI SendRequest(HINTERNET request, LPCWSTR headers, DWORD headersLength, LPVOID optional, DWORD optionalLength,
                        DWORD totalLength, DWORD_PTR context);
BOOL WINAPI ReceiveResponse(HINTERNET request, LPVOID reserved);
BOOL WINAPI QueryHeaders(HINTERNET request, DWORD infoLevel, LPCWSTR name, LPVOID buffer, LPDWORD bufferLength,
                         LPDWORD index);
BOOL WINAPI QueryDataAvailable(HINTERNET request, LPDWORD available);
BOOL WINAPI ReadData(HINTERNET request, LPVOID buffer, DWORD toRead, LPDWORD read);
BOOL WINAPI CloseHandle(HINTERNET handle);

} // namespace win32::internal::winhttp
