// The HTML report's writer: the exact lines of each primitive, the escaper, and failed writes.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "MarkupRecords.h"
#include "ReportFileFixture.h"
#include "app/devices/reports/CleanHtml.h"
#include "app/devices/reports/HtmlOutput.h"

namespace {

class HtmlOutputTest : public markup_test::ReportFileTest {};

TEST_F(HtmlOutputTest, EachPrimitiveWritesExactlyItsLines) {
    struct Case {
        const char* what;
        std::function<void(CHtmlOutput&)> write;
        const char* lines;
    } cases[] = {
        {"line", [](CHtmlOutput& out) { EXPECT_TRUE(out.WriteLine("a\"b")); }, "a\"b\r\n"},
        {"string", [](CHtmlOutput& out) { EXPECT_TRUE(out.WriteString("no end\n")); }, "no end\n"},
        {"blockquote",
         [](CHtmlOutput& out) {
             out.WriteBlockquoteOpen();
             out.WriteBlockquoteClose();
         },
         "<blockquote>\r\n</blockquote>\r\n"},
        {"sub-heading", [](CHtmlOutput& out) { out.WriteSubHeading("Root&nbsp;Hub"); },
         "<table height=\"20\" width=\"100%\" cellspacing=\"0\">\r\n"
         "<tr>\r\n"
         "<td class=\"palegreen\" width=\"5%\">&nbsp;</td>\r\n"
         "<td class=\"palegreen\"><b><font class=\"bold_std_black\">Root&nbsp;Hub</font></b></td>\r\n"
         "</tr>\r\n"
         "</table>\r\n"
         "<br />\r\n"},
        {"plain table",
         [](CHtmlOutput& out) {
             out.BeginPlainTable();
             out.EndPlainTable();
         },
         "<table width=\"100%\" cellspacing=\"0\">\r\n</table>\r\n"},
        {"bordered table",
         [](CHtmlOutput& out) {
             out.BeginBorderedTable();
             out.EndBorderedTable();
         },
         "<table width=\"100%\" border=\"1\" cellspacing=\"0\">\r\n</table>\r\n<br />\r\n"},
        {"header row", [](CHtmlOutput& out) { out.WriteHeaderRow("&nbsp;", "Device&nbsp;Stack"); },
         "<tr>\r\n"
         "<th class=\"steelgray\" align=\"center\" width=\"10%\"><font class=\"sml_black\">&nbsp;</font></th>\r\n"
         "<th class=\"steelgray\" align=\"center\"><font class=\"sml_black\">Device&nbsp;Stack</font></th>\r\n"
         "</tr>\r\n"},
        {"value row", [](CHtmlOutput& out) { out.WriteValueRow("Stack&nbsp;ID", "0x0001 <raw>"); },
         "<tr>\r\n"
         "<th align=\"center\" width=\"10%\"><font class=\"sml_black\">Stack&nbsp;ID</font></th>\r\n"
         "<td align=\"center\"><font class=\"sml_black\">0x0001 <raw></font></td>\r\n"
         "</tr>\r\n"},
    };
    for (const Case& c : cases) {
        {
            CHtmlOutput out;
            ASSERT_TRUE(out.OpenByName(PathOf("report.htm").c_str())) << c.what;
            EXPECT_STREQ(PathOf("report.htm").c_str(), out.GetFileName());
            c.write(out);
            EXPECT_FALSE(out.HasWriteError()) << c.what;
        } // the destructor closes the file
        EXPECT_EQ(c.lines, Contents("report.htm")) << c.what;
    }
}

TEST_F(HtmlOutputTest, OpeningTruncatesAndAMissingFolderFails) {
    {
        CHtmlOutput out;
        ASSERT_TRUE(out.OpenByName(PathOf("report.htm").c_str()));
        out.WriteLine("a much longer first report");
    }
    CHtmlOutput out;
    ASSERT_TRUE(out.OpenByName(PathOf("report.htm").c_str()));
    out.WriteLine("short");
    out.Close();
    EXPECT_EQ("short\r\n", Contents("report.htm"));

    CHtmlOutput missing;
    EXPECT_FALSE(missing.OpenByName(PathOf("no/such/folder.htm").c_str()));
    EXPECT_FALSE(missing.OpenByName(nullptr));
    // Writing without a file is a failed write, not a crash.
    EXPECT_FALSE(missing.WriteLine("x"));
    EXPECT_TRUE(missing.HasWriteError());
}

// A batch holds the text back until its outermost scope closes, in the order it was written, and a failure of
// the gathered text still shows.
TEST_F(HtmlOutputTest, ABatchWritesItsTextOnWhenItCloses) {
    CHtmlOutput out;
    ASSERT_TRUE(out.OpenByName(PathOf("report.htm").c_str()));
    out.WriteLine("before");
    {
        CHtmlOutput::Batch outer(&out);
        {
            CHtmlOutput::Batch inner(&out);
            out.WriteString("<b>");
            out.WriteValueRow("n", "v");
        }
        EXPECT_EQ("before\r\n", Contents("report.htm"));
        out.WriteLine("after");
    }
    EXPECT_EQ("before\r\n<b><tr>\r\n<th align=\"center\" width=\"10%\"><font class=\"sml_black\">n</font></th>\r\n"
              "<td align=\"center\"><font class=\"sml_black\">v</font></td>\r\n</tr>\r\nafter\r\n",
              Contents("report.htm"));

    CHtmlOutput full;
    ASSERT_TRUE(full.OpenByName("/dev/full"));
    CHtmlOutput::Batch batch(&full);
    EXPECT_TRUE(full.WriteLine("<html>"));
    EXPECT_TRUE(full.HasWriteError());
}

TEST_F(HtmlOutputTest, FailedWritesReturnFalseGoOnAndAreRemembered) {
    CHtmlOutput out;
    ASSERT_TRUE(out.OpenByName("/dev/full"));
    EXPECT_FALSE(out.HasWriteError());
    EXPECT_FALSE(out.WriteLine("<html>"));
    EXPECT_TRUE(out.HasWriteError());
    // The primitives after it still run to their end without raising anything.
    out.WriteSubHeading("x");
    out.BeginBorderedTable();
    out.WriteHeaderRow("a", "b");
    out.WriteValueRow("c", "d");
    out.EndBorderedTable();
    EXPECT_FALSE(out.WriteString("tail"));
    EXPECT_TRUE(out.HasWriteError());
    // Nothing to write succeeds even here; the flag stays.
    EXPECT_TRUE(out.WriteString(""));
    EXPECT_TRUE(out.HasWriteError());
}

TEST(CleanHtmlTest, EscapesTheFiveCharactersAndControlBytesOnly) {
    CleanHtml escaper;
    CString out;
    std::string passing;
    for (int b = 0x80; b <= 0xFF; ++b)
        passing += static_cast<char>(b);
    passing += "\t\n\r plain 0x7f:\x7f";
    EXPECT_STREQ(passing.c_str(), escaper.Escape(out, passing.c_str()));
    EXPECT_STREQ("&lt;b&gt;&amp;&apos;&quot;", escaper.Escape(out, "<b>&'\""));
    EXPECT_STREQ("a?b?c", escaper.Escape(out, "a\x01"
                                              "b\x1b"
                                              "c"));
    EXPECT_STREQ("'\"", escaper.Escape(out, "'\"", false));
    EXPECT_STREQ("", escaper.Escape(out, nullptr));
    EXPECT_EQ("", markup_test::Text(escaper).substr(0)); // an escaper has an empty document
}

} // namespace
