// Capture of URB requests (CaptureUrb.h).
#include "driver/capture/CaptureUrb.h"

#include "common/RecordTags.h"
#include "driver/capture/Capture.h"
#include "driver/capture/CaptureContext.h"
#include "driver/nodes/HandleTables.h"
#include "driver/stacktree/DescriptorCache.h"
#include "driver/stacktree/DeviceStackTree.h"

namespace {

// The pipe block's device byte: the stack's bConfigurationValue.
UCHAR DeviceByte(PDEVICE_STACK stack) {
    return stack != nullptr ? StackConfigurationValue(stack) : 0;
}

// Where the filter block decided, a function with the synchronous bit also needs the block's byte for it.
CaptureDecision WithSyncGate(const URB_RECORD* record, CaptureDecision decision) {
    if (decision == CaptureDecision::Filter && !FilterUrbSyncPasses(g_Driver.CaptureFilter, record->Function)) {
        return CaptureDecision::Rejected;
    }
    return decision;
}

// The direction gate, where the filter block decided: an IN transfer needs byte 295, an OUT transfer 296.
bool DirectionPasses(const URB_RECORD* record, CaptureDecision decision) {
    return decision != CaptureDecision::Filter || !record->IsTransfer ||
           FilterDirectionPasses(g_Driver.CaptureFilter, record->DirectionIn != FALSE);
}

// What the dispatch found out about a URB, handed to its completion in the completion context's value: the
// function it opened the URB with (the completion reads the URB again without checking its memory again)
// and, once a phase has looked the pipe up, the pipe block's table fields and the device byte.
struct URB_MEMO {
    USHORT Function;
    BOOLEAN PipeResolved;
    BOOLEAN PipeKnown;
    UCHAR DeviceByte;
    URB_PIPE_INFO Pipe; // MaximumPacketSize keeps only its low byte, all the pipe block has of it
};

ULONG64 MemoPack(const URB_MEMO& memo) {
    return ULONG64{memo.Function} | ULONG64{memo.PipeResolved} << 16 | ULONG64{memo.PipeKnown} << 17 |
           ULONG64{memo.DeviceByte} << 24 | ULONG64{memo.Pipe.InterfaceNumber} << 32 |
           ULONG64{memo.Pipe.EndpointAddress} << 40 | ULONG64(memo.Pipe.MaximumPacketSize & 0xFF) << 48 |
           ULONG64{memo.Pipe.Attributes} << 56;
}

URB_MEMO MemoUnpack(ULONG64 value) {
    URB_MEMO memo = {};
    memo.Function = static_cast<USHORT>(value);
    memo.PipeResolved = (value >> 16) & 1;
    memo.PipeKnown = (value >> 17) & 1;
    memo.DeviceByte = static_cast<UCHAR>(value >> 24);
    memo.Pipe.InterfaceNumber = static_cast<UCHAR>(value >> 32);
    memo.Pipe.EndpointAddress = static_cast<UCHAR>(value >> 40);
    memo.Pipe.MaximumPacketSize = static_cast<UCHAR>(value >> 48);
    memo.Pipe.Attributes = static_cast<UCHAR>(value >> 56);
    return memo;
}

// The pipe block of a record: from the tables the first time a phase needs it, from the memo after that.
VOID ResolvePipe(PURB_RECORD record, PDEVICE_STACK stack, URB_MEMO* memo) {
    if (!record->HasPipe) {
        return;
    }
    if (!memo->PipeResolved) {
        memo->DeviceByte = DeviceByte(stack);
        memo->PipeKnown = CaptureUrbFindPipe(record, &memo->Pipe);
        memo->PipeResolved = TRUE;
    }
    UrbRecordSetPipe(record, memo->PipeKnown ? &memo->Pipe : nullptr, memo->DeviceByte);
}

// The record of one phase, when the gates let it through. Status is the IRP's. Inline in both its callers,
// which have the registers it needs saved already: it runs twice for every recorded URB.
[[gnu::always_inline]] inline bool RecordPhase(PURB_RECORD record, FilterPhase phase, NTSTATUS status,
                                               PDEVICE_STACK stack, URB_MEMO* memo) {
    const CaptureDecision decision = CaptureUrbDecide(record, phase, status);
    if (!CaptureAccepted(decision)) {
        return false;
    }
    ResolvePipe(record, stack, memo);
    if (!DirectionPasses(record, decision)) {
        return false;
    }
    UrbRecordBuild(record, phase == FilterPhase::Completion, CaptureUrbDeviceHandle(record, stack), &g_Driver.Capture);
    return true;
}

// Whether the tree may learn from the URB, before its stack is known: the function read first, the URB
// opened only for a function that may teach.
bool MayTeach(PURB urb) {
    ULONG function;
    if (!UrbRecordPeekFunction(urb, &function) || !CaptureUrbMayTeachFunction(function & URB_FUNCTION_DRIVER_MASK)) {
        return false;
    }
    const ULONG code = function & URB_FUNCTION_DRIVER_MASK;
    return UrbRecordFieldsReadable(urb, function) && CaptureUrbMayTeach(urb, code);
}

// While the capture log is off, only a URB the tree may learn from matters.
BOOLEAN UrbMayMatter(PIO_STACK_LOCATION location) {
    return CaptureLogActive() || MayTeach(static_cast<PURB>(location->Parameters.Others.Argument1));
}

VOID UrbDispatch(PCAPTURE_CONTEXT capture) {
    if (capture->Node == nullptr) {
        return; // a device object the tree does not know: nothing to record, nothing to learn
    }
    const auto urb = static_cast<PURB>(capture->StackLocation->Parameters.Others.Argument1);
    const bool recorded = !capture->OwnRequest && CaptureNodeRecorded(capture->Node);
    const bool hooked = (DeviceNodeFlags(capture->Node) & DEVOBJ_HOOKED) != 0;
    // A request that is not recorded is opened only when the tree may learn from it (which UrbMayMatter has
    // already found while the log is off).
    if (!recorded && !(hooked && capture->Stack != nullptr && (!CaptureLogActive() || MayTeach(urb)))) {
        return;
    }
    URB_RECORD record;
    if (!UrbRecordOpen(&record, urb)) {
        return; // unreadable, or a function without a record: passed on untouched
    }
    URB_MEMO memo = {};
    memo.Function = static_cast<USHORT>(record.Function);
    bool watchCompletion = false;
    if (recorded) {
        if (RecordPhase(&record, FilterPhase::Request, capture->Irp->IoStatus.Status, capture->Stack, &memo)) {
            capture->Mode = CAPTURE_MODE_RETURN;
            capture->ReturnTag = LogTag::urbR;
            capture->ReturnFunction = UrbRecordReturnFunction(&record);
            RECORD_HEADER_INFO header;
            CaptureHeader(capture, &header);
            header.Status = capture->Irp->IoStatus.Status;
            UrbRecordWrite(g_Driver.CaptureLog, &record, &header);
        }
        watchCompletion = CaptureAccepted(WithSyncGate(
            &record, CaptureCompletionWanted(FilterFamily::Urb, g_Driver.Capture.CaptureUrbs, record.Code)));
    }
    const bool learn =
        hooked && CaptureUrbTeaches(&record, capture->Stack) && CaptureUrbIsForStack(&record, capture->Stack);
    if (watchCompletion || learn) {
        CaptureInstallCompletion(capture, COMPLETION_KIND_REQUEST, MemoPack(memo),
                                 (watchCompletion ? COMPLETION_RECORD : 0) | (learn ? COMPLETION_LEARN : 0));
    }
}

VOID UrbComplete(PDEVICE_OBJECT, PIRP Irp, PCOMPLETION_CONTEXT context) {
    URB_MEMO memo = MemoUnpack(context->Value);
    URB_RECORD record;
    if (!UrbRecordReopen(&record, static_cast<PURB>(context->Saved.Parameters.Others.Argument1), memo.Function)) {
        return;
    }
    if (record.Function != memo.Function) {
        memo = {}; // a URB taken as new: its pipe is looked up again
    }
    PDEVICE_STACK stack = DeviceNodeOwningStack(context->Node);
    const NTSTATUS status = Irp->IoStatus.Status;
    if ((context->Flags & COMPLETION_RECORD) && !context->OwnRequest && CaptureNodeRecorded(context->Node) &&
        RecordPhase(&record, FilterPhase::Completion, status, stack, &memo)) {
        RECORD_HEADER_INFO header;
        CaptureCompletionHeader(context, Irp, &header);
        UrbRecordWrite(g_Driver.CaptureLog, &record, &header);
    }
    if ((context->Flags & COMPLETION_LEARN) && stack != nullptr && NT_SUCCESS(status) &&
        USBD_SUCCESS(record.Urb->UrbHeader.Status) && CaptureUrbTeaches(&record, stack)) {
        CaptureUrbLearn(&record, stack);
    }
}

} // namespace

const CAPTURE_FAMILY CaptureFamilyUrb = {UrbMayMatter, UrbDispatch, nullptr, UrbComplete};

BOOLEAN CaptureUrbFindPipe(const URB_RECORD* Record, PURB_PIPE_INFO Pipe) {
    PVOID handle = UrbRecordPipeToFind(Record);
    PIPE_LOOKUP lookup;
    if (handle == nullptr || !PipeTableLookup(reinterpret_cast<ULONG64>(handle), &lookup)) {
        return FALSE;
    }
    Pipe->InterfaceNumber = lookup.InterfaceNumber;
    Pipe->EndpointAddress = lookup.Pipe.EndpointAddress;
    Pipe->MaximumPacketSize = lookup.Pipe.MaximumPacketSize;
    Pipe->Attributes = static_cast<UCHAR>(lookup.Pipe.PipeType);
    return TRUE;
}

ULONG64 CaptureUrbDeviceHandle(const URB_RECORD* Record, PDEVICE_STACK Stack) {
    if ((Record->Function & URB_FUNCTION_WORD_SYNC_BIT) || Record->Code >= URB_FUNCTION_OPEN_ENDPOINT) {
        return 0;
    }
    PVOID handle = Record->Urb->UrbHeader.UsbdDeviceHandle;
    const ULONG64 own = Stack != nullptr ? StackDeviceHandle(Stack) : 0;
    if (reinterpret_cast<ULONG64>(handle) == own) {
        return own; // the stack's own handle: the answer either way
    }
    if (handle != nullptr && MmIsAddressValid(handle)) {
        if (PDEVICE_STACK known = DeviceHandleTableLookup(reinterpret_cast<ULONG64>(handle), nullptr)) {
            StackRelease(known);
            return reinterpret_cast<ULONG64>(handle);
        }
    }
    return own;
}

CaptureDecision CaptureUrbDecide(const URB_RECORD* Record, FilterPhase Phase, NTSTATUS Status) {
    return WithSyncGate(Record,
                        CaptureDecide(FilterFamily::Urb, Phase, g_Driver.Capture.CaptureUrbs, Record->Code, Status));
}
