// The hub drivers: "usbhub" (USB 2.0 and 1.1 hubs and root hubs, with the release's "HUB " and "PORT"/"HPDO"
// words and the device-handle pointer in its extensions), and the two USB 3 hub drivers, the vendor's
// ("nusb3hub", before Windows 8) and the system's ("usbhub3", from Windows 8 on). A hub's functional device
// object asks the port driver for the hub bus interface, configures the hub, powers its ports, and keeps an
// interrupt transfer waiting on the hub's status-change endpoint; when it completes, the hub asks the Plug and
// Play manager to enumerate it again, reads the port status, and creates ("\Device\USBPDO-n") or drops the
// physical device objects of its ports. It answers the hub's device-control requests (node and connection
// information, driver keys, descriptors, names).
//
// On the releases whose hub driver is its own composite parent (2000, XP, 2003) usbhub also serves composite
// devices; see Composite.h.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "hubbusif.h"
#include "platform/sim/internal/DriverFramework.h"
#include "platform/sim/internal/UrbClient.h"
#include "platform/sim/internal/WorkQueue.h"
#include "usbbusif.h"
#include "usbioctl.h"

namespace sim::drv {

enum class HubFlavor { Usb20, VendorUsb3, InboxUsb3 };

NTSTATUS UsbHubEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS VendorUsb3HubEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS InboxUsb3HubEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

class PortPdo;

class HubFdo : public FunctionDevice {
public:
    HubFdo(PDEVICE_OBJECT self, PDEVICE_OBJECT pdo, PDEVICE_OBJECT lower, HubFlavor flavor);
    ~HubFdo() override;

    HubFlavor Flavor() const { return m_flavor; }
    const ReleaseLayout& Layout() const { return m_layout; }
    PDEVICE_OBJECT RootHubPdo() const { return m_rootHubPdo; }
    PVOID Handle() const { return m_handle; }
    const USB_BUS_INTERFACE_HUB_V8& Bus() const { return m_bus; }
    int HubNumber() const { return m_hubNumber; }
    bool SuperSpeed() const { return m_superSpeed; }
    bool IsRoot() const { return m_root; }
    const USB_DEVICE_DESCRIPTOR& DeviceDescriptor() const { return m_deviceDescriptor; }
    PDEVICE_OBJECT Pdo() const { return m_pdo; }

    // What the hub does for the devices on its ports: suspend and resume a port (PORT_SUSPEND, or the link
    // state U3/U0 on SuperSpeed ports), cycle it (the device leaves and comes back), and run deferred work
    // (idle callbacks) on the hub driver's own thread.
    NTSTATUS SuspendPort(int port, bool suspend);
    void CyclePort(int port);
    bool Defer(std::function<void()> work) { return m_worker.Post(std::move(work)); }
    void DrainDeferred() { m_worker.Drain(); }
    // OPEN_ENDPOINT, GET_ENDPOINT_STATE and CLOSE_ENDPOINT for the hub's status-change endpoint, through the root
    // hub with the hub's handle (the internal endpoint requests of a hub driver). Returns the last failure.
    NTSTATUS ProbeStatusEndpoint(ULONG* state);

protected:
    NTSTATUS OnStart() override;
    void OnStop() override;
    void OnRemove() override;
    bool IsBus() const override { return true; }
    void Enumerate() override;
    NTSTATUS DeviceControl(PIRP irp) override;
    NTSTATUS InternalDeviceControl(PIRP irp) override;

private:
    NTSTATUS PortStatus(int port, USHORT& status, USHORT& change);
    NTSTATUS PortFeature(bool set, USHORT feature, int port);
    void EnumeratePort(int port);
    void PostStatusChange();
    static NTSTATUS StatusChangeDone(PDEVICE_OBJECT device, PIRP irp, PVOID context);
    NTSTATUS HubRequest(PIRP irp, ULONG code, UCHAR* buffer, ULONG inLength, ULONG outLength, bool* handled);
    NTSTATUS ConnectionInformation(PIRP irp, UCHAR* buffer, ULONG inLength, ULONG outLength, bool extended);
    NTSTATUS ConnectionName(PIRP irp, UCHAR* buffer, ULONG inLength, ULONG outLength, bool driverKey);
    NTSTATUS DescriptorFromConnection(PIRP irp, UCHAR* buffer, ULONG inLength, ULONG outLength);

    const HubFlavor m_flavor;
    const ReleaseLayout m_layout;
    USB_BUS_INTERFACE_HUB_V8 m_bus{};
    PDEVICE_OBJECT m_rootHubPdo = nullptr;
    PDEVICE_OBJECT m_controllerFdo = nullptr;
    PVOID m_handle = nullptr;
    bool m_root = false;
    bool m_superSpeed = false;
    bool m_busPowered = false;
    int m_hubNumber = 0;
    USB_DEVICE_DESCRIPTOR m_deviceDescriptor{};
    Bytes m_hubDescriptor;
    SelectedConfiguration m_configuration;
    bool m_firstQuery = true;

    // The waiting status-change transfer.
    PIRP m_changeIrp = nullptr;
    PURB m_changeUrb = nullptr;
    UCHAR* m_changeBuffer = nullptr;
    // Idle: ours to send; Posted: with the hub, waiting for a change; Completing: its completion routine runs.
    enum ChangeState { kIdle, kPosted, kCompleting };
    std::atomic<int> m_changeState{kIdle};
    std::atomic<bool> m_stopping{false};
    KEVENT m_changeIdle; // signalled while the transfer is idle

    // The devices on the ports (index port - 1); null where there is none. Guarded by m_portLock, which keeps a
    // device object alive while it is held: a port's device goes only after it left this table.
    std::mutex m_portLock;
    std::vector<PortPdo*> m_ports;
    std::vector<bool> m_failed; // the port's device could not be enumerated
    std::vector<bool> m_cycle;  // the port is to be cycled at the next enumeration
    WorkQueue m_worker;
};

class PortPdo : public PhysicalDevice {
public:
    struct Identity {
        USB_DEVICE_DESCRIPTOR device{};
        Bytes configuration;
        std::u16string product;
        std::u16string serial;
        USB_DEVICE_SPEED speed = UsbFullSpeed;
    };

    PortPdo(PDEVICE_OBJECT self, HubFdo* hub, int port, PVOID handle, Identity identity);

    int Port() const { return m_port; }
    PVOID Handle() const { return m_handle; }
    const Identity& Id() const { return m_identity; }
    bool IsHub() const { return m_identity.device.bDeviceClass == USB_DEVICE_CLASS_HUB; }
    bool IsComposite() const;
    std::u16string HubLink() const;
    // The hub saw the port come out of suspension: a device that was in a low power state with a wait-wake
    // request pending has woken the machine.
    void OnPortResumed();

protected:
    NTSTATUS Pnp(PIRP irp) override;
    std::u16string DeviceId() const override;
    std::u16string InstanceId() const override;
    std::vector<std::u16string> HardwareIds() const override;
    std::vector<std::u16string> CompatibleIds() const override;
    std::u16string DeviceText() const override;
    std::u16string LocationText() const override;
    void Capabilities(DEVICE_CAPABILITIES& capabilities) const override;
    bool BusInformation(PNP_BUS_INFORMATION& bus) const override;
    NTSTATUS OnStart() override;
    void OnStop() override;
    void OnDelete() override;
    NTSTATUS InternalDeviceControl(PIRP irp) override;
    NTSTATUS Power(PIRP irp) override;

private:
    std::u16string Enumerator() const;
    NTSTATUS IdleNotification(PIRP irp);
    NTSTATUS DeviceConfigInfo(PIRP irp);
    NTSTATUS SetPower(PIRP irp);
    bool RemoteWakeCapable() const;
    // Takes a pending request out of its slot (null when its cancel routine has it).
    static PIRP Take(PIRP& slot);
    static void CancelIdle(PDEVICE_OBJECT device, PIRP irp);
    static void CancelWaitWake(PDEVICE_OBJECT device, PIRP irp);

    HubFdo* const m_hub;
    const int m_port;
    PVOID m_handle;
    const Identity m_identity;
    InterfaceSet m_interfaces;

    std::mutex m_powerLock;
    PIRP m_idleIrp = nullptr;     // IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION, pending until cancelled
    PIRP m_waitWakeIrp = nullptr; // IRP_MN_WAIT_WAKE, pending until the device wakes
    DEVICE_POWER_STATE m_power = PowerDeviceD0;
    POWER_SEQUENCE m_sequence{}; // how often the device went to D1, D2, D3
};

// OPEN_ENDPOINT, GET_ENDPOINT_STATE and CLOSE_ENDPOINT sent by the hub driver of the stack a hub's physical
// device object heads (STATUS_NO_SUCH_DEVICE when it has none).
NTSTATUS HubProbeStatusEndpoint(PDEVICE_OBJECT hubPdo, ULONG* state);

// The USB identifiers of a device: "USB\VID_xxxx&PID_xxxx" and friends, shared by the hub's port devices and
// the composite parents' interface devices.
std::u16string VidPid(const USB_DEVICE_DESCRIPTOR& device);
std::u16string Revision(const USB_DEVICE_DESCRIPTOR& device);
std::vector<std::u16string> ClassIds(std::u16string_view prefix, UCHAR cls, UCHAR subClass, UCHAR protocol);
// A string descriptor of a device read through `client` (US English), empty when it has none.
std::u16string ReadString(UrbClient& client, UCHAR index);

} // namespace sim::drv
