// The Device Properties pane on the default machine: what each view shows of its controllers, hubs and
// devices, as the grid's model, and the pane's picture.
#include "tests/app/ui/DevicePropertiesFixture.h"

#include <string>

#include "tests/support/Pictures.h"

namespace {

using deviceprops_test::DevicePropertiesTest;
using deviceprops_test::Node;
using deviceprops_test::Text;

// The grid's model with categories and expanded items marked.
std::string GridModel(CGkPropertyGrid& grid) {
    return Text(grid.DumpModel(gkDumpCategory | gkDumpExpanded | gkDumpHidden));
}

TEST_F(DevicePropertiesTest, TheDefaultMachinesControllerHubAndDevicesShowTheirPropertiesAndDescriptors) {
    struct Case {
        const char* what;
        int type;
        Node* node;
        UINT command;
        const char* model;
    };
    const Case cases[] = {
        {"EHCI controller", DT_HOST_CONTROLLER, EhciControllerNode(), ID_DEVICEPROPS_PNP,
         R"(Host Controller Properties [category] [expanded]
  Description = Standard Enhanced PCI to USB Host Controller
  Controller Type = EHCI (Enhanced Host Controller Interface)
  Setup Class = USB
  Class GUID = {36fc9e60-c465-11cf-8056-444553540000}
  Enumerator = PCI
  Hardware ID = PCI\VEN_7A51&DEV_0C32&SUBSYS_00017A51&REV_01
  Symbolic Link = "\\.\HCD0"
  Device Name = \Device\USBFDO-0
  Device Interface : GUID_DEVINTERFACE_USB_HOST_CONTROLLER [category] [expanded]
    Interface GUID = {3abf6f2d-71c4-462a-8a92-1e6861e6af27}
    Symbolic Link = \\?\PCI#VEN_7A51&DEV_0C32&SUBSYS_00017A51&REV_01#5&f960e77a&0&A0#{3abf6f2d-71c4-462a-8a92-1e6861e6af27}
    Device Name = \Device\NTPNP_PCI0000
)"},
        {"EHCI root hub", DT_ROOT_HUB, EhciRootHubNode(), ID_DEVICEPROPS_PNP,
         R"(RootHub Properties [category] [expanded]
  Description = USB Root Hub
  Setup Class = USB
  Class GUID = {36fc9e60-c465-11cf-8056-444553540000}
  Enumerator = USB
  Hardware ID = USB\ROOT_HUB20&VID7A51&PID0C32&REV0001
  Device Interface : GUID_DEVINTERFACE_USB_HUB [category] [expanded]
    Interface GUID = {f18a0e88-c30c-11d0-8815-00a0c906bed8}
    Symbolic Link = \\?\USB#ROOT_HUB20#6&94bf78c4&0&0#{f18a0e88-c30c-11d0-8815-00a0c906bed8}
    Device Name = \Device\USBPDO-0
)"},
        {"external hub", DT_EXTERN_HUB, ExternalHubNode(), ID_DESCRIPTORS_DEVICE,
         R"(Device Descriptor (External Hub) [category] [expanded]
  bLength = 0x12
  bDescriptorType = 0x01 (DEVICE)
  bcdUSB = 0x0200 (2.0)
  bDeviceClass = 0x09 (Hub)
  bDeviceSubClass = 0x00
  bDeviceProtocol = 0x01
  bMaxPacketSize0 = 0x40
  idVendor = 0x7a51
  idProduct = 0x2040
  bcdDevice = 0x0100 (1.0)
  iManufacturer = 0x01
  iProduct = 0x02
  iSerialNumber = 0x00
  bNumConfigurations = 0x01
)"},
        // The interfaces open, each descriptor stays closed.
        {"composite device", DT_GENERIC_USB, CompositeNode(), ID_DESCRIPTORS_CONFIGURATION,
         R"(Full Configuration Descriptor [category] [expanded]
  CONFIGURATION (1) [category]
    bLength = 0x09
    bDescriptorType = 0x02 (CONFIGURATION)
    wTotalLength = 0x0039
    bNumInterfaces = 0x02
    bConfigurationValue = 0x01
    iConfiguration = 0x00
    bmAttributes = 0x80
    MaxPower = 0x64
  INTERFACE 0/ALT 0, 03(HumanInterface) [category] [expanded]
    INTERFACE [category]
      bLength = 0x09
      bDescriptorType = 0x04 (INTERFACE)
      bInterfaceNumber = 0x00
      bAlternateSetting = 0x00
      bNumEndpoints = 0x01
      bInterfaceClass = 0x03 (HumanInterface)
      bInterfaceSubClass = 0x00 (None)
      bInterfaceProtocol = 0x00 (None)
      iInterface = 0x00
    HID DESCRIPTOR [category]
      bLength = 0x09
      bDescriptorType = 0x21 (HID CLASS)
      bcdHID = 0x0111
      bCountry = 0x00
      bNumDescriptors = 0x01
      bReportType = 0x22 (HID REPORT DESCRIPTOR)
      wReportLength = 0x001b
    ENDPOINT 81, IN(1) Interrupt [category]
      bLength = 0x07
      bDescriptorType = 0x05 (ENDPOINT)
      bEndpointAddress = 0x81 (IN)
      bmAttributes.0-1 = 3 (Interrupt)
      wMaxPacketSize = 0x0001
      Interval Properties =
        bInterval = 0x08
        HS-Interval = 0x80 (microframes)
        FS.LS-Interval = 0x8 (frames)
  INTERFACE 1/ALT 0, 08(MassStorage) [category] [expanded]
    INTERFACE [category]
      bLength = 0x09
      bDescriptorType = 0x04 (INTERFACE)
      bInterfaceNumber = 0x01
      bAlternateSetting = 0x00
      bNumEndpoints = 0x02
      bInterfaceClass = 0x08 (MassStorage)
      bInterfaceSubClass = 0x06 (SCSI_transparent_set)
      bInterfaceProtocol = 0x50 (Bulk-only_Transport)
      iInterface = 0x00
    ENDPOINT 82, IN(2) Bulk [category]
      bLength = 0x07
      bDescriptorType = 0x05 (ENDPOINT)
      bEndpointAddress = 0x82 (IN)
      bmAttributes.0-1 = 2 (Bulk)
      wMaxPacketSize = 0x0200
      Interval Properties =
        bInterval = 0x00
    ENDPOINT 03, OUT(3) Bulk [category]
      bLength = 0x07
      bDescriptorType = 0x05 (ENDPOINT)
      bEndpointAddress = 0x03 (OUT)
      bmAttributes.0-1 = 2 (Bulk)
      wMaxPacketSize = 0x0200
      Interval Properties =
        bInterval = 0x00
        HS-Max_NAK_Rate = 0x00 (Never NAKs)
)"},
        // A device that leaves its class to its one interface names that interface's class.
        {"mouse", DT_GENERIC_USB, MouseNode(), ID_DESCRIPTORS_DEVICE,
         R"(Device Descriptor [category] [expanded]
  bLength = 0x12
  bDescriptorType = 0x01 (DEVICE)
  bcdUSB = 0x0110 (1.1)
  bDeviceClass = 0x00 (InterfaceHasClass)
   = Interface Class: HumanInterface
  bDeviceSubClass = 0x00
  bDeviceProtocol = 0x00
  bMaxPacketSize0 = 0x08
  idVendor = 0x7a51
  idProduct = 0x0101
  bcdDevice = 0x0100 (1.0)
  iManufacturer = 0x01
  iProduct = 0x02
  iSerialNumber = 0x00
  bNumConfigurations = 0x01
)"},
        {"xHCI root hub", DT_SS_ROOT_HUB, XhciRootHubNode(), ID_DESCRIPTORS_HUBCLASS,
         R"(Hub Class Descriptor [category] [expanded]
  Descriptor Length = 0x0c
  Descriptor Type = 0x2a (SUPERSPEED HUB CLASS)
  Downstream Ports = 0x04
  Hub Characteristics = 0x0009
  PowerOn to PowerGood = 0x0a (20 ms)
  Hub Control Current = 0x00 (mA)
  Hub Header Decode Delay = 0x00 (microsec)
  Avg. Hub Delay = 0x0000 (nanosec)
  DeviceRemovable = [expanded]
    bit.0.Reserved_0 = 0
    bit.1.Port_1 = 0 (removable)
    bit.2.Port_2 = 0 (removable)
    bit.3.Port_3 = 0 (removable)
    bit.4.Port_4 = 0 (removable)
)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_NE(c.node, nullptr);
        Select(c.type, c.node);
        if (c.command == ID_DEVICEPROPS_PNP)
            RequestPnp();
        else
            Choose(c.command);
        EXPECT_EQ(GridModel(Grid()), c.model);
    }
    EXPECT_TRUE(win32::ModalRequests().empty());
}

TEST_F(DevicePropertiesTest, PictureShowsTheCaptionedButtonsPnpPressedTheSplitArrowAndAConfiguration) {
    // The device tree closed, the pane's group takes the frame's left side.
    Command(ID_VIEW_DEVICETREE);
    ASSERT_FALSE(Frame()->IsPaneVisible(ID_VIEW_DEVICETREE));
    Select(DT_GENERIC_USB, CompositeNode());
    Choose(ID_DESCRIPTORS_CONFIGURATION);
    Idle();
    ::RedrawWindow(Frame()->GetSafeHwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    win32::PumpUiMessages();
    tdl::test::Picture picture(Pane().GetSafeHwnd(), "device_properties_pane.png");
    ASSERT_TRUE(picture.IsValid());
    CGkToolBar& bar = Pane().GetToolBar();
    const auto inPane = [this](CWnd& wnd, CRect rc) {
        ::MapWindowPoints(wnd.GetSafeHwnd(), Pane().GetSafeHwnd(), reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    };
    CGkControl* pPnp = bar.FindControl(ID_DEVICEPROPS_PNP);
    CGkControl* pDescriptors = bar.FindControl(ID_DEVICEPROPS_DESCRIPTORS);
    ASSERT_TRUE(pPnp->GetChecked());
    const CRect pnp = inPane(bar, pPnp->GetRect());
    const CRect descriptors = inPane(bar, pDescriptors->GetRect());
    const auto count = [&](const CRect& rc, COLORREF clr) {
        return picture.Count(rc, [clr](COLORREF c) { return c == clr; });
    };
    // Pressed (checked): sunk in a shadowed edge, on a face lightened halfway to the highlight.
    const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
    const COLORREF light = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    const COLORREF checkedFace = RGB((GetRValue(face) + GetRValue(light)) / 2, (GetGValue(face) + GetGValue(light)) / 2,
                                     (GetBValue(face) + GetBValue(light)) / 2);
    EXPECT_GT(count(pnp, checkedFace), pnp.Width() * 10);
    EXPECT_GE(count(CRect(pnp.left, pnp.top, pnp.right, pnp.top + 1), ::GetSysColor(COLOR_BTNSHADOW)),
              pnp.Width() - 1);
    // Each icon drawn without its key colour: the window's blue title bar, the table's blue name cells.
    EXPECT_GT(count(pnp, RGB(74, 120, 200)), 15);
    EXPECT_GT(count(descriptors, RGB(74, 120, 200)), 15);
    EXPECT_EQ(count(pnp, RGB(0, 255, 0)) + count(descriptors, RGB(0, 255, 0)), 0);
    // Captions in dark text below the icons: the lower part of each button.
    CRect pnpText = pnp;
    pnpText.top += 4 + 16 + 1;
    EXPECT_GT(picture.Count(pnpText, tdl::test::IsDark), 20);
    // The split arrow: a dark triangle right of the face.
    const CRect arrow = inPane(bar, pDescriptors->GetArrowRect());
    EXPECT_GE(count(arrow, ::GetSysColor(COLOR_BTNTEXT)), 9);
    // Below the bar, the configuration's rows.
    const CRect firstRow = inPane(Grid(), Grid().GetRowRect(0));
    EXPECT_GT(firstRow.top, pnp.bottom);
}

} // namespace
