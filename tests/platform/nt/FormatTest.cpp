// The printf engine against the platform's C run-time conventions, which differ from the host's printf in size
// prefixes, %p, %S, rounding and exponents. Each row says which run-time's conventions it holds for; most hold for
// both.
#include <cmath>
#include <cstdarg>
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "NtFormat.h"
#include "wdm.h"

namespace {

using nt::format::Runtime;

enum class Holds { Both, Kernel, User };

bool HoldsFor(Holds holds, Runtime runtime) {
    return holds == Holds::Both || (holds == Holds::Kernel) == (runtime == Runtime::Kernel);
}

const char* Name(Runtime runtime) {
    return runtime == Runtime::Kernel ? "kernel" : "user";
}

template <class Char> std::basic_string<Char> Formatted(Runtime runtime, const Char* format, ...) {
    va_list args;
    va_start(args, format);
    std::basic_string<Char> text;
    if constexpr (sizeof(Char) == 1) {
        text = nt::format::FormatA(runtime, format, args);
    } else {
        text = nt::format::FormatW(runtime, format, args);
    }
    va_end(args);
    return text;
}

// A format and its arguments, run under either run-time's conventions.
template <class Char> struct Call { std::function<std::basic_string<Char>(Runtime)> run; };

template <class... Args> Call<char> F(const char* format, Args... args) {
    return {[=](Runtime runtime) { return Formatted(runtime, format, args...); }};
}

template <class... Args> Call<char16_t> W(const char16_t* format, Args... args) {
    return {[=](Runtime runtime) { return Formatted(runtime, format, args...); }};
}

template <class Char> struct Case {
    Holds holds;
    std::basic_string<Char> expected;
    Call<Char> call;
};

template <class Char> void Check(const Case<Char>* begin, const Case<Char>* end) {
    for (const Case<Char>* c = begin; c != end; ++c) {
        for (Runtime runtime : {Runtime::Kernel, Runtime::User}) {
            if (HoldsFor(c->holds, runtime)) {
                EXPECT_EQ(c->call.run(runtime), c->expected) << "row " << (c - begin) << ", " << Name(runtime);
            }
        }
    }
}

template <class Char, size_t N> void Check(const Case<Char> (&cases)[N]) {
    Check(cases, cases + N);
}

TEST(Format, Integers) {
    const ULONG above2to31 = 3000000000u;
    LONG minusOne = -1;
    ULONG big = 0xFFFFFFFFu;
    ULONGLONG wide = 0x123456789ABCDEF0ull;
    const Case<char> cases[] = {
        {Holds::Both, "42|   42|42   |00042", F("%d|%5d|%-5d|%05d", 42, 42, 42, 42)},
        {Holds::Both, "+5| 5|-5", F("%+d|% d|% d", 5, 5, -5)},
        {Holds::Both, "ff|FF|10|377", F("%x|%X|%o|%o", 255, 255, 8, 255)},
        {Holds::Both, "0xff|0XFF|010|0|0", F("%#x|%#X|%#o|%#x|%#o", 255, 255, 8, 0, 0)},
        {Holds::Both, "  007|-007", F("%5.3d|%.3d", 7, -7)},
        {Holds::Both, "|0", F("%.0d|%#.0o", 0, 0u)},
        {Holds::Both, "123456789abcdef0|123456789ABCDEF0", F("%I64x|%I64X", wide, wide)},
        {Holds::Both, "18446744073709551615", F("%I64u", 18446744073709551615ULL)},
        {Holds::Both, "-9223372036854775808", F("%I64d", static_cast<LONGLONG>(-9223372036854775807LL - 1))},
        {Holds::Both, "-1|5|ffffffff", F("%I32d|%Iu|%I32x", -1, static_cast<ULONG_PTR>(5), -1)},
        {Holds::Both, "ffff800012345678", F("%Ix", ULONG_PTR{0xFFFF800012345678})},
        // LONG and ULONG are 32 bits: %ld reads a 32-bit value.
        {Holds::Both, "-1294967296|3000000000|b2d05e00", F("%ld|%lu|%lx", above2to31, above2to31, above2to31)},
        {Holds::Both, "-1|4294967295|ffffffff", F("%ld|%lu|%lx", minusOne, big, big)},
        {Holds::Both, "123456789abcdef0|18446744073709551615|123456789ABCDEF0",
         F("%I64x|%I64u|%llX", wide, ULONGLONG{18446744073709551615ull}, wide)},
        {Holds::Both, "4464|4464|1170|-1", F("%hd|%hu|%hx|%hd", 70000, 70000, 70000, 0xFFFF)},
        {Holds::Both, "-1|255|7b", F("%hhd|%hhu|%hhx", 0xFF, 0x1FF, 0x7B)},
        {Holds::Both, "0000000000001234|00000000DEADBEEF",
         F("%p|%p", reinterpret_cast<void*>(0x1234), reinterpret_cast<void*>(0xDEADBEEFULL))},
        {Holds::Both, "0000000000ABCDEF", F("%p", reinterpret_cast<void*>(0xABCDEF))},
        {Holds::Both, "    42|7   |", F("%*d|%-*d|", 6, 42, 4, 7)},
        {Holds::Both, "7   |", F("%*d|", -4, 7)},
        {Holds::Both, "<03>", F("<%02u>", 3u)},
        {Holds::Both, "18446744073709551615|-1", F("%llu|%lld", 18446744073709551615ULL, -1LL)},
    };
    Check(cases);
}

TEST(Format, StringsAndCharacters) {
    const char16_t wide[] = u"wide";
    const char16_t outside[] = {u'a', u'b', 0x263A, u'c', 0};
    const char16_t euro[] = u"x\u20ACy";
    UNICODE_STRING name = RTL_CONSTANT_STRING(u"\\Driver\\usbhub");
    ANSI_STRING ansi = {7, 8, const_cast<PCHAR>("usbccgp")};
    const std::u16string longWide(300, u'w');
    const char16_t* longWideText = longWide.c_str();
    const Case<char> cases[] = {
        {Holds::Both, "narrow|wide|wide|wide|x", F("%s|%S|%ls|%ws|%hs", "narrow", wide, wide, wide, "x")},
        {Holds::Both, "abc|ab    |    ab|000ab", F("%.3s|%-6s|%6s|%05s", "abcdef", "ab", "ab", "ab")},
        {Holds::Both, "[ab    ][    xy][002A][+5][0xff][010]",
         F("[%-6s][%6.2s][%04X][%+d][%#x][%#o]", "ab", "xyz", 0x2Au, 5, 255u, 8u)},
        {Holds::Both, "(null)|(nu", F("%s|%.3s", static_cast<const char*>(nullptr), static_cast<const char*>(nullptr))},
        {Holds::Both, "(null)", F("%S", static_cast<const char16_t*>(nullptr))},
        {Holds::Both, "(null)|(null)|(null)",
         F("%s|%ws|%wZ", static_cast<const char*>(nullptr), static_cast<const char16_t*>(nullptr),
           static_cast<PUNICODE_STRING>(nullptr))},
        {Holds::Both, "\\Driver\\usbhub|usbccgp|\\Dri|usb", F("%wZ|%Z|%.4wZ|%.3Z", &name, &ansi, &name, &ansi)},
        {Holds::Both, "w\xe9|S|n", F("%ws|%S|%s", u"w\u00e9", u"S", "n")},
        {Holds::Both, "ab|  a|00a", F("%c%C|%3c|%03c", 'a', u'b', 'a', 'a')},
        {Holds::Both, "a\351cd", F("%c%C%hc%wc", 'a', u'\u00e9', 'c', u'd')},
        {Holds::Both, "  wide|wi", F("%6S|%.2S", wide, wide)},
        {Holds::Both, std::string(300, 'w'), F("%S", longWideText)},
        // The program's run-time converts in the "C" locale: a character outside the 8-bit code page ends a
        // converted string and prints as nothing on its own.
        {Holds::User, "ab|[]", F("%S|[%C]", outside, static_cast<char16_t>(0x263A))},
        {Holds::User, "x", F("%S", euro)},
        // The kernel converts through the ANSI code page, with '?' for what it lacks.
        {Holds::Kernel, "ab?c|[?]|x\x80y", F("%S|[%C]|%S", outside, static_cast<char16_t>(0x263A), euro)},
    };
    Check(cases);
}

TEST(Format, FloatingPoint) {
    const Case<char> cases[] = {
        {Holds::Both, "1.500000|3.14|3", F("%f|%.2f|%.0f", 1.5, 3.14159, 3.0)},
        // Halves round away from zero on the decimal digits.
        {Holds::Both, "1|3|0.13", F("%.0f|%.0f|%.2f", 0.5, 2.5, 0.125)},
        // At most 17 significant digits; the rest print as zeros.
        {Holds::Both, "0.10000000000000001000", F("%.20f", 0.1)},
        {Holds::Both, "0|100|1.5|2.", F("%g|%g|%g|%#.1g", 0.0, 100.0, 1.5, 2.0)},
        {Holds::Both, "-0.000000|0.001|0.000", F("%f|%.3f|%.3f", -0.0, 0.0006, 0.0004)},
        {Holds::Both, "1.#INF00|-1.#INF00|1.#INF", F("%f|%f|%g", INFINITY, -INFINITY, INFINITY)},
        // The program's run-time prints exponents with three digits at least, the kernel's with two.
        {Holds::User, "1.234568e+004|0.000000E+000|1.0e+001", F("%e|%E|%.1e", 12345.678, 0.0, 9.99)},
        {Holds::User, "1e-005|0.0001|123456|1.23457e+006|1E-010",
         F("%g|%g|%g|%g|%G", 0.00001, 0.0001, 123456.0, 1234567.0, 1e-10)},
        {Holds::User, "  3.1|2.500   |-0001.50|+1.0e+001", F("%5.1f|%-8.3f|%08.2f|%+.1e", 3.14159, 2.5, -1.5, 9.99)},
        {Holds::User, "1e+300", F("%g", 1e300)},
        {Holds::User, "1.#INF00e+000", F("%e", INFINITY)},
        {Holds::Kernel, "3.142|1.2e+04", F("%.3f|%5.1e", 3.14159, 12345.0)},
        {Holds::Kernel, "1.234568e+04|1e-05|1E-10|1e+300|1.#INF00e+00",
         F("%e|%g|%G|%g|%e", 12345.678, 0.00001, 1e-10, 1e300, INFINITY)},
    };
    Check(cases);
}

TEST(Format, PercentUnknownConversionsAndTruncatedFormats) {
    const Case<char> cases[] = {
        {Holds::Both, "100%", F("%d%%", 100)},
        {Holds::Both, "100%", F("100%%")},
        {Holds::Both, "y|", F("%y|%n", static_cast<void*>(nullptr))},
        {Holds::Both, "end", F("end%")},
        {Holds::Both, "end", F("end%-08l")},
        {Holds::Both, "", F(nullptr)},
    };
    Check(cases);
}

// In a wide format %s and %c are UTF-16 and %S and %C narrow; narrow text widens through the same conversions.
TEST(Format, WideFormatsWriteUtf16) {
    UNICODE_STRING name = RTL_CONSTANT_STRING(u"KxTdloft");
    ANSI_STRING ansi = {3, 4, const_cast<PCHAR>("hub")};
    const Case<char16_t> cases[] = {
        {Holds::Both, u"wide|narrow\u00e9|h|w", W(u"%s|%S|%hs|%ws", u"wide", "narrow\xe9", "h", u"w")},
        {Holds::Both, u"\\Device\\KxTdloft 7|hub", W(u"\\Device\\%wZ %lu|%Z", &name, ULONG{7}, &ansi)},
        {Holds::Both, u"  3.1|002a|a  |\u263A|b", W(u"%5.1f|%04x|%-3c|%c|%C", 3.14159, 0x2A, u'a', u'\u263A', 'b')},
        {Holds::Both, u"\u00e9\u263A|y|\u263A", W(u"\u00e9%s|%y|%\u263A", u"\u263A")},
        {Holds::Kernel, u"\u20AC|1e+02", W(u"%S|%.0e", "\x80", 100.0)},
        {Holds::User, u"\u0080|1e+002", W(u"%S|%.0e", "\x80", 100.0)},
    };
    Check(cases);
}

} // namespace
