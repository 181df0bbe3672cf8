// Sockets and the HTTP/1.1 response reader of the WinHTTP stand-in. Every wait polls the socket in short
// slices against a deadline on the machine clock, registered as a timed waiter, so that a test on the virtual
// clock sees the wait and decides when it times out.
#include "internal/HttpWire.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "NtClock.h"
#include "winerror.h"
#include "winhttp.h"

namespace win32::internal {
namespace {

// How long one poll blocks before the deadline is looked at again: on the virtual clock time moves only when
// a test advances it, so the slice is short; on the real clock it only bounds the lateness of a time-out.
constexpr int kVirtualSliceMs = 2;
constexpr int kRealSliceMs = 50;
// A head longer than this, or a chunk-size line or trailer longer than the line limit, is not a response this
// client accepts.
constexpr size_t kMaxHeadBytes = 64 * 1024;
constexpr size_t kMaxLineBytes = 4 * 1024;
constexpr size_t kReceiveBytes = 16 * 1024;

enum class Wait { Ready, TimedOut, Failed };

Wait WaitForSocket(int fd, short events, const nt::clock::Deadline& deadline) {
    std::condition_variable unused; // Advance notifies it; the poll slices notice the new time by themselves
    nt::clock::detail::TimedWaiter waiter(unused);
    for (;;) {
        int slice = kVirtualSliceMs;
        if (!nt::clock::IsVirtual()) {
            const LONGLONG left = (deadline.MachineTime() - nt::clock::Now()) / nt::clock::kUnitsPerMillisecond;
            slice = static_cast<int>(std::clamp<LONGLONG>(left, 1, kRealSliceMs));
        }
        pollfd descriptor{fd, events, 0};
        const int ready = ::poll(&descriptor, 1, slice);
        if (ready > 0) {
            return Wait::Ready; // errors and hang-ups too: the next call on the socket tells which
        }
        if (ready < 0 && errno != EINTR) {
            return Wait::Failed;
        }
        if (deadline.HasPassed()) {
            return Wait::TimedOut;
        }
    }
}

DWORD WaitError(Wait wait) {
    return wait == Wait::TimedOut ? ERROR_WINHTTP_TIMEOUT : ERROR_WINHTTP_CONNECTION_ERROR;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view Trim(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// The next line of `text` from `pos` (its end of line, LF or CRLF, not included) and where the one after it
// starts; false when no line end has arrived yet.
bool NextLine(std::string_view text, size_t pos, std::string_view& line, size_t& next) {
    const size_t feed = text.find('\n', pos);
    if (feed == std::string_view::npos) {
        return false;
    }
    line = text.substr(pos, feed - pos);
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    next = feed + 1;
    return true;
}

bool ParseDecimal(std::string_view text, uint64_t& value) {
    if (text.empty()) {
        return false;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size();
}

} // namespace

HttpConnection::~HttpConnection() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

DWORD HttpConnection::Connect(uint32_t address, uint16_t port, DWORD timeoutMs) {
    const nt::clock::Deadline deadline = nt::clock::Deadline::AfterMilliseconds(timeoutMs);
    m_fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_fd < 0) {
        return ERROR_WINHTTP_CANNOT_CONNECT;
    }
    const int on = 1;
    ::setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_addr.s_addr = htonl(address);
    peer.sin_port = htons(port);
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0) {
        return ERROR_SUCCESS;
    }
    if (errno != EINPROGRESS) {
        return ERROR_WINHTTP_CANNOT_CONNECT;
    }
    const Wait wait = WaitForSocket(m_fd, POLLOUT, deadline);
    if (wait == Wait::TimedOut) {
        return ERROR_WINHTTP_TIMEOUT;
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (wait == Wait::Failed || ::getsockopt(m_fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0 || error != 0) {
        return ERROR_WINHTTP_CANNOT_CONNECT;
    }
    return ERROR_SUCCESS;
}

DWORD HttpConnection::Send(std::string_view bytes, DWORD timeoutMs) {
    const nt::clock::Deadline deadline = nt::clock::Deadline::AfterMilliseconds(timeoutMs);
    while (!bytes.empty()) {
        const ssize_t sent = ::send(m_fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            bytes.remove_prefix(static_cast<size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR) {
            continue;
        }
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            const Wait wait = WaitForSocket(m_fd, POLLOUT, deadline);
            if (wait != Wait::Ready) {
                return WaitError(wait);
            }
            continue;
        }
        return ERROR_WINHTTP_CONNECTION_ERROR;
    }
    return ERROR_SUCCESS;
}

DWORD HttpConnection::Receive(std::string& into, DWORD timeoutMs, bool& closed) {
    const nt::clock::Deadline deadline = nt::clock::Deadline::AfterMilliseconds(timeoutMs);
    closed = false;
    char buffer[kReceiveBytes];
    for (;;) {
        const ssize_t received = ::recv(m_fd, buffer, sizeof buffer, 0);
        if (received > 0) {
            into.append(buffer, static_cast<size_t>(received));
            return ERROR_SUCCESS;
        }
        if (received == 0) {
            closed = true;
            return ERROR_SUCCESS;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            return ERROR_WINHTTP_CONNECTION_ERROR;
        }
        const Wait wait = WaitForSocket(m_fd, POLLIN, deadline);
        if (wait != Wait::Ready) {
            return WaitError(wait);
        }
    }
}

HttpResponse::HttpResponse(HttpConnection& connection, DWORD receiveTimeoutMs, bool bodiless)
    : m_connection(connection), m_timeout(receiveTimeoutMs), m_bodiless(bodiless) {}

DWORD HttpResponse::Fill(bool& closed) {
    return m_connection.Receive(m_raw, m_timeout, closed);
}

DWORD HttpResponse::ReadHead() {
    for (;;) {
        // The head ends at the first empty line.
        size_t pos = 0;
        size_t headEnd = std::string::npos;
        std::string_view line;
        size_t next = 0;
        for (;;) {
            if (pos > kMaxHeadBytes) {
                return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
            }
            while (!NextLine(m_raw, pos, line, next)) {
                if (m_raw.size() > kMaxHeadBytes) {
                    return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
                }
                bool closed = false;
                if (const DWORD error = Fill(closed); error != ERROR_SUCCESS) {
                    return error;
                }
                if (closed) {
                    return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
                }
            }
            if (line.empty()) {
                headEnd = pos;
                break;
            }
            pos = next;
        }
        const std::string head = m_raw.substr(0, headEnd);
        m_raw.erase(0, next);
        if (const DWORD error = ParseHead(head); error != ERROR_SUCCESS) {
            return error;
        }
        if (m_status >= 200) {
            return ChooseFraming();
        }
    }
}

DWORD HttpResponse::ParseHead(std::string_view head) {
    m_rawHeaders.clear();
    m_headers.clear();
    size_t pos = 0;
    std::string_view line;
    size_t next = 0;
    bool first = true;
    while (pos < head.size()) {
        if (!NextLine(head, pos, line, next)) {
            line = head.substr(pos);
            next = head.size();
        }
        pos = next;
        if (first) {
            // "HTTP/1.1 200 OK": the version, a three-digit code, and a reason that may be empty.
            first = false;
            uint64_t code = 0;
            if (line.size() < 12 || line.substr(0, 5) != "HTTP/" ||
                !std::isdigit(static_cast<unsigned char>(line[5])) || line[6] != '.' ||
                !std::isdigit(static_cast<unsigned char>(line[7])) || line[8] != ' ' ||
                !ParseDecimal(line.substr(9, 3), code) || (line.size() > 12 && line[12] != ' ')) {
                return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
            }
            m_status = static_cast<int>(code);
        } else {
            const size_t colon = line.find(':');
            if (colon == 0 || colon == std::string_view::npos ||
                line.substr(0, colon).find_first_of(" \t") != std::string_view::npos) {
                return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
            }
            m_headers.emplace_back(line.substr(0, colon), Trim(line.substr(colon + 1)));
        }
        m_rawHeaders.append(line).append("\r\n");
    }
    if (first) {
        return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
    }
    m_rawHeaders.append("\r\n");
    return ERROR_SUCCESS;
}

bool HttpResponse::FindHeader(std::string_view name, size_t index, std::string& value) const {
    for (const auto& [headerName, headerValue] : m_headers) {
        if (EqualsIgnoreCase(headerName, name) && index-- == 0) {
            value = headerValue;
            return true;
        }
    }
    return false;
}

DWORD HttpResponse::ChooseFraming() {
    if (m_bodiless || m_status == 204 || m_status == 304) {
        m_framing = Framing::None;
        m_ended = true;
        return ERROR_SUCCESS;
    }
    std::string coding;
    if (FindHeader("Transfer-Encoding", 0, coding)) {
        // Chunked when it is the last coding applied; any other coding runs to the close.
        const std::string_view codings = coding;
        const size_t comma = codings.find_last_of(',');
        const std::string_view last = Trim(comma == std::string_view::npos ? codings : codings.substr(comma + 1));
        m_framing = EqualsIgnoreCase(last, "chunked") ? Framing::Chunked : Framing::Close;
        return ERROR_SUCCESS;
    }
    bool lengthSeen = false;
    for (const auto& [name, value] : m_headers) {
        if (!EqualsIgnoreCase(name, "Content-Length")) {
            continue;
        }
        uint64_t length = 0;
        if (!ParseDecimal(value, length) || (lengthSeen && length != m_remaining)) {
            return ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
        }
        lengthSeen = true;
        m_remaining = length;
    }
    m_framing = lengthSeen ? Framing::Length : Framing::Close;
    m_ended = lengthSeen && m_remaining == 0;
    return ERROR_SUCCESS;
}

DWORD HttpResponse::Decode() {
    switch (m_framing) {
    case Framing::None: break;
    case Framing::Length: {
        const size_t take = static_cast<size_t>(std::min<uint64_t>(m_remaining, m_raw.size()));
        m_body.append(m_raw, 0, take);
        m_raw.erase(0, take);
        m_remaining -= take;
        m_ended = m_remaining == 0;
        break;
    }
    case Framing::Close:
        m_body.append(m_raw);
        m_raw.clear();
        break;
    case Framing::Chunked: return DecodeChunks();
    }
    return ERROR_SUCCESS;
}

DWORD HttpResponse::DecodeChunks() {
    size_t pos = 0;
    DWORD result = ERROR_SUCCESS;
    while (!m_ended && pos < m_raw.size()) {
        std::string_view line;
        size_t next = 0;
        if (m_chunkState == ChunkState::Data) {
            const size_t take = static_cast<size_t>(std::min<uint64_t>(m_remaining, m_raw.size() - pos));
            m_body.append(m_raw, pos, take);
            pos += take;
            m_remaining -= take;
            if (m_remaining == 0) {
                m_chunkState = ChunkState::DataEnd;
            }
            continue;
        }
        if (!NextLine(m_raw, pos, line, next)) {
            if (m_raw.size() - pos > kMaxLineBytes) {
                result = ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
            }
            break;
        }
        pos = next;
        if (m_chunkState == ChunkState::DataEnd) {
            // The line end that closes a chunk's data, nothing before it.
            if (!line.empty()) {
                result = ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
                break;
            }
            m_chunkState = ChunkState::Size;
        } else if (m_chunkState == ChunkState::Size) {
            // A hexadecimal size, then optional extensions after ';'.
            const std::string_view digits = Trim(line.substr(0, line.find(';')));
            uint64_t size = 0;
            const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), size, 16);
            if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
                result = ERROR_WINHTTP_INVALID_SERVER_RESPONSE;
                break;
            }
            m_remaining = size;
            m_chunkState = size == 0 ? ChunkState::Trailer : ChunkState::Data;
        } else if (line.empty()) {
            m_ended = true; // the empty line after the trailer fields
        }
    }
    m_raw.erase(0, pos);
    return result;
}

DWORD HttpResponse::Available(DWORD& count) {
    count = 0;
    for (;;) {
        if (const DWORD error = Decode(); error != ERROR_SUCCESS) {
            return error;
        }
        if (Buffered() > 0) {
            count = static_cast<DWORD>(std::min<size_t>(Buffered(), 0xFFFFFFFFu));
            return ERROR_SUCCESS;
        }
        if (m_ended || m_framing == Framing::None) {
            return ERROR_SUCCESS;
        }
        bool closed = false;
        if (const DWORD error = Fill(closed); error != ERROR_SUCCESS) {
            return error;
        }
        if (closed) {
            if (m_framing != Framing::Close) {
                return ERROR_WINHTTP_CONNECTION_ERROR; // the promised length or the last chunk never came
            }
            m_ended = true;
        }
    }
}

DWORD HttpResponse::Read(void* buffer, DWORD size, DWORD& read) {
    read = 0;
    DWORD available = 0;
    if (const DWORD error = Available(available); error != ERROR_SUCCESS) {
        return error;
    }
    const size_t take = std::min<size_t>(size, available);
    std::copy_n(m_body.data() + m_bodyOffset, take, static_cast<char*>(buffer));
    m_bodyOffset += take;
    if (m_bodyOffset == m_body.size()) {
        m_body.clear();
        m_bodyOffset = 0;
    }
    read = static_cast<DWORD>(take);
    return ERROR_SUCCESS;
}

} // namespace win32::internal
