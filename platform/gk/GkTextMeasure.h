// CGkTextMeasure: measures text in a font outside of painting (a memory DC with the font selected), for the
// layouts of the grid and the status bar.
#pragma once

#include "afxwin.h"

class CGkTextMeasure {
public:
    explicit CGkTextMeasure(HGDIOBJ hFont);
    ~CGkTextMeasure();
    CGkTextMeasure(const CGkTextMeasure&) = delete;
    CGkTextMeasure& operator=(const CGkTextMeasure&) = delete;

    // (0, 0) when no DC could be had.
    CSize GetTextExtent(LPCTSTR lpszText) const;
    // The font's height; 0 when no DC could be had.
    int GetTextHeight() const;

private:
    HDC m_hDC;
    HGDIOBJ m_hOldFont = nullptr;
};
