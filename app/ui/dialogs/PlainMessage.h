// The program's plain messages: a message box owned by the main window (none without one), with the
// program's name as its caption and no icon unless the type asks for one.
#pragma once

#include "windows.h"

int ShowPlainMessage(LPCSTR lpszText, UINT nType = MB_OK);
