#include <cstdio>
#include <cstring>

#include "Setup.h"
#include "shellapi.h"

const char* FindExtension(const char* name) {
    const char* dot = std::strrchr(name, '.');
    return dot && dot != name ? dot : name + std::strlen(name);
}

bool JoinPath(char* buffer, const char* folder, const char* name) {
    const int length = std::snprintf(buffer, MAX_PATH, "%s\\%s", folder, name);
    if (length < 0 || length >= MAX_PATH) {
        buffer[0] = '\0';
        return false;
    }
    return true;
}

void RemoveFolderTree(const char* folder) {
    // The shell takes a list of paths, each ended by a NUL, the list by a second one.
    char list[MAX_PATH + 2] = {};
    std::snprintf(list, MAX_PATH, "%s", folder);
    SHFILEOPSTRUCTA operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = list;
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    SHFileOperationA(&operation);
    RemoveDirectoryA(folder);
}
