// CStacksTab: the Stacks page of the device tree: the document's kernel device stacks, each under its parent
// stack, below the machine's item. Each item's data is its CDeviceStack; checking one selects the stack's device
// objects for capture.
#pragma once

#include "app/devices/DeviceViews.h"
#include "app/ui/devicetree/DeviceTreePage.h"

class CDeviceStack;

class CStacksTab : public CDeviceTreePage, public IStacksTab {
public:
    explicit CStacksTab(CDeviceTreeTab& owner) : CDeviceTreePage(owner) {}

    // The document's stacks afresh; empty for no document.
    void Populate(CUSBLog* pDoc);

    // IStacksTab, for the stack tree that fills the page.
    HTREEITEM InsertStackItem(LPCSTR lpszText, HTREEITEM hParent, CDeviceStack* pStack) override;
    void SetItemCheckState(HTREEITEM hItem, int nState) override { CDeviceTreePage::SetItemCheckState(hItem, nState); }
    void ExpandItem(HTREEITEM hItem) override { CDeviceTreePage::ExpandItem(hItem); }

    // A check change or a selection change on the page.
    void OnStacksNotify(NMHDR* pNMHDR, CUSBLog* pDoc);
    // The Device Properties pane emptied and the System Properties pane shown again.
    void DisplaySelectionDetails(HTREEITEM hItem);
    // The page became the active tab.
    void SelectTab(CUSBLog* pDoc);

    // An item's text: the stack's description, or what else names it when it has none.
    static CString StackLabel(LPCSTR lpszDescription, const CDeviceStack* pStack);
    // The stack an item's data stands for, or null.
    CDeviceStack* StackOf(HTREEITEM hItem) const;

protected:
    void ForgetItem(HTREEITEM hItem, DWORD_PTR dwData) override;
    void RememberItem(HTREEITEM hItem) override;
    HTREEITEM FindRemembered(CUSBLog* pDoc) override;

private:
    // The kept selection: the root, a stack by its StackID, or nothing.
    enum class Kept { None, Root, Stack };
    Kept m_Kept = Kept::None;
    USHORT m_nKeptStackID = 0;
};
