#include "app/ui/devicetree/DriversTab.h"

#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DriverObject.h"
#include "app/devices/TempObject.h"
#include "app/ui/PanePointers.h"
#include "app/ui/devicetree/DeviceTreeIds.h"
#include "app/ui/devicetree/DeviceTreeTab.h"
#include "app/ui/panes/StackListMessages.h"

namespace {

template <class T> T* ItemObjectAs(const CTreeCtrl& tree, HTREEITEM hItem) {
    if (hItem == nullptr)
        return nullptr;
    auto* pObject = reinterpret_cast<CObject*>(tree.GetItemData(hItem));
    return dynamic_cast<T*>(pObject);
}

// The address of the driver a device object belongs to.
ULONG64 DriverAddressOf(const CDeviceObject& device) {
    return device._Driver != nullptr ? device._Driver->m_NtDriverObject : device._NtDriverObject;
}

} // namespace

void CDriversTab::DisplayDrivers(CUSBLog* pDoc) {
    // A model change holds the selection for the redisplay of all three pages that follows it.
    const BOOL bHeld = IsSelectionHeld();
    SaveSelection(GetDocument());
    Fill(pDoc);
    if (!bHeld)
        RestoreSelection(pDoc);
}

void CDriversTab::Fill(CUSBLog* pDoc) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DRIVERS_TAB, "--CDriversTab::DisplayDrivers");
    Filling filling(*this);
    ClearTree();
    // The root is no driver: a check on it would tick every driver and select no device object.
    if (pDoc != nullptr && pDoc->GetAttachedDrivers() != nullptr && InsertRootItem(pDoc) != nullptr)
        pDoc->GetAttachedDrivers()->FillDriversTab(*this, m_hRoot);
}

HTREEITEM CDriversTab::InsertItemImage6(LPCSTR lpszText, HTREEITEM hParent, CDriverObject* pDriver) {
    return InsertNode(lpszText, DT_DRIVER_NODE, hParent, pDriver);
}

HTREEITEM CDriversTab::InsertItemImage10(LPCSTR lpszText, HTREEITEM hParent, CDriverObject* pDriver) {
    return InsertNode(lpszText, DT_DRIVER_REMOVED_NODE, hParent, pDriver);
}

HTREEITEM CDriversTab::InsertItemImage7(LPCSTR lpszText, HTREEITEM hParent, CDeviceObject* pDevice) {
    return InsertNode(lpszText, DT_DEVICE_NODE, hParent, pDevice);
}

HTREEITEM CDriversTab::InsertItemImage9(LPCSTR lpszText, HTREEITEM hParent, CDeviceObject* pDevice) {
    return InsertNode(lpszText, DT_DEVICE_REMOVED_NODE, hParent, pDevice);
}

void CDriversTab::SetItemStateImage(HTREEITEM hItem, UINT nStateImage, LPCSTR) {
    SetItemCheckState(hItem, static_cast<int>(nStateImage));
}

CDeviceObject* CDriversTab::DeviceObjectOf(HTREEITEM hItem) const {
    return ItemObjectAs<CDeviceObject>(m_Tree, hItem);
}

CDriverObject* CDriversTab::DriverObjectOf(HTREEITEM hItem) const {
    return ItemObjectAs<CDriverObject>(m_Tree, hItem);
}

HTREEITEM CDriversTab::FindItem(ULONG64 ntDriverObject, const ULONG64* pNtDeviceObject) const {
    if (m_hRoot == nullptr)
        return nullptr;
    for (HTREEITEM hDriver = m_Tree.GetChildItem(m_hRoot); hDriver != nullptr;
         hDriver = m_Tree.GetNextSiblingItem(hDriver)) {
        const CDriverObject* pDriver = DriverObjectOf(hDriver);
        if (pDriver == nullptr || pDriver->m_NtDriverObject != ntDriverObject)
            continue;
        if (pNtDeviceObject == nullptr)
            return hDriver;
        for (HTREEITEM hDevice = m_Tree.GetChildItem(hDriver); hDevice != nullptr;
             hDevice = m_Tree.GetNextSiblingItem(hDevice)) {
            const CDeviceObject* pDevice = DeviceObjectOf(hDevice);
            if (pDevice != nullptr && pDevice->_NtDeviceObject == *pNtDeviceObject)
                return hDevice;
        }
        return nullptr;
    }
    return nullptr;
}

HTREEITEM CDriversTab::FindDeviceNode(const CDeviceObject* pDevice) const {
    if (pDevice == nullptr)
        return nullptr;
    const ULONG64 ntDevice = pDevice->_NtDeviceObject;
    return FindItem(DriverAddressOf(*pDevice), &ntDevice);
}

void CDriversTab::ShowStackOf(const CDeviceObject* pDevice) {
    if (pDevice != nullptr && pDevice->_DevStack != nullptr)
        SendStackListMessage(WM_POPULATE_STACKLIST, reinterpret_cast<LPARAM>(pDevice->_DevStack));
    else
        SendStackListMessage(WM_CLEAR_STACKLIST);
}

void CDriversTab::OnDriversNotify(NMHDR* pNMHDR, CUSBLog*) {
    switch (pNMHDR->code) {
    case TVN_SETDISPINFOA: {
        const auto* pNotice = reinterpret_cast<const NMTVDISPINFOA*>(pNMHDR);
        if ((pNotice->item.stateMask & TVIS_STATEIMAGEMASK) == 0)
            break;
        const UINT nState = (pNotice->item.state & TVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(CHECKSTATE_CHECKED)
                                ? CHECKSTATE_CHECKED
                                : CHECKSTATE_UNCHECKED;
        HTREEITEM hItem = pNotice->item.hItem;
        if (CDeviceObject* pDevice = DeviceObjectOf(hItem)) {
            // Only a present, loggable device object takes a check; any other item shows its own state again.
            if (pDevice->IsSelectable())
                pDevice->m_nStateImage = nState;
            m_Owner.UpdateTabViews(pDevice);
            ShowStackOf(pDevice);
        } else if (CDriverObject* pDriver = DriverObjectOf(hItem)) {
            // Only present, capturable device objects take the driver's check; the cascade may have ticked
            // others' items, which then show their own state again.
            pDriver->m_nStateImage = nState;
            for (INT_PTR i = 0; i < pDriver->m_DeviceObjects.GetSize(); ++i) {
                CDeviceObject* pChild = pDriver->m_DeviceObjects[i];
                if (pChild->IsSelectable())
                    pChild->m_nStateImage = nState;
                m_Owner.UpdateTabViews(pChild);
            }
        }
        break;
    }
    case TVN_SELCHANGEDA: {
        const auto* pChange = reinterpret_cast<const NMTREEVIEWA*>(pNMHDR);
        ShowStackOf(DeviceObjectOf(pChange->itemNew.hItem));
        DisplaySelectionDetails(pChange->itemNew.hItem);
        break;
    }
    default: break;
    }
}

void CDriversTab::DisplaySelectionDetails(HTREEITEM hItem) {
    if (hItem == nullptr)
        return;
    CPanePointers panes;
    panes.SystemPropertiesUpdate();
}

void CDriversTab::SelectTab(CUSBLog*) {
    HTREEITEM hCaret = GetCaretItem();
    if (hCaret == nullptr) {
        SendStackListMessage(WM_CLEAR_STACKLIST);
        return;
    }
    ShowStackOf(DeviceObjectOf(hCaret));
    DisplaySelectionDetails(hCaret);
}

void CDriversTab::ForgetItem(HTREEITEM, DWORD_PTR dwData) {
    auto* pObject = reinterpret_cast<CObject*>(dwData);
    if (pObject == nullptr)
        return;
    if (pObject->IsKindOf(RUNTIME_CLASS(CDeviceObject))) {
        auto* pDevice = static_cast<CDeviceObject*>(pObject);
        pDevice->m_htiSelf = nullptr;
        pDevice->m_htiParent = nullptr;
    } else if (pObject->IsKindOf(RUNTIME_CLASS(CDriverObject))) {
        auto* pDriver = static_cast<CDriverObject*>(pObject);
        pDriver->m_htiSelf = nullptr;
        pDriver->m_htiParent = nullptr;
    }
}

void CDriversTab::RememberItem(HTREEITEM hItem) {
    m_Kept = Kept::None;
    if (hItem == nullptr)
        return;
    if (const CDeviceObject* pDevice = DeviceObjectOf(hItem)) {
        m_Kept = Kept::Device;
        m_ntKeptDriver = DriverAddressOf(*pDevice);
        m_ntKeptDevice = pDevice->_NtDeviceObject;
    } else if (const CDriverObject* pDriver = DriverObjectOf(hItem)) {
        m_Kept = Kept::Driver;
        m_ntKeptDriver = pDriver->m_NtDriverObject;
    } else if (hItem == m_hRoot) {
        m_Kept = Kept::Root;
    }
}

HTREEITEM CDriversTab::FindRemembered(CUSBLog*) {
    switch (m_Kept) {
    case Kept::Root: return m_hRoot;
    case Kept::Driver: return FindItem(m_ntKeptDriver, nullptr);
    case Kept::Device: return FindItem(m_ntKeptDriver, &m_ntKeptDevice);
    default: return nullptr;
    }
}
