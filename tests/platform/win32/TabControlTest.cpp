// The tab control driven as a user would: items with full item data, rectangles and hit tests from one layout,
// the display area, multi-line rows, selection changes with their veto, and what the picture shows.
#include <gtest/gtest.h>

#include <limits>

#include "TreeViewTestSupport.h"
#include "tests/support/Pictures.h"

namespace {

using tdl::test::TestWindow;
using win32::test::ClientSnapshot;

constexpr int kTabId = 59648;

class TabControl : public tdl::test::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        InitCommonControls();
        parent_ =
            std::make_unique<TestWindow>(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 320, 220},
                                         [this](HWND, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
                                             if (message != WM_NOTIFY)
                                                 return std::nullopt;
                                             auto* hdr = reinterpret_cast<NMHDR*>(lParam);
                                             codes_.push_back(hdr->code);
                                             if (hdr->code == TCN_SELCHANGING)
                                                 selectedWhenAsked_ =
                                                     static_cast<int>(SendMessageA(hdr->hwndFrom, TCM_GETCURSEL, 0, 0));
                                             return hdr->code == TCN_SELCHANGING ? veto_ : 0;
                                         });
    }
    void TearDown() override {
        parent_.reset();
        UiTest::TearDown();
    }

    HWND Make(DWORD style, int width = 300, int height = 160) {
        tabs_ = CreateWindowExA(0, WC_TABCONTROL, "", WS_CHILD | WS_VISIBLE | style, 0, 0, width, height, *parent_,
                                reinterpret_cast<HMENU>(static_cast<INT_PTR>(kTabId)), nullptr, nullptr);
        return tabs_;
    }
    int Add(const char* text, LPARAM param, int image = -1, int at = 1000) {
        TCITEMA item{};
        item.mask = TCIF_TEXT | TCIF_PARAM | TCIF_IMAGE;
        item.pszText = const_cast<char*>(text);
        item.lParam = param;
        item.iImage = image;
        return static_cast<int>(
            SendMessageA(tabs_, TCM_INSERTITEMA, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&item)));
    }
    RECT TabRect(int index) {
        RECT r{};
        EXPECT_TRUE(SendMessageA(tabs_, TCM_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&r)));
        return r;
    }
    int CurSel() { return static_cast<int>(SendMessageA(tabs_, TCM_GETCURSEL, 0, 0)); }

    std::unique_ptr<TestWindow> parent_;
    HWND tabs_ = nullptr;
    std::vector<UINT> codes_;
    LRESULT veto_ = 0;
    int selectedWhenAsked_ = -2;
};

POINT Middle(const RECT& r) {
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

TEST_F(TabControl, KeepsFullItemDataAndTheSelectionAcrossInsertsAndDeletes) {
    Make(0);
    const LPARAM big = std::numeric_limits<LPARAM>::max() - 5;
    EXPECT_EQ(Add("Devices", big), 0);
    EXPECT_EQ(CurSel(), 0) << "the first tab is selected as it arrives";
    EXPECT_EQ(Add("Drivers", 2), 1);
    EXPECT_EQ(Add("Stacks", 3, -1, 1), 1);
    EXPECT_EQ(Add("Far", 4, -1, 99), 3) << "an index past the end appends";
    EXPECT_EQ(SendMessageA(tabs_, TCM_GETITEMCOUNT, 0, 0), 4);

    char text[8] = {};
    TCITEMA item{};
    item.mask = TCIF_TEXT | TCIF_PARAM;
    item.pszText = text;
    item.cchTextMax = 4;
    ASSERT_TRUE(SendMessageA(tabs_, TCM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    EXPECT_EQ(item.lParam, big);
    EXPECT_STREQ(text, "Dev");
    EXPECT_FALSE(SendMessageA(tabs_, TCM_GETITEMA, 4, reinterpret_cast<LPARAM>(&item)));

    EXPECT_EQ(SendMessageA(tabs_, TCM_SETCURSEL, 2, 0), 0);
    EXPECT_EQ(SendMessageA(tabs_, TCM_SETCURSEL, 7, 0), -1);
    EXPECT_EQ(CurSel(), 2);
    Add("First", 0, -1, 0);
    EXPECT_EQ(CurSel(), 3) << "the selected tab stays selected when one goes before it";
    SendMessageA(tabs_, TCM_DELETEITEM, 0, 0);
    EXPECT_EQ(CurSel(), 2);
    SendMessageA(tabs_, TCM_DELETEITEM, 2, 0);
    EXPECT_EQ(CurSel(), -1);
    EXPECT_TRUE(codes_.empty()) << "the program's changes notify nothing";
}

TEST_F(TabControl, HitTestsAndTheDisplayAreaFollowTheReportedRectangles) {
    Make(0);
    HIMAGELIST images = win32::test::MakeImages(16, {RGB(0, 128, 0)});
    SendMessageA(tabs_, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
    Add("Devices", 1, 0);
    Add("Stacks", 2);
    const RECT first = TabRect(0);
    const RECT second = TabRect(1);
    EXPECT_EQ(first.left, 2);
    EXPECT_EQ(first.top, 2);
    EXPECT_EQ(second.left, first.right);
    EXPECT_GT(first.right - first.left, second.right - second.left) << "the image widens the first tab";
    struct Case {
        POINT at;
        int index;
        UINT flags;
    } cases[] = {
        {{first.left + 6 + 8, Middle(first).y}, 0, TCHT_ONITEMICON},
        {{first.right - 8, Middle(first).y}, 0, TCHT_ONITEMLABEL},
        {Middle(second), 1, TCHT_ONITEMLABEL},
        {{second.right + 10, Middle(second).y}, -1, TCHT_NOWHERE},
        {{Middle(first).x, first.bottom + 20}, -1, TCHT_NOWHERE},
    };
    for (const Case& c : cases) {
        TCHITTESTINFO hit{c.at, 0};
        EXPECT_EQ(SendMessageA(tabs_, TCM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)), c.index)
            << c.at.x << "," << c.at.y;
        EXPECT_EQ(hit.flags, static_cast<UINT>(c.flags));
    }

    // The display area lies below the row of tabs, 2 inside the frame that starts there; larger gives the
    // window back.
    RECT area{0, 0, 300, 160};
    SendMessageA(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    EXPECT_EQ(area.top, first.bottom + 2);
    EXPECT_EQ(area.left, 2);
    EXPECT_EQ(area.right, 298);
    EXPECT_EQ(area.bottom, 158);
    SendMessageA(tabs_, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&area));
    EXPECT_EQ(area.top, 0);
    EXPECT_EQ(area.bottom, 160);

    // At the bottom the tabs sit under the display area.
    DestroyWindow(tabs_);
    Make(TCS_BOTTOM);
    Add("Devices", 1);
    const RECT low = TabRect(0);
    EXPECT_EQ(low.bottom, 158);
    area = RECT{0, 0, 300, 160};
    SendMessageA(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    EXPECT_EQ(area.top, 2);
    EXPECT_EQ(area.bottom, low.top - 2);
    DestroyWindow(tabs_);
    ImageList_Destroy(images);
}

TEST_F(TabControl, MultiLineRowsWrapAndTheSelectedRowMovesNextToThePage) {
    Make(TCS_MULTILINE, 150, 160);
    for (const char* name : {"Devices", "Stacks", "Drivers", "Pipes", "Endpoints"})
        Add(name, 0);
    const int rows = static_cast<int>(SendMessageA(tabs_, TCM_GETROWCOUNT, 0, 0));
    ASSERT_GE(rows, 2);
    const int rowHeight = TabRect(0).bottom - TabRect(0).top;
    EXPECT_EQ(TabRect(0).bottom, 2 + rows * rowHeight) << "the selected tab's row is next to the page";
    const int last = 4;
    EXPECT_LT(TabRect(last).bottom, TabRect(0).bottom);
    win32::Click(tabs_, Middle(TabRect(last)));
    win32::PumpUiMessages();
    EXPECT_EQ(CurSel(), last);
    EXPECT_EQ(TabRect(last).bottom, 2 + rows * rowHeight);
    EXPECT_LT(TabRect(0).bottom, TabRect(last).bottom);
}

TEST_F(TabControl, TheUsersChangesNotifyAndCanBeRefused) {
    Make(0);
    Add("Devices", 0);
    Add("Stacks", 1);
    Add("Drivers", 2);
    win32::Click(tabs_, Middle(TabRect(1)));
    win32::PumpUiMessages();
    EXPECT_EQ(CurSel(), 1);
    EXPECT_EQ(selectedWhenAsked_, 0) << "TCN_SELCHANGING comes while the old tab is still selected";
    EXPECT_EQ(codes_, (std::vector<UINT>{TCN_SELCHANGING, TCN_SELCHANGE, NM_CLICK}));

    codes_.clear();
    veto_ = 1;
    win32::Click(tabs_, Middle(TabRect(2)));
    win32::PressKey(tabs_, VK_RIGHT);
    win32::PumpUiMessages();
    EXPECT_EQ(CurSel(), 1);
    EXPECT_EQ(std::count(codes_.begin(), codes_.end(), TCN_SELCHANGE), 0);

    codes_.clear();
    veto_ = 0;
    win32::PressKey(tabs_, VK_RIGHT);
    win32::PumpUiMessages();
    EXPECT_EQ(CurSel(), 2);
    EXPECT_EQ(codes_, (std::vector<UINT>{TCN_KEYDOWN, TCN_SELCHANGING, TCN_SELCHANGE}));
}

TEST_F(TabControl, TheSelectedTabShowsItsStateInThePicture) {
    HIMAGELIST images = win32::test::MakeImages(16, {RGB(0, 128, 0), RGB(0, 0, 200), RGB(200, 120, 0)});
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    for (const bool bottom : {false, true}) {
        SCOPED_TRACE(bottom ? "bottom" : "top");
        // The device tree's container's styles, and the plain top row.
        Make(bottom ? TCS_FOCUSNEVER | TCS_MULTILINE | TCS_HOTTRACK | TCS_BOTTOM : TCS_FOCUSNEVER);
        SendMessageA(tabs_, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(images));
        Add("Devices", 0, 0);
        Add("Stacks", 1, 1);
        Add("Drivers", 2, 2);
        SendMessageA(tabs_, TCM_SETCURSEL, 1, 0);
        const ClientSnapshot picture(tabs_);
        const RECT selected = TabRect(1), other = TabRect(2);
        // The panel's edge next to the tabs (lit above the page, in shadow below it) runs past the other tabs
        // but not past the selected one, which joins the page; and the selected tab stands out further.
        const COLORREF edge = GetSysColor(bottom ? COLOR_3DDKSHADOW : COLOR_BTNHIGHLIGHT);
        const int panelEdge = bottom ? -1 : 1;
        const int beyond = bottom ? 1 : -1;
        auto y = [&](const RECT& r, int offset) { return (offset < 0 ? r.top : r.bottom) + offset; };
        EXPECT_EQ(picture.Pixel(Middle(selected).x, y(selected, panelEdge)), face);
        EXPECT_EQ(picture.Pixel(Middle(other).x, y(other, panelEdge)), edge);
        EXPECT_NE(picture.Pixel(Middle(selected).x, y(selected, beyond)), face);
        EXPECT_EQ(picture.Pixel(Middle(other).x, y(other, beyond)), face);
        EXPECT_TRUE(tdl::test::SavePicture(*parent_, bottom ? "tdl-tabs-bottom.png" : "tdl-tabs.png"));
        DestroyWindow(tabs_);
    }
    ImageList_Destroy(images);
}

} // namespace
