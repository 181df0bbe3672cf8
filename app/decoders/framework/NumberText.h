// NumberText: numbers put into strings without the formatting engine, for the fields every record shows.
// SetHex(text, v, 2, "0x") is what text.Format("0x%02x", v) makes for an unsigned v: the digits are at
// least `minDigits` long, zero-padded, and never more than the value needs beyond that; AppendHex adds the
// digits alone. AppendDecimal adds what "%d" (or "%u", "%I64d") adds.
#pragma once

#include <cstdint>

#include <afx.h>

inline void AppendHex(CString& text, uint64_t value, int minDigits = 1, bool upper = false) {
    const char* digits = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    char buffer[16];
    char* const end = buffer + sizeof buffer;
    char* p = end;
    int count = 0;
    do {
        *--p = digits[value & 0xF];
        value >>= 4;
        ++count;
    } while (value != 0 || (count < minDigits && count < 16));
    text.Append(p, static_cast<int>(end - p));
}

inline void SetHex(CString& text, uint64_t value, int minDigits = 1, const char* prefix = "", bool upper = false) {
    text.SetString(prefix);
    AppendHex(text, value, minDigits, upper);
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
