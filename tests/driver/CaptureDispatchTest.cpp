// HookedDispatch and HookedCompletion on a hooked device: the I, R and C records of a URB and their header
// values, the common gate, the driver's own requests, learning with the log off, the caller's completion
// routine in every invoke-bit combination, pending returns and cancellation.
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>

#include "NtPnpControl.h"
#include "common/RecordTags.h"
#include "driver/capture/Capture.h"
#include "driver/capture/CaptureGate.h"
#include "driver/nodes/HandleTables.h"
#include "driver/stacktree/DescriptorCache.h"
#include "tests/driver/CaptureTestFixture.h"
#include "usbioctl.h"

namespace capturetest {
namespace {

using CaptureDispatch = CaptureFixture;

ULONG64 Address(const void* p) {
    return reinterpret_cast<ULONG64>(p);
}

// The hooked driver's stack location of a request sent straight to the target: the IRP's only one.
ULONG64 FirstLocation(PIRP irp) {
    return Address(reinterpret_cast<PIO_STACK_LOCATION>(irp + 1));
}

const UCHAR kDeviceDescriptor[18] = {18, 1, 0, 2, 0, 0, 0, 64, 0x34, 0x12, 0x78, 0x56, 0, 1, 1, 2, 3, 1};

class Dispatched : public CaptureFixture {
protected:
    // A GET_DESCRIPTOR_FROM_DEVICE for the device descriptor, which the target answers with 18 bytes.
    PURB DescriptorUrb() {
        PURB urb = NewUrb(URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE, sizeof(_URB_CONTROL_DESCRIPTOR_REQUEST));
        urb->UrbControlDescriptorRequest.DescriptorType = USB_DEVICE_DESCRIPTOR_TYPE;
        urb->UrbControlDescriptorRequest.TransferBufferLength = sizeof kDeviceDescriptor;
        urb->UrbControlDescriptorRequest.TransferBuffer = Allocate(sizeof kDeviceDescriptor);
        Target().device = [](PURB u) {
            std::memcpy(u->UrbControlDescriptorRequest.TransferBuffer, kDeviceDescriptor, sizeof kDeviceDescriptor);
        };
        return urb;
    }
};

TEST_F(Dispatched, AnUrbAnsweredAtOnceGivesInitiatedCompletedAndReturnedRecords) {
    EnableLog();
    PURB urb = DescriptorUrb();
    auto request = Submit(urb);
    ASSERT_EQ(request->Wait(), STATUS_SUCCESS);

    const std::vector<ReadRecord> records = ReadLog();
    // The target completed the request inside its dispatch routine: the C record comes before the R record.
    ASSERT_EQ(Tags(records), "urbI urbC urbR");
    for (const ReadRecord& r : records) {
        EXPECT_EQ(HeaderIrp(r), Address(request->irp));
        EXPECT_EQ(HeaderDeviceObject(r), Address(m_pdo));
        EXPECT_EQ(HeaderStackLocation(r), FirstLocation(request->irp));
        EXPECT_EQ(LogHdr::StackID(r.bytes.data()), TargetStack()->StackID);
    }
    EXPECT_EQ(records[0].function, ULONG{URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE});
    EXPECT_EQ(records[0].dataSize, 24u);
    EXPECT_EQ(records[1].dataSize, 24u + 18);
    EXPECT_EQ(std::vector<uint8_t>(records[1].Payload().begin() + 24, records[1].Payload().end()),
              std::vector<uint8_t>(kDeviceDescriptor, kDeviceDescriptor + 18));
    // R: header only, the values taken before the call and the routine's return value.
    EXPECT_EQ(records[2].dataSize, 0u);
    EXPECT_EQ(records[2].function, ULONG{URB_FUNCTION_GET_DESCRIPTOR_FROM_DEVICE});
    EXPECT_EQ(records[2].bytes[offsetof(_LOGHDR, StackCount)], 1);
    EXPECT_EQ(records[2].bytes[offsetof(_LOGHDR, CurrentLocation)], 1);
    EXPECT_EQ(HeaderStatus(records[2]), ULONG{STATUS_SUCCESS});
    // Sequence numbers follow each other.
    EXPECT_EQ(records[1].sequence, records[0].sequence + 1);
    EXPECT_EQ(records[2].sequence, records[1].sequence + 1);
}

TEST_F(Dispatched, APendingUrbGivesItsReturnedRecordBeforeItsCompletedOne) {
    EnableLog();
    Target().pend = true;
    PURB urb = NewUrb(URB_FUNCTION_VENDOR_DEVICE, sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST));
    urb->UrbControlVendorClassRequest.Request = 0x42;
    urb->UrbControlVendorClassRequest.TransferFlags = USBD_TRANSFER_DIRECTION_IN;
    auto request = Submit(urb, m_upper); // through the pass-through driver above: two stack locations
    ASSERT_EQ(request->returned, STATUS_PENDING);
    CompleteQueued(STATUS_SUCCESS);
    ASSERT_EQ(request->Wait(), STATUS_SUCCESS);

    const std::vector<ReadRecord> records = ReadLog();
    ASSERT_EQ(Tags(records), "urbI urbR urbC");
    EXPECT_EQ(HeaderStatus(records[1]), ULONG{STATUS_PENDING});
    EXPECT_EQ(records[1].function, 0x42C00017u); // vendor, device, IN; bRequest 0x42
    EXPECT_EQ(records[1].bytes[offsetof(_LOGHDR, StackCount)], 2);
    EXPECT_EQ(records[1].bytes[offsetof(_LOGHDR, CurrentLocation)], 1);
    EXPECT_EQ(HeaderStatus(records[2]), ULONG{STATUS_SUCCESS});
    EXPECT_EQ(HeaderStackLocation(records[2]), FirstLocation(request->irp));
}

TEST_F(Dispatched, UnloadWaitsUntilAWatchedPendingRequestHasCompleted) {
    EnableLog();
    Target().pend = true;
    PURB urb = NewUrb(URB_FUNCTION_VENDOR_DEVICE, sizeof(_URB_CONTROL_VENDOR_OR_CLASS_REQUEST));
    auto request = Submit(urb);
    ASSERT_EQ(request->returned, STATUS_PENDING); // our completion routine is in its path
    Close();

    PDRIVER_OBJECT target = m_pdo->DriverObject;
    std::atomic<bool> unloaded{false};
    std::thread unloader([&] {
        nt::pnp::UnloadDriver(drivertest::kService);
        unloaded = true;
    });
    // The target gets its entries back at once, but nothing is freed while the request is out.
    while (__atomic_load_n(&target->MajorFunction[IRP_MJ_INTERNAL_DEVICE_CONTROL], __ATOMIC_SEQ_CST) ==
           &HookedDispatch) {
        std::this_thread::yield();
    }
    // An unload that did not wait would be over well within this time.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_FALSE(unloaded);
    CompleteQueued(STATUS_SUCCESS);
    EXPECT_EQ(request->Wait(), STATUS_SUCCESS);
    unloader.join();
    EXPECT_TRUE(unloaded);
    EXPECT_FALSE(IsLoaded());
}

TEST_F(Dispatched, AWatchedRequestHoldsOneNodeReferenceUntilBothItsRoutinesHaveRun) {
    EnableLog();
    const LONG references = TargetNode()->References;
    for (const bool pend : {false, true}) {
        SCOPED_TRACE(pend ? "completed after the dispatch returned" : "completed within the dispatch");
        Target().pend = pend;
        auto request = Submit(DescriptorUrb());
        if (pend) {
            ASSERT_EQ(request->returned, STATUS_PENDING);
            // The dispatch has returned: its reference went on with the completion context.
            EXPECT_EQ(TargetNode()->References, references + 1);
            EXPECT_EQ(DeviceNodeContextsOutstanding(TargetNode()), 1);
            CompleteQueued(STATUS_SUCCESS);
        }
        ASSERT_EQ(request->Wait(), STATUS_SUCCESS);
        EXPECT_EQ(TargetNode()->References, references);
        EXPECT_EQ(DeviceNodeContextsOutstanding(TargetNode()), 0);
        EXPECT_EQ(Tags(ReadLog()), pend ? "urbI urbR urbC" : "urbI urbC urbR");
    }
}

TEST_F(Dispatched, FunctionsWithoutARecordPassThroughAndReservedOnesAreHeaderOnly) {
    EnableLog();
    ASSERT_EQ(Submit(NewUrb(60, sizeof(_URB_HEADER)))->Wait(), STATUS_SUCCESS);
    EXPECT_EQ(Target().calls, 1);
    EXPECT_TRUE(ReadLog().empty());

    ASSERT_EQ(Submit(NewUrb(22, sizeof(_URB_HEADER)))->Wait(), STATUS_SUCCESS);
    const std::vector<ReadRecord> records = ReadLog();
    ASSERT_EQ(Tags(records), "urbI urbC urbR");
    for (const ReadRecord& r : records) {
        EXPECT_EQ(r.dataSize, 0u);
    }
}

TEST_F(Dispatched, TheCommonGateAndOwnRequestsKeepRecordsOut) {
    EnableLog();
    struct Case {
        const char* name;
        std::function<void(PDEVOBJ_NODE)> change;
        bool ownMark;
    } cases[] = {
        {"capture off", [](PDEVOBJ_NODE n) { DeviceNodeSetFlags(n, DEVOBJ_CAPTURE_OFF); }, false},
        {"not selected", [](PDEVOBJ_NODE n) { DeviceNodeClearFlags(n, DEVOBJ_SELECTED); }, false},
        {"the driver's own request", [](PDEVOBJ_NODE) {}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const LONG flags = TargetNode()->StatusFlags;
        c.change(TargetNode());
        const int calls = Target().calls;
        EXPECT_EQ(Submit(DescriptorUrb(), nullptr, 0, nullptr, c.ownMark)->Wait(), STATUS_SUCCESS);
        EXPECT_EQ(Target().calls, calls + 1);
        EXPECT_EQ(Tags(ReadLog()), "");
        TargetNode()->StatusFlags = flags;
    }
    // A device object of the hooked driver that the tree does not know.
    PDEVICE_OBJECT stranger = nullptr;
    ASSERT_EQ(IoCreateDevice(m_pdo->DriverObject, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &stranger),
              STATUS_SUCCESS);
    EXPECT_EQ(Submit(DescriptorUrb(), stranger)->Wait(), STATUS_SUCCESS);
    EXPECT_EQ(Tags(ReadLog()), "");
    IoDeleteDevice(stranger);
    // With everything in place again, the same request is recorded.
    EXPECT_EQ(Submit(DescriptorUrb())->Wait(), STATUS_SUCCESS);
    EXPECT_EQ(Tags(ReadLog()), "urbI urbC urbR");
}

TEST_F(Dispatched, ARequestToADriverThatIsNotHookedIsRefused) {
    // The pass-through driver has no hook extension: HookedDispatch has no routine to pass its request to.
    KEVENT done;
    KeInitializeEvent(&done, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus = {};
    PIRP irp = IoBuildDeviceIoControlRequest(IOCTL_INTERNAL_USB_SUBMIT_URB, m_upper, nullptr, 0, nullptr, 0, TRUE,
                                             &done, &ioStatus);
    ASSERT_NE(irp, nullptr);
    IoSetNextIrpStackLocation(irp); // as IoCallDriver does
    IoGetCurrentIrpStackLocation(irp)->DeviceObject = m_upper;
    EXPECT_EQ(HookedDispatch(m_upper, irp), STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(ioStatus.Status, STATUS_INVALID_DEVICE_REQUEST);
    EXPECT_EQ(ioStatus.Information, 0u);
    EXPECT_EQ(Target().calls, 0);
}

// A SELECT_CONFIGURATION the target answers with one interface and one bulk IN pipe.
constexpr ULONG_PTR kConfigurationHandle = 0xC0F1C0F1;
constexpr ULONG_PTR kInterfaceHandle = 0x1F1F1F1F;

TEST_F(Dispatched, WithTheLogOffNothingIsRecordedButTheStackLearns) {
    PUCHAR config = Allocate(25);
    const UCHAR descriptor[25] = {9, 2, 25, 0, 1, 1, 0, 0x80, 50, 9, 4, 0, 0, 1, 8, 6, 0x50, 0, 7, 5, 0x81, 2, 0, 2, 0};
    std::memcpy(config, descriptor, sizeof descriptor);
    PUCHAR pipeHandle = Allocate(16);
    PURB select = NewUrb(URB_FUNCTION_SELECT_CONFIGURATION, sizeof(_URB_SELECT_CONFIGURATION));
    select->UrbSelectConfiguration.ConfigurationDescriptor = reinterpret_cast<PUSB_CONFIGURATION_DESCRIPTOR>(config);
    select->UrbSelectConfiguration.Interface.Length = sizeof(USBD_INTERFACE_INFORMATION);
    select->UrbSelectConfiguration.Interface.NumberOfPipes = 1;
    Target().device = [pipeHandle](PURB u) {
        _URB_SELECT_CONFIGURATION& s = u->UrbSelectConfiguration;
        s.ConfigurationHandle = reinterpret_cast<PVOID>(kConfigurationHandle);
        s.Interface.InterfaceHandle = reinterpret_cast<PVOID>(kInterfaceHandle);
        s.Interface.Class = 8;
        s.Interface.Pipes[0] = {512, 0x81, 0, UsbdPipeTypeBulk, pipeHandle, 65536, 0};
    };
    ASSERT_EQ(Submit(select)->Wait(), STATUS_SUCCESS);
    EXPECT_TRUE(ReadLog().empty());
    EXPECT_EQ(StackConfigurationHandle(TargetStack()), reinterpret_cast<PVOID>(kConfigurationHandle));
    PIPE_LOOKUP lookup;
    ASSERT_TRUE(PipeTableLookup(Address(pipeHandle), &lookup));
    EXPECT_EQ(lookup.Pipe.EndpointAddress, 0x81);

    // What it learnt fills the pipe block of later records.
    Target().device = nullptr;
    EnableLog();
    PURB bulk = NewUrb(URB_FUNCTION_BULK_OR_INTERRUPT_TRANSFER, sizeof(_URB_BULK_OR_INTERRUPT_TRANSFER));
    bulk->UrbBulkOrInterruptTransfer.PipeHandle = pipeHandle;
    bulk->UrbBulkOrInterruptTransfer.TransferFlags = USBD_TRANSFER_DIRECTION_IN;
    ASSERT_EQ(Submit(bulk)->Wait(), STATUS_SUCCESS);
    const std::vector<ReadRecord> records = ReadLog();
    ASSERT_EQ(Tags(records), "urbI urbC urbR");
    const uint8_t* pipe = records[0].Payload().data() + 16;
    EXPECT_EQ(std::vector<uint8_t>(pipe, pipe + 6), (std::vector<uint8_t>{1, 0, 0x81, 0x00, 0x02, 0}));
    EXPECT_EQ(tdl::LoadLe<ULONG64>(pipe + 6), Address(pipeHandle));
}

TEST_F(Dispatched, AUrbOfAnotherDeviceTeachesThisStackNothing) {
    // A hub driver passes the URBs of the devices on its ports down with their device handle filled in.
    PUCHAR foreignHandle = Allocate(16);
    PURB urb = DescriptorUrb();
    urb->UrbHeader.UsbdDeviceHandle = foreignHandle;
    ASSERT_EQ(Submit(urb)->Wait(), STATUS_SUCCESS);
    BOOLEAN present = TRUE;
    UCHAR cached[18];
    DescriptorCacheCopy(TargetStack(), DescriptorCacheDevice, cached, sizeof cached, &present);
    EXPECT_FALSE(present);
    // The stack's own handle, or none, is its own device's.
    StackSetDeviceHandle(TargetStack(), Address(foreignHandle));
    ASSERT_EQ(Submit(urb)->Wait(), STATUS_SUCCESS);
    DescriptorCacheCopy(TargetStack(), DescriptorCacheDevice, cached, sizeof cached, &present);
    EXPECT_TRUE(present);
}

TEST_F(Dispatched, ADeviceDescriptorFetchedWhileNotCapturingIsCached) {
    DeviceNodeSetFlags(TargetNode(), DEVOBJ_CAPTURE_OFF);
    ASSERT_EQ(Submit(DescriptorUrb())->Wait(), STATUS_SUCCESS);
    UCHAR cached[32] = {};
    BOOLEAN present = FALSE;
    EXPECT_EQ(DescriptorCacheCopy(TargetStack(), DescriptorCacheDevice, cached, sizeof cached, &present), 18u);
    EXPECT_EQ(std::memcmp(cached, kDeviceDescriptor, 18), 0);
}

// --- The caller's completion routine ---

TEST_F(Dispatched, TheCallersRoutineRunsAsThePlatformWouldInEveryInvokeCombination) {
    EnableLog();
    enum class Ending { Success, Error, Cancel };
    for (Ending ending : {Ending::Success, Ending::Error, Ending::Cancel}) {
        for (UCHAR bits = 0; bits < 8; ++bits) {
            const UCHAR control = static_cast<UCHAR>(bits << 5);
            SCOPED_TRACE(testing::Message() << "ending " << int(ending) << " control " << std::hex << int(control));
            CallerCalls().clear();
            Target().pend = true;
            int context = 0;
            auto request = Submit(DescriptorUrb(), nullptr, control, &context);
            ASSERT_EQ(request->returned, STATUS_PENDING);
            switch (ending) {
            case Ending::Success: CompleteQueued(STATUS_SUCCESS); break;
            case Ending::Error: CompleteQueued(STATUS_UNSUCCESSFUL); break;
            case Ending::Cancel: EXPECT_TRUE(IoCancelIrp(request->irp)); break;
            }
            const NTSTATUS final = request->Wait();
            const bool expected = (ending == Ending::Success && (control & SL_INVOKE_ON_SUCCESS)) ||
                                  (ending != Ending::Success && (control & SL_INVOKE_ON_ERROR)) ||
                                  (ending == Ending::Cancel && (control & SL_INVOKE_ON_CANCEL));
            ASSERT_EQ(CallerCalls().size(), expected ? 1u : 0u);
            if (expected) {
                EXPECT_EQ(CallerCalls()[0].context, &context);
                EXPECT_EQ(CallerCalls()[0].status, final);
                EXPECT_TRUE(CallerCalls()[0].pendingReturned);
            }
            // The completion is recorded in every case, with the status the request ended with.
            const std::vector<ReadRecord> records = ReadLog();
            ASSERT_EQ(Tags(records), "urbI urbR urbC");
            EXPECT_EQ(HeaderStatus(records[2]), static_cast<ULONG>(final));
        }
    }
    EXPECT_EQ(DeviceNodeContextsOutstanding(TargetNode()), 0);
}

TEST_F(Dispatched, CancelledRequestsAreRecordedAsCompletedWithTheirStatus) {
    EnableLog();
    Target().pend = true;
    auto request = Submit(DescriptorUrb(), m_upper);
    ASSERT_TRUE(IoCancelIrp(request->irp));
    EXPECT_EQ(request->Wait(), STATUS_CANCELLED);
    const std::vector<ReadRecord> records = ReadLog();
    ASSERT_EQ(Tags(records), "urbI urbR urbC");
    EXPECT_EQ(HeaderStatus(records[2]), static_cast<ULONG>(STATUS_CANCELLED));
    EXPECT_EQ(records[2].dataSize, 24u + 18); // the buffer as it stands
}

TEST_F(Dispatched, APendingReturnReachesTheLevelAbove) {
    // The pass-through driver above sets no routine; its caller's routine sits in its location and must see
    // that the level below returned STATUS_PENDING, with capture watching the request and without.
    for (bool capture : {true, false}) {
        SCOPED_TRACE(capture);
        if (!capture) {
            DeviceNodeSetFlags(TargetNode(), DEVOBJ_CAPTURE_OFF);
        }
        EnableLog();
        CallerCalls().clear();
        Target().pend = true;
        int context = 0;
        auto request = Submit(DescriptorUrb(), m_upper, SL_INVOKE_ON_SUCCESS | SL_INVOKE_ON_ERROR, &context);
        ASSERT_EQ(request->returned, STATUS_PENDING);
        CompleteQueued(STATUS_SUCCESS);
        ASSERT_EQ(request->Wait(), STATUS_SUCCESS);
        ASSERT_EQ(CallerCalls().size(), 1u);
        EXPECT_EQ(CallerCalls()[0].context, &context);
        EXPECT_TRUE(CallerCalls()[0].pendingReturned);
        EXPECT_EQ(Tags(ReadLog()), capture ? "urbI urbR urbC" : "");
    }
}

TEST_F(Dispatched, TwoHookedLevelsEachRecordTheirOwnLocation) {
    EnableLog();
    // The pass-through driver is hooked as well.
    PDEVOBJ_NODE upper = FindDeviceNode(m_upper, TRUE);
    ASSERT_NE(upper, nullptr);
    DeviceNodeSetFlags(upper, DEVOBJ_SELECTED);
    HookNodeDriver(upper);
    DeviceNodeClearFlags(upper, DEVOBJ_CAPTURE_OFF);
    DeviceNodeRelease(upper);

    Target().pend = true;
    int context = 0;
    auto request = Submit(DescriptorUrb(), m_upper, SL_INVOKE_ON_SUCCESS, &context);
    CompleteQueued(STATUS_SUCCESS);
    ASSERT_EQ(request->Wait(), STATUS_SUCCESS);
    ASSERT_EQ(CallerCalls().size(), 1u);
    EXPECT_TRUE(CallerCalls()[0].pendingReturned);

    const std::vector<ReadRecord> records = ReadLog();
    ASSERT_EQ(Tags(records), "urbI urbI urbR urbR urbC urbC");
    const ULONG64 lower = FirstLocation(request->irp), above = lower + sizeof(IO_STACK_LOCATION);
    EXPECT_EQ(HeaderStackLocation(records[0]), above);
    EXPECT_EQ(HeaderStackLocation(records[1]), lower);
    EXPECT_EQ(HeaderStackLocation(records[4]), lower); // the level below completes first
    EXPECT_EQ(HeaderStackLocation(records[5]), above);
    EXPECT_EQ(HeaderDeviceObject(records[5]), Address(m_upper));
}

} // namespace
} // namespace capturetest
