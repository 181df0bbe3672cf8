#include "app/core/update/WinHttpClient.h"

#include <algorithm>
#include <string>

#include "app/core/system/ProcAddress.h"

namespace {

// Sending, receiving and reading the headers are tried this often before the request counts as failed.
constexpr int kAttempts = 3;
constexpr DWORD kHostNameLength = 260;
constexpr DWORD kUrlPathLength = 1300;
// The answers this client asks for are a line of text; a body beyond this is no answer (and would not fit
// the conversion's int lengths much further on).
constexpr size_t kMaxContentBytes = 1024 * 1024;

// Closes an internet handle when it goes out of scope. Declared in the order the handles are opened, the
// request closes first, then the connection, then the session.
class HandleCloser {
public:
    HandleCloser(HINTERNET hInternet, PFN_WINHTTPCLOSEHANDLE pfnClose) : m_hInternet(hInternet), m_pfnClose(pfnClose) {}
    ~HandleCloser() {
        if (m_hInternet != nullptr) {
            m_pfnClose(m_hInternet);
        }
    }
    HandleCloser(const HandleCloser&) = delete;
    HandleCloser& operator=(const HandleCloser&) = delete;

private:
    HINTERNET m_hInternet;
    PFN_WINHTTPCLOSEHANDLE m_pfnClose;
};

std::u16string LowerAscii(std::u16string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; });
    return text;
}

} // namespace

WinHttpClient::WinHttpClient(const std::u16string& url) : m_requestURL(url) {
    m_hWinHttp = ::LoadLibraryA("winhttp.dll");
    if (m_hWinHttp == nullptr) {
        return;
    }
    // In this order, stopping at the first one missing.
    m_bLoaded = BindProcAddress(m_hWinHttp, "WinHttpOpen", m_pfnWinHttpOpen) &&
                BindProcAddress(m_hWinHttp, "WinHttpCrackUrl", m_pfnWinHttpCrackUrl) &&
                BindProcAddress(m_hWinHttp, "WinHttpConnect", m_pfnWinHttpConnect) &&
                BindProcAddress(m_hWinHttp, "WinHttpOpenRequest", m_pfnWinHttpOpenRequest) &&
                BindProcAddress(m_hWinHttp, "WinHttpSendRequest", m_pfnWinHttpSendRequest) &&
                BindProcAddress(m_hWinHttp, "WinHttpReceiveResponse", m_pfnWinHttpReceiveResponse) &&
                BindProcAddress(m_hWinHttp, "WinHttpQueryHeaders", m_pfnWinHttpQueryHeaders) &&
                BindProcAddress(m_hWinHttp, "WinHttpQueryDataAvailable", m_pfnWinHttpQueryDataAvailable) &&
                BindProcAddress(m_hWinHttp, "WinHttpReadData", m_pfnWinHttpReadData) &&
                BindProcAddress(m_hWinHttp, "WinHttpCloseHandle", m_pfnWinHttpCloseHandle);
    if (!m_bLoaded) {
        ::FreeLibrary(m_hWinHttp);
        m_hWinHttp = nullptr;
    }
}

WinHttpClient::~WinHttpClient() {
    if (m_hWinHttp != nullptr) {
        ::FreeLibrary(m_hWinHttp);
    }
}

bool WinHttpClient::SendHttpRequest(const std::u16string& method) {
    // The verb goes on the wire as HTTP spells it, whatever case the caller wrote it in.
    const std::u16string lower = LowerAscii(method);
    const std::u16string verb = lower == u"get" ? u"GET" : lower == u"post" ? u"POST" : u"";
    if (verb.empty() || !m_bLoaded) {
        return false;
    }
    m_responseHeader.clear();
    m_responseContent.clear();
    m_responseCharset.clear();

    HINTERNET hSession = m_pfnWinHttpOpen(m_userAgent.c_str(), WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                          WINHTTP_NO_PROXY_BYPASS, 0);
    if (hSession == nullptr) {
        return false;
    }
    HandleCloser session(hSession, m_pfnWinHttpCloseHandle);

    char16_t szHostName[kHostNameLength] = {};
    char16_t szUrlPath[kUrlPathLength] = {};
    URL_COMPONENTS urlComp{};
    urlComp.dwStructSize = sizeof urlComp;
    urlComp.lpszHostName = szHostName;
    urlComp.dwHostNameLength = kHostNameLength;
    urlComp.lpszUrlPath = szUrlPath;
    urlComp.dwUrlPathLength = kUrlPathLength;
    if (!m_pfnWinHttpCrackUrl(m_requestURL.c_str(), static_cast<DWORD>(m_requestURL.size()), 0, &urlComp)) {
        return false;
    }
    m_requestHost = szHostName;

    HINTERNET hConnect = m_pfnWinHttpConnect(hSession, szHostName, urlComp.nPort, 0);
    if (hConnect == nullptr) {
        return false;
    }
    HandleCloser connection(hConnect, m_pfnWinHttpCloseHandle);

    const DWORD dwFlags = urlComp.nScheme == INTERNET_SCHEME_HTTPS ? WINHTTP_FLAG_SECURE : 0;
    HINTERNET hRequest = m_pfnWinHttpOpenRequest(hConnect, verb.c_str(), szUrlPath, nullptr, WINHTTP_NO_REFERER,
                                                 WINHTTP_DEFAULT_ACCEPT_TYPES, dwFlags);
    if (hRequest == nullptr) {
        return false;
    }
    HandleCloser request(hRequest, m_pfnWinHttpCloseHandle);

    bool bAnswered = false;
    for (int attempt = 0; attempt < kAttempts && !bAnswered; ++attempt) {
        bAnswered = Exchange(hRequest);
    }
    if (!bAnswered) {
        return false;
    }
    TakeCharset();
    return ReadContent(hRequest);
}

bool WinHttpClient::Exchange(HINTERNET hRequest) {
    if (!m_pfnWinHttpSendRequest(hRequest, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0) ||
        !m_pfnWinHttpReceiveResponse(hRequest, nullptr)) {
        return false;
    }
    // The size first: a buffer too small is the answer expected.
    DWORD dwSize = 0;
    if (m_pfnWinHttpQueryHeaders(hRequest, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                                 WINHTTP_NO_OUTPUT_BUFFER, &dwSize, WINHTTP_NO_HEADER_INDEX) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER) {
        return false;
    }
    std::u16string headers(dwSize / sizeof(char16_t) + 1, u'\0');
    if (!m_pfnWinHttpQueryHeaders(hRequest, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                                  headers.data(), &dwSize, WINHTTP_NO_HEADER_INDEX)) {
        return false;
    }
    m_responseHeader = headers.c_str();
    return true;
}

void WinHttpClient::TakeCharset() {
    const std::u16string lower = LowerAscii(m_responseHeader);
    const size_t at = lower.find(u"charset=");
    if (at == std::u16string::npos) {
        return;
    }
    const size_t start = at + 8;
    const size_t end = lower.find_first_of(u" ;\r\n", start);
    m_responseCharset = lower.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
}

bool WinHttpClient::ReadContent(HINTERNET hRequest) {
    // The body whole before it is converted: a character may arrive split across two reads.
    std::string body;
    for (;;) {
        DWORD dwAvailable = 0;
        if (!m_pfnWinHttpQueryDataAvailable(hRequest, &dwAvailable)) {
            return false;
        }
        if (dwAvailable == 0) {
            break;
        }
        if (dwAvailable > kMaxContentBytes - body.size()) {
            return false;
        }
        const size_t start = body.size();
        body.resize(start + dwAvailable);
        DWORD dwRead = 0;
        if (!m_pfnWinHttpReadData(hRequest, body.data() + start, dwAvailable, &dwRead)) {
            return false;
        }
        body.resize(start + dwRead);
    }
    if (body.empty()) {
        return true;
    }
    const bool bUtf8 = m_responseCharset.find(u"utf-8") != std::u16string::npos;
    const UINT codePage = bUtf8 ? CP_UTF8 : CP_ACP;
    const DWORD dwFlags = bUtf8 ? MB_ERR_INVALID_CHARS : MB_PRECOMPOSED;
    const int cbBody = static_cast<int>(body.size());
    const int cchContent = ::MultiByteToWideChar(codePage, dwFlags, body.data(), cbBody, nullptr, 0);
    if (cchContent > 0) {
        m_responseContent.resize(static_cast<size_t>(cchContent));
        ::MultiByteToWideChar(codePage, dwFlags, body.data(), cbBody, m_responseContent.data(), cchContent);
    }
    return true;
}
