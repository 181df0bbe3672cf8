// The single-instance rule: a named mutex the first instance of the program creates and keeps for its life;
// a later instance finds it already there (ERROR_ALREADY_EXISTS in g_dwSingleInstanceError) and ends.
//
// The program's entry file creates it from a static initialiser, before the application object runs; tests
// create and close it themselves, so that one process can start the program many times.
#pragma once

#include "windows.h"

constexpr char kSingleInstanceMutexName[] = "{AC767A23-37C6-4EF1-AFC6-A3E895952BEC}";

extern HANDLE g_hSingleInstanceMutex;
// The last-error value right after the mutex was created.
extern DWORD g_dwSingleInstanceError;

// Creates the mutex (no security attributes, not owned) and keeps the handle and the last error. A handle it
// kept before is not closed: the mutex it names stays held for the process, as the first instance's does.
void CreateSingleInstanceMutex();
// Closes the kept handle and clears the kept error.
void CloseSingleInstanceMutex();
