// Where dialogs and message boxes appear, as on the platform: a template's place in its owner's client area or
// the work area's centre (DS_CENTER) from the dialog manager; a framework dialog that its initialisation left
// alone centred on its owner; a message box centred on the work area; each kept wholly inside the work area with
// its caption on the screen, whatever the owner's place.
#include <algorithm>
#include <optional>
#include <string>

#include "WinResourceTable.h"
#include "afxwin.h"
#include "tests/support/UiFixture.h"
#include "tests/support/WorkArea.h"

namespace {

using tdl::test::CentredInside;
using tdl::test::ExpectPlacedInsideWorkArea;
using tdl::test::WorkArea;

using tdl::test::UiTest;

constexpr UINT kPlain = 301, kCentred = 302;

win32::DialogResource Template(bool centred) {
    win32::DialogResource d{};
    d.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | (centred ? DS_CENTER : 0);
    d.x = 20;
    d.y = 10;
    d.cx = 200;
    d.cy = 120;
    d.caption = centred ? "Centred" : "Plain";
    d.items = {{"BUTTON", IDOK, "OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_VISIBLE, 0, 140, 100, 50, 14}};
    return d;
}

// A framework dialog; with `moveTo` its initialisation puts it there itself.
class CPlacedDialog : public CDialog {
public:
    CPlacedDialog(UINT nID, CWnd* pOwner, std::optional<CPoint> moveTo) : CDialog(nID, pOwner), m_moveTo(moveTo) {}

protected:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        if (m_moveTo)
            SetWindowPos(nullptr, m_moveTo->x, m_moveTo->y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        return TRUE;
    }

private:
    std::optional<CPoint> m_moveTo;
};

INT_PTR CALLBACK PlainProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

class DialogPlacementTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        win32::RegisterDialogResource(nullptr, kPlain, Template(false));
        win32::RegisterDialogResource(nullptr, kCentred, Template(true));
    }
    void TearDown() override {
        win32::ClearResources();
        UiTest::TearDown();
    }
    // The window rectangle of the next modal request of `kind`, read while it is up.
    static void ReadWhileUp(win32::ModalKind kind, RECT& seen) {
        win32::QueueModalSteps(kind, [&seen](const win32::ModalRequest&, HWND window) -> INT_PTR {
            EXPECT_NE(window, nullptr);
            GetWindowRect(window, &seen);
            return IDOK;
        });
    }
};

TEST_F(DialogPlacementTest, EachKindOfDialogAppearsWhereThePlatformPutsItInsideTheWorkArea) {
    const RECT work = WorkArea();
    const int width = work.right - work.left, height = work.bottom - work.top;
    struct Owner {
        const char* where;
        RECT rect;
    };
    const Owner owners[] = {
        {"near the top left", {40, 30, 640, 480}},
        {"in the middle", {width / 2 - 300, height / 2 - 200, width / 2 + 300, height / 2 + 200}},
        {"half off the bottom right", {width - 300, height - 200, width + 300, height + 200}},
        {"half off the top left", {-300, -250, 300, 150}},
    };
    enum class Kind { TemplatePlain, TemplateCentred, Framework, FrameworkCentred, FrameworkMoved, Modeless, Box };
    const Kind kinds[] = {Kind::TemplatePlain,  Kind::TemplateCentred, Kind::Framework, Kind::FrameworkCentred,
                          Kind::FrameworkMoved, Kind::Modeless,        Kind::Box};
    for (const Owner& o : owners) {
        CWnd owner;
        ASSERT_TRUE(owner.CreateEx(0, nullptr, "Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(o.rect), nullptr, 0));
        for (const Kind kind : kinds) {
            SCOPED_TRACE(std::string(o.where) + ", kind " + std::to_string(static_cast<int>(kind)));
            RECT seen{};
            std::optional<POINT> expected; // where the window's top left is; none: centred on the work area
            switch (kind) {
            case Kind::TemplatePlain: {
                ReadWhileUp(win32::ModalKind::Dialog, seen);
                EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kPlain), owner, PlainProc, 0), IDOK);
                // The client area at the template's place in the owner's client area, then kept on the screen.
                POINT client{0, 0};
                ClientToScreen(owner, &client);
                RECT frame{0, 0, 0, 0};
                AdjustWindowRectEx(&frame, Template(false).style, FALSE, WS_EX_DLGMODALFRAME);
                const LONG units = GetDialogBaseUnits();
                const POINT at{client.x + MulDiv(20, LOWORD(units), 4) + frame.left,
                               client.y + MulDiv(10, HIWORD(units), 8) + frame.top};
                const SIZE size{seen.right - seen.left, seen.bottom - seen.top};
                expected = POINT{std::max(std::min<LONG>(at.x, work.right - size.cx), work.left),
                                 std::max(std::min<LONG>(at.y, work.bottom - size.cy), work.top)};
                break;
            }
            case Kind::TemplateCentred:
                ReadWhileUp(win32::ModalKind::Dialog, seen);
                EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kCentred), owner, PlainProc, 0), IDOK);
                break;
            case Kind::Framework:
            case Kind::FrameworkCentred: {
                CPlacedDialog dlg(kind == Kind::Framework ? kPlain : kCentred, &owner, std::nullopt);
                ReadWhileUp(win32::ModalKind::Dialog, seen);
                EXPECT_EQ(dlg.DoModal(), IDOK);
                expected = CentredInside(o.rect, {seen.right - seen.left, seen.bottom - seen.top});
                break;
            }
            case Kind::FrameworkMoved: {
                CPlacedDialog dlg(kPlain, &owner, CPoint(30, 40));
                ReadWhileUp(win32::ModalKind::Dialog, seen);
                EXPECT_EQ(dlg.DoModal(), IDOK);
                expected = POINT{30, 40};
                break;
            }
            case Kind::Modeless: {
                CPlacedDialog dlg(kPlain, &owner, std::nullopt);
                ASSERT_TRUE(dlg.Create(kPlain, &owner));
                dlg.GetWindowRect(&seen);
                dlg.DestroyWindow();
                expected = CentredInside(o.rect, {seen.right - seen.left, seen.bottom - seen.top});
                break;
            }
            case Kind::Box:
                ReadWhileUp(win32::ModalKind::MessageBox, seen);
                EXPECT_EQ(MessageBoxA(owner, "Placed?", "Tindaloft", MB_OKCANCEL), IDOK);
                break;
            }
            const SIZE size{seen.right - seen.left, seen.bottom - seen.top};
            ASSERT_GT(size.cx, 0);
            ExpectPlacedInsideWorkArea(seen, expected ? *expected : CentredInside(work, size));
        }
        owner.DestroyWindow();
    }
}

} // namespace
