// Simulation control of the shell stand-in: what programs asked it to start, and how started processes
// behave.
#pragma once

#include <string>
#include <vector>

#include "WinUserTypes.h"
#include "windef.h"

namespace win32 {

struct ShellExecution {
    std::string verb; // as given ("" for none)
    std::string file;
    std::string parameters;
    std::string directory;
    int show = 0;
    ULONG mask = 0;
    HWND owner = nullptr;
    BOOL result = FALSE;
};

std::vector<ShellExecution> ShellExecutions();
void ClearShellExecutions();

// What WaitForInputIdle answers for processes started from now on (0 by default), and how long it was told
// to wait, in order.
void SetInputIdleAnswer(DWORD answer);
std::vector<DWORD> InputIdleWaits();

// What ShellExecuteA returns from now on, recorded like any execution (above 32: started; 32 or less: the
// failure's code); 0 goes back to the extended call's answer (the file must exist).
void SetShellExecuteResult(INT_PTR result);

// Forgets executions and waits and brings the answers back to 0.
void ResetShell();

} // namespace win32
