// CGkPropertyGridItems: an ordered list of grid items, the top-level categories of a grid or the children of
// one item. The list owns its members: removing one frees it with everything below it.
#pragma once

#include <vector>

#include "afx.h"

class CGkPropertyGrid;
class CGkPropertyGridItem;

class CGkPropertyGridItems {
public:
    // pParent is the item whose children these are; null for a grid's categories.
    CGkPropertyGridItems(CGkPropertyGrid* pGrid, CGkPropertyGridItem* pParent) : m_pGrid(pGrid), m_pParent(pParent) {}
    ~CGkPropertyGridItems();
    CGkPropertyGridItems(const CGkPropertyGridItems&) = delete;
    CGkPropertyGridItems& operator=(const CGkPropertyGridItems&) = delete;

    int GetCount() const { return static_cast<int>(m_arrItems.size()); }
    // Null for an index outside the list.
    CGkPropertyGridItem* GetAt(int nIndex) const;
    // The first direct member with exactly this caption (hidden members included); null when there is none
    // or lpszCaption is null. Members' children are not searched.
    CGkPropertyGridItem* FindItem(LPCTSTR lpszCaption) const;
    // The same for a caption of nLength characters.
    CGkPropertyGridItem* FindItem(LPCTSTR lpchCaption, int nLength) const;
    // The first direct member with this id; null when there is none.
    CGkPropertyGridItem* FindItem(UINT nID) const;
    int IndexOf(const CGkPropertyGridItem* pItem) const;

    // Removes and frees every member.
    void Clear();
    // Removes and frees one member; FALSE when it is not a member.
    BOOL RemoveItem(CGkPropertyGridItem* pItem);
    // Removes one member without freeing it: the caller owns it from then on, in no grid and with no parent.
    // Null when it is not a member.
    CGkPropertyGridItem* DetachItem(CGkPropertyGridItem* pItem);

    CGkPropertyGridItem* GetParentItem() const { return m_pParent; }

private:
    friend class CGkPropertyGridItem;
    friend class CGkPropertyGrid;

    // Appends pItem and takes ownership of it.
    void Add(CGkPropertyGridItem* pItem);
    void SetGrid(CGkPropertyGrid* pGrid);
    // After a member came or went: the grid's category look-ups start again when these are its categories.
    void OnMembersChanged();

    CGkPropertyGrid* m_pGrid;
    CGkPropertyGridItem* m_pParent;
    std::vector<CGkPropertyGridItem*> m_arrItems;
};
