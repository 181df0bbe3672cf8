// Machine controls of the Plug and Play manager (not part of the platform's interface): what the simulated
// machine and tests use to install drivers, describe setup classes, add root-enumerated devices, wait for the
// manager, and take the machine down.
//
// Installing a driver is three facts the platform would learn from an INF file and the service database:
// - a driver image: the service name and the entry point the loader calls (RegisterDriverImage; it also
//   creates the service key "\Registry\Machine\System\CurrentControlSet\Services\<name>");
// - a setup class: its GUID and name, and its class filters (RegisterSetupClass, AddClassFilter, which write
//   "Class" and the "UpperFilters"/"LowerFilters" REG_MULTI_SZ values of "...\Control\Class\{GUID}");
// - a match: which service drives devices with a given hardware or compatible ID, in which setup class, with
//   which description (RegisterDriverMatch). A new device takes the first match of its hardware IDs, in
//   order, then of its compatible IDs.
//
// A bus driver plugs a child by reporting a new physical device object in its BusRelations and calling
// IoInvalidateDeviceRelations; it unplugs one by leaving it out of the next report. The work happens on the
// manager's thread; WaitForIdle returns once everything queued so far (and what it queued in turn) is done.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "NtIoManager.h"

namespace nt::pnp {

void RegisterDriverImage(std::u16string_view service, PDRIVER_INITIALIZE entry);
// Loads a registered driver now, as the loader does for boot-start drivers (the capture filter, a bus driver
// that must be there before its devices). A driver that is loaded already is returned as it is.
// STATUS_OBJECT_NAME_NOT_FOUND for a service without an image; otherwise the entry's status.
NTSTATUS LoadDriver(std::u16string_view service, PDRIVER_OBJECT* driver = nullptr);
// The loaded driver of a service, or null.
PDRIVER_OBJECT LoadedDriver(std::u16string_view service);
// Calls the driver's unload routine and deletes its driver object (a legacy driver's stop). Its devices must
// be gone already, or be deleted by the unload routine.
void UnloadDriver(std::u16string_view service);

void RegisterSetupClass(const GUID& classGuid, std::u16string_view className);
enum class FilterPosition { Upper, Lower };
// Appends the service to the class's filter list (once).
void AddClassFilter(const GUID& classGuid, std::u16string_view service,
                    FilterPosition position = FilterPosition::Upper);

struct DriverMatch {
    std::u16string id; // a hardware or compatible ID, compared case-insensitively
    std::u16string service;
    GUID classGuid{};
    std::u16string description;  // DeviceDesc; empty: the device's own text
    std::u16string manufacturer; // Mfg
};
void RegisterDriverMatch(const DriverMatch& match);

// A device the root bus enumerates (as a system bus driver is): its IDs and the texts its PDO reports. Its
// driver is `service` in the setup class `classGuid` when a service is given (a zero GUID: no class, so no
// driver key and no class filters), else the first match of its IDs.
struct RootDevice {
    std::u16string deviceId; // "ROOT\SIMPCI"
    std::u16string instanceId = u"0000";
    std::vector<std::u16string> hardwareIds; // empty: the device ID
    std::vector<std::u16string> compatibleIds;
    std::u16string description;
    std::u16string location;
    std::u16string service;
    GUID classGuid{};
};
// Adds the device and waits until it (and whatever it enumerates) has arrived. *instancePath (optional)
// receives "ROOT\SIMPCI\0000"; *pdo (optional) its physical device object.
NTSTATUS AddRootDevice(const RootDevice& device, std::u16string* instancePath = nullptr, PDEVICE_OBJECT* pdo = nullptr);
// Removes a root device with everything below it, as a surprise removal (the device is gone) or an orderly
// one (IRP_MN_QUERY_REMOVE_DEVICE first; a veto keeps the device and returns the vetoing status). Waits.
NTSTATUS RemoveRootDevice(std::u16string_view instancePath, bool surprise = false);
// Removes any present device node with everything below it, as RemoveRootDevice does. Once the removal is
// agreed (at once for a surprise one), `unplug` runs on the manager's thread before the devices are told: the
// bus driver stops reporting the device there, so its PDO goes with the removal and does not come back.
// STATUS_NO_SUCH_DEVICE for an unknown path; a veto keeps the device and returns the vetoing status. Waits.
NTSTATUS RemoveDevice(std::u16string_view instancePath, bool surprise, const std::function<void()>& unplug);

// Blocks until the manager's queue is empty and it is idle. Returns at once on the manager's own thread.
void WaitForIdle();

// A view of a device node, for the user-mode SetupAPI stand-in and for tests.
struct DeviceNodeInfo {
    std::u16string instancePath;
    std::u16string parentInstancePath; // empty for a child of the root
    PDEVICE_OBJECT pdo = nullptr;
    std::u16string service; // empty when no driver matched
    bool started = false;
};
// Present device nodes, parents before their children, in arrival order.
std::vector<DeviceNodeInfo> DeviceNodes();
// The physical device object of a present device node, or null.
PDEVICE_OBJECT PhysicalDeviceObject(std::u16string_view instancePath);
// The same with a reference taken for the caller, who gives it back with ObDereferenceObject: a node removed
// meanwhile by the manager's thread then leaves its PDO in place until the caller is done asking about it.
PDEVICE_OBJECT ReferencePhysicalDeviceObject(std::u16string_view instancePath);

// What user mode hears of Plug and Play changes (the window system's device notifications): an interface
// enabled or disabled, or device nodes added or removed. The observer is called on the thread that made the
// change, with no lock of the manager held, while the change may still be under way (a device's start); it
// must not wait for the manager there. Null stops the calls.
struct DeviceChange {
    enum class Kind { InterfaceArrival, InterfaceRemoval, NodesChanged };
    Kind kind = Kind::NodesChanged;
    GUID interfaceClass{};
    std::u16string symbolicLink; // "\??\USB#VID_...#{guid}"
};
void SetDeviceChangeObserver(std::function<void(const DeviceChange&)> observer);

// Takes the machine down: removes every device (children first, IRP_MN_REMOVE_DEVICE) and unloads every
// driver. Registrations (images, classes, matches) stay, so the machine can start again.
void Shutdown();
// Shutdown, and forgets the registrations and device interfaces. Part of the kernel reset (NtControl.h).
void Reset();

} // namespace nt::pnp
