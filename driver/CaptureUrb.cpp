// Capture of URB requests (CaptureUrb.h).
#include "driver/CaptureUrb.h"

#include "common/RecordTags.h"
#include "driver/Capture.h"
#include "driver/CaptureContext.h"
#include "driver/DescriptorCache.h"
#include "driver/HandleTables.h"
#include "driver/StackTree.h"

namespace {

// bConfigurationValue of the stack's cached configuration descriptor, the pipe block's device byte.
constexpr ULONG CONFIG_VALUE_OFFSET = 5;

UCHAR DeviceByte(PDEVICE_STACK stack) {
    if (stack == nullptr) {
        return 0;
    }
    UCHAR head[CONFIG_VALUE_OFFSET + 1] = {};
    return DescriptorCacheCopy(stack, DescriptorCacheConfiguration, head, sizeof head, nullptr) == sizeof head
               ? head[CONFIG_VALUE_OFFSET]
               : 0;
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

// The record of one phase, when the gates let it through. Status is the IRP's.
bool RecordPhase(PURB_RECORD record, FilterPhase phase, NTSTATUS status, PDEVICE_STACK stack) {
    const CaptureDecision decision = CaptureUrbDecide(record, phase, status);
    if (!CaptureAccepted(decision)) {
        return false;
    }
    CaptureUrbResolvePipe(record, stack);
    if (!DirectionPasses(record, decision)) {
        return false;
    }
    UrbRecordBuild(record, phase == FilterPhase::Completion, CaptureUrbDeviceHandle(record, stack), &g_Driver.Capture);
    return true;
}

VOID UrbDispatch(PCAPTURE_CONTEXT capture) {
    if (capture->Node == nullptr) {
        return; // a device object the tree does not know: nothing to record, nothing to learn
    }
    URB_RECORD record;
    if (!UrbRecordOpen(&record, static_cast<PURB>(capture->StackLocation->Parameters.Others.Argument1))) {
        return; // unreadable, or a function without a record: passed on untouched
    }
    const bool recorded = !capture->OwnRequest && CaptureNodeRecorded(capture->Node);
    bool watchCompletion = false;
    if (recorded) {
        if (RecordPhase(&record, FilterPhase::Request, capture->Irp->IoStatus.Status, capture->Stack)) {
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
    const bool learn = (DeviceNodeFlags(capture->Node) & DEVOBJ_HOOKED) &&
                       CaptureUrbTeaches(&record, capture->Stack) && CaptureUrbIsForStack(&record, capture->Stack);
    if (watchCompletion || learn) {
        CaptureInstallCompletion(capture, COMPLETION_KIND_REQUEST, 0,
                                 (watchCompletion ? COMPLETION_RECORD : 0) | (learn ? COMPLETION_LEARN : 0));
    }
}

VOID UrbComplete(PDEVICE_OBJECT, PIRP Irp, PCOMPLETION_CONTEXT context) {
    URB_RECORD record;
    if (!UrbRecordOpen(&record, static_cast<PURB>(context->Saved.Parameters.Others.Argument1))) {
        return;
    }
    PDEVICE_STACK stack = DeviceNodeOwningStack(context->Node);
    const NTSTATUS status = Irp->IoStatus.Status;
    if ((context->Flags & COMPLETION_RECORD) && !context->OwnRequest && CaptureNodeRecorded(context->Node) &&
        RecordPhase(&record, FilterPhase::Completion, status, stack)) {
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

const CAPTURE_FAMILY CaptureFamilyUrb = {UrbDispatch, nullptr, UrbComplete};

VOID CaptureUrbResolvePipe(PURB_RECORD Record, PDEVICE_STACK Stack) {
    if (!Record->HasPipe) {
        return;
    }
    URB_PIPE_INFO pipe = {};
    bool found = false;
    if (PVOID handle = UrbRecordPipeToFind(Record)) {
        PIPE_LOOKUP lookup;
        if (PipeTableLookup(reinterpret_cast<ULONG64>(handle), &lookup)) {
            pipe.InterfaceNumber = lookup.InterfaceNumber;
            pipe.EndpointAddress = lookup.Pipe.EndpointAddress;
            pipe.MaximumPacketSize = lookup.Pipe.MaximumPacketSize;
            pipe.Attributes = static_cast<UCHAR>(lookup.Pipe.PipeType);
            found = true;
        }
    }
    UrbRecordSetPipe(Record, found ? &pipe : nullptr, DeviceByte(Stack));
}

ULONG64 CaptureUrbDeviceHandle(const URB_RECORD* Record, PDEVICE_STACK Stack) {
    if ((Record->Function & URB_FUNCTION_WORD_SYNC_BIT) || Record->Code >= URB_FUNCTION_OPEN_ENDPOINT) {
        return 0;
    }
    PVOID handle = Record->Urb->UrbHeader.UsbdDeviceHandle;
    if (handle != nullptr && MmIsAddressValid(handle)) {
        if (PDEVICE_STACK known = DeviceHandleTableLookup(reinterpret_cast<ULONG64>(handle), nullptr)) {
            StackRelease(known);
            return reinterpret_cast<ULONG64>(handle);
        }
    }
    return Stack != nullptr ? StackDeviceHandle(Stack) : 0;
}

CaptureDecision CaptureUrbDecide(const URB_RECORD* Record, FilterPhase Phase, NTSTATUS Status) {
    return WithSyncGate(Record, CaptureDecide(FilterFamily::Urb, Phase, g_Driver.Capture.CaptureUrbs, Record->Code, Status));
}
