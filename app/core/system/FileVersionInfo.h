// CFileVersionInfo: what a module's version resource says. The program reads its own version numbers this way
// (and the splash window its release text); with a language and a value name, one string of the resource too.
#pragma once

#include "afx.h"
#include "windows.h"

class CFileVersionInfo {
public:
    // `languageAndCodePage` is the string table's name ("040904b0"), `valueName` the string's ("ProductName");
    // with neither only the version texts are read. Whatever cannot be read stays empty.
    explicit CFileVersionInfo(HMODULE hModule, LPCSTR languageAndCodePage = nullptr, LPCSTR valueName = nullptr);

    const CString& GetValue() const { return m_strValue; }
    // "%u,%u,%u,%u": high and low word of the most significant, then of the least significant half.
    const CString& GetFileVersion() const { return m_strFileVersion; }
    const CString& GetProductVersion() const { return m_strProductVersion; }

    CString m_strValue;
    CString m_strFileVersion;
    CString m_strProductVersion;
};

// The numbers of a version text "a,b,c,d" (decimal) into anNumbers; tokens past the fourth are ignored, a
// missing one leaves its entry as it was.
void SplitVersionNumbers(const CString& strVersion, int (&anNumbers)[4]);
