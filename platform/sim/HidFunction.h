// A HID interface: its HID descriptor and report descriptor, the class requests (reports, idle rate,
// protocol) and an interrupt IN endpoint that hands out queued input reports and NAKs while there are none.
#pragma once

#include <deque>
#include <functional>

#include "platform/sim/DeviceTimer.h"
#include "platform/sim/UsbDevice.h"

namespace sim {

class HidFunction : public UsbFunction {
public:
    HidFunction(Bytes reportDescriptor, UCHAR inEndpoint, USHORT inputReportSize);

    // The HID class descriptor (type 0x21) that the configuration carries before the endpoints.
    Bytes HidDescriptor() const;
    const Bytes& ReportDescriptor() const { return m_reportDescriptor; }
    UCHAR InEndpoint() const { return m_inEndpoint; }

    // Queues an input report for the interrupt endpoint and tells the host; a device whose port is suspended
    // wakes it first when the host allowed remote wakeup.
    void QueueInputReport(Bytes report);
    size_t QueuedInputReports() const;
    // Makes an input report with `next(n)` every 1/reportsPerSecond of machine time (a moving mouse, a typing
    // hand), on the device's own thread, until StopReports.
    void StartReports(ULONG reportsPerSecond, std::function<Bytes(uint64_t n)> next);
    void StopReports();
    uint64_t ReportsMade() const { return m_timer.Ticks(); }
    // The last report the host sent with SET_REPORT (an LED state, ...).
    Bytes LastOutputReport() const;
    UCHAR Protocol() const;
    UCHAR IdleRate() const;

    TransferResult ClassRequest(const SetupPacket& setup, std::span<UCHAR> data) override;
    TransferResult InterfaceDescriptor(const SetupPacket& setup, std::span<UCHAR> data) override;
    TransferResult Transfer(UCHAR endpointAddress, std::span<UCHAR> data) override;
    void Reset(UCHAR alternateSetting) override;

private:
    const Bytes m_reportDescriptor;
    const UCHAR m_inEndpoint;
    const USHORT m_inputReportSize;
    const bool m_hasOutput;
    mutable std::mutex m_lock; // guards what tests read from outside a request
    std::deque<Bytes> m_inputReports;
    Bytes m_outputReport;
    UCHAR m_protocol = 1; // report protocol
    UCHAR m_idleRate = 0;
    DeviceTimer m_timer; // last: it stops before the rest goes
};

// Report descriptors of the boot mouse (three buttons, X, Y, wheel: 4-byte reports), the boot keyboard (8-byte
// reports, a 1-byte LED output report) and a consumer control (volume up, down, mute: 1-byte reports).
Bytes BootMouseReportDescriptor();
Bytes BootKeyboardReportDescriptor();
Bytes ConsumerControlReportDescriptor();

} // namespace sim
