#include "tests/support/MachineFixture.h"

#include <array>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>

#include "NtClock.h"
#include "NtObjectNamespace.h"
#include "NtPnpControl.h"
#include "NtPoolControl.h"
#include "NtText.h"
#include "platform/sim/internal/DriverFramework.h"
#include "usbdlib.h"
#include "usbioctl.h"

namespace tdl::test {

namespace {

NTSTATUS Wait(PDEVICE_OBJECT target, PIRP irp, KEVENT& event, IO_STATUS_BLOCK& ioStatus, ULONG_PTR* information) {
    sim::FollowBusTime follow;
    NTSTATUS status = IoCallDriver(target, irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
        status = ioStatus.Status;
    }
    if (information) {
        *information = ioStatus.Information;
    }
    return status;
}

} // namespace

std::vector<PDEVICE_OBJECT> StackOf(PDEVICE_OBJECT pdo) {
    std::vector<PDEVICE_OBJECT> stack;
    for (PDEVICE_OBJECT device = pdo; device; device = device->AttachedDevice) {
        stack.push_back(device);
    }
    return stack;
}

std::u16string DriverName(PDEVICE_OBJECT device) {
    std::u16string name(nt::text::View(&device->DriverObject->DriverName));
    constexpr std::u16string_view prefix = u"\\Driver\\";
    return name.compare(0, prefix.size(), prefix) == 0 ? name.substr(prefix.size()) : name;
}

std::u16string DeviceName(PDEVICE_OBJECT device) {
    return nt::ob::NameOf(device).value_or(u"");
}

ULONG ExtensionWord(PDEVICE_OBJECT device, size_t offset) {
    ULONG word = 0;
    std::memcpy(&word, static_cast<const UCHAR*>(device->DeviceExtension) + offset, sizeof word);
    return word;
}

PVOID ExtensionPointer(PDEVICE_OBJECT device, size_t offset) {
    PVOID pointer = nullptr;
    std::memcpy(&pointer, static_cast<const UCHAR*>(device->DeviceExtension) + offset, sizeof pointer);
    return pointer;
}

std::vector<std::u16string> PropertyList(PDEVICE_OBJECT pdo, DEVICE_REGISTRY_PROPERTY property) {
    ULONG needed = 0;
    std::vector<std::u16string> list;
    if (IoGetDeviceProperty(pdo, property, 0, nullptr, &needed) != STATUS_BUFFER_TOO_SMALL) {
        return list;
    }
    std::u16string text(needed / sizeof(WCHAR), 0);
    if (!NT_SUCCESS(IoGetDeviceProperty(pdo, property, needed, text.data(), &needed))) {
        return list;
    }
    for (size_t start = 0; start < text.size() && text[start];) {
        size_t end = text.find(u'\0', start);
        list.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return list;
}

std::u16string Property(PDEVICE_OBJECT pdo, DEVICE_REGISTRY_PROPERTY property) {
    std::vector<std::u16string> list = PropertyList(pdo, property);
    return list.empty() ? std::u16string() : list.front();
}

PDEVICE_OBJECT NodePdo(std::u16string_view prefix) {
    for (const nt::pnp::DeviceNodeInfo& node : nt::pnp::DeviceNodes()) {
        if (node.instancePath.compare(0, prefix.size(), prefix) == 0) {
            return node.pdo;
        }
    }
    return nullptr;
}

IoResult DeviceControl(PDEVICE_OBJECT device, ULONG code, void* input, ULONG inputLength, void* output,
                       ULONG outputLength, bool internal, bool top) {
    IoResult result;
    PDEVICE_OBJECT target = top ? IoGetAttachedDeviceReference(device) : device;
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus{};
    PIRP irp = IoBuildDeviceIoControlRequest(code, target, input, inputLength, output, outputLength, internal, &event,
                                             &ioStatus);
    if (irp) {
        result.status = Wait(target, irp, event, ioStatus, &result.information);
    }
    if (top) {
        ObDereferenceObject(target);
    }
    return result;
}

NTSTATUS InternalRequest(PDEVICE_OBJECT device, ULONG code, PVOID argument1, PVOID argument2) {
    sim::FollowBusTime follow;
    return sim::drv::SendInternalIoctl(device, code, argument1, argument2);
}

NTSTATUS SubmitUrb(PDEVICE_OBJECT device, _URB* urb) {
    return InternalRequest(device, IOCTL_INTERNAL_USB_SUBMIT_URB, urb);
}

PendingUrb::PendingUrb(PDEVICE_OBJECT device, PURB urb) {
    KeInitializeEvent(&m_event, NotificationEvent, FALSE);
    m_irp = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_USB_SUBMIT_URB, device, nullptr, 0, nullptr, 0, TRUE, &m_event,
                                          &m_status);
    IoGetNextIrpStackLocation(m_irp)->Parameters.Others.Argument1 = urb;
    IoSetCompletionRoutine(m_irp, Completed, this, TRUE, TRUE, TRUE);
    m_sent = IoCallDriver(device, m_irp);
}

// The sender's routine, in the first driver's location: there is no location of the sender's to mark pending.
NTSTATUS PendingUrb::Completed(PDEVICE_OBJECT, PIRP, PVOID context) {
    static_cast<PendingUrb*>(context)->m_completedAt = nt::clock::Now();
    return STATUS_SUCCESS;
}

NTSTATUS PendingUrb::Wait() {
    sim::FollowBusTime follow;
    KeWaitForSingleObject(&m_event, Executive, KernelMode, FALSE, nullptr);
    return m_status.Status;
}

std::vector<USBD_PIPE_INFORMATION> SelectConfiguration(PDEVICE_OBJECT pdo, const std::vector<UCHAR>& configuration) {
    std::vector<UCHAR> copy = configuration;
    auto* descriptor = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(copy.data());
    USBD_INTERFACE_LIST_ENTRY list[2] = {
        {USBD_ParseConfigurationDescriptorEx(descriptor, descriptor, 0, 0, -1, -1, -1), nullptr}, {nullptr, nullptr}};
    PURB urb = USBD_CreateConfigurationRequestEx(descriptor, list);
    EXPECT_EQ(SubmitUrb(pdo, urb), STATUS_SUCCESS);
    EXPECT_EQ(urb->UrbHeader.Status, USBD_STATUS_SUCCESS);
    EXPECT_NE(urb->UrbSelectConfiguration.ConfigurationHandle, nullptr);
    EXPECT_NE(list[0].Interface->InterfaceHandle, nullptr);
    std::vector<USBD_PIPE_INFORMATION> pipes(list[0].Interface->Pipes,
                                             list[0].Interface->Pipes + list[0].Interface->NumberOfPipes);
    ExFreePool(urb);
    return pipes;
}

void BuildTransfer(URB& urb, USBD_PIPE_HANDLE pipe, bool in, void* buffer, ULONG length) {
    std::memset(&urb, 0, sizeof urb);
    UsbBuildInterruptOrBulkTransferRequest(&urb, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER), pipe, buffer, nullptr, length,
                                           in ? USBD_TRANSFER_DIRECTION_IN : 0, nullptr);
}

NTSTATUS QueryInterface(PDEVICE_OBJECT device, const GUID& type, USHORT size, USHORT version, PINTERFACE interface,
                        PVOID specificData) {
    PDEVICE_OBJECT top = IoGetAttachedDeviceReference(device);
    NTSTATUS status = sim::drv::QueryInterface(top, type, size, version, interface, specificData);
    ObDereferenceObject(top);
    return status;
}

// --- BusTap ---

namespace {

struct TapRecord {
    TappedRequest request;
    PVOID urbAddress = nullptr;
    bool inDispatch = false;
    PIO_COMPLETION_ROUTINE routine = nullptr; // the caller's, saved from the tapped driver's stack location
    PVOID context = nullptr;
    UCHAR control = 0;
};

struct TapState {
    std::mutex lock;
    bool open = false;
    std::map<PDRIVER_OBJECT, std::array<PDRIVER_DISPATCH, IRP_MJ_MAXIMUM_FUNCTION + 1>> saved;
    std::map<PDRIVER_OBJECT, std::u16string> names;
    // Records live as long as the process: a request still pending when its tap goes completes later.
    std::deque<std::unique_ptr<TapRecord>> records;
    size_t first = 0; // records before this one belong to an earlier tap
};

TapState& Tap() {
    static TapState state;
    return state;
}

bool Valid(const void* address, size_t length) {
    return address && nt::pool::IsRangeValid(address, length ? length : 1);
}

void Note(std::string& invalid, const char* what) {
    if (!invalid.empty()) {
        invalid += ", ";
    }
    invalid += what;
}

// The memory of a transfer: its buffer, else its MDL's system address.
const UCHAR* TransferMemory(PVOID buffer, PMDL mdl) {
    if (buffer) {
        return static_cast<const UCHAR*>(buffer);
    }
    if (mdl && Valid(mdl, sizeof(MDL))) {
        return static_cast<const UCHAR*>(MmGetSystemAddressForMdlSafe(mdl, NormalPagePriority));
    }
    return nullptr;
}

struct TransferFields {
    PVOID buffer = nullptr;
    PMDL mdl = nullptr;
    ULONG length = 0;
    bool in = false;
    bool has = false;
};

TransferFields TransferOf(const URB& urb, USHORT function) {
    TransferFields fields;
    auto take = [&](PVOID buffer, PMDL mdl, ULONG length, bool in) { fields = {buffer, mdl, length, in, true}; };
    switch (function) {
    case URB_FUNCTION_CONTROL_TRANSFER:
    case URB_FUNCTION_CONTROL_TRANSFER_EX: {
        const auto& r = urb.UrbControlTransfer;
        const UCHAR* setup =
            function == URB_FUNCTION_CONTROL_TRANSFER ? r.SetupPacket : urb.UrbControlTransferEx.SetupPacket;
        take(r.TransferBuffer, r.TransferBufferMDL, r.TransferBufferLength, (setup[0] & 0x80) != 0);
        break;
    }
    case URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER:
    case URB_FUNCTION_ISOCH_TRANSFER: {
        const auto& r = urb.UrbBulkOrInterruptTransfer;
        take(r.TransferBuffer, r.TransferBufferMDL, r.TransferBufferLength,
             (r.TransferFlags & USBD_TRANSFER_DIRECTION_IN) != 0);
        break;
    }
    case URB_FUNCTION_SELECT_CONFIGURATION:
    case URB_FUNCTION_SELECT_INTERFACE:
    case URB_FUNCTION_ABORT_PIPE:
    case URB_FUNCTION_SYNC_RESET_PIPE_AND_CLEAR_STALL:
    case URB_FUNCTION_SYNC_RESET_PIPE:
    case URB_FUNCTION_SYNC_CLEAR_STALL:
    case URB_FUNCTION_TAKE_FRAME_LENGTH_CONTROL:
    case URB_FUNCTION_RELEASE_FRAME_LENGTH_CONTROL:
    case URB_FUNCTION_GET_FRAME_LENGTH:
    case URB_FUNCTION_SET_FRAME_LENGTH:
    case URB_FUNCTION_GET_CURRENT_FRAME_NUMBER:
    case URB_FUNCTION_SET_FEATURE_TO_DEVICE:
    case URB_FUNCTION_SET_FEATURE_TO_INTERFACE:
    case URB_FUNCTION_SET_FEATURE_TO_ENDPOINT:
    case URB_FUNCTION_SET_FEATURE_TO_OTHER:
    case URB_FUNCTION_CLEAR_FEATURE_TO_DEVICE:
    case URB_FUNCTION_CLEAR_FEATURE_TO_INTERFACE:
    case URB_FUNCTION_CLEAR_FEATURE_TO_ENDPOINT:
    case URB_FUNCTION_CLEAR_FEATURE_TO_OTHER:
    case URB_FUNCTION_SET_PIPE_IO_POLICY:
    case URB_FUNCTION_GET_PIPE_IO_POLICY:
    case URB_FUNCTION_OPEN_ENDPOINT:
    case URB_FUNCTION_CLOSE_ENDPOINT:
    case URB_FUNCTION_GET_ENDPOINT_STATE: break;
    default:
        // The descriptor, status, vendor and class requests share the transfer fields' places.
        if (urb.UrbHeader.Length >= sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST) && function <= 0x2A) {
            const auto& r = urb.UrbControlDescriptorRequest;
            bool in = true;
            if (function == URB_FUNCTION_SET_DESCRIPTOR_TO_DEVICE ||
                function == URB_FUNCTION_SET_DESCRIPTOR_TO_ENDPOINT ||
                function == URB_FUNCTION_SET_DESCRIPTOR_TO_INTERFACE) {
                in = false;
            } else if ((function >= URB_FUNCTION_VENDOR_DEVICE && function <= URB_FUNCTION_CLASS_ENDPOINT) ||
                       function == URB_FUNCTION_CLASS_OTHER || function == URB_FUNCTION_VENDOR_OTHER) {
                in = (urb.UrbControlVendorClassRequest.TransferFlags & USBD_TRANSFER_DIRECTION_IN) != 0;
            }
            take(r.TransferBuffer, r.TransferBufferMDL, r.TransferBufferLength, in);
        }
        break;
    }
    return fields;
}

std::vector<UCHAR> CopyOf(const void* address, size_t length) {
    const auto* bytes = static_cast<const UCHAR*>(address);
    return Valid(address, length) ? std::vector<UCHAR>(bytes, bytes + length) : std::vector<UCHAR>();
}

// What a request points to, checked (and the URB and its OUT data copied) as the tapped driver receives it.
void Inspect(TappedRequest& request, PIRP irp, PIO_STACK_LOCATION location) {
    std::string& invalid = request.invalid;
    auto& others = location->Parameters.Others;
    auto argument = [&](const void* pointer, size_t length, const char* what) {
        if (pointer && !Valid(pointer, length)) {
            Note(invalid, what);
        }
    };
    switch (location->MajorFunction) {
    case IRP_MJ_INTERNAL_DEVICE_CONTROL: {
        request.code = location->Parameters.DeviceIoControl.IoControlCode;
        switch (request.code) {
        case IOCTL_INTERNAL_USB_SUBMIT_URB: {
            auto* urb = static_cast<PURB>(others.Argument1);
            if (!Valid(urb, sizeof(_URB_HEADER)) || !Valid(urb, urb->UrbHeader.Length)) {
                Note(invalid, "URB");
                break;
            }
            request.rawFunction = urb->UrbHeader.Function;
            request.function = request.rawFunction & ~URB_FUNCTION_SUBMIT_SYNCHRONOUS;
            request.urbLength = urb->UrbHeader.Length;
            request.urb = CopyOf(urb, urb->UrbHeader.Length);
            if (request.function == URB_FUNCTION_SELECT_CONFIGURATION &&
                urb->UrbSelectConfiguration.ConfigurationDescriptor) {
                const auto* descriptor = urb->UrbSelectConfiguration.ConfigurationDescriptor;
                if (!Valid(descriptor, sizeof(USB_CONFIGURATION_DESCRIPTOR)) ||
                    !Valid(descriptor, descriptor->wTotalLength)) {
                    Note(invalid, "configuration descriptor");
                }
            }
            if (request.function == URB_FUNCTION_OPEN_ENDPOINT && request.urbLength >= sizeof(_URB_OPEN_ENDPOINT)) {
                argument(urb->UrbOpenEndpoint.EndpointDescriptor, sizeof(USB_ENDPOINT_DESCRIPTOR),
                         "endpoint descriptor");
            }
            const TransferFields transfer = TransferOf(*urb, request.function);
            if (transfer.has && transfer.length) {
                if (transfer.mdl && !Valid(transfer.mdl, sizeof(MDL))) {
                    Note(invalid, "transfer MDL");
                } else if (const UCHAR* memory = TransferMemory(transfer.buffer, transfer.mdl)) {
                    if (!Valid(memory, transfer.length)) {
                        Note(invalid, "transfer buffer");
                    } else if (!transfer.in) {
                        request.dataOut.assign(memory, memory + std::min<ULONG>(transfer.length, 65536));
                    }
                }
            }
            break;
        }
        case IOCTL_INTERNAL_USB_GET_ROOTHUB_PDO:
        case IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE_EX:
            argument(others.Argument1, sizeof(PVOID), "argument 1");
            argument(others.Argument2, sizeof(PVOID), "argument 2");
            break;
        case IOCTL_INTERNAL_USB_GET_DEVICE_HANDLE:
        case IOCTL_INTERNAL_USB_GET_TT_DEVICE_HANDLE: argument(others.Argument1, sizeof(PVOID), "argument 1"); break;
        case IOCTL_INTERNAL_USB_GET_PORT_STATUS:
        case IOCTL_INTERNAL_USB_GET_HUB_COUNT: argument(others.Argument1, sizeof(ULONG), "argument 1"); break;
        case IOCTL_INTERNAL_USB_GET_TOPOLOGY_ADDRESS:
            argument(others.Argument1, sizeof(USB_TOPOLOGY_ADDRESS), "topology address");
            break;
        case IOCTL_INTERNAL_USB_GET_DEVICE_CONFIG_INFO:
            argument(others.Argument1, sizeof(HUB_DEVICE_CONFIG_INFO), "device config info");
            break;
        case IOCTL_INTERNAL_USB_GET_PARENT_HUB_INFO:
            argument(others.Argument1, sizeof(PVOID), "argument 1");
            argument(others.Argument2, sizeof(ULONG), "argument 2");
            argument(others.Argument4, sizeof(PVOID), "argument 4");
            break;
        case IOCTL_INTERNAL_USB_SUBMIT_IDLE_NOTIFICATION:
            argument(others.Argument4, sizeof(USB_IDLE_CALLBACK_INFO), "idle callback information");
            break;
        case IOCTL_INTERNAL_USB_RECORD_FAILURE:
            argument(others.Argument1, sizeof(USB_START_FAILDATA), "failure data");
            break;
        default: break;
        }
        break;
    }
    case IRP_MJ_DEVICE_CONTROL: {
        const auto& control = location->Parameters.DeviceIoControl;
        request.code = control.IoControlCode;
        const ULONG method = METHOD_FROM_CTL_CODE(request.code);
        if (method == METHOD_NEITHER) {
            argument(control.Type3InputBuffer, control.InputBufferLength, "input buffer");
            argument(irp->UserBuffer, control.OutputBufferLength, "output buffer");
        } else {
            argument(irp->AssociatedIrp.SystemBuffer,
                     method == METHOD_BUFFERED ? std::max(control.InputBufferLength, control.OutputBufferLength)
                                               : control.InputBufferLength,
                     "system buffer");
            if (method != METHOD_BUFFERED && irp->MdlAddress && control.OutputBufferLength) {
                argument(TransferMemory(nullptr, irp->MdlAddress), control.OutputBufferLength, "output MDL");
            }
        }
        break;
    }
    case IRP_MJ_POWER:
        if (location->MinorFunction == IRP_MN_POWER_SEQUENCE) {
            argument(location->Parameters.PowerSequence.PowerSequence, sizeof(POWER_SEQUENCE), "power sequence");
        } else if (location->MinorFunction == IRP_MN_SET_POWER || location->MinorFunction == IRP_MN_QUERY_POWER) {
            request.powerType = location->Parameters.Power.Type;
            request.powerState = location->Parameters.Power.State;
        }
        break;
    case IRP_MJ_PNP:
        if (location->MinorFunction == IRP_MN_QUERY_INTERFACE) {
            argument(location->Parameters.QueryInterface.Interface, location->Parameters.QueryInterface.Size,
                     "interface");
        }
        break;
    default: break;
    }
}

NTSTATUS TapCompletion(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
    auto* record = static_cast<TapRecord*>(context);
    std::vector<UCHAR> urbDone;
    std::vector<UCHAR> dataIn;
    if (record->request.code == IOCTL_INTERNAL_USB_SUBMIT_URB && record->request.urbLength) {
        // The URB's place in the stack location is gone by now; the copy at dispatch says where it is.
        PURB urb = nullptr;
        std::memcpy(&urb, &record->urbAddress, sizeof urb);
        if (Valid(urb, record->request.urbLength)) {
            urbDone = CopyOf(urb, record->request.urbLength);
            const TransferFields transfer = TransferOf(*urb, record->request.function);
            if (transfer.has && transfer.in && transfer.length) {
                const UCHAR* memory = TransferMemory(transfer.buffer, transfer.mdl);
                if (Valid(memory, transfer.length)) {
                    dataIn.assign(memory, memory + std::min<ULONG>(transfer.length, 65536));
                }
            }
        }
    }
    {
        std::lock_guard guard(Tap().lock);
        TappedRequest& request = record->request;
        request.completed = true;
        request.completedInDispatch = record->inDispatch && request.dispatchThread == std::this_thread::get_id();
        request.status = irp->IoStatus.Status;
        request.information = irp->IoStatus.Information;
        request.completionThread = std::this_thread::get_id();
        request.completionIrql = KeGetCurrentIrql();
        request.urbDone = std::move(urbDone);
        request.dataIn = std::move(dataIn);
    }
    const NTSTATUS status = irp->IoStatus.Status;
    const bool invoke = (NT_SUCCESS(status) && (record->control & SL_INVOKE_ON_SUCCESS)) ||
                        (!NT_SUCCESS(status) && (record->control & SL_INVOKE_ON_ERROR)) ||
                        (irp->Cancel && (record->control & SL_INVOKE_ON_CANCEL));
    if (invoke && record->routine) {
        return record->routine(device, irp, record->context);
    }
    if (irp->PendingReturned && irp->CurrentLocation <= irp->StackCount) {
        IoMarkIrpPending(irp);
    }
    return STATUS_SUCCESS;
}

NTSTATUS TapDispatch(PDEVICE_OBJECT device, PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    PDRIVER_DISPATCH original = nullptr;
    std::unique_ptr<TapRecord> fresh;
    {
        std::lock_guard guard(Tap().lock);
        original = Tap().saved.at(device->DriverObject)[location->MajorFunction];
        if (Tap().open) {
            fresh = std::make_unique<TapRecord>();
            fresh->request.driver = Tap().names[device->DriverObject];
        }
    }
    TapRecord* record = fresh.get();
    if (record) {
        TappedRequest& request = record->request;
        request.device = device;
        request.irp = irp;
        request.major = location->MajorFunction;
        request.minor = location->MinorFunction;
        request.dispatchThread = std::this_thread::get_id();
        request.dispatchIrql = KeGetCurrentIrql();
        record->inDispatch = true;
        Inspect(request, irp, location);
        if (request.code == IOCTL_INTERNAL_USB_SUBMIT_URB &&
            location->MajorFunction == IRP_MJ_INTERNAL_DEVICE_CONTROL) {
            record->urbAddress = location->Parameters.Others.Argument1;
        }
        // The completion routine goes in the driver's location; the caller's own runs from it.
        record->routine = location->CompletionRoutine;
        record->context = location->Context;
        record->control = location->Control;
        location->CompletionRoutine = TapCompletion;
        location->Context = record;
        location->Control = static_cast<UCHAR>((location->Control & SL_PENDING_RETURNED) | SL_INVOKE_ON_SUCCESS |
                                               SL_INVOKE_ON_ERROR | SL_INVOKE_ON_CANCEL);
        std::lock_guard guard(Tap().lock);
        Tap().records.push_back(std::move(fresh));
    }
    const NTSTATUS status = original(device, irp);
    if (record) {
        std::lock_guard guard(Tap().lock);
        record->request.returned = status;
        record->inDispatch = false;
    }
    return status;
}

} // namespace

std::vector<std::u16string> BusTap::UsbDrivers() {
    return {u"usbuhci", u"usbohci", u"usbehci", u"nusb3xhc", u"usbxhci", u"usbhub", u"nusb3hub", u"usbhub3",
            u"usbccgp", u"hidusb",  u"mouhid",  u"kbdhid",   u"usbstor", u"disk",   u"usbprint", u"winusb"};
}

BusTap::BusTap(std::vector<std::u16string> drivers) {
    TapState& state = Tap();
    std::lock_guard guard(state.lock);
    state.saved.clear();
    state.names.clear();
    state.first = state.records.size();
    for (const std::u16string& name : drivers) {
        PDRIVER_OBJECT driver = nt::pnp::LoadedDriver(name);
        if (!driver || state.saved.count(driver)) {
            continue;
        }
        auto& table = state.saved[driver];
        state.names[driver] = name;
        for (int major = 0; major <= IRP_MJ_MAXIMUM_FUNCTION; ++major) {
            table[major] = driver->MajorFunction[major];
        }
        for (int major = 0; major <= IRP_MJ_MAXIMUM_FUNCTION; ++major) {
            driver->MajorFunction[major] = TapDispatch;
        }
    }
    state.open = true;
}

BusTap::~BusTap() {
    TapState& state = Tap();
    std::lock_guard guard(state.lock);
    state.open = false;
    for (auto& [driver, table] : state.saved) {
        // A driver that was unloaded meanwhile has no table any more.
        if (nt::pnp::LoadedDriver(state.names[driver]) != driver) {
            continue;
        }
        for (int major = 0; major <= IRP_MJ_MAXIMUM_FUNCTION; ++major) {
            if (driver->MajorFunction[major] == TapDispatch) {
                driver->MajorFunction[major] = table[major];
            }
        }
    }
}

std::vector<TappedRequest> BusTap::Requests() const {
    TapState& state = Tap();
    std::lock_guard guard(state.lock);
    std::vector<TappedRequest> requests;
    for (size_t i = state.first; i < state.records.size(); ++i) {
        requests.push_back(state.records[i]->request);
    }
    return requests;
}

void BusTap::Clear() {
    TapState& state = Tap();
    std::lock_guard guard(state.lock);
    state.first = state.records.size();
}

void MachineTest::UseVirtualClock() {
    nt::clock::UseVirtualClock();
    m_virtualClock = true;
}

sim::WorkloadResult MachineTest::Play(sim::WorkloadKind kind, uint64_t count, sim::WorkloadOptions options) {
    options.count = count;
    sim::WorkloadResult result = sim::RunWorkload(*m_machine, kind, options);
    EXPECT_TRUE(result.Succeeded()) << sim::WorkloadName(kind) << ": " << result.failure;
    return result;
}

void MachineTest::TearDown() {
    if (m_virtualClock) {
        nt::clock::UseRealClock();
        m_virtualClock = false;
    }
    if (m_machine) {
        m_machine->Shutdown();
        m_machine.reset();
        // Everything the machine and its drivers allocated is given back.
        EXPECT_EQ(nt::pool::LiveCount(), 0u);
    }
}

sim::Machine& MachineTest::Boot(const sim::MachineBuilder& hardware, const sim::MachineOptions& options) {
    m_machine = sim::Machine::Boot(hardware, options);
    EXPECT_EQ(m_machine->Status(), STATUS_SUCCESS);
    return *m_machine;
}

sim::Machine& MachineTest::BootDefault(nt::version::Release release, PDRIVER_INITIALIZE captureDriverEntry,
                                       BusTime busTime) {
    sim::MachineOptions options;
    options.release = release;
    options.captureDriverEntry = captureDriverEntry;
    options.busTime = busTime == BusTime::Kept;
    return Boot(sim::DefaultMachine(), options);
}

PDEVICE_OBJECT MachineTest::Pdo(std::string_view deviceName) const {
    std::shared_ptr<sim::UsbDevice> device = m_machine ? m_machine->Device(deviceName) : nullptr;
    return device ? device->PhysicalDeviceObject() : nullptr;
}

PDEVICE_OBJECT MachineTest::Top(std::string_view deviceName) const {
    PDEVICE_OBJECT pdo = Pdo(deviceName);
    return pdo ? IoGetAttachedDevice(pdo) : nullptr;
}

} // namespace tdl::test
