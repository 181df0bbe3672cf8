// IRPs through device stacks: completion routines and their control bits, STATUS_MORE_PROCESSING_REQUIRED,
// pending requests completed on another thread, requests the I/O manager builds, and cancellation.
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "IoTestDriver.h"
#include "NtIoInternal.h"
#include "NtMdl.h"
#include "NtPool.h"
#include "NtPoolControl.h"

namespace {

using iotest::StateOf;

struct RoutineLog {
    int calls = 0;
    PDEVICE_OBJECT device = nullptr;
    bool pendingReturned = false;
    NTSTATUS result = STATUS_SUCCESS; // what the routine returns
    bool propagatePending = true;
};

NTSTATUS LoggingRoutine(PDEVICE_OBJECT device, PIRP irp, PVOID context) {
    auto* log = static_cast<RoutineLog*>(context);
    log->calls++;
    log->device = device;
    log->pendingReturned = irp->PendingReturned;
    if (log->propagatePending && irp->PendingReturned && log->result != STATUS_MORE_PROCESSING_REQUIRED) {
        IoMarkIrpPending(irp);
    }
    return log->result;
}

class IoIrpTest : public ::testing::Test {
protected:
    void SetUp() override {
        iotest::Reset();
        driver = iotest::LoadDriver(u"iotest");
        ASSERT_NE(driver, nullptr);
    }
    void TearDown() override { iotest::Reset(); }

    // `upper` attached above `lower`, passing requests down through its own handler.
    PDEVICE_OBJECT Attach(PDEVICE_OBJECT lower, iotest::Handler handler) {
        PDEVICE_OBJECT upper = iotest::CreateDevice(driver, std::move(handler));
        StateOf(upper)->lower = IoAttachDeviceToDeviceStack(upper, lower);
        return upper;
    }

    // An IRP from IoAllocateIrp whose owner's completion routine (logging into `owner`, returning
    // STATUS_MORE_PROCESSING_REQUIRED) ends its walk, as a driver's own requests do.
    PIRP OwnedIrp(PDEVICE_OBJECT target, RoutineLog& owner) {
        PIRP irp = IoAllocateIrp(target->StackSize, FALSE);
        IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
        owner.result = STATUS_MORE_PROCESSING_REQUIRED;
        IoSetCompletionRoutine(irp, LoggingRoutine, &owner, TRUE, TRUE, TRUE);
        return irp;
    }

    PDRIVER_OBJECT driver = nullptr;
};

struct ControlCase {
    const char* name;
    NTSTATUS status;
    bool cancelled;
    bool onSuccess, onError, onCancel;
    bool invoked;
};

TEST_F(IoIrpTest, CompletionRoutinesRunPerTheirControlBits) {
    const ControlCase cases[] = {
        {"success, on success", STATUS_SUCCESS, false, true, false, false, true},
        {"success, on error", STATUS_SUCCESS, false, false, true, false, false},
        {"success, on cancel", STATUS_SUCCESS, false, false, false, true, false},
        {"information, on success", STATUS_OBJECT_NAME_EXISTS, false, true, false, false, true},
        {"error, on error", STATUS_UNSUCCESSFUL, false, false, true, false, true},
        {"error, on success", STATUS_UNSUCCESSFUL, false, true, false, false, false},
        {"warning, on error", STATUS_BUFFER_OVERFLOW, false, false, true, false, true},
        {"warning, on success", STATUS_BUFFER_OVERFLOW, false, true, false, false, false},
        {"cancelled, on cancel", STATUS_CANCELLED, true, false, false, true, true},
        {"cancelled, on error", STATUS_CANCELLED, true, false, true, false, true},
        {"cancelled, on success", STATUS_CANCELLED, true, true, false, false, false},
        {"cancel flag with success, on cancel", STATUS_SUCCESS, true, false, false, true, true},
        {"no bits", STATUS_SUCCESS, false, false, false, false, false},
    };
    for (const ControlCase& c : cases) {
        SCOPED_TRACE(c.name);
        RoutineLog middleLog;
        PDEVICE_OBJECT bottom = iotest::CreateDevice(driver, [&c](PDEVICE_OBJECT, PIRP irp) {
            irp->Cancel = c.cancelled;
            irp->IoStatus.Status = c.status;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            return c.status;
        });
        PDEVICE_OBJECT middle = Attach(bottom, [&](PDEVICE_OBJECT device, PIRP irp) {
            IoCopyCurrentIrpStackLocationToNext(irp);
            IoSetCompletionRoutine(irp, LoggingRoutine, &middleLog, c.onSuccess, c.onError, c.onCancel);
            return IoCallDriver(StateOf(device)->lower, irp);
        });
        RoutineLog owner;
        PIRP irp = OwnedIrp(middle, owner);
        EXPECT_EQ(IoCallDriver(middle, irp), c.status);
        EXPECT_EQ(middleLog.calls, c.invoked ? 1 : 0);
        if (c.invoked) {
            EXPECT_EQ(middleLog.device, middle); // the routine runs for the driver that set it
        }
        EXPECT_EQ(owner.calls, 1);
        EXPECT_EQ(owner.device, nullptr); // the originator has no stack location of its own
        IoFreeIrp(irp);
        IoDetachDevice(bottom);
        IoDeleteDevice(middle);
        IoDeleteDevice(bottom);
    }
}

TEST_F(IoIrpTest, MoreProcessingRequiredStopsTheWalkUntilCompletedAgain) {
    PIRP held = nullptr;
    RoutineLog middleLog;
    middleLog.result = STATUS_MORE_PROCESSING_REQUIRED;
    PDEVICE_OBJECT bottom = iotest::CreateDevice(driver, iotest::CompleteWith(STATUS_SUCCESS, 7));
    PDEVICE_OBJECT middle = Attach(bottom, [&](PDEVICE_OBJECT device, PIRP irp) {
        IoCopyCurrentIrpStackLocationToNext(irp);
        IoSetCompletionRoutine(irp, LoggingRoutine, &middleLog, TRUE, TRUE, TRUE);
        held = irp;
        IoCallDriver(StateOf(device)->lower, irp);
        return STATUS_PENDING;
    });
    RoutineLog owner;
    PIRP irp = OwnedIrp(middle, owner);
    EXPECT_EQ(IoCallDriver(middle, irp), STATUS_PENDING);
    EXPECT_EQ(middleLog.calls, 1);
    EXPECT_EQ(owner.calls, 0);
    ASSERT_EQ(held, irp);
    // The middle driver finishes its work and completes the request from its own location.
    EXPECT_EQ(IoGetCurrentIrpStackLocation(irp)->DeviceObject, middle);
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    EXPECT_EQ(middleLog.calls, 1);
    EXPECT_EQ(owner.calls, 1);
    EXPECT_EQ(irp->IoStatus.Information, 7u);
    IoFreeIrp(irp);
}

// A request pended at the bottom and completed on another thread: every level with a completion routine sees
// PendingReturned, also across a level that only skipped its location, and the waiter gets the status block.
TEST_F(IoIrpTest, PendingRequestCompletedOnAnotherThreadReachesItsWaiter) {
    for (bool middleHasRoutine : {false, true}) {
        SCOPED_TRACE(middleHasRoutine ? "middle sets a routine" : "middle skips its location");
        PIRP pended = nullptr;
        RoutineLog middleLog, topLog;
        PDEVICE_OBJECT bottom = iotest::CreateDevice(driver, [&](PDEVICE_OBJECT, PIRP irp) {
            IoMarkIrpPending(irp);
            pended = irp;
            return STATUS_PENDING;
        });
        PDEVICE_OBJECT middle = Attach(bottom, [&](PDEVICE_OBJECT device, PIRP irp) {
            if (!middleHasRoutine) {
                IoSkipCurrentIrpStackLocation(irp);
            } else {
                IoCopyCurrentIrpStackLocationToNext(irp);
                IoSetCompletionRoutine(irp, LoggingRoutine, &middleLog, TRUE, TRUE, TRUE);
            }
            return IoCallDriver(StateOf(device)->lower, irp);
        });
        PDEVICE_OBJECT top = Attach(middle, [&](PDEVICE_OBJECT device, PIRP irp) {
            IoCopyCurrentIrpStackLocationToNext(irp);
            IoSetCompletionRoutine(irp, LoggingRoutine, &topLog, TRUE, TRUE, TRUE);
            return IoCallDriver(StateOf(device)->lower, irp);
        });

        KEVENT event;
        KeInitializeEvent(&event, NotificationEvent, FALSE);
        IO_STATUS_BLOCK ioStatus{};
        PIRP irp = IoBuildDeviceIoControlRequest(0x220003, top, nullptr, 0, nullptr, 0, TRUE, &event, &ioStatus);
        ASSERT_NE(irp, nullptr);
        ASSERT_EQ(IoCallDriver(top, irp), STATUS_PENDING);
        EXPECT_EQ(KeReadStateEvent(&event), 0);

        std::thread completer([&] {
            pended->IoStatus.Status = STATUS_SUCCESS;
            pended->IoStatus.Information = 42;
            IoCompleteRequest(pended, IO_NO_INCREMENT);
        });
        EXPECT_EQ(KeWaitForSingleObject(&event, Executive, KernelMode, FALSE, nullptr), STATUS_SUCCESS);
        completer.join();
        EXPECT_EQ(ioStatus.Status, STATUS_SUCCESS);
        EXPECT_EQ(ioStatus.Information, 42u);
        EXPECT_EQ(topLog.calls, 1);
        EXPECT_TRUE(topLog.pendingReturned);
        if (middleHasRoutine) {
            EXPECT_EQ(middleLog.calls, 1);
            EXPECT_TRUE(middleLog.pendingReturned);
        }
        IoDetachDevice(middle);
        IoDetachDevice(bottom);
        IoDeleteDevice(top);
        IoDeleteDevice(middle);
        IoDeleteDevice(bottom);
    }
}

TEST_F(IoIrpTest, SynchronousCompletionLeavesPendingReturnedClear) {
    RoutineLog upperLog;
    PDEVICE_OBJECT bottom = iotest::CreateDevice(driver, iotest::CompleteWith(STATUS_SUCCESS));
    PDEVICE_OBJECT upper = Attach(bottom, [&](PDEVICE_OBJECT device, PIRP irp) {
        IoCopyCurrentIrpStackLocationToNext(irp);
        IoSetCompletionRoutine(irp, LoggingRoutine, &upperLog, TRUE, TRUE, TRUE);
        return IoCallDriver(StateOf(device)->lower, irp);
    });
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus{};
    PIRP irp = IoBuildDeviceIoControlRequest(0x220003, upper, nullptr, 0, nullptr, 0, TRUE, &event, &ioStatus);
    EXPECT_EQ(IoCallDriver(upper, irp), STATUS_SUCCESS);
    EXPECT_EQ(upperLog.calls, 1);
    EXPECT_FALSE(upperLog.pendingReturned);
    EXPECT_NE(KeReadStateEvent(&event), 0);
}

struct BufferedCase {
    const char* name;
    NTSTATUS status;
    ULONG_PTR information;
    size_t copied;
};

// Buffered requests built for a driver: the input reaches the system buffer, min(Information, output length)
// bytes come back unless the request failed, and the IRP and its buffer are freed when it completes.
TEST_F(IoIrpTest, BuiltBufferedRequestCopiesBackAndIsFreedAtCompletion) {
    const BufferedCase cases[] = {
        {"success", STATUS_SUCCESS, 5, 5},
        {"information beyond the output", STATUS_SUCCESS, 100, 8},
        {"warning", STATUS_BUFFER_OVERFLOW, 4, 4},
        {"error", STATUS_UNSUCCESSFUL, 8, 0},
    };
    const ULONG irpTag = nt::io::kTagIrp, bufferTag = nt::io::kTagSystemBuffer;
    for (const BufferedCase& c : cases) {
        SCOPED_TRACE(c.name);
        const SIZE_T irpsBefore = nt::pool::Stats(irpTag).liveCount;
        const SIZE_T buffersBefore = nt::pool::Stats(bufferTag).liveCount;
        PIRP seen = nullptr;
        UCHAR inputSeen[4] = {};
        ULONG systemLengthSeen = 0;
        PDEVICE_OBJECT device = iotest::CreateDevice(driver, [&](PDEVICE_OBJECT, PIRP irp) {
            seen = irp;
            PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
            EXPECT_EQ(location->MajorFunction, IRP_MJ_DEVICE_CONTROL);
            systemLengthSeen = location->Parameters.DeviceIoControl.OutputBufferLength;
            auto* buffer = static_cast<UCHAR*>(irp->AssociatedIrp.SystemBuffer);
            std::memcpy(inputSeen, buffer, sizeof inputSeen);
            for (ULONG i = 0; i < 8; ++i) { // the system buffer holds max(4, 8) bytes
                buffer[i] = static_cast<UCHAR>(0xA0 + i);
            }
            irp->IoStatus.Status = c.status;
            irp->IoStatus.Information = c.information;
            IoCompleteRequest(irp, IO_NO_INCREMENT);
            return c.status;
        });
        UCHAR input[4] = {1, 2, 3, 4};
        UCHAR output[8];
        std::memset(output, 0xEE, sizeof output);
        KEVENT event;
        KeInitializeEvent(&event, NotificationEvent, FALSE);
        IO_STATUS_BLOCK ioStatus{};
        PIRP irp = IoBuildDeviceIoControlRequest(CTL_CODE(FILE_DEVICE_UNKNOWN, 0x800, METHOD_BUFFERED, 0), device,
                                                 input, sizeof input, output, sizeof output, FALSE, &event, &ioStatus);
        ASSERT_NE(irp, nullptr);
        EXPECT_EQ(IoCallDriver(device, irp), c.status);
        EXPECT_EQ(seen, irp);
        EXPECT_EQ(systemLengthSeen, 8u);
        EXPECT_EQ(std::memcmp(inputSeen, input, sizeof input), 0);
        for (size_t i = 0; i < sizeof output; ++i) {
            EXPECT_EQ(output[i], i < c.copied ? 0xA0 + i : 0xEE) << "byte " << i;
        }
        EXPECT_EQ(ioStatus.Status, c.status);
        EXPECT_EQ(ioStatus.Information, c.information);
        EXPECT_NE(KeReadStateEvent(&event), 0);
        // Freed at completion: a later use of the IRP would touch freed pool.
        EXPECT_EQ(nt::pool::Stats(irpTag).liveCount, irpsBefore);
        EXPECT_EQ(nt::pool::Stats(bufferTag).liveCount, buffersBefore);
        EXPECT_FALSE(MmIsAddressValid(irp));
        IoDeleteDevice(device);
    }
}

TEST_F(IoIrpTest, BuiltNeitherAndDirectRequestsHandTheDriverTheCallersMemory) {
    UCHAR input[16] = {9};
    UCHAR output[32] = {};
    PVOID type3Seen = nullptr, userBufferSeen = nullptr, mappedSeen = nullptr;
    bool outputValidDuringRequest = false;
    PDEVICE_OBJECT device = iotest::CreateDevice(driver, [&](PDEVICE_OBJECT, PIRP irp) {
        PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
        type3Seen = location->Parameters.DeviceIoControl.Type3InputBuffer;
        userBufferSeen = irp->UserBuffer;
        if (irp->MdlAddress) {
            mappedSeen = MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority);
            EXPECT_EQ(MmGetMdlByteCount(irp->MdlAddress), sizeof output);
            outputValidDuringRequest = MmIsAddressValid(output);
        }
        irp->IoStatus.Status = STATUS_SUCCESS;
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return STATUS_SUCCESS;
    });
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus{};

    PIRP irp = IoBuildDeviceIoControlRequest(CTL_CODE(FILE_DEVICE_UNKNOWN, 0x801, METHOD_NEITHER, 0), device, input,
                                             sizeof input, output, sizeof output, FALSE, &event, &ioStatus);
    EXPECT_EQ(IoCallDriver(device, irp), STATUS_SUCCESS);
    EXPECT_EQ(type3Seen, input);
    EXPECT_EQ(userBufferSeen, output);

    const SIZE_T mdlsBefore = nt::pool::Stats(nt::io::kTagMdl).liveCount;
    irp = IoBuildDeviceIoControlRequest(CTL_CODE(FILE_DEVICE_UNKNOWN, 0x802, METHOD_OUT_DIRECT, 0), device, input,
                                        sizeof input, output, sizeof output, FALSE, &event, &ioStatus);
    EXPECT_EQ(IoCallDriver(device, irp), STATUS_SUCCESS);
    EXPECT_EQ(mappedSeen, output);
    EXPECT_TRUE(outputValidDuringRequest);
    EXPECT_FALSE(MmIsAddressValid(output)); // unlocked again with the request
    EXPECT_EQ(nt::pool::Stats(nt::io::kTagMdl).liveCount, mdlsBefore);
    IoDeleteDevice(device);
}

// Synchronous requests built for a driver: a Plug and Play query keeps the status its sender set when no driver
// handles it, and a read follows the device's buffering.
TEST_F(IoIrpTest, BuiltSynchronousRequestsFollowTheTargetsConventions) {
    PDEVICE_OBJECT bottom = iotest::CreateDevice(driver, [](PDEVICE_OBJECT device, PIRP irp) {
        PIO_STACK_LOCATION location = IoGetCurrentIrpStackLocation(irp);
        if (location->MajorFunction == IRP_MJ_READ) {
            void* target = (device->Flags & DO_BUFFERED_IO)
                               ? irp->AssociatedIrp.SystemBuffer
                               : MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority);
            std::memcpy(target, "read!", 5);
            irp->IoStatus.Status = STATUS_SUCCESS;
            irp->IoStatus.Information = 5;
        }
        NTSTATUS status = irp->IoStatus.Status; // other requests: left as the sender set it
        IoCompleteRequest(irp, IO_NO_INCREMENT);
        return status;
    });
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus{};
    PIRP irp = IoBuildSynchronousFsdRequest(IRP_MJ_PNP, bottom, nullptr, 0, nullptr, &event, &ioStatus);
    irp->IoStatus.Status = STATUS_NOT_SUPPORTED;
    IoGetNextIrpStackLocation(irp)->MinorFunction = IRP_MN_QUERY_CAPABILITIES;
    EXPECT_EQ(IoCallDriver(bottom, irp), STATUS_NOT_SUPPORTED);
    EXPECT_EQ(ioStatus.Status, STATUS_NOT_SUPPORTED);

    for (ULONG buffering : {ULONG(DO_BUFFERED_IO), ULONG(DO_DIRECT_IO)}) {
        SCOPED_TRACE(buffering);
        bottom->Flags = (bottom->Flags & ~(DO_BUFFERED_IO | DO_DIRECT_IO)) | buffering;
        char buffer[8] = {};
        LARGE_INTEGER offset{};
        KeClearEvent(&event);
        irp = IoBuildSynchronousFsdRequest(IRP_MJ_READ, bottom, buffer, sizeof buffer, &offset, &event, &ioStatus);
        EXPECT_EQ(IoGetNextIrpStackLocation(irp)->Parameters.Read.Length, sizeof buffer);
        EXPECT_EQ(IoCallDriver(bottom, irp), STATUS_SUCCESS);
        EXPECT_EQ(ioStatus.Information, 5u);
        EXPECT_STREQ(buffer, "read!");
    }
    IoDeleteDevice(bottom);
}

NTSTATUS CancelQueued(PDEVICE_OBJECT, PIRP irp) {
    IoReleaseCancelSpinLock(irp->CancelIrql);
    irp->IoStatus.Status = STATUS_CANCELLED;
    irp->IoStatus.Information = 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return STATUS_SUCCESS;
}

void CancelRoutine(PDEVICE_OBJECT device, PIRP irp) {
    CancelQueued(device, irp);
}

TEST_F(IoIrpTest, CancelCallsTheCancelRoutineWhichCompletesTheRequest) {
    PIRP queued = nullptr;
    bool withRoutine = true;
    PDEVICE_OBJECT device = iotest::CreateDevice(driver, [&](PDEVICE_OBJECT, PIRP irp) {
        IoMarkIrpPending(irp);
        if (withRoutine) {
            IoSetCancelRoutine(irp, CancelRoutine);
        }
        queued = irp;
        return STATUS_PENDING;
    });
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus{};
    PIRP irp = IoBuildDeviceIoControlRequest(0x220003, device, nullptr, 0, nullptr, 0, TRUE, &event, &ioStatus);
    ASSERT_EQ(IoCallDriver(device, irp), STATUS_PENDING);
    EXPECT_TRUE(IoCancelIrp(irp));
    EXPECT_NE(KeReadStateEvent(&event), 0);
    EXPECT_EQ(ioStatus.Status, STATUS_CANCELLED);
    EXPECT_EQ(KeGetCurrentIrql(), PASSIVE_LEVEL);

    // Without a cancel routine the request is only marked; its driver completes it in its own time.
    withRoutine = false;
    KeClearEvent(&event);
    irp = IoBuildDeviceIoControlRequest(0x220003, device, nullptr, 0, nullptr, 0, TRUE, &event, &ioStatus);
    ASSERT_EQ(IoCallDriver(device, irp), STATUS_PENDING);
    EXPECT_FALSE(IoCancelIrp(irp));
    EXPECT_TRUE(queued->Cancel);
    queued->IoStatus.Status = STATUS_CANCELLED;
    IoCompleteRequest(queued, IO_NO_INCREMENT);
    EXPECT_EQ(ioStatus.Status, STATUS_CANCELLED);
    IoDeleteDevice(device);
}

TEST_F(IoIrpTest, CompletionRoutineExKeepsTheDeviceUntilItRuns) {
    PIRP pended = nullptr;
    RoutineLog upperLog;
    PDEVICE_OBJECT bottom = iotest::CreateDevice(driver, [&](PDEVICE_OBJECT, PIRP irp) {
        IoMarkIrpPending(irp);
        pended = irp;
        return STATUS_PENDING;
    });
    PDEVICE_OBJECT upper = Attach(bottom, [&](PDEVICE_OBJECT device, PIRP irp) {
        IoCopyCurrentIrpStackLocationToNext(irp);
        EXPECT_EQ(IoSetCompletionRoutineEx(device, irp, LoggingRoutine, &upperLog, FALSE, TRUE, FALSE), STATUS_SUCCESS);
        return IoCallDriver(StateOf(device)->lower, irp);
    });
    KEVENT event;
    KeInitializeEvent(&event, NotificationEvent, FALSE);
    IO_STATUS_BLOCK ioStatus{};
    PIRP irp = IoBuildDeviceIoControlRequest(0x220003, upper, nullptr, 0, nullptr, 0, TRUE, &event, &ioStatus);
    ASSERT_EQ(IoCallDriver(upper, irp), STATUS_PENDING);
    IoDetachDevice(bottom);
    IoDeleteDevice(upper); // still referenced by the routine's context
    const SIZE_T devicesBefore = nt::pool::Stats(nt::io::kTagDevice).liveCount;

    pended->IoStatus.Status = STATUS_IO_DEVICE_ERROR;
    IoCompleteRequest(pended, IO_NO_INCREMENT);
    EXPECT_EQ(upperLog.calls, 1);
    EXPECT_EQ(upperLog.device, upper);
    EXPECT_EQ(ioStatus.Status, STATUS_IO_DEVICE_ERROR);
    EXPECT_EQ(nt::pool::Stats(nt::io::kTagDevice).liveCount, devicesBefore - 1);
    IoDeleteDevice(bottom);
}

ULONG StopCode(const std::function<void()>& action) {
    try {
        action();
    } catch (const NtBugCheck& stop) {
        return stop.Code();
    }
    return 0;
}

TEST_F(IoIrpTest, BrokenIrpRulesStopTheMachine) {
    PDEVICE_OBJECT device = iotest::CreateDevice(driver, iotest::CompleteWith(STATUS_SUCCESS));
    RoutineLog owner;

    PIRP irp = OwnedIrp(device, owner);
    IoCallDriver(device, irp);
    EXPECT_EQ(StopCode([&] { IoCompleteRequest(irp, IO_NO_INCREMENT); }), ULONG(MULTIPLE_IRP_COMPLETE_REQUESTS));
    IoFreeIrp(irp);

    irp = IoAllocateIrp(1, FALSE);
    IoSetNextIrpStackLocation(irp); // the only location taken by its owner
    EXPECT_EQ(StopCode([&] { IoCallDriver(device, irp); }), ULONG(NO_MORE_IRP_STACK_LOCATIONS));
    IoFreeIrp(irp);

    PDEVICE_OBJECT pending = iotest::CreateDevice(driver, iotest::CompleteWith(STATUS_PENDING));
    irp = OwnedIrp(pending, owner);
    EXPECT_EQ(StopCode([&] { IoCallDriver(pending, irp); }), ULONG(DRIVER_VERIFIER_DETECTED_VIOLATION));
    IoFreeIrp(irp);

    PDEVICE_OBJECT cancellable = iotest::CreateDevice(driver, [](PDEVICE_OBJECT, PIRP request) {
        IoSetCancelRoutine(request, CancelRoutine);
        request->IoStatus.Status = STATUS_SUCCESS;
        IoCompleteRequest(request, IO_NO_INCREMENT);
        return STATUS_SUCCESS;
    });
    irp = OwnedIrp(cancellable, owner);
    EXPECT_EQ(StopCode([&] { IoCallDriver(cancellable, irp); }), 0x48u);
    IoSetCancelRoutine(irp, nullptr);
    IoFreeIrp(irp);

    // An IRP its owner allocated must not run off the top of its walk.
    PIRP stray = IoAllocateIrp(device->StackSize, FALSE);
    IoGetNextIrpStackLocation(stray)->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    EXPECT_EQ(StopCode([&] { IoCallDriver(device, stray); }), ULONG(DRIVER_VERIFIER_DETECTED_VIOLATION));
    IoFreeIrp(stray);
}

TEST_F(IoIrpTest, ReusedIrpStartsAgainWithTheGivenStatus) {
    PDEVICE_OBJECT device = iotest::CreateDevice(driver, iotest::CompleteWith(STATUS_SUCCESS, 3));
    RoutineLog owner;
    PIRP irp = OwnedIrp(device, owner);
    IoCallDriver(device, irp);
    IoReuseIrp(irp, STATUS_NOT_SUPPORTED);
    EXPECT_EQ(irp->CurrentLocation, irp->StackCount + 1);
    EXPECT_EQ(irp->IoStatus.Status, STATUS_NOT_SUPPORTED);
    EXPECT_EQ(irp->IoStatus.Information, 0u);
    IoSetCompletionRoutine(irp, LoggingRoutine, &owner, TRUE, TRUE, TRUE);
    IoGetNextIrpStackLocation(irp)->MajorFunction = IRP_MJ_INTERNAL_DEVICE_CONTROL;
    IoCallDriver(device, irp);
    EXPECT_EQ(owner.calls, 2);
    IoFreeIrp(irp);
}

} // namespace
