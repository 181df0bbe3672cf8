#include "app/ui/filterdialog/CheckListPage.h"

CCheckListPage::CCheckListPage(const Layout& layout, CCheckListBox* pList, const COSVersion& os)
    : m_layout(layout), m_pList(pList), m_os(os) {
    for (const ByteRun& run : layout.bytes)
        for (size_t i = 0; i < run.count; ++i)
            m_itemBytes.push_back(run.first + i);
    ASSERT(m_itemBytes.size() == layout.items.size());
}

CCheckListPage::~CCheckListPage() = default;

bool CCheckListPage::HasSelection(const CFilterDefinition& filter) const {
    for (size_t offset : m_itemBytes)
        if (filter.IsEnabled(offset))
            return true;
    return false;
}

void CCheckListPage::DoDataExchange(CDataExchange* pDX) {
    DDX_Control(pDX, static_cast<int>(m_layout.nControl), *m_pList);
}

BOOL CCheckListPage::IsOffered(Offer offer) const {
    switch (offer) {
    case Offer::Always: return TRUE;
    case Offer::Never: return FALSE;
    case Offer::Windows7: return m_os.IsAtLeast61();
    case Offer::Windows8:
    case Offer::NewUsbStack: return m_os.HasNewUsbStack();
    case Offer::BeforeWindows7: return !m_os.IsAtLeast61();
    }
    return FALSE;
}

void CCheckListPage::InitList() {
    m_pList->SetCheckStyle(BS_AUTOCHECKBOX);
    m_pList->ResetContent();
    for (const Item& item : m_layout.items)
        AddItemEnabled(item.text, IsOffered(item.offer));
}

void CCheckListPage::CheckAll() {
    for (int i = 0, n = m_pList->GetCount(); i < n; ++i)
        if (m_pList->IsEnabled(i))
            m_pList->SetCheck(i, BST_CHECKED);
}

void CCheckListPage::UncheckAll() {
    for (int i = 0, n = m_pList->GetCount(); i < n; ++i)
        if (m_pList->IsEnabled(i))
            m_pList->SetCheck(i, BST_UNCHECKED);
}

void CCheckListPage::SaveToFilter(CFilterDefinition& filter) const {
    const int count = m_pList->GetCount();
    for (size_t i = 0; i < m_itemBytes.size(); ++i) {
        const int index = static_cast<int>(i);
        const bool on = index < count && m_pList->IsEnabled(index) && m_pList->GetCheck(index) == BST_CHECKED;
        filter.Enable(m_itemBytes[i], on);
    }
}

void CCheckListPage::LoadFromFilter(const CFilterDefinition& filter) {
    const int count = m_pList->GetCount();
    for (size_t i = 0; i < m_itemBytes.size() && static_cast<int>(i) < count; ++i)
        m_pList->SetCheck(static_cast<int>(i), filter.IsEnabled(m_itemBytes[i]) ? BST_CHECKED : BST_UNCHECKED);
}

bool CCheckListPage::UpdatePhaseEnables(CFilterDefinition& filter, BOOL bRequest, BOOL bCompletion) {
    const bool selected = HasSelection(filter);
    if (selected)
        SetPhaseEnables(filter, bRequest, bCompletion);
    else
        SetPhaseEnables(filter, FALSE, FALSE);
    return selected;
}

void CCheckListPage::SetPhaseEnables(CFilterDefinition& filter, BOOL bRequest, BOOL bCompletion) {
    filter.Enable(m_layout.request, bRequest);
    filter.Enable(m_layout.completion, bCompletion);
}

BOOL CCheckListPage::MergePhaseEnables(const CFilterDefinition& filter, BOOL& bRequest, BOOL& bCompletion) {
    bRequest = (bRequest || filter.IsEnabled(m_layout.request)) ? TRUE : FALSE;
    bCompletion = (bCompletion || filter.IsEnabled(m_layout.completion)) ? TRUE : FALSE;
    return bRequest;
}

int CCheckListPage::AddItem(LPCSTR lpszText) {
    return m_pList->AddString(lpszText);
}

int CCheckListPage::AddDisabledItem(LPCSTR lpszText) {
    return AddItemEnabled(lpszText, FALSE);
}

int CCheckListPage::AddItemEnabled(LPCSTR lpszText, BOOL bEnabled) {
    const int index = AddItem(lpszText);
    if (index >= 0)
        m_pList->Enable(index, bEnabled);
    return index;
}

void CCheckListPage::GetItemText(int nIndex, CString& rString) const {
    m_pList->GetText(nIndex, rString);
}
