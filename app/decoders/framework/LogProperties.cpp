#include "LogProperties.h"

#include <memory>

#include "GkPropertyGridItem.h"

namespace {

// Colours of the styles (COLORREF, 0x00BBGGRR).
constexpr COLORREF kBlue = 0xFF0000;
constexpr COLORREF kBlack = 0x000000;
constexpr COLORREF kRed = 0x0000FF;
constexpr COLORREF kGroupBack = 0xEBEBEB;
constexpr COLORREF kDescribedBack = 0xFAFAFA;

// Hands the item to the parent; the item is freed when there is no parent or the parent refuses it.
CGkPropertyGridItem* AddTo(CGkPropertyGridItem* parent, std::unique_ptr<CGkPropertyGridItem> item) {
    if (parent == nullptr || parent->AddChildItem(item.get()) == nullptr)
        return nullptr;
    return item.release();
}

} // namespace

void CLogProperties::ApplyStyle(CGkPropertyGridItem* item, GridItemStyle style) {
    CGkPropertyGridItemMetrics* caption = item->GetCaptionMetrics();
    CGkPropertyGridItemMetrics* value = item->GetValueMetrics();
    caption->m_clrFore.SetDefaultValue();
    caption->m_clrBack.SetDefaultValue();
    value->m_clrFore.SetDefaultValue();
    value->m_clrBack.SetDefaultValue();
    item->SetReadOnly(TRUE);
    switch (style) {
    case GridItemStyle::Plain: break;
    case GridItemStyle::Value:
        caption->m_clrFore = kBlue;
        caption->m_clrBack = kGroupBack;
        break;
    case GridItemStyle::Described:
        caption->m_clrFore = kBlack;
        caption->m_clrBack = kDescribedBack;
        value->m_clrBack = kDescribedBack;
        break;
    case GridItemStyle::ReadOnly: value->m_clrFore = kRed; break;
    }
}

CGkPropertyGridItem* CLogProperties::AddGridItem(CGkPropertyGridItem* parent, LPCSTR caption, LPCSTR value,
                                                 LPCSTR description) {
    CGkPropertyGridItem* item = AddTo(parent, std::make_unique<CGkPropertyGridItem>(caption, ""));
    if (item == nullptr)
        return nullptr;
    if (value != nullptr)
        item->SetValue(value);
    if (description != nullptr)
        item->SetDescription(description);
    item->SetReadOnly(TRUE);
    return item;
}

CGkPropertyGridItem* CLogProperties::AddGridItemValue(CGkPropertyGridItem* parent, LPCSTR caption, LPCSTR value) {
    CGkPropertyGridItem* item = AddGridItem(parent, caption, value, nullptr);
    if (item != nullptr)
        ApplyStyle(item, GridItemStyle::Value);
    return item;
}

CGkPropertyGridItem* CLogProperties::AddGridItemDescribed(CGkPropertyGridItem* parent, LPCSTR caption, LPCSTR value,
                                                          LPCSTR description) {
    CGkPropertyGridItem* item = AddGridItem(parent, caption, value, description);
    if (item != nullptr)
        ApplyStyle(item, GridItemStyle::Described);
    return item;
}

CGkPropertyGridItem* CLogProperties::AddGridItemReadOnly(CGkPropertyGridItem* parent, LPCSTR caption, LPCSTR value) {
    CGkPropertyGridItem* item = AddGridItem(parent, caption, value, nullptr);
    if (item != nullptr)
        ApplyStyle(item, GridItemStyle::ReadOnly);
    return item;
}

CGkPropertyGridItem* CLogProperties::AddGridCategory(CGkPropertyGridItem* parent, LPCSTR caption) {
    return AddTo(parent, std::make_unique<CGkPropertyGridItemCategory>(caption));
}
