#include "driver/record/RecordContinuation.h"

#include "common/RecordPayloads.h"

VOID RecordFillContinuation(PRECORD_DESCRIPTOR Record, PVOID Context, PIRP Irp, PVOID CompletionContext,
                            BOOLEAN ChangeLog) {
    auto source = static_cast<const CONTINUATION_SOURCE*>(Context);
    RecordSetHeader(Record, &source->Header);

    URB_RECORD_CONTINUATION part1 = {};
    part1.TransferBufferLength = source->TransferBufferLength;
    part1.TransferFlags = source->TransferFlags;
    part1.Offset = Record->Offset;
    part1.PieceLength = Record->Part2Size;
    part1.DeviceByte = source->DeviceByte;
    part1.InterfaceNumber = source->InterfaceNumber;
    part1.EndpointAddress = source->EndpointAddress;
    RecordWritePart1(Record, &part1, sizeof part1);
    RecordCopyBuffer(Record, source->Buffer, source->Mdl, Record->Part2Size);
}

ULONG LogWriteContinuations(PCAPTURE_LOG Log, PRECORD_DESCRIPTOR Record, ULONG ContinuationTag,
                            const CONTINUATION_SOURCE* Source) {
    ULONG written = 0;
    while (RecordNextContinuation(Record, ContinuationTag)) {
        if (LogWriteRecord(Log, Record, RecordFillContinuation, const_cast<PCONTINUATION_SOURCE>(Source), nullptr,
                           nullptr)) {
            written++;
        }
    }
    return written;
}
