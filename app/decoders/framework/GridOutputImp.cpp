#include "GridOutputImp.h"

#include <memory>

#include "GkPropertyGrid.h"
#include "GkPropertyGridItem.h"
#include "LogProperties.h"

namespace {

// Bit 0 of the value metrics' flag word: set on an item once it carries in-place buttons.
constexpr DWORD kHasInplaceButtonsFlag = 0x0001;

bool IsBelow(const CGkPropertyGridItem* item, const CGkPropertyGridItem* ancestor) {
    for (const CGkPropertyGridItem* p = item != nullptr ? item->GetParentItem() : nullptr; p != nullptr;
         p = p->GetParentItem()) {
        if (p == ancestor)
            return true;
    }
    return false;
}

void AddInplaceButton(CGkPropertyGridItem* item, UINT id, LPCSTR caption) {
    CGkPropertyGridInplaceButton* button = item->GetInplaceButtons()->AddButton(new CGkPropertyGridInplaceButton(id));
    button->SetCaption(caption);
    item->GetValueMetrics()->m_dwFlags |= kHasInplaceButtonsFlag;
}

} // namespace

GridOutputImp::GridOutputImp(GridOutputPane* pane) : autoExpand(true), m_Pane(pane), m_Current(nullptr) {}

CGkPropertyGridItem* GridOutputImp::FindCategory(LPCSTR caption) const {
    return m_Pane->GetPropertyGrid()->GetCategories()->FindItem(caption);
}

CGkPropertyGridItem* GridOutputImp::FindChild(LPCSTR caption) const {
    return m_Current != nullptr ? m_Current->GetChilds()->FindItem(caption) : nullptr;
}

CGkPropertyGridItem* GridOutputImp::FindChild(UINT id) const {
    return m_Current != nullptr ? m_Current->GetChilds()->FindItem(id) : nullptr;
}

void GridOutputImp::PushCurrent(CGkPropertyGridItem* item) {
    if (item == nullptr)
        return;
    m_Stack.Push(item);
    m_Current = item;
}

void GridOutputImp::ForgetDescendantsOf(const CGkPropertyGridItem* item) {
    CGkPropertyGridItem* kept[PtrStack8::kSlots];
    uint32_t count = 0;
    while (!m_Stack.IsEmpty()) {
        CGkPropertyGridItem* entry = m_Stack.Pop();
        if (!IsBelow(entry, item))
            kept[count++] = entry;
    }
    while (count > 0)
        m_Stack.Push(kept[--count]);
}

void GridOutputImp::EnterRecord() {
    m_Current = nullptr;
    m_Stack.Clear();
}

void GridOutputImp::BeginSection(const CString& name, const CString& itemName, const CString& value) {
    CGkPropertyGridItem* category = FindCategory(name);
    if (category == nullptr)
        return;
    category->SetHidden(FALSE);
    if (CGkPropertyGridItem* item = category->GetChilds()->FindItem(itemName))
        item->SetValue(value);
}

void GridOutputImp::ShowCategoryById(UINT id, const char* caption) {
    CGkPropertyGridItem* category = m_Pane->GetPropertyGrid()->GetCategories()->FindItem(id);
    if (category == nullptr)
        return;
    if (caption != nullptr)
        category->SetCaption(caption);
    category->SetHidden(FALSE);
    PushCurrent(category);
}

void GridOutputImp::ShowCategory(const CString& caption) {
    CGkPropertyGridItem* category = FindCategory(caption);
    if (category == nullptr)
        return;
    category->SetHidden(FALSE);
    PushCurrent(category);
}

void GridOutputImp::HideCategory(const CString& caption) {
    if (CGkPropertyGridItem* category = FindCategory(caption))
        category->SetHidden(TRUE);
}

void GridOutputImp::SetItemValueById(UINT id, const CString& value) {
    if (CGkPropertyGridItem* item = FindChild(id)) {
        item->SetHidden(FALSE);
        item->SetValue(value);
    }
}

void GridOutputImp::SetItemValue(const CString& caption, const CString& value) {
    if (CGkPropertyGridItem* item = FindChild(caption)) {
        item->SetHidden(FALSE);
        item->SetValue(value);
    }
}

void GridOutputImp::SetItemValueColour(const CString& caption, const CString& value, COLORREF colour) {
    if (CGkPropertyGridItem* item = FindChild(caption)) {
        item->SetHidden(FALSE);
        item->SetValue(value);
        item->GetValueMetrics()->m_clrFore = colour;
    }
}

COLORREF GridOutputImp::GetValueColour() {
    return m_Pane->GetNormalValueColour();
}

void GridOutputImp::HideItem(const CString& caption) {
    if (CGkPropertyGridItem* item = FindChild(caption))
        item->SetHidden(TRUE);
}

void GridOutputImp::SetItemDescription(const CString& caption, const CString& description) {
    if (CGkPropertyGridItem* item = FindChild(caption)) {
        item->SetHidden(FALSE);
        item->SetDescription(description);
    }
}

void GridOutputImp::AddDescribedItem(const char* caption, const char* value, const char* description, bool clearFirst) {
    if (m_Current == nullptr)
        return;
    m_Current->SetHidden(FALSE);
    if (clearFirst) {
        // An open group among the children would be left on the stack pointing at a freed item.
        ForgetDescendantsOf(m_Current);
        m_Current->GetChilds()->Clear();
    }
    CLogProperties().AddGridItemDescribed(m_Current, caption, value, description);
}

void GridOutputImp::BeginValueGroup(const char* caption, const char* value) {
    PushCurrent(CLogProperties().AddGridItemValue(m_Current, caption, value));
}

void GridOutputImp::BeginGroup(const char* caption, const char* value) {
    PushCurrent(CLogProperties().AddGridItem(m_Current, caption, value, nullptr));
}

void GridOutputImp::BeginCategory(const char* caption) {
    PushCurrent(CLogProperties().AddGridCategory(m_Current, caption));
}

void GridOutputImp::AddDataBufferItem(const char* caption) {
    if (m_Current == nullptr)
        return;
    // Not read-only: its buttons must stay pressable.
    auto made = std::make_unique<CGkPropertyGridItem>(caption);
    if (m_Current->AddChildItem(made.get()) == nullptr)
        return;
    CGkPropertyGridItem* item = made.release();
    AddInplaceButton(item, kToggleDataBarId, "Toggle Databar");
    AddInplaceButton(item, kExportCsvId, "Export as CSV...");
}

void GridOutputImp::AddItem(const char* caption, const char* value, const char* description) {
    CLogProperties().AddGridItem(m_Current, caption, value, description);
}

void GridOutputImp::AddReadOnlyItem(const char* caption, const char* value) {
    CLogProperties().AddGridItemReadOnly(m_Current, caption, value);
}

void GridOutputImp::ExpandCurrent() {
    if (autoExpand && m_Current != nullptr)
        m_Current->Expand();
}

void GridOutputImp::EndGroup() {
    PopGroup();
}

void GridOutputImp::PopGroup() {
    if (m_Stack.IsEmpty())
        return;
    CGkPropertyGridItem* entry = m_Stack.Pop();
    if (entry == m_Current)
        entry = m_Stack.Pop();
    if (entry == m_Current)
        return;
    // The entry is the level to return to; with none left there is no current item, and nothing goes back on
    // the stack, so an empty slot never counts as a level.
    if (entry != nullptr)
        m_Stack.Push(entry);
    m_Current = entry;
}
