// Program starting through the shell: recorded, never run on the host (a display driver may take an execution
// and start it on the desktop). Locks: one for the record.
#include <cctype>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <strings.h>
#include <vector>

#include "WinDisplayDriver.h"
#include "WinFailureControl.h"
#include "WinHandles.h"
#include "WinShellControl.h"
#include "WinSync.h"
#include "internal/HostFiles.h"
#include "internal/InstallerLaunch.h"
#include "internal/WindowEvents.h"
#include "shellapi.h"
#include "winerror.h"

namespace {

// A process the shell started: it only answers WaitForInputIdle.
class StartedProcess : public win32::WinObject {
public:
    explicit StartedProcess(DWORD idleAnswer) : idleAnswer_(idleAnswer) {}
    DWORD IdleAnswer() const { return idleAnswer_; }

private:
    DWORD idleAnswer_;
};

struct Shell {
    std::mutex lock;
    std::vector<win32::ShellExecution> executions;
    std::vector<DWORD> waits;
    DWORD idleAnswer = 0;
    INT_PTR chosenResult = 0; // ShellExecuteA's answer when a test chose one (0: none chosen)
};

Shell& State() {
    static Shell shell;
    return shell;
}

std::string Text(LPCSTR text) {
    return text ? text : "";
}

bool IsInstallerPackage(const std::string& file) {
    const size_t dot = file.find_last_of('.');
    if (dot == std::string::npos || file.find_first_of("\\/", dot) != std::string::npos)
        return false;
    return strcasecmp(file.c_str() + dot, ".msi") == 0;
}

// A URL ("scheme:..." with a scheme of two characters or more, so that "C:\x" stays a path) goes to the
// program its scheme is associated with; the machine has a browser and a mail program.
enum class UrlKind { NotUrl, Associated, Unassociated };

UrlKind UrlKindOf(const std::string& file) {
    const size_t colon = file.find(':');
    if (colon == std::string::npos || colon < 2 || !std::isalpha(static_cast<unsigned char>(file[0])))
        return UrlKind::NotUrl;
    for (size_t i = 1; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(file[i]);
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return UrlKind::NotUrl;
    }
    const std::string scheme = file.substr(0, colon);
    for (const char* associated : {"http", "https", "mailto"})
        if (strcasecmp(scheme.c_str(), associated) == 0)
            return UrlKind::Associated;
    return UrlKind::Unassociated;
}

BOOL Finish(LPSHELLEXECUTEINFOA info, win32::ShellExecution& record, INT_PTR instApp, DWORD error) {
    info->hInstApp = reinterpret_cast<HINSTANCE>(instApp);
    record.result = error == ERROR_SUCCESS;
    {
        std::lock_guard guard(State().lock);
        State().executions.push_back(record);
    }
    SetLastError(error);
    return record.result;
}

} // namespace

// The instance value of the older call: the extended call's, or what a test chose.
HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT showCmd) {
    INT_PTR chosen;
    {
        std::lock_guard guard(State().lock);
        chosen = State().chosenResult;
    }
    if (chosen == 0) {
        SHELLEXECUTEINFOA info{};
        info.cbSize = sizeof info;
        info.hwnd = hwnd;
        info.lpVerb = operation;
        info.lpFile = file;
        info.lpParameters = parameters;
        info.lpDirectory = directory;
        info.nShow = showCmd;
        ShellExecuteExA(&info);
        return info.hInstApp;
    }
    win32::ShellExecution record{Text(operation), Text(file), Text(parameters), Text(directory), showCmd, 0, hwnd,
                                 chosen > 32};
    {
        std::lock_guard guard(State().lock);
        State().executions.push_back(record);
    }
    SetLastError(chosen > 32 ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    return reinterpret_cast<HINSTANCE>(chosen);
}

BOOL ShellExecuteExA(LPSHELLEXECUTEINFOA info) {
    if (!info || info->cbSize != sizeof(SHELLEXECUTEINFOA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->hProcess = nullptr;
    win32::ShellExecution record{Text(info->lpVerb),
                                 Text(info->lpFile),
                                 Text(info->lpParameters),
                                 Text(info->lpDirectory),
                                 info->nShow,
                                 info->fMask,
                                 info->hwnd,
                                 FALSE};
    if (win32::internal::CallFailsNow("ShellExecuteExA"))
        return Finish(info, record, SE_ERR_ACCESSDENIED, GetLastError());
    // A display takes what it opens itself (a web address on the desktop's browser); it starts no process the
    // caller could wait for. One that has no handler to start says so, as the shell says of a file type that
    // nothing opens.
    switch (win32::internal::Display().Execute(record)) {
    case win32::DesktopExecution::Started: return Finish(info, record, 42, ERROR_SUCCESS);
    case win32::DesktopExecution::NoHandler: return Finish(info, record, SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION);
    case win32::DesktopExecution::LeftToShell: break;
    }
    const bool open = record.verb.empty() || strcasecmp(record.verb.c_str(), "open") == 0;
    const UrlKind url = UrlKindOf(record.file);
    if (url == UrlKind::Unassociated) {
        return Finish(info, record, SE_ERR_NOASSOC, ERROR_NO_ASSOCIATION);
    } else if (url == UrlKind::Associated) {
        // Started by its program; no process is handed back.
        return Finish(info, record, 42, ERROR_SUCCESS);
    } else if (open && IsInstallerPackage(record.file)) {
        if (!win32::internal::LaunchInstallerPackage(record.file))
            return Finish(info, record, SE_ERR_FNF, ERROR_FILE_NOT_FOUND);
    } else {
        std::error_code error;
        if (!std::filesystem::exists(win32::internal::HostPathFromWindows(record.file.c_str()), error))
            return Finish(info, record, SE_ERR_FNF, ERROR_FILE_NOT_FOUND);
    }
    if (info->fMask & SEE_MASK_NOCLOSEPROCESS) {
        DWORD answer;
        {
            std::lock_guard guard(State().lock);
            answer = State().idleAnswer;
        }
        info->hProcess = win32::InsertHandle(std::make_shared<StartedProcess>(answer));
    }
    return Finish(info, record, 42, ERROR_SUCCESS);
}

DWORD WaitForInputIdle(HANDLE process, DWORD milliseconds) {
    if (win32::internal::CallFailsNow("WaitForInputIdle"))
        return WAIT_FAILED;
    auto started = win32::LookupHandleAs<StartedProcess>(process);
    if (!started) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    std::lock_guard guard(State().lock);
    State().waits.push_back(milliseconds);
    return started->IdleAnswer();
}

namespace win32 {

std::vector<ShellExecution> ShellExecutions() {
    std::lock_guard guard(State().lock);
    return State().executions;
}

void ClearShellExecutions() {
    std::lock_guard guard(State().lock);
    State().executions.clear();
}

void SetInputIdleAnswer(DWORD answer) {
    std::lock_guard guard(State().lock);
    State().idleAnswer = answer;
}

std::vector<DWORD> InputIdleWaits() {
    std::lock_guard guard(State().lock);
    return State().waits;
}

void SetShellExecuteResult(INT_PTR result) {
    std::lock_guard guard(State().lock);
    State().chosenResult = result;
}

void ResetShell() {
    std::lock_guard guard(State().lock);
    State().executions.clear();
    State().waits.clear();
    State().idleAnswer = 0;
    State().chosenResult = 0;
}

} // namespace win32
