// Capture of power requests (IRP_MJ_POWER, minor functions 0 to 3): "powI" with the request's parameters,
// "powR", and "powC" (with the sequence counts of a completed POWER_SEQUENCE).
//
// Locks: none of its own (the capture log's). Up to DISPATCH_LEVEL.
#include "driver/capture/CapturePower.h"

#include <cstring>

#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "driver/capture/Capture.h"
#include "driver/capture/CaptureContext.h"
#include "driver/capture/CaptureGate.h"

namespace {

// Minor functions above this one are passed on unrecorded.
constexpr UCHAR LAST_RECORDED_MINOR = IRP_MN_QUERY_POWER;

template <class T> ULONG AsUlong(const T& value) {
    static_assert(sizeof(T) == sizeof(ULONG));
    ULONG word;
    std::memcpy(&word, &value, sizeof word);
    return word;
}

VOID PowerDispatch(PCAPTURE_CONTEXT Capture) {
    if (Capture->StackLocation->MinorFunction > LAST_RECORDED_MINOR || Capture->OwnRequest ||
        !CaptureNodeRecorded(Capture->Node)) {
        return;
    }
    if (CaptureKindRequest(Capture, &RecordKindPower)) {
        CaptureInstallCompletion(Capture, COMPLETION_KIND_REQUEST, 0, COMPLETION_RECORD);
    }
}

VOID PowerComplete(PDEVICE_OBJECT, PIRP Irp, PCOMPLETION_CONTEXT Context) {
    if ((Context->Flags & COMPLETION_RECORD) && !Context->OwnRequest && CaptureNodeRecorded(Context->Node)) {
        CaptureKindCompletion(Context, Irp, &RecordKindPower);
    }
}

} // namespace

VOID PowerPayload(const IOCTL_REQUEST* Request, PIOCTL_RECORD Record) {
    const auto& parameters = Request->Location->Parameters;
    switch (Request->Location->MinorFunction) {
    case IRP_MN_WAIT_WAKE:
        if (!Request->Completion) {
            const POWER_RECORD_WAIT_WAKE wake = {AsUlong(parameters.WaitWake.PowerState)};
            IoctlRecordPart1Is(Record, wake);
        }
        break;
    case IRP_MN_SET_POWER:
    case IRP_MN_QUERY_POWER:
        if (!Request->Completion) {
            POWER_RECORD_SET_POWER power;
            power.Type = AsUlong(parameters.Power.Type);
            power.State = AsUlong(parameters.Power.State);
            power.ShutdownType = AsUlong(parameters.Power.ShutdownType);
            IoctlRecordPart1Is(Record, power);
        }
        break;
    case IRP_MN_POWER_SEQUENCE:
        if (IoctlSucceeded(Request)) {
            POWER_SEQUENCE sequence;
            static_assert(sizeof sequence == sizeof(POWER_RECORD_SEQUENCE));
            CaptureReadChecked(parameters.PowerSequence.PowerSequence, &sequence, sizeof sequence);
            IoctlRecordPart1Is(Record, sequence);
        }
        break;
    }
}

const RECORD_KIND RecordKindPower = {
    LogTag::KindPow, FilterFamily::Power, &CAPTURE_SETTINGS::CapturePower, PowerPayload, TRUE, FALSE};

const CAPTURE_FAMILY CaptureFamilyPower = {nullptr, PowerDispatch, nullptr, PowerComplete};
