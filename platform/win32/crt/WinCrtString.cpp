#include "WinCrtString.h"

namespace {

int FoldAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

} // namespace

int _strnicmp(const char* string1, const char* string2, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const int a = FoldAscii(static_cast<unsigned char>(string1[i]));
        const int b = FoldAscii(static_cast<unsigned char>(string2[i]));
        if (a != b || a == 0)
            return a - b;
    }
    return 0;
}

int _stricmp(const char* string1, const char* string2) {
    return _strnicmp(string1, string2, static_cast<size_t>(-1));
}
