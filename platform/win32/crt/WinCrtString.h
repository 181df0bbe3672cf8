// The C runtime's case-blind comparison that programs built for the platform call.
#pragma once

#include <cstddef>

// Compares as bytes after folding ASCII letters to lower case, as the runtime does in the "C" locale: negative,
// zero or positive as the first string sorts before, with or after the second.
int _stricmp(const char* string1, const char* string2);
int _strnicmp(const char* string1, const char* string2, size_t count);
