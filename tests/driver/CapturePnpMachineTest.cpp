// Plug and Play capture on the simulated machine: what the device-stack tree learns live, as devices arrive,
// start and go, and what the hub drivers' bus interfaces and device-handle requests teach it.
#include <algorithm>
#include <cstring>
#include <set>

#include "NtPnpControl.h"
#include "common/LogHeader.h"
#include "common/NodeEntries.h"
#include "common/RecordTags.h"
#include "driver/hook/HubBusInterfaceHook.h"
#include "driver/nodes/HandleTables.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "platform/sim/HostControllerModel.h"
#include "platform/sim/StandardDevices.h"
#include "tests/driver/CaptureAllFamiliesFixture.h"
#include "tests/driver/StackTreeFixture.h"
#include "tests/support/MachineFixture.h"
#include "usbbusif.h"

namespace capturetest {
namespace {

using PnpOnMachine = MachineCapture;
using drivertest::Text;
using drvlog_test::ReadRecord;

ULONG64 Address(const void* p) {
    return reinterpret_cast<ULONG64>(p);
}

TEST_F(PnpOnMachine, AHotPluggedDeviceArrivesWithItsWholeIdentity) {
    Boot();
    EnableChangeLog();
    auto hub = m_machine->DeviceAs<sim::UsbHubModel>("hub");
    ASSERT_TRUE(m_machine->Plug(*hub, 4, sim::MakeFlashDrive("stick2", u"SIM0002")));
    PDEVICE_STACK stick = StackOf(Pdo("stick2"));
    PDEVICE_STACK hubStack = StackOf(Pdo("hub"));
    ASSERT_NE(stick, nullptr);
    ASSERT_NE(hubStack, nullptr);

    std::vector<ReadRecord> arrivals;
    for (ReadRecord& record : ReadLog(IOCTL_TINDALOFT_READ_CLOG)) {
        if (record.tag == LogTag::ktsA && LogHdr::StackID(record.bytes.data()) == stick->StackID) {
            arrivals.push_back(std::move(record));
        }
    }
    ASSERT_EQ(arrivals.size(), 1u); // once, when it became complete
    const uint8_t* record = arrivals[0].bytes.data();
    EXPECT_EQ(LogHdr::Status(record), 1u);
    DEVSTK_NODE entry;
    ASSERT_EQ(arrivals[0].dataSize, sizeof entry);
    std::memcpy(&entry, record + LOGHDR_SIZE, sizeof entry);
    // From the hub's bus relations, the device's IDs, its properties and the hub's extension.
    EXPECT_EQ(+entry.ParentStackID, hubStack->StackID);
    EXPECT_EQ(Text(entry.DeviceID), "USB\\VID_7A51&PID_1001");
    EXPECT_EQ(Text(entry.EnumeratorName), "USB");
    EXPECT_EQ(Text(entry.ClassName), "USB");
    EXPECT_EQ(Text(entry.DeviceDescription), "USB Mass Storage Device");
    EXPECT_EQ(Text(entry.HardwareID).rfind("USB\\VID_7A51&PID_1001", 0), 0u);
    EXPECT_EQ(Text(entry.DriverKeyName).rfind("{36FC9E60-C465-11CF-8056-444553540000}\\", 0), 0u);
    EXPECT_TRUE(entry.ClassGuid == drivertest::kUsbSetupClass);
    EXPECT_EQ(+entry.DeviceClass, 8u); // the interface's class triple, from the first compatible ID
    EXPECT_EQ(+entry.DeviceSubClass, 6u);
    EXPECT_EQ(+entry.DeviceProtocol, 0x50u);
    EXPECT_NE(+entry.UsbDeviceHandle, 0u);
    EXPECT_EQ(+entry.UsbDeviceHandle, StackDeviceHandle(stick));
    EXPECT_EQ(+entry.Removed, 0u);
}

TEST_F(PnpOnMachine, StartingADeviceNoClassFilterSeesGivesItsStackItsNodes) {
    Boot();
    EnableLog(true); // automatic selection
    EnableChangeLog();
    // A HID mouse: its class is not the USB class, so only its hub's report and its start teach the tree.
    auto hub = m_machine->DeviceAs<sim::UsbHubModel>("hub");
    ASSERT_TRUE(m_machine->Plug(*hub, 4, sim::MakeMouse("mouse2")));
    PDEVICE_OBJECT pdo = Pdo("mouse2");
    const std::vector<PDEVICE_OBJECT> chain = tdl::test::StackOf(pdo);
    ASSERT_GE(chain.size(), 2u);
    PDEVICE_STACK stack = StackOf(pdo);
    ASSERT_NE(stack, nullptr);
    EXPECT_EQ(stack->Devices.Count, static_cast<LONG>(chain.size()));

    std::set<ULONG64> arrived;
    for (const ReadRecord& record : ReadLog(IOCTL_TINDALOFT_READ_CLOG)) {
        if (record.tag == LogTag::vedA) {
            arrived.insert(tdl::LoadLe<ULONG64>(record.bytes.data() + offsetof(_LOGHDR, DeviceObject)));
        }
    }
    for (size_t i = 0; i < chain.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_TRUE(arrived.count(Address(chain[i])));
        PDEVOBJ_NODE node = FindDeviceNode(chain[i], TRUE);
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(node->Position, i);
        // The device on the hub port is hooked and, selected automatically, captured.
        if (i == 0) {
            EXPECT_EQ(DeviceNodeFlags(node) & (DEVOBJ_SELECTED | DEVOBJ_HOOKED | DEVOBJ_CAPTURE_OFF),
                      DEVOBJ_SELECTED | DEVOBJ_HOOKED);
        }
        DeviceNodeRelease(node);
    }
}

TEST_F(PnpOnMachine, UnpluggingADeviceRemovesEveryStackBelowIt) {
    Boot();
    PDEVICE_STACK composite = StackOf(Pdo("composite"));
    ASSERT_NE(composite, nullptr);
    // The composite device, its interfaces and what their drivers report, with their device objects.
    std::set<ULONG> tree = {composite->StackID};
    size_t devices = 0;
    const KIRQL irql = StackListLock();
    for (bool grew = true; grew;) {
        grew = false;
        for (PLIST_ENTRY link = g_Driver.StackList.Head.Flink; link != &g_Driver.StackList.Head; link = link->Flink) {
            PDEVICE_STACK stack = CONTAINING_RECORD(link, DEVICE_STACK, Links);
            if (stack->Parent != nullptr && tree.count(stack->Parent->StackID) && tree.insert(stack->StackID).second) {
                grew = true;
            }
        }
    }
    for (PLIST_ENTRY link = g_Driver.StackList.Head.Flink; link != &g_Driver.StackList.Head; link = link->Flink) {
        PDEVICE_STACK stack = CONTAINING_RECORD(link, DEVICE_STACK, Links);
        devices += tree.count(stack->StackID) ? static_cast<size_t>(stack->Devices.Count) : 0;
    }
    StackListUnlock(irql);
    ASSERT_GE(tree.size(), 5u); // the device, two interfaces, the HID collection, the disk

    EnableChangeLog();
    ASSERT_NE(m_machine->Unplug("composite"), nullptr);
    std::set<ULONG> removedStacks;
    size_t removedDevices = 0;
    for (const ReadRecord& record : ReadLog(IOCTL_TINDALOFT_READ_CLOG)) {
        if (record.tag == LogTag::ktsR) {
            removedStacks.insert(LogHdr::StackID(record.bytes.data()));
        }
        removedDevices += record.tag == LogTag::vedR;
    }
    EXPECT_EQ(removedStacks, tree);
    EXPECT_EQ(removedDevices, devices);
}

TEST_F(PnpOnMachine, AControllerOffTheBusTakesItsStackAlongAndComesBackWithANewOne) {
    Boot();
    EnableChangeLog();
    for (bool surprise : {true, false}) {
        SCOPED_TRACE(surprise);
        sim::HostControllerModel* model = m_machine->Controller("uhci");
        ASSERT_NE(model, nullptr);
        PDEVICE_OBJECT pdo = model->PhysicalDeviceObject();
        PDEVICE_STACK controller = StackOf(pdo);
        ASSERT_NE(controller, nullptr);
        const ULONG controllerId = controller->StackID;
        ReadLog(IOCTL_TINDALOFT_READ_CLOG);

        std::shared_ptr<sim::HostControllerModel> taken = m_machine->RemoveController("uhci", surprise);
        ASSERT_NE(taken, nullptr);
        // The PCI driver owns the physical device object and is never hooked: the removal its functional
        // device object sees is the stack's, and the application is told of both device objects and the stack.
        EXPECT_TRUE(controller->Removed); // the stack list keeps it until a refresh
        bool stackReported = false;
        bool pdoReported = false;
        for (const ReadRecord& record : ReadLog(IOCTL_TINDALOFT_READ_CLOG)) {
            stackReported |= record.tag == LogTag::ktsR && LogHdr::StackID(record.bytes.data()) == controllerId;
            pdoReported |= record.tag == LogTag::vedR &&
                           tdl::LoadLe<ULONG64>(record.bytes.data() + offsetof(_LOGHDR, DeviceObject)) == Address(pdo);
        }
        EXPECT_TRUE(stackReported);
        EXPECT_TRUE(pdoReported);
        // The device object is gone: a new one at its address must not be taken for the old stack's.
        EXPECT_EQ(StackOf(pdo), nullptr);

        ASSERT_NE(m_machine->AddController(taken), nullptr);
        PDEVICE_STACK added = StackOf(taken->PhysicalDeviceObject());
        ASSERT_NE(added, nullptr);
        EXPECT_NE(added->StackID, controllerId);
        PDEVICE_STACK rootHub = StackOf(taken->RootHub().PhysicalDeviceObject());
        ASSERT_NE(rootHub, nullptr);
        EXPECT_EQ(rootHub->Parent, added);
    }
}

TEST_F(PnpOnMachine, HubsGetTheHookedRemoveRoutineAndRootHubsTheirHandles) {
    Boot();
    // The interface a hub driver asks for: the query passes the hub's own device objects and the root hub's
    // physical device object, all hooked; it comes back with the hook in place, the port driver's routine kept.
    // The interface goes where a hub driver keeps it: non-paged pool.
    constexpr ULONG kTag = 0x74427548; // "HuBt"
    auto* copy = static_cast<PUSB_BUS_INTERFACE_HUB_V8>(
        ExAllocatePoolWithTag(NonPagedPool, sizeof(USB_BUS_INTERFACE_HUB_V8), kTag));
    RtlZeroMemory(copy, sizeof *copy);
    for (USHORT version :
         {USB_BUSIF_HUB_VERSION_8, USB_BUSIF_HUB_VERSION_7, USB_BUSIF_HUB_VERSION_6, USB_BUSIF_HUB_VERSION_5}) {
        if (NT_SUCCESS(tdl::test::QueryInterface(Pdo("hub"), USB_BUS_INTERFACE_HUB_GUID, sizeof *copy, version,
                                                 reinterpret_cast<PINTERFACE>(copy)))) {
            break;
        }
    }
    const USB_BUS_INTERFACE_HUB_V8 bus = *copy;
    ExFreePoolWithTag(copy, kTag);
    ASSERT_NE(bus.Version, 0);
    EXPECT_EQ(bus.RemoveUsbDevice, HookedRemoveUsbDevice);
    HUB_BUS_INTERFACE_ORIGINAL original;
    ASSERT_TRUE(HubBusInterfaceOriginal(bus.BusContext, &original));
    EXPECT_NE(original.RemoveUsbDevice, nullptr);
    EXPECT_NE(original.RemoveUsbDevice, HookedRemoveUsbDevice);
    EXPECT_EQ(original.Version, bus.Version);
    if (bus.InterfaceDereference != nullptr) {
        bus.InterfaceDereference(bus.BusContext);
    }

    // Each root hub's stack learnt its device handle from the GET_DEVICE_HANDLE its hub driver sent.
    for (const auto& controller : m_machine->Controllers()) {
        SCOPED_TRACE(controller->Name());
        PDEVICE_STACK rootHub = StackOf(controller->RootHub().PhysicalDeviceObject());
        ASSERT_NE(rootHub, nullptr);
        const ULONG64 handle = StackDeviceHandle(rootHub);
        EXPECT_NE(handle, 0u);
        PDEVICE_STACK found = DeviceHandleTableLookup(handle, nullptr);
        EXPECT_EQ(found, rootHub);
        if (found != nullptr) {
            StackRelease(found);
        }
    }
}

} // namespace
} // namespace capturetest
