// An HTTP server on 127.0.0.1 for the suites: it listens on an ephemeral port and answers each connection with
// the next scripted answer, keeping the bytes of every request. It is bounded: after `maxConnections` it
// refuses further connections, and after `lifetime` (real time) it stops waiting for anything, held answers
// included, so that a test that forgets to release it still ends.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tdl::test {

// One answer: the head, then the body's pieces, each written on its own with a pause between (a reader sees
// them arrive apart), then the server closes the connection.
struct HttpAnswer {
    std::string head;              // status line and headers with the empty line; may be cut short or empty
    std::vector<std::string> body; // the bytes on the wire after the head (already chunked when chunked)
    bool held = false;             // nothing is written until the server's Release

    // "HTTP/1.1 200 OK" with the Content-Type (none when empty) and the Content-Length of the whole body.
    static HttpAnswer WithLength(const std::string& contentType, std::vector<std::string> pieces);
    // ... with "Transfer-Encoding: chunked", each piece one chunk, then the last chunk.
    static HttpAnswer Chunked(const std::string& contentType, const std::vector<std::string>& pieces);
    // ... with neither: the body ends where the server closes.
    static HttpAnswer CloseDelimited(const std::string& contentType, std::vector<std::string> pieces);
    // The connection closed after these bytes (none by default), before the headers ended.
    static HttpAnswer ClosedBeforeHeaders(const std::string& partialHead = "");
};

class HttpTestServer {
public:
    explicit HttpTestServer(int maxConnections = 16, std::chrono::seconds lifetime = std::chrono::seconds(60));
    ~HttpTestServer();
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    uint16_t Port() const { return m_port; }

    // The answers to the next connections, in order; the last one answers every connection after them.
    // Without any, a connection is closed at once.
    void Script(std::vector<HttpAnswer> answers);
    // Lets held answers (those waiting and those to come) be written.
    void Release();
    // Runs on the server's thread with each request's bytes, before its answer is written.
    void OnRequest(std::function<void(const std::string&)> observer);

    int Connections() const;
    std::vector<std::string> Requests() const;

private:
    void AcceptLoop();
    void Serve(int fd);
    HttpAnswer NextAnswer();

    int m_listener = -1;
    uint16_t m_port = 0;
    int m_maxConnections;
    std::chrono::steady_clock::time_point m_end;

    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    std::deque<HttpAnswer> m_script;
    std::function<void(const std::string&)> m_observer;
    bool m_released = false;
    bool m_stopping = false;
    int m_connections = 0;
    std::vector<std::string> m_requests;
    std::vector<std::thread> m_workers;
    std::thread m_acceptor;
};

// A loopback port that refuses connections: bound, never listening, so no one else takes it meanwhile.
class RefusingPort {
public:
    RefusingPort();
    ~RefusingPort();
    RefusingPort(const RefusingPort&) = delete;
    RefusingPort& operator=(const RefusingPort&) = delete;
    uint16_t Port() const { return m_port; }

private:
    int m_fd = -1;
    uint16_t m_port = 0;
};

} // namespace tdl::test
