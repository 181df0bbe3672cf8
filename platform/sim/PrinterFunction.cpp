#include "platform/sim/PrinterFunction.h"

#include <algorithm>
#include <cstring>

namespace sim {

namespace {

// bRequest of the printer class requests.
constexpr UCHAR kGetDeviceId = 0;
constexpr UCHAR kGetPortStatus = 1;
constexpr UCHAR kSoftReset = 2;
// Port status: selected, no error (the bits are active low: 0x08 means "not error").
constexpr UCHAR kPortStatusReady = 0x18;

} // namespace

PrinterFunction::PrinterFunction(std::string deviceId, UCHAR outEndpoint, UCHAR inEndpoint)
    : m_deviceId(std::move(deviceId)), m_out(outEndpoint), m_in(inEndpoint) {}

Bytes PrinterFunction::Printed() const {
    std::lock_guard guard(m_lock);
    return m_printed;
}

TransferResult PrinterFunction::ClassRequest(const SetupPacket& setup, std::span<UCHAR> data) {
    switch (setup.bRequest) {
    case kGetDeviceId: {
        // Two bytes of length (big-endian, the length bytes included), then the ID text.
        Bytes id(2 + m_deviceId.size());
        id[0] = static_cast<UCHAR>(id.size() >> 8);
        id[1] = static_cast<UCHAR>(id.size());
        std::memcpy(&id[2], m_deviceId.data(), m_deviceId.size());
        size_t n = std::min(id.size(), data.size());
        std::memcpy(data.data(), id.data(), n);
        return TransferResult::Ok(static_cast<ULONG>(n));
    }
    case kGetPortStatus:
        if (data.empty()) {
            return TransferResult::Stall();
        }
        data[0] = kPortStatusReady;
        return TransferResult::Ok(1);
    case kSoftReset:
        return TransferResult::Ok();
    default:
        return TransferResult::Stall();
    }
}

TransferResult PrinterFunction::Transfer(UCHAR endpointAddress, std::span<UCHAR> data) {
    if (endpointAddress == m_out) {
        std::lock_guard guard(m_lock);
        m_printed.insert(m_printed.end(), data.begin(), data.end());
        return TransferResult::Ok(static_cast<ULONG>(data.size()));
    }
    return endpointAddress == m_in ? TransferResult::Nak() : TransferResult::Stall();
}

LoopbackFunction::LoopbackFunction(UCHAR outEndpoint, UCHAR inEndpoint) : m_out(outEndpoint), m_in(inEndpoint) {}

TransferResult LoopbackFunction::Transfer(UCHAR endpointAddress, std::span<UCHAR> data) {
    std::lock_guard guard(m_lock);
    if (endpointAddress == m_out) {
        m_pending.insert(m_pending.end(), data.begin(), data.end());
        EndpointReady(m_in);
        return TransferResult::Ok(static_cast<ULONG>(data.size()));
    }
    if (endpointAddress != m_in) {
        return TransferResult::Stall();
    }
    if (m_pending.empty()) {
        return TransferResult::Nak();
    }
    size_t n = std::min(m_pending.size(), data.size());
    std::memcpy(data.data(), m_pending.data(), n);
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(n));
    return TransferResult::Ok(static_cast<ULONG>(n));
}

void LoopbackFunction::Reset(UCHAR) {
    std::lock_guard guard(m_lock);
    m_pending.clear();
}

} // namespace sim
