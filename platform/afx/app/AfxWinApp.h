// CWinApp: the program's one application object. It owns the program's name, its profile (settings under
// HKEY_CURRENT_USER "Software\<registry key>\<application>\<section>"), the recent-file list, the document
// templates (through the document manager) and the start-up helpers: command-line parsing, the shell command,
// help. Application objects may run one after another in one process; the newest constructed is current.
#pragma once

#include "AfxCommandLineInfo.h"
#include "AfxString.h"
#include "AfxWinThread.h"
#include "WinRegistry.h"

class CCmdUI;
class CDocManager;
class CDocTemplate;
class CDocument;
class CRecentFileList;

enum AFX_HELP_TYPE { afxWinHelp = 0, afxHTMLHelp = 1 };

class CWinApp : public CWinThread {
    DECLARE_DYNAMIC(CWinApp)
public:
    explicit CWinApp(LPCTSTR lpszAppName = nullptr);
    ~CWinApp() override;

    // Start-up.
    virtual BOOL InitApplication();
    BOOL InitInstance() override;
    // Saves the recent-file list; the result is the program's exit code (the wParam of WM_QUIT).
    int ExitInstance() override;

    // Profile. Values live under HKEY_CURRENT_USER "Software\<m_pszRegistryKey>\<m_pszProfileName>\<section>";
    // without a registry key there is no profile: reads give the default, writes fail.
    void SetRegistryKey(LPCTSTR lpszRegistryKey);
    void SetRegistryKey(UINT nIDRegistryKey);
    HKEY GetAppRegistryKey();                // created when missing; the caller closes it
    HKEY GetSectionKey(LPCTSTR lpszSection); // created when missing; the caller closes it
    // A missing value, or one of another type, gives the default.
    virtual UINT GetProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nDefault);
    virtual BOOL WriteProfileInt(LPCTSTR lpszSection, LPCTSTR lpszEntry, int nValue);
    virtual CString GetProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszDefault = nullptr);
    // A null entry deletes the section, a null value deletes the entry.
    virtual BOOL WriteProfileString(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPCTSTR lpszValue);
    // *ppData is allocated with new[]; the caller deletes it.
    virtual BOOL GetProfileBinary(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPBYTE* ppData, UINT* pBytes);
    virtual BOOL WriteProfileBinary(LPCTSTR lpszSection, LPCTSTR lpszEntry, LPBYTE pData, UINT nBytes);

    // Recent files: "Recent File List" with "File1" (newest) ... "File<n>".
    void LoadStdProfileSettings(UINT nMaxMRU = 4);
    void SaveStdProfileSettings();
    virtual void AddToRecentFileList(LPCTSTR lpszPathName);

    // The command line (m_lpCmdLine) into rCmdInfo, parameter by parameter.
    void ParseCommandLine(CCommandLineInfo& rCmdInfo);
    // New (as ID_FILE_NEW through the application's map), Open (through the document manager) or nothing;
    // printing, DDE and registration are not offered and fail.
    BOOL ProcessShellCommand(CCommandLineInfo& rCmdInfo);

    // Documents.
    void AddDocTemplate(CDocTemplate* pTemplate);
    POSITION GetFirstDocTemplatePosition() const;
    CDocTemplate* GetNextDocTemplate(POSITION& pos) const;
    int GetOpenDocumentCount();
    virtual CDocument* OpenDocumentFile(LPCTSTR lpszFileName);
    virtual BOOL SaveAllModified();
    void CloseAllDocuments(BOOL bEndSession);

    // Help through HTML Help ("hhctrl", bound when it is asked for; nothing happens without it).
    void EnableHtmlHelp();
    virtual void HtmlHelp(DWORD_PTR dwData, UINT nCmd = 0x000F);

    HINSTANCE m_hInstance = nullptr;
    LPTSTR m_lpCmdLine = nullptr;
    int m_nCmdShow = 1; // SW_SHOWNORMAL
    LPCTSTR m_pszAppName = nullptr;
    LPCTSTR m_pszRegistryKey = nullptr;
    LPCTSTR m_pszProfileName = nullptr;
    LPCTSTR m_pszExeName = nullptr;
    LPCTSTR m_pszHelpFilePath = nullptr;
    AFX_HELP_TYPE m_eHelpType = afxWinHelp;
    CDocManager* m_pDocManager = nullptr;
    CRecentFileList* m_pRecentFileList = nullptr;

    // Command handlers a program puts into its own map.
    void OnFileNew();
    void OnFileOpen();
    BOOL OnOpenRecentFile(UINT nID);
    void OnUpdateRecentFileMenu(CCmdUI* pCmdUI);
    // Closes the main window, which ends the program's loop.
    void OnAppExit();
    // The printer set-up request; the window system offers no print dialogs yet, so nothing is asked.
    void OnFilePrintSetup();

    // Called by AfxWinMain (and by tests that start an application object themselves): names, instance, command
    // line and show command.
    void SetCurrentHandles(HINSTANCE hInstance, LPCTSTR lpszCmdLine, int nCmdShow);

protected:
    DECLARE_MESSAGE_MAP()

private:
    CString m_strAppName;
    CString m_strRegistryKey;
    CString m_strProfileName;
    CString m_strExeName;
    CString m_strHelpFilePath;
    CString m_strCmdLine;
};

// The program's start: the application object's InitApplication, InitInstance, then Run; a failed
// InitInstance still runs ExitInstance, whose result is the exit code.
int AFXAPI AfxWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPTSTR lpCmdLine, int nCmdShow);

// The current application object (nullptr when none runs).
CWinApp* AFXAPI AfxGetApp();
// The calling thread's main window, else the application's (nullptr when there is none).
CWnd* AFXAPI AfxGetMainWnd();
LPCTSTR AFXAPI AfxGetAppName();
HINSTANCE AFXAPI AfxGetInstanceHandle();
HINSTANCE AFXAPI AfxGetResourceHandle();

// COM/OLE libraries for the program; FALSE when they cannot be initialised (AfxOleControl.h makes it fail).
BOOL AFXAPI AfxOleInit();
// The program hosts controls; nothing further to set up in this framework.
void AFXAPI AfxEnableControlContainer();
// The rich-edit control library; always present.
BOOL AFXAPI AfxInitRichEdit2();
