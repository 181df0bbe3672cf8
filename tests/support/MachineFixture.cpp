#include "tests/support/MachineFixture.h"

#include <cstring>

#include "NtObjectNamespace.h"
#include "NtPoolControl.h"
#include "NtText.h"
#include "platform/sim/internal/DriverFramework.h"
#include "usbioctl.h"

namespace tdl::test {

namespace {

NTSTATUS Wait(PDEVICE_OBJECT target, PIRP irp, KEVENT& event, IO_STATUS_BLOCK& ioStatus, ULONG_PTR* information) {
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

std::u16string DeviceName(PDEVICE_OBJECT device) { return nt::ob::NameOf(device).value_or(u""); }

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
    return sim::drv::SendInternalIoctl(device, code, argument1, argument2);
}

NTSTATUS SubmitUrb(PDEVICE_OBJECT device, _URB* urb) {
    return InternalRequest(device, IOCTL_INTERNAL_USB_SUBMIT_URB, urb);
}

NTSTATUS QueryInterface(PDEVICE_OBJECT device, const GUID& type, USHORT size, USHORT version, PINTERFACE interface,
                        PVOID specificData) {
    PDEVICE_OBJECT top = IoGetAttachedDeviceReference(device);
    NTSTATUS status = sim::drv::QueryInterface(top, type, size, version, interface, specificData);
    ObDereferenceObject(top);
    return status;
}

void MachineTest::TearDown() {
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

sim::Machine& MachineTest::BootDefault(nt::version::Release release, PDRIVER_INITIALIZE captureDriverEntry) {
    sim::MachineOptions options;
    options.release = release;
    options.captureDriverEntry = captureDriverEntry;
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
