#include "HtmlOutput.h"

#include <cstring>

#include "ReportFile.h"
#include "app/decoders/framework/SaveAsFile.h"

namespace {

// The page's style sheet: each selector with its declarations. Every declaration ends in ";": a browser
// reads one without it and the next as a single declaration it cannot parse, and drops both.
struct StyleRule {
    const char* selector;
    std::initializer_list<const char*> declarations;
};

constexpr char kFont[] = "font-family: Verdana,Arial,Helvetica;";

const StyleRule kStyleSheet[] = {
    {"body", {kFont}},
    {"FONT.bold_large_black", {"COLOR:black;", "FONT-SIZE:14pt;", kFont, "FONT-WEIGHT:bold;"}},
    {"FONT.bold_big_black", {"COLOR:black;", "FONT-SIZE:12pt;", kFont, "FONT-WEIGHT:bold;"}},
    {"FONT.std_black", {"COLOR:black;", "FONT-SIZE:11pt;", kFont, "FONT-WEIGHT:normal;"}},
    {"FONT.bold_std_black", {"COLOR:black;", "FONT-SIZE:11pt;", kFont, "FONT-WEIGHT:bold;"}},
    {"FONT.sml_black", {"COLOR:black;", "FONT-SIZE:9pt;", kFont, "FONT-WEIGHT:normal;"}},
    {"FONT.bold_sml_black", {"COLOR:black;", "FONT-SIZE:9pt;", kFont, "FONT-WEIGHT:bold;"}},
    {"TR.skyblue", {"background-color: #bdcef7;"}},
    {"TD.steelgray", {"background: #e1dfdf;"}},
    {"TH.steelgray", {"background: #e1dfdf;"}},
    {"TD.palegreen", {"background: #bef8d5;"}},
    {"TH.palegreen", {"background: #bef8d5;"}},
};

} // namespace

CHtmlOutput::CHtmlOutput() : m_WriteError(false) {}

CHtmlOutput::~CHtmlOutput() {
    Close();
}

BOOL CHtmlOutput::OpenByName(LPCTSTR fileName) {
    FlushPending();
    return report_file::OpenNamed(m_File, fileName, m_FileName, m_WriteError);
}

BOOL CHtmlOutput::OpenFile() {
    return save_as::ChooseAndOpen(m_File, m_FileName, m_WriteError, "htm",
                                  "HTML Files (*.htm)|*.htm|All Files (*.*)|*.*||")
               ? TRUE
               : FALSE;
}

void CHtmlOutput::Close() {
    FlushPending();
    report_file::Close(m_File, m_WriteError);
}

bool CHtmlOutput::WriteText(const char* text, size_t length) {
    // Enough gathered to make one write worth its call.
    constexpr size_t kPendingLimit = 64 * 1024;
    if (m_Batches == 0)
        return report_file::Write(m_File, text, static_cast<UINT>(length), m_WriteError);
    m_Pending.append(text, length);
    if (m_Pending.size() >= kPendingLimit)
        return FlushPending();
    return !m_WriteError;
}

bool CHtmlOutput::FlushPending() {
    if (m_Pending.empty())
        return !m_WriteError;
    const bool written =
        report_file::Write(m_File, m_Pending.data(), static_cast<UINT>(m_Pending.size()), m_WriteError);
    m_Pending.clear();
    return written;
}

bool CHtmlOutput::WriteLine(LPCSTR text) {
    return WriteJoinedLine({text});
}

bool CHtmlOutput::WriteString(LPCSTR text) {
    if (text == nullptr)
        text = "";
    return WriteText(text, std::strlen(text));
}

bool CHtmlOutput::WriteJoinedLine(std::initializer_list<LPCSTR> pieces) {
    if (m_Batches > 0) {
        for (LPCSTR piece : pieces)
            if (piece != nullptr)
                m_Pending += piece;
        return WriteText("\r\n", 2);
    }
    CString line;
    for (LPCSTR piece : pieces)
        line += piece;
    line += "\r\n";
    return report_file::Write(m_File, line.GetString(), static_cast<UINT>(line.GetLength()), m_WriteError);
}

void CHtmlOutput::WriteHeader(LPCSTR title) {
    WriteLine("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\" "
              "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">");
    WriteLine("<html xmlns=\"http://www.w3.org/1999/xhtml\">");
    WriteLine("<head>");
    // The text is the program's 8-bit text, the ANSI code page; a browser left to guess reads it otherwise.
    WriteLine("    <meta http-equiv=\"Content-Type\" content=\"text/html; charset=windows-1252\" />");
    WriteJoinedLine({"    <title>", title, "</title>"});
    WriteLine("    <style type=\"text/css\">");
    for (const StyleRule& rule : kStyleSheet) {
        WriteJoinedLine({rule.selector, " {"});
        for (const char* declaration : rule.declarations)
            WriteJoinedLine({"   ", declaration});
        WriteLine("}");
    }
    WriteLine("    </style>");
    WriteLine("</head>");
    WriteLine("<body>");
}

void CHtmlOutput::WriteFooter() {
    WriteLine("</body>");
    WriteLine("</html>");
}

void CHtmlOutput::WritePageTitle(LPCSTR text) {
    WriteTitleTable("<tr>", "bold_large_black", text);
}

void CHtmlOutput::WriteBanner(LPCSTR text) {
    WriteLine("<a name=\"top\"></a>");
    WriteTitleTable("<tr class=\"skyblue\">", "bold_big_black", text);
}

void CHtmlOutput::WriteTitleTable(LPCSTR rowStart, LPCSTR fontClass, LPCSTR text) {
    WriteLine("<table height=\"50\" width=\"100%\" cellspacing=\"0\">");
    WriteLine(rowStart);
    WriteLine("<td width=\"5%\">&nbsp;</td>");
    WriteJoinedLine({"<td>", "<b><font class=\"", fontClass, "\">", text, "</font></b>", "</td>"});
    WriteLine("</tr>");
    WriteLine("</table>");
    WriteLine("<br />");
}

void CHtmlOutput::WriteSystemRow(LPCSTR label, LPCSTR value, LPCSTR width) {
    WriteLine("<tr>");
    WriteJoinedLine(
        {"<td width=\"", width, "\" align=\"right\">", "<font class=\"sml_black\">", label, "</font>", "</td>"});
    WriteLine("<td>&nbsp;</td>");
    WriteJoinedLine({"<td>", "<b><font class=\"sml_black\">", value, "</font></b>", "</td>"});
    WriteLine("</tr>");
}

void CHtmlOutput::WriteBlockquoteOpen() {
    WriteLine("<blockquote>");
}

void CHtmlOutput::WriteBlockquoteClose() {
    WriteLine("</blockquote>");
}

void CHtmlOutput::WriteSubHeading(LPCSTR title) {
    WriteLine("<table height=\"20\" width=\"100%\" cellspacing=\"0\">");
    WriteLine("<tr>");
    WriteLine("<td class=\"palegreen\" width=\"5%\">&nbsp;</td>");
    WriteJoinedLine({"<td class=\"palegreen\">", "<b><font class=\"bold_std_black\">", title, "</font></b>", "</td>"});
    WriteLine("</tr>");
    WriteLine("</table>");
    WriteLine("<br />");
}

void CHtmlOutput::BeginPlainTable() {
    WriteLine("<table width=\"100%\" cellspacing=\"0\">");
}

void CHtmlOutput::EndPlainTable() {
    WriteLine("</table>");
}

void CHtmlOutput::BeginBorderedTable() {
    WriteLine("<table width=\"100%\" border=\"1\" cellspacing=\"0\">");
}

void CHtmlOutput::EndBorderedTable() {
    WriteLine("</table>");
    WriteLine("<br />");
}

void CHtmlOutput::WriteHeaderRow(LPCSTR left, LPCSTR right) {
    WriteLine("<tr>");
    WriteJoinedLine({"<th class=\"steelgray\" align=\"center\" width=\"10%\">", "<font class=\"sml_black\">", left,
                     "</font>", "</th>"});
    WriteJoinedLine(
        {"<th class=\"steelgray\" align=\"center\">", "<font class=\"sml_black\">", right, "</font>", "</th>"});
    WriteLine("</tr>");
}

void CHtmlOutput::WriteValueRow(LPCSTR name, LPCSTR value) {
    WriteLine("<tr>");
    WriteJoinedLine({"<th align=\"center\" width=\"10%\">", "<font class=\"sml_black\">", name, "</font>", "</th>"});
    WriteJoinedLine({"<td align=\"center\">", "<font class=\"sml_black\">", value, "</font>", "</td>"});
    WriteLine("</tr>");
}
