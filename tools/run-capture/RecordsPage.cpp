#include "tools/run-capture/RecordsPage.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/devices/reports/CleanHtml.h"
#include "app/devices/reports/ReportFile.h"
#include "app/ui/PanePointers.h"
#include "tests/support/LogDetailsPane.h"

namespace tdl::session {

namespace {

// A buffer's bytes past this many are counted, not dumped: the stick's transfers carry kilobytes each, and
// the page must stay small enough to open.
constexpr ULONG kDumpBytes = 128;
// The "Data" column shows the first bytes of what the decoder put in the data bar.
constexpr ULONG kFirstBytes = 8;

const char kStyle[] =
    R"(body { font-family: "Segoe UI", Tahoma, Verdana, Arial, sans-serif; font-size: 13px; margin: 12px 16px; color: #000; }
h1 { font-size: 18px; margin: 0 0 4px 0; }
p.summary { margin: 0 0 10px 0; }
table.records { border-collapse: collapse; width: 100%; }
table.records > thead th { position: sticky; top: 0; background: #e1dfdf; border: 1px solid #a0a0a0; padding: 3px 6px; text-align: left; white-space: nowrap; }
tr.record > td { border: 1px solid #d0d0d0; border-bottom: none; padding: 2px 6px; white-space: nowrap; vertical-align: top; }
td.number, td.time { text-align: right; font-variant-numeric: tabular-nums; }
td.data, pre.dump { font-family: Consolas, "DejaVu Sans Mono", monospace; }
tr.decode > td { border: 1px solid #d0d0d0; border-top: none; padding: 0 6px 0 20px; background: #fff; color: #000; font-size: 11px; line-height: 13px; }
details > summary { cursor: pointer; color: #707070; }
details[open] { font-size: 13px; line-height: normal; }
table.grid { border-collapse: collapse; margin: 4px 0 6px 0; min-width: 640px; max-width: 1200px; }
table.grid th { background: #d8dce8; text-align: left; padding: 2px 6px; }
table.grid td { border-bottom: 1px solid #ececec; padding: 1px 6px; vertical-align: top; }
table.grid td:first-child { color: #202020; white-space: nowrap; }
table.grid tr.l1 > td:first-child { padding-left: 24px; }
table.grid tr.l2 > td:first-child { padding-left: 42px; }
table.grid tr.l3 > td:first-child { padding-left: 60px; }
table.grid tr.l4 > td:first-child { padding-left: 78px; }
table.grid td + td { font-family: Consolas, "DejaVu Sans Mono", monospace; white-space: pre-wrap; }
div.databar { margin: 2px 0 8px 0; }
div.databar > div.title { font-weight: bold; white-space: pre; }
pre.dump { margin: 2px 0 0 0; background: #f6f6f6; padding: 4px 6px; display: inline-block; }
)";

// What the decoder put in the data bar while it showed the record: each title with the bytes set after it.
class DataBarCapture : public CDataBarSink {
public:
    struct Buffer {
        CString title;
        std::vector<BYTE> bytes;
    };

    DataBarCapture() { CPanePointers::SetDataBarSink(this); }
    ~DataBarCapture() override { CPanePointers::SetDataBarSink(nullptr); }
    DataBarCapture(const DataBarCapture&) = delete;
    DataBarCapture& operator=(const DataBarCapture&) = delete;

    void SetTitle(const CString& title) override { m_title = title; }
    void SetDataBuffer(const BYTE* pData, ULONG count) override {
        m_buffers.push_back({m_title, std::vector<BYTE>(pData, pData + count)});
    }

    const std::vector<Buffer>& Buffers() const { return m_buffers; }

private:
    CString m_title;
    std::vector<Buffer> m_buffers;
};

// The program's text, escaped for the page and in UTF-8.
std::string Html(const CString& text) {
    CString escaped;
    CleanHtml().Escape(escaped, text);
    const CString utf8 = report_file::AnsiToUtf8(escaped);
    return std::string(utf8.GetString(), static_cast<size_t>(utf8.GetLength()));
}

std::string CssColour(COLORREF colour) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", GetRValue(colour), GetGValue(colour), GetBValue(colour));
    return text;
}

std::string ColourStyle(COLORREF text, COLORREF background) {
    return " style=\"color:" + CssColour(text) + ";background:" + CssColour(background) + "\"";
}

std::string Cell(const char* cls, const CString& text, const std::string& style = {}) {
    return std::string("<td class=\"") + cls + "\"" + style + ">" + Html(text) + "</td>";
}

// The first bytes of the first buffer the decoder showed, as the list's "Data" column would.
CString FirstBytes(const std::vector<DataBarCapture::Buffer>& buffers) {
    CString text;
    if (buffers.empty())
        return text;
    const std::vector<BYTE>& bytes = buffers.front().bytes;
    for (size_t i = 0; i < bytes.size() && i < kFirstBytes; ++i) {
        CString byte;
        byte.Format(i ? " %02x" : "%02x", bytes[i]);
        text += byte;
    }
    if (bytes.size() > kFirstBytes)
        text += " ...";
    return text;
}

// Offset, sixteen bytes in hexadecimal and their printable characters a line, as the data bar shows them.
std::string HexDump(const std::vector<BYTE>& bytes) {
    std::string dump;
    const size_t shown = std::min<size_t>(bytes.size(), kDumpBytes);
    for (size_t line = 0; line < shown; line += 16) {
        char text[96];
        int at = std::snprintf(text, sizeof text, "%04zx ", line);
        for (size_t i = line; i < line + 16; ++i)
            at += i < shown ? std::snprintf(text + at, sizeof text - at, " %02x", bytes[i])
                            : std::snprintf(text + at, sizeof text - at, "   ");
        at += std::snprintf(text + at, sizeof text - at, "  ");
        for (size_t i = line; i < line + 16 && i < shown; ++i)
            text[at++] = bytes[i] >= 0x20 && bytes[i] < 0x7F ? static_cast<char>(bytes[i]) : '.';
        text[at] = '\0';
        dump += Html(text);
        dump += '\n';
    }
    if (bytes.size() > shown)
        dump += "... " + std::to_string(bytes.size() - shown) + " more bytes (" + std::to_string(bytes.size()) +
                " in all)\n";
    return dump;
}

// The items a user sees below `items`, one row each, indented by level; a category is a heading row.
void GridRows(const CGkPropertyGridItems* items, int level, std::string& out) {
    for (int i = 0; i < items->GetCount(); ++i) {
        const CGkPropertyGridItem* item = items->GetAt(i);
        if (item->IsHidden())
            continue;
        if (item->IsCategory() && level == 0) {
            out += "<tr><th colspan=\"2\">" + Html(item->GetCaption()) + "</th></tr>\n";
        } else {
            const std::string tip =
                item->GetDescription().IsEmpty() ? std::string() : " title=\"" + Html(item->GetDescription()) + "\"";
            // A failing status is shown in red; every other value keeps the ordinary colour.
            const CGkPaintManagerColor& colour = item->GetValueMetrics()->m_clrFore;
            const bool marked =
                !colour.IsDefaultValue() && colour.GetCustomValue() != tdl::test::LogDetailsPane::kValueColour;
            const std::string valueStyle = marked ? " style=\"color:" + CssColour(colour.GetCustomValue()) + "\"" : "";
            const int indent = std::min(level - 1, 4);
            out += (indent > 0 ? "<tr class=\"l" + std::to_string(indent) + "\">" : std::string("<tr>")) + "<td" + tip +
                   ">" + Html(item->GetCaption()) + "</td><td" + valueStyle + ">" + Html(item->GetValue()) +
                   "</td></tr>\n";
        }
        GridRows(item->GetChilds(), level + 1, out);
    }
}

const char* const kColumns[] = {"#",           "Type", "Time", "Request",    "I/O", "Target",
                                "Cfg:Ifc:Epa", "CBW",  "CSW",  "Irp Status", "Data"};

// One record: its row of the list and, under it, its decode and data.
std::string RecordRows(CUSBLog& document, const LogRecords::CLogRecords& records, INT_PTR index,
                       const _LOGHDR* pRecord) {
    COLORREF kindText = 0;
    COLORREF kindBack = 0;
    COLORREF text = 0;
    COLORREF back = 0;
    records.GetRecordColours(&document, index, kindText, kindBack);
    records.GetRecordHighlight(&document, index, text, back);
    const std::string kindStyle = ColourStyle(kindText, kindBack);
    const std::string style = ColourStyle(text, back);

    DataBarCapture dataBar;
    tdl::test::LogDetailsPane pane;
    const bool decoded = pane.ShowRecord(&document, pRecord);

    CString type;
    CString state;
    BOOL boundary = FALSE;
    CString number;
    number.Format("%lu", static_cast<unsigned long>(records.FormatSequence(&document, index, boundary)));
    CString time;
    CString request;
    CString direction;
    CString target;
    CString endpoint;
    CString cbw;
    CString csw;
    CString status;
    records.FormatCategory(&document, index, type, state);
    records.FormatElapsedTime(&document, index, time);
    records.FormatRequest(&document, index, request);
    records.FormatDirection(&document, index, direction);
    records.FormatTargetDevice(&document, index, target);
    records.FormatCfgIfcEp(&document, index, endpoint);
    records.FormatCbw(&document, index, cbw);
    records.FormatCsw(&document, index, csw);
    records.FormatIrpStatus(&document, index, status);

    // The list's colours: the kind's in the first column, the record's (a gap, the trigger) in the others.
    std::string row = "<tr class=\"record\"" + style + ">" + Cell("number", number) +
                      Cell("type", type.Trim() + " " + state.Trim(), kindStyle) + Cell("time", time) +
                      Cell("request", request) + Cell("direction", direction) + Cell("target", target) +
                      Cell("endpoint", endpoint) + Cell("cbw", cbw) + Cell("csw", csw) + Cell("status", status) +
                      Cell("data", FirstBytes(dataBar.Buffers())) + "</tr>\n";
    row += "<tr class=\"decode\"><td colspan=\"" + std::to_string(std::size(kColumns)) +
           "\"><details><summary>details</summary>\n";
    if (decoded) {
        row += "<table class=\"grid\">\n";
        GridRows(pane.Grid().GetCategories(), 0, row);
        row += "</table>\n";
    }
    for (const DataBarCapture::Buffer& buffer : dataBar.Buffers()) {
        CString title = buffer.title;
        row += "<div class=\"databar\"><div class=\"title\">" + Html(title.Trim()) + "</div><pre class=\"dump\">" +
               HexDump(buffer.bytes) + "</pre></div>\n";
    }
    row += "</details></td></tr>\n";
    return row;
}

} // namespace

INT_PTR WriteRecordsPage(CUSBLog& document, LPCSTR lpszPath, INT_PTR nMaxRecords) {
    std::ofstream page(lpszPath, std::ios::binary | std::ios::trunc);
    if (!page)
        return -1;
    LogRecords::CLogRecords* pRecords = document.GetLogRecords();
    const INT_PTR nHeld = pRecords != nullptr ? pRecords->GetCount() : 0;
    const INT_PTR nShown = pRecords != nullptr ? std::min(pRecords->GetDisplayCount(&document), nMaxRecords) : 0;

    page << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
         << "<title>Tindaloft - Decoded Records</title>\n<style>\n"
         << kStyle << "</style>\n</head>\n<body>\n<h1>Decoded Records</h1>\n<p class=\"summary\">The capture holds "
         << nHeld << (nHeld == 1 ? " record" : " records");
    if (nShown < nHeld)
        page << "; the first " << nShown << " are shown";
    page << ". Open a record to read its decode.</p>\n<table class=\"records\">\n<thead><tr>";
    for (const char* column : kColumns)
        page << "<th>" << column << "</th>";
    page << "</tr></thead>\n<tbody>\n";

    INT_PTR nWritten = 0;
    for (; nWritten < nShown; ++nWritten) {
        const _LOGHDR* pRecord = pRecords->GetRecordAt(&document, nWritten);
        if (pRecord == nullptr)
            break;
        page << RecordRows(document, *pRecords, nWritten, pRecord);
    }
    page << "</tbody>\n</table>\n</body>\n</html>\n";
    page.close();
    return page ? nWritten : -1;
}

} // namespace tdl::session
