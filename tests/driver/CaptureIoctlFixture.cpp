#include "tests/driver/CaptureIoctlFixture.h"

#include <algorithm>
#include <cstring>
#include <sstream>

#include "driver/capture/CaptureGate.h"
#include "driver/stacktree/Classify.h"

namespace capturetest {

namespace {

void Append(std::vector<uint8_t>& bytes, ULONG64 value) {
    for (int i = 0; i < 8; ++i) {
        bytes.push_back(static_cast<uint8_t>(value >> (8 * i)));
    }
}

PUCHAR OutputOf(PIRP irp) {
    const ULONG code = IoGetCurrentIrpStackLocation(irp)->Parameters.DeviceIoControl.IoControlCode;
    switch (METHOD_FROM_CTL_CODE(code)) {
    case METHOD_BUFFERED: return static_cast<PUCHAR>(irp->AssociatedIrp.SystemBuffer);
    case METHOD_IN_DIRECT:
    case METHOD_OUT_DIRECT:
        return irp->MdlAddress ? static_cast<PUCHAR>(MmGetSystemAddressForMdlSafe(irp->MdlAddress, NormalPagePriority))
                               : nullptr;
    }
    return static_cast<PUCHAR>(irp->UserBuffer);
}

} // namespace

void IoctlCaptureFixture::SetUp() {
    CaptureFixture::SetUp();
    if (HasFatalFailure()) {
        return;
    }
    // A parent for the target's stack, as a USB device is the parent of the HID collection its driver reports.
    ASSERT_EQ(IoCreateDevice(m_pdo->DriverObject, 0, nullptr, FILE_DEVICE_UNKNOWN, 0, FALSE, &m_parentDevice),
              STATUS_SUCCESS);
    m_parentDevice->Flags &= ~DO_DEVICE_INITIALIZING;
    PDEVICE_STACK parent = CreateStack(m_parentDevice, FALSE, nullptr);
    ASSERT_NE(parent, nullptr);
    ASSERT_TRUE(LinkChildStack(parent, TargetStack()));
    StackRelease(parent);
    m_parentNode = FindDeviceNode(m_parentDevice, TRUE);
    ASSERT_NE(m_parentNode, nullptr);
    DeviceNodeRelease(m_parentNode); // the tree keeps it
    DeviceNodeClearFlags(m_parentNode, DEVOBJ_CAPTURE_OFF);
    EnableLog();
}

void IoctlCaptureFixture::TearDown() {
    if (m_parentDevice != nullptr) {
        IoDeleteDevice(m_parentDevice);
    }
    CaptureFixture::TearDown(); // completes what the target still holds
    m_sent.clear();
}

void IoctlCaptureFixture::MakeStack(StackKind kind) {
    TargetStack()->DeviceClass = kind == StackKind::Hub ? 9 : 0;
    TargetStack()->UpperClass = kind == StackKind::HostController ? UPPER_CLASS_HOST_CONTROLLER : UPPER_CLASS_NONE;
}

IoctlSent IoctlCaptureFixture::Send(const IoctlRequest& request, PDEVICE_OBJECT device) {
    device = device != nullptr ? device : m_pdo;
    const ULONG inputLength = static_cast<ULONG>(request.input.size());
    PUCHAR input = Allocate(std::max<ULONG>(inputLength, 1));
    std::copy(request.input.begin(), request.input.end(), input);
    PUCHAR output = Allocate(std::max<ULONG>(request.outputLength, 1));
    std::copy(request.output.begin(), request.output.end(), output);

    IoctlSent sent;
    sent.sent = m_sent.emplace_back(std::make_unique<SentRequest>()).get();
    KeInitializeEvent(&sent.sent->done, NotificationEvent, FALSE);
    PIRP irp = IoBuildDeviceIoControlRequest(request.code, device, inputLength ? input : nullptr, inputLength,
                                             request.outputLength ? output : nullptr, request.outputLength,
                                             request.internal, &sent.sent->done, &sent.sent->ioStatus);
    sent.sent->irp = irp;
    EXPECT_NE(irp, nullptr);
    if (irp == nullptr) {
        return sent;
    }
    auto& others = IoGetNextIrpStackLocation(irp)->Parameters.Others;
    PVOID* slots[4] = {&others.Argument1, &others.Argument2, &others.Argument3, &others.Argument4};
    for (int i = 0; i < 4; ++i) {
        if (request.arguments[i] != nullptr) {
            *slots[i] = request.arguments[i];
        }
        sent.addresses["a" + std::to_string(i + 1)] = reinterpret_cast<ULONG64>(*slots[i]);
    }
    if (request.own) {
        CaptureMarkOwnRequest(irp);
    }
    sent.addresses["sb"] = reinterpret_cast<ULONG64>(irp->AssociatedIrp.SystemBuffer);
    sent.addresses["mdl"] = reinterpret_cast<ULONG64>(irp->MdlAddress);
    sent.addresses["ub"] = reinterpret_cast<ULONG64>(irp->UserBuffer);

    Target().answer = [&request](PIRP answered) {
        if (!request.answer.empty()) {
            PUCHAR out = OutputOf(answered);
            EXPECT_NE(out, nullptr);
            if (out != nullptr) {
                std::copy(request.answer.begin(), request.answer.end(), out);
            }
        }
        if (request.device) {
            request.device(answered);
        }
        answered->IoStatus.Information = request.information;
        return request.status;
    };
    sent.status = sent.sent->returned = IoCallDriver(device, irp);
    Target().answer = nullptr;
    sent.records = ReadLog();
    return sent;
}

IoctlSent IoctlCaptureFixture::SendMajor(UCHAR major, UCHAR minor, const std::function<void(PIO_STACK_LOCATION)>& fill,
                                         NTSTATUS status, ULONG_PTR information,
                                         const std::function<void(PIRP)>& device, PDEVICE_OBJECT to) {
    to = to != nullptr ? to : m_pdo;
    IoctlSent sent;
    sent.sent = m_sent.emplace_back(std::make_unique<SentRequest>()).get();
    KeInitializeEvent(&sent.sent->done, NotificationEvent, FALSE);
    PIRP irp = IoBuildSynchronousFsdRequest(major, to, nullptr, 0, nullptr, &sent.sent->done, &sent.sent->ioStatus);
    sent.sent->irp = irp;
    EXPECT_NE(irp, nullptr);
    if (irp == nullptr) {
        return sent;
    }
    if (major == IRP_MJ_PNP) {
        irp->IoStatus.Status = STATUS_NOT_SUPPORTED; // what a Plug and Play request starts with
    }
    PIO_STACK_LOCATION location = IoGetNextIrpStackLocation(irp);
    location->MinorFunction = minor;
    if (fill) {
        fill(location);
    }
    Target().answer = [&](PIRP answered) {
        if (device) {
            device(answered);
        }
        answered->IoStatus.Information = information;
        return status;
    };
    sent.status = sent.sent->returned = IoCallDriver(to, irp);
    Target().answer = nullptr;
    sent.records = ReadLog();
    return sent;
}

std::vector<uint8_t> ExpectedPayload(const std::string& pattern, const IoctlRequest& request, const IoctlSent& sent) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < pattern.size();) {
        const char c = pattern[i];
        if (c == ' ') {
            ++i;
        } else if (c == '{') {
            const size_t end = pattern.find('}', i);
            const std::string token = pattern.substr(i + 1, end - i - 1);
            i = end + 1;
            // name[@offset][:count]
            const size_t colon = token.find(':');
            const size_t at = token.find('@');
            const std::string name = token.substr(0, std::min(colon, at));
            const size_t offset = at == std::string::npos ? 0 : std::stoul(token.substr(at + 1));
            const bool counted = colon != std::string::npos;
            const size_t count = counted ? std::stoul(token.substr(colon + 1)) : 0;
            std::vector<uint8_t> source;
            if (name == "input") {
                source = request.input;
            } else if (name == "output") {
                source = request.output;
                source.resize(request.outputLength);
            } else if (name == "answer") {
                source = request.answer;
            } else if (name == "zero" || name == "bang") {
                bytes.insert(bytes.end(), count, name == "zero" ? 0 : '!');
                continue;
            } else {
                EXPECT_TRUE(sent.addresses.count(name)) << name;
                Append(bytes, sent.addresses.count(name) ? sent.addresses.at(name) : 0);
                continue;
            }
            const size_t first = std::min(offset, source.size());
            const size_t n = counted ? std::min(count, source.size() - first) : source.size() - first;
            bytes.insert(bytes.end(), source.begin() + first, source.begin() + first + n);
        } else {
            bytes.push_back(static_cast<uint8_t>(std::stoul(pattern.substr(i, 2), nullptr, 16)));
            i += 2;
        }
    }
    return bytes;
}

std::string Hex(std::span<const uint8_t> bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i != 0 && i % 4 == 0) {
            text += ' ';
        }
        text += digits[bytes[i] >> 4];
        text += digits[bytes[i] & 15];
    }
    return text;
}

std::vector<uint8_t> Counting(size_t n, uint8_t first) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) {
        bytes[i] = static_cast<uint8_t>(first + i);
    }
    return bytes;
}

} // namespace capturetest
