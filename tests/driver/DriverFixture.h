// Fixtures of the driver tests. DriverFixture starts each test on a clean machine with KxTdloft installed as
// the boot-time upper filter of the USB setup class; LoadedDriver also loads it and opens its control device
// from user mode ("\\.\Tindaloft"), and checks at the end that unloading gives back every allocation.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "windows.h"

#include "NtVersionControl.h"
#include "common/ControlCodes.h"
#include "common/Memlog.h"
#include "ntdef.h"
#include "tests/driver/LogTestHelpers.h"

namespace drivertest {

// The USB setup class, whose upper filter KxTdloft is.
constexpr GUID kUsbSetupClass = {0x36FC9E60, 0xC465, 0x11CF, {0x80, 0x56, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
constexpr std::u16string_view kService = u"KxTdloft";
constexpr std::u16string_view kServiceKey = u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\KxTdloft";
constexpr std::u16string_view kParametersKey =
    u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\KxTdloft\\Parameters";
constexpr std::u16string_view kActiveNodesKey =
    u"\\Registry\\Machine\\System\\CurrentControlSet\\Services\\KxTdloft\\ActiveNodes";

// What DeviceIoControl answered.
struct IoctlResult {
    bool ok = false;
    DWORD bytes = 0;
    DWORD error = 0; // GetLastError() after a failure, else 0
};

// The Win32 error user mode sees for a kernel status.
DWORD ErrorOf(NTSTATUS status);

// Registry of the machine, by absolute key path.
void RegistryCreatePath(std::u16string_view path);
void RegistrySetDword(std::u16string_view keyPath, std::u16string_view name, ULONG value);
void RegistrySetString(std::u16string_view keyPath, std::u16string_view name, std::u16string_view text);
std::optional<ULONG> RegistryDword(std::u16string_view keyPath, std::u16string_view name);
bool RegistryKeyExists(std::u16string_view keyPath);
std::vector<std::u16string> RegistrySubkeys(std::u16string_view keyPath);
size_t RegistryValueCount(std::u16string_view keyPath);

// Live pool allocations of every tag.
size_t PoolLiveCount();

class DriverFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A clean machine of `release` (the test's SetUp uses Windows 7) with KxTdloft installed.
    static void ResetMachine(nt::version::Release release = nt::version::Release::Windows7);

    // Loads KxTdloft as the loader does at boot; returns the status of its entry.
    NTSTATUS Load();
    // Closes the control device handle and unloads the driver when it is loaded.
    void Unload();
    bool IsLoaded() const;

    // Opens "\\.\Tindaloft"; the handle stays in m_device.
    bool Open(DWORD access = GENERIC_READ | GENERIC_WRITE);
    void Close();

    IoctlResult Ioctl(DWORD code, const void* in, DWORD inSize, void* out, DWORD outSize);
    IoctlResult Ioctl(DWORD code, const std::vector<uint8_t>& in, std::vector<uint8_t>& out);

    // Reads a log (READ_LOG or READ_CLOG) until it answers with nothing; every record, in order.
    std::vector<drvlog_test::ReadRecord> ReadLog(DWORD code = IOCTL_TINDALOFT_READ_LOG);

    // GET_MEMLOG's reply: the control block and the ring's entries, oldest first (slots never written left
    // out).
    struct MemlogReply {
        MEMLOG_CONTROL control{};
        std::vector<MEMLOG_ENTRY> entries;
    };
    MemlogReply FetchMemlog();
    // The tags of the entries as text ("====", "win7", ...), oldest first.
    std::vector<std::string> FetchMemlogTags();

    HANDLE m_device = INVALID_HANDLE_VALUE;
};

// KxTdloft loaded and its control device open; TearDown unloads it and expects the pool as it was before.
class LoadedDriver : public DriverFixture {
protected:
    void SetUp() override;
    void TearDown() override;

private:
    size_t m_poolBefore = 0;
};

} // namespace drivertest
