// "winusb": the generic driver of vendor-specific devices. It configures the device at start; asked for a round
// of every request family (RunFamilyRound), it plays on its own thread every URB function the port driver
// serves against the device (the loopback device's bulk, isochronous and vendor requests among them), the
// internal requests of its device, completion routines with each combination of invoke bits, cancellation
// and device power, and checks that each came back as the device and the port driver answer it.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <functional>
#include <mutex>
#include <string>

#include "platform/sim/PrinterFunction.h"
#include "platform/sim/internal/ClassDevice.h"
#include "platform/sim/internal/ClassDrivers.h"
#include "platform/sim/internal/PowerRequests.h"
#include "platform/sim/internal/UrbRequest.h"
#include "platform/sim/internal/WorkQueue.h"
#include "usbdlib.h"
#include "usbioctl.h"

namespace sim::drv {

namespace {

constexpr UCHAR kEchoOut = 0x01; // the loopback's vendor requests
constexpr UCHAR kEchoIn = 0x02;
constexpr UCHAR kVersion = 0x03;
constexpr ULONG kIsochPacket = 256; // the loopback's isochronous packet size
constexpr ULONG kIsochPackets = 8;

// A deterministic byte pattern of a seed.
void Fill(UCHAR* bytes, size_t size, uint64_t seed) {
    uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
    for (size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 7;
        x ^= x << 17;
        bytes[i] = static_cast<UCHAR>(x);
    }
}

// A URB of the driver's own pool, zeroed, with its header.
PoolBuffer NewUrb(size_t size, USHORT function) {
    PoolBuffer urb(size);
    if (urb) {
        urb.As<URB>()->UrbHeader.Length = static_cast<USHORT>(size);
        urb.As<URB>()->UrbHeader.Function = function;
    }
    return urb;
}

// An MDL over a pool buffer, freed with its owner.
class PoolMdl {
public:
    explicit PoolMdl(const PoolBuffer& buffer) {
        m_mdl = IoAllocateMdl(buffer.Data(), static_cast<ULONG>(buffer.Size()), FALSE, FALSE, nullptr);
        if (m_mdl) {
            MmBuildMdlForNonPagedPool(m_mdl);
        }
    }
    ~PoolMdl() {
        if (m_mdl) {
            IoFreeMdl(m_mdl);
        }
    }
    PoolMdl(const PoolMdl&) = delete;
    PoolMdl& operator=(const PoolMdl&) = delete;
    PMDL Get() const { return m_mdl; }

private:
    PMDL m_mdl = nullptr;
};

// What the caller's completion routine saw: whether it ran, and the IRP's status then.
struct RoutineCall {
    bool called = false;
    NTSTATUS status = STATUS_PENDING;
};

NTSTATUS RecordCall(PDEVICE_OBJECT, PIRP irp, PVOID context) {
    auto* call = static_cast<RoutineCall*>(context);
    call->called = true;
    call->status = irp->IoStatus.Status;
    // The request is the I/O manager's: its processing goes on (the event, then the IRP freed).
    return STATUS_SUCCESS;
}

// One of a flood's requests: an IRP and a URB of the driver's own, sent again and again. A request the stack
// completes before IoCallDriver returns (the loopback answers at once) costs no wait; only one still on its
// way has its completion wake the sender.
class FloodTransfer {
public:
    FloodTransfer(PDEVICE_OBJECT lower, USBD_PIPE_HANDLE pipe, bool in, PoolBuffer& data)
        : m_lower(lower), m_pipe(pipe), m_in(in), m_data(data),
          m_urb(NewUrb(sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER), URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER)),
          m_irp(IoAllocateIrp(lower->StackSize, FALSE)) {
        KeInitializeEvent(&m_event, NotificationEvent, FALSE);
    }
    ~FloodTransfer() {
        if (m_irp) {
            IoFreeIrp(m_irp);
        }
    }
    FloodTransfer(const FloodTransfer&) = delete;
    FloodTransfer& operator=(const FloodTransfer&) = delete;

    bool Valid() const { return m_irp && m_urb; }

    // Sends the transfer and waits for it; the bytes it moved, or -1 when it failed.
    LONG Send() {
        UsbBuildInterruptOrBulkTransferRequest(m_urb.As<URB>(), sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER), m_pipe,
                                               m_data.Data(), nullptr, static_cast<ULONG>(m_data.Size()),
                                               (m_in ? USBD_TRANSFER_DIRECTION_IN : 0) | USBD_SHORT_TRANSFER_OK,
                                               nullptr);
        IoReuseIrp(m_irp, STATUS_NOT_SUPPORTED);
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(m_irp);
        next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
        next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
        next->Parameters.Others.Argument1 = m_urb.Data();
        IoSetCompletionRoutine(m_irp, Completed, this, TRUE, TRUE, TRUE);
        m_state.store(kInFlight, std::memory_order_relaxed);
        IoCallDriver(m_lower, m_irp);
        if (m_state.exchange(kWaiting, std::memory_order_acq_rel) == kInFlight) {
            KeWaitForSingleObject(&m_event, Executive, KernelMode, FALSE, nullptr);
            KeClearEvent(&m_event);
        }
        return NT_SUCCESS(m_irp->IoStatus.Status)
                   ? static_cast<LONG>(m_urb.As<URB>()->UrbBulkOrInterruptTransfer.TransferBufferLength)
                   : -1;
    }

private:
    static constexpr int kInFlight = 0;
    static constexpr int kDone = 1;
    static constexpr int kWaiting = 2;

    static NTSTATUS Completed(PDEVICE_OBJECT, PIRP, PVOID context) {
        auto* transfer = static_cast<FloodTransfer*>(context);
        if (transfer->m_state.exchange(kDone, std::memory_order_acq_rel) == kWaiting) {
            KeSetEvent(&transfer->m_event, IO_NO_INCREMENT, FALSE);
        }
        return STATUS_MORE_PROCESSING_REQUIRED; // the IRP is the driver's
    }

    PDEVICE_OBJECT m_lower;
    USBD_PIPE_HANDLE m_pipe;
    bool m_in;
    PoolBuffer& m_data;
    PoolBuffer m_urb;
    PIRP m_irp;
    KEVENT m_event;
    std::atomic<int> m_state{kDone};
};

class GenericFdo : public UsbClassDevice {
public:
    GenericFdo(PDEVICE_OBJECT self, PDEVICE_OBJECT pdo, PDEVICE_OBJECT lower) : UsbClassDevice(self, pdo, lower) {}

    NTSTATUS Flood(FloodRound& round) {
        if (!m_started) {
            return STATUS_NO_SUCH_DEVICE;
        }
        const Pipes pipes = PipesOf(m_selection.Interface(m_interface));
        const ULONG bytes = std::clamp<ULONG>(round.bytes, 1, 64);
        PoolBuffer out(bytes);
        PoolBuffer in(bytes);
        if (!pipes.bulkIn || !pipes.bulkOut || !out || !in) {
            round.failure = "no bulk pipes or buffers";
            return STATUS_INSUFFICIENT_RESOURCES;
        }
        Fill(out.Data(), out.Size(), round.pairs);
        FloodTransfer write(m_lower, pipes.bulkOut, false, out);
        FloodTransfer read(m_lower, pipes.bulkIn, true, in);
        if (!write.Valid() || !read.Valid()) {
            round.failure = "no requests";
            return STATUS_INSUFFICIENT_RESOURCES;
        }
        for (uint64_t pair = 0; pair < round.pairs; ++pair) {
            const LONG written = write.Send();
            const LONG back = read.Send();
            round.requests += 2;
            if (written != static_cast<LONG>(bytes) || back != static_cast<LONG>(bytes)) {
                round.failure = "a flood transfer did not move its bytes";
                return STATUS_UNSUCCESSFUL;
            }
        }
        // The loop's last pair came back as it went out (the others the device answered the same way).
        if (std::memcmp(out.Data(), in.Data(), bytes) != 0) {
            round.failure = "the flood's data did not come back";
            return STATUS_DATA_ERROR;
        }
        return STATUS_SUCCESS;
    }

    NTSTATUS Run(FamilyRound& round) {
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        if (!m_started || !m_worker.Post([&] {
                Round(round);
                std::lock_guard guard(lock);
                finished = true;
                done.notify_all();
            })) {
            return STATUS_NO_SUCH_DEVICE;
        }
        std::unique_lock guard(lock);
        done.wait(guard, [&] { return finished; });
        return round.failures.empty() ? STATUS_SUCCESS : STATUS_UNSUCCESSFUL;
    }

protected:
    NTSTATUS OnStart() override { return Configure(kAnyClass, true); }
    void OnStop() override { m_worker.Stop(); }

private:
    struct Pipes {
        USBD_PIPE_HANDLE bulkIn = nullptr;
        USBD_PIPE_HANDLE bulkOut = nullptr;
        USBD_PIPE_HANDLE isochIn = nullptr;
        USBD_PIPE_HANDLE isochOut = nullptr;
    };

    void Round(FamilyRound& round);
    void Descriptors();
    void StatusAndFeatures();
    void VendorAndClass();
    void ControlTransfers();
    void Bulk();
    void PipeRequests();
    void Frames();
    void Isochronous();
    void Reserved();
    void Completions();
    void Internal();
    void PowerRequests();

    // Sends a URB and checks how it ended: `urbStatus` USBD_STATUS_SUCCESS means success is wanted.
    bool Expect(PoolBuffer& urb, USBD_STATUS urbStatus, const char* what) {
        ++m_round->requests;
        NTSTATUS status = Client().Submit(urb.As<URB>());
        const USBD_STATUS got = urb.As<URB>()->UrbHeader.Status;
        if (got != urbStatus || NT_SUCCESS(status) != USBD_SUCCESS(urbStatus)) {
            Fail(what, status, got);
            return false;
        }
        return true;
    }
    void Check(bool ok, const std::string& what) {
        if (!ok) {
            m_round->failures.push_back(what);
        }
    }
    void Fail(const char* what, NTSTATUS status, USBD_STATUS urbStatus) {
        char text[160];
        std::snprintf(text, sizeof text, "%s: status %08X, URB status %08X", what, static_cast<unsigned>(status),
                      static_cast<unsigned>(urbStatus));
        m_round->failures.emplace_back(text);
    }
    Pipes PipesOf(const USBD_INTERFACE_INFORMATION* interface) const {
        Pipes pipes;
        for (ULONG i = 0; interface && i < interface->NumberOfPipes; ++i) {
            const USBD_PIPE_INFORMATION& pipe = interface->Pipes[i];
            const bool in = (pipe.EndpointAddress & 0x80) != 0;
            if (pipe.PipeType == UsbdPipeTypeBulk) {
                (in ? pipes.bulkIn : pipes.bulkOut) = pipe.PipeHandle;
            } else if (pipe.PipeType == UsbdPipeTypeIsochronous) {
                (in ? pipes.isochIn : pipes.isochOut) = pipe.PipeHandle;
            }
        }
        return pipes;
    }
    // A bulk transfer from a pool buffer (or its MDL), waited for; the bytes moved.
    ULONG BulkTransfer(USBD_PIPE_HANDLE pipe, bool in, PoolBuffer& data, bool useMdl, const char* what) {
        PoolBuffer urb = NewUrb(sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER), URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER);
        PoolMdl mdl(data);
        UsbBuildInterruptOrBulkTransferRequest(urb.As<URB>(), sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER), pipe,
                                               useMdl ? nullptr : data.Data(), useMdl ? mdl.Get() : nullptr,
                                               static_cast<ULONG>(data.Size()),
                                               (in ? USBD_TRANSFER_DIRECTION_IN : 0) | USBD_SHORT_TRANSFER_OK, nullptr);
        return Expect(urb, USBD_STATUS_SUCCESS, what) ? urb.As<URB>()->UrbBulkOrInterruptTransfer.TransferBufferLength
                                                      : 0;
    }

    FamilyRound* m_round = nullptr;
    SelectedConfiguration m_active;
    Pipes m_pipes;
    WorkQueue m_worker;
};

void GenericFdo::Round(FamilyRound& round) {
    m_round = &round;
    UrbClient client = Client();
    // SELECT_CONFIGURATION: the configuration again, every interface at alternate setting 0.
    ++round.requests;
    Check(NT_SUCCESS(client.SelectConfiguration(m_configuration, {}, m_active)), "SELECT_CONFIGURATION");
    m_pipes = PipesOf(m_active.Interface(m_interface));
    Check(m_pipes.bulkIn && m_pipes.bulkOut, "bulk pipes after SELECT_CONFIGURATION");
    if (!round.failures.empty()) {
        return;
    }
    Descriptors();
    StatusAndFeatures();
    VendorAndClass();
    ControlTransfers();
    Bulk();
    PipeRequests();
    Frames();
    Isochronous();
    Reserved();
    Completions();
    Internal();
    PowerRequests();
    // Unconfigured, then configured again as the driver keeps the device.
    ++round.requests;
    Check(NT_SUCCESS(client.Unconfigure()), "SELECT_CONFIGURATION without a descriptor (unconfigure)");
    ++round.requests;
    Check(NT_SUCCESS(client.SelectConfiguration(m_configuration, {}, m_selection)), "SELECT_CONFIGURATION again");
    m_round = nullptr;
}

void GenericFdo::Descriptors() {
    // The device descriptor (with the synchronous flag bit on the function), the configuration, strings.
    PoolBuffer device(18);
    PoolBuffer urb = NewUrb(sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE);
    UsbBuildGetDescriptorRequest(urb.As<URB>(), sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), USB_DEVICE_DESCRIPTOR_TYPE, 0,
                                 0, device.Data(), nullptr, 18, nullptr);
    urb.As<URB>()->UrbHeader.Function |= URB_FUNCTION_SUBMIT_SYNCHRONOUS;
    if (Expect(urb, USBD_STATUS_SUCCESS, "GET_DESCRIPTOR_FROM_DEVICE (device, synchronous flag)")) {
        Check(device.Data()[0] == 18 && device.Data()[1] == USB_DEVICE_DESCRIPTOR_TYPE &&
                  std::memcmp(device.Data(), &m_device, 18) == 0,
              "device descriptor");
    }
    PoolBuffer configuration(m_configuration.size());
    PoolMdl configurationMdl(configuration);
    urb = NewUrb(sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE);
    UsbBuildGetDescriptorRequest(urb.As<URB>(), sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST),
                                 USB_CONFIGURATION_DESCRIPTOR_TYPE, 0, 0, nullptr, configurationMdl.Get(),
                                 static_cast<ULONG>(configuration.Size()), nullptr);
    if (Expect(urb, USBD_STATUS_SUCCESS, "GET_DESCRIPTOR_FROM_DEVICE (configuration, by MDL)")) {
        Check(std::equal(m_configuration.begin(), m_configuration.end(), configuration.Data()),
              "configuration descriptor");
    }
    PoolBuffer text(255);
    urb = NewUrb(sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE);
    UsbBuildGetDescriptorRequest(urb.As<URB>(), sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), USB_STRING_DESCRIPTOR_TYPE,
                                 m_device.iProduct, 0x0409, text.Data(), nullptr, 255, nullptr);
    if (Expect(urb, USBD_STATUS_SUCCESS, "GET_DESCRIPTOR_FROM_DEVICE (product string)")) {
        Check(text.Data()[1] == USB_STRING_DESCRIPTOR_TYPE &&
                  urb.As<URB>()->UrbControlDescriptorRequest.TransferBufferLength == text.Data()[0],
              "product string descriptor");
    }
    // Descriptors of an endpoint or the interface the device has none of; SET_DESCRIPTOR it does not take.
    const struct {
        USHORT function;
        const char* what;
    } stalled[] = {
        {URB_FUNCTION_GET_DESCRIPTOR_FROM_ENDPOINT, "GET_DESCRIPTOR_FROM_ENDPOINT"},
        {URB_FUNCTION_GET_DESCRIPTOR_FROM_INTERFACE, "GET_DESCRIPTOR_FROM_INTERFACE"},
        {URB_FUNCTION_SET_DESCRIPTOR_TO_DEVICE, "SET_DESCRIPTOR_TO_DEVICE"},
        {URB_FUNCTION_SET_DESCRIPTOR_TO_ENDPOINT, "SET_DESCRIPTOR_TO_ENDPOINT"},
        {URB_FUNCTION_SET_DESCRIPTOR_TO_INTERFACE, "SET_DESCRIPTOR_TO_INTERFACE"},
    };
    for (const auto& request : stalled) {
        urb = NewUrb(sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST), request.function);
        const bool set = request.function == URB_FUNCTION_SET_DESCRIPTOR_TO_DEVICE ||
                         request.function == URB_FUNCTION_SET_DESCRIPTOR_TO_ENDPOINT ||
                         request.function == URB_FUNCTION_SET_DESCRIPTOR_TO_INTERFACE;
        UsbBuildGetDescriptorRequest(urb.As<URB>(), sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST),
                                     set ? USB_STRING_DESCRIPTOR_TYPE : USB_ENDPOINT_DESCRIPTOR_TYPE, set ? 5 : 0, 0,
                                     text.Data(), nullptr, set ? 8 : 7, nullptr);
        urb.As<URB>()->UrbHeader.Function = request.function;
        Expect(urb, USBD_STATUS_STALL_PID, request.what);
    }
    // The Microsoft OS descriptor: the extended compatible ID names this driver.
    PoolBuffer compatible(40);
    urb = NewUrb(sizeof(_URB_OS_FEATURE_DESCRIPTOR_REQUEST), URB_FUNCTION_GET_MS_FEATURE_DESCRIPTOR);
    UsbBuildOsFeatureDescriptorRequest(urb.As<URB>(), sizeof(_URB_OS_FEATURE_DESCRIPTOR_REQUEST), 0, 4,
                                       compatible.Data(), nullptr, 40, nullptr);
    if (Expect(urb, USBD_STATUS_SUCCESS, "GET_MS_FEATURE_DESCRIPTOR")) {
        Check(std::memcmp(compatible.Data() + 18, "WINUSB", 6) == 0, "extended compatible ID");
    }
}

void GenericFdo::StatusAndFeatures() {
    PoolBuffer word(2);
    const struct {
        USHORT function;
        USHORT index;
        const char* what;
    } statuses[] = {
        {URB_FUNCTION_GET_STATUS_FROM_DEVICE, 0, "GET_STATUS_FROM_DEVICE"},
        {URB_FUNCTION_GET_STATUS_FROM_INTERFACE, m_interface, "GET_STATUS_FROM_INTERFACE"},
        {URB_FUNCTION_GET_STATUS_FROM_ENDPOINT, 0x81, "GET_STATUS_FROM_ENDPOINT"},
    };
    for (const auto& request : statuses) {
        PoolBuffer urb = NewUrb(sizeof(_URB_CONTROL_GET_STATUS_REQUEST), request.function);
        UsbBuildGetStatusRequest(urb.As<URB>(), request.function, request.index, word.Data(), nullptr, nullptr);
        Expect(urb, USBD_STATUS_SUCCESS, request.what);
    }
    PoolBuffer other = NewUrb(sizeof(_URB_CONTROL_GET_STATUS_REQUEST), URB_FUNCTION_GET_STATUS_FROM_OTHER);
    UsbBuildGetStatusRequest(other.As<URB>(), URB_FUNCTION_GET_STATUS_FROM_OTHER, 1, word.Data(), nullptr, nullptr);
    Expect(other, USBD_STATUS_STALL_PID, "GET_STATUS_FROM_OTHER (not a hub)");

    // Halting the bulk IN endpoint shows in its status; clearing the halt takes it away.
    auto feature = [&](USHORT function, USHORT selector, USHORT index, USBD_STATUS wanted, const char* what) {
        PoolBuffer urb = NewUrb(sizeof(_URB_CONTROL_FEATURE_REQUEST), function);
        UsbBuildFeatureRequest(urb.As<URB>(), function, selector, index, nullptr);
        Expect(urb, wanted, what);
    };
    auto endpointHalted = [&] {
        PoolBuffer urb = NewUrb(sizeof(_URB_CONTROL_GET_STATUS_REQUEST), URB_FUNCTION_GET_STATUS_FROM_ENDPOINT);
        UsbBuildGetStatusRequest(urb.As<URB>(), URB_FUNCTION_GET_STATUS_FROM_ENDPOINT, 0x81, word.Data(), nullptr,
                                 nullptr);
        return Expect(urb, USBD_STATUS_SUCCESS, "GET_STATUS_FROM_ENDPOINT") && (word.Data()[0] & 1);
    };
    feature(URB_FUNCTION_SET_FEATURE_TO_ENDPOINT, USB_FEATURE_ENDPOINT_STALL, 0x81, USBD_STATUS_SUCCESS,
            "SET_FEATURE_TO_ENDPOINT (halt)");
    Check(endpointHalted(), "a halted endpoint reports its halt");
    feature(URB_FUNCTION_CLEAR_FEATURE_TO_ENDPOINT, USB_FEATURE_ENDPOINT_STALL, 0x81, USBD_STATUS_SUCCESS,
            "CLEAR_FEATURE_TO_ENDPOINT (halt)");
    Check(!endpointHalted(), "a cleared endpoint is not halted");
    feature(URB_FUNCTION_SET_FEATURE_TO_DEVICE, USB_FEATURE_REMOTE_WAKEUP, 0, USBD_STATUS_SUCCESS,
            "SET_FEATURE_TO_DEVICE (remote wakeup)");
    feature(URB_FUNCTION_CLEAR_FEATURE_TO_DEVICE, USB_FEATURE_REMOTE_WAKEUP, 0, USBD_STATUS_SUCCESS,
            "CLEAR_FEATURE_TO_DEVICE (remote wakeup)");
    feature(URB_FUNCTION_SET_FEATURE_TO_INTERFACE, 0, m_interface, USBD_STATUS_SUCCESS, "SET_FEATURE_TO_INTERFACE");
    feature(URB_FUNCTION_CLEAR_FEATURE_TO_INTERFACE, 0, m_interface, USBD_STATUS_SUCCESS, "CLEAR_FEATURE_TO_INTERFACE");
    feature(URB_FUNCTION_SET_FEATURE_TO_OTHER, 0, 1, USBD_STATUS_STALL_PID, "SET_FEATURE_TO_OTHER (not a hub)");
    feature(URB_FUNCTION_CLEAR_FEATURE_TO_OTHER, 0, 1, USBD_STATUS_STALL_PID, "CLEAR_FEATURE_TO_OTHER (not a hub)");

    PoolBuffer value(1);
    PoolBuffer urb = NewUrb(sizeof(_URB_CONTROL_GET_CONFIGURATION_REQUEST), URB_FUNCTION_GET_CONFIGURATION);
    urb.As<URB>()->UrbControlGetConfigurationRequest.TransferBuffer = value.Data();
    urb.As<URB>()->UrbControlGetConfigurationRequest.TransferBufferLength = 1;
    if (Expect(urb, USBD_STATUS_SUCCESS, "GET_CONFIGURATION")) {
        Check(value.Data()[0] == m_configuration[5], "the configuration value");
    }
    urb = NewUrb(sizeof(_URB_CONTROL_GET_INTERFACE_REQUEST), URB_FUNCTION_GET_INTERFACE);
    urb.As<URB>()->UrbControlGetInterfaceRequest.TransferBuffer = value.Data();
    urb.As<URB>()->UrbControlGetInterfaceRequest.TransferBufferLength = 1;
    urb.As<URB>()->UrbControlGetInterfaceRequest.Interface = m_interface;
    if (Expect(urb, USBD_STATUS_SUCCESS, "GET_INTERFACE")) {
        Check(value.Data()[0] == 0, "alternate setting 0");
    }
}

void GenericFdo::VendorAndClass() {
    // The loopback keeps what vendor request 0x01 sends and gives it back with 0x02.
    PoolBuffer sent(16);
    Fill(sent.Data(), sent.Size(), m_round->seed);
    PoolBuffer urb = NewUrb(sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST), URB_FUNCTION_VENDOR_INTERFACE);
    UsbBuildVendorRequest(urb.As<URB>(), URB_FUNCTION_VENDOR_INTERFACE, sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST),
                          USBD_TRANSFER_DIRECTION_OUT, 0, kEchoOut, 0, m_interface, sent.Data(), nullptr, 16, nullptr);
    Expect(urb, USBD_STATUS_SUCCESS, "VENDOR_INTERFACE (out)");
    PoolBuffer back(64);
    PoolMdl backMdl(back);
    urb = NewUrb(sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST), URB_FUNCTION_VENDOR_INTERFACE);
    UsbBuildVendorRequest(urb.As<URB>(), URB_FUNCTION_VENDOR_INTERFACE, sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST),
                          USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK, 0, kEchoIn, 0, m_interface, nullptr,
                          backMdl.Get(), 64, nullptr);
    if (Expect(urb, USBD_STATUS_SUCCESS, "VENDOR_INTERFACE (in, by MDL)")) {
        Check(urb.As<URB>()->UrbControlVendorClassRequest.TransferBufferLength == 16 &&
                  std::memcmp(back.Data(), sent.Data(), 16) == 0,
              "vendor data comes back");
    }
    PoolBuffer version(2);
    urb = NewUrb(sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST), URB_FUNCTION_VENDOR_ENDPOINT);
    UsbBuildVendorRequest(urb.As<URB>(), URB_FUNCTION_VENDOR_ENDPOINT, sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST),
                          USBD_TRANSFER_DIRECTION_IN, 0, kVersion, 0, 0x81, version.Data(), nullptr, 2, nullptr);
    if (Expect(urb, USBD_STATUS_SUCCESS, "VENDOR_ENDPOINT")) {
        Check(ReadU16(version.Data()) == LoopbackFunction::kFirmwareVersion, "firmware version");
    }
    // Requests no part of the device answers.
    const struct {
        USHORT function;
        const char* what;
    } stalled[] = {
        {URB_FUNCTION_VENDOR_DEVICE, "VENDOR_DEVICE"},   {URB_FUNCTION_VENDOR_OTHER, "VENDOR_OTHER"},
        {URB_FUNCTION_CLASS_DEVICE, "CLASS_DEVICE"},     {URB_FUNCTION_CLASS_INTERFACE, "CLASS_INTERFACE"},
        {URB_FUNCTION_CLASS_ENDPOINT, "CLASS_ENDPOINT"}, {URB_FUNCTION_CLASS_OTHER, "CLASS_OTHER"},
    };
    for (const auto& request : stalled) {
        urb = NewUrb(sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST), request.function);
        const USHORT index = request.function == URB_FUNCTION_CLASS_ENDPOINT ? 0x81 : m_interface;
        UsbBuildVendorRequest(urb.As<URB>(), request.function, sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST),
                              USBD_TRANSFER_DIRECTION_IN, 0, 0x7F, 0, index, version.Data(), nullptr, 2, nullptr);
        Expect(urb, USBD_STATUS_STALL_PID, request.what);
    }
}

void GenericFdo::ControlTransfers() {
    // The vendor request by its setup packet on the default pipe, and GET_DESCRIPTOR the same way into an MDL.
    PoolBuffer version(2);
    PoolBuffer urb = NewUrb(sizeof(_URB_CONTROL_TRANSFER), URB_FUNCTION_CONTROL_TRANSFER);
    auto& control = urb.As<URB>()->UrbControlTransfer;
    control.TransferFlags = USBD_TRANSFER_DIRECTION_IN | USBD_DEFAULT_PIPE_TRANSFER;
    control.TransferBuffer = version.Data();
    control.TransferBufferLength = 2;
    const UCHAR vendor[8] = {0xC1, kVersion, 0, 0, static_cast<UCHAR>(m_interface), 0, 2, 0};
    std::memcpy(control.SetupPacket, vendor, 8);
    if (Expect(urb, USBD_STATUS_SUCCESS, "CONTROL_TRANSFER (vendor, buffer)")) {
        Check(ReadU16(version.Data()) == LoopbackFunction::kFirmwareVersion, "firmware version by setup packet");
    }
    PoolBuffer device(18);
    PoolMdl deviceMdl(device);
    urb = NewUrb(sizeof(_URB_CONTROL_TRANSFER), URB_FUNCTION_CONTROL_TRANSFER);
    auto& described = urb.As<URB>()->UrbControlTransfer;
    described.TransferFlags = USBD_TRANSFER_DIRECTION_IN | USBD_DEFAULT_PIPE_TRANSFER;
    described.TransferBufferMDL = deviceMdl.Get();
    described.TransferBufferLength = 18;
    const UCHAR getDevice[8] = {0x80, USB_REQUEST_GET_DESCRIPTOR, 0, USB_DEVICE_DESCRIPTOR_TYPE, 0, 0, 18, 0};
    std::memcpy(described.SetupPacket, getDevice, 8);
    if (Expect(urb, USBD_STATUS_SUCCESS, "CONTROL_TRANSFER (GET_DESCRIPTOR, by MDL)")) {
        Check(std::memcmp(device.Data(), &m_device, 18) == 0, "device descriptor by setup packet");
    }
    urb = NewUrb(sizeof(_URB_CONTROL_TRANSFER_EX), URB_FUNCTION_CONTROL_TRANSFER_EX);
    auto& extended = urb.As<URB>()->UrbControlTransferEx;
    extended.TransferFlags = USBD_TRANSFER_DIRECTION_IN | USBD_DEFAULT_PIPE_TRANSFER;
    extended.TransferBuffer = version.Data();
    extended.TransferBufferLength = 2;
    extended.Timeout = 5000;
    std::memcpy(extended.SetupPacket, vendor, 8);
    Expect(urb, USBD_STATUS_SUCCESS, "CONTROL_TRANSFER_EX (vendor, 5 s time-out)");
}

void GenericFdo::Bulk() {
    // Out and back in, first from plain buffers, then a large transfer described by MDLs.
    PoolBuffer small(64);
    Fill(small.Data(), small.Size(), m_round->seed + 1);
    BulkTransfer(m_pipes.bulkOut, false, small, false, "BULK_OR_INTERRUPT_TRANSFER (out, buffer)");
    PoolBuffer echo(64);
    Check(BulkTransfer(m_pipes.bulkIn, true, echo, false, "BULK_OR_INTERRUPT_TRANSFER (in, buffer)") == 64 &&
              std::memcmp(echo.Data(), small.Data(), 64) == 0,
          "bulk data comes back");
    PoolBuffer large(m_round->bulkBytes);
    Fill(large.Data(), large.Size(), m_round->seed + 2);
    BulkTransfer(m_pipes.bulkOut, false, large, true, "BULK_OR_INTERRUPT_TRANSFER (out, MDL)");
    PoolBuffer back(m_round->bulkBytes);
    Check(BulkTransfer(m_pipes.bulkIn, true, back, true, "BULK_OR_INTERRUPT_TRANSFER (in, MDL)") ==
                  m_round->bulkBytes &&
              std::memcmp(back.Data(), large.Data(), large.Size()) == 0,
          "large bulk data comes back");
}

void GenericFdo::PipeRequests() {
    // A read the device has nothing for waits; ABORT_PIPE ends it, and so does a cancellation.
    auto pendingRead = [&](const char* what, const std::function<void(UrbRequest&)>& end) {
        UrbRequest read(m_lower, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER), 64);
        if (!read.Valid()) {
            Check(false, std::string(what) + ": no request");
            return;
        }
        UsbBuildInterruptOrBulkTransferRequest(read.Urb(), read.UrbSize(), m_pipes.bulkIn, read.Buffer(), nullptr, 64,
                                               USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK, nullptr);
        NTSTATUS final = STATUS_PENDING;
        ++m_round->requests;
        const NTSTATUS sent = read.Post([&final](UrbRequest&, NTSTATUS status) { final = status; });
        Check(sent == STATUS_PENDING && read.InFlight(), std::string(what) + ": the read waits");
        end(read);
        read.Wait();
        Check(final == STATUS_CANCELLED && read.Urb()->UrbHeader.Status == USBD_STATUS_CANCELED,
              std::string(what) + ": the read ends cancelled");
    };
    pendingRead("ABORT_PIPE", [&](UrbRequest&) {
        PoolBuffer abort = NewUrb(sizeof(_URB_PIPE_REQUEST), URB_FUNCTION_ABORT_PIPE);
        abort.As<URB>()->UrbPipeRequest.PipeHandle = m_pipes.bulkIn;
        Expect(abort, USBD_STATUS_SUCCESS, "ABORT_PIPE");
    });
    pendingRead("cancellation", [](UrbRequest& read) { read.Cancel(); });

    const struct {
        USHORT function;
        const char* what;
    } resets[] = {
        {URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL, "SYNC_RESET_PIPE_AND_CLEAR_STALL"},
        {URB_FUNCTION_SYNC_RESET_PIPE, "SYNC_RESET_PIPE"},
        {URB_FUNCTION_SYNC_CLEAR_STALL, "SYNC_CLEAR_STALL"},
    };
    for (const auto& reset : resets) {
        PoolBuffer urb = NewUrb(sizeof(_URB_PIPE_REQUEST), reset.function);
        urb.As<URB>()->UrbPipeRequest.PipeHandle = m_pipes.bulkIn;
        Expect(urb, USBD_STATUS_SUCCESS, reset.what);
    }

    PoolBuffer set = NewUrb(sizeof(_URB_PIPE_IO_POLICY), URB_FUNCTION_SET_PIPE_IO_POLICY);
    auto& policy = set.As<URB>()->UrbPipeIoPolicy;
    policy.PipeHandle = m_pipes.bulkOut;
    policy.UsbIoPriority = 2;
    policy.UsbMaxPendingIrps = 4;
    policy.UsbMaxControllerTransfer = 64 * 1024;
    Expect(set, USBD_STATUS_SUCCESS, "SET_PIPE_IO_POLICY");
    PoolBuffer get = NewUrb(sizeof(_URB_PIPE_IO_POLICY), URB_FUNCTION_GET_PIPE_IO_POLICY);
    get.As<URB>()->UrbPipeIoPolicy.PipeHandle = m_pipes.bulkOut;
    if (Expect(get, USBD_STATUS_SUCCESS, "GET_PIPE_IO_POLICY")) {
        const auto& got = get.As<URB>()->UrbPipeIoPolicy;
        Check(got.UsbIoPriority == 2 && got.UsbMaxPendingIrps == 4 && got.UsbMaxControllerTransfer == 64 * 1024,
              "the pipe keeps its policy");
    }
}

void GenericFdo::Frames() {
    PoolBuffer current = NewUrb(sizeof(_URB_GET_CURRENT_FRAME_NUMBER), URB_FUNCTION_GET_CURRENT_FRAME_NUMBER);
    Expect(current, USBD_STATUS_SUCCESS, "GET_CURRENT_FRAME_NUMBER");
    PoolBuffer take = NewUrb(sizeof(_URB_FRAME_LENGTH_CONTROL), URB_FUNCTION_TAKE_FRAME_LENGTH_CONTROL);
    if (!Expect(take, USBD_STATUS_SUCCESS, "TAKE_FRAME_LENGTH_CONTROL")) {
        return;
    }
    auto frameLength = [&] {
        PoolBuffer get = NewUrb(sizeof(_URB_GET_FRAME_LENGTH), URB_FUNCTION_GET_FRAME_LENGTH);
        return Expect(get, USBD_STATUS_SUCCESS, "GET_FRAME_LENGTH") ? get.As<URB>()->UrbGetFrameLength.FrameLength : 0;
    };
    const ULONG before = frameLength();
    for (LONG delta : {1, -1}) {
        PoolBuffer set = NewUrb(sizeof(_URB_SET_FRAME_LENGTH), URB_FUNCTION_SET_FRAME_LENGTH);
        set.As<URB>()->UrbSetFrameLength.FrameLengthDelta = delta;
        Expect(set, USBD_STATUS_SUCCESS, "SET_FRAME_LENGTH");
        if (delta > 0) {
            Check(frameLength() == before + 1, "the frame one bit time longer");
        }
    }
    PoolBuffer release = NewUrb(sizeof(_URB_FRAME_LENGTH_CONTROL), URB_FUNCTION_RELEASE_FRAME_LENGTH_CONTROL);
    Expect(release, USBD_STATUS_SUCCESS, "RELEASE_FRAME_LENGTH_CONTROL");
    release = NewUrb(sizeof(_URB_FRAME_LENGTH_CONTROL), URB_FUNCTION_RELEASE_FRAME_LENGTH_CONTROL);
    Expect(release, USBD_STATUS_FRAME_CONTROL_NOT_OWNED, "RELEASE_FRAME_LENGTH_CONTROL (not owned)");
}

void GenericFdo::Isochronous() {
    // Alternate setting 1 has the isochronous pair.
    const UCHAR alternate = 1;
    const USHORT size = static_cast<USHORT>(GET_SELECT_INTERFACE_REQUEST_SIZE(4));
    PoolBuffer select(size);
    UsbBuildSelectInterfaceRequest(select.As<URB>(), size, m_active.handle, m_interface, alternate);
    if (!Expect(select, USBD_STATUS_SUCCESS, "SELECT_INTERFACE (alternate setting 1)")) {
        return;
    }
    const Pipes pipes = PipesOf(&select.As<URB>()->UrbSelectInterface.Interface);
    Check(pipes.isochIn && pipes.isochOut, "isochronous pipes of alternate setting 1");
    if (pipes.isochIn && pipes.isochOut) {
        const ULONG packets = kIsochPackets;
        const USHORT urbSize = static_cast<USHORT>(GET_ISO_URB_SIZE(packets));
        // Out: packets of growing lengths, as soon as the controller can; in: the same packets, each as long as
        // it went out, but those the device failed.
        PoolBuffer out(kIsochPacket * packets);
        Fill(out.Data(), out.Size(), m_round->seed + 3);
        PoolBuffer urb = NewUrb(urbSize, URB_FUNCTION_ISOCH_TRANSFER);
        auto& send = urb.As<URB>()->UrbIsochronousTransfer;
        send.PipeHandle = pipes.isochOut;
        send.TransferFlags = USBD_TRANSFER_DIRECTION_OUT | USBD_START_ISO_TRANSFER_ASAP;
        send.NumberOfPackets = packets;
        ULONG offset = 0;
        for (ULONG i = 0; i < packets; ++i) {
            send.IsoPacket[i].Offset = offset;
            offset += 32 * (i + 1);
        }
        send.TransferBuffer = out.Data();
        send.TransferBufferLength = offset;
        Expect(urb, USBD_STATUS_SUCCESS, "ISOCH_TRANSFER (out)");
        Check(send.ErrorCount == 0, "isochronous out without errors");

        PoolBuffer in(kIsochPacket * packets);
        PoolMdl inMdl(in);
        PoolBuffer receive = NewUrb(urbSize, URB_FUNCTION_ISOCH_TRANSFER);
        auto& read = receive.As<URB>()->UrbIsochronousTransfer;
        read.PipeHandle = pipes.isochIn;
        read.TransferFlags = USBD_TRANSFER_DIRECTION_IN | USBD_START_ISO_TRANSFER_ASAP;
        read.NumberOfPackets = packets;
        for (ULONG i = 0; i < packets; ++i) {
            read.IsoPacket[i].Offset = i * kIsochPacket;
        }
        read.TransferBufferMDL = inMdl.Get();
        read.TransferBufferLength = kIsochPacket * packets;
        const USBD_STATUS wanted =
            m_round->isochErrors >= packets ? USBD_STATUS_ISOCH_REQUEST_FAILED : USBD_STATUS_SUCCESS;
        Expect(receive, wanted, "ISOCH_TRANSFER (in, by MDL)");
        m_round->isochErrorCount = read.ErrorCount;
        m_round->isochStartFrame = read.StartFrame;
        for (ULONG i = 0; i < packets; ++i) {
            m_round->isochLengths.push_back(read.IsoPacket[i].Length);
            m_round->isochStatuses.push_back(read.IsoPacket[i].Status);
        }
        Check(read.ErrorCount == std::min(m_round->isochErrors, packets), "isochronous errors as the device made them");
        offset = 0;
        for (ULONG i = 0; i < packets; ++i) {
            const ULONG length = 32 * (i + 1);
            if (i >= m_round->isochErrors) {
                Check(read.IsoPacket[i].Length == length &&
                          std::memcmp(in.Data() + i * kIsochPacket, out.Data() + offset, length) == 0,
                      "isochronous packet " + std::to_string(i) + " as it went out");
            }
            offset += length;
        }
    }
    UsbBuildSelectInterfaceRequest(select.As<URB>(), size, m_active.handle, m_interface, 0);
    if (Expect(select, USBD_STATUS_SUCCESS, "SELECT_INTERFACE (alternate setting 0)")) {
        m_pipes = PipesOf(&select.As<URB>()->UrbSelectInterface.Interface);
    }
}

void GenericFdo::Reserved() {
    // Functions without a request behind them: the port driver refuses them.
    for (USHORT function :
         {USHORT{0x16}, USHORT{0x1D}, USHORT{0x2B}, USHORT{0x2C}, USHORT{0x2D}, USHORT{0x2E}, USHORT{0x2F}}) {
        PoolBuffer urb = NewUrb(sizeof(_URB_HEADER) + 16, function);
        Expect(urb, USBD_STATUS_INVALID_URB_FUNCTION, "a reserved URB function");
    }
}

void GenericFdo::Completions() {
    // The caller's completion routine runs when its invoke bits match the outcome: success, an error (a
    // descriptor the device lacks), or a cancellation (a read that waits, cancelled).
    enum class Outcome { Success, Error, Cancel };
    for (Outcome outcome : {Outcome::Success, Outcome::Error, Outcome::Cancel}) {
        for (int bits = 0; bits < 8; ++bits) {
            const bool onSuccess = bits & 1, onError = bits & 2, onCancel = bits & 4;
            PoolBuffer data(64);
            PoolBuffer urb(sizeof(URB));
            if (outcome == Outcome::Cancel) {
                UsbBuildInterruptOrBulkTransferRequest(urb.As<URB>(), sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER),
                                                       m_pipes.bulkIn, data.Data(), nullptr, 64,
                                                       USBD_TRANSFER_DIRECTION_IN | USBD_SHORT_TRANSFER_OK, nullptr);
            } else {
                UsbBuildGetDescriptorRequest(urb.As<URB>(), sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST),
                                             outcome == Outcome::Success ? USB_DEVICE_DESCRIPTOR_TYPE
                                                                         : USB_BOS_DESCRIPTOR_TYPE,
                                             0, 0, data.Data(), nullptr, 18, nullptr);
            }
            KEVENT event;
            KeInitializeEvent(&event, NotificationEvent, FALSE);
            IO_STATUS_BLOCK ioStatus{};
            PIRP irp = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_USB_SUBMIT_URB, m_lower, nullptr, 0, nullptr, 0,
                                                     TRUE, &event, &ioStatus);
            if (!irp) {
                Check(false, "no IRP for a completion routine");
                continue;
            }
            IoGetNextIrpStackLocation(irp)->Parameters.Others.Argument1 = urb.Data();
            RoutineCall call;
            IoSetCompletionRoutine(irp, RecordCall, &call, onSuccess, onError, onCancel);
            ++m_round->requests;
            NTSTATUS status = IoCallDriver(m_lower, irp);
            if (outcome == Outcome::Cancel) {
                Check(status == STATUS_PENDING, "the read to cancel waits");
                IoCancelIrp(irp);
            }
            KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
            const bool wanted = (outcome == Outcome::Success && onSuccess) ||
                                (outcome != Outcome::Success && onError) || (outcome == Outcome::Cancel && onCancel);
            ++m_round->completionChecks;
            Check(call.called == wanted && (!call.called || call.status == ioStatus.Status),
                  "completion routine with invoke bits " + std::to_string(bits) + " for outcome " +
                      std::to_string(static_cast<int>(outcome)));
        }
    }
}

void GenericFdo::Internal() {
    // The internal requests of a device's driver, each with its arguments in the driver's own pool.
    PoolBuffer arguments(64);
    auto* pointers = arguments.As<PVOID>();
    auto send = [&](ULONG code, PVOID a1, PVOID a2, const char* what, bool succeeds = true) {
        ++m_round->requests;
        NTSTATUS status = SendInternalIoctl(m_lower, code, a1, a2);
        Check(NT_SUCCESS(status) == succeeds, std::string(what) + (succeeds ? " succeeds" : " is refused"));
        return status;
    };
    send(IOCTL_INTERNAL_USB_GET_ROOTHUB_PDO, &pointers[0], &pointers[1], "GET_ROOTHUB_PDO");
    Check(pointers[0] && pointers[1], "root hub and controller device objects");
    auto* port = reinterpret_cast<ULONG*>(&pointers[2]);
    send(IOCTL_INTERNAL_USB_GET_PORT_STATUS, port, nullptr, "GET_PORT_STATUS");
    Check(*port == (USBD_PORT_ENABLED | USBD_PORT_CONNECTED), "the port is enabled and connected");
    auto* hubs = reinterpret_cast<ULONG*>(&pointers[3]);
    *hubs = 0;
    send(IOCTL_INTERNAL_USB_GET_HUB_COUNT, hubs, nullptr, "GET_HUB_COUNT");
    send(IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE, &pointers[4], nullptr, "GET_DEVICE_HANDLE");
    send(IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE_EX, &pointers[5], &pointers[6], "GET_DEVICE_HANDLE_EX");
    Check(pointers[4] && pointers[4] == pointers[5], "the device's handle, twice");
    send(IOCTL_INTERNAL_USB_GET_TT_DEVICE_HANDLE, &pointers[7], nullptr, "GET_TT_DEVICE_HANDLE");
    PoolBuffer topology(sizeof(USB_TOPOLOGY_ADDRESS));
    send(IOCTL_INTERNAL_USB_GET_TOPOLOGY_ADDRESS, topology.Data(), nullptr, "GET_TOPOLOGY_ADDRESS");
    Check(topology.As<USB_TOPOLOGY_ADDRESS>()->RootHubPortNumber != 0, "a root port in the topology address");
    PoolBuffer parent(24);
    ++m_round->requests;
    NTSTATUS status = SendInternalIoctl(m_lower, IOCTL_INTERNAL_USB_GET_PARENT_HUB_INFO, parent.Data(),
                                        parent.Data() + 8, parent.Data() + 16);
    Check(NT_SUCCESS(status) && *parent.As<PVOID>(), "GET_PARENT_HUB_INFO names the hub");
    PoolBuffer config(sizeof(HUB_DEVICE_CONFIG_INFO));
    auto* info = config.As<HUB_DEVICE_CONFIG_INFO>();
    info->Version = 1;
    info->Length = sizeof(HUB_DEVICE_CONFIG_INFO);
    if (NT_SUCCESS(send(IOCTL_INTERNAL_USB_GET_DEVICE_CONFIG_INFO, info, nullptr, "GET_DEVICE_CONFIG_INFO"))) {
        Check(info->HardwareIds.Buffer && info->HardwareIds.LengthInBytes > 4, "hardware IDs from the hub");
        for (USB_ID_STRING* id : {&info->HardwareIds, &info->CompatibleIds, &info->DeviceDescription}) {
            if (id->Buffer) {
                ExFreePool(id->Buffer);
            }
        }
    }
    PoolBuffer name(256);
    ULONG_PTR got = 0;
    ++m_round->requests;
    // The controller's name comes back in the caller's USB_HUB_NAME (Argument1) of the size in Argument2.
    Check(NT_SUCCESS(SendInternalIoctl(m_lower, IOCTL_INTERNAL_USB_GET_CONTROLLER_NAME, name.Data(),
                                       reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(256)))) &&
              name.As<USB_HUB_NAME>()->ActualLength > sizeof(ULONG),
          "GET_CONTROLLER_NAME");
    ++m_round->requests;
    Check(NT_SUCCESS(SendBufferedInternalIoctl(m_lower, IOCTL_INTERNAL_USB_GET_BUS_INFO, name.Data(), 0,
                                               sizeof(USB_BUS_NOTIFICATION), &got)),
          "GET_BUS_INFO");
    ++m_round->requests;
    Check(!NT_SUCCESS(SendBufferedInternalIoctl(m_lower, IOCTL_INTERNAL_USB_GET_HUB_NAME, name.Data(), 256, 256, &got)),
          "GET_HUB_NAME of a device that is no hub is refused");
    send(IOCTL_INTERNAL_USB_RESET_PORT, nullptr, nullptr, "RESET_PORT");
    send(IOCTL_INTERNAL_USB_ENABLE_PORT, nullptr, nullptr, "ENABLE_PORT");
    send(IOCTL_INTERNAL_USB_NOTIFY_IDLE_READY, nullptr, nullptr, "NOTIFY_IDLE_READY");
    send(IOCTL_INTERNAL_USB_REQ_GLOBAL_SUSPEND, nullptr, nullptr, "REQ_GLOBAL_SUSPEND");
    send(IOCTL_INTERNAL_USB_REQ_GLOBAL_RESUME, nullptr, nullptr, "REQ_GLOBAL_RESUME");
    PoolBuffer failure(sizeof(USB_START_FAILDATA));
    failure.As<USB_START_FAILDATA>()->LengthInBytes = sizeof(USB_START_FAILDATA);
    send(IOCTL_INTERNAL_USB_RECORD_FAILURE, failure.Data(), nullptr, "RECORD_FAILURE");

    // Idle notification: the hub calls back on its own thread; the driver then takes its request back.
    struct Idle {
        std::mutex lock;
        std::condition_variable called;
        bool wasCalled = false;
    } idle;
    PoolBuffer callback(sizeof(USB_IDLE_CALLBACK_INFO));
    callback.As<USB_IDLE_CALLBACK_INFO>()->IdleCallback = [](PVOID context) {
        auto* state = static_cast<Idle*>(context);
        std::lock_guard guard(state->lock);
        state->wasCalled = true;
        state->called.notify_all();
    };
    callback.As<USB_IDLE_CALLBACK_INFO>()->IdleContext = &idle;
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus{};
    PIRP irp = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION, m_lower, callback.Data(),
                                             sizeof(USB_IDLE_CALLBACK_INFO), nullptr, 0, TRUE, &event, &ioStatus);
    if (irp) {
        ++m_round->requests;
        Check(IoCallDriver(m_lower, irp) == STATUS_PENDING, "SUBMIT_IDLE_NOTIFICATION waits");
        {
            std::unique_lock guard(idle.lock);
            idle.called.wait(guard, [&] { return idle.wasCalled; });
        }
        IoCancelIrp(irp);
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
        Check(ioStatus.Status == STATUS_CANCELLED, "the idle request ends cancelled");
    }
}

void GenericFdo::PowerRequests() {
    // The device cannot wake the machine; its power sequence counts its low states; D2 and back.
    WaitWakeRequest wake;
    NTSTATUS woken = STATUS_PENDING;
    ++m_round->requests;
    if (wake.Post(m_self, PowerSystemWorking, [&woken](NTSTATUS status) { woken = status; })) {
        wake.Wait();
        Check(woken == STATUS_NOT_SUPPORTED, "WAIT_WAKE of a device without remote wakeup is refused");
    }
    POWER_SEQUENCE before{};
    POWER_SEQUENCE after{};
    ++m_round->requests;
    Check(NT_SUCCESS(QueryPowerSequence(m_lower, before)), "POWER_SEQUENCE");
    POWER_STATE sleep;
    sleep.SystemState = PowerSystemSleeping3;
    ++m_round->requests;
    Check(NT_SUCCESS(SendPowerRequest(m_self, IRP_MN_QUERY_POWER, SystemPowerState, sleep, PowerActionSleep)),
          "QUERY_POWER (S3)");
    m_round->requests += 2;
    Check(NT_SUCCESS(SetDevicePower(m_self, PowerDeviceD2)), "SET_POWER (D2)");
    Check(NT_SUCCESS(SetDevicePower(m_self, PowerDeviceD0)), "SET_POWER (D0)");
    ++m_round->requests;
    Check(NT_SUCCESS(QueryPowerSequence(m_lower, after)) && after.SequenceD2 == before.SequenceD2 + 1,
          "the power sequence counts the time in D2");
}

} // namespace

NTSTATUS WinUsbEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    return SetUpDriver(driver, AddFunctionDevice<GenericFdo, FILE_DEVICE_UNKNOWN>);
}

NTSTATUS RunFlood(PDEVICE_OBJECT pdo, FloodRound& round) {
    for (PDEVICE_OBJECT device = pdo; device; device = device->AttachedDevice) {
        if (auto* generic = dynamic_cast<GenericFdo*>(ContextOf(device))) {
            return generic->Flood(round);
        }
    }
    return STATUS_NO_SUCH_DEVICE;
}

NTSTATUS RunFamilyRound(PDEVICE_OBJECT pdo, FamilyRound& round) {
    for (PDEVICE_OBJECT device = pdo; device; device = device->AttachedDevice) {
        if (auto* generic = dynamic_cast<GenericFdo*>(ContextOf(device))) {
            return generic->Run(round);
        }
    }
    return STATUS_NO_SUCH_DEVICE;
}

} // namespace sim::drv
