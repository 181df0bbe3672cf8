// The registry store's file format: readable, line-based, UTF-8 (described in NtRegistryStore.h).
#include <charconv>
#include <cstring>

#include "NtRegistryInternal.h"
#include "NtText.h"

namespace nt::registry {
namespace {

bool IsHighSurrogate(char16_t c) {
    return c >= 0xD800 && c <= 0xDBFF;
}
bool IsLowSurrogate(char16_t c) {
    return c >= 0xDC00 && c <= 0xDFFF;
}

void AppendHex(std::string& out, unsigned value, int digits) {
    static const char* kHex = "0123456789abcdef";
    for (int i = digits - 1; i >= 0; --i) {
        out += kHex[(value >> (4 * i)) & 0xF];
    }
}

// Appends text as UTF-8, escaping with `escape` every code unit `needsEscape` selects and every unpaired
// surrogate.
template <class NeedsEscape, class Escape>
void AppendText(std::string& out, std::u16string_view text, NeedsEscape needsEscape, Escape escape) {
    for (size_t i = 0; i < text.size(); ++i) {
        char16_t c = text[i];
        if (IsHighSurrogate(c) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            out += nt::text::Utf16ToUtf8(text.substr(i, 2));
            ++i;
        } else if (IsHighSurrogate(c) || IsLowSurrogate(c) || needsEscape(c)) {
            escape(out, c);
        } else {
            out += nt::text::Utf16ToUtf8(text.substr(i, 1));
        }
    }
}

void AppendQuoted(std::string& out, std::u16string_view text) {
    out += '"';
    AppendText(
        out, text, [](char16_t c) { return c < 0x20 || c == 0x7F || c == u'"' || c == u'\\'; },
        [](std::string& o, char16_t c) {
            switch (c) {
            case u'"': o += "\\\""; break;
            case u'\\': o += "\\\\"; break;
            case u'\n': o += "\\n"; break;
            case u'\r': o += "\\r"; break;
            case u'\t': o += "\\t"; break;
            default:
                o += "\\u";
                AppendHex(o, c, 4);
                break;
            }
        });
    out += '"';
}

void AppendPath(std::string& out, std::u16string_view path) {
    AppendText(
        out, path, [](char16_t c) { return c < 0x20 || c == 0x7F || c == u'%' || c == u']'; },
        [](std::string& o, char16_t c) {
            o += '%';
            AppendHex(o, c, 4);
        });
}

std::u16string Chars(const std::vector<UCHAR>& data) {
    std::u16string chars(data.size() / 2, u'\0');
    if (!chars.empty()) {
        std::memcpy(chars.data(), data.data(), chars.size() * 2);
    }
    return chars;
}

// A REG_SZ-like value the readable form can carry: whole characters, one NUL at the end, none before it.
bool IsPlainString(const std::vector<UCHAR>& data) {
    if (data.size() < 2 || data.size() % 2 != 0) {
        return false;
    }
    std::u16string chars = Chars(data);
    return chars.back() == 0 && chars.find(u'\0') == chars.size() - 1;
}

// A REG_MULTI_SZ the readable form can carry: non-empty strings, each with its NUL, then one more NUL.
bool IsPlainMultiString(const std::vector<UCHAR>& data) {
    if (data.size() < 2 || data.size() % 2 != 0) {
        return false;
    }
    std::u16string chars = Chars(data);
    if (chars.back() != 0) {
        return false;
    }
    if (chars.size() == 1) {
        return true;
    }
    return chars.size() >= 3 && chars[chars.size() - 2] == 0 && chars[0] != 0 &&
           chars.substr(0, chars.size() - 1).find(u"\0\0", 0, 2) == std::u16string::npos;
}

void AppendBytes(std::string& out, const std::vector<UCHAR>& data) {
    for (size_t i = 0; i < data.size(); ++i) {
        if (i != 0) {
            out += ' ';
        }
        AppendHex(out, data[i], 2);
    }
}

uint64_t LittleEndian(const std::vector<UCHAR>& data) {
    uint64_t v = 0;
    for (size_t i = data.size(); i-- > 0;) {
        v = (v << 8) | data[i];
    }
    return v;
}

void AppendValue(std::string& out, const Value& value) {
    if (value.name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, value.name);
    }
    out += '=';
    const auto& d = value.data;
    switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        if (IsPlainString(d)) {
            out += value.type == REG_SZ ? "sz:" : "expand_sz:";
            std::u16string chars = Chars(d);
            AppendQuoted(out, std::u16string_view(chars).substr(0, chars.size() - 1));
            return;
        }
        break;
    case REG_MULTI_SZ:
        if (IsPlainMultiString(d)) {
            out += "multi_sz:";
            std::u16string chars = Chars(d);
            size_t start = 0;
            bool first = true;
            while (start + 1 < chars.size()) {
                size_t end = chars.find(u'\0', start);
                if (!first) {
                    out += ',';
                }
                first = false;
                AppendQuoted(out, std::u16string_view(chars).substr(start, end - start));
                start = end + 1;
            }
            return;
        }
        break;
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
        if (d.size() == 4) {
            out += value.type == REG_DWORD ? "dword:" : "dword_be:";
            uint32_t v = static_cast<uint32_t>(LittleEndian(d));
            if (value.type == REG_DWORD_BIG_ENDIAN) {
                v = __builtin_bswap32(v);
            }
            AppendHex(out, v, 8);
            return;
        }
        break;
    case REG_QWORD:
        if (d.size() == 8) {
            out += "qword:";
            uint64_t v = LittleEndian(d);
            AppendHex(out, static_cast<unsigned>(v >> 32), 8);
            AppendHex(out, static_cast<unsigned>(v), 8);
            return;
        }
        break;
    case REG_BINARY:
        out += "binary:";
        AppendBytes(out, d);
        return;
    default: break;
    }
    out += "hex(" + std::to_string(value.type) + "):";
    AppendBytes(out, d);
}

void AppendKey(std::string& out, const Key& key, const std::u16string& path) {
    if (key.isVolatile) {
        return;
    }
    out += '[';
    AppendPath(out, path);
    out += ']';
    if (!key.className.empty()) {
        out += " class=";
        AppendQuoted(out, key.className);
    }
    out += '\n';
    for (const Value& v : key.values) {
        AppendValue(out, v);
        out += '\n';
    }
    for (const auto& [upper, child] : key.children) {
        AppendKey(out, *child, path + u"\\" + child->name);
    }
}

// --- Reading ---

class LineReader {
public:
    explicit LineReader(std::string_view line) : m_line(line) {}

    bool AtEnd() const { return m_pos >= m_line.size(); }
    char Peek() const { return AtEnd() ? '\0' : m_line[m_pos]; }
    bool Take(char c) {
        if (Peek() != c) {
            return false;
        }
        ++m_pos;
        return true;
    }
    bool TakeWord(std::string_view word) {
        if (m_line.substr(m_pos, word.size()) != word) {
            return false;
        }
        m_pos += word.size();
        return true;
    }
    std::string_view Rest() const { return m_line.substr(m_pos); }

    // A quoted string with the escapes AppendQuoted writes.
    bool Quoted(std::u16string& text) {
        text.clear();
        if (!Take('"')) {
            return false;
        }
        std::string run; // UTF-8 bytes not yet converted
        auto flush = [&] {
            text += nt::text::Utf8ToUtf16(run);
            run.clear();
        };
        while (!AtEnd()) {
            char c = m_line[m_pos++];
            if (c == '"') {
                flush();
                return true;
            }
            if (c != '\\') {
                run += c;
                continue;
            }
            if (AtEnd()) {
                return false;
            }
            char e = m_line[m_pos++];
            switch (e) {
            case '"': run += '"'; break;
            case '\\': run += '\\'; break;
            case 'n': run += '\n'; break;
            case 'r': run += '\r'; break;
            case 't': run += '\t'; break;
            case 'u': {
                unsigned v = 0;
                if (!Hex(4, v)) {
                    return false;
                }
                flush();
                text += static_cast<char16_t>(v);
                break;
            }
            default: return false;
            }
        }
        return false;
    }

    bool Hex(int digits, unsigned& value) {
        if (m_pos + static_cast<size_t>(digits) > m_line.size()) {
            return false;
        }
        auto first = m_line.data() + m_pos;
        auto [end, ec] = std::from_chars(first, first + digits, value, 16);
        if (ec != std::errc() || end != first + digits) {
            return false;
        }
        m_pos += static_cast<size_t>(digits);
        return true;
    }

    bool Hex64(uint64_t& value) {
        unsigned high = 0, low = 0;
        if (!Hex(8, high) || !Hex(8, low)) {
            return false;
        }
        value = (static_cast<uint64_t>(high) << 32) | low;
        return true;
    }

    bool Bytes(std::vector<UCHAR>& data) {
        data.clear();
        while (!AtEnd()) {
            unsigned b = 0;
            if (!Hex(2, b)) {
                return false;
            }
            data.push_back(static_cast<UCHAR>(b));
            if (!AtEnd() && !Take(' ')) {
                return false;
            }
        }
        return true;
    }

private:
    std::string_view m_line;
    size_t m_pos = 0;
};

void PutChars(std::vector<UCHAR>& data, std::u16string_view chars) {
    if (chars.empty()) {
        return;
    }
    size_t at = data.size();
    data.resize(at + chars.size() * 2);
    std::memcpy(data.data() + at, chars.data(), chars.size() * 2);
}

void PutLittleEndian(std::vector<UCHAR>& data, uint64_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        data.push_back(static_cast<UCHAR>(v >> (8 * i)));
    }
}

bool ParseQuotedData(LineReader& r, std::vector<UCHAR>& data) {
    std::u16string text;
    if (!r.Quoted(text) || !r.AtEnd()) {
        return false;
    }
    PutChars(data, text);
    PutChars(data, std::u16string_view(u"\0", 1));
    return true;
}

// name=type:data
bool ParseValue(LineReader& r, Value& value) {
    value = Value{};
    if (!r.Take('@') && !r.Quoted(value.name)) {
        return false;
    }
    if (!r.Take('=')) {
        return false;
    }
    auto& d = value.data;
    if (r.TakeWord("sz:")) {
        value.type = REG_SZ;
        return ParseQuotedData(r, d);
    }
    if (r.TakeWord("expand_sz:")) {
        value.type = REG_EXPAND_SZ;
        return ParseQuotedData(r, d);
    }
    if (r.TakeWord("multi_sz:")) {
        value.type = REG_MULTI_SZ;
        std::u16string text;
        while (!r.AtEnd()) {
            if (!r.Quoted(text) || text.empty()) {
                return false;
            }
            PutChars(d, text);
            PutChars(d, std::u16string_view(u"\0", 1));
            if (!r.AtEnd() && !r.Take(',')) {
                return false;
            }
        }
        PutChars(d, std::u16string_view(u"\0", 1));
        return true;
    }
    unsigned v = 0;
    if (r.TakeWord("dword:")) {
        value.type = REG_DWORD;
        if (!r.Hex(8, v) || !r.AtEnd()) {
            return false;
        }
        PutLittleEndian(d, v, 4);
        return true;
    }
    if (r.TakeWord("dword_be:")) {
        value.type = REG_DWORD_BIG_ENDIAN;
        if (!r.Hex(8, v) || !r.AtEnd()) {
            return false;
        }
        PutLittleEndian(d, __builtin_bswap32(v), 4);
        return true;
    }
    if (r.TakeWord("qword:")) {
        value.type = REG_QWORD;
        uint64_t q = 0;
        if (!r.Hex64(q) || !r.AtEnd()) {
            return false;
        }
        PutLittleEndian(d, q, 8);
        return true;
    }
    if (r.TakeWord("binary:")) {
        value.type = REG_BINARY;
        return r.Bytes(d);
    }
    if (r.TakeWord("hex(")) {
        std::string_view rest = r.Rest();
        size_t close = rest.find("):");
        if (close == std::string_view::npos || close == 0) {
            return false;
        }
        ULONG type = 0;
        auto [end, ec] = std::from_chars(rest.data(), rest.data() + close, type, 10);
        if (ec != std::errc() || end != rest.data() + close) {
            return false;
        }
        value.type = type;
        r.TakeWord(rest.substr(0, close + 2));
        return r.Bytes(d);
    }
    return false;
}

// [path] with an optional class="..."
bool ParseKeyLine(LineReader& r, Key& root, KeyRef& current) {
    r.Take('[');
    std::string_view rest = r.Rest();
    size_t close = rest.find(']');
    if (close == std::string_view::npos) {
        return false;
    }
    // Unescape %XXXX, then split on '\'.
    std::u16string path;
    std::string run;
    for (size_t i = 0; i < close; ++i) {
        if (rest[i] != '%') {
            run += rest[i];
            continue;
        }
        unsigned v = 0;
        if (i + 5 > close) {
            return false;
        }
        auto [end, ec] = std::from_chars(rest.data() + i + 1, rest.data() + i + 5, v, 16);
        if (ec != std::errc() || end != rest.data() + i + 5) {
            return false;
        }
        path += nt::text::Utf8ToUtf16(run);
        run.clear();
        path += static_cast<char16_t>(v);
        i += 4;
    }
    path += nt::text::Utf8ToUtf16(run);
    r.TakeWord(rest.substr(0, close + 1));
    std::u16string className;
    if (!r.AtEnd()) {
        if (!r.TakeWord(" class=") || !r.Quoted(className) || !r.AtEnd()) {
            return false;
        }
    }
    std::u16string_view view(path);
    std::u16string rootPrefix = u"\\" + root.name;
    if (!nt::text::StartsWithIgnoreCase(view, rootPrefix)) {
        return false;
    }
    view.remove_prefix(rootPrefix.size());
    Key* key = &root;
    KeyRef ref;
    while (!view.empty()) {
        if (view[0] != u'\\') {
            return false;
        }
        view.remove_prefix(1);
        size_t next = view.find(u'\\');
        std::u16string_view name = view.substr(0, next);
        if (name.empty()) {
            return false;
        }
        ref = ChildFor(*key, name, true);
        key = ref.get();
        view.remove_prefix(name.size());
    }
    key->className = className;
    current = ref; // null for the root itself
    return true;
}

} // namespace

std::string TreeToText(const Key& root) {
    std::string out = "; Tindaloft machine registry\n";
    AppendKey(out, root, u"\\" + root.name);
    return out;
}

bool TextToTree(std::string_view text, Key& root, std::string& error) {
    Key* current = nullptr;
    KeyRef currentRef;
    size_t lineNumber = 0;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end == std::string_view::npos ? end : end - start);
        start = end == std::string_view::npos ? text.size() : end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            continue;
        }
        LineReader r(line);
        bool ok;
        if (line[0] == '[') {
            ok = ParseKeyLine(r, root, currentRef);
            current = currentRef != nullptr ? currentRef.get() : &root;
        } else {
            Value value;
            ok = current != nullptr && ParseValue(r, value);
            if (ok) {
                auto same = [&](const Value& v) { return nt::text::EqualsIgnoreCase(v.name, value.name); };
                std::erase_if(current->values, same);
                current->values.push_back(std::move(value));
            }
        }
        if (!ok) {
            error = "line " + std::to_string(lineNumber) + ": cannot read \"" + std::string(line) + "\"";
            return false;
        }
    }
    return true;
}

} // namespace nt::registry
