// The "winhttp" stand-in, bound at run time as programs bind it, against the loopback test server: URLs
// cracked into the caller's buffers, the request on the wire, the three body framings, the raw headers, the
// failures by their codes (none of them reaching beyond the table of loopback hosts), time-outs on the machine
// clock, and the handles.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "NtClock.h"
#include "WinHttpControl.h"
#include "WinModulesControl.h"
#include "tests/support/HttpTestServer.h"
#include "windows.h"
#include "winhttp.h"

namespace {

using tdl::test::HttpAnswer;
using tdl::test::HttpTestServer;

template <class Function> Function Bind(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

class WinHttpTest : public testing::Test {
protected:
    void SetUp() override {
        win32::ResetWinHttp();
        win32::RegisterWinHttpModule();
        m_module = LoadLibraryA("winhttp.dll");
        ASSERT_NE(m_module, nullptr);
        open = Bind<PFN_WINHTTPOPEN>(m_module, "WinHttpOpen");
        crack = Bind<PFN_WINHTTPCRACKURL>(m_module, "WinHttpCrackUrl");
        connect = Bind<PFN_WINHTTPCONNECT>(m_module, "WinHttpConnect");
        openRequest = Bind<PFN_WINHTTPOPENREQUEST>(m_module, "WinHttpOpenRequest");
        send = Bind<PFN_WINHTTPSENDREQUEST>(m_module, "WinHttpSendRequest");
        receive = Bind<PFN_WINHTTPRECEIVERESPONSE>(m_module, "WinHttpReceiveResponse");
        queryHeaders = Bind<PFN_WINHTTPQUERYHEADERS>(m_module, "WinHttpQueryHeaders");
        queryData = Bind<PFN_WINHTTPQUERYDATAAVAILABLE>(m_module, "WinHttpQueryDataAvailable");
        read = Bind<PFN_WINHTTPREADDATA>(m_module, "WinHttpReadData");
        close = Bind<PFN_WINHTTPCLOSEHANDLE>(m_module, "WinHttpCloseHandle");
        ASSERT_NE(close, nullptr);
    }
    void TearDown() override {
        for (auto it = m_handles.rbegin(); it != m_handles.rend(); ++it) {
            close(*it);
        }
        EXPECT_EQ(win32::WinHttpOpenHandleCount(), 0u);
        FreeLibrary(m_module);
        win32::UnregisterModule("winhttp");
        win32::ResetWinHttp();
        nt::clock::Reset();
    }

    // A GET of `path` on `host` (port 80) with the agent "agent/1.0", its handles closed at the end.
    HINTERNET Request(const char16_t* host, const char16_t* path = u"/tdloft_ver.txt", DWORD flags = 0,
                      const char16_t* verb = u"GET") {
        HINTERNET session = Keep(
            open(u"agent/1.0", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
        HINTERNET connection = Keep(connect(session, host, INTERNET_DEFAULT_HTTP_PORT, 0));
        return Keep(
            openRequest(connection, verb, path, nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, flags));
    }
    HINTERNET Keep(HINTERNET handle) {
        EXPECT_NE(handle, nullptr);
        m_handles.push_back(handle);
        return handle;
    }
    BOOL Send(HINTERNET request) {
        return send(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0);
    }
    // The whole body, read as a client does: ask what is there, read that much, until nothing is left.
    // The error of a failed call, or 0.
    DWORD ReadBody(HINTERNET request, std::string& body) {
        for (;;) {
            DWORD available = 0;
            if (!queryData(request, &available)) {
                return GetLastError();
            }
            if (available == 0) {
                return 0;
            }
            std::string piece(available, '\0');
            DWORD got = 0;
            if (!read(request, piece.data(), available, &got)) {
                return GetLastError();
            }
            body.append(piece, 0, got);
        }
    }
    std::u16string RawHeaders(HINTERNET request) {
        DWORD size = 0;
        EXPECT_FALSE(queryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                                  WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
        std::u16string text(size / 2, u'\0');
        EXPECT_TRUE(queryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, text.data(),
                                 &size, WINHTTP_NO_HEADER_INDEX));
        EXPECT_EQ(size, (text.size() - 1) * 2) << "the size without the terminator";
        text.resize(size / 2);
        return text;
    }
    void MapToServer(const HttpTestServer& server) {
        ASSERT_TRUE(win32::MapWinHttpHost("www.vellumcrest.com", 80, "127.0.0.1", server.Port()));
    }

    HMODULE m_module = nullptr;
    std::vector<HINTERNET> m_handles;
    PFN_WINHTTPOPEN open = nullptr;
    PFN_WINHTTPCRACKURL crack = nullptr;
    PFN_WINHTTPCONNECT connect = nullptr;
    PFN_WINHTTPOPENREQUEST openRequest = nullptr;
    PFN_WINHTTPSENDREQUEST send = nullptr;
    PFN_WINHTTPRECEIVERESPONSE receive = nullptr;
    PFN_WINHTTPQUERYHEADERS queryHeaders = nullptr;
    PFN_WINHTTPQUERYDATAAVAILABLE queryData = nullptr;
    PFN_WINHTTPREADDATA read = nullptr;
    PFN_WINHTTPCLOSEHANDLE close = nullptr;
};

TEST_F(WinHttpTest, CrackingFillsTheCallersBuffersOrPointsIntoTheUrl) {
    struct Case {
        const char16_t* url;
        bool extraAsked;
        INTERNET_SCHEME scheme;
        INTERNET_PORT port;
        const char16_t* host;
        const char16_t* path;
        const char16_t* extra;
        const char16_t* user;
        const char16_t* password;
    };
    const Case cases[] = {
        {u"http://www.vellumcrest.com/tdloft_ver.txt", false, INTERNET_SCHEME_HTTP, 80, u"www.vellumcrest.com",
         u"/tdloft_ver.txt", u"", u"", u""},
        {u"HTTPS://h:8443/a/b?x=1#f", false, INTERNET_SCHEME_HTTPS, 8443, u"h", u"/a/b?x=1#f", u"", u"", u""},
        {u"https://h:8443/a/b?x=1#f", true, INTERNET_SCHEME_HTTPS, 8443, u"h", u"/a/b", u"?x=1#f", u"", u""},
        {u"http://me:secret@h", false, INTERNET_SCHEME_HTTP, 80, u"h", u"", u"", u"me", u"secret"},
        {u"http://h?q", true, INTERNET_SCHEME_HTTP, 80, u"h", u"", u"?q", u"", u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.url, c.url + std::char_traits<char16_t>::length(c.url)));
        char16_t host[64] = {}, path[64] = {}, extra[64] = {}, user[16] = {}, password[16] = {};
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof parts;
        parts.lpszHostName = host;
        parts.dwHostNameLength = 64;
        parts.lpszUrlPath = path;
        parts.dwUrlPathLength = 64;
        parts.lpszExtraInfo = extra;
        parts.dwExtraInfoLength = c.extraAsked ? 64 : 0;
        parts.lpszUserName = user;
        parts.dwUserNameLength = 16;
        parts.lpszPassword = password;
        parts.dwPasswordLength = 16;
        ASSERT_TRUE(crack(c.url, 0, 0, &parts));
        EXPECT_EQ(parts.nScheme, c.scheme);
        EXPECT_EQ(parts.nPort, c.port);
        EXPECT_EQ(std::u16string(host), c.host);
        EXPECT_EQ(parts.dwHostNameLength, std::char_traits<char16_t>::length(c.host));
        EXPECT_EQ(std::u16string(path), c.path);
        EXPECT_EQ(std::u16string(extra), c.extra);
        EXPECT_EQ(std::u16string(user), c.user);
        EXPECT_EQ(std::u16string(password), c.password);
    }
    struct Rejected {
        const char16_t* url;
        DWORD error;
    };
    for (const Rejected& c :
         {Rejected{u"ftp://h/x", ERROR_WINHTTP_UNRECOGNIZED_SCHEME},
          Rejected{u"www.vellumcrest.com/x", ERROR_WINHTTP_UNRECOGNIZED_SCHEME},
          Rejected{u"http:/h/x", ERROR_WINHTTP_INVALID_URL}, Rejected{u"http://:80/x", ERROR_WINHTTP_INVALID_URL},
          Rejected{u"http://h:99999/x", ERROR_WINHTTP_INVALID_URL},
          Rejected{u"http://h:8o/x", ERROR_WINHTTP_INVALID_URL}, Rejected{u"http://h:/x", ERROR_WINHTTP_INVALID_URL}}) {
        URL_COMPONENTS parts{};
        parts.dwStructSize = sizeof parts;
        parts.dwHostNameLength = 1;
        EXPECT_FALSE(crack(c.url, 0, 0, &parts));
        EXPECT_EQ(GetLastError(), c.error) << std::string(c.url, c.url + std::char_traits<char16_t>::length(c.url));
    }

    // A buffer one character short: 122, and the length the copy needs with its terminator.
    const char16_t* url = u"http://www.vellumcrest.com:8080/tdloft_ver.txt";
    char16_t host[19] = {};
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.lpszHostName = host;
    parts.dwHostNameLength = 19;
    EXPECT_FALSE(crack(url, 0, 0, &parts));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(parts.dwHostNameLength, 20u);
    // No buffer but a length: a pointer into the URL; a URL length cuts the text.
    parts = URL_COMPONENTS{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = 1;
    parts.dwUrlPathLength = 1;
    ASSERT_TRUE(crack(url, 35, 0, &parts));
    EXPECT_EQ(parts.lpszHostName, url + 7);
    EXPECT_EQ(parts.dwHostNameLength, 19u);
    EXPECT_EQ(std::u16string(parts.lpszUrlPath, parts.dwUrlPathLength), u"/tdl");
    EXPECT_EQ(parts.nPort, 8080);
    // A structure of another size.
    parts.dwStructSize = sizeof parts - 8;
    EXPECT_FALSE(crack(url, 0, 0, &parts));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST_F(WinHttpTest, ARequestGoesOnTheWireAndItsBodyArrivesWhateverItsFraming) {
    HttpTestServer server;
    MapToServer(server);
    const std::vector<std::string> pieces = {"Tindaloft ", "2.20.0 ", "Build 1"};
    const HttpAnswer answers[] = {
        HttpAnswer::WithLength("text/plain", pieces),
        HttpAnswer::Chunked("text/plain; charset=utf-8", pieces),
        HttpAnswer::CloseDelimited("", pieces),
    };
    for (const HttpAnswer& answer : answers) {
        SCOPED_TRACE(answer.head);
        server.Script({answer});
        HINTERNET request = Request(u"WWW.vellumcrest.com");
        ASSERT_TRUE(Send(request));
        ASSERT_TRUE(receive(request, nullptr));
        EXPECT_EQ(RawHeaders(request), std::u16string(answer.head.begin(), answer.head.end()));
        DWORD status = 0;
        DWORD size = sizeof status;
        ASSERT_TRUE(queryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                                 WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX));
        EXPECT_EQ(status, 200u);
        std::string body;
        EXPECT_EQ(ReadBody(request, body), 0u);
        EXPECT_EQ(body, "Tindaloft 2.20.0 Build 1");
    }
    const std::vector<std::string> requests = server.Requests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0],
              "GET /tdloft_ver.txt HTTP/1.1\r\nHost: WWW.vellumcrest.com\r\nUser-Agent: agent/1.0\r\n\r\n");
    EXPECT_EQ(win32::WinHttpConnectionAttempts(), 3);

    // A POST carries its body and its length; extra headers go as given, each line ended by CRLF.
    server.Script({HttpAnswer::WithLength("", {})});
    HINTERNET post = Request(u"www.vellumcrest.com", u"/a b", 0, u"POST");
    char data[] = "k=v";
    ASSERT_TRUE(send(post, u"X-One: 1\nX-Two: 2", static_cast<DWORD>(-1), data, 3, 3, 0));
    ASSERT_TRUE(receive(post, nullptr));
    std::string body;
    EXPECT_EQ(ReadBody(post, body), 0u);
    EXPECT_EQ(body, "");
    EXPECT_EQ(server.Requests().back(), "POST /a%20b HTTP/1.1\r\nHost: www.vellumcrest.com\r\nUser-Agent: agent/1.0\r\n"
                                        "X-One: 1\r\nX-Two: 2\r\nContent-Length: 3\r\n\r\nk=v");
}

TEST_F(WinHttpTest, FailuresHaveThePlatformsCodesAndNothingLeavesTheLoopbackTable) {
    HttpTestServer server;
    MapToServer(server);
    tdl::test::RefusingPort refusing;
    ASSERT_TRUE(win32::MapWinHttpHost("refusing.example", 80, "127.0.0.1", refusing.Port()));
    EXPECT_FALSE(win32::MapWinHttpHost("outside.example", 80, "10.0.0.1", 80));

    // Before any connection: the name, the address, the scheme.
    struct Early {
        const char16_t* host;
        DWORD flags;
        DWORD error;
    };
    for (const Early& c : {Early{u"outside.example", 0, ERROR_WINHTTP_NAME_NOT_RESOLVED},
                           Early{u"www.vellumcrest.com", WINHTTP_FLAG_SECURE, ERROR_WINHTTP_SECURE_FAILURE},
                           Early{u"192.0.2.1", 0, ERROR_WINHTTP_CANNOT_CONNECT}}) {
        EXPECT_FALSE(Send(Request(c.host, u"/", c.flags)));
        EXPECT_EQ(GetLastError(), c.error);
    }
    EXPECT_EQ(win32::WinHttpConnectionAttempts(), 0);
    EXPECT_EQ(server.Connections(), 0);

    EXPECT_FALSE(Send(Request(u"refusing.example")));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WINHTTP_CANNOT_CONNECT));
    EXPECT_EQ(win32::WinHttpConnectionAttempts(), 1);

    // Responses that are not HTTP, or end early.
    struct Late {
        const char* name;
        HttpAnswer answer;
        DWORD headError; // of WinHttpReceiveResponse, or 0
        DWORD bodyError; // of reading the body, or 0
    };
    const Late cases[] = {
        {"closed before any byte", HttpAnswer::ClosedBeforeHeaders(), ERROR_WINHTTP_INVALID_SERVER_RESPONSE, 0},
        {"closed within the headers", HttpAnswer::ClosedBeforeHeaders("HTTP/1.1 200 OK\r\nContent-Le"),
         ERROR_WINHTTP_INVALID_SERVER_RESPONSE, 0},
        {"not HTTP", HttpAnswer{"SMTP ready\r\n\r\n", {}}, ERROR_WINHTTP_INVALID_SERVER_RESPONSE, 0},
        {"header without colon", HttpAnswer{"HTTP/1.1 200 OK\r\nBroken\r\n\r\n", {}},
         ERROR_WINHTTP_INVALID_SERVER_RESPONSE, 0},
        {"length cut short", HttpAnswer{"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n", {"abc"}}, 0,
         ERROR_WINHTTP_CONNECTION_ERROR},
        {"bad chunk size", HttpAnswer{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", {"zz\r\nabc\r\n"}}, 0,
         ERROR_WINHTTP_INVALID_SERVER_RESPONSE},
        {"chunks cut short", HttpAnswer{"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n", {"3\r\nabc\r\n"}}, 0,
         ERROR_WINHTTP_CONNECTION_ERROR},
    };
    for (const Late& c : cases) {
        SCOPED_TRACE(c.name);
        server.Script({c.answer});
        HINTERNET request = Request(u"www.vellumcrest.com");
        ASSERT_TRUE(Send(request));
        if (c.headError != 0) {
            EXPECT_FALSE(receive(request, nullptr));
            EXPECT_EQ(GetLastError(), c.headError);
            continue;
        }
        ASSERT_TRUE(receive(request, nullptr));
        std::string body;
        EXPECT_EQ(ReadBody(request, body), c.bodyError);
    }
}

TEST_F(WinHttpTest, AnAnswerThatDoesNotComeTimesOutAfterThirtySecondsOfMachineTime) {
    HttpTestServer server;
    MapToServer(server);
    server.Script({HttpAnswer{"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\n", {"ok"}, true}});
    nt::clock::UseVirtualClock();
    HINTERNET request = Request(u"www.vellumcrest.com");
    ASSERT_TRUE(Send(request));
    const size_t before = nt::clock::TimedWaiterCount();
    // The last error is read after the receive returns: the two may not share one call's arguments, whose order
    // the language leaves open.
    auto received = std::async(std::launch::async, [&] {
        const BOOL ok = receive(request, nullptr);
        return std::make_pair(ok, GetLastError());
    });
    ASSERT_TRUE(nt::clock::WaitForTimedWaiters(before + 1));
    nt::clock::AdvanceMilliseconds(29'999);
    EXPECT_EQ(received.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
    nt::clock::AdvanceMilliseconds(1);
    const auto [ok, error] = received.get();
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, static_cast<DWORD>(ERROR_WINHTTP_TIMEOUT));

    // A shorter receive time-out for sessions opened later; the answer, once released, is read in time.
    win32::SetWinHttpTimeouts({.receive = 500});
    server.Release();
    HINTERNET again = Request(u"www.vellumcrest.com");
    ASSERT_TRUE(Send(again));
    nt::clock::UseRealClock();
    ASSERT_TRUE(receive(again, nullptr));
    std::string body;
    EXPECT_EQ(ReadBody(again, body), 0u);
    EXPECT_EQ(body, "ok");
}

TEST_F(WinHttpTest, HandlesAreCountedCheckedByKindAndClosedInTheOrderGiven) {
    HINTERNET session = open(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, nullptr, nullptr, 0);
    HINTERNET connection = connect(session, u"www.vellumcrest.com", 0, 0);
    HINTERNET request = openRequest(connection, nullptr, nullptr, nullptr, nullptr, nullptr, 0);
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(win32::WinHttpOpenHandleCount(), 3u);

    EXPECT_EQ(connect(request, u"h", 80, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WINHTTP_INCORRECT_HANDLE_TYPE));
    EXPECT_EQ(connect(session, nullptr, 80, 0), nullptr);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(receive(request, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_WINHTTP_INCORRECT_HANDLE_STATE));
    EXPECT_EQ(open(u"a", 0, nullptr, nullptr, WINHTTP_FLAG_ASYNC), nullptr);

    EXPECT_TRUE(close(session)); // the children stay usable
    EXPECT_TRUE(close(request));
    EXPECT_TRUE(close(connection));
    EXPECT_FALSE(close(connection));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    using Kind = win32::WinHttpHandleKind;
    const std::vector<win32::WinHttpHandleEvent> events = win32::WinHttpHandleEvents();
    ASSERT_EQ(events.size(), 6u);
    const std::pair<Kind, bool> expected[] = {{Kind::Session, true},  {Kind::Connection, true},
                                              {Kind::Request, true},  {Kind::Session, false},
                                              {Kind::Request, false}, {Kind::Connection, false}};
    for (size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].kind, expected[i].first) << i;
        EXPECT_EQ(events[i].opened, expected[i].second) << i;
    }
    EXPECT_EQ(win32::WinHttpOpenHandleCount(), 0u);
}

TEST_F(WinHttpTest, AModuleWithoutAnExportIsOneTheProgramCannotBind) {
    win32::RegisterWinHttpModule("WinHttpReadData");
    HMODULE module = LoadLibraryA("winhttp");
    ASSERT_NE(module, nullptr);
    EXPECT_NE(GetProcAddress(module, "WinHttpQueryDataAvailable"), nullptr);
    EXPECT_EQ(GetProcAddress(module, "WinHttpReadData"), nullptr);
    FreeLibrary(module);
}

} // namespace
