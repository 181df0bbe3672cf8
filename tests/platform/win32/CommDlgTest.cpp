// The common dialogs over the modal request service. The save dialog: what it is asked with, the name it
// returns, the default extension, the overwrite prompt and the requests it cannot meet. The open dialog: a
// file that must exist. Print setup: confirmed or cancelled, and the forms it does not offer.
#include <cstdio>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "WinFileDialogControl.h"
#include "commdlg.h"
#include "tests/support/UiFixture.h"

namespace {

class CommDlgTest : public tdl::test::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        win32::ClearFileDialogRequests();
        m_ofn.lStructSize = sizeof m_ofn;
        m_ofn.lpstrFilter = "Text (*.txt)\0*.txt\0All (*.*)\0*.*\0";
        m_ofn.lpstrFile = m_name;
        m_ofn.nMaxFile = sizeof m_name;
        m_ofn.lpstrDefExt = "txt";
    }

    OPENFILENAMEA m_ofn{};
    char m_name[256] = {};
};

TEST_F(CommDlgTest, AChosenNameComesBackWithTheDefaultExtensionWhenItHasNone) {
    struct Case {
        const char* chosen;
        const char* path;
        WORD offset;
        WORD extension;
    } cases[] = {
        {"/tmp/dir/report", "/tmp/dir/report.txt", 9, 16},
        {"/tmp/dir/report.csv", "/tmp/dir/report.csv", 9, 16},
        {"/tmp/dir.d/report", "/tmp/dir.d/report.txt", 11, 18},
    };
    for (const Case& c : cases) {
        win32::QueueFileDialogChoice(c.chosen, "*.txt");
        ASSERT_TRUE(GetSaveFileNameA(&m_ofn)) << c.chosen;
        EXPECT_STREQ(c.path, m_name);
        EXPECT_EQ(c.offset, m_ofn.nFileOffset);
        EXPECT_EQ(c.extension, m_ofn.nFileExtension);
        EXPECT_EQ(0u, CommDlgExtendedError());
    }
    auto requests = win32::ModalRequests();
    ASSERT_EQ(3u, requests.size());
    EXPECT_EQ(win32::ModalKind::File, requests[0].kind);
    EXPECT_EQ("Save As", requests[0].caption);
    EXPECT_EQ("Text (*.txt)|*.txt|All (*.*)|*.*", requests[0].text);
    auto records = win32::FileDialogRequests();
    ASSERT_EQ(3u, records.size());
    EXPECT_EQ("txt", records[0].defaultExtension);
    EXPECT_EQ("/tmp/dir/report.txt", records[0].chosen);
}

TEST_F(CommDlgTest, CancelAndUnexpectedRequestsChooseNothing) {
    std::snprintf(m_name, sizeof m_name, "initial");
    win32::QueueModalAnswer(win32::ModalKind::File, IDCANCEL);
    EXPECT_FALSE(GetSaveFileNameA(&m_ofn));
    EXPECT_EQ(0u, CommDlgExtendedError());
    EXPECT_STREQ("initial", m_name);

    win32::SetModalStrict(false);
    EXPECT_FALSE(GetSaveFileNameA(&m_ofn)); // nobody answers: the default is a cancel
    EXPECT_EQ(1u, win32::UnexpectedModalRequests().size());

    // IDOK without a choice takes the initial name.
    win32::QueueModalAnswer(win32::ModalKind::File, IDOK);
    EXPECT_TRUE(GetSaveFileNameA(&m_ofn));
    EXPECT_STREQ("initial.txt", m_name);
}

TEST_F(CommDlgTest, RequestsThatCannotBeMetFailWithTheirError) {
    win32::QueueFileDialogChoice(std::string(300, 'a'));
    EXPECT_FALSE(GetSaveFileNameA(&m_ofn));
    EXPECT_EQ(static_cast<DWORD>(FNERR_BUFFERTOOSMALL), CommDlgExtendedError());
    EXPECT_STREQ("", m_name);

    m_ofn.lStructSize = 10;
    EXPECT_FALSE(GetSaveFileNameA(&m_ofn));
    EXPECT_EQ(static_cast<DWORD>(CDERR_STRUCTSIZE), CommDlgExtendedError());
    EXPECT_FALSE(GetSaveFileNameA(nullptr));
}

TEST_F(CommDlgTest, TheOverwritePromptAsksOnlyForAFileThatExists) {
    std::string existing = "/tmp/tdl_commdlg_" + std::to_string(::getpid()) + ".txt";
    std::FILE* f = std::fopen(existing.c_str(), "w");
    ASSERT_NE(nullptr, f);
    std::fclose(f);
    m_ofn.Flags = OFN_OVERWRITEPROMPT;

    // No keeps the dialog up: it asks again, here for a name that is free.
    std::string other = "/tmp/tdl_commdlg_other_" + std::to_string(::getpid()) + ".txt";
    win32::QueueFileDialogChoice(existing);
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDNO, "already exists");
    win32::QueueFileDialogChoice(other);
    EXPECT_TRUE(GetSaveFileNameA(&m_ofn));
    EXPECT_EQ(other, m_name);
    // No, then Cancel: nothing is chosen.
    win32::QueueFileDialogChoice(existing);
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDNO, "already exists");
    win32::QueueModalAnswer(win32::ModalKind::File, IDCANCEL);
    EXPECT_FALSE(GetSaveFileNameA(&m_ofn));
    EXPECT_EQ(0u, CommDlgExtendedError());
    win32::QueueFileDialogChoice(existing);
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDYES, "already exists");
    EXPECT_TRUE(GetSaveFileNameA(&m_ofn));
    EXPECT_EQ(existing, m_name);
    std::remove(existing.c_str());

    win32::QueueFileDialogChoice(existing); // gone now: no question
    EXPECT_TRUE(GetSaveFileNameA(&m_ofn));
    auto boxes = win32::ModalRequests();
    ASSERT_EQ(9u, boxes.size());
    EXPECT_EQ(win32::ModalKind::MessageBox, boxes[1].kind);
    EXPECT_EQ("tdl_commdlg_" + std::to_string(::getpid()) + ".txt already exists.\nDo you want to replace it?",
              boxes[1].text);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONEXCLAMATION), boxes[1].style);
}

TEST_F(CommDlgTest, TheOpenDialogTakesOnlyAFileThatExistsWhenItMust) {
    std::string existing = "/tmp/tdl_commdlg_open_" + std::to_string(::getpid()) + ".txt";
    std::FILE* f = std::fopen(existing.c_str(), "w");
    ASSERT_NE(nullptr, f);
    std::fclose(f);
    std::string missing = "/tmp/tdl_commdlg_missing_" + std::to_string(::getpid()) + ".txt";
    m_ofn.Flags = OFN_FILEMUSTEXIST;

    win32::QueueFileDialogChoice(existing);
    EXPECT_TRUE(GetOpenFileNameA(&m_ofn));
    EXPECT_EQ(existing, m_name);
    win32::QueueFileDialogChoice(missing);
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "File not found");
    win32::QueueModalAnswer(win32::ModalKind::File, IDCANCEL); // asked again, then cancelled
    EXPECT_FALSE(GetOpenFileNameA(&m_ofn));
    EXPECT_EQ(0u, CommDlgExtendedError());
    EXPECT_EQ(existing, m_name);
    m_ofn.Flags = 0; // a name to create is taken as it is
    win32::QueueFileDialogChoice(missing);
    EXPECT_TRUE(GetOpenFileNameA(&m_ofn));
    EXPECT_EQ(missing, m_name);
    std::remove(existing.c_str());

    auto requests = win32::ModalRequests();
    ASSERT_EQ(5u, requests.size()); // the refused name's dialog was asked twice
    EXPECT_EQ("Open", requests[0].caption);
    EXPECT_EQ(win32::ModalKind::MessageBox, requests[2].kind);
    EXPECT_TRUE(requests[2].expected);
    EXPECT_EQ(win32::ModalKind::File, requests[3].kind);
    auto records = win32::FileDialogRequests();
    ASSERT_EQ(3u, records.size());
    EXPECT_FALSE(records[0].save);
    EXPECT_EQ("", records[1].chosen);
}

TEST_F(CommDlgTest, PrintSetupIsConfirmedOrCancelledAndOtherFormsFail) {
    PRINTDLGA pd{};
    pd.lStructSize = sizeof pd;
    pd.Flags = PD_PRINTSETUP;
    win32::QueueModalAnswer(win32::ModalKind::PrintSetup, IDOK);
    EXPECT_TRUE(PrintDlgA(&pd));
    win32::QueueModalAnswer(win32::ModalKind::PrintSetup, IDCANCEL);
    EXPECT_FALSE(PrintDlgA(&pd));
    EXPECT_EQ(0u, CommDlgExtendedError());
    auto requests = win32::ModalRequests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ(win32::ModalKind::PrintSetup, requests[0].kind);
    EXPECT_EQ("Print Setup", requests[0].caption);

    pd.Flags = 0; // the print dialog itself is not offered
    EXPECT_FALSE(PrintDlgA(&pd));
    EXPECT_EQ(static_cast<DWORD>(CDERR_INITIALIZATION), CommDlgExtendedError());
    pd.lStructSize = 8;
    pd.Flags = PD_PRINTSETUP;
    EXPECT_FALSE(PrintDlgA(&pd));
    EXPECT_EQ(static_cast<DWORD>(CDERR_STRUCTSIZE), CommDlgExtendedError());
    EXPECT_EQ(2u, win32::ModalRequests().size()); // neither asked the user
}

} // namespace
