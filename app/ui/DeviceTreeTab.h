// CDeviceTreeTab: the window inside the device tree bar that holds the tab container with the three pages of
// the device tree: Devices (the USB connection tree), Stacks (the kernel device stacks) and Drivers (the
// hooked drivers and their device objects). CDevicesTab, CStacksTab and CDriversTab are those pages.
//
// For now the classes hold only what the pane holder (CPanePointers) asks of them, answering as an empty tree
// would: the trees and their window come with the device tree tabs, which keep this interface.
#pragma once

#include "afxwin.h"
#include "app/devices/DeviceViews.h"
#include "app/widgets/OX3DTabViewContainer.h"

class CDeviceObject;
class CDeviceStack;
class CUSBLog;

class CDevicesTab {
public:
    // Any item checked.
    BOOL AnyChecked() const;
    // The checked item after rPosition in display order (from the first root when it is null): its position,
    // image (the device type) and topology object; FALSE when none is left.
    BOOL GetNextCheckedDevice(ICheckedDevices::Position& rPosition, int& rImage, CObject*& rpDevice);
    // The caret item, or null.
    HTREEITEM GetCaretItem() const;
    // The Device Properties or System Properties pane shows the item.
    void DisplaySelectionDetails(HTREEITEM hItem);
};

class CStacksTab {
public:
    void DisplaySelectionDetails(HTREEITEM hItem);
};

class CDriversTab {
public:
    void DisplaySelectionDetails(HTREEITEM hItem);
    // The document's drivers and their device objects, afresh.
    void DisplayDrivers(CUSBLog* pDoc);
};

class CDeviceTreeTab : public CWnd {
    DECLARE_DYNAMIC(CDeviceTreeTab)
public:
    CDeviceTreeTab() = default;
    ~CDeviceTreeTab() override = default;

    // Check changes by the user locked (read-only) or allowed on all three pages.
    void SetReadOnly();
    void SetWriteable();
    // The three trees redisplayed for the active document; with bRebuild the driver's stacks and the
    // document's device model are read again first.
    void DoRefresh(BOOL bRebuild);
    // The trees' checks enabled as bCheckable; the trees redisplayed when the document's device tree changed
    // (emptied for no document).
    void RefreshTabViews(CUSBLog* pDoc, BOOL bCheckable);
    // No caret item on any page.
    void ClearSelections();
    // The other views brought in line with a stack's, or a device object's, check state.
    void UpdateTabViews(CDeviceStack* pStack);
    void UpdateTabViews(CDeviceObject* pDevice);
    // The document is about to delete its device model: no item may keep pointing into it.
    void DeviceModelChanging(CUSBLog* pDoc);

    CDevicesTab& GetDevicesTab() { return m_DevicesTab; }
    CStacksTab& GetStacksTab() { return m_StacksTab; }
    CDriversTab& GetDriversTab() { return m_DriversTab; }
    COX3DTabViewContainer& GetTabContainer() { return m_TabViewContainer; }

private:
    CDevicesTab m_DevicesTab;
    CStacksTab m_StacksTab;
    CDriversTab m_DriversTab;
    COX3DTabViewContainer m_TabViewContainer;
};
