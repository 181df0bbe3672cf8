// CGkPropertyGridInplaceButton: a small button at the right edge of an item's value cell; pressing it tells
// the grid's owner which button it was (by its id). CGkPropertyGridInplaceButtons: the buttons of one item,
// in the order they were added; it owns them.
#pragma once

#include <vector>

#include "afx.h"

class CGkPropertyGridItem;

class CGkPropertyGridInplaceButton {
public:
    explicit CGkPropertyGridInplaceButton(UINT nID) : m_nID(nID) {}
    virtual ~CGkPropertyGridInplaceButton() = default;
    CGkPropertyGridInplaceButton(const CGkPropertyGridInplaceButton&) = delete;
    CGkPropertyGridInplaceButton& operator=(const CGkPropertyGridInplaceButton&) = delete;

    UINT GetID() const { return m_nID; }
    void SetCaption(LPCTSTR lpszCaption);
    CString GetCaption() const { return m_strCaption; }
    // The item whose button it is; null until it is added to an item's buttons.
    CGkPropertyGridItem* GetItem() const { return m_pItem; }

private:
    friend class CGkPropertyGridInplaceButtons;

    UINT m_nID;
    CString m_strCaption;
    CGkPropertyGridItem* m_pItem = nullptr;
};

class CGkPropertyGridInplaceButtons {
public:
    explicit CGkPropertyGridInplaceButtons(CGkPropertyGridItem* pItem) : m_pItem(pItem) {}
    ~CGkPropertyGridInplaceButtons() { RemoveAll(); }
    CGkPropertyGridInplaceButtons(const CGkPropertyGridInplaceButtons&) = delete;
    CGkPropertyGridInplaceButtons& operator=(const CGkPropertyGridInplaceButtons&) = delete;

    // Appends the button and takes ownership of it; returns it (null when given null).
    CGkPropertyGridInplaceButton* AddButton(CGkPropertyGridInplaceButton* pButton);
    int GetCount() const { return static_cast<int>(m_arrButtons.size()); }
    // Null for an index outside the list.
    CGkPropertyGridInplaceButton* GetAt(int nIndex) const;
    CGkPropertyGridInplaceButton* Find(UINT nID) const;
    void RemoveAll();

private:
    CGkPropertyGridItem* m_pItem;
    std::vector<CGkPropertyGridInplaceButton*> m_arrButtons;
};
