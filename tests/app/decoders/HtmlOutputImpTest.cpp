// The HTML back-end: the exact mark-up of each operation it implements, and nothing from the others.
#include <functional>
#include <string>

#include <gtest/gtest.h>

#include "EmitCalls.h"
#include "app/decoders/framework/HtmlOutputImp.h"
#include "app/devices/reports/HtmlOutput.h"
#include "tests/app/devices/ReportFileFixture.h"

namespace {

class HtmlOutputImpTest : public markup_test::ReportFileTest {
protected:
    // What the operations write into a fresh report file.
    std::string Emit(const std::function<void(OutputerImp&)>& calls) {
        {
            CHtmlOutput writer;
            EXPECT_TRUE(writer.OpenByName(PathOf("report.htm").c_str()));
            HtmlOutputImp out(&writer);
            calls(out);
        }
        return Contents("report.htm");
    }
};

std::string ValueRow(const char* name, const char* value) {
    return std::string("<tr>\r\n<th align=\"center\" width=\"10%\"><font class=\"sml_black\">") + name +
           "</font></th>\r\n<td align=\"center\"><font class=\"sml_black\">" + value + "</font></td>\r\n</tr>\r\n";
}

std::string HeaderRow(const char* first, const char* second) {
    return std::string("<tr>\r\n<th class=\"steelgray\" align=\"center\" width=\"10%\"><font class=\"sml_black\">") +
           first + "</font></th>\r\n<th class=\"steelgray\" align=\"center\"><font class=\"sml_black\">" + second +
           "</font></th>\r\n</tr>\r\n";
}

TEST_F(HtmlOutputImpTest, EachImplementedOperationWritesItsMarkup) {
    struct Case {
        const char* what;
        std::function<void(OutputerImp&)> calls;
        std::string markup;
    } cases[] = {
        {"indent",
         [](OutputerImp& o) {
             o.BeginIndent();
             o.EndIndent();
         },
         "<blockquote>\r\n</blockquote>\r\n"},
        {"sub-heading, title as given", [](OutputerImp& o) { o.WriteSubHeading("Hub&nbsp;<i>1</i>"); },
         "<table height=\"20\" width=\"100%\" cellspacing=\"0\">\r\n<tr>\r\n"
         "<td class=\"palegreen\" width=\"5%\">&nbsp;</td>\r\n"
         "<td class=\"palegreen\"><b><font class=\"bold_std_black\">Hub&nbsp;<i>1</i></font></b></td>\r\n"
         "</tr>\r\n</table>\r\n<br />\r\n"},
        {"bordered table ends with a break",
         [](OutputerImp& o) {
             o.BeginTable(true);
             o.EndTable(true);
         },
         "<table width=\"100%\" border=\"1\" cellspacing=\"0\">\r\n</table>\r\n<br />\r\n"},
        {"plain table has no break",
         [](OutputerImp& o) {
             o.BeginTable(false);
             o.EndTable(false);
         },
         "<table width=\"100%\" cellspacing=\"0\">\r\n</table>\r\n"},
        {"header row", [](OutputerImp& o) { o.WriteHeaderRow("Field", "Value"); }, HeaderRow("Field", "Value")},
        {"header row with one text puts it in the wide cell",
         [](OutputerImp& o) { o.WriteHeaderRow("Device&nbsp;Stack", ""); }, HeaderRow("&nbsp;", "Device&nbsp;Stack")},
        {"value escaped, name never", [](OutputerImp& o) { o.WriteValue("a<b>", "a<b & c>d"); },
         ValueRow("a<b>", "a&lt;b &amp; c&gt;d")},
        {"quotes in a value", [](OutputerImp& o) { o.WriteValue("Q", "\"it's\""); },
         ValueRow("Q", "&quot;it&apos;s&quot;")},
        {"empty value", [](OutputerImp& o) { o.WriteValue("Name", ""); }, ValueRow("Name", "&nbsp;")},
        {"meaning then value",
         [](OutputerImp& o) { o.WriteMeaningValue("Port", "0x01", "<font color=red>Device connected</font>"); },
         ValueRow("Port", "<font color=red>Device connected</font> (0x01)")},
        {"value then meaning", [](OutputerImp& o) { o.WriteValueMeaning("Port", "0x01", "Device connected"); },
         ValueRow("Port", "0x01 (Device connected)")},
        {"meaning rows with an empty value",
         [](OutputerImp& o) {
             o.WriteMeaningValue("A", "", "m");
             o.WriteValueMeaning("B", "", "m");
         },
         ValueRow("A", "&nbsp;") + ValueRow("B", "&nbsp;")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.markup, Emit(c.calls)) << c.what;
}

TEST_F(HtmlOutputImpTest, OperationsOfOtherMediaWriteNothingAndTheValueColourIsZero) {
    for (const emit_test::EmitCall& call : emit_test::CallsOtherThan({1, 2, 3, 4, 5, 7, 32, 33, 35}))
        EXPECT_EQ("", Emit(call.call)) << call.name;
    CHtmlOutput writer;
    HtmlOutputImp out(&writer);
    EXPECT_EQ(0u, out.GetValueColour());
}

TEST_F(HtmlOutputImpTest, AFailedWriteIsAbsorbedAndTheNextOperationsGoOn) {
    CHtmlOutput writer;
    ASSERT_TRUE(writer.OpenByName("/dev/full"));
    HtmlOutputImp out(&writer);
    out.WriteValue("a", "b");
    out.EndTable(true);
    EXPECT_TRUE(writer.HasWriteError());
}

} // namespace
