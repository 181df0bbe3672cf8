// The CSV export: the dialog it asks, the one line it writes, and each way it can end without a file.
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "WinFileDialogControl.h"
#include "app/decoders/framework/CSVOutput.h"
#include "commdlg.h"
#include "tests/support/UiFixture.h"

namespace {

class CSVOutputTest : public tdl::test::UiTest {
protected:
    void SetUp() override {
        UiTest::SetUp();
        win32::ClearFileDialogRequests();
        m_dir =
            std::filesystem::temp_directory_path() / ("tdl_csv_" + std::to_string(::getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
        UiTest::TearDown();
    }

    std::string PathOf(const char* name) const { return (m_dir / name).string(); }
    std::string Contents(const char* name) const {
        std::ifstream in(PathOf(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Chooses the file in the dialog, opens it and writes the bytes; the file's contents afterwards. An
    // existing file is replaced when the test has queued the answer to the overwrite prompt.
    std::string Export(const std::vector<BYTE>& bytes, bool expectWritten = true) {
        win32::QueueFileDialogChoice(PathOf("data.csv"));
        CCSVOutput out;
        EXPECT_TRUE(out.Open());
        EXPECT_EQ(expectWritten, out.WriteBytes(bytes.empty() ? nullptr : bytes.data(), bytes.size()));
        out.Close();
        return Contents("data.csv");
    }

    std::filesystem::path m_dir;
};

TEST_F(CSVOutputTest, TheSaveDialogIsAskedForACsvFileWithOnlyTheOverwritePrompt) {
    win32::QueueFileDialogChoice(PathOf("chosen"));
    CCSVOutput out;
    ASSERT_TRUE(out.Open());
    EXPECT_STREQ(PathOf("chosen.csv").c_str(), out.GetPath());
    EXPECT_TRUE(std::filesystem::exists(PathOf("chosen.csv")));
    auto requests = win32::FileDialogRequests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_TRUE(requests[0].save);
    EXPECT_EQ(nullptr, requests[0].owner);
    EXPECT_EQ("csv", requests[0].defaultExtension);
    EXPECT_EQ("CSV Files (*.csv)|*.csv|All Files (*.*)|*.*", requests[0].filter);
    EXPECT_EQ(static_cast<DWORD>(OFN_OVERWRITEPROMPT), requests[0].flags);
    EXPECT_EQ("", requests[0].initialName);
}

TEST_F(CSVOutputTest, TheBytesAreOneLineOfLowerCaseHexNumbers) {
    EXPECT_EQ("01,ab,ff\r\n", Export({0x01, 0xAB, 0xFF}));
    std::filesystem::remove(PathOf("data.csv"));
    EXPECT_EQ("00\r\n", Export({0x00}));
    std::filesystem::remove(PathOf("data.csv"));

    std::vector<BYTE> thousand(1000);
    for (size_t i = 0; i < thousand.size(); ++i)
        thousand[i] = static_cast<BYTE>(i * 7);
    std::string line = Export(thousand);
    ASSERT_EQ(3001u, line.size()); // 2,000 digits, 999 commas, CR LF
    EXPECT_EQ(999, std::count(line.begin(), line.end(), ','));
    EXPECT_EQ(line.size() - 2, line.find('\r'));
    EXPECT_EQ("00,07,0e,15", line.substr(0, 11));
    EXPECT_EQ("43,4a,51\r\n", line.substr(line.size() - 10)); // bytes 997 to 999: (i * 7) & 0xff
}

TEST_F(CSVOutputTest, AnEmptyBufferLeavesTheChosenFileEmpty) {
    EXPECT_EQ("", Export({}, false));
    EXPECT_TRUE(std::filesystem::exists(PathOf("data.csv")));
}

TEST_F(CSVOutputTest, ACancelledDialogCreatesNothing) {
    win32::QueueModalAnswer(win32::ModalKind::File, IDCANCEL);
    CCSVOutput out;
    EXPECT_FALSE(out.Open());
    EXPECT_TRUE(out.GetPath().IsEmpty());
    EXPECT_TRUE(std::filesystem::is_empty(m_dir));
    EXPECT_EQ(1u, win32::ModalRequests().size()); // no message either
}

TEST_F(CSVOutputTest, AFileThatCannotBeOpenedIsToldAndFails) {
    std::string path = PathOf("missing/data.csv");
    win32::QueueFileDialogChoice(path);
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDOK, "Failed to open");
    CCSVOutput out;
    EXPECT_FALSE(out.Open());
    auto requests = win32::ModalRequests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("Failed to open:\n" + path, requests[1].text);
    EXPECT_FALSE(out.WriteBytes(reinterpret_cast<const BYTE*>("x"), 1)); // no file: a failed write, not a crash
}

TEST_F(CSVOutputTest, AnExistingFileIsReplacedOnlyAfterTheOverwritePrompt) {
    std::ofstream(PathOf("data.csv")) << "old contents that are longer";
    win32::QueueModalAnswer(win32::ModalKind::MessageBox, IDYES, "already exists");
    EXPECT_EQ("2a\r\n", Export({0x2A}));
}

TEST_F(CSVOutputTest, AFileWhoseWritesFailGivesFalse) {
    CCSVOutput out;
    ASSERT_TRUE(out.OpenPath("/dev/full"));
    EXPECT_STREQ("/dev/full", out.GetPath());
    const BYTE bytes[] = {1, 2, 3};
    EXPECT_FALSE(out.WriteBytes(bytes, sizeof bytes));
}

} // namespace
