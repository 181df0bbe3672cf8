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
    if (item != nullptr) {
        item->GetCaptionMetrics()->m_clrFore = kBlue;
        item->GetCaptionMetrics()->m_clrBack = kGroupBack;
    }
    return item;
}

CGkPropertyGridItem* CLogProperties::AddGridItemDescribed(CGkPropertyGridItem* parent, LPCSTR caption, LPCSTR value,
                                                          LPCSTR description) {
    CGkPropertyGridItem* item = AddGridItem(parent, caption, value, description);
    if (item != nullptr) {
        item->GetCaptionMetrics()->m_clrFore = kBlack;
        item->GetCaptionMetrics()->m_clrBack = kDescribedBack;
        item->GetValueMetrics()->m_clrBack = kDescribedBack;
    }
    return item;
}

CGkPropertyGridItem* CLogProperties::AddGridItemReadOnly(CGkPropertyGridItem* parent, LPCSTR caption, LPCSTR value) {
    CGkPropertyGridItem* item = AddGridItem(parent, caption, value, nullptr);
    if (item != nullptr)
        item->GetValueMetrics()->m_clrFore = kRed;
    return item;
}

CGkPropertyGridItem* CLogProperties::AddGridCategory(CGkPropertyGridItem* parent, LPCSTR caption) {
    return AddTo(parent, std::make_unique<CGkPropertyGridItemCategory>(caption));
}
