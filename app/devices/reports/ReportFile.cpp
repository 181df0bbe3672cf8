#include "ReportFile.h"

#include <vector>

namespace report_file {

BOOL Open(CStdioFile& file, LPCTSTR fileName) {
    if (fileName == nullptr)
        return FALSE;
    return file.Open(fileName, kOpenFlags);
}

BOOL OpenNamed(CStdioFile& file, LPCTSTR fileName, CString& keptName, bool& writeError) {
    Close(file, writeError);
    writeError = false;
    if (!Open(file, fileName))
        return FALSE;
    keptName = fileName;
    return TRUE;
}

bool Write(CStdioFile& file, LPCSTR text, UINT length, bool& writeError) {
    try {
        file.Write(text, length);
        return true;
    } catch (CFileException* e) {
        e->Delete();
    } catch (CInvalidArgException* e) {
        e->Delete();
    }
    writeError = true;
    return false;
}

void Close(CStdioFile& file, bool& writeError) {
    if (file.m_hFile == CFile::hFileNull)
        return;
    try {
        file.Close();
    } catch (CException* e) {
        e->Delete();
        writeError = true;
        file.Abort();
    }
}

CString AnsiToUtf8(const CString& text) {
    if (text.IsEmpty())
        return CString();
    int wideLength = ::MultiByteToWideChar(CP_ACP, 0, text.GetString(), text.GetLength(), nullptr, 0);
    std::vector<WCHAR> wide(static_cast<size_t>(wideLength));
    ::MultiByteToWideChar(CP_ACP, 0, text.GetString(), text.GetLength(), wide.data(), wideLength);
    int utf8Length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    CString utf8;
    if (utf8Length > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), wideLength, utf8.GetBufferSetLength(utf8Length), utf8Length,
                              nullptr, nullptr);
    }
    return utf8;
}

} // namespace report_file
