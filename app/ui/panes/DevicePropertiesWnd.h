// CDevicePropertiesWnd: the window of the Device Properties docking pane, which shows what is known of the
// device selected on the device tree's Devices tab: the Plug and Play properties of a host controller, root
// hub, port, external hub or device, or one of its cached descriptors decoded field by field. Everything is
// shown in one grid category, emptied and filled again by each view. The selection is read afresh from the
// device tree for every command; the pane only reads the device model.
//
// Its toolbar has "PnP Properties" (the device tree sends that command when a topology item is selected) and
// the split button "Descriptors", whose face shows the descriptor view that suits the selection and whose
// menu chooses the view: device, configuration, hub class (string is listed, never offered).
#pragma once

#include "app/decoders/framework/GridOutputImp.h"
#include "app/ui/devicetree/DeviceTreeIds.h" // ID_DEVICEPROPS_PNP, the command the device tree sends
#include "app/ui/panes/PropertiesWnd.h"

class CGkPropertyGridItem;
struct DeviceTreeSelection;

// The pane's toolbar and the Descriptors button's menu.
constexpr unsigned IDR_DEVICEPROPS_TOOLBAR = 262;
constexpr unsigned IDR_DEVICEPROPS_DESCRIPTORS = 263;
// The toolbar's commands and the menu's views.
constexpr unsigned ID_DEVICEPROPS_DESCRIPTORS = 32915;
constexpr unsigned ID_DESCRIPTORS_DEVICE = 32927;
constexpr unsigned ID_DESCRIPTORS_STRING = 32930;
constexpr unsigned ID_DESCRIPTORS_CONFIGURATION = 32931;
constexpr unsigned ID_DESCRIPTORS_HUBCLASS = 32932;

class CDevicePropertiesWnd : public CPropertiesWnd, public GridOutputPane {
    DECLARE_DYNAMIC(CDevicePropertiesWnd)
public:
    // The one category every view fills.
    static constexpr UINT CategoryId = 5000;

    CDevicePropertiesWnd() = default;
    ~CDevicePropertiesWnd() override = default;
    CDevicePropertiesWnd(const CDevicePropertiesWnd&) = delete;
    CDevicePropertiesWnd& operator=(const CDevicePropertiesWnd&) = delete;

    // Nothing shown: the category captioned "Device Properties" again and emptied.
    void ClearProperties();
    // The descriptor view last chosen: one of the ID_DESCRIPTORS_* commands.
    UINT GetDescriptorView() const { return m_nDescriptorView; }

    CGkPropertyGrid* GetPropertyGrid() override { return &m_wndPropertyGrid; }
    COLORREF GetNormalValueColour() override { return ::GetSysColor(COLOR_WINDOWTEXT); }

protected:
    int OnCreate(LPCREATESTRUCT lpCreateStruct);
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    LRESULT OnCreateControl(WPARAM wParam, LPARAM lParam);

    void OnDevicePropertiesPnP();
    void OnDevicePropertiesDescriptors();
    void OnDeviceDescriptor();
    void OnConfigurationDescriptor();
    void OnHubClassDescriptor();
    void OnStringDescriptor();
    void OnUpdateDevicePropertiesPnP(CCmdUI* pCmdUI);
    void OnUpdateDevicePropertiesDescriptors(CCmdUI* pCmdUI);
    void OnUpdateDeviceDescriptor(CCmdUI* pCmdUI);
    void OnUpdateConfigurationDescriptor(CCmdUI* pCmdUI);
    void OnUpdateHubClassDescriptor(CCmdUI* pCmdUI);
    void OnUpdateStringDescriptor(CCmdUI* pCmdUI);
    DECLARE_MESSAGE_MAP()

private:
    // The views of a selection, into the emptied category.
    void ShowPnpProperties(const DeviceTreeSelection& selection);
    void ShowDeviceDescriptor(const DeviceTreeSelection& selection);
    void ShowConfigurationDescriptor(const DeviceTreeSelection& selection);
    void ShowHubClassDescriptor(const DeviceTreeSelection& selection);

    UINT m_nDescriptorView = ID_DESCRIPTORS_DEVICE;
};
