// The request kinds beside URBs, as the tap on the USB drivers sees them while the machine plays its workloads:
// internal requests with their arguments, device-control requests to hubs, host controllers and HID
// collections (each transfer method), power requests of every minor function, Plug and Play requests; and the
// signature words the capture filter's AddDevice reads, there from the function driver's AddDevice on.
#include <map>
#include <set>

#include "platform/sim/ReleaseProfile.h"
#include "platform/sim/Workload.h"
#include "tests/support/MachineFixture.h"
#include "usbioctl.h"

namespace {

using tdl::test::BusTap;
using tdl::test::TappedRequest;

class RequestKinds : public tdl::test::MachineTest {
protected:
    void SetUp() override {
        BootDefault();
        UseVirtualClock();
    }
};

TEST_F(RequestKinds, EveryKindReachesTheUsbDriversAndCompletes) {
    BusTap tap(BusTap::UsbDrivers());
    Play(sim::WorkloadKind::RequestFamilies, 1);
    Play(sim::WorkloadKind::PlugAndUnplug, 6);
    Play(sim::WorkloadKind::IdleMachine, 1);
    const std::vector<TappedRequest> requests = tap.Requests();

    std::map<ULONG, NTSTATUS> internal;   // internal request codes at the hub driver's device objects
    std::set<ULONG> hub, controller, hid; // device-control codes by the driver that got them
    std::set<UCHAR> power, pnp;           // minor functions
    std::set<ULONG> hidMethods;
    for (const TappedRequest& request : requests) {
        ASSERT_TRUE(request.invalid.empty()) << request.invalid;
        const std::string driver(request.driver.begin(), request.driver.end());
        if (request.major == IRP_MJ_INTERNAL_DEVICE_CONTROL && driver == "usbhub" &&
            request.code != IOCTL_INTERNAL_USB_SUBMIT_URB && request.completed) {
            internal[request.code] = request.status;
        } else if (request.major == IRP_MJ_DEVICE_CONTROL && request.completed) {
            if (driver == "usbhub") {
                hub.insert(request.code);
            } else if (driver == "usbehci" || driver == "usbohci" || driver == "usbuhci") {
                controller.insert(request.code);
            } else if (driver == "hidusb" && DEVICE_TYPE_FROM_CTL_CODE(request.code) == FILE_DEVICE_KEYBOARD) {
                hid.insert(request.code);
                hidMethods.insert(METHOD_FROM_CTL_CODE(request.code));
            }
        } else if (request.major == IRP_MJ_POWER) {
            power.insert(request.minor);
        } else if (request.major == IRP_MJ_PNP) {
            pnp.insert(request.minor);
        }
    }
    // The internal requests a device's drivers send, answered by its hub port's device object.
    for (ULONG code :
         {IOCTL_INTERNAL_USB_GET_ROOTHUB_PDO, IOCTL_INTERNAL_USB_GET_PORT_STATUS, IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE,
          IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE_EX, IOCTL_INTERNAL_USB_GET_TOPOLOGY_ADDRESS,
          IOCTL_INTERNAL_USB_GET_DEVICE_CONFIG_INFO, IOCTL_INTERNAL_USB_GET_TT_DEVICE_HANDLE,
          IOCTL_INTERNAL_USB_GET_PARENT_HUB_INFO, IOCTL_INTERNAL_USB_GET_HUB_COUNT, IOCTL_INTERNAL_USB_RESET_PORT,
          IOCTL_INTERNAL_USB_ENABLE_PORT, IOCTL_INTERNAL_USB_RECORD_FAILURE, IOCTL_INTERNAL_USB_NOTIFY_IDLE_READY,
          IOCTL_INTERNAL_USB_REQ_GLOBAL_SUSPEND, IOCTL_INTERNAL_USB_REQ_GLOBAL_RESUME,
          IOCTL_INTERNAL_USB_GET_CONTROLLER_NAME, IOCTL_INTERNAL_USB_GET_BUS_INFO}) {
        ASSERT_TRUE(internal.count(code)) << std::hex << code;
        EXPECT_EQ(internal[code], STATUS_SUCCESS) << std::hex << code;
    }
    // Idle notifications end cancelled once their device is back; a port cycle (in "plug and unplug", when
    // the dice say so) is a request of its own.
    ASSERT_TRUE(internal.count(IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION));
    EXPECT_EQ(internal[IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION], STATUS_CANCELLED);
    ASSERT_TRUE(internal.count(IOCTL_INTERNAL_USB_CYCLE_PORT));
    EXPECT_EQ(internal[IOCTL_INTERNAL_USB_CYCLE_PORT], STATUS_SUCCESS);

    for (ULONG code : {IOCTL_USB_GET_NODE_INFORMATION, IOCTL_USB_GET_NODE_CONNECTION_INFORMATION,
                       IOCTL_USB_GET_NODE_CONNECTION_INFORMATION_EX, IOCTL_USB_GET_NODE_CONNECTION_DRIVERKEY_NAME,
                       IOCTL_USB_GET_NODE_CONNECTION_NAME, IOCTL_USB_GET_DESCRIPTOR_FROM_NODE_CONNECTION,
                       IOCTL_USB_GET_HUB_CAPABILITIES, IOCTL_USB_GET_HUB_CAPABILITIES_EX,
                       IOCTL_USB_GET_NODE_CONNECTION_ATTRIBUTES, IOCTL_USB_GET_HUB_INFORMATION_EX}) {
        EXPECT_TRUE(hub.count(code)) << std::hex << code;
    }
    for (ULONG code :
         {IOCTL_GET_HCD_DRIVERKEY_NAME, IOCTL_USB_GET_ROOT_HUB_NAME, IOCTL_USB_HCD_GET_STATS_1,
          IOCTL_USB_HCD_GET_STATS_2, IOCTL_USB_USER_REQUEST, IOCTL_USB_HCD_DISABLE_PORT, IOCTL_USB_HCD_ENABLE_PORT}) {
        EXPECT_TRUE(controller.count(code)) << std::hex << code;
    }
    EXPECT_GE(hid.size(), 14u);
    EXPECT_EQ(hidMethods, (std::set<ULONG>{METHOD_BUFFERED, METHOD_IN_DIRECT, METHOD_OUT_DIRECT, METHOD_NEITHER}));
    EXPECT_EQ(power, (std::set<UCHAR>{IRP_MN_WAIT_WAKE, IRP_MN_POWER_SEQUENCE, IRP_MN_SET_POWER, IRP_MN_QUERY_POWER}));
    for (UCHAR minor : {IRP_MN_START_DEVICE, IRP_MN_REMOVE_DEVICE, IRP_MN_SURPRISE_REMOVAL,
                        IRP_MN_QUERY_DEVICE_RELATIONS, IRP_MN_QUERY_ID, IRP_MN_QUERY_INTERFACE}) {
        EXPECT_TRUE(pnp.count(minor)) << int(minor);
    }
}

// Selective suspend of the mouse, as its port sees it: the idle notification, then (from the hub's callback)
// its power sequence, its wait-wake and D2; the mouse moves, its wait-wake completes, D0 follows and the idle
// request ends.
TEST_F(RequestKinds, TheMouseSleepsArmedForWakeAndItsMoveWakesTheMachine) {
    BusTap tap({u"usbhub"});
    Play(sim::WorkloadKind::IdleMachine, 1);
    PDEVICE_OBJECT mouse = Pdo("mouse");
    std::vector<std::string> steps;
    for (const TappedRequest& request : tap.Requests()) {
        if (request.device != mouse) {
            continue;
        }
        if (request.major == IRP_MJ_INTERNAL_DEVICE_CONTROL &&
            request.code == IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION) {
            steps.push_back("idle");
            EXPECT_EQ(request.returned, STATUS_PENDING);
            EXPECT_EQ(request.status, STATUS_CANCELLED);
        } else if (request.major == IRP_MJ_POWER && request.minor == IRP_MN_POWER_SEQUENCE) {
            steps.push_back("sequence");
            EXPECT_EQ(request.status, STATUS_SUCCESS);
        } else if (request.major == IRP_MJ_POWER && request.minor == IRP_MN_WAIT_WAKE && steps.size() < 4) {
            steps.push_back("wait-wake");
            EXPECT_EQ(request.returned, STATUS_PENDING);
            EXPECT_EQ(request.status, STATUS_SUCCESS) << "woken by the mouse";
        } else if (request.major == IRP_MJ_POWER && request.minor == IRP_MN_SET_POWER &&
                   request.powerType == DevicePowerState && steps.size() < 5) {
            steps.push_back(request.powerState.DeviceState == PowerDeviceD0 ? "D0" : "D2");
        }
    }
    EXPECT_EQ(steps, (std::vector<std::string>{"idle", "sequence", "wait-wake", "D2", "D0"}));
}

// The words the capture filter tells controllers and hubs by are in their extensions when its AddDevice runs,
// right after the function driver's.
struct AddDeviceSeen {
    std::u16string driver;
    ULONG controllerWord;
    ULONG hubWord;
};
std::vector<AddDeviceSeen> g_seen;

NTSTATUS FilterAddDevice(PDRIVER_OBJECT, PDEVICE_OBJECT pdo) {
    PDEVICE_OBJECT below = IoGetAttachedDeviceReference(pdo);
    const sim::ReleaseLayout layout = sim::CurrentLayout();
    g_seen.push_back({tdl::test::DriverName(below), tdl::test::ExtensionWord(below, layout.hostControllerSignature),
                      tdl::test::ExtensionWord(below, layout.hubSignature)});
    ObDereferenceObject(below);
    return STATUS_SUCCESS;
}

NTSTATUS FilterEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    driver->DriverExtension->AddDevice = FilterAddDevice;
    return STATUS_SUCCESS;
}

TEST(ExtensionWords, AreThereWhenTheClassFilterIsAdded) {
    g_seen.clear();
    sim::MachineOptions options;
    options.captureDriverEntry = FilterEntry;
    std::unique_ptr<sim::Machine> machine = sim::Machine::BootDefault(options);
    ASSERT_EQ(machine->Status(), STATUS_SUCCESS);
    size_t controllers = 0, hubs = 0;
    for (const AddDeviceSeen& seen : g_seen) {
        if (seen.driver == u"usbehci" || seen.driver == u"usbuhci" || seen.driver == u"usbohci") {
            ++controllers;
            EXPECT_EQ(seen.controllerWord, sim::SignatureWord("HFDO"))
                << std::string(seen.driver.begin(), seen.driver.end());
        } else if (seen.driver == u"usbhub") {
            ++hubs;
            EXPECT_EQ(seen.hubWord, sim::SignatureWord("HUB "));
        }
    }
    EXPECT_EQ(controllers, 3u);
    EXPECT_EQ(hubs, 4u) << "three root hubs and the external hub";
    machine->Shutdown();
}

} // namespace
