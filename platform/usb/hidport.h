// The interface between the HID class driver and its minidrivers (such as the USB HID minidriver): the
// internal requests the class driver sends down, and the HID class descriptor. The report-transfer
// requests reuse the codes of hidclass.h.
#pragma once

#include "hidclass.h"

#define IOCTL_HID_GET_DEVICE_DESCRIPTOR HID_CTL_CODE(0)
#define IOCTL_HID_GET_REPORT_DESCRIPTOR HID_CTL_CODE(1)
#define IOCTL_HID_READ_REPORT HID_CTL_CODE(2)
#define IOCTL_HID_WRITE_REPORT HID_CTL_CODE(3)
#define IOCTL_HID_GET_STRING HID_CTL_CODE(4)
#define IOCTL_HID_ACTIVATE_DEVICE HID_CTL_CODE(7)
#define IOCTL_HID_DEACTIVATE_DEVICE HID_CTL_CODE(8)
#define IOCTL_HID_GET_DEVICE_ATTRIBUTES HID_CTL_CODE(9)
#define IOCTL_HID_SEND_IDLE_NOTIFICATION_REQUEST HID_CTL_CODE(10)

// IOCTL_HID_GET_STRING: the string id in the low word of the input value, the language in the high word.
#define HID_STRING_ID_IMANUFACTURER 14
#define HID_STRING_ID_IPRODUCT 15
#define HID_STRING_ID_ISERIALNUMBER 16

// HID class descriptor types.
#define HID_HID_DESCRIPTOR_TYPE 0x21
#define HID_REPORT_DESCRIPTOR_TYPE 0x22
#define HID_PHYSICAL_DESCRIPTOR_TYPE 0x23

// HID class requests (bRequest of CLASS_INTERFACE requests).
#define HID_REQUEST_GET_REPORT 0x01
#define HID_REQUEST_GET_IDLE 0x02
#define HID_REQUEST_GET_PROTOCOL 0x03
#define HID_REQUEST_SET_REPORT 0x09
#define HID_REQUEST_SET_IDLE 0x0A
#define HID_REQUEST_SET_PROTOCOL 0x0B

// Report types (high byte of wValue of GET_REPORT and SET_REPORT).
#define HID_REPORT_TYPE_INPUT 0x01
#define HID_REPORT_TYPE_OUTPUT 0x02
#define HID_REPORT_TYPE_FEATURE 0x03

#pragma pack(push, 1)

// The HID class descriptor (type 0x21): bNumDescriptors entries of (type, length) follow bNumDescriptors.
typedef struct _HID_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT bcdHID;
    UCHAR bCountry;
    UCHAR bNumDescriptors;
    struct _HID_DESCRIPTOR_DESC_LIST {
        UCHAR bReportType;
        USHORT wReportLength;
    } DescriptorList[1];
} HID_DESCRIPTOR, *PHID_DESCRIPTOR;

#pragma pack(pop)

// IOCTL_HID_GET_DEVICE_ATTRIBUTES.
typedef struct _HID_DEVICE_ATTRIBUTES {
    ULONG Size;
    USHORT VendorID;
    USHORT ProductID;
    USHORT VersionNumber;
    USHORT Reserved[11];
} HID_DEVICE_ATTRIBUTES, *PHID_DEVICE_ATTRIBUTES;

struct _DEVICE_OBJECT;
struct _DRIVER_OBJECT;

// The device extension the class driver gives each functional device object it creates for a
// minidriver; the minidriver's own extension is MiniDeviceExtension.
typedef struct _HID_DEVICE_EXTENSION {
    struct _DEVICE_OBJECT* PhysicalDeviceObject;
    struct _DEVICE_OBJECT* NextDeviceObject;
    PVOID MiniDeviceExtension;
} HID_DEVICE_EXTENSION, *PHID_DEVICE_EXTENSION;

#define HID_REVISION 0x00000001

// What a minidriver hands to the class driver when it registers.
typedef struct _HID_MINIDRIVER_REGISTRATION {
    ULONG Revision;
    struct _DRIVER_OBJECT* DriverObject;
    PUNICODE_STRING RegistryPath;
    ULONG DeviceExtensionSize;
    BOOLEAN DevicesArePolled;
    UCHAR Reserved[3];
} HID_MINIDRIVER_REGISTRATION, *PHID_MINIDRIVER_REGISTRATION;

static_assert(sizeof(HID_DESCRIPTOR) == 9 && offsetof(HID_DESCRIPTOR, DescriptorList) == 6);
static_assert(sizeof(HID_DEVICE_ATTRIBUTES) == 32);
static_assert(sizeof(HID_DEVICE_EXTENSION) == 24);
static_assert(sizeof(HID_MINIDRIVER_REGISTRATION) == 32 &&
              offsetof(HID_MINIDRIVER_REGISTRATION, DeviceExtensionSize) == 24 &&
              offsetof(HID_MINIDRIVER_REGISTRATION, DevicesArePolled) == 28);
