// The font chooser: its request, the font and colour chosen, a cancel, size limits and bad requests.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "WinFontDialogControl.h"
#include "commdlg.h"
#include "tests/support/UiFixture.h"

namespace {

using tdl::test::TestWindow;
using tdl::test::UiTest;

LOGFONTA Font(const char* face, LONG height, LONG weight = FW_NORMAL, BYTE italic = 0) {
    LOGFONTA font{};
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfItalic = italic;
    std::strncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    return font;
}

class FontDialogTest : public UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        win32::ClearFontDialogRequests();
        owner_.emplace(WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr, RECT{0, 0, 300, 200});
        initial_ = Font("Courier New", -13);
        cf_.lStructSize = sizeof cf_;
        cf_.hwndOwner = *owner_;
        cf_.lpLogFont = &font_;
        cf_.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
        cf_.rgbColors = RGB(0, 0, 0);
        font_ = initial_;
    }
    void TearDown() override {
        owner_.reset();
        UiTest::TearDown();
    }
    std::optional<TestWindow> owner_;
    LOGFONTA initial_{};
    LOGFONTA font_{};
    CHOOSEFONTA cf_{};
};

TEST_F(FontDialogTest, TheChosenFontAndColourComeBackWithTheirSizeAndType) {
    bool ownerEnabled = true;
    win32::QueueModalSteps(
        win32::ModalKind::Font,
        [&](const win32::ModalRequest& request, HWND) -> INT_PTR {
            EXPECT_EQ(request.caption, "Font");
            ownerEnabled = IsWindowEnabled(*owner_);
            win32::ChooseFontChoice(Font("Arial", -16, FW_BOLD, 1), RGB(200, 0, 0));
            return IDOK;
        },
        "Courier New");
    ASSERT_TRUE(ChooseFontA(&cf_));
    EXPECT_FALSE(ownerEnabled);
    EXPECT_TRUE(IsWindowEnabled(*owner_));
    EXPECT_STREQ(font_.lfFaceName, "Arial");
    EXPECT_EQ(font_.lfHeight, -16);
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    EXPECT_EQ(cf_.iPointSize, (16 * 720 + dpi / 2) / dpi);
    EXPECT_EQ(cf_.nFontType, SCREEN_FONTTYPE | BOLD_FONTTYPE | ITALIC_FONTTYPE);
    EXPECT_EQ(cf_.rgbColors, RGB(200, 0, 0));
    const auto requests = win32::FontDialogRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_STREQ(requests[0].initial.lfFaceName, "Courier New");
    EXPECT_TRUE(requests[0].chose);

    // IDOK with no choice keeps the initial font; a cancel changes nothing and is no error.
    win32::QueueModalAnswer(win32::ModalKind::Font, IDOK);
    font_ = initial_;
    ASSERT_TRUE(ChooseFontA(&cf_));
    EXPECT_STREQ(font_.lfFaceName, "Courier New");
    EXPECT_EQ(cf_.nFontType, SCREEN_FONTTYPE | REGULAR_FONTTYPE);
    win32::QueueModalAnswer(win32::ModalKind::Font, IDCANCEL);
    EXPECT_FALSE(ChooseFontA(&cf_));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    EXPECT_STREQ(font_.lfFaceName, "Courier New");
}

TEST_F(FontDialogTest, ASizeOutsideTheLimitsIsRefusedWithAMessageAndBadRequestsFail) {
    cf_.Flags |= CF_LIMITSIZE;
    cf_.nSizeMin = 8;
    cf_.nSizeMax = 12;
    win32::QueueFontDialogChoice(Font("Arial", -96));
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Size must be between 8 and 12 points.");
    EXPECT_FALSE(ChooseFontA(&cf_));
    EXPECT_STREQ(font_.lfFaceName, "Courier New");

    CHOOSEFONTA wrongSize = cf_;
    wrongSize.lStructSize = 100;
    EXPECT_FALSE(ChooseFontA(&wrongSize));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_STRUCTSIZE));
    CHOOSEFONTA noFont = cf_;
    noFont.lpLogFont = nullptr;
    EXPECT_FALSE(ChooseFontA(&noFont));
    EXPECT_EQ(CommDlgExtendedError(), static_cast<DWORD>(CDERR_INITIALIZATION));
    EXPECT_EQ(win32::ModalRequests().size(), 2u); // the bad ones asked nothing
}

} // namespace
