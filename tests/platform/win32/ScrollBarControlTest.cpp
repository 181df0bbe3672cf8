// The scroll bar control: its clamped positions, and what the user's clicks and drags tell its parent.
#include <gtest/gtest.h>

#include <vector>

#include "ControlTestSupport.h"

namespace {

class ScrollBarControlTest : public win32::test::ControlHostTest {
protected:
    void SetUp() override {
        ControlHostTest::SetUp();
        bar_ = MakeControl(WC_SCROLLBAR, SBS_HORZ, {10, 10, 226, 26}, 0);
        SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS, 0, 99, 10, 0, 0};
        SetScrollInfo(bar_, SB_CTL, &info, TRUE);
        win32::PumpUiMessages();
        parent_->Take();
    }
    void TearDown() override {
        DestroyWindow(bar_);
        ControlHostTest::TearDown();
    }
    // The parent's WM_HSCROLL requests: (code, position).
    std::vector<std::pair<int, int>> Requests() {
        win32::PumpUiMessages();
        std::vector<std::pair<int, int>> requests;
        for (const MSG& m : parent_->Take({WM_HSCROLL})) {
            EXPECT_EQ(reinterpret_cast<HWND>(m.lParam), bar_);
            requests.emplace_back(LOWORD(m.wParam), static_cast<short>(HIWORD(m.wParam)));
        }
        return requests;
    }
    SCROLLBARINFO Info() const {
        SCROLLBARINFO info{};
        info.cbSize = sizeof info;
        EXPECT_TRUE(GetScrollBarInfo(bar_, OBJID_CLIENT, &info));
        return info;
    }

    HWND bar_ = nullptr;
};

TEST_F(ScrollBarControlTest, PositionsStayInsideTheRangeLessThePage) {
    struct Step {
        const char* what;
        int page; // -1: leave
        int pos;
        int expected;
    } steps[] = {
        {"inside", -1, 40, 40}, {"past the page's end", -1, 95, 90},          {"below the range", -1, -5, 0},
        {"no page", 0, 99, 99}, {"a page larger than the range", 500, 50, 0},
    };
    for (const Step& s : steps) {
        SCROLLINFO info{sizeof info,
                        SIF_POS | (s.page >= 0 ? SIF_PAGE : 0u),
                        0,
                        0,
                        static_cast<UINT>(std::max(s.page, 0)),
                        s.pos,
                        0};
        EXPECT_EQ(SetScrollInfo(bar_, SB_CTL, &info, TRUE), s.expected) << s.what;
        EXPECT_EQ(GetScrollPos(bar_, SB_CTL), s.expected) << s.what;
    }
    SCROLLINFO page{sizeof page, SIF_PAGE, 0, 0, 0, 0, 0};
    GetScrollInfo(bar_, SB_CTL, &page);
    EXPECT_EQ(page.nPage, 100u); // cut to the range
    EXPECT_TRUE(SetScrollRange(bar_, SB_CTL, 10, 20, TRUE));
    int low = 0, high = 0;
    EXPECT_TRUE(GetScrollRange(bar_, SB_CTL, &low, &high));
    EXPECT_EQ(std::make_pair(low, high), std::make_pair(10, 20));
    EXPECT_EQ(SendMessageA(bar_, SBM_SETPOS, 3, TRUE), 10);
    EXPECT_EQ(SendMessageA(bar_, SBM_GETPOS, 0, 0), 10);
}

TEST_F(ScrollBarControlTest, ClicksAndDragsAskTheParentAndLeaveThePositionToIt) {
    SCROLLBARINFO info = Info();
    EXPECT_EQ(info.dxyLineButton, 16);
    EXPECT_EQ(info.xyThumbTop, 16);
    EXPECT_EQ(info.xyThumbBottom, 16 + 18); // a tenth of the 184-pixel trough
    win32::Click(bar_, {210, 8});
    EXPECT_EQ(Requests(), (std::vector<std::pair<int, int>>{{SB_LINERIGHT, 0}, {SB_ENDSCROLL, 0}}));
    win32::Click(bar_, {100, 8});
    EXPECT_EQ(Requests(), (std::vector<std::pair<int, int>>{{SB_PAGERIGHT, 0}, {SB_ENDSCROLL, 0}}));
    EXPECT_EQ(GetScrollPos(bar_, SB_CTL), 0);
    // Drag the thumb by half the travel: the track position follows, the position waits for the parent.
    const int travel = 184 - 18;
    win32::MouseDown(bar_, {20, 8});
    win32::MouseMove(bar_, {20 + travel / 2, 8}, MK_LBUTTON);
    win32::PumpUiMessages();
    SCROLLINFO track{sizeof track, SIF_TRACKPOS | SIF_POS, 0, 0, 0, 0, 0};
    GetScrollInfo(bar_, SB_CTL, &track);
    EXPECT_EQ(track.nTrackPos, 45);
    EXPECT_EQ(track.nPos, 0);
    win32::MouseUp(bar_, {20 + travel / 2, 8});
    EXPECT_EQ(Requests(),
              (std::vector<std::pair<int, int>>{{SB_THUMBTRACK, 45}, {SB_THUMBPOSITION, 45}, {SB_ENDSCROLL, 0}}));
    SetScrollPos(bar_, SB_CTL, 45, TRUE);
    info = Info();
    EXPECT_EQ(info.xyThumbTop, 16 + travel / 2);
    // The picture shows the thumb where the bar reports it, the trough around it.
    const int middle = (info.xyThumbTop + info.xyThumbBottom) / 2;
    EXPECT_EQ(win32::ClientPixel(bar_, middle, 8), GetSysColor(COLOR_BTNFACE));
    EXPECT_EQ(win32::ClientPixel(bar_, info.xyThumbTop - 3, 8), GetSysColor(COLOR_SCROLLBAR));
    EXPECT_EQ(win32::ClientPixel(bar_, info.xyThumbBottom + 3, 8), GetSysColor(COLOR_SCROLLBAR));
}

} // namespace
