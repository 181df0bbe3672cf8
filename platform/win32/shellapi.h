// The shell's file operations and program starting, as far as programs of this system ask for them.
#pragma once

#include <cstddef>

#include "WinUserTypes.h"
#include "windef.h"

// ---- file operations

#define FO_MOVE 0x0001
#define FO_COPY 0x0002
#define FO_DELETE 0x0003
#define FO_RENAME 0x0004

#define FOF_MULTIDESTFILES 0x0001
#define FOF_SILENT 0x0004
#define FOF_RENAMEONCOLLISION 0x0008
#define FOF_NOCONFIRMATION 0x0010
#define FOF_ALLOWUNDO 0x0040
#define FOF_FILESONLY 0x0080
#define FOF_NOCONFIRMMKDIR 0x0200
#define FOF_NOERRORUI 0x0400

typedef WORD FILEOP_FLAGS;

typedef struct _SHFILEOPSTRUCTA {
    HWND hwnd;
    UINT wFunc;
    LPCSTR pFrom; // a list of paths, each ended by a NUL, the list by a second NUL
    LPCSTR pTo;
    FILEOP_FLAGS fFlags;
    BOOL fAnyOperationsAborted;
    LPVOID hNameMappings;
    LPCSTR lpszProgressTitle;
} SHFILEOPSTRUCTA, *LPSHFILEOPSTRUCTA;
static_assert(sizeof(SHFILEOPSTRUCTA) == 56 && offsetof(SHFILEOPSTRUCTA, fFlags) == 32 &&
              offsetof(SHFILEOPSTRUCTA, fAnyOperationsAborted) == 36);

// FO_DELETE only: each path of the list is removed with everything below it; symbolic links are removed, never
// followed. Wildcards are not expanded. 0 on success; otherwise an error code (ERROR_FILE_NOT_FOUND for a path
// that is not there, ERROR_INVALID_PARAMETER for another operation or a missing list), and fails on request
// (WinFailureControl.h, name "SHFileOperationA", the plan's error returned). No dialog is ever shown.
int SHFileOperationA(LPSHFILEOPSTRUCTA fileOp);
inline int SHFileOperation(LPSHFILEOPSTRUCTA fileOp) {
    return SHFileOperationA(fileOp);
}

// ---- starting programs and documents

#define SEE_MASK_DEFAULT 0x00000000
#define SEE_MASK_CLASSNAME 0x00000001
#define SEE_MASK_NOCLOSEPROCESS 0x00000040
#define SEE_MASK_FLAG_NO_UI 0x00000400
#define SEE_MASK_NOASYNC 0x00000100

#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_NOASSOC 31

typedef struct _SHELLEXECUTEINFOA {
    DWORD cbSize;
    ULONG fMask;
    HWND hwnd;
    LPCSTR lpVerb;
    LPCSTR lpFile;
    LPCSTR lpParameters;
    LPCSTR lpDirectory;
    int nShow;
    HINSTANCE hInstApp; // above 32 on success, else an SE_ERR_* code
    void* lpIDList;
    LPCSTR lpClass;
    HKEY hkeyClass;
    DWORD dwHotKey;
    union {
        HANDLE hIcon;
        HANDLE hMonitor;
    };
    HANDLE hProcess;
} SHELLEXECUTEINFOA, *LPSHELLEXECUTEINFOA;
static_assert(sizeof(SHELLEXECUTEINFOA) == 112 && offsetof(SHELLEXECUTEINFOA, nShow) == 48 &&
              offsetof(SHELLEXECUTEINFOA, hInstApp) == 56 && offsetof(SHELLEXECUTEINFOA, hProcess) == 104);

// Every call is recorded (WinShellControl.h); nothing is started on the host but what a display driver opens on
// the desktop (WinDisplayDriver.h; a display with no handler to start fails the call with SE_ERR_NOASSOC and
// ERROR_NO_ASSOCIATION). The "open" verb (or none) of an installer package (".msi") goes to the Windows
// Installer stand-in (msi.h), which logs `msiexec /i "<path>"` and, with SEE_MASK_NOCLOSEPROCESS, gives a
// process handle whose WaitForInputIdle answer a test chooses. A URL of a scheme the machine has a program for
// ("http", "https", "mailto") succeeds without a process; one of another scheme fails with SE_ERR_NOASSOC and
// ERROR_NO_ASSOCIATION. A file that does not exist fails with SE_ERR_FNF in hInstApp and ERROR_FILE_NOT_FOUND;
// other files succeed without a process. Fails on request (name "ShellExecuteExA": hInstApp SE_ERR_ACCESSDENIED).
BOOL ShellExecuteExA(LPSHELLEXECUTEINFOA executeInfo);
inline BOOL ShellExecuteEx(LPSHELLEXECUTEINFOA executeInfo) {
    return ShellExecuteExA(executeInfo);
}

typedef SHELLEXECUTEINFOA SHELLEXECUTEINFO;
typedef LPSHELLEXECUTEINFOA LPSHELLEXECUTEINFO;
typedef SHFILEOPSTRUCTA SHFILEOPSTRUCT;
typedef LPSHFILEOPSTRUCTA LPSHFILEOPSTRUCT;

// Waits until a started process is ready for input: 0, WAIT_TIMEOUT, or WAIT_FAILED with the last error for a
// handle that is not a started process. A stand-in process answers at once with the answer its starter set
// (WinShellControl.h). Fails on request (name "WaitForInputIdle": WAIT_FAILED).
DWORD WaitForInputIdle(HANDLE process, DWORD milliseconds);

// The older form: the same start as ShellExecuteExA with no mask, returning hInstApp (above 32 on success,
// else an SE_ERR_* code). A test may choose the result instead (WinShellControl.h); the call is recorded
// either way.
HINSTANCE ShellExecuteA(HWND hwnd, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT showCmd);
inline HINSTANCE ShellExecute(HWND hwnd, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                              INT showCmd) {
    return ShellExecuteA(hwnd, operation, file, parameters, directory, showCmd);
}
