#include "GkPropertyGridInplaceButton.h"

#include "GkPropertyGridItem.h"

void CGkPropertyGridInplaceButton::SetCaption(LPCTSTR lpszCaption) {
    m_strCaption = lpszCaption ? lpszCaption : "";
    if (m_pItem)
        m_pItem->OnChanged();
}

CGkPropertyGridInplaceButton* CGkPropertyGridInplaceButtons::AddButton(CGkPropertyGridInplaceButton* pButton) {
    if (!pButton)
        return nullptr;
    m_arrButtons.push_back(pButton);
    pButton->m_pItem = m_pItem;
    m_pItem->OnChanged();
    return pButton;
}

CGkPropertyGridInplaceButton* CGkPropertyGridInplaceButtons::GetAt(int nIndex) const {
    if (nIndex < 0 || nIndex >= GetCount())
        return nullptr;
    return m_arrButtons[static_cast<size_t>(nIndex)];
}

CGkPropertyGridInplaceButton* CGkPropertyGridInplaceButtons::Find(UINT nID) const {
    for (CGkPropertyGridInplaceButton* pButton : m_arrButtons)
        if (pButton->GetID() == nID)
            return pButton;
    return nullptr;
}

void CGkPropertyGridInplaceButtons::RemoveAll() {
    std::vector<CGkPropertyGridInplaceButton*> arrButtons;
    arrButtons.swap(m_arrButtons);
    for (CGkPropertyGridInplaceButton* pButton : arrButtons)
        delete pButton;
}
