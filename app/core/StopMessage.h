// The program's stop message: a message box with no owner, the program's caption and the stop icon, for
// failures the user must hear of (the driver cannot be reached or opened).
#pragma once

#include "windows.h"

// The caption of the program's own message boxes.
constexpr char kStopMessageCaption[] = "Tindaloft";

void ShowStopMessage(LPCSTR lpszText);
