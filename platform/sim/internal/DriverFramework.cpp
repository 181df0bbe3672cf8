#include "platform/sim/internal/DriverFramework.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

#include "NtObjectNamespace.h"
#include "platform/sim/internal/PowerRequests.h"

namespace sim::drv {

namespace {

NTSTATUS SignalCompletion(PDEVICE_OBJECT, PIRP, PVOID context) {
    KeSetEvent(static_cast<PKEVENT>(context), IO_NO_INCREMENT, FALSE);
    return STATUS_MORE_PROCESSING_REQUIRED;
}

SimExtension* ExtensionOf(PDEVICE_OBJECT device) {
    // Any device object may be asked about: only one whose extension is large enough is read.
    if (!device || !device->DeviceExtension || device->Size < sizeof(DEVICE_OBJECT) + sizeof(SimExtension)) {
        return nullptr;
    }
    auto* extension = static_cast<SimExtension*>(device->DeviceExtension);
    return extension->magic == kSimExtensionMagic ? extension : nullptr;
}

bool NameTaken(std::u16string_view path) {
    nt::ob::Entry entry;
    return NT_SUCCESS(nt::ob::Lookup(path, entry, true));
}

UNICODE_STRING Counted(std::u16string& text) {
    UNICODE_STRING s;
    s.Length = static_cast<USHORT>(text.size() * sizeof(WCHAR));
    s.MaximumLength = s.Length;
    s.Buffer = text.data();
    return s;
}

} // namespace

// --- Devices ---

NTSTATUS CreateDevice(PDRIVER_OBJECT driver, std::u16string_view name, DEVICE_TYPE type, ULONG characteristics,
                      PDEVICE_OBJECT* device) {
    std::u16string text(name);
    UNICODE_STRING counted = Counted(text);
    NTSTATUS status = IoCreateDevice(driver, sizeof(SimExtension), text.empty() ? nullptr : &counted, type,
                                     characteristics, FALSE, device);
    if (NT_SUCCESS(status)) {
        static_cast<SimExtension*>((*device)->DeviceExtension)->magic = kSimExtensionMagic; // the rest is zeroed
    }
    return status;
}

NTSTATUS CreateNumberedDevice(PDRIVER_OBJECT driver, std::u16string_view prefix, DEVICE_TYPE type,
                              ULONG characteristics, PDEVICE_OBJECT* device, std::u16string* name, NumberStyle style) {
    for (ULONG number = 0; number < 100000; ++number) {
        std::u16string candidate = std::u16string(prefix) + (style == NumberStyle::Hex8       ? Hex(number, 8)
                                                             : style == NumberStyle::Decimal4 ? Decimal(number, 4)
                                                                                              : Decimal(number));
        if (NameTaken(candidate)) {
            continue;
        }
        NTSTATUS status = CreateDevice(driver, candidate, type, characteristics, device);
        if (status == STATUS_OBJECT_NAME_COLLISION) {
            continue;
        }
        if (NT_SUCCESS(status) && name) {
            *name = candidate;
        }
        return status;
    }
    return STATUS_INSUFFICIENT_RESOURCES;
}

std::u16string CreateNumberedLink(std::u16string_view prefix, std::u16string_view target, int* number) {
    std::u16string targetText(target);
    UNICODE_STRING targetName = Counted(targetText);
    for (int n = 0; n < 10000; ++n) {
        std::u16string link = u"\\DosDevices\\" + std::u16string(prefix) + Decimal(static_cast<ULONG>(n));
        if (NameTaken(link)) {
            continue;
        }
        UNICODE_STRING linkName = Counted(link);
        NTSTATUS status = IoCreateSymbolicLink(&linkName, &targetName);
        if (status == STATUS_OBJECT_NAME_COLLISION) {
            continue;
        }
        if (!NT_SUCCESS(status)) {
            return {};
        }
        if (number) {
            *number = n;
        }
        return link;
    }
    return {};
}

DeviceContext* ContextOf(PDEVICE_OBJECT device) {
    SimExtension* extension = ExtensionOf(device);
    return extension ? extension->context : nullptr;
}

UCHAR* PlatformArea(PDEVICE_OBJECT device) {
    SimExtension* extension = ExtensionOf(device);
    return extension ? extension->platformArea : nullptr;
}

void WriteAreaWord(PDEVICE_OBJECT device, int offset, ULONG word) {
    UCHAR* area = PlatformArea(device);
    if (area && offset >= 0 && static_cast<size_t>(offset) + sizeof word <= kPlatformAreaSize) {
        std::memcpy(area + offset, &word, sizeof word);
    }
}

void WriteAreaPointer(PDEVICE_OBJECT device, int offset, const void* pointer) {
    UCHAR* area = PlatformArea(device);
    if (area && offset >= 0 && static_cast<size_t>(offset) + sizeof pointer <= kPlatformAreaSize) {
        std::memcpy(area + offset, &pointer, sizeof pointer);
    }
}

namespace {
void NoUnload(PDRIVER_OBJECT) {}
} // namespace

NTSTATUS SetUpDriver(PDRIVER_OBJECT driver, PDRIVER_ADD_DEVICE addDevice) {
    InstallDispatch(driver);
    driver->DriverExtension->AddDevice = addDevice;
    driver->DriverUnload = NoUnload;
    return STATUS_SUCCESS;
}

void InstallDispatch(PDRIVER_OBJECT driver) {
    for (int major = 0; major <= IRP_MJ_MAXIMUM_FUNCTION; ++major) {
        driver->MajorFunction[major] = Dispatch;
    }
}

NTSTATUS Dispatch(PDEVICE_OBJECT device, PIRP irp) {
    auto refuse = [irp](NTSTATUS status) {
        if (IoGetCurrentIrpStackLocation(irp)->MajorFunction == IRP_MJ_POWER) {
            PoStartNextPowerIrp(irp);
        }
        return Complete(irp, status);
    };
    SimExtension* extension = ExtensionOf(device);
    if (!extension) {
        return refuse(STATUS_INVALID_DEVICE_REQUEST);
    }
    // The extension lives as long as the device object, which the sender holds. The context goes only with the
    // request that deletes the device, and that one first waits for the others to leave (StopRequests).
    std::atomic_ref<LONG> active(extension->active);
    ++active;
    DeviceContext* context = std::atomic_ref<LONG>(extension->deleting).load() ? nullptr : extension->context;
    if (!context) {
        --active;
        return refuse(STATUS_NO_SUCH_DEVICE);
    }
    NTSTATUS status = context->Dispatch(irp);
    --active;
    return status;
}

NTSTATUS Complete(PIRP irp, NTSTATUS status, ULONG_PTR information) {
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = information;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

namespace {

// Writes into `size` bytes the length the whole answer needs, then as much of the name as fits (when
// `partial`; else an empty name when it does not fit). Returns the bytes written, 0 when not even the length
// and one character fit.
ULONG WriteName(UCHAR* buffer, ULONG size, std::u16string_view name, bool partial) {
    const ULONG needed = static_cast<ULONG>(sizeof(ULONG) + (name.size() + 1) * sizeof(WCHAR));
    if (!buffer || size < sizeof(ULONG) + sizeof(WCHAR)) {
        return 0;
    }
    std::memcpy(buffer, &needed, sizeof needed);
    if (size < needed && !partial) {
        buffer[4] = buffer[5] = 0;
        return sizeof(ULONG) + sizeof(WCHAR);
    }
    const ULONG copied = std::min(size, needed) - static_cast<ULONG>(sizeof(ULONG));
    std::u16string text(name);
    std::memcpy(buffer + sizeof(ULONG), text.c_str(), copied);
    return sizeof(ULONG) + copied;
}

} // namespace

NTSTATUS CompleteWithName(PIRP irp, std::u16string_view name, bool partial) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    const ULONG written = WriteName(static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer),
                                    location->Parameters.DeviceIoControl.OutputBufferLength, name, partial);
    return written == 0 ? Complete(irp, STATUS_BUFFER_TOO_SMALL) : Complete(irp, STATUS_SUCCESS, written);
}

NTSTATUS CompleteWithNameAt(PIRP irp, UCHAR* buffer, ULONG size, std::u16string_view name) {
    const ULONG written = WriteName(buffer, size, name, true);
    return written == 0 ? Complete(irp, STATUS_BUFFER_TOO_SMALL) : Complete(irp, STATUS_SUCCESS, written);
}

NTSTATUS PassDown(PDEVICE_OBJECT lower, PIRP irp) {
    IoSkipCurrentIrpStackLocation(irp);
    return IoCallDriver(lower, irp);
}

NTSTATUS ForwardAndWait(PDEVICE_OBJECT lower, PIRP irp) {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IoCopyCurrentIrpStackLocationToNext(irp);
    IoSetCompletionRoutine(irp, SignalCompletion, &event, TRUE, TRUE, TRUE);
    NTSTATUS status = IoCallDriver(lower, irp);
    if (status == STATUS_PENDING) {
        KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
    }
    return irp->IoStatus.Status;
}

ULONG_PTR PoolString(std::u16string_view text) {
    size_t bytes = (text.size() + 1) * sizeof(WCHAR);
    auto* copy = static_cast<WCHAR*>(ExAllocatePoolWithTag(PagedPool, bytes, kSimPoolTag));
    if (copy) {
        std::memcpy(copy, text.data(), text.size() * sizeof(WCHAR));
        copy[text.size()] = 0;
    }
    return reinterpret_cast<ULONG_PTR>(copy);
}

ULONG_PTR PoolMultiString(const std::vector<std::u16string>& texts) {
    std::u16string all;
    for (const std::u16string& text : texts) {
        all += text;
        all.push_back(0);
    }
    all.push_back(0);
    auto* copy = static_cast<WCHAR*>(ExAllocatePoolWithTag(PagedPool, all.size() * sizeof(WCHAR), kSimPoolTag));
    if (copy) {
        std::memcpy(copy, all.data(), all.size() * sizeof(WCHAR));
    }
    return reinterpret_cast<ULONG_PTR>(copy);
}

std::u16string Utf16(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

std::u16string Hex(ULONG value, int digits) {
    static const char16_t kDigits[] = u"0123456789ABCDEF";
    std::u16string text(static_cast<size_t>(digits), u'0');
    for (int i = digits - 1; i >= 0; --i) {
        text[static_cast<size_t>(i)] = kDigits[value & 0xF];
        value >>= 4;
    }
    return text;
}

std::u16string Decimal(ULONG value, int minimumDigits) {
    std::u16string text;
    do {
        text.insert(text.begin(), static_cast<char16_t>(u'0' + value % 10));
        value /= 10;
    } while (value);
    while (static_cast<int>(text.size()) < minimumDigits) {
        text.insert(text.begin(), u'0');
    }
    return text;
}

NTSTATUS FinalStatus(NTSTATUS sent, KEVENT& event, const IO_STATUS_BLOCK& ioStatus) {
    if (sent != STATUS_PENDING) {
        return sent;
    }
    KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr);
    return ioStatus.Status;
}

NTSTATUS SendInternalIoctl(PDEVICE_OBJECT target, ULONG code, PVOID argument1, PVOID argument2, PVOID argument4) {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus{};
    PIRP irp = IoBuildDeviceIoControlRequest(code, target, nullptr, 0, nullptr, 0, TRUE, &event, &ioStatus);
    if (!irp) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->Parameters.Others.Argument1 = argument1;
    next->Parameters.Others.Argument2 = argument2;
    next->Parameters.Others.Argument4 = argument4;
    return FinalStatus(IoCallDriver(target, irp), event, ioStatus);
}

NTSTATUS SendBufferedInternalIoctl(PDEVICE_OBJECT target, ULONG code, PVOID buffer, ULONG inputLength,
                                   ULONG outputLength, ULONG_PTR* information) {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus{};
    PIRP irp =
        IoBuildDeviceIoControlRequest(code, target, buffer, inputLength, buffer, outputLength, TRUE, &event, &ioStatus);
    if (!irp) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    NTSTATUS status = FinalStatus(IoCallDriver(target, irp), event, ioStatus);
    if (information) {
        *information = ioStatus.Information;
    }
    return status;
}

NTSTATUS QueryInterface(PDEVICE_OBJECT target, const GUID& type, USHORT size, USHORT version, PINTERFACE interface,
                        PVOID specificData) {
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus{};
    PIRP irp = IoBuildSynchronousFsdRequest(IRP_MJ_PNP, target, nullptr, 0, nullptr, &event, &ioStatus);
    if (!irp) {
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    next->MinorFunction = IRP_MN_QUERY_INTERFACE;
    next->Parameters.QueryInterface.InterfaceType = &type;
    next->Parameters.QueryInterface.Size = size;
    next->Parameters.QueryInterface.Version = version;
    next->Parameters.QueryInterface.Interface = interface;
    next->Parameters.QueryInterface.InterfaceSpecificData = specificData;
    return FinalStatus(IoCallDriver(target, irp), event, ioStatus);
}

std::u16string DeviceProperty(PDEVICE_OBJECT pdo, DEVICE_REGISTRY_PROPERTY property) {
    ULONG needed = 0;
    if (IoGetDeviceProperty(pdo, property, 0, nullptr, &needed) != STATUS_BUFFER_TOO_SMALL || needed < 2) {
        return {};
    }
    std::u16string text(needed / sizeof(WCHAR), 0);
    if (!NT_SUCCESS(IoGetDeviceProperty(pdo, property, needed, text.data(), &needed))) {
        return {};
    }
    text.resize(std::char_traits<char16_t>::length(text.c_str()));
    return text;
}

std::vector<std::u16string> DevicePropertyList(PDEVICE_OBJECT pdo, DEVICE_REGISTRY_PROPERTY property) {
    ULONG needed = 0;
    std::vector<std::u16string> list;
    if (IoGetDeviceProperty(pdo, property, 0, nullptr, &needed) != STATUS_BUFFER_TOO_SMALL || needed < 2) {
        return list;
    }
    std::u16string text(needed / sizeof(WCHAR), 0);
    if (!NT_SUCCESS(IoGetDeviceProperty(pdo, property, needed, text.data(), &needed))) {
        return list;
    }
    size_t start = 0;
    while (start < text.size() && text[start]) {
        size_t end = text.find(u'\0', start);
        if (end == std::u16string::npos) {
            end = text.size();
        }
        list.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return list;
}

// --- DeviceContext ---

void* DeviceContext::operator new(size_t size) noexcept {
    return ExAllocatePoolWithTag(NonPagedPool, size, kSimPoolTag);
}

void DeviceContext::operator delete(void* memory) noexcept {
    if (memory) {
        ExFreePoolWithTag(memory, kSimPoolTag);
    }
}

DeviceContext::DeviceContext(PDEVICE_OBJECT self) : m_self(self) {
    static_cast<SimExtension*>(self->DeviceExtension)->context = this;
}

DeviceContext::~DeviceContext() = default;

NTSTATUS DeviceContext::Dispatch(PIRP irp) {
    switch (IoGetCurrentIrpStackLocation(irp)->MajorFunction) {
    case IRP_MJ_CREATE:
    case IRP_MJ_CLOSE:
    case IRP_MJ_CLEANUP: return CreateClose(irp);
    case IRP_MJ_PNP: return Pnp(irp);
    case IRP_MJ_POWER: return Power(irp);
    case IRP_MJ_DEVICE_CONTROL: return DeviceControl(irp);
    case IRP_MJ_INTERNAL_DEVICE_CONTROL: return InternalDeviceControl(irp);
    case IRP_MJ_SYSTEM_CONTROL: return SystemControl(irp);
    default: return Other(irp);
    }
}

NTSTATUS DeviceContext::CreateClose(PIRP irp) {
    return Complete(irp, STATUS_SUCCESS);
}
NTSTATUS DeviceContext::DeviceControl(PIRP irp) {
    return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
}
NTSTATUS DeviceContext::InternalDeviceControl(PIRP irp) {
    return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
}
NTSTATUS DeviceContext::SystemControl(PIRP irp) {
    return Complete(irp, irp->IoStatus.Status, irp->IoStatus.Information);
}
NTSTATUS DeviceContext::Other(PIRP irp) {
    return Complete(irp, STATUS_INVALID_DEVICE_REQUEST);
}

void DeviceContext::StopRequests(bool fromDispatch) {
    SimExtension* extension = ExtensionOf(m_self);
    std::atomic_ref<LONG>(extension->deleting).store(1);
    std::atomic_ref<LONG> active(extension->active);
    const LONG own = fromDispatch ? 1 : 0;
    while (active.load() > own) {
        std::this_thread::yield();
    }
}

void DeviceContext::DeleteSelf() {
    PDEVICE_OBJECT self = m_self;
    static_cast<SimExtension*>(self->DeviceExtension)->context = nullptr;
    delete this;
    IoDeleteDevice(self);
}

// --- FunctionDevice ---

FunctionDevice::FunctionDevice(PDEVICE_OBJECT self, PDEVICE_OBJECT pdo, PDEVICE_OBJECT lower)
    : DeviceContext(self), m_pdo(pdo), m_lower(lower) {}

FunctionDevice::~FunctionDevice() = default;

NTSTATUS FunctionDevice::Add(PDRIVER_OBJECT driver, PDEVICE_OBJECT pdo, DEVICE_TYPE type,
                             const std::function<FunctionDevice*(PDEVICE_OBJECT, PDEVICE_OBJECT)>& make,
                             FunctionDevice** created, std::u16string_view numberedName) {
    PDEVICE_OBJECT self = nullptr;
    NTSTATUS status = numberedName.empty() ? CreateDevice(driver, {}, type, 0, &self)
                                           : CreateNumberedDevice(driver, numberedName, type, 0, &self);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    PDEVICE_OBJECT lower = nullptr;
    status = IoAttachDeviceToDeviceStackSafe(self, pdo, &lower);
    if (!NT_SUCCESS(status) || !lower) {
        IoDeleteDevice(self);
        return NT_SUCCESS(status) ? STATUS_NO_SUCH_DEVICE : status;
    }
    FunctionDevice* context = make(self, lower);
    if (!context) {
        IoDetachDevice(lower);
        IoDeleteDevice(self);
        return STATUS_INSUFFICIENT_RESOURCES;
    }
    self->Flags |= lower->Flags & (DO_BUFFERED_IO | DO_DIRECT_IO | DO_POWER_PAGABLE);
    self->Flags &= ~DO_DEVICE_INITIALIZING;
    if (created) {
        *created = context;
    }
    return STATUS_SUCCESS;
}

void FunctionDevice::AddChild(PhysicalDevice* child) {
    std::lock_guard guard(m_childLock);
    m_children.push_back(child);
}

void FunctionDevice::ChildGone(PhysicalDevice* child) {
    std::lock_guard guard(m_childLock);
    child->MarkGone();
}

void FunctionDevice::ForgetChild(PhysicalDevice* child) {
    std::lock_guard guard(m_childLock);
    m_children.erase(std::remove(m_children.begin(), m_children.end(), child), m_children.end());
}

std::vector<PhysicalDevice*> FunctionDevice::Children() const {
    std::lock_guard guard(m_childLock);
    std::vector<PhysicalDevice*> present;
    for (PhysicalDevice* child : m_children) {
        if (child->Present()) {
            present.push_back(child);
        }
    }
    return present;
}

void FunctionDevice::DeleteChildren() {
    std::vector<PhysicalDevice*> children;
    {
        std::lock_guard guard(m_childLock);
        children.swap(m_children);
    }
    for (PhysicalDevice* child : children) {
        child->DeleteWithParent();
    }
}

NTSTATUS FunctionDevice::Pnp(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    switch (location->MinorFunction) {
    case IRP_MN_START_DEVICE: {
        NTSTATUS status = ForwardAndWait(m_lower, irp);
        if (NT_SUCCESS(status)) {
            status = OnStart();
            m_started = NT_SUCCESS(status);
        }
        return Complete(irp, status);
    }
    case IRP_MN_QUERY_DEVICE_RELATIONS:
        if (location->Parameters.QueryDeviceRelations.Type != BusRelations || !IsBus()) {
            return PassDown(m_lower, irp);
        }
        {
            if (!m_stopped) {
                Enumerate();
            }
            std::vector<PhysicalDevice*> present = m_stopped ? std::vector<PhysicalDevice*>{} : Children();
            size_t size = sizeof(DEVICE_RELATIONS) + present.size() * sizeof(PDEVICE_OBJECT);
            auto* relations = static_cast<PDEVICE_RELATIONS>(ExAllocatePoolWithTag(PagedPool, size, kSimPoolTag));
            if (!relations) {
                return Complete(irp, STATUS_INSUFFICIENT_RESOURCES);
            }
            if (auto* earlier = reinterpret_cast<PDEVICE_RELATIONS>(irp->IoStatus.Information)) {
                for (ULONG i = 0; i < earlier->Count; ++i) {
                    ObDereferenceObject(earlier->Objects[i]);
                }
                ExFreePool(earlier);
            }
            relations->Count = static_cast<ULONG>(present.size());
            for (size_t i = 0; i < present.size(); ++i) {
                relations->Objects[i] = present[i]->Self();
                ObReferenceObject(present[i]->Self());
            }
            irp->IoStatus.Information = reinterpret_cast<ULONG_PTR>(relations);
            irp->IoStatus.Status = STATUS_SUCCESS;
            return PassDown(m_lower, irp);
        }
    case IRP_MN_SURPRISE_REMOVAL:
        if (!m_stopped) {
            m_stopped = true;
            OnStop();
        }
        irp->IoStatus.Status = STATUS_SUCCESS;
        return PassDown(m_lower, irp);
    case IRP_MN_REMOVE_DEVICE: {
        StopRequests();
        if (!m_stopped) {
            m_stopped = true;
            OnStop();
        }
        OnRemove();
        DeleteChildren();
        irp->IoStatus.Status = STATUS_SUCCESS;
        PDEVICE_OBJECT lower = m_lower;
        NTSTATUS status = PassDown(lower, irp);
        IoDetachDevice(lower);
        DeleteSelf();
        return status;
    }
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
    case IRP_MN_STOP_DEVICE: irp->IoStatus.Status = STATUS_SUCCESS; return PassDown(m_lower, irp);
    default: return OtherPnp(irp);
    }
}

NTSTATUS FunctionDevice::OtherPnp(PIRP irp) {
    return PassDown(m_lower, irp);
}

NTSTATUS FunctionDevice::Power(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    if (location->MinorFunction == IRP_MN_SET_POWER && !m_stopped) {
        const POWER_STATE state = location->Parameters.Power.State;
        if (location->Parameters.Power.Type == SystemPowerState) {
            const DEVICE_POWER_STATE wanted = state.SystemState == PowerSystemWorking ? PowerDeviceD0 : PowerDeviceD3;
            if (wanted != m_devicePower.load()) {
                SetDevicePower(m_self, wanted);
            }
        } else if (state.DeviceState == PowerDeviceD0) {
            NTSTATUS status = ForwardAndWait(m_lower, irp);
            if (NT_SUCCESS(status) && m_devicePower.exchange(PowerDeviceD0) != PowerDeviceD0) {
                PoSetPowerState(m_self, DevicePowerState, state);
                OnDevicePower(PowerDeviceD0);
            }
            PoStartNextPowerIrp(irp);
            return Complete(irp, status, irp->IoStatus.Information);
        } else if (m_devicePower.exchange(state.DeviceState) != state.DeviceState) {
            OnDevicePower(state.DeviceState);
            PoSetPowerState(m_self, DevicePowerState, state);
        }
    }
    PoStartNextPowerIrp(irp);
    IoSkipCurrentIrpStackLocation(irp);
    return PoCallDriver(m_lower, irp);
}

NTSTATUS FunctionDevice::DeviceControl(PIRP irp) {
    return PassDown(m_lower, irp);
}
NTSTATUS FunctionDevice::InternalDeviceControl(PIRP irp) {
    return PassDown(m_lower, irp);
}
NTSTATUS FunctionDevice::SystemControl(PIRP irp) {
    return PassDown(m_lower, irp);
}

// --- PhysicalDevice ---

PhysicalDevice::PhysicalDevice(PDEVICE_OBJECT self, FunctionDevice* parent) : DeviceContext(self), m_parent(parent) {}

void PhysicalDevice::DeleteWithParent() {
    StopRequests(false);
    if (m_started) {
        m_started = false;
        OnStop();
    }
    OnDelete();
    DeleteSelf();
}

void PhysicalDevice::Capabilities(DEVICE_CAPABILITIES&) const {}

NTSTATUS PhysicalDevice::OnQueryInterface(PIRP irp) {
    return irp->IoStatus.Status;
}
NTSTATUS PhysicalDevice::OtherPnp(PIRP irp) {
    return irp->IoStatus.Status;
}

NTSTATUS PhysicalDevice::Pnp(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    NTSTATUS status = irp->IoStatus.Status;
    ULONG_PTR information = irp->IoStatus.Information;
    auto answer = [&](ULONG_PTR pool) {
        information = pool;
        status = pool ? STATUS_SUCCESS : STATUS_INSUFFICIENT_RESOURCES;
    };
    switch (location->MinorFunction) {
    case IRP_MN_QUERY_ID:
        switch (location->Parameters.QueryId.IdType) {
        case BusQueryDeviceID: answer(PoolString(DeviceId())); break;
        case BusQueryInstanceID: answer(PoolString(InstanceId())); break;
        case BusQueryHardwareIDs: answer(PoolMultiString(HardwareIds())); break;
        case BusQueryCompatibleIDs: {
            std::vector<std::u16string> ids = CompatibleIds();
            if (!ids.empty()) {
                answer(PoolMultiString(ids));
            }
            break;
        }
        default: break;
        }
        break;
    case IRP_MN_QUERY_DEVICE_TEXT: {
        std::u16string text = location->Parameters.QueryDeviceText.DeviceTextType == DeviceTextDescription
                                  ? DeviceText()
                                  : LocationText();
        if (!text.empty()) {
            answer(PoolString(text));
        }
        break;
    }
    case IRP_MN_QUERY_CAPABILITIES:
        if (PDEVICE_CAPABILITIES capabilities = location->Parameters.DeviceCapabilities.Capabilities) {
            Capabilities(*capabilities);
            status = STATUS_SUCCESS;
        }
        break;
    case IRP_MN_QUERY_BUS_INFORMATION: {
        PNP_BUS_INFORMATION bus{};
        if (BusInformation(bus)) {
            auto* copy = static_cast<PPNP_BUS_INFORMATION>(
                ExAllocatePoolWithTag(PagedPool, sizeof(PNP_BUS_INFORMATION), kSimPoolTag));
            if (copy) {
                *copy = bus;
            }
            answer(reinterpret_cast<ULONG_PTR>(copy));
        }
        break;
    }
    case IRP_MN_QUERY_DEVICE_RELATIONS:
        if (location->Parameters.QueryDeviceRelations.Type == TargetDeviceRelation) {
            auto* relations =
                static_cast<PDEVICE_RELATIONS>(ExAllocatePoolWithTag(PagedPool, sizeof(DEVICE_RELATIONS), kSimPoolTag));
            if (relations) {
                relations->Count = 1;
                relations->Objects[0] = m_self;
                ObReferenceObject(m_self);
            }
            answer(reinterpret_cast<ULONG_PTR>(relations));
        }
        break;
    case IRP_MN_START_DEVICE:
        status = OnStart();
        m_started = NT_SUCCESS(status);
        break;
    case IRP_MN_QUERY_REMOVE_DEVICE:
    case IRP_MN_CANCEL_REMOVE_DEVICE:
    case IRP_MN_QUERY_STOP_DEVICE:
    case IRP_MN_CANCEL_STOP_DEVICE:
    case IRP_MN_STOP_DEVICE: status = STATUS_SUCCESS; break;
    case IRP_MN_SURPRISE_REMOVAL:
        if (m_started) {
            m_started = false;
            OnStop();
        }
        status = STATUS_SUCCESS;
        break;
    case IRP_MN_REMOVE_DEVICE:
        if (!m_present) {
            StopRequests();
        }
        if (m_started) {
            m_started = false;
            OnStop();
        }
        if (!m_present) {
            Complete(irp, STATUS_SUCCESS);
            m_parent->ForgetChild(this);
            OnDelete();
            DeleteSelf();
            return STATUS_SUCCESS;
        }
        status = STATUS_SUCCESS;
        break;
    case IRP_MN_QUERY_INTERFACE: status = OnQueryInterface(irp); break;
    default: status = OtherPnp(irp); break;
    }
    return Complete(irp, status, NT_SUCCESS(status) ? information : 0);
}

NTSTATUS PhysicalDevice::Power(PIRP irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
    NTSTATUS status = irp->IoStatus.Status;
    if (location->MinorFunction == IRP_MN_SET_POWER || location->MinorFunction == IRP_MN_QUERY_POWER) {
        status = STATUS_SUCCESS;
    }
    PoStartNextPowerIrp(irp);
    return Complete(irp, status, irp->IoStatus.Information);
}

// --- InterfaceSet ---

InterfaceSet::~InterfaceSet() = default;

std::u16string InterfaceSet::Enable(PDEVICE_OBJECT pdo, const GUID& guid) {
    UNICODE_STRING link{};
    if (!NT_SUCCESS(IoRegisterDeviceInterface(pdo, &guid, nullptr, &link))) {
        return {};
    }
    std::u16string text(link.Buffer, link.Length / sizeof(WCHAR));
    IoSetDeviceInterfaceState(&link, TRUE);
    RtlFreeUnicodeString(&link);
    m_entries.push_back({guid, text});
    return text;
}

void InterfaceSet::DisableAll() {
    for (Entry& entry : m_entries) {
        UNICODE_STRING link = Counted(entry.link);
        IoSetDeviceInterfaceState(&link, FALSE);
    }
    m_entries.clear();
}

std::u16string InterfaceSet::Link(const GUID& guid) const {
    for (const Entry& entry : m_entries) {
        if (entry.guid == guid) {
            return entry.link;
        }
    }
    return {};
}

} // namespace sim::drv
