#include "app/main/ProgramMain.h"

#include "afxwin.h"
#include "app/core/AppResources.h"
#include "app/core/ProgramVersion.h"
#include "app/main/ProgramMachine.h"

int TindaloftMain(LPSTR lpCmdLine, int nCmdShow) {
    RegisterProgramVersionResource();
    RegisterAppResources();

    // A machine whose registry file could not be read still runs, on an empty registry; the driver gate
    // tells the user when the capture driver is missing.
    BootProgramMachine();

    const int nExitCode = AfxWinMain(::GetModuleHandleA(nullptr), nullptr, lpCmdLine, nCmdShow);

    // Windows still open at the end (the main frame after a quit message) go before the machine does, with
    // the documents they hold.
    CWinApp* pApp = AfxGetApp();
    if (pApp != nullptr && pApp->m_pMainWnd != nullptr) {
        if (pApp->m_pMainWnd->m_hWnd != nullptr) {
            pApp->m_pMainWnd->DestroyWindow();
        }
        pApp->m_pMainWnd = nullptr;
    }
    ShutDownProgramMachine();
    return nExitCode;
}
