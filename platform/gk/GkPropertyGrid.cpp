#include "GkPropertyGrid.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "GkSameText.h"

namespace {

BOOL IsAncestorOrSelf(const CGkPropertyGridItem* pAncestor, const CGkPropertyGridItem* pItem) {
    for (const CGkPropertyGridItem* p = pItem; p; p = p->GetParentItem())
        if (p == pAncestor)
            return TRUE;
    return FALSE;
}

void AddRows(std::vector<GkPropertyGridRow>& rows, CGkPropertyGridItem* pItem, int nLevel) {
    if (pItem->IsHidden())
        return;
    rows.push_back({pItem, nLevel});
    if (!pItem->IsExpanded())
        return;
    CGkPropertyGridItems* pChilds = pItem->GetChilds();
    for (int i = 0; i < pChilds->GetCount(); ++i)
        AddRows(rows, pChilds->GetAt(i), nLevel + 1);
}

} // namespace

CGkPropertyGrid::CGkPropertyGrid()
    : m_pPaintManager(std::make_unique<CGkPropertyGridPaintManager>(0)),
      m_pCategories(new CGkPropertyGridItems(this, nullptr)) {}

CGkPropertyGrid::~CGkPropertyGrid() {
    // The window goes first, while the items it shows still exist.
    if (m_hWnd)
        DestroyWindow();
    m_pSelected = nullptr;
    delete m_pCategories;
}

void CGkPropertyGrid::SetTheme(int nTheme) {
    m_pPaintManager = std::make_unique<CGkPropertyGridPaintManager>(nTheme);
    for (int i = 0; i < m_pCategories->GetCount(); ++i)
        m_pPaintManager->ApplyStandardColors(m_pCategories->GetAt(i));
    OnLayoutChanged();
}

void CGkPropertyGrid::SetShowInplaceButtonsAlways(BOOL bShow) {
    m_bShowInplaceButtonsAlways = bShow ? TRUE : FALSE;
    OnLayoutChanged();
}

void CGkPropertyGrid::SetHelpHeight(int nHeight) {
    m_nHelpHeight = std::max(nHeight, 0);
    OnLayoutChanged();
}

void CGkPropertyGrid::HighlightChangedItems(BOOL bHighlight) {
    m_bHighlightChangedItems = bHighlight ? TRUE : FALSE;
    OnLayoutChanged();
}

void CGkPropertyGrid::SetPropertySort(GkPropertyGridSortOrder sort) {
    if (sort != gkGridSortAlphabetical)
        sort = gkGridSortCategorized;
    m_sort = sort;
    if (m_pSelected && !IsItemShown(m_pSelected))
        m_pSelected = nullptr;
    OnLayoutChanged();
}

CGkPropertyGridItem* CGkPropertyGrid::AddCategory(LPCTSTR lpszCaption) {
    return AddCategory(new CGkPropertyGridItemCategory(lpszCaption));
}

CGkPropertyGridItem* CGkPropertyGrid::AddCategory(CGkPropertyGridItem* pCategory) {
    if (!pCategory || !pCategory->CanBeAddedUnder(nullptr))
        return nullptr;
    m_pCategories->Add(pCategory);
    return pCategory;
}

CGkPropertyGridItem* CGkPropertyGrid::FindCategory(LPCTSTR lpszCaption) const {
    if (!lpszCaption)
        return nullptr;
    return FindCategory(lpszCaption, static_cast<int>(std::strlen(lpszCaption)));
}

void CGkPropertyGrid::KeepCategoryCaptions() const {
    m_categoryCaptions.clear();
    m_bDistinctCaptions = true;
    for (int i = 0; i < m_pCategories->GetCount(); ++i) {
        const CString& strCaption = m_pCategories->GetAt(i)->m_strCaption;
        for (const CategoryCaption& earlier : m_categoryCaptions)
            if (earlier.nLength == strCaption.GetLength() &&
                GkSameText(earlier.pchText, strCaption.GetString(), static_cast<size_t>(earlier.nLength)))
                m_bDistinctCaptions = false;
        m_categoryCaptions.push_back({m_pCategories->GetAt(i), strCaption.GetString(), strCaption.GetLength()});
    }
    m_nCaptionsVersion = m_nCategoriesVersion;
    m_nNextCategory = 0;
}

CGkPropertyGridItem* CGkPropertyGrid::FindCategory(LPCTSTR lpchCaption, int nLength) const {
    if (!lpchCaption || nLength < 0)
        return nullptr;
    const size_t nBytes = static_cast<size_t>(nLength);
    // A program names its categories in their order more often than not: while no two categories share a
    // caption, the one after the category found last is tried first, and when its caption reads as the text
    // asked for it is the only one with it. The captions are kept side by side for the purpose; they stay
    // the categories' own strings as long as the top level is unchanged.
    if (m_nCaptionsVersion != m_nCategoriesVersion)
        KeepCategoryCaptions();
    const int nCount = static_cast<int>(m_categoryCaptions.size());
    if (m_bDistinctCaptions && m_nNextCategory < nCount) {
        const CategoryCaption& guess = m_categoryCaptions[static_cast<size_t>(m_nNextCategory)];
        if (guess.nLength == nLength && GkSameText(guess.pchText, lpchCaption, nBytes)) {
            m_nNextCategory = m_nNextCategory + 1 < nCount ? m_nNextCategory + 1 : 0;
            return guess.pCategory;
        }
    }
    for (int i = 0; i < nCount; ++i) {
        const CategoryCaption& caption = m_categoryCaptions[static_cast<size_t>(i)];
        if (caption.nLength == nLength && GkSameText(caption.pchText, lpchCaption, nBytes)) {
            m_nNextCategory = i + 1 < nCount ? i + 1 : 0;
            return caption.pCategory;
        }
    }
    return nullptr;
}

void CGkPropertyGrid::ResetContent() {
    m_pCategories->Clear();
}

void CGkPropertyGrid::KeepSpareItem(CGkPropertyGridItem* pItem) {
    if (pItem == nullptr || pItem->GetGrid() != this)
        return;
    CGkPropertyGridItems* pList = pItem->GetParentItem() ? pItem->GetParentItem()->GetChilds() : m_pCategories;
    if (pList->DetachItem(pItem) == nullptr)
        return;
    // Most rows have no children: they go as they are, without a list of those still to go.
    if (!pItem->HasChilds()) {
        (pItem->IsCategory() ? m_spareCategories : m_spareItems).emplace_back(pItem);
        return;
    }
    // Out of the grid now, the item's children leave it with nobody to tell.
    std::vector<CGkPropertyGridItem*> pending{pItem};
    while (!pending.empty()) {
        CGkPropertyGridItem* pNext = pending.back();
        pending.pop_back();
        (pNext->IsCategory() ? m_spareCategories : m_spareItems).emplace_back(pNext);
        CGkPropertyGridItems* pChilds = pNext->GetChilds();
        while (pChilds->GetCount() > 0)
            pending.push_back(pChilds->DetachItem(pChilds->GetAt(pChilds->GetCount() - 1)));
    }
}

CGkPropertyGridItem* CGkPropertyGrid::TakeSpareItem(BOOL bCategory) {
    auto& spares = bCategory ? m_spareCategories : m_spareItems;
    if (spares.empty())
        return nullptr;
    CGkPropertyGridItem* pItem = spares.back().release();
    spares.pop_back();
    return pItem;
}

BOOL CGkPropertyGrid::SetSelectedItem(CGkPropertyGridItem* pItem) {
    if (pItem && (pItem->GetGrid() != this || !IsItemShown(pItem)))
        return FALSE;
    if (m_pSelected != pItem) {
        CGkPropertyGridItem* pOld = m_pSelected;
        m_pSelected = pItem;
        if (pOld)
            OnItemChanged(pOld);
        if (pItem)
            OnItemChanged(pItem);
        OnSelectionChanged();
    }
    return TRUE;
}

BOOL CGkPropertyGrid::IsItemShown(const CGkPropertyGridItem* pItem) const {
    if (m_sort == gkGridSortCategorized)
        return pItem->IsVisible();
    // Alphabetical: the top-level categories are not rows, and their expanded state does not matter.
    const CGkPropertyGridItem* pTop = pItem;
    while (pTop->GetParentItem())
        pTop = pTop->GetParentItem();
    if (pTop->IsCategory() && pTop == pItem)
        return FALSE;
    if (pItem->IsHidden())
        return FALSE;
    for (const CGkPropertyGridItem* p = pItem->GetParentItem(); p; p = p->GetParentItem())
        if (p->IsHidden() || (!p->IsExpanded() && !(p == pTop && p->IsCategory())))
            return FALSE;
    return TRUE;
}

std::vector<GkPropertyGridRow> CGkPropertyGrid::GetShownRows() const {
    std::vector<GkPropertyGridRow> rows;
    if (m_sort == gkGridSortCategorized) {
        for (int i = 0; i < m_pCategories->GetCount(); ++i)
            AddRows(rows, m_pCategories->GetAt(i), 0);
        return rows;
    }
    std::vector<CGkPropertyGridItem*> items;
    for (int i = 0; i < m_pCategories->GetCount(); ++i) {
        CGkPropertyGridItem* pTop = m_pCategories->GetAt(i);
        if (pTop->IsHidden())
            continue;
        if (!pTop->IsCategory()) {
            items.push_back(pTop);
            continue;
        }
        CGkPropertyGridItems* pChilds = pTop->GetChilds();
        for (int j = 0; j < pChilds->GetCount(); ++j)
            items.push_back(pChilds->GetAt(j));
    }
    std::stable_sort(items.begin(), items.end(), [](const CGkPropertyGridItem* a, const CGkPropertyGridItem* b) {
        return a->GetCaption().CompareNoCase(b->GetCaption()) < 0;
    });
    for (CGkPropertyGridItem* pItem : items)
        AddRows(rows, pItem, 0);
    return rows;
}

BOOL CGkPropertyGrid::HasExpandGlyph(const CGkPropertyGridItem* pItem) {
    if (pItem->IsCategory())
        return TRUE;
    const CGkPropertyGridItems* pChilds = pItem->GetChilds();
    for (int i = 0; i < pChilds->GetCount(); ++i)
        if (!pChilds->GetAt(i)->IsHidden())
            return TRUE;
    return FALSE;
}

void CGkPropertyGrid::OnItemChanged(CGkPropertyGridItem*) {
    if (m_hWnd)
        Invalidate(FALSE);
}

void CGkPropertyGrid::OnLayoutChanged() {
    if (!m_hWnd)
        return;
    UpdateScrollBar();
    Invalidate(FALSE);
}

void CGkPropertyGrid::OnSelectionChanged() {
    if (!m_hWnd)
        return;
    if (m_pSelected)
        EnsureVisible(FindRow(m_pSelected));
    Invalidate(FALSE);
}

void CGkPropertyGrid::OnItemAdded(CGkPropertyGridItem* pItem) {
    m_pPaintManager->ApplyStandardColors(pItem);
    OnLayoutChanged();
}

void CGkPropertyGrid::OnItemRemoving(CGkPropertyGridItem* pItem) {
    if (m_pSelected && IsAncestorOrSelf(pItem, m_pSelected)) {
        m_pSelected = nullptr;
        OnSelectionChanged();
    }
}

void CGkPropertyGrid::OnItemShownChanged(CGkPropertyGridItem* pItem) {
    if (m_pSelected && !IsItemShown(m_pSelected)) {
        // Collapsing keeps the selection on the row that folded it away; hiding drops it.
        CGkPropertyGridItem* pNew = IsAncestorOrSelf(pItem, m_pSelected) && IsItemShown(pItem) ? pItem : nullptr;
        m_pSelected = pNew;
        OnSelectionChanged();
    }
    OnLayoutChanged();
}
