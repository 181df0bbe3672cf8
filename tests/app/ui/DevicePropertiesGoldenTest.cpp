// The Device Properties pane on the default machine: what each view shows of its controllers, hubs and
// devices, as the grid's model, and the pane's picture.
#include "tests/app/ui/DevicePropertiesFixture.h"

#include <string>

#include "tests/app/ui/DevicePropertiesGoldens.h"
#include "tests/support/Pictures.h"

namespace {

using deviceprops_test::DevicePropertiesTest;
using deviceprops_test::Node;
using deviceprops_test::Text;
using namespace deviceprops_test::golden;

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
        {"EHCI controller", DT_HOST_CONTROLLER, EhciControllerNode(), ID_DEVICEPROPS_PNP, kEhciControllerPnp},
        {"EHCI root hub", DT_ROOT_HUB, EhciRootHubNode(), ID_DEVICEPROPS_PNP, kEhciRootHubPnp},
        {"external hub", DT_EXTERN_HUB, ExternalHubNode(), ID_DESCRIPTORS_DEVICE, kExternalHubDevice},
        {"composite device", DT_GENERIC_USB, CompositeNode(), ID_DESCRIPTORS_CONFIGURATION, kCompositeConfiguration},
        {"mouse", DT_GENERIC_USB, MouseNode(), ID_DESCRIPTORS_DEVICE, kMouseDevice},
        {"xHCI root hub", DT_SS_ROOT_HUB, XhciRootHubNode(), ID_DESCRIPTORS_HUBCLASS, kXhciRootHubHubClass},
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
    EXPECT_GE(count(CRect(pnp.left, pnp.top, pnp.right, pnp.top + 1), ::GetSysColor(COLOR_BTNSHADOW)), pnp.Width() - 1);
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
