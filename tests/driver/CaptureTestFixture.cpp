#include "tests/driver/CaptureTestFixture.h"

#include <algorithm>
#include <string>

#include "NtPnpControl.h"
#include "common/ControlCodes.h"
#include "common/FourCC.h"
#include "driver/capture/CaptureGate.h"
#include "usbioctl.h"

namespace capturetest {

namespace {

constexpr ULONG kTestTag = FourCC("CapT");
constexpr char16_t kTargetService[] = u"captarget";
constexpr char16_t kUpperService[] = u"capupper";

TargetBehaviour g_target;
std::vector<CallerCall> g_callerCalls;

VOID TargetCancel(PDEVICE_OBJECT, PIRP Irp) {
    IoReleaseCancelSpinLock(Irp->CancelIrql);
    auto& queued = g_target.queued;
    queued.erase(std::remove(queued.begin(), queued.end(), Irp), queued.end());
    Irp->IoStatus.Status = STATUS_CANCELLED;
    Irp->IoStatus.Information = 0;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
}

NTSTATUS TargetDispatch(PDEVICE_OBJECT, PIRP Irp) {
    ++g_target.calls;
    PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(Irp);
    if (location->MajorFunction == IRP_MJ_INTERNAL_DEVICE_CONTROL &&
        location->Parameters.DeviceIoControl.IoControlCode == IOCTL_INTERNAL_USB_SUBMIT_URB) {
        auto urb = static_cast<PURB>(location->Parameters.Others.Argument1);
        if (g_target.device) {
            g_target.device(urb);
        }
        urb->UrbHeader.Status = g_target.urbStatus;
    }
    if (g_target.pend) {
        IoMarkIrpPending(Irp);
        IoSetCancelRoutine(Irp, TargetCancel);
        g_target.queued.push_back(Irp);
        return STATUS_PENDING;
    }
    const NTSTATUS status = g_target.answer ? g_target.answer(Irp) : g_target.status;
    Irp->IoStatus.Status = status;
    IoCompleteRequest(Irp, IO_NO_INCREMENT);
    return status;
}

NTSTATUS UpperDispatch(PDEVICE_OBJECT DeviceObject, PIRP Irp) {
    PDEVICE_OBJECT lower = *static_cast<PDEVICE_OBJECT*>(DeviceObject->DeviceExtension);
    IoCopyCurrentIrpStackLocationToNext(Irp);
    return IoCallDriver(lower, Irp);
}

NTSTATUS TargetEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING) {
    for (PDRIVER_DISPATCH& entry : DriverObject->MajorFunction) {
        entry = TargetDispatch;
    }
    return STATUS_SUCCESS;
}

NTSTATUS UpperEntry(PDRIVER_OBJECT DriverObject, PUNICODE_STRING) {
    for (PDRIVER_DISPATCH& entry : DriverObject->MajorFunction) {
        entry = UpperDispatch;
    }
    return STATUS_SUCCESS;
}

PDEVICE_OBJECT CreateDevice(const char16_t* service, PDRIVER_INITIALIZE entry) {
    nt::pnp::RegisterDriverImage(service, entry);
    PDRIVER_OBJECT driver = nullptr;
    EXPECT_EQ(nt::pnp::LoadDriver(service, &driver), STATUS_SUCCESS);
    PDEVICE_OBJECT device = nullptr;
    EXPECT_EQ(IoCreateDevice(driver, sizeof(PDEVICE_OBJECT), nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &device),
              STATUS_SUCCESS);
    device->Flags &= ~DO_DEVICE_INITIALIZING;
    return device;
}

ULONG64 Field64(const ReadRecord& record, size_t offset) {
    return tdl::LoadLe<ULONG64>(record.bytes.data() + offset);
}

} // namespace

TargetBehaviour& Target() {
    return g_target;
}
std::vector<CallerCall>& CallerCalls() {
    return g_callerCalls;
}

NTSTATUS CallerRoutine(PDEVICE_OBJECT, PIRP Irp, PVOID Context) {
    g_callerCalls.push_back({Context, Irp->IoStatus.Status, Irp->PendingReturned != FALSE, Irp->Cancel != FALSE});
    if (Irp->PendingReturned && Irp->CurrentLocation <= Irp->StackCount) {
        IoMarkIrpPending(Irp);
    }
    return STATUS_SUCCESS;
}

NTSTATUS SentRequest::Wait() {
    if (returned == STATUS_PENDING) {
        KeWaitForSingleObject(&done, Executive, KernelMode, FALSE, nullptr);
        return ioStatus.Status;
    }
    return returned;
}

void CaptureFixture::SetUp() {
    g_target = TargetBehaviour{};
    g_callerCalls.clear();
    LoadedDriver::SetUp();
    if (HasFatalFailure()) {
        return;
    }
    m_pdo = CreateDevice(kTargetService, TargetEntry);
    m_upper = CreateDevice(kUpperService, UpperEntry);
    PDEVICE_OBJECT lower = IoAttachDeviceToDeviceStack(m_upper, m_pdo);
    *static_cast<PDEVICE_OBJECT*>(m_upper->DeviceExtension) = lower;

    // The tree learns the stack; the target's driver is selected and hooked, and its capture is on.
    m_stack = CreateStack(m_pdo, FALSE, nullptr);
    ASSERT_NE(m_stack, nullptr);
    StackRelease(m_stack);
    m_node = FindDeviceNode(m_pdo, TRUE);
    ASSERT_NE(m_node, nullptr);
    DeviceNodeSetFlags(m_node, DEVOBJ_SELECTED);
    HookNodeDriver(m_node);
    DeviceNodeClearFlags(m_node, DEVOBJ_CAPTURE_OFF);
    DeviceNodeRelease(m_node);
    ASSERT_TRUE(DeviceNodeIsLoggable(m_node));
}

void CaptureFixture::TearDown() {
    g_target.pend = false;
    while (!g_target.queued.empty()) {
        CompleteQueued(STATUS_CANCELLED);
    }
    // The capture driver first: it gives the target driver its entries back.
    Unload();
    if (m_upper != nullptr) {
        IoDetachDevice(m_pdo);
        IoDeleteDevice(m_upper);
        IoDeleteDevice(m_pdo);
        nt::pnp::UnloadDriver(kUpperService);
        nt::pnp::UnloadDriver(kTargetService);
    }
    for (PVOID memory : m_memory) {
        ExFreePoolWithTag(memory, kTestTag);
    }
    m_memory.clear();
    LoadedDriver::TearDown();
}

std::unique_ptr<SentRequest> CaptureFixture::Submit(PURB urb, PDEVICE_OBJECT device, int control, PVOID context,
                                                    bool ownMark) {
    device = device != nullptr ? device : m_pdo;
    auto request = std::make_unique<SentRequest>();
    KeInitializeEvent(&request->done, NotificationEvent, FALSE);
    request->irp = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_USB_SUBMIT_URB, device, nullptr, 0, nullptr, 0, TRUE,
                                                 &request->done, &request->ioStatus);
    EXPECT_NE(request->irp, nullptr);
    IoGetNextIrpStackLocation(request->irp)->Parameters.Others.Argument1 = urb;
    if (control >= 0) {
        IoSetCompletionRoutine(request->irp, CallerRoutine, context, (control & SL_INVOKE_ON_SUCCESS) != 0,
                               (control & SL_INVOKE_ON_ERROR) != 0, (control & SL_INVOKE_ON_CANCEL) != 0);
    }
    if (ownMark) {
        CaptureMarkOwnRequest(request->irp);
    }
    request->returned = IoCallDriver(device, request->irp);
    return request;
}

void CaptureFixture::CompleteQueued(NTSTATUS status) {
    ASSERT_FALSE(g_target.queued.empty());
    PIRP irp = g_target.queued.front();
    g_target.queued.pop_front();
    IoSetCancelRoutine(irp, nullptr);
    irp->IoStatus.Status = status;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
}

void CaptureFixture::EnableLog() {
    ULONG word = 0;
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_ENABLE_LOG, &word, sizeof word, nullptr, 0).ok);
    ReadLog(); // the log-start record
}

void CaptureFixture::DisableLog() {
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_DISABLE_LOG, nullptr, 0, nullptr, 0).ok);
}

void CaptureFixture::SetOptions(const std::function<void(LOGGING_OPTIONS&)>& change) {
    LOGGING_OPTIONS options = {};
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_GET_LOGGING_OPTIONS, nullptr, 0, &options, sizeof options).ok);
    change(options);
    ASSERT_TRUE(Ioctl(IOCTL_TINDALOFT_SET_LOGGING_OPTIONS, &options, sizeof options, nullptr, 0).ok);
}

void CaptureFixture::SetFilter(std::initializer_list<size_t> bytes) {
    SetOptions([&](LOGGING_OPTIONS& options) {
        options.FilterPresent = 1;
        InitLoggingOptions(options.Filter);
        for (size_t byte : bytes) {
            options.Filter.Bytes[byte] = 1;
        }
    });
}

PUCHAR CaptureFixture::Allocate(ULONG size) {
    auto memory = static_cast<PUCHAR>(ExAllocatePoolWithTag(NonPagedPoolNx, size, kTestTag));
    RtlZeroMemory(memory, size);
    m_memory.push_back(memory);
    return memory;
}

PURB CaptureFixture::NewUrb(USHORT function, USHORT length) {
    auto urb = reinterpret_cast<PURB>(Allocate(std::max<ULONG>(length, sizeof(URB))));
    urb->UrbHeader.Function = function;
    urb->UrbHeader.Length = length;
    return urb;
}

ULONG64 HeaderIrp(const ReadRecord& record) {
    return Field64(record, offsetof(_LOGHDR, Irp));
}
ULONG64 HeaderDeviceObject(const ReadRecord& record) {
    return Field64(record, offsetof(_LOGHDR, DeviceObject));
}
ULONG64 HeaderStackLocation(const ReadRecord& record) {
    return Field64(record, offsetof(_LOGHDR, StackLocation));
}
ULONG HeaderStatus(const ReadRecord& record) {
    return LogHdr::Status(record.bytes.data());
}

std::string Tags(const std::vector<ReadRecord>& records) {
    std::string text;
    for (const ReadRecord& record : records) {
        if (!text.empty()) {
            text += ' ';
        }
        for (int i = 0; i < 4; ++i) {
            text += static_cast<char>((record.tag >> (8 * i)) & 0xFF);
        }
    }
    return text;
}

} // namespace capturetest
