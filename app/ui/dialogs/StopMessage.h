// The program's stop message: a message box with no owner, the program's caption and the stop icon, for
// failures the user must hear of (the driver cannot be reached or opened).
#pragma once

#include "windows.h"

// The caption of the program's own message boxes.
constexpr char kStopMessageCaption[] = "Tindaloft";
// The capture driver's control device cannot be opened.
constexpr char kNoDriverMessage[] = "Unable to connect to Tindaloft analyzer driver.\nProgram is terminating.";

void ShowStopMessage(LPCSTR lpszText);
