// The USBDI bus interface: routines a USB client driver can call directly instead of sending an URB,
// obtained with IRP_MN_QUERY_INTERFACE for USB_BUS_INTERFACE_USBDI_GUID. Each version appends routines
// to the one before. The hub bus interface (USB_BUS_INTERFACE_HUB_GUID) is declared in hubbusif.h,
// included here.
#pragma once

#include "hubbusif.h"

DEFINE_GUID(USB_BUS_INTERFACE_USBDI_GUID, 0xB1A96A13, 0x3DE0, 0x4574, 0x9B, 0x01, 0xC0, 0x8F, 0xEA, 0xB3, 0x18, 0xD6);

#define USB_BUSIF_USBDI_VERSION_0 0x0000
#define USB_BUSIF_USBDI_VERSION_1 0x0001
#define USB_BUSIF_USBDI_VERSION_2 0x0002
#define USB_BUSIF_USBDI_VERSION_3 0x0003

// QueryBusInformation levels.
typedef struct _USB_BUS_INFORMATION_LEVEL_0 {
    ULONG TotalBandwidth; // bits per second
    ULONG ConsumedBandwidth;
} USB_BUS_INFORMATION_LEVEL_0, *PUSB_BUS_INFORMATION_LEVEL_0;

typedef struct _USB_BUS_INFORMATION_LEVEL_1 {
    ULONG TotalBandwidth;
    ULONG ConsumedBandwidth;
    ULONG ControllerNameLength; // bytes
    WCHAR ControllerNameUnicodeString[1];
} USB_BUS_INFORMATION_LEVEL_1, *PUSB_BUS_INFORMATION_LEVEL_1;

// HcdiOptionFlags of QueryControllerType.
#define USB_HCDI_OPTION_FLAG_HIGH_SPEED 0x00000001

typedef VOID(USB_BUSIFFN* PUSB_BUSIFFN_GETUSBDI_VERSION)(PVOID BusContext, PUSBD_VERSION_INFORMATION VersionInformation,
                                                         PULONG HcdCapabilities);
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_QUERY_BUS_TIME)(PVOID BusContext, PULONG CurrentUsbFrame);
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_SUBMIT_ISO_OUT_URB)(PVOID BusContext, PURB Urb);
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_QUERY_BUS_INFORMATION)(PVOID BusContext, ULONG Level,
                                                                  PVOID BusInformationBuffer,
                                                                  PULONG BusInformationBufferLength,
                                                                  PULONG BusInformationActualLength);
typedef BOOLEAN(USB_BUSIFFN* PUSB_BUSIFFN_IS_DEVICE_HIGH_SPEED)(PVOID BusContext);
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_ENUM_LOG_ENTRY)(PVOID BusContext, ULONG DriverTag, ULONG EnumTag, ULONG P1,
                                                           ULONG P2);
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_QUERY_BUS_TIME_EX)(PVOID BusContext, PULONG HighSpeedFrameCounter);
typedef NTSTATUS(USB_BUSIFFN* PUSB_BUSIFFN_QUERY_CONTROLLER_TYPE)(PVOID BusContext, PULONG HcdiOptionFlags,
                                                                  PUSHORT PciVendorId, PUSHORT PciDeviceId,
                                                                  PUCHAR PciClass, PUCHAR PciSubClass,
                                                                  PUCHAR PciRevisionId, PUCHAR PciProgIf);

// Each version repeats the header and the routines of the versions before it, then adds its own.
#define USB_BUS_INTERFACE_USBDI_V0_ROUTINES                                                                            \
    PUSB_BUSIFFN_GETUSBDI_VERSION GetUSBDIVersion;                                                                     \
    PUSB_BUSIFFN_QUERY_BUS_TIME QueryBusTime;                                                                          \
    PUSB_BUSIFFN_SUBMIT_ISO_OUT_URB SubmitIsoOutUrb;                                                                   \
    PUSB_BUSIFFN_QUERY_BUS_INFORMATION QueryBusInformation

typedef struct _USB_BUS_INTERFACE_USBDI_V0 {
    USB_BUS_INTERFACE_HUB_HEADER;
    USB_BUS_INTERFACE_USBDI_V0_ROUTINES;
} USB_BUS_INTERFACE_USBDI_V0, *PUSB_BUS_INTERFACE_USBDI_V0;

typedef struct _USB_BUS_INTERFACE_USBDI_V1 {
    USB_BUS_INTERFACE_HUB_HEADER;
    USB_BUS_INTERFACE_USBDI_V0_ROUTINES;
    PUSB_BUSIFFN_IS_DEVICE_HIGH_SPEED IsDeviceHighSpeed;
} USB_BUS_INTERFACE_USBDI_V1, *PUSB_BUS_INTERFACE_USBDI_V1;

typedef struct _USB_BUS_INTERFACE_USBDI_V2 {
    USB_BUS_INTERFACE_HUB_HEADER;
    USB_BUS_INTERFACE_USBDI_V0_ROUTINES;
    PUSB_BUSIFFN_IS_DEVICE_HIGH_SPEED IsDeviceHighSpeed;
    PUSB_BUSIFFN_ENUM_LOG_ENTRY EnumLogEntry;
} USB_BUS_INTERFACE_USBDI_V2, *PUSB_BUS_INTERFACE_USBDI_V2;

typedef struct _USB_BUS_INTERFACE_USBDI_V3 {
    USB_BUS_INTERFACE_HUB_HEADER;
    USB_BUS_INTERFACE_USBDI_V0_ROUTINES;
    PUSB_BUSIFFN_IS_DEVICE_HIGH_SPEED IsDeviceHighSpeed;
    PUSB_BUSIFFN_ENUM_LOG_ENTRY EnumLogEntry;
    PUSB_BUSIFFN_QUERY_BUS_TIME_EX QueryBusTimeEx;
    PUSB_BUSIFFN_QUERY_CONTROLLER_TYPE QueryControllerType;
} USB_BUS_INTERFACE_USBDI_V3, *PUSB_BUS_INTERFACE_USBDI_V3;

static_assert(sizeof(USB_BUS_INFORMATION_LEVEL_0) == 8 &&
              offsetof(USB_BUS_INFORMATION_LEVEL_1, ControllerNameUnicodeString) == 12);
static_assert(offsetof(USB_BUS_INTERFACE_USBDI_V0, GetUSBDIVersion) == 32 && sizeof(USB_BUS_INTERFACE_USBDI_V0) == 64);
static_assert(sizeof(USB_BUS_INTERFACE_USBDI_V1) == 72 && sizeof(USB_BUS_INTERFACE_USBDI_V2) == 80);
static_assert(sizeof(USB_BUS_INTERFACE_USBDI_V3) == 96 &&
              offsetof(USB_BUS_INTERFACE_USBDI_V3, QueryControllerType) == 88);
