#include "WinFiles.h"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "WinDeviceIo.h"
#include "WinFailureControl.h"
#include "WinHandles.h"
#include "internal/HostFiles.h"
#include "internal/ModuleTable.h"
#include "winerror.h"
#include "winioctl.h"

using win32::internal::FileObject;
using win32::internal::HostPathFromWindows;
using win32::internal::MissingPathError;
using win32::internal::Win32ErrorFromErrno;
using win32::internal::WindowsPathFromHost;

namespace {

constexpr DWORD kReadRights = GENERIC_READ | GENERIC_ALL | 0x0001;            // FILE_READ_DATA
constexpr DWORD kWriteRights = GENERIC_WRITE | GENERIC_ALL | 0x0002 | 0x0004; // FILE_WRITE_DATA, FILE_APPEND_DATA

BOOL FailWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

BOOL FailWithErrno(int error, const std::string& hostPath = {}) {
    if (error == ENOENT && !hostPath.empty())
        return FailWith(MissingPathError(hostPath));
    return FailWith(Win32ErrorFromErrno(error));
}

std::shared_ptr<FileObject> FileOf(HANDLE file) {
    auto object = win32::LookupHandleAs<FileObject>(file);
    if (!object)
        SetLastError(ERROR_INVALID_HANDLE);
    return object;
}

// The host's status of an open file; fails with the handle's or the host's error.
BOOL StatOf(HANDLE file, struct stat& st) {
    auto object = FileOf(file);
    if (!object)
        return FALSE;
    if (fstat(object->Fd(), &st) != 0)
        return FailWithErrno(errno);
    return TRUE;
}

// The platform's convention for functions that fill a caller's text buffer: the length without the NUL when
// it fits, else the size needed including the NUL.
DWORD CopyOut(const std::string& text, LPSTR buffer, DWORD bufferLength) {
    if (!buffer || bufferLength <= text.size())
        return static_cast<DWORD>(text.size() + 1);
    std::memcpy(buffer, text.c_str(), text.size() + 1);
    return static_cast<DWORD>(text.size());
}

int OpenHost(const std::string& path, int flags, mode_t mode) {
    int fd;
    do {
        fd = open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

HANDLE OpenFile(const char* fileName, DWORD access, DWORD disposition, DWORD flags) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    const bool read = (access & kReadRights) != 0;
    const bool write = (access & kWriteRights) != 0;
    int mode = read && write ? O_RDWR : write ? O_WRONLY : O_RDONLY;
    if (disposition == TRUNCATE_EXISTING && !write) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    if (disposition < CREATE_NEW || disposition > TRUNCATE_EXISTING) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const mode_t permissions = (flags & FILE_ATTRIBUTE_READONLY) ? 0444 : 0666;
    std::string path = HostPathFromWindows(fileName);

    // CREATE_ALWAYS and OPEN_ALWAYS report whether the file was already there, so try the plain open first
    // and create exclusively only when that found nothing.
    int fd = -1;
    bool existed = false;
    for (int attempt = 0; attempt < 8 && fd < 0; ++attempt) {
        if (disposition == CREATE_NEW) {
            fd = OpenHost(path, mode | O_CREAT | O_EXCL, permissions);
            break;
        }
        fd = OpenHost(path, mode, 0);
        if (fd >= 0) {
            existed = true;
            break;
        }
        if (errno != ENOENT || disposition == OPEN_EXISTING || disposition == TRUNCATE_EXISTING)
            break;
        fd = OpenHost(path, mode | O_CREAT | O_EXCL, permissions);
        if (fd < 0 && errno != EEXIST)
            break;
    }
    if (fd < 0) {
        FailWithErrno(errno, path);
        return INVALID_HANDLE_VALUE;
    }
    struct stat st;
    bool haveStat = fstat(fd, &st) == 0;
    if (haveStat && S_ISDIR(st.st_mode) && !(flags & FILE_FLAG_BACKUP_SEMANTICS)) {
        close(fd);
        SetLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    // Only a regular file has a length to cut; a device (the host's /dev/null or /dev/full) opens as it is.
    bool truncatable = !haveStat || S_ISREG(st.st_mode);
    if (existed && truncatable && (disposition == CREATE_ALWAYS || disposition == TRUNCATE_EXISTING) &&
        ftruncate(fd, 0) != 0) {
        int error = errno;
        close(fd);
        FailWithErrno(error);
        return INVALID_HANDLE_VALUE;
    }
    HANDLE handle =
        win32::InsertHandle(std::make_shared<FileObject>(fd, path, access, (flags & FILE_FLAG_DELETE_ON_CLOSE) != 0));
    SetLastError(existed && (disposition == CREATE_ALWAYS || disposition == OPEN_ALWAYS) ? ERROR_ALREADY_EXISTS
                                                                                         : ERROR_SUCCESS);
    return handle;
}

bool IsDevicePath(const char* name) {
    return name && std::strncmp(name, "\\\\.\\", 4) == 0;
}

// One transfer, repeated until done: the host may move fewer bytes than asked.
BOOL Transfer(HANDLE file, void* buffer, DWORD bytes, LPDWORD done, LPOVERLAPPED overlapped, bool writing) {
    if (done)
        *done = 0;
    auto object = FileOf(file);
    if (!object)
        return FALSE;
    if (writing ? !object->CanWrite() : !object->CanRead())
        return FailWith(ERROR_ACCESS_DENIED);
    if (bytes && !buffer)
        return FailWith(ERROR_INVALID_USER_BUFFER);
    off_t position = -1;
    if (overlapped)
        position = static_cast<off_t>((static_cast<ULONGLONG>(overlapped->OffsetHigh) << 32) | overlapped->Offset);
    auto* bytesPtr = static_cast<char*>(buffer);
    DWORD total = 0;
    while (total < bytes) {
        ssize_t n;
        if (position >= 0)
            n = writing ? pwrite(object->Fd(), bytesPtr + total, bytes - total, position + total)
                        : pread(object->Fd(), bytesPtr + total, bytes - total, position + total);
        else
            n = writing ? write(object->Fd(), bytesPtr + total, bytes - total)
                        : read(object->Fd(), bytesPtr + total, bytes - total);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            if (done)
                *done = total;
            return FailWithErrno(errno);
        }
        if (n == 0)
            break; // end of file
        total += static_cast<DWORD>(n);
    }
    if (position >= 0) {
        // A synchronous handle leaves its file pointer behind the transfer, as the platform does.
        lseek(object->Fd(), position + total, SEEK_SET);
        overlapped->Internal = 0;
        overlapped->InternalHigh = total;
    }
    if (done)
        *done = total;
    return TRUE;
}

bool Seek(HANDLE file, LONGLONG distance, DWORD method, LONGLONG& newPosition) {
    auto object = FileOf(file);
    if (!object)
        return false;
    if (method > FILE_END) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    LONGLONG base = 0;
    if (method == FILE_CURRENT) {
        base = lseek(object->Fd(), 0, SEEK_CUR);
    } else if (method == FILE_END) {
        struct stat st;
        base = fstat(object->Fd(), &st) == 0 ? st.st_size : -1;
    }
    if (base < 0) {
        FailWithErrno(errno);
        return false;
    }
    LONGLONG target = base + distance;
    if (target < 0) {
        SetLastError(ERROR_NEGATIVE_SEEK);
        return false;
    }
    if (lseek(object->Fd(), static_cast<off_t>(target), SEEK_SET) < 0) {
        FailWithErrno(errno);
        return false;
    }
    newPosition = target;
    return true;
}

DWORD AttributesOf(const struct stat& st) {
    DWORD attributes = S_ISDIR(st.st_mode) ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_ARCHIVE;
    if (!(st.st_mode & S_IWUSR))
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes;
}

bool CopyContents(int from, int to) {
    char chunk[65536];
    for (;;) {
        ssize_t n = read(from, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n == 0;
        for (ssize_t written = 0; written < n;) {
            ssize_t w = write(to, chunk + written, static_cast<size_t>(n - written));
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0)
                return false;
            written += w;
        }
    }
}

BOOL CopyHostFile(const std::string& from, const std::string& to, bool failIfExists) {
    int in = OpenHost(from, O_RDONLY, 0);
    if (in < 0)
        return FailWithErrno(errno, from);
    struct stat st;
    fstat(in, &st);
    if (S_ISDIR(st.st_mode)) {
        close(in);
        return FailWith(ERROR_ACCESS_DENIED);
    }
    int out = OpenHost(to, O_WRONLY | O_CREAT | (failIfExists ? O_EXCL : O_TRUNC), st.st_mode & 0777);
    if (out < 0) {
        int error = errno;
        close(in);
        return FailWithErrno(error, to);
    }
    bool ok = CopyContents(in, out);
    int error = errno;
    close(in);
    close(out);
    return ok ? TRUE : FailWithErrno(error);
}

// "a/./b/../c" -> "a/c" for an absolute host path.
std::string Normalise(const std::string& absolute) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= absolute.size()) {
        size_t end = absolute.find('/', start);
        if (end == std::string::npos)
            end = absolute.size();
        std::string part = absolute.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& part : parts)
        out += "/" + part;
    if (out.empty() || absolute.back() == '/')
        out += "/";
    return out;
}

std::string HostCurrentDirectory() {
    char buffer[PATH_MAX];
    return getcwd(buffer, sizeof buffer) ? buffer : "/";
}

} // namespace

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES, DWORD disposition,
                   DWORD flagsAndAttributes, HANDLE) {
    if (IsDevicePath(fileName))
        return win32::OpenDeviceFile(fileName, desiredAccess, shareMode, disposition, flagsAndAttributes);
    return OpenFile(fileName, desiredAccess, disposition, flagsAndAttributes);
}

HANDLE CreateFileW(LPCWSTR fileName, DWORD desiredAccess, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                   DWORD disposition, DWORD flagsAndAttributes, HANDLE templateFile) {
    if (!fileName) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    std::string name = win32::internal::Utf8FromUtf16(fileName);
    return CreateFileA(name.c_str(), desiredAccess, shareMode, security, disposition, flagsAndAttributes, templateFile);
}

BOOL ReadFile(HANDLE file, LPVOID buffer, DWORD bytesToRead, LPDWORD bytesRead, LPOVERLAPPED overlapped) {
    return Transfer(file, buffer, bytesToRead, bytesRead, overlapped, false);
}

BOOL WriteFile(HANDLE file, LPCVOID buffer, DWORD bytesToWrite, LPDWORD bytesWritten, LPOVERLAPPED overlapped) {
    return Transfer(file, const_cast<void*>(buffer), bytesToWrite, bytesWritten, overlapped, true);
}

DWORD SetFilePointer(HANDLE file, LONG distance, PLONG distanceHigh, DWORD moveMethod) {
    LONGLONG move = distanceHigh
                        ? static_cast<LONGLONG>((static_cast<ULONGLONG>(static_cast<DWORD>(*distanceHigh)) << 32) |
                                                static_cast<DWORD>(distance))
                        : static_cast<LONGLONG>(distance);
    LONGLONG position = 0;
    if (!Seek(file, move, moveMethod, position))
        return INVALID_SET_FILE_POINTER;
    if (distanceHigh)
        *distanceHigh = static_cast<LONG>(position >> 32);
    // A low part of 0xFFFFFFFF is a valid position; callers tell it from failure by the last error.
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(position);
}

BOOL SetFilePointerEx(HANDLE file, LARGE_INTEGER distance, PLARGE_INTEGER newPosition, DWORD moveMethod) {
    LONGLONG position = 0;
    if (!Seek(file, distance.QuadPart, moveMethod, position))
        return FALSE;
    if (newPosition)
        newPosition->QuadPart = position;
    return TRUE;
}

BOOL GetFileSizeEx(HANDLE file, PLARGE_INTEGER fileSize) {
    struct stat st;
    if (!StatOf(file, st))
        return FALSE;
    if (fileSize)
        fileSize->QuadPart = st.st_size;
    return TRUE;
}

DWORD GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file, &size))
        return INVALID_FILE_SIZE;
    if (fileSizeHigh)
        *fileSizeHigh = static_cast<DWORD>(static_cast<ULONGLONG>(size.QuadPart) >> 32);
    SetLastError(ERROR_SUCCESS);
    return static_cast<DWORD>(size.QuadPart);
}

BOOL SetEndOfFile(HANDLE file) {
    auto object = FileOf(file);
    if (!object)
        return FALSE;
    if (!object->CanWrite())
        return FailWith(ERROR_ACCESS_DENIED);
    off_t position = lseek(object->Fd(), 0, SEEK_CUR);
    if (position < 0 || ftruncate(object->Fd(), position) != 0)
        return FailWithErrno(errno);
    return TRUE;
}

BOOL FlushFileBuffers(HANDLE file) {
    auto object = FileOf(file);
    if (!object)
        return FALSE;
    if (!object->CanWrite())
        return FailWith(ERROR_ACCESS_DENIED);
    if (fdatasync(object->Fd()) != 0)
        return FailWithErrno(errno);
    return TRUE;
}

BOOL GetFileTime(HANDLE file, LPFILETIME creationTime, LPFILETIME lastAccessTime, LPFILETIME lastWriteTime) {
    struct stat st;
    if (!StatOf(file, st))
        return FALSE;
    // The host keeps no creation time in stat; the last write stands in for it.
    if (creationTime)
        *creationTime = win32::internal::FileTimeFromHost(st.st_mtim);
    if (lastAccessTime)
        *lastAccessTime = win32::internal::FileTimeFromHost(st.st_atim);
    if (lastWriteTime)
        *lastWriteTime = win32::internal::FileTimeFromHost(st.st_mtim);
    return TRUE;
}

BOOL GetFileInformationByHandle(HANDLE file, LPBY_HANDLE_FILE_INFORMATION information) {
    struct stat st;
    if (!StatOf(file, st))
        return FALSE;
    if (!information)
        return FailWith(ERROR_INVALID_PARAMETER);
    *information = {};
    information->dwFileAttributes = AttributesOf(st);
    GetFileTime(file, &information->ftCreationTime, &information->ftLastAccessTime, &information->ftLastWriteTime);
    information->dwVolumeSerialNumber = static_cast<DWORD>(st.st_dev);
    information->nFileSizeHigh = static_cast<DWORD>(static_cast<ULONGLONG>(st.st_size) >> 32);
    information->nFileSizeLow = static_cast<DWORD>(st.st_size);
    information->nNumberOfLinks = static_cast<DWORD>(st.st_nlink);
    information->nFileIndexHigh = static_cast<DWORD>(static_cast<ULONGLONG>(st.st_ino) >> 32);
    information->nFileIndexLow = static_cast<DWORD>(st.st_ino);
    return TRUE;
}

BOOL DeleteFileA(LPCSTR fileName) {
    std::string path = HostPathFromWindows(fileName);
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
        return FailWith(ERROR_ACCESS_DENIED);
    if (unlink(path.c_str()) != 0)
        return FailWithErrno(errno, path);
    return TRUE;
}

BOOL MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags) {
    if (win32::internal::CallFailsNow("MoveFileExA"))
        return FALSE;
    if (!newFileName)
        return FailWith(ERROR_INVALID_PARAMETER); // deletion at the next boot is not offered
    std::string from = HostPathFromWindows(existingFileName);
    std::string to = HostPathFromWindows(newFileName);
    struct stat st;
    if (lstat(from.c_str(), &st) != 0)
        return FailWithErrno(errno, from);
    const bool replace = (flags & MOVEFILE_REPLACE_EXISTING) != 0;
    int result = replace ? rename(from.c_str(), to.c_str())
                         : renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
    if (result != 0 && errno == EEXIST)
        return FailWith(ERROR_ALREADY_EXISTS);
    if (result != 0 && errno == EXDEV && (flags & MOVEFILE_COPY_ALLOWED) && !S_ISDIR(st.st_mode)) {
        if (!CopyHostFile(from, to, !replace))
            return FALSE;
        unlink(from.c_str());
        result = 0;
    }
    if (result != 0)
        return FailWithErrno(errno, to);
    if (flags & MOVEFILE_WRITE_THROUGH)
        sync();
    return TRUE;
}

BOOL MoveFileA(LPCSTR existingFileName, LPCSTR newFileName) {
    return MoveFileExA(existingFileName, newFileName, MOVEFILE_COPY_ALLOWED);
}

BOOL CopyFileA(LPCSTR existingFileName, LPCSTR newFileName, BOOL failIfExists) {
    return CopyHostFile(HostPathFromWindows(existingFileName), HostPathFromWindows(newFileName), failIfExists);
}

BOOL CreateDirectoryA(LPCSTR pathName, LPSECURITY_ATTRIBUTES) {
    std::string path = HostPathFromWindows(pathName);
    if (mkdir(path.c_str(), 0777) == 0)
        return TRUE;
    if (errno == EEXIST)
        return FailWith(ERROR_ALREADY_EXISTS);
    if (errno == ENOENT)
        return FailWith(ERROR_PATH_NOT_FOUND);
    return FailWithErrno(errno);
}

BOOL RemoveDirectoryA(LPCSTR pathName) {
    std::string path = HostPathFromWindows(pathName);
    if (rmdir(path.c_str()) == 0)
        return TRUE;
    if (errno == ENOTDIR)
        return FailWith(ERROR_DIRECTORY);
    return FailWithErrno(errno, path);
}

DWORD GetFileAttributesA(LPCSTR fileName) {
    std::string path = HostPathFromWindows(fileName);
    struct stat st;
    if (stat(path.c_str(), &st) != 0) {
        FailWithErrno(errno, path);
        return INVALID_FILE_ATTRIBUTES;
    }
    return AttributesOf(st);
}

DWORD GetTempPathA(DWORD bufferLength, LPSTR buffer) {
    const char* folder = std::getenv("TMPDIR");
    std::string path = folder && *folder ? folder : "/tmp";
    if (path.back() != '/')
        path += '/';
    return CopyOut(WindowsPathFromHost(path), buffer, bufferLength);
}

UINT GetTempFileNameA(LPCSTR pathName, LPCSTR prefixString, UINT unique, LPSTR tempFileName) {
    if (!pathName || !tempFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string folder = pathName;
    if (!folder.empty() && folder.back() != '\\' && folder.back() != '/')
        folder += '\\';
    std::string prefix = prefixString ? std::string(prefixString).substr(0, 3) : std::string();
    auto nameFor = [&](UINT number) {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%X", number & 0xFFFF);
        return folder + prefix + digits + ".tmp";
    };
    auto emit = [&](const std::string& name) {
        if (name.size() >= MAX_PATH) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return false;
        }
        std::memcpy(tempFileName, name.c_str(), name.size() + 1);
        return true;
    };
    if (unique != 0)
        return emit(nameFor(unique)) ? unique : 0;

    struct stat st;
    if (stat(HostPathFromWindows(folder.c_str()).c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        SetLastError(ERROR_DIRECTORY);
        return 0;
    }
    // Start somewhere different in each process so that programs sharing the folder rarely collide.
    static std::atomic<UINT> next{static_cast<UINT>(getpid() * 7919u)};
    for (int attempt = 0; attempt < 0x10000; ++attempt) {
        UINT number = next.fetch_add(1) & 0xFFFF;
        if (number == 0)
            continue;
        std::string name = nameFor(number);
        if (name.size() >= MAX_PATH) {
            SetLastError(ERROR_BUFFER_OVERFLOW);
            return 0;
        }
        int fd = OpenHost(HostPathFromWindows(name.c_str()), O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (fd >= 0) {
            close(fd);
            emit(name);
            return number;
        }
        if (errno != EEXIST) {
            FailWithErrno(errno);
            return 0;
        }
    }
    SetLastError(ERROR_FILE_EXISTS);
    return 0;
}

DWORD GetFullPathNameA(LPCSTR fileName, DWORD bufferLength, LPSTR buffer, LPSTR* filePart) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_NAME);
        return 0;
    }
    std::string path = HostPathFromWindows(fileName);
    if (path.front() != '/')
        path = HostCurrentDirectory() + "/" + path;
    std::string full = WindowsPathFromHost(Normalise(path));
    DWORD result = CopyOut(full, buffer, bufferLength);
    if (filePart && buffer && result < bufferLength) {
        size_t slash = full.find_last_of('\\');
        *filePart = slash + 1 < full.size() ? buffer + slash + 1 : nullptr;
    }
    return result;
}

DWORD GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer) {
    return CopyOut(WindowsPathFromHost(HostCurrentDirectory()), buffer, bufferLength);
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    std::string path;
    if (!win32::internal::ModuleFilePath(module, path)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    if (!fileName || size == 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (path.size() >= size) {
        std::memcpy(fileName, path.c_str(), size - 1);
        fileName[size - 1] = '\0';
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return size;
    }
    std::memcpy(fileName, path.c_str(), path.size() + 1);
    return static_cast<DWORD>(path.size());
}

namespace win32::internal {

BOOL FileSystemControl(const FileObject& file, DWORD code, LPVOID inBuffer, DWORD inBufferSize, LPVOID outBuffer,
                       DWORD outBufferSize, LPDWORD bytesReturned) {
    (void)outBuffer;
    (void)outBufferSize;
    if (bytesReturned)
        *bytesReturned = 0;
    switch (code) {
    case FSCTL_SET_SPARSE:
        // The file system asks for the right to change the file, whatever the code's own access bits say.
        if (!file.CanWrite())
            return FailWith(ERROR_ACCESS_DENIED);
        if (inBuffer && inBufferSize < sizeof(FILE_SET_SPARSE_BUFFER) && inBufferSize != 0)
            return FailWith(ERROR_INVALID_PARAMETER);
        SetLastError(ERROR_SUCCESS);
        return TRUE;
    default: return FailWith(ERROR_INVALID_FUNCTION);
    }
}

} // namespace win32::internal
