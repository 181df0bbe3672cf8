// Workloads: what the users of a machine do, played through its class drivers, so that every driver below sees
// the traffic a real machine carries. A workload runs a number of steps or for a span of machine time,
// deterministic under its seed (the data, sizes and moves it chooses; threads still interleave as they will):
//
//     sim::WorkloadOptions options;
//     options.count = 4;                                  // four files
//     sim::WorkloadResult result = sim::RunWorkload(*machine, sim::WorkloadKind::CopyToStick, options);
//     ASSERT_TRUE(result.Succeeded()) << result.failure;
//
// The kinds, and what one step is:
// - "idle machine": one second of a machine nobody uses: the disks polled for their medium, the printer for its
//   status, the hubs' status-change transfers waiting; on the first step the HID devices are suspended when
//   idle (idle notification, wait-wake, device power); on the last the machine sleeps and wakes (system power)
//   and the mouse wakes its port;
// - "mouse moving": one input report, made by the mouse at its report rate and read through the HID class
//   driver from the mouse's collection (which the workload holds open, as the input thread does); the HID
//   class requests and the HID IOCTLs of each transfer method on the first step;
// - "copying a file to the stick": one file written to the stick's disk through the disk and storage class
//   drivers (SCSI WRITE(10) over the bulk-only transport), flushed, read back and compared;
// - "printing": one print job sent to the printer through the printer class driver, with its status and ID
//   requests; the printer takes it at its own speed;
// - "plug and unplug": one device plugged into a free port of the external hub, used a little, and pulled out
//   again: a mouse (sometimes pulled while a read waits on it), a stick, a printer, a hub with a keyboard and a
//   stick below it, a vendor device whose driver cycles its port; the kinds take turns from one the seed picks;
// - "every request family": one round of every URB function the port driver serves, the internal and
//   device-control requests, HID IOCTLs, completion routines with each combination of invoke bits,
//   cancellation, and power requests, sent by the class drivers on their own threads;
// - "loopback flood": one pair of small bulk transfers, written to the loopback device and read back through
//   its generic driver on the workload's own thread, each answered at once: the most requests a second the
//   machine can carry (the data is checked once per run of pairs, not per pair).
//
// Time: the steps that wait for the machine's clock (report rates, idle seconds, a slow printer, the transfers'
// time on their buses) wait for machine time; when the clock is virtual (nt::clock::UseVirtualClock) the
// workload moves it on itself, so that a test runs in real milliseconds.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/sim/Machine.h"

namespace sim {

enum class WorkloadKind { IdleMachine, MouseMoving, CopyToStick, Printing, PlugAndUnplug, RequestFamilies, Flood };

// "idle machine", "mouse moving", "copying a file to the stick", "printing", "plug and unplug", "every request
// family", "loopback flood"; and back (null for an unknown name).
std::string_view WorkloadName(WorkloadKind kind);
std::optional<WorkloadKind> WorkloadFromName(std::string_view name);

struct WorkloadOptions {
    // Steps to run; with a duration too, whichever ends first. Neither: one step.
    uint64_t count = 0;
    // Machine time to run for (steps already begun are finished).
    std::chrono::milliseconds duration{0};
    // Set by another thread to end the run early, as the end of its duration does.
    const std::atomic<bool>* stop = nullptr;
    uint64_t seed = 1;
    // The device the workload uses, by its model's name; empty: the default machine's ("mouse", "stick",
    // "printer", "loopback"; "plug and unplug" plugs into "hub").
    std::string device;

    // Mouse moving: input reports per second; the default is the mouse's poll rate (bInterval 10 ms), the most
    // its bus carries. A faster mouse has reports waiting in it for the host to poll.
    ULONG reportRateHz = 100;
    // Copying: bytes of each file (whole blocks), and of one READ(10)/WRITE(10) (up to 2 MiB; the default is
    // one transfer per file, large enough that a capture of it continues in further records).
    ULONG fileBytes = 128 * 1024;
    ULONG transferBytes = 128 * 1024;
    ULONG jobBytes = 16 * 1024;  // printing: bytes of each job
    ULONG printerBytesPerMs = 0; // printing: the printer's speed; 0: it takes data as fast as it comes
    // Every request family: the isochronous IN packets (of 8 per transfer) the loopback device fails in each
    // round, and the bytes of its large bulk transfers.
    ULONG isochErrors = 0;
    ULONG bulkBytes = 256 * 1024;
    ULONG floodBytes = 64; // loopback flood: bytes of each transfer (1 to 64)
    // Whether the workload checks what it gets back (the copied file read back and compared, the printed job,
    // the reports) and makes fresh data for every file. A benchmark turns it off to measure the traffic
    // alone: every file of a run then carries the same bytes, made once, and what is read back is not
    // compared.
    bool checks = true;
};

struct WorkloadResult {
    NTSTATUS status = STATUS_SUCCESS; // the first failure
    std::string failure;              // what failed, for a message
    uint64_t steps = 0;               // steps finished
    // URBs the host controllers received during the run: for the device's own workloads (the mouse moving, a
    // copy to the stick, printing), those of that device; for the others, every device's.
    uint64_t requests = 0;
    uint64_t bytes = 0;       // payload bytes the workload moved (written, read, printed, reported)
    LONGLONG machineTime = 0; // machine time the run took, 100 ns units

    bool Succeeded() const { return NT_SUCCESS(status); }
};

WorkloadResult RunWorkload(Machine& machine, WorkloadKind kind, const WorkloadOptions& options = {});

} // namespace sim
