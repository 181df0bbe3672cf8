// Requests a program or a system service sends a device, as the I/O manager builds them: device controls,
// reads, writes and flushes to the top of the device's stack, waited for in real time; an open of the device
// held for as long as its owner lives; and where a device's children lie in the device tree. The workloads and
// the desk play their users through these.
#pragma once

#include <chrono>
#include <functional>
#include <string_view>
#include <thread>
#include <vector>

#include "NtPnpControl.h"
#include "wdm.h"

namespace sim::drv {

constexpr auto kPatience = std::chrono::seconds(20); // real time a request may wait for the machine

// Waits in real time (the machine clock may be virtual) until `ready`, at most kPatience: first giving up the
// processor a few times (most requests end within microseconds, on the machine's other threads), then
// sleeping between looks.
template <class Predicate> bool AwaitReal(Predicate ready) {
    constexpr int kYields = 64;
    for (int i = 0; i < kYields; ++i) {
        if (ready()) {
            return true;
        }
        std::this_thread::yield();
    }
    const auto until = std::chrono::steady_clock::now() + kPatience;
    while (!ready()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    return true;
}

// A request built by the I/O manager, sent to the top of a stack, and waited for.
struct Sent {
    NTSTATUS status = STATUS_UNSUCCESSFUL;
    ULONG_PTR information = 0;
};

// An asynchronous request: sent at once, its end awaited later.
class Pending {
public:
    Pending() { KeInitializeEvent(&m_event, NotificationEvent, FALSE); }
    Pending(const Pending&) = delete;
    Pending& operator=(const Pending&) = delete;
    KEVENT* Event() { return &m_event; }
    IO_STATUS_BLOCK* Status() { return &m_status; }
    void Send(PDEVICE_OBJECT device, PIRP irp) {
        m_sent = irp != nullptr;
        if (irp) {
            m_returned = IoCallDriver(device, irp);
        } else {
            m_status.Status = STATUS_INSUFFICIENT_RESOURCES;
        }
    }
    bool Done() { return !m_sent || KeReadStateEvent(&m_event) != 0 || m_returned != STATUS_PENDING; }
    bool Wait() {
        return AwaitReal([this] { return Done(); });
    }
    Sent Result() {
        if (!m_sent) {
            return {STATUS_INSUFFICIENT_RESOURCES, 0};
        }
        if (m_returned != STATUS_PENDING) {
            KeWaitForSingleObject(&m_event, Executive, KernelMode, FALSE, nullptr); // set before the IRP was freed
        }
        return {m_status.Status, m_status.Information};
    }

private:
    KEVENT m_event;
    IO_STATUS_BLOCK m_status{};
    NTSTATUS m_returned = STATUS_PENDING;
    bool m_sent = false;
};

// A device control to the top of `device`'s stack (internal: IRP_MJ_INTERNAL_DEVICE_CONTROL), waited for.
Sent Ioctl(PDEVICE_OBJECT device, ULONG code, PVOID input, ULONG inputLength, PVOID output, ULONG outputLength,
           bool internal = false);
// A read, write or flush to the top of a stack (the I/O manager describes the buffer as the device wants it);
// `whileWaiting` runs until the request has ended.
Sent Transfer(PDEVICE_OBJECT device, ULONG major, PVOID buffer, ULONG length, LONGLONG offset,
              const std::function<void()>& whileWaiting = {});

// An open of a device (IRP_MJ_CREATE to the top of its stack), closed with its owner.
class OpenDevice {
public:
    explicit OpenDevice(PDEVICE_OBJECT device);
    ~OpenDevice();
    OpenDevice(const OpenDevice&) = delete;
    OpenDevice& operator=(const OpenDevice&) = delete;
    NTSTATUS Status() const { return m_status; }
    // The open's file object and the top of the stack it was opened on (null when the open failed).
    PFILE_OBJECT File() const { return m_file; }
    PDEVICE_OBJECT Top() const { return m_top; }

private:
    PFILE_OBJECT m_file = nullptr;
    PDEVICE_OBJECT m_top = nullptr;
    NTSTATUS m_status;
};

// The device nodes below a physical device object, depth first, children in arrival order.
std::vector<nt::pnp::DeviceNodeInfo> Descendants(PDEVICE_OBJECT pdo);
// The first node below `pdo` whose instance path starts with `prefix`.
PDEVICE_OBJECT DescendantPdo(PDEVICE_OBJECT pdo, std::u16string_view prefix);

} // namespace sim::drv
