// The save progress window as its user sees it: where the file goes, the bar, the status line and the check
// box, drawn; Cancel while the writer runs only marks the save, OK closes the window.
#include "app/ui/dialogs/LogProgress.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "WinCommonControls.h"
#include "app/core/app/Resource.h"
#include "app/core/document/USBLog.h"
#include "app/core/settings/AppSettings.h"
#include "app/ui/dialogs/ProgressDlg.h"
#include "tests/support/Pictures.h"
#include "tests/support/UiFixture.h"

namespace {

std::string ItemText(HWND dialog, int id) {
    char text[256] = {};
    ::GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

class LogProgressTest : public tdl::test::UiTest {};

TEST_F(LogProgressTest, ShowsTheTargetAndItsProgressAndIsDrawn) {
    CLogProgress progress;
    progress.m_strText = "C:\\Captures\\keyboard session.tdloft";
    ASSERT_TRUE(progress.Create(IDD_LOG_PROGRESS_SAVE));
    progress.ShowWindow(SW_SHOW);
    HWND hwnd = progress.GetSafeHwnd();
    EXPECT_TRUE(progress.IsShown());
    CString title;
    progress.GetWindowText(title);
    EXPECT_EQ(title, CString("Saving ..."));
    EXPECT_EQ(ItemText(hwnd, IDC_PROGRESS_PATH), "C:\\Captures\\keyboard session.tdloft");
    EXPECT_EQ(ItemText(hwnd, IDC_PROGRESS_CLEAR_AFTER_SAVE), "Clear capture buffer after save");
    EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(hwnd, IDC_PROGRESS_CLEAR_AFTER_SAVE)));
    // While the writer runs only Cancel can be pressed.
    EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hwnd, IDOK)));
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hwnd, IDCANCEL)));

    ProgressDlgSetPos(&progress, 40);
    EXPECT_EQ(::SendMessageA(::GetDlgItem(hwnd, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0), 40);
    EXPECT_TRUE(tdl::test::SavePicture(hwnd, "tdl-save-progress.png"));
    EXPECT_GT(std::filesystem::file_size(tdl::test::PicturePath("tdl-save-progress.png")), 0u);

    // Cancel: the save learns it at its next look; the window stays for the writer.
    ::SendMessageA(::GetDlgItem(hwnd, IDCANCEL), BM_CLICK, 0, 0);
    EXPECT_TRUE(progress.IsCancelled());
    EXPECT_FALSE(ProgressDlgPumpMessages(&progress));
    EXPECT_TRUE(::IsWindow(hwnd));
    ProgressDlgFinish(&progress, "File save canceled!");
    progress.GetWindowText(title);
    EXPECT_EQ(title, CString("Saving ... Canceled!"));
    EXPECT_EQ(ItemText(hwnd, IDC_PROGRESS_STATUS), "File save canceled!");
    // The bar stays where the save stopped.
    EXPECT_EQ(::SendMessageA(::GetDlgItem(hwnd, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0), 40);
    ::SendMessageA(::GetDlgItem(hwnd, IDOK), BM_CLICK, 0, 0);
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST_F(LogProgressTest, TheDoneTextOfASaveThatKeptFewerRecordsFitsItsLineAboveTheCheckBox) {
    // The longest such text: counts of millions, and the word of a filtered list.
    const char* const kText = "File saved: 1,234,567 of the 2,345,678 records captured (a capture file holds one "
                              "capture bank, the newest records)";
    CLogProgress progress;
    progress.m_strText = "C:\\Captures\\keyboard session.tdloft";
    ASSERT_TRUE(progress.Create(IDD_LOG_PROGRESS_SAVE));
    progress.ShowWindow(SW_SHOW);
    HWND hwnd = progress.GetSafeHwnd();
    ProgressDlgFinish(&progress, kText);
    EXPECT_EQ(ItemText(hwnd, IDC_PROGRESS_STATUS), kText);

    // Wrapped in the status line's own width and font, the text needs no more than the line's height.
    HWND hStatus = ::GetDlgItem(hwnd, IDC_PROGRESS_STATUS);
    CRect line;
    ::GetClientRect(hStatus, &line);
    HDC dc = ::GetDC(hStatus);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageA(hStatus, WM_GETFONT, 0, 0)));
    CRect needed(0, 0, line.Width(), 0);
    ::DrawTextA(dc, kText, -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    ::SelectObject(dc, old);
    ::ReleaseDC(hStatus, dc);
    EXPECT_LE(needed.Width(), line.Width());
    EXPECT_LE(needed.Height(), line.Height());
    // The line ends above the check box below it.
    CRect status;
    CRect check;
    ::GetWindowRect(hStatus, &status);
    ::GetWindowRect(::GetDlgItem(hwnd, IDC_PROGRESS_CLEAR_AFTER_SAVE), &check);
    EXPECT_LE(status.bottom, check.top);
    EXPECT_TRUE(tdl::test::SavePicture(hwnd, "tdl-save-progress-kept-fewer.png"));
    ::SendMessageA(::GetDlgItem(hwnd, IDOK), BM_CLICK, 0, 0);
    EXPECT_FALSE(::IsWindow(hwnd));
}

TEST_F(LogProgressTest, SuccessClosesTheWindowOnlyWithAutoCloseAndWithoutKeepOpen) {
    struct Case {
        bool autoClose;
        BOOL keepOpen;
        bool closes;
    };
    for (const Case c : {Case{true, FALSE, true}, Case{true, TRUE, false}, Case{false, FALSE, false}}) {
        SCOPED_TRACE(testing::Message() << "AutoCloseProgress " << c.autoClose << ", keep open " << c.keepOpen);
        CAppSettings settings;
        settings.AutoCloseProgress = c.autoClose;
        CUSBLog doc;
        doc.SetSettings(&settings);
        CLogProgress progress;
        progress.m_pDocument = &doc;
        progress.m_bKeepOpen = c.keepOpen;
        ASSERT_TRUE(progress.Create(IDD_LOG_PROGRESS_SAVE));
        HWND hwnd = progress.GetSafeHwnd();
        ProgressDlgFinish(&progress, "File saved successfully!");
        EXPECT_EQ(::IsWindow(hwnd) == FALSE, c.closes);
        if (::IsWindow(hwnd)) {
            EXPECT_EQ(::SendMessageA(::GetDlgItem(hwnd, IDC_PROGRESS_BAR), PBM_GETPOS, 0, 0), 100);
            EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(hwnd, IDOK)));
            EXPECT_FALSE(::IsWindowEnabled(::GetDlgItem(hwnd, IDCANCEL)));
            EXPECT_EQ(ItemText(hwnd, IDC_PROGRESS_STATUS), "File saved successfully!");
        }
    }
}

} // namespace
