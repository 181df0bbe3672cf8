// WinHttpCrackUrl of the WinHTTP stand-in: "scheme://[user[:password]@]host[:port][/path][?query|#fragment]"
// split into the caller's URL_COMPONENTS, each part copied into its buffer or pointed at inside the URL.
#include <algorithm>
#include <string_view>

#include "NtText.h"
#include "WinHandles.h"
#include "internal/WinHttpModule.h"
#include "winerror.h"

namespace win32::internal::winhttp {
namespace {

// A part of the URL: where it starts and how many characters it has.
struct Span {
    size_t offset = 0;
    size_t length = 0;
};

struct CrackedUrl {
    INTERNET_SCHEME scheme = 0;
    INTERNET_PORT port = 0;
    Span schemeName, user, password, host, path, extra;
};

bool EqualsAscii(std::u16string_view text, std::string_view ascii) {
    return nt::text::EqualsIgnoreCase(text, std::u16string(ascii.begin(), ascii.end()));
}

DWORD Parse(std::u16string_view url, CrackedUrl& cracked) {
    const size_t colon = url.find(u':');
    if (colon == std::u16string_view::npos || colon == 0) {
        return ERROR_WINHTTP_UNRECOGNIZED_SCHEME;
    }
    cracked.schemeName = {0, colon};
    const std::u16string_view scheme = url.substr(0, colon);
    if (EqualsAscii(scheme, "http")) {
        cracked.scheme = INTERNET_SCHEME_HTTP;
        cracked.port = INTERNET_DEFAULT_HTTP_PORT;
    } else if (EqualsAscii(scheme, "https")) {
        cracked.scheme = INTERNET_SCHEME_HTTPS;
        cracked.port = INTERNET_DEFAULT_HTTPS_PORT;
    } else {
        return ERROR_WINHTTP_UNRECOGNIZED_SCHEME;
    }
    if (url.substr(colon + 1, 2) != u"//") {
        return ERROR_WINHTTP_INVALID_URL;
    }

    const size_t authorityStart = colon + 3;
    size_t authorityEnd = url.find_first_of(u"/?#", authorityStart);
    if (authorityEnd == std::u16string_view::npos) {
        authorityEnd = url.size();
    }
    size_t hostStart = authorityStart;
    const size_t at = url.substr(0, authorityEnd).rfind(u'@');
    if (at != std::u16string_view::npos && at >= authorityStart) {
        const size_t split = url.substr(0, at).find(u':', authorityStart);
        if (split == std::u16string_view::npos) {
            cracked.user = {authorityStart, at - authorityStart};
        } else {
            cracked.user = {authorityStart, split - authorityStart};
            cracked.password = {split + 1, at - split - 1};
        }
        hostStart = at + 1;
    }
    const size_t portColon = url.substr(0, authorityEnd).find(u':', hostStart);
    const size_t hostEnd = portColon == std::u16string_view::npos ? authorityEnd : portColon;
    if (hostEnd == hostStart) {
        return ERROR_WINHTTP_INVALID_URL;
    }
    cracked.host = {hostStart, hostEnd - hostStart};
    if (portColon != std::u16string_view::npos) {
        const std::u16string_view digits = url.substr(portColon + 1, authorityEnd - portColon - 1);
        if (digits.empty() || digits.size() > 5) {
            return ERROR_WINHTTP_INVALID_URL;
        }
        unsigned port = 0;
        for (const char16_t c : digits) {
            if (c < u'0' || c > u'9') {
                return ERROR_WINHTTP_INVALID_URL;
            }
            port = port * 10 + (c - u'0');
        }
        if (port == 0 || port > 0xFFFF) {
            return ERROR_WINHTTP_INVALID_URL;
        }
        cracked.port = static_cast<INTERNET_PORT>(port);
    }
    size_t extraStart = url.find_first_of(u"?#", authorityEnd);
    if (extraStart == std::u16string_view::npos) {
        extraStart = url.size();
    }
    cracked.path = {authorityEnd, extraStart - authorityEnd};
    cracked.extra = {extraStart, url.size() - extraStart};
    return ERROR_SUCCESS;
}

// One part into the caller's fields: a copy into its buffer, or a pointer into the URL. False when the buffer
// is too small; its length then says how many characters the copy needs, terminator included.
bool Give(LPCWSTR url, const Span& span, LPWSTR& text, DWORD& length) {
    if (length == 0) {
        return true; // not asked for
    }
    if (text == nullptr) {
        text = const_cast<LPWSTR>(url + span.offset);
        length = static_cast<DWORD>(span.length);
        return true;
    }
    if (length < span.length + 1) {
        length = static_cast<DWORD>(span.length + 1);
        return false;
    }
    std::copy_n(url + span.offset, span.length, text);
    text[span.length] = u'\0';
    length = static_cast<DWORD>(span.length);
    return true;
}

} // namespace

BOOL WINAPI CrackUrl(LPCWSTR url, DWORD urlLength, DWORD flags, LPURL_COMPONENTS components) {
    if (url == nullptr || components == nullptr || components->dwStructSize != sizeof(URL_COMPONENTS) || flags != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::u16string_view text = urlLength == 0 ? nt::text::View(url) : std::u16string_view(url, urlLength);
    CrackedUrl cracked;
    if (const DWORD error = Parse(text, cracked); error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    // Without the extra information asked for, the path keeps it.
    Span path = cracked.path;
    if (components->dwExtraInfoLength == 0) {
        path.length += cracked.extra.length;
    }
    URL_COMPONENTS& c = *components;
    bool fits = Give(url, cracked.schemeName, c.lpszScheme, c.dwSchemeLength);
    fits &= Give(url, cracked.host, c.lpszHostName, c.dwHostNameLength);
    fits &= Give(url, cracked.user, c.lpszUserName, c.dwUserNameLength);
    fits &= Give(url, cracked.password, c.lpszPassword, c.dwPasswordLength);
    fits &= Give(url, path, c.lpszUrlPath, c.dwUrlPathLength);
    fits &= Give(url, cracked.extra, c.lpszExtraInfo, c.dwExtraInfoLength);
    c.nScheme = cracked.scheme;
    c.nPort = cracked.port;
    SetLastError(fits ? ERROR_SUCCESS : ERROR_INSUFFICIENT_BUFFER);
    return fits ? TRUE : FALSE;
}

} // namespace win32::internal::winhttp
