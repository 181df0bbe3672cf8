// URB capture on the request path: a client submits URBs to a device object of a hooked driver, which
// answers each at once. Three rows per workload, the same requests every time:
//   Captured   the device object is selected and the capture log is active: "urbI", "urbC" and "urbR" per
//              URB, the completion routine in place, the IN data copied into the "urbC" record; a reader
//              drains the log meanwhile on a thread of its own, a block per read as the capture thread does
//              (at once while it gets full blocks, after a pause when the newest block was still filling);
//   LogOff     the same device object with the capture log inactive: what the hook costs while nothing is
//              recorded (node lookup, gates);
//   Unhooked   a device of a driver that is not hooked, answering the same way: the floor;
//   LogOnly    no request at all: the three records of a captured bulk IN URB written straight into the
//              log (its reserve-and-fill, the part done under the log's lock), the reader draining as in
//              Captured. One thread's LogOnly time over its Captured time is the share of a URB spent in
//              the log; four threads' LogOnly rate is the most URBs per second the log lets through.
// Items per second is URBs per second; the overhead per request is the difference of the rows' times.
// Captured rows count what the log did with the records they wrote:
//   records/s   records written, per second      lost   records dropped with a recycled block (a gap)
//   lost%       lost of written                   reads  read requests that returned records
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "NtControl.h"
#include "NtPnpControl.h"
#include "NtPoolControl.h"
#include "NtVersionControl.h"
#include "common/FourCC.h"
#include "common/RecordPayloads.h"
#include "common/RecordTags.h"
#include "driver/capture/Capture.h"
#include "driver/core/Driver.h"
#include "driver/log/Log.h"
#include "driver/nodes/HandleTables.h"
#include "driver/stacktree/DescriptorCache.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "usb.h"
#include "usbioctl.h"

namespace {

constexpr ULONG kBenchTag = FourCC("BnUr");
constexpr GUID kUsbSetupClass = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

enum Mode : int64_t { Captured, LogOff, Unhooked, LogOnly };
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
NTSTATUS KeepIrp(PDEVICE_OBJECT, PIRP, PVOID) {
    return STATUS_MORE_PROCESSING_REQUIRED;
}

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
        interface.Info.Pipes[0] = {512, 0x81, 0, UsbdPipeTypeBulk, reinterpret_cast<USBD_PIPE_HANDLE>(kBulkInPipe),
                                   0,   0};
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

// Drains the capture log while a Captured row runs: block after block while they come full, a short pause
// after a read that found the newest block still filling (or nothing), so that writers fill whole blocks.
class Reader {
public:
    Reader() : m_buffer(LOG_BLOCK_DATA_SIZE) {
        nt::pool::RegisterRange(m_buffer.data(), m_buffer.size());
        m_thread = std::thread([this] { Run(); });
    }
    ~Reader() {
        m_stop = true;
        m_thread.join();
        nt::pool::UnregisterRange(m_buffer.data(), m_buffer.size());
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;
    uint64_t Reads() const { return m_reads; }

private:
    // A block this full came from a busy log: the next one is likely full too.
    static constexpr ULONG kFullEnough = LOG_BLOCK_DATA_SIZE - 4096;

    void Run() {
        while (!m_stop) {
            ULONG returned = 0;
            LogReadBlock(g_Driver.CaptureLog, m_buffer.data(), static_cast<ULONG>(m_buffer.size()), &returned);
            if (returned != 0) {
                ++m_reads;
            }
            if (returned < kFullEnough) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
    }

    std::vector<UCHAR> m_buffer;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<uint64_t> m_reads{0};
};

VOID CopyTransfer(PRECORD_DESCRIPTOR record, PVOID buffer, PIRP, PVOID, BOOLEAN) {
    RecordCopyBuffer(record, buffer, nullptr, record->Part2Size);
}

// The records a captured bulk IN URB writes, with the sizes the hook gives them: "urbI" (part 1, no data),
// "urbR" (header only) and "urbC" (part 1 and the IN data).
VOID WriteUrbRecords(PVOID buffer, ULONG length) {
    static const UCHAR part1[sizeof(URB_RECORD_BULK_OR_INTERRUPT_TRANSFER)] = {};
    RECORD_HEADER_INFO header = {};
    header.Function = URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER;
    for (const ULONG tag : {LogTag::urbI, LogTag::urbR, LogTag::urbC}) {
        const bool urb = tag != LogTag::urbR;
        RECORD_DESCRIPTOR record;
        RecordDescribe(&record, tag, urb ? sizeof part1 : 0, 0);
        if (urb) {
            RecordSetTransfer(&record, tag == LogTag::urbC ? length : 0);
        }
        record.Header = &header;
        record.Part1Source = urb ? part1 : nullptr;
        LogWriteRecord(g_Driver.CaptureLog, &record, tag == LogTag::urbC ? CopyTransfer : nullptr, buffer, nullptr,
                       nullptr);
    }
}

LOG_STATISTICS LogStatistics() {
    LOG_STATISTICS statistics = {};
    LogQueryStatistics(g_Driver.CaptureLog, &statistics);
    return statistics;
}

void BM_Urb(benchmark::State& state) {
    static std::once_flag once;
    std::call_once(once, [] { TheMachine(); });
    const Machine& machine = TheMachine();
    const auto mode = static_cast<Mode>(state.range(0));
    const auto workload = static_cast<Workload>(state.range(1));
    std::unique_ptr<Reader> reader;
    LOG_STATISTICS before = {};
    if (state.thread_index() == 0) {
        const bool logged = mode == Captured || mode == LogOnly;
        LogSetActive(g_Driver.CaptureLog, logged);
        before = LogStatistics();
        if (logged) {
            reader = std::make_unique<Reader>();
        }
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

    if (mode == LogOnly) {
        for (auto _ : state) {
            WriteUrbRecords(buffer, length);
        }
    } else {
        for (auto _ : state) {
            IoReuseIrp(irp, STATUS_SUCCESS);
            PIO_STACK_LOCATION next = IoGetNextIrpStackLocation(irp);
            next->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
            next->Parameters.DeviceIoControl.IoControlCode = IOCTL_INTERNAL_USB_SUBMIT_URB;
            next->Parameters.Others.Argument1 = urb;
            IoSetCompletionRoutine(irp, KeepIrp, nullptr, TRUE, TRUE, TRUE);
            benchmark::DoNotOptimize(IoCallDriver(device, irp));
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));

    IoFreeIrp(irp);
    ExFreePoolWithTag(urb, kBenchTag);
    ExFreePoolWithTag(buffer, kBenchTag);
    if (state.thread_index() == 0) {
        LogSetActive(g_Driver.CaptureLog, FALSE);
        if (reader != nullptr) {
            const uint64_t reads = reader->Reads();
            reader.reset();
            const LOG_STATISTICS after = LogStatistics();
            const auto written = static_cast<double>(after.RecordsWritten - before.RecordsWritten);
            const auto lost = static_cast<double>(after.RecordsLost - before.RecordsLost);
            state.counters["records/s"] = benchmark::Counter(written, benchmark::Counter::kIsRate);
            state.counters["lost"] = lost;
            state.counters["lost%"] = written != 0 ? 100.0 * lost / written : 0;
            state.counters["reads"] = static_cast<double>(reads);
        }
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
    b->Args({LogOnly, BulkIn512});
}
BENCHMARK(BM_Urb)->Apply(Rows);
// Several processors submitting at once share the capture log's lock; the unhooked row shows how far the
// stand-in's I/O manager alone scales over them, the ceiling of the other two.
BENCHMARK(BM_Urb)
    ->Args({Captured, BulkIn512})
    ->Args({LogOff, BulkIn512})
    ->Args({Unhooked, BulkIn512})
    ->Args({LogOnly, BulkIn512})
    ->Threads(4)
    ->UseRealTime();

} // namespace
