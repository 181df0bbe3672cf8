// CGkPropertyGridItem: one row of the property grid: a caption, a value, a description for the help area,
// children, in-place buttons and the metrics its caption and value are drawn with. An item owns its
// children and buttons; once added to a grid (or to an item of a grid) the grid owns it, and it goes only
// through Remove, its list's Clear or the grid's end, never through delete.
// CGkPropertyGridItemCategory: a heading row that groups the items below it.
#pragma once

#include "afx.h"

#include "GkPropertyGridInplaceButton.h"
#include "GkPropertyGridItemMetrics.h"
#include "GkPropertyGridItems.h"

class CGkPropertyGrid;

class CGkPropertyGridItem {
public:
    // lpszValue is the initial value; with pBindString, the value also starts as (when lpszValue is null)
    // and is written back to that string whenever it changes.
    explicit CGkPropertyGridItem(LPCTSTR lpszCaption, LPCTSTR lpszValue = nullptr, CString* pBindString = nullptr);
    virtual ~CGkPropertyGridItem();
    CGkPropertyGridItem(const CGkPropertyGridItem&) = delete;
    CGkPropertyGridItem& operator=(const CGkPropertyGridItem&) = delete;

    virtual BOOL IsCategory() const { return FALSE; }

    void SetCaption(LPCTSTR lpszCaption);
    // The same for a caption of nLength characters.
    void SetCaption(LPCTSTR lpchCaption, int nLength);
    CString GetCaption() const { return m_strCaption; }
    virtual void SetValue(const CString& strValue);
    virtual CString GetValue() const { return m_strValue; }
    // TRUE when the value differs from the one the item was made with.
    BOOL IsValueChanged() const { return m_strValue != m_strDefaultValue; }
    // TRUE when SetValue with these nLength characters would change nothing: the item shows them already and
    // has no bound string to write them to.
    BOOL IsValueKept(LPCTSTR lpchValue, int nLength) const;
    // SetValue with nLength characters, for a program's plain items: the item's own setting, without the
    // call through the virtual one a derived item may have replaced.
    void SetValueText(LPCTSTR lpchValue, int nLength);
    void SetDescription(LPCTSTR lpszDescription);
    // The same for a description of nLength characters.
    void SetDescription(LPCTSTR lpchDescription, int nLength);
    CString GetDescription() const { return m_strDescription; }
    void SetReadOnly(BOOL bReadOnly = TRUE);
    BOOL GetReadOnly() const { return m_bReadOnly; }
    // Hiding an item hides everything below it; a hidden item (or one below it) is no longer selected.
    void SetHidden(BOOL bHidden);
    BOOL IsHidden() const { return m_bHidden; }
    void SetID(UINT nID) { m_nID = nID; }
    UINT GetID() const { return m_nID; }

    // Collapsing an item that holds the selection moves the selection to it.
    void Expand();
    void Collapse();
    BOOL IsExpanded() const { return m_bExpanded; }

    // Appends pItem as the last child and takes ownership of it; returns it. Null, and nothing taken, when
    // pItem is null, already has an owner, or is this item or one above it.
    CGkPropertyGridItem* AddChildItem(CGkPropertyGridItem* pItem);
    CGkPropertyGridItems* GetChilds() const { return &m_childs; }
    BOOL HasChilds() const { return m_childs.GetCount() > 0; }
    CGkPropertyGridItem* GetParentItem() const { return m_pParent; }
    CGkPropertyGrid* GetGrid() const { return m_pGrid; }
    // Depth below the grid's top level (a category added to the grid is 0).
    int GetIndent() const;
    // Removes the item from its parent (or the grid) and frees it.
    void Remove();

    CGkPropertyGridItemMetrics* GetCaptionMetrics() const { return &m_captionMetrics; }
    CGkPropertyGridItemMetrics* GetValueMetrics() const { return &m_valueMetrics; }
    CGkPropertyGridInplaceButtons* GetInplaceButtons() const { return &m_inplaceButtons; }

    // Shown in the categorised view: neither it nor an ancestor hidden, every ancestor expanded.
    BOOL IsVisible() const;
    BOOL IsSelected() const;
    // Makes the item the grid's selection; FALSE when it is not in a grid or not shown.
    BOOL Select();

    // Called when something the item shows changed: the grid repaints it.
    void OnChanged();

private:
    friend class CGkPropertyGridItems;
    friend class CGkPropertyGrid;

    BOOL CanBeAddedUnder(const CGkPropertyGridItem* pParent) const;
    void Attach(CGkPropertyGrid* pGrid, CGkPropertyGridItem* pParent);
    void SetGrid(CGkPropertyGrid* pGrid);

    CString m_strCaption;
    CString m_strValue;
    CString m_strDefaultValue;
    CString m_strDescription;
    CString* m_pBindString;
    UINT m_nID = 0;
    BOOL m_bReadOnly = FALSE;
    BOOL m_bHidden = FALSE;
    BOOL m_bExpanded = FALSE;
    CGkPropertyGrid* m_pGrid = nullptr;
    CGkPropertyGridItem* m_pParent = nullptr;
    // Held in the item rather than beside it: an item is one allocation. The getters hand out pointers to
    // them, as the toolkit does, from a const item too.
    mutable CGkPropertyGridItems m_childs;
    mutable CGkPropertyGridItemMetrics m_captionMetrics;
    mutable CGkPropertyGridItemMetrics m_valueMetrics;
    mutable CGkPropertyGridInplaceButtons m_inplaceButtons;
};

class CGkPropertyGridItemCategory : public CGkPropertyGridItem {
public:
    explicit CGkPropertyGridItemCategory(LPCTSTR lpszCaption) : CGkPropertyGridItem(lpszCaption) {}
    BOOL IsCategory() const override { return TRUE; }
};
