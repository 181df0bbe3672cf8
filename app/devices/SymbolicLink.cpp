// The native routines are bound per call and released with the module at the end of it: callers make one
// call per host-controller name and per device interface, so there is nothing to keep between calls.
#include "app/devices/SymbolicLink.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "app/core/system/ProcAddress.h"

namespace {

typedef NTSTATUS (*PFN_ZW_QUERY_SYSTEM_INFORMATION)(ULONG, PVOID, ULONG, PULONG);
typedef NTSTATUS (*PFN_ZW_CLOSE)(HANDLE);
typedef NTSTATUS (*PFN_ZW_QUERY_OBJECT)(HANDLE, ULONG, PVOID, ULONG, PULONG);
typedef NTSTATUS (*PFN_ZW_OPEN_OBJECT)(PHANDLE, ACCESS_MASK, POBJECT_ATTRIBUTES);
typedef NTSTATUS (*PFN_ZW_QUERY_DIRECTORY_OBJECT)(HANDLE, PVOID, ULONG, BOOLEAN, BOOLEAN, PULONG, PULONG);
typedef NTSTATUS (*PFN_ZW_QUERY_SYMBOLIC_LINK_OBJECT)(HANDLE, PUNICODE_STRING, PULONG);
typedef void (*PFN_RTL_INIT_ANSI_STRING)(PANSI_STRING, PCSTR);
typedef NTSTATUS (*PFN_RTL_ANSI_STRING_TO_UNICODE_STRING)(PUNICODE_STRING, PCANSI_STRING, BOOLEAN);
typedef void (*PFN_RTL_FREE_UNICODE_STRING)(PUNICODE_STRING);
typedef void (*PFN_RTL_FREE_ANSI_STRING)(PANSI_STRING);
typedef NTSTATUS (*PFN_RTL_UNICODE_STRING_TO_ANSI_STRING)(PANSI_STRING, PCUNICODE_STRING, BOOLEAN);

// The bound entry points; valid while the module BindNtdllFunctions returned is loaded.
PFN_ZW_QUERY_SYSTEM_INFORMATION g_ZwQuerySystemInformation;
PFN_ZW_CLOSE g_ZwClose;
PFN_ZW_QUERY_OBJECT g_ZwQueryObject;
PFN_ZW_OPEN_OBJECT g_ZwOpenDirectoryObject;
PFN_ZW_QUERY_DIRECTORY_OBJECT g_ZwQueryDirectoryObject;
PFN_ZW_OPEN_OBJECT g_ZwOpenSymbolicLinkObject;
PFN_ZW_QUERY_SYMBOLIC_LINK_OBJECT g_ZwQuerySymbolicLinkObject;
PFN_RTL_INIT_ANSI_STRING g_RtlInitAnsiString;
PFN_RTL_ANSI_STRING_TO_UNICODE_STRING g_RtlAnsiStringToUnicodeString;
PFN_RTL_FREE_UNICODE_STRING g_RtlFreeUnicodeString;
PFN_RTL_FREE_ANSI_STRING g_RtlFreeAnsiString;
PFN_RTL_UNICODE_STRING_TO_ANSI_STRING g_RtlUnicodeStringToAnsiString;

// A counted UTF-16 copy of an ANSI name, allocated by the conversion; FALSE when it could not be made.
BOOL ToUnicode(LPCSTR lpszName, UNICODE_STRING& name) {
    ANSI_STRING ansi;
    g_RtlInitAnsiString(&ansi, lpszName);
    return NT_SUCCESS(g_RtlAnsiStringToUnicodeString(&name, &ansi, TRUE));
}

// The native access rights the program asks for (the user-mode headers do not carry them).
constexpr ACCESS_MASK kDirectoryQuery = 0x0001;
constexpr ACCESS_MASK kSymbolicLinkQuery = 0x0001;

// Opens `name` (relative to hRoot when given), case-insensitively; null when it cannot be opened.
HANDLE Open(PFN_ZW_OPEN_OBJECT pfnOpen, UNICODE_STRING& name, HANDLE hRoot, ACCESS_MASK access) {
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &name, OBJ_CASE_INSENSITIVE, hRoot, nullptr);
    HANDLE handle = nullptr;
    return NT_SUCCESS(pfnOpen(&handle, access, &attributes)) ? handle : nullptr;
}

// Reads the open link into the caller's buffer; see QuerySymbolicLinkTarget.
BOOL ReadTarget(HANDLE hLink, LPSTR lpszTarget, ULONG nTargetSize) {
    // A counted string holds at most 65534 bytes; a larger buffer takes what one can hold.
    constexpr ULONG kMaxCountedBytes = 65534;
    const USHORT nMaxBytes = static_cast<USHORT>(std::min<ULONG>(nTargetSize - 1, kMaxCountedBytes));
    auto* pBuffer = new (std::nothrow) WCHAR[nTargetSize];
    if (!pBuffer)
        return FALSE;
    UNICODE_STRING target{nMaxBytes, nMaxBytes, pBuffer};
    BOOL bResult = FALSE;
    if (NT_SUCCESS(g_ZwQuerySymbolicLinkObject(hLink, &target, nullptr))) {
        ANSI_STRING ansi;
        if (NT_SUCCESS(g_RtlUnicodeStringToAnsiString(&ansi, &target, TRUE))) {
            std::memset(lpszTarget, 0, nTargetSize);
            std::memcpy(lpszTarget, ansi.Buffer, std::min<ULONG>(nTargetSize - 1, ansi.Length));
            g_RtlFreeAnsiString(&ansi);
            bResult = TRUE;
        }
    }
    delete[] pBuffer;
    return bResult;
}

} // namespace

HMODULE BindNtdllFunctions() {
    g_ZwQuerySystemInformation = nullptr;
    g_ZwClose = nullptr;
    g_ZwQueryObject = nullptr;
    g_ZwOpenDirectoryObject = nullptr;
    g_ZwQueryDirectoryObject = nullptr;
    g_ZwOpenSymbolicLinkObject = nullptr;
    g_ZwQuerySymbolicLinkObject = nullptr;
    g_RtlInitAnsiString = nullptr;
    g_RtlAnsiStringToUnicodeString = nullptr;
    g_RtlFreeUnicodeString = nullptr;
    g_RtlFreeAnsiString = nullptr;
    g_RtlUnicodeStringToAnsiString = nullptr;

    HMODULE hNtdll = LoadLibrary("ntdll");
    if (!hNtdll)
        return nullptr;
    if (BindProcAddress(hNtdll, "ZwQuerySystemInformation", g_ZwQuerySystemInformation) &&
        BindProcAddress(hNtdll, "ZwClose", g_ZwClose) && BindProcAddress(hNtdll, "ZwQueryObject", g_ZwQueryObject) &&
        BindProcAddress(hNtdll, "ZwOpenDirectoryObject", g_ZwOpenDirectoryObject) &&
        BindProcAddress(hNtdll, "ZwQueryDirectoryObject", g_ZwQueryDirectoryObject) &&
        BindProcAddress(hNtdll, "ZwOpenSymbolicLinkObject", g_ZwOpenSymbolicLinkObject) &&
        BindProcAddress(hNtdll, "ZwQuerySymbolicLinkObject", g_ZwQuerySymbolicLinkObject) &&
        BindProcAddress(hNtdll, "RtlInitAnsiString", g_RtlInitAnsiString) &&
        BindProcAddress(hNtdll, "RtlAnsiStringToUnicodeString", g_RtlAnsiStringToUnicodeString) &&
        BindProcAddress(hNtdll, "RtlFreeUnicodeString", g_RtlFreeUnicodeString) &&
        BindProcAddress(hNtdll, "RtlFreeAnsiString", g_RtlFreeAnsiString) &&
        BindProcAddress(hNtdll, "RtlUnicodeStringToAnsiString", g_RtlUnicodeStringToAnsiString))
        return hNtdll;
    FreeLibrary(hNtdll);
    return nullptr;
}

BOOL QuerySymbolicLinkTarget(LPCSTR lpszDirectory, LPCSTR lpszLinkName, LPSTR lpszTarget, ULONG nTargetSize) {
    // Not even the terminator fits a buffer of fewer than two bytes alongside a character.
    if (!lpszDirectory || !lpszLinkName || !lpszTarget || nTargetSize < 2)
        return FALSE;
    HMODULE hNtdll = BindNtdllFunctions();
    if (!hNtdll)
        return FALSE;

    BOOL bResult = FALSE;
    UNICODE_STRING directoryName;
    if (ToUnicode(lpszDirectory, directoryName)) {
        if (HANDLE hDirectory = Open(g_ZwOpenDirectoryObject, directoryName, nullptr, kDirectoryQuery)) {
            UNICODE_STRING linkName;
            if (ToUnicode(lpszLinkName, linkName)) {
                if (HANDLE hLink = Open(g_ZwOpenSymbolicLinkObject, linkName, hDirectory, kSymbolicLinkQuery)) {
                    bResult = ReadTarget(hLink, lpszTarget, nTargetSize);
                    g_ZwClose(hLink);
                }
                g_RtlFreeUnicodeString(&linkName);
            }
            g_ZwClose(hDirectory);
        }
        g_RtlFreeUnicodeString(&directoryName);
    }
    FreeLibrary(hNtdll);
    return bResult;
}
