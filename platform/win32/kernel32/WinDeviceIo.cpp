// Device files: the user-mode end of the kernel's I/O manager.
#include "WinDeviceIo.h"

#include <cstring>
#include <mutex>
#include <string>

#include "NtIoInternal.h"
#include "NtObjectNamespace.h"
#include "NtPoolControl.h"
#include "NtText.h"
#include "WinFailureControl.h"
#include "WinHandles.h"
#include "devioctl.h"
#include "internal/HostFiles.h"
#include "winerror.h"

#ifndef ERROR_BAD_COMMAND
#define ERROR_BAD_COMMAND 22L
#endif
#ifndef ERROR_CRC
#define ERROR_CRC 23L
#endif
#ifndef ERROR_DEV_NOT_EXIST
#define ERROR_DEV_NOT_EXIST 55L
#endif
#ifndef ERROR_SEM_TIMEOUT
#define ERROR_SEM_TIMEOUT 121L
#endif
#ifndef ERROR_MR_MID_NOT_FOUND
#define ERROR_MR_MID_NOT_FOUND 317L
#endif
#ifndef ERROR_ARITHMETIC_OVERFLOW
#define ERROR_ARITHMETIC_OVERFLOW 534L
#endif
#ifndef ERROR_IO_DEVICE
#define ERROR_IO_DEVICE 1117L
#endif
#ifndef ERROR_REVISION_MISMATCH
#define ERROR_REVISION_MISMATCH 1306L
#endif
#ifndef ERROR_INTERNAL_ERROR
#define ERROR_INTERNAL_ERROR 1359L
#endif
#ifndef ERROR_DEVICE_REMOVED
#define ERROR_DEVICE_REMOVED 1617L
#endif
#ifndef WAIT_TIMEOUT
#define WAIT_TIMEOUT 258L
#endif

namespace win32 {
namespace {

constexpr ACCESS_MASK kFileReadData = 0x0001;
constexpr ACCESS_MASK kFileWriteData = 0x0002;

bool GrantsRead(DWORD access) {
    return access & (GENERIC_READ | GENERIC_ALL | MAXIMUM_ALLOWED | kFileReadData);
}
bool GrantsWrite(DWORD access) {
    return access & (GENERIC_WRITE | GENERIC_ALL | MAXIMUM_ALLOWED | kFileWriteData);
}

// A handle's object: the kernel file object opened on the device, and the access it was opened with.
class DeviceFile : public WinObject {
public:
    DeviceFile(PFILE_OBJECT file, DWORD access) : m_file(file), m_access(access) {}

    DWORD Access() const { return m_access; }

    // The file object with a reference for one request; null once the handle is closed.
    PFILE_OBJECT Acquire() {
        std::lock_guard guard(m_lock);
        if (m_file) {
            ObReferenceObject(m_file);
        }
        return m_file;
    }

    // The handle's close: IRP_MJ_CLEANUP now, IRP_MJ_CLOSE once no request holds the file object any more.
    void OnHandleClosed() override {
        PFILE_OBJECT file;
        {
            std::lock_guard guard(m_lock);
            file = m_file;
            m_file = nullptr;
        }
        if (file) {
            nt::io::CleanupFileObject(file);
            ObDereferenceObject(file);
        }
    }

private:
    std::mutex m_lock;
    PFILE_OBJECT m_file;
    DWORD m_access;
};

// Keeps a caller's buffer a valid kernel address while a METHOD_NEITHER request uses it.
class RegisteredRange {
public:
    RegisteredRange(const void* start, DWORD length) : m_start(length ? start : nullptr), m_length(length) {
        if (m_start) {
            nt::pool::RegisterRange(m_start, m_length);
        }
    }
    ~RegisteredRange() {
        if (m_start) {
            nt::pool::UnregisterRange(m_start, m_length);
        }
    }
    RegisteredRange(const RegisteredRange&) = delete;
    RegisteredRange& operator=(const RegisteredRange&) = delete;

private:
    const void* m_start;
    DWORD m_length;
};

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

} // namespace

HANDLE OpenDeviceFile(const char* path, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition, DWORD flags) {
    (void)shareMode;
    (void)creationDisposition;
    (void)flags;
    std::string_view name = path ? path : "";
    if (name.substr(0, 4) != "\\\\.\\" || name.size() == 4) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // "\\.\NAME" is "\??\NAME" in the kernel's namespace, where "\DosDevices" links end up.
    std::u16string kernelPath = u"\\??\\" + nt::text::AnsiToUtf16(name.substr(4));
    nt::ob::Entry entry;
    NTSTATUS status = nt::ob::Lookup(kernelPath, entry);
    if (NT_SUCCESS(status) && entry.kind != nt::ob::Kind::Device) {
        status = STATUS_OBJECT_NAME_NOT_FOUND;
    }
    PFILE_OBJECT file = nullptr;
    if (NT_SUCCESS(status)) {
        status = nt::io::OpenFileObject(static_cast<PDEVICE_OBJECT>(entry.object), desiredAccess, UserMode, &file);
    }
    if (!NT_SUCCESS(status)) {
        SetLastError(RtlNtStatusToDosError(status));
        return INVALID_HANDLE_VALUE;
    }
    SetLastError(ERROR_SUCCESS);
    return InsertHandle(std::make_shared<DeviceFile>(file, desiredAccess));
}

} // namespace win32

BOOL DeviceIoControl(HANDLE device, DWORD ioControlCode, LPVOID inBuffer, DWORD inBufferSize, LPVOID outBuffer,
                     DWORD outBufferSize, LPDWORD bytesReturned, LPOVERLAPPED overlapped) {
    (void)overlapped;
    if (bytesReturned) {
        *bytesReturned = 0;
    }
    if (win32::internal::CallFailsNow("DeviceIoControl"))
        return FALSE;
    auto deviceFile = win32::LookupHandleAs<win32::DeviceFile>(device);
    if (!deviceFile) {
        // A file on the host's file system answers the file-system codes itself.
        if (auto file = win32::LookupHandleAs<win32::internal::FileObject>(device)) {
            return win32::internal::FileSystemControl(*file, ioControlCode, inBuffer, inBufferSize, outBuffer,
                                                      outBufferSize, bytesReturned);
        }
        return win32::Fail(ERROR_INVALID_HANDLE);
    }
    const ULONG access = ACCESS_FROM_CTL_CODE(ioControlCode);
    if (((access & FILE_READ_ACCESS) && !win32::GrantsRead(deviceFile->Access())) ||
        ((access & FILE_WRITE_ACCESS) && !win32::GrantsWrite(deviceFile->Access()))) {
        return win32::Fail(ERROR_ACCESS_DENIED);
    }
    PFILE_OBJECT file = deviceFile->Acquire();
    if (!file) {
        return win32::Fail(ERROR_INVALID_HANDLE);
    }

    const ULONG method = METHOD_FROM_CTL_CODE(ioControlCode);
    const bool neither = method == METHOD_NEITHER;
    win32::RegisteredRange input(neither ? inBuffer : nullptr, inBufferSize);
    win32::RegisteredRange output(neither ? outBuffer : nullptr, outBufferSize);

    nt::io::DeviceControlRequest request;
    request.code = ioControlCode;
    request.input = inBuffer;
    request.inputLength = inBuffer ? inBufferSize : 0;
    request.output = outBuffer;
    request.outputLength = outBuffer ? outBufferSize : 0;
    request.mode = UserMode;
    request.file = file;
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus{};
    PDEVICE_OBJECT top = IoGetAttachedDeviceReference(file->DeviceObject);
    NTSTATUS status = STATUS_INSUFFICIENT_RESOURCES;
    ULONG_PTR information = 0;
    if (PIRP irp = nt::io::BuildDeviceControl(top, request, &event, &ioStatus)) {
        status = IoCallDriver(top, irp);
        if (status == STATUS_PENDING) {
            KeWaitForSingleObject(&event, UserRequest, UserMode, FALSE, nullptr);
        }
        if (KeReadStateEvent(&event)) {
            status = ioStatus.Status;
            information = ioStatus.Information;
        }
    }
    ObDereferenceObject(top);
    ObDereferenceObject(file);

    if (NT_ERROR(status)) {
        return win32::Fail(RtlNtStatusToDosError(status));
    }
    if (method == METHOD_BUFFERED && information > request.outputLength) {
        information = request.outputLength; // what was copied back
    }
    if (bytesReturned) {
        *bytesReturned = static_cast<DWORD>(information);
    }
    if (NT_WARNING(status)) {
        return win32::Fail(RtlNtStatusToDosError(status));
    }
    return TRUE;
}

ULONG RtlNtStatusToDosError(NTSTATUS status) {
    struct Mapping {
        NTSTATUS status;
        ULONG error;
    };
    static constexpr Mapping kMappings[] = {
        {STATUS_SUCCESS, ERROR_SUCCESS},
        {STATUS_PENDING, ERROR_IO_PENDING},
        {STATUS_TIMEOUT, WAIT_TIMEOUT},
        {STATUS_MORE_ENTRIES, ERROR_MORE_DATA},
        {STATUS_OBJECT_NAME_EXISTS, ERROR_ALREADY_EXISTS},
        {STATUS_BUFFER_OVERFLOW, ERROR_MORE_DATA},
        {STATUS_NO_MORE_ENTRIES, ERROR_NO_MORE_ITEMS},
        {STATUS_DATATYPE_MISALIGNMENT, ERROR_NOACCESS},
        {STATUS_DEVICE_BUSY, ERROR_BUSY},
        {STATUS_UNSUCCESSFUL, ERROR_GEN_FAILURE},
        {STATUS_NOT_IMPLEMENTED, ERROR_INVALID_FUNCTION},
        {STATUS_INVALID_INFO_CLASS, ERROR_INVALID_PARAMETER},
        {STATUS_INFO_LENGTH_MISMATCH, ERROR_BAD_LENGTH},
        {STATUS_ACCESS_VIOLATION, ERROR_NOACCESS},
        {STATUS_INVALID_HANDLE, ERROR_INVALID_HANDLE},
        {STATUS_INVALID_PARAMETER, ERROR_INVALID_PARAMETER},
        {STATUS_NO_SUCH_DEVICE, ERROR_FILE_NOT_FOUND},
        {STATUS_NO_SUCH_FILE, ERROR_FILE_NOT_FOUND},
        {STATUS_INVALID_DEVICE_REQUEST, ERROR_INVALID_FUNCTION},
        {STATUS_END_OF_FILE, ERROR_HANDLE_EOF},
        {STATUS_MORE_PROCESSING_REQUIRED, ERROR_MORE_DATA},
        {STATUS_NO_MEMORY, ERROR_NOT_ENOUGH_MEMORY},
        {STATUS_ACCESS_DENIED, ERROR_ACCESS_DENIED},
        {STATUS_BUFFER_TOO_SMALL, ERROR_INSUFFICIENT_BUFFER},
        {STATUS_OBJECT_TYPE_MISMATCH, ERROR_INVALID_HANDLE},
        {STATUS_OBJECT_NAME_INVALID, ERROR_INVALID_NAME},
        {STATUS_OBJECT_NAME_NOT_FOUND, ERROR_FILE_NOT_FOUND},
        {STATUS_OBJECT_NAME_COLLISION, ERROR_ALREADY_EXISTS},
        {STATUS_OBJECT_PATH_INVALID, ERROR_BAD_PATHNAME},
        {STATUS_OBJECT_PATH_NOT_FOUND, ERROR_PATH_NOT_FOUND},
        {STATUS_OBJECT_PATH_SYNTAX_BAD, ERROR_BAD_PATHNAME},
        {STATUS_DATA_ERROR, ERROR_CRC},
        {STATUS_DELETE_PENDING, ERROR_ACCESS_DENIED},
        {STATUS_SEMAPHORE_LIMIT_EXCEEDED, ERROR_TOO_MANY_POSTS},
        {STATUS_REVISION_MISMATCH, ERROR_REVISION_MISMATCH},
        {STATUS_PROCEDURE_NOT_FOUND, ERROR_PROC_NOT_FOUND},
        {STATUS_INTEGER_OVERFLOW, ERROR_ARITHMETIC_OVERFLOW},
        {STATUS_INSUFFICIENT_RESOURCES, ERROR_NO_SYSTEM_RESOURCES},
        {STATUS_DEVICE_NOT_CONNECTED, ERROR_DEVICE_NOT_CONNECTED},
        {STATUS_DEVICE_NOT_READY, ERROR_NOT_READY},
        {STATUS_IO_TIMEOUT, ERROR_SEM_TIMEOUT},
        {STATUS_NOT_SUPPORTED, ERROR_NOT_SUPPORTED},
        {STATUS_DEVICE_DOES_NOT_EXIST, ERROR_DEV_NOT_EXIST},
        {STATUS_INTERNAL_ERROR, ERROR_INTERNAL_ERROR},
        {STATUS_INVALID_PARAMETER_1, ERROR_INVALID_PARAMETER},
        {STATUS_INVALID_PARAMETER_2, ERROR_INVALID_PARAMETER},
        {STATUS_INVALID_PARAMETER_3, ERROR_INVALID_PARAMETER},
        {STATUS_INVALID_PARAMETER_4, ERROR_INVALID_PARAMETER},
        {STATUS_INVALID_PARAMETER_5, ERROR_INVALID_PARAMETER},
        {STATUS_INVALID_PARAMETER_6, ERROR_INVALID_PARAMETER},
        {STATUS_NOT_A_DIRECTORY, ERROR_DIRECTORY},
        {STATUS_NAME_TOO_LONG, ERROR_FILENAME_EXCED_RANGE},
        {STATUS_CANCELLED, ERROR_OPERATION_ABORTED},
        {STATUS_CANNOT_DELETE, ERROR_ACCESS_DENIED},
        {STATUS_INVALID_ADDRESS, ERROR_INVALID_ADDRESS},
        {STATUS_REGISTRY_CORRUPT, ERROR_BADDB},
        {STATUS_REGISTRY_IO_FAILED, ERROR_REGISTRY_IO_FAILED},
        {STATUS_KEY_DELETED, ERROR_KEY_DELETED},
        {STATUS_INVALID_DEVICE_STATE, ERROR_BAD_COMMAND},
        {STATUS_IO_DEVICE_ERROR, ERROR_IO_DEVICE},
        {STATUS_INVALID_BUFFER_SIZE, ERROR_INVALID_USER_BUFFER},
        {STATUS_NOT_FOUND, ERROR_NOT_FOUND},
        {STATUS_DEVICE_REMOVED, ERROR_DEVICE_REMOVED},
        {STATUS_POWER_STATE_INVALID, ERROR_NOT_READY},
    };
    for (const Mapping& m : kMappings) {
        if (m.status == status) {
            return m.error;
        }
    }
    // A Win32 error carried in a status of the Win32 facility (7).
    if (((static_cast<ULONG>(status) >> 16) & 0x0FFF) == 7) {
        return static_cast<ULONG>(status) & 0xFFFF;
    }
    return ERROR_MR_MID_NOT_FOUND;
}
