// A fresh host folder per test for the report writers' files, and their bytes read back.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

namespace markup_test {

class ReportFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir =
            std::filesystem::temp_directory_path() / ("tdl_report_" + std::to_string(::getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }

    std::string PathOf(const char* name) const { return (m_dir / name).string(); }
    std::string Contents(const char* name) const {
        std::ifstream in(PathOf(name), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path m_dir;
};

} // namespace markup_test
