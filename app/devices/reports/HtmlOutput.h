// CHtmlOutput: the HTML device report's writer. It owns the report file and writes each piece of mark-up at
// once, as 8-bit text unchanged; the primitives below write whole lines, each ending in CR LF, with the pieces
// of one table cell on one line. Arguments are written verbatim: values are escaped by the caller.
// While a Batch is open the pieces gather in memory instead and reach the file in large writes (when the
// batch closes, or when enough has gathered): a writer of many small rows makes a few calls to the file, not
// one a line. A failed write of a batch is remembered as any other.
#pragma once

#include <initializer_list>
#include <string>

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

    // Gathers the writes while it is open; the outermost one to close writes them on.
    class Batch {
    public:
        explicit Batch(CHtmlOutput* writer) : m_Writer(writer) { ++m_Writer->m_Batches; }
        ~Batch() {
            if (--m_Writer->m_Batches == 0)
                m_Writer->FlushPending();
        }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        CHtmlOutput* m_Writer;
    };

    // Set by the first failed write and kept: a report that lost text must not announce success. The text a
    // batch gathered is written first, so that its failure is not hidden.
    bool HasWriteError() {
        FlushPending();
        return m_WriteError;
    }
    void Close();
    const CString& GetFileName() const { return m_FileName; }

protected:
    // A 50-pixel table of one row (its start tag given) holding the text in the font class, then a break.
    void WriteTitleTable(LPCSTR rowStart, LPCSTR fontClass, LPCSTR text);
    // The pieces joined into one line.
    bool WriteJoinedLine(std::initializer_list<LPCSTR> pieces);
    // The text to the file, or to the pending text while a batch is open.
    bool WriteText(const char* text, size_t length);
    // Writes the pending text on; false when that failed.
    bool FlushPending();

    CStdioFile m_File;
    CString m_FileName;
    bool m_WriteError;
    int m_Batches = 0;
    std::string m_Pending;
};
