// The machine's traffic as the drivers below see it, watched with a tap on the simulated USB drivers: every
// URB family reaches the port driver with its published layout and comes back as the device answers it; every
// buffer that crosses a driver boundary is valid memory; storage commands keep their tags; pending requests
// complete on other threads; power and removal go in the platform's order.
#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include "NtPnpControl.h"
#include "NtPoolControl.h"
#include "platform/sim/StandardDevices.h"
#include "platform/sim/Workload.h"
#include "tests/support/MachineFixture.h"
#include "usbdi.h"
#include "usbioctl.h"

namespace {

using tdl::test::BusTap;
using tdl::test::TappedRequest;

class Traffic : public tdl::test::MachineTest {
protected:
    void SetUp() override {
        BootDefault();
        UseVirtualClock();
    }

    static std::vector<TappedRequest> Urbs(const std::vector<TappedRequest>& requests,
                                           PDEVICE_OBJECT device = nullptr) {
        std::vector<TappedRequest> urbs;
        for (const TappedRequest& request : requests) {
            if (request.major == IRP_MJ_INTERNAL_DEVICE_CONTROL && request.code == IOCTL_INTERNAL_USB_SUBMIT_URB &&
                request.urbLength && (!device || request.device == device)) {
                urbs.push_back(request);
            }
        }
        return urbs;
    }

    template <class T> static T UrbAs(const std::vector<UCHAR>& bytes) {
        T urb{};
        std::memcpy(&urb, bytes.data(), std::min(sizeof urb, bytes.size()));
        return urb;
    }
};

// The size of the published structure of each URB function.
size_t PublishedSize(USHORT function) {
    switch (function) {
    case URB_FUNCTION_SELECT_CONFIGURATION: return offsetof(_URB_SELECT_CONFIGURATION, Interface);
    case URB_FUNCTION_SELECT_INTERFACE: return offsetof(_URB_SELECT_INTERFACE, Interface);
    case URB_FUNCTION_ABORT_PIPE:
    case URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL:
    case URB_FUNCTION_SYNC_RESET_PIPE:
    case URB_FUNCTION_SYNC_CLEAR_STALL: return sizeof(_URB_PIPE_REQUEST);
    case URB_FUNCTION_TAKE_FRAME_LENGTH_CONTROL:
    case URB_FUNCTION_RELEASE_FRAME_LENGTH_CONTROL: return sizeof(_URB_FRAME_LENGTH_CONTROL);
    case URB_FUNCTION_GET_FRAME_LENGTH: return sizeof(_URB_GET_FRAME_LENGTH);
    case URB_FUNCTION_SET_FRAME_LENGTH: return sizeof(_URB_SET_FRAME_LENGTH);
    case URB_FUNCTION_GET_CURRENT_FRAME_NUMBER: return sizeof(_URB_GET_CURRENT_FRAME_NUMBER);
    case URB_FUNCTION_CONTROL_TRANSFER: return sizeof(_URB_CONTROL_TRANSFER);
    case URB_FUNCTION_CONTROL_TRANSFER_EX: return sizeof(_URB_CONTROL_TRANSFER_EX);
    case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER: return sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER);
    case URB_FUNCTION_ISOCH_TRANSFER: return offsetof(_URB_ISOCH_TRANSFER, IsoPacket);
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE:
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_ENDPOINT:
    case URB_FUNCTION_GET_DESCRIPTOR_FROM_INTERFACE:
    case URB_FUNCTION_SET_DESCRIPTOR_TO_DEVICE:
    case URB_FUNCTION_SET_DESCRIPTOR_TO_ENDPOINT:
    case URB_FUNCTION_SET_DESCRIPTOR_TO_INTERFACE: return sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST);
    case URB_FUNCTION_GET_STATUS_FROM_DEVICE:
    case URB_FUNCTION_GET_STATUS_FROM_INTERFACE:
    case URB_FUNCTION_GET_STATUS_FROM_ENDPOINT:
    case URB_FUNCTION_GET_STATUS_FROM_OTHER: return sizeof(_URB_CONTROL_GET_STATUS_REQUEST);
    case URB_FUNCTION_GET_CONFIGURATION: return sizeof(_URB_CONTROL_GET_CONFIGURATION_REQUEST);
    case URB_FUNCTION_GET_INTERFACE: return sizeof(_URB_CONTROL_GET_INTERFACE_REQUEST);
    case URB_FUNCTION_GET_MS_FEATURE_DESCRIPTOR: return sizeof(_URB_OS_FEATURE_DESCRIPTOR_REQUEST);
    case URB_FUNCTION_SET_PIPE_IO_POLICY:
    case URB_FUNCTION_GET_PIPE_IO_POLICY: return sizeof(_URB_PIPE_IO_POLICY);
    case URB_FUNCTION_OPEN_ENDPOINT: return sizeof(_URB_OPEN_ENDPOINT);
    case URB_FUNCTION_CLOSE_ENDPOINT: return sizeof(_URB_CLOSE_ENDPOINT);
    case URB_FUNCTION_GET_ENDPOINT_STATE: return sizeof(_URB_GET_ENDPOINT_STATE);
    default:
        if ((function >= URB_FUNCTION_SET_FEATURE_TO_DEVICE && function <= URB_FUNCTION_CLEAR_FEATURE_TO_ENDPOINT) ||
            function == URB_FUNCTION_SET_FEATURE_TO_OTHER || function == URB_FUNCTION_CLEAR_FEATURE_TO_OTHER) {
            return sizeof(_URB_CONTROL_FEATURE_REQUEST);
        }
        if ((function >= URB_FUNCTION_VENDOR_DEVICE && function <= URB_FUNCTION_CLASS_ENDPOINT) ||
            function == URB_FUNCTION_CLASS_OTHER || function == URB_FUNCTION_VENDOR_OTHER) {
            return sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST);
        }
        return sizeof(_URB_HEADER);
    }
}

TEST_F(Traffic, EveryUrbFamilyReachesThePortDriverInItsPublishedLayoutAndComesBackAnswered) {
    BusTap tap(BusTap::UsbDrivers());
    Play(sim::WorkloadKind::RequestFamilies, 1);
    const std::vector<TappedRequest> requests = tap.Requests();

    // Every URB of the loopback at its root hub (the port driver's device object), by function. (The root
    // hub's own driver sends URBs there too, without a device handle: its status-change transfer waits.)
    PDEVICE_OBJECT rootHub = m_machine->Controller("ohci")->RootHub().PhysicalDeviceObject();
    std::map<USHORT, std::vector<TappedRequest>> byFunction;
    bool synchronousFlag = false;
    for (const TappedRequest& urb : Urbs(requests, rootHub)) {
        if (!UrbAs<_URB_HEADER>(urb.urb).UsbdDeviceHandle) {
            continue;
        }
        byFunction[urb.function].push_back(urb);
        synchronousFlag = synchronousFlag || (urb.rawFunction & URB_FUNCTION_SUBMIT_SYNCHRONOUS);
        EXPECT_GE(urb.urbLength, PublishedSize(urb.function)) << "function " << urb.function;
        EXPECT_TRUE(urb.completed) << "function " << urb.function;
    }
    EXPECT_TRUE(synchronousFlag);
    std::set<USHORT> functions;
    for (USHORT function = 0; function <= URB_FUNCTION_GET_PIPE_IO_POLICY; ++function) {
        functions.insert(function);
    }
    for (USHORT missing : {USHORT{URB_FUNCTION_RESERVE_0X0016}, USHORT{URB_FUNCTION_RESERVE_0X001D}, USHORT{0x2B},
                           USHORT{0x2C}, USHORT{0x2D}, USHORT{0x2E}, USHORT{0x2F}}) {
        // The reserved functions reach the port driver too, and are refused.
        ASSERT_TRUE(byFunction.count(missing)) << missing;
        EXPECT_EQ(UrbAs<_URB_HEADER>(byFunction[missing][0].urbDone).Status, USBD_STATUS_INVALID_URB_FUNCTION);
    }
    for (USHORT function : functions) {
        EXPECT_TRUE(byFunction.count(function)) << "URB function " << function << " never reached the port driver";
    }
    // The hub driver's endpoint requests go to the EHCI root hub.
    std::set<USHORT> endpointFunctions;
    for (const TappedRequest& urb : Urbs(requests)) {
        if (urb.function >= URB_FUNCTION_OPEN_ENDPOINT && urb.function <= URB_FUNCTION_GET_ENDPOINT_STATE) {
            endpointFunctions.insert(urb.function);
            EXPECT_EQ(UrbAs<_URB_HEADER>(urb.urbDone).Status, USBD_STATUS_SUCCESS);
        }
    }
    EXPECT_EQ(endpointFunctions.size(), 3u);

    // Plausible answers: the device descriptor, a configuration with its interfaces, the frame number.
    const auto device =
        UrbAs<_URB_CONTROL_DESCRIPTOR_REQUEST>(byFunction[URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE][0].urbDone);
    EXPECT_EQ(device.Hdr.Status, USBD_STATUS_SUCCESS);
    EXPECT_EQ(device.TransferBufferLength, 18u);
    const auto selected = UrbAs<_URB_SELECT_CONFIGURATION>(byFunction[URB_FUNCTION_SELECT_CONFIGURATION][0].urbDone);
    EXPECT_NE(selected.ConfigurationHandle, nullptr);
    EXPECT_EQ(selected.Interface.NumberOfPipes, 2u);
    EXPECT_EQ(selected.Interface.Class, USB_DEVICE_CLASS_VENDOR_SPECIFIC);
    bool unconfigured = false;
    for (const TappedRequest& select : byFunction[URB_FUNCTION_SELECT_CONFIGURATION]) {
        unconfigured = unconfigured || (select.urbLength == sizeof(_URB_SELECT_CONFIGURATION) &&
                                        !UrbAs<_URB_SELECT_CONFIGURATION>(select.urb).ConfigurationDescriptor);
    }
    EXPECT_TRUE(unconfigured) << "SELECT_CONFIGURATION without a descriptor";
    const auto frame = UrbAs<_URB_GET_FRAME_LENGTH>(byFunction[URB_FUNCTION_GET_FRAME_LENGTH][0].urbDone);
    EXPECT_EQ(frame.FrameLength, 11999u);
    // Control transfers with and without CONTROL_TRANSFER_EX, with a buffer and with an MDL.
    bool byBuffer = false, byMdl = false;
    for (const TappedRequest& control : byFunction[URB_FUNCTION_CONTROL_TRANSFER]) {
        const auto done = UrbAs<_URB_CONTROL_TRANSFER>(control.urbDone);
        EXPECT_EQ(done.Hdr.Status, USBD_STATUS_SUCCESS);
        byBuffer = byBuffer || done.TransferBuffer;
        byMdl = byMdl || done.TransferBufferMDL;
    }
    EXPECT_TRUE(byBuffer && byMdl);
    EXPECT_EQ(UrbAs<_URB_CONTROL_TRANSFER_EX>(byFunction[URB_FUNCTION_CONTROL_TRANSFER_EX][0].urb).Timeout, 5000u);
}

TEST_F(Traffic, EveryBufferThatCrossesADriverBoundaryIsValidMemory) {
    BusTap tap(BusTap::UsbDrivers());
    // Devices that arrive while the tap watches show their drivers' start too.
    Play(sim::WorkloadKind::PlugAndUnplug, 6);
    Play(sim::WorkloadKind::RequestFamilies, 1);
    Play(sim::WorkloadKind::CopyToStick, 1);
    Play(sim::WorkloadKind::MouseMoving, 5);
    Play(sim::WorkloadKind::Printing, 1);
    Play(sim::WorkloadKind::IdleMachine, 1);
    const std::vector<TappedRequest> requests = tap.Requests();
    ASSERT_GT(requests.size(), 1000u);
    size_t configurations = 0;
    for (const TappedRequest& request : requests) {
        EXPECT_TRUE(request.invalid.empty())
            << tdl::test::DriverName(request.device).size() << " "
            << std::string(request.driver.begin(), request.driver.end()) << " major " << int(request.major) << " code "
            << std::hex << request.code << " function " << request.function << ": " << request.invalid;
        configurations += request.function == URB_FUNCTION_SELECT_CONFIGURATION && request.urbLength &&
                          UrbAs<_URB_SELECT_CONFIGURATION>(request.urb).ConfigurationDescriptor;
    }
    EXPECT_GT(configurations, 4u) << "the started devices selected their configurations";
}

// The bulk-only transport as the stick's root hub sees it: each command block wrapper goes out with a tag and
// the status wrapper that ends the command comes back with the same one, and the file read back is what the
// disk holds (the workload compares both).
TEST_F(Traffic, StorageCommandsKeepTheirTagsAndTheDiskHoldsTheFile) {
    BusTap tap({u"usbehci"});
    sim::WorkloadOptions options;
    options.fileBytes = 64 * 1024;
    options.transferBytes = 16 * 1024;
    const sim::WorkloadResult result = Play(sim::WorkloadKind::CopyToStick, 3, options);
    EXPECT_EQ(result.bytes, 3u * 2 * 64 * 1024);

    PDEVICE_OBJECT rootHub = m_machine->Controller("ehci")->RootHub().PhysicalDeviceObject();
    std::vector<ULONG> commandTags;
    std::vector<ULONG> statusTags;
    for (const TappedRequest& urb : Urbs(tap.Requests(), rootHub)) {
        const auto transfer = UrbAs<_URB_BULK_OR_INTERRUPT_TRANSFER>(urb.urbDone);
        if (urb.function != URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER) {
            continue;
        }
        if (urb.dataOut.size() == 31 && sim::ReadU32(urb.dataOut.data()) == sim::BulkOnlyFunction::kCbwSignature) {
            commandTags.push_back(sim::ReadU32(urb.dataOut.data() + 4));
        } else if (transfer.TransferBufferLength == 13 && urb.dataIn.size() == 13 &&
                   sim::ReadU32(urb.dataIn.data()) == sim::BulkOnlyFunction::kCswSignature) {
            statusTags.push_back(sim::ReadU32(urb.dataIn.data() + 4));
            EXPECT_EQ(urb.dataIn[12], 0) << "command passed";
        }
    }
    // Each file: four writes, a flush, four reads.
    ASSERT_EQ(commandTags.size(), 3u * 9);
    EXPECT_EQ(statusTags, commandTags);
    std::set<ULONG> distinct(commandTags.begin(), commandTags.end());
    EXPECT_EQ(distinct.size(), commandTags.size()) << "every command has its own tag";

    // The device saw the same commands: WRITE(10), SYNCHRONIZE CACHE(10) and READ(10), each passed.
    auto* storage = m_machine->Device("stick")->FunctionAs<sim::BulkOnlyFunction>(0);
    std::vector<sim::BulkOnlyCommand> history = storage->History();
    ASSERT_GE(history.size(), commandTags.size());
    history.erase(history.begin(), history.end() - static_cast<std::ptrdiff_t>(commandTags.size()));
    for (size_t i = 0; i < history.size(); ++i) {
        EXPECT_EQ(history[i].tag, commandTags[i]);
        EXPECT_EQ(history[i].cswStatus, 0);
        EXPECT_EQ(history[i].opcode, i % 9 < 4 ? 0x2A : i % 9 == 4 ? 0x35 : 0x28);
    }
}

TEST_F(Traffic, ATwoMebibyteReadIsOneUrb) {
    BusTap tap({u"usbehci"});
    sim::WorkloadOptions options;
    options.fileBytes = options.transferBytes = 2 * 1024 * 1024;
    Play(sim::WorkloadKind::CopyToStick, 1, options);
    size_t reads = 0;
    for (const TappedRequest& urb : Urbs(tap.Requests())) {
        const auto transfer = UrbAs<_URB_BULK_OR_INTERRUPT_TRANSFER>(urb.urbDone);
        if (urb.function == URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER &&
            (transfer.TransferFlags & USBD_TRANSFER_DIRECTION_IN) && transfer.TransferBufferLength == 2 * 1024 * 1024) {
            ++reads;
            EXPECT_EQ(transfer.Hdr.Status, USBD_STATUS_SUCCESS);
            EXPECT_NE(transfer.TransferBufferMDL, nullptr) << "the data is described by the reader's MDL";
        }
    }
    EXPECT_EQ(reads, 1u);
}

// Eight isochronous IN packets give back the eight OUT packets (32, 64, ... 256 bytes), each with its own
// length, but those the device was told to fail: they count as errors and carry nothing.
TEST_F(Traffic, IsochronousPacketsReportTheirLengthsAndTheErrorsTheDeviceMade) {
    for (ULONG errors : {0u, 3u, 8u}) {
        SCOPED_TRACE(errors);
        BusTap tap({u"usbohci"});
        sim::WorkloadOptions options;
        options.isochErrors = errors;
        Play(sim::WorkloadKind::RequestFamilies, 1, options);
        std::vector<UCHAR> in;
        for (const TappedRequest& urb : Urbs(tap.Requests())) {
            if (urb.function == URB_FUNCTION_ISOCH_TRANSFER &&
                (UrbAs<_URB_ISOCH_TRANSFER>(urb.urb).TransferFlags & USBD_TRANSFER_DIRECTION_IN)) {
                in = urb.urbDone;
            }
        }
        ASSERT_EQ(in.size(), GET_ISO_URB_SIZE(8));
        const auto* transfer = reinterpret_cast<const _URB_ISOCH_TRANSFER*>(in.data());
        EXPECT_EQ(transfer->NumberOfPackets, 8u);
        EXPECT_EQ(transfer->ErrorCount, errors);
        EXPECT_EQ(transfer->Hdr.Status, errors == 8 ? USBD_STATUS_ISOCH_REQUEST_FAILED : USBD_STATUS_SUCCESS);
        ULONG total = 0;
        for (ULONG i = 0; i < 8; ++i) {
            const USBD_ISO_PACKET_DESCRIPTOR& packet = transfer->IsoPacket[i];
            if (i < errors) {
                EXPECT_EQ(packet.Status, USBD_STATUS_CRC) << i;
                EXPECT_EQ(packet.Length, 0u) << i;
            } else {
                EXPECT_EQ(packet.Status, USBD_STATUS_SUCCESS) << i;
                EXPECT_EQ(packet.Length, 32u * (i + 1)) << i;
            }
            total += packet.Length;
        }
        EXPECT_EQ(transfer->TransferBufferLength, total);
    }
}

// A request its driver cannot finish yet is pended, and completes later on another thread than the one that
// sent it: the mouse's reads when its clock makes a report, the storage driver's request blocks on its own
// thread, isochronous transfers on the controller's interrupt thread. Transfers complete at DISPATCH_LEVEL, as
// a controller's completion runs. (A read sent again from its own completion routine, at DISPATCH_LEVEL, may
// well complete on that same thread later: only senders at PASSIVE_LEVEL are counted; and a sender that
// cancels its own request sees it end on its own thread.)
TEST_F(Traffic, PendedRequestsCompleteLaterOnAnotherThread) {
    BusTap tap({u"usbuhci", u"usbohci", u"usbehci", u"hidusb", u"usbstor"});
    Play(sim::WorkloadKind::MouseMoving, 10);
    Play(sim::WorkloadKind::RequestFamilies, 1);
    Play(sim::WorkloadKind::CopyToStick, 1);
    std::map<std::u16string, size_t> pended;
    for (const TappedRequest& request : tap.Requests()) {
        if (request.returned != STATUS_PENDING || !request.completed || request.completedInDispatch ||
            request.dispatchIrql != PASSIVE_LEVEL || request.status == STATUS_CANCELLED) {
            continue;
        }
        ++pended[request.driver];
        EXPECT_NE(request.completionThread, request.dispatchThread)
            << std::string(request.driver.begin(), request.driver.end()) << " major " << int(request.major);
        if (request.code == IOCTL_INTERNAL_USB_SUBMIT_URB &&
            (request.function == URB_FUNCTION_ISOCH_TRANSFER ||
             request.function == URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER)) {
            EXPECT_EQ(request.completionIrql, DISPATCH_LEVEL);
        }
    }
    EXPECT_GE(pended[u"hidusb"], 10u) << "the collection's reads";
    EXPECT_GE(pended[u"usbstor"], 2u) << "the disk's request blocks";
    EXPECT_GE(pended[u"usbohci"], 1u) << "the loopback's isochronous transfers";
}

// Unplugging the external hub: every device below it is removed before the hub itself, and a class driver
// whose last device goes is unloaded.
TEST_F(Traffic, UnpluggingTheExternalHubRemovesItsDevicesFirstAndUnloadsTheirLastDrivers) {
    ASSERT_NE(nt::pnp::LoadedDriver(u"usbprint"), nullptr);
    ASSERT_NE(nt::pnp::LoadedDriver(u"kbdhid"), nullptr);
    const std::vector<std::u16string> drivers = BusTap::UsbDrivers();
    std::set<PDEVICE_OBJECT> below;
    PDEVICE_OBJECT hub = Pdo("hub");
    for (const auto& node : nt::pnp::DeviceNodes()) {
        below.insert(node.pdo);
    }
    std::vector<PDEVICE_OBJECT> stacks;
    {
        BusTap tap(drivers);
        ASSERT_TRUE(m_machine->Unplug("hub"));
        for (const TappedRequest& request : tap.Requests()) {
            if (request.major == IRP_MJ_PNP && request.minor == IRP_MN_REMOVE_DEVICE) {
                stacks.push_back(request.device);
            }
        }
    }
    // The removals reach the hub's own physical device object last.
    ASSERT_FALSE(stacks.empty());
    EXPECT_EQ(stacks.back(), hub);
    EXPECT_EQ(std::count(stacks.begin(), stacks.end(), hub), 1);
    EXPECT_GE(stacks.size(), 10u) << "the hub's devices, their functions and collections, before it";
    EXPECT_EQ(nt::pnp::LoadedDriver(u"usbprint"), nullptr) << "the printer was its only device";
    EXPECT_EQ(nt::pnp::LoadedDriver(u"kbdhid"), nullptr) << "the keyboard was its only device";
    EXPECT_NE(nt::pnp::LoadedDriver(u"usbstor"), nullptr) << "the stick on the root port still has it";
}

} // namespace
