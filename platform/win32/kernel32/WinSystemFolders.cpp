#include "WinSystemFolders.h"

#include <cstring>
#include <filesystem>
#include <string>

#include "WinFailureControl.h"
#include "WinHandles.h"
#include "WinMachineProfile.h"
#include "internal/HostFiles.h"
#include "winerror.h"

UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    if (win32::internal::CallFailsNow("GetWindowsDirectoryA"))
        return 0;
    const std::filesystem::path folder = std::filesystem::path(win32::StateFolder()) / "Windows";
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error || !std::filesystem::is_directory(folder, error)) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    const std::string text = win32::internal::WindowsPathFromHost(folder.string());
    if (!buffer || size <= text.size())
        return static_cast<UINT>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<UINT>(text.size());
}
