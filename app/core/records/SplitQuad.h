// A 64-bit value as the capture log file keeps it: the low half, then the high half, each a u32.
#pragma once

#include "afx.h"

inline void StoreSplitQuad(CArchive& ar, LONGLONG llValue) {
    const auto ull = static_cast<ULONGLONG>(llValue);
    ar << static_cast<DWORD>(ull & 0xFFFFFFFFu) << static_cast<DWORD>(ull >> 32);
}

inline LONGLONG LoadSplitQuad(CArchive& ar) {
    DWORD dwLow = 0;
    DWORD dwHigh = 0;
    ar >> dwLow >> dwHigh;
    return static_cast<LONGLONG>((static_cast<ULONGLONG>(dwHigh) << 32) | dwLow);
}
