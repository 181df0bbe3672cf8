// Simulation control of WinHTTP: a "winhttp" module that speaks HTTP/1.1 over real sockets, but only to the
// loopback address, so that no build, test or run ever leaves this machine.
//
// What the module does:
// - Names resolve only through the host table below (host name and port to a loopback address and port;
//   empty by default) and as literal loopback IPv4 addresses ("127.0.0.1"). Any other name fails with
//   ERROR_WINHTTP_NAME_NOT_RESOLVED and any other literal address with ERROR_WINHTTP_CANNOT_CONNECT, in both
//   cases without a connection attempt. There is no TLS: a request opened with WINHTTP_FLAG_SECURE fails to
//   send with ERROR_WINHTTP_SECURE_FAILURE.
// - WinHttpSendRequest connects anew each time it is called and writes the request line, "Host",
//   "User-Agent" (the session's agent, UTF-8), the caller's headers and, with a body or for POST,
//   "Content-Length". WinHttpReceiveResponse reads the status line and headers (interim 1xx answers are
//   skipped); the body follows by Content-Length, chunked transfer coding, or the server's close.
// - Time-outs run on the machine clock (NtClock.h), each wait counted as a timed waiter: connect 60 s, send
//   and receive 30 s unless a test chose others. A connection refused is ERROR_WINHTTP_CANNOT_CONNECT, a
//   time-out ERROR_WINHTTP_TIMEOUT, a response that is not HTTP (or closed before its headers ended)
//   ERROR_WINHTTP_INVALID_SERVER_RESPONSE, a body cut short ERROR_WINHTTP_CONNECTION_ERROR.
// - WinHttpQueryHeaders answers WINHTTP_QUERY_RAW_HEADERS_CRLF (the status line and headers as received, each
//   line ended by CRLF, then an empty line), WINHTTP_QUERY_STATUS_CODE (text, or a DWORD with
//   WINHTTP_QUERY_FLAG_NUMBER) and WINHTTP_QUERY_CUSTOM (the header of that name, the index-th of them with an
//   index); any other level finds nothing (ERROR_WINHTTP_HEADER_NOT_FOUND). Header bytes read as Windows-1252,
//   one character each. Text answers are UTF-16; without a buffer, or with one too small, the call fails
//   with ERROR_INSUFFICIENT_BUFFER and gives the size needed in bytes, terminator included; on success the
//   size is that of the text without it.
// - WinHttpCrackUrl knows the schemes "http" and "https" (ERROR_WINHTTP_UNRECOGNIZED_SCHEME otherwise) and
//   takes no flags; without the extra information asked for, the URL path keeps the query.
#pragma once

#include <string>
#include <vector>

#include "winhttp.h"

namespace win32 {

// Registers "winhttp" (file "\Windows\System32\winhttp.dll") with its ten exports, all but `missingExport`
// when one is named (a module too old for its callers).
void RegisterWinHttpModule(const char* missingExport = nullptr);

// Where a host name and port resolve to. False (and nothing mapped) unless `address` is a loopback IPv4
// address ("127.0.0.1").
bool MapWinHttpHost(const std::string& host, INTERNET_PORT port, const std::string& address, INTERNET_PORT addressPort);

// The time-outs of sessions opened from now on, in milliseconds.
struct WinHttpTimeouts {
    DWORD connect = 60'000;
    DWORD send = 30'000;
    DWORD receive = 30'000;
};
void SetWinHttpTimeouts(const WinHttpTimeouts& timeouts);

enum class WinHttpHandleKind { Session, Connection, Request };
struct WinHttpHandleEvent {
    WinHttpHandleKind kind;
    bool opened; // false: closed
};
// Handles opened and closed since the last reset, in order, and those still open.
std::vector<WinHttpHandleEvent> WinHttpHandleEvents();
size_t WinHttpOpenHandleCount();
// Connections attempted (sockets that were asked to connect) since the last reset.
int WinHttpConnectionAttempts();

// Empties the host table, brings the time-outs back to the defaults and forgets events and attempts. Handles
// still open stay usable.
void ResetWinHttp();

} // namespace win32
