// USB request blocks: the structures a client driver hands to the USB driver stack with
// IOCTL_INTERNAL_USB_SUBMIT_URB, their function codes, transfer flags and USBD status codes, and the
// interface and pipe information that configuration and interface selection return. Layouts are those
// of 64-bit Windows (natural alignment, 8-byte pointers); the capture driver copies fields out of them
// at fixed offsets, so every offset that it reads is pinned below.
#pragma once

#include "usbspec.h"

struct _MDL;
typedef struct _MDL* PMDL;

// ---------------------------------------------------------------------------------------------
// USBD status

typedef LONG USBD_STATUS;

// Top two bits: 00 success, 01 pending, 10 error (endpoint not halted), 11 error (endpoint halted).
#define USBD_SUCCESS(Status) ((USBD_STATUS)(Status) >= 0)
#define USBD_PENDING(Status) ((ULONG)(Status) >> 30 == 1)
#define USBD_ERROR(Status) ((USBD_STATUS)(Status) < 0)
#define USBD_HALTED(Status) ((ULONG)(Status) >> 30 == 3)

#define USBD_STATUS_SUCCESS ((USBD_STATUS)0x00000000L)
#define USBD_STATUS_PENDING ((USBD_STATUS)0x40000000L)

// Errors the host controller reports for a transfer (endpoint halted).
#define USBD_STATUS_CRC ((USBD_STATUS)0xC0000001L)
#define USBD_STATUS_BTSTUFF ((USBD_STATUS)0xC0000002L)
#define USBD_STATUS_DATA_TOGGLE_MISMATCH ((USBD_STATUS)0xC0000003L)
#define USBD_STATUS_STALL_PID ((USBD_STATUS)0xC0000004L)
#define USBD_STATUS_DEV_NOT_RESPONDING ((USBD_STATUS)0xC0000005L)
#define USBD_STATUS_PID_CHECK_FAILURE ((USBD_STATUS)0xC0000006L)
#define USBD_STATUS_UNEXPECTED_PID ((USBD_STATUS)0xC0000007L)
#define USBD_STATUS_DATA_OVERRUN ((USBD_STATUS)0xC0000008L)
#define USBD_STATUS_DATA_UNDERRUN ((USBD_STATUS)0xC0000009L)
#define USBD_STATUS_RESERVED1 ((USBD_STATUS)0xC000000AL)
#define USBD_STATUS_RESERVED2 ((USBD_STATUS)0xC000000BL)
#define USBD_STATUS_BUFFER_OVERRUN ((USBD_STATUS)0xC000000CL)
#define USBD_STATUS_BUFFER_UNDERRUN ((USBD_STATUS)0xC000000DL)
#define USBD_STATUS_NOT_ACCESSED ((USBD_STATUS)0xC000000FL)
#define USBD_STATUS_FIFO ((USBD_STATUS)0xC0000010L)
#define USBD_STATUS_XACT_ERROR ((USBD_STATUS)0xC0000011L)
#define USBD_STATUS_BABBLE_DETECTED ((USBD_STATUS)0xC0000012L)
#define USBD_STATUS_DATA_BUFFER_ERROR ((USBD_STATUS)0xC0000013L)
#define USBD_STATUS_NO_PING_RESPONSE ((USBD_STATUS)0xC0000014L)
#define USBD_STATUS_INVALID_STREAM_TYPE ((USBD_STATUS)0xC0000015L)
#define USBD_STATUS_INVALID_STREAM_ID ((USBD_STATUS)0xC0000016L)
#define USBD_STATUS_ENDPOINT_HALTED ((USBD_STATUS)0xC0000030L)

// Errors of the driver stack that leave the endpoint running.
#define USBD_STATUS_INVALID_URB_FUNCTION ((USBD_STATUS)0x80000200L)
#define USBD_STATUS_INVALID_PARAMETER ((USBD_STATUS)0x80000300L)
#define USBD_STATUS_ERROR_BUSY ((USBD_STATUS)0x80000400L)
#define USBD_STATUS_INVALID_PIPE_HANDLE ((USBD_STATUS)0x80000600L)
#define USBD_STATUS_NO_BANDWIDTH ((USBD_STATUS)0x80000700L)
#define USBD_STATUS_INTERNAL_HC_ERROR ((USBD_STATUS)0x80000800L)
#define USBD_STATUS_ERROR_SHORT_TRANSFER ((USBD_STATUS)0x80000900L)

// Errors of the driver stack that halt the endpoint. Two names keep the platform's spelling.
#define USBD_STATUS_BAD_START_FRAME ((USBD_STATUS)0xC0000A00L)
#define USBD_STATUS_ISOCH_REQUEST_FAILED ((USBD_STATUS)0xC0000B00L)
#define USBD_STATUS_FRAME_CONTROL_OWNED ((USBD_STATUS)0xC0000C00L)
#define USBD_STATUS_FRAME_CONTROL_NOT_OWNED ((USBD_STATUS)0xC0000D00L)
#define USBD_STATUS_NOT_SUPPORTED ((USBD_STATUS)0xC0000E00L)
#define USBD_STATUS_INAVLID_CONFIGURATION_DESCRIPTOR ((USBD_STATUS)0xC0000F00L)
#define USBD_STATUS_INSUFFICIENT_RESOURCES ((USBD_STATUS)0xC0001000L)
#define USBD_STATUS_SET_CONFIG_FAILED ((USBD_STATUS)0xC0002000L)
#define USBD_STATUS_BUFFER_TOO_SMALL ((USBD_STATUS)0xC0003000L)
#define USBD_STATUS_INTERFACE_NOT_FOUND ((USBD_STATUS)0xC0004000L)
#define USBD_STATUS_INAVLID_PIPE_FLAGS ((USBD_STATUS)0xC0005000L)
#define USBD_STATUS_TIMEOUT ((USBD_STATUS)0xC0006000L)
#define USBD_STATUS_DEVICE_GONE ((USBD_STATUS)0xC0007000L)
#define USBD_STATUS_STATUS_NOT_MAPPED ((USBD_STATUS)0xC0008000L)
#define USBD_STATUS_HUB_INTERNAL_ERROR ((USBD_STATUS)0xC0009000L)

// The transfer was cancelled; isochronous packet statuses.
#define USBD_STATUS_CANCELED ((USBD_STATUS)0xC0010000L)
#define USBD_STATUS_ISO_NOT_ACCESSED_BY_HW ((USBD_STATUS)0xC0020000L)
#define USBD_STATUS_ISO_TD_ERROR ((USBD_STATUS)0xC0030000L)
#define USBD_STATUS_ISO_NA_LATE_USBPORT ((USBD_STATUS)0xC0040000L)
#define USBD_STATUS_ISO_NOT_ACCESSED_LATE ((USBD_STATUS)0xC0050000L)

// Descriptor validation failures of SELECT_CONFIGURATION.
#define USBD_STATUS_BAD_DESCRIPTOR ((USBD_STATUS)0xC0100000L)
#define USBD_STATUS_BAD_DESCRIPTOR_BLEN ((USBD_STATUS)0xC0100001L)
#define USBD_STATUS_BAD_DESCRIPTOR_TYPE ((USBD_STATUS)0xC0100002L)
#define USBD_STATUS_BAD_INTERFACE_DESCRIPTOR ((USBD_STATUS)0xC0100003L)
#define USBD_STATUS_BAD_ENDPOINT_DESCRIPTOR ((USBD_STATUS)0xC0100004L)
#define USBD_STATUS_BAD_INTERFACE_ASSOC_DESCRIPTOR ((USBD_STATUS)0xC0100005L)
#define USBD_STATUS_BAD_CONFIG_DESC_LENGTH ((USBD_STATUS)0xC0100006L)
#define USBD_STATUS_BAD_NUMBER_OF_INTERFACES ((USBD_STATUS)0xC0100007L)
#define USBD_STATUS_BAD_NUMBER_OF_ENDPOINTS ((USBD_STATUS)0xC0100008L)
#define USBD_STATUS_BAD_ENDPOINT_ADDRESS ((USBD_STATUS)0xC0100009L)

// ---------------------------------------------------------------------------------------------
// URB function codes

#define URB_FUNCTION_SELECT_CONFIGURATION 0x0000
#define URB_FUNCTION_SELECT_INTERFACE 0x0001
#define URB_FUNCTION_ABORT_PIPE 0x0002
#define URB_FUNCTION_TAKE_FRAME_LENGTH_CONTROL 0x0003
#define URB_FUNCTION_RELEASE_FRAME_LENGTH_CONTROL 0x0004
#define URB_FUNCTION_GET_FRAME_LENGTH 0x0005
#define URB_FUNCTION_SET_FRAME_LENGTH 0x0006
#define URB_FUNCTION_GET_CURRENT_FRAME_NUMBER 0x0007
#define URB_FUNCTION_CONTROL_TRANSFER 0x0008
#define URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER 0x0009
#define URB_FUNCTION_ISOCH_TRANSFER 0x000A
#define URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE 0x000B
#define URB_FUNCTION_SET_DESCRIPTOR_TO_DEVICE 0x000C
#define URB_FUNCTION_SET_FEATURE_TO_DEVICE 0x000D
#define URB_FUNCTION_SET_FEATURE_TO_INTERFACE 0x000E
#define URB_FUNCTION_SET_FEATURE_TO_ENDPOINT 0x000F
#define URB_FUNCTION_CLEAR_FEATURE_TO_DEVICE 0x0010
#define URB_FUNCTION_CLEAR_FEATURE_TO_INTERFACE 0x0011
#define URB_FUNCTION_CLEAR_FEATURE_TO_ENDPOINT 0x0012
#define URB_FUNCTION_GET_STATUS_FROM_DEVICE 0x0013
#define URB_FUNCTION_GET_STATUS_FROM_INTERFACE 0x0014
#define URB_FUNCTION_GET_STATUS_FROM_ENDPOINT 0x0015
#define URB_FUNCTION_RESERVE_0X0016 0x0016
#define URB_FUNCTION_VENDOR_DEVICE 0x0017
#define URB_FUNCTION_VENDOR_INTERFACE 0x0018
#define URB_FUNCTION_VENDOR_ENDPOINT 0x0019
#define URB_FUNCTION_CLASS_DEVICE 0x001A
#define URB_FUNCTION_CLASS_INTERFACE 0x001B
#define URB_FUNCTION_CLASS_ENDPOINT 0x001C
#define URB_FUNCTION_RESERVE_0X001D 0x001D
#define URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL 0x001E
#define URB_FUNCTION_RESET_PIPE URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL
#define URB_FUNCTION_CLASS_OTHER 0x001F
#define URB_FUNCTION_VENDOR_OTHER 0x0020
#define URB_FUNCTION_GET_STATUS_FROM_OTHER 0x0021
#define URB_FUNCTION_CLEAR_FEATURE_TO_OTHER 0x0022
#define URB_FUNCTION_SET_FEATURE_TO_OTHER 0x0023
#define URB_FUNCTION_GET_DESCRIPTOR_FROM_ENDPOINT 0x0024
#define URB_FUNCTION_SET_DESCRIPTOR_TO_ENDPOINT 0x0025
#define URB_FUNCTION_GET_CONFIGURATION 0x0026
#define URB_FUNCTION_GET_INTERFACE 0x0027
#define URB_FUNCTION_GET_DESCRIPTOR_FROM_INTERFACE 0x0028
#define URB_FUNCTION_SET_DESCRIPTOR_TO_INTERFACE 0x0029
#define URB_FUNCTION_GET_MS_FEATURE_DESCRIPTOR 0x002A
#define URB_FUNCTION_RESERVE_0X002B 0x002B
#define URB_FUNCTION_RESERVE_0X002C 0x002C
#define URB_FUNCTION_RESERVE_0X002D 0x002D
#define URB_FUNCTION_RESERVE_0X002E 0x002E
#define URB_FUNCTION_RESERVE_0X002F 0x002F
#define URB_FUNCTION_SYNC_RESET_PIPE 0x0030
#define URB_FUNCTION_SYNC_CLEAR_STALL 0x0031
#define URB_FUNCTION_CONTROL_TRANSFER_EX 0x0032
// Pipe I/O policy, in the release that introduced CONTROL_TRANSFER_EX; later releases reserve 0x33
// and 0x34.
#define URB_FUNCTION_SET_PIPE_IO_POLICY 0x0033
#define URB_FUNCTION_GET_PIPE_IO_POLICY 0x0034
#define URB_FUNCTION_OPEN_STATIC_STREAMS 0x0035
#define URB_FUNCTION_CLOSE_STATIC_STREAMS 0x0036
#define URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER_USING_CHAINED_MDL 0x0037
#define URB_FUNCTION_ISOCH_TRANSFER_USING_CHAINED_MDL 0x0038
#define URB_FUNCTION_GET_ISOCH_PIPE_TRANSFER_PATH_DELAYS 0x003D

// Endpoint requests that the port driver of the newer USB stack passes to a host controller driver.
#define URB_FUNCTION_OPEN_ENDPOINT 0x1000
#define URB_FUNCTION_CLOSE_ENDPOINT 0x1001
#define URB_FUNCTION_GET_ENDPOINT_STATE 0x1002

// Flag bit in Function: the URB was submitted synchronously (newer USB stack). Mask it off before
// comparing a function code.
#define URB_FUNCTION_SUBMIT_SYNCHRONOUS 0x2000

// ---------------------------------------------------------------------------------------------
// Transfer flags, pipe flags and limits

#define USBD_TRANSFER_DIRECTION_OUT 0
#define USBD_TRANSFER_DIRECTION_IN 1
#define USBD_TRANSFER_DIRECTION 0x00000001
#define USBD_SHORT_TRANSFER_OK 0x00000002
#define USBD_START_ISO_TRANSFER_ASAP 0x00000004
#define USBD_DEFAULT_PIPE_TRANSFER 0x00000008
#define USBD_TRANSFER_DIRECTION_FLAG(flags) ((flags)&USBD_TRANSFER_DIRECTION)
#define VALID_TRANSFER_FLAGS_MASK                                                                                      \
    (USBD_SHORT_TRANSFER_OK | USBD_TRANSFER_DIRECTION | USBD_START_ISO_TRANSFER_ASAP | USBD_DEFAULT_PIPE_TRANSFER)

#define USBD_ISO_START_FRAME_RANGE 1024

#define USBD_PF_CHANGE_MAX_PACKET 0x00000001
#define USBD_PF_SHORT_PACKET_OPT 0x00000002
#define USBD_PF_ENABLE_RT_THREAD_ACCESS 0x00000004
#define USBD_PF_MAP_ADD_TRANSFERS 0x00000008

#define USBD_DEFAULT_MAXIMUM_TRANSFER_SIZE 0xFFFFFFFF

// ---------------------------------------------------------------------------------------------
// Handles, pipes and interfaces

typedef PVOID USBD_PIPE_HANDLE;
typedef PVOID USBD_CONFIGURATION_HANDLE;
typedef PVOID USBD_INTERFACE_HANDLE;

typedef struct _USBD_VERSION_INFORMATION {
    ULONG USBDI_Version;
    ULONG Supported_USB_Version;
} USBD_VERSION_INFORMATION, *PUSBD_VERSION_INFORMATION;

typedef enum _USBD_PIPE_TYPE : int {
    UsbdPipeTypeControl,
    UsbdPipeTypeIsochronous,
    UsbdPipeTypeBulk,
    UsbdPipeTypeInterrupt
} USBD_PIPE_TYPE;

#define USB_ENDPOINT_TYPE_TO_PIPE_TYPE(bmAttributes) ((USBD_PIPE_TYPE)((bmAttributes)&USB_ENDPOINT_TYPE_MASK))

typedef struct _USBD_PIPE_INFORMATION {
    // Filled by the stack (MaximumTransferSize and PipeFlags may be set by the client beforehand).
    USHORT MaximumPacketSize;
    UCHAR EndpointAddress;
    UCHAR Interval;
    USBD_PIPE_TYPE PipeType;
    USBD_PIPE_HANDLE PipeHandle;
    ULONG MaximumTransferSize;
    ULONG PipeFlags;
} USBD_PIPE_INFORMATION, *PUSBD_PIPE_INFORMATION;

// Length covers the structure and NumberOfPipes pipe entries. The client fills Length,
// InterfaceNumber and AlternateSetting; the stack fills the rest.
typedef struct _USBD_INTERFACE_INFORMATION {
    USHORT Length;
    UCHAR InterfaceNumber;
    UCHAR AlternateSetting;
    UCHAR Class;
    UCHAR SubClass;
    UCHAR Protocol;
    UCHAR Reserved;
    USBD_INTERFACE_HANDLE InterfaceHandle;
    ULONG NumberOfPipes;
    USBD_PIPE_INFORMATION Pipes[1];
} USBD_INTERFACE_INFORMATION, *PUSBD_INTERFACE_INFORMATION;

// The same two structures as a 32-bit system lays them out (4-byte handles, 4-byte alignment); records
// captured on such a system carry interface information in this form.
typedef struct _USBD_PIPE_INFORMATION32 {
    USHORT MaximumPacketSize;
    UCHAR EndpointAddress;
    UCHAR Interval;
    ULONG PipeType;
    ULONG PipeHandle;
    ULONG MaximumTransferSize;
    ULONG PipeFlags;
} USBD_PIPE_INFORMATION32, *PUSBD_PIPE_INFORMATION32;

typedef struct _USBD_INTERFACE_INFORMATION32 {
    USHORT Length;
    UCHAR InterfaceNumber;
    UCHAR AlternateSetting;
    UCHAR Class;
    UCHAR SubClass;
    UCHAR Protocol;
    UCHAR Reserved;
    ULONG InterfaceHandle;
    ULONG NumberOfPipes;
    USBD_PIPE_INFORMATION32 Pipes[1];
} USBD_INTERFACE_INFORMATION32, *PUSBD_INTERFACE_INFORMATION32;

typedef struct _USBD_ISO_PACKET_DESCRIPTOR {
    ULONG Offset; // in: offset of the packet in the transfer buffer
    ULONG Length; // out: bytes transferred (IN packets)
    USBD_STATUS Status;
} USBD_ISO_PACKET_DESCRIPTOR, *PUSBD_ISO_PACKET_DESCRIPTOR;

typedef struct _USBD_STREAM_INFORMATION {
    USBD_PIPE_HANDLE PipeHandle;
    ULONG StreamID;
    ULONG MaximumTransferSize;
    ULONG PipeFlags;
} USBD_STREAM_INFORMATION, *PUSBD_STREAM_INFORMATION;

// ---------------------------------------------------------------------------------------------
// URBs

struct _URB_HEADER {
    USHORT Length; // bytes of the whole URB
    USHORT Function;
    USBD_STATUS Status;
    PVOID UsbdDeviceHandle; // owned by the stack
    ULONG UsbdFlags;
};

// Scratch space of the host controller driver inside transfer URBs.
struct _URB_HCD_AREA {
    PVOID Reserved8[8];
};

struct _URB_SELECT_INTERFACE {
    struct _URB_HEADER Hdr;
    USBD_CONFIGURATION_HANDLE ConfigurationHandle;
    USBD_INTERFACE_INFORMATION Interface; // followed by the further pipe entries
};

struct _URB_SELECT_CONFIGURATION {
    struct _URB_HEADER Hdr;
    PUSB_CONFIGURATION_DESCRIPTOR ConfigurationDescriptor; // null: unconfigure the device
    USBD_CONFIGURATION_HANDLE ConfigurationHandle;
    USBD_INTERFACE_INFORMATION Interface; // the first of bNumInterfaces entries, back to back
};

// ABORT_PIPE, SYNC_RESET_PIPE_AND_CLEAR_STALL, SYNC_RESET_PIPE, SYNC_CLEAR_STALL, CLOSE_STATIC_STREAMS.
struct _URB_PIPE_REQUEST {
    struct _URB_HEADER Hdr;
    USBD_PIPE_HANDLE PipeHandle;
    ULONG Reserved;
};

struct _URB_FRAME_LENGTH_CONTROL {
    struct _URB_HEADER Hdr;
};

struct _URB_GET_FRAME_LENGTH {
    struct _URB_HEADER Hdr;
    ULONG FrameLength;
    ULONG FrameNumber;
};

struct _URB_SET_FRAME_LENGTH {
    struct _URB_HEADER Hdr;
    LONG FrameLengthDelta;
};

struct _URB_GET_CURRENT_FRAME_NUMBER {
    struct _URB_HEADER Hdr;
    ULONG FrameNumber;
};

struct _URB_CONTROL_TRANSFER {
    struct _URB_HEADER Hdr;
    USBD_PIPE_HANDLE PipeHandle;
    ULONG TransferFlags;
    ULONG TransferBufferLength;
    PVOID TransferBuffer;
    PMDL TransferBufferMDL;
    struct _URB* UrbLink;
    struct _URB_HCD_AREA hca;
    UCHAR SetupPacket[8];
};

struct _URB_CONTROL_TRANSFER_EX {
    struct _URB_HEADER Hdr;
    USBD_PIPE_HANDLE PipeHandle;
    ULONG TransferFlags;
    ULONG TransferBufferLength;
    PVOID TransferBuffer;
    PMDL TransferBufferMDL;
    ULONG Timeout; // milliseconds, 0 = none; takes the place of UrbLink
    ULONG Pad;
    struct _URB_HCD_AREA hca;
    UCHAR SetupPacket[8];
};

// Also the layout of BULK_OR_INTERRUPT_TRANSFER_USING_CHAINED_MDL, whose TransferBufferMDL heads a chain.
struct _URB_BULK_OR_INTERRUPT_TRANSFER {
    struct _URB_HEADER Hdr;
    USBD_PIPE_HANDLE PipeHandle;
    ULONG TransferFlags;
    ULONG TransferBufferLength;
    PVOID TransferBuffer;
    PMDL TransferBufferMDL;
    struct _URB* UrbLink;
    struct _URB_HCD_AREA hca;
};

// Also the layout of ISOCH_TRANSFER_USING_CHAINED_MDL.
struct _URB_ISOCH_TRANSFER {
    struct _URB_HEADER Hdr;
    USBD_PIPE_HANDLE PipeHandle;
    ULONG TransferFlags;
    ULONG TransferBufferLength;
    PVOID TransferBuffer;
    PMDL TransferBufferMDL;
    struct _URB* UrbLink;
    struct _URB_HCD_AREA hca;
    ULONG StartFrame;
    ULONG NumberOfPackets;
    ULONG ErrorCount;
    USBD_ISO_PACKET_DESCRIPTOR IsoPacket[1]; // NumberOfPackets entries
};

// GET_DESCRIPTOR_FROM_DEVICE/ENDPOINT/INTERFACE and SET_DESCRIPTOR_TO_DEVICE/ENDPOINT/INTERFACE.
struct _URB_CONTROL_DESCRIPTOR_REQUEST {
    struct _URB_HEADER Hdr;
    PVOID Reserved;
    ULONG Reserved0;
    ULONG TransferBufferLength;
    PVOID TransferBuffer;
    PMDL TransferBufferMDL;
    struct _URB* UrbLink;
    struct _URB_HCD_AREA hca;
    USHORT Reserved1;
    UCHAR Index;
    UCHAR DescriptorType;
    USHORT LanguageId;
    USHORT Reserved2;
};

// GET_STATUS_FROM_DEVICE/INTERFACE/ENDPOINT/OTHER.
struct _URB_CONTROL_GET_STATUS_REQUEST {
    struct _URB_HEADER Hdr;
    PVOID Reserved;
    ULONG Reserved0;
    ULONG TransferBufferLength;
    PVOID TransferBuffer;
    PMDL TransferBufferMDL;
    struct _URB* UrbLink;
    struct _URB_HCD_AREA hca;
    UCHAR Reserved1[4];
    USHORT Index;
    USHORT Reserved2;
};

// SET_FEATURE_TO_* and CLEAR_FEATURE_TO_*.
struct _URB_CONTROL_FEATURE_REQUEST {
    struct _URB_HEADER Hdr;
    PVOID Reserved;
    ULONG Reserved2;
    ULONG Reserved3;
    PVOID Reserved4;
    PMDL Reserved5;
    struct _URB* UrbLink;
    struct _URB_HCD_AREA hca;
    USHORT Reserved0;
    USHORT FeatureSelector;
    USHORT Index;
    USHORT Reserved1;
};

// VENDOR_* and CLASS_*: the stack builds the setup packet from these fields and the function code.
struct _URB_CONTROL_VENDOR_OR_CLASS_REQUEST {
    struct _URB_HEADER Hdr;
    PVOID Reserved;
    ULONG TransferFlags;
    ULONG TransferBufferLength;
    PVOID TransferBuffer;
    PMDL TransferBufferMDL;
    struct _URB* UrbLink;
    struct _URB_HCD_AREA hca;
    UCHAR RequestTypeReservedBits;
    UCHAR Request;
    USHORT Value;
    USHORT Index;
    USHORT Reserved1;
};

struct _URB_CONTROL_GET_INTERFACE_REQUEST {
    struct _URB_HEADER Hdr;
    PVOID Reserved;
    ULONG Reserved0;
    ULONG TransferBufferLength;
    PVOID TransferBuffer;
    PMDL TransferBufferMDL;
    struct _URB* UrbLink;
    struct _URB_HCD_AREA hca;
    UCHAR Reserved1[4];
    USHORT Interface;
    USHORT Reserved2;
};

struct _URB_CONTROL_GET_CONFIGURATION_REQUEST {
    struct _URB_HEADER Hdr;
    PVOID Reserved;
    ULONG Reserved0;
    ULONG TransferBufferLength;
    PVOID TransferBuffer;
    PMDL TransferBufferMDL;
    struct _URB* UrbLink;
    struct _URB_HCD_AREA hca;
    UCHAR Reserved1[8];
};

struct _URB_OS_FEATURE_DESCRIPTOR_REQUEST {
    struct _URB_HEADER Hdr;
    PVOID Reserved;
    ULONG Reserved0;
    ULONG TransferBufferLength;
    PVOID TransferBuffer;
    PMDL TransferBufferMDL;
    struct _URB* UrbLink;
    struct _URB_HCD_AREA hca;
    UCHAR Recipient : 5;
    UCHAR Reserved1 : 3;
    UCHAR Reserved2;
    UCHAR InterfaceNumber;
    UCHAR MS_PageIndex;
    USHORT MS_FeatureDescriptorIndex;
    USHORT Reserved3;
};

// SET_PIPE_IO_POLICY and GET_PIPE_IO_POLICY.
struct _URB_PIPE_IO_POLICY {
    struct _URB_HEADER Hdr;
    USBD_PIPE_HANDLE PipeHandle;
    ULONG UsbIoPriority;
    ULONG UsbMaxPendingIrps;
    ULONG UsbMaxControllerTransfer;
};

#define URB_OPEN_STATIC_STREAMS_VERSION_100 0x100

struct _URB_OPEN_STATIC_STREAMS {
    struct _URB_HEADER Hdr;
    USBD_PIPE_HANDLE PipeHandle;
    ULONG NumberOfStreams;
    USHORT StreamInfoVersion;
    USHORT StreamInfoSize;
    PUSBD_STREAM_INFORMATION Streams;
};

struct _URB_GET_ISOCH_PIPE_TRANSFER_PATH_DELAYS {
    struct _URB_HEADER Hdr;
    USBD_PIPE_HANDLE PipeHandle;
    ULONG MaximumSendPathDelayInMilliSeconds;
    ULONG MaximumCompletionPathDelayInMilliSeconds;
};

// OPEN_ENDPOINT, CLOSE_ENDPOINT and GET_ENDPOINT_STATE carry an endpoint of the host controller
// driver. The open request packs its fields on 4-byte boundaries, so the descriptor pointer sits at
// offset 28 directly behind the two words and HcdEndpoint at 40.
#pragma pack(push, 4)
struct _URB_OPEN_ENDPOINT {
    struct _URB_HEADER Hdr;
    USHORT ushort1;
    USHORT Flags;
    PUSB_ENDPOINT_DESCRIPTOR EndpointDescriptor;
    ULONG ulong3;
    PVOID HcdEndpoint; // out
    ULONG ulong4;
};
#pragma pack(pop)

struct _URB_CLOSE_ENDPOINT {
    struct _URB_HEADER Hdr;
    PVOID HcdEndpoint;
};

struct _URB_GET_ENDPOINT_STATE {
    struct _URB_HEADER Hdr;
    PVOID HcdEndpoint;
    ULONG Flags; // out
};

typedef struct _URB {
    union {
        struct _URB_HEADER UrbHeader;
        struct _URB_SELECT_INTERFACE UrbSelectInterface;
        struct _URB_SELECT_CONFIGURATION UrbSelectConfiguration;
        struct _URB_PIPE_REQUEST UrbPipeRequest;
        struct _URB_FRAME_LENGTH_CONTROL UrbFrameLengthControl;
        struct _URB_GET_FRAME_LENGTH UrbGetFrameLength;
        struct _URB_SET_FRAME_LENGTH UrbSetFrameLength;
        struct _URB_GET_CURRENT_FRAME_NUMBER UrbGetCurrentFrameNumber;
        struct _URB_CONTROL_TRANSFER UrbControlTransfer;
        struct _URB_CONTROL_TRANSFER_EX UrbControlTransferEx;
        struct _URB_BULK_OR_INTERRUPT_TRANSFER UrbBulkOrInterruptTransfer;
        struct _URB_ISOCH_TRANSFER UrbIsochronousTransfer;
        struct _URB_CONTROL_DESCRIPTOR_REQUEST UrbControlDescriptorRequest;
        struct _URB_CONTROL_GET_STATUS_REQUEST UrbControlGetStatusRequest;
        struct _URB_CONTROL_FEATURE_REQUEST UrbControlFeatureRequest;
        struct _URB_CONTROL_VENDOR_OR_CLASS_REQUEST UrbControlVendorClassRequest;
        struct _URB_CONTROL_GET_INTERFACE_REQUEST UrbControlGetInterfaceRequest;
        struct _URB_CONTROL_GET_CONFIGURATION_REQUEST UrbControlGetConfigurationRequest;
        struct _URB_OS_FEATURE_DESCRIPTOR_REQUEST UrbOSFeatureDescriptorRequest;
        struct _URB_PIPE_IO_POLICY UrbPipeIoPolicy;
        struct _URB_OPEN_STATIC_STREAMS UrbOpenStaticStreams;
        struct _URB_GET_ISOCH_PIPE_TRANSFER_PATH_DELAYS UrbGetIsochPipeTransferPathDelays;
        struct _URB_OPEN_ENDPOINT UrbOpenEndpoint;
        struct _URB_CLOSE_ENDPOINT UrbCloseEndpoint;
        struct _URB_GET_ENDPOINT_STATE UrbGetEndpointState;
    };
} URB, *PURB;

// ---------------------------------------------------------------------------------------------
// Layout checks: every size and every offset a reader of these structures relies on.

static_assert(sizeof(USBD_PIPE_TYPE) == 4);
static_assert(sizeof(USBD_PIPE_INFORMATION) == 24);
static_assert(offsetof(USBD_PIPE_INFORMATION, EndpointAddress) == 2 && offsetof(USBD_PIPE_INFORMATION, Interval) == 3 &&
              offsetof(USBD_PIPE_INFORMATION, PipeType) == 4 && offsetof(USBD_PIPE_INFORMATION, PipeHandle) == 8 &&
              offsetof(USBD_PIPE_INFORMATION, MaximumTransferSize) == 16 &&
              offsetof(USBD_PIPE_INFORMATION, PipeFlags) == 20);
static_assert(sizeof(USBD_INTERFACE_INFORMATION) == 48);
static_assert(offsetof(USBD_INTERFACE_INFORMATION, Class) == 4 &&
              offsetof(USBD_INTERFACE_INFORMATION, InterfaceHandle) == 8 &&
              offsetof(USBD_INTERFACE_INFORMATION, NumberOfPipes) == 16 &&
              offsetof(USBD_INTERFACE_INFORMATION, Pipes) == 24);
static_assert(sizeof(USBD_PIPE_INFORMATION32) == 20 && alignof(USBD_PIPE_INFORMATION32) == 4);
static_assert(sizeof(USBD_INTERFACE_INFORMATION32) == 36 && alignof(USBD_INTERFACE_INFORMATION32) == 4);
static_assert(offsetof(USBD_INTERFACE_INFORMATION32, InterfaceHandle) == 8 &&
              offsetof(USBD_INTERFACE_INFORMATION32, NumberOfPipes) == 12 &&
              offsetof(USBD_INTERFACE_INFORMATION32, Pipes) == 16);
static_assert(sizeof(USBD_ISO_PACKET_DESCRIPTOR) == 12);
static_assert(sizeof(USBD_STREAM_INFORMATION) == 24);

static_assert(sizeof(_URB_HEADER) == 24);
static_assert(offsetof(_URB_HEADER, Function) == 2 && offsetof(_URB_HEADER, Status) == 4 &&
              offsetof(_URB_HEADER, UsbdDeviceHandle) == 8 && offsetof(_URB_HEADER, UsbdFlags) == 16);
static_assert(sizeof(_URB_HCD_AREA) == 64);

static_assert(sizeof(_URB_SELECT_INTERFACE) == 80);
static_assert(offsetof(_URB_SELECT_INTERFACE, ConfigurationHandle) == 24 &&
              offsetof(_URB_SELECT_INTERFACE, Interface) == 32);
static_assert(sizeof(_URB_SELECT_CONFIGURATION) == 88);
static_assert(offsetof(_URB_SELECT_CONFIGURATION, ConfigurationDescriptor) == 24 &&
              offsetof(_URB_SELECT_CONFIGURATION, ConfigurationHandle) == 32 &&
              offsetof(_URB_SELECT_CONFIGURATION, Interface) == 40);
static_assert(sizeof(_URB_PIPE_REQUEST) == 40 && offsetof(_URB_PIPE_REQUEST, PipeHandle) == 24);
static_assert(sizeof(_URB_FRAME_LENGTH_CONTROL) == 24);
static_assert(sizeof(_URB_GET_FRAME_LENGTH) == 32 && offsetof(_URB_GET_FRAME_LENGTH, FrameLength) == 24 &&
              offsetof(_URB_GET_FRAME_LENGTH, FrameNumber) == 28);
static_assert(sizeof(_URB_SET_FRAME_LENGTH) == 32 && offsetof(_URB_SET_FRAME_LENGTH, FrameLengthDelta) == 24);
static_assert(sizeof(_URB_GET_CURRENT_FRAME_NUMBER) == 32 &&
              offsetof(_URB_GET_CURRENT_FRAME_NUMBER, FrameNumber) == 24);

static_assert(sizeof(_URB_CONTROL_TRANSFER) == 136);
static_assert(offsetof(_URB_CONTROL_TRANSFER, PipeHandle) == 24 &&
              offsetof(_URB_CONTROL_TRANSFER, TransferFlags) == 32 &&
              offsetof(_URB_CONTROL_TRANSFER, TransferBufferLength) == 36 &&
              offsetof(_URB_CONTROL_TRANSFER, TransferBuffer) == 40 &&
              offsetof(_URB_CONTROL_TRANSFER, TransferBufferMDL) == 48 &&
              offsetof(_URB_CONTROL_TRANSFER, UrbLink) == 56 && offsetof(_URB_CONTROL_TRANSFER, hca) == 64 &&
              offsetof(_URB_CONTROL_TRANSFER, SetupPacket) == 128);
static_assert(sizeof(_URB_CONTROL_TRANSFER_EX) == 136);
static_assert(offsetof(_URB_CONTROL_TRANSFER_EX, TransferFlags) == 32 &&
              offsetof(_URB_CONTROL_TRANSFER_EX, TransferBufferLength) == 36 &&
              offsetof(_URB_CONTROL_TRANSFER_EX, TransferBuffer) == 40 &&
              offsetof(_URB_CONTROL_TRANSFER_EX, TransferBufferMDL) == 48 &&
              offsetof(_URB_CONTROL_TRANSFER_EX, Timeout) == 56 && offsetof(_URB_CONTROL_TRANSFER_EX, hca) == 64 &&
              offsetof(_URB_CONTROL_TRANSFER_EX, SetupPacket) == 128);
static_assert(sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER) == 128);
static_assert(offsetof(_URB_BULK_OR_INTERRUPT_TRANSFER, PipeHandle) == 24 &&
              offsetof(_URB_BULK_OR_INTERRUPT_TRANSFER, TransferFlags) == 32 &&
              offsetof(_URB_BULK_OR_INTERRUPT_TRANSFER, TransferBufferLength) == 36 &&
              offsetof(_URB_BULK_OR_INTERRUPT_TRANSFER, TransferBuffer) == 40 &&
              offsetof(_URB_BULK_OR_INTERRUPT_TRANSFER, TransferBufferMDL) == 48);
static_assert(sizeof(_URB_ISOCH_TRANSFER) == 152);
static_assert(offsetof(_URB_ISOCH_TRANSFER, TransferBuffer) == 40 && offsetof(_URB_ISOCH_TRANSFER, StartFrame) == 128 &&
              offsetof(_URB_ISOCH_TRANSFER, NumberOfPackets) == 132 &&
              offsetof(_URB_ISOCH_TRANSFER, ErrorCount) == 136 && offsetof(_URB_ISOCH_TRANSFER, IsoPacket) == 140);

static_assert(sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST) == 136);
static_assert(offsetof(_URB_CONTROL_DESCRIPTOR_REQUEST, TransferBufferLength) == 36 &&
              offsetof(_URB_CONTROL_DESCRIPTOR_REQUEST, TransferBuffer) == 40 &&
              offsetof(_URB_CONTROL_DESCRIPTOR_REQUEST, TransferBufferMDL) == 48 &&
              offsetof(_URB_CONTROL_DESCRIPTOR_REQUEST, Index) == 130 &&
              offsetof(_URB_CONTROL_DESCRIPTOR_REQUEST, DescriptorType) == 131 &&
              offsetof(_URB_CONTROL_DESCRIPTOR_REQUEST, LanguageId) == 132);
static_assert(sizeof(_URB_CONTROL_GET_STATUS_REQUEST) == 136);
static_assert(offsetof(_URB_CONTROL_GET_STATUS_REQUEST, TransferBufferLength) == 36 &&
              offsetof(_URB_CONTROL_GET_STATUS_REQUEST, Index) == 132);
static_assert(sizeof(_URB_CONTROL_FEATURE_REQUEST) == 136);
static_assert(offsetof(_URB_CONTROL_FEATURE_REQUEST, FeatureSelector) == 130 &&
              offsetof(_URB_CONTROL_FEATURE_REQUEST, Index) == 132 &&
              offsetof(_URB_CONTROL_FEATURE_REQUEST, Reserved1) == 134);
static_assert(sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST) == 136);
static_assert(offsetof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST, TransferFlags) == 32 &&
              offsetof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST, TransferBufferLength) == 36 &&
              offsetof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST, RequestTypeReservedBits) == 128 &&
              offsetof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST, Request) == 129 &&
              offsetof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST, Value) == 130 &&
              offsetof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST, Index) == 132);
static_assert(sizeof(_URB_CONTROL_GET_INTERFACE_REQUEST) == 136 &&
              offsetof(_URB_CONTROL_GET_INTERFACE_REQUEST, Interface) == 132);
static_assert(sizeof(_URB_CONTROL_GET_CONFIGURATION_REQUEST) == 136 &&
              offsetof(_URB_CONTROL_GET_CONFIGURATION_REQUEST, TransferBufferLength) == 36);
static_assert(sizeof(_URB_OS_FEATURE_DESCRIPTOR_REQUEST) == 136);
static_assert(offsetof(_URB_OS_FEATURE_DESCRIPTOR_REQUEST, Reserved2) == 129 &&
              offsetof(_URB_OS_FEATURE_DESCRIPTOR_REQUEST, InterfaceNumber) == 130 &&
              offsetof(_URB_OS_FEATURE_DESCRIPTOR_REQUEST, MS_PageIndex) == 131 &&
              offsetof(_URB_OS_FEATURE_DESCRIPTOR_REQUEST, MS_FeatureDescriptorIndex) == 132 &&
              offsetof(_URB_OS_FEATURE_DESCRIPTOR_REQUEST, Reserved3) == 134);
static_assert(sizeof(_URB_PIPE_IO_POLICY) == 48);
static_assert(offsetof(_URB_PIPE_IO_POLICY, PipeHandle) == 24 && offsetof(_URB_PIPE_IO_POLICY, UsbIoPriority) == 32 &&
              offsetof(_URB_PIPE_IO_POLICY, UsbMaxPendingIrps) == 36 &&
              offsetof(_URB_PIPE_IO_POLICY, UsbMaxControllerTransfer) == 40);
static_assert(sizeof(_URB_OPEN_STATIC_STREAMS) == 48 && offsetof(_URB_OPEN_STATIC_STREAMS, Streams) == 40);
static_assert(sizeof(_URB_GET_ISOCH_PIPE_TRANSFER_PATH_DELAYS) == 40);
static_assert(sizeof(_URB_OPEN_ENDPOINT) == 52);
static_assert(offsetof(_URB_OPEN_ENDPOINT, ushort1) == 24 && offsetof(_URB_OPEN_ENDPOINT, Flags) == 26 &&
              offsetof(_URB_OPEN_ENDPOINT, EndpointDescriptor) == 28 && offsetof(_URB_OPEN_ENDPOINT, ulong3) == 36 &&
              offsetof(_URB_OPEN_ENDPOINT, HcdEndpoint) == 40 && offsetof(_URB_OPEN_ENDPOINT, ulong4) == 48);
static_assert(sizeof(_URB_CLOSE_ENDPOINT) == 32 && offsetof(_URB_CLOSE_ENDPOINT, HcdEndpoint) == 24);
static_assert(sizeof(_URB_GET_ENDPOINT_STATE) == 40 && offsetof(_URB_GET_ENDPOINT_STATE, HcdEndpoint) == 24 &&
              offsetof(_URB_GET_ENDPOINT_STATE, Flags) == 32);

static_assert(sizeof(URB) == 152 && alignof(URB) == 8);
