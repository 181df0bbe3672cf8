// Fixtures shared by the user-mode stand-in's tests.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace win32::test {

// A fresh host folder for one test, removed with everything in it afterwards.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "tdl-win32-XXXXXX").string();
        path_ = mkdtemp(pattern.data()) ? pattern : std::string();
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }
    // A path inside the folder in the platform's form, with "\" separators.
    std::string WinPath(const std::string& name) const {
        std::string text = path_ + "/" + name;
        for (char& c : text)
            if (c == '/')
                c = '\\';
        return text;
    }
    std::string HostPath(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

} // namespace win32::test
