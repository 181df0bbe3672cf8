#include "GkPropertyGridItems.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "GkPropertyGrid.h"
#include "GkPropertyGridItem.h"
#include "GkSameText.h"

CGkPropertyGridItems::~CGkPropertyGridItems() {
    // The owner is going away with everything below it; nobody is left to tell.
    for (CGkPropertyGridItem* pItem : m_arrItems)
        delete pItem;
}

CGkPropertyGridItem* CGkPropertyGridItems::GetAt(int nIndex) const {
    if (nIndex < 0 || nIndex >= GetCount())
        return nullptr;
    return m_arrItems[static_cast<size_t>(nIndex)];
}

CGkPropertyGridItem* CGkPropertyGridItems::FindItem(LPCTSTR lpszCaption) const {
    if (!lpszCaption)
        return nullptr;
    return FindItem(lpszCaption, static_cast<int>(std::strlen(lpszCaption)));
}

CGkPropertyGridItem* CGkPropertyGridItems::FindItem(LPCTSTR lpchCaption, int nLength) const {
    if (!lpchCaption || nLength < 0)
        return nullptr;
    // The captions' lengths are kept: most captions differ in length or in their first character, and those
    // tests spare the comparison for them.
    const size_t nBytes = static_cast<size_t>(nLength);
    for (CGkPropertyGridItem* pItem : m_arrItems) {
        const CString& strCaption = pItem->m_strCaption;
        if (strCaption.GetLength() == nLength &&
            (nLength == 0 ||
             (strCaption.GetString()[0] == lpchCaption[0] && GkSameText(strCaption.GetString(), lpchCaption, nBytes))))
            return pItem;
    }
    return nullptr;
}

CGkPropertyGridItem* CGkPropertyGridItems::FindItem(UINT nID) const {
    for (CGkPropertyGridItem* pItem : m_arrItems)
        if (pItem->m_nID == nID)
            return pItem;
    return nullptr;
}

int CGkPropertyGridItems::IndexOf(const CGkPropertyGridItem* pItem) const {
    auto it = std::find(m_arrItems.begin(), m_arrItems.end(), pItem);
    return it == m_arrItems.end() ? -1 : static_cast<int>(it - m_arrItems.begin());
}

void CGkPropertyGridItems::Clear() {
    if (m_arrItems.empty())
        return;
    std::vector<CGkPropertyGridItem*> arrItems;
    arrItems.swap(m_arrItems);
    OnMembersChanged();
    for (CGkPropertyGridItem* pItem : arrItems) {
        if (m_pGrid)
            m_pGrid->OnItemRemoving(pItem);
        delete pItem;
    }
    if (m_pGrid)
        m_pGrid->OnLayoutChanged();
}

BOOL CGkPropertyGridItems::RemoveItem(CGkPropertyGridItem* pItem) {
    auto it = std::find(m_arrItems.begin(), m_arrItems.end(), pItem);
    if (it == m_arrItems.end())
        return FALSE;
    m_arrItems.erase(it);
    OnMembersChanged();
    if (m_pGrid)
        m_pGrid->OnItemRemoving(pItem);
    delete pItem;
    if (m_pGrid)
        m_pGrid->OnLayoutChanged();
    return TRUE;
}

CGkPropertyGridItem* CGkPropertyGridItems::DetachItem(CGkPropertyGridItem* pItem) {
    // Members usually leave from the end: the search starts there.
    auto it = std::find(m_arrItems.rbegin(), m_arrItems.rend(), pItem);
    if (it == m_arrItems.rend())
        return nullptr;
    m_arrItems.erase(std::next(it).base());
    OnMembersChanged();
    if (m_pGrid)
        m_pGrid->OnItemRemoving(pItem);
    pItem->Attach(nullptr, nullptr);
    if (m_pGrid)
        m_pGrid->OnLayoutChanged();
    return pItem;
}

void CGkPropertyGridItems::Add(CGkPropertyGridItem* pItem) {
    m_arrItems.push_back(pItem);
    OnMembersChanged();
    pItem->Attach(m_pGrid, m_pParent);
    if (m_pGrid)
        m_pGrid->OnItemAdded(pItem);
}

void CGkPropertyGridItems::OnMembersChanged() {
    if (m_pGrid && !m_pParent)
        ++m_pGrid->m_nCategoriesVersion;
}

void CGkPropertyGridItems::SetGrid(CGkPropertyGrid* pGrid) {
    m_pGrid = pGrid;
    for (CGkPropertyGridItem* pItem : m_arrItems)
        pItem->SetGrid(pGrid);
}
