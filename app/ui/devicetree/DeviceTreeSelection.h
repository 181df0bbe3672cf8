// DeviceTreeSelection: the device tree's selection as the Device Properties pane reads it, afresh for every
// command: the active page's control id, its caret item's image (which is the item's device type) and data,
// and the capture document the main window shows. On the Devices page an item's data is its node of the
// document's connection tree; the other pages' data are other objects, so only a Devices-page selection ever
// names an element.
#pragma once

#include "afxwin.h"
#include "app/devices/ConnectionTree.h"
#include "app/devices/DeviceStack.h"

class CUSBLog;

struct DeviceTreeSelection {
    // The control id of the Devices page's tree.
    static constexpr UINT DevicesPageId = 110;

    // Nothing (page 0, DT_NONE) without a main window, an active document, an active page or a caret item.
    static DeviceTreeSelection Read();

    bool IsOnDevicesPage() const { return nPageId == DevicesPageId; }
    // The device types the Device Properties pane offers views for: a topology item with Plug and Play
    // properties; a root hub (its hub descriptor); an external hub or a device (its own descriptors).
    static bool HasPnpProperties(int nType) {
        return (nType >= DT_HOST_CONTROLLER && nType <= DT_GENERIC_USB) ||
               (nType >= DT_SS_ROOT_HUB && nType <= DT_SS_GENERIC_USB);
    }
    static bool IsRootHub(int nType) { return nType == DT_ROOT_HUB || nType == DT_SS_ROOT_HUB; }
    static bool IsDevice(int nType) {
        return nType == DT_EXTERN_HUB || nType == DT_GENERIC_USB || nType == DT_SS_EXTERN_HUB ||
               nType == DT_SS_GENERIC_USB;
    }
    // The element of a Devices-page item; null on any other page or for an item without data.
    ConnectionElement* GetElement() const;
    // The element's model object as a T, when it is one; null otherwise.
    template <class T> T* GetObject() const {
        ConnectionElement* pElement = GetElement();
        return pElement != nullptr ? dynamic_cast<T*>(pElement->m_pElemObject) : nullptr;
    }

    UINT nPageId = 0;
    int nType = DT_NONE;
    DWORD_PTR dwData = 0;
    CUSBLog* pDoc = nullptr;
};
