// CPanePointers: how the capture document and the decoders reach the main frame's panes. Built on the stack
// by each caller; every forwarder does nothing when its pane does not exist, and for now no pane does.
#pragma once

#include "afxwin.h"
#include "app/devices/DeviceViews.h"

class CUSBLog;

// Where the data bar's content goes while the main frame has no data bar (tests record it); null: nowhere.
class CDataBarSink {
public:
    virtual ~CDataBarSink() = default;
    virtual void SetTitle(const CString& title) = 0;
    virtual void SetDataBuffer(const BYTE* pData, ULONG count) = 0;
};

// Where the pane forwarders' calls go while the main frame has no panes (tests record them).
class CPaneCallSink {
public:
    virtual ~CPaneCallSink() = default;
    virtual void PaneCall(const char* lpszName, CUSBLog* pDoc) = 0;
};

class CPanePointers {
public:
    // A position in the device tree's walk of checked devices; null before the first.
    using TreePosition = ICheckedDevices::Position;

    CPanePointers() = default;

    // Lock or unlock check changes in the stack inspector and the device tree during a capture.
    void SetStackInspectorReadOnly() { Record("SetStackInspectorReadOnly"); }
    void SetStackInspectorWriteable() { Record("SetStackInspectorWriteable"); }
    void SetDeviceTreeReadOnly() { Record("SetDeviceTreeReadOnly"); }
    void SetDeviceTreeWriteable() { Record("SetDeviceTreeWriteable"); }

    void RefreshDeviceTreeTabViews(CUSBLog* pDoc, BOOL bWriteable) {
        Record(bWriteable ? "RefreshDeviceTreeTabViews writeable" : "RefreshDeviceTreeTabViews read-only", pDoc);
    }
    void ClearDeviceTreeSelections() { Record("ClearDeviceTreeSelections"); }
    void DriversTabDisplayDrivers(CUSBLog* pDoc) { Record("DriversTabDisplayDrivers", pDoc); }
    void StackListUncheckAll() { Record("StackListUncheckAll"); }
    void DataBarClear(BOOL /*bFlag*/) { Record("DataBarClear"); }
    // The data bar's title and bytes (a decoder's transfer buffer).
    void DataBarSetTitle(const CString& title) {
        if (s_pDataBarSink)
            s_pDataBarSink->SetTitle(title);
    }
    void DataBarSetDataBuffer(const BYTE* pData, ULONG count) {
        if (s_pDataBarSink)
            s_pDataBarSink->SetDataBuffer(pData, count);
    }
    static void SetDataBarSink(CDataBarSink* pSink) { s_pDataBarSink = pSink; }
    void LogDetailsShow() { Record("LogDetailsShow"); }
    void DevicePropertiesShow() { Record("DevicePropertiesShow"); }
    void SystemPropertiesShow() { Record("SystemPropertiesShow"); }
    void DevicePropertiesUpdate() { Record("DevicePropertiesUpdate"); }

    // The capture document is about to delete its device model: panes drop their pointers into it.
    void DeviceModelChanging(CUSBLog* pDoc) { Record("DeviceModelChanging", pDoc); }

    // The device tree tab's active page window. Until the device tree exists, what SetDeviceTreeState set.
    CWnd* GetDeviceTreeActivePage() { return s_pActivePage; }
    BOOL AnyDevicesChecked() { return s_bAnyDevicesChecked; }
    static void SetDeviceTreeState(CWnd* pActivePage, BOOL bAnyDevicesChecked) {
        s_pActivePage = pActivePage;
        s_bAnyDevicesChecked = bAnyDevicesChecked;
    }
    // The next checked device after rPosition (from the first root item when it is null): its position, its
    // image and its model object. FALSE when none is left or there is no device tree. Until the device tree
    // exists, the walk SetCheckedDevices set.
    BOOL GetNextCheckedDevice(TreePosition& rPosition, int& rImage, CObject*& rpDevice) {
        return s_pCheckedDevices != nullptr && s_pCheckedDevices->GetNextCheckedDevice(rPosition, rImage, rpDevice);
    }
    static void SetCheckedDevices(ICheckedDevices* pCheckedDevices) { s_pCheckedDevices = pCheckedDevices; }

    // Until the panes exist, each forwarder's call goes to this sink (when set) by name, with the document it
    // was given (null when none), so that the order of a command's pane steps can be checked; null: nowhere.
    static void SetCallSink(CPaneCallSink* pSink) { s_pCallSink = pSink; }

private:
    static void Record(const char* lpszName, CUSBLog* pDoc = nullptr) {
        if (s_pCallSink != nullptr)
            s_pCallSink->PaneCall(lpszName, pDoc);
    }

    static inline CPaneCallSink* s_pCallSink = nullptr;
    static inline CDataBarSink* s_pDataBarSink = nullptr;
    static inline CWnd* s_pActivePage = nullptr;
    static inline BOOL s_bAnyDevicesChecked = FALSE;
    static inline ICheckedDevices* s_pCheckedDevices = nullptr;
};
