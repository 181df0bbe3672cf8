#include "app/ui/filterdialog/FilterDefinitionDlg.h"

#include "app/core/app/Resource.h"
#include "app/core/settings/AppRegistry.h"
#include "app/core/settings/RegSerialize.h"
#include "app/ui/filterdialog/FilterPromptDlg.h"
#include "htmlhelp.h"

namespace {

constexpr char kNothingSelected[] = "Select some events before enabling this filter";

// A radio group of three: the first byte's button, the second's, and the "and" button for both.
struct RadioGroup {
    UINT first, second, both;
};
constexpr RadioGroup kPhaseGroup{IDC_FILTER_STARTED, IDC_FILTER_COMPLETED, IDC_FILTER_STARTED_COMPLETED};
constexpr RadioGroup kStatusGroup{IDC_FILTER_SUCCESS, IDC_FILTER_ERROR, IDC_FILTER_SUCCESS_ERROR};
constexpr RadioGroup kDirectionGroup{IDC_FILTER_INPUT, IDC_FILTER_OUTPUT, IDC_FILTER_INPUT_OUTPUT};

void ReadGroup(HWND hDlg, const RadioGroup& group, BOOL& bFirst, BOOL& bSecond) {
    const bool both = ::IsDlgButtonChecked(hDlg, static_cast<int>(group.both)) == BST_CHECKED;
    bFirst = (both || ::IsDlgButtonChecked(hDlg, static_cast<int>(group.first)) == BST_CHECKED) ? TRUE : FALSE;
    bSecond = (both || ::IsDlgButtonChecked(hDlg, static_cast<int>(group.second)) == BST_CHECKED) ? TRUE : FALSE;
}

// With neither flag no button of the group is on.
void WriteGroup(HWND hDlg, const RadioGroup& group, BOOL bFirst, BOOL bSecond) {
    const UINT on = bFirst && bSecond ? group.both : bFirst ? group.first : bSecond ? group.second : 0;
    for (UINT id : {group.first, group.second, group.both})
        ::CheckDlgButton(hDlg, static_cast<int>(id), id == on ? BST_CHECKED : BST_UNCHECKED);
}

CString ValuePath(int nMode, LPCSTR lpszName) {
    return CString(g_pszRegistryRoot) + CFilterDefinitionDlg::SubKeyName(nMode) + "\\" + lpszName;
}

} // namespace

BEGIN_MESSAGE_MAP(CFilterDefinitionDlg, CDialog)
ON_WM_CLOSE()
ON_NOTIFY(TCN_SELCHANGE, IDC_FILTER_TABS, &CFilterDefinitionDlg::OnTabChange)
ON_CONTROL(LBN_SELCHANGE, IDC_FILTER_NAMES, &CFilterDefinitionDlg::OnNamesSelChange)
ON_CONTROL(LBN_DBLCLK, IDC_FILTER_NAMES, &CFilterDefinitionDlg::OnLoad)
ON_CONTROL(BN_CLICKED, IDC_FILTER_SAVE, &CFilterDefinitionDlg::OnSave)
ON_CONTROL(BN_CLICKED, IDC_FILTER_SAVE_AS, &CFilterDefinitionDlg::OnSaveAs)
ON_CONTROL(BN_CLICKED, IDC_FILTER_REMOVE, &CFilterDefinitionDlg::OnRemove)
ON_CONTROL(BN_CLICKED, IDC_FILTER_NEW, &CFilterDefinitionDlg::OnNew)
ON_CONTROL(BN_CLICKED, IDC_FILTER_CLEAR, &CFilterDefinitionDlg::OnCancel)
ON_CONTROL(BN_CLICKED, IDC_FILTER_APPLY_CAPTURE, &CFilterDefinitionDlg::OnApplyToNextCapture)
ON_CONTROL(BN_CLICKED, IDC_FILTER_HELP, &CFilterDefinitionDlg::OnHelp)
ON_CONTROL(BN_CLICKED, IDC_FILTER_SELECT_ALL, &CFilterDefinitionDlg::OnSelectAll)
ON_CONTROL(BN_CLICKED, IDC_FILTER_CLEAR_ALL, &CFilterDefinitionDlg::OnClearAll)
ON_CONTROL_RANGE(BN_CLICKED, IDC_FILTER_STARTED, IDC_FILTER_INPUT_OUTPUT, &CFilterDefinitionDlg::OnSelectionChanged)
ON_CONTROL_RANGE(CLBN_CHKCHANGE, IDC_FILTER_FIRST_LIST, IDC_FILTER_LAST_LIST, &CFilterDefinitionDlg::OnSelectionChanged)
END_MESSAGE_MAP()

CFilterDefinitionDlg::CFilterDefinitionDlg(CFilterDefinition* pFilter, BOOL bLiveCapture, BOOL bEditing, CWnd* pParent)
    : CDialog(IDD_FILTER_DEFINITION, pParent), m_nMode(BufferFilter), m_pFilter(pFilter), m_bLiveCapture(bLiveCapture),
      m_bEditing(bEditing) {}

CFilterDefinitionDlg::~CFilterDefinitionDlg() = default;

const char* CFilterDefinitionDlg::SubKeyName(int nMode) {
    return nMode == Trigger ? "Triggers" : "Filters";
}

const char* CFilterDefinitionDlg::CurrentName(int nMode) {
    return nMode == Trigger ? "CurTrigger" : nMode == CaptureFilter ? "CurCaptureFilter" : "CurBufferFilter";
}

const char* CFilterDefinitionDlg::PreviousName(int nMode) {
    return nMode == Trigger ? "LastTrigger" : nMode == CaptureFilter ? "LastCaptureFilter" : "LastBufferFilter";
}

void CFilterDefinitionDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_FILTER_TABS, m_tabs);
    DDX_Control(pDX, IDC_FILTER_NAMES, m_names);
    for (auto& page : m_pages)
        page->DoDataExchange(pDX);
}

void CFilterDefinitionDlg::EnableButton(UINT nID, BOOL bEnable) {
    ::EnableWindow(::GetDlgItem(m_hWnd, static_cast<int>(nID)), bEnable);
}

BOOL CFilterDefinitionDlg::OnInitDialog() {
    m_os.Describe();
    m_pages = CreateFilterPages(m_lists, m_os);
    CDialog::OnInitDialog(); // binds the controls and the pages' lists

    FillNameList();
    m_nCurrent = -1;
    m_bModified = FALSE;
    const bool trigger = m_nMode == Trigger;
    SetWindowText(trigger ? "Define Trigger" : "Define Filter");
    ::SetDlgItemTextA(m_hWnd, IDC_FILTER_CURRENT_LABEL, trigger ? "Current Trigger:" : "Current Filter:");
    ::SetDlgItemTextA(m_hWnd, IDC_FILTER_DEFINED_LABEL, trigger ? "Defined triggers:" : "Defined filters:");
    if (trigger) {
        ::ShowWindow(::GetDlgItem(m_hWnd, IDC_FILTER_APPLY_BUFFER), SW_HIDE);
        SetDefID(IDC_FILTER_APPLY_CAPTURE);
        ::SetDlgItemTextA(m_hWnd, IDC_FILTER_CLEAR, "&Clear Trigger");
    }

    EnableButton(IDC_FILTER_LOAD, FALSE);
    EnableButton(IDC_FILTER_REMOVE, FALSE);
    EnableButton(IDC_FILTER_NEW, TRUE);
    EnableButton(IDC_FILTER_SAVE, TRUE);
    EnableButton(IDC_FILTER_SAVE_AS, FALSE);
    ::SetDlgItemTextA(m_hWnd, IDC_FILTER_NAME, "");
    if (!m_bLiveCapture) {
        EnableButton(IDC_FILTER_APPLY_CAPTURE, FALSE);
    } else if (m_bEditing) {
        // The filter in force can be replaced only for what it applies to.
        if (m_nMode == BufferFilter) {
            EnableButton(IDC_FILTER_APPLY_CAPTURE, FALSE);
        } else if (m_nMode == CaptureFilter) {
            EnableButton(IDC_FILTER_APPLY_BUFFER, FALSE);
            SetDefID(IDC_FILTER_APPLY_CAPTURE);
        }
    }

    for (int i = 0; i < GetPageCount(); ++i) {
        m_tabs.InsertItem(i, GetPage(i)->GetTitle());
        GetPage(i)->InitList();
    }
    CString title;
    title.LoadString(IDS_FILTER_PAGE_URB);
    ::SetDlgItemTextA(m_hWnd, IDC_FILTER_PAGE_TITLE, title);
    WriteGroup(m_hWnd, kPhaseGroup, TRUE, TRUE);
    WriteGroup(m_hWnd, kStatusGroup, TRUE, TRUE);
    WriteGroup(m_hWnd, kDirectionGroup, TRUE, TRUE);
    m_tabs.SetCurSel(0);
    ShowPage(0);

    if (m_bEditing) {
        LoadValue(CurrentName(m_nMode));
        Show();
        const int index = m_names.FindStringExact(-1, CurrentName(m_nMode));
        if (index >= 0) {
            m_names.SetCurSel(index);
            MakeCurrent(index);
            EnableButton(IDC_FILTER_LOAD, TRUE);
            EnableButton(IDC_FILTER_REMOVE, TRUE);
        }
    }
    return TRUE;
}

void CFilterDefinitionDlg::FillNameList() {
    m_names.ResetContent();
    HKEY hKey = nullptr;
    const char* subKey = m_nMode == Trigger ? g_szTriggersSubKey : g_szFiltersSubKey;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                          &hKey, nullptr) != ERROR_SUCCESS)
        return;
    for (DWORD index = 0;; ++index) {
        char name[256];
        DWORD length = sizeof name;
        if (::RegEnumValueA(hKey, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        m_names.AddString(name);
    }
    ::RegCloseKey(hKey);
}

void CFilterDefinitionDlg::ShowPage(int nTab) {
    const CCheckListPage* pShown = nTab >= 0 && nTab < GetPageCount() ? GetPage(nTab) : nullptr;
    CString title = "Unknown Tab Selection";
    if (pShown != nullptr)
        title.LoadString(pShown->GetId());
    ::SetDlgItemTextA(m_hWnd, IDC_FILTER_PAGE_TITLE, title);
    for (CCheckListBox& list : m_lists)
        if (list.m_hWnd != nullptr)
            list.ShowWindow(pShown != nullptr && pShown->GetList() == &list ? SW_SHOW : SW_HIDE);
}

void CFilterDefinitionDlg::OnTabChange(NMHDR*, LRESULT* pResult) {
    ShowPage(m_tabs.GetCurSel());
    *pResult = 0;
}

void CFilterDefinitionDlg::Collect() {
    BOOL bStarted = FALSE, bCompleted = FALSE, bFirst = FALSE, bSecond = FALSE;
    ReadGroup(m_hWnd, kPhaseGroup, bStarted, bCompleted);
    ReadGroup(m_hWnd, kStatusGroup, bFirst, bSecond);
    m_pFilter->Enable(FilterByte::AcceptSuccess, bFirst);
    m_pFilter->Enable(FilterByte::AcceptError, bSecond);
    ReadGroup(m_hWnd, kDirectionGroup, bFirst, bSecond);
    m_pFilter->Enable(FilterByte::AcceptIn, bFirst);
    m_pFilter->Enable(FilterByte::AcceptOut, bSecond);
    for (auto& page : m_pages) {
        page->SaveToFilter(*m_pFilter);
        page->UpdatePhaseEnables(*m_pFilter, bStarted, bCompleted);
    }
}

void CFilterDefinitionDlg::Show() {
    WriteGroup(m_hWnd, kStatusGroup, m_pFilter->IsEnabled(FilterByte::AcceptSuccess),
               m_pFilter->IsEnabled(FilterByte::AcceptError));
    WriteGroup(m_hWnd, kDirectionGroup, m_pFilter->IsEnabled(FilterByte::AcceptIn),
               m_pFilter->IsEnabled(FilterByte::AcceptOut));
    BOOL bStarted = FALSE, bCompleted = FALSE;
    for (auto& page : m_pages) {
        page->LoadFromFilter(*m_pFilter);
        page->MergePhaseEnables(*m_pFilter, bStarted, bCompleted);
    }
    WriteGroup(m_hWnd, kPhaseGroup, bStarted, bCompleted);
}

BOOL CFilterDefinitionDlg::SelectsNothing() const {
    for (size_t offset :
         {FilterByte::UrbRequest, FilterByte::UrbCompletion, FilterByte::HubIfRequest, FilterByte::HubIfCompletion,
          FilterByte::PortHookRequest, FilterByte::PortHookCompletion, FilterByte::InternalRequest,
          FilterByte::InternalCompletion, FilterByte::HcdRequest, FilterByte::HcdCompletion, FilterByte::HubRequest,
          FilterByte::HubCompletion, FilterByte::HidRequest, FilterByte::HidCompletion, FilterByte::PnpRequest,
          FilterByte::PnpCompletion, FilterByte::PowerRequest, FilterByte::PowerCompletion})
        if (m_pFilter->IsEnabled(offset))
            return FALSE;
    return TRUE;
}

void CFilterDefinitionDlg::MakeCurrent(int nIndex) {
    m_nCurrent = nIndex;
    m_bModified = FALSE;
    CString name;
    if (nIndex >= 0)
        m_names.GetText(nIndex, name);
    ::SetDlgItemTextA(m_hWnd, IDC_FILTER_NAME, name);
}

void CFilterDefinitionDlg::MarkModified() {
    m_bModified = TRUE;
    CString text;
    if (m_nCurrent >= 0) {
        m_names.GetText(m_nCurrent, text);
        EnableButton(IDC_FILTER_SAVE_AS, TRUE);
    }
    ::SetDlgItemTextA(m_hWnd, IDC_FILTER_NAME, text + "*");
}

void CFilterDefinitionDlg::OnSelectionChanged(UINT) {
    MarkModified();
}

void CFilterDefinitionDlg::OnNamesSelChange() {
    const BOOL selected = m_names.GetCurSel() >= 0;
    EnableButton(IDC_FILTER_LOAD, selected);
    EnableButton(IDC_FILTER_REMOVE, selected);
}

BOOL CFilterDefinitionDlg::SaveValue(LPCSTR lpszName) {
    return m_nMode == Trigger ? RegSaveTrigger(m_pFilter, lpszName) : RegSaveFilter(m_pFilter, lpszName);
}

BOOL CFilterDefinitionDlg::LoadValue(LPCSTR lpszName) {
    return m_nMode == Trigger ? RegLoadTrigger(m_pFilter, lpszName) : RegLoadFilter(m_pFilter, lpszName);
}

BOOL CFilterDefinitionDlg::DeleteValue(LPCSTR lpszName) {
    COXRegistryItem item(ValuePath(m_nMode, lpszName));
    return item.Delete();
}

void CFilterDefinitionDlg::StoreAsCurrent() {
    DeleteValue(PreviousName(m_nMode));
    SaveValue(CurrentName(m_nMode));
}

void CFilterDefinitionDlg::StoreAsPrevious() {
    DeleteValue(CurrentName(m_nMode));
    SaveValue(PreviousName(m_nMode));
}

int CFilterDefinitionDlg::GetSelectedName(CString& rName) const {
    const int index = m_names.GetCurSel();
    if (index >= 0)
        m_names.GetText(index, rName);
    return index;
}

CCheckListPage* CFilterDefinitionDlg::GetVisiblePage() const {
    const int tab = m_tabs.GetCurSel();
    return tab >= 0 && tab < GetPageCount() ? GetPage(tab) : nullptr;
}

void CFilterDefinitionDlg::OnLoad() {
    CString name;
    const int index = GetSelectedName(name);
    if (index < 0)
        return;
    LoadValue(name);
    Show();
    Collect();
    MakeCurrent(index);
}

BOOL CFilterDefinitionDlg::AskName(CString& rName) {
    CFilterPromptDlg prompt(this);
    if (prompt.DoModal() != IDOK)
        return FALSE;
    rName = prompt.m_strName;
    return !rName.IsEmpty();
}

void CFilterDefinitionDlg::SaveUnder(const CString& name) {
    Collect();
    SaveValue(name);
    FillNameList();
    const int index = m_names.FindStringExact(-1, name);
    m_names.SetCurSel(index);
    OnNamesSelChange();
    MakeCurrent(index);
}

void CFilterDefinitionDlg::OnSave() {
    if (m_nCurrent < 0) {
        CString name;
        if (AskName(name))
            SaveUnder(name);
        return;
    }
    CString name;
    m_names.GetText(m_nCurrent, name);
    Collect();
    SaveValue(name);
    MakeCurrent(m_nCurrent);
}

void CFilterDefinitionDlg::OnSaveAs() {
    CString name;
    if (AskName(name))
        SaveUnder(name);
}

void CFilterDefinitionDlg::OnRemove() {
    CString name;
    if (GetSelectedName(name) < 0)
        return;
    DeleteValue(name);
    FillNameList();
    // The list was refilled: no entry is current or selected any more.
    m_nCurrent = -1;
    ::SetDlgItemTextA(m_hWnd, IDC_FILTER_NAME, "");
    OnNamesSelChange();
}

void CFilterDefinitionDlg::OnNew() {
    OnClearAll();
    m_names.SetCurSel(-1);
    MakeCurrent(-1);
    EnableButton(IDC_FILTER_LOAD, FALSE);
    EnableButton(IDC_FILTER_REMOVE, FALSE);
    EnableButton(IDC_FILTER_SAVE_AS, FALSE);
    EnableButton(IDC_FILTER_SAVE, TRUE);
}

void CFilterDefinitionDlg::OnSelectAll() {
    if (CCheckListPage* pPage = GetVisiblePage())
        pPage->CheckAll();
}

void CFilterDefinitionDlg::OnClearAll() {
    if (CCheckListPage* pPage = GetVisiblePage())
        pPage->UncheckAll();
}

void CFilterDefinitionDlg::OnOK() {
    Collect();
    if (SelectsNothing()) {
        MessageBox(kNothingSelected, nullptr, MB_OK);
        return;
    }
    m_nMode = BufferFilter;
    StoreAsCurrent();
    EndDialog(IDOK);
}

void CFilterDefinitionDlg::OnApplyToNextCapture() {
    Collect();
    if (SelectsNothing()) {
        MessageBox(kNothingSelected, nullptr, MB_OK);
        return;
    }
    UpdateData(TRUE);
    if (m_nMode != Trigger)
        m_nMode = CaptureFilter;
    StoreAsCurrent();
    EndDialog(ApplyToNextCapture);
}

void CFilterDefinitionDlg::OnCancel() {
    StoreAsPrevious();
    CDialog::OnCancel();
}

void CFilterDefinitionDlg::OnClose() {
    if (!m_bEditing) {
        OnCancel();
        return;
    }
    // The definition in force stays in force: the caller applies it again, nothing is stored.
    EndDialog(m_nMode == BufferFilter ? IDOK : ApplyToNextCapture);
}

BOOL CFilterDefinitionDlg::OnCommand(WPARAM wParam, LPARAM lParam) {
    // Button 2 is Load, but the dialog manager sends the same command for the Escape key, which must cancel.
    if (LOWORD(wParam) == IDC_FILTER_LOAD && HIWORD(wParam) == BN_CLICKED) {
        if (::GetKeyState(VK_ESCAPE) < 0)
            OnCancel();
        else
            OnLoad();
        return TRUE;
    }
    return CDialog::OnCommand(wParam, lParam);
}

void CFilterDefinitionDlg::OnHelp() {
    const DWORD topic = m_nMode == Trigger ? IDH_TRIGGER_DEFINITION : IDH_FILTER_DEFINITION;
    CWnd* pMainWnd = AfxGetMainWnd();
    (pMainWnd != nullptr ? pMainWnd : this)->HtmlHelp(topic, HH_HELP_CONTEXT);
    HH_LAST_ERROR lastError = {};
    lastError.cbStruct = sizeof lastError;
    AfxHtmlHelp(nullptr, nullptr, HH_GET_LAST_ERROR, reinterpret_cast<DWORD_PTR>(&lastError));
    if (FAILED(lastError.hr) && lastError.description != nullptr) {
        const CString description(lastError.description);
        MessageBox(description, "Help Error", MB_OK);
    }
}
