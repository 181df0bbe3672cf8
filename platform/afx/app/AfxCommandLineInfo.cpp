#include "AfxCommandLineInfo.h"

#include "WinCrtString.h"

namespace {

bool FlagIs(LPCTSTR pszParam, LPCTSTR name) {
    return _stricmp(pszParam, name) == 0;
}

} // namespace

void CCommandLineInfo::ParseParam(LPCTSTR pszParam, BOOL bFlag, BOOL bLast) {
    if (bFlag)
        ParseParamFlag(pszParam);
    else
        ParseParamNotFlag(pszParam);
    ParseLast(bLast);
}

void CCommandLineInfo::ParseParamFlag(LPCTSTR pszParam) {
    // Started by the shell or by another program rather than by the user: no splash window.
    if (FlagIs(pszParam, "pt")) {
        m_nShellCommand = FilePrintTo;
        m_bShowSplash = FALSE;
    } else if (FlagIs(pszParam, "p")) {
        m_nShellCommand = FilePrint;
        m_bShowSplash = FALSE;
    } else if (FlagIs(pszParam, "dde")) {
        m_nShellCommand = FileDDE;
        m_bShowSplash = FALSE;
    } else if (FlagIs(pszParam, "Embedding")) {
        m_bRunEmbedded = TRUE;
        m_bShowSplash = FALSE;
    } else if (FlagIs(pszParam, "Automation")) {
        m_bRunAutomated = TRUE;
        m_bShowSplash = FALSE;
    } else if (FlagIs(pszParam, "Register") || FlagIs(pszParam, "Regserver")) {
        m_nShellCommand = AppRegister;
    } else if (FlagIs(pszParam, "Unregister") || FlagIs(pszParam, "Unregserver")) {
        m_nShellCommand = AppUnregister;
    }
}

void CCommandLineInfo::ParseParamNotFlag(LPCTSTR pszParam) {
    if (m_strFileName.IsEmpty())
        m_strFileName = pszParam;
    else if (m_nShellCommand == FilePrintTo && m_strPrinterName.IsEmpty())
        m_strPrinterName = pszParam;
    else if (m_nShellCommand == FilePrintTo && m_strDriverName.IsEmpty())
        m_strDriverName = pszParam;
    else if (m_nShellCommand == FilePrintTo && m_strPortName.IsEmpty())
        m_strPortName = pszParam;
}

void CCommandLineInfo::ParseLast(BOOL bLast) {
    if (!bLast)
        return;
    if (m_nShellCommand == FileNew && !m_strFileName.IsEmpty())
        m_nShellCommand = FileOpen;
    // A program started for another program's sake opens nothing of its own.
    if (m_nShellCommand == FileNew && (m_bRunEmbedded || m_bRunAutomated))
        m_nShellCommand = FileNothing;
}
