// Sends random GET_DEVSTK_INFO and DRVOBJ_NODES requests to the driver on the simulated default machine, so
// the cached-descriptor copies and the live port queries run against real stacks and hubs. Every request
// gets an exact-size heap buffer, so AddressSanitizer reports any access outside it; a reply longer than the
// buffer, a failed request that reports bytes, or pool the driver still holds after the machine is shut down
// stops the run.
//
// Input: bytes 0-1 the StackID (u16, taken modulo the stacks created so far plus two, so unknown ones come
// up too); byte 2 the selector (256 + byte % 6; 261 is unknown) or, with bit 7 set, a DRVOBJ_NODES request
// instead; bytes 3-6 the data length (u32); bytes 7-8 the buffer length (u16, at most 1024); the rest fills
// the data area, repeated as needed, except that a port number at its start is kept below 10 (ports that do
// not exist come up, but the simulated hub is not what this target tests).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "windows.h"

#include "NtPoolControl.h"
#include "common/ControlCodes.h"
#include "driver/core/Driver.h"
#include "driver/core/Pool.h"
#include "driver/log/Log.h"
#include "platform/sim/Machine.h"

namespace {

constexpr size_t kHeaderSize = 9;
constexpr uint16_t kMaxBuffer = 1024;

std::unique_ptr<sim::Machine> g_machine;
HANDLE g_device = INVALID_HANDLE_VALUE;

void ShutdownMachine() {
    CloseHandle(g_device);
    g_machine->Shutdown();
    g_machine.reset();
    for (ULONG tag : {KXTD_POOL_TAG, LOG_TAG_CAPTURE, LOG_TAG_CHANGE}) {
        if (nt::pool::Stats(tag).liveCount != 0) {
            std::abort();
        }
    }
}

template <class T> T Load(const uint8_t* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    (void)argc;
    (void)argv;
    sim::MachineOptions options;
    options.captureDriverEntry = DriverEntry;
    g_machine = sim::Machine::BootDefault(options);
    if (g_machine->Status() != STATUS_SUCCESS || g_machine->CaptureDriverStatus() != STATUS_SUCCESS) {
        std::abort();
    }
    g_device = CreateFileA("\\\\.\\Tindaloft", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (g_device == INVALID_HANDLE_VALUE) {
        std::abort();
    }
    std::atexit(ShutdownMachine);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeaderSize) {
        return 0;
    }
    const uint16_t stackId = static_cast<uint16_t>(Load<uint16_t>(data) % (g_Driver.LastStackID + 2));
    const bool driverNodes = (data[2] & 0x80) != 0;
    const uint16_t selector = static_cast<uint16_t>(256 + data[2] % 6);
    const uint32_t dataLength = Load<uint32_t>(data + 3);
    const DWORD length = Load<uint16_t>(data + 7) % (kMaxBuffer + 1);
    const uint8_t* content = data + kHeaderSize;
    const size_t contentSize = size - kHeaderSize;

    std::vector<uint8_t> buffer(length);
    for (DWORD i = 0; i < length; ++i) {
        buffer[i] = contentSize != 0 ? content[i % contentSize] : 0;
    }
    if (length >= 8) {
        std::memcpy(buffer.data(), &stackId, sizeof stackId);
        std::memcpy(buffer.data() + 2, &selector, sizeof selector);
        std::memcpy(buffer.data() + 4, &dataLength, sizeof dataLength);
    }
    if (length >= 12) {
        const uint32_t port = Load<uint32_t>(buffer.data() + 8) % 10;
        std::memcpy(buffer.data() + 8, &port, sizeof port);
    }
    void* pointer = buffer.empty() ? nullptr : buffer.data();
    DWORD bytes = 0;
    const DWORD code = driverNodes ? IOCTL_TINDALOFT_DRVOBJ_NODES : IOCTL_TINDALOFT_GET_DEVSTK_INFO;
    const BOOL ok =
        DeviceIoControl(g_device, code, pointer, driverNodes ? 0 : length, pointer, length, &bytes, nullptr);
    if (ok && bytes > length) {
        std::abort(); // more bytes reported than the buffer holds
    }
    if (!ok && bytes != 0) {
        std::abort(); // a failed request returns nothing
    }
    return 0;
}
