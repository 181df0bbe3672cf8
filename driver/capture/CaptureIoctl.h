// The IOCTL families of request capture: internal USB IOCTLs other than URB submission ("uin"), and
// device-control IOCTLs sent to host-controller stacks ("hcd"), hub stacks ("hub") and HID collections
// ("hid"), with the header-only completions of every other device-control request ("ctlC").
//
// Which device-control family a request belongs to follows from its code and the stack it was sent to:
// HID codes (device type 0x0B) are HID requests, recorded only at the bottom of a HID collection's stack and
// only while a device object of its parent (the USB device or interface) is captured; USB codes (device
// type 0x22) sent to a stack of a hub (device class 9) are hub requests, sent to a host-controller stack
// host-controller requests; anything else is watched only for its completion, while no filter block is in
// force (a filter block has no byte that selects it).
//
// Internal requests also teach the tree: a GET_DEVICE_HANDLE(_EX) that completes successfully gives the
// owning stack its USB device handle while it has none.
//
// Locks: none of their own (the tree's, the handle tables' and the capture log's, each alone). Up to
// DISPATCH_LEVEL.
#pragma once

#include "driver/capture/CaptureIoctlRecord.h"
#include "driver/nodes/DeviceNode.h"

// The payload of each family's I and C records, by code (what a code does not list is header only).
IOCTL_PAYLOAD_BUILDER HcdPayload;
IOCTL_PAYLOAD_BUILDER HubPayload;
IOCTL_PAYLOAD_BUILDER HidPayload;
IOCTL_PAYLOAD_BUILDER InternalPayload;

extern const RECORD_KIND RecordKindHcd;
extern const RECORD_KIND RecordKindHub;
extern const RECORD_KIND RecordKindHid;
extern const RECORD_KIND RecordKindInternal;

// One of the internal USB requests the driver records (function numbers 1 to 10 and 264 to 275, each with
// its own transfer method); URB submission is the URB family's.
BOOLEAN IsRecordedInternalIoctl(ULONG IoControlCode);

// The device-control family a request to a stack belongs to.
enum class DeviceControlFamily : UCHAR { Hcd, Hub, Hid, Other };
DeviceControlFamily DeviceControlFamilyOf(ULONG IoControlCode, const struct _DEVICE_STACK* Stack);

// HID requests are recorded when the node is the bottom of its stack (the collection's physical device
// object), a device object of the stack's parent has capture on, and the capture log is active.
BOOLEAN CaptureHidNodeRecorded(PDEVOBJ_NODE Node);
