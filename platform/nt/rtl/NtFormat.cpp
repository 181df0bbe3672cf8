#include "NtFormat.h"

#include <cmath>
#include <cstdint>
#include <string_view>

#include "NtFormatFloat.h"
#include "NtText.h"
#include "ntdef.h"

namespace nt::format {
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
    char type = 0; // the conversion letter; 0 for a character outside ASCII
};

// Widths and precisions beyond this are the caller's mistake; capping them keeps the arithmetic in range.
constexpr long kLargestNumber = 100000000;

template <class Char> int ReadNumber(const Char*& p) {
    long n = 0;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (n < kLargestNumber) {
            n = n * 10 + (*p - '0');
        }
    }
    return static_cast<int>(n);
}

template <class Char> class Engine {
public:
    Engine(Sink<Char>& sink, Runtime runtime) : sink_(sink), runtime_(runtime) {}

    void Run(const Char* format, va_list& args);

private:
    static constexpr bool kWideOutput = sizeof(Char) == 2;
    static constexpr size_t kChunk = 128;

    // Text that is ASCII in every width: digits, signs, prefixes.
    void Ascii(std::string_view text) {
        if constexpr (kWideOutput) {
            Convert(text, [](char c) { return static_cast<Char>(static_cast<unsigned char>(c)); });
        } else {
            sink_.Put(text.data(), text.size());
        }
    }
    void Repeat(char c, size_t n) { sink_.PutRepeat(static_cast<Char>(c), n); }

    // The text of an 8-bit argument.
    void NarrowText(std::string_view text) {
        if constexpr (kWideOutput) {
            if (runtime_ == Runtime::Kernel) {
                Convert(text, [](char c) { return nt::text::AnsiToUtf16(static_cast<unsigned char>(c)); });
            } else {
                Ascii(text);
            }
        } else {
            sink_.Put(text.data(), text.size());
        }
    }

    // The text of a UTF-16 argument, already cut to what prints (PrintableWide).
    void WideText(std::u16string_view text) {
        if constexpr (kWideOutput) {
            sink_.Put(text.data(), text.size());
        } else if (runtime_ == Runtime::Kernel) {
            Convert(text, [](char16_t c) { return nt::text::Utf16ToAnsi(c); });
        } else {
            Convert(text, [](char16_t c) { return static_cast<char>(c); });
        }
    }

    // How much of a UTF-16 argument prints: in the program's run-time, narrow output stops at the first code unit
    // the "C" locale cannot convert.
    std::u16string_view PrintableWide(std::u16string_view text) const {
        if (kWideOutput || runtime_ == Runtime::Kernel) {
            return text;
        }
        size_t n = 0;
        while (n < text.size() && text[n] < 0x100) {
            ++n;
        }
        return text.substr(0, n);
    }

    template <class In, class Map> void Convert(std::basic_string_view<In> text, Map map) {
        Char chunk[kChunk];
        while (!text.empty()) {
            size_t n = text.size() < kChunk ? text.size() : kChunk;
            for (size_t i = 0; i < n; ++i) {
                chunk[i] = map(text[i]);
            }
            sink_.Put(chunk, n);
            text.remove_prefix(n);
        }
    }

    // Writes prefix, zeros and body into a field of the conversion's width.
    template <class Body>
    void Field(const Spec& spec, std::string_view prefix, size_t zeros, size_t bodyLength, Body&& body) {
        size_t content = prefix.size() + zeros + bodyLength;
        size_t width = static_cast<size_t>(spec.width);
        size_t pad = width > content ? width - content : 0;
        bool left = (spec.flags & kLeft) != 0;
        bool zeroPad = (spec.flags & kZeroPad) != 0;
        if (!left && !zeroPad) {
            Repeat(' ', pad);
        }
        Ascii(prefix);
        if (!left && zeroPad) {
            Repeat('0', pad);
        }
        Repeat('0', zeros);
        body();
        if (left) {
            Repeat(' ', pad);
        }
    }

    void Integer(Spec spec, uint64_t magnitude, bool negative, bool isSigned);
    void Float(const Spec& spec, double value);
    void NarrowString(const Spec& spec, std::string_view text);
    void WideString(const Spec& spec, std::u16string_view text);
    void Character(const Spec& spec, unsigned code, bool wide);
    void CountedString(const Spec& spec, const UNICODE_STRING* string);
    void CountedString(const Spec& spec, const ANSI_STRING* string);

    // Whether a string or character conversion takes a UTF-16 argument: s and c take the format's own width, S
    // and C the other; h forces narrow, l and w force UTF-16.
    static bool WideArgument(const Spec& spec, bool upperCase) {
        if (spec.size == Size::Short || spec.size == Size::Char) {
            return false;
        }
        if (spec.size == Size::Long32 || spec.size == Size::Wide) {
            return true;
        }
        return upperCase != kWideOutput;
    }

    Sink<Char>& sink_;
    Runtime runtime_;
};

template <class Char> void Engine<Char>::Integer(Spec spec, uint64_t magnitude, bool negative, bool isSigned) {
    unsigned base = 10;
    bool upper = false;
    char prefix[3];
    size_t prefixLength = 0;
    switch (spec.type) {
    case 'o': base = 8; break;
    case 'p': spec.precision = 16; [[fallthrough]];
    case 'X': upper = true; [[fallthrough]];
    case 'x':
        base = 16;
        if ((spec.flags & kAlternate) != 0 && magnitude != 0) {
            prefix[prefixLength++] = '0';
            prefix[prefixLength++] = upper ? 'X' : 'x';
        }
        break;
    default: break;
    }
    if (isSigned) {
        if (negative) {
            prefix[prefixLength++] = '-';
        } else if ((spec.flags & kPlus) != 0) {
            prefix[prefixLength++] = '+';
        } else if ((spec.flags & kSpace) != 0) {
            prefix[prefixLength++] = ' ';
        }
    }
    if (spec.precision >= 0) {
        spec.flags &= ~kZeroPad; // a precision overrides the 0 flag
    } else {
        spec.precision = 1;
    }

    char digits[24];
    size_t n = 0;
    const char* alphabet = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    for (uint64_t v = magnitude; v != 0; v /= base) {
        digits[sizeof digits - 1 - n++] = alphabet[v % base];
    }
    size_t precision = static_cast<size_t>(spec.precision);
    size_t zeros = precision > n ? precision - n : 0;
    if (base == 8 && (spec.flags & kAlternate) != 0 && zeros == 0) {
        zeros = 1; // the alternate octal form starts with 0 (no digit of a value is a leading 0)
    }
    std::string_view body(digits + sizeof digits - n, n);
    Field(spec, std::string_view(prefix, prefixLength), zeros, n, [&] { Ascii(body); });
}

template <class Char> void Engine<Char>::Float(const Spec& spec, double value) {
    char prefix = 0;
    // The run-time shows a NaN's sign through its text (-1.#IND) like any other value's.
    if (std::signbit(value)) {
        prefix = '-';
    } else if ((spec.flags & kPlus) != 0) {
        prefix = '+';
    } else if ((spec.flags & kSpace) != 0) {
        prefix = ' ';
    }
    FloatSpec floatSpec{.type = spec.type == 'F' ? 'f' : spec.type,
                        .precision = spec.precision,
                        .alternate = (spec.flags & kAlternate) != 0,
                        .exponentDigits = runtime_ == Runtime::Kernel ? 2 : 3};
    char body[kFloatTextMax];
    size_t length = FloatText(value, floatSpec, body);
    Field(spec, std::string_view(&prefix, prefix != 0 ? 1 : 0), 0, length,
          [&] { Ascii(std::string_view(body, length)); });
}

template <class Char> void Engine<Char>::NarrowString(const Spec& spec, std::string_view text) {
    if (spec.precision >= 0 && text.size() > static_cast<size_t>(spec.precision)) {
        text = text.substr(0, static_cast<size_t>(spec.precision));
    }
    Field(spec, {}, 0, text.size(), [&] { NarrowText(text); });
}

template <class Char> void Engine<Char>::WideString(const Spec& spec, std::u16string_view text) {
    if (spec.precision >= 0 && text.size() > static_cast<size_t>(spec.precision)) {
        text = text.substr(0, static_cast<size_t>(spec.precision));
    }
    text = PrintableWide(text);
    Field(spec, {}, 0, text.size(), [&] { WideText(text); });
}

template <class Char> void Engine<Char>::Character(const Spec& spec, unsigned code, bool wide) {
    Spec field = spec;
    field.precision = -1; // a precision means nothing to a character
    if (wide) {
        char16_t c = static_cast<char16_t>(code);
        WideString(field, std::u16string_view(&c, 1));
    } else {
        char c = static_cast<char>(code);
        NarrowString(field, std::string_view(&c, 1));
    }
}

template <class Char> void Engine<Char>::CountedString(const Spec& spec, const UNICODE_STRING* string) {
    if (string == nullptr || string->Buffer == nullptr) {
        NarrowString(spec, "(null)");
    } else {
        WideString(spec, nt::text::View(string));
    }
}

template <class Char> void Engine<Char>::CountedString(const Spec& spec, const ANSI_STRING* string) {
    NarrowString(spec, string == nullptr || string->Buffer == nullptr ? "(null)" : nt::text::View(string));
}

template <class Char> void Engine<Char>::Run(const Char* p, va_list& args) {
    while (*p != 0) {
        const Char* literal = p;
        while (*p != 0 && *p != '%') {
            ++p;
        }
        if (p > literal) {
            sink_.Put(literal, static_cast<size_t>(p - literal));
        }
        if (*p == 0) {
            break;
        }
        ++p; // '%'
        Spec spec;
        for (;; ++p) {
            if (*p == '-') {
                spec.flags |= kLeft;
            } else if (*p == '+') {
                spec.flags |= kPlus;
            } else if (*p == ' ') {
                spec.flags |= kSpace;
            } else if (*p == '#') {
                spec.flags |= kAlternate;
            } else if (*p == '0') {
                spec.flags |= kZeroPad;
            } else {
                break;
            }
        }
        if (*p == '*') {
            int width = va_arg(args, int);
            if (width < 0) {
                spec.flags |= kLeft;
                width = width == INT32_MIN ? INT32_MAX : -width;
            }
            spec.width = width;
            ++p;
        } else {
            spec.width = ReadNumber(p);
        }
        if (*p == '.') {
            ++p;
            if (*p == '*') {
                int precision = va_arg(args, int);
                spec.precision = precision < 0 ? -1 : precision;
                ++p;
            } else {
                spec.precision = ReadNumber(p);
            }
        }
        if ((spec.flags & kLeft) != 0) {
            spec.flags &= ~kZeroPad;
        }
        if ((spec.flags & kPlus) != 0) {
            spec.flags &= ~kSpace;
        }

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
        const Char conversion = *p;
        if (conversion == 0) {
            break;
        }
        ++p;
        spec.type = conversion < 0x80 ? static_cast<char>(conversion) : 0;

        switch (spec.type) {
        case 'd':
        case 'i': {
            int64_t v;
            if (spec.size == Size::Int64) {
                v = va_arg(args, long long);
            } else if (spec.size == Size::Short) {
                v = static_cast<short>(va_arg(args, int));
            } else if (spec.size == Size::Char) {
                v = static_cast<signed char>(va_arg(args, int));
            } else {
                v = va_arg(args, int); // l is 32 bits on the platform
            }
            uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
            Integer(spec, magnitude, v < 0, true);
            break;
        }
        case 'u':
        case 'o':
        case 'x':
        case 'X': {
            uint64_t v;
            if (spec.size == Size::Int64) {
                v = va_arg(args, unsigned long long);
            } else if (spec.size == Size::Short) {
                v = static_cast<unsigned short>(va_arg(args, unsigned));
            } else if (spec.size == Size::Char) {
                v = static_cast<unsigned char>(va_arg(args, unsigned));
            } else {
                v = va_arg(args, unsigned);
            }
            Integer(spec, v, false, false);
            break;
        }
        case 'p': Integer(spec, reinterpret_cast<uintptr_t>(va_arg(args, void*)), false, false); break;
        case 'c':
        case 'C': {
            unsigned code = static_cast<unsigned>(va_arg(args, int));
            Character(spec, code, WideArgument(spec, spec.type == 'C'));
            break;
        }
        case 's':
        case 'S':
            if (WideArgument(spec, spec.type == 'S')) {
                auto* s = va_arg(args, const char16_t*);
                if (s == nullptr) {
                    NarrowString(spec, "(null)");
                } else {
                    WideString(spec, nt::text::View(s));
                }
            } else {
                auto* s = va_arg(args, const char*);
                NarrowString(spec, s == nullptr ? "(null)" : std::string_view(s));
            }
            break;
        case 'Z':
            // %wZ (or %lZ) is a UNICODE_STRING, %Z an ANSI_STRING, whatever the format's width.
            if (spec.size == Size::Wide || spec.size == Size::Long32) {
                CountedString(spec, va_arg(args, const UNICODE_STRING*));
            } else {
                CountedString(spec, va_arg(args, const ANSI_STRING*));
            }
            break;
        case 'e':
        case 'E':
        case 'f':
        case 'F':
        case 'g':
        case 'G':
        case 'a':
        case 'A': Float(spec, va_arg(args, double)); break;
        case 'n':
            (void)va_arg(args, void*); // refused: nothing is written
            break;
        default:
            sink_.Put(&conversion, 1); // "%%" and unknown conversions print the character itself
            break;
        }
    }
}

template <class Char> class StringSink final : public Sink<Char> {
public:
    void Put(const Char* text, size_t n) override { text_.append(text, n); }
    void PutRepeat(Char c, size_t n) override { text_.append(n, c); }
    std::basic_string<Char> Take() { return std::move(text_); }

private:
    std::basic_string<Char> text_;
};

template <class Char> void Format(Sink<Char>& sink, Runtime runtime, const Char* format, va_list args) {
    if (format == nullptr) {
        return;
    }
    va_list copy;
    va_copy(copy, args);
    Engine<Char>(sink, runtime).Run(format, copy);
    va_end(copy);
}

} // namespace

void FormatTo(Sink<char>& sink, Runtime runtime, const char* format, va_list args) {
    Format(sink, runtime, format, args);
}

void FormatTo(Sink<char16_t>& sink, Runtime runtime, const char16_t* format, va_list args) {
    Format(sink, runtime, format, args);
}

std::string FormatA(Runtime runtime, const char* format, va_list args) {
    StringSink<char> sink;
    Format(sink, runtime, format, args);
    return sink.Take();
}

std::u16string FormatW(Runtime runtime, const char16_t* format, va_list args) {
    StringSink<char16_t> sink;
    Format(sink, runtime, format, args);
    return sink.Take();
}

} // namespace nt::format
