#include "app/ui/panes/DevicePropertiesWnd.h"

#include "GkPropertyGrid.h"
#include "app/core/diagnostics/Trace.h"
#include "app/ui/devicetree/DeviceTreeSelection.h"

IMPLEMENT_DYNAMIC(CDevicePropertiesWnd, CPropertiesWnd)

BEGIN_MESSAGE_MAP(CDevicePropertiesWnd, CPropertiesWnd)
ON_WM_CREATE()
ON_MESSAGE(WM_GK_CREATECONTROL, &CDevicePropertiesWnd::OnCreateControl)
ON_COMMAND(ID_DEVICEPROPS_PNP, &CDevicePropertiesWnd::OnDevicePropertiesPnP)
ON_COMMAND(ID_DEVICEPROPS_DESCRIPTORS, &CDevicePropertiesWnd::OnDevicePropertiesDescriptors)
ON_COMMAND(ID_DESCRIPTORS_DEVICE, &CDevicePropertiesWnd::OnDeviceDescriptor)
ON_COMMAND(ID_DESCRIPTORS_CONFIGURATION, &CDevicePropertiesWnd::OnConfigurationDescriptor)
ON_COMMAND(ID_DESCRIPTORS_HUBCLASS, &CDevicePropertiesWnd::OnHubClassDescriptor)
ON_COMMAND(ID_DESCRIPTORS_STRING, &CDevicePropertiesWnd::OnStringDescriptor)
ON_UPDATE_COMMAND_UI(ID_DEVICEPROPS_PNP, &CDevicePropertiesWnd::OnUpdateDevicePropertiesPnP)
ON_UPDATE_COMMAND_UI(ID_DEVICEPROPS_DESCRIPTORS, &CDevicePropertiesWnd::OnUpdateDevicePropertiesDescriptors)
ON_UPDATE_COMMAND_UI(ID_DESCRIPTORS_DEVICE, &CDevicePropertiesWnd::OnUpdateDeviceDescriptor)
ON_UPDATE_COMMAND_UI(ID_DESCRIPTORS_CONFIGURATION, &CDevicePropertiesWnd::OnUpdateConfigurationDescriptor)
ON_UPDATE_COMMAND_UI(ID_DESCRIPTORS_HUBCLASS, &CDevicePropertiesWnd::OnUpdateHubClassDescriptor)
ON_UPDATE_COMMAND_UI(ID_DESCRIPTORS_STRING, &CDevicePropertiesWnd::OnUpdateStringDescriptor)
END_MESSAGE_MAP()

namespace {

// The toolbar's images are drawn on pure green.
constexpr COLORREF kToolBarMask = RGB(0, 255, 0);
constexpr char kCategoryCaption[] = "Device Properties";

using Selection = DeviceTreeSelection;

} // namespace

int CDevicePropertiesWnd::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CPropertiesWnd::OnCreate(lpCreateStruct) == -1)
        return -1;
    if (!CreateToolBarAndGrid(IDR_DEVICEPROPS_TOOLBAR, kToolBarMask))
        return -1;
    m_wndToolBar.ShowTextBelowIcons(TRUE);
    AdjustLayout();
    if (CGkPropertyGridItem* pCategory = MakeCategory(CategoryId, kCategoryCaption))
        pCategory->Expand();
    return 0;
}

LRESULT CDevicePropertiesWnd::OnCreateControl(WPARAM, LPARAM lParam) {
    auto* pRequest = reinterpret_cast<GKCREATECONTROL*>(lParam);
    if (pRequest == nullptr || pRequest->nID != ID_DEVICEPROPS_DESCRIPTORS)
        return FALSE;
    // The resource holds the views under one pop-up; the bar takes that pop-up for its own.
    HMENU hMenuBar = ::LoadMenu(AfxGetResourceHandle(), MAKEINTRESOURCE(IDR_DEVICEPROPS_DESCRIPTORS));
    HMENU hPopup = hMenuBar != nullptr ? ::GetSubMenu(hMenuBar, 0) : nullptr;
    if (hPopup != nullptr)
        ::RemoveMenu(hMenuBar, 0, MF_BYPOSITION);
    if (hMenuBar != nullptr)
        ::DestroyMenu(hMenuBar);
    if (hPopup == nullptr) {
        TDL_TRACE(TRACE_WARNING, TRACE_AREA_DEVICE_PROPERTIES, "Menu resource %u is missing",
                  IDR_DEVICEPROPS_DESCRIPTORS);
        return FALSE;
    }
    pRequest->controlType = gkControlSplitButtonPopup;
    pRequest->hMenu = hPopup;
    return TRUE;
}

BOOL CDevicePropertiesWnd::OnCommand(WPARAM wParam, LPARAM lParam) {
    // The device tree asks for the properties of each item it selects. A command without a control is dropped
    // when its update handler disables it, which would leave the previous device's properties on show for an
    // item that has none (a port with a failed device): this one always runs.
    if (LOWORD(wParam) == ID_DEVICEPROPS_PNP && lParam == 0) {
        OnDevicePropertiesPnP();
        return TRUE;
    }
    return CPropertiesWnd::OnCommand(wParam, lParam);
}

void CDevicePropertiesWnd::ClearProperties() {
    CPropertiesWnd::ResetCategory(CategoryId, kCategoryCaption);
}

void CDevicePropertiesWnd::OnDevicePropertiesPnP() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICE_PROPERTIES, "--CDevicePropertiesWnd::OnDevicePropertiesPnP");
    ClearProperties();
    ShowPnpProperties(DeviceTreeSelection::Read());
}

void CDevicePropertiesWnd::OnDeviceDescriptor() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICE_PROPERTIES, "--CDevicePropertiesWnd::OnDeviceDescriptor");
    ClearProperties();
    m_nDescriptorView = ID_DESCRIPTORS_DEVICE;
    ShowDeviceDescriptor(DeviceTreeSelection::Read());
}

void CDevicePropertiesWnd::OnConfigurationDescriptor() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICE_PROPERTIES, "--CDevicePropertiesWnd::OnConfigurationDescriptor");
    ClearProperties();
    m_nDescriptorView = ID_DESCRIPTORS_CONFIGURATION;
    ShowConfigurationDescriptor(DeviceTreeSelection::Read());
}

void CDevicePropertiesWnd::OnHubClassDescriptor() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICE_PROPERTIES, "--CDevicePropertiesWnd::OnHubClassDescriptor");
    ClearProperties();
    m_nDescriptorView = ID_DESCRIPTORS_HUBCLASS;
    ShowHubClassDescriptor(DeviceTreeSelection::Read());
}

void CDevicePropertiesWnd::OnStringDescriptor() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICE_PROPERTIES, "--CDevicePropertiesWnd::OnStringDescriptor");
    // No string descriptors are kept: the view shows nothing, rather than the last descriptor under it.
    ClearProperties();
    m_nDescriptorView = ID_DESCRIPTORS_STRING;
}

void CDevicePropertiesWnd::OnDevicePropertiesDescriptors() {
    TDL_TRACE(TRACE_INFORMATION, TRACE_AREA_DEVICE_PROPERTIES, "--CDevicePropertiesWnd::OnDevicePropertiesDescriptors");
    const Selection selection = Selection::Read();
    const int nType = selection.IsOnDevicesPage() ? selection.nType : DT_NONE;
    if (Selection::IsRootHub(nType)) {
        OnHubClassDescriptor();
    } else if (Selection::IsDevice(nType)) {
        // The face alternates a device's two descriptor views.
        if (m_nDescriptorView == ID_DESCRIPTORS_DEVICE)
            OnConfigurationDescriptor();
        else if (m_nDescriptorView == ID_DESCRIPTORS_CONFIGURATION)
            OnDeviceDescriptor();
    }
}

// The commands are offered only for a selection on the Devices page.

void CDevicePropertiesWnd::OnUpdateDevicePropertiesPnP(CCmdUI* pCmdUI) {
    const Selection selection = Selection::Read();
    pCmdUI->Enable(selection.IsOnDevicesPage() && Selection::HasPnpProperties(selection.nType));
    pCmdUI->SetCheck(1);
}

void CDevicePropertiesWnd::OnUpdateDevicePropertiesDescriptors(CCmdUI* pCmdUI) {
    const Selection selection = Selection::Read();
    BOOL bEnable = FALSE;
    if (selection.IsOnDevicesPage()) {
        // The view follows the selection: a root hub has only its hub descriptor, a device its own two.
        if (Selection::IsRootHub(selection.nType)) {
            m_nDescriptorView = ID_DESCRIPTORS_HUBCLASS;
            bEnable = TRUE;
        } else if (Selection::IsDevice(selection.nType)) {
            if (m_nDescriptorView != ID_DESCRIPTORS_DEVICE && m_nDescriptorView != ID_DESCRIPTORS_CONFIGURATION)
                m_nDescriptorView = ID_DESCRIPTORS_CONFIGURATION;
            bEnable = TRUE;
        }
    }
    pCmdUI->Enable(bEnable);
    pCmdUI->SetCheck(1);
}

void CDevicePropertiesWnd::OnUpdateDeviceDescriptor(CCmdUI* pCmdUI) {
    const Selection selection = Selection::Read();
    pCmdUI->Enable(selection.IsOnDevicesPage() && Selection::IsDevice(selection.nType));
    pCmdUI->SetRadio(m_nDescriptorView == ID_DESCRIPTORS_DEVICE);
}

void CDevicePropertiesWnd::OnUpdateConfigurationDescriptor(CCmdUI* pCmdUI) {
    const Selection selection = Selection::Read();
    pCmdUI->Enable(selection.IsOnDevicesPage() && Selection::IsDevice(selection.nType));
    pCmdUI->SetRadio(m_nDescriptorView == ID_DESCRIPTORS_CONFIGURATION);
}

void CDevicePropertiesWnd::OnUpdateHubClassDescriptor(CCmdUI* pCmdUI) {
    const Selection selection = Selection::Read();
    pCmdUI->Enable(selection.IsOnDevicesPage() && Selection::IsRootHub(selection.nType));
    pCmdUI->SetRadio(m_nDescriptorView == ID_DESCRIPTORS_HUBCLASS);
}

void CDevicePropertiesWnd::OnUpdateStringDescriptor(CCmdUI* pCmdUI) {
    pCmdUI->Enable(FALSE);
    pCmdUI->SetRadio(m_nDescriptorView == ID_DESCRIPTORS_STRING);
}
