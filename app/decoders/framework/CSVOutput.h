// CCSVOutput: the export of the data bar's bytes as a CSV file: one line of two-digit lower-case hexadecimal
// numbers separated by commas, ended by CR LF, however many bytes there are.
#pragma once

#include <afx.h>

class CCSVOutput {
public:
    CCSVOutput();
    // Opens the named file in the export mode (created or truncated, binary) and keeps its path.
    virtual BOOL OpenPath(LPCTSTR path);
    // Asks for the file with the save dialog and opens it; false when cancelled or it could not be opened
    // (the user has then been told).
    virtual BOOL Open();
    virtual ~CCSVOutput();
    CCSVOutput(const CCSVOutput&) = delete;
    CCSVOutput& operator=(const CCSVOutput&) = delete;

    // Writes the bytes as the file's one line, in one write; false for no bytes (nothing written) or a failed
    // write (what went out before the failure stays).
    bool WriteBytes(const BYTE* bytes, UINT count);
    void Close();
    const CString& GetPath() const { return m_Path; }

private:
    CStdioFile m_File;
    CString m_Path;
    bool m_WriteError;
};
