// The program's own version: the build's project version, registered at start as the program's version
// resource, so that reading the program file's version (CFileVersionInfo) gives it as on an installed system.
#pragma once

#include "windows.h"

struct PROGRAM_VERSION {
    WORD Major;
    WORD Minor;
    WORD Revision;
    WORD Build;
};

PROGRAM_VERSION GetProgramVersion();
// Registers the fixed block (file and product version) and the string table "040904b0" of the program.
// Start-up calls it first, before anything reads the program's version.
void RegisterProgramVersionResource();
