// GkSameText: whether two runs of characters of one length are equal, for the grid's look-ups by caption.
// Captions are short: up to 16 characters are compared in two overlapping words without a library call, and
// no byte outside either run is read.
#pragma once

#include <cstdint>
#include <cstring>

// Equal when the first and the last sizeof(Word) characters are: for sizeof(Word) <= n <= 2 * sizeof(Word), the two
// words cover the whole run.
template <typename Word> inline bool GkSameEnds(const char* a, const char* b, size_t n) {
    Word a0, b0, a1, b1;
    std::memcpy(&a0, a, sizeof(Word));
    std::memcpy(&b0, b, sizeof(Word));
    std::memcpy(&a1, a + n - sizeof(Word), sizeof(Word));
    std::memcpy(&b1, b + n - sizeof(Word), sizeof(Word));
    return ((a0 ^ b0) | (a1 ^ b1)) == 0;
}

inline bool GkSameText(const char* a, const char* b, size_t n) {
    if (n >= 8 && n <= 16)
        return GkSameEnds<uint64_t>(a, b, n);
    if (n >= 4 && n < 8)
        return GkSameEnds<uint32_t>(a, b, n);
    if (n < 4) {
        for (size_t i = 0; i < n; ++i)
            if (a[i] != b[i])
                return false;
        return true;
    }
    return std::memcmp(a, b, n) == 0;
}
