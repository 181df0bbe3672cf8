#include <cctype>
#include <cstring>

#include "Setup.h"
#include "msi.h"

namespace {

constexpr DWORD kPackageCodeBuffer = 39; // a GUID in braces and its NUL

// The package code names a folder: only a GUID in braces, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", may.
bool IsBracedGuid(const char* code) {
    if (std::strlen(code) != 38 || code[0] != '{' || code[37] != '}')
        return false;
    for (int i = 1; i < 37; ++i) {
        const bool dash = i == 9 || i == 14 || i == 19 || i == 24;
        if (dash ? code[i] != '-' : !std::isxdigit(static_cast<unsigned char>(code[i])))
            return false;
    }
    return true;
}

// Creates a folder, or finds one already there; a file in its place is a failure.
bool MakeFolder(const char* path, bool& made) {
    made = CreateDirectoryA(path, nullptr) != FALSE;
    if (made)
        return true;
    if (GetLastError() != ERROR_ALREADY_EXISTS)
        return false;
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool Fail(HWND window, const char* tempFolder, const char* text) {
    ShowSetupError(window, text);
    RemoveFolderTree(tempFolder);
    return false;
}

} // namespace

bool CacheMsiPackage(HWND window, const char* tempFolder, const char* packageName, char* cachedPath) {
    cachedPath[0] = '\0';
    char source[MAX_PATH];
    if (!JoinPath(source, tempFolder, packageName))
        return Fail(window, tempFolder, "Did not find MSI in payload");

    char windows[MAX_PATH];
    char cacheFolder[MAX_PATH];
    const UINT windowsLength = GetWindowsDirectoryA(windows, MAX_PATH);
    bool made = false;
    if (windowsLength == 0 || windowsLength >= MAX_PATH ||
        !JoinPath(cacheFolder, windows, "Downloaded Installations") || !MakeFolder(cacheFolder, made))
        return Fail(window, tempFolder, "Failed to create MSI package directory");

    if (MsiVerifyPackageA(source) != ERROR_SUCCESS)
        return Fail(window, tempFolder, "MSI package file invalid");
    MSIHANDLE summary = 0;
    if (MsiGetSummaryInformationA(0, source, 0, &summary) != ERROR_SUCCESS)
        return Fail(window, tempFolder, "Failed to get MSI summary info");
    char code[kPackageCodeBuffer] = {};
    DWORD codeSize = kPackageCodeBuffer;
    UINT type = 0;
    INT number = 0;
    FILETIME time{};
    const UINT read = MsiSummaryInfoGetPropertyA(summary, PID_REVNUMBER, &type, &number, &time, code, &codeSize);
    MsiCloseHandle(summary);
    char codeFolder[MAX_PATH];
    if (read != ERROR_SUCCESS || !IsBracedGuid(code) || !JoinPath(codeFolder, cacheFolder, code))
        return Fail(window, tempFolder, "Failed to get MSI package code");

    bool madeCodeFolder = false;
    if (!MakeFolder(codeFolder, madeCodeFolder))
        return Fail(window, tempFolder, "Failed to create MSI package code directory");

    if (!JoinPath(cachedPath, codeFolder, packageName) ||
        !MoveFileExA(source, cachedPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
        // The folder may hold a package cached by an earlier run; only an empty one this run made goes.
        if (madeCodeFolder)
            RemoveDirectoryA(codeFolder);
        cachedPath[0] = '\0';
        return Fail(window, tempFolder, "Failed to move MSI package to cache");
    }
    RemoveFolderTree(tempFolder);
    return true;
}
