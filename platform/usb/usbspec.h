// USB wire formats shared by every layer: setup packets, standard requests, descriptors of USB 2.0
// chapter 9 and USB 3.x chapter 9, the hub class (USB 2.0 chapter 11, USB 3.x chapter 10), class codes
// and the status words hubs return. Everything here travels on the bus or in descriptor buffers, so
// every structure is byte-packed and little-endian.
#pragma once

#include "ntdef.h"

// ---------------------------------------------------------------------------------------------
// Requests

// Standard request codes (bRequest).
#define USB_REQUEST_GET_STATUS 0x00
#define USB_REQUEST_CLEAR_FEATURE 0x01
#define USB_REQUEST_SET_FEATURE 0x03
#define USB_REQUEST_SET_ADDRESS 0x05
#define USB_REQUEST_GET_DESCRIPTOR 0x06
#define USB_REQUEST_SET_DESCRIPTOR 0x07
#define USB_REQUEST_GET_CONFIGURATION 0x08
#define USB_REQUEST_SET_CONFIGURATION 0x09
#define USB_REQUEST_GET_INTERFACE 0x0A
#define USB_REQUEST_SET_INTERFACE 0x0B
#define USB_REQUEST_SYNC_FRAME 0x0C
#define USB_REQUEST_SET_SEL 0x30
#define USB_REQUEST_ISOCH_DELAY 0x31

// Hub class request codes beyond the standard ones (USB 2.0 11.24.2, USB 3.x 10.14.2).
#define USB_REQUEST_GET_STATE 0x02
#define USB_REQUEST_CLEAR_TT_BUFFER 0x08
#define USB_REQUEST_RESET_TT 0x09
#define USB_REQUEST_GET_TT_STATE 0x0A
#define USB_REQUEST_STOP_TT 0x0B
#define USB_REQUEST_SET_HUB_DEPTH 0x0C
#define USB_REQUEST_GET_PORT_ERR_COUNT 0x0D

// bmRequestType fields.
#define BMREQUEST_HOST_TO_DEVICE 0
#define BMREQUEST_DEVICE_TO_HOST 1
#define BMREQUEST_STANDARD 0
#define BMREQUEST_CLASS 1
#define BMREQUEST_VENDOR 2
#define BMREQUEST_TO_DEVICE 0
#define BMREQUEST_TO_INTERFACE 1
#define BMREQUEST_TO_ENDPOINT 2
#define BMREQUEST_TO_OTHER 3

// Builds a bmRequestType byte from direction, type and recipient.
#define USB_MAKE_REQUEST_TYPE(dir, type, recipient) ((UCHAR)(((dir) << 7) | ((type) << 5) | ((recipient)&0x1F)))

// Standard feature selectors (wValue of SET_FEATURE and CLEAR_FEATURE).
#define USB_FEATURE_ENDPOINT_STALL 0x0000
#define USB_FEATURE_REMOTE_WAKEUP 0x0001
#define USB_FEATURE_TEST_MODE 0x0002
#define USB_FEATURE_FUNCTION_SUSPEND 0x0000
#define USB_FEATURE_U1_ENABLE 0x0030
#define USB_FEATURE_U2_ENABLE 0x0031
#define USB_FEATURE_LTM_ENABLE 0x0032

// Bits of the device status word returned by GET_STATUS.
#define USB_GETSTATUS_SELF_POWERED 0x01
#define USB_GETSTATUS_REMOTE_WAKEUP_ENABLED 0x02
#define USB_GETSTATUS_U1_ENABLE 0x04
#define USB_GETSTATUS_U2_ENABLE 0x08
#define USB_GETSTATUS_LTM_ENABLE 0x10

// ---------------------------------------------------------------------------------------------
// Descriptor types and codes

#define USB_DEVICE_DESCRIPTOR_TYPE 0x01
#define USB_CONFIGURATION_DESCRIPTOR_TYPE 0x02
#define USB_STRING_DESCRIPTOR_TYPE 0x03
#define USB_INTERFACE_DESCRIPTOR_TYPE 0x04
#define USB_ENDPOINT_DESCRIPTOR_TYPE 0x05
#define USB_DEVICE_QUALIFIER_DESCRIPTOR_TYPE 0x06
#define USB_OTHER_SPEED_CONFIGURATION_DESCRIPTOR_TYPE 0x07
#define USB_INTERFACE_POWER_DESCRIPTOR_TYPE 0x08
#define USB_OTG_DESCRIPTOR_TYPE 0x09
#define USB_DEBUG_DESCRIPTOR_TYPE 0x0A
#define USB_INTERFACE_ASSOCIATION_DESCRIPTOR_TYPE 0x0B
#define USB_BOS_DESCRIPTOR_TYPE 0x0F
#define USB_DEVICE_CAPABILITY_DESCRIPTOR_TYPE 0x10
#define USB_20_HUB_DESCRIPTOR_TYPE 0x29
#define USB_30_HUB_DESCRIPTOR_TYPE 0x2A
#define USB_SUPERSPEED_ENDPOINT_COMPANION_DESCRIPTOR_TYPE 0x30
#define USB_SUPERSPEEDPLUS_ISOCH_ENDPOINT_COMPANION_DESCRIPTOR_TYPE 0x31

// wValue of GET_DESCRIPTOR: type in the high byte, index in the low byte.
#define USB_DESCRIPTOR_MAKE_TYPE_AND_INDEX(d, i) ((USHORT)((USHORT)(d) << 8 | (i)))

// Device capability types (bDevCapabilityType).
#define USB_DEVICE_CAPABILITY_WIRELESS_USB 0x01
#define USB_DEVICE_CAPABILITY_USB20_EXTENSION 0x02
#define USB_DEVICE_CAPABILITY_SUPERSPEED_USB 0x03
#define USB_DEVICE_CAPABILITY_CONTAINER_ID 0x04
#define USB_DEVICE_CAPABILITY_PLATFORM 0x05
#define USB_DEVICE_CAPABILITY_POWER_DELIVERY 0x06
#define USB_DEVICE_CAPABILITY_BATTERY_INFO 0x07
#define USB_DEVICE_CAPABILITY_PD_CONSUMER_PORT 0x08
#define USB_DEVICE_CAPABILITY_PD_PROVIDER_PORT 0x09
#define USB_DEVICE_CAPABILITY_SUPERSPEEDPLUS_USB 0x0A
#define USB_DEVICE_CAPABILITY_PRECISION_TIME_MEASUREMENT 0x0B
#define USB_DEVICE_CAPABILITY_BILLBOARD 0x0D

// Endpoint address and attributes.
#define USB_ENDPOINT_DIRECTION_MASK 0x80
#define USB_ENDPOINT_DIRECTION_OUT(addr) (!((addr)&USB_ENDPOINT_DIRECTION_MASK))
#define USB_ENDPOINT_DIRECTION_IN(addr) ((addr)&USB_ENDPOINT_DIRECTION_MASK)
#define USB_ENDPOINT_ADDRESS_MASK 0x0F
#define USB_ENDPOINT_TYPE_MASK 0x03
#define USB_ENDPOINT_TYPE_CONTROL 0x00
#define USB_ENDPOINT_TYPE_ISOCHRONOUS 0x01
#define USB_ENDPOINT_TYPE_BULK 0x02
#define USB_ENDPOINT_TYPE_INTERRUPT 0x03

// Configuration attributes (bmAttributes).
#define USB_CONFIG_POWERED_MASK 0xC0
#define USB_CONFIG_BUS_POWERED 0x80
#define USB_CONFIG_SELF_POWERED 0x40
#define USB_CONFIG_REMOTE_WAKEUP 0x20
#define USB_CONFIG_RESERVED 0x1F

// Class codes (bDeviceClass, bInterfaceClass).
#define USB_DEVICE_CLASS_RESERVED 0x00
#define USB_DEVICE_CLASS_AUDIO 0x01
#define USB_DEVICE_CLASS_COMMUNICATIONS 0x02
#define USB_DEVICE_CLASS_HUMAN_INTERFACE 0x03
#define USB_DEVICE_CLASS_MONITOR 0x04
#define USB_DEVICE_CLASS_PHYSICAL_INTERFACE 0x05
#define USB_DEVICE_CLASS_POWER 0x06
#define USB_DEVICE_CLASS_IMAGE 0x06
#define USB_DEVICE_CLASS_PRINTER 0x07
#define USB_DEVICE_CLASS_STORAGE 0x08
#define USB_DEVICE_CLASS_HUB 0x09
#define USB_DEVICE_CLASS_CDC_DATA 0x0A
#define USB_DEVICE_CLASS_SMART_CARD 0x0B
#define USB_DEVICE_CLASS_CONTENT_SECURITY 0x0D
#define USB_DEVICE_CLASS_VIDEO 0x0E
#define USB_DEVICE_CLASS_PERSONAL_HEALTHCARE 0x0F
#define USB_DEVICE_CLASS_AUDIO_VIDEO 0x10
#define USB_DEVICE_CLASS_BILLBOARD 0x11
#define USB_DEVICE_CLASS_DIAGNOSTIC_DEVICE 0xDC
#define USB_DEVICE_CLASS_WIRELESS_CONTROLLER 0xE0
#define USB_DEVICE_CLASS_MISCELLANEOUS 0xEF
#define USB_DEVICE_CLASS_APPLICATION_SPECIFIC 0xFE
#define USB_DEVICE_CLASS_VENDOR_SPECIFIC 0xFF

// Hub protocols of a hub device (bDeviceProtocol with class 9).
#define USB_HUB_PROTOCOL_FULL_SPEED 0x00
#define USB_HUB_PROTOCOL_HIGH_SPEED_SINGLE_TT 0x01
#define USB_HUB_PROTOCOL_HIGH_SPEED_MULTI_TT 0x02
#define USB_HUB_PROTOCOL_SUPERSPEED 0x03

// Mass-storage subclass and bulk-only transport protocol; printer subclass.
#define USB_MASS_STORAGE_SUBCLASS_SCSI 0x06
#define USB_MASS_STORAGE_PROTOCOL_BULK_ONLY 0x50
#define USB_PRINTER_SUBCLASS_PRINTER 0x01

// Bus speeds, as the USB driver stack names them.
typedef enum _USB_DEVICE_SPEED : int { UsbLowSpeed = 0, UsbFullSpeed, UsbHighSpeed, UsbSuperSpeed } USB_DEVICE_SPEED;

typedef enum _USB_DEVICE_TYPE : int { Usb11Device = 0, Usb20Device } USB_DEVICE_TYPE;

#pragma pack(push, 1)

// ---------------------------------------------------------------------------------------------
// Setup packet

typedef union _BM_REQUEST_TYPE {
    struct _BM {
        UCHAR Recipient : 2;
        UCHAR Reserved : 3;
        UCHAR Type : 2;
        UCHAR Dir : 1;
    } s;
    UCHAR B;
} BM_REQUEST_TYPE, *PBM_REQUEST_TYPE;

typedef struct _USB_DEFAULT_PIPE_SETUP_PACKET {
    BM_REQUEST_TYPE bmRequestType;
    UCHAR bRequest;
    union _wValue {
        struct {
            UCHAR LowByte;
            UCHAR HiByte;
        } Bytes;
        USHORT W;
    } wValue;
    union _wIndex {
        struct {
            UCHAR LowByte;
            UCHAR HiByte;
        } Bytes;
        USHORT W;
    } wIndex;
    USHORT wLength;
} USB_DEFAULT_PIPE_SETUP_PACKET, *PUSB_DEFAULT_PIPE_SETUP_PACKET;

// ---------------------------------------------------------------------------------------------
// Standard descriptors

typedef struct _USB_COMMON_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
} USB_COMMON_DESCRIPTOR, *PUSB_COMMON_DESCRIPTOR;

typedef struct _USB_DEVICE_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT bcdUSB;
    UCHAR bDeviceClass;
    UCHAR bDeviceSubClass;
    UCHAR bDeviceProtocol;
    UCHAR bMaxPacketSize0;
    USHORT idVendor;
    USHORT idProduct;
    USHORT bcdDevice;
    UCHAR iManufacturer;
    UCHAR iProduct;
    UCHAR iSerialNumber;
    UCHAR bNumConfigurations;
} USB_DEVICE_DESCRIPTOR, *PUSB_DEVICE_DESCRIPTOR;

// Also the layout of the other-speed configuration descriptor (type 7).
typedef struct _USB_CONFIGURATION_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT wTotalLength;
    UCHAR bNumInterfaces;
    UCHAR bConfigurationValue;
    UCHAR iConfiguration;
    UCHAR bmAttributes;
    UCHAR MaxPower;
} USB_CONFIGURATION_DESCRIPTOR, *PUSB_CONFIGURATION_DESCRIPTOR;

typedef USB_CONFIGURATION_DESCRIPTOR USB_OTHER_SPEED_CONFIGURATION_DESCRIPTOR;
typedef USB_CONFIGURATION_DESCRIPTOR* PUSB_OTHER_SPEED_CONFIGURATION_DESCRIPTOR;

typedef struct _USB_INTERFACE_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bInterfaceNumber;
    UCHAR bAlternateSetting;
    UCHAR bNumEndpoints;
    UCHAR bInterfaceClass;
    UCHAR bInterfaceSubClass;
    UCHAR bInterfaceProtocol;
    UCHAR iInterface;
} USB_INTERFACE_DESCRIPTOR, *PUSB_INTERFACE_DESCRIPTOR;

typedef struct _USB_ENDPOINT_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bEndpointAddress;
    UCHAR bmAttributes;
    USHORT wMaxPacketSize;
    UCHAR bInterval;
} USB_ENDPOINT_DESCRIPTOR, *PUSB_ENDPOINT_DESCRIPTOR;

// wMaxPacketSize of a high-speed endpoint: packet size and additional transactions per microframe.
typedef union _USB_HIGH_SPEED_MAXPACKET {
    struct _MP {
        USHORT MaxPacket : 11;
        USHORT HSmux : 2;
        USHORT Reserved : 3;
    } HSmux;
    USHORT us;
} USB_HIGH_SPEED_MAXPACKET, *PUSB_HIGH_SPEED_MAXPACKET;

// bString holds (bLength - 2) / 2 UTF-16 code units; string 0 holds the language IDs instead.
typedef struct _USB_STRING_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    WCHAR bString[1];
} USB_STRING_DESCRIPTOR, *PUSB_STRING_DESCRIPTOR;

#define MAXIMUM_USB_STRING_LENGTH 255

typedef struct _USB_DEVICE_QUALIFIER_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT bcdUSB;
    UCHAR bDeviceClass;
    UCHAR bDeviceSubClass;
    UCHAR bDeviceProtocol;
    UCHAR bMaxPacketSize0;
    UCHAR bNumConfigurations;
    UCHAR bReserved;
} USB_DEVICE_QUALIFIER_DESCRIPTOR, *PUSB_DEVICE_QUALIFIER_DESCRIPTOR;

typedef struct _USB_INTERFACE_ASSOCIATION_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bFirstInterface;
    UCHAR bInterfaceCount;
    UCHAR bFunctionClass;
    UCHAR bFunctionSubClass;
    UCHAR bFunctionProtocol;
    UCHAR iFunction;
} USB_INTERFACE_ASSOCIATION_DESCRIPTOR, *PUSB_INTERFACE_ASSOCIATION_DESCRIPTOR;

// ---------------------------------------------------------------------------------------------
// Binary device object store and device capabilities

typedef struct _USB_BOS_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT wTotalLength;
    UCHAR bNumDeviceCaps;
} USB_BOS_DESCRIPTOR, *PUSB_BOS_DESCRIPTOR;

typedef struct _USB_DEVICE_CAPABILITY_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bDevCapabilityType;
} USB_DEVICE_CAPABILITY_DESCRIPTOR, *PUSB_DEVICE_CAPABILITY_DESCRIPTOR;

typedef struct _USB_DEVICE_CAPABILITY_USB20_EXTENSION_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bDevCapabilityType;
    union {
        ULONG AsUlong;
        struct {
            ULONG Reserved : 1;
            ULONG LPMCapable : 1;
            ULONG BESLAndAlternateHIRDSupported : 1;
            ULONG BaselineBESLValid : 1;
            ULONG DeepBESLValid : 1;
            ULONG Reserved1 : 3;
            ULONG BaselineBESL : 4;
            ULONG DeepBESL : 4;
            ULONG Reserved2 : 16;
        };
    } bmAttributes;
} USB_DEVICE_CAPABILITY_USB20_EXTENSION_DESCRIPTOR, *PUSB_DEVICE_CAPABILITY_USB20_EXTENSION_DESCRIPTOR;

#define USB_DEVICE_CAPABILITY_USB20_EXTENSION_BMATTRIBUTES_LPM_CAPABLE 0x00000002

typedef struct _USB_DEVICE_CAPABILITY_SUPERSPEED_USB_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bDevCapabilityType;
    UCHAR bmAttributes;
    USHORT wSpeedsSupported;
    UCHAR bFunctionalitySupport;
    UCHAR bU1DevExitLat;
    USHORT wU2DevExitLat;
} USB_DEVICE_CAPABILITY_SUPERSPEED_USB_DESCRIPTOR, *PUSB_DEVICE_CAPABILITY_SUPERSPEED_USB_DESCRIPTOR;

#define USB_DEVICE_CAPABILITY_SUPERSPEED_BMATTRIBUTES_LTM_CAPABLE 0x02
#define USB_DEVICE_CAPABILITY_SUPERSPEED_SPEEDS_SUPPORTED_LOW 0x0001
#define USB_DEVICE_CAPABILITY_SUPERSPEED_SPEEDS_SUPPORTED_FULL 0x0002
#define USB_DEVICE_CAPABILITY_SUPERSPEED_SPEEDS_SUPPORTED_HIGH 0x0004
#define USB_DEVICE_CAPABILITY_SUPERSPEED_SPEEDS_SUPPORTED_SUPER 0x0008

typedef struct _USB_DEVICE_CAPABILITY_CONTAINER_ID_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bDevCapabilityType;
    UCHAR bReserved;
    UCHAR ContainerID[16];
} USB_DEVICE_CAPABILITY_CONTAINER_ID_DESCRIPTOR, *PUSB_DEVICE_CAPABILITY_CONTAINER_ID_DESCRIPTOR;

// Followed by CapabilityData: bLength - 20 bytes.
typedef struct _USB_DEVICE_CAPABILITY_PLATFORM_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bDevCapabilityType;
    UCHAR bReserved;
    GUID PlatformCapabilityUuid;
    UCHAR CapabilityData[1];
} USB_DEVICE_CAPABILITY_PLATFORM_DESCRIPTOR, *PUSB_DEVICE_CAPABILITY_PLATFORM_DESCRIPTOR;

// Followed by (SublinkSpeedAttrCount + 1) 32-bit sublink speed attributes.
typedef struct _USB_DEVICE_CAPABILITY_SUPERSPEEDPLUS_USB_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bDevCapabilityType;
    UCHAR bReserved;
    ULONG bmAttributes;
    USHORT wFunctionalitySupport;
    USHORT wReserved;
    ULONG bmSublinkSpeedAttr[1];
} USB_DEVICE_CAPABILITY_SUPERSPEEDPLUS_USB_DESCRIPTOR, *PUSB_DEVICE_CAPABILITY_SUPERSPEEDPLUS_USB_DESCRIPTOR;

typedef struct _USB_SUPERSPEED_ENDPOINT_COMPANION_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bMaxBurst;
    union {
        UCHAR AsUchar;
        struct {
            UCHAR MaxStreams : 5;
            UCHAR Reserved1 : 3;
        } Bulk;
        struct {
            UCHAR Mult : 2;
            UCHAR Reserved2 : 5;
            UCHAR SspCompanion : 1;
        } Isochronous;
    } bmAttributes;
    USHORT wBytesPerInterval;
} USB_SUPERSPEED_ENDPOINT_COMPANION_DESCRIPTOR, *PUSB_SUPERSPEED_ENDPOINT_COMPANION_DESCRIPTOR;

typedef struct _USB_SUPERSPEEDPLUS_ISOCH_ENDPOINT_COMPANION_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    USHORT wReserved;
    ULONG dwBytesPerInterval;
} USB_SUPERSPEEDPLUS_ISOCH_ENDPOINT_COMPANION_DESCRIPTOR, *PUSB_SUPERSPEEDPLUS_ISOCH_ENDPOINT_COMPANION_DESCRIPTOR;

// ---------------------------------------------------------------------------------------------
// Hub class descriptors

// The USB 2.0 hub descriptor (type 0x29) as hubs report it through the hub IOCTLs: the variable
// DeviceRemovable and PortPwrCtrlMask bitmaps sit in bRemoveAndPowerMask, sized for 255 ports.
typedef struct _USB_HUB_DESCRIPTOR {
    UCHAR bDescriptorLength;
    UCHAR bDescriptorType;
    UCHAR bNumberOfPorts;
    USHORT wHubCharacteristics;
    UCHAR bPowerOnToPowerGood;
    UCHAR bHubControlCurrent;
    UCHAR bRemoveAndPowerMask[64];
} USB_HUB_DESCRIPTOR, *PUSB_HUB_DESCRIPTOR;

// The SuperSpeed hub descriptor (type 0x2A).
typedef struct _USB_30_HUB_DESCRIPTOR {
    UCHAR bLength;
    UCHAR bDescriptorType;
    UCHAR bNumberOfPorts;
    USHORT wHubCharacteristics;
    UCHAR bPowerOnToPowerGood;
    UCHAR bHubControlCurrent;
    UCHAR bHubHdrDecLat;
    USHORT wHubDelay;
    USHORT DeviceRemovable;
} USB_30_HUB_DESCRIPTOR, *PUSB_30_HUB_DESCRIPTOR;

typedef union _USB_HUB_CHARACTERISTICS {
    USHORT AsUshort16;
    struct {
        USHORT PowerSwitchType : 2;
        USHORT CompoundDevice : 1;
        USHORT OverCurrentProtectionMode : 2;
        USHORT TtThinkTime : 2;
        USHORT PortIndicatorsSupported : 1;
        USHORT Reserved : 8;
    } Usb20;
} USB_HUB_CHARACTERISTICS, *PUSB_HUB_CHARACTERISTICS;

// ---------------------------------------------------------------------------------------------
// Hub and port status words (GET_STATUS to a hub or to one of its ports)

typedef union _USB_HUB_STATUS {
    USHORT AsUshort16;
    struct {
        USHORT LocalPowerLost : 1;
        USHORT OverCurrent : 1;
        USHORT Reserved : 14;
    };
} USB_HUB_STATUS, *PUSB_HUB_STATUS;

typedef union _USB_HUB_CHANGE {
    USHORT AsUshort16;
    struct {
        USHORT LocalPowerChange : 1;
        USHORT OverCurrentChange : 1;
        USHORT Reserved : 14;
    };
} USB_HUB_CHANGE, *PUSB_HUB_CHANGE;

typedef union _USB_HUB_STATUS_AND_CHANGE {
    ULONG AsUlong32;
    struct {
        USB_HUB_STATUS HubStatus;
        USB_HUB_CHANGE HubChange;
    };
} USB_HUB_STATUS_AND_CHANGE, *PUSB_HUB_STATUS_AND_CHANGE;

typedef union _USB_20_PORT_STATUS {
    USHORT AsUshort16;
    struct {
        USHORT CurrentConnectStatus : 1;
        USHORT PortEnabledDisabled : 1;
        USHORT Suspend : 1;
        USHORT OverCurrent : 1;
        USHORT Reset : 1;
        USHORT Reserved0 : 3;
        USHORT PortPower : 1;
        USHORT LowSpeedDeviceAttached : 1;
        USHORT HighSpeedDeviceAttached : 1;
        USHORT PortTestMode : 1;
        USHORT PortIndicatorControl : 1;
        USHORT Reserved1 : 3;
    };
} USB_20_PORT_STATUS, *PUSB_20_PORT_STATUS;

typedef union _USB_20_PORT_CHANGE {
    USHORT AsUshort16;
    struct {
        USHORT ConnectStatusChange : 1;
        USHORT PortEnableDisableChange : 1;
        USHORT SuspendChange : 1;
        USHORT OverCurrentIndicatorChange : 1;
        USHORT ResetChange : 1;
        USHORT Reserved2 : 11;
    };
} USB_20_PORT_CHANGE, *PUSB_20_PORT_CHANGE;

typedef union _USB_30_PORT_STATUS {
    USHORT AsUshort16;
    struct {
        USHORT CurrentConnectStatus : 1;
        USHORT PortEnabledDisabled : 1;
        USHORT Reserved0 : 1;
        USHORT OverCurrent : 1;
        USHORT Reset : 1;
        USHORT PortLinkState : 4;
        USHORT PortPower : 1;
        USHORT NegotiatedDeviceSpeed : 3;
        USHORT Reserved1 : 3;
    };
} USB_30_PORT_STATUS, *PUSB_30_PORT_STATUS;

typedef union _USB_30_PORT_CHANGE {
    USHORT AsUshort16;
    struct {
        USHORT ConnectStatusChange : 1;
        USHORT Reserved2 : 2;
        USHORT OverCurrentIndicatorChange : 1;
        USHORT ResetChange : 1;
        USHORT BHResetChange : 1;
        USHORT PortLinkStateChange : 1;
        USHORT PortConfigErrorChange : 1;
        USHORT Reserved3 : 8;
    };
} USB_30_PORT_CHANGE, *PUSB_30_PORT_CHANGE;

typedef union _USB_PORT_STATUS {
    USHORT AsUshort16;
    USB_20_PORT_STATUS Usb20PortStatus;
    USB_30_PORT_STATUS Usb30PortStatus;
} USB_PORT_STATUS, *PUSB_PORT_STATUS;

typedef union _USB_PORT_CHANGE {
    USHORT AsUshort16;
    USB_20_PORT_CHANGE Usb20PortChange;
    USB_30_PORT_CHANGE Usb30PortChange;
} USB_PORT_CHANGE, *PUSB_PORT_CHANGE;

typedef union _USB_PORT_STATUS_AND_CHANGE {
    ULONG AsUlong32;
    struct {
        USB_PORT_STATUS PortStatus;
        USB_PORT_CHANGE PortChange;
    };
} USB_PORT_STATUS_AND_CHANGE, *PUSB_PORT_STATUS_AND_CHANGE;

#pragma pack(pop)

// Hub feature selectors (wValue of CLEAR_FEATURE and SET_FEATURE to the hub).
#define USB_HUB_FEATURE_C_HUB_LOCAL_POWER 0
#define USB_HUB_FEATURE_C_HUB_OVER_CURRENT 1

// Port feature selectors (wValue of CLEAR_FEATURE and SET_FEATURE to a port); USB 2.0 and SuperSpeed.
#define USB_PORT_FEATURE_PORT_CONNECTION 0
#define USB_PORT_FEATURE_PORT_ENABLE 1
#define USB_PORT_FEATURE_PORT_SUSPEND 2
#define USB_PORT_FEATURE_PORT_OVER_CURRENT 3
#define USB_PORT_FEATURE_PORT_RESET 4
#define USB_PORT_FEATURE_PORT_LINK_STATE 5
#define USB_PORT_FEATURE_PORT_POWER 8
#define USB_PORT_FEATURE_PORT_LOW_SPEED 9
#define USB_PORT_FEATURE_C_PORT_CONNECTION 16
#define USB_PORT_FEATURE_C_PORT_ENABLE 17
#define USB_PORT_FEATURE_C_PORT_SUSPEND 18
#define USB_PORT_FEATURE_C_PORT_OVER_CURRENT 19
#define USB_PORT_FEATURE_C_PORT_RESET 20
#define USB_PORT_FEATURE_PORT_TEST 21
#define USB_PORT_FEATURE_PORT_INDICATOR 22
#define USB_PORT_FEATURE_PORT_U1_TIMEOUT 23
#define USB_PORT_FEATURE_PORT_U2_TIMEOUT 24
#define USB_PORT_FEATURE_C_PORT_LINK_STATE 25
#define USB_PORT_FEATURE_C_PORT_CONFIG_ERROR 26
#define USB_PORT_FEATURE_PORT_REMOTE_WAKE_MASK 27
#define USB_PORT_FEATURE_BH_PORT_RESET 28
#define USB_PORT_FEATURE_C_BH_PORT_RESET 29
#define USB_PORT_FEATURE_FORCE_LINKPM_ACCEPT 30

// USB 2.0 port status and change bits, as masks of wPortStatus and wPortChange.
#define USB_PORT_STATUS_CONNECT 0x0001
#define USB_PORT_STATUS_ENABLE 0x0002
#define USB_PORT_STATUS_SUSPEND 0x0004
#define USB_PORT_STATUS_OVER_CURRENT 0x0008
#define USB_PORT_STATUS_RESET 0x0010
#define USB_PORT_STATUS_POWER 0x0100
#define USB_PORT_STATUS_LOW_SPEED 0x0200
#define USB_PORT_STATUS_HIGH_SPEED 0x0400
#define USB_PORT_STATUS_TEST 0x0800
#define USB_PORT_STATUS_INDICATOR 0x1000

#define USB_PORT_CHANGE_CONNECT 0x0001
#define USB_PORT_CHANGE_ENABLE 0x0002
#define USB_PORT_CHANGE_SUSPEND 0x0004
#define USB_PORT_CHANGE_OVER_CURRENT 0x0008
#define USB_PORT_CHANGE_RESET 0x0010

// SuperSpeed port status: power moves to bit 9, the link state occupies bits 5-8 and the negotiated
// speed bits 10-12 (0 = 5 Gb/s).
#define USB_30_PORT_STATUS_POWER 0x0200
#define USB_30_PORT_STATUS_LINK_STATE_SHIFT 5
#define USB_30_PORT_STATUS_LINK_STATE_MASK 0x01E0
#define USB_30_PORT_STATUS_SPEED_SHIFT 10
#define USB_30_PORT_STATUS_SPEED_MASK 0x1C00

#define USB_30_PORT_CHANGE_BH_RESET 0x0020
#define USB_30_PORT_CHANGE_LINK_STATE 0x0040
#define USB_30_PORT_CHANGE_CONFIG_ERROR 0x0080

// SuperSpeed link states (PortLinkState).
#define USB_PORT_LINK_STATE_U0 0
#define USB_PORT_LINK_STATE_U1 1
#define USB_PORT_LINK_STATE_U2 2
#define USB_PORT_LINK_STATE_U3 3
#define USB_PORT_LINK_STATE_SS_DISABLED 4
#define USB_PORT_LINK_STATE_RX_DETECT 5
#define USB_PORT_LINK_STATE_SS_INACTIVE 6
#define USB_PORT_LINK_STATE_POLLING 7
#define USB_PORT_LINK_STATE_RECOVERY 8
#define USB_PORT_LINK_STATE_HOT_RESET 9
#define USB_PORT_LINK_STATE_COMPLIANCE_MODE 10
#define USB_PORT_LINK_STATE_LOOPBACK 11

static_assert(sizeof(USB_DEFAULT_PIPE_SETUP_PACKET) == 8);
static_assert(offsetof(USB_DEFAULT_PIPE_SETUP_PACKET, wValue) == 2 &&
              offsetof(USB_DEFAULT_PIPE_SETUP_PACKET, wIndex) == 4 &&
              offsetof(USB_DEFAULT_PIPE_SETUP_PACKET, wLength) == 6);
static_assert(sizeof(USB_COMMON_DESCRIPTOR) == 2);
static_assert(sizeof(USB_DEVICE_DESCRIPTOR) == 18);
static_assert(offsetof(USB_DEVICE_DESCRIPTOR, bDeviceClass) == 4 && offsetof(USB_DEVICE_DESCRIPTOR, idVendor) == 8 &&
              offsetof(USB_DEVICE_DESCRIPTOR, bNumConfigurations) == 17);
static_assert(sizeof(USB_CONFIGURATION_DESCRIPTOR) == 9);
static_assert(offsetof(USB_CONFIGURATION_DESCRIPTOR, wTotalLength) == 2 &&
              offsetof(USB_CONFIGURATION_DESCRIPTOR, bConfigurationValue) == 5);
static_assert(sizeof(USB_INTERFACE_DESCRIPTOR) == 9);
static_assert(sizeof(USB_ENDPOINT_DESCRIPTOR) == 7);
static_assert(offsetof(USB_ENDPOINT_DESCRIPTOR, wMaxPacketSize) == 4 &&
              offsetof(USB_ENDPOINT_DESCRIPTOR, bInterval) == 6);
static_assert(sizeof(USB_HIGH_SPEED_MAXPACKET) == 2);
static_assert(offsetof(USB_STRING_DESCRIPTOR, bString) == 2);
static_assert(sizeof(USB_DEVICE_QUALIFIER_DESCRIPTOR) == 10);
static_assert(sizeof(USB_INTERFACE_ASSOCIATION_DESCRIPTOR) == 8);
static_assert(sizeof(USB_BOS_DESCRIPTOR) == 5);
static_assert(sizeof(USB_DEVICE_CAPABILITY_DESCRIPTOR) == 3);
static_assert(sizeof(USB_DEVICE_CAPABILITY_USB20_EXTENSION_DESCRIPTOR) == 7);
static_assert(sizeof(USB_DEVICE_CAPABILITY_SUPERSPEED_USB_DESCRIPTOR) == 10);
static_assert(sizeof(USB_DEVICE_CAPABILITY_CONTAINER_ID_DESCRIPTOR) == 20);
static_assert(offsetof(USB_DEVICE_CAPABILITY_PLATFORM_DESCRIPTOR, CapabilityData) == 20);
static_assert(offsetof(USB_DEVICE_CAPABILITY_SUPERSPEEDPLUS_USB_DESCRIPTOR, bmSublinkSpeedAttr) == 12);
static_assert(sizeof(USB_SUPERSPEED_ENDPOINT_COMPANION_DESCRIPTOR) == 6);
static_assert(sizeof(USB_SUPERSPEEDPLUS_ISOCH_ENDPOINT_COMPANION_DESCRIPTOR) == 8);
static_assert(sizeof(USB_HUB_DESCRIPTOR) == 71);
static_assert(offsetof(USB_HUB_DESCRIPTOR, wHubCharacteristics) == 3 &&
              offsetof(USB_HUB_DESCRIPTOR, bRemoveAndPowerMask) == 7);
static_assert(sizeof(USB_30_HUB_DESCRIPTOR) == 12);
static_assert(offsetof(USB_30_HUB_DESCRIPTOR, wHubDelay) == 8 &&
              offsetof(USB_30_HUB_DESCRIPTOR, DeviceRemovable) == 10);
static_assert(sizeof(USB_HUB_CHARACTERISTICS) == 2 && sizeof(USB_HUB_STATUS_AND_CHANGE) == 4);
static_assert(sizeof(USB_PORT_STATUS) == 2 && sizeof(USB_PORT_CHANGE) == 2 && sizeof(USB_PORT_STATUS_AND_CHANGE) == 4);
static_assert(sizeof(USB_DEVICE_SPEED) == 4 && sizeof(USB_DEVICE_TYPE) == 4);
