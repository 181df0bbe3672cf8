// The run's folder: one run at a time, files moved in place only when the run ends well, and the previous run's
// files left as they were when it does not.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tests/support/FileText.h"
#include "tools/run-capture/RunFolder.h"

namespace {

namespace fs = std::filesystem;
using tdl::session::RunFolder;
using tdl::test::FileText;

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class RunFolderTest : public testing::Test {
protected:
    void SetUp() override {
        m_dir = fs::temp_directory_path() / ("tdl-run-folder-" + std::to_string(::getpid()) + "-" +
                                             testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_dir);
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(m_dir, ignored);
    }

    fs::path m_dir;
};

TEST_F(RunFolderTest, ASecondRunIsRefusedWhileTheFirstHoldsTheFolder) {
    std::string error;
    {
        RunFolder first(m_dir);
        ASSERT_TRUE(first.Claim(error)) << error;
        EXPECT_TRUE(fs::is_directory(m_dir / "state"));
        WriteFile(first.Unfinished("session.tdloft"), "first");

        RunFolder second(m_dir);
        EXPECT_FALSE(second.Claim(error));
        EXPECT_EQ("another run is using the state folder " + (m_dir / "state").string(), error);
        // The refused run touched nothing of the first one's.
        EXPECT_EQ("first", FileText(first.Unfinished("session.tdloft")));
    }
    // The lock goes with the run that held it.
    RunFolder third(m_dir);
    EXPECT_TRUE(third.Claim(error)) << error;
}

TEST_F(RunFolderTest, FilesMoveInPlaceOnlyWhenTheRunEndsWell) {
    std::string error;
    {
        RunFolder earlier(m_dir);
        ASSERT_TRUE(earlier.Claim(error)) << error;
        EXPECT_FALSE(earlier.HoldsEarlierFiles());
        WriteFile(earlier.Unfinished("session.tdloft"), "earlier capture");
        WriteFile(earlier.Unfinished("records.htm"), "earlier page");
        EXPECT_FALSE(fs::exists(earlier.Final("session.tdloft")));
        ASSERT_TRUE(earlier.Publish(error)) << error;
    }
    EXPECT_EQ("earlier capture", FileText(m_dir / "session.tdloft"));
    EXPECT_FALSE(fs::exists(m_dir / "unfinished"));

    {
        // A run that fails half-way leaves the earlier files and no half-written one.
        RunFolder failed(m_dir);
        ASSERT_TRUE(failed.Claim(error)) << error;
        EXPECT_TRUE(failed.HoldsEarlierFiles());
        WriteFile(failed.Unfinished("session.tdloft"), "half");
        failed.Discard();
    }
    EXPECT_EQ("earlier capture", FileText(m_dir / "session.tdloft"));
    EXPECT_EQ("earlier page", FileText(m_dir / "records.htm"));
    EXPECT_FALSE(fs::exists(m_dir / "unfinished"));

    // What a killed run left behind goes when the next run claims the folder; its files replace the earlier.
    fs::create_directories(m_dir / "unfinished");
    WriteFile(m_dir / "unfinished" / "device-report.htm", "left behind");
    RunFolder next(m_dir);
    ASSERT_TRUE(next.Claim(error)) << error;
    EXPECT_FALSE(fs::exists(next.Unfinished("device-report.htm")));
    WriteFile(next.Unfinished("session.tdloft"), "next capture");
    ASSERT_TRUE(next.Publish(error)) << error;
    EXPECT_EQ("next capture", FileText(m_dir / "session.tdloft"));
    EXPECT_EQ("earlier page", FileText(m_dir / "records.htm"));
    EXPECT_FALSE(fs::exists(m_dir / "device-report.htm"));
}

TEST_F(RunFolderTest, AFolderThatCannotBeMadeSaysWhy) {
    fs::create_directories(m_dir);
    WriteFile(m_dir / "state", "a file where the state folder goes");
    RunFolder folder(m_dir);
    std::string error;
    EXPECT_FALSE(folder.Claim(error));
    EXPECT_EQ(0u, error.rfind("cannot make " + (m_dir / "state").string() + ": ", 0)) << error;
}

} // namespace
