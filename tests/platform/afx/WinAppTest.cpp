// The application object: its profile in the registry, the recent-file list across application objects, the
// command line and the shell command, OLE start-up, HTML Help through "hhctrl", and worker threads.
#include <atomic>

#include "AfxOleControl.h"
#include "AppFixture.h"
#include "WinFailureControl.h"
#include "WinFileDialogControl.h"
#include "WinHtmlHelpControl.h"
#include "afxwin.h"
#include "htmlhelp.h"
#include "windows.h"

namespace {

using afx_test::AppFixture;

class WinAppTest : public AppFixture {};

// A document that reads its file's bytes; a file holding "bad" fails to load.
class CBytesDoc : public CDocument {
    DECLARE_DYNCREATE(CBytesDoc)
public:
    void Serialize(CArchive& ar) override {
        if (ar.IsStoring())
            return;
        char c[3] = {};
        if (ar.Read(c, 3) == 3 && std::string(c, 3) == "bad")
            AfxThrowArchiveException(CArchiveException::genericException);
    }
};
IMPLEMENT_DYNCREATE(CBytesDoc, CDocument)

class CNewCountingApp : public CWinApp {
public:
    CNewCountingApp() : CWinApp("Tindaloft") {}
    int m_nNew = 0;
    void OnAppFileNew() { ++m_nNew; }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CNewCountingApp, CWinApp)
ON_COMMAND(ID_FILE_NEW, &CNewCountingApp::OnAppFileNew)
END_MESSAGE_MAP()

// An application whose map offers print setup, as the analyzer's does.
class CPrintingApp : public CWinApp {
public:
    CPrintingApp() : CWinApp("Tindaloft") {}
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CPrintingApp, CWinApp)
ON_COMMAND(ID_FILE_PRINT_SETUP, &CWinApp::OnFilePrintSetup)
END_MESSAGE_MAP()

TEST_F(WinAppTest, ProfileValuesRoundTripUnderTheApplicationKey) {
    CWinApp app("Tindaloft");
    EXPECT_EQ(app.GetProfileInt("Settings", "Width", 5), 5u); // no registry key: no profile
    EXPECT_FALSE(app.WriteProfileInt("Settings", "Width", 1));
    app.SetRegistryKey("Vellumcrest");

    EXPECT_TRUE(app.WriteProfileInt("Settings", "Width", -1));
    EXPECT_TRUE(app.WriteProfileString("Settings", "Name", "usb log"));
    BYTE blob[] = {1, 0, 2, 0xFF};
    EXPECT_TRUE(app.WriteProfileBinary("Settings", "Blob", blob, sizeof blob));

    EXPECT_EQ(static_cast<int>(app.GetProfileInt("Settings", "Width", 5)), -1);
    EXPECT_EQ(CString(app.GetProfileString("Settings", "Name", "x")), "usb log");
    LPBYTE data = nullptr;
    UINT size = 0;
    ASSERT_TRUE(app.GetProfileBinary("Settings", "Blob", &data, &size));
    EXPECT_EQ(std::vector<BYTE>(data, data + size), std::vector<BYTE>(blob, blob + sizeof blob));
    delete[] data;
    // A value of another type, or a missing one, gives the default.
    EXPECT_EQ(app.GetProfileInt("Settings", "Name", 9), 9u);
    EXPECT_EQ(CString(app.GetProfileString("Settings", "Width", "dflt")), "dflt");
    EXPECT_EQ(CString(app.GetProfileString("Nothing", "Here")), "");
    EXPECT_FALSE(app.GetProfileBinary("Settings", "Name", &data, &size));

    // Where the values are: HKCU "Software\<key>\<application>\<section>".
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Vellumcrest\\Tindaloft\\Settings", 0, KEY_READ, &key),
              ERROR_SUCCESS);
    DWORD type = 0;
    DWORD value = 0;
    DWORD bytes = sizeof value;
    EXPECT_EQ(RegQueryValueExA(key, "Width", nullptr, &type, reinterpret_cast<LPBYTE>(&value), &bytes), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(value, 0xFFFFFFFFu);
    RegCloseKey(key);

    // A null value deletes the entry, a null entry the section.
    EXPECT_TRUE(app.WriteProfileString("Settings", "Name", nullptr));
    EXPECT_EQ(CString(app.GetProfileString("Settings", "Name", "gone")), "gone");
    EXPECT_TRUE(app.WriteProfileString("Settings", nullptr, nullptr));
    EXPECT_EQ(app.GetProfileInt("Settings", "Width", 3), 3u);
}

TEST_F(WinAppTest, RecentFilesNewestFirstAndReadBackByTheNextApplicationObject) {
    std::vector<std::string> paths;
    for (const char* name : {"a.tdloft", "b.tdloft", "c.tdloft", "d.tdloft", "e.tdloft"}) {
        paths.push_back(PathOf(name));
        WriteFile(paths.back(), "ok!");
    }
    {
        CWinApp app("Tindaloft");
        app.SetRegistryKey("Vellumcrest");
        app.LoadStdProfileSettings(4);
        for (const std::string& path : paths)
            app.AddToRecentFileList(path.c_str());
        app.AddToRecentFileList(paths[1].c_str()); // listed already: moves up
        EXPECT_EQ(app.ExitInstance(), 0);
    }
    CWinApp second("Tindaloft");
    second.SetRegistryKey("Vellumcrest");
    second.LoadStdProfileSettings(4);
    CRecentFileList& list = *second.m_pRecentFileList;
    ASSERT_EQ(list.GetSize(), 4);
    const std::vector<std::string> expected = {paths[1], paths[4], paths[3], paths[2]};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(std::string(list[i]), expected[i]) << i;
    EXPECT_EQ(std::string(second.GetProfileString("Recent File List", "File1")), paths[1]);

    // 57616 and up reopen; one that fails to open leaves the list.
    second.AddDocTemplate(new CMultiDocTemplate(131, RUNTIME_CLASS(CBytesDoc), nullptr, nullptr));
    WriteFile(paths[3], "bad");
    EXPECT_TRUE(second.OnCmdMsg(ID_FILE_MRU_FILE1 + 2, CN_COMMAND, nullptr, nullptr));
    EXPECT_EQ(std::string(list[2]), paths[2]);
    EXPECT_EQ(TakeBoxes().size(), 1u);
    EXPECT_TRUE(second.OnCmdMsg(ID_FILE_MRU_FILE1 + 2, CN_COMMAND, nullptr, nullptr));
    EXPECT_EQ(std::string(list[0]), paths[2]); // opened: first now
    EXPECT_EQ(second.GetOpenDocumentCount(), 1);
    EXPECT_FALSE(second.OnCmdMsg(ID_FILE_MRU_FILE1 + 3, CN_COMMAND, nullptr, nullptr)); // empty slot
    second.CloseAllDocuments(FALSE);
}

TEST_F(WinAppTest, CommandLineTable) {
    struct Case {
        const char* commandLine;
        int shellCommand;
        BOOL showSplash;
        const char* fileName;
    };
    const Case cases[] = {
        {"", CCommandLineInfo::FileNew, TRUE, ""},
        {"C:\\logs\\a.tdloft", CCommandLineInfo::FileOpen, TRUE, "C:\\logs\\a.tdloft"},
        {"\"C:\\my logs\\a.tdloft\"", CCommandLineInfo::FileOpen, TRUE, "C:\\my logs\\a.tdloft"},
        {"/Embedding", CCommandLineInfo::FileNothing, FALSE, ""},
        {"-Automation", CCommandLineInfo::FileNothing, FALSE, ""},
        {"/p a.tdloft", CCommandLineInfo::FilePrint, FALSE, "a.tdloft"},
        {"/pt a.tdloft printer driver port", CCommandLineInfo::FilePrintTo, FALSE, "a.tdloft"},
        {"/dde", CCommandLineInfo::FileDDE, FALSE, ""},
        {"/Regserver", CCommandLineInfo::AppRegister, TRUE, ""},
        {"/Unregister", CCommandLineInfo::AppUnregister, TRUE, ""},
    };
    for (const Case& c : cases) {
        CWinApp app("Tindaloft");
        app.SetCurrentHandles(nullptr, c.commandLine, 1);
        CCommandLineInfo info;
        app.ParseCommandLine(info);
        EXPECT_EQ(info.m_nShellCommand, c.shellCommand) << c.commandLine;
        EXPECT_EQ(info.m_bShowSplash, c.showSplash) << c.commandLine;
        EXPECT_EQ(std::string(info.m_strFileName), c.fileName) << c.commandLine;
        // Printing, DDE and registration are not offered.
        if (c.shellCommand != CCommandLineInfo::FileNew && c.shellCommand != CCommandLineInfo::FileOpen &&
            c.shellCommand != CCommandLineInfo::FileNothing) {
            EXPECT_FALSE(app.ProcessShellCommand(info)) << c.commandLine;
        }
    }
}

TEST_F(WinAppTest, ShellCommandNewGoesThroughTheMapAndOpenThroughTheTemplates) {
    CNewCountingApp app;
    CCommandLineInfo info;
    EXPECT_TRUE(app.ProcessShellCommand(info));
    EXPECT_EQ(app.m_nNew, 1);

    app.AddDocTemplate(new CMultiDocTemplate(131, RUNTIME_CLASS(CBytesDoc), nullptr, nullptr));
    std::string good = PathOf("good.tdloft");
    WriteFile(good, "ok!");
    info.m_nShellCommand = CCommandLineInfo::FileOpen;
    info.m_strFileName = good.c_str();
    EXPECT_TRUE(app.ProcessShellCommand(info));
    EXPECT_EQ(app.GetOpenDocumentCount(), 1);
    info.m_strFileName = PathOf("missing.tdloft").c_str();
    EXPECT_FALSE(app.ProcessShellCommand(info));
    EXPECT_EQ(TakeBoxes().size(), 1u);
    app.CloseAllDocuments(FALSE);
}

TEST_F(WinAppTest, FileOpenOpensTheFileChosenInTheFileRequest) {
    CWinApp app("Tindaloft");
    app.AddDocTemplate(new CMultiDocTemplate(131, RUNTIME_CLASS(CBytesDoc), nullptr, nullptr));
    std::string good = PathOf("good.tdloft");
    WriteFile(good, "ok!");
    win32::ClearFileDialogRequests();

    win32::QueueModalAnswer(win32::ModalKind::File, IDCANCEL);
    app.OnFileOpen();
    EXPECT_EQ(app.GetOpenDocumentCount(), 0);
    win32::QueueFileDialogChoice(good);
    app.OnFileOpen();
    ASSERT_EQ(app.GetOpenDocumentCount(), 1);
    POSITION pos = app.GetFirstDocTemplatePosition();
    CDocTemplate* pTemplate = app.GetNextDocTemplate(pos);
    POSITION docPos = pTemplate->GetFirstDocPosition();
    EXPECT_EQ(std::string(pTemplate->GetNextDoc(docPos)->GetPathName()), good);

    std::vector<win32::FileDialogRequest> requests = win32::FileDialogRequests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_FALSE(requests[1].save);
    EXPECT_EQ(requests[1].title, "Open");
    EXPECT_EQ(requests[1].chosen, good);
    EXPECT_EQ(requests[1].flags & (OFN_FILEMUSTEXIST | OFN_HIDEREADONLY),
              static_cast<DWORD>(OFN_FILEMUSTEXIST | OFN_HIDEREADONLY));
    EXPECT_EQ(TakeBoxes().size(), 0u);
    app.CloseAllDocuments(FALSE);
}

TEST_F(WinAppTest, PrintSetupCommandAsksWithAPrintSetupRequest) {
    CPrintingApp app;
    win32::QueueModalAnswer(win32::ModalKind::PrintSetup, IDOK);
    EXPECT_TRUE(app.OnCmdMsg(ID_FILE_PRINT_SETUP, CN_COMMAND, nullptr, nullptr));
    std::vector<win32::ModalRequest> requests = win32::ModalRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].kind, win32::ModalKind::PrintSetup);
    EXPECT_EQ(requests[0].answer, IDOK);
    EXPECT_TRUE(requests[0].expected);
}

TEST_F(WinAppTest, OleStartUpCanBeMadeToFail) {
    afx::ResetOleState();
    EXPECT_TRUE(AfxOleInit());
    afx::SetOleInitFails(true);
    EXPECT_FALSE(AfxOleInit());
    afx::ResetOleState();
    AfxEnableControlContainer();
    EXPECT_TRUE(afx::ControlContainerEnabled());
    EXPECT_TRUE(AfxInitRichEdit2());
    afx::ResetOleState();
}

TEST_F(WinAppTest, HtmlHelpReachesHhctrlAndDoesNothingWithoutIt) {
    CWinApp app("Tindaloft");
    app.EnableHtmlHelp();
    EXPECT_TRUE(CString(app.m_pszHelpFilePath).Right(4) == ".chm");
    app.HtmlHelp(15); // no "hhctrl": nothing happens
    win32::RegisterHtmlHelpModule();
    app.HtmlHelp(15);
    app.HtmlHelp(0, HH_DISPLAY_TOC);
    std::vector<win32::HtmlHelpCall> calls = win32::HtmlHelpCalls();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].command, static_cast<UINT>(HH_HELP_CONTEXT));
    EXPECT_EQ(calls[0].data, 15u);
    EXPECT_EQ(calls[0].file, std::string(app.m_pszHelpFilePath));
    EXPECT_EQ(calls[1].command, static_cast<UINT>(HH_DISPLAY_TOC));
    EXPECT_EQ(win32::ModuleLoadCount("hhctrl"), 0); // bound for each call only

    win32::SetHtmlHelpLastError(E_FAIL, u"no topic");
    HH_LAST_ERROR error{sizeof(HH_LAST_ERROR), S_OK, nullptr};
    AfxHtmlHelp(nullptr, nullptr, HH_GET_LAST_ERROR, reinterpret_cast<DWORD_PTR>(&error));
    EXPECT_EQ(error.hr, E_FAIL);
    ASSERT_NE(error.description, nullptr);
    EXPECT_EQ(std::u16string(error.description), u"no topic");
}

UINT AFX_CDECL CountTo(LPVOID pParam) {
    auto* counter = static_cast<std::atomic<int>*>(pParam);
    for (int i = 0; i < 1000; ++i)
        ++*counter;
    return 77;
}

TEST_F(WinAppTest, WorkerWithoutAutoDeleteCanBeWaitedOnAfterItEnded) {
    std::atomic<int> counter{0};
    CWinThread* pThread = AfxBeginThread(&CountTo, &counter, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(pThread, nullptr);
    pThread->m_bAutoDelete = FALSE;
    EXPECT_EQ(counter.load(), 0); // suspended
    pThread->ResumeThread();
    EXPECT_EQ(WaitForSingleObject(pThread->m_hThread, INFINITE), WAIT_OBJECT_0);
    DWORD exitCode = 0;
    EXPECT_TRUE(GetExitCodeThread(pThread->m_hThread, &exitCode));
    EXPECT_EQ(exitCode, 77u);
    EXPECT_EQ(counter.load(), 1000);
    delete pThread;

    // With auto-delete the object goes by itself (the sanitizer would report a leak otherwise).
    std::atomic<int> second{0};
    ASSERT_NE(AfxBeginThread(&CountTo, &second), nullptr);
    while (second.load() < 1000)
        Sleep(1);
    EXPECT_EQ(AfxBeginThread(nullptr, nullptr), nullptr);
}

TEST_F(WinAppTest, AWorkerThatCannotStartGivesNullAndRunsNothing) {
    std::atomic<int> counter{0};
    win32::FailCalls({.function = "CreateThread", .error = ERROR_NOT_ENOUGH_MEMORY, .count = 1});
    EXPECT_EQ(AfxBeginThread(&CountTo, &counter), nullptr); // the sanitizer reports the object if it leaks
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
    win32::ClearCallFailures();
    Sleep(10);
    EXPECT_EQ(counter.load(), 0);

    // The plan is used up: the next worker starts.
    CWinThread* pThread = AfxBeginThread(&CountTo, &counter, THREAD_PRIORITY_NORMAL, 0, CREATE_SUSPENDED);
    ASSERT_NE(pThread, nullptr);
    pThread->m_bAutoDelete = FALSE;
    pThread->ResumeThread();
    EXPECT_EQ(WaitForSingleObject(pThread->m_hThread, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(counter.load(), 1000);
    delete pThread;
}

} // namespace
