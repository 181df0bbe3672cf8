// Conversions between the program's 8-bit text and UTF-16. The machine's ANSI code page (CP_ACP) is
// Windows-1252, the code page of the kernel's string routines and of the framework's CString, so a byte such
// as 0x80 (the euro sign) means the same character everywhere; CP_UTF8 is the other code page provided.
#pragma once

#include "windef.h"

#define CP_ACP 0
#define CP_THREAD_ACP 3
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_COMPOSITE 0x00000002
#define MB_USEGLYPHCHARS 0x00000004
#define MB_ERR_INVALID_CHARS 0x00000008

#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_NO_BEST_FIT_CHARS 0x00000400

// The characters written (or, with cchWideChar 0, needed); a length of -1 takes the text up to and including
// its NUL. 0 on failure, with the last error ERROR_INVALID_PARAMETER, ERROR_INVALID_FLAGS,
// ERROR_INSUFFICIENT_BUFFER or, for malformed UTF-8 with MB_ERR_INVALID_CHARS, ERROR_NO_UNICODE_TRANSLATION.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByteStr, int cbMultiByte, LPWSTR wideCharStr,
                        int cchWideChar);
// The bytes written (or, with cbMultiByte 0, needed). For the ANSI code page a character it lacks becomes the
// default character ('?' unless one is given) and *usedDefaultChar tells whether that happened; for UTF-8 both
// must be null, and an unpaired surrogate becomes U+FFFD, or fails with ERROR_NO_UNICODE_TRANSLATION under
// WC_ERR_INVALID_CHARS.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wideCharStr, int cchWideChar, LPSTR multiByteStr,
                        int cbMultiByte, LPCSTR defaultChar, LPBOOL usedDefaultChar);
