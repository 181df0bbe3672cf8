// Drives HookedDispatch with random requests on the simulated machine: device-control and internal IOCTLs
// (random codes or every code the driver knows, each transfer method, random buffer sizes), power and Plug
// and Play requests, whose pointers (arguments, the caller's own buffers, structures, IDs, interfaces, bus
// relations) are null, small numbers, wild or freed addresses, pool buffers of random size, or the last bytes
// of a page followed by an unmapped one. The default machine boots once with KxTdloft loaded and capture on;
// the requests go to a hooked device of the fuzzer's own, made a hub, a host controller or a HID collection
// as the input says, which answers with random data, status and byte counts (within the buffers it has).
// AddressSanitizer reports any access outside a pool buffer, the unmapped page any read past the last valid
// byte of a page.
//
// Input: byte 0 the request kind (bits 0-1: device control, internal, power, PnP; bit 6: a URB instead) and
// code choice (bit 7: raw code from bytes 2-5, else one of the known codes by byte 6); byte 1 flags (bits 0-1 stack
// kind: plain, hub, host controller; bit 2 the parent's capture off; bit 3 a filter block from the data; bit 4 the
// driver's own mark; bit 5 log off); bytes 7-8 and 9-10 the input and output lengths; bytes 11-14
// Information; byte 15 the status; bytes 16-19 what the four argument pointers are; the rest is data.
#include <sys/mman.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "windows.h"

#include "NtPnpControl.h"
#include "NtPoolControl.h"
#include "common/ControlCodes.h"
#include "common/LoggingOptions.h"
#include "driver/capture/Capture.h"
#include "driver/capture/CaptureGate.h"
#include "driver/core/Driver.h"
#include "driver/core/Pool.h"
#include "driver/log/Log.h"
#include "driver/stacktree/Classify.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "hidclass.h"
#include "platform/sim/Machine.h"
#include "usbbusif.h"
#include "usbioctl.h"

namespace {

constexpr ULONG kFuzzTag = 0x7A7A7546; // "Fuzz"
constexpr size_t kHeaderSize = 20;
constexpr ULONG kMaxLength = 4096;

// Every IOCTL code a family of the driver records.
const ULONG kCodes[] = {
    // host controller
    0x2203FC, 0x220408, 0x220424, 0x220428, 0x220430, 0x220434, 0x220438,
    // hub
    0x220408, 0x22040C, 0x220410, 0x220414, 0x220420, 0x22043C, 0x220440, 0x220444, 0x220448, 0x220450,
    // HID
    0xB0190, 0xB0191, 0xB0192, 0xB0193, 0xB0194, 0xB0195, 0xB0197, 0xB0198, 0xB019A, 0xB019C, 0xB019E, 0xB01A0, 0xB01A2,
    0xB01A4, 0xB01A8, 0xB01BA, 0xB01BE, 0xB01C2, 0xB01E2, 0xB01E6, 0xB020B, 0xB020F,
    // internal
    0x220007, 0x22000F, 0x220013, 0x220017, 0x22001B, 0x22001F, 0x220020, 0x220027, 0x22002B, 0x220420, 0x220424,
    0x220428, 0x22042C, 0x220433, 0x220437, 0x22043B, 0x22043F, 0x220443, 0x220447, 0x22044B, 0x22044F};
constexpr size_t kCodeCount = sizeof kCodes / sizeof kCodes[0];

struct Target {
    std::unique_ptr<sim::Machine> machine;
    HANDLE control = INVALID_HANDLE_VALUE;
    PDEVICE_OBJECT device = nullptr; // the hooked device the requests go to
    PDEVICE_OBJECT parent = nullptr; // its stack's parent (the USB device of a HID collection)
    PDEVICE_OBJECT children[3] = {}; // what its bus relations may name
    PDEVICE_STACK stack = nullptr;
    PDEVOBJ_NODE parentNode = nullptr;
    PUCHAR guardPage = nullptr; // a valid page followed by an unmapped one
    PVOID busContexts[3] = {};  // the bus contexts of the hub interfaces it answers
} g_target;

// What the device does with the request it is sent.
struct Answer {
    const uint8_t* data = nullptr;
    size_t size = 0;
    ULONG_PTR information = 0;
    NTSTATUS status = STATUS_SUCCESS;
    PURB urb = nullptr; // the URB sent, whose transferred length the device sets
} g_answer;

NTSTATUS RemoveDevice(PVOID, PUSB_DEVICE_HANDLE, ULONG) {
    return STATUS_SUCCESS;
}

void Fill(PUCHAR to, ULONG length) {
    for (ULONG i = 0; i < length && g_answer.size != 0; ++i) {
        to[i] = g_answer.data[i % g_answer.size];
    }
}

// The device: writes its answer into the output buffers a device-control request has (the system buffer,
// the MDL), never into the caller's own ones, and completes with the chosen status and byte count.
NTSTATUS TargetDispatch(PDEVICE_OBJECT, PIRP Irp) {
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(Irp);
    NTSTATUS status = g_answer.status;
    // An internal request's lengths share their place with its arguments: the device writes nothing there.
    if (location->MajorFunction == IRP_MJ_DEVICE_CONTROL) {
        const auto& parameters = location->Parameters.DeviceIoControl;
        const ULONG method = METHOD_FROM_CTL_CODE(parameters.IoControlCode);
        if (method == METHOD_BUFFERED && Irp->AssociatedIrp.SystemBuffer != nullptr) {
            Fill(static_cast<PUCHAR>(Irp->AssociatedIrp.SystemBuffer),
                 std::max(parameters.InputBufferLength, parameters.OutputBufferLength));
        } else if ((method == METHOD_IN_DIRECT || method == METHOD_OUT_DIRECT) && Irp->MdlAddress != nullptr) {
            Fill(static_cast<PUCHAR>(MmGetSystemAddressForMdlSafe(Irp->MdlAddress, NormalPagePriority)),
                 MmGetMdlByteCount(Irp->MdlAddress));
        }
    }
    if (g_answer.urb != nullptr) {
        g_answer.urb->UrbBulkOrInterruptTransfer.TransferBufferLength = static_cast<ULONG>(g_answer.information);
    }
    if (location->MajorFunction == IRP_MJ_POWER) {
        PoStartNextPowerIrp(Irp);
    }
    if (status == STATUS_PENDING) {
        status = STATUS_SUCCESS;
    }
    Irp->IoStatus.Status = status;
    Irp->IoStatus.Information = g_answer.information;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return status;
}

VOID TargetUnload(PDRIVER_OBJECT) {}

NTSTATUS TargetEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING) {
    for (PDRIVER_DISPATCH& entry : DriverObject->MajorFunction) {
        entry = TargetDispatch;
    }
    DriverObject->DriverUnload = TargetUnload; // a driver may unload only with one
    return STATUS_SUCCESS;
}

PDEVICE_OBJECT NewDevice(PDRIVER_OBJECT driver) {
    PDEVICE_OBJECT device = nullptr;
    if (!NT_SUCCESS(IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device))) {
        std::abort();
    }
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return device;
}

void Boot() {
    sim::MachineOptions options;
    options.captureDriverEntry = DriverEntry;
    g_target.machine = sim::Machine::BootDefault(options);
    if (!NT_SUCCESS(g_target.machine->Status()) || !NT_SUCCESS(g_target.machine->CaptureDriverStatus())) {
        std::abort();
    }
    g_target.control =
        CreateFileA("\\\\.\\Tindaloft", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    LOGGING_OPTIONS options2 = {};
    DWORD bytes = 0;
    DeviceIoControl(g_target.control, IOCTL_TINDALOFT_GET_LOGGING_OPTIONS, nullptr, 0, &options2, sizeof options2,
                    &bytes, nullptr);
    options2.CaptureUrbs = options2.CaptureUsbIntern = options2.CaptureHubIoctl = options2.CaptureHcdIoctl =
        options2.CaptureHidIoctl = options2.CapturePnp = options2.CapturePower = 1;
    options2.FilterPresent = 0;
    DeviceIoControl(g_target.control, IOCTL_TINDALOFT_SET_LOGGING_OPTIONS, &options2, sizeof options2, nullptr, 0,
                    &bytes, nullptr);
    ULONG word = 0;
    if (!DeviceIoControl(g_target.control, IOCTL_TINDALOFT_ENABLE_LOG, &word, sizeof word, nullptr, 0, &bytes,
                         nullptr)) {
        std::abort();
    }

    // The fuzzer's device, in a stack of the tree, hooked and captured, under a parent stack.
    nt::pnp::RegisterDriverImage(u"fuzztarget", TargetEntry);
    PDRIVER_OBJECT driver = nullptr;
    if (!NT_SUCCESS(nt::pnp::LoadDriver(u"fuzztarget", &driver))) {
        std::abort();
    }
    g_target.device = NewDevice(driver);
    g_target.parent = NewDevice(driver);
    for (PDEVICE_OBJECT& child : g_target.children) {
        child = NewDevice(driver);
    }
    PDEVICE_STACK parent = CreateStack(g_target.parent, FALSE, nullptr);
    g_target.stack = CreateStack(g_target.device, FALSE, nullptr);
    if (parent == nullptr || g_target.stack == nullptr || !LinkChildStack(parent, g_target.stack)) {
        std::abort();
    }
    StackRelease(parent);
    StackRelease(g_target.stack); // the tree keeps it
    PDEVOBJ_NODE node = FindDeviceNode(g_target.device, TRUE);
    g_target.parentNode = FindDeviceNode(g_target.parent, TRUE);
    DeviceNodeSetFlags(node, DEVOBJ_SELECTED);
    HookNodeDriver(node);
    DeviceNodeClearFlags(node, DEVOBJ_CAPTURE_OFF);
    DeviceNodeRelease(node);
    DeviceNodeRelease(g_target.parentNode);

    // A page the kernel takes for valid memory, with an unmapped one after it.
    void* pages = mmap(nullptr, 2 * PAGE_SIZE, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (pages == MAP_FAILED || mprotect(static_cast<char*>(pages) + PAGE_SIZE, PAGE_SIZE, PROT_NONE) != 0) {
        std::abort();
    }
    g_target.guardPage = static_cast<PUCHAR>(pages);
    nt::pool::RegisterRange(g_target.guardPage, PAGE_SIZE);
    for (PVOID& context : g_target.busContexts) {
        context = ExAllocatePoolWithTag(NonPagedPool, 16, kFuzzTag);
    }
}

// Memory one request points at; freed after it.
struct Scratch {
    std::vector<PVOID> pool;
    std::vector<PMDL> mdls;
    ~Scratch() {
        for (PMDL mdl : mdls) {
            IoFreeMdl(mdl);
        }
        for (PVOID p : pool) {
            ExFreePoolWithTag(p, kFuzzTag);
        }
    }
    PUCHAR Allocate(ULONG size, const uint8_t* data, size_t dataSize) {
        auto* p = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPool, size != 0 ? size : 1, kFuzzTag));
        for (ULONG i = 0; i < size; ++i) {
            p[i] = dataSize != 0 ? data[i % dataSize] : 0;
        }
        pool.push_back(p);
        return p;
    }
};

// A pointer of the kind `choice` says, to `size` bytes where it points at memory.
PVOID Pointer(uint8_t choice, ULONG size, Scratch& scratch, const uint8_t* data, size_t dataSize) {
    switch (choice & 7) {
    case 0: return nullptr;
    case 1: return reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(choice) << 4); // a small number
    case 2: return reinterpret_cast<PVOID>(0xDEAD00000000ull + choice);          // never mapped
    case 3: {
        PVOID freed = ExAllocatePoolWithTag(NonPagedPool, 64, kFuzzTag);
        ExFreePoolWithTag(freed, kFuzzTag);
        return freed;
    }
    case 4:
    case 5: // the last bytes of the valid page
        return g_target.guardPage + PAGE_SIZE - 1 - (choice >> 3);
    default: return scratch.Allocate(size != 0 ? size : (choice >> 3) + 1, data, dataSize);
    }
}

uint16_t Load16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

NTSTATUS StatusOf(uint8_t choice) {
    static const NTSTATUS statuses[] = {STATUS_SUCCESS,       STATUS_SUCCESS,          STATUS_UNSUCCESSFUL,
                                        STATUS_NOT_SUPPORTED, STATUS_BUFFER_OVERFLOW,  STATUS_PENDING,
                                        STATUS_CANCELLED,     STATUS_INVALID_PARAMETER};
    return statuses[choice % (sizeof statuses / sizeof statuses[0])];
}

void SendDeviceControl(bool internal, ULONG code, const uint8_t* header, Scratch& scratch, const uint8_t* data,
                       size_t dataSize, bool own) {
    const ULONG inLength = Load16(header + 7) % (kMaxLength + 1);
    const ULONG outLength = Load16(header + 9) % (kMaxLength + 1);
    const ULONG method = METHOD_FROM_CTL_CODE(code);
    PVOID input = inLength ? scratch.Allocate(inLength, data, dataSize) : nullptr;
    PVOID output = outLength ? scratch.Allocate(outLength, data, dataSize) : nullptr;
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus = {};
    PIRP irp = IoBuildDeviceIoControlRequest(code, g_target.device, input, inLength, output, outLength, internal, &done,
                                             &ioStatus);
    if (irp == nullptr) {
        return;
    }
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    if (internal) {
        auto& others = next->Parameters.Others;
        PVOID* slots[4] = {&others.Argument1, &others.Argument2, &others.Argument3, &others.Argument4};
        for (int i = 0; i < 4; ++i) {
            // Argument 3 holds the code: it stays.
            if (i != 2 && header[16 + i] != 0xFF) {
                *slots[i] = Pointer(header[16 + i], header[16 + i] * 4u, scratch, data, dataSize);
            }
        }
    } else if (method == METHOD_NEITHER) {
        // The caller's own buffers, whatever they are.
        next->Parameters.DeviceIoControl.Type3InputBuffer = Pointer(header[16], inLength, scratch, data, dataSize);
        irp->UserBuffer = Pointer(header[17], outLength, scratch, data, dataSize);
    }
    if (own) {
        CaptureMarkOwnRequest(irp);
    }
    IoCallDriver(g_target.device, irp);
}

void SendMajor(UCHAR major, const uint8_t* header, Scratch& scratch, const uint8_t* data, size_t dataSize, bool own) {
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus = {};
    PIRP irp = IoBuildSynchronousFsdRequest(major, g_target.device, nullptr, 0, nullptr, &done, &ioStatus);
    if (irp == nullptr) {
        return;
    }
    PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
    const uint8_t minor = header[6];
    if (major == IRP_MJ_POWER) {
        next->MinorFunction = minor % 6;
        std::memcpy(&next->Parameters.Others.Argument1, header + 2, 4); // whatever the parameters say
        next->Parameters.Others.Argument2 = reinterpret_cast<PVOID>(static_cast<ULONG_PTR>(header[11] & 7));
        if (next->MinorFunction == IRP_MN_POWER_SEQUENCE) {
            next->Parameters.PowerSequence.PowerSequence =
                static_cast<PPOWER_SEQUENCE>(Pointer(header[16], sizeof(POWER_SEQUENCE), scratch, data, dataSize));
        }
    } else {
        // Plug and Play, except removal (which would take the fuzzer's device out of the tree).
        static const UCHAR minors[] = {IRP_MN_START_DEVICE,       IRP_MN_QUERY_DEVICE_RELATIONS,
                                       IRP_MN_QUERY_INTERFACE,    IRP_MN_QUERY_ID,
                                       IRP_MN_QUERY_CAPABILITIES, IRP_MN_QUERY_DEVICE_RELATIONS};
        next->MinorFunction = minors[minor % (sizeof minors / sizeof minors[0])];
        irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
        switch (next->MinorFunction) {
        case IRP_MN_QUERY_DEVICE_RELATIONS: {
            next->Parameters.QueryDeviceRelations.Type = header[11] & 1 ? TargetDeviceRelation : BusRelations;
            // The bus driver's report: the fuzzer's children or addresses that are no device objects, under a
            // count that may run past the report.
            if ((header[16] & 7) >= 6) {
                const ULONG count = header[17] % 5;
                auto* relations = reinterpret_cast<PDEVICE_RELATIONS>(
                    scratch.Allocate(sizeof(DEVICE_RELATIONS) + count * sizeof(PDEVICE_OBJECT), nullptr, 0));
                relations->Count = header[18] % 8;
                auto* objects = reinterpret_cast<PDEVICE_OBJECT*>(reinterpret_cast<PUCHAR>(relations) +
                                                                  offsetof(DEVICE_RELATIONS, Objects));
                for (ULONG i = 0; i < count; ++i) {
                    const uint8_t pick = data != nullptr && dataSize != 0 ? data[i % dataSize] : 0;
                    objects[i] = pick % 4 < 3
                                     ? g_target.children[pick % 3]
                                     : static_cast<PDEVICE_OBJECT>(Pointer(pick >> 2 & 3, 0, scratch, nullptr, 0));
                }
                g_answer.information = reinterpret_cast<ULONG_PTR>(relations);
            } else {
                g_answer.information = reinterpret_cast<ULONG_PTR>(Pointer(header[16] & 3, 0, scratch, nullptr, 0));
            }
            break;
        }
        case IRP_MN_QUERY_INTERFACE: {
            next->Parameters.QueryInterface.InterfaceType =
                header[17] & 1
                    ? &USB_BUS_INTERFACE_HUB_GUID
                    : static_cast<const GUID*>(Pointer(header[17] >> 1, sizeof(GUID), scratch, data, dataSize));
            const ULONG size = sizeof(USB_BUS_INTERFACE_HUB_V8);
            auto* hub = static_cast<PUSB_BUS_INTERFACE_HUB_V8>(Pointer(header[16], size, scratch, data, dataSize));
            if ((header[16] & 7) >= 6) {
                hub->Size = Load16(data != nullptr && dataSize >= 2 ? data : header + 7) % (size + 1);
                hub->Version = header[18] % 10;
                hub->BusContext = g_target.busContexts[header[19] % 3];
                hub->RemoveUsbDevice = RemoveDevice;
            }
            next->Parameters.QueryInterface.Interface = reinterpret_cast<PINTERFACE>(hub);
            break;
        }
        case IRP_MN_QUERY_ID:
            next->Parameters.QueryId.IdType = static_cast<BUS_QUERY_ID_TYPE>(header[17] % 4);
            g_answer.information =
                reinterpret_cast<ULONG_PTR>(Pointer(header[16], (header[18] % 64 + 1) * 2, scratch, data, dataSize));
            break;
        }
    }
    if (own) {
        CaptureMarkOwnRequest(irp);
    }
    IoCallDriver(g_target.device, irp);
}

// Every URB function the driver records, and the first few it does not.
const USHORT kUrbFunctions[] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11,     12,     13,     14,
                                15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26,     27,     28,     29,
                                30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41,     42,     43,     44,
                                45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 60, 0x1000, 0x1001, 0x1002, 0x1003};
constexpr size_t kUrbFunctionCount = sizeof kUrbFunctions / sizeof kUrbFunctions[0];
constexpr size_t kMdlSlot = offsetof(URB, UrbBulkOrInterruptTransfer.TransferBufferMDL);

// A URB of random bytes in pool, through the internal SUBMIT_URB request: the driver must take its
// function, Length, pointers, counts and handles as they come.
void SendUrb(const uint8_t* header, Scratch& scratch, const uint8_t* data, size_t dataSize, bool own) {
    const USHORT word = Load16(header + 2);
    const USHORT function = static_cast<USHORT>(kUrbFunctions[(word & 0x7FFF) % kUrbFunctionCount] |
                                                (word & 0x8000 ? URB_FUNCTION_SUBMIT_SYNCHRONOUS : 0));
    const ULONG memory = std::max<ULONG>(sizeof(URB), Load16(header + 9) % 1024);
    auto urb = reinterpret_cast<PURB>(scratch.Allocate(memory, data, dataSize));
    urb->UrbHeader.Function = function;
    urb->UrbHeader.Length = Load16(header + 7);
    const auto choice = [&](size_t i) { return dataSize != 0 ? data[(i * 13 + 5) % dataSize] : uint8_t{0}; };
    for (size_t slot = 8; slot + sizeof(PVOID) <= memory && slot < 256; slot += sizeof(PVOID)) {
        const uint8_t kind = choice(slot);
        PVOID value = nullptr;
        if (slot == kMdlSlot) {
            if ((kind & 1) == 0) {
                const ULONG length = Load16(header + 11) % (kMaxLength + 1) + 1;
                PMDL mdl = IoAllocateMdl(scratch.Allocate(length, data, dataSize), length, FALSE, FALSE, nullptr);
                if (mdl != nullptr) {
                    MmBuildMdlForNonPagedPool(mdl);
                    scratch.mdls.push_back(mdl);
                }
                value = mdl;
            }
        } else if (kind & 0x80) {
            continue; // the data's own bytes
        } else {
            value = Pointer(kind, (kind >> 3) * 64u, scratch, data, dataSize);
        }
        std::memcpy(reinterpret_cast<PUCHAR>(urb) + slot, &value, sizeof value);
    }
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus = {};
    PIRP irp = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_USB_SUBMIT_URB, g_target.device, nullptr, 0, nullptr, 0,
                                             TRUE, &done, &ioStatus);
    if (irp == nullptr) {
        return;
    }
    IoGetNextIrpStackLocation(irp)->Parameters.Others.Argument1 = urb;
    if (own) {
        CaptureMarkOwnRequest(irp);
    }
    g_answer.urb = urb;
    IoCallDriver(g_target.device, irp);
    g_answer.urb = nullptr;
}

// At exit, before the kernel's own statics go: the machine taken down, which unloads the capture driver; it
// must give back every allocation of its own, whatever the run did.
void Shutdown() {
    CloseHandle(g_target.control);
    IoDeleteDevice(g_target.device);
    IoDeleteDevice(g_target.parent);
    for (PDEVICE_OBJECT child : g_target.children) {
        IoDeleteDevice(child);
    }
    g_target.machine->Shutdown();
    g_target.machine.reset();
    for (PVOID context : g_target.busContexts) {
        ExFreePoolWithTag(context, kFuzzTag);
    }
    nt::pool::UnregisterRange(g_target.guardPage, PAGE_SIZE);
    for (ULONG tag : {KXTD_POOL_TAG, LOG_TAG_CAPTURE, LOG_TAG_CHANGE}) {
        if (nt::pool::Stats(tag).liveCount != 0) {
            std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    Boot();
    std::atexit(Shutdown);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* input, size_t size) {
    if (size < kHeaderSize) {
        return 0;
    }
    const uint8_t* header = input;
    const uint8_t* data = input + kHeaderSize;
    const size_t dataSize = size - kHeaderSize;
    const uint8_t flags = header[1];

    // The stack's kind and the gates.
    g_target.stack->DeviceClass = (flags & 3) == 1 ? 9 : 0;
    g_target.stack->UpperClass = (flags & 3) == 2 ? UPPER_CLASS_HOST_CONTROLLER : UPPER_CLASS_NONE;
    if (flags & 4) {
        DeviceNodeSetFlags(g_target.parentNode, DEVOBJ_CAPTURE_OFF);
    } else {
        DeviceNodeClearFlags(g_target.parentNode, DEVOBJ_CAPTURE_OFF);
    }
    g_Driver.FilterPresent = (flags & 8) != 0;
    if (g_Driver.FilterPresent) {
        for (size_t i = 0; i < FILTER_BLOCK_SIZE; ++i) {
            g_Driver.CaptureFilter.Bytes[i] = dataSize != 0 ? data[(i * 7) % dataSize] & 1 : 0;
        }
    }
    LogSetActive(g_Driver.CaptureLog, (flags & 32) == 0);

    g_answer = {data, dataSize, Load32(header + 11), StatusOf(header[15]), nullptr};
    Scratch scratch;
    if (header[0] & 0x40) {
        SendUrb(header, scratch, data, dataSize, (flags & 16) != 0);
        return 0;
    }
    const uint8_t kind = header[0] & 3;
    const ULONG code = header[0] & 0x80 ? Load32(header + 2) : kCodes[header[6] % kCodeCount];
    switch (kind) {
    case 0:
    case 1: SendDeviceControl(kind == 1, code, header, scratch, data, dataSize, (flags & 16) != 0); break;
    case 2: SendMajor(IRP_MJ_POWER, header, scratch, data, dataSize, (flags & 16) != 0); break;
    case 3: SendMajor(IRP_MJ_PNP, header, scratch, data, dataSize, (flags & 16) != 0); break;
    }
    return 0;
}
