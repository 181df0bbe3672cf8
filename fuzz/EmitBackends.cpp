// Random sequences of the 35 emit operations, with random values (mark-up characters, bytes 0x80 to 0xFF,
// control bytes, null texts) and names from a valid name alphabet, played into the three back-ends at once:
// a grid with the pane's kind of categories, an HTML report on a temporary file and an XML document. The
// grid's current item and stack must only ever hold items of that grid, and the XML text must parse again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <unistd.h>

#include "app/decoders/framework/HtmlOutputImp.h"
#include "app/decoders/framework/XmlOutputImp.h"
#include "app/devices/reports/HtmlOutput.h"
#include "app/devices/reports/XmlOutput.h"
#include "tests/support/TestGridPane.h"

namespace {

void Check(bool condition) {
    if (!condition)
        std::abort();
}

class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Empty() const { return m_pos >= m_size; }
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }

    // An element name: mostly valid, 1 to 4 characters, now and then one of the categories' captions.
    std::string Name() {
        static const char kAlphabet[] = "abcXYZ_.-019";
        uint8_t pick = Byte();
        if (pick % 8 == 0)
            return Caption();
        std::string name(1, 'n');
        for (int n = pick % 4; n > 0; --n)
            name += kAlphabet[Byte() % (sizeof kAlphabet - 1)];
        return name;
    }
    // A caption the grid knows, or a random text.
    std::string Caption() {
        static const char* const kCaptions[] = {"Log Entry", "Target", "IRP",    "URB",          "PNP",
                                                "Kind",      "Record", "Status", "DeviceObject", "Open"};
        uint8_t pick = Byte();
        return pick < 200 ? kCaptions[pick % std::size(kCaptions)] : Value();
    }
    // Up to 15 bytes drawn from mark-up characters, high bytes, control bytes and letters (NUL excepted).
    std::string Value() {
        static const char kMarkup[] = "<>&'\" =/;#";
        std::string value;
        for (int n = Byte() % 16; n > 0 && !Empty(); --n) {
            uint8_t b = Byte();
            switch (b % 4) {
            case 0: value += kMarkup[(b >> 2) % (sizeof kMarkup - 1)]; break;
            case 1: value += static_cast<char>(0x80 | (b >> 1)); break;
            case 2: value += static_cast<char>(1 + (b >> 2) % 31); break;
            default: value += static_cast<char>('a' + (b >> 2) % 26); break;
            }
        }
        return value;
    }
    UINT Id() {
        static const UINT kIds[] = {5000, 5002, tdl::test::TestGridPane::kKindCategoryId, 0, 1};
        return kIds[Byte() % std::size(kIds)];
    }
    bool Flag() { return Byte() & 1; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// A text argument of the item-adding operations: now and then null.
struct OptionalText {
    explicit OptionalText(Input& input) : isNull(input.Byte() % 5 == 0), text(isNull ? std::string() : input.Value()) {}
    const char* get() const { return isNull ? nullptr : text.c_str(); }
    bool isNull;
    std::string text;
};

void Play(OutputerImp& out, uint8_t op, const std::string& a, const std::string& b, const std::string& c,
          const std::string& d, const OptionalText& t1, const OptionalText& t2, const OptionalText& t3, UINT id,
          bool flag) {
    const CString A(a.c_str()), B(b.c_str()), C(c.c_str()), D(d.c_str());
    switch (op) {
    case 1: out.BeginIndent(); break;
    case 2: out.EndIndent(); break;
    case 3: out.WriteSubHeading(B); break;
    case 4: out.BeginTable(flag); break;
    case 5: out.EndTable(flag); break;
    case 6: out.EnterRecord(); break;
    case 7: out.WriteHeaderRow(B, flag ? CString() : C); break;
    case 8: out.BeginSection(A, flag ? CString() : CString(t1.text.c_str()), C); break;
    case 9: out.BeginElement(A); break;
    case 10: out.BeginElementWithAttribute(A, CString(d.empty() ? "x" : "attr"), C); break;
    case 11: out.AddElement(A); break;
    case 12: out.AddAttribute(CString(flag ? "a" : "b-1"), C); break;
    case 13: out.ShowCategoryById(id, t1.get()); break;
    case 14: out.ShowCategory(A); break;
    case 15: out.HideCategory(A); break;
    case 16: out.SetItemValueById(id, C); break;
    case 17: out.SetItemValue(A, C); break;
    case 18: out.SetItemValueColour(A, C, static_cast<COLORREF>(id * 0x10101u)); break;
    case 19: out.GetValueColour(); break;
    case 20: out.HideItem(A); break;
    case 21: out.SetItemDescription(A, D); break;
    case 22: out.AddDescribedItem(t1.get(), t2.get(), t3.get(), flag); break;
    case 23: out.BeginValueGroup(t1.get(), t2.get()); break;
    case 24: out.BeginGroup(t1.get(), t2.get()); break;
    case 25: out.BeginCategory(t1.get()); break;
    case 26: out.AddDataBufferItem(t1.get()); break;
    case 27: out.AddItem(t1.get(), t2.get(), t3.get()); break;
    case 28: out.AddReadOnlyItem(t1.get(), t2.get()); break;
    case 29: out.ExpandCurrent(); break;
    case 30: out.EndGroup(); break;
    case 31: out.EndElement(); break;
    case 32: out.WriteValue(A, C); break;
    case 33: out.WriteMeaningValue(B, C, D); break;
    case 34: out.WriteValueWithAttribute(A, C, CString("Description"), D); break;
    default: out.WriteValueMeaning(B, C, D); break;
    }
}

bool StackHoldsOnlyGridItems(const tdl::test::TestGridPane& pane, const GridOutputImp& grid) {
    const PtrStack8& stack = grid.GetItemStack();
    for (uint32_t i = 0; i < stack.GetCount(); ++i) {
        if (stack.Peek(i) == nullptr || !pane.HoldsOrNull(stack.Peek(i)))
            return false;
    }
    return pane.HoldsOrNull(grid.GetCurrentItem());
}

const std::string& HtmlPath() {
    static const std::string path = "/tmp/tdl_fuzz_emit_" + std::to_string(::getpid()) + ".htm";
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0)
        return 0;
    Input input(data + 1, size - 1);

    tdl::test::TestGridPane pane;
    GridOutputImp grid(&pane);
    grid.autoExpand = (data[0] & 2) != 0;
    CHtmlOutput htmlWriter;
    Check(htmlWriter.OpenByName(HtmlPath().c_str()));
    HtmlOutputImp html(&htmlWriter);
    CXmlOutput xmlWriter;
    if (data[0] & 1)
        Check(xmlWriter.BeginDocument("Report"));
    XmlOutputImp xml(&xmlWriter);

    while (!input.Empty()) {
        uint8_t op = static_cast<uint8_t>(input.Byte() % 35 + 1);
        std::string a = input.Name();
        std::string b = input.Value();
        std::string c = input.Value();
        std::string d = input.Value();
        if (op == 14 || op == 15 || op == 17 || op == 18 || op == 20 || op == 21 || (op == 8 && input.Flag()))
            a = input.Caption(); // the grid's look-ups mostly find something
        OptionalText t1(input), t2(input), t3(input);
        UINT id = input.Id();
        bool flag = input.Flag();
        for (OutputerImp* out :
             {static_cast<OutputerImp*>(&grid), static_cast<OutputerImp*>(&html), static_cast<OutputerImp*>(&xml)})
            Play(*out, op, a, b, c, d, t1, t2, t3, id, flag);
        Check(StackHoldsOnlyGridItems(pane, grid));
        Check(html.GetValueColour() == 0 && xml.GetValueColour() == 0);
    }

    const CMarkup& markup = xmlWriter.GetMarkup();
    if (markup.GetPosition(0).FirstChild != 0) {
        CMarkup parsed;
        Check(parsed.SetDocument(markup.GetDocument()));
        Check(parsed.GetPositionCount() == markup.GetPositionCount());
    }
    return 0;
}
