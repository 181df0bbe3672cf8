// NumberText: numbers put into strings without the formatting engine, for the fields every record shows.
// SetHex(text, v, 2, "0x") is what text.Format("0x%02x", v) makes for an unsigned v: the digits are at
// least `minDigits` long, zero-padded, and never more than the value needs beyond that; AppendHex adds the
// digits alone. AppendDecimal adds what "%d" (or "%u", "%I64d") adds.
#pragma once

#include <cstdint>
#include <cstring>

#include <afx.h>

// The hexadecimal digits of `value`, at least `minDigits` of them, written backwards to end just before
// `end` (16 characters at most); returns where they start.
inline char* PutHexDigits(char* end, uint64_t value, int minDigits, bool upper) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char* p = end;
    int count = 0;
    do {
        *--p = digits[value & 0xF];
        value >>= 4;
        ++count;
    } while (value != 0 || (count < minDigits && count < 16));
    return p;
}

inline void AppendHex(CString& text, uint64_t value, int minDigits = 1, bool upper = false) {
    char buffer[16];
    char* const end = buffer + sizeof buffer;
    char* const p = PutHexDigits(end, value, minDigits, upper);
    text.Append(p, static_cast<int>(end - p));
}

inline void SetHex(CString& text, uint64_t value, int minDigits = 1, const char* prefix = "", bool upper = false) {
    // Prefix and digits are put together first: the text is set once.
    char buffer[64];
    char* const end = buffer + sizeof buffer;
    char* const digits = PutHexDigits(end, value, minDigits, upper);
    if (prefix == nullptr)
        prefix = "";
    const size_t prefixLength = std::strlen(prefix);
    if (prefixLength > static_cast<size_t>(digits - buffer)) {
        text.SetString(prefix);
        text.Append(digits, static_cast<int>(end - digits));
        return;
    }
    char* const start = digits - prefixLength;
    std::memcpy(start, prefix, prefixLength);
    text.SetString(start, static_cast<int>(end - start));
}

inline void AppendDecimal(CString& text, int64_t value) {
    char buffer[24];
    char* const end = buffer + sizeof buffer;
    char* p = end;
    // Through the unsigned form, so that the most negative value has its digits too.
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        *--p = '-';
    text.Append(p, static_cast<int>(end - p));
}
