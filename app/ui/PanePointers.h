// CPanePointers: how the capture document, the views, the decoders and the reports reach the main frame's
// panes without knowing the frame. Built on the stack by each caller, it takes the eight pane pointers from the
// main frame's getters (all null without a main frame, and each null while its window does not exist) and is
// dropped within the operation, so it never outlives a pane; every forwarder does nothing on a null pane and
// every query answers FALSE or null.
//
// Tests watch the forwarders through two observers: a CPaneCallSink sees each forwarder's call by name with its
// document (pane or not), a CDataBarSink each call meant for the data bar; and while no device tree exists, the
// queries of the device tree answer what SetDeviceTreeState and SetCheckedDevices set.
#pragma once

#include "afxwin.h"
#include "app/devices/DeviceViews.h"

class CDataBar;
class CDevTreeBar;
class CDeviceObject;
class CDevicePropertiesWnd;
class CMainFrame;
class CDeviceStack;
class CDeviceTreeTab;
class CLogPropertiesWnd;
class CSpecialGridList;
class CStackInspectorBar;
class CSystemPropertiesWnd;
class CUSBLog;

// Sees what is meant for the data bar: its title, bytes and emptying, and answers for its bytes.
class CDataBarSink {
public:
    virtual ~CDataBarSink() = default;
    virtual void SetTitle(const CString& title) = 0;
    virtual void SetDataBuffer(const BYTE* pData, ULONG count) = 0;
    virtual void Clear() {}
    // The bytes last set; FALSE when it keeps none.
    virtual BOOL GetDataBuffer(const BYTE*& rpData, ULONG& rnLength) {
        rpData = nullptr;
        rnLength = 0;
        return FALSE;
    }
};

// Sees each forwarder's call by name ("SetDeviceTreeReadOnly", "RefreshDeviceTreeTabViews writeable", ...)
// with the document it was given (null when none).
class CPaneCallSink {
public:
    virtual ~CPaneCallSink() = default;
    virtual void PaneCall(const char* lpszName, CUSBLog* pDoc) = 0;
};

class CPanePointers : public CObject {
public:
    // A position in the device tree's walk of checked devices; null before the first.
    using TreePosition = ICheckedDevices::Position;

    CPanePointers();
    ~CPanePointers() override = default;
    CPanePointers(const CPanePointers&) = delete;
    CPanePointers& operator=(const CPanePointers&) = delete;

    // Log Details: no record shown. LogDetailsShow is the same (its callers emptied the record store).
    void LogDetailsClear();
    void LogDetailsShow();

    // Device Properties: nothing shown; a command to the pane (32914: the selected device's properties); the
    // selection of the Devices tab shown again (Show and Update alike).
    void DevicePropertiesClear();
    void DevicePropertiesSendCommand(UINT nID, LPARAM lParam = 0);
    void DevicePropertiesShow();
    void DevicePropertiesUpdate();

    // System Properties: reset; filled for the active document (this machine for a live capture, the file's
    // facts for a saved log). SystemPropertiesShow is SystemPropertiesUpdate.
    void SystemPropertiesClear();
    void SystemPropertiesUpdate();
    void SystemPropertiesShow();

    // The data bar: emptied (title and bytes), titled, given bytes (they stay the caller's), asked for its
    // bytes (null and 0 without a data bar).
    void DataBarClear(BOOL bRedraw);
    void DataBarSetTitle(const CString& title, BOOL bRedraw = TRUE);
    void DataBarSetDataBuffer(const BYTE* pData, ULONG count);
    void DataBarGetDataBuffer(const BYTE*& rpData, ULONG& rnLength);

    // The stack inspector's list: a stack's device objects, none, every capturable row unchecked.
    void StackListPopulate(CDeviceStack* pStack);
    void StackListClear();
    void StackListUncheckAll();

    // Lock or unlock check changes in the stack inspector and the device tree during a capture. The bars keep
    // the flag, so a pane made later starts locked.
    void SetStackInspectorReadOnly();
    void SetStackInspectorWriteable();
    void SetDeviceTreeReadOnly();
    void SetDeviceTreeWriteable();

    // The device tree: redisplayed (rebuilt from the driver first when asked), its tabs refreshed for a
    // document with checks allowed or not, its selections cleared, its views brought in line with a stack's or
    // a device object's check, an item's details shown, the Drivers tab refilled.
    void DoRefresh(BOOL bRebuild);
    void RefreshDeviceTreeTabViews(CUSBLog* pDoc, BOOL bWriteable);
    void ClearDeviceTreeSelections();
    void UpdateTabViews(CDeviceStack* pStack);
    void UpdateTabViewsForDevice(CDeviceObject* pDevice);
    void DisplayDevicesTabSelectionDetails(HTREEITEM hItem);
    void DisplayStacksTabSelectionDetails(HTREEITEM hItem);
    void DisplayDriversTabSelectionDetails(HTREEITEM hItem);
    void DriversTabDisplayDrivers(CUSBLog* pDoc);

    // The capture document is about to destroy its device model: the panes drop their pointers into it.
    void DeviceModelChanging(CUSBLog* pDoc);

    // Whether any device is checked on the Devices tab.
    BOOL AnyDevicesChecked();
    // The next checked device after rPosition (from the first root item when it is null): its position, its
    // image and its model object. FALSE when none is left or there is no device tree.
    BOOL GetNextCheckedDevice(TreePosition& rPosition, int& rImage, CObject*& rpDevice);
    // The device tree's active page window; null when the active tab is outside the tabs.
    CWnd* GetDeviceTreeActivePage();

    // The frame's layout: whether the device tree pane is open (FALSE without a main frame); the device tree
    // and stack inspector hidden at a capture's start and those that were open shown again at its stop.
    BOOL IsDeviceTreePaneVisible() const;
    void HideDevTreeAndStack();
    void RestoreDevTreeAndStack();

    // The capture document of the main window's active child frame; null without a main frame window.
    static CUSBLog* GetActiveLogDocument();

    // The test observers (null: none) and the device tree's answers while no device tree exists.
    static void SetCallSink(CPaneCallSink* pSink) { s_pCallSink = pSink; }
    static void SetDataBarSink(CDataBarSink* pSink) { s_pDataBarSink = pSink; }
    static void SetDeviceTreeState(CWnd* pActivePage, BOOL bAnyDevicesChecked) {
        s_pActivePage = pActivePage;
        s_bAnyDevicesChecked = bAnyDevicesChecked;
    }
    static void SetCheckedDevices(ICheckedDevices* pCheckedDevices) { s_pCheckedDevices = pCheckedDevices; }

private:
    static void Record(const char* lpszName, CUSBLog* pDoc = nullptr) {
        if (s_pCallSink != nullptr)
            s_pCallSink->PaneCall(lpszName, pDoc);
    }
    void ClearLogDetails();
    void ShowDevicesTabSelection();
    void UpdateSystemProperties();

    CMainFrame* m_pFrame = nullptr;
    CSpecialGridList* m_pStackList = nullptr;
    CStackInspectorBar* m_pStackInspectorBar = nullptr;
    CDeviceTreeTab* m_pDeviceTreeTab = nullptr;
    CDevTreeBar* m_pDevTreeBar = nullptr;
    CDataBar* m_pDataBar = nullptr;
    CLogPropertiesWnd* m_pLogDetails = nullptr;
    CDevicePropertiesWnd* m_pDeviceProperties = nullptr;
    CSystemPropertiesWnd* m_pSystemProperties = nullptr;

    static inline CPaneCallSink* s_pCallSink = nullptr;
    static inline CDataBarSink* s_pDataBarSink = nullptr;
    static inline CWnd* s_pActivePage = nullptr;
    static inline BOOL s_bAnyDevicesChecked = FALSE;
    static inline ICheckedDevices* s_pCheckedDevices = nullptr;
};
