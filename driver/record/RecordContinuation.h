// Continuation records ("iCnt" after a "urbI", "cCnt" after a "urbC"): the transfer data a record could not
// carry, in pieces of at most 64 KiB, each record self-describing (offset and length of its piece). They
// repeat the header values of the record they continue and take sequence numbers of their own.
//
// A writer whose transfer data may run past one piece sizes its record with RecordSetTransfer, writes it
// (its part 2 copied with RecordCopyBuffer), then hands the same descriptor to LogWriteContinuations:
//
//     RecordDescribe(&record, LogTag::urbC, sizeof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER), 0);
//     RecordSetTransfer(&record, captured);
//     LogWriteRecord(log, &record, FillUrbRecord, &capture, irp, context);
//     LogWriteContinuations(log, &record, LogTag::cCnt, &source);
//
// Locks: the log's own, once per record, through LogWriteRecord.
#pragma once

#include "driver/log/Log.h"

// What every continuation of one transfer repeats.
typedef struct _CONTINUATION_SOURCE {
    RECORD_HEADER_INFO Header;  // DeviceObject, IRP, stack location, function word, StackID, status
    ULONG TransferBufferLength; // of the whole transfer
    ULONG TransferFlags;
    UCHAR DeviceByte; // the pipe block's device, interface and endpoint bytes
    UCHAR InterfaceNumber;
    UCHAR EndpointAddress;
    PVOID Buffer; // the transfer buffer, or null
    PMDL Mdl;     // its MDL, or null
} CONTINUATION_SOURCE, *PCONTINUATION_SOURCE;

// Fills one continuation record; Context is the PCONTINUATION_SOURCE.
RECORD_FILLER RecordFillContinuation;

// Writes a continuation record for each piece still to come after the record Record described (its
// Remaining bytes), with tag "iCnt" or "cCnt". Returns the number written; a piece that finds no room is
// skipped and the pieces after it keep their offsets.
ULONG LogWriteContinuations(PCAPTURE_LOG Log, PRECORD_DESCRIPTOR Record, ULONG ContinuationTag,
                            const CONTINUATION_SOURCE* Source);
