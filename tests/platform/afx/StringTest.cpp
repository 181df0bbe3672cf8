#include <gtest/gtest.h>

#include "afx.h"

namespace {

TEST(CString, ConstructionAndConversion) {
    EXPECT_TRUE(CString().IsEmpty());
    EXPECT_STREQ("", CString(static_cast<LPCSTR>(nullptr)));
    EXPECT_STREQ("abc", CString("abcdef", 3));
    EXPECT_STREQ("xxx", CString('x', 3));
    EXPECT_STREQ("Wide", CString(u"Wide"));
    const char16_t outside[] = {u'a', 0x263A, 0};
    EXPECT_STREQ("a?", CString(outside)); // outside the 8-bit code page
    // The 8-bit code page is the machine's ANSI one, Windows-1252: the euro sign and curly quotes have bytes.
    EXPECT_STREQ("\x80\x92\xe9\x81", CString(u"\u20AC\u2019\u00E9\u0081"));
    AfxRegisterString(61002, "From the table");
    EXPECT_STREQ("From the table", CString(reinterpret_cast<LPCSTR>(61002)));

    CString s("abc");
    CString copy(s);
    copy.SetAt(0, 'X');
    EXPECT_STREQ("abc", s); // copies are independent
    EXPECT_STREQ("Xbc", copy);
    const CString& same = s;
    s = same; // self-assignment keeps the text
    EXPECT_STREQ("abc", s);
    s = s.Mid(1); // assignment from a part of itself
    EXPECT_STREQ("bc", s);
}

TEST(CString, AccessOutsideTheStringThrows) {
    CString s("ab");
    EXPECT_EQ('b', s[1]);
    EXPECT_EQ('\0', s.GetAt(2)); // the terminator may be read
    for (int bad : {-1, 3}) {
        try {
            s.GetAt(bad);
            ADD_FAILURE() << bad;
        } catch (CInvalidArgException* e) {
            e->Delete();
        }
    }
    try {
        s.SetAt(2, 'x');
        ADD_FAILURE();
    } catch (CInvalidArgException* e) {
        e->Delete();
    }
}

TEST(CString, Comparison) {
    CString s("abc");
    EXPECT_EQ(0, s.Compare("abc"));
    EXPECT_LT(s.Compare("abd"), 0);
    EXPECT_GT(s.Compare("ab"), 0);
    EXPECT_GT(CString("\xE9").Compare("z"), 0); // bytes compare unsigned
    EXPECT_EQ(0, s.CompareNoCase("ABC"));
    // Case folding goes to lower case: '_' (0x5F) sorts before 'a' but after 'A'.
    EXPECT_LT(CString("_").CompareNoCase("A"), 0);
    EXPECT_TRUE(s == "abc" && "abc" == s && s == CString("abc") && s != "abd");
    EXPECT_TRUE(s < "abd" && "abd" > s && s <= "abc" && s >= "abc");
    EXPECT_TRUE(CString("a") == 'a');
}

TEST(CString, Extraction) {
    CString s("Hello, World");
    EXPECT_STREQ("World", s.Mid(7));
    EXPECT_STREQ("lo", s.Mid(3, 2));
    EXPECT_STREQ("Hello, World", s.Mid(-3));
    EXPECT_STREQ("", s.Mid(50, 2));
    EXPECT_STREQ("Hello, World", s.Mid(0, 100));
    EXPECT_STREQ("Hel", s.Left(3));
    EXPECT_STREQ("", s.Left(-1));
    EXPECT_STREQ("rld", s.Right(3));
    EXPECT_STREQ("Hello, World", s.Right(99));
    EXPECT_STREQ("Hell", s.SpanIncluding("HeL l"));
    EXPECT_STREQ("Hello", s.SpanExcluding(",;"));
}

TEST(CString, Tokenize) {
    CString s("  alpha, beta,,gamma  ");
    int pos = 0;
    CString tokens;
    for (CString t = s.Tokenize(" ,", pos); pos != -1; t = s.Tokenize(" ,", pos))
        tokens += t + "|";
    EXPECT_STREQ("alpha|beta|gamma|", tokens);
    pos = 0;
    EXPECT_STREQ("", CString(",,,").Tokenize(",", pos));
    EXPECT_EQ(-1, pos);
}

TEST(CString, Searching) {
    CString s("abcabc");
    EXPECT_EQ(1, s.Find('b'));
    EXPECT_EQ(4, s.Find('b', 2));
    EXPECT_EQ(-1, s.Find('b', 6));
    EXPECT_EQ(-1, s.Find('b', -1));
    EXPECT_EQ(3, s.Find("abc", 1));
    EXPECT_EQ(-1, s.Find("abd"));
    EXPECT_EQ(5, s.ReverseFind('c'));
    EXPECT_EQ(-1, s.ReverseFind('z'));
    EXPECT_EQ(2, s.FindOneOf("xc"));
    EXPECT_EQ(-1, s.FindOneOf("xyz"));
}

TEST(CString, ChangesInPlace) {
    CString s("a-b-c");
    EXPECT_EQ(2, s.Replace('-', '+'));
    EXPECT_STREQ("a+b+c", s);
    EXPECT_EQ(2, s.Replace("+", "<->"));
    EXPECT_STREQ("a<->b<->c", s);
    EXPECT_EQ(0, s.Replace("", "x"));
    EXPECT_EQ(2, s.Remove('-'));
    EXPECT_STREQ("a<>b<>c", s);
    EXPECT_EQ(9, s.Insert(1, "[]"));
    EXPECT_STREQ("a[]<>b<>c", s);
    EXPECT_EQ(10, s.Insert(100, 'z'));
    EXPECT_EQ(6, s.Delete(1, 4));
    EXPECT_STREQ("ab<>cz", s);
    EXPECT_EQ(2, s.Delete(2, 100));
    EXPECT_STREQ("AB", s.MakeUpper());
    EXPECT_STREQ("ba", s.MakeLower().MakeReverse());

    CString t(" \t x y \r\n");
    EXPECT_STREQ("x y", CString(t).Trim());
    EXPECT_STREQ("x y \r\n", CString(t).TrimLeft());
    EXPECT_STREQ(" \t x y", CString(t).TrimRight());
    EXPECT_STREQ("bc", CString("aabcaa").Trim('a'));
    EXPECT_STREQ("b", CString("xyb yx").Trim("xy "));

    CString u("ab");
    u += "cd";
    u += 'e';
    u += CString("f");
    u.AppendChar('g');
    u.Append("hij", 2);
    EXPECT_STREQ("abcdefghi", u);
    u += u; // appending itself
    EXPECT_STREQ("abcdefghiabcdefghi", u);
    EXPECT_STREQ("1ab2", '1' + CString("ab") + '2');
    EXPECT_STREQ("x-y", "x" + CString("-") + "y");
}

TEST(CString, BufferAccess) {
    CString s("abc");
    char* p = s.GetBuffer(10);
    std::strcpy(p, "longer text");
    s.ReleaseBuffer();
    EXPECT_STREQ("longer text", s);
    EXPECT_EQ(11, s.GetLength());
    p = s.GetBufferSetLength(3);
    p[0] = 'L';
    s.ReleaseBuffer(3);
    EXPECT_STREQ("Lon", s);
    CString empty;
    std::strcpy(empty.GetBuffer(0), "");
    empty.ReleaseBuffer();
    EXPECT_TRUE(empty.IsEmpty());
}

TEST(CString, LoadString) {
    const AFX_STRING_ENTRY table[] = {{61010, "First"}, {61011, "Second"}};
    AfxRegisterStringTable(table, 2);
    CString s("unchanged");
    EXPECT_FALSE(s.LoadString(61099));
    EXPECT_STREQ("unchanged", s);
    EXPECT_TRUE(s.LoadString(61011));
    EXPECT_STREQ("Second", s);
    char buf[4];
    EXPECT_EQ(3, AfxLoadString(61010, buf, sizeof buf));
    EXPECT_STREQ("Fir", buf);
}

} // namespace
