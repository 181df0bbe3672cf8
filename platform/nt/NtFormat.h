// printf formatting with the platform C run-time's conventions (internal, shared by every platform folder:
// DbgPrint and the safe-string routines here, wsprintf and CString::Format in user mode).
//
// Differences from the host's printf that it absorbs:
// - l is 32 bits (%ld, %lu, %lx read a LONG/ULONG); ll, I64 are 64 bits; I (alone) is pointer-sized; I32 is
//   32 bits; h is 16 bits, hh 8 bits; z, t, j are 64 bits.
// - %p prints 16 upper-case hexadecimal digits without a prefix.
// - Strings: in a narrow format %s is narrow and %S is UTF-16; in a wide format the other way round. %hs and
//   %hc are always narrow, %ws, %ls, %wc, %lc always UTF-16. %Z prints a PANSI_STRING, %wZ a PUNICODE_STRING
//   (counted, not NUL-terminated). A null string pointer prints "(null)".
// - Narrow output is in the ANSI code page (NtText.h): UTF-16 arguments are converted.
// - %n is not supported (the conversion prints nothing and consumes its argument), as the safe routines refuse it.
#pragma once

#include <cstdarg>
#include <string>

namespace nt::format {

std::string FormatA(const char* format, va_list args);
std::u16string FormatW(const char16_t* format, va_list args);
std::string Format(const char* format, ...);

} // namespace nt::format
