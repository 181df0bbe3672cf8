#include "ArchivePaths.h"

#include "windows.h"

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

} // namespace

bool StaysBelowBase(const std::string& path) {
    if (path.empty() || IsSeparator(path[0]) || (path.size() > 1 && path[1] == ':'))
        return false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = start;
        while (end < path.size() && !IsSeparator(path[end]))
            ++end;
        if (path.compare(start, end - start, "..") == 0)
            return false;
        start = end + 1;
    }
    return true;
}

void MakeDirectoryPath(const std::string& baseFolder, const std::string& relativePath) {
    std::string folder = baseFolder;
    size_t start = 0;
    while (start < relativePath.size()) {
        size_t end = start;
        while (end < relativePath.size() && !IsSeparator(relativePath[end]))
            ++end;
        if (end > start) {
            folder.append(relativePath, start, end - start);
            CreateDirectoryA(folder.c_str(), nullptr);
            folder += '\\';
        }
        start = end + 1;
    }
}
