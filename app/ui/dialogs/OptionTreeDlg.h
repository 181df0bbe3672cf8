// COptionTreeDlg: the options dialog (dialog 203), modal, editing the settings it is given in an option tree:
// check boxes and radio buttons under four captions, each item with a tip from the string table (an item's id
// is the id of its tip). It is told whether its document is the live capture and whether it is capturing: a
// saved log's settings, or a capture's while it runs, are shown read-only. OK writes the tree into the settings
// (the document saves them); it reports whether the user changed Continuous Logging, having agreed to clear the
// capture buffer, and whether the buffer size changed (never: one capture bank is the only size).
#pragma once

#include "afxtempl.h"
#include "afxwin.h"
#include "app/widgets/OXOptionTreeCtrl.h"

class CAppSettings;

class COptionTreeDlg : public CDialog {
    DECLARE_DYNAMIC(COptionTreeDlg)
public:
    COptionTreeDlg(CAppSettings* pSettings, BOOL bLiveDocument, BOOL bLogging, CWnd* pParentWnd = nullptr);
    ~COptionTreeDlg() override;
    COptionTreeDlg(const COptionTreeDlg&) = delete;
    COptionTreeDlg& operator=(const COptionTreeDlg&) = delete;

    CAppSettings* GetSettings() const { return m_pSettings; }
    BOOL IsLiveDocument() const { return m_bLiveDocument; }
    BOOL IsLogging() const { return m_bLogging; }
    // A saved log's settings, or a live capture's while it captures: nothing can be changed.
    BOOL IsReadOnly() const { return m_bReadOnly; }
    COXOptionTreeCtrl& GetTree() { return m_tree; }
    // The tips loaded while the dialog is open (none once it closed).
    INT_PTR GetTipCount() const { return m_tips.GetCount(); }

    // Set when the user changed Continuous Logging and agreed to clear the capture buffer.
    BOOL m_bContinuousLoggingChanged = FALSE;
    BOOL m_bBufferSizeChanged = FALSE;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void OnHelp();
    void OnGetInfoTip(NMHDR* pNMHDR, LRESULT* pResult);
    DECLARE_MESSAGE_MAP()

private:
    void LoadTips();
    void AddCaptionImages();
    void BuildTree();
    HTREEITEM AddCheck(UINT uID, LPCTSTR lpszText, HTREEITEM hParent, bool bChecked);
    void AddSizeRadios(UINT uFirstID, HTREEITEM hParent, DWORD dwCode);
    // The tree into the settings, in the order the settings depend on.
    void StoreSettings();
    bool IsOn(UINT uID) const { return m_tree.GetCheck(uID) == 1; }
    // The caption's tip string, or 0 when the text is no caption's.
    static UINT CaptionTip(const CString& text);

    CAppSettings* m_pSettings;
    BOOL m_bLiveDocument;
    BOOL m_bLogging;
    BOOL m_bReadOnly = FALSE;
    COXOptionTreeCtrl m_tree;
    int m_nGroupImage = -1;
    int m_nPageImage = -1;
    CMap<UINT, UINT, CString, const CString&> m_tips;
};
