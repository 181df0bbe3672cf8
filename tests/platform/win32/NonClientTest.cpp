// What the system draws around a window's client area and does with clicks there: the caption's icon and
// buttons, their hit tests and system commands through the input entry, and the scroll bars' arrows and thumb
// as the bar's range and SIF_DISABLENOSCROLL leave them.
#include <gtest/gtest.h>

#include <map>

#include "tests/support/Pictures.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::TestWindow;

class NonClientTest : public tdl::test::UiTest {};

// The parts of a window's caption row found through WM_NCHITTEST, in window coordinates: their extent along the
// caption's middle row, then down each part's middle column.
std::map<LRESULT, RECT> CaptionParts(HWND hwnd) {
    RECT window;
    GetWindowRect(hwnd, &window);
    auto hit = [&](int x, int y) {
        return SendMessageA(hwnd, WM_NCHITTEST, 0, MAKELPARAM(window.left + x, window.top + y));
    };
    const int row = 12; // inside every caption below a frame of up to four pixels
    std::map<LRESULT, RECT> parts;
    for (int x = 0; x < window.right - window.left; ++x) {
        auto [it, added] = parts.try_emplace(hit(x, row), RECT{x, row, x + 1, row + 1});
        it->second.left = std::min<LONG>(it->second.left, x);
        it->second.right = std::max<LONG>(it->second.right, x + 1);
    }
    for (auto& [part, r] : parts) {
        const int x = (r.left + r.right) / 2;
        while (r.top > 0 && hit(x, r.top - 1) == part)
            --r.top;
        while (hit(x, r.bottom) == part)
            ++r.bottom;
    }
    return parts;
}

// A point of the window (window coordinates) as the client coordinates the input entry takes.
POINT ToClient(HWND hwnd, const RECT& windowPart) {
    RECT window;
    GetWindowRect(hwnd, &window);
    POINT p{window.left + (windowPart.left + windowPart.right) / 2,
            window.top + (windowPart.top + windowPart.bottom) / 2};
    ScreenToClient(hwnd, &p);
    return p;
}

// A top-level window's picture, read in window coordinates.
class Frame {
public:
    Frame(HWND hwnd, const std::string& fileName) : m_picture(hwnd, fileName) {
        RECT window;
        GetWindowRect(hwnd, &window);
        POINT origin{0, 0};
        ClientToScreen(hwnd, &origin);
        m_client = {origin.x - window.left, origin.y - window.top};
    }
    bool IsValid() const { return m_picture.IsValid(); }
    COLORREF At(int x, int y) const { return m_picture.Client(x - m_client.x, y - m_client.y); }
    int Count(const RECT& part, COLORREF color) const {
        const RECT inClient{part.left - m_client.x, part.top - m_client.y, part.right - m_client.x,
                            part.bottom - m_client.y};
        return m_picture.Count(inClient, [color](COLORREF c) { return c == color; });
    }

private:
    tdl::test::Picture m_picture;
    POINT m_client{};
};

void ClickPart(HWND hwnd, const RECT& part) {
    win32::Click(hwnd, ToClient(hwnd, part));
    win32::PumpUiMessages();
}

TEST_F(NonClientTest, CaptionButtonsShowTheirGlyphsAndAClickOnEachGivesItsCommand) {
    TestWindow w(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{40, 40, 340, 240}, {}, 0, false, "Tindaloft");
    SetActiveWindow(w);
    win32::PumpUiMessages();
    std::map<LRESULT, RECT> parts = CaptionParts(w);
    for (LRESULT hit : {HTSYSMENU, HTMINBUTTON, HTMAXBUTTON, HTCLOSE, HTCAPTION})
        ASSERT_EQ(parts.count(hit), 1u) << hit;
    const RECT close = parts[HTCLOSE], maximize = parts[HTMAXBUTTON], minimize = parts[HTMINBUTTON];
    // Classic geometry: 16 x 14 buttons two pixels inside the caption's right; minimise and maximise touch,
    // two pixels left of close; the icon at the caption's left.
    EXPECT_EQ(close.right - close.left, 16);
    EXPECT_EQ(close.bottom - close.top, 14);
    EXPECT_EQ(close.left - maximize.right, 2);
    EXPECT_EQ(maximize.left, minimize.right);
    EXPECT_LT(parts[HTSYSMENU].right, minimize.left);

    const Frame caption(w, "win32_caption.png");
    ASSERT_TRUE(caption.IsValid());
    const COLORREF ink = GetSysColor(COLOR_BTNTEXT);
    // The icon: the default application icon, a white window under a blue caption.
    EXPECT_GT(caption.Count(parts[HTSYSMENU], RGB(255, 255, 255)), 20);
    // Close: a cross of two-pixel strokes, ink at its four ends; minimise: a bar in the lower half only;
    // maximise: a box whose top is a two-pixel line of nine.
    EXPECT_EQ(caption.At(close.left + 4, close.top + 3), ink);
    EXPECT_EQ(caption.At(close.left + 11, close.top + 3), ink);
    EXPECT_EQ(caption.At(close.left + 4, close.top + 9), ink);
    EXPECT_EQ(caption.At(close.left + 11, close.top + 9), ink);
    EXPECT_GT(caption.Count(close, ink), 20);
    const RECT upperHalf{minimize.left, minimize.top, minimize.right, (minimize.top + minimize.bottom) / 2};
    EXPECT_GE(caption.Count(minimize, ink), 10);
    EXPECT_EQ(caption.Count(upperHalf, ink), 0);
    EXPECT_EQ(caption.Count(RECT{maximize.left, maximize.top + 2, maximize.right, maximize.top + 4}, ink), 18);

    // Held down, a button is sunk; let go elsewhere, it does nothing.
    win32::MouseDown(w, ToClient(w, close));
    win32::PumpUiMessages();
    EXPECT_EQ(win32::PicturePixel(w, close.left + 1, close.top + 1), GetSysColor(COLOR_3DDKSHADOW));
    win32::MouseUp(w, ToClient(w, parts[HTCAPTION]));
    win32::PumpUiMessages();
    EXPECT_TRUE(IsWindow(w));
    EXPECT_EQ(win32::PicturePixel(w, close.left + 1, close.top + 1), GetSysColor(COLOR_3DHILIGHT));
    win32::MouseDown(w, ToClient(w, close));
    win32::MouseUp(w, POINT{20, 20}); // over the client area
    win32::PumpUiMessages();
    EXPECT_TRUE(IsWindow(w));
    EXPECT_EQ(win32::PicturePixel(w, close.left + 1, close.top + 1), GetSysColor(COLOR_3DHILIGHT));

    ClickPart(w, maximize);
    EXPECT_TRUE(IsZoomed(w));
    parts = CaptionParts(w);
    // The maximise button now restores: two boxes, the back one's top line right of the front one's.
    const RECT restore = parts[HTMAXBUTTON];
    const Frame maximized(w, "win32_caption_maximized.png");
    EXPECT_EQ(maximized.At(restore.left + 10, restore.top + 2), ink);
    EXPECT_NE(maximized.At(restore.left + 3, restore.top + 2), ink);
    ClickPart(w, restore);
    EXPECT_FALSE(IsZoomed(w));

    parts = CaptionParts(w);
    ClickPart(w, parts[HTMINBUTTON]);
    EXPECT_TRUE(IsIconic(w));
    ClickPart(w, parts[HTMINBUTTON]); // a minimised window's minimise button restores it
    EXPECT_FALSE(IsIconic(w));

    // The icon opens the window menu; its choice is the window's system command.
    win32::QueueModalAnswer(win32::ModalKind::PopupMenu, SC_MAXIMIZE);
    ClickPart(w, parts[HTSYSMENU]);
    EXPECT_TRUE(IsZoomed(w));
    std::vector<win32::ModalRequest> requests = win32::ModalRequests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().text, "Restore|Move|Size|Minimize|Maximize|-|Close\tAlt+F4");
    SendMessageA(w, WM_SYSCOMMAND, SC_RESTORE, 0);

    ClickPart(w, CaptionParts(w)[HTCLOSE]);
    EXPECT_FALSE(IsWindow(w));
}

TEST_F(NonClientTest, ButtonsFollowTheStyle) {
    struct Case {
        DWORD style;
        DWORD exStyle;
        bool icon, minMax;
    };
    const Case cases[] = {
        {WS_OVERLAPPEDWINDOW, 0, true, true},
        {WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, true, false},
        {WS_POPUP | WS_CAPTION | WS_SYSMENU, WS_EX_DLGMODALFRAME, false, false}, // a dialog's modal frame
        {WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, WS_EX_TOOLWINDOW, false, false},
        {WS_POPUP | WS_CAPTION, 0, false, false},
    };
    for (const Case& c : cases) {
        TestWindow w(c.style | WS_VISIBLE, nullptr, RECT{10, 10, 250, 150}, {}, c.exStyle);
        std::map<LRESULT, RECT> parts = CaptionParts(w);
        SCOPED_TRACE(std::to_string(c.style) + " " + std::to_string(c.exStyle));
        EXPECT_EQ(parts.count(HTSYSMENU), c.icon ? 1u : 0u);
        EXPECT_EQ(parts.count(HTMAXBUTTON), c.minMax ? 1u : 0u);
        EXPECT_EQ(parts.count(HTCLOSE), (c.style & WS_SYSMENU) ? 1u : 0u);
    }
    // A window that may only be minimised shows its maximise button greyed, and a click on it does nothing.
    TestWindow w(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE, nullptr, RECT{10, 10, 250, 150});
    const RECT maximize = CaptionParts(w)[HTMAXBUTTON];
    const Frame picture(w, "win32_caption_minimize_only.png");
    EXPECT_EQ(picture.Count(maximize, GetSysColor(COLOR_BTNTEXT)), 0);
    EXPECT_GT(picture.Count(maximize, GetSysColor(COLOR_BTNSHADOW)), 18);
    ClickPart(w, maximize);
    EXPECT_FALSE(IsZoomed(w));
}

class ScrollBarLookTest : public tdl::test::UiTest {
protected:
    // The vertical bar's arrow boxes and track in window coordinates, from the window's client rectangle.
    void Measure(HWND hwnd) {
        RECT window, client;
        GetWindowRect(hwnd, &window);
        GetClientRect(hwnd, &client);
        POINT origin{0, 0};
        ClientToScreen(hwnd, &origin);
        const LONG left = origin.x - window.left + client.right, top = origin.y - window.top;
        const LONG arrow = GetSystemMetrics(SM_CYVSCROLL);
        up = {left, top, left + GetSystemMetrics(SM_CXVSCROLL), top + arrow};
        down = {up.left, top + client.bottom - arrow, up.right, top + client.bottom};
        track = {up.left, up.bottom, up.right, down.top};
    }
    RECT up{}, down{}, track{};
};

TEST_F(ScrollBarLookTest, ArrowsShowWhetherThereIsAnythingToScroll) {
    TestWindow w(WS_OVERLAPPEDWINDOW | WS_VSCROLL | WS_VISIBLE, nullptr, RECT{20, 20, 220, 220});
    const COLORREF ink = GetSysColor(COLOR_BTNTEXT);
    const COLORREF grey = GetSysColor(COLOR_BTNSHADOW);

    // Content to scroll: dark arrows in both boxes and a raised thumb in the track.
    SCROLLINFO more{sizeof more, SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL, 0, 99, 20, 0, 0};
    SetScrollInfo(w, SB_VERT, &more, TRUE);
    Measure(w);
    {
        const Frame active(w, "win32_scrollbar_active.png");
        EXPECT_GE(active.Count(up, ink), 16);
        EXPECT_GE(active.Count(down, ink), 16);
        EXPECT_GT(active.Count(track, GetSysColor(COLOR_3DHILIGHT)), 10);
    }

    // Content that fits, under SIF_DISABLENOSCROLL: the bar stays with greyed arrows and no thumb.
    SCROLLINFO fits{sizeof fits, SIF_RANGE | SIF_PAGE | SIF_DISABLENOSCROLL, 0, 9, 20, 0, 0};
    SetScrollInfo(w, SB_VERT, &fits, TRUE);
    ASSERT_TRUE(GetWindowLongA(w, GWL_STYLE) & WS_VSCROLL);
    Measure(w);
    {
        const Frame disabled(w, "win32_scrollbar_disabled.png");
        for (const RECT& box : {up, down}) {
            EXPECT_EQ(disabled.Count(box, ink), 0);
            EXPECT_GE(disabled.Count(box, grey), 16);
        }
        // The classic scheme's track is the face colour: a thumb would show as its edges.
        const int trackPixels = (track.right - track.left) * (track.bottom - track.top);
        EXPECT_EQ(disabled.Count(track, GetSysColor(COLOR_SCROLLBAR)), trackPixels);
    }

    // Something to scroll again: the arrows come back.
    SetScrollInfo(w, SB_VERT, &more, TRUE);
    EXPECT_EQ(win32::PicturePixel(w, (up.left + up.right) / 2, (up.top + up.bottom) / 2), ink);

    // Without SIF_DISABLENOSCROLL a bar with nothing to scroll goes, and comes back when it is needed.
    SCROLLINFO plain{sizeof plain, SIF_RANGE | SIF_PAGE, 0, 9, 20, 0, 0};
    SetScrollInfo(w, SB_VERT, &plain, TRUE);
    EXPECT_FALSE(GetWindowLongA(w, GWL_STYLE) & WS_VSCROLL);
    plain.nMax = 99;
    SetScrollInfo(w, SB_VERT, &plain, TRUE);
    EXPECT_TRUE(GetWindowLongA(w, GWL_STYLE) & WS_VSCROLL);

    // EnableScrollBar greys a bar that has something to scroll.
    EnableScrollBar(w, SB_VERT, ESB_DISABLE_BOTH);
    Measure(w);
    EXPECT_EQ(Frame(w, "win32_scrollbar_enable_disabled.png").Count(up, ink), 0);
}

} // namespace
