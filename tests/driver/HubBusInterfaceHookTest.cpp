// The hub bus-interface hook: which QUERY_INTERFACE answers get HookedRemoveUsbDevice, that it always reaches
// the provider of its own bus context (nested hooks, two providers of one version), and that a removed device
// handle leaves the device-handle table only when its data is not kept and the device not marked busy.
#include <chrono>
#include <cstring>
#include <future>

#include "driver/hook/Hook.h"
#include "driver/hook/HubBusInterfaceHook.h"
#include "driver/nodes/HandleTables.h"
#include "tests/driver/CaptureIoctlFixture.h"
#include "usbbusif.h"

namespace capturetest {
namespace {

// Two providers' RemoveUsbDevice, which note how they were called.
struct RemoveCall {
    int provider;
    PVOID busContext;
    PUSB_DEVICE_HANDLE handle;
    ULONG flags;
};
std::vector<RemoveCall> g_calls;
NTSTATUS g_removeStatus = STATUS_SUCCESS;

NTSTATUS RemoveFirst(PVOID busContext, PUSB_DEVICE_HANDLE handle, ULONG flags) {
    g_calls.push_back({1, busContext, handle, flags});
    return g_removeStatus;
}
NTSTATUS RemoveSecond(PVOID busContext, PUSB_DEVICE_HANDLE handle, ULONG flags) {
    g_calls.push_back({2, busContext, handle, flags});
    return g_removeStatus;
}

class HubBusInterfaceHook : public IoctlCaptureFixture {
protected:
    void SetUp() override {
        IoctlCaptureFixture::SetUp();
        g_calls.clear();
        g_removeStatus = STATUS_SUCCESS;
    }

    // A hub's copy of the interface as a provider fills it in; its bus context is fresh pool memory.
    PUSB_BUS_INTERFACE_HUB_V8 Interface(USHORT version, PUSB_BUSIFFN_REMOVE_USB_DEVICE remove,
                                        USHORT size = sizeof(USB_BUS_INTERFACE_HUB_V8)) {
        auto* hub = reinterpret_cast<PUSB_BUS_INTERFACE_HUB_V8>(Allocate(sizeof(USB_BUS_INTERFACE_HUB_V8)));
        hub->Size = size;
        hub->Version = version;
        hub->BusContext = Allocate(16);
        hub->RemoveUsbDevice = remove;
        return hub;
    }

    // The stack location of a QUERY_INTERFACE for `type` into `hub`, as it completed.
    static IO_STACK_LOCATION Query(const GUID* type, PVOID hub) {
        IO_STACK_LOCATION location = {};
        location.MajorFunction = IRP_MJ_PNP;
        location.MinorFunction = IRP_MN_QUERY_INTERFACE;
        location.Parameters.QueryInterface.InterfaceType = type;
        location.Parameters.QueryInterface.Interface = static_cast<PINTERFACE>(hub);
        return location;
    }
};

TEST_F(HubBusInterfaceHook, OnlyASuccessfulHubInterfaceQueryOfVersion5To8IsHooked) {
    struct Case {
        const char* name;
        USHORT version;
        USHORT size;
        const GUID* type;
        NTSTATUS status;
        bool hooked;
    } cases[] = {
        {"version 5", 5, sizeof(USB_BUS_INTERFACE_HUB_V5), &USB_BUS_INTERFACE_HUB_GUID, STATUS_SUCCESS, true},
        {"version 8", 8, sizeof(USB_BUS_INTERFACE_HUB_V8), &USB_BUS_INTERFACE_HUB_GUID, STATUS_SUCCESS, true},
        {"version 4", 4, sizeof(USB_BUS_INTERFACE_HUB_V5), &USB_BUS_INTERFACE_HUB_GUID, STATUS_SUCCESS, false},
        {"smaller than its version", 6, sizeof(USB_BUS_INTERFACE_HUB_V5), &USB_BUS_INTERFACE_HUB_GUID, STATUS_SUCCESS,
         false},
        {"the USBDI interface", 8, sizeof(USB_BUS_INTERFACE_HUB_V8), &USB_BUS_INTERFACE_USBDI_GUID, STATUS_SUCCESS,
         false},
        {"a failed query", 8, sizeof(USB_BUS_INTERFACE_HUB_V8), &USB_BUS_INTERFACE_HUB_GUID, STATUS_NOT_SUPPORTED,
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PUSB_BUS_INTERFACE_HUB_V8 hub = Interface(c.version, RemoveFirst, c.size);
        const IO_STACK_LOCATION location = Query(c.type, hub);
        HubBusInterfaceQueried(&location, c.status);
        EXPECT_EQ(hub->RemoveUsbDevice == HookedRemoveUsbDevice, c.hooked);
        HUB_BUS_INTERFACE_ORIGINAL original;
        ASSERT_EQ(HubBusInterfaceOriginal(hub->BusContext, &original) != FALSE, c.hooked);
        if (c.hooked) {
            EXPECT_EQ(original.RemoveUsbDevice, RemoveFirst);
            EXPECT_EQ(original.Version, c.version);
            EXPECT_EQ(original.Size, c.size);
        }
    }
    // An interface or interface type the memory does not hold is not touched.
    const IO_STACK_LOCATION nowhere = Query(&USB_BUS_INTERFACE_HUB_GUID, reinterpret_cast<PVOID>(0x10));
    HubBusInterfaceQueried(&nowhere, STATUS_SUCCESS);
    const IO_STACK_LOCATION noType = Query(reinterpret_cast<const GUID*>(0x10), Interface(8, RemoveFirst));
    HubBusInterfaceQueried(&noType, STATUS_SUCCESS);
}

TEST_F(HubBusInterfaceHook, TheHookReachesItsOwnProviderAndNeverItself) {
    PUSB_BUS_INTERFACE_HUB_V8 first = Interface(8, RemoveFirst);
    PUSB_BUS_INTERFACE_HUB_V8 second = Interface(8, RemoveSecond); // another provider of the same version
    for (PUSB_BUS_INTERFACE_HUB_V8 hub : {first, second}) {
        const IO_STACK_LOCATION location = Query(&USB_BUS_INTERFACE_HUB_GUID, hub);
        HubBusInterfaceQueried(&location, STATUS_SUCCESS);
        // The same answer seen again on its way up through a second hooked device object.
        HubBusInterfaceQueried(&location, STATUS_SUCCESS);
    }
    // A second hub's copy of the first provider's interface is hooked as well.
    PUSB_BUS_INTERFACE_HUB_V8 again = Interface(8, RemoveFirst);
    again->BusContext = first->BusContext;
    const IO_STACK_LOCATION location = Query(&USB_BUS_INTERFACE_HUB_GUID, again);
    HubBusInterfaceQueried(&location, STATUS_SUCCESS);
    EXPECT_EQ(again->RemoveUsbDevice, HookedRemoveUsbDevice);

    auto* handle = reinterpret_cast<PUSB_DEVICE_HANDLE>(0x1234);
    EXPECT_EQ(first->RemoveUsbDevice(first->BusContext, handle, 0), STATUS_SUCCESS);
    EXPECT_EQ(second->RemoveUsbDevice(second->BusContext, handle, 0), STATUS_SUCCESS);
    EXPECT_EQ(again->RemoveUsbDevice(again->BusContext, handle, 0), STATUS_SUCCESS);
    ASSERT_EQ(g_calls.size(), 3u);
    EXPECT_EQ(g_calls[0].provider, 1);
    EXPECT_EQ(g_calls[0].busContext, first->BusContext);
    EXPECT_EQ(g_calls[0].handle, handle);
    EXPECT_EQ(g_calls[1].provider, 2);
    EXPECT_EQ(g_calls[1].busContext, second->BusContext);
    EXPECT_EQ(g_calls[2].provider, 1);

    // A bus context the hook never saw has no routine to reach.
    EXPECT_EQ(HookedRemoveUsbDevice(Allocate(16), handle, 0), STATUS_UNSUCCESSFUL);
    EXPECT_EQ(g_calls.size(), 3u);
}

TEST_F(HubBusInterfaceHook, AFullTableLeavesNewInterfacesUnhookedAndKeepsEveryHookedOne) {
    HubBusInterfaceHookReset();
    std::vector<PUSB_BUS_INTERFACE_HUB_V8> hooked;
    for (ULONG i = 0; i < HUB_BUS_INTERFACE_HOOK_ENTRIES; ++i) {
        hooked.push_back(Interface(8, RemoveFirst));
        const IO_STACK_LOCATION location = Query(&USB_BUS_INTERFACE_HUB_GUID, hooked.back());
        HubBusInterfaceQueried(&location, STATUS_SUCCESS);
        ASSERT_EQ(hooked.back()->RemoveUsbDevice, HookedRemoveUsbDevice);
    }
    // One bus context more: its hub keeps the provider's own routine.
    PUSB_BUS_INTERFACE_HUB_V8 late = Interface(8, RemoveSecond);
    const IO_STACK_LOCATION lateQuery = Query(&USB_BUS_INTERFACE_HUB_GUID, late);
    HubBusInterfaceQueried(&lateQuery, STATUS_SUCCESS);
    EXPECT_EQ(late->RemoveUsbDevice, RemoveSecond);
    // A bus context already in the table is hooked again for another hub.
    PUSB_BUS_INTERFACE_HUB_V8 again = Interface(8, RemoveFirst);
    again->BusContext = hooked.front()->BusContext;
    const IO_STACK_LOCATION againQuery = Query(&USB_BUS_INTERFACE_HUB_GUID, again);
    HubBusInterfaceQueried(&againQuery, STATUS_SUCCESS);
    EXPECT_EQ(again->RemoveUsbDevice, HookedRemoveUsbDevice);
    // The first hub hooked (a root hub hooked at boot, say) still reaches its provider.
    EXPECT_EQ(hooked.front()->RemoveUsbDevice(hooked.front()->BusContext, nullptr, USBD_KEEP_DEVICE_DATA),
              STATUS_SUCCESS);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].provider, 1);
    EXPECT_EQ(g_calls[0].busContext, hooked.front()->BusContext);
    HubBusInterfaceHookReset();
}

TEST_F(HubBusInterfaceHook, ARemovedHandleLeavesTheTableUnlessKeptOrBusy) {
    PUSB_BUS_INTERFACE_HUB_V8 hub = Interface(6, RemoveFirst, sizeof(USB_BUS_INTERFACE_HUB_V6));
    const IO_STACK_LOCATION location = Query(&USB_BUS_INTERFACE_HUB_GUID, hub);
    HubBusInterfaceQueried(&location, STATUS_SUCCESS);
    const ULONG64 handle = reinterpret_cast<ULONG64>(Allocate(16));

    struct Case {
        const char* name;
        ULONG flags;
        NTSTATUS status;
        bool dropped;
    } cases[] = {
        {"keep the device data", USBD_KEEP_DEVICE_DATA, STATUS_SUCCESS, false},
        {"mark the device busy", USBD_MARK_DEVICE_BUSY, STATUS_SUCCESS, false},
        {"the provider failed", 0, STATUS_UNSUCCESSFUL, false},
        {"removed", 0, STATUS_SUCCESS, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StackSetDeviceHandle(TargetStack(), handle);
        ASSERT_TRUE(DeviceHandleTableInsert(handle, TargetStack()));
        g_removeStatus = c.status;
        EXPECT_EQ(hub->RemoveUsbDevice(hub->BusContext, reinterpret_cast<PUSB_DEVICE_HANDLE>(handle), c.flags),
                  c.status);
        EXPECT_EQ(g_calls.back().flags, c.flags);
        PDEVICE_STACK found = DeviceHandleTableLookup(handle, nullptr);
        EXPECT_EQ(found == nullptr, c.dropped);
        if (found != nullptr) {
            StackRelease(found);
        }
    }
}

TEST_F(HubBusInterfaceHook, DuringUnloadTheHookOnlyReachesTheProviderAndHoldsNoReference) {
    PUSB_BUS_INTERFACE_HUB_V8 hub = Interface(8, RemoveFirst);
    const IO_STACK_LOCATION location = Query(&USB_BUS_INTERFACE_HUB_GUID, hub);
    HubBusInterfaceQueried(&location, STATUS_SUCCESS);
    const ULONG64 handle = reinterpret_cast<ULONG64>(Allocate(16));
    StackSetDeviceHandle(TargetStack(), handle);
    ASSERT_TRUE(DeviceHandleTableInsert(handle, TargetStack()));

    // A request still inside the driver holds a reference while unload waits for it.
    ASSERT_TRUE(HookRundownAcquire());
    std::future<void> unload = std::async(std::launch::async, [] { HookUnloadRestore(); });
    while (HookRundownAcquire()) {
        HookRundownRelease(); // until unload has begun
    }
    EXPECT_EQ(hub->RemoveUsbDevice(hub->BusContext, reinterpret_cast<PUSB_DEVICE_HANDLE>(handle), 0), STATUS_SUCCESS);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].provider, 1);
    // The handle table is not touched, and unload still waits for the request.
    PDEVICE_STACK found = DeviceHandleTableLookup(handle, nullptr);
    EXPECT_EQ(found, TargetStack());
    if (found != nullptr) {
        StackRelease(found);
    }
    EXPECT_EQ(unload.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
    HookRundownRelease();
    unload.get();
}

TEST_F(HubBusInterfaceHook, AQueryInterfaceRequestThroughAHookedDeviceHooksTheAnswer) {
    PUSB_BUS_INTERFACE_HUB_V8 hub = Interface(0, nullptr, 0);
    PVOID busContext = Allocate(16);
    const IoctlSent sent = SendMajor(
        IRP_MJ_PNP, IRP_MN_QUERY_INTERFACE,
        [hub](PIO_STACK_LOCATION l) {
            l->Parameters.QueryInterface.InterfaceType = &USB_BUS_INTERFACE_HUB_GUID;
            l->Parameters.QueryInterface.Size = sizeof(USB_BUS_INTERFACE_HUB_V7);
            l->Parameters.QueryInterface.Version = 7;
            l->Parameters.QueryInterface.Interface = reinterpret_cast<PINTERFACE>(hub);
        },
        STATUS_SUCCESS, 0,
        [hub, busContext](PIRP) {
            hub->Size = sizeof(USB_BUS_INTERFACE_HUB_V7);
            hub->Version = 7;
            hub->BusContext = busContext;
            hub->RemoveUsbDevice = RemoveSecond;
        });
    EXPECT_EQ(Tags(sent.records), "");
    EXPECT_EQ(hub->RemoveUsbDevice, HookedRemoveUsbDevice);
    EXPECT_EQ(hub->RemoveUsbDevice(busContext, nullptr, USBD_KEEP_DEVICE_DATA), STATUS_SUCCESS);
    ASSERT_EQ(g_calls.size(), 1u);
    EXPECT_EQ(g_calls[0].provider, 2);
}

} // namespace
} // namespace capturetest
