// Internals shared by the I/O manager's and the Plug and Play manager's sources (not part of the platform's
// interface; product code never includes this).
//
// Every I/O object (device, driver, file object) is allocated from pool with an ObjectHeader in front of its
// body. The header carries the object's reference count; the body's memory is freed when the count reaches
// zero, so a deleted device stays readable while anything still holds it.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "NtIoManager.h"

namespace nt::io {

enum class ObjectType : ULONG { Device = 1, Driver = 2, File = 3 };

struct alignas(16) ObjectHeader {
    ULONG magic;
    ObjectType type;
    std::atomic<LONG> references;
    void (*destroy)(ObjectHeader* header); // frees the object once the last reference is gone
};
static_assert(sizeof(ObjectHeader) == 32);

constexpr ULONG kObjectMagic = 0x624f6f49; // "IoOb"

// The header of an I/O object, or null when Object is not one (checked by its magic word).
ObjectHeader* HeaderOf(PVOID object);
inline PVOID BodyOf(ObjectHeader* header) {
    return header + 1;
}
// Drops a reference through a header known to be valid (no lookup; for the I/O path).
void Release(ObjectHeader* header);
bool IsDeviceObject(PVOID object);
bool IsDriverObject(PVOID object);

// The pool tags of the I/O manager's allocations, as the platform shows them.
constexpr ULONG kTagDevice = 0x69766544;          // "Devi"
constexpr ULONG kTagDriver = 0x76697244;          // "Driv"
constexpr ULONG kTagDriverExtension = 0x78457244; // "DrEx"
constexpr ULONG kTagFile = 0x656c6946;            // "File"
constexpr ULONG kTagIrp = 0x20707249;             // "Irp "
constexpr ULONG kTagMdl = 0x206c644d;             // "Mdl "
constexpr ULONG kTagSystemBuffer = 0x42737953;    // "SysB"
constexpr ULONG kTagCompletion = 0x78457243;      // "CrEx"

// --- Driver objects (NtIoDriver.cpp) ---

// Creates "\Driver\<serviceName>" with every dispatch entry set to the default routine, calls entry with the
// service's registry path, and clears DO_DEVICE_INITIALIZING of the devices the entry created. When the entry
// fails the driver object is deleted again and its status returned.
NTSTATUS LoadDriverObject(std::u16string_view serviceName, PDRIVER_INITIALIZE entry, PDRIVER_OBJECT* driver);
// Calls DriverUnload (when set), removes the name, and drops the loader's reference.
void UnloadDriverObject(PDRIVER_OBJECT driver);
std::u16string ServiceNameOf(PDRIVER_OBJECT driver);

// --- File objects (NtIoFile.cpp) ---

// A file object opened on `device` (the device named by the caller; requests go to the top of its stack):
// sends IRP_MJ_CREATE with the desired access and returns its status. The file object holds a reference on
// the device. Dropping its last reference sends IRP_MJ_CLOSE and frees it.
NTSTATUS OpenFileObject(PDEVICE_OBJECT device, ACCESS_MASK desiredAccess, KPROCESSOR_MODE mode,
                        PFILE_OBJECT* fileObject);
// Sends IRP_MJ_CLEANUP: the last handle on the file object is closed.
void CleanupFileObject(PFILE_OBJECT fileObject);

// --- IRPs (NtIoIrp.cpp) ---

// An IRP whose final processing the I/O manager does when its completion walk ends (see NtIoManager.h).
// userOutputLength bounds the buffered copy-back to UserBuffer.
PIRP AllocateIoManagerIrp(CCHAR stackSize, ULONG userOutputLength);
bool IsIoManagerIrp(PIRP irp);
// IoDeleteDevice from within a dispatch routine of the same device on this thread: the device's memory is kept
// until the outermost such dispatch returns, so that the routine may still touch its extension.
void HoldDeviceDeletedInDispatch(PDEVICE_OBJECT device);

// A device-control request as a caller describes it; BuildDeviceControl turns it into an I/O-manager IRP for
// `device` following the code's transfer method (null when memory is short or the output buffer cannot be
// locked).
struct DeviceControlRequest {
    ULONG code = 0;
    PVOID input = nullptr;
    ULONG inputLength = 0;
    PVOID output = nullptr;
    ULONG outputLength = 0;
    bool internal = false;
    KPROCESSOR_MODE mode = KernelMode;
    PFILE_OBJECT file = nullptr;
};
PIRP BuildDeviceControl(PDEVICE_OBJECT device, const DeviceControlRequest& request, PKEVENT event,
                        PIO_STATUS_BLOCK ioStatus);

// Sends a synchronous request built by the I/O manager and waits for it at PASSIVE_LEVEL when its driver
// returned STATUS_PENDING; returns the final status.
NTSTATUS CallAndWait(PDEVICE_OBJECT device, PIRP irp, PKEVENT event, PIO_STATUS_BLOCK ioStatus);

// Serialises changes of device stacks (attach, detach, deletion) against walks of them.
class StackLock {
public:
    StackLock();
    ~StackLock();
    StackLock(const StackLock&) = delete;
    StackLock& operator=(const StackLock&) = delete;
};

} // namespace nt::io
