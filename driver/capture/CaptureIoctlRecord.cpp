// Records of the IOCTL, power and PnP families (CaptureIoctlRecord.h).
//
// Locks: the capture log's lock, taken alone by LogWriteRecord while the record is reserved and filled; the
// caller's buffers are read under it only through the address checks. Up to DISPATCH_LEVEL.
#include "driver/capture/CaptureIoctlRecord.h"

#include <algorithm>
#include <cstring>

#include "common/RecordTags.h"
#include "driver/capture/AddressCheck.h"
#include "driver/capture/CaptureContext.h"
#include "driver/capture/CaptureGate.h"
#include "driver/log/Log.h"

namespace {

constexpr IOCTL_BUFFER NO_BUFFER = {nullptr, 0, FALSE, FALSE};

IOCTL_BUFFER MdlBuffer(PMDL mdl, ULONG declared) {
    if (mdl == nullptr || declared == 0) {
        return NO_BUFFER;
    }
    auto* address = static_cast<PUCHAR>(AddressOfMdlBytes(mdl));
    if (address == nullptr) {
        // The request has the bytes, but they cannot be reached.
        return {nullptr, declared, TRUE, FALSE};
    }
    return {address, std::min(declared, MmGetMdlByteCount(mdl)), FALSE, FALSE};
}

ULONG Method(const IOCTL_REQUEST* request) {
    return METHOD_FROM_CTL_CODE(IoctlCode(request));
}

const auto& Lengths(const IOCTL_REQUEST* request) {
    return request->Location->Parameters.DeviceIoControl;
}

struct WriteContext {
    const IOCTL_RECORD* record;
    const RECORD_HEADER_INFO* header;
};

VOID FillIoctlRecord(PRECORD_DESCRIPTOR Record, PVOID Context, PIRP, PVOID, BOOLEAN) {
    const auto* write = static_cast<const WriteContext*>(Context);
    RecordSetHeader(Record, write->header);
    RecordWritePart1(Record, write->record->Part1, write->record->Part1Size);
    for (ULONG i = 0; i < write->record->SegmentCount; ++i) {
        const IOCTL_RECORD_SEGMENT& segment = write->record->Segments[i];
        if (segment.Unreadable) {
            RecordAppendInvalid(Record, segment.Length);
        } else {
            RecordAppendChecked(Record, segment.Source, segment.Length);
        }
    }
}

} // namespace

// --- Buffers ---

IOCTL_BUFFER IoctlSystemBuffer(const IOCTL_REQUEST* Request) {
    auto* system = static_cast<PUCHAR>(Request->Irp->AssociatedIrp.SystemBuffer);
    if (system == nullptr) {
        return NO_BUFFER;
    }
    // An internal request is built by a driver, whose lengths no one has checked against its buffer (and whose
    // arguments share their place): its system buffer is read as far as it can be.
    const BOOLEAN internal = Request->Location->MajorFunction == IRP_MJ_INTERNAL_DEVICE_CONTROL;
    switch (Method(Request)) {
    case METHOD_BUFFERED:
        return {system, std::max(Lengths(Request).InputBufferLength, Lengths(Request).OutputBufferLength), FALSE,
                internal};
    case METHOD_IN_DIRECT:
    case METHOD_OUT_DIRECT: return {system, Lengths(Request).InputBufferLength, FALSE, internal};
    }
    return NO_BUFFER;
}

IOCTL_BUFFER IoctlOutputBuffer(const IOCTL_REQUEST* Request) {
    switch (Method(Request)) {
    case METHOD_BUFFERED: return IoctlSystemBuffer(Request);
    case METHOD_IN_DIRECT:
    case METHOD_OUT_DIRECT: return MdlBuffer(Request->Irp->MdlAddress, Lengths(Request).OutputBufferLength);
    }
    auto* user = static_cast<PUCHAR>(Request->Irp->UserBuffer);
    return user != nullptr ? IOCTL_BUFFER{user, Lengths(Request).OutputBufferLength, FALSE, TRUE} : NO_BUFFER;
}

IOCTL_BUFFER IoctlSlice(IOCTL_BUFFER Buffer, ULONG Offset, ULONG Length) {
    if (Offset >= Buffer.Length) {
        return NO_BUFFER;
    }
    IOCTL_BUFFER slice = Buffer;
    slice.Address = Buffer.Address != nullptr ? Buffer.Address + Offset : nullptr;
    slice.Length = std::min(Length, Buffer.Length - Offset);
    return slice;
}

IOCTL_BUFFER IoctlReturned(const IOCTL_REQUEST* Request, IOCTL_BUFFER Buffer, ULONG Declared) {
    ULONG length = Declared;
    if (Request->Completion && Request->Information < length) {
        length = static_cast<ULONG>(Request->Information);
    }
    return IoctlSlice(Buffer, 0, length);
}

BOOLEAN CaptureReadChecked(const VOID* Address, PVOID Out, ULONG Length) {
    if (Length == 0) {
        return TRUE;
    }
    if (!AddressRangeIsValid(Address, Length)) {
        std::memset(Out, 0, Length);
        return FALSE;
    }
    std::memcpy(Out, Address, Length);
    return TRUE;
}

BOOLEAN IoctlBufferRead(IOCTL_BUFFER Buffer, ULONG Offset, PVOID Out, ULONG Length) {
    std::memset(Out, 0, Length);
    const IOCTL_BUFFER present = IoctlSlice(Buffer, Offset, Length);
    if (present.Unreadable || present.Address == nullptr) {
        return FALSE;
    }
    return CaptureReadChecked(present.Address, Out, present.Length) && present.Length == Length;
}

ULONG IoctlBufferFirstUlong(IOCTL_BUFFER Buffer, ULONG Missing) {
    ULONG value;
    return IoctlBufferRead(Buffer, 0, &value, sizeof value) ? value : Missing;
}

// --- The payload ---

VOID IoctlRecordPart1(PIOCTL_RECORD Record, ULONG Size) {
    Record->Part1Size = std::min(Size, IOCTL_RECORD_PART1_MAX);
    std::memset(Record->Part1, 0, sizeof Record->Part1);
}

VOID IoctlRecordPut(PIOCTL_RECORD Record, ULONG Offset, const VOID* Value, ULONG Length) {
    if (Offset < Record->Part1Size) {
        std::memcpy(Record->Part1 + Offset, Value, std::min(Length, Record->Part1Size - Offset));
    }
}

VOID IoctlRecordAppend(PIOCTL_RECORD Record, const VOID* Source, ULONG Length) {
    if (Length != 0 && Record->SegmentCount < IOCTL_RECORD_SEGMENT_MAX) {
        Record->Segments[Record->SegmentCount++] = {Source, std::min(Length, RECORD_MAX_DATA_SIZE), FALSE};
    }
}

VOID IoctlRecordAppendStructure(PIOCTL_RECORD Record, const VOID* Source, ULONG Length) {
    Length = std::min(Length, RECORD_MAX_DATA_SIZE);
    if (Source == nullptr) {
        IoctlRecordAppend(Record, nullptr, Length);
        return;
    }
    const ULONG readable = AddressReadablePrefix(Source, Length);
    IoctlRecordAppend(Record, Source, readable);
    if (readable < Length && Record->SegmentCount < IOCTL_RECORD_SEGMENT_MAX) {
        Record->Segments[Record->SegmentCount++] = {nullptr, Length - readable, TRUE};
    }
}

VOID IoctlRecordAppendBuffer(PIOCTL_RECORD Record, IOCTL_BUFFER Buffer) {
    if (Buffer.CallerSized) {
        IoctlRecordAppendStructure(Record, Buffer.Address, Buffer.Length);
        return;
    }
    IoctlRecordAppend(Record, Buffer.Address, Buffer.Length);
    if (Buffer.Unreadable && Buffer.Length != 0) {
        Record->Segments[Record->SegmentCount - 1].Unreadable = TRUE;
    }
}

VOID IoctlRecordFirstUlong(const IOCTL_REQUEST* Request, PIOCTL_RECORD Record, ULONG Missing) {
    IoctlRecordPart1Is(Record, IoctlBufferFirstUlong(IoctlSystemBuffer(Request), Missing));
}

VOID IoctlRecordReturned(const IOCTL_REQUEST* Request, PIOCTL_RECORD Record) {
    if (IoctlSucceeded(Request)) {
        IoctlRecordAppendBuffer(Record, IoctlReturned(Request, IoctlSystemBuffer(Request), ~0u));
    }
}

// --- Writing ---

ULONG RecordKindCode(const RECORD_KIND* Kind, const IO_STACK_LOCATION* Location) {
    return Kind->ByMinor ? Location->MinorFunction : Location->Parameters.DeviceIoControl.IoControlCode;
}

BOOLEAN IoctlRecordWrite(ULONG Tag, const IOCTL_RECORD* Record, const RECORD_HEADER_INFO* Header) {
    ULONG part2 = 0;
    for (ULONG i = 0; i < Record->SegmentCount; ++i) {
        part2 = std::min(part2 + Record->Segments[i].Length, RECORD_MAX_DATA_SIZE);
    }
    RECORD_DESCRIPTOR descriptor;
    RecordDescribe(&descriptor, Tag, Record->Part1Size, part2);
    WriteContext write = {Record, Header};
    return LogWriteRecord(g_Driver.CaptureLog, &descriptor, FillIoctlRecord, &write, nullptr, nullptr);
}

BOOLEAN CaptureKindRequest(PCAPTURE_CONTEXT Capture, const RECORD_KIND* Kind) {
    const ULONG code = RecordKindCode(Kind, Capture->StackLocation);
    const UCHAR kindSwitch = g_Driver.Capture.*(Kind->Switch);
    if (CaptureAccepted(
            CaptureDecide(Kind->Filter, FilterPhase::Request, kindSwitch, code, Capture->Irp->IoStatus.Status))) {
        IOCTL_RECORD record = {};
        if (Kind->Build != nullptr) {
            const IOCTL_REQUEST request = {Capture->StackLocation, Capture->Irp, FALSE, Capture->Irp->IoStatus.Status,
                                           0};
            Kind->Build(&request, &record);
        }
        RECORD_HEADER_INFO header;
        CaptureHeader(Capture, &header);
        header.Function = code;
        header.Status = Capture->Irp->IoStatus.Status;
        IoctlRecordWrite(LogTag::Make(Kind->Kind, 'I'), &record, &header);
        Capture->Mode = CAPTURE_MODE_RETURN;
        Capture->ReturnTag = LogTag::Make(Kind->Kind, 'R');
        Capture->ReturnFunction = Kind->ReturnWordZero ? 0 : code;
    }
    return CaptureAccepted(CaptureCompletionWanted(Kind->Filter, kindSwitch, code));
}

VOID CaptureKindCompletion(PCOMPLETION_CONTEXT Context, PIRP Irp, const RECORD_KIND* Kind) {
    const ULONG code = RecordKindCode(Kind, &Context->Saved);
    const NTSTATUS status = Irp->IoStatus.Status;
    if (!CaptureAccepted(
            CaptureDecide(Kind->Filter, FilterPhase::Completion, g_Driver.Capture.*(Kind->Switch), code, status))) {
        return;
    }
    IOCTL_RECORD record = {};
    if (Kind->Build != nullptr) {
        const IOCTL_REQUEST request = {&Context->Saved, Irp, TRUE, status, Irp->IoStatus.Information};
        Kind->Build(&request, &record);
    }
    RECORD_HEADER_INFO header;
    CaptureCompletionHeader(Context, Irp, &header);
    header.Function = code;
    IoctlRecordWrite(LogTag::Make(Kind->Kind, 'C'), &record, &header);
}
