#include "driver/record/RecordChangeLog.h"

#include <cstring>

#include "common/RecordTags.h"

namespace {

// What the filler writes: the header fields and the node entry that becomes part 2.
struct ChangeRecord {
    RECORD_HEADER_INFO header;
    const VOID* entry;
    ULONG entrySize;
};

VOID FillChangeRecord(PRECORD_DESCRIPTOR Record, PVOID Context, PIRP Irp, PVOID CompletionContext, BOOLEAN ChangeLog) {
    auto change = static_cast<const ChangeRecord*>(Context);
    RecordSetHeader(Record, &change->header);
    RecordAppendPart2(Record, change->entry, change->entrySize);
}

BOOLEAN WriteChange(PCAPTURE_LOG log, ULONG tag, const ChangeRecord& change) {
    if (!LogIsActive(log)) {
        return FALSE;
    }
    RECORD_DESCRIPTOR record;
    RecordDescribe(&record, tag, 0, change.entrySize);
    return LogWriteRecord(log, &record, FillChangeRecord, const_cast<ChangeRecord*>(&change), nullptr, nullptr);
}

ULONG64 AddressOf(const VOID* p) {
    return reinterpret_cast<ULONG_PTR>(p);
}

} // namespace

BOOLEAN ChangeLogWriteDevice(PCAPTURE_LOG Log, ULONG Tag, const DEVICE_NODE* Entry, const VOID* Node) {
    if (Tag != LogTag::vedA && Tag != LogTag::vedR) {
        return FALSE;
    }
    ChangeRecord change = {};
    change.header.DeviceObject = Entry->DeviceObject;
    change.header.Irp = AddressOf(Node);
    change.header.StackID = Entry->StackID;
    change.header.Status = static_cast<NTSTATUS>(Entry->StatusFlags);
    change.entry = Entry;
    change.entrySize = DEVICE_NODE_SIZE;
    return WriteChange(Log, Tag, change);
}

BOOLEAN ChangeLogWriteDriver(PCAPTURE_LOG Log, ULONG Tag, const CHAR* DriverName, const VOID* DriverObject, ULONG Flags,
                             const VOID* Entry) {
    if (Tag != LogTag::vrdA && Tag != LogTag::vrdR) {
        return FALSE;
    }
    DRIVER_NODE node;
    std::memset(&node, 0, sizeof node);
    node.Header.Kind = NODE_KIND_DRIVER;
    node.Header.Length = DRIVER_NODE_SIZE;
    CopyNodeString(node.DriverName, DriverName, sizeof node.DriverName);
    node.DriverObject = AddressOf(DriverObject);

    ChangeRecord change = {};
    change.header.Irp = AddressOf(Entry);
    change.header.Status = static_cast<NTSTATUS>(Flags);
    change.entry = &node;
    change.entrySize = DRIVER_NODE_SIZE;
    return WriteChange(Log, Tag, change);
}

BOOLEAN ChangeLogWriteStack(PCAPTURE_LOG Log, ULONG Tag, const DEVSTK_NODE* Entry, UCHAR State, const VOID* Node) {
    if (Tag != LogTag::ktsA && Tag != LogTag::ktsR) {
        return FALSE;
    }
    ChangeRecord change = {};
    change.header.Irp = AddressOf(Node);
    change.header.StackID = Entry->StackID;
    change.header.Status = State;
    change.entry = Entry;
    change.entrySize = DEVSTK_NODE_SIZE;
    return WriteChange(Log, Tag, change);
}
