#include "platform/sim/PrinterFunction.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace sim {

namespace {

// bRequest of the printer class requests.
constexpr UCHAR kGetDeviceId = 0;
constexpr UCHAR kGetPortStatus = 1;
constexpr UCHAR kSoftReset = 2;
// Port status: selected, no error (the bits are active low: 0x08 means "not error"); out of paper: the paper
// empty bit, not selected, an error.
constexpr UCHAR kPortStatusReady = 0x18;
constexpr UCHAR kPortStatusPaperEmpty = 0x20;

} // namespace

PrinterFunction::PrinterFunction(std::string deviceId, UCHAR outEndpoint, UCHAR inEndpoint)
    : m_deviceId(std::move(deviceId)), m_out(outEndpoint), m_in(inEndpoint) {}

PrinterFunction::~PrinterFunction() {
    m_engine.Stop();
}

Bytes PrinterFunction::Printed() const {
    std::lock_guard guard(m_lock);
    return m_printed;
}

size_t PrinterFunction::Buffered() const {
    std::lock_guard guard(m_lock);
    return m_buffered;
}

bool PrinterFunction::Waiting() const {
    std::lock_guard guard(m_lock);
    return m_stalled;
}

size_t PrinterFunction::SoftResets() const {
    std::lock_guard guard(m_lock);
    return m_softResets;
}

void PrinterFunction::SetSpeed(ULONG bytesPerMillisecond, ULONG bufferBytes) {
    m_engine.Stop();
    bool wake = false;
    {
        std::lock_guard guard(m_lock);
        m_speed = bytesPerMillisecond;
        m_bufferBytes = std::max<ULONG>(bufferBytes, 1);
        if (!m_speed) {
            m_buffered = 0;
            wake = std::exchange(m_stalled, false);
        }
    }
    if (wake) {
        EndpointReady(m_out);
    }
    if (bytesPerMillisecond) {
        m_engine.Start(10'000, [this](uint64_t) { Print(); });
    }
}

void PrinterFunction::SetPaperEmpty(bool empty) {
    bool wake = false;
    {
        std::lock_guard guard(m_lock);
        m_paperEmpty = empty;
        wake = !empty && std::exchange(m_stalled, false);
    }
    if (wake) {
        EndpointReady(m_out);
    }
}

void PrinterFunction::Print() {
    {
        std::lock_guard guard(m_lock);
        if (m_paperEmpty || !m_buffered) {
            return;
        }
        m_buffered -= std::min<size_t>(m_buffered, m_speed);
        if (!std::exchange(m_stalled, false)) {
            return;
        }
    }
    EndpointReady(m_out); // room again for the transfer that waits
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
    case kGetPortStatus: {
        if (data.empty()) {
            return TransferResult::Stall();
        }
        std::lock_guard guard(m_lock);
        data[0] = m_paperEmpty ? kPortStatusPaperEmpty : kPortStatusReady;
        return TransferResult::Ok(1);
    }
    case kSoftReset: {
        bool wake = false;
        {
            std::lock_guard guard(m_lock);
            ++m_softResets;
            m_buffered = 0; // what waited in the buffer is thrown away
            wake = std::exchange(m_stalled, false);
        }
        if (wake) {
            EndpointReady(m_out);
        }
        return TransferResult::Ok();
    }
    default: return TransferResult::Stall();
    }
}

TransferResult PrinterFunction::Transfer(UCHAR endpointAddress, std::span<UCHAR> data) {
    if (endpointAddress == m_out) {
        std::lock_guard guard(m_lock);
        if (m_speed) {
            // A transfer goes into the buffer whole (an empty buffer takes any); else it waits for room.
            if (m_paperEmpty || (m_buffered && m_buffered + data.size() > m_bufferBytes)) {
                m_stalled = true;
                return TransferResult::Nak();
            }
            m_buffered += data.size();
        }
        m_printed.insert(m_printed.end(), data.begin(), data.end());
        return TransferResult::Ok(static_cast<ULONG>(data.size()));
    }
    return endpointAddress == m_in ? TransferResult::Nak() : TransferResult::Stall();
}

void PrinterFunction::Reset(UCHAR) {
    std::lock_guard guard(m_lock);
    m_buffered = 0;
}

LoopbackFunction::LoopbackFunction(UCHAR outEndpoint, UCHAR inEndpoint, UCHAR isochOut, UCHAR isochIn)
    : m_out(outEndpoint), m_in(inEndpoint), m_isochOut(isochOut), m_isochIn(isochIn) {}

void LoopbackFunction::FailIsochPackets(ULONG count) {
    std::lock_guard guard(m_lock);
    m_failPackets = count;
}

TransferResult LoopbackFunction::ClassRequest(const SetupPacket& setup, std::span<UCHAR> data) {
    if (setup.Type() != BMREQUEST_VENDOR) {
        return TransferResult::Stall();
    }
    std::lock_guard guard(m_lock);
    switch (setup.bRequest) {
    case 0x01:
        if (setup.In()) {
            return TransferResult::Stall();
        }
        m_vendorData.assign(data.begin(), data.begin() + std::min<size_t>(data.size(), 64));
        return TransferResult::Ok(static_cast<ULONG>(m_vendorData.size()));
    case 0x02: {
        if (!setup.In()) {
            return TransferResult::Stall();
        }
        size_t n = std::min(m_vendorData.size(), data.size());
        if (n) {
            std::memcpy(data.data(), m_vendorData.data(), n);
        }
        return TransferResult::Ok(static_cast<ULONG>(n));
    }
    case 0x03:
        if (!setup.In() || data.size() < 2) {
            return TransferResult::Stall();
        }
        WriteU16(data.data(), kFirmwareVersion);
        return TransferResult::Ok(2);
    default: return TransferResult::Stall();
    }
}

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

TransferResult LoopbackFunction::IsochPacket(UCHAR endpointAddress, ULONG, std::span<UCHAR> data) {
    std::lock_guard guard(m_lock);
    if (m_isochOut && endpointAddress == m_isochOut) {
        if (m_packets.size() < 1024) { // what is not read back in time is lost, as on a real loop
            m_packets.emplace_back(data.begin(), data.end());
        }
        return TransferResult::Ok(static_cast<ULONG>(data.size()));
    }
    if (!m_isochIn || endpointAddress != m_isochIn) {
        return TransferResult::Error(USBD_STATUS_ISO_NOT_ACCESSED_BY_HW);
    }
    Bytes packet;
    if (!m_packets.empty()) {
        packet = std::move(m_packets.front());
        m_packets.pop_front();
    }
    if (m_failPackets) {
        --m_failPackets;
        return TransferResult::Error(USBD_STATUS_CRC);
    }
    size_t n = std::min(packet.size(), data.size());
    if (n) {
        std::memcpy(data.data(), packet.data(), n);
    }
    return TransferResult::Ok(static_cast<ULONG>(n));
}

void LoopbackFunction::Reset(UCHAR) {
    std::lock_guard guard(m_lock);
    m_pending.clear();
    m_packets.clear();
}

} // namespace sim
