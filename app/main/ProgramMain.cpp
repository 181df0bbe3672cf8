#include "app/main/ProgramMain.h"

#include <cstdlib>
#include <exception>

#include "WinDbgHelpControl.h"
#include "WinHtmlHelpControl.h"
#include "WinHttpControl.h"
#include "afxwin.h"
#include "app/core/app/AppResources.h"
#include "app/core/system/ProgramVersion.h"
#include "app/main/ProgramMachine.h"
#include "platform/display/DisplayHost.h"

namespace {

// The codes the platform's top level reports a C++ exception and an abort by.
constexpr DWORD kCppExceptionCode = 0xE06D7363;
constexpr DWORD kFatalAppExitCode = 0x40000015;

// std::terminate (an exception thrown where none may pass, one escaping a thread) goes to the filter the
// program installed, as an escaping exception does on the platform; then the process ends.
[[noreturn]] void TerminateThroughFilter() {
    const DWORD dwCode = std::current_exception() != nullptr ? kCppExceptionCode : kFatalAppExitCode;
    win32::ReportUnhandledException(nt::SehException(static_cast<NTSTATUS>(dwCode), EXCEPTION_NONCONTINUABLE));
    std::abort();
}

} // namespace

bool AttachProgramDisplay() {
    return display::AttachDisplayHost();
}

int TindaloftMain(LPSTR lpCmdLine, int nCmdShow) {
    RegisterProgramVersionResource();
    RegisterAppResources();
    // The machine's minidump writer, HTTP client and help viewer, which the crash handler, the update check and
    // the help commands bind when they need them.
    win32::RegisterDbgHelpModule();
    win32::RegisterWinHttpModule();
    win32::RegisterAnsweringHtmlHelpModule();
    const std::terminate_handler previousTerminate = std::set_terminate(&TerminateThroughFilter);

    // A machine whose registry file could not be read still runs, on an empty registry; the driver gate
    // tells the user when the capture driver is missing.
    BootProgramMachine();
    // Where an X display answers, the program's windows are shown there and take the person's input (the
    // entry point has attached the host already when it asked for a display).
    const bool bDisplayAttached = AttachProgramDisplay();
    // The desk's activities run on the machine while the program does.
    StartProgramMachineDesk(bDisplayAttached);

    int nExitCode = 0;
    try {
        nExitCode = AfxWinMain(::GetModuleHandleA(nullptr), nullptr, lpCmdLine, nCmdShow);
    } catch (const nt::SehException& exception) {
        // Escaped every handler: the installed filter has its say, then the program ends with the code.
        win32::ReportUnhandledException(exception);
        nExitCode = static_cast<int>(exception.Code());
    }

    // Windows still open at the end (the main frame after a quit message) go before the machine does, with
    // the documents they hold.
    CWinApp* pApp = AfxGetApp();
    if (pApp != nullptr && pApp->m_pMainWnd != nullptr) {
        if (pApp->m_pMainWnd->m_hWnd != nullptr) {
            pApp->m_pMainWnd->DestroyWindow();
        }
        pApp->m_pMainWnd = nullptr;
    }
    if (bDisplayAttached) {
        display::DetachDisplayHost();
    }
    ShutDownProgramMachine();
    std::set_terminate(previousTerminate);
    return nExitCode;
}
