// The C runtime's printf as programs built for the platform see it, for the framework's string formatting: the
// platform's conversions (%ld and %lx are 32 bits, %I64x and %llx 64, %p prints 16 upper-case digits, %S is
// UTF-16 in a narrow format, the 0 flag pads strings too) in the "C" locale, exponents of at least three digits.
// The kernel's printf shares the engine; its rules are told there (NtFormat.h).
#pragma once

#include <cstdarg>
#include <cstddef>

namespace win32::crt {

// Where formatted text goes: the formatter collects it and writes it on in pieces of up to 512 bytes, the last
// one when the format ends.
class FormatSink {
public:
    virtual ~FormatSink() = default;
    virtual void Write(const char* text, size_t n) = 0;
};

// Formats into the sink; a null format prints nothing.
void FormatTo(FormatSink& sink, const char* format, va_list args);

} // namespace win32::crt
