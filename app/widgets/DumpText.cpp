#include "DumpText.h"

#include <algorithm>
#include <cctype>
#include <cstdio>

int DumpDefaultWidth(bool wordMode) {
    return wordMode ? 2 : 1;
}

uint32_t ReadDumpValue(const DumpBytes& b, int64_t element, int order, int width, bool* ok) {
    if (ok)
        *ok = false;
    if (width <= 0)
        width = DumpDefaultWidth(b.wordMode);
    if (width > 4)
        width = 4;
    if (!b.data || element < 0)
        return 0;
    const uint64_t pos = static_cast<uint64_t>(element) * (b.wordMode ? 2 : 1);
    if (pos >= b.length)
        return 0;
    const size_t present = static_cast<size_t>(std::min<uint64_t>(width, b.length - pos));
    const bool little = order == DUMP_ORDER_LITTLE || (order != DUMP_ORDER_BIG && b.littleEndian);
    uint32_t value = 0;
    for (size_t i = 0; i < present; ++i) {
        const uint8_t byte = b.data[pos + (little ? present - 1 - i : i)];
        value = (value << 8) | byte;
    }
    if (ok)
        *ok = true;
    return value;
}

std::string DumpHexText(uint32_t value, int width) {
    char text[16];
    std::snprintf(text, sizeof text, "%.*X", 2 * width, value);
    return text;
}

namespace {

std::string BinaryDigits(uint32_t value, int bits) {
    std::string text;
    for (int bit = bits - 1; bit >= 0; --bit) {
        text += (value >> bit) & 1 ? '1' : '0';
        if (bit > 0 && bit % 8 == 0)
            text += '-';
    }
    return text;
}

int BitCount(uint32_t value) {
    int bits = 1;
    while (bits < 32 && (value >> bits) != 0)
        ++bits;
    return bits;
}

std::string Spaces(size_t n) {
    return std::string(n, ' ');
}

} // namespace

std::string DumpBinaryText(uint32_t value, int width) {
    return BinaryDigits(value, 8 * width);
}

std::string DumpCharText(uint32_t value, char nonPrintable) {
    const auto c = static_cast<unsigned char>(value & 0xFF);
    // Control characters and the bytes Windows-1252 leaves empty have nothing to show.
    const bool shown = c >= 32 && c != 0x7F && c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D;
    if (!shown)
        return std::string(1, nonPrintable ? nonPrintable : ' ');
    return std::string(1, static_cast<char>(c));
}

std::string FormatDumpTip(const std::string& format, const DumpTipContext& ctx) {
    std::string tip;
    size_t lineStart = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        if (format[i] != '%') {
            tip += format[i];
            continue;
        }
        const size_t start = i;
        int order = DUMP_ORDER_DEFAULT;
        int width = 0;
        size_t j = i + 1;
        for (; j < format.size(); ++j) {
            const char c = format[j];
            if (c == '+')
                order = DUMP_ORDER_BIG;
            else if (c == '-')
                order = DUMP_ORDER_LITTLE;
            else if (c >= '0' && c <= '4')
                width = c - '0';
            else
                break;
        }
        if (j >= format.size()) {
            tip.append(format, start, std::string::npos);
            break;
        }
        i = j;
        const int valueWidth = width ? width : DumpDefaultWidth(ctx.bytes.wordMode);
        const uint32_t value = ReadDumpValue(ctx.bytes, ctx.element, order, width);
        char text[48];
        switch (format[j]) {
        case 'H': tip += DumpHexText(value, valueWidth); break;
        case 'D':
            std::snprintf(text, sizeof text, "%u", value);
            tip += text;
            break;
        case 'B': tip += DumpBinaryText(value, valueWidth); break;
        case 'O':
            std::snprintf(text, sizeof text, "%o", value);
            tip += text;
            break;
        case 'A': tip += DumpCharText(value, ctx.nonPrintable); break;
        case 'R':
            tip += DumpHexText(static_cast<uint32_t>(ctx.element), width ? width : (ctx.offsetDigits + 1) / 2);
            break;
        case 'n':
            tip += "\r\n";
            lineStart = tip.size();
            break;
        case 't': tip += Spaces(4 - (tip.size() - lineStart) % 4); break;
        default: tip += format[j]; break;
        }
    }
    return tip;
}

NumEditRange NumEditRangeFor(int width, uint32_t minimum, uint32_t maximum) {
    switch (width) {
    case 1: return {0, 0xFF};
    case 2: return {0, 0xFFFF};
    case 4: return {0, 0xFFFFFFFF};
    default: return minimum <= maximum ? NumEditRange{minimum, maximum} : NumEditRange{maximum, minimum};
    }
}

int NumEditMaxChars(int mode, uint32_t maximum) {
    char text[16];
    switch (mode) {
    case NUMEDIT_HEX: return std::snprintf(text, sizeof text, "%X", maximum);
    case NUMEDIT_OCT: return std::snprintf(text, sizeof text, "%o", maximum);
    case NUMEDIT_BIN: {
        // The separators are part of the text, so they count, or a full binary value could never be typed.
        const int bits = BitCount(maximum);
        return bits + (bits - 1) / 8;
    }
    case NUMEDIT_CHAR: return 1;
    default: return std::snprintf(text, sizeof text, "%u", maximum);
    }
}

std::string NumEditText(int mode, uint32_t value, uint32_t maximum) {
    char text[48];
    switch (mode) {
    case NUMEDIT_HEX: std::snprintf(text, sizeof text, "%.*X", NumEditMaxChars(mode, maximum), value); return text;
    case NUMEDIT_OCT: std::snprintf(text, sizeof text, "%o", value); return text;
    case NUMEDIT_BIN: return BinaryDigits(value, BitCount(maximum));
    case NUMEDIT_CHAR: return (value & 0xFF) < 32 ? std::string(".") : std::string(1, static_cast<char>(value));
    default: std::snprintf(text, sizeof text, "%u", value); return text;
    }
}

bool NumEditAccepts(int mode, char c) {
    if (static_cast<unsigned char>(c) < 32)
        return true;
    switch (mode) {
    case NUMEDIT_HEX: return std::isxdigit(static_cast<unsigned char>(c)) != 0;
    case NUMEDIT_BIN: return c == '0' || c == '1';
    case NUMEDIT_OCT: return c >= '0' && c <= '7';
    case NUMEDIT_CHAR: return true;
    default: return c >= '0' && c <= '9';
    }
}

NumEditParse ParseNumEditText(int mode, const std::string& text) {
    NumEditParse result;
    if (mode == NUMEDIT_CHAR) {
        result.value = text.empty() ? 0 : static_cast<uint8_t>(text[0]);
        return result;
    }
    const int base = mode == NUMEDIT_HEX ? 16 : mode == NUMEDIT_BIN ? 2 : mode == NUMEDIT_OCT ? 8 : 10;
    std::string s;
    for (char c : text)
        if (!(mode == NUMEDIT_BIN && c == '-' && !s.empty()))
            s += c;
    size_t i = 0;
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i])))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    if (base == 16 && i + 2 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X') &&
        std::isxdigit(static_cast<unsigned char>(s[i + 2])))
        i += 2;
    // Accumulate in 64 bits and saturate: a number above 32 bits must never wrap back into range.
    uint64_t value = 0;
    for (; i < s.size(); ++i) {
        const int c = std::tolower(static_cast<unsigned char>(s[i]));
        const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'z' ? c - 'a' + 10 : 99;
        if (digit >= base)
            break;
        value = value * base + digit;
        if (value > 0xFFFFFFFFull) {
            result.overflow = true;
            result.value = 0xFFFFFFFF;
            return result;
        }
    }
    result.value = static_cast<uint32_t>(value);
    if (negative)
        result.value = 0u - result.value;
    return result;
}
