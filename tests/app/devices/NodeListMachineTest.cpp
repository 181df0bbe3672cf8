// The stack and hooked-driver queries against the capture driver on the default simulated machine: the model
// they build is what the driver lists, after boot and after a device went and came back.
// The kernel's headers come first: their ASSERT is the one a test of kernel objects wants.
#include "tests/support/MachineFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/core/capture/KxTdloft.h"
#include "app/devices/AttachedDevices.h"
#include "app/devices/AttachedDrivers.h"
#include "app/devices/DeviceObject.h"
#include "app/devices/DeviceStack.h"
#include "app/devices/DriverObject.h"
#include "app/devices/StackTree.h"
#include "common/ByteReader.h"
#include "common/ControlCodes.h"
#include "common/NodeEntries.h"
#include "platform/sim/UsbHubModel.h"

// The capture driver's entry point (driver/core/Driver.h).
DRIVER_INITIALIZE DriverEntry;

namespace {

constexpr char kDevice[] = "\\\\.\\Tindaloft";

// A list as the driver reports it: each head entry (stack or driver) with the device objects after it.
struct Group {
    ULONG64 key = 0; // StackID or driver object
    std::string name;
    std::vector<ULONG64> devices;
};

// The driver's list of the code, read here with a request of its own and walked by the shared node reader.
std::vector<Group> DriverList(ULONG code) {
    HANDLE handle = CreateFileA(kDevice, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_NE(handle, INVALID_HANDLE_VALUE);
    ULONG size = 0;
    DWORD returned = 0;
    EXPECT_TRUE(DeviceIoControl(handle, code, &size, sizeof size, &size, sizeof size, &returned, nullptr));
    std::vector<uint8_t> list(size);
    EXPECT_TRUE(DeviceIoControl(handle, code, list.data(), size, list.data(), size, &returned, nullptr));
    CloseHandle(handle);
    list.resize(returned);

    std::vector<Group> groups;
    NodeListReader reader(list);
    USHORT kind = 0;
    std::span<const uint8_t> entry;
    while (reader.Next(kind, entry)) {
        if (kind == NODE_KIND_DEVSTK) {
            DEVSTK_NODE node;
            EXPECT_TRUE(tdl::ReadStruct(entry, node));
            groups.push_back({node.StackID, node.DriverKeyName, {}});
        } else if (kind == NODE_KIND_DRIVER) {
            DRIVER_NODE node;
            EXPECT_TRUE(tdl::ReadStruct(entry, node));
            groups.push_back(
                {node.DriverObject, std::string(node.DriverName, NodeStringLength(node.DriverName, 16)), {}});
        } else if (kind == NODE_KIND_DEVICE) {
            DEVICE_NODE node;
            EXPECT_TRUE(tdl::ReadStruct(entry, node));
            EXPECT_FALSE(groups.empty());
            if (!groups.empty())
                groups.back().devices.push_back(ULONG64{node.DeviceObject}); // a copy: the field is packed
        }
    }
    EXPECT_TRUE(reader.Ended());
    return groups;
}

// The model's stacks, each with its device objects by position (gaps as 0).
std::vector<Group> ModelStacks(CStackTree& stacks) {
    std::vector<Group> groups;
    for (USHORT id = 1; id <= stacks.GetMaxStackID(); ++id) {
        CDeviceStack* pStack = stacks.FindStackById(id);
        if (pStack == nullptr)
            continue;
        Group group{id, pStack->DriverKey.GetString(), {}};
        const auto count = static_cast<USHORT>(pStack->m_DevObjMap.GetCount());
        for (USHORT position = 0; position < count; ++position) {
            CObject* pAt = nullptr;
            group.devices.push_back(
                pStack->m_DevObjMap.Lookup(position, pAt) ? static_cast<CDeviceObject*>(pAt)->_NtDeviceObject : 0);
        }
        groups.push_back(group);
    }
    return groups;
}

// Drivers by address, each with its device objects in order of address; a device object that does not name
// its driver is left out, so it shows as a difference.
std::map<ULONG64, std::pair<std::string, std::vector<ULONG64>>> ByDriver(const std::vector<Group>& groups) {
    std::map<ULONG64, std::pair<std::string, std::vector<ULONG64>>> drivers;
    for (const Group& g : groups) {
        std::vector<ULONG64> devices = g.devices;
        std::sort(devices.begin(), devices.end());
        drivers[g.key] = {g.name, devices};
    }
    return drivers;
}

std::vector<Group> ModelDrivers(const CAttachedDrivers& drivers) {
    std::vector<Group> groups;
    for (INT_PTR i = 0; i < drivers.GetCount(); ++i) {
        const CDriverObject* pDriver = drivers.GetAt(i);
        Group group{pDriver->m_NtDriverObject, pDriver->m_DriverName.GetString(), {}};
        for (INT_PTR j = 0; j < pDriver->m_DeviceObjects.GetSize(); ++j)
            if (pDriver->m_DeviceObjects[j]->_Driver == pDriver)
                group.devices.push_back(pDriver->m_DeviceObjects[j]->_NtDeviceObject);
        groups.push_back(group);
    }
    return groups;
}

bool operator==(const Group& a, const Group& b) {
    return a.key == b.key && a.name == b.name && a.devices == b.devices;
}

void PrintTo(const Group& g, std::ostream* out) {
    *out << std::hex << g.key << " " << g.name << " [";
    for (ULONG64 d : g.devices)
        *out << " " << d;
    *out << " ]";
}

class NodeListsOnMachine : public tdl::test::MachineTest {};

TEST_F(NodeListsOnMachine, TheModelIsWhatTheDriverListsAfterBootAndAfterTheUpdate) {
    BootDefault(nt::version::Release::Windows7, DriverEntry, tdl::test::BusTime::Off);
    CStackTree stacks(kDevice);
    CAttachedDevices devices;
    CAttachedDrivers drivers(kDevice);
    ASSERT_TRUE(stacks.QueryDriverStacks(&devices));
    ASSERT_TRUE(drivers.QueryDriversAndDevices(&devices, true));

    const std::vector<Group> driverStacks = DriverList(IOCTL_TINDALOFT_DEVSTK_NODES);
    ASSERT_GT(driverStacks.size(), 10u);
    EXPECT_EQ(ModelStacks(stacks), driverStacks);
    const std::vector<Group> hooked = DriverList(IOCTL_TINDALOFT_DRVOBJ_NODES);
    ASSERT_FALSE(hooked.empty());
    EXPECT_EQ(ByDriver(ModelDrivers(drivers)), ByDriver(hooked));

    // The printer goes, its driver unloads, and both come back; the refresh drops what has gone.
    auto hub = m_machine->DeviceAs<sim::UsbHubModel>("hub");
    ASSERT_TRUE(hub);
    std::shared_ptr<sim::UsbDevice> printer = m_machine->Unplug("printer");
    ASSERT_TRUE(printer);
    ASSERT_TRUE(m_machine->Plug(*hub, 2, printer));
    {
        CKxTdloft device;
        ASSERT_TRUE(device.TryDeviceOpen());
        ASSERT_TRUE(device.IoctlRefreshDeviceStacks());
        device.DeviceClose();
    }
    ASSERT_TRUE(drivers.QueryDriversAndDevices(&devices, false));
    const std::vector<Group> hookedAgain = DriverList(IOCTL_TINDALOFT_DRVOBJ_NODES);
    EXPECT_NE(ByDriver(hookedAgain), ByDriver(hooked)) << "the printer's device objects are new";
    EXPECT_EQ(ByDriver(ModelDrivers(drivers)), ByDriver(hookedAgain));
    for (INT_PTR i = 0; i < devices.GetCount(); ++i)
        EXPECT_EQ(devices.GetAt(i)->_StatusFlags & CDriverObject::SeenMark, 0u);
}

} // namespace
