// The C runtime's 32-bit time routines that programs built for the platform call.
#pragma once

#include <ctime>

#include "windef.h"

typedef int32_t __time32_t;
typedef int errno_t;

// Breaks a time down as UTC into `result`. Fails with EINVAL (and `result` filled with -1) for null pointers
// and negative times, as the runtime does; fails on request (WinFailureControl.h, name "_gmtime32_s").
errno_t _gmtime32_s(struct tm* result, const __time32_t* time);
