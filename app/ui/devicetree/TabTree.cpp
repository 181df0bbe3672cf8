#include "app/ui/devicetree/TabTree.h"

#include "app/core/diagnostics/Trace.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"
#include "app/ui/PanePointers.h"
#include "app/ui/devicetree/DeviceTreeIds.h"
#include "app/ui/devicetree/DevicesTab.h"
#include "app/ui/frame/ActiveDocument.h"

IMPLEMENT_DYNAMIC(CTabTree, CTreeCtrlEx)

BEGIN_MESSAGE_MAP(CTabTree, CTreeCtrlEx)
ON_WM_LBUTTONDOWN()
ON_WM_SETFOCUS()
END_MESSAGE_MAP()

void CTabTree::ShowItemStack(HTREEITEM hItem) {
    CPanePointers panes;
    auto* pObject = reinterpret_cast<CObject*>(GetItemData(hItem));
    switch (GetDlgCtrlID()) {
    case IDC_DEVICES_TREE: {
        int nImage = 0;
        int nSelected = 0;
        GetItemImage(hItem, nImage, nSelected);
        if (nImage == DT_COMPUTER_SYSTEM || nImage == DT_HUB_PORT) {
            panes.StackListClear();
        } else if (CDeviceStack* pStack = CDevicesTab::StackOfItem(nImage, CDevicesTab::NodeOf(GetItemData(hItem)))) {
            panes.StackListPopulate(pStack);
        }
        break;
    }
    case IDC_STACKS_TREE:
        if (pObject != nullptr && pObject->IsKindOf(RUNTIME_CLASS(CDeviceStack)))
            panes.StackListPopulate(static_cast<CDeviceStack*>(pObject));
        else
            panes.StackListClear();
        break;
    case IDC_DRIVERS_TREE:
        if (pObject != nullptr && pObject->IsKindOf(RUNTIME_CLASS(CDeviceObject)))
            panes.StackListPopulate(static_cast<CDeviceObject*>(pObject)->_DevStack);
        else
            panes.StackListClear();
        break;
    default: break;
    }
}

void CTabTree::OnLButtonDown(UINT nFlags, CPoint point) {
    UINT flags = 0;
    HTREEITEM hItem = HitTest(point, &flags);
    if (hItem != nullptr && (flags & TVHT_ONITEM) != 0)
        ShowItemStack(hItem);
    CTreeCtrlEx::OnLButtonDown(nFlags, point);
}

void CTabTree::OnSetFocus(CWnd* pOldWnd) {
    CTreeCtrlEx::OnSetFocus(pOldWnd);
    if (ActiveLogDocument() == nullptr)
        return;
    CPanePointers panes;
    HTREEITEM hCaret = GetSelectedItem();
    switch (GetDlgCtrlID()) {
    case IDC_DEVICES_TREE: panes.DisplayDevicesTabSelectionDetails(hCaret); break;
    case IDC_STACKS_TREE: panes.DisplayStacksTabSelectionDetails(hCaret); break;
    case IDC_DRIVERS_TREE: panes.DisplayDriversTabSelectionDetails(hCaret); break;
    default: break;
    }
}
