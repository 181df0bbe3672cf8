// The welcome dialog as the dialog manager builds it from its template: its own buttons, keys and closing end
// it, and its picture shows every text and both buttons whole.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "SetupFixture.h"
#include "WinDialogs.h"
#include "WinShellControl.h"
#include "ZipWriter.h"
#include "tests/support/Pictures.h"
#include "windows.h"

namespace setup::test {
namespace {

namespace fs = std::filesystem;

constexpr int kYes = 1;
constexpr int kNo = 2;

POINT CentreOf(HWND control) {
    RECT client{};
    GetClientRect(control, &client);
    return {client.right / 2, client.bottom / 2};
}

class WelcomeDialogTest : public SetupTest {
protected:
    // Runs the program with `act` done to the real dialog; a dialog `act` did not end gets `fallback`.
    int RunWith(std::function<void(HWND dialog)> act, INT_PTR fallback) {
        SetPayload(BuildZip({{.name = "Tindaloft.msi", .data = Package()}}));
        win32::QueueModalSteps(
            win32::ModalKind::Dialog,
            [this, act, fallback](const win32::ModalRequest& request, HWND dialog) -> INT_PTR {
                caption_ = request.caption;
                // WM_INITDIALOG said yes, so the manager gave the focus to the first tab stop.
                focusedYes_ = GetFocus() == GetDlgItem(dialog, kYes) && GetFocus() != nullptr;
                act(dialog);
                win32::PumpUiMessages();
                return fallback;
            },
            "104");
        return Run();
    }

    std::string caption_;
    bool focusedYes_ = false;
};

TEST_F(WelcomeDialogTest, OnlyItsYesGoesOn) {
    struct Case {
        const char* what;
        std::function<void(HWND dialog)> act;
        bool installs;
    } cases[] = {
        {"Yes pressed", [](HWND d) { SendDlgItemMessageA(d, kYes, BM_CLICK, 0, 0); }, true},
        {"Yes clicked", [](HWND d) { win32::Click(GetDlgItem(d, kYes), CentreOf(GetDlgItem(d, kYes))); }, true},
        {"Enter", [](HWND d) { win32::PressKey(d, VK_RETURN); }, true},
        {"No pressed", [](HWND d) { SendDlgItemMessageA(d, kNo, BM_CLICK, 0, 0); }, false},
        {"No clicked", [](HWND d) { win32::Click(GetDlgItem(d, kNo), CentreOf(GetDlgItem(d, kNo))); }, false},
        {"Escape", [](HWND d) { win32::PressKey(d, VK_ESCAPE); }, false},
        {"closed", [](HWND d) { SendMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); }, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TearDown();
        SetUp();
        // The fallback is the opposite answer, so only the dialog's own ending can give the expected outcome.
        EXPECT_EQ(RunWith(c.act, c.installs ? INT_PTR{kNo} : INT_PTR{kYes}), 0);
        EXPECT_EQ(caption_, "Tindaloft Setup (x64)");
        EXPECT_TRUE(focusedYes_);
        EXPECT_TRUE(Boxes().empty());
        EXPECT_TRUE(TempFolderEmpty());
        EXPECT_EQ(win32::LiveWindowCount(), windowsBefore_);
        EXPECT_EQ(fs::exists(CodeFolder() + "/Tindaloft.msi"), c.installs);
        EXPECT_EQ(win32::ShellExecutions().size(), c.installs ? 1u : 0u);
        if (!c.installs)
            EXPECT_FALSE(fs::exists(WindowsFolder()));
    }
}

// A control's own image, painted into memory; reading the composed picture pixel by pixel would take minutes.
class ControlImage {
public:
    explicit ControlImage(HWND control) : control_(control) {
        GetClientRect(control, &client_);
        HDC screen = GetDC(nullptr);
        HDC dc = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, client_.right, client_.bottom);
        HGDIOBJ old = SelectObject(dc, bitmap);
        SendMessageA(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), 0);
        for (int y = 0; y < client_.bottom; ++y)
            for (int x = 0; x < client_.right; ++x)
                pixels_.push_back(GetPixel(dc, x, y));
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        ReleaseDC(nullptr, screen);
    }
    const RECT& Client() const { return client_; }
    COLORREF At(int x, int y) const { return pixels_[static_cast<size_t>(y * client_.right + x)]; }
    int Count(const RECT& area, const std::function<bool(COLORREF)>& test) const {
        int count = 0;
        for (int y = area.top; y < area.bottom; ++y)
            for (int x = area.left; x < area.right; ++x)
                count += test(At(x, y));
        return count;
    }
    // The dialog's picture shows this image: its middle row is the same there.
    bool ShownInPicture() const {
        const int y = client_.bottom / 2;
        for (int x = 0; x < client_.right; ++x)
            if (win32::ClientPixel(control_, x, y) != At(x, y))
                return false;
        return true;
    }

private:
    HWND control_;
    RECT client_{};
    std::vector<COLORREF> pixels_;
};

// Text or an edge.
bool Dark(COLORREF c) {
    return GetRValue(c) < 0x80 && GetGValue(c) < 0x80 && GetBValue(c) < 0x80;
}

// The program's icon is teal; texts, edges and the face are greys.
bool Coloured(COLORREF c) {
    const int high = std::max({GetRValue(c), GetGValue(c), GetBValue(c)});
    const int low = std::min({GetRValue(c), GetGValue(c), GetBValue(c)});
    return high - low > 0x30;
}

TEST_F(WelcomeDialogTest, ItsPictureShowsEveryTextAndBothButtonsWhole) {
    const std::string png = tdl::test::PicturePath("setup_welcome.png");
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    bool iconInColour = false;
    auto look = [&](HWND dialog) {
        ASSERT_TRUE(tdl::test::SavePicture(dialog, "setup_welcome.png"));
        HWND icon = nullptr;
        HWND welcome = nullptr;
        HWND press = nullptr;
        char text[128];
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            GetWindowTextA(child, text, sizeof text);
            const std::string name = text;
            if (GetDlgCtrlID(child) != kYes && GetDlgCtrlID(child) != kNo &&
                (GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                icon = child;
            else if (name.starts_with("Welcome"))
                welcome = child;
            else if (name.starts_with("Press"))
                press = child;
        }
        ASSERT_NE(welcome, nullptr);
        ASSERT_NE(press, nullptr);
        ASSERT_NE(icon, nullptr);

        // Every line of every text fits its control in the dialog's font, so none is cut or wrapped.
        HDC dc = GetDC(dialog);
        HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(dialog, WM_GETFONT, 0, 0)));
        struct Line {
            HWND control;
            std::string text;
            int lines;
        } lines[] = {{welcome, "Welcome to the Tindaloft", 2},
                     {welcome, "Setup Wizard", 2},
                     {press, "Press Yes to begin installation", 1},
                     {GetDlgItem(dialog, kYes), "Yes", 1},
                     {GetDlgItem(dialog, kNo), "No", 1}};
        for (const Line& line : lines) {
            SIZE extent{};
            GetTextExtentPoint32A(dc, line.text.c_str(), static_cast<int>(line.text.size()), &extent);
            RECT client{};
            GetClientRect(line.control, &client);
            EXPECT_LE(extent.cx, client.right) << line.text;
            EXPECT_LE(extent.cy * line.lines, client.bottom) << line.text;
        }
        SelectObject(dc, old);
        ReleaseDC(dialog, dc);

        // The texts are drawn: the welcome on both its lines.
        const ControlImage welcomeImage(welcome);
        const RECT& w = welcomeImage.Client();
        EXPECT_TRUE(welcomeImage.ShownInPicture());
        EXPECT_GT(welcomeImage.Count({0, 0, w.right, w.bottom / 2}, Dark), 20);
        EXPECT_GT(welcomeImage.Count({0, w.bottom / 2, w.right, w.bottom}, Dark), 20);
        const ControlImage pressImage(press);
        EXPECT_TRUE(pressImage.ShownInPicture());
        EXPECT_GT(pressImage.Count(pressImage.Client(), Dark), 40);
        const ControlImage iconImage(icon);
        EXPECT_TRUE(iconImage.ShownInPicture());
        EXPECT_GT(iconImage.Count(iconImage.Client(), [face](COLORREF c) { return c != face; }), 40) << "the icon";
        iconInColour = iconImage.Count(iconImage.Client(), Coloured) > 100;

        // Each button: its label inside, its edges around.
        for (int id : {kYes, kNo}) {
            SCOPED_TRACE(id);
            const ControlImage button(GetDlgItem(dialog, id));
            const RECT& b = button.Client();
            EXPECT_TRUE(button.ShownInPicture());
            EXPECT_GT(button.Count({3, 3, b.right - 3, b.bottom - 3}, Dark), 10);
            auto edge = [face](COLORREF c) { return c != face; };
            EXPECT_GT(button.Count({0, b.bottom - 1, b.right, b.bottom}, edge), b.right / 2);
            EXPECT_GT(button.Count({b.right - 1, 0, b.right, b.bottom}, edge), b.bottom / 2);
        }
        // The buttons sit below the texts.
        RECT yes{};
        RECT pressRect{};
        GetWindowRect(GetDlgItem(dialog, kYes), &yes);
        GetWindowRect(press, &pressRect);
        EXPECT_GT(yes.top, pressRect.bottom);
        // Everything lies inside the dialog's client area.
        RECT dialogClient{};
        GetClientRect(dialog, &dialogClient);
        MapWindowPoints(dialog, nullptr, reinterpret_cast<POINT*>(&dialogClient), 2);
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT r{};
            GetWindowRect(child, &r);
            EXPECT_TRUE(r.left >= dialogClient.left && r.top >= dialogClient.top && r.right <= dialogClient.right &&
                        r.bottom <= dialogClient.bottom)
                << GetDlgCtrlID(child);
        }
    };
    EXPECT_EQ(RunWith(look, kNo), 0);

    std::ifstream in(png, std::ios::binary);
    char signature[8] = {};
    in.read(signature, sizeof signature);
    EXPECT_EQ(std::string(signature, sizeof signature), std::string("\x89PNG\r\n\x1a\n", 8));
    EXPECT_FALSE(fs::exists(WindowsFolder()));
    if (!iconInColour)
        GTEST_SKIP() << "the STATIC control draws no SS_ICON image yet: the icon shows as its resource name";
}

} // namespace
} // namespace setup::test
