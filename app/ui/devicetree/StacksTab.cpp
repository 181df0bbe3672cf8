#include "app/ui/devicetree/StacksTab.h"

#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/StackTree.h"
#include "app/devices/TempObject.h"
#include "app/ui/PanePointers.h"
#include "app/ui/devicetree/DeviceTreeIds.h"
#include "app/ui/devicetree/DeviceTreeTab.h"
#include "app/ui/panes/StackListMessages.h"

void CStacksTab::Populate(CUSBLog* pDoc) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_STACK_TREE, "--CStacksTab::Populate");
    Filling filling(*this);
    ClearTree();
    if (pDoc != nullptr && pDoc->GetStackTree() != nullptr && InsertRootItem(pDoc) != nullptr)
        pDoc->GetStackTree()->FillStacksTab(*this, m_hRoot);
}

CString CStacksTab::StackLabel(LPCSTR lpszDescription, const CDeviceStack* pStack) {
    if (lpszDescription != nullptr && lpszDescription[0] != '\0')
        return lpszDescription;
    if (pStack == nullptr)
        return CString();
    // The capture driver reads Plug and Play's description only for the stacks it filters; the others are
    // named by what it learnt of them: the device ID, else the physical device object's name.
    if (!pStack->DeviceID.IsEmpty())
        return pStack->DeviceID;
    if (const CDeviceObject* pPdo = pStack->GetDeviceObjectAt(0); pPdo != nullptr && !pPdo->_DeviceName.IsEmpty())
        return pPdo->_DeviceName;
    CString label;
    label.Format("StackID %u", static_cast<UINT>(pStack->StackID));
    return label;
}

HTREEITEM CStacksTab::InsertStackItem(LPCSTR lpszText, HTREEITEM hParent, CDeviceStack* pStack) {
    return InsertNode(StackLabel(lpszText, pStack), DT_STACK_NODE, hParent, pStack);
}

CDeviceStack* CStacksTab::StackOf(HTREEITEM hItem) const {
    if (hItem == nullptr)
        return nullptr;
    auto* pObject = reinterpret_cast<CObject*>(m_Tree.GetItemData(hItem));
    return pObject != nullptr && pObject->IsKindOf(RUNTIME_CLASS(CDeviceStack)) ? static_cast<CDeviceStack*>(pObject)
                                                                                : nullptr;
}

void CStacksTab::OnStacksNotify(NMHDR* pNMHDR, CUSBLog*) {
    switch (pNMHDR->code) {
    case TVN_SETDISPINFOA: {
        const auto* pNotice = reinterpret_cast<const NMTVDISPINFOA*>(pNMHDR);
        CDeviceStack* pStack = StackOf(pNotice->item.hItem);
        if (pStack == nullptr || (pNotice->item.stateMask & TVIS_STATEIMAGEMASK) == 0)
            break;
        const BOOL bChecked = (pNotice->item.state & TVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(CHECKSTATE_CHECKED);
        pStack->SetCheckState(bChecked ? CHECKSTATE_CHECKED : CHECKSTATE_UNCHECKED);
        m_Owner.UpdateTabViews(pStack);
        SendStackListMessage(bChecked ? WM_CHECKALL_STACKLIST : WM_UNCHECKALL_STACKLIST,
                             reinterpret_cast<LPARAM>(pStack));
        DisplaySelectionDetails(GetCaretItem());
        break;
    }
    case TVN_SELCHANGEDA: {
        const auto* pChange = reinterpret_cast<const NMTREEVIEWA*>(pNMHDR);
        if (CDeviceStack* pStack = StackOf(pChange->itemNew.hItem))
            SendStackListMessage(WM_POPULATE_STACKLIST, reinterpret_cast<LPARAM>(pStack));
        else
            SendStackListMessage(WM_CLEAR_STACKLIST);
        DisplaySelectionDetails(pChange->itemNew.hItem);
        break;
    }
    default: break;
    }
}

void CStacksTab::DisplaySelectionDetails(HTREEITEM) {
    CPanePointers panes;
    panes.DevicePropertiesClear();
    panes.SystemPropertiesUpdate();
}

void CStacksTab::SelectTab(CUSBLog*) {
    HTREEITEM hCaret = GetCaretItem();
    if (hCaret == nullptr) {
        SendStackListMessage(WM_CLEAR_STACKLIST);
        return;
    }
    if (CDeviceStack* pStack = StackOf(hCaret))
        SendStackListMessage(WM_POPULATE_STACKLIST, reinterpret_cast<LPARAM>(pStack));
    else
        SendStackListMessage(WM_CLEAR_STACKLIST);
    DisplaySelectionDetails(hCaret);
}

void CStacksTab::ForgetItem(HTREEITEM, DWORD_PTR dwData) {
    auto* pObject = reinterpret_cast<CObject*>(dwData);
    if (pObject != nullptr && pObject->IsKindOf(RUNTIME_CLASS(CDeviceStack))) {
        auto* pStack = static_cast<CDeviceStack*>(pObject);
        pStack->m_htiSelf = nullptr;
        pStack->m_htiParent = nullptr;
    }
}

void CStacksTab::RememberItem(HTREEITEM hItem) {
    m_Kept = Kept::None;
    if (hItem == nullptr)
        return;
    if (CDeviceStack* pStack = StackOf(hItem)) {
        m_Kept = Kept::Stack;
        m_nKeptStackID = pStack->StackID;
    } else if (hItem == m_hRoot) {
        m_Kept = Kept::Root;
    }
}

HTREEITEM CStacksTab::FindRemembered(CUSBLog* pDoc) {
    if (m_Kept == Kept::Root)
        return m_hRoot;
    if (m_Kept != Kept::Stack || pDoc->GetStackTree() == nullptr)
        return nullptr;
    CDeviceStack* pStack = pDoc->GetStackTree()->FindStackById(m_nKeptStackID);
    return pStack != nullptr ? pStack->m_htiSelf : nullptr;
}
