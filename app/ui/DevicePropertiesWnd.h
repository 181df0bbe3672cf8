// CDevicePropertiesWnd: the window of the Device Properties docking pane, which shows what is known of the
// device selected on the device tree's Devices tab (its Plug and Play properties or a descriptor). The device
// tree asks it with its command 32914.
//
// For now the window holds neither toolbar nor grid: they and its commands come with the Device Properties
// pane, made in this window's creation.
#pragma once

#include "app/ui/PropertiesWnd.h"

class CDevicePropertiesWnd : public CPropertiesWnd {
    DECLARE_DYNAMIC(CDevicePropertiesWnd)
public:
    CDevicePropertiesWnd() = default;
    ~CDevicePropertiesWnd() override = default;
    CDevicePropertiesWnd(const CDevicePropertiesWnd&) = delete;
    CDevicePropertiesWnd& operator=(const CDevicePropertiesWnd&) = delete;

    // Nothing shown.
    void ClearProperties();
};
