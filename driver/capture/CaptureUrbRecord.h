// URB records ("urbI", "urbC") and their continuations ("iCnt", "cCnt"): what part 1 and part 2 hold for
// every URB function, built from the URB, the pipe and device the driver's tables know, and the capture
// settings. Nothing here looks anything up or decides whether a record is wanted: the caller resolves the
// pipe, the device byte and the device handle and passes them in, so these routines can be run on a
// hand-built URB.
//
//     URB_RECORD record;
//     if (UrbRecordOpen(&record, urb)) {                  // readable, and its function has a record
//         UrbRecordSetPipe(&record, found ? &pipe : nullptr, deviceByte); // functions with a pipe block
//         UrbRecordBuild(&record, completion, deviceHandle, &g_Driver.Capture);
//         UrbRecordWrite(log, &record, &header);          // the record and its continuations
//     }
//
// Part 1 is built in the URB_RECORD before the log's lock is taken; part 2 (the URB's interface list, a
// descriptor, transfer data) is copied straight from the request's memory into the log block under it.
//
// Locks: none of their own; UrbRecordWrite takes the capture log's lock once per record. Up to
// DISPATCH_LEVEL.
#pragma once

#include "ntddk.h"
#include "usb.h"

#include "common/RecordPayloads.h"
#include "driver/core/Driver.h"
#include "driver/log/Log.h"

// The largest part 1 of a URB record (ISOCH_TRANSFER).
constexpr ULONG URB_RECORD_PART1_MAX = sizeof(URB_RECORD_ISOCH_TRANSFER);

// Where part 2 of a URB record comes from.
enum class UrbPart2 : UCHAR {
    None,
    SelectConfiguration, // the URB's interface list, u16 0, the first 9 bytes of the configuration descriptor
    SelectInterface,     // the URB's interface entry, u16 0
    Buffer,              // TransferBufferLength bytes of the transfer buffer (or its MDL)
    Transfer,            // transfer data, continued in "iCnt"/"cCnt" records beyond one piece
};

// A pipe as the driver's tables know it (the pipe table's entry for the URB's pipe handle).
typedef struct _URB_PIPE_INFO {
    UCHAR InterfaceNumber;
    UCHAR EndpointAddress;
    USHORT MaximumPacketSize;
    UCHAR Attributes; // the endpoint's transfer type (bmAttributes bits 0-1)
} URB_PIPE_INFO, *PURB_PIPE_INFO;

typedef struct _URB_RECORD {
    PURB Urb;
    ULONG Function; // Hdr.Function as the URB has it (synchronous bit included)
    ULONG Code;     // Function without the synchronous bit

    // Functions with a pipe block (2, 8, 9, 10, 30, 48 to 52).
    BOOLEAN HasPipe;
    BOOLEAN IsTransfer;     // 8, 9, 10, 50: the record may carry transfer data
    BOOLEAN DefaultPipe;    // PipeHandle 0, or a transfer flagged USBD_DEFAULT_PIPE_TRANSFER
    BOOLEAN PipeKnown;      // the pipe handle was found (UrbRecordSetPipe)
    BOOLEAN DirectionIn;    // transfers: data flows from the device to the host
    BOOLEAN DirectionKnown; // transfers: the direction decides whether data is captured
    PVOID PipeHandle;
    URB_RECORD_PIPE Pipe; // the pipe block as written

    // Transfer fields of the URB (those it has).
    ULONG TransferFlags;
    ULONG TransferBufferLength;
    PVOID TransferBuffer;
    PMDL TransferBufferMDL;
    UCHAR SetupPacket[8]; // 8, 50; for vendor and class requests byte 1 is the URB's Request

    // Built by UrbRecordBuild.
    BOOLEAN Completion; // "urbC" (else "urbI")
    ULONG Part1Size;
    UCHAR Part1[URB_RECORD_PART1_MAX];
    UrbPart2 Part2Kind;
    ULONG Part2Size; // for Transfer: the bytes captured over the record and its continuations
} URB_RECORD, *PURB_RECORD;

// Reads the URB's function and, for the functions that have them, its pipe and transfer fields. FALSE when
// the URB's memory is not valid or its function gives no record (above 52, other than 0x1000 to 0x1002).
BOOLEAN UrbRecordOpen(PURB_RECORD Record, PURB Urb);
// The same for a URB that UrbRecordOpen opened with this function earlier in the same request (its memory
// stays the request's until it completes): the fields are read again without checking the memory again,
// unless the function has changed since.
BOOLEAN UrbRecordReopen(PURB_RECORD Record, PURB Urb, ULONG Function);
// Only the URB's function, when its header is valid memory.
BOOLEAN UrbRecordPeekFunction(PURB Urb, PULONG Function);
// UrbRecordOpen of a URB whose function UrbRecordPeekFunction has just read.
BOOLEAN UrbRecordOpenPeeked(PURB_RECORD Record, PURB Urb, ULONG Function);
// Whether a peeked URB's function has a record and its memory holds every field capture reads for it.
BOOLEAN UrbRecordFieldsReadable(PURB Urb, ULONG Function);

// The pipe handle to look up for the pipe block; null for the default pipe or functions without a pipe.
inline PVOID UrbRecordPipeToFind(const URB_RECORD* Record) {
    return Record->HasPipe && !Record->DefaultPipe ? Record->PipeHandle : nullptr;
}

// Fills the pipe block and the transfer direction. Pipe is the table's entry for the URB's pipe handle, null
// when it has none; DeviceByte is the owning stack's bConfigurationValue (0 when none is cached).
VOID UrbRecordSetPipe(PURB_RECORD Record, const URB_PIPE_INFO* Pipe, UCHAR DeviceByte);

// Builds part 1 and sizes part 2 of the "urbI" (Completion FALSE) or "urbC" record. DeviceHandle is the
// value for the head (the caller resolves it; functions with the synchronous bit and 0x1000 to 0x1002 write
// 0 or fields of their own). Transfer data is taken only with the kind's switch on and in the phase of the
// transfer's direction, at most the kind's size setting.
VOID UrbRecordBuild(PURB_RECORD Record, BOOLEAN Completion, ULONG64 DeviceHandle, const CAPTURE_SETTINGS* Settings);

// The function word of the "urbR" record.
ULONG UrbRecordReturnFunction(const URB_RECORD* Record);

// Writes the built record with the request's header values (Header gets the URB's function word) and, when
// its transfer data runs past one piece, its continuations. FALSE when the record found no room (its
// continuations are then not written).
BOOLEAN UrbRecordWrite(PCAPTURE_LOG Log, PURB_RECORD Record, PRECORD_HEADER_INFO Header);
