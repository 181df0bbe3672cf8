// printf as the Windows C runtime of the program's era does it. Differences from the host's printf that
// matter to callers:
//   - size prefixes I64, I32 and I (pointer-sized); 'l' means 32 bits for integers (LONG is 32 bits);
//   - %p prints 16 upper-case hexadecimal digits and no prefix;
//   - %S, %ls and %ws take a UTF-16 string, %C, %lc and %wc a UTF-16 character;
//   - the 0 flag pads every conversion with zeros, strings and characters included;
//   - floating-point values carry at most 17 significant digits (further digits print as 0) and
//     exponents have at least three digits ("1.000000e+002"); infinities and NaNs print as 1.#INF,
//     1.#QNAN and -1.#IND.
#include "AfxFormat.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace afx_detail {
namespace {

enum : unsigned {
    kLeft = 1u << 0,
    kPlus = 1u << 1,
    kSpace = 1u << 2,
    kAlternate = 1u << 3,
    kZeroPad = 1u << 4,
};

enum class Size { Default, Char, Short, Long32, Int64, Wide };

struct Spec {
    unsigned flags = 0;
    int width = 0;
    int precision = -1; // -1: none given
    Size size = Size::Default;
    char type = 0;
};

// Writes prefix, zeros and body into a field of the spec's width.
void EmitField(FormatSink& sink, const Spec& spec, const char* prefix, size_t prefixLen, size_t zeros, const char* body,
               size_t bodyLen) {
    size_t content = prefixLen + zeros + bodyLen;
    size_t pad = spec.width > 0 && static_cast<size_t>(spec.width) > content ? spec.width - content : 0;
    if (pad > 0 && (spec.flags & kLeft) == 0 && (spec.flags & kZeroPad) == 0)
        sink.PutRepeat(' ', pad);
    sink.Put(prefix, prefixLen);
    if (pad > 0 && (spec.flags & kLeft) == 0 && (spec.flags & kZeroPad) != 0)
        sink.PutRepeat('0', pad);
    sink.PutRepeat('0', zeros);
    sink.Put(body, bodyLen);
    if (pad > 0 && (spec.flags & kLeft) != 0)
        sink.PutRepeat(' ', pad);
}

void EmitInteger(FormatSink& sink, Spec spec, uint64_t magnitude, bool negative, bool isSigned) {
    unsigned base = 10;
    bool upper = false;
    char prefix[3];
    size_t prefixLen = 0;
    switch (spec.type) {
    case 'o':
        base = 8;
        break;
    case 'p':
        spec.precision = 16;
        [[fallthrough]];
    case 'X':
        upper = true;
        [[fallthrough]];
    case 'x':
        base = 16;
        if ((spec.flags & kAlternate) && magnitude != 0) {
            prefix[prefixLen++] = '0';
            prefix[prefixLen++] = upper ? 'X' : 'x';
        }
        break;
    default:
        break;
    }
    if (isSigned) {
        if (negative)
            prefix[prefixLen++] = '-';
        else if (spec.flags & kPlus)
            prefix[prefixLen++] = '+';
        else if (spec.flags & kSpace)
            prefix[prefixLen++] = ' ';
    }
    if (spec.precision >= 0)
        spec.flags &= ~kZeroPad; // a precision overrides the 0 flag
    else
        spec.precision = 1;

    char digits[24];
    size_t n = 0;
    const char* alphabet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    for (uint64_t v = magnitude; v != 0; v /= base)
        digits[sizeof digits - 1 - n++] = alphabet[v % base];
    size_t zeros = static_cast<size_t>(spec.precision) > n ? spec.precision - n : 0;
    if (base == 8 && (spec.flags & kAlternate) && zeros == 0 && (n == 0 || digits[sizeof digits - n] != '0'))
        zeros = 1; // the alternate octal form starts with 0
    EmitField(sink, spec, prefix, prefixLen, zeros, digits + sizeof digits - n, n);
}

// --- floating point ---------------------------------------------------------------------------------------

constexpr int kSignificantDigits = 17;

struct Decimal {
    char digits[kSignificantDigits];
    int exponent; // value = 0.d0 d1 ... * 10^(exponent + 1), i.e. d0 is at 10^exponent
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

// Rounds to nDigits significant digits (half up on the digit string, as the runtime does). The result is
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
// real, the rest are zeros, so the buffer holds the largest precision the runtime accepts.
constexpr int kMaxPrecision = 512;
constexpr size_t kFloatBuffer = kMaxPrecision + 400;

size_t FormatFixed(const Decimal& d, int precision, bool alternate, char* out) {
    char digits[kFloatBuffer];
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

size_t FormatExponent(const Decimal& d, int precision, bool alternate, bool upper, char* out) {
    char digits[kFloatBuffer];
    int exponent = 0;
    size_t n = RoundDigits(d, precision + 1, digits, exponent);
    if (d.digits[0] == '0') {
        exponent = 0; // zero
        std::memset(digits, '0', static_cast<size_t>(precision) + 1);
    }
    (void)n; // after a carry the surplus last digit is a 0 and is not printed
    size_t len = 0;
    out[len++] = digits[0];
    if (precision > 0 || alternate)
        out[len++] = '.';
    for (int i = 1; i <= precision; ++i)
        out[len++] = digits[i];
    len += static_cast<size_t>(std::snprintf(out + len, 16, "%c%c%03d", upper ? 'E' : 'e', exponent < 0 ? '-' : '+',
                                             exponent < 0 ? -exponent : exponent));
    return len;
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

size_t FormatSpecial(double value, const Spec& spec, char* out) {
    const char* text = std::isinf(value) ? "#INF" : (std::signbit(value) ? "#IND" : "#QNAN");
    size_t len = 0;
    out[len++] = '1';
    char t = static_cast<char>(spec.type | 0x20);
    int precision = spec.precision < 0 ? 6 : spec.precision;
    if (t == 'g') {
        out[len++] = '.';
        std::memcpy(out + len, text, std::strlen(text));
        return len + std::strlen(text);
    }
    if (precision > 0)
        out[len++] = '.';
    size_t textLen = std::strlen(text);
    for (int i = 0; i < precision; ++i)
        out[len++] = static_cast<size_t>(i) < textLen ? text[i] : '0';
    if (t == 'e') {
        std::memcpy(out + len, spec.type == 'E' ? "E+000" : "e+000", 5);
        len += 5;
    }
    return len;
}

void EmitFloat(FormatSink& sink, Spec spec, double value) {
    char prefix[2];
    size_t prefixLen = 0;
    bool negative = std::signbit(value);
    // The runtime shows a NaN's sign through its text (-1.#IND) like any other value's.
    if (negative)
        prefix[prefixLen++] = '-';
    else if (spec.flags & kPlus)
        prefix[prefixLen++] = '+';
    else if (spec.flags & kSpace)
        prefix[prefixLen++] = ' ';

    if (spec.precision > kMaxPrecision)
        spec.precision = kMaxPrecision;
    char body[kFloatBuffer + 32];
    size_t len = 0;
    bool alternate = (spec.flags & kAlternate) != 0;
    if (!std::isfinite(value)) {
        len = FormatSpecial(value, spec, body);
    } else if (spec.type == 'a' || spec.type == 'A') {
        char format[8] = {'%', '.', '*', spec.type, 0};
        len = static_cast<size_t>(
            std::snprintf(body, sizeof body, format, spec.precision < 0 ? 13 : spec.precision, std::fabs(value)));
    } else {
        Decimal d = ToDecimal(std::fabs(value));
        int precision = spec.precision < 0 ? 6 : spec.precision;
        switch (spec.type) {
        case 'e':
        case 'E':
            len = FormatExponent(d, precision, alternate, spec.type == 'E', body);
            break;
        case 'g':
        case 'G': {
            int significant = precision == 0 ? 1 : precision;
            char scratch[kFloatBuffer];
            int exponent = 0;
            RoundDigits(d, significant, scratch, exponent);
            if (d.digits[0] == '0')
                exponent = 0;
            if (exponent < -4 || exponent >= significant)
                len = FormatExponent(d, significant - 1, alternate, spec.type == 'G', body);
            else
                len = FormatFixed(d, significant - 1 - exponent, alternate, body);
            if (!alternate)
                len = StripTrailingZeros(body, len);
            break;
        }
        default:
            len = FormatFixed(d, precision, alternate, body);
            break;
        }
    }
    EmitField(sink, spec, prefix, prefixLen, 0, body, len);
}

// --- strings and characters -------------------------------------------------------------------------------

void EmitNarrowString(FormatSink& sink, const Spec& spec, const char* s) {
    if (s == nullptr)
        s = "(null)";
    size_t len = 0;
    size_t limit = spec.precision >= 0 ? static_cast<size_t>(spec.precision) : SIZE_MAX;
    while (len < limit && s[len] != '\0')
        ++len;
    EmitField(sink, spec, nullptr, 0, 0, s, len);
}

// A UTF-16 string is converted as the runtime's wide-to-multibyte conversion in the "C" locale does: code
// units below 0x100 convert, and the first one that does not ends the text.
void EmitWideString(FormatSink& sink, const Spec& spec, const char16_t* s) {
    static const char16_t kNull[] = u"(null)";
    if (s == nullptr)
        s = kNull;
    size_t limit = spec.precision >= 0 ? static_cast<size_t>(spec.precision) : SIZE_MAX;
    size_t len = 0;
    while (len < limit && s[len] != 0 && s[len] < 0x100)
        ++len;
    size_t pad = spec.width > 0 && static_cast<size_t>(spec.width) > len ? spec.width - len : 0;
    if ((spec.flags & kLeft) == 0)
        sink.PutRepeat((spec.flags & kZeroPad) ? '0' : ' ', pad);
    char chunk[256];
    for (size_t done = 0; done < len;) {
        size_t n = len - done < sizeof chunk ? len - done : sizeof chunk;
        for (size_t i = 0; i < n; ++i)
            chunk[i] = static_cast<char>(s[done + i]);
        sink.Put(chunk, n);
        done += n;
    }
    if ((spec.flags & kLeft) != 0)
        sink.PutRepeat(' ', pad);
}

void EmitChar(FormatSink& sink, const Spec& spec, unsigned code, bool wide) {
    char ch = static_cast<char>(code);
    size_t len = 1;
    if (wide && (code & 0xFFFF) >= 0x100)
        len = 0; // not representable: the runtime prints nothing
    EmitField(sink, spec, nullptr, 0, 0, &ch, len);
}

bool IsWideRequest(const Spec& spec, bool upperCaseType) {
    if (spec.size == Size::Short)
        return false;
    if (spec.size == Size::Long32 || spec.size == Size::Wide)
        return true;
    return upperCaseType; // %S and %C are the "other" width in a narrow printf
}

int ReadNumber(const char*& p) {
    long n = 0;
    while (*p >= '0' && *p <= '9') {
        if (n < 100000000)
            n = n * 10 + (*p - '0');
        ++p;
    }
    return static_cast<int>(n);
}

} // namespace

void FormatTo(FormatSink& sink, const char* format, va_list args) {
    const char* p = format;
    while (*p != '\0') {
        const char* literal = p;
        while (*p != '\0' && *p != '%')
            ++p;
        if (p > literal)
            sink.Put(literal, static_cast<size_t>(p - literal));
        if (*p == '\0')
            break;
        ++p; // '%'
        Spec spec;
        for (;; ++p) {
            if (*p == '-')
                spec.flags |= kLeft;
            else if (*p == '+')
                spec.flags |= kPlus;
            else if (*p == ' ')
                spec.flags |= kSpace;
            else if (*p == '#')
                spec.flags |= kAlternate;
            else if (*p == '0')
                spec.flags |= kZeroPad;
            else
                break;
        }
        if (*p == '*') {
            int w = va_arg(args, int);
            if (w < 0) {
                spec.flags |= kLeft;
                w = w == INT32_MIN ? INT32_MAX : -w;
            }
            spec.width = w;
            ++p;
        } else {
            spec.width = ReadNumber(p);
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                int prec = va_arg(args, int);
                spec.precision = prec < 0 ? -1 : prec;
                ++p;
            } else {
                spec.precision = ReadNumber(p);
            }
        }
        if (spec.flags & kLeft)
            spec.flags &= ~kZeroPad;
        if (spec.flags & kPlus)
            spec.flags &= ~kSpace;

        // Size prefix.
        if (p[0] == 'I' && p[1] == '6' && p[2] == '4') {
            spec.size = Size::Int64;
            p += 3;
        } else if (p[0] == 'I' && p[1] == '3' && p[2] == '2') {
            spec.size = Size::Long32;
            p += 3;
        } else if (p[0] == 'I') {
            spec.size = Size::Int64; // pointer-sized on x64
            p += 1;
        } else if (p[0] == 'h' && p[1] == 'h') {
            spec.size = Size::Char;
            p += 2;
        } else if (p[0] == 'h') {
            spec.size = Size::Short;
            p += 1;
        } else if (p[0] == 'l' && p[1] == 'l') {
            spec.size = Size::Int64;
            p += 2;
        } else if (p[0] == 'l') {
            spec.size = Size::Long32;
            p += 1;
        } else if (p[0] == 'w') {
            spec.size = Size::Wide;
            p += 1;
        } else if (p[0] == 'L') {
            p += 1; // long double is double
        } else if (p[0] == 'z' || p[0] == 'j' || p[0] == 't') {
            spec.size = Size::Int64;
            p += 1;
        }
        spec.type = *p;
        if (spec.type == '\0')
            break;
        ++p;

        switch (spec.type) {
        case 'd':
        case 'i': {
            int64_t v;
            if (spec.size == Size::Int64)
                v = va_arg(args, long long);
            else if (spec.size == Size::Short)
                v = static_cast<short>(va_arg(args, int));
            else if (spec.size == Size::Char)
                v = static_cast<signed char>(va_arg(args, int));
            else
                v = va_arg(args, int);
            uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
            EmitInteger(sink, spec, magnitude, v < 0, true);
            break;
        }
        case 'u':
        case 'o':
        case 'x':
        case 'X': {
            uint64_t v;
            if (spec.size == Size::Int64)
                v = va_arg(args, unsigned long long);
            else if (spec.size == Size::Short)
                v = static_cast<unsigned short>(va_arg(args, unsigned));
            else if (spec.size == Size::Char)
                v = static_cast<unsigned char>(va_arg(args, unsigned));
            else
                v = va_arg(args, unsigned);
            EmitInteger(sink, spec, v, false, false);
            break;
        }
        case 'p':
            EmitInteger(sink, spec, reinterpret_cast<uintptr_t>(va_arg(args, void*)), false, false);
            break;
        case 'c':
        case 'C': {
            unsigned code = static_cast<unsigned>(va_arg(args, int));
            EmitChar(sink, spec, code, IsWideRequest(spec, spec.type == 'C'));
            break;
        }
        case 's':
        case 'S':
            if (IsWideRequest(spec, spec.type == 'S'))
                EmitWideString(sink, spec, va_arg(args, const char16_t*));
            else
                EmitNarrowString(sink, spec, va_arg(args, const char*));
            break;
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            if (spec.type == 'F')
                spec.type = 'f';
            EmitFloat(sink, spec, va_arg(args, double));
            break;
        case 'n':
            (void)va_arg(args, void*); // the runtime refuses %n; nothing is written
            break;
        default:
            sink.Put(&spec.type, 1); // "%%" and unknown conversions print the character itself
            break;
        }
    }
}

void NarrowFromWide(char* dst, const char16_t* src, size_t n) {
    for (size_t i = 0; i < n; ++i)
        dst[i] = src[i] < 0x100 ? static_cast<char>(src[i]) : '?';
}

} // namespace afx_detail
