#include "tests/support/FakeControlDevice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "NtPnpControl.h"
#include "common/ControlCodes.h"
#include "common/NodeEntries.h"
#include "wdm.h"

namespace tdl::test {

namespace {

FakeControlDevice* g_fake = nullptr;
PDEVICE_OBJECT g_device = nullptr;

UNICODE_STRING DeviceName() {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, u"\\Device\\TindaloftFake");
    return name;
}

UNICODE_STRING LinkName() {
    UNICODE_STRING name;
    RtlInitUnicodeString(&name, u"\\DosDevices\\Tindaloft");
    return name;
}

bool IsSizeQueryCode(ULONG code) {
    return code == IOCTL_TINDALOFT_DRVOBJ_NODES || code == IOCTL_TINDALOFT_DEVSTK_NODES ||
           code == IOCTL_TINDALOFT_DEVSTK_NODES_EX || code == IOCTL_TINDALOFT_GET_MEMLOG;
}

NTSTATUS FakeDispatch(PDEVICE_OBJECT, PIRP irp);
void FakeUnload(PDRIVER_OBJECT);

NTSTATUS FakeEntry(PDRIVER_OBJECT driver, PUNICODE_STRING) {
    for (auto& routine : driver->MajorFunction) {
        routine = FakeDispatch;
    }
    driver->DriverUnload = FakeUnload;
    UNICODE_STRING deviceName = DeviceName();
    NTSTATUS status = IoCreateDevice(driver, 0, &deviceName, FILE_DEVICE_UNKNOWN, 0, FALSE, &g_device);
    if (!NT_SUCCESS(status)) {
        return status;
    }
    UNICODE_STRING linkName = LinkName();
    status = IoCreateSymbolicLink(&linkName, &deviceName);
    if (!NT_SUCCESS(status)) {
        IoDeleteDevice(g_device);
        g_device = nullptr;
        return status;
    }
    g_device->Flags &= ~DO_DEVICE_INITIALIZING;
    return STATUS_SUCCESS;
}

void FakeUnload(PDRIVER_OBJECT) {
    UNICODE_STRING linkName = LinkName();
    IoDeleteSymbolicLink(&linkName);
    if (g_device != nullptr) {
        IoDeleteDevice(g_device);
        g_device = nullptr;
    }
}

NTSTATUS FakeDispatch(PDEVICE_OBJECT, PIRP irp) {
    PIO_STACK_LOCATION stack = IoGetCurrentIrpStackLocation(irp);
    NTSTATUS status = STATUS_SUCCESS;
    ULONG returned = 0;
    if (stack->MajorFunction == IRP_MJ_DEVICE_CONTROL && g_fake != nullptr) {
        const ULONG code = stack->Parameters.DeviceIoControl.IoControlCode;
        const bool neither = METHOD_FROM_CTL_CODE(code) == METHOD_NEITHER;
        const ULONG inputLength = stack->Parameters.DeviceIoControl.InputBufferLength;
        const ULONG outputLength = stack->Parameters.DeviceIoControl.OutputBufferLength;
        const auto* input = static_cast<const uint8_t*>(neither ? stack->Parameters.DeviceIoControl.Type3InputBuffer
                                                                : irp->AssociatedIrp.SystemBuffer);
        auto* output = static_cast<uint8_t*>(neither ? irp->UserBuffer : irp->AssociatedIrp.SystemBuffer);
        g_fake->WaitWhileStalled(code);
        status = g_fake->Answer(code, input, input != nullptr ? inputLength : 0, output,
                                output != nullptr ? outputLength : 0, returned);
    }
    irp->IoStatus.Status = status;
    irp->IoStatus.Information = NT_SUCCESS(status) ? returned : 0;
    IoCompleteRequest(irp, IO_NO_INCREMENT);
    return status;
}

} // namespace

FakeControlDevice::FakeControlDevice() {
    EXPECT_EQ(g_fake, nullptr) << "one fake control device at a time";
    g_fake = this;
    // A driver that hooks nothing yet: both node lists hold only their end entry. The padding keeps the list
    // longer than a size query's 4 bytes, which the driver never answers with a list.
    const NODE_HEADER end{NODE_KIND_END, NODE_END_SIZE};
    std::vector<uint8_t> emptyList(reinterpret_cast<const uint8_t*>(&end),
                                   reinterpret_cast<const uint8_t*>(&end) + sizeof end);
    emptyList.resize(2 * sizeof end, 0);
    m_replies[IOCTL_TINDALOFT_DEVSTK_NODES] = emptyList;
    m_replies[IOCTL_TINDALOFT_DRVOBJ_NODES] = emptyList;
    nt::pnp::RegisterDriverImage(kService, FakeEntry);
    EXPECT_EQ(nt::pnp::LoadDriver(kService), STATUS_SUCCESS);
}

FakeControlDevice::~FakeControlDevice() {
    Release();
    {
        // A held request still uses the fake once it goes on.
        std::unique_lock guard(m_stallLock);
        m_stallChanged.wait(guard, [&] { return m_waiting == 0; });
    }
    if (nt::pnp::LoadedDriver(kService) != nullptr) {
        nt::pnp::UnloadDriver(kService);
    }
    g_fake = nullptr;
}

void FakeControlDevice::Reply(ULONG code, std::vector<uint8_t> output) {
    std::lock_guard guard(m_lock);
    m_replies[code] = std::move(output);
}

void FakeControlDevice::Fail(ULONG code, NTSTATUS status) {
    std::lock_guard guard(m_lock);
    m_failures[code] = status;
}

void FakeControlDevice::QueueSizeAnswer(ULONG code, ULONG size) {
    std::lock_guard guard(m_lock);
    m_queuedSizes[code].push_back(size);
}

void FakeControlDevice::QueueBlock(ULONG code, std::vector<uint8_t> block) {
    std::lock_guard guard(m_lock);
    m_blocks[code].push_back(std::move(block));
}

std::vector<FakeRequest> FakeControlDevice::Requests() const {
    std::lock_guard guard(m_lock);
    return m_requests;
}

void FakeControlDevice::ClearRequests() {
    std::lock_guard guard(m_lock);
    m_requests.clear();
}

NTSTATUS FakeControlDevice::Answer(ULONG code, const uint8_t* input, ULONG inputLength, uint8_t* output,
                                   ULONG outputLength, ULONG& returned) {
    std::lock_guard guard(m_lock);
    FakeRequest request;
    request.code = code;
    request.input.assign(input, input + inputLength);
    request.outputLength = outputLength;

    NTSTATUS status = STATUS_SUCCESS;
    auto reply = [&](const std::vector<uint8_t>& bytes) {
        if (bytes.size() > outputLength) {
            status = STATUS_BUFFER_TOO_SMALL;
            return;
        }
        if (!bytes.empty()) {
            std::memcpy(output, bytes.data(), bytes.size());
        }
        returned = static_cast<ULONG>(bytes.size());
    };
    if (std::deque<ULONG>& sizes = m_queuedSizes[code]; !sizes.empty() && m_replies.count(code) != 0 &&
                                                        IsSizeQueryCode(code) &&
                                                        outputLength == TINDALOFT_SIZE_QUERY_LENGTH) {
        const ULONG size = sizes.front();
        sizes.pop_front();
        reply(std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(&size),
                                   reinterpret_cast<const uint8_t*>(&size) + sizeof size));
    } else if (auto failure = m_failures.find(code); failure != m_failures.end()) {
        status = failure->second;
    } else if (code == IOCTL_TINDALOFT_READ_LOG || code == IOCTL_TINDALOFT_READ_CLOG || !m_blocks[code].empty()) {
        std::deque<std::vector<uint8_t>>& queue = m_blocks[code];
        if (!queue.empty()) {
            reply(queue.front());
            if (NT_SUCCESS(status)) {
                queue.pop_front();
            }
        }
    } else if (auto scripted = m_replies.find(code); scripted != m_replies.end()) {
        if (IsSizeQueryCode(code) && outputLength == TINDALOFT_SIZE_QUERY_LENGTH) {
            const auto sizeAnswer = m_sizeAnswers.find(code);
            const ULONG size =
                sizeAnswer != m_sizeAnswers.end() ? sizeAnswer->second : static_cast<ULONG>(scripted->second.size());
            reply(std::vector<uint8_t>(reinterpret_cast<const uint8_t*>(&size),
                                       reinterpret_cast<const uint8_t*>(&size) + sizeof size));
        } else {
            reply(scripted->second);
        }
    }
    request.status = status;
    request.returned = NT_SUCCESS(status) ? returned : 0;
    m_requests.push_back(std::move(request));
    return status;
}

void FakeControlDevice::ReplySize(ULONG code, ULONG size) {
    std::lock_guard guard(m_lock);
    m_sizeAnswers[code] = size;
}

void FakeControlDevice::Stall(ULONG code) {
    std::lock_guard guard(m_stallLock);
    m_stalled.insert(code);
}

void FakeControlDevice::Release() {
    {
        std::lock_guard guard(m_stallLock);
        m_stalled.clear();
    }
    m_stallChanged.notify_all();
}

bool FakeControlDevice::WaitUntilHeld() {
    std::unique_lock guard(m_stallLock);
    return m_stallChanged.wait_for(guard, std::chrono::seconds(10), [&] { return m_waiting > 0; });
}

void FakeControlDevice::WaitWhileStalled(ULONG code) {
    std::unique_lock guard(m_stallLock);
    ++m_waiting;
    m_stallChanged.notify_all();
    // No deadline: a stalled request waits for the test, whatever the machine's clock does.
    m_stallChanged.wait(guard, [&] { return m_stalled.count(code) == 0; });
    --m_waiting;
    m_stallChanged.notify_all();
}

} // namespace tdl::test
