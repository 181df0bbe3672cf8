// WinHTTP: the synchronous HTTP client API as programs bind it at run time from "winhttp" (LoadLibrary,
// GetProcAddress), so that a system without the module simply has no HTTP. The types below are those of the
// ten entry points the module exports by name; their behaviour is described in WinHttpControl.h.
#pragma once

#include <cstddef>

#include "windef.h"

typedef LPVOID HINTERNET;
typedef HINTERNET* LPHINTERNET;
typedef WORD INTERNET_PORT;
typedef int INTERNET_SCHEME;

#define INTERNET_DEFAULT_PORT 0
#define INTERNET_DEFAULT_HTTP_PORT 80
#define INTERNET_DEFAULT_HTTPS_PORT 443

#define INTERNET_SCHEME_HTTP 1
#define INTERNET_SCHEME_HTTPS 2

#define WINHTTP_ACCESS_TYPE_DEFAULT_PROXY 0
#define WINHTTP_ACCESS_TYPE_NO_PROXY 1
#define WINHTTP_NO_PROXY_NAME nullptr
#define WINHTTP_NO_PROXY_BYPASS nullptr
#define WINHTTP_FLAG_ASYNC 0x10000000

#define WINHTTP_NO_REFERER nullptr
#define WINHTTP_DEFAULT_ACCEPT_TYPES nullptr
#define WINHTTP_FLAG_SECURE 0x00800000

#define WINHTTP_NO_ADDITIONAL_HEADERS nullptr
#define WINHTTP_NO_REQUEST_DATA nullptr

// WinHttpQueryHeaders: the information levels, the modifier that asks for a number, and the sentinels.
#define WINHTTP_QUERY_STATUS_CODE 19
#define WINHTTP_QUERY_RAW_HEADERS_CRLF 22
#define WINHTTP_QUERY_CUSTOM 65535
#define WINHTTP_QUERY_FLAG_NUMBER 0x20000000
#define WINHTTP_HEADER_NAME_BY_INDEX nullptr
#define WINHTTP_NO_OUTPUT_BUFFER nullptr
#define WINHTTP_NO_HEADER_INDEX nullptr

// The module's own error codes (GetLastError after a failed call).
#define ERROR_WINHTTP_TIMEOUT 12002L
#define ERROR_WINHTTP_INVALID_URL 12005L
#define ERROR_WINHTTP_UNRECOGNIZED_SCHEME 12006L
#define ERROR_WINHTTP_NAME_NOT_RESOLVED 12007L
#define ERROR_WINHTTP_INCORRECT_HANDLE_TYPE 12018L
#define ERROR_WINHTTP_INCORRECT_HANDLE_STATE 12019L
#define ERROR_WINHTTP_CANNOT_CONNECT 12029L
#define ERROR_WINHTTP_CONNECTION_ERROR 12030L
#define ERROR_WINHTTP_HEADER_NOT_FOUND 12150L
#define ERROR_WINHTTP_INVALID_SERVER_RESPONSE 12152L
#define ERROR_WINHTTP_SECURE_FAILURE 12175L

// The parts of a URL that WinHttpCrackUrl fills (x64 layout). Lengths count characters. For each part:
// a buffer and its size (terminator included) asks for a copy, a null pointer with a nonzero length for a
// pointer into the URL, a zero length for nothing.
typedef struct _URL_COMPONENTS {
    DWORD dwStructSize;
    LPWSTR lpszScheme;
    DWORD dwSchemeLength;
    INTERNET_SCHEME nScheme;
    LPWSTR lpszHostName;
    DWORD dwHostNameLength;
    INTERNET_PORT nPort;
    LPWSTR lpszUserName;
    DWORD dwUserNameLength;
    LPWSTR lpszPassword;
    DWORD dwPasswordLength;
    LPWSTR lpszUrlPath;
    DWORD dwUrlPathLength;
    LPWSTR lpszExtraInfo;
    DWORD dwExtraInfoLength;
} URL_COMPONENTS, *LPURL_COMPONENTS;
static_assert(sizeof(URL_COMPONENTS) == 104 && offsetof(URL_COMPONENTS, nScheme) == 20 &&
              offsetof(URL_COMPONENTS, lpszHostName) == 24 && offsetof(URL_COMPONENTS, nPort) == 36 &&
              offsetof(URL_COMPONENTS, lpszUserName) == 40 && offsetof(URL_COMPONENTS, lpszUrlPath) == 72 &&
              offsetof(URL_COMPONENTS, dwExtraInfoLength) == 96);

// The exports' types, in the order a client looks them up.
typedef HINTERNET(WINAPI* PFN_WINHTTPOPEN)(LPCWSTR pszAgentW, DWORD dwAccessType, LPCWSTR pszProxyW,
                                           LPCWSTR pszProxyBypassW, DWORD dwFlags);
typedef BOOL(WINAPI* PFN_WINHTTPCRACKURL)(LPCWSTR pwszUrl, DWORD dwUrlLength, DWORD dwFlags,
                                          LPURL_COMPONENTS lpUrlComponents);
typedef HINTERNET(WINAPI* PFN_WINHTTPCONNECT)(HINTERNET hSession, LPCWSTR pswzServerName, INTERNET_PORT nServerPort,
                                              DWORD dwReserved);
typedef HINTERNET(WINAPI* PFN_WINHTTPOPENREQUEST)(HINTERNET hConnect, LPCWSTR pwszVerb, LPCWSTR pwszObjectName,
                                                  LPCWSTR pwszVersion, LPCWSTR pwszReferrer, LPCWSTR* ppwszAcceptTypes,
                                                  DWORD dwFlags);
typedef BOOL(WINAPI* PFN_WINHTTPSENDREQUEST)(HINTERNET hRequest, LPCWSTR lpszHeaders, DWORD dwHeadersLength,
                                             LPVOID lpOptional, DWORD dwOptionalLength, DWORD dwTotalLength,
                                             DWORD_PTR dwContext);
typedef BOOL(WINAPI* PFN_WINHTTPRECEIVERESPONSE)(HINTERNET hRequest, LPVOID lpReserved);
typedef BOOL(WINAPI* PFN_WINHTTPQUERYHEADERS)(HINTERNET hRequest, DWORD dwInfoLevel, LPCWSTR pwszName, LPVOID lpBuffer,
                                              LPDWORD lpdwBufferLength, LPDWORD lpdwIndex);
typedef BOOL(WINAPI* PFN_WINHTTPQUERYDATAAVAILABLE)(HINTERNET hRequest, LPDWORD lpdwNumberOfBytesAvailable);
typedef BOOL(WINAPI* PFN_WINHTTPREADDATA)(HINTERNET hRequest, LPVOID lpBuffer, DWORD dwNumberOfBytesToRead,
                                          LPDWORD lpdwNumberOfBytesRead);
typedef BOOL(WINAPI* PFN_WINHTTPCLOSEHANDLE)(HINTERNET hInternet);
