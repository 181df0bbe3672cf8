// Sends random control codes and buffers to the driver's control device through DeviceIoControl, as any
// user-mode program could. The machine boots once with KxTdloft loaded; every request gets exact-size heap
// buffers, so AddressSanitizer reports any access outside them; a reply longer than the output buffer, or
// pool the driver still holds after its unload at exit, stops the run.
//
// Input: byte 0 picks the code (below 21: one of the driver's codes, function 0x800 + n; otherwise the raw
// code at bytes 6-9); byte 1 holds flags (bit 0: no input buffer, bit 1: no output buffer, bit 2: an output
// buffer of a whole GET_MEMLOG reply, bit 3: one of a whole log block); bytes 2-3 and 4-5 the input and
// output lengths (u16); the rest fills the input buffer, repeated as needed.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "windows.h"

#include "NtControl.h"
#include "NtPnpControl.h"
#include "NtPoolControl.h"
#include "common/ControlCodes.h"
#include "common/LogBlock.h"
#include "common/Memlog.h"
#include "driver/core/Driver.h"
#include "driver/core/Pool.h"
#include "driver/log/Log.h"

namespace {

constexpr GUID kUsbSetupClass = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

const DWORD kCodes[] = {
    IOCTL_TINDALOFT_INFO,
    IOCTL_TINDALOFT_ENABLE_LOG,
    IOCTL_TINDALOFT_DISABLE_LOG,
    IOCTL_TINDALOFT_CLEAR_LOG,
    IOCTL_TINDALOFT_READ_LOG,
    IOCTL_TINDALOFT_DRVOBJ_NODES,
    IOCTL_TINDALOFT_SET_DEVOBJ_FLAGS,
    IOCTL_TINDALOFT_CLR_REGNODES,
    IOCTL_TINDALOFT_DEVSTK_NODES,
    IOCTL_TINDALOFT_DEVSTK_NODES_EX,
    IOCTL_TINDALOFT_DEVSTK_REFRESH,
    IOCTL_TINDALOFT_SET_BOOTFLAG,
    IOCTL_TINDALOFT_SET_LOGGING_OPTIONS,
    IOCTL_TINDALOFT_GET_LOGGING_OPTIONS,
    IOCTL_TINDALOFT_GET_DEVSTK_INFO,
    IOCTL_TINDALOFT_ENABLE_CLOG,
    IOCTL_TINDALOFT_DISABLE_CLOG,
    IOCTL_TINDALOFT_CLEAR_CLOG,
    IOCTL_TINDALOFT_READ_CLOG,
    IOCTL_TINDALOFT_NOP,
    IOCTL_TINDALOFT_GET_MEMLOG,
};
constexpr size_t kCodeCount = sizeof kCodes / sizeof kCodes[0];
constexpr size_t kHeaderSize = 10;

HANDLE BootMachine() {
    nt::ResetKernelState();
    nt::pnp::RegisterDriverImage(u"KxTdloft", DriverEntry);
    nt::pnp::RegisterSetupClass(kUsbSetupClass, u"USB");
    nt::pnp::AddClassFilter(kUsbSetupClass, u"KxTdloft", nt::pnp::FilterPosition::Upper);
    if (!NT_SUCCESS(nt::pnp::LoadDriver(u"KxTdloft"))) {
        std::abort();
    }
    HANDLE device =
        CreateFileA("\\\\.\\Tindaloft", GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (device == INVALID_HANDLE_VALUE) {
        std::abort();
    }
    return device;
}

HANDLE g_device = INVALID_HANDLE_VALUE;

// At exit: the handle closed and the driver unloaded, which must give back every allocation of the driver's
// own, whatever the run did.
void ShutdownMachine() {
    CloseHandle(g_device);
    nt::pnp::UnloadDriver(u"KxTdloft");
    if (nt::pool::Stats(KXTD_POOL_TAG).liveCount != 0 || nt::pool::Stats(LOG_TAG_CAPTURE).liveCount != 0 ||
        nt::pool::Stats(LOG_TAG_CHANGE).liveCount != 0) {
        std::abort();
    }
}

uint16_t Load16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    (void)argc;
    (void)argv;
    g_device = BootMachine();
    std::atexit(ShutdownMachine);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < kHeaderSize) {
        return 0;
    }
    const HANDLE device = g_device;
    DWORD code;
    if (data[0] < kCodeCount) {
        code = kCodes[data[0]];
    } else {
        std::memcpy(&code, data + 6, sizeof code);
    }
    const uint8_t flags = data[1];
    const DWORD inLength = Load16(data + 2);
    const DWORD outLength = (flags & 4) != 0   ? MemlogReplySize(MEMLOG_RING_SIZE)
                            : (flags & 8) != 0 ? LOG_BLOCK_SIZE
                                               : Load16(data + 4);
    const uint8_t* content = data + kHeaderSize;
    const size_t contentSize = size - kHeaderSize;

    std::vector<uint8_t> in(inLength);
    for (DWORD i = 0; i < inLength && contentSize != 0; ++i) {
        in[i] = content[i % contentSize];
    }
    std::vector<uint8_t> out(outLength, 0xCC);
    void* inBuffer = (flags & 1) != 0 || in.empty() ? nullptr : in.data();
    void* outBuffer = (flags & 2) != 0 || out.empty() ? nullptr : out.data();

    DWORD bytes = 0;
    const BOOL ok = DeviceIoControl(device, code, inBuffer, inLength, outBuffer, outLength, &bytes, nullptr);
    if (ok && bytes > (outBuffer != nullptr ? outLength : 0)) {
        std::abort(); // more bytes reported than the output buffer holds
    }
    if (!ok && bytes != 0) {
        std::abort(); // a failed request returns nothing
    }
    return 0;
}
