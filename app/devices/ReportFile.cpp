#include "ReportFile.h"

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

} // namespace report_file
