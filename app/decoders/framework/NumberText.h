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

// The decimal digits of `value` (a minus sign first when negative), written backwards to end just before
// `end` (20 characters at most); returns where they start.
inline char* PutDecimalDigits(char* end, int64_t value) {
    char* p = end;
    // Through the unsigned form, so that the most negative value has its digits too.
    uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    if (value < 0)
        *--p = '-';
    return p;
}

inline void AppendDecimal(CString& text, int64_t value) {
    char buffer[24];
    char* const end = buffer + sizeof buffer;
    char* const p = PutDecimalDigits(end, value);
    text.Append(p, static_cast<int>(end - p));
}

// A short text put together from a few parts on the stack, for a field's value that would otherwise be a
// string made for the one row. It holds up to kMost characters; the callers' texts are a handful of words
// and numbers, well within that, and anything past it is left out rather than written beyond the buffer.
class ShortText {
public:
    static constexpr int kMost = 95;

    ShortText& Add(const char* text, int length) {
        for (int i = 0; i < length && m_length < kMost; ++i)
            m_chars[m_length++] = text[i];
        m_chars[m_length] = '\0';
        return *this;
    }
    ShortText& Add(const char* text) { return Add(text, static_cast<int>(std::strlen(text))); }
    ShortText& Add(char ch) { return Add(&ch, 1); }
    // As AppendHex adds them.
    ShortText& AddHex(uint64_t value, int minDigits, bool upper = false) {
        char buffer[16];
        char* const end = buffer + sizeof buffer;
        char* const digits = PutHexDigits(end, value, minDigits, upper);
        return Add(digits, static_cast<int>(end - digits));
    }
    // As AppendDecimal adds them.
    ShortText& AddDecimal(int64_t value) {
        char buffer[24];
        char* const end = buffer + sizeof buffer;
        char* const digits = PutDecimalDigits(end, value);
        return Add(digits, static_cast<int>(end - digits));
    }

    const char* Text() const { return m_chars; }
    int Length() const { return m_length; }

private:
    char m_chars[kMost + 1] = {};
    int m_length = 0;
};
