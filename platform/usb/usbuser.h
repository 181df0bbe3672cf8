// The user-request interface of USB host controllers (IOCTL_USB_USER_REQUEST): every request starts with
// USBUSER_REQUEST_HEADER, whose UsbUserRequest selects what follows. Byte-packed.
#pragma once

#include "usbioctl.h"

#define USBUSER_VERSION 0x0004

// Request codes (UsbUserRequest).
#define USBUSER_GET_CONTROLLER_INFO_0 0x00000001
#define USBUSER_GET_CONTROLLER_DRIVER_KEY 0x00000002
#define USBUSER_PASS_THRU 0x00000003
#define USBUSER_GET_POWER_STATE_MAP 0x00000004
#define USBUSER_GET_BANDWIDTH_INFORMATION 0x00000005
#define USBUSER_GET_BUS_STATISTICS_0 0x00000006
#define USBUSER_GET_ROOTHUB_SYMBOLIC_NAME 0x00000007
#define USBUSER_GET_USB_DRIVER_VERSION 0x00000008
#define USBUSER_GET_USB2_HW_VERSION 0x00000009
#define USBUSER_USB_REFRESH_HCT_REG 0x0000000A

#define USBUSER_OP_SEND_ONE_PACKET 0x10000001
#define USBUSER_OP_RAW_RESET_PORT 0x20000001
#define USBUSER_OP_OPEN_RAW_DEVICE 0x20000002
#define USBUSER_OP_CLOSE_RAW_DEVICE 0x20000003
#define USBUSER_OP_SEND_RAW_COMMAND 0x20000004
#define USBUSER_INVALID_REQUEST 0xFFFFFFF0

#define USBUSER_OP_MASK_DEVONLY_API 0x10000000
#define USBUSER_OP_MASK_HCTEST_API 0x20000000

typedef enum _USB_USER_ERROR_CODE : int {
    UsbUserSuccess = 0,
    UsbUserNotSupported,
    UsbUserInvalidRequestCode,
    UsbUserFeatureDisabled,
    UsbUserInvalidHeaderParameter,
    UsbUserInvalidParameter,
    UsbUserMiniportError,
    UsbUserBufferTooSmall,
    UsbUserErrorNotMapped,
    UsbUserDeviceNotStarted,
    UsbUserNoDeviceConnected
} USB_USER_ERROR_CODE;

// Host controller kinds (ControllerFlavor).
typedef enum _USB_CONTROLLER_FLAVOR : int {
    USB_HcGeneric = 0,
    OHCI_Generic = 100,
    OHCI_Hydra,
    OHCI_NEC,
    UHCI_Generic = 200,
    UHCI_Piix4,
    UHCI_Piix3,
    UHCI_Ich2,
    UHCI_Reserved204,
    UHCI_Ich1,
    UHCI_Ich3m,
    UHCI_Ich4,
    UHCI_Ich5,
    UHCI_Ich6,
    UHCI_Intel = 249,
    UHCI_VIA = 250,
    UHCI_VIA_x01,
    UHCI_VIA_x02,
    UHCI_VIA_x03,
    UHCI_VIA_x04,
    UHCI_VIA_x0E_FIFO = 264,
    EHCI_Generic = 1000,
    EHCI_NEC = 2000,
    EHCI_Lucent = 3000
} USB_CONTROLLER_FLAVOR;

// HcFeatureFlags of USB_CONTROLLER_INFO_0.
#define USB_HC_FEATURE_FLAG_PORT_POWER_SWITCHING 0x00000001
#define USB_HC_FEATURE_FLAG_SEL_SUSPEND 0x00000002
#define USB_HC_FEATURE_LEGACY_BIOS 0x00000004
#define USB_HC_FEATURE_TIME_SYNC_API 0x00000008

typedef enum _WDMUSB_POWER_STATE : int {
    WdmUsbPowerNotMapped = 0,
    WdmUsbPowerSystemUnspecified = 100,
    WdmUsbPowerSystemWorking,
    WdmUsbPowerSystemSleeping1,
    WdmUsbPowerSystemSleeping2,
    WdmUsbPowerSystemSleeping3,
    WdmUsbPowerSystemHibernate,
    WdmUsbPowerSystemShutdown,
    WdmUsbPowerDeviceUnspecified = 200,
    WdmUsbPowerDeviceD0,
    WdmUsbPowerDeviceD1,
    WdmUsbPowerDeviceD2,
    WdmUsbPowerDeviceD3
} WDMUSB_POWER_STATE;

#pragma pack(push, 1)

// RequestBufferLength is the size of the whole request including this header; the controller sets
// UsbUserStatusCode and ActualBufferLength.
typedef struct _USBUSER_REQUEST_HEADER {
    ULONG UsbUserRequest;
    USB_USER_ERROR_CODE UsbUserStatusCode;
    ULONG RequestBufferLength;
    ULONG ActualBufferLength;
} USBUSER_REQUEST_HEADER, *PUSBUSER_REQUEST_HEADER;

typedef struct _USB_CONTROLLER_INFO_0 {
    ULONG PciVendorId;
    ULONG PciDeviceId;
    ULONG PciRevision;
    ULONG NumberOfRootPorts;
    USB_CONTROLLER_FLAVOR ControllerFlavor;
    ULONG HcFeatureFlags;
} USB_CONTROLLER_INFO_0, *PUSB_CONTROLLER_INFO_0;

typedef struct _USBUSER_CONTROLLER_INFO_0 {
    USBUSER_REQUEST_HEADER Header;
    USB_CONTROLLER_INFO_0 Info0;
} USBUSER_CONTROLLER_INFO_0, *PUSBUSER_CONTROLLER_INFO_0;

// USBUSER_GET_CONTROLLER_DRIVER_KEY and USBUSER_GET_ROOTHUB_SYMBOLIC_NAME.
typedef struct _USB_UNICODE_NAME {
    ULONG Length;
    WCHAR String[1];
} USB_UNICODE_NAME, *PUSB_UNICODE_NAME;

typedef struct _USBUSER_CONTROLLER_UNICODE_NAME {
    USBUSER_REQUEST_HEADER Header;
    USB_UNICODE_NAME UnicodeName;
} USBUSER_CONTROLLER_UNICODE_NAME, *PUSBUSER_CONTROLLER_UNICODE_NAME;

typedef struct _USB_PASS_THRU_PARAMETERS {
    GUID FunctionGUID;
    ULONG ParameterLength;
    UCHAR Parameters[4];
} USB_PASS_THRU_PARAMETERS, *PUSB_PASS_THRU_PARAMETERS;

typedef struct _USBUSER_PASS_THRU_REQUEST {
    USBUSER_REQUEST_HEADER Header;
    USB_PASS_THRU_PARAMETERS PassThru;
} USBUSER_PASS_THRU_REQUEST, *PUSBUSER_PASS_THRU_REQUEST;

typedef struct _USB_POWER_INFO {
    WDMUSB_POWER_STATE SystemState; // in
    WDMUSB_POWER_STATE HcDevicePowerState;
    WDMUSB_POWER_STATE HcDeviceWake;
    WDMUSB_POWER_STATE HcSystemWake;
    WDMUSB_POWER_STATE RhDevicePowerState;
    WDMUSB_POWER_STATE RhDeviceWake;
    WDMUSB_POWER_STATE RhSystemWake;
    WDMUSB_POWER_STATE LastSystemSleepState;
    BOOLEAN CanWakeup;
    BOOLEAN IsPowered;
} USB_POWER_INFO, *PUSB_POWER_INFO;

typedef struct _USBUSER_POWER_INFO_REQUEST {
    USBUSER_REQUEST_HEADER Header;
    USB_POWER_INFO PowerInformation;
} USBUSER_POWER_INFO_REQUEST, *PUSBUSER_POWER_INFO_REQUEST;

typedef struct _USB_BANDWIDTH_INFO {
    ULONG DeviceCount;
    ULONG TotalBusBandwidth;
    ULONG Total32secBandwidth;
    ULONG AllocedBulkAndControl;
    ULONG AllocedIso;
    ULONG AllocedInterrupt_1ms;
    ULONG AllocedInterrupt_2ms;
    ULONG AllocedInterrupt_4ms;
    ULONG AllocedInterrupt_8ms;
    ULONG AllocedInterrupt_16ms;
    ULONG AllocedInterrupt_32ms;
} USB_BANDWIDTH_INFO, *PUSB_BANDWIDTH_INFO;

typedef struct _USBUSER_BANDWIDTH_INFO_REQUEST {
    USBUSER_REQUEST_HEADER Header;
    USB_BANDWIDTH_INFO BandwidthInformation;
} USBUSER_BANDWIDTH_INFO_REQUEST, *PUSBUSER_BANDWIDTH_INFO_REQUEST;

typedef struct _USB_BUS_STATISTICS_0 {
    ULONG DeviceCount;
    LARGE_INTEGER CurrentSystemTime;
    ULONG CurrentUsbFrame;
    ULONG BulkBytes;
    ULONG IsoBytes;
    ULONG InterruptBytes;
    ULONG ControlDataBytes;
    ULONG PciInterruptCount;
    ULONG HardResetCount;
    ULONG WorkerSignalCount;
    ULONG CommonBufferBytes;
    ULONG WorkerIdleTimeMs;
    BOOLEAN RootHubEnabled;
    UCHAR RootHubDevicePowerState; // 0 D0 ... 3 D3
    UCHAR Unused;
    UCHAR NameIndex; // the n of HCDn
} USB_BUS_STATISTICS_0, *PUSB_BUS_STATISTICS_0;

typedef struct _USBUSER_BUS_STATISTICS_0_REQUEST {
    USBUSER_REQUEST_HEADER Header;
    USB_BUS_STATISTICS_0 BusStatistics0;
} USBUSER_BUS_STATISTICS_0_REQUEST, *PUSBUSER_BUS_STATISTICS_0_REQUEST;

typedef struct _USB_DRIVER_VERSION_PARAMETERS {
    ULONG DriverTrackingCode;
    ULONG USBDI_Version;
    ULONG USBUSER_Version;
    BOOLEAN CheckedPortDriver;
    BOOLEAN CheckedMiniportDriver;
    USHORT USB_Version; // BCD
} USB_DRIVER_VERSION_PARAMETERS, *PUSB_DRIVER_VERSION_PARAMETERS;

typedef struct _USBUSER_GET_DRIVER_VERSION {
    USBUSER_REQUEST_HEADER Header;
    USB_DRIVER_VERSION_PARAMETERS Parameters;
} USBUSER_GET_DRIVER_VERSION, *PUSBUSER_GET_DRIVER_VERSION;

#define USB2HW_UNKNOWN 0x00
#define USB2HW_A0 0xA0
#define USB2HW_A1 0xA1
#define USB2HW_B0 0xB0

typedef struct _USB_USB2HW_VERSION_PARAMETERS {
    UCHAR Usb2HwRevision;
} USB_USB2HW_VERSION_PARAMETERS, *PUSB_USB2HW_VERSION_PARAMETERS;

typedef struct _USBUSER_GET_USB2HW_VERSION {
    USBUSER_REQUEST_HEADER Header;
    USB_USB2HW_VERSION_PARAMETERS Parameters;
} USBUSER_GET_USB2HW_VERSION, *PUSBUSER_GET_USB2HW_VERSION;

#pragma pack(pop)

static_assert(sizeof(USB_USER_ERROR_CODE) == 4 && sizeof(USB_CONTROLLER_FLAVOR) == 4 &&
              sizeof(WDMUSB_POWER_STATE) == 4);
static_assert(sizeof(USBUSER_REQUEST_HEADER) == 16 && offsetof(USBUSER_REQUEST_HEADER, UsbUserStatusCode) == 4 &&
              offsetof(USBUSER_REQUEST_HEADER, RequestBufferLength) == 8 &&
              offsetof(USBUSER_REQUEST_HEADER, ActualBufferLength) == 12);
static_assert(sizeof(USB_CONTROLLER_INFO_0) == 24 && offsetof(USB_CONTROLLER_INFO_0, ControllerFlavor) == 16);
static_assert(sizeof(USBUSER_CONTROLLER_INFO_0) == 40);
static_assert(sizeof(USB_UNICODE_NAME) == 6 && sizeof(USBUSER_CONTROLLER_UNICODE_NAME) == 22);
static_assert(sizeof(USB_PASS_THRU_PARAMETERS) == 24);
static_assert(sizeof(USB_POWER_INFO) == 34);
static_assert(sizeof(USB_BANDWIDTH_INFO) == 44);
static_assert(sizeof(USB_BUS_STATISTICS_0) == 56 && offsetof(USB_BUS_STATISTICS_0, CurrentUsbFrame) == 12);
static_assert(sizeof(USB_DRIVER_VERSION_PARAMETERS) == 16);
static_assert(sizeof(USBUSER_GET_USB2HW_VERSION) == 17);
