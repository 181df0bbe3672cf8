// Payload layouts of the records both sides read: the URB record parts, the continuation record and the
// head of each IOCTL family's payload. Offsets count from the first payload byte (record offset 64).
// All structs are packed and copied with memcpy (ReadStruct/WriteStruct, ByteReader).
#pragma once

#include <cstddef>

#include "ntdef.h"

#pragma pack(push, 1)

// --- URB records ("urbI", "urbC") -------------------------------------------------------------------

// Every URB record's part 1 begins with this head (OPEN/CLOSE_ENDPOINT and GET_ENDPOINT_STATE replace the
// device handle with fields of their own, below).
typedef struct _URB_RECORD_HEAD {
    USHORT Length;        // the URB's Hdr.Length
    UCHAR LayoutVersion;  // URB_RECORD_LAYOUT_VERSION
    UCHAR Reserved;       // not written
    ULONG UsbdStatus;     // the URB's Hdr.Status
    ULONG64 DeviceHandle; // the URB's device handle, or the one the owning stack cached
} URB_RECORD_HEAD;
static_assert(sizeof(URB_RECORD_HEAD) == 16 && offsetof(URB_RECORD_HEAD, UsbdStatus) == 4 &&
              offsetof(URB_RECORD_HEAD, DeviceHandle) == 8);
constexpr UCHAR URB_RECORD_LAYOUT_VERSION = 1;

// The pipe block at part-1 offset 16 of pipe and transfer requests.
typedef struct _URB_RECORD_PIPE {
    UCHAR DeviceByte;      // a byte of the owning stack's cached device record (0 when unknown)
    UCHAR InterfaceNumber; // URB_RECORD_PIPE_UNKNOWN when the pipe handle is not known
    UCHAR EndpointAddress; // bit 7: IN; default pipe: 0x80 when the setup packet reads from the device
    UCHAR MaxPacketLow;    // low byte of wMaxPacketSize
    UCHAR Attributes;      // bmAttributes
    UCHAR Zero;
    ULONG64 PipeHandle;
} URB_RECORD_PIPE;
static_assert(sizeof(URB_RECORD_PIPE) == 14 && offsetof(URB_RECORD_PIPE, InterfaceNumber) == 1 &&
              offsetof(URB_RECORD_PIPE, EndpointAddress) == 2 && offsetof(URB_RECORD_PIPE, PipeHandle) == 6);
constexpr UCHAR URB_RECORD_PIPE_UNKNOWN = 0xFF;
constexpr UCHAR URB_RECORD_ENDPOINT_DIR_IN = 0x80;
// TransferFlags bit: data flows from the device to the host.
constexpr ULONG URB_RECORD_TRANSFER_DIRECTION_IN = 0x1;

typedef struct _URB_RECORD_SELECT_CONFIGURATION { // function 0
    URB_RECORD_HEAD Head;
    ULONG64 ConfigurationDescriptor; // 0: unconfigure (and no part 2)
    ULONG64 ConfigurationHandle;
} URB_RECORD_SELECT_CONFIGURATION;

typedef struct _URB_RECORD_SELECT_INTERFACE { // function 1
    URB_RECORD_HEAD Head;
    ULONG64 ConfigurationHandle;
} URB_RECORD_SELECT_INTERFACE;

typedef struct _URB_RECORD_PIPE_REQUEST { // functions 2, 30, 48, 49
    URB_RECORD_HEAD Head;
    URB_RECORD_PIPE Pipe;
} URB_RECORD_PIPE_REQUEST;

typedef struct _URB_RECORD_GET_FRAME_LENGTH { // function 5
    URB_RECORD_HEAD Head;
    ULONG FrameLength;
    ULONG FrameNumber;
} URB_RECORD_GET_FRAME_LENGTH;

typedef struct _URB_RECORD_FRAME_PARAMETER { // functions 6 (FrameLengthDelta) and 7 (FrameNumber)
    URB_RECORD_HEAD Head;
    ULONG Parameter;
} URB_RECORD_FRAME_PARAMETER;

typedef struct _URB_RECORD_CONTROL_TRANSFER { // function 8
    URB_RECORD_HEAD Head;
    URB_RECORD_PIPE Pipe;
    ULONG TransferFlags;
    ULONG TransferBufferLength;
    ULONG CapturedLength; // transfer bytes this record carries in part 2
    UCHAR SetupPacket[8];
} URB_RECORD_CONTROL_TRANSFER;

typedef struct _URB_RECORD_CONTROL_TRANSFER_EX { // function 50
    URB_RECORD_HEAD Head;
    URB_RECORD_PIPE Pipe;
    ULONG TransferFlags;
    ULONG Timeout;
    ULONG TransferBufferLength;
    ULONG CapturedLength;
    UCHAR SetupPacket[8];
} URB_RECORD_CONTROL_TRANSFER_EX;

typedef struct _URB_RECORD_BULK_OR_INTERRUPT_TRANSFER { // function 9
    URB_RECORD_HEAD Head;
    URB_RECORD_PIPE Pipe;
    ULONG TransferFlags;
    ULONG TransferBufferLength;
    ULONG CapturedLength;
} URB_RECORD_BULK_OR_INTERRUPT_TRANSFER;

typedef struct _URB_RECORD_ISOCH_TRANSFER { // function 10
    URB_RECORD_HEAD Head;
    URB_RECORD_PIPE Pipe;
    ULONG TransferFlags;
    ULONG TransferBufferLength;
    ULONG CapturedLength;
    ULONG StartFrame;
    ULONG NumberOfPackets;
    ULONG ZeroLengthPackets; // packets whose Length is 0
    ULONG ErrorCount;
    ULONG64 TransferBuffer; // the buffer, or the MDL's system address
} URB_RECORD_ISOCH_TRANSFER;

typedef struct _URB_RECORD_DESCRIPTOR_REQUEST { // functions 11, 12, 36, 37, 40, 41
    URB_RECORD_HEAD Head;
    UCHAR DescriptorType;
    UCHAR Index;
    USHORT LanguageId;
    ULONG TransferBufferLength;
} URB_RECORD_DESCRIPTOR_REQUEST;

typedef struct _URB_RECORD_FEATURE_REQUEST { // functions 13-18, 34, 35
    URB_RECORD_HEAD Head;
    USHORT FeatureSelector;
    USHORT Index;
    USHORT Reserved; // the URB's word after Index
} URB_RECORD_FEATURE_REQUEST;

typedef struct _URB_RECORD_GET_STATUS { // functions 19-21, 33
    URB_RECORD_HEAD Head;
    USHORT Index;
    ULONG TransferBufferLength;
} URB_RECORD_GET_STATUS;

typedef struct _URB_RECORD_GET_INTERFACE { // function 39
    URB_RECORD_HEAD Head;
    USHORT Interface;
    ULONG TransferBufferLength;
} URB_RECORD_GET_INTERFACE;

typedef struct _URB_RECORD_VENDOR_CLASS_REQUEST { // functions 23-28, 31, 32
    URB_RECORD_HEAD Head;
    UCHAR RequestTypeReservedBits;
    UCHAR Request;
    USHORT Value;
    USHORT Index;
    ULONG TransferFlags;
    ULONG TransferBufferLength;
} URB_RECORD_VENDOR_CLASS_REQUEST;

typedef struct _URB_RECORD_GET_CONFIGURATION { // function 38
    URB_RECORD_HEAD Head;
    ULONG TransferBufferLength;
} URB_RECORD_GET_CONFIGURATION;

typedef struct _URB_RECORD_MS_FEATURE_DESCRIPTOR { // function 42
    URB_RECORD_HEAD Head;
    UCHAR Recipient; // low 5 bits of its byte
    UCHAR Reserved2;
    UCHAR InterfaceNumber;
    UCHAR MS_PageIndex;
    USHORT MS_FeatureDescriptorIndex;
    USHORT Reserved3;
    ULONG TransferBufferLength;
} URB_RECORD_MS_FEATURE_DESCRIPTOR;

typedef struct _URB_RECORD_PIPE_IO_POLICY { // functions 51, 52
    URB_RECORD_HEAD Head;
    URB_RECORD_PIPE Pipe;
    ULONG Parameters[3]; // the URB's three 32-bit parameters after the pipe handle
} URB_RECORD_PIPE_IO_POLICY;

typedef struct _URB_RECORD_OPEN_ENDPOINT { // function 0x1000
    USHORT Length;
    UCHAR LayoutVersion;
    UCHAR Reserved;
    ULONG UsbdStatus;
    USHORT Word24; // the URB's words at offsets 24 and 26
    USHORT Word26;
    UCHAR EndpointDescriptor[7]; // bytes 0-6 of the structure the URB points to at offset 28
    UCHAR Reserved2;
    ULONG Ulong36;     // the URB's u32 at offset 36
    ULONG64 Address40; // the address at offset 40
    ULONG Ulong48;     // the u32 at offset 48
} URB_RECORD_OPEN_ENDPOINT;

typedef struct _URB_RECORD_CLOSE_ENDPOINT { // function 0x1001
    USHORT Length;
    UCHAR LayoutVersion;
    UCHAR Reserved;
    ULONG UsbdStatus;
    ULONG64 Parameter; // the URB's first parameter
} URB_RECORD_CLOSE_ENDPOINT;

typedef struct _URB_RECORD_GET_ENDPOINT_STATE { // function 0x1002
    USHORT Length;
    UCHAR LayoutVersion;
    UCHAR Reserved;
    ULONG UsbdStatus;
    ULONG64 Parameter;
    ULONG NextParameter;
} URB_RECORD_GET_ENDPOINT_STATE;

// Part 1 of "iCnt" and "cCnt" records; part 2 is the piece itself.
typedef struct _URB_RECORD_CONTINUATION {
    ULONG TransferBufferLength; // of the whole transfer
    ULONG TransferFlags;
    ULONG Offset;      // of this piece within the transfer buffer (the first continuation starts at 65,536)
    ULONG PieceLength; // bytes in this piece
    UCHAR DeviceByte;  // the pipe block's device, interface and endpoint bytes (0, 0xFF, 0xFF when unknown)
    UCHAR InterfaceNumber;
    UCHAR EndpointAddress;
    UCHAR Reserved;
} URB_RECORD_CONTINUATION;

#pragma pack(pop)

static_assert(sizeof(URB_RECORD_SELECT_CONFIGURATION) == 32 && sizeof(URB_RECORD_SELECT_INTERFACE) == 24 &&
              sizeof(URB_RECORD_PIPE_REQUEST) == 30 && sizeof(URB_RECORD_GET_FRAME_LENGTH) == 24 &&
              sizeof(URB_RECORD_FRAME_PARAMETER) == 20 && sizeof(URB_RECORD_CONTROL_TRANSFER) == 50 &&
              sizeof(URB_RECORD_CONTROL_TRANSFER_EX) == 54 && sizeof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER) == 42 &&
              sizeof(URB_RECORD_ISOCH_TRANSFER) == 66 && sizeof(URB_RECORD_DESCRIPTOR_REQUEST) == 24 &&
              sizeof(URB_RECORD_FEATURE_REQUEST) == 22 && sizeof(URB_RECORD_GET_STATUS) == 22 &&
              sizeof(URB_RECORD_GET_INTERFACE) == 22 && sizeof(URB_RECORD_VENDOR_CLASS_REQUEST) == 30 &&
              sizeof(URB_RECORD_GET_CONFIGURATION) == 20 && sizeof(URB_RECORD_MS_FEATURE_DESCRIPTOR) == 28 &&
              sizeof(URB_RECORD_PIPE_IO_POLICY) == 42 && sizeof(URB_RECORD_OPEN_ENDPOINT) == 36 &&
              sizeof(URB_RECORD_CLOSE_ENDPOINT) == 16 && sizeof(URB_RECORD_GET_ENDPOINT_STATE) == 20 &&
              sizeof(URB_RECORD_CONTINUATION) == 20);
static_assert(offsetof(URB_RECORD_CONTROL_TRANSFER, Pipe) == 16 &&
              offsetof(URB_RECORD_CONTROL_TRANSFER, TransferFlags) == 30 &&
              offsetof(URB_RECORD_CONTROL_TRANSFER, TransferBufferLength) == 34 &&
              offsetof(URB_RECORD_CONTROL_TRANSFER, CapturedLength) == 38 &&
              offsetof(URB_RECORD_CONTROL_TRANSFER, SetupPacket) == 42);
static_assert(offsetof(URB_RECORD_CONTROL_TRANSFER_EX, Timeout) == 34 &&
              offsetof(URB_RECORD_CONTROL_TRANSFER_EX, TransferBufferLength) == 38 &&
              offsetof(URB_RECORD_CONTROL_TRANSFER_EX, CapturedLength) == 42 &&
              offsetof(URB_RECORD_CONTROL_TRANSFER_EX, SetupPacket) == 46);
static_assert(offsetof(URB_RECORD_ISOCH_TRANSFER, StartFrame) == 42 &&
              offsetof(URB_RECORD_ISOCH_TRANSFER, NumberOfPackets) == 46 &&
              offsetof(URB_RECORD_ISOCH_TRANSFER, ZeroLengthPackets) == 50 &&
              offsetof(URB_RECORD_ISOCH_TRANSFER, ErrorCount) == 54 &&
              offsetof(URB_RECORD_ISOCH_TRANSFER, TransferBuffer) == 58);
static_assert(offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, Request) == 17 &&
              offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, Value) == 18 &&
              offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, Index) == 20 &&
              offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, TransferFlags) == 22 &&
              offsetof(URB_RECORD_VENDOR_CLASS_REQUEST, TransferBufferLength) == 26);
static_assert(offsetof(URB_RECORD_GET_STATUS, TransferBufferLength) == 18 &&
              offsetof(URB_RECORD_FEATURE_REQUEST, Reserved) == 20 &&
              offsetof(URB_RECORD_DESCRIPTOR_REQUEST, TransferBufferLength) == 20 &&
              offsetof(URB_RECORD_MS_FEATURE_DESCRIPTOR, MS_FeatureDescriptorIndex) == 20 &&
              offsetof(URB_RECORD_MS_FEATURE_DESCRIPTOR, TransferBufferLength) == 24 &&
              offsetof(URB_RECORD_PIPE_IO_POLICY, Parameters) == 30);
static_assert(offsetof(URB_RECORD_OPEN_ENDPOINT, Word24) == 8 && offsetof(URB_RECORD_OPEN_ENDPOINT, Word26) == 10 &&
              offsetof(URB_RECORD_OPEN_ENDPOINT, EndpointDescriptor) == 12 &&
              offsetof(URB_RECORD_OPEN_ENDPOINT, Ulong36) == 20 &&
              offsetof(URB_RECORD_OPEN_ENDPOINT, Address40) == 24 &&
              offsetof(URB_RECORD_OPEN_ENDPOINT, Ulong48) == 32 &&
              offsetof(URB_RECORD_GET_ENDPOINT_STATE, NextParameter) == 16);
static_assert(offsetof(URB_RECORD_CONTINUATION, TransferFlags) == 4 && offsetof(URB_RECORD_CONTINUATION, Offset) == 8 &&
              offsetof(URB_RECORD_CONTINUATION, PieceLength) == 12 &&
              offsetof(URB_RECORD_CONTINUATION, InterfaceNumber) == 17 &&
              offsetof(URB_RECORD_CONTINUATION, EndpointAddress) == 18);

// Part-1 offsets the record readers use directly.
constexpr size_t URB_RECORD_PIPE_OFFSET = sizeof(URB_RECORD_HEAD);
constexpr size_t URB_RECORD_INTERFACE_OFFSET = URB_RECORD_PIPE_OFFSET + offsetof(URB_RECORD_PIPE, InterfaceNumber);
constexpr size_t URB_RECORD_ENDPOINT_OFFSET = URB_RECORD_PIPE_OFFSET + offsetof(URB_RECORD_PIPE, EndpointAddress);
constexpr size_t URB_RECORD_TRANSFER_FLAGS_OFFSET = offsetof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER, TransferFlags);
constexpr size_t URB_RECORD_SETUP_OFFSET = offsetof(URB_RECORD_CONTROL_TRANSFER, SetupPacket);
constexpr size_t URB_RECORD_SETUP_EX_OFFSET = offsetof(URB_RECORD_CONTROL_TRANSFER_EX, SetupPacket);
static_assert(URB_RECORD_INTERFACE_OFFSET == 17 && URB_RECORD_ENDPOINT_OFFSET == 18 &&
              URB_RECORD_TRANSFER_FLAGS_OFFSET == 30 && URB_RECORD_SETUP_OFFSET == 42 &&
              URB_RECORD_SETUP_EX_OFFSET == 46);

// Part-1 size of a URB record for a URB function (without its synchronous bit); -1 when no URB record is
// written for the function (above 52, except 0x1000 to 0x1002).
constexpr int UrbRecordPart1Size(ULONG function) {
    // clang-format off
    constexpr signed char sizes[53] = {
        32, 24, 30, 16, 16, 24, 20, 20, 50, 42, // 0-9
        66, 24, 24, 22, 22, 22, 22, 22, 22, 22, // 10-19
        22, 22, 0,  30, 30, 30, 30, 30, 30, 0,  // 20-29
        30, 30, 30, 22, 22, 22, 24, 24, 20, 22, // 30-39
        24, 24, 28, 0,  0,  0,  0,  0,  30, 30, // 40-49
        54, 42, 42,                             // 50-52
    };
    // clang-format on
    if (function < 53)
        return sizes[function];
    switch (function) {
    case 0x1000: return static_cast<int>(sizeof(URB_RECORD_OPEN_ENDPOINT));
    case 0x1001: return static_cast<int>(sizeof(URB_RECORD_CLOSE_ENDPOINT));
    case 0x1002: return static_cast<int>(sizeof(URB_RECORD_GET_ENDPOINT_STATE));
    }
    return -1;
}
static_assert(UrbRecordPart1Size(8) == sizeof(URB_RECORD_CONTROL_TRANSFER) &&
              UrbRecordPart1Size(50) == sizeof(URB_RECORD_CONTROL_TRANSFER_EX) &&
              UrbRecordPart1Size(10) == sizeof(URB_RECORD_ISOCH_TRANSFER) && UrbRecordPart1Size(53) == -1 &&
              UrbRecordPart1Size(0x1003) == -1);

// Part 2 of SELECT_CONFIGURATION (only when the configuration descriptor address is non-zero): the URB's
// interface list (its bytes from offset 40), a u16 0, then the first 9 bytes of the configuration
// descriptor. Part 2 of SELECT_INTERFACE: the URB's interface entry (its bytes from offset 32), a u16 0.
constexpr ULONG URB_SELECT_CONFIGURATION_LIST_OFFSET = 40;
constexpr ULONG URB_SELECT_INTERFACE_ENTRY_OFFSET = 32;
constexpr ULONG URB_RECORD_CONFIG_HEAD_SIZE = 9;
constexpr ULONG SelectConfigurationPart2Size(USHORT urbLength) {
    const ULONG list =
        urbLength > URB_SELECT_CONFIGURATION_LIST_OFFSET ? urbLength - URB_SELECT_CONFIGURATION_LIST_OFFSET : 0;
    return list + 2 + URB_RECORD_CONFIG_HEAD_SIZE;
}
constexpr ULONG SelectInterfacePart2Size(USHORT urbLength) {
    const ULONG entry =
        urbLength > URB_SELECT_INTERFACE_ENTRY_OFFSET ? urbLength - URB_SELECT_INTERFACE_ENTRY_OFFSET : 0;
    return entry + 2;
}
static_assert(SelectConfigurationPart2Size(40) == 11 && SelectConfigurationPart2Size(100) == 100 - 29 &&
              SelectInterfacePart2Size(32) == 2 && SelectInterfacePart2Size(80) == 80 - 30);

// The function word of a "urbR" record: the URB function in bits 0-15 and, for control-type functions, the
// request type in bits 16-23 and the setup packet's bRequest in bits 24-31. `bmRequestType` is used by
// functions 8 and 50; vendor and class functions take their fixed type, with bit 7 set for IN transfers.
constexpr ULONG UrbReturnFunctionWord(ULONG urbFunction, UCHAR bmRequestType, UCHAR bRequest, ULONG transferFlags) {
    const ULONG in = (transferFlags & URB_RECORD_TRANSFER_DIRECTION_IN) ? 0x80 : 0;
    ULONG type;
    // clang-format off
    switch (urbFunction & 0xDFFF) {
    case 8:
    case 50:
        type = bmRequestType;
        break;
    case 23: type = 0x40 | in; break; // VENDOR_DEVICE
    case 24: type = 0x41 | in; break; // VENDOR_INTERFACE
    case 25: type = 0x42 | in; break; // VENDOR_ENDPOINT
    case 32: type = 0x43 | in; break; // VENDOR_OTHER
    case 26: type = 0x20 | in; break; // CLASS_DEVICE
    case 27: type = 0x21 | in; break; // CLASS_INTERFACE
    case 28: type = 0x22 | in; break; // CLASS_ENDPOINT
    case 31: type = 0x23 | in; break; // CLASS_OTHER
    default:
        return urbFunction & 0xFFFF;
    }
    // clang-format on
    return (urbFunction & 0xFFFF) | type << 16 | ULONG{bRequest} << 24;
}
static_assert(UrbReturnFunctionWord(27, 0, 1, 1) == 0x01A1001B && UrbReturnFunctionWord(9, 0x80, 6, 1) == 9);

// --- IOCTL records --------------------------------------------------------------------------------

#pragma pack(push, 1)

// "hcd" 0x220438 (user request), I and C records; part 2 carries 24 more bytes when the buffer's first u32 is 1.
typedef struct _HCD_RECORD_USER_REQUEST {
    ULONG InputBufferLength;
    ULONG OutputBufferLength;
    ULONG64 SystemBuffer;
    UCHAR BufferHead[16]; // the first 16 bytes of the system buffer, when the buffer holds them
} HCD_RECORD_USER_REQUEST;

// "hid" buffer descriptor (most HID I and C records).
typedef struct _HID_RECORD_BUFFER {
    ULONG BufferLength;
    ULONG FirstByte; // the report id; 0 when there is no buffer
    ULONG64 Buffer;  // system buffer, or the IRP's MDL
} HID_RECORD_BUFFER;

// "hid" 0xB01E2 (indexed string), I and C records.
typedef struct _HID_RECORD_INDEXED_STRING {
    ULONG OutputBufferLength;
    ULONG InputBufferLength;
    ULONG64 Mdl;
    ULONG64 SystemBuffer;
    ULONG FirstWord; // the buffer's first u32
} HID_RECORD_INDEXED_STRING;

// "uin" 0x22000F (root-hub PDO): the two values Arguments 1 and 2 point to (zeros on the I record).
typedef struct _UIN_RECORD_ROOTHUB_PDO {
    ULONG64 Value1;
    ULONG64 Value2;
} UIN_RECORD_ROOTHUB_PDO;

// "uin" 0x22042C (parent hub info), C record on success.
typedef struct _UIN_RECORD_PARENT_HUB_INFO {
    ULONG64 Argument1Value;
    ULONG Argument2Value;
    ULONG64 Argument4Value;
} UIN_RECORD_PARENT_HUB_INFO;

// "uin" 0x220437 (device handle ex).
typedef struct _UIN_RECORD_DEVICE_HANDLE_EX {
    ULONG64 Arguments[4];
    ULONG64 Argument1Value;
} UIN_RECORD_DEVICE_HANDLE_EX;

// "uin" 0x22043B (TT device handle).
typedef struct _UIN_RECORD_TT_DEVICE_HANDLE {
    ULONG64 Arguments[4];
    ULONG64 Argument1Value; // zero on the I record
    ULONG Argument4Value;
} UIN_RECORD_TT_DEVICE_HANDLE;

// "uin" 0x22044F (device config info); part 2 of the C record: the 204-byte structure and its buffers.
typedef struct _UIN_RECORD_DEVICE_CONFIG_INFO {
    ULONG64 Argument1;
    ULONG First;
    ULONG Second;
} UIN_RECORD_DEVICE_CONFIG_INFO;

// "powI" WAIT_WAKE: the system power state to wake from.
typedef struct _POWER_RECORD_WAIT_WAKE {
    ULONG PowerState;
} POWER_RECORD_WAIT_WAKE;

// "powI" SET_POWER and QUERY_POWER.
typedef struct _POWER_RECORD_SET_POWER {
    ULONG Type; // 0 system, else device
    ULONG State;
    ULONG ShutdownType;
} POWER_RECORD_SET_POWER;

// "powC" POWER_SEQUENCE on success.
typedef struct _POWER_RECORD_SEQUENCE {
    ULONG SequenceD1;
    ULONG SequenceD2;
    ULONG SequenceD3;
} POWER_RECORD_SEQUENCE;

#pragma pack(pop)

static_assert(sizeof(HCD_RECORD_USER_REQUEST) == 32 && offsetof(HCD_RECORD_USER_REQUEST, SystemBuffer) == 8 &&
              offsetof(HCD_RECORD_USER_REQUEST, BufferHead) == 16);
static_assert(sizeof(HID_RECORD_BUFFER) == 16 && offsetof(HID_RECORD_BUFFER, Buffer) == 8);
static_assert(sizeof(HID_RECORD_INDEXED_STRING) == 28 && offsetof(HID_RECORD_INDEXED_STRING, Mdl) == 8 &&
              offsetof(HID_RECORD_INDEXED_STRING, SystemBuffer) == 16 &&
              offsetof(HID_RECORD_INDEXED_STRING, FirstWord) == 24);
static_assert(sizeof(UIN_RECORD_ROOTHUB_PDO) == 16 && sizeof(UIN_RECORD_PARENT_HUB_INFO) == 20 &&
              offsetof(UIN_RECORD_PARENT_HUB_INFO, Argument4Value) == 12 && sizeof(UIN_RECORD_DEVICE_HANDLE_EX) == 40 &&
              sizeof(UIN_RECORD_TT_DEVICE_HANDLE) == 44 &&
              offsetof(UIN_RECORD_TT_DEVICE_HANDLE, Argument4Value) == 40 &&
              sizeof(UIN_RECORD_DEVICE_CONFIG_INFO) == 16);
static_assert(sizeof(POWER_RECORD_WAIT_WAKE) == 4 && sizeof(POWER_RECORD_SET_POWER) == 12 &&
              sizeof(POWER_RECORD_SEQUENCE) == 12);

// Fixed payload sizes of IOCTL records that carry one plain value or a fixed copy.
constexpr ULONG IOCTL_RECORD_U32_SIZE = 4;                // an output length, a port number, a first u32, ...
constexpr ULONG HCD_RECORD_STATS1_SIZE = 44;              // 0x2203FC C record, part 2
constexpr ULONG HCD_RECORD_STATS2_SIZE = 120;             // 0x220428 C record, part 2
constexpr ULONG HCD_RECORD_USER_REQUEST_EXTRA = 24;       // 0x220438 part 2, when the buffer's first u32 is 1
constexpr ULONG UIN_RECORD_IDLE_NOTIFICATION_SIZE = 16;   // 0x220027
constexpr ULONG UIN_RECORD_TOPOLOGY_ADDRESS_SIZE = 32;    // 0x22043F C record, part 2
constexpr ULONG UIN_RECORD_DEVICE_CONFIG_COPY_SIZE = 204; // 0x22044F C record, part 2 head
