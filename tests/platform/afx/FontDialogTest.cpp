// CFontDialog: owned by the main window when given no parent, with the chosen font read back.
#include <cstring>

#include "WinFontDialogControl.h"
#include "afxwin.h"
#include "tests/support/UiFixture.h"

namespace {

class FontDialogObjectTest : public tdl::test::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        ASSERT_TRUE(m_main.CreateEx(0, nullptr, "Tindaloft", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 400, 300),
                                    nullptr, 0));
        m_app.m_pMainWnd = &m_main;
    }
    void TearDown() override {
        m_app.m_pMainWnd = nullptr;
        m_main.DestroyWindow();
        UiTest::TearDown();
    }
    CWinApp m_app{"Tindaloft"};
    CWnd m_main;
};

TEST_F(FontDialogObjectTest, TheMainWindowWaitsAndTheChosenFontIsReadBack) {
    LOGFONTA initial{};
    initial.lfHeight = -13;
    std::strcpy(initial.lfFaceName, "Courier New");
    CFontDialog dialog(&initial);
    bool mainEnabled = true;
    win32::QueueModalSteps(win32::ModalKind::Font, [&](const win32::ModalRequest& request, HWND) -> INT_PTR {
        EXPECT_EQ(request.owner, m_main.m_hWnd);
        mainEnabled = IsWindowEnabled(m_main.m_hWnd);
        LOGFONTA chosen = initial;
        chosen.lfWeight = FW_BOLD;
        std::strcpy(chosen.lfFaceName, "Arial");
        win32::ChooseFontChoice(chosen, RGB(0, 0, 255));
        return IDOK;
    });
    ASSERT_EQ(dialog.DoModal(), IDOK);
    EXPECT_FALSE(mainEnabled);
    EXPECT_EQ(dialog.GetFaceName(), "Arial");
    EXPECT_TRUE(dialog.IsBold());
    EXPECT_FALSE(dialog.IsItalic());
    EXPECT_EQ(dialog.GetStyleName(), "Bold");
    EXPECT_EQ(dialog.GetColor(), RGB(0, 0, 255));
    EXPECT_GT(dialog.GetSize(), 0);
    win32::QueueModalAnswer(win32::ModalKind::Font, IDCANCEL);
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

} // namespace
