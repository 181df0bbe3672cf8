// Fixture of the request-capture tests: KxTdloft loaded, and one device stack of two small drivers of the
// test's own, known to the device-stack tree:
//
//     upper  "capupper"   passes every request down with IoCopyCurrentIrpStackLocationToNext (not hooked)
//     pdo    "captarget"  plays the USB device: answers URBs at once or queues them (hooked, selected,
//                         capture on)
//
// A test sends URBs to either device as a client driver does (IoBuildDeviceIoControlRequest, the URB in
// Argument1, optionally its own completion routine) and reads the capture log through the control device.
#pragma once

#include <deque>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "common/ControlCodes.h"
#include "common/LoggingOptions.h"
#include "driver/stacktree/DeviceStackTree.h"
#include "ntddk.h"
#include "tests/driver/DriverFixture.h"
#include "tests/driver/LogTestHelpers.h"
#include "usb.h"

namespace capturetest {

using drvlog_test::ReadRecord;

// How the target driver answers.
struct TargetBehaviour {
    bool pend = false;                // queue requests (cancelable) and return STATUS_PENDING
    NTSTATUS status = STATUS_SUCCESS; // IoStatus.Status it completes with
    USBD_STATUS urbStatus = USBD_STATUS_SUCCESS;
    std::function<void(PURB)> device;     // what the device does with a URB before completion
    std::function<NTSTATUS(PIRP)> answer; // for any request it completes at once: fills its buffers and
                                          // Information, gives the status (instead of `status`)
    std::deque<PIRP> queued;              // requests it holds
    int calls = 0;
};
TargetBehaviour& Target();

// What the test's own completion routine saw, one entry per call.
struct CallerCall {
    PVOID context;
    NTSTATUS status;
    bool pendingReturned;
    bool cancel;
};
std::vector<CallerCall>& CallerCalls();
IO_COMPLETION_ROUTINE CallerRoutine;

// One request a test sent.
struct SentRequest {
    KEVENT done;
    IO_STATUS_BLOCK ioStatus = {};
    PIRP irp = nullptr; // valid until it completes
    NTSTATUS returned = STATUS_SUCCESS;
    // The final status, once the request has completed (waits when it was pending).
    NTSTATUS Wait();
};

class CaptureFixture : public drivertest::LoadedDriver {
protected:
    void SetUp() override;
    void TearDown() override;

    // Sends the URB to `device` (the target by default). With a control byte (0 to 0xFF; -1: none), the test's
    // completion routine goes in the next stack location with those invoke bits and `context`.
    std::unique_ptr<SentRequest> Submit(PURB urb, PDEVICE_OBJECT device = nullptr, int control = -1,
                                        PVOID context = nullptr, bool ownMark = false);
    // Completes the oldest request the target holds.
    void CompleteQueued(NTSTATUS status);

    // ENABLE_LOG; DISABLE_LOG.
    void EnableLog();
    void DisableLog();
    // SET_LOGGING_OPTIONS with the current settings changed by `change`.
    void SetOptions(const std::function<void(LOGGING_OPTIONS&)>& change);
    // A filter block in force with the given bytes set (on top of the default marker).
    void SetFilter(std::initializer_list<size_t> bytes);

    // Zeroed pool memory (a valid address for the kernel), freed after the test.
    PUCHAR Allocate(ULONG size);
    PURB NewUrb(USHORT function, USHORT length);

    // The tree's node of the target device and its stack (not referenced: the tree keeps them).
    PDEVOBJ_NODE TargetNode() const { return m_node; }
    PDEVICE_STACK TargetStack() const { return m_stack; }

    PDEVICE_OBJECT m_pdo = nullptr;
    PDEVICE_OBJECT m_upper = nullptr;

private:
    PDEVOBJ_NODE m_node = nullptr;
    PDEVICE_STACK m_stack = nullptr;
    std::vector<PVOID> m_memory;
};

// Header fields of a record as the tests compare them.
ULONG64 HeaderIrp(const ReadRecord& record);
ULONG64 HeaderDeviceObject(const ReadRecord& record);
ULONG64 HeaderStackLocation(const ReadRecord& record);
ULONG HeaderStatus(const ReadRecord& record);
// The tags of the records, as text ("urbI urbR urbC").
std::string Tags(const std::vector<ReadRecord>& records);

} // namespace capturetest
