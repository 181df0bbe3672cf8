#include "platform/sim/Machine.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <unistd.h>

#include "NtControl.h"
#include "NtPnpControl.h"
#include "NtRegistryStore.h"
#include "NtText.h"
#include "devguid.h"
#include "platform/sim/internal/BusTime.h"
#include "platform/sim/internal/DriverSetup.h"
#include "platform/sim/internal/PciBus.h"

namespace sim {

namespace {

std::mutex g_machineLock;
Machine* g_running = nullptr;

constexpr char kRegistryFileName[] = "registry.txt";
constexpr char16_t kControlSet[] = u"\\Registry\\Machine\\System\\CurrentControlSet";

std::u16string UsbClassKey() {
    return std::u16string(kControlSet) + u"\\Control\\Class\\{36FC9E60-C465-11CF-8056-444553540000}";
}

// The USB class's upper filters as this boot wants them: the capture driver in or out (a registry kept from an
// earlier run may name it while this boot has no image for it).
void SetCaptureFilter(bool installed) {
    if (installed) {
        nt::pnp::AddClassFilter(GUID_DEVCLASS_USB, kCaptureService);
        return;
    }
    nt::registry::KeyRef key;
    if (!NT_SUCCESS(nt::registry::OpenKey(nullptr, UsbClassKey(), key))) {
        return;
    }
    nt::registry::Value value;
    if (!NT_SUCCESS(nt::registry::QueryValue(key, u"UpperFilters", value))) {
        return;
    }
    std::u16string kept;
    const auto* text = reinterpret_cast<const char16_t*>(value.data.data());
    const size_t count = value.data.size() / sizeof(char16_t);
    for (size_t start = 0; start < count && text[start];) {
        size_t end = start;
        while (end < count && text[end]) {
            ++end;
        }
        std::u16string_view name(text + start, end - start);
        if (!nt::text::EqualsIgnoreCase(name, kCaptureService)) {
            kept.append(name);
            kept.push_back(0);
        }
        start = end + 1;
    }
    if (kept.empty()) {
        nt::registry::DeleteValue(key, u"UpperFilters");
    } else {
        kept.push_back(0);
        nt::registry::SetValue(key, u"UpperFilters", REG_MULTI_SZ, kept.data(), kept.size() * sizeof(char16_t));
    }
}

// The capture driver's service: a boot-start kernel driver.
void DescribeCaptureService() {
    nt::registry::KeyRef key;
    if (!NT_SUCCESS(
            nt::registry::OpenKey(nullptr, std::u16string(kControlSet) + u"\\Services\\" + kCaptureService, key))) {
        return;
    }
    const ULONG start = 0; // SERVICE_BOOT_START
    const ULONG errorControl = 1;
    nt::registry::SetValue(key, u"Start", REG_DWORD, &start, sizeof start);
    nt::registry::SetValue(key, u"ErrorControl", REG_DWORD, &errorControl, sizeof errorControl);
}

void VisitDevices(UsbHubModel& hub,
                  const std::function<bool(UsbHubModel&, int, const std::shared_ptr<UsbDevice>&)>& visit) {
    for (int port = 1; port <= hub.PortCount(); ++port) {
        std::shared_ptr<UsbDevice> device = hub.DeviceAt(port);
        if (!device) {
            continue;
        }
        if (!visit(hub, port, device)) {
            return;
        }
        if (auto* child = dynamic_cast<UsbHubModel*>(device.get())) {
            VisitDevices(*child, visit);
        }
    }
}

} // namespace

FollowBusTime::FollowBusTime() {
    drv::BeginFollowingBusTime();
}

FollowBusTime::~FollowBusTime() {
    drv::EndFollowingBusTime();
}

std::filesystem::path DefaultStateFolder() {
    if (const char* setting = std::getenv("TINDALOFT_STATE_DIR"); setting && *setting) {
        std::string folder = setting;
        for (size_t at; (at = folder.find("{pid}")) != std::string::npos;) {
            folder.replace(at, 5, std::to_string(getpid()));
        }
        return folder;
    }
    if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
        return std::filesystem::path(data) / "tindaloft";
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home && *home ? home : "/tmp") / ".local" / "share" / "tindaloft";
}

Machine::Machine(std::vector<std::shared_ptr<HostControllerModel>> controllers, MachineOptions options)
    : m_controllers(std::move(controllers)), m_options(std::move(options)) {}

std::unique_ptr<Machine> Machine::Boot(const MachineBuilder& hardware, const MachineOptions& options) {
    {
        std::unique_lock guard(g_machineLock);
        if (Machine* running = g_running) {
            guard.unlock();
            running->Shutdown();
        }
    }
    std::unique_ptr<Machine> machine(new Machine(hardware.Controllers(), options));
    machine->Start();
    return machine;
}

std::unique_ptr<Machine> Machine::BootDefault(const MachineOptions& options) {
    return Boot(DefaultMachine(), options);
}

Machine::~Machine() {
    Shutdown();
}

void Machine::Start() {
    nt::ResetKernelState();
    nt::version::SelectRelease(m_options.release);
    // The registry of the state folder is loaded now but written back only once the machine is up: boot
    // changes the registry hundreds of times, and an attached store rewrites its file after each change.
    std::filesystem::path registryFile;
    if (!m_options.stateDir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(m_options.stateDir, error);
        registryFile = m_options.stateDir / kRegistryFileName;
        if (std::filesystem::exists(registryFile, error)) {
            NTSTATUS status = nt::registry::LoadFile(registryFile);
            if (!NT_SUCCESS(status)) {
                // A damaged file is left as it is for someone to look at; this run keeps its registry in memory.
                m_status = status;
                registryFile.clear();
            }
        }
    }
    drv::SetPciHardware(m_controllers);
    drv::SetBusTime(m_options.busTime);
    drv::InstallDrivers(CurrentLayout());
    SetCaptureFilter(m_options.captureDriverEntry != nullptr);
    {
        std::lock_guard guard(g_machineLock);
        g_running = this;
        m_running = true;
    }
    if (m_options.captureDriverEntry) {
        nt::pnp::RegisterDriverImage(kCaptureService, m_options.captureDriverEntry);
        DescribeCaptureService();
        m_captureStatus = nt::pnp::LoadDriver(kCaptureService);
        if (!NT_SUCCESS(m_captureStatus) && NT_SUCCESS(m_status)) {
            m_status = m_captureStatus;
        }
    }
    nt::pnp::RootDevice bus;
    bus.deviceId = drv::kPciBusDeviceId;
    bus.instanceId = u"0";
    bus.description = u"PCI bus";
    NTSTATUS status;
    {
        FollowBusTime follow;
        status = nt::pnp::AddRootDevice(bus, &m_pciInstance);
    }
    if (!NT_SUCCESS(status) && NT_SUCCESS(m_status)) {
        m_status = status;
    }
    WaitForIdle(); // the hubs report what hangs on their ports once their status-change endpoints are served
    if (!registryFile.empty() && NT_SUCCESS(nt::registry::SaveFile(registryFile))) {
        nt::registry::AttachFile(registryFile);
    }
}

void Machine::Shutdown() {
    {
        std::lock_guard guard(g_machineLock);
        if (!m_running) {
            return;
        }
        m_running = false;
        if (g_running == this) {
            g_running = nullptr;
        }
    }
    // The attached file already holds the registry as the running machine left it. Windows removes no device
    // when it shuts down, so what drivers do while the teardown removes them (a boot capture's saved
    // selections deleted with their devices) must not reach the next boot: the file is let go first.
    nt::registry::Detach();
    {
        FollowBusTime follow; // drivers that wait for their transfers as they go
        nt::pnp::Shutdown();
    }
    drv::SetPciHardware({});
}

HostControllerModel* Machine::Controller(std::string_view name) const {
    for (const auto& controller : m_controllers) {
        if (controller->Name() == name) {
            return controller.get();
        }
    }
    return nullptr;
}

std::shared_ptr<UsbDevice> Machine::Device(std::string_view name) const {
    std::shared_ptr<UsbDevice> found;
    for (const auto& controller : m_controllers) {
        VisitDevices(controller->RootHub(), [&](UsbHubModel&, int, const std::shared_ptr<UsbDevice>& device) {
            if (device->Name() == name) {
                found = device;
                return false;
            }
            return true;
        });
        if (found) {
            break;
        }
    }
    return found;
}

bool Machine::Plug(UsbHubModel& hub, int port, std::shared_ptr<UsbDevice> device) {
    if (!hub.Attach(port, std::move(device))) {
        return false;
    }
    WaitForIdle();
    return true;
}

std::shared_ptr<UsbDevice> Machine::Unplug(std::string_view name) {
    std::shared_ptr<UsbDevice> device = Device(name);
    UsbHubModel* hub = device ? device->ParentHub() : nullptr;
    if (!hub) {
        return nullptr;
    }
    std::shared_ptr<UsbDevice> unplugged = hub->Detach(device->PortNumber());
    WaitForIdle();
    return unplugged;
}

void Machine::InvalidatePciBus() {
    if (PDEVICE_OBJECT bus = nt::pnp::PhysicalDeviceObject(m_pciInstance)) {
        IoInvalidateDeviceRelations(bus, BusRelations);
    }
    WaitForIdle();
}

HostControllerModel* Machine::AddController(std::shared_ptr<HostControllerModel> controller) {
    if (!controller || Controller(controller->Name()) != nullptr) {
        return nullptr;
    }
    m_controllers.push_back(controller);
    drv::AddPciController(controller);
    InvalidatePciBus();
    return controller.get();
}

std::shared_ptr<HostControllerModel> Machine::RemoveController(std::string_view name, bool surprise) {
    auto found = std::find_if(m_controllers.begin(), m_controllers.end(),
                              [&](const auto& controller) { return controller->Name() == name; });
    if (found == m_controllers.end()) {
        return nullptr;
    }
    std::shared_ptr<HostControllerModel> controller = *found;
    if (surprise) {
        drv::RemovePciController(controller.get());
        InvalidatePciBus();
    } else {
        std::u16string instancePath;
        for (const nt::pnp::DeviceNodeInfo& node : nt::pnp::DeviceNodes()) {
            if (node.pdo != nullptr && node.pdo == controller->PhysicalDeviceObject()) {
                instancePath = node.instancePath;
            }
        }
        NTSTATUS status;
        {
            FollowBusTime follow;
            status = nt::pnp::RemoveDevice(instancePath, false, [&] { drv::RemovePciController(controller.get()); });
        }
        if (!NT_SUCCESS(status)) {
            return nullptr;
        }
        WaitForIdle();
    }
    m_controllers.erase(std::find(m_controllers.begin(), m_controllers.end(), controller));
    // Off the bus the controller has no power: its root hub's ports are off until a driver powers them again.
    controller->RootHub().BusReset();
    return controller;
}

void Machine::WaitForIdle() {
    FollowBusTime follow;
    for (;;) {
        nt::pnp::WaitForIdle();
        if (drv::HubChangesOnBus() == 0) {
            return;
        }
        // A hub reports a port change at its status-change endpoint's next service; its completion asks the Plug
        // and Play manager to look at the hub again.
        while (drv::HubChangesOnBus() != 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
}

std::optional<LONGLONG> Machine::NextBusCompletion() const {
    return drv::NextBusCompletion();
}

bool Machine::AdvanceToNextBusCompletion() {
    return drv::AdvanceToNextBusCompletion();
}

} // namespace sim
