// The list view's header, driven with the mouse: tracking a divider (and its refusal in either notification
// form), a divider's double-click, dragging a column to a new place, hit tests and owner-drawn items.
#include <gtest/gtest.h>

#include <algorithm>

#include "ListViewFixture.h"

namespace {

using tdl::test::AddColumns;
using tdl::test::ListParent;
using tdl::test::SubItemRect;
using tdl::test::UiTest;

class HeaderTest : public UiTest {
protected:
    void TearDown() override {
        if (IsWindow(list))
            DestroyWindow(list);
        parent.reset();
        UiTest::TearDown();
    }
    void Make(UINT format = NFR_ANSI, DWORD exStyle = 0) {
        parent.emplace();
        parent->notifyFormat = format;
        list = parent->MakeList(0, exStyle);
        AddColumns(list, {{"Name", 90}, {"Value", 80}, {"Note", 100}});
        for (const char* label : {"a", "a much longer label than the others"}) {
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = 99;
            item.pszText = const_cast<char*>(label);
            SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        }
        header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
        win32::PumpUiMessages();
        parent->Forget();
    }
    void Drag(POINT from, POINT to) {
        win32::MouseDown(header, from);
        win32::MouseMove(header, POINT{(from.x + to.x) / 2, to.y});
        win32::MouseMove(header, to);
        win32::MouseUp(header, to);
        win32::PumpUiMessages();
        win32::AdvanceUiClock(1000);
    }
    int Width(int column) const {
        return static_cast<int>(SendMessageA(list, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
    }
    bool Saw(UINT code) const { return std::count(parent->codes.begin(), parent->codes.end(), code) > 0; }

    std::optional<ListParent> parent;
    HWND list = nullptr;
    HWND header = nullptr;
};

TEST_F(HeaderTest, TrackingADividerSetsTheWidthUnlessTheParentRefusesInEitherForm) {
    struct Case {
        UINT format;
        bool refuse;
    };
    for (const Case& c :
         {Case{NFR_ANSI, false}, Case{NFR_ANSI, true}, Case{NFR_UNICODE, false}, Case{NFR_UNICODE, true}}) {
        SCOPED_TRACE(testing::Message() << (c.format == NFR_UNICODE ? "wide" : "8-bit")
                                        << (c.refuse ? ", refused" : ""));
        Make(c.format);
        const bool wide = c.format == NFR_UNICODE;
        const UINT begin = wide ? HDN_BEGINTRACKW : HDN_BEGINTRACKA;
        const UINT end = wide ? HDN_ENDTRACKW : HDN_ENDTRACKA;
        if (c.refuse)
            parent->answers[begin] = TRUE;
        Drag(POINT{89, 5}, POINT{129, 5});
        EXPECT_TRUE(Saw(begin));
        EXPECT_EQ(Saw(end), !c.refuse);
        EXPECT_FALSE(Saw(wide ? HDN_BEGINTRACKA : HDN_BEGINTRACKW));
        EXPECT_EQ(Width(0), c.refuse ? 90 : 130);
        EXPECT_EQ(SubItemRect(list, 0, 1, LVIR_BOUNDS).left, c.refuse ? 90 : 130);
        if (!c.refuse) {
            const auto& last = parent->headerNotes.back();
            EXPECT_EQ(last.iItem, 0);
        }
        DestroyWindow(list);
    }
}

TEST_F(HeaderTest, ADividerDoubleClickFitsTheColumnUnlessTheParentTakesIt) {
    Make();
    win32::DoubleClick(header, POINT{90, 5});
    win32::PumpUiMessages();
    EXPECT_TRUE(Saw(HDN_DIVIDERDBLCLICKA));
    const int widest = static_cast<int>(
        SendMessageA(list, LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>("a much longer label than the others")));
    EXPECT_EQ(Width(0), widest + 12);

    win32::AdvanceUiClock(1000);
    parent->answers[HDN_DIVIDERDBLCLICKA] = TRUE;
    const int divider = widest + 12;
    win32::DoubleClick(header, POINT{divider + 90 - 1, 5}); // the second column's divider
    win32::PumpUiMessages();
    EXPECT_EQ(Width(1), 80);
}

TEST_F(HeaderTest, DraggingAnItemReordersTheColumnsOnlyWithHeaderDragDrop) {
    for (bool dragDrop : {false, true}) {
        SCOPED_TRACE(dragDrop ? "drag and drop" : "plain");
        Make(NFR_ANSI, dragDrop ? LVS_EX_HEADERDRAGDROP : 0);
        Drag(POINT{45, 5}, POINT{250, 5});
        int order[3] = {};
        SendMessageA(list, LVM_GETCOLUMNORDERARRAY, 3, reinterpret_cast<LPARAM>(order));
        EXPECT_EQ(std::vector<int>(order, order + 3),
                  dragDrop ? (std::vector<int>{1, 2, 0}) : (std::vector<int>{0, 1, 2}));
        EXPECT_EQ(SubItemRect(list, 0, 1, LVIR_BOUNDS).left, dragDrop ? 0 : 90);
        EXPECT_EQ(SubItemRect(list, 0, 0, LVIR_LABEL).left, dragDrop ? 180 : 0);
        LVCOLUMNA column{};
        column.mask = LVCF_SUBITEM;
        SendMessageA(list, LVM_GETCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
        EXPECT_EQ(column.iSubItem, 0);
        DestroyWindow(list);
    }
}

TEST_F(HeaderTest, AClickOnAnItemIsAColumnClick) {
    Make();
    win32::Click(header, POINT{130, 5});
    win32::PumpUiMessages();
    ASSERT_TRUE(Saw(LVN_COLUMNCLICK));
    EXPECT_FALSE(Saw(HDN_ITEMCLICKA));
}

TEST_F(HeaderTest, HitTests) {
    Make();
    RECT client{};
    GetClientRect(header, &client);
    struct Case {
        POINT pt;
        int item;
        UINT flags;
    };
    const Case cases[] = {
        {{10, 5}, 0, HHT_ONHEADER}, {{86, 5}, 0, HHT_ONDIVIDER},          {{93, 5}, 0, HHT_ONDIVIDER},
        {{94, 5}, 1, HHT_ONHEADER}, {{268, 5}, 2, HHT_ONDIVIDER},         {{300, 5}, -1, HHT_NOWHERE | HHT_TORIGHT},
        {{10, -1}, -1, HHT_ABOVE},  {{10, client.bottom}, -1, HHT_BELOW},
    };
    for (const Case& c : cases) {
        HDHITTESTINFO hit{c.pt, 0, 0};
        EXPECT_EQ(SendMessageA(header, HDM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), c.item)
            << c.pt.x << "," << c.pt.y;
        EXPECT_EQ(hit.flags, c.flags) << c.pt.x << "," << c.pt.y;
    }
    // Item rectangles follow the order array; a broken array is refused.
    int order[3] = {2, 1, 0};
    ASSERT_TRUE(SendMessageA(header, HDM_SETORDERARRAY, 3, reinterpret_cast<LPARAM>(order)));
    RECT r{};
    SendMessageA(header, HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
    EXPECT_EQ(r.left, 180);
    int broken[3] = {2, 2, 0};
    EXPECT_FALSE(SendMessageA(header, HDM_SETORDERARRAY, 3, reinterpret_cast<LPARAM>(broken)));
    EXPECT_EQ(SendMessageA(header, HDM_ORDERTOINDEX, 0, 0), 2);
}

TEST_F(HeaderTest, AnOwnerDrawnItemIsDrawnByTheListsParent) {
    Make();
    HDITEMA item{};
    item.mask = HDI_FORMAT;
    item.fmt = HDF_OWNERDRAW;
    SendMessageA(header, HDM_SETITEMA, 1, reinterpret_cast<LPARAM>(&item));
    UpdateWindow(header);
    ASSERT_EQ(parent->drawn.size(), 1u);
    EXPECT_EQ(parent->drawn[0].CtlType, static_cast<UINT>(ODT_HEADER));
    EXPECT_EQ(parent->drawn[0].itemID, 1u);
    EXPECT_EQ(parent->drawn[0].rcItem.left, 90);
    EXPECT_EQ(parent->drawn[0].rcItem.right, 170);
    EXPECT_EQ(win32::ClientPixel(header, 120, 5), RGB(0, 128, 0));
}

} // namespace
