// The two contexts of one captured request.
//
// CAPTURE_CONTEXT lives on HookedDispatch's stack for one call: what the families need before and after the
// hooked driver's own dispatch routine runs, and what that call asks to be done after it returns (the mode).
//
// COMPLETION_CONTEXT follows a request whose completion the driver watches: HookedCompletion finds it as its
// context. It is one 128-byte block taken from the device-object node the request went to (the node keeps
// given-back contexts on an interlocked list and allocates the rest from its lookaside list, DeviceNode.h);
// while taken it holds a reference on the node, so the node outlives a request that completes after the
// device object's removal. An installed context takes over HookedDispatch's node and rundown references and
// is held by both routines: the one that finishes last gives it back and drops them, so a request costs one
// pair of references however its completion falls (within the dispatch or after it returned).
//
// Locks: none of their own; taking and giving back a context is interlocked. Up to DISPATCH_LEVEL.
#pragma once

#include "ntddk.h"

#include "driver/nodes/DeviceNode.h"
#include "driver/record/Record.h"

struct _DEVICE_STACK;
struct _COMPLETION_CONTEXT;

// What HookedDispatch does after the saved dispatch routine returned.
constexpr ULONG CAPTURE_MODE_NONE = 0;   // nothing
constexpr ULONG CAPTURE_MODE_RETURN = 1; // write the R record (header only)
constexpr ULONG CAPTURE_MODE_POST = 2;   // the family's post-processing, with the completion context

typedef struct _CAPTURE_CONTEXT {
    PDEVICE_OBJECT DeviceObject;
    PIRP Irp;
    PIO_STACK_LOCATION StackLocation;       // the hooked driver's (the IRP's current location on arrival)
    UCHAR StackCount;                       // the IRP's, before the call
    UCHAR CurrentLocation;                  // the IRP's, before the call
    USHORT StackID;                         // of the stack owning the device object, 0 when none
    ULONG ReturnTag;                        // R record: tag ("urbR", ...)
    ULONG ReturnFunction;                   // R record: function word
    NTSTATUS Status;                        // the saved dispatch routine's return value
    ULONG Mode;                             // CAPTURE_MODE_*
    struct _COMPLETION_CONTEXT* Completion; // mode 2: taken for post-processing
    struct _COMPLETION_CONTEXT* Watched;    // the installed completion routine's, sharing Node and the rundown
    // What every family reads, found once per request.
    PDEVOBJ_NODE Node;              // referenced for the call; null when the device object has no node
    struct _DEVICE_STACK* Stack;    // the node's owning stack (alive while Node is referenced), or null
    PDRIVER_DISPATCH SavedDispatch; // the hooked driver's routine for the request's major function
    BOOLEAN OwnRequest;             // the IRP carries the driver's own mark
} CAPTURE_CONTEXT, *PCAPTURE_CONTEXT;

// Kinds of a completion context: which device-control completion writes the C record.
constexpr USHORT COMPLETION_KIND_REQUEST = 0; // URB, internal, power and PnP requests
constexpr USHORT COMPLETION_KIND_HCD = 100;   // host-controller IOCTL
constexpr USHORT COMPLETION_KIND_HUB = 101;   // hub IOCTL
constexpr USHORT COMPLETION_KIND_HID = 102;   // HID IOCTL

// Flags of a completion context.
constexpr UCHAR COMPLETION_RECORD = 0x01; // the completion phase was wanted when the request was dispatched
constexpr UCHAR COMPLETION_LEARN = 0x02;  // the device-stack tree learns from the request at completion

typedef struct _COMPLETION_CONTEXT {
    PDEVICE_OBJECT DeviceObject; // the hooked device object (the first bytes link a given-back context)
    PDEVOBJ_NODE Node;           // referenced while the context is taken
    PDRIVER_DISPATCH SavedDispatch;
    ULONG64 Value;                    // the device handle or argument value the family watches
    PCAPTURE_CONTEXT Capture;         // mode 2 only: the dispatch's capture context
    IO_STACK_LOCATION Saved;          // the hooked driver's stack location as it was (the caller's completion
                                      // routine, context and control byte included)
    PIO_STACK_LOCATION StackLocation; // where that location is in the IRP
    USHORT Kind;                      // COMPLETION_KIND_*
    UCHAR OwnRequest;                 // the IRP carries the driver's own mark: never recorded
    UCHAR Flags;                      // COMPLETION_*
    volatile LONG Holders;            // installed: HookedDispatch and HookedCompletion, until each is done
} COMPLETION_CONTEXT, *PCOMPLETION_CONTEXT;
static_assert(sizeof(COMPLETION_CONTEXT) <= DEVOBJ_CONTEXT_SIZE, "a completion context is one node context block");
static_assert(offsetof(COMPLETION_CONTEXT, Saved) == 40 && sizeof(IO_STACK_LOCATION) == 72);

// Takes a completion context from the capture context's node and fills it from the capture context (the
// device object, node, saved routine, a copy of the hooked driver's stack location and its address, the own
// mark); null when there is no node or no memory.
PCOMPLETION_CONTEXT CaptureContextTake(PCAPTURE_CONTEXT Capture, USHORT Kind, ULONG64 Value, UCHAR Flags);
// Gives the context back to its node (and drops the node reference it held).
VOID CaptureContextGive(PCOMPLETION_CONTEXT Context);

// Puts HookedCompletion in the hooked driver's stack location: takes a context, saves the location in it,
// then overwrites the location's completion routine with HookedCompletion, its context with the completion
// context and its control byte's invoke bits with all three (on success, on error, on cancel).
// HookedCompletion calls the routine that was there as the platform would have. The context shares the
// dispatch's node and rundown references (Capture->Watched; see CaptureContextDrop). FALSE when no context
// could be had, one is installed already or this driver is unloading: the request then goes on unwatched,
// exactly as it came.
BOOLEAN CaptureInstallCompletion(PCAPTURE_CONTEXT Capture, USHORT Kind, ULONG64 Value, UCHAR Flags);
// HookedDispatch or HookedCompletion has finished with an installed context: the second of them gives it back
// and drops the node and rundown references it carries. Nothing of the context is touched after this.
VOID CaptureContextDrop(PCOMPLETION_CONTEXT Context);

// Mode 2: takes a completion context for the family's post-processing after the call (its Capture pointing
// back at the capture context) and sets the mode. HookedDispatch runs the family's PostDispatch only when the
// call did not return STATUS_PENDING, and gives the context back in every case. FALSE without memory (the
// mode stays as it was).
BOOLEAN CapturePostProcess(PCAPTURE_CONTEXT Capture, USHORT Kind, ULONG64 Value);

// --- Record headers ---

// The header values of a record written before or right after the call (I and R records): the device
// object, the IRP, the hooked driver's stack location, the IRP's stack count and location taken before the
// call and the stack's id. The caller adds the function word and the status.
VOID CaptureHeader(const CAPTURE_CONTEXT* Capture, PRECORD_HEADER_INFO Header);
// The header values of a C record: the device object, the IRP with its stack count and current location now,
// the stack location saved when the completion routine went in, the owning stack's id, and the IRP's status.
// The caller adds the function word.
VOID CaptureCompletionHeader(const COMPLETION_CONTEXT* Context, PIRP Irp, PRECORD_HEADER_INFO Header);
