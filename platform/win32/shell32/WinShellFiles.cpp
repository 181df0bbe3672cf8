#include "shellapi.h"

#include <filesystem>
#include <string>

#include "WinFailureControl.h"
#include "WinHandles.h"
#include "internal/HostFiles.h"
#include "winerror.h"

namespace {

// Removes one path; symbolic links go as links, whatever they point at.
int DeletePath(const char* path) {
    const std::filesystem::path host = win32::internal::HostPathFromWindows(path);
    std::error_code error;
    const auto status = std::filesystem::symlink_status(host, error);
    if (error || !std::filesystem::exists(status))
        return ERROR_FILE_NOT_FOUND;
    std::filesystem::remove_all(host, error);
    return error ? static_cast<int>(win32::internal::Win32ErrorFromErrno(error.value())) : 0;
}

} // namespace

int SHFileOperationA(LPSHFILEOPSTRUCTA fileOp) {
    if (win32::internal::CallFailsNow("SHFileOperationA"))
        return static_cast<int>(GetLastError());
    if (!fileOp || fileOp->wFunc != FO_DELETE || !fileOp->pFrom)
        return ERROR_INVALID_PARAMETER;
    fileOp->fAnyOperationsAborted = FALSE;
    int result = 0;
    for (const char* path = fileOp->pFrom; *path; path += std::char_traits<char>::length(path) + 1) {
        if (int failed = DeletePath(path))
            result = failed;
    }
    return result;
}
