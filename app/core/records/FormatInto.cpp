#include "app/core/records/FormatInto.h"

#include <cstdarg>
#include <cstdio>

void FormatInto(CString& text, const char* format, ...) {
    char buffer[256];
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (length < 0) {
        text.Empty();
        return;
    }
    text.SetString(buffer, length < int(sizeof buffer) ? length : int(sizeof buffer) - 1);
}
