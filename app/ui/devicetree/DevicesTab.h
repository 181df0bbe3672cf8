// CDevicesTab: the Devices page of the device tree: the USB connection tree of the document (the machine, its
// host controllers, root hubs, ports, external hubs and devices). Each item's data is its connection-tree node,
// whose element keeps the item; an external hub has no item of its own, its ports hang under the port that
// holds it. Checking an item selects the device objects of its device stack for capture; the document's
// expand flags (one per StackID) say which items show expanded.
#pragma once

#include <unordered_map>
#include <vector>

#include "app/devices/ConnectionTree.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DeviceViews.h"
#include "app/ui/devicetree/DeviceTreePage.h"

class CDevicesTab : public CDeviceTreePage, public ICheckedDevices {
public:
    using Node = core::tree<ConnectionElement>;

    explicit CDevicesTab(CDeviceTreeTab& owner) : CDeviceTreePage(owner) {}

    void ClearDevices() { ClearTree(); }
    void ExpandNode(HTREEITEM hItem) { ExpandItem(hItem); }
    void EnsureNodeVisible(HTREEITEM hItem) { m_Tree.EnsureVisible(hItem); }

    // Any item checked.
    BOOL AnyChecked() const;
    // The checked item after rPosition in display order (from the first root when it is null): its position,
    // image (the device type) and topology object; FALSE when none is left.
    BOOL GetNextCheckedDevice(Position& rPosition, int& rImage, CObject*& rpDevice) override;

    // The document's connection tree afresh; empty for no document.
    void DisplayConnectionTree(CUSBLog* pDoc);

    // A check change or a selection change on the page.
    void OnDevicesNotify(NMHDR* pNMHDR, CUSBLog* pDoc);
    // The stack of the item's element checked or unchecked (bCheckChange) and the other views brought in line;
    // with bShowStackList the stack inspector shows that stack (nothing, for the machine and empty or failed
    // ports); then the selection's details. The stack it checked or unchecked, or null.
    CDeviceStack* DevTreeChange(HTREEITEM hItem, CUSBLog* pDoc, BOOL bShowStackList, BOOL bCheckChange,
                                BOOL bChecked = FALSE);
    // The Device Properties pane shows the item (the System Properties pane the machine, for no item).
    void DisplaySelectionDetails(HTREEITEM hItem);
    // The page became the active tab.
    void SelectTab(CUSBLog* pDoc);
    // The item of the topology object (host controller, hub or port) takes the check state.
    void RefreshObjectState(const CObject* pObject, int nState);
    HTREEITEM FindObjectItem(const CObject* pObject) const;

    // The node an item's data stands for.
    static Node* NodeOf(DWORD_PTR dwData) { return reinterpret_cast<Node*>(dwData); }
    // The device stack an item of this image stands for: the host controller's, the root hub's, or the
    // device's at a port holding an external hub or a device; null for any other image or a missing link.
    static CDeviceStack* StackOfItem(int nImage, const Node* pNode);

protected:
    void ForgetItem(HTREEITEM hItem, DWORD_PTR dwData) override;
    void OnTreeCleared() override { m_ItemOfObject.clear(); }
    void RememberItem(HTREEITEM hItem) override;
    HTREEITEM FindRemembered(CUSBLog* pDoc) override;

private:
    // What an item stands for, by value: the machine, a host controller or a hub by its stack's driver key,
    // a port by its hub's key and its number.
    enum class Kind { None, Computer, Controller, Hub, Port };
    struct Key {
        Kind kind = Kind::None;
        CString strDriverKey;
        ULONG nPort = 0;
        bool operator==(const Key& other) const {
            return kind == other.kind && strDriverKey == other.strDriverKey && nPort == other.nPort;
        }
    };
    static Key KeyOf(const Node* pNode);
    // How an element shows: its image, its check state, its device stack (or null), and whether it has an
    // item of its own.
    struct Look {
        int nImage = DT_NONE;
        int nState = 3;
        CDeviceStack* pStack = nullptr;
        bool bOwnItem = true;
    };
    static Look LookOf(const ConnectionElement& element);
    // The stack of the element by its type: the host controller's, the hub's, the device's at a port.
    static CDeviceStack* StackOfNode(const Node* pNode);

    void DisplayConnectionTreeLevel(CUSBLog* pDoc, Node* pParentNode, HTREEITEM hParent);
    int GetItemImage(HTREEITEM hItem) const;

    std::unordered_map<const CObject*, HTREEITEM> m_ItemOfObject;
    // The items of stacks placed since the last display, scrolled into view at the end of this one.
    std::vector<HTREEITEM> m_ToShow;
    Key m_Remembered;
};
