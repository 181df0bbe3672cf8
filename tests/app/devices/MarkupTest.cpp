// The mark-up writer: the exact text of its edits, the records that index it, escaping, and what it refuses.
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "MarkupRecords.h"
#include "app/devices/reports/Markup.h"

using markup_test::SameRecordsAsParsed;
using markup_test::Text;

namespace {

const char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n";

std::string Escaped(const char* text, bool attributeMode) {
    CString out = "stale";
    CMarkup::EscapeText(out, text, attributeMode);
    return out.GetString();
}

TEST(MarkupTest, DeclarationThenRootThenChildGiveTheExactText) {
    CMarkup markup;
    EXPECT_FALSE(markup.SetDocument(kDeclaration)); // no element yet
    EXPECT_STREQ("Element tag not found", markup.GetLastError());
    EXPECT_EQ(kDeclaration, Text(markup));

    ASSERT_TRUE(markup.AddElement("Devices"));
    EXPECT_EQ(std::string(kDeclaration) + "<Devices/>\r\n", Text(markup));
    EXPECT_TRUE(SameRecordsAsParsed(markup));

    ASSERT_TRUE(markup.EnterElement());
    EXPECT_EQ(1, markup.GetParentIndex());
    EXPECT_EQ(0, markup.GetCurrentIndex());
    ASSERT_TRUE(markup.AddElement("X", "a<b"));
    EXPECT_EQ(std::string(kDeclaration) + "<Devices>\r\n<X>a&lt;b</X>\r\n</Devices>\r\n", Text(markup));
    EXPECT_TRUE(SameRecordsAsParsed(markup));

    // Following siblings land after the line break of the one before, then the parent's end tag.
    ASSERT_TRUE(markup.AddElement("Y"));
    ASSERT_TRUE(markup.EnterElement());
    ASSERT_TRUE(markup.AddElement("Z", "1"));
    ASSERT_TRUE(markup.LeaveElement());
    EXPECT_EQ(3, markup.GetCurrentIndex());
    EXPECT_EQ(4, markup.GetChildIndex());
    ASSERT_TRUE(markup.AddElement("W", ""));
    EXPECT_EQ(std::string(kDeclaration) +
                  "<Devices>\r\n<X>a&lt;b</X>\r\n<Y>\r\n<Z>1</Z>\r\n</Y>\r\n<W/>\r\n</Devices>\r\n",
              Text(markup));
    EXPECT_TRUE(SameRecordsAsParsed(markup));

    // Back at the top, entering again continues after the last child.
    ASSERT_TRUE(markup.LeaveElement());
    ASSERT_TRUE(markup.EnterElement());
    ASSERT_TRUE(markup.AddElement("V", "2"));
    EXPECT_EQ(std::string(kDeclaration) +
                  "<Devices>\r\n<X>a&lt;b</X>\r\n<Y>\r\n<Z>1</Z>\r\n</Y>\r\n<W/>\r\n<V>2</V>\r\n</Devices>\r\n",
              Text(markup));
    EXPECT_TRUE(SameRecordsAsParsed(markup));
}

TEST(MarkupTest, EmptyValueWritesWhatNoValueWrites) {
    CMarkup withNull;
    CMarkup withEmpty;
    for (CMarkup* markup : {&withNull, &withEmpty}) {
        ASSERT_TRUE(markup->AddElement("R"));
        ASSERT_TRUE(markup->EnterElement());
    }
    ASSERT_TRUE(withNull.AddElement("E", nullptr));
    ASSERT_TRUE(withEmpty.AddElement("E", ""));
    EXPECT_EQ("<R>\r\n<E/>\r\n</R>\r\n", Text(withNull));
    EXPECT_EQ(Text(withNull), Text(withEmpty));
    EXPECT_TRUE(SameRecordsAsParsed(withEmpty));
}

TEST(MarkupTest, ChildOfElementWithTextGoesBeforeItsEndTag) {
    CMarkup markup;
    ASSERT_TRUE(markup.AddElement("R", "text"));
    ASSERT_TRUE(markup.EnterElement());
    ASSERT_TRUE(markup.AddElement("C"));
    ASSERT_TRUE(markup.AddElement("D"));
    EXPECT_EQ("<R>text<C/>\r\n<D/>\r\n</R>\r\n", Text(markup));
    EXPECT_TRUE(SameRecordsAsParsed(markup));
}

TEST(MarkupTest, EscapeTextKeepsQuotesOnlyInTextMode) {
    struct Case {
        const char* text;
        const char* textMode;
        const char* attributeMode;
    } cases[] = {
        {"a<b>&c", "a&lt;b&gt;&amp;c", "a&lt;b&gt;&amp;c"},
        {"it's \"x\"", "it's \"x\"", "it&apos;s &quot;x&quot;"},
        {"&amp;", "&amp;amp;", "&amp;amp;"},
        {"tab\tlf\ncr\r", "tab\tlf\ncr\r", "tab\tlf\ncr\r"}, // the controls XML carries
        {"\x01\x1f\x7f", "??\x7f", "??\x7f"},                // and those it cannot
        {"caf\xe9 \x80\x9f\xff", "caf\xe9 \x80\x9f\xff", "caf\xe9 \x80\x9f\xff"},
        {"", "", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.textMode, Escaped(c.text, false)) << c.text;
        EXPECT_EQ(c.attributeMode, Escaped(c.text, true)) << c.text;
    }
    EXPECT_EQ("", Escaped(nullptr, true));
}

// Values of any length carry exactly what EscapeText gives, each character that changes wherever it sits.
TEST(MarkupTest, ElementTextAndAttributeValuesAreEscapedAtAnyPosition) {
    const std::string base = "0123456789abcdef0123456789ABCDEF-";
    for (char special : std::string("<>&'\"\x01\x1f\t\r\n\x7f\xe9=/?! ")) {
        for (size_t at : {size_t{0}, size_t{5}, size_t{8}, size_t{15}, size_t{23}, base.size()}) {
            std::string value = base;
            value.insert(at, 1, special);
            CMarkup markup;
            ASSERT_TRUE(markup.AddElement("R"));
            ASSERT_TRUE(markup.EnterElement());
            ASSERT_TRUE(markup.AddElement("E", value.c_str()));
            ASSERT_TRUE(markup.SetAttribute(markup.GetCurrentIndex(), "a", value.c_str()));
            CString text;
            CString attribute;
            CMarkup::EscapeText(text, value.c_str(), false);
            CMarkup::EscapeText(attribute, value.c_str(), true);
            EXPECT_EQ("<R>\r\n<E a=\"" + std::string(attribute.GetString()) + "\">" + text.GetString() +
                          "</E>\r\n</R>\r\n",
                      Text(markup))
                << int(special) << " at " << at;
            EXPECT_TRUE(SameRecordsAsParsed(markup)) << int(special) << " at " << at;
        }
    }
}

// With lengths given, a name or a value is that many characters of a longer text, or less where a NUL ends
// it first: the same document the NUL-terminated texts give.
TEST(MarkupTest, TextsOfGivenLengthEndThereOrAtTheirFirstNul) {
    CMarkup counted;
    ASSERT_TRUE(counted.AddElement("RootXYZ", 4, nullptr, 0));
    ASSERT_TRUE(counted.EnterElement());
    ASSERT_TRUE(counted.AddElement("NameXYZ", 4, "a<b&c>dQQ", 7));
    ASSERT_TRUE(counted.SetAttribute(counted.GetCurrentIndex(), "attrXYZ", 4, "x\"y'zQQ", 5));
    ASSERT_TRUE(counted.AddElement("Plain01234567890XYZ", 16, "0123456789abcdefQQ", 16));
    ASSERT_TRUE(counted.SetAttribute(counted.GetCurrentIndex(), "a\0bc", 4, "v\0w", 3));
    ASSERT_TRUE(counted.SetAttribute(counted.GetCurrentIndex(), "a[1]XYZ", 4, "wQQ", 1)); // the scan's rule
    ASSERT_TRUE(counted.AddElement("Empty", 5, "\0value", 6));
    EXPECT_FALSE(counted.AddElement("\0Name", 5, nullptr, 0));
    EXPECT_FALSE(counted.AddElement("Na me", 5, nullptr, 0));

    CMarkup terminated;
    ASSERT_TRUE(terminated.AddElement("Root"));
    ASSERT_TRUE(terminated.EnterElement());
    ASSERT_TRUE(terminated.AddElement("Name", "a<b&c>d"));
    ASSERT_TRUE(terminated.SetAttribute(terminated.GetCurrentIndex(), "attr", "x\"y'z"));
    ASSERT_TRUE(terminated.AddElement("Plain01234567890", "0123456789abcdef"));
    ASSERT_TRUE(terminated.SetAttribute(terminated.GetCurrentIndex(), "a", "v"));
    ASSERT_TRUE(terminated.SetAttribute(terminated.GetCurrentIndex(), "a[1]", "w"));
    ASSERT_TRUE(terminated.AddElement("Empty"));

    EXPECT_EQ("<Root>\r\n<Name attr=\"x&quot;y&apos;z\">a&lt;b&amp;c&gt;d</Name>\r\n"
              "<Plain01234567890 a=\"w\">0123456789abcdef</Plain01234567890>\r\n<Empty/>\r\n</Root>\r\n",
              Text(counted));
    EXPECT_EQ(Text(terminated), Text(counted));
    EXPECT_TRUE(SameRecordsAsParsed(counted));
}

TEST(MarkupTest, SetAttributeInsertsThenReplacesOnlyTheValue) {
    CMarkup markup;
    ASSERT_TRUE(markup.AddElement("Root"));
    ASSERT_TRUE(markup.EnterElement());
    ASSERT_TRUE(markup.AddElement("First"));
    ASSERT_TRUE(markup.EnterElement());
    ASSERT_TRUE(markup.AddElement("Inner", "v"));
    ASSERT_TRUE(markup.LeaveElement());
    ASSERT_TRUE(markup.AddElement("Last", "w"));
    ASSERT_TRUE(markup.LeaveElement());
    ASSERT_TRUE(markup.EnterElement()); // current is "Last" again
    ASSERT_TRUE(markup.LeaveElement());
    const std::string before = Text(markup);

    // On an element with text the attribute goes before its '>'; here the root, its descendants and end tag.
    ASSERT_TRUE(markup.SetAttribute(1, "Version", "1.0"));
    EXPECT_EQ("<Root Version=\"1.0\">\r\n<First>\r\n<Inner>v</Inner>\r\n</First>\r\n<Last>w</Last>\r\n</Root>\r\n",
              Text(markup));
    EXPECT_TRUE(SameRecordsAsParsed(markup));

    // Again: only the text between the quotes changes, and everything after it moves by the difference.
    ASSERT_TRUE(markup.SetAttribute(1, "Version", "a'b\"c<"));
    EXPECT_EQ("<Root Version=\"a&apos;b&quot;c&lt;\">\r\n<First>\r\n<Inner>v</Inner>\r\n</First>\r\n"
              "<Last>w</Last>\r\n</Root>\r\n",
              Text(markup));
    EXPECT_TRUE(SameRecordsAsParsed(markup));
    ASSERT_TRUE(markup.SetAttribute(1, "Version", ""));
    EXPECT_TRUE(SameRecordsAsParsed(markup));
    ASSERT_TRUE(markup.SetAttribute(1, "Build", "7"));
    EXPECT_EQ("<Root Version=\"\" Build=\"7\">", Text(markup).substr(0, 27));
    EXPECT_TRUE(SameRecordsAsParsed(markup));
    EXPECT_EQ(before.substr(6), Text(markup).substr(27));

    // On an empty element it goes before "/>"; a name that merely starts like another is a new attribute.
    CMarkup empty;
    ASSERT_TRUE(empty.AddElement("R"));
    ASSERT_TRUE(empty.EnterElement());
    ASSERT_TRUE(empty.AddElement("Tindaloft"));
    ASSERT_TRUE(empty.SetAttribute(empty.GetCurrentIndex(), "Version", "1.2.3"));
    ASSERT_TRUE(empty.SetAttribute(empty.GetCurrentIndex(), "Ver", "x"));
    ASSERT_TRUE(empty.SetAttribute(empty.GetCurrentIndex(), "Version", "4.5.6"));
    ASSERT_TRUE(empty.AddElement("Next", "n"));
    EXPECT_EQ("<R>\r\n<Tindaloft Version=\"4.5.6\" Ver=\"x\"/>\r\n<Next>n</Next>\r\n</R>\r\n", Text(empty));
    EXPECT_TRUE(SameRecordsAsParsed(empty));
}

// An attribute is found by its whole name in the tag the document wrote, wherever its value looks like
// mark-up; a name holding '[' keeps the token scan's rule, which matches it by its part before the '['.
TEST(MarkupTest, SetAttributeFindsTheAttributeByItsWholeName) {
    struct Case {
        std::vector<std::pair<const char*, const char*>> sets;
        const char* tag;
    };
    const Case cases[] = {
        {{{"A", " B=\"1\" "}, {"B", "2"}}, "<E A=\" B=&quot;1&quot; \" B=\"2\"/>"},
        {{{"A", "x=y z"}, {"A", "w"}}, "<E A=\"w\"/>"},
        {{{"AB", "1"}, {"B", "2"}, {"AB", "3"}, {"A", "4"}}, "<E AB=\"3\" B=\"2\" A=\"4\"/>"},
        {{{"A", ""}, {"B", "/>"}, {"A", "v"}}, "<E A=\"v\" B=\"/&gt;\"/>"},
        {{{"a", "1"}, {"a[1]", "2"}}, "<E a=\"2\"/>"},
    };
    for (const Case& c : cases) {
        CMarkup markup;
        ASSERT_TRUE(markup.AddElement("R"));
        ASSERT_TRUE(markup.EnterElement());
        ASSERT_TRUE(markup.AddElement("E"));
        for (const auto& [name, value] : c.sets)
            ASSERT_TRUE(markup.SetAttribute(markup.GetCurrentIndex(), name, value)) << name;
        ASSERT_TRUE(markup.AddElement("F", "f"));
        EXPECT_EQ(std::string("<R>\r\n") + c.tag + "\r\n<F>f</F>\r\n</R>\r\n", Text(markup));
        EXPECT_TRUE(SameRecordsAsParsed(markup)) << c.tag;
    }
}

// Every edit moves the end tags of the elements it lies in; past a few dozen levels, and on the way back
// out, the records must still match the text.
TEST(MarkupTest, DeepDocumentsKeepTheirRecordsOnTheWayInAndOut) {
    constexpr int kDepth = 40;
    CMarkup markup;
    ASSERT_TRUE(markup.AddElement("L0"));
    for (int level = 1; level <= kDepth; ++level) {
        ASSERT_TRUE(markup.EnterElement());
        ASSERT_TRUE(markup.AddElement(("L" + std::to_string(level)).c_str(), level % 3 == 0 ? "t" : nullptr));
        ASSERT_TRUE(markup.SetAttribute(markup.GetCurrentIndex(), "a", "1"));
    }
    EXPECT_TRUE(SameRecordsAsParsed(markup));
    for (int level = kDepth; level > 1; --level) {
        ASSERT_TRUE(markup.LeaveElement());
        ASSERT_TRUE(markup.AddElement("S", "s"));
        ASSERT_TRUE(markup.SetAttribute(markup.GetCurrentIndex(), "b", "2"));
        if (level % 7 == 0)
            ASSERT_TRUE(markup.EnterElement()) << level; // into the new sibling and at once out of it
        if (level % 7 == 0)
            ASSERT_TRUE(markup.LeaveElement()) << level;
        ASSERT_TRUE(SameRecordsAsParsed(markup)) << level;
    }
    const std::string text = Text(markup);
    EXPECT_EQ("<L0>\r\n<L1 a=\"1\">\r\n", text.substr(0, 18));
    EXPECT_EQ("<S b=\"2\">s</S>\r\n</L0>\r\n", text.substr(text.size() - 23));
}

TEST(MarkupTest, RefusalsLeaveTheDocumentAlone) {
    CMarkup markup;
    EXPECT_FALSE(markup.EnterElement()); // nothing current
    EXPECT_FALSE(markup.LeaveElement()); // already at the top
    EXPECT_FALSE(markup.SetAttribute(0, "a", "b"));
    EXPECT_FALSE(markup.SetAttribute(1, "a", "b")); // no such record yet
    ASSERT_TRUE(markup.AddElement("Root"));
    const std::string text = Text(markup);

    EXPECT_FALSE(markup.AddElement("Second")); // one root only
    EXPECT_FALSE(markup.SetAttribute(0, "a", "b"));
    EXPECT_FALSE(markup.SetAttribute(7, "a", "b"));
    EXPECT_FALSE(markup.SetAttribute(1, "bad name", "b"));
    ASSERT_TRUE(markup.EnterElement());
    EXPECT_FALSE(markup.SetAttribute(1, "a", "b")); // the position is on no element
    for (const char* name : {"", "a b", "a>", "x/y", "q\"", "<", "&e"})
        EXPECT_FALSE(markup.AddElement(name)) << name;
    EXPECT_FALSE(markup.AddElement(nullptr));
    EXPECT_EQ(text, Text(markup));
    EXPECT_EQ(2, markup.GetPositionCount());
}

// A name must read back as one token: a delimiter, a quote or '&' anywhere in it, however long it is, refuses
// the element and the attribute alike.
TEST(MarkupTest, NamesAreCheckedToTheirLastCharacter) {
    const std::string base = "ABCDEFGHIJKLMNOPQRSTUVWX";
    for (char bad : std::string(" \t\n\r<>=\\/?!\"'&")) {
        for (size_t at : {size_t{0}, size_t{7}, size_t{8}, size_t{13}, base.size() - 1, base.size()}) {
            std::string name = base;
            name.insert(at, 1, bad);
            CMarkup markup;
            EXPECT_FALSE(markup.AddElement(name.c_str())) << int(bad) << " at " << at;
            ASSERT_TRUE(markup.AddElement("R"));
            EXPECT_FALSE(markup.SetAttribute(1, name.c_str(), "v")) << int(bad) << " at " << at;
            EXPECT_EQ("<R/>\r\n", Text(markup));
        }
    }
    for (const char* name : {"PORT_OVER_CURRENT.PortStatus.3", "Reserved.PortStatus.15-13", "x[1]:y;z#%()*+,",
                             "\xC3\xA9l\xC3\xA9ment-\xC3\xA0-nommer", "HUBIF-CreateUsbDevice"}) {
        CMarkup markup;
        ASSERT_TRUE(markup.AddElement("R"));
        ASSERT_TRUE(markup.EnterElement());
        EXPECT_TRUE(markup.AddElement(name, "v")) << name;
        EXPECT_TRUE(markup.SetAttribute(markup.GetCurrentIndex(), name, "w")) << name;
        EXPECT_TRUE(SameRecordsAsParsed(markup)) << name;
    }
}

TEST(MarkupTest, ParseErrorsKeepTheTextAndNameTheirCause) {
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"abc", "Element tag not found"},
        {"<", "Abrupt end within tag"},
        {"<'a'>", "Tag starts with quote"},
        {"<!--a", "Invalid node"},
        {"<?xml", "Invalid node"},
        {"<![CDATA[x", "Invalid node"},
        {"<!DOCTYPE a [ <!ENTITY x \"]\"> ", "Invalid node"},
        {"< ?x ?>", "Invalid node"}, // a node skipped from its '<' must start there
        {"<a>< !x></a>", "Invalid node"},
        {"<a", "End of tag not found"},
        {"<a>", "Element tag not found"},
        {"<a></b>", "End tag does not correspond to a"},
        {"<a></ab>", "End tag does not correspond to a"},
        {"<ab></a>", "End tag does not correspond to ab"},
        {"<a></a", "End tag not completed for element a"},
        {"<a></>", "End tag not completed for element a"},
        {"<a><b/><c></c></a junk", "End tag not completed for element a"},
    };
    for (const Case& c : cases) {
        CMarkup markup;
        EXPECT_FALSE(markup.SetDocument(c.text)) << c.text;
        EXPECT_STREQ(c.error, markup.GetLastError()) << c.text;
        EXPECT_EQ(c.text, Text(markup));
        EXPECT_EQ(1, markup.GetPositionCount()) << c.text;
        EXPECT_EQ(0, markup.GetPosition(0).FirstChild) << c.text;
        EXPECT_FALSE(markup.EnterElement());
    }
}

TEST(MarkupTest, ParsesPastDeclarationsCommentsAndCData) {
    const char* text = "<?xml version=\"1.0\"?>\r\n<!DOCTYPE r [ <!ELEMENT r ANY> ]>\r\n<!-- a > b -->\r\n"
                       "<r a='1' b = \"x\">lead<![CDATA[ <no> ]]><c/>mid<d>t</d>\r\n<e><f/></e>tail</r>\r\n";
    CMarkup markup;
    ASSERT_TRUE(markup.SetDocument(text)) << markup.GetLastError().GetString();
    EXPECT_EQ(text, Text(markup));
    ASSERT_EQ(6, markup.GetPositionCount());
    const CMarkup::ElemPos& r = markup.GetPosition(1);
    EXPECT_EQ(1, markup.GetPosition(0).FirstChild);
    EXPECT_EQ('<', text[r.StartTagBegin]);
    EXPECT_EQ(std::string("<r a='1'"), std::string(text + r.StartTagBegin, 8));
    EXPECT_EQ(std::string("</r>"), std::string(text + r.EndTagBegin, 4));
    EXPECT_EQ(r.EndTagBegin + 3, r.EndTagEnd);
    EXPECT_EQ(2, r.FirstChild);
    EXPECT_EQ(3, markup.GetPosition(2).NextSibling);
    EXPECT_EQ(4, markup.GetPosition(3).NextSibling);
    EXPECT_EQ(5, markup.GetPosition(4).FirstChild);
    EXPECT_EQ(4, markup.GetPosition(5).Parent);

    // Parsing leaves the position at the document level, where the root is already taken.
    EXPECT_FALSE(markup.AddElement("x"));
    EXPECT_FALSE(markup.EnterElement());
    EXPECT_EQ(text, Text(markup));
}

TEST(MarkupTest, RecordArrayIsSizedByTheTextAndGrowsByHalf) {
    CMarkup markup;
    EXPECT_EQ(8, markup.GetPositionCapacity());
    std::string declaration(640, ' ');
    declaration += kDeclaration;
    markup.SetDocument(declaration.c_str());
    INT_PTR sized = static_cast<INT_PTR>(declaration.size() / 64 + 8);
    EXPECT_EQ(sized, markup.GetPositionCapacity());

    ASSERT_TRUE(markup.AddElement("R"));
    ASSERT_TRUE(markup.EnterElement());
    while (markup.GetPositionCount() < sized)
        ASSERT_TRUE(markup.AddElement("E"));
    EXPECT_EQ(sized, markup.GetPositionCapacity());
    ASSERT_TRUE(markup.AddElement("E"));
    EXPECT_EQ(sized + sized / 2, markup.GetPositionCapacity());
    EXPECT_TRUE(SameRecordsAsParsed(markup));

    // A shorter document keeps the larger array.
    markup.SetDocument(nullptr);
    EXPECT_EQ(sized + sized / 2, markup.GetPositionCapacity());
    EXPECT_EQ("", Text(markup));
}

TEST(MarkupTest, DeepNestingIsAnErrorNotAStackOverflow) {
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    CMarkup markup;
    EXPECT_FALSE(markup.SetDocument(deep.c_str()));
    EXPECT_STREQ("Elements nested too deeply", markup.GetLastError());
    EXPECT_EQ(1, markup.GetPositionCount());

    std::string nested;
    for (int i = 0; i < 500; ++i)
        nested += "<a>";
    for (int i = 0; i < 500; ++i)
        nested += "</a>";
    EXPECT_TRUE(markup.SetDocument(nested.c_str())) << markup.GetLastError().GetString();
    EXPECT_EQ(501, markup.GetPositionCount());
}

} // namespace
