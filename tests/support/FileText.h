// What a file holds, byte for byte (empty when it cannot be read).
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tdl::test {

inline std::string FileText(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace tdl::test
