// Random bytes through the mark-up writer. The first byte picks the road: odd, the rest is a text for the
// parser, which must end in a document whose records point at its tags, or in an error with the text kept;
// even, the rest drives edits (elements, entering, leaving, attributes) whose names and values come from the
// input, and the text they build must parse back to the records the edits kept.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "app/devices/reports/Markup.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

void CheckParsedRecords(const CMarkup& markup) {
    CString doc = markup.GetDocument();
    int length = doc.GetLength();
    for (int i = 1; i < markup.GetPositionCount(); ++i) {
        const CMarkup::ElemPos& pos = markup.GetPosition(i);
        Check(pos.StartTagBegin >= 0 && pos.StartTagBegin < pos.StartTagEnd);
        Check(pos.EndTagBegin < pos.EndTagEnd || pos.EndTagEnd == pos.StartTagEnd);
        Check(pos.EndTagEnd < length);
        Check(doc[pos.StartTagBegin] == '<' && doc[pos.StartTagEnd] == '>' && doc[pos.EndTagEnd] == '>');
        Check(pos.Parent >= 0 && pos.Parent < i);
        Check(pos.FirstChild == 0 || pos.FirstChild > i);
        Check(pos.NextSibling == 0 || pos.NextSibling > i);
    }
}

void CheckSameAsParsed(const CMarkup& built) {
    CMarkup parsed;
    Check(parsed.SetDocument(built.GetDocument()));
    Check(parsed.GetPositionCount() == built.GetPositionCount());
    Check(parsed.GetPosition(0).FirstChild == built.GetPosition(0).FirstChild);
    for (int i = 1; i < built.GetPositionCount(); ++i) {
        const CMarkup::ElemPos& a = parsed.GetPosition(i);
        const CMarkup::ElemPos& b = built.GetPosition(i);
        Check(a.StartTagBegin == b.StartTagBegin && a.StartTagEnd == b.StartTagEnd && a.EndTagBegin == b.EndTagBegin &&
              a.EndTagEnd == b.EndTagEnd && a.Parent == b.Parent && a.FirstChild == b.FirstChild &&
              a.NextSibling == b.NextSibling);
    }
}

class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Empty() const { return m_pos >= m_size; }
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    // A name from a valid-name alphabet, 1 to 4 characters.
    std::string Name() {
        static const char kAlphabet[] = "abcXYZ_.-019";
        std::string name(1, 'n');
        for (int n = Byte() % 4; n > 0; --n)
            name += kAlphabet[Byte() % (sizeof kAlphabet - 1)];
        return name;
    }
    // Up to 15 raw bytes, NUL excepted.
    std::string Value() {
        std::string value;
        for (int n = Byte() % 16; n > 0 && !Empty(); --n) {
            uint8_t b = Byte();
            value += static_cast<char>(b == 0 ? '0' : b);
        }
        return value;
    }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    if (data[0] & 1) {
        std::string text;
        for (size_t i = 1; i < size; ++i)
            if (data[i] != 0)
                text += static_cast<char>(data[i]);
        CMarkup markup;
        if (markup.SetDocument(text.c_str()))
            CheckParsedRecords(markup);
        else
            Check(markup.GetPositionCount() == 1 && markup.GetPosition(0).FirstChild == 0);
        Check(markup.GetDocument() == text.c_str());
        return 0;
    }

    Input input(data + 1, size - 1);
    CMarkup markup;
    markup.SetDocument("<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n");
    while (!input.Empty()) {
        switch (input.Byte() % 6) {
        case 0: markup.AddElement(input.Name().c_str()); break;
        case 1: markup.AddElement(input.Name().c_str(), input.Value().c_str()); break;
        case 2: markup.EnterElement(); break;
        case 3: markup.LeaveElement(); break;
        default: {
            std::string name = input.Name();
            markup.SetAttribute(markup.GetCurrentIndex(), name.c_str(), input.Value().c_str());
            break;
        }
        }
    }
    if (markup.GetPosition(0).FirstChild != 0)
        CheckSameAsParsed(markup);
    return 0;
}
