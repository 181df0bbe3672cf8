// Internal to the user-mode stand-in: the bridge between the platform's file names and error codes and the
// host's. Not part of the platform's interface.
#pragma once

#include <ctime>
#include <string>

#include "WinHandles.h"

namespace win32::internal {

// A platform path as the host names it: separators become "/", a "\\?\" prefix and a drive letter are
// dropped ("C:\Temp\x" is "/Temp/x"). Relative paths stay relative to the host's current directory.
std::string HostPathFromWindows(const char* path);
// A host path as the platform shows it: separators become "\".
std::string WindowsPathFromHost(const std::string& path);

// The Win32 error code that best describes a host errno value.
DWORD Win32ErrorFromErrno(int error);
// For a failed open of a path that does not exist: ERROR_PATH_NOT_FOUND when a parent folder is missing,
// else ERROR_FILE_NOT_FOUND.
DWORD MissingPathError(const std::string& hostPath);

// A host time as the platform's FILETIME (100 ns units since 1601-01-01 UTC).
FILETIME FileTimeFromHost(const timespec& time);
ULONGLONG FileTimeTicksFromHost(const timespec& time);

// The platform's form of a UTF-16 text as UTF-8, and back (invalid units become U+FFFD).
std::string Utf8FromUtf16(const WCHAR* text);
std::u16string Utf16FromUtf8(const char* text);

// An open host file behind a file handle. Sections map it; the descriptor closes with the last reference.
class FileObject : public WinObject {
public:
    FileObject(int fd, std::string hostPath, DWORD access, bool deleteOnClose);
    ~FileObject() override;
    FileObject(const FileObject&) = delete;
    FileObject& operator=(const FileObject&) = delete;

    int Fd() const { return fd_; }
    const std::string& HostPath() const { return hostPath_; }
    bool CanRead() const;
    bool CanWrite() const;

private:
    int fd_;
    std::string hostPath_;
    DWORD access_;
    bool deleteOnClose_;
};

// DeviceIoControl on a file handle: the file-system control codes (winioctl.h) files answer. Host files keep
// holes without being told, so marking one sparse only checks the handle may change the file.
BOOL FileSystemControl(const FileObject& file, DWORD code, LPVOID inBuffer, DWORD inBufferSize, LPVOID outBuffer,
                       DWORD outBufferSize, LPDWORD bytesReturned);

} // namespace win32::internal
