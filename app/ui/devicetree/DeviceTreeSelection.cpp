#include "app/ui/devicetree/DeviceTreeSelection.h"

#include "app/ui/PanePointers.h"
#include "app/ui/frame/MainFrame.h"

DeviceTreeSelection DeviceTreeSelection::Read() {
    DeviceTreeSelection selection;
    auto* pFrame = dynamic_cast<CMainFrame*>(AfxGetMainWnd());
    CUSBLog* pDoc = pFrame != nullptr ? pFrame->GetActiveLogDocument() : nullptr;
    if (pDoc == nullptr)
        return selection;
    auto* pTree = dynamic_cast<CTreeCtrl*>(CPanePointers().GetDeviceTreeActivePage());
    if (pTree == nullptr || pTree->GetSafeHwnd() == nullptr)
        return selection;
    HTREEITEM hCaret = pTree->GetSelectedItem();
    int nImage = DT_NONE;
    int nSelectedImage = DT_NONE;
    if (hCaret == nullptr || !pTree->GetItemImage(hCaret, nImage, nSelectedImage))
        return selection;
    selection.nPageId = static_cast<UINT>(pTree->GetDlgCtrlID());
    selection.nType = nImage;
    selection.dwData = pTree->GetItemData(hCaret);
    selection.pDoc = pDoc;
    return selection;
}

ConnectionElement* DeviceTreeSelection::GetElement() const {
    if (!IsOnDevicesPage() || dwData == 0)
        return nullptr;
    return &reinterpret_cast<core::tree<ConnectionElement>*>(dwData)->get();
}
