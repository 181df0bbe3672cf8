// The HTTP client against the loopback server: what it keeps of a response, the requests it refuses before
// any handle, its three attempts, and its handles closed request first, session last, on every path.
#include "app/core/update/WinHttpClient.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WinHttpControl.h"
#include "WinModulesControl.h"
#include "tests/support/HttpTestServer.h"

namespace {

using tdl::test::HttpAnswer;
using tdl::test::HttpTestServer;
using Kind = win32::WinHttpHandleKind;

constexpr char16_t kUrl[] = u"http://updates.example/tdloft_ver.txt";

std::u16string Wide(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

// The handle events as text: "S+" a session opened, "R-" a request closed...
std::string Events() {
    std::string text;
    for (const win32::WinHttpHandleEvent& e : win32::WinHttpHandleEvents()) {
        text += e.kind == Kind::Session ? 'S' : e.kind == Kind::Connection ? 'C' : 'R';
        text += e.opened ? '+' : '-';
        text += ' ';
    }
    return text;
}

class WinHttpClientTest : public testing::Test {
protected:
    void SetUp() override {
        win32::ResetWinHttp();
        win32::RegisterWinHttpModule();
        ASSERT_TRUE(win32::MapWinHttpHost("updates.example", 80, "127.0.0.1", m_server.Port()));
    }
    void TearDown() override {
        win32::UnregisterModule("winhttp");
        win32::ResetWinHttp();
    }

    HttpTestServer m_server;
};

TEST_F(WinHttpClientTest, KeepsTheRawHeadersAndTheBodyAndNothingOfAResponseCutShort) {
    const HttpAnswer answer = HttpAnswer::WithLength("text/plain; charset=ISO-8859-1", {"Tindaloft 2.20.0 Build 1"});
    m_server.Script({answer, HttpAnswer{"HTTP/1.1 200 OK\r\nContent-Length: 40\r\n\r\n", {"Tindaloft"}}});
    WinHttpClient client(kUrl);
    ASSERT_TRUE(client.IsLoaded());
    ASSERT_TRUE(client.SendHttpRequest());
    EXPECT_EQ(client.GetResponseHeader(), Wide(answer.head));
    EXPECT_EQ(client.GetResponseContent(), u"Tindaloft 2.20.0 Build 1");
    ASSERT_EQ(m_server.Requests().size(), 1u);
    EXPECT_EQ(m_server.Requests()[0],
              "GET /tdloft_ver.txt HTTP/1.1\r\nHost: updates.example\r\nUser-Agent: WinHttpClient\r\n\r\n");

    // The body ends before its length: the read fails, and the request with it.
    EXPECT_FALSE(client.SendHttpRequest());
    EXPECT_EQ(client.GetResponseContent(), u"");
    EXPECT_EQ(m_server.Connections(), 2) << "a response that came is not asked again";
}

TEST_F(WinHttpClientTest, ConvertsTheWholeBodyOnceByItsCharset) {
    struct Case {
        const char* name;
        HttpAnswer answer;
        std::u16string content;
    };
    const Case cases[] = {
        {"UTF-8, a character split across two writes",
         HttpAnswer::WithLength("text/plain; charset=UTF-8", {"Caf\xC3", "\xA9 \xE2\x82", "\xAC"}),
         u"Caf\u00E9 \u20AC"},
        {"UTF-8 in chunks", HttpAnswer::Chunked("text/plain;charset=\"utf-8\"", {"\xC3", "\xA9"}), u"\u00E9"},
        {"no charset: the ANSI code page", HttpAnswer::WithLength("text/plain", {"Caf\xE9 \x80"}), u"Caf\u00E9 \u20AC"},
        {"no Content-Type", HttpAnswer::CloseDelimited("", {"\xE9"}), u"\u00E9"},
        {"invalid UTF-8 is rejected whole", HttpAnswer::WithLength("text/plain; charset=utf-8", {"ok \xE9"}), u""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        m_server.Script({c.answer});
        WinHttpClient client(kUrl);
        ASSERT_TRUE(client.SendHttpRequest(u"get"));
        EXPECT_EQ(client.GetResponseContent(), c.content);
    }
}

TEST_F(WinHttpClientTest, ClosesRequestConnectionAndSessionInThatOrderOnEveryPath) {
    tdl::test::RefusingPort refusing;
    ASSERT_TRUE(win32::MapWinHttpHost("refusing.example", 80, "127.0.0.1", refusing.Port()));
    const std::string all = "S+ C+ R+ R- C- S- ";
    struct Case {
        const char* name;
        const char16_t* url;
        const char16_t* method;
        HttpAnswer answer;
        bool answered;
        int connections; // the server's
        int attempts;    // the module's
        std::string events;
    };
    const Case cases[] = {
        {"answered", kUrl, u"GET", HttpAnswer::WithLength("", {"x"}), true, 1, 1, all},
        {"a POST, without a body", kUrl, u"Post", HttpAnswer::WithLength("", {"x"}), true, 1, 1, all},
        {"closed before the headers, three times", kUrl, u"GET", HttpAnswer::ClosedBeforeHeaders(), false, 3, 3, all},
        {"not HTTP, three times", kUrl, u"GET", HttpAnswer{"SSH-2.0\r\n\r\n", {}}, false, 3, 3, all},
        {"refused, three times", u"http://refusing.example/v.txt", u"GET", {}, false, 0, 3, all},
        {"HTTPS", u"https://updates.example:80/tdloft_ver.txt", u"GET", {}, false, 0, 0, all},
        {"a host not in the table", u"http://www.example.com/v.txt", u"GET", {}, false, 0, 0, all},
        {"a URL that does not crack", u"updates.example/v.txt", u"GET", {}, false, 0, 0, "S+ S- "},
        {"a method other than GET or POST", kUrl, u"PUT", {}, false, 0, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpTestServer server;
        server.Script({c.answer});
        win32::ResetWinHttp();
        ASSERT_TRUE(win32::MapWinHttpHost("updates.example", 80, "127.0.0.1", server.Port()));
        ASSERT_TRUE(win32::MapWinHttpHost("refusing.example", 80, "127.0.0.1", refusing.Port()));
        {
            WinHttpClient client(c.url);
            EXPECT_EQ(client.SendHttpRequest(c.method), c.answered);
        }
        EXPECT_EQ(server.Connections(), c.connections);
        EXPECT_EQ(win32::WinHttpConnectionAttempts(), c.attempts);
        EXPECT_EQ(Events(), c.events);
        EXPECT_EQ(win32::WinHttpOpenHandleCount(), 0u);
    }
}

TEST_F(WinHttpClientTest, APostGoesAsPostWithAnEmptyBody) {
    m_server.Script({HttpAnswer::WithLength("", {"x"})});
    WinHttpClient client(kUrl);
    ASSERT_TRUE(client.SendHttpRequest(u"post"));
    ASSERT_EQ(m_server.Requests().size(), 1u);
    EXPECT_EQ(m_server.Requests()[0], "POST /tdloft_ver.txt HTTP/1.1\r\nHost: updates.example\r\n"
                                      "User-Agent: WinHttpClient\r\nContent-Length: 0\r\n\r\n");
}

TEST_F(WinHttpClientTest, WithoutTheLibraryOrOneOfItsEntryPointsEveryRequestFails) {
    m_server.Script({HttpAnswer::WithLength("", {"x"})});
    for (const char* missing : {"", "WinHttpOpen", "WinHttpCloseHandle"}) {
        SCOPED_TRACE(missing);
        if (*missing == '\0') {
            win32::UnregisterModule("winhttp");
        } else {
            win32::RegisterWinHttpModule(missing);
        }
        {
            WinHttpClient client(kUrl);
            EXPECT_FALSE(client.IsLoaded());
            EXPECT_FALSE(client.SendHttpRequest());
            EXPECT_EQ(win32::ModuleLoadCount("winhttp"), 0);
        }
    }
    EXPECT_EQ(m_server.Connections(), 0);
    EXPECT_EQ(Events(), "");
}

} // namespace
