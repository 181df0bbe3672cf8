#include "driver/record/RecordLogMarks.h"

#include "common/RecordTags.h"

namespace {

VOID FillLogMark(PRECORD_DESCRIPTOR Record, PVOID Context, PIRP Irp, PVOID CompletionContext, BOOLEAN ChangeLog) {
    RECORD_HEADER_INFO info = {};
    if (Irp != nullptr) {
        PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(Irp);
        info.DeviceObject = reinterpret_cast<ULONG_PTR>(stack->DeviceObject);
        info.Irp = reinterpret_cast<ULONG_PTR>(Irp);
        info.StackLocation = reinterpret_cast<ULONG_PTR>(stack);
        info.CurrentLocation = static_cast<UCHAR>(Irp->CurrentLocation);
        info.Status = Irp->IoStatus.Status;
    }
    RecordSetHeader(Record, &info);
}

BOOLEAN WriteMark(PCAPTURE_LOG log, ULONG tag, PIRP irp) {
    RECORD_DESCRIPTOR record;
    RecordDescribe(&record, tag, 0, 0);
    return LogWriteRecord(log, &record, FillLogMark, nullptr, irp, nullptr);
}

} // namespace

BOOLEAN LogWriteStart(PCAPTURE_LOG Log, PIRP Irp) {
    return WriteMark(Log, LogTag::atsL, Irp);
}

BOOLEAN LogWriteEnd(PCAPTURE_LOG Log, PIRP Irp) {
    return WriteMark(Log, LogTag::dneL, Irp);
}
