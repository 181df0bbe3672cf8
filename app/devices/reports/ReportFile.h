// The file side the device-report writers share: the report file is opened for writing in create mode,
// binary, so CR LF goes out as written; a failed write is caught and reported by the result, and remembered.
#pragma once

#include <afx.h>

namespace report_file {

// Create + write + binary (0x9001), the mode of every export the program writes.
constexpr UINT kOpenFlags = CFile::modeCreate | CFile::modeWrite | CFile::typeBinary;
static_assert(kOpenFlags == 0x9001);

BOOL Open(CStdioFile& file, LPCTSTR fileName);
// The writers' open-by-name step: a file still open is closed, the error flag starts afresh, the named file
// is opened and, on success, its name kept in `keptName`.
BOOL OpenNamed(CStdioFile& file, LPCTSTR fileName, CString& keptName, bool& writeError);
// Writes `length` bytes. A file or invalid-argument error of the file layer is caught and deleted: false, and
// `writeError` is set and stays set, so a report can tell before it announces success.
bool Write(CStdioFile& file, LPCSTR text, UINT length, bool& writeError);
// Closes the file when it is open; a failure on closing counts as a failed write.
void Close(CStdioFile& file, bool& writeError);

// The program's 8-bit text in the ANSI code page, as UTF-8 (the encoding a page or document declares); ASCII
// comes out byte for byte.
CString AnsiToUtf8(const CString& text);

} // namespace report_file
