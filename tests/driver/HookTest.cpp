// Hooking of drivers' dispatch tables: what is replaced and saved, idempotence, names, the device-object
// lists, a hooked driver's unload and the next refresh, and what this driver's own unload gives back.
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "NtPnpControl.h"
#include "NtPoolControl.h"
#include "common/ControlCodes.h"
#include "common/RecordTags.h"
#include "driver/capture/Capture.h"
#include "driver/core/Pool.h"
#include "driver/hook/Hook.h"
#include "driver/nodes/DeviceNode.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "tests/driver/HookTestFixture.h"
#include "usbioctl.h"

namespace drivertest {
namespace {

ULONG_PTR Address(const void* p) {
    return reinterpret_cast<ULONG_PTR>(p);
}

bool IsHookedMajor(ULONG major) {
    return major == IRP_MJ_DEVICE_CONTROL || major == IRP_MJ_INTERNAL_DEVICE_CONTROL || major == IRP_MJ_POWER ||
           major == IRP_MJ_PNP;
}

std::vector<drvlog_test::ReadRecord> OfTag(const std::vector<drvlog_test::ReadRecord>& records, ULONG tag) {
    std::vector<drvlog_test::ReadRecord> found;
    for (const auto& record : records) {
        if (record.tag == tag) {
            found.push_back(record);
        }
    }
    return found;
}

DRIVER_NODE PayloadDriverNode(const drvlog_test::ReadRecord& record) {
    DRIVER_NODE node{};
    EXPECT_EQ(record.dataSize, sizeof node);
    std::memcpy(&node, record.Payload().data(), sizeof node);
    return node;
}

const ListedDriver* Listed(const DriverNodeList& list, PDRIVER_OBJECT driver) {
    for (const ListedDriver& listed : list.drivers) {
        if (listed.driver.DriverObject == Address(driver)) {
            return &listed;
        }
    }
    return nullptr;
}

using Hooking = HookTest;

TEST_F(Hooking, ReplacesExactlyFourEntriesAndTheUnloadRoutineOnce) {
    EnableChangeLog();
    PDRIVER_OBJECT driver = LoadRoutineDriver(u"usbhub");
    const PDRIVER_UNLOAD ownUnload = driver->DriverUnload;

    PDRVOBJ_EXTENSION first = HookDriverObject(driver);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(HookDriverObject(driver), first);

    for (ULONG major = 0; major <= IRP_MJ_MAXIMUM_FUNCTION; ++major) {
        SCOPED_TRACE(major);
        EXPECT_EQ(driver->MajorFunction[major], IsHookedMajor(major) ? &HookedDispatch : &RoutineDispatch);
        EXPECT_EQ(first->SavedMajorFunction[major], &RoutineDispatch);
    }
    EXPECT_EQ(driver->DriverUnload, &HookedDriverUnload);
    EXPECT_EQ(first->SavedDriverUnload, ownUnload);
    EXPECT_EQ(first->Tag, DRVOBJ_EXTENSION_TAG);
    EXPECT_EQ(g_Driver.HookedDriverList.Count, 1);

    const auto added = OfTag(ReadChangeLog(), LogTag::vrdA);
    ASSERT_EQ(added.size(), 1u);
    const DRIVER_NODE node = PayloadDriverNode(added[0]);
    EXPECT_EQ(Text(node.DriverName), "usbhub");
    EXPECT_EQ(+node.DriverObject, Address(driver));
    EXPECT_EQ(+node.HookTime, 0u);

    const DriverNodeList list = FetchDriverNodes();
    ASSERT_EQ(list.drivers.size(), 1u);
    EXPECT_EQ(Text(list.drivers[0].driver.DriverName), "usbhub");
    EXPECT_EQ(+list.drivers[0].driver.DriverFlags, 0u);
    EXPECT_NE(+list.drivers[0].driver.HookTime, 0u);
    EXPECT_EQ(+list.drivers[0].driver.UnloadTime, 0u);
}

TEST_F(Hooking, LongNamesAreCutTo31AndListedWith15) {
    const std::u16string names[] = {
        u"abcdefghijklmnopqrstuvwxyz01234",            // 31: kept whole
        u"abcdefghijklmnopqrstuvwxyz012345",           // 32
        u"abcdefghijklmnopqrstuvwxyz0123456789ABCDEF", // 42
    };
    for (const std::u16string& name : names) {
        PDRVOBJ_EXTENSION extension = HookDriverObject(LoadRoutineDriver(name));
        ASSERT_NE(extension, nullptr);
        const std::string ansi(name.begin(), name.end());
        EXPECT_EQ(std::string(extension->DriverName), ansi.substr(0, 31));
    }
    const DriverNodeList list = FetchDriverNodes();
    ASSERT_EQ(list.drivers.size(), 3u);
    for (const ListedDriver& listed : list.drivers) {
        EXPECT_EQ(Text(listed.driver.DriverName), "abcdefghijklmno");
    }
}

TEST_F(Hooking, DriverWithoutUnloadRoutineIsNotGivenOne) {
    PDRIVER_OBJECT driver = LoadRoutineDriver(u"usbccgp", false);
    ASSERT_NE(HookDriverObject(driver), nullptr);
    EXPECT_EQ(driver->MajorFunction[IRP_MJ_PNP], &HookedDispatch);
    EXPECT_EQ(driver->DriverUnload, nullptr);
}

TEST_F(Hooking, RequestsStillReachTheDriversOwnRoutine) {
    PDEVICE_OBJECT device = CreateDevice(u"usbhub");
    ASSERT_NE(HookDriverObject(device->DriverObject), nullptr);
    Routines().answer = STATUS_DEVICE_NOT_CONNECTED;
    UCHAR buffer[16] = {};
    EXPECT_EQ(SendIoctl(device, IOCTL_USB_GET_HUB_CAPABILITIES, buffer, sizeof buffer), STATUS_DEVICE_NOT_CONNECTED);
    ASSERT_EQ(Routines().calls.size(), 1u);
    EXPECT_EQ(Routines().calls[0].device, device);
    EXPECT_EQ(Routines().calls[0].code, IOCTL_USB_GET_HUB_CAPABILITIES);
}

TEST_F(Hooking, TreeHooksSelectedDriversAndListsTheirDevicesOnce) {
    BuiltStack hub = RoutineRootHub();
    AddDevice(hub.pdo);
    AddDevice(hub.pdo); // a second walk enters nothing twice

    EXPECT_EQ(hub.pdo->DriverObject->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL], &HookedDispatch);
    EXPECT_EQ(hub.Top()->DriverObject->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL], &HookedDispatch);
    const DriverNodeList list = FetchDriverNodes();
    ASSERT_EQ(list.drivers.size(), 2u);
    for (PDEVICE_OBJECT device : {hub.pdo, hub.Top()}) {
        const ListedDriver* listed = Listed(list, device->DriverObject);
        ASSERT_NE(listed, nullptr);
        ASSERT_EQ(listed->devices.size(), 1u);
        EXPECT_EQ(+listed->devices[0].DeviceObject, Address(device));
        EXPECT_EQ(+listed->devices[0].StatusFlags & (DEVOBJ_HOOKED | DEVOBJ_SELECTED), DEVOBJ_HOOKED | DEVOBJ_SELECTED);
    }
}

TEST_F(Hooking, AddDriverDeviceObjectNeedsAHookedDriverAndMemory) {
    PDEVICE_OBJECT device = CreateDevice(u"usbhub");
    PDEVOBJ_NODE node = DeviceNodeCreate(device);
    ASSERT_NE(node, nullptr);
    DeviceNodeQueryIdentity(node);

    EXPECT_EQ(AddDriverDeviceObject(node), STATUS_UNSUCCESSFUL);
    ASSERT_NE(HookDriverObject(device->DriverObject), nullptr);

    nt::pool::InjectFailure({KXTD_POOL_TAG, 0, 1});
    EXPECT_EQ(AddDriverDeviceObject(node), STATUS_INSUFFICIENT_RESOURCES);
    nt::pool::ClearInjectedFailures();

    EXPECT_EQ(AddDriverDeviceObject(node), STATUS_SUCCESS);
    EXPECT_EQ(AddDriverDeviceObject(node), STATUS_SUCCESS);
    EXPECT_EQ(HookFindExtension(device->DriverObject)->DeviceObjects->Count, 1);
    EXPECT_EQ(node->References, 2); // the test's and the entry's
    DeviceNodeRelease(node);
}

TEST_F(Hooking, UnloadedDriverStaysListedUntilTheNextRefresh) {
    BuiltStack hub = RoutineRootHub();
    AddDevice(hub.pdo);
    EnableChangeLog();
    PDRIVER_OBJECT hubDriver = hub.Top()->DriverObject;
    PDRIVER_OBJECT controller = hub.pdo->DriverObject;
    const ULONG64 hookTime = +Listed(FetchDriverNodes(), hubDriver)->driver.HookTime;

    UnloadRoutineDriver(u"usbhub"); // its last device goes first

    ASSERT_EQ(Routines().unloads.size(), 1u);
    EXPECT_EQ(Routines().unloads[0], hubDriver);
    DriverNodeList list = FetchDriverNodes();
    const ListedDriver* gone = Listed(list, hubDriver);
    ASSERT_NE(gone, nullptr);
    EXPECT_EQ(+gone->driver.DriverFlags, DRIVER_NODE_UNLOADED);
    EXPECT_GT(+gone->driver.UnloadTime, hookTime);
    EXPECT_EQ(+gone->driver.HookTime, hookTime);
    EXPECT_EQ(gone->devices.size(), 1u);
    EXPECT_NE(Listed(list, controller), nullptr);

    const auto removed = OfTag(ReadChangeLog(), LogTag::vrdR);
    ASSERT_EQ(removed.size(), 1u);
    EXPECT_EQ(+PayloadDriverNode(removed[0]).DriverObject, Address(hubDriver));

    const std::vector<std::string> events = FetchMemlogTags();
    const auto unl1 = std::find(events.begin(), events.end(), "UnL1");
    ASSERT_NE(unl1, events.end());
    EXPECT_NE(std::find(unl1, events.end(), "UnL2"), events.end());

    ASSERT_TRUE(Refresh().ok);
    list = FetchDriverNodes();
    EXPECT_EQ(Listed(list, hubDriver), nullptr);
    EXPECT_EQ(list.drivers.size(), 1u);
}

TEST_F(Hooking, RefreshDropsTheEntriesOfRemovedDevices) {
    BuiltStack hub = RoutineRootHub();
    AddDevice(hub.pdo);
    PDEVOBJ_NODE node = FindDeviceNode(hub.Top(), TRUE);
    ASSERT_NE(node, nullptr);
    DeviceNodeMarkRemoved(node);
    DeviceNodeRelease(node);

    ASSERT_TRUE(Refresh().ok);
    const DriverNodeList list = FetchDriverNodes();
    ASSERT_EQ(list.drivers.size(), 2u);
    EXPECT_TRUE(Listed(list, hub.Top()->DriverObject)->devices.empty());
    EXPECT_EQ(Listed(list, hub.pdo->DriverObject)->devices.size(), 1u);
}

TEST_F(Hooking, UnloadGivesHookedDriversTheirEntriesBackAndHookingWorksAfterReload) {
    BuiltStack hub = RoutineRootHub();
    AddDevice(hub.pdo);
    PDRIVER_OBJECT hubDriver = hub.Top()->DriverObject;
    ASSERT_EQ(hubDriver->MajorFunction[IRP_MJ_DEVICE_CONTROL], &HookedDispatch);

    Close();
    nt::pnp::UnloadDriver(kService);
    for (PDRIVER_OBJECT driver : {hubDriver, hub.pdo->DriverObject}) {
        for (ULONG major = 0; major <= IRP_MJ_MAXIMUM_FUNCTION; ++major) {
            EXPECT_EQ(driver->MajorFunction[major], &RoutineDispatch) << major;
        }
        EXPECT_NE(driver->DriverUnload, &HookedDriverUnload);
        EXPECT_NE(driver->DriverUnload, nullptr);
    }
    EXPECT_EQ(nt::pool::Stats(KXTD_POOL_TAG).liveCount, 0u);

    UCHAR buffer[16] = {};
    EXPECT_EQ(SendIoctl(hub.Top(), IOCTL_USB_GET_HUB_CAPABILITIES, buffer, sizeof buffer), STATUS_SUCCESS);
    ASSERT_EQ(Routines().calls.size(), 1u);
    EXPECT_EQ(Routines().calls[0].device, hub.Top());

    // Loaded again, the driver hooks them again: the extension the first load left behind is taken over.
    ASSERT_EQ(Load(), STATUS_SUCCESS);
    ASSERT_TRUE(Open());
    AddDevice(hub.pdo);
    EXPECT_EQ(hubDriver->MajorFunction[IRP_MJ_DEVICE_CONTROL], &HookedDispatch);
    EXPECT_EQ(HookFindExtension(hubDriver)->SavedMajorFunction[IRP_MJ_DEVICE_CONTROL], &RoutineDispatch);
    EXPECT_EQ(FetchDriverNodes().drivers.size(), 2u);
}

TEST_F(Hooking, EntriesAnotherDriverReplacedAfterUsAreLeftAlone) {
    PDRIVER_OBJECT driver = LoadRoutineDriver(u"usbhub");
    ASSERT_NE(HookDriverObject(driver), nullptr);
    driver->MajorFunction[IRP_MJ_POWER] = RoutineDispatch; // someone hooked it after us
    Close();
    nt::pnp::UnloadDriver(kService);
    EXPECT_EQ(driver->MajorFunction[IRP_MJ_POWER], &RoutineDispatch);
    EXPECT_EQ(driver->MajorFunction[IRP_MJ_PNP], &RoutineDispatch);
}

// Another driver took over the unload routine after us, so our unload could not give it back: when the
// driver unloads later, its own routine still runs.
TEST_F(Hooking, UnloadRoutineTakenOverAfterUsStillReachesTheDriversOwn) {
    PDRIVER_OBJECT driver = LoadRoutineDriver(u"usbhub");
    ASSERT_NE(HookDriverObject(driver), nullptr);
    ASSERT_EQ(driver->DriverUnload, &HookedDriverUnload);
    static PDRIVER_UNLOAD s_taken;
    s_taken = driver->DriverUnload;
    driver->DriverUnload = [](PDRIVER_OBJECT object) { s_taken(object); };
    Close();
    nt::pnp::UnloadDriver(kService);

    UnloadRoutineDriver(u"usbhub");
    ASSERT_EQ(Routines().unloads.size(), 1u);
    EXPECT_EQ(Routines().unloads[0], driver);
}

TEST_F(Hooking, UnloadWaitsForRequestsStillInsideItsRoutines) {
    BuiltStack hub = RoutineRootHub();
    AddDevice(hub.pdo);
    PDRIVER_OBJECT hubDriver = hub.Top()->DriverObject;
    Close();

    HookRundownAcquire(); // a completion routine of ours still in a request's path
    const int request = 0;
    ASSERT_TRUE(HookRundownAcquireFor(&request)); // a request still inside HookedDispatch
    std::atomic<bool> unloaded{false};
    std::thread unloader([&] {
        nt::pnp::UnloadDriver(kService);
        unloaded = true;
    });
    // The entries are given back first ...
    while (__atomic_load_n(&hubDriver->MajorFunction[IRP_MJ_DEVICE_CONTROL], __ATOMIC_SEQ_CST) == &HookedDispatch) {
        std::this_thread::yield();
    }
    // ... then the rundown begins (a request that read an entry before the restore may still come in until
    // it has) ...
    while (!HookRundownUnloading()) {
        std::this_thread::yield();
    }
    // ... and nothing is freed while the reference is held.
    EXPECT_FALSE(unloaded);
    EXPECT_NE(g_Driver.CaptureLog, nullptr);
    const int late = 0;
    const bool lateLetIn = HookRundownAcquireFor(&late);
    EXPECT_FALSE(lateLetIn); // no new request is let in once unload has begun
    if (lateLetIn) {
        HookRundownReleaseFor(&late); // so that the unload, and the test, still end
    }
    HookRundownRelease();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_FALSE(unloaded); // the request's reference still holds it
    HookRundownReleaseFor(&request);
    unloader.join();
    EXPECT_TRUE(unloaded);
    EXPECT_FALSE(IsLoaded());
}

} // namespace
} // namespace drivertest
