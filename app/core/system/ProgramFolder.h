// The folder of the running program, where its help file and its private libraries lie.
#pragma once

#include "afx.h"

// The folder with its trailing backslash; empty when the program's path cannot be had in MAX_PATH * 2 bytes.
CString GetProgramFolder();
