// GkSameText: whether two runs of characters of one length are equal, for the grid's look-ups by caption.
// Captions are short: up to 16 characters are compared in two overlapping words without a library call, and
// no byte outside either run is read.
#pragma once

#include <cstdint>
#include <cstring>

inline bool GkSameText(const char* a, const char* b, size_t n) {
    if (n >= 8 && n <= 16) {
        uint64_t a0, b0, a1, b1;
        std::memcpy(&a0, a, 8);
        std::memcpy(&b0, b, 8);
        std::memcpy(&a1, a + n - 8, 8);
        std::memcpy(&b1, b + n - 8, 8);
        return ((a0 ^ b0) | (a1 ^ b1)) == 0;
    }
    if (n >= 4 && n < 8) {
        uint32_t a0, b0, a1, b1;
        std::memcpy(&a0, a, 4);
        std::memcpy(&b0, b, 4);
        std::memcpy(&a1, a + n - 4, 4);
        std::memcpy(&b1, b + n - 4, 4);
        return ((a0 ^ b0) | (a1 ^ b1)) == 0;
    }
    if (n < 4) {
        for (size_t i = 0; i < n; ++i)
            if (a[i] != b[i])
                return false;
        return true;
    }
    return std::memcmp(a, b, n) == 0;
}
