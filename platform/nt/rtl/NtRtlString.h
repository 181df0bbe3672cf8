// Counted strings of the run-time library: UNICODE_STRING (UTF-16) and ANSI_STRING (the ANSI code page,
// Windows-1252; characters it lacks become '?'). Lengths are in bytes. Routines that allocate take the
// buffer from pool; RtlFreeUnicodeString and RtlFreeAnsiString give it back.
//
// String literals of the platform are UTF-16: write u"\\Device\\Name" (L"..." is 32-bit on this host).
// RTL_CONSTANT_STRING(u"...") makes a UNICODE_STRING of a literal.
#pragma once

#include "ntdef.h"
#include "ntstatus.h"

#define RTL_CONSTANT_STRING(s)                                                                                         \
    { (USHORT)(sizeof(s) - sizeof((s)[0])), (USHORT)sizeof(s), (PWSTR)(s) }
#define DECLARE_CONST_UNICODE_STRING(name, text) const UNICODE_STRING name = RTL_CONSTANT_STRING(text)
#define DECLARE_GLOBAL_CONST_UNICODE_STRING(name, text) DECLARE_CONST_UNICODE_STRING(name, text)
#define DECLARE_UNICODE_STRING_SIZE(name, size)                                                                        \
    WCHAR name##_buffer[size];                                                                                         \
    UNICODE_STRING name = {0, (USHORT)((size) * sizeof(WCHAR)), name##_buffer}

#define UNICODE_NULL ((WCHAR)0)
#define ANSI_NULL ((CHAR)0)
#define UNICODE_STRING_MAX_BYTES ((USHORT)65534)
#define UNICODE_STRING_MAX_CHARS (32767)

// Points the string at a NUL-terminated text (or makes it empty for null).
void RtlInitUnicodeString(PUNICODE_STRING DestinationString, PCWSTR SourceString);
NTSTATUS RtlInitUnicodeStringEx(PUNICODE_STRING DestinationString, PCWSTR SourceString);
void RtlInitAnsiString(PANSI_STRING DestinationString, PCSTR SourceString);
void RtlInitString(PSTRING DestinationString, PCSTR SourceString);

// Copies as much as fits; adds a NUL when there is room for it.
void RtlCopyUnicodeString(PUNICODE_STRING DestinationString, PCUNICODE_STRING SourceString);
void RtlCopyString(PSTRING DestinationString, const STRING* SourceString);
// STATUS_BUFFER_TOO_SMALL (and nothing appended) when the result would not fit.
NTSTATUS RtlAppendUnicodeToString(PUNICODE_STRING Destination, PCWSTR Source);
NTSTATUS RtlAppendUnicodeStringToString(PUNICODE_STRING Destination, PCUNICODE_STRING Source);

// <0, 0, >0 as String1 sorts before, equal to, after String2 (case-insensitive: by upper-case characters).
LONG RtlCompareUnicodeString(PCUNICODE_STRING String1, PCUNICODE_STRING String2, BOOLEAN CaseInSensitive);
BOOLEAN RtlEqualUnicodeString(PCUNICODE_STRING String1, PCUNICODE_STRING String2, BOOLEAN CaseInSensitive);
BOOLEAN RtlPrefixUnicodeString(PCUNICODE_STRING String1, PCUNICODE_STRING String2, BOOLEAN CaseInSensitive);
LONG RtlCompareString(const STRING* String1, const STRING* String2, BOOLEAN CaseInSensitive);
BOOLEAN RtlEqualString(const STRING* String1, const STRING* String2, BOOLEAN CaseInSensitive);
BOOLEAN RtlPrefixString(const STRING* String1, const STRING* String2, BOOLEAN CaseInSensitive);
WCHAR RtlUpcaseUnicodeChar(WCHAR SourceCharacter);
WCHAR RtlDowncaseUnicodeChar(WCHAR SourceCharacter);
CHAR RtlUpperChar(CHAR Character);
NTSTATUS RtlUpcaseUnicodeString(PUNICODE_STRING DestinationString, PCUNICODE_STRING SourceString,
                                BOOLEAN AllocateDestinationString);

// Conversions. With Allocate, the destination buffer comes from pool (free it with RtlFree*String); without,
// it must be large enough: otherwise STATUS_BUFFER_OVERFLOW, with as much copied as fits.
NTSTATUS RtlUnicodeStringToAnsiString(PANSI_STRING DestinationString, PCUNICODE_STRING SourceString,
                                      BOOLEAN AllocateDestinationString);
NTSTATUS RtlAnsiStringToUnicodeString(PUNICODE_STRING DestinationString, PCANSI_STRING SourceString,
                                      BOOLEAN AllocateDestinationString);
ULONG RtlxUnicodeStringToAnsiSize(PCUNICODE_STRING UnicodeString);
ULONG RtlxAnsiStringToUnicodeSize(PCANSI_STRING AnsiString);
#define RtlUnicodeStringToAnsiSize(s) RtlxUnicodeStringToAnsiSize(s)
#define RtlAnsiStringToUnicodeSize(s) RtlxAnsiStringToUnicodeSize(s)
void RtlFreeUnicodeString(PUNICODE_STRING UnicodeString);
void RtlFreeAnsiString(PANSI_STRING AnsiString);

// Numbers. Base 0 reads an optional 0x, 0o or 0b prefix (else decimal).
NTSTATUS RtlIntegerToUnicodeString(ULONG Value, ULONG Base, PUNICODE_STRING String);
NTSTATUS RtlUnicodeStringToInteger(PCUNICODE_STRING String, ULONG Base, PULONG Value);

// GUIDs in registry form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (upper-case when written, either case when
// read). RtlStringFromGUID allocates the text; RtlGUIDFromString fails with STATUS_INVALID_PARAMETER on
// anything else.
NTSTATUS RtlGUIDFromString(PCUNICODE_STRING GuidString, GUID* Guid);
NTSTATUS RtlStringFromGUID(REFGUID Guid, PUNICODE_STRING GuidString);
