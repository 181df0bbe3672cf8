// CGkPropertyGridItemMetrics: how one cell of an item (its caption or its value) is drawn: text and background
// colours and a word of drawing flags the program may set.
#pragma once

#include "GkPaintManagerColor.h"

// Flags of the metrics' flag word.
// An item whose value metrics carry this bit keeps its in-place buttons clear of the value text: the value
// is clipped at the buttons' left edge instead of running under them.
#define GK_METRICS_INPLACEBUTTONS_CLIP 0x0001

class CGkPropertyGridItemMetrics {
public:
    CGkPaintManagerColor m_clrFore;
    CGkPaintManagerColor m_clrBack;
    DWORD m_dwFlags = 0;
};
