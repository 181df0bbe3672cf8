// CStackInspectorBar: the window of the stack inspector's docking pane. It holds the stack list
// (CSpecialGridList) and two flags the main frame and the pane holder keep on it: read-only (set while a
// capture runs, also before the window exists, so that the list is made read-only when it appears) and
// open-before-logging (the pane was open when a capture hid it).
//
// The bar hears the list's notices: it refuses check changes of uncheckable rows and, while read-only, the
// user's; it carries each check over to the row's device object and the device tree; and it shows the list's
// context menu, with the main window as the owner of its commands.
#pragma once

#include "afxwin.h"
#include "app/ui/panes/SpecialGridList.h"

class CStackInspectorBar : public CWnd {
    DECLARE_DYNAMIC(CStackInspectorBar)
public:
    CStackInspectorBar() = default;
    ~CStackInspectorBar() override = default;
    CStackInspectorBar(const CStackInspectorBar&) = delete;
    CStackInspectorBar& operator=(const CStackInspectorBar&) = delete;

    // The bar's window, a child of the frame with the title and size; FALSE when it cannot be made.
    BOOL Create(LPCTSTR lpszTitle, CWnd* pParentWnd, CSize size, UINT nID, DWORD dwStyle = WS_CHILD);
    using CWnd::Create;

    // The stack list, whether or not its window exists (CMainFrame::GetStackInspectorList answers only once it
    // does).
    CSpecialGridList& GetList() { return m_List; }

    BOOL IsReadOnly() const { return m_bReadOnly; }
    void SetReadOnly(BOOL bReadOnly) { m_bReadOnly = bReadOnly ? TRUE : FALSE; }
    BOOL WasOpenBeforeLogging() const { return m_bWasOpen; }
    void SetWasOpenBeforeLogging(BOOL bWasOpen) { m_bWasOpen = bWasOpen ? TRUE : FALSE; }

protected:
    // The list over the whole client area, with the bar's context menu.
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnSize(UINT nType, int cx, int cy);
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    DECLARE_MESSAGE_MAP()

private:
    // Whether the list may make the state change it asks about.
    BOOL AllowStateChange(const NMLISTVIEW& change) const;
    void OnStateChanged(const NMLISTVIEW& change);
    // The menu at a screen point inside the list; nothing for the keyboard's (-1, -1).
    void ShowContextMenu(CPoint point);

    CSpecialGridList m_List;
    CMenu m_Menu;
    BOOL m_bReadOnly = FALSE;
    BOOL m_bWasOpen = FALSE;
};
