// The hub bus interface: the table of routines through which a hub driver asks the USB port driver to
// create, initialise, query and remove the devices on its ports. A hub driver obtains it with
// IRP_MN_QUERY_INTERFACE for USB_BUS_INTERFACE_HUB_GUID; each version appends routines to the one
// before, so a version-n table is a prefix of every later one.
#pragma once

#include "usbdi.h"
#include "usbiodef.h"

struct _DEVICE_OBJECT;
typedef struct _DEVICE_OBJECT* PDEVICE_OBJECT;

// The reference routines that begin every bus interface, as the I/O manager's INTERFACE declares them.
typedef VOID (*PINTERFACE_REFERENCE)(PVOID Context);
typedef VOID (*PINTERFACE_DEREFERENCE)(PVOID Context);

#define USB_BUSIFFN

// A USB device as the port driver knows it; opaque to its callers.
typedef PVOID PUSB_DEVICE_HANDLE;

DEFINE_GUID(USB_BUS_INTERFACE_HUB_GUID, 0xB2BB8C0A, 0x5AB4, 0x11D3, 0xA8, 0xCD, 0x00, 0xC0, 0x4F, 0x68, 0x74, 0x7A);

#define USB_BUSIF_HUB_VERSION_0 0x0000
#define USB_BUSIF_HUB_VERSION_1 0x0001
#define USB_BUSIF_HUB_VERSION_2 0x0002
#define USB_BUSIF_HUB_VERSION_3 0x0003
#define USB_BUSIF_HUB_VERSION_4 0x0004
#define USB_BUSIF_HUB_VERSION_5 0x0005
#define USB_BUSIF_HUB_VERSION_6 0x0006
#define USB_BUSIF_HUB_VERSION_7 0x0007
#define USB_BUSIF_HUB_VERSION_8 0x0008

// Flags of RemoveUsbDevice.
#define USBD_KEEP_DEVICE_DATA 0x00000001
#define USBD_MARK_DEVICE_BUSY 0x00000002

// ---------------------------------------------------------------------------------------------
// Structures the routines exchange

typedef struct _USB_PIPE_INFORMATION_0 {
    USB_ENDPOINT_DESCRIPTOR EndpointDescriptor;
    UCHAR ED_Pad[1];
    ULONG ScheduleOffset;
} USB_PIPE_INFORMATION_0, *PUSB_PIPE_INFORMATION_0;

// QueryDeviceInformation, level 0. ActualLength covers the pipe list of NumberOfOpenPipes entries.
typedef struct _USB_DEVICE_INFORMATION_0 {
    ULONG InformationLevel;
    ULONG ActualLength;
    ULONG PortNumber;
    USB_DEVICE_DESCRIPTOR DeviceDescriptor;
    UCHAR CurrentConfigurationValue;
    UCHAR ReservedMBZ;
    USHORT DeviceAddress;
    ULONG HubAddress;
    USB_DEVICE_SPEED DeviceSpeed;
    USB_DEVICE_TYPE DeviceType;
    ULONG NumberOfOpenPipes;
    USB_PIPE_INFORMATION_0 PipeList[1];
} USB_DEVICE_INFORMATION_0, *PUSB_DEVICE_INFORMATION_0;

// GetControllerInformation, levels 0 and 1.
typedef struct _USB_CONTROLLER_INFORMATION_0 {
    ULONG InformationLevel;
    ULONG ActualLength;
    BOOLEAN SelectiveSuspendEnabled;
    BOOLEAN IsHighSpeedController;
} USB_CONTROLLER_INFORMATION_0, *PUSB_CONTROLLER_INFORMATION_0;

typedef struct _USB_CONTROLLER_INFORMATION_1 {
    ULONG InformationLevel;
    ULONG ActualLength;
    BOOLEAN SelectiveSuspendEnabled;
    BOOLEAN IsHighSpeedController;
    ULONG HcBusNumber;
    ULONG HcBusDevice;
    ULONG HcBusFunction;
} USB_CONTROLLER_INFORMATION_1, *PUSB_CONTROLLER_INFORMATION_1;

// GetExtendedHubInformation, level 0: per-port facts from the platform firmware.
typedef struct _USB_EXTPORT_INFORMATION_0 {
    ULONG PhysicalPortNumber;
    ULONG PortLabelNumber;
    USHORT VidOverride;
    USHORT PidOverride;
    ULONG PortAttributes; // USB_PORTATTR_*
} USB_EXTPORT_INFORMATION_0, *PUSB_EXTPORT_INFORMATION_0;

#define USB_MAXCHILDREN 255

typedef struct _USB_EXTHUB_INFORMATION_0 {
    ULONG InformationLevel;
    ULONG NumberOfPorts;
    USB_EXTPORT_INFORMATION_0 Port[USB_MAXCHILDREN];
} USB_EXTHUB_INFORMATION_0, *PUSB_EXTHUB_INFORMATION_0;

// GetDevicePerformanceInfo, level 0.
typedef struct _USB_DEVICE_PERFORMANCE_INFO_0 {
    ULONG InformationLevel;
    ULONG ActualLength;
    ULONG BulkBytes;
    ULONG BulkUrbCount;
    ULONG ControlDataBytes;
    ULONG ControlUrbCount;
    ULONG IsoBytes;
    ULONG IsoUrbCount;
    ULONG InterruptBytes;
    ULONG InterruptUrbCount;
    ULONG AllocedInterrupt[6];
    ULONG AllocedIso;
    ULONG Total32secBandwidth;
    ULONG TotalTtBandwidth;
    ULONG TotalIsoLatency;
    ULONG DroppedIsoPackets;
    ULONG TransferErrors;
} USB_DEVICE_PERFORMANCE_INFO_0, *PUSB_DEVICE_PERFORMANCE_INFO_0;

// Why CreateUsbDeviceEx failed.
typedef enum _USBPORT_CREATEDEV_ERROR : int {
    CreateDevErrNotSet = 0,
    CreateDevBadHubDevHandle,
    CreateDevFailedAllocDevHandle,
    CreateDevFailedOpenEndpoint,
    CreateDevFailedAllocDsBuff,
    CreateDevFailedGetDs,
    CreateDevTtNotFound,
    CreateDevBadDevHandlePtr
} USBPORT_CREATEDEV_ERROR;

typedef struct _USB_CD_ERROR_INFORMATION {
    ULONG Version;
    USBPORT_CREATEDEV_ERROR PathError;
    ULONG UlongArg1;
    ULONG UlongArg2;
    NTSTATUS NtStatus;
    UCHAR XtraInfo[64];
} USB_CD_ERROR_INFORMATION, *PUSB_CD_ERROR_INFORMATION;

// Why InitializeUsbDeviceEx failed.
typedef enum _USBPORT_INITDEV_ERROR : int {
    InitDevErrNotSet = 0,
    InitDevFailedSetAddress,
    InitDevFailedPokeEndpoint,
    InitDevBadDeviceDescriptor
} USBPORT_INITDEV_ERROR;

typedef struct _USB_ID_ERROR_INFORMATION {
    ULONG Version;
    USBPORT_INITDEV_ERROR PathError;
    ULONG Arg1;
    ULONG UsbAddress;
    NTSTATUS NtStatus;
    USBD_STATUS UsbdStatus;
    UCHAR XtraInfo[64];
} USB_ID_ERROR_INFORMATION, *PUSB_ID_ERROR_INFORMATION;

// The port numbers from the root hub down to a device (CreateUsbDeviceV7).
typedef struct _USB_PORT_PATH {
    ULONG PortPathDepth;
    ULONG PortPath[6];
} USB_PORT_PATH, *PUSB_PORT_PATH;

typedef VOID (*PRH_INIT_CALLBACK)(PVOID CallBackContext);

// ---------------------------------------------------------------------------------------------
// Routines, in table order (the comment gives the routine's index in the version 8 table)

typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_CREATE_USB_DEVICE)(PVOID BusContext, PUSB_DEVICE_HANDLE* NewDeviceHandle,
                                                              PUSB_DEVICE_HANDLE HubDeviceHandle, USHORT PortStatus,
                                                              USHORT PortNumber); // 0
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_INITIALIZE_USB_DEVICE)(PVOID BusContext,
                                                                  PUSB_DEVICE_HANDLE DeviceHandle); // 1
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_GET_USB_DESCRIPTORS)(PVOID BusContext, PUSB_DEVICE_HANDLE DeviceHandle,
                                                                PUCHAR DeviceDescriptorBuffer,
                                                                PULONG DeviceDescriptorBufferLength,
                                                                PUCHAR ConfigDescriptorBuffer,
                                                                PULONG ConfigDescriptorBufferLength); // 2
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_REMOVE_USB_DEVICE)(PVOID BusContext, PUSB_DEVICE_HANDLE DeviceHandle,
                                                              ULONG Flags); // 3
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_RESTORE_DEVICE)(PVOID BusContext, PUSB_DEVICE_HANDLE OldDeviceHandle,
                                                           PUSB_DEVICE_HANDLE NewDeviceHandle);     // 4
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_GET_PORTHACK_FLAGS)(PVOID BusContext, PULONG HackFlags); // 5
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_GET_DEVICE_INFORMATION)(PVOID BusContext, PUSB_DEVICE_HANDLE DeviceHandle,
                                                                   PVOID DeviceInformationBuffer,
                                                                   ULONG DeviceInformationBufferLength,
                                                                   PULONG LengthOfDataCopied); // 6
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_GET_CONTROLLER_INFORMATION)(PVOID BusContext,
                                                                       PVOID ControllerInformationBuffer,
                                                                       ULONG ControllerInformationBufferLength,
                                                                       PULONG LengthOfDataCopied);          // 7
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_CONTROLLER_SELECTIVE_SUSPEND)(PVOID BusContext, BOOLEAN Enable); // 8
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_GET_EXTENDED_HUB_INFO)(PVOID BusContext,
                                                                  PDEVICE_OBJECT HubPhysicalDeviceObject,
                                                                  PVOID HubInformationBuffer,
                                                                  ULONG HubInformationBufferLength,
                                                                  PULONG LengthOfDataCopied); // 9
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_GET_ROOTHUB_SYM_NAME)(PVOID BusContext, PVOID HubSymNameBuffer,
                                                                 ULONG HubSymNameBufferLength,
                                                                 PULONG HubSymNameActualLength);         // 10
typedef PVOID(USB_BUSIFFN* PUSB_BUSIFFN_GET_DEVICE_BUSCONTEXT)(PVOID HubBusContext, PVOID DeviceHandle); // 11
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_INITIALIZE_20HUB)(PVOID BusContext, PUSB_DEVICE_HANDLE HubDeviceHandle,
                                                             ULONG TtCount); // 12
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_ROOTHUB_INIT_NOTIFY)(PVOID BusContext, PVOID CallbackContext,
                                                                PRH_INIT_CALLBACK CallbackRoutine); // 13
typedef VOID(USB_BUSIFFN* PUSB_BUSIFFN_FLUSH_TRANSFERS)(PVOID BusContext, PVOID DeviceHandle);      // 14
typedef VOID(USB_BUSIFFN* PUSB_BUSIFFN_SET_DEVHANDLE_DATA)(PVOID BusContext, PVOID DeviceHandle,
                                                           PDEVICE_OBJECT UsbDevicePdo); // 15
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_CREATE_USB_DEVICE_EX)(PVOID BusContext, PUSB_DEVICE_HANDLE* NewDeviceHandle,
                                                                 PUSB_DEVICE_HANDLE HsHubDeviceHandle,
                                                                 USHORT PortStatus, USHORT PortNumber,
                                                                 PUSB_CD_ERROR_INFORMATION CdErrorInfo,
                                                                 USHORT TtPortNumber); // 16
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_INITIALIZE_USB_DEVICE_EX)(PVOID BusContext, PUSB_DEVICE_HANDLE DeviceHandle,
                                                                     PUSB_ID_ERROR_INFORMATION IdErrInfo); // 17
typedef BOOLEAN(USB_BUSIFFN* PUSB_BUSIFFN_IS_ROOT)(PVOID BusContext, PVOID DeviceObject);                  // 18
typedef VOID(USB_BUSIFFN* PUSB_BUSIFFN_ACQUIRE_SEMAPHORE)(PVOID BusContext);                               // 19
typedef VOID(USB_BUSIFFN* PUSB_BUSIFFN_RELEASE_SEMAPHORE)(PVOID BusContext);                               // 20
typedef ULONG(USB_BUSIFFN* PUSB_BUSIFFN_CALC_PIPE_BANDWIDTH)(PVOID BusContext, PUSBD_PIPE_INFORMATION PipeInfo,
                                                             USB_DEVICE_SPEED DeviceSpeed); // 21
typedef VOID(USB_BUSIFFN* PUSB_BUSIFFN_SET_BUS_WAKE_MODE)(PVOID BusContext, ULONG Mode);    // 22
typedef VOID(USB_BUSIFFN* PUSB_BUSIFFN_SET_DEVICE_FLAG)(PVOID BusContext, GUID* DeviceFlagGuid, PVOID ValueData,
                                                        ULONG ValueLength); // 23
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_HUB_TEST_POINT)(PVOID BusContext, PVOID DeviceHandle, ULONG Opcode,
                                                           PVOID TestData); // 24
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_GET_DEVICE_PERFORMANCE_INFO)(PVOID BusContext,
                                                                        PUSB_DEVICE_HANDLE DeviceHandle,
                                                                        PVOID DeviceInformationBuffer,
                                                                        ULONG DeviceInformationBufferLength,
                                                                        PULONG LengthOfDataCopied); // 25
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_WAIT_ASYNC_POWERUP)(PVOID BusContext);                   // 26
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_GET_DEVICE_ADDRESS)(PVOID BusContext, PUSB_DEVICE_HANDLE DeviceHandle,
                                                               PUSHORT DeviceAddress); // 27
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_REF_DEVICE_HANDLE)(PVOID BusContext, PUSB_DEVICE_HANDLE DeviceHandle,
                                                              PVOID Object, ULONG Tag); // 28
typedef VOID(USB_BUSIFFN* PUSB_BUSIFFN_DEREF_DEVICE_HANDLE)(PVOID BusContext, PUSB_DEVICE_HANDLE DeviceHandle,
                                                            PVOID Object, ULONG Tag); // 29
typedef ULONG(USB_BUSIFFN* PUSB_BUSIFFN_SET_DEVICE_HANDLE_IDLE_READY_STATE)(PVOID BusContext,
                                                                            PUSB_DEVICE_HANDLE DeviceHandle,
                                                                            ULONG NewIdleReadyState); // 30
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_CREATE_USB_DEVICE_V7)(PVOID BusContext, PUSB_DEVICE_HANDLE* NewDeviceHandle,
                                                                 PUSB_DEVICE_HANDLE HsHubDeviceHandle,
                                                                 USHORT PortStatus, PUSB_PORT_PATH PortPath,
                                                                 PUSB_CD_ERROR_INFORMATION CdErrorInfo,
                                                                 USHORT TtPortNumber, PDEVICE_OBJECT PdoDeviceObject,
                                                                 PUNICODE_STRING PhysicalDeviceObjectName); // 31
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_GET_CONTAINER_ID_FOR_PORT)(PVOID BusContext, USHORT PortNumber,
                                                                      GUID* ContainerId); // 32
typedef VOID(USB_BUSIFFN* PUSB_BUSIFFN_SET_CONTAINER_ID_FOR_PORT)(PVOID BusContext, USHORT PortNumber,
                                                                  GUID* ContainerId); // 33
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_ABORT_ALL_DEVICE_PIPES)(PVOID BusContext,
                                                                   PUSB_DEVICE_HANDLE DeviceHandle); // 34
typedef VOID(USB_BUSIFFN* PUSB_BUSIFFN_SET_DEVICE_ERRATA_FLAG)(PVOID BusContext, PUSB_DEVICE_HANDLE DeviceHandle,
                                                               ULONG DeviceErrataFlag); // 35
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_SET_MSOS20_SUPPORT)(PVOID BusContext, PUSB_DEVICE_HANDLE DeviceHandle,
                                                               UCHAR MsOs20VendorCode); // 36
typedef VOID(USB_BUSIFFN* PUSB_BUSIFFN_SET_CLEAR_ROOT_PORT_RESUME_TIME)(PVOID BusContext,
                                                                        PUSB_DEVICE_HANDLE DeviceHandle,
                                                                        BOOLEAN SetTime,
                                                                        UCHAR ResumeTime); // 37

// ---------------------------------------------------------------------------------------------
// The tables. Each version repeats the header and the routines of the versions before it, then adds
// its own.

#define USB_BUS_INTERFACE_HUB_HEADER                                                                                   \
    USHORT Size;                                                                                                       \
    USHORT Version;                                                                                                    \
    PVOID BusContext;                                                                                                  \
    PINTERFACE_REFERENCE InterfaceReference;                                                                           \
    PINTERFACE_DEREFERENCE InterfaceDereference

#define USB_BUS_INTERFACE_HUB_V5_ROUTINES                                                                              \
    PUSB_BUSIFFN_CREATE_USB_DEVICE CreateUsbDevice;                                                                    \
    PUSB_BUSIFFN_INITIALIZE_USB_DEVICE InitializeUsbDevice;                                                            \
    PUSB_BUSIFFN_GET_USB_DESCRIPTORS GetUsbDescriptors;                                                                \
    PUSB_BUSIFFN_REMOVE_USB_DEVICE RemoveUsbDevice;                                                                    \
    PUSB_BUSIFFN_RESTORE_DEVICE RestoreUsbDevice;                                                                      \
    PUSB_BUSIFFN_GET_PORTHACK_FLAGS GetPortHackFlags;                                                                  \
    PUSB_BUSIFFN_GET_DEVICE_INFORMATION QueryDeviceInformation;                                                        \
    PUSB_BUSIFFN_GET_CONTROLLER_INFORMATION GetControllerInformation;                                                  \
    PUSB_BUSIFFN_CONTROLLER_SELECTIVE_SUSPEND ControllerSelectiveSuspend;                                              \
    PUSB_BUSIFFN_GET_EXTENDED_HUB_INFO GetExtendedHubInformation;                                                      \
    PUSB_BUSIFFN_GET_ROOTHUB_SYM_NAME GetRootHubSymbolicName;                                                          \
    PUSB_BUSIFFN_GET_DEVICE_BUSCONTEXT GetDeviceBusContext;                                                            \
    PUSB_BUSIFFN_INITIALIZE_20HUB Initialize20Hub;                                                                     \
    PUSB_BUSIFFN_ROOTHUB_INIT_NOTIFY RootHubInitNotification;                                                          \
    PUSB_BUSIFFN_FLUSH_TRANSFERS FlushTransfers;                                                                       \
    PUSB_BUSIFFN_SET_DEVHANDLE_DATA SetDeviceHandleData

#define USB_BUS_INTERFACE_HUB_V6_ROUTINES                                                                              \
    PUSB_BUSIFFN_CREATE_USB_DEVICE_EX CreateUsbDeviceEx;                                                               \
    PUSB_BUSIFFN_INITIALIZE_USB_DEVICE_EX InitializeUsbDeviceEx;                                                       \
    PUSB_BUSIFFN_IS_ROOT HubIsRoot;                                                                                    \
    PUSB_BUSIFFN_ACQUIRE_SEMAPHORE AcquireBusSemaphore;                                                                \
    PUSB_BUSIFFN_RELEASE_SEMAPHORE ReleaseBusSemaphore;                                                                \
    PUSB_BUSIFFN_CALC_PIPE_BANDWIDTH CalculatePipeBandwidth;                                                           \
    PUSB_BUSIFFN_SET_BUS_WAKE_MODE SetBusSystemWakeMode;                                                               \
    PUSB_BUSIFFN_SET_DEVICE_FLAG SetDeviceFlag;                                                                        \
    PUSB_BUSIFFN_HUB_TEST_POINT HubTestPoint;                                                                          \
    PUSB_BUSIFFN_GET_DEVICE_PERFORMANCE_INFO GetDevicePerformanceInfo;                                                 \
    PUSB_BUSIFFN_WAIT_ASYNC_POWERUP WaitAsyncPowerUp;                                                                  \
    PUSB_BUSIFFN_GET_DEVICE_ADDRESS GetDeviceAddress;                                                                  \
    PUSB_BUSIFFN_REF_DEVICE_HANDLE RefDeviceHandle;                                                                    \
    PUSB_BUSIFFN_DEREF_DEVICE_HANDLE DerefDeviceHandle;                                                                \
    PUSB_BUSIFFN_SET_DEVICE_HANDLE_IDLE_READY_STATE SetDeviceHandleIdleReadyState

#define USB_BUS_INTERFACE_HUB_V7_ROUTINES                                                                              \
    PUSB_BUSIFFN_CREATE_USB_DEVICE_V7 CreateUsbDeviceV7;                                                               \
    PUSB_BUSIFFN_GET_CONTAINER_ID_FOR_PORT GetContainerIdForPort;                                                      \
    PUSB_BUSIFFN_SET_CONTAINER_ID_FOR_PORT SetContainerIdForPort;                                                      \
    PUSB_BUSIFFN_ABORT_ALL_DEVICE_PIPES AbortAllDevicePipes;                                                           \
    PUSB_BUSIFFN_SET_DEVICE_ERRATA_FLAG SetDeviceErrataFlag

#define USB_BUS_INTERFACE_HUB_V8_ROUTINES                                                                              \
    PUSB_BUSIFFN_SET_MSOS20_SUPPORT SetMsOs20Support;                                                                  \
    PUSB_BUSIFFN_SET_CLEAR_ROOT_PORT_RESUME_TIME SetClearRootPortResumeTime

typedef struct _USB_BUS_INTERFACE_HUB_V5 {
    USB_BUS_INTERFACE_HUB_HEADER;
    USB_BUS_INTERFACE_HUB_V5_ROUTINES;
} USB_BUS_INTERFACE_HUB_V5, *PUSB_BUS_INTERFACE_HUB_V5;

typedef struct _USB_BUS_INTERFACE_HUB_V6 {
    USB_BUS_INTERFACE_HUB_HEADER;
    USB_BUS_INTERFACE_HUB_V5_ROUTINES;
    USB_BUS_INTERFACE_HUB_V6_ROUTINES;
} USB_BUS_INTERFACE_HUB_V6, *PUSB_BUS_INTERFACE_HUB_V6;

typedef struct _USB_BUS_INTERFACE_HUB_V7 {
    USB_BUS_INTERFACE_HUB_HEADER;
    USB_BUS_INTERFACE_HUB_V5_ROUTINES;
    USB_BUS_INTERFACE_HUB_V6_ROUTINES;
    USB_BUS_INTERFACE_HUB_V7_ROUTINES;
} USB_BUS_INTERFACE_HUB_V7, *PUSB_BUS_INTERFACE_HUB_V7;

typedef struct _USB_BUS_INTERFACE_HUB_V8 {
    USB_BUS_INTERFACE_HUB_HEADER;
    USB_BUS_INTERFACE_HUB_V5_ROUTINES;
    USB_BUS_INTERFACE_HUB_V6_ROUTINES;
    USB_BUS_INTERFACE_HUB_V7_ROUTINES;
    USB_BUS_INTERFACE_HUB_V8_ROUTINES;
} USB_BUS_INTERFACE_HUB_V8, *PUSB_BUS_INTERFACE_HUB_V8;

static_assert(sizeof(USB_PIPE_INFORMATION_0) == 12 && offsetof(USB_PIPE_INFORMATION_0, ScheduleOffset) == 8);
static_assert(sizeof(USB_DEVICE_INFORMATION_0) == 64);
static_assert(offsetof(USB_DEVICE_INFORMATION_0, DeviceDescriptor) == 12 &&
              offsetof(USB_DEVICE_INFORMATION_0, CurrentConfigurationValue) == 30 &&
              offsetof(USB_DEVICE_INFORMATION_0, DeviceAddress) == 32 &&
              offsetof(USB_DEVICE_INFORMATION_0, HubAddress) == 36 &&
              offsetof(USB_DEVICE_INFORMATION_0, DeviceSpeed) == 40 &&
              offsetof(USB_DEVICE_INFORMATION_0, NumberOfOpenPipes) == 48 &&
              offsetof(USB_DEVICE_INFORMATION_0, PipeList) == 52);
static_assert(sizeof(USB_CONTROLLER_INFORMATION_0) == 12 && sizeof(USB_CONTROLLER_INFORMATION_1) == 24);
static_assert(sizeof(USB_EXTPORT_INFORMATION_0) == 16 && sizeof(USB_EXTHUB_INFORMATION_0) == 8 + 16 * 255);
static_assert(sizeof(USB_DEVICE_PERFORMANCE_INFO_0) == 88 &&
              offsetof(USB_DEVICE_PERFORMANCE_INFO_0, AllocedInterrupt) == 40);
static_assert(sizeof(USB_CD_ERROR_INFORMATION) == 84 && offsetof(USB_CD_ERROR_INFORMATION, XtraInfo) == 20);
static_assert(sizeof(USB_ID_ERROR_INFORMATION) == 88 && offsetof(USB_ID_ERROR_INFORMATION, XtraInfo) == 24);
static_assert(sizeof(USB_PORT_PATH) == 28);

// Header 32 bytes, then one 8-byte routine pointer per entry.
static_assert(offsetof(USB_BUS_INTERFACE_HUB_V5, BusContext) == 8 &&
              offsetof(USB_BUS_INTERFACE_HUB_V5, InterfaceDereference) == 24 &&
              offsetof(USB_BUS_INTERFACE_HUB_V5, CreateUsbDevice) == 32);
static_assert(sizeof(USB_BUS_INTERFACE_HUB_V5) == 32 + 16 * 8);
static_assert(sizeof(USB_BUS_INTERFACE_HUB_V6) == 32 + 31 * 8);
static_assert(sizeof(USB_BUS_INTERFACE_HUB_V7) == 32 + 36 * 8);
static_assert(sizeof(USB_BUS_INTERFACE_HUB_V8) == 32 + 38 * 8);
static_assert(offsetof(USB_BUS_INTERFACE_HUB_V8, SetDeviceHandleData) == 32 + 15 * 8 &&
              offsetof(USB_BUS_INTERFACE_HUB_V8, CreateUsbDeviceEx) == 32 + 16 * 8 &&
              offsetof(USB_BUS_INTERFACE_HUB_V8, SetDeviceHandleIdleReadyState) == 32 + 30 * 8 &&
              offsetof(USB_BUS_INTERFACE_HUB_V8, CreateUsbDeviceV7) == 32 + 31 * 8 &&
              offsetof(USB_BUS_INTERFACE_HUB_V8, SetDeviceErrataFlag) == 32 + 35 * 8);
