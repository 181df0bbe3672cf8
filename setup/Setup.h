// The set-up program: asks whether to install, unpacks the installer package it carries into a fresh
// temporary folder, caches it under its package code below the Windows folder and starts it. It has no
// command line and its flow always ends with 0: every failure has been shown to the person who started it
// (where no display answers, the entry point says so and ends with 2 before the flow begins).
#pragma once

#include <atomic>

#include "windows.h"

// Set when a WM_QUIT is met while messages are pumped; never cleared by the program.
extern std::atomic<bool> SetupCancelled;

// The whole flow; the program's entry point returns its result.
int RunSetup(HINSTANCE instance);

// The hidden window of class "PlainClass".
LRESULT CALLBACK PlainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Drains the thread's queue without waiting; a WM_QUIT sets SetupCancelled and stops the draining. Does
// nothing once the run is cancelled.
void PumpMessages();
// Dialog 104: Yes (1) and No (2) end it with their id.
INT_PTR CALLBACK WelcomeDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// Verifies the package extracted into `tempFolder`, moves it to "<Windows>\Downloaded
// Installations\<package code>\<packageName>" and removes the temporary folder. On failure it has shown its
// message and removed the temporary folder. `cachedPath` holds MAX_PATH characters.
bool CacheMsiPackage(HWND window, const char* tempFolder, const char* packageName, char* cachedPath);
// Destroys the hidden window and ends OLE.
int EndSetup(HWND window);
// Deletes the folder with everything in it.
void RemoveFolderTree(const char* folder);
// The extension of a name: from its last "." that is not its first character; the end of the name when there
// is none.
const char* FindExtension(const char* name);
// "<folder>\<name>" into a MAX_PATH buffer; false (and an empty buffer) when it does not fit.
bool JoinPath(char* buffer, const char* folder, const char* name);
// A failure: MB_OK box with the caption "Error", owned by `owner` (null before the hidden window exists).
void ShowSetupError(HWND owner, const char* text);
