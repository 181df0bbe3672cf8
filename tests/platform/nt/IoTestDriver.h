// Drivers for tests of the I/O and Plug and Play managers. A test driver is loaded under a service name; each of
// its devices dispatches every request to a callable the test gives it, and its AddDevice and unload routines
// call the test's callables. State lives for one test: Reset() forgets it.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "NtControl.h"
#include "NtIoManager.h"
#include "NtPnpControl.h"
#include "NtRtlString.h"
#include "NtText.h"

namespace iotest {

using Handler = std::function<NTSTATUS(PDEVICE_OBJECT, PIRP)>;

struct DriverHooks {
    std::function<NTSTATUS(PDRIVER_OBJECT, PDEVICE_OBJECT)> addDevice = {}; // empty: not a Plug and Play driver
    std::function<void(PDRIVER_OBJECT)> unload = {};                        // called by the unload routine
    bool unloadable = true;                                                 // false: no unload routine
    std::function<void(PDRIVER_OBJECT)> entry = {};                         // extra work in DriverEntry
};

// What a test device's extension starts with.
struct DeviceState {
    Handler handler;
    PDEVICE_OBJECT lower = nullptr; // the device it attached to
};

struct Registry {
    std::map<std::u16string, DriverHooks> hooks;
    std::vector<std::unique_ptr<DeviceState>> states;
};

inline Registry& TheRegistry() {
    static Registry registry;
    return registry;
}

inline DeviceState* StateOf(PDEVICE_OBJECT device) {
    return *static_cast<DeviceState**>(device->DeviceExtension);
}

inline NTSTATUS TestDispatch(PDEVICE_OBJECT device, PIRP irp) {
    return StateOf(device)->handler(device, irp);
}

inline DriverHooks& HooksOf(PDRIVER_OBJECT driver) {
    return TheRegistry().hooks[std::u16string(nt::text::View(&driver->DriverExtension->ServiceKeyName))];
}

inline NTSTATUS TestAddDevice(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo) {
    return HooksOf(driver).addDevice(driver, pdo);
}

// Runs the test's unload hook, then deletes whatever devices the driver still has.
inline void TestUnload(PDRIVER_OBJECT driver) {
    if (HooksOf(driver).unload) {
        HooksOf(driver).unload(driver);
    }
    while (PDEVICE_OBJECT device = driver->DeviceObject) {
        if (device->DeviceObjectExtension->AttachedTo) {
            IoDetachDevice(device->DeviceObjectExtension->AttachedTo);
        }
        IoDeleteDevice(device);
    }
}

inline NTSTATUS TestDriverEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    for (auto& routine : driver->MajorFunction) {
        routine = TestDispatch;
    }
    DriverHooks& hooks = HooksOf(driver);
    if (hooks.addDevice) {
        driver->DriverExtension->AddDevice = TestAddDevice;
    }
    if (hooks.unloadable) {
        driver->DriverUnload = TestUnload;
    }
    if (hooks.entry) {
        hooks.entry(driver);
    }
    return STATUS_SUCCESS;
}

// Registers the image of a test driver (loaded by the Plug and Play manager when a device needs it).
inline void RegisterDriver(const std::u16string& service, DriverHooks hooks = {}) {
    TheRegistry().hooks[service] = std::move(hooks);
    nt::pnp::RegisterDriverImage(service, TestDriverEntry);
}

// Registers and loads a test driver now.
inline PDRIVER_OBJECT LoadDriver(const std::u16string& service, DriverHooks hooks = {}) {
    RegisterDriver(service, std::move(hooks));
    PDRIVER_OBJECT driver = nullptr;
    nt::pnp::LoadDriver(service, &driver);
    return driver;
}

// A device of a test driver that hands every request to `handler`. Extra extension bytes follow the state
// pointer (at offset 8).
inline PDEVICE_OBJECT CreateDevice(PDRIVER_OBJECT driver, Handler handler, const char16_t* name = nullptr,
                                   ULONG extraExtension = 0, ULONG characteristics = 0) {
    UNICODE_STRING deviceName;
    RtlInitUnicodeString(&deviceName, name);
    PDEVICE_OBJECT device = nullptr;
    if (!NT_SUCCESS(IoCreateDevice(driver, sizeof(DeviceState*) + extraExtension, name ? &deviceName : nullptr,
                                   FILE_DEVICE_UNKNOWN, characteristics, FALSE, &device))) {
        return nullptr;
    }
    auto state = std::make_unique<DeviceState>();
    state->handler = std::move(handler);
    *static_cast<DeviceState**>(device->DeviceExtension) = state.get();
    TheRegistry().states.push_back(std::move(state));
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return device;
}

// Handlers for common behaviour.
inline Handler CompleteWith(NTSTATUS status, ULONG_PTR information = 0) {
    return [status, information](PDEVICE_OBJECT, PIRP irp) {
        irp->IoStatus.Status = status;
        irp->IoStatus.Information = information;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return status;
    };
}

inline Handler PassDown() {
    return [](PDEVICE_OBJECT device, PIRP irp) {
        IoSkipCurrentIrpStackLocation(irp);
        return IoCallDriver(StateOf(device)->lower, irp);
    };
}

inline NTSTATUS SignalEvent(PDEVICE_OBJECT, PIRP, PVOID context) {
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

// Sends the request down the stack and waits until the lower drivers completed it (as a function driver does
// with IRP_MN_START_DEVICE); the caller then completes it itself.
inline NTSTATUS ForwardAndWait(PDEVICE_OBJECT device, PIRP irp) {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, SignalEvent, &event, TRUE, TRUE, TRUE);
    NTSTATUS status = IoCallDriver(StateOf(device)->lower, irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
        status = irp->IoStatus.Status;
    }
    return status;
}

// Forgets the test drivers' hooks and devices' state (after the kernel reset has removed the devices).
inline void Reset() {
    nt::ResetKernelState();
    TheRegistry().hooks.clear();
    TheRegistry().states.clear();
}

} // namespace iotest
