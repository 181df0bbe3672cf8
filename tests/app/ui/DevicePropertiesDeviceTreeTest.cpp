// The Device Properties pane driven through the device tree as its user drives it: an item clicked on the
// Devices tab shows its Plug and Play properties, and the pane's commands follow that item; on the Stacks and
// Drivers tabs the pane offers nothing.
#include "tests/app/ui/DeviceTreeFixture.h"

#include <string>
#include <vector>

#include "GkPropertyGrid.h"
#include "app/ui/panes/DevicePropertiesWnd.h"
#include "tests/app/ui/CommandState.h"
#include "tests/app/ui/DevicePropertiesGoldens.h"
#include "tests/support/Pictures.h"

namespace mainwin_test {
namespace {

using namespace deviceprops_test::golden;

// The pane's six commands in the order the expected states are written.
constexpr UINT kCommands[] = {ID_DEVICEPROPS_PNP,           ID_DEVICEPROPS_DESCRIPTORS, ID_DESCRIPTORS_DEVICE,
                              ID_DESCRIPTORS_CONFIGURATION, ID_DESCRIPTORS_HUBCLASS,    ID_DESCRIPTORS_STRING};

class DevicePropertiesOnDeviceTreeTest : public DeviceTreeTest {
protected:
    void SetUp() override {
        DeviceTreeTest::SetUp();
        StartWithTree();
        Frame()->GetPaneManager().ShowPane(ID_VIEW_DEVICEPROPERTIES);
        win32::PumpUiMessages();
        m_pPane = Frame()->GetDevicePropertiesPane();
        ASSERT_NE(m_pPane, nullptr);
    }
    void TearDown() override {
        win32::ClearModalRequests();
        DeviceTreeTest::TearDown();
    }

    CDevicePropertiesWnd& Pane() { return *m_pPane; }
    CTreeCtrl& Devices() { return Tab().GetDevicesTab().GetTree(); }

    // The user clicks the item down that path of the Devices tab.
    void ClickDevice(const std::vector<std::string>& path) {
        HTREEITEM hItem = FindPath(Devices(), path);
        ASSERT_NE(hItem, nullptr) << path.back();
        ClickLabel(Devices(), hItem);
    }
    // Each command's enabled state as '1' or '0', in kCommands' order.
    std::string EnabledCommands() {
        std::string states;
        for (UINT nID : kCommands)
            states += UpdateCommand(&Pane(), nID).enabled ? '1' : '0';
        return states;
    }
    // The grid's model with categories and expanded items marked.
    std::string Model() {
        const CString model = Pane().GetGrid().DumpModel(gkDumpCategory | gkDumpExpanded | gkDumpHidden);
        return std::string(model.GetString(), static_cast<size_t>(model.GetLength()));
    }
    std::string Caption() {
        const std::string model = Model();
        return model.substr(0, model.find(" [category]"));
    }

    CDevicePropertiesWnd* m_pPane = nullptr;
};

TEST_F(DevicePropertiesOnDeviceTreeTest, AClickedItemShowsItsPropertiesAndOffersTheViewsOfItsType) {
    struct Row {
        std::vector<std::string> path;
        const char* pnpCaption; // the category's caption after the click
        const char* enabled;    // PnP, Descriptors, Device, Configuration, Hub Class, String
        UINT view;              // a view then chosen from the menu, 0 for none
        const char* model;      // what the click or the view shows in full, null when only the caption is known
    };
    const Row rows[] = {
        {{}, "Device Properties", "000000", 0, nullptr},
        {{"Standard Enhanced"}, "Host Controller Properties", "100000", 0, kEhciControllerPnp},
        {{"Standard Enhanced", "RootHub"}, "RootHub Properties", "110010", 0, kEhciRootHubPnp},
        {{"Standard Enhanced", "RootHub", "Port 3: No device"}, "Hub Port Properties", "100000", 0, nullptr},
        {{"Standard Enhanced", "RootHub", "Port 1: Generic USB Hub"},
         "External Hub Properties",
         "111100",
         ID_DESCRIPTORS_DEVICE,
         kExternalHubDevice},
        {{"Standard Enhanced", "RootHub", "Port 1: Generic USB Hub", "Port 3: USB Composite"},
         "USB Device Properties",
         "111100",
         ID_DESCRIPTORS_CONFIGURATION,
         kCompositeConfiguration},
        {{"Standard Universal", "RootHub", "Port 1: USB Input"},
         "USB Device Properties",
         "111100",
         ID_DESCRIPTORS_DEVICE,
         kMouseDevice},
        {{"USB 3.0 eXtensible", "SuperSpeed RootHub"},
         "SuperSpeed RootHub Properties",
         "110010",
         ID_DESCRIPTORS_HUBCLASS,
         kXhciRootHubHubClass},
        {{"USB 3.0 eXtensible", "SuperSpeed RootHub", "Port 1: USB 3.0 Hub"},
         "External SuperSpeed Hub Properties",
         "111100",
         0,
         nullptr},
        {{"USB 3.0 eXtensible", "SuperSpeed RootHub", "Port 1: USB 3.0 Hub", "Port 1: USB Mass Storage"},
         "SuperSpeed USB Device Properties",
         "111100",
         0,
         nullptr},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path.empty() ? "the machine" : row.path.back());
        if (row.path.empty())
            ClickLabel(Devices(), Devices().GetRootItem());
        else
            ClickDevice(row.path);
        EXPECT_EQ(Caption(), row.pnpCaption);
        EXPECT_EQ(EnabledCommands(), row.enabled);
        if (row.view != 0)
            Pane().SendMessage(WM_COMMAND, row.view, 0);
        if (row.model != nullptr)
            EXPECT_EQ(Model(), row.model);
    }
    EXPECT_TRUE(win32::ModalRequests().empty());
}

TEST_F(DevicePropertiesOnDeviceTreeTest, OnTheStacksAndDriversTabsEveryCommandIsOff) {
    ClickDevice({"Standard Enhanced", "RootHub"});
    ASSERT_EQ(EnabledCommands(), "110010");
    for (int nTab : {1, 2}) {
        SCOPED_TRACE(nTab);
        ShowPage(nTab);
        CTreeCtrl& tree = nTab == 1 ? static_cast<CTreeCtrl&>(Tab().GetStacksTab().GetTree())
                                    : static_cast<CTreeCtrl&>(Tab().GetDriversTab().GetTree());
        ClickLabel(tree, tree.GetChildItem(tree.GetRootItem()));
        EXPECT_EQ(EnabledCommands(), "000000");
    }
    // Back on the Devices tab, its selection offers its views again.
    ShowPage(0);
    EXPECT_EQ(EnabledCommands(), "110010");
}

TEST_F(DevicePropertiesOnDeviceTreeTest, PictureShowsTheSelectedDeviceBesideItsConfiguration) {
    const std::vector<std::string> path = {"Standard Enhanced", "RootHub", "Port 1: Generic USB Hub",
                                           "Port 3: USB Composite"};
    ClickDevice(path);
    Pane().SendMessage(WM_COMMAND, ID_DESCRIPTORS_CONFIGURATION, 0);
    Idle();
    ::RedrawWindow(Frame()->GetSafeHwnd(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    win32::PumpUiMessages();
    tdl::test::Picture picture(Frame()->GetSafeHwnd(), "device_properties_device_tree.png");
    ASSERT_TRUE(picture.IsValid());
    const auto inFrame = [this](CWnd& wnd, CRect rc) {
        ::MapWindowPoints(wnd.GetSafeHwnd(), Frame()->GetSafeHwnd(), reinterpret_cast<POINT*>(&rc), 2);
        return rc;
    };
    // The device's label on the selection's colour, ...
    CRect label;
    Devices().GetItemRect(FindPath(Devices(), path), &label, TRUE);
    const COLORREF selection = ::GetSysColor(COLOR_HIGHLIGHT);
    EXPECT_GT(picture.Count(inFrame(Devices(), label), [selection](COLORREF c) { return c == selection; }),
              label.Width() * label.Height() / 2);
    // ... and the pane's first row, the configuration's title, in dark text.
    CGkPropertyGrid& grid = Pane().GetGrid();
    EXPECT_GT(picture.Count(inFrame(grid, grid.GetRowRect(0)), tdl::test::IsDark), 20);
}

} // namespace
} // namespace mainwin_test
