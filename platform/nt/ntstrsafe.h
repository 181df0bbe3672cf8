// Bounded string routines of the kernel's safe-string library. Every routine that writes leaves the
// destination NUL-terminated (unless its size is 0). Truncation returns STATUS_BUFFER_OVERFLOW with as much
// written as fits; a size of 0 or above NTSTRSAFE_MAX_CCH characters returns STATUS_INVALID_PARAMETER.
//
// The printf routines follow the platform's C run-time conversions (NtFormat.h): %ld and %lx are 32 bits,
// %I64d/%I64x and %lld 64 bits, %Ix pointer-sized, %p is 16 upper-case hex digits, %wZ a PUNICODE_STRING,
// %Z a PANSI_STRING, %ws/%ls a UTF-16 string, %hs a narrow one, %S the other width than the routine's own.
#pragma once

#include <cstdarg>
#include <cstddef>

#include "ntdef.h"
#include "ntstatus.h"

#define NTSTRSAFE_MAX_CCH 2147483647
#define NTSTRSAFE_UNICODE_STRING_MAX_CCH 32767

typedef CHAR* NTSTRSAFE_PSTR;
typedef const CHAR* NTSTRSAFE_PCSTR;
typedef WCHAR* NTSTRSAFE_PWSTR;
typedef const WCHAR* NTSTRSAFE_PCWSTR;

NTSTATUS RtlStringCbPrintfA(NTSTRSAFE_PSTR pszDest, size_t cbDest, NTSTRSAFE_PCSTR pszFormat, ...);
NTSTATUS RtlStringCbPrintfW(NTSTRSAFE_PWSTR pszDest, size_t cbDest, NTSTRSAFE_PCWSTR pszFormat, ...);
NTSTATUS RtlStringCchPrintfA(NTSTRSAFE_PSTR pszDest, size_t cchDest, NTSTRSAFE_PCSTR pszFormat, ...);
NTSTATUS RtlStringCchPrintfW(NTSTRSAFE_PWSTR pszDest, size_t cchDest, NTSTRSAFE_PCWSTR pszFormat, ...);
NTSTATUS RtlStringCbVPrintfA(NTSTRSAFE_PSTR pszDest, size_t cbDest, NTSTRSAFE_PCSTR pszFormat, va_list argList);
NTSTATUS RtlStringCbVPrintfW(NTSTRSAFE_PWSTR pszDest, size_t cbDest, NTSTRSAFE_PCWSTR pszFormat, va_list argList);
NTSTATUS RtlStringCchVPrintfA(NTSTRSAFE_PSTR pszDest, size_t cchDest, NTSTRSAFE_PCSTR pszFormat, va_list argList);
NTSTATUS RtlStringCchVPrintfW(NTSTRSAFE_PWSTR pszDest, size_t cchDest, NTSTRSAFE_PCWSTR pszFormat, va_list argList);

NTSTATUS RtlStringCbCopyA(NTSTRSAFE_PSTR pszDest, size_t cbDest, NTSTRSAFE_PCSTR pszSrc);
NTSTATUS RtlStringCbCopyW(NTSTRSAFE_PWSTR pszDest, size_t cbDest, NTSTRSAFE_PCWSTR pszSrc);
NTSTATUS RtlStringCchCopyA(NTSTRSAFE_PSTR pszDest, size_t cchDest, NTSTRSAFE_PCSTR pszSrc);
NTSTATUS RtlStringCchCopyW(NTSTRSAFE_PWSTR pszDest, size_t cchDest, NTSTRSAFE_PCWSTR pszSrc);
// Copies at most cbToCopy bytes (cchToCopy characters) of the source.
NTSTATUS RtlStringCbCopyNA(NTSTRSAFE_PSTR pszDest, size_t cbDest, NTSTRSAFE_PCSTR pszSrc, size_t cbToCopy);
NTSTATUS RtlStringCbCopyNW(NTSTRSAFE_PWSTR pszDest, size_t cbDest, NTSTRSAFE_PCWSTR pszSrc, size_t cbToCopy);
NTSTATUS RtlStringCchCopyNA(NTSTRSAFE_PSTR pszDest, size_t cchDest, NTSTRSAFE_PCSTR pszSrc, size_t cchToCopy);
NTSTATUS RtlStringCchCopyNW(NTSTRSAFE_PWSTR pszDest, size_t cchDest, NTSTRSAFE_PCWSTR pszSrc, size_t cchToCopy);

NTSTATUS RtlStringCbCatA(NTSTRSAFE_PSTR pszDest, size_t cbDest, NTSTRSAFE_PCSTR pszSrc);
NTSTATUS RtlStringCbCatW(NTSTRSAFE_PWSTR pszDest, size_t cbDest, NTSTRSAFE_PCWSTR pszSrc);
NTSTATUS RtlStringCchCatA(NTSTRSAFE_PSTR pszDest, size_t cchDest, NTSTRSAFE_PCSTR pszSrc);
NTSTATUS RtlStringCchCatW(NTSTRSAFE_PWSTR pszDest, size_t cchDest, NTSTRSAFE_PCWSTR pszSrc);

// Length without the NUL; STATUS_INVALID_PARAMETER when no NUL is found within the maximum.
NTSTATUS RtlStringCbLengthA(NTSTRSAFE_PCSTR psz, size_t cbMax, size_t* pcbLength);
NTSTATUS RtlStringCbLengthW(NTSTRSAFE_PCWSTR psz, size_t cbMax, size_t* pcbLength);
NTSTATUS RtlStringCchLengthA(NTSTRSAFE_PCSTR psz, size_t cchMax, size_t* pcchLength);
NTSTATUS RtlStringCchLengthW(NTSTRSAFE_PCWSTR psz, size_t cchMax, size_t* pcchLength);

// Counted-string forms: format or copy into a UNICODE_STRING's buffer (up to MaximumLength), setting Length.
NTSTATUS RtlUnicodeStringPrintf(PUNICODE_STRING DestinationString, NTSTRSAFE_PCWSTR pszFormat, ...);
NTSTATUS RtlUnicodeStringCopy(PUNICODE_STRING DestinationString, PCUNICODE_STRING SourceString);
NTSTATUS RtlUnicodeStringCat(PUNICODE_STRING DestinationString, PCUNICODE_STRING SourceString);
