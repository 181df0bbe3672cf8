#include "app/ui/find/FindDialog.h"

#include "app/core/app/Resource.h"
#include "app/core/app/TindaloftApp.h"
#include "app/core/document/USBLog.h"
#include "app/core/records/LogRecords.h"
#include "app/ui/find/FindOptionsIds.h"
#include "htmlhelp.h"

IMPLEMENT_DYNAMIC(CFindDialog, CDialog)

BEGIN_MESSAGE_MAP(CFindDialog, CDialog)
ON_CONTROL(BN_CLICKED, IDC_FIND_NEXT, &CFindDialog::OnNext)
ON_CONTROL(BN_CLICKED, IDC_FIND_PREV, &CFindDialog::OnPrev)
ON_CONTROL(BN_CLICKED, IDC_FIND_MORE, &CFindDialog::OnMore)
ON_CONTROL(BN_CLICKED, IDC_FIND_HELP, &CFindDialog::OnHelp)
ON_CONTROL(BN_CLICKED, IDC_FIND_WRAP, &CFindDialog::OnWrap)
ON_CONTROL(CBN_SELCHANGE, IDC_FIND_REQUEST_TYPE, &CFindDialog::OnRequestTypeChange)
ON_CONTROL_RANGE(BN_CLICKED, IDC_FIND_STARTED, IDC_FIND_BOTH_PHASES, &CFindDialog::OnPhase)
ON_CONTROL_RANGE(BN_CLICKED, IDC_FIND_SUCCESS, IDC_FIND_BOTH_OUTCOMES, &CFindDialog::OnOutcome)
END_MESSAGE_MAP()

namespace {

constexpr char kMore[] = "&More >>";
constexpr char kLess[] = "<< &Less";

// The families whose phase bytes a phase choice clears before the current page sets its own.
constexpr FilterFamily kFamilies[] = {FilterFamily::Urb,      FilterFamily::HubInterface, FilterFamily::PortHook,
                                      FilterFamily::Internal, FilterFamily::Hcd,          FilterFamily::Hub,
                                      FilterFamily::Hid,      FilterFamily::Pnp,          FilterFamily::Power};

// The pages are offered for the system the application runs on.
const COSVersion& ApplicationOS() {
    if (auto* pApp = dynamic_cast<CTindaloftApp*>(AfxGetApp()))
        return pApp->m_OSVersion;
    static const COSVersion s_os;
    return s_os;
}

} // namespace

// The document's record list as a search reads it: the rows of its list control, each tested through the
// record store, which gives the record a row shows.
class CFindDialog::Rows : public CFindSearch::Context {
public:
    Rows(CFindDialog& dialog, CUSBLog& document, CListCtrl& list)
        : m_dialog(dialog), m_document(document), m_list(list) {
        m_pStore = document.GetLogRecords();
        m_nSchema = document.GetRecordSchema();
    }

    int GetItemCount() const override { return m_pStore != nullptr ? m_list.GetItemCount() : 0; }
    int GetTopIndex() const override { return m_list.GetTopIndex(); }
    int GetCountPerPage() const override { return m_list.GetCountPerPage(); }
    int GetSelectedItem() const override { return m_list.GetNextItem(-1, LVNI_SELECTED); }
    void SelectItem(int nItem) override {
        m_list.SetItemState(-1, 0, LVIS_SELECTED); // every row at once: no walk over a million rows
        m_list.SetItemState(nItem, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        m_list.EnsureVisible(nItem, FALSE);
    }
    int FindMatch(int nFrom, int nTo) override {
        const int step = nFrom <= nTo ? 1 : -1;
        for (int row = nFrom;; row += step) {
            if (Matches(row))
                return row;
            if (row == nTo)
                return -1;
        }
    }
    void Tell(LPCTSTR lpszText, bool bBox) override {
        m_dialog.SetMessageText(lpszText);
        if (bBox)
            m_dialog.MessageBox(lpszText, nullptr, MB_OK | MB_ICONINFORMATION);
    }

private:
    bool Matches(int nItem) const {
        // A row the store cannot give (the list ahead of the store, a store emptied meanwhile) matches nothing.
        try {
            const _LOGHDR* pRecord = m_pStore->GetRecordAt(&m_document, nItem);
            return pRecord != nullptr && m_dialog.m_filter.Match(pRecord, m_nSchema);
        } catch (CInvalidArgException* pException) {
            pException->Delete();
            return false;
        }
    }

    CFindDialog& m_dialog;
    CUSBLog& m_document;
    CListCtrl& m_list;
    LogRecords::CLogRecords* m_pStore = nullptr;
    UINT m_nSchema = 0;
};

CFindDialog::CFindDialog() : CDialog(IDD_FIND, nullptr) {}

CFindDialog::~CFindDialog() = default;

BOOL CFindDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    return CDialog::Create(nIDTemplate, pParentWnd);
}

void CFindDialog::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_FIND_REQUEST_TYPE, m_requestType);
    for (auto& page : m_pages)
        page->DoDataExchange(pDX);
}

BOOL CFindDialog::OnInitDialog() {
    m_pages = CreateFilterPages(m_lists, ApplicationOS());
    CDialog::OnInitDialog(); // binds the combo box and the pages' lists

    m_filter.Clear();
    GetWindowRect(&m_rcFull);
    m_rcReduced = m_rcFull;
    if (HWND hFrame = ::GetDlgItem(m_hWnd, IDC_FIND_FRAME)) {
        CRect frame;
        ::GetWindowRect(hFrame, &frame);
        m_rcReduced.bottom = frame.bottom;
    }
    m_bExpanded = TRUE;
    ::SetDlgItemTextA(m_hWnd, IDC_FIND_MORE, kLess);

    m_bRequest = TRUE;
    m_bCompletion = TRUE;
    ::CheckRadioButton(m_hWnd, IDC_FIND_STARTED, IDC_FIND_BOTH_PHASES, IDC_FIND_BOTH_PHASES);
    ::CheckRadioButton(m_hWnd, IDC_FIND_SUCCESS, IDC_FIND_BOTH_OUTCOMES, IDC_FIND_BOTH_OUTCOMES);
    for (size_t gate :
         {FilterByte::AcceptSuccess, FilterByte::AcceptError, FilterByte::AcceptIn, FilterByte::AcceptOut})
        m_filter.Enable(gate);

    // The combo's texts name the request families in the pages' order.
    const struct {
        UINT nControl;
        const char* text;
    } kTexts[] = {
        {CUrbPage::s_layout.nControl, "URB Request"},
        {CIHubPage::s_layout.nControl, "Hub Interface Functions"},
        {CUSBIntPage::s_layout.nControl, "USB Internal Request"},
        {CHubIoctlPage::s_layout.nControl, "Hub User-mode Ioctls"},
        {CHCDIoctlPage::s_layout.nControl, "HCD User-mode Ioctls"},
        {CHIDIoctlPage::s_layout.nControl, "HID User-mode Ioctls"},
        {CPnpIrpPage::s_layout.nControl, "PnP Request"},
        {CPowerIrpPage::s_layout.nControl, "Power Request"},
    };
    for (auto& page : m_pages)
        for (const auto& entry : kTexts)
            if (entry.nControl == page->GetControlId())
                m_requestType.AddString(entry.text);
    m_nCurrentPage = 0;
    GetPage(0)->SetPhaseEnables(m_filter, m_bRequest, m_bCompletion);
    for (auto& page : m_pages)
        page->InitList();
    m_requestType.SetCurSel(0);
    ShowPage(0);
    m_search.Reset();
    m_search.SetWrap(::IsDlgButtonChecked(m_hWnd, IDC_FIND_WRAP) == BST_CHECKED);
    return TRUE;
}

void CFindDialog::ShowPage(int nPage) {
    const CCheckListPage* pShown = nPage >= 0 && nPage < GetPageCount() ? GetPage(nPage) : nullptr;
    for (CCheckListBox& list : m_lists)
        if (list.m_hWnd != nullptr)
            list.ShowWindow(pShown != nullptr && pShown->GetList() == &list ? SW_SHOW : SW_HIDE);
}

void CFindDialog::OnRequestTypeChange() {
    const int nPage = m_requestType.GetCurSel();
    if (nPage < 0 || nPage >= GetPageCount())
        return;
    m_nCurrentPage = nPage;
    ShowPage(nPage);
}

void CFindDialog::OnPhase(UINT nID) {
    m_bRequest = nID != IDC_FIND_COMPLETED ? TRUE : FALSE;
    m_bCompletion = nID != IDC_FIND_STARTED ? TRUE : FALSE;
    for (FilterFamily family : kFamilies) {
        m_filter.Enable(FilterPhaseByte(family, FilterPhase::Request), FALSE);
        m_filter.Enable(FilterPhaseByte(family, FilterPhase::Completion), FALSE);
    }
    GetPage(m_nCurrentPage)->SetPhaseEnables(m_filter, m_bRequest, m_bCompletion);
    m_search.Reset();
}

void CFindDialog::OnOutcome(UINT nID) {
    m_filter.Enable(FilterByte::AcceptSuccess, nID != IDC_FIND_ERROR);
    m_filter.Enable(FilterByte::AcceptError, nID != IDC_FIND_SUCCESS);
}

void CFindDialog::OnWrap() {
    m_search.SetWrap(::IsDlgButtonChecked(m_hWnd, IDC_FIND_WRAP) == BST_CHECKED);
    m_search.Reset();
}

void CFindDialog::OnMore() {
    // The size changes; where the dialog stands and what lies above it do not.
    const CRect& target = m_bExpanded ? m_rcReduced : m_rcFull;
    SetWindowPos(nullptr, 0, 0, target.Width(), target.Height(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    m_bExpanded = !m_bExpanded;
    ::SetDlgItemTextA(m_hWnd, IDC_FIND_MORE, m_bExpanded ? kLess : kMore);
}

void CFindDialog::OnHelp() {
    CWnd* pMainWnd = AfxGetMainWnd();
    (pMainWnd != nullptr ? pMainWnd : this)->HtmlHelp(IDH_FIND, HH_HELP_CONTEXT);
}

BOOL CFindDialog::PrepareSearch() {
    for (auto& page : m_pages) {
        page->SaveToFilter(m_filter);
        page->UpdatePhaseEnables(m_filter, m_bRequest, m_bCompletion);
    }
    if (!GetPage(m_nCurrentPage)->HasSelection(m_filter)) {
        MessageBox(kNothingTicked, nullptr, MB_OK | MB_ICONEXCLAMATION);
        return FALSE;
    }
    SetMessageText("");
    return TRUE;
}

void CFindDialog::Search(bool bForward) {
    if (m_pDocument == nullptr || !PrepareSearch())
        return;
    // The record list shows the rows: during background logging it is empty while the capture thread fills
    // the store, and a search reads nothing.
    auto* pView = dynamic_cast<CListView*>(m_pDocument->GetFirstView());
    if (pView == nullptr || pView->GetSafeHwnd() == nullptr)
        return;
    Rows rows(*this, *m_pDocument, pView->GetListCtrl());
    if (bForward)
        m_search.Next(rows);
    else
        m_search.Prev(rows);
}

void CFindDialog::OnNext() {
    Search(true);
}

void CFindDialog::OnPrev() {
    Search(false);
}

void CFindDialog::SetMessageText(LPCTSTR lpszText) const {
    if (auto* pFrame = dynamic_cast<CFrameWnd*>(AfxGetMainWnd()))
        pFrame->SetMessageText(lpszText);
}

void CFindDialog::OnOK() {
    OnNext();
}

void CFindDialog::OnCancel() {
    SetMessageText("");
    // Modeless: closing destroys the window rather than ending a modal loop.
    DestroyWindow();
}

void CFindDialog::PostNcDestroy() {
    CDialog::PostNcDestroy();
    if (m_pDocument != nullptr)
        m_pDocument->FindDialogDestroyed(this);
    delete this; // a modeless window: the object goes with its window
}
