// A printer-class interface (bidirectional): the class requests GET_DEVICE_ID (the IEEE 1284 device ID),
// GET_PORT_STATUS and SOFT_RESET, a bulk OUT endpoint that takes the print data and a bulk IN endpoint with
// nothing to say.
//
// By default the printer takes data as fast as it comes. Given a speed, it has a buffer that its engine empties
// at that many bytes per millisecond of machine time, on the printer's own thread: a transfer that does not fit
// is NAKed until the engine has made room, and then completes on that thread.
#pragma once

#include <deque>

#include "platform/sim/DeviceTimer.h"
#include "platform/sim/UsbDevice.h"

namespace sim {

class PrinterFunction : public UsbFunction {
public:
    PrinterFunction(std::string deviceId, UCHAR outEndpoint, UCHAR inEndpoint);
    ~PrinterFunction() override;

    const std::string& DeviceId() const { return m_deviceId; }
    // Everything the host printed so far (taken into the buffer, printed or not).
    Bytes Printed() const;
    // Bytes taken but not printed yet.
    size_t Buffered() const;
    // A transfer waits for the engine to make room.
    bool Waiting() const;
    // Milliseconds the engine has run so far.
    uint64_t EngineTicks() const { return m_engine.Ticks(); }
    // The engine's speed (0: unlimited, no buffer) and the buffer's size.
    void SetSpeed(ULONG bytesPerMillisecond, ULONG bufferBytes = 16 * 1024);
    // An empty paper tray: the port status says so and the engine stops until paper is back.
    void SetPaperEmpty(bool empty);
    size_t SoftResets() const;

    TransferResult ClassRequest(const SetupPacket& setup, std::span<UCHAR> data) override;
    TransferResult Transfer(UCHAR endpointAddress, std::span<UCHAR> data) override;
    void Reset(UCHAR alternateSetting) override;

private:
    void Print(); // one millisecond of the engine

    const std::string m_deviceId;
    const UCHAR m_out;
    const UCHAR m_in;
    mutable std::mutex m_lock;
    Bytes m_printed;
    size_t m_buffered = 0;
    ULONG m_speed = 0;
    ULONG m_bufferBytes = 0;
    bool m_paperEmpty = false;
    bool m_stalled = false; // a transfer was NAKed for want of room
    size_t m_softResets = 0;
    DeviceTimer m_engine; // last: it stops before the rest goes
};

// A vendor-specific interface: alternate setting 0 has one bulk OUT and one bulk IN endpoint, what goes out
// comes back in; alternate setting 1 adds an isochronous OUT and IN pair, whose IN packets give back the OUT
// packets in order, each as long as it was (empty packets when there are none). Vendor requests to the
// interface: 0x01 (OUT) keeps up to 64 bytes, 0x02 (IN) gives them back, 0x03 (IN) the firmware version.
class LoopbackFunction : public UsbFunction {
public:
    LoopbackFunction(UCHAR outEndpoint, UCHAR inEndpoint, UCHAR isochOut = 0, UCHAR isochIn = 0);

    // The next `count` isochronous IN packets fail (USBD_STATUS_CRC), losing their data.
    void FailIsochPackets(ULONG count);
    static constexpr USHORT kFirmwareVersion = 0x0142;

    TransferResult ClassRequest(const SetupPacket& setup, std::span<UCHAR> data) override;
    TransferResult Transfer(UCHAR endpointAddress, std::span<UCHAR> data) override;
    TransferResult IsochPacket(UCHAR endpointAddress, ULONG frame, std::span<UCHAR> data) override;
    void Reset(UCHAR alternateSetting) override;

private:
    const UCHAR m_out;
    const UCHAR m_in;
    const UCHAR m_isochOut;
    const UCHAR m_isochIn;
    std::mutex m_lock;
    Bytes m_pending;
    std::deque<Bytes> m_packets;
    ULONG m_failPackets = 0;
    Bytes m_vendorData;
};

} // namespace sim
