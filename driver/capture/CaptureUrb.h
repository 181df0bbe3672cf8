// Capture of URB requests (IOCTL_INTERNAL_USB_SUBMIT_URB): the URB family of HookedDispatch and
// HookedCompletion (CaptureFamilyUrb, Capture.h), what it looks up for a record, and what the device-stack
// tree learns from completed URBs.
//
// Before the call: a URB whose function has a record is recorded ("urbI", its "iCnt" continuations, then
// "urbR" after the call) when the common gate lets its device object through and the switch or the filter
// block accepts the request phase, and the direction gate, where the block decided, its data direction. The
// completion routine goes in when the completion phase may be wanted, or when the URB is one the tree learns
// from. At completion: "urbC" and its "cCnt" continuations under the same gates, then the learning.
//
// A URB is opened (its memory checked, its fields read) once per request: a request that is not recorded
// only when its function may teach the tree, and the completion reads the fields again without a second
// check, reusing the pipe block the dispatch looked up.
//
// Locks: the lookups take the handle tables' and the stack's interface lock, each alone; records take the
// capture log's. Up to DISPATCH_LEVEL.
#pragma once

#include "ntddk.h"

#include "driver/capture/CaptureGate.h"
#include "driver/capture/CaptureUrbRecord.h"

struct _DEVICE_STACK;

// The pipe table's entry for the record's pipe handle; FALSE for the default pipe, a function without a pipe
// or a handle the table does not hold.
BOOLEAN CaptureUrbFindPipe(const URB_RECORD* Record, PURB_PIPE_INFO Pipe);

// The device-handle value of a record's head: the URB's own handle when it is non-zero, a valid address and
// in the device-handle table; otherwise the handle the owning stack has (0 without a stack).
ULONG64 CaptureUrbDeviceHandle(const URB_RECORD* Record, struct _DEVICE_STACK* Stack);

// How a phase of the URB is decided: the switch, or the filter block with the URB function's byte (and, for
// a function with the synchronous bit, byte 57). Status is the IRP's.
CaptureDecision CaptureUrbDecide(const URB_RECORD* Record, FilterPhase Phase, NTSTATUS Status);

// TRUE when a URB of this function (without the synchronous bit) may be one the tree learns from, as far as
// its function tells: the functions CaptureUrbTeaches looks at further.
BOOLEAN CaptureUrbMayTeachFunction(ULONG Code);
// TRUE when the URB (whose fields for its function are readable) would teach a stack whose device class is
// not known yet: CaptureUrbTeaches with a stack that may be a hub's.
BOOLEAN CaptureUrbMayTeach(const URB* Urb, ULONG Code);
// TRUE when the completed URB is one the device-stack tree learns from: a device or BOS descriptor fetched
// by GET_DESCRIPTOR_FROM_DEVICE or by a standard control transfer, a hub descriptor fetched from a hub (a
// class control transfer or CLASS_DEVICE request), SELECT_CONFIGURATION and SELECT_INTERFACE.
BOOLEAN CaptureUrbTeaches(const URB_RECORD* Record, const struct _DEVICE_STACK* Stack);
// Feeds the stack's caches from a URB that completed successfully (CaptureUrbTeaches).
VOID CaptureUrbLearn(const URB_RECORD* Record, struct _DEVICE_STACK* Stack);

// TRUE when a URB arriving at a device object of the stack is about the stack's own device. A hub driver
// passes the URBs of the devices on its ports on toward the root hub with their device handle filled in, so
// a URB that carries a handle other than the stack's own belongs to another device: the root hub's stack
// must not learn a flash drive's configuration. Read before the call, when the handle is the sender's.
BOOLEAN CaptureUrbIsForStack(const URB_RECORD* Record, struct _DEVICE_STACK* Stack);
