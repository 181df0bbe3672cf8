// Symbolic links of the object manager, read through the native routines of ntdll, which the program binds
// by name each time it needs them rather than linking them.
#pragma once

#include <windows.h>

// Loads ntdll and looks up the twelve native routines the program uses. The module handle (release it with
// FreeLibrary), or null: ntdll is missing, or so is one of the routines (then the module is released again).
HMODULE BindNtdllFunctions();

// The target of the symbolic link `lpszLinkName` in the object directory `lpszDirectory` ("\GLOBAL??"), in
// the ANSI code page, zero-terminated in `lpszTarget`. A target of more than (nTargetSize - 1) / 2 characters
// does not fit. FALSE, with the buffer as it was, when the link cannot be read; every handle, string and the
// module are released on every path.
BOOL QuerySymbolicLinkTarget(LPCSTR lpszDirectory, LPCSTR lpszLinkName, LPSTR lpszTarget, ULONG nTargetSize);
