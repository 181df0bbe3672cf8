#include "HostFiles.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

#include "MachineTime.h"
#include "winerror.h"

namespace win32::internal {

std::string HostPathFromWindows(const char* path) {
    std::string text = path ? path : "";
    if (text.rfind("\\\\?\\", 0) == 0)
        text.erase(0, 4);
    if (text.size() >= 2 && text[1] == ':' &&
        ((text[0] >= 'A' && text[0] <= 'Z') || (text[0] >= 'a' && text[0] <= 'z')))
        text.erase(0, 2);
    for (char& c : text)
        if (c == '\\')
            c = '/';
    return text;
}

std::string WindowsPathFromHost(const std::string& path) {
    std::string text = path;
    for (char& c : text)
        if (c == '/')
            c = '\\';
    return text;
}

DWORD Win32ErrorFromErrno(int error) {
    switch (error) {
    case 0: return ERROR_SUCCESS;
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case EEXIST: return ERROR_FILE_EXISTS;
    case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
    case EBADF: return ERROR_INVALID_HANDLE;
    case EINVAL: return ERROR_INVALID_PARAMETER;
    case ENOSPC: return ERROR_DISK_FULL;
    case EDQUOT: return ERROR_HANDLE_DISK_FULL;
    case EMFILE:
    case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
    case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    case EROFS: return ERROR_WRITE_PROTECT;
    case EXDEV: return ERROR_NOT_SAME_DEVICE;
    case EBUSY:
    case ETXTBSY: return ERROR_SHARING_VIOLATION;
    case EFBIG: return ERROR_DISK_FULL;
    case ELOOP: return ERROR_CANTOPEN;
    default: return ERROR_GEN_FAILURE;
    }
}

DWORD MissingPathError(const std::string& hostPath) {
    size_t slash = hostPath.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return ERROR_FILE_NOT_FOUND;
    struct stat st;
    std::string parent = hostPath.substr(0, slash);
    if (stat(parent.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return ERROR_PATH_NOT_FOUND;
    return ERROR_FILE_NOT_FOUND;
}

ULONGLONG FileTimeTicksFromHost(const timespec& time) {
    constexpr ULONGLONG kSecondsFrom1601To1970 = 11644473600ULL;
    return (static_cast<ULONGLONG>(time.tv_sec) + kSecondsFrom1601To1970) * 10000000ULL +
           static_cast<ULONGLONG>(time.tv_nsec) / 100;
}

FILETIME FileTimeFromHost(const timespec& time) {
    return FileTimeOf(FileTimeTicksFromHost(time));
}

std::string Utf8FromUtf16(const WCHAR* text) {
    std::string out;
    if (!text)
        return out;
    for (const WCHAR* p = text; *p; ++p) {
        char32_t c = *p;
        if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
            ++p;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string Utf16FromUtf8(const char* text) {
    std::u16string out;
    if (!text)
        return out;
    const auto* p = reinterpret_cast<const unsigned char*>(text);
    while (*p) {
        char32_t c = 0xFFFD;
        int extra = 0;
        if (*p < 0x80) {
            c = *p;
        } else if ((*p & 0xE0) == 0xC0) {
            c = *p & 0x1F;
            extra = 1;
        } else if ((*p & 0xF0) == 0xE0) {
            c = *p & 0x0F;
            extra = 2;
        } else if ((*p & 0xF8) == 0xF0) {
            c = *p & 0x07;
            extra = 3;
        }
        ++p;
        for (int i = 0; i < extra; ++i, ++p) {
            if ((*p & 0xC0) != 0x80) {
                c = 0xFFFD;
                break;
            }
            c = (c << 6) | (*p & 0x3F);
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

FileObject::FileObject(int fd, std::string hostPath, DWORD access, bool deleteOnClose)
    : fd_(fd), hostPath_(std::move(hostPath)), access_(access), deleteOnClose_(deleteOnClose) {}

FileObject::~FileObject() {
    if (deleteOnClose_)
        unlink(hostPath_.c_str());
    close(fd_);
}

bool FileObject::CanRead() const {
    return (access_ & (GENERIC_READ | GENERIC_ALL | 0x0001 /* FILE_READ_DATA */)) != 0;
}
bool FileObject::CanWrite() const {
    return (access_ & (GENERIC_WRITE | GENERIC_ALL | 0x0002 /* FILE_WRITE_DATA */ | 0x0004 /* FILE_APPEND_DATA */)) !=
           0;
}

} // namespace win32::internal
