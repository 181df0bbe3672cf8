#include "GkPropertyGridPaintManager.h"

#include "GkPropertyGridItem.h"

namespace {

// Themes differ in their category and selection shades; text stays black on white so that a colour a
// program sets reads the same in every theme.
GkPropertyGridColors ThemeColors(int nTheme) {
    GkPropertyGridColors c{};
    c.clrWindow = RGB(0xFF, 0xFF, 0xFF);
    c.clrText = RGB(0, 0, 0);
    c.clrCategoryBack = RGB(0xD4, 0xD0, 0xC8);
    c.clrCategoryText = RGB(0, 0, 0);
    c.clrLine = RGB(0xD4, 0xD0, 0xC8);
    c.clrHighlight = RGB(0x0A, 0x24, 0x6A);
    c.clrHighlightText = RGB(0xFF, 0xFF, 0xFF);
    c.clrHelpBack = RGB(0xD4, 0xD0, 0xC8);
    c.clrHelpText = RGB(0, 0, 0);
    c.clrButtonFace = RGB(0xD4, 0xD0, 0xC8);
    c.clrButtonText = RGB(0, 0, 0);
    switch (nTheme) {
    case 4: // light blue office look
    case 6:
        c.clrCategoryBack = RGB(0xDD, 0xE7, 0xF5);
        c.clrCategoryText = RGB(0x15, 0x42, 0x8B);
        c.clrLine = RGB(0xDD, 0xE7, 0xF5);
        c.clrHighlight = RGB(0x31, 0x6A, 0xC5);
        c.clrHelpBack = RGB(0xF0, 0xF4, 0xFA);
        c.clrButtonFace = RGB(0xE3, 0xEB, 0xF7);
        break;
    case 2: // flat grey
    case 3:
        c.clrCategoryBack = RGB(0xF0, 0xF0, 0xF0);
        c.clrLine = RGB(0xF0, 0xF0, 0xF0);
        c.clrHighlight = RGB(0x33, 0x99, 0xFF);
        c.clrHelpBack = RGB(0xF0, 0xF0, 0xF0);
        c.clrButtonFace = RGB(0xF0, 0xF0, 0xF0);
        break;
    default:
        break;
    }
    return c;
}

void ApplyToItem(CGkPropertyGridItem* pItem, const GkPropertyGridColors& c) {
    const BOOL bCategory = pItem->IsCategory();
    CGkPropertyGridItemMetrics* pCaption = pItem->GetCaptionMetrics();
    pCaption->m_clrFore.SetStandardValue(bCategory ? c.clrCategoryText : c.clrText);
    pCaption->m_clrBack.SetStandardValue(bCategory ? c.clrCategoryBack : c.clrWindow);
    CGkPropertyGridItemMetrics* pValue = pItem->GetValueMetrics();
    pValue->m_clrFore.SetStandardValue(bCategory ? c.clrCategoryText : c.clrText);
    pValue->m_clrBack.SetStandardValue(bCategory ? c.clrCategoryBack : c.clrWindow);
    CGkPropertyGridItems* pChilds = pItem->GetChilds();
    for (int i = 0; i < pChilds->GetCount(); ++i)
        ApplyToItem(pChilds->GetAt(i), c);
}

} // namespace

CGkPropertyGridPaintManager::CGkPropertyGridPaintManager(int nTheme)
    : m_nTheme(nTheme), m_colors(ThemeColors(nTheme)) {}

const CGkPropertyGridPaintManager& CGkPropertyGridPaintManager::Default() {
    static const CGkPropertyGridPaintManager manager(0);
    return manager;
}

void CGkPropertyGridPaintManager::ApplyStandardColors(CGkPropertyGridItem* pItem) const {
    ApplyToItem(pItem, m_colors);
}
