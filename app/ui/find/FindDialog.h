// CFindDialog: the modeless Find dialog (dialog 221) over one capture document's record list. The user picks a
// request type (one check-list page per request family, as in the filter dialog), ticks its codes, chooses the
// phase and the outcome, and steps with Next and Prev through the rows whose records match; the row found is
// selected, and what happened is told in the main window's message pane and, at a search's end, in a box.
//
// It is made on the heap, given its document and created with the main window as parent; it deletes itself
// when its window goes and tells the document first, so that the document never keeps a pointer to a deleted
// dialog.
#pragma once

#include <memory>
#include <vector>

#include "afxwin.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/ui/filterdialog/CheckListPage.h"
#include "app/ui/filterdialog/FilterPages.h"
#include "app/ui/find/FindSearch.h"

class CUSBLog;

class CFindDialog : public CDialog {
    DECLARE_DYNAMIC(CFindDialog)
public:
    // The check-list boxes: one per page and one no page uses.
    static constexpr int ListCount = FILTER_PAGE_LIST_COUNT;
    static constexpr char kNothingTicked[] = "Please select at least one request type.";

    CFindDialog();
    ~CFindDialog() override;
    CFindDialog(const CFindDialog&) = delete;
    CFindDialog& operator=(const CFindDialog&) = delete;

    void SetDocument(CUSBLog* pDocument) { m_pDocument = pDocument; }
    CUSBLog* GetDocument() const { return m_pDocument; }

    // Modeless, from template 221; FALSE when the window cannot be made.
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr) override;
    using CDialog::Create;

    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CCheckListPage* GetPage(int nIndex) const { return m_pages.at(static_cast<size_t>(nIndex)).get(); }
    int GetCurrentPage() const { return m_nCurrentPage; }
    // The definition the searches match with.
    const CFilterDefinition& GetFilter() const { return m_filter; }
    const CFindSearch& GetSearch() const { return m_search; }
    BOOL IsExpanded() const { return m_bExpanded; }
    // The dialog's window rectangles, expanded and reduced (screen coordinates, as it opened).
    const CRect& GetFullRect() const { return m_rcFull; }
    const CRect& GetReducedRect() const { return m_rcReduced; }

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    void OnOK() override;     // no OK button: Enter presses Next, the default button
    void OnCancel() override; // Close, Escape
    void PostNcDestroy() override;

    void OnNext();
    void OnPrev();
    void OnMore();
    void OnHelp();
    void OnRequestTypeChange();
    void OnPhase(UINT nID);
    void OnOutcome(UINT nID);
    void OnWrap();
    DECLARE_MESSAGE_MAP()

private:
    class Rows;

    void ShowPage(int nPage);
    // The pages' ticks and phases into the definition; FALSE (and the user told) when the current page
    // ticks nothing.
    BOOL PrepareSearch();
    void Search(bool bForward);
    void SetMessageText(LPCTSTR lpszText) const;

    CUSBLog* m_pDocument = nullptr;
    CFilterDefinition m_filter;
    CComboBox m_requestType;
    CCheckListBox m_lists[ListCount];
    std::vector<std::unique_ptr<CCheckListPage>> m_pages;
    int m_nCurrentPage = 0;
    // The phase choice: the request side, the completion side.
    BOOL m_bRequest = TRUE;
    BOOL m_bCompletion = TRUE;
    CFindSearch m_search;
    BOOL m_bExpanded = TRUE;
    CRect m_rcFull;
    CRect m_rcReduced;
};
