// CDevTreeBar: the window of the device tree's docking pane. It holds the tab view of the device tree
// (CDeviceTreeTab) and two flags the main frame and the pane holder keep on it: read-only (set while a capture
// runs, also before the window exists, so that the tree is made read-only when it appears) and
// open-before-logging (the pane was open when a capture hid it).
#pragma once

#include "afxwin.h"
#include "app/ui/devicetree/DeviceTreeTab.h"

class CDevTreeBar : public CWnd {
    DECLARE_DYNAMIC(CDevTreeBar)
public:
    CDevTreeBar() = default;
    ~CDevTreeBar() override = default;
    CDevTreeBar(const CDevTreeBar&) = delete;
    CDevTreeBar& operator=(const CDevTreeBar&) = delete;

    // The bar's window, a child of the frame with the title and size; FALSE when it cannot be made.
    BOOL Create(LPCTSTR lpszTitle, CWnd* pParentWnd, CSize size, UINT nID, DWORD dwStyle = WS_CHILD);
    using CWnd::Create;

    // The tab view, whether or not its window exists (CMainFrame::GetDeviceTreeTab answers only once it does).
    CDeviceTreeTab& GetTab() { return m_DeviceTreeTab; }

    BOOL IsReadOnly() const { return m_bReadOnly; }
    void SetReadOnly(BOOL bReadOnly) { m_bReadOnly = bReadOnly ? TRUE : FALSE; }
    BOOL WasOpenBeforeLogging() const { return m_bWasOpen; }
    void SetWasOpenBeforeLogging(BOOL bWasOpen) { m_bWasOpen = bWasOpen ? TRUE : FALSE; }

protected:
    // The tab view over the whole client area.
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnSize(UINT nType, int cx, int cy);
    DECLARE_MESSAGE_MAP()

private:
    CDeviceTreeTab m_DeviceTreeTab;
    BOOL m_bReadOnly = FALSE;
    BOOL m_bWasOpen = FALSE;
};
