// URB capture on the request path: a client submits URBs to a device object of a hooked driver, which
// answers each at once. Three rows per workload, the same requests every time:
//   Captured   the device object is selected and the capture log is active: "urbI", "urbC" and "urbR" per
//              URB, the completion routine in place, the IN data copied into the "urbC" record;
//   LogOff     the same device object with the capture log inactive: what the hook costs while nothing is
//              recorded (node lookup, gates);
//   Unhooked   a device of a driver that is not hooked, answering the same way: the floor.
// Items per second is URBs per second; the overhead per request is the difference of the rows' times.
#include <benchmark/benchmark.h>

#include <cstring>
#include <mutex>

#include "NtControl.h"
#include "NtPnpControl.h"
#include "NtVersionControl.h"
#include "common/FourCC.h"
#include "driver/Capture.h"
#include "driver/DescriptorCache.h"
#include "driver/Driver.h"
#include "driver/HandleTables.h"
#include "driver/Log.h"
#include "driver/StackTree.h"
#include "usb.h"
#include "usbioctl.h"

namespace {

constexpr ULONG kBenchTag = FourCC("BnUr");
constexpr GUID kUsbSetupClass = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

enum Mode : int64_t { Captured, LogOff, Unhooked };
enum Workload : int64_t { BulkIn512, GetDescriptor18 };

NTSTATUS TargetDispatch(PDEVICE_OBJECT, PIRP Irp) {
    Irp->IoStatus.Status = STATUS_SUCCESS;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

NTSTATUS TargetEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING) {
    for (PDRIVER_DISPATCH& entry : DriverObject->MajorFunction) {
        entry = TargetDispatch;
    }
    return STATUS_SUCCESS;
}

// The sender keeps its IRP: the completion walk stops at its routine.
NTSTATUS KeepIrp(PDEVICE_OBJECT, PIRP, PVOID) { return STATUS_MORE_PROCESSING_REQUIRED; }

// KxTdloft loaded, and a device of a hooked driver whose requests are recorded; set up once per process.
// The bulk IN pipe of the target's configuration, as the driver learns it from a select request.
constexpr ULONG_PTR kBulkInPipe = 0xFFFFA00012340070;

struct Machine {
    PDEVICE_OBJECT target = nullptr; // of the hooked driver
    PDEVICE_OBJECT plain = nullptr;  // of a driver that is not hooked
    PDEVOBJ_NODE node = nullptr;
    INTERFACE_RECORD interface = {};

    Machine() {
        nt::ResetKernelState();
        nt::version::SelectRelease(nt::version::Release::Windows7);
        nt::pnp::RegisterDriverImage(u"KxTdloft", DriverEntry);
        nt::pnp::RegisterSetupClass(kUsbSetupClass, u"USB");
        nt::pnp::AddClassFilter(kUsbSetupClass, u"KxTdloft", nt::pnp::FilterPosition::Upper);
        nt::pnp::LoadDriver(u"KxTdloft");
        nt::pnp::RegisterDriverImage(u"benchusb", TargetEntry);
        PDRIVER_OBJECT driver = nullptr;
        nt::pnp::LoadDriver(u"benchusb", &driver);
        IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &target);
        target->Flags &= ~DO_DEVICE_INITIALIZING;
        nt::pnp::RegisterDriverImage(u"benchplain", TargetEntry);
        nt::pnp::LoadDriver(u"benchplain", &driver);
        IoCreateDevice(driver, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &plain);
        plain->Flags &= ~DO_DEVICE_INITIALIZING;
        PDEVICE_STACK stack = CreateStack(target, FALSE, nullptr);
        interface.PipeCount = interface.Info.NumberOfPipes = 1;
        interface.Info.Pipes[0] = {512, 0x81, 0, UsbdPipeTypeBulk, reinterpret_cast<USBD_PIPE_HANDLE>(kBulkInPipe), 0, 0};
        PipeTableInsert(kBulkInPipe, &interface, 0, stack);
        StackRelease(stack);
        node = FindDeviceNode(target, TRUE);
        DeviceNodeSetFlags(node, DEVOBJ_SELECTED);
        HookNodeDriver(node);
        DeviceNodeClearFlags(node, DEVOBJ_CAPTURE_OFF);
        DeviceNodeRelease(node);
    }
};

Machine& TheMachine() {
    static Machine machine;
    return machine;
}

void BM_Urb(benchmark::State& state) {
    static std::once_flag once;
    std::call_once(once, [] { TheMachine(); });
    const Machine& machine = TheMachine();
    const auto mode = static_cast<Mode>(state.range(0));
    const auto workload = static_cast<Workload>(state.range(1));
    if (state.thread_index() == 0) {
        LogSetActive(g_Driver.CaptureLog, mode == Captured);
    }

    // This thread's request: one IRP and URB, reused.
    const ULONG length = workload == BulkIn512 ? 512 : 18;
    auto buffer = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPoolNx, length, kBenchTag));
    std::memset(buffer, 0x5A, length);
    auto urb = static_cast<PURB>(ExAllocatePoolWithTag(NonPagedPoolNx, sizeof(URB), kBenchTag));
    std::memset(urb, 0, sizeof(URB));
    if (workload == BulkIn512) {
        urb->UrbHeader.Function = URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER;
        urb->UrbHeader.Length = sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER);
        urb->UrbBulkOrInterruptTransfer.PipeHandle = reinterpret_cast<USBD_PIPE_HANDLE>(kBulkInPipe);
        urb->UrbBulkOrInterruptTransfer.TransferFlags = USBD_TRANSFER_DIRECTION_IN;
        urb->UrbBulkOrInterruptTransfer.TransferBufferLength = length;
        urb->UrbBulkOrInterruptTransfer.TransferBuffer = buffer;
    } else {
        urb->UrbHeader.Function = URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE;
        urb->UrbHeader.Length = sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST);
        urb->UrbControlDescriptorRequest.DescriptorType = USB_STRING_DESCRIPTOR_TYPE;
        urb->UrbControlDescriptorRequest.TransferBufferLength = length;
        urb->UrbControlDescriptorRequest.TransferBuffer = buffer;
    }
    PIRP irp = IoAllocateIrp(1, FALSE);
    const PDEVICE_OBJECT device = mode == Unhooked ? machine.plain : machine.target;

    for (auto _ : state) {
        IoReuseIrp(irp, STATUS_SUCCESS);
        PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
        next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
        next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
        next->Parameters.Others.Argument1 = urb;
        IoSetCompletionRoutine(irp, KeepIrp, nullptr, TRUE, TRUE, TRUE);
        benchmark::DoNotOptimize(IoCallDriver(device, irp));
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));

    IoFreeIrp(irp);
    ExFreePoolWithTag(urb, kBenchTag);
    ExFreePoolWithTag(buffer, kBenchTag);
    if (state.thread_index() == 0) {
        LogSetActive(g_Driver.CaptureLog, FALSE);
        LogFreeAll(g_Driver.CaptureLog);
    }
}

void Rows(benchmark::internal::Benchmark* b) {
    b->ArgNames({"mode", "workload"});
    for (int64_t workload : {BulkIn512, GetDescriptor18}) {
        for (int64_t mode : {Captured, LogOff, Unhooked}) {
            b->Args({mode, workload});
        }
    }
}
BENCHMARK(BM_Urb)->Apply(Rows);
// Several processors submitting at once share the capture log's lock.
BENCHMARK(BM_Urb)->Args({Captured, BulkIn512})->Args({LogOff, BulkIn512})->Threads(4);

} // namespace
