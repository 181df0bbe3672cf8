// The capture records copy fields out of URBs and IOCTL buffers at fixed offsets of the platform's x64
// layouts, and the decoders read the copies by the same offsets. These tables hold the offsets and
// sizes the record formats name, against the structures as declared.
#include "hidclass.h"
#include "usb.h"
#include "usbioctl.h"
#include "usbuser.h"

#include <gtest/gtest.h>

namespace {

struct OffsetRow {
    const char* field;
    size_t actual;
    size_t expected;
};

#define AT(type, field, expected)                                                                                      \
    { #type "." #field, offsetof(type, field), expected }
#define SIZE(type, expected)                                                                                           \
    { "sizeof " #type, sizeof(type), expected }

// Source offsets of the URB fields each URB record copies.
const OffsetRow kUrbFields[] = {
    // The URB head of every record.
    AT(_URB_HEADER, Length, 0),
    AT(_URB_HEADER, Function, 2),
    AT(_URB_HEADER, Status, 4),
    AT(_URB_HEADER, UsbdDeviceHandle, 8),
    // SELECT_CONFIGURATION: the interface list from offset 40; SELECT_INTERFACE: from offset 32.
    AT(_URB_SELECT_CONFIGURATION, ConfigurationDescriptor, 24),
    AT(_URB_SELECT_CONFIGURATION, ConfigurationHandle, 32),
    AT(_URB_SELECT_CONFIGURATION, Interface, 40),
    AT(_URB_SELECT_INTERFACE, ConfigurationHandle, 24),
    AT(_URB_SELECT_INTERFACE, Interface, 32),
    // Pipe requests and the frame requests' first parameter.
    AT(_URB_PIPE_REQUEST, PipeHandle, 24),
    AT(_URB_GET_FRAME_LENGTH, FrameLength, 24),
    AT(_URB_GET_FRAME_LENGTH, FrameNumber, 28),
    AT(_URB_SET_FRAME_LENGTH, FrameLengthDelta, 24),
    AT(_URB_GET_CURRENT_FRAME_NUMBER, FrameNumber, 24),
    // Transfers.
    AT(_URB_CONTROL_TRANSFER, PipeHandle, 24),
    AT(_URB_CONTROL_TRANSFER, TransferFlags, 32),
    AT(_URB_CONTROL_TRANSFER, TransferBufferLength, 36),
    AT(_URB_CONTROL_TRANSFER, TransferBuffer, 40),
    AT(_URB_CONTROL_TRANSFER, TransferBufferMDL, 48),
    AT(_URB_CONTROL_TRANSFER, SetupPacket, 128),
    AT(_URB_CONTROL_TRANSFER_EX, TransferFlags, 32),
    AT(_URB_CONTROL_TRANSFER_EX, TransferBufferLength, 36),
    AT(_URB_CONTROL_TRANSFER_EX, Timeout, 56),
    AT(_URB_CONTROL_TRANSFER_EX, SetupPacket, 128),
    AT(_URB_BULK_OR_INTERRUPT_TRANSFER, PipeHandle, 24),
    AT(_URB_BULK_OR_INTERRUPT_TRANSFER, TransferFlags, 32),
    AT(_URB_BULK_OR_INTERRUPT_TRANSFER, TransferBufferLength, 36),
    AT(_URB_BULK_OR_INTERRUPT_TRANSFER, TransferBuffer, 40),
    AT(_URB_BULK_OR_INTERRUPT_TRANSFER, TransferBufferMDL, 48),
    AT(_URB_ISOCH_TRANSFER, TransferBuffer, 40),
    AT(_URB_ISOCH_TRANSFER, StartFrame, 128),
    AT(_URB_ISOCH_TRANSFER, NumberOfPackets, 132),
    AT(_URB_ISOCH_TRANSFER, ErrorCount, 136),
    AT(_URB_ISOCH_TRANSFER, IsoPacket, 140),
    AT(USBD_ISO_PACKET_DESCRIPTOR, Length, 4),
    // Standard requests on the default pipe.
    AT(_URB_CONTROL_DESCRIPTOR_REQUEST, TransferBufferLength, 36),
    AT(_URB_CONTROL_DESCRIPTOR_REQUEST, Index, 130),
    AT(_URB_CONTROL_DESCRIPTOR_REQUEST, DescriptorType, 131),
    AT(_URB_CONTROL_DESCRIPTOR_REQUEST, LanguageId, 132),
    AT(_URB_CONTROL_FEATURE_REQUEST, FeatureSelector, 130),
    AT(_URB_CONTROL_FEATURE_REQUEST, Index, 132),
    AT(_URB_CONTROL_FEATURE_REQUEST, Reserved1, 134),
    AT(_URB_CONTROL_GET_STATUS_REQUEST, Index, 132),
    AT(_URB_CONTROL_GET_STATUS_REQUEST, TransferBufferLength, 36),
    AT(_URB_CONTROL_GET_INTERFACE_REQUEST, Interface, 132),
    AT(_URB_CONTROL_GET_CONFIGURATION_REQUEST, TransferBufferLength, 36),
    AT(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST, TransferFlags, 32),
    AT(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST, TransferBufferLength, 36),
    AT(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST, RequestTypeReservedBits, 128),
    AT(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST, Request, 129),
    AT(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST, Value, 130),
    AT(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST, Index, 132),
    // GET_MS_FEATURE_DESCRIPTOR: Recipient is the low five bits of byte 128.
    AT(_URB_OS_FEATURE_DESCRIPTOR_REQUEST, Reserved2, 129),
    AT(_URB_OS_FEATURE_DESCRIPTOR_REQUEST, InterfaceNumber, 130),
    AT(_URB_OS_FEATURE_DESCRIPTOR_REQUEST, MS_PageIndex, 131),
    AT(_URB_OS_FEATURE_DESCRIPTOR_REQUEST, MS_FeatureDescriptorIndex, 132),
    AT(_URB_OS_FEATURE_DESCRIPTOR_REQUEST, Reserved3, 134),
    AT(_URB_OS_FEATURE_DESCRIPTOR_REQUEST, TransferBufferLength, 36),
    // Pipe I/O policy: three parameters behind the pipe handle.
    AT(_URB_PIPE_IO_POLICY, PipeHandle, 24),
    AT(_URB_PIPE_IO_POLICY, UsbIoPriority, 32),
    AT(_URB_PIPE_IO_POLICY, UsbMaxPendingIrps, 36),
    AT(_URB_PIPE_IO_POLICY, UsbMaxControllerTransfer, 40),
    // Host-controller endpoint requests.
    AT(_URB_OPEN_ENDPOINT, ushort1, 24),
    AT(_URB_OPEN_ENDPOINT, Flags, 26),
    AT(_URB_OPEN_ENDPOINT, EndpointDescriptor, 28),
    AT(_URB_OPEN_ENDPOINT, ulong3, 36),
    AT(_URB_OPEN_ENDPOINT, HcdEndpoint, 40),
    AT(_URB_OPEN_ENDPOINT, ulong4, 48),
    AT(_URB_CLOSE_ENDPOINT, HcdEndpoint, 24),
    AT(_URB_GET_ENDPOINT_STATE, HcdEndpoint, 24),
    AT(_URB_GET_ENDPOINT_STATE, Flags, 32),
    // The open request copies bytes 0-3, 4-5 and 6 of the endpoint descriptor.
    AT(USB_ENDPOINT_DESCRIPTOR, wMaxPacketSize, 4),
    AT(USB_ENDPOINT_DESCRIPTOR, bInterval, 6),
    // Setup packet bytes the returned records and decoders take apart.
    AT(USB_DEFAULT_PIPE_SETUP_PACKET, bRequest, 1),
    AT(USB_DEFAULT_PIPE_SETUP_PACKET, wValue, 2),
    AT(USB_DEFAULT_PIPE_SETUP_PACKET, wIndex, 4),
    AT(USB_DEFAULT_PIPE_SETUP_PACKET, wLength, 6),
};

// The interface information records that selection URBs return and the capture keeps per stack.
const OffsetRow kInterfaceInformation[] = {
    AT(USBD_INTERFACE_INFORMATION, Length, 0),
    AT(USBD_INTERFACE_INFORMATION, InterfaceNumber, 2),
    AT(USBD_INTERFACE_INFORMATION, AlternateSetting, 3),
    AT(USBD_INTERFACE_INFORMATION, Class, 4),
    AT(USBD_INTERFACE_INFORMATION, SubClass, 5),
    AT(USBD_INTERFACE_INFORMATION, Protocol, 6),
    AT(USBD_INTERFACE_INFORMATION, InterfaceHandle, 8),
    AT(USBD_INTERFACE_INFORMATION, NumberOfPipes, 16),
    AT(USBD_INTERFACE_INFORMATION, Pipes, 24),
    SIZE(USBD_INTERFACE_INFORMATION, 48),
    AT(USBD_PIPE_INFORMATION, MaximumPacketSize, 0),
    AT(USBD_PIPE_INFORMATION, EndpointAddress, 2),
    AT(USBD_PIPE_INFORMATION, Interval, 3),
    AT(USBD_PIPE_INFORMATION, PipeType, 4),
    AT(USBD_PIPE_INFORMATION, PipeHandle, 8),
    AT(USBD_PIPE_INFORMATION, MaximumTransferSize, 16),
    AT(USBD_PIPE_INFORMATION, PipeFlags, 20),
    SIZE(USBD_PIPE_INFORMATION, 24),
    // The 32-bit layout that captures of 32-bit systems carry.
    AT(USBD_INTERFACE_INFORMATION32, InterfaceHandle, 8),
    AT(USBD_INTERFACE_INFORMATION32, NumberOfPipes, 12),
    AT(USBD_INTERFACE_INFORMATION32, Pipes, 16),
    SIZE(USBD_INTERFACE_INFORMATION32, 36),
    AT(USBD_PIPE_INFORMATION32, PipeHandle, 8),
    SIZE(USBD_PIPE_INFORMATION32, 20),
};

// Buffers of IOCTL records: the sizes the capture copies and the offsets the decoders read.
const OffsetRow kIoctlBuffers[] = {
    // Hub: 35-byte connection block with 11-byte pipe entries, 71-byte hub descriptor, 12-byte request.
    SIZE(USB_NODE_CONNECTION_INFORMATION, 35),
    AT(USB_NODE_CONNECTION_INFORMATION, DeviceDescriptor, 4),
    AT(USB_NODE_CONNECTION_INFORMATION, CurrentConfigurationValue, 22),
    AT(USB_NODE_CONNECTION_INFORMATION, LowSpeed, 23),
    AT(USB_NODE_CONNECTION_INFORMATION, DeviceIsHub, 24),
    AT(USB_NODE_CONNECTION_INFORMATION, DeviceAddress, 25),
    AT(USB_NODE_CONNECTION_INFORMATION, NumberOfOpenPipes, 27),
    AT(USB_NODE_CONNECTION_INFORMATION, ConnectionStatus, 31),
    AT(USB_NODE_CONNECTION_INFORMATION, PipeList, 35),
    AT(USB_NODE_CONNECTION_INFORMATION_EX, Speed, 23),
    SIZE(USB_NODE_CONNECTION_INFORMATION_EX, 35),
    SIZE(USB_PIPE_INFO, 11),
    AT(USB_PIPE_INFO, ScheduleOffset, 7),
    SIZE(USB_NODE_INFORMATION, 76),
    SIZE(USB_HUB_DESCRIPTOR, 71),
    SIZE(USB_30_HUB_DESCRIPTOR, 12),
    SIZE(USB_DESCRIPTOR_REQUEST, 12),
    AT(USB_DESCRIPTOR_REQUEST, SetupPacket.wValue, 6),
    AT(USB_DESCRIPTOR_REQUEST, SetupPacket.wLength, 10),
    AT(USB_NODE_CONNECTION_DRIVERKEY_NAME, ActualLength, 4),
    AT(USB_NODE_CONNECTION_DRIVERKEY_NAME, DriverKeyName, 8),
    AT(USB_NODE_CONNECTION_NAME, NodeName, 8),
    SIZE(USB_NODE_CONNECTION_ATTRIBUTES, 12),
    AT(USB_NODE_CONNECTION_ATTRIBUTES, PortAttributes, 8),
    // Host controller: statistics of 44 and 120 bytes, names, the user-request header and level 0 info.
    SIZE(HCD_STAT_INFORMATION_1, 44),
    AT(HCD_STAT_INFORMATION_1, TimeRead, 12),
    AT(HCD_STAT_INFORMATION_1, Counters, 20),
    SIZE(HCD_STAT_INFORMATION_2, 120),
    AT(HCD_STAT_INFORMATION_2, LockedMemoryUsed, 20),
    AT(HCD_STAT_INFORMATION_2, Counters, 24),
    AT(HCD_STAT_INFORMATION_2, IsoCounters, 48),
    AT(USB_ROOT_HUB_NAME, RootHubName, 4),
    AT(USB_HCD_DRIVERKEY_NAME, DriverKeyName, 4),
    SIZE(USBUSER_REQUEST_HEADER, 16),
    SIZE(USB_CONTROLLER_INFO_0, 24),
    AT(USBUSER_CONTROLLER_INFO_0, Info0, 16),
    AT(USB_CONTROLLER_INFO_0, ControllerFlavor, 16),
    // Internal requests.
    SIZE(USB_IDLE_CALLBACK_INFO, 16),
    SIZE(USB_TOPOLOGY_ADDRESS, 32),
    AT(USB_TOPOLOGY_ADDRESS, RootHubPortNumber, 16),
    AT(USB_TOPOLOGY_ADDRESS, Reserved2, 28),
    AT(USB_START_FAILDATA, LengthInBytes, 0),
    AT(USB_START_FAILDATA, DriverData, 16),
    SIZE(HUB_DEVICE_CONFIG_INFO, 204),
    AT(HUB_DEVICE_CONFIG_INFO, HubFlags, 8),
    AT(HUB_DEVICE_CONFIG_INFO, HardwareIds, 12),
    AT(HUB_DEVICE_CONFIG_INFO, CompatibleIds, 28),
    AT(HUB_DEVICE_CONFIG_INFO, DeviceDescription, 44),
    AT(USB_ID_STRING, LengthInBytes, 4),
    AT(USB_ID_STRING, Buffer, 8),
    // HID.
    SIZE(HID_COLLECTION_INFORMATION, 12),
    AT(HID_COLLECTION_INFORMATION, VendorID, 6),
    SIZE(HID_DRIVER_CONFIG, 8),
};

#undef AT
#undef SIZE

template <size_t N> void ExpectRows(const OffsetRow (&rows)[N]) {
    for (const OffsetRow& row : rows)
        EXPECT_EQ(row.actual, row.expected) << row.field;
}

TEST(UsbCaptureOffsets, UrbFieldsAtTheOffsetsRecordsCopyFrom) {
    ExpectRows(kUrbFields);
}

TEST(UsbCaptureOffsets, InterfaceInformationLayouts) {
    ExpectRows(kInterfaceInformation);
}

TEST(UsbCaptureOffsets, IoctlBuffers) {
    ExpectRows(kIoctlBuffers);
}

// The URB is read through its header whatever the function; every member must start with it.
TEST(UsbCaptureOffsets, EveryUrbMemberBeginsWithTheHeader) {
    URB urb{};
    const void* head = &urb.UrbHeader;
    const void* members[] = {&urb.UrbSelectConfiguration.Hdr, &urb.UrbControlTransferEx.Hdr,
                             &urb.UrbIsochronousTransfer.Hdr, &urb.UrbOSFeatureDescriptorRequest.Hdr,
                             &urb.UrbOpenEndpoint.Hdr,        &urb.UrbGetEndpointState.Hdr};
    for (const void* m : members)
        EXPECT_EQ(m, head);
}

// Bit fields must land on the bits the wire format gives them; the readers of records use masks.
TEST(UsbCaptureOffsets, BitFieldsSitOnTheirWireBits) {
    URB urb{};
    urb.UrbOSFeatureDescriptorRequest.Recipient = 0x1F;
    EXPECT_EQ(reinterpret_cast<const UCHAR*>(&urb)[128], 0x1F);

    BM_REQUEST_TYPE type{};
    type.s.Dir = BMREQUEST_DEVICE_TO_HOST;
    type.s.Type = BMREQUEST_CLASS;
    type.s.Recipient = BMREQUEST_TO_OTHER;
    EXPECT_EQ(type.B, 0xA3);
    EXPECT_EQ(type.B, USB_MAKE_REQUEST_TYPE(BMREQUEST_DEVICE_TO_HOST, BMREQUEST_CLASS, BMREQUEST_TO_OTHER));

    USB_20_PORT_STATUS usb20{};
    usb20.HighSpeedDeviceAttached = 1;
    usb20.PortPower = 1;
    EXPECT_EQ(usb20.AsUshort16, USB_PORT_STATUS_HIGH_SPEED | USB_PORT_STATUS_POWER);

    USB_30_PORT_STATUS usb30{};
    usb30.PortLinkState = USB_PORT_LINK_STATE_RX_DETECT;
    usb30.NegotiatedDeviceSpeed = 5;
    usb30.PortPower = 1;
    EXPECT_EQ(usb30.AsUshort16, (USB_PORT_LINK_STATE_RX_DETECT << USB_30_PORT_STATUS_LINK_STATE_SHIFT) |
                                    (5 << USB_30_PORT_STATUS_SPEED_SHIFT) | USB_30_PORT_STATUS_POWER);

    USB_30_PORT_CHANGE change30{};
    change30.PortConfigErrorChange = 1;
    change30.BHResetChange = 1;
    EXPECT_EQ(change30.AsUshort16, USB_30_PORT_CHANGE_CONFIG_ERROR | USB_30_PORT_CHANGE_BH_RESET);

    USB_HUB_CAP_FLAGS caps{};
    caps.HubIsBusPowered = 1;
    caps.HubIsRoot = 1;
    EXPECT_EQ(caps.ul, 0x50u);
}

} // namespace
