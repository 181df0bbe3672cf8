// The simulated USB devices: what a device does on the bus, with no driver in sight. A device answers the
// standard requests of its default pipe from its descriptor set, hands class and vendor requests and the
// transfers of its endpoints to the function that owns the interface (HID, bulk-only storage, printer, ...),
// and keeps the state the host changes (address, configuration, alternate settings, halted endpoints).
//
// Transfers either finish at once or NAK: an endpoint with nothing to say (an interrupt IN with no report, a
// bulk IN before its data is ready) answers TransferResult::Nak(), and the host controller keeps the request
// until the device tells it, through EndpointReady, that the endpoint can move; it then asks again. That one
// rule carries interrupt polling, hub status changes and pending completions. Isochronous endpoints answer
// packet by packet (IsochPacket) and never NAK. A device the host allowed to wake it (remote wakeup) resumes
// its suspended port when something happens (SignalRemoteWakeup).
//
// Locking: one lock per device, held while a request runs in the device or its functions. EndpointReady may be
// called with or without it (from inside a request or from a test); the host hears of it once the lock is free.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/sim/Descriptors.h"

struct _DEVICE_OBJECT;

namespace sim {

enum class UsbSpeed { Low, Full, High, Super };

struct SetupPacket {
    UCHAR bmRequestType = 0;
    UCHAR bRequest = 0;
    USHORT wValue = 0;
    USHORT wIndex = 0;
    USHORT wLength = 0;

    static SetupPacket FromBytes(const UCHAR bytes[8]);
    void ToBytes(UCHAR bytes[8]) const;
    bool In() const { return (bmRequestType & 0x80) != 0; }
    UCHAR Type() const { return (bmRequestType >> 5) & 3; }  // BMREQUEST_STANDARD, _CLASS, _VENDOR
    UCHAR Recipient() const { return bmRequestType & 0x1F; } // BMREQUEST_TO_DEVICE, _INTERFACE, ...
};

struct TransferResult {
    USBD_STATUS status = USBD_STATUS_SUCCESS;
    ULONG length = 0; // bytes moved (IN: written into the buffer; OUT: taken from it)
    bool nak = false; // nothing moved: ask again after EndpointReady

    static TransferResult Ok(ULONG length = 0) { return {USBD_STATUS_SUCCESS, length, false}; }
    static TransferResult Stall() { return {USBD_STATUS_STALL_PID, 0, false}; }
    static TransferResult Nak() { return {USBD_STATUS_SUCCESS, 0, true}; }
    static TransferResult Error(USBD_STATUS status) { return {status, 0, false}; }
    bool Succeeded() const { return !nak && USBD_SUCCESS(status); }
};

// Whoever drives the device (the host controller) hears here that an endpoint that NAKed may move now.
class EndpointListener {
public:
    virtual ~EndpointListener() = default;
    virtual void EndpointReady(UCHAR endpointAddress) = 0;
};

class UsbDevice;
class UsbHubModel;

// One interface of a device, with all its alternate settings and the endpoints they list.
class UsbFunction {
public:
    virtual ~UsbFunction() = default;

    // Class and vendor requests whose recipient is the interface or one of its endpoints.
    virtual TransferResult ClassRequest(const SetupPacket& setup, std::span<UCHAR> data);
    // GET_DESCRIPTOR addressed to the interface (class descriptors: HID, report, ...).
    virtual TransferResult InterfaceDescriptor(const SetupPacket& setup, std::span<UCHAR> data);
    // A bulk or interrupt transfer on one of the interface's endpoints: IN fills data, OUT consumes it.
    virtual TransferResult Transfer(UCHAR endpointAddress, std::span<UCHAR> data);
    // One packet of an isochronous endpoint in its (1 ms) frame: IN fills data (a short or empty packet is
    // fine), OUT consumes it; an error is that packet's alone. Isochronous endpoints never NAK.
    virtual TransferResult IsochPacket(UCHAR endpointAddress, ULONG frame, std::span<UCHAR> data);
    // The device was reset, configured or unconfigured, or the interface switched alternate setting.
    virtual void Reset(UCHAR alternateSetting);

    UCHAR InterfaceNumber() const { return m_interfaceNumber; }

protected:
    UsbDevice* Device() const { return m_device; }
    // The endpoint that NAKed may move now (see UsbDevice::EndpointReady).
    void EndpointReady(UCHAR endpointAddress);

private:
    friend class UsbDevice;
    UsbDevice* m_device = nullptr;
    UCHAR m_interfaceNumber = 0;
};

class UsbDevice {
public:
    UsbDevice(std::string name, UsbSpeed speed, DescriptorSet descriptors);
    virtual ~UsbDevice();
    UsbDevice(const UsbDevice&) = delete;
    UsbDevice& operator=(const UsbDevice&) = delete;

    const std::string& Name() const { return m_name; }
    UsbSpeed Speed() const { return m_speed; }
    const DescriptorSet& Descriptors() const { return m_descriptors; }
    USB_DEVICE_DESCRIPTOR DeviceDescriptor() const;
    // The configuration set with this bConfigurationValue, or null.
    const Bytes* ConfigurationByValue(UCHAR value) const;
    std::u16string String(UCHAR index) const;
    virtual bool IsHub() const { return false; }

    // The functions, by interface number. Added while the machine is described, before the device is plugged.
    void AddFunction(UCHAR interfaceNumber, std::shared_ptr<UsbFunction> function);
    UsbFunction* Function(UCHAR interfaceNumber) const;
    template <class T> T* FunctionAs(UCHAR interfaceNumber) const {
        return dynamic_cast<T*>(Function(interfaceNumber));
    }

    // --- The bus side: what the host controller does with the device ---

    // A control transfer on the default pipe. IN: data is the buffer to fill (wLength bytes at most); OUT: the
    // data stage.
    TransferResult Control(const SetupPacket& setup, std::span<UCHAR> data);
    // A bulk or interrupt transfer on an endpoint of the current configuration.
    TransferResult Transfer(UCHAR endpointAddress, std::span<UCHAR> data);
    // A packet of an isochronous endpoint of the current configuration.
    TransferResult IsochPacket(UCHAR endpointAddress, ULONG frame, std::span<UCHAR> data);
    // A port reset: address 0, unconfigured, every function back to its start.
    void BusReset();
    UCHAR Address() const;
    UCHAR Configuration() const;
    // The alternate setting now selected on an interface (0 when unconfigured).
    UCHAR AlternateSetting(UCHAR interfaceNumber) const;
    bool EndpointHalted(UCHAR endpointAddress) const;

    // Whether the host enabled remote wakeup (SET_FEATURE DEVICE_REMOTE_WAKEUP).
    bool RemoteWakeupEnabled() const;
    // Something happened that should wake the host: a device whose port is suspended and that may wake it
    // resumes the port (the hub reports the change). Call without holding the device's lock.
    void SignalRemoteWakeup();

    void Bind(std::shared_ptr<EndpointListener> listener);
    void Unbind();
    // Unbinds only this listener (a newer binding of the same device stays).
    void Unbind(const EndpointListener* listener);
    // The endpoint that NAKed may move now. From inside a request (the device lock held by this thread) the news
    // waits until the request ends; from outside it goes out at once.
    void EndpointReady(UCHAR endpointAddress);

    // --- Where the device is ---

    // The hub (or root hub) port the device is plugged into; null and 0 when unplugged.
    UsbHubModel* ParentHub() const { return m_parentHub.load(); }
    int PortNumber() const { return m_portNumber.load(); }
    // Whether a host controller can reach the device: it hangs, through its hubs, on a root hub.
    bool Reachable() const;
    // The physical device object the hub driver made for the device; null while it has none.
    _DEVICE_OBJECT* PhysicalDeviceObject() const { return m_pdo.load(); }
    void SetPhysicalDeviceObject(_DEVICE_OBJECT* pdo) { m_pdo.store(pdo); }
    // URBs a host controller received for the device (its port driver counts them as they arrive).
    uint64_t UrbsReceived() const { return m_urbsReceived.load(std::memory_order_relaxed); }
    void CountUrb() { m_urbsReceived.fetch_add(1, std::memory_order_relaxed); }

protected:
    // Requests with the device or "other" (a hub port) as recipient that are not standard ones.
    virtual TransferResult DeviceRequest(const SetupPacket& setup, std::span<UCHAR> data);
    // Transfers on endpoints no function owns (a hub's status-change endpoint).
    virtual TransferResult DeviceTransfer(UCHAR endpointAddress, std::span<UCHAR> data);
    virtual void OnBusReset() {}

    // Held by the thread running a request; a derived class takes it with Guard for its own changes.
    class Guard {
    public:
        explicit Guard(const UsbDevice& device);
        ~Guard();
        Guard(const Guard&) = delete;
        Guard& operator=(const Guard&) = delete;

    private:
        const UsbDevice& m_device;
        bool m_outer;
    };

private:
    friend class UsbHubModel;
    TransferResult Standard(const SetupPacket& setup, std::span<UCHAR> data);
    TransferResult GetDescriptor(const SetupPacket& setup, std::span<UCHAR> data);
    TransferResult SetConfiguration(UCHAR value);
    UsbFunction* FunctionForEndpoint(UCHAR endpointAddress) const;
    void ResetFunctions();
    void FlushReadyEndpoints() const;

    const std::string m_name;
    const UsbSpeed m_speed;
    const DescriptorSet m_descriptors;
    std::map<UCHAR, std::shared_ptr<UsbFunction>> m_functions;

    mutable std::mutex m_lock;
    mutable std::atomic<std::thread::id> m_owner{};
    UCHAR m_address = 0;
    UCHAR m_configuration = 0;
    bool m_remoteWakeup = false;
    std::map<UCHAR, UCHAR> m_alternates;       // interface number -> alternate setting
    std::map<UCHAR, UsbFunction*> m_endpoints; // endpoint address -> owner, for the current configuration
    std::set<UCHAR> m_halted;
    mutable std::vector<UCHAR> m_readyEndpoints; // told while the lock was held

    mutable std::mutex m_listenerLock;
    std::shared_ptr<EndpointListener> m_listener;

    std::atomic<UsbHubModel*> m_parentHub{nullptr};
    std::atomic<int> m_portNumber{0};
    std::atomic<_DEVICE_OBJECT*> m_pdo{nullptr};
    std::atomic<uint64_t> m_urbsReceived{0};
};

} // namespace sim
