// Shared fixture of the framework's application and document tests: an empty registry, a folder of the
// test's own for files, and file helpers in the platform's path form.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "NtRegistryStore.h"
#include "WinModulesControl.h"
#include "WinUiControl.h"

namespace afx_test {

class AppFixture : public ::testing::Test {
public:
    void SetUp() override {
        nt::registry::Reset();
        m_dir =
            std::filesystem::temp_directory_path() / ("afx_app_test_" + std::to_string(::getpid()) + "_" +
                                                      ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir);
        win32::ClearModalRequests();
    }
    void TearDown() override {
        std::filesystem::remove_all(m_dir);
        win32::ResetModules();
        nt::registry::Reset();
    }

    // Paths the framework hands back are in the platform's form, with "\" separators.
    static std::string Win(const std::filesystem::path& path) {
        std::string text = path.string();
        std::replace(text.begin(), text.end(), '/', '\\');
        return text;
    }
    static std::string Host(const std::string& path) {
        std::string text = path;
        std::replace(text.begin(), text.end(), '\\', '/');
        return text;
    }
    std::string PathOf(const std::string& name) const { return Win(m_dir / name); }
    static void WriteFile(const std::string& path, const std::string& bytes) {
        std::ofstream out(Host(path), std::ios::binary);
        out << bytes;
    }
    static std::string ReadFile(const std::string& path) {
        std::ifstream in(Host(path), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    // Names of the files in a folder, sorted.
    static std::vector<std::string> FilesIn(const std::filesystem::path& dir) {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    // The texts of the message boxes shown since the last call.
    static std::vector<std::string> TakeBoxes() {
        std::vector<std::string> texts;
        for (const win32::ModalRequest& request : win32::ModalRequests())
            if (request.kind == win32::ModalKind::MessageBox)
                texts.push_back(request.text);
        win32::ClearModalRequests();
        return texts;
    }

    std::filesystem::path m_dir;
};

} // namespace afx_test
