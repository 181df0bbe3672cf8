// The device-properties pages of hub ports and root hubs, as the property grid holds them.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "GkPropertyGrid.h"
#include "WinSetupApiControl.h"
#include "app/devices/DeviceClass.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/HubPort.h"
#include "app/devices/UsbHub.h"
#include "devguid.h"

namespace {

constexpr DWORD kMarkers = gkDumpCategory | gkDumpReadOnly | gkDumpExpanded;

void AddInterface(CDeviceClass& cls, const GUID& guid, const char* link, const char* name) {
    cls.m_InterfaceGuids.Add(CDeviceClass::FindKnownInterfaceGuid(guid));
    cls.m_SymbolicLinks.Add(link);
    cls.m_DeviceNames.Add(name);
}

// The identity items every page with a stack shows, in the pane's order.
const std::string kStackItems = R"(  Description = USB Mass Storage Device [read-only]
  Setup Class = USB [read-only]
  Class GUID = {36fc9e60-c465-11cf-8056-444553540000} [read-only]
  Enumerator = USB [read-only]
  Hardware ID = USB\VID_0781&PID_5567&REV_0100 [read-only]
)";

// The port's own device interface.
const std::string kDeviceInterface = R"(  Device Interface : GUID_DEVINTERFACE_USB_DEVICE [category] [expanded]
    Interface GUID = {a5dcbf10-6530-11d2-901f-00c04fb951ed} [read-only]
    Symbolic Link = \\?\usb#dev [read-only]
    Device Name = \Device\USBPDO-4 [read-only]
)";

// The caption and the two items every port page starts with.
std::string PortHead(const char* caption) {
    return std::string(caption) + " [category] [expanded]\n  Port = 4 [read-only]\n"
                                  "  Connection Status = Device connected [read-only]\n";
}

class PropertyPages : public testing::Test {
protected:
    void SetUp() override {
        m_stack.Description = "USB Mass Storage Device";
        m_stack.ClassName = "USB";
        m_stack.ClassGuid = GUID_DEVCLASS_USB;
        m_stack.EnumName = "USB";
        m_stack.HardwareID = "USB\\VID_0781&PID_5567&REV_0100";
        m_port.m_ConnectionStatus = 1;
        m_port.m_devstk = &m_stack;
        m_port.m_pDeviceClass.reset(new CDeviceClass(GUID_DEVCLASS_USB, "key"));
        AddInterface(*m_port.m_pDeviceClass, GUID_DEVINTERFACE_USB_DEVICE, "\\\\?\\usb#dev", "\\Device\\USBPDO-4");
    }
    void TearDown() override { win32::ResetSetupApi(); }

    // Hangs an external hub whose class has the given interface entries on the port.
    CDeviceClass& ExternalHub() {
        m_port.m_PortDeviceIsHub = 1;
        m_port.m_pExternalHub.reset(new CUsbHub(&m_stack, new CDeviceClass(GUID_DEVCLASS_USB, "hubkey")));
        return *m_port.m_pExternalHub->m_pDeviceClass;
    }

    std::string PortPage(int type, bool live = true) {
        CGkPropertyGrid grid;
        m_port.CreateHubPortPropsPage(type, grid.AddCategory("placeholder"), live);
        return grid.DumpModel(kMarkers).GetString();
    }

    CDeviceStack m_stack;
    CHubPort m_port{4};
};

TEST_F(PropertyPages, CaptionsFollowTheDeviceType) {
    const struct {
        int type;
        const char* caption;
    } cases[] = {{DT_HUB_PORT, "Hub Port Properties"},
                 {DT_EXTERN_HUB, "External Hub Properties"},
                 {DT_GENERIC_USB, "USB Device Properties"},
                 {DT_SS_EXTERN_HUB, "External SuperSpeed Hub Properties"},
                 {DT_SS_GENERIC_USB, "SuperSpeed USB Device Properties"},
                 {DT_PROBLEM, "PnP Properties"},
                 {DT_NONE, "PnP Properties"}};
    for (const auto& c : cases) {
        CGkPropertyGrid grid;
        CGkPropertyGridItem* pCategory = grid.AddCategory("placeholder");
        m_port.CreateHubPortPropsPage(c.type, pCategory);
        EXPECT_STREQ(c.caption, pCategory->GetCaption()) << c.type;
        EXPECT_TRUE(pCategory->IsExpanded());
    }
}

TEST_F(PropertyPages, AHubPortShowsItsNumberAndStatusOnly) {
    EXPECT_EQ(PortHead("Hub Port Properties"), PortPage(DT_HUB_PORT));
}

TEST_F(PropertyPages, ADeviceShowsItsStackAndItsDeviceInterface) {
    EXPECT_EQ(PortHead("USB Device Properties") + kStackItems + kDeviceInterface, PortPage(DT_GENERIC_USB));
}

TEST_F(PropertyPages, AHubShowsItsHubInterfacesOnly) {
    CDeviceClass& hub = ExternalHub();
    AddInterface(hub, GUID_DEVINTERFACE_USB_HUB, "\\\\?\\usb#hub", "\\Device\\USBPDO-2");
    AddInterface(hub, GUID_DEVINTERFACE_USB_DEVICE, "\\\\?\\usb#hubdev", "\\Device\\USBPDO-2");
    AddInterface(hub, GUID_DEVINTERFACE_NEC_USB3_HUB, "\\\\?\\nusb3#hub", "\\Device\\NUSB3PDO-1");
    EXPECT_EQ(PortHead("External SuperSpeed Hub Properties") + kStackItems + kDeviceInterface +
                  R"(  Device Interface : GUID_DEVINTERFACE_USB_HUB [category] [expanded]
    Interface GUID = {f18a0e88-c30c-11d0-8815-00a0c906bed8} [read-only]
    Symbolic Link = \\?\usb#hub [read-only]
    Device Name = \Device\USBPDO-2 [read-only]
  Device Interface : GUID_DEVINTERFACE_NEC_USB3_HUB [category] [expanded]
    Interface GUID = {c7426f31-6b8e-47d5-bae8-35faf7ff53d9} [read-only]
    Symbolic Link = \\?\nusb3#hub [read-only]
    Device Name = \Device\NUSB3PDO-1 [read-only]
)",
              PortPage(DT_SS_EXTERN_HUB));
}

TEST_F(PropertyPages, AHubMissingItsFirstLinkIsLookedUpAgainOnlyInALiveDocument) {
    CDeviceClass& hub = ExternalHub();
    AddInterface(hub, GUID_DEVINTERFACE_USB_HUB, "", "");
    AddInterface(hub, GUID_DEVINTERFACE_NEC_USB3_HUB, "\\\\?\\nusb3#hub", "\\Device\\NUSB3PDO-1");
    const std::string loaded = PortPage(DT_EXTERN_HUB, false);
    EXPECT_NE(std::string::npos, loaded.find("GUID_DEVINTERFACE_NEC_USB3_HUB")) << loaded;
    EXPECT_EQ(2, hub.m_SymbolicLinks.GetSize()) << "a loaded document keeps what was saved";
    // Live, the lookup runs again (and on a machine without the hub finds nothing to show).
    const std::string live = PortPage(DT_EXTERN_HUB, true);
    EXPECT_EQ(std::string::npos, live.find("GUID_DEVINTERFACE_NEC_USB3_HUB")) << live;
    EXPECT_EQ(0, hub.m_SymbolicLinks.GetSize());
}

TEST_F(PropertyPages, ADeviceWithoutClassOrStackShowsWhatItHas) {
    m_port.m_pDeviceClass.reset();
    m_port.m_devstk = nullptr;
    EXPECT_EQ(PortHead("USB Device Properties"), PortPage(DT_GENERIC_USB));
}

TEST_F(PropertyPages, ARootHubShowsItsStackAndHubInterfaces) {
    auto* pClass = new CDeviceClass(GUID_DEVCLASS_USB, "roothub");
    AddInterface(*pClass, GUID_DEVINTERFACE_USB_HUB, "\\\\?\\usb#root_hub", "\\Device\\USBPDO-0");
    CUsbHub root(nullptr, &m_stack, pClass);
    CGkPropertyGrid grid;
    root.GeneratePropertiesPage(grid.AddCategory("placeholder"));
    EXPECT_EQ("RootHub Properties [category] [expanded]\n" + kStackItems +
                  R"(  Device Interface : GUID_DEVINTERFACE_USB_HUB [category] [expanded]
    Interface GUID = {f18a0e88-c30c-11d0-8815-00a0c906bed8} [read-only]
    Symbolic Link = \\?\usb#root_hub [read-only]
    Device Name = \Device\USBPDO-0 [read-only]
)",
              std::string(grid.DumpModel(kMarkers).GetString()));
    m_stack.HasBosDescriptor = 1;
    CGkPropertyGrid superSpeed;
    CGkPropertyGridItem* pCategory = superSpeed.AddCategory("placeholder");
    root.GeneratePropertiesPage(pCategory);
    EXPECT_STREQ("SuperSpeed RootHub Properties", pCategory->GetCaption());
}

} // namespace
