// CPanePointers: how the capture document and the decoders reach the main frame's panes. Built on the stack
// by each caller; every forwarder does nothing when its pane does not exist, and for now no pane does.
#pragma once

#include "afxwin.h"

class CDeviceObject;
class CUSBLog;

class CPanePointers {
public:
    // A position in the device tree's walk of checked devices; null before the first.
    using TreePosition = void*;

    CPanePointers() = default;

    // Lock or unlock check changes in the stack inspector and the device tree during a capture.
    void SetStackInspectorReadOnly() {}
    void SetStackInspectorWriteable() {}
    void SetDeviceTreeReadOnly() {}
    void SetDeviceTreeWriteable() {}

    void RefreshDeviceTreeTabViews(CUSBLog* /*pDoc*/, BOOL /*bWriteable*/) {}
    void ClearDeviceTreeSelections() {}
    void DriversTabDisplayDrivers(CUSBLog* /*pDoc*/) {}
    void StackListUncheckAll() {}
    void DataBarClear(BOOL /*bFlag*/) {}
    void LogDetailsShow() {}
    void DevicePropertiesShow() {}
    void SystemPropertiesShow() {}
    void DevicePropertiesUpdate() {}

    // The capture document is about to delete its device model: panes drop their pointers into it.
    void DeviceModelChanging(CUSBLog* /*pDoc*/) {}

    // The device tree tab's active page window.
    CWnd* GetDeviceTreeActivePage() { return nullptr; }
    BOOL AnyDevicesChecked() { return FALSE; }
    // The next checked device after rPosition (from the first root item when it is null): its position, its
    // image and its device object. FALSE when none is left or there is no device tree.
    BOOL GetNextCheckedDevice(TreePosition& /*rPosition*/, int& /*rImage*/, CDeviceObject*& /*rpDevice*/) {
        return FALSE;
    }
};
