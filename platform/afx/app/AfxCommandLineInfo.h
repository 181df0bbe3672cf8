// CCommandLineInfo: what the program's command line asks for, as CWinApp::ParseCommandLine reads it
// parameter by parameter, and CWinApp::ProcessShellCommand carries out.
#pragma once

#include "AfxObject.h"
#include "AfxString.h"

class CCommandLineInfo : public CObject {
public:
    enum { FileNew, FileOpen, FilePrint, FilePrintTo, FileDDE, AppRegister, AppUnregister, FileNothing = -1 };

    CCommandLineInfo() = default;
    ~CCommandLineInfo() override = default;

    // One parameter: bFlag when it began with '-' or '/' (which is then removed); bLast for the final one.
    virtual void ParseParam(LPCTSTR pszParam, BOOL bFlag, BOOL bLast);

    BOOL m_bShowSplash = TRUE;
    BOOL m_bRunEmbedded = FALSE;
    BOOL m_bRunAutomated = FALSE;
    int m_nShellCommand = FileNew;
    CString m_strFileName;
    CString m_strPrinterName;
    CString m_strDriverName;
    CString m_strPortName;

protected:
    void ParseParamFlag(LPCTSTR pszParam);
    void ParseParamNotFlag(LPCTSTR pszParam);
    void ParseLast(BOOL bLast);
};
