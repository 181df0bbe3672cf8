#include "app/ui/panes/SpecialGridList.h"

#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/StackTree.h"
#include "app/devices/TempObject.h"
#include "app/ui/devicetree/DeviceTreeIds.h"
#include "app/ui/panes/StackListMessages.h"

IMPLEMENT_DYNAMIC(CSpecialGridList, COXGridList)

BEGIN_MESSAGE_MAP(CSpecialGridList, COXGridList)
ON_MESSAGE(WM_POPULATE_STACKLIST, &CSpecialGridList::OnPopulateMessage)
ON_MESSAGE(WM_CLEAR_STACKLIST, &CSpecialGridList::OnClearMessage)
ON_MESSAGE(WM_CHECKALL_STACKLIST, &CSpecialGridList::OnCheckAllMessage)
ON_MESSAGE(WM_UNCHECKALL_STACKLIST, &CSpecialGridList::OnUnCheckAllMessage)
END_MESSAGE_MAP()

namespace {

constexpr const char* kColumns[] = {"Device Name", "DeviceObject", "Driver Name"};

// The row's state image for the check image the stack gives: 10 checked, 11 unchecked, 12 uncheckable.
UINT StateImageOf(int nCheckImage) {
    switch (nCheckImage) {
    case 10: return CHECKSTATE_CHECKED;
    case 11: return CHECKSTATE_UNCHECKED;
    default: return CHECKSTATE_UNCHECKABLE;
    }
}

} // namespace

int CSpecialGridList::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (COXGridList::OnCreate(lpCreateStruct) == -1)
        return -1;
    for (int i = 0; i < 3; ++i)
        InsertColumn(i, kColumns[i]);
    if (!m_ilImages.Create(IDB_DEVICE_TREE_IMAGES, kDeviceTreeImageWidth, 0, kDeviceTreeMask))
        return -1;
    SetImageList(&m_ilImages, LVSIL_SMALL);
    SetCheckable(TRUE);
    // Two states the user turns over; the uncheckable rows' state image 3 is set by the list itself, and the
    // bar refuses any change of it.
    SetCheckStyle(BS_AUTOCHECKBOX);
    return 0;
}

void CSpecialGridList::OnLButtonDown(UINT nFlags, CPoint point) {
    SetFocus();
    COXGridList::OnLButtonDown(nFlags, point);
}

void CSpecialGridList::OnSize(UINT nType, int cx, int cy) {
    COXGridList::OnSize(nType, cx, cy);
    CHeaderCtrl* pHeader = GetHeaderCtrl();
    CRect header;
    if (pHeader != nullptr && pHeader->GetSafeHwnd() != nullptr)
        pHeader->GetWindowRect(&header);
    if (cy >= header.Height())
        ResizeColumnsToFit();
}

void CSpecialGridList::ClearStackGridList() {
    DeleteAllItems();
    m_pStack = nullptr;
    m_nStackID = 0;
    Invalidate();
    UpdateWindow();
}

void CSpecialGridList::OnPopulateList(CDeviceStack* pStack) {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_STACK_INSPECTOR, "--CSpecialGridList::OnPopulateList");
    if (pStack == nullptr || GetSafeHwnd() == nullptr)
        return;
    ClearStackGridList();
    m_pStack = pStack;
    m_nStackID = pStack->StackID;
    pStack->FillStackGridList(*this);
}

void CSpecialGridList::OnClearList() {
    if (GetSafeHwnd() != nullptr)
        ClearStackGridList();
}

BOOL CSpecialGridList::InsertRow(int nRow, CDeviceObject* pDevice, int nImage, LPCSTR lpszName, LPCSTR lpszAddress,
                                 LPCSTR lpszDriver, int nCheckImage) {
    LVITEMA item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM | LVIF_STATE;
    item.iItem = nRow;
    item.pszText = const_cast<LPSTR>(lpszName);
    item.iImage = nImage;
    item.lParam = reinterpret_cast<LPARAM>(pDevice);
    // The check comes with the row: setting it afterwards would be a change the bar acts on.
    item.state = INDEXTOSTATEIMAGEMASK(StateImageOf(nCheckImage));
    item.stateMask = LVIS_STATEIMAGEMASK;
    const int nItem = InsertItem(&item);
    if (nItem < 0)
        return FALSE;
    return SetItemText(nItem, 1, lpszAddress) && SetItemText(nItem, 2, lpszDriver);
}

CDeviceObject* CSpecialGridList::GetRowObject(int nRow) const {
    return reinterpret_cast<CDeviceObject*>(GetItemData(nRow));
}

void CSpecialGridList::CheckAllRows(UINT nState) {
    ++m_nProgramChange;
    for (int nRow = 0; nRow < GetItemCount(); ++nRow) {
        CDeviceObject* pDevice = GetRowObject(nRow);
        // Removed device objects keep their state as well: they are gone and can no longer be captured.
        if (pDevice == nullptr || !pDevice->IsSelectable())
            continue;
        pDevice->m_nStateImage = nState;
        SetItemState(nRow, INDEXTOSTATEIMAGEMASK(nState), LVIS_STATEIMAGEMASK);
    }
    --m_nProgramChange;
}

void CSpecialGridList::OnCheckAll() {
    if (GetSafeHwnd() != nullptr)
        CheckAllRows(CHECKSTATE_CHECKED);
}

void CSpecialGridList::OnUnCheckAll() {
    if (GetSafeHwnd() != nullptr)
        CheckAllRows(CHECKSTATE_UNCHECKED);
}

void CSpecialGridList::DeviceModelChanging(CUSBLog* pDoc) {
    // The stack is the document's when its own tree finds it by its id (the pointer is only compared).
    if (m_pStack == nullptr || pDoc == nullptr || pDoc->GetStackTree() == nullptr ||
        pDoc->GetStackTree()->FindStackById(m_nStackID) != m_pStack)
        return;
    ClearStackGridList();
}

LRESULT CSpecialGridList::OnPopulateMessage(WPARAM, LPARAM lParam) {
    OnPopulateList(reinterpret_cast<CDeviceStack*>(lParam));
    return 0;
}

LRESULT CSpecialGridList::OnClearMessage(WPARAM, LPARAM) {
    OnClearList();
    return 0;
}

LRESULT CSpecialGridList::OnCheckAllMessage(WPARAM, LPARAM lParam) {
    // A sender that names its stack changed only that stack's objects.
    if (lParam == 0 || reinterpret_cast<CDeviceStack*>(lParam) == m_pStack)
        OnCheckAll();
    return 0;
}

LRESULT CSpecialGridList::OnUnCheckAllMessage(WPARAM, LPARAM lParam) {
    if (lParam == 0 || reinterpret_cast<CDeviceStack*>(lParam) == m_pStack)
        OnUnCheckAll();
    return 0;
}
