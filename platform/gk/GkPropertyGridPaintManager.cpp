#include "GkPropertyGridPaintManager.h"

#include "GkPropertyGridItem.h"

namespace {

// Themes differ in their category, selection and help shades; text stays black on white so that a colour a
// program sets reads the same in every theme.
struct ThemeShades {
    COLORREF clrCategoryBack;
    COLORREF clrCategoryText;
    COLORREF clrHighlight;
    COLORREF clrHelpBack;
};

ThemeShades ShadesOf(int nTheme) {
    switch (nTheme) {
    case 4: // light blue
    case 6: return {RGB(0xDD, 0xE7, 0xF5), RGB(0x15, 0x42, 0x8B), RGB(0x31, 0x6A, 0xC5), RGB(0xF0, 0xF4, 0xFA)};
    case 2: // flat grey
    case 3: return {RGB(0xF0, 0xF0, 0xF0), RGB(0, 0, 0), RGB(0x33, 0x99, 0xFF), RGB(0xF0, 0xF0, 0xF0)};
    default: // classic
        return {RGB(0xD4, 0xD0, 0xC8), RGB(0, 0, 0), RGB(0x0A, 0x24, 0x6A), RGB(0xD4, 0xD0, 0xC8)};
    }
}

GkPropertyGridColors ThemeColors(int nTheme) {
    const ThemeShades shades = ShadesOf(nTheme);
    GkPropertyGridColors c{};
    c.clrWindow = RGB(0xFF, 0xFF, 0xFF);
    c.clrText = RGB(0, 0, 0);
    c.clrCategoryBack = shades.clrCategoryBack;
    c.clrCategoryText = shades.clrCategoryText;
    c.clrLine = shades.clrCategoryBack;
    c.clrHighlight = shades.clrHighlight;
    c.clrHighlightText = RGB(0xFF, 0xFF, 0xFF);
    c.clrHelpBack = shades.clrHelpBack;
    c.clrHelpText = RGB(0, 0, 0);
    c.clrButtonFace = shades.clrHelpBack;
    c.clrButtonText = RGB(0, 0, 0);
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
