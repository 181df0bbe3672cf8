#include "app/ui/DeviceTreeTab.h"

IMPLEMENT_DYNAMIC(CDeviceTreeTab, CWnd)

BOOL CDevicesTab::AnyChecked() const {
    return FALSE;
}

BOOL CDevicesTab::GetNextCheckedDevice(ICheckedDevices::Position&, int&, CObject*&) {
    return FALSE;
}

HTREEITEM CDevicesTab::GetCaretItem() const {
    return nullptr;
}

void CDevicesTab::DisplaySelectionDetails(HTREEITEM) {}

void CStacksTab::DisplaySelectionDetails(HTREEITEM) {}

void CDriversTab::DisplaySelectionDetails(HTREEITEM) {}

void CDriversTab::DisplayDrivers(CUSBLog*) {}

void CDeviceTreeTab::SetReadOnly() {}

void CDeviceTreeTab::SetWriteable() {}

void CDeviceTreeTab::DoRefresh(BOOL) {}

void CDeviceTreeTab::RefreshTabViews(CUSBLog*, BOOL) {}

void CDeviceTreeTab::ClearSelections() {}

void CDeviceTreeTab::UpdateTabViews(CDeviceStack*) {}

void CDeviceTreeTab::UpdateTabViews(CDeviceObject*) {}

void CDeviceTreeTab::DeviceModelChanging(CUSBLog*) {}
