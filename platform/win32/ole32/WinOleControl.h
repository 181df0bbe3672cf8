// Simulation control of the OLE stand-in (ole2.h).
#pragma once

namespace win32 {

struct OleCounts {
    int initializations = 0; // successful OleInitialize calls
    int uninitializations = 0;
};

OleCounts OleCallCounts();
void ResetOleCounts();

} // namespace win32
