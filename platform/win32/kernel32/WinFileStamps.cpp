#include "WinFileStamps.h"

#include <cerrno>
#include <sys/stat.h>

#include "WinDeviceIo.h"
#include "WinFailureControl.h"
#include "WinHandles.h"
#include "internal/HostFiles.h"
#include "internal/MachineTime.h"
#include "winerror.h"

namespace {

using win32::internal::CallFailsNow;

constexpr ULONGLONG kTicksPerSecond = 10'000'000;
constexpr ULONGLONG kUnixEpochTicks = 116'444'736'000'000'000; // 1970-01-01 in 100 ns units since 1601

BOOL FailWith(DWORD error) {
    SetLastError(error);
    return FALSE;
}

timespec HostTimeOf(const FILETIME* time) {
    if (!time)
        return timespec{0, UTIME_OMIT};
    // Below the Unix epoch the division rounds towards zero; floor it so that the nanoseconds stay positive.
    LONGLONG ticks = static_cast<LONGLONG>(win32::internal::TicksOf(*time)) - static_cast<LONGLONG>(kUnixEpochTicks);
    LONGLONG seconds = ticks / static_cast<LONGLONG>(kTicksPerSecond);
    LONGLONG rest = ticks % static_cast<LONGLONG>(kTicksPerSecond);
    if (rest < 0) {
        rest += kTicksPerSecond;
        --seconds;
    }
    return timespec{static_cast<time_t>(seconds), static_cast<long>(rest * 100)};
}

bool TopBitSet(const FILETIME* time) {
    return time && (time->dwHighDateTime & 0x80000000u);
}

} // namespace

DWORD GetFileType(HANDLE file) {
    if (CallFailsNow("GetFileType"))
        return FILE_TYPE_UNKNOWN;
    auto object = win32::LookupHandle(file);
    auto host = std::dynamic_pointer_cast<win32::internal::FileObject>(object);
    if (!host) {
        SetLastError(object ? ERROR_SUCCESS : ERROR_INVALID_HANDLE);
        return FILE_TYPE_UNKNOWN;
    }
    struct stat st;
    if (fstat(host->Fd(), &st) != 0) {
        SetLastError(win32::internal::Win32ErrorFromErrno(errno));
        return FILE_TYPE_UNKNOWN;
    }
    SetLastError(ERROR_SUCCESS);
    if (S_ISCHR(st.st_mode))
        return FILE_TYPE_CHAR;
    if (S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode))
        return FILE_TYPE_PIPE;
    return FILE_TYPE_DISK;
}

BOOL SetFileTime(HANDLE file, const FILETIME* creationTime, const FILETIME* lastAccessTime,
                 const FILETIME* lastWriteTime) {
    if (CallFailsNow("SetFileTime"))
        return FALSE;
    auto host = win32::LookupHandleAs<win32::internal::FileObject>(file);
    if (!host)
        return FailWith(ERROR_INVALID_HANDLE);
    if (!host->CanWrite())
        return FailWith(ERROR_ACCESS_DENIED);
    if (TopBitSet(creationTime) || TopBitSet(lastAccessTime) || TopBitSet(lastWriteTime))
        return FailWith(ERROR_INVALID_PARAMETER);
    const timespec times[2] = {HostTimeOf(lastAccessTime), HostTimeOf(lastWriteTime)};
    if (futimens(host->Fd(), times) != 0)
        return FailWith(win32::internal::Win32ErrorFromErrno(errno));
    return TRUE;
}

BOOL DosDateTimeToFileTime(WORD fatDate, WORD fatTime, LPFILETIME fileTime) {
    if (CallFailsNow("DosDateTimeToFileTime"))
        return FALSE;
    if (!fileTime)
        return FailWith(ERROR_INVALID_PARAMETER);
    SYSTEMTIME time{};
    time.wYear = static_cast<WORD>(1980 + (fatDate >> 9));
    time.wMonth = static_cast<WORD>((fatDate >> 5) & 0x0F);
    time.wDay = static_cast<WORD>(fatDate & 0x1F);
    time.wHour = static_cast<WORD>(fatTime >> 11);
    time.wMinute = static_cast<WORD>((fatTime >> 5) & 0x3F);
    time.wSecond = static_cast<WORD>((fatTime & 0x1F) * 2);
    ULONGLONG ticks = 0;
    if (!win32::internal::SystemTimeToTicks(time, ticks))
        return FailWith(ERROR_INVALID_PARAMETER);
    *fileTime = win32::internal::FileTimeOf(ticks);
    return TRUE;
}
