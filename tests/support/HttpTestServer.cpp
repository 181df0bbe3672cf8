#include "tests/support/HttpTestServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <utility>

namespace tdl::test {
namespace {

// How often waits look at the stop flag and the lifetime; and the pause between two writes of one answer,
// long enough for the reader to take the first before the second arrives.
constexpr int kSliceMs = 20;
constexpr auto kPieceGap = std::chrono::milliseconds(40);
constexpr size_t kMaxRequestBytes = 64 * 1024;

std::string Head(const std::string& contentType, const std::string& framing) {
    std::string head = "HTTP/1.1 200 OK\r\n";
    if (!contentType.empty()) {
        head += "Content-Type: " + contentType + "\r\n";
    }
    return head + framing + "\r\n";
}

// A socket bound to 127.0.0.1 on an ephemeral port, and that port.
int BindLoopback(uint16_t& port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        throw std::runtime_error("socket failed");
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        ::close(fd);
        throw std::runtime_error("bind on the loopback address failed");
    }
    port = ntohs(address.sin_port);
    return fd;
}

// The Content-Length of a request head (0 without one).
size_t RequestBodyLength(const std::string& head) {
    std::string lower = head;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const size_t at = lower.find("\r\ncontent-length:");
    return at == std::string::npos ? 0 : std::strtoul(lower.c_str() + at + 17, nullptr, 10);
}

void SendAll(int fd, const std::string& bytes) {
    size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0 && errno != EINTR) {
            return; // the client went away
        }
        sent += n > 0 ? static_cast<size_t>(n) : 0;
    }
}

} // namespace

HttpAnswer HttpAnswer::WithLength(const std::string& contentType, std::vector<std::string> pieces) {
    size_t length = 0;
    for (const std::string& piece : pieces) {
        length += piece.size();
    }
    return HttpAnswer{Head(contentType, "Content-Length: " + std::to_string(length) + "\r\n"), std::move(pieces)};
}

HttpAnswer HttpAnswer::Chunked(const std::string& contentType, const std::vector<std::string>& pieces) {
    HttpAnswer answer{Head(contentType, "Transfer-Encoding: chunked\r\n"), {}};
    char size[32];
    for (const std::string& piece : pieces) {
        std::snprintf(size, sizeof size, "%zx\r\n", piece.size());
        answer.body.push_back(size + piece + "\r\n");
    }
    answer.body.push_back("0\r\n\r\n");
    return answer;
}

HttpAnswer HttpAnswer::CloseDelimited(const std::string& contentType, std::vector<std::string> pieces) {
    return HttpAnswer{Head(contentType, ""), std::move(pieces)};
}

HttpAnswer HttpAnswer::ClosedBeforeHeaders(const std::string& partialHead) {
    return HttpAnswer{partialHead, {}};
}

HttpTestServer::HttpTestServer(int maxConnections, std::chrono::seconds lifetime)
    : m_maxConnections(maxConnections), m_end(std::chrono::steady_clock::now() + lifetime) {
    m_listener = BindLoopback(m_port);
    if (::listen(m_listener, 16) != 0) {
        ::close(m_listener);
        throw std::runtime_error("listen failed");
    }
    m_acceptor = std::thread([this] { AcceptLoop(); });
}

HttpTestServer::~HttpTestServer() {
    {
        std::lock_guard guard(m_lock);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_acceptor.join();
    std::vector<std::thread> workers;
    {
        std::lock_guard guard(m_lock);
        workers.swap(m_workers);
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
}

void HttpTestServer::Script(std::vector<HttpAnswer> answers) {
    std::lock_guard guard(m_lock);
    m_script.assign(std::make_move_iterator(answers.begin()), std::make_move_iterator(answers.end()));
}

void HttpTestServer::Release() {
    {
        std::lock_guard guard(m_lock);
        m_released = true;
    }
    m_changed.notify_all();
}

void HttpTestServer::OnRequest(std::function<void(const std::string&)> observer) {
    std::lock_guard guard(m_lock);
    m_observer = std::move(observer);
}

int HttpTestServer::Connections() const {
    std::lock_guard guard(m_lock);
    return m_connections;
}

std::vector<std::string> HttpTestServer::Requests() const {
    std::lock_guard guard(m_lock);
    return m_requests;
}

HttpAnswer HttpTestServer::NextAnswer() {
    std::lock_guard guard(m_lock);
    if (m_script.empty()) {
        return HttpAnswer{};
    }
    HttpAnswer answer = m_script.front();
    if (m_script.size() > 1) {
        m_script.pop_front();
    }
    return answer;
}

void HttpTestServer::AcceptLoop() {
    for (;;) {
        {
            std::lock_guard guard(m_lock);
            if (m_stopping || m_connections >= m_maxConnections || std::chrono::steady_clock::now() >= m_end) {
                break;
            }
        }
        pollfd listener{m_listener, POLLIN, 0};
        if (::poll(&listener, 1, kSliceMs) <= 0) {
            continue;
        }
        const int fd = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        // A client that stops reading holds a write up for this long at most.
        const timeval sendLimit{5, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);
        std::lock_guard guard(m_lock);
        ++m_connections;
        m_workers.emplace_back([this, fd] { Serve(fd); });
    }
    // From here on the port refuses connections.
    ::close(m_listener);
}

void HttpTestServer::Serve(int fd) {
    auto stopped = [this] {
        std::lock_guard guard(m_lock);
        return m_stopping || std::chrono::steady_clock::now() >= m_end;
    };
    // The request: its head, then as many body bytes as it announces.
    std::string request;
    size_t wanted = std::string::npos;
    while (request.size() < wanted && request.size() < kMaxRequestBytes && !stopped()) {
        pollfd client{fd, POLLIN, 0};
        if (::poll(&client, 1, kSliceMs) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            break;
        }
        request.append(buffer, static_cast<size_t>(n));
        const size_t headEnd = request.find("\r\n\r\n");
        if (headEnd != std::string::npos && wanted == std::string::npos) {
            wanted = headEnd + 4 + RequestBodyLength(request.substr(0, headEnd + 2));
        }
    }
    std::function<void(const std::string&)> observer;
    {
        std::lock_guard guard(m_lock);
        m_requests.push_back(request);
        observer = m_observer;
    }
    if (observer) {
        observer(request);
    }

    const HttpAnswer answer = NextAnswer();
    if (answer.held) {
        std::unique_lock lock(m_lock);
        m_changed.wait_until(lock, m_end, [this] { return m_released || m_stopping; });
    }
    std::vector<std::string> writes;
    if (!answer.head.empty()) {
        writes.push_back(answer.head);
    }
    writes.insert(writes.end(), answer.body.begin(), answer.body.end());
    for (size_t i = 0; i < writes.size() && !stopped(); ++i) {
        if (i > 0) {
            std::this_thread::sleep_for(kPieceGap);
        }
        SendAll(fd, writes[i]);
    }
    ::shutdown(fd, SHUT_WR);
    ::close(fd);
}

RefusingPort::RefusingPort() : m_fd(BindLoopback(m_port)) {}

RefusingPort::~RefusingPort() {
    ::close(m_fd);
}

} // namespace tdl::test
