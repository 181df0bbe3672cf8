#include "app/ui/PanePointers.h"

#include "app/core/document/USBLog.h"
#include "app/ui/devicetree/DeviceTreeTab.h"
#include "app/ui/frame/MainFrame.h"
#include "app/ui/panes/DataBar.h"
#include "app/ui/panes/DevTreeBar.h"
#include "app/ui/panes/DevicePropertiesWnd.h"
#include "app/ui/panes/LogPropertiesWnd.h"
#include "app/ui/panes/SpecialGridList.h"
#include "app/ui/panes/StackInspectorBar.h"
#include "app/ui/panes/SystemPropertiesWnd.h"

namespace {

CMainFrame* MainFrame() {
    return dynamic_cast<CMainFrame*>(AfxGetMainWnd());
}

} // namespace

CPanePointers::CPanePointers() {
    CMainFrame* pFrame = MainFrame();
    if (pFrame == nullptr)
        return;
    m_pFrame = pFrame;
    m_pStackList = pFrame->GetStackInspectorList();
    m_pStackInspectorBar = pFrame->GetStackInspectorBar();
    m_pDeviceTreeTab = pFrame->GetDeviceTreeTab();
    m_pDevTreeBar = pFrame->GetDevTreeBar();
    m_pDataBar = pFrame->GetDataBar();
    m_pLogDetails = pFrame->GetLogDetailsPane();
    m_pDeviceProperties = pFrame->GetDevicePropertiesPane();
    m_pSystemProperties = pFrame->GetSystemPropertiesPane();
}

void CPanePointers::ClearLogDetails() {
    if (m_pLogDetails != nullptr)
        m_pLogDetails->ClearRecord();
}

void CPanePointers::LogDetailsClear() {
    Record("LogDetailsClear");
    ClearLogDetails();
}

void CPanePointers::LogDetailsShow() {
    Record("LogDetailsShow");
    ClearLogDetails();
}

void CPanePointers::DevicePropertiesClear() {
    Record("DevicePropertiesClear");
    if (m_pDeviceProperties != nullptr)
        m_pDeviceProperties->ClearProperties();
}

void CPanePointers::DevicePropertiesSendCommand(UINT nID, LPARAM lParam) {
    Record("DevicePropertiesSendCommand");
    if (m_pDeviceProperties != nullptr)
        m_pDeviceProperties->SendMessage(WM_COMMAND, nID, lParam);
}

void CPanePointers::ShowDevicesTabSelection() {
    if (m_pDeviceTreeTab == nullptr)
        return;
    CDevicesTab& devices = m_pDeviceTreeTab->GetDevicesTab();
    devices.DisplaySelectionDetails(devices.GetCaretItem());
}

void CPanePointers::DevicePropertiesShow() {
    Record("DevicePropertiesShow");
    ShowDevicesTabSelection();
}

void CPanePointers::DevicePropertiesUpdate() {
    Record("DevicePropertiesUpdate");
    ShowDevicesTabSelection();
}

void CPanePointers::SystemPropertiesClear() {
    Record("SystemPropertiesClear");
    if (m_pSystemProperties != nullptr)
        m_pSystemProperties->ResetCategory();
}

void CPanePointers::UpdateSystemProperties() {
    if (m_pSystemProperties == nullptr)
        return;
    CUSBLog* pDoc = GetActiveLogDocument();
    if (pDoc != nullptr && pDoc->IsRealtimeDocument())
        m_pSystemProperties->ShowSystemInformation();
    else
        m_pSystemProperties->ShowLogFileInformation();
}

void CPanePointers::SystemPropertiesUpdate() {
    Record("SystemPropertiesUpdate");
    UpdateSystemProperties();
}

void CPanePointers::SystemPropertiesShow() {
    Record("SystemPropertiesShow");
    UpdateSystemProperties();
}

void CPanePointers::DataBarClear(BOOL bRedraw) {
    Record("DataBarClear");
    if (s_pDataBarSink != nullptr)
        s_pDataBarSink->Clear();
    if (m_pDataBar != nullptr)
        m_pDataBar->Clear(bRedraw);
}

void CPanePointers::DataBarSetTitle(const CString& title, BOOL bRedraw) {
    if (s_pDataBarSink != nullptr)
        s_pDataBarSink->SetTitle(title);
    if (m_pDataBar != nullptr)
        m_pDataBar->SetTitle(title, bRedraw);
}

void CPanePointers::DataBarSetDataBuffer(const BYTE* pData, ULONG count) {
    if (s_pDataBarSink != nullptr)
        s_pDataBarSink->SetDataBuffer(pData, count);
    if (m_pDataBar != nullptr)
        m_pDataBar->SetDataBuffer(pData, count);
}

void CPanePointers::DataBarGetDataBuffer(const BYTE*& rpData, ULONG& rnLength) {
    rpData = nullptr;
    rnLength = 0;
    if (m_pDataBar != nullptr)
        m_pDataBar->GetDataBuffer(rpData, rnLength);
    else if (s_pDataBarSink != nullptr)
        s_pDataBarSink->GetDataBuffer(rpData, rnLength);
}

void CPanePointers::StackListPopulate(CDeviceStack* pStack) {
    Record("StackListPopulate");
    if (m_pStackList != nullptr)
        m_pStackList->OnPopulateList(pStack);
}

void CPanePointers::StackListClear() {
    Record("StackListClear");
    if (m_pStackList != nullptr)
        m_pStackList->OnClearList();
}

void CPanePointers::StackListUncheckAll() {
    Record("StackListUncheckAll");
    if (m_pStackList != nullptr)
        m_pStackList->OnUnCheckAll();
}

void CPanePointers::SetStackInspectorReadOnly() {
    Record("SetStackInspectorReadOnly");
    if (m_pStackList != nullptr)
        m_pStackList->SetWriteable(FALSE);
    if (m_pStackInspectorBar != nullptr)
        m_pStackInspectorBar->SetReadOnly(TRUE);
}

void CPanePointers::SetStackInspectorWriteable() {
    Record("SetStackInspectorWriteable");
    if (m_pStackList != nullptr)
        m_pStackList->SetWriteable(TRUE);
    if (m_pStackInspectorBar != nullptr)
        m_pStackInspectorBar->SetReadOnly(FALSE);
}

void CPanePointers::SetDeviceTreeReadOnly() {
    Record("SetDeviceTreeReadOnly");
    if (m_pDeviceTreeTab != nullptr)
        m_pDeviceTreeTab->SetReadOnly();
    if (m_pDevTreeBar != nullptr)
        m_pDevTreeBar->SetReadOnly(TRUE);
}

void CPanePointers::SetDeviceTreeWriteable() {
    Record("SetDeviceTreeWriteable");
    if (m_pDeviceTreeTab != nullptr)
        m_pDeviceTreeTab->SetWriteable();
    if (m_pDevTreeBar != nullptr)
        m_pDevTreeBar->SetReadOnly(FALSE);
}

void CPanePointers::DoRefresh(BOOL bRebuild) {
    Record(bRebuild ? "DoRefresh rebuild" : "DoRefresh");
    if (m_pDeviceTreeTab != nullptr)
        m_pDeviceTreeTab->DoRefresh(bRebuild);
}

void CPanePointers::RefreshDeviceTreeTabViews(CUSBLog* pDoc, BOOL bWriteable) {
    Record(bWriteable ? "RefreshDeviceTreeTabViews writeable" : "RefreshDeviceTreeTabViews read-only", pDoc);
    if (m_pDeviceTreeTab != nullptr)
        m_pDeviceTreeTab->RefreshTabViews(pDoc, bWriteable);
}

void CPanePointers::ClearDeviceTreeSelections() {
    Record("ClearDeviceTreeSelections");
    if (m_pDeviceTreeTab != nullptr)
        m_pDeviceTreeTab->ClearSelections();
}

void CPanePointers::UpdateTabViews(CDeviceStack* pStack) {
    Record("UpdateTabViews");
    if (m_pDeviceTreeTab != nullptr)
        m_pDeviceTreeTab->UpdateTabViews(pStack);
}

void CPanePointers::UpdateTabViewsForDevice(CDeviceObject* pDevice) {
    Record("UpdateTabViewsForDevice");
    if (m_pDeviceTreeTab != nullptr)
        m_pDeviceTreeTab->UpdateTabViews(pDevice);
}

void CPanePointers::DisplayDevicesTabSelectionDetails(HTREEITEM hItem) {
    Record("DisplayDevicesTabSelectionDetails");
    if (m_pDeviceTreeTab != nullptr)
        m_pDeviceTreeTab->GetDevicesTab().DisplaySelectionDetails(hItem);
}

void CPanePointers::DisplayStacksTabSelectionDetails(HTREEITEM hItem) {
    Record("DisplayStacksTabSelectionDetails");
    if (m_pDeviceTreeTab != nullptr)
        m_pDeviceTreeTab->GetStacksTab().DisplaySelectionDetails(hItem);
}

void CPanePointers::DisplayDriversTabSelectionDetails(HTREEITEM hItem) {
    Record("DisplayDriversTabSelectionDetails");
    if (m_pDeviceTreeTab != nullptr)
        m_pDeviceTreeTab->GetDriversTab().DisplaySelectionDetails(hItem);
}

void CPanePointers::DriversTabDisplayDrivers(CUSBLog* pDoc) {
    Record("DriversTabDisplayDrivers", pDoc);
    if (m_pDeviceTreeTab != nullptr)
        m_pDeviceTreeTab->GetDriversTab().DisplayDrivers(pDoc);
}

void CPanePointers::DeviceModelChanging(CUSBLog* pDoc) {
    Record("DeviceModelChanging", pDoc);
    if (m_pDeviceTreeTab != nullptr)
        m_pDeviceTreeTab->DeviceModelChanging(pDoc);
    if (m_pStackList != nullptr)
        m_pStackList->DeviceModelChanging(pDoc);
}

BOOL CPanePointers::AnyDevicesChecked() {
    if (m_pDeviceTreeTab == nullptr)
        return s_bAnyDevicesChecked;
    return m_pDeviceTreeTab->GetDevicesTab().AnyChecked();
}

BOOL CPanePointers::GetNextCheckedDevice(TreePosition& rPosition, int& rImage, CObject*& rpDevice) {
    if (m_pDeviceTreeTab == nullptr)
        return s_pCheckedDevices != nullptr && s_pCheckedDevices->GetNextCheckedDevice(rPosition, rImage, rpDevice);
    return m_pDeviceTreeTab->GetDevicesTab().GetNextCheckedDevice(rPosition, rImage, rpDevice);
}

CWnd* CPanePointers::GetDeviceTreeActivePage() {
    if (m_pDeviceTreeTab == nullptr)
        return s_pActivePage;
    COX3DTabViewContainer& tabs = m_pDeviceTreeTab->GetTabContainer();
    const int nActive = tabs.GetActivePageIndex();
    return nActive >= 0 && nActive < tabs.GetPageCount() ? tabs.GetPage(nActive) : nullptr;
}

BOOL CPanePointers::IsDeviceTreePaneVisible() const {
    return m_pFrame != nullptr && m_pFrame->IsPaneVisible(CMainFrame::DeviceTreePaneId);
}

void CPanePointers::HideDevTreeAndStack() {
    if (m_pFrame != nullptr)
        m_pFrame->HideDevTreeAndStack();
}

void CPanePointers::RestoreDevTreeAndStack() {
    if (m_pFrame != nullptr)
        m_pFrame->RestoreDevTreeAndStack();
}

CUSBLog* CPanePointers::GetActiveLogDocument() {
    CMainFrame* pFrame = MainFrame();
    return pFrame != nullptr && pFrame->GetSafeHwnd() != nullptr ? pFrame->GetActiveLogDocument() : nullptr;
}
