#include "NtText.h"

#include <array>

namespace nt::text {
namespace {

// Windows-1252 bytes 0x80-0x9F; the rest of the code page is Latin-1.
constexpr std::array<char16_t, 32> kHighControls = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr char16_t kReplacement = 0xFFFD;

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Pairs where the upper-case letter is the even code point and the lower-case one follows it.
bool InEvenPairRange(char16_t c) {
    return (c >= 0x0100 && c <= 0x0137) || (c >= 0x014A && c <= 0x0177) || (c >= 0x0460 && c <= 0x0481) ||
           (c >= 0x048A && c <= 0x04BF) || (c >= 0x04D0 && c <= 0x04FF);
}
// Pairs where the upper-case letter is the odd code point.
bool InOddPairRange(char16_t c) {
    return (c >= 0x0139 && c <= 0x0148) || (c >= 0x0179 && c <= 0x017E) || (c >= 0x04C1 && c <= 0x04CE);
}

} // namespace

std::u16string Utf8ToUtf16(std::string_view text, bool* malformed) {
    bool bad = false;
    std::u16string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        auto b = static_cast<unsigned char>(text[i]);
        char32_t cp;
        size_t extra;
        if (b < 0x80) {
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            cp = b & 0x1F;
            extra = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            cp = b & 0x0F;
            extra = 2;
        } else if (b >= 0xF0 && b <= 0xF4) {
            cp = b & 0x07;
            extra = 3;
        } else {
            out += kReplacement;
            bad = true;
            ++i;
            continue;
        }
        size_t j = 1;
        for (; j <= extra && i + j < text.size(); ++j) {
            auto c = static_cast<unsigned char>(text[i + j]);
            if ((c & 0xC0) != 0x80) {
                break;
            }
            cp = (cp << 6) | (c & 0x3F);
        }
        bool overlong = (extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000);
        if (j <= extra || overlong || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out += kReplacement;
            bad = true;
            i += j;
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out += static_cast<char16_t>(0xD800 | (cp >> 10));
            out += static_cast<char16_t>(0xDC00 | (cp & 0x3FF));
        } else {
            out += static_cast<char16_t>(cp);
        }
        i += j;
    }
    if (malformed != nullptr) {
        *malformed = bad;
    }
    return out;
}

std::string Utf16ToUtf8(std::u16string_view text, bool* malformed) {
    bool bad = false;
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            char32_t cp = 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            AppendUtf8(out, cp);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            AppendUtf8(out, kReplacement);
            bad = true;
        } else {
            AppendUtf8(out, c);
        }
    }
    if (malformed != nullptr) {
        *malformed = bad;
    }
    return out;
}

char16_t AnsiToUtf16(unsigned char c) {
    return c >= 0x80 && c <= 0x9F ? kHighControls[c - 0x80] : c;
}

char Utf16ToAnsi(char16_t c, bool* mapped) {
    if (mapped != nullptr) {
        *mapped = true;
    }
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
        return static_cast<char>(c);
    }
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == c) {
            return static_cast<char>(0x80 + i);
        }
    }
    if (mapped != nullptr) {
        *mapped = false;
    }
    return '?';
}

std::u16string AnsiToUtf16(std::string_view text) {
    std::u16string out(text.size(), u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        out[i] = AnsiToUtf16(static_cast<unsigned char>(text[i]));
    }
    return out;
}

std::string Utf16ToAnsi(std::u16string_view text) {
    std::string out(text.size(), '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        out[i] = Utf16ToAnsi(text[i]);
    }
    return out;
}

char16_t Upcase(char16_t c) {
    if (c < 0x80) {
        return c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 0x20) : c;
    }
    if (c == 0x00B5) {
        return 0x039C;
    }
    if (c >= 0x00E0 && c <= 0x00FE && c != 0x00F7) {
        return static_cast<char16_t>(c - 0x20);
    }
    if (c == 0x00FF) {
        return 0x0178;
    }
    if (InEvenPairRange(c)) {
        return static_cast<char16_t>(c & ~1u);
    }
    if (InOddPairRange(c)) {
        return (c & 1) ? c : static_cast<char16_t>(c - 1);
    }
    if ((c >= 0x03B1 && c <= 0x03C1) || (c >= 0x03C3 && c <= 0x03CB) || (c >= 0x0430 && c <= 0x044F) ||
        (c >= 0xFF41 && c <= 0xFF5A)) {
        return static_cast<char16_t>(c - 0x20);
    }
    switch (c) {
    case 0x03C2: return 0x03A3;
    case 0x03AC: return 0x0386;
    case 0x03AD: return 0x0388;
    case 0x03AE: return 0x0389;
    case 0x03AF: return 0x038A;
    case 0x03CC: return 0x038C;
    case 0x03CD: return 0x038E;
    case 0x03CE: return 0x038F;
    default: break;
    }
    if (c >= 0x0450 && c <= 0x045F) {
        return static_cast<char16_t>(c - 0x50);
    }
    return c;
}

char16_t Downcase(char16_t c) {
    if (c < 0x80) {
        return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 0x20) : c;
    }
    if (c >= 0x00C0 && c <= 0x00DE && c != 0x00D7) {
        return static_cast<char16_t>(c + 0x20);
    }
    if (c == 0x0178) {
        return 0x00FF;
    }
    if (InEvenPairRange(c)) {
        return static_cast<char16_t>(c | 1u);
    }
    if (InOddPairRange(c)) {
        return (c & 1) ? static_cast<char16_t>(c + 1) : c;
    }
    if ((c >= 0x0391 && c <= 0x03A1) || (c >= 0x03A3 && c <= 0x03AB) || (c >= 0x0410 && c <= 0x042F) ||
        (c >= 0xFF21 && c <= 0xFF3A)) {
        return static_cast<char16_t>(c + 0x20);
    }
    switch (c) {
    case 0x0386: return 0x03AC;
    case 0x0388: return 0x03AD;
    case 0x0389: return 0x03AE;
    case 0x038A: return 0x03AF;
    case 0x038C: return 0x03CC;
    case 0x038E: return 0x03CD;
    case 0x038F: return 0x03CE;
    default: break;
    }
    if (c >= 0x0400 && c <= 0x040F) {
        return static_cast<char16_t>(c + 0x50);
    }
    return c;
}

std::u16string Upcase(std::u16string_view text) {
    std::u16string out(text);
    for (char16_t& c : out) {
        c = Upcase(c);
    }
    return out;
}

int CompareIgnoreCase(std::u16string_view a, std::u16string_view b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        char16_t ca = Upcase(a[i]);
        char16_t cb = Upcase(b[i]);
        if (ca != cb) {
            return static_cast<int>(ca) - static_cast<int>(cb);
        }
    }
    return static_cast<int>(a.size()) - static_cast<int>(b.size());
}

bool EqualsIgnoreCase(std::u16string_view a, std::u16string_view b) {
    return a.size() == b.size() && CompareIgnoreCase(a, b) == 0;
}

bool StartsWithIgnoreCase(std::u16string_view text, std::u16string_view prefix) {
    return text.size() >= prefix.size() && CompareIgnoreCase(text.substr(0, prefix.size()), prefix) == 0;
}

bool SplitPath(std::u16string_view path, std::vector<std::u16string_view>& parts) {
    parts.clear();
    if (path.empty()) {
        return true;
    }
    size_t start = 0;
    for (;;) {
        size_t end = path.find(u'\\', start);
        std::u16string_view part = path.substr(start, end == std::u16string_view::npos ? end : end - start);
        if (part.empty()) {
            return false;
        }
        parts.push_back(part);
        if (end == std::u16string_view::npos) {
            return true;
        }
        start = end + 1;
    }
}

std::u16string_view View(const WCHAR* text) {
    return text == nullptr ? std::u16string_view() : std::u16string_view(text);
}

std::u16string_view View(const UNICODE_STRING* text) {
    if (text == nullptr || text->Buffer == nullptr) {
        return {};
    }
    return std::u16string_view(text->Buffer, text->Length / sizeof(WCHAR));
}

std::string_view View(const ANSI_STRING* text) {
    if (text == nullptr || text->Buffer == nullptr) {
        return {};
    }
    return std::string_view(text->Buffer, text->Length);
}

} // namespace nt::text
