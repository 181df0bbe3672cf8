#include "GridOutputImp.h"

#include <cstring>
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

bool IsSelfOrBelow(const CGkPropertyGridItem* item, const CGkPropertyGridItem* ancestor) {
    return item == ancestor || IsBelow(item, ancestor);
}

// The characters of a text an add was given, null meaning none.
int TextLength(const char* text) {
    return text != nullptr ? static_cast<int>(std::strlen(text)) : 0;
}

// A kept item made as the toolkit makes a new one with the caption, value and description: no id, shown and
// folded, its colours the toolkit's. The rows are the back-end's own plain items: the value is set from the
// characters, with no string made for it.
void Blank(CGkPropertyGridItem* item, const char* caption, const char* value = nullptr,
           const char* description = nullptr) {
    item->SetCaption(caption, TextLength(caption));
    item->SetValueText(value, TextLength(value));
    item->SetDescription(description, TextLength(description));
    item->SetID(0);
    item->SetHidden(FALSE);
    item->Collapse();
    item->GetCaptionMetrics()->m_clrFore.SetDefaultValue();
    item->GetCaptionMetrics()->m_clrBack.SetDefaultValue();
    item->GetCaptionMetrics()->m_dwFlags = 0;
    item->GetValueMetrics()->m_clrFore.SetDefaultValue();
    item->GetValueMetrics()->m_clrBack.SetDefaultValue();
    item->GetValueMetrics()->m_dwFlags = 0;
}

void AddInplaceButton(CGkPropertyGridItem* item, UINT id, LPCSTR caption) {
    CGkPropertyGridInplaceButton* button = item->GetInplaceButtons()->AddButton(new CGkPropertyGridInplaceButton(id));
    button->SetCaption(caption);
    item->GetValueMetrics()->m_dwFlags |= kHasInplaceButtonsFlag;
}

// The data-buffer item's buttons, as a new one gets them.
void AddDataBufferButtons(CGkPropertyGridItem* item) {
    AddInplaceButton(item, GridOutputImp::kToggleDataBarId, "Toggle Databar");
    AddInplaceButton(item, GridOutputImp::kExportCsvId, "Export as CSV...");
}

} // namespace

GridOutputImp::GridOutputImp(GridOutputPane* pane) : autoExpand(true), m_Pane(pane), m_Current(nullptr) {}

GridOutputImp::~GridOutputImp() {
    FinishFrom(nullptr);
}

GridOutputImp::Rewrite* GridOutputImp::FindRewrite(const CGkPropertyGridItem* parent) {
    for (int i = 0; i < m_RewriteCount; ++i)
        if (m_Rewrites[i].parent == parent)
            return &m_Rewrites[i];
    return nullptr;
}

void GridOutputImp::DropRewritesBelow(const CGkPropertyGridItem* item) {
    int kept = 0;
    for (int i = 0; i < m_RewriteCount; ++i) {
        if (IsBelow(m_Rewrites[i].parent, item))
            continue;
        if (kept != i)
            m_Rewrites[kept] = m_Rewrites[i];
        ++kept;
    }
    m_RewriteCount = kept;
}

void GridOutputImp::StartRewrite(CGkPropertyGridItem* parent) {
    if (!parent->HasChilds()) {
        // Most rows have no children: nothing lies below them, neither a rewrite nor the selection.
        if (Rewrite* rewrite = FindRewrite(parent))
            rewrite->next = 0;
        return;
    }
    DropRewritesBelow(parent);
    // The selection does not stay on a row that is made again.
    CGkPropertyGrid* grid = parent->GetGrid();
    if (grid != nullptr && grid->GetSelectedItem() != nullptr && IsBelow(grid->GetSelectedItem(), parent))
        grid->SetSelectedItem(nullptr);
    if (Rewrite* rewrite = FindRewrite(parent)) {
        rewrite->next = 0;
        return;
    }
    if (!parent->HasChilds())
        return;
    if (m_RewriteCount == kRewrites) {
        parent->GetChilds()->Clear();
        return;
    }
    m_Rewrites[m_RewriteCount++] = {parent, 0};
}

void GridOutputImp::FinishRewrite(CGkPropertyGridItem* parent) {
    Rewrite* rewrite = FindRewrite(parent);
    if (rewrite == nullptr)
        return;
    const int next = rewrite->next;
    *rewrite = m_Rewrites[--m_RewriteCount];
    CGkPropertyGridItems* children = parent->GetChilds();
    for (int i = children->GetCount() - 1; i >= next; --i)
        Retire(children->GetAt(i));
}

void GridOutputImp::Retire(CGkPropertyGridItem* item) {
    if (CGkPropertyGrid* grid = item->GetGrid())
        grid->KeepSpareItem(item);
    else
        item->Remove();
}

CGkPropertyGridItem* GridOutputImp::AddSpare(Kind kind) {
    CGkPropertyGrid* grid = m_Current != nullptr ? m_Current->GetGrid() : nullptr;
    CGkPropertyGridItem* item = grid != nullptr ? grid->TakeSpareItem(kind == Kind::Category) : nullptr;
    if (item == nullptr)
        return nullptr;
    const bool hasButtons = item->GetInplaceButtons()->GetCount() > 0;
    if (hasButtons != (kind == Kind::DataBuffer)) {
        item->GetInplaceButtons()->RemoveAll();
        if (kind == Kind::DataBuffer)
            AddDataBufferButtons(item);
    }
    if (m_Current->AddChildItem(item) == nullptr) {
        delete item;
        return nullptr;
    }
    Appended();
    return item;
}

void GridOutputImp::FinishFrom(const CGkPropertyGridItem* top) {
    // The deepest first: a parent's trim never frees an item whose own rewrite is still open.
    for (;;) {
        CGkPropertyGridItem* deepest = nullptr;
        int depth = -1;
        for (int i = 0; i < m_RewriteCount; ++i) {
            CGkPropertyGridItem* parent = m_Rewrites[i].parent;
            if (top != nullptr && !IsSelfOrBelow(parent, top))
                continue;
            const int indent = parent->GetIndent();
            if (indent > depth) {
                deepest = parent;
                depth = indent;
            }
        }
        if (deepest == nullptr)
            return;
        FinishRewrite(deepest);
    }
}

CGkPropertyGridItem* GridOutputImp::Reuse(Kind kind) {
    Rewrite* rewrite = m_Current != nullptr ? FindRewrite(m_Current) : nullptr;
    if (rewrite == nullptr)
        return AddSpare(kind);
    CGkPropertyGridItems* children = m_Current->GetChilds();
    while (rewrite->next < children->GetCount()) {
        CGkPropertyGridItem* child = children->GetAt(rewrite->next);
        const Kind found = child->IsCategory()                          ? Kind::Category
                           : child->GetInplaceButtons()->GetCount() > 0 ? Kind::DataBuffer
                                                                        : Kind::Item;
        // An item and a data-buffer item differ only in the buttons: either serves for the other.
        if (found == kind || (found != Kind::Category && kind != Kind::Category)) {
            ++rewrite->next;
            if (found != kind) {
                child->GetInplaceButtons()->RemoveAll();
                if (kind == Kind::DataBuffer)
                    AddDataBufferButtons(child);
            }
            StartRewrite(child);
            return child;
        }
        DropRewritesBelow(child);
        Retire(child);
    }
    return AddSpare(kind);
}

void GridOutputImp::Appended() {
    if (Rewrite* rewrite = m_Current != nullptr ? FindRewrite(m_Current) : nullptr)
        rewrite->next = m_Current->GetChilds()->GetCount();
}

bool GridOutputImp::IsCurrentRow(const CGkPropertyGridItem* child) {
    const Rewrite* rewrite = child != nullptr ? FindRewrite(m_Current) : nullptr;
    return rewrite == nullptr || m_Current->GetChilds()->IndexOf(child) < rewrite->next;
}

CGkPropertyGridItem* GridOutputImp::AddStyled(GridItemStyle style, const char* caption, const char* value,
                                              const char* description) {
    if (CGkPropertyGridItem* item = Reuse(Kind::Item)) {
        // A value group has no description, the error style neither.
        const bool described = style == GridItemStyle::Plain || style == GridItemStyle::Described;
        Blank(item, caption, value, described ? description : nullptr);
        CLogProperties::ApplyStyle(item, style);
        return item;
    }
    CLogProperties properties;
    CGkPropertyGridItem* item = nullptr;
    switch (style) {
    case GridItemStyle::Plain: item = properties.AddGridItem(m_Current, caption, value, description); break;
    case GridItemStyle::Value: item = properties.AddGridItemValue(m_Current, caption, value); break;
    case GridItemStyle::Described:
        item = properties.AddGridItemDescribed(m_Current, caption, value, description);
        break;
    case GridItemStyle::ReadOnly: item = properties.AddGridItemReadOnly(m_Current, caption, value); break;
    }
    Appended();
    return item;
}

CGkPropertyGrid* GridOutputImp::Grid() const {
    if (m_Grid == nullptr)
        m_Grid = m_Pane->GetPropertyGrid();
    return m_Grid;
}

CGkPropertyGridItem* GridOutputImp::FindCategory(const CString& caption) const {
    return Grid()->FindCategory(caption.GetString(), caption.GetLength());
}

CGkPropertyGridItem* GridOutputImp::FindChild(const CString& caption) {
    CGkPropertyGridItem* child =
        m_Current != nullptr ? m_Current->GetChilds()->FindItem(caption.GetString(), caption.GetLength()) : nullptr;
    return IsCurrentRow(child) ? child : nullptr;
}

CGkPropertyGridItem* GridOutputImp::FindChild(UINT id) {
    CGkPropertyGridItem* child = m_Current != nullptr ? m_Current->GetChilds()->FindItem(id) : nullptr;
    return IsCurrentRow(child) ? child : nullptr;
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
    FinishFrom(nullptr);
    m_Current = nullptr;
    m_Stack.Clear();
}

void GridOutputImp::BeginSection(const CString& name, const CString& itemName, const CString& value) {
    CGkPropertyGridItem* category = FindCategory(name);
    if (category == nullptr)
        return;
    category->SetHidden(FALSE);
    if (CGkPropertyGridItem* item = category->GetChilds()->FindItem(itemName.GetString(), itemName.GetLength()))
        item->SetValue(value);
}

void GridOutputImp::ShowCategoryById(UINT id, const char* caption) {
    CGkPropertyGridItem* category = Grid()->GetCategories()->FindItem(id);
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
        // An open group among the children is no longer open: the rows that follow replace them.
        ForgetDescendantsOf(m_Current);
        StartRewrite(m_Current);
    }
    AddStyled(GridItemStyle::Described, caption, value, description);
}

void GridOutputImp::BeginValueGroup(const char* caption, const char* value) {
    PushCurrent(AddStyled(GridItemStyle::Value, caption, value, nullptr));
}

void GridOutputImp::BeginGroup(const char* caption, const char* value) {
    PushCurrent(AddStyled(GridItemStyle::Plain, caption, value, nullptr));
}

void GridOutputImp::BeginCategory(const char* caption) {
    if (CGkPropertyGridItem* item = Reuse(Kind::Category)) {
        Blank(item, caption);
        item->SetReadOnly(FALSE);
        PushCurrent(item);
        return;
    }
    CGkPropertyGridItem* item = CLogProperties().AddGridCategory(m_Current, caption);
    Appended();
    PushCurrent(item);
}

void GridOutputImp::AddDataBufferItem(const char* caption) {
    if (m_Current == nullptr)
        return;
    // Not read-only: its buttons must stay pressable.
    if (CGkPropertyGridItem* item = Reuse(Kind::DataBuffer)) {
        Blank(item, caption);
        item->SetReadOnly(FALSE);
        item->GetValueMetrics()->m_dwFlags |= kHasInplaceButtonsFlag;
        return;
    }
    auto made = std::make_unique<CGkPropertyGridItem>(caption);
    if (m_Current->AddChildItem(made.get()) == nullptr)
        return;
    AddDataBufferButtons(made.release());
    Appended();
}

void GridOutputImp::AddItem(const char* caption, const char* value, const char* description) {
    AddStyled(GridItemStyle::Plain, caption, value, description);
}

void GridOutputImp::AddReadOnlyItem(const char* caption, const char* value) {
    AddStyled(GridItemStyle::ReadOnly, caption, value, nullptr);
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
    // The group being closed has all its rows.
    if (m_Current != nullptr)
        FinishFrom(m_Current);
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
