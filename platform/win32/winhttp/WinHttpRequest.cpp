// The WinHTTP stand-in's exchange: a request sent on a new loopback connection, its response's head and its
// body. The calls block the caller's thread; their waits run on the machine clock.
#include <arpa/inet.h>
#include <cstring>

#include "NtText.h"
#include "WinHandles.h"
#include "internal/WinHttpModule.h"
#include "winerror.h"

namespace win32::internal::winhttp {
namespace {

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

BOOL Succeed() {
    SetLastError(ERROR_SUCCESS);
    return TRUE;
}

// Where the request's server and port go, or the error that ends the send before any connection is tried.
DWORD Resolve(const std::string& server, INTERNET_PORT port, Endpoint& endpoint) {
    {
        ModuleState& s = State();
        std::lock_guard guard(s.lock);
        auto it = s.hosts.find({HostKey(server), port});
        if (it != s.hosts.end()) {
            endpoint = it->second;
            return ERROR_SUCCESS;
        }
    }
    in_addr literal{};
    if (::inet_pton(AF_INET, server.c_str(), &literal) == 1) {
        endpoint = Endpoint{ntohl(literal.s_addr), port};
        // Nothing beyond the loopback network is ever reached.
        return (endpoint.address >> 24) == 127 ? ERROR_SUCCESS : ERROR_WINHTTP_CANNOT_CONNECT;
    }
    return ERROR_WINHTTP_NAME_NOT_RESOLVED;
}

// The caller's extra header lines, each ended by CRLF on the wire; empty lines are dropped.
std::string HeaderLines(LPCWSTR headers, DWORD length) {
    if (headers == nullptr || length == 0) {
        return {};
    }
    const std::u16string_view text =
        length == 0xFFFFFFFFu ? nt::text::View(headers) : std::u16string_view(headers, length);
    const std::string bytes = nt::text::Utf16ToUtf8(text);
    std::string lines;
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find('\n', start);
        if (end == std::string::npos) {
            end = bytes.size();
        }
        std::string_view line(bytes.data() + start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!line.empty()) {
            lines.append(line).append("\r\n");
        }
        start = end + 1;
    }
    return lines;
}

bool CarriesBody(const std::string& verb) {
    return verb == "POST" || verb == "PUT";
}

// A text answer of WinHttpQueryHeaders: UTF-16 with its terminator, or the size it needs.
BOOL AnswerText(const std::string& bytes, LPVOID buffer, LPDWORD bufferLength) {
    const std::u16string text = nt::text::AnsiToUtf16(bytes);
    const DWORD needed = static_cast<DWORD>((text.size() + 1) * sizeof(char16_t));
    if (buffer == nullptr || *bufferLength < needed) {
        *bufferLength = needed;
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    }
    std::memcpy(buffer, text.c_str(), needed);
    *bufferLength = needed - sizeof(char16_t);
    return Succeed();
}

} // namespace

BOOL WINAPI SendRequest(HINTERNET requestHandle, LPCWSTR headers, DWORD headersLength, LPVOID optional,
                        DWORD optionalLength, DWORD totalLength, DWORD_PTR) {
    auto request = Lookup<Request>(requestHandle, WinHttpHandleKind::Request);
    if (request == nullptr) {
        return FALSE;
    }
    // The whole body comes with the call: there is no WinHttpWriteData to send the rest.
    if ((optional == nullptr && optionalLength != 0) || totalLength != optionalLength) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    request->response.reset();
    request->socket.reset();
    request->sent = false;
    if (request->secure) {
        return Fail(ERROR_WINHTTP_SECURE_FAILURE); // no TLS on this machine
    }
    const Connection& connection = *request->connection;
    const Session& session = *connection.session;
    const INTERNET_PORT port = connection.port != INTERNET_DEFAULT_PORT ? connection.port : INTERNET_DEFAULT_HTTP_PORT;
    Endpoint endpoint;
    if (const DWORD error = Resolve(connection.server, port, endpoint); error != ERROR_SUCCESS) {
        return Fail(error);
    }
    {
        ModuleState& s = State();
        std::lock_guard guard(s.lock);
        ++s.connectionAttempts;
    }
    auto socket = std::make_unique<HttpConnection>();
    if (const DWORD error = socket->Connect(endpoint.address, endpoint.port, session.timeouts.connect);
        error != ERROR_SUCCESS) {
        return Fail(error);
    }

    std::string message = request->verb + " " + request->object + " " + request->version + "\r\n";
    message += "Host: " + connection.server;
    if (port != INTERNET_DEFAULT_HTTP_PORT) {
        message += ":" + std::to_string(port);
    }
    message += "\r\n";
    if (!session.userAgent.empty()) {
        message += "User-Agent: " + session.userAgent + "\r\n";
    }
    message += request->headers;
    message += HeaderLines(headers, headersLength);
    if (optionalLength != 0 || CarriesBody(request->verb)) {
        message += "Content-Length: " + std::to_string(optionalLength) + "\r\n";
    }
    message += "\r\n";
    if (optionalLength != 0) {
        message.append(static_cast<const char*>(optional), optionalLength);
    }
    if (const DWORD error = socket->Send(message, session.timeouts.send); error != ERROR_SUCCESS) {
        return Fail(error);
    }
    request->socket = std::move(socket);
    request->sent = true;
    return Succeed();
}

BOOL WINAPI ReceiveResponse(HINTERNET requestHandle, LPVOID) {
    auto request = Lookup<Request>(requestHandle, WinHttpHandleKind::Request);
    if (request == nullptr) {
        return FALSE;
    }
    if (!request->sent || request->response != nullptr) {
        return Fail(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
    }
    auto response = std::make_unique<HttpResponse>(*request->socket, request->connection->session->timeouts.receive,
                                                   request->verb == "HEAD");
    if (const DWORD error = response->ReadHead(); error != ERROR_SUCCESS) {
        return Fail(error);
    }
    request->response = std::move(response);
    return Succeed();
}

BOOL WINAPI QueryHeaders(HINTERNET requestHandle, DWORD infoLevel, LPCWSTR name, LPVOID buffer, LPDWORD bufferLength,
                         LPDWORD index) {
    auto request = Lookup<Request>(requestHandle, WinHttpHandleKind::Request);
    if (request == nullptr) {
        return FALSE;
    }
    if (request->response == nullptr) {
        return Fail(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
    }
    if (bufferLength == nullptr || (infoLevel & ~(0xFFFFu | WINHTTP_QUERY_FLAG_NUMBER)) != 0) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const HttpResponse& response = *request->response;
    const DWORD level = infoLevel & 0xFFFF;
    const bool number = (infoLevel & WINHTTP_QUERY_FLAG_NUMBER) != 0;
    const DWORD wanted = index != nullptr ? *index : 0;
    std::string value;
    switch (level) {
    case WINHTTP_QUERY_RAW_HEADERS_CRLF:
        if (number || wanted != 0) {
            return Fail(ERROR_WINHTTP_HEADER_NOT_FOUND);
        }
        return AnswerText(response.RawHeaders(), buffer, bufferLength);
    case WINHTTP_QUERY_STATUS_CODE:
        if (wanted != 0) {
            return Fail(ERROR_WINHTTP_HEADER_NOT_FOUND);
        }
        if (number) {
            const DWORD code = static_cast<DWORD>(response.StatusCode());
            if (buffer == nullptr || *bufferLength < sizeof code) {
                *bufferLength = sizeof code;
                return Fail(ERROR_INSUFFICIENT_BUFFER);
            }
            std::memcpy(buffer, &code, sizeof code);
            *bufferLength = sizeof code;
            return Succeed();
        }
        return AnswerText(std::to_string(response.StatusCode()), buffer, bufferLength);
    case WINHTTP_QUERY_CUSTOM: {
        if (name == nullptr || number) {
            return Fail(ERROR_INVALID_PARAMETER);
        }
        if (!response.FindHeader(nt::text::Utf16ToAnsi(nt::text::View(name)), wanted, value)) {
            return Fail(ERROR_WINHTTP_HEADER_NOT_FOUND);
        }
        const BOOL answered = AnswerText(value, buffer, bufferLength);
        if (answered && index != nullptr) {
            ++*index;
        }
        return answered;
    }
    default: return Fail(ERROR_WINHTTP_HEADER_NOT_FOUND);
    }
}

BOOL WINAPI QueryDataAvailable(HINTERNET requestHandle, LPDWORD available) {
    auto request = Lookup<Request>(requestHandle, WinHttpHandleKind::Request);
    if (request == nullptr) {
        return FALSE;
    }
    if (request->response == nullptr) {
        return Fail(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
    }
    if (available == nullptr) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const DWORD error = request->response->Available(*available);
    return error == ERROR_SUCCESS ? Succeed() : Fail(error);
}

BOOL WINAPI ReadData(HINTERNET requestHandle, LPVOID buffer, DWORD toRead, LPDWORD read) {
    auto request = Lookup<Request>(requestHandle, WinHttpHandleKind::Request);
    if (request == nullptr) {
        return FALSE;
    }
    if (request->response == nullptr) {
        return Fail(ERROR_WINHTTP_INCORRECT_HANDLE_STATE);
    }
    if (read == nullptr || (buffer == nullptr && toRead != 0)) {
        return Fail(ERROR_INVALID_PARAMETER);
    }
    const DWORD error = request->response->Read(buffer, toRead, *read);
    return error == ERROR_SUCCESS ? Succeed() : Fail(error);
}

} // namespace win32::internal::winhttp
