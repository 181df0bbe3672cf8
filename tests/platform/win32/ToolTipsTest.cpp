// Tooltips on the virtual clock: a tool's tip after the hover delay, texts asked for with TTN_GETDISPINFO,
// moving between tools, hiding on a click and after the auto-pop delay, and the tip's size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "tests/support/Pictures.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::TestWindow;

class ToolTips : public tdl::test::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        InitCommonControls();
        owner_ = std::make_unique<TestWindow>(
            WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 300, 200},
            [this](HWND, UINT message, WPARAM, LPARAM lParam) -> std::optional<LRESULT> {
                if (message != WM_NOTIFY)
                    return std::nullopt;
                auto* hdr = reinterpret_cast<NMHDR*>(lParam);
                events_.push_back({hdr->code, hdr->idFrom});
                if (hdr->code == TTN_GETDISPINFOA) {
                    auto* info = reinterpret_cast<NMTTDISPINFOA*>(lParam);
                    snprintf(info->szText, sizeof info->szText, "Beta %lld", static_cast<long long>(info->lParam));
                }
                return 0;
            });
        tip_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, "", WS_POPUP | TTS_ALWAYSTIP, 0, 0, 0, 0, *owner_,
                               nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        if (IsWindow(tip_))
            DestroyWindow(tip_);
        owner_.reset();
        UiTest::TearDown();
    }

    void AddTool(UINT_PTR id, RECT rect, LPSTR text, LPARAM param = 0, UINT flags = TTF_SUBCLASS) {
        TOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.uFlags = flags;
        tool.hwnd = *owner_;
        tool.uId = id;
        tool.rect = rect;
        tool.lpszText = text;
        tool.lParam = param;
        ASSERT_TRUE(SendMessageA(tip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)));
    }
    std::string Text() {
        char text[256] = {};
        GetWindowTextA(tip_, text, sizeof text);
        return text;
    }
    size_t Count(UINT code) const {
        return static_cast<size_t>(
            std::count_if(events_.begin(), events_.end(), [&](auto& e) { return e.first == code; }));
    }

    std::unique_ptr<TestWindow> owner_;
    HWND tip_ = nullptr;
    std::vector<std::pair<UINT, UINT_PTR>> events_;
};

TEST_F(ToolTips, ATipShowsAfterTheHoverAndFollowsTheMouseFromToolToTool) {
    AddTool(1, RECT{10, 10, 60, 40}, const_cast<char*>("Alpha"));
    AddTool(2, RECT{100, 10, 160, 40}, LPSTR_TEXTCALLBACKA, 7);
    EXPECT_EQ(SendMessageA(tip_, TTM_GETTOOLCOUNT, 0, 0), 2);

    win32::MouseMove(*owner_, {20, 20});
    win32::AdvanceUiClock(499);
    EXPECT_FALSE(IsWindowVisible(tip_));
    win32::AdvanceUiClock(1);
    ASSERT_TRUE(IsWindowVisible(tip_));
    EXPECT_EQ(Text(), "Alpha");
    EXPECT_EQ(events_, (std::vector<std::pair<UINT, UINT_PTR>>{{TTN_SHOW, 1}}));
    {
        // The text keeps its padding inside the tip's border: three pixels each side, two above and below.
        const tdl::test::Picture picture(tip_, "win32_tooltip.png");
        RECT client{};
        GetClientRect(tip_, &client);
        RECT ink{client.right, client.bottom, 0, 0};
        for (int y = 1; y < client.bottom - 1; ++y)
            for (int x = 1; x < client.right - 1; ++x)
                if (tdl::test::IsDark(picture.Client(x, y)))
                    ink = {std::min<LONG>(ink.left, x), std::min<LONG>(ink.top, y), std::max<LONG>(ink.right, x + 1),
                           std::max<LONG>(ink.bottom, y + 1)};
        ASSERT_LT(ink.left, ink.right);
        EXPECT_GE(ink.left - 1, 3);
        EXPECT_GE(client.right - 1 - ink.right, 3);
        EXPECT_GE(ink.top - 1, 2);
        EXPECT_GE(client.bottom - 1 - ink.bottom, 2);
    }
    TOOLINFOA current{};
    current.cbSize = sizeof current;
    EXPECT_TRUE(SendMessageA(tip_, TTM_GETCURRENTTOOLA, 0, reinterpret_cast<LPARAM>(&current)));
    EXPECT_EQ(current.uId, 1u);

    // On to the other tool: the tip goes at once and comes back after the shorter reshow delay.
    events_.clear();
    win32::MouseMove(*owner_, {120, 20});
    win32::PumpUiMessages();
    EXPECT_FALSE(IsWindowVisible(tip_));
    win32::AdvanceUiClock(100);
    ASSERT_TRUE(IsWindowVisible(tip_));
    EXPECT_EQ(Text(), "Beta 7");
    EXPECT_EQ(events_, (std::vector<std::pair<UINT, UINT_PTR>>{{TTN_POP, 1}, {TTN_GETDISPINFOA, 2}, {TTN_SHOW, 2}}));

    // It pops by itself after the auto-pop delay, and does not come back while the mouse stays.
    win32::AdvanceUiClock(5000);
    EXPECT_FALSE(IsWindowVisible(tip_));
    EXPECT_EQ(Count(TTN_POP), 2u);
    win32::MouseMove(*owner_, {121, 21});
    win32::AdvanceUiClock(600);
    EXPECT_FALSE(IsWindowVisible(tip_));

    // A click keeps it away until the mouse moves on to another tool.
    win32::MouseMove(*owner_, {20, 20});
    win32::Click(*owner_, {21, 21});
    win32::AdvanceUiClock(1000);
    EXPECT_FALSE(IsWindowVisible(tip_));
    win32::MouseMove(*owner_, {200, 100});
    win32::MouseMove(*owner_, {22, 22});
    win32::AdvanceUiClock(500);
    EXPECT_TRUE(IsWindowVisible(tip_));
}

TEST_F(ToolTips, DelaysWidthsActivationAndRemovalAreTheCallersToSet) {
    const std::string longText = "A long explanation of what this tool does, far wider than the tip may be.";
    AddTool(1, RECT{0, 0, 100, 100}, const_cast<char*>(longText.c_str()), 0, 0);
    SendMessageA(tip_, TTM_SETDELAYTIME, TTDT_INITIAL, 50);
    EXPECT_EQ(SendMessageA(tip_, TTM_GETDELAYTIME, TTDT_INITIAL, 0), 50);
    SendMessageA(tip_, TTM_SETMAXTIPWIDTH, 0, 120);

    // Without TTF_SUBCLASS only what is relayed counts.
    win32::MouseMove(*owner_, {20, 20});
    win32::AdvanceUiClock(100);
    EXPECT_FALSE(IsWindowVisible(tip_));
    MSG move{*owner_, WM_MOUSEMOVE, 0, MAKELPARAM(20, 20), 0, {}};
    SendMessageA(tip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
    win32::AdvanceUiClock(50);
    ASSERT_TRUE(IsWindowVisible(tip_));
    RECT r{}, margin{};
    GetWindowRect(tip_, &r);
    SendMessageA(tip_, TTM_GETMARGIN, 0, reinterpret_cast<LPARAM>(&margin));
    EXPECT_LE(r.right - r.left, 120 + margin.left + margin.right + 2)
        << "wrapped at the maximum width, plus margins and border";
    EXPECT_GT(r.bottom - r.top, 30) << "on several lines";
    EXPECT_EQ(Text(), longText);

    // Deactivated, it hides and stays hidden.
    SendMessageA(tip_, TTM_ACTIVATE, FALSE, 0);
    EXPECT_FALSE(IsWindowVisible(tip_));
    SendMessageA(tip_, TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&move));
    win32::AdvanceUiClock(100);
    EXPECT_FALSE(IsWindowVisible(tip_));

    TOOLINFOA tool{};
    tool.cbSize = TTTOOLINFOA_V1_SIZE; // the oldest form is still understood
    tool.hwnd = *owner_;
    tool.uId = 1;
    SendMessageA(tip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
    EXPECT_EQ(SendMessageA(tip_, TTM_GETTOOLCOUNT, 0, 0), 0);
}

TEST_F(ToolTips, ASubclassedWindowOutlivesItsTooltip) {
    AddTool(1, RECT{10, 10, 60, 40}, const_cast<char*>("Alpha"));
    DestroyWindow(tip_);
    win32::MouseMove(*owner_, {20, 20});
    win32::Click(*owner_, {20, 20});
    win32::PumpUiMessages();
    EXPECT_TRUE(IsWindow(*owner_));
    EXPECT_FALSE(owner_->TakeIds({WM_LBUTTONDOWN}).empty()) << "the window still gets its own messages";
}

TEST_F(ToolTips, ATipGoesWhenTheWindowUnderItMovesOrHides) {
    AddTool(1, RECT{10, 10, 60, 40}, const_cast<char*>("Alpha"));
    auto show = [&] {
        win32::MouseMove(*owner_, {20, 20});
        win32::AdvanceUiClock(500);
        return IsWindowVisible(tip_) != FALSE;
    };
    ASSERT_TRUE(show());
    // The tip stays while its tool stays where it was.
    win32::AdvanceUiClock(1000);
    EXPECT_TRUE(IsWindowVisible(tip_));
    // The window moves under the resting mouse: the tip would point at something else now.
    SetWindowPos(*owner_, nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    win32::AdvanceUiClock(100);
    EXPECT_FALSE(IsWindowVisible(tip_));
    EXPECT_EQ(Count(TTN_POP), 1u);
    // Not shown again for the same tool until the mouse moves on.
    win32::AdvanceUiClock(1000);
    EXPECT_FALSE(IsWindowVisible(tip_));

    win32::MouseMove(*owner_, {200, 150});
    ASSERT_TRUE(show());
    ShowWindow(*owner_, SW_HIDE);
    win32::AdvanceUiClock(100);
    EXPECT_FALSE(IsWindowVisible(tip_));
    ShowWindow(*owner_, SW_SHOW);
}

} // namespace
