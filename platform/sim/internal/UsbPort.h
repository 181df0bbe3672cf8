// The port driver (the library the host-controller miniports are built on) and its miniports: the functional
// device object of each controller ("\Device\USBFDO-n", the controller's "HFDO" word), the root hub's physical
// device object ("\Device\USBPDO-n", "RPDO"), the device handles of every USB device on the controller, and
// their configuration, interface and pipe handles, URB processing (every function up to 0x34 and the endpoint
// requests 0x1000-0x1002: control transfers, bulk and interrupt transfers that wait while the device NAKs,
// isochronous transfers scheduled on the 1 ms frame counter and completed on the controller's interrupt
// thread, frame length control, pipe I/O policy), the hub and USBDI bus interfaces and the controller's
// device-control requests. Every URB the controllers receive is counted (UrbsReceived).
//
// Bus time (BusTime.h, UsbPortBusTime.cpp): on a paced machine a transfer whose data has moved stays on its
// device's bus for the time its packets take there (an interrupt transfer until its endpoint's next service,
// an isochronous one until its last frame) and completes on the controller's interrupt thread; a pipe sends
// its next transfer to the device once the one before has left the bus. The root hub is the controller's own
// and takes no bus time; nor do the requests the port driver carries out itself (configuration and interface
// selection, clearing a stall, what it asks a device while it initialises it). On an unpaced machine every
// transfer completes as soon as its device answers.
//
// The miniports share one implementation; a miniport only names its driver and its controller kind. The same
// code also serves the USB 3 pairs: the vendor xHCI driver of the releases before Windows 8 and the system's
// own xHCI driver from Windows 8 on, neither of which keeps the port driver's extension words.
//
// Locking: one mutex per controller guards its handle list, each handle's pipes and each pipe's queue of
// waiting transfers. Device models are called with it released; requests are completed with it released. The
// bus schedule's lock may be taken inside it.
#pragma once

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "hubbusif.h"
#include "platform/sim/HostControllerModel.h"
#include "platform/sim/internal/BusTime.h"
#include "platform/sim/internal/DriverFramework.h"
#include "platform/sim/internal/WorkQueue.h"
#include "usbbusif.h"
#include "usbdi.h"
#include "usbioctl.h"

namespace sim::drv {

enum class PortFlavor { UsbPort, VendorXhci, InboxXhci };

NTSTATUS UsbUhciEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS UsbOhciEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS UsbEhciEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS VendorXhciEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);
NTSTATUS InboxXhciEntry(PDRIVER_OBJECT driver, PUNICODE_STRING registryPath);

class HostController;
struct DeviceHandle;
struct PipeTransfer;

constexpr ULONG kPortPoolTag = SignatureWord("SimP");

// An endpoint of a configured device, as the pipe handle a client holds.
struct Pipe {
    ULONG signature = SignatureWord("Pipe");
    DeviceHandle* owner = nullptr;
    USB_ENDPOINT_DESCRIPTOR endpoint{};
    UCHAR interfaceNumber = 0;
    bool open = true;
    bool busy = false;             // a transfer is with the device now
    bool again = false;            // the device became ready while it was busy
    std::deque<PIRP> waiting;      // transfers the device NAKed, oldest first
    PipeTransfer* onBus = nullptr; // the transfer whose data moved and whose bus time is not over yet
    LONGLONG nextService = -1;     // interrupt: machine time of the endpoint's next service (-1: none yet)
    ULONG nextFrame = 0;           // isochronous: the frame after the last scheduled packet (0: none yet)
    // The pipe's I/O policy (SET_PIPE_IO_POLICY).
    ULONG ioPriority = 0;
    ULONG maxPendingIrps = 0;
    ULONG maxControllerTransfer = 0;
};

// An endpoint a client opened with URB_FUNCTION_OPEN_ENDPOINT, by its descriptor; the client holds its
// address until it closes it.
struct HcdEndpoint {
    ULONG signature = SignatureWord("HcEp");
    DeviceHandle* owner = nullptr;
    USB_ENDPOINT_DESCRIPTOR endpoint{};
    USHORT flags = 0;
    ULONG transfers = 0;
};

struct ConfigurationHandle {
    ULONG signature = SignatureWord("CfgH");
    Bytes descriptor;
};

struct InterfaceHandle {
    ULONG signature = SignatureWord("IntH");
    UCHAR number = 0;
    UCHAR alternate = 0;
};

// A USB device as the port driver knows it. Its first word is "DevH"; hub drivers keep a pointer to it.
struct DeviceHandle {
    ULONG signature = kDeviceHandleWord;
    std::atomic<LONG> references{1};
    HostController* controller = nullptr;
    std::shared_ptr<UsbDevice> device;
    DeviceHandle* hub = nullptr;
    USHORT port = 0;
    UCHAR address = 0;
    USB_DEVICE_SPEED speed = UsbFullSpeed;
    PDEVICE_OBJECT pdo = nullptr;
    bool removed = false;
    bool initialized = false;
    USB_DEVICE_DESCRIPTOR deviceDescriptor{};
    Bytes configurationDescriptor; // configuration index 0, read when the device was initialised
    ConfigurationHandle* configuration = nullptr;
    std::vector<InterfaceHandle*> interfaces;
    std::vector<Pipe*> pipes;   // open pipes of the current configuration
    std::vector<Pipe*> retired; // closed pipes, kept until the handle goes (a stale handle stays harmless)
    std::vector<ConfigurationHandle*> configurations;
    std::shared_ptr<EndpointListener> listener;
    ULONG transfers = 0;
    ULONG bytes = 0;
    UCHAR msVendorCode = 0;              // from the device's string 0xEE ("MSFT100"), 0 when it has none
    std::vector<HcdEndpoint*> endpoints; // opened with OPEN_ENDPOINT, until closed or the handle goes
    // The bus whose time the device's transfers share (null for the root hub, which is on none), and a
    // high-speed hub's transaction translator: the bus of the low and full speed devices behind it.
    std::shared_ptr<SharedBus> bus;
    std::shared_ptr<SharedBus> translator;
};

// A transfer of the port driver on the bus (UsbPortBusTime.cpp): a pipe's bulk or interrupt transfer with its
// result, a control transfer with its status, or an isochronous transfer with its final status. It holds a
// reference on its handle until it completes.
struct PipeTransfer : BusEntry {
    HostController* controller = nullptr;
    DeviceHandle* handle = nullptr;
    Pipe* pipe = nullptr; // bulk and interrupt
    TransferResult result;
    NTSTATUS status = STATUS_SUCCESS; // control
    USBD_STATUS isochStatus = USBD_STATUS_SUCCESS;
};

class RootHubPdo;

class HostController : public FunctionDevice {
public:
    HostController(PDEVICE_OBJECT self, PDEVICE_OBJECT pdo, PDEVICE_OBJECT lower, PortFlavor flavor);
    ~HostController() override;

    PortFlavor Flavor() const { return m_flavor; }
    HostControllerModel* Model() const { return m_model; }
    const ReleaseLayout& Layout() const { return m_layout; }
    const std::u16string& Name() const { return m_name; }
    int HcdNumber() const { return m_hcdNumber; }
    RootHubPdo* RootHub() const { return m_rootHub; }
    DeviceHandle* RootHandle() const { return m_rootHandle; }
    std::u16string RootHubLinkName() const; // without "\??\"

    // Device handles.
    NTSTATUS CreateHandle(DeviceHandle* hub, USHORT port, DeviceHandle** created);
    NTSTATUS InitializeHandle(DeviceHandle* handle);
    NTSTATUS RemoveHandle(DeviceHandle* handle, ULONG flags);
    // A referenced handle when `pointer` is one of this controller's live handles, else null.
    DeviceHandle* Acquire(PVOID pointer);
    void Release(DeviceHandle* handle);
    bool IsHandle(PVOID pointer);
    // The open pipes of a handle (under the controller's lock, copied out).
    std::vector<USB_PIPE_INFO> OpenPipes(DeviceHandle* handle);

    // URBs: completes or queues the request; the handle's reference is the caller's to release.
    NTSTATUS SubmitUrb(PIRP irp, PURB urb, DeviceHandle* handle);
    // The controller's frame counter: one frame per millisecond of machine time.
    static ULONG CurrentFrame();
    void EndpointReady(DeviceHandle* handle, UCHAR endpointAddress);
    void AbortPipes(DeviceHandle* handle, Pipe* only = nullptr);
    // Sends a pipe's waiting transfers to the device while it answers them (and the pipe is free).
    void Pump(Pipe* pipe);

    // Bus time (UsbPortBusTime.cpp). Whether a device's transfers take bus time.
    bool Paced(const DeviceHandle* handle) const { return m_paced && handle->bus; }
    // A transfer whose data has moved goes on its device's bus and completes once its time there is over. False
    // when it did not go on (cancelled meanwhile, the controller going): the caller completes it now. The pipe
    // transfer's form is called with m_lock held.
    bool PipeTransferOnBus(PIRP irp, Pipe* pipe, const TransferResult& result);
    bool ControlOnBus(PIRP irp, DeviceHandle* handle, NTSTATUS status, ULONG bytes);
    bool IsochronousOnBus(PIRP irp, DeviceHandle* handle, USBD_STATUS status, LONGLONG at);
    BusSchedule& Schedule() { return m_schedule; }

    // Statistics for IOCTL_USB_HCD_GET_STATS_*.
    std::atomic<ULONG> m_bytesTransferred{0};
    std::atomic<ULONG> m_transfers{0};
    std::atomic<ULONG> m_stallCount{0};
    // The bus semaphore hub drivers take around port operations (AcquireBusSemaphore).
    KSEMAPHORE m_busSemaphore;

    std::mutex m_lock;

protected:
    NTSTATUS OnStart() override;
    void OnRemove() override;
    bool IsBus() const override { return true; }
    void Enumerate() override;
    NTSTATUS DeviceControl(PIRP irp) override;
    NTSTATUS InternalDeviceControl(PIRP irp) override;

private:
    friend class RootHubPdo;
    NTSTATUS UserRequest(PIRP irp, UCHAR* buffer, ULONG inLength, ULONG outLength);
    NTSTATUS Control(PIRP irp, PURB urb, DeviceHandle* handle);
    USBD_STATUS SelectConfiguration(PURB urb, DeviceHandle* handle);
    USBD_STATUS SelectInterface(PURB urb, DeviceHandle* handle);
    NTSTATUS QueueTransfer(PIRP irp, PURB urb, DeviceHandle* handle);
    NTSTATUS Isochronous(PIRP irp, PURB urb, DeviceHandle* handle);
    USBD_STATUS FrameRequest(PURB urb, USHORT function, DeviceHandle* handle);
    USBD_STATUS PipePolicy(PURB urb, USHORT function, DeviceHandle* handle);
    USBD_STATUS EndpointRequest(PURB urb, USHORT function, DeviceHandle* handle);
    Pipe* FindPipe(DeviceHandle* handle, PVOID pipeHandle);
    // The bus a new device's transfers share, behind `hub` (m_lock held).
    std::shared_ptr<SharedBus> BusBehind(DeviceHandle* hub, UsbSpeed speed);
    // Machine time at which an interrupt pipe's transfer of `bytes` has been served (m_lock held).
    LONGLONG NextService(Pipe* pipe, ULONG bytes);
    void FreeHandle(DeviceHandle* handle);
    std::vector<Pipe*> OpenInterfacePipes(DeviceHandle* handle, const Bytes& configuration, UCHAR number,
                                          UCHAR alternate);

    const PortFlavor m_flavor;
    const ReleaseLayout m_layout;
    HostControllerModel* m_model = nullptr;
    std::u16string m_name;    // "\Device\USBFDO-n"
    std::u16string m_hcdLink; // "\DosDevices\HCDn"
    int m_hcdNumber = -1;
    InterfaceSet m_interfaces;
    RootHubPdo* m_rootHub = nullptr;
    bool m_rootHubReported = false;
    bool m_firstQuery = true;
    DeviceHandle* m_rootHandle = nullptr;
    std::vector<DeviceHandle*> m_handles; // every live handle, the root hub's too
    // Frame length control: the handle that took it, and the adjustment it made (in bit times).
    DeviceHandle* m_frameLengthOwner = nullptr;
    LONG m_frameLengthDelta = 0;
    // The controller's interrupt thread of an unpaced machine: isochronous transfers complete there.
    WorkQueue m_interrupt;
    // Bus time: whether the machine keeps it, the controller's own buses, and the schedule whose thread
    // completes the transfers on them.
    bool m_paced = false;
    std::shared_ptr<SharedBus> m_usb2Bus = std::make_shared<SharedBus>();
    std::shared_ptr<SharedBus> m_superSpeedBus = std::make_shared<SharedBus>();
    BusSchedule m_schedule;
};

// Completions of the port driver's transfers (UsbPortUrb.cpp): a bulk or interrupt transfer with its result, an
// isochronous one with its final status. Both give the transfer's handle reference back.
void FinishTransfer(PIRP irp, TransferResult result);
void CompleteIsochronous(PIRP irp, USBD_STATUS status, DeviceHandle* handle);

// URBs the host controllers of the machine received since it started (the workloads' request counts).
uint64_t UrbsReceived();

class RootHubPdo : public PhysicalDevice {
public:
    RootHubPdo(PDEVICE_OBJECT self, HostController* controller, std::u16string name);

    HostController* Controller() const { return m_controller; }
    const std::u16string& Name() const { return m_name; }
    std::u16string HubLink() const { return m_interfaces.Link(HubInterfaceGuid()); }
    const GUID& HubInterfaceGuid() const;

protected:
    std::u16string DeviceId() const override;
    std::u16string InstanceId() const override { return u"0"; }
    std::vector<std::u16string> HardwareIds() const override;
    std::u16string DeviceText() const override { return u"USB Root Hub"; }
    void Capabilities(DEVICE_CAPABILITIES& capabilities) const override;
    bool BusInformation(PNP_BUS_INFORMATION& bus) const override;
    NTSTATUS OnStart() override;
    void OnStop() override;
    void OnDelete() override;
    NTSTATUS OnQueryInterface(PIRP irp) override;
    NTSTATUS InternalDeviceControl(PIRP irp) override;

private:
    HostController* const m_controller;
    const std::u16string m_name;
    InterfaceSet m_interfaces;
};

// The size of a hub bus interface table of a version (5 to 8), and of a USBDI one (0 to 3).
USHORT HubBusInterfaceSize(USHORT version);
USHORT UsbdiInterfaceSize(USHORT version);

// The bus interfaces the port driver hands out (UsbPortBusInterface.cpp).
NTSTATUS FillHubBusInterface(HostController* controller, PINTERFACE interface, USHORT size, USHORT version);
NTSTATUS FillUsbdiInterface(DeviceHandle* handle, PINTERFACE interface, USHORT size, USHORT version);

// The NTSTATUS of a request whose URB ended with `status`.
NTSTATUS StatusFromUsbd(USBD_STATUS status);
// The internal requests every USB physical device object answers the same way: GET_DEVICE_HANDLE (and _EX,
// with the handle of the hub the device hangs on) and GET_PORT_STATUS.
NTSTATUS CompleteDeviceHandleRequest(PIRP irp, PVOID handle, PVOID hubHandle);
NTSTATUS CompletePortStatusRequest(PIRP irp, ULONG portStatus);

// The interface classes of the vendor USB 3 stack.
extern const GUID kVendorUsb3HostControllerInterface;
extern const GUID kVendorUsb3HubInterface;
DEFINE_GUID(GUID_BUS_TYPE_USB, 0x9D7DEBBC, 0xC85D, 0x11D1, 0x9E, 0xB4, 0x00, 0x60, 0x08, 0xC3, 0xA1, 0x9A);

template <class T, class... Args> T* PoolNew(Args&&... args) {
    void* memory = ExAllocatePoolWithTag(NonPagedPool, sizeof(T), kPortPoolTag);
    return memory ? new (memory) T(std::forward<Args>(args)...) : nullptr;
}
template <class T> void PoolDelete(T* object) {
    if (object) {
        object->~T();
        ExFreePoolWithTag(object, kPortPoolTag);
    }
}

} // namespace sim::drv
