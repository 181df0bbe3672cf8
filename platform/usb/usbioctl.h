// I/O control codes of the USB driver stack and the structures they carry: internal requests between
// kernel-mode drivers, and device-control requests to hubs and host controllers, which user mode sends
// as well. The device-control structures are byte-packed: their sizes (a 35-byte connection block,
// 11-byte pipe entries, 44- and 120-byte statistics) are part of the interface.
#pragma once

#include "usb200.h"
#include "usbiodef.h"

// ---------------------------------------------------------------------------------------------
// Internal requests (IRP_MJ_INTERNAL_DEVICE_CONTROL)

#define IOCTL_INTERNAL_USB_SUBMIT_URB USB_KERNEL_CTL(USB_SUBMIT_URB)
#define IOCTL_INTERNAL_USB_RESET_PORT USB_KERNEL_CTL(USB_RESET_PORT)
#define IOCTL_INTERNAL_USB_GET_ROOTHUB_PDO USB_KERNEL_CTL(USB_GET_ROOTHUB_PDO)
#define IOCTL_INTERNAL_USB_GET_PORT_STATUS USB_KERNEL_CTL(USB_GET_PORT_STATUS)
#define IOCTL_INTERNAL_USB_ENABLE_PORT USB_KERNEL_CTL(USB_ENABLE_PORT)
#define IOCTL_INTERNAL_USB_GET_HUB_COUNT USB_KERNEL_CTL(USB_GET_HUB_COUNT)
#define IOCTL_INTERNAL_USB_CYCLE_PORT USB_KERNEL_CTL(USB_CYCLE_PORT)
#define IOCTL_INTERNAL_USB_GET_HUB_NAME USB_CTL(USB_GET_HUB_NAME)
#define IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION USB_KERNEL_CTL(USB_IDLE_NOTIFICATION)
#define IOCTL_INTERNAL_USB_RECORD_FAILURE USB_KERNEL_CTL(USB_RECORD_FAILURE)
#define IOCTL_INTERNAL_USB_GET_BUS_INFO USB_CTL(USB_GET_BUS_INFO)
#define IOCTL_INTERNAL_USB_GET_CONTROLLER_NAME USB_CTL(USB_GET_CONTROLLER_NAME)
#define IOCTL_INTERNAL_USB_GET_BUSGUID_INFO USB_CTL(USB_GET_BUSGUID_INFO)
#define IOCTL_INTERNAL_USB_GET_PARENT_HUB_INFO USB_CTL(USB_GET_PARENT_HUB_INFO)
#define IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE USB_KERNEL_CTL(USB_GET_DEVICE_HANDLE)
#define IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE_EX USB_KERNEL_CTL(USB_GET_DEVICE_HANDLE_EX)
#define IOCTL_INTERNAL_USB_GET_TT_DEVICE_HANDLE USB_KERNEL_CTL(USB_GET_TT_DEVICE_HANDLE)
#define IOCTL_INTERNAL_USB_GET_TOPOLOGY_ADDRESS USB_KERNEL_CTL(USB_GET_TOPOLOGY_ADDRESS)
#define IOCTL_INTERNAL_USB_NOTIFY_IDLE_READY USB_KERNEL_CTL(USB_IDLE_NOTIFICATION_EX)
#define IOCTL_INTERNAL_USB_REQ_GLOBAL_SUSPEND USB_KERNEL_CTL(USB_REQ_GLOBAL_SUSPEND)
#define IOCTL_INTERNAL_USB_REQ_GLOBAL_RESUME USB_KERNEL_CTL(USB_REQ_GLOBAL_RESUME)
#define IOCTL_INTERNAL_USB_GET_DEVICE_CONFIG_INFO USB_KERNEL_CTL(USB_GET_HUB_CONFIG_INFO)
#define IOCTL_INTERNAL_USB_FAIL_GET_STATUS_FROM_DEVICE USB_KERNEL_CTL(USB_FAIL_GET_STATUS)

// ---------------------------------------------------------------------------------------------
// Device-control requests to host controllers

#define IOCTL_USB_HCD_GET_STATS_1 USB_CTL(HCD_GET_STATS_1)
#define IOCTL_USB_HCD_GET_STATS_2 USB_CTL(HCD_GET_STATS_2)
#define IOCTL_USB_HCD_DISABLE_PORT USB_CTL(HCD_DISABLE_PORT)
#define IOCTL_USB_HCD_ENABLE_PORT USB_CTL(HCD_ENABLE_PORT)
#define IOCTL_USB_DIAGNOSTIC_MODE_ON USB_CTL(HCD_DIAGNOSTIC_MODE_ON)
#define IOCTL_USB_DIAGNOSTIC_MODE_OFF USB_CTL(HCD_DIAGNOSTIC_MODE_OFF)
#define IOCTL_USB_GET_ROOT_HUB_NAME USB_CTL(HCD_GET_ROOT_HUB_NAME)
#define IOCTL_GET_HCD_DRIVERKEY_NAME USB_CTL(HCD_GET_DRIVERKEY_NAME)
#define IOCTL_USB_USER_REQUEST USB_CTL(HCD_USER_REQUEST)

// ---------------------------------------------------------------------------------------------
// Device-control requests to hubs

#define IOCTL_USB_GET_NODE_INFORMATION USB_CTL(USB_GET_NODE_INFORMATION)
#define IOCTL_USB_GET_NODE_CONNECTION_INFORMATION USB_CTL(USB_GET_NODE_CONNECTION_INFORMATION)
#define IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION USB_CTL(USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION)
#define IOCTL_USB_GET_NODE_CONNECTION_NAME USB_CTL(USB_GET_NODE_CONNECTION_NAME)
#define IOCTL_USB_DIAG_IGNORE_HUBS_ON USB_CTL(USB_DIAG_IGNORE_HUBS_ON)
#define IOCTL_USB_DIAG_IGNORE_HUBS_OFF USB_CTL(USB_DIAG_IGNORE_HUBS_OFF)
#define IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME USB_CTL(USB_GET_NODE_CONNECTION_DRIVERKEY_NAME)
#define IOCTL_USB_GET_HUB_CAPABILITIES USB_CTL(USB_GET_HUB_CAPABILITIES)
#define IOCTL_USB_GET_NODE_CONNECTION_ATTRIBUTES USB_CTL(USB_GET_NODE_CONNECTION_ATTRIBUTES)
#define IOCTL_USB_HUB_CYCLE_PORT USB_CTL(USB_HUB_CYCLE_PORT)
#define IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX USB_CTL(USB_GET_NODE_CONNECTION_INFORMATION_EX)
#define IOCTL_USB_RESET_HUB USB_CTL(USB_RESET_HUB)
#define IOCTL_USB_GET_HUB_CAPABILITIES_EX USB_CTL(USB_GET_HUB_CAPABILITIES_EX)
#define IOCTL_USB_GET_HUB_INFORMATION_EX USB_CTL(USB_GET_HUB_INFORMATION_EX)
#define IOCTL_USB_GET_PORT_CONNECTOR_PROPERTIES USB_CTL(USB_GET_PORT_CONNECTOR_PROPERTIES)
#define IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2 USB_CTL(USB_GET_NODE_CONNECTION_INFORMATION_EX_V2)

// ---------------------------------------------------------------------------------------------
// Structures of the internal requests

// IOCTL_INTERNAL_USB_GET_PORT_STATUS: the ULONG that Argument1 points to.
#define USBD_PORT_ENABLED 0x00000001
#define USBD_PORT_CONNECTED 0x00000002

// IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION: the structure that Argument4 (Type3InputBuffer) points to.
typedef VOID (*USB_IDLE_CALLBACK)(PVOID Context);

typedef struct _USB_IDLE_CALLBACK_INFO {
    USB_IDLE_CALLBACK IdleCallback;
    PVOID IdleContext;
} USB_IDLE_CALLBACK_INFO, *PUSB_IDLE_CALLBACK_INFO;

// IOCTL_INTERNAL_USB_GET_TOPOLOGY_ADDRESS: where a device sits, from its controller's PCI address down
// through the hub ports (0 below the last hub). Naturally aligned: 32 bytes.
typedef struct _USB_TOPOLOGY_ADDRESS {
    ULONG PciBusNumber;
    ULONG PciDeviceNumber;
    ULONG PciFunctionNumber;
    ULONG Reserved;
    USHORT RootHubPortNumber;
    USHORT HubPortNumber[5];
    USHORT Reserved2;
} USB_TOPOLOGY_ADDRESS, *PUSB_TOPOLOGY_ADDRESS;

#pragma pack(push, 1)

// IOCTL_INTERNAL_USB_GET_HUB_NAME (and GET_CONTROLLER_NAME): the name is ActualLength bytes in all.
typedef struct _USB_HUB_NAME {
    ULONG ActualLength;
    WCHAR HubName[1];
} USB_HUB_NAME, *PUSB_HUB_NAME;

// IOCTL_INTERNAL_USB_RECORD_FAILURE: LengthInBytes covers the structure and its DriverData.
typedef struct _USB_START_FAILDATA {
    ULONG LengthInBytes;
    NTSTATUS NtStatus;
    LONG UsbdStatus;
    ULONG ConnectStatus;
    UCHAR DriverData[4];
} USB_START_FAILDATA, *PUSB_START_FAILDATA;

// IOCTL_INTERNAL_USB_GET_BUS_INFO.
typedef enum _USB_NOTIFICATION_TYPE : int {
    EnumerationFailure = 0,
    InsufficentBandwidth,
    InsufficentPower,
    OverCurrent,
    ResetOvercurrent,
    AcquireBusInfo,
    AcquireHubName,
    AcquireControllerName,
    HubOvercurrent,
    HubPowerChange,
    HubNestedTooDeeply,
    ModernDeviceInLegacyHub
} USB_NOTIFICATION_TYPE;

typedef struct _USB_BUS_NOTIFICATION {
    USB_NOTIFICATION_TYPE NotificationType;
    ULONG TotalBandwidth;
    ULONG ConsumedBandwidth;
    ULONG ControllerNameLength;
} USB_BUS_NOTIFICATION, *PUSB_BUS_NOTIFICATION;

// IOCTL_INTERNAL_USB_GET_DEVICE_CONFIG_INFO: the hub driver's view of a device's identity. Byte-packed
// (204 bytes): the identifier strings follow HubFlags directly at offset 12.
typedef struct _USB_ID_STRING {
    USHORT LanguageId;
    USHORT Pad;
    ULONG LengthInBytes;
    PWCHAR Buffer;
} USB_ID_STRING, *PUSB_ID_STRING;

typedef union _USB_HUB_CAP_FLAGS {
    ULONG ul;
    struct {
        ULONG HubIsHighSpeedCapable : 1;
        ULONG HubIsHighSpeed : 1;
        ULONG HubIsMultiTtCapable : 1;
        ULONG HubIsMultiTt : 1;
        ULONG HubIsRoot : 1;
        ULONG HubIsArmedWakeOnConnect : 1;
        ULONG HubIsBusPowered : 1;
        ULONG ReservedMBZ : 25;
    };
} USB_HUB_CAP_FLAGS, *PUSB_HUB_CAP_FLAGS;

typedef struct _USB_HUB_UXD_SETTINGS {
    ULONG Version;
    GUID PnpGuid;
    GUID OwnerGuid;
    ULONG DeleteOnShutdown;
    ULONG DeleteOnReload;
    ULONG DeleteOnDisconnect;
    ULONG Reserved[5];
} USB_HUB_UXD_SETTINGS, *PUSB_HUB_UXD_SETTINGS;

typedef struct _HUB_DEVICE_CONFIG_INFO_V1 {
    ULONG Version; // 1
    ULONG Length;  // sizeof the structure
    USB_HUB_CAP_FLAGS HubFlags;
    USB_ID_STRING HardwareIds;
    USB_ID_STRING CompatibleIds;
    USB_ID_STRING DeviceDescription;
    ULONG Reserved[19];
    USB_HUB_UXD_SETTINGS UxdSettings;
} HUB_DEVICE_CONFIG_INFO, *PHUB_DEVICE_CONFIG_INFO;

// ---------------------------------------------------------------------------------------------
// Structures of the host-controller requests

// IOCTL_USB_GET_ROOT_HUB_NAME and IOCTL_GET_HCD_DRIVERKEY_NAME: ActualLength is the size the whole
// structure needs; a caller with a smaller buffer learns it from a first call.
typedef struct _USB_ROOT_HUB_NAME {
    ULONG ActualLength;
    WCHAR RootHubName[1];
} USB_ROOT_HUB_NAME, *PUSB_ROOT_HUB_NAME;

typedef struct _USB_HCD_DRIVERKEY_NAME {
    ULONG ActualLength;
    WCHAR DriverKeyName[1];
} USB_HCD_DRIVERKEY_NAME, *PUSB_HCD_DRIVERKEY_NAME;

// IOCTL_USB_HCD_GET_STATS_1 and _2.
typedef struct _HCD_STAT_COUNTERS {
    ULONG BytesTransferred;
    USHORT IsoMissedCount;
    USHORT DataOverrunErrorCount;
    USHORT CrcErrorCount;
    USHORT ScheduleOverrunCount;
    USHORT TimeoutErrorCount;
    USHORT InternalHcErrorCount;
    USHORT BufferOverrunErrorCount;
    USHORT SWErrorCount;
    USHORT StallPidCount;
    USHORT PortDisableCount;
} HCD_STAT_COUNTERS, *PHCD_STAT_COUNTERS;

typedef struct _HCD_ISO_STAT_COUNTERS {
    USHORT LateUrbs;
    USHORT DoubleBufferedPackets;
    USHORT TransfersCF_5ms;
    USHORT TransfersCF_2ms;
    USHORT TransfersCF_1ms;
    USHORT MaxInterruptLatency;
    USHORT BadStartFrame;
    USHORT StaleUrbs;
    USHORT IsoPacketNotAccesed;
    USHORT IsoPacketHWError;
    USHORT SmallestUrbPacketCount;
    USHORT LargestUrbPacketCount;
    USHORT IsoCRC_Error;
    USHORT IsoOVERRUN_Error;
    USHORT IsoINTERNAL_Error;
    USHORT IsoUNKNOWN_Error;
    ULONG IsoBytesTransferred;
    USHORT LateMissedCount;
    USHORT HWIsoMissedCount;
    ULONG Reserved7[8];
} HCD_ISO_STAT_COUNTERS, *PHCD_ISO_STAT_COUNTERS;

typedef struct _HCD_STAT_INFORMATION_1 {
    ULONG Reserved1;
    ULONG Reserved2;
    ULONG ResetCounters; // in: non-zero clears the counters after reading
    LARGE_INTEGER TimeRead;
    HCD_STAT_COUNTERS Counters;
} HCD_STAT_INFORMATION_1, *PHCD_STAT_INFORMATION_1;

typedef struct _HCD_STAT_INFORMATION_2 {
    ULONG Reserved1;
    ULONG Reserved2;
    ULONG ResetCounters;
    LARGE_INTEGER TimeRead;
    LONG LockedMemoryUsed;
    HCD_STAT_COUNTERS Counters;
    HCD_ISO_STAT_COUNTERS IsoCounters;
} HCD_STAT_INFORMATION_2, *PHCD_STAT_INFORMATION_2;

// ---------------------------------------------------------------------------------------------
// Structures of the hub requests

typedef enum _USB_HUB_NODE : int { UsbHub, UsbMIParent } USB_HUB_NODE;

typedef struct _USB_HUB_INFORMATION {
    USB_HUB_DESCRIPTOR HubDescriptor;
    BOOLEAN HubIsBusPowered;
} USB_HUB_INFORMATION, *PUSB_HUB_INFORMATION;

typedef struct _USB_MI_PARENT_INFORMATION {
    ULONG NumberOfInterfaces;
} USB_MI_PARENT_INFORMATION, *PUSB_MI_PARENT_INFORMATION;

// IOCTL_USB_GET_NODE_INFORMATION.
typedef struct _USB_NODE_INFORMATION {
    USB_HUB_NODE NodeType;
    union {
        USB_HUB_INFORMATION HubInformation;
        USB_MI_PARENT_INFORMATION MiParentInformation;
    } u;
} USB_NODE_INFORMATION, *PUSB_NODE_INFORMATION;

typedef struct _USB_PIPE_INFO {
    USB_ENDPOINT_DESCRIPTOR EndpointDescriptor;
    ULONG ScheduleOffset;
} USB_PIPE_INFO, *PUSB_PIPE_INFO;

typedef enum _USB_CONNECTION_STATUS : int {
    NoDeviceConnected,
    DeviceConnected,
    DeviceFailedEnumeration,
    DeviceGeneralFailure,
    DeviceCausedOvercurrent,
    DeviceNotEnoughPower,
    DeviceNotEnoughBandwidth,
    DeviceHubNestedTooDeeply,
    DeviceInLegacyHub,
    DeviceEnumerating,
    DeviceReset
} USB_CONNECTION_STATUS, *PUSB_CONNECTION_STATUS;

// IOCTL_USB_GET_NODE_CONNECTION_INFORMATION: 35 fixed bytes, then NumberOfOpenPipes pipe entries.
typedef struct _USB_NODE_CONNECTION_INFORMATION {
    ULONG ConnectionIndex; // in: the port number, from 1
    USB_DEVICE_DESCRIPTOR DeviceDescriptor;
    UCHAR CurrentConfigurationValue;
    BOOLEAN LowSpeed;
    BOOLEAN DeviceIsHub;
    USHORT DeviceAddress;
    ULONG NumberOfOpenPipes;
    USB_CONNECTION_STATUS ConnectionStatus;
    USB_PIPE_INFO PipeList[0];
} USB_NODE_CONNECTION_INFORMATION, *PUSB_NODE_CONNECTION_INFORMATION;

// IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX: the same with the speed (USB_DEVICE_SPEED) as a byte.
typedef struct _USB_NODE_CONNECTION_INFORMATION_EX {
    ULONG ConnectionIndex;
    USB_DEVICE_DESCRIPTOR DeviceDescriptor;
    UCHAR CurrentConfigurationValue;
    UCHAR Speed;
    BOOLEAN DeviceIsHub;
    USHORT DeviceAddress;
    ULONG NumberOfOpenPipes;
    USB_CONNECTION_STATUS ConnectionStatus;
    USB_PIPE_INFO PipeList[0];
} USB_NODE_CONNECTION_INFORMATION_EX, *PUSB_NODE_CONNECTION_INFORMATION_EX;

typedef union _USB_PROTOCOLS {
    ULONG ul;
    struct {
        ULONG Usb110 : 1;
        ULONG Usb200 : 1;
        ULONG Usb300 : 1;
        ULONG ReservedMBZ : 29;
    };
} USB_PROTOCOLS, *PUSB_PROTOCOLS;

typedef union _USB_NODE_CONNECTION_INFORMATION_EX_V2_FLAGS {
    ULONG ul;
    struct {
        ULONG DeviceIsOperatingAtSuperSpeedOrHigher : 1;
        ULONG DeviceIsSuperSpeedCapableOrHigher : 1;
        ULONG DeviceIsOperatingAtSuperSpeedPlusOrHigher : 1;
        ULONG DeviceIsSuperSpeedPlusCapableOrHigher : 1;
        ULONG ReservedMBZ : 28;
    };
} USB_NODE_CONNECTION_INFORMATION_EX_V2_FLAGS, *PUSB_NODE_CONNECTION_INFORMATION_EX_V2_FLAGS;

// IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX_V2: the caller fills ConnectionIndex, Length and the
// protocols it asks about.
typedef struct _USB_NODE_CONNECTION_INFORMATION_EX_V2 {
    ULONG ConnectionIndex;
    ULONG Length;
    USB_PROTOCOLS SupportedUsbProtocols;
    USB_NODE_CONNECTION_INFORMATION_EX_V2_FLAGS Flags;
} USB_NODE_CONNECTION_INFORMATION_EX_V2, *PUSB_NODE_CONNECTION_INFORMATION_EX_V2;

// IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION: the request header, then the descriptor bytes.
typedef struct _USB_DESCRIPTOR_REQUEST {
    ULONG ConnectionIndex;
    struct {
        UCHAR bmRequest;
        UCHAR bRequest;
        USHORT wValue;
        USHORT wIndex;
        USHORT wLength;
    } SetupPacket;
    UCHAR Data[0];
} USB_DESCRIPTOR_REQUEST, *PUSB_DESCRIPTOR_REQUEST;

// IOCTL_USB_GET_NODE_CONNECTION_NAME (the name of a hub attached to the port) and
// IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME (the driver key of the attached device).
typedef struct _USB_NODE_CONNECTION_NAME {
    ULONG ConnectionIndex;
    ULONG ActualLength;
    WCHAR NodeName[1];
} USB_NODE_CONNECTION_NAME, *PUSB_NODE_CONNECTION_NAME;

typedef struct _USB_NODE_CONNECTION_DRIVERKEY_NAME {
    ULONG ConnectionIndex;
    ULONG ActualLength;
    WCHAR DriverKeyName[1];
} USB_NODE_CONNECTION_DRIVERKEY_NAME, *PUSB_NODE_CONNECTION_DRIVERKEY_NAME;

// IOCTL_USB_GET_HUB_CAPABILITIES and _EX.
typedef struct _USB_HUB_CAPABILITIES {
    ULONG HubIs2xCapable : 1;
    ULONG Reserved : 31;
} USB_HUB_CAPABILITIES, *PUSB_HUB_CAPABILITIES;

typedef struct _USB_HUB_CAPABILITIES_EX {
    USB_HUB_CAP_FLAGS CapabilityFlags;
} USB_HUB_CAPABILITIES_EX, *PUSB_HUB_CAPABILITIES_EX;

// IOCTL_USB_GET_NODE_CONNECTION_ATTRIBUTES.
#define USB_PORTATTR_NO_CONNECTOR 0x00000001
#define USB_PORTATTR_SHARED_USB2 0x00000002
#define USB_PORTATTR_MINI_CONNECTOR 0x00000004
#define USB_PORTATTR_OEM_CONNECTOR 0x00000008
#define USB_PORTATTR_OWNED_BY_CC 0x01000000
#define USB_PORTATTR_NO_OVERCURRENT_UI 0x02000000

typedef struct _USB_NODE_CONNECTION_ATTRIBUTES {
    ULONG ConnectionIndex;
    USB_CONNECTION_STATUS ConnectionStatus;
    ULONG PortAttributes;
} USB_NODE_CONNECTION_ATTRIBUTES, *PUSB_NODE_CONNECTION_ATTRIBUTES;

// IOCTL_USB_HUB_CYCLE_PORT.
typedef struct _USB_CYCLE_PORT_PARAMS {
    ULONG ConnectionIndex;
    ULONG StatusReturned;
} USB_CYCLE_PORT_PARAMS, *PUSB_CYCLE_PORT_PARAMS;

// IOCTL_USB_GET_HUB_INFORMATION_EX.
typedef enum _USB_HUB_TYPE : int { UsbRootHub = 1, Usb20Hub = 2, Usb30Hub = 3 } USB_HUB_TYPE;

typedef struct _USB_HUB_INFORMATION_EX {
    USB_HUB_TYPE HubType;
    USHORT HighestPortNumber;
    union {
        USB_HUB_DESCRIPTOR UsbHubDescriptor;
        USB_30_HUB_DESCRIPTOR Usb30HubDescriptor;
    } u;
} USB_HUB_INFORMATION_EX, *PUSB_HUB_INFORMATION_EX;

// IOCTL_USB_GET_PORT_CONNECTOR_PROPERTIES.
typedef union _USB_PORT_PROPERTIES {
    ULONG ul;
    struct {
        ULONG PortIsUserConnectable : 1;
        ULONG PortIsDebugCapable : 1;
        ULONG PortHasMultipleCompanions : 1;
        ULONG PortConnectorIsTypeC : 1;
        ULONG ReservedMBZ : 28;
    };
} USB_PORT_PROPERTIES, *PUSB_PORT_PROPERTIES;

typedef struct _USB_PORT_CONNECTOR_PROPERTIES {
    ULONG ConnectionIndex;
    ULONG ActualLength;
    USB_PORT_PROPERTIES UsbPortProperties;
    USHORT CompanionIndex;
    USHORT CompanionPortNumber;
    WCHAR CompanionHubSymbolicLinkName[1];
} USB_PORT_CONNECTOR_PROPERTIES, *PUSB_PORT_CONNECTOR_PROPERTIES;

#pragma pack(pop)

static_assert(sizeof(USB_IDLE_CALLBACK_INFO) == 16);
static_assert(sizeof(USB_TOPOLOGY_ADDRESS) == 32 && offsetof(USB_TOPOLOGY_ADDRESS, RootHubPortNumber) == 16 &&
              offsetof(USB_TOPOLOGY_ADDRESS, HubPortNumber) == 18 && offsetof(USB_TOPOLOGY_ADDRESS, Reserved2) == 28);
static_assert(sizeof(USB_HUB_NAME) == 6);
static_assert(sizeof(USB_START_FAILDATA) == 20 && offsetof(USB_START_FAILDATA, DriverData) == 16);
static_assert(sizeof(USB_BUS_NOTIFICATION) == 16);
static_assert(sizeof(USB_ID_STRING) == 16 && offsetof(USB_ID_STRING, Buffer) == 8);
static_assert(sizeof(USB_HUB_CAP_FLAGS) == 4);
static_assert(sizeof(USB_HUB_UXD_SETTINGS) == 68);
static_assert(sizeof(HUB_DEVICE_CONFIG_INFO) == 204);
static_assert(offsetof(HUB_DEVICE_CONFIG_INFO, HubFlags) == 8 && offsetof(HUB_DEVICE_CONFIG_INFO, HardwareIds) == 12 &&
              offsetof(HUB_DEVICE_CONFIG_INFO, CompatibleIds) == 28 &&
              offsetof(HUB_DEVICE_CONFIG_INFO, DeviceDescription) == 44 &&
              offsetof(HUB_DEVICE_CONFIG_INFO, Reserved) == 60 && offsetof(HUB_DEVICE_CONFIG_INFO, UxdSettings) == 136);

static_assert(sizeof(USB_ROOT_HUB_NAME) == 6 && sizeof(USB_HCD_DRIVERKEY_NAME) == 6);
static_assert(sizeof(HCD_STAT_COUNTERS) == 24 && offsetof(HCD_STAT_COUNTERS, PortDisableCount) == 22);
static_assert(sizeof(HCD_ISO_STAT_COUNTERS) == 72 && offsetof(HCD_ISO_STAT_COUNTERS, IsoBytesTransferred) == 32 &&
              offsetof(HCD_ISO_STAT_COUNTERS, LateMissedCount) == 36 &&
              offsetof(HCD_ISO_STAT_COUNTERS, Reserved7) == 40);
static_assert(sizeof(HCD_STAT_INFORMATION_1) == 44 && offsetof(HCD_STAT_INFORMATION_1, TimeRead) == 12 &&
              offsetof(HCD_STAT_INFORMATION_1, Counters) == 20);
static_assert(sizeof(HCD_STAT_INFORMATION_2) == 120 && offsetof(HCD_STAT_INFORMATION_2, LockedMemoryUsed) == 20 &&
              offsetof(HCD_STAT_INFORMATION_2, Counters) == 24 && offsetof(HCD_STAT_INFORMATION_2, IsoCounters) == 48);

static_assert(sizeof(USB_HUB_INFORMATION) == 72);
static_assert(sizeof(USB_NODE_INFORMATION) == 76 && offsetof(USB_NODE_INFORMATION, u) == 4);
static_assert(sizeof(USB_PIPE_INFO) == 11 && offsetof(USB_PIPE_INFO, ScheduleOffset) == 7);
static_assert(sizeof(USB_NODE_CONNECTION_INFORMATION) == 35);
static_assert(offsetof(USB_NODE_CONNECTION_INFORMATION, DeviceDescriptor) == 4 &&
              offsetof(USB_NODE_CONNECTION_INFORMATION, CurrentConfigurationValue) == 22 &&
              offsetof(USB_NODE_CONNECTION_INFORMATION, LowSpeed) == 23 &&
              offsetof(USB_NODE_CONNECTION_INFORMATION, DeviceIsHub) == 24 &&
              offsetof(USB_NODE_CONNECTION_INFORMATION, DeviceAddress) == 25 &&
              offsetof(USB_NODE_CONNECTION_INFORMATION, NumberOfOpenPipes) == 27 &&
              offsetof(USB_NODE_CONNECTION_INFORMATION, ConnectionStatus) == 31 &&
              offsetof(USB_NODE_CONNECTION_INFORMATION, PipeList) == 35);
static_assert(sizeof(USB_NODE_CONNECTION_INFORMATION_EX) == 35 &&
              offsetof(USB_NODE_CONNECTION_INFORMATION_EX, Speed) == 23 &&
              offsetof(USB_NODE_CONNECTION_INFORMATION_EX, PipeList) == 35);
static_assert(sizeof(USB_NODE_CONNECTION_INFORMATION_EX_V2) == 16);
static_assert(sizeof(USB_DESCRIPTOR_REQUEST) == 12 && offsetof(USB_DESCRIPTOR_REQUEST, SetupPacket) == 4 &&
              offsetof(USB_DESCRIPTOR_REQUEST, Data) == 12);
static_assert(sizeof(USB_NODE_CONNECTION_NAME) == 10 && sizeof(USB_NODE_CONNECTION_DRIVERKEY_NAME) == 10 &&
              offsetof(USB_NODE_CONNECTION_DRIVERKEY_NAME, DriverKeyName) == 8);
static_assert(sizeof(USB_HUB_CAPABILITIES) == 4 && sizeof(USB_HUB_CAPABILITIES_EX) == 4);
static_assert(sizeof(USB_NODE_CONNECTION_ATTRIBUTES) == 12);
static_assert(sizeof(USB_CYCLE_PORT_PARAMS) == 8);
static_assert(sizeof(USB_HUB_INFORMATION_EX) == 77 && offsetof(USB_HUB_INFORMATION_EX, u) == 6);
static_assert(sizeof(USB_PORT_CONNECTOR_PROPERTIES) == 18 &&
              offsetof(USB_PORT_CONNECTOR_PROPERTIES, CompanionHubSymbolicLinkName) == 16);
static_assert(sizeof(USB_HUB_NODE) == 4 && sizeof(USB_CONNECTION_STATUS) == 4 && sizeof(USB_HUB_TYPE) == 4);
