// WinHttpClient: one HTTP request over WinHTTP, which is bound at run time so that the program runs on a
// system without it (every request then fails). It lives on the stack of the thread that asks.
#pragma once

#include <string>

#include "windows.h"
#include "winhttp.h"

class WinHttpClient {
public:
    // Loads "winhttp" and looks its ten entry points up in order; the first one missing frees the library and
    // leaves the client unloaded.
    explicit WinHttpClient(const std::u16string& url);
    ~WinHttpClient();
    WinHttpClient(const WinHttpClient&) = delete;
    WinHttpClient& operator=(const WinHttpClient&) = delete;

    // "GET" or "POST" (compared without regard to case; a POST sends no body). True when a response was read
    // whole: its raw headers and its body, converted to UTF-16 by the response's charset, are then kept.
    bool SendHttpRequest(const std::u16string& method = u"GET");
    std::u16string GetResponseHeader() const { return m_responseHeader; }
    std::u16string GetResponseContent() const { return m_responseContent; }

    void SetUserAgent(const std::u16string& userAgent) { m_userAgent = userAgent; }
    bool IsLoaded() const { return m_bLoaded; }

private:
    // One attempt's exchange once the request handle is open: send, receive, the raw headers.
    bool Exchange(HINTERNET hRequest);
    bool ReadContent(HINTERNET hRequest);
    void TakeCharset();

    std::u16string m_requestURL;
    std::u16string m_responseHeader;
    std::u16string m_responseContent;
    std::u16string m_responseCharset;
    std::u16string m_requestHost;
    std::u16string m_userAgent = u"WinHttpClient";
    HMODULE m_hWinHttp = nullptr;
    bool m_bLoaded = false;
    PFN_WINHTTPOPEN m_pfnWinHttpOpen = nullptr;
    PFN_WINHTTPCRACKURL m_pfnWinHttpCrackUrl = nullptr;
    PFN_WINHTTPCONNECT m_pfnWinHttpConnect = nullptr;
    PFN_WINHTTPOPENREQUEST m_pfnWinHttpOpenRequest = nullptr;
    PFN_WINHTTPSENDREQUEST m_pfnWinHttpSendRequest = nullptr;
    PFN_WINHTTPRECEIVERESPONSE m_pfnWinHttpReceiveResponse = nullptr;
    PFN_WINHTTPQUERYHEADERS m_pfnWinHttpQueryHeaders = nullptr;
    PFN_WINHTTPQUERYDATAAVAILABLE m_pfnWinHttpQueryDataAvailable = nullptr;
    PFN_WINHTTPREADDATA m_pfnWinHttpReadData = nullptr;
    PFN_WINHTTPCLOSEHANDLE m_pfnWinHttpCloseHandle = nullptr;
};
