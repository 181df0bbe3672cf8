#include "app/core/diagnostics/CrashDump.h"

#include <cstdio>
#include <cstring>

#include "afxwin.h"
#include "app/core/app/SupportAddress.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/capture/KxTdloft.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/core/system/ProgramFolder.h"
#include "app/ui/PanePointers.h"
#include "dbghelp.h"

namespace {

constexpr char kAppName[] = "Tindaloft";
constexpr char kDbgHelpName[] = "dbghelp.dll";
constexpr char kTempPrefix[] = "xrd";
// The extension the system gives temporary files (".tmp"), taken off the unique name again.
constexpr size_t kTempExtensionLength = 4;
constexpr char kDumpExtension[] = ".dmp";

constexpr char kNoDbgHelp[] = "The DLL required for this operation (dbghelp.dll) could not be found.\n";
constexpr char kOldDbgHelp[] = "Your version of dbghelp.dll does not support Minidumps.\n";
constexpr char kSavePrompt[] = "An unexpected error has occurred and the program will now terminate.\nWould you "
                               "like to save a diagnostic file to send to Vellumcrest Support?\n";
constexpr char kSupportSentence[] = "Please send this file to " TINDALOFT_SUPPORT_ADDRESS ".";

CCrashDump* g_pInstalled = nullptr;

LPCSTR Caption() {
    return g_pInstalled != nullptr ? g_pInstalled->GetAppName().GetString() : kAppName;
}

void Tell(LPCSTR lpszText) {
    ::MessageBoxA(nullptr, lpszText, Caption(), MB_OK);
}

// The live capture document to stop, or nullptr (the texts say which was found).
CUSBLog* FindLiveDocument() {
    CUSBLog* pActive = CPanePointers::GetActiveLogDocument();
    if (pActive != nullptr && pActive->IsRealtimeDocument()) {
        DebugPrintf("TindaloftCleanup - active CUSBLog instance is in capture mode\n");
        return pActive;
    }
    auto* pApp = dynamic_cast<CTindaloftApp*>(AfxGetApp());
    if (pApp == nullptr || pApp->m_pCaptureDocTemplate == nullptr) {
        return nullptr;
    }
    POSITION pos = pApp->m_pCaptureDocTemplate->GetFirstDocPosition();
    CUSBLog* pDoc = pos != nullptr ? dynamic_cast<CUSBLog*>(pApp->m_pCaptureDocTemplate->GetNextDoc(pos)) : nullptr;
    if (pDoc != nullptr) {
        DebugPrintf("TindaloftCleanup - non-active CUSBLog instance in capture mode\n");
    }
    return pDoc;
}

// "<temp>xrd<hex>" (the unique name the system made, without its extension), else "<folder>Tindaloft";
// ".dmp" after it. FALSE when the path would not fit in MAX_PATH.
BOOL ChooseDumpPath(char (&szPath)[MAX_PATH]) {
    char szFolder[MAX_PATH] = {};
    const DWORD dwFolder = ::GetTempPathA(MAX_PATH, szFolder);
    if (dwFolder == 0 || dwFolder >= MAX_PATH) {
        const CString folder = GetProgramFolder();
        std::snprintf(szFolder, sizeof szFolder, "%s", folder.GetString());
    }
    char szUnique[MAX_PATH] = {};
    CString base;
    if (::GetTempFileNameA(szFolder, kTempPrefix, 0, szUnique) != 0) {
        ::DeleteFileA(szUnique);
        const size_t length = std::strlen(szUnique);
        szUnique[length > kTempExtensionLength ? length - kTempExtensionLength : 0] = '\0';
        base = szUnique;
    } else {
        base = CString(szFolder) + Caption();
    }
    const int n = std::snprintf(szPath, MAX_PATH, "%s%s", base.GetString(), kDumpExtension);
    return n > 0 && n < MAX_PATH;
}

// Asks, creates the file and writes the dump: 1 when a dump was written.
LONG WriteDump(MINIDUMPWRITEDUMP pWriteDump, PEXCEPTION_POINTERS pExceptionInfo) {
    char szPath[MAX_PATH] = {};
    if (!ChooseDumpPath(szPath)) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    if (::MessageBoxA(nullptr, kSavePrompt, Caption(), MB_YESNO) != IDYES) {
        return EXCEPTION_CONTINUE_SEARCH;
    }
    HANDLE hFile =
        ::CreateFileA(szPath, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    CString message;
    if (hFile == INVALID_HANDLE_VALUE) {
        message.Format("Failed to create dump file '%s' (error %d)\n", szPath, static_cast<int>(::GetLastError()));
        Tell(message);
        return EXCEPTION_CONTINUE_SEARCH;
    }
    MINIDUMP_EXCEPTION_INFORMATION info{};
    info.ThreadId = ::GetCurrentThreadId();
    info.ExceptionPointers = pExceptionInfo;
    info.ClientPointers = FALSE;
    const BOOL bWritten =
        pWriteDump(::GetCurrentProcess(), ::GetCurrentProcessId(), hFile, MiniDumpNormal, &info, nullptr, nullptr);
    LONG result = EXCEPTION_CONTINUE_SEARCH;
    if (bWritten) {
        message.Format("Dump file saved to:\n '%s'\n%s", szPath, kSupportSentence);
        result = EXCEPTION_EXECUTE_HANDLER;
    } else {
        message.Format("Failed to save dump file '%s' (error %d)\n", szPath, static_cast<int>(::GetLastError()));
    }
    ::CloseHandle(hFile);
    Tell(message);
    return result;
}

} // namespace

CCrashDump::CCrashDump() : m_strAppName(kAppName) {
    g_pInstalled = this;
    m_pPreviousFilter = ::SetUnhandledExceptionFilter(&CCrashDump::CrashDumpFilter);
}

CCrashDump::~CCrashDump() {
    ::SetUnhandledExceptionFilter(m_pPreviousFilter);
    if (g_pInstalled == this) {
        g_pInstalled = nullptr;
    }
}

void TindaloftCleanup() {
    DebugPrintf("TindaloftCleanup - entry\n");
    if (AfxGetMainWnd() == nullptr) {
        return;
    }
    CUSBLog* pDoc = FindLiveDocument();
    if (pDoc == nullptr) {
        DebugPrintf("TindaloftCleanup - no CUSBLog instances exist\n");
        return;
    }
    if (!pDoc->IsLogging()) {
        return;
    }
    DebugPrintf("TindaloftCleanup - CUSBLog instance IS LOGGING so call DisableLogging()\n");
    if (pDoc->DisableLoggingWithin(CCrashDump::CleanupWaitMilliseconds)) {
        return;
    }
    // The capture thread hangs: the driver is told itself, so that it stops filling its log.
    DebugPrintf("TindaloftCleanup - capture thread did not end; disabling the driver's log\n");
    CKxTdloft driver;
    if (driver.TryDeviceOpen()) {
        driver.IoctlDisableLogging();
        driver.DeviceClose();
    }
}

LONG WINAPI CCrashDump::CrashDumpFilter(PEXCEPTION_POINTERS pExceptionInfo) {
    TindaloftCleanup();

    HMODULE hDbgHelp = ::LoadLibraryA(GetProgramFolder() + kDbgHelpName);
    if (hDbgHelp == nullptr) {
        hDbgHelp = ::LoadLibraryA(kDbgHelpName);
    }
    if (hDbgHelp == nullptr) {
        Tell(kNoDbgHelp);
        return EXCEPTION_CONTINUE_SEARCH;
    }
    auto pWriteDump = reinterpret_cast<MINIDUMPWRITEDUMP>(
        reinterpret_cast<void (*)()>(::GetProcAddress(hDbgHelp, "MiniDumpWriteDump")));
    LONG result = EXCEPTION_CONTINUE_SEARCH;
    if (pWriteDump == nullptr) {
        Tell(kOldDbgHelp);
    } else {
        result = WriteDump(pWriteDump, pExceptionInfo);
    }
    ::FreeLibrary(hDbgHelp);
    return result;
}
