// Payloads of hub device-control records ("hub").
//
// Locks: none; a payload is built in the record before the record is written under the capture log's lock
// (CaptureIoctlRecord.cpp). Up to DISPATCH_LEVEL.
#include "driver/capture/CaptureIoctl.h"

#include "common/RecordTags.h"
#include "usbioctl.h"

static_assert(IOCTL_USB_GET_NODE_INFORMATION == 0x220408 && IOCTL_USB_GET_NODE_CONNECTION_INFORMATION == 0x22040C &&
              IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION == 0x220410 &&
              IOCTL_USB_GET_NODE_CONNECTION_NAME == 0x220414 &&
              IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME == 0x220420 && IOCTL_USB_GET_HUB_CAPABILITIES == 0x22043C &&
              IOCTL_USB_GET_NODE_CONNECTION_ATTRIBUTES == 0x220440 && IOCTL_USB_HUB_CYCLE_PORT == 0x220444 &&
              IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX == 0x220448 &&
              IOCTL_USB_GET_HUB_CAPABILITIES_EX == 0x220450);

VOID HubPayload(const IOCTL_REQUEST* Request, PIOCTL_RECORD Record) {
    switch (IoctlCode(Request)) {
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION: // per-port requests: the port number, then what came back
    case IOCTL_USB_GET_NODE_CONNECTION_NAME:
    case IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME:
    case IOCTL_USB_GET_NODE_CONNECTION_ATTRIBUTES:
    case IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX:
        if (!Request->Completion) {
            IoctlRecordFirstUlong(Request, Record, 0);
        }
        IoctlRecordReturned(Request, Record);
        break;
    case IOCTL_USB_HUB_CYCLE_PORT: IoctlRecordFirstUlong(Request, Record, 0); break;
    case IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION:
        if (!Request->Completion) {
            // The request itself: port, setup packet and the room for the descriptor.
            const ULONG inputLength = Request->Location->Parameters.DeviceIoControl.InputBufferLength;
            IoctlRecordAppendBuffer(Record, IoctlSlice(IoctlSystemBuffer(Request), 0, inputLength));
        }
        IoctlRecordReturned(Request, Record);
        break;
    case IOCTL_USB_GET_NODE_INFORMATION:
    case IOCTL_USB_GET_HUB_CAPABILITIES:
    case IOCTL_USB_GET_HUB_CAPABILITIES_EX: IoctlRecordReturned(Request, Record); break;
    }
}

const RECORD_KIND RecordKindHub = {
    LogTag::KindHub, FilterFamily::Hub, &CAPTURE_SETTINGS::CaptureHubIoctl, HubPayload, FALSE, FALSE};
