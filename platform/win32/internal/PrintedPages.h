// Pages the printer DCs finished, kept for tests (WinGdiControl.h).
#pragma once

#include "Canvas.h"

namespace win32::internal {

// Keeps a copy of the canvas as the next printed page; the caller holds the canvas lock.
void KeepPrintedPage(Canvas& page);

} // namespace win32::internal
