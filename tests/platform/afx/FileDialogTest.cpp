// CFileDialog: the framework's filter text handed to the common dialog, the default extension and the
// overwrite question, and the chosen path's parts.
#include <gtest/gtest.h>

#include "AppFixture.h"
#include "WinFileDialogControl.h"
#include "afxdlgs.h"

namespace {

class FileDialogTest : public afx_test::AppFixture {
protected:
    void TearDown() override {
        win32::ClearFileDialogRequests();
        AppFixture::TearDown();
    }
};

TEST_F(FileDialogTest, ASaveDialogPassesItsFilterAndExtensionAndGivesThePathChosen) {
    CFileDialog dlg(FALSE, "csv", "log", OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT,
                    "CSV Files (*.csv)|*.csv|All Files (*.*)|*.*||");
    win32::QueueFileDialogChoice(PathOf("diag"));
    EXPECT_EQ(dlg.DoModal(), IDOK);
    const std::vector<win32::FileDialogRequest> requests = win32::FileDialogRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].save);
    EXPECT_EQ(requests[0].filter, "CSV Files (*.csv)|*.csv|All Files (*.*)|*.*");
    EXPECT_EQ(requests[0].defaultExtension, "csv");
    EXPECT_EQ(requests[0].initialName, "log");
    EXPECT_NE(requests[0].flags & OFN_OVERWRITEPROMPT, 0u);
    EXPECT_EQ(dlg.GetPathName(), CString(PathOf("diag.csv").c_str()));
    EXPECT_EQ(dlg.GetFileName(), CString("diag.csv"));
    EXPECT_EQ(dlg.GetFileExt(), CString("csv"));
}

TEST_F(FileDialogTest, AnOpenDialogCancelledChoosesNothingAndAFilterWithoutItsEndStillEnds) {
    CFileDialog dlg(TRUE, nullptr, nullptr, 0, "Logs (*.tdloft)|*.tdloft");
    win32::QueueModalAnswer(win32::ModalKind::File, IDCANCEL);
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    const std::vector<win32::FileDialogRequest> requests = win32::FileDialogRequests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_FALSE(requests[0].save);
    EXPECT_EQ(requests[0].filter, "Logs (*.tdloft)|*.tdloft");
    EXPECT_EQ(dlg.GetPathName(), CString());
    EXPECT_EQ(dlg.GetFileExt(), CString());
}

} // namespace
