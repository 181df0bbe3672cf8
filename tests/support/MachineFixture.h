// Machine fixtures: a simulated machine booted for one test and shut down after it (with a check that the
// kernel's pool is back where it was), and kernel-mode helpers to look at and talk to its device stacks.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "NtPnpControl.h"
#include "platform/sim/Machine.h"
#include "platform/sim/Workload.h"
#include "usb.h"
#include "wdm.h"

struct _URB;

namespace tdl::test {

// --- Device stacks ---

// The device objects of the stack a physical device object heads, bottom up.
std::vector<PDEVICE_OBJECT> StackOf(PDEVICE_OBJECT pdo);
// The driver's name without "\Driver\" ("usbhub").
std::u16string DriverName(PDEVICE_OBJECT device);
// The device's name ("\Device\USBPDO-3"), empty for an unnamed one.
std::u16string DeviceName(PDEVICE_OBJECT device);
// A word or a pointer at an offset of the device extension.
ULONG ExtensionWord(PDEVICE_OBJECT device, size_t offset);
PVOID ExtensionPointer(PDEVICE_OBJECT device, size_t offset);
// A text property of a device node (driver key, class name, ...), or the first string of a list property.
std::u16string Property(PDEVICE_OBJECT pdo, DEVICE_REGISTRY_PROPERTY property);
std::vector<std::u16string> PropertyList(PDEVICE_OBJECT pdo, DEVICE_REGISTRY_PROPERTY property);
// The present device node whose instance path starts with `prefix` (case as written), or null.
PDEVICE_OBJECT NodePdo(std::u16string_view instancePathPrefix);

// --- Requests from kernel mode, synchronous ---
// (On a virtual clock the clock follows the buses while they wait: sim::FollowBusTime.)

struct IoResult {
    NTSTATUS status = STATUS_UNSUCCESSFUL;
    ULONG_PTR information = 0;
};
// A device-control request (buffered, direct or neither, as the code says) to the top of `device`'s stack
// when `top`, else to `device` itself.
IoResult DeviceControl(PDEVICE_OBJECT device, ULONG code, void* input, ULONG inputLength, void* output,
                       ULONG outputLength, bool internal = false, bool top = true);
// An internal request with its arguments (Argument1, Argument2) to `device` itself.
NTSTATUS InternalRequest(PDEVICE_OBJECT device, ULONG code, PVOID argument1, PVOID argument2 = nullptr);
NTSTATUS SubmitUrb(PDEVICE_OBJECT device, _URB* urb);

// A URB sent without waiting for it; it keeps the machine time it completed at.
class PendingUrb {
public:
    PendingUrb(PDEVICE_OBJECT device, _URB* urb);
    PendingUrb(const PendingUrb&) = delete;
    PendingUrb& operator=(const PendingUrb&) = delete;
    NTSTATUS Sent() const { return m_sent; }
    bool Done() { return KeReadStateEvent(&m_event) != 0; }
    NTSTATUS Wait();
    PIRP Irp() const { return m_irp; } // valid while the transfer waits
    LONGLONG CompletedAt() const { return m_completedAt; }

private:
    static NTSTATUS Completed(PDEVICE_OBJECT device, PIRP irp, PVOID context);

    KEVENT m_event;
    IO_STATUS_BLOCK m_status{};
    PIRP m_irp = nullptr;
    NTSTATUS m_sent = STATUS_UNSUCCESSFUL;
    LONGLONG m_completedAt = -1;
};

// Selects a device's configuration from the test, as a class driver would (the pipes its class driver had
// close); the pipes of its first interface.
std::vector<USBD_PIPE_INFORMATION> SelectConfiguration(PDEVICE_OBJECT pdo, const std::vector<UCHAR>& configuration);
// A bulk or interrupt transfer on a pipe.
void BuildTransfer(_URB& urb, USBD_PIPE_HANDLE pipe, bool in, void* buffer, ULONG length);
// IRP_MN_QUERY_INTERFACE to the top of `device`'s stack.
NTSTATUS QueryInterface(PDEVICE_OBJECT device, const GUID& type, USHORT size, USHORT version, PINTERFACE interface,
                        PVOID specificData = nullptr);

// --- Watching requests ---

// Records the requests that reach the device objects of chosen drivers, where the capture driver sees them:
// when the driver is called (all its dispatch routines are replaced while the tap lives) and when the request
// completes (a completion routine put in the driver's stack location, which then calls the caller's own routine
// as its invoke bits say). Every buffer the request points to is checked for valid memory at dispatch
// (MmIsAddressValid's rules: live pool, or memory locked for a request). One tap at a time; take it down before
// the machine goes (a request still pending then completes without being recorded).
struct TappedRequest {
    PDEVICE_OBJECT device = nullptr;
    std::u16string driver;
    UCHAR major = 0;
    UCHAR minor = 0;
    ULONG code = 0; // IoControlCode of (internal) device controls
    PIRP irp = nullptr;
    // URBs.
    USHORT function = 0; // Function & ~URB_FUNCTION_SUBMIT_SYNCHRONOUS
    USHORT rawFunction = 0;
    USHORT urbLength = 0;
    std::vector<UCHAR> urb;     // the URB at dispatch (its Length bytes)
    std::vector<UCHAR> urbDone; // the URB at completion
    std::vector<UCHAR> dataOut; // transfer data at dispatch (OUT transfers), at most 64 KiB
    std::vector<UCHAR> dataIn;  // transfer data at completion (IN transfers), at most 64 KiB
    // Power.
    POWER_STATE_TYPE powerType = SystemPowerState;
    POWER_STATE powerState{};
    // At dispatch.
    std::string invalid; // what the request pointed to that was not valid memory (empty: all valid)
    NTSTATUS returned = STATUS_PENDING;
    std::thread::id dispatchThread;
    KIRQL dispatchIrql = PASSIVE_LEVEL;
    // At completion.
    bool completed = false;
    bool completedInDispatch = false; // before the tapped driver's dispatch routine returned, on its thread
    NTSTATUS status = STATUS_PENDING;
    ULONG_PTR information = 0;
    std::thread::id completionThread;
    KIRQL completionIrql = PASSIVE_LEVEL;
};

class BusTap {
public:
    explicit BusTap(std::vector<std::u16string> drivers);
    ~BusTap();
    BusTap(const BusTap&) = delete;
    BusTap& operator=(const BusTap&) = delete;

    // Copies of what was recorded so far, in dispatch order.
    std::vector<TappedRequest> Requests() const;
    void Clear();
    // The simulated USB drivers of every release ("usbehci", "usbhub", ..., "winusb").
    static std::vector<std::u16string> UsbDrivers();
};

// --- Fixture ---

// Whether a machine a test boots keeps bus time. The analyzer's suites boot it unpaced: they test what the
// analyzer makes of the machine's traffic, not the traffic's pace, and an unpaced machine has it ready at once.
enum class BusTime { Kept, Off };

class MachineTest : public ::testing::Test {
protected:
    void TearDown() override;

    sim::Machine& Boot(const sim::MachineBuilder& hardware, const sim::MachineOptions& options = {});
    sim::Machine& BootDefault(nt::version::Release release = nt::version::Release::Windows7,
                              PDRIVER_INITIALIZE captureDriverEntry = nullptr, BusTime busTime = BusTime::Kept);
    // Machine time stands still from now on until a test or a workload moves it on; the real clock is back
    // once the test has ended.
    void UseVirtualClock();
    // Runs a workload on the machine and expects it to end well.
    sim::WorkloadResult Play(sim::WorkloadKind kind, uint64_t count, sim::WorkloadOptions options = {});
    // The physical device object the hub driver made for a device of the machine (by its model's name).
    PDEVICE_OBJECT Pdo(std::string_view deviceName) const;
    // The top of that device's stack.
    PDEVICE_OBJECT Top(std::string_view deviceName) const;

    std::unique_ptr<sim::Machine> m_machine;

private:
    bool m_virtualClock = false;
};

} // namespace tdl::test
