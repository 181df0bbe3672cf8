#include "HtmlOutput.h"

#include <cstring>

#include "ReportFile.h"

CHtmlOutput::CHtmlOutput() : m_WriteError(false) {}

CHtmlOutput::~CHtmlOutput() {
    Close();
}

BOOL CHtmlOutput::OpenByName(LPCTSTR fileName) {
    return report_file::OpenNamed(m_File, fileName, m_FileName, m_WriteError);
}

void CHtmlOutput::Close() {
    report_file::Close(m_File, m_WriteError);
}

bool CHtmlOutput::WriteLine(LPCSTR text) {
    return WriteJoinedLine({text});
}

bool CHtmlOutput::WriteString(LPCSTR text) {
    if (text == nullptr)
        text = "";
    return report_file::Write(m_File, text, static_cast<UINT>(std::strlen(text)), m_WriteError);
}

bool CHtmlOutput::WriteJoinedLine(std::initializer_list<LPCSTR> pieces) {
    CString line;
    for (LPCSTR piece : pieces)
        line += piece;
    line += "\r\n";
    return report_file::Write(m_File, line.GetString(), static_cast<UINT>(line.GetLength()), m_WriteError);
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
