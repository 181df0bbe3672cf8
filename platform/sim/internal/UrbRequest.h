// One URB a class driver keeps for traffic of its own: an IRP it allocated (IoAllocateIrp), the URB and a data
// buffer in non-paged pool (and, when asked, an MDL describing the buffer). Posted with a routine that runs
// when the IRP completes, at DISPATCH_LEVEL on the thread that completes it (which may post it again), or sent
// and waited for. The owner cancels and waits for its requests before it goes.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

#include "platform/sim/internal/PoolMemory.h"
#include "usbdi.h"
#include "wdm.h"

namespace sim::drv {

class UrbRequest {
public:
    // Runs at completion with the IRP's status; the URB's own status is in its header.
    using Done = std::function<void(UrbRequest& request, NTSTATUS status)>;

    // bufferSize 0: no buffer. withMdl: an MDL over the buffer (MmBuildMdlForNonPagedPool), for requests that
    // describe their data by MDL.
    UrbRequest(PDEVICE_OBJECT target, USHORT urbSize, ULONG bufferSize, bool withMdl = false);
    ~UrbRequest(); // waits for a request in flight
    UrbRequest(const UrbRequest&) = delete;
    UrbRequest& operator=(const UrbRequest&) = delete;

    bool Valid() const { return m_irp && m_urb && (m_bufferSize == 0 || m_buffer) && (!m_wantMdl || m_mdl); }
    PURB Urb() const { return m_urb.As<URB>(); }
    USHORT UrbSize() const { return static_cast<USHORT>(m_urb.Size()); }
    UCHAR* Buffer() const { return m_buffer.Data(); }
    ULONG BufferSize() const { return m_bufferSize; }
    PMDL Mdl() const { return m_mdl; }
    PIRP Irp() const { return m_irp; }

    // The URB is built by the caller before; Post sends it and returns what IoCallDriver returned.
    NTSTATUS Post(Done done);
    // Sends and waits (PASSIVE_LEVEL). Returns the IRP's final status.
    NTSTATUS Send();
    // Cancels the request if it is in flight.
    void Cancel();
    // Waits until the request is not in flight (not from its own completion).
    void Wait();
    bool InFlight() const;

private:
    static NTSTATUS Completion(PDEVICE_OBJECT device, PIRP irp, PVOID context);

    PDEVICE_OBJECT m_target;
    PIRP m_irp = nullptr;
    PoolBuffer m_urb;
    PoolBuffer m_buffer;
    ULONG m_bufferSize = 0;
    bool m_wantMdl = false;
    PMDL m_mdl = nullptr;
    Done m_done;
    mutable std::mutex m_lock;
    std::condition_variable m_idle;
    bool m_inFlight = false;
    int m_running = 0; // completions running now
};

} // namespace sim::drv
