// Internal: the printf engine behind CString::Format, with the Windows C runtime's conversions (see
// AfxString.h), and the conversion of UTF-16 text to the program's 8-bit characters.
#pragma once

#include <cstdarg>
#include <cstddef>

namespace afx_detail {

class FormatSink {
public:
    virtual ~FormatSink() = default;
    virtual void Put(const char* p, size_t n) = 0;
    virtual void PutRepeat(char ch, size_t n) = 0;
};

void FormatTo(FormatSink& sink, const char* format, va_list args);

// Code units below 0x100 stand for themselves (the Latin-1 part of the 8-bit code page); any other
// becomes '?', as the system's conversion with a default character does.
void NarrowFromWide(char* dst, const char16_t* src, size_t n);

} // namespace afx_detail
