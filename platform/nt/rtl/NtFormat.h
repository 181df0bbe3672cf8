// The printf engine of the stand-ins (internal, shared by every platform folder): DbgPrint and the safe-string
// routines here, CString::Format in the framework. It follows the platform's C run-time conventions, not the
// host's:
// - l is 32 bits (%ld, %lu, %lx read a LONG/ULONG); ll and I64 are 64 bits; I (alone) is pointer-sized; I32 is
//   32 bits; h is 16 bits, hh 8 bits; z, t, j are 64 bits.
// - %p prints 16 upper-case hexadecimal digits without a prefix.
// - Strings: in a narrow format %s is narrow and %S is UTF-16; in a wide format the other way round. %hs and
//   %hc are always narrow, %ws, %ls, %wc, %lc always UTF-16. %Z prints a PANSI_STRING, %wZ a PUNICODE_STRING
//   (counted, not NUL-terminated). A null string pointer prints "(null)".
// - The 0 flag pads every conversion with zeros, strings and characters included.
// - Floating point: at most 17 significant digits (further digits print as 0), halves rounded up, infinities
//   and NaNs as 1.#INF, 1.#QNAN and -1.#IND (NtFormatFloat.h).
// - %% and unknown conversions print the character after the %. %n prints nothing and consumes its argument,
//   as the safe routines refuse it.
//
// The kernel's run-time and the program's differ in two places, so the caller names the one it stands for.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <string>

namespace nt::format {

enum class Runtime {
    // Exponents have at least two digits ("1.2e+04"); text changes width through the ANSI code page (NtText.h),
    // a UTF-16 character it lacks becoming '?'.
    Kernel,
    // The program's C run-time in the "C" locale: exponents have at least three digits ("1.2e+004"); code units
    // below 0x100 stand for themselves, the first other one ends a converted string and a lone one prints
    // nothing.
    User,
};

// Where formatted text goes, in the output's width.
template <class Char> class Sink {
public:
    virtual ~Sink() = default;
    virtual void Put(const Char* text, size_t n) = 0;
    virtual void PutRepeat(Char c, size_t n) = 0;
};

// A narrow format gives 8-bit output, a wide format UTF-16 output. A null format prints nothing.
void FormatTo(Sink<char>& sink, Runtime runtime, const char* format, va_list args);
void FormatTo(Sink<char16_t>& sink, Runtime runtime, const char16_t* format, va_list args);

std::string FormatA(Runtime runtime, const char* format, va_list args);
std::u16string FormatW(Runtime runtime, const char16_t* format, va_list args);

} // namespace nt::format
