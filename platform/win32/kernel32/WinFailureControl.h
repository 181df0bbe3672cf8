// Simulation control: makes calls of the user-mode stand-in fail on request, so that a caller's error paths run
// for real. A plan names the function as the platform names it ("SetFileTime") and the error the call leaves in
// GetLastError; the call then fails the way that function reports failure (FALSE, 0, INVALID_HANDLE_VALUE...).
// Only the calls that say so in their header consult the plans.
#pragma once

#include "windef.h"

namespace win32 {

struct CallFailure {
    const char* function = nullptr;
    DWORD error = 0;
    int skip = 0;   // calls that still succeed first
    int count = -1; // calls that then fail; -1: every further call
};

void FailCalls(const CallFailure& plan);
// Forgets every plan; calls succeed again.
void ClearCallFailures();

namespace internal {
// True (and the plan's error set as the last error) when the plan for `function` fails this call.
bool CallFailsNow(const char* function);
} // namespace internal

} // namespace win32
