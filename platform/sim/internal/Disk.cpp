// "disk": the disk class driver on the storage driver's disk device. It learns the disk at start (TEST UNIT
// READY until the unit attention of power-on is gone, READ CAPACITY(10) and (16), MODE SENSE(6) for write
// protection) and turns reads, writes and flushes into SCSI request blocks (READ(10), WRITE(10), SYNCHRONIZE
// CACHE(10)) of at most 2 MiB each, the data described by the caller's MDL. The medium is polled with
// IOCTL_STORAGE_CHECK_VERIFY (TEST UNIT READY).
#include <algorithm>
#include <cstring>

#include "platform/sim/Descriptors.h"
#include "platform/sim/internal/ClassDrivers.h"
#include "platform/sim/internal/DriverFramework.h"
#include "platform/sim/internal/PoolMemory.h"
#include "platform/sim/internal/Srb.h"

namespace sim::drv {

namespace {

constexpr UCHAR kUnitAttention = 0x06;
constexpr UCHAR kNotReady = 0x02;
constexpr UCHAR kDataProtect = 0x07;

struct GetLengthInformation {
    LARGE_INTEGER Length;
};

class DiskFdo : public FunctionDevice {
public:
    DiskFdo(PDEVICE_OBJECT self, PDEVICE_OBJECT pdo, PDEVICE_OBJECT lower) : FunctionDevice(self, pdo, lower) {}

protected:
    NTSTATUS OnStart() override;
    NTSTATUS CreateClose(PIRP irp) override { return Complete(irp, STATUS_SUCCESS); }
    NTSTATUS DeviceControl(PIRP irp) override;
    NTSTATUS Other(PIRP irp) override;

private:
    struct Result {
        NTSTATUS status = STATUS_SUCCESS;
        UCHAR senseKey = 0;
        UCHAR asc = 0;
        ULONG moved = 0;
    };
    // One request block, sent down and waited for; the data lies in `mdl` at `data`.
    Result Scsi(const UCHAR* cdb, UCHAR cdbLength, bool in, PMDL mdl, PVOID data, ULONG length);
    // The same, once more after a unit attention (the medium may have changed; the command is still wanted).
    Result Retried(const UCHAR* cdb, UCHAR cdbLength, bool in, PMDL mdl, PVOID data, ULONG length);
    // A command whose data (at most a page) goes through a pool buffer of the driver's own.
    Result Small(const UCHAR* cdb, UCHAR cdbLength, PoolBuffer& data);
    NTSTATUS Transfer(PIRP irp, bool write);
    static NTSTATUS StatusOf(const Result& result);

    ULONG m_blockSize = 512;
    ULONGLONG m_blocks = 0;
    bool m_writeProtected = false;
    static constexpr ULONG kMaximumTransfer = 2 * 1024 * 1024;
};

NTSTATUS SignalDone(PDEVICE_OBJECT, PIRP, PVOID context) {
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

DiskFdo::Result DiskFdo::Scsi(const UCHAR* cdb, UCHAR cdbLength, bool in, PMDL mdl, PVOID data, ULONG length) {
    Result result;
    PoolBuffer block(sizeof(SCSI_REQUEST_BLOCK));
    PoolBuffer sense(18);
    PIRP irp = IoAllocateIrp(m_lower->StackSize, FALSE);
    if (!block || !sense || !irp) {
        if (irp) {
            IoFreeIrp(irp);
        }
        result.status = STATUS_INSUFFICIENT_RESOURCES;
        return result;
    }
    auto* srb = block.As<SCSI_REQUEST_BLOCK>();
    srb->Length = sizeof(SCSI_REQUEST_BLOCK);
    srb->Function = SRB_FUNCTION_EXECUTE_SCSI;
    srb->CdbLength = cdbLength;
    std::memcpy(srb->Cdb, cdb, cdbLength);
    srb->SrbFlags = length ? (in ? SRB_FLAGS_DATA_IN : SRB_FLAGS_DATA_OUT) : SRB_FLAGS_NO_DATA_TRANSFER;
    srb->DataTransferLength = length;
    srb->DataBuffer = data;
    srb->SenseInfoBuffer = sense.Data();
    srb->SenseInfoBufferLength = 18;
    srb->TimeOutValue = 10;
    srb->OriginalRequest = irp;

    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    irp->MdlAddress = length ? mdl : nullptr;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MajorFunction = IRP_MJ_SCSI;
    next->Parameters.Scsi.Srb = srb;
    IoSetCompletionRoutine(irp, SignalDone, &event, TRUE, TRUE, TRUE);
    if (IoCallDriver(m_lower, irp) == STATUS_PENDING) {
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
    }
    result.status = irp->IoStatus.Status;
    irp->MdlAddress = nullptr; // the caller's
    IoFreeIrp(irp);
    result.moved = srb->DataTransferLength;
    if (srb->SrbStatus & SRB_STATUS_AUTOSENSE_VALID) {
        result.senseKey = sense.Data()[2] & 0x0F;
        result.asc = sense.Data()[12];
    }
    return result;
}

DiskFdo::Result DiskFdo::Retried(const UCHAR* cdb, UCHAR cdbLength, bool in, PMDL mdl, PVOID data, ULONG length) {
    Result result = Scsi(cdb, cdbLength, in, mdl, data, length);
    for (int attempt = 0; attempt < 2 && result.senseKey == kUnitAttention; ++attempt) {
        result = Scsi(cdb, cdbLength, in, mdl, data, length);
    }
    return result;
}

DiskFdo::Result DiskFdo::Small(const UCHAR* cdb, UCHAR cdbLength, PoolBuffer& data) {
    PMDL mdl = IoAllocateMdl(data.Data(), static_cast<ULONG>(data.Size()), FALSE, FALSE, nullptr);
    if (!mdl) {
        Result result;
        result.status = STATUS_INSUFFICIENT_RESOURCES;
        return result;
    }
    MmBuildMdlForNonPagedPool(mdl);
    Result result = Retried(cdb, cdbLength, true, mdl, data.Data(), static_cast<ULONG>(data.Size()));
    IoFreeMdl(mdl);
    return result;
}

NTSTATUS DiskFdo::StatusOf(const Result& result) {
    if (NT_SUCCESS(result.status)) {
        return result.status;
    }
    switch (result.senseKey) {
    case kNotReady: return result.asc == 0x3A ? STATUS_NO_MEDIA_IN_DEVICE : STATUS_DEVICE_NOT_READY;
    case kUnitAttention: return STATUS_VERIFY_REQUIRED;
    case kDataProtect: return STATUS_MEDIA_WRITE_PROTECTED;
    default: return result.status;
    }
}

NTSTATUS DiskFdo::OnStart() {
    // Until the unit attention of power-on (or a medium change) has been reported and the unit is ready.
    const UCHAR testUnitReady[6] = {0x00, 0, 0, 0, 0, 0};
    Result ready = Retried(testUnitReady, sizeof testUnitReady, false, nullptr, nullptr, 0);
    if (!NT_SUCCESS(ready.status)) {
        return STATUS_SUCCESS; // a disk without its medium starts all the same
    }
    PoolBuffer capacity10(8);
    const UCHAR readCapacity10[10] = {0x25, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    if (capacity10 && NT_SUCCESS(Small(readCapacity10, sizeof readCapacity10, capacity10).status)) {
        const UCHAR* bytes = capacity10.Data();
        m_blocks = static_cast<ULONGLONG>(ReadU32BigEndian(bytes)) + 1;
        m_blockSize = ReadU32BigEndian(bytes + 4);
    }
    // The 16-byte form, for the disks whose last block the 10-byte form cannot name (and as the newer class
    // drivers ask every disk).
    PoolBuffer capacity16(32);
    UCHAR readCapacity16[16] = {0x9E, 0x10};
    WriteU32BigEndian(readCapacity16 + 10, 32);
    if (capacity16 && NT_SUCCESS(Small(readCapacity16, sizeof readCapacity16, capacity16).status)) {
        const UCHAR* bytes = capacity16.Data();
        m_blocks = (static_cast<ULONGLONG>(ReadU32BigEndian(bytes)) << 32 | ReadU32BigEndian(bytes + 4)) + 1;
        m_blockSize = ReadU32BigEndian(bytes + 8);
    }
    PoolBuffer mode(4);
    const UCHAR modeSense6[6] = {0x1A, 0, 0x3F, 0, 4, 0};
    if (mode && NT_SUCCESS(Small(modeSense6, sizeof modeSense6, mode).status)) {
        m_writeProtected = (mode.Data()[2] & 0x80) != 0;
    }
    if (!m_blockSize) {
        m_blockSize = 512;
    }
    return STATUS_SUCCESS;
}

NTSTATUS DiskFdo::Transfer(PIRP irp, bool write) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    const ULONGLONG offset = static_cast<ULONGLONG>(location->Parameters.Read.ByteOffset.QuadPart);
    const ULONG length = location->Parameters.Read.Length;
    if (length % m_blockSize || offset % m_blockSize || offset / m_blockSize + length / m_blockSize > m_blocks ||
        (length && !irp->MdlAddress)) {
        return Complete(irp, STATUS_INVALID_PARAMETER);
    }
    if (write && m_writeProtected) {
        return Complete(irp, STATUS_MEDIA_WRITE_PROTECTED);
    }
    auto* base = static_cast<UCHAR*>(length ? MmGetMdlVirtualAddress(irp->MdlAddress) : nullptr);
    ULONG done = 0;
    NTSTATUS status = STATUS_SUCCESS;
    while (done < length && NT_SUCCESS(status)) {
        const ULONG piece = std::min(length - done, kMaximumTransfer);
        const ULONG lba = static_cast<ULONG>((offset + done) / m_blockSize);
        const USHORT blocks = static_cast<USHORT>(piece / m_blockSize);
        UCHAR cdb[10] = {static_cast<UCHAR>(write ? 0x2A : 0x28),
                         0,
                         0,
                         0,
                         0,
                         0,
                         0,
                         static_cast<UCHAR>(blocks >> 8),
                         static_cast<UCHAR>(blocks),
                         0};
        WriteU32BigEndian(cdb + 2, lba);
        Result result = Retried(cdb, sizeof cdb, !write, irp->MdlAddress, base + done, piece);
        status = StatusOf(result);
        if (NT_SUCCESS(status)) {
            done += result.moved;
            if (result.moved < piece) {
                status = STATUS_IO_DEVICE_ERROR; // the disk moved less than it was asked
            }
        }
    }
    return Complete(irp, status, done);
}

NTSTATUS DiskFdo::Other(PIRP irp) {
    switch (IoGetCurrentIrpStackLocation(irp)->MajorFunction) {
    case IRP_MJ_READ: return Transfer(irp, false);
    case IRP_MJ_WRITE: return Transfer(irp, true);
    case IRP_MJ_FLUSH_BUFFERS: {
        const UCHAR synchronize[10] = {0x35, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        return Complete(irp, StatusOf(Retried(synchronize, sizeof synchronize, false, nullptr, nullptr, 0)));
    }
    default: return PassDown(m_lower, irp);
    }
}

NTSTATUS DiskFdo::DeviceControl(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    switch (location->Parameters.DeviceIoControl.IoControlCode) {
    case IOCTL_STORAGE_CHECK_VERIFY: {
        const UCHAR testUnitReady[6] = {0x00, 0, 0, 0, 0, 0};
        return Complete(irp, StatusOf(Scsi(testUnitReady, sizeof testUnitReady, false, nullptr, nullptr, 0)));
    }
    case IOCTL_DISK_GET_LENGTH_INFO: {
        if (!irp->AssociatedIrp.SystemBuffer ||
            location->Parameters.DeviceIoControl.OutputBufferLength < sizeof(GetLengthInformation)) {
            return Complete(irp, STATUS_BUFFER_TOO_SMALL);
        }
        GetLengthInformation length{};
        length.Length.QuadPart = static_cast<LONGLONG>(m_blocks * m_blockSize);
        std::memcpy(irp->AssociatedIrp.SystemBuffer, &length, sizeof length);
        return Complete(irp, STATUS_SUCCESS, sizeof length);
    }
    default: return PassDown(m_lower, irp);
    }
}

} // namespace

NTSTATUS DiskEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    return SetUpDriver(driver, AddFunctionDevice<DiskFdo, FILE_DEVICE_DISK>);
}

} // namespace sim::drv
