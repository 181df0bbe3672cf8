#include "HtmlOutputImp.h"

#include "app/devices/reports/CleanHtml.h"
#include "app/devices/reports/HtmlOutput.h"

namespace {

// What a value cell holds when there is no value: an empty cell would collapse in the page's table.
constexpr char kEmptyCell[] = "&nbsp;";

} // namespace

void HtmlOutputImp::BeginIndent() {
    m_Writer->WriteBlockquoteOpen();
}

void HtmlOutputImp::EndIndent() {
    m_Writer->WriteBlockquoteClose();
}

void HtmlOutputImp::WriteSubHeading(const CString& title) {
    m_Writer->WriteSubHeading(title);
}

void HtmlOutputImp::BeginTable(bool bordered) {
    if (bordered)
        m_Writer->BeginBorderedTable();
    else
        m_Writer->BeginPlainTable();
}

void HtmlOutputImp::EndTable(bool bordered) {
    if (bordered)
        m_Writer->EndBorderedTable();
    else
        m_Writer->EndPlainTable();
}

void HtmlOutputImp::WriteHeaderRow(const CString& first, const CString& second) {
    // A header with one text puts it in the wide cell, where a section's title belongs.
    if (second.IsEmpty())
        m_Writer->WriteHeaderRow(kEmptyCell, first);
    else
        m_Writer->WriteHeaderRow(first, second);
}

void HtmlOutputImp::WriteValue(const CString& name, const CString& value) {
    if (value.IsEmpty()) {
        m_Writer->WriteValueRow(name, kEmptyCell);
        return;
    }
    CString escaped;
    {
        CleanHtml escaper;
        escaper.Escape(escaped, value, true);
    }
    m_Writer->WriteValueRow(name, escaped);
}

void HtmlOutputImp::WriteMeaningValue(const CString& name, const CString& value, const CString& meaning) {
    WriteCombinedRow(name, value, meaning, value);
}

void HtmlOutputImp::WriteValueMeaning(const CString& name, const CString& value, const CString& meaning) {
    WriteCombinedRow(name, value, value, meaning);
}

void HtmlOutputImp::WriteCombinedRow(const CString& name, const CString& value, const CString& first,
                                     const CString& second) {
    if (value.IsEmpty()) {
        m_Writer->WriteValueRow(name, kEmptyCell);
        return;
    }
    CString cell;
    cell.Format("%s (%s)", first.GetString(), second.GetString());
    m_Writer->WriteValueRow(name, cell);
}
