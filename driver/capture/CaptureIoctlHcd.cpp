// Payloads of host-controller device-control records ("hcd").
//
// Locks: none; a payload is built in the record before the record is written under the capture log's lock
// (CaptureIoctlRecord.cpp). Up to DISPATCH_LEVEL.
#include "driver/capture/CaptureIoctl.h"

#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "usbioctl.h"
#include "usbuser.h"

static_assert(IOCTL_USB_HCD_GET_STATS_1 == 0x2203FC && IOCTL_USB_GET_ROOT_HUB_NAME == 0x220408 &&
              IOCTL_GET_HCD_DRIVERKEY_NAME == 0x220424 && IOCTL_USB_HCD_GET_STATS_2 == 0x220428 &&
              IOCTL_USB_HCD_DISABLE_PORT == 0x220430 && IOCTL_USB_HCD_ENABLE_PORT == 0x220434 &&
              IOCTL_USB_USER_REQUEST == 0x220438);

namespace {

// The port number a port request carries when its buffer has none.
constexpr ULONG NO_PORT = 0xFFFFFFFF;

// Request side: the output length asked for. Completion side, on success: what came back, at most
// `declared` bytes.
VOID OutputRequest(const IOCTL_REQUEST* request, PIOCTL_RECORD record, ULONG declared) {
    if (!request->Completion) {
        IoctlRecordPart1Is(record, request->Location->Parameters.DeviceIoControl.OutputBufferLength);
    } else if (IoctlSucceeded(request)) {
        IoctlRecordAppendBuffer(record, IoctlReturned(request, IoctlSystemBuffer(request), declared));
    }
}

// IOCTL_USB_USER_REQUEST, both sides: the lengths, the buffer's address and its request header (before the
// call when the output length covers the header, at completion when the input length does; zeros
// otherwise); then the controller information that follows the header when that is what was asked for.
VOID UserRequestPayload(const IOCTL_REQUEST* request, PIOCTL_RECORD record) {
    const IOCTL_BUFFER buffer = IoctlSystemBuffer(request);
    const auto& parameters = request->Location->Parameters.DeviceIoControl;
    HCD_RECORD_USER_REQUEST head = {};
    head.InputBufferLength = parameters.InputBufferLength;
    head.OutputBufferLength = parameters.OutputBufferLength;
    head.SystemBuffer = reinterpret_cast<ULONG64>(request->Irp->AssociatedIrp.SystemBuffer);
    const ULONG headLength = request->Completion ? parameters.InputBufferLength : parameters.OutputBufferLength;
    if (headLength >= sizeof head.BufferHead) {
        IoctlBufferRead(buffer, 0, head.BufferHead, sizeof head.BufferHead);
    }
    IoctlRecordPart1Is(record, head);
    if (IoctlBufferFirstUlong(buffer, 0) == USBUSER_GET_CONTROLLER_INFO_0) {
        IoctlRecordAppendBuffer(record, IoctlSlice(IoctlReturned(request, buffer, ~0u), sizeof head.BufferHead,
                                                   HCD_RECORD_USER_REQUEST_EXTRA));
    }
}

} // namespace

VOID HcdPayload(const IOCTL_REQUEST* Request, PIOCTL_RECORD Record) {
    switch (IoctlCode(Request)) {
    case IOCTL_USB_HCD_GET_STATS_1: OutputRequest(Request, Record, HCD_RECORD_STATS1_SIZE); break;
    case IOCTL_USB_HCD_GET_STATS_2: OutputRequest(Request, Record, HCD_RECORD_STATS2_SIZE); break;
    case IOCTL_USB_GET_ROOT_HUB_NAME:
    case IOCTL_GET_HCD_DRIVERKEY_NAME:
        OutputRequest(Request, Record, Request->Location->Parameters.DeviceIoControl.OutputBufferLength);
        break;
    case IOCTL_USB_HCD_DISABLE_PORT:
    case IOCTL_USB_HCD_ENABLE_PORT:
        if (!Request->Completion) {
            IoctlRecordFirstUlong(Request, Record, NO_PORT);
        }
        break;
    case IOCTL_USB_USER_REQUEST: UserRequestPayload(Request, Record); break;
    }
}

const RECORD_KIND RecordKindHcd = {
    LogTag::KindHcd, FilterFamily::Hcd, &CAPTURE_SETTINGS::CaptureHcdIoctl, HcdPayload, FALSE, FALSE};
