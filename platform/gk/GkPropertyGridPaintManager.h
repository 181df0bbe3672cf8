// CGkPropertyGridPaintManager: the look of a property grid for one theme: the colours an item reads while
// its metrics are at "default", and those of the grid's own parts (category rows, selection, help area,
// in-place buttons).
#pragma once

#include "windows.h"

class CGkPropertyGridItem;

struct GkPropertyGridColors {
    COLORREF clrWindow;        // value and caption cells
    COLORREF clrText;          // caption and value text
    COLORREF clrCategoryBack;  // category rows and the indent margin
    COLORREF clrCategoryText;  // category captions
    COLORREF clrLine;          // lines between cells
    COLORREF clrHighlight;     // the selected row's caption cell
    COLORREF clrHighlightText; // and its text
    COLORREF clrHelpBack;      // help area
    COLORREF clrHelpText;
    COLORREF clrButtonFace; // in-place buttons and the scroll bar
    COLORREF clrButtonText;
};

class CGkPropertyGridPaintManager {
public:
    explicit CGkPropertyGridPaintManager(int nTheme);

    // The theme of items that are in no grid yet.
    static const CGkPropertyGridPaintManager& Default();

    int GetTheme() const { return m_nTheme; }
    const GkPropertyGridColors& GetColors() const { return m_colors; }
    // Gives pItem and everything below it this theme's colours as their "default" ones.
    void ApplyStandardColors(CGkPropertyGridItem* pItem) const;

private:
    int m_nTheme;
    GkPropertyGridColors m_colors;
};
