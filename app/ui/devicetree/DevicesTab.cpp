#include "app/ui/devicetree/DevicesTab.h"

#include <vector>

#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/devices/HostController.h"
#include "app/devices/HubPort.h"
#include "app/devices/TempObject.h"
#include "app/devices/UsbHub.h"
#include "app/ui/PanePointers.h"
#include "app/ui/devicetree/DeviceTreeIds.h"
#include "app/ui/devicetree/DeviceTreeTab.h"
#include "app/ui/panes/StackListMessages.h"

namespace {

using Node = CDevicesTab::Node;

template <class T> T* ObjectAs(const ConnectionElement& element) {
    CObject* pObject = element.m_pElemObject;
    return dynamic_cast<T*>(pObject);
}

// The node after pNode in the tree's pre-order walk below pRoot: its first child, else its next sibling, else
// the next sibling of the nearest ancestor that has one.
Node* NextNode(Node* pNode, const Node* pRoot) {
    if (pNode->first_child() != nullptr)
        return pNode->first_child();
    for (; pNode != nullptr && pNode != pRoot; pNode = pNode->parent()) {
        if (pNode->next_sibling() != nullptr)
            return pNode->next_sibling();
    }
    return nullptr;
}

// A stack's driver key names its device for good; a stack without one is named by the label of its item.
CString DriverKeyOf(const CDeviceStack* pStack, const CString& strLabel) {
    return pStack != nullptr && !pStack->DriverKey.IsEmpty() ? pStack->DriverKey : strLabel;
}

bool IsExternalHub(UINT nType) {
    return nType == ExternalHub || nType == SSExternalHub;
}

} // namespace

CDevicesTab::Look CDevicesTab::LookOf(const ConnectionElement& element) {
    // The stack is the model object's own: the one a look-up of its driver key in the stack tree would find.
    Look look;
    switch (element.m_ElementType) {
    case HostComputer: look.nImage = DT_COMPUTER_SYSTEM; break;
    case HostController:
        look.nImage = DT_HOST_CONTROLLER;
        if (auto* pController = ObjectAs<CHostController>(element)) {
            look.nState = pController->GetCheckState();
            look.pStack = pController->GetDeviceStack();
        }
        break;
    case RootHub:
    case SSRootHub:
        look.nImage = element.m_ElementType == RootHub ? DT_ROOT_HUB : DT_SS_ROOT_HUB;
        if (auto* pHub = ObjectAs<CUsbHub>(element)) {
            look.nState = pHub->GetCheckState();
            look.pStack = pHub->m_devstk;
        }
        break;
    case RootHubPort:
    case ExternalHubPort:
        if (auto* pPort = ObjectAs<CHubPort>(element)) {
            look.nImage = pPort->GetImageIndex();
            look.nState = pPort->GetCheckState();
            look.pStack = pPort->GetDeviceStack();
        }
        break;
    case ExternalHub:
    case SSExternalHub: look.bOwnItem = false; break;
    default: break;
    }
    return look;
}

CDeviceStack* CDevicesTab::StackOfNode(const Node* pNode) {
    return pNode != nullptr ? LookOf(pNode->get()).pStack : nullptr;
}

CDeviceStack* CDevicesTab::StackOfItem(int nImage, const Node* pNode) {
    switch (nImage) {
    case DT_HOST_CONTROLLER:
    case DT_ROOT_HUB:
    case DT_SS_ROOT_HUB:
    case DT_EXTERN_HUB:
    case DT_SS_EXTERN_HUB:
    case DT_GENERIC_USB:
    case DT_SS_GENERIC_USB: return StackOfNode(pNode);
    default: return nullptr;
    }
}

CDevicesTab::Key CDevicesTab::KeyOf(const Node* pNode) {
    Key key;
    if (pNode == nullptr)
        return key;
    const ConnectionElement& element = pNode->get();
    switch (element.m_ElementType) {
    case HostComputer: key.kind = Kind::Computer; break;
    case HostController:
        key.kind = Kind::Controller;
        key.strDriverKey = DriverKeyOf(StackOfNode(pNode), element.m_LabelText);
        break;
    case RootHub:
    case SSRootHub:
        key.kind = Kind::Hub;
        key.strDriverKey = DriverKeyOf(StackOfNode(pNode), element.m_LabelText);
        break;
    case RootHubPort:
    case ExternalHubPort: {
        const CHubPort* pPort = ObjectAs<CHubPort>(element);
        const Node* pHubNode = pNode->parent();
        const CUsbHub* pHub = pHubNode != nullptr ? ObjectAs<CUsbHub>(pHubNode->get()) : nullptr;
        if (pPort == nullptr || pHub == nullptr)
            break;
        key.kind = Kind::Port;
        key.strDriverKey = DriverKeyOf(pHub->m_devstk, pHubNode->get().m_LabelText);
        key.nPort = pPort->m_PortNumber;
        break;
    }
    default: break;
    }
    return key;
}

int CDevicesTab::GetItemImage(HTREEITEM hItem) const {
    int nImage = -1;
    int nSelected = -1;
    if (hItem == nullptr || !m_Tree.GetItemImage(hItem, nImage, nSelected))
        return -1;
    return nImage;
}

BOOL CDevicesTab::AnyChecked() const {
    for (HTREEITEM hItem = m_Tree.GetRootItem(); hItem != nullptr; hItem = m_Tree.GetNextItemInOrder(hItem)) {
        if (m_Tree.IsChecked(hItem))
            return TRUE;
    }
    return FALSE;
}

BOOL CDevicesTab::GetNextCheckedDevice(Position& rPosition, int& rImage, CObject*& rpDevice) {
    if (m_Tree.GetSafeHwnd() == nullptr)
        return FALSE;
    HTREEITEM hItem =
        rPosition == nullptr ? m_Tree.GetRootItem() : m_Tree.GetNextItemInOrder(static_cast<HTREEITEM>(rPosition));
    for (; hItem != nullptr; hItem = m_Tree.GetNextItemInOrder(hItem)) {
        if (!m_Tree.IsChecked(hItem))
            continue;
        const Node* pNode = NodeOf(m_Tree.GetItemData(hItem));
        rPosition = hItem;
        rImage = GetItemImage(hItem);
        rpDevice = pNode != nullptr ? pNode->get().m_pElemObject : nullptr;
        return TRUE;
    }
    return FALSE;
}

void CDevicesTab::DisplayConnectionTree(CUSBLog* pDoc) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES_TAB, "--CDevicesTab::DisplayConnectionTree");
    Filling filling(*this);
    ClearDevices();
    if (pDoc == nullptr)
        return;
    Node& root = pDoc->GetConnectionTree();
    HTREEITEM hRoot = InsertRootItem(pDoc, &root);
    if (hRoot == nullptr)
        return;
    root.get().m_hTreeItem = hRoot;
    m_ToShow.clear();
    DisplayConnectionTreeLevel(pDoc, &root, hRoot);
    ExpandNode(hRoot);
    // Scrolled only once every level is expanded: a level expanded later would push an item shown earlier out
    // of view again.
    for (HTREEITEM hItem : m_ToShow)
        EnsureNodeVisible(hItem);
    m_ToShow.clear();
}

void CDevicesTab::DisplayConnectionTreeLevel(CUSBLog* pDoc, Node* pParentNode, HTREEITEM hParent) {
    std::vector<HTREEITEM> toExpand;
    for (Node* pNode = pParentNode->first_child(); pNode != nullptr; pNode = pNode->next_sibling()) {
        ConnectionElement& element = pNode->get();
        const Look look = LookOf(element);
        if (!look.bOwnItem) {
            // An external hub shows on the item of the port that holds it, its ports below.
            element.m_hTreeItem = hParent;
            if (element.m_pElemObject != nullptr)
                m_ItemOfObject[element.m_pElemObject] = hParent;
            DisplayConnectionTreeLevel(pDoc, pNode, hParent);
            continue;
        }
        HTREEITEM hItem = InsertNode(element.m_LabelText, look.nImage, hParent, pNode);
        if (hItem == nullptr)
            continue;
        element.m_hTreeItem = hItem;
        SetItemCheckState(hItem, look.nState);
        if (element.m_pElemObject != nullptr)
            m_ItemOfObject[element.m_pElemObject] = hItem;
        if (look.pStack != nullptr) {
            // 2: placed by arrival processing since the last display: shown expanded and scrolled into view once.
            const BYTE flag = pDoc->GetDeviceFlag(look.pStack->StackID);
            if (flag == 1 || flag == 2)
                toExpand.push_back(hItem);
            if (flag == 2) {
                m_ToShow.push_back(hItem);
                pDoc->SetDeviceFlag(look.pStack->StackID, 1);
            }
        }
        DisplayConnectionTreeLevel(pDoc, pNode, hItem);
    }
    for (HTREEITEM hItem : toExpand)
        ExpandNode(hItem);
}

void CDevicesTab::ForgetItem(HTREEITEM, DWORD_PTR dwData) {
    Node* pNode = NodeOf(dwData);
    if (pNode == nullptr)
        return;
    pNode->get().m_hTreeItem = nullptr;
    for (Node* pChild = pNode->first_child(); pChild != nullptr; pChild = pChild->next_sibling()) {
        if (IsExternalHub(pChild->get().m_ElementType))
            pChild->get().m_hTreeItem = nullptr;
    }
}

HTREEITEM CDevicesTab::FindObjectItem(const CObject* pObject) const {
    if (pObject == nullptr)
        return nullptr;
    const auto found = m_ItemOfObject.find(pObject);
    return found != m_ItemOfObject.end() ? found->second : nullptr;
}

void CDevicesTab::RefreshObjectState(const CObject* pObject, int nState) {
    if (HTREEITEM hItem = FindObjectItem(pObject))
        SetItemCheckState(hItem, nState);
}

void CDevicesTab::OnDevicesNotify(NMHDR* pNMHDR, CUSBLog* pDoc) {
    switch (pNMHDR->code) {
    case TVN_SETDISPINFOA: {
        const auto* pNotice = reinterpret_cast<const NMTVDISPINFOA*>(pNMHDR);
        if ((pNotice->item.stateMask & TVIS_STATEIMAGEMASK) == 0)
            break;
        const BOOL bChecked = (pNotice->item.state & TVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(CHECKSTATE_CHECKED);
        if (CDeviceStack* pStack = DevTreeChange(pNotice->item.hItem, pDoc, FALSE, TRUE, bChecked))
            SendStackListMessage(bChecked ? WM_CHECKALL_STACKLIST : WM_UNCHECKALL_STACKLIST,
                                 reinterpret_cast<LPARAM>(pStack));
        break;
    }
    case TVN_SELCHANGEDA: {
        const auto* pChange = reinterpret_cast<const NMTREEVIEWA*>(pNMHDR);
        if (pChange->itemNew.hItem != nullptr)
            DevTreeChange(pChange->itemNew.hItem, pDoc, TRUE, FALSE);
        break;
    }
    case TVN_ITEMEXPANDINGA: {
        const auto* pChange = reinterpret_cast<const NMTREEVIEWA*>(pNMHDR);
        if (pDoc == nullptr || pChange->itemNew.hItem == nullptr || pChange->itemNew.lParam == 0)
            break;
        if (CDeviceStack* pStack = StackOfNode(NodeOf(static_cast<DWORD_PTR>(pChange->itemNew.lParam))))
            pDoc->SetDeviceFlag(pStack->StackID, (pChange->action & TVE_COLLAPSE) != 0 ? 0 : 1);
        break;
    }
    default: break;
    }
}

CDeviceStack* CDevicesTab::DevTreeChange(HTREEITEM hItem, CUSBLog* pDoc, BOOL bShowStackList, BOOL bCheckChange,
                                         BOOL bChecked) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICES_TAB, "--CDevicesTab::DevTreeChange");
    if (hItem == nullptr)
        return nullptr;
    const Node* pNode = NodeOf(m_Tree.GetItemData(hItem));
    const int nImage = GetItemImage(hItem);
    CDeviceStack* pChanged = nullptr;
    CDeviceStack* pStack = pDoc != nullptr ? StackOfItem(nImage, pNode) : nullptr;
    if (pStack != nullptr) {
        if (bCheckChange) {
            pStack->SetCheckState(bChecked ? CHECKSTATE_CHECKED : CHECKSTATE_UNCHECKED);
            pChanged = pStack;
        }
        m_Owner.UpdateTabViews(pStack);
        if (bShowStackList)
            SendStackListMessage(WM_POPULATE_STACKLIST, reinterpret_cast<LPARAM>(pStack));
    } else if (bShowStackList && (nImage == DT_COMPUTER_SYSTEM || nImage == DT_HUB_PORT || nImage == DT_PROBLEM)) {
        SendStackListMessage(WM_CLEAR_STACKLIST);
    }
    // A check the model did not take (a port without a stack of its own) goes back to what its object says.
    if (bCheckChange && pNode != nullptr && pChanged == nullptr)
        SetItemCheckState(hItem, LookOf(pNode->get()).nState);
    DisplaySelectionDetails(GetCaretItem());
    return pChanged;
}

void CDevicesTab::DisplaySelectionDetails(HTREEITEM hItem) {
    CPanePointers panes;
    const int nImage = GetItemImage(hItem);
    switch (nImage) {
    case -1:
    case DT_COMPUTER_SYSTEM:
        panes.DevicePropertiesClear();
        panes.SystemPropertiesUpdate();
        break;
    case DT_HOST_CONTROLLER:
    case DT_ROOT_HUB:
    case DT_HUB_PORT:
    case DT_EXTERN_HUB:
    case DT_GENERIC_USB:
    case DT_PROBLEM:
    case DT_SS_ROOT_HUB:
    case DT_SS_EXTERN_HUB:
    case DT_SS_GENERIC_USB: panes.DevicePropertiesSendCommand(ID_DEVICEPROPS_PNP); break;
    default: break;
    }
}

void CDevicesTab::SelectTab(CUSBLog* pDoc) {
    if (HTREEITEM hCaret = GetCaretItem())
        DevTreeChange(hCaret, pDoc, TRUE, FALSE);
    else
        SendStackListMessage(WM_CLEAR_STACKLIST);
}

void CDevicesTab::RememberItem(HTREEITEM hItem) {
    // Kept by key, not by object: a redisplay after a rebuild shows a model of new objects.
    m_Remembered = hItem != nullptr ? KeyOf(NodeOf(m_Tree.GetItemData(hItem))) : Key{};
}

HTREEITEM CDevicesTab::FindRemembered(CUSBLog* pDoc) {
    if (m_Remembered.kind == Kind::None)
        return nullptr;
    Node& root = pDoc->GetConnectionTree();
    for (Node* pNode = &root; pNode != nullptr; pNode = NextNode(pNode, &root)) {
        if (KeyOf(pNode) == m_Remembered)
            return pNode->get().m_hTreeItem;
    }
    TDL_TRACE(TRACE_WARNING, TRACE_AREA_DEVICES_TAB, "CDevicesTab::RestoreSelection - the selected device is gone");
    return nullptr;
}
