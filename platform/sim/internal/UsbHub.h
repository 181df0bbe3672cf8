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
#include <mutex>
#include <string>
#include <vector>

#include "hubbusif.h"
#include "platform/sim/internal/DriverFramework.h"
#include "platform/sim/internal/UrbClient.h"
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

private:
    std::u16string Enumerator() const;

    HubFdo* const m_hub;
    const int m_port;
    PVOID m_handle;
    const Identity m_identity;
    InterfaceSet m_interfaces;
};

// The USB identifiers of a device: "USB\VID_xxxx&PID_xxxx" and friends, shared by the hub's port devices and
// the composite parents' interface devices.
std::u16string VidPid(const USB_DEVICE_DESCRIPTOR& device);
std::u16string Revision(const USB_DEVICE_DESCRIPTOR& device);
std::vector<std::u16string> ClassIds(std::u16string_view prefix, UCHAR cls, UCHAR subClass, UCHAR protocol);
// A string descriptor of a device read through `client` (US English), empty when it has none.
std::u16string ReadString(UrbClient& client, UCHAR index);

} // namespace sim::drv
