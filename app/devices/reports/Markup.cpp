#include "Markup.h"

#include <array>
#include <climits>
#include <cstdint>
#include <cstring>

namespace {

// Nesting beyond this is refused while parsing: each level is a frame of the recursive parser, and a text of
// nothing but start tags must end in an error, not in an exhausted stack. The reports nest a few levels.
constexpr int kMaxParseDepth = 1000;

constexpr char kLineEnd[] = "\r\n";
constexpr int kLineEndLength = 2;

// The longest text the document holds, as the string's own limit leaves room for its header.
constexpr long long kMaxDocumentLength = INT_MAX - 64;

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Character classes by byte, looked up once per character on the paths every edit takes.
enum : unsigned char {
    kTokenDelimiter = 1, // ends an unquoted token; as the first character a token of its own
    kNotInTagName = 2,   // a delimiter, a quote or '&'
    kChangedInText = 4,  // escaped (or replaced) in an element's text
    kChangedInAttribute = 8,
};

constexpr std::array<unsigned char, 256> MakeCharacterClasses() {
    std::array<unsigned char, 256> classes{};
    for (int c = 0; c < 0x20; ++c)
        if (c != '\t' && c != '\n' && c != '\r')
            classes[c] = kChangedInText | kChangedInAttribute;
    for (unsigned char c : {' ', '\t', '\n', '\r', '<', '>', '=', '\\', '/', '?', '!'})
        classes[c] |= kTokenDelimiter | kNotInTagName;
    for (unsigned char c : {'"', '\'', '&'})
        classes[c] |= kNotInTagName;
    for (unsigned char c : {'<', '&', '>'})
        classes[c] |= kChangedInText | kChangedInAttribute;
    for (unsigned char c : {'"', '\''})
        classes[c] |= kChangedInAttribute;
    return classes;
}

constexpr std::array<unsigned char, 256> kCharacterClasses = MakeCharacterClasses();

bool HasClass(char c, unsigned char characterClass) {
    return (kCharacterClasses[static_cast<unsigned char>(c)] & characterClass) != 0;
}

bool IsTokenDelimiter(char c) {
    return HasClass(c, kTokenDelimiter);
}

// Whether any of the eight bytes of `word` may be a character no tag name holds: one below '@' or a
// backslash. False positives are possible, misses are not.
bool MayHoldNameBreak(uint64_t word) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    constexpr uint64_t kHighBits = 0x8080808080808080ULL;
    const uint64_t belowAt = (word - kOnes * '@') & ~word & kHighBits;
    const uint64_t backslash = word ^ (kOnes * '\\');
    return (belowAt | ((backslash - kOnes) & ~backslash & kHighBits)) != 0;
}

// Whether `word` has a byte that is zero. Exact: a borrow only spreads upwards from a byte that is zero.
bool HasZeroByte(uint64_t word) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    constexpr uint64_t kHighBits = 0x8080808080808080ULL;
    return ((word - kOnes) & ~word & kHighBits) != 0;
}

// Whether any of the eight bytes of `word` may be a character escaping changes: a C0 control, '&', '<' or
// '>', in attribute mode also the quotes. False positives are possible, misses are not.
bool MayHoldEscape(uint64_t word, bool attributeMode) {
    constexpr uint64_t kOnes = 0x0101010101010101ULL;
    constexpr uint64_t kHighBits = 0x8080808080808080ULL;
    const bool control = ((word - kOnes * 0x20) & ~word & kHighBits) != 0;
    // '<' and '>' differ in one bit, as do '&' and the apostrophe.
    const bool angle = HasZeroByte((word | kOnes * 0x02) ^ (kOnes * '>'));
    if (!attributeMode)
        return control || angle || HasZeroByte(word ^ (kOnes * '&'));
    return control || angle || HasZeroByte((word | kOnes) ^ (kOnes * '\'')) || HasZeroByte(word ^ (kOnes * '"'));
}

// The length of a name the scanner reads back as one token (so the records stay true to the text), 0 for
// anything else. The name ends at its first NUL or after `length` characters (-1: not known). Names are
// mostly letters: eight at a time pass one test.
int TagNameLength(LPCSTR name, int length) {
    if (name == nullptr)
        return 0;
    const size_t known = length >= 0 ? static_cast<size_t>(length) : std::strlen(name);
    if (known > static_cast<size_t>(kMaxDocumentLength))
        return 0;
    size_t i = 0;
    // Checks the characters up to `end` one by one: false at a NUL (i is then the name's length) or at a
    // character no name holds (i is then 0).
    auto check = [&](size_t end) {
        for (; i < end; ++i) {
            if (name[i] == '\0')
                return false;
            if (HasClass(name[i], kNotInTagName)) {
                i = 0;
                return false;
            }
        }
        return true;
    };
    for (; i + 8 <= known;) {
        uint64_t word;
        std::memcpy(&word, name + i, sizeof word);
        if (!MayHoldNameBreak(word))
            i += 8;
        else if (!check(i + 8))
            return static_cast<int>(i);
    }
    return check(known) ? static_cast<int>(known) : static_cast<int>(i);
}

// What a character becomes in the written text: nullptr when it stays as it is. Every character that changes
// lies at or below '>', so most are passed by one comparison.
LPCSTR Replacement(char c, bool attributeMode) {
    switch (c) {
    case '<': return "&lt;";
    case '&': return "&amp;";
    case '>': return "&gt;";
    case '\'': return attributeMode ? "&apos;" : nullptr;
    case '"': return attributeMode ? "&quot;" : nullptr;
    default: return static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n' && c != '\r' ? "?" : nullptr;
    }
}

char* Copy(char* out, LPCSTR text, int length) {
    std::memcpy(out, text, static_cast<size_t>(length));
    return out + length;
}

} // namespace

CMarkup::CMarkup()
    : m_ParentIndex(0), m_CurrentIndex(0), m_ChildIndex(0), m_NextFreeIndex(1), m_OnElement(0), m_FirstWrittenIndex(1),
      m_BareIndex(0), m_Open{}, m_OpenDepth(0) {
    SetDocument(nullptr);
}

CMarkup::~CMarkup() = default;

void CMarkup::ResetPosition() {
    m_BareIndex = 0;
    m_OpenDepth = 0;
    m_ParentIndex = 0;
    m_CurrentIndex = 0;
    m_ChildIndex = 0;
    m_OnElement = 0;
}

bool CMarkup::SetDocument(LPCSTR text) {
    m_NextFreeIndex = 1;
    ResetPosition();
    m_Doc = text != nullptr ? text : "";
    INT_PTR needed = m_Doc.GetLength() / 64 + 8;
    if (m_Positions.GetSize() < needed)
        m_Positions.SetSize(needed);
    if (!m_Doc.IsEmpty()) {
        Pos(0) = ElemPos{};
        int root = ParseElement(0, 0);
        if (root > 0) {
            Pos(0).FirstChild = root;
            m_FirstWrittenIndex = m_NextFreeIndex;
            ResetPosition();
            return true;
        }
    }
    Pos(0) = ElemPos{};
    m_NextFreeIndex = 1;
    m_FirstWrittenIndex = m_NextFreeIndex;
    ResetPosition();
    return false;
}

int CMarkup::AllocatePosition() {
    if (m_NextFreeIndex == m_Positions.GetSize())
        m_Positions.SetSize(m_Positions.GetSize() + m_Positions.GetSize() / 2);
    Pos(m_NextFreeIndex) = ElemPos{};
    return m_NextFreeIndex++;
}

int CMarkup::ReleasePosition() {
    --m_NextFreeIndex;
    return 0;
}

int CMarkup::SetParseError(LPCSTR format, LPCSTR argument) {
    if (argument != nullptr)
        m_LastError.Format(format, argument);
    else
        m_LastError = format;
    ReleasePosition();
    return -1;
}

// --- scanning -----------------------------------------------------------------------------------------------

bool CMarkup::FindCharacter(int& index, char c) const {
    int length = m_Doc.GetLength();
    LPCSTR doc = m_Doc.GetString();
    while (index < length && doc[index] != c)
        ++index;
    return index < length;
}

bool CMarkup::SkipWhitespace(int& index) const {
    int length = m_Doc.GetLength();
    while (index < length && IsBlank(m_Doc.GetString()[index]))
        ++index;
    return index < length;
}

bool CMarkup::NextToken(MarkupToken& token) const {
    int index = token.Next;
    token.Quoted = 0;
    if (!SkipWhitespace(index)) {
        token.Left = token.Right = token.Next = index;
        return false;
    }
    char c = CharAt(index);
    if (c == '"' || c == '\'') {
        token.Quoted = 1;
        token.Left = index + 1;
        int close = index + 1;
        bool closed = FindCharacter(close, c);
        token.Right = close - 1;
        token.Next = closed ? close + 1 : close;
        return true;
    }
    token.Left = index;
    if (IsTokenDelimiter(c)) {
        token.Right = index;
        token.Next = index + 1;
        return true;
    }
    int length = m_Doc.GetLength();
    while (index < length && !IsTokenDelimiter(m_Doc.GetString()[index]))
        ++index;
    token.Right = index - 1;
    token.Next = index;
    return true;
}

CString CMarkup::GetTokenText(const MarkupToken& token) const {
    if (token.Left > token.Right)
        return CString();
    return CString(m_Doc.GetString() + token.Left, token.Right - token.Left + 1);
}

bool CMarkup::MatchToken(const MarkupToken& token, LPCSTR name) const {
    int k = 0;
    for (int index = token.Left; index <= token.Right; ++index, ++k)
        if (name[k] == '\0' || name[k] != CharAt(index))
            return false;
    char after = name[k];
    return after == '\0' || after == ' ' || after == '=' || after == '/' || after == '[';
}

// Skips the node that starts at token.Next; the kind of node, 0 when none can be skipped there. On success
// token.Next is where scanning continues.
int CMarkup::SkipNode(MarkupToken& token) const {
    int index = token.Next;
    if (index >= m_Doc.GetLength())
        return 0;
    LPCSTR doc = m_Doc.GetString();
    if (doc[index] != '<') {
        int text = index;
        if (!SkipWhitespace(text) || doc[text] == '<') {
            token.Next = text;
            return 4; // whitespace
        }
        FindCharacter(text, '<');
        token.Next = text;
        return 2; // text
    }
    auto skipPast = [&](int from, LPCSTR terminator) {
        LPCSTR found = std::strstr(doc + from, terminator);
        if (found == nullptr)
            return false;
        token.Next = static_cast<int>(found - doc) + static_cast<int>(std::strlen(terminator));
        return true;
    };
    char second = CharAt(index + 1);
    if (second == '?')
        return skipPast(index + 2, "?>") ? 16 : 0;
    if (second != '!')
        return second == '/' || second == '\0' ? 0 : 1;
    char third = CharAt(index + 2);
    if (third == '\0')
        return 0;
    if (third == '[')
        return skipPast(index + 3, "]]>") ? 8 : 0;
    if (third == '-')
        return skipPast(index + 3, "-->") ? 32 : 0;
    // A declaration: brackets nest; quoted strings may hold anything.
    int depth = 0;
    token.Next = index + 2;
    while (NextToken(token)) {
        if (token.Quoted)
            continue;
        for (int k = token.Left; k <= token.Right; ++k) {
            if (doc[k] == '[')
                ++depth;
            else if (doc[k] == ']')
                --depth;
        }
        if (doc[token.Left] == '>' && depth == 0)
            return 64;
    }
    return 0;
}

bool CMarkup::FindAttribute(int i, LPCSTR name, MarkupToken& value) const {
    MarkupToken token{};
    token.Next = Pos(i).StartTagBegin + 1;
    if (!NextToken(token)) // the element's name
        return false;
    int sinceMatch = -1; // tokens read since one that matched the name
    while (NextToken(token)) {
        char first = CharAt(token.Left);
        if (!token.Quoted && (first == '>' || first == '/' || first == '?'))
            return false;
        if (sinceMatch >= 0 && ++sinceMatch == 2) {
            if (token.Quoted) {
                value = token;
                return true;
            }
            sinceMatch = -1;
        }
        if (!token.Quoted && first != '=' && MatchToken(token, name))
            sinceMatch = 0;
    }
    return false;
}

bool CMarkup::HasQuote(int i) const {
    // An attribute's value is a quoted token, and the scan for one ends at the start tag's unquoted '>'.
    const ElemPos& pos = Pos(i);
    const int length = pos.StartTagEnd - pos.StartTagBegin + 1;
    if (pos.StartTagBegin < 0 || length <= 0 || pos.StartTagEnd >= m_Doc.GetLength())
        return true;
    const char* tag = m_Doc.GetString() + pos.StartTagBegin;
    return std::memchr(tag, '"', static_cast<size_t>(length)) != nullptr ||
           std::memchr(tag, '\'', static_cast<size_t>(length)) != nullptr;
}

// --- parsing ------------------------------------------------------------------------------------------------

// The element that starts at the parent's EndTagBegin (where scanning resumes): its record, 0 when an end tag
// comes first, -1 on an error.
int CMarkup::ParseElement(int parent, int depth) {
    int i = AllocatePosition();
    if (depth >= kMaxParseDepth)
        return SetParseError("Elements nested too deeply");
    Pos(i).StartTagBegin = Pos(parent).EndTagBegin;
    Pos(i).Parent = parent;

    MarkupToken token{};
    for (;;) {
        int begin = Pos(i).StartTagBegin;
        if (!FindCharacter(begin, '<'))
            return SetParseError("Element tag not found");
        Pos(i).StartTagBegin = begin;
        Pos(parent).EndTagBegin = begin;
        token.Next = begin + 1;
        if (!NextToken(token))
            return SetParseError("Abrupt end within tag");
        if (token.Quoted)
            return SetParseError("Tag starts with quote");
        char first = CharAt(token.Left);
        if (first == '?' || first == '!') {
            // The node is skipped from its '<'; one that does not start right there ("< ?") would be met
            // again and again, so it is as invalid as one without its end.
            token.Next = begin;
            if (SkipNode(token) == 0 || token.Next <= begin)
                return SetParseError("Invalid node");
            Pos(i).StartTagBegin = token.Next;
            continue;
        }
        if (first == '/')
            return ReleasePosition();
        break;
    }

    CString name = GetTokenText(token);
    int tagEnd = token.Next;
    if (!FindCharacter(tagEnd, '>'))
        return SetParseError("End of tag not found");
    Pos(i).StartTagEnd = tagEnd;
    if (CharAt(tagEnd - 1) == '/') {
        Pos(i).EndTagBegin = tagEnd - 1;
        Pos(i).EndTagEnd = tagEnd;
        return i;
    }

    Pos(i).EndTagBegin = tagEnd + 1;
    int previous = 0;
    for (;;) {
        int child = ParseElement(i, depth + 1);
        if (child < 0)
            return -1;
        if (child == 0)
            break;
        if (previous == 0)
            Pos(i).FirstChild = child;
        else
            Pos(previous).NextSibling = child;
        previous = child;
        Pos(i).EndTagBegin = Pos(child).EndTagEnd + 1;
    }

    int endBegin = Pos(i).EndTagBegin;
    if (!FindCharacter(endBegin, '<'))
        return SetParseError("End tag of %s element not found", name);
    Pos(i).EndTagBegin = endBegin;
    token.Next = endBegin + 1;
    int count = 0;
    while (NextToken(token)) {
        if (!token.Quoted && CharAt(token.Left) == '>') {
            if (count < 2)
                break;
            Pos(i).EndTagEnd = token.Left;
            return i;
        }
        ++count;
        if (count == 1 && (token.Quoted || CharAt(token.Left) != '/'))
            return SetParseError("Expecting end tag of element %s", name);
        if (count == 2 && (token.Quoted || !MatchToken(token, name)))
            return SetParseError("End tag does not correspond to %s", name);
    }
    return SetParseError("End tag not completed for element %s", name);
}

// --- editing ------------------------------------------------------------------------------------------------

CString& CMarkup::EscapeText(CString& out, LPCSTR text, bool attributeMode) {
    out.SetString(nullptr, 0); // emptied, its buffer kept for the text
    if (text == nullptr)
        return out;
    // The characters that need nothing are appended a run at a time.
    LPCSTR run = text;
    for (LPCSTR p = text;; ++p) {
        const char c = *p;
        if (c == '\0') {
            out.Append(run, static_cast<int>(p - run));
            return out;
        }
        if (static_cast<unsigned char>(c) > '>')
            continue;
        LPCSTR replacement = Replacement(c, attributeMode);
        if (replacement == nullptr)
            continue;
        out.Append(run, static_cast<int>(p - run));
        out.Append(replacement);
        run = p + 1;
    }
}

CMarkup::EscapedSize CMarkup::MeasureEscaped(LPCSTR text, int length, bool attributeMode) {
    EscapedSize size{};
    if (text == nullptr)
        return size;
    size_t raw = length >= 0 ? static_cast<size_t>(length) : std::strlen(text);
    // Most values are plain: eight characters at a time pass one test, up to the first that may not.
    size_t i = 0;
    for (; i + 8 <= raw; i += 8) {
        uint64_t word;
        std::memcpy(&word, text + i, sizeof word);
        if (MayHoldEscape(word, attributeMode))
            break;
    }
    const unsigned char changed = attributeMode ? kChangedInAttribute : kChangedInText;
    long long escaped = 0;
    for (; i < raw; ++i) {
        const char c = text[i];
        if (!HasClass(c, changed)) // a NUL is a control: it does not pass here
            continue;
        if (c == '\0') {
            raw = i; // the text ends here
            break;
        }
        size.Plain = false;
        escaped += static_cast<long long>(std::strlen(Replacement(c, attributeMode))) - 1;
    }
    if (static_cast<long long>(raw) + escaped > kMaxDocumentLength)
        AfxThrowMemoryException();
    size.Raw = static_cast<int>(raw);
    size.Escaped = static_cast<int>(static_cast<long long>(raw) + escaped);
    return size;
}

char* CMarkup::WriteEscaped(char* out, LPCSTR text, const EscapedSize& size, bool attributeMode) {
    if (size.Plain)
        return Copy(out, text, size.Raw);
    const unsigned char changed = attributeMode ? kChangedInAttribute : kChangedInText;
    for (LPCSTR p = text, end = text + size.Raw; p != end; ++p) {
        if (!HasClass(*p, changed)) {
            *out++ = *p;
            continue;
        }
        for (LPCSTR replacement = Replacement(*p, attributeMode); *replacement != '\0'; ++replacement)
            *out++ = *replacement;
    }
    return out;
}

char* CMarkup::ReplaceText(int left, int count, int length) {
    const int oldLength = m_Doc.GetLength();
    left = left < 0 ? 0 : (left > oldLength ? oldLength : left);
    count = count < 0 ? 0 : (count > oldLength - left ? oldLength - left : count);
    const long long newLength = static_cast<long long>(oldLength) - count + length;
    if (length < 0 || newLength > kMaxDocumentLength)
        AfxThrowMemoryException();
    // In place: only the tail after the edit moves, and the buffer grows geometrically.
    char* doc = m_Doc.GetBuffer(newLength > oldLength ? static_cast<int>(newLength) : oldLength);
    std::memmove(doc + left + length, doc + left + count, static_cast<size_t>(oldLength - left - count));
    m_Doc.ReleaseBufferSetLength(static_cast<int>(newLength));
    return doc + left;
}

// Moves top and everything inside it by delta.
void CMarkup::ShiftTree(int top, int delta) {
    int cur = top;
    for (;;) {
        ElemPos& pos = Pos(cur);
        pos.StartTagBegin += delta;
        pos.StartTagEnd += delta;
        pos.EndTagBegin += delta;
        pos.EndTagEnd += delta;
        if (pos.FirstChild != 0) {
            cur = pos.FirstChild;
            continue;
        }
        while (cur != top && Pos(cur).NextSibling == 0)
            cur = Pos(cur).Parent;
        if (cur == top)
            return;
        cur = Pos(cur).NextSibling;
    }
}

// After text changed inside or right after record n: everything that follows n in the document moves by
// delta, n's ancestors (record 0 included) only by their end tags; n itself is left to the caller.
void CMarkup::ShiftPositions(int n, int delta) {
    if (delta == 0)
        return;
    for (int child = Pos(n).FirstChild; child != 0; child = Pos(child).NextSibling)
        ShiftTree(child, delta);
    if (Pos(n).Parent != m_ParentIndex || m_OpenDepth < 0) {
        for (int level = n; level != 0;) {
            for (int sibling = Pos(level).NextSibling; sibling != 0; sibling = Pos(sibling).NextSibling)
                ShiftTree(sibling, delta);
            level = Pos(level).Parent;
            Pos(level).EndTagBegin += delta;
            Pos(level).EndTagEnd += delta;
        }
        return;
    }
    // n's ancestors are the open elements, known without climbing from record to record.
    for (int sibling = Pos(n).NextSibling; sibling != 0; sibling = Pos(sibling).NextSibling)
        ShiftTree(sibling, delta);
    for (int k = m_OpenDepth - 1; k >= 0; --k) {
        ElemPos& open = Pos(m_Open[k]);
        open.EndTagBegin += delta;
        open.EndTagEnd += delta;
        for (int sibling = open.NextSibling; sibling != 0; sibling = Pos(sibling).NextSibling)
            ShiftTree(sibling, delta);
    }
    Pos(0).EndTagBegin += delta;
    Pos(0).EndTagEnd += delta;
}

CMarkup::InsertPoint CMarkup::LocateInsertPoint(int parent, int current) const {
    InsertPoint point{};
    bool emptyParent = parent != 0 && IsEmptyElement(parent);
    if (current != 0)
        point.Offset = Pos(current).EndTagEnd + 1;
    else if (parent == 0)
        point.Offset = m_Doc.GetLength();
    else if (emptyParent)
        point.Offset = Pos(parent).StartTagEnd;
    else
        point.Offset = Pos(parent).EndTagBegin;

    if (!emptyParent) {
        // A new element starts after the line break of the one before it.
        int index = point.Offset;
        if (!SkipWhitespace(index) || CharAt(index) == '<')
            point.Offset = index;
    }

    if (current != 0) {
        point.LinkAfter = current;
    } else {
        for (int child = Pos(parent).FirstChild; child != 0; child = Pos(child).NextSibling)
            point.LinkAfter = child;
    }
    return point;
}

bool CMarkup::AddElement(LPCSTR name, LPCSTR value) {
    return AddElement(name, -1, value, -1);
}

bool CMarkup::AddElement(LPCSTR name, int nameLength, LPCSTR value, int valueLength) {
    nameLength = TagNameLength(name, nameLength);
    if (nameLength == 0)
        return false;
    int parent = m_ParentIndex;
    if (parent == 0) {
        if (HasRootElement())
            return false;
        Pos(0).EndTagBegin = m_Doc.GetLength();
    }
    InsertPoint point = LocateInsertPoint(parent, m_CurrentIndex);
    bool emptyParent = parent != 0 && IsEmptyElement(parent);
    int begin = emptyParent ? point.Offset + 2 : point.Offset;

    int n = AllocatePosition();
    Pos(n).Parent = parent;
    if (point.LinkAfter != 0) {
        Pos(n).NextSibling = Pos(point.LinkAfter).NextSibling;
        Pos(point.LinkAfter).NextSibling = n;
    } else {
        Pos(n).NextSibling = Pos(parent).FirstChild;
        Pos(parent).FirstChild = n;
    }

    // "<name/>" or "<name>escaped</name>", then the line end.
    const bool hasValue = value != nullptr && valueLength != 0 && *value != '\0';
    const EscapedSize escaped = hasValue ? MeasureEscaped(value, valueLength, false) : EscapedSize{};
    const int escapedLength = escaped.Escaped;
    const int elementLength =
        (hasValue ? 1 + nameLength + 1 + escapedLength + 2 + nameLength + 1 : 1 + nameLength + 2) + kLineEndLength;
    Pos(n).StartTagBegin = begin;
    if (!hasValue) {
        Pos(n).StartTagEnd = begin + nameLength + 2;
        Pos(n).EndTagBegin = Pos(n).StartTagEnd - 1;
        Pos(n).EndTagEnd = Pos(n).StartTagEnd;
    } else {
        Pos(n).StartTagEnd = begin + nameLength + 1;
        Pos(n).EndTagBegin = Pos(n).StartTagEnd + escapedLength + 1;
        Pos(n).EndTagEnd = Pos(n).EndTagBegin + nameLength + 2;
    }
    auto writeElement = [&](char* out) {
        *out++ = '<';
        out = Copy(out, name, nameLength);
        if (!hasValue)
            return Copy(out, "/>", 2);
        *out++ = '>';
        out = WriteEscaped(out, value, escaped, false);
        out = Copy(out, "</", 2);
        out = Copy(out, name, nameLength);
        *out++ = '>';
        return out;
    };

    if (emptyParent) {
        // The parent's "/>" opens up: its '/' becomes ">" CR LF, the child, and the parent's end tag up to '>'.
        MarkupToken parentName{};
        parentName.Next = Pos(parent).StartTagBegin + 1;
        const int parentNameLength =
            NextToken(parentName) && parentName.Left <= parentName.Right ? parentName.Right - parentName.Left + 1 : 0;
        Pos(parent).StartTagEnd -= 1;
        Pos(parent).EndTagBegin -= parentNameLength + 1;
        const int length = 1 + kLineEndLength + elementLength + 2 + parentNameLength;
        char* out = ReplaceText(Pos(parent).StartTagEnd, 1, length);
        *out++ = '>';
        out = Copy(out, kLineEnd, kLineEndLength);
        out = writeElement(out);
        out = Copy(out, kLineEnd, kLineEndLength);
        out = Copy(out, "</", 2);
        // The parent's name lies before the edit: the move left it where it was.
        Copy(out, m_Doc.GetString() + parentName.Left, parentNameLength);
        ShiftPositions(n, length - 1);
    } else {
        char* out = writeElement(ReplaceText(begin, 0, elementLength));
        Copy(out, kLineEnd, kLineEndLength);
        ShiftPositions(n, elementLength);
    }

    m_CurrentIndex = n;
    m_ChildIndex = 0;
    m_OnElement = 1;
    m_BareIndex = n;
    return true;
}

bool CMarkup::EnterElement() {
    if (m_CurrentIndex == 0 || m_OnElement != 1)
        return false;
    if (m_OpenDepth >= 0 && m_OpenDepth < kOpenCapacity)
        m_Open[m_OpenDepth++] = m_CurrentIndex;
    else
        m_OpenDepth = -1;
    m_ParentIndex = m_CurrentIndex;
    m_CurrentIndex = m_ChildIndex;
    m_ChildIndex = 0;
    m_OnElement = m_CurrentIndex != 0 ? 1 : 0;
    return true;
}

bool CMarkup::LeaveElement() {
    if (m_ParentIndex == 0)
        return false;
    m_ChildIndex = m_CurrentIndex;
    m_CurrentIndex = m_ParentIndex;
    m_ParentIndex = Pos(m_ParentIndex).Parent;
    m_OnElement = 1;
    if (m_OpenDepth > 0)
        --m_OpenDepth;
    else
        FindOpenElements();
    return true;
}

void CMarkup::FindOpenElements() {
    int depth = 0;
    for (int level = m_ParentIndex; level != 0; level = Pos(level).Parent)
        if (++depth > kOpenCapacity) {
            m_OpenDepth = -1;
            return;
        }
    m_OpenDepth = depth;
    for (int level = m_ParentIndex; level != 0; level = Pos(level).Parent)
        m_Open[--depth] = level;
}

bool CMarkup::FindBuiltAttribute(int i, LPCSTR name, int nameLength, MarkupToken& value) const {
    // A start tag this document wrote is "<" name, then (blank, name, '=', '"', value, '"') per attribute, then
    // ">" or "/>": its first blank starts the attributes. No name holds a blank or '=', no written value a
    // double quote.
    LPCSTR doc = m_Doc.GetString();
    LPCSTR end = doc + Pos(i).StartTagEnd;
    LPCSTR tag = doc + Pos(i).StartTagBegin;
    LPCSTR blank = end > tag ? static_cast<LPCSTR>(std::memchr(tag, ' ', static_cast<size_t>(end - tag))) : nullptr;
    while (blank != nullptr && blank < end && *blank == ' ') {
        LPCSTR attribute = blank + 1;
        const bool match = end - attribute > nameLength &&
                           std::memcmp(attribute, name, static_cast<size_t>(nameLength)) == 0 &&
                           attribute[nameLength] == '=';
        LPCSTR equals = match ? attribute + nameLength
                              : static_cast<LPCSTR>(std::memchr(attribute, '=', static_cast<size_t>(end - attribute)));
        if (equals == nullptr || equals + 2 > end)
            return false;
        LPCSTR left = equals + 2;
        LPCSTR close = static_cast<LPCSTR>(std::memchr(left, '"', static_cast<size_t>(end - left)));
        if (close == nullptr)
            return false;
        if (match) {
            value.Left = static_cast<int>(left - doc);
            value.Right = static_cast<int>(close - doc) - 1;
            value.Quoted = 1;
            return true;
        }
        blank = close + 1;
    }
    return false;
}

bool CMarkup::SetAttribute(int i, LPCSTR name, LPCSTR value) {
    return SetAttribute(i, name, -1, value, -1);
}

bool CMarkup::SetAttribute(int i, LPCSTR name, int nameLength, LPCSTR value, int valueLength) {
    if (i <= 0 || i >= m_NextFreeIndex || m_OnElement != 1)
        return false;
    nameLength = TagNameLength(name, nameLength);
    if (nameLength == 0)
        return false;
    const EscapedSize escaped = MeasureEscaped(value, valueLength, true);
    const int escapedLength = escaped.Escaped;

    // The token scan matches a name that ends in '[' by its part before it; the written form's own scan
    // compares whole names, so such a name takes the scan.
    MarkupToken found{};
    const bool written = i >= m_FirstWrittenIndex && std::memchr(name, '[', nameLength) == nullptr;
    bool replace = false;
    if (i != m_BareIndex && written) {
        replace = FindBuiltAttribute(i, name, nameLength, found);
    } else if (i != m_BareIndex && HasQuote(i)) {
        const CString scanned(name, nameLength); // the scan reads the name up to its NUL
        replace = FindAttribute(i, scanned, found);
    }
    int delta;
    if (replace) {
        const int replaced = found.Right - found.Left + 1;
        WriteEscaped(ReplaceText(found.Left, replaced, escapedLength), value, escaped, true);
        delta = escapedLength - replaced;
    } else {
        // blank, name, '=', '"', value, '"'
        const int length = 1 + nameLength + 2 + escapedLength + 1;
        const int insertAt = IsEmptyElement(i) ? Pos(i).StartTagEnd - 1 : Pos(i).StartTagEnd;
        char* out = ReplaceText(insertAt, 0, length);
        *out++ = ' ';
        out = Copy(out, name, nameLength);
        out = Copy(out, "=\"", 2);
        out = WriteEscaped(out, value, escaped, true);
        *out = '"';
        delta = length;
    }
    if (i == m_BareIndex)
        m_BareIndex = 0;
    Pos(i).StartTagEnd += delta;
    Pos(i).EndTagBegin += delta;
    Pos(i).EndTagEnd += delta;
    ShiftPositions(i, delta);
    return true;
}
