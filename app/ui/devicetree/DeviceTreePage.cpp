#include "app/ui/devicetree/DeviceTreePage.h"

#include "app/core/diagnostics/EventTrace.h"
#include "app/core/diagnostics/Trace.h"
#include "app/core/document/USBLog.h"
#include "app/devices/TempObject.h"
#include "app/ui/devicetree/DeviceTreeIds.h"
#include "app/ui/devicetree/DeviceTreeTab.h"
#include "app/widgets/OX3DTabViewContainer.h"

namespace {
constexpr DWORD kTreeStyle =
    WS_CHILD | WS_VISIBLE | TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | TVS_TRACKSELECT;
} // namespace

BOOL CDeviceTreePage::CreateTree(COX3DTabViewContainer& container, UINT nID, CImageList& images, CImageList& states) {
    m_pContainer = &container;
    if (!m_Tree.Create(kTreeStyle, CRect(0, 0, 0, 0), &container, nID))
        return FALSE;
    m_Tree.SetImageList(&images, TVSIL_NORMAL);
    m_Tree.SetImageList(&states, TVSIL_STATE);
    return TRUE;
}

CDeviceTreePage::Filling::Filling(CDeviceTreePage& page) : m_Page(page), m_bRedraw(page.m_nFilling++ == 0) {
    ++m_Page.m_Owner.m_nQuiet;
    if (m_bRedraw && m_Page.m_Tree.GetSafeHwnd() != nullptr)
        m_Page.m_Tree.SetRedraw(FALSE);
}

CDeviceTreePage::Filling::~Filling() {
    --m_Page.m_Owner.m_nQuiet;
    --m_Page.m_nFilling;
    if (m_bRedraw && m_Page.m_Tree.GetSafeHwnd() != nullptr)
        m_Page.m_Tree.SetRedraw(TRUE);
}

void CDeviceTreePage::SetWriteable(BOOL bWriteable, BOOL bCheckable) {
    m_bWriteable = bWriteable ? TRUE : FALSE;
    m_Tree.m_bCheckEnabled = m_bWriteable && bCheckable ? 1 : 0;
}

HTREEITEM CDeviceTreePage::GetCaretItem() const {
    return m_Tree.GetSafeHwnd() != nullptr ? m_Tree.GetSelectedItem() : nullptr;
}

void CDeviceTreePage::SetItemCheckState(HTREEITEM hItem, int nState) {
    m_Tree.SetItemState(hItem, INDEXTOSTATEIMAGEMASK(static_cast<UINT>(nState)), TVIS_STATEIMAGEMASK);
    // The item's text is read only for a session that takes the event: a redisplay sets every item's state.
    if (TheEventTrace().IsEnabled(TRACE_VERBOSE, TRACE_AREA_DEVICE_TREE)) {
        const CString text = m_Tree.GetItemText(hItem);
        const LPCSTR lpszState = CheckStateName(nState);
        TDL_TRACE(TRACE_VERBOSE, TRACE_AREA_DEVICE_TREE, "hItem=0x%p [%s] state=%s", static_cast<void*>(hItem),
                  text.GetString(), lpszState != nullptr ? lpszState : "");
    }
}

void CDeviceTreePage::ExpandItem(HTREEITEM hItem) {
    m_Tree.Expand(hItem, TVE_EXPAND);
}

void CDeviceTreePage::ClearTree() {
    if (m_Tree.GetSafeHwnd() == nullptr)
        return;
    Filling filling(*this);
    m_Tree.SelectItem(nullptr);
    for (HTREEITEM hItem = m_Tree.GetRootItem(); hItem != nullptr; hItem = m_Tree.GetNextItemInOrder(hItem))
        ForgetItem(hItem, m_Tree.GetItemData(hItem));
    m_Tree.DeleteAllItems();
    m_pDoc = nullptr;
    m_hRoot = nullptr;
    OnTreeCleared();
}

HTREEITEM CDeviceTreePage::InsertNode(LPCTSTR lpszText, int nImage, HTREEITEM hParent, const void* pData) {
    return m_Tree.InsertItem(TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM, lpszText, nImage, nImage, 0, 0,
                             reinterpret_cast<LPARAM>(pData), hParent, TVI_LAST);
}

HTREEITEM CDeviceTreePage::InsertRootItem(CUSBLog* pDoc, const void* pData) {
    m_pDoc = pDoc;
    m_hRoot = InsertNode(pDoc->GetConnectionTree().get().m_LabelText, DT_COMPUTER_SYSTEM, TVI_ROOT, pData);
    if (m_hRoot != nullptr)
        SetItemCheckState(m_hRoot, CHECKSTATE_UNCHECKABLE);
    return m_hRoot;
}

void CDeviceTreePage::SaveSelection(CUSBLog* pShownDoc) {
    if (m_bHeld)
        return;
    m_pSelectionDoc = pShownDoc;
    RememberItem(GetCaretItem());
}

void CDeviceTreePage::HoldSelection(CUSBLog* pShownDoc) {
    SaveSelection(pShownDoc);
    m_bHeld = TRUE;
}

void CDeviceTreePage::RestoreSelection(CUSBLog* pDoc) {
    if (pDoc != nullptr && pDoc == m_pSelectionDoc) {
        CDeviceTreeTab::QuietNotices quiet(m_Owner);
        if (HTREEITEM hItem = FindRemembered(pDoc))
            m_Tree.SelectItem(hItem);
    }
    m_bHeld = FALSE;
    m_pSelectionDoc = nullptr;
    RememberItem(nullptr);
}
