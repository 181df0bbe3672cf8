// Where the widget tests save the pictures a reviewer looks at: $TDL_PICTURE_DIR, else the temporary folder.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

namespace tdl::test {

inline std::string WidgetPicturePath(const char* name) {
    const char* dir = std::getenv("TDL_PICTURE_DIR");
    const std::filesystem::path folder = dir ? std::filesystem::path(dir) : std::filesystem::temp_directory_path();
    return (folder / name).string();
}

} // namespace tdl::test
