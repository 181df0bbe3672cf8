// CGkPropertyGridItemMetrics: how one cell of an item (its caption or its value) is drawn: text and background
// colours and a word of flags the program may set (kept with the item; the grid's drawing does not depend on it).
#pragma once

#include "GkPaintManagerColor.h"

class CGkPropertyGridItemMetrics {
public:
    CGkPaintManagerColor m_clrFore;
    CGkPaintManagerColor m_clrBack;
    DWORD m_dwFlags = 0;
};
