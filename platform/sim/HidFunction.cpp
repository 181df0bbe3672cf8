#include "platform/sim/HidFunction.h"

#include <algorithm>
#include <cstring>

#include "hidport.h"

namespace sim {

namespace {

// Whether a report descriptor has an Output main item (a keyboard's LEDs).
bool HasOutputReport(const Bytes& descriptor) {
    for (size_t i = 0; i < descriptor.size();) {
        const UCHAR prefix = descriptor[i];
        if (prefix == 0xFE) { // long item
            i += 3 + (i + 1 < descriptor.size() ? descriptor[i + 1] : 0);
            continue;
        }
        if ((prefix & 0xFC) == 0x90) {
            return true;
        }
        static constexpr size_t kSizes[] = {0, 1, 2, 4};
        i += 1 + kSizes[prefix & 3];
    }
    return false;
}

} // namespace

HidFunction::HidFunction(Bytes reportDescriptor, UCHAR inEndpoint, USHORT inputReportSize)
    : m_reportDescriptor(std::move(reportDescriptor)), m_inEndpoint(inEndpoint), m_inputReportSize(inputReportSize),
      m_hasOutput(HasOutputReport(m_reportDescriptor)) {}

Bytes HidFunction::HidDescriptor() const {
    Bytes b{9, HID_HID_DESCRIPTOR_TYPE, 0x11, 0x01, 0, 1, HID_REPORT_DESCRIPTOR_TYPE, 0, 0};
    WriteU16(&b[7], static_cast<USHORT>(m_reportDescriptor.size()));
    return b;
}

void HidFunction::QueueInputReport(Bytes report) {
    {
        std::lock_guard guard(m_lock);
        m_inputReports.push_back(std::move(report));
    }
    if (UsbDevice* device = Device()) {
        device->SignalRemoteWakeup();
    }
    EndpointReady(m_inEndpoint);
}

void HidFunction::StartReports(ULONG reportsPerSecond, std::function<Bytes(uint64_t)> next) {
    const LONGLONG period = 10'000'000 / std::max<ULONG>(reportsPerSecond, 1);
    m_timer.Start(period, [this, next = std::move(next)](uint64_t n) { QueueInputReport(next(n)); });
}

void HidFunction::StopReports() {
    m_timer.Stop();
}

size_t HidFunction::QueuedInputReports() const {
    std::lock_guard guard(m_lock);
    return m_inputReports.size();
}

Bytes HidFunction::LastOutputReport() const {
    std::lock_guard guard(m_lock);
    return m_outputReport;
}

UCHAR HidFunction::Protocol() const {
    std::lock_guard guard(m_lock);
    return m_protocol;
}

UCHAR HidFunction::IdleRate() const {
    std::lock_guard guard(m_lock);
    return m_idleRate;
}

TransferResult HidFunction::ClassRequest(const SetupPacket& setup, std::span<UCHAR> data) {
    std::lock_guard guard(m_lock);
    switch (setup.bRequest) {
    case HID_REQUEST_GET_REPORT: {
        // wValue: report type (1 input, 2 output, 3 feature) and ID. The devices have no feature reports.
        const UCHAR type = static_cast<UCHAR>(setup.wValue >> 8);
        Bytes report;
        if (type == 1) {
            report = m_inputReports.empty() ? Bytes(m_inputReportSize) : m_inputReports.front();
        } else if (type == 2 && !m_outputReport.empty()) {
            report = m_outputReport;
        } else {
            return TransferResult::Stall();
        }
        size_t n = std::min(report.size(), data.size());
        if (n) {
            std::memcpy(data.data(), report.data(), n);
        }
        return TransferResult::Ok(static_cast<ULONG>(n));
    }
    case HID_REQUEST_SET_REPORT:
        if ((setup.wValue >> 8) != 2 || setup.In() || !m_hasOutput) {
            return TransferResult::Stall(); // output reports only, of a device that has them
        }
        m_outputReport.assign(data.begin(), data.end());
        return TransferResult::Ok(static_cast<ULONG>(data.size()));
    case HID_REQUEST_GET_IDLE:
        if (data.empty()) {
            return TransferResult::Stall();
        }
        data[0] = m_idleRate;
        return TransferResult::Ok(1);
    case HID_REQUEST_SET_IDLE: m_idleRate = static_cast<UCHAR>(setup.wValue >> 8); return TransferResult::Ok();
    case HID_REQUEST_GET_PROTOCOL:
        if (data.empty()) {
            return TransferResult::Stall();
        }
        data[0] = m_protocol;
        return TransferResult::Ok(1);
    case HID_REQUEST_SET_PROTOCOL: m_protocol = static_cast<UCHAR>(setup.wValue); return TransferResult::Ok();
    default: return TransferResult::Stall();
    }
}

TransferResult HidFunction::InterfaceDescriptor(const SetupPacket& setup, std::span<UCHAR> data) {
    const UCHAR type = static_cast<UCHAR>(setup.wValue >> 8);
    Bytes bytes;
    if (type == HID_HID_DESCRIPTOR_TYPE) {
        bytes = HidDescriptor();
    } else if (type == HID_REPORT_DESCRIPTOR_TYPE) {
        bytes = m_reportDescriptor;
    } else {
        return TransferResult::Stall();
    }
    size_t n = std::min(bytes.size(), data.size());
    std::memcpy(data.data(), bytes.data(), n);
    return TransferResult::Ok(static_cast<ULONG>(n));
}

TransferResult HidFunction::Transfer(UCHAR endpointAddress, std::span<UCHAR> data) {
    if (endpointAddress != m_inEndpoint) {
        return TransferResult::Stall();
    }
    std::lock_guard guard(m_lock);
    if (m_inputReports.empty()) {
        return TransferResult::Nak();
    }
    Bytes report = std::move(m_inputReports.front());
    m_inputReports.pop_front();
    size_t n = std::min(report.size(), data.size());
    if (n) {
        std::memcpy(data.data(), report.data(), n);
    }
    return TransferResult::Ok(static_cast<ULONG>(n));
}

void HidFunction::Reset(UCHAR) {
    std::lock_guard guard(m_lock);
    m_protocol = 1;
    m_idleRate = 0;
}

Bytes BootMouseReportDescriptor() {
    return {0x05, 0x01, // Usage Page (Generic Desktop)
            0x09, 0x02, // Usage (Mouse)
            0xA1, 0x01, // Collection (Application)
            0x09, 0x01, //   Usage (Pointer)
            0xA1, 0x00, //   Collection (Physical)
            0x05, 0x09, //     Usage Page (Buttons)
            0x19, 0x01, //     Usage Minimum (1)
            0x29, 0x03, //     Usage Maximum (3)
            0x15, 0x00, //     Logical Minimum (0)
            0x25, 0x01, //     Logical Maximum (1)
            0x95, 0x03, //     Report Count (3)
            0x75, 0x01, //     Report Size (1)
            0x81, 0x02, //     Input (Data, Variable, Absolute)
            0x95, 0x01, //     Report Count (1)
            0x75, 0x05, //     Report Size (5)
            0x81, 0x03, //     Input (Constant)
            0x05, 0x01, //     Usage Page (Generic Desktop)
            0x09, 0x30, //     Usage (X)
            0x09, 0x31, //     Usage (Y)
            0x09, 0x38, //     Usage (Wheel)
            0x15, 0x81, //     Logical Minimum (-127)
            0x25, 0x7F, //     Logical Maximum (127)
            0x75, 0x08, //     Report Size (8)
            0x95, 0x03, //     Report Count (3)
            0x81, 0x06, //     Input (Data, Variable, Relative)
            0xC0,       //   End Collection
            0xC0};      // End Collection
}

Bytes BootKeyboardReportDescriptor() {
    return {0x05, 0x01, // Usage Page (Generic Desktop)
            0x09, 0x06, // Usage (Keyboard)
            0xA1, 0x01, // Collection (Application)
            0x05, 0x07, //   Usage Page (Key Codes)
            0x19, 0xE0, //   Usage Minimum (224)
            0x29, 0xE7, //   Usage Maximum (231)
            0x15, 0x00, //   Logical Minimum (0)
            0x25, 0x01, //   Logical Maximum (1)
            0x75, 0x01, //   Report Size (1)
            0x95, 0x08, //   Report Count (8)
            0x81, 0x02, //   Input (Data, Variable, Absolute): modifier byte
            0x95, 0x01, //   Report Count (1)
            0x75, 0x08, //   Report Size (8)
            0x81, 0x03, //   Input (Constant): reserved byte
            0x95, 0x05, //   Report Count (5)
            0x75, 0x01, //   Report Size (1)
            0x05, 0x08, //   Usage Page (LEDs)
            0x19, 0x01, //   Usage Minimum (1)
            0x29, 0x05, //   Usage Maximum (5)
            0x91, 0x02, //   Output (Data, Variable, Absolute): LED report
            0x95, 0x01, //   Report Count (1)
            0x75, 0x03, //   Report Size (3)
            0x91, 0x03, //   Output (Constant): padding
            0x95, 0x06, //   Report Count (6)
            0x75, 0x08, //   Report Size (8)
            0x15, 0x00, //   Logical Minimum (0)
            0x25, 0x65, //   Logical Maximum (101)
            0x05, 0x07, //   Usage Page (Key Codes)
            0x19, 0x00, //   Usage Minimum (0)
            0x29, 0x65, //   Usage Maximum (101)
            0x81, 0x00, //   Input (Data, Array): key array
            0xC0};      // End Collection
}

Bytes ConsumerControlReportDescriptor() {
    return {0x05, 0x0C, // Usage Page (Consumer)
            0x09, 0x01, // Usage (Consumer Control)
            0xA1, 0x01, // Collection (Application)
            0x15, 0x00, //   Logical Minimum (0)
            0x25, 0x01, //   Logical Maximum (1)
            0x75, 0x01, //   Report Size (1)
            0x95, 0x03, //   Report Count (3)
            0x09, 0xE9, //   Usage (Volume Increment)
            0x09, 0xEA, //   Usage (Volume Decrement)
            0x09, 0xE2, //   Usage (Mute)
            0x81, 0x02, //   Input (Data, Variable, Absolute)
            0x95, 0x05, //   Report Count (5)
            0x81, 0x03, //   Input (Constant)
            0xC0};      // End Collection
}

} // namespace sim
