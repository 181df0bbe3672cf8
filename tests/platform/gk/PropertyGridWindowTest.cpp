// The property grid as a window: in-place buttons and the owner's notification, the mouse and keys, the
// scroll bar, and what its picture shows.
#include <gtest/gtest.h>

#include "GkPropertyGrid.h"
#include "GkTestSupport.h"
#include "WinUiControl.h"

namespace {

using gk_test::COwnerWnd;

constexpr UINT kGridId = 100;

class GridWindowTest : public gk_test::GkWindowTest {
protected:
    void SetUp() override {
        GkWindowTest::SetUp();
        ASSERT_TRUE(
            m_owner.CreateEx(0, nullptr, "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 420, 360), nullptr, 0));
        CRect rcClient;
        m_owner.GetClientRect(&rcClient);
        ASSERT_TRUE(m_grid.Create(rcClient, &m_owner, kGridId));
        m_grid.SetTheme(6);
        m_grid.SetHelpHeight(40);

        m_pEntry = m_grid.AddCategory("Log Entry");
        m_pType = m_pEntry->AddChildItem(new CGkPropertyGridItem("Type", "URB"));
        m_pType->SetDescription("One of URB, USBINT, IHUB, MPORT, HCD, HUB, HID, PNP, PWR");
        m_pRecord = m_pEntry->AddChildItem(new CGkPropertyGridItem("Record", "12"));
        m_pRecord->GetCaptionMetrics()->m_clrFore = 0xFF0000;
        m_pRecord->GetCaptionMetrics()->m_clrBack = 0xEBEBEB;
        m_pStatus = m_pEntry->AddChildItem(new CGkPropertyGridItem("Status", "STATUS_UNSUCCESSFUL"));
        m_pStatus->GetValueMetrics()->m_clrFore = 255;
        m_pEntry->Expand();

        m_pSecret = m_grid.AddCategory("Secret");
        m_pSecret->GetCaptionMetrics()->m_clrBack = RGB(0, 255, 0);
        m_pSecret->AddChildItem(new CGkPropertyGridItem("Hidden child", "x"))->GetCaptionMetrics()->m_clrBack =
            RGB(0, 255, 0);
        m_pSecret->Expand();
        m_pSecret->SetHidden(TRUE);

        m_pUrb = m_grid.AddCategory("URB");
        m_pBuffer = m_pUrb->AddChildItem(new CGkPropertyGridItem("TransferBuffer"));
        m_pToggle = m_pBuffer->GetInplaceButtons()->AddButton(new CGkPropertyGridInplaceButton(59525));
        m_pToggle->SetCaption("Toggle Databar");
        m_pExport = m_pBuffer->GetInplaceButtons()->AddButton(new CGkPropertyGridInplaceButton(240));
        m_pExport->SetCaption("Export as CSV...");
        m_pSetup = m_pUrb->AddChildItem(new CGkPropertyGridItem("SetupPacket", "80 06 00 01"));
        m_pSetup->AddChildItem(new CGkPropertyGridItem("bRequest", "0x06"));
        m_pUrb->Expand();
        m_grid.SetShowInplaceButtonsAlways(TRUE);
        m_grid.SetFocus();
        win32::PumpUiMessages();
    }
    void TearDown() override {
        m_grid.DestroyWindow();
        m_owner.DestroyWindow();
        GkWindowTest::TearDown();
    }

    static CPoint Center(const CRect& rc) { return CPoint((rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2); }
    void Key(BYTE vk) {
        win32::PressKey(m_grid.m_hWnd, vk);
        win32::PumpUiMessages();
    }
    CRect RowOf(const CGkPropertyGridItem* pItem) const { return m_grid.GetRowRect(m_grid.FindRow(pItem)); }

    COwnerWnd m_owner;
    CGkPropertyGrid m_grid;
    CGkPropertyGridItem* m_pEntry = nullptr;
    CGkPropertyGridItem* m_pType = nullptr;
    CGkPropertyGridItem* m_pRecord = nullptr;
    CGkPropertyGridItem* m_pStatus = nullptr;
    CGkPropertyGridItem* m_pSecret = nullptr;
    CGkPropertyGridItem* m_pUrb = nullptr;
    CGkPropertyGridItem* m_pBuffer = nullptr;
    CGkPropertyGridItem* m_pSetup = nullptr;
    CGkPropertyGridInplaceButton* m_pToggle = nullptr;
    CGkPropertyGridInplaceButton* m_pExport = nullptr;
};

TEST_F(GridWindowTest, ClickOnAnInplaceButtonTellsTheOwnerOnce) {
    CRect rcExport = m_grid.GetInplaceButtonRect(m_pExport);
    CRect rcToggle = m_grid.GetInplaceButtonRect(m_pToggle);
    ASSERT_FALSE(rcExport.IsRectEmpty());
    EXPECT_LT(rcToggle.right, rcExport.left + 1); // in the order they were added, at the right edge
    EXPECT_EQ(rcExport.right, RowOf(m_pBuffer).right);

    win32::Click(m_grid.m_hWnd, Center(rcExport));
    win32::PumpUiMessages();
    ASSERT_EQ(m_owner.m_notifications.size(), 1u);
    EXPECT_EQ(m_owner.m_notifications[0].message, static_cast<UINT>(0x2ADF));
    EXPECT_EQ(m_owner.m_notifications[0].wParam, 5u);
    auto* pPressed = reinterpret_cast<CGkPropertyGridInplaceButton*>(m_owner.m_notifications[0].lParam);
    ASSERT_EQ(pPressed, m_pExport);
    EXPECT_EQ(pPressed->GetID(), 240u);
    EXPECT_EQ(m_grid.GetSelectedItem(), m_pBuffer);

    // Shown on the selected row only, when not always.
    m_grid.SetShowInplaceButtonsAlways(FALSE);
    m_pType->Select();
    EXPECT_TRUE(m_grid.GetInplaceButtonRect(m_pToggle).IsRectEmpty());
    win32::Click(m_grid.m_hWnd, Center(rcToggle)); // now the value cell: selects the row
    win32::PumpUiMessages();
    EXPECT_EQ(m_owner.m_notifications.size(), 1u);
    EXPECT_EQ(m_grid.GetSelectedItem(), m_pBuffer);
    win32::Click(m_grid.m_hWnd, Center(m_grid.GetInplaceButtonRect(m_pToggle)));
    win32::PumpUiMessages();
    ASSERT_EQ(m_owner.m_notifications.size(), 2u);
    EXPECT_EQ(reinterpret_cast<CGkPropertyGridInplaceButton*>(m_owner.m_notifications[1].lParam)->GetID(), 59525u);
}

TEST_F(GridWindowTest, InANarrowGridTheButtonsShareTheValueCell) {
    // Too narrow for both captions: the buttons keep to the value cell, side by side, each still pressable.
    m_owner.MoveWindow(0, 0, 180, 360);
    m_grid.MoveWindow(0, 0, 160, 300);
    const CRect rcToggle = m_grid.GetInplaceButtonRect(m_pToggle);
    const CRect rcExport = m_grid.GetInplaceButtonRect(m_pExport);
    ASSERT_FALSE(rcToggle.IsRectEmpty());
    ASSERT_FALSE(rcExport.IsRectEmpty());
    EXPECT_GT(rcToggle.left, m_grid.GetSplitterPos());
    EXPECT_EQ(rcToggle.right, rcExport.left);
    EXPECT_EQ(rcExport.right, RowOf(m_pBuffer).right);
    {
        // The caption cell keeps its text up to the split.
        tdl::test::Picture picture(m_grid.m_hWnd, "gk_narrow_buttons.png");
        ASSERT_TRUE(picture.IsValid());
        const CRect rcRow = RowOf(m_pBuffer);
        EXPECT_GT(
            picture.Count(CRect(rcRow.left + 14, rcRow.top, m_grid.GetSplitterPos(), rcRow.bottom), tdl::test::IsDark),
            10);
    }
    for (CGkPropertyGridInplaceButton* pButton : {m_pToggle, m_pExport}) {
        win32::Click(m_grid.m_hWnd, Center(m_grid.GetInplaceButtonRect(pButton)));
        win32::PumpUiMessages();
        ASSERT_FALSE(m_owner.m_notifications.empty());
        EXPECT_EQ(reinterpret_cast<CGkPropertyGridInplaceButton*>(m_owner.m_notifications.back().lParam), pButton);
    }
    EXPECT_EQ(m_owner.m_notifications.size(), 2u);
}

TEST_F(GridWindowTest, OnlyAShownItemsButtonsCanBePressed) {
    EXPECT_TRUE(m_grid.PressInplaceButton(m_pToggle));
    ASSERT_EQ(m_owner.m_notifications.size(), 1u);

    m_pBuffer->SetHidden(TRUE);
    EXPECT_FALSE(m_grid.PressInplaceButton(m_pToggle));
    EXPECT_TRUE(m_grid.GetInplaceButtonRect(m_pToggle).IsRectEmpty());
    m_pBuffer->SetHidden(FALSE);

    m_pUrb->SetHidden(TRUE);
    EXPECT_FALSE(m_grid.PressInplaceButton(m_pExport));
    m_pUrb->SetHidden(FALSE);

    m_pUrb->Collapse();
    EXPECT_FALSE(m_grid.PressInplaceButton(m_pExport));
    m_pUrb->Expand();

    // A button of an item below a collapsed item.
    auto* pDeep = m_pSetup->GetChilds()->GetAt(0)->GetInplaceButtons()->AddButton(new CGkPropertyGridInplaceButton(7));
    EXPECT_FALSE(m_grid.PressInplaceButton(pDeep));
    m_pSetup->Expand();
    EXPECT_TRUE(m_grid.PressInplaceButton(pDeep));

    CGkPropertyGridInplaceButton loose(9);
    EXPECT_FALSE(m_grid.PressInplaceButton(&loose));
    EXPECT_FALSE(m_grid.PressInplaceButton(nullptr));
    EXPECT_EQ(m_owner.m_notifications.size(), 2u);
}

TEST_F(GridWindowTest, MouseAndKeysSelectExpandAndCollapse) {
    // A click on a category's glyph collapses it; on a row it selects.
    CRect rcUrb = RowOf(m_pUrb);
    win32::Click(m_grid.m_hWnd, CPoint(7, Center(rcUrb).y));
    win32::PumpUiMessages();
    EXPECT_FALSE(m_pUrb->IsExpanded());
    EXPECT_EQ(m_grid.DumpView().Find("TransferBuffer"), -1);
    win32::DoubleClick(m_grid.m_hWnd, Center(RowOf(m_pUrb)));
    win32::PumpUiMessages();
    EXPECT_TRUE(m_pUrb->IsExpanded());
    win32::Click(m_grid.m_hWnd, Center(RowOf(m_pRecord)));
    win32::PumpUiMessages();
    EXPECT_EQ(m_grid.GetSelectedItem(), m_pRecord);

    // Arrows move, + and - expand and collapse, Home and End go to the ends.
    Key(VK_DOWN);
    EXPECT_EQ(m_grid.GetSelectedItem(), m_pStatus);
    Key(VK_DOWN); // the hidden category is skipped
    EXPECT_EQ(m_grid.GetSelectedItem(), m_pUrb);
    Key(VK_SUBTRACT);
    EXPECT_FALSE(m_pUrb->IsExpanded());
    Key(VK_ADD);
    EXPECT_TRUE(m_pUrb->IsExpanded());
    Key(VK_END);
    EXPECT_EQ(m_grid.GetSelectedItem(), m_pSetup);
    Key(VK_ADD);
    Key(VK_DOWN);
    EXPECT_EQ(m_grid.GetSelectedItem()->GetCaption(), "bRequest");
    Key(VK_PRIOR);
    EXPECT_EQ(m_grid.GetSelectedItem(), m_pEntry);
    Key(VK_UP);
    EXPECT_EQ(m_grid.GetSelectedItem(), m_pEntry);
}

TEST_F(GridWindowTest, AlphabeticalViewListsTheItemsOfEveryCategoryByCaption) {
    m_grid.SetPropertySort(gkGridSortAlphabetical);
    EXPECT_STREQ(m_grid.DumpView().GetString(), "Record = 12\n"
                                                "[+] SetupPacket = 80 06 00 01\n"
                                                "Status = STATUS_UNSUCCESSFUL\n"
                                                "TransferBuffer = [Toggle Databar] [Export as CSV...]\n"
                                                "Type = URB\n");
    win32::Click(m_grid.m_hWnd, Center(m_grid.GetRowRect(2)));
    win32::PumpUiMessages();
    EXPECT_EQ(m_grid.GetSelectedItem(), m_pStatus);
    win32::Click(m_grid.m_hWnd, CPoint(7, Center(m_grid.GetRowRect(1)).y));
    win32::PumpUiMessages();
    EXPECT_TRUE(m_pSetup->IsExpanded());
    EXPECT_EQ(m_grid.GetRowRect(2), RowOf(m_pSetup->GetChilds()->GetAt(0)));
    // Back to categories, with the selection where it was.
    m_grid.SetPropertySort(gkGridSortCategorized);
    EXPECT_EQ(m_grid.GetSelectedItem(), m_pSetup);
    EXPECT_EQ(m_grid.FindRow(m_pEntry), 0);
}

TEST_F(GridWindowTest, ScrollBarFollowsTheRows) {
    // Rows that fit need no bar: the client area takes the whole width.
    ASSERT_LT(static_cast<int>(m_grid.GetShownRows().size()) * m_grid.GetRowHeight(), m_grid.GetHelpRect().top);
    EXPECT_FALSE(m_grid.GetStyle() & WS_VSCROLL);
    CGkPropertyGridItem* pMany = m_grid.AddCategory("Many");
    for (int i = 0; i < 40; ++i) {
        CString strCaption;
        strCaption.Format("Field%02d", i);
        pMany->AddChildItem(new CGkPropertyGridItem(strCaption, "0"));
    }
    pMany->Expand();
    const int nRows = static_cast<int>(m_grid.GetShownRows().size());
    SCROLLINFO si{};
    si.cbSize = sizeof(si);
    si.fMask = SIF_ALL;
    ASSERT_TRUE(::GetScrollInfo(m_grid.m_hWnd, SB_VERT, &si));
    EXPECT_EQ(si.nMax, nRows - 1);
    const int nPage = static_cast<int>(si.nPage);
    EXPECT_EQ(nPage, m_grid.GetHelpRect().top / m_grid.GetRowHeight());

    m_grid.SendMessage(WM_VSCROLL, SB_PAGEDOWN);
    EXPECT_EQ(m_grid.GetTopIndex(), nPage);
    // The scroll bar is drawn at the right, outside the client area.
    tdl::test::Picture picture(m_grid.m_hWnd, "gk_grid_scrolled.png");
    CRect rcWindow, rcClient;
    m_grid.GetWindowRect(&rcWindow);
    m_grid.GetClientRect(&rcClient);
    EXPECT_GE(rcWindow.Width() - rcClient.Width(), 10);
    m_grid.SendMessage(WM_VSCROLL, SB_BOTTOM);
    EXPECT_EQ(m_grid.GetTopIndex(), nRows - nPage); // never past the last page
    ASSERT_TRUE(::GetScrollInfo(m_grid.m_hWnd, SB_VERT, &si));
    EXPECT_EQ(si.nPos, nRows - nPage);
    EXPECT_TRUE(m_grid.GetStyle() & WS_VSCROLL);

    // Selecting a row off the page brings it into view.
    m_grid.SetTopIndex(0);
    Key(VK_END);
    ASSERT_NE(m_grid.GetSelectedItem(), nullptr);
    EXPECT_EQ(m_grid.GetSelectedItem()->GetCaption(), "Field39");
    EXPECT_FALSE(RowOf(m_grid.GetSelectedItem()).IsRectEmpty());
    // Collapsing the long category pulls the page back.
    pMany->Collapse();
    EXPECT_EQ(m_grid.GetTopIndex(), 0);
}

TEST_F(GridWindowTest, PictureShowsColoursHelpAndNoHiddenCategory) {
    m_pType->Select();
    tdl::test::Picture picture(m_grid.m_hWnd, "gk_grid.png");
    ASSERT_TRUE(picture.IsValid());

    // The red value is drawn red, and only the Status value is.
    CRect rcStatus = RowOf(m_pStatus);
    CRect rcStatusValue(m_grid.GetSplitterPos() + 1, rcStatus.top, rcStatus.right, rcStatus.bottom);
    EXPECT_GT(picture.Count(rcStatusValue, tdl::test::IsReddish), 10);
    CRect rcType = RowOf(m_pType);
    CRect rcTypeValue(m_grid.GetSplitterPos() + 1, rcType.top, rcType.right, rcType.bottom);
    EXPECT_EQ(picture.Count(rcTypeValue, tdl::test::IsReddish), 0);

    // The caption background fills the caption cell (text aside), and the caption is in its text colour.
    CRect rcRecord = RowOf(m_pRecord);
    CRect rcCaption(28, rcRecord.top, m_grid.GetSplitterPos(), rcRecord.bottom - 1);
    EXPECT_EQ(picture.Client(rcCaption.left, rcCaption.top), 0xEBEBEBu);
    EXPECT_EQ(picture.Client(rcCaption.right - 1, rcCaption.bottom - 1), 0xEBEBEBu);
    auto isCaptionBack = [](COLORREF clr) { return clr == 0xEBEBEB; };
    EXPECT_GT(picture.Count(rcCaption, isCaptionBack), rcCaption.Width() * rcCaption.Height() * 3 / 4);
    auto isBlue = [](COLORREF clr) { return GetBValue(clr) >= 160 && GetRValue(clr) <= 90 && GetGValue(clr) <= 90; };
    EXPECT_GT(picture.Count(rcCaption, isBlue), 5);

    // The hidden category and its item are nowhere.
    CRect rcClient;
    m_grid.GetClientRect(&rcClient);
    auto isGreen = [](COLORREF clr) { return clr == RGB(0, 255, 0); };
    EXPECT_EQ(picture.Count(rcClient, isGreen), 0);

    // The help area shows the selected item's caption and description.
    CRect rcHelp = m_grid.GetHelpRect();
    const int nWithDescription = picture.Count(rcHelp, tdl::test::IsDark);
    m_pType->SetDescription("");
    const int nCaptionOnly =
        tdl::test::Picture(m_grid.m_hWnd, "gk_grid_caption_only.png").Count(rcHelp, tdl::test::IsDark);
    m_grid.SetSelectedItem(nullptr);
    EXPECT_EQ(tdl::test::Picture(m_grid.m_hWnd, "gk_grid_no_selection.png").Count(rcHelp, tdl::test::IsDark), 0);
    EXPECT_GT(nCaptionOnly, 20);
    EXPECT_GT(nWithDescription, nCaptionOnly + 50);

    m_pSecret->SetHidden(FALSE);
    EXPECT_GT(tdl::test::Picture(m_grid.m_hWnd, "gk_grid_unhidden.png").Count(rcClient, isGreen), 100);
}

} // namespace
