// Records of the request families other than URBs: internal USB IOCTLs ("uin"), host-controller, hub and
// HID device-control IOCTLs ("hcd", "hub", "hid"), other device-control completions ("ctl"), power ("pow")
// and Plug and Play ("pnp").
//
// Each family names its record kind (RECORD_KIND: tag letters, filter family, capture switch, payload
// builder) and lets the two phase routines below decide and write: CaptureKindRequest before the call (the
// I record and the R record's mode), CaptureKindCompletion in the completion routine (the C record). The
// family's own gate (is this device object's traffic recorded at all) is the family's to test first.
//
// A payload builder reads the request through an IOCTL_REQUEST and describes the payload in an
// IOCTL_RECORD: part 1 built in place (fixed fields), part 2 as up to eight runs of the request's bytes that
// are copied, page by page with validity checks, only once the record has its room in the log. Every run
// is bounded by what the request has: the buffer's own size (IoctlSystemBuffer and its kin), at completion
// the bytes the driver returned (IoctlReturned), and lengths read from structures are capped.
//
// Locks: none of its own; a record takes the capture log's lock while it is filled. Up to DISPATCH_LEVEL.
#pragma once

#include "ntddk.h"

#include "common/FilterBlock.h"
#include "driver/core/Driver.h"
#include "driver/record/Record.h"

struct _CAPTURE_CONTEXT;
struct _COMPLETION_CONTEXT;

// --- The request as a payload builder reads it ---

typedef struct _IOCTL_REQUEST {
    const IO_STACK_LOCATION* Location; // the hooked driver's; at completion the copy saved when the routine went in
    PIRP Irp;
    BOOLEAN Completion;    // read in the completion routine: Status and Information are final
    NTSTATUS Status;       // IoStatus.Status (before the call: as the request arrived)
    ULONG_PTR Information; // IoStatus.Information at completion; 0 before the call
} IOCTL_REQUEST, *PIOCTL_REQUEST;

inline ULONG IoctlCode(const IOCTL_REQUEST* Request) {
    return Request->Location->Parameters.DeviceIoControl.IoControlCode;
}
// The request completed successfully (and this is its completion).
inline BOOLEAN IoctlSucceeded(const IOCTL_REQUEST* Request) {
    return Request->Completion && NT_SUCCESS(Request->Status);
}
inline PVOID IoctlArgument(const IOCTL_REQUEST* Request, ULONG Index) {
    const auto& others = Request->Location->Parameters.Others;
    const PVOID arguments[4] = {others.Argument1, others.Argument2, others.Argument3, others.Argument4};
    return Index >= 1 && Index <= 4 ? arguments[Index - 1] : nullptr;
}

// A run of bytes of a request: where they are and how many the request has there. Unreadable: the request
// has them but they cannot be reached (an MDL that cannot be mapped); recorded as '!'. CallerSized: the
// caller's own memory of METHOD_NEITHER, whose length only the caller vouches for; it is copied as far as
// it can be read (as a structure is).
typedef struct _IOCTL_BUFFER {
    PUCHAR Address;
    ULONG Length;
    BOOLEAN Unreadable;
    BOOLEAN CallerSized;
} IOCTL_BUFFER;

// The system buffer: the larger of the two lengths for a buffered request, the input for a direct one,
// none for METHOD_NEITHER.
IOCTL_BUFFER IoctlSystemBuffer(const IOCTL_REQUEST* Request);
// Where the output goes: the system buffer (buffered), the MDL's bytes (direct), the caller's own buffer
// (METHOD_NEITHER).
IOCTL_BUFFER IoctlOutputBuffer(const IOCTL_REQUEST* Request);
// The bytes from Offset on, at most Length of them.
IOCTL_BUFFER IoctlSlice(IOCTL_BUFFER Buffer, ULONG Offset, ULONG Length);
// What the driver returned in Buffer: at most Declared bytes, and at completion no more than Information.
IOCTL_BUFFER IoctlReturned(const IOCTL_REQUEST* Request, IOCTL_BUFFER Buffer, ULONG Declared);

// Copies Length bytes at Address when every one of them can be read (AddressRangeIsValid); otherwise zeros.
// TRUE when read.
BOOLEAN CaptureReadChecked(const VOID* Address, PVOID Out, ULONG Length);
// Copies the bytes of [Offset, Offset + Length) that Buffer has and that can be read; the rest are zeros.
// TRUE when all Length bytes were read.
BOOLEAN IoctlBufferRead(IOCTL_BUFFER Buffer, ULONG Offset, PVOID Out, ULONG Length);
// The first u32 of the buffer, or Missing when the buffer has no four readable bytes.
ULONG IoctlBufferFirstUlong(IOCTL_BUFFER Buffer, ULONG Missing);

// --- The payload ---

constexpr ULONG IOCTL_RECORD_PART1_MAX = 48;
constexpr ULONG IOCTL_RECORD_SEGMENT_MAX = 8;
// Cap of a length a payload takes from a structure the request points to (a name, a failure record).
constexpr ULONG IOCTL_RECORD_STRUCTURE_LENGTH_MAX = 4096;

typedef struct _IOCTL_RECORD_SEGMENT {
    const VOID* Source; // null: zeros
    ULONG Length;
    BOOLEAN Unreadable; // '!' bytes
} IOCTL_RECORD_SEGMENT;

typedef struct _IOCTL_RECORD {
    ULONG Part1Size;
    UCHAR Part1[IOCTL_RECORD_PART1_MAX];
    ULONG SegmentCount;
    IOCTL_RECORD_SEGMENT Segments[IOCTL_RECORD_SEGMENT_MAX]; // part 2, in order
} IOCTL_RECORD, *PIOCTL_RECORD;

// Part 1 of Size bytes, zeroed.
VOID IoctlRecordPart1(PIOCTL_RECORD Record, ULONG Size);
// Stores Length bytes at Offset of part 1 (within its size).
VOID IoctlRecordPut(PIOCTL_RECORD Record, ULONG Offset, const VOID* Value, ULONG Length);
// Part 1 made of exactly `Value` (a fixed block of the kind's layout).
template <class T> VOID IoctlRecordPart1Is(PIOCTL_RECORD Record, const T& Value) {
    IoctlRecordPart1(Record, sizeof Value);
    IoctlRecordPut(Record, 0, &Value, sizeof Value);
}
// Appends a run of a request buffer to part 2: Length bytes read from Source when the record is written (a
// null Source gives zeros, a page that cannot be read '!' bytes).
VOID IoctlRecordAppend(PIOCTL_RECORD Record, const VOID* Source, ULONG Length);
// Appends Length bytes of a structure a request points to: the bytes that can be read
// (AddressReadablePrefix), then '!' for the rest; zeros for a null Source.
VOID IoctlRecordAppendStructure(PIOCTL_RECORD Record, const VOID* Source, ULONG Length);
VOID IoctlRecordAppendBuffer(PIOCTL_RECORD Record, IOCTL_BUFFER Buffer);

// Part 1 of four bytes: the first u32 of the system buffer (a port number, a value set), or Missing.
VOID IoctlRecordFirstUlong(const IOCTL_REQUEST* Request, PIOCTL_RECORD Record, ULONG Missing);
// On a successful completion, appends the bytes the driver returned in the system buffer.
VOID IoctlRecordReturned(const IOCTL_REQUEST* Request, PIOCTL_RECORD Record);

// Fills a record's payload for a request; what it leaves alone stays empty (a header-only record).
typedef VOID IOCTL_PAYLOAD_BUILDER(const IOCTL_REQUEST* Request, PIOCTL_RECORD Record);

// --- Record kinds and their two phases ---

typedef struct _RECORD_KIND {
    ULONG Kind;                      // the tag's three letters (LogTag::KindHcd ...)
    FilterFamily Filter;             // which bytes of the filter block decide
    UCHAR CAPTURE_SETTINGS::*Switch; // the capture switch of the kind
    IOCTL_PAYLOAD_BUILDER* Build;    // null: every record header only
    BOOLEAN ByMinor;                 // the code is the minor function (power, PnP), else the IOCTL code
    BOOLEAN ReturnWordZero;          // the R record's function word is 0 (PnP)
} RECORD_KIND;

// The code a kind's filter bytes and function word use: the IOCTL code, or the minor function.
ULONG RecordKindCode(const RECORD_KIND* Kind, const IO_STACK_LOCATION* Location);

// Before the call, for a request the family's gate lets through: writes the I record when the request
// phase is accepted and then asks for the R record (mode 1). TRUE when the completion phase may be wanted
// (the switch, or the filter block's completion byte and the code's byte).
BOOLEAN CaptureKindRequest(struct _CAPTURE_CONTEXT* Capture, const RECORD_KIND* Kind);
// At completion, for a request whose completion phase was wanted and whose gate still lets it through:
// writes the C record when the completion phase is accepted (the status test included).
VOID CaptureKindCompletion(struct _COMPLETION_CONTEXT* Context, PIRP Irp, const RECORD_KIND* Kind);

// Writes a record of the payload to the capture log. FALSE when nothing was written.
BOOLEAN IoctlRecordWrite(ULONG Tag, const IOCTL_RECORD* Record, const RECORD_HEADER_INFO* Header);
