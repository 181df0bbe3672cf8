// The program's start: boots the default simulated machine with the capture driver installed, runs the
// current application object as the framework's entry does (InitInstance, Run, ExitInstance), closes what
// is left of its main window, shuts the machine down and returns the exit code.
#pragma once

#include "windows.h"

// The program's resources are registered first; lpCmdLine is the command line without the program's name.
int TindaloftMain(LPSTR lpCmdLine, int nCmdShow);

// Whether the program has a way to show its windows: attaches the display host to the window system where an
// X display answers (a build without the host never has one). Attaching again is attaching once; the end of
// TindaloftMain takes the host away.
bool AttachProgramDisplay();
