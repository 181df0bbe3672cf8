// The device-control requests of hubs and host controllers, with the published layouts, as kernel-mode
// callers (the capture driver) and user mode (the application) send them.
#include <cstring>

#include "windows.h"

#include "NtText.h"
#include "platform/sim/StandardDevices.h"
#include "tests/support/MachineFixture.h"
#include "usbioctl.h"
#include "usbuser.h"

namespace {

using tdl::test::DeviceControl;
using tdl::test::MachineTest;

class HubIoctl : public MachineTest {
protected:
    void SetUp() override { BootDefault(); }

    // The top of the external hub's stack, where its requests go.
    PDEVICE_OBJECT Hub() const { return Top("hub"); }

    struct Connection {
        tdl::test::IoResult result;
        USB_NODE_CONNECTION_INFORMATION_EX info{};
        std::vector<USB_PIPE_INFO> pipes;
    };
    Connection Query(ULONG port, ULONG size, ULONG code = IOCTL_USB_GET_NODE_CONNECTION_INFORMATION) {
        std::vector<UCHAR> buffer(size);
        std::memcpy(buffer.data(), &port, sizeof port);
        Connection connection;
        connection.result = DeviceControl(Hub(), code, buffer.data(), size, buffer.data(), size);
        std::memcpy(&connection.info, buffer.data(), std::min<size_t>(size, sizeof connection.info));
        for (size_t at = sizeof connection.info; at + sizeof(USB_PIPE_INFO) <= connection.result.information;
             at += sizeof(USB_PIPE_INFO)) {
            USB_PIPE_INFO pipe;
            std::memcpy(&pipe, buffer.data() + at, sizeof pipe);
            connection.pipes.push_back(pipe);
        }
        return connection;
    }
};

TEST_F(HubIoctl, ConnectionInformationIsThe35PackedBytesAndThePipes) {
    Connection keyboard = Query(1, 35 + 4 * sizeof(USB_PIPE_INFO));
    ASSERT_EQ(keyboard.result.status, STATUS_SUCCESS);
    EXPECT_EQ(keyboard.result.information, 35u + 11u);
    const USB_NODE_CONNECTION_INFORMATION_EX& info = keyboard.info;
    EXPECT_EQ(+info.ConnectionIndex, 1u);
    EXPECT_EQ(std::memcmp(&info.DeviceDescriptor, m_machine->Device("keyboard")->Descriptors().device.data(), 18), 0);
    EXPECT_EQ(+info.CurrentConfigurationValue, 1);
    EXPECT_EQ(+info.Speed, FALSE) << "LowSpeed: the keyboard runs at full speed";
    EXPECT_EQ(+info.DeviceIsHub, FALSE);
    EXPECT_GE(+info.DeviceAddress, 2);
    EXPECT_EQ(+info.NumberOfOpenPipes, 1u);
    EXPECT_EQ(+info.ConnectionStatus, DeviceConnected);
    ASSERT_EQ(keyboard.pipes.size(), 1u);
    EXPECT_EQ(+keyboard.pipes[0].EndpointDescriptor.bEndpointAddress, 0x81);
    EXPECT_EQ(+keyboard.pipes[0].EndpointDescriptor.bmAttributes, USB_ENDPOINT_TYPE_INTERRUPT);
    EXPECT_EQ(+keyboard.pipes[0].EndpointDescriptor.wMaxPacketSize, 8);

    // The fixed part alone when the buffer holds nothing more; the count of pipes still tells.
    Connection fixedOnly = Query(1, 35);
    EXPECT_EQ(fixedOnly.result.information, 35u);
    EXPECT_EQ(+fixedOnly.info.NumberOfOpenPipes, 1u);

    Connection empty = Query(4, 35);
    EXPECT_EQ(empty.result.status, STATUS_SUCCESS);
    EXPECT_EQ(+empty.info.ConnectionStatus, NoDeviceConnected);
    EXPECT_EQ(+empty.info.DeviceDescriptor.bLength, 0);

    EXPECT_EQ(Query(0, 35).result.status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Query(5, 35).result.status, STATUS_INVALID_PARAMETER);
    EXPECT_EQ(Query(0x80000000u, 35).result.status, STATUS_INVALID_PARAMETER) << "no sign wrap into a port";
    EXPECT_EQ(Query(1, 34).result.status, STATUS_BUFFER_TOO_SMALL);

    // The extended form has the speed where the other has LowSpeed.
    Connection composite = Query(3, 35 + 8 * 11, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX);
    EXPECT_EQ(+composite.info.Speed, UsbHighSpeed);
    EXPECT_EQ(+composite.info.NumberOfOpenPipes, 3u) << "the HID and the storage interfaces' pipes";
}

TEST_F(HubIoctl, DriverKeyNameRoundTripsToTheDevicesDriverKey) {
    const std::u16string expected = tdl::test::Property(Pdo("printer"), DevicePropertyDriverKeyName);
    ASSERT_FALSE(expected.empty());
    for (bool internal : {false, true}) { // the capture driver asks with an internal request of the same code
        USB_NODE_CONNECTION_DRIVERKEY_NAME probe{};
        probe.ConnectionIndex = 2;
        tdl::test::IoResult first = DeviceControl(Hub(), IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, &probe,
                                                  sizeof probe, &probe, sizeof probe, internal);
        ASSERT_EQ(first.status, STATUS_SUCCESS);
        EXPECT_EQ(first.information, sizeof probe);
        EXPECT_EQ(+probe.ActualLength, 8 + (expected.size() + 1) * 2);

        std::vector<UCHAR> buffer(probe.ActualLength);
        std::memcpy(buffer.data(), &probe, sizeof(ULONG));
        tdl::test::IoResult second = DeviceControl(Hub(), IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, buffer.data(),
                                                   probe.ActualLength, buffer.data(), probe.ActualLength, internal);
        ASSERT_EQ(second.status, STATUS_SUCCESS);
        EXPECT_EQ(second.information, probe.ActualLength);
        EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(buffer.data() + 8)), expected);
    }
    USB_NODE_CONNECTION_DRIVERKEY_NAME empty{};
    empty.ConnectionIndex = 4;
    EXPECT_EQ(
        DeviceControl(Hub(), IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME, &empty, sizeof empty, &empty, sizeof empty)
            .status,
        STATUS_INVALID_PARAMETER);
}

TEST_F(HubIoctl, NodeInformationNamesAndDescriptorsOfConnections) {
    USB_NODE_INFORMATION node{};
    ASSERT_EQ(DeviceControl(Hub(), IOCTL_USB_GET_NODE_INFORMATION, &node, sizeof node, &node, sizeof node).status,
              STATUS_SUCCESS);
    EXPECT_EQ(+node.NodeType, UsbHub);
    EXPECT_EQ(+node.u.HubInformation.HubDescriptor.bDescriptorType, USB_20_HUB_DESCRIPTOR_TYPE);
    EXPECT_EQ(+node.u.HubInformation.HubDescriptor.bNumberOfPorts, 4);
    EXPECT_FALSE(+node.u.HubInformation.HubIsBusPowered);

    // The root hub names the hub on its port 1 by the hub's interface link.
    PDEVICE_OBJECT rootHub = IoGetAttachedDevice(m_machine->Controller("ehci")->RootHub().PhysicalDeviceObject());
    std::vector<UCHAR> name(512);
    ULONG port = 1;
    std::memcpy(name.data(), &port, sizeof port);
    ASSERT_EQ(DeviceControl(rootHub, IOCTL_USB_GET_NODE_CONNECTION_NAME, name.data(), 512, name.data(), 512).status,
              STATUS_SUCCESS);
    std::u16string hubName(reinterpret_cast<const char16_t*>(name.data() + 8));
    EXPECT_EQ(hubName.rfind(u"USB#VID_7A51&PID_2040#", 0), 0u) << nt::text::Utf16ToUtf8(hubName);
    EXPECT_NE(hubName.find(u"#{f18a0e88-c30c-11d0-8815-00a0c906bed8}"), std::u16string::npos);

    // A descriptor read from the device on a port: the printer's whole configuration.
    std::vector<UCHAR> request(sizeof(USB_DESCRIPTOR_REQUEST) + 255);
    USB_DESCRIPTOR_REQUEST header{};
    header.ConnectionIndex = 2;
    header.SetupPacket = {0x80, USB_REQUEST_GET_DESCRIPTOR, USB_CONFIGURATION_DESCRIPTOR_TYPE << 8, 0, 255};
    std::memcpy(request.data(), &header, sizeof header);
    tdl::test::IoResult descriptor =
        DeviceControl(Hub(), IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION, request.data(),
                      static_cast<ULONG>(request.size()), request.data(), static_cast<ULONG>(request.size()));
    ASSERT_EQ(descriptor.status, STATUS_SUCCESS);
    const sim::Bytes& configuration = m_machine->Device("printer")->Descriptors().configurations[0];
    ASSERT_EQ(descriptor.information, sizeof header + configuration.size());
    EXPECT_EQ(sim::Bytes(request.begin() + sizeof header, request.begin() + descriptor.information), configuration);
}

// User mode, as the application asks: a controller by its legacy name, then its root hub by the name the
// controller gives.
TEST_F(HubIoctl, UserModeReachesControllersAndRootHubsByTheirNames) {
    HANDLE controller = CreateFileA("\\\\.\\HCD0", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(controller, INVALID_HANDLE_VALUE);
    UCHAR probe[6] = {};
    DWORD bytes = 0;
    ASSERT_TRUE(DeviceIoControl(controller, IOCTL_GET_HCD_DRIVERKEY_NAME, probe, sizeof probe, probe, sizeof probe,
                                &bytes, nullptr));
    ULONG actual;
    std::memcpy(&actual, probe, sizeof actual);
    std::vector<UCHAR> key(actual);
    ASSERT_TRUE(DeviceIoControl(controller, IOCTL_GET_HCD_DRIVERKEY_NAME, key.data(), actual, key.data(), actual,
                                &bytes, nullptr));
    EXPECT_EQ(bytes, actual);
    PDEVICE_OBJECT ehci = m_machine->Controller("ehci")->PhysicalDeviceObject();
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(key.data() + 4)),
              tdl::test::Property(ehci, DevicePropertyDriverKeyName));

    std::vector<UCHAR> hubName(512);
    ASSERT_TRUE(DeviceIoControl(controller, IOCTL_USB_GET_ROOT_HUB_NAME, hubName.data(), 512, hubName.data(), 512,
                                &bytes, nullptr));
    std::string rootHub = nt::text::Utf16ToUtf8(reinterpret_cast<const char16_t*>(hubName.data() + 4));
    EXPECT_EQ(rootHub.rfind("USB#ROOT_HUB20#", 0), 0u) << rootHub;

    USBUSER_CONTROLLER_INFO_0 info{};
    info.Header.UsbUserRequest = USBUSER_GET_CONTROLLER_INFO_0;
    info.Header.RequestBufferLength = sizeof info;
    ASSERT_TRUE(
        DeviceIoControl(controller, IOCTL_USB_USER_REQUEST, &info, sizeof info, &info, sizeof info, &bytes, nullptr));
    EXPECT_EQ(+info.Header.UsbUserStatusCode, UsbUserSuccess);
    EXPECT_EQ(+info.Info0.PciDeviceId, 0x0C32u);
    EXPECT_EQ(+info.Info0.NumberOfRootPorts, 6u);
    EXPECT_EQ(+info.Info0.ControllerFlavor, EHCI_Generic);

    HCD_STAT_INFORMATION_1 statistics{};
    EXPECT_TRUE(DeviceIoControl(controller, IOCTL_USB_HCD_GET_STATS_1, &statistics, sizeof statistics, &statistics,
                                sizeof statistics, &bytes, nullptr));
    EXPECT_EQ(bytes, sizeof statistics);
    EXPECT_GT(+statistics.Counters.BytesTransferred, 0u);
    CloseHandle(controller);

    HANDLE hub =
        CreateFileA(("\\\\.\\" + rootHub).c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(hub, INVALID_HANDLE_VALUE);
    USB_NODE_INFORMATION node{};
    ASSERT_TRUE(
        DeviceIoControl(hub, IOCTL_USB_GET_NODE_INFORMATION, &node, sizeof node, &node, sizeof node, &bytes, nullptr));
    EXPECT_EQ(+node.u.HubInformation.HubDescriptor.bNumberOfPorts, 6);
    CloseHandle(hub);
}

} // namespace
