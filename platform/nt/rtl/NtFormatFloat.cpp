#include "NtFormatFloat.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace nt::format {
namespace {

constexpr int kSignificantDigits = 17;

struct Decimal {
    char digits[kSignificantDigits];
    int exponent; // d0 is at 10^exponent
};

Decimal ToDecimal(double magnitude) {
    Decimal d{};
    char text[40];
    std::snprintf(text, sizeof text, "%.*e", kSignificantDigits - 1, magnitude);
    // text: "d.dddddddddddddddde+XX"
    d.digits[0] = text[0];
    std::memcpy(d.digits + 1, text + 2, kSignificantDigits - 1);
    d.exponent = magnitude == 0.0 ? 0 : std::atoi(text + kSignificantDigits + 2);
    return d;
}

// Rounds to nDigits significant digits (half up on the digit string, as the run-time does). The result is
// written to out (nDigits characters, or nDigits + 1 when the rounding carried out of the first digit, in
// which case exponent grows by one). nDigits below 0 gives nothing.
size_t RoundDigits(const Decimal& d, int nDigits, char* out, int& exponent) {
    exponent = d.exponent;
    if (nDigits <= 0) {
        if (nDigits == 0 && d.digits[0] >= '5') {
            out[0] = '1';
            ++exponent;
            return 1;
        }
        return 0;
    }
    size_t n = static_cast<size_t>(nDigits);
    size_t copied = n < kSignificantDigits ? n : kSignificantDigits;
    std::memcpy(out + 1, d.digits, copied);
    std::memset(out + 1 + copied, '0', n - copied);
    if (n < kSignificantDigits && d.digits[n] >= '5') {
        size_t i = n;
        while (i > 0 && out[i] == '9')
            out[i--] = '0';
        if (i == 0) {
            out[0] = '1';
            ++exponent;
            return n + 1; // starts at out[0]
        }
        ++out[i];
    }
    std::memmove(out, out + 1, n);
    return n;
}

// Digits of a fixed-point or exponent form are built in this buffer: at most 17 significant digits are
// real, the rest are zeros, so the buffer holds the largest precision the run-time accepts.
constexpr int kMaxPrecision = 512;
constexpr size_t kDigitBuffer = kMaxPrecision + 400;
static_assert(kDigitBuffer + 32 <= kFloatTextMax);

size_t FormatFixed(const Decimal& d, int precision, bool alternate, char* out) {
    char digits[kDigitBuffer];
    int exponent = 0;
    size_t n = RoundDigits(d, d.exponent + 1 + precision, digits, exponent);
    size_t len = 0;
    // Integer part.
    if (exponent < 0 || n == 0) {
        out[len++] = '0';
    } else {
        for (int i = 0; i <= exponent; ++i)
            out[len++] = static_cast<size_t>(i) < n ? digits[i] : '0';
    }
    if (precision > 0 || alternate)
        out[len++] = '.';
    for (int i = 0; i < precision; ++i) {
        long pos = static_cast<long>(exponent) + 1 + i; // index into digits of this fractional place
        if (n == 0)
            pos = -1;
        out[len++] = (pos >= 0 && static_cast<size_t>(pos) < n) ? digits[pos] : '0';
    }
    return len;
}

size_t PutExponent(char* out, bool upper, int exponent, int exponentDigits) {
    return static_cast<size_t>(std::snprintf(out, 16, "%c%c%0*d", upper ? 'E' : 'e', exponent < 0 ? '-' : '+',
                                             exponentDigits, exponent < 0 ? -exponent : exponent));
}

size_t FormatExponent(const Decimal& d, int precision, bool alternate, bool upper, int exponentDigits, char* out) {
    char digits[kDigitBuffer];
    int exponent = 0;
    RoundDigits(d, precision + 1, digits, exponent); // after a carry the surplus last digit is a 0: not printed
    if (d.digits[0] == '0') {
        exponent = 0; // zero
        std::memset(digits, '0', static_cast<size_t>(precision) + 1);
    }
    size_t len = 0;
    out[len++] = digits[0];
    if (precision > 0 || alternate)
        out[len++] = '.';
    for (int i = 1; i <= precision; ++i)
        out[len++] = digits[i];
    return len + PutExponent(out + len, upper, exponent, exponentDigits);
}

size_t StripTrailingZeros(char* out, size_t len) {
    char* dot = static_cast<char*>(std::memchr(out, '.', len));
    if (dot == nullptr)
        return len;
    char* end = static_cast<char*>(std::memchr(out, 'e', len));
    if (end == nullptr)
        end = static_cast<char*>(std::memchr(out, 'E', len));
    if (end == nullptr)
        end = out + len;
    char* last = end;
    while (last > dot + 1 && last[-1] == '0')
        --last;
    if (last == dot + 1)
        --last; // drop the point as well
    size_t tail = static_cast<size_t>(out + len - end);
    std::memmove(last, end, tail);
    return static_cast<size_t>(last - out) + tail;
}

size_t FormatSpecial(double value, const FloatSpec& spec, char* out) {
    const char* text = std::isinf(value) ? "#INF" : (std::signbit(value) ? "#IND" : "#QNAN");
    size_t textLen = std::strlen(text);
    size_t len = 0;
    out[len++] = '1';
    char t = static_cast<char>(spec.type | 0x20);
    if (t == 'g') {
        out[len++] = '.';
        std::memcpy(out + len, text, textLen);
        return len + textLen;
    }
    int precision = spec.precision < 0 ? 6 : spec.precision;
    if (precision > 0)
        out[len++] = '.';
    for (int i = 0; i < precision; ++i)
        out[len++] = static_cast<size_t>(i) < textLen ? text[i] : '0';
    if (t == 'e')
        len += PutExponent(out + len, spec.type == 'E', 0, spec.exponentDigits);
    return len;
}

} // namespace

size_t FloatText(double value, const FloatSpec& given, char* out) {
    FloatSpec spec = given;
    if (spec.precision > kMaxPrecision)
        spec.precision = kMaxPrecision;
    if (!std::isfinite(value))
        return FormatSpecial(value, spec, out);
    if (spec.type == 'a' || spec.type == 'A') {
        char format[8] = {'%', '.', '*', spec.type, 0};
        int n = std::snprintf(out, kFloatTextMax, format, spec.precision < 0 ? 13 : spec.precision, std::fabs(value));
        return n < 0 ? 0 : static_cast<size_t>(n);
    }
    Decimal d = ToDecimal(std::fabs(value));
    int precision = spec.precision < 0 ? 6 : spec.precision;
    switch (spec.type) {
    case 'e':
    case 'E': return FormatExponent(d, precision, spec.alternate, spec.type == 'E', spec.exponentDigits, out);
    case 'g':
    case 'G': {
        int significant = precision == 0 ? 1 : precision;
        char scratch[kDigitBuffer];
        int exponent = 0;
        RoundDigits(d, significant, scratch, exponent);
        if (d.digits[0] == '0')
            exponent = 0;
        size_t len =
            exponent < -4 || exponent >= significant
                ? FormatExponent(d, significant - 1, spec.alternate, spec.type == 'G', spec.exponentDigits, out)
                : FormatFixed(d, significant - 1 - exponent, spec.alternate, out);
        return spec.alternate ? len : StripTrailingZeros(out, len);
    }
    default: return FormatFixed(d, precision, spec.alternate, out);
    }
}

} // namespace nt::format
