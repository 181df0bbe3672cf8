// CDeviceTreeTab: the window inside the device tree bar that holds the tab container with the three pages of
// the device tree: Devices (the USB connection tree), Stacks (the kernel device stacks) and Drivers (the
// hooked drivers and their device objects). It owns the image lists the pages share, routes the trees'
// notices to their pages, keeps the three views in line after a check, and redisplays them for a document.
//
// The trees' items point into one document's device model. Before the document deletes model objects it
// says so (DeviceModelChanging): the trees showing it are emptied at once, each page keeping its selection by
// value, and a redisplay for the document active by then is posted.
#pragma once

#include <array>

#include "afxwin.h"
#include "app/ui/devicetree/DevicesTab.h"
#include "app/ui/devicetree/DriversTab.h"
#include "app/ui/devicetree/StacksTab.h"
#include "app/widgets/OX3DTabViewContainer.h"

class CDeviceObject;
class CDeviceStack;
class CUSBLog;

class CDeviceTreeTab : public CWnd {
    DECLARE_DYNAMIC(CDeviceTreeTab)
public:
    // The pages in tab order.
    enum Tab { DevicesTab = 0, StacksTab = 1, DriversTab = 2 };

    CDeviceTreeTab();
    ~CDeviceTreeTab() override;
    CDeviceTreeTab(const CDeviceTreeTab&) = delete;
    CDeviceTreeTab& operator=(const CDeviceTreeTab&) = delete;

    // The window (class "DeviceTreeTab", with a client edge that the parent then leaves off its own); FALSE
    // when it cannot be made.
    BOOL Create(DWORD dwStyle, const RECT& rect, CWnd* pParentWnd, UINT nID);
    using CWnd::Create;

    // Check changes by the user locked (read-only) or allowed on all three pages.
    void SetReadOnly();
    void SetWriteable();
    // The three trees redisplayed for the active document and the stack inspector emptied; with bRebuild the
    // driver's stacks (when nothing was captured yet) and the document's device model are read again first.
    void DoRefresh(BOOL bRebuild);
    // The trees' checks allowed as bCheckable; the trees redisplayed when the document's device tree changed or
    // they show another document (emptied, with the stack inspector, for no document).
    void RefreshTabViews(CUSBLog* pDoc, BOOL bCheckable);
    // No caret item on any page.
    void ClearSelections();
    // The other views brought in line with a stack's, or a device object's, check state.
    void UpdateTabViews(CDeviceStack* pStack);
    void UpdateTabViews(CDeviceObject* pDevice);
    // The document is about to destroy objects of its device model.
    void DeviceModelChanging(CUSBLog* pDoc);

    // The document the three trees were last displayed for; null while they are empty.
    CUSBLog* GetShownDocument() const { return m_pShownDoc; }
    int GetActiveTab() const { return m_nActiveTab; }

    CDevicesTab& GetDevicesTab() { return m_DevicesTab; }
    CStacksTab& GetStacksTab() { return m_StacksTab; }
    CDriversTab& GetDriversTab() { return m_DriversTab; }
    COX3DTabViewContainer& GetTabContainer() { return m_TabViewContainer; }

    // While one lives, the trees' notices are not acted on: the program itself is changing the trees.
    class QuietNotices {
    public:
        explicit QuietNotices(CDeviceTreeTab& tab) : m_Tab(tab) { ++m_Tab.m_nQuiet; }
        ~QuietNotices() { --m_Tab.m_nQuiet; }
        QuietNotices(const QuietNotices&) = delete;
        QuietNotices& operator=(const QuietNotices&) = delete;

    private:
        CDeviceTreeTab& m_Tab;
    };

protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    void OnWindowPosChanged(WINDOWPOS* lpwndpos);
    void OnContextMenu(CWnd* pWnd, CPoint point);
    LRESULT OnPostedRedisplay(WPARAM wParam, LPARAM lParam);
    BOOL OnNotify(WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;
    DECLARE_MESSAGE_MAP()

private:
    std::array<CDeviceTreePage*, 3> Pages() { return {&m_DevicesTab, &m_StacksTab, &m_DriversTab}; }
    // Save each page's selection, fill Stacks, Devices and Drivers, restore the selections.
    void Redisplay(CUSBLog* pDoc);
    void ClearTrees();
    void SelectTab(int nTab);
    void FitContainer();

    CDevicesTab m_DevicesTab;
    CStacksTab m_StacksTab;
    CDriversTab m_DriversTab;
    CImageList m_ilImages;
    CImageList m_ilStates;
    // Last: its window goes (with the pages' trees in it) before the pages and the image lists.
    COX3DTabViewContainer m_TabViewContainer;
    int m_nActiveTab = DevicesTab;
    CUSBLog* m_pShownDoc = nullptr;
    BOOL m_bCheckable = TRUE;
    BOOL m_bRedisplayPosted = FALSE;
    int m_nQuiet = 0;
    friend class CDeviceTreePage::Filling;
};
