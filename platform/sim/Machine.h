// The simulated machine: boots the kernel stand-in with a machine's hardware (host controllers and what is
// plugged into them), its drivers and, when given, the capture driver; runs it; hot-plugs devices; takes it
// down again. One machine runs at a time in a process.
//
// Boot, in order: the kernel is reset; the release is selected; the registry is attached to the state folder
// (or stays in memory); the drivers are installed (images, setup classes, device matches); when a capture
// driver entry is given it is registered as "KxTdloft", made the upper class filter of the USB setup class and
// loaded, as a boot-start driver is, before any USB device; then the root bus reports the PCI bus, whose
// enumeration brings the controllers, their root hubs, the hubs and the devices, in the platform's order; boot
// returns once the Plug and Play manager is idle and the hubs have reported what their ports hold.
//
// Reaching the machine from a test: the device models are the objects the builder plugged (keep the pointers
// Plug returned, or ask Device("name")); a model's PhysicalDeviceObject() is the physical device object its hub
// driver made, and IoGetAttachedDevice of it the top of its stack. Driving traffic: a function model answers
// its interface's class requests and transfers (UsbFunction), NAKs what it cannot answer yet and calls
// EndpointReady when it can; the port driver keeps the waiting transfers and asks again. Hot-plug: Plug and
// Unplug below, or UsbHubModel::Attach and Detach from any thread followed by WaitForIdle.
//
// Traffic of the machine's own: a booted machine is quiet (the hubs' status-change transfers wait, nothing
// else moves) until something uses it; the workloads (Workload.h) play what users do through the class
// drivers (HID reads and selective suspend, file copies over the disk and storage drivers, print jobs,
// devices coming and going, every request family of the generic driver, system sleep and wake). Requests
// that wait complete later on the thread that ends the wait: a device's own clock (DeviceTimer: the mouse's
// reports, the printer's engine), a controller's interrupt thread (every transfer's end on its bus), a class
// driver's own thread (storage request blocks, print jobs).
//
// Bus time: the machine keeps it as hardware does. A transfer completes no sooner than its packets take on
// its device's bus (low speed 1.5 Mbit/s, full 12, high 480, SuperSpeed 5 Gbit/s, with the protocol's and the
// host's cost per packet: bulk moves about 1.1 MB/s at full speed, 40 MB/s at high speed, 400 MB/s at
// SuperSpeed); the devices of one controller share its bus, those behind a high-speed hub at low and full
// speed share the hub's transaction translator; an interrupt endpoint is served once per bInterval (the
// mouse every 10 ms, the external hub's status-change endpoint every 256 ms), an isochronous transfer ends
// with its last frame, a control transfer takes its stages. Only moving data takes time: a transfer that waits
// for its device (NAKed) is not on the bus meanwhile. The time is machine time, so on a virtual clock a test
// sees exact times: it moves the clock on itself (AdvanceToNextBusCompletion), and the machine's own waits
// (boot, Plug, Unplug, WaitForIdle, Shutdown) and the workloads move it on to each completion while they wait
// (FollowBusTime). An unpaced machine (MachineOptions::busTime false) completes every transfer as soon as its
// device answers: what the benchmarks of the capture road measure with.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "NtVersionControl.h"
#include "platform/sim/MachineBuilder.h"
#include "wdm.h"

namespace sim {

struct MachineOptions {
    nt::version::Release release = nt::version::Release::Windows7;
    // The capture driver's DriverEntry; null boots the machine without it.
    PDRIVER_INITIALIZE captureDriverEntry = nullptr;
    // Where the machine keeps what outlives a run (its registry, "registry.txt"); empty keeps the registry in
    // memory. Programs pass DefaultStateFolder(); tests a temporary folder or nothing.
    std::filesystem::path stateDir;
    // Bus time (see above); false: an unpaced machine, whose transfers take no time on their buses.
    bool busTime = true;
};

// While one lives, a virtual machine clock follows the buses: whenever a transfer is on a bus, and the threads
// that put it there have had a moment, the clock moves on to its end. The machine's own waits and the
// workloads hold one; a test on a virtual clock that sends requests of its own holds one while it waits for
// them. A real clock is left alone.
class FollowBusTime {
public:
    FollowBusTime();
    ~FollowBusTime();
    FollowBusTime(const FollowBusTime&) = delete;
    FollowBusTime& operator=(const FollowBusTime&) = delete;
};

// The machine's state folder when nobody chose one: TINDALOFT_STATE_DIR ("{pid}" in it becomes the process
// id), else $XDG_DATA_HOME/tindaloft, else ~/.local/share/tindaloft; the same rules as user mode's state
// folder.
std::filesystem::path DefaultStateFolder();

// The capture driver's service name and the setup class it filters.
constexpr char16_t kCaptureService[] = u"KxTdloft";

class Machine {
public:
    // Boots a machine (shutting down one that still runs). Check Status() for how the boot went.
    static std::unique_ptr<Machine> Boot(const MachineBuilder& hardware, const MachineOptions& options = {});
    static std::unique_ptr<Machine> BootDefault(const MachineOptions& options = {});
    ~Machine();
    Machine(const Machine&) = delete;
    Machine& operator=(const Machine&) = delete;

    // Removes every device and unloads every driver (the capture driver too); flushes and detaches the
    // registry file. The kernel keeps its other state for a test to look at.
    void Shutdown();
    bool Running() const { return m_running; }

    // STATUS_SUCCESS, or what failed: the registry file (STATUS_REGISTRY_CORRUPT: the machine runs on an empty
    // registry in memory), the capture driver's entry, or the PCI bus.
    NTSTATUS Status() const { return m_status; }
    NTSTATUS CaptureDriverStatus() const { return m_captureStatus; }
    const MachineOptions& Options() const { return m_options; }
    // The device instance path of the PCI bus ("ACPI\PNP0A03\0").
    const std::u16string& PciBusInstance() const { return m_pciInstance; }

    const std::vector<std::shared_ptr<HostControllerModel>>& Controllers() const { return m_controllers; }
    HostControllerModel* Controller(std::string_view name) const;
    // A device plugged anywhere in the machine (root hubs not included), by its model's name; null when none.
    std::shared_ptr<UsbDevice> Device(std::string_view name) const;
    template <class T> std::shared_ptr<T> DeviceAs(std::string_view name) const {
        return std::dynamic_pointer_cast<T>(Device(name));
    }

    // Hot-plug: plugs a device (with whatever is plugged into it) into a hub port, or unplugs one, and waits
    // until the machine has enumerated the change. False (null) when the port is taken or the device unknown.
    bool Plug(UsbHubModel& hub, int port, std::shared_ptr<UsbDevice> device);
    std::shared_ptr<UsbDevice> Unplug(std::string_view name);
    // Hot-plug of host controllers: puts a controller (with whatever is plugged into its root hub) on the PCI
    // bus, or takes one off it with everything below it, as a surprise removal (the bus stops reporting it) or
    // an orderly one (its devices are asked first; a veto keeps it). Both wait until the machine has
    // enumerated the change. Null when the name is taken or unknown, or the removal was vetoed; a removed
    // controller can be added again.
    HostControllerModel* AddController(std::shared_ptr<HostControllerModel> controller);
    std::shared_ptr<HostControllerModel> RemoveController(std::string_view name, bool surprise = true);
    // Waits until the Plug and Play manager has done everything queued so far, and the hubs have reported the
    // port changes they saw (at their status-change endpoints' next service).
    void WaitForIdle();

    // Bus time: the machine time at which a bus next completes a transfer, if one is on a bus now; and, on a
    // virtual clock, the clock moved on to then (false when no transfer is on a bus, or the clock is real).
    std::optional<LONGLONG> NextBusCompletion() const;
    bool AdvanceToNextBusCompletion();

private:
    Machine(std::vector<std::shared_ptr<HostControllerModel>> controllers, MachineOptions options);
    void Start();
    // The PCI bus reports its controllers again.
    void InvalidatePciBus();

    std::vector<std::shared_ptr<HostControllerModel>> m_controllers;
    MachineOptions m_options;
    NTSTATUS m_status = STATUS_SUCCESS;
    NTSTATUS m_captureStatus = STATUS_SUCCESS;
    std::u16string m_pciInstance;
    bool m_running = false;
};

} // namespace sim
