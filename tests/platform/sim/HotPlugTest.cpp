// Devices plugged and unplugged while the machine runs: the hub notices on its status-change endpoint, the
// Plug and Play manager enumerates or removes the device (with everything below it), and transfers still
// waiting on a device that leaves end.
#include <atomic>
#include <cstring>
#include <thread>

#include "NtText.h"
#include "platform/sim/StandardDevices.h"
#include "tests/support/MachineFixture.h"
#include "usbdlib.h"
#include "usbioctl.h"

namespace {

using tdl::test::NodePdo;

size_t NodesUnder(std::u16string_view prefix) {
    size_t count = 0;
    for (const auto& node : nt::pnp::DeviceNodes()) {
        count += node.instancePath.compare(0, prefix.size(), prefix) == 0;
    }
    return count;
}

class HotPlug : public tdl::test::MachineTest {
protected:
    void SetUp() override { BootDefault(); }
};

TEST_F(HotPlug, PluggedDeviceIsEnumeratedAndUnpluggedOneRemoved) {
    auto hub = m_machine->DeviceAs<sim::UsbHubModel>("hub");
    ASSERT_TRUE(hub);
    const size_t before = nt::pnp::DeviceNodes().size();
    ASSERT_TRUE(m_machine->Plug(*hub, 4, sim::MakeMouse("second mouse")));
    PDEVICE_OBJECT pdo = Pdo("second mouse");
    ASSERT_NE(pdo, nullptr);
    EXPECT_EQ(tdl::test::Property(pdo, DevicePropertyLocationInformation), u"Port_#0004.Hub_#0005");
    EXPECT_EQ(nt::pnp::DeviceNodes().size(), before + 2) << "the mouse and its HID collection";
    EXPECT_EQ(tdl::test::DriverName(IoGetAttachedDevice(pdo)), u"hidusb");

    EXPECT_FALSE(m_machine->Plug(*hub, 4, sim::MakeKeyboard())) << "the port is taken";
    ASSERT_TRUE(m_machine->Unplug("second mouse"));
    EXPECT_EQ(nt::pnp::DeviceNodes().size(), before);
    EXPECT_EQ(m_machine->Device("second mouse"), nullptr);
}

TEST_F(HotPlug, UnpluggingAHubTakesItsDevicesAlongAndPluggingItBackBringsThem) {
    const size_t before = nt::pnp::DeviceNodes().size();
    const std::u16string keyboardKey = tdl::test::Property(Pdo("keyboard"), DevicePropertyDriverKeyName);
    std::shared_ptr<sim::UsbDevice> hub = m_machine->Unplug("hub");
    ASSERT_TRUE(hub);
    // The hub, the keyboard and its collection, the printer and its printer device, the composite device with
    // its two functions, the HID collection of one and the disk of the other.
    EXPECT_EQ(nt::pnp::DeviceNodes().size(), before - 10);
    EXPECT_EQ(NodesUnder(u"USB\\VID_7A51&PID_0C01"), 0u);
    EXPECT_EQ(Pdo("keyboard"), nullptr);

    ASSERT_TRUE(m_machine->Plug(m_machine->Controller("ehci")->RootHub(), 1, hub));
    EXPECT_EQ(nt::pnp::DeviceNodes().size(), before);
    ASSERT_NE(Pdo("keyboard"), nullptr);
    EXPECT_EQ(tdl::test::Property(Pdo("keyboard"), DevicePropertyDriverKeyName), keyboardKey)
        << "the same devices in the same places are the same device nodes";
}

TEST_F(HotPlug, TransfersWaitingOnAnUnpluggedDeviceEnd) {
    PDEVICE_OBJECT pdo = Pdo("loopback");
    sim::Bytes configuration = m_machine->Device("loopback")->Descriptors().configurations[0];
    auto* descriptor = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(configuration.data());
    USBD_INTERFACE_LIST_ENTRY list[2] = {
        {USBD_ParseConfigurationDescriptorEx(descriptor, descriptor, 0, 0, -1, -1, -1), nullptr}, {nullptr, nullptr}};
    PURB select = USBD_CreateConfigurationRequestEx(descriptor, list);
    ASSERT_EQ(tdl::test::SubmitUrb(pdo, select), STATUS_SUCCESS);
    USBD_PIPE_HANDLE in = nullptr;
    for (ULONG i = 0; i < list[0].Interface->NumberOfPipes; ++i) {
        if (list[0].Interface->Pipes[i].EndpointAddress == 0x81) {
            in = list[0].Interface->Pipes[i].PipeHandle;
        }
    }
    ExFreePool(select);

    UCHAR buffer[64];
    URB read{};
    UsbBuildInterruptOrBulkTransferRequest(&read, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER), in, buffer, nullptr,
                                           sizeof buffer, USBD_TRANSFER_DIRECTION_IN, nullptr);
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK status{};
    PIRP irp = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_USB_SUBMIT_URB, pdo, nullptr, 0, nullptr, 0, TRUE, &event,
                                             &status);
    IoGetNextIrpStackLocation(irp)->Parameters.Others.Argument1 = &read;
    ASSERT_EQ(IoCallDriver(pdo, irp), STATUS_PENDING);

    ASSERT_TRUE(m_machine->Unplug("loopback"));
    KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
    EXPECT_EQ(status.Status, STATUS_CANCELLED);
    EXPECT_EQ(read.UrbHeader.Status, USBD_STATUS_CANCELED);
}

TEST_F(HotPlug, RequestsRacingAnUnplugEndCleanly) {
    PDEVICE_OBJECT pdo = Pdo("stick");
    ObReferenceObject(pdo); // the sender's hold on the device object, as a class driver's
    std::atomic<bool> stop{false};
    std::atomic<int> answered{0};
    std::thread sender([&] {
        while (!stop) {
            UCHAR buffer[18];
            URB urb{};
            UsbBuildGetDescriptorRequest(&urb, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), USB_DEVICE_DESCRIPTOR_TYPE, 0,
                                         0, buffer, nullptr, sizeof buffer, nullptr);
            if (NT_SUCCESS(tdl::test::SubmitUrb(pdo, &urb))) {
                ++answered;
            }
        }
    });
    while (answered < 3) {
        std::this_thread::yield();
    }
    ASSERT_TRUE(m_machine->Unplug("stick"));
    stop = true;
    sender.join();
    URB late{};
    UCHAR buffer[18];
    UsbBuildGetDescriptorRequest(&late, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), USB_DEVICE_DESCRIPTOR_TYPE, 0, 0,
                                 buffer, nullptr, sizeof buffer, nullptr);
    EXPECT_EQ(tdl::test::SubmitUrb(pdo, &late), STATUS_NO_SUCH_DEVICE) << "the device object is gone";
    ObDereferenceObject(pdo);
}

} // namespace

namespace {

// A controller taken off the PCI bus goes with its root hub and devices; put back, it brings them again. The
// orderly way asks its devices first; both leave nothing behind in the device nodes.
TEST_F(HotPlug, AControllerRemovedEitherWayTakesItsDevicesAndAddedAgainBringsThem) {
    for (bool surprise : {true, false}) {
        SCOPED_TRACE(surprise);
        const size_t before = nt::pnp::DeviceNodes().size();
        const std::u16string mouseKey = tdl::test::Property(Pdo("mouse"), DevicePropertyDriverKeyName);
        std::shared_ptr<sim::HostControllerModel> uhci = m_machine->RemoveController("uhci", surprise);
        ASSERT_TRUE(uhci);
        // The controller, its root hub, the mouse and its HID collection.
        EXPECT_EQ(nt::pnp::DeviceNodes().size(), before - 4);
        EXPECT_EQ(m_machine->Controller("uhci"), nullptr);
        EXPECT_EQ(uhci->PhysicalDeviceObject(), nullptr);
        EXPECT_EQ(Pdo("mouse"), nullptr);
        EXPECT_EQ(m_machine->RemoveController("uhci", surprise), nullptr) << "gone already";

        ASSERT_EQ(m_machine->AddController(uhci), uhci.get());
        EXPECT_EQ(m_machine->AddController(uhci), nullptr) << "the name is taken";
        EXPECT_EQ(nt::pnp::DeviceNodes().size(), before);
        ASSERT_NE(uhci->PhysicalDeviceObject(), nullptr);
        ASSERT_NE(Pdo("mouse"), nullptr);
        EXPECT_EQ(tdl::test::Property(Pdo("mouse"), DevicePropertyDriverKeyName), mouseKey);
    }
    // A controller the machine did not boot with.
    auto extra = std::make_shared<sim::HostControllerModel>(sim::ControllerType::Ohci, "extra", 2,
                                                            sim::PciIdentity{.device = 0x1A});
    extra->Plug(1, sim::MakeKeyboard("extra keyboard"));
    ASSERT_NE(m_machine->AddController(extra), nullptr);
    ASSERT_NE(Pdo("extra keyboard"), nullptr);
    EXPECT_TRUE(m_machine->RemoveController("extra", false));
    EXPECT_EQ(Pdo("extra keyboard"), nullptr);
}

} // namespace
