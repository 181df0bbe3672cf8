// Internal to the WinHTTP stand-in: one TCP connection whose waits run on the machine clock, and the response
// side of HTTP/1.1 read over it (status line and headers, then the body by its framing).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "windef.h"

namespace win32::internal {

class HttpConnection {
public:
    HttpConnection() = default;
    // A socket connected already, which the connection now owns.
    explicit HttpConnection(int fd) : m_fd(fd) {}
    ~HttpConnection();
    HttpConnection(const HttpConnection&) = delete;
    HttpConnection& operator=(const HttpConnection&) = delete;

    // `address` and `port` in host byte order. ERROR_SUCCESS, ERROR_WINHTTP_CANNOT_CONNECT or
    // ERROR_WINHTTP_TIMEOUT.
    DWORD Connect(uint32_t address, uint16_t port, DWORD timeoutMs);
    // All of `bytes`: ERROR_SUCCESS, ERROR_WINHTTP_CONNECTION_ERROR or ERROR_WINHTTP_TIMEOUT.
    DWORD Send(std::string_view bytes, DWORD timeoutMs);
    // Appends what arrived, waiting at most timeoutMs for the first byte; `closed` when the peer closed its
    // side instead. ERROR_SUCCESS, ERROR_WINHTTP_CONNECTION_ERROR (reset) or ERROR_WINHTTP_TIMEOUT.
    DWORD Receive(std::string& into, DWORD timeoutMs, bool& closed);

private:
    int m_fd = -1;
};

// One response as it arrives: ReadHead first, then Available and Read until Available gives 0.
class HttpResponse {
public:
    // `bodiless`: the request was HEAD, so no body follows whatever the headers say.
    HttpResponse(HttpConnection& connection, DWORD receiveTimeoutMs, bool bodiless);

    // Reads up to the end of the headers, skipping interim (1xx) answers. ERROR_SUCCESS,
    // ERROR_WINHTTP_INVALID_SERVER_RESPONSE (not HTTP, too long, or closed first), a receive error.
    DWORD ReadHead();

    int StatusCode() const { return m_status; }
    // The status line and the header lines, each ended by CRLF, then an empty line.
    const std::string& RawHeaders() const { return m_rawHeaders; }
    // The value of the index-th header of this name (compared without regard to case), trimmed.
    bool FindHeader(std::string_view name, size_t index, std::string& value) const;

    // Body bytes that can be read now, waiting for some when none are decoded yet; 0 once the body ended.
    DWORD Available(DWORD& count);
    DWORD Read(void* buffer, DWORD size, DWORD& read);

private:
    enum class Framing { None, Length, Chunked, Close };
    enum class ChunkState { Size, Data, DataEnd, Trailer };

    DWORD Fill(bool& closed);
    DWORD ParseHead(std::string_view head);
    DWORD ChooseFraming();
    DWORD Decode();
    DWORD DecodeChunks();
    size_t Buffered() const { return m_body.size() - m_bodyOffset; }

    HttpConnection& m_connection;
    DWORD m_timeout;
    bool m_bodiless;

    std::string m_raw; // received and not yet decoded
    int m_status = 0;
    std::string m_rawHeaders;
    std::vector<std::pair<std::string, std::string>> m_headers;

    Framing m_framing = Framing::None;
    ChunkState m_chunkState = ChunkState::Size;
    uint64_t m_remaining = 0; // of the body (Length) or of the current chunk (Chunked)
    bool m_ended = false;
    std::string m_body; // decoded, read from m_bodyOffset on
    size_t m_bodyOffset = 0;
};

} // namespace win32::internal
