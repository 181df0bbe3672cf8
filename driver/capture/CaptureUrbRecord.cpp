// URB records and their continuations (CaptureUrbRecord.h).
#include "driver/capture/CaptureUrbRecord.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "common/LogBlock.h"
#include "common/RecordTags.h"
#include "driver/capture/AddressCheck.h"
#include "driver/capture/CaptureGate.h"
#include "driver/record/RecordContinuation.h"

namespace {

constexpr ULONG FUNCTION_MASK = URB_FUNCTION_DRIVER_MASK;

// Bytes of the URB that capture reads for a function (its fixed fields; variable tails are read through
// page-checked copies).
constexpr SIZE_T UrbReadableSize(ULONG code) {
    switch (code) {
    case URB_FUNCTION_SELECT_CONFIGURATION: return offsetof(_URB_SELECT_CONFIGURATION, Interface);
    case URB_FUNCTION_SELECT_INTERFACE: return offsetof(_URB_SELECT_INTERFACE, Interface);
    case URB_FUNCTION_ABORT_PIPE:
    case URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL:
    case URB_FUNCTION_SYNC_RESET_PIPE:
    case URB_FUNCTION_SYNC_CLEAR_STALL: return offsetof(_URB_PIPE_REQUEST, Reserved);
    case URB_FUNCTION_GET_FRAME_LENGTH: return sizeof(_URB_GET_FRAME_LENGTH);
    case URB_FUNCTION_SET_FRAME_LENGTH:
    case URB_FUNCTION_GET_CURRENT_FRAME_NUMBER:
        return offsetof(_URB_SET_FRAME_LENGTH, FrameLengthDelta) + sizeof(ULONG);
    case URB_FUNCTION_CONTROL_TRANSFER:
    case URB_FUNCTION_CONTROL_TRANSFER_EX: return sizeof(_URB_CONTROL_TRANSFER);
    case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER: return offsetof(_URB_BULK_OR_INTERRUPT_TRANSFER, UrbLink);
    case URB_FUNCTION_ISOCH_TRANSFER: return offsetof(_URB_ISOCH_TRANSFER, IsoPacket);
    case URB_FUNCTION_GET_CONFIGURATION: return offsetof(_URB_CONTROL_GET_CONFIGURATION_REQUEST, UrbLink);
    case URB_FUNCTION_SET_PIPE_IO_POLICY:
    case URB_FUNCTION_GET_PIPE_IO_POLICY: return sizeof(_URB_PIPE_IO_POLICY);
    case URB_FUNCTION_OPEN_ENDPOINT: return sizeof(_URB_OPEN_ENDPOINT);
    case URB_FUNCTION_CLOSE_ENDPOINT: return sizeof(_URB_CLOSE_ENDPOINT);
    case URB_FUNCTION_GET_ENDPOINT_STATE: return offsetof(_URB_GET_ENDPOINT_STATE, Flags) + sizeof(ULONG);
    }
    if (UrbRecordPart1Size(code) == 0 || code == URB_FUNCTION_TAKE_FRAME_LENGTH_CONTROL ||
        code == URB_FUNCTION_RELEASE_FRAME_LENGTH_CONTROL) {
        return sizeof(_URB_HEADER);
    }
    // Every other function (descriptor, feature, status, vendor and class requests) is a control request
    // whose own fields end the 136-byte structure.
    return sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST);
}

// UrbReadableSize of every function with a record (0 for the others), looked up on every URB opened: the
// functions 0 to 52, then 0x1000 to 0x1002.
constexpr ULONG URB_RECORD_FUNCTIONS = 53;
constexpr ULONG URB_RECORD_ENDPOINT_FUNCTIONS = 3;
constexpr auto URB_READABLE_SIZES = [] {
    std::array<USHORT, URB_RECORD_FUNCTIONS + URB_RECORD_ENDPOINT_FUNCTIONS> sizes{};
    for (ULONG i = 0; i < sizes.size(); ++i) {
        const ULONG code = i < URB_RECORD_FUNCTIONS ? i : URB_FUNCTION_OPEN_ENDPOINT + (i - URB_RECORD_FUNCTIONS);
        sizes[i] = UrbRecordPart1Size(code) >= 0 ? static_cast<USHORT>(UrbReadableSize(code)) : 0;
    }
    return sizes;
}();
static_assert(UrbRecordPart1Size(URB_RECORD_FUNCTIONS) < 0 &&
              UrbRecordPart1Size(URB_FUNCTION_OPEN_ENDPOINT + URB_RECORD_ENDPOINT_FUNCTIONS) < 0);

// The bytes capture reads of a URB of this function, 0 when the function has no record.
SIZE_T UrbRecordReadableSize(ULONG code) {
    if (code < URB_RECORD_FUNCTIONS) {
        return URB_READABLE_SIZES[code];
    }
    const ULONG endpoint = code - URB_FUNCTION_OPEN_ENDPOINT;
    return endpoint < URB_RECORD_ENDPOINT_FUNCTIONS ? URB_READABLE_SIZES[URB_RECORD_FUNCTIONS + endpoint] : 0;
}

bool IsPipeFunction(ULONG code) {
    switch (code) {
    case URB_FUNCTION_ABORT_PIPE:
    case URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL:
    case URB_FUNCTION_SYNC_RESET_PIPE:
    case URB_FUNCTION_SYNC_CLEAR_STALL:
    case URB_FUNCTION_SET_PIPE_IO_POLICY:
    case URB_FUNCTION_GET_PIPE_IO_POLICY: return true;
    }
    return FilterIsDataTransfer(code);
}

bool IsVendorOrClass(ULONG code) {
    return (code >= URB_FUNCTION_VENDOR_DEVICE && code <= URB_FUNCTION_CLASS_ENDPOINT) ||
           code == URB_FUNCTION_CLASS_OTHER || code == URB_FUNCTION_VENDOR_OTHER;
}

// Requests laid out as _URB_CONTROL_DESCRIPTOR_REQUEST and its relatives: TransferBufferLength, the buffer
// and the MDL lie at the same offsets in all of them.
bool HasControlBuffer(ULONG code) {
    switch (code) {
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE:
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_ENDPOINT:
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_INTERFACE:
    case URB_FUNCTION_SET_DESCRIPTOR_TO_DEVICE:
    case URB_FUNCTION_SET_DESCRIPTOR_TO_ENDPOINT:
    case URB_FUNCTION_SET_DESCRIPTOR_TO_INTERFACE:
    case URB_FUNCTION_GET_STATUS_FROM_DEVICE:
    case URB_FUNCTION_GET_STATUS_FROM_INTERFACE:
    case URB_FUNCTION_GET_STATUS_FROM_ENDPOINT:
    case URB_FUNCTION_GET_STATUS_FROM_OTHER:
    case URB_FUNCTION_GET_INTERFACE:
    case URB_FUNCTION_GET_CONFIGURATION:
    case URB_FUNCTION_GET_MS_FEATURE_DESCRIPTOR: return true;
    }
    return IsVendorOrClass(code);
}
static_assert(offsetof(_URB_CONTROL_DESCRIPTOR_REQUEST, TransferBufferLength) ==
                  offsetof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST, TransferBufferLength) &&
              offsetof(_URB_CONTROL_GET_STATUS_REQUEST, TransferBuffer) ==
                  offsetof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST, TransferBuffer) &&
              offsetof(_URB_OS_FEATURE_DESCRIPTOR_REQUEST, TransferBufferMDL) ==
                  offsetof(_URB_CONTROL_GET_CONFIGURATION_REQUEST, TransferBufferMDL) &&
              offsetof(_URB_CONTROL_GET_INTERFACE_REQUEST, TransferBufferMDL) ==
                  offsetof(_URB_CONTROL_DESCRIPTOR_REQUEST, TransferBufferMDL));
static_assert(offsetof(_URB_BULK_OR_INTERRUPT_TRANSFER, TransferBufferMDL) ==
                  offsetof(_URB_CONTROL_TRANSFER, TransferBufferMDL) &&
              offsetof(_URB_ISOCH_TRANSFER, TransferFlags) == offsetof(_URB_CONTROL_TRANSFER_EX, TransferFlags) &&
              offsetof(_URB_PIPE_IO_POLICY, PipeHandle) == offsetof(_URB_PIPE_REQUEST, PipeHandle));

// Packets of an isochronous transfer whose Length is 0; 0 when the packet array cannot be read.
ULONG ZeroLengthPackets(const _URB_ISOCH_TRANSFER& urb) {
    const ULONG packets = urb.NumberOfPackets;
    if (!AddressRangeIsValid(urb.IsoPacket, SIZE_T{packets} * sizeof(USBD_ISO_PACKET_DESCRIPTOR))) {
        return 0;
    }
    const USBD_ISO_PACKET_DESCRIPTOR* packet = urb.IsoPacket; // NumberOfPackets entries, not one
    ULONG zero = 0;
    for (ULONG i = 0; i < packets; ++i) {
        zero += packet[i].Length == 0 ? 1 : 0;
    }
    return zero;
}

template <class T> void PutPart1(PURB_RECORD record, const T& part1) {
    static_assert(sizeof(T) <= URB_RECORD_PART1_MAX);
    std::memcpy(record->Part1, &part1, sizeof part1);
    record->Part1Size = sizeof part1;
}

URB_RECORD_HEAD MakeHead(const URB_RECORD* record, ULONG64 deviceHandle) {
    URB_RECORD_HEAD head = {};
    head.Length = record->Urb->UrbHeader.Length;
    head.LayoutVersion = URB_RECORD_LAYOUT_VERSION;
    head.UsbdStatus = static_cast<ULONG>(record->Urb->UrbHeader.Status);
    head.DeviceHandle = (record->Function & URB_FUNCTION_WORD_SYNC_BIT) ? 0 : deviceHandle;
    return head;
}

// Transfer data of functions 8, 9, 10 and 50: with the kind's switch on, in the phase of the direction
// (OUT before the call, IN at completion), at most the kind's size setting.
ULONG TransferBytes(const URB_RECORD* record, const CAPTURE_SETTINGS* settings) {
    BOOLEAN capture;
    ULONG maxSize;
    switch (record->Code) {
    case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER:
        capture = settings->CaptureBulk;
        maxSize = settings->BulkMaxSize;
        break;
    case URB_FUNCTION_ISOCH_TRANSFER:
        capture = settings->CaptureIsoch;
        maxSize = settings->IsochMaxSize;
        break;
    default:
        capture = settings->CaptureCtrl;
        maxSize = settings->CtrlMaxSize;
        break;
    }
    if (!capture || !record->DirectionKnown || record->DirectionIn != record->Completion) {
        return 0;
    }
    if (record->TransferBuffer == nullptr && record->TransferBufferMDL == nullptr) {
        return 0;
    }
    return std::min(maxSize, record->TransferBufferLength);
}

// The part-1 fields of the four transfer functions after the pipe block.
VOID BuildTransfer(PURB_RECORD record, URB_RECORD_HEAD head, const CAPTURE_SETTINGS* settings) {
    const PURB urb = record->Urb;
    const ULONG captured = TransferBytes(record, settings);
    const ULONG inRecord = std::min(captured, RECORD_MAX_TRANSFER_PIECE);
    record->Part2Kind = UrbPart2::Transfer;
    record->Part2Size = captured;
    switch (record->Code) {
    case URB_FUNCTION_CONTROL_TRANSFER: {
        URB_RECORD_CONTROL_TRANSFER part1 = {
            head, record->Pipe, record->TransferFlags, record->TransferBufferLength, inRecord, {}};
        std::memcpy(part1.SetupPacket, record->SetupPacket, sizeof part1.SetupPacket);
        PutPart1(record, part1);
        break;
    }
    case URB_FUNCTION_CONTROL_TRANSFER_EX: {
        URB_RECORD_CONTROL_TRANSFER_EX part1 = {head,
                                                record->Pipe,
                                                record->TransferFlags,
                                                urb->UrbControlTransferEx.Timeout,
                                                record->TransferBufferLength,
                                                inRecord,
                                                {}};
        std::memcpy(part1.SetupPacket, record->SetupPacket, sizeof part1.SetupPacket);
        PutPart1(record, part1);
        break;
    }
    case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER:
        PutPart1(record, URB_RECORD_BULK_OR_INTERRUPT_TRANSFER{head, record->Pipe, record->TransferFlags,
                                                               record->TransferBufferLength, inRecord});
        break;
    default: { // URB_FUNCTION_ISOCH_TRANSFER
        const _URB_ISOCH_TRANSFER& isoch = urb->UrbIsochronousTransfer;
        URB_RECORD_ISOCH_TRANSFER part1 = {};
        part1.Head = head;
        part1.Pipe = record->Pipe;
        part1.TransferFlags = record->TransferFlags;
        part1.TransferBufferLength = record->TransferBufferLength;
        part1.CapturedLength = inRecord;
        part1.StartFrame = isoch.StartFrame;
        part1.NumberOfPackets = isoch.NumberOfPackets;
        part1.ZeroLengthPackets = ZeroLengthPackets(isoch);
        part1.ErrorCount = isoch.ErrorCount;
        part1.TransferBuffer = record->TransferBuffer != nullptr
                                   ? reinterpret_cast<ULONG64>(record->TransferBuffer)
                                   : reinterpret_cast<ULONG64>(AddressOfMdlBytes(record->TransferBufferMDL));
        PutPart1(record, part1);
        break;
    }
    }
}

// Part 2 of requests that carry a buffer: TransferBufferLength bytes when the URB has a buffer or an MDL.
VOID BufferPart2(PURB_RECORD record) {
    if (record->TransferBuffer != nullptr || record->TransferBufferMDL != nullptr) {
        record->Part2Kind = UrbPart2::Buffer;
        record->Part2Size = record->TransferBufferLength;
    }
}

// Part 2 of a URB record; its header and part 1 came ready with the descriptor.
VOID FillUrbRecord(PRECORD_DESCRIPTOR descriptor, PVOID context, PIRP, PVOID, BOOLEAN) {
    const auto* record = static_cast<const URB_RECORD*>(context);
    const auto* urbBytes = reinterpret_cast<const UCHAR*>(record->Urb);
    const ULONG urbLength = record->Urb->UrbHeader.Length;
    static const USHORT zero = 0;
    switch (record->Part2Kind) {
    case UrbPart2::None: break;
    case UrbPart2::SelectConfiguration:
        if (urbLength > URB_SELECT_CONFIGURATION_LIST_OFFSET) {
            RecordAppendChecked(descriptor, urbBytes + URB_SELECT_CONFIGURATION_LIST_OFFSET,
                                urbLength - URB_SELECT_CONFIGURATION_LIST_OFFSET);
        }
        RecordAppendPart2(descriptor, &zero, sizeof zero);
        RecordAppendChecked(descriptor, record->Urb->UrbSelectConfiguration.ConfigurationDescriptor,
                            URB_RECORD_CONFIG_HEAD_SIZE);
        break;
    case UrbPart2::SelectInterface:
        if (urbLength > URB_SELECT_INTERFACE_ENTRY_OFFSET) {
            RecordAppendChecked(descriptor, urbBytes + URB_SELECT_INTERFACE_ENTRY_OFFSET,
                                urbLength - URB_SELECT_INTERFACE_ENTRY_OFFSET);
        }
        RecordAppendPart2(descriptor, &zero, sizeof zero);
        break;
    case UrbPart2::Buffer:
    case UrbPart2::Transfer:
        RecordCopyBuffer(descriptor, record->TransferBuffer, record->TransferBufferMDL, descriptor->Part2Size);
        break;
    }
}

} // namespace

namespace {

// Reads the fields of a URB already known to be readable for its function.
VOID ReadUrbFields(PURB_RECORD Record, PURB Urb, ULONG function) {
    // What UrbRecordBuild writes it sets itself.
    RtlZeroMemory(Record, offsetof(URB_RECORD, Completion));
    const ULONG code = function & FUNCTION_MASK;
    Record->Urb = Urb;
    Record->Function = function;
    Record->Code = code;
    Record->HasPipe = IsPipeFunction(code);
    Record->IsTransfer = FilterIsDataTransfer(code);
    if (Record->HasPipe) {
        Record->PipeHandle = Urb->UrbPipeRequest.PipeHandle;
    }
    if (Record->IsTransfer) {
        const _URB_CONTROL_TRANSFER& transfer = Urb->UrbControlTransfer; // the common head of all four
        Record->TransferFlags = transfer.TransferFlags;
        Record->TransferBufferLength = transfer.TransferBufferLength;
        Record->TransferBuffer = transfer.TransferBuffer;
        Record->TransferBufferMDL = transfer.TransferBufferMDL;
        if (code == URB_FUNCTION_CONTROL_TRANSFER || code == URB_FUNCTION_CONTROL_TRANSFER_EX) {
            std::memcpy(Record->SetupPacket, transfer.SetupPacket, sizeof Record->SetupPacket);
        }
    } else if (HasControlBuffer(code)) {
        const _URB_CONTROL_VENDOR_OR_CLASS_REQUEST& request = Urb->UrbControlVendorClassRequest;
        Record->TransferBufferLength = request.TransferBufferLength;
        Record->TransferBuffer = request.TransferBuffer;
        Record->TransferBufferMDL = request.TransferBufferMDL;
        if (IsVendorOrClass(code)) {
            Record->TransferFlags = request.TransferFlags;
            Record->SetupPacket[1] = request.Request;
        }
    }
    Record->DefaultPipe =
        Record->HasPipe &&
        (Record->PipeHandle == nullptr || (Record->IsTransfer && (Record->TransferFlags & USBD_DEFAULT_PIPE_TRANSFER)));
}

} // namespace

BOOLEAN UrbRecordPeekFunction(PURB Urb, PULONG Function) {
    if (!AddressRangeIsValid(Urb, sizeof(_URB_HEADER))) {
        return FALSE;
    }
    *Function = Urb->UrbHeader.Function;
    return TRUE;
}

BOOLEAN UrbRecordOpen(PURB_RECORD Record, PURB Urb) {
    ULONG function;
    if (UrbRecordPeekFunction(Urb, &function) && UrbRecordFieldsReadable(Urb, function)) {
        ReadUrbFields(Record, Urb, function);
        return TRUE;
    }
    RtlZeroMemory(Record, sizeof *Record);
    return FALSE;
}

BOOLEAN UrbRecordFieldsReadable(PURB Urb, ULONG Function) {
    const SIZE_T size = UrbRecordReadableSize(Function & FUNCTION_MASK);
    return size != 0 && AddressRangeIsValidAfterHead(Urb, size);
}

BOOLEAN UrbRecordOpenPeeked(PURB_RECORD Record, PURB Urb, ULONG Function) {
    if (!UrbRecordFieldsReadable(Urb, Function)) {
        RtlZeroMemory(Record, sizeof *Record);
        return FALSE;
    }
    ReadUrbFields(Record, Urb, Function);
    return TRUE;
}

BOOLEAN UrbRecordReopen(PURB_RECORD Record, PURB Urb, ULONG Function) {
    // The URB is the request's until it completes, so memory found readable for this function stays so; a
    // URB whose function changed on the way is taken as new.
    if (Urb->UrbHeader.Function != Function) {
        return UrbRecordOpen(Record, Urb);
    }
    ReadUrbFields(Record, Urb, Function);
    return TRUE;
}

VOID UrbRecordSetPipe(PURB_RECORD Record, const URB_PIPE_INFO* Pipe, UCHAR DeviceByte) {
    if (!Record->HasPipe) {
        return;
    }
    URB_RECORD_PIPE& block = Record->Pipe;
    block = {};
    block.DeviceByte = DeviceByte;
    block.PipeHandle = reinterpret_cast<ULONG64>(Record->PipeHandle);
    const bool control =
        Record->Code == URB_FUNCTION_CONTROL_TRANSFER || Record->Code == URB_FUNCTION_CONTROL_TRANSFER_EX;
    const bool setupIn = control && (Record->SetupPacket[0] & 0x80) != 0;
    Record->PipeKnown = FALSE;
    if (Record->DefaultPipe) {
        block.EndpointAddress = setupIn ? URB_RECORD_ENDPOINT_DIR_IN : 0;
    } else if (Pipe == nullptr) {
        block.InterfaceNumber = URB_RECORD_PIPE_UNKNOWN;
    } else {
        Record->PipeKnown = TRUE;
        block.InterfaceNumber = Pipe->InterfaceNumber;
        block.EndpointAddress = Pipe->EndpointAddress;
        block.MaxPacketLow = static_cast<UCHAR>(Pipe->MaximumPacketSize & 0xFF);
        block.Attributes = Pipe->Attributes;
    }
    if (!Record->IsTransfer) {
        return;
    }
    // Control transfers say their direction themselves: the setup packet on the default pipe, the transfer
    // flags on any other control pipe (whose endpoint address has no direction). Bulk and isochronous
    // transfers go the way of their endpoint; without a pipe they count as OUT, and a pipe the tables do not
    // know carries no data.
    if (control) {
        Record->DirectionIn = Record->DefaultPipe ? setupIn : (Record->TransferFlags & USBD_TRANSFER_DIRECTION_IN) != 0;
        Record->DirectionKnown = TRUE;
    } else if (Record->DefaultPipe) {
        Record->DirectionIn = FALSE;
        Record->DirectionKnown = TRUE;
    } else if (Record->PipeKnown) {
        Record->DirectionIn = (block.EndpointAddress & URB_RECORD_ENDPOINT_DIR_IN) != 0;
        Record->DirectionKnown = TRUE;
    } else {
        Record->DirectionIn = (Record->TransferFlags & USBD_TRANSFER_DIRECTION_IN) != 0;
        Record->DirectionKnown = FALSE;
    }
}

VOID UrbRecordBuild(PURB_RECORD Record, BOOLEAN Completion, ULONG64 DeviceHandle, const CAPTURE_SETTINGS* Settings) {
    const PURB urb = Record->Urb;
    const URB_RECORD_HEAD head = MakeHead(Record, DeviceHandle);
    Record->Completion = Completion;
    Record->Part1Size = 0;
    Record->Part2Kind = UrbPart2::None;
    Record->Part2Size = 0;
    // Part 1 is written whole by PutPart1 (the record structures are packed); bytes past Part1Size are never
    // read, so they are not cleared.

    switch (Record->Code) {
    case URB_FUNCTION_SELECT_CONFIGURATION: {
        const _URB_SELECT_CONFIGURATION& select = urb->UrbSelectConfiguration;
        PutPart1(Record,
                 URB_RECORD_SELECT_CONFIGURATION{head, reinterpret_cast<ULONG64>(select.ConfigurationDescriptor),
                                                 reinterpret_cast<ULONG64>(select.ConfigurationHandle)});
        if (select.ConfigurationDescriptor != nullptr) {
            Record->Part2Kind = UrbPart2::SelectConfiguration;
            Record->Part2Size = SelectConfigurationPart2Size(select.Hdr.Length);
        }
        break;
    }
    case URB_FUNCTION_SELECT_INTERFACE:
        PutPart1(Record, URB_RECORD_SELECT_INTERFACE{
                             head, reinterpret_cast<ULONG64>(urb->UrbSelectInterface.ConfigurationHandle)});
        Record->Part2Kind = UrbPart2::SelectInterface;
        Record->Part2Size = SelectInterfacePart2Size(urb->UrbHeader.Length);
        break;
    case URB_FUNCTION_ABORT_PIPE:
    case URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL:
    case URB_FUNCTION_SYNC_RESET_PIPE:
    case URB_FUNCTION_SYNC_CLEAR_STALL: PutPart1(Record, URB_RECORD_PIPE_REQUEST{head, Record->Pipe}); break;
    case URB_FUNCTION_TAKE_FRAME_LENGTH_CONTROL:
    case URB_FUNCTION_RELEASE_FRAME_LENGTH_CONTROL: PutPart1(Record, head); break;
    case URB_FUNCTION_GET_FRAME_LENGTH:
        PutPart1(Record, URB_RECORD_GET_FRAME_LENGTH{head, urb->UrbGetFrameLength.FrameLength,
                                                     urb->UrbGetFrameLength.FrameNumber});
        break;
    case URB_FUNCTION_SET_FRAME_LENGTH:
    case URB_FUNCTION_GET_CURRENT_FRAME_NUMBER:
        PutPart1(Record, URB_RECORD_FRAME_PARAMETER{head, urb->UrbGetCurrentFrameNumber.FrameNumber});
        break;
    case URB_FUNCTION_CONTROL_TRANSFER:
    case URB_FUNCTION_CONTROL_TRANSFER_EX:
    case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER:
    case URB_FUNCTION_ISOCH_TRANSFER: BuildTransfer(Record, head, Settings); break;
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE:
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_ENDPOINT:
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_INTERFACE:
    case URB_FUNCTION_SET_DESCRIPTOR_TO_DEVICE:
    case URB_FUNCTION_SET_DESCRIPTOR_TO_ENDPOINT:
    case URB_FUNCTION_SET_DESCRIPTOR_TO_INTERFACE: {
        const _URB_CONTROL_DESCRIPTOR_REQUEST& request = urb->UrbControlDescriptorRequest;
        PutPart1(Record, URB_RECORD_DESCRIPTOR_REQUEST{head, request.DescriptorType, request.Index, request.LanguageId,
                                                       request.TransferBufferLength});
        // A descriptor travels one way: what a GET brought back at completion, what a SET sends before it.
        const bool get = Record->Code == URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE ||
                         Record->Code == URB_FUNCTION_GET_DESCRIPTOR_FROM_ENDPOINT ||
                         Record->Code == URB_FUNCTION_GET_DESCRIPTOR_FROM_INTERFACE;
        if (get == (Completion != FALSE)) {
            BufferPart2(Record);
        }
        break;
    }
    case URB_FUNCTION_SET_FEATURE_TO_DEVICE:
    case URB_FUNCTION_SET_FEATURE_TO_INTERFACE:
    case URB_FUNCTION_SET_FEATURE_TO_ENDPOINT:
    case URB_FUNCTION_CLEAR_FEATURE_TO_DEVICE:
    case URB_FUNCTION_CLEAR_FEATURE_TO_INTERFACE:
    case URB_FUNCTION_CLEAR_FEATURE_TO_ENDPOINT:
    case URB_FUNCTION_CLEAR_FEATURE_TO_OTHER:
    case URB_FUNCTION_SET_FEATURE_TO_OTHER: {
        const _URB_CONTROL_FEATURE_REQUEST& request = urb->UrbControlFeatureRequest;
        PutPart1(Record, URB_RECORD_FEATURE_REQUEST{head, request.FeatureSelector, request.Index, request.Reserved1});
        break;
    }
    case URB_FUNCTION_GET_STATUS_FROM_DEVICE:
    case URB_FUNCTION_GET_STATUS_FROM_INTERFACE:
    case URB_FUNCTION_GET_STATUS_FROM_ENDPOINT:
    case URB_FUNCTION_GET_STATUS_FROM_OTHER: {
        const _URB_CONTROL_GET_STATUS_REQUEST& request = urb->UrbControlGetStatusRequest;
        PutPart1(Record, URB_RECORD_GET_STATUS{head, request.Index, request.TransferBufferLength});
        BufferPart2(Record);
        break;
    }
    case URB_FUNCTION_GET_INTERFACE: {
        const _URB_CONTROL_GET_INTERFACE_REQUEST& request = urb->UrbControlGetInterfaceRequest;
        PutPart1(Record, URB_RECORD_GET_INTERFACE{head, request.Interface, request.TransferBufferLength});
        BufferPart2(Record);
        break;
    }
    case URB_FUNCTION_GET_CONFIGURATION:
        PutPart1(Record,
                 URB_RECORD_GET_CONFIGURATION{head, urb->UrbControlGetConfigurationRequest.TransferBufferLength});
        BufferPart2(Record);
        break;
    case URB_FUNCTION_GET_MS_FEATURE_DESCRIPTOR: {
        const _URB_OS_FEATURE_DESCRIPTOR_REQUEST& request = urb->UrbOSFeatureDescriptorRequest;
        URB_RECORD_MS_FEATURE_DESCRIPTOR part1 = {};
        part1.Head = head;
        part1.Recipient = request.Recipient;
        part1.Reserved2 = request.Reserved2;
        part1.InterfaceNumber = request.InterfaceNumber;
        part1.MS_PageIndex = request.MS_PageIndex;
        part1.MS_FeatureDescriptorIndex = request.MS_FeatureDescriptorIndex;
        part1.Reserved3 = request.Reserved3;
        part1.TransferBufferLength = request.TransferBufferLength;
        PutPart1(Record, part1);
        BufferPart2(Record);
        break;
    }
    case URB_FUNCTION_SET_PIPE_IO_POLICY:
    case URB_FUNCTION_GET_PIPE_IO_POLICY: {
        const _URB_PIPE_IO_POLICY& policy = urb->UrbPipeIoPolicy;
        PutPart1(
            Record,
            URB_RECORD_PIPE_IO_POLICY{
                head, Record->Pipe, {policy.UsbIoPriority, policy.UsbMaxPendingIrps, policy.UsbMaxControllerTransfer}});
        break;
    }
    case URB_FUNCTION_OPEN_ENDPOINT: {
        const _URB_OPEN_ENDPOINT& open = urb->UrbOpenEndpoint;
        URB_RECORD_OPEN_ENDPOINT part1 = {};
        part1.Length = head.Length;
        part1.LayoutVersion = head.LayoutVersion;
        part1.UsbdStatus = head.UsbdStatus;
        part1.Word24 = open.ushort1;
        part1.Word26 = open.Flags;
        PUSB_ENDPOINT_DESCRIPTOR endpoint;
        std::memcpy(&endpoint, reinterpret_cast<const UCHAR*>(urb) + offsetof(_URB_OPEN_ENDPOINT, EndpointDescriptor),
                    sizeof endpoint);
        if (AddressRangeIsValid(endpoint, sizeof part1.EndpointDescriptor)) {
            std::memcpy(part1.EndpointDescriptor, endpoint, sizeof part1.EndpointDescriptor);
        }
        part1.Ulong36 = open.ulong3;
        std::memcpy(&part1.Address40, reinterpret_cast<const UCHAR*>(urb) + offsetof(_URB_OPEN_ENDPOINT, HcdEndpoint),
                    sizeof part1.Address40);
        part1.Ulong48 = open.ulong4;
        PutPart1(Record, part1);
        break;
    }
    case URB_FUNCTION_CLOSE_ENDPOINT:
        PutPart1(Record, URB_RECORD_CLOSE_ENDPOINT{head.Length, head.LayoutVersion, 0, head.UsbdStatus,
                                                   reinterpret_cast<ULONG64>(urb->UrbCloseEndpoint.HcdEndpoint)});
        break;
    case URB_FUNCTION_GET_ENDPOINT_STATE:
        PutPart1(Record, URB_RECORD_GET_ENDPOINT_STATE{head.Length, head.LayoutVersion, 0, head.UsbdStatus,
                                                       reinterpret_cast<ULONG64>(urb->UrbGetEndpointState.HcdEndpoint),
                                                       urb->UrbGetEndpointState.Flags});
        break;
    default:
        if (IsVendorOrClass(Record->Code)) {
            const _URB_CONTROL_VENDOR_OR_CLASS_REQUEST& request = urb->UrbControlVendorClassRequest;
            PutPart1(Record, URB_RECORD_VENDOR_CLASS_REQUEST{head, request.RequestTypeReservedBits, request.Request,
                                                             request.Value, request.Index, request.TransferFlags,
                                                             request.TransferBufferLength});
            BufferPart2(Record);
        }
        // The reserved functions (22, 29, 43 to 47) have a header-only record.
        break;
    }
}

ULONG UrbRecordReturnFunction(const URB_RECORD* Record) {
    return UrbReturnFunctionWord(Record->Function, Record->SetupPacket[0], Record->SetupPacket[1],
                                 Record->TransferFlags);
}

BOOLEAN UrbRecordWrite(PCAPTURE_LOG Log, PURB_RECORD Record, PRECORD_HEADER_INFO Header) {
    // Set in place rather than on a copy: the caller has just written the header field by field, and a copy
    // would read it back before those stores are done.
    RECORD_HEADER_INFO& header = *Header;
    header.Function = Record->Function;
    const bool transfer = Record->Part2Kind == UrbPart2::Transfer;
    RECORD_DESCRIPTOR descriptor;
    RecordDescribe(&descriptor, Record->Completion ? LogTag::urbC : LogTag::urbI, Record->Part1Size,
                   transfer ? 0 : Record->Part2Size);
    if (transfer) {
        RecordSetTransfer(&descriptor, Record->Part2Size);
    }
    descriptor.Header = &header;
    descriptor.Part1Source = Record->Part1;
    // A buffer with no bytes to take (an IN transfer's request, an OUT transfer's completion) is not looked
    // at: its memory is checked only in the phase that copies from it.
    const bool copies = Record->Part2Kind == UrbPart2::SelectConfiguration ||
                        Record->Part2Kind == UrbPart2::SelectInterface || descriptor.Part2Size != 0;
    if (!LogWriteRecord(Log, &descriptor, copies ? FillUrbRecord : nullptr, Record, nullptr, nullptr)) {
        return FALSE;
    }
    if (descriptor.Remaining != 0) {
        CONTINUATION_SOURCE source = {};
        source.Header = header;
        source.TransferBufferLength = Record->TransferBufferLength;
        source.TransferFlags = Record->TransferFlags;
        if (Record->PipeKnown || Record->DefaultPipe) {
            source.DeviceByte = Record->Pipe.DeviceByte;
            source.InterfaceNumber = Record->Pipe.InterfaceNumber;
            source.EndpointAddress = Record->Pipe.EndpointAddress;
        } else {
            source.InterfaceNumber = URB_RECORD_PIPE_UNKNOWN;
            source.EndpointAddress = URB_RECORD_PIPE_UNKNOWN;
        }
        source.Buffer = Record->TransferBuffer;
        source.Mdl = Record->TransferBufferMDL;
        LogWriteContinuations(Log, &descriptor, Record->Completion ? LogTag::cCnt : LogTag::iCnt, &source);
    }
    return TRUE;
}
