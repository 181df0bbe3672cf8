// The Device Properties pane in the main frame: its toolbar and split menu, the enable, check and radio states
// of its six commands by the selected item's type and page, the descriptor views the menu and the button's
// face choose, and how each view meets a selection it cannot show.
#include "tests/app/ui/DevicePropertiesFixture.h"

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "WinUiControl.h"
#include "app/devices/AllocateBuffer.h"
#include "app/devices/HubPort.h"
#include "app/devices/UsbHub.h"
#include "app/ui/panes/SystemPropertiesWnd.h"
#include "tests/app/ui/CommandState.h"

namespace {

using deviceprops_test::DevicePropertiesTest;
using deviceprops_test::kDevicesPage;
using deviceprops_test::kDriversPage;
using deviceprops_test::kStacksPage;
using deviceprops_test::Node;
using deviceprops_test::Text;
using mainwin_test::UpdateCommand;

constexpr UINT kViews[] = {ID_DESCRIPTORS_DEVICE, ID_DESCRIPTORS_CONFIGURATION, ID_DESCRIPTORS_HUBCLASS,
                           ID_DESCRIPTORS_STRING};

// The menu items of a pop-up as "text", with " (off)" when disabled and " *" when checked.
std::vector<std::string> MenuItems(HMENU hMenu) {
    std::vector<std::string> items;
    for (int i = 0; i < ::GetMenuItemCount(hMenu); ++i) {
        char text[64] = {};
        ::GetMenuStringA(hMenu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        const UINT state = ::GetMenuState(hMenu, static_cast<UINT>(i), MF_BYPOSITION);
        std::string item = text;
        if ((state & MF_GRAYED) != 0)
            item += " (off)";
        if ((state & MF_CHECKED) != 0)
            item += " *";
        items.push_back(item);
    }
    return items;
}

TEST_F(DevicePropertiesTest, MadeWithItsButtonsSplitMenuAndAnEmptyCategory) {
    CGkToolBar& bar = Pane().GetToolBar();
    EXPECT_EQ(bar.GetBarID(), IDR_DEVICEPROPS_TOOLBAR);
    EXPECT_EQ(bar.GetDlgCtrlID(), 59392);
    ASSERT_EQ(bar.GetControlCount(), 2);
    EXPECT_TRUE(bar.IsTextBelowIcons());
    CGkControl* pPnp = bar.FindControl(ID_DEVICEPROPS_PNP);
    CGkControl* pDescriptors = bar.FindControl(ID_DEVICEPROPS_DESCRIPTORS);
    ASSERT_NE(pPnp, nullptr);
    ASSERT_NE(pDescriptors, nullptr);
    EXPECT_EQ(pPnp->GetCaption(), "PnP Properties");
    EXPECT_EQ(pDescriptors->GetCaption(), "Descriptors");
    // Only the Descriptors button asked for a menu.
    EXPECT_EQ(pPnp->GetType(), gkControlButton);
    EXPECT_EQ(pDescriptors->GetType(), gkControlSplitButtonPopup);
    EXPECT_EQ(MenuItems(pDescriptors->GetMenu()),
              (std::vector<std::string>{"&Device", "&Configuration", "&Hub Class", "&String"}));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(::GetMenuItemID(pDescriptors->GetMenu(), i), kViews[i]);

    EXPECT_EQ(Grid().GetCurrentTheme(), 6);
    EXPECT_TRUE(Grid().GetShowInplaceButtonsAlways());
    EXPECT_EQ(Grid().GetHelpHeight(), 20);
    EXPECT_TRUE(Grid().IsHighlightChangedItems());
    EXPECT_EQ(Text(Grid().DumpModel()), "Device Properties [category] [id 5000] [expanded]\n");
    EXPECT_EQ(Pane().GetDescriptorView(), ID_DESCRIPTORS_DEVICE);
    EXPECT_EQ(Pane().GetNormalValueColour(), ::GetSysColor(COLOR_WINDOWTEXT));
}

TEST_F(DevicePropertiesTest, CommandStatesFollowTheSelectedTypeOnTheDevicesPageOnly) {
    // In this order: each row's Descriptors update moves the view, which the next rows start from.
    struct Row {
        int type;
        bool pnp, descriptors, device, configuration, hubClass;
        UINT view; // after the Descriptors update
    };
    const Row rows[] = {
        {0, false, false, false, false, false, ID_DESCRIPTORS_DEVICE},
        {1, true, false, false, false, false, ID_DESCRIPTORS_DEVICE},
        {3, true, false, false, false, false, ID_DESCRIPTORS_DEVICE},
        {4, true, true, true, true, false, ID_DESCRIPTORS_DEVICE}, // "&Device" was checked: it stays
        {2, true, true, false, false, true, ID_DESCRIPTORS_HUBCLASS},
        {5, true, true, true, true, false, ID_DESCRIPTORS_CONFIGURATION},
        {13, true, true, false, false, true, ID_DESCRIPTORS_HUBCLASS},
        {14, true, true, true, true, false, ID_DESCRIPTORS_CONFIGURATION},
        {15, true, true, true, true, false, ID_DESCRIPTORS_CONFIGURATION},
        {11, false, false, false, false, false, ID_DESCRIPTORS_CONFIGURATION},
        {6, false, false, false, false, false, ID_DESCRIPTORS_CONFIGURATION},
        {7, false, false, false, false, false, ID_DESCRIPTORS_CONFIGURATION},
        {8, false, false, false, false, false, ID_DESCRIPTORS_CONFIGURATION},
        {9, false, false, false, false, false, ID_DESCRIPTORS_CONFIGURATION},
        {10, false, false, false, false, false, ID_DESCRIPTORS_CONFIGURATION},
        {12, false, false, false, false, false, ID_DESCRIPTORS_CONFIGURATION},
        {DT_NONE, false, false, false, false, false, ID_DESCRIPTORS_CONFIGURATION},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        Select(row.type, nullptr);
        const auto descriptors = UpdateCommand(&Pane(), ID_DEVICEPROPS_DESCRIPTORS);
        EXPECT_EQ(descriptors.enabled, row.descriptors);
        EXPECT_EQ(descriptors.check, 1);
        EXPECT_EQ(Pane().GetDescriptorView(), row.view);
        const auto pnp = UpdateCommand(&Pane(), ID_DEVICEPROPS_PNP);
        EXPECT_EQ(pnp.enabled, row.pnp);
        EXPECT_EQ(pnp.check, 1) << "the button shows pressed";
        const bool enabled[] = {row.device, row.configuration, row.hubClass, false};
        for (int i = 0; i < 4; ++i) {
            const auto view = UpdateCommand(&Pane(), kViews[i]);
            EXPECT_EQ(view.enabled, enabled[i]) << kViews[i];
            EXPECT_EQ(view.radio, kViews[i] == row.view ? 1 : 0) << kViews[i];
        }
    }

    // On the other pages every command is off, whatever the item, and the view stays.
    for (UINT nPage : {kStacksPage, kDriversPage}) {
        UsePage(nPage);
        for (int type : {1, 2, 5, 13, 15}) {
            SCOPED_TRACE(testing::Message() << "page " << nPage << " type " << type);
            Select(type, nullptr);
            for (UINT nID : {ID_DEVICEPROPS_PNP, ID_DEVICEPROPS_DESCRIPTORS, ID_DESCRIPTORS_DEVICE,
                             ID_DESCRIPTORS_CONFIGURATION, ID_DESCRIPTORS_HUBCLASS, ID_DESCRIPTORS_STRING})
                EXPECT_FALSE(UpdateCommand(&Pane(), nID).enabled) << nID;
            EXPECT_EQ(Pane().GetDescriptorView(), ID_DESCRIPTORS_CONFIGURATION);
        }
    }
}

TEST_F(DevicePropertiesTest, TheDescriptorsMenuMarksTheViewTheSelectionTakesAndShowsTheOneChosen) {
    CGkToolBar& bar = Pane().GetToolBar();
    CGkControl* pDescriptors = bar.FindControl(ID_DEVICEPROPS_DESCRIPTORS);
    // Opens the menu with the split arrow, as a user does, and chooses nChoice (0: none).
    const auto openMenu = [&](UINT nChoice) {
        Idle();
        std::vector<std::string> items;
        win32::QueueModalSteps(win32::ModalKind::PopupMenu, [&](const win32::ModalRequest&, HWND) -> INT_PTR {
            items = MenuItems(pDescriptors->GetMenu());
            return nChoice;
        });
        win32::Click(bar.GetSafeHwnd(), pDescriptors->GetArrowRect().CenterPoint());
        win32::PumpUiMessages();
        return items;
    };

    Select(DT_ROOT_HUB, EhciRootHubNode());
    EXPECT_EQ(openMenu(ID_DESCRIPTORS_HUBCLASS),
              (std::vector<std::string>{"&Device (off)", "&Configuration (off)", "&Hub Class *", "&String (off)"}));
    EXPECT_EQ(Model().substr(0, 42), "Hub Class Descriptor\n  Descriptor Length =");

    // A device afterwards: the configuration, since the device's own view was not the one checked.
    Select(DT_GENERIC_USB, CompositeNode());
    EXPECT_EQ(openMenu(ID_DESCRIPTORS_DEVICE),
              (std::vector<std::string>{"&Device", "&Configuration *", "&Hub Class (off)", "&String (off)"}));
    EXPECT_EQ(Model().substr(0, 27), "Device Descriptor\n  bLength");
    // Another device keeps the device view the user chose.
    Select(DT_GENERIC_USB, MouseNode());
    EXPECT_EQ(openMenu(0),
              (std::vector<std::string>{"&Device *", "&Configuration", "&Hub Class (off)", "&String (off)"}));
    // "&String" is never offered: chosen as a menu would, it is dropped; sent as a control would, it takes
    // the view and shows nothing.
    Choose(ID_DESCRIPTORS_STRING);
    EXPECT_EQ(Pane().GetDescriptorView(), ID_DESCRIPTORS_DEVICE);
    SendFromControl(ID_DESCRIPTORS_STRING);
    EXPECT_EQ(Pane().GetDescriptorView(), ID_DESCRIPTORS_STRING);
    EXPECT_EQ(Model(), "Device Properties\n");
    EXPECT_EQ(UpdateCommand(&Pane(), ID_DESCRIPTORS_STRING).radio, 1);
    EXPECT_TRUE(win32::UnexpectedModalRequests().empty());
}

TEST_F(DevicePropertiesTest, TheDescriptorsFaceAlternatesADevicesTwoViewsAndShowsARootHubsHubDescriptor) {
    CGkToolBar& bar = Pane().GetToolBar();
    CGkControl* pDescriptors = bar.FindControl(ID_DEVICEPROPS_DESCRIPTORS);
    const auto pressFace = [&] {
        Idle();
        CRect face = pDescriptors->GetRect();
        face.right = pDescriptors->GetArrowRect().left;
        win32::Click(bar.GetSafeHwnd(), face.CenterPoint());
        win32::PumpUiMessages();
        const std::string model = Model();
        return model.substr(0, model.find('\n'));
    };
    Select(DT_EXTERN_HUB, ExternalHubNode());
    EXPECT_EQ(pressFace(), "Full Configuration Descriptor (External Hub)");
    EXPECT_EQ(pressFace(), "Device Descriptor (External Hub)");
    EXPECT_EQ(pressFace(), "Full Configuration Descriptor (External Hub)");
    Select(DT_SS_ROOT_HUB, XhciRootHubNode());
    EXPECT_EQ(pressFace(), "Hub Class Descriptor");
    EXPECT_EQ(pressFace(), "Hub Class Descriptor");
    // The root hub's view gave way to the configuration view, which the face turns from.
    Select(DT_GENERIC_USB, MouseNode());
    EXPECT_EQ(pressFace(), "Device Descriptor");
    EXPECT_EQ(pressFace(), "Full Configuration Descriptor");
    // An empty port offers no descriptor: the disabled face does nothing.
    Select(DT_HUB_PORT, EmptyPortNode());
    EXPECT_EQ(pressFace(), "Full Configuration Descriptor");
    EXPECT_FALSE(pDescriptors->GetEnabled());
}

TEST_F(DevicePropertiesTest, DescriptorTitlesNameTheSelectedType) {
    struct Case {
        int type;
        const char* device;
        const char* configuration;
    };
    const Case cases[] = {
        {DT_EXTERN_HUB, "Device Descriptor (External Hub)", "Full Configuration Descriptor (External Hub)"},
        {DT_GENERIC_USB, "Device Descriptor", "Full Configuration Descriptor"},
        {DT_SS_EXTERN_HUB, "Device Descriptor (External SuperSpeed Hub)",
         "Full Configuration Descriptor (External SuperSpeed Hub)"},
        {DT_SS_GENERIC_USB, "Device Descriptor (SuperSpeed)", "Full Configuration Descriptor (SuperSpeed)"},
        {DT_PROBLEM, "Device Descriptor - ?", "Full Configuration Descriptor - ?"},
    };
    // The same port under each type: only the titles differ. The views are sent as a control sends them, so
    // that a type the menu never offers them for reaches them too.
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        Select(c.type, CompositeNode());
        SendFromControl(ID_DESCRIPTORS_DEVICE);
        EXPECT_EQ(Text(Category()->GetCaption()), c.device);
        EXPECT_EQ(Text(Category()->GetChilds()->GetAt(0)->GetCaption()), "bLength");
        SendFromControl(ID_DESCRIPTORS_CONFIGURATION);
        EXPECT_EQ(Text(Category()->GetCaption()), c.configuration);
        EXPECT_EQ(Text(Category()->GetChilds()->GetAt(0)->GetCaption()), "CONFIGURATION (1)");
    }
    Select(DT_ROOT_HUB, EhciRootHubNode());
    SendFromControl(ID_DESCRIPTORS_HUBCLASS);
    EXPECT_EQ(Text(Category()->GetCaption()), "Hub Class Descriptor");
    Select(DT_PROBLEM, EhciRootHubNode());
    SendFromControl(ID_DESCRIPTORS_HUBCLASS);
    EXPECT_EQ(Text(Category()->GetCaption()), "Hub Class Descriptor - ?");
}

TEST_F(DevicePropertiesTest, AProblemPortSelectedAfterADeviceEmptiesTheCategory) {
    Select(DT_GENERIC_USB, CompositeNode());
    RequestPnp();
    EXPECT_EQ(Text(Category()->GetCaption()), "USB Device Properties");
    ASSERT_GT(Category()->GetChilds()->GetCount(), 0);
    // A port whose device failed shows as a problem: its properties button is off, yet the device tree's
    // request still replaces the device's properties with none.
    Select(DT_PROBLEM, CompositeNode());
    EXPECT_FALSE(UpdateCommand(&Pane(), ID_DEVICEPROPS_PNP).enabled);
    RequestPnp();
    EXPECT_EQ(Model(), "Device Properties\n");
}

// Standalone model objects in a connection tree of the test's own.
class DevicePropertiesModelTest : public DevicePropertiesTest {
protected:
    // A port element of that kind under a root, holding m_port.
    Node* PortNode(UINT nElementType = RootHubPort) {
        return m_root.insert(ConnectionElement(FALSE, nElementType, &m_port)).node();
    }
    Node* HubNode(UINT nElementType = RootHub) {
        return m_root.insert(ConnectionElement(FALSE, nElementType, &m_hub)).node();
    }
    // The port's connection block, exactly its size, with a device descriptor of that length byte.
    void GiveConnectionBlock(BYTE bLength) {
        m_port.m_pConnectionInfo = AllocateZeroedBuffer(CHubPort::ConnectionBlockSize);
        BYTE* pDescriptor = m_port.m_pConnectionInfo + 12;
        const BYTE descriptor[18] = {bLength, 1, 0x00, 0x02, 0, 0, 0, 0x40, 0x51, 0x7a, 0x01, 0x0c, 0, 1, 1, 2, 3, 1};
        std::copy(std::begin(descriptor), std::end(descriptor), pDescriptor);
    }

    Node m_root;
    CHubPort m_port{1};
    CUsbHub m_hub;
};

TEST_F(DevicePropertiesModelTest, APortWithoutConfigurationsOrConnectionBlockShowsOnlyTheTitle) {
    Select(DT_GENERIC_USB, PortNode());
    Choose(ID_DESCRIPTORS_DEVICE);
    EXPECT_EQ(Model(), "Device Descriptor\n") << "no connection block";

    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK);
    Choose(ID_DESCRIPTORS_CONFIGURATION);
    EXPECT_EQ(Model(), "Full Configuration Descriptor\n");
    const std::vector<win32::ModalRequest> boxes = win32::ModalRequests();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "There are no configurations available");
    EXPECT_EQ(boxes[0].style & MB_ICONMASK, static_cast<UINT>(MB_ICONEXCLAMATION));
}

TEST_F(DevicePropertiesModelTest, ADeviceDescriptorIsReadNoFurtherThanItsLengthAndTheBlock) {
    Select(DT_GENERIC_USB, PortNode(ExternalHubPort));
    // A length past the descriptor's 18 bytes reads those 18 (the block ends 13 bytes after them); a shorter
    // one ends the rows at the first field it does not cover.
    GiveConnectionBlock(255);
    Choose(ID_DESCRIPTORS_DEVICE);
    const std::string whole = R"(Device Descriptor
  bLength = 0xff
  bDescriptorType = 0x01 (DEVICE)
  bcdUSB = 0x0200 (2.0)
  bDeviceClass = 0x00 (NoClass)
  bDeviceSubClass = 0x00
  bDeviceProtocol = 0x00
  bMaxPacketSize0 = 0x40
  idVendor = 0x7a51
  idProduct = 0x0c01
  bcdDevice = 0x0100 (1.0)
  iManufacturer = 0x01
  iProduct = 0x02
  iSerialNumber = 0x03
  bNumConfigurations = 0x01
)";
    EXPECT_EQ(Model(), whole);
    FreeBuffer(m_port.m_pConnectionInfo);
    GiveConnectionBlock(8);
    Choose(ID_DESCRIPTORS_DEVICE);
    std::string first8 = whole.substr(0, whole.find("  idVendor"));
    first8.replace(first8.find("0xff"), 4, "0x08");
    EXPECT_EQ(Model(), first8);
}

TEST_F(DevicePropertiesModelTest, TheHubDescriptorsTypeChoosesItsDecoder) {
    struct Case {
        BYTE type;
        const char* typeRow; // the decoder's row of the type; null: only the title
    };
    const Case cases[] = {
        {0x29, "  Descriptor Type = 0x29 (HUB CLASS)\n"},
        {0x00, "  Descriptor Type = 0x00"},
        {0x2A, "  Descriptor Type = 0x2a (SUPERSPEED HUB CLASS)\n"},
        {0x01, nullptr},
        {0x2B, nullptr},
    };
    Select(DT_ROOT_HUB, HubNode());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.type);
        std::fill(std::begin(m_hub.m_HubDescriptorBlock), std::end(m_hub.m_HubDescriptorBlock), 0);
        m_hub.m_HubDescriptorBlock[8] = 9;
        m_hub.m_HubDescriptorBlock[9] = c.type;
        m_hub.m_HubDescriptorBlock[10] = 2;
        Choose(ID_DESCRIPTORS_HUBCLASS);
        const std::string model = Model();
        EXPECT_EQ(model.substr(0, model.find('\n')), "Hub Class Descriptor");
        if (c.typeRow == nullptr)
            EXPECT_EQ(model, "Hub Class Descriptor\n");
        else
            EXPECT_NE(model.find(c.typeRow), std::string::npos) << model;
    }
}

TEST_F(DevicePropertiesModelTest, AHubDescriptorClaimingMoreThanTheBlockHoldsStopsAtItsEnd) {
    // A length of 255 claims two bitmaps of 124 bytes after the 7-byte head; the driver keeps 71 bytes in all.
    m_hub.m_HubDescriptorBlock[8] = 255;
    m_hub.m_HubDescriptorBlock[9] = 0x29;
    m_hub.m_HubDescriptorBlock[10] = 255;
    std::fill(std::begin(m_hub.m_HubDescriptorBlock) + 15, std::end(m_hub.m_HubDescriptorBlock), 0xFF);
    Select(DT_ROOT_HUB, HubNode());
    Choose(ID_DESCRIPTORS_HUBCLASS);
    CGkPropertyGridItems* pRows = Category()->GetChilds();
    const CGkPropertyGridItem* pRemovable = pRows->FindItem("DeviceRemovable");
    const CGkPropertyGridItem* pPowerMask = pRows->FindItem("PortPwrCtrlMask");
    ASSERT_NE(pRemovable, nullptr);
    ASSERT_NE(pPowerMask, nullptr);
    // 255 ports take 32 bytes of the first bitmap; the second would begin past the block and shows nothing.
    ASSERT_EQ(pRemovable->GetChilds()->GetCount(), 256);
    EXPECT_EQ(Text(pRemovable->GetChilds()->GetAt(255)->GetCaption()), "bit.255.Port_255");
    EXPECT_EQ(pPowerMask->GetChilds()->GetCount(), 0);

    // The SuperSpeed form's bitmap is two bytes whatever the port count.
    m_hub.m_HubDescriptorBlock[9] = 0x2A;
    Choose(ID_DESCRIPTORS_HUBCLASS);
    pRemovable = Category()->GetChilds()->FindItem("DeviceRemovable");
    ASSERT_NE(pRemovable, nullptr);
    EXPECT_EQ(pRemovable->GetChilds()->GetCount(), 16);
}

TEST_F(DevicePropertiesModelTest, ASelectionTheViewsCannotReadEmptiesTheCategoryQuietly) {
    // Shows the external hub's properties, then the same request with one piece of the selection missing.
    const auto showSomething = [&] {
        UsePage(kDevicesPage);
        Select(DT_EXTERN_HUB, ExternalHubNode());
        RequestPnp();
        ASSERT_EQ(Text(Category()->GetCaption()), "External Hub Properties");
    };
    Node* pEmptyElement = m_root.insert(ConnectionElement()).node();
    Node* pHub = HubNode();
    constexpr UINT kPnp = ID_DEVICEPROPS_PNP;
    constexpr UINT kDevice = ID_DESCRIPTORS_DEVICE;
    constexpr UINT kConfiguration = ID_DESCRIPTORS_CONFIGURATION;
    constexpr UINT kHubClass = ID_DESCRIPTORS_HUBCLASS;
    struct Case {
        const char* what;
        std::function<void()> breakSelection;
        std::vector<UINT> commands;
    };
    const Case cases[] = {
        // With the device tree's tabs there is always a page: an empty one stands for none.
        {"no active page",
         [&] {
             if (!ForgetActivePage())
                 UsePage(kDevicesPage);
         },
         {kPnp, kDevice, kConfiguration, kHubClass}},
        {"no caret item", [&] { UsePage(kDevicesPage); }, {kPnp, kDevice, kConfiguration, kHubClass}},
        {"no item data", [&] { Select(DT_EXTERN_HUB, nullptr); }, {kPnp, kDevice, kConfiguration, kHubClass}},
        {"no model object", [&] { Select(DT_EXTERN_HUB, pEmptyElement); }, {kPnp, kDevice, kConfiguration, kHubClass}},
        // Only a Devices-page item's data is a node of the connection tree.
        {"another page",
         [&] {
             UsePage(kStacksPage);
             Select(DT_EXTERN_HUB, ExternalHubNode());
         },
         {kPnp, kDevice, kConfiguration, kHubClass}},
        // The type names one object, the element holds another: each view asks for its own.
        {"a host controller's type on a port", [&] { Select(DT_HOST_CONTROLLER, ExternalHubNode()); }, {kPnp}},
        {"a root hub's type on a port", [&] { Select(DT_ROOT_HUB, ExternalHubNode()); }, {kPnp, kHubClass}},
        {"a port's type on a hub", [&] { Select(DT_EXTERN_HUB, pHub); }, {kPnp, kDevice, kConfiguration}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        for (UINT nID : c.commands) {
            showSomething();
            c.breakSelection();
            SendFromControl(nID);
            EXPECT_EQ(Model(), "Device Properties\n") << nID;
        }
    }
    // Without a document: the live capture's window closed.
    showSomething();
    Frame()->MDIGetActive()->SendMessage(WM_CLOSE);
    win32::PumpUiMessages();
    ASSERT_EQ(Frame()->GetActiveLogDocument(), nullptr);
    m_pDoc = nullptr;
    for (UINT nID : {ID_DEVICEPROPS_PNP, ID_DESCRIPTORS_DEVICE}) {
        SendFromControl(nID);
        EXPECT_EQ(Model(), "Device Properties\n") << nID;
    }
    EXPECT_TRUE(win32::ModalRequests().empty());
}

TEST_F(DevicePropertiesTest, BothPropertiesPanesSendTheDataBarsToggleToTheMainWindow) {
    Frame()->GetPaneManager().ShowPane(ID_VIEW_SYSTEMPROPERTIES);
    win32::PumpUiMessages();
    CSystemPropertiesWnd* pSystem = Frame()->GetSystemPropertiesPane();
    ASSERT_NE(pSystem, nullptr);
    for (CPropertiesWnd* pPane : {static_cast<CPropertiesWnd*>(&Pane()), static_cast<CPropertiesWnd*>(pSystem)}) {
        CGkPropertyGrid* pGrid = &pPane->GetGrid();
        CGkPropertyGridItem* pItem = pGrid->GetCategories()->GetAt(0)->AddChildItem(new CGkPropertyGridItem("Data"));
        auto* pToggle = pItem->GetInplaceButtons()->AddButton(new CGkPropertyGridInplaceButton(ID_VIEW_DATABAR));
        auto* pExport = pItem->GetInplaceButtons()->AddButton(new CGkPropertyGridInplaceButton(240));
        const BOOL bShown = Frame()->IsPaneVisible(ID_VIEW_DATABAR);
        ASSERT_TRUE(pGrid->PressInplaceButton(pToggle));
        win32::PumpUiMessages();
        EXPECT_NE(Frame()->IsPaneVisible(ID_VIEW_DATABAR), bShown);
        // The CSV export is the Log Details pane's alone.
        EXPECT_EQ(
            pPane->SendMessage(GKWM_PROPERTYGRID_NOTIFY, GK_PGN_INPLACEBUTTONDOWN, reinterpret_cast<LPARAM>(pExport)),
            FALSE);
        pItem->Remove();
    }
}

} // namespace
