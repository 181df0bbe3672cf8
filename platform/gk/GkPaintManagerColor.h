// CGkPaintManagerColor: a colour of the toolkit's painting that is either the theme's ("default") or one the
// program set. Until a COLORREF is assigned it reads as the theme's colour, so a caller can take the colour a
// fresh item is drawn in (the Log Details pane keeps its ordinary value colour that way).
#pragma once

#include "windows.h"

class CGkPaintManagerColor {
public:
    CGkPaintManagerColor() = default;
    explicit CGkPaintManagerColor(COLORREF clrStandard) : m_clrStandard(clrStandard) {}

    CGkPaintManagerColor& operator=(COLORREF clr) {
        SetCustomValue(clr);
        return *this;
    }
    // The colour it is drawn in: the custom one when set, else the theme's.
    operator COLORREF() const { return m_bCustom ? m_clrCustom : m_clrStandard; }

    void SetCustomValue(COLORREF clr) {
        m_clrCustom = clr;
        m_bCustom = TRUE;
    }
    // Back to "default": the theme's colour again.
    void SetDefaultValue() { m_bCustom = FALSE; }
    BOOL IsDefaultValue() const { return !m_bCustom; }
    BOOL IsCustomValue() const { return m_bCustom; }
    COLORREF GetCustomValue() const { return m_clrCustom; }

    // The theme's colour; the grid sets it when the item joins it and when the theme changes.
    void SetStandardValue(COLORREF clr) { m_clrStandard = clr; }
    COLORREF GetStandardColor() const { return m_clrStandard; }

private:
    COLORREF m_clrStandard = 0;
    COLORREF m_clrCustom = 0;
    BOOL m_bCustom = FALSE;
};
