// Pop-up menus: the modal loop's answers, the user's clicks and keys in the menu window, and its picture.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ControlTestSupport.h"
#include "WinHooks.h"
#include "tests/support/Pictures.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::TestWindow;
using tdl::test::UiTest;

enum : UINT { kCopy = 100, kPaste = 101, kHex = 102, kLow = 201, kHigh = 202 };

class PopupMenuTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        owner_.emplace(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 400, 300});
        speed_ = CreatePopupMenu();
        AppendMenuA(speed_, MF_STRING, kLow, "&Low");
        AppendMenuA(speed_, MF_STRING, kHigh, "&High");
        CheckMenuRadioItem(speed_, kLow, kHigh, kHigh, MF_BYCOMMAND);
        menu_ = CreatePopupMenu();
        AppendMenuA(menu_, MF_STRING, kCopy, "&Copy\tCtrl+C");
        AppendMenuA(menu_, MF_STRING | MF_GRAYED, kPaste, "&Paste");
        AppendMenuA(menu_, MF_SEPARATOR, 0, nullptr);
        AppendMenuA(menu_, MF_STRING | MF_CHECKED, kHex, "Show he&x");
        AppendMenuA(menu_, MF_POPUP, reinterpret_cast<UINT_PTR>(speed_), "&Speed");
        win32::PumpUiMessages();
        owner_->Take();
    }
    void TearDown() override {
        DestroyMenu(menu_);
        owner_.reset();
        UiTest::TearDown();
    }
    UINT Track(UINT flags = TPM_RETURNCMD) {
        return static_cast<UINT>(TrackPopupMenu(menu_, flags, 50, 40, 0, *owner_, nullptr));
    }
    // Runs `steps` while the menu is up.
    void WhileUp(std::function<void(HWND)> steps) {
        win32::QueueModalSteps(win32::ModalKind::PopupMenu, [steps](const win32::ModalRequest&, HWND window) {
            steps(window);
            return INT_PTR{0};
        });
    }
    static POINT ItemCentre(HMENU menu, UINT position) {
        RECT r{};
        EXPECT_TRUE(GetMenuItemRect(nullptr, menu, position, &r));
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    // A click at a screen point, into whatever window lies there (the menu holds the mouse).
    void ClickScreen(POINT at) {
        ScreenToClient(*owner_, &at);
        win32::Click(*owner_, at);
        win32::PumpUiMessages();
    }
    void Key(HWND window, BYTE vk) {
        win32::PressKey(window, vk);
        win32::PumpUiMessages();
    }

    std::optional<TestWindow> owner_;
    HMENU menu_ = nullptr;
    HMENU speed_ = nullptr;
};

TEST_F(PopupMenuTest, TheOwnerHearsInitMenuPopupThenGetsTheIdReturnedOrACommand) {
    win32::QueueModalAnswer(win32::ModalKind::PopupMenu, kCopy, "Show hex");
    EXPECT_EQ(Track(), kCopy);
    win32::PumpUiMessages();
    const std::vector<MSG> seen = owner_->Take({WM_INITMENUPOPUP, WM_COMMAND});
    ASSERT_EQ(seen.size(), 1u); // with TPM_RETURNCMD nothing is sent
    EXPECT_EQ(reinterpret_cast<HMENU>(seen[0].wParam), menu_);
    ASSERT_EQ(win32::ModalRequests().size(), 1u);
    EXPECT_EQ(win32::ModalRequests()[0].text, "Copy\tCtrl+C|Paste|-|Show hex|Speed");

    win32::QueueModalAnswer(win32::ModalKind::PopupMenu, kLow);
    EXPECT_TRUE(Track(TPM_LEFTALIGN));
    win32::PumpUiMessages();
    EXPECT_EQ(owner_->TakeIds({WM_INITMENUPOPUP, WM_COMMAND}), (std::vector<UINT>{WM_INITMENUPOPUP, WM_COMMAND}));

    // A greyed item, a separator's id or one the menu lacks cannot be picked: reported, nothing chosen.
    win32::SetModalStrict(false);
    for (UINT refused : {UINT{kPaste}, UINT{0xFFFF}, UINT{999}}) {
        win32::QueueModalAnswer(win32::ModalKind::PopupMenu, refused);
        EXPECT_EQ(Track(), 0u) << refused;
    }
    EXPECT_EQ(win32::UnexpectedModalRequests().size(), 3u);
    EXPECT_EQ(TrackPopupMenu(nullptr, TPM_RETURNCMD, 0, 0, 0, *owner_, nullptr), FALSE);
    EXPECT_EQ(win32::ThreadWindows(GetCurrentThreadId()).size(), 1u); // the menus' windows are gone
}

TEST_F(PopupMenuTest, TheUserClicksItemsAGreyedOneDoesNothingAndAClickOutsideDismisses) {
    bool stayedUp = false;
    WhileUp([&](HWND window) {
        EXPECT_TRUE(IsWindowVisible(window));
        ClickScreen(ItemCentre(menu_, 1)); // greyed
        ClickScreen(ItemCentre(menu_, 2)); // the separator
        stayedUp = IsWindowVisible(window);
        ClickScreen(ItemCentre(menu_, 3));
    });
    EXPECT_EQ(Track(), kHex);
    EXPECT_TRUE(stayedUp);

    WhileUp([&](HWND) { ClickScreen({390, 290}); });
    EXPECT_EQ(Track(), 0u);

    // A click on a sub-menu's item opens it (its owner hears of it), then a click in it picks.
    // Each open menu's window names the menu it shows.
    HMENU shown[2] = {};
    WhileUp([&](HWND window) {
        shown[0] = reinterpret_cast<HMENU>(SendMessageA(window, MN_GETHMENU, 0, 0));
        ClickScreen(ItemCentre(menu_, 4));
        for (HWND open = FindWindowExA(nullptr, nullptr, WC_MENUA, nullptr); open != nullptr;
             open = FindWindowExA(nullptr, open, WC_MENUA, nullptr))
            if (open != window)
                shown[1] = reinterpret_cast<HMENU>(SendMessageA(open, MN_GETHMENU, 0, 0));
        ClickScreen(ItemCentre(speed_, 0));
    });
    owner_->Take();
    EXPECT_EQ(Track(), kLow);
    const std::vector<MSG> inits = owner_->Take({WM_INITMENUPOPUP});
    ASSERT_EQ(inits.size(), 2u);
    EXPECT_EQ(reinterpret_cast<HMENU>(inits[1].wParam), speed_);
    EXPECT_EQ(shown[0], menu_);
    EXPECT_EQ(shown[1], speed_);
}

TEST_F(PopupMenuTest, KeysMoveOpenPickAndDismiss) {
    struct Case {
        const char* name;
        std::vector<BYTE> keys;
        UINT expected;
    } cases[] = {
        {"down and enter", {VK_DOWN, VK_RETURN}, kCopy},
        {"the highlight skips the separator", {VK_DOWN, VK_DOWN, VK_DOWN, VK_RETURN}, kHex},
        {"a greyed item is highlighted but not picked", {VK_DOWN, VK_DOWN, VK_RETURN, VK_ESCAPE}, 0},
        {"a letter opens the sub-menu, another picks", {'S', 'L'}, kLow},
        {"right opens, left closes, escape dismisses", {VK_UP, VK_RIGHT, VK_LEFT, VK_ESCAPE}, 0},
        {"a letter picks", {'X'}, kHex},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WhileUp([&](HWND window) {
            for (BYTE key : c.keys)
                Key(window, key);
        });
        EXPECT_EQ(Track(), c.expected);
    }
}

// A message filter of the thread (as a menu bar installs one) sees what the menu takes.
std::vector<MSG> g_filtered;
std::vector<std::string> g_filteredClasses; // of the windows the messages were for
UINT g_eat = 0;                             // a key the filter keeps from the menu
UINT g_ender = 0;                           // a key on which the filter ends the menu
LRESULT CALLBACK RecordingFilter(int code, WPARAM, LPARAM lParam) {
    if (code != MSGF_MENU)
        return 0;
    const MSG& msg = *reinterpret_cast<const MSG*>(lParam);
    g_filtered.push_back(msg);
    char name[16] = {};
    GetClassNameA(msg.hwnd, name, sizeof name);
    g_filteredClasses.push_back(name);
    if (msg.message == WM_KEYDOWN && msg.wParam == g_ender)
        return EndMenu();
    return msg.message == WM_KEYDOWN && msg.wParam == g_eat;
}

TEST_F(PopupMenuTest, AFilterSeesTheMenusInputFirstAndMayKeepItOrEndTheMenu) {
    g_filtered.clear();
    g_filteredClasses.clear();
    g_eat = VK_RETURN;
    g_ender = 'E';
    HHOOK hook = SetWindowsHookExA(WH_MSGFILTER, RecordingFilter, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    UINT hilited = 0;
    bool stillUp = false;
    WhileUp([&](HWND window) {
        Key(window, VK_DOWN);
        // The highlighted item is marked in the menu itself.
        hilited = GetMenuState(menu_, 0, MF_BYPOSITION) & MF_HILITE;
        Key(window, VK_RETURN); // kept from the menu
        stillUp = IsWindowVisible(window) != FALSE;
        Key(window, 'E');
    });
    EXPECT_EQ(Track(), 0u);
    UnhookWindowsHookEx(hook);
    EXPECT_TRUE(hilited);
    EXPECT_TRUE(stillUp);
    EXPECT_EQ(GetMenuState(menu_, 0, MF_BYPOSITION) & MF_HILITE, 0u) << "the mark goes with the menu";
    std::vector<WPARAM> keys;
    for (const MSG& msg : g_filtered)
        if (msg.message == WM_KEYDOWN)
            keys.push_back(msg.wParam);
    for (const std::string& name : g_filteredClasses)
        EXPECT_EQ(name, WC_MENUA);
    EXPECT_EQ(keys, (std::vector<WPARAM>{VK_DOWN, VK_RETURN, 'E'}));
    EXPECT_EQ(EndMenu(), FALSE) << "no menu is open";

    // A key posted to any window of the thread is the open menu's, as its loop takes the thread's keys.
    PostMessageA(*owner_, WM_KEYDOWN, VK_DOWN, 0);
    WhileUp([&](HWND window) {
        win32::PumpUiMessages();
        Key(window, VK_RETURN);
    });
    EXPECT_EQ(Track(), kCopy);
    EXPECT_TRUE(owner_->Take({WM_KEYDOWN}).empty());
}

TEST_F(PopupMenuTest, AClickThatDismissesTheMenuStillReachesTheWindowUnderIt) {
    WhileUp([&](HWND) { ClickScreen({300, 250}); });
    owner_->Take();
    EXPECT_EQ(Track(), 0u);
    win32::PumpUiMessages();
    const std::vector<MSG> clicks = owner_->Take({WM_LBUTTONDOWN, WM_LBUTTONUP});
    ASSERT_EQ(clicks.size(), 2u);
    EXPECT_EQ(clicks[0].message, static_cast<UINT>(WM_LBUTTONDOWN));
    EXPECT_EQ(clicks[1].message, static_cast<UINT>(WM_LBUTTONUP));
    POINT at{GET_X_LPARAM(clicks[0].lParam), GET_Y_LPARAM(clicks[0].lParam)};
    ClientToScreen(*owner_, &at);
    EXPECT_EQ(at.x, 300);
    EXPECT_EQ(at.y, 250);
    // A right click too: a context menu closed by one opens where it was given.
    WhileUp([&](HWND) {
        POINT at{310, 260};
        ScreenToClient(*owner_, &at);
        win32::Click(*owner_, at, win32::MouseButton::Right);
        win32::PumpUiMessages();
    });
    owner_->Take();
    EXPECT_EQ(Track(), 0u);
    win32::PumpUiMessages();
    EXPECT_EQ(owner_->TakeIds({WM_RBUTTONDOWN, WM_RBUTTONUP}), (std::vector<UINT>{WM_RBUTTONDOWN, WM_RBUTTONUP}));
}

TEST_F(PopupMenuTest, ThePictureShowsTheRaisedFrameMarksGreyTextAndTheHighlight) {
    WhileUp([&](HWND window) {
        Key(window, VK_DOWN);
        RECT copy{}, paste{}, hex{};
        GetMenuItemRect(nullptr, menu_, 0, &copy);
        GetMenuItemRect(nullptr, menu_, 1, &paste);
        GetMenuItemRect(nullptr, menu_, 3, &hex);
        auto count = [&](const RECT& screen, int fromX, int toX, COLORREF colour) {
            POINT origin{screen.left, screen.top};
            ScreenToClient(window, &origin);
            return win32::test::CountPainted(
                window, colour, {origin.x + fromX, origin.y, origin.x + toX, origin.y + (screen.bottom - screen.top)});
        };
        EXPECT_GT(count(copy, 0, 60, GetSysColor(COLOR_HIGHLIGHT)), 100);
        EXPECT_GT(count(paste, 20, 60, GetSysColor(COLOR_GRAYTEXT)), 5);
        EXPECT_GT(count(hex, 0, 20, GetSysColor(COLOR_MENUTEXT)), 5); // the check mark
        EXPECT_EQ(count(paste, 0, 20, GetSysColor(COLOR_MENUTEXT)), 0);
        POINT inCopy{copy.left + 3, copy.top + 3};
        ScreenToClient(window, &inCopy);
        EXPECT_EQ(win32::ClientPixel(window, inCopy.x, inCopy.y), GetSysColor(COLOR_HIGHLIGHT));
        // The menu's frame: a raised edge (lit inside at the top left, dark outside at the bottom right) and a
        // pixel of the face between it and the first and last items.
        RECT frame{};
        GetWindowRect(window, &frame);
        const int width = frame.right - frame.left, height = frame.bottom - frame.top;
        EXPECT_EQ(win32::PicturePixel(window, 1, height / 2), GetSysColor(COLOR_3DHILIGHT));
        EXPECT_EQ(win32::PicturePixel(window, width - 1, height / 2), GetSysColor(COLOR_3DDKSHADOW));
        EXPECT_EQ(win32::PicturePixel(window, width - 2, height / 2), GetSysColor(COLOR_3DSHADOW));
        EXPECT_EQ(copy.top - frame.top, 3);
        RECT last{};
        GetMenuItemRect(nullptr, menu_, GetMenuItemCount(menu_) - 1, &last);
        EXPECT_EQ(frame.bottom - last.bottom, 3);
        EXPECT_EQ(win32::PicturePixel(window, width / 2, 2), GetSysColor(COLOR_MENU));
        EXPECT_TRUE(tdl::test::SavePicture(window, "tdl-popup-menu.png"));
        Key(window, VK_ESCAPE);
    });
    EXPECT_EQ(Track(), 0u);
}

} // namespace
