// CFilterDefinitionDlg: edits one filter definition on eight check-list pages and three radio groups
// (dialog 204), and keeps a library of named definitions beside the current and previous one of each mode in
// the registry. The mode decides what the definition is for:
//   0  capture filter (sent to the driver with the next capture)  "CurCaptureFilter" / "LastCaptureFilter"
//   1  buffer filter (applied to the records already captured)    "CurBufferFilter"  / "LastBufferFilter"
//   2  trigger (stops a running capture on a match)               "CurTrigger"       / "LastTrigger"
// Filters live under the application key's "Filters", triggers under "Triggers". The dialog ends with IDOK
// (apply to the buffer), ApplyToNextCapture (the next capture, or the trigger) or IDCANCEL.
#pragma once

#include <memory>
#include <vector>

#include "afxwin.h"
#include "app/core/filters/FilterDefinition.h"
#include "app/core/system/OSVersion.h"
#include "app/ui/filterdialog/CheckListPage.h"
#include "app/ui/filterdialog/FilterPages.h"

class CFilterDefinitionDlg : public CDialog {
public:
    enum Mode { CaptureFilter = 0, BufferFilter = 1, Trigger = 2 };
    static constexpr int ApplyToNextCapture = 8;
    // The dialog's check-list boxes: one per page and a spare one no page uses.
    static constexpr int ListCount = FILTER_PAGE_LIST_COUNT;

    // The definition belongs to the caller. bLiveCapture: the calling document is capturing live;
    // bEditing: the definition is the one in force (its stored current value is loaded and shown).
    CFilterDefinitionDlg(CFilterDefinition* pFilter, BOOL bLiveCapture, BOOL bEditing, CWnd* pParent = nullptr);
    ~CFilterDefinitionDlg() override;

    // Set by the caller before DoModal; the dialog may change it when it applies.
    int m_nMode;

    int GetPageCount() const { return static_cast<int>(m_pages.size()); }
    CCheckListPage* GetPage(int nIndex) const { return m_pages.at(static_cast<size_t>(nIndex)).get(); }

    // The values of the mode: the sub-key below the application key and the current and previous names.
    static const char* SubKeyName(int nMode);
    static const char* CurrentName(int nMode);
    static const char* PreviousName(int nMode);

protected:
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void OnOK() override;     // Apply to Buffer
    void OnCancel() override; // Clear, Escape: the definition becomes the previous one
    void OnClose();

    void OnTabChange(NMHDR* pNMHDR, LRESULT* pResult);
    void OnNamesSelChange();
    void OnLoad();
    void OnSave();
    void OnSaveAs();
    void OnRemove();
    void OnNew();
    void OnSelectAll();
    void OnClearAll();
    void OnApplyToNextCapture();
    void OnHelp();
    void OnSelectionChanged(UINT nID); // a radio button or a page's check box changed

    DECLARE_MESSAGE_MAP()

private:
    void FillNameList();
    void ShowPage(int nTab);
    // Reads the radio groups and the pages into the definition.
    void Collect();
    // Writes the definition to the pages and the radio groups.
    void Show();
    void MakeCurrent(int nIndex);
    // The selected entry's index (-1: none) and name.
    int GetSelectedName(CString& rName) const;
    CCheckListPage* GetVisiblePage() const;
    void MarkModified();
    BOOL SelectsNothing() const;
    BOOL AskName(CString& rName);
    void SaveUnder(const CString& name);
    BOOL SaveValue(LPCSTR lpszName);
    BOOL LoadValue(LPCSTR lpszName);
    BOOL DeleteValue(LPCSTR lpszName);
    void StoreAsCurrent();
    void StoreAsPrevious();
    void EnableButton(UINT nID, BOOL bEnable);

    CFilterDefinition* m_pFilter;
    BOOL m_bLiveCapture;
    BOOL m_bEditing;
    int m_nCurrent = -1;
    BOOL m_bModified = FALSE;
    COSVersion m_os;
    CTabCtrl m_tabs;
    CListBox m_names;
    CCheckListBox m_lists[ListCount];
    std::vector<std::unique_ptr<CCheckListPage>> m_pages;
};
