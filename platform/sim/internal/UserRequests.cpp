#include "platform/sim/internal/UserRequests.h"

#include <string>

#include "NtObjectNamespace.h"

namespace sim::drv {

Sent Ioctl(PDEVICE_OBJECT device, ULONG code, PVOID input, ULONG inputLength, PVOID output, ULONG outputLength,
           bool internal) {
    PDEVICE_OBJECT top = IoGetAttachedDeviceReference(device);
    Pending request;
    request.Send(top, IoBuildDeviceIoControlRequest(code, top, input, inputLength, output, outputLength, internal,
                                                    request.Event(), request.Status()));
    request.Wait();
    Sent sent = request.Result();
    ObDereferenceObject(top);
    return sent;
}

Sent Transfer(PDEVICE_OBJECT device, ULONG major, PVOID buffer, ULONG length, LONGLONG offset,
              const std::function<void()>& whileWaiting) {
    PDEVICE_OBJECT top = IoGetAttachedDeviceReference(device);
    LARGE_INTEGER at;
    at.QuadPart = offset;
    Pending request;
    request.Send(top, IoBuildSynchronousFsdRequest(major, top, buffer, length, &at, request.Event(), request.Status()));
    while (whileWaiting && !request.Done()) {
        whileWaiting();
    }
    request.Wait();
    Sent sent = request.Result();
    ObDereferenceObject(top);
    return sent;
}

OpenDevice::OpenDevice(PDEVICE_OBJECT device) {
    std::u16string name = nt::ob::NameOf(device).value_or(u"");
    UNICODE_STRING counted;
    counted.Buffer = name.data();
    counted.Length = counted.MaximumLength = static_cast<USHORT>(name.size() * sizeof(WCHAR));
    m_status = name.empty() ? STATUS_OBJECT_NAME_INVALID
                            : IoGetDeviceObjectPointer(&counted, GENERIC_READ | GENERIC_WRITE, &m_file, &m_top);
}

OpenDevice::~OpenDevice() {
    if (m_file) {
        ObDereferenceObject(m_file); // IRP_MJ_CLEANUP and IRP_MJ_CLOSE
    }
}

std::vector<nt::pnp::DeviceNodeInfo> Descendants(PDEVICE_OBJECT pdo) {
    const std::vector<nt::pnp::DeviceNodeInfo> nodes = nt::pnp::DeviceNodes();
    std::vector<nt::pnp::DeviceNodeInfo> found;
    std::function<void(const std::u16string&)> walk = [&](const std::u16string& parent) {
        for (const auto& node : nodes) {
            if (node.parentInstancePath == parent) {
                found.push_back(node);
                walk(node.instancePath);
            }
        }
    };
    for (const auto& node : nodes) {
        if (node.pdo == pdo) {
            walk(node.instancePath);
        }
    }
    return found;
}

PDEVICE_OBJECT DescendantPdo(PDEVICE_OBJECT pdo, std::u16string_view prefix) {
    for (const auto& node : Descendants(pdo)) {
        if (node.instancePath.compare(0, prefix.size(), prefix) == 0) {
            return node.pdo;
        }
    }
    return nullptr;
}

} // namespace sim::drv
