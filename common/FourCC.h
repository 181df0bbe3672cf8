// Four-character tags (record kinds, frame markers, pool tags, node and event-ring tags) are kept as a
// 32-bit value whose bytes in memory are the four characters in the order they are written: "urbI" is
// the bytes 75 72 62 49, so the value read as a little-endian u32 is 0x49627275.
#pragma once

#include "ntdef.h"

constexpr ULONG FourCC(char c0, char c1, char c2, char c3) {
    return static_cast<ULONG>(static_cast<UCHAR>(c0)) | static_cast<ULONG>(static_cast<UCHAR>(c1)) << 8 |
           static_cast<ULONG>(static_cast<UCHAR>(c2)) << 16 | static_cast<ULONG>(static_cast<UCHAR>(c3)) << 24;
}

// FourCC("urbI"): the literal must have exactly four characters.
template <size_t N> constexpr ULONG FourCC(const char (&s)[N]) {
    static_assert(N == 5, "a tag has exactly four characters");
    return FourCC(s[0], s[1], s[2], s[3]);
}

// The character at position 0..3 of a tag, in writing order.
constexpr char FourCCChar(ULONG tag, unsigned index) {
    return static_cast<char>((tag >> (8 * index)) & 0xFF);
}

static_assert(FourCC("urbI") == 0x49627275);
static_assert(FourCCChar(FourCC("urbI"), 3) == 'I');
