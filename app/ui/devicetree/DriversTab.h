// CDriversTab: the Drivers page of the device tree: the drivers the capture driver hooked, each with its device
// objects, below the machine's item. Items hold their CDriverObject or CDeviceObject. Checking a device object
// selects it for capture; checking a driver selects its present, capturable device objects.
#pragma once

#include "app/devices/DeviceViews.h"
#include "app/ui/devicetree/DeviceTreePage.h"

class CDeviceObject;
class CDriverObject;

class CDriversTab : public CDeviceTreePage, public IDriversTab {
public:
    explicit CDriversTab(CDeviceTreeTab& owner) : CDeviceTreePage(owner) {}

    // The document's drivers and their device objects afresh (the selection kept); empty for no document.
    void DisplayDrivers(CUSBLog* pDoc);
    // Fills the page without keeping the selection.
    void Fill(CUSBLog* pDoc);
    // The item of the device object (found by its driver's and its own address), or null.
    HTREEITEM FindDeviceNode(const CDeviceObject* pDevice) const;

    // IDriversTab, for the driver list that fills the page.
    HTREEITEM InsertItemImage6(LPCSTR lpszText, HTREEITEM hParent, CDriverObject* pDriver) override;
    HTREEITEM InsertItemImage10(LPCSTR lpszText, HTREEITEM hParent, CDriverObject* pDriver) override;
    HTREEITEM InsertItemImage7(LPCSTR lpszText, HTREEITEM hParent, CDeviceObject* pDevice) override;
    HTREEITEM InsertItemImage9(LPCSTR lpszText, HTREEITEM hParent, CDeviceObject* pDevice) override;
    void SetItemStateImage(HTREEITEM hItem, UINT nStateImage, LPCSTR lpszText) override;
    void ExpandItem(HTREEITEM hItem) override { CDeviceTreePage::ExpandItem(hItem); }

    // A check change or a selection change on the page.
    void OnDriversNotify(NMHDR* pNMHDR, CUSBLog* pDoc);
    // The System Properties pane shown again.
    void DisplaySelectionDetails(HTREEITEM hItem);
    // The page became the active tab.
    void SelectTab(CUSBLog* pDoc);

    // What an item's data stands for; null when it is something else.
    CDeviceObject* DeviceObjectOf(HTREEITEM hItem) const;
    CDriverObject* DriverObjectOf(HTREEITEM hItem) const;

protected:
    void ForgetItem(HTREEITEM hItem, DWORD_PTR dwData) override;
    void RememberItem(HTREEITEM hItem) override;
    HTREEITEM FindRemembered(CUSBLog* pDoc) override;

private:
    // The driver's item among the root's children and, with a device address, the device object's item below
    // it; null when either is missing.
    HTREEITEM FindItem(ULONG64 ntDriverObject, const ULONG64* pNtDeviceObject) const;
    // Shows the device object's stack in the stack inspector, or nothing for no stack.
    static void ShowStackOf(const CDeviceObject* pDevice);

    // The kept selection: the root, a driver by its address, a device object by its driver's and its own.
    enum class Kept { None, Root, Driver, Device };
    Kept m_Kept = Kept::None;
    ULONG64 m_ntKeptDriver = 0;
    ULONG64 m_ntKeptDevice = 0;
};
