// What the log writer does with the save progress window: move its bar, keep it responsive while learning
// whether the user cancelled, and finish it with the outcome.
#pragma once

#include "afx.h"

class CLogProgress;

// The bar's position, 0 to 100.
void ProgressDlgSetPos(CLogProgress* pDlg, int nPos);
// Runs the messages waiting for this thread through the framework's pump; FALSE when the user cancelled or
// the application is quitting (the quit message is posted again, so the application still ends).
BOOL ProgressDlgPumpMessages(CLogProgress* pDlg);
// The status line gets the text. Cancelled: " Canceled!" joins the title and the window stays. Otherwise the
// bar is full, and the window closes by itself with the AutoCloseProgress setting unless it is kept open.
// Either way OK takes over from Cancel.
void ProgressDlgFinish(CLogProgress* pDlg, LPCSTR lpszStatus);
