// CHtmlOutput: the HTML device report's writer. It owns the report file and writes each piece of mark-up at
// once, as 8-bit text unchanged; the primitives below write whole lines, each ending in CR LF, with the pieces
// of one table cell on one line. Arguments are written verbatim: values are escaped by the caller.
#pragma once

#include <initializer_list>

#include <afx.h>

class CHtmlOutput {
public:
    CHtmlOutput();
    // Opens the named file (created or truncated) and keeps the name.
    virtual BOOL OpenByName(LPCTSTR fileName);
    // Asks for the file in the save dialog (".htm" by default) and opens it; a cancel is no message, a file
    // that cannot be opened is told ("Failed to open:" and the path). TRUE when the file is open.
    virtual BOOL OpenFile();
    virtual ~CHtmlOutput();
    CHtmlOutput(const CHtmlOutput&) = delete;
    CHtmlOutput& operator=(const CHtmlOutput&) = delete;

    // The text and CR LF; false when the write failed (later writes still go on).
    bool WriteLine(LPCSTR text);
    // The text alone; false when the write failed.
    bool WriteString(LPCSTR text);

    // The XHTML 1.0 Transitional head with the title and the style sheet, up to "<body>".
    void WriteHeader(LPCSTR title);
    void WriteFooter();
    void WritePageTitle(LPCSTR text);
    // A banner heads a part of the page; each one carries the anchor "top".
    void WriteBanner(LPCSTR text);
    void WriteSystemRow(LPCSTR label, LPCSTR value, LPCSTR width);
    void WriteBlockquoteOpen();
    void WriteBlockquoteClose();
    void WriteSubHeading(LPCSTR title);
    void BeginPlainTable();
    void EndPlainTable();
    void BeginBorderedTable();
    void EndBorderedTable();
    void WriteHeaderRow(LPCSTR left, LPCSTR right);
    void WriteValueRow(LPCSTR name, LPCSTR value);

    // Set by the first failed write and kept: a report that lost text must not announce success.
    bool HasWriteError() const { return m_WriteError; }
    void Close();
    const CString& GetFileName() const { return m_FileName; }

protected:
    // A 50-pixel table of one row (its start tag given) holding the text in the font class, then a break.
    void WriteTitleTable(LPCSTR rowStart, LPCSTR fontClass, LPCSTR text);
    // The pieces joined into one line.
    bool WriteJoinedLine(std::initializer_list<LPCSTR> pieces);

    CStdioFile m_File;
    CString m_FileName;
    bool m_WriteError;
};
