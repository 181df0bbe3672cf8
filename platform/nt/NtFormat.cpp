#include "NtFormat.h"

#include <cstdint>
#include <cstdio>
#include <string_view>

#include "NtText.h"
#include "ntdef.h"

namespace nt::format {
namespace {

enum class Size { Default, Char, Short, Long32, Long64, Wide, Narrow, LongDouble };

struct Spec {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = 0;
    int precision = -1; // -1: none
    Size size = Size::Default;
    bool wideModifier = false;   // l or w
    bool narrowModifier = false; // h
};

// Output in the routine's own width: narrow output is ANSI, wide output UTF-16.
template <class Out>
struct Sink {
    std::basic_string<Out> text;

    void Put(char c) {
        if constexpr (sizeof(Out) == 1) {
            text += c;
        } else {
            text += nt::text::AnsiToUtf16(static_cast<unsigned char>(c));
        }
    }
    void PutNarrow(std::string_view s) {
        for (char c : s) {
            Put(c);
        }
    }
    void PutWide(std::u16string_view s) {
        if constexpr (sizeof(Out) == 1) {
            for (char16_t c : s) {
                text += nt::text::Utf16ToAnsi(c);
            }
        } else {
            text += s;
        }
    }
    void Pad(int count, char c) {
        for (int i = 0; i < count; ++i) {
            Put(c);
        }
    }
};

template <class Out>
void PutPadded(Sink<Out>& sink, const Spec& spec, size_t length, auto&& writeBody) {
    int pad = spec.width > static_cast<int>(length) ? spec.width - static_cast<int>(length) : 0;
    if (!spec.left) {
        sink.Pad(pad, ' ');
    }
    writeBody();
    if (spec.left) {
        sink.Pad(pad, ' ');
    }
}

template <class Out>
void PutInteger(Sink<Out>& sink, Spec spec, uint64_t magnitude, bool negative, char conversion) {
    unsigned base = conversion == 'o' ? 8 : (conversion == 'x' || conversion == 'X' || conversion == 'p') ? 16 : 10;
    const char* digitsOf = conversion == 'x' ? "0123456789abcdef" : "0123456789ABCDEF";
    char digits[64];
    int n = 0;
    for (uint64_t v = magnitude; v != 0; v /= base) {
        digits[n++] = digitsOf[v % base];
    }
    int precision = spec.precision < 0 ? 1 : spec.precision;
    int zeros = precision > n ? precision - n : 0;
    std::string prefix;
    if (negative) {
        prefix = "-";
    } else if (spec.plus && (conversion == 'd' || conversion == 'i')) {
        prefix = "+";
    } else if (spec.space && (conversion == 'd' || conversion == 'i')) {
        prefix = " ";
    }
    if (spec.alt && magnitude != 0 && (conversion == 'x' || conversion == 'X')) {
        prefix += conversion == 'x' ? "0x" : "0X";
    }
    if (spec.alt && conversion == 'o' && zeros == 0) {
        zeros = 1;
    }
    int length = static_cast<int>(prefix.size()) + zeros + n;
    if (spec.zero && !spec.left && spec.precision < 0 && spec.width > length) {
        zeros += spec.width - length;
        length = spec.width;
    }
    PutPadded(sink, spec, static_cast<size_t>(length), [&] {
        sink.PutNarrow(prefix);
        sink.Pad(zeros, '0');
        for (int i = n - 1; i >= 0; --i) {
            sink.Put(digits[i]);
        }
    });
}

template <class Out>
void PutNarrowString(Sink<Out>& sink, const Spec& spec, std::string_view s) {
    if (spec.precision >= 0 && s.size() > static_cast<size_t>(spec.precision)) {
        s = s.substr(0, static_cast<size_t>(spec.precision));
    }
    PutPadded(sink, spec, s.size(), [&] { sink.PutNarrow(s); });
}

template <class Out>
void PutWideString(Sink<Out>& sink, const Spec& spec, std::u16string_view s) {
    if (spec.precision >= 0 && s.size() > static_cast<size_t>(spec.precision)) {
        s = s.substr(0, static_cast<size_t>(spec.precision));
    }
    PutPadded(sink, spec, s.size(), [&] { sink.PutWide(s); });
}

int64_t SignedArgument(Size size, va_list& args) {
    switch (size) {
    case Size::Char: return static_cast<signed char>(va_arg(args, int));
    case Size::Short: return static_cast<short>(va_arg(args, int));
    case Size::Long64: return va_arg(args, long long);
    default: return va_arg(args, int); // l is 32 bits on the platform
    }
}

uint64_t UnsignedArgument(Size size, va_list& args) {
    switch (size) {
    case Size::Char: return static_cast<unsigned char>(va_arg(args, unsigned));
    case Size::Short: return static_cast<unsigned short>(va_arg(args, unsigned));
    case Size::Long64: return va_arg(args, unsigned long long);
    default: return va_arg(args, unsigned);
    }
}

template <class Out>
void PutFloat(Sink<Out>& sink, const Spec& spec, char conversion, double value) {
    char format[32];
    int f = 0;
    format[f++] = '%';
    if (spec.left) format[f++] = '-';
    if (spec.plus) format[f++] = '+';
    if (spec.space) format[f++] = ' ';
    if (spec.alt) format[f++] = '#';
    if (spec.zero) format[f++] = '0';
    format[f++] = '*';
    format[f++] = '.';
    format[f++] = '*';
    format[f++] = conversion;
    format[f] = '\0';
    char buffer[512];
    int n = std::snprintf(buffer, sizeof buffer, format, spec.width, spec.precision < 0 ? 6 : spec.precision, value);
    if (n < 0) {
        return;
    }
    sink.PutNarrow(std::string_view(buffer, n < static_cast<int>(sizeof buffer) ? static_cast<size_t>(n)
                                                                                  : sizeof buffer - 1));
}

template <class Out, class In>
std::basic_string<Out> Run(const In* format, va_list outerArgs) {
    constexpr bool kWideRoutine = sizeof(In) == 2;
    va_list args;
    va_copy(args, outerArgs);
    Sink<Out> sink;
    if (format == nullptr) {
        va_end(args);
        return {};
    }
    for (const In* p = format; *p != 0; ++p) {
        if (*p != '%') {
            if constexpr (kWideRoutine) {
                if constexpr (sizeof(Out) == 2) {
                    sink.text += static_cast<Out>(*p);
                } else {
                    sink.text += nt::text::Utf16ToAnsi(static_cast<char16_t>(*p));
                }
            } else {
                sink.Put(static_cast<char>(*p));
            }
            continue;
        }
        ++p;
        Spec spec;
        for (;; ++p) {
            if (*p == '-') spec.left = true;
            else if (*p == '+') spec.plus = true;
            else if (*p == ' ') spec.space = true;
            else if (*p == '#') spec.alt = true;
            else if (*p == '0') spec.zero = true;
            else break;
        }
        if (*p == '*') {
            spec.width = va_arg(args, int);
            if (spec.width < 0) {
                spec.left = true;
                spec.width = -spec.width;
            }
            ++p;
        } else {
            while (*p >= '0' && *p <= '9') {
                spec.width = spec.width * 10 + (*p++ - '0');
            }
        }
        if (*p == '.') {
            ++p;
            spec.precision = 0;
            if (*p == '*') {
                spec.precision = va_arg(args, int);
                if (spec.precision < 0) {
                    spec.precision = -1;
                }
                ++p;
            } else {
                while (*p >= '0' && *p <= '9') {
                    spec.precision = spec.precision * 10 + (*p++ - '0');
                }
            }
        }
        // Size prefixes.
        for (bool more = true; more;) {
            switch (*p) {
            case 'h':
                if (p[1] == 'h') {
                    spec.size = Size::Char;
                    ++p;
                } else {
                    spec.size = Size::Short;
                }
                spec.narrowModifier = true;
                ++p;
                break;
            case 'l':
                if (p[1] == 'l') {
                    spec.size = Size::Long64;
                    ++p;
                } else {
                    spec.size = Size::Long32;
                    spec.wideModifier = true;
                }
                ++p;
                break;
            case 'w':
                spec.wideModifier = true;
                ++p;
                break;
            case 'L':
                spec.size = Size::LongDouble;
                ++p;
                break;
            case 'z':
            case 'j':
            case 't':
            case 'q':
                spec.size = Size::Long64;
                ++p;
                break;
            case 'I':
                if (p[1] == '6' && p[2] == '4') {
                    spec.size = Size::Long64;
                    p += 3;
                } else if (p[1] == '3' && p[2] == '2') {
                    spec.size = Size::Long32;
                    p += 3;
                } else {
                    spec.size = Size::Long64; // pointer-sized
                    ++p;
                }
                break;
            default:
                more = false;
                break;
            }
        }
        const In conversion = *p;
        if (conversion == 0) {
            break;
        }
        // Which width a string or character conversion takes: s/c are the routine's own width, S/C the other;
        // h forces narrow, l and w force wide.
        auto wideArgument = [&](bool upper) {
            if (spec.narrowModifier) {
                return false;
            }
            if (spec.wideModifier) {
                return true;
            }
            return upper ? !kWideRoutine : kWideRoutine;
        };
        switch (conversion) {
        case 'd':
        case 'i': {
            int64_t v = SignedArgument(spec.size, args);
            uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
            PutInteger(sink, spec, magnitude, v < 0, 'd');
            break;
        }
        case 'u':
        case 'o':
        case 'x':
        case 'X':
            PutInteger(sink, spec, UnsignedArgument(spec.size, args), false, static_cast<char>(conversion));
            break;
        case 'p': {
            Spec pointer = spec;
            pointer.precision = 16;
            pointer.alt = false;
            PutInteger(sink, pointer, reinterpret_cast<uintptr_t>(va_arg(args, void*)), false, 'X');
            break;
        }
        case 'c':
        case 'C': {
            int c = va_arg(args, int);
            if (wideArgument(conversion == 'C')) {
                char16_t w = static_cast<char16_t>(c);
                PutWideString(sink, Spec{.left = spec.left, .width = spec.width}, std::u16string_view(&w, 1));
            } else {
                char n = static_cast<char>(c);
                PutNarrowString(sink, Spec{.left = spec.left, .width = spec.width}, std::string_view(&n, 1));
            }
            break;
        }
        case 's':
        case 'S':
            if (wideArgument(conversion == 'S')) {
                const char16_t* s = va_arg(args, const char16_t*);
                if (s == nullptr) {
                    PutNarrowString(sink, spec, "(null)");
                } else {
                    PutWideString(sink, spec, std::u16string_view(s));
                }
            } else {
                const char* s = va_arg(args, const char*);
                PutNarrowString(sink, spec, s == nullptr ? "(null)" : std::string_view(s));
            }
            break;
        case 'Z':
            if (spec.wideModifier) {
                auto* s = va_arg(args, const UNICODE_STRING*);
                if (s == nullptr || s->Buffer == nullptr) {
                    PutNarrowString(sink, spec, "(null)");
                } else {
                    PutWideString(sink, spec, nt::text::View(s));
                }
            } else {
                auto* s = va_arg(args, const ANSI_STRING*);
                if (s == nullptr || s->Buffer == nullptr) {
                    PutNarrowString(sink, spec, "(null)");
                } else {
                    PutNarrowString(sink, spec, nt::text::View(s));
                }
            }
            break;
        case 'n':
            (void)va_arg(args, void*);
            break;
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A':
            PutFloat(sink, spec, static_cast<char>(conversion), va_arg(args, double));
            break;
        case '%':
            sink.Put('%');
            break;
        default:
            // An unknown conversion is printed as it stands.
            sink.Put('%');
            if constexpr (kWideRoutine) {
                sink.PutWide(std::u16string_view(reinterpret_cast<const char16_t*>(p), 1));
            } else {
                sink.Put(static_cast<char>(conversion));
            }
            break;
        }
    }
    va_end(args);
    return std::move(sink.text);
}

} // namespace

std::string FormatA(const char* format, va_list args) { return Run<char, char>(format, args); }

std::u16string FormatW(const char16_t* format, va_list args) { return Run<char16_t, char16_t>(format, args); }

std::string Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = FormatA(format, args);
    va_end(args);
    return text;
}

} // namespace nt::format
