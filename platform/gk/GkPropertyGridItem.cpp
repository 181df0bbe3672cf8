#include "GkPropertyGridItem.h"

#include <cstring>

#include "GkPropertyGrid.h"
#include "GkPropertyGridPaintManager.h"
#include "GkSameText.h"

CGkPropertyGridItem::CGkPropertyGridItem(LPCTSTR lpszCaption, LPCTSTR lpszValue, CString* pBindString)
    : m_strCaption(lpszCaption ? lpszCaption : ""), m_pBindString(pBindString), m_childs(nullptr, this),
      m_inplaceButtons(this) {
    if (lpszValue)
        m_strValue = lpszValue;
    else if (pBindString)
        m_strValue = *pBindString;
    m_strDefaultValue = m_strValue;
    if (pBindString)
        *pBindString = m_strValue;
    CGkPropertyGridPaintManager::Default().ApplyStandardColors(this);
}

CGkPropertyGridItem::~CGkPropertyGridItem() = default;

// The setters leave an unchanged item alone: a reused row is set to what it already shows more often than not,
// and neither the copy nor the grid's repaint is worth making then.
namespace {

bool SameText(const CString& strText, LPCTSTR lpch, int nLength) {
    return strText.GetLength() == nLength && GkSameText(strText.GetString(), lpch, static_cast<size_t>(nLength));
}

// Sets the string to the counted text (none, or a negative length, is the empty text) and says whether it changed.
bool AssignChangedText(CString& strText, LPCTSTR lpch, int nLength) {
    if (!lpch || nLength < 0)
        nLength = 0;
    if (SameText(strText, lpch, nLength))
        return false;
    strText.SetString(lpch, nLength);
    return true;
}

} // namespace

void CGkPropertyGridItem::SetCaption(LPCTSTR lpszCaption) {
    SetCaption(lpszCaption, lpszCaption ? static_cast<int>(std::strlen(lpszCaption)) : 0);
}

void CGkPropertyGridItem::SetCaption(LPCTSTR lpchCaption, int nLength) {
    if (!AssignChangedText(m_strCaption, lpchCaption, nLength))
        return;
    // A renamed category: the grid's look-ups by caption start again.
    if (m_pGrid && !m_pParent)
        ++m_pGrid->m_nCategoriesVersion;
    OnChanged();
}

void CGkPropertyGridItem::SetValue(const CString& strValue) {
    // A bound string may have been changed behind the item's back: it is written whatever the value.
    if (!m_pBindString && m_strValue == strValue)
        return;
    m_strValue = strValue;
    if (m_pBindString)
        *m_pBindString = m_strValue;
    OnChanged();
}

BOOL CGkPropertyGridItem::IsValueKept(LPCTSTR lpchValue, int nLength) const {
    return !m_pBindString && SameText(m_strValue, lpchValue, lpchValue && nLength > 0 ? nLength : 0);
}

void CGkPropertyGridItem::SetValueText(LPCTSTR lpchValue, int nLength) {
    if (!lpchValue || nLength < 0)
        nLength = 0;
    if (IsValueKept(lpchValue, nLength))
        return;
    m_strValue.SetString(lpchValue, nLength);
    if (m_pBindString)
        *m_pBindString = m_strValue;
    OnChanged();
}

void CGkPropertyGridItem::SetDescription(LPCTSTR lpszDescription) {
    SetDescription(lpszDescription, lpszDescription ? static_cast<int>(std::strlen(lpszDescription)) : 0);
}

void CGkPropertyGridItem::SetDescription(LPCTSTR lpchDescription, int nLength) {
    if (AssignChangedText(m_strDescription, lpchDescription, nLength))
        OnChanged();
}

void CGkPropertyGridItem::SetReadOnly(BOOL bReadOnly) {
    bReadOnly = bReadOnly ? TRUE : FALSE;
    if (m_bReadOnly == bReadOnly)
        return;
    m_bReadOnly = bReadOnly;
    OnChanged();
}

void CGkPropertyGridItem::SetHidden(BOOL bHidden) {
    bHidden = bHidden ? TRUE : FALSE;
    if (m_bHidden == bHidden)
        return;
    m_bHidden = bHidden;
    if (m_pGrid)
        m_pGrid->OnItemShownChanged(this);
}

void CGkPropertyGridItem::Expand() {
    if (m_bExpanded)
        return;
    m_bExpanded = TRUE;
    if (m_pGrid)
        m_pGrid->OnItemShownChanged(this);
}

void CGkPropertyGridItem::Collapse() {
    if (!m_bExpanded)
        return;
    m_bExpanded = FALSE;
    if (m_pGrid)
        m_pGrid->OnItemShownChanged(this);
}

CGkPropertyGridItem* CGkPropertyGridItem::AddChildItem(CGkPropertyGridItem* pItem) {
    if (!pItem || !pItem->CanBeAddedUnder(this))
        return nullptr;
    m_childs.Add(pItem);
    return pItem;
}

BOOL CGkPropertyGridItem::CanBeAddedUnder(const CGkPropertyGridItem* pParent) const {
    // An item has one owner: one already placed, or one that would end up below itself, is refused rather
    // than freed twice or looped.
    if (m_pParent || m_pGrid)
        return FALSE;
    for (const CGkPropertyGridItem* p = pParent; p; p = p->m_pParent)
        if (p == this)
            return FALSE;
    return TRUE;
}

int CGkPropertyGridItem::GetIndent() const {
    int nIndent = 0;
    for (const CGkPropertyGridItem* p = m_pParent; p; p = p->m_pParent)
        ++nIndent;
    return nIndent;
}

void CGkPropertyGridItem::Remove() {
    if (m_pParent)
        m_pParent->m_childs.RemoveItem(this);
    else if (m_pGrid)
        m_pGrid->GetCategories()->RemoveItem(this);
}

BOOL CGkPropertyGridItem::IsVisible() const {
    if (m_bHidden)
        return FALSE;
    for (const CGkPropertyGridItem* p = m_pParent; p; p = p->m_pParent)
        if (p->m_bHidden || !p->m_bExpanded)
            return FALSE;
    return TRUE;
}

BOOL CGkPropertyGridItem::IsSelected() const {
    return m_pGrid && m_pGrid->GetSelectedItem() == this;
}

BOOL CGkPropertyGridItem::Select() {
    return m_pGrid ? m_pGrid->SetSelectedItem(this) : FALSE;
}

void CGkPropertyGridItem::OnChanged() {
    if (m_pGrid)
        m_pGrid->OnItemChanged(this);
}

void CGkPropertyGridItem::Attach(CGkPropertyGrid* pGrid, CGkPropertyGridItem* pParent) {
    m_pParent = pParent;
    SetGrid(pGrid);
}

void CGkPropertyGridItem::SetGrid(CGkPropertyGrid* pGrid) {
    m_pGrid = pGrid;
    m_childs.SetGrid(pGrid);
}
