#include "AfxWinApp.h"

#include <vector>

#include "AfxCmdUI.h"
#include "AfxDocManager.h"
#include "AfxHtmlHelp.h"
#include "AfxMessages.h"
#include "AfxPath.h"
#include "AfxRecentFileList.h"
#include "AfxStringTable.h"
#include "AfxWnd.h"
#include "WinFiles.h"
#include "WinModules.h"
#include "commdlg.h"

IMPLEMENT_DYNAMIC(CWinApp, CWinThread)

BEGIN_MESSAGE_MAP(CWinApp, CWinThread)
ON_COMMAND_EX_RANGE(ID_FILE_MRU_FILE1, ID_FILE_MRU_FILE16, &CWinApp::OnOpenRecentFile)
ON_UPDATE_COMMAND_UI(ID_FILE_MRU_FILE1, &CWinApp::OnUpdateRecentFileMenu)
END_MESSAGE_MAP()

namespace {

CWinApp* g_pApp = nullptr;

// The program's module path, and that path with another extension.
CString ModulePath() {
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return CString(path);
}

// Parameters as the run-time library splits a command line: blanks separate, double quotes group and go.
std::vector<CString> SplitCommandLine(LPCTSTR lpszCmdLine) {
    std::vector<CString> params;
    if (lpszCmdLine == nullptr)
        return params;
    CString current;
    bool inQuotes = false;
    bool inParam = false;
    for (LPCTSTR p = lpszCmdLine; *p != '\0'; ++p) {
        if (*p == '"') {
            inQuotes = !inQuotes;
            inParam = true;
        } else if ((*p == ' ' || *p == '\t') && !inQuotes) {
            if (inParam)
                params.push_back(current);
            current.Empty();
            inParam = false;
        } else {
            current += *p;
            inParam = true;
        }
    }
    if (inParam)
        params.push_back(current);
    return params;
}

} // namespace

CWinApp::CWinApp(LPCTSTR lpszAppName) {
    if (lpszAppName != nullptr) {
        m_strAppName = lpszAppName;
        m_pszAppName = m_strAppName;
    }
    m_nThreadID = GetCurrentThreadId();
    m_strExeName = AfxFileTitleOf(ModulePath());
    m_pszExeName = m_strExeName;
    m_strHelpFilePath = AfxWithExtension(ModulePath(), ".hlp");
    m_pszHelpFilePath = m_strHelpFilePath;
    g_pApp = this;
}

CWinApp::~CWinApp() {
    delete m_pDocManager;
    m_pDocManager = nullptr;
    delete m_pRecentFileList;
    m_pRecentFileList = nullptr;
    if (g_pApp == this)
        g_pApp = nullptr;
}

void CWinApp::SetCurrentHandles(HINSTANCE hInstance, LPCTSTR lpszCmdLine, int nCmdShow) {
    m_hInstance = hInstance != nullptr ? hInstance : GetModuleHandleA(nullptr);
    m_strCmdLine = lpszCmdLine != nullptr ? lpszCmdLine : "";
    m_lpCmdLine = const_cast<LPTSTR>(static_cast<LPCTSTR>(m_strCmdLine));
    m_nCmdShow = nCmdShow;
    if (m_pszAppName == nullptr) {
        // The program's title string, else the name of its executable.
        if (!AfxLoadString(AFX_IDS_APP_TITLE, m_strAppName))
            m_strAppName = m_strExeName;
        m_pszAppName = m_strAppName;
    }
}

BOOL CWinApp::InitApplication() {
    return TRUE;
}

BOOL CWinApp::InitInstance() {
    return TRUE;
}

int CWinApp::ExitInstance() {
    SaveStdProfileSettings();
    return static_cast<int>(m_msgCur.wParam);
}

void CWinApp::LoadStdProfileSettings(UINT nMaxMRU) {
    delete m_pRecentFileList;
    m_pRecentFileList = nullptr;
    if (nMaxMRU == 0)
        return;
    if (nMaxMRU > ID_FILE_MRU_LAST - ID_FILE_MRU_FIRST + 1)
        nMaxMRU = ID_FILE_MRU_LAST - ID_FILE_MRU_FIRST + 1;
    m_pRecentFileList = new CRecentFileList(0, "Recent File List", "File%d", static_cast<int>(nMaxMRU));
    m_pRecentFileList->ReadList();
}

void CWinApp::SaveStdProfileSettings() {
    if (m_pRecentFileList != nullptr)
        m_pRecentFileList->WriteList();
}

void CWinApp::AddToRecentFileList(LPCTSTR lpszPathName) {
    if (m_pRecentFileList != nullptr && lpszPathName != nullptr && *lpszPathName != '\0')
        m_pRecentFileList->Add(lpszPathName);
}

void CWinApp::ParseCommandLine(CCommandLineInfo& rCmdInfo) {
    std::vector<CString> params = SplitCommandLine(m_lpCmdLine);
    for (size_t i = 0; i < params.size(); ++i) {
        LPCTSTR param = params[i];
        BOOL bFlag = param[0] == '-' || param[0] == '/';
        rCmdInfo.ParseParam(bFlag ? param + 1 : param, bFlag, i + 1 == params.size());
    }
}

BOOL CWinApp::ProcessShellCommand(CCommandLineInfo& rCmdInfo) {
    switch (rCmdInfo.m_nShellCommand) {
    case CCommandLineInfo::FileNew:
        if (!OnCmdMsg(ID_FILE_NEW, CN_COMMAND, nullptr, nullptr))
            OnFileNew();
        return TRUE;
    case CCommandLineInfo::FileOpen: return OpenDocumentFile(rCmdInfo.m_strFileName) != nullptr;
    case CCommandLineInfo::FileNothing: return TRUE;
    default:
        // Printing from the command line, DDE and self-registration are not offered.
        return FALSE;
    }
}

void CWinApp::AddDocTemplate(CDocTemplate* pTemplate) {
    if (m_pDocManager == nullptr)
        m_pDocManager = new CDocManager;
    m_pDocManager->AddDocTemplate(pTemplate);
}

POSITION CWinApp::GetFirstDocTemplatePosition() const {
    return m_pDocManager != nullptr ? m_pDocManager->GetFirstDocTemplatePosition() : nullptr;
}

CDocTemplate* CWinApp::GetNextDocTemplate(POSITION& pos) const {
    return m_pDocManager->GetNextDocTemplate(pos);
}

int CWinApp::GetOpenDocumentCount() {
    return m_pDocManager != nullptr ? m_pDocManager->GetOpenDocumentCount() : 0;
}

CDocument* CWinApp::OpenDocumentFile(LPCTSTR lpszFileName) {
    return m_pDocManager != nullptr ? m_pDocManager->OpenDocumentFile(lpszFileName) : nullptr;
}

BOOL CWinApp::SaveAllModified() {
    return m_pDocManager != nullptr ? m_pDocManager->SaveAllModified() : TRUE;
}

void CWinApp::CloseAllDocuments(BOOL bEndSession) {
    if (m_pDocManager != nullptr)
        m_pDocManager->CloseAllDocuments(bEndSession);
}

void CWinApp::OnFileNew() {
    if (m_pDocManager != nullptr)
        m_pDocManager->OnFileNew();
}

void CWinApp::OnFileOpen() {
    if (m_pDocManager != nullptr)
        m_pDocManager->OnFileOpen();
}

BOOL CWinApp::OnOpenRecentFile(UINT nID) {
    if (m_pRecentFileList == nullptr)
        return FALSE;
    int nIndex = static_cast<int>(nID - ID_FILE_MRU_FILE1);
    if (nIndex < 0 || nIndex >= m_pRecentFileList->GetSize() || (*m_pRecentFileList)[nIndex].IsEmpty())
        return FALSE;
    // A copy: opening the file reorders the list.
    CString path = (*m_pRecentFileList)[nIndex];
    if (OpenDocumentFile(path) == nullptr)
        m_pRecentFileList->Remove(nIndex);
    return TRUE;
}

void CWinApp::OnUpdateRecentFileMenu(CCmdUI* pCmdUI) {
    if (m_pRecentFileList == nullptr)
        pCmdUI->Enable(FALSE);
    else
        m_pRecentFileList->UpdateMenu(pCmdUI);
}

void CWinApp::OnAppExit() {
    if (m_pMainWnd != nullptr && m_pMainWnd->m_hWnd != nullptr)
        m_pMainWnd->SendMessage(WM_CLOSE);
}

void CWinApp::OnFilePrintSetup() {
    // The printer chosen stays with the platform's settings: the application keeps no copy of its own.
    PRINTDLGA pd{};
    pd.lStructSize = sizeof pd;
    CWnd* pMainWnd = AfxGetMainWnd();
    pd.hwndOwner = pMainWnd != nullptr ? pMainWnd->GetSafeHwnd() : nullptr;
    pd.Flags = PD_PRINTSETUP;
    ::PrintDlgA(&pd);
}

void CWinApp::EnableHtmlHelp() {
    m_eHelpType = afxHTMLHelp;
    m_strHelpFilePath = AfxWithExtension(m_strHelpFilePath, ".chm");
    m_pszHelpFilePath = m_strHelpFilePath;
}

void CWinApp::HtmlHelp(DWORD_PTR dwData, UINT nCmd) {
    // Help belongs to the main window when there is one.
    if (m_pMainWnd != nullptr && m_pMainWnd->m_hWnd != nullptr) {
        m_pMainWnd->HtmlHelp(dwData, nCmd);
        return;
    }
    AfxHtmlHelp(nullptr, m_pszHelpFilePath, nCmd, dwData);
}

CWinApp* AFXAPI AfxGetApp() {
    return g_pApp;
}

CWnd* AFXAPI AfxGetMainWnd() {
    CWinThread* pThread = AfxGetThread();
    CWnd* pMainWnd = pThread != nullptr ? pThread->GetMainWnd() : nullptr;
    if (pMainWnd == nullptr && g_pApp != nullptr)
        pMainWnd = g_pApp->m_pMainWnd;
    return pMainWnd;
}

LPCTSTR AFXAPI AfxGetAppName() {
    return g_pApp != nullptr ? g_pApp->m_pszAppName : nullptr;
}

HINSTANCE AFXAPI AfxGetInstanceHandle() {
    return g_pApp != nullptr && g_pApp->m_hInstance != nullptr ? g_pApp->m_hInstance : GetModuleHandleA(nullptr);
}

HINSTANCE AFXAPI AfxGetResourceHandle() {
    return AfxGetInstanceHandle();
}
