// URBs sent to a device's physical device object, as its class driver sends them: descriptors, configuration
// selection and its handles, control requests, bulk and interrupt transfers that wait on a NAKing endpoint
// until the device can move, cancellation and abort, and malformed requests.
#include <cstring>
#include <string>

#include "platform/sim/StandardDevices.h"
#include "tests/support/MachineFixture.h"
#include "usbdlib.h"
#include "usbioctl.h"

namespace {

using tdl::test::BuildTransfer;
using tdl::test::PendingUrb;
using tdl::test::SelectConfiguration;
using tdl::test::SubmitUrb;

class Urbs : public tdl::test::MachineTest {
protected:
    void SetUp() override { BootDefault(); }
};

TEST_F(Urbs, DescriptorsComeFromTheDevice) {
    URB urb{};
    UCHAR buffer[255] = {};
    UsbBuildGetDescriptorRequest(&urb, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), USB_STRING_DESCRIPTOR_TYPE, 2, 0x0409,
                                 buffer, nullptr, sizeof buffer, nullptr);
    ASSERT_EQ(SubmitUrb(Pdo("printer"), &urb), STATUS_SUCCESS);
    EXPECT_EQ(sim::Bytes(buffer, buffer + urb.UrbControlDescriptorRequest.TransferBufferLength),
              sim::StringDescriptorBytes(u"Simulated Page Printer 100"));

    // The printer's IEEE 1284 ID through a class request, and GET_STATUS through a raw control transfer.
    std::memset(&urb, 0, sizeof urb);
    UsbBuildVendorRequest(&urb, URB_FUNCTION_CLASS_INTERFACE, sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST),
                          USBD_TRANSFER_DIRECTION_IN, 0, 0, 0, 0, buffer, nullptr, sizeof buffer, nullptr);
    ASSERT_EQ(SubmitUrb(Pdo("printer"), &urb), STATUS_SUCCESS);
    EXPECT_GT(urb.UrbControlVendorClassRequest.TransferBufferLength, 2u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer) + 2, 14), "MFG:Tindaloft;");

    std::memset(&urb, 0, sizeof urb);
    urb.UrbHeader.Function = URB_FUNCTION_CONTROL_TRANSFER;
    urb.UrbHeader.Length = sizeof(_URB_CONTROL_TRANSFER);
    urb.UrbControlTransfer.TransferFlags = USBD_TRANSFER_DIRECTION_IN | USBD_DEFAULT_PIPE_TRANSFER;
    urb.UrbControlTransfer.TransferBuffer = buffer;
    urb.UrbControlTransfer.TransferBufferLength = 2;
    const UCHAR getStatus[8] = {0x80, USB_REQUEST_GET_STATUS, 0, 0, 0, 0, 2, 0};
    std::memcpy(urb.UrbControlTransfer.SetupPacket, getStatus, 8);
    ASSERT_EQ(SubmitUrb(Pdo("printer"), &urb), STATUS_SUCCESS);
    EXPECT_EQ(buffer[0] & USB_GETSTATUS_SELF_POWERED, USB_GETSTATUS_SELF_POWERED);
}

// Every standard, class and vendor request URB completes as the control transfer it became, as Windows' port
// drivers complete it: function 8, the setup packet where the request's fields stood, the direction and the
// default pipe in the flags; the data where the client put its buffer. A control-ex and a transfer keep their
// functions.
TEST_F(Urbs, RequestsCompleteAsControlTransfers) {
    UCHAR buffer[255] = {};
    struct Case {
        const char* what;
        void (*build)(URB&, UCHAR*);
        UCHAR setup[8];
        ULONG flags;
    };
    const Case cases[] = {
        {"get descriptor",
         [](URB& urb, UCHAR* data) {
             UsbBuildGetDescriptorRequest(&urb, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), USB_DEVICE_DESCRIPTOR_TYPE, 0,
                                          0, data, nullptr, 18, nullptr);
         },
         {0x80, USB_REQUEST_GET_DESCRIPTOR, 0x00, 0x01, 0x00, 0x00, 18, 0},
         USBD_TRANSFER_DIRECTION_IN},
        {"class interface (GET_DEVICE_ID)",
         [](URB& urb, UCHAR* data) {
             UsbBuildVendorRequest(&urb, URB_FUNCTION_CLASS_INTERFACE, sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST),
                                   USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK, 0, 0, 0, 0, data, nullptr, 255,
                                   nullptr);
         },
         {0xA1, 0, 0x00, 0x00, 0x00, 0x00, 255, 0},
         USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK},
        {"get status of the device",
         [](URB& urb, UCHAR* data) {
             UsbBuildGetStatusRequest(&urb, URB_FUNCTION_GET_STATUS_FROM_DEVICE, 0, data, nullptr, nullptr);
         },
         {0x80, USB_REQUEST_GET_STATUS, 0, 0, 0, 0, 2, 0},
         USBD_TRANSFER_DIRECTION_IN},
        {"clear a feature of an endpoint",
         [](URB& urb, UCHAR*) {
             UsbBuildFeatureRequest(&urb, URB_FUNCTION_CLEAR_FEATURE_TO_ENDPOINT, USB_FEATURE_ENDPOINT_STALL, 0x81,
                                    nullptr);
         },
         {0x02, USB_REQUEST_CLEAR_FEATURE, 0, 0, 0x81, 0, 0, 0},
         0},
    };
    for (const Case& c : cases) {
        URB urb{};
        c.build(urb, buffer);
        SubmitUrb(Pdo("printer"), &urb);
        EXPECT_EQ(urb.UrbHeader.Function, URB_FUNCTION_CONTROL_TRANSFER) << c.what;
        EXPECT_EQ(0, std::memcmp(urb.UrbControlTransfer.SetupPacket, c.setup, 8)) << c.what;
        EXPECT_EQ(urb.UrbControlTransfer.TransferFlags, c.flags | USBD_DEFAULT_PIPE_TRANSFER) << c.what;
        EXPECT_EQ(urb.UrbControlTransfer.PipeHandle, nullptr) << c.what;
    }
    URB id{};
    cases[1].build(id, buffer);
    ASSERT_EQ(SubmitUrb(Pdo("printer"), &id), STATUS_SUCCESS);
    EXPECT_EQ(id.UrbControlTransfer.TransferBuffer, buffer);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer) + 2, 14), "MFG:Tindaloft;");
    EXPECT_EQ(id.UrbControlTransfer.TransferBufferLength, (ULONG{buffer[0]} << 8) | buffer[1]);

    URB ex{};
    ex.UrbHeader.Function = URB_FUNCTION_CONTROL_TRANSFER_EX;
    ex.UrbHeader.Length = sizeof(_URB_CONTROL_TRANSFER_EX);
    ex.UrbControlTransferEx.TransferFlags = USBD_TRANSFER_DIRECTION_IN;
    ex.UrbControlTransferEx.TransferBuffer = buffer;
    ex.UrbControlTransferEx.TransferBufferLength = 2;
    const UCHAR getStatus[8] = {0x80, USB_REQUEST_GET_STATUS, 0, 0, 0, 0, 2, 0};
    std::memcpy(ex.UrbControlTransferEx.SetupPacket, getStatus, 8);
    ASSERT_EQ(SubmitUrb(Pdo("printer"), &ex), STATUS_SUCCESS);
    EXPECT_EQ(ex.UrbHeader.Function, URB_FUNCTION_CONTROL_TRANSFER_EX);
    EXPECT_EQ(ex.UrbControlTransferEx.TransferFlags, ULONG{USBD_TRANSFER_DIRECTION_IN});
}

TEST_F(Urbs, BulkInWaitsForTheDeviceAndCompletesWhenItHasData) {
    PDEVICE_OBJECT pdo = Pdo("loopback");
    auto pipes = SelectConfiguration(pdo, m_machine->Device("loopback")->Descriptors().configurations[0]);
    ASSERT_EQ(pipes.size(), 2u);
    USBD_PIPE_HANDLE out = pipes[0].EndpointAddress == 0x01 ? pipes[0].PipeHandle : pipes[1].PipeHandle;
    USBD_PIPE_HANDLE in = pipes[0].EndpointAddress == 0x81 ? pipes[0].PipeHandle : pipes[1].PipeHandle;
    EXPECT_EQ(pipes[0].PipeType, UsbdPipeTypeBulk);

    URB read;
    UCHAR received[64] = {};
    BuildTransfer(read, in, true, received, sizeof received);
    PendingUrb waiting(pdo, &read);
    EXPECT_EQ(waiting.Sent(), STATUS_PENDING);
    EXPECT_FALSE(waiting.Done()) << "the device NAKs while it has nothing";

    URB write;
    char hello[] = "hello";
    BuildTransfer(write, out, false, hello, 5);
    ASSERT_EQ(SubmitUrb(pdo, &write), STATUS_SUCCESS);
    EXPECT_EQ(write.UrbBulkOrInterruptTransfer.TransferBufferLength, 5u);
    ASSERT_EQ(waiting.Wait(), STATUS_SUCCESS);
    EXPECT_EQ(read.UrbBulkOrInterruptTransfer.TransferBufferLength, 5u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(received), 5), "hello");
}

TEST_F(Urbs, InterruptInCompletesWithTheNextReport) {
    PDEVICE_OBJECT pdo = Pdo("mouse");
    auto mouse = m_machine->Device("mouse");
    auto pipes = SelectConfiguration(pdo, mouse->Descriptors().configurations[0]);
    ASSERT_EQ(pipes.size(), 1u);
    EXPECT_EQ(pipes[0].PipeType, UsbdPipeTypeInterrupt);
    URB read;
    UCHAR report[4] = {};
    BuildTransfer(read, pipes[0].PipeHandle, true, report, sizeof report);
    PendingUrb waiting(pdo, &read);
    EXPECT_FALSE(waiting.Done());
    mouse->FunctionAs<sim::HidFunction>(0)->QueueInputReport({0x01, 0x10, 0xF0, 0x00});
    ASSERT_EQ(waiting.Wait(), STATUS_SUCCESS);
    EXPECT_EQ(sim::Bytes(report, report + 4), (sim::Bytes{0x01, 0x10, 0xF0, 0x00}));
}

TEST_F(Urbs, WaitingTransfersEndOnCancelAbortAndNewConfiguration) {
    PDEVICE_OBJECT pdo = Pdo("loopback");
    const sim::Bytes& configuration = m_machine->Device("loopback")->Descriptors().configurations[0];
    auto pipes = SelectConfiguration(pdo, configuration);
    USBD_PIPE_HANDLE in = pipes[0].EndpointAddress == 0x81 ? pipes[0].PipeHandle : pipes[1].PipeHandle;
    UCHAR buffer[64];

    URB cancelled;
    BuildTransfer(cancelled, in, true, buffer, sizeof buffer);
    PendingUrb first(pdo, &cancelled);
    IoCancelIrp(first.Irp());
    EXPECT_EQ(first.Wait(), STATUS_CANCELLED);
    EXPECT_EQ(cancelled.UrbHeader.Status, USBD_STATUS_CANCELED);

    URB aborted;
    BuildTransfer(aborted, in, true, buffer, sizeof buffer);
    PendingUrb second(pdo, &aborted);
    URB abort{};
    abort.UrbHeader.Function = URB_FUNCTION_ABORT_PIPE;
    abort.UrbHeader.Length = sizeof(_URB_PIPE_REQUEST);
    abort.UrbPipeRequest.PipeHandle = in;
    EXPECT_EQ(SubmitUrb(pdo, &abort), STATUS_SUCCESS);
    EXPECT_EQ(second.Wait(), STATUS_CANCELLED);

    URB replaced;
    BuildTransfer(replaced, in, true, buffer, sizeof buffer);
    PendingUrb third(pdo, &replaced);
    SelectConfiguration(pdo, configuration);
    EXPECT_EQ(third.Wait(), STATUS_CANCELLED) << "the pipe closed with the old configuration";
    URB stale;
    BuildTransfer(stale, in, true, buffer, sizeof buffer);
    EXPECT_EQ(SubmitUrb(pdo, &stale), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(stale.UrbHeader.Status, USBD_STATUS_INVALID_PIPE_HANDLE);
}

TEST_F(Urbs, SelectInterfaceGivesNewPipesForTheCurrentConfiguration) {
    PDEVICE_OBJECT pdo = Pdo("loopback");
    const sim::Bytes& configuration = m_machine->Device("loopback")->Descriptors().configurations[0];
    auto before = SelectConfiguration(pdo, configuration);

    // The configuration handle comes from the port driver's answer to a new selection.
    sim::Bytes copy = configuration;
    auto* descriptor = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(copy.data());
    USBD_INTERFACE_LIST_ENTRY list[2] = {
        {USBD_ParseConfigurationDescriptorEx(descriptor, descriptor, 0, 0, -1, -1, -1), nullptr}, {nullptr, nullptr}};
    PURB select = USBD_CreateConfigurationRequestEx(descriptor, list);
    ASSERT_EQ(SubmitUrb(pdo, select), STATUS_SUCCESS);
    USBD_CONFIGURATION_HANDLE handle = select->UrbSelectConfiguration.ConfigurationHandle;
    ExFreePool(select);

    const USHORT size = static_cast<USHORT>(GET_SELECT_INTERFACE_REQUEST_SIZE(4));
    std::vector<UCHAR> raw(size);
    auto* urb = reinterpret_cast<PURB>(raw.data());
    UsbBuildSelectInterfaceRequest(urb, size, handle, 0, 0);
    ASSERT_EQ(SubmitUrb(pdo, urb), STATUS_SUCCESS);
    const USBD_INTERFACE_INFORMATION& info = urb->UrbSelectInterface.Interface;
    ASSERT_EQ(info.NumberOfPipes, 2u);
    EXPECT_NE(info.Pipes[0].PipeHandle, before[0].PipeHandle);
    EXPECT_EQ(info.Class, USB_DEVICE_CLASS_VENDOR_SPECIFIC);

    // Alternate setting 1 adds the isochronous pair.
    UsbBuildSelectInterfaceRequest(urb, size, handle, 0, 1);
    ASSERT_EQ(SubmitUrb(pdo, urb), STATUS_SUCCESS);
    ASSERT_EQ(info.NumberOfPipes, 4u);
    EXPECT_EQ(info.Pipes[3].PipeType, UsbdPipeTypeIsochronous);
    EXPECT_EQ(m_machine->Device("loopback")->AlternateSetting(0), 1);

    UsbBuildSelectInterfaceRequest(urb, size, handle, 0, 2);
    EXPECT_EQ(SubmitUrb(pdo, urb), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(urb->UrbHeader.Status, USBD_STATUS_INTERFACE_NOT_FOUND) << "no alternate setting 2";
    UsbBuildSelectInterfaceRequest(urb, static_cast<USHORT>(GET_SELECT_INTERFACE_REQUEST_SIZE(2)), handle, 0, 1);
    EXPECT_EQ(SubmitUrb(pdo, urb), STATUS_BUFFER_TOO_SMALL) << "no room for four pipes";
    UsbBuildSelectInterfaceRequest(urb, size, reinterpret_cast<USBD_CONFIGURATION_HANDLE>(raw.data()), 0, 0);
    EXPECT_EQ(SubmitUrb(pdo, urb), STATUS_INVALID_PARAMETER) << "not the device's configuration handle";
}

TEST_F(Urbs, InternalRequestsOfADeviceOnAnExternalHub) {
    PDEVICE_OBJECT keyboard = Pdo("keyboard");
    PDEVICE_OBJECT rootHub = nullptr;
    PDEVICE_OBJECT controller = nullptr;
    ASSERT_EQ(tdl::test::InternalRequest(keyboard, IOCTL_INTERNAL_USB_GET_ROOTHUB_PDO, &rootHub, &controller),
              STATUS_SUCCESS);
    EXPECT_EQ(rootHub, m_machine->Controller("ehci")->RootHub().PhysicalDeviceObject());
    EXPECT_EQ(tdl::test::DeviceName(controller), u"\\Device\\USBFDO-0");

    PVOID device = nullptr;
    PVOID hub = nullptr;
    ASSERT_EQ(tdl::test::InternalRequest(keyboard, IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE_EX, &device, &hub),
              STATUS_SUCCESS);
    PVOID hubHandle = nullptr;
    ASSERT_EQ(tdl::test::InternalRequest(Pdo("hub"), IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE, &hubHandle), STATUS_SUCCESS);
    EXPECT_EQ(hub, hubHandle);
    EXPECT_NE(device, hub);

    ULONG port = 0;
    ASSERT_EQ(tdl::test::InternalRequest(keyboard, IOCTL_INTERNAL_USB_GET_PORT_STATUS, &port), STATUS_SUCCESS);
    EXPECT_EQ(port, ULONG{USBD_PORT_ENABLED | USBD_PORT_CONNECTED});
    ULONG hubs = 0;
    ASSERT_EQ(tdl::test::InternalRequest(keyboard, IOCTL_INTERNAL_USB_GET_HUB_COUNT, &hubs), STATUS_SUCCESS);
    EXPECT_EQ(hubs, 2u) << "the external hub and the root hub";
    USB_TOPOLOGY_ADDRESS address{};
    ASSERT_EQ(tdl::test::InternalRequest(keyboard, IOCTL_INTERNAL_USB_GET_TOPOLOGY_ADDRESS, &address), STATUS_SUCCESS);
    EXPECT_EQ(address.PciDeviceNumber, 0x14u);
    EXPECT_EQ(address.RootHubPortNumber, 1);
    EXPECT_EQ(address.HubPortNumber[0], 1);

    // A hub's device names the hub by its interface link.
    std::vector<UCHAR> name(256);
    tdl::test::IoResult named = tdl::test::DeviceControl(Pdo("hub"), IOCTL_INTERNAL_USB_GET_HUB_NAME, name.data(), 256,
                                                         name.data(), 256, true, false);
    ASSERT_EQ(named.status, STATUS_SUCCESS);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(name.data() + 4)).rfind(u"USB#VID_7A51&PID_2040#", 0),
              0u);
}

TEST_F(Urbs, MalformedRequestsFailWithoutHarm) {
    PDEVICE_OBJECT pdo = Pdo("stick");
    UCHAR buffer[18];
    URB urb{};
    UsbBuildGetDescriptorRequest(&urb, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST) - 8, USB_DEVICE_DESCRIPTOR_TYPE, 0, 0,
                                 buffer, nullptr, sizeof buffer, nullptr);
    EXPECT_EQ(SubmitUrb(pdo, &urb), STATUS_INVALID_PARAMETER) << "a URB shorter than its function's structure";
    EXPECT_EQ(urb.UrbHeader.Status, USBD_STATUS_INVALID_PARAMETER);

    std::memset(&urb, 0, sizeof urb);
    urb.UrbHeader.Function = URB_FUNCTION_RESERVE_0X0016;
    urb.UrbHeader.Length = sizeof urb;
    EXPECT_EQ(SubmitUrb(pdo, &urb), STATUS_INVALID_PARAMETER);
    EXPECT_EQ(urb.UrbHeader.Status, USBD_STATUS_INVALID_URB_FUNCTION);

    // A transfer that claims data without a buffer.
    std::memset(&urb, 0, sizeof urb);
    UsbBuildGetDescriptorRequest(&urb, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), USB_DEVICE_DESCRIPTOR_TYPE, 0, 0,
                                 nullptr, nullptr, 18, nullptr);
    EXPECT_EQ(SubmitUrb(pdo, &urb), STATUS_INVALID_PARAMETER);

    // A descriptor the device does not have stalls.
    std::memset(&urb, 0, sizeof urb);
    UsbBuildGetDescriptorRequest(&urb, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), USB_BOS_DESCRIPTOR_TYPE, 0, 0, buffer,
                                 nullptr, 5, nullptr);
    EXPECT_EQ(SubmitUrb(pdo, &urb), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(urb.UrbHeader.Status, USBD_STATUS_STALL_PID);
}

} // namespace
