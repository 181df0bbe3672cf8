// Capture of internal USB IOCTLs other than URB submission ("uin"), and the device handles the tree learns
// from GET_DEVICE_HANDLE (CaptureIoctl.h).
//
// The arguments of these requests are the four pointer-sized parameters of the stack location; every
// pointer among them is checked before it is read, and a length read through one is capped.
//
// Locks: none of its own. Records take the capture log's lock alone; a device handle learnt on completion is
// exchanged into the stack without a lock, and the handle tables it moves in take their own (StackSetDeviceHandle).
// Up to DISPATCH_LEVEL.
#include "driver/capture/CaptureIoctl.h"

#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "driver/capture/Capture.h"
#include "driver/capture/CaptureContext.h"
#include "driver/capture/CaptureGate.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "usbioctl.h"

static_assert(IOCTL_INTERNAL_USB_RESET_PORT == 0x220007 && IOCTL_INTERNAL_USB_GET_ROOTHUB_PDO == 0x22000F &&
              IOCTL_INTERNAL_USB_GET_PORT_STATUS == 0x220013 && IOCTL_INTERNAL_USB_ENABLE_PORT == 0x220017 &&
              IOCTL_INTERNAL_USB_GET_HUB_COUNT == 0x22001B && IOCTL_INTERNAL_USB_CYCLE_PORT == 0x22001F &&
              IOCTL_INTERNAL_USB_GET_HUB_NAME == 0x220020 && IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION == 0x220027 &&
              IOCTL_INTERNAL_USB_RECORD_FAILURE == 0x22002B && IOCTL_INTERNAL_USB_GET_BUS_INFO == 0x220420 &&
              IOCTL_INTERNAL_USB_GET_CONTROLLER_NAME == 0x220424 && IOCTL_INTERNAL_USB_GET_BUSGUID_INFO == 0x220428 &&
              IOCTL_INTERNAL_USB_GET_PARENT_HUB_INFO == 0x22042C && IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE == 0x220433 &&
              IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE_EX == 0x220437 &&
              IOCTL_INTERNAL_USB_GET_TT_DEVICE_HANDLE == 0x22043B &&
              IOCTL_INTERNAL_USB_GET_TOPOLOGY_ADDRESS == 0x22043F && IOCTL_INTERNAL_USB_NOTIFY_IDLE_READY == 0x220443 &&
              IOCTL_INTERNAL_USB_REQ_GLOBAL_SUSPEND == 0x220447 && IOCTL_INTERNAL_USB_REQ_GLOBAL_RESUME == 0x22044B &&
              IOCTL_INTERNAL_USB_GET_DEVICE_CONFIG_INFO == 0x22044F);

namespace {

constexpr ULONG RECORDED_CODES[] = {
    IOCTL_INTERNAL_USB_RESET_PORT,
    IOCTL_INTERNAL_USB_GET_ROOTHUB_PDO,
    IOCTL_INTERNAL_USB_GET_PORT_STATUS,
    IOCTL_INTERNAL_USB_ENABLE_PORT,
    IOCTL_INTERNAL_USB_GET_HUB_COUNT,
    IOCTL_INTERNAL_USB_CYCLE_PORT,
    IOCTL_INTERNAL_USB_GET_HUB_NAME,
    IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION,
    IOCTL_INTERNAL_USB_RECORD_FAILURE,
    IOCTL_INTERNAL_USB_GET_BUS_INFO,
    IOCTL_INTERNAL_USB_GET_CONTROLLER_NAME,
    IOCTL_INTERNAL_USB_GET_BUSGUID_INFO,
    IOCTL_INTERNAL_USB_GET_PARENT_HUB_INFO,
    IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE,
    IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE_EX,
    IOCTL_INTERNAL_USB_GET_TT_DEVICE_HANDLE,
    IOCTL_INTERNAL_USB_GET_TOPOLOGY_ADDRESS,
    IOCTL_INTERNAL_USB_NOTIFY_IDLE_READY,
    IOCTL_INTERNAL_USB_REQ_GLOBAL_SUSPEND,
    IOCTL_INTERNAL_USB_REQ_GLOBAL_RESUME,
    IOCTL_INTERNAL_USB_GET_DEVICE_CONFIG_INFO,
};

template <class T> T ReadThrough(const VOID* pointer) {
    T value;
    CaptureReadChecked(pointer, &value, sizeof value);
    return value;
}

ULONG64 Argument(const IOCTL_REQUEST* request, ULONG index) {
    return reinterpret_cast<ULONG64>(IoctlArgument(request, index));
}

ULONG CappedLength(ULONG64 length) {
    return length < IOCTL_RECORD_STRUCTURE_LENGTH_MAX ? static_cast<ULONG>(length) : IOCTL_RECORD_STRUCTURE_LENGTH_MAX;
}

// The four arguments as the records carry them.
VOID Arguments(const IOCTL_REQUEST* request, ULONG64 (&arguments)[4]) {
    for (ULONG i = 0; i < 4; ++i) {
        arguments[i] = Argument(request, i + 1);
    }
}

// IOCTL_INTERNAL_USB_GET_DEVICE_CONFIG_INFO on success: the structure, then the three strings it points to.
VOID DeviceConfigInfo(PIOCTL_RECORD record, const VOID* pointer) {
    static_assert(sizeof(HUB_DEVICE_CONFIG_INFO) == UIN_RECORD_DEVICE_CONFIG_COPY_SIZE);
    IoctlRecordAppendStructure(record, pointer, sizeof(HUB_DEVICE_CONFIG_INFO));
    HUB_DEVICE_CONFIG_INFO info;
    if (pointer == nullptr || !CaptureReadChecked(pointer, &info, sizeof info)) {
        return;
    }
    for (const USB_ID_STRING& text : {info.HardwareIds, info.CompatibleIds, info.DeviceDescription}) {
        if (text.Buffer != nullptr) {
            IoctlRecordAppendStructure(record, text.Buffer, CappedLength(text.LengthInBytes));
        }
    }
}

BOOLEAN TeachesDeviceHandle(ULONG code) {
    return code == IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE || code == IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE_EX;
}

VOID InternalDispatch(PCAPTURE_CONTEXT Capture) {
    const ULONG code = Capture->StackLocation->Parameters.DeviceIoControl.IoControlCode;
    UCHAR flags = 0;
    if (!Capture->OwnRequest && CaptureNodeRecorded(Capture->Node) &&
        CaptureKindRequest(Capture, &RecordKindInternal)) {
        flags |= COMPLETION_RECORD;
    }
    // The handle is read at completion, where the request is still there to read, whether or not the
    // caller asked to see the completion.
    if (TeachesDeviceHandle(code) && Capture->Stack != nullptr && StackDeviceHandle(Capture->Stack) == 0) {
        flags |= COMPLETION_LEARN;
    }
    if (flags != 0) {
        CaptureInstallCompletion(Capture, COMPLETION_KIND_REQUEST, 0, flags);
    }
}

VOID InternalComplete(PDEVICE_OBJECT, PIRP Irp, PCOMPLETION_CONTEXT Context) {
    if ((Context->Flags & COMPLETION_RECORD) && !Context->OwnRequest && CaptureNodeRecorded(Context->Node)) {
        CaptureKindCompletion(Context, Irp, &RecordKindInternal);
    }
    if ((Context->Flags & COMPLETION_LEARN) && NT_SUCCESS(Irp->IoStatus.Status)) {
        PDEVICE_STACK stack = DeviceNodeOwningStack(Context->Node);
        const auto handle = ReadThrough<ULONG64>(Context->Saved.Parameters.Others.Argument1);
        if (stack != nullptr) {
            StackSetDeviceHandle(stack, handle);
        }
    }
}

} // namespace

BOOLEAN IsRecordedInternalIoctl(ULONG IoControlCode) {
    for (ULONG code : RECORDED_CODES) {
        if (code == IoControlCode) {
            return TRUE;
        }
    }
    return FALSE;
}

VOID InternalPayload(const IOCTL_REQUEST* Request, PIOCTL_RECORD Record) {
    const BOOLEAN success = IoctlSucceeded(Request);
    const VOID* argument1 = IoctlArgument(Request, 1);
    const VOID* argument2 = IoctlArgument(Request, 2);
    const VOID* argument4 = IoctlArgument(Request, 4);
    switch (IoctlCode(Request)) {
    case IOCTL_INTERNAL_USB_GET_ROOTHUB_PDO: {
        UIN_RECORD_ROOTHUB_PDO pdos = {};
        if (success) {
            pdos.Value1 = ReadThrough<ULONG64>(argument1);
            pdos.Value2 = ReadThrough<ULONG64>(argument2);
        }
        IoctlRecordPart1Is(Record, pdos);
        break;
    }
    case IOCTL_INTERNAL_USB_GET_PORT_STATUS:
    case IOCTL_INTERNAL_USB_GET_HUB_COUNT:
        IoctlRecordPart1Is(Record, success ? ReadThrough<ULONG>(argument1) : ULONG{0});
        break;
    case IOCTL_INTERNAL_USB_GET_HUB_NAME:
        if (!Request->Completion) {
            const ULONG outputLength = Request->Location->Parameters.DeviceIoControl.OutputBufferLength;
            IoctlRecordAppendBuffer(Record, IoctlSlice(IoctlSystemBuffer(Request), 0, outputLength));
        }
        IoctlRecordReturned(Request, Record);
        break;
    case IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION: {
        UCHAR callback[UIN_RECORD_IDLE_NOTIFICATION_SIZE];
        CaptureReadChecked(argument4, callback, sizeof callback);
        IoctlRecordPart1Is(Record, callback);
        break;
    }
    case IOCTL_INTERNAL_USB_RECORD_FAILURE: {
        const auto length = ReadThrough<ULONG>(argument1); // the failure record's own length comes first
        IoctlRecordPart1Is(Record, length);
        if (success) {
            IoctlRecordAppendStructure(Record, argument1, CappedLength(length));
        }
        break;
    }
    case IOCTL_INTERNAL_USB_GET_CONTROLLER_NAME:
        IoctlRecordPart1Is(Record, static_cast<ULONG>(Argument(Request, 2)));
        if (success && argument1 != nullptr) {
            IoctlRecordAppendStructure(Record, argument1, CappedLength(Argument(Request, 2)));
        }
        break;
    case IOCTL_INTERNAL_USB_GET_PARENT_HUB_INFO:
        if (success) {
            UIN_RECORD_PARENT_HUB_INFO info;
            info.Argument1Value = ReadThrough<ULONG64>(argument1);
            info.Argument2Value = ReadThrough<ULONG>(argument2);
            info.Argument4Value = ReadThrough<ULONG64>(argument4);
            IoctlRecordPart1Is(Record, info);
        }
        break;
    case IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE:
        if (success) {
            IoctlRecordPart1Is(Record, ReadThrough<ULONG64>(argument1));
        }
        break;
    case IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE_EX:
        if (!Request->Completion || success) {
            UIN_RECORD_DEVICE_HANDLE_EX handles;
            Arguments(Request, handles.Arguments);
            handles.Argument1Value = ReadThrough<ULONG64>(argument1);
            IoctlRecordPart1Is(Record, handles);
        }
        break;
    case IOCTL_INTERNAL_USB_GET_TT_DEVICE_HANDLE:
        if (!Request->Completion || success) {
            UIN_RECORD_TT_DEVICE_HANDLE handles;
            Arguments(Request, handles.Arguments);
            handles.Argument1Value = success ? ReadThrough<ULONG64>(argument1) : 0;
            handles.Argument4Value = ReadThrough<ULONG>(argument4);
            IoctlRecordPart1Is(Record, handles);
        }
        break;
    case IOCTL_INTERNAL_USB_GET_TOPOLOGY_ADDRESS:
        IoctlRecordPart1Is(Record, Argument(Request, 1));
        if (success) {
            IoctlRecordAppendStructure(Record, argument1, UIN_RECORD_TOPOLOGY_ADDRESS_SIZE);
        }
        break;
    case IOCTL_INTERNAL_USB_GET_DEVICE_CONFIG_INFO: {
        UIN_RECORD_DEVICE_CONFIG_INFO head;
        head.Argument1 = Argument(Request, 1);
        ULONG first[2];
        CaptureReadChecked(argument1, first, sizeof first);
        head.First = first[0];
        head.Second = first[1];
        IoctlRecordPart1Is(Record, head);
        if (success) {
            DeviceConfigInfo(Record, argument1);
        }
        break;
    }
    }
}

const RECORD_KIND RecordKindInternal = {
    LogTag::KindUin, FilterFamily::Internal, &CAPTURE_SETTINGS::CaptureUsbIntern, InternalPayload, FALSE, FALSE};

const CAPTURE_FAMILY CaptureFamilyInternal = {nullptr, InternalDispatch, nullptr, InternalComplete};
