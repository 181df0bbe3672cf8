// CXmlOutput: the XML device report's writer. The document is built in memory in its mark-up document and
// written to the file in one piece when complete. The file is what its declaration says, UTF-8: the program's
// 8-bit text (the ANSI code page) is converted as the document is written.
#pragma once

#include <afx.h>

#include "Markup.h"

class CXmlOutput {
public:
    CXmlOutput();
    // Opens the named file (created or truncated) and keeps the name.
    virtual BOOL OpenByName(LPCTSTR fileName);
    // Asks for the file in the save dialog (".xml" by default) and opens it; a cancel is no message, a file
    // that cannot be opened is told ("Failed to open:" and the path). TRUE when the file is open.
    virtual BOOL Open();
    // The document becomes the XML declaration; the root element is added and entered.
    virtual bool BeginDocument(LPCSTR rootName);
    virtual ~CXmlOutput();
    CXmlOutput(const CXmlOutput&) = delete;
    CXmlOutput& operator=(const CXmlOutput&) = delete;

    // Writes the bytes unchanged; false when the write failed.
    bool WriteString(LPCSTR text);
    // Writes the whole document, converted to UTF-8, with one WriteString.
    bool WriteDocument();

    CMarkup& GetMarkup() { return m_Markup; }
    // Set by the first failed write and kept: a report that lost text must not announce success.
    bool HasWriteError() const { return m_WriteError; }
    void Close();
    const CString& GetFileName() const { return m_FileName; }

    static const char kDeclaration[];

protected:
    CStdioFile m_File;
    CString m_FileName;
    CMarkup m_Markup;
    bool m_WriteError;
};
