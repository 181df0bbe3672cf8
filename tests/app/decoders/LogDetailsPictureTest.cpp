// The Log Details grid as a user sees it after a record is decoded: a failing status drawn red, the request's
// parameters under their kind's category.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "RecordDecoderCases.h"
#include "WinUiControl.h"
#include "afxwin.h"
#include "tests/support/LogDetailsPane.h"
#include "tests/support/UiFixture.h"

namespace {

class LogDetailsPictureTest : public tdl::test::UiTest {
protected:
    CWinApp m_app{"Tindaloft"};
};

TEST_F(LogDetailsPictureTest, DecodedPowerRecordIsDrawn) {
    CWnd owner;
    ASSERT_TRUE(
        owner.CreateEx(0, nullptr, "Log Details", WS_OVERLAPPEDWINDOW | WS_VISIBLE, CRect(0, 0, 460, 560), nullptr, 0));
    CRect client;
    owner.GetClientRect(&client);
    tdl::test::LogDetailsPane pane;
    ASSERT_TRUE(pane.Grid().Create(client, &owner, 100));
    pane.Grid().SetTheme(6);
    const char* dir = std::getenv("TDL_PICTURE_DIR");
    const std::filesystem::path folder = dir ? std::filesystem::path(dir) : std::filesystem::temp_directory_path();
    // A completed request that failed, then the initiated one: the second picture must not keep the first's
    // status or parameters.
    for (const ULONG tag : {LogTag::powC, LogTag::powI}) {
        ASSERT_TRUE(pane.ShowRecord(
            nullptr, decoder_test::Request(tag, 2, 0xC0000001).Part1(decoder_test::Words({1, 4, 0})).Build()));
        const std::string path = (folder / ("log_details_power_" + std::string(1, FourCCChar(tag, 3)) + ".png"));
        EXPECT_TRUE(win32::SavePicturePng(owner.m_hWnd, path.c_str()));
    }
    owner.DestroyWindow();
}

} // namespace
