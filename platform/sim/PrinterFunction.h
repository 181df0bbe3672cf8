// A printer-class interface (bidirectional): the class requests GET_DEVICE_ID (the IEEE 1284 device ID),
// GET_PORT_STATUS and SOFT_RESET, a bulk OUT endpoint that takes the print data and a bulk IN endpoint with
// nothing to say.
#pragma once

#include "platform/sim/UsbDevice.h"

namespace sim {

class PrinterFunction : public UsbFunction {
public:
    PrinterFunction(std::string deviceId, UCHAR outEndpoint, UCHAR inEndpoint);

    const std::string& DeviceId() const { return m_deviceId; }
    // Everything the host printed so far.
    Bytes Printed() const;

    TransferResult ClassRequest(const SetupPacket& setup, std::span<UCHAR> data) override;
    TransferResult Transfer(UCHAR endpointAddress, std::span<UCHAR> data) override;

private:
    const std::string m_deviceId;
    const UCHAR m_out;
    const UCHAR m_in;
    mutable std::mutex m_lock;
    Bytes m_printed;
};

// A vendor-specific interface with one bulk OUT and one bulk IN endpoint: what goes out comes back in.
class LoopbackFunction : public UsbFunction {
public:
    LoopbackFunction(UCHAR outEndpoint, UCHAR inEndpoint);

    TransferResult Transfer(UCHAR endpointAddress, std::span<UCHAR> data) override;
    void Reset(UCHAR alternateSetting) override;

private:
    const UCHAR m_out;
    const UCHAR m_in;
    std::mutex m_lock;
    Bytes m_pending;
};

} // namespace sim
