// Formats into a caller's string through a buffer on the stack: the string's own buffer is the only one
// that may grow, and a string that already holds as much keeps its buffer. CString::Format builds its text
// in temporaries first, which a text made for every visible cell on every paint cannot afford.
#pragma once

#include "afx.h"

// printf formats of the C library ("%llx" for 64-bit values, "%u" for ULONG); texts longer than 255
// characters are cut.
void FormatInto(CString& text, const char* format, ...) __attribute__((format(printf, 2, 3)));
